// TNTabEd: the text scanners behind Extract from Clipboard and the Paste of foreign text
// (ScanNumber, ScanNumberChecked, ScanClipboardText) and the locale-free number conversion the
// cell editor shares. A pasted text is read as a small delimited table: the delimiter and the
// decimal mark are detected once per paste by the delimited reader's small-text detection, never
// per value and never from the locale; within a cell ScanNumber's rules hold. Nothing here
// needs a window or an application object, so the scanners can be tested and fuzzed on their own.
#include "orvex_ntabed.h"

#include "orvex_delimited.h"
#include "orvex_ntabed_internal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace orvex {

namespace {
constexpr double kScanLimit = 1.7E308;
constexpr int kMaxExponentDigitsValue = 4200;

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

}  // namespace

bool ConvertDecimal(std::string_view Text, double& Value, bool& Overflow)
{
  Overflow = false;
  const char* first = Text.data();
  const char* last = Text.data() + Text.size();
  double v = 0;
  const auto [end, ec] = std::from_chars(first, last, v, std::chars_format::general);
  if (end != last)
    return false;
  if (ec == std::errc()) {
    Value = v;
    return true;
  }
  if (ec != std::errc::result_out_of_range)
    return false;
  // Beyond the range of doubles: tell overflow from underflow by the decimal magnitude.
  const bool negative = !Text.empty() && Text.front() == '-';
  const std::size_t ePos = Text.find_first_of("eE");
  const std::string_view mantissa = Text.substr(negative ? 1 : 0, ePos == std::string_view::npos ? std::string_view::npos
                                                                                                  : ePos - (negative ? 1 : 0));
  long long exponent = 0;
  if (ePos != std::string_view::npos) {
    std::string_view e = Text.substr(ePos + 1);
    const bool eNeg = !e.empty() && e.front() == '-';
    if (!e.empty() && (e.front() == '-' || e.front() == '+'))
      e.remove_prefix(1);
    for (char c : e)
      exponent = std::min(exponent * 10 + (c - '0'), 1000000000LL);
    if (eNeg)
      exponent = -exponent;
  }
  long long magnitude = 0;  // position of the first significant digit relative to the point
  const std::size_t point = mantissa.find('.');
  const std::size_t intLen = point == std::string_view::npos ? mantissa.size() : point;
  const std::size_t firstSig = mantissa.find_first_not_of("0.");
  if (firstSig == std::string_view::npos) {
    Value = negative ? -0.0 : 0.0;
    return true;
  }
  magnitude = firstSig < intLen ? static_cast<long long>(intLen - firstSig) - 1
                                : -static_cast<long long>(firstSig - intLen);
  Overflow = magnitude + exponent > 0;
  const double big = std::numeric_limits<double>::infinity();
  Value = Overflow ? (negative ? -big : big) : (negative ? -0.0 : 0.0);
  return true;
}

