// The smoother, Q-Q positions, quantiles and Cook's distance contours of the diagnostic charts.
// The smoother keeps the classic algorithm's steps and tests; each local fit is formed from five
// weighted sums taken in one pass (instead of normalising and re-weighting the neighbourhood in
// several passes), which makes 100,000 points cheap and changes the curve only by rounding.
#include "orvex_diagplot.h"

#include "orvex_math2.h"
#include "orvex_taskpool.h"

#include <boost/math/distributions/normal.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numeric>
#include <utility>

namespace orvex {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

inline double Square(double V) { return V * V; }
inline double Cube(double V) { return V * V * V; }

// Weighted sums over one neighbourhood, in coordinates relative to the fitted point (d = x - Xs,
// no larger than the radius, so the spread below is formed without cancellation): the sum of the
// weights and the weighted sums of d, d^2, y and d y. Eight lanes of partial sums run in vector
// registers; the sums therefore differ from a left-to-right sum by rounding only.
struct TLocalSums {
  double W = 0, D = 0, DD = 0, Y = 0, DY = 0;
};

// Eight doubles in one vector value: an AVX-512 register in the x86-64-v4 clone, two AVX
// registers (two independent chains of sums) in the x86-64-v3 one, SSE pairs otherwise.
using TLane8 = double __attribute__((vector_size(64)));

template <bool Robust>
inline __attribute__((always_inline)) TLocalSums NeighbourhoodSumsOf(const double* X, const double* Y,
                                                                     const double* Rw, std::size_t From,
                                                                     std::size_t To, double Xs, double H)
{
  const double h9 = 0.999 * H;
  const double h1 = 0.001 * H;
  const double inv = H > 0.0 ? 1.0 / H : 0.0;
  const TLane8 zero = TLane8{} + 0.0;
  const TLane8 one = TLane8{} + 1.0;
  TLane8 sw = zero, sd = zero, sdd = zero, sy = zero, sdy = zero;
  std::size_t j = From;
  TLane8 x, y, rw = one;
  for (; j + 8 <= To; j += 8) {
    std::memcpy(&x, X + j, sizeof x);
    std::memcpy(&y, Y + j, sizeof y);
    if constexpr (Robust)
      std::memcpy(&rw, Rw + j, sizeof rw);
    const TLane8 d = x - Xs;
    const TLane8 r = d < 0.0 ? -d : d;
    const TLane8 q = r * inv;
    const TLane8 t = one - q * q * q;
    TLane8 w = r <= h1 ? one : t * t * t;
    w = r <= h9 ? w : zero;
    if constexpr (Robust)
      w *= rw;
    const TLane8 wd = w * d;
    sw += w;
    sd += wd;
    sdd += wd * d;
    sy += w * y;
    sdy += wd * y;
  }
  TLocalSums s;
  for (int l = 0; l < 8; ++l) {
    s.W += sw[l];
    s.D += sd[l];
    s.DD += sdd[l];
    s.Y += sy[l];
    s.DY += sdy[l];
  }
  for (; j < To; ++j) {
    const double d = X[j] - Xs;
    const double r = std::fabs(d);
    const double t = 1.0 - Cube(r * inv);
    double w = r <= h9 ? (r <= h1 ? 1.0 : Cube(t)) : 0.0;
    if constexpr (Robust)
      w *= Rw[j];
    s.W += w;
    s.D += w * d;
    s.DD += w * d * d;
    s.Y += w * Y[j];
    s.DY += w * d * Y[j];
  }
  return s;
}

// The two kinds of sums as plain functions, each cloned for AVX2 and AVX-512 (templates cannot be
// cloned).
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"))) TLocalSums
NeighbourhoodSums(const double* X, const double* Y, std::size_t From, std::size_t To, double Xs, double H)
{
  return NeighbourhoodSumsOf<false>(X, Y, nullptr, From, To, Xs, H);
}

__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default"))) TLocalSums
RobustNeighbourhoodSums(const double* X, const double* Y, const double* Rw, std::size_t From, std::size_t To,
                        double Xs, double H)
{
  return NeighbourhoodSumsOf<true>(X, Y, Rw, From, To, Xs, H);
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

  const TLocalSums s = Rw ? RobustNeighbourhoodSums(X, Y, Rw, Left, end, Xs, h)
                          : NeighbourhoodSums(X, Y, Left, end, Xs, h);
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

// One local fit of a pass: the point fitted, its neighbourhood Left..Right, and the last of the
// points tied with it, which take its value (TieEnd = Point without ties).
struct TFitStep {
  std::size_t Point, Left, Right, TieEnd;
};

// The classic walk over the sorted x values: the neighbourhood of ns points moves right while
// that makes its radius smaller; after each fitted point, the points within Delta of it are
// skipped (to be interpolated), except the last of them, which is fitted next.
std::vector<TFitStep> FitSteps(const double* X, std::size_t N, std::size_t Ns, double Delta)
{
  std::vector<TFitStep> steps;
  std::size_t left = 0, right = Ns - 1, i = 0;
  for (;;) {
    if (right < N - 1 && X[i] - X[left] > X[right + 1] - X[i]) {
      ++left;
      ++right;
      continue;
    }
    std::size_t last = i;
    const double cut = X[i] + Delta;
    std::size_t k = i + 1;
    for (; k < N && X[k] <= cut; ++k)
      if (X[k] == X[last])
        last = k;
    steps.push_back({i, left, right, last});
    if (last >= N - 1)
      return steps;
    i = std::max(last + 1, k - 1);
  }
}

// Points of neighbourhood sums per task of a pass (a few fits at most of a large input; a small
// input is one task, done on the calling thread).
constexpr std::size_t FitBlockPoints = std::size_t{1} << 18;

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

  // The fitted points and their neighbourhoods depend on x alone: the same for every pass. The
  // local fits of a pass are independent of each other and run in blocks of fits on the math
  // threads; the blocks hold a fixed amount of work, so they depend only on the input.
  const std::vector<TFitStep> steps = FitSteps(x, n, ns, Delta);
  const std::size_t stepsPerBlock = std::max<std::size_t>(1, FitBlockPoints / ns);
  const int blocks = BlockCount(static_cast<long long>(steps.size()), static_cast<long long>(stepsPerBlock));

  std::vector<double> work(n);  // the residuals
  std::vector<double> rw(n);    // robustness weights
  for (int iter = 1; iter <= Iterations + 1; ++iter) {
    const double* robustness = iter > 1 ? rw.data() : nullptr;
    ForEachMathTask(blocks, [&](int Block) {
      const std::size_t from = static_cast<std::size_t>(Block) * stepsPerBlock;
      const std::size_t to = std::min(steps.size(), from + stepsPerBlock);
      for (std::size_t k = from; k < to; ++k) {
        const TFitStep& s = steps[k];
        if (!LocalFit(x, y, n, x[s.Point], ys[s.Point], s.Left, s.Right, robustness))
          ys[s.Point] = y[s.Point];
      }
    });
    // Ties of a fitted point take its value; the points skipped between two fits are
    // interpolated linearly.
    for (std::size_t k = 0; k < steps.size(); ++k) {
      const TFitStep& s = steps[k];
      if (k > 0) {
        const std::size_t last = steps[k - 1].TieEnd;
        const double denom = x[s.Point] - x[last];
        for (std::size_t j = last + 1; j < s.Point; ++j) {
          const double alpha = (x[j] - x[last]) / denom;
          ys[j] = alpha * ys[s.Point] + (1.0 - alpha) * ys[last];
        }
      }
      for (std::size_t j = s.Point + 1; j <= s.TieEnd; ++j)
        ys[j] = ys[s.Point];
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
      // The other middle value (index m1 - 1) is the largest of those placed before m1.
      const double lower = *std::max_element(rw.begin(), rw.begin() + static_cast<std::ptrdiff_t>(m1));
      cmad = 3.0 * (rw[m1] + lower);
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

namespace {

// The finite values of Key with their indexes, ordered by
// value and, among equal values, by index (a stable order). A least-significant-digit radix sort
// on the values' bit patterns (flipped so that they order as unsigned integers) in six passes of
// 11 bits (a count table that stays in the first-level cache): each pass is stable, and the
// pairs start in index order. A pass whose digit is the same for all is skipped.
std::vector<std::pair<double, std::size_t>> StableOrder(std::span<const double> Key)
{
  struct TItem {
    std::uint64_t Bits;
    std::size_t Index;
  };
  std::vector<TItem> items, spare;
  items.reserve(Key.size());
  for (std::size_t i = 0; i < Key.size(); ++i) {
    if (!std::isfinite(Key[i]))
      continue;
    const double v = Key[i] + 0.0;  // -0 becomes +0, which compares equal to it
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    bits = (bits >> 63) ? ~bits : (bits | (std::uint64_t{1} << 63));
    items.push_back({bits, i});
  }
  spare.resize(items.size());
  constexpr int DigitBits = 11;
  constexpr std::size_t Buckets = std::size_t{1} << DigitBits;
  std::vector<std::size_t> count(Buckets);
  for (int shift = 0; shift < 64; shift += DigitBits) {
    std::fill(count.begin(), count.end(), 0);
    for (const TItem& it : items)
      ++count[(it.Bits >> shift) & (Buckets - 1)];
    if (items.empty() || count[(items[0].Bits >> shift) & (Buckets - 1)] == items.size())
      continue;  // one digit value throughout: the pass would not move anything
    std::size_t sum = 0;
    for (std::size_t& c : count) {
      const std::size_t n = c;
      c = sum;
      sum += n;
    }
    for (const TItem& it : items)
      spare[count[(it.Bits >> shift) & (Buckets - 1)]++] = it;
    items.swap(spare);
  }
  std::vector<std::pair<double, std::size_t>> order;
  order.reserve(items.size());
  for (const TItem& it : items)
    order.emplace_back(Key[it.Index], it.Index);
  return order;
}

}  // namespace

TLowessOrder LowessOrderOf(std::span<const double> X)
{
  return {StableOrder(X)};
}

TLowessCurve Lowess(const TLowessOrder& Order, std::span<const double> Y, double Span, int Iterations)
{
  // The order is stable (by value, then index), so leaving out the pairs with a non-finite Y
  // afterwards gives the order of the remaining pairs themselves.
  TLowessCurve curve;
  curve.X.reserve(Order.Pairs.size());
  std::vector<double> y;
  y.reserve(Order.Pairs.size());
  for (const auto& [x, index] : Order.Pairs) {
    if (index >= Y.size() || !std::isfinite(Y[index]))
      continue;
    curve.X.push_back(x);
    y.push_back(Y[index]);
  }
  curve.Y.resize(curve.X.size());
  const double delta = curve.X.empty() ? 0.0 : 0.01 * (curve.X.back() - curve.X.front());
  LowessSorted(curve.X, y, Span, Iterations, delta, curve.Y);
  return curve;
}

TLowessCurve Lowess(std::span<const double> X, std::span<const double> Y, double Span, int Iterations)
{
  const std::size_t n = std::min(X.size(), Y.size());
  return Lowess(LowessOrderOf(X.first(n)), Y.first(n), Span, Iterations);
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
  // Computed in double precision (Boost would promote to long double by default): a few units
  // in the last place, and several times faster for the 100,000 positions of a large Q-Q chart.
  using TDoublePolicy = boost::math::policies::policy<boost::math::policies::promote_double<false>>;
  return boost::math::quantile(boost::math::normal_distribution<double, TDoublePolicy>(0.0, 1.0), P);
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
  const auto order = StableOrder(Sample);
  const std::vector<double> p = PlotPositions(order.size());
  std::vector<double> sorted(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) {
    qq.Theoretical[order[k].second] = NormalQuantile(p[k]);
    sorted[k] = order[k].first;
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
