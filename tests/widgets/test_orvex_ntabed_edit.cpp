// TNTabEd: typing into cells, the click and key rules, the popup menus and their commands, the
// clipboard, and the text scanners behind Extract from Clipboard. Keys and clicks are sent as
// real Qt events; menus open through the editor's popup hook.
#include "ntabed_test_util.h"
#include "orvex_stringl.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace orvex;

namespace {

struct TEditFixture : ::testing::Test {
  TNTabEd E;
  std::vector<std::pair<QMenu*, QPoint>> Popups;
  std::vector<std::string> Messages;
  TEditorLog Log;

  void SetUp() override
  {
    E.setFrameShape(QFrame::NoFrame);
    E.resize(700, 400);
    E.Resize(4, 6);
    E.PopupHook = [this](QMenu* M, const QPoint& P) { Popups.push_back({M, P}); };
    E.ShowMessageHook = [this](const std::string& M) { Messages.push_back(M); };
  }
  // Makes data cell (Col, Row) current, as a click there would.
  void Select(int Col, int Row) { E.SetSelection({Col + 1, Row, Col + 1, Row}); }
  void SelectBlock(int L, int T, int R, int B) { E.SetSelection({L + 1, T, R + 1, B}); }
  void TypeInto(int Col, int Row, const std::string& Text)
  {
    Select(Col, Row);
    TypeText(E, Text);
    PressEnter(E);
  }
};

}  // namespace

TEST_F(TEditFixture, TypedNumbersAreStoredClampedOrMarkedNotANumber)
{
  TypeInto(1, 1, "3,5");
  EXPECT_EQ(E.Elem(1, 1), 3.5);
  EXPECT_EQ(E.CellState(1, 1), 0);
  // Enter moved the current cell down (AutoAdvance, orVert).
  EXPECT_EQ(E.Row(), 2);
  EXPECT_EQ(E.Col(), 2);

  TypeInto(1, 2, "-1.25e2");
  EXPECT_EQ(E.Elem(1, 2), -125);

  E.SetVRangeLow(0);
  E.SetVRangeHigh(10);
  TypeInto(2, 1, "12");
  TypeInto(2, 2, "-1");
  EXPECT_EQ(E.Elem(2, 1), 10);
  EXPECT_EQ(E.Elem(2, 2), 0);
  E.SetVRangeHigh(0);
  E.SetVRangeLow(0);
  TypeInto(2, 3, "12");
  EXPECT_EQ(E.Elem(2, 3), 12);

  // Not numbers: bit 0 set, the value kept; a later number clears bit 0 again.
  E.SetElem(3, 1, 4);
  for (const char* bad : {"abc", "1e999", "1.2.3", "-"}) {
    TypeInto(3, 1, bad);
    EXPECT_EQ(E.Elem(3, 1), 4) << bad;
    EXPECT_EQ(E.CellState(3, 1), csNotANumber) << bad;
  }
  TypeInto(3, 1, "7");
  EXPECT_EQ(E.CellState(3, 1), 0);

  // An empty cell takes the number but stays empty.
  E.SetCellState(4, 1, csEmpty);
  TypeInto(4, 1, "9");
  EXPECT_EQ(E.Elem(4, 1), 9);
  EXPECT_EQ(E.CellState(4, 1), csEmpty);

  // AutoAdvance across, and off.
  E.SetAutoAdvanceDir(orHoriz);
  TypeInto(1, 4, "1");
  EXPECT_EQ(E.Col(), 3);
  EXPECT_EQ(E.Row(), 4);
  E.SetAutoAdvance(false);
  Select(1, 5);
  PressEnter(E);
  EXPECT_TRUE(E.EditorMode());
  EXPECT_EQ(E.Row(), 5);
}

