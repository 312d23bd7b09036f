// TStringArray: pool slots and first fit, row allocation, resizing, sorting with keys and
// progress, clearing, text cutting and assignment.
#include "allocation_limit.h"
#include "orvex_dstruct.h"

#include <gtest/gtest.h>

#include <climits>

#include <string>
#include <vector>

using namespace orvex;

TEST(StringArray, SlotsAreReusedInPlaceAndAllocatedFirstFit)
{
  TStringArray a;
  int changes = 0;
  a.OnChange = [&](TObject*) { ++changes; };
  a.SetElem(1, 1, "abc");
  EXPECT_EQ(a.Handle(1, 1), 65536u + 1u);
  a.SetElem(1, 1, "ab");
  EXPECT_EQ(a.Handle(1, 1), 65536u + 1u);  // shorter: same slot
  EXPECT_EQ(a.Elem(1, 1), "ab");
  a.SetElem(1, 1, "abcd");
  EXPECT_EQ(a.Handle(1, 1), 65536u + 5u);  // longer than the slot: new one at the end
  EXPECT_EQ(a.Elem(1, 1), "abcd");
  a.SetElem(0, 1, "");  // an empty text takes a one-byte slot
  EXPECT_EQ(a.Handle(0, 1), 65536u + 10u);
  EXPECT_EQ(a.Elem(0, 1), "");
  EXPECT_EQ(changes, 4);

  // Out of range: ignored, no event.
  a.SetElem(2, 1, "x");
  a.SetElem(1, 2, "x");
  a.SetElem(-1, 1, "x");
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(a.Elem(2, 1), "");

  // Fill the first block with 255-byte texts until a second block is needed; a short text then
  // still fits into the rest of the first block.
  TStringArray b;
  b.Resize(1, 200);
  const std::string big(255, 'z');
  int r = 1;
  while (b.NrOfBlocks() == 1)
    b.SetElem(1, r++, big);
  EXPECT_EQ(r - 1, 128);  // 127 texts of 256 bytes fit into one block
  EXPECT_EQ(b.Handle(1, r - 1) >> 16, 2u);
  b.SetElem(1, r, "x");
  EXPECT_EQ(b.Handle(1, r) >> 16, 1u);
  EXPECT_EQ(b.Elem(1, r), "x");
  EXPECT_EQ(b.Elem(1, 1), big);
  EXPECT_EQ(b.Elem(1, r - 1), big);
}

TEST(StringArray, TextsAreCutTo255BytesAtACharacterBoundary)
{
  TStringArray a;
  a.SetElem(1, 1, std::string(300, 'a'));
  EXPECT_EQ(a.Elem(1, 1), std::string(255, 'a'));
  std::string mixed(254, 'a');
  mixed += "\xC3\xA9 tail";  // the two-byte character would straddle byte 255
  a.SetElem(1, 1, mixed);
  EXPECT_EQ(a.Elem(1, 1), std::string(254, 'a'));
}

