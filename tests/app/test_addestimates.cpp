// The values the diagnostic charts and the estimate columns take from the result, against R on the
// demonstration data (leverage, standardized residuals, smoother, predictions with their
// intervals, also for rows without a target), and the add step: replacing an earlier add,
// undoing both, leaving columns alone that are no longer in place, one change event per step.
#include "addestimates.h"
#include "demodata.h"
#include "mlrrun.h"
#include "orvex_datatable.h"
#include "orvex_diagplot.h"
#include "regress/mlrrun_testutil.h"
#include "resultcharts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace orvex;

namespace {

constexpr int Length = 3, Width = 4, NetWeight = 6;

void ExpectRel(double Actual, double Expected, const std::string& What)
{
  EXPECT_NEAR(Actual, Expected, 1e-9 * std::fabs(Expected)) << What;
}

}  // namespace

TEST(DiagnosticData, DemonstrationFitMatchesR)
{
  TDataTable table;
  LoadDemoData(table);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight))) << run.ErrorText();
  ASSERT_TRUE(run.Result() && run.Result()->Influence.Available);
  const TDiagnosticData d = DiagnosticDataOf(*run.Result());
  ASSERT_EQ(d.Points.size(), 40u);
  ASSERT_EQ(d.Leverage.size(), 40u);
  EXPECT_EQ(d.NrOfCoefficients, 3);

  // R 4.2, d <- the demonstration data (columns TW, WS, Length, Width, OL, NW):
  //   fit <- lm(NW ~ Length + Width, data = d)
  //   hatvalues(fit)[c(1, 5, 14, 40)]; rstandard(fit)[c(1, 5, 14, 40)]
  //   l <- lowess(fitted(fit), resid(fit)); l$y[c(1, 20, 40)]
  const int rows[] = {1, 5, 14, 40};
  const double hat[] = {0.025200716528891449, 0.16479005337318825, 0.035607679379474989, 0.11489163256073491};
  const double rstd[] = {0.65884496541566473, 1.476819248282307, 1.6855854325467226, -0.07950746997635201};
  for (int k = 0; k < 4; ++k) {
    const auto i = static_cast<std::size_t>(rows[k] - 1);
    EXPECT_EQ(d.Points[i].Row, rows[k]);
    ExpectRel(d.Leverage[i], hat[k], "h of row " + std::to_string(rows[k]));
    ExpectRel(d.StdResiduals[i], rstd[k], "standardized residual of row " + std::to_string(rows[k]));
  }
  const TLowessCurve curve = Lowess(d.Estimated, d.Residuals);
  ExpectRel(curve.Y[0], 0.16521694720119373, "smoother at the smallest estimate");
  ExpectRel(curve.Y[19], 1.4664535275243626, "smoother at the 20th estimate");
  ExpectRel(curve.Y[39], 3.051709682924582, "smoother at the largest estimate");

}

TEST(EstimateColumns, PredictionsAndIntervalsMatchRAlsoWithoutTarget)
{
  TDataTable table;
  LoadDemoData(table);
  for (int r : {5, 17, 33})
    table.SetCellState(NetWeight, r, csEmpty);
  table.SetCellState(Width, 38, csNotANumber);  // no estimate at all for row 38
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight))) << run.ErrorText();
  const std::vector<TEstimateColumn> cols = MakeEstimateColumns(run, table, true);
  ASSERT_EQ(cols.size(), 6u);
  EXPECT_EQ(cols[0].Name, "Estimated Net Weight");
  EXPECT_EQ(cols[1].Name, "Residual Net Weight");
  EXPECT_EQ(cols[2].Name, "CI Low Net Weight");
  EXPECT_EQ(cols[5].Name, "PI High Net Weight");

  // R 4.2 on the same data (d$NW[c(5, 17, 33)] <- NA; d$Width[38] <- NA):
  //   fit <- lm(NW ~ Length + Width, data = d)
  //   ci <- predict(fit, newdata = d, interval = "confidence")
  //   pi <- predict(fit, newdata = d, interval = "prediction")
  //   c(ci[r, ], pi[r, 2:3], d$NW[r] - ci[r, 1])
  struct TRow {
    int Row;
    double Fit, CILow, CIHigh, PILow, PIHigh, Resid;
  };
  const TRow expected[] = {
      {1, 105.87993387406699, 103.24094922401902, 108.51891852411497, 90.113776516783005, 121.64609123135098,
       5.1200661259330076},
      {5, 143.79820695269399, 136.75998606956679, 150.83642783582118, 126.73526374142064, 160.86115016396732, NAN},
      {17, 77.162796618861265, 71.104288551894527, 83.221304685828002, 60.480081077650581, 93.845512160071948, NAN},
      {26, 110.15481306558951, 106.21645496334212, 114.0931711678369, 94.119909187705204, 126.18971694347381,
       -9.1548130655895079},
      {40, 69.35606931350874, 63.357994731072679, 75.354143895944802, 52.695205694598798, 86.016932932418683,
       -1.3560693135087405},
  };
  for (const TRow& e : expected) {
    const auto i = static_cast<std::size_t>(e.Row - 1);
    const std::string row = " of row " + std::to_string(e.Row);
    ExpectRel(cols[0].Values[i], e.Fit, "estimate" + row);
    ExpectRel(cols[2].Values[i], e.CILow, "CI low" + row);
    ExpectRel(cols[3].Values[i], e.CIHigh, "CI high" + row);
    ExpectRel(cols[4].Values[i], e.PILow, "PI low" + row);
    ExpectRel(cols[5].Values[i], e.PIHigh, "PI high" + row);
    if (std::isnan(e.Resid))
      EXPECT_TRUE(std::isnan(cols[1].Values[i])) << "residual" << row;
    else
      ExpectRel(cols[1].Values[i], e.Resid, "residual" + row);
  }
  for (const TEstimateColumn& c : cols)
    EXPECT_TRUE(std::isnan(c.Values[37])) << c.Name << ": row 38 has no valid input";
}

