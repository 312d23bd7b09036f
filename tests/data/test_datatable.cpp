// TDataTable: sizing and default names, empty tables, level rounding, names and labels, cell
// states, insertion and deletion with their events, assignment, and out-of-memory errors.
#include "allocation_limit.h"
#include "datatable_event_log.h"
#include "orvex_datatable.h"
#include "orvex_tablebuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace orvex;

TEST(DataTable, NewTableAndNeutralAccessOutOfRange)
{
  TDataTable t;
  TEventLog log;
  log.Attach(t);
  EXPECT_EQ(t.NrOfColumns(), 1);
  EXPECT_EQ(t.NrOfRows(), 1);
  EXPECT_EQ(t.ColName(1), "C-1");
  EXPECT_EQ(t.RowName(1), "R-1");
  EXPECT_EQ(t.Elem(1, 1), 0.0);
  EXPECT_EQ(t.CellState(1, 1), 0);
  EXPECT_EQ(t.VarType(1), vtInterval);
  EXPECT_EQ(t.Comment(), "");
  EXPECT_TRUE(t.ElemValid(1, 1));

  // Out of range: neutral reads, silent writes without an event.
  EXPECT_EQ(t.ColName(2), "");
  EXPECT_EQ(t.RowName(0), "");
  EXPECT_EQ(t.Elem(2, 1), 0.0);
  EXPECT_FALSE(t.ElemValid(1, 2));
  EXPECT_EQ(t.FindLevel(2, "x", false), -1);
  t.SetElem(2, 1, 5.0);
  t.SetElem(1, 0, 5.0);
  t.SetCellState(1, 2, 3);
  t.SetColName(0, "x");
  t.SetRowAttrib(2, 7);
  t.SetVarType(2, vtNominal);
  t.SetLevelName(1, 151, "");
  t.SetLevelName(1, -1, "");
  EXPECT_TRUE(log.Events.empty());
  EXPECT_EQ(t.Elem(1, 1), 0.0);
}

TEST(DataTable, ResizeKeepsSurvivorsAndNamesNewCellsAfresh)
{
  TDataTable t;
  t.Resize(3, 2);
  t.SetElem(3, 2, 7.5);
  t.SetCellState(3, 2, csMarkA);
  t.SetColName(3, "Height");
  t.SetRowAttrib(2, 4);
  TEventLog log;
  log.Attach(t);

  t.SetNrOfColumns(5);
  EXPECT_EQ(t.ColName(4), "C-4");
  EXPECT_EQ(t.ColName(5), "C-5");
  EXPECT_EQ(t.ColName(3), "Height");
  EXPECT_EQ(t.Elem(3, 2), 7.5);
  EXPECT_EQ(t.CellState(3, 2), csMarkA);
  EXPECT_EQ(t.RowAttrib(2), 4);
  t.SetElem(4, 1, 9.0);
  t.SetColName(4, "Gone");
  log.Events.clear();

  t.SetNrOfColumns(3);
  t.SetNrOfColumns(4);
  EXPECT_EQ(t.ColName(4), "C-4");
  EXPECT_EQ(t.Elem(4, 1), 0.0);
  EXPECT_EQ(t.VarType(4), vtInterval);
  // A resize fires only OnResize, once per effective change; an equal size fires nothing.
  EXPECT_EQ(log.Events, (std::vector<std::string>{"Resize 5x2->3x2", "Resize 3x2->4x2"}));
  t.Resize(4, 2);
  EXPECT_EQ(log.Events.size(), 2u);

  t.SetNrOfRows(4);
  EXPECT_EQ(t.RowName(3), "R-3");
  EXPECT_EQ(t.RowName(4), "R-4");
  EXPECT_EQ(t.RowAttrib(4), 0);
}

TEST(DataTable, EmptyTableAndGrowingBackGivesZeros)
{
  TDataTable t;
  t.Resize(2, 3);
  for (int c = 1; c <= 2; ++c)
    for (int r = 1; r <= 3; ++r)
      t.SetElem(c, r, 10 * c + r);
  TEventLog log;
  log.Attach(t);
  t.SetNrOfRows(0);
  EXPECT_EQ(t.NrOfRows(), 0);
  EXPECT_EQ(t.Elem(1, 1), 0.0);
  t.SetElem(1, 1, 5.0);  // out of range now
  t.SetNrOfRows(3);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"Resize 2x3->2x0", "Resize 2x0->2x3"}));
  for (int c = 1; c <= 2; ++c)
    for (int r = 1; r <= 3; ++r)
      EXPECT_EQ(t.Elem(c, r), 0.0) << c << "," << r;
  EXPECT_EQ(t.RowName(2), "R-2");

  t.Resize(0, 0);
  t.Resize(1, 1);
  EXPECT_EQ(t.Elem(1, 1), 0.0);
  t.Resize(-1, 2);  // negative counts are ignored
  EXPECT_EQ(t.NrOfColumns(), 1);
}

