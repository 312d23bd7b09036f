// The smoother, Q-Q positions, quantiles and Cook's distance contours of the diagnostic charts.
// The smoother keeps the classic algorithm's steps and tests; each local fit is formed from five
// weighted sums taken in one pass (instead of normalising and re-weighting the neighbourhood in
// several passes), which makes 100,000 points cheap and changes the curve only by rounding.
#include "orvex_diagplot.h"

#include <boost/math/distributions/normal.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace orvex {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

inline double Square(double V) { return V * V; }
inline double Cube(double V) { return V * V * V; }

// Weighted sums over one neighbourhood, in coordinates relative to the fitted point (d = x - Xs,
// no larger than the radius, so the spread below is formed without cancellation): the sum of the
// weights and the weighted sums of d, d^2, y and d y. Four lanes of partial sums let the loop run
// in vector registers; the sums therefore differ from a left-to-right sum by rounding only.
struct TLocalSums {
  double W = 0, D = 0, DD = 0, Y = 0, DY = 0;
};

template <bool Robust>
__attribute__((target_clones("arch=x86-64-v3", "default"))) TLocalSums
NeighbourhoodSums(const double* X, const double* Y, const double* Rw, std::size_t From, std::size_t To, double Xs,
                  double H)
{
  const double h9 = 0.999 * H;
  const double h1 = 0.001 * H;
  const double inv = H > 0.0 ? 1.0 / H : 0.0;
  constexpr int Lanes = 4;
  double sw[Lanes] = {}, sd[Lanes] = {}, sdd[Lanes] = {}, sy[Lanes] = {}, sdy[Lanes] = {};
  auto take = [&](int L, std::size_t J) {
    const double d = X[J] - Xs;
    const double r = std::fabs(d);
    const double t = 1.0 - Cube(r * inv);
    double w = r <= h1 ? 1.0 : Cube(t);
    w = r <= h9 ? w : 0.0;
    if constexpr (Robust)
      w *= Rw[J];
    sw[L] += w;
    sd[L] += w * d;
    sdd[L] += w * d * d;
    sy[L] += w * Y[J];
    sdy[L] += w * d * Y[J];
  };
  std::size_t j = From;
  for (; j + Lanes <= To; j += Lanes)
    for (int l = 0; l < Lanes; ++l)
      take(l, j + static_cast<std::size_t>(l));
  for (int l = 0; j < To; ++j, ++l)
    take(l, j);
  TLocalSums s;
  for (int l = 0; l < Lanes; ++l) {
    s.W += sw[l];
    s.D += sd[l];
    s.DD += sdd[l];
    s.Y += sy[l];
    s.DY += sdy[l];
  }
  return s;
}

// The local weighted linear fit at Xs over the neighbourhood Left..Right (0-based, inclusive;
// ties beyond Right are taken in): tricube weights of the distance relative to the radius
// (times the robustness weights Rw when given), a weighted straight line through the
// neighbourhood where its x values are spread out enough (otherwise the weighted mean), read at
// Xs. False when every weight is zero.
bool LocalFit(const double* X, const double* Y, std::size_t N, double Xs, double& Ys, std::size_t Left,
              std::size_t Right, const double* Rw)
{
  const double range = X[N - 1] - X[0];
  const double h = std::max(Xs - X[Left], X[Right] - Xs);
  const double h9 = 0.999 * h;

  // The neighbourhood ends before the first point right of Xs farther away than h9 (which
  // takes in all ties of X[Right]); x - Xs grows with the index, so a binary search finds it.
  const double* endPtr = std::partition_point(X + Left, X + N, [&](double V) { return !(V - Xs > h9); });
  const auto end = static_cast<std::size_t>(endPtr - X);

  const TLocalSums s = Rw ? NeighbourhoodSums<true>(X, Y, Rw, Left, end, Xs, h)
                          : NeighbourhoodSums<false>(X, Y, Rw, Left, end, Xs, h);
  if (s.W <= 0.0)
    return false;
  const double meanY = s.Y / s.W;
  double ys = meanY;
  if (h > 0.0) {
    // Weighted centre of the x values and their weighted spread about it; a slope only where
    // they are spread out enough.
    const double centre = s.D / s.W;
    const double c = std::max(0.0, s.DD / s.W - centre * centre);
    if (std::sqrt(c) > 0.001 * range)
      ys = meanY + (-centre / c) * (s.DY / s.W - centre * meanY);
  }
  Ys = ys;
  return true;
}

}  // namespace

