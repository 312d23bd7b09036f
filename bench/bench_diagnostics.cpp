// Filling the four diagnostic charts (marks, both smoothers on the math threads, the Q-Q
// positions, contours and labels) at 100,000 objects, against filling the actual-versus-
// estimated chart with the same objects (100,000 marks, the automatic range and the diagonal,
// as the window does it) and against the smoother alone, measured in the same run. The charts
// are not shown, so no painting is included; the fit chart's fill is the baseline of the ratio.
#include "demodata.h"
#include "orvex_diagplot.h"
#include "orvex_math2.h"
#include "orvex_rchart.h"
#include "resultcharts.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

using namespace orvex;

namespace {

struct TLcg {
  std::uint64_t State = 4711;
  double Next()
  {
    State = State * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(State >> 11) * 0x1.0p-53;
  }
};

// A fit of n objects as the charts see it: estimates spread over 50..150, residuals roughly
// normal with a trend in their spread, small leverages.
struct TSyntheticFit {
  std::vector<TFitPoint> Points;
  std::vector<double> Est, Res, Std, Hat;
  explicit TSyntheticFit(int N)
  {
    TLcg r;
    for (int i = 0; i < N; ++i) {
      const double est = 50.0 + 100.0 * r.Next();
      const double e = (r.Next() + r.Next() + r.Next() - 1.5) * (1.0 + est / 100.0);
      const double h = 0.5 * r.Next() * 10.0 / N + 1.0 / N;
      Points.push_back({i + 1, i % 16, est + e, est});
      Est.push_back(est);
      Res.push_back(e);
      Hat.push_back(h);
      Std.push_back(e / std::sqrt(1.0 - h));
    }
  }
  TDiagnosticData Data() const
  {
    TDiagnosticData d;
    d.Points = Points;
    d.Estimated = Est;
    d.Residuals = Res;
    d.StdResiduals = Std;
    d.Leverage = Hat;
    d.NrOfCoefficients = 6;
    d.RowLabel = [](int Row) { return "R-" + std::to_string(Row); };
    return d;
  }
};

void BM_FillDiagnosticCharts(benchmark::State& State)
{
  const TSyntheticFit fit(static_cast<int>(State.range(0)));
  SetMathThreadCount(static_cast<int>(State.range(1)));
  TRChart a, b, c, d;
  for (auto _ : State)
    FillDiagnosticCharts({&a, &b, &c, &d}, fit.Data());
  SetMathThreadCount(0);
  State.SetItemsProcessed(State.iterations() * State.range(0));
}
BENCHMARK(BM_FillDiagnosticCharts)->Args({100000, 2})->Args({100000, 1})->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each chart on its own (each with its own smoother where it has one), to see where the time goes.
void BM_FillOneChart(benchmark::State& State)
{
  const TSyntheticFit fit(100000);
  const TDiagnosticData data = fit.Data();
  TRChart chart;
  for (auto _ : State) {
    switch (State.range(0)) {
      case 0: FillResidualsVsEstimated(chart, data); break;
      case 1: FillNormalQQ(chart, data); break;
      case 2: FillScaleLocation(chart, data); break;
      default: FillResidualsVsLeverage(chart, data); break;
    }
  }
}
BENCHMARK(BM_FillOneChart)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The baseline: the actual-versus-estimated chart's fill of the same objects.
void BM_FillFitChart(benchmark::State& State)
{
  const TSyntheticFit fit(static_cast<int>(State.range(0)));
  TRChart chart;
  for (auto _ : State) {
    chart.SetSuppressPaint(true);
    chart.ClearChart();
    chart.ClearTextLabels();
    for (const TFitPoint& p : fit.Points) {
      chart.SetDataColor(ClassColors[static_cast<std::size_t>(p.ColorIndex)]);
      chart.SetItemTag(p.Row);
      chart.AddMark(p.Actual, p.Estimated, 26);
    }
    chart.AutoRange(1, 5.0);
    chart.AddLine(chart.Scale1X().RangeLow(), chart.Scale1X().RangeLow(), chart.Scale1X().RangeHigh(),
                  chart.Scale1X().RangeHigh());
    chart.SetSuppressPaint(false);
  }
  State.SetItemsProcessed(State.iterations() * State.range(0));
}
BENCHMARK(BM_FillFitChart)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Lowess(benchmark::State& State)
{
  const TSyntheticFit fit(static_cast<int>(State.range(0)));
  for (auto _ : State)
    benchmark::DoNotOptimize(Lowess(fit.Est, fit.Res));
  State.SetItemsProcessed(State.iterations() * State.range(0));
}
BENCHMARK(BM_Lowess)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
