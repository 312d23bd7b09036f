// FormatReal: the fixed-width number formatter of the reports. Every form is written from one
// decimal digit string of 18 significant digits (rounded to nearest), which is then cut to the
// digits the layout needs with halves rounded away from zero.
#include "orvex_stringl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace orvex {

namespace {

constexpr int SignificantDigits = 18;
constexpr int MaxFieldWidth = 255;
constexpr int MaxDecimals = 216;
// Magnitudes from 1E36 on are written in the scientific form even when decimals are asked for.
constexpr int MaxFixedExponent = 35;

// A magnitude as d[0].d[1]..d[17] x 10^Exponent; zero has all digits '0' and exponent 0.
struct TDecimalDigits {
  char Digits[SignificantDigits];
  int Exponent = 0;
};

TDecimalDigits ToDecimalDigits(long double Magnitude)
{
  TDecimalDigits result;
  std::fill(std::begin(result.Digits), std::end(result.Digits), '0');
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*Le", SignificantDigits - 1, Magnitude);
  // The decimal point follows the C locale of the process (a host GUI may have changed it), so
  // only the digits and the exponent are read.
  int count = 0;
  const char* p = buf;
  for (; *p != '\0' && *p != 'e' && *p != 'E'; ++p)
    if (*p >= '0' && *p <= '9' && count < SignificantDigits)
      result.Digits[count++] = *p;
  if (*p != '\0')
    result.Exponent = static_cast<int>(std::strtol(p + 1, nullptr, 10));
  if (result.Digits[0] == '0')
    result.Exponent = 0;
  return result;
}

// The first Count (>= 1) significant digits, rounded half up on the 18-digit string; digits
// beyond the 18th are 0. A carry through all digits makes "10...0" and raises Exponent by one
// (the string keeps Count digits; the dropped last one is a 0).
std::string RoundedDigits(const TDecimalDigits& Dec, int Count, int& Exponent)
{
  std::string digits;
  digits.reserve(static_cast<std::size_t>(Count));
  for (int i = 0; i < Count; ++i)
    digits += i < SignificantDigits ? Dec.Digits[i] : '0';
  Exponent = Dec.Exponent;
  if (Count < SignificantDigits && Dec.Digits[Count] >= '5') {
    int i = Count - 1;
    while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') {
      digits[static_cast<std::size_t>(i)] = '0';
      --i;
    }
    if (i >= 0) {
      ++digits[static_cast<std::size_t>(i)];
    } else {
      digits.insert(digits.begin(), '1');
      digits.pop_back();
      ++Exponent;
    }
  }
  return digits;
}

// Sign character, d significant digits with a point after the first, "E", the exponent's sign
// and four exponent digits, right-justified in W characters.
std::string ScientificText(long double Value, int W)
{
  const int d = std::clamp(W - 8, 2, SignificantDigits);
  const TDecimalDigits dec = ToDecimalDigits(std::fabs(Value));
  int exponent = 0;
  const std::string digits = RoundedDigits(dec, d, exponent);
  std::string text(static_cast<std::size_t>(std::max(W - (d + 8), 0)), ' ');
  text += std::signbit(Value) ? '-' : ' ';
  text += digits[0];
  text += '.';
  text.append(digits, 1, std::string::npos);
  text += 'E';
  text += exponent < 0 ? '-' : '+';
  char expDigits[16];
  std::snprintf(expDigits, sizeof expDigits, "%04d", std::abs(exponent));
  text += expDigits;
  return text;
}

std::string FixedText(long double Value, int W, int Decimals)
{
  const TDecimalDigits dec = ToDecimalDigits(std::fabs(Value));
  if (dec.Exponent > MaxFixedExponent)
    return ScientificText(Value, W);
  // Digits from the leading one down to the last decimal place.
  const int count = dec.Exponent + 1 + Decimals;
  std::string digits;
  int exponent = 0;
  if (dec.Digits[0] != '0') {
    if (count >= 1) {
      digits = RoundedDigits(dec, count, exponent);
    } else if (count == 0 && dec.Digits[0] >= '5') {
      // The leading digit is the first dropped one and rounds up into the last place.
      digits = "1";
      exponent = dec.Exponent + 1;
    }
  }
  // Digit at the decimal position Pos (10^Pos); zero outside the rounded digit string.
  auto digitAt = [&](int Pos) {
    const int i = exponent - Pos;
    if (i < 0 || i >= static_cast<int>(digits.size()))
      return '0';
    return digits[static_cast<std::size_t>(i)];
  };
  std::string text;
  if (std::signbit(Value))
    text += '-';
  const int top = digits.empty() ? 0 : std::max(exponent, 0);
  for (int pos = top; pos >= 0; --pos)
    text += digitAt(pos);
  if (Decimals > 0) {
    text += '.';
    for (int pos = -1; pos >= -Decimals; --pos)
      text += digitAt(pos);
  }
  if (static_cast<int>(text.size()) < W)
    text.insert(0, static_cast<std::size_t>(W) - text.size(), ' ');
  return text;
}

}  // namespace

std::string FormatReal(long double Value, int Width, int Decimals)
{
  const int W = static_cast<int>(std::min<long long>(std::llabs(static_cast<long long>(Width)), MaxFieldWidth));

  if (std::isnan(Value) || std::isinf(Value)) {
    std::string text = std::isnan(Value) ? "Nan" : (Value > 0 ? "+Inf" : "-Inf");
    if (static_cast<int>(text.size()) < W)
      text.insert(0, static_cast<std::size_t>(W) - text.size(), ' ');
    return text;
  }

  std::string text;
  if (Decimals >= 0) {
    text = FixedText(Value, W, std::min(Decimals, MaxDecimals));
  } else if (Decimals == -2) {
    // Scientific text two characters wider, then the upper two of the four exponent digits go;
    // an exponent that needs them cannot be shown in this form.
    text = ScientificText(Value, W + 2);
    const std::size_t hi = text.size() - 4;
    const bool fits = text[hi] == '0' && text[hi + 1] == '0';
    text.erase(hi, 2);
    if (!fits)
      std::fill(text.begin(), text.end(), '*');
  } else {
    text = ScientificText(Value, W);
  }

  if (Width < 0) {
    // Leading zeros: the padding (and a positive sign's space) turns into zeros, and a minus
    // sign moves to the front.
    std::size_t lead = 0;
    while (lead < text.size() && text[lead] == ' ')
      text[lead++] = '0';
    if (lead < text.size() && text[lead] == '-') {
      text[lead] = '0';
      text[0] = '-';
    }
  }
  return text;
}

}  // namespace orvex
