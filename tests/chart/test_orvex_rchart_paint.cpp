// TRChart pixels: what the full paint and the plot-only refresh put into the control and plot
// bitmaps (marks, lines, rectangles, grid, text labels, background areas, axes, captions) and
// the order of the rendering events.
#include "orvex_math2.h"
#include "orvex_rchart.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace orvex;

namespace {

// The default chart is 280 x 200 with margins 50, 20, 20, 40: the plot spans x 50..260 and
// y 20..160 (W = 210, H = 140).
constexpr int ML = 50, MT = 20, W = 210, H = 140;

struct TShownChart {
  TRChart Chart;
  QImage PlotBeforeFrame;  // the plot bitmap as the item pass left it, before the plot frame
  explicit TShownChart(int Width = 280, int Height = 200)
  {
    Chart.resize(Width, Height);
    Chart.OnDataRendered = [this](TObject*, TCanvas&, int, int) { PlotBeforeFrame = Chart.PlotBitmap().Image().copy(); };
    Chart.show();
    QApplication::processEvents();
  }
  TColor Control(int X, int Y) const { return FromQColor(QColor::fromRgb(Chart.ControlBitmap().Image().pixel(X, Y))); }
  TColor Plot(int X, int Y) const { return FromQColor(QColor::fromRgb(PlotBeforeFrame.pixel(X, Y))); }
  int CountPlot(TColor Color) const
  {
    int n = 0;
    for (int y = 0; y < PlotBeforeFrame.height(); ++y)
      for (int x = 0; x < PlotBeforeFrame.width(); ++x)
        n += Plot(x, y) == Color;
    return n;
  }
};

// The tests' own random numbers (a linear congruential generator), the same on every platform.
struct TLcg {
  unsigned Seed;
  int Next(int Mod)
  {
    Seed = Seed * 1103515245u + 12345u;
    return static_cast<int>((Seed >> 8) % static_cast<unsigned>(Mod));
  }
};

// A white reference plot of Width x Height pixels to draw the expected items on.
std::unique_ptr<TBitmap> WhitePlot(int Width, int Height)
{
  auto b = std::make_unique<TBitmap>(Width, Height);
  b->Canvas().Brush().SetColor(clWhite);
  b->Canvas().FillRect(Rect(0, 0, Width, Height));
  return b;
}

// The plot of each thread count from a paint: the first must have the reference's colours inside
// a plot frame of W x H (which the background does not cover), the others its pixels bit for bit.
void ExpectAsReferenceAndTheSameForEach(const std::vector<QImage>& Plots, const QImage& Reference, int W, int H)
{
  SetMathThreadCount(0);
  ASSERT_EQ(Plots[0].size(), Reference.size());
  int differ = 0;
  for (int y = 1; y < H; ++y)
    for (int x = 1; x < W; ++x)
      differ += (Plots[0].pixel(x, y) & 0xFFFFFFu) != (Reference.pixel(x, y) & 0xFFFFFFu);
  EXPECT_EQ(differ, 0);
  for (size_t i = 1; i < Plots.size(); ++i)
    EXPECT_EQ(Plots[i], Plots[0]) << "plot " << i;
}

}  // namespace

TEST(RChartPaint, MarksOnTheRangeBoundaryAreDrawnAndOutsideNot)
{
  TShownChart on, off;
  on.Chart.SetDataColor(clRed);
  on.Chart.AddMark(1.0, 0.5, 26);  // centre on the right edge of the plot
  on.Chart.FullPaint();
  EXPECT_EQ(on.Plot(208, 70), clRed);
  EXPECT_EQ(on.Plot(210, 70), clRed);
  off.Chart.SetDataColor(clRed);
  off.Chart.AddMark(1.005, 0.5, 26);  // its circle would reach x 209 and 210
  off.Chart.FullPaint();
  EXPECT_EQ(off.CountPlot(clRed), 0);
}

