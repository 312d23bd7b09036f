// The table's listeners and the edit journal: every change reaches every listener once, with what
// it replaced, beside the published events; a journal fed those notices takes each kind of change
// back and makes it again, leaving the table exactly as it was each time.
#include "datatable_event_log.h"
#include "orvex_datatable.h"
#include "orvex_tablejournal.h"
#include "table_dump.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace orvex;

namespace {

std::string FullDump(const TDataTable& T)
{
  return orvex_test::DumpWhole(T);
}

// A 4 x 5 table with distinct values, some states, names, attributes, a Nominal column with labels.
void Fill(TDataTable& T)
{
  T.Resize(4, 5);
  for (int c = 1; c <= 4; ++c) {
    T.SetColName(c, "col" + std::to_string(c));
    T.SetColAttrib(c, c * 10);
    for (int r = 1; r <= 5; ++r)
      T.SetElem(c, r, c * 100 + r + 0.25);
  }
  for (int r = 1; r <= 5; ++r)
    T.SetRowAttrib(r, r);
  T.SetCellState(2, 3, csEmpty);
  T.SetCellState(3, 1, csMarkA | csNotANumber);
  T.SetVarType(4, vtNominal);
  T.SetLevelName(4, 0, "low");
  T.SetLevelName(4, 2, "high");
  T.SetComment("a table");
}

std::string KindName(TTableChangeKind K)
{
  static const char* names[] = {"Value",        "State",        "ColName",         "RowName",
                                "ColAttrib",    "RowAttrib",    "Comment",         "VarType",
                                "LevelName",    "RowsInserted", "RowsDeleted",     "ColumnsInserted",
                                "ColumnsDeleted", "Resized",    "Contents"};
  return names[static_cast<int>(K)];
}

}  // namespace

TEST(TableListeners, EveryListenerHearsEachChangeOnceBeforeTheClosingEvent)
{
  TDataTable t;
  Fill(t);
  TEventLog log;
  log.Attach(t);
  std::vector<std::string> first;
  std::vector<std::string> second;
  t.AddListener([&](const TDataTable&, const TTableChange& c) {
    first.push_back(KindName(c.Kind));
    log.Events.push_back("listener " + KindName(c.Kind));
  });
  t.AddListener([&](const TDataTable&, const TTableChange& c) { second.push_back(KindName(c.Kind)); });

  // An insert moves every column through the ordinary setters (their published events fire as
  // before) but is one notice to the listeners, told before the closing OnChangeSetup.
  t.InsertColumn(2);
  EXPECT_EQ(first, std::vector<std::string>{"ColumnsInserted"});
  EXPECT_EQ(second, first);
  ASSERT_GE(log.Events.size(), 3U);
  EXPECT_EQ(log.Events[log.Events.size() - 2], "listener ColumnsInserted");
  EXPECT_EQ(log.Events.back(), "Setup");
  EXPECT_GT(log.Count("Names"), 0);  // the published events of the moves are unchanged

  // Single edits carry what they replaced.
  std::vector<TTableChange> seen;
  t.AddListener([&](const TDataTable&, const TTableChange& c) { seen.push_back(c); });
  t.SetElem(1, 2, 7.5);
  t.SetCellState(1, 2, csMarkB);
  t.SetCellState(1, 2, csMarkB);  // no change, no notice
  t.SetColName(3, "renamed");
  t.SetComment("new");
  ASSERT_EQ(seen.size(), 4U);
  EXPECT_EQ(seen[0].Kind, TTableChangeKind::Value);
  EXPECT_EQ(seen[0].OldValue, 102.25);
  EXPECT_EQ(seen[1].OldState, 0);
  EXPECT_EQ(seen[2].OldText, "col2");  // column 3 is the old column 2 after the insert
  EXPECT_EQ(seen[3].OldText, "a table");

  // A delete hands over the removed column whole.
  seen.clear();
  t.DeleteColumn(3);
  ASSERT_EQ(seen.size(), 1U);
  ASSERT_TRUE(seen[0].Removed);
  ASSERT_EQ(seen[0].Removed->Columns.size(), 1U);
  EXPECT_EQ(seen[0].Removed->Columns[0].Name, "renamed");
  EXPECT_EQ(seen[0].Removed->Columns[0].Values[4], 205.25);
}

TEST(TableListeners, RemovalWhileToldAndNewContents)
{
  TDataTable t;
  Fill(t);
  int a = 0;
  int b = 0;
  int keyB = 0;
  // The first listener removes the second while it is told: the second hears nothing more.
  t.AddListener([&](const TDataTable&, const TTableChange&) {
    ++a;
    t.RemoveListener(keyB);
  });
  keyB = t.AddListener([&](const TDataTable&, const TTableChange&) { ++b; });
  t.SetElem(1, 1, 3);
  t.SetElem(1, 1, 4);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 0);

  // An assignment replaces everything: one Contents notice.
  std::vector<TTableChangeKind> kinds;
  t.AddListener([&](const TDataTable&, const TTableChange& c) { kinds.push_back(c.Kind); });
  TDataTable other;
  t.Assign(other);
  EXPECT_EQ(kinds, std::vector<TTableChangeKind>{TTableChangeKind::Contents});
}

