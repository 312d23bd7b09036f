// The regression run: the complete report of the demonstration example, the histogram, the
// collinearity warning, missing values, too few objects, unit independence, failures and the
// wide degrees of freedom.
#include "demodata.h"
#include "mlrrun.h"
#include "mlrrun_testutil.h"
#include "orvex_datatable.h"
#include "numlib/nist_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

using namespace orvex;

namespace {

constexpr int Length = 3, Width = 4, NetWeight = 6;

// Ordinary least squares by the normal equations in extended precision, independent of the
// decomposition the run uses: coefficients of Inputs in order, then the intercept.
std::vector<long double> NormalEquations(const TDataTable& T, const std::vector<int>& Inputs,
                                         int Target, const std::vector<int>& Rows)
{
  const std::size_t n = Inputs.size() + 1;
  std::vector<std::vector<long double>> a(n, std::vector<long double>(n + 1, 0.0L));
  for (int r : Rows) {
    std::vector<long double> x;
    for (int c : Inputs)
      x.push_back(T.Elem(c, r));
    x.push_back(1.0L);
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j)
        a[i][j] += x[i] * x[j];
      a[i][n] += x[i] * T.Elem(Target, r);
    }
  }
  for (std::size_t i = 0; i < n; ++i)  // Gauss-Jordan; the systems here are well conditioned
    for (std::size_t k = 0; k < n; ++k)
      if (k != i) {
        const long double f = a[k][i] / a[i][i];
        for (std::size_t j = i; j <= n; ++j)
          a[k][j] -= f * a[i][j];
      }
  std::vector<long double> x(n);
  for (std::size_t i = 0; i < n; ++i)
    x[i] = a[i][n] / a[i][i];
  return x;
}

std::vector<int> AllRows(int n)
{
  std::vector<int> rows(static_cast<std::size_t>(n));
  std::iota(rows.begin(), rows.end(), 1);
  return rows;
}

bool HasNanOrInf(const std::vector<std::string>& Lines)
{
  for (const std::string& l : Lines)
    if (l.find("Nan") != std::string::npos || l.find("Inf") != std::string::npos)
      return true;
  return false;
}

// A table of one input x = 1..n and the target y = 2x + 5 + a deterministic wobble.
void FillLine(TDataTable& T, int n)
{
  T.Resize(2, n);
  T.SetColName(1, "x");
  T.SetColName(2, "y");
  for (int r = 1; r <= n; ++r) {
    T.SetElem(1, r, r);
    T.SetElem(2, r, 2.0 * r + 5 + std::sin(r * 1.7));
  }
}

}  // namespace

