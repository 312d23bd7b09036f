// TAxisMap: the mapping of one axis of one chart layer between world values and control pixels,
// as a small value. The chart keeps two per layer (X and Y) and every part that turns a value into
// a pixel or back uses them: the item pass, the grid, the text labels, the cross-hairs, the mouse
// (pan, zoom, drags, reported positions) and the hit test.
//
// The mapping is linear in the value, or in its natural logarithm on a logarithmic axis:
// pixel = K * v + O (or K * ln v + O), computed in long double. One rounding rule turns the
// floating pixel into a whole one: halves to even. The inverse of a whole pixel is the world value
// whose floating pixel is that pixel exactly, so pixel -> world -> pixel is the identity wherever
// the axis has a non-zero extent.
#pragma once

#include <cmath>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvex {

struct TAxisMap {
  // pixel = K * v + O (v = ln value on a logarithmic axis); K = 0 maps every value onto O.
  long double K = 1.0L;
  long double O = 0.0L;
  bool Logarithmic = false;
  // Where values of LogFloor and below go on a logarithmic axis (the end of the low side).
  long double LogFloorPixel = 0.0L;

  // The smallest value a logarithmic axis maps by its logarithm.
  static constexpr double LogFloor = 1e-100;
  // Floating pixels are clamped to +-PixelLimit; NaN maps to -PixelLimit.
  static constexpr long double PixelLimit = 2147483647.0L;

  // The map that puts Low on pixel PixLow and High on pixel PixHigh (logarithmic: ln Low and
  // ln High; both ends must then be positive, which the caller checks). With Low = High or
  // PixLow = PixHigh every value maps onto Centre.
  static TAxisMap Make(long double Low, long double High, bool Logarithmic, long double PixLow, long double PixHigh,
                       long double Centre, long double LogFloorPixel);

  // The floating pixel of V, clamped to the int range.
  long double ToPixelF(double V) const;
  // The whole pixel of V: ToPixelF rounded halves to even.
  inline int ToPixel(double V) const;
  // The world value at a (possibly fractional) pixel; 0 when the axis has no extent.
  double ToWorld(long double Pixel) const;
};

// Halves to even, the one rounding rule of the chart's pixels, on the long double value; P must
// lie within the int range.
inline int RoundPixel(long double P)
{
  // Rounded as a double first, by the processor's conversion in its default mode (halves to
  // even): the extended-precision rounding call is several times slower than the whole mapping.
  // Only where the double is a half and P lies off it does the long double decide the way.
  const double d = static_cast<double>(P);
#if defined(__SSE2__)
  int r = _mm_cvtsd_si32(_mm_set_sd(d));
#else
  int r = static_cast<int>(std::nearbyint(d));
#endif
  const double f = d - r;
  if ((f == 0.5 || f == -0.5) && P != static_cast<long double>(d))
    r = static_cast<int>(std::floor(d)) + (P > static_cast<long double>(d) ? 1 : 0);
  return r;
}

// The linear case is inline: the item pass maps millions of marks through it.
inline int TAxisMap::ToPixel(double V) const
{
  if (!Logarithmic && V == V) {
    const long double p = K * V + O;
    if (p >= -PixelLimit && p <= PixelLimit)
      return RoundPixel(p);
  }
  return RoundPixel(ToPixelF(V));
}

}  // namespace orvex
