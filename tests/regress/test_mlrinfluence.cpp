// The influence pass of the regression run: DFBETAS computed when asked for against their
// definition by leaving each object out and fitting again, the design a result keeps, and the
// measures' independence of the thread count.
#include "mlrrun.h"
#include "mlrrun_testutil.h"
#include "orvex_datatable.h"
#include "orvex_math2.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace orvex;

namespace {

constexpr int X1 = 1, X2 = 2, X3 = 3, X4 = 4, Dummy = 5, Y = 6;

// Rows of small integers with X3 = X1 + 2 X2 exactly (a collinear input), a dummy column that
// is 1 in row UnitRow only (that object has leverage 1) and a noisy target; row OutlierRow
// (when given) lies far out in X4 and off the plane.
void FillCollinear(TDataTable& t, int Rows, int UnitRow, int OutlierRow = 0)
{
  t.Resize(6, Rows);
  std::uint64_t s = 99;
  auto next = [&](int Range) {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((s >> 33) % static_cast<std::uint64_t>(Range));
  };
  for (int r = 1; r <= Rows; ++r) {
    const int x1 = next(20), x2 = next(15), x4 = next(30);
    t.SetElem(X1, r, x1);
    t.SetElem(X2, r, x2);
    t.SetElem(X3, r, x1 + 2 * x2);
    t.SetElem(X4, r, x4);
    t.SetElem(Dummy, r, r == UnitRow ? 1 : 0);
    t.SetElem(Y, r, 2.0 + 0.5 * x1 - 0.25 * x2 + 0.125 * x4 + next(1000) / 100.0);
  }
  if (OutlierRow > 0) {
    t.SetElem(X4, OutlierRow, 3000);
    t.SetElem(Y, OutlierRow, 5000);
  }
}

const TRoleState Roles = MakeRoles(6, {X1, X2, X3, X4, Dummy}, Y);

// Every DFBETAS of a result, object after object.
std::vector<double> AllDFBetas(const TInfluence& F)
{
  std::vector<double> all(F.Hat.size() * static_cast<std::size_t>(F.NrOfCoefficients));
  for (std::size_t i = 0; i < F.Hat.size(); ++i)
    F.DFBetaRow(static_cast<int>(i), all.data() + i * static_cast<std::size_t>(F.NrOfCoefficients));
  return all;
}

// Identical values, NaN in the same places.
bool SameBits(const std::vector<double>& A, const std::vector<double>& B)
{
  return A.size() == B.size() && std::memcmp(A.data(), B.data(), A.size() * sizeof(double)) == 0;
}
template <typename TVec>
std::vector<double> Plain(const TVec& V)
{
  return std::vector<double>(V.begin(), V.end());
}

TEST(MLRInfluence, DFBetasOnDemandAreTheLeaveOneOutChangeOfTheCoefficients)
{
  const int rows = 16, unitRow = 5;
  TDataTable table;
  FillCollinear(table, rows, unitRow);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, Roles)) << run.ErrorText();
  const TMLRResultPtr full = run.Result();
  const TInfluence& f = full->Influence;
  ASSERT_TRUE(full->NearSingular);
  ASSERT_EQ(f.Rank, 5);  // six coefficients, one dependence
  ASSERT_EQ(f.NrOfCoefficients, 6);
  const std::vector<TCoefficientInference>& coefs = full->Inference.Coefficients;
  // The dependence involves X1, X2 and X3; X4, the dummy and the intercept are estimable.
  for (int j : {0, 1, 2})
    EXPECT_TRUE(coefs[static_cast<std::size_t>(j)].Collinear) << j;
  for (int j : {3, 4, 5})
    EXPECT_FALSE(coefs[static_cast<std::size_t>(j)].Collinear) << j;

  std::vector<double> row(6);
  for (int i = 0; i < rows; ++i) {
    const int tableRow = full->UsedRows[static_cast<std::size_t>(i)];
    f.DFBetaRow(i, row.data());
    for (int j = 0; j < 6; ++j)
      EXPECT_EQ(std::isnan(f.DFBeta(i, j)), std::isnan(row[static_cast<std::size_t>(j)]));
    if (tableRow == unitRow) {
      EXPECT_EQ(f.Hat[static_cast<std::size_t>(i)], 1.0);
      for (double d : row)
        EXPECT_TRUE(std::isnan(d));
      continue;
    }
    for (int j : {0, 1, 2})
      EXPECT_TRUE(std::isnan(row[static_cast<std::size_t>(j)])) << "row " << tableRow;
    // Leave the object out (its target empty) and fit again: DFBETAS_j = (b_j - b_j(i)) /
    // (s_(i) sqrt(C_jj)) with s_(i) from the refit's residuals on m - 1 - k degrees of freedom
    // and sqrt(C_jj) the full fit's unscaled deviation.
    TDataTable without;
    FillCollinear(without, rows, unitRow);
    without.SetCellState(Y, tableRow, csEmpty);
    TMLRRun refit;
    ASSERT_TRUE(refit.Execute(without, Roles)) << refit.ErrorText();
    const TMLRResult& r = *refit.Result();
    ASSERT_EQ(r.Rank, f.Rank);
    long double rss = 0;
    for (double e : r.Residuals)
      rss += static_cast<long double>(e) * e;
    const double si = std::sqrt(static_cast<double>(rss / (rows - 1 - f.Rank)));
    EXPECT_NEAR(si, f.SigmaWithout[static_cast<std::size_t>(i)], 1e-12 * si) << "row " << tableRow;
    for (int j : {3, 4, 5}) {
      const auto c = static_cast<std::size_t>(j);
      const double expected = (full->Coefficients[c] - r.Coefficients[c]) / (si * full->UnscaledStdDev[c]);
      // Both sides carry the rounding of two solves of a design with a dependence.
      EXPECT_NEAR(row[c], expected, 1e-8 * std::max(1.0, std::fabs(expected))) << "row " << tableRow << " coef " << j;
    }
  }
}

