// TCustomGrid offscreen: geometry and mouse-to-cell mapping with fixed and scrolled areas,
// keyboard navigation, range selection by mouse and keys, the in-place editor's text hooks,
// painting of the visible cells only, grid-line pixels, column sizing and wheel scrolling.
#include "orvex_grids.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <climits>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <utility>

using namespace orvex;

namespace {

constexpr int kColWidth = 50;
constexpr int kRowHeight = 20;

// A shown grid whose viewport is exactly Width x Height pixels (no frame, no scroll bars), with
// 50-pixel columns, 20-pixel rows and 1-pixel lines.
struct TestGrid {
  TCustomGrid grid;
  TestGrid(int Cols, int Rows, int Width = 300, int Height = 200)
  {
    grid.setFrameShape(QFrame::NoFrame);
    grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid.SetColCount(Cols);
    grid.SetRowCount(Rows);
    grid.SetDefaultColWidth(kColWidth);
    grid.SetDefaultRowHeight(kRowHeight);
    grid.resize(Width, Height);
    grid.show();
    QApplication::processEvents();
  }
  QWidget* vp() { return grid.viewport(); }
};

void SendKey(QWidget* W, int Key, Qt::KeyboardModifiers Mods = Qt::NoModifier, const QString& Text = {})
{
  QKeyEvent press(QEvent::KeyPress, Key, Mods, Text);
  QApplication::sendEvent(W, &press);
  QKeyEvent release(QEvent::KeyRelease, Key, Mods, Text);
  QApplication::sendEvent(W, &release);
}

void TypeText(QWidget* W, const QString& Text)
{
  for (QChar ch : Text)
    SendKey(W, ch.unicode(), Qt::NoModifier, QString(ch));
}

void SendMouse(QWidget* W, QEvent::Type Type, QPoint P, Qt::MouseButtons Buttons,
               Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
  Qt::MouseButton button = Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(Type, QPointF(P), W->mapToGlobal(QPointF(P)), button, Buttons, Mods);
  QApplication::sendEvent(W, &e);
}

void Click(QWidget* W, QPoint P, Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
  SendMouse(W, QEvent::MouseButtonPress, P, Qt::LeftButton, Mods);
  SendMouse(W, QEvent::MouseButtonRelease, P, Qt::NoButton, Mods);
}

// Centre of a cell on the screen.
QPoint Centre(const TCustomGrid& G, int Col, int Row)
{
  TRect r = G.CellRect(Col, Row);
  return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
}

QRgb Rgb(TColor C)
{
  return ToQColor(C).rgb();
}

}  // namespace

TEST(TCustomGrid, CellRectsAndMouseMappingWithFixedAndScrolledAreas)
{
  TestGrid t(10, 1000);
  TCustomGrid& g = t.grid;
  const int pitchX = kColWidth + 1;
  const int pitchY = kRowHeight + 1;

  // Unscrolled: fixed cells at the origin, each cell followed by its line.
  EXPECT_EQ(g.CellRect(0, 0), (TRect{0, 0, kColWidth, kRowHeight}));
  EXPECT_EQ(g.CellRect(2, 3), (TRect{2 * pitchX, 3 * pitchY, 2 * pitchX + kColWidth, 3 * pitchY + kRowHeight}));
  EXPECT_EQ(g.MouseCoord(0, 0), (TGridCoord{0, 0}));
  EXPECT_EQ(g.MouseCoord(kColWidth, kRowHeight), (TGridCoord{0, 0}));  // the line belongs to the cell before it
  EXPECT_EQ(g.MouseCoord(pitchX, pitchY), (TGridCoord{1, 1}));
  EXPECT_EQ(g.MouseCoord(-1, 5), (TGridCoord{-1, -1}));
  EXPECT_EQ(g.MouseCoord(5, 200), (TGridCoord{-1, -1}));  // below the viewport

  // Scrolled: the fixed row and column stay, the scrollable area starts at the top row.
  g.SetTopRow(100);
  g.SetLeftCol(3);
  EXPECT_EQ(g.TopRow(), 100);
  EXPECT_EQ(g.LeftCol(), 3);
  EXPECT_EQ(g.CellRect(3, 100), (TRect{pitchX, pitchY, pitchX + kColWidth, pitchY + kRowHeight}));
  EXPECT_TRUE(g.CellRect(2, 100).IsEmpty());  // scrolled out to the left
  EXPECT_TRUE(g.CellRect(3, 99).IsEmpty());   // scrolled out above
  EXPECT_EQ(g.CellRect(0, 100).Top, pitchY);
  EXPECT_EQ(g.CellRect(3, 0).Left, pitchX);
  EXPECT_EQ(g.MouseCoord(pitchX + 1, 1), (TGridCoord{3, 0}));
  EXPECT_EQ(g.MouseCoord(1, pitchY + 1), (TGridCoord{0, 100}));
  EXPECT_EQ(g.MouseCoord(2 * pitchX + 1, 3 * pitchY + 1), (TGridCoord{4, 102}));
  int c = 0, r = 0;
  g.MouseToCell(5 * pitchX + 3, 4 * pitchY + 3, c, r);
  EXPECT_EQ(c, 7);
  EXPECT_EQ(r, 103);

  // An individual row height moves only the rows after it.
  g.SetRowHeights(101, 40);
  EXPECT_EQ(g.CellRect(3, 101), (TRect{pitchX, 2 * pitchY, pitchX + kColWidth, 2 * pitchY + 40}));
  EXPECT_EQ(g.MouseCoord(pitchX + 1, 2 * pitchY + 40), (TGridCoord{3, 101}));
  EXPECT_EQ(g.MouseCoord(pitchX + 1, 2 * pitchY + 41), (TGridCoord{3, 102}));
  g.SetRowHeights(101, kRowHeight);

  // Scrolling stops where the last row shows at the bottom.
  const int rowsThatFit = (200 - pitchY) / pitchY;
  g.verticalScrollBar()->setValue(g.verticalScrollBar()->maximum());
  EXPECT_EQ(g.TopRow(), 1000 - rowsThatFit);
  EXPECT_EQ(g.VisibleRowCount(), rowsThatFit);
  EXPECT_EQ(g.CellRect(0, 999).Bottom, pitchY * (1 + rowsThatFit) - 1);
  g.SetRow(985);
  g.SetTopRow(g.TopRow() - 5);
  for (int i = 0; i < 10; ++i)
    SendKey(&g, Qt::Key_PageDown);
  EXPECT_EQ(g.TopRow(), 1000 - rowsThatFit);
  EXPECT_EQ(g.Row(), 999);
  // A program may put any row at the top (the table editor clamps only to its data rows).
  g.SetTopRow(1000000);
  EXPECT_EQ(g.TopRow(), 999);
  EXPECT_EQ(g.CellRect(0, 999).Top, pitchY);
  g.SetTopRow(-3);
  EXPECT_EQ(g.TopRow(), 1);
  // Columns: beyond the last one there is no cell.
  g.SetLeftCol(9);
  EXPECT_EQ(g.LeftCol(), 9);
  EXPECT_EQ(g.MouseCoord(2 * pitchX + 1, 5), (TGridCoord{-1, -1}));
  EXPECT_EQ(g.MouseCoord(pitchX + 1, 5), (TGridCoord{9, 0}));

  // Scrolling through the scroll bar moves the top row, and the top-left change is reported.
  int topLeftChanges = 0;
  g.OnTopLeftChanged = [&](const TObject* Sender) {
    EXPECT_EQ(Sender, &g);
    ++topLeftChanges;
  };
  g.verticalScrollBar()->setValue(41);
  EXPECT_EQ(g.TopRow(), 42);
  EXPECT_EQ(topLeftChanges, 1);
  g.SetTopRow(42);
  EXPECT_EQ(topLeftChanges, 1);
  g.horizontalScrollBar()->setValue(2);
  EXPECT_EQ(g.LeftCol(), 3);
  EXPECT_EQ(topLeftChanges, 2);

  // Shrinking the row count pulls the top row and the current cell back into range.
  g.SetRow(900);
  g.SetRowCount(20);
  EXPECT_EQ(g.Row(), 19);
  EXPECT_LE(g.TopRow(), 19);
  EXPECT_EQ(g.RowHeights(5), kRowHeight);
  EXPECT_EQ(g.verticalScrollBar()->maximum(), 20 - rowsThatFit - g.FixedRows());
}

