// The 32 TScale axis controls of the chart: creation, where each reads its layer's axis settings
// in place (caption, colours, decimals, labels, ticks, font, shown: held once, by the layer's
// TScaleProps), their margins and range along the plot edges, and painting them onto the chart's
// canvas from the ticks computed once per full paint, which the grid reads too (the painting
// itself is TRcPainter's).
// The controls never appear as windows of their own: they live under a hidden host widget and
// paint only when the chart asks them to.
#include "orvex_rchart.h"

#include <QWidget>

namespace orvex {

void TCustomRChart::CreateAxes()
{
  FAxes.AxisHost = std::make_unique<QWidget>();
  FAxes.AxisHost->hide();
  for (int i = 0; i < MaxLayers; ++i) {
    for (int v = 0; v < 2; ++v) {
      auto* s = new TScale(FAxes.AxisHost.get());
      s->SetName(std::string(v == 0 ? "RC_FScale_X_" : "RC_FScale_Y_") + std::to_string(i + 1));
      s->InitDefaults();
      s->OnScaleTickDrawn = [this](TObject*, TCanvas& Canvas, TScaleType ScaleType, double CurrentTickPos,
                                   int ChartX, int ChartY) {
        if (OnScaleTickDrawn)
          OnScaleTickDrawn(this, Canvas, ScaleType, CurrentTickPos, ChartX, ChartY);
      };
      s->OnBeforeTickLabel = [this](TObject*, TScaleType ScaleType, double CurrentTickPos, std::string& TickLabel) {
        if (OnBeforeTickLabel)
          OnBeforeTickLabel(this, ScaleType, CurrentTickPos, TickLabel);
      };
      // A drag on an axis control changed its range: the layer takes it over.
      s->OnZoomPan = [this, i, v](TObject*) {
        const auto& sx = *FLayers.ScaleX[static_cast<size_t>(i)];
        const auto& sy = *FLayers.ScaleY[static_cast<size_t>(i)];
        try {
          const TScale& a = v == 0 ? *FAxes.AxisX[static_cast<size_t>(i)] : *FAxes.AxisY[static_cast<size_t>(i)];
          if (v == 0)
            CommonRangePath(i + 1, a.RangeLow(), sy.RangeLow(), a.RangeHigh(), sy.RangeHigh());
          else
            CommonRangePath(i + 1, sx.RangeLow(), a.RangeLow(), sx.RangeHigh(), a.RangeHigh());
        } catch (const EOrvexRChartError&) {
        }
      };
      s->SetTransparent(true);
      s->SetColorBackGnd(FLook.WindColor);
      s->SetFrameStyle(fsNone);
      s->SetChartEmbedded(true);
      // The layer outlives its control (the axes are destroyed before the layers).
      if (v == 0)
        FLayers.ScaleX[static_cast<size_t>(i)]->ShareWith(*s);
      else
        FLayers.ScaleY[static_cast<size_t>(i)]->ShareWith(*s);
      (v == 0 ? FAxes.AxisX : FAxes.AxisY)[static_cast<size_t>(i)] = s;
    }
  }
}

// Where an axis lies follows the frame's size and the plot layout, so each paint lays the axes
// out again (RenderTo paints at another size), and so does a change of a range; its settings are
// the layer's own, read in place.
void TCustomRChart::PlaceAxis(int LayerIdx, bool Vertical)
{
  TScale* axis = (Vertical ? FAxes.AxisY : FAxes.AxisX)[static_cast<size_t>(LayerIdx)];
  if (!axis)
    return;
  TScale& a = *axis;
  const TScaleProps& p = Vertical ? static_cast<const TScaleProps&>(*FLayers.ScaleY[static_cast<size_t>(LayerIdx)])
                                  : static_cast<const TScaleProps&>(*FLayers.ScaleX[static_cast<size_t>(LayerIdx)]);
  const TScaleType type = Vertical ? FLayers.ScaleY[static_cast<size_t>(LayerIdx)]->AxisType()
                                   : FLayers.ScaleX[static_cast<size_t>(LayerIdx)]->AxisType();
  const bool oldSuppress = a.SuppressPaint();
  a.SetSuppressPaint(true);
  a.resize(FrameWidth(), FrameHeight());
  a.SetScaleType(type);
  // Margins that lay the axis along its plot edge, ScalePos pixels away from it.
  const int w = FrameWidth(), h = FrameHeight(), sw = FPlot.ShadowWidth;
  switch (type) {
    case sctXB:
      a.SetMarginTop(0);
      a.SetMarginBottom(p.ScalePos() + h - FPlot.MarginTop - 1);
      break;
    case sctXT:
      a.SetMarginBottom(0);
      a.SetMarginTop(p.ScalePos() + h - FPlot.MarginBottom - sw);
      break;
    case sctYL:
      a.SetMarginRight(0);
      a.SetMarginLeft(p.ScalePos() + w - FPlot.MarginRight - sw);
      break;
    case sctYR:
      a.SetMarginLeft(0);
      a.SetMarginRight(p.ScalePos() + w - FPlot.MarginLeft - 1);
      break;
  }
  if (type == sctXB || type == sctXT) {
    a.SetMarginLeft(FPlot.MarginLeft);
    a.SetMarginRight(FPlot.MarginRight + sw - 1);
  } else {
    a.SetMarginTop(FPlot.MarginTop);
    a.SetMarginBottom(FPlot.MarginBottom + sw - 1);
  }
  a.SetRange(p.RangeLow(), p.RangeHigh());
  a.SetSuppressPaint(oldSuppress);
}

void TCustomRChart::PlaceAllAxes()
{
  for (int i = 0; i < MaxLayers; ++i) {
    PlaceAxis(i, false);
    PlaceAxis(i, true);
  }
}

void TCustomRChart::SetAxesBackground(TColor Value)
{
  for (int v = 0; v < 2; ++v)
    for (TScale* a : v == 0 ? FAxes.AxisX : FAxes.AxisY)
      if (a)
        a->SetColorBackGnd(Value);
}

const TScaleWalk& TCustomRChart::AxisTicks(int Layer, bool Vertical) const
{
  return (Vertical ? FAxes.TicksY : FAxes.TicksX)[static_cast<size_t>(LayerIndex(Layer))];
}

}  // namespace orvex
