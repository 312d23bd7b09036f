// Mouse interaction of the chart (TRcMouseHandler, and the chart's Qt event handlers that call
// it): the position report, drags on the axes (each by its own
// MouseAction, through CalcZoomPan), the chart-level drag modes, the cursor rule and the
// figures of running drags.
//
// Move-based drags (pans, zoom drag, cross-hair, label and axis drags) begin on the first move
// with the left button held and end on release or on the first move without it. Rectangle drags
// (rubber band, zoom windows, selection) begin on a left press inside the plot and end on
// release. Their figure is not drawn on the widget directly: the paint event shows the control
// bitmap and PaintOverlay draws the figure over it with an exclusive-or pen, so a repaint
// without the figure erases it.
#include "orvex_rchart_painter.h"
#include "orvex_resources.h"

#include <QEnterEvent>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

constexpr int AxisDragDepth = 50;
constexpr int AxisDblClickDepth = 40;
constexpr int AxisDepthY = 50;

bool LeftHeld(const QMouseEvent* Event) { return (Event->buttons() & Qt::LeftButton) != 0; }

bool IsRectMode(TMouseActMode Mode)
{
  return Mode == maRubberBand || Mode == maZoomWind || Mode == maZoomWindPos || Mode == maSelectRect;
}

// Two values put in the direction of the range Low..High.
void OrderLike(double Low, double High, double& A, double& B)
{
  if ((Low <= High) != (A <= B))
    std::swap(A, B);
}

}  // namespace

std::array<QCursor, 4> TRcMouseHandler::LoadChartCursors()
{
  return {ResourceCursor("CURHAND"), ResourceCursor("CURZOOMW"), ResourceCursor("CURZOOMD"),
          ResourceCursor("CURZOOMP")};
}

QCursor TRcMouseHandler::ChartCursor(int Number) const
{
  if (Number < 1 || Number > 4)
    return QCursor(Qt::ArrowCursor);
  return FCursors[static_cast<size_t>(Number - 1)];
}

// --- geometry --------------------------------------------------------------------------------

bool TRcMouseHandler::InPlot(int X, int Y) const
{
  const TRect p = FChart.PlotRect();
  return X >= p.Left && X <= p.Right && Y >= p.Top && Y <= p.Bottom;
}

TPoint TRcMouseHandler::ClampToPlot(int X, int Y) const
{
  const TRect p = FChart.PlotRect();
  return {std::clamp(X, p.Left, std::max(p.Left, p.Right)), std::clamp(Y, p.Top, std::max(p.Top, p.Bottom))};
}

// The strip beside the plot where the axis of Layer lies, ScalePos pixels off the plot edge.
bool TRcMouseHandler::InAxisZone(int Layer, bool Vertical, int X, int Y, TAxisZone Zone) const
{
  const TRect p = FChart.PlotRect();
  if (Vertical) {
    const TScalePropsVert& s = FChart.ScalePropsY(Layer);
    if (!s.Visible() || Y <= p.Top || Y >= p.Bottom)
      return false;
    if (s.ScaleLocation() == slRight) {
      const int edge = p.Right + s.ScalePos();
      return X > edge && X <= edge + AxisDepthY;
    }
    const int edge = p.Left - s.ScalePos();
    return X >= edge - AxisDepthY && X < edge;
  }
  const TScalePropsHoriz& s = FChart.ScalePropsX(Layer);
  if (!s.Visible() || X <= p.Left || X >= p.Right)
    return false;
  const int depth = Zone == azDrag ? AxisDragDepth : AxisDblClickDepth;
  if (s.ScaleLocation() == slBottom) {
    const int edge = p.Bottom + s.ScalePos();
    return Y > edge && Y <= edge + depth;
  }
  const int edge = p.Top - s.ScalePos();
  return Y >= edge - depth && Y < edge;
}