TEST(TCustomGrid, AlignedGridFollowsItsParent)
{
  QWidget parent;
  parent.resize(400, 300);
  parent.show();  // a hidden widget gets its resize events only when shown
  auto* g = new TCustomGrid(&parent);
  g->SetBounds(10, 10, 100, 80);
  g->SetAlign(alClient);
  EXPECT_EQ(g->geometry(), QRect(0, 0, 400, 300));
  parent.resize(500, 350);
  EXPECT_EQ(g->geometry(), QRect(0, 0, 500, 350));
  g->SetAlign(alBottom);
  g->SetBounds(0, 0, 100, 80);
  parent.resize(520, 360);
  EXPECT_EQ(g->geometry(), QRect(0, 280, 520, 80));
}

TEST(TCustomGrid, FixedCountsStayBelowTheCounts)
{
  TestGrid t(5, 5);
  TCustomGrid& g = t.grid;
  g.SetFixedRows(5);  // would leave no scrollable row: refused
  EXPECT_EQ(g.FixedRows(), 1);
  g.SetFixedCols(2);
  EXPECT_EQ(g.FixedCols(), 2);
  EXPECT_EQ(g.Col(), 2);  // the current cell left the fixed area
  // A new default width replaces every individual one.
  g.SetColWidths(3, 80);
  g.SetDefaultColWidth(40);
  EXPECT_EQ(g.ColWidths(3), 40);
  EXPECT_EQ(g.CellRect(4, 1).Left, 4 * 41);
  // Header rows and columns that stop being fixed come into view when the view was at the start
  // (a hidden attribute row, a list without header lines); a scrolled view stays where it is.
  g.SetFixedRows(2);
  EXPECT_EQ(g.TopRow(), 2);
  g.SetFixedRows(1);
  EXPECT_EQ(g.TopRow(), 1);
  EXPECT_EQ(g.CellRect(2, 1).Top, kRowHeight + 1);
  g.SetFixedRows(0);
  EXPECT_EQ(g.TopRow(), 0);
  EXPECT_EQ(g.MouseCoord(5, 5), (TGridCoord{0, 0}));
  g.SetFixedCols(1);
  EXPECT_EQ(g.LeftCol(), 1);
  EXPECT_EQ(g.CellRect(1, 0).Left, g.ColWidths(0) + 1);
  g.SetRowCount(40);
  g.SetTopRow(10);
  g.SetFixedRows(1);
  EXPECT_EQ(g.TopRow(), 10);
  g.SetFixedRows(0);
  EXPECT_EQ(g.TopRow(), 10);
  g.SetFixedCols(2);
  g.SetColCount(2);       // fewer columns than fixed ones plus one
  EXPECT_EQ(g.FixedCols(), 1);
  EXPECT_EQ(g.Col(), 1);
  EXPECT_EQ(g.LeftCol(), 1);
}