void LowessSorted(std::span<const double> Xs, std::span<const double> Ys, double Span, int Iterations, double Delta,
                  std::span<double> Smoothed)
{
  const std::size_t n = std::min({Xs.size(), Ys.size(), Smoothed.size()});
  if (n == 0)
    return;
  const double* x = Xs.data();
  const double* y = Ys.data();
  double* ys = Smoothed.data();
  if (n < 2) {
    ys[0] = y[0];
    return;
  }

  // At least two, at most n points in each neighbourhood.
  const auto wanted = static_cast<long long>(Span * static_cast<double>(n) + 1e-7);
  const std::size_t ns = static_cast<std::size_t>(std::max(2LL, std::min(static_cast<long long>(n), wanted)));

  std::vector<double> work(n);  // the residuals
  std::vector<double> rw(n);    // robustness weights
  for (int iter = 1; iter <= Iterations + 1; ++iter) {
    std::size_t left = 0;
    std::size_t right = ns - 1;
    std::size_t last = 0;   // index of the last fitted point
    bool anyFitted = false;
    std::size_t i = 0;      // index of the current point
    for (;;) {
      if (right < n - 1) {
        // Move the neighbourhood right while that makes its radius smaller.
        const double d1 = x[i] - x[left];
        const double d2 = x[right + 1] - x[i];
        if (d1 > d2) {
          ++left;
          ++right;
          continue;
        }
      }
      if (!LocalFit(x, y, n, x[i], ys[i], left, right, iter > 1 ? rw.data() : nullptr))
        ys[i] = y[i];
      // Points skipped since the last fit are interpolated linearly.
      if (anyFitted && last + 1 < i) {
        const double denom = x[i] - x[last];
        for (std::size_t j = last + 1; j < i; ++j) {
          const double alpha = (x[j] - x[last]) / denom;
          ys[j] = alpha * ys[i] + (1.0 - alpha) * ys[last];
        }
      }
      last = i;
      anyFitted = true;
      // Points within Delta are skipped; ties of the fitted point take its value.
      const double cut = x[last] + Delta;
      for (i = last + 1; i < n; ++i) {
        if (x[i] > cut)
          break;
        if (x[i] == x[last]) {
          ys[i] = ys[last];
          last = i;
        }
      }
      i = std::max(last + 1, i - 1);
      if (last >= n - 1)
        break;
    }

    for (std::size_t j = 0; j < n; ++j)
      work[j] = y[j] - ys[j];
    if (iter > Iterations)
      break;
    double sc = 0.0;
    for (std::size_t j = 0; j < n; ++j)
      sc += std::fabs(work[j]);
    sc /= static_cast<double>(n);

    // Bisquare weights from six times the median absolute residual.
    for (std::size_t j = 0; j < n; ++j)
      rw[j] = std::fabs(work[j]);
    const std::size_t m1 = n / 2;
    std::nth_element(rw.begin(), rw.begin() + static_cast<std::ptrdiff_t>(m1), rw.end());
    double cmad = 0.0;
    if (n % 2 == 0) {
      const std::size_t m2 = n - m1 - 1;
      const double upper = rw[m1];
      std::nth_element(rw.begin(), rw.begin() + static_cast<std::ptrdiff_t>(m2), rw.end());
      cmad = 3.0 * (upper + rw[m2]);
    } else {
      cmad = 6.0 * rw[m1];
    }
    if (cmad < 1e-7 * sc)  // effectively a perfect fit: no further iteration changes anything
      break;
    const double c9 = 0.999 * cmad;
    const double c1 = 0.001 * cmad;
    for (std::size_t j = 0; j < n; ++j) {
      const double r = std::fabs(work[j]);
      rw[j] = r <= c1 ? 1.0 : (r <= c9 ? Square(1.0 - Square(r / cmad)) : 0.0);
    }
  }
}

TLowessCurve Lowess(std::span<const double> X, std::span<const double> Y, double Span, int Iterations)
{
  const std::size_t n = std::min(X.size(), Y.size());
  std::vector<std::size_t> order;
  order.reserve(n);
  for (std::size_t i = 0; i < n; ++i)
    if (std::isfinite(X[i]) && std::isfinite(Y[i]))
      order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return X[a] < X[b]; });

  TLowessCurve curve;
  curve.X.resize(order.size());
  curve.Y.resize(order.size());
  std::vector<double> y(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    curve.X[k] = X[order[k]];
    y[k] = Y[order[k]];
  }
  const double delta = order.empty() ? 0.0 : 0.01 * (curve.X.back() - curve.X.front());
  LowessSorted(curve.X, y, Span, Iterations, delta, curve.Y);
  return curve;
}

