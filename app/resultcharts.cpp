// The diagnostic charts: marks in class colours, the smoother and reference lines as line
// items, contour lines clipped to the plotted window (the chart draws lines as given, and a
// contour rises without bound towards zero leverage), and the labels of the most extreme
// objects as text labels attached to the data.
#include "resultcharts.h"

#include "demodata.h"
#include "orvex_diagplot.h"
#include "orvex_math2.h"
#include "orvex_rchart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <exception>
#include <new>
#include <thread>
#include <utility>

namespace orvex {

namespace {

// The mark of every object, as in the actual-versus-estimated chart.
constexpr std::uint8_t DiagnosticMarkType = 26;
// Range margin in percent, as the fit chart's.
constexpr double RangeMargin = 5.0;
// A smoother curve is drawn through at most about this many vertices: between the points the
// smoother fits, it interpolates linearly anyway (they lie at least 1 % of the range apart).
constexpr int MaxCurveVertices = 400;

struct TRange {
  double Low = 0, High = 0;
};

// The range of the finite values, widened by Margin percent on each side (by 1 when it is a
// single value), as the chart's own automatic range does it.
TRange RangeOf(std::span<const double> Values, double Margin)
{
  double lo = std::numeric_limits<double>::infinity();
  double hi = -lo;
  for (double v : Values) {
    if (std::isfinite(v)) {
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  if (lo > hi)
    lo = hi = 0.0;
  const double span = hi - lo;
  lo -= Margin / 100.0 * span;
  hi += Margin / 100.0 * span;
  if (lo == hi) {
    lo -= 1.0;
    hi += 1.0;
  }
  return {lo, hi};
}

// The arrays with consistent lengths: estimates and residuals must have one value per point,
// else nothing is drawn; standardized residuals and leverage of another length are ignored (the
// leverage also without standardized residuals).
TDiagnosticData Checked(const TDiagnosticData& Input)
{
  TDiagnosticData d = Input;
  const std::size_t n = d.Points.size();
  if (d.Estimated.size() != n || d.Residuals.size() != n) {
    d.Points = {};
    d.Estimated = {};
    d.Residuals = {};
  }
  if (d.StdResiduals.size() != d.Points.size())
    d.StdResiduals = {};
  if (d.Leverage.size() != d.StdResiduals.size())
    d.Leverage = {};
  if (d.ExcludedLeverage.size() != d.Excluded.size() || d.ExcludedStdError.size() != d.Excluded.size()) {
    d.ExcludedLeverage = {};
    d.ExcludedStdError = {};
  }
  return d;
}

void BeginChart(TCustomRChart& Chart, const TDiagnosticData& Data, const char* Title, const char* XCaption,
                const char* YCaption)
{
  Chart.SetSuppressPaint(true);
  Chart.ClearChart();
  // Room for the marks, two curves and the few reference lines.
  Chart.SetAllocSize(ItemAllocStep(Data.Points.size() + 2 * MaxCurveVertices + 500));
  Chart.ClearTextLabels();
  Chart.SetCaption(Title);
  Chart.Scale1X().SetCaption(XCaption);
  Chart.Scale1Y().SetCaption(YCaption);
  Chart.SetPenStyle(psSolid);
}

void EndChart(TCustomRChart& Chart, const TRange& X, const TRange& Y)
{
  Chart.SetRange(1, X.Low, Y.Low, X.High, Y.High);
  Chart.SetItemTag(0);
  Chart.SetDataColor(clBlack);
  Chart.SetPenStyle(psSolid);
  Chart.SetSuppressPaint(false);
}

// One mark of MarkType per object whose X and Y are finite, in its class colour, tagged with its
// row.
void AddMarksOf(TCustomRChart& Chart, std::span<const TFitPoint> Points, std::span<const double> X,
                std::span<const double> Y, std::uint8_t MarkType)
{
  const std::size_t n = std::min({X.size(), Y.size(), Points.size()});
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(X[i]) || !std::isfinite(Y[i]))
      continue;
    Chart.SetDataColor(ClassColors[static_cast<std::size_t>(Points[i].ColorIndex)]);
    Chart.SetItemTag(Points[i].Row);
    Chart.AddMark(X[i], Y[i], MarkType);
  }
  Chart.SetItemTag(0);
}

// The fit's objects.
void AddMarks(TCustomRChart& Chart, const TDiagnosticData& Data, std::span<const double> X, std::span<const double> Y)
{
  AddMarksOf(Chart, Data.Points, X, Y, DiagnosticMarkType);
}

// The objects the user excluded, hollow; drawn before the fit's marks, so under them.
void AddExcludedMarks(TCustomRChart& Chart, const TDiagnosticData& Data, std::span<const double> X,
                      std::span<const double> Y)
{
  AddMarksOf(Chart, Data.Excluded, X, Y, ExcludedMarkType);
}

// The values of the fit's objects followed by those of the excluded ones, for the ranges.
std::vector<double> Joined(std::span<const double> Fit, std::span<const double> Excluded)
{
  std::vector<double> all(Fit.begin(), Fit.end());
  all.insert(all.end(), Excluded.begin(), Excluded.end());
  return all;
}

// Per excluded object: its estimate.
std::vector<double> ExcludedEstimates(const TDiagnosticData& Data)
{
  std::vector<double> v;
  for (const TFitPoint& p : Data.Excluded)
    v.push_back(p.Estimated);
  return v;
}

void SetLinePen(TCustomRChart& Chart, TColor Color, TPenStyle Style)
{
  Chart.SetDataColor(Color);
  Chart.SetPenStyle(Style);
}

// The part of the segment (X1, Y1)-(X2, Y2) inside Low <= y <= High; false when none is.
bool ClipToRows(double& X1, double& Y1, double& X2, double& Y2, const TRange& Y)
{
  if (!std::isfinite(Y1) || !std::isfinite(Y2))
    return false;
  if ((Y1 < Y.Low && Y2 < Y.Low) || (Y1 > Y.High && Y2 > Y.High))
    return false;
  auto clipEnd = [&](double& Xa, double& Ya, double Xb, double Yb) {
    const double bound = Ya < Y.Low ? Y.Low : (Ya > Y.High ? Y.High : Ya);
    if (bound != Ya) {
      Xa = Xa + (Xb - Xa) * (bound - Ya) / (Yb - Ya);
      Ya = bound;
    }
  };
  const double x1 = X1, y1 = Y1;
  clipEnd(X1, Y1, X2, Y2);
  clipEnd(X2, Y2, x1, y1);
  return true;
}

// A polyline through the points, clipped to the rows of the Y range.
void AddPolyline(TCustomRChart& Chart, std::span<const double> X, std::span<const double> Y, const TRange& YRange)
{
  for (std::size_t k = 1; k < X.size(); ++k) {
    double x1 = X[k - 1], y1 = Y[k - 1], x2 = X[k], y2 = Y[k];
    if (ClipToRows(x1, y1, x2, y2, YRange))
      Chart.AddLine(x1, y1, x2, y2);
  }
}

// The smoother's curve thinned to about MaxCurveVertices vertices spread evenly over x.
void AddCurve(TCustomRChart& Chart, const TLowessCurve& Curve, const TRange& YRange)
{
  const std::size_t n = Curve.X.size();
  if (n < 2)
    return;
  const double step = (Curve.X.back() - Curve.X.front()) / MaxCurveVertices;
  std::vector<double> x{Curve.X.front()}, y{Curve.Y.front()};
  for (std::size_t k = 1; k + 1 < n; ++k) {
    if (Curve.X[k] - x.back() >= step) {
      x.push_back(Curve.X[k]);
      y.push_back(Curve.Y[k]);
    }
  }
  x.push_back(Curve.X.back());
  y.push_back(Curve.Y.back());
  AddPolyline(Chart, x, y, YRange);
}

void HorizontalLine(TCustomRChart& Chart, double Y, const TRange& X)
{
  SetLinePen(Chart, ReferenceLineColor, psDot);
  Chart.AddLine(X.Low, Y, X.High, Y);
}

// Text label Number (1-based) at a world position, beside the point: to its right in the left
// half of the chart, to its left in the right half, so that it stays inside.
void PlaceLabel(TCustomRChart& Chart, int Number, const std::string& Text, double X, double Y, const TRange& XRange,
                TColor Color = clBlack)
{
  TTextLabel& label = Chart.TextLabels(Number);
  const double offset = 0.01 * (XRange.High - XRange.Low);
  const bool rightHalf = X > (XRange.Low + XRange.High) / 2.0;
  label.SetLayer(1);
  label.SetAttachToData(tlamBoth);
  label.SetPosX(rightHalf ? X - offset : X + offset);
  label.SetPosY(Y);
  label.SetAlignment(rightHalf ? taRightJustify : taLeftJustify);
  label.SetVerticalAlignment(vaCenter);
  label.SetTransparent(true);
  TFont f = label.Font();
  f.SetName("Arial");
  f.SetHeight(-11);
  f.SetColor(Color);
  label.SetFont(f);
  label.SetCaption(Text);
  label.SetVisible(true);
  label.SetMode(tlsimple);
}

// Labels the objects with the largest magnitude of Key at their marks (X, Y).
void LabelExtremes(TCustomRChart& Chart, const TDiagnosticData& Data, std::span<const double> Key,
                   std::span<const double> X, std::span<const double> Y, const TRange& XRange)
{
  int number = 1;
  for (std::size_t i : MostExtreme(Key, DiagnosticLabelCount)) {
    if (!std::isfinite(X[i]) || !std::isfinite(Y[i]))
      continue;
    const int row = Data.Points[i].Row;
    PlaceLabel(Chart, number++, Data.RowLabel ? Data.RowLabel(row) : std::to_string(row), X[i], Y[i], XRange);
  }
}

std::vector<double> RootAbs(std::span<const double> Values)
{
  std::vector<double> r(Values.size());
  for (std::size_t i = 0; i < Values.size(); ++i)
    r[i] = std::sqrt(std::fabs(Values[i]));
  return r;
}

// The fills with the smoother curves computed beforehand (FillDiagnosticCharts computes both at
// once on the math threads, and adds the marks meanwhile): the marks, then the rest.
void ResidualsVsEstimatedMarks(TCustomRChart& Chart, const TDiagnosticData& Data)
{
  BeginChart(Chart, Data, ResidVsEstimatedTitle, EstimatedCaption, ResidualsCaption);
  // Objects excluded by the user: hollow, under the others.
  for (const TFitPoint& p : Data.Excluded) {
    Chart.SetDataColor(ClassColors[static_cast<std::size_t>(p.ColorIndex)]);
    Chart.SetItemTag(p.Row);
    Chart.AddMark(p.Estimated, p.Actual - p.Estimated, ExcludedMarkType);
  }
  AddMarks(Chart, Data, Data.Estimated, Data.Residuals);
}

void FinishResidualsVsEstimated(TCustomRChart& Chart, const TDiagnosticData& Data, const TLowessCurve& Curve)
{
  // The range takes in the excluded objects too.
  std::vector<double> xs(Data.Estimated.begin(), Data.Estimated.end());
  std::vector<double> ys(Data.Residuals.begin(), Data.Residuals.end());
  for (const TFitPoint& p : Data.Excluded) {
    xs.push_back(p.Estimated);
    ys.push_back(p.Actual - p.Estimated);
  }
  const TRange x = RangeOf(xs, RangeMargin);
  const TRange y = RangeOf(ys, RangeMargin);
  HorizontalLine(Chart, 0.0, x);
  SetLinePen(Chart, SmootherColor, psSolid);
  AddCurve(Chart, Curve, y);
  LabelExtremes(Chart, Data, Data.Residuals, Data.Estimated, Data.Residuals, x);
  EndChart(Chart, x, y);
}

void FillResidualsVsEstimatedWith(TCustomRChart& Chart, const TDiagnosticData& Data, const TLowessCurve& Curve)
{
  ResidualsVsEstimatedMarks(Chart, Data);
  FinishResidualsVsEstimated(Chart, Data, Curve);
}

void ScaleLocationMarks(TCustomRChart& Chart, const TDiagnosticData& Data, std::span<const double> Root)
{
  BeginChart(Chart, Data, ScaleLocationTitle, EstimatedCaption, RootStdResidualsCaption);
  // Objects excluded by the user: hollow, at (estimate, sqrt(|standardized prediction error|)).
  AddExcludedMarks(Chart, Data, ExcludedEstimates(Data), RootAbs(Data.ExcludedStdError));
  AddMarks(Chart, Data, Data.Estimated, Root);
}

void FinishScaleLocation(TCustomRChart& Chart, const TDiagnosticData& Data, std::span<const double> Root,
                         const TLowessCurve& Curve)
{
  // The ranges take in the excluded objects too.
  const TRange x = RangeOf(Joined(Data.Estimated, Data.ExcludedStdError.empty() ? std::vector<double>()
                                                                                 : ExcludedEstimates(Data)),
                           RangeMargin);
  TRange y = RangeOf(Joined(Root, RootAbs(Data.ExcludedStdError)), RangeMargin);
  y.Low = 0.0;  // the axis starts at zero: these are magnitudes
  SetLinePen(Chart, SmootherColor, psSolid);
  AddCurve(Chart, Curve, y);
  LabelExtremes(Chart, Data, Data.StdResiduals, Data.Estimated, Root, x);
  EndChart(Chart, x, y);
}

void FillScaleLocationWith(TCustomRChart& Chart, const TDiagnosticData& Data, std::span<const double> Root,
                           const TLowessCurve& Curve)
{
  ScaleLocationMarks(Chart, Data, Root);
  FinishScaleLocation(Chart, Data, Root, Curve);
}

// The Q-Q chart is the sample distribution of the fit's standardized residuals: an object the
// user excluded is no member of that sample and has no place on it, so it is not drawn.
void FillNormalQQWith(TCustomRChart& Chart, const TDiagnosticData& Data, const TNormalQQ& qq)
{
  BeginChart(Chart, Data, NormalQQTitle, TheoreticalQuantilesCaption, StdResidualsCaption);
  AddMarks(Chart, Data, qq.Theoretical, Data.StdResiduals);
  const TRange x = RangeOf(qq.Theoretical, RangeMargin);
  const TRange y = RangeOf(Data.StdResiduals, RangeMargin);
  if (std::isfinite(qq.LineSlope) && std::isfinite(qq.LineIntercept)) {
    double x1 = x.Low, y1 = qq.LineIntercept + qq.LineSlope * x.Low;
    double x2 = x.High, y2 = qq.LineIntercept + qq.LineSlope * x.High;
    SetLinePen(Chart, ReferenceLineColor, psDot);
    if (ClipToRows(x1, y1, x2, y2, y))
      Chart.AddLine(x1, y1, x2, y2);
  }
  LabelExtremes(Chart, Data, Data.StdResiduals, qq.Theoretical, Data.StdResiduals, x);
  EndChart(Chart, x, y);
}

TLowessCurve ScaleLocationCurve(const TDiagnosticData& Data, std::span<const double> Root)
{
  return Lowess(Data.Estimated, Root);
}

}  // namespace

int ItemAllocStep(std::size_t Items)
{
  // The chart's own limits of the step.
  constexpr std::size_t MinStep = 1000, MaxStep = 1000000;
  const std::size_t steps = std::max<std::size_t>(1, (Items + MaxStep - 1) / MaxStep);
  return static_cast<int>(std::clamp((Items + steps - 1) / steps, MinStep, MaxStep));
}

void FillResidualsVsEstimated(TCustomRChart& Chart, const TDiagnosticData& Input)
{
  const TDiagnosticData Data = Checked(Input);
  FillResidualsVsEstimatedWith(Chart, Data, Lowess(Data.Estimated, Data.Residuals));
}

void FillScaleLocation(TCustomRChart& Chart, const TDiagnosticData& Input)
{
  const TDiagnosticData Data = Checked(Input);
  const std::vector<double> root = RootAbs(Data.StdResiduals);
  FillScaleLocationWith(Chart, Data, root, ScaleLocationCurve(Data, root));
}

void FillNormalQQ(TCustomRChart& Chart, const TDiagnosticData& Input)
{
  const TDiagnosticData Data = Checked(Input);
  FillNormalQQWith(Chart, Data, NormalQQ(Data.StdResiduals));
}

void FillResidualsVsLeverage(TCustomRChart& Chart, const TDiagnosticData& Input)
{
  const TDiagnosticData Data = Checked(Input);
  BeginChart(Chart, Data, ResidVsLeverageTitle, LeverageCaption, StdResidualsCaption);
  // Objects with leverage 1 have no standardized residual and are left out, as everywhere.
  std::vector<double> h(Data.Leverage.begin(), Data.Leverage.end());
  std::vector<double> cook(h.size(), std::numeric_limits<double>::quiet_NaN());
  double hMin = std::numeric_limits<double>::infinity(), hMax = 0.0;
  const double k = static_cast<double>(std::max(1, Data.NrOfCoefficients));
  for (std::size_t i = 0; i < h.size(); ++i) {
    const double r = Data.StdResiduals[i];
    if (!std::isfinite(h[i]) || !std::isfinite(r) || h[i] >= 1.0) {
      h[i] = std::numeric_limits<double>::quiet_NaN();
      continue;
    }
    cook[i] = r * r * h[i] / (k * (1.0 - h[i]));
    hMin = std::min(hMin, h[i]);
    hMax = std::max(hMax, h[i]);
  }
  // Objects excluded by the user: hollow, at (leverage, standardized prediction error).
  AddExcludedMarks(Chart, Data, Data.ExcludedLeverage, Data.ExcludedStdError);
  AddMarks(Chart, Data, h, Data.StdResiduals);
  TRange x = RangeOf(Joined(h, Data.ExcludedLeverage), RangeMargin);
  x.Low = 0.0;  // leverage is never negative; the axis starts at zero
  if (x.High <= 0.0)
    x.High = 1.0;
  // The residual range widened a little more than usual, so that the contours' labels fit.
  const TRange y = RangeOf(Joined(Data.StdResiduals, Data.ExcludedStdError), 8.0);
  SetLinePen(Chart, ReferenceLineColor, psDot);
  Chart.AddLine(x.Low, 0.0, x.High, 0.0);
  if (hMin <= hMax) {
    const std::vector<double> hh = CookContourLeverages(hMin, hMax, x.High);
    std::vector<double> upper(hh.size()), lower(hh.size());
    int number = DiagnosticLabelCount + 1;
    for (double level : CookLevels) {
      for (std::size_t j = 0; j < hh.size(); ++j) {
        upper[j] = CookContour(level, Data.NrOfCoefficients, hh[j]);
        lower[j] = -upper[j];
      }
      SetLinePen(Chart, SmootherColor, psSolid);
      AddPolyline(Chart, hh, upper, y);
      AddPolyline(Chart, hh, lower, y);
      // The level beside each end of the contour that lies inside the chart.
      char text[16];
      std::snprintf(text, sizeof text, "%g", level);
      for (double end : {upper.back(), lower.back()})
        if (end >= y.Low && end <= y.High)
          PlaceLabel(Chart, number++, text, x.High, end, x, SmootherColor);
    }
    PlaceLabel(Chart, number, "Cook's distance", x.Low, y.Low + 0.04 * (y.High - y.Low), x, SmootherColor);
  }
  LabelExtremes(Chart, Data, cook, h, Data.StdResiduals, x);
  EndChart(Chart, x, y);
}

void FillDiagnosticCharts(const TDiagnosticCharts& Charts, const TDiagnosticData& Input)
{
  const TDiagnosticData Data = Checked(Input);
  // The two smoothers are the expensive part: they run side by side on one order of the
  // estimates, with the Q-Q positions beside them. The calling thread, in the first task it
  // takes, adds the marks that need no curve (the charts are only ever touched on that thread,
  // so the fills and their item order are those of the one-chart fills); the curves, lines and
  // labels follow once all tasks are done.
  const std::vector<double> root = RootAbs(Data.StdResiduals);
  TLowessOrder order;
  TLowessCurve residCurve, rootCurve;
  TNormalQQ qq;
  const std::thread::id caller = std::this_thread::get_id();
  bool marksAdded = false;
  std::exception_ptr failure[4];
  auto addMarks = [&] {
    if (Charts.ResidVsEstimated)
      ResidualsVsEstimatedMarks(*Charts.ResidVsEstimated, Data);
    if (Charts.ScaleLocation)
      ScaleLocationMarks(*Charts.ScaleLocation, Data, root);
    if (Charts.ResidVsLeverage)
      FillResidualsVsLeverage(*Charts.ResidVsLeverage, Data);
  };
  // The order first (both smoothers need it), then the smoothers and the Q-Q positions.
  order = LowessOrderOf(Data.Estimated);
  ForEachMathTask(3, [&](int Task) {
    // A task must not throw: a failure is reported on the calling thread.
    try {
      if (std::this_thread::get_id() == caller && !marksAdded) {
        marksAdded = true;
        try {
          addMarks();
        } catch (...) {
          failure[3] = std::current_exception();
        }
      }
      if (Task == 0)
        residCurve = Lowess(order, Data.Residuals);
      else if (Task == 1)
        rootCurve = Lowess(order, root);
      else if (Charts.NormalQQ)
        qq = NormalQQ(Data.StdResiduals);
    } catch (...) {
      failure[Task] = std::current_exception();
    }
  });
  for (const std::exception_ptr& f : failure)
    if (f)
      std::rethrow_exception(f);
  if (!marksAdded)
    addMarks();
  if (Charts.ResidVsEstimated)
    FinishResidualsVsEstimated(*Charts.ResidVsEstimated, Data, residCurve);
  if (Charts.NormalQQ)
    FillNormalQQWith(*Charts.NormalQQ, Data, qq);
  if (Charts.ScaleLocation)
    FinishScaleLocation(*Charts.ScaleLocation, Data, root, rootCurve);
}

TDiagnosticData DiagnosticDataOf(const TMLRResult& Result)
{
  TDiagnosticData d;
  d.Points = Result.FitPoints;
  d.Estimated = Result.Estimates;
  d.Residuals = Result.Residuals;
  d.Excluded = Result.ExcludedPoints;
  d.ExcludedLeverage = Result.ExcludedLeverage;
  d.ExcludedStdError = Result.ExcludedStdError;
  if (Result.Influence.Available) {
    d.StdResiduals = Result.Influence.RStandard;
    d.Leverage = Result.Influence.Hat;
  }
  d.NrOfCoefficients = Result.Influence.Available ? Result.Influence.Rank : Result.Rank;
  return d;
}

void FillDiagnosticCharts(const TDiagnosticCharts& Charts, const TMLRResult& Result,
                          std::function<std::string(int Row)> RowLabel)
{
  TDiagnosticData d = DiagnosticDataOf(Result);
  d.RowLabel = std::move(RowLabel);
  FillDiagnosticCharts(Charts, d);
}

}  // namespace orvex
