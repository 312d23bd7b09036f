// TNTabEd: creation, layout, binding to the table and the drawn cells, checked through the
// painted pixels and the events that fire.
#include "ntabed_test_util.h"
#include "orvex_stringl.h"

#include <gtest/gtest.h>
#include <map>

using namespace orvex;

namespace {

// An editor with a visible size, a 3 x 4 table and a fixed cell layout.
struct TEditorFixture : ::testing::Test {
  TNTabEd E;
  void SetUp() override
  {
    E.setFrameShape(QFrame::NoFrame);
    E.resize(600, 300);
    // A large font, so that text strokes have pixels of the full text colour.
    E.Font().SetHeight(-28);
    E.SetDefaultRowHeight(40);
    E.SetDefaultColWidth(110);
  }
  // The texts the editor draws, by data cell, as OnBeforeRenderCell sees them during a paint.
  std::map<std::pair<int, int>, std::string> DrawnTexts()
  {
    std::map<std::pair<int, int>, std::string> texts;
    E.OnBeforeRenderCell = [&](TObject*, int c, int r, std::string& Text, TColor&, TColor&, TFontStyles&) {
      texts[{c, r}] = Text;
    };
    Grab(E);
    E.OnBeforeRenderCell = nullptr;
    return texts;
  }
};

}  // namespace

TEST(NTabEdFormat, FormatCellNumberSwitchesToExponentFormOutsideTheFixedRange)
{
  auto expo = [](double v, int w) { return FormatReal(v, w + 6, -2); };
  EXPECT_EQ(FormatCellNumber(1234.5, 1, 2), "1234.50");
  EXPECT_EQ(FormatCellNumber(0.004, 1, 2), expo(0.004, 1));
  EXPECT_EQ(FormatCellNumber(0, 1, 2), "0.00");
  EXPECT_EQ(FormatCellNumber(1000000, 1, 2), expo(1000000, 1));
  EXPECT_EQ(FormatCellNumber(999999.99, 1, 2), "999999.99");
  EXPECT_EQ(FormatCellNumber(-0.01, 1, 2), "-0.01");
  EXPECT_EQ(FormatCellNumber(0.5, 1, 0), expo(0.5, 1));
  EXPECT_EQ(FormatCellNumber(12, 1, 0), "12");
  EXPECT_EQ(FormatCellNumber(999999999, 1, 0), "999999999");
  EXPECT_EQ(FormatCellNumber(1e9, 1, 0), expo(1e9, 1));
  EXPECT_EQ(FormatCellNumber(0.99999999, 1, 8), "0.99999999");
  EXPECT_EQ(FormatCellNumber(1, 1, 8), expo(1, 1));
  for (int d : {-1, 9, 10})
    EXPECT_EQ(FormatCellNumber(1.5, 1, d), expo(1.5, 1)) << d;
  EXPECT_EQ(FormatCellNumber(1.5, 8, 3), FormatReal(1.5, 8, 3));
}

