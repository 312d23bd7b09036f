// The regression run on a table of 1,000,000 objects and 20 inputs: the run alone (Influence
// off, what --values costs), and the run with its influence measures and predictions (what the
// window and --extended cost), on one and two threads, in the same process. The difference of
// the two is the diagnostics' cost; the goal is that it stays within the run's own time.
// Each configuration keeps one run object over all its repetitions, as the window keeps its run
// from click to click: a repeated run reuses the buffers of the last one. Only the first
// iteration of the first repetition allocates them (the design, and with the diagnostics its
// spare and the result's vectors), so that repetition is the slowest; the medians are the
// steady state of a refit. The CPU column is the process's (both threads): on a shared machine
// it is the steadier figure.
#include "mlrrun.h"
#include "orvex_datatable.h"
#include "orvex_math2.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>

using namespace orvex;

namespace {

constexpr int Inputs = 20;

// Inputs with a little correlation, a target with noise, every 97th target missing (a row
// that is predicted but not used).
const TDataTable& Table()
{
  static TDataTable table;
  static const bool filled = [] {
    const int rows = 1000000;
    table.Resize(Inputs + 1, rows);
    std::uint64_t s = 4711;
    auto next = [&] {
      s = s * 6364136223846793005ULL + 1442695040888963407ULL;
      return static_cast<double>(s >> 11) * 0x1.0p-53;
    };
    for (int r = 1; r <= rows; ++r) {
      double y = 3;
      double common = next();
      for (int c = 1; c <= Inputs; ++c) {
        const double x = 0.3 * common + next() * c;
        table.SetElem(c, r, x);
        y += x * (c % 3 - 1);
      }
      if (r % 97 == 0)
        table.SetCellState(Inputs + 1, r, csEmpty);
      else
        table.SetElem(Inputs + 1, r, y + next() - 0.5);
    }
    return true;
  }();
  (void)filled;
  return table;
}

void BM_Run(benchmark::State& State)
{
  const TDataTable& table = Table();
  TRoleState roles(Inputs + 1);
  for (int c = 1; c <= Inputs; ++c)
    roles.SetInput(c, true);
  roles.SetTarget(Inputs + 1, true);
  SetMathThreadCount(static_cast<int>(State.range(1)));
  static std::map<std::pair<std::int64_t, std::int64_t>, std::unique_ptr<TMLRRun>> runs;
  std::unique_ptr<TMLRRun>& kept = runs[{State.range(0), State.range(1)}];
  if (!kept)
    kept = std::make_unique<TMLRRun>();
  TMLRRun& run = *kept;
  run.SetInfluence(State.range(0) != 0);
  for (auto _ : State)
    if (!run.Execute(table, roles))
      State.SkipWithError(run.ErrorText().c_str());
  SetMathThreadCount(0);
}
// Args: influence (0/1), threads.
BENCHMARK(BM_Run)->ArgNames({"influence", "threads"})->Args({0, 1})->Args({1, 1})->Args({0, 2})->Args({1, 2})
    ->Iterations(5)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

}  // namespace