TEST(MLRRun, DemonstrationExampleGivesTheDocumentedReportAndCaption)
{
  TDataTable table;
  LoadDemoData(table);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight))) << run.ErrorText();

  EXPECT_EQ(run.Caption(), "r2 = 0.903586  F = 173.381");
  const std::vector<std::string> expected = {
      "Number of Objects .............: 40",
      "Number of Input Variables .....: 2",
      "Degrees of Freedom ............: 37",
      "Target Variable ...............: Net Weight",
      "",
      "Standard Dev. of Residuals ....: 7.6558",
      "Quality of Fit ................: 0.9036",
      "",
      " -------------------------------------------------------",
      " ANOVA        DF  sum of squares   mean square      F",
      " -------------------------------------------------------",
      " Regression    2    2.03243E+04    1.01622E+04   173.381",
      "   Residual   37    2.16863E+03    5.86117E+01",
      "      Total   39    2.24930E+04",
      " -------------------------------------------------------",
      "",
      " Regression coefficients:",
      " -------------------------------------------------------",
      " INTERCEPT     -1.3508957E+02 +/- 2.2448230E+01",
      " Length         6.8441659E-01 +/- 5.8845671E-02",
      " Width          3.3731788E+00 +/- 7.0339161E-01",
      " -------------------------------------------------------",
  };
  const std::vector<std::string>& lines = run.ReportLines();
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(lines[i], expected[i]) << "report line " << i + 1;

  // The containers as the window reads them.
  EXPECT_FALSE(run.NearSingular());
  EXPECT_EQ(run.TargetCol(), NetWeight);
  ASSERT_EQ(run.NumInputs(), 2);
  EXPECT_EQ(run.SelColumns().NrOfElem(), 2);
  EXPECT_EQ(run.SelColumns().Elem(1), Length);
  EXPECT_EQ(run.SelColumns().Elem(2), Width);
  ASSERT_EQ(run.MatD().NrOfColumns(), 3);
  ASSERT_EQ(run.MatD().NrOfRows(), 40);
  for (int r = 1; r <= 40; ++r) {
    EXPECT_EQ(run.MatD().Elem(1, r), table.Elem(Length, r));
    EXPECT_EQ(run.MatD().Elem(3, r), 1.0);
    EXPECT_EQ(run.VecC().Elem(r), table.Elem(NetWeight, r));
  }
  // Coefficients agree with the normal equations to near machine precision (the problem is
  // well conditioned: condition number of the design about 1e4).
  const std::vector<long double> ols = NormalEquations(table, {Length, Width}, NetWeight, AllRows(40));
  for (int j = 1; j <= 3; ++j)
    EXPECT_NEAR(run.VecX().Elem(j), static_cast<double>(ols[j - 1]),
                1e-10 * std::fabs(static_cast<double>(ols[j - 1])));

  // One chart point per object, in table order, with the same residuals that Stats holds.
  ASSERT_EQ(run.FitPoints().size(), 40u);
  EXPECT_EQ(run.Stats().NumPairs(), 40);
  EXPECT_FALSE(run.Stats().StorePairs());
  double lo = 1e300, hi = -1e300;
  for (int i = 1; i <= 40; ++i) {
    const TFitPoint& pt = run.FitPoints()[static_cast<std::size_t>(i - 1)];
    EXPECT_EQ(pt.Row, i);
    EXPECT_EQ(pt.ColorIndex, 0);
    EXPECT_EQ(pt.Actual, table.Elem(NetWeight, i));
    // The estimate is the fitted linear function of the row's inputs (the statistics keep
    // their sums only, not a second copy of the pairs).
    const double fitted = run.VecX().Elem(3) + run.VecX().Elem(1) * table.Elem(Length, i) +
                          run.VecX().Elem(2) * table.Elem(Width, i);
    EXPECT_NEAR(pt.Estimated, fitted, 1e-12 * std::fabs(fitted));
    lo = std::min(lo, pt.Estimated - pt.Actual);
    hi = std::max(hi, pt.Estimated - pt.Actual);
  }
  EXPECT_EQ(run.ResidMin(), lo);
  EXPECT_EQ(run.ResidMax(), hi);
  EXPECT_NEAR(run.ResidMin(), -12.673, 5e-4);
  EXPECT_NEAR(run.ResidMax(), 18.250, 5e-4);

  // The histogram: 7 bins of width about 4.4175 that hold every residual in its own bin.
  const TResidualHistogram& h = run.Histogram();
  ASSERT_EQ(h.NrOfBins, 7);
  ASSERT_EQ(h.Bars.size(), 7u);
  EXPECT_NEAR(h.BinWidth, 4.4175, 5e-5);
  EXPECT_NEAR(h.LowX, -14.219, 5e-4);
  EXPECT_NEAR(h.HighX, 19.796, 5e-4);
  EXPECT_EQ(h.LowY, 0);
  int total = 0, maxCount = 0;
  for (int k = 0; k < 7; ++k) {
    const THistogramBar& b = h.Bars[static_cast<std::size_t>(k)];
    EXPECT_DOUBLE_EQ(b.Left, run.ResidMin() + k * h.BinWidth);
    EXPECT_DOUBLE_EQ(b.Right, run.ResidMin() + (k + 1) * h.BinWidth);
    int inBar = 0;
    for (const TFitPoint& pt : run.FitPoints()) {
      const double r = pt.Estimated - pt.Actual;
      if ((r >= b.Left && r < b.Right) || (k == 6 && r == run.ResidMax()))
        ++inBar;
    }
    EXPECT_EQ(b.Count, inBar) << "bar " << k + 1;
    total += b.Count;
    maxCount = std::max(maxCount, b.Count);
  }
  EXPECT_EQ(total, 40);
  EXPECT_EQ(h.MaxCount, maxCount);
  EXPECT_EQ(h.HighY, maxCount + 1);
  EXPECT_EQ(h.XCaption, "residuals of Net Weight");
  EXPECT_EQ(h.YCaption, "count");
}

TEST(MLRRun, DuplicatedInputRaisesTheCollinearityWarningAndStillSolves)
{
  TDataTable table;
  LoadDemoData(table);
  table.Resize(7, 40);
  table.SetColName(7, "Length again");
  for (int r = 1; r <= 40; ++r)
    table.SetElem(7, r, table.Elem(Length, r));

  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(7, {Length, 7}, NetWeight))) << run.ErrorText();
  EXPECT_TRUE(run.NearSingular());
  EXPECT_TRUE(run.Summary().NearSingular);
  // Minimum-norm solution: the duplicated columns share the slope of the single-input fit.
  TMLRRun single;
  ASSERT_TRUE(single.Execute(table, MakeRoles(7, {Length}, NetWeight)));
  EXPECT_FALSE(single.NearSingular());
  EXPECT_NEAR(run.VecX().Elem(1), run.VecX().Elem(2), 1e-12);
  EXPECT_NEAR(run.VecX().Elem(1) + run.VecX().Elem(2), single.VecX().Elem(1), 1e-10);
  EXPECT_NEAR(run.VecX().Elem(3), single.VecX().Elem(2), 1e-8);
  EXPECT_FALSE(HasNanOrInf(run.ReportLines()));
  EXPECT_EQ(run.ReportLines().size(), 22u);
}