TEST(MLRInfluence, AResultKeepsItsDesignAcrossLaterRunsAndFailures)
{
  TDataTable table;
  FillCollinear(table, 40, 7);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, Roles));
  const TMLRResultPtr first = run.Result();
  const std::vector<double> before = AllDFBetas(first->Influence);
  // Another design of the same size, then a smaller one, then a failure: the first result's
  // DFBETAS stay what they were, and a fresh run agrees with the reused one.
  TDataTable other;
  FillCollinear(other, 40, 9);
  ASSERT_TRUE(run.Execute(other, Roles));
  const std::vector<double> second = AllDFBetas(run.Result()->Influence);
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {X1, X4}, Y)));
  EXPECT_FALSE(run.Execute(table, MakeRoles(6, {}, Y)));
  EXPECT_TRUE(SameBits(AllDFBetas(first->Influence), before));
  TMLRRun fresh;
  ASSERT_TRUE(fresh.Execute(other, Roles));
  EXPECT_TRUE(SameBits(AllDFBetas(fresh.Result()->Influence), second));
  EXPECT_EQ(run.MatD().NrOfColumns(), 3);
  EXPECT_EQ(run.MatD().Elem(2, 1), table.Elem(X4, 1));
}

TEST(MLRInfluence, MeasuresFlagsAndPredictionsDoNotDependOnTheThreadCount)
{
  // Many blocks of the pass, a dependence, an object of leverage 1 and a few flagged ones.
  TDataTable table;
  FillCollinear(table, 5000, 1234, 4321);
  std::vector<TMLRResultPtr> results;
  for (int threads : {1, 2, 4}) {
    SetMathThreadCount(threads);
    TMLRRun run;
    ASSERT_TRUE(run.Execute(table, Roles)) << run.ErrorText();
    results.push_back(run.Result());
  }
  SetMathThreadCount(0);
  const TInfluence& a = results[0]->Influence;
  EXPECT_EQ(a.NrOfUnitLeverage, 1);
  EXPECT_FALSE(a.Flagged.empty());
  for (std::size_t t = 1; t < results.size(); ++t) {
    const TInfluence& b = results[t]->Influence;
    EXPECT_TRUE(SameBits(Plain(a.Hat), Plain(b.Hat)));
    EXPECT_TRUE(SameBits(Plain(a.RStandard), Plain(b.RStandard)));
    EXPECT_TRUE(SameBits(Plain(a.RStudent), Plain(b.RStudent)));
    EXPECT_TRUE(SameBits(Plain(a.CooksDistance), Plain(b.CooksDistance)));
    EXPECT_TRUE(SameBits(Plain(a.DFFits), Plain(b.DFFits)));
    EXPECT_TRUE(SameBits(Plain(a.CovRatio), Plain(b.CovRatio)));
    EXPECT_TRUE(SameBits(AllDFBetas(a), AllDFBetas(b)));
    EXPECT_EQ(a.Flags, b.Flags);
    EXPECT_EQ(a.Flagged, b.Flagged);
    const TPredictions& p = results[0]->Predictions;
    const TPredictions& q = results[t]->Predictions;
    EXPECT_EQ(p.Rows, q.Rows);
    EXPECT_TRUE(SameBits(Plain(p.SEFit), Plain(q.SEFit)));
    EXPECT_TRUE(SameBits(Plain(p.PIHigh), Plain(q.PIHigh)));
    EXPECT_EQ(results[0]->ExtendedLines, results[t]->ExtendedLines);
  }
  // The DFBETAS rule, decided in the pass from |DFBETAS| <= |DFFITS|, agrees with every
  // object's DFBETAS computed in full.
  const std::vector<double> all = AllDFBetas(a);
  const auto n = static_cast<std::size_t>(a.NrOfCoefficients);
  int broken = 0;
  for (std::size_t i = 0; i < a.Hat.size(); ++i) {
    double maxAbs = 0;
    for (std::size_t j = 0; j < n; ++j)
      maxAbs = std::max(maxAbs, std::fabs(all[i * n + j]));
    EXPECT_EQ((a.Flags[i] & ifDFBeta) != 0, maxAbs > 1) << i;
    broken += maxAbs > 1;
    if (!std::isnan(a.DFFits[i])) {
      EXPECT_LE(maxAbs, std::fabs(a.DFFits[i]) * (1 + 1e-12)) << i;
    }
  }
  EXPECT_GT(broken, 0);
}

}  // namespace
