// Painting and scrolling cost of TCustomGrid against the number of rows: one screen of 100,
// 10,000 and 1,000,000 rows, at the top and scrolled to the middle, with and without
// individual row heights. The times should not grow with the row count.
#include "orvex_grids.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>
#include <string>

using namespace orvex;

namespace {

// A 800 x 600 grid of 12 columns whose cells write a four-digit number, as a data table would
// (the same length at every row, so that only the grid's own cost can differ).
std::unique_ptr<TCustomGrid> MakeGrid(int Rows, bool MixedHeights)
{
  auto grid = std::make_unique<TCustomGrid>();
  grid->setFrameShape(QFrame::NoFrame);
  grid->SetColCount(12);
  grid->SetRowCount(Rows);
  grid->SetDefaultRowHeight(20);
  if (MixedHeights)
    for (int r = 1; r < Rows; r += 10)
      grid->SetRowHeights(r, 28);
  grid->resize(800, 600);
  grid->OnDrawCell = [g = grid.get()](TObject*, int ACol, int ARow, const TRect& Rect, TGridDrawState) {
    g->Canvas().TextRect(Rect, Rect.Left + 2, Rect.Top + 1, std::to_string((ACol * 7919 + ARow) % 9000 + 1000));
  };
  return grid;
}

void PaintOnce(TCustomGrid& Grid, QImage& Image)
{
  Grid.viewport()->render(&Image);
}

void BM_PaintScreen(benchmark::State& state)
{
  const int rows = static_cast<int>(state.range(0));
  const bool middle = state.range(1) != 0;
  const bool mixed = state.range(2) != 0;
  auto grid = MakeGrid(rows, mixed);
  if (middle)
    grid->SetTopRow(rows / 2);
  QImage image(grid->viewport()->size(), QImage::Format_RGB32);
  for (auto _ : state)
    PaintOnce(*grid, image);
  state.counters["rows"] = rows;
}

// One page down and the repaint it causes, over the whole grid and back.
void BM_ScrollAndPaint(benchmark::State& state)
{
  const int rows = static_cast<int>(state.range(0));
  auto grid = MakeGrid(rows, false);
  QImage image(grid->viewport()->size(), QImage::Format_RGB32);
  int top = 1;
  const int step = std::max(1, rows / 100);
  for (auto _ : state) {
    top += step;
    if (top >= rows)
      top = 1;
    grid->SetTopRow(top);
    PaintOnce(*grid, image);
  }
  state.counters["rows"] = rows;
}

void BM_MouseToCell(benchmark::State& state)
{
  const int rows = static_cast<int>(state.range(0));
  auto grid = MakeGrid(rows, true);
  grid->SetTopRow(rows / 2);
  int x = 0;
  for (auto _ : state) {
    x = (x + 37) % 800;
    benchmark::DoNotOptimize(grid->MouseCoord(x, (x * 7) % 600));
  }
  state.counters["rows"] = rows;
}

}  // namespace

BENCHMARK(BM_PaintScreen)
    ->ArgNames({"rows", "middle", "mixed"})
    ->Args({100, 0, 0})
    ->Args({10000, 0, 0})
    ->Args({1000000, 0, 0})
    ->Args({1000000, 1, 0})
    ->Args({1000000, 1, 1})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ScrollAndPaint)->Arg(100)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MouseToCell)->Arg(100)->Arg(1000000);
