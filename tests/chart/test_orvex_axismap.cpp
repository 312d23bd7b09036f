// The axis mapping and what stands on it: the layer transforms' worked examples, the round trip
// pixel -> world -> pixel over every pixel of a plot, the one rounding rule, and the hit test
// ItemAt on marks, lines and rectangles (hidden items, ties, duplicate marks, an empty chart),
// checked against a search over every item.
#include "orvex_rchart.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <vector>

using namespace orvex;

namespace {

// The default chart is 280 x 200 with margins 50, 20, 20, 40: the plot spans x 50..260 and
// y 20..160 (W = 210, H = 140).
constexpr int ML = 50, MT = 20, W = 210, H = 140;

struct TShownChart {
  TRChart Chart;
  TShownChart()
  {
    Chart.resize(280, 200);
    Chart.show();
    QApplication::processEvents();
  }
};

}  // namespace

TEST(AxisMap, WorkedExamplesAndTheRoundingRule)
{
  // Layer 1, range 0..1, margins 50, 10, 16, 32 on 280 x 200: x 0 -> 50, 1 -> 270; y 0 -> 168,
  // 1 -> 16 (the plot's bottom and top edges)
  const TAxisMap x = TAxisMap::Make(0, 1, false, 50, 270, 140, 0);
  const TAxisMap y = TAxisMap::Make(0, 1, false, 168, 16, 100, 200);
  EXPECT_EQ(x.ToPixel(0), 50);
  EXPECT_EQ(x.ToPixel(1), 270);
  EXPECT_EQ(y.ToPixel(0), 168);
  EXPECT_EQ(y.ToPixel(1), 16);
  // logarithmic 1..1000 over 300 pixels: 10 at one third, 100 at two thirds
  const TAxisMap lg = TAxisMap::Make(1, 1000, true, 0, 300, 150, 0);
  EXPECT_EQ(lg.ToPixel(10), 100);
  EXPECT_EQ(lg.ToPixel(100), 200);
  EXPECT_NEAR(static_cast<double>(lg.ToWorld(200)), 100, 1e-12);
  // values at the logarithmic floor go to the low side's edge; NaN and infinities are clamped
  EXPECT_EQ(lg.ToPixel(1e-100), 0);
  EXPECT_EQ(lg.ToPixel(-5), 0);
  EXPECT_EQ(x.ToPixel(NAN), -2147483647);
  EXPECT_EQ(x.ToPixel(INFINITY), 2147483647);
  EXPECT_EQ(x.ToPixel(-1e300), -2147483647);
  // a range or a pixel span of zero maps everything onto the centre, and back to world 0
  EXPECT_EQ(TAxisMap::Make(3, 3, false, 0, 100, 42, 0).ToPixel(-7), 42);
  EXPECT_EQ(TAxisMap::Make(0, 1, false, 60, 60, 42, 0).ToPixel(0.5), 42);
  EXPECT_EQ(TAxisMap::Make(0, 1, false, 60, 60, 42, 0).ToWorld(10), 0.0);
  // halves to even: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2, -0.5 -> 0, -1.5 -> -2
  TAxisMap half;
  half.O = 0.5L;
  const int want[] = {0, 2, 2, 4, 4};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(half.ToPixel(i), want[i]) << i;
  half.O = -0.5L;
  EXPECT_EQ(half.ToPixel(0), 0);
  EXPECT_EQ(half.ToPixel(-1), -2);
  // The rule holds on the long double: a pixel a little above or below a half, by less than a
  // double can tell, still rounds away from the half (as a double it would be the half itself,
  // and go to the even side).
  const long double tiny = 1e-17L;  // far below half a double's step at 2.5 (2.2e-16)
  ASSERT_NE(2.5L + tiny, 2.5L);
  ASSERT_EQ(static_cast<double>(2.5L + tiny), 2.5);
  EXPECT_EQ(RoundPixel(2.5L + tiny), 3);
  EXPECT_EQ(RoundPixel(3.5L - tiny), 3);
  EXPECT_EQ(RoundPixel(-2.5L - tiny), -3);
  EXPECT_EQ(RoundPixel(-3.5L + tiny), -3);
  EXPECT_EQ(RoundPixel(2.5L), 2);
  EXPECT_EQ(RoundPixel(-2.5L), -2);
  half.O = 2.5L + tiny;  // and through the mapping's inline path
  EXPECT_EQ(half.ToPixel(0), 3);
}