// Each kind of change, recorded by a journal, undone and redone twice: the table is exactly as
// before after each undo and exactly as after the change after each redo.
TEST(TableJournal, UndoAndRedoRestoreEveryKindOfChange)
{
  struct TCase {
    const char* Name;
    std::function<void(TDataTable&)> Change;
  };
  const std::vector<TCase> cases = {
      {"value", [](TDataTable& T) { T.SetElem(2, 4, -1e300); }},
      {"state", [](TDataTable& T) { T.SetCellState(2, 3, csMarkB); }},
      {"clear marks", [](TDataTable& T) { T.ClearMarks(); }},
      {"column name", [](TDataTable& T) { T.SetColName(1, "Body weight"); }},
      {"row name", [](TDataTable& T) { T.SetRowName(5, ""); }},
      {"attributes", [](TDataTable& T) { T.SetColAttrib(2, 0); T.SetRowAttrib(1, 99); }},
      {"comment", [](TDataTable& T) { T.SetComment("other"); }},
      {"type and labels", [](TDataTable& T) {
         T.SetLevelName(4, 2, "");
         T.SetVarType(4, vtInterval);
         T.SetVarType(1, vtOrdinal);
         T.SetLevelName(1, 7, "seven");
       }},
      {"insert row", [](TDataTable& T) { T.InsertRow(3); T.SetRowName(3, "(...)"); T.SetElem(1, 3, 5); }},
      {"append row", [](TDataTable& T) { T.InsertRow(6); }},
      {"delete row", [](TDataTable& T) { T.DeleteRow(1); }},
      {"insert column", [](TDataTable& T) { T.InsertColumn(1); T.SetColName(1, "(...)"); }},
      {"delete level column", [](TDataTable& T) { T.DeleteColumn(4); }},
      {"delete inner column", [](TDataTable& T) { T.DeleteColumn(2); }},
      {"grow", [](TDataTable& T) { T.Resize(6, 7); T.SetElem(6, 7, 1); }},
      {"shrink both", [](TDataTable& T) { T.Resize(2, 3); }},
      {"edits around a delete", [](TDataTable& T) {
         T.SetElem(3, 1, 9);
         T.DeleteColumn(1);
         T.SetElem(2, 1, 10);  // the same cell as before, now one column further left
         T.DeleteRow(2);
         T.SetCellState(1, 1, csMarkA);
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TDataTable t;
    Fill(t);
    const std::string before = FullDump(t);
    TTableJournal journal;
    const int key = t.AddListener([&](const TDataTable& T, const TTableChange& Ch) { journal.Record(T, Ch); });
    c.Change(t);
    t.RemoveListener(key);
    const std::string after = FullDump(t);
    ASSERT_NE(after, before);
    EXPECT_FALSE(journal.Broken());
    for (int round = 0; round < 2; ++round) {
      journal.Undo(t);
      EXPECT_EQ(FullDump(t), before);
      journal.Redo(t);
      EXPECT_EQ(FullDump(t), after);
    }
  }
}

TEST(TableJournal, UndoAnnouncesOnceAndAppendMergesSteps)
{
  TDataTable t;
  Fill(t);
  TTableJournal first;
  TTableJournal second;
  TTableJournal* recording = &first;
  const int key = t.AddListener([&](const TDataTable& T, const TTableChange& Ch) { recording->Record(T, Ch); });
  for (int r = 1; r <= 5; ++r)
    t.SetElem(1, r, 0);
  recording = &second;
  t.SetColName(1, "zeros");
  for (int r = 1; r <= 5; ++r)
    t.SetCellState(2, r, csEmpty);
  t.RemoveListener(key);
  const std::string after = FullDump(t);
  first.Append(std::move(second));
  EXPECT_TRUE(second.Empty());
  EXPECT_EQ(first.NrOfSteps(), 10U);  // 5 values, 1 name, 4 states (cell 2:3 was empty already)

  // Undo writes the cells straight: one OnChange, one OnChangeCellState, and per column touched
  // one notice (Row 0) to the listeners.
  TEventLog log;
  log.Attach(t);
  std::vector<std::pair<TTableChangeKind, int>> notices;
  t.AddListener([&](const TDataTable&, const TTableChange& c) {
    EXPECT_EQ(c.Row, 0);
    notices.emplace_back(c.Kind, c.Col);
  });
  first.Undo(t);
  EXPECT_EQ(log.Count("Change"), 1);
  EXPECT_EQ(log.Count("CellState"), 1);
  EXPECT_EQ(log.Count("Names"), 1);
  EXPECT_EQ(t.ColName(1), "col1");
  EXPECT_EQ(t.Elem(1, 3), 103.25);
  EXPECT_EQ(notices.size(), 3U);  // the name, then the values of column 1 and the states of column 2
  first.Redo(t);
  EXPECT_EQ(FullDump(t), after);
}

TEST(TableJournal, NewContentsBreakTheJournal)
{
  TDataTable t;
  Fill(t);
  TTableJournal journal;
  t.AddListener([&](const TDataTable& T, const TTableChange& Ch) { journal.Record(T, Ch); });
  t.SetElem(1, 1, 2);
  EXPECT_FALSE(journal.Broken());
  TDataTable other;
  t.Assign(other);
  EXPECT_TRUE(journal.Broken());
}