TEST(NTabEd, CreationDefaults)
{
  TNTabEd E;
  EXPECT_EQ(E.NrOfColumns(), 3);
  EXPECT_EQ(E.NrOfRows(), 4);
  EXPECT_EQ(E.ColCount(), 5);
  EXPECT_EQ(E.RowCount(), 5);
  EXPECT_EQ(E.FixedCols(), 2);
  EXPECT_EQ(E.FixedRows(), 1);
  EXPECT_EQ(E.ColWidths(0), 80);
  EXPECT_EQ(E.ColWidths(1), 32);
  EXPECT_EQ(E.DefaultRowHeight(), 24);
  EXPECT_TRUE(E.AttribRowVisible());
  EXPECT_FALSE(E.AttribColVisible());
  for (int c = 1; c <= 3; ++c)
    EXPECT_EQ(E.ColPrecision(c), 3);
  EXPECT_EQ(E.NumWidth(), 1);
  EXPECT_EQ(E.ColorNormal(), 8192u);
  EXPECT_EQ(E.ColorSelected(), 4210752u);
  EXPECT_EQ(E.ColorMarkedBoth(), 13369531u);
  EXPECT_EQ(E.ColorRangeSelFG(), 8410412u);
  EXPECT_EQ(E.ColorRangeSelBG(), 16312544u);
  EXPECT_EQ(E.ColorBackground(), clWindow);
  EXPECT_EQ(E.ColorFixed(), clBtnFace);
  EXPECT_TRUE(E.AutoAdvance());
  EXPECT_EQ(E.AutoAdvanceDir(), orVert);
  EXPECT_TRUE(E.ClipboardUseFullPrec());
  EXPECT_TRUE(E.CommentEditingAllowed());
  EXPECT_FALSE(E.DataReadOnly());
  EXPECT_EQ(E.NomEditDropDownCount(), 8);
  EXPECT_TRUE(E.Options().Contains(goRangeSelect));
  EXPECT_EQ(E.LeftCol(), 1);
  EXPECT_EQ(E.TopRow(), 1);
  EXPECT_FALSE(E.CopyTableFilled());
}

TEST_F(TEditorFixture, PropertyWriteRulesAndTheirEvents)
{
  TEditorLog log;
  log.Attach(E);
  E.SetNumWidth(25);
  EXPECT_EQ(E.NumWidth(), 1);
  E.SetNumWidth(20);
  EXPECT_EQ(E.NumWidth(), 20);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"Layout", "Layout"}));

  log.Events.clear();
  for (auto [in, out] : {std::pair{200, -1}, {-1, -1}, {11, 10}, {128, -1}, {127, 10}, {0, 0}, {7, 7}}) {
    E.SetColPrecision(2, in);
    EXPECT_EQ(E.ColPrecision(2), out) << in;
  }
  EXPECT_EQ(log.Events.size(), 7u);
  E.SetColPrecision(9, 4);  // out of range: nothing
  EXPECT_EQ(log.Events.size(), 7u);

  log.Events.clear();
  E.SetBoldMarks(true);  // unchanged: no event
  E.SetBoldMarks(false);
  E.SetEmptyMessage("x");
  E.SetEmptyMessage("x");
  E.SetColorMarkedA(clGreen);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"Layout", "Setup", "Layout"}));

  log.Events.clear();
  E.SetColName(1, std::string(60, 'n'));
  E.SetRowAttrib(2, 300);
  E.SetColAttrib(1, -5);
  E.SetColName(7, "gone");
  EXPECT_EQ(E.ColName(1), std::string(50, 'n'));
  EXPECT_EQ(E.RowAttrib(2), 255);
  EXPECT_EQ(E.ColAttrib(1), 0);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"Heading", "Attribute", "Attribute"}));

  log.Events.clear();
  E.SetComment("one\ntwo\tthree");
  EXPECT_EQ(E.Comment(), "onetwothree");
  EXPECT_EQ(log.Events, (std::vector<std::string>{"Setup", "Change"}));

  E.SetVRangeLow(0);
  E.SetVRangeHigh(10);
  E.SetElem(1, 1, 12);
  E.SetElem(1, 2, -1);
  E.SetElem(1, 3, 5);
  EXPECT_EQ(E.Elem(1, 1), 10);
  EXPECT_EQ(E.Elem(1, 2), 0);
  EXPECT_EQ(E.Elem(1, 3), 5);
  E.SetVRangeHigh(0);
  E.SetElem(1, 1, 12);
  EXPECT_EQ(E.Elem(1, 1), 12);
}

