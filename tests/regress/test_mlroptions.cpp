// The model options of the regression run (categorical inputs, weights, no intercept, robust
// standard errors) against R 4.2 with sandwich and car, on a data set of our own, and the
// refusals of bad options. Reference values were made by this R code (p17 prints all digits):
//
//   suppressMessages({library(sandwich); library(car)})
//   d <- data.frame(region = <Region>, x1 = <X1>, x2 = <X2>, grade = <Grade>, w = <W>, y = <Y>)
//   d$region <- factor(d$region, levels = 0:4,
//                      labels = c("north", "south", "east", "west", "central"))
//   p17 <- function(...) cat(sprintf("%.17g", c(...)), "\n")
//   # Row 25 has no target (predicted only), row 26 weight 0 (left out): R keeps a zero-weight
//   # row in its residuals but not in the degrees of freedom, so the fits use rows 1 to 24.
//   dd <- d[1:24, ]
//   # A: weighted, reference level "south"
//   dd$region <- relevel(dd$region, ref = "south")
//   fa <- lm(y ~ region + x1 + x2 + grade, data = dd, weights = w); s <- summary(fa)
//   p17(coef(fa)); p17(s$coefficients[, 2]); p17(s$coefficients[, 4])
//   p17(s$sigma, s$r.squared, s$adj.r.squared, s$fstatistic)
//   dr <- drop1(fa, test = "F"); p17(dr$`F value`[-1]); p17(dr$`Pr(>F)`[-1]); p17(dr$`Sum of Sq`[-1])
//   v <- vif(fa); p17(v[, 1]); p17(v[, 3])
//   for (t in c("HC0", "HC1", "HC2", "HC3")) p17(sqrt(diag(vcovHC(fa, type = t))))
//   im <- influence.measures(fa); p17(im$infmat[c(3, 16), ])
//   p17(predict(fa, interval = "prediction")[3, ]); p17(predict(fa, se.fit = TRUE)$se.fit[3])
//   nd <- d[25, ]; p17(predict(fa, newdata = nd, interval = "prediction", weights = nd$w)$fit)
//   p17(predict(fa, newdata = nd, se.fit = TRUE)$se.fit)
//   p17(logLik(fa), AIC(fa), BIC(fa)); p17(residuals(fa)[1:3]); p17(fitted(fa)[1:3])
//   # B: no intercept, unweighted (R codes every level of the first factor)
//   fb <- lm(y ~ region + x1 - 1, data = d[1:24, ]); s <- summary(fb)
//   p17(coef(fb)); p17(s$coefficients[, 2]); p17(s$sigma, s$r.squared, s$adj.r.squared, s$fstatistic)
//   # C: numeric inputs, weighted, no intercept, HC3
//   fc <- lm(y ~ x1 + x2 - 1, data = dd, weights = w); s <- summary(fc)
//   p17(coef(fc)); p17(s$coefficients[, 2]); p17(s$sigma, s$r.squared, s$adj.r.squared, s$fstatistic)
//   p17(sqrt(diag(vcovHC(fc, type = "HC3"))))
//   # D: unweighted, default reference level
//   fd <- lm(y ~ region + x1 + x2, data = transform(d[1:24, ], region = droplevels(region)))
//   s <- summary(fd); p17(coef(fd)); p17(s$coefficients[, 2]); p17(s$sigma, s$r.squared, s$fstatistic)
//   dr <- drop1(fd, test = "F"); p17(dr$`F value`[-1]); p17(dr$`Pr(>F)`[-1])
//   v <- vif(fd); p17(v[, 1]); p17(v[, 3]); p17(sqrt(diag(vcovHC(fd, type = "HC1"))))
#include "demodata.h"
#include "mlrrun.h"
#include "mlrrun_testutil.h"
#include "orvex_datatable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace orvex;