TEST(StringArray, RowsGrowInStepsAndResizeClearsAppearingRows)
{
  TStringArray a;
  EXPECT_EQ(a.AllocatedRows(), 10);
  ASSERT_TRUE(a.Resize(1, 10));
  EXPECT_EQ(a.AllocatedRows(), 10);
  a.SetNrOfRows(11);
  EXPECT_EQ(a.AllocatedRows(), 20);
  a.SetNrOfRows(12);
  EXPECT_EQ(a.AllocatedRows(), 20);
  a.SetAllocRowsBy(0);
  EXPECT_EQ(a.AllocRowsBy(), 10);
  a.SetAllocRowsBy(7);
  a.SetNrOfRows(25);
  EXPECT_EQ(a.AllocatedRows(), 28);

  TStringArray b;
  b.Resize(2, 5);
  for (int r = 1; r <= 5; ++r) {
    b.SetElem(1, r, "t" + std::to_string(r));
    b.SetRowAttrib(r, static_cast<std::uint8_t>(r));
  }
  int changes = 0;
  b.OnChange = [&](TObject*) { ++changes; };
  EXPECT_TRUE(b.Resize(2, 3));
  EXPECT_TRUE(b.Resize(2, 5));
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(b.Elem(1, 3), "t3");
  EXPECT_EQ(b.RowAttrib(3), 3);
  EXPECT_EQ(b.Elem(1, 4), "");
  EXPECT_EQ(b.Elem(1, 5), "");
  EXPECT_EQ(b.RowAttrib(5), 0);

  // Also when the column count changes on the way down and up.
  b.SetElem(2, 5, "late");
  b.SetColAttrib(2, 9);
  EXPECT_TRUE(b.Resize(3, 3));
  EXPECT_EQ(b.ColAttrib(2), 9);
  EXPECT_EQ(b.ColAttrib(3), 0);
  EXPECT_TRUE(b.Resize(4, 5));
  EXPECT_EQ(b.Elem(2, 5), "");
  EXPECT_EQ(b.Elem(1, 2), "t2");

  EXPECT_TRUE(b.Resize(4, 5));  // same size
  EXPECT_FALSE(b.Resize(4, 0));
  EXPECT_FALSE(b.Resize(0, 2));
  EXPECT_EQ(b.NrOfColumns(), 4);
  EXPECT_EQ(b.NrOfRows(), 5);
  EXPECT_EQ(b.Elem(1, 1), "t1");

  // Sizes no memory can hold are refused the same way, without overflowing on the way.
  // The limit makes them fail here, whatever the machine would grant.
  changes = 0;
  {
    const orvex::testing::TAllocationLimit limit(std::size_t{1} << 30);
    EXPECT_FALSE(b.Resize(INT_MAX, 1));
    EXPECT_FALSE(b.Resize(INT_MAX, INT_MAX));
    EXPECT_FALSE(b.Resize(2, INT_MAX));
  }
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(b.NrOfColumns(), 4);
  EXPECT_EQ(b.NrOfRows(), 5);
  EXPECT_EQ(b.Elem(1, 2), "t2");
}

