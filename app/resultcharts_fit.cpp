// The actual-versus-estimated chart and the residual histogram of a result value, and the look
// shared by every result chart.
#include "resultcharts.h"

#include "demodata.h"
#include "mlrrun.h"
#include "orvex_rchart.h"

#include <algorithm>

namespace orvex {

void SetupResultChart(TCustomRChart& Chart)
{
  Chart.SetMarginRight(20);
  Chart.SetMarginTop(20);
  Chart.SetMarginBottom(40);
  for (TScaleProps* scale : {static_cast<TScaleProps*>(&Chart.Scale1X()), static_cast<TScaleProps*>(&Chart.Scale1Y())}) {
    scale->SetVisible(true);
    scale->SetDecPlaces(-2);
    scale->SetMinTicks(3);
    TFont f = scale->Font();
    f.SetName("Arial");
    f.SetHeight(-13);
    scale->SetFont(f);
  }
  Chart.SetCaptionAnchorHoriz(cahChartRight);
  Chart.SetCaptionAnchorVert(cavChartTop);
  Chart.SetCaptionAlignment(taRightJustify);
}

void FillFitChart(TCustomRChart& Chart, const TMLRResult& Result)
{
  Chart.SetSuppressPaint(true);
  Chart.ClearChart();
  Chart.ClearTextLabels();
  Chart.Scale1X().SetMinTicks(2);
  Chart.Scale1X().SetCaption(FitChartXCaption);
  Chart.Scale1X().SetDecPlaces(-2);
  Chart.Scale1Y().SetMinTicks(3);
  Chart.Scale1Y().SetCaption(FitChartYCaption);
  Chart.Scale1Y().SetDecPlaces(-2);
  Chart.SetDataColor(clBlack);
  // The marks and the diagonal in one allocation.
  Chart.SetAllocSize(ItemAllocStep(Result.ExcludedPoints.size() + Result.FitPoints.size() + 1));
  // Objects excluded by the user first, hollow, so that the reference line keeps the colour of
  // the last object of the fit.
  for (const TFitPoint& p : Result.ExcludedPoints) {
    Chart.SetDataColor(ClassColors[static_cast<std::size_t>(p.ColorIndex)]);
    Chart.SetItemTag(p.Row);
    Chart.AddMark(p.Actual, p.Estimated, ExcludedMarkType);
  }
  for (const TFitPoint& p : Result.FitPoints) {
    Chart.SetDataColor(ClassColors[static_cast<std::size_t>(p.ColorIndex)]);
    Chart.SetItemTag(p.Row);
    Chart.AddMark(p.Actual, p.Estimated, FitChartMarkType);
  }
  Chart.AutoRange(1, 5.0);
  Chart.SetItemTag(0);
  const double low = std::max(Chart.Scale1X().RangeLow(), Chart.Scale1Y().RangeLow());
  const double high = std::max(Chart.Scale1X().RangeHigh(), Chart.Scale1Y().RangeHigh());
  Chart.AddLine(low, low, high, high);
  // The caption before the one paint: set afterwards, it would paint every mark again.
  Chart.SetCaption(Result.Caption);
  Chart.SetSuppressPaint(false);
}

void FillResidualHistogram(TCustomRChart& Chart, const TMLRResult& Result)
{
  const TResidualHistogram& h = Result.Histogram;
  Chart.ClearChart();
  Chart.ClearTextLabels();
  Chart.SetDataColor(clBlack);
  Chart.SetFillColor(clYellow);
  for (const THistogramBar& bar : h.Bars)
    Chart.AddRect(bar.Left, 0, bar.Right, bar.Count);
  Chart.SetRange(1, h.LowX, h.LowY, h.HighX, h.HighY);
  Chart.Scale1X().SetCaption(h.XCaption);
  Chart.Scale1Y().SetCaption(h.YCaption);
  Chart.ShowChart();
}

}  // namespace orvex