namespace {

constexpr int Region = 1, X1 = 2, X2 = 3, Grade = 4, W = 5, Y = 6;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// <Region> .. <Y> of the R code, in this order.
const double RegionData[] = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 3, 2, 3, 2, 1, 0};
const double X1Data[] = {2.02, 7.87, 8.58, 4.78, 2.16, 6.51, 1.12, 9.22, 2.51, 2.44, 6.96, 5.82, 9.22,
                         8.34, 5.9,  9.29, 1.14, 5.7,  4.29, 2.07, 1.65, 9.52, 4.61, 5.73, 5,    3.3};
const double X2Data[] = {-1.61, 0.63, 0.36, 3.82, 3.07, 4.46, 1.96, 4.12, -0.04, 2.52, 0.14, 4.41, 1.7,
                         0.4,   1.46, 2.59, -0.22, 4.24, 0.45, 1.49, 2.06, 2.75, 0.78, 3.77, 1,   0.5};
const double GradeData[] = {2, 0, 0, 2, 2, 1, 2, 2, 0, 1, 0, 0, 2, 1, 1, 0, 2, 2, 0, 2, 0, 2, 2, 0, 1, 1};
const double WData[] = {2.28, 1.48, 1,    2.97, 1.8,  0.83, 2.19, 1.54, 1.57, 2.69, 1.27, 0.99, 2.23,
                        1.8,  0.9,  2.91, 1.13, 2.96, 1.51, 2.02, 0.93, 2.95, 0.67, 2.11, 1.2,  0};
const double YData[] = {7.772, 13.935, 6.3,    4.236, 1.672, -0.852, 1.526, 8.91,  5.887,
                        2.879, 2.508,  0.673,  10.286, 10.441, 1.632, 9.259, 6.773, 7.307,
                        1.468, 4.016,  1.893,  6.19,  7.649, 3.359, NaN,   5.5};

void LoadOptionsData(TDataTable& T)
{
  T.Resize(6, 26);
  const char* names[] = {"region", "x1", "x2", "grade", "w", "y"};
  const double* cols[] = {RegionData, X1Data, X2Data, GradeData, WData, YData};
  for (int c = 1; c <= 6; ++c) {
    T.SetColName(c, names[c - 1]);
    for (int r = 1; r <= 26; ++r)
      if (std::isnan(cols[c - 1][r - 1]))
        T.SetCellState(c, r, csEmpty);
      else
        T.SetElem(c, r, cols[c - 1][r - 1]);
  }
  T.SetVarType(Region, vtNominal);
  const char* labels[] = {"north", "south", "east", "west", "central"};
  for (int l = 0; l < 5; ++l)
    T.SetLevelName(Region, l, labels[l]);
  T.SetVarType(Grade, vtOrdinal);
  T.SetLevelName(Grade, 0, "low");
  T.SetLevelName(Grade, 2, "high");
}

void ExpectRel(double Actual, double Expected, double Tol, const std::string& What)
{
  EXPECT_NEAR(Actual, Expected, Tol * std::fabs(Expected)) << What;
}

// R lists the intercept first, the run last.
void ExpectInROrder(const std::vector<double>& Ours, const std::vector<double>& R, double Tol,
                    const std::string& What, bool Intercept = true)
{
  ASSERT_EQ(Ours.size(), R.size()) << What;
  const std::size_t n = R.size();
  for (std::size_t j = 0; j < n; ++j) {
    const std::size_t r = Intercept ? (j + 1 == n ? 0 : j + 1) : j;
    ExpectRel(Ours[j], R[r], Tol, What + " " + std::to_string(j));
  }
}