TEST(MLRRun, RowsWithMissingValuesAreLeftOutOfEveryPartOfTheRun)
{
  TDataTable table;
  LoadDemoData(table);
  table.SetCellState(NetWeight, 5, 2);  // empty target
  table.SetCellState(Width, 9, 1);      // not-a-number input
  table.SetCellState(1, 12, 3);         // a column that is no input does not matter
  table.SetElem(Length, 20, INFINITY);  // an infinite value in a cell whose state says valid
  table.SetCellState(NetWeight, 40, 1); // the last row: the reference line takes row 39's colour
  table.SetRowAttrib(3, 3);
  table.SetRowAttrib(39, 5);
  table.SetRowAttrib(40, 7);

  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight))) << run.ErrorText();
  const TBulkVector<int> used = run.UsedRows();
  ASSERT_EQ(used.size(), 36u);
  for (int gone : {5, 9, 20, 40})
    EXPECT_EQ(std::count(used.begin(), used.end(), gone), 0) << gone;
  EXPECT_EQ(std::count(used.begin(), used.end(), 12), 1);

  // Same coefficients as the normal equations over exactly the rows used.
  const std::vector<long double> ols = NormalEquations(table, {Length, Width}, NetWeight, std::vector<int>(used.begin(), used.end()));
  for (int j = 1; j <= 3; ++j)
    EXPECT_NEAR(run.VecX().Elem(j), static_cast<double>(ols[j - 1]),
                1e-10 * std::fabs(static_cast<double>(ols[j - 1])));

  EXPECT_EQ(run.MatD().NrOfRows(), 36);
  EXPECT_EQ(run.VecC().NrOfElem(), 36);
  EXPECT_EQ(run.Stats().NumPairs(), 36);
  ASSERT_EQ(run.FitPoints().size(), 36u);
  EXPECT_EQ(run.FitPoints()[2].Row, 3);
  EXPECT_EQ(run.FitPoints()[2].ColorIndex, 3);
  EXPECT_EQ(run.FitPoints().back().Row, 39);
  EXPECT_EQ(run.Result()->FitLineColorIndex, 5);
  int counted = 0;
  for (const THistogramBar& b : run.Histogram().Bars)
    counted += b.Count;
  EXPECT_EQ(counted, 36);
  EXPECT_EQ(run.Histogram().NrOfBins, 7);  // still decided by the table's 40 rows

  const std::vector<std::string>& lines = run.ReportLines();
  ASSERT_EQ(lines.size(), 23u);
  EXPECT_EQ(lines[0], "Number of Objects .............: 36");
  EXPECT_EQ(lines[1], "Objects with Missing Values ...: 4");
  EXPECT_EQ(lines[2], "Number of Input Variables .....: 2");
  EXPECT_EQ(lines[3], "Degrees of Freedom ............: 33");
  EXPECT_EQ(run.Summary().Anova.DFTot, 35);
  // With the rows used, SRes is the root of SSRes / (n - p - 1).
  EXPECT_NEAR(run.Summary().SRes, std::sqrt(run.Summary().Anova.SSRes / 33), 1e-12);
  EXPECT_FALSE(HasNanOrInf(lines));
}

TEST(MLRRun, TooFewObjectsFailsWithACountAndKeepsThePreviousResults)
{
  TDataTable table;
  LoadDemoData(table);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight)));
  const std::string caption = run.Caption();
  const std::vector<std::string> report = run.ReportLines();

  // Leave four valid targets: 4 objects for 3 inputs need at least 5.
  for (int r = 5; r <= 40; ++r)
    table.SetCellState(NetWeight, r, 2);
  EXPECT_FALSE(run.Execute(table, MakeRoles(6, {Length, Width, 1}, NetWeight)));
  EXPECT_EQ(run.Status(), TRunStatus::TooFewObjects);
  EXPECT_EQ(run.ErrorText(), "Not enough valid objects: 4 (3 input variables need at least 5)");
  EXPECT_EQ(run.Caption(), caption);
  EXPECT_EQ(run.ReportLines(), report);

  // p + 2 objects are enough: one residual degree of freedom, finite texts.
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight))) << run.ErrorText();
  EXPECT_EQ(run.ReportLines()[3], "Degrees of Freedom ............: 1");
  EXPECT_FALSE(HasNanOrInf(run.ReportLines()));
  EXPECT_EQ(run.Caption().find("Nan"), std::string::npos);

  // No valid target at all.
  table.SetCellState(NetWeight, 1, 1);
  table.SetCellState(NetWeight, 2, 1);
  table.SetCellState(NetWeight, 3, 1);
  table.SetCellState(NetWeight, 4, 1);
  EXPECT_FALSE(run.Execute(table, MakeRoles(6, {Length}, NetWeight)));
  EXPECT_EQ(run.ErrorText(), "Not enough valid objects: 0 (1 input variables need at least 3)");
}

TEST(MLRRun, InvalidRolesAreReportedNotRun)
{
  TDataTable table;
  LoadDemoData(table);
  TMLRRun run;
  EXPECT_EQ(run.Status(), TRunStatus::NotRun);
  EXPECT_FALSE(run.Execute(table, MakeRoles(6, {Length}, 0)));
  EXPECT_EQ(run.Status(), TRunStatus::InvalidRoles);
  EXPECT_EQ(run.ErrorText(), "No target variable selected");
  EXPECT_FALSE(run.Execute(table, MakeRoles(6, {}, NetWeight)));
  EXPECT_EQ(run.ErrorText(), "No input variable selected");
  EXPECT_FALSE(run.Execute(table, MakeRoles(6, {Length, NetWeight}, NetWeight)));
  EXPECT_EQ(run.ErrorText(), "The target variable \"Net Weight\" cannot also be an input variable");
  EXPECT_TRUE(run.ReportLines().empty());

  // Several target flags: the last one wins, as in the window.
  TRoleState roles = MakeRoles(6, {Length}, 2);
  roles.SetTarget(NetWeight, true);
  ASSERT_TRUE(run.Execute(table, roles));
  EXPECT_EQ(run.TargetCol(), NetWeight);
}

