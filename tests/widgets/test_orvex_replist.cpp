// TReportListView offscreen: header rows and heights, row shading, check boxes drawn and
// clicked, the rendering hook, shortened texts, the empty message, row selection by mouse and
// keys, sorting by a header click, column widths and in-place editing of check-box labels.
#include "orvex_replist.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace orvex;

namespace {

QRgb Rgb(TColor C)
{
  return ToQColor(C).rgb();
}

// A shown list whose viewport is the whole widget (no frame, no scroll bars), set up as the
// main window's variable list: a common header, column headers, a text column and two
// check-box columns.
struct TestList {
  TReportListView lv;
  explicit TestList(int Rows, int Width = 281, int Height = 300)
  {
    lv.setFrameShape(QFrame::NoFrame);
    lv.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lv.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lv.resize(Width, Height);
    // Shown first, as the main window fills its list: the client width is known from then on.
    lv.show();
    QApplication::processEvents();
    lv.SetSuppressPaint(true);
    lv.SetNrOfColumns(3);
    lv.SetCommonHeader("List of Variables");
    lv.SetCommonHeaderVisible(true);
    lv.SetDefaultRowHeight(18);
    lv.SetRowSelectMode(0);
    lv.SetSortEnabled(false);
    lv.SetColumnHeader(1, "Variable");
    lv.SetColumnHeader(2, "Input");
    lv.SetColumnHeader(3, "Target");
    lv.SetCheckBoxColumn(2, true);
    lv.SetCheckBoxColumn(3, true);
    lv.CheckColumn(2, false);
    lv.CheckColumn(3, false);
    lv.SetNrOfRows(Rows);
    for (int r = 1; r <= Rows; ++r)
      lv.SetCellText(1, r, std::to_string(r) + " - Var");
    lv.SetColumnWidth(2, 51);
    lv.SetColumnWidth(3, 51);
    lv.FitColumnWidth(1, 28);
    lv.SetSuppressPaint(false);
  }
  QWidget* vp() { return lv.viewport(); }
  // Screen rectangle of a data cell (display order as created).
  TRect Cell(int Col, int Row) const { return lv.CellRect(Col - 1, lv.GridRowOf(Row)); }
  QImage Shot() { return lv.grab().toImage(); }
};

void SendMouse(QWidget* W, QEvent::Type Type, QPoint P, Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
  const Qt::MouseButtons buttons = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(Type, QPointF(P), W->mapToGlobal(QPointF(P)), Qt::LeftButton, buttons, Mods);
  QApplication::sendEvent(W, &e);
}

void Click(QWidget* W, QPoint P, Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
  SendMouse(W, QEvent::MouseButtonPress, P, Mods);
  SendMouse(W, QEvent::MouseButtonRelease, P, Mods);
}

void SendKey(QWidget* W, int Key, const QString& Text = {})
{
  QKeyEvent press(QEvent::KeyPress, Key, Qt::NoModifier, Text);
  QApplication::sendEvent(W, &press);
  QKeyEvent release(QEvent::KeyRelease, Key, Qt::NoModifier, Text);
  QApplication::sendEvent(W, &release);
}

// Topmost pixel in column X between Y0 and Y1 that differs from Bkgd; -1 when there is none.
int InkTop(const QImage& Img, int X, int Y0, int Y1, QRgb Bkgd)
{
  for (int y = Y0; y < Y1; ++y)
    if (Img.pixel(X, y) != Bkgd)
      return y;
  return -1;
}

}  // namespace