// CalcZoomPan's view of one axis of a layer: the drag from the snapshot to (X, Y) over a span
// equal to the plot's width or height.
TZoomPanInput TRcMouseHandler::ZoomPanInput(int Layer, bool Vertical, int X, int Y, TMouseActMode Action) const
{
  const size_t i = static_cast<size_t>(Layer - 1);
  const TScaleProps& s = Vertical ? static_cast<const TScaleProps&>(FChart.ScalePropsY(Layer))
                                  : static_cast<const TScaleProps&>(FChart.ScalePropsX(Layer));
  const TRect p = FChart.PlotRect();
  TZoomPanInput in;
  in.X = X;
  in.Y = Y;
  in.AnchorX = FDragStart.X;
  in.AnchorY = FDragStart.Y;
  in.AnchorLow = Vertical ? FStartLowY[i] : FStartLowX[i];
  in.AnchorHigh = Vertical ? FStartHighY[i] : FStartHighX[i];
  in.Low = s.RangeLow();
  in.High = s.RangeHigh();
  in.Logarithmic = s.Logarithmic();
  in.Horizontal = !Vertical;
  in.Action = Action;
  in.MarginLeft = p.Left;
  in.MarginTop = p.Top;
  in.MarginRight = FChart.width() - p.Right;
  in.MarginBottom = FChart.height() - p.Bottom;
  in.Width = FChart.width();
  in.Height = FChart.height();
  return in;
}

void TRcMouseHandler::TakeDragSnapshot(int X, int Y)
{
  FDragStart = {X, Y};
  for (size_t i = 0; i < MaxLayers; ++i) {
    FStartLowX[i] = FChart.FLayers.ScaleX[i]->RangeLow();
    FStartHighX[i] = FChart.FLayers.ScaleX[i]->RangeHigh();
    FStartLowY[i] = FChart.FLayers.ScaleY[i]->RangeLow();
    FStartHighY[i] = FChart.FLayers.ScaleY[i]->RangeHigh();
  }
  FDragging = true;
}

// Runs Change with painting suppressed, restores the suppression (one paint) and fires
// FChart.OnZoomPan when Change reports that it set a range.
void TRcMouseHandler::ApplyRanges(const std::function<bool()>& Change)
{
  const bool old = FChart.FSuppressPaint;
  FChart.SetSuppressPaint(true);
  bool changed = false;
  try {
    changed = Change();
  } catch (const EOrvexError&) {
    // A window the layers cannot show (a logarithmic axis dragged below zero) keeps what was set.
  }
  FChart.SetSuppressPaint(old);
  if (changed)
    Fire(FChart.OnZoomPan, &FChart);
}

// Gives every mouse-active layer its new window from Change (which starts from the current one)
// through the range path, with one paint and FChart.OnZoomPan.
void TRcMouseHandler::ChangeActiveLayers(const TLayerWindowChange& Change)
{
  ApplyRanges([&] {
    for (int n = 1; n <= MaxLayers; ++n) {
      if (!MouseActiveLayer(n))
        continue;
      const size_t i = static_cast<size_t>(n - 1);
      double lx = FChart.FLayers.ScaleX[i]->RangeLow(), hx = FChart.FLayers.ScaleX[i]->RangeHigh();
      double ly = FChart.FLayers.ScaleY[i]->RangeLow(), hy = FChart.FLayers.ScaleY[i]->RangeHigh();
      Change(n, lx, ly, hx, hy);
      FChart.CommonRangePath(n, lx, ly, hx, hy);
    }
    return true;
  });
}

int TRcMouseHandler::FirstActiveLayer() const
{
  int layer = 1;
  while (layer < MaxLayers && !MouseActiveLayer(layer))
    ++layer;
  return layer;
}

// --- rectangle drags -------------------------------------------------------------------------