TEST(MLRRun, UnitsOfAnInputDoNotChangeTheFit)
{
  TDataTable base;
  LoadDemoData(base);
  TMLRRun baseRun;
  ASSERT_TRUE(baseRun.Execute(base, MakeRoles(6, {Length, Width}, NetWeight)));

  for (double factor : {1e11, 1e12, 1e14, 1e-9}) {
    TDataTable table;
    LoadDemoData(table);
    for (int r = 1; r <= 40; ++r)
      table.SetElem(Width, r, table.Elem(Width, r) * factor);

    TMLRRun run;
    ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight))) << factor;
    EXPECT_FALSE(run.NearSingular()) << factor;
    auto relDiff = [](double a, double b) { return std::fabs(a - b) / std::fabs(b); };
    EXPECT_LT(relDiff(run.VecX().Elem(2) * factor, baseRun.VecX().Elem(2)), 1e-10) << factor;
    EXPECT_LT(relDiff(run.VecDx().Elem(2) * factor, baseRun.VecDx().Elem(2)), 1e-10) << factor;
    EXPECT_LT(relDiff(run.VecX().Elem(1), baseRun.VecX().Elem(1)), 1e-10) << factor;
    EXPECT_LT(relDiff(run.VecX().Elem(3), baseRun.VecX().Elem(3)), 1e-10) << factor;
    EXPECT_EQ(run.Caption(), baseRun.Caption()) << factor;

    if (factor == 1e12) {
      // The same design solved without scaling loses its small singular value: this is the
      // fault the scaling prevents.
      TMatrix raw;
      raw.Resize(3, 40);
      TVector c, x, dx;
      c.Resize(40);
      x.Resize(3);
      dx.Resize(3);
      for (int r = 1; r <= 40; ++r) {
        raw.SetElem(1, r, table.Elem(Length, r));
        raw.SetElem(2, r, table.Elem(Width, r));
        raw.SetElem(3, r, 1.0);
        c.SetElem(r, table.Elem(NetWeight, r));
      }
      bool rawNearSingular = false;
      ASSERT_TRUE(MultiLinearRegression(raw, c, x, &dx, rawNearSingular));
      EXPECT_TRUE(rawNearSingular);
    }
  }
}

TEST(MLRRun, NonFiniteSolutionIsAFailureNotANumber)
{
  // Targets near the largest double: the products of the solve overflow.
  TDataTable table;
  FillLine(table, 10);
  for (int r = 1; r <= 10; ++r)
    table.SetElem(2, r, (r % 2 ? 1.7e308 : -1.7e308));
  TMLRRun run;
  EXPECT_FALSE(run.Execute(table, MakeRoles(2, {1}, 2)));
  EXPECT_EQ(run.Status(), TRunStatus::SolveFailed);
  EXPECT_EQ(run.ErrorText().rfind("Regression failed: ", 0), 0u) << run.ErrorText();
  EXPECT_TRUE(run.ReportLines().empty());
}

TEST(MLRRun, PerfectFitLongNamesAndWideDegreesOfFreedom)
{
  // A perfect fit: F above one million in caption and ANOVA row, all residuals in bin 1.
  TDataTable table;
  FillLine(table, 12);
  table.SetColName(1, "A rather long variable name");
  for (int r = 1; r <= 12; ++r)
    table.SetElem(2, r, 3.0 * r + 1);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(2, {1}, 2))) << run.ErrorText();
  EXPECT_EQ(run.Caption(), "r2 = 1.000000  F =  >1E6");
  const std::vector<std::string>& lines = run.ReportLines();
  EXPECT_EQ(lines[11].substr(lines[11].size() - 8), "    >1E6");
  EXPECT_EQ(lines[19].substr(0, 29), " A rather lon   3.0000000E+00");
  EXPECT_EQ(lines[19].size(), 47u);
  EXPECT_EQ(lines[3], "Target Variable ...............: y");
  EXPECT_EQ(run.Histogram().BinWidth, 0);
  EXPECT_EQ(run.Histogram().Bars[0].Count, 12);
  EXPECT_EQ(run.Histogram().Bars[0].Left, run.Histogram().Bars[0].Right);

  // 10003 objects, one input: the residual and total degrees of freedom keep all five digits.
  FillLine(table, 10003);
  ASSERT_TRUE(run.Execute(table, MakeRoles(2, {1}, 2))) << run.ErrorText();
  const std::vector<std::string>& wide = run.ReportLines();
  EXPECT_EQ(wide[2], "Degrees of Freedom ............: 10001");
  EXPECT_EQ(wide[11].substr(0, 16), " Regression    1");
  EXPECT_EQ(wide[12].substr(0, 20), "   Residual 10001   ");
  EXPECT_EQ(wide[13].substr(0, 20), "      Total 10002   ");
  EXPECT_EQ(run.Histogram().NrOfBins, 100);
  EXPECT_NEAR(run.VecX().Elem(1), 2.0, 1e-3);
}