TEST_F(TEditFixture, LevelColumnsEditWithTheirLabels)
{
  TDataTable& T = E.DataTable();
  T.SetVarType(2, vtNominal);
  T.SetLevelName(2, 0, "small");
  T.SetLevelName(2, 3, "large");
  T.SetLevelName(2, 1, "mid");
  E.SetElem(2, 1, 3);

  // The drop-down offers the labels in level order and starts with the cell's label.
  Select(2, 1);
  E.ShowEditor();
  ASSERT_NE(E.InplacePickList(), nullptr);
  QComboBox* list = E.InplacePickList();
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->itemText(0), "small");
  EXPECT_EQ(list->itemText(1), "mid");
  EXPECT_EQ(list->itemText(2), "large");
  EXPECT_EQ(E.InplaceEditor()->text(), "large");
  E.HideEditor(false);

  E.SetCellState(2, 1, csMarkA | csNotANumber);
  TypeInto(2, 1, "SMALL");
  EXPECT_EQ(E.Elem(2, 1), 0);
  EXPECT_EQ(E.CellState(2, 1), 0);  // a level found clears the whole state
  E.SetCellState(2, 2, csMarkA | csNotANumber);
  TypeInto(2, 2, "7");
  EXPECT_EQ(E.Elem(2, 2), 7);
  EXPECT_EQ(E.CellState(2, 2), csMarkA);  // a number clears bit 0 only
  for (const char* bad : {"huge", "99999999999", "2.5", "1e3"}) {
    TypeInto(2, 2, bad);
    EXPECT_EQ(E.Elem(2, 2), 7) << bad;
    EXPECT_EQ(E.CellState(2, 2), csMarkA | csNotANumber) << bad;
  }
  // Bounds are rounded for level columns.
  E.SetVRangeLow(0.4);
  E.SetVRangeHigh(2.6);
  TypeInto(2, 3, "large");
  EXPECT_EQ(E.Elem(2, 3), 3);
  TypeInto(2, 4, "9");
  EXPECT_EQ(E.Elem(2, 4), 3);
  // The editor starts with the number when no label exists.
  Select(2, 2);
  EXPECT_EQ(E.InplaceEditor(), nullptr);
  E.ShowEditor();
  EXPECT_EQ(E.InplaceEditor()->text(), "7");
}

TEST_F(TEditFixture, EditingPermissionClicksKeysAndReadOnly)
{
  const QPoint a = CellCentre(E, 2, 2);
  const QPoint b = CellCentre(E, 3, 2);
  Click(E, a);
  EXPECT_FALSE(E.EditorMode());
  Click(E, b);  // a new cell: selected, not edited
  EXPECT_FALSE(E.EditorMode());
  Click(E, b);  // the second press on the same cell edits
  EXPECT_TRUE(E.EditorMode());
  // Escape closes without storing.
  E.SetElem(2, 2, 5);
  E.InplaceEditor()->setText("77");
  SendKey(E.InplaceEditor(), Qt::Key_Escape);
  EXPECT_FALSE(E.EditorMode());
  EXPECT_EQ(E.Elem(2, 2), 5);

  // Typing after a click edits at once.
  Click(E, a);
  TypeText(E, "4");
  EXPECT_TRUE(E.EditorMode());
  PressEnter(E);
  EXPECT_EQ(E.Elem(1, 2), 4);

  // A read-only cell ignores typing and second clicks.
  E.SetCellState(1, 3, csReadOnly);
  Click(E, CellCentre(E, 2, 3));
  Click(E, CellCentre(E, 2, 3));
  EXPECT_FALSE(E.EditorMode());
  TypeText(E, "8");
  EXPECT_FALSE(E.EditorMode());
  EXPECT_EQ(E.Elem(1, 3), 0);
  SendKey(&E, Qt::Key_Down);  // arrows still move on
  EXPECT_EQ(E.Row(), 4);

  // The whole table read-only: typing does nothing, an open editor closes.
  Select(2, 5);
  TypeText(E, "3");
  ASSERT_TRUE(E.EditorMode());
  E.SetDataReadOnly(true);
  EXPECT_FALSE(E.EditorMode());
  TypeText(E, "6");
  PressEnter(E);
  EXPECT_FALSE(E.EditorMode());
  EXPECT_EQ(E.Elem(2, 5), 0);
  E.SetDataReadOnly(false);
  TypeInto(2, 5, "6");
  EXPECT_EQ(E.Elem(2, 5), 6);

  // Tab moves between cells even when the owner sets options without it.
  E.SetOptions(TGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect, goColSizing});
  Select(1, 1);
  SendKey(&E, Qt::Key_Tab, "\t");
  EXPECT_EQ(E.Col(), 3);
}

TEST_F(TEditFixture, KeysAndWheelReportTheSelection)
{
  Log.Attach(E);
  Select(1, 1);
  Log.Events.clear();
  SendKey(&E, Qt::Key_Down);
  SendKey(&E, Qt::Key_Right, QString(), Qt::ShiftModifier);
  EXPECT_EQ(Log.Events, (std::vector<std::string>{"Selection", "Selection"}));
  EXPECT_EQ(E.Selection(), (TGridRect{2, 2, 3, 2}));
  // Mouse moves report only real changes.
  Log.Events.clear();
  Mouse(E, QEvent::MouseMove, Qt::NoButton, CellCentre(E, 4, 4));
  EXPECT_TRUE(Log.Events.empty());
}

