// The influence pass of the regression run: DFBETAS computed when asked for against their
// definition by leaving each object out and fitting again, the design a result keeps, the
// measures' independence of the thread count, the measures and predictions of thousands of
// objects (many blocks, rows outside the fit at the blocks' edges) against their definitions
// with an independent inverse of the normal equations, and the listing of a run that keeps no
// measures per object against the measures of one that does.
#include "mlrrun.h"
#include "mlrrun_testutil.h"
#include "orvex_datatable.h"
#include "orvex_math2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

// A table of Rows rows: inputs A and B, a dummy D that is 1 in row UnitRow only (leverage 1),
// the target Y. The target is empty in every row of TargetMissing, input B in every row of
// InputMissing.
constexpr int A = 1, B = 2, D = 3, T = 4;
void FillWide(TDataTable& Table, int Rows, int UnitRow, const std::vector<int>& TargetMissing,
              const std::vector<int>& InputMissing)
{
  Table.Resize(4, Rows);
  std::uint64_t s = 2024;
  auto next = [&] {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(s >> 11) * 0x1.0p-53;
  };
  for (int r = 1; r <= Rows; ++r) {
    const double a = 10 * next(), b = 5 * next() - 2;
    Table.SetElem(A, r, a);
    Table.SetElem(B, r, b);
    Table.SetElem(D, r, r == UnitRow ? 1 : 0);
    Table.SetElem(T, r, 1.5 + 0.75 * a - 2 * b + next());
  }
  for (int r : TargetMissing)
    Table.SetCellState(T, r, csEmpty);
  for (int r : InputMissing)
    Table.SetCellState(B, r, csNotANumber);
}

// The design rows of the given table rows: the inputs' values, then the intercept's 1.
template <std::size_t N>
std::vector<std::array<long double, N>> DesignRows(const TDataTable& Table, const std::vector<int>& Inputs,
                                                   const TBulkVector<int>& Rows)
{
  std::vector<std::array<long double, N>> x;
  for (int row : Rows) {
    std::array<long double, N> v{};
    for (std::size_t j = 0; j + 1 < N; ++j)
      v[j] = Table.Elem(Inputs[j], row);
    v[N - 1] = 1;
    x.push_back(v);
  }
  return x;
}

// (X'X)^-1 by Gauss-Jordan elimination with partial pivoting in extended precision: the oracle
// of the leverages x (X'X)^-1 x'.
template <std::size_t N>
std::array<std::array<long double, N>, N> InverseNormalMatrix(const std::vector<std::array<long double, N>>& X)
{
  std::array<std::array<long double, 2 * N>, N> g{};
  for (const auto& x : X)
    for (std::size_t i = 0; i < N; ++i)
      for (std::size_t j = 0; j < N; ++j)
        g[i][j] += x[i] * x[j];
  for (std::size_t i = 0; i < N; ++i)
    g[i][i + N] = 1;
  for (std::size_t c = 0; c < N; ++c) {
    std::size_t pivot = c;
    for (std::size_t r = c + 1; r < N; ++r)
      if (std::fabs(g[r][c]) > std::fabs(g[pivot][c]))
        pivot = r;
    std::swap(g[c], g[pivot]);
    const long double d = g[c][c];
    for (long double& v : g[c])
      v /= d;
    for (std::size_t r = 0; r < N; ++r)
      if (r != c) {
        const long double f = g[r][c];
        for (std::size_t j = 0; j < 2 * N; ++j)
          g[r][j] -= f * g[c][j];
      }
  }
  std::array<std::array<long double, N>, N> inv{};
  for (std::size_t i = 0; i < N; ++i)
    for (std::size_t j = 0; j < N; ++j)
      inv[i][j] = g[i][j + N];
  return inv;
}

