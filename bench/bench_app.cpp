// The regression run on 100,000 and 1,000,000 objects with 20 inputs: one complete run (design matrix, scaled
// solve, evaluation pass, statistics, caption, report, histogram, influence measures and
// predictions), repeated and first, against the run's solve alone and the run without the
// influence measures and predictions as baselines; and mlrreport end to end, started as a process on an ASC
// file of the same size, against reading that file in-process as baseline.
#include "mlrrun.h"
#include "orvex_datatable.h"
#include "orvex_math2.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace orvex;

namespace {

constexpr int NrOfObjects = 100000;
constexpr int NrOfInputs = 20;

// Deterministic uniform numbers in [0, 1).
struct TLcg {
  std::uint64_t State = 12345;
  double Next()
  {
    State = State * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(State >> 11) * 0x1.0p-53;
  }
};

// Inputs on different scales, the target a linear combination plus noise.
double Value(TLcg& R, int Col)
{
  return R.Next() * (1 << (Col % 8)) + Col;
}

void FillTable(TDataTable& T, int Rows)
{
  T.Resize(NrOfInputs + 1, Rows);
  TLcg r;
  for (int row = 1; row <= Rows; ++row) {
    double y = 3.0;
    for (int c = 1; c <= NrOfInputs; ++c) {
      const double v = Value(r, c);
      T.SetElem(c, row, v);
      y += (c % 5 - 2) * 0.5 * v;
    }
    T.SetElem(NrOfInputs + 1, row, y + r.Next() - 0.5);
  }
}

TRoleState AllInputs()
{
  TRoleState roles(NrOfInputs + 1);
  for (int c = 1; c <= NrOfInputs; ++c)
    roles.SetInput(c, true);
  roles.SetTarget(NrOfInputs + 1, true);
  return roles;
}

// The table of Rows objects, made once per size.
const TDataTable& Table(int Rows = NrOfObjects)
{
  static TDataTable small, large;
  static int smallRows = 0, largeRows = 0;
  TDataTable& t = Rows == NrOfObjects ? small : large;
  int& filled = Rows == NrOfObjects ? smallRows : largeRows;
  if (filled != Rows) {
    FillTable(t, Rows);
    filled = Rows;
  }
  return t;
}

void BM_CompleteRun(benchmark::State& State)
{
  const int rows = static_cast<int>(State.range(0));
  const TDataTable& table = Table(rows);
  const TRoleState roles = AllInputs();
  const int threads = MathThreadCount();
  SetMathThreadCount(static_cast<int>(State.range(2)));
  TMLRRun run;
  run.SetInfluence(State.range(3) != 0);
  // The window repeats its run on every role click: the first two runs, which allocate the
  // containers and the second point list, are left out of the figure (BM_FirstRun has the
  // first).
  for (int warm = 0; warm < 2 && State.range(1) != 0; ++warm)
    if (!run.Execute(table, roles))
      State.SkipWithError(run.ErrorText().c_str());
  for (auto _ : State) {
    if (!run.Execute(table, roles))
      State.SkipWithError(run.ErrorText().c_str());
    benchmark::DoNotOptimize(run.ReportLines().data());
  }
  SetMathThreadCount(threads);
  State.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}
// Args: objects, 1 for a repeated run on a run object that has run before (its containers are
// in place) or 0 for the first run of a fresh run object, the math threads (0: one per core),
// and 1 for a run with the influence measures and predictions (the default) or 0 for one
// without them: the difference of the two is their cost, the run without them its baseline.
BENCHMARK(BM_CompleteRun)->Args({NrOfObjects, 1, 0, 1})->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_CompleteRun)
    ->Args({1000000, 1, 1, 1})->Args({1000000, 1, 2, 1})->Args({1000000, 1, 2, 0})
    ->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime()->MeasureProcessCPUTime();

void BM_FirstRun(benchmark::State& State)
{
  const int rows = static_cast<int>(State.range(0));
  const TDataTable& table = Table(rows);
  const TRoleState roles = AllInputs();
  for (auto _ : State) {
    TMLRRun run;
    if (!run.Execute(table, roles))
      State.SkipWithError(run.ErrorText().c_str());
    benchmark::DoNotOptimize(run.ReportLines().data());
  }
}
BENCHMARK(BM_FirstRun)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime()->MeasureProcessCPUTime();

