// The scale control: setter rules, the mapping, the pixels it paints into a bitmap (opaque and
// transparent), the order of its tick events, and mouse panning and double-clicks.
#include "orvex_scale.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <cmath>
#include <string>
#include <vector>

using namespace orvex;

namespace {

TColor At(const TBitmap& Bmp, int X, int Y) { return FromQColor(QColor::fromRgb(Bmp.Image().pixel(X, Y))); }

// The bounding box of the pixels of Color in the rectangle R (Right, Bottom outside).
TRect BoxOf(const TBitmap& Bmp, TColor Color, TRect R) {
  TRect box{R.Right, R.Bottom, R.Left, R.Top};
  for (int y = R.Top; y < R.Bottom; ++y)
    for (int x = R.Left; x < R.Right; ++x)
      if (At(Bmp, x, y) == Color) {
        box.Left = std::min(box.Left, x);
        box.Top = std::min(box.Top, y);
        box.Right = std::max(box.Right, x + 1);
        box.Bottom = std::max(box.Bottom, y + 1);
      }
  return box;
}

// A 400 x 100 bottom scale 0..100 on white without a frame, painted into Bmp.
struct PaintedScale {
  TScale Scale;
  TBitmap Bmp{400, 100};
  PaintedScale() {
    Scale.resize(400, 100);
    Scale.SetColorBackGnd(clWhite);
    Scale.SetFrameStyle(fsNone);
    Scale.SetTargetCanvas(&Bmp.Canvas(), 0, 0);
  }
  void Paint() { Scale.RedrawNow(); }
};

void SendMouse(QWidget& W, QEvent::Type Type, int X, int Y, Qt::MouseButtons Buttons) {
  const QPointF p(X, Y);
  QMouseEvent e(Type, p, W.mapToGlobal(p), Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Buttons,
                Qt::NoModifier);
  QApplication::sendEvent(&W, &e);
}

}  // namespace

TEST(Scale, DefaultsAndSetterRules) {
  TScale s;
  EXPECT_EQ(s.Width(), 400);
  EXPECT_EQ(s.Height(), 400);
  EXPECT_TRUE(s.SuppressPaint());
  EXPECT_EQ(s.MinTicks(), 3);
  EXPECT_EQ(s.DecPlaces(), -2);
  EXPECT_EQ(s.FrameStyle(), fsLowered);
  EXPECT_EQ(s.CaptionAlignment(), taCenter);
  EXPECT_EQ(s.DateFormat().DateOrder(), doDDMMYY);
  EXPECT_EQ(s.DateFormat().DateSeparator(), '-');
  EXPECT_EQ(s.DateFormat().DateForTime(), dtOnePerDay);
  EXPECT_EQ(s.FrameShadow(), RGB(128, 128, 128));

  s.SetRangeHigh(100);
  s.SetRangeLow(100);
  EXPECT_EQ(s.RangeHigh(), 101);
  s.SetRange(0, 5);
  s.SetRangeHigh(0);
  EXPECT_EQ(s.RangeLow(), 1);  // now reversed
  EXPECT_EQ(s.RangeHigh(), 0);
  s.SetRange(7, 7);
  EXPECT_EQ(s.RangeHigh(), 8);
  // where + 1 changes nothing the end still moves
  s.SetRange(1e17, 1e17);
  EXPECT_GT(s.RangeHigh(), s.RangeLow());
  s.SetRange(0, 100);
  s.SetRangeLow(NAN);
  s.SetRangeHigh(INFINITY);
  s.SetRange(NAN, 3);
  EXPECT_EQ(s.RangeLow(), 0);
  EXPECT_EQ(s.RangeHigh(), 100);

  const std::pair<int, int> minTicks[] = {{1, 2}, {15, 10}, {0, 0}, {-4, 2}, {7, 7}};
  for (auto [in, out] : minTicks) {
    s.SetMinTicks(in);
    EXPECT_EQ(s.MinTicks(), out) << in;
  }
  s.SetDecPlaces(-7);
  EXPECT_EQ(s.DecPlaces(), -3);
  s.SetDecPlaces(20);
  EXPECT_EQ(s.DecPlaces(), 12);
  s.SetMarginLeft(-5);
  EXPECT_EQ(s.MarginLeft(), 0);

  // before the end of loading Logarithmic is taken as it is; afterwards it needs a positive range
  s.SetRange(0, 100);
  s.SetLogarithmic(true);
  EXPECT_TRUE(s.Logarithmic());
  s.SetLogarithmic(false);
  s.Loaded();
  s.SetLogarithmic(true);
  EXPECT_FALSE(s.Logarithmic());
  s.SetRange(1, 100);
  s.SetLogarithmic(true);
  EXPECT_TRUE(s.Logarithmic());
  s.SetLabelType(ftDateTime);
  EXPECT_FALSE(s.Logarithmic());
  s.SetLogarithmic(true);
  EXPECT_FALSE(s.Logarithmic());
  s.SetLabelType(ftTime);
  EXPECT_EQ(s.DecPlaces(), 4);

  s.SetColorScheme(csSystem);
  EXPECT_EQ(s.FrameShadow(), clBtnShadow);
  EXPECT_EQ(s.FrameHighlight(), clBtnHighlight);
  EXPECT_EQ(s.FrameDarkShadow(), clBlack);

  s.InitDefaults();
  EXPECT_EQ(s.DecPlaces(), -2);
  EXPECT_EQ(s.LabelType(), ftNum);
  EXPECT_EQ(s.ColorScheme(), csBWG);
  EXPECT_EQ(s.FrameShadow(), RGB(128, 128, 128));
  EXPECT_EQ(s.ValueToPos(100), 379);  // the default range mapped for the current size
  s.SetRange(0, 100);
  s.SetLogarithmic(true);  // InitDefaults starts the first-load state again
  EXPECT_TRUE(s.Logarithmic());
}