TEST(StringArray, SortIgnoresCaseUsesSecondaryColumnAndMovesFlags)
{
  TStringArray a;
  a.Resize(2, 3);
  const char* names[] = {"Beta", "alpha", "Gamma"};
  for (int r = 1; r <= 3; ++r) {
    a.SetElem(1, r, names[r - 1]);
    a.SetRowAttrib(r, static_cast<std::uint8_t>(10 * r));
  }
  std::vector<int> progress;
  a.OnPercentDone = [&](TObject*, int p) { progress.push_back(p); };
  a.Sort(1, 0, true);
  EXPECT_EQ(a.Elem(1, 1), "alpha");
  EXPECT_EQ(a.Elem(1, 2), "Beta");
  EXPECT_EQ(a.Elem(1, 3), "Gamma");
  EXPECT_EQ(a.RowAttrib(1), 20);  // the flag moved with its row
  EXPECT_EQ(a.RowIndex(1), 2);
  ASSERT_GE(progress.size(), 3u);
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(progress.back(), 100);
  for (std::size_t i = 1; i < progress.size(); ++i)
    EXPECT_LE(progress[i - 1], progress[i]);

  a.Sort(1, 0, false);
  EXPECT_EQ(a.Elem(1, 1), "Gamma");
  EXPECT_EQ(a.Elem(1, 2), "Beta");
  EXPECT_EQ(a.Elem(1, 3), "alpha");

  // Ties on the primary column follow the secondary one, in the same direction.
  TStringArray b;
  b.Resize(2, 40);
  for (int r = 1; r <= 40; ++r) {
    b.SetElem(1, r, r % 2 ? "odd" : "EVEN");
    b.SetElem(2, r, std::string(1, static_cast<char>('a' + (r * 7) % 26)) + std::to_string(r));
  }
  b.Sort(1, 2, true);
  for (int r = 1; r < 40; ++r) {
    const std::string p1 = b.Elem(1, r), p2 = b.Elem(1, r + 1);
    ASSERT_TRUE(p1 == p2 ? b.Elem(2, r) <= b.Elem(2, r + 1) : p1 == "EVEN") << r;
  }

  // Accented capitals compare as their small letters, so these pairs tie on the primary
  // column and go by the secondary one.
  TStringArray u;
  u.Resize(2, 4);
  const char* words[][2] = {{"\xC3\x9C" "BER", "2"}, {"\xC3\xBF", "3"}, {"\xC3\xBC" "ber", "1"}, {"\xC5\xB8", "0"}};
  for (int r = 1; r <= 4; ++r) {
    u.SetElem(1, r, words[r - 1][0]);
    u.SetElem(2, r, words[r - 1][1]);
  }
  u.Sort(1, 2, true);
  EXPECT_EQ(u.Elem(2, 1) + u.Elem(2, 2) + u.Elem(2, 3) + u.Elem(2, 4), "1203");

  // The owner's keys decide: numbers sorted by value instead of as text.
  TStringArray c;
  c.Resize(1, 4);
  const char* numbers[] = {"10", "9", "100", "1"};
  for (int r = 1; r <= 4; ++r)
    c.SetElem(1, r, numbers[r - 1]);
  c.OnBeforeSortExchange = [](TObject*, const std::string& In, std::string& Out) {
    Out = std::string(8 - In.size(), '0') + In;
  };
  c.Sort(1, 0, true);
  EXPECT_EQ(c.Elem(1, 1), "1");
  EXPECT_EQ(c.Elem(1, 2), "9");
  EXPECT_EQ(c.Elem(1, 3), "10");
  EXPECT_EQ(c.Elem(1, 4), "100");

  // A resize discards the order: rows go back to physical order.
  c.SetNrOfColumns(2);
  EXPECT_EQ(c.Elem(1, 1), "10");
}

TEST(StringArray, RowIndexClearAndAssign)
{
  TStringArray a;
  a.Resize(2, 3);
  a.SetElem(1, 1, "one");
  a.SetElem(1, 3, "three");
  a.SetColAttrib(1, 5);
  EXPECT_EQ(a.RowIndex(0), -1);
  EXPECT_EQ(a.RowIndex(4), -1);
  a.SetRowIndex(1, 3);
  a.SetRowIndex(2, 4);  // beyond the rows: ignored
  EXPECT_EQ(a.RowIndex(2), 2);
  EXPECT_EQ(a.Elem(1, 1), "three");

  TStringArray b;
  int bChanges = 0;
  a.OnChange = [&](TObject*) { ++bChanges; };
  b.Assign(a);
  EXPECT_EQ(bChanges, 0);
  EXPECT_EQ(b.NrOfRows(), 3);
  EXPECT_EQ(b.Elem(1, 1), "three");
  EXPECT_EQ(b.ColAttrib(1), 5);
  b.SetElem(1, 2, "two");  // the copy fires the shared handler, into its own storage
  EXPECT_EQ(bChanges, 1);
  EXPECT_EQ(a.Elem(1, 2), "");

  int changes = 0;
  a.OnChange = [&](TObject*) { ++changes; };
  a.SetElem(1, 2, std::string(200, 'q'));
  a.Clear();
  EXPECT_EQ(changes, 1);  // Clear itself fires nothing
  EXPECT_EQ(a.NrOfBlocks(), 1);
  EXPECT_EQ(a.Elem(1, 1), "");
  EXPECT_EQ(a.ColAttrib(1), 0);
  EXPECT_EQ(a.RowIndex(1), 1);
  a.SetElem(1, 1, "new");
  EXPECT_EQ(a.Handle(1, 1), 65536u + 1u);
  EXPECT_EQ(b.Elem(1, 1), "three");

  TComponent other;
  EXPECT_THROW(a.Assign(other), EOrvexError);
}