TEST(ReportListView, DefaultsAndHeaderRows)
{
  TReportListView lv;
  EXPECT_EQ(lv.NrOfColumns(), 5);  // the grid's initial size below one header row
  EXPECT_EQ(lv.NrOfRows(), 4);
  EXPECT_EQ(lv.CommonHeader(), "Orvex Report Listview");
  EXPECT_FALSE(lv.CommonHeaderVisible());
  EXPECT_TRUE(lv.ColumnHeadersVisible());
  EXPECT_EQ(lv.CommonHeaderAlignment(), taCenter);
  EXPECT_EQ(lv.CommonHeaderHeight(), 20);
  EXPECT_EQ(lv.ColorText(), 0x002000u);
  EXPECT_EQ(lv.ColorBkgdShaded(), 0xF0EFE8u);
  EXPECT_EQ(lv.ColorHigh(), 0xCC9966u);
  EXPECT_EQ(lv.ColorSelectedRowText(), clNavy);
  EXPECT_EQ(lv.ColorColumnHd(), clBtnFace);
  EXPECT_EQ(lv.RowSelectMode(), 1);
  EXPECT_TRUE(lv.SortEnabled());
  EXPECT_TRUE(lv.ShowEmptyCheckBoxes());
  EXPECT_FALSE(lv.SuppressPaint());
  EXPECT_FALSE(lv.DefaultDrawing());
  EXPECT_EQ(lv.FixedRows(), 1);
  EXPECT_EQ(lv.FixedCols(), 0);
  EXPECT_EQ(lv.InterRowIndicatorWidth(), 3);

  lv.SetDefaultRowHeight(18);
  lv.SetCommonHeaderVisible(true);
  lv.SetNrOfRows(1);
  // Both headers and one data row: the column-header row keeps the default height.
  EXPECT_EQ(lv.FixedRows(), 2);
  EXPECT_EQ(lv.RowCount(), 3);
  EXPECT_EQ(lv.RowHeights(0), 20);
  EXPECT_EQ(lv.RowHeights(1), 18);
  lv.SetNrOfRows(2);
  EXPECT_EQ(lv.RowHeights(1), 20);
  lv.SetColumnHeadersHeight(200);  // clamped
  EXPECT_EQ(lv.RowHeights(1), 127);
  lv.SetCommonHeaderHeight(3);
  EXPECT_EQ(lv.RowHeights(0), 8);
  lv.SetColumnHeadersVisible(false);
  EXPECT_EQ(lv.FixedRows(), 1);
  EXPECT_EQ(lv.RowHeights(0), 8);
  EXPECT_EQ(lv.RowHeights(1), 18);
  lv.SetCommonHeaderVisible(false);
  EXPECT_EQ(lv.FixedRows(), 0);
  EXPECT_EQ(lv.RowHeights(0), 18);
  lv.SetNrOfRows(0);
  EXPECT_EQ(lv.RowCount(), 1);  // one row stays for an empty list

  // New columns take the width of the last one; every per-column setting starts at its default.
  lv.SetColumnWidth(5, 33);
  lv.SetColumnAlignment(5, taRightJustify);
  lv.SetNrOfColumns(7);
  EXPECT_EQ(lv.ColumnWidth(7), 33);
  EXPECT_EQ(lv.ColumnAlignment(7), taLeftJustify);
  EXPECT_EQ(lv.ColumnAlignment(5), taRightJustify);
  EXPECT_FALSE(lv.ColumnEditable(6));
  EXPECT_FALSE(lv.SetDisplayOrder({1, 2, 3}));
  EXPECT_TRUE(lv.SetDisplayOrder({7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(lv.DisplayOrder(1), 7);
  EXPECT_EQ(lv.ColumnWidth(3), 33);  // widths stay with the visual positions
  lv.SetNrOfColumns(6);
  EXPECT_EQ(lv.DisplayOrder(1), 1);  // reset to identity
}

TEST(ReportListView, RowShadingAndRenderHook)
{
  TestList t(7);
  t.lv.SetRowColPattern(2);
  const QImage img = t.Shot();
  for (int r = 1; r <= 6; ++r) {
    const TRect c = t.Cell(1, r);
    const TColor expected = r <= 2 || r >= 5 ? t.lv.ColorBkgdShaded() : t.lv.ColorBkgdNormal();
    EXPECT_EQ(img.pixel(c.Right - 2, c.Top + 1), Rgb(expected)) << "row " << r;
  }
  // The main window's marking: the hook gets data indexes and recolours the cell.
  std::vector<std::pair<int, int>> cells;
  t.lv.OnBeforeRenderCell = [&](TObject*, int ACol, int ARow, TColor& Pen, TColor& Brush, TColor& Font,
                                TFontStyles& Styles, std::string&) {
    cells.emplace_back(ACol, ARow);
    if (ACol == 1 && ARow == 3) {
      Pen = Brush = 0x3F3F3F;
      Font = clWhite;
      Styles.Include(fsBold);
    }
  };
  t.lv.SetRowColPattern(1);
  const QImage hooked = t.Shot();
  const TRect c3 = t.Cell(1, 3);
  EXPECT_EQ(hooked.pixel(c3.Right - 2, c3.Top + 1), Rgb(0x3F3F3F));
  EXPECT_EQ(hooked.pixel(t.Cell(1, 2).Right - 2, t.Cell(1, 2).Top + 1), Rgb(t.lv.ColorBkgdNormal()));
  EXPECT_NE(std::find(cells.begin(), cells.end(), std::make_pair(3, 7)), cells.end());
  for (const auto& [col, row] : cells) {
    EXPECT_TRUE(col >= 1 && col <= 3);
    EXPECT_TRUE(row >= 1 && row <= 7);
  }
}

TEST(ReportListView, CheckBoxesDrawnWithTheirTick)
{
  TestList t(3);
  t.lv.SetChecked(2, 1, true);
  QImage img = t.Shot();
  const TRect on = t.Cell(2, 1);
  const TRect off = t.Cell(2, 2);
  const QRgb shadow = Rgb(clBtnShadow);
  const QRgb ink = Rgb(t.lv.ColorText());
  // The 11 x 11 outline from (left + 4, top + 4) to (left + 14, top + 14).
  for (int i = 4; i <= 14; ++i) {
    EXPECT_EQ(img.pixel(off.Left + i, off.Top + 4), shadow);
    EXPECT_EQ(img.pixel(off.Left + 4, off.Top + i), shadow);
    EXPECT_EQ(img.pixel(off.Left + i, off.Top + 14), shadow);
    EXPECT_EQ(img.pixel(off.Left + 14, off.Top + i), shadow);
  }
  EXPECT_NE(img.pixel(off.Left + 15, off.Top + 8), shadow);
  // Two strokes three pixels thick: (6, 8 + i) to (9, 11 + i) and (8, 10 + i) to (13, 5 + i).
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(img.pixel(on.Left + 6 + k, on.Top + 8 + i + k), ink);
    for (int k = 0; k < 5; ++k)
      EXPECT_EQ(img.pixel(on.Left + 8 + k, on.Top + 10 + i - k), ink);
    EXPECT_NE(img.pixel(off.Left + 7, off.Top + 9 + i), ink);
  }
  EXPECT_NE(img.pixel(on.Left + 13, on.Top + 5), ink);  // the end pixel of a stroke is not set
  EXPECT_NE(img.pixel(on.Left + 6, on.Top + 7), ink);

  // Empty cells show an empty box only with ShowEmptyCheckBoxes; a state and a label always do.
  t.lv.SetCheckBoxColumn(1, true);  // texts "r - Var" become unchecked boxes with labels
  t.lv.SetShowEmptyCheckBoxes(false);
  img = t.Shot();
  EXPECT_NE(img.pixel(t.Cell(3, 1).Left + 4, t.Cell(3, 1).Top + 8), shadow);  // text " " only
  EXPECT_EQ(img.pixel(t.Cell(1, 1).Left + 4, t.Cell(1, 1).Top + 8), shadow);  // " 1 - Var"
  t.lv.SetShowEmptyCheckBoxes(true);
  img = t.Shot();
  EXPECT_EQ(img.pixel(t.Cell(3, 1).Left + 4, t.Cell(3, 1).Top + 8), shadow);

  // A disabled row outlines its box in the pen colour and cannot be toggled.
  t.lv.SetRowDisabled(2, true);
  img = t.Shot();
  EXPECT_EQ(img.pixel(off.Left + 4, off.Top + 8), Rgb(t.lv.ColorDisabledBkgd()));
  Click(t.vp(), QPoint(off.Left + 8, off.Top + 8));
  EXPECT_FALSE(t.lv.Checked(2, 2));
}

TEST(ReportListView, CheckBoxClicks)
{
  TestList t(3);
  std::vector<std::string> log;
  t.lv.OnBeforeCheckedChange = [&](TObject*, bool& State, int Col, int Row) {
    log.push_back("before " + std::to_string(Col) + "," + std::to_string(Row) + (State ? " X" : " -"));
  };
  t.lv.OnCheckedChange = [&](TObject* Sender, bool& State, int Col, int Row) {
    auto* lv = dynamic_cast<TReportListView*>(Sender);
    log.push_back(std::string("after ") + (State ? "X" : "-") + " now " + (lv->Checked(Col, Row) ? "X" : "-"));
  };
  const TRect c = t.Cell(3, 2);
  Click(t.vp(), QPoint(c.Left + 20, c.Top + 8));
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(t.lv.Checked(3, 2));
  Click(t.vp(), QPoint(c.Left + 10, c.Top + 8));
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "before 3,2 X");
  EXPECT_EQ(log[1], "after - now X");
  EXPECT_EQ(t.lv.CellText(3, 2), "X");
  EXPECT_EQ(t.lv.NrChecked(3), 1);

  // A handler that keeps the state: the cell stays, OnCheckedChange still comes.
  log.clear();
  t.lv.OnBeforeCheckedChange = [&](TObject*, bool& State, int, int) {
    State = true;
    log.push_back("before");
  };
  Click(t.vp(), QPoint(c.Left + 10, c.Top + 8));
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1], "after X now X");
  EXPECT_EQ(t.lv.CellText(3, 2), "X");
  // A plain column never toggles; writing Checked raises nothing.
  log.clear();
  Click(t.vp(), QPoint(t.Cell(1, 2).Left + 10, c.Top + 8));
  t.lv.SetChecked(2, 1, true);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(t.lv.CellText(1, 2), "2 - Var");
  // Disabled rows are not counted.
  t.lv.SetRowDisabled(1, true);
  EXPECT_EQ(t.lv.NrChecked(2), 0);
  EXPECT_EQ(t.lv.NrChecked(1), 0);
  // A quick pair of clicks on a box toggles it twice.
  t.lv.OnBeforeCheckedChange = nullptr;
  log.clear();
  const TRect b = t.Cell(2, 3);
  const QPoint inBox(b.Left + 8, b.Top + 8);
  SendMouse(t.vp(), QEvent::MouseButtonPress, inBox);
  SendMouse(t.vp(), QEvent::MouseButtonRelease, inBox);
  SendMouse(t.vp(), QEvent::MouseButtonDblClick, inBox);
  SendMouse(t.vp(), QEvent::MouseButtonRelease, inBox);
  EXPECT_EQ(log, (std::vector<std::string>{"after - now X", "after X now -"}));
  EXPECT_FALSE(t.lv.Checked(2, 3));
}