TEST(Scale, ValueToPosOfBothOrientations) {
  TScale s;
  s.SetRange(0, 100);
  EXPECT_EQ(s.ValueToPos(0), 20);
  EXPECT_EQ(s.ValueToPos(100), 379);
  s.SetScaleType(sctYL);
  EXPECT_EQ(s.ValueToPos(100), 20);
  EXPECT_EQ(s.ValueToPos(0), 379);
  s.resize(400, 200);
  EXPECT_EQ(s.ValueToPos(0), 179);
  EXPECT_EQ(s.ValueToPos(NAN), -2147483647);
  EXPECT_EQ(s.ValueToPos(-INFINITY), 2147483647);  // a vertical axis grows upwards
  s.SetMarginTop(180);  // no span left: the middle of the height
  EXPECT_EQ(s.ValueToPos(42), 100);
  // while loading nothing is mapped
  s.SetMarginTop(20);
  s.BeginLoading();
  s.SetRange(0, 50);
  EXPECT_EQ(s.ValueToPos(100), 20);  // still the mapping of 0..100
  EXPECT_EQ(s.ValueToPos(0), 179);
  s.Loaded();
  EXPECT_EQ(s.ValueToPos(50), 20);
}

TEST(Scale, OpaquePaintTicksLabelsCaptionAndTickList) {
  PaintedScale p;
  p.Scale.SetCaption("Span");
  p.Scale.SetCaptionAnchor(uaSclCenter);
  p.Scale.SetCaptionPosY(-60);
  p.Paint();
  const TBitmap& b = p.Bmp;
  const int baseY = 100 - 20 - 1;
  // baseline from the left to the right margin
  EXPECT_EQ(At(b, 19, baseY), clWhite);
  for (int x = 20; x <= 379; ++x) ASSERT_EQ(At(b, x, baseY), clBlack) << x;
  EXPECT_EQ(At(b, 380, baseY), clWhite);
  // long tick at 40 (x 164): 7 pixels up from the baseline; short tick at 45 (x 182): 4 pixels
  const int x40 = p.Scale.ValueToPos(40), x45 = p.Scale.ValueToPos(45);
  EXPECT_EQ(x40, 164);
  for (int y = baseY - 6; y <= baseY; ++y) EXPECT_EQ(At(b, x40, y), clBlack) << y;
  EXPECT_EQ(At(b, x40, baseY - 7), clWhite);
  for (int y = baseY - 3; y <= baseY; ++y) EXPECT_EQ(At(b, x45, y), clBlack) << y;
  EXPECT_EQ(At(b, x45, baseY - 4), clWhite);
  // label "40" centred on its tick above the long tick
  TCanvas& c = p.Bmp.Canvas();
  const int w = c.TextWidth("40"), h = c.TextHeight("40");
  const TRect label = BoxOf(b, clBlack, {x40 - 20, 0, x40 + 21, baseY - 7});
  EXPECT_GE(label.Left, x40 - w / 2);
  EXPECT_LE(label.Right, x40 - w / 2 + w);
  EXPECT_LE(std::abs((label.Left + label.Right) / 2 - x40), 2);
  EXPECT_GE(label.Top, baseY - h - 7);
  EXPECT_LE(label.Bottom, baseY - 7);
  // caption centred at the middle of the span, its top at BaseY + CaptionPosY
  const int cx = 4 + 20 + 360 / 2, cw = c.TextWidth("Span");
  const TRect cap = BoxOf(b, clBlack, {0, 0, 400, baseY - 60 + h});
  EXPECT_GE(cap.Left, cx - cw / 2);
  EXPECT_LE(cap.Right, cx - cw / 2 + cw);
  EXPECT_GE(cap.Top, baseY - 60);
  // the tick list of a horizontal scale with short ticks: the short ticks 0, 5, ..., 100
  ASSERT_EQ(p.Scale.NumTicks(), 21);
  EXPECT_EQ(p.Scale.TickPos(1), 0);
  EXPECT_EQ(p.Scale.TickPos(21), 100);
  EXPECT_EQ(p.Scale.TickPos(0), 0);
  EXPECT_EQ(p.Scale.TickPos(22), 0);

  // the frame is drawn only when a style is set
  EXPECT_EQ(At(b, 0, 0), clWhite);
  p.Scale.SetFrameStyle(fsLowered);
  p.Paint();
  EXPECT_NE(At(b, 0, 0), clWhite);
  EXPECT_NE(At(b, 1, 1), clWhite);
}

