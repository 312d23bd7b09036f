// A role click in the main window that completes a role set (19 inputs, then the target box of
// column 20) on tables of 100,000 and 1,000,000 objects, repeated and as the first click after a
// table was filled: until the fit's part is painted (both charts and the report; the
// "Painted" cases) and until the fit is complete (the influence measures, predictions and the
// report's influential objects made and shown after that paint); against TMLRRun::Execute alone
// on the same table and roles, measured in the same run; and the exclusion of one selected row,
// which refits the same way. The window is shown on the offscreen platform with the regression
// page open.
#include "mainfrm.h"
#include "orvex_datatable.h"
#include "orvex_ntabed.h"
#include "orvex_replist.h"
#include "orvex_tablebuilder.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTabWidget>
#include <QToolButton>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

using namespace orvex;

namespace {

constexpr int NrOfColumns = 20;

struct TLcg {
  std::uint64_t State = 4711;
  double Next()
  {
    State = State * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(State >> 11) * 0x1.0p-53;
  }
};

// The table as a load gives it: built aside and adopted in one step (cell by cell, the window's
// edit history would record twenty million edits).
void FillTable(TDataTable& T, int NrOfObjects)
{
  TTableBuilder b;
  b.Resize(NrOfColumns, NrOfObjects);
  TLcg r;
  for (int row = 1; row <= NrOfObjects; ++row) {
    double y = 3.0;
    for (int c = 1; c < NrOfColumns; ++c) {
      const double v = r.Next() * (1 << (c % 8)) + c;
      b.Column(c)[row - 1] = v;
      y += (c % 5 - 2) * 0.5 * v;
    }
    b.Column(NrOfColumns)[row - 1] = y + r.Next() - 0.5;
  }
  T.Adopt(std::move(b));
}

// One shown window per table size, kept for the whole program.
TFrmMLRCalc& WindowFor(int NrOfObjects)
{
  static std::unique_ptr<TFrmMLRCalc> window;
  static int size = 0;
  if (!window) {
    // The window goes before the application object does (at exit it would be too late).
    qAddPostRoutine([] { window.reset(); });
  }
  if (!window || size != NrOfObjects) {
    window = std::make_unique<TFrmMLRCalc>();
    // Tall enough for the variable list to show all 20 rows: a click needs its box on screen.
    window->resize(900, 800);
    window->show();
    window->PageControl1->setCurrentWidget(window->TSMLR);
    FillTable(window->NTData->DataTable(), NrOfObjects);
    window->RebuildVariableList();
    QApplication::processEvents();
    size = NrOfObjects;
  }
  return *window;
}

// The window paints what the click changed: the update requests only, not the posted second
// step of the fit.
void Paint()
{
  QApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

// Until the fit's second step has been made and shown.
void Complete(const TFrmMLRCalc& W)
{
  QApplication::processEvents();
  while (W.ResultPending())
    QApplication::processEvents();
  QApplication::processEvents();
}

void ClickBox(TReportListView& Lv, int Col, int Row)
{
  const TRect r = Lv.CellRect(Col - 1, Lv.GridRowOf(Row));
  const QPointF p(r.Left + 8, (r.Top + r.Bottom) / 2);
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent e(type, p, Lv.viewport()->mapToGlobal(p), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Lv.viewport(), &e);
  }
}

// The list shows fewer rows than the table has columns: the target's row is scrolled into view
// before it is clicked.
void ShowLastRow(TReportListView& Lv)
{
  Lv.SetTopRow(NrOfColumns);
  QApplication::processEvents();
}

// Both table sizes, one click (or run) per repetition, so that the repetitions give the
// distribution of single clicks (bench/live.sh prints their median and the slowest); wall time,
// with the CPU time of all threads beside it.
void OnePerRepetition(benchmark::internal::Benchmark* B)
{
  B->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime()->MeasureProcessCPUTime();
}

// The role set complete but for the target: the next click on its box completes it.
TFrmMLRCalc& ClickWindow(int NrOfObjects)
{
  TFrmMLRCalc& w = WindowFor(NrOfObjects);
  TReportListView& lv = *w.RLVarSel;
  for (int c = 1; c < NrOfColumns; ++c)
    lv.SetChecked(2, c, true);
  ShowLastRow(lv);
  // The first click after the load is BM_FirstRoleClick's: one untimed click before.
  lv.SetChecked(3, NrOfColumns, false);
  ClickBox(lv, 3, NrOfColumns);
  Complete(w);
  return w;
}

void BM_RoleClick(benchmark::State& State)
{
  TFrmMLRCalc& w = ClickWindow(static_cast<int>(State.range(0)));
  TReportListView& lv = *w.RLVarSel;
  for (auto _ : State) {
    lv.SetChecked(3, NrOfColumns, false);
    ClickBox(lv, 3, NrOfColumns);
    Complete(w);
    if (!w.Run().Succeeded())
      State.SkipWithError(("the run failed: " + w.Run().ErrorText()).c_str());
  }
}
BENCHMARK(BM_RoleClick)->Apply(OnePerRepetition)->Repetitions(9);

void BM_RoleClickPainted(benchmark::State& State)
{
  TFrmMLRCalc& w = ClickWindow(static_cast<int>(State.range(0)));
  TReportListView& lv = *w.RLVarSel;
  for (auto _ : State) {
    lv.SetChecked(3, NrOfColumns, false);
    ClickBox(lv, 3, NrOfColumns);
    Paint();
    State.PauseTiming();
    if (!w.ResultPending())
      State.SkipWithError("the fit was complete before its paint");
    Complete(w);
    State.ResumeTiming();
  }
}
BENCHMARK(BM_RoleClickPainted)->Apply(OnePerRepetition)->Repetitions(9);

// The first role click after a table was filled: a fresh window each time (not timed), so the
// run's buffers, the chart's item list and the point lists are all new; until the fit is
// complete, or (Painted) until its part is painted.
void FirstRoleClick(benchmark::State& State, bool ToPainted)
{
  for (auto _ : State) {
    State.PauseTiming();
    auto w = std::make_unique<TFrmMLRCalc>();
    w->resize(900, 800);
    w->show();
    w->PageControl1->setCurrentWidget(w->TSMLR);
    FillTable(w->NTData->DataTable(), static_cast<int>(State.range(0)));
    w->RebuildVariableList();
    QApplication::processEvents();
    TReportListView& lv = *w->RLVarSel;
    for (int c = 1; c < NrOfColumns; ++c)
      lv.SetChecked(2, c, true);
    ShowLastRow(lv);
    State.ResumeTiming();
    ClickBox(lv, 3, NrOfColumns);
    if (ToPainted)
      Paint();
    else
      Complete(*w);
    State.PauseTiming();
    if (!w->Run().Succeeded())
      State.SkipWithError(("the run failed: " + w->Run().ErrorText()).c_str());
    w.reset();
    State.ResumeTiming();
  }
}

void BM_FirstRoleClick(benchmark::State& State)
{
  FirstRoleClick(State, false);
}
BENCHMARK(BM_FirstRoleClick)->Apply(OnePerRepetition)->Repetitions(5);

void BM_FirstRoleClickPainted(benchmark::State& State)
{
  FirstRoleClick(State, true);
}
BENCHMARK(BM_FirstRoleClickPainted)->Apply(OnePerRepetition)->Repetitions(5);

// "Exclude Selected Objects" on one selected row with the role set complete: the button's click
// through the history step, the refit, both charts and the memo; Include All Objects (not timed)
// takes it back before the next round. Its budget is the role click's above.
void BM_ExcludeOneRow(benchmark::State& State)
{
  const int n = static_cast<int>(State.range(0));
  TFrmMLRCalc& w = WindowFor(n);
  TReportListView& lv = *w.RLVarSel;
  for (int c = 1; c < NrOfColumns; ++c)
    lv.SetChecked(2, c, true);
  lv.SetChecked(3, NrOfColumns, false);
  ClickBox(lv, 3, NrOfColumns);
  int row = 1;
  for (auto _ : State) {
    State.PauseTiming();
    row = row % n + 1;
    w.NTData->SetSelectedRows({row});
    State.ResumeTiming();
    w.SButExclude->click();
    Complete(w);
    State.PauseTiming();
    if (!w.Run().Succeeded() || w.Run().Result()->Summary.NrOfExcluded != 1)
      State.SkipWithError("the exclusion did not refit");
    w.IncludeAllObjects();
    QApplication::processEvents();
    State.ResumeTiming();
  }
}
BENCHMARK(BM_ExcludeOneRow)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The baseline: the run alone, repeated on one run object (as the window's clicks are).
void BM_RunAlone(benchmark::State& State)
{
  TFrmMLRCalc& w = WindowFor(static_cast<int>(State.range(0)));
  TRoleState roles(NrOfColumns);
  for (int c = 1; c < NrOfColumns; ++c)
    roles.SetInput(c, true);
  roles.SetTarget(NrOfColumns, true);
  static TMLRRun run;
  run.Execute(w.NTData->DataTable(), roles);
  for (auto _ : State)
    benchmark::DoNotOptimize(run.Execute(w.NTData->DataTable(), roles));
}
BENCHMARK(BM_RunAlone)->Apply(OnePerRepetition)->Repetitions(9);

}  // namespace
