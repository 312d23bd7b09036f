// Objects excluded by the user, on a shown window: rows selected in the editor by the mouse and
// excluded through the button, a chart's context menu and the editor's row menu; the refit
// against a fit of the table without those rows, the report line, greyed cells and hollow
// marks in pixels; inclusion; undo and redo; the set moving with its rows on insert and delete
// and cleared by a load.
#include "mainfrm_testutil.h"

#include "demodata.h"
#include "orvex_datatable.h"
#include "orvex_graphics.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"
#include "resultcharts.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace orvex;
using mainfrm_test::TShownWindow;

namespace {

constexpr const char* ExcludedLine = "Objects Excluded by the User ...: ";

// The window with a fit of Net Weight on Length and Width and its menus caught.
struct TExcludeWindow : TShownWindow {
  std::vector<QMenu*> Menus;
  TExcludeWindow()
  {
    W->ChartPopupHook = [this](QMenu* Menu, const QPoint&) { Menus.push_back(Menu); };
    W->NTData->PopupHook = [this](QMenu* Menu, const QPoint&) { Menus.push_back(Menu); };
    ClickBox(2, 3);
    ClickBox(2, 4);
    ClickBox(3, 6);
  }
  ~TExcludeWindow()
  {
    for (QMenu* m : Menus)
      if (m->testAttribute(Qt::WA_DeleteOnClose))
        delete m;
  }
  // Selects table rows First..Last by a click in column 1 and a shift-click, as the user does; a
  // single cell is only the cursor, so one row is chosen as a chart's click chooses it.
  void SelectRows(int First, int Last)
  {
    TNTabEd& ed = *W->NTData;
    const int offset = ed.FixedRows() - 1;
    auto at = [&](int Row) {
      const TRect r = ed.CellRect(ed.FixedCols(), Row + offset);
      return QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    };
    if (Last == First) {
      ed.SetSelectedRows({First});
      return;
    }
    QTest::mouseClick(ed.viewport(), Qt::LeftButton, Qt::NoModifier, at(First));
    QTest::mouseClick(ed.viewport(), Qt::LeftButton, Qt::ShiftModifier, at(Last));
  }
  static QAction* Action(QMenu* Menu, const char* Text)
  {
    for (QAction* a : Menu->actions())
      if (a->text() == QString::fromUtf8(Text))
        return a;
    return nullptr;
  }
  // Opens the heading menu of table row Row with a right press and triggers its item Text.
  void RowHeadingCommand(int Row, const char* Text)
  {
    TNTabEd& ed = *W->NTData;
    const TRect head = ed.CellRect(0, Row + ed.FixedRows() - 1);
    const std::size_t before = Menus.size();
    QTest::mousePress(ed.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(head.Left + 5, head.Top + 5));
    QTest::mouseRelease(ed.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(head.Left + 5, head.Top + 5));
    ASSERT_EQ(Menus.size(), before + 1) << "no menu on row " << Row;
    QAction* a = Action(Menus.back(), Text);
    ASSERT_NE(a, nullptr) << Text;
    ASSERT_TRUE(a->isEnabled()) << Text;
    a->trigger();
    QApplication::processEvents();  // the step closes and the fit follows
  }
  // The report line of the excluded objects, or "" when there is none.
  std::string Line() const
  {
    for (const std::string& l : W->DetailsLines())
      if (l.rfind(ExcludedLine, 0) == 0)
        return l;
    return {};
  }
};

// The coefficients of the same fit on the demonstration table without the given rows.
std::vector<double> FitWithout(const std::vector<int>& Rows)
{
  TDataTable table;
  LoadDemoData(table);
  for (auto r = Rows.rbegin(); r != Rows.rend(); ++r)
    table.DeleteRow(*r);
  TRoleState roles(6);
  roles.SetInput(3, true);
  roles.SetInput(4, true);
  roles.SetTarget(6, true);
  TMLRRun run;
  EXPECT_TRUE(run.Execute(table, roles));
  return run.Result()->Coefficients;
}

}  // namespace