TEST(ReportListView, LongTextsAreShortenedWithDots)
{
  TestList t(2);
  t.lv.SetColumnWidth(1, 100);
  const std::string text(40, 'H');
  t.lv.SetCellText(1, 1, text);
  t.lv.SetCellText(1, 2, text);
  t.lv.SetColorBkgdShaded(clWhite);
  // Row 2 right-aligned in its own column: the same text in column 2 made plain.
  t.lv.SetCheckBoxColumn(2, false);
  t.lv.SetColumnWidth(2, 100);
  t.lv.SetCellText(2, 2, text);
  t.lv.SetColumnAlignment(2, taRightJustify);
  const QImage img = t.Shot();
  const QRgb white = Rgb(clWhite);

  const TRect l = t.Cell(1, 1);
  int first = -1, last = -1;
  for (int x = l.Left; x < l.Right; ++x)
    if (InkTop(img, x, l.Top, l.Bottom, white) >= 0) {
      if (first < 0)
        first = x;
      last = x;
    }
  ASSERT_GE(first, 0);
  EXPECT_LE(first, l.Left + 6);
  EXPECT_LT(last, l.Right - 10);  // shortened, not merely clipped at the text area's edge
  const int capTop = InkTop(img, first, l.Top, l.Bottom, white);
  EXPECT_GT(InkTop(img, last, l.Top, l.Bottom, white), capTop + 4);  // ends in dots

  const TRect r = t.Cell(2, 2);
  first = last = -1;
  for (int x = r.Left; x < r.Right; ++x)
    if (InkTop(img, x, r.Top, r.Bottom, white) >= 0) {
      if (first < 0)
        first = x;
      last = x;
    }
  ASSERT_GE(first, 0);
  EXPECT_GE(last, r.Right - 9);  // right-aligned at the text area's edge
  EXPECT_GT(first, r.Left + 10);
  const int top = InkTop(img, last, r.Top, r.Bottom, white);
  EXPECT_LE(InkTop(img, first, r.Top, r.Bottom, white), top + 1);  // a letter first and last
  bool dots = false;
  for (int x = first + 1; x < last; ++x) {
    const int y = InkTop(img, x, r.Top, r.Bottom, white);
    dots = dots || y > top + 4;
  }
  EXPECT_TRUE(dots);
}