template <std::size_t N>
long double Leverage(const std::array<std::array<long double, N>, N>& Inv, const std::array<long double, N>& X)
{
  long double h = 0;
  for (std::size_t i = 0; i < N; ++i)
    for (std::size_t j = 0; j < N; ++j)
      h += X[i] * Inv[i][j] * X[j];
  return h;
}

void ExpectRel(double Actual, long double Expected, double Tol, const std::string& What)
{
  EXPECT_NEAR(Actual, static_cast<double>(Expected), Tol * std::fabs(static_cast<double>(Expected))) << What;
}

TEST(MLRInfluence, EveryObjectsMeasuresFollowTheirDefinitions)
{
  // 5003 objects: two tasks of the pass, a last block of 139 objects (not a multiple of four),
  // an object of leverage 1 among ordinary ones in the same block.
  const int rows = 5003, unitRow = 4098;
  TDataTable table;
  FillWide(table, rows, unitRow, {}, {});
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(4, {A, B, D}, T))) << run.ErrorText();
  const TMLRResult& r = *run.Result();
  const TInfluence& f = r.Influence;
  ASSERT_EQ(f.Hat.size(), static_cast<std::size_t>(rows));
  const std::vector<int> inputs = {A, B, D};
  const auto inv = InverseNormalMatrix(DesignRows<4>(table, inputs, r.UsedRows));
  const int m = rows, k = 4;
  long double rss = 0;
  for (double e : r.Residuals)
    rss += static_cast<long double>(e) * e;
  const long double s = std::sqrt(rss / (m - k));
  int unit = 0;
  for (std::size_t i = 0; i < f.Hat.size(); ++i) {
    const int row = r.UsedRows[i];
    const std::string at = " of row " + std::to_string(row);
    const long double e = r.Residuals[i];
    if (row == unitRow) {
      // The fit passes through the object: every measure that divides by 1 - h means nothing.
      EXPECT_EQ(f.Hat[i], 1.0);
      for (double v : {f.RStandard[i], f.RStudent[i], f.CooksDistance[i], f.DFFits[i], f.CovRatio[i]})
        EXPECT_TRUE(std::isnan(v)) << at;
      ExpectRel(f.SigmaWithout[i], std::sqrt(rss / (m - k - 1)), 1e-12, "s_(i)" + at);
      ++unit;
      continue;
    }
    // Leverages near 1e-4: the factor's rounding is some 1e-12 of them.
    const long double h = Leverage(inv, DesignRows<4>(table, inputs, {row})[0]);
    ExpectRel(f.Hat[i], h, 1e-9, "h" + at);
    const long double si = std::sqrt((rss - e * e / (1 - h)) / (m - k - 1));
    const long double rs = e / (s * std::sqrt(1 - h)), rt = e / (si * std::sqrt(1 - h));
    ExpectRel(f.SigmaWithout[i], si, 1e-12, "s_(i)" + at);
    ExpectRel(f.RStandard[i], rs, 1e-9, "standardized residual" + at);
    ExpectRel(f.RStudent[i], rt, 1e-9, "studentized residual" + at);
    ExpectRel(f.CooksDistance[i], rs * rs * h / (k * (1 - h)), 1e-9, "Cook's distance" + at);
    ExpectRel(f.DFFits[i], rt * std::sqrt(h / (1 - h)), 1e-9, "DFFITS" + at);
    ExpectRel(f.CovRatio[i], std::pow(si / s, 2 * k) / (1 - h), 1e-9, "COVRATIO" + at);
  }
  EXPECT_EQ(unit, 1);
  EXPECT_EQ(f.NrOfUnitLeverage, 1);
}