TEST(MLROptions, WeightedCategoricalFitMatchesR)
{
  TDataTable table;
  LoadOptionsData(table);
  TMLRModelOptions o;
  o.WeightCol = W;
  o.ReferenceLevels[Region] = 1;  // south
  o.Robust = TRobustType::HC0;
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Region, X1, X2, Grade}, Y), o)) << run.ErrorText();
  const TMLRResultPtr result = run.Result();  // kept: the runs below make new results
  const TMLRResult& r = *result;
  EXPECT_EQ(r.InputNames, (std::vector<std::string>{"region[north]", "region[east]", "region[west]",
                                                    "x1", "x2", "grade"}));
  EXPECT_EQ(r.UsedRows.size(), 24u);
  EXPECT_EQ(r.ZeroWeightRows, std::vector<int>{26});
  EXPECT_EQ(r.LeftOutRows, std::vector<int>{25});
  EXPECT_EQ(r.Summary.NrOfMissing, 1);
  EXPECT_EQ(r.Inference.DFRes, 17);
  EXPECT_EQ(r.OrdinalNames, std::vector<std::string>{"grade"});

  ExpectInROrder(r.Coefficients, {3.7333847058115941, -0.93361246170390999, -4.251048491475097,
                                  -0.99826322942573298, 0.89193326022939323, -1.0385728561525946,
                                  0.69220520160096355}, 1e-9, "coefficient");
  ExpectInROrder(r.StdErrors, {1.4536640392345797, 1.4540299891912272, 1.195540155295411, 1.1819636364059756,
                               0.15202371244430357, 0.31369603839244709, 0.51195941939478362}, 1e-9, "std. error");
  std::vector<double> p;
  for (const TCoefficientInference& c : r.Inference.Coefficients)
    p.push_back(c.PValue);
  ExpectInROrder(p, {0.019945473348685287, 0.52938140299066849, 0.0024314985981308901, 0.41007409739924472,
                     1.8655448415569359e-05, 0.0041329399175477994, 0.19406786347599775}, 1e-6, "p-value");
  ExpectRel(r.Summary.SRes, 2.7309352371432185, 1e-9, "sigma");
  ExpectRel(r.Summary.R2, 0.74838134750796703, 1e-9, "R2");
  ExpectRel(r.Inference.AdjR2, 0.65957476427548478, 1e-9, "adjusted R2");
  ExpectRel(r.Summary.Anova.FValue, 8.4270931305713876, 1e-9, "F");
  EXPECT_EQ(r.Summary.Anova.DFReg, 6);

  // drop1 and car::vif: region first, then the numeric inputs whose VIFs are the GVIFs.
  ASSERT_EQ(r.CategoricalTerms.size(), 1u);
  const TCategoricalTerm& t = r.CategoricalTerms[0];
  EXPECT_EQ(t.DF, 3);
  EXPECT_EQ(t.Reference, "south");
  EXPECT_EQ(t.Dropped, std::vector<std::string>{"central"});
  ExpectRel(t.FValue, 5.030534802505171, 1e-9, "region F");
  ExpectRel(t.PValue, 0.011223592998181035, 1e-6, "region p");
  ExpectRel(t.SumOfSquares, 112.55329537922356, 1e-9, "region sum of squares");
  ExpectRel(t.GVIF, 1.6015760055586492, 1e-9, "region GVIF");
  ExpectRel(t.ScaledGVIF, 1.0816612185046977, 1e-9, "region scaled GVIF");
  ExpectRel(r.Inference.Coefficients[3].VIF, 1.1464511242792543, 1e-9, "x1 VIF");
  ExpectRel(r.Inference.Coefficients[4].VIF, 1.5334131948757246, 1e-9, "x2 VIF");
  ExpectRel(r.Inference.Coefficients[5].VIF, 1.2169228597580142, 1e-9, "grade VIF");
  EXPECT_TRUE(std::isnan(r.Inference.Coefficients[0].VIF));

  // Influence of rows 3 and 16 (R's infmat: dfb per coefficient, dffit, cov.r, cook.d, hat).
  const double infmat[2][11] = {
      {-0.0066524355764917336, -0.037665198680024617, 0.0034016443622825005, 0.11002642922170752,
       -0.02931810586540547, -0.042788614264822, -0.0028555410258394374, 0.34373349083604793,
       -0.028174812021296892, 0.28803437964244483, 0.029174692335529551},
      {-0.0070442407576138703, 0.018454396210819925, -0.3199698977000327, -0.074260082218044171,
       0.70012816254691246, 1.7708114889726378, 2.1539848597900284, 0.00083538177185591583,
       0.071725796813148612, 0.14860136097799523, 0.45085676116840395}};
  // The printout runs down the columns of the 2 x 11 matrix.
  auto inf = [&](int Row, int Col) { return (&infmat[0][0])[Col * 2 + Row]; };
  const TInfluence& f = r.Influence;
  ASSERT_TRUE(f.Available);
  for (int k = 0; k < 2; ++k) {
    const int obj = k == 0 ? 2 : 15;  // rows 3 and 16 are objects 3 and 16
    const auto i = static_cast<std::size_t>(obj);
    const std::string at = " of row " + std::to_string(obj + 1);
    // R's intercept column is the run's last.
    for (int j = 0; j < 7; ++j)
      ExpectRel(f.DFBeta(obj, j), inf(k, j == 6 ? 0 : j + 1), 1e-9, "DFBETAS" + at);
    ExpectRel(f.DFFits[i], inf(k, 7), 1e-9, "DFFITS" + at);
    ExpectRel(f.CovRatio[i], inf(k, 8), 1e-9, "COVRATIO" + at);
    ExpectRel(f.CooksDistance[i], inf(k, 9), 1e-9, "Cook" + at);
    ExpectRel(f.Hat[i], inf(k, 10), 1e-9, "h" + at);
  }

  // Predictions: row 3 of the fit (the fit's weight), row 25 with its own weight.
  const TPredictions& pr = r.Predictions;
  ASSERT_EQ(pr.Rows.size(), 26u);
  ExpectRel(pr.Estimate[2], 6.7612373588897574, 1e-12, "estimate of row 3");
  ExpectRel(pr.PILow[2], 0.58618621302597251, 1e-9, "PI low of row 3");
  ExpectRel(pr.PIHigh[2], 12.936288504753541, 1e-9, "PI high of row 3");
  ExpectRel(pr.SEFit[2], 1.0527440479181527, 1e-9, "se of row 3");
  ExpectRel(pr.Estimate[24], 7.8466833524069299, 1e-12, "estimate of row 25");
  ExpectRel(pr.PILow[24], 2.1906160495083, 1e-9, "PI low of row 25");
  ExpectRel(pr.PIHigh[24], 13.50275065530556, 1e-9, "PI high of row 25");
  ExpectRel(pr.SEFit[24], 0.98583461048268739, 1e-9, "se of row 25");
  EXPECT_TRUE(std::isnan(pr.Residual[24]));

  ExpectRel(r.Measures.LogLik, -48.216826216279216, 1e-9, "log-likelihood");
  ExpectRel(r.Measures.AIC, 112.43365243255843, 1e-9, "AIC");
  ExpectRel(r.Measures.BIC, 121.85808307534199, 1e-9, "BIC");
  const double resid[] = {0.11400986862134581, 3.836401435559222, -0.46123735888975592};
  const double fitted[] = {7.6579901313786545, 10.098598564440778, 6.7612373588897556};
  for (std::size_t i = 0; i < 3; ++i) {
    ExpectRel(r.Residuals[i], resid[i], 1e-9, "residual " + std::to_string(i + 1));
    ExpectRel(r.Estimates[i], fitted[i], 1e-12, "fitted " + std::to_string(i + 1));
    EXPECT_DOUBLE_EQ(r.FitPoints[i].Estimated, r.Estimates[i]);
    EXPECT_DOUBLE_EQ(r.FitPoints[i].Actual, YData[i]);
  }

  // The four sandwich types.
  const std::vector<std::vector<double>> hc = {
      {1.0950068722279125, 1.1122817555596134, 1.2417119875912344, 1.0580286210928678, 0.089806137218908788,
       0.29740562182496239, 0.39786887766335571},
      {1.3010620368948493, 1.321587656838159, 1.4753736883177717, 1.2571253274889218, 0.1067055913338343,
       0.35337053486092368, 0.4727386699743103},
      {1.3045921689757083, 1.3615669127330412, 1.4981395391374355, 1.2623862149898752, 0.1122281676145285,
       0.3573243207217015, 0.49065698090676818},
      {1.5637432815118559, 1.6776298846100952, 1.8262244848827363, 1.5291888488127077, 0.1410634230241683,
       0.43424146514564732, 0.61057051918864691}};
  const TRobustType types[] = {TRobustType::HC0, TRobustType::HC1, TRobustType::HC2, TRobustType::HC3};
  for (int k = 0; k < 4; ++k) {
    o.Robust = types[k];
    ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Region, X1, X2, Grade}, Y), o));
    const TRobustInference& ri = run.Result()->Robust;
    EXPECT_EQ(ri.Type, types[k]);
    ExpectInROrder(ri.StdErrors, hc[static_cast<std::size_t>(k)], 1e-9, RobustTypeName(types[k]));
    EXPECT_DOUBLE_EQ(ri.TValues[0], r.Coefficients[0] / ri.StdErrors[0]);
  }
}

