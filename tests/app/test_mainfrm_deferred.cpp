// A fit shown in two steps on a shown window: the role click paints the charts and the report
// of the fit's part, and the influence measures, predictions and influential objects follow in
// a posted step after that paint. Whatever needs them before (a diagnostic page, a tooltip,
// "Add Estimates to Table", a report export) completes first; a new click or an edit of a role
// column before the second step replaces it.
#include "mainfrm_testutil.h"

#include "chartinteraction.h"
#include "demodata.h"
#include "mlrrun.h"
#include "orvex_datatable.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"

#include <QClipboard>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace orvex;
using mainfrm_test::TShownWindow;

namespace {

constexpr int Length = 3, Width = 4, NetWeight = 6;

// The report and the extended block of a one-step run of the window's table, as the memo shows
// them.
std::vector<std::string> ExpectedMemo(const TFrmMLRCalc& W, std::initializer_list<int> Inputs)
{
  TRoleState roles(W.NTData->NrOfColumns());
  for (int c : Inputs)
    roles.SetInput(c, true);
  roles.SetTarget(NetWeight, true);
  TMLRRun run;
  EXPECT_TRUE(run.Execute(W.NTData->DataTable(), roles));
  std::vector<std::string> lines = run.Result()->ReportLines;
  lines.emplace_back();
  lines.insert(lines.end(), run.Result()->ExtendedLines.begin(), run.Result()->ExtendedLines.end());
  return lines;
}

// The memo's lines as they stand (DetailsLines would complete the fit first).
std::vector<std::string> MemoLines(const TFrmMLRCalc& W)
{
  std::vector<std::string> lines;
  for (const QString& s : W.MMDetails->toPlainText().split('\n'))
    lines.push_back(s.toStdString());
  return lines;
}

bool ListsInfluence(const std::vector<std::string>& Lines)
{
  return std::any_of(Lines.begin(), Lines.end(), [](const std::string& L) {
    return L.find("Influential objects") != std::string::npos || L.find("Rules of influence") != std::string::npos;
  });
}

// Records whether the fit was still waiting for its second step when the fit chart painted.
struct TPaintWatch : QObject {
  TFrmMLRCalc* W = nullptr;
  std::vector<bool> PendingAtPaint;
  bool eventFilter(QObject*, QEvent* Event) override
  {
    if (Event->type() == QEvent::Paint)
      PendingAtPaint.push_back(W->ResultPending());
    return false;
  }
};

struct TDeferredWindow : TShownWindow {
  TFrmMLRCalc& w = *W;
  TDeferredWindow()
  {
    ClickBox(2, Length);
    ClickBox(2, Width);
    QApplication::processEvents();
  }
  // The click on the target box that completes the roles and runs the fit.
  void ClickTarget() { ClickBox(3, NetWeight); }
  void Settle()
  {
    ASSERT_TRUE(mainfrm_test::WaitFor([this] { return !w.ResultPending(); }));
    QApplication::processEvents();
  }
};

}  // namespace

TEST(MainWindowDeferredFit, TheChartsAndReportArePaintedFirstAndCompletedAfter)
{
  TDeferredWindow t;
  TFrmMLRCalc& w = t.w;
  TPaintWatch watch;
  watch.W = &w;
  w.RCFit->installEventFilter(&watch);
  t.ClickTarget();

  // Inside the click: the fit's part is on the charts and in the memo, the rest waits.
  ASSERT_TRUE(w.ResultPending());
  const std::vector<std::string> complete = ExpectedMemo(w, {Length, Width});
  const std::vector<std::string> partial = MemoLines(w);
  EXPECT_FALSE(ListsInfluence(partial));
  ASSERT_TRUE(ListsInfluence(complete));
  EXPECT_TRUE(std::equal(partial.begin(), partial.begin() + 12, complete.begin()));  // the fixed report
  EXPECT_EQ(w.RCFit->NumItems(), 40 + 1);  // every object, and the diagonal
  EXPECT_GT(w.RCHisto->NumItems(), 0);

  // The posted step runs after the paint of the fit's part, and the memo then holds the report
  // of a one-step run, line for line.
  t.Settle();
  ASSERT_FALSE(watch.PendingAtPaint.empty());
  EXPECT_TRUE(watch.PendingAtPaint.front());
  EXPECT_EQ(MemoLines(w), complete);
  EXPECT_FALSE(w.Run().Result()->Partial);
  EXPECT_TRUE(w.Run().Result()->Influence.Available);

  // An edit of the memo is the user's: the next fit writes the whole text again.
  w.MMDetails->appendPlainText("a note");
  t.ClickTarget();  // clears the target: no fit
  t.ClickTarget();
  t.Settle();
  EXPECT_EQ(MemoLines(w), complete);
  w.RCFit->removeEventFilter(&watch);
}

