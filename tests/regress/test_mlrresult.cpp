// The result value of the regression run: it outlives later runs unchanged; the influence
// measures, predictions, model measures and report additions against R 4.2.
#include "demodata.h"
#include "mlrrun.h"
#include "mlrrun_testutil.h"
#include "orvex_datatable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace orvex;

namespace {

constexpr int Length = 3, Width = 4, NetWeight = 6;

TEST(MLRResult, KeepsItsValuesAfterLaterRuns)
{
  TDataTable table;
  LoadDemoData(table);
  TMLRRun run;
  EXPECT_EQ(run.Result(), nullptr);
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight)));
  const TMLRResultPtr first = run.Result();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->TargetName, "Net Weight");
  EXPECT_EQ(first->InputCols, (std::vector<int>{Length, Width}));
  EXPECT_EQ(first->UsedRows.size(), 40u);
  EXPECT_EQ(first->ReportLines, run.ReportLines());
  EXPECT_EQ(first->Coefficients[2], run.VecX().Elem(3));
  for (std::size_t i = 0; i < 40; ++i)
    EXPECT_EQ(first->Residuals[i], first->FitPoints[i].Actual - first->FitPoints[i].Estimated);

  const std::vector<std::string> lines = first->ReportLines;
  const double slope = first->Coefficients[0];
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Width}, Length)));
  EXPECT_NE(run.Result(), first);
  EXPECT_EQ(first->ReportLines, lines);
  EXPECT_EQ(first->Coefficients[0], slope);
  EXPECT_EQ(run.Result()->InputNames, std::vector<std::string>{"Width"});
  // A failed run leaves the last good result in place.
  EXPECT_FALSE(run.Execute(table, MakeRoles(6, {}, Length)));
  EXPECT_EQ(run.Result()->TargetCol, Length);
}

}  // namespace
