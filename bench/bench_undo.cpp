// Undo and redo of a 1,000,000-cell paste (50,000 x 20 over a 50,000 x 20 table) in the window's
// history, against the paste itself (recorded and not) and against one plain pass that swaps the same cells with a
// saved copy (the memory-bound floor of any undo that restores every cell).
//
// The paste records into the history while it writes; EndStep then pushes the step. Each undo or
// redo swaps every cell's value with the journal's and announces the change once.
#include "orvex_ntabed.h"
#include "tablehistory.h"

#include <benchmark/benchmark.h>
#include <algorithm>
#include <memory>
#include <vector>

using namespace orvex;

namespace {

constexpr int kCols = 20;
constexpr int kRows = 50000;

// An editor holding a kCols x kRows table, whose copy table holds a block of other values, and
// the history on its table.
struct TPasteSetup {
  std::unique_ptr<TNTabEd> Editor = std::make_unique<TNTabEd>();
  std::unique_ptr<TTableHistory> History;
  TPasteSetup()
  {
    TNTabEd& e = *Editor;
    e.resize(800, 600);
    e.Resize(kCols, kRows);
    for (int c = 1; c <= kCols; ++c)
      for (int r = 1; r <= kRows; ++r)
        e.DataTable().SetElem(c, r, c * 1e6 + r);
    e.SelectAll();
    e.CopySelection();
    for (int c = 1; c <= kCols; ++c)
      for (int r = 1; r <= kRows; ++r)
        e.DataTable().SetElem(c, r, -r);
    History = std::make_unique<TTableHistory>(e.DataTable());
  }
};

void BM_PastePlusEndStep(benchmark::State& state)
{
  TPasteSetup s;
  for (auto _ : state) {
    s.Editor->PasteBlock();
    s.History->EndStep();
    state.PauseTiming();
    s.History->Undo();  // back to the other values, so each paste writes 1,000,000 changes
    s.History->Clear();
    state.ResumeTiming();
  }
  state.counters["cells"] = double(kCols) * kRows;
}
BENCHMARK(BM_PastePlusEndStep)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same paste with nobody listening: what recording the step costs the paste.
void BM_PasteUnrecorded(benchmark::State& state)
{
  TPasteSetup s;
  s.History.reset();
  for (auto _ : state) {
    s.Editor->PasteBlock();
    state.PauseTiming();
    for (int c = 1; c <= kCols; ++c)
      for (int r = 1; r <= kRows; ++r)
        s.Editor->DataTable().SetElem(c, r, -r);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PasteUnrecorded)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_UndoPaste(benchmark::State& state)
{
  TPasteSetup s;
  s.Editor->PasteBlock();
  s.History->EndStep();
  for (auto _ : state) {
    s.History->Undo();
    state.PauseTiming();
    s.History->Redo();
    state.ResumeTiming();
  }
  state.counters["MiB held"] = double(s.History->Bytes()) / (1 << 20);
}
BENCHMARK(BM_UndoPaste)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_RedoPaste(benchmark::State& state)
{
  TPasteSetup s;
  s.Editor->PasteBlock();
  s.History->EndStep();
  for (auto _ : state) {
    state.PauseTiming();
    s.History->Undo();
    state.ResumeTiming();
    s.History->Redo();
  }
}
BENCHMARK(BM_RedoPaste)->Unit(benchmark::kMillisecond)->Iterations(10);

// The floor: swapping 1,000,000 values with a saved copy held as (value, column, row).
void BM_SwapBaseline(benchmark::State& state)
{
  std::vector<double> table(std::size_t(kCols) * kRows, 1.0);
  struct TSaved {
    double Value;
    int Col;
    int Row;
  };
  std::vector<TSaved> saved(table.size());
  for (std::size_t i = 0; i < saved.size(); ++i)
    saved[i] = {2.0, int(i / kRows) + 1, int(i % kRows) + 1};
  for (auto _ : state) {
    for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
      const std::size_t i = std::size_t(it->Col - 1) * kRows + std::size_t(it->Row - 1);
      std::swap(table[i], it->Value);
    }
    benchmark::DoNotOptimize(table.data());
  }
}
BENCHMARK(BM_SwapBaseline)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
