// TNTabEd: the selected objects. A set of rows chosen from outside (a chart's marks), the rows a
// block spans, the set following its rows through inserts and deletes, and Escape and a new
// block dropping it; the rows of the set are drawn in the block's colours.
#include "ntabed_test_util.h"
#include "orvex_tablebuilder.h"

#include <gtest/gtest.h>

using namespace orvex;

namespace {

struct TRowSelFixture : ::testing::Test {
  TNTabEd E;
  int Notices = 0;

  void SetUp() override
  {
    E.setFrameShape(QFrame::NoFrame);
    E.resize(500, 400);
    E.Resize(3, 12);
    E.OnSelectionChanged = [this](TObject*) { ++Notices; };
  }
  // The background of data cell (Col, Row) halfway down its left edge, left of any text.
  TColor CellBack(const QImage& Img, int Col, int Row)
  {
    const TRect r = E.CellRect(Col + 1, Row);
    return PixelAt(Img, r.Left + 1, (r.Top + r.Bottom) / 2);
  }
};

using Rows = std::vector<int>;

}  // namespace

TEST_F(TRowSelFixture, BlocksCountAsRowsOnlyWhenTheySpanWholeRowsOrSeveralRows)
{
  E.SetSelection({2, 3, 2, 3});  // the cursor in data cell (1, 3)
  EXPECT_EQ(E.SelectedRows(), Rows{});
  E.SetSelection({2, 3, 3, 3});  // part of one row
  EXPECT_EQ(E.SelectedRows(), Rows{});
  E.SetSelection({2, 3, 4, 3});  // the whole row
  EXPECT_EQ(E.SelectedRows(), Rows{3});
  E.SetSelection({3, 5, 3, 7});  // one column over three rows
  EXPECT_EQ(E.SelectedRows(), (Rows{5, 6, 7}));
}

TEST_F(TRowSelFixture, ASetIsDrawnSelectedFollowsItsRowsAndIsDroppedByANewBlock)
{
  const TColor normal = CellBack(Grab(E), 2, 9);
  E.SetSelectedRows({9, 4, 40, 4, 0});  // unsorted, repeated and out of range
  EXPECT_EQ(E.SelectedRows(), (Rows{4, 9}));
  EXPECT_EQ(Notices, 1);
  // The block is the first row, whole, with the current cell at its start.
  EXPECT_EQ(E.Row(), 4);
  EXPECT_EQ(E.Col(), 2);  // grid column: data column 1, after the attribute column
  const QImage img = Grab(E);
  EXPECT_EQ(CellBack(img, 2, 9), E.ColorRangeSelBG());
  EXPECT_EQ(CellBack(img, 3, 4), E.ColorRangeSelBG());
  EXPECT_EQ(CellBack(img, 2, 8), normal);
  EXPECT_NE(normal, E.ColorRangeSelBG());

  E.InsertRow(6);  // between the two: the later one moves down
  EXPECT_EQ(E.SelectedRows(), (Rows{4, 10}));
  EXPECT_EQ(E.Row(), 4);
  E.DeleteRow(2);  // above both
  EXPECT_EQ(E.SelectedRows(), (Rows{3, 9}));
  E.DeleteRow(3);  // one of them: the block follows the other
  EXPECT_EQ(E.SelectedRows(), (Rows{8}));
  EXPECT_EQ(E.Row(), 8);
  E.DeleteRow(8);  // the last one: nothing is selected, not even the row now in its place
  EXPECT_EQ(E.SelectedRows(), Rows{});
  E.SetSelectedRows({E.NrOfRows()});
  E.DeleteRow(1);  // the block moves up with the last row, which is still selected
  EXPECT_EQ(E.SelectedRows(), Rows{E.NrOfRows()});

  // A block chosen by the user replaces the set.
  E.SetSelectedRows({2, 5});
  Click(E, CellCentre(E, 2, 7));
  EXPECT_EQ(E.SelectedRows(), Rows{});
  EXPECT_EQ(CellBack(Grab(E), 1, 5), normal);
}

TEST_F(TRowSelFixture, EscapeClearsTheSetAndABlockButFirstClosesAnOpenEditor)
{
  E.SetSelectedRows({2, 5});
  const int before = Notices;
  SendKey(&E, Qt::Key_Escape);
  EXPECT_EQ(E.SelectedRows(), Rows{});
  EXPECT_GT(Notices, before);
  EXPECT_EQ(E.Row(), 2);  // the cursor stays

  E.SetSelection({2, 3, 2, 8});
  SendKey(&E, Qt::Key_Escape);
  EXPECT_EQ(E.SelectedRows(), Rows{});

  E.SetSelection({2, 3, 4, 3});
  TypeText(E, "7");
  ASSERT_TRUE(E.EditorMode());
  SendKey(&E, Qt::Key_Escape);  // the first Escape only cancels the typing
  EXPECT_FALSE(E.EditorMode());
  EXPECT_EQ(E.SelectedRows(), Rows{3});
  E.SetSelectedRows({});
  EXPECT_EQ(E.SelectedRows(), Rows{});
}

TEST_F(TRowSelFixture, ANewTableDropsTheSet)
{
  E.SetSelectedRows({3, 7});
  E.Resize(3, 5);  // cut at the end: row 7 goes
  EXPECT_EQ(E.SelectedRows(), Rows{3});
  E.SetSelectedRows({1, 2});
  TTableBuilder b;
  b.Resize(3, 8);
  E.DataTable().Adopt(std::move(b));  // as a load puts a new table in
  EXPECT_EQ(E.SelectedRows(), Rows{});
}
