// TVector and TIntVector: size rules, range-checked access, event order and assignment.
#include "orvex_vector.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

using namespace orvex;

namespace {

// Records the events of a container as a string of letters: C = OnChange, R = OnResize.
template <typename V>
std::string* Record(V& vec)
{
  auto* log = new std::string;
  vec.OnChange = [log](TObject*) { *log += 'C'; };
  vec.OnResize = [log](TObject*) { *log += 'R'; };
  return log;
}

}  // namespace

TEST(TVector, NewVectorAndRangeChecks)
{
  TVector v;
  std::unique_ptr<std::string> log(Record(v));
  EXPECT_EQ(v.NrOfElem(), 1);
  EXPECT_EQ(v.Elem(1), 0.0);
  v.SetElem(1, 4.5);
  EXPECT_EQ(*log, "C");
  EXPECT_EQ(v.Elem(0), 0.0);
  EXPECT_EQ(v.Elem(2), 0.0);
  v.SetElem(2, 7.0);
  v.SetElem(0, 7.0);
  EXPECT_EQ(*log, "C") << "writes outside the vector raise nothing";
  EXPECT_EQ(v.NrOfElem(), 1);
  EXPECT_EQ(v.Elem(1), 4.5);
}

TEST(TVector, ResizeRulesAndEventOrder)
{
  TVector v;
  std::unique_ptr<std::string> log(Record(v));
  v.SetElem(1, 3.0);
  log->clear();
  EXPECT_FALSE(v.Resize(0));
  EXPECT_FALSE(v.Resize(-5));
  EXPECT_TRUE(v.Resize(1)) << "the current size is success";
  EXPECT_EQ(*log, "");
  EXPECT_TRUE(v.Resize(4));
  EXPECT_EQ(*log, "CR");
  EXPECT_EQ(v.NrOfElem(), 4);
  EXPECT_EQ(v.Elem(1), 3.0);
  EXPECT_EQ(v.Elem(4), 0.0);
  v.SetNrOfElem(0);
  v.SetNrOfElem(4);
  EXPECT_EQ(*log, "CR");
  v.SetNrOfElem(2);
  EXPECT_EQ(*log, "CRCR");
  EXPECT_EQ(v.NrOfElem(), 2);
}

TEST(TVector, AssignCopiesValuesAndHandlersWithoutEvents)
{
  TVector src;
  src.Resize(3);
  src.SetElem(2, -1.25);
  std::string srcEvents;
  src.OnChange = [&](TObject*) { srcEvents += 'C'; };
  src.OnResize = [&](TObject*) { srcEvents += 'R'; };
  src.OnSortExchange = [&](TObject*, std::uint8_t, int, int, int, int) { srcEvents += 'S'; };
  TVector dst;
  std::unique_ptr<std::string> log(Record(dst));
  dst.Assign(src);
  EXPECT_EQ(*log, "");
  EXPECT_EQ(srcEvents, "") << "assigning raises no event";
  EXPECT_EQ(dst.NrOfElem(), 3);
  EXPECT_EQ(dst.Elem(2), -1.25);
  dst.SetElem(1, 1.0);
  dst.Resize(5);
  ASSERT_TRUE(dst.OnSortExchange);
  dst.OnSortExchange(&dst, 0, 1, 2, 1, 5);
  EXPECT_EQ(srcEvents, "CCRS") << "all three handlers are the source's";
  EXPECT_EQ(src.NrOfElem(), 3) << "the copy has storage of its own";

  TIntVector iv;
  EXPECT_THROW(dst.Assign(iv), EOrvexError);
  EXPECT_THROW(iv.Assign(dst), EOrvexError);
}

TEST(TIntVector, BehavesLikeTheDoubleVector)
{
  TIntVector v;
  std::unique_ptr<std::string> log(Record(v));
  EXPECT_EQ(v.NrOfElem(), 1);
  EXPECT_TRUE(v.Resize(3));
  v.SetElem(3, -2147483647 - 1);
  v.SetElem(4, 9);
  EXPECT_EQ(v.Elem(3), -2147483647 - 1);
  EXPECT_EQ(v.Elem(4), 0);
  EXPECT_EQ(*log, "CRC");
  TIntVector copy;
  copy.Assign(v);
  EXPECT_EQ(copy.NrOfElem(), 3);
  EXPECT_EQ(copy.Elem(3), v.Elem(3));
}
