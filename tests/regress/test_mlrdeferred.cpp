// A run that publishes its result in two steps (TMLRRun::DeferInfluence): the partial value
// holds everything of the fit, the complete value equals the one-step run's to the bit, and a
// reader that holds the partial value keeps it unchanged.
#include "mlrrun.h"
#include "mlrrun_testutil.h"
#include "orvex_datatable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace orvex;

namespace {

constexpr int Region = 1, X1 = 2, X2 = 3, Grade = 4, W = 5, Y = 6;
constexpr int NrOfRows = 80;

// Three inputs (one Nominal with four levels, one Ordinal), weights and a target; row 9 misses
// its target (predicted only), row 17 an input, and row 30 has an outlier, so that the
// influential objects' list is not empty.
void LoadTable(TDataTable& T)
{
  T.Resize(6, NrOfRows);
  std::uint64_t s = 99;
  auto next = [&s] {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(s >> 11) * 0x1.0p-53;
  };
  const char* names[] = {"region", "x1", "x2", "grade", "w", "y"};
  for (int c = 1; c <= 6; ++c)
    T.SetColName(c, names[c - 1]);
  for (int r = 1; r <= NrOfRows; ++r) {
    const double region = r % 4, x1 = 10 * next(), x2 = 5 * next() - 1, grade = r % 3, w = 0.5 + next();
    T.SetElem(Region, r, region);
    T.SetElem(X1, r, x1);
    T.SetElem(X2, r, x2);
    T.SetElem(Grade, r, grade);
    T.SetElem(W, r, w);
    T.SetElem(Y, r, 2 + 0.7 * x1 - 1.3 * x2 + 0.5 * region + grade + next() + (r == 30 ? 25 : 0));
    T.SetRowName(r, "obj" + std::to_string(r));
  }
  T.SetCellState(Y, 9, csEmpty);
  T.SetCellState(X2, 17, csEmpty);
  T.SetVarType(Region, vtNominal);
  T.SetVarType(Grade, vtOrdinal);
}

template <typename V>
bool SameBits(const V& A, const V& B)
{
  return A.size() == B.size() && (A.empty() || std::memcmp(A.data(), B.data(), A.size() * sizeof(A[0])) == 0);
}

void ExpectSamePoints(const std::vector<TFitPoint>& A, const std::vector<TFitPoint>& B)
{
  ASSERT_EQ(A.size(), B.size());
  for (std::size_t i = 0; i < A.size(); ++i) {
    EXPECT_EQ(A[i].Row, B[i].Row);
    EXPECT_EQ(A[i].ColorIndex, B[i].ColorIndex);
    EXPECT_EQ(A[i].Actual, B[i].Actual);
    EXPECT_EQ(A[i].Estimated, B[i].Estimated);
  }
}

// What the partial value must hold as the one-step result does: the whole fit.
void ExpectSameFit(const TMLRResult& A, const TMLRResult& B)
{
  EXPECT_EQ(A.UsedRows, B.UsedRows);
  EXPECT_EQ(A.ExcludedRows, B.ExcludedRows);
  EXPECT_EQ(A.Rank, B.Rank);
  EXPECT_TRUE(SameBits(A.Coefficients, B.Coefficients));
  EXPECT_TRUE(SameBits(A.StdErrors, B.StdErrors));
  EXPECT_TRUE(SameBits(A.Estimates, B.Estimates));
  EXPECT_TRUE(SameBits(A.Residuals, B.Residuals));
  ExpectSamePoints({A.FitPoints.begin(), A.FitPoints.end()}, {B.FitPoints.begin(), B.FitPoints.end()});
  ExpectSamePoints(A.ExcludedPoints, B.ExcludedPoints);
  EXPECT_EQ(A.Caption, B.Caption);
  EXPECT_EQ(A.Histogram.Bars.size(), B.Histogram.Bars.size());
  EXPECT_EQ(A.ReportLines, B.ReportLines);
  EXPECT_EQ(A.Measures.LogLik, B.Measures.LogLik);
  EXPECT_EQ(A.Measures.Equation, B.Measures.Equation);
  EXPECT_TRUE(SameBits(A.Robust.StdErrors, B.Robust.StdErrors));
  EXPECT_EQ(A.CategoricalTerms.size(), B.CategoricalTerms.size());
}

// The complete value against the one-step result: everything, to the bit.
void ExpectSameResult(const TMLRResult& A, const TMLRResult& B)
{
  ExpectSameFit(A, B);
  EXPECT_FALSE(A.Partial);
  EXPECT_FALSE(B.Partial);
  EXPECT_EQ(A.ExtendedLines, B.ExtendedLines);
  EXPECT_EQ(A.ExtendedTables.size(), B.ExtendedTables.size());
  ASSERT_EQ(A.Tables.size(), B.Tables.size());
  for (std::size_t t = 0; t < A.Tables.size(); ++t)
    EXPECT_EQ(A.Tables[t].Rows, B.Tables[t].Rows) << A.Tables[t].Title;
  const TInfluence &fa = A.Influence, &fb = B.Influence;
  EXPECT_EQ(fa.Available, fb.Available);
  for (auto m : {&TInfluence::Hat, &TInfluence::RStandard, &TInfluence::RStudent, &TInfluence::CooksDistance,
                 &TInfluence::DFFits, &TInfluence::CovRatio, &TInfluence::SigmaWithout, &TInfluence::DFBetaScale})
    EXPECT_TRUE(SameBits(fa.*m, fb.*m));
  EXPECT_TRUE(SameBits(fa.Flags, fb.Flags));
  EXPECT_EQ(fa.Flagged, fb.Flagged);
  const TPredictions &pa = A.Predictions, &pb = B.Predictions;
  EXPECT_EQ(pa.Rows, pb.Rows);
  for (auto m : {&TPredictions::Estimate, &TPredictions::SEFit, &TPredictions::CILow, &TPredictions::CIHigh,
                 &TPredictions::PILow, &TPredictions::PIHigh, &TPredictions::Residual})
    EXPECT_TRUE(SameBits(pa.*m, pb.*m));
  EXPECT_EQ(pa.NrOfPredictedOnly, pb.NrOfPredictedOnly);
  EXPECT_TRUE(SameBits(A.ExcludedLeverage, B.ExcludedLeverage));
  EXPECT_TRUE(SameBits(A.ExcludedStdError, B.ExcludedStdError));
}

struct TCase {
  const char* Name;
  std::vector<int> Inputs;
  TMLRModelOptions Options;
};

// The case's inputs and the target Y.
TRoleState RolesOf(const TCase& C)
{
  TRoleState r = MakeRoles(6, std::initializer_list<int>(), Y);
  for (int in : C.Inputs)
    r.SetInput(in, true);
  return r;
}

std::vector<TCase> Cases()
{
  TMLRModelOptions excluded;
  excluded.ExcludedRows = {4, 9, 17, 41};
  TMLRModelOptions weighted = excluded;
  weighted.WeightCol = W;
  weighted.Robust = TRobustType::HC3;
  return {{"plain", {X1, X2, Grade}, {}},
          {"plain with excluded rows", {X1, X2, Grade}, excluded},
          {"categorical, weighted, robust, excluded rows", {Region, X1, X2, Grade}, weighted}};
}

TEST(MLRDeferredResult, ThePartialValueHoldsTheFitAndTheCompleteOneEqualsTheOneStepRun)
{
  TDataTable table;
  LoadTable(table);
  for (const TCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    const TRoleState r = RolesOf(c);
    TMLRRun once, twice;
    twice.SetDeferInfluence(true);
    ASSERT_TRUE(once.Execute(table, r, c.Options));
    ASSERT_TRUE(twice.Execute(table, r, c.Options));
    EXPECT_FALSE(once.ResultPending());
    ASSERT_TRUE(twice.ResultPending());
    const TMLRResult& whole = *once.Result();
    const TMLRResult& part = *twice.Result();
    EXPECT_TRUE(part.Partial);
    ExpectSameFit(part, whole);
    EXPECT_FALSE(part.Influence.Available);
    EXPECT_TRUE(part.Influence.Hat.empty());
    EXPECT_TRUE(part.Predictions.Rows.empty());
    // The extended block is the whole one without the influential objects.
    const auto influential = [](const std::string& L) {
      return L.find("Influential objects") != std::string::npos || L.find("Rules of influence") != std::string::npos;
    };
    EXPECT_TRUE(std::none_of(part.ExtendedLines.begin(), part.ExtendedLines.end(), influential));
    EXPECT_TRUE(std::any_of(whole.ExtendedLines.begin(), whole.ExtendedLines.end(), influential));
    auto at = whole.ExtendedLines.begin();
    for (const std::string& l : part.ExtendedLines) {
      at = std::find(at, whole.ExtendedLines.end(), l);
      ASSERT_NE(at, whole.ExtendedLines.end()) << l;
      ++at;
    }
    EXPECT_EQ(part.Tables.size() + 1, whole.Tables.size());

    twice.CompleteResult(table);
    EXPECT_FALSE(twice.ResultPending());
    ExpectSameResult(*twice.Result(), whole);
    EXPECT_EQ(twice.ExtendedLines(), once.ExtendedLines());
    ExpectDocumentIsTheReport(*twice.Result(), twice.Result()->ReportTables.size() +
                                                   twice.Result()->ExtendedTables.size());
    // Nothing more to complete.
    const TMLRResultPtr done = twice.Result();
    twice.CompleteResult(table);
    EXPECT_EQ(twice.Result(), done);
  }
}

TEST(MLRDeferredResult, AReaderKeepsThePartialValueAndRepeatedRunsStayExact)
{
  TDataTable table;
  LoadTable(table);
  const std::vector<TCase> cases = Cases();
  TMLRRun run, once;
  run.SetDeferInfluence(true);
  // Runs over the cases twice, on one run object (its buffers recycled), holding every other
  // partial value as a reader would.
  for (int round = 0; round < 2 * static_cast<int>(cases.size()); ++round) {
    const TCase& c = cases[static_cast<std::size_t>(round) % cases.size()];
    SCOPED_TRACE(std::string(c.Name) + ", round " + std::to_string(round));
    const TRoleState r = RolesOf(c);
    ASSERT_TRUE(once.Execute(table, r, c.Options));
    ASSERT_TRUE(run.Execute(table, r, c.Options));
    TMLRResultPtr held;
    std::vector<std::string> heldLines;
    std::vector<double> heldResiduals;
    if (round % 2 == 0) {
      held = run.Result();
      heldLines = held->ExtendedLines;
      heldResiduals.assign(held->Residuals.begin(), held->Residuals.end());
    }
    run.CompleteResult(table);
    ExpectSameResult(*run.Result(), *once.Result());
    if (held) {
      EXPECT_NE(held, run.Result());
      EXPECT_TRUE(held->Partial);
      EXPECT_EQ(held->ExtendedLines, heldLines);
      EXPECT_TRUE(std::equal(held->Residuals.begin(), held->Residuals.end(), heldResiduals.begin(),
                             heldResiduals.end()));
      EXPECT_TRUE(held->Influence.Hat.empty());
      EXPECT_TRUE(held->Predictions.Rows.empty());
    }
  }
}

TEST(MLRDeferredResult, ANewOrFailedRunEndsThePendingCompletion)
{
  TDataTable table;
  LoadTable(table);
  TMLRRun run, once;
  run.SetDeferInfluence(true);
  const TRoleState first = MakeRoles(6, {X1, X2}, Y);
  const TRoleState second = MakeRoles(6, {X1}, Y);
  ASSERT_TRUE(run.Execute(table, first));
  ASSERT_TRUE(run.ResultPending());
  // A second run before the completion: the completion is the second run's.
  ASSERT_TRUE(run.Execute(table, second));
  run.CompleteResult(table);
  ASSERT_TRUE(once.Execute(table, second));
  ExpectSameResult(*run.Result(), *once.Result());

  // A failed run: nothing to complete, the last good (partial) value stays.
  ASSERT_TRUE(run.Execute(table, first));
  const TMLRResultPtr partial = run.Result();
  EXPECT_FALSE(run.Execute(table, MakeRoles(6, {}, Y)));
  EXPECT_FALSE(run.ResultPending());
  run.CompleteResult(table);
  EXPECT_EQ(run.Result(), partial);
  EXPECT_TRUE(run.Result()->Partial);

  // Discarded: the partial value stays; the next run completes as usual.
  ASSERT_TRUE(run.Execute(table, first));
  run.DiscardCompletion();
  EXPECT_FALSE(run.ResultPending());
  run.CompleteResult(table);
  EXPECT_TRUE(run.Result()->Partial);
  ASSERT_TRUE(run.Execute(table, first));
  run.CompleteResult(table);
  ASSERT_TRUE(once.Execute(table, first));
  ExpectSameResult(*run.Result(), *once.Result());

  // Without influence measures there is nothing to defer.
  run.SetInfluence(false);
  ASSERT_TRUE(run.Execute(table, first));
  EXPECT_FALSE(run.ResultPending());
  EXPECT_FALSE(run.Result()->Partial);
}

}  // namespace