TEST(RChartPaint, DuplicateMarksAreSkippedByTypeAndDistance)
{
  TShownChart t;
  t.Chart.SetRange(1, 0, 0, W, H);  // one world unit per pixel
  t.Chart.SetDataColor(clRed);
  t.Chart.AddMark(100, 70, 26);
  t.Chart.SetDataColor(clBlue);
  t.Chart.AddMark(101, 70, 26);
  t.Chart.SetDataColor(clLime);
  t.Chart.AddMark(100, 70, 7);
  t.Chart.FullPaint();
  EXPECT_GT(t.CountPlot(clBlue), 0);  // not avoided yet
  t.Chart.SetAvoidDuplicateMarks(true);  // repaints on change
  EXPECT_EQ(t.CountPlot(clBlue), 0);
  EXPECT_EQ(t.CountPlot(clLime), 9);  // the 3 x 3 square of type 7 is still drawn
  EXPECT_GT(t.CountPlot(clRed), 0);
  t.Chart.SetMinDupMarkDist(0);
  EXPECT_EQ(t.Chart.MinDupMarkDist(), 1);
}

TEST(RChartPaint, LinesAndRectanglesFollowTheirPixelRules)
{
  TShownChart t;
  t.Chart.SetDataColor(clRed);
  t.Chart.SetRange(1, 0, 0, W, H);
  t.Chart.AddLine(100.2, 70.2, 100.3, 69.9);  // both ends on pixel (100, 70)
  t.Chart.FullPaint();
  EXPECT_EQ(t.CountPlot(clRed), 1);
  EXPECT_EQ(t.Plot(100, 70), clRed);

  TShownChart r;
  r.Chart.SetDataColor(clRed);
  r.Chart.SetFillColor(clYellow);
  r.Chart.AddRect(1, 1, 0, 0);  // corners in any order
  r.Chart.FullPaint();
  for (auto [x, y] : {std::pair{0, 0}, {W, 0}, {0, H}, {W, H}, {W, 70}, {100, H}})
    EXPECT_EQ(r.Plot(x, y), clRed) << x << "," << y;
  EXPECT_EQ(r.Plot(1, 1), clYellow);
  EXPECT_EQ(r.Plot(W - 1, H - 1), clYellow);
}

TEST(RChartPaint, FarLinesKeepTheirDirection)
{
  TShownChart t;
  t.Chart.SetDataColor(clRed);
  t.Chart.AddLine(0, 0, 1000, 2000);  // y = 2 x, leaving the plot far away
  t.Chart.AddLine(-1e12, 5e11, -1e12, -5e11);  // entirely outside
  t.Chart.FullPaint();
  // World (0.25, 0.5) is plot pixel (52.5, 70): the visible part lies on the true line.
  bool near = false;
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy)
      near = near || t.Plot(52 + dx, 70 + dy) == clRed;
  EXPECT_TRUE(near);
  EXPECT_EQ(t.Plot(0, H), clRed);
}

TEST(RChartPaint, GridAtTheAxisTicksAndCappedAtAThousandLines)
{
  TShownChart t;
  t.Chart.Scale1X().SetShortTicks(false);  // the X axis records its ticks 0, 0.2, .., 1.0
  t.Chart.SetGridColor(clLime);
  t.Chart.SetGridStyle(gsVertLines);
  for (int x : {0, 42, 84, 126, 168})
    EXPECT_EQ(t.Plot(x, 70), clLime) << x;
  EXPECT_NE(t.Plot(W, 70), clLime);  // the upper end is excluded
  EXPECT_NE(t.Plot(21, 70), clLime);
  EXPECT_EQ(t.Chart.ScaleControlX(1).NumTicks(), 6);

  TShownChart wide(2070, 200);  // a plot 2000 pixels wide
  wide.Chart.SetRange(1, 0, 0, 2, 1);
  wide.Chart.SetGridColor(clLime);
  wide.Chart.SetGridDx(0.001);  // 2000 lines would result
  wide.Chart.SetGridStyle(gsVertLines);
  EXPECT_EQ(wide.Plot(999, 70), clLime);
  EXPECT_NE(wide.Plot(1000, 70), clLime);
  EXPECT_NE(wide.Plot(1500, 70), clLime);
  wide.Chart.SetGridDx(-4);
  EXPECT_EQ(wide.Chart.GridDx(), 0.001);
}