TEST(MLRRun, HistogramBinCountFollowsTheTableRows)
{
  TDataTable table;
  TMLRRun run;
  for (auto [rows, bins] : {std::pair{9, 7}, {49, 7}, {100, 10}, {2000, 45}, {20000, 100}}) {
    FillLine(table, rows);
    // Rows without a valid target still count towards the bins.
    table.SetCellState(2, 1, 2);
    table.SetCellState(2, 2, 2);
    ASSERT_TRUE(run.Execute(table, MakeRoles(2, {1}, 2))) << rows;
    EXPECT_EQ(run.Histogram().NrOfBins, bins) << rows;
    EXPECT_EQ(static_cast<int>(run.Histogram().Bars.size()), bins);
    int total = 0;
    for (const THistogramBar& b : run.Histogram().Bars)
      total += b.Count;
    EXPECT_EQ(total, rows - 2);
  }
}

TEST(MLRRun, SolverFailuresAreReportedAndKeepThePreviousResults)
{
  TDataTable table;
  LoadDemoData(table);
  const TRoleState roles = MakeRoles(6, {Length, Width}, NetWeight);
  TMLRRun run;
  // The solver sees the design scaled column by column by powers of two into [0.5, 1).
  TMatrix seen;
  run.SetSolver([&seen](TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NS) {
    seen.Assign(A);
    return MultiLinearRegression(A, B, X, Sig, NS);
  });
  ASSERT_TRUE(run.Execute(table, roles)) << run.ErrorText();
  ASSERT_EQ(seen.NrOfColumns(), 3);
  ASSERT_EQ(seen.NrOfRows(), 40);
  for (int k = 1; k <= 3; ++k) {
    double maxAbs = 0;
    for (int r = 1; r <= 40; ++r)
      maxAbs = std::max(maxAbs, std::fabs(seen.Elem(k, r)));
    EXPECT_GE(maxAbs, 0.5) << k;
    EXPECT_LT(maxAbs, 1.0) << k;
    const double factor = seen.Elem(k, 1) / run.MatD().Elem(k, 1);
    int e = 0;
    EXPECT_EQ(std::frexp(factor, &e), 0.5) << k;  // a power of two
    for (int r = 1; r <= 40; ++r)
      EXPECT_EQ(seen.Elem(k, r), run.MatD().Elem(k, r) * factor);
  }
  const std::string caption = run.Caption();
  const std::vector<std::string> report = run.ReportLines();
  const std::size_t points = run.FitPoints().size();
  const double lowX = run.Histogram().LowX;

  struct TCase {
    TRegressionSolver Solver;
    std::string Text;
  };
  const TCase cases[] = {
      {[](TMatrix&, const TVector&, TVector&, TVector*, bool&) { return false; },
       "Regression failed: the decomposition did not converge"},
      {[](TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NS) {
         const bool ok = MultiLinearRegression(A, B, X, Sig, NS);
         X.SetElem(2, NAN);
         return ok;
       },
       "Regression failed: the coefficients are not finite"},
      {[](TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NS) {
         const bool ok = MultiLinearRegression(A, B, X, Sig, NS);
         Sig->SetElem(3, 1e308);  // finite, but times SRes it overflows
         return ok;
       },
       "Regression failed: the fit statistics are out of the range of numbers"},
  };
  for (const TCase& c : cases) {
    run.SetSolver(c.Solver);
    EXPECT_FALSE(run.Execute(table, roles));
    EXPECT_EQ(run.Status(), TRunStatus::SolveFailed);
    EXPECT_EQ(run.ErrorText(), c.Text);
    EXPECT_EQ(run.Caption(), caption);
    EXPECT_EQ(run.ReportLines(), report);
    EXPECT_EQ(run.FitPoints().size(), points);
    EXPECT_EQ(run.Histogram().LowX, lowX);
  }

  run.SetSolver({});
  ASSERT_TRUE(run.Execute(table, roles));
  EXPECT_EQ(run.ReportLines(), report);
}