TEST(TCustomGrid, KeyboardNavigationAndShiftKeySelection)
{
  TestGrid t(8, 100);
  TCustomGrid& g = t.grid;
  QWidget* w = &g;
  EXPECT_EQ(g.Col(), 1);
  EXPECT_EQ(g.Row(), 1);

  SendKey(w, Qt::Key_Down);
  SendKey(w, Qt::Key_Down);
  SendKey(w, Qt::Key_Right);
  EXPECT_EQ(g.Col(), 2);
  EXPECT_EQ(g.Row(), 3);
  SendKey(w, Qt::Key_Up);
  SendKey(w, Qt::Key_Up);
  SendKey(w, Qt::Key_Up);  // stops at the first scrollable row
  SendKey(w, Qt::Key_Left);
  SendKey(w, Qt::Key_Left);
  EXPECT_EQ(g.Col(), 1);
  EXPECT_EQ(g.Row(), 1);

  // End and Home run along the row; with Ctrl they reach the corners of the grid.
  SendKey(w, Qt::Key_End);
  EXPECT_EQ(g.Col(), 7);
  EXPECT_EQ(g.Row(), 1);
  SendKey(w, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(g.Col(), 7);
  EXPECT_EQ(g.Row(), 99);
  EXPECT_GE(g.CellRect(7, 99).Top, 0);  // scrolled into view
  EXPECT_FALSE(g.CellRect(7, 99).IsEmpty());
  SendKey(w, Qt::Key_Home);
  EXPECT_EQ(g.Col(), 1);
  SendKey(w, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(g.Row(), 1);
  EXPECT_EQ(g.TopRow(), 1);

  // Page Down moves the cell and the view by a page of fully visible rows.
  const int page = g.VisibleRowCount();
  SendKey(w, Qt::Key_PageDown);
  EXPECT_EQ(g.Row(), 1 + page);
  EXPECT_EQ(g.TopRow(), 1 + page);
  SendKey(w, Qt::Key_PageUp);
  EXPECT_EQ(g.Row(), 1);
  EXPECT_EQ(g.TopRow(), 1);
  // Moving below the last visible row scrolls by just one row.
  for (int i = 0; i < page; ++i)
    SendKey(w, Qt::Key_Down);
  EXPECT_EQ(g.Row(), 1 + page);
  EXPECT_EQ(g.TopRow(), 2);

  // Shift+arrows stretch the selection; the current cell stays where the selection began.
  g.FocusCell(2, 5, true);
  SendKey(w, Qt::Key_Right, Qt::ShiftModifier);
  SendKey(w, Qt::Key_Down, Qt::ShiftModifier);
  SendKey(w, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(g.Selection(), (TGridRect{2, 5, 3, 7}));
  EXPECT_EQ(g.Col(), 2);
  EXPECT_EQ(g.Row(), 5);
  SendKey(w, Qt::Key_Left, Qt::ShiftModifier);
  SendKey(w, Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(g.Selection(), (TGridRect{1, 5, 2, 7}));
  // A plain key moves on from the current cell and collapses the selection.
  SendKey(w, Qt::Key_Down);
  EXPECT_EQ(g.Selection(), (TGridRect{2, 6, 2, 6}));
  EXPECT_EQ(g.Col(), 2);
  EXPECT_EQ(g.Row(), 6);

  // Without range selection Shift moves the cell like a plain key.
  g.SetOptions(g.Options() - TGridOptions{goRangeSelect});
  SendKey(w, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(g.Selection(), (TGridRect{2, 7, 2, 7}));

  // OnSelectCell may refuse a cell.
  g.OnSelectCell = [](TObject*, int ACol, int, bool& CanSelect) { CanSelect = ACol != 3; };
  SendKey(w, Qt::Key_Right);
  EXPECT_EQ(g.Col(), 2);
  g.OnSelectCell = nullptr;

  // Tab moves between cells only with goTabs, wrapping at the ends of the rows.
  g.FocusCell(7, 3, true);
  SendKey(w, Qt::Key_Tab);
  EXPECT_EQ(g.Col(), 7);
  g.SetOptions(g.Options() + TGridOptions{goTabs});
  SendKey(w, Qt::Key_Tab);
  EXPECT_EQ(g.Col(), 1);
  EXPECT_EQ(g.Row(), 4);
  SendKey(w, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(g.Col(), 7);
  EXPECT_EQ(g.Row(), 3);
}

TEST(TCustomGrid, MouseRangeSelectionAndShiftClick)
{
  TestGrid t(8, 100);
  TCustomGrid& g = t.grid;
  QWidget* vp = t.vp();

  SendMouse(vp, QEvent::MouseButtonPress, Centre(g, 2, 2), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseMove, Centre(g, 3, 3), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseMove, Centre(g, 4, 5), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseButtonRelease, Centre(g, 4, 5), Qt::NoButton);
  EXPECT_EQ(g.Selection(), (TGridRect{2, 2, 4, 5}));
  EXPECT_EQ(g.Col(), 2);
  EXPECT_EQ(g.Row(), 2);

  // Dragging back over the start shrinks the block in the other direction.
  SendMouse(vp, QEvent::MouseButtonPress, Centre(g, 3, 4), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseMove, Centre(g, 1, 2), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseButtonRelease, Centre(g, 1, 2), Qt::NoButton);
  EXPECT_EQ(g.Selection(), (TGridRect{1, 2, 3, 4}));

  // Dragging below the viewport scrolls on.
  SendMouse(vp, QEvent::MouseButtonPress, Centre(g, 1, 2), Qt::LeftButton);
  for (int i = 0; i < 20; ++i)
    SendMouse(vp, QEvent::MouseMove, QPoint(Centre(g, 1, 2).x(), 250), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseButtonRelease, QPoint(Centre(g, 1, 2).x(), 250), Qt::NoButton);
  EXPECT_GT(g.Selection().Bottom, g.VisibleRowCount() + 1);
  EXPECT_GT(g.TopRow(), 1);
  EXPECT_FALSE(g.CellRect(1, g.Selection().Bottom).IsEmpty());

  // Shift+click stretches from the current cell.
  g.SetTopRow(1);
  Click(vp, Centre(g, 2, 2));
  Click(vp, Centre(g, 5, 4), Qt::ShiftModifier);
  EXPECT_EQ(g.Selection(), (TGridRect{2, 2, 5, 4}));

  // Presses on fixed cells leave the selection alone.
  Click(vp, Centre(g, 0, 3));
  Click(vp, Centre(g, 3, 0));
  EXPECT_EQ(g.Selection(), (TGridRect{2, 2, 5, 4}));

  // Selection can be set as a block; the current cell goes to its top-left corner.
  g.SetSelection(TGridRect{6, 9, 3, 7});
  EXPECT_EQ(g.Selection(), (TGridRect{3, 7, 6, 9}));
  EXPECT_EQ(g.Col(), 3);
  EXPECT_EQ(g.Row(), 7);
  // Whole rows with goRowSelect.
  g.SetOptions(g.Options() + TGridOptions{goRowSelect});
  EXPECT_EQ(g.Selection(), (TGridRect{1, 7, 7, 9}));
  // Without range selection a program may still select a block of rows; a layout change keeps it.
  g.SetOptions(g.Options() - TGridOptions{goRangeSelect});
  g.SetSelection(TGridRect{1, 3, 1, 5});
  g.SetColCount(6);
  EXPECT_EQ(g.Selection(), (TGridRect{1, 3, 5, 5}));
}

TEST(TCustomGrid, InplaceEditorGetsAndSetsTextThroughTheHooks)
{
  TestGrid t(6, 30);
  TCustomGrid& g = t.grid;
  std::vector<std::pair<TGridCoord, std::string>> stored;
  g.OnGetEditText = [](TObject*, int ACol, int ARow, std::string& Value) {
    Value = std::to_string(ACol) + "." + std::to_string(ARow);
  };
  g.OnSetEditText = [&](TObject*, int ACol, int ARow, const std::string& Value) {
    stored.push_back({TGridCoord{ACol, ARow}, Value});
  };

  // Without goEditing nothing opens.
  SendKey(&g, Qt::Key_F2);
  EXPECT_FALSE(g.EditorMode());
  g.SetOptions(g.Options() + TGridOptions{goEditing});

  g.FocusCell(2, 3, true);
  SendKey(&g, Qt::Key_F2);
  ASSERT_TRUE(g.EditorMode());
  QLineEdit* edit = g.InplaceEditor();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->text(), QString("2.3"));
  EXPECT_EQ(edit->geometry(), g.CellRect(2, 3).ToQRect());
  // Enter without a change hands nothing over.
  SendKey(edit, Qt::Key_Return);
  EXPECT_FALSE(g.EditorMode());
  EXPECT_TRUE(stored.empty());

  // Typing a character opens the editor with just that character; Enter stores the text.
  SendKey(&g, Qt::Key_4, Qt::NoModifier, "4");
  ASSERT_TRUE(g.EditorMode());
  edit = g.InplaceEditor();
  TypeText(edit, "2,5");
  EXPECT_EQ(edit->text(), QString("42,5"));
  SendKey(edit, Qt::Key_Return);
  EXPECT_FALSE(g.EditorMode());
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].first, (TGridCoord{2, 3}));
  EXPECT_EQ(stored[0].second, "42,5");

  // Escape drops the typed text.
  SendKey(&g, Qt::Key_F2);
  edit = g.InplaceEditor();
  edit->selectAll();
  TypeText(edit, "99");
  SendKey(edit, Qt::Key_Escape);
  EXPECT_FALSE(g.EditorMode());
  EXPECT_EQ(stored.size(), 1u);

  // Moving to another cell stores the text for the cell it was typed in.
  SendKey(&g, Qt::Key_F2);
  edit = g.InplaceEditor();
  edit->selectAll();
  TypeText(edit, "7");
  SendKey(edit, Qt::Key_Down);
  EXPECT_FALSE(g.EditorMode());
  EXPECT_EQ(g.Row(), 4);
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[1].first, (TGridCoord{2, 3}));
  EXPECT_EQ(stored[1].second, "7");

  // With goTabs, Tab in the editor stores the text and moves to the next cell.
  g.SetOptions(g.Options() + TGridOptions{goTabs});
  SendKey(&g, Qt::Key_5, Qt::NoModifier, "5");
  SendKey(g.InplaceEditor(), Qt::Key_Tab);
  EXPECT_FALSE(g.EditorMode());
  EXPECT_EQ(g.Col(), 3);
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[2].first, (TGridCoord{2, 4}));
  EXPECT_EQ(stored[2].second, "5");
  g.SetOptions(g.Options() - TGridOptions{goTabs});
  g.FocusCell(2, 4, true);

  // A second press on the current cell opens the editor; a press on another cell does not.
  Click(t.vp(), Centre(g, 3, 4));
  EXPECT_FALSE(g.EditorMode());
  Click(t.vp(), Centre(g, 3, 4));
  EXPECT_TRUE(g.EditorMode());
  EXPECT_EQ(g.InplaceEditor()->text(), QString("3.4"));
  // Scrolling the cell out of view ends the editing.
  g.SetTopRow(20);
  EXPECT_FALSE(g.EditorMode());

  // Turning goEditing off closes an open editor, storing its text.
  g.FocusCell(1, 25, true);
  SendKey(&g, Qt::Key_F2);
  edit = g.InplaceEditor();
  edit->selectAll();
  TypeText(edit, "x");
  g.SetOptions(g.Options() - TGridOptions{goEditing});
  EXPECT_FALSE(g.EditorMode());
  ASSERT_EQ(stored.size(), 4u);
  EXPECT_EQ(stored[3].first, (TGridCoord{1, 25}));
  EXPECT_EQ(stored[3].second, "x");
  // So does whole-row selection, under which cells are not edited.
  g.SetOptions(g.Options() + TGridOptions{goEditing});
  SendKey(&g, Qt::Key_F2);
  ASSERT_TRUE(g.EditorMode());
  g.SetOptions(g.Options() + TGridOptions{goRowSelect});
  EXPECT_FALSE(g.EditorMode());
  EXPECT_EQ(g.InplaceEditor(), nullptr);
}

TEST(TCustomGrid, PickListEditorOffersItemsAndHandsOverTheChoice)
{
  TestGrid t(6, 30);
  TCustomGrid& g = t.grid;
  g.SetOptions(g.Options() + TGridOptions{goEditing});
  g.SetDropDownRows(3);
  std::vector<std::string> stored;
  g.OnGetEditStyle = [](TObject*, int ACol, int, TEditStyle& Style) {
    if (ACol == 2)
      Style = esPickList;
  };
  g.OnGetPickListItems = [](TObject*, int, int, std::vector<std::string>& Items) {
    Items = {"low", "medium", "high"};
  };
  g.OnGetEditText = [](TObject*, int, int, std::string& Value) { Value = "medium"; };
  g.OnSetEditText = [&](TObject*, int, int, const std::string& Value) { stored.push_back(Value); };

  g.FocusCell(1, 1, true);
  SendKey(&g, Qt::Key_F2);
  EXPECT_EQ(g.InplacePickList(), nullptr);  // a plain column
  SendKey(g.InplaceEditor(), Qt::Key_Escape);

  g.FocusCell(2, 1, true);
  SendKey(&g, Qt::Key_F2);
  QComboBox* pick = g.InplacePickList();
  ASSERT_NE(pick, nullptr);
  ASSERT_EQ(pick->count(), 3);
  EXPECT_EQ(pick->itemText(2), QString("high"));
  EXPECT_EQ(pick->maxVisibleItems(), 3);
  EXPECT_EQ(g.InplaceEditor()->text(), QString("medium"));
  // Choosing an item hands it over at once; closing afterwards adds nothing.
  pick->setCurrentIndex(2);
  emit pick->textActivated(pick->itemText(2));
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0], "high");
  SendKey(g.InplaceEditor(), Qt::Key_Return);
  EXPECT_FALSE(g.EditorMode());
  EXPECT_EQ(stored.size(), 1u);
  // A typed text that is not an item is handed over as well.
  SendKey(&g, Qt::Key_7, Qt::NoModifier, "7");
  SendKey(g.InplaceEditor(), Qt::Key_Return);
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[1], "7");
}