TEST(ReportListView, EmptyListShowsItsMessageCentred)
{
  TestList t(0, 281, 200);
  t.lv.SetColorEmptyMsg(clRed);
  t.lv.SetEmptyMessage("No variables|load a file");
  const QImage img = t.Shot();
  const int headers = t.lv.RowHeights(0) + t.lv.RowHeights(1);
  std::vector<int> redRows;
  int minX = img.width(), maxX = -1;
  for (int y = headers; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb p = img.pixel(x, y);
      if (qRed(p) > 150 && qGreen(p) < 100 && qBlue(p) < 100) {
        if (redRows.empty() || redRows.back() != y)
          redRows.push_back(y);
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
      }
    }
  ASSERT_FALSE(redRows.empty());
  // Two lines: a gap in the red rows, the block centred below the headers.
  int gaps = 0;
  for (std::size_t i = 1; i < redRows.size(); ++i)
    gaps += redRows[i] - redRows[i - 1] > 1;
  EXPECT_EQ(gaps, 1);
  const int middle = (redRows.front() + redRows.back()) / 2;
  EXPECT_NEAR(middle, headers + (200 - headers) / 2, 6);
  EXPECT_NEAR((minX + maxX) / 2, 281 / 2, 3);
  // Below the headers the control's colour, not a data cell.
  EXPECT_EQ(img.pixel(2, headers + 2), Rgb(t.lv.Color()));
}