std::vector<double> PlotPositions(std::size_t N)
{
  const double a = N <= 10 ? 3.0 / 8.0 : 0.5;
  const double n = static_cast<double>(N);
  std::vector<double> p(N);
  for (std::size_t i = 0; i < N; ++i)
    p[i] = (static_cast<double>(i + 1) - a) / (n + 1.0 - 2.0 * a);
  return p;
}

double NormalQuantile(double P)
{
  if (!(P >= 0.0 && P <= 1.0))
    return NaN;
  if (P == 0.0)
    return -std::numeric_limits<double>::infinity();
  if (P == 1.0)
    return std::numeric_limits<double>::infinity();
  return boost::math::quantile(boost::math::normal_distribution<double>(0.0, 1.0), P);
}

double SampleQuantile(std::span<const double> Sorted, double P)
{
  if (Sorted.empty() || !(P >= 0.0 && P <= 1.0))
    return NaN;
  const double index = static_cast<double>(Sorted.size() - 1) * P;  // 0-based position
  const double lo = std::floor(index);
  const auto loIdx = static_cast<std::size_t>(lo);
  const auto hiIdx = static_cast<std::size_t>(std::ceil(index));
  const double q = Sorted[loIdx];
  if (index > lo && Sorted[hiIdx] != q) {
    const double h = index - lo;
    return (1.0 - h) * q + h * Sorted[hiIdx];
  }
  return q;
}

TNormalQQ NormalQQ(std::span<const double> Sample)
{
  TNormalQQ qq;
  qq.Theoretical.assign(Sample.size(), NaN);
  std::vector<std::size_t> order;
  order.reserve(Sample.size());
  for (std::size_t i = 0; i < Sample.size(); ++i)
    if (std::isfinite(Sample[i]))
      order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return Sample[a] < Sample[b]; });
  const std::vector<double> p = PlotPositions(order.size());
  std::vector<double> sorted(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    qq.Theoretical[order[k]] = NormalQuantile(p[k]);
    sorted[k] = Sample[order[k]];
  }
  const double y1 = SampleQuantile(sorted, 0.25);
  const double y2 = SampleQuantile(sorted, 0.75);
  const double x1 = NormalQuantile(0.25);
  const double x2 = NormalQuantile(0.75);
  qq.LineSlope = (y2 - y1) / (x2 - x1);
  qq.LineIntercept = y1 - qq.LineSlope * x1;
  return qq;
}

double CookContour(double Level, int NrOfCoefficients, double H)
{
  if (!(H > 0.0 && H <= 1.0))
    return NaN;
  return std::sqrt(Level * static_cast<double>(NrOfCoefficients) * (1.0 - H) / H);
}

std::vector<double> CookContourLeverages(double HMin, double HMax, double XHigh, int Count)
{
  std::vector<double> h;
  if (Count < 1)
    return h;
  const double from = std::min(HMin, HMax / 100.0);
  h.resize(static_cast<std::size_t>(Count));
  if (Count == 1) {
    h[0] = from;
    return h;
  }
  const double by = (XHigh - from) / static_cast<double>(Count - 1);
  for (int i = 0; i < Count; ++i)
    h[static_cast<std::size_t>(i)] = from + static_cast<double>(i) * by;
  h.back() = XHigh;
  return h;
}

std::vector<std::size_t> MostExtreme(std::span<const double> Values, std::size_t Count)
{
  std::vector<std::size_t> idx;
  idx.reserve(Values.size());
  for (std::size_t i = 0; i < Values.size(); ++i)
    if (std::isfinite(Values[i]))
      idx.push_back(i);
  const std::size_t k = std::min(Count, idx.size());
  const auto larger = [&](std::size_t a, std::size_t b) {
    const double fa = std::fabs(Values[a]);
    const double fb = std::fabs(Values[b]);
    return fa > fb || (fa == fb && a < b);
  };
  std::partial_sort(idx.begin(), idx.begin() + static_cast<std::ptrdiff_t>(k), idx.end(), larger);
  idx.resize(k);
  return idx;
}

}  // namespace orvex