TEST(MainWindowExclusion, ExcludedRowsLeaveTheFitAndShowGreyedAndHollow)
{
  TExcludeWindow t;
  TFrmMLRCalc& w = *t.W;
  ASSERT_TRUE(w.Run().Succeeded());
  EXPECT_FALSE(w.SButIncludeAll->isEnabled());
  w.PageControl1->setCurrentWidget(w.TSData);
  QApplication::processEvents();
  t.SelectRows(5, 6);
  EXPECT_EQ(w.SelectedObjects(), (std::vector<int>{5, 6}));
  w.PageControl1->setCurrentWidget(w.TSMLR);
  w.SButExclude->click();

  // The refit equals a fit of the table without rows 5 and 6, and the values stay.
  EXPECT_EQ(w.ExcludedRows(), (std::vector<int>{5, 6}));
  const TMLRResult& r = *w.Run().Result();
  EXPECT_EQ(r.Summary.NrOfObjects, 38);
  EXPECT_EQ(r.Summary.NrOfExcluded, 2);
  EXPECT_EQ(r.Summary.NrOfMissing, 0);
  EXPECT_EQ(r.ExcludedRows, (std::vector<int>{5, 6}));
  const std::vector<double> expected = FitWithout({5, 6});
  ASSERT_EQ(r.Coefficients.size(), expected.size());
  for (std::size_t j = 0; j < expected.size(); ++j)
    EXPECT_NEAR(r.Coefficients[j], expected[j], 1e-12 * std::fabs(expected[j])) << j;
  TDataTable demo;
  LoadDemoData(demo);
  EXPECT_EQ(w.NTData->Elem(6, 5), demo.Elem(6, 5));
  // The report line follows the objects' count, the extended block lists the rows.
  const std::vector<std::string> lines = w.DetailsLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Number of Objects .............: 38");
  EXPECT_EQ(lines[1], std::string(ExcludedLine) + "2");
  EXPECT_NE(std::find(lines.begin(), lines.end(), " Rows excluded by the user: 5, 6"), lines.end());

  // Hollow marks: two of type 16 tagged with their rows, their centre unpainted in the image.
  TRChart& fit = *w.RCFit;
  std::vector<int> hollow;
  int filled = 0;
  for (int i = 0; i < fit.NumItems(); ++i) {
    const TrcChartItem& item = fit.Item(i);
    if (item.Kind == ikMark && item.MarkType == ExcludedMarkType)
      hollow.push_back(item.Tag);
    else if (item.Kind == ikMark)
      ++filled;
  }
  EXPECT_EQ(hollow, (std::vector<int>{5, 6}));
  EXPECT_EQ(filled, 38);
  const QImage image = fit.RenderImage(fit.width(), fit.height(), 96);
  for (const TFitPoint& p : r.ExcludedPoints) {
    int px = 0, py = 0;
    fit.WorldToPixel(1, p.Actual, p.Estimated, px, py);
    const QRgb ring = image.pixel(px - 2, py);  // the circle's left edge
    EXPECT_EQ(ring & 0xFFFFFF, ToQColor(ClassColors[static_cast<std::size_t>(p.ColorIndex)]).rgb() & 0xFFFFFF);
    EXPECT_EQ(image.pixel(px, py) & 0xFFFFFF, 0xFFFFFFu) << p.Row;  // hollow: white inside
  }
  EXPECT_EQ(r.ExcludedPoints.size(), 2u);

  // Greyed rows in the editor: row 5's cells, not row 4's.
  w.PageControl1->setCurrentWidget(w.TSData);
  QApplication::processEvents();
  TNTabEd& ed = *w.NTData;
  ed.SetSelection(TGridRect{1, 1, 1, 1});
  const QImage grid = ed.viewport()->grab().toImage();
  const int offset = ed.FixedRows() - 1;
  auto cellBack = [&](int Row) {
    const TRect c = ed.CellRect(ed.FixedCols() + 2, Row + offset);
    return grid.pixel(c.Right - 3, c.Bottom - 3) & 0xFFFFFF;
  };
  EXPECT_EQ(cellBack(5), 0xEEEEEEu);
  EXPECT_EQ(cellBack(6), 0xEEEEEEu);
  EXPECT_EQ(cellBack(4), 0xFFFFFFu);

  // Include All Objects: the whole fit again, no line.
  w.PageControl1->setCurrentWidget(w.TSMLR);
  ASSERT_TRUE(w.SButIncludeAll->isEnabled());
  w.SButIncludeAll->click();
  EXPECT_TRUE(w.ExcludedRows().empty());
  EXPECT_EQ(w.Run().Result()->Summary.NrOfObjects, 40);
  EXPECT_EQ(t.Line(), "");
  EXPECT_TRUE(t.Errors.empty());
}