TEST_F(TEditFixture, DataMenuItemsStatesAndPlacement)
{
  QApplication::clipboard()->clear();
  const QPoint p = CellCentre(E, 3, 3);
  QMenu* seen = nullptr;
  E.OnBeforePopup = [&](TObject*, QMenu* M) { seen = M; };
  Click(E, p, Qt::RightButton);
  ASSERT_EQ(Popups.size(), 1u);
  EXPECT_EQ(Popups[0].first, E.PopupDTAction());
  EXPECT_EQ(seen, E.PopupDTAction());
  EXPECT_EQ(Popups[0].second, E.viewport()->mapToGlobal(p + QPoint(10, -20)));

  // clang-format off
  const char* captions[] = {"Mark as type A", "Mark as type B", "Unmark type A", "Unmark type B", "Unmark All",
                            "Clear", "Copy", "Paste", "Extract from Clipboard", "Data Read-Only", "Select All",
                            "Toggle Empty State", "Reset All Empty States"};
  // clang-format on
  for (int i = 1; i <= 13; ++i) {
    EXPECT_EQ(E.DataItem(i)->text().toStdString(), captions[i - 1]);
    EXPECT_EQ(E.DataItem(i)->objectName(), QString("DIt%1").arg(i));
  }
  const char* sub[] = {"M1It", "M2It", "U1It", "U2It"};
  const char* scopes[] = {"Range", "Column", "Row", "All"};
  for (int m = 0; m < 4; ++m) {
    ASSERT_NE(E.DataItem(m + 1)->menu(), nullptr);
    for (int i = 1; i <= 4; ++i) {
      EXPECT_EQ(E.ScopeItem(m, i)->objectName(), QString("%1%2").arg(sub[m]).arg(i));
      EXPECT_EQ(E.ScopeItem(m, i)->text().toStdString(), scopes[i - 1]);
    }
  }
  EXPECT_FALSE(E.DataItem(8)->isEnabled());  // Paste before any Copy, with no text to read
  EXPECT_TRUE(E.DataItem(6)->isEnabled());
  EXPECT_TRUE(E.DataItem(9)->isEnabled());
  const QImage empty = E.DataItem(10)->icon().pixmap(16, 16).toImage();

  E.CopySelection();
  E.SetDataReadOnly(true);
  Click(E, p, Qt::RightButton);
  EXPECT_FALSE(E.DataItem(8)->isEnabled());
  EXPECT_FALSE(E.DataItem(6)->isEnabled());
  EXPECT_FALSE(E.DataItem(9)->isEnabled());
  const QImage checked = E.DataItem(10)->icon().pixmap(16, 16).toImage();
  EXPECT_FALSE(checked.isNull());
  EXPECT_NE(checked, empty);
  E.SetDataReadOnly(false);
  Click(E, p, Qt::RightButton);
  EXPECT_TRUE(E.DataItem(8)->isEnabled());

  // Blocked, or replaced by the owner's menu.
  const std::size_t before = Popups.size();
  E.SetBlockInternalPopup(true);
  Click(E, p, Qt::RightButton);
  Click(E, CellCentre(E, 0, 0), Qt::RightButton);
  EXPECT_EQ(Popups.size(), before);
  EXPECT_FALSE(E.CommentEditing());
  QMenu own;
  E.SetPopupMenu(&own);
  Click(E, p, Qt::RightButton);
  ASSERT_EQ(Popups.size(), before + 1);
  EXPECT_EQ(Popups.back().first, &own);
}