TEST(MLRInfluence, PredictionsPlaceTheRowsOutsideTheFitAtTheBlocksEdges)
{
  // Rows outside the fit (an empty target, an excluded row) around the edges of the blocks of
  // table rows and of objects (4096 each), in runs and alone, in the first and last rows;
  // rows with an empty input are not predicted.
  const int rows = 9001;
  std::vector<int> targetMissing = {1, 2, 3, 777, 8190, 8191, 8192, 8193, rows};
  for (int row = 4080; row <= 4130; row += 3)
    targetMissing.push_back(row);
  const std::vector<int> inputMissing = {5, 4096, 4097, 8194, 9000};
  const std::vector<int> excluded = {4, 4099, 6000};
  TDataTable table;
  FillWide(table, rows, 0, targetMissing, inputMissing);
  TMLRModelOptions options;
  options.ExcludedRows = excluded;
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(4, {A, B}, T), options)) << run.ErrorText();
  const TMLRResult& r = *run.Result();
  const TPredictions& p = r.Predictions;
  auto in = [](const std::vector<int>& Rows, int Row) {
    return std::find(Rows.begin(), Rows.end(), Row) != Rows.end();
  };
  std::vector<int> expected;
  for (int row = 1; row <= rows; ++row)
    if (!in(inputMissing, row))
      expected.push_back(row);
  ASSERT_EQ(p.Rows, expected);
  EXPECT_EQ(p.NrOfPredictedOnly, static_cast<int>(targetMissing.size()));

  const std::vector<int> inputs = {A, B};
  const auto inv = InverseNormalMatrix(DesignRows<3>(table, inputs, r.UsedRows));
  const std::vector<double>& b = r.Coefficients;  // A, B, intercept
  const long double s = r.Summary.SRes, tq = r.Inference.TQuantile;
  std::size_t u = 0;
  for (std::size_t a = 0; a < p.Rows.size(); ++a) {
    const int row = p.Rows[a];
    const std::string at = " of row " + std::to_string(row);
    const bool used = u < r.UsedRows.size() && r.UsedRows[u] == row;
    EXPECT_EQ(p.Used[a], used ? 1 : 0) << at;
    const long double xa = table.Elem(A, row), xb = table.Elem(B, row);
    const long double est = b[2] + b[0] * xa + b[1] * xb;
    ExpectRel(p.Estimate[a], est, 1e-12, "estimate" + at);
    if (used) {
      EXPECT_EQ(p.Estimate[a], r.Estimates[u]) << at;
      EXPECT_EQ(p.Residual[a], r.Residuals[u]) << at;
      ++u;
    } else if (in(targetMissing, row)) {
      EXPECT_TRUE(std::isnan(p.Residual[a])) << at;
    } else {
      ExpectRel(p.Residual[a], table.Elem(T, row) - est, 1e-9, "residual" + at);
    }
    const long double se = s * std::sqrt(Leverage(inv, DesignRows<3>(table, inputs, {row})[0]));
    ExpectRel(p.SEFit[a], se, 1e-9, "standard error" + at);
    EXPECT_NEAR(p.CIHigh[a] - p.Estimate[a], static_cast<double>(tq * se), 1e-12) << at;
    EXPECT_NEAR(p.Estimate[a] - p.PILow[a], static_cast<double>(tq * std::sqrt(s * s + se * se)), 1e-12) << at;
  }
  EXPECT_EQ(u, r.UsedRows.size());
}
TEST(MLRInfluence, RulesCountOnlyTheObjectsOfPositiveLeverageAsR)
{
  // Without an intercept, row 3 (all inputs 0) has leverage 0, so R's rules take n = 11, not
  // 12: row 9's leverage 0.5158 lies between 3k/12 and 3k/11 and breaks no "hat" rule.
  // R 4.2:
  //   x1 <- c(2.5, 3.1, 0, 5.2, 6.8, 7.1, 8.9, 9.4, 10.2, 11.8, 12.5, 13.3)
  //   x2 <- c(1.2, 0.8, 0, 1.7, 3.3, 2.1, 4.8, 2.6, 6.0, 5.1, 4.4, 5.0)
  //   y  <- c(3.9, 4.4, 0.7, 7.1, 10.9, 9.2, 14.3, 11.0, 11.8, 17.7, 16.1, 19.9)
  //   fit <- lm(y ~ 0 + x1 + x2); im <- influence.measures(fit)
  //   im$is.inf[apply(im$is.inf, 1, any), ]   # row 9: dfb, dffit, cov.r, cook.d; not hat
  //   hatvalues(fit)[c(3, 9)]                 # 0, 0.51580057516891276
  const std::vector<std::array<double, 3>> rows = {
      {2.5, 1.2, 3.9},  {3.1, 0.8, 4.4},  {0, 0, 0.7},       {5.2, 1.7, 7.1},   {6.8, 3.3, 10.9},  {7.1, 2.1, 9.2},
      {8.9, 4.8, 14.3}, {9.4, 2.6, 11.0}, {10.2, 6.0, 11.8}, {11.8, 5.1, 17.7}, {12.5, 4.4, 16.1}, {13.3, 5.0, 19.9}};
  TDataTable table;
  table.Resize(3, static_cast<int>(rows.size()));
  for (int r = 1; r <= static_cast<int>(rows.size()); ++r)
    for (int c = 1; c <= 3; ++c)
      table.SetElem(c, r, rows[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(c - 1)]);
  TMLRModelOptions options;
  options.Intercept = false;
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(3, {1, 2}, 3), options)) << run.ErrorText();
  const TInfluence& f = run.Result()->Influence;
  ASSERT_TRUE(f.Available);
  EXPECT_EQ(f.Hat[2], 0.0);
  EXPECT_NEAR(f.Hat[8], 0.51580057516891276, 1e-9);
  EXPECT_EQ(f.Flagged, std::vector<int>{8});
  EXPECT_EQ(f.Flags[8], ifDFBeta | ifDFFit | ifCovRatio | ifCooksD);
}


