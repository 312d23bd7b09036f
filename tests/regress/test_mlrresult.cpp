// The result value of the regression run: it outlives later runs unchanged; the influence
// measures, predictions, model measures and report additions against R 4.2.
#include "demodata.h"
#include "mlrrun.h"
#include "mlrrun_testutil.h"
#include "mlrtable.h"
#include "orvex_datatable.h"
#include "orvex_stringl.h"

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

void ExpectClose(double Actual, double Expected, double RelTol, const std::string& What)
{
  EXPECT_NEAR(Actual, Expected, RelTol * std::fabs(Expected)) << What;
}

// Every object's DFBETAS, object after object, as the result computes them when asked.
std::vector<double> AllDFBetas(const TInfluence& F)
{
  std::vector<double> all(F.Hat.size() * static_cast<std::size_t>(F.NrOfCoefficients));
  for (std::size_t i = 0; i < F.Hat.size(); ++i)
    F.DFBetaRow(static_cast<int>(i), all.data() + i * static_cast<std::size_t>(F.NrOfCoefficients));
  return all;
}

// Index of a table row among the objects used.
std::size_t ObjectOf(const TMLRResult& R, int Row)
{
  for (std::size_t i = 0; i < R.UsedRows.size(); ++i)
    if (R.UsedRows[i] == Row)
      return i;
  ADD_FAILURE() << "row " << Row << " not used";
  return 0;
}

// Index of a table row among the predictions.
std::size_t PredictionOf(const TMLRResult& R, int Row)
{
  for (std::size_t i = 0; i < R.Predictions.Rows.size(); ++i)
    if (R.Predictions.Rows[i] == Row)
      return i;
  ADD_FAILURE() << "row " << Row << " not predicted";
  return 0;
}

