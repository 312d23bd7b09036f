// FormatReal over any value, width and form: printable text of at least the field width (at
// most 255) that reads back within the rounding of the digits it shows, or the overflow stars,
// or the texts of NaN and the infinities.
#include "fuzz_support.h"
#include "orvex_stringl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
  if (Size < 2 + sizeof(double))
    return 0;
  const int width = static_cast<signed char>(Data[0]) * 3;  // beyond 255 both ways
  int decimals = static_cast<signed char>(Data[1]);
  long double value;
  if (Size >= 12) {
    // Any long double: a 64-bit mantissa and a binary exponent over the whole range (only
    // values the processor itself produces, no unnormal bit patterns).
    std::uint64_t mantissa;
    std::uint16_t exponent;
    std::memcpy(&mantissa, Data + 2, sizeof mantissa);
    std::memcpy(&exponent, Data + 10, sizeof exponent);
    value = std::ldexp(static_cast<long double>(mantissa), static_cast<int>(exponent & 0x7FFF) - 16383 - 63);
    if (exponent & 0x8000)
      value = -value;
  } else {
    double d;
    std::memcpy(&d, Data + 2, sizeof d);
    value = d;
  }
  const std::string text = FormatReal(value, width, decimals);
  const std::size_t w = std::min<std::size_t>(static_cast<std::size_t>(std::abs(width)), 255);
  fuzz::Check(text.size() >= w, "text narrower than the field", text);
  for (char c : text)
    fuzz::Check(c >= 32 && c < 127, "character that cannot be printed", text);
  if (std::isnan(value)) {
    fuzz::Check(text.find("Nan") != std::string::npos, "NaN text", text);
    return 0;
  }
  if (std::isinf(value)) {
    fuzz::Check(text.find(value > 0 ? "+Inf" : "-Inf") != std::string::npos, "infinity text", text);
    return 0;
  }
  if (text.find_first_not_of('*') == std::string::npos) {
    // Only the short scientific form overflows: its exponent has two digits.
    fuzz::Check(decimals == -2, "stars outside the short scientific form", text);
    fuzz::Check(value != 0 && (std::fabs(value) >= 9.99e99L || std::fabs(value) < 1.01e-99L), "stars for a value that fits", text);
    return 0;
  }
  char* end = nullptr;
  const long double back = std::strtold(text.c_str(), &end);
  fuzz::Check(end != nullptr && *end == '\0', "text does not read back as a number", text);
  // Just below the largest long double the digits may round to a number beyond it.
  if (std::isinf(back) && std::fabs(value) > std::numeric_limits<long double>::max() / 16)
    return 0;
  // Half a unit of the last digit shown, plus the rounding to 18 significant digits first.
  const long double mag = std::fabs(value);
  long double tolerance = mag * 1e-17L;
  const std::size_t e = text.find('E');
  if (e == std::string::npos) {
    decimals = std::min(decimals, 216);
    tolerance += 0.5L * std::pow(10.0L, -decimals);
  } else {
    const std::size_t point = text.find('.');
    fuzz::Check(point != std::string::npos && point < e, "scientific text without a point", text);
    const int shown = static_cast<int>(e - point - 1) + 1;
    tolerance += mag * 0.5L * std::pow(10.0L, 1 - shown) * 1.0001L;
    if (shown >= 18)
      tolerance += mag * 1e-17L;
  }
  tolerance = tolerance * 1.0001L + std::numeric_limits<long double>::denorm_min();
  fuzz::Check(std::fabs(back - value) <= tolerance, "text does not read back within its rounding", text);
  fuzz::Check(std::signbit(back) == std::signbit(value) || back == 0, "sign lost", text);
  return 0;
}
