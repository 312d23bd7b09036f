// The chart's paint control: the rendering attributes, the plot bitmap, the full paint into the
// control bitmap, the plot-only refresh and the widget's paint event, which only shows the last
// rendered frame. The drawing itself is TRcPainter's (orvex_rchart_painter.cpp).
#include "orvex_rchart_painter.h"

#include <QShowEvent>
#include <algorithm>

namespace orvex {

// --- rendering attributes --------------------------------------------------------------------

void TCustomRChart::SetChartColor(TColor Value)
{
  FLook.ChartColor = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetWindColor(TColor Value)
{
  FLook.WindColor = Value;
  SetAxesBackground(Value);
  RepaintIfWanted();
}
void TCustomRChart::SetChartFrameColor(TColor Value)
{
  FLook.ChartFrameColor = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetGridStyle(GridStyleType Value)
{
  FLook.GridStyle = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetGridColor(TColor Value)
{
  FLook.GridColor = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetGridDx(double Value)
{
  if (!(Value >= -3))
    return;
  FLook.GridDx = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetGridDy(double Value)
{
  if (!(Value >= -3))
    return;
  FLook.GridDy = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetAvoidDuplicateMarks(bool Value)
{
  if (Value == FLook.AvoidDuplicateMarks)
    return;
  FLook.AvoidDuplicateMarks = Value;
  FullPaint();
}
void TCustomRChart::SetMinDupMarkDist(int Value)
{
  Value = std::clamp(Value, 1, 3);
  if (Value == FLook.MinDupMarkDist)
    return;
  FLook.MinDupMarkDist = Value;
  FullPaint();
}

// --- surfaces and the paint event ------------------------------------------------------------

void TCustomRChart::ResizePlotBitmap()
{
  const TRect p = PlotRect();
  FPlotBmp.SetSize(std::max(0, p.Width() + 1), std::max(0, p.Height() + 1), devicePixelRatioF());
}

void TCustomRChart::showEvent(QShowEvent* Event)
{
  TCustomControl::showEvent(Event);
  WindowCreated();
}

void TCustomRChart::Paint()
{
  // A frame made for another screen's pixel density (the window moved) is made again.
  if ((!FFrameValid || FCtrlBmp.DevicePixelRatio() != devicePixelRatioF()) && !FSuppressPaint && !FLoading)
    FullPaint();
  TCanvas& c = Canvas();
  if (FCtrlBmp.Empty()) {
    c.Brush().SetColor(FLook.WindColor);
    c.Brush().SetStyle(bsSolid);
    c.FillRect(ClientRect());
  } else {
    c.Draw(0, 0, FCtrlBmp);
  }
  PaintOverlay(c);
}

void TCustomRChart::FullPaint()
{
  if (FSuppressPaint || FLoading)
    return;
  // cppcheck-suppress knownConditionTrueFalse ; Designing() is false outside a form designer
  if (!isVisible() && !Designing()) {
    FFrameValid = false;
    return;
  }
  // At the screen's device pixel ratio, so that a high-density screen shows it sharp; sizes,
  // margins and mouse positions stay in logical pixels.
  FCtrlBmp.SetSize(width(), height(), devicePixelRatioF());
  TRcPainter(*this).RenderFrame(FCtrlBmp.Canvas(), false);
  FFrameValid = true;
  update();
}

void TCustomRChart::PlotRefresh()
{
  if (FSuppressPaint || FLoading || !isVisible())
    return;
  if (!FFrameValid || FCtrlBmp.Width() != width() || FCtrlBmp.Height() != height() ||
      FCtrlBmp.DevicePixelRatio() != devicePixelRatioF()) {
    FullPaint();
    return;
  }
  ResizePlotBitmap();
  TCanvas& pc = FPlotBmp.Canvas();
  TRcPainter painter(*this);
  painter.RenderPlot(pc, false);
  painter.DrawCrossHairs(pc, FPlot.MarginLeft, FPlot.MarginTop);
  FCtrlBmp.Canvas().Draw(FPlot.MarginLeft, FPlot.MarginTop, FPlotBmp);
  update();
}

// --- text labels: where they are anchored (painting and the mouse's label drag) ---------------

TPoint TCustomRChart::TextLabelAnchor(const TTextLabel& Label) const
{
  const TTextLabel& l = Label;
  const int li = l.Layer() - 1;
  const bool wx = l.AttachToData() == tlamBoth || l.AttachToData() == tlamXOnly;
  const bool wy = l.AttachToData() == tlamBoth || l.AttachToData() == tlamYOnly;
  return {wx ? MapX(li).ToPixel(l.PosX()) : RoundPixel(std::clamp(l.PosX(), -1e9, 1e9)),
          wy ? MapY(li).ToPixel(l.PosY()) : RoundPixel(std::clamp(l.PosY(), -1e9, 1e9))};
}

}  // namespace orvex