// The demonstration example against R 4.2 (every object was compared, to 2e-12; the rows
// pinned here are an ordinary one and the two flagged ones):
//   d <- read.csv("demo.csv", check.names=FALSE)    # mlrreport --csv
//   f <- lm(`Net Weight` ~ Length + Width, data=d); im <- influence.measures(f)
//   print(im$infmat[c(1, 29, 31), ], digits=17)
//   print(rstandard(f)[c(1, 29, 31)], digits=17); print(rstudent(f)[c(1, 29, 31)], digits=17)
//   which(apply(im$is.inf, 1, any))                 # 29 31, both for cov.r
//   predict(f, newdata=d[c(1, 29), ], interval="prediction", se.fit=TRUE)
//   predict(f, newdata=d[c(1, 29), ], interval="confidence")
//   print(c(logLik(f), AIC(f), BIC(f)), digits=17)
//   cf <- coef(f); cf[-1] * c(sd(d$Length), sd(d$Width)) / sd(d$`Net Weight`)
TEST(MLRResult, DemonstrationInfluencePredictionsAndMeasuresMatchR)
{
  TDataTable table;
  LoadDemoData(table);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight)));
  const TMLRResult& r = *run.Result();
  const TInfluence& f = r.Influence;
  ASSERT_TRUE(f.Available);
  EXPECT_EQ(f.Rank, 3);
  struct TRow {
    int Row;
    double DfbLength, DfbWidth, DfbIntercept, DFFits, CovRatio, Cook, Hat, RStandard, RStudent;
  };
  const TRow expected[] = {
      {1, 0.0093004291839017053, -0.0065069587695409234, 0.0094157006828353585, 0.10511024633724166,
       1.07499619909084809, 0.0037406140125469654, 0.025200716528891449, 0.65884496541566473,
       0.65372668018376479},
      {29, -0.5955368972515256987, 0.5114748817403097503, -0.3764720711272726561, -0.74882967180010496,
       0.73853474015775200, 0.1641052708231133528, 0.083648367818336705, -2.32233162156279649,
       -2.47847982406277101},
      {31, -0.1184541519874962728, -0.4223697243376776655, 0.5302267766684037875, -0.76339532595551074,
       0.68082769282805811, 0.1664980255737360249, 0.075180803979435912, -2.47879211608372918,
       -2.67746887840965853},
  };
  for (const TRow& e : expected) {
    const std::size_t i = ObjectOf(r, e.Row);
    const int o = static_cast<int>(i);
    const std::string at = " of row " + std::to_string(e.Row);
    ExpectClose(f.DFBeta(o, 0), e.DfbLength, 1e-9, "DFBETAS Length" + at);
    ExpectClose(f.DFBeta(o, 1), e.DfbWidth, 1e-9, "DFBETAS Width" + at);
    ExpectClose(f.DFBeta(o, 2), e.DfbIntercept, 1e-9, "DFBETAS intercept" + at);
    ExpectClose(f.DFFits[i], e.DFFits, 1e-9, "DFFITS" + at);
    ExpectClose(f.CovRatio[i], e.CovRatio, 1e-9, "COVRATIO" + at);
    ExpectClose(f.CooksDistance[i], e.Cook, 1e-9, "Cook" + at);
    ExpectClose(f.Hat[i], e.Hat, 1e-9, "h" + at);
    ExpectClose(f.RStandard[i], e.RStandard, 1e-9, "rstandard" + at);
    ExpectClose(f.RStudent[i], e.RStudent, 1e-9, "rstudent" + at);
  }
  EXPECT_EQ(f.Flagged, (std::vector<int>{static_cast<int>(ObjectOf(r, 29)), static_cast<int>(ObjectOf(r, 31))}));
  EXPECT_EQ(f.Flags[ObjectOf(r, 29)], ifCovRatio);
  // The leverages of a fit with an intercept add up to the number of coefficients.
  double sumH = 0;
  for (double h : f.Hat)
    sumH += h;
  EXPECT_NEAR(sumH, 3.0, 1e-12);

  const TPredictions& p = r.Predictions;
  ASSERT_EQ(p.Rows.size(), 40u);
  EXPECT_EQ(p.NrOfPredictedOnly, 0);
  const std::size_t a1 = PredictionOf(r, 1), a29 = PredictionOf(r, 29);
  ExpectClose(p.Estimate[a1], 106.01995789918108, 1e-12, "estimate of row 1");
  ExpectClose(p.SEFit[a1], 1.2153423358697122, 1e-9, "se of row 1");
  ExpectClose(p.PILow[a1], 90.31353350557707, 1e-9, "PI low of row 1");
  ExpectClose(p.PIHigh[a1], 121.72638229278509, 1e-9, "PI high of row 1");
  ExpectClose(p.CILow[a1], 103.55744041824168, 1e-9, "CI low of row 1");
  ExpectClose(p.CIHigh[a1], 108.48247538012048, 1e-9, "CI high of row 1");
  ExpectClose(p.SEFit[a29], 2.2142207566389014, 1e-9, "se of row 29");
  ExpectClose(p.CILow[a29], 112.53308999916554, 1e-9, "CI low of row 29");
  ExpectClose(p.PIHigh[a29], 133.16746521755124, 1e-9, "PI high of row 29");
  EXPECT_EQ(p.Residual[a29], table.Elem(NetWeight, 29) - p.Estimate[a29]);

  ExpectClose(r.Measures.LogLik, -136.61699932339542, 1e-12, "log-likelihood");
  ExpectClose(r.Measures.AIC, 281.23399864679084, 1e-12, "AIC");
  ExpectClose(r.Measures.BIC, 287.98951646324656, 1e-12, "BIC");
  ExpectClose(r.Measures.Beta[0], 0.73786280521891834, 1e-12, "beta of Length");
  ExpectClose(r.Measures.Beta[1], 0.30423683527188716, 1e-12, "beta of Width");
  EXPECT_EQ(r.Measures.Equation, "Net Weight = -135.09 + 0.68442 * Length + 3.3732 * Width");
}