void TRcMouseHandler::MoveRectDrag(int X, int Y)
{
  TPoint e = ClampToPlot(X, Y);
  if (FChart.FPlot.Isometric && (FChart.FMouse.MouseAction == maZoomWind || FChart.FMouse.MouseAction == maZoomWindPos)) {
    const int side = std::abs(e.X - FRectStart.X);
    e = ClampToPlot(e.X, FRectStart.Y + (Y < FRectStart.Y ? -side : side));
  }
  if (e.X != FRectEnd.X || e.Y != FRectEnd.Y) {
    FRectEnd = e;
    FChart.update();
  }
}

void TRcMouseHandler::EndRectDrag(bool Cancel)
{
  FRectDrag = false;
  FChart.update();  // the next paint no longer shows the figure
  if (Cancel)
    return;
  const TPoint a = FRectStart, b = FRectEnd;
  // A line needs only a length; a rectangle needs both a width and a height.
  if (FChart.FMouse.MouseAction == maRubberBand ? (a.X == b.X && a.Y == b.Y) : (a.X == b.X || a.Y == b.Y))
    return;
  const bool old = FChart.FSuppressPaint;
  FChart.SetSuppressPaint(true);
  try {
    for (int n = 1; n <= MaxLayers; ++n) {
      if (!MouseActiveLayer(n))
        continue;
      double x1, y1, x2, y2;
      FChart.PixelToWorld(n, a.X, a.Y, x1, y1);
      FChart.PixelToWorld(n, b.X, b.Y, x2, y2);
      const TScaleProps& sx = FChart.ScalePropsX(n);
      const TScaleProps& sy = FChart.ScalePropsY(n);
      switch (FChart.FMouse.MouseAction) {
      case maRubberBand:
        Fire(FChart.OnRubberBand, &FChart, n, x1, y1, x2, y2);
        break;
      case maSelectRect:
        OrderLike(sx.RangeLow(), sx.RangeHigh(), x1, x2);
        OrderLike(sy.RangeLow(), sy.RangeHigh(), y1, y2);
        Fire(FChart.OnSelectRect, &FChart, n, x1, y1, x2, y2);
        break;
      case maZoomWindPos:
        OrderLike(sx.RangeLow(), sx.RangeHigh(), x1, x2);
        OrderLike(sy.RangeLow(), sy.RangeHigh(), y1, y2);
        FChart.CommonRangePath(n, x1, y1, x2, y2);
        break;
      case maZoomWind:
        // The window keeps the drag's direction on the screen: the start point's X goes to the
        // left edge and its Y to the top edge, so a drag from right to left (or upwards)
        // mirrors that axis.
        FChart.CommonRangePath(n, x1, y2, x2, y1);
        break;
      default:
        break;
      }
    }
  } catch (const EOrvexError&) {
    // A window the layers cannot show keeps what was set.
  }
  Fire(FChart.OnZoomPan, &FChart);
  FChart.SetSuppressPaint(old);
}

// --- axis drags ------------------------------------------------------------------------------

// Returns whether an axis drag runs (the chart-level modes then stay out of it).
bool TRcMouseHandler::MoveAxisDrag(bool Left, int X, int Y)
{
  if (!Left) {
    FDragging = false;
    FAxisDrag = false;
    FDragRefused = false;
    return false;
  }
  if (!FDragging) {
    bool onAxis = false;
    for (int n = 1; n <= MaxLayers && !onAxis; ++n)
      onAxis = (InAxisZone(n, false, X, Y, azDrag) && FChart.ScalePropsX(n).MouseAction() != maNone) ||
               (InAxisZone(n, true, X, Y, azDrag) && FChart.ScalePropsY(n).MouseAction() != maNone);
    if (onAxis) {
      TakeDragSnapshot(X, Y);
      FAxisDrag = true;
    }
    return FAxisDrag;
  }
  if (!FAxisDrag)
    return false;
  if (FRectDrag)
    return true;
  ApplyRanges([&] {
    bool changed = false;
    for (int n = 1; n <= MaxLayers; ++n) {
      const size_t i = static_cast<size_t>(n - 1);
      const TScalePropsHoriz& sx = *FChart.FLayers.ScaleX[i];
      const TScalePropsVert& sy = *FChart.FLayers.ScaleY[i];
      double lo, hi;
      if (sx.MouseAction() != maNone && InAxisZone(n, false, X, Y, azDrag) &&
          CalcZoomPan(ZoomPanInput(n, false, X, Y, sx.MouseAction()), lo, hi)) {
        FChart.CommonRangePath(n, lo, sy.RangeLow(), hi, sy.RangeHigh());
        changed = true;
      }
      if (sy.MouseAction() != maNone && InAxisZone(n, true, X, Y, azDrag) &&
          CalcZoomPan(ZoomPanInput(n, true, X, Y, sy.MouseAction()), lo, hi)) {
        FChart.CommonRangePath(n, sx.RangeLow(), lo, sx.RangeHigh(), hi);
        changed = true;
      }
    }
    return changed;
  });
  return true;
}