TEST_F(TEditFixture, HeadingMenuCaptionsAndCommands)
{
  Log.Attach(E);
  Click(E, CellCentre(E, 3, 0), Qt::RightButton);  // data column 2
  ASSERT_EQ(Popups.size(), 1u);
  EXPECT_EQ(Popups[0].first, E.PopupHTAction());
  const TRect r = E.CellRect(3, 0);
  EXPECT_EQ(Popups[0].second, E.viewport()->mapToGlobal(QPoint(r.Left + 20, r.Top + 20)));
  EXPECT_EQ(E.HeadItem(3)->text(), "Select Column");
  EXPECT_EQ(E.HeadItem(4)->text(), "Insert Column");
  EXPECT_EQ(E.HeadItem(5)->text(), "Delete Column");
  EXPECT_TRUE(E.HeadItem(2)->isEnabled());
  // The header is drawn inverted while its menu is open.
  const TColor fixed = ColorToRGB(clBtnFace);
  EXPECT_EQ(PixelAt(Grab(E), r.Left + 1, r.Top + 1), fixed ^ 0xFFFFFFu);
  emit E.PopupHTAction()->aboutToHide();
  EXPECT_EQ(PixelAt(Grab(E), r.Left + 1, r.Top + 1), fixed);

  Click(E, CellCentre(E, 0, 2), Qt::RightButton);  // row name of data row 2
  EXPECT_EQ(E.HeadItem(3)->text(), "Select Row");
  EXPECT_EQ(E.HeadItem(4)->text(), "Insert Row");
  EXPECT_EQ(E.HeadItem(5)->text(), "Delete Row");
  EXPECT_FALSE(E.HeadItem(2)->isEnabled());
  E.HeadItem(3)->trigger();
  EXPECT_EQ(E.Selection(), (TGridRect{2, 2, 5, 2}));
  E.SetDataReadOnly(true);
  Click(E, CellCentre(E, 1, 2), Qt::RightButton);  // row attribute cell
  EXPECT_FALSE(E.HeadItem(4)->isEnabled());
  EXPECT_FALSE(E.HeadItem(5)->isEnabled());
  E.HeadItem(4)->trigger();  // disabled items do not run; the command refuses anyway
  E.InsertHeading(1, 2);
  EXPECT_EQ(E.NrOfRows(), 6);
  E.SetDataReadOnly(false);

  // Insert Column on column 2: a new column 2 named "(...)", the old one moves to 3.
  E.SetColName(2, "B");
  E.SetColPrecision(2, 5);
  Log.Events.clear();
  Click(E, CellCentre(E, 3, 0), Qt::RightButton);
  E.HeadItem(4)->trigger();
  EXPECT_EQ(E.NrOfColumns(), 5);
  EXPECT_EQ(E.ColName(2), "(...)");
  EXPECT_EQ(E.ColName(3), "B");
  EXPECT_EQ(E.ColPrecision(3), 5);
  EXPECT_EQ(Log.WithoutSelection(), (std::vector<std::string>{"Setup", "Heading"}));
  // Select Column, then Delete Column removes the new one again.
  E.HeadItem(3)->trigger();
  EXPECT_EQ(E.Selection(), (TGridRect{3, 1, 3, 6}));
  E.HeadItem(5)->trigger();
  EXPECT_EQ(E.ColName(2), "B");
  EXPECT_EQ(E.NrOfColumns(), 4);
  // Never the last column or row.
  E.Resize(1, 1);
  E.DeleteHeading(2, 0);
  E.DeleteHeading(0, 1);
  EXPECT_EQ(E.NrOfColumns(), 1);
  EXPECT_EQ(E.NrOfRows(), 1);
}

TEST_F(TEditFixture, ChangePrecisionCyclesAndReopensTheMenu)
{
  E.SetColPrecision(1, 1);
  Click(E, CellCentre(E, 2, 0), Qt::RightButton);
  Log.Attach(E);
  std::vector<int> steps;
  for (int i = 0; i < 3; ++i) {
    E.HeadItem(2)->trigger();
    steps.push_back(E.ColPrecision(1));
  }
  EXPECT_EQ(steps, (std::vector<int>{0, -1, 10}));
  EXPECT_EQ(Popups.size(), 4u);  // the right-click and once per step
  EXPECT_EQ(Popups[3].second, Popups[0].second);
  EXPECT_EQ(Log.WithoutSelection(), (std::vector<std::string>{"Layout", "Layout", "Layout"}));
}

TEST_F(TEditFixture, HeadingEditBoxStoresNamesAndAttributes)
{
  Log.Attach(E);
  E.EditHeading(2, 0);
  ASSERT_TRUE(E.HeadingEditing());
  QLineEdit* box = E.HeadingEditBox();
  const TRect r = E.CellRect(2, 0);
  EXPECT_EQ(box->geometry().topLeft(), QPoint(r.Left + 30, r.Bottom + 5));
  EXPECT_EQ(box->text().toStdString(), E.ColName(1));
  // Presses in the grid are ignored meanwhile.
  Click(E, CellCentre(E, 4, 4));
  EXPECT_EQ(E.Col(), 2);
  box->setText("Length");
  SendKey(box, Qt::Key_Return, "\r");
  EXPECT_FALSE(E.HeadingEditing());
  EXPECT_FALSE(box->isVisible());
  EXPECT_EQ(E.ColName(1), "Length");
  EXPECT_EQ(Log.WithoutSelection(), (std::vector<std::string>{"Heading"}));

  Log.Events.clear();
  E.EditHeading(1, 3);  // row attribute of data row 3
  box->setText("300");
  SendKey(box, Qt::Key_Return, "\r");
  EXPECT_EQ(E.RowAttrib(3), 255);
  E.EditHeading(1, 3);
  EXPECT_EQ(box->text(), "255");
  box->setText("12,6");
  SendKey(box, Qt::Key_Return, "\r");
  EXPECT_EQ(E.RowAttrib(3), 13);
  E.EditHeading(1, 3);
  box->setText("many");
  SendKey(box, Qt::Key_Return, "\r");
  EXPECT_EQ(E.RowAttrib(3), 13);
  E.EditHeading(0, 2);
  box->setText("ignored");
  SendKey(box, Qt::Key_Escape);
  EXPECT_NE(E.RowName(2), "ignored");
  EXPECT_EQ(Log.WithoutSelection(), (std::vector<std::string>{"Attribute", "Heading", "Attribute", "Heading"}));
}

