// Mouse interaction of TRChart, driven by real mouse events sent to a shown chart: pans, zoom
// windows, rubber band and selection, axis drags and double clicks, cross-hair and label drags,
// the trace, the cursor rule and the position report.
#include "orvex_rchart.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace orvex;

namespace {

struct TMouseFixture {
  TRChart Chart;
  int ZoomPans = 0;
  TMouseFixture()
  {
    Chart.resize(400, 300);
    Chart.SetRange(1, 0, 0, 100, 50);
    Chart.OnZoomPan = [this](TObject*) { ++ZoomPans; };
    Chart.show();
    QApplication::processEvents();
  }
  void Send(QEvent::Type Type, int X, int Y, Qt::MouseButton Button, Qt::MouseButtons Buttons)
  {
    const QPointF p(X, Y);
    QMouseEvent e(Type, p, Chart.mapToGlobal(p), Button, Buttons, Qt::NoModifier);
    QApplication::sendEvent(&Chart, &e);
  }
  void Press(int X, int Y, Qt::MouseButton B = Qt::LeftButton) { Send(QEvent::MouseButtonPress, X, Y, B, B); }
  void Release(int X, int Y, Qt::MouseButton B = Qt::LeftButton) { Send(QEvent::MouseButtonRelease, X, Y, B, Qt::NoButton); }
  void Move(int X, int Y, Qt::MouseButtons Held = Qt::LeftButton) { Send(QEvent::MouseMove, X, Y, Qt::NoButton, Held); }
  void DoubleClick(int X, int Y)
  {
    Press(X, Y);
    Release(X, Y);
    Send(QEvent::MouseButtonDblClick, X, Y, Qt::LeftButton, Qt::LeftButton);
    Release(X, Y);
  }
  // A move-based drag: press, the first move (the snapshot), the move to (X2, Y2), release.
  void Drag(int X1, int Y1, int X2, int Y2)
  {
    Press(X1, Y1);
    Move(X1, Y1);
    Move(X2, Y2);
    Release(X2, Y2);
  }
  int W() const { return Chart.PlotRect().Right - Chart.PlotRect().Left; }
  int H() const { return Chart.PlotRect().Bottom - Chart.PlotRect().Top; }
  QRgb Shown(int X, int Y) { return Chart.grab().toImage().pixel(X, Y) & 0xFFFFFFu; }
};

}  // namespace

TEST(RChartMouse, PanShiftsByTheDraggedShareOfTheSpanOnLinearAndLogAxes)
{
  TMouseFixture f;
  f.Chart.SetMouseAction(maPan);
  f.Drag(200, 150, 230, 170);
  EXPECT_NEAR(f.Chart.Scale1X().RangeLow(), -100.0 * 30 / f.W(), 1e-9);
  EXPECT_NEAR(f.Chart.Scale1X().RangeHigh(), 100.0 - 100.0 * 30 / f.W(), 1e-9);
  EXPECT_NEAR(f.Chart.Scale1Y().RangeLow(), 50.0 * 20 / f.H(), 1e-9);
  EXPECT_NEAR(f.Chart.Scale1Y().RangeHigh(), 50.0 + 50.0 * 20 / f.H(), 1e-9);
  EXPECT_EQ(f.ZoomPans, 1);

  f.Chart.SetRange(1, 0, 0, 100, 50);
  f.Chart.SetMouseAction(maPanHoriz);
  f.Drag(200, 150, 180, 120);
  EXPECT_NEAR(f.Chart.Scale1X().RangeLow(), 100.0 * 20 / f.W(), 1e-9);
  EXPECT_EQ(f.Chart.Scale1Y().RangeLow(), 0.0);
  EXPECT_EQ(f.Chart.Scale1Y().RangeHigh(), 50.0);

  f.Chart.SetRange(1, 0, 0, 100, 50);
  f.Chart.SetMouseAction(maPanVert);
  f.Drag(200, 150, 180, 120);
  EXPECT_EQ(f.Chart.Scale1X().RangeLow(), 0.0);
  EXPECT_NEAR(f.Chart.Scale1Y().RangeLow(), -50.0 * 30 / f.H(), 1e-9);

  // A move outside the plot pans nothing; a move without the button ends the drag.
  f.Chart.SetRange(1, 0, 0, 100, 50);
  f.ZoomPans = 0;
  f.Chart.SetMouseAction(maPan);
  f.Press(200, 150);
  f.Move(200, 150);
  f.Move(5, 5);
  EXPECT_EQ(f.Chart.Scale1X().RangeLow(), 0.0);
  EXPECT_EQ(f.ZoomPans, 0);
  f.Release(5, 5);

  f.Chart.SetRange(1, 1, 0, 1000, 50);
  f.Chart.Scale1X().SetLogarithmic(true);
  ASSERT_TRUE(f.Chart.Scale1X().Logarithmic());
  f.Drag(200, 150, 250, 150);
  const double factor = std::exp(std::log(1000.0) * -50.0 / f.W());
  EXPECT_NEAR(f.Chart.Scale1X().RangeLow(), factor, 1e-9);
  EXPECT_NEAR(f.Chart.Scale1X().RangeHigh(), 1000.0 * factor, 1e-6);
}