// Data of our own: a dummy input that is 1 in row 3 only (leverage 1), a missing input in row
// 8 and missing targets in rows 11 and 13, against R 4.2:
//   d <- read.csv("own.csv")     # the columns below, NA for the missing cells
//   f <- lm(y ~ x1 + x2 + d, data=d); im <- influence.measures(f)
//   print(im$infmat["14", ], digits=17); print(rstudent(f)["14"], digits=17)
//   which(apply(im$is.inf, 1, any))   # 14 (dfb, dffit)
//   hatvalues(f)["3"]                  # 1
//   predict(f, newdata=d[c(11, 13), ], interval="prediction", se.fit=TRUE)
//   predict(f, newdata=d[c(11, 13), ], interval="confidence")
//   print(c(logLik(f), AIC(f), BIC(f)), digits=17)
// R gives DFBETAS 0 for the object of leverage 1 (its coefficient change is 0 / 0); ours are
// NaN like every measure that divides by 1 - h.
TEST(MLRResult, UnitLeverageAndMissingTargetsMatchR)
{
  const double nan = std::nan("");
  const std::vector<std::vector<double>> cols = {
      {2.5, 3.1, 4.7, 5.2, 6.8, 7.1, 8.9, 9.4, 10.2, 11.8, 12.5, 13.3, 14.1, 15.6},
      {1.2, 0.8, 2.9, 1.7, 3.3, 2.1, 4.8, nan, 2.2, 5.1, 4.4, 6.0, 3.9, 5.5},
      {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {7.9, 8.4, 31.0, 13.1, 17.9, 15.2, 24.3, 21.0, 19.8, 27.7, nan, 31.9, nan, 35.2}};
  TDataTable table;
  table.Resize(4, 14);
  const char* names[] = {"x1", "x2", "d", "y"};
  for (int c = 1; c <= 4; ++c) {
    table.SetColName(c, names[c - 1]);
    for (int row = 1; row <= 14; ++row) {
      const double v = cols[static_cast<std::size_t>(c - 1)][static_cast<std::size_t>(row - 1)];
      if (std::isnan(v))
        table.SetCellState(c, row, csNotANumber);
      else
        table.SetElem(c, row, v);
    }
  }
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(4, {1, 2, 3}, 4))) << run.ErrorText();
  const TMLRResult& r = *run.Result();
  EXPECT_EQ(r.LeftOutRows, (std::vector<int>{8, 11, 13}));
  const TInfluence& f = r.Influence;
  const std::size_t i3 = ObjectOf(r, 3), i14 = ObjectOf(r, 14);
  EXPECT_EQ(f.Hat[i3], 1.0);
  EXPECT_EQ(f.NrOfUnitLeverage, 1);
  for (double v : {f.RStandard[i3], f.RStudent[i3], f.CooksDistance[i3], f.DFFits[i3],
                   f.CovRatio[i3], f.DFBeta(static_cast<int>(i3), 0)})
    EXPECT_TRUE(std::isnan(v));
  const int o14 = static_cast<int>(i14);
  ExpectClose(f.DFBeta(o14, 0), 1.88391513801350485, 1e-9, "DFBETAS x1");
  ExpectClose(f.DFBeta(o14, 1), -0.90669387809395319, 1e-9, "DFBETAS x2");
  ExpectClose(f.DFBeta(o14, 2), 0.53253445646302089, 1e-9, "DFBETAS d");
  ExpectClose(f.DFBeta(o14, 3), -1.52586057769525540, 1e-9, "DFBETAS intercept");
  ExpectClose(f.DFFits[i14], 2.81309087292638793, 1e-9, "DFFITS");
  ExpectClose(f.CovRatio[i14], 0.07290928102380223, 1e-9, "COVRATIO");
  ExpectClose(f.CooksDistance[i14], 0.88505107342974365, 1e-9, "Cook");
  ExpectClose(f.Hat[i14], 0.45063575651959598, 1e-9, "h");
  ExpectClose(f.RStudent[i14], 3.1059977147492814, 1e-9, "rstudent");
  EXPECT_EQ(f.Flagged, std::vector<int>{o14});
  EXPECT_EQ(f.Flags[i14], ifDFBeta | ifDFFit);

  // Rows 11 and 13 are predicted without being used; row 8 (no x2) is not predicted.
  const TPredictions& p = r.Predictions;
  EXPECT_EQ(p.Rows.size(), 13u);
  EXPECT_EQ(p.NrOfPredictedOnly, 2);
  for (int row : p.Rows)
    EXPECT_NE(row, 8);
  const std::size_t a11 = PredictionOf(r, 11), a13 = PredictionOf(r, 13);
  EXPECT_TRUE(std::isnan(p.Residual[a11]));
  EXPECT_EQ(p.Used[a11], 0);
  EXPECT_EQ(p.Used[PredictionOf(r, 12)], 1);
  ExpectClose(p.Estimate[a11], 27.833246122498959, 1e-12, "estimate of row 11");
  ExpectClose(p.SEFit[a11], 0.30479664398436013, 1e-9, "se of row 11");
  ExpectClose(p.CILow[a11], 27.112516586329448, 1e-9, "CI low of row 11");
  ExpectClose(p.PIHigh[a11], 29.509077906565032, 1e-9, "PI high of row 11");
  ExpectClose(p.Estimate[a13], 28.887972887719101, 1e-12, "estimate of row 13");
  ExpectClose(p.SEFit[a13], 0.51015889979314144, 1e-9, "se of row 13");
  ExpectClose(p.CIHigh[a13], 30.094306994335856, 1e-9, "CI high of row 13");
  ExpectClose(p.PILow[a13], 26.952978551560516, 1e-9, "PI low of row 13");
  ExpectClose(r.Measures.LogLik, -8.2101345149612133, 1e-11, "log-likelihood");
  ExpectClose(r.Measures.AIC, 26.4202690299224265, 1e-11, "AIC");
  ExpectClose(r.Measures.BIC, 28.4097453939142781, 1e-11, "BIC");
}