TEST(MLRRun, ControlCharactersInNamesKeepEveryReportLineOneLine)
{
  // Quoted names in an ASC file may hold tabs and line breaks.
  TDataTable table;
  FillLine(table, 20);
  table.SetColName(1, "x\tone");
  table.SetColName(2, "y\r\nz");
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(2, {1}, 2))) << run.ErrorText();
  const std::vector<std::string>& lines = run.ReportLines();
  for (const std::string& l : lines)
    for (char c : l)
      EXPECT_GE(static_cast<unsigned char>(c), 32u) << l;
  EXPECT_EQ(lines[3], "Target Variable ...............: y  z");
  EXPECT_EQ(lines[19].substr(0, 13), " x one       ");
  EXPECT_EQ(lines[19].size(), 47u);
  EXPECT_EQ(run.Histogram().XCaption, "residuals of y  z");

  // The longest name the table keeps, in two-byte characters: the target line reaches its 83
  // characters and the histogram caption its 63 without losing a character; a 14-character
  // input name is cut to 12 characters, not 12 bytes.
  auto chars = [](const std::string& S) {
    return std::count_if(S.begin(), S.end(),
                         [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
  };
  std::string longName;
  for (int i = 0; i < 50; ++i)
    longName += "\u00e9";
  table.SetColName(2, longName);
  table.SetColName(1, "\u00c4\u00d6\u00dc\u00e4\u00f6\u00fc\u00df\u00c4\u00d6\u00dc\u00e4\u00f6\u00fc\u00df");
  ASSERT_EQ(table.ColName(2), longName);
  ASSERT_TRUE(run.Execute(table, MakeRoles(2, {1}, 2))) << run.ErrorText();
  EXPECT_EQ(run.ReportLines()[3], "Target Variable ...............: " + longName);
  EXPECT_EQ(chars(run.ReportLines()[3]), 83);
  EXPECT_EQ(run.Histogram().XCaption, "residuals of " + longName);
  EXPECT_EQ(chars(run.Histogram().XCaption), 63);
  const std::string& coefLine = run.ReportLines()[19];
  EXPECT_EQ(coefLine.substr(0, 27), " \u00c4\u00d6\u00dc\u00e4\u00f6\u00fc\u00df\u00c4\u00d6\u00dc\u00e4\u00f6  ");
  EXPECT_EQ(chars(coefLine), 47);
}

TEST(MLRRun, RepeatedRunsOnOneObjectMatchFreshRuns)
{
  // The run keeps its buffers (row flags, estimates, the spare point list, the statistics
  // store) from one run to the next; whatever a run leaves there must not reach the next one.
  // A large run with every row, then a smaller one with missing and non-finite rows, then the
  // large one again, each compared with a fresh run object.
  TDataTable big;
  big.Resize(4, 3000);
  for (int r = 1; r <= 3000; ++r) {
    big.SetElem(1, r, std::sin(r * 0.37) * 40);
    big.SetElem(2, r, (r % 17) * 1.5);
    big.SetElem(3, r, std::cos(r * 0.11) * 1e4);
    big.SetElem(4, r, 3 * big.Elem(1, r) - 2 * big.Elem(2, r) + 1e-3 * big.Elem(3, r) + std::sin(r * 2.3));
  }
  TDataTable holes;
  LoadDemoData(holes);
  holes.SetCellState(NetWeight, 7, 2);
  holes.SetElem(Width, 11, NAN);  // a value whose state says valid: dropped after the fill
  holes.SetElem(Length, 30, INFINITY);

  const TRoleState bigRoles = MakeRoles(4, {1, 2, 3}, 4);
  const TRoleState demoRoles = MakeRoles(6, {Length, Width}, NetWeight);
  auto same = [](const TMLRRun& a, const TMLRRun& b, const char* what) {
    EXPECT_EQ(a.UsedRows(), b.UsedRows()) << what;
    EXPECT_EQ(a.ReportLines(), b.ReportLines()) << what;
    EXPECT_EQ(a.ExtendedLines(), b.ExtendedLines()) << what;
    EXPECT_EQ(a.Caption(), b.Caption()) << what;
    ASSERT_EQ(a.FitPoints().size(), b.FitPoints().size()) << what;
    for (std::size_t i = 0; i < a.FitPoints().size(); ++i) {
      EXPECT_EQ(a.FitPoints()[i].Row, b.FitPoints()[i].Row) << what << i;
      EXPECT_EQ(a.FitPoints()[i].Estimated, b.FitPoints()[i].Estimated) << what << i;
    }
    ASSERT_EQ(a.Stats().NumPairs(), b.Stats().NumPairs()) << what;
    EXPECT_EQ(a.Stats().DataX(a.Stats().NumPairs() + 1), 0.0) << what;
    EXPECT_EQ(a.Histogram().MaxCount, b.Histogram().MaxCount) << what;
    EXPECT_EQ(a.ResidMin(), b.ResidMin()) << what;
    EXPECT_EQ(a.ResidMax(), b.ResidMax()) << what;
  };

  TMLRRun reused;
  ASSERT_TRUE(reused.Execute(big, bigRoles)) << reused.ErrorText();
  ASSERT_TRUE(reused.Execute(holes, demoRoles)) << reused.ErrorText();
  ASSERT_EQ(reused.UsedRows().size(), 37u);
  TMLRRun freshHoles;
  ASSERT_TRUE(freshHoles.Execute(holes, demoRoles));
  same(reused, freshHoles, "small after large");

  ASSERT_TRUE(reused.Execute(big, bigRoles));
  TMLRRun freshBig;
  ASSERT_TRUE(freshBig.Execute(big, bigRoles));
  same(reused, freshBig, "large after small");
}

TEST(MLRRun, ReferenceDataStandardErrorsReachTheCertifiedDigits)
{
  // Longley through the whole run: the intercept is about -3.5e6 while the estimates are near
  // 6e4, so estimates formed in double lose digits to cancellation and cap the standard errors
  // near 12 digits; the run forms the residuals in extended precision on such a small design.
  const nist::TReferenceSet longley = nist::ReadReferenceSet("Longley");
  const int rows = static_cast<int>(longley.Y.size());
  TDataTable table;
  table.Resize(7, rows);
  for (int r = 1; r <= rows; ++r) {
    table.SetElem(1, r, longley.Y[static_cast<std::size_t>(r - 1)]);
    for (int c = 2; c <= 7; ++c)
      table.SetElem(c, r, longley.Columns[static_cast<std::size_t>(c - 1)][static_cast<std::size_t>(r - 1)]);
  }
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(7, {2, 3, 4, 5, 6, 7}, 1))) << run.ErrorText();
  // Coefficients and their standard errors, inputs in column order, then the intercept.
  for (int j = 1; j <= 7; ++j) {
    const std::size_t k = j == 7 ? 0 : static_cast<std::size_t>(j);  // certified values: intercept first
    EXPECT_GE(nist::Lre(run.VecX().Elem(j), longley.Coef[k]), 13.5) << j;
    EXPECT_GE(nist::Lre(run.VecDx().Elem(j) * run.Summary().SRes, longley.StdDev[k]), 13.5) << j;
  }
}