// --- chart-level modes -----------------------------------------------------------------------

void TRcMouseHandler::PanMove(int X, int Y)
{
  const bool doX = FChart.FMouse.MouseAction != maPanVert, doY = FChart.FMouse.MouseAction != maPanHoriz;
  const bool grid = FChart.FMouse.MouseAction == maPanGrid;
  // Moves the snapshot range by the pan of CalcZoomPan, snapping the low end to the grid.
  auto pan = [&](int n, bool vertical, double& lo, double& hi) {
    const size_t i = static_cast<size_t>(n - 1);
    const TScaleProps& s = vertical ? static_cast<TScaleProps&>(*FChart.FLayers.ScaleY[i]) : static_cast<TScaleProps&>(*FChart.FLayers.ScaleX[i]);
    lo = vertical ? FStartLowY[i] : FStartLowX[i];
    hi = vertical ? FStartHighY[i] : FStartHighX[i];
    double newLo, newHi;
    if (!CalcZoomPan(ZoomPanInput(n, vertical, X, Y, maPan), newLo, newHi))
      return;
    const double step = vertical ? FChart.FMouse.PanGridDy : FChart.FMouse.PanGridDx;
    if (grid && !s.Logarithmic() && step > 0) {
      const double offs = vertical ? FChart.FMouse.PanGridOffsY : FChart.FMouse.PanGridOffsX;
      const double snapped = std::trunc(newLo / step) * step + offs;
      hi += snapped - lo;
      lo = snapped;
    } else {
      lo = newLo;
      hi = newHi;
    }
  };
  ChangeActiveLayers([&](int n, double& lx, double& ly, double& hx, double& hy) {
    if (doX)
      pan(n, false, lx, hx);
    if (doY)
      pan(n, true, ly, hy);
  });
}

void TRcMouseHandler::ZoomDragMove(int X, int Y)
{
  ChangeActiveLayers([&](int n, double& lx, double& ly, double& hx, double& hy) {
    const size_t i = static_cast<size_t>(n - 1);
    CalcZoomPan(ZoomPanInput(n, false, X, Y, maZoomDrag), lx, hx);
    if (FChart.FPlot.Isometric && !FChart.FLayers.ScaleY[i]->Logarithmic()) {
      // The same factor on both axes.
      const double f = 1.0 - static_cast<double>(X - FDragStart.X) / std::max(1, FChart.width());
      const double mid = (FStartLowY[i] + FStartHighY[i]) / 2, half = (FStartHighY[i] - FStartLowY[i]) * f / 2;
      ly = mid - half;
      hy = mid + half;
    } else {
      CalcZoomPan(ZoomPanInput(n, true, X, Y, maZoomDrag), ly, hy);
    }
  });
}