TEST_F(TEditorFixture, ResizeAndTableResizeRelayoutTheGrid)
{
  TEditorLog log;
  log.Attach(E);
  E.SetColWidths(4, 90);  // data column 3
  E.SetColWidths(2, 70);
  E.SetColPrecision(3, 5);
  log.Events.clear();
  E.SetNrOfColumns(5);
  EXPECT_EQ(E.ColCount(), 7);
  EXPECT_EQ(E.ColWidths(5), 90);
  EXPECT_EQ(E.ColWidths(6), 90);
  EXPECT_EQ(E.ColPrecision(4), 5);
  EXPECT_EQ(E.ColPrecision(5), 5);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"Setup"}));

  // The table resized on its own (as a file load does) relays out the grid as well.
  E.DataTable().Resize(2, 10);
  EXPECT_EQ(E.ColCount(), 4);
  EXPECT_EQ(E.RowCount(), 11);
  E.DataTable().Resize(0, 0);
  EXPECT_EQ(E.ColCount(), 2);
  E.DataTable().Resize(2, 3);
  EXPECT_EQ(E.FixedCols(), 2);
  EXPECT_EQ(E.FixedRows(), 1);
  EXPECT_EQ(E.ColPrecision(1), 2);  // from an empty table: 2
  EXPECT_EQ(E.ColPrecision(2), 2);
}

// The precisions move with their columns also when the table's own operations insert or delete
// them (an owner's undo takes a deleted column back that way).
TEST_F(TEditorFixture, PrecisionsFollowColumnsMovedByTheTable)
{
  for (int c = 1; c <= 3; ++c)
    E.SetColPrecision(c, c);  // 1 2 3
  E.DataTable().InsertColumn(2);
  ASSERT_EQ(E.NrOfColumns(), 4);
  EXPECT_EQ((std::vector<int>{E.ColPrecision(1), E.ColPrecision(2), E.ColPrecision(3), E.ColPrecision(4)}),
            (std::vector<int>{1, 2, 2, 3}));
  E.DataTable().DeleteColumn(1);
  EXPECT_EQ((std::vector<int>{E.ColPrecision(1), E.ColPrecision(2), E.ColPrecision(3)}), (std::vector<int>{2, 2, 3}));
  E.DeleteColumn(2);  // through the editor: the same rule, applied once
  EXPECT_EQ((std::vector<int>{E.ColPrecision(1), E.ColPrecision(2)}), (std::vector<int>{2, 3}));
  E.InsertColumn(3);  // appended: the last column's precision
  EXPECT_EQ(E.ColPrecision(3), 3);
}

TEST_F(TEditorFixture, AttributeColumnAndRowShiftTheLayout)
{
  E.Resize(4, 3);
  for (int j = 1; j <= 4; ++j)
    E.SetColWidths(j + 1, 40 + 10 * j);
  TEditorLog log;
  log.Attach(E);
  E.SetAttribRowVisible(false);
  EXPECT_EQ(E.ColCount(), 5);
  EXPECT_EQ(E.FixedCols(), 1);
  for (int j = 1; j <= 4; ++j)
    EXPECT_EQ(E.ColWidths(j), 40 + 10 * j) << j;
  EXPECT_EQ(E.LeftCol(), 1);
  E.SetAttribRowVisible(true);
  EXPECT_EQ(E.ColCount(), 6);
  EXPECT_EQ(E.ColWidths(1), 32);
  for (int j = 1; j <= 4; ++j)
    EXPECT_EQ(E.ColWidths(j + 1), 40 + 10 * j) << j;

  E.SetRowHeights(2, 30);  // data row 2
  E.SetAttribColVisible(true);
  EXPECT_EQ(E.RowCount(), 5);
  EXPECT_EQ(E.FixedRows(), 2);
  EXPECT_EQ(E.RowHeights(3), 30);
  EXPECT_EQ(E.RowHeights(1), E.RowHeights(0));
  E.SetAttribColVisible(false);
  EXPECT_EQ(E.RowHeights(2), 30);
  EXPECT_EQ(log.WithoutSelection(), (std::vector<std::string>{"Layout", "Layout", "Layout", "Layout"}));

  E.SetDefaultColWidth(50);
  EXPECT_EQ(E.ColWidths(0), 80);
  EXPECT_EQ(E.ColWidths(1), 32);
  EXPECT_EQ(E.ColWidths(2), 50);
}