TEST(TCustomGrid, PaintsOnlyTheVisibleCellsOfAMillionRows)
{
  TestGrid t(40, 1000000, 400, 300);
  TCustomGrid& g = t.grid;
  std::set<std::pair<int, int>> drawn;
  int calls = 0;
  g.OnDrawCell = [&](TObject*, int ACol, int ARow, const TRect& Rect, TGridDrawState) {
    ++calls;
    drawn.insert({ACol, ARow});
    EXPECT_EQ(Rect, g.CellRect(ACol, ARow));
  };
  // Every cell that shows at least partly, and nothing else.
  auto expectedCells = [&] {
    std::set<std::pair<int, int>> cells;
    for (int r : {0}) {
      for (int c = 0; c < 40; ++c)
        if (!g.CellRect(c, r).IsEmpty())
          cells.insert({c, r});
    }
    for (int r = g.TopRow(); r < g.TopRow() + 50 && r < g.RowCount(); ++r)
      for (int c = 0; c < 40; ++c)
        if (!g.CellRect(c, r).IsEmpty())
          cells.insert({c, r});
    return cells;
  };

  g.grab();
  const int callsAtTop = calls;
  EXPECT_EQ(drawn, expectedCells());
  EXPECT_EQ(callsAtTop, static_cast<int>(drawn.size()));
  const int visibleCols = (400 + kColWidth) / (kColWidth + 1);  // partly visible ones included
  const int visibleRows = (300 + kRowHeight) / (kRowHeight + 1);
  EXPECT_EQ(callsAtTop, visibleCols * visibleRows);

  drawn.clear();
  calls = 0;
  g.SetTopRow(654321);
  g.SetLeftCol(20);
  g.grab();
  EXPECT_EQ(calls, callsAtTop);
  EXPECT_EQ(drawn, expectedCells());
  EXPECT_TRUE(drawn.count({0, 654321}));
  EXPECT_TRUE(drawn.count({20, 0}));
  EXPECT_FALSE(drawn.count({19, 654321}));
}

