// TRLData: defaults, growing and shrinking columns and rows, labels behind the state character
// of check-box cells, switching a column's kind and back, CheckColumn, Assign and the limits
// counted in characters.
#include "orvex_replist.h"

#include <gtest/gtest.h>
#include <string>

using namespace orvex;

TEST(RLData, NewStoreAndColumnCountChanges)
{
  TRLData d;
  EXPECT_EQ(d.NrOfColumns(), 1);
  EXPECT_EQ(d.NrOfRows(), 0);
  EXPECT_EQ(d.ColumnHeader(1), "C-1");
  EXPECT_EQ(d.CommonHeader(), "Orvex Report Listview");
  EXPECT_FALSE(d.CheckBoxColumn(1));
  EXPECT_EQ(d.Cells().NrOfRows(), 1);  // storage for one row even without rows
  EXPECT_EQ(d.Cells().AllocRowsBy(), 10);

  d.SetNrOfColumns(2);
  d.SetColumnHeader(1, "Name");
  d.SetCheckBoxColumn(1, true);
  d.SetNrOfColumns(4);
  EXPECT_EQ(d.ColumnHeader(3), "C-3");
  EXPECT_EQ(d.ColumnHeader(4), "C-4");
  EXPECT_FALSE(d.CheckBoxColumn(4));
  d.SetNrOfColumns(0);  // counts as 1
  EXPECT_EQ(d.NrOfColumns(), 1);
  EXPECT_EQ(d.ColumnHeader(1), "Name");
  EXPECT_TRUE(d.CheckBoxColumn(1));
  // Out of range: empty and False on reads, nothing on writes.
  EXPECT_EQ(d.ColumnHeader(2), "");
  EXPECT_FALSE(d.CheckBoxColumn(0));
  d.SetColumnHeader(2, "x");
  d.SetCellText(1, 1, "nothing");  // no rows yet
  EXPECT_EQ(d.Cells().Elem(1, 1), "");
  d.SetNrOfColumns(2);
  EXPECT_EQ(d.ColumnHeader(2), "C-2");  // a new column, not the ignored header
}

TEST(RLData, CheckBoxCellsKeepTheirState)
{
  TRLData d;
  d.SetNrOfColumns(2);
  d.SetNrOfRows(3);
  d.SetCheckBoxColumn(2, true);
  d.SetCellText(2, 1, "first");
  EXPECT_EQ(d.CellText(2, 1), " first");  // an empty cell gets the unchecked state
  d.SetChecked(2, 1, true);
  d.SetCellText(2, 1, "abc");
  EXPECT_EQ(d.CellText(2, 1), "Xabc");
  EXPECT_TRUE(d.Checked(2, 1));
  d.SetChecked(2, 2, true);
  EXPECT_EQ(d.CellText(2, 2), "X");  // an empty cell becomes exactly the state
  // Any first character but a space reads as checked; plain columns never do.
  d.SetCheckBoxColumn(1, false);
  d.SetCellText(1, 1, "Xyz");
  EXPECT_FALSE(d.Checked(1, 1));
  d.SetChecked(1, 1, false);
  EXPECT_EQ(d.CellText(1, 1), "Xyz");

  d.CheckColumn(2, false);
  EXPECT_EQ(d.CellText(2, 1), " abc");
  EXPECT_EQ(d.CellText(2, 2), " ");
  EXPECT_EQ(d.CellText(2, 3), " ");
  d.CheckColumn(1, true);  // a plain column stays as it is
  EXPECT_EQ(d.CellText(1, 1), "Xyz");
  EXPECT_EQ(d.CellText(1, 2), "");

  // An empty list keeps only the check states of its one stored row.
  d.SetChecked(2, 1, true);
  d.SetNrOfRows(0);
  EXPECT_EQ(d.Cells().Elem(2, 1), "X");
  EXPECT_EQ(d.Cells().Elem(1, 1), "");
  EXPECT_EQ(d.CellText(2, 1), "");  // no rows to read
  // CheckColumn reaches that stored row too, so old states cannot come back with new rows.
  d.CheckColumn(2, false);
  d.SetNrOfRows(2);
  EXPECT_FALSE(d.Checked(2, 1));
}