TEST(MLRResult, ExtendedBlockAdditions)
{
  TDataTable table;
  LoadDemoData(table);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight)));
  const std::vector<std::string>& l = run.Result()->ExtendedLines;
  EXPECT_EQ(run.ExtendedLines(), l);
  std::size_t at = 0;
  while (at < l.size() && l[at].rfind(" Fitted equation", 0) != 0)
    ++at;
  ASSERT_EQ(l.size(), at + 12);
  const std::vector<std::string> expected = {
      " Fitted equation: Net Weight = -135.09 + 0.68442 * Length + 3.3732 * Width",
      " Standardized (beta) coefficients: Length 0.73786, Width 0.30424",
      " Log-likelihood: -136.62 (df 4),  AIC: 281.23,  BIC: 287.99",
      " Rules of influence: |DFBETAS| > 1, |DFFITS| > 0.85424, |1 - COVRATIO| > 0.24324,",
      "   Cook's D > 0.80340, h > 0.22500",
      " Influential objects (2 of 40; a * marks a broken rule):",
      " " + std::string(84, '-'),
      "     Row Name       max|DFBETAS|       DFFITS     COVRATIO     Cook's D            h",
      " " + std::string(84, '-'),
      "      29 R-29            0.59554     -0.74883      0.73853*     0.16411     0.083648",
      "      31 R-31            0.53023     -0.76340      0.68083*     0.16650     0.075181",
      " " + std::string(84, '-')};
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(l[at + i], expected[i]);

  // A negative slope is written with " - "; an object of leverage 1 is named.
  TDataTable t2;
  t2.Resize(3, 6);
  const double x[6] = {1, 2, 3, 4, 5, 6}, d[6] = {0, 0, 1, 0, 0, 0}, y[6] = {9, 7.5, 20, 4.2, 2.9, 1};
  for (int r = 1; r <= 6; ++r) {
    t2.SetElem(1, r, x[r - 1]);
    t2.SetElem(2, r, d[r - 1]);
    t2.SetElem(3, r, y[r - 1]);
  }
  t2.SetColName(1, "x");
  t2.SetColName(2, "d");
  t2.SetColName(3, "y");
  ASSERT_TRUE(run.Execute(t2, MakeRoles(3, {1, 2}, 3)));
  const std::vector<std::string>& l2 = run.ExtendedLines();
  bool minus = false, unit = false;
  for (const std::string& s : l2) {
    minus |= s.rfind(" Fitted equation: y = ", 0) == 0 && s.find(" - ") != std::string::npos;
    unit |= s == " Objects of leverage 1 (the measures that divide by 1 - h are n/a): rows 3";
  }
  EXPECT_TRUE(minus);
  EXPECT_TRUE(unit);
}

TEST(MLRResult, LongListsOfInfluentialObjectsAreCut)
{
  // 210 objects on a line with an outlier every seventh: the 30 outliers break the COVRATIO
  // rule, so the list shows 20 and counts the rest.
  TDataTable table;
  table.Resize(2, 210);
  for (int r = 1; r <= 210; ++r) {
    table.SetElem(1, r, r);
    table.SetElem(2, r, 0.5 * r + (r % 7 == 0 ? 100 : (r % 3) - 1));
  }
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(2, {1}, 2)));
  const TMLRResult& r = *run.Result();
  const std::size_t flagged = r.Influence.Flagged.size();
  ASSERT_GT(flagged, 20u);
  const std::vector<std::string>& l = r.ExtendedLines;
  EXPECT_EQ(l.back(), " and " + std::to_string(flagged - 20) + " more");
  EXPECT_EQ(l[l.size() - 2], " " + std::string(84, '-'));
  EXPECT_EQ(l[l.size() - 3].substr(0, 11), std::string(8 - std::to_string(r.UsedRows[static_cast<std::size_t>(r.Influence.Flagged[19])]).size(), ' ') +
                                               std::to_string(r.UsedRows[static_cast<std::size_t>(r.Influence.Flagged[19])]) + " R-");
  // The result's table holds every flagged object.
  EXPECT_EQ(r.Tables.back().Rows.size(), flagged);
}