TEST(TCustomGrid, DrawStateAndGridLinePixels)
{
  TestGrid t(6, 10, 400, 300);
  TCustomGrid& g = t.grid;
  g.setFocus();
  std::map<std::pair<int, int>, TGridDrawState> states;
  g.OnDrawCell = [&](TObject* Sender, int ACol, int ARow, const TRect& Rect, TGridDrawState State) {
    states[{ACol, ARow}] = State;
    // The canvas is there while cells are drawn; a mark in the corner of cell (3, 3).
    TCanvas& canvas = dynamic_cast<TCustomGrid*>(Sender)->Canvas();
    ASSERT_TRUE(canvas.HasPainter());
    if (ACol == 3 && ARow == 3)
      canvas.SetPixels(Rect.Left + 5, Rect.Top + 5, clRed);
  };
  g.SetSelection(TGridRect{1, 1, 2, 2});
  QImage img = g.grab().toImage();
  const int pitchX = kColWidth + 1;
  const int pitchY = kRowHeight + 1;

  auto state = [&](int c, int r) { return states[std::make_pair(c, r)]; };
  EXPECT_TRUE(state(0, 0).Contains(gdFixed));
  EXPECT_TRUE(state(0, 2).Contains(gdFixed));
  // The current cell belongs to the selection; with the focus it keeps the window colour and
  // gets the focus rectangle, without the focus it is highlighted like the rest of the block.
  ASSERT_TRUE(g.hasFocus());
  EXPECT_TRUE(state(1, 1).Contains(gdSelected));
  EXPECT_TRUE(state(1, 1).Contains(gdFocused));
  EXPECT_FALSE(state(2, 2).Contains(gdFocused));
  EXPECT_EQ(img.pixel(pitchX + 10, pitchY + 10), Rgb(clWindow));
  EXPECT_NE(img.pixel(pitchX, pitchY), img.pixel(pitchX + 1, pitchY + 1));  // dotted focus outline
  g.clearFocus();
  const QImage unfocused = g.grab().toImage();
  EXPECT_FALSE(state(1, 1).Contains(gdFocused));
  EXPECT_TRUE(state(1, 1).Contains(gdSelected));
  EXPECT_EQ(unfocused.pixel(pitchX + 10, pitchY + 10), Rgb(clHighlight));
  g.setFocus();
  EXPECT_TRUE(state(2, 2).Contains(gdSelected));
  EXPECT_TRUE(state(1, 2).Contains(gdSelected));
  EXPECT_TRUE(state(3, 3).Empty());
  EXPECT_FALSE(g.Canvas().HasPainter());  // paints only while the grid paints
  EXPECT_GT(g.Canvas().TextWidth("Wide text"), g.Canvas().TextWidth("W"));

  // Cell fills: fixed colour, selection highlight, window colour; the handler's own pixel.
  EXPECT_EQ(img.pixel(10, 10), Rgb(clBtnFace));
  EXPECT_EQ(img.pixel(2 * pitchX + 10, 2 * pitchY + 10), Rgb(clHighlight));
  EXPECT_EQ(img.pixel(3 * pitchX + 10, 3 * pitchY + 10), Rgb(clWindow));
  EXPECT_EQ(img.pixel(3 * pitchX + 5, 3 * pitchY + 5), Rgb(clRed));
  // Lines: black between fixed cells, silver between scrollable ones, one pixel wide.
  EXPECT_EQ(img.pixel(kColWidth, 5), Rgb(clBlack));
  EXPECT_EQ(img.pixel(5, kRowHeight), Rgb(clBlack));
  EXPECT_EQ(img.pixel(3 * pitchX + kColWidth, 3 * pitchY + 5), Rgb(clSilver));
  EXPECT_EQ(img.pixel(3 * pitchX + 5, 3 * pitchY + kRowHeight), Rgb(clSilver));
  EXPECT_EQ(img.pixel(3 * pitchX + kColWidth, 3 * pitchY + kRowHeight), Rgb(clSilver));
  EXPECT_EQ(img.pixel(3 * pitchX + kColWidth + 1, 3 * pitchY + 5), Rgb(clWindow));
  // Beyond the last column the grid's colour.
  EXPECT_EQ(img.pixel(6 * pitchX + 2, 5), Rgb(clWindow));

  // Without cell lines the scrollable cells touch; the fixed lines stay.
  g.SetOptions(g.Options() - TGridOptions{goVertLine, goHorzLine});
  EXPECT_EQ(g.CellRect(3, 3).Left, g.CellRect(2, 3).Right);
  EXPECT_EQ(g.CellRect(2, 3).Left, pitchX + kColWidth);
  img = g.grab().toImage();
  EXPECT_EQ(img.pixel(kColWidth, pitchY + 5), Rgb(clBlack));
  EXPECT_EQ(img.pixel(pitchX + kColWidth, pitchY + 5), Rgb(clHighlight));

  // A wider line and other colours.
  g.SetOptions(g.Options() + TGridOptions{goVertLine, goHorzLine});
  g.SetGridLineWidth(2);
  g.SetGridLineColor(clBlue);
  img = g.grab().toImage();
  EXPECT_EQ(g.CellRect(3, 3).Left, 3 * (kColWidth + 2));
  EXPECT_EQ(img.pixel(3 * (kColWidth + 2) + kColWidth, 3 * (kRowHeight + 2) + 5), Rgb(clBlue));
  EXPECT_EQ(img.pixel(3 * (kColWidth + 2) + kColWidth + 1, 3 * (kRowHeight + 2) + 5), Rgb(clBlue));
  EXPECT_EQ(img.pixel(3 * (kColWidth + 2) + kColWidth + 2, 3 * (kRowHeight + 2) + 5), Rgb(clWindow));

  // Without default drawing the grid leaves the cell to the handler.
  g.SetDefaultDrawing(false);
  g.OnDrawCell = [&](TObject*, int, int, const TRect& Rect, TGridDrawState) {
    g.Canvas().Brush().SetColor(clYellow);
    g.Canvas().FillRect(Rect);
  };
  img = g.grab().toImage();
  EXPECT_EQ(img.pixel(10, 10), Rgb(clYellow));
  EXPECT_EQ(img.pixel(2 * (kColWidth + 2) + 10, 2 * (kRowHeight + 2) + 10), Rgb(clYellow));

  // Every cell starts with the grid's font, whatever the cell before it did to the canvas font;
  // a change of the grid's font reaches the next paint.
  g.Font().SetSize(12);
  int cells = 0;
  g.OnDrawCell = [&](TObject*, int ACol, int ARow, const TRect&, TGridDrawState) {
    TFont& f = g.Canvas().Font();
    EXPECT_FALSE(f.Bold()) << ACol << "," << ARow;
    EXPECT_EQ(f.Color(), g.Font().Color());
    EXPECT_EQ(f.Height(), g.Font().Height());
    ++cells;
    f.SetBold(true);
    f.SetColor(clRed);
    f.SetHeight(-30);
  };
  g.grab();
  EXPECT_GT(cells, 10);
  EXPECT_EQ(g.Canvas().Font().Height(), g.Font().Height());
}