TEST(RChartPaint, TextLabelOneIsDrawnOverLabelFifty)
{
  TShownChart t;
  auto setup = [&](int n, TColor bkg, const std::string& text) {
    TTextLabel& l = t.Chart.TextLabels(n);
    l.SetAttachToData(tlamNone);
    l.SetPosX(150);
    l.SetPosY(100);
    l.SetColorBkg(bkg);
    l.SetCaption(text);
    l.SetVisible(true);
    l.SetMode(tlsimple);
  };
  setup(50, clBlue, "BBBBBBBBBB");
  setup(1, clRed, "A");
  TCanvas measure;
  measure.SetFont(t.Chart.TextLabels(1).Font());
  const int wa = measure.TextWidth("A");
  // Row 101 lies in the 2-pixel strip below the anchor: background only.
  EXPECT_EQ(t.Control(150 - wa / 2 - 2, 101), clRed);
  EXPECT_EQ(t.Control(150 - wa / 2 - 8, 101), clBlue);
  t.Chart.TextLabels(1).SetVisible(false);
  EXPECT_EQ(t.Control(150 - wa / 2 - 2, 101), clBlue);
  t.Chart.ClearTextLabels();
  EXPECT_EQ(t.Control(150 - wa / 2 - 8, 101), clWhite);
}

TEST(RChartDecor, AreaModesAndMissingImages)
{
  TShownChart t;
  t.Chart.SetRange(1, -2, -2, 2, 2);
  t.Chart.BackGroundImg().SetAreaColor(clLime);
  t.Chart.BackGroundImg().SetAreaMode(bamRectInv);
  EXPECT_EQ(t.Plot(10, 10), clLime);
  EXPECT_EQ(t.Plot(10, 70), clLime);
  EXPECT_EQ(t.Plot(105, 10), clLime);
  EXPECT_EQ(t.Plot(200, 130), clLime);
  EXPECT_EQ(t.Plot(105, 70), clWhite);  // the central square stays
  t.Chart.BackGroundImg().SetAreaMode(bamVStripe);
  EXPECT_EQ(t.Plot(10, 70), clWhite);
  EXPECT_EQ(t.Plot(105, 10), clLime);

  t.Chart.BackGroundImg().SetName("/no/such/dir/image.bmp");
  EXPECT_EQ(t.Chart.BackGroundImg().Name(), "");  // not found: cleared by the paint
  EXPECT_EQ(t.Plot(10, 10), clWhite);
  TBakGndImg img;
  img.SetName("/a/b/c.bmp");
  EXPECT_EQ(img.Name(), "c.bmp");
  img.SetIncludePath(true);
  img.SetName("/a/b/c.bmp");
  EXPECT_EQ(img.Name(), "/a/b/c.bmp");
  img.SetIncludePath(false);
  EXPECT_EQ(img.Name(), "c.bmp");
}

TEST(RChartDecor, CaptionTrimAndShadow)
{
  TShownChart t;
  t.Chart.SetCaptionTrim(3);
  EXPECT_EQ(t.Chart.CaptionTrim(), 5);
  t.Chart.SetCaptionTrim(150);
  EXPECT_EQ(t.Chart.CaptionTrim(), 100);
  t.Chart.SetCaptionTrim(0);
  EXPECT_EQ(t.Chart.CaptionTrim(), 0);
  const std::string longText = "A caption far too wide for thirty percent of the plot";
  t.Chart.SetCaption(longText);
  TCanvas measure;
  measure.SetFont(t.Chart.Font());
  EXPECT_EQ(t.Chart.TrimmedCaption(measure), longText);
  t.Chart.SetCaptionTrim(30);
  const int avail = 63;  // 210 * 30 / 100
  const std::string shown = t.Chart.TrimmedCaption(measure);
  ASSERT_GE(shown.size(), 3u);
  EXPECT_EQ(shown.substr(shown.size() - 3), "...");
  EXPECT_LT(measure.TextWidth(shown), avail + measure.TextWidth("..."));
  EXPECT_LT(shown.size(), longText.size());

  // No shadow: no frame line around the control; a shadow paints its corners and strips.
  EXPECT_EQ(t.Control(0, 0), ColorToRGB(clBtnFace));
  t.Chart.SetShadowColor(clNavy);
  t.Chart.SetShadowWidth(8);
  EXPECT_EQ(t.Control(0, 0), clBlack);
  EXPECT_EQ(t.Control(275, 195), clNavy);
  EXPECT_EQ(t.Control(278, 2), ColorToRGB(clBtnFace));
}

