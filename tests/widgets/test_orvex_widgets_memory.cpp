// Failures at the widgets' edges: exhausted memory in the table editor (creation, resize) and
// in the report list's store (creation, column growth) and view (creation, column change), with
// the exact messages and the state each failure leaves; and the report list's Qt entry points
// guarded against a throwing owner event and a header-click sort that runs out of memory.
// The binary links the allocation limit, which replaces operator new.
#include "allocation_limit.h"
#include "orvex_ntabed.h"
#include "orvex_replist.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace orvex;
using orvex::testing::AllocationCount;
using orvex::testing::TAllocationLimit;
using orvex::testing::TFailNthAllocation;

namespace {

// What became of one attempt with its Nth allocation refused.
struct TOutcome {
  bool Failed = false;    // the refusal happened
  std::string Error;      // the message of a library error; empty for none
  bool BadAlloc = false;  // std::bad_alloc itself came out
};

template <typename E>
TOutcome AttemptFailingNth(long N, const std::function<void()>& Work)
{
  TOutcome out;
  TFailNthAllocation fail(N);
  try {
    Work();
  } catch (const E& e) {
    out.Error = e.what();
  } catch (const std::bad_alloc&) {
    out.BadAlloc = true;
  }
  out.Failed = fail.Failed();
  return out;
}

// The allocations a plain grid makes while it is created: a widget derived from the grid makes
// its own ones right after them.
long GridAllocations()
{
  {
    TCustomGrid warm;
  }
  const long before = AllocationCount();
  {
    TCustomGrid grid;
  }
  // Destruction allocates nothing; what was counted is the construction.
  return AllocationCount() - before;
}

void SendMouse(QWidget* W, QEvent::Type Type, QPoint P)
{
  const Qt::MouseButtons buttons = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(Type, QPointF(P), W->mapToGlobal(QPointF(P)), Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(W, &e);
}

void Click(QWidget* W, QPoint P)
{
  SendMouse(W, QEvent::MouseButtonPress, P);
  SendMouse(W, QEvent::MouseButtonRelease, P);
}

void SendKey(QWidget* W, int Key)
{
  QKeyEvent press(QEvent::KeyPress, Key, Qt::NoModifier);
  QApplication::sendEvent(W, &press);
  QKeyEvent release(QEvent::KeyRelease, Key, Qt::NoModifier);
  QApplication::sendEvent(W, &release);
}

// A list as the main window's variable list: a text column and two check-box columns, 200 rows.
struct TGuardedList : ::testing::Test {
  TReportListView lv;
  std::vector<std::string> Messages;
  int Changes = 0;
  void SetUp() override
  {
    lv.SetName("RLVarSel");
    lv.setFrameShape(QFrame::NoFrame);
    lv.resize(281, 300);
    lv.SetNrOfColumns(3);
    lv.SetCheckBoxColumn(2, true);
    lv.SetCheckBoxColumn(3, true);
    lv.SetNrOfRows(200);
    for (int r = 1; r <= 200; ++r)
      lv.SetCellText(1, r, "v" + std::to_string(1000 - r));
    lv.CheckColumn(2, false);
    lv.ShowMessageHook = [this](const std::string& M) { Messages.push_back(M); };
    lv.OnChange = [this](TObject*) { ++Changes; };
  }
  QPoint CellPoint(int Col, int Row, int Dx)
  {
    const TRect r = lv.CellRect(Col - 1, lv.GridRowOf(Row));
    return {r.Left + Dx, (r.Top + r.Bottom) / 2};
  }
  QPoint HeaderPoint(int Col)
  {
    const TRect r = lv.CellRect(Col - 1, lv.HeaderRows() - 1);
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
  // Painting resumed and the store reporting changes again.
  void ExpectUsable()
  {
    EXPECT_FALSE(lv.SuppressPaint());
    const int before = Changes;
    lv.SetCellText(1, 1, "again");
    EXPECT_EQ(Changes, before + 1);
    EXPECT_FALSE(QApplication::overrideCursor());
  }
};

}  // namespace

TEST(WidgetsMemory, TableEditorCreationReportsAndFreesWhatItHad)
{
  const long grid = GridAllocations();
  // Every allocation of the editor's own tables fails with the creation message; the first one
  // after the grid's is the displayed table itself.
  std::vector<TOutcome> outcomes;
  for (long n = grid + 1;; ++n) {
    const TOutcome o = AttemptFailingNth<EOrvexNTabedError>(n, [] { TNTabEd e; });
    if (o.Error.empty())
      break;
    outcomes.push_back(o);
  }
  ASSERT_FALSE(outcomes.empty());
  for (const TOutcome& o : outcomes) {
    EXPECT_TRUE(o.Failed);
    EXPECT_EQ(o.Error, "Component \"\": failed to initialize table editor (out of memory)");
  }
  // A failed creation leaves nothing behind: another attempt and a creation cost the same heap.
  const std::size_t before = orvex::testing::HeapBytesInUse();
  AttemptFailingNth<EOrvexNTabedError>(grid + 1, [] { TNTabEd e; });
  EXPECT_EQ(orvex::testing::HeapBytesInUse(), before);
}

TEST(WidgetsMemory, TableEditorResizeKeepsTheTableAndItsLayout)
{
  TNTabEd E;
  E.SetName("NTData");
  E.SetElem(2, 3, 7.5);
  int setups = 0;
  E.OnChangeSetup = [&](TObject*) { ++setups; };
  {
    TAllocationLimit limit(1 << 20);
    try {
      E.Resize(1000, 1000);  // 8 MB of values
      FAIL() << "no error";
    } catch (const EOrvexNTabedError& e) {
      EXPECT_STREQ(e.what(), "Component \"NTData\": not enough memory on heap");
    }
    EXPECT_GT(limit.Refused(), 0);
  }
  EXPECT_EQ(setups, 0);
  EXPECT_EQ(E.NrOfColumns(), 3);
  EXPECT_EQ(E.NrOfRows(), 4);
  EXPECT_EQ(E.ColCount(), 5);
  EXPECT_EQ(E.RowCount(), 5);
  EXPECT_EQ(E.Elem(2, 3), 7.5);
  // The update lock was released: events fire and the editor resizes when memory suffices.
  E.Resize(4, 5);
  EXPECT_EQ(setups, 1);
  EXPECT_EQ(E.ColCount(), 6);
}

TEST(WidgetsMemory, StoreCreationAndColumnGrowth)
{
  // Creation: the failures of the store's own per-column arrays give the creation message;
  // the string array it owns fails before them with its own.
  int reported = 0;
  for (long n = 1;; ++n) {
    const TOutcome o = AttemptFailingNth<EOrvexError>(n, [] { TRLData d; });
    if (!o.Failed)
      break;
    EXPECT_FALSE(o.BadAlloc) << n;
    if (o.Error == "Component \"\": failed to initialize (out of memory)") {
      ++reported;
    } else if (!o.Error.empty()) {  // empty: a request the store does without (its row reserve)
      EXPECT_EQ(o.Error, "Class TStringArray: failed to initialize (out of memory)") << n;
    }
  }
  EXPECT_GT(reported, 0);

  // Column growth: the store keeps its columns, headers, kinds and cells.
  TRLData d;
  d.SetName("Store");
  d.SetNrOfColumns(2);
  d.SetNrOfRows(2);
  d.SetColumnHeader(1, "Name");
  d.SetCheckBoxColumn(2, true);
  d.SetCellText(1, 2, "cell");
  for (long n = 1;; ++n) {
    const TOutcome o = AttemptFailingNth<EOrvexRLDataError>(n, [&] { d.SetNrOfColumns(5); });
    if (!o.Failed)
      break;
    EXPECT_EQ(o.Error, "Component \"Store\": not enough memory on heap") << n;
    EXPECT_EQ(d.NrOfColumns(), 2);
    EXPECT_EQ(d.ColumnHeader(1), "Name");
    EXPECT_TRUE(d.CheckBoxColumn(2));
    EXPECT_EQ(d.CellText(1, 2), "cell");
  }
  EXPECT_EQ(d.NrOfColumns(), 5);
  EXPECT_EQ(d.ColumnHeader(5), "C-5");
}

TEST(WidgetsMemory, ViewCreationAndColumnChange)
{
  const long grid = GridAllocations();
  // Creation: the store fails with its own errors, then the view's per-column arrays with the
  // view's creation message; the store made before is freed.
  int reported = 0;
  const std::size_t before = orvex::testing::HeapBytesInUse();
  for (long n = grid + 1; reported == 0 || n <= grid + 40; ++n) {
    const TOutcome o = AttemptFailingNth<EOrvexError>(n, [] { TReportListView lv; });
    ASSERT_TRUE(o.Failed) << n;
    ASSERT_TRUE(o.BadAlloc || !o.Error.empty()) << n;
    if (o.Error.find("table editor") != std::string::npos) {
      EXPECT_EQ(o.Error, "Component \"\": failed to initialize table editor (out of memory)");
      ++reported;
    } else if (reported > 0) {
      break;  // past the view's own arrays
    }
  }
  EXPECT_GT(reported, 0);
  EXPECT_EQ(orvex::testing::HeapBytesInUse(), before);

  // Column change: the view keeps its columns, per-column settings and display order.
  TReportListView lv;
  lv.SetName("RLVarSel");
  lv.SetNrOfColumns(3);
  lv.SetColumnAlignment(3, taRightJustify);
  lv.SetColumnHeader(2, "Input");
  ASSERT_TRUE(lv.SetDisplayOrder({3, 1, 2}));
  {
    TAllocationLimit limit(1 << 20);
    try {
      lv.SetNrOfColumns(1000000);
      FAIL() << "no error";
    } catch (const EOrvexRepListError& e) {
      EXPECT_STREQ(e.what(), "Component \"RLVarSel\": not enough memory on heap");
    }
  }
  for (long n = 1; n < 20; ++n) {
    const TOutcome o = AttemptFailingNth<EOrvexRepListError>(n, [&] { lv.SetNrOfColumns(6); });
    if (o.Error.empty())
      break;  // past the preparation: the change went through
    EXPECT_EQ(o.Error, "Component \"RLVarSel\": not enough memory on heap") << n;
    EXPECT_EQ(lv.NrOfColumns(), 3) << n;
    EXPECT_EQ(lv.ColCount(), 3) << n;
    EXPECT_EQ(lv.DisplayOrder(1), 3) << n;
    EXPECT_EQ(lv.ColumnAlignment(3), taRightJustify) << n;
    EXPECT_EQ(lv.ColumnAlignment(4), taLeftJustify) << n;  // out of range
    EXPECT_EQ(lv.ColumnHeader(2), "Input") << n;
  }
}

TEST_F(TGuardedList, AThrowingOwnerEventIsShownAndLeavesTheListUsable)
{
  lv.OnCheckedChange = [](TObject*, bool&, int, int) { throw EOrvexError("owner failed"); };
  EXPECT_NO_THROW(Click(lv.viewport(), CellPoint(2, 1, 8)));
  EXPECT_TRUE(lv.Checked(2, 1));  // the toggle happened before the handler
  lv.OnCheckedChange = nullptr;
  lv.OnBeforeCheckedChange = [](TObject*, bool&, int, int) { throw std::runtime_error("before failed"); };
  EXPECT_NO_THROW(Click(lv.viewport(), CellPoint(2, 2, 8)));
  EXPECT_FALSE(lv.Checked(2, 2));  // refused before any change
  lv.OnBeforeCheckedChange = nullptr;
  lv.OnSelectedChange = [](TObject*) { throw EOrvexError("selection failed"); };
  lv.setFocus();
  lv.FocusCell(0, lv.GridRowOf(1), true);
  EXPECT_NO_THROW(SendKey(&lv, Qt::Key_Down));
  EXPECT_NO_THROW(SendMouse(lv.viewport(), QEvent::MouseButtonDblClick, CellPoint(1, 3, 8)));
  lv.OnSelectedChange = nullptr;
  lv.OnCursorKeyAction = [](TObject*, int) { throw 42; };
  EXPECT_NO_THROW(SendKey(&lv, Qt::Key_Down));
  EXPECT_EQ(Messages, (std::vector<std::string>{"owner failed", "before failed", "selection failed", "selection failed",
                                                "unknown error"}));
  ExpectUsable();
}

TEST_F(TGuardedList, AHeaderClickSortWithoutMemoryKeepsTheOrder)
{
  lv.SetSortEnabled(true);
  const std::string first = lv.CellText(1, 1);
  const std::string last = lv.CellText(1, 200);
  {
    // The sort keys of 200 rows take 6 kB at once; the message fits under the limit.
    TAllocationLimit limit(4096);
    EXPECT_NO_THROW(Click(lv.viewport(), HeaderPoint(1)));
    EXPECT_GT(limit.Refused(), 0);
  }
  ASSERT_EQ(Messages, std::vector<std::string>{"Component \"RLVarSel\": not enough memory on heap"});
  EXPECT_EQ(lv.CellText(1, 1), first);
  EXPECT_EQ(lv.CellText(1, 200), last);
  // Neither the sort column nor the direction (the header's arrow) changed.
  EXPECT_EQ(lv.Data().SortColumn(), 0);
  EXPECT_FALSE(lv.Data().SortDirection());
  ExpectUsable();
  // With memory the same click sorts.
  Click(lv.viewport(), HeaderPoint(1));
  EXPECT_EQ(lv.Data().SortColumn(), 1);
  EXPECT_EQ(lv.CellText(1, 1), "again");
  EXPECT_EQ(lv.CellText(1, 2), "v800");
}

TEST(ReportListViewEvents, NrOfRowsRaisesOnlyOnChangeSetup)
{
  TReportListView lv;
  std::vector<std::string> events;
  lv.OnChange = [&](TObject*) { events.push_back("Change"); };
  lv.OnChangeSetup = [&](TObject*) { events.push_back("Setup"); };
  lv.SetNrOfRows(7);
  lv.SetNrOfRows(0);
  lv.SetNrOfRows(0);  // unchanged: still a change of the setup, as the grid is set up again
  EXPECT_EQ(events, (std::vector<std::string>{"Setup", "Setup", "Setup"}));
  // The store still reports its cells through OnChange.
  events.clear();
  lv.SetNrOfRows(2);
  lv.SetCellText(1, 2, "x");
  EXPECT_EQ(events, (std::vector<std::string>{"Setup", "Change"}));
}