TEST_F(TEditorFixture, LeftColAndTopRowAreDataRelativeAndClamped)
{
  E.Resize(6, 50);
  E.SetLeftCol(0);
  EXPECT_EQ(E.LeftCol(), 1);
  EXPECT_EQ(E.TCustomGrid::LeftCol(), 2);
  E.SetLeftCol(1000);
  EXPECT_EQ(E.LeftCol(), 6);
  E.SetTopRow(20);
  EXPECT_EQ(E.TopRow(), 20);
  E.SetTopRow(-3);
  EXPECT_EQ(E.TopRow(), 1);
  E.SetAttribColVisible(true);
  E.SetTopRow(1000);
  EXPECT_EQ(E.TopRow(), 50);
  EXPECT_EQ(E.TCustomGrid::TopRow(), 51);
}

TEST_F(TEditorFixture, CellTextsByStateAndLevel)
{
  E.Resize(2, 6);
  TDataTable& T = E.DataTable();
  T.SetVarType(2, vtNominal);
  T.SetLevelName(2, 2, "two");
  for (int r = 1; r <= 6; ++r)
    E.SetElem(1, r, 5.25);
  T.SetCellState(1, 1, 1);
  T.SetCellState(1, 2, 2);
  T.SetCellState(1, 3, 3);
  E.SetElem(2, 1, 2);
  E.SetElem(2, 2, 200);
  E.SetElem(2, 3, 4);
  E.SetElem(2, 4, -1);
  E.SetElem(2, 5, 1e30);
  T.SetVarType(1, vtInterval);
  E.SetColPrecision(1, 1);
  auto texts = DrawnTexts();
  EXPECT_EQ((texts[{1, 1}]), "-nan-");
  EXPECT_EQ((texts[{1, 2}]), "");
  EXPECT_EQ((texts[{1, 3}]), "");
  EXPECT_EQ((texts[{1, 4}]), "5.3");  // halves away from zero in the column's precision
  EXPECT_EQ((texts[{2, 1}]), "two");
  EXPECT_EQ((texts[{2, 2}]), "Nominal:200");
  EXPECT_EQ((texts[{2, 3}]), "Nominal:4");
  EXPECT_EQ((texts[{2, 4}]), "Nominal:-1");
  EXPECT_EQ((texts[{2, 5}]), "Nominal:" + FormatReal(1e30, 1, 0));
  T.SetVarType(2, vtOrdinal);
  texts = DrawnTexts();
  EXPECT_EQ((texts[{2, 3}]), "Ordinal:4");
}

