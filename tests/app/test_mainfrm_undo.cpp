// Undo and redo, unsaved changes and the refit in the main window, driven with real mouse and key
// events: every edit command of the table editor is one step that Ctrl+Z, Ctrl+Y, Ctrl+Shift+Z
// and the tool-strip buttons take back and make again; the caption and the question before
// closing follow the history's clean state; an edit of a role column runs the fit again, once
// per event; roles stay on their columns when columns come and go.
#include "mainfrm_testutil.h"

#include "../widgets/ntabed_test_util.h"
#include "data/table_dump.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"
#include "tablehistory.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest/QTest>
#include <QUndoStack>
#include <gtest/gtest.h>

using namespace orvex;
using mainfrm_test::SendMouse;
using mainfrm_test::TShownWindow;

namespace {

std::string TableText(TFrmMLRCalc& W)
{
  return orvex_test::DumpWhole(W.NTData->DataTable());
}

// The window on its data page, active (so that its shortcuts answer), menus opening nowhere.
struct TDataWindow : TShownWindow {
  TNTabEd& E;
  TDataWindow() : E(*W->NTData)
  {
    W->PageControl1->setCurrentWidget(W->TSData);
    QApplication::setActiveWindow(W.get());
    E.PopupHook = [](QMenu*, const QPoint&) {};
    E.setFocus();
    QApplication::processEvents();
  }
  // The centre of a grid cell in the editor's viewport.
  QPoint GridPoint(int ACol, int ARow) const
  {
    const TRect r = E.CellRect(ACol, ARow);
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
  QPoint DataPoint(int Col, int Row) const { return GridPoint(Col + 1, Row); }  // attribute column shown
  void ClickCell(int Col, int Row) { mainfrm_test::Click(E.viewport(), DataPoint(Col, Row)); }
  void DragCells(int Col1, int Row1, int Col2, int Row2)
  {
    SendMouse(E.viewport(), QEvent::MouseButtonPress, DataPoint(Col1, Row1));
    SendMouse(E.viewport(), QEvent::MouseMove, DataPoint(Col2, Row2));
    SendMouse(E.viewport(), QEvent::MouseButtonRelease, DataPoint(Col2, Row2));
  }
  void RightClick(int ACol, int ARow)
  {
    SendMouse(E.viewport(), QEvent::MouseButtonPress, GridPoint(ACol, ARow), Qt::RightButton);
    SendMouse(E.viewport(), QEvent::MouseButtonRelease, GridPoint(ACol, ARow), Qt::RightButton);
  }
  // A heading command (HIt1..HIt5) on a header cell, chosen from its popup menu.
  void HeadingCommand(int ACol, int ARow, int Item)
  {
    RightClick(ACol, ARow);
    E.HeadItem(Item)->trigger();
  }
  // A key with modifiers to the focused widget, through the shortcut map as a key from the system.
  void Key(Qt::Key K, Qt::KeyboardModifiers Mods)
  {
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &E;
    QTest::keyClick(focus, K, Mods);
  }
  // Roles chosen by clicks on the variable list's boxes (the regression page stays open).
  void ChooseRoles(std::initializer_list<int> Inputs, int Target)
  {
    W->PageControl1->setCurrentWidget(W->TSMLR);
    for (int c : Inputs)
      ClickBox(2, c);
    ClickBox(3, Target);
  }
  // "Load Data" clicked, the file written with Content chosen in the dialog.
  void LoadWithButton(const std::string& Name, const std::string& Content)
  {
    const std::string file = mainfrm_test::WriteFile(Name, Content);
    W->ODiag.ExecuteHook = [file](TOpenDialog& D) {
      D.SetFileName(file);
      return true;
    };
    mainfrm_test::Click(W->SButLoadData, QPoint(20, 13));
    Settle();
  }
  // Lets the event that made a change finish (its undo step closes, the refit runs).
  static void Settle() { QApplication::processEvents(); }
};

}  // namespace

// Each command of the editor that changes the table, made with the mouse and keys, is one step:
// undone, the table is as before; redone, as after. The steps stack up: at the end everything is
// undone back to the untouched demonstration data, and the caption reads exactly as at start.
TEST(MainWindowUndo, EveryEditCommandIsOneStepUndoneAndRedone)
{
  TDataWindow t;
  TFrmMLRCalc& w = *t.W;
  TNTabEd& e = t.E;
  const std::string demo = TableText(w);
  EXPECT_EQ(w.windowTitle(), "Multiple Linear Regression");
  EXPECT_FALSE(w.SButUndo->isEnabled());

  struct TCase {
    const char* Name;
    std::function<void()> Act;
  };
  const std::vector<TCase> cases = {
      {"typed value", [&] { t.ClickCell(2, 3); TypeText(e, "42.5"); PressEnter(e); }},
      {"paste", [&] {
         t.DragCells(1, 1, 2, 2);
         e.DataItem(7)->trigger();  // Copy
         t.ClickCell(3, 5);
         e.DataItem(8)->trigger();  // Paste
       }},
      {"extract from clipboard", [&] {
         QApplication::clipboard()->setText("1.5\t2.5\r\n3.5\t###\r\n");
         t.ClickCell(4, 7);
         e.DataItem(9)->trigger();
       }},
      {"clear", [&] { t.DragCells(1, 10, 3, 12); e.DataItem(6)->trigger(); }},
      {"mark A over a column", [&] { t.ClickCell(5, 2); e.ScopeItem(0, 2)->trigger(); }},
      {"mark B over a range", [&] { t.DragCells(5, 1, 6, 3); e.ScopeItem(1, 1)->trigger(); }},
      {"unmark type A", [&] { t.ClickCell(5, 1); e.ScopeItem(2, 4)->trigger(); }},
      {"unmark all", [&] { e.DataItem(5)->trigger(); }},
      {"toggle empty state", [&] { t.DragCells(2, 20, 3, 21); e.DataItem(12)->trigger(); }},
      {"reset all empty states", [&] { e.DataItem(13)->trigger(); }},
      {"insert column", [&] { t.HeadingCommand(3, 0, 4); }},
      {"delete column", [&] { t.HeadingCommand(2, 0, 5); }},
      {"insert row", [&] { t.HeadingCommand(0, 4, 4); }},
      {"delete row", [&] { t.HeadingCommand(0, 1, 5); }},
      {"column name", [&] {
         t.HeadingCommand(4, 0, 1);
         e.HeadingEditBox()->setText("Renamed");
         SendKey(e.HeadingEditBox(), Qt::Key_Return, "\r");
       }},
      {"row attribute", [&] {
         t.HeadingCommand(1, 6, 1);
         e.HeadingEditBox()->setText("7");
         SendKey(e.HeadingEditBox(), Qt::Key_Return, "\r");
       }},
      {"comment", [&] {
         t.RightClick(0, 0);
         ASSERT_TRUE(e.CommentMemo());
         e.CommentMemo()->setPlainText("Edited comment");
         SendKey(e.CommentMemo(), Qt::Key_Return, "\r");
       }},
  };
  int steps = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string before = TableText(w);
    c.Act();
    t.Settle();
    const std::string after = TableText(w);
    ASSERT_NE(after, before);
    ++steps;
    EXPECT_EQ(w.History().Stack().count(), steps);
    EXPECT_EQ(w.windowTitle(), "Demonstration data* - Multiple Linear Regression");
    t.Key(Qt::Key_Z, Qt::ControlModifier);
    t.Settle();
    EXPECT_EQ(TableText(w), before);
    t.Key(Qt::Key_Y, Qt::ControlModifier);
    t.Settle();
    EXPECT_EQ(TableText(w), after);
    mainfrm_test::Click(w.SButUndo, QPoint(13, 13));
    t.Settle();
    EXPECT_EQ(TableText(w), before);
    t.Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    t.Settle();
    EXPECT_EQ(TableText(w), after);
  }
  EXPECT_EQ(w.NTData->ColName(1), "(...)");  // the inserted column, moved by the delete, kept its name
  for (int k = 0; k < steps; ++k)
    w.Undo();
  t.Settle();
  EXPECT_EQ(TableText(w), demo);
  EXPECT_FALSE(w.Modified());
  EXPECT_EQ(w.windowTitle(), "Multiple Linear Regression");
  EXPECT_FALSE(w.SButUndo->isEnabled());
  EXPECT_TRUE(w.SButRedo->isEnabled());
}