// The plain fit (numeric inputs, intercept, no weights) keeps its own path; robust standard
// errors come on top of it. R on the demonstration data (mlrreport --csv > demo.csv):
//   d <- read.csv("demo.csv", check.names = FALSE); f <- lm(`Net Weight` ~ Length + Width, data = d)
//   sqrt(diag(sandwich::vcovHC(f, type = "HC2")))
TEST(MLROptions, RobustErrorsOfThePlainFitMatchR)
{
  TDataTable table;
  LoadDemoData(table);
  TMLRModelOptions o;
  o.Robust = TRobustType::HC2;
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {3, 4}, 6), o));
  ExpectInROrder(run.Result()->Robust.StdErrors, {22.08035856626482, 0.06208670650573278, 0.71198233452633131},
                 1e-9, "HC2");
  TMLRRun plain;
  ASSERT_TRUE(plain.Execute(table, MakeRoles(6, {3, 4}, 6)));
  EXPECT_EQ(run.ReportLines(), plain.ReportLines());
  EXPECT_TRUE(plain.Result()->Robust.StdErrors.empty());
}

TEST(MLROptions, NoInterceptFitsMatchR)
{
  TDataTable table;
  LoadOptionsData(table);
  table.Resize(6, 24);  // R's fits use rows 1 to 24
  TMLRModelOptions o;
  o.Intercept = false;
  TMLRRun run;
  // B: the first categorical input keeps every level.
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Region, X1}, Y), o)) << run.ErrorText();
  const TMLRResult& b = *run.Result();
  EXPECT_EQ(b.InputNames, (std::vector<std::string>{"region[north]", "region[south]", "region[east]",
                                                    "region[west]", "x1"}));
  ExpectInROrder(b.Coefficients, {3.83383694437333, 1.9561424107543053, -1.3802779489686952, 1.0863550564448035,
                                  0.7754143858142728}, 1e-9, "coefficient", false);
  ExpectInROrder(b.StdErrors, {1.5718818455752002, 1.9792195804223689, 1.8132572767108377, 1.6954235987494695,
                               0.2337862366405607}, 1e-9, "std. error", false);
  ExpectRel(b.Summary.SRes, 3.0292466482530016, 1e-9, "sigma");
  ExpectRel(b.Summary.R2, 0.82201809500052381, 1e-9, "uncentred R2");
  ExpectRel(b.Inference.AdjR2, 0.77518075157960897, 1e-9, "adjusted R2");
  ExpectRel(b.Summary.Anova.FValue, 17.550485039539176, 1e-9, "F");
  EXPECT_EQ(b.Summary.Anova.DFReg, 5);
  EXPECT_EQ(b.Inference.DFRes, 19);
  EXPECT_TRUE(b.CategoricalTerms[0].FullCoding);
  EXPECT_EQ(std::count(b.ReportLines.begin(), b.ReportLines.end(), NoInterceptNote), 1);
  for (const std::string& line : b.ReportLines)
    EXPECT_EQ(line.find("INTERCEPT"), std::string::npos) << line;
  EXPECT_EQ(b.Measures.Equation.rfind("y = 3.8338 * region[north] + 1.9561 * region[south]", 0), 0u)
      << b.Measures.Equation;

  // C: numeric inputs, weighted, HC3.
  o.WeightCol = W;
  o.Robust = TRobustType::HC3;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {X1, X2}, Y), o)) << run.ErrorText();
  const TMLRResult& c = *run.Result();
  ExpectInROrder(c.Coefficients, {1.1177772777814969, -0.52687579703432486}, 1e-9, "coefficient", false);
  ExpectInROrder(c.StdErrors, {0.15241264601001966, 0.35640432404964661}, 1e-9, "std. error", false);
  ExpectRel(c.Summary.SRes, 4.0052520484165077, 1e-9, "sigma");
  ExpectRel(c.Summary.R2, 0.80874890953303868, 1e-9, "uncentred R2");
  ExpectRel(c.Inference.AdjR2, 0.79136244676331491, 1e-9, "adjusted R2");
  ExpectRel(c.Summary.Anova.FValue, 46.516011925172535, 1e-9, "F");
  ExpectInROrder(c.Robust.StdErrors, {0.17552115571902269, 0.4062144371279901}, 1e-9, "HC3", false);
}