TEST(RChartDecor, StandardLayoutWithThreeLeftAxes)
{
  TShownChart t;
  t.Chart.SetStandardLayout(rcl_X1Bottom_Y3Left);
  EXPECT_EQ(t.Chart.StandardLayout(), rcl_X1Bottom_Y1Left);
  EXPECT_EQ(t.Chart.MarginLeft(), 150);
  EXPECT_EQ(t.Chart.MarginTop(), 24);
  for (int n = 1; n <= 3; ++n) {
    EXPECT_TRUE(t.Chart.ScalePropsY(n).Visible()) << n;
    EXPECT_EQ(t.Chart.ScalePropsY(n).ScalePos(), 50 * (n - 1));
  }
  EXPECT_FALSE(t.Chart.ScalePropsY(4).Visible());
  EXPECT_FALSE(t.Chart.ScalePropsX(5).Visible());
  // The baselines of layers 2 and 3 stand 50 and 100 pixels left of the plot, in their colours.
  const int midY = 24 + (200 - 40 - 24) / 2;
  EXPECT_EQ(t.Control(100, midY), clMaroon);
  EXPECT_EQ(t.Control(50, midY), clGreen);
  EXPECT_EQ(t.Control(75, midY), ColorToRGB(clBtnFace));
}

TEST(RChartPaint, EventOrderAndItemCopies)
{
  TShownChart t;
  std::vector<std::string> log;
  t.Chart.OnScalesRendered = [&](TObject* s, TCanvas&, int top, int left) {
    EXPECT_EQ(s, &t.Chart);
    log.push_back("scales " + std::to_string(top) + "," + std::to_string(left));
  };
  t.Chart.OnBeforeRenderData = [&](TObject*, TCanvas& c, int, int) {
    c.Pen().SetColor(clLime);
    log.push_back("data");
  };
  t.Chart.OnBeforeRenderChartItem = [&](TObject*, TrcChartItem& it, int index, bool annotation) {
    EXPECT_FALSE(annotation);
    it.Color = clBlue;  // changes this drawing only
    log.push_back("item " + std::to_string(index));
  };
  t.Chart.OnDataRendered = [&](TObject*, TCanvas&, int, int) {
    t.PlotBeforeFrame = t.Chart.PlotBitmap().Image().copy();
    log.push_back("rendered");
  };
  int ticks = 0;
  t.Chart.OnScaleTickDrawn = [&](TObject* s, TCanvas&, TScaleType, double, int, int) {
    EXPECT_EQ(s, &t.Chart);
    ++ticks;
  };
  t.Chart.SetDataColor(clRed);
  t.Chart.AddMark(0.5, 0.5, 9);
  t.Chart.AddMark(2, 2, 9);  // outside the range: announced, then skipped by the mark rule
  t.Chart.AddMark(0.25, 0.5, 9);
  t.Chart.FullPaint();
  EXPECT_EQ(log, (std::vector<std::string>{"scales 0,0", "data", "item 0", "item 1", "item 2", "rendered"}));
  EXPECT_GT(ticks, 0);
  EXPECT_EQ(t.Plot(105, 70), clBlue);
  EXPECT_EQ(t.Chart.Item(0).Color, clRed);

  // The plot-only refresh redraws the plot but not the scales; without AutoRedraw ShowChart
  // runs the full paint.
  log.clear();
  t.Chart.ShowChart();
  EXPECT_EQ(log, (std::vector<std::string>{"data", "item 0", "item 1", "item 2", "rendered"}));
  log.clear();
  t.Chart.SetAutoRedraw(false);
  t.Chart.ShowChart();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "scales 0,0");
}

TEST(RChartPaint, CrossHairs)
{
  TShownChart t;
  TCrossHair& ch = t.Chart.CrossHair(1);
  EXPECT_EQ(ch.LineType(), psDashDotDot);
  EXPECT_EQ(t.Chart.CrossHair(3).Layer(), 3);
  ch.SetLineType(psSolid);
  ch.SetPosX(0.5);
  ch.SetPosY(0.5);
  ch.SetMode(chBoth);  // repaints through its OnChange
  EXPECT_EQ(t.Control(ML + 10, MT + 70), clRed);
  EXPECT_EQ(t.Control(ML + 105, MT + 10), clRed);
  EXPECT_NE(t.Control(ML + 10, MT + 10), clRed);
  ch.SetMode(chOff);
  EXPECT_NE(t.Control(ML + 10, MT + 70), clRed);
}

