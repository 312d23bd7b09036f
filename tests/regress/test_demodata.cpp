// The demonstration data as the window loads them, and the class colour lookup.
#include "demodata.h"
#include "orvex_datatable.h"

#include <gtest/gtest.h>

using namespace orvex;

TEST(DemoData, LoadsSixNamedColumnsOfFortyObjectsOverAnyPreviousTable)
{
  TDataTable table;
  table.Resize(9, 3);  // a table that held something else before
  table.SetColName(1, "old");
  table.SetRowAttrib(2, 5);
  LoadDemoData(table);

  ASSERT_EQ(table.NrOfColumns(), 6);
  ASSERT_EQ(table.NrOfRows(), 40);
  EXPECT_EQ(table.ColName(1), "Total Weight");
  EXPECT_EQ(table.ColName(3), "Length");
  EXPECT_EQ(table.ColName(6), "Net Weight");
  EXPECT_EQ(table.Elem(1, 1), 172);
  EXPECT_EQ(table.Elem(4, 22), 42);
  EXPECT_EQ(table.Elem(6, 40), 68);
  // Column sums guard against a mistyped value anywhere in the table.
  const double sums[6] = {6702, 2503, 6534, 1521, 9291, 4199};
  for (int c = 1; c <= 6; ++c) {
    double s = 0;
    for (int r = 1; r <= 40; ++r) {
      s += table.Elem(c, r);
      EXPECT_TRUE(table.ElemValid(c, r));
    }
    EXPECT_EQ(s, sums[c - 1]) << "column " << c;
  }
  // Rows keep what the resize leaves: default names, and attribute 0 for the new rows.
  EXPECT_EQ(table.RowName(40), "R-40");
  EXPECT_EQ(table.RowAttrib(40), 0);
}

TEST(DemoData, ClassColorIndexUsesLowEightBitsModuloSixteen)
{
  EXPECT_EQ(ClassColors[ClassColorIndex(3)], 0x0000FFu);  // class 3 is red
  EXPECT_EQ(ClassColorIndex(0), 0);
  EXPECT_EQ(ClassColorIndex(15), 15);
  EXPECT_EQ(ClassColorIndex(19), 3);
  EXPECT_EQ(ClassColorIndex(0x113), 3);  // low byte 0x13 = 19
  EXPECT_EQ(ClassColorIndex(-1), 15);    // low byte 255
}