TEST(MLROptions, DefaultReferenceLevelMatchesR)
{
  TDataTable table;
  LoadOptionsData(table);
  TMLRModelOptions o;
  o.Robust = TRobustType::HC1;
  o.ReferenceLevels[Region] = 4;  // "central" has no objects: the lowest level present stands in
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Region, X1, X2}, Y), o)) << run.ErrorText();
  const TMLRResult& d = *run.Result();
  EXPECT_EQ(d.CategoricalTerms[0].Reference, "north");
  EXPECT_TRUE(d.CategoricalTerms[0].ReferenceReplaced);
  // Unweighted with an intercept: row 26 (weight 0 elsewhere) is an object here.
  EXPECT_EQ(d.UsedRows.size(), 25u);
  TDataTable first24;
  LoadOptionsData(first24);
  first24.Resize(6, 24);
  ASSERT_TRUE(run.Execute(first24, MakeRoles(6, {Region, X1, X2}, Y), o));
  const TMLRResult& r = *run.Result();
  ExpectInROrder(r.Coefficients, {4.2037710519284266, 0.053595653766891641, -4.3107745250909169,
                                  -0.38940138505679228, 0.86513058555620537, -1.1652868080604968}, 1e-9,
                 "coefficient");
  ExpectInROrder(r.StdErrors, {1.2670485056303233, 1.7209098859062726, 1.5294735390799141, 1.6268545206642755,
                               0.1896072983769182, 0.34420682380404577}, 1e-9, "std. error");
  ExpectRel(r.Summary.SRes, 2.4326906075305703, 1e-9, "sigma");
  ExpectRel(r.Summary.R2, 0.66819516163686699, 1e-9, "R2");
  ExpectRel(r.Summary.Anova.FValue, 7.2497513711963943, 1e-9, "F");
  ExpectRel(r.CategoricalTerms[0].FValue, 4.6565408646259234, 1e-9, "region F");
  ExpectRel(r.CategoricalTerms[0].PValue, 0.014055354192897, 1e-6, "region p");
  ExpectRel(r.CategoricalTerms[0].GVIF, 1.4621508654137023, 1e-9, "region GVIF");
  ExpectRel(r.CategoricalTerms[0].ScaledGVIF, 1.0653656687691282, 1e-9, "region scaled GVIF");
  ExpectRel(r.Inference.Coefficients[3].VIF, 1.1733004466496337, 1e-9, "x1 VIF");
  ExpectRel(r.Inference.Coefficients[4].VIF, 1.3430931339349976, 1e-9, "x2 VIF");
  ExpectInROrder(r.Robust.StdErrors, {0.6379528042232161, 1.5272172795052654, 1.1817568851260967,
                                      0.94050142723704599, 0.14248634657417544, 0.41043923871963978},
                 1e-9, "HC1");
  // The categorical fit without weights goes through the same statistics as the plain fit:
  // the same numbers as a fit on hand-made indicator columns.
  TDataTable coded;
  coded.Resize(6, 24);
  for (int row = 1; row <= 24; ++row) {
    const double level = RegionData[row - 1];
    coded.SetElem(1, row, level == 1);
    coded.SetElem(2, row, level == 2);
    coded.SetElem(3, row, level == 3);
    coded.SetElem(4, row, X1Data[row - 1]);
    coded.SetElem(5, row, X2Data[row - 1]);
    coded.SetElem(6, row, YData[row - 1]);
  }
  TMLRRun plain;
  ASSERT_TRUE(plain.Execute(coded, MakeRoles(6, {1, 2, 3, 4, 5}, 6)));
  for (std::size_t j = 0; j < 6; ++j)
    ExpectRel(plain.Result()->Coefficients[j], r.Coefficients[j], 1e-12, "hand-coded " + std::to_string(j));
  ExpectRel(plain.Summary().R2, r.Summary.R2, 1e-12, "hand-coded R2");
}