// The clean state: a load starts a new, clean history with the file's name in the caption; an
// edit marks it; the state a save leaves is clean again, and undoing past it is a change.
TEST(MainWindowUndo, CleanStateFollowsLoadEditsAndSaves)
{
  TDataWindow t;
  TFrmMLRCalc& w = *t.W;
  t.ClickCell(1, 1);
  TypeText(t.E, "5");
  PressEnter(t.E);
  t.Settle();
  ASSERT_TRUE(w.Modified());
  t.LoadWithButton("undo_clean.asc", "c\n2\n3\nFALSE TRUE FALSE FALSE\nA B\n1 2\n3 4\n5 7\n");
  EXPECT_EQ(t.Asked, std::vector<std::string>{"Demonstration data"});  // answered Discard
  EXPECT_EQ(w.NTData->NrOfColumns(), 2);
  EXPECT_FALSE(w.Modified());
  EXPECT_EQ(w.History().Stack().count(), 0);
  EXPECT_EQ(w.windowTitle(), "undo_clean.asc - Multiple Linear Regression");

  t.ClickCell(2, 2);
  TypeText(t.E, "8");
  PressEnter(t.E);
  t.Settle();
  EXPECT_EQ(w.windowTitle(), "undo_clean.asc* - Multiple Linear Regression");
  mainfrm_test::Click(w.SButSaveData, QPoint(13, 13));  // back into the loaded file
  t.Settle();
  EXPECT_TRUE(t.Errors.empty());
  EXPECT_FALSE(w.Modified());
  EXPECT_EQ(w.windowTitle(), "undo_clean.asc - Multiple Linear Regression");
  t.Key(Qt::Key_Z, Qt::ControlModifier);  // past the save point
  t.Settle();
  EXPECT_TRUE(w.Modified());
  EXPECT_EQ(w.NTData->Elem(2, 2), 4);
  t.Key(Qt::Key_Y, Qt::ControlModifier);
  t.Settle();
  EXPECT_FALSE(w.Modified());
  // A loaded table edited and then loaded again asks with the file's name.
  t.ClickCell(1, 1);
  TypeText(t.E, "9");
  PressEnter(t.E);
  t.Settle();
  mainfrm_test::Click(w.SButLoadData, QPoint(20, 13));
  EXPECT_EQ(t.Asked.back(), "undo_clean.asc");
}