TScanResult ScanNumberChecked(std::string_view Text, bool AllowExponent, int DecimalSeparators, int& Pos)
{
  enum TClass { kSign, kDigit, kSeparator, kExp, kBlank, kOther };
  std::string number;
  int state = 1;
  int exponentValue = 0;
  std::size_t i = Pos < 1 ? 0 : static_cast<std::size_t>(Pos - 1);
  bool error = false;
  for (;; ++i) {
    const char raw = i < Text.size() ? Text[i] : '\0';
    const char c = (raw >= 'a' && raw <= 'z') ? static_cast<char>(raw - 'a' + 'A') : raw;
    TClass cls = kOther;
    if (i >= Text.size())
      cls = kOther;
    else if (c == '+' || c == '-')
      cls = kSign;
    else if (IsDigit(c))
      cls = kDigit;
    else if ((c == '.' && (DecimalSeparators & 1)) || (c == ',' && (DecimalSeparators & 2)))
      cls = kSeparator;
    else if (c == 'E')
      cls = kExp;
    else if (c == ' ')
      cls = kBlank;
    int next = 0;  // 0 end, -1 error
    switch (state) {
    case 1:
      next = cls == kSign ? 2 : cls == kDigit ? 3 : cls == kSeparator ? 4 : cls == kBlank ? 1 : -1;
      break;
    case 2:
      next = cls == kDigit ? 3 : cls == kSeparator ? 4 : -1;
      break;
    case 3:
    case 4:
    case 5: {
      const int digitState = state == 3 ? 3 : 5;
      if (cls == kDigit)
        next = digitState;
      else if (cls == kSeparator)
        next = state == 3 ? 4 : -1;
      else if (cls == kExp)
        next = AllowExponent ? 6 : 0;
      else
        next = 0;
      break;
    }
    case 6:
      next = cls == kSign ? 7 : cls == kDigit ? 8 : cls == kOther ? 0 : -1;
      break;
    case 7:
      next = cls == kDigit ? 8 : cls == kOther ? 0 : -1;
      break;
    case 8:
      next = cls == kDigit ? 8 : 0;
      break;
    }
    if (next == -1) {
      error = true;
      break;
    }
    if (next == 0)
      break;
    if (state == 1 && next == 1) {
      state = 1;  // leading blanks are skipped
      continue;
    }
    if (next == 8) {
      if (exponentValue <= kMaxExponentDigitsValue) {
        exponentValue = exponentValue * 10 + (c - '0');
        number += c;
      }
    } else {
      number += cls == kSeparator ? '.' : c;
    }
    state = next;
  }
  Pos = static_cast<int>(i) + 1;
  if (error)
    return {};
  // A dangling exponent mark (and its sign) carries no digits: the number ends before it.
  if (state == 6 || state == 7) {
    const std::size_t e = number.rfind('E');
    number.erase(e);
  }
  if (!number.empty() && number.back() == '.')
    number += '0';
  if (!number.empty() && number.front() == '+')
    number.erase(0, 1);
  const std::size_t signLen = (!number.empty() && number.front() == '-') ? 1 : 0;
  if (number.size() > signLen && number[signLen] == '.')
    number.insert(signLen, 1, '0');
  double v = 0;
  bool overflow = false;
  if (!ConvertDecimal(number, v, overflow))
    return {};
  return {std::clamp(v, -kScanLimit, kScanLimit), true};
}

double ScanNumber(const std::string& Text, bool AllowExponent, int DecimalSeparators, int& Pos)
{
  return ScanNumberChecked(Text, AllowExponent, DecimalSeparators, Pos).Value;
}

namespace {

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

// The fields of one line of Text from Pos, with Delimiter (dlBlanks: runs of blanks and tabs,
// none at either end). A field that starts with a double quote runs to the closing quote, with
// doubled quotes for a quote and line ends inside; what follows the closing quote up to the
// delimiter belongs to the field as well. Pos ends after the line end.
void SplitLine(std::string_view Text, std::size_t& Pos, char Delimiter, std::vector<std::string>& Fields)
{
  Fields.clear();
  const std::size_t n = Text.size();
  auto atLineEnd = [&](std::size_t I) { return I >= n || Text[I] == '\n' || Text[I] == '\r'; };
  auto endLine = [&] {
    if (Pos < n && Text[Pos] == '\r') {
      ++Pos;
      if (Pos < n && Text[Pos] == '\n')
        ++Pos;
    } else if (Pos < n && Text[Pos] == '\n') {
      ++Pos;
    }
  };
  const bool blanks = Delimiter == dlBlanks;
  if (blanks) {
    while (Pos < n && IsBlank(Text[Pos]))
      ++Pos;
    if (atLineEnd(Pos)) {
      endLine();
      return;
    }
  }
  for (;;) {
    std::string field;
    std::size_t q = Pos;
    while (q < n && Text[q] == ' ')
      ++q;
    if (q < n && Text[q] == '"') {
      Pos = q + 1;
      while (Pos < n) {
        if (Text[Pos] == '"') {
          if (Pos + 1 < n && Text[Pos + 1] == '"') {
            field += '"';
            Pos += 2;
            continue;
          }
          ++Pos;
          break;
        }
        field += Text[Pos++];
      }
    }
    while (!atLineEnd(Pos) && (blanks ? !IsBlank(Text[Pos]) : Text[Pos] != Delimiter))
      field += Text[Pos++];
    Fields.push_back(std::move(field));
    if (blanks) {
      while (Pos < n && IsBlank(Text[Pos]))
        ++Pos;
      if (atLineEnd(Pos))
        break;
    } else {
      if (atLineEnd(Pos))
        break;
      ++Pos;  // the delimiter
    }
  }
  endLine();
}

// One cell: empty (blank or a run of "#"), or a number by ScanNumber's rules filling the whole
// field with the decimal mark of the paste; anything else is not a number.
TScanResult ScanCell(const std::string& Field, int Separators, bool& Empty)
{
  std::size_t b = 0;
  std::size_t e = Field.size();
  while (b < e && IsBlank(Field[b]))
    ++b;
  while (e > b && IsBlank(Field[e - 1]))
    --e;
  Empty = b == e || Field.find_first_not_of('#', b) >= e;
  if (Empty)
    return {};
  const std::string_view cell(Field.data() + b, e - b);
  int pos = 1;
  const TScanResult r = ScanNumberChecked(cell, true, Separators, pos);
  if (!r.Valid || static_cast<std::size_t>(pos - 1) < cell.size())
    return {};
  return r;
}

// Whether every "," of the text stands between a digit and exactly three digits, as a group
// separator would ("1,234"): such a text does not show whether "," is the decimal mark.
bool OnlyGroupingCommas(std::string_view Text)
{
  bool any = false;
  for (std::size_t i = Text.find(','); i != std::string_view::npos; i = Text.find(',', i + 1)) {
    any = true;
    const bool digitBefore = i > 0 && IsDigit(Text[i - 1]);
    const bool threeAfter = i + 3 < Text.size() && IsDigit(Text[i + 1]) && IsDigit(Text[i + 2]) &&
                            IsDigit(Text[i + 3]) && (i + 4 == Text.size() || !IsDigit(Text[i + 4]));
    if (!digitBefore || !threeAfter)
      return false;
  }
  return any;
}

const char* SeparatorWords(char Delimiter)
{
  switch (Delimiter) {
  case dlComma: return "commas";
  case dlSemicolon: return "semicolons";
  case dlPipe: return "pipes";
  case dlBlanks: return "blanks";
  default: return "tabs";
  }
}

}  // namespace

