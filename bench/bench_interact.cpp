// The scatter charts' interaction on a fit of 1,000,000 objects in the shown window (offscreen):
// - hover: one mouse move over a mark, each to another mark than the last, through the chart's
//   event filter (the hit test, the tooltip's text and showing it), against ItemAt alone at the
//   same points; and the first move after a paint (the paint built the chart's hit index);
// - click to select: press and release on a mark, through the table editor's selection to the
//   rings on every scatter chart and the shown chart's repaint, against the repaint alone; and
//   the first click after a paint, which builds the chart's hit index;
// - exclusion of one row: "Exclude Selected Objects" on one selected row of a 1,000,000 x 20
//   table, through the history step, the refit, both charts and the memo, until the fit is
//   complete (and, as counters, until its part is painted), against a role click that completes
//   the same roles, measured the same two ways between the exclusions in the same loop (the
//   machine is shared, so only the ratio in one run counts). Each exclusion takes another row, and
//   "Include All Objects" (not timed) takes it back, so every exclusion changes the fit's row
//   count as the user's does.
#include "chartinteraction.h"
#include "mainfrm.h"
#include "orvex_datatable.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"
#include "orvex_replist.h"

#include "orvex_tablebuilder.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

using namespace orvex;

namespace {

constexpr int NrOfObjects = 1000000;

void Send(QWidget* W, QEvent::Type Type, QPoint P, Qt::MouseButton Button, Qt::MouseButtons Buttons)
{
  QMouseEvent e(Type, QPointF(P), W->mapToGlobal(QPointF(P)), Button, Buttons, Qt::NoModifier);
  QApplication::sendEvent(W, &e);
}

// The shown window with a fit of NrOfObjects objects (y = 2 x + noise) on the fit chart's page,
// made once for the whole program.
TFrmMLRCalc& Window()
{
  static std::unique_ptr<TFrmMLRCalc> window;
  if (!window) {
    qAddPostRoutine([] { window.reset(); });
    window = std::make_unique<TFrmMLRCalc>();
    window->show();
    TDataTable& t = window->NTData->DataTable();
    t.Resize(2, NrOfObjects);
    std::uint64_t s = 4711;
    for (int r = 1; r <= NrOfObjects; ++r) {
      s = s * 6364136223846793005ULL + 1442695040888963407ULL;
      const double x = static_cast<double>(s >> 11) * 0x1.0p-53 * 100;
      s = s * 6364136223846793005ULL + 1442695040888963407ULL;
      t.SetElem(1, r, x);
      t.SetElem(2, r, 2 * x + (static_cast<double>(s >> 11) * 0x1.0p-53 - 0.5) * 20);
    }
    window->RebuildVariableList();
    window->PageControl1->setCurrentWidget(window->TSMLR);
    QApplication::processEvents();
    // Input x and target y, clicked as the user does.
    TReportListView& lv = *window->RLVarSel;
    for (const auto& [col, row] : {std::pair{2, 1}, std::pair{3, 2}}) {
      const TRect r = lv.CellRect(col - 1, lv.GridRowOf(row));
      const QPoint p(r.Left + 8, (r.Top + r.Bottom) / 2);
      Send(lv.viewport(), QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
      Send(lv.viewport(), QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
    }
    window->PageControl2->setCurrentWidget(window->TSActEstimate);
    QApplication::processEvents();
    std::printf("fit %s, %d items on the shown fit chart: %s\n", window->Run().Succeeded() ? "made" : "failed",
                window->RCFit->NumItems(), window->RCFit->isVisible() ? "visible" : "hidden");
  }
  return *window;
}

// Control pixels of marks spread over the plot: every 997th item.
std::vector<QPoint> MarkPixels(const TRChart& Chart)
{
  std::vector<QPoint> points;
  for (int i = 0; i < Chart.NumItems(); i += 997) {
    const TrcChartItem& it = Chart.Item(i);
    if (it.Kind != ikMark)
      continue;
    int x, y;
    Chart.WorldToPixel(1, it.X1, it.Y1, x, y);
    points.emplace_back(x, y);
  }
  return points;
}

void BM_HoverMove(benchmark::State& State)
{
  TFrmMLRCalc& w = Window();
  TRChart& chart = *w.RCFit;
  const std::vector<QPoint> points = MarkPixels(chart);
  chart.ItemAt(0, 0, 1);  // the hit index of the last paint
  std::size_t k = 0;
  int hits = 0;
  for (auto _ : State) {
    Send(&chart, QEvent::MouseMove, points[k++ % points.size()], Qt::NoButton, Qt::NoButton);
    hits += w.ChartInteraction(&chart)->HoverRow() > 0;
  }
  State.counters["hit share"] = static_cast<double>(hits) / static_cast<double>(State.iterations());
}
BENCHMARK(BM_HoverMove)->Unit(benchmark::kMicrosecond);

// The baseline: the chart's hit test alone at the same points.
void BM_ItemAtAlone(benchmark::State& State)
{
  const TRChart& chart = *Window().RCFit;
  const std::vector<QPoint> points = MarkPixels(chart);
  chart.ItemAt(0, 0, 1);
  std::size_t k = 0;
  for (auto _ : State) {
    const QPoint p = points[k++ % points.size()];
    benchmark::DoNotOptimize(chart.ItemAt(p.x(), p.y(), 5, ikMark));
  }
}
BENCHMARK(BM_ItemAtAlone)->Unit(benchmark::kMicrosecond);

// The first move after the chart was painted again (a zoom, a pan, a refit), before the event
// loop ran: the move builds the hit index and then queries it (the worst case; once the loop has
// run, the index is already built and a move costs what any other does).
void BM_HoverFirstAfterPaint(benchmark::State& State)
{
  TRChart& chart = *Window().RCFit;
  const std::vector<QPoint> points = MarkPixels(chart);
  std::size_t k = 0;
  for (auto _ : State) {
    State.PauseTiming();
    chart.FullPaint();
    State.ResumeTiming();
    Send(&chart, QEvent::MouseMove, points[k++ % points.size()], Qt::NoButton, Qt::NoButton);
  }
}
BENCHMARK(BM_HoverFirstAfterPaint)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ClickSelect(benchmark::State& State)
{
  TFrmMLRCalc& w = Window();
  TRChart& chart = *w.RCFit;
  const std::vector<QPoint> points = MarkPixels(chart);
  std::size_t k = 0;
  int selected = 0;
  for (auto _ : State) {
    const QPoint p = points[k++ % points.size()];
    Send(&chart, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
    Send(&chart, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
    QApplication::processEvents();  // the chart shows its rings
    selected += !w.SelectedObjects().empty();
  }
  State.counters["selected share"] = static_cast<double>(selected) / static_cast<double>(State.iterations());
}
BENCHMARK(BM_ClickSelect)->Unit(benchmark::kMillisecond);

// The first click after the chart was painted anew (a refit, a zoom): the hit test then builds
// the chart's hit index first.
void BM_ClickSelectFirstAfterPaint(benchmark::State& State)
{
  TFrmMLRCalc& w = Window();
  TRChart& chart = *w.RCFit;
  const std::vector<QPoint> points = MarkPixels(chart);
  std::size_t k = 0;
  for (auto _ : State) {
    State.PauseTiming();
    chart.FullPaint();
    State.ResumeTiming();
    const QPoint p = points[k++ % points.size()];
    Send(&chart, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
    Send(&chart, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
    QApplication::processEvents();
    if (w.SelectedObjects().empty())
      State.SkipWithError("the click selected nothing");
  }
}
BENCHMARK(BM_ClickSelectFirstAfterPaint)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3);

// The baseline: the shown chart's repaint alone (its frame, and the rings of the selection the
// last click left).
void BM_RepaintAlone(benchmark::State& State)
{
  TRChart& chart = *Window().RCFit;
  for (auto _ : State) {
    chart.update();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_RepaintAlone)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// Exclusion of one row against the role click

constexpr int ExclusionColumns = 20;

// The times of one refit: until the fit's part is painted (the update requests only, not the
// fit's posted second step) and until the fit is complete and shown.
struct TRefitTimes {
  double Painted = 0, Complete = 0;
};

TRefitTimes ClickTargetBox(TFrmMLRCalc& W);

// The window of the role-click benchmarks: 19 inputs and a target over 1,000,000 objects,
// adopted as a load does, the regression page shown.
TFrmMLRCalc& ExclusionWindow()
{
  static std::unique_ptr<TFrmMLRCalc> window;
  if (!window) {
    qAddPostRoutine([] { window.reset(); });
    window = std::make_unique<TFrmMLRCalc>();
    window->resize(900, 800);
    window->show();
    window->PageControl1->setCurrentWidget(window->TSMLR);
    TTableBuilder b;
    b.Resize(ExclusionColumns, NrOfObjects);
    std::uint64_t s = 4711;
    auto next = [&s] {
      s = s * 6364136223846793005ULL + 1442695040888963407ULL;
      return static_cast<double>(s >> 11) * 0x1.0p-53;
    };
    for (int row = 0; row < NrOfObjects; ++row) {
      double y = 3.0;
      for (int c = 1; c < ExclusionColumns; ++c) {
        const double v = next() * (1 << (c % 8)) + c;
        b.Column(c)[row] = v;
        y += (c % 5 - 2) * 0.5 * v;
      }
      b.Column(ExclusionColumns)[row] = y + next() - 0.5;
    }
    window->NTData->DataTable().Adopt(std::move(b));
    window->RebuildVariableList();
    QApplication::processEvents();
    TReportListView& lv = *window->RLVarSel;
    for (int c = 1; c < ExclusionColumns; ++c)
      lv.SetChecked(2, c, true);
    lv.SetTopRow(ExclusionColumns);
    QApplication::processEvents();
  }
  return *window;
}

// The window after its first role click (the first after a load is the live benchmarks' own
// case).
TFrmMLRCalc& FittedExclusionWindow()
{
  static bool fitted = false;
  TFrmMLRCalc& w = ExclusionWindow();
  if (!fitted) {
    ClickTargetBox(w);
    fitted = true;
  }
  return w;
}

using TClock = std::chrono::steady_clock;

double MsSince(TClock::time_point Start)
{
  return std::chrono::duration<double, std::milli>(TClock::now() - Start).count();
}

TRefitTimes FinishRefit(const TFrmMLRCalc& W, TClock::time_point Start)
{
  TRefitTimes t;
  QApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
  t.Painted = MsSince(Start);
  QApplication::processEvents();
  while (W.ResultPending())
    QApplication::processEvents();
  QApplication::processEvents();
  t.Complete = MsSince(Start);
  return t;
}

// The target box of the last column clicked after it was cleared: the role click that
// completes the roles, through the run to the painted widgets and the complete fit.
TRefitTimes ClickTargetBox(TFrmMLRCalc& W)
{
  TReportListView& lv = *W.RLVarSel;
  lv.SetChecked(3, ExclusionColumns, false);
  const TRect r = lv.CellRect(2, lv.GridRowOf(ExclusionColumns));
  const QPoint p(r.Left + 8, (r.Top + r.Bottom) / 2);
  const TClock::time_point start = TClock::now();
  Send(lv.viewport(), QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
  Send(lv.viewport(), QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
  return FinishRefit(W, start);
}

double Median(std::vector<double> V)
{
  std::nth_element(V.begin(), V.begin() + static_cast<std::ptrdiff_t>(V.size() / 2), V.end());
  return V[V.size() / 2];
}

// One exclusion per repetition (bench/live.sh style: the repetitions give the distribution),
// timed until the fit is complete; the counters "role click ms" and "role click painted ms" are
// the medians of the role clicks made between them, "painted ms" the exclusion until its paint,
// and "/ role click" and "painted / role click" the exclusion's times over the role click's.
void BM_ExcludeOneRow(benchmark::State& State)
{
  TFrmMLRCalc& w = FittedExclusionWindow();
  static int row = 0;
  static std::vector<double> roleClicks, roleClicksPainted;
  TRefitTimes excluded;
  for (auto _ : State) {
    State.PauseTiming();
    const TRefitTimes click = ClickTargetBox(w);
    roleClicks.push_back(click.Complete);
    roleClicksPainted.push_back(click.Painted);
    row = row % NrOfObjects + 997;
    w.NTData->SetSelectedRows({row});
    QApplication::processEvents();
    State.ResumeTiming();
    const TClock::time_point start = TClock::now();
    w.SButExclude->click();
    excluded = FinishRefit(w, start);
    State.PauseTiming();
    if (!w.Run().Succeeded() || w.Run().Result()->Summary.NrOfExcluded != 1)
      State.SkipWithError("the exclusion did not refit");
    w.IncludeAllObjects();
    FinishRefit(w, TClock::now());
    State.ResumeTiming();
  }
  const double median = Median(roleClicks), medianPainted = Median(roleClicksPainted);
  State.counters["role click ms"] = median;
  State.counters["/ role click"] = excluded.Complete / median;
  State.counters["role click painted ms"] = medianPainted;
  State.counters["painted ms"] = excluded.Painted;
  State.counters["painted / role click"] = excluded.Painted / medianPainted;
}
BENCHMARK(BM_ExcludeOneRow)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(9)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

}  // namespace