TEST(ReportListView, RowSelectionByMouseAndKeys)
{
  TestList t(6);
  int changes = 0;
  t.lv.OnSelectedChange = [&](TObject*) { ++changes; };
  auto at = [&](int Row) { return QPoint(t.Cell(1, Row).Left + 30, t.Cell(1, Row).Top + 5); };
  auto selected = [&]() {
    std::string s;
    for (int r = 1; r <= 6; ++r)
      s += t.lv.RowSelected(r) ? 'X' : '.';
    return s;
  };
  Click(t.vp(), at(2));
  EXPECT_EQ(selected(), "......");  // mode 0
  t.lv.SetRowSelectMode(1);
  Click(t.vp(), at(2));
  Click(t.vp(), at(4), Qt::ControlModifier);
  EXPECT_EQ(selected(), "...X..");
  EXPECT_EQ(changes, 2);
  t.lv.SetRowSelectMode(2);
  Click(t.vp(), at(1));
  Click(t.vp(), at(3), Qt::ControlModifier);
  EXPECT_EQ(selected(), "X.X...");
  Click(t.vp(), at(6), Qt::ShiftModifier);  // anchor 3 is selected: 3..6 become selected
  EXPECT_EQ(selected(), "X.XXXX");
  Click(t.vp(), at(5), Qt::ControlModifier);  // toggled off, the new anchor
  Click(t.vp(), at(2), Qt::ShiftModifier);    // 2..5 take the anchor's state
  EXPECT_EQ(selected(), "X....X");
  t.lv.SetUseCtrlForMultiSel(false);
  Click(t.vp(), at(2));
  EXPECT_EQ(selected(), "XX...X");
  const QImage img = t.Shot();
  EXPECT_EQ(img.pixel(t.Cell(1, 2).Right - 2, t.Cell(1, 2).Top + 1), Rgb(t.lv.ColorSelectedRow()));
  // Releasing the button outside the grid clears the rows.
  SendMouse(t.vp(), QEvent::MouseButtonPress, at(4), Qt::ControlModifier);
  SendMouse(t.vp(), QEvent::MouseButtonRelease, QPoint(-5, 400));
  EXPECT_EQ(selected(), "......");

  // Keys select the cursor row and tell the owner.
  t.lv.SetRowSelectMode(1);
  t.lv.setFocus();
  std::vector<int> keys;
  t.lv.OnCursorKeyAction = [&](TObject*, int Key) { keys.push_back(Key); };
  t.lv.SetRow(t.lv.GridRowOf(2));
  SendKey(&t.lv, Qt::Key_Down);
  EXPECT_EQ(selected(), "..X...");
  t.lv.SetAutoAdvance(true);
  changes = 0;
  SendKey(&t.lv, Qt::Key_Return);
  EXPECT_EQ(selected(), "...X..");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(keys, (std::vector<int>{Qt::Key_Down, Qt::Key_Down}));
  t.lv.SetRowSelectMode(0);
  EXPECT_EQ(selected(), "......");
}

