// The extended block's additions made from the result value (the fitted equation, the beta
// coefficients, the log-likelihood with AIC and BIC, the influential objects) and the report's
// tables (analysis of variance, coefficients, influential objects) that render to fixed text,
// tab-separated text and HTML.
#include "mlrrun.h"
#include "mlrrun_text.h"
#include "mlrtable.h"

#include "orvex_datatable.h"
#include "orvex_stringl.h"

#include <boost/math/distributions/fisher_f.hpp>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

constexpr std::size_t MaxEquationChars = 100;
constexpr int NumberWidth = 11;

// A measure of the influence table: its text, with a "*" behind it when it breaks its rule.
std::string Marked(double Value, bool Broken)
{
  return FormatSig5(Value) + (Broken ? "*" : " ");
}

// The fitted equation, broken before a " + " or " - " where a line would pass 100 characters.
void AppendEquation(std::vector<std::string>& Lines, const TMLRResult& R)
{
  const std::size_t p = R.InputNames.size();
  std::string line = " Fitted equation: " + R.TargetName + " =";
  if (R.Intercept)
    line += " " + FormatSig5(R.Coefficients[p]);
  for (std::size_t j = 0; j < p; ++j) {
    const double b = R.Coefficients[j];
    const bool first = j == 0 && !R.Intercept;
    const std::string term = std::string(std::signbit(b) ? (first ? " -" : " - ") : (first ? " " : " + ")) +
                             FormatSig5(std::fabs(b)) + " * " + R.InputNames[j];
    if (CharCount(line + term) > MaxEquationChars) {
      Lines.push_back(line);
      line = "  ";
    }
    line += term;
  }
  Lines.push_back(line);
}

TReportTable AnovaTable(const TMLRResult& R)
{
  const TAnovaTable& a = R.Summary.Anova;
  TReportTable t;
  t.Title = " Analysis of variance:";
  t.Columns = {{"Source", 10, TColumnAlign::Left}, {"DF", 8, TColumnAlign::Right},
               {"Sum of squares", NumberWidth + 3, TColumnAlign::Right},
               {"Mean square", NumberWidth, TColumnAlign::Right}, {"F", NumberWidth, TColumnAlign::Right},
               {"Pr(>F)", NumberWidth, TColumnAlign::Right}};
  t.Rows.push_back({"Regression", std::to_string(a.DFReg), FormatSig5(a.SSReg), FormatSig5(a.MSReg),
                    FormatSig5(R.Inference.Condition == TFitCondition::Regular ? a.FValue : NAN),
                    FormatPValue(R.Inference.FPValue)});
  t.Rows.push_back({"Residual", std::to_string(a.DFRes), FormatSig5(a.SSRes), FormatSig5(a.MSRes)});
  t.Rows.push_back({"Total", std::to_string(a.DFTot), FormatSig5(a.SSTot)});
  return t;
}

// The extended block's coefficient tests with the beta coefficients beside them.
TReportTable CoefficientTable(const TMLRResult& R)
{
  TReportTable t = CoefficientTestTable(
      R.Inference, R.CategoricalTerms.empty() ? 12 : CoefficientNameWidth(R.Inference.Coefficients));
  t.Title = " Coefficients:";
  t.Columns.push_back({"Beta", NumberWidth, TColumnAlign::Right});
  const std::size_t p = R.InputNames.size();
  for (std::size_t j = 0; j < t.Rows.size(); ++j)
    t.Rows[j].push_back(j < p ? FormatSig5(R.Measures.Beta[j]) : "");
  return t;
}

}  // namespace

void AppendModelReport(TMLRResult& R)
{
  std::vector<std::string>& l = R.ExtendedLines;
  AppendEquation(l, R);
  std::vector<std::string> betas;
  for (std::size_t j = 0; j < R.InputNames.size(); ++j)
    betas.push_back(R.InputNames[j] + " " + FormatSig5(R.Measures.Beta[j]));
  AppendWrapped(l, " Standardized (beta) coefficients: ", betas);
  l.push_back(" Log-likelihood: " + FormatSig5(R.Measures.LogLik) + " (df " +
              std::to_string(R.Rank + 1) + "),  AIC: " + FormatSig5(R.Measures.AIC) +
              ",  BIC: " + FormatSig5(R.Measures.BIC));

  R.Tables.push_back(AnovaTable(R));
  R.Tables.push_back(CoefficientTable(R));
}