TEST(MainWindowExclusion, ChartAndRowMenusUndoAndRedo)
{
  TExcludeWindow t;
  TFrmMLRCalc& w = *t.W;
  w.PageControl1->setCurrentWidget(w.TSData);
  QApplication::processEvents();
  t.SelectRows(12, 12);
  w.PageControl1->setCurrentWidget(w.TSMLR);
  QApplication::processEvents();

  // The chart's menu, opened by a context-menu event on the chart.
  const QPoint p(w.RCFit->width() / 2, w.RCFit->height() / 2);
  QContextMenuEvent e(QContextMenuEvent::Mouse, p, w.RCFit->mapToGlobal(p));
  QApplication::sendEvent(w.RCFit, &e);
  ASSERT_EQ(t.Menus.size(), 1u);
  QAction* include = TExcludeWindow::Action(t.Menus[0], IncludeAllText);
  ASSERT_NE(include, nullptr);
  EXPECT_FALSE(include->isEnabled());
  TExcludeWindow::Action(t.Menus[0], ExcludeSelectedText)->trigger();
  EXPECT_EQ(w.ExcludedRows(), std::vector<int>{12});
  EXPECT_EQ(t.Line(), std::string(ExcludedLine) + "1");

  // The editor's row menu, opened by a right click on row 9's heading after selecting it.
  w.PageControl1->setCurrentWidget(w.TSData);
  QApplication::processEvents();
  t.SelectRows(9, 9);
  TNTabEd& ed = *w.NTData;
  const TRect head = ed.CellRect(0, 9 + ed.FixedRows() - 1);
  QTest::mousePress(ed.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(head.Left + 5, head.Top + 5));
  ASSERT_EQ(t.Menus.size(), 2u);
  QAction* exclude = TExcludeWindow::Action(t.Menus[1], ExcludeSelectedText);
  ASSERT_NE(exclude, nullptr);
  EXPECT_TRUE(exclude->isVisible());
  exclude->trigger();
  EXPECT_EQ(w.ExcludedRows(), (std::vector<int>{9, 12}));
  EXPECT_EQ(w.Run().Result()->Summary.NrOfObjects, 38);
  // A column heading's menu does not offer them.
  const TRect colHead = ed.CellRect(ed.FixedCols() + 1, 0);
  QTest::mousePress(ed.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(colHead.Left + 5, colHead.Top + 5));
  ASSERT_EQ(t.Menus.size(), 3u);
  EXPECT_FALSE(TExcludeWindow::Action(t.Menus[2], ExcludeSelectedText)->isVisible());

  // Undo and redo by the keys, each a step with its refit.
  EXPECT_TRUE(w.Modified());
  QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(w.ExcludedRows(), std::vector<int>{12});
  EXPECT_EQ(w.Run().Result()->Summary.NrOfObjects, 39);
  QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_TRUE(w.ExcludedRows().empty());
  EXPECT_EQ(t.Line(), "");
  EXPECT_FALSE(w.Modified());
  QTest::keyClick(&w, Qt::Key_Y, Qt::ControlModifier);
  QTest::keyClick(&w, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(w.ExcludedRows(), (std::vector<int>{9, 12}));
  EXPECT_EQ(t.Line(), std::string(ExcludedLine) + "2");
  EXPECT_TRUE(t.Errors.empty());
}

TEST(MainWindowExclusion, TheSetMovesWithItsRowsAndALoadClearsIt)
{
  TExcludeWindow t;
  TFrmMLRCalc& w = *t.W;
  w.PageControl1->setCurrentWidget(w.TSData);
  QApplication::processEvents();
  t.SelectRows(5, 5);
  w.ExcludeSelectedObjects();
  t.SelectRows(10, 10);
  w.ExcludeSelectedObjects();
  ASSERT_EQ(w.ExcludedRows(), (std::vector<int>{5, 10}));
  const double actual5 = w.NTData->Elem(6, 5);

  // A row inserted above: the rows move down. With its target emptied the new row counts as
  // missing, listed before the excluded ones in the report.
  w.NTData->InsertRow(2);
  QApplication::processEvents();
  w.NTData->DataTable().SetCellState(6, 2, csEmpty);
  QApplication::processEvents();
  EXPECT_EQ(w.ExcludedRows(), (std::vector<int>{6, 11}));
  EXPECT_EQ(w.NTData->Elem(6, 6), actual5);
  const std::vector<std::string> lines = w.DetailsLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Number of Objects .............: 38");
  EXPECT_EQ(lines[1], "Objects with Missing Values ...: 1");
  EXPECT_EQ(lines[2], std::string(ExcludedLine) + "2");
  EXPECT_EQ(w.Run().Result()->ExcludedRows, (std::vector<int>{6, 11}));

  // Deleting rows above moves them up; deleting an excluded row takes it out of the set.
  w.NTData->DeleteRow(1);
  QApplication::processEvents();
  EXPECT_EQ(w.ExcludedRows(), (std::vector<int>{5, 10}));
  w.NTData->DeleteRow(5);
  QApplication::processEvents();
  EXPECT_EQ(w.ExcludedRows(), std::vector<int>{9});
  EXPECT_EQ(t.Line(), std::string(ExcludedLine) + "1");

  // A load starts afresh.
  const std::string file = mainfrm_test::WriteFile("exclude.asc", "e\n2\n4\nFALSE TRUE FALSE FALSE\nA B\n1 2\n2 3\n3 5\n4 4\n");
  w.OpenDataFile(file);
  QApplication::processEvents();
  EXPECT_TRUE(w.ExcludedRows().empty());
  EXPECT_FALSE(w.SButIncludeAll->isEnabled());
  EXPECT_TRUE(t.Errors.empty());
}

// An excluded row that is deleted and brought back by undo is excluded again, with the fit and
// the report; redo takes it away again; a row inserted above moves the exclusion, and undoing
// the insertion moves it back. All through the editor's row menu and the keys.
TEST(MainWindowExclusion, UndoBringsADeletedRowBackWithItsExclusion)
{
  TExcludeWindow t;
  TFrmMLRCalc& w = *t.W;
  w.PageControl1->setCurrentWidget(w.TSData);
  QApplication::processEvents();
  const std::string name7 = w.NTData->DataTable().RowName(7);
  t.SelectRows(7, 7);
  t.RowHeadingCommand(7, ExcludeSelectedText);
  t.SelectRows(20, 20);
  t.RowHeadingCommand(20, ExcludeSelectedText);
  ASSERT_EQ(w.ExcludedRows(), (std::vector<int>{7, 20}));
  const std::vector<double> without7and20 = FitWithout({7, 20});

  t.RowHeadingCommand(7, "Delete Row");
  EXPECT_EQ(w.ExcludedRows(), std::vector<int>{19});
  EXPECT_EQ(t.Line(), std::string(ExcludedLine) + "1");
  EXPECT_EQ(w.Run().Result()->Summary.NrOfObjects, 38);

  QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_EQ(w.NTData->DataTable().RowName(7), name7);
  EXPECT_EQ(w.ExcludedRows(), (std::vector<int>{7, 20}));
  EXPECT_EQ(t.Line(), std::string(ExcludedLine) + "2");
  EXPECT_EQ(w.Run().Result()->ExcludedRows, (std::vector<int>{7, 20}));
  const std::vector<double> coef = w.Run().Result()->Coefficients;
  ASSERT_EQ(coef.size(), without7and20.size());
  for (std::size_t j = 0; j < coef.size(); ++j)
    EXPECT_NEAR(coef[j], without7and20[j], 1e-9 * (1 + std::abs(without7and20[j]))) << j;
  // Greyed again: the cell of row 7 is painted in the excluded rows' background.
  const TRect cell = w.NTData->CellRect(w.NTData->FixedCols() + 1, 7 + w.NTData->FixedRows() - 1);
  const QImage shot = w.NTData->viewport()->grab().toImage();
  EXPECT_EQ(shot.pixel(cell.Left + 2, cell.Bottom - 2) & 0xFFFFFF, 0xEEEEEEu);

  QTest::keyClick(&w, Qt::Key_Y, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_EQ(w.ExcludedRows(), std::vector<int>{19});
  EXPECT_EQ(t.Line(), std::string(ExcludedLine) + "1");
  QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
  QApplication::processEvents();
  ASSERT_EQ(w.ExcludedRows(), (std::vector<int>{7, 20}));

  // A row inserted at row 7 moves both down; undo puts them back, redo moves them again.
  t.RowHeadingCommand(7, "Insert Row");
  EXPECT_EQ(w.ExcludedRows(), (std::vector<int>{8, 21}));
  EXPECT_EQ(w.NTData->DataTable().RowName(8), name7);
  QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_EQ(w.ExcludedRows(), (std::vector<int>{7, 20}));
  QTest::keyClick(&w, Qt::Key_Y, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_EQ(w.ExcludedRows(), (std::vector<int>{8, 21}));
  EXPECT_EQ(t.Line(), std::string(ExcludedLine) + "2");

  // Back through every step to the table as loaded: nothing excluded.
  for (int i = 0; i < 6; ++i)
    QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_TRUE(w.ExcludedRows().empty());
  EXPECT_FALSE(w.Modified());
  EXPECT_EQ(t.Line(), "");
  EXPECT_TRUE(t.Errors.empty());
}