// Baseline: the solve of the run alone, as the run calls it: MultiLinearRegressionScaled on the
// run's design matrix with its columns' power-of-two factors (the design is not changed, so no
// copy is needed).
void BM_SolverOnly(benchmark::State& State)
{
  const int rows = static_cast<int>(State.range(0));
  const TDataTable& table = Table(rows);
  TMLRRun run;
  if (!run.Execute(table, AllInputs()))
    State.SkipWithError(run.ErrorText().c_str());
  const TMatrix& design = run.MatD();
  std::vector<int> exponents;
  for (int c = 1; c <= design.NrOfColumns(); ++c) {
    double mx = 0;
    for (int r = 0; r < design.NrOfRows(); ++r)
      mx = std::max(mx, std::fabs(design.Column(c)[r]));
    int e = 0;
    std::frexp(mx, &e);
    exponents.push_back(e);
  }
  TVector x, dx;
  x.Resize(NrOfInputs + 1);
  dx.Resize(NrOfInputs + 1);
  const int threads = MathThreadCount();
  SetMathThreadCount(static_cast<int>(State.range(1)));
  for (auto _ : State) {
    bool nearSingular = false;
    benchmark::DoNotOptimize(MultiLinearRegressionScaled(design, exponents, run.VecC(), x, &dx, nearSingular));
  }
  SetMathThreadCount(threads);
  State.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}
// Wall time, and the CPU time of the whole process (the solve's worker threads included).
// Args: objects and the math threads (0: one per core).
BENCHMARK(BM_SolverOnly)->Args({NrOfObjects, 0})->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_SolverOnly)
    ->Args({1000000, 1})->Args({1000000, 2})
    ->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime()->MeasureProcessCPUTime();

// The ASC file of the same table (6 significant digits), written once per process.
const std::string& AscFile()
{
  static std::string name;
  if (name.empty()) {
    name = (std::filesystem::temp_directory_path() /
            ("bench_app_" + std::to_string(::getpid()) + ".asc"))
               .string();
    std::FILE* f = std::fopen(name.c_str(), "w");
    std::fprintf(f, "benchmark table\n%d\n%d\nFALSE FALSE FALSE FALSE\n", NrOfInputs + 1, NrOfObjects);
    const TDataTable& t = Table();
    for (int row = 1; row <= NrOfObjects; ++row)
      for (int col = 1; col <= NrOfInputs + 1; ++col)
        std::fprintf(f, "%.6g%c", t.Elem(col, row), col == NrOfInputs + 1 ? '\n' : ' ');
    std::fclose(f);
    std::atexit([] { std::filesystem::remove(name); });
  }
  return name;
}

// Baseline of the tool's figure: reading the file in this process.
void BM_ReadAscInProcess(benchmark::State& State)
{
  const std::string& file = AscFile();
  for (auto _ : State) {
    TDataTable t;
    if (t.LoadFromASCFile(file) != 0)
      State.SkipWithError("the ASC file does not read");
  }
}
BENCHMARK(BM_ReadAscInProcess)->Unit(benchmark::kMillisecond);

// The whole tool as a user starts it: process start, ASC read, run, report on stdout.
void BM_MlrreportEndToEnd(benchmark::State& State)
{
  std::string inputs;
  for (int c = 1; c <= NrOfInputs; ++c)
    inputs += (c > 1 ? "," : "") + std::to_string(c);
  const std::string cmd = std::string("'") + MLRREPORT_PATH + "' '" + AscFile() + "' --inputs " + inputs +
                          " --target " + std::to_string(NrOfInputs + 1) + " >/dev/null";
  for (auto _ : State)
    if (std::system(cmd.c_str()) != 0)
      State.SkipWithError("mlrreport failed");
}
BENCHMARK(BM_MlrreportEndToEnd)->Unit(benchmark::kMillisecond);

}  // namespace