TEST(RChartPaint, LogarithmicGridSteps)
{
  TShownChart t(370, 200);  // a plot 300 pixels wide: one decade per 100 pixels
  t.Chart.SetRange(1, 1, 0, 1000, 1);
  t.Chart.Scale1X().SetLogarithmic(true);
  t.Chart.SetGridColor(clLime);
  t.Chart.SetGridStyle(gsVertLines);
  t.Chart.SetGridDx(-1);  // decades: 1, 10, 100
  EXPECT_EQ(t.Plot(0, 70), clLime);
  EXPECT_EQ(t.Plot(100, 70), clLime);
  EXPECT_EQ(t.Plot(200, 70), clLime);
  EXPECT_NE(t.Plot(30, 70), clLime);
  t.Chart.SetGridDx(-2);  // 2, 5, 10, 20, ...: starts above 1
  EXPECT_NE(t.Plot(0, 70), clLime);
  EXPECT_EQ(t.Plot(30, 70), clLime);   // 2
  EXPECT_EQ(t.Plot(70, 70), clLime);   // 5
  EXPECT_EQ(t.Plot(170, 70), clLime);  // 50
  EXPECT_NE(t.Plot(48, 70), clLime);   // 3
  t.Chart.SetGridDx(-3);  // every integer multiple
  EXPECT_EQ(t.Plot(0, 70), clLime);
  EXPECT_EQ(t.Plot(48, 70), clLime);   // 3
  EXPECT_EQ(t.Plot(248, 70), clLime);  // 300
}

// The scatter chart's batch of the main window: one paint, the range fitted with 5 %, the
// diagonal from the larger low end to the larger high end in the colour of the last mark.
TEST(RChartPaint, FitChartBatchAndHistogram)
{
  TShownChart fit;
  int paints = 0;
  fit.Chart.OnScalesRendered = [&](TObject*, TCanvas&, int, int) { ++paints; };
  fit.Chart.SetSuppressPaint(true);
  fit.Chart.ClearChart();
  fit.Chart.ClearTextLabels();
  fit.Chart.Scale1X().SetMinTicks(2);
  fit.Chart.Scale1X().SetCaption("Actual Data");
  fit.Chart.Scale1Y().SetCaption("Estimated Data");
  for (int i = 1; i <= 20; ++i) {
    fit.Chart.SetDataColor(i == 20 ? clRed : clBlue);
    fit.Chart.SetItemTag(i);
    fit.Chart.AddMark(i, i + (i % 3) - 1.0, 26);
    fit.Chart.AddMark(std::nan(""), 5, 26);  // never drawn, never ranged
  }
  fit.Chart.AutoRange(1, 5.0);
  // The margin is formed in extended precision, so 1 - 0.95 differs from the double difference.
  EXPECT_NEAR(fit.Chart.Scale1X().RangeLow(), 0.05, 1e-15);
  EXPECT_NEAR(fit.Chart.Scale1X().RangeHigh(), 20.95, 1e-14);
  fit.Chart.SetItemTag(0);
  const double L = std::max(fit.Chart.Scale1X().RangeLow(), fit.Chart.Scale1Y().RangeLow());
  const double Hh = std::max(fit.Chart.Scale1X().RangeHigh(), fit.Chart.Scale1Y().RangeHigh());
  fit.Chart.AddLine(L, L, Hh, Hh);
  fit.Chart.SetSuppressPaint(false);
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(fit.Chart.Item(fit.Chart.NumItems() - 1).Color, clRed);
  EXPECT_EQ(fit.Chart.Item(0).Tag, 1);
  EXPECT_GT(fit.CountPlot(clBlue), 0);

  TShownChart histo;
  histo.Chart.ClearChart();
  histo.Chart.ClearTextLabels();
  histo.Chart.SetDataColor(clBlack);
  histo.Chart.SetFillColor(clYellow);
  const int counts[3] = {2, 5, 0};
  for (int k = 1; k <= 3; ++k)
    histo.Chart.AddRect(k - 1, 0, k, counts[k - 1]);
  histo.Chart.SetRange(1, -0.15, 0, 3.15, 6);
  histo.Chart.Scale1X().SetCaption("residuals of Net Weight");
  histo.Chart.ShowChart();
  // Bar 2 reaches 5 of 6 units: yellow inside, white above it.
  const int x2 = static_cast<int>(W * (1.5 + 0.15) / 3.3);
  EXPECT_EQ(histo.Plot(x2, H - 10), clYellow);
  EXPECT_EQ(histo.Plot(x2, 5), clWhite);
}