TEST(TCustomGrid, ColumnAndRowSizingByDraggingHeaderBorders)
{
  TestGrid t(6, 10);
  TCustomGrid& g = t.grid;
  QWidget* vp = t.vp();
  const int border = g.CellRect(2, 0).Right;  // right edge of column 2

  // Without goColSizing a drag on the border selects nothing and sizes nothing.
  SendMouse(vp, QEvent::MouseButtonPress, QPoint(border + 1, 5), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseMove, QPoint(border + 31, 5), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseButtonRelease, QPoint(border + 31, 5), Qt::NoButton);
  EXPECT_EQ(g.ColWidths(2), kColWidth);

  g.SetOptions(g.Options() + TGridOptions{goColSizing, goRowSizing});
  SendMouse(vp, QEvent::MouseMove, QPoint(border + 1, 5), Qt::NoButton);
  EXPECT_EQ(vp->cursor().shape(), Qt::SplitHCursor);
  SendMouse(vp, QEvent::MouseButtonPress, QPoint(border + 1, 5), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseMove, QPoint(border + 31, 5), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseButtonRelease, QPoint(border + 31, 5), Qt::NoButton);
  EXPECT_EQ(g.ColWidths(2), kColWidth + 30);
  EXPECT_EQ(g.ColWidths(3), kColWidth);
  EXPECT_EQ(g.CellRect(3, 1).Left, border + 30 + 1);
  // The width never drops below one pixel.
  const int start = g.CellRect(2, 0).Left;
  SendMouse(vp, QEvent::MouseButtonPress, QPoint(g.CellRect(2, 0).Right, 5), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseMove, QPoint(start - 20, 5), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseButtonRelease, QPoint(start - 20, 5), Qt::NoButton);
  EXPECT_EQ(g.ColWidths(2), 1);
  // Inside a scrollable cell the same press selects instead.
  SendMouse(vp, QEvent::MouseMove, QPoint(g.CellRect(4, 2).Right, 30), Qt::NoButton);
  EXPECT_NE(vp->cursor().shape(), Qt::SplitHCursor);

  // Row heights are dragged in the fixed column.
  const int rowBorder = g.CellRect(0, 3).Bottom;
  SendMouse(vp, QEvent::MouseButtonPress, QPoint(5, rowBorder), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseMove, QPoint(5, rowBorder + 12), Qt::LeftButton);
  SendMouse(vp, QEvent::MouseButtonRelease, QPoint(5, rowBorder + 12), Qt::NoButton);
  EXPECT_EQ(g.RowHeights(3), kRowHeight + 12);
}

TEST(TCustomGrid, WheelScrollsRowsUnlessAHandlerTakesIt)
{
  TestGrid t(6, 100);
  TCustomGrid& g = t.grid;
  auto wheel = [&](int dy, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWheelEvent e(QPointF(60, 60), t.vp()->mapToGlobal(QPointF(60, 60)), QPoint(), QPoint(0, dy), Qt::NoButton,
                  mods, Qt::NoScrollPhase, false);
    QApplication::sendEvent(t.vp(), &e);
  };
  const int lines = QApplication::wheelScrollLines();
  wheel(-120);
  EXPECT_EQ(g.TopRow(), 1 + lines);
  wheel(-240);
  EXPECT_EQ(g.TopRow(), 1 + 3 * lines);
  wheel(120);
  EXPECT_EQ(g.TopRow(), 1 + 2 * lines);
  EXPECT_EQ(g.Row(), 1);  // the current cell stays
  wheel(-120, Qt::ShiftModifier);
  EXPECT_EQ(g.LeftCol(), 2);

  int downs = 0;
  g.OnMouseWheelDown = [&](TObject*, TShiftState, const QPoint& Pos, bool& Handled) {
    EXPECT_EQ(Pos, QPoint(60, 60));
    ++downs;
    Handled = true;
  };
  const int top = g.TopRow();
  wheel(-120);
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(g.TopRow(), top);  // cppcheck-suppress knownConditionTrueFalse
}

