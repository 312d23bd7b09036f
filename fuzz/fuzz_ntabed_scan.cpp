// The table editor's text scanners, the ones Extract from Clipboard runs over any clipboard text.
//  - ScanNumberChecked / ScanNumber from any start position: the position moves forward and stays
//    within the text (plus its end) unless it started beyond it, the value is finite and within +-1.7E308, a token that is no
//    number gives 0; both entries agree; "e" reads as "E"; "," with the comma separator reads as
//    "." with the point separator. A double printed in full reads back as itself.
//  - ScanClipboardText: cells come in reading order (K counts up from 0 in a line, M never goes
//    down and never beyond the number of line ends), an empty cell has the value 0, and the same
//    text with LF line ends gives the same cells. Where the delimited reader reads the same text
//    with the paste's delimiter and decimal mark (no header, no row names, only the empty field
//    missing) into number columns, each of its cells is the paste's cell: empty where it is
//    empty, the same value where it holds a number within +-1.7E308.
// The first input byte picks the options and the start position; the rest is the text.
#include "fuzz_support.h"
#include "orvex_delimited.h"
#include "orvex_ntabed.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace orvex;

namespace {

constexpr double kLimit = 1.7E308;

struct TScanned {
  TScanResult R;
  int Pos = 0;
  bool operator==(const TScanned& O) const
  {
    return R.Valid == O.R.Valid && R.Value == O.R.Value && Pos == O.Pos;
  }
};

TScanned Scan(std::string_view Text, bool Exp, int Seps, int Pos)
{
  TScanned s;
  s.Pos = Pos;
  s.R = ScanNumberChecked(Text, Exp, Seps, s.Pos);
  return s;
}

void CheckScanNumber(const std::string& Text, bool Exp, int Seps, int Start)
{
  const TScanned a = Scan(Text, Exp, Seps, Start);
  // A start beyond the text is handed back as it was.
  fuzz::Check(a.Pos >= std::max(Start, 1) && a.Pos <= std::max(Start, static_cast<int>(Text.size()) + 1),
              "scan position out of the text", Text);
  fuzz::Check(std::isfinite(a.R.Value) && std::fabs(a.R.Value) <= kLimit, "scanned value not limited", Text);
  fuzz::Check(a.R.Valid || a.R.Value == 0, "a token that is no number has a value", Text);
  int pos = Start;
  const double plain = ScanNumber(Text, Exp, Seps, pos);
  fuzz::Check(plain == a.R.Value && pos == a.Pos, "ScanNumber and ScanNumberChecked differ", Text);

  std::string lower = Text;
  std::replace(lower.begin(), lower.end(), 'E', 'e');
  fuzz::Check(Scan(lower, Exp, Seps, Start) == a, "a lower-case exponent reads differently", Text);
  if (Seps == 1 && Text.find(',') == std::string::npos) {
    std::string comma = Text;
    std::replace(comma.begin(), comma.end(), '.', ',');
    fuzz::Check(Scan(comma, Exp, 2, Start) == a, "comma and point separators read differently", Text);
  }
}

// A double given by eight input bytes, printed with 17 significant digits, reads back as itself
// (clamped to the limit).
void CheckRoundTrip(const std::uint8_t* Data, std::size_t Size)
{
  if (Size < 8)
    return;
  double d;
  std::memcpy(&d, Data, sizeof d);
  if (!std::isfinite(d))
    return;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17E", d);
  int pos = 1;
  const TScanResult r = ScanNumberChecked(buf, true, 1, pos);
  fuzz::Check(r.Valid && r.Value == std::clamp(d, -kLimit, kLimit), "a printed double reads back otherwise", buf);
  fuzz::Check(static_cast<std::size_t>(pos) == std::strlen(buf) + 1, "a printed double is not read whole", buf);
}

struct TCell {
  int K, M;
  double Value;
  bool Empty;
  bool operator==(const TCell& O) const
  {
    return K == O.K && M == O.M && Empty == O.Empty && (Empty || Value == O.Value);
  }
};

std::vector<TCell> Cells(std::string_view Text, TClipboardReading* Reading = nullptr)
{
  std::vector<TCell> cells;
  const TClipboardReading r =
      ScanClipboardText(Text, [&](int K, int M, double Value, bool Empty) { cells.push_back({K, M, Value, Empty}); });
  if (Reading)
    *Reading = r;
  return cells;
}

// The delimited reader's reading of the same text, compared cell by cell where it gives a table
// of number columns. Blank lines and lines starting with "#" are skipped by the reader but keep
// their place in a paste, so such texts are not compared.
void CompareWithDelimitedReader(const std::string& Text, const std::vector<TCell>& Cells,
                                const TClipboardReading& Reading)
{
  // The lines, CR LF, LF or CR ended, after a byte-order mark; the empty piece after a final
  // line end is no line.
  std::size_t lineStart = Text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (lineStart < Text.size()) {
    std::size_t end = Text.find_first_of("\r\n", lineStart);
    if (end == std::string::npos)
      end = Text.size();
    const std::string_view line(Text.data() + lineStart, end - lineStart);
    if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#')
      return;
    lineStart = end + (Text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  if (Text.find('"') != std::string::npos)
    return;  // quoting: the paste's own cell splitting is checked by the properties above
  TDelimitedDialect d;
  d.Delimiter = Reading.Delimiter;
  d.DecimalMark = Reading.DecimalComma ? TDecimalMark::Comma : TDecimalMark::Point;
  d.Header = TPresence::No;
  d.RowNames = TPresence::No;
  d.SkipLines = 0;
  d.MissingTokens = {std::string()};
  d.Encoding = TTextEncoding::Utf8;
  TTableBuilder b;
  const TDelimitedResult res = ReadDelimitedText(Text, d, b);
  if (!res.Ok() || !res.LeftOut.empty())
    return;
  for (int c = 1; c <= b.NrOfColumns(); ++c)
    if (IsLevelType(b.VarType(c)))
      return;
  for (const TCell& cell : Cells) {
    const int c = cell.K + 1;
    const int r = cell.M + 1;
    fuzz::Check(c <= b.NrOfColumns() && r <= b.NrOfRows(), "a pasted cell the reader does not have", Text);
    const std::uint8_t state = b.CellState(c, r);
    if (state & csNotANumber)
      continue;  // infinite or beyond a double: the paste limits to +-1.7E308 instead
    fuzz::Check(((state & csEmpty) != 0) == cell.Empty, "the reader and the paste disagree on an empty cell", Text);
    if (!cell.Empty && std::fabs(b.Value(c, r)) <= kLimit)
      fuzz::Check(b.Value(c, r) == cell.Value, "the reader and the paste read a number differently", Text);
  }
}

void CheckClipboard(const std::string& Text)
{
  const std::vector<TCell> cells = Cells(Text);
  fuzz::Check(cells.size() <= Text.size() + 1, "more cells than characters and one", Text);
  const long lineEnds = std::count(Text.begin(), Text.end(), '\n') + std::count(Text.begin(), Text.end(), '\r');
  int k = 0, m = 0;
  for (const TCell& c : cells) {
    if (c.M != m) {
      fuzz::Check(c.M > m, "line index went down", Text);
      m = c.M;
      k = 0;
    }
    fuzz::Check(c.K == k, "cells of a line not counted from 0", Text);
    ++k;
    fuzz::Check(c.M <= lineEnds, "more lines than line ends", Text);
    fuzz::Check(!c.Empty || c.Value == 0, "an empty cell has a value", Text);
    fuzz::Check(std::isfinite(c.Value) && std::fabs(c.Value) <= kLimit, "cell value not limited", Text);
  }
  std::string lf;
  for (std::size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == '\r') {
      lf += '\n';
      if (i + 1 < Text.size() && Text[i + 1] == '\n')
        ++i;
    } else {
      lf += Text[i];
    }
  }
  fuzz::Check(Cells(lf) == cells, "LF line ends give other cells", Text);
  TClipboardReading reading;
  Cells(Text, &reading);
  CompareWithDelimitedReader(Text, cells, reading);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
  if (Size < 1)
    return 0;
  const unsigned options = Data[0];
  const std::string text(reinterpret_cast<const char*>(Data + 1), Size - 1);
  const bool exp = options & 1;
  const int seps = 1 + static_cast<int>((options >> 1) % 3);
  const int start = static_cast<int>(options >> 3) % 8;  // 0 and 1 both mean the first character
  CheckScanNumber(text, exp, seps, start);
  CheckClipboard(text);
  CheckRoundTrip(Data + 1, Size - 1);
  return 0;
}
