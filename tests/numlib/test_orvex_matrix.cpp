// TMatrix: size rules, keeping values on a resize, event order, Fill, Assign and the memory
// message.
#include "orvex_matrix.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

using namespace orvex;

namespace {

struct TEventLog {
  std::string Text;
  void Attach(TMatrix& m)
  {
    m.OnChange = [this](TObject*) { Text += 'C'; };
    m.OnResize = [this](TObject*) { Text += 'R'; };
  }
};

}  // namespace

TEST(TMatrix, NewMatrixAndRangeChecks)
{
  TMatrix m;
  TEventLog log;
  log.Attach(m);
  EXPECT_EQ(m.NrOfColumns(), 1);
  EXPECT_EQ(m.NrOfRows(), 1);
  EXPECT_EQ(m.Elem(1, 1), 0.0);
  EXPECT_EQ(m.DataID(), "");
  for (auto [c, r] : {std::pair{0, 1}, {1, 0}, {2, 1}, {1, 2}}) {
    m.SetElem(c, r, 9.0);
    EXPECT_EQ(m.Elem(c, r), 0.0);
  }
  EXPECT_EQ(log.Text, "");
}

TEST(TMatrix, GrowKeepsValuesAtTheirPlacesAndRaisesChangeThenResize)
{
  TMatrix m;
  m.Resize(2, 3);
  for (int c = 1; c <= 2; ++c)
    for (int r = 1; r <= 3; ++r)
      m.SetElem(c, r, 10 * c + r);
  TEventLog log;
  log.Attach(m);
  EXPECT_TRUE(m.Resize(3, 4));
  EXPECT_EQ(log.Text, "CR");
  for (int c = 1; c <= 3; ++c)
    for (int r = 1; r <= 4; ++r)
      EXPECT_EQ(m.Elem(c, r), c <= 2 && r <= 3 ? 10 * c + r : 0.0) << c << "," << r;

  // Shrinking keeps the overlap.
  EXPECT_TRUE(m.Resize(1, 2));
  EXPECT_EQ(m.Elem(1, 2), 12.0);
  EXPECT_EQ(m.Elem(2, 2), 0.0);

  log.Text.clear();
  EXPECT_FALSE(m.Resize(1, 2)) << "an unchanged size is no resize";
  EXPECT_FALSE(m.Resize(0, 5));
  EXPECT_FALSE(m.Resize(5, 0));
  m.SetNrOfColumns(-3);
  m.SetNrOfRows(0);
  EXPECT_EQ(log.Text, "");
  EXPECT_EQ(m.NrOfColumns(), 1);
  m.SetNrOfRows(6);
  EXPECT_EQ(m.NrOfRows(), 6);
  EXPECT_EQ(m.Elem(1, 2), 12.0);
  EXPECT_EQ(log.Text, "CR");
}

// Every resize, in the block it has or in a new one, keeps each value of the overlap at its
// (column, row) and makes the rest zero; a change of a few rows stays in the block.
TEST(TMatrix, ResizeInPlaceAndIntoNewBlockKeepTheOverlap)
{
  struct TStep {
    int Cols, Rows;
    bool SameBlock;
  };
  // From 4 x 100: fewer rows, more rows again, fewer columns with more rows, more columns with
  // fewer rows, and sizes that leave the block (too small for it, too large).
  const TStep steps[] = {{4, 99, true}, {4, 100, true}, {3, 120, true}, {5, 70, true}, {5, 80, true},
                         {2, 50, false}, {2, 49, true},  {6, 200, false}, {1, 1, false}};
  TMatrix m;
  m.Resize(4, 100);
  int cols = 4, rows = 100;
  std::vector<std::vector<double>> model(4, std::vector<double>(100));
  auto fill = [&] {
    for (int c = 1; c <= cols; ++c)
      for (int r = 1; r <= rows; ++r) {
        const double v = 1000.0 * c + r + 0.5 * (cols + rows);
        m.SetElem(c, r, v);
        model[static_cast<std::size_t>(c - 1)][static_cast<std::size_t>(r - 1)] = v;
      }
  };
  fill();
  for (const TStep& s : steps) {
    const double* before = m.Column(1);
    ASSERT_TRUE(m.Resize(s.Cols, s.Rows));
    EXPECT_EQ(m.Column(1) == before, s.SameBlock) << s.Cols << " x " << s.Rows;
    for (int c = 1; c <= s.Cols; ++c)
      for (int r = 1; r <= s.Rows; ++r) {
        const double want = c <= cols && r <= rows ? model[static_cast<std::size_t>(c - 1)][static_cast<std::size_t>(r - 1)] : 0.0;
        ASSERT_EQ(m.Elem(c, r), want) << s.Cols << " x " << s.Rows << " at " << c << "," << r;
        ASSERT_EQ(m.Column(c)[r - 1], want);
      }
    cols = s.Cols;
    rows = s.Rows;
    model.assign(static_cast<std::size_t>(cols), std::vector<double>(static_cast<std::size_t>(rows)));
    fill();
  }
}