TEST_F(TEditFixture, CommentMemoStoresTheCommentWithoutLineBreaks)
{
  E.SetComment("old");
  Log.Attach(E);
  Click(E, CellCentre(E, 0, 0), Qt::RightButton);
  ASSERT_TRUE(E.CommentEditing());
  QPlainTextEdit* memo = E.CommentMemo();
  EXPECT_TRUE(memo->isVisible() || !E.isVisible());
  EXPECT_EQ(memo->toPlainText(), "old");
  EXPECT_EQ(memo->geometry(), QRect(E.ColWidths(0), 0, E.ClientWidth() - E.ColWidths(0) - 20, 80));
  memo->setPlainText("first line\nsecond");
  SendKey(memo, Qt::Key_Return, "\r");
  EXPECT_FALSE(E.CommentEditing());
  EXPECT_EQ(E.Comment(), "first linesecond");
  EXPECT_EQ(Log.WithoutSelection(), (std::vector<std::string>{"Setup", "Change"}));
  // A press on the corner cancels.
  Click(E, CellCentre(E, 0, 0), Qt::RightButton);
  memo->setPlainText("dropped");
  Mouse(E, QEvent::MouseButtonPress, Qt::LeftButton, CellCentre(E, 0, 0));
  EXPECT_FALSE(E.CommentEditing());
  EXPECT_EQ(E.Comment(), "first linesecond");
}

TEST_F(TEditFixture, MarkClearAndEmptyStateCommands)
{
  Log.Attach(E);
  SelectBlock(2, 2, 3, 3);
  E.ScopeItem(0, 1)->trigger();  // mark A, range
  EXPECT_EQ(E.CellState(2, 2), csMarkA);
  EXPECT_EQ(E.CellState(3, 3), csMarkA);
  EXPECT_EQ(E.CellState(1, 2), 0);
  E.ScopeItem(1, 2)->trigger();  // mark B, columns 2..3
  EXPECT_EQ(E.CellState(2, 6), csMarkB);
  EXPECT_EQ(E.CellState(1, 6), 0);
  E.ScopeItem(2, 3)->trigger();  // unmark A, rows 2..3
  EXPECT_EQ(E.CellState(2, 2), csMarkB);
  E.ScopeItem(0, 4)->trigger();  // mark A, all
  EXPECT_EQ(E.CellState(4, 6), csMarkA);
  E.ScopeItem(3, 4)->trigger();  // unmark B, all
  EXPECT_EQ(E.CellState(2, 6), csMarkA);
  E.DataItem(5)->trigger();  // unmark all
  EXPECT_EQ(E.CellState(4, 6), 0);
  EXPECT_EQ(Log.WithoutSelection(), std::vector<std::string>(6, "CellState"));

  // Marking works while read-only.
  E.SetDataReadOnly(true);
  E.MarkCells(csMarkA, true, TNTabEd::scRange);
  EXPECT_EQ(E.CellState(2, 2), csMarkA);
  E.SetElem(2, 2, 5);
  E.ClearSelection();
  EXPECT_EQ(E.Elem(2, 2), 5);
  E.SetDataReadOnly(false);

  Log.Events.clear();
  E.SetElem(3, 3, 7);
  E.DataItem(6)->trigger();  // Clear
  EXPECT_EQ(E.Elem(2, 2), 0);
  EXPECT_EQ(E.Elem(3, 3), 0);
  EXPECT_EQ(E.CellState(2, 2), 0);
  EXPECT_EQ(Log.WithoutSelection(), (std::vector<std::string>{"Change", "Change", "Change", "CellState"}));

  Log.Events.clear();
  E.SetCellState(2, 2, csEmpty | csMarkA);
  E.DataItem(12)->trigger();  // toggle empty
  EXPECT_EQ(E.CellState(2, 2), csMarkA);
  EXPECT_EQ(E.CellState(3, 2), csEmpty);
  E.SetCellState(1, 6, csEmpty | csNotANumber);
  E.DataItem(13)->trigger();  // reset all empty states
  EXPECT_EQ(E.CellState(3, 2), 0);
  EXPECT_EQ(E.CellState(1, 6), csNotANumber);
  E.DataItem(11)->trigger();  // select all
  EXPECT_EQ(E.Selection(), (TGridRect{2, 1, 5, 6}));
  E.DataItem(10)->trigger();  // read-only on
  EXPECT_TRUE(E.DataReadOnly());
  EXPECT_EQ(Log.WithoutSelection(), (std::vector<std::string>{"EmptySt", "EmptySt", "Setup"}));
}