TEST(RLData, SwitchingAColumnsKindAndBack)
{
  TRLData d;
  d.SetNrOfRows(2);
  d.SetCellText(1, 1, "a");
  int changes = 0;
  d.OnChange = [&](TObject*) { ++changes; };
  d.SetCheckBoxColumn(1, true);
  EXPECT_EQ(changes, 0);  // the switch is not reported cell by cell
  EXPECT_EQ(d.CellText(1, 1), " a");
  EXPECT_EQ(d.CellText(1, 2), "");
  EXPECT_FALSE(d.Checked(1, 1));
  d.SetCheckBoxColumn(1, false);
  EXPECT_EQ(d.CellText(1, 1), "a");
  EXPECT_EQ(d.CellText(1, 2), "");
  d.SetCellText(1, 2, "b");
  EXPECT_EQ(changes, 1);
}

TEST(RLData, LimitsCountCharactersAndKeepTheState)
{
  TRLData d;
  d.SetNrOfRows(1);
  std::string header;
  for (int i = 0; i < 60; ++i)
    header += "\xC3\xA4";  // two bytes each
  d.SetColumnHeader(1, header);
  EXPECT_EQ(d.ColumnHeader(1), header.substr(0, 100));  // 50 characters
  // A label that would pass 255 bytes with its state is cut at a character boundary.
  d.SetCheckBoxColumn(1, true);
  d.SetChecked(1, 1, true);
  std::string label(253, 'a');
  label += "\xE2\x82\xAC";  // a three-byte character across the limit
  d.SetCellText(1, 1, label);
  EXPECT_EQ(d.CellText(1, 1), "X" + std::string(253, 'a'));
  EXPECT_TRUE(d.Checked(1, 1));
  // Switching a full plain cell to a check box keeps the new state in front.
  d.SetCheckBoxColumn(1, false);
  d.SetCellText(1, 1, std::string(255, 'b'));
  d.SetCheckBoxColumn(1, true);
  EXPECT_EQ(d.CellText(1, 1), " " + std::string(254, 'b'));
}

TEST(RLData, AssignCopiesEverythingAndKeepsItsOwnNotifications)
{
  TRLData a;
  a.SetNrOfColumns(3);
  a.SetNrOfRows(12);  // beyond one allocation step
  a.SetCheckBoxColumn(2, true);
  a.SetCellText(1, 12, "last");
  a.SetCellText(2, 3, "box");
  a.SetRowFlags(5, rlRowSelected | rlRowDisabled);
  a.SetColFlags(3, rlColSelected);
  a.SetColumnHeader(3, "Third");
  a.SetCommonHeader("Common");
  int sortKeys = 0;
  a.OnBeforeSortExchange = [&](TObject*, const std::string&, std::string&) { ++sortKeys; };

  TRLData b;
  int bChanges = 0;
  int aChanges = 0;
  b.OnChange = [&](TObject*) { ++bChanges; };
  a.OnChange = [&](TObject*) { ++aChanges; };
  b.Assign(a);
  EXPECT_EQ(b.NrOfColumns(), 3);
  EXPECT_EQ(b.NrOfRows(), 12);
  EXPECT_EQ(b.CellText(1, 12), "last");
  EXPECT_EQ(b.CellText(2, 3), " box");
  EXPECT_TRUE(b.CheckBoxColumn(2));
  EXPECT_EQ(b.RowFlags(5), rlRowSelected | rlRowDisabled);
  EXPECT_EQ(b.ColFlags(3), rlColSelected);
  EXPECT_EQ(b.ColumnHeader(3), "Third");
  EXPECT_EQ(b.CommonHeader(), "Common");
  EXPECT_EQ(bChanges, 1);
  // Changing the copy reports to the copy's handler only, and its sort asks the handed-over key event.
  bChanges = 0;
  b.SetCellText(1, 1, "z");
  EXPECT_EQ(bChanges, 1);
  EXPECT_EQ(aChanges, 0);
  b.SortByColumn(1, true);
  EXPECT_GT(sortKeys, 0);
  EXPECT_EQ(b.SortColumn(), 1);
  EXPECT_TRUE(b.SortDirection());
  EXPECT_EQ(b.CellText(1, 12), "z");  // "" sorts before "last" and "z"
  EXPECT_EQ(a.CellText(1, 12), "last");

  TStringArray other;
  EXPECT_THROW(b.Assign(other), EOrvexConvertError);
}