// What a run that keeps every object's measures lists: the counts and the first flagged
// objects and objects of leverage 1, made from its vectors as the report makes them.
void ExpectListingOf(const TMLRResult& Full, const TMLRResult& Summarized)
{
  const TInfluence& f = Full.Influence;
  const TInfluence& s = Summarized.Influence;
  ASSERT_TRUE(s.Summarized);
  EXPECT_FALSE(f.Summarized);
  EXPECT_EQ(s.Available, f.Available);
  EXPECT_TRUE(s.Hat.empty() && s.DFBetaScale.empty() && s.Flags.empty() && s.Flagged.empty());
  const TInfluenceListing& l = s.Listing;
  EXPECT_EQ(l.NrOfObjects, static_cast<int>(f.Hat.size()));
  EXPECT_EQ(l.NrOfPositive, std::count_if(f.Hat.begin(), f.Hat.end(), [](double h) { return h > 0; }));
  EXPECT_EQ(l.NrOfFlagged, static_cast<int>(f.Flagged.size()));
  EXPECT_EQ(s.NrOfUnitLeverage, f.NrOfUnitLeverage);
  std::vector<int> unit;
  for (std::size_t o = 0; o < f.Hat.size(); ++o)
    if (f.Hat[o] == 1 && unit.size() < TInfluenceListing::MaxUnitLeverageRows)
      unit.push_back(Full.UsedRows[o]);
  EXPECT_EQ(l.UnitLeverageRows, unit);
  ASSERT_EQ(l.Listed.size(), std::min(f.Flagged.size(), TInfluenceListing::MaxListed));
  std::vector<double> row(static_cast<std::size_t>(f.NrOfCoefficients));
  for (std::size_t i = 0; i < l.Listed.size(); ++i) {
    const int o = f.Flagged[i];
    const auto u = static_cast<std::size_t>(o);
    const TListedObject& x = l.Listed[i];
    f.DFBetaRow(o, row.data());
    double dfb = 0;
    for (double d : row)
      dfb = std::max(dfb, std::fabs(d));
    EXPECT_EQ(x.Row, Full.UsedRows[u]);
    EXPECT_EQ(x.Flags, f.Flags[u]) << x.Row;
    EXPECT_TRUE(SameBits({x.MaxAbsDFBeta, x.DFFits, x.CovRatio, x.CooksDistance, x.Hat},
                         {dfb, f.DFFits[u], f.CovRatio[u], f.CooksDistance[u], f.Hat[u]}))
        << x.Row;
  }
  // The report reads the same; the result's table of influential objects holds the listed ones.
  EXPECT_EQ(Summarized.ExtendedLines, Full.ExtendedLines);
  if (f.Available) {
    EXPECT_EQ(Summarized.Tables.back().Rows.size(), l.Listed.size());
  }
}