TEST_F(TEditFixture, ErrorsInCommandsAreShownAndLeaveTheTable)
{
  SelectBlock(1, 1, 2, 2);
  E.SetElem(1, 1, 3);
  E.SetCellState(2, 2, csMarkB);
  E.OnClear = [this](TObject*) {
    E.DataTable().SetElem(1, 1, 99);
    E.DataTable().SetCellState(2, 2, 0);
    throw EOrvexDataTableError("broken handler");
  };
  EXPECT_NO_THROW(E.DataItem(6)->trigger());
  EXPECT_EQ(Messages, std::vector<std::string>{"broken handler"});
  EXPECT_EQ(E.Elem(1, 1), 3);
  EXPECT_EQ(E.CellState(2, 2), csMarkB);
  // Exceptions that are not the library's never leave the menu command either.
  E.OnClear = [](TObject*) { throw std::runtime_error("plain error"); };
  EXPECT_NO_THROW(E.DataItem(6)->trigger());
  E.OnClear = [](TObject*) { throw 42; };
  EXPECT_NO_THROW(E.DataItem(6)->trigger());
  EXPECT_EQ(Messages, (std::vector<std::string>{"broken handler", "plain error", "unknown error"}));
  EXPECT_EQ(E.Elem(1, 1), 3);
  // The locks are released again: events fire and the table is still bound.
  Log.Attach(E);
  E.SetElem(1, 1, 4);
  EXPECT_FALSE(Log.Events.empty());
  // An OnClear that works replaces the built-in clearing.
  int calls = 0;
  E.OnClear = [&](TObject* S) {
    // The sender is the menu command, not the editor.
    const auto* command = dynamic_cast<TMenuCommand*>(S);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->Action(), E.DataItem(6));
    EXPECT_EQ(command->Name(), "DIt6");
    ++calls;
  };
  E.ClearSelection();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(E.Elem(1, 1), 4);
}

TEST_F(TEditFixture, CopyWritesTheTextFormatAndTheCopyTable)
{
  E.SetElem(1, 1, 1.5);
  E.SetElem(2, 1, -2.25);
  E.SetElem(1, 2, 1e-7);
  E.SetCellState(2, 2, csEmpty);
  E.SetColPrecision(2, 1);
  SelectBlock(1, 1, 2, 2);
  E.DataItem(7)->trigger();
  const std::string full = QApplication::clipboard()->text().toStdString();
  EXPECT_EQ(full, " " + FormatReal(1.5, 22, -1) + "\t" + FormatReal(-2.25, 22, -1) + "\r\n" + " " +
                      FormatReal(1e-7, 22, -1) + "\t####\r\n");
  ASSERT_TRUE(E.CopyTableFilled());
  EXPECT_EQ(E.CopyTable().NrOfColumns(), 2);
  EXPECT_EQ(E.CopyTable().NrOfRows(), 2);
  EXPECT_EQ(E.CopyTable().Elem(2, 1), -2.25);
  EXPECT_EQ(E.CopyTable().CellState(2, 2), csEmpty);

  E.SetClipboardUseFullPrec(false);
  E.SetCellState(1, 2, csNotANumber);
  E.CopySelection();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
            " " + FormatReal(1.5, 1, 3) + "\t" + FormatReal(-2.25, 1, 1) + "\r\n ####\t####\r\n");
}

TEST_F(TEditFixture, PasteWritesTheCopyTableAtTheSelection)
{
  E.SetElem(1, 1, 5);
  E.SetElem(2, 1, 50);
  E.SetCellState(2, 1, csMarkA);
  SelectBlock(1, 1, 2, 1);
  E.CopySelection();
  Log.Attach(E);
  E.SetVRangeLow(0);
  E.SetVRangeHigh(20);
  Select(3, 4);
  E.DataItem(8)->trigger();
  EXPECT_EQ(E.Elem(3, 4), 5);
  EXPECT_EQ(E.Elem(4, 4), 20);
  EXPECT_EQ(E.CellState(4, 4), csMarkA);
  EXPECT_EQ(E.Selection(), (TGridRect{4, 4, 5, 4}));
  EXPECT_EQ(Log.WithoutSelection(), (std::vector<std::string>{"Change", "CellState", "Paste"}));
  // What falls outside the table is dropped.
  Select(4, 6);
  E.PasteBlock();
  EXPECT_EQ(E.Elem(4, 6), 5);
  EXPECT_EQ(E.Selection(), (TGridRect{5, 6, 5, 6}));
}