TEST(MLRRun, ResultsDoNotDependOnTheNumberOfThreads)
{
  // Enough rows for several tasks of the row selection, the fill, the estimates and the chart
  // points, a row count that is no multiple of 4, missing cells, a non-finite value whose
  // state says valid, a level column and row classes: every result on one thread and on two
  // must be the same to the last bit.
  const int rows = 140003;
  TDataTable t;
  t.Resize(5, rows);
  for (int r = 1; r <= rows; ++r) {
    t.SetElem(1, r, std::sin(r * 0.013) * 300 + 1e4);
    t.SetElem(2, r, (r % 23) + 0.4);
    t.SetElem(3, r, std::cos(r * 0.7) * 1e-3);
    t.SetElem(4, r, std::sin(r * 1.9));
    t.SetElem(5, r, 0.5 * t.Elem(1, r) - 3 * t.Elem(2, r) + 2e3 * t.Elem(3, r) + t.Elem(4, r) +
                        std::sin(r * 2.3));
    t.SetRowAttrib(r, r % 5);
  }
  t.SetVarType(2, vtOrdinal);
  for (int r = 11; r <= rows; r += 9973)
    t.SetCellState(3, r, csEmpty);
  t.SetElem(4, 70001, NAN);
  // A "NAN" cell leaves its row out; marks, read-only and parentheses do not.
  t.SetCellState(5, 20002, csNotANumber | csMarkB);
  for (int r = 3; r <= rows; r += 31)
    t.SetCellState(1 + r % 5, r, csMarkA | csMarkB | csReadOnly | csParenthesized);
  const TRoleState roles = MakeRoles(5, {1, 2, 3, 4}, 5);

  const int threads = MathThreadCount();
  TMLRRun runs[2];
  for (int k = 0; k < 2; ++k) {
    SetMathThreadCount(k + 1);
    ASSERT_TRUE(runs[k].Execute(t, roles)) << runs[k].ErrorText();
  }
  SetMathThreadCount(threads);
  const TMLRRun& a = runs[0];
  const TMLRRun& b = runs[1];
  TBulkVector<int> expected;
  for (int r = 1; r <= rows; ++r)
    if (!((r - 11) % 9973 == 0 && r >= 11) && r != 70001 && r != 20002)
      expected.push_back(r);
  EXPECT_EQ(a.UsedRows(), expected);
  EXPECT_EQ(a.UsedRows(), b.UsedRows());
  EXPECT_EQ(a.ReportLines(), b.ReportLines());
  EXPECT_EQ(a.ExtendedLines(), b.ExtendedLines());
  for (int k = 1; k <= 5; ++k) {
    EXPECT_EQ(a.VecX().Elem(k), b.VecX().Elem(k)) << k;
    EXPECT_EQ(a.VecDx().Elem(k), b.VecDx().Elem(k)) << k;
  }
  ASSERT_EQ(a.Inference().Coefficients.size(), b.Inference().Coefficients.size());
  for (std::size_t j = 0; j + 1 < a.Inference().Coefficients.size(); ++j)
    EXPECT_EQ(a.Inference().Coefficients[j].VIF, b.Inference().Coefficients[j].VIF) << j;
  EXPECT_EQ(a.Summary().SRes, b.Summary().SRes);
  EXPECT_EQ(a.Summary().Statistics.RCorr, b.Summary().Statistics.RCorr);
  EXPECT_EQ(a.ResidMin(), b.ResidMin());
  EXPECT_EQ(a.ResidMax(), b.ResidMax());
  ASSERT_EQ(a.Histogram().Bars.size(), b.Histogram().Bars.size());
  for (std::size_t k = 0; k < a.Histogram().Bars.size(); ++k)
    EXPECT_EQ(a.Histogram().Bars[k].Count, b.Histogram().Bars[k].Count) << k;
  ASSERT_EQ(a.FitPoints().size(), b.FitPoints().size());
  for (std::size_t i = 0; i < a.FitPoints().size(); ++i) {
    const TFitPoint& p = a.FitPoints()[i];
    const TFitPoint& q = b.FitPoints()[i];
    ASSERT_EQ(p.Row, a.UsedRows()[i]) << i;
    ASSERT_EQ(p.Row, q.Row) << i;
    ASSERT_EQ(p.ColorIndex, q.ColorIndex) << i;
    ASSERT_EQ(p.Estimated, q.Estimated) << i;
    ASSERT_EQ(p.Actual, t.Elem(5, p.Row)) << i;
  }
  // The residual range is that of the points.
  double lo = INFINITY, hi = -INFINITY;
  for (const TFitPoint& p : a.FitPoints()) {
    lo = std::min(lo, p.Estimated - p.Actual);
    hi = std::max(hi, p.Estimated - p.Actual);
  }
  EXPECT_EQ(a.ResidMin(), lo);
  EXPECT_EQ(a.ResidMax(), hi);
}

