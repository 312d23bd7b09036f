// TTableHistory on a table of its own: one step per EndStep, a load starts a new history, and the
// memory budget drops the oldest steps (with a clean point among them).
#include "orvex_datatable.h"
#include "tablehistory.h"

#include <gtest/gtest.h>

using namespace orvex;

namespace {
// Writes Value into every cell of column Col: Rows value steps.
void FillColumn(TDataTable& T, int Col, double Value)
{
  for (int r = 1; r <= T.NrOfRows(); ++r)
    T.SetElem(Col, r, Value);
}
}  // namespace

TEST(TableHistory, StepsBudgetAndNewContents)
{
  TDataTable t;
  t.Resize(6, 1000);
  TTableHistory h(t);
  int started = 0;
  h.OnStepStarted = [&] { ++started; };
  for (int c = 1; c <= 6; ++c) {
    FillColumn(t, c, c);
    EXPECT_TRUE(h.Recording());
    h.EndStep();
    if (c == 2)
      h.SetClean();
  }
  EXPECT_EQ(started, 6);
  EXPECT_EQ(h.Stack().count(), 6);
  const std::size_t perStep = h.Bytes() / 6;
  EXPECT_GE(perStep, 1000 * sizeof(double));  // at least the old values it keeps
  EXPECT_LT(perStep, 1000 * 40);              // and not a copy of the table (48 kB of values)

  // Over budget: the oldest steps go, the newest stay undoable, the clean point (after step 2)
  // is lost with them.
  h.SetMaxBytes(perStep * 3 + perStep / 2);
  FillColumn(t, 1, 7);
  h.EndStep();
  EXPECT_EQ(h.Stack().count(), 3);
  EXPECT_LE(h.Bytes(), h.MaxBytes());
  for (int k = 0; k < 3; ++k)
    h.Undo();
  EXPECT_FALSE(h.Stack().canUndo());
  EXPECT_FALSE(h.Clean());
  EXPECT_EQ(t.Elem(1, 1), 1);  // step 1's value: the add of 7 was undone
  EXPECT_EQ(t.Elem(5, 1), 0);  // step 5 undone
  EXPECT_EQ(t.Elem(4, 1), 4);  // step 4 was dropped, so its value stays
  h.Redo();
  EXPECT_EQ(t.Elem(5, 1), 5);

  // A clean point among the kept steps survives the trim.
  h.SetMaxBytes(TTableHistory::DefaultMaxBytes);
  h.Clear();
  FillColumn(t, 2, 20);
  h.EndStep();
  h.SetClean();
  FillColumn(t, 3, 30);
  h.EndStep();
  h.SetMaxBytes(perStep * 2 + perStep / 2);
  FillColumn(t, 4, 40);
  h.EndStep();
  EXPECT_EQ(h.Stack().count(), 2);  // the step before the clean point went
  h.Undo();
  EXPECT_FALSE(h.Clean());
  h.Undo();
  EXPECT_TRUE(h.Clean());
  EXPECT_EQ(t.Elem(3, 1), 3);
  EXPECT_EQ(t.Elem(2, 1), 20);

  // New contents (a load) start a new, clean history.
  TDataTable other;
  t.Assign(other);
  EXPECT_EQ(h.Stack().count(), 0);
  EXPECT_TRUE(h.Clean());
}