TEST(RChartMouse, PanGridSnapsTheLowEndAndKeepsTheSpan)
{
  TMouseFixture f;
  f.Chart.SetMouseAction(maPanGrid);
  f.Chart.SetPanGridDx(5);
  f.Chart.SetPanGridOffsX(1);
  f.Chart.SetPanGridDy(0);  // no snapping in Y
  f.Drag(200, 150, 163, 161);
  const double s = 100.0 * -37 / f.W();
  const double low = std::trunc(-s / 5) * 5 + 1;
  EXPECT_DOUBLE_EQ(f.Chart.Scale1X().RangeLow(), low);
  EXPECT_DOUBLE_EQ(f.Chart.Scale1X().RangeHigh(), low + 100);
  EXPECT_NEAR(f.Chart.Scale1Y().RangeLow(), 50.0 * 11 / f.H(), 1e-9);
}

TEST(RChartMouse, ZoomWindowsSetTheCornersAndOnlyZoomWindKeepsTheDirection)
{
  TMouseFixture f;
  double x1, y1, x2, y2;
  f.Chart.PixelToWorld(1, 100, 50, x1, y1);
  f.Chart.PixelToWorld(1, 250, 200, x2, y2);

  f.Chart.SetMouseAction(maZoomWind);
  f.Press(100, 50);
  f.Move(250, 200);
  EXPECT_TRUE(f.Chart.RectDragging());
  f.Release(250, 200);
  EXPECT_FALSE(f.Chart.RectDragging());
  EXPECT_DOUBLE_EQ(f.Chart.Scale1X().RangeLow(), x1);
  EXPECT_DOUBLE_EQ(f.Chart.Scale1X().RangeHigh(), x2);
  EXPECT_DOUBLE_EQ(f.Chart.Scale1Y().RangeLow(), y2);
  EXPECT_DOUBLE_EQ(f.Chart.Scale1Y().RangeHigh(), y1);
  EXPECT_EQ(f.ZoomPans, 1);

  // From right to left: maZoomWind mirrors X, maZoomWindPos gives the window of the opposite drag.
  f.Chart.SetRange(1, 0, 0, 100, 50);
  f.Press(250, 50);
  f.Move(100, 200);
  f.Release(100, 200);
  EXPECT_DOUBLE_EQ(f.Chart.Scale1X().RangeLow(), x2);
  EXPECT_DOUBLE_EQ(f.Chart.Scale1X().RangeHigh(), x1);

  f.Chart.SetRange(1, 0, 0, 100, 50);
  f.Chart.SetMouseAction(maZoomWindPos);
  f.Press(250, 200);
  f.Move(100, 50);
  f.Release(100, 50);
  EXPECT_DOUBLE_EQ(f.Chart.Scale1X().RangeLow(), x1);
  EXPECT_DOUBLE_EQ(f.Chart.Scale1X().RangeHigh(), x2);
  EXPECT_DOUBLE_EQ(f.Chart.Scale1Y().RangeLow(), y2);
  EXPECT_DOUBLE_EQ(f.Chart.Scale1Y().RangeHigh(), y1);

  // Zero width: nothing changes and OnZoomPan stays silent.
  f.Chart.SetRange(1, 0, 0, 100, 50);
  f.Chart.SetMouseAction(maZoomWind);
  f.ZoomPans = 0;
  f.Press(100, 50);
  f.Move(100, 120);
  f.Release(100, 120);
  EXPECT_EQ(f.Chart.Scale1X().RangeLow(), 0.0);
  EXPECT_EQ(f.Chart.Scale1Y().RangeHigh(), 50.0);
  EXPECT_EQ(f.ZoomPans, 0);

  // A press outside the plot starts no drag; an end outside it is clamped to the plot's edge.
  f.Press(5, 5);
  EXPECT_FALSE(f.Chart.RectDragging());
  f.Release(5, 5);
  f.Press(100, 50);
  f.Move(399, 299);
  EXPECT_EQ(f.Chart.RectDragEnd().X, f.Chart.PlotRect().Right);
  EXPECT_EQ(f.Chart.RectDragEnd().Y, f.Chart.PlotRect().Bottom);
  f.Release(399, 299);
}