TEST(TMatrix, FillRaisesOneChange)
{
  TMatrix m;
  m.Resize(4, 5);
  TEventLog log;
  log.Attach(m);
  m.Fill(2.5);
  EXPECT_EQ(log.Text, "C");
  for (int c = 1; c <= 4; ++c)
    for (int r = 1; r <= 5; ++r)
      EXPECT_EQ(m.Elem(c, r), 2.5);
}

TEST(TMatrix, AssignCopiesSizesDataIdValuesAndHandlers)
{
  TMatrix src;
  src.Resize(2, 2);
  src.SetElem(2, 1, 7.0);
  src.SetDataID("design");
  std::string calls;
  src.OnCalcDistance = [&](TObject*, int, int, double&) { calls += 'D'; };
  src.OnPercentDone = [&](TObject*, int) { calls += 'P'; };
  src.OnSortExchange = [&](TObject*, std::uint8_t, int, int, int, int) { calls += 'S'; };
  src.OnResize = [&](TObject*) { calls += 'R'; };
  TMatrix dst;
  TEventLog log;
  log.Attach(dst);
  dst.Assign(src);
  EXPECT_EQ(log.Text, "");
  EXPECT_EQ(calls, "") << "assigning raises no event";
  EXPECT_EQ(dst.NrOfColumns(), 2);
  EXPECT_EQ(dst.NrOfRows(), 2);
  EXPECT_EQ(dst.Elem(2, 1), 7.0);
  EXPECT_EQ(dst.DataID(), "design");
  ASSERT_TRUE(dst.OnCalcDistance && dst.OnPercentDone && dst.OnSortExchange);
  double d = 0;
  dst.OnCalcDistance(&dst, 1, 2, d);
  dst.OnPercentDone(&dst, 50);
  dst.OnSortExchange(&dst, 0, 1, 2, 1, 2);
  EXPECT_TRUE(dst.Resize(3, 3));
  EXPECT_EQ(calls, "DPSR");
  EXPECT_FALSE(dst.OnChange) << "the source had no OnChange handler";
  EXPECT_EQ(src.NrOfColumns(), 2) << "the copy has storage of its own";
}

TEST(TMatrix, ImpossibleSizeRaisesTheMemoryMessageAndKeepsTheMatrix)
{
  TMatrix m;
  m.SetName("MatD");
  m.Resize(2, 2);
  m.SetElem(2, 2, 4.0);
  try {
    m.Resize(INT_MAX, INT_MAX);
    FAIL() << "no exception";
  } catch (const EOrvexMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"MatD\": not enough memory on heap");
  }
  EXPECT_EQ(m.NrOfColumns(), 2);
  EXPECT_EQ(m.Elem(2, 2), 4.0);
}

// Large blocks are not zeroed a second time when the system has just faulted them in as zeros;
// new cells must still read 0 whatever the memory held before: a fresh matrix, a new row count
// or a new column next to kept values, and a block of the system's emptied by the allocator.
TEST(Matrix, NewCellsOfLargeBlocksAreZeroWhateverTheMemoryHeld)
{
  constexpr int Rows = 1000000;  // 5 columns: 40 MB, above detail::ZeroedBlockBytes
  auto allZero = [](const TMatrix& M, int FirstCol, int FirstRow) {
    for (int c = FirstCol; c <= M.NrOfColumns(); ++c)
      for (int r = FirstRow; r <= M.NrOfRows(); ++r)
        if (M.Column(c)[r - 1] != 0.0)
          return false;
    return true;
  };
  for (int round = 0; round < 2; ++round) {  // the second may get the first's memory back
    TMatrix m;
    m.Resize(5, Rows);
    EXPECT_TRUE(allZero(m, 1, 1)) << round;
    m.Fill(7.0);
    m.Resize(5, Rows + 1);
    EXPECT_EQ(m.Elem(5, Rows), 7.0);
    EXPECT_EQ(m.Elem(5, Rows + 1), 0.0);
    m.Resize(6, Rows + 1);
    EXPECT_EQ(m.Elem(5, Rows), 7.0);
    EXPECT_TRUE(allZero(m, 6, 1)) << round;
  }

#if defined(__linux__)
  // The allocator's promise itself, on memory that certainly held something.
  const std::size_t bytes = detail::ZeroedBlockBytes;
  void* raw = ::mmap(nullptr, bytes + detail::HugePageSize, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(raw, MAP_FAILED);
  const auto aligned = (reinterpret_cast<std::uintptr_t>(raw) + detail::HugePageSize - 1) & ~(detail::HugePageSize - 1);
  auto* block = reinterpret_cast<unsigned char*>(aligned);
  std::memset(block, 0x5a, bytes);
  if (detail::AdviseHugePages(block, bytes)) {
    std::size_t nonzero = 0;
    for (std::size_t i = 0; i < bytes; i += 512)
      nonzero += block[i] != 0;
    EXPECT_EQ(nonzero, 0u);
  } else {
    ADD_FAILURE() << "a program that keeps no freed memory gets its large blocks as zeros";
  }
  ::munmap(raw, bytes + detail::HugePageSize);
#endif
}
