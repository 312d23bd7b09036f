// TMatrix: size rules, keeping values on a resize, event order, Fill, Assign and the memory
// message.
#include "orvex_matrix.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

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
