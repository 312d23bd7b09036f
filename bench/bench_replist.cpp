// Painting one screen of the report list with 100 rows (the baseline) and with 100,000 rows, at
// the top and scrolled to the middle, set up like the main window's variable list: a text
// column, two check-box columns, both headers, row shading and a rendering hook. The time
// should not grow with the row count.
#include "orvex_replist.h"

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>
#include <string>

using namespace orvex;

namespace {

std::unique_ptr<TReportListView> MakeList(int Rows)
{
  auto lv = std::make_unique<TReportListView>();
  lv->setFrameShape(QFrame::NoFrame);
  lv->resize(400, 600);
  lv->SetSuppressPaint(true);
  lv->SetNrOfColumns(3);
  lv->SetCommonHeaderVisible(true);
  lv->SetDefaultRowHeight(18);
  lv->SetCheckBoxColumn(2, true);
  lv->SetCheckBoxColumn(3, true);
  lv->SetNrOfRows(Rows);
  for (int r = 1; r <= Rows; ++r) {
    lv->SetCellText(1, r, std::to_string(r) + " - Variable");
    lv->SetChecked(2, r, r % 3 == 0);
    lv->SetChecked(3, r, r % 7 == 0);
  }
  lv->SetColumnWidth(1, 200);
  lv->OnBeforeRenderCell = [l = lv.get()](TObject*, int ACol, int ARow, TColor& Pen, TColor& Brush, TColor& Font,
                                          TFontStyles& Styles, std::string&) {
    if (ACol == 1 && l->Checked(3, ARow)) {
      Pen = Brush = 0x3F3F3F;
      Font = clWhite;
      Styles.Include(fsBold);
    }
  };
  lv->SetSuppressPaint(false);
  return lv;
}

void BM_PaintListScreen(benchmark::State& state)
{
  const int rows = static_cast<int>(state.range(0));
  auto lv = MakeList(rows);
  if (state.range(1) != 0)
    lv->SetTopRow(rows / 2);
  QImage image(lv->viewport()->size(), QImage::Format_RGB32);
  for (auto _ : state)
    lv->viewport()->render(&image);
  state.counters["rows"] = rows;
}
BENCHMARK(BM_PaintListScreen)->Args({100, 0})->Args({100000, 0})->Args({100000, 1})->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
  if (!std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
