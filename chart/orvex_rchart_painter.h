// TRcPainter: the rendering of a TCustomRChart as functions over a TCanvas and the chart's parts.
// The chart holds the settings (its parts, see orvex_rchart.h) and the surfaces; a painter is made
// for one paint, reads the parts and draws the frame (background, shadow, caption, axes, the plot
// with its background, grid, items, text labels and mouse trace, then the cross-hairs) onto
// whatever canvas it is given: the control bitmap, the plot bitmap of a plot-only refresh, or
// RenderTo's device. It changes nothing of the settings; what a paint computes for later queries
// (the ticks of the axes, the shapes of the items for the hit index) it leaves in the parts that
// hold them.
//
// The item pass draws marks as stamps (TRcStamper in orvex_rchart_painter.cpp): see there.
#pragma once

#include "orvex_rchart.h"

namespace orvex {

class TRcPainter {
public:
  explicit TRcPainter(TCustomRChart& Chart);
  TRcPainter(const TRcPainter&) = delete;
  TRcPainter& operator=(const TRcPainter&) = delete;

  // operations
  // The whole frame onto Canvas at the chart's frame size; Direct draws the plot straight onto
  // Canvas instead of through the chart's plot bitmap.
  void RenderFrame(TCanvas& Canvas, bool Direct);
  // The plot (background, grid, items, labels, trace) onto Canvas, whose top-left corner is the
  // plot's; on the chart's plot bitmap the shapes drawn are kept for the hit index.
  void RenderPlot(TCanvas& Canvas, bool BlackWhite);
  void PaintPlotBackground(TCanvas& Canvas);
  // Origin: the canvas's top-left corner in control pixels.
  void DrawCrossHairs(TCanvas& Canvas, int OriginX, int OriginY);
  // The segments of the mouse trace from point From on.
  void DrawMouseTrace(TCanvas& Canvas, int OriginX, int OriginY, size_t From);

private:
  void PaintShadow(TCanvas& Canvas);
  void PaintCaption(TCanvas& Canvas);
  void PaintAxes(TCanvas& Canvas);
  // Record: the shapes drawn are kept for the hit index (the screen paint).
  void ItemPass(TCanvas& Canvas, bool BlackWhite, bool Record);
  void DrawGrid(TCanvas& Canvas);
  void DrawTextLabels(TCanvas& Canvas, int OriginX, int OriginY);

  // what the chart answers
  TRect PlotRect() const { return FChart.PlotRect(); }
  int FrameWidth() const { return FChart.FrameWidth(); }
  int FrameHeight() const { return FChart.FrameHeight(); }
  const TAxisMap& MapX(int LayerIdx) const { return FChart.MapX(LayerIdx); }
  const TAxisMap& MapY(int LayerIdx) const { return FChart.MapY(LayerIdx); }
  int ActiveLayer() const { return FChart.ActiveLayer(); }

  TCustomRChart& FChart;  // the sender of the rendering events
  // the parts read
  const TRcItemAttributes& FAttr;
  const TRcPlotLayout& FPlot;
  const TRcLayers& FLayers;
  TRcAxes& FAxes;  // the ticks of this paint are left here
  const TRcLook& FLook;
  TRcDecorations& FDecor;  // a background image that cannot be read is cleared
  const TRcItemStore& FStore;
  const std::vector<TMouseTracePoint>& FTrace;
};

}  // namespace orvex