TEST(TCustomGrid, OwnerEventsSeeKeysAndClicksAndMayRedirectThem)
{
  TestGrid t(6, 30);
  TCustomGrid& g = t.grid;
  g.SetOptions(g.Options() + TGridOptions{goEditing});
  std::vector<std::string> log;

  // Enter turned into Down (an auto-advancing owner), Delete swallowed.
  g.OnKeyDown = [&](TObject*, int& Key, TShiftState) {
    if (Key == Qt::Key_Return)
      Key = Qt::Key_Down;
    else if (Key == Qt::Key_Down)
      log.push_back("down");
    else if (Key == Qt::Key_End)
      Key = 0;
  };
  SendKey(&g, Qt::Key_Return);
  EXPECT_EQ(g.Row(), 2);
  EXPECT_FALSE(g.EditorMode());
  EXPECT_EQ(log, std::vector<std::string>{});  // the handler saw Enter, not its replacement
  SendKey(&g, Qt::Key_End);
  EXPECT_EQ(g.Col(), 1);
  // Keys pressed in the open editor reach the owner too: Enter there closes and moves on.
  SendKey(&g, Qt::Key_F2);
  ASSERT_TRUE(g.EditorMode());
  SendKey(g.InplaceEditor(), Qt::Key_Down);
  EXPECT_FALSE(g.EditorMode());
  EXPECT_EQ(g.Row(), 3);
  EXPECT_EQ(log, std::vector<std::string>{"down"});

  // A typed character the owner clears does not open the editor; one it changes is used.
  g.OnKeyPress = [](TObject*, QChar& Key) { Key = Key == 'x' ? QChar() : Key.toUpper(); };
  SendKey(&g, Qt::Key_X, Qt::NoModifier, "x");
  EXPECT_FALSE(g.EditorMode());
  SendKey(&g, Qt::Key_A, Qt::NoModifier, "a");
  ASSERT_TRUE(g.EditorMode());
  EXPECT_EQ(g.InplaceEditor()->text(), QString("A"));
  g.HideEditor(false);

  // Mouse events come after the grid moved its cell; a click needs press and release inside.
  log.clear();
  g.OnMouseDown = [&](TObject*, TMouseButton Button, TShiftState, int X, int Y) {
    TGridCoord c = g.MouseCoord(X, Y);
    log.push_back("down " + std::to_string(Button) + " " + std::to_string(c.X) + "," + std::to_string(c.Y) +
                  " current " + std::to_string(g.Col()) + "," + std::to_string(g.Row()));
  };
  g.OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("up"); };
  g.OnClick = [&](TObject*) { log.push_back("click"); };
  Click(t.vp(), Centre(g, 4, 5));
  EXPECT_EQ(log, (std::vector<std::string>{"down 0 4,5 current 4,5", "up", "click"}));
  log.clear();
  SendMouse(t.vp(), QEvent::MouseButtonPress, Centre(g, 2, 2), Qt::LeftButton);
  SendMouse(t.vp(), QEvent::MouseButtonRelease, QPoint(-5, -5), Qt::NoButton);
  // The release outside makes no click.
  EXPECT_EQ(log, (std::vector<std::string>{"down 0 2,2 current 2,2", "up"}));
}

TEST(TCustomGrid, DoubleClickIsAPressTheOwnerSeesAndOpensTheEditor)
{
  TestGrid t(6, 30);
  TCustomGrid& g = t.grid;
  g.SetOptions(g.Options() + TGridOptions{goEditing});
  g.OnGetEditText = [](TObject*, int ACol, int ARow, std::string& Value) {
    Value = std::to_string(ACol) + ":" + std::to_string(ARow);
  };
  std::vector<std::string> log;
  g.OnMouseDown = [&](TObject*, TMouseButton, TShiftState Shift, int X, int Y) {
    TGridCoord c = g.MouseCoord(X, Y);
    log.push_back(std::string(Shift.Contains(ssDouble) ? "down2 " : "down ") + std::to_string(c.X) + "," +
                  std::to_string(c.Y) + " current " + std::to_string(g.Col()) + "," + std::to_string(g.Row()));
  };
  g.OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("up"); };
  g.OnClick = [&](TObject*) { log.push_back("click"); };
  g.OnDblClick = [&](TObject*) { log.push_back("dblclick"); };

  // Qt's order for a double click on a cell that was not current: press, release, double
  // click, release. The second press reaches the owner; the editor opens on its release.
  const QPoint p = Centre(g, 3, 4);
  SendMouse(t.vp(), QEvent::MouseButtonPress, p, Qt::LeftButton);
  SendMouse(t.vp(), QEvent::MouseButtonRelease, p, Qt::NoButton);
  EXPECT_FALSE(g.EditorMode());
  SendMouse(t.vp(), QEvent::MouseButtonDblClick, p, Qt::LeftButton);
  EXPECT_FALSE(g.EditorMode());
  SendMouse(t.vp(), QEvent::MouseButtonRelease, p, Qt::NoButton);
  ASSERT_TRUE(g.EditorMode());
  EXPECT_EQ(g.InplaceEditor()->text(), QString("3:4"));
  EXPECT_EQ(log, (std::vector<std::string>{"down 3,4 current 3,4", "up", "click", "down2 3,4 current 3,4",
                                           "dblclick", "up"}));
  g.HideEditor(false);

  // A double click on a fixed cell moves nothing and opens nothing.
  log.clear();
  const QPoint header = Centre(g, 2, 0);
  SendMouse(t.vp(), QEvent::MouseButtonPress, header, Qt::LeftButton);
  SendMouse(t.vp(), QEvent::MouseButtonRelease, header, Qt::NoButton);
  SendMouse(t.vp(), QEvent::MouseButtonDblClick, header, Qt::LeftButton);
  SendMouse(t.vp(), QEvent::MouseButtonRelease, header, Qt::NoButton);
  EXPECT_FALSE(g.EditorMode());
  EXPECT_EQ(g.Col(), 3);
  EXPECT_EQ(g.Row(), 4);
  EXPECT_EQ(log, (std::vector<std::string>{"down 2,0 current 3,4", "up", "click", "down2 2,0 current 3,4",
                                           "dblclick", "up"}));
}

