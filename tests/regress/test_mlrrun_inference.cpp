// Inference of the regression run against R 4.2: t values, p-values, confidence intervals,
// adjusted R squared, the F test's p-value and the variance inflation factors of the
// demonstration example and of a second example with four inputs; the collinear inputs; the
// extended block's layout and number texts.
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

// Expected figures of one coefficient.
struct TExpected {
  const char* Name;
  double T, P, Low, High, VIF;  // VIF NaN for the intercept
};

void ExpectClose(double Actual, double Expected, double RelTol, const std::string& What)
{
  EXPECT_NEAR(Actual, Expected, RelTol * std::fabs(Expected)) << What;
}

// t, intervals and VIF to 9 significant digits, p-values to 7.
void ExpectInference(const TMLRRun& Run, const std::vector<TExpected>& Expected)
{
  const std::vector<TCoefficientInference>& c = Run.Inference().Coefficients;
  ASSERT_EQ(c.size(), Expected.size());
  for (std::size_t j = 0; j < c.size(); ++j) {
    const TExpected& e = Expected[j];
    EXPECT_EQ(c[j].Name, e.Name);
    EXPECT_FALSE(c[j].Collinear) << e.Name;
    ExpectClose(c[j].TValue, e.T, 1e-9, std::string("t of ") + e.Name);
    ExpectClose(c[j].PValue, e.P, 1e-7, std::string("p of ") + e.Name);
    ExpectClose(c[j].CILow, e.Low, 1e-9, std::string("CI low of ") + e.Name);
    ExpectClose(c[j].CIHigh, e.High, 1e-9, std::string("CI high of ") + e.Name);
    if (std::isnan(e.VIF))
      EXPECT_TRUE(std::isnan(c[j].VIF)) << e.Name;
    else
      ExpectClose(c[j].VIF, e.VIF, 1e-9, std::string("VIF of ") + e.Name);
  }
}

// The lines of the extended block that the inference makes: those before the fitted equation,
// where the result's additions begin.
std::vector<std::string> InferenceLines(const std::vector<std::string>& Lines)
{
  std::vector<std::string> l;
  for (const std::string& s : Lines) {
    if (s.rfind(" Fitted equation: ", 0) == 0)
      return l;
    l.push_back(s);
  }
  ADD_FAILURE() << "no fitted equation in the extended block";
  return l;
}

// Every table line of the extended block (between the first and the last dash line) has its
// columns at the same places: a line is at most 100 characters, and where the header has the
// right end of a column title, every number row has a non-blank character.
void ExpectAlignedBlock(const std::vector<std::string>& Lines)
{
  for (const std::string& l : Lines)
    EXPECT_LE(l.size(), 100u) << l;
  ASSERT_GE(Lines.size(), 5u);
  const std::string& header = Lines[2];
  ASSERT_EQ(header.substr(0, 12), " Coefficient");
  std::vector<std::size_t> ends;
  for (const char* title : {"Estimate", "Std. Error", "t value", "Pr(>|t|)", "CI 2.5 %",
                            "CI 97.5 %", "VIF"}) {
    const std::size_t at = header.find(title);
    ASSERT_NE(at, std::string::npos) << title;
    ends.push_back(at + std::string(title).size() - 1);
  }
  for (std::size_t k = 4; k < Lines.size() && Lines[k][1] != '-'; ++k) {
    const bool collinear = Lines[k].find("n/a (collinear)") != std::string::npos;
    for (std::size_t i = 0; i < ends.size(); ++i) {
      if (ends[i] >= Lines[k].size() || (collinear && i >= 2 && i <= 5))
        continue;
      EXPECT_NE(Lines[k][ends[i]], ' ') << "column ending at " << ends[i] << " in: " << Lines[k];
      EXPECT_EQ(Lines[k][ends[i] + 1 < Lines[k].size() ? ends[i] + 1 : ends[i] - 11], ' ')
          << "no gap after the column ending at " << ends[i] << " in: " << Lines[k];
    }
  }
}