TEST_F(TEditorFixture, DataCellPixelsTextPlaceMarksAndSelection)
{
  E.Resize(3, 3);
  for (int c = 1; c <= 3; ++c)
    for (int r = 1; r <= 3; ++r)
      E.SetElem(c, r, 888);
  E.SetColPrecision(1, 0);
  E.SetColPrecision(2, 0);
  E.SetColPrecision(3, 0);
  E.SetCellState(1, 2, csMarkA);
  E.SetCellState(2, 2, csMarkB);
  E.SetCellState(3, 2, csMarkA | csMarkB);
  E.SetCellState(3, 3, csMarkA);
  E.SetSelection({3, 3, 4, 3});  // data cells (2,3) and (3,3): selected, one marked
  const QImage img = Grab(E);
  const TColor back = ColorToRGB(clWindow);

  // The text sits 2 pixels from the left and 1 below the top: the same ink as the text drawn
  // there on a bitmap with the same font.
  const TRect cell = E.CellRect(2, 1);
  const TRect want = ReferenceInk(E, cell, back, E.ColorNormal(), 2, 1, "888");
  const TRect got = InkBox(img, cell, back);
  ASSERT_FALSE(want.IsEmpty());
  EXPECT_EQ(got.Left - cell.Left, want.Left);
  EXPECT_EQ(got.Top - cell.Top, want.Top);
  EXPECT_EQ(got.Width(), want.Width());
  EXPECT_EQ(got.Height(), want.Height());

  // Mark colours (bold text has pixels of the full colour).
  EXPECT_TRUE(HasColour(img, E.CellRect(2, 2), E.ColorMarkedA()));
  EXPECT_TRUE(HasColour(img, E.CellRect(3, 2), E.ColorMarkedB()));
  EXPECT_TRUE(HasColour(img, E.CellRect(4, 2), E.ColorMarkedBoth()));
  EXPECT_FALSE(HasColour(img, E.CellRect(4, 2), E.ColorMarkedA()));
  EXPECT_TRUE(HasColour(img, E.CellRect(2, 1), E.ColorNormal()));
  // Marked cells are bold: wider ink than the plain cell.
  EXPECT_GT(InkCount(img, E.CellRect(2, 2), back), InkCount(img, cell, back));

  // Selected cells: the selection background; the unmarked one in the selection text colour,
  // the marked one keeps its mark colour.
  const TRect sel = E.CellRect(3, 3);
  EXPECT_EQ(PixelAt(img, sel.Right - 2, sel.Bottom - 2), E.ColorRangeSelBG());
  EXPECT_TRUE(HasColour(img, sel, E.ColorRangeSelFG()));
  const TRect selMarked = E.CellRect(4, 3);
  EXPECT_EQ(PixelAt(img, selMarked.Right - 2, selMarked.Bottom - 2), E.ColorRangeSelBG());
  EXPECT_TRUE(HasColour(img, selMarked, E.ColorMarkedA()));
  EXPECT_EQ(PixelAt(img, cell.Right - 2, cell.Bottom - 2), back);

  // OnBeforeRenderCell may change text and colours.
  E.OnBeforeRenderCell = [](TObject*, int c, int r, std::string& Text, TColor& Fore, TColor& Bakg, TFontStyles&) {
    if (c == 1 && r == 1) {
      Text = "#";
      Fore = clBlack;
      Bakg = clYellow;
    }
  };
  const QImage img2 = Grab(E);
  EXPECT_EQ(PixelAt(img2, cell.Right - 2, cell.Bottom - 2), clYellow);
  EXPECT_TRUE(HasColour(img2, cell, clBlack));
}

TEST_F(TEditorFixture, HeadersCornerAndCommentCaption)
{
  E.Resize(3, 3);
  E.SetColName(1, "WWW");
  E.SetColName(2, "WWW");
  E.SetSelection({3, 2, 3, 2});  // data cell (2, 2)
  const QImage img = Grab(E);
  const TColor fixed = ColorToRGB(clBtnFace);
  // The header of the selected column is drawn in ColorSelected and bold; the other in ColorNormal.
  EXPECT_TRUE(HasColour(img, E.CellRect(3, 0), E.ColorSelected()));
  EXPECT_FALSE(HasColour(img, E.CellRect(2, 0), E.ColorSelected()));
  EXPECT_TRUE(HasColour(img, E.CellRect(2, 0), E.ColorNormal()));
  EXPECT_GT(InkCount(img, E.CellRect(3, 0), fixed), InkCount(img, E.CellRect(2, 0), fixed));
  // Names start 2 pixels into the cell after its 1-pixel margin.
  const TRect head = E.CellRect(2, 0);
  const TRect want = ReferenceInk(E, head, fixed, E.ColorNormal(), 3, 2, "WWW");
  const TRect got = InkBox(img, head, fixed);
  EXPECT_EQ(got.Left - head.Left, want.Left);
  EXPECT_EQ(got.Top - head.Top, want.Top);

  // The corner shows the current cell as column:row at (3, 2).
  const TRect corner = E.CellRect(0, 0);
  const TColor window = ColorToRGB(clWindow);
  EXPECT_EQ(InkBox(img, corner, window), ReferenceInk(E, corner, window, E.ColorNormal(), 3, 2, "2:2"));
  E.SetShowCellCursor(false);
  EXPECT_TRUE(InkBox(Grab(E), corner, window).IsEmpty());

  // Right-click on the corner opens the comment memo: teal corner with the white caption.
  E.PopupHook = [](QMenu*, const QPoint&) {};
  Click(E, CellCentre(E, 0, 0), Qt::RightButton);
  ASSERT_TRUE(E.CommentEditing());
  const QImage img2 = Grab(E);
  EXPECT_EQ(PixelAt(img2, corner.Right - 2, corner.Bottom - 2), RGB(0, 128, 128));
  EXPECT_TRUE(HasColour(img2, corner, clWhite));
}