TEST(AddEstimatesCommand, ReplacesTheLastAddAndUndoesBoth)
{
  TDataTable table;
  LoadDemoData(table);
  table.SetCellState(NetWeight, 5, csEmpty);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight))) << run.ErrorText();
  int changes = 0;
  table.OnChange = [&](TObject*) { ++changes; };

  TAddEstimatesCommand first(MakeEstimateColumns(run, table, false), {});
  first.Redo(table);
  EXPECT_EQ(changes, 1) << "one change event for the whole step";
  ASSERT_EQ(table.NrOfColumns(), 8);
  EXPECT_EQ(table.ColName(7), "Estimated Net Weight");
  EXPECT_EQ(table.ColName(8), "Residual Net Weight");
  EXPECT_EQ(first.Added().FirstColumn, 7);
  EXPECT_TRUE(table.ElemValid(7, 5)) << "an estimate also where the target is missing";
  EXPECT_FALSE(table.ElemValid(8, 5)) << "but no residual";
  EXPECT_EQ(table.CellState(8, 5), csEmpty);
  EXPECT_DOUBLE_EQ(table.Elem(8, 1), table.Elem(NetWeight, 1) - table.Elem(7, 1));
  const std::vector<double> firstEstimates(table.ColumnValues(7), table.ColumnValues(7) + 40);

  // A second add with intervals replaces the two columns by six.
  table.SetElem(NetWeight, 1, 120.0);
  ASSERT_TRUE(run.Execute(table, MakeRoles(8, {Length, Width}, NetWeight)));
  TAddEstimatesCommand second(MakeEstimateColumns(run, table, true), first.Added());
  second.Redo(table);
  ASSERT_EQ(table.NrOfColumns(), 12);
  EXPECT_EQ(table.ColName(7), "Estimated Net Weight");
  EXPECT_EQ(table.ColName(12), "PI High Net Weight");
  EXPECT_NE(table.Elem(7, 1), firstEstimates[0]) << "the columns hold the new fit";
  EXPECT_EQ(second.MovedColumn(6), 6);
  EXPECT_EQ(second.MovedColumn(7), 0);

  // Undo puts the first add's columns back exactly, then the table as it was.
  second.Undo(table);
  ASSERT_EQ(table.NrOfColumns(), 8);
  EXPECT_EQ(table.ColName(8), "Residual Net Weight");
  for (int r = 1; r <= 40; ++r)
    EXPECT_EQ(table.Elem(7, r), firstEstimates[static_cast<std::size_t>(r - 1)]) << r;
  EXPECT_EQ(table.CellState(8, 5), csEmpty);
  first.Undo(table);
  EXPECT_EQ(table.NrOfColumns(), 6);
  EXPECT_EQ(table.ColName(6), "Net Weight");

  // Columns renamed by the user are no longer the add's: the next add appends beside them.
  TAddEstimatesCommand third(MakeEstimateColumns(run, table, false), {});
  third.Redo(table);
  table.SetColName(7, "my estimates");
  TAddEstimatesCommand fourth(MakeEstimateColumns(run, table, false), third.Added());
  fourth.Redo(table);
  EXPECT_EQ(table.NrOfColumns(), 10);
  EXPECT_EQ(table.ColName(7), "my estimates");
  EXPECT_EQ(table.ColName(9), "Estimated Net Weight");
}
