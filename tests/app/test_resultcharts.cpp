// The diagnostic chart fills: marks in class colours tagged with their rows, the smoother and
// reference lines, the contours clipped to the chart, objects without a standardized residual
// left out, the three most extreme objects labelled with their row names, and those labels
// really painted.
#include "demodata.h"
#include "mlrrun.h"
#include "orvex_datatable.h"
#include "orvex_diagplot.h"
#include "orvex_graphics.h"
#include "orvex_rchart.h"
#include "resultcharts.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

using namespace orvex;

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// Twelve objects; object 4 (row 8) has leverage 1 and so no standardized residual; the largest
// residuals are those of rows 14, 6 and 20 (objects 7, 3 and 10).
struct TSample {
  std::vector<int> Rows{2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24};
  std::vector<int> Colors{0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
  std::vector<TFitPoint> Points;
  std::vector<double> Est{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  std::vector<double> Res{0.5, -0.3, -2.5, 0.0, 0.2, -0.4, 4.0, 0.3, -0.6, 2.0, 0.1, -0.2};
  std::vector<double> Std{0.4, -0.25, -2.1, NaN, 0.15, -0.33, 3.2, 0.26, -0.5, 1.7, 0.09, -0.18};
  std::vector<double> H{0.1, 0.15, 0.2, 1.0, 0.12, 0.3, 0.45, 0.1, 0.2, 0.6, 0.08, 0.2};
  TDiagnosticData Data()
  {
    Points.clear();
    for (std::size_t i = 0; i < Rows.size(); ++i)
      Points.push_back({Rows[i], Colors[i], Est[i] + Res[i], Est[i]});
    TDiagnosticData d;
    d.Points = Points;
    d.Estimated = Est;
    d.Residuals = Res;
    d.StdResiduals = Std;
    d.Leverage = H;
    d.NrOfCoefficients = 3;
    d.RowLabel = [](int Row) { return "obj" + std::to_string(Row); };
    return d;
  }
};

struct TItems {
  std::vector<TrcChartItem> Marks, Lines;
};

TItems ItemsOf(const TRChart& Chart)
{
  TItems items;
  for (int i = 0; i < Chart.NumItems(); ++i) {
    const TrcChartItem& it = Chart.Item(i);
    (it.Kind == ikMark ? items.Marks : items.Lines).push_back(it);
  }
  return items;
}

std::set<std::string> LabelTexts(TRChart& Chart)
{
  std::set<std::string> texts;
  for (int n = 1; n <= MaxTextLabels; ++n)
    if (Chart.TextLabels(n).Mode() != tlOff)
      texts.insert(Chart.TextLabels(n).Caption());
  return texts;
}

// Marks: one per object with finite coordinates, class colour, row as tag, at (X, Y).
void ExpectMarks(const TItems& Items, const TSample& S, const std::vector<double>& X, const std::vector<double>& Y)
{
  std::size_t m = 0;
  for (std::size_t i = 0; i < S.Rows.size(); ++i) {
    if (!std::isfinite(X[i]) || !std::isfinite(Y[i]))
      continue;
    ASSERT_LT(m, Items.Marks.size());
    const TrcChartItem& it = Items.Marks[m++];
    EXPECT_EQ(it.Tag, S.Rows[i]);
    EXPECT_EQ(it.Color, ClassColors[static_cast<std::size_t>(S.Colors[i])]);
    EXPECT_EQ(it.X1, X[i]);
    EXPECT_EQ(it.Y1, Y[i]);
  }
  EXPECT_EQ(m, Items.Marks.size());
}

}  // namespace

TEST(ResultCharts, ResidualsVsEstimatedAndScaleLocation)
{
  TSample s;
  TRChart chart;
  chart.resize(400, 300);
  FillResidualsVsEstimated(chart, s.Data());
  EXPECT_EQ(chart.Caption(), ResidVsEstimatedTitle);
  EXPECT_EQ(chart.Scale1X().Caption(), EstimatedCaption);
  TItems items = ItemsOf(chart);
  ExpectMarks(items, s, s.Est, s.Res);
  // The zero line across the whole x range, dotted grey; then the smoother in red, whose
  // vertices are the smoother's own values (at most 12 points: none thinned out).
  ASSERT_FALSE(items.Lines.empty());
  EXPECT_EQ(items.Lines[0].Y1, 0.0);
  EXPECT_EQ(items.Lines[0].X1, chart.Scale1X().RangeLow());
  EXPECT_EQ(items.Lines[0].X2, chart.Scale1X().RangeHigh());
  EXPECT_EQ(items.Lines[0].PenStyle, psDot);
  const TLowessCurve curve = Lowess(s.Est, s.Res);
  ASSERT_EQ(items.Lines.size(), 1 + curve.X.size() - 1);
  for (std::size_t k = 1; k < items.Lines.size(); ++k) {
    EXPECT_EQ(items.Lines[k].Color, SmootherColor);
    EXPECT_EQ(items.Lines[k].X1, curve.X[k - 1]);
    EXPECT_EQ(items.Lines[k].Y1, curve.Y[k - 1]);
  }
  EXPECT_EQ(LabelTexts(chart), (std::set<std::string>{"obj14", "obj6", "obj20"}));

  // Scale-location: the object without a standardized residual has no mark; the axis starts
  // at zero; the labels follow the standardized residuals.
  FillScaleLocation(chart, s.Data());
  items = ItemsOf(chart);
  std::vector<double> root(s.Std.size());
  for (std::size_t i = 0; i < root.size(); ++i)
    root[i] = std::sqrt(std::fabs(s.Std[i]));
  ExpectMarks(items, s, s.Est, root);
  EXPECT_EQ(items.Marks.size(), 11u);
  EXPECT_EQ(chart.Scale1Y().RangeLow(), 0.0);
  EXPECT_EQ(LabelTexts(chart), (std::set<std::string>{"obj14", "obj6", "obj20"}));
  // A second fill replaces everything: the residual chart's labels do not linger.
  EXPECT_EQ(chart.Caption(), ScaleLocationTitle);
}

TEST(ResultCharts, NormalQQAndLeverage)
{
  TSample s;
  TRChart chart;
  chart.resize(400, 300);
  FillNormalQQ(chart, s.Data());
  TItems items = ItemsOf(chart);
  const TNormalQQ qq = NormalQQ(s.Std);
  ExpectMarks(items, s, qq.Theoretical, s.Std);
  ASSERT_EQ(items.Lines.size(), 1u);
  const TrcChartItem& line = items.Lines[0];
  EXPECT_NEAR((line.Y2 - line.Y1) / (line.X2 - line.X1), qq.LineSlope, 1e-12);
  EXPECT_NEAR(line.Y1, qq.LineIntercept + qq.LineSlope * line.X1, 1e-12);

  FillResidualsVsLeverage(chart, s.Data());
  items = ItemsOf(chart);
  std::vector<double> h = s.H;
  h[3] = NaN;  // leverage 1: left out
  ExpectMarks(items, s, h, s.Std);
  EXPECT_EQ(chart.Scale1X().RangeLow(), 0.0);
  // Every contour segment lies inside the chart's rows, and the contour points that are not
  // clipped lie on Cook's distance 0.5 or 1.
  const double ylo = chart.Scale1Y().RangeLow(), yhi = chart.Scale1Y().RangeHigh();
  int onContour = 0;
  for (const TrcChartItem& l : items.Lines) {
    for (double y : {l.Y1, l.Y2}) {
      EXPECT_GE(y, ylo - 1e-12);
      EXPECT_LE(y, yhi + 1e-12);
    }
    if (l.Color != SmootherColor || l.Y1 <= ylo || l.Y1 >= yhi)
      continue;
    const double d = l.Y1 * l.Y1 * l.X1 / (3.0 * (1.0 - l.X1));
    EXPECT_TRUE(std::fabs(d - 0.5) < 1e-9 || std::fabs(d - 1.0) < 1e-9) << d;
    ++onContour;
  }
  EXPECT_GT(onContour, 50);
  // Labelled: the largest Cook's distances r^2 h / (k (1 - h)): rows 20 (1.7^2 0.6 / 1.2 = 1.445),
  // 14 (3.2^2 0.45 / 1.65 = 2.79) and 6 (2.1^2 0.2 / 2.4 = 0.3675); then "Cook's distance" and
  // the levels whose contour ends inside the chart.
  const std::set<std::string> texts = LabelTexts(chart);
  for (const char* t : {"obj20", "obj14", "obj6", "Cook's distance"})
    EXPECT_EQ(texts.count(t), 1u) << t;
  EXPECT_EQ(texts.count("obj8"), 0u);
}

TEST(ResultCharts, LabelsArePainted)
{
  // A label beside the highest mark: its text darkens pixels to the mark's right (the mark
  // lies in the chart's left half, so the label starts 1 % of the x range right of it).
  TSample s;
  s.Est = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  s.Res = {0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  TRChart chart;
  chart.resize(400, 300);
  chart.show();
  QApplication::processEvents();
  FillResidualsVsEstimated(chart, s.Data());
  chart.FullPaint();
  int x = 0, y = 0;
  chart.WorldToPixel(1, 3.0, 9.0, x, y);
  const QImage img = chart.ControlBitmap().Image();
  int dark = 0;
  for (int px = x + 8; px < x + 60 && px < img.width(); ++px)
    for (int py = y - 8; py <= y + 8; ++py)
      dark += qGray(img.pixel(px, py)) < 128;
  EXPECT_GT(dark, 10) << "no label text right of the mark at " << x << "," << y;
}

TEST(ResultCharts, FromTheResultValueAndInconsistentArrays)
{
  // A result with influence measures is charted from them directly.
  TSample s;
  TMLRResult result;
  for (std::size_t i = 0; i < s.Rows.size(); ++i) {
    result.FitPoints.push_back({s.Rows[i], s.Colors[i], s.Est[i] + s.Res[i], s.Est[i]});
    result.Estimates.push_back(s.Est[i]);
    result.Residuals.push_back(s.Res[i]);
    result.Influence.Hat.push_back(s.H[i]);
    result.Influence.RStandard.push_back(s.Std[i]);
  }
  result.Influence.Available = true;
  result.Influence.Rank = 3;
  TRChart qq, lev;
  FillDiagnosticCharts({nullptr, &qq, nullptr, &lev}, result, [](int Row) { return "row" + std::to_string(Row); });
  std::vector<double> h = s.H;
  h[3] = NaN;
  ExpectMarks(ItemsOf(lev), s, h, s.Std);
  EXPECT_EQ(LabelTexts(lev).count("row14"), 1u);
  EXPECT_EQ(ItemsOf(qq).Marks.size(), 11u);

  // Without influence measures the result gives no standardized residuals: the charts that
  // need them stay empty, the residual chart does not.
  result.Influence.Available = false;
  TRChart resid;
  FillDiagnosticCharts({&resid, &qq, nullptr, &lev}, result, nullptr);
  EXPECT_EQ(ItemsOf(resid).Marks.size(), 12u);
  EXPECT_EQ(LabelTexts(resid).count("14"), 1u) << "the row number where no label function is given";
  EXPECT_TRUE(ItemsOf(qq).Marks.empty());
  EXPECT_TRUE(ItemsOf(lev).Marks.empty());

  // Arrays of different lengths are not read beyond their ends.
  TDiagnosticData d = s.Data();
  d.Residuals = d.Residuals.first(5);
  FillResidualsVsEstimated(resid, d);
  EXPECT_TRUE(ItemsOf(resid).Marks.empty());
  d = s.Data();
  d.Leverage = d.Leverage.first(5);
  FillResidualsVsLeverage(lev, d);
  EXPECT_TRUE(ItemsOf(lev).Marks.empty());
  FillScaleLocation(resid, d);
  EXPECT_EQ(ItemsOf(resid).Marks.size(), 11u);
}

// Objects the user excluded, on the diagnostic charts of a real fit of the demonstration data
// without rows 29 and 31 (the two influential ones, so their marks lie apart): hollow in their
// class colour where drawn, at the quantities their prediction defines, found by the hit test;
// not on the Q-Q chart. The prediction's own figures are the oracle: h = (se_fit / s)^2 and
// e / (s sqrt(1 + h)) = e t / (PI high - estimate).
TEST(ResultCharts, ExcludedObjectsAreHollowWhereTheirPredictionPlacesThem)
{
  constexpr int Length = 3, Width = 4, NetWeight = 6;
  TDataTable table;
  LoadDemoData(table);
  TRoleState roles(6);
  roles.SetInput(Length, true);
  roles.SetInput(Width, true);
  roles.SetTarget(NetWeight, true);
  TMLRModelOptions options;
  options.ExcludedRows = {29, 31};
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, roles, options)) << run.ErrorText();
  const TMLRResult& r = *run.Result();
  ASSERT_EQ(r.ExcludedPoints.size(), 2u);
  ASSERT_EQ(r.ExcludedLeverage.size(), 2u);
  const double s = r.Summary.SRes;
  std::vector<double> stdError(2), root(2);
  for (std::size_t i = 0; i < 2; ++i) {
    const TFitPoint& p = r.ExcludedPoints[i];
    const auto a = static_cast<std::size_t>(
        std::lower_bound(r.Predictions.Rows.begin(), r.Predictions.Rows.end(), p.Row) - r.Predictions.Rows.begin());
    ASSERT_EQ(r.Predictions.Rows[a], p.Row);
    EXPECT_EQ(r.Predictions.Used[a], 0);
    const double se = r.Predictions.SEFit[a];
    EXPECT_NEAR(r.ExcludedLeverage[i], (se / s) * (se / s), 1e-12) << p.Row;
    const double e = p.Actual - p.Estimated;
    const double expected = e * r.Inference.TQuantile / (r.Predictions.PIHigh[a] - r.Predictions.Estimate[a]);
    EXPECT_NEAR(r.ExcludedStdError[i], expected, 1e-12 * std::fabs(expected)) << p.Row;
    stdError[i] = r.ExcludedStdError[i];
    root[i] = std::sqrt(std::fabs(stdError[i]));
  }