TEST(ReportListView, HeaderClicksSortAndDoubleClicksSize)
{
  TestList t(4);
  const char* names[] = {"delta", "Alpha", "charlie", "bravo"};
  for (int r = 1; r <= 4; ++r)
    t.lv.SetCellText(1, r, names[r - 1]);
  t.lv.SetRowSelectMode(1);
  Click(t.vp(), QPoint(t.Cell(1, 3).Left + 30, t.Cell(1, 3).Top + 5));  // "charlie" selected
  const TRect h = t.lv.CellRect(0, 1);
  Click(t.vp(), QPoint(h.Left + h.Width() / 2, h.Top + 5));
  EXPECT_EQ(t.lv.CellText(1, 1), "delta");  // sorting is off in this list
  const QImage unsorted = t.Shot();
  t.lv.SetSortEnabled(true);
  Click(t.vp(), QPoint(h.Left + 3, h.Top + 5));  // too near the edge
  EXPECT_EQ(t.lv.CellText(1, 1), "delta");
  Click(t.vp(), QPoint(h.Left + h.Width() / 2, h.Top + 5));
  EXPECT_EQ(t.lv.CellText(1, 1), "Alpha");
  EXPECT_EQ(t.lv.CellText(1, 4), "delta");
  EXPECT_TRUE(t.lv.RowSelected(3));  // "charlie" moved to row 3 with its flag
  EXPECT_EQ(t.lv.CellText(1, 3), "charlie");
  EXPECT_EQ(t.lv.Data().SortColumn(), 1);
  // The sort triangle: the header now differs from before right of its text.
  const QImage sorted = t.Shot();
  bool differs = false;
  for (int x = h.Left; x < h.Right; ++x)
    for (int y = h.Top; y < h.Bottom; ++y)
      differs = differs || sorted.pixel(x, y) != unsorted.pixel(x, y);
  EXPECT_TRUE(differs);
  Click(t.vp(), QPoint(h.Left + h.Width() / 2, h.Top + 5));
  EXPECT_EQ(t.lv.CellText(1, 1), "delta");
  EXPECT_FALSE(t.lv.Data().SortDirection());

  // A double click on the border right of column 1 sizes it to its widest text.
  TCanvas& canvas = t.lv.Canvas();
  const int widest = canvas.TextWidth(std::string("charlie"));
  SendMouse(t.vp(), QEvent::MouseButtonDblClick, QPoint(h.Right - 2, h.Top + 5));
  EXPECT_EQ(t.lv.ColumnWidth(1), widest + 10);
  const TRect h2 = t.lv.CellRect(1, 1);
  SendMouse(t.vp(), QEvent::MouseButtonDblClick, QPoint(h2.Right - 1, h2.Top + 5));
  EXPECT_EQ(t.lv.ColumnWidth(2), 26);  // empty labels: 0 + 16 + 10
  t.lv.FitColumnWidth(1, 28);
  EXPECT_EQ(t.lv.ColumnWidth(1), t.lv.ClientWidth() - 28 - t.lv.ColumnWidth(2) - t.lv.ColumnWidth(3));
  t.lv.FitColumnWidth(1, 1000);
  EXPECT_EQ(t.lv.ColumnWidth(1), 16);
}

TEST(ReportListView, EditingACheckBoxLabelKeepsItsState)
{
  TestList t(2);
  t.lv.SetColumnEditable(3, true);
  t.lv.SetChecked(3, 1, true);
  t.lv.SetCellText(3, 1, "old");
  std::vector<std::string> seen;
  t.lv.OnSetEditText = [&](TObject* Sender, int, int, const std::string& Value) {
    seen.push_back(Value + "|" + dynamic_cast<TReportListView*>(Sender)->CellText(3, 1));
  };
  // A plain column that is not editable opens nothing.
  t.lv.setFocus();
  t.lv.FocusCell(0, t.lv.GridRowOf(1), true);
  SendKey(&t.lv, Qt::Key_F2);
  EXPECT_FALSE(t.lv.EditorMode());
  t.lv.FocusCell(2, t.lv.GridRowOf(1), true);
  SendKey(&t.lv, Qt::Key_F2);
  ASSERT_TRUE(t.lv.EditorMode());
  EXPECT_EQ(t.lv.InplaceEditor()->text().toStdString(), "old");
  t.lv.InplaceEditor()->setText("new");
  SendKey(t.lv.InplaceEditor(), Qt::Key_Return);
  EXPECT_FALSE(t.lv.EditorMode());
  EXPECT_EQ(t.lv.CellText(3, 1), "Xnew");
  EXPECT_EQ(seen, (std::vector<std::string>{"new|Xnew"}));
}

