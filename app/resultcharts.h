// The four diagnostic charts of a fit, beside the residual histogram: residuals against the
// estimates with a zero line and a smoother, a normal Q-Q chart of the standardized residuals
// with its quartile line, scale-location (square root of the absolute standardized residuals
// against the estimates) with a smoother, and standardized residuals against leverage with the
// contours of Cook's distance 0.5 and 1. The marks take the class colours of the fit chart and
// their table rows as item tags; the three most extreme objects of each chart carry their row
// names.
//
// The fill functions take a chart and the per-object values as plain arrays; no window is
// involved, so the window, a command-line plot tool and the tests draw the same charts. The
// curves come from the pure functions of orvex_diagplot.h.
#pragma once

#include "mlrresult.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace orvex {

class TCustomRChart;

// The per-object values of a fit that the diagnostic charts show, one entry per object used
// (in the order of the result's UsedRows), all arrays of equal length. Residuals are actual
// minus estimated, as in the result value; a standardized residual is the residual divided by
// s sqrt(1 - h) and NaN where the leverage h is 1 (such objects are left out of the charts that
// show it).
struct TDiagnosticData {
  std::span<const TFitPoint> Points;  // table row (the item tag of the mark) and class colour
  std::span<const double> Estimated;
  std::span<const double> Residuals;
  std::span<const double> StdResiduals;
  std::span<const double> Leverage;
  int NrOfCoefficients = 0;  // k: the rank of the design
  // Objects excluded by the user at (actual, estimated), with their leverage and standardized
  // prediction error (as the result gives them; both may be empty): drawn hollow where their
  // quantities are defined from the prediction. Residuals against estimates and scale-location
  // take e = actual - estimated and the prediction error, residuals against leverage the two
  // of them; the Q-Q chart shows the distribution of the fit's own residuals and leaves them out.
  std::span<const TFitPoint> Excluded;
  std::span<const double> ExcludedLeverage;
  std::span<const double> ExcludedStdError;
  // The label of an object by its table row (its row name, or the row number when it has none).
  std::function<std::string(int Row)> RowLabel;
};

// The values of a result: its points, estimates and residuals, and its influence measures
// (the leverage and standardized residual spans stay empty while the result has none).
TDiagnosticData DiagnosticDataOf(const TMLRResult& Result);

// Titles of the charts (also the captions of their tabs) and their axis captions.
inline constexpr const char* ResidVsEstimatedTitle = "Residuals vs. Estimated";
inline constexpr const char* NormalQQTitle = "Normal Q-Q";
inline constexpr const char* ScaleLocationTitle = "Scale-Location";
inline constexpr const char* ResidVsLeverageTitle = "Residuals vs. Leverage";
inline constexpr const char* EstimatedCaption = "Estimated Data";
inline constexpr const char* ResidualsCaption = "Residuals";
inline constexpr const char* TheoreticalQuantilesCaption = "Theoretical Quantiles";
inline constexpr const char* StdResidualsCaption = "Standardized Residuals";
inline constexpr const char* RootStdResidualsCaption = "sqrt(|Standardized Residuals|)";
inline constexpr const char* LeverageCaption = "Leverage";

// How many objects each chart labels, and the Cook's distance levels of the contours.
inline constexpr int DiagnosticLabelCount = 3;
inline constexpr double CookLevels[] = {0.5, 1.0};

// Colours of the added lines (0x00BBGGRR): the smoothers and contours red, the reference lines grey.
inline constexpr unsigned SmootherColor = 0x0000FF;
inline constexpr unsigned ReferenceLineColor = 0x808080;

// The step of a chart's item array (TCustomRChart::SetAllocSize) that takes Items items in the
// fewest whole steps: the array then grows once (twice beyond the largest step a chart accepts)
// instead of a thousand items at a time, so a first fill of a million marks neither copies the
// array again and again nor faults in its memory several times over.
int ItemAllocStep(std::size_t Items);

// Each fill empties the chart (items and text labels), sets its title and axis captions, adds
// the marks and lines, sets the range and shows the chart once.
void FillResidualsVsEstimated(TCustomRChart& Chart, const TDiagnosticData& Data);
void FillNormalQQ(TCustomRChart& Chart, const TDiagnosticData& Data);
void FillScaleLocation(TCustomRChart& Chart, const TDiagnosticData& Data);
void FillResidualsVsLeverage(TCustomRChart& Chart, const TDiagnosticData& Data);

// Chart for chart, the same fills (the window's tabs, in this order).
struct TDiagnosticCharts {
  TCustomRChart* ResidVsEstimated = nullptr;
  TCustomRChart* NormalQQ = nullptr;
  TCustomRChart* ScaleLocation = nullptr;
  TCustomRChart* ResidVsLeverage = nullptr;
};
void FillDiagnosticCharts(const TDiagnosticCharts& Charts, const TDiagnosticData& Data);
// From the result value itself (its influence measures must be available).
void FillDiagnosticCharts(const TDiagnosticCharts& Charts, const TMLRResult& Result,
                          std::function<std::string(int Row)> RowLabel);

}  // namespace orvex

namespace orvex {

// The actual-versus-estimated chart and the residual histogram, filled from a result value as
// the window shows them (the command-line plot tool draws the same).
inline constexpr const char* HistogramTitle = "Distribution of the Residuals";
// The hollow circle of an object the user excluded, the size of the filled mark 26.
inline constexpr std::uint8_t ExcludedMarkType = 16;

// The look every result chart of the window has: margins right 20, top 20 and bottom 40, both
// scales of layer 1 shown with automatic decimals, at least 3 ticks and Arial of 13 pixels, the
// title at the chart's top right, right-justified.
void SetupResultChart(TCustomRChart& Chart);
// One mark of type 26 per object at (actual, estimated) in its class colour with its table row
// as item tag (an object excluded by the user hollow, of type ExcludedMarkType), the range fitted to the marks with 5 % margins, the diagonal reference line in
// the colour of the last mark, the result's caption as title; painted once.
void FillFitChart(TCustomRChart& Chart, const TMLRResult& Result);
// The bins of the result's histogram as yellow rectangles over the histogram's range, the
// scale captions "residuals of" the target and "count"; painted once.
void FillResidualHistogram(TCustomRChart& Chart, const TMLRResult& Result);

}  // namespace orvex