TEST(DataTable, LevelColumnsReadRoundedValuesHalvesToEven)
{
  TDataTable t;
  t.Resize(1, 5);
  t.SetElem(1, 1, 2.5);
  t.SetElem(1, 2, 3.5);
  t.SetElem(1, 3, -2.5);
  t.SetElem(1, 4, 1e300);
  t.SetElem(1, 5, 2.6);
  for (TVarType type : {vtNominal, vtOrdinal}) {
    t.SetVarType(1, type);
    EXPECT_EQ(t.Elem(1, 1), 2.0);
    EXPECT_EQ(t.Elem(1, 2), 4.0);
    EXPECT_EQ(t.Elem(1, 3), -2.0);
    EXPECT_EQ(t.Elem(1, 4), 1e300);  // huge values stay as they are
    EXPECT_EQ(t.Elem(1, 5), 3.0);
  }
  for (TVarType type : {vtUnknown, vtInterval, vtRatio, TVarType(200)}) {
    t.SetVarType(1, type);
    EXPECT_EQ(t.VarType(1), type);
    EXPECT_EQ(t.Elem(1, 1), 2.5);
    EXPECT_EQ(t.Elem(1, 2), 3.5);
  }
}

TEST(DataTable, NamesCommentAndTextEncoding)
{
  TDataTable t;
  TEventLog log;
  log.Attach(t);
  t.SetRowName(1, std::string(60, 'x'));
  EXPECT_EQ(t.RowName(1), std::string(50, 'x'));
  // The limit counts characters: 60 two-byte characters keep 50 characters (100 bytes).
  std::string accented;
  for (int i = 0; i < 60; ++i)
    accented += "\xC3\xA9";
  t.SetColName(1, accented);
  EXPECT_EQ(t.ColName(1), accented.substr(0, 100));
  // Text that is not UTF-8 is taken as Windows-1252.
  t.SetColName(1, "Gr\xF6\xDF" "e \x80");
  EXPECT_EQ(t.ColName(1), "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC");
  t.SetComment("two\twords\r\nand a line");
  EXPECT_EQ(t.Comment(), "twowordsand a line");
  EXPECT_EQ(log.Events, (std::vector<std::string>{"Names", "Names", "Names", "Setup"}));
}

TEST(DataTable, CellStatesMarksAndAttribs)
{
  TDataTable t;
  t.Resize(2, 2);
  TEventLog log;
  log.Attach(t);
  t.SetCellState(1, 1, csMarkA | csNotANumber);
  t.SetCellState(1, 1, csMarkA | csNotANumber);
  EXPECT_EQ(log.Count("CellState"), 1);
  EXPECT_FALSE(t.ElemValid(1, 1));
  t.SetCellState(2, 1, csEmpty | csMarkB | csReadOnly);
  EXPECT_FALSE(t.ElemValid(2, 1));
  t.SetCellState(2, 2, csParenthesized | csReadOnly);
  EXPECT_TRUE(t.ElemValid(2, 2));
  log.Events.clear();
  t.ClearMarks();
  EXPECT_EQ(log.Events, std::vector<std::string>{"CellState"});
  EXPECT_EQ(t.CellState(1, 1), csNotANumber);
  EXPECT_EQ(t.CellState(2, 1), csEmpty | csReadOnly);
  EXPECT_EQ(t.CellState(2, 2), csParenthesized | csReadOnly);

  log.Events.clear();
  t.SetColAttrib(2, -7);
  t.SetRowAttrib(1, 2147483647);
  EXPECT_EQ(t.ColAttrib(2), -7);
  EXPECT_EQ(t.RowAttrib(1), 2147483647);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"Attrib", "Attrib"}));
}

