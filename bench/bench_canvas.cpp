// Cost of the canvas pixel rules: each TCanvas benchmark has a QPainter twin doing the same work
// with Qt's own conventions, so the ratio shows what exact line ends, patterns and marks cost.
#include "orvex_canvas.h"
#include "orvex_orvexbase.h"

#include <QApplication>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <random>
#include <vector>

using namespace orvex;

namespace {

constexpr int W = 800;
constexpr int H = 600;

std::vector<QLine> RandomLines(int Count)
{
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> x(0, W - 1), y(0, H - 1);
  std::vector<QLine> lines;
  for (int i = 0; i < Count; ++i)
    lines.emplace_back(x(rng), y(rng), x(rng), y(rng));
  return lines;
}

std::vector<QPoint> RandomPoints(int Count)
{
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> x(10, W - 10), y(10, H - 10);
  std::vector<QPoint> pts;
  for (int i = 0; i < Count; ++i)
    pts.emplace_back(x(rng), y(rng));
  return pts;
}

void BM_CanvasLines(benchmark::State& state)
{
  const auto lines = RandomLines(1000);
  TBitmap bmp(W, H);
  TCanvas& c = bmp.Canvas();
  c.Pen().SetStyle(static_cast<TPenStyle>(state.range(0)));
  for (auto _ : state) {
    for (const QLine& l : lines) {
      c.MoveTo(l.x1(), l.y1());
      c.LineTo(l.x2(), l.y2());
    }
    benchmark::DoNotOptimize(bmp.Image().constBits());
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_CanvasLines)->Arg(psSolid)->Arg(psDot);

void BM_QPainterLines(benchmark::State& state)
{
  const auto lines = RandomLines(1000);
  QImage img(W, H, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  QPen pen(Qt::black, 0, state.range(0) == psDot ? Qt::DotLine : Qt::SolidLine);
  p.setPen(pen);
  for (auto _ : state) {
    p.drawLines(lines.data(), static_cast<int>(lines.size()));
    benchmark::DoNotOptimize(img.constBits());
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_QPainterLines)->Arg(psSolid)->Arg(psDot);

// Lines of a zoomed-in chart: ends far outside the image (up to the chart's +-30000 clamp), each
// line crossing the visible area.
std::vector<QLine> FarLines(int Count)
{
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> far(-30000, 30000), near(0, W - 1);
  std::vector<QLine> lines;
  for (int i = 0; i < Count; ++i) {
    const int x = near(rng);
    lines.emplace_back(x - 30000, far(rng), x + 30000, far(rng));
  }
  return lines;
}

void BM_CanvasFarLines(benchmark::State& state)
{
  const auto lines = FarLines(1000);
  TBitmap bmp(W, H);
  TCanvas& c = bmp.Canvas();
  for (auto _ : state) {
    for (const QLine& l : lines) {
      c.MoveTo(l.x1(), l.y1());
      c.LineTo(l.x2(), l.y2());
    }
    benchmark::DoNotOptimize(bmp.Image().constBits());
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_CanvasFarLines);

void BM_QPainterFarLines(benchmark::State& state)
{
  const auto lines = FarLines(1000);
  QImage img(W, H, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setPen(QPen(Qt::black, 0));
  for (auto _ : state) {
    p.drawLines(lines.data(), static_cast<int>(lines.size()));
    benchmark::DoNotOptimize(img.constBits());
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_QPainterFarLines);

void BM_CanvasMarks(benchmark::State& state)
{
  const auto pts = RandomPoints(1000);
  TBitmap bmp(W, H);
  TCanvas& c = bmp.Canvas();
  const auto type = static_cast<std::uint8_t>(state.range(0));
  for (auto _ : state) {
    for (const QPoint& pt : pts)
      DrawMark(c, type, pt.x(), pt.y());
    benchmark::DoNotOptimize(bmp.Image().constBits());
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_CanvasMarks)->Arg(3)->Arg(26)->Arg(34);

// The baseline for the filled circle mark: Qt's own ellipse in the same box.
void BM_QPainterEllipses(benchmark::State& state)
{
  const auto pts = RandomPoints(1000);
  QImage img(W, H, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setPen(Qt::black);
  p.setBrush(Qt::black);
  for (auto _ : state) {
    for (const QPoint& pt : pts)
      p.drawEllipse(QRect(pt.x() - 2, pt.y() - 2, 4, 4));
    benchmark::DoNotOptimize(img.constBits());
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_QPainterEllipses);

// Filled ellipses in xor mode: the canvas sets every pixel once (outline and inside would
// otherwise cancel where they meet); the baseline is Qt's raster-op ellipse, which does not.
void BM_CanvasXorEllipses(benchmark::State& state)
{
  const auto pts = RandomPoints(1000);
  const int r = static_cast<int>(state.range(0));
  TBitmap bmp(W, H);
  TCanvas& c = bmp.Canvas();
  c.Pen().SetMode(pmXor);
  c.Pen().SetColor(clWhite);
  c.Brush().SetColor(clYellow);
  for (auto _ : state) {
    for (const QPoint& pt : pts)
      c.Ellipse(pt.x() - r, pt.y() - r, pt.x() + r + 1, pt.y() + r + 1);
    benchmark::DoNotOptimize(bmp.Image().constBits());
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_CanvasXorEllipses)->Arg(4)->Arg(40);

void BM_QPainterXorEllipses(benchmark::State& state)
{
  const auto pts = RandomPoints(1000);
  const int r = static_cast<int>(state.range(0));
  QImage img(W, H, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p.setPen(QPen(Qt::white, 0));
  p.setBrush(Qt::blue);
  for (auto _ : state) {
    for (const QPoint& pt : pts)
      p.drawEllipse(QRect(pt.x() - r, pt.y() - r, 2 * r, 2 * r));
    benchmark::DoNotOptimize(img.constBits());
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_QPainterXorEllipses)->Arg(4)->Arg(40);

void BM_CanvasTextOut(benchmark::State& state)
{
  TBitmap bmp(W, H);
  TCanvas& c = bmp.Canvas();
  c.Font().SetName("Arial");
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i)
      c.TextOut(5 + (i % 10) * 70, 5 + (i / 10) * 20, "12.3456");
    benchmark::DoNotOptimize(bmp.Image().constBits());
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_CanvasTextOut);

void BM_QPainterText(benchmark::State& state)
{
  QImage img(W, H, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  QFont f("Liberation Sans");
  f.setPixelSize(11);
  p.setFont(f);
  const QString s = QStringLiteral("12.3456");
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) {
      const QFontMetrics fm = p.fontMetrics();
      p.fillRect(QRect(5 + (i % 10) * 70, 5 + (i / 10) * 20, fm.horizontalAdvance(s), fm.height()), Qt::white);
      p.drawText(QPoint(5 + (i % 10) * 70, 5 + (i / 10) * 20 + fm.ascent()), s);
    }
    benchmark::DoNotOptimize(img.constBits());
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_QPainterText);

}  // namespace
