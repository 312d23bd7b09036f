// Block boundaries of the ASC text file: the same bytes read through a tiny block (a character,
// a line end or a token then often straddles two blocks) and through the normal one give the
// same lines, tokens, characters, end of file, byte count and UTF-8 verdict. The first input
// byte picks the tiny block size and seeds the order of the reads; the rest is the file.
//
// When the table reader lets a caller choose its block size, a second check belongs here: the
// whole table (values, states, names, labels, result code) read both ways must be the same.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
  if (Size < 1)
    return 0;
  const unsigned seed = Data[0];
  const std::string& file = fuzz::WriteInputFile(Data + 1, Size - 1);
  TASCTextFile tiny, normal;
  fuzz::Check(tiny.Open(file, 16 + seed % 17), "tiny block: open failed");
  fuzz::Check(normal.Open(file), "normal block: open failed");
  unsigned state = seed * 2654435761u + 1;
  // Enough reads to reach the end of any input: each read takes at least one byte or finds the end.
  for (std::size_t i = 0; i < Size + 2; ++i) {
    state = state * 1103515245u + 12345u;
    const unsigned op = state >> 16;
    const std::string a = Step(tiny, op), b = Step(normal, op);
    if (a != b)
      fuzz::Fail("tiny and normal blocks differ", a + " | " + b);
  }
  tiny.SkipToEnd();
  normal.SkipToEnd();
  // A Ctrl-Z ends the file where it stands, so only then may the bytes taken differ.
  if (std::memchr(Data + 1, 26, Size - 1) == nullptr)
    fuzz::Check(tiny.BytesRead() == normal.BytesRead(), "byte counts differ");
  fuzz::Check(tiny.Utf8Valid() == normal.Utf8Valid(), "UTF-8 verdicts differ");
  fuzz::Check(tiny.Failed() == normal.Failed(), "read failures differ");
  return 0;
}