// "Save changes to NAME?": Cancel keeps the window open and the table as it is, Discard lets it
// go; the real box's close button means Cancel.
TEST(MainWindowUndo, PromptAnswersAndTheBoxCloseButton)
{
  TDataWindow t;
  TFrmMLRCalc& w = *t.W;
  EXPECT_TRUE(w.close());  // nothing to save: no question
  EXPECT_TRUE(t.Asked.empty());
  w.show();
  t.Settle();
  t.ClickCell(1, 2);
  TypeText(t.E, "3");
  t.Settle();  // still typing: the text in the cell editor counts as an edit too
  TSaveAnswer answer = TSaveAnswer::Cancel;
  w.AskSaveChanges = [&](const std::string& Name) {
    t.Asked.push_back(Name);
    return answer;
  };
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(t.Asked.size(), 1U);
  EXPECT_EQ(w.NTData->Elem(1, 2), 3);
  bool dialogShown = false;
  w.ODiag.ExecuteHook = [&](TOpenDialog&) { return dialogShown = true, false; };
  mainfrm_test::Click(w.SButLoadData, QPoint(20, 13));
  EXPECT_FALSE(dialogShown);  // Cancel: no load
  answer = TSaveAnswer::Discard;
  mainfrm_test::Click(w.SButLoadData, QPoint(20, 13));
  EXPECT_TRUE(dialogShown);
  EXPECT_TRUE(w.close());
  EXPECT_FALSE(w.isVisible());

  // Save: the close waits for the save; a save the user cancels keeps the window open.
  w.show();
  t.Settle();
  t.ClickCell(1, 3);
  TypeText(t.E, "4");
  PressEnter(t.E);
  t.Settle();
  answer = TSaveAnswer::Save;
  std::string saveAs;
  w.ExecuteSaveHook = [&](std::string& FileName) {
    FileName = saveAs;
    return !saveAs.empty();
  };
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.Modified());
  saveAs = mainfrm_test::WriteFile("undo_prompt.asc", "");
  EXPECT_TRUE(w.close());
  EXPECT_FALSE(w.Modified());
  EXPECT_EQ(w.DataFileName(), saveAs);

  // The real box, closed with its title bar's button (a close event) and with Escape.
  for (int way = 0; way < 2; ++way) {
    QTimer::singleShot(50, [way] {
      QWidget* box = QApplication::activeModalWidget();
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(static_cast<QMessageBox*>(box)->text(), "Save changes to data.csv?");
      if (way == 0)
        box->close();
      else
        QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(TFrmMLRCalc::AskSaveChangesBox(nullptr, "data.csv"), TSaveAnswer::Cancel);
  }
  QTimer::singleShot(50, [] {
    auto* box = static_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::Discard)->click();
  });
  EXPECT_EQ(TFrmMLRCalc::AskSaveChangesBox(nullptr, "data.csv"), TSaveAnswer::Discard);
}

