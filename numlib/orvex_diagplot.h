// The numerics behind the diagnostic charts of a regression: the robust locally weighted
// scatterplot smoother drawn over the residual charts, the plotting positions and normal
// quantiles of a normal Q-Q chart with its reference line through the quartiles, sample
// quantiles, and the curves of constant Cook's distance over the leverage axis.
//
// Everything here is a pure function of its arguments (no state, no GUI), so the chart fill
// functions of the workbench and the command-line tools compute the same curves, and the tests
// compare them with an independent statistics environment's figures. The smoother follows the
// classic algorithm step by step (neighbourhood walk, tricube weights, local linear fit, skipping
// of points closer than Delta with linear interpolation, bisquare robustness weights from six
// times the median absolute residual), so its curve agrees with the reference to rounding.
#pragma once

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

namespace orvex {

// A smoothed curve: the x values in increasing order and the smoothed value at each of them.
struct TLowessCurve {
  std::vector<double> X;
  std::vector<double> Y;
};

// Default settings of the smoother: the fraction of the points that form each neighbourhood
// and the number of robustness iterations after the first fit.
inline constexpr double LowessDefaultSpan = 2.0 / 3.0;
inline constexpr int LowessDefaultIterations = 3;

// Smooths Y against X (equal lengths; pairs with a non-finite value are left out). The pairs are
// ordered by X (ties keep their original order), Delta is 1 % of the range of X. An empty input
// gives an empty curve, a single pair itself.
TLowessCurve Lowess(std::span<const double> X, std::span<const double> Y, double Span = LowessDefaultSpan,
                    int Iterations = LowessDefaultIterations);

// The stable order of the finite values of X, made once for several smoothers of the same X
// (the residual charts smooth two series against the estimates).
struct TLowessOrder {
  std::vector<std::pair<double, std::size_t>> Pairs;  // value and index, increasing
};
TLowessOrder LowessOrderOf(std::span<const double> X);
// Lowess of Y against the X that Order was made from (pairs with a non-finite Y are left out):
// the same curve as Lowess(X, Y).
TLowessCurve Lowess(const TLowessOrder& Order, std::span<const double> Y, double Span = LowessDefaultSpan,
                    int Iterations = LowessDefaultIterations);

// The smoother's core on pairs already ordered by increasing X (all finite): Smoothed receives
// one value per pair. Delta: points within Delta of the last fitted point are interpolated
// instead of fitted (0 fits every point).
void LowessSorted(std::span<const double> X, std::span<const double> Y, double Span, int Iterations, double Delta,
                  std::span<double> Smoothed);

// Plotting positions (i - a) / (n + 1 - 2a), i = 1..n, with a = 3/8 for n <= 10 and 1/2 above.
std::vector<double> PlotPositions(std::size_t N);

// The quantile of the standard normal distribution at probability P (0 < P < 1; -inf at 0,
// +inf at 1, NaN outside).
double NormalQuantile(double P);

// The sample quantile at probability P (0..1) of the values in Sorted (increasing, finite) by
// linear interpolation between order statistics at position 1 + (n - 1) P, the usual default
// definition. NaN for an empty sample.
double SampleQuantile(std::span<const double> Sorted, double P);

// A normal Q-Q chart of a sample: for each value (in the sample's order) its theoretical
// quantile, the normal quantile of its plotting position by rank (ties ranked in sample
// order); and the reference line through the first and third quartiles of the sample and of
// the normal distribution.
struct TNormalQQ {
  std::vector<double> Theoretical;
  double LineSlope = 0;
  double LineIntercept = 0;
};
// Non-finite values get a NaN position and take no part in ranks or quartiles.
TNormalQQ NormalQQ(std::span<const double> Sample);

// The standardized residual at leverage H where an object's Cook's distance equals Level in a
// fit with NrOfCoefficients coefficients: sqrt(Level k (1 - h) / h); the contour is this curve
// and its negative. NaN for h outside (0, 1].
double CookContour(double Level, int NrOfCoefficients, double H);

// The leverage values at which the contours are drawn over a chart whose leverage axis ends at
// XHigh: Count values evenly spaced from the smaller of HMin and HMax / 100 (HMin, HMax: the
// smallest and largest leverage of the sample) to XHigh.
std::vector<double> CookContourLeverages(double HMin, double HMax, double XHigh, int Count = 101);

// The indexes (0-based) of the Count values of largest magnitude, largest first; ties keep
// their original order. Non-finite values are skipped.
std::vector<std::size_t> MostExtreme(std::span<const double> Values, std::size_t Count);

}  // namespace orvex