TEST(MLROptions, BadWeightsAndLevelsAreRefusedWithTheirRowOrColumn)
{
  TDataTable table;
  LoadOptionsData(table);
  TMLRModelOptions o;
  o.WeightCol = W;
  TMLRRun run;
  table.SetElem(W, 7, -0.5);
  EXPECT_FALSE(run.Execute(table, MakeRoles(6, {X1}, Y), o));
  EXPECT_EQ(run.Status(), TRunStatus::InvalidOptions);
  EXPECT_EQ(run.ErrorText(),
            "The weight in row 7 of column \"w\" is -0.5: weights must be finite and not negative");
  table.SetElem(W, 7, std::numeric_limits<double>::infinity());
  EXPECT_FALSE(run.Execute(table, MakeRoles(6, {X1}, Y), o));
  EXPECT_EQ(run.ErrorText(), "The weight in row 7 of column \"w\" is inf: weights must be finite and not negative");
  // An empty weight leaves its object out like a missing value.
  table.SetCellState(W, 7, csEmpty);
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {X1}, Y), o)) << run.ErrorText();
  EXPECT_EQ(run.Result()->LeftOutRows, (std::vector<int>{7, 25}));
  EXPECT_EQ(run.Summary().NrOfMissing, 2);

  EXPECT_FALSE(run.Execute(table, MakeRoles(6, {X1, W}, Y), o));
  EXPECT_EQ(run.ErrorText(), "The weight column \"w\" cannot also be an input variable");
  o.WeightCol = Y;
  EXPECT_FALSE(run.Execute(table, MakeRoles(6, {X1}, Y), o));
  EXPECT_EQ(run.ErrorText(), "The weight column \"y\" cannot also be the target variable");

  // 151 levels in 160 rows, then indicators wider than the rows.
  TDataTable wide;
  wide.Resize(2, 160);
  wide.SetColName(1, "code");
  wide.SetColName(2, "y");
  wide.SetVarType(1, vtNominal);
  for (int r = 1; r <= 160; ++r) {
    wide.SetElem(1, r, std::min(r - 1, 150));
    wide.SetElem(2, r, r % 7);
  }
  EXPECT_FALSE(run.Execute(wide, MakeRoles(2, {1}, 2)));
  EXPECT_EQ(run.Status(), TRunStatus::InvalidOptions);
  EXPECT_EQ(run.ErrorText(), "The categorical input \"code\" has more than 150 levels in the objects used");
  // 150 levels in 150 objects: 150 coefficients leave no residual degree of freedom.
  for (int r = 1; r <= 160; ++r)
    wide.SetElem(1, r, (r - 1) % 150);
  for (int r = 151; r <= 160; ++r)
    wide.SetCellState(2, r, csEmpty);
  EXPECT_FALSE(run.Execute(wide, MakeRoles(2, {1}, 2)));
  EXPECT_EQ(run.Status(), TRunStatus::TooFewObjects);
  EXPECT_EQ(run.ErrorText(), "Not enough valid objects: 150 (the model has 150 coefficients, with the "
                             "indicators of \"code\", and needs at least 151)");
  for (int r = 1; r <= 160; ++r)
    wide.SetElem(1, r, 3);
  EXPECT_FALSE(run.Execute(wide, MakeRoles(2, {1}, 2)));
  EXPECT_EQ(run.ErrorText(),
            "The categorical input \"code\" takes a single level in the objects used: the model has no input left");
}