TEST(RChartMouse, RubberBandReportsStartFirstAndRightButtonErasesTheLine)
{
  TMouseFixture f;
  f.Chart.SetMouseAction(maRubberBand);
  std::vector<std::vector<double>> bands;
  f.Chart.OnRubberBand = [&](TObject*, int Layer, double a, double b, double c, double d) {
    bands.push_back({double(Layer), a, b, c, d});
  };
  double x1, y1, x2, y2;
  f.Chart.PixelToWorld(1, 300, 200, x1, y1);
  f.Chart.PixelToWorld(1, 120, 60, x2, y2);
  f.Press(300, 200);
  f.Move(120, 60);
  f.Release(120, 60);
  ASSERT_EQ(bands.size(), 1u);  // only layer 1 is mouse-active
  EXPECT_EQ(bands[0], (std::vector<double>{1, x1, y1, x2, y2}));
  EXPECT_EQ(f.ZoomPans, 1);
  EXPECT_EQ(f.Chart.Scale1X().RangeLow(), 0.0);

  // The line is drawn exclusive-or over the white plot while dragging; the right button erases it.
  const QRgb before = f.Shown(200, 100);
  f.Press(100, 100);
  f.Move(300, 100);
  EXPECT_NE(f.Shown(200, 100), before);
  f.Press(300, 100, Qt::RightButton);
  f.Release(300, 100, Qt::RightButton);
  EXPECT_FALSE(f.Chart.RectDragging());
  EXPECT_EQ(f.Shown(200, 100), before);
  EXPECT_EQ(bands.size(), 1u);
  EXPECT_EQ(f.ZoomPans, 1);
}

TEST(RChartMouse, SelectRectOrdersCornersLikeTheAxes)
{
  TMouseFixture f;
  f.Chart.SetRange(1, 100, 0, 0, 50);  // X runs from right to left
  f.Chart.SetMouseAction(maSelectRect);
  std::vector<double> got;
  f.Chart.OnSelectRect = [&](TObject*, int, double a, double b, double c, double d) { got = {a, b, c, d}; };
  f.Press(100, 50);
  f.Move(250, 200);
  f.Release(250, 200);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_GT(got[0], got[2]);  // the same direction as the mirrored X range
  EXPECT_LT(got[1], got[3]);
  EXPECT_EQ(f.Chart.Scale1X().RangeLow(), 100.0);
}

TEST(RChartMouse, AxisDragsFollowEachAxisActionAndDoubleClickToggles)
{
  TMouseFixture f;
  f.Chart.Scale1X().SetVisible(true);
  f.Chart.Scale1Y().SetVisible(true);
  f.Chart.Scale1X().SetMouseAction(maPan);
  const int below = f.Chart.PlotRect().Bottom + 20;
  f.Drag(200, below, 240, below);
  EXPECT_NEAR(f.Chart.Scale1X().RangeLow(), -100.0 * 40 / f.W(), 1e-9);
  EXPECT_EQ(f.Chart.Scale1Y().RangeLow(), 0.0);
  EXPECT_EQ(f.ZoomPans, 1);

  // The Y axis at maNone does not react; a drag there does not pan the chart either.
  f.Chart.SetMouseAction(maPan);
  f.Chart.SetRange(1, 0, 0, 100, 50);
  const int left = f.Chart.PlotRect().Left - 20;
  f.Drag(left, 100, left, 160);
  EXPECT_EQ(f.Chart.Scale1Y().RangeLow(), 0.0);
  EXPECT_EQ(f.Chart.Scale1X().RangeLow(), 0.0);

  int ups = 0;
  f.Chart.OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++ups; };
  f.DoubleClick(200, below);
  EXPECT_EQ(f.Chart.Scale1X().MouseAction(), maZoom);
  EXPECT_EQ(ups, 1);  // the release after the double click is ignored
  f.DoubleClick(200, below);
  EXPECT_EQ(f.Chart.Scale1X().MouseAction(), maPan);
  f.DoubleClick(left, 100);
  EXPECT_EQ(f.Chart.Scale1Y().MouseAction(), maNone);
  // 45 pixels below the axis is a drag zone but not a double-click zone.
  f.DoubleClick(200, f.Chart.PlotRect().Bottom + 45);
  EXPECT_EQ(f.Chart.Scale1X().MouseAction(), maPan);
}