void TRcMouseHandler::CrossHairMove(int X, int Y)
{
  if (!FDragging) {
    if (FDragRefused)
      return;
    long long best = -1;
    FDragCrossHair = 1;
    for (int n = 1; n <= MaxCrossHairs; ++n) {
      const TCrossHair& ch = *FChart.FLook.CrossHairs[static_cast<size_t>(n - 1)];
      const TCrossHMode m = ch.Mode();
      const bool vert = m == chVert || m == chBoth || m == chCrossBox || m == chBox;
      const bool horiz = m == chHoriz || m == chBoth || m == chCrossBox || m == chBox;
      int px, py;
      FChart.WorldToPixel(ch.Layer(), ch.PosX(), ch.PosY(), px, py);
      const long long dx = X - px, dy = Y - py;
      if (vert && (best < 0 || dx * dx < best)) {
        best = dx * dx;
        FDragCrossHair = n;
      }
      if (horiz && (best < 0 || dy * dy < best)) {
        best = dy * dy;
        FDragCrossHair = n;
      }
    }
    TCrossHair& ch = *FChart.FLook.CrossHairs[static_cast<size_t>(FDragCrossHair - 1)];
    int px, py;
    FChart.WorldToPixel(ch.Layer(), ch.PosX(), ch.PosY(), px, py);
    bool allow = true;
    Fire(FChart.OnBeforeCrossHairMove, &FChart, ch, X - px, Y - py, allow);
    if (allow)
      TakeDragSnapshot(X, Y);
    else
      FDragRefused = true;
    return;
  }
  TCrossHair& ch = *FChart.FLook.CrossHairs[static_cast<size_t>(FDragCrossHair - 1)];
  double wx, wy;
  FChart.PixelToWorld(ch.Layer(), X, Y, wx, wy);
  const bool old = FChart.FSuppressPaint;
  FChart.SetSuppressPaint(true);
  ch.SetPosX(wx);
  ch.SetPosY(wy);
  FChart.SetSuppressPaint(old);
  Fire(FChart.OnCrossHairMove, &FChart, ch);
}

void TRcMouseHandler::LabelMove(int X, int Y)
{
  if (!FDragging) {
    long long best = -1;
    FDragLabel = 1;
    for (int n = 1; n <= MaxTextLabels; ++n) {
      const TTextLabel& l = *FChart.FLook.TextLabels[static_cast<size_t>(n - 1)];
      if (l.Mode() == tlOff || !l.Visible())
        continue;
      const TPoint a = FChart.TextLabelAnchor(l);
      const long long ax = a.X, ay = a.Y;
      const long long d = (X - ax) * (X - ax) + (Y - ay) * (Y - ay);
      if (best < 0 || d < best) {
        best = d;
        FDragLabel = n;
      }
    }
    TakeDragSnapshot(X, Y);
    return;
  }
  TTextLabel& l = *FChart.FLook.TextLabels[static_cast<size_t>(FDragLabel - 1)];
  double wx, wy;
  FChart.PixelToWorld(l.Layer(), X, Y, wx, wy);
  const bool attX = l.AttachToData() == tlamBoth || l.AttachToData() == tlamXOnly;
  const bool attY = l.AttachToData() == tlamBoth || l.AttachToData() == tlamYOnly;
  const bool old = FChart.FSuppressPaint;
  FChart.SetSuppressPaint(true);
  l.SetPosX(attX ? wx : X);
  l.SetPosY(attY ? wy : Y);
  FChart.SetSuppressPaint(old);
  Fire(FChart.OnTextLabelMove, &FChart, l);
}

void TRcMouseHandler::TraceMove(int X, int Y)
{
  if (FTrace.size() >= static_cast<size_t>(MaxMouseTrace))
    return;
  const TPoint p = ClampToPlot(X, Y);
  const int layer = FirstActiveLayer();
  TMouseTracePoint t;
  FChart.PixelToWorld(layer, p.X, p.Y, t.X, t.Y);
  t.Color = FChart.FMouse.MouseTraceColor;
  t.Invert = FChart.FMouse.MouseTraceInvert;
  FTrace.push_back(t);
  if (FTrace.size() > 1 && !FTrace[FTrace.size() - 2].EndOfStroke)
    FChart.update();
}