TEST(MLROptions, ExactCollinearityAndUnitLeverageAreReportedNotHidden)
{
  TDataTable table;
  LoadOptionsData(table);
  // x2 becomes the indicator of "east": exactly collinear with region[east].
  for (int r = 1; r <= 26; ++r)
    table.SetElem(X2, r, RegionData[r - 1] == 2 ? 1.0 : 0.0);
  TMLRModelOptions o;
  o.Robust = TRobustType::HC3;
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Region, X2}, Y), o)) << run.ErrorText();
  const TMLRResult& c = *run.Result();
  EXPECT_TRUE(c.NearSingular);
  EXPECT_TRUE(c.Inference.Coefficients[1].Collinear);  // region[east]
  EXPECT_TRUE(c.Inference.Coefficients[3].Collinear);  // x2
  EXPECT_TRUE(std::isnan(c.CategoricalTerms[0].FValue));
  EXPECT_TRUE(std::isnan(c.Robust.StdErrors[0]));
  EXPECT_EQ(c.ExtendedLines.back(), " HC3 standard errors are n/a: the inputs are collinear");
  // The details report's two tables, the coefficient tests, the categorical inputs and the
  // robust standard errors, each in its place in the document.
  ExpectDocumentIsTheReport(c, 5 + (c.Influence.Flagged.empty() ? 0 : 1));

  // A level with a single object: its indicator fits that object exactly (h = 1), which HC2
  // and HC3 divide by.
  LoadOptionsData(table);
  table.SetElem(Region, 5, 4);  // the only "central" object
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Region, X1}, Y), o)) << run.ErrorText();
  const TMLRResult& h = *run.Result();
  EXPECT_EQ(h.Robust.NrOfUnitLeverage, 1);
  for (double se : h.Robust.StdErrors)
    EXPECT_TRUE(std::isnan(se));
  EXPECT_EQ(h.ExtendedLines.back(), " HC3 standard errors are n/a: 1 object has leverage 1, and HC3 divides by 1 - h");
  o.Robust = TRobustType::HC0;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Region, X1}, Y), o));
  for (double se : run.Result()->Robust.StdErrors)
    EXPECT_TRUE(std::isfinite(se) && se > 0);
}