void TMLRRun::AppendResultReport(const TDataTable& Table, TMLRResult& R) const
{
  AppendModelReport(R);
  std::vector<std::string>& l = R.ExtendedLines;

  const TInfluence& f = R.Influence;
  if (!f.Available)
    return;
  if (f.Summarized) {
    AppendInfluenceReport(l, R.ExtendedTables, R.Tables, f.Listing);
    return;
  }
  TInfluenceListing listing;
  listing.Rank = f.Rank;
  listing.NrOfObjects = static_cast<int>(f.Hat.size());
  for (double h : f.Hat)
    listing.NrOfPositive += h > 0;
  listing.NrOfFlagged = static_cast<int>(f.Flagged.size());
  std::vector<double> dfbetas(static_cast<std::size_t>(f.NrOfCoefficients));
  for (int i : f.Flagged) {
    const std::size_t o = static_cast<std::size_t>(i);
    f.DFBetaRow(i, dfbetas.data());
    double dfb = 0;
    for (double d : dfbetas)
      dfb = std::max(dfb, std::fabs(d));
    const int row = R.UsedRows[o];
    listing.Listed.push_back({row, Table.RowName(row), dfb, f.DFFits[o], f.CovRatio[o], f.CooksDistance[o], f.Hat[o],
                              f.Flags[o]});
  }
  listing.NrOfUnitLeverage = f.NrOfUnitLeverage;
  for (std::size_t o = 0; o < f.Hat.size() && listing.UnitLeverageRows.size() < TInfluenceListing::MaxUnitLeverageRows; ++o)
    if (f.Hat[o] == 1)
      listing.UnitLeverageRows.push_back(R.UsedRows[o]);
  AppendInfluenceReport(l, R.ExtendedTables, R.Tables, listing);
}

void TInfluenceListing::AddFlagged(TListedObject Object)
{
  ++NrOfFlagged;
  if (Lists())
    Listed.push_back(std::move(Object));
}

void TInfluenceListing::AddUnitLeverage(int Row)
{
  ++NrOfUnitLeverage;
  if (UnitLeverageRows.size() < MaxUnitLeverageRows)
    UnitLeverageRows.push_back(Row);
}

void TInfluenceListing::Append(const TInfluenceListing& Later)
{
  NrOfPositive += Later.NrOfPositive;
  NrOfFlagged += Later.NrOfFlagged;
  NrOfUnitLeverage += Later.NrOfUnitLeverage;
  for (std::size_t i = 0; i < Later.Listed.size() && Lists(); ++i)
    Listed.push_back(Later.Listed[i]);
  for (std::size_t i = 0; i < Later.UnitLeverageRows.size() && UnitLeverageRows.size() < MaxUnitLeverageRows; ++i)
    UnitLeverageRows.push_back(Later.UnitLeverageRows[i]);
}

void AppendInfluenceReport(std::vector<std::string>& Lines, std::vector<TPlacedTable>& Placed,
                           std::vector<TReportTable>& Tables, const TInfluenceListing& L)
{
  std::vector<std::string>& l = Lines;
  const double k = L.Rank;
  const double n = L.NrOfPositive;
  const boost::math::fisher_f_distribution<double> fdist(k, n - k);
  std::vector<std::string> rules = {
      "|DFBETAS| > 1", "|DFFITS| > " + FormatSig5(3 * std::sqrt(k / (n - k))),
      "|1 - COVRATIO| > " + FormatSig5(3 * k / (n - k)),
      "Cook's D > " + FormatSig5(boost::math::quantile(fdist, 0.5)), "h > " + FormatSig5(3 * k / n)};

  TReportTable t;
  t.Title = " Influential objects (" + std::to_string(L.NrOfFlagged) + " of " +
            std::to_string(L.NrOfObjects) + "; a * marks a broken rule):";
  t.Columns = {{"Row", 7, TColumnAlign::Right}, {"Name", 10, TColumnAlign::Left}};
  // The headers end over the digits, before the marks' place.
  t.Columns.push_back({"max|DFBETAS| ", NumberWidth + 2, TColumnAlign::Right});
  for (const char* h : {"DFFITS ", "COVRATIO ", "Cook's D ", "h "})
    t.Columns.push_back({h, NumberWidth + 1, TColumnAlign::Right});
  for (const TListedObject& o : L.Listed) {
    const std::uint8_t fl = o.Flags;
    t.Rows.push_back({std::to_string(o.Row), o.Name, Marked(o.MaxAbsDFBeta, fl & ifDFBeta),
                      Marked(o.DFFits, fl & ifDFFit), Marked(o.CovRatio, fl & ifCovRatio),
                      Marked(o.CooksDistance, fl & ifCooksD), Marked(o.Hat, fl & ifHat)});
  }

  if (L.NrOfFlagged == 0) {
    AppendWrapped(l, " Influential objects: none by the rules ", rules);
  } else {
    AppendWrapped(l, " Rules of influence: ", rules);
    const std::size_t listed = TInfluenceListing::MaxListed;
    TReportTable shown;
    shown.Title = t.Title;
    shown.Columns = t.Columns;
    shown.Rows.assign(t.Rows.begin(), t.Rows.begin() + static_cast<std::ptrdiff_t>(std::min(listed, t.Rows.size())));
    AppendTable(l, Placed, std::move(shown));
    if (static_cast<std::size_t>(L.NrOfFlagged) > listed)
      l.push_back(" and " + std::to_string(static_cast<std::size_t>(L.NrOfFlagged) - listed) + " more");
  }
  Tables.push_back(std::move(t));
  if (L.NrOfUnitLeverage > 0) {
    std::vector<std::string> rows;
    for (int r : L.UnitLeverageRows)
      rows.push_back(std::to_string(r));
    if (L.NrOfUnitLeverage > static_cast<int>(rows.size()))
      rows.back() += " and " + std::to_string(L.NrOfUnitLeverage - static_cast<int>(rows.size())) + " more";
    AppendWrapped(l, " Objects of leverage 1 (the measures that divide by 1 - h are n/a): rows ", rows);
  }
}

}  // namespace orvex