std::string TClipboardReading::Description() const
{
  std::string s = "Read the pasted text as cells separated by ";
  s += SeparatorWords(Delimiter);
  s += DecimalComma ? ", with the decimal comma \",\"." : ", with the decimal point \".\".";
  if (MarkUndecided)
    s += " The text does not show which decimal mark it uses; \".\" was taken.";
  return s;
}

TClipboardReading ScanClipboardText(std::string_view Text, const TClipboardCellEvent& OnCell)
{
  // A UTF-8 byte-order mark is no part of the first cell.
  if (Text.substr(0, 3) == "\xEF\xBB\xBF")
    Text.remove_prefix(3);
  const TSmallTextDialect dialect = DetectSmallText(Text);
  TClipboardReading reading;
  reading.Delimiter = dialect.Delimiter;
  reading.DecimalComma = dialect.DecimalMark == TDecimalMark::Comma && dialect.Delimiter != dlComma;
  // A "," that may or may not be the decimal mark: both marks in the numbers, or commas only
  // where a group separator would stand. "." is taken and the reading says so.
  if (dialect.Delimiter != dlComma && Text.find(',') != std::string_view::npos &&
      (!dialect.DecimalMarkDecided || (reading.DecimalComma && OnlyGroupingCommas(Text)))) {
    reading.DecimalComma = false;
    reading.MarkUndecided = true;
  }
  const int separators = reading.DecimalComma ? 2 : 1;

  std::vector<std::string> fields;
  std::size_t pos = 0;
  int m = 0;
  int pendingBlank = 0;  // blank lines kept until a line with cells follows
  while (pos < Text.size()) {
    SplitLine(Text, pos, dialect.Delimiter, fields);
    const bool blankLine = fields.empty() || (fields.size() == 1 && fields[0].find_first_not_of(" \t") == std::string::npos);
    if (blankLine) {
      ++pendingBlank;
      continue;
    }
    // A blank line between lines with cells is an empty cell in its place.
    for (; pendingBlank > 0; --pendingBlank)
      OnCell(0, m++, 0, true);
    int k = 0;
    for (const std::string& f : fields) {
      bool empty = false;
      const TScanResult r = ScanCell(f, separators, empty);
      OnCell(k++, m, r.Value, !r.Valid);
    }
    reading.Columns = std::max(reading.Columns, k);
    ++m;
  }
  reading.Rows = m;
  return reading;
}

}  // namespace orvex