TEST(MLRInfluence, ARunWithoutObjectMeasuresListsWhatTheReportShows)
{
  // 40,000 objects (tasks of 4,096) close to a plane, an object of leverage 1 and 30 outliers
  // every 1,300 rows: the first 20 flagged objects come from several tasks.
  TDataTable table;
  FillCollinear(table, 40000, 2222);
  for (int r = 700; r <= 40000; r += 1300)
    table.SetElem(Y, r, table.Elem(Y, r) + 400);
  TMLRRun full;
  ASSERT_TRUE(full.Execute(table, Roles)) << full.ErrorText();
  ASSERT_GT(full.Result()->Influence.Flagged.size(), TInfluenceListing::MaxListed);
  EXPECT_GE(full.Result()->Influence.Flagged[TInfluenceListing::MaxListed - 1], 3 * 4096);
  std::vector<TMLRResultPtr> summarized;
  for (int threads : {1, 2, 4}) {
    SetMathThreadCount(threads);
    TMLRRun run;
    run.SetObjectMeasures(false);
    run.SetPredictions(false);
    ASSERT_TRUE(run.Execute(table, Roles)) << run.ErrorText();
    ExpectListingOf(*full.Result(), *run.Result());
    summarized.push_back(run.Result());
  }
  SetMathThreadCount(0);
  EXPECT_EQ(summarized[0]->Influence.Listing.UnitLeverageRows, std::vector<int>{2222});

  // Without an intercept row 3 has leverage 0: the rules are decided again over 11 objects
  // (see the test above), in a second pass.
  TDataTable origin;
  origin.Resize(3, 12);
  const double rows[12][3] = {{2.5, 1.2, 3.9},  {3.1, 0.8, 4.4},  {0, 0, 0.7},       {5.2, 1.7, 7.1},
                              {6.8, 3.3, 10.9}, {7.1, 2.1, 9.2},  {8.9, 4.8, 14.3},  {9.4, 2.6, 11.0},
                              {10.2, 6.0, 11.8}, {11.8, 5.1, 17.7}, {12.5, 4.4, 16.1}, {13.3, 5.0, 19.9}};
  for (int r = 1; r <= 12; ++r)
    for (int c = 1; c <= 3; ++c)
      origin.SetElem(c, r, rows[r - 1][c - 1]);
  TMLRModelOptions options;
  options.Intercept = false;
  TMLRRun originFull, originSummarized;
  originSummarized.SetObjectMeasures(false);
  originSummarized.SetPredictions(false);
  ASSERT_TRUE(originFull.Execute(origin, MakeRoles(3, {1, 2}, 3), options));
  ASSERT_TRUE(originSummarized.Execute(origin, MakeRoles(3, {1, 2}, 3), options));
  ExpectListingOf(*originFull.Result(), *originSummarized.Result());
  EXPECT_EQ(originSummarized.Result()->Influence.Listing.NrOfPositive, 11);

  // The predictions (on by default) read every leverage: with them the measures are kept.
  TMLRRun predicting;
  predicting.SetObjectMeasures(false);
  ASSERT_TRUE(predicting.Execute(origin, MakeRoles(3, {1, 2}, 3), options));
  EXPECT_FALSE(predicting.Result()->Influence.Summarized);
  EXPECT_EQ(predicting.Result()->Influence.Hat.size(), 12u);
}

}  // namespace
