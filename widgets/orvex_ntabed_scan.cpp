// TNTabEd: the text scanners behind Extract from Clipboard (ScanNumber, ScanNumberChecked,
// ScanClipboardText) and the locale-free number conversion the cell editor shares. Nothing here
// needs a window or an application object, so the scanners can be tested and fuzzed on their own.
#include "orvex_ntabed.h"

#include "orvex_ntabed_internal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace orvex {

namespace {
constexpr double kScanLimit = 1.7E308;
constexpr int kMaxExponentDigitsValue = 4200;

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

bool CanStartCell(char C) { return C == '+' || C == '-' || C == '.' || C == '#' || IsDigit(C); }
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

void ScanClipboardText(std::string_view Text, const TClipboardCellEvent& OnCell)
{
  // Every line end becomes a blank and a line feed; tabs and "," separate like blanks.
  std::string s;
  s.reserve(Text.size() + Text.size() / 8 + 2);
  for (std::size_t i = 0; i < Text.size(); ++i) {
    const char c = Text[i];
    if (c == '\r' || c == '\n') {
      s += " \n";
      if (c == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n')
        ++i;
    } else if (c == '\t' || c == ',') {
      s += ' ';
    } else {
      s += c;
    }
  }
  s += ' ';

  const std::size_t n = s.size();
  std::size_t pos = 0;
  while (pos < n && !CanStartCell(s[pos]))
    ++pos;
  int k = 0;
  int m = 0;
  while (pos < n) {
    const std::size_t start = pos;
    if (s[pos] == '#') {
      // A run of "#" is one cell without a value, as Copy writes it.
      while (pos < n && s[pos] == '#')
        ++pos;
      OnCell(k, m, 0, true);
    } else {
      int p = static_cast<int>(pos) + 1;
      const TScanResult r = ScanNumberChecked(s, true, 3, p);
      pos = static_cast<std::size_t>(p - 1);
      OnCell(k, m, r.Value, !r.Valid);
    }
    ++k;
    if (pos < start + 1)
      pos = start + 1;
    while (pos < n && !CanStartCell(s[pos])) {
      if (s[pos] == '\n') {
        ++m;
        k = 0;
      }
      ++pos;
    }
  }
}

}  // namespace orvex
