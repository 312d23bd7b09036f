// Block boundaries of the ASC reader, at two levels.
//  - The text file: the same bytes read through a tiny block (a character, a line end or a token
//    then often straddles two blocks), through a tiny block read in parts of a few bytes on two
//    threads (a Ctrl-Z or a character then falls in any part) and through the normal one give
//    the same lines, tokens, characters, end of file, byte count and UTF-8 verdict, read step by
//    step in an order the first input byte seeds.
//  - The table: the whole file read by the table reader in blocks of 7 bytes with every value
//    collected aside, by default (rows straight into the table on up to two threads) and on two
//    threads in chunks of a few bytes (so that chunk ends fall inside rows and tokens) gives the
//    same result code and the same table:
//    size, comment, names, attributes, types, level labels, values, cell states and key/value
//    section. The first byte also picks the chunk size; the rest is the file.
#include "fuzz_support.h"
#include "orvex_datatable.h"
#include "orvex_datatable_asc.h"

#include <cstring>
#include <string>

using namespace orvex;

namespace {

// The observable result of one read, as text.
std::string Step(TASCTextFile& F, unsigned Op)
{
  switch (Op % 6) {
  case 0: {
    std::string line;
    const bool got = F.ReadLine(line);
    return "L" + std::to_string(got) + line;
  }
  case 1:
    return "T" + std::string(F.NextToken());
  case 2:
    return "C" + std::to_string(F.GetChar());
  case 3:
    F.SkipLine();
    return "S";
  case 4:
    return "E" + std::to_string(F.Eof());
  default:
    return "R" + TDataTable::ReadToken(F);
  }
}

// Everything a read leaves in a table and its key/value section, as text; values and states
// byte for byte, so that NaN payloads and the sign of zero count too.
std::string Snapshot(int Code, const TDataTable& T, const TCustomData& Custom)
{
  std::string s = "code " + std::to_string(Code) + " size " + std::to_string(T.NrOfColumns()) + "x" +
                  std::to_string(T.NrOfRows()) + "\n" + T.Comment() + "\n";
  for (int c = 1; c <= T.NrOfColumns(); ++c) {
    s += "col " + T.ColName(c) + " " + std::to_string(T.ColAttrib(c)) + " " + std::to_string(T.VarType(c)) + "\n";
    if (IsLevelType(T.VarType(c)))
      for (int level = 0; level <= MaxLevel; ++level)
        s += T.LevelName(c, level) + "|";
    s.append(reinterpret_cast<const char*>(T.ColumnValues(c)), sizeof(double) * static_cast<std::size_t>(T.NrOfRows()));
    s.append(reinterpret_cast<const char*>(T.ColumnStates(c)), static_cast<std::size_t>(T.NrOfRows()));
  }
  for (int r = 1; r <= T.NrOfRows(); ++r)
    s += "row " + T.RowName(r) + " " + std::to_string(T.RowAttrib(r)) + "\n";
  for (const TCustDataEntry& e : Custom)
    s += "custom " + e.Key + "=" + e.Value + "\n";
  return s;
}

std::string ReadTable(const std::string& File, const TASCReadOptions& Options)
{
  TDataTable t;
  TCustomData custom;
  const int code = ReadASCFileWith(t, File, custom, Options);
  return Snapshot(code, t, custom);
}

void CompareTables(const std::string& File, unsigned Seed)
{
  TASCReadOptions blocks;
  blocks.Direct = false;
  blocks.BlockSize = 7;
  TASCReadOptions chunked;
  chunked.Threads = 2;
  chunked.ChunkSize = 1 + Seed % 48;
  const std::string reference = ReadTable(File, blocks);
  if (ReadTable(File, TASCReadOptions{}) != reference)
    fuzz::Fail("default read and 7-byte blocks give different tables");
  if (ReadTable(File, chunked) != reference)
    fuzz::Fail("small parallel chunks and 7-byte blocks give different tables", std::to_string(chunked.ChunkSize));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
  if (Size < 1)
    return 0;
  const unsigned seed = Data[0];
  const std::string& file = fuzz::WriteInputFile(Data + 1, Size - 1);
  TASCTextFile tiny, parted, normal;
  fuzz::Check(tiny.Open(file, 16 + seed % 17), "tiny block: open failed");
  parted.SetThreads(2);
  parted.SetPartBytes(1 + seed % 5);
  fuzz::Check(parted.Open(file, 16 + seed % 13), "block in parts: open failed");
  fuzz::Check(normal.Open(file), "normal block: open failed");
  unsigned state = seed * 2654435761u + 1;
  // Enough reads to reach the end of any input: each read takes at least one byte or finds the end.
  for (std::size_t i = 0; i < Size + 2; ++i) {
    state = state * 1103515245u + 12345u;
    const unsigned op = state >> 16;
    const std::string a = Step(tiny, op), p = Step(parted, op), b = Step(normal, op);
    if (a != b)
      fuzz::Fail("tiny and normal blocks differ", a + " | " + b);
    if (p != b)
      fuzz::Fail("a block read in parts and the normal block differ", p + " | " + b);
  }
  for (TASCTextFile* f : {&tiny, &parted, &normal})
    f->SkipToEnd();
  // A Ctrl-Z ends the file where it stands, so only then may the bytes taken differ.
  const bool ctrlZ = std::memchr(Data + 1, 26, Size - 1) != nullptr;
  for (const TASCTextFile* f : {&tiny, &parted}) {
    if (!ctrlZ)
      fuzz::Check(f->BytesRead() == normal.BytesRead(), "byte counts differ");
    fuzz::Check(f->Utf8Valid() == normal.Utf8Valid(), "UTF-8 verdicts differ");
    fuzz::Check(f->Failed() == normal.Failed(), "read failures differ");
  }
  CompareTables(file, seed);
  return 0;
}