TEST(TCustomGrid, WheelAddsUpPartsOfANotch)
{
  TestGrid t(6, 100);
  TCustomGrid& g = t.grid;
  auto wheel = [&](int dy) {
    QWheelEvent e(QPointF(60, 60), t.vp()->mapToGlobal(QPointF(60, 60)), QPoint(), QPoint(0, dy), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(t.vp(), &e);
  };
  const int lines = QApplication::wheelScrollLines();
  // A touchpad sends a notch in four parts: the view moves once, when they make a whole notch.
  for (int i = 0; i < 3; ++i)
    wheel(-30);
  EXPECT_EQ(g.TopRow(), 1);
  wheel(-30);
  EXPECT_EQ(g.TopRow(), 1 + lines);
  // Parts in the other direction take back what was collected first.
  wheel(-60);
  wheel(60);
  wheel(60);
  EXPECT_EQ(g.TopRow(), 1 + lines);
  wheel(60);
  EXPECT_EQ(g.TopRow(), 1);
  // Huge turns stop at the ends.
  wheel(-2000000000);
  EXPECT_EQ(g.TopRow(), 100 - (200 - (kRowHeight + 1)) / (kRowHeight + 1));
  wheel(2000000000);
  wheel(2000000000);
  EXPECT_EQ(g.TopRow(), 1);
}

TEST(TCustomGrid, SelectionCanLeaveTheCellsUntilAKeyOrClickBringsItBack)
{
  TestGrid t(6, 30);
  TCustomGrid& g = t.grid;
  g.setFocus();
  g.SetOptions(g.Options() + TGridOptions{goEditing});
  std::vector<std::string> stored;
  g.OnSetEditText = [&](TObject*, int, int, const std::string& Value) { stored.push_back(Value); };
  std::map<std::pair<int, int>, TGridDrawState> states;
  g.OnDrawCell = [&](TObject*, int ACol, int ARow, const TRect&, TGridDrawState State) {
    states[{ACol, ARow}] = State;
  };

  // Removing the selection closes an open editor, handing its text over.
  g.SetSelection(TGridRect{2, 3, 4, 5});
  SendKey(&g, Qt::Key_9, Qt::NoModifier, "9");
  ASSERT_TRUE(g.EditorMode());
  g.SetSelection(TGridRect{-1, -1, -1, -1});
  EXPECT_FALSE(g.EditorMode());
  EXPECT_EQ(stored, std::vector<std::string>{"9"});
  EXPECT_FALSE(g.HasSelection());
  EXPECT_EQ(g.Selection(), (TGridRect{-1, -1, -1, -1}));
  EXPECT_EQ(g.Col(), -1);
  EXPECT_EQ(g.Row(), -1);

  // No cell is drawn selected or focused, and neither keys nor presses open the editor.
  g.grab();
  ASSERT_FALSE(states.empty());
  for (const auto& [cell, state] : states)
    EXPECT_FALSE(state.Contains(gdSelected) || state.Contains(gdFocused)) << cell.first << "," << cell.second;
  SendKey(&g, Qt::Key_F2);
  SendKey(&g, Qt::Key_Return);
  SendKey(&g, Qt::Key_7, Qt::NoModifier, "7");
  EXPECT_FALSE(g.EditorMode());
  Click(t.vp(), Centre(g, 2, 3));  // the cell that was current before
  EXPECT_FALSE(g.EditorMode());
  EXPECT_TRUE(g.HasSelection());
  EXPECT_EQ(g.Selection(), (TGridRect{2, 3, 2, 3}));

  // A navigation key moves on from the cell that was current; Shift cannot stretch from nothing.
  g.SetSelection(TGridRect{-1, -1, -1, -1});
  SendKey(&g, Qt::Key_Down);
  EXPECT_EQ(g.Selection(), (TGridRect{2, 4, 2, 4}));
  g.SetSelection(TGridRect{-1, -1, -1, -1});
  Click(t.vp(), Centre(g, 4, 6), Qt::ShiftModifier);
  EXPECT_EQ(g.Selection(), (TGridRect{4, 6, 4, 6}));
  // Layout changes keep the grid without a selection; a block touching the cells clamps into them.
  g.SetSelection(TGridRect{-1, -1, -1, -1});
  g.SetRowCount(10);
  g.SetColCount(4);
  EXPECT_FALSE(g.HasSelection());
  g.SetSelection(TGridRect{-1, -1, 2, 2});
  EXPECT_EQ(g.Selection(), (TGridRect{1, 1, 2, 2}));
  // OnSelectCell is asked before a cell becomes current again.
  g.SetSelection(TGridRect{-1, -1, -1, -1});
  g.OnSelectCell = [](TObject*, int, int, bool& CanSelect) { CanSelect = false; };
  g.FocusCell(1, 1, true);
  EXPECT_FALSE(g.HasSelection());
}

TEST(TCustomGrid, ScrollLimitsFollowTheLastRowAndHostileSizes)
{
  // 188 pixels: a fixed row and eight rows show in full, the eighth without its line.
  TestGrid t(6, 100, 300, 188);
  TCustomGrid& g = t.grid;
  g.verticalScrollBar()->setValue(g.verticalScrollBar()->maximum());
  EXPECT_EQ(g.TopRow(), 92);
  EXPECT_EQ(g.VisibleRowCount(), 8);
  EXPECT_EQ(g.CellRect(0, 99).Bottom, 188);
  g.SetRow(95);
  for (int i = 0; i < 3; ++i)
    SendKey(&g, Qt::Key_PageDown);
  EXPECT_EQ(g.Row(), 99);
  EXPECT_EQ(g.TopRow(), 92);

  // Rows taken away pull the view back to a full page; a view that still fits stays.
  g.SetRowCount(95);
  EXPECT_EQ(g.TopRow(), 87);
  EXPECT_EQ(g.verticalScrollBar()->value(), g.verticalScrollBar()->maximum());
  g.SetTopRow(50);
  g.SetRowCount(90);
  EXPECT_EQ(g.TopRow(), 50);
  g.SetLeftCol(5);
  g.SetColCount(5);  // 4 columns fit: the view starts at the first scrollable one again
  EXPECT_EQ(g.LeftCol(), 1);

  // Huge sizes and counts neither wrap positions around nor overflow the key arithmetic.
  g.SetColWidths(1, INT_MAX);
  EXPECT_GT(g.ColWidths(1), 10000);
  EXPECT_TRUE(g.CellRect(2, 1).IsEmpty());
  EXPECT_EQ(g.MouseCoord(290, 30).X, 1);
  g.SetColWidths(1, kColWidth);
  g.SetRowCount(INT_MAX);
  EXPECT_GT(g.RowCount(), 1000000);
  SendKey(&g, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(g.Row(), g.RowCount() - 1);
  SendKey(&g, Qt::Key_PageDown);
  SendKey(&g, Qt::Key_Down);
  EXPECT_EQ(g.Row(), g.RowCount() - 1);
  EXPECT_EQ(g.TopRow(), g.RowCount() - 8);
  EXPECT_EQ(g.CellRect(0, g.RowCount() - 1).Bottom, 188);
  g.SetGridLineWidth(INT_MAX);
  g.SetDefaultRowHeight(INT_MAX);
  EXPECT_TRUE(g.CellRect(0, g.TopRow() + 1).IsEmpty());
  EXPECT_EQ(g.MouseCoord(5, 187).Y, 0);
}