TEST(DataTable, LevelLabelsAndFindLevel)
{
  TDataTable t;
  t.Resize(2, 1);
  TEventLog log;
  log.Attach(t);
  // An Interval column keeps no label, but the write is still announced.
  t.SetLevelName(1, 5, "low");
  EXPECT_EQ(t.LevelName(1, 5), "");
  EXPECT_EQ(log.Events, std::vector<std::string>{"Setup"});
  t.SetVarType(1, vtNominal);
  EXPECT_EQ(t.LevelName(1, 5), "");

  t.SetLevelName(1, 0, "low");
  t.SetLevelName(1, 150, "a label longer than ten");
  EXPECT_EQ(t.LevelName(1, 0), "low");
  EXPECT_EQ(t.LevelName(1, 150), "a label lo");
  EXPECT_EQ(t.FindLevel(1, "LOW", true), 0);
  EXPECT_EQ(t.FindLevel(1, "LOW", false), -1);
  EXPECT_EQ(t.FindLevel(1, "low", false), 0);
  // The name is cut to 10 characters before comparing.
  EXPECT_EQ(t.FindLevel(1, "a label longer", false), 150);
  EXPECT_EQ(t.FindLevel(1, "", false), -1);
  EXPECT_EQ(t.FindLevel(2, "low", true), -1);
  // Ignoring case covers accented capitals too (Latin-1 and Latin Extended-A), not only ASCII.
  t.SetLevelName(1, 7, "\xC3\xA4rger \xC5\x82\xC3\xB3" "d\xC5\xBA");  // "ärger łódź"
  EXPECT_EQ(t.FindLevel(1, "\xC3\x84RGER \xC5\x81\xC3\x93" "D\xC5\xB9", true), 7);
  EXPECT_EQ(t.FindLevel(1, "\xC3\x84RGER \xC5\x81\xC3\x93" "D\xC5\xB9", false), -1);
  t.SetLevelName(1, 8, "a\xC3\xB7" "b");  // the division sign is no small letter of the multiplication sign
  EXPECT_EQ(t.FindLevel(1, "A\xC3\x97" "B", true), -1);
  EXPECT_EQ(t.FindLevel(1, "A\xC3\xB7" "B", true), 8);

  // Labels stay with the column but show only while it is a level type.
  t.SetVarType(1, vtRatio);
  EXPECT_EQ(t.LevelName(1, 0), "");
  EXPECT_EQ(t.FindLevel(1, "low", false), -1);
  t.SetLevelName(1, 0, "");  // an empty label is always stored
  t.SetVarType(1, vtOrdinal);
  EXPECT_EQ(t.LevelName(1, 0), "");
  EXPECT_EQ(t.LevelName(1, 150), "a label lo");
}

TEST(DataTable, InsertAndDeleteRowsMoveEverythingAndFireSetupOnce)
{
  TDataTable t;
  t.Resize(2, 3);
  for (int r = 1; r <= 3; ++r) {
    t.SetElem(1, r, r);
    t.SetElem(2, r, 10 * r);
    t.SetRowName(r, "row" + std::to_string(r));
    t.SetRowAttrib(r, r);
  }
  t.SetCellState(2, 2, csNotANumber);
  TEventLog log;
  log.Attach(t);

  t.InsertRow(2);
  ASSERT_EQ(t.NrOfRows(), 4);
  EXPECT_EQ(t.RowName(2), "");
  EXPECT_EQ(t.RowAttrib(2), 0);
  EXPECT_EQ(t.Elem(1, 2), 0.0);
  EXPECT_EQ(t.CellState(2, 2), 0);
  EXPECT_EQ(t.RowName(3), "row2");
  EXPECT_EQ(t.Elem(2, 3), 20.0);
  EXPECT_EQ(t.CellState(2, 3), csNotANumber);
  EXPECT_EQ(t.RowAttrib(4), 3);
  EXPECT_EQ(t.Elem(1, 4), 3.0);
  EXPECT_EQ(log.Count("Change"), 0);
  EXPECT_EQ(log.Count("Setup"), 1);
  EXPECT_EQ(log.Events.back(), "Setup");
  EXPECT_EQ(log.Events.front(), "Resize 2x3->2x4");
  EXPECT_GT(log.Count("Names"), 0);

  log.Events.clear();
  t.InsertRow(5);  // append
  EXPECT_EQ(t.NrOfRows(), 5);
  EXPECT_EQ(t.RowName(5), "");
  t.InsertRow(7);  // out of range
  EXPECT_EQ(t.NrOfRows(), 5);

  log.Events.clear();
  t.DeleteRow(2);
  ASSERT_EQ(t.NrOfRows(), 4);
  EXPECT_EQ(t.RowName(2), "row2");
  EXPECT_EQ(t.CellState(2, 2), csNotANumber);
  EXPECT_EQ(t.Elem(2, 3), 30.0);
  EXPECT_EQ(t.RowName(4), "");
  EXPECT_EQ(log.Count("Change"), 0);
  EXPECT_EQ(log.Count("Resize 2x5->2x4"), 1);
  EXPECT_EQ(log.Events.back(), "Setup");

  // OnChange works again afterwards.
  log.Events.clear();
  t.SetElem(1, 1, 3.0);
  EXPECT_GE(log.Count("Change"), 1);

  TDataTable one;
  TEventLog oneLog;
  oneLog.Attach(one);
  one.DeleteRow(1);
  EXPECT_EQ(one.NrOfRows(), 1);
  EXPECT_TRUE(oneLog.Events.empty());
}

