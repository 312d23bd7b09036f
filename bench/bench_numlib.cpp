// Speed of the regression solver on random well-conditioned designs (uniform columns plus a
// column of ones) and of FormatReal. Each solver case has a baseline in the same run: one copy
// of the design matrix, i.e. a single pass over the data, so the ratio reads as "passes".
#include "orvex_math2.h"
#include "orvex_stringl.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

using namespace orvex;

namespace {

struct TProblem {
  TMatrix A;
  TVector B;
  TProblem(int Rows, int Params)
  {
    std::mt19937_64 gen(12345);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    A.Resize(Params, Rows);
    B.Resize(Rows);
    for (int c = 1; c < Params; ++c) {
      double* col = A.Column(c);
      for (int r = 0; r < Rows; ++r)
        col[r] = dist(gen);
    }
    for (int r = 0; r < Rows; ++r)
      A.Column(Params)[r] = 1.0;
    for (int r = 1; r <= Rows; ++r) {
      double y = 3.0;
      for (int c = 1; c < Params; ++c)
        y += c * A.Elem(c, r);
      B.Data()[r - 1] = y + 0.1 * dist(gen);
    }
  }
};

// Arguments: rows, parameters, threads (0: one per core), direct (1: the plain decomposition of
// the whole matrix, the baseline).
void BM_MultiLinearRegression(benchmark::State& state)
{
  const int rows = static_cast<int>(state.range(0));
  const int params = static_cast<int>(state.range(1));
  SetMathThreadCount(static_cast<int>(state.range(2)));
  const bool direct = state.range(3) != 0;
  const TProblem problem(rows, params);
  TMatrix A;
  TVector X, Sig;
  X.Resize(params);
  Sig.Resize(params);
  for (auto _ : state) {
    state.PauseTiming();
    A.Assign(problem.A);
    state.ResumeTiming();
    bool nearSingular = false;
    const bool ok = direct ? MultiLinearRegressionDirect(A, problem.B, X, &Sig, nearSingular)
                           : MultiLinearRegression(A, problem.B, X, &Sig, nearSingular);
    benchmark::DoNotOptimize(ok);
    if (!ok || nearSingular)
      state.SkipWithError("the random design did not solve cleanly");
  }
  state.counters["rows"] = rows;
  state.counters["params"] = params;
  SetMathThreadCount(0);
}

// Baseline: one copy of the design matrix.
void BM_CopyDesignMatrix(benchmark::State& state)
{
  const TProblem problem(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  TMatrix A;
  for (auto _ : state) {
    A.Assign(problem.A);
    benchmark::DoNotOptimize(A.Column(1));
  }
}

// Baseline: one pass summing the design matrix, the memory limit of any solve.
void BM_SumDesignMatrix(benchmark::State& state)
{
  const TProblem problem(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    double s = 0;
    for (int c = 1; c <= problem.A.NrOfColumns(); ++c) {
      const double* col = problem.A.Column(c);
      for (int r = 0; r < problem.A.NrOfRows(); ++r)
        s += col[r];
    }
    benchmark::DoNotOptimize(s);
  }
}

std::vector<long double> FormatValues()
{
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-12, 12);
  std::vector<long double> values(1024);
  for (auto& v : values)
    v = static_cast<long double>(mantissa(gen)) * std::pow(10.0L, exponent(gen));
  return values;
}

void BM_FormatReal(benchmark::State& state)
{
  const auto values = FormatValues();
  const int width = static_cast<int>(state.range(0));
  const int decimals = static_cast<int>(state.range(1));
  std::size_t i = 0;
  for (auto _ : state) {
    std::string s = FormatReal(values[i++ & 1023], width, decimals);
    benchmark::DoNotOptimize(s);
  }
  state.SetItemsProcessed(state.iterations());
}

// Baseline: the bare 18-digit conversion that FormatReal starts from.
void BM_PrintfBaseline(benchmark::State& state)
{
  const auto values = FormatValues();
  std::size_t i = 0;
  char buf[64];
  for (auto _ : state) {
    std::snprintf(buf, sizeof buf, "%.17Le", values[i++ & 1023]);
    benchmark::DoNotOptimize(buf);
  }
  state.SetItemsProcessed(state.iterations());
}

// Feeding N pairs into TCurveFit and reading its statistics, as one evaluation pass does;
// baseline: the same pairs summed in a plain loop.
void BM_CurveFitPairs(benchmark::State& state)
{
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    TCurveFit fit;
    for (int i = 1; i <= n; ++i)
      fit.AddPair(i * 0.5, i * 0.5 + 1.0);
    benchmark::DoNotOptimize(fit.GetStatistics());
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_PlainPairSums(benchmark::State& state)
{
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    long double sx = 0, sy = 0;
    for (int i = 1; i <= n; ++i) {
      sx += i * 0.5;
      sy += i * 0.5 + 1.0;
    }
    benchmark::DoNotOptimize(sx + sy);
  }
  state.SetItemsProcessed(state.iterations() * n);
}

}  // namespace

// A design of the size of the small reference sets (82 x 11): the extended-precision path
// against the direct decomposition.
BENCHMARK(BM_MultiLinearRegression)->Args({82, 11, 1, 0})->Args({82, 11, 1, 1})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MultiLinearRegression)->Args({10000, 6, 1, 0})->Args({10000, 6, 1, 1})->Unit(benchmark::kMillisecond);
// Wall time, and the CPU time of the whole process (every thread of the reduction).
BENCHMARK(BM_MultiLinearRegression)
    ->Args({100000, 21, 1, 0})->Args({100000, 21, 2, 0})->Args({100000, 21, 1, 1})
    ->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_MultiLinearRegression)
    ->Args({1000000, 21, 1, 0})->Args({1000000, 21, 2, 0})->Args({1000000, 21, 1, 1})
    ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_CopyDesignMatrix)->Args({10000, 6})->Args({100000, 21})->Args({1000000, 21})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SumDesignMatrix)->Args({100000, 21})->Args({1000000, 21})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormatReal)->Args({12, -2})->Args({14, -2})->Args({1, 4})->Args({12, 3});
BENCHMARK(BM_PrintfBaseline);
BENCHMARK(BM_CurveFitPairs)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainPairSums)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