// A second example of our own: four inputs (a kiln's temperature, pressure, belt speed and
// feed rate) and the yield, 22 objects.
const double Kiln[22][5] = {
    {181.0, 5.2, 1376.0, 0.24, 36.1}, {190.0, 2.5, 816.0, 0.16, 30.3},
    {195.0, 3.2, 1101.0, 0.2, 35.0},  {174.0, 5.9, 837.0, 0.29, 37.7},
    {203.0, 2.8, 1223.0, 0.29, 35.5}, {182.0, 5.5, 1183.0, 0.21, 36.5},
    {155.0, 5.5, 1084.0, 0.4, 40.2},  {199.0, 5.9, 811.0, 0.15, 40.6},
    {153.0, 4.7, 1013.0, 0.37, 35.5}, {202.0, 3.2, 1134.0, 0.39, 39.2},
    {182.0, 3.5, 960.0, 0.31, 36.4},  {183.0, 4.2, 878.0, 0.25, 37.8},
    {205.0, 3.5, 999.0, 0.35, 37.6},  {151.0, 4.7, 1009.0, 0.22, 33.2},
    {166.0, 4.4, 1237.0, 0.22, 36.2}, {205.0, 2.3, 1139.0, 0.31, 36.2},
    {174.0, 4.9, 1376.0, 0.33, 36.1}, {165.0, 2.5, 866.0, 0.12, 29.5},
    {201.0, 4.4, 1283.0, 0.41, 40.0}, {206.0, 2.6, 1263.0, 0.38, 36.0},
    {189.0, 3.7, 845.0, 0.07, 31.7},  {182.0, 3.1, 898.0, 0.15, 31.4},
};

void FillTable(TDataTable& T, const std::vector<std::vector<double>>& Columns,
               const std::vector<std::string>& Names)
{
  T.Resize(static_cast<int>(Columns.size()), static_cast<int>(Columns[0].size()));
  for (std::size_t c = 0; c < Columns.size(); ++c) {
    T.SetColName(static_cast<int>(c) + 1, Names[c]);
    for (std::size_t r = 0; r < Columns[c].size(); ++r)
      T.SetElem(static_cast<int>(c) + 1, static_cast<int>(r) + 1, Columns[c][r]);
  }
}

}  // namespace

TEST(MLRInference, DemonstrationExampleMatchesR)
{
  TDataTable table;
  LoadDemoData(table);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight))) << run.ErrorText();

  // Computed with R 4.2: summary(lm(Net.Weight ~ Length + Width)), confint of the same model,
  // and 1 / (1 - R2) of lm(Length ~ Width) for the VIF.
  ExpectInference(run, {
      {"Length", 11.63070411478248, 6.39898985961398e-14, 0.56518393288521, 0.803649243055999,
       1.54454924310194},
      {"Width", 4.79559152031697, 2.64813517915038e-05, 1.94797206073489, 4.798385616892927,
       1.54454924310194},
      {"INTERCEPT", -6.01782757301010, 5.93922898853077e-07, -180.57400859414321,
       -89.605141387651088, NAN},
  });
  const TFitInference& inf = run.Inference();
  EXPECT_EQ(inf.DFRes, 37);
  ExpectClose(inf.AdjR2, 0.898374646216828, 1e-10, "adjusted R2");
  ExpectClose(inf.FPValue, 1.60907011692846e-19, 1e-7, "p of F");
  EXPECT_TRUE(inf.MissingRows.empty());

  const std::vector<std::string> l = InferenceLines(run.ExtendedLines());
  ExpectAlignedBlock(l);
  ASSERT_EQ(l.size(), 12u);
  EXPECT_EQ(l[0], " Coefficient tests and 95 % confidence intervals (t distribution, 37 degrees "
                  "of freedom):");
  EXPECT_EQ(l[1], " " + std::string(96, '-'));
  EXPECT_EQ(l[4], " Length           0.68442    0.058846      11.631  6.3990e-14     0.56518"
                  "     0.80365      1.5445");
  EXPECT_EQ(l[6], " INTERCEPT        -135.09      22.448     -6.0178  5.9392e-07     -180.57"
                  "     -89.605");
  EXPECT_EQ(l[8], " Residual standard error: 7.6558 on 37 degrees of freedom");
  EXPECT_EQ(l[9], " R-squared: 0.90359,  Adjusted R-squared: 0.89837");
  EXPECT_EQ(l[10], " F-statistic: 173.38 on 2 and 37 DF,  p-value: < 1e-16");
  EXPECT_EQ(l[11], " Objects used: 40 of 40");
  // The fixed report keeps its 22 lines (two inputs).
  EXPECT_EQ(run.ReportLines().size(), 22u);
}