TEST(Scale, LabelsKeptInsideAndVerticalLabels) {
  PaintedScale p;
  p.Scale.SetMarginRight(0);
  p.Scale.SetMarginLeft(0);
  p.Paint();
  TCanvas& c = p.Bmp.Canvas();
  const int w100 = c.TextWidth("100");
  const TRect right = BoxOf(p.Bmp, clBlack, {300, 0, 400, 100 - 20 - 8});
  EXPECT_GE(right.Left, 400 - w100 - 2);
  EXPECT_LE(right.Right, 398);
  const TRect left = BoxOf(p.Bmp, clBlack, {0, 0, 50, 100 - 20 - 8});
  EXPECT_GE(left.Left, 2);

  // a left scale: the label of 100 starts 8 pixels right of the baseline, centred on its row
  TScale s;
  s.resize(100, 400);
  s.SetScaleType(sctYL);
  s.SetColorBackGnd(clWhite);
  s.SetFrameStyle(fsNone);
  s.SetShortTicks(false);
  TBitmap b(100, 400);
  s.SetTargetCanvas(&b.Canvas(), 0, 0);
  s.RedrawNow();
  for (int x = 20; x < 26; ++x) EXPECT_EQ(At(b, x, 20), clBlack) << x;
  EXPECT_EQ(At(b, 26, 20), clWhite);
  const int h = b.Canvas().TextHeight("0");
  const TRect top = BoxOf(b, clBlack, {27, 0, 100, 20 + h});
  EXPECT_GE(top.Left, 28);
  EXPECT_GE(top.Top, 20 - h / 2);
  EXPECT_LE(top.Bottom, 20 - h / 2 + h);
  EXPECT_EQ(s.NumTicks(), 6);  // a vertical scale records its long ticks
}