void TRcMouseHandler::MoveChartMode(bool Left, int X, int Y)
{
  if (!Left)
    return;
  const bool inside = InPlot(X, Y);
  switch (FChart.FMouse.MouseAction) {
  case maPan:
  case maPanHoriz:
  case maPanVert:
  case maPanGrid:
  case maZoomDrag:
    if (!FDragging)
      TakeDragSnapshot(X, Y);
    else if (inside)
      FChart.FMouse.MouseAction == maZoomDrag ? ZoomDragMove(X, Y) : PanMove(X, Y);
    break;
  case maDragCrossH:
    if (inside)
      CrossHairMove(X, Y);
    break;
  case maDragLabel:
    LabelMove(X, Y);
    break;
  case maDrawMTrace:
    if (!FRectDrag)
      TraceMove(X, Y);
    break;
  default:
    break;
  }
}

// The cursor is the chart widget's own: it shows only while the pointer is over the chart.
void TRcMouseHandler::UpdateCursor(int X, int Y)
{
  if (FChart.FMouse.MouseCursorFixed || !InPlot(X, Y)) {
    FChart.setCursor(Qt::ArrowCursor);
    return;
  }
  switch (FChart.FMouse.MouseAction) {
  case maNone:
    FChart.setCursor(Qt::CrossCursor);
    break;
  case maPan:
  case maPanHoriz:
  case maPanVert:
  case maPanGrid:
    FChart.setCursor(FCursors[0]);
    break;
  case maRubberBand:
  case maDragCrossH:
  case maDragLabel:
  case maSelectRect:
    FChart.setCursor(Qt::ArrowCursor);
    break;
  case maZoomWind:
    FChart.setCursor(FCursors[1]);
    break;
  case maZoomWindPos:
    FChart.setCursor(FCursors[3]);
    break;
  case maZoomDrag:
    FChart.setCursor(FCursors[2]);
    break;
  default:
    break;
  }
}

// --- Qt events (the chart's handlers call these) -----------------------------------------------

bool TRcMouseHandler::Move(QMouseEvent* Event)
{
  if (FInMoveReport)
    return false;
  const QPoint pos = Event->position().toPoint();
  const int x = pos.x(), y = pos.y();
  const bool left = LeftHeld(Event);
  try {
    if (FRectDrag)
      MoveRectDrag(x, y);
    if (!MoveAxisDrag(left, x, y))
      MoveChartMode(left, x, y);
    UpdateCursor(x, y);
  } catch (const std::exception&) {
    // Nothing leaves the event handler; the drag goes on with the next move.
  }
  return true;
}

void TRcMouseHandler::ReportMove(QMouseEvent* Event)
{
  if (!FChart.OnMouseMoveInChart)
    return;
  const QPoint pos = Event->position().toPoint();
  const int x = pos.x(), y = pos.y();
  FInMoveReport = true;
  const int layer = FirstActiveLayer();
  double wx, wy;
  FChart.PixelToWorld(layer, x, y, wx, wy);
  try {
    FChart.OnMouseMoveInChart(&FChart, InPlot(x, y), ShiftStateOf(Event->modifiers(), Event->buttons()), wx, wy);
  } catch (const std::exception&) {
    // A failing handler must not leave the event handler.
  }
  FInMoveReport = false;
}

bool TRcMouseHandler::TakeButton()
{
  if (!FIgnoreNextButton)
    return true;
  FIgnoreNextButton = false;
  return false;
}

void TRcMouseHandler::Press(QMouseEvent* Event)
{
  const QPoint pos = Event->position().toPoint();
  if (IsRectMode(FChart.FMouse.MouseAction) && !FRectDrag && Event->button() == Qt::LeftButton && InPlot(pos.x(), pos.y())) {
    FRectDrag = true;
    FRectStart = FRectEnd = {pos.x(), pos.y()};
    FChart.update();
  }
}

