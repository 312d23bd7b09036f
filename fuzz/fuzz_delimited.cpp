// The delimited reader on any bytes. The first input byte picks the block size and which
// choices are given instead of detected; the rest is the file. Checked:
//  - the table (or the failure with its message) is the same read whole on one thread, in tiny
//    blocks on two threads, and from a file read in tiny pieces;
//  - names are valid UTF-8 of at most 50 characters, level labels of at most 10, level values
//    are whole numbers below the number of labels, and a failure names a line from 1 on;
//  - the preview and the small-text detection take the same bytes without harm.
#include "fuzz_support.h"
#include "orvex_datatable.h"
#include "orvex_delimited.h"
#include "orvex_math2.h"

#include <cmath>
#include <cstring>
#include <string>

using namespace orvex;

namespace {

std::string Snapshot(const TDelimitedResult& R, const TTableBuilder& B)
{
  std::string s = "status " + std::to_string(static_cast<int>(R.Status)) + " " + R.Message + "\n";
  if (!R.Ok())
    return s;
  s += std::to_string(B.NrOfColumns()) + "x" + std::to_string(B.NrOfRows()) + "\n";
  for (const TLeftOutColumn& c : R.LeftOut)
    s += "left out " + std::to_string(c.Field) + " " + c.Name + "\n";
  for (int c = 1; c <= B.NrOfColumns(); ++c) {
    s += "col " + B.ColName(c) + " " + std::to_string(B.VarType(c)) + "\n";
    for (int level = 0; level <= MaxLevel; ++level)
      s += B.LevelName(c, level) + "|";
    s.append(reinterpret_cast<const char*>(B.Column(c)), sizeof(double) * static_cast<std::size_t>(B.NrOfRows()));
    s.append(reinterpret_cast<const char*>(B.ColumnStates(c)), static_cast<std::size_t>(B.NrOfRows()));
  }
  for (int r = 1; r <= B.NrOfRows(); ++r)
    s += "row " + B.RowName(r) + "\n";
  return s;
}

void CheckTable(const TDelimitedResult& R, const TTableBuilder& B)
{
  if (!R.Ok()) {
    fuzz::Check(!R.Message.empty(), "a failure without a message");
    if (R.Status == TReadStatus::BadShape || R.Status == TReadStatus::OpenQuote || R.Status == TReadStatus::BadNumber) {
      fuzz::Check(R.Line >= 1 && R.Field >= 1, "a failure without its line and field", R.Message);
      fuzz::CheckText(R.Text, 40, "failure field");
    }
    return;
  }
  for (int c = 1; c <= B.NrOfColumns(); ++c) {
    fuzz::CheckText(B.ColName(c), MaxNameLength, "column name");
    int labels = 0;
    for (int level = 0; level <= MaxLevel; ++level) {
      fuzz::CheckText(B.LevelName(c, level), MaxLevelLength, "level label");
      labels += B.LevelName(c, level).empty() ? 0 : 1;
    }
    if (B.VarType(c) == vtNominal)
      for (int r = 1; r <= B.NrOfRows(); ++r) {
        const double v = B.Value(c, r);
        fuzz::Check(v == std::floor(v) && v >= 0 && v <= MaxLevel, "a level that is no level number");
      }
    for (int r = 1; r <= B.NrOfRows(); ++r)
      if (B.CellState(c, r) != 0)
        fuzz::Check(B.Value(c, r) == 0.0, "a cell without a value holds one");
  }
  for (int r = 1; r <= B.NrOfRows(); ++r)
    fuzz::CheckText(B.RowName(r), MaxNameLength, "row name");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
  if (Size < 1)
    return 0;
  const unsigned seed = Data[0];
  const std::string text(reinterpret_cast<const char*>(Data + 1), Size - 1);
  TDelimitedDialect dialect;
  // Bits 0-2: a given delimiter (0: detect); bit 3: a given decimal comma; bits 4-5: header.
  const char delimiters[] = {dlDetect, dlComma, dlSemicolon, dlTab, dlPipe, dlBlanks, dlDetect, dlDetect};
  dialect.Delimiter = delimiters[seed & 7];
  if (seed & 8)
    dialect.DecimalMark = TDecimalMark::Comma;
  if ((seed >> 4) % 4 == 1)
    dialect.Header = TPresence::Yes;
  else if ((seed >> 4) % 4 == 2)
    dialect.Header = TPresence::No;
  if (seed & 64)
    dialect.RowNames = TPresence::No;

  SetMathThreadCount(1);
  TReadControl whole;
  whole.ChunkSize = std::size_t(1) << 30;
  TTableBuilder reference;
  const TDelimitedResult r = ReadDelimitedText(text, dialect, reference, whole);
  CheckTable(r, reference);
  const std::string expected = Snapshot(r, reference);

  SetMathThreadCount(2);
  TReadControl tiny;
  tiny.ChunkSize = 1 + seed % 23;
  TTableBuilder chunked;
  if (Snapshot(ReadDelimitedText(text, dialect, chunked, tiny), chunked) != expected)
    fuzz::Fail("tiny blocks on two threads and one block give different tables", std::to_string(tiny.ChunkSize));

  const std::string& file = fuzz::WriteInputFile(Data + 1, Size - 1);
  TReadControl pieces;
  pieces.BlockSize = 1 + seed % 13;
  TTableBuilder fromFile;
  if (Snapshot(ReadDelimitedFile(file, dialect, fromFile, pieces), fromFile) != expected)
    fuzz::Fail("the file read in small pieces and the text give different tables");
  SetMathThreadCount(0);

  const TDelimitedPreview p = PreviewDelimited(text, dialect, 20);
  for (const TPreviewColumn& c : p.Columns)
    fuzz::Check(dtext::IsValidUtf8(c.Name), "preview name is not UTF-8", c.Name);
  fuzz::Check(p.Cells.size() <= 20, "the preview holds more rows than asked");
  const TSmallTextDialect small = DetectSmallText(text);
  fuzz::Check(small.Rows >= 0 && small.Fields >= 0, "negative counts");
  return 0;
}