TEST(Scale, TransparentPaintOnTargetWithOffset) {
  TScale s;
  s.resize(200, 60);
  s.SetTransparent(true);
  s.SetChartEmbedded(true);
  s.SetColorScale(clBlue);
  s.SetShortTicks(false);
  TBitmap b(300, 100);
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect({0, 0, 300, 100});
  s.SetTargetCanvas(&b.Canvas(), 50, 10);
  s.RedrawNow();
  const int baseY = 10 + 60 - 20 - 1;
  // the baseline row is offset, the positions along the axis are not
  EXPECT_EQ(At(b, 20, baseY), clBlue);
  EXPECT_EQ(At(b, 179, baseY), clBlue);
  EXPECT_EQ(At(b, 180, baseY), clRed);
  EXPECT_EQ(At(b, 20, baseY - 6), clBlue);
  // no background and no frame
  EXPECT_EQ(At(b, 50, 10), clRed);
  EXPECT_EQ(At(b, 100, baseY + 5), clRed);
  EXPECT_EQ(At(b, 249, 69), clRed);
  EXPECT_EQ(s.NumTicks(), 6);
  // suppressed painting draws nothing
  b.Canvas().Brush().SetStyle(bsSolid);
  b.Canvas().FillRect({0, 0, 300, 100});
  s.SetSuppressPaint(true);
  s.Redraw();
  EXPECT_EQ(At(b, 20, baseY), clRed);
}

TEST(Scale, TickEventsInDrawingOrderAndChangedLabels) {
  PaintedScale p;
  p.Scale.SetRange(0, 4);
  std::vector<std::string> log;
  p.Scale.OnBeforeTickLabel = [&](TObject* Sender, TScaleType Type, double Pos, std::string& Label) {
    EXPECT_EQ(Sender, &p.Scale);
    EXPECT_EQ(Type, sctXB);
    log.push_back("label " + std::to_string(static_cast<int>(Pos)) + " " + Label);
    if (Pos == 2) Label = "WWWWWWWWWW";  // a wider text is measured and centred after the event
  };
  p.Scale.OnScaleTickDrawn = [&](TObject*, TCanvas&, TScaleType, double Pos, int X, int Y) {
    log.push_back("tick " + std::to_string(Pos).substr(0, 4) + " " + std::to_string(X) + "," + std::to_string(Y));
  };
  int before = 0, after = 0;
  p.Scale.OnBeforeScaleRendered = [&](TObject*, TCanvas&) { EXPECT_EQ(log.size(), 0u); ++before; };
  p.Scale.OnAfterScaleRendered = [&](TObject*, TCanvas&) { ++after; };
  p.Paint();
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  // 21 short ticks first, then each long tick: its label event before its tick event
  ASSERT_EQ(log.size(), 21u + 2 * 5);
  EXPECT_EQ(log[0], "tick 0.00 20,79");
  EXPECT_EQ(log[21], "label 0 0.0");
  EXPECT_EQ(log[22], "tick 0.00 20,79");
  EXPECT_EQ(log[25], "label 2 2.0");
  EXPECT_EQ(log[30], "tick 4.00 379,79");
  TCanvas& c = p.Bmp.Canvas();
  const int x2 = p.Scale.ValueToPos(2), w = c.TextWidth("WWWWWWWWWW");
  const TRect wide = BoxOf(p.Bmp, clBlack, {0, 0, 400, 79 - 7});
  EXPECT_LE(wide.Left, x2 - w / 2 + 3);
  EXPECT_GE(wide.Right, x2 + w / 2 - 3);
}