TEST(RChartMouse, CrossHairAndLabelDragsMoveTheNearestOne)
{
  TMouseFixture f;
  f.Chart.SetMouseAction(maDragCrossH);
  TCrossHair& a = f.Chart.CrossHair(1);
  TCrossHair& b = f.Chart.CrossHair(2);
  for (TCrossHair* c : {&a, &b}) {
    c->SetLayer(1);
    c->SetMode(chVert);
    c->SetPosY(25);
  }
  a.SetPosX(20);
  b.SetPosX(80);
  int px, py;
  f.Chart.WorldToPixel(1, 80, 25, px, py);
  int seenDx = 0, moves = 0;
  bool allow = true;
  f.Chart.OnBeforeCrossHairMove = [&](TObject*, TCrossHair& c, int dx, int, bool& Allow) {
    EXPECT_EQ(&c, &b);
    seenDx = dx;
    Allow = allow;
  };
  f.Chart.OnCrossHairMove = [&](TObject*, TCrossHair& c) {
    EXPECT_EQ(&c, &b);
    ++moves;
  };
  f.Drag(px - 6, 100, 150, 120);
  EXPECT_EQ(seenDx, -6);
  double wx, wy;
  f.Chart.PixelToWorld(1, 150, 120, wx, wy);
  EXPECT_DOUBLE_EQ(b.PosX(), wx);
  EXPECT_DOUBLE_EQ(b.PosY(), wy);
  EXPECT_EQ(a.PosX(), 20.0);
  EXPECT_EQ(moves, 1);
  allow = false;
  f.Drag(150, 120, 300, 120);
  EXPECT_DOUBLE_EQ(b.PosX(), wx);
  EXPECT_EQ(moves, 1);

  f.Chart.SetMouseAction(maDragLabel);
  TTextLabel& l1 = f.Chart.TextLabels(1);
  TTextLabel& l2 = f.Chart.TextLabels(2);
  for (TTextLabel* l : {&l1, &l2}) {
    l->SetCaption("label");
    l->SetMode(tlsimple);
    l->SetVisible(true);
  }
  l1.SetPosX(10);
  l1.SetPosY(10);
  l2.SetAttachToData(tlamNone);
  l2.SetPosX(300);
  l2.SetPosY(200);
  int labelMoves = 0;
  f.Chart.OnTextLabelMove = [&](TObject*, TTextLabel& l) {
    EXPECT_EQ(&l, &l2);
    ++labelMoves;
  };
  f.Drag(290, 190, 260, 150);
  EXPECT_EQ(l2.PosX(), 260.0);
  EXPECT_EQ(l2.PosY(), 150.0);
  EXPECT_EQ(l1.PosX(), 10.0);
  EXPECT_EQ(labelMoves, 1);
}

TEST(RChartMouse, TraceHoldsFiveThousandPointsAndIsPaintedAndCleared)
{
  TMouseFixture f;
  f.Chart.SetMouseAction(maDrawMTrace);
  f.Chart.SetMouseTraceInvert(false);
  f.Chart.SetMouseTraceColor(clRed);
  f.Press(100, 100);
  f.Move(100, 100);
  f.Move(300, 100);
  f.Release(300, 100);
  ASSERT_EQ(f.Chart.MouseTrace().size(), 2u);
  EXPECT_TRUE(f.Chart.MouseTrace().back().EndOfStroke);
  EXPECT_EQ(f.Shown(200, 100), 0xFF0000u);  // drawn over the bitmap
  f.Chart.FullPaint();
  const int mx = f.Chart.MarginLeft(), my = f.Chart.MarginTop();
  EXPECT_EQ(f.Chart.PlotBitmap().Image().pixel(200 - mx, 100 - my) & 0xFFFFFFu, 0xFF0000u);

  // A new stroke is not joined to the last one.
  f.Press(100, 200);
  f.Move(100, 200);
  f.Release(100, 200);
  f.Chart.FullPaint();
  EXPECT_EQ(f.Shown(100, 150), 0xFFFFFFu);

  for (int i = 0; i < 5100; ++i)
    f.Move(60 + i % 300, 60, Qt::LeftButton);
  EXPECT_EQ(f.Chart.MouseTrace().size(), static_cast<size_t>(MaxMouseTrace));
  f.Chart.ClearChart();
  EXPECT_TRUE(f.Chart.MouseTrace().empty());
}

