// The axis mapping: construction from a range and its pixel ends, the forward map with its one
// rounding rule, and the inverse.
#include "orvex_axismap.h"

#include <algorithm>
#include <cmath>

namespace orvex {

TAxisMap TAxisMap::Make(long double Low, long double High, bool Logarithmic, long double PixLow,
                        long double PixHigh, long double Centre, long double LogFloorPixel)
{
  TAxisMap m;
  m.Logarithmic = Logarithmic;
  m.LogFloorPixel = LogFloorPixel;
  if (Logarithmic) {
    Low = std::log(Low);
    High = std::log(High);
  }
  if (PixLow == PixHigh || High == Low) {
    m.K = 0;
    m.O = Centre;
  } else {
    m.K = (PixHigh - PixLow) / (High - Low);
    m.O = (PixLow * High - PixHigh * Low) / (High - Low);
  }
  return m;
}

long double TAxisMap::ToPixelF(double V) const
{
  if (std::isnan(V))
    return -PixelLimit;
  long double p;
  if (Logarithmic) {
    if (V <= LogFloor)
      return LogFloorPixel;
    p = K * std::log(static_cast<long double>(V)) + O;
  } else {
    p = K * V + O;
  }
  if (std::isnan(p))
    return -PixelLimit;
  return std::clamp(p, -PixelLimit, PixelLimit);
}

double TAxisMap::ToWorld(long double Pixel) const
{
  if (K == 0)
    return 0.0;
  const long double v = (Pixel - O) / K;
  return static_cast<double>(Logarithmic ? std::exp(v) : v);
}

}  // namespace orvex