TEST(MLROptions, ExtendedBlockNamesTheOptions)
{
  TDataTable table;
  LoadOptionsData(table);
  TMLRModelOptions o;
  o.WeightCol = W;
  o.Robust = TRobustType::HC2;
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Region, X1, Grade}, Y), o)) << run.ErrorText();
  const std::vector<std::string>& l = run.Result()->ExtendedLines;
  auto has = [&](const std::string& Line) { return std::find(l.begin(), l.end(), Line) != l.end(); };
  EXPECT_TRUE(has(" Weights: column \"w\" (weighted least squares); objects of weight 0 left out: 1"));
  EXPECT_TRUE(has(" Ordinal inputs taken as numbers (their level numbers): \"grade\""));
  EXPECT_TRUE(has(" Categorical input \"region\": reference level \"north\"; levels without objects dropped: \"central\""));
  EXPECT_TRUE(has(" Categorical inputs (F test of all indicators together; generalized VIF):"));
  EXPECT_TRUE(has(" Robust standard errors (HC2), t tests and 95 % confidence intervals:"));
  EXPECT_TRUE(has(" Objects used: 24 of 26"));
  // The extended block shows an indicator's name whole (the fixed report's column cuts it).
  const auto whole = std::count_if(l.begin(), l.end(), [](const std::string& s) { return s.rfind(" region[south] ", 0) == 0; });
  EXPECT_EQ(whole, 2);  // the coefficient and the robust tables
  // The fixed report counts the indicators in its degrees of freedom and lists them.
  const std::vector<std::string>& rep = run.ReportLines();
  EXPECT_EQ(rep[2], "Number of Input Variables .....: 5");
  EXPECT_EQ(rep[3], "Degrees of Freedom ............: 18");
  EXPECT_TRUE(std::any_of(rep.begin(), rep.end(), [](const std::string& s) { return s.rfind(" region[east]", 0) == 0; }));
}

}  // namespace