TEST(RChartMouse, CursorRuleAndFixedCursor)
{
  TMouseFixture f;
  const TMouseActMode modes[] = {maNone, maPan, maZoomWind, maZoomWindPos, maZoomDrag, maRubberBand};
  for (TMouseActMode m : modes) {
    f.Chart.SetMouseAction(m);
    f.Move(200, 150, Qt::NoButton);
    EXPECT_EQ(f.Chart.cursor().shape(), Qt::ArrowCursor) << m;
  }
  f.Chart.SetMouseCursorFixed(false);
  auto same = [&](int n) {
    return f.Chart.cursor().shape() == Qt::BitmapCursor &&
           f.Chart.cursor().pixmap().toImage() == f.Chart.ChartCursor(n).pixmap().toImage();
  };
  const std::pair<TMouseActMode, int> custom[] = {{maPanGrid, 1}, {maZoomWind, 2}, {maZoomDrag, 3}, {maZoomWindPos, 4}};
  for (auto [m, n] : custom) {
    f.Chart.SetMouseAction(m);
    f.Move(200, 150, Qt::NoButton);
    EXPECT_TRUE(same(n)) << m;
  }
  EXPECT_FALSE(f.Chart.ChartCursor(1).pixmap().toImage() == f.Chart.ChartCursor(2).pixmap().toImage());
  f.Move(5, 5, Qt::NoButton);
  EXPECT_EQ(f.Chart.cursor().shape(), Qt::ArrowCursor);
  f.Chart.SetMouseAction(maNone);
  f.Move(200, 150, Qt::NoButton);
  EXPECT_EQ(f.Chart.cursor().shape(), Qt::CrossCursor);
  f.Chart.SetMouseAction(maSelectRect);
  f.Move(200, 150, Qt::NoButton);
  EXPECT_EQ(f.Chart.cursor().shape(), Qt::ArrowCursor);
}

TEST(RChartMouse, PositionReportRoundTripsAndEnterLeaveFire)
{
  TMouseFixture f;
  struct TReport {
    bool In;
    double X, Y;
  };
  std::vector<TReport> reports;
  int framework = 0;
  f.Chart.OnMouseMove = [&](TObject*, TShiftState, int, int) { ++framework; };
  f.Chart.OnMouseMoveInChart = [&](TObject*, bool In, TShiftState, double X, double Y) {
    EXPECT_EQ(framework, static_cast<int>(reports.size()) + 1);  // after the framework's event
    reports.push_back({In, X, Y});
  };
  const TRect p = f.Chart.PlotRect();
  f.Move(123, 77, Qt::NoButton);
  f.Move(p.Left, p.Bottom, Qt::NoButton);
  f.Move(p.Left - 1, p.Top, Qt::NoButton);
  f.Move(p.Right, p.Bottom + 1, Qt::NoButton);
  ASSERT_EQ(reports.size(), 4u);
  int px, py;
  f.Chart.WorldToPixel(1, reports[0].X, reports[0].Y, px, py);
  EXPECT_EQ(px, 123);
  EXPECT_EQ(py, 77);
  EXPECT_TRUE(reports[0].In);
  EXPECT_TRUE(reports[1].In);
  EXPECT_FALSE(reports[2].In);
  EXPECT_FALSE(reports[3].In);

  // A move sent from inside the report is ignored.
  int nested = 0;
  f.Chart.OnMouseMoveInChart = [&](TObject*, bool, TShiftState, double, double) {
    ++nested;
    f.Move(10, 10, Qt::NoButton);
  };
  f.Move(100, 100, Qt::NoButton);
  EXPECT_EQ(nested, 1);

  int enters = 0, leaves = 0;
  f.Chart.OnMouseEnter = [&](TObject*) { ++enters; };
  f.Chart.OnMouseLeave = [&](TObject*) { ++leaves; };
  QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), f.Chart.mapToGlobal(QPointF(10, 10)));
  QApplication::sendEvent(&f.Chart, &enter);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&f.Chart, &leave);
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(leaves, 1);
}