TEST(ReportListView, CommonHeaderBandAndSuppressPaint)
{
  TestList t(2);
  t.lv.SetColorCommonHd(clYellow);
  t.lv.SetColorColumnHd(clAqua);
  QImage img = t.Shot();
  const int right = t.lv.CellRect(2, 0).Right;
  EXPECT_EQ(img.pixel(0, 5), Rgb(clWhite));      // raised edge
  EXPECT_EQ(img.pixel(2, 12), Rgb(clYellow));    // the band over all columns
  EXPECT_EQ(img.pixel(right - 3, 12), Rgb(clYellow));
  EXPECT_EQ(img.pixel(right - 1, 12), Rgb(clBlack));  // black rightmost line
  EXPECT_EQ(img.pixel(right - 2, 12), Rgb(0x808080));
  EXPECT_EQ(img.pixel(2, t.lv.RowHeights(0) + 10), Rgb(clAqua));
  // While painting is suppressed nothing changes on the screen; storing False repaints.
  int paints = 0;
  t.lv.OnBeforeRenderCell = [&](TObject*, int, int, TColor&, TColor&, TColor&, TFontStyles&, std::string&) { ++paints; };
  t.lv.SetSuppressPaint(true);
  t.Shot();
  EXPECT_EQ(paints, 0);
  t.lv.SetSuppressPaint(false);
  t.Shot();
  EXPECT_GT(paints, 0);
}

TEST(ReportListView, HighlightFixedColumnPasswordAndDisabledControl)
{
  TestList t(3);
  t.lv.SetHighLightRow(2);
  t.lv.SetColumnPassword(1, true);
  std::vector<std::string> texts;
  t.lv.OnBeforeRenderCell = [&](TObject*, int ACol, int, TColor&, TColor&, TColor&, TFontStyles&, std::string& Text) {
    if (ACol == 1)
      texts.push_back(Text);
  };
  QImage img = t.Shot();
  EXPECT_EQ(img.pixel(t.Cell(3, 2).Right - 2, t.Cell(3, 2).Top + 1), Rgb(t.lv.ColorHigh()));
  EXPECT_EQ(img.pixel(t.Cell(3, 1).Right - 2, t.Cell(3, 1).Top + 1), Rgb(t.lv.ColorBkgdShaded()));
  ASSERT_FALSE(texts.empty());
  for (const std::string& s : texts)
    EXPECT_EQ(s, "******");
  EXPECT_EQ(t.lv.CellText(1, 1), "1 - Var");  // only drawn masked

  // A fixed first column: header colour and a raised edge.
  t.lv.SetFixedFirstColumn(true);
  EXPECT_EQ(t.lv.FixedCols(), 1);
  img = t.Shot();
  const TRect f = t.Cell(1, 3);
  EXPECT_EQ(img.pixel(f.Left, f.Top + 5), Rgb(clWhite));
  EXPECT_EQ(img.pixel(f.Left + 5, f.Top), Rgb(clWhite));
  EXPECT_EQ(img.pixel(f.Right - 1, f.Top + 5), Rgb(0x808080));
  EXPECT_EQ(img.pixel(f.Left + 5, f.Bottom - 1), Rgb(0x808080));
  EXPECT_EQ(img.pixel(f.Right - 3, f.Top + 3), Rgb(t.lv.ColorColumnHd()));

  // A disabled control: no highlight, boxes and the band in the disabled colours, no toggling.
  t.lv.SetEnabled(false);
  img = t.Shot();
  EXPECT_EQ(img.pixel(t.Cell(3, 2).Right - 2, t.Cell(3, 2).Top + 1), Rgb(t.lv.ColorBkgdNormal()));
  EXPECT_EQ(img.pixel(t.Cell(3, 2).Left + 4, t.Cell(3, 2).Top + 8), Rgb(clInactiveCaption));
  EXPECT_EQ(img.pixel(3, 12), Rgb(t.lv.ColorDisabledBkgd()));
  Click(t.vp(), QPoint(t.Cell(3, 2).Left + 8, t.Cell(3, 2).Top + 8));
  EXPECT_FALSE(t.lv.Checked(3, 2));
}