TEST(MainWindowDeferredFit, ANewClickOrARoleEditBeforeTheSecondStepReplacesIt)
{
  TDeferredWindow t;
  TFrmMLRCalc& w = t.w;
  t.ClickTarget();
  ASSERT_TRUE(w.ResultPending());
  // Width is taken out before the posted step ran: what completes is the fit on Length alone.
  t.ClickBox(2, Width);
  t.Settle();
  EXPECT_EQ(w.Run().Result()->InputCols, std::vector<int>{Length});
  EXPECT_EQ(MemoLines(w), ExpectedMemo(w, {Length}));

  // An edit of the target before the second step: no step is made on the changed table; the
  // refit after the event brings its own.
  t.ClickBox(2, Width);
  ASSERT_TRUE(w.ResultPending());
  w.NTData->DataTable().SetElem(NetWeight, 3, 999);
  EXPECT_FALSE(w.ResultPending());
  EXPECT_TRUE(w.Run().Result()->Partial);  // the shown fit's part stays until the refit
  t.Settle();
  EXPECT_FALSE(w.Run().Result()->Partial);
  EXPECT_EQ(MemoLines(w), ExpectedMemo(w, {Length, Width}));
}

TEST(MainWindowDeferredFit, WhatReadsTheInfluenceCompletesTheFitFirst)
{
  TDeferredWindow t;
  TFrmMLRCalc& w = t.w;

  // A diagnostic page shown: its chart is filled from the complete result.
  t.ClickTarget();
  ASSERT_TRUE(w.ResultPending());
  w.PageControl2->setCurrentWidget(w.TSResidLev);
  EXPECT_FALSE(w.ResultPending());
  EXPECT_GE(w.RCResidLev->NumItems(), 40);
  EXPECT_TRUE(ListsInfluence(MemoLines(w)));
  w.PageControl2->setCurrentWidget(w.TSActEstimate);

  // A tooltip of a diagnostic chart: with the leverage.
  t.ClickTarget();
  t.ClickTarget();
  ASSERT_TRUE(w.ResultPending());
  const std::string tip = w.ChartInteraction(w.RCResidLev)->OnToolTip(nullptr, 7);
  EXPECT_FALSE(w.ResultPending());
  EXPECT_NE(tip.find("Leverage: "), std::string::npos) << tip;

  // "Add Estimates to Table" with the intervals: the predictions' limits are there.
  t.ClickTarget();
  t.ClickTarget();
  ASSERT_TRUE(w.ResultPending());
  const int columns = w.NTData->NrOfColumns();
  ASSERT_TRUE(w.AddEstimatesToTable(true));
  const TDataTable& table = w.NTData->DataTable();
  ASSERT_EQ(table.NrOfColumns(), columns + 6);
  const TMLRResult& r = *w.Run().Result();
  ASSERT_FALSE(r.Partial);
  ASSERT_FALSE(r.Predictions.Rows.empty());
  const int row = r.Predictions.Rows.front();
  EXPECT_DOUBLE_EQ(table.Elem(columns + 3, row), r.Predictions.CILow[0]);
  EXPECT_DOUBLE_EQ(table.Elem(columns + 6, row), r.Predictions.PIHigh[0]);
  t.Settle();

  // "Copy Report": the whole report.
  t.ClickTarget();
  t.ClickTarget();
  ASSERT_TRUE(w.ResultPending());
  w.CopyReport();
  EXPECT_FALSE(w.ResultPending());
  const QString copied = QApplication::clipboard()->text();
  EXPECT_TRUE(copied.contains("Influential objects") || copied.contains("Rules of influence"));
}