// A run told to leave out the predictions gives the same report, influence measures and
// excluded points; its predictions stay empty. The excluded points, made without the
// predictions, sit at the predictions' estimates to the bit. A run without the chart points
// likewise changes nothing but its empty points.
TEST(MLRDeferredResult, ARunWithoutPredictionsOrChartPointsKeepsEverythingElse)
{
  TDataTable table;
  LoadTable(table);
  for (const TCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    const TRoleState roles = RolesOf(c);
    TMLRRun full, lean, pointless;
    lean.SetPredictions(false);
    pointless.SetChartPoints(false);
    ASSERT_TRUE(full.Execute(table, roles, c.Options));
    ASSERT_TRUE(lean.Execute(table, roles, c.Options));
    ASSERT_TRUE(pointless.Execute(table, roles, c.Options));
    const TMLRResult &a = *full.Result(), &b = *lean.Result(), &d = *pointless.Result();
    ASSERT_FALSE(a.FitPoints.empty());
    EXPECT_TRUE(d.FitPoints.empty());
    EXPECT_EQ(a.ReportLines, d.ReportLines);
    EXPECT_EQ(a.ExtendedLines, d.ExtendedLines);
    EXPECT_TRUE(SameBits(a.Estimates, d.Estimates));
    EXPECT_TRUE(SameBits(a.Residuals, d.Residuals));
    ExpectSamePoints(a.ExcludedPoints, d.ExcludedPoints);
    EXPECT_EQ(a.Histogram.Bars.size(), d.Histogram.Bars.size());
    ASSERT_FALSE(a.Predictions.Rows.empty());
    EXPECT_TRUE(b.Predictions.Rows.empty());
    EXPECT_TRUE(b.Predictions.Estimate.empty());
    // The influence measures and the report, to the bit.
    ExpectSameFit(a, b);
    EXPECT_EQ(a.ExtendedLines, b.ExtendedLines);
    EXPECT_TRUE(SameBits(a.Influence.Hat, b.Influence.Hat));
    EXPECT_TRUE(SameBits(a.Influence.DFFits, b.Influence.DFFits));
    EXPECT_EQ(a.Influence.Flagged, b.Influence.Flagged);
    EXPECT_TRUE(SameBits(a.ExcludedLeverage, b.ExcludedLeverage));
    EXPECT_EQ(a.ExcludedPoints.empty(), c.Options.ExcludedRows.empty());
    const TPredictions& pr = a.Predictions;
    for (const TFitPoint& pt : a.ExcludedPoints) {
      const auto at = std::lower_bound(pr.Rows.begin(), pr.Rows.end(), pt.Row);
      ASSERT_TRUE(at != pr.Rows.end() && *at == pt.Row) << pt.Row;
      EXPECT_EQ(pt.Estimated, pr.Estimate[static_cast<std::size_t>(at - pr.Rows.begin())]) << pt.Row;
    }
  }
}
