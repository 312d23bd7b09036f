// Painting the chart: the full paint (frame, axes, plot) and the plot-only refresh of an 800 x 600
// chart holding N marks of type 26 in the 16 class colours, against the full paint of the same
// chart without items (the baseline). The time per mark should not grow with N; neither paint
// includes the hit test's index of pixel cells, which is built when the event loop runs after it.
// Then the hit test: the first query after a refresh before the loop ran (it builds the index:
// the worst case of the first hover after a repaint), and 1,000 queries at spread-out pixels. Last,
// RenderTo into an SVG and a PDF document in memory (one vector shape per mark).
#include "orvex_rchart.h"

#include <QApplication>
#include <QBuffer>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>
#include <random>

using namespace orvex;

namespace {

constexpr TColor ClassColors[16] = {0x000000, 0xFF0000, 0x008000, 0x0000FF, 0x0080FF, 0x808080, 0x404080, 0xFF00FF,
                                    0x800000, 0x00FF00, 0xC5CD18, 0x808000, 0xFF0080, 0x41E1EE, 0x800080, 0x8000FF};

std::unique_ptr<TRChart> MakeChart(int Marks)
{
  auto c = std::make_unique<TRChart>();
  c->resize(800, 600);
  c->show();
  QApplication::processEvents();
  c->SetSuppressPaint(true);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int i = 0; i < Marks; ++i) {
    c->SetDataColor(ClassColors[i % 16]);
    c->SetItemTag(i);
    c->AddMark(u(rng), u(rng), 26);
  }
  c->AutoRange(1, 5.0);
  c->SetSuppressPaint(false);
  return c;
}

void BM_FullPaint(benchmark::State& state)
{
  const int marks = static_cast<int>(state.range(0));
  auto c = MakeChart(marks);
  for (auto _ : state) {
    c->FullPaint();
    benchmark::DoNotOptimize(c->ControlBitmap().Image().constBits());
  }
  state.counters["marks"] = marks;
  if (marks > 0)
    state.counters["ns_per_mark"] =
        benchmark::Counter(static_cast<double>(marks) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FullPaint)->Arg(0)->Arg(100000)->Arg(1000000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

void BM_PlotRefresh(benchmark::State& state)
{
  const int marks = static_cast<int>(state.range(0));
  auto c = MakeChart(marks);
  for (auto _ : state) {
    c->PlotRefresh();
    benchmark::DoNotOptimize(c->ControlBitmap().Image().constBits());
  }
  state.counters["marks"] = marks;
}
BENCHMARK(BM_PlotRefresh)->Arg(0)->Arg(100000)->Arg(1000000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// The first ItemAt after a plot-only refresh, before the event loop ran: the index build and one
// query; the refresh itself is not timed.
void BM_FirstQueryAfterRefresh(benchmark::State& state)
{
  const int marks = static_cast<int>(state.range(0));
  auto c = MakeChart(marks);
  for (auto _ : state) {
    state.PauseTiming();
    c->PlotRefresh();
    state.ResumeTiming();
    benchmark::DoNotOptimize(c->ItemAt(400, 300, 3));
  }
  state.counters["marks"] = marks;
}
BENCHMARK(BM_FirstQueryAfterRefresh)
    ->Arg(100000)
    ->Arg(1000000)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(20);  // the untimed refresh dominates: a fixed count keeps the run short

void BM_HitQueries1000(benchmark::State& state)
{
  const int marks = static_cast<int>(state.range(0));
  auto c = MakeChart(marks);
  c->ItemAt(0, 0, 0);  // builds the index
  int found = 0;
  for (auto _ : state)
    for (int q = 0; q < 1000; ++q)
      found += c->ItemAt(50 + (q * 37) % 740, 16 + (q * 53) % 550, 3) >= 0;
  benchmark::DoNotOptimize(found);
  state.counters["marks"] = marks;
}
BENCHMARK(BM_HitQueries1000)->Arg(100000)->Arg(1000000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// The whole chart as an SVG document of 800 x 600 in memory.
void BM_RenderSvg(benchmark::State& state)
{
  const int marks = static_cast<int>(state.range(0));
  auto c = MakeChart(marks);
  qint64 bytes = 0;
  for (auto _ : state) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&out);
    svg.setSize(QSize(800, 600));
    svg.setViewBox(QRect(0, 0, 800, 600));
    c->RenderTo(svg, 800, 600, 96);
    bytes = out.size();
  }
  state.counters["marks"] = marks;
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_RenderSvg)->Arg(0)->Arg(100000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// The whole chart as a one-page PDF document of 800 x 600 at 96 dots per inch in memory.
void BM_RenderPdf(benchmark::State& state)
{
  const int marks = static_cast<int>(state.range(0));
  auto c = MakeChart(marks);
  qint64 bytes = 0;
  for (auto _ : state) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    {
      QPdfWriter pdf(&out);
      pdf.setResolution(96);
      pdf.setPageSize(QPageSize(QSizeF(800 / 96.0, 600 / 96.0), QPageSize::Inch));
      pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
      c->RenderTo(pdf, pdf.width(), pdf.height(), 96);
    }
    bytes = out.size();
  }
  state.counters["marks"] = marks;
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_RenderPdf)->Arg(0)->Arg(100000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace
