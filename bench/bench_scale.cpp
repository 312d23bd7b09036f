// Painting a 400 x 60 scale opaquely into a bitmap, for each walk kind. The baseline paints the
// same scale with a walk that draws nothing (a calendar axis without an interval count: background,
// frame and baseline only), so each figure divided by the baseline's is the cost of the ticks and
// labels. The linear walk over 1e12 costs the same as over 100: a walk is O(ticks), not O(range).
#include "orvex_scale.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>

using namespace orvex;

namespace {

enum Kind { Baseline, Linear, LinearHuge, Logarithmic, Elapsed, CalendarHours, CalendarDays, CalendarMonths, CalendarYears };

void Configure(TScale& s, Kind k) {
  switch (k) {
    case Baseline: s.SetLabelType(ftDateTime); s.SetMinTicks(0); s.SetRange(36526, 36536); break;
    case Linear: s.SetMinTicks(10); s.SetRange(0, 100); break;
    case LinearHuge: s.SetMinTicks(10); s.SetRange(0, 1e12); break;
    case Logarithmic: s.SetMinTicks(10); s.SetRange(1, 1e6); s.SetLogarithmic(true); break;
    case Elapsed: s.SetLabelType(ftTime); s.SetMinTicks(10); s.SetRange(0, 3600); break;
    case CalendarHours: s.SetLabelType(ftDateTime); s.SetRange(36526, 36527); break;
    case CalendarDays: s.SetLabelType(ftDateTime); s.SetRange(36526, 36556); break;
    case CalendarMonths: s.SetLabelType(ftDateTime); s.SetRange(36526, 36526 + 731); break;
    case CalendarYears: s.SetLabelType(ftDateTime); s.SetRange(36526, 36526 + 36525); break;
  }
}

void BM_PaintScale(benchmark::State& state) {
  TScale s;
  s.resize(400, 60);
  Configure(s, static_cast<Kind>(state.range(0)));
  TBitmap target(400, 60);
  s.SetTargetCanvas(&target.Canvas(), 0, 0);
  for (auto _ : state) {
    s.RedrawNow();
    benchmark::DoNotOptimize(target.Image().constBits());
  }
  state.counters["ticks"] = s.NumTicks();
}

}  // namespace

BENCHMARK(BM_PaintScale)
    ->ArgName("kind")  // 0 baseline, 1 linear, 2 linear 1e12, 3 log, 4 elapsed, 5 hours, 6 days, 7 months, 8 years
    ->DenseRange(Baseline, CalendarYears)
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
