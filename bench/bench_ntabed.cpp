// Table editor speed: painting one screen of a 1,000,000 x 20 table against one of 100 x 20 (the
// times should be equal), and Copy and Extract from Clipboard of a 100,000 x 20 block against
// building the same text with plain string appends.
#include "orvex_ntabed.h"
#include "orvex_stringl.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace orvex;

namespace {

// An 800 x 600 editor on a table of 20 columns whose values have the same number of digits in
// every row, so that only the editor's own cost can differ with the row count.
std::unique_ptr<TNTabEd> MakeEditor(int Rows)
{
  auto e = std::make_unique<TNTabEd>();
  e->setFrameShape(QFrame::NoFrame);
  e->resize(800, 600);
  e->Resize(20, Rows);
  for (int c = 1; c <= 20; ++c)
    for (int r = 1; r <= Rows; ++r)
      e->DataTable().SetElem(c, r, 1000.0 + ((c * 7919 + r) % 9000) + 0.125 * c);
  return e;
}

void BM_PaintScreen(benchmark::State& state)
{
  const int rows = static_cast<int>(state.range(0));
  auto e = MakeEditor(rows);
  e->SetTopRow(rows / 2);
  e->SetSelection({3, rows / 2 + 1, 5, rows / 2 + 3});
  QImage image(e->viewport()->size(), QImage::Format_RGB32);
  for (auto _ : state)
    e->viewport()->render(&image);
  state.counters["rows"] = rows;
}
BENCHMARK(BM_PaintScreen)->Arg(100)->Arg(1000000)->Unit(benchmark::kMillisecond);

constexpr int kBlockRows = 100000;

TNTabEd& BlockEditor()
{
  static std::unique_ptr<TNTabEd> e = [] {
    auto p = MakeEditor(kBlockRows);
    p->SelectAll();
    return p;
  }();
  return *e;
}

void BM_Copy(benchmark::State& state)
{
  TNTabEd& e = BlockEditor();
  e.SetClipboardUseFullPrec(state.range(0) != 0);
  for (auto _ : state)
    e.CopySelection();
  state.counters["cells"] = 20.0 * kBlockRows;
}
BENCHMARK(BM_Copy)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The baseline: the same text from ready cell texts, joined with plain appends and put on the
// clipboard.
void BM_CopyBaseline(benchmark::State& state)
{
  TNTabEd& e = BlockEditor();
  std::vector<std::string> cells;
  cells.reserve(20u * kBlockRows);
  for (int r = 1; r <= kBlockRows; ++r)
    for (int c = 1; c <= 20; ++c)
      cells.push_back(FormatReal(e.Elem(c, r), 22, -1));
  for (auto _ : state) {
    std::string text;
    std::size_t i = 0;
    for (int r = 1; r <= kBlockRows; ++r) {
      for (int c = 1; c <= 20; ++c) {
        text += c == 1 ? ' ' : '\t';
        text += cells[i++];
      }
      text += "\r\n";
    }
    QApplication::clipboard()->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  }
}
BENCHMARK(BM_CopyBaseline)->Unit(benchmark::kMillisecond);

void BM_Extract(benchmark::State& state)
{
  TNTabEd& e = BlockEditor();
  e.SetClipboardUseFullPrec(true);
  e.CopySelection();
  for (auto _ : state) {
    e.SelectAll();
    e.ExtractFromClipboard();
  }
  state.counters["cells"] = 20.0 * kBlockRows;
}
BENCHMARK(BM_Extract)->Unit(benchmark::kMillisecond);

// The baseline: reading the clipboard text and copying it once with plain appends.
void BM_ExtractBaseline(benchmark::State& state)
{
  TNTabEd& e = BlockEditor();
  e.SetClipboardUseFullPrec(true);
  e.CopySelection();
  for (auto _ : state) {
    const QByteArray utf8 = QApplication::clipboard()->text().toUtf8();
    std::string copy;
    for (char ch : utf8)
      copy += ch;
    benchmark::DoNotOptimize(copy.data());
  }
}
BENCHMARK(BM_ExtractBaseline)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
  if (!std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