TEST_F(TEditorFixture, EmptyTableShowsTheCentredMessage)
{
  E.Resize(3, 0);
  E.SetEmptyMessage("No data|load a file");
  E.SetColorEmptyMsg(clRed);
  const QImage img = Grab(E);
  const TColor back = ColorToRGB(clWindow);
  // No grid lines or cells: only the background and the two lines of text.
  std::vector<int> inkRows;
  for (int y = 0; y < img.height(); ++y) {
    bool ink = false;
    for (int x = 0; x < img.width(); ++x)
      ink = ink || PixelAt(img, x, y) != back;
    if (ink)
      inkRows.push_back(y);
  }
  ASSERT_FALSE(inkRows.empty());
  // Two bands of text, separated by a gap.
  int bands = 1;
  for (std::size_t i = 1; i < inkRows.size(); ++i)
    bands += inkRows[i] > inkRows[i - 1] + 1;
  EXPECT_EQ(bands, 2);
  const TRect all = InkBox(img, {0, 0, img.width(), img.height()}, back);
  EXPECT_TRUE(HasColour(img, all, clRed));
  // Each line centred in the width.
  const int h = E.Canvas().TextHeight("No data|load a file");
  const int top = (img.height() + 2 * h) / 2 - 2 * h - 2;
  const TRect first = InkBox(img, {0, top, img.width(), top + h}, back);
  const TRect second = InkBox(img, {0, top + h, img.width(), top + 2 * h}, back);
  EXPECT_LE(std::abs((first.Left + first.Right) - img.width()), 2);
  EXPECT_LE(std::abs((second.Left + second.Right) - img.width()), 2);
  EXPECT_GT(second.Width(), first.Width());
  EXPECT_GE(first.Top, top);
  EXPECT_LT(first.Bottom, top + h + 1);
}

TEST_F(TEditorFixture, OptimizeRowHeightFollowsTheFont)
{
  E.SetAttribColVisible(true);
  E.Font().SetHeight(-20);
  E.SetOptimizeRowHeight(true);
  Grab(E);
  const int h = E.Canvas().TextHeight("9GMg\xc3\x9c$\xc2\xa7[{|");
  EXPECT_EQ(E.DefaultRowHeight(), h + 4);
  EXPECT_EQ(E.RowHeights(1), h + 4);
}

TEST_F(TEditorFixture, BindingRelaysTableEventsExceptWhileSuspended)
{
  TEditorLog log;
  log.Attach(E);
  std::vector<int> percents;
  E.OnPercentDone = [&](TObject*, int p) { percents.push_back(p); };
  E.DataTable().SetElem(1, 1, 3);
  E.DataTable().SetComment("c");
  E.DataTable().OnPercentDone(&E.DataTable(), 40);
  // A value written to the table fires its OnChange twice (its own and the matrix's notice).
  EXPECT_EQ(log.Events, (std::vector<std::string>{"Change", "Change", "Setup"}));
  EXPECT_EQ(percents, std::vector<int>{40});

  log.Events.clear();
  E.InsertRow(2);
  E.InsertColumn(1);
  E.DeleteColumn(2);
  E.DeleteRow(1);
  EXPECT_TRUE(log.Events.empty());
  EXPECT_EQ(E.NrOfColumns(), 3);
  EXPECT_EQ(E.NrOfRows(), 4);
  // Index checks as the table's; the last column is never deleted.
  E.Resize(1, 1);
  E.DeleteColumn(1);
  E.InsertColumn(5);
  EXPECT_EQ(E.NrOfColumns(), 1);
}