TEST(MLRInference, FourInputExampleMatchesR)
{
  std::vector<std::vector<double>> cols(5);
  for (const auto& row : Kiln)
    for (int c = 0; c < 5; ++c)
      cols[static_cast<std::size_t>(c)].push_back(row[c]);
  TDataTable table;
  FillTable(table, cols, {"Temperature", "Pressure", "Speed", "Feed", "Yield"});
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(5, {1, 2, 3, 4}, 5))) << run.ErrorText();

  // Computed with R 4.2: summary(lm(Yield ~ Temperature + Pressure + Speed + Feed)), confint,
  // and 1 / (1 - R2) of each input regressed on the other three.
  ExpectInference(run, {
      {"Temperature", 4.628409001875076, 2.40087811428146e-04, 0.04671141868173685,
       0.12497135365708406, 1.30923646536543},
      {"Pressure", 6.699902780031383, 3.73153268070283e-06, 1.27718352721342931,
       2.45128832425371845, 1.29593125363188},
      {"Speed", -0.929213378077248, 3.65785818203219e-01, -0.00557542982915308,
       0.00216594340375789, 1.39126480560391},
      {"Feed", 5.465762559603405, 4.18568380688453e-05, 11.46404661042986817,
       25.87847225843862020, 1.38831943818661},
      {"INTERCEPT", 2.304719697202291, 3.40644677213463e-02, 0.80079279547048898,
       18.13778002765795350, NAN},
  });
  const TFitInference& inf = run.Inference();
  EXPECT_EQ(inf.DFRes, 17);
  ExpectClose(inf.AdjR2, 0.817167539070117, 1e-10, "adjusted R2");
  ExpectClose(inf.FValue, 24.4648134051173, 1e-10, "F");
  ExpectClose(inf.FPValue, 7.30187325212121e-07, 1e-7, "p of F");
  ExpectClose(run.Summary().SRes, 1.311212456398907, 1e-10, "residual standard error");
  ExpectAlignedBlock(run.ExtendedLines());
  EXPECT_EQ(run.ExtendedLines()[12], " F-statistic: 24.465 on 4 and 17 DF,  p-value: 7.3019e-07");
}

TEST(MLRInference, CollinearInputsAreNamedAndTheirTestsAreNotAvailable)
{
  // Length duplicated in column 7, and Width left alone.
  TDataTable table;
  LoadDemoData(table);
  table.Resize(8, 40);
  table.SetColName(7, "Length again");
  table.SetColName(8, "Constant");
  for (int r = 1; r <= 40; ++r) {
    table.SetElem(7, r, table.Elem(Length, r));
    table.SetElem(8, r, 5.0);
  }
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(8, {Length, Width, 7}, NetWeight)));
  ASSERT_TRUE(run.NearSingular());
  const std::vector<TCoefficientInference>& c = run.Inference().Coefficients;
  ASSERT_EQ(c.size(), 4u);
  EXPECT_TRUE(c[0].Collinear);
  EXPECT_FALSE(c[1].Collinear);
  EXPECT_TRUE(c[2].Collinear);
  EXPECT_FALSE(c[3].Collinear);
  for (int j : {0, 2}) {
    EXPECT_TRUE(std::isnan(c[static_cast<std::size_t>(j)].TValue));
    EXPECT_TRUE(std::isnan(c[static_cast<std::size_t>(j)].PValue));
    EXPECT_TRUE(std::isnan(c[static_cast<std::size_t>(j)].CILow));
    EXPECT_GT(c[static_cast<std::size_t>(j)].VIF, 1e12);
  }
  // Width is no part of the dependence: its estimate is that of the fit without the copy.
  TMLRRun reduced;
  ASSERT_TRUE(reduced.Execute(table, MakeRoles(8, {Length, Width}, NetWeight)));
  EXPECT_NEAR(c[1].Estimate, reduced.Inference().Coefficients[1].Estimate, 1e-9);
  EXPECT_TRUE(std::isfinite(c[1].TValue));
  EXPECT_LT(c[1].PValue, 1e-3);

  const std::vector<std::string> l = InferenceLines(run.ExtendedLines());
  ExpectAlignedBlock(l);
  int na = 0;
  for (const std::string& s : l)
    na += s.find("n/a (collinear)") != std::string::npos;
  EXPECT_EQ(na, 2);
  EXPECT_EQ(l[4].substr(0, 13), " Length      ");
  EXPECT_NE(l[4].find("n/a (collinear)"), std::string::npos);
  EXPECT_EQ(l.back(), " Collinear (t, p and intervals not available): \"Length\" (column 3), "
                      "\"Length again\" (column 7)");

  // A constant input goes with the intercept: both are named, the input's VIF is infinite.
  TMLRRun constant;
  // The other inputs keep the VIFs they have without it (R's figure of the demonstration).
  ASSERT_TRUE(constant.Execute(table, MakeRoles(8, {Length, Width, 8}, NetWeight)));
  ASSERT_TRUE(constant.NearSingular());
  const std::vector<TCoefficientInference>& k = constant.Inference().Coefficients;
  ASSERT_EQ(k.size(), 4u);
  EXPECT_FALSE(k[0].Collinear);
  EXPECT_FALSE(k[1].Collinear);
  EXPECT_TRUE(k[2].Collinear);
  EXPECT_TRUE(k[3].Collinear);
  EXPECT_TRUE(std::isinf(k[2].VIF));
  ExpectClose(k[0].VIF, 1.54454924310194, 1e-9, "VIF of Length");
  ExpectClose(k[1].VIF, 1.54454924310194, 1e-9, "VIF of Width");
  EXPECT_EQ(InferenceLines(constant.ExtendedLines()).back(),
            " Collinear (t, p and intervals not available): \"Constant\" (column 8), INTERCEPT");
}