TEST(MainWindowUndo, TextStillInTheHeadingBoxOrCommentMemoCountsForTheQuestion)
{
  // A name or comment typed but not yet confirmed with Enter is an edit: closing asks, and a
  // cancelled close keeps it stored.
  TDataWindow t;
  TFrmMLRCalc& w = *t.W;
  w.show();
  t.Settle();
  w.AskSaveChanges = [&](const std::string& Name) {
    t.Asked.push_back(Name);
    return TSaveAnswer::Cancel;
  };
  auto hasName = [&](const std::string& Name) {
    for (int c = 1; c <= w.NTData->DataTable().NrOfColumns(); ++c)
      if (w.NTData->DataTable().ColName(c) == Name)
        return true;
    return false;
  };
  t.HeadingCommand(4, 0, 1);
  ASSERT_TRUE(w.NTData->HeadingEditing());
  w.NTData->HeadingEditBox()->setText("Typed name");
  EXPECT_FALSE(w.close());
  EXPECT_EQ(t.Asked.size(), 1U);
  EXPECT_TRUE(hasName("Typed name"));
  EXPECT_FALSE(w.NTData->HeadingEditing());

  t.RightClick(0, 0);
  ASSERT_TRUE(w.NTData->CommentEditing());
  w.NTData->CommentMemo()->setPlainText("Typed comment");
  EXPECT_FALSE(w.close());
  EXPECT_EQ(t.Asked.size(), 2U);
  EXPECT_EQ(w.NTData->Comment(), "Typed comment");
  w.AskSaveChanges = [](const std::string&) { return TSaveAnswer::Discard; };
}

// The fit follows the data: an edit of a role column runs it again once its event has finished,
// a paste over several role cells runs it once, an edit elsewhere not at all; an edit that leaves
// no usable target takes the failure path; undo brings the old fit back.
TEST(MainWindowRefit, EditsOfRoleColumnsRunTheFitOncePerEvent)
{
  TDataWindow t;
  TFrmMLRCalc& w = *t.W;
  int reports = 0;
  QObject::connect(w.MMDetails, &QPlainTextEdit::textChanged, [&] { ++reports; });
  t.ChooseRoles({2}, 1);
  ASSERT_TRUE(w.Run().Succeeded());
  const int perRun = reports;  // what one run writes into the memo
  ASSERT_GT(perRun, 0);
  const std::string firstReport = w.DetailsLines().front();
  const auto firstResult = w.Run().Result();
  w.PageControl1->setCurrentWidget(w.TSData);
  t.Settle();

  // A column without a role: no run.
  reports = 0;
  t.ClickCell(4, 1);
  TypeText(t.E, "1000");
  PressEnter(t.E);
  t.Settle();
  EXPECT_EQ(reports, 0);
  EXPECT_EQ(w.Run().Result(), firstResult);

  // The target column: one run, after the event (the value is in the fit).
  t.ClickCell(1, 1);
  TypeText(t.E, "1000");
  EXPECT_EQ(reports, 0);
  PressEnter(t.E);
  EXPECT_EQ(reports, 0);  // not inside the event that made the change
  t.Settle();
  w.CompleteFit();  // the fit's second step, posted after its paint
  EXPECT_EQ(reports, perRun);
  EXPECT_NE(w.Run().Result(), firstResult);
  EXPECT_NE(w.DetailsLines(), std::vector<std::string>{firstReport});

  // A paste over both role columns, 3 rows: still one run.
  reports = 0;
  QApplication::clipboard()->setText("1\t2\r\n3\t4\r\n5\t7\r\n");
  t.ClickCell(1, 5);
  t.E.DataItem(9)->trigger();
  t.Settle();
  w.CompleteFit();
  EXPECT_EQ(reports, perRun);

  // Undo of the typed target value brings the first fit's numbers back.
  w.Undo();
  w.Undo();
  t.Settle();
  EXPECT_EQ(w.DetailsLines().front(), firstReport);
  EXPECT_TRUE(w.Run().Succeeded());

  // Every target cell empty: the run fails, the charts go, the memo says why.
  t.HeadingCommand(1 + 1, 0, 3);  // Select Column
  t.E.DataItem(12)->trigger();     // Toggle Empty State
  t.Settle();
  EXPECT_FALSE(w.Run().Succeeded());
  EXPECT_TRUE(w.RCFit->isHidden());
  EXPECT_EQ(w.DetailsLines(), std::vector<std::string>{w.Run().ErrorText()});
  t.Key(Qt::Key_Z, Qt::ControlModifier);
  t.Settle();
  EXPECT_TRUE(w.Run().Succeeded());
  EXPECT_FALSE(w.RCFit->isHidden());
}