// A run that may borrow the table's columns reads them in place when it can, with the same
// results to the bit as the run on a copy (also the DFBETAS, which read the design after the
// run); where it cannot (a row left out, an input of a level type, a value that is not finite, a
// table too small to be reduced) it copies, and the same run object goes on either way.
TEST(MLRRun, BorrowedTableColumnsGiveTheResultsOfTheCopy)
{
  constexpr int Inputs = 5, Target = 7;
  TDataTable table;
  auto fill = [&table](int Rows) {
    table.Resize(Target, Rows);
    std::uint64_t s = 11;
    auto next = [&s] {
      s = s * 6364136223846793005ULL + 1442695040888963407ULL;
      return static_cast<double>(s >> 11) * 0x1.0p-53;
    };
    for (int r = 1; r <= Rows; ++r) {
      double y = 1.5 + next();
      for (int c = 1; c <= Inputs; ++c) {
        const double x = (c + 1) * next() - c;
        table.SetElem(c, r, x);
        y += (c % 3 - 1.2) * x;
      }
      table.SetElem(6, r, r % 5);
      table.SetElem(Target, r, y);
    }
  };
  TRoleState roles(Target);
  for (int c = 1; c <= Inputs; ++c)
    roles.SetInput(c, true);
  roles.SetTarget(Target, true);
  TMLRRun reused;
  reused.SetBorrowTable(true);
  auto compare = [&](const char* What, bool Borrowed) {
    SCOPED_TRACE(What);
    TMLRRun copy, borrowed;
    borrowed.SetBorrowTable(true);
    ASSERT_TRUE(copy.Execute(table, roles));
    ASSERT_TRUE(borrowed.Execute(table, roles));
    ASSERT_TRUE(reused.Execute(table, roles));
    EXPECT_FALSE(copy.DesignBorrowed());
    EXPECT_EQ(borrowed.DesignBorrowed(), Borrowed);
    EXPECT_EQ(reused.DesignBorrowed(), Borrowed);
    const TMLRResult &a = *copy.Result(), &b = *borrowed.Result(), &c = *reused.Result();
    for (const TMLRResult* r : {&b, &c}) {
      EXPECT_EQ(a.ReportLines, r->ReportLines);
      EXPECT_EQ(a.ExtendedLines, r->ExtendedLines);
      EXPECT_EQ(a.Coefficients, r->Coefficients);
      EXPECT_EQ(a.StdErrors, r->StdErrors);
      EXPECT_TRUE(std::equal(a.Estimates.begin(), a.Estimates.end(), r->Estimates.begin(), r->Estimates.end()));
      EXPECT_TRUE(std::equal(a.Influence.CooksDistance.begin(), a.Influence.CooksDistance.end(),
                             r->Influence.CooksDistance.begin(), r->Influence.CooksDistance.end()));
      const int n = a.Influence.NrOfCoefficients, m = static_cast<int>(a.UsedRows.size());
      std::vector<double> da(n), db(n);
      for (int i : {0, m / 3, m - 1}) {
        a.Influence.DFBetaRow(i, da.data());
        r->Influence.DFBetaRow(i, db.data());
        EXPECT_EQ(da, db) << i;
      }
    }
    // The design matrix is there when asked for, borrowed or not.
    const TMatrix &da = copy.MatD(), &db = borrowed.MatD();
    ASSERT_EQ(da.NrOfRows(), db.NrOfRows());
    ASSERT_EQ(da.NrOfColumns(), db.NrOfColumns());
    for (int k = 1; k <= da.NrOfColumns(); ++k)
      EXPECT_TRUE(std::equal(da.Column(k), da.Column(k) + da.NrOfRows(), db.Column(k))) << k;
  };
  fill(3000);
  compare("every row used", true);
  table.SetCellState(3, 100, csEmpty);
  compare("a row left out", false);
  table.SetCellState(3, 100, 0);
  compare("every row used again", true);
  roles.SetInput(6, true);
  table.SetVarType(6, vtOrdinal);
  compare("an input of a level type", false);
  roles.SetInput(6, false);
  table.SetElem(2, 50, INFINITY);  // the cell's state says valid
  compare("a value that is not finite", false);
  fill(200);
  compare("a small table", false);
}