TEST(MLRInference, UncorrelatedInputsZeroAndHugeTValues)
{
  // Three mutually orthogonal centred patterns with different offsets and scales. The target y
  // is symmetric in x1 (slope 0) and follows x3 loosely; the target yx2 follows x2 so closely
  // that its t is huge.
  const std::vector<double> s1 = {1, -1, 1, -1, 1, -1, 1, -1};
  const std::vector<double> s2 = {1, 1, -1, -1, 1, 1, -1, -1};
  const std::vector<double> s3 = {1, 1, 1, 1, -1, -1, -1, -1};
  const double wobble[8] = {0.3, -0.3, -0.3, 0.3, -0.3, 0.3, 0.3, -0.3};  // orthogonal to all
  std::vector<std::vector<double>> cols(5);
  for (std::size_t i = 0; i < 8; ++i) {
    cols[0].push_back(100 + 3 * s1[i]);
    cols[1].push_back(-7 + 0.5 * s2[i]);
    cols[2].push_back(1e4 + 250 * s3[i]);
    cols[3].push_back(40 + 0.2 * s3[i] + wobble[i]);
    cols[4].push_back(40 + 1e6 * s2[i] + wobble[i]);
  }
  TDataTable table;
  FillTable(table, cols, {"x1", "x2", "x3", "y", "yx2"});
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(5, {1, 2, 3}, 4))) << run.ErrorText();
  const std::vector<TCoefficientInference>& c = run.Inference().Coefficients;
  ASSERT_EQ(c.size(), 4u);
  for (int j = 0; j < 3; ++j)
    EXPECT_NEAR(c[static_cast<std::size_t>(j)].VIF, 1.0, 1e-12) << j;
  EXPECT_NEAR(c[0].TValue, 0.0, 1e-12);
  EXPECT_NEAR(c[0].PValue, 1.0, 1e-12);
  // x3: slope 0.2 / 250; residual sd 0.3 sqrt(8 / 4), se = sd / (250 sqrt 8).
  EXPECT_NEAR(c[2].TValue, (0.2 / 250) / (0.3 * std::sqrt(2.0) / (250 * std::sqrt(8.0))), 1e-9);
  const std::vector<std::string>& l = run.ExtendedLines();
  ExpectAlignedBlock(l);
  EXPECT_EQ(l[4].substr(0, 13), " x1          ");
  EXPECT_EQ(l[4].substr(49, 12), "      1.0000");

  ASSERT_TRUE(run.Execute(table, MakeRoles(5, {1, 2, 3}, 5))) << run.ErrorText();
  EXPECT_GT(run.Inference().Coefficients[1].TValue, 1e6);
  EXPECT_LT(run.Inference().Coefficients[1].PValue, 1e-16);
  EXPECT_EQ(run.ExtendedLines()[5].substr(49, 12), "     < 1e-16");
  EXPECT_EQ(run.ExtendedLines()[11].substr(run.ExtendedLines()[11].size() - 9), ": < 1e-16");
}