TEST(MLRResult, TablesRenderToTextTsvAndHtml)
{
  TDataTable table;
  LoadDemoData(table);
  table.SetColName(Width, "W<i>&\"dth\"");
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight)));
  const TMLRResult& r = *run.Result();
  ASSERT_EQ(r.Tables.size(), 3u);
  const TReportTable& coef = r.Tables[1];
  const std::vector<std::string> tsv = RenderTableTsv(coef);
  ASSERT_EQ(tsv.size(), 4u);
  EXPECT_EQ(tsv[0], "Coefficient\tEstimate\tStd. Error\tt value\tPr(>|t|)\tCI 2.5 %\tCI 97.5 %\tVIF\tBeta");
  EXPECT_EQ(tsv[1], "Length\t0.68442\t0.058846\t11.631\t6.3990e-14\t0.56518\t0.80365\t1.5445\t0.73786");
  EXPECT_EQ(tsv[3], "INTERCEPT\t-135.09\t22.448\t-6.0178\t5.9392e-07\t-180.57\t-89.605\t\t");
  const std::string html = RenderTableHtml(coef);
  EXPECT_NE(html.find("<caption> Coefficients:</caption>"), std::string::npos);
  EXPECT_NE(html.find("<tr><td>W&lt;i&gt;&amp;&quot;dth&quot;</td><td style=\"text-align:right\">3.3732</td>"),
            std::string::npos)
      << html;
  EXPECT_EQ(html.substr(html.size() - 9), "</table>\n");
  // The fixed text: columns at their widths after one space, long names cut, no trailing blanks.
  const std::vector<std::string> text = RenderTableText(r.Tables[0]);
  ASSERT_EQ(text.size(), 8u);
  EXPECT_EQ(text[0], " Analysis of variance:");
  EXPECT_EQ(text[2], " Source           DF Sum of squares Mean square           F      Pr(>F)");
  EXPECT_EQ(text[4], " Regression        2          20324       10162      173.38     < 1e-16");
  EXPECT_EQ(text[6], " Total            39          22493");
  const std::vector<std::string> coefText = RenderTableText(coef);
  EXPECT_EQ(coefText[5].substr(0, 14), " W<i>&\"dth\"   ");
}

TEST(MLRResult, RecycledBuffersAndRunsWithoutInfluenceGiveFreshFigures)
{
  // A result nobody holds hands its buffers to the next one: a run of another size and then
  // of the first one again must give exactly the figures of a fresh run object.
  TDataTable table;
  LoadDemoData(table);
  TDataTable shorter;
  LoadDemoData(shorter);
  shorter.Resize(6, 25);
  const TRoleState roles = MakeRoles(6, {Length, Width}, NetWeight);
  TMLRRun fresh, reused;
  ASSERT_TRUE(fresh.Execute(table, roles));
  ASSERT_TRUE(reused.Execute(table, MakeRoles(6, {1, 2, Length}, NetWeight)));
  ASSERT_TRUE(reused.Execute(shorter, roles));
  EXPECT_EQ(reused.Result()->Influence.Hat.size(), 25u);
  ASSERT_TRUE(reused.Execute(table, roles));
  const TMLRResult& a = *fresh.Result();
  const TMLRResult& b = *reused.Result();
  EXPECT_EQ(AllDFBetas(a.Influence), AllDFBetas(b.Influence));
  EXPECT_EQ(a.Influence.CovRatio, b.Influence.CovRatio);
  EXPECT_EQ(a.Influence.Flagged, b.Influence.Flagged);
  EXPECT_EQ(a.Predictions.PIHigh, b.Predictions.PIHigh);
  EXPECT_EQ(a.Predictions.Rows, b.Predictions.Rows);
  EXPECT_EQ(a.ExtendedLines, b.ExtendedLines);

  TMLRRun plain;
  plain.SetInfluence(false);
  ASSERT_TRUE(plain.Execute(table, roles));
  const TMLRResult& c = *plain.Result();
  EXPECT_FALSE(c.Influence.Available);
  EXPECT_TRUE(c.Influence.Hat.empty());
  EXPECT_TRUE(c.Predictions.Rows.empty());
  EXPECT_EQ(c.Measures.AIC, a.Measures.AIC);  // the rank of a fit without a dependence
  EXPECT_EQ(c.ReportLines, a.ReportLines);
}