TEST_F(TEditFixture, ExtractReadsCopiedTextLineEndsAndGaps)
{
  // The editor's own Copy read back: the empty cell keeps its column and becomes empty again.
  E.SetElem(1, 1, 1.5);
  E.SetElem(2, 1, 2.5);
  E.SetCellState(1, 2, csEmpty);
  E.SetElem(2, 2, 4);
  SelectBlock(1, 1, 2, 2);
  E.CopySelection();
  Log.Attach(E);
  Select(3, 3);
  E.DataItem(9)->trigger();
  EXPECT_EQ(E.Elem(3, 3), 1.5);
  EXPECT_EQ(E.Elem(4, 3), 2.5);
  EXPECT_EQ(E.CellState(3, 4), csEmpty);
  EXPECT_EQ(E.Elem(4, 4), 4);
  EXPECT_EQ(E.CellState(4, 4), 0);
  EXPECT_EQ(E.Selection(), (TGridRect{4, 3, 5, 4}));
  EXPECT_EQ(Log.WithoutSelection(), (std::vector<std::string>{"Change", "Paste", "EmptySt"}));

  // LF, CR LF and lone CR line ends give the same block; so do other delimiters.
  for (const char* text : {"1\t2\n3\t4\n", "1\t2\r\n3\t4\r\n", "1\t2\r3\t4", "1;2\n3;4", "1 2\n3 4"}) {
    E.Resize(4, 6);
    for (int c = 1; c <= 4; ++c)
      for (int r = 1; r <= 6; ++r)
        E.SetElem(c, r, 0);
    QApplication::clipboard()->setText(text);
    Select(1, 1);
    E.ExtractFromClipboard();
    EXPECT_EQ(E.Elem(1, 1), 1) << text;
    EXPECT_EQ(E.Elem(2, 1), 2) << text;
    EXPECT_EQ(E.Elem(1, 2), 3) << text;
    EXPECT_EQ(E.Elem(2, 2), 4) << text;
    EXPECT_EQ(E.Elem(3, 1), 0) << text;
  }

  // An unreadable token is one empty cell, not a 0; values are clamped; outside is dropped.
  E.SetVRangeLow(-10);
  E.SetVRangeHigh(10);
  E.SetElem(2, 1, 8);
  QApplication::clipboard()->setText("1 - 300 7 8\n");
  Select(1, 1);
  E.ExtractFromClipboard();
  EXPECT_EQ(E.Elem(1, 1), 1);
  EXPECT_EQ(E.Elem(2, 1), 8);
  EXPECT_EQ(E.CellState(2, 1), csEmpty);
  EXPECT_EQ(E.Elem(3, 1), 10);
  EXPECT_EQ(E.Elem(4, 1), 7);
  EXPECT_EQ(E.Selection(), (TGridRect{2, 1, 5, 1}));

  // Read-only: nothing.
  E.SetDataReadOnly(true);
  QApplication::clipboard()->setText("5");
  E.ExtractFromClipboard();
  EXPECT_EQ(E.Elem(1, 1), 1);
}

TEST(NTabEdScan, ScanNumberStates)
{
  struct TCase {
    const char* Text;
    int Start;
    bool Exp;
    int Seps;
    double Value;
    int EndPos;
    bool Valid;
  };
  const TCase cases[] = {
      {"12.5e3x", 1, true, 3, 12500, 7, true},   {"1e5", 1, false, 1, 1, 2, true},
      {"3,5 ", 1, true, 2, 3.5, 4, true},        {"3,5", 1, true, 1, 3, 2, true},
      {"  -7 ", 1, true, 3, -7, 5, true},        {"5.", 1, true, 3, 5, 3, true},
      {".5", 1, true, 3, 0.5, 3, true},          {"-", 1, true, 3, 0, 2, false},
      {"x1", 1, true, 3, 0, 1, false},           {"a 12", 3, true, 3, 12, 5, true},
      {"1-2", 1, true, 3, 1, 2, true},           {"1e", 1, true, 3, 1, 3, true},
      {"1e+", 1, true, 3, 1, 4, true},           {"1e 5", 1, true, 3, 0, 3, false},
      {"1.2.3", 1, true, 3, 0, 4, false},        {"2E-3", 1, true, 3, 0.002, 5, true},
      {"1e99999", 1, true, 3, 1.7e308, 8, true}, {"-1e400", 1, true, 3, -1.7e308, 7, true},
      {"1e-400", 1, true, 3, 0, 7, true},        {"", 1, true, 3, 0, 1, false},
  };
  for (const TCase& c : cases) {
    int pos = c.Start;
    const TScanResult r = ScanNumberChecked(c.Text, c.Exp, c.Seps, pos);
    EXPECT_EQ(r.Value, c.Value) << c.Text;
    EXPECT_EQ(pos, c.EndPos) << c.Text;
    EXPECT_EQ(r.Valid, c.Valid) << c.Text;
    int pos2 = c.Start;
    EXPECT_EQ(ScanNumber(c.Text, c.Exp, c.Seps, pos2), c.Value) << c.Text;
  }
}