TEST(MLRInference, NumberTexts)
{
  EXPECT_EQ(FormatSig5(0.684416587970605), "0.68442");
  EXPECT_EQ(FormatSig5(-135.089574990897), "-135.09");
  EXPECT_EQ(FormatSig5(12345.4), "12345");
  EXPECT_EQ(FormatSig5(99999.6), "1.0000e+05");  // rounding moves it into the next form
  EXPECT_EQ(FormatSig5(0.000123456), "0.00012346");
  EXPECT_EQ(FormatSig5(0.0000999996), "0.00010000");  // rounds up into the fixed form
  EXPECT_EQ(FormatSig5(0.0000999994), "9.9999e-05");
  EXPECT_EQ(FormatSig5(-2.5e-150), "-2.500e-150");  // still 11 characters
  EXPECT_EQ(FormatSig5(1.0), "1.0000");
  EXPECT_EQ(FormatSig5(0.0), "0");
  EXPECT_EQ(FormatSig5(NAN), "n/a");
  EXPECT_EQ(FormatSig5(-INFINITY), "-inf");
  EXPECT_EQ(FormatPValue(1e-16), "1.0000e-16");
  EXPECT_EQ(FormatPValue(9.99e-17), "< 1e-16");
  EXPECT_EQ(FormatPValue(0.0), "< 1e-16");
  EXPECT_EQ(FormatPValue(1.0), "1.0000");
}

TEST(MLRInference, MissingRowsAreListedAndLongListsWrap)
{
  TDataTable table;
  LoadDemoData(table);
  for (int r : {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37})
    table.SetCellState(NetWeight, r, 2);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight)));
  const std::vector<std::string> l = InferenceLines(run.ExtendedLines());
  ExpectAlignedBlock(run.ExtendedLines());
  EXPECT_EQ(l[l.size() - 2], " Objects used: 28 of 40");
  EXPECT_EQ(l.back(), " Rows left out for missing values: 2, 3, 5, 7, 11, 13, 17, 19, 23, 29 and 2 more");
  EXPECT_EQ(run.Inference().MissingRows.size(), 12u);
  EXPECT_EQ(run.Inference().DFRes, 25);

  // Many collinear inputs with long names: the list wraps below 100 characters.
  const std::string longName(48, 'N');  // with its number within the 50 a name may have
  table.Resize(12, 40);
  for (int c = 7; c <= 12; ++c) {
    table.SetColName(c, longName + std::to_string(c));
    for (int r = 1; r <= 40; ++r)
      table.SetElem(c, r, table.Elem(Length, r) * (c - 5));
  }
  ASSERT_TRUE(run.Execute(table, MakeRoles(12, {Length, 7, 8, 9, 10, 11, 12}, NetWeight)));
  ASSERT_TRUE(run.NearSingular());
  const std::vector<std::string>& w = run.ExtendedLines();
  ExpectAlignedBlock(w);
  std::string joined;
  for (const std::string& s : w)
    joined += s + "\n";
  for (int c = 7; c <= 12; ++c)
    EXPECT_NE(joined.find("\"" + longName + std::to_string(c) + "\" (column " +
                          std::to_string(c) + ")"),
              std::string::npos)
        << c;

  // A failed run keeps the block of the last successful one.
  const std::vector<std::string> before = w;
  table.Resize(12, 3);
  EXPECT_FALSE(run.Execute(table, MakeRoles(12, {Length, Width}, NetWeight)));
  EXPECT_EQ(run.ExtendedLines(), before);
}