// The report as blocks of lines and tables: rendered whole it is the report character for
// character; the details report's analysis of variance and coefficients are tables of their
// own, whose other renderings hold the bare numbers.
TEST(MLRResult, ReportDocumentIsTheReportWithItsTables)
{
  TDataTable table;
  LoadDemoData(table);
  TMLRRun run;
  ASSERT_TRUE(run.Execute(table, MakeRoles(6, {Length, Width}, NetWeight)));
  const TMLRResult& r = *run.Result();
  // The details report's two tables, the coefficient tests and the influential objects.
  ExpectDocumentIsTheReport(r, r.Influence.Flagged.empty() ? 3 : 4);
  ASSERT_EQ(r.ReportTables.size(), 2u);
  const std::vector<std::string> anova = RenderTableTsv(r.ReportTables[0].Table);
  ASSERT_EQ(anova.size(), 4u);
  EXPECT_EQ(anova[0], "Source\tDF\tSum of squares\tMean square\tF");
  // The numbers as the report writes them, without the padding of their fields.
  auto bare = [](std::string S) { return S.substr(S.find_first_not_of(' ')); };
  EXPECT_EQ(anova[3], "Total\t39\t" + bare(FormatReal(r.Summary.Anova.SSTot, 12, -2)));
  const std::vector<std::string> coef = RenderTableTsv(r.ReportTables[1].Table);
  ASSERT_EQ(coef.size(), 4u);
  EXPECT_EQ(coef[1].substr(0, 20), "INTERCEPT\t" + bare(FormatReal(r.Coefficients[2], 14, -2)).substr(0, 10));
  // The table sits where its lines are: its first line is the title above the coefficients.
  EXPECT_EQ(r.ReportLines[r.ReportTables[1].FirstLine], " Regression coefficients:");
  const std::string html = RenderDocumentHtml(ReportDocument(r, false));
  EXPECT_EQ(html.substr(0, 34), "<pre>Number of Objects ...........");
  EXPECT_NE(html.find("<td>INTERCEPT</td>"), std::string::npos) << html;

  // A column that repeats another times two: its tests are one centred text, also through the
  // document; without an intercept the coefficients' table has no intercept row.
  table.InsertColumn(7);
  for (int row = 1; row <= table.NrOfRows(); ++row)
    table.SetElem(7, row, 2 * table.Elem(Length, row));
  ASSERT_TRUE(run.Execute(table, MakeRoles(7, {Length, Width, 7}, NetWeight)));
  const TMLRResult& c = *run.Result();
  ASSERT_TRUE(c.NearSingular);
  ExpectDocumentIsTheReport(c, c.ExtendedTables.size() + 2);
  TMLRModelOptions noIntercept;
  noIntercept.Intercept = false;
  ASSERT_TRUE(run.Execute(table, MakeRoles(7, {Length, Width}, NetWeight), noIntercept));
  ExpectDocumentIsTheReport(*run.Result(), run.Result()->ExtendedTables.size() + 2);
  EXPECT_EQ(run.Result()->ReportTables[1].Table.Rows.size(), 2u);
}