  TRChart resid, qq, scale, lev;
  for (TRChart* c : {&resid, &qq, &scale, &lev}) {
    c->resize(600, 400);
    c->show();
  }
  QApplication::processEvents();
  FillDiagnosticCharts({&resid, &qq, &scale, &lev}, r, nullptr);
  for (TRChart* c : {&resid, &qq, &scale, &lev})
    c->FullPaint();
  // Per chart where drawn: the world position of each excluded object.
  struct TCase {
    TRChart* Chart;
    std::vector<double> X, Y;
  };
  const std::vector<TCase> cases = {
      {&resid,
       {r.ExcludedPoints[0].Estimated, r.ExcludedPoints[1].Estimated},
       {r.ExcludedPoints[0].Actual - r.ExcludedPoints[0].Estimated,
        r.ExcludedPoints[1].Actual - r.ExcludedPoints[1].Estimated}},
      {&scale, {r.ExcludedPoints[0].Estimated, r.ExcludedPoints[1].Estimated}, root},
      {&lev, {r.ExcludedLeverage[0], r.ExcludedLeverage[1]}, stdError}};
  for (const TCase& c : cases) {
    const TRChart& chart = *c.Chart;
    const QImage image = c.Chart->RenderImage(chart.width(), chart.height(), 96);
    for (std::size_t i = 0; i < 2; ++i) {
      const TFitPoint& p = r.ExcludedPoints[i];
      int hollow = -1, filled = 0;
      for (int k = 0; k < chart.NumItems(); ++k) {
        const TrcChartItem& it = chart.Item(k);
        if (it.Kind == ikMark && it.Tag == p.Row)
          (it.MarkType == ExcludedMarkType ? hollow : filled) = k;
      }
      ASSERT_GE(hollow, 0) << chart.Caption() << " row " << p.Row;
      EXPECT_EQ(filled, 0) << chart.Caption() << " row " << p.Row;
      const TrcChartItem& it = chart.Item(hollow);
      EXPECT_EQ(it.X1, c.X[i]);
      EXPECT_EQ(it.Y1, c.Y[i]);
      int px = 0, py = 0;
      chart.WorldToPixel(1, it.X1, it.Y1, px, py);
      ASSERT_TRUE(image.rect().contains(px, py)) << chart.Caption() << " row " << p.Row << " outside the range";
      // The ring in the class colour, white inside.
      const QRgb ring = image.pixel(px - 2, py);
      EXPECT_EQ(ring & 0xFFFFFF, ToQColor(ClassColors[static_cast<std::size_t>(p.ColorIndex)]).rgb() & 0xFFFFFF)
          << chart.Caption() << " row " << p.Row;
      EXPECT_EQ(image.pixel(px, py) & 0xFFFFFF, 0xFFFFFFu) << chart.Caption() << " row " << p.Row;
      // The hit test at the mark's centre finds it.
      const int found = chart.ItemAt(px, py, 3, ikMark);
      ASSERT_GE(found, 0) << chart.Caption() << " row " << p.Row;
      EXPECT_EQ(chart.Item(found).Tag, p.Row) << chart.Caption();
    }
  }
  // The Q-Q chart shows the fit's own residuals only.
  int qqMarks = 0;
  for (int k = 0; k < qq.NumItems(); ++k) {
    const TrcChartItem& it = qq.Item(k);
    if (it.Kind != ikMark)
      continue;
    ++qqMarks;
    EXPECT_NE(it.Tag, 29);
    EXPECT_NE(it.Tag, 31);
  }
  EXPECT_EQ(qqMarks, 38);
}

// A fill sized by ItemAllocStep grows the chart's item array in as few whole steps as the
// chart's largest step allows: once up to a million items, twice just above, and never to much
// more than it needs.
TEST(ResultCharts, ItemArrayGrowsInTheFewestSteps)
{
  TRChart chart;
  chart.SetSuppressPaint(true);
  for (const std::size_t items :
       {std::size_t{1}, std::size_t{999}, std::size_t{40001}, std::size_t{1000000}, std::size_t{1000001}}) {
    chart.ClearChart();
    chart.SetAllocSize(ItemAllocStep(items));
    const std::size_t step = static_cast<std::size_t>(chart.AllocSize());
    EXPECT_EQ(step, static_cast<std::size_t>(ItemAllocStep(items))) << items;  // accepted as given
    for (std::size_t i = 0; i < items; ++i)
      chart.AddMark(1.0, 2.0, 26);
    const auto capacity = static_cast<std::size_t>(chart.Capacity());
    const std::size_t fewest = (items + 999999) / 1000000;
    EXPECT_EQ(capacity / step, fewest) << items;
    EXPECT_LT(capacity, items + std::max<std::size_t>(1000, fewest)) << items;
  }
}