TEST(AxisMap, PixelToWorldToPixelIsTheIdentityOnEveryPixel)
{
  struct Axis {
    double Low, High;
    bool Log;
    int PixLow, PixHigh;
  };
  const Axis axes[] = {{-3.7, 12.9, false, 50, 849},    {0, 1, false, 616, 17},     {1e-3, 1e5, true, 0, 1919},
                       {250, 0.02, true, 1079, 3},      {-1e-9, 1e-9, false, 0, 799}, {1e12, 1e12 + 1, false, 0, 599},
                       {5e-7, 5e-7 + 3e-12, false, 20, 500}};
  for (const Axis& a : axes) {
    const TAxisMap m = TAxisMap::Make(a.Low, a.High, a.Log, a.PixLow, a.PixHigh, 0, 0);
    const int lo = std::min(a.PixLow, a.PixHigh), hi = std::max(a.PixLow, a.PixHigh);
    int bad = 0;
    for (int p = lo; p <= hi; ++p)
      bad += m.ToPixel(m.ToWorld(p)) != p;
    EXPECT_EQ(bad, 0) << a.Low << " .. " << a.High << (a.Log ? " log" : "");
  }
}

TEST(AxisMap, TheChartMapsThroughItsLayerMaps)
{
  TShownChart t;
  t.Chart.SetRange(2, -5, 1, 5, 1000);
  t.Chart.Scale2Y().SetLogarithmic(true);
  t.Chart.SetRange(1, 3, -2, -7, 40);  // a mirrored X axis
  t.Chart.CalcTransforms();
  for (int layer : {1, 2}) {
    const TAxisMap& mx = t.Chart.AxisMap(layer, false);
    const TAxisMap& my = t.Chart.AxisMap(layer, true);
    for (int px = ML; px <= ML + W; px += 7)
      for (int py = MT; py <= MT + H; py += 5) {
        double wx = 0, wy = 0;
        t.Chart.PixelToWorld(layer, px, py, wx, wy);
        EXPECT_EQ(wx, mx.ToWorld(px));
        EXPECT_EQ(wy, my.ToWorld(py));
        int bx = 0, by = 0;
        t.Chart.WorldToPixel(layer, wx, wy, bx, by);
        ASSERT_EQ(bx, px) << layer;
        ASSERT_EQ(by, py) << layer;
      }
  }
  // the plot's edges: low ends at the left and bottom, high ends at the right and top
  EXPECT_EQ(t.Chart.AxisMap(2, false).ToPixel(-5), ML);
  EXPECT_EQ(t.Chart.AxisMap(2, false).ToPixel(5), ML + W);
  EXPECT_EQ(t.Chart.AxisMap(2, true).ToPixel(1), MT + H);
  EXPECT_EQ(t.Chart.AxisMap(2, true).ToPixel(1000), MT);
  // layers outside 1..16 answer with the nearest layer
  EXPECT_EQ(t.Chart.AxisMap(0, false).K, t.Chart.AxisMap(1, false).K);
  EXPECT_EQ(t.Chart.AxisMap(99, true).O, t.Chart.AxisMap(16, true).O);
}

TEST(AxisMap, TicksAndGridLinesShareTheirPixels)
{
  // Ranges whose ticks fall on half pixels: -1..83 over W = 210 and -1..55 over H = 140 give
  // 2.5 pixels per unit, so the tick at 0 lies at x 52.5 and y 157.5; four decades over 210 and
  // 140 pixels put the decades 52.5 and 35 pixels apart. The ticks come from the axis controls
  // (OnScaleTickDrawn), the grid lines from the plot's pixels.
  struct Case {
    double LowX, HighX, LowY, HighY;
    bool Log;
  };
  for (const Case& k : {Case{-1, 83, -1, 55, false}, Case{1, 1e4, 1, 1e4, true}}) {
    TShownChart t;
    t.Chart.Scale1X().SetLogarithmic(k.Log);
    t.Chart.Scale1Y().SetLogarithmic(k.Log);
    t.Chart.Scale1X().SetShortTicks(false);
    t.Chart.Scale1Y().SetShortTicks(false);
    t.Chart.SetRange(1, k.LowX, k.LowY, k.HighX, k.HighY);
    t.Chart.SetGridStyle(gsLines);
    t.Chart.SetGridColor(clRed);
    std::set<int> tickX, tickY;
    t.Chart.OnScaleTickDrawn = [&](TObject*, TCanvas&, TScaleType Type, double, int X, int Y) {
      if (Type == sctXB || Type == sctXT) {
        if (X > ML && X < ML + W)
          tickX.insert(X);
      } else if (Y > MT && Y < MT + H) {
        tickY.insert(Y);
      }
    };
    t.Chart.FullPaint();
    const QImage& plot = t.Chart.PlotBitmap().Image();
    std::set<int> gridX, gridY;
    const QRgb red = qRgb(255, 0, 0);
    for (int x = 1; x < W; ++x) {
      int n = 0;
      for (int y = 1; y < H; ++y)
        n += plot.pixel(x, y) == red;
      if (n > H / 2)
        gridX.insert(ML + x);
    }
    for (int y = 1; y < H; ++y) {
      int n = 0;
      for (int x = 1; x < W; ++x)
        n += plot.pixel(x, y) == red;
      if (n > W / 2)
        gridY.insert(MT + y);
    }
    EXPECT_GE(tickX.size(), 3u) << k.Log;
    EXPECT_GE(tickY.size(), 3u) << k.Log;
    EXPECT_EQ(gridX, tickX) << (k.Log ? "logarithmic" : "linear");
    EXPECT_EQ(gridY, tickY) << (k.Log ? "logarithmic" : "linear");
  }
}