TEST(DataTable, InsertAndDeleteAnnounceEachMoveAndOneSetupAtTheEnd)
{
  // Rows and columns move through the name, attribute and state setters, so those events fire
  // per moved row or column (states only where the byte changes); values move silently; the
  // resize comes first when growing and last when shrinking; one OnChangeSetup closes.
  using V = std::vector<std::string>;
  TDataTable t;
  t.Resize(2, 3);
  t.SetCellState(2, 2, csNotANumber);
  TEventLog log;
  log.Attach(t);
  t.InsertRow(2);
  EXPECT_EQ(log.Events, (V{"Resize 2x3->2x4", "Attrib", "Names", "Attrib", "Names", "CellState", "Attrib", "Names",
                           "CellState", "Setup"}));
  log.Events.clear();
  t.DeleteRow(2);
  EXPECT_EQ(log.Events, (V{"Attrib", "Names", "CellState", "Attrib", "Names", "CellState", "Resize 2x4->2x3",
                           "Setup"}));
  EXPECT_EQ(t.CellState(2, 2), csNotANumber);

  TDataTable c;
  c.Resize(2, 1);
  c.SetCellState(1, 1, csMarkA);
  log.Attach(c);
  log.Events.clear();
  c.InsertColumn(1);
  EXPECT_EQ(log.Events, (V{"Resize 2x1->3x1", "Attrib", "Names", "Attrib", "Names", "CellState", "Attrib", "Names",
                           "CellState", "Setup"}));
  log.Events.clear();
  c.DeleteColumn(1);
  EXPECT_EQ(log.Events, (V{"Attrib", "Names", "CellState", "Attrib", "Names", "CellState", "Resize 3x1->2x1",
                           "Setup"}));
  EXPECT_EQ(c.CellState(1, 1), csMarkA);
}

TEST(DataTable, InsertAndDeleteColumnsCarryTypesAndLabels)
{
  TDataTable t;
  t.Resize(3, 2);
  t.SetVarType(2, vtNominal);
  t.SetLevelName(2, 1, "one");
  t.SetColName(2, "Kind");
  t.SetColAttrib(2, 9);
  t.SetElem(2, 2, 1.0);
  t.SetCellState(2, 1, csEmpty);
  t.SetColName(3, "Last");
  TEventLog log;
  log.Attach(t);

  t.InsertColumn(1);
  ASSERT_EQ(t.NrOfColumns(), 4);
  EXPECT_EQ(t.ColName(1), "");
  EXPECT_EQ(t.VarType(1), vtInterval);
  EXPECT_EQ(t.ColName(3), "Kind");
  EXPECT_EQ(t.VarType(3), vtNominal);
  EXPECT_EQ(t.LevelName(3, 1), "one");
  EXPECT_EQ(t.ColAttrib(3), 9);
  EXPECT_EQ(t.Elem(3, 2), 1.0);
  EXPECT_EQ(t.CellState(3, 1), csEmpty);
  EXPECT_EQ(t.LevelName(2, 1), "");
  EXPECT_EQ(t.ColName(4), "Last");
  EXPECT_EQ(log.Count("Setup"), 1);
  EXPECT_EQ(log.Count("Change"), 0);
  EXPECT_EQ(log.Events.back(), "Setup");

  log.Events.clear();
  t.DeleteColumn(3);
  ASSERT_EQ(t.NrOfColumns(), 3);
  EXPECT_EQ(t.ColName(3), "Last");
  EXPECT_EQ(t.VarType(3), vtInterval);
  // The Interval column moved onto the Nominal one does not inherit its labels.
  t.SetVarType(3, vtNominal);
  EXPECT_EQ(t.LevelName(3, 1), "");
  EXPECT_EQ(log.Count("Resize 4x2->3x2"), 1);

  TDataTable one;
  one.DeleteColumn(1);
  EXPECT_EQ(one.NrOfColumns(), 1);
}

