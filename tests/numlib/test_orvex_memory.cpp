// Memory exhaustion in the containers and the pair store: the exact messages, and the state a
// failed allocation leaves. The global operator new of this test binary can be told to fail
// the next allocation of at least a given size; it allocates normally otherwise.
#include "orvex_math2.h"
#include "orvex_matrix.h"
#include "orvex_vector.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

namespace {

std::size_t FailFrom = SIZE_MAX;

// Makes the next allocation of MinBytes or more fail with std::bad_alloc (once).
void FailNextAllocation(std::size_t MinBytes)
{
  FailFrom = MinBytes;
}

}  // namespace

void* operator new(std::size_t Size)
{
  if (Size >= FailFrom) {
    FailFrom = SIZE_MAX;
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(Size ? Size : 1))
    return p;
  throw std::bad_alloc();
}

void operator delete(void* P) noexcept
{
  std::free(P);
}

void operator delete(void* P, std::size_t) noexcept
{
  std::free(P);
}

using namespace orvex;

namespace {

// Creating a Component whose first allocation fails raises Error with the creation message.
template <typename Component, typename Error>
void ExpectCreationFailure()
{
  FailNextAllocation(1);
  try {
    Component c;
    ADD_FAILURE() << "no exception for " << c.ClassName();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Component \"\": not enough memory on heap");
  }
}

}  // namespace

TEST(OutOfMemory, ConstructorsAndResizesRaiseTheirComponentMessages)
{
  // Creation: the name cannot be set yet, so it is empty in the message.
  ExpectCreationFailure<TVector, EOrvexVectorError>();
  ExpectCreationFailure<TIntVector, EOrvexVectorError>();
  ExpectCreationFailure<TMatrix, EOrvexMatrixError>();

  // A failed vector resize says "not enough memory" without "on heap", raises no event and
  // keeps size and contents; the same holds for the integer vector.
  TVector v;
  v.SetName("VecX");
  v.Resize(3);
  v.SetElem(3, 2.5);
  std::string log;
  v.OnChange = [&](TObject*) { log += 'C'; };
  v.OnResize = [&](TObject*) { log += 'R'; };
  FailNextAllocation(1000 * sizeof(double));
  try {
    v.Resize(1000);
    FAIL() << "no exception";
  } catch (const EOrvexVectorError& e) {
    EXPECT_STREQ(e.what(), "Component \"VecX\": not enough memory");
  }
  EXPECT_EQ(log, "");
  EXPECT_EQ(v.NrOfElem(), 3);
  EXPECT_EQ(v.Elem(3), 2.5);
  EXPECT_TRUE(v.Resize(1000)) << "the next attempt allocates normally";

  TIntVector iv;
  iv.SetName("SelColumns");
  iv.SetElem(1, 4);
  FailNextAllocation(500 * sizeof(std::int32_t));
  try {
    iv.SetNrOfElem(500);
    FAIL() << "no exception";
  } catch (const EOrvexError& e) {
    EXPECT_NE(dynamic_cast<const EOrvexVectorError*>(&e), nullptr);
    EXPECT_STREQ(e.what(), "Component \"SelColumns\": not enough memory");
  }
  EXPECT_EQ(iv.NrOfElem(), 1);
  EXPECT_EQ(iv.Elem(1), 4);
}

TEST(OutOfMemory, FailedStoreGrowthNamesTheCurveFitAndKeepsItsSums)
{
  TCurveFit cf;
  cf.SetName("Stats");
  for (int i = 1; i <= 1000; ++i)
    cf.AddPair(i, i + 1.0);
  const auto before = cf.GetStatistics();
  // The 1001st pair needs a larger store: 2 x 2000 doubles.
  FailNextAllocation(2 * 2000 * sizeof(double));
  try {
    cf.AddPair(-5.0, 5.0);
    FAIL() << "no exception";
  } catch (const EOrvexMatrixError& e) {
    EXPECT_STREQ(e.what(), "Component \"Stats\": not enough memory on heap");
  }
  const auto after = cf.GetStatistics();
  EXPECT_EQ(cf.NumPairs(), 1000);
  EXPECT_EQ(after.MeanX, before.MeanX);
  EXPECT_EQ(after.StdDevY, before.StdDevY);
  EXPECT_EQ(cf.DataX(1000), 1000.0);
  EXPECT_EQ(cf.AddPair(-5.0, 5.0), 1001);
  EXPECT_EQ(cf.DataY(1001), 5.0);
}