TEST(RChartItemAt, MarksLinesAndRectangles)
{
  TShownChart t;
  t.Chart.SetRange(1, 0, 0, W, H);  // one world unit per pixel: x = ML + wx, y = MT + H - wy
  EXPECT_EQ(t.Chart.ItemAt(ML + 10, MT + 10, 50), -1);  // an empty chart has nothing to hit

  t.Chart.AddMark(20, 100, 26);       // 0: at (70, 60)
  t.Chart.AddLine(100, 10, 200, 10);  // 1: y 150, x 150..250
  t.Chart.AddRect(30, 30, 60, 50);    // 2: x 80..110, y 110..130
  t.Chart.AddMark(20, 100, 7);        // 3: on top of 0
  t.Chart.FullPaint();

  EXPECT_EQ(t.Chart.ItemAt(70, 60, 0), 3);  // same place: the one added last, drawn on top
  EXPECT_EQ(t.Chart.ItemAt(73, 64, 5), 3);  // distance 5
  EXPECT_EQ(t.Chart.ItemAt(73, 64, 4), -1);
  EXPECT_EQ(t.Chart.ItemAt(200, 153, 3), 1);  // 3 pixels below the line
  EXPECT_EQ(t.Chart.ItemAt(253, 154, 5), 1);  // beyond its end: 3 across, 4 down
  EXPECT_EQ(t.Chart.ItemAt(254, 154, 4), -1);
  EXPECT_EQ(t.Chart.ItemAt(95, 120, 0), 2);  // inside the rectangle
  EXPECT_EQ(t.Chart.ItemAt(113, 120, 3), 2);
  EXPECT_EQ(t.Chart.ItemAt(113, 120, 2), -1);
  EXPECT_EQ(t.Chart.ItemAt(70, 60, -1), -1);
  // the nearest wins over the later: the mark is 2 away from (72, 60), the rectangle 8
  EXPECT_EQ(t.Chart.ItemAt(72, 60, 10), 3);
  t.Chart.AddMark(9, 100, 26);  // 4: at (59, 60), added later but nearer to (62, 60) after a paint
  EXPECT_EQ(t.Chart.ItemAt(62, 60, 10), 3);  // not painted yet: the last paint's items
  t.Chart.FullPaint();
  EXPECT_EQ(t.Chart.ItemAt(62, 60, 10), 4);
  t.Chart.ClearChart();
  EXPECT_EQ(t.Chart.ItemAt(70, 60, 10), -1);
}

TEST(RChartItemAt, KindsFilterFindsAMarkUnderALine)
{
  TShownChart t;
  t.Chart.SetRange(1, 0, 0, W, H);
  t.Chart.AddMark(50, 50, 26);       // 0: at (100, 110)
  t.Chart.AddLine(0, 50, W, 50);     // 1: through the mark, added later: it wins the tie
  t.Chart.AddRect(45, 45, 55, 55);   // 2: around both
  t.Chart.FullPaint();
  EXPECT_EQ(t.Chart.ItemAt(100, 110, 3), 2);
  EXPECT_EQ(t.Chart.ItemAt(100, 110, 3, ikMark), 0);
  EXPECT_EQ(t.Chart.ItemAt(102, 110, 3, ikMark | ikLine), 1);  // the line is 0 away, the mark 2
  EXPECT_EQ(t.Chart.ItemAt(130, 110, 3, ikMark), -1);          // only the line is near
  EXPECT_EQ(t.Chart.ItemAt(130, 110, 3, ikLine), 1);
}