// A fit whose residuals are zero to rounding, a constant target and a fit just clear of the
// perfect-fit rule, as R 4.2 sees them:
//   a <- c(1,2,3,4,5); b <- c(2,1,5,3,7)
//   summary(lm(a + 2*b ~ a + b))   # warns "essentially perfect fit"
//   summary(lm(rep(5,5) ~ a + b))  # t and p NaN for a and b, adj. R-squared NaN
//   yn <- a + 2*b + 1e-9*c(1,-1,0,1,-1); s <- summary(lm(yn ~ a + b))
//   print(coef(s), digits=17); print(pf(s$fstatistic[1], 2, 2, lower.tail=FALSE), digits=17)
TEST(MLRInference, PerfectFitAndConstantTargetHaveNoTests)
{
  const std::vector<double> a = {1, 2, 3, 4, 5}, b = {2, 1, 5, 3, 7};
  const double w[5] = {1, -1, 0, 1, -1};
  std::vector<double> exact, constant(5, 5.0), near;
  for (std::size_t i = 0; i < 5; ++i) {
    exact.push_back(a[i] + 2 * b[i]);
    near.push_back(a[i] + 2 * b[i] + 1e-9 * w[i]);
  }
  TDataTable table;
  FillTable(table, {a, b, exact, constant, near}, {"a", "b", "exact", "constant", "near"});
  TMLRRun run;

  ASSERT_TRUE(run.Execute(table, MakeRoles(5, {1, 2}, 3))) << run.ErrorText();
  EXPECT_EQ(run.Inference().Condition, TFitCondition::PerfectFit);
  EXPECT_EQ(run.ExtendedLines()[0], std::string(" ") + PerfectFitText);
  EXPECT_TRUE(std::isnan(run.Inference().FPValue));
  for (const TCoefficientInference& c : run.Inference().Coefficients) {
    EXPECT_TRUE(std::isnan(c.TValue) && std::isnan(c.PValue)) << c.Name;
    EXPECT_TRUE(std::isnan(c.CILow) && std::isnan(c.CIHigh)) << c.Name;
    EXPECT_FALSE(c.ZeroStdError) << c.Name;  // the block's first line gives the reason
  }
  EXPECT_EQ(run.ExtendedLines()[5],
            " a                 1.0000           0         n/a         n/a         n/a         n/a      2.6364");
  EXPECT_EQ(run.ExtendedLines()[11], " F-statistic: n/a on 2 and 2 DF,  p-value: n/a");
  // The fixed report keeps its honest " >1E6".
  EXPECT_EQ(run.Caption(), "r2 = 1.000000  F =  >1E6");

  ASSERT_TRUE(run.Execute(table, MakeRoles(5, {1, 2}, 4))) << run.ErrorText();
  EXPECT_EQ(run.Inference().Condition, TFitCondition::ConstantTarget);
  EXPECT_EQ(run.ExtendedLines()[0], std::string(" ") + ConstantTargetText);
  EXPECT_EQ(run.VecX().Elem(1), 0.0);  // exactly, not rounding noise
  EXPECT_EQ(run.VecX().Elem(2), 0.0);
  EXPECT_EQ(run.VecX().Elem(3), 5.0);
  EXPECT_TRUE(std::isnan(run.Inference().AdjR2));
  EXPECT_TRUE(std::isnan(run.Inference().Coefficients[0].TValue));
  EXPECT_TRUE(std::isnan(run.Inference().Coefficients[2].PValue));
  EXPECT_EQ(run.ExtendedLines()[5].substr(0, 61),
            " a                      0           0         n/a         n/a");

  // 1e-9 residuals on values near 20 keep about six digits (the rounding of the target is
  // 4e-15), so R's figures are met to 1e-5.
  ASSERT_TRUE(run.Execute(table, MakeRoles(5, {1, 2}, 5))) << run.ErrorText();
  EXPECT_EQ(run.Inference().Condition, TFitCondition::Regular);
  const std::vector<TCoefficientInference>& c = run.Inference().Coefficients;
  ExpectClose(c[0].TValue, 1.4599651587367375e+09, 1e-5, "t of a");
  ExpectClose(c[1].TValue, 4.4475053569362259e+09, 1e-5, "t of b");
  ExpectClose(c[2].TValue, 4.2884492547756231e-01, 1e-5, "t of the intercept");
  ExpectClose(c[2].PValue, 7.0980955477276242e-01, 1e-5, "p of the intercept");
  ExpectClose(run.Inference().FPValue, 2.3601432197637701e-20, 1e-4, "p of F");
  EXPECT_EQ(run.ExtendedLines()[0].substr(0, 13), " Coefficient ");
}

TEST(MLRInference, ZeroStandardErrorIsNoInfiniteT)
{
  // Another solver gives an exact zero unscaled deviation for one input of an ordinary fit:
  // its t would be infinite; it reads n/a with the reason.
  TDataTable table;
  LoadDemoData(table);
  TMLRRun run;
  run.SetSolver([](TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NearSingular) {
    const bool ok = MultiLinearRegression(A, B, X, Sig, NearSingular);
    Sig->SetElem(1, 0.0);
    return ok;
  });
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight))) << run.ErrorText();
  const TCoefficientInference& c = run.Inference().Coefficients[0];
  EXPECT_TRUE(c.ZeroStdError);
  EXPECT_TRUE(std::isnan(c.TValue) && std::isnan(c.PValue));
  EXPECT_NE(run.ExtendedLines()[4].find("n/a (std. error 0)"), std::string::npos);
  EXPECT_FALSE(run.Inference().Coefficients[1].ZeroStdError);
  EXPECT_TRUE(std::isfinite(run.Inference().Coefficients[1].TValue));
}