// Inserting, deleting and renaming columns keep every role on its column; deleting the target
// leaves the roles incomplete (charts hidden); only a load clears the roles.
TEST(MainWindowRefit, RolesStayOnTheirColumns)
{
  TDataWindow t;
  TFrmMLRCalc& w = *t.W;
  t.ChooseRoles({2, 3}, 5);
  ASSERT_TRUE(w.Run().Succeeded());
  const std::string report = w.DetailsLines().front();
  w.PageControl1->setCurrentWidget(w.TSData);
  t.Settle();
  auto roles = [&w] {
    std::string s;
    for (int c = 1; c <= w.RLVarSel->NrOfRows(); ++c)
      s += w.RLVarSel->Checked(2, c) ? 'I' : w.RLVarSel->Checked(3, c) ? 'T' : '-';
    return s;
  };
  ASSERT_EQ(roles(), "-II-T-");

  t.HeadingCommand(1 + 1, 0, 4);  // insert before column 1
  t.Settle();
  EXPECT_EQ(roles(), "--II-T-");
  EXPECT_FALSE(w.RCFit->isHidden());
  EXPECT_EQ(w.DetailsLines().front(), report);  // the same fit, run again on the moved columns
  t.HeadingCommand(3 + 1, 0, 1);  // rename an input
  w.NTData->HeadingEditBox()->setText("Renamed input");
  SendKey(w.NTData->HeadingEditBox(), Qt::Key_Return, "\r");
  t.Settle();
  EXPECT_EQ(roles(), "--II-T-");
  EXPECT_EQ(w.RLVarSel->CellText(1, 3), "3 - Renamed input");
  t.HeadingCommand(5 + 1, 0, 5);  // delete the column between the inputs and the target
  t.Settle();
  EXPECT_EQ(roles(), "--IIT-");
  EXPECT_TRUE(w.Run().Succeeded());
  t.Key(Qt::Key_Z, Qt::ControlModifier);  // the column comes back; the roles move with it
  t.Settle();
  EXPECT_EQ(roles(), "--II-T-");
  t.HeadingCommand(6 + 1, 0, 5);  // delete the target
  t.Settle();
  EXPECT_EQ(roles(), "--II--");
  EXPECT_TRUE(w.RCFit->isHidden());

  t.LoadWithButton("undo_roles.asc", "r\n6\n3\nFALSE FALSE FALSE FALSE\n1 2 3 4 5 6\n2 3 4 5 6 1\n3 4 5 6 1 2\n");
  EXPECT_EQ(roles(), "------");
}

// "Add Estimates to Table" is a step too: undo takes the columns out, redo puts them back.
TEST(MainWindowRefit, AddEstimatesIsOneStep)
{
  TDataWindow t;
  TFrmMLRCalc& w = *t.W;
  t.ChooseRoles({2}, 1);
  const std::string before = TableText(w);
  ASSERT_TRUE(w.AddEstimatesToTable(false));
  t.Settle();
  const std::string after = TableText(w);
  EXPECT_EQ(w.NTData->NrOfColumns(), 8);
  EXPECT_EQ(w.History().Stack().count(), 1);
  w.Undo();
  t.Settle();
  EXPECT_EQ(TableText(w), before);
  EXPECT_TRUE(w.RLVarSel->Checked(3, 1));
  w.Redo();
  t.Settle();
  EXPECT_EQ(TableText(w), after);
  // A second add replaces the first one's columns; undone, the first ones are back.
  ASSERT_TRUE(w.AddEstimatesToTable(true));
  t.Settle();
  EXPECT_EQ(w.NTData->NrOfColumns(), 12);
  w.Undo();
  t.Settle();
  EXPECT_EQ(TableText(w), after);
}