TEST(RChartItemAt, HiddenItemsAreNeverHit)
{
  TShownChart t;
  t.Chart.SetRange(1, 0, 0, W, H);
  t.Chart.AddMark(W + 1, 50, 26);          // 0: outside the X range, 1 pixel right of the plot
  t.Chart.AddMark(NAN, 50, 26);            // 1: not a number
  t.Chart.AddLine(10, INFINITY, 20, 20);   // 2: an infinite end
  t.Chart.AddMark(40, 50, 26);             // 3: at (90, 110)
  t.Chart.AddMark(40, 50, 26);             // 4: a duplicate of 3 once duplicates are avoided
  t.Chart.AddMark(40, 50, 7);              // 5: at the same place, another type
  t.Chart.FullPaint();
  EXPECT_EQ(t.Chart.ItemAt(ML + W + 1, MT + H - 50, 0), -1);
  EXPECT_EQ(t.Chart.ItemAt(ML + 15, MT + H - 20, 0), -1);
  EXPECT_EQ(t.Chart.ItemAt(90, 110, 0), 5);
  t.Chart.SetAvoidDuplicateMarks(true);  // repaints: 4 is left out, 5 is another type
  EXPECT_EQ(t.Chart.ItemAt(90, 110, 0), 5);
  t.Chart.ClearChart();
  t.Chart.AddMark(40, 50, 26);
  t.Chart.AddMark(41, 50, 26);  // within MinDupMarkDist 1 of the first
  t.Chart.FullPaint();
  EXPECT_EQ(t.Chart.ItemAt(91, 110, 0), -1);  // the duplicate is not drawn
  EXPECT_EQ(t.Chart.ItemAt(91, 110, 1), 0);   // the first is
  t.Chart.SetAvoidDuplicateMarks(false);
  EXPECT_EQ(t.Chart.ItemAt(91, 110, 0), 1);
}

TEST(RChartItemAt, AnswersForTheItemsAsThePaintLeftThem)
{
  TShownChart t;
  t.Chart.SetRange(1, 0, 0, W, H);
  t.Chart.AddMark(20, 100, 26);  // 0: at (70, 60)
  t.Chart.AddMark(40, 100, 26);  // 1: at (90, 60)
  t.Chart.FullPaint();
  t.Chart.AddMark(25, 100, 26);  // 2: at (75, 60), not painted yet, even for the first query
  EXPECT_EQ(t.Chart.ItemAt(74, 60, 10), 0);
  t.Chart.ShowChart();
  EXPECT_EQ(t.Chart.ItemAt(74, 60, 10), 2);

  // A handler that moves what is drawn does not move what is hit: the items' own places count.
  t.Chart.OnBeforeRenderChartItem = [](TObject*, TrcChartItem& Item, int, bool) { Item.X1 += 100; };
  t.Chart.FullPaint();
  EXPECT_EQ(t.Chart.PlotBitmap().Image().pixel(20 + 100, H - 100) & 0xFFFFFFu, 0u);  // drawn 100 pixels to the right
  EXPECT_EQ(t.Chart.PlotBitmap().Image().pixel(20, H - 100) & 0xFFFFFFu, 0xFFFFFFu);
  EXPECT_EQ(t.Chart.ItemAt(90, 60, 0), 1);
  EXPECT_EQ(t.Chart.ItemAt(190, 60, 3), -1);
  // and the duplicate-mark rule then applies to the items' own places too
  t.Chart.AddMark(40, 100, 26);  // 3: on top of 1
  t.Chart.SetAvoidDuplicateMarks(true);
  EXPECT_EQ(t.Chart.ItemAt(90, 60, 0), 1);
  t.Chart.OnBeforeRenderChartItem = nullptr;
  t.Chart.FullPaint();
  EXPECT_EQ(t.Chart.ItemAt(90, 60, 0), 1);  // the shapes of the paint, duplicates left out
  t.Chart.SetAvoidDuplicateMarks(false);
  EXPECT_EQ(t.Chart.ItemAt(90, 60, 0), 3);
}

TEST(RChartItemAt, ThePaintBuildsTheIndexForItsOwnMappings)
{
  // A paint that computes no shapes ahead (a handler is set) still leaves the index of what it
  // drew: a range changed without a paint does not move what is hit, and neither does a
  // rendering at another size.
  TShownChart t;
  t.Chart.SetRange(1, 0, 0, W, H);
  t.Chart.AddMark(20, 100, 26);  // 0: at (70, 60)
  t.Chart.OnBeforeRenderChartItem = [](TObject*, TrcChartItem&, int, bool) {};
  t.Chart.FullPaint();
  t.Chart.SetSuppressPaint(true);
  t.Chart.SetRange(1, 0, 0, 2 * W, 2 * H);  // the mark's place would be (60, 110)
  EXPECT_EQ(t.Chart.ItemAt(70, 60, 0), 0);
  EXPECT_EQ(t.Chart.ItemAt(60, 110, 3), -1);
  t.Chart.SetSuppressPaint(false);
  t.Chart.FullPaint();
  EXPECT_EQ(t.Chart.ItemAt(60, 110, 0), 0);
  EXPECT_EQ(t.Chart.ItemAt(70, 60, 3), -1);
  const QImage big = t.Chart.RenderImage(4 * (ML + W), 4 * (MT + H), 4 * 96);
  EXPECT_FALSE(big.isNull());
  EXPECT_EQ(t.Chart.ItemAt(60, 110, 0), 0);
  EXPECT_EQ(t.Chart.ItemAt(4 * 60, 4 * 110, 3), -1);
}