TEST(DataTable, AssignCopiesEverythingAndReportsAsItself)
{
  TDataTable src;
  src.Resize(2, 2);
  src.SetComment("source");
  src.SetElem(2, 1, 4.25);
  src.SetCellState(1, 2, csMarkB);
  src.SetRowName(2, "second");
  src.SetColName(1, "first");
  src.SetVarType(2, vtOrdinal);
  src.SetLevelName(2, 3, "high");
  src.SetRowAttrib(1, -3);
  src.SetColAttrib(2, 11);
  std::vector<TObject*> senders;
  src.OnChange = [&senders](TObject* s) { senders.push_back(s); };

  TDataTable dst;
  dst.Assign(src);
  EXPECT_TRUE(senders.empty());  // no event
  EXPECT_EQ(dst.NrOfColumns(), 2);
  EXPECT_EQ(dst.NrOfRows(), 2);
  EXPECT_EQ(dst.Comment(), "source");
  EXPECT_EQ(dst.Elem(2, 1), 4.0);  // Ordinal: rounded on read
  EXPECT_EQ(dst.CellState(1, 2), csMarkB);
  EXPECT_EQ(dst.RowName(2), "second");
  EXPECT_EQ(dst.ColName(1), "first");
  EXPECT_EQ(dst.LevelName(2, 3), "high");
  EXPECT_EQ(dst.RowAttrib(1), -3);
  EXPECT_EQ(dst.ColAttrib(2), 11);

  // The handlers are shared; the copy's value matrix reports with the copy as sender.
  dst.SetElem(1, 1, 1.0);
  ASSERT_EQ(senders.size(), 2u);
  EXPECT_EQ(senders[0], &dst);
  EXPECT_EQ(senders[1], &dst);
  src.SetElem(1, 1, 1.0);
  EXPECT_EQ(senders.back(), &src);
  EXPECT_EQ(dst.Elem(2, 2), 0.0);
  dst.SetElem(2, 2, 8.0);
  EXPECT_EQ(src.Elem(2, 2), 0.0);  // independent storage

  TMatrix m;
  EXPECT_THROW(dst.Assign(m), EOrvexError);
}

TEST(DataTable, ResizeBeyondMemoryRaisesAndKeepsTheTable)
{
  TDataTable t;
  t.SetName("T1");
  t.Resize(2, 2);
  t.SetElem(2, 2, 3.0);
  TEventLog log;
  log.Attach(t);
  try {
    // 2^60 cells; the limit refuses the request whatever the machine would grant.
    const orvex::testing::TAllocationLimit limit(std::size_t{1} << 30);
    t.Resize(1 << 30, 1 << 30);
    FAIL() << "no exception";
  } catch (const EOrvexDataTableError& e) {
    EXPECT_STREQ(e.what(), "Component \"T1\": not enough memory on heap");
  }
  EXPECT_EQ(t.NrOfColumns(), 2);
  EXPECT_EQ(t.NrOfRows(), 2);
  EXPECT_EQ(t.Elem(2, 2), 3.0);
  EXPECT_TRUE(log.Events.empty());
  t.SetElem(1, 1, 1.0);  // still connected to its matrix
  EXPECT_EQ(log.Count("Change"), 2);
}

// Default row names are not stored; they must still follow their rows through every edit, and
// a name set far down must leave the rows above it with their own default names.
TEST(DataTable, UnstoredDefaultRowNamesFollowTheirRows)
{
  using TNames = std::vector<std::string>;
  auto names = [](const auto& T) {
    TNames n;
    for (int r = 1; r <= T.NrOfRows(); ++r)
      n.push_back(T.RowName(r));
    return n;
  };
  TDataTable t;
  t.Resize(1, 6);
  t.SetRowName(4, "four");
  EXPECT_EQ(names(t), (TNames{"R-1", "R-2", "R-3", "four", "R-5", "R-6"}));

  t.InsertRow(2);  // the rows from 2 on keep the names they had
  EXPECT_EQ(names(t), (TNames{"R-1", "", "R-2", "R-3", "four", "R-5", "R-6"}));
  t.DeleteRow(1);
  EXPECT_EQ(names(t), (TNames{"", "R-2", "R-3", "four", "R-5", "R-6"}));

  // Shrinking drops the names of the rows cut off; rows that come back are new, with the
  // default names of their positions.
  t.Resize(1, 3);
  t.Resize(1, 5);
  EXPECT_EQ(names(t), (TNames{"", "R-2", "R-3", "R-4", "R-5"}));

  // A builder's table starts with default names, which a set name and an assignment keep.
  TTableBuilder b;
  b.Resize(2, 5);
  b.SetRowName(3, "three");
  EXPECT_EQ(b.RowName(2), "R-2");
  b.TruncateRows(4);
  TDataTable adopted;
  adopted.Adopt(std::move(b));
  TDataTable copy;
  copy.Assign(adopted);
  const TNames expected = {"R-1", "R-2", "three", "R-4"};
  EXPECT_EQ(names(adopted), expected);
  EXPECT_EQ(names(copy), expected);
}