TEST(NTabEdScan, ScanClipboardTextCountsCellsAndLines)
{
  struct TCell {
    int K, M;
    double V;
    bool Empty;
    bool operator==(const TCell&) const = default;
  };
  auto scan = [](const std::string& Text) {
    std::vector<TCell> cells;
    ScanClipboardText(Text, [&](int K, int M, double V, bool Empty) { cells.push_back({K, M, V, Empty}); });
    return cells;
  };
  EXPECT_EQ(scan(" 1\t####\r\n ##\t2e1\r\n"),
            (std::vector<TCell>{{0, 0, 1, false}, {1, 0, 0, true}, {0, 1, 0, true}, {1, 1, 20, false}}));
  // Every line with cells counts, texts are empty cells, a blank line between is one empty cell.
  EXPECT_EQ(scan("a\n\nx 5\n"), (std::vector<TCell>{{0, 0, 0, true}, {0, 1, 0, true}, {0, 2, 0, true}}));
  EXPECT_EQ(scan("1\n\n2"), (std::vector<TCell>{{0, 0, 1, false}, {0, 1, 0, true}, {0, 2, 2, false}}));
  EXPECT_EQ(scan("1;2 three 4"), (std::vector<TCell>{{0, 0, 1, false}, {1, 0, 0, true}}));
  EXPECT_TRUE(scan("").empty());
  EXPECT_EQ(scan("no numbers\r\n"), (std::vector<TCell>{{0, 0, 0, true}, {1, 0, 0, true}}));  // blank-separated
}

// Copy formats full-precision cells on its own fast path: it must give FormatReal's text for
// every magnitude, rounding ties and carries included.
TEST(NTabEdCopy, FullPrecisionTextEqualsFormatReal)
{
  TNTabEd e;
  const int rows = 5000;
  e.Resize(10, rows);
  std::uint64_t seed = 12345;
  auto next = [&] {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return seed;
  };
  // clang-format off
  std::vector<double> special = {0.0, -0.0, 9.99999999999995, 9.99999999999994, 0.5, 1e-320, 5e-324, 1.7976931348623157e308,
                                 -2.5e-5, 99999999999999.5, 12345678901234.5, 1.00000000000005, 123.4567890123450};
  // clang-format on
  for (int r = 1; r <= rows; ++r)
    for (int c = 1; c <= 10; ++c) {
      const std::size_t i = static_cast<std::size_t>((r - 1) * 10 + c - 1);
      double v;
      if (i < special.size()) {
        v = special[i];
      } else if (c % 2 == 0) {
        // Decimal values with few digits: the ties of the 14-digit rounding lie among them.
        v = static_cast<double>(static_cast<std::int64_t>(next() % 2000000000000000ULL)) *
            std::pow(10.0, static_cast<int>(next() % 40) - 25);
      } else {
        std::uint64_t bits = next() & 0x7FEFFFFFFFFFFFFFULL;
        std::memcpy(&v, &bits, sizeof v);
      }
      if (next() % 2)
        v = -v;
      e.SetElem(c, r, v);
    }
  e.SelectAll();
  e.CopySelection();
  const std::string text = QApplication::clipboard()->text().toStdString();
  std::string want;
  for (int r = 1; r <= rows; ++r) {
    for (int c = 1; c <= 10; ++c)
      want += (c == 1 ? " " : "\t") + FormatReal(e.Elem(c, r), 22, -1);
    want += "\r\n";
  }
  ASSERT_EQ(text.size(), want.size());
  std::size_t mismatches = 0;
  for (std::size_t i = 0; i < text.size(); i += 23)
    if (text.compare(i, 23, want, i, 23) != 0 && mismatches++ < 5)
      ADD_FAILURE() << "at " << i << ": " << text.substr(i, 24) << " vs " << want.substr(i, 24);
  EXPECT_EQ(text, want);
}