TEST(RChartItemAt, AgreesWithASearchOverEveryMark)
{
  // Marks scattered over the plot and beyond it; each query is answered by the cell index and,
  // independently, by the nearest mark over all marks through WorldToPixel.
  TShownChart t;
  t.Chart.SetRange(1, -1, -1, 1, 1);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1.2, 1.2);
  std::vector<std::pair<double, double>> marks;
  for (int i = 0; i < 3000; ++i) {
    marks.emplace_back(u(rng), u(rng));
    t.Chart.AddMark(marks.back().first, marks.back().second, 26);
  }
  t.Chart.FullPaint();
  std::uniform_int_distribution<int> qx(ML - 20, ML + W + 20), qy(MT - 20, MT + H + 20), qt(0, 12);
  int hits = 0;
  for (int q = 0; q < 2000; ++q) {
    const int x = qx(rng), y = qy(rng), tol = qt(rng);
    long long best = -1;
    int want = -1;
    for (int i = 0; i < static_cast<int>(marks.size()); ++i) {
      const auto [mx, my] = marks[static_cast<size_t>(i)];
      if (std::fabs(mx) > 1 || std::fabs(my) > 1)
        continue;  // outside the layer's range: not drawn
      int px = 0, py = 0;
      t.Chart.WorldToPixel(1, mx, my, px, py);
      const long long d = 1LL * (px - x) * (px - x) + 1LL * (py - y) * (py - y);
      if (d <= 1LL * tol * tol && (want < 0 || d <= best)) {
        best = d;
        want = i;
      }
    }
    ASSERT_EQ(t.Chart.ItemAt(x, y, tol), want) << x << ", " << y << " within " << tol;
    hits += want >= 0;
  }
  EXPECT_GT(hits, 500);  // the queries do reach marks
}

// The ticks of a full paint are one value per axis: the axis is painted from it, the grid follows
// its tick values, and an axis not shown has none (the grid then starts at the range's low end).
TEST(AxisMap, TicksAreComputedOncePerPaintAndFeedTheGrid)
{
  TShownChart t;
  t.Chart.Scale1X().SetShortTicks(false);
  t.Chart.SetRange(1, 0, 0, 10, 10);
  t.Chart.SetGridStyle(gsVertLines);
  t.Chart.SetGridColor(clRed);
  std::vector<int> painted;
  t.Chart.OnScaleTickDrawn = [&](TObject*, TCanvas&, TScaleType Type, double, int X, int) {
    if (Type == sctXB || Type == sctXT)
      painted.push_back(X);
  };
  t.Chart.FullPaint();
  const TScaleWalk& ticks = t.Chart.AxisTicks(1, false);
  ASSERT_GE(ticks.Ticks.size(), 3u);
  std::vector<int> walked;
  for (const TScaleTick& k : ticks.Ticks)
    walked.push_back(k.Base.X);
  EXPECT_EQ(painted, walked);
  EXPECT_EQ(ticks.TickValues, t.Chart.ScaleControlX(1).TickValues());
  auto redColumns = [&] {
    const QImage& plot = t.Chart.PlotBitmap().Image();
    std::vector<int> cols;
    for (int x = 1; x < W; ++x)
      if (plot.pixel(x, H / 2) == qRgb(255, 0, 0))
        cols.push_back(ML + x);
    return cols;
  };
  std::vector<int> inside;
  for (int x : walked)
    if (x > ML && x < ML + W)
      inside.push_back(x);
  EXPECT_EQ(redColumns(), inside);

  t.Chart.Scale1X().SetVisible(false);
  t.Chart.FullPaint();
  EXPECT_TRUE(t.Chart.AxisTicks(1, false).Ticks.empty());
  EXPECT_TRUE(t.Chart.AxisTicks(1, false).TickValues.empty());
  EXPECT_TRUE(redColumns().empty());  // one line at the low end, which the plot frame covers
}