// The fixed text of a table: each cell after its column's text, numbers that widen their line,
// a span centred over its columns' whole width, and a heading of its own or none.
TEST(MLRResult, TableTextHonoursWideningSpansAndOwnHeadings)
{
  TReportTable t;
  t.Title = "T";
  t.Columns = {{"Name", 4, TColumnAlign::Left}, {"A", 5, TColumnAlign::Right, " +/-", true},
               {"B", 3, TColumnAlign::Right}, {"C", 3, TColumnAlign::Right}};
  t.Rows = {{"abcdef", "1234567", "12345", "1"}, {"x", "1", "wide", ""}, {"y", "2", "3", "4"}};
  t.Spans = {{1, 2, 2}};
  std::vector<std::string> text = RenderTableText(t);
  ASSERT_EQ(text.size(), 8u);
  EXPECT_EQ(text[1], " " + std::string(21, '-'));  // 1+4 + 4+5 + 1+3 + 1+3 = 22
  EXPECT_EQ(text[2], " Name +/-    A   B   C");
  EXPECT_EQ(text[4], " abcd +/-1234567 123   1");  // the name and B cut, A widened
  EXPECT_EQ(text[5], " x    +/-    1  wide");      // "wide" centred over 8 characters
  EXPECT_EQ(text[6], " y    +/-    2   3   4");
  t.TextHeader = std::vector<std::string>{" own heading"};
  t.TextWidth = 10;
  text = RenderTableText(t);
  EXPECT_EQ(text[1], " ---------");
  EXPECT_EQ(text[2], " own heading");
  t.TextHeader = std::vector<std::string>();
  text = RenderTableText(t);
  ASSERT_EQ(text.size(), 6u);
  EXPECT_EQ(text[2], " abcd +/-1234567 123   1");
  // Only the fixed text is shaped: the TSV keeps every cell whole.
  EXPECT_EQ(RenderTableTsv(t)[1], "abcdef\t1234567\t12345\t1");
}

// The influence measures and predictions take the solve's own triangular factor: they equal, bit
// for bit, those of a run whose solver leaves no factor behind and that reduces the design
// again, on a design large enough to be reduced, on one and two threads.
TEST(MLRResult, InfluenceFromTheSolvesFactorEqualsASecondReduction)
{
  TDataTable table;
  const int rows = 5000;  // beyond the small designs the solve takes in extended precision
  table.Resize(4, rows);
  for (int r = 1; r <= rows; ++r) {
    const double a = std::sin(r * 0.37) * 5, b = std::cos(r * 0.11) + r * 1e-3, c = std::sin(r * 1.7);
    table.SetElem(1, r, a);
    table.SetElem(2, r, b);
    table.SetElem(3, r, c);
    table.SetElem(4, r, 1 + 2 * a - b + 0.1 * c + std::sin(r * 12.9898) * 0.2);
  }
  table.SetCellState(4, 17, csEmpty);  // predicted, not used
  const TRoleState roles = MakeRoles(4, {1, 2, 3}, 4);
  for (int threads : {1, 2}) {
    SetMathThreadCount(threads);
    TMLRRun own, again;
    again.SetSolver([](TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NearSingular) {
      return MultiLinearRegression(A, B, X, Sig, NearSingular);
    });
    ASSERT_TRUE(own.Execute(table, roles));
    ASSERT_TRUE(again.Execute(table, roles));
    const TMLRResult& a = *own.Result();
    const TMLRResult& b = *again.Result();
    ASSERT_EQ(a.Coefficients, b.Coefficients);
    ASSERT_EQ(a.Influence.Hat.size(), static_cast<std::size_t>(rows - 1));
    EXPECT_EQ(a.Influence.Hat, b.Influence.Hat);
    EXPECT_EQ(AllDFBetas(a.Influence), AllDFBetas(b.Influence));
    EXPECT_EQ(a.Influence.CovRatio, b.Influence.CovRatio);
    EXPECT_EQ(a.Predictions.SEFit, b.Predictions.SEFit);
    EXPECT_EQ(a.Predictions.Rows.size(), static_cast<std::size_t>(rows));
    EXPECT_EQ(a.ExtendedLines, b.ExtendedLines);
  }
  SetMathThreadCount(0);
  // A small design, solved without a factor, after the large one: nothing of its factor stays.
  TDataTable small;
  small.Resize(4, 30);
  for (int c = 1; c <= 4; ++c)
    for (int r = 1; r <= 30; ++r)
      small.SetElem(c, r, table.Elem(c, r));
  TMLRRun reused, fresh;
  ASSERT_TRUE(reused.Execute(table, roles));
  ASSERT_TRUE(reused.Execute(small, roles));
  ASSERT_TRUE(fresh.Execute(small, roles));
  EXPECT_EQ(reused.Result()->Influence.Hat, fresh.Result()->Influence.Hat);
}

}  // namespace