TEST(RChartPaint, ManyMarksMatchDrawMarkInOrderWhateverTheThreadCount)
{
  // Marks in 16 colours over the plot and across its edges, a line drawn between two batches of
  // them: the plot must equal DrawMark's own pixels put down item by item in the same order, with
  // one, two, four or five math threads.
  const TColor colors[4] = {clRed, clBlue, clGreen, clFuchsia};
  std::vector<QImage> plots;
  QImage reference;
  for (int threads : {1, 2, 4, 5}) {
    SetMathThreadCount(threads);
    TShownChart t;
    t.Chart.SetSuppressPaint(true);
    t.Chart.SetRange(1, 0, 0, W, H);
    const auto ref = WhitePlot(W + 1, H + 1);
    TCanvas& rc = ref->Canvas();
    TLcg rng{11};
    for (int i = 0; i < 3000; ++i) {
      if (i == 1500) {
        t.Chart.SetDataColor(clBlack);
        t.Chart.AddLine(0, 70, W, 70);
        rc.Pen().SetColor(clBlack);
        rc.MoveTo(0, 70);
        rc.LineTo(W, 70);
      }
      const int x = rng.Next(W + 1), y = rng.Next(H + 1);
      const TColor col = colors[i % 4];
      t.Chart.SetDataColor(col);
      t.Chart.AddMark(x, H - y, 26);
      rc.Pen().SetColor(col);
      DrawMark(rc, 26, x, y);
    }
    t.Chart.SetSuppressPaint(false);
    t.Chart.FullPaint();
    plots.push_back(t.PlotBeforeFrame.copy());
    reference = ref->Image().copy();
  }
  ExpectAsReferenceAndTheSameForEach(plots, reference, W, H);
}

TEST(RChartPaint, ABusyLargePlotIsTheSameWhateverTheThreadCount)
{
  // An 800 x 600 chart with 60,000 marks of several types (solid, hollow and crossed shapes),
  // widths and pen styles in 16 colours, many across the plot's edges and band boundaries, with
  // lines and rectangles between them: the plot must equal DrawMark's own pixels put down item by
  // item, and the plot bitmap must be the same bit for bit with 1, 2 and 4 math threads.
  int w = 0, h = 0;
  const std::uint8_t types[6] = {26, 27, 7, 3, 12, 30};
  std::vector<QImage> plots;
  QImage reference;
  for (int threads : {1, 2, 4}) {
    SetMathThreadCount(threads);
    TShownChart t(800, 600);
    w = t.Chart.PlotRect().Width();
    h = t.Chart.PlotRect().Height();
    t.Chart.SetSuppressPaint(true);
    t.Chart.SetRange(1, 0, 0, w, h);
    const auto ref = WhitePlot(w + 1, h + 1);
    TCanvas& rc = ref->Canvas();
    TLcg rng{5};
    for (int i = 0; i < 60000; ++i) {
      const TColor col = static_cast<TColor>(0x10101u * static_cast<unsigned>(i % 16) * 15u) ^ (i % 3 == 0 ? clRed : 0);
      const std::uint8_t width = static_cast<std::uint8_t>(1 + (i / 7) % 3);
      t.Chart.SetDataColor(col);
      t.Chart.SetLineWidth(width);
      rc.Pen().SetColor(col);
      rc.Pen().SetWidth(width);
      if (i % 20000 == 10000) {  // a line and a rectangle between the marks
        t.Chart.SetLineWidth(1);
        t.Chart.SetFillColor(clYellow);
        t.Chart.AddLine(0, 100, w, 300);
        t.Chart.AddRect(100, 100, 300, 200);
        rc.Pen().SetWidth(1);
        rc.MoveTo(0, h - 100);
        rc.LineTo(w, h - 300);
        rc.Brush().SetColor(clYellow);
        rc.Rectangle(100, h - 200, 301, h - 99);
        rc.Pen().SetWidth(width);
        t.Chart.SetLineWidth(width);
      }
      const int x = rng.Next(w + 21) - 10, y = rng.Next(h + 21) - 10;
      if (x < 0 || x > w || y < 0 || y > h)
        continue;  // outside the range: not drawn (the reference cannot clip it the same way)
      const std::uint8_t type = types[i % 6];
      t.Chart.AddMark(x, h - y, type);
      DrawMark(rc, type, x, y);
    }
    t.Chart.SetSuppressPaint(false);
    t.Chart.FullPaint();
    plots.push_back(t.PlotBeforeFrame.copy());
    reference = ref->Image().copy();
  }
  ExpectAsReferenceAndTheSameForEach(plots, reference, w, h);
}