void TRcMouseHandler::Release(QMouseEvent* Event)
{
  FDragging = false;
  FAxisDrag = false;
  FDragRefused = false;
  if (FChart.FMouse.MouseAction == maDrawMTrace && !FTrace.empty())
    FTrace.back().EndOfStroke = true;
  if (FRectDrag) {
    try {
      EndRectDrag(Event->button() == Qt::RightButton);
    } catch (const std::exception&) {
      // The drag is over whatever a handler did.
    }
  }
}

void TRcMouseHandler::DoubleClick(QMouseEvent* Event)
{
  FIgnoreNextButton = true;
  const QPoint pos = Event->position().toPoint();
  auto toggle = [](TScaleProps& s) {
    if (s.MouseAction() == maPan)
      s.SetMouseAction(maZoom);
    else if (s.MouseAction() == maZoom)
      s.SetMouseAction(maPan);
  };
  for (int n = 1; n <= MaxLayers; ++n) {
    if (InAxisZone(n, false, pos.x(), pos.y(), azDblClick))
      toggle(FChart.ScalePropsX(n));
    if (InAxisZone(n, true, pos.x(), pos.y(), azDblClick))
      toggle(FChart.ScalePropsY(n));
  }
}

void TRcMouseHandler::ClearTrace()
{
  FTrace.clear();
  FTraceRendered = 0;
}

void TCustomRChart::mouseMoveEvent(QMouseEvent* Event)
{
  if (!FMouseHandler.Move(Event))
    return;
  TCustomControl::mouseMoveEvent(Event);
  FMouseHandler.ReportMove(Event);
}

void TCustomRChart::mousePressEvent(QMouseEvent* Event)
{
  if (!FMouseHandler.TakeButton())
    return;
  TCustomControl::mousePressEvent(Event);
  FMouseHandler.Press(Event);
}

void TCustomRChart::mouseReleaseEvent(QMouseEvent* Event)
{
  if (!FMouseHandler.TakeButton())
    return;
  FMouseHandler.Release(Event);
  TCustomControl::mouseReleaseEvent(Event);
}

void TCustomRChart::mouseDoubleClickEvent(QMouseEvent* Event)
{
  FMouseHandler.DoubleClick(Event);
  TCustomControl::mouseDoubleClickEvent(Event);
}

void TCustomRChart::enterEvent(QEnterEvent* Event)
{
  TCustomControl::enterEvent(Event);
  Fire(OnMouseEnter, this);
}

void TCustomRChart::leaveEvent(QEvent* Event)
{
  TCustomControl::leaveEvent(Event);
  Fire(OnMouseLeave, this);
}

void TCustomRChart::PaintOverlay(TCanvas& Canvas) { FMouseHandler.PaintOverlay(Canvas); }

// --- figures ---------------------------------------------------------------------------------

void TRcMouseHandler::PaintOverlay(TCanvas& Canvas)
{
  TCanvas& c = Canvas;
  if (FTraceRendered < FTrace.size())
    TRcPainter(FChart).DrawMouseTrace(c, 0, 0, FTraceRendered);
  if (!FRectDrag)
    return;
  c.Pen().SetMode(pmXor);
  c.Pen().SetColor(clWhite);
  c.Pen().SetStyle(psSolid);
  c.Pen().SetWidth(1);
  if (FChart.FMouse.MouseAction == maRubberBand) {
    c.MoveTo(FRectStart.X, FRectStart.Y);
    c.LineTo(FRectEnd.X, FRectEnd.Y);
  } else {
    c.Brush().SetStyle(bsClear);
    c.Rectangle(std::min(FRectStart.X, FRectEnd.X), std::min(FRectStart.Y, FRectEnd.Y),
                std::max(FRectStart.X, FRectEnd.X) + 1, std::max(FRectStart.Y, FRectEnd.Y) + 1);
  }
  c.Pen().SetMode(pmCopy);
}

}  // namespace orvex