TEST(Scale, DragPansByThePixelShareAndDoubleClickToggles) {
  TScale s;
  s.resize(400, 100);
  s.SetRange(0, 100);
  s.SetMouseAction(maPan);
  int zooms = 0;
  s.OnZoomPan = [&](TObject* Sender) {
    EXPECT_EQ(Sender, &s);
    ++zooms;
  };
  SendMouse(s, QEvent::MouseButtonPress, 100, 50, Qt::LeftButton);
  SendMouse(s, QEvent::MouseMove, 100, 50, Qt::LeftButton);  // anchor
  SendMouse(s, QEvent::MouseMove, 136, 50, Qt::LeftButton);  // 36 of 360 pixels
  EXPECT_DOUBLE_EQ(s.RangeLow(), -10);
  EXPECT_DOUBLE_EQ(s.RangeHigh(), 90);
  SendMouse(s, QEvent::MouseMove, 64, 50, Qt::LeftButton);  // back past the anchor
  EXPECT_DOUBLE_EQ(s.RangeLow(), 10);
  EXPECT_DOUBLE_EQ(s.RangeHigh(), 110);
  EXPECT_EQ(zooms, 2);
  SendMouse(s, QEvent::MouseMove, 390, 50, Qt::LeftButton);  // outside the span: ignored
  EXPECT_DOUBLE_EQ(s.RangeLow(), 10);
  SendMouse(s, QEvent::MouseButtonRelease, 64, 50, Qt::NoButton);
  SendMouse(s, QEvent::MouseMove, 200, 50, Qt::NoButton);
  EXPECT_DOUBLE_EQ(s.RangeLow(), 10);
  EXPECT_EQ(zooms, 2);

  int dbl = 0;
  s.OnDblClick = [&](TObject*) { ++dbl; };
  SendMouse(s, QEvent::MouseButtonDblClick, 200, 50, Qt::LeftButton);
  EXPECT_EQ(s.MouseAction(), maZoom);
  SendMouse(s, QEvent::MouseButtonDblClick, 200, 50, Qt::LeftButton);
  EXPECT_EQ(s.MouseAction(), maPan);
  s.SetMouseAction(maNone);
  SendMouse(s, QEvent::MouseButtonDblClick, 200, 50, Qt::LeftButton);
  EXPECT_EQ(s.MouseAction(), maNone);
  EXPECT_EQ(dbl, 3);
}

TEST(Scale, AssignCopiesSettingsButNotMouseActionOrHandlersOfZoom) {
  TScale a, b;
  a.SetRange(-5, 5);
  a.SetCaption("Volts");
  a.SetScaleType(sctYR);
  a.SetMarginTop(7);
  a.SetMinTicks(6);
  a.SetUserTickText("x|y");
  a.SetMouseAction(maZoom);
  a.DateFormat().SetDateSeparator('/');
  int ticks = 0;
  a.OnScaleTickDrawn = [&](TObject*, TCanvas&, TScaleType, double, int, int) { ++ticks; };
  a.OnZoomPan = [](TObject*) {};
  b.Assign(a);
  EXPECT_EQ(b.RangeLow(), -5);
  EXPECT_EQ(b.Caption(), "Volts");
  EXPECT_EQ(b.ScaleType(), sctYR);
  EXPECT_EQ(b.MarginTop(), 7);
  EXPECT_EQ(b.MinTicks(), 6);
  EXPECT_EQ(b.UserTickText(), "x|y");
  EXPECT_EQ(b.DateFormat().DateSeparator(), '/');
  EXPECT_EQ(b.ScaleFactor(), a.ScaleFactor());
  EXPECT_EQ(b.MouseAction(), maNone);
  EXPECT_FALSE(b.OnZoomPan);
  ASSERT_TRUE(b.OnScaleTickDrawn);

  // a change of the copy's date format repaints the copy, not the source
  TBitmap bmpA(400, 400), bmpB(400, 400);
  a.SetTargetCanvas(&bmpA.Canvas(), 0, 0);
  b.SetTargetCanvas(&bmpB.Canvas(), 0, 0);
  a.SetSuppressPaint(false);
  b.SetSuppressPaint(false);
  int ticksB = 0;
  b.OnScaleTickDrawn = [&](TObject*, TCanvas&, TScaleType, double, int, int) { ++ticksB; };
  ticks = 0;
  b.DateFormat().SetDateSeparator('.');
  EXPECT_EQ(ticks, 0);
  EXPECT_GT(ticksB, 0);
  TDTLabel other;
  other.OnChange = [](TObject*) {};
  b.SetDateFormat(other);
  ticksB = 0;
  b.DateFormat().SetMonthName(true);  // a new TDTLabel has MonthName false
  EXPECT_GT(ticksB, 0);
}
