// The steps of a regression run with model options: weights (rows of weight 0 left out, a
// negative or non-finite weight refused), the design's terms with the categorical inputs'
// indicators, the fill of the sqrt(w) scaled design, the statistics as R's summary.lm gives
// them for a weighted fit or one without intercept, and the options' part of the result and
// of the extended block (robust standard errors, the categorical inputs' F tests and GVIFs).
#include "demodata.h"
#include "mlrrobust.h"
#include "mlrrun.h"
#include "mlrrun_text.h"
#include "mlrterms.h"
#include "mlrtable.h"

#include "orvex_datatable.h"

#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace orvex {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr int NumberWidth = 11;

double CellValue(const TDataTable& Table, int Col, int Row)
{
  const double v = Table.ColumnValues(Col)[Row - 1];
  return IsLevelType(Table.VarType(Col)) ? std::nearbyint(v) : v;
}

// The shortest text that reads back as V.
std::string ShortestText(double V)
{
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, V);
  return std::string(buf, r.ptr);
}

std::string Quoted(const std::string& S)
{
  return "\"" + S + "\"";
}

}  // namespace

void AppendOptionsReport(TMLRResult& R)
{
  std::vector<std::string>& l = R.ExtendedLines;
  if (R.WeightCol != 0) {
    std::string line = " Weights: column " + Quoted(R.WeightName) + " (weighted least squares)";
    if (!R.ZeroWeightRows.empty())
      line += "; objects of weight 0 left out: " + std::to_string(R.ZeroWeightRows.size());
    l.push_back(line);
  }
  if (!R.OrdinalNames.empty()) {
    std::vector<std::string> names;
    for (const std::string& n : R.OrdinalNames)
      names.push_back(Quoted(n));
    AppendWrapped(l, " Ordinal inputs taken as numbers (their level numbers): ", names);
  }
  for (const TCategoricalTerm& c : R.CategoricalTerms) {
    std::string line = " Categorical input " + Quoted(c.Name) + ": " +
                       (c.FullCoding ? std::string("an indicator for every level (no intercept)")
                                     : "reference level " + Quoted(c.Reference));
    if (c.ReferenceReplaced && !c.FullCoding)
      line += " (the chosen reference level has no objects)";
    if (c.Dropped.empty()) {
      l.push_back(line);
    } else {
      std::vector<std::string> levels;
      for (const std::string& d : c.Dropped)
        levels.push_back(Quoted(d));
      AppendWrapped(l, line + "; levels without objects dropped: ", levels);
    }
  }
  if (!R.CategoricalTerms.empty()) {
    TReportTable t;
    t.Title = " Categorical inputs (F test of all indicators together; generalized VIF):";
    std::size_t nameWidth = 12;
    for (const TCategoricalTerm& c : R.CategoricalTerms)
      nameWidth = std::max(nameWidth, CharCount(c.Name));
    t.Columns = {{"Input", static_cast<int>(nameWidth), TColumnAlign::Left}, {"DF", 5, TColumnAlign::Right}};
    for (const char* h : {"Sum of Sq.", "F value", "Pr(>F)", "GVIF", "GVIF^1/2DF"})
      t.Columns.push_back({h, NumberWidth, TColumnAlign::Right});
    for (const TCategoricalTerm& c : R.CategoricalTerms)
      t.Rows.push_back({c.Name, std::to_string(c.DF), FormatSig5(c.SumOfSquares), FormatSig5(c.FValue),
                        FormatPValue(c.PValue), FormatSig5(c.GVIF), FormatSig5(c.ScaledGVIF)});
    AppendTable(l, R.ExtendedTables, t);
    R.Tables.push_back(t);
  }
  const TRobustInference& ri = R.Robust;
  if (ri.Type != TRobustType::None) {
    const std::string type = RobustTypeName(ri.Type);
    TReportTable t;
    t.Title = " Robust standard errors (" + type + "), t tests and 95 % confidence intervals:";
    t.Columns = {{"Coefficient", CoefficientNameWidth(R.Inference.Coefficients), TColumnAlign::Left}};
    for (const char* h : {"Estimate", "Std. Error", "t value", "Pr(>|t|)", "CI 2.5 %", "CI 97.5 %"})
      t.Columns.push_back({h, NumberWidth, TColumnAlign::Right});
    for (std::size_t j = 0; j < ri.StdErrors.size(); ++j) {
      const TCoefficientInference& c = R.Inference.Coefficients[j];
      t.Rows.push_back({c.Name, FormatSig5(c.Estimate), FormatSig5(ri.StdErrors[j]), FormatSig5(ri.TValues[j]),
                        FormatPValue(ri.PValues[j]), FormatSig5(ri.CILow[j]), FormatSig5(ri.CIHigh[j])});
    }
    AppendTable(l, R.ExtendedTables, t);
    R.Tables.push_back(t);
    if (ri.NrOfUnitLeverage > 0)
      l.push_back(" " + type + " standard errors are n/a: " + std::to_string(ri.NrOfUnitLeverage) +
                  (ri.NrOfUnitLeverage == 1 ? " object has" : " objects have") +
                  " leverage 1, and " + type + " divides by 1 - h");
    else if (R.NearSingular)
      l.push_back(" " + type + " standard errors are n/a: the inputs are collinear");
  }
}

bool TMLRRun::PrepareOptions(const TDataTable& Table)
{
  // A value written by program can be infinite or NaN without the cell's state saying so: its
  // object is left out like one with a missing value.
  std::vector<int> cols(FSelColumns.Data(), FSelColumns.Data() + FNumInputs);
  TBulkVector<int> kept;
  kept.reserve(FUsedRows.size());
  for (int r : FUsedRows) {
    bool finite = std::isfinite(CellValue(Table, FTargetCol, r));
    for (int c : cols)
      finite = finite && std::isfinite(CellValue(Table, c, r));
    if (finite)
      kept.push_back(r);
  }
  FUsedRows.swap(kept);

  const int wc = FOptions.WeightCol;
  if (wc != 0) {
    const std::uint8_t* states = Table.ColumnStates(wc);
    kept.clear();
    for (int r : FUsedRows) {
      if (states[r - 1] & (csNotANumber | csEmpty))
        continue;  // a missing weight: the object is left out like one with a missing value
      const double w = CellValue(Table, wc, r);
      if (!std::isfinite(w) || w < 0)
        return Fail(TRunStatus::InvalidOptions,
                    "The weight in row " + std::to_string(r) + " of column \"" +
                        ReportName(Table.ColName(wc)) + "\" is " + ShortestText(w) +
                        ": weights must be finite and not negative");
      if (w == 0) {
        FZeroWeightRows.push_back(r);
        continue;
      }
      kept.push_back(r);
      FSqrtW.push_back(std::sqrt(w));
    }
    FUsedRows.swap(kept);
  }

  const std::string error = BuildDesign(Table, cols, FUsedRows, FOptions, FDesign);
  if (!error.empty())
    return Fail(TRunStatus::InvalidOptions, error);
  FNumInputs = FDesign.NrOfColumns();
  if (FNumInputs == 0 && !FUsedRows.empty())
    return Fail(TRunStatus::InvalidOptions,
                "The categorical input \"" + FDesign.Terms.front().Name +
                    "\" takes a single level in the objects used: the model has no input left");
  return true;
}

void TMLRRun::FillOptionsDesign(const TDataTable& Table)
{
  const int m = static_cast<int>(FUsedRows.size());
  const int p = FNumInputs;
  const int n = NrOfCoefficients();
  FMatD.Resize(n, m);
  FVecC.Resize(m);
  FVecX.Resize(n);
  FVecDx.Resize(n);
  const double* sw = Weighted() ? FSqrtW.data() : nullptr;
  FColumnMax.assign(static_cast<std::size_t>(n), 0.0);
  FInputMoments.assign(static_cast<std::size_t>(p), TColumnMoments{});
  long double sumW = 0;
  for (int i = 0; i < m; ++i)
    sumW += sw ? static_cast<long double>(sw[i]) * sw[i] : 1.0L;
  for (int j = 0; j < n; ++j) {
    double* d = FMatD.OwnColumn(j + 1);
    if (j < p)
      FillDesignColumn(Table, FDesign, j, FUsedRows, sw, d);
    else
      for (int i = 0; i < m; ++i)
        d[i] = sw ? sw[i] : 1.0;
    double mx = 0;
    for (int i = 0; i < m; ++i)
      mx = std::max(mx, std::fabs(d[i]));
    FColumnMax[static_cast<std::size_t>(j)] = mx;
    if (j >= p)
      continue;
    // The weighted moments of the unscaled values: sum w x = sum sqrt(w) d, and the centred
    // sum sum w (x - mean)^2 = sum (d - sqrt(w) mean)^2.
    long double s1 = 0, raw = 0;
    for (int i = 0; i < m; ++i) {
      s1 += sw ? static_cast<long double>(sw[i]) * d[i] : d[i];
      raw += static_cast<long double>(d[i]) * d[i];
    }
    const long double mean = s1 / sumW;
    long double cs = 0;
    for (int i = 0; i < m; ++i) {
      const long double dev = d[i] - (sw ? sw[i] : 1.0L) * mean;
      cs += dev * dev;
    }
    FInputMoments[static_cast<std::size_t>(j)] =
        TColumnMoments{static_cast<double>(mean), static_cast<double>(cs), static_cast<double>(raw)};
  }
  double* c = FVecC.Data();
  for (int i = 0; i < m; ++i) {
    const double y = CellValue(Table, FTargetCol, FUsedRows[static_cast<std::size_t>(i)]);
    c[i] = sw ? y * sw[i] : y;
  }
  FDesignFinite = true;
}

// R's summary.lm: the residual sum of squares of the scaled problem; the regression sum of
// squares about the weighted mean of the fitted values (about 0 without intercept); R squared
// as mss / (mss + rss).
void TMLRRun::MakeOptionsSummary(TFitSummary& Summary) const
{
  const int m = FMatD.NrOfRows();
  const int p = FNumInputs;
  const int n = NrOfCoefficients();
  const double* c = FVecC.Data();
  const double* est = FEstimates.data();
  const double* sw = Weighted() ? FSqrtW.data() : nullptr;
  auto root = [sw](int i) { return sw ? static_cast<long double>(sw[i]) : 1.0L; };
  const long double rss = ScaledResidualSS();
  long double mss = 0, tss = 0;
  if (FDesign.Intercept) {
    long double sumW = 0, sy = 0, sf = 0;
    for (int i = 0; i < m; ++i) {
      sumW += root(i) * root(i);
      sy += root(i) * c[i];
      sf += root(i) * est[i];
    }
    const long double ybar = sy / sumW, fbar = sf / sumW;
    for (int i = 0; i < m; ++i) {
      const long double df = est[i] - root(i) * fbar, dy = c[i] - root(i) * ybar;
      mss += df * df;
      tss += dy * dy;
    }
  } else {
    for (int i = 0; i < m; ++i) {
      mss += static_cast<long double>(est[i]) * est[i];
      tss += static_cast<long double>(c[i]) * c[i];
    }
  }
  TAnovaTable& a = Summary.Anova;
  a.DFReg = p;
  a.DFRes = m - n;
  a.DFTot = FDesign.Intercept ? m - 1 : m;
  a.SSRes = static_cast<double>(rss);
  a.SSReg = static_cast<double>(mss);
  a.SSTot = static_cast<double>(tss);
  a.MSRes = a.DFRes > 0 ? a.SSRes / a.DFRes : NaN;
  a.MSReg = a.DFReg > 0 ? a.SSReg / a.DFReg : NaN;
  if (std::isnan(a.MSRes) || std::isnan(a.MSReg))
    a.FValue = NaN;
  else if (a.MSReg == 0)
    a.FValue = 0;
  else if (a.MSRes == 0)
    a.FValue = 1E10;
  else
    a.FValue = static_cast<double>((mss / a.DFReg) / (rss / a.DFRes));
  Summary.SRes = static_cast<double>(std::sqrt(rss / (m - n)));
  Summary.R2 = mss + rss > 0 ? static_cast<double>(mss / (mss + rss)) : NaN;
}

long double TMLRRun::ScaledResidualSS() const
{
  const int m = FMatD.NrOfRows();
  long double rss = 0;
  for (int i = 0; i < m; ++i) {
    const long double e = static_cast<long double>(FVecC.Data()[i]) - FEstimates[static_cast<std::size_t>(i)];
    rss += e * e;
  }
  return rss;
}

bool TMLRRun::UnscaledCovariance(std::vector<double>& Cov) const
{
  const int n = NrOfCoefficients();
  std::vector<double> M;
  int rank = 0;
  if (FSummary.NearSingular || !MakeLeverageFactor(M, rank) || rank < n)
    return false;
  const auto nn = static_cast<std::size_t>(n);
  Cov.assign(nn * nn, 0.0);
  for (std::size_t a = 0; a < nn; ++a)
    for (std::size_t b = 0; b < nn; ++b) {
      long double v = 0;
      for (std::size_t c = 0; c < static_cast<std::size_t>(rank); ++c)
        v += static_cast<long double>(M[c * nn + a]) * M[c * nn + b];
      Cov[a * nn + b] = static_cast<double>(v);
    }
  return true;
}

std::vector<double> TMLRRun::OptionsVIFs() const
{
  const auto p = static_cast<std::size_t>(FNumInputs);
  std::vector<double> vif(p, NaN);
  std::vector<double> cov;
  if (!UnscaledCovariance(cov))
    return vif;
  const std::vector<double> coef(FVecX.Data(), FVecX.Data() + NrOfCoefficients());
  const std::vector<TTermTest> tests = TermTests(FDesign, coef, cov, 1.0, 1);
  for (std::size_t t = 0; t < FDesign.Terms.size(); ++t)
    if (!FDesign.Terms[t].Categorical && FDesign.Terms[t].NrOfColumns == 1)
      vif[static_cast<std::size_t>(FDesign.Terms[t].FirstColumn)] = tests[t].GVIF;
  return vif;
}

void TMLRRun::MakeOptionsResult(const TDataTable& Table, TMLRResult& R) const
{
  R.WeightCol = FOptions.WeightCol;
  if (R.WeightCol != 0)
    R.WeightName = ReportName(Table.ColName(R.WeightCol));
  R.ZeroWeightRows = FZeroWeightRows;
  for (const TDesignTerm& t : FDesign.Terms)
    if (t.Ordinal)
      R.OrdinalNames.push_back(t.Name);

  const int m = FMatD.NrOfRows();
  const int n = NrOfCoefficients();
  const bool wantRobust = FOptions.Robust != TRobustType::None;
  const bool categorical = FDesign.HasCategorical();
  if (!wantRobust && !categorical)
    return;
  std::vector<double> cov;
  const bool full = UnscaledCovariance(cov);
  const std::vector<double> coef(FVecX.Data(), FVecX.Data() + n);
  // The residuals of the scaled problem.
  std::vector<double> e(static_cast<std::size_t>(m));
  for (int i = 0; i < m; ++i)
    e[static_cast<std::size_t>(i)] = FVecC.Data()[i] - FEstimates[static_cast<std::size_t>(i)];

  if (wantRobust) {
    TRobustInference& ri = R.Robust;
    ri.Type = FOptions.Robust;
    std::vector<double> se(static_cast<std::size_t>(n), NaN);
    if (full) {
      std::vector<const double*> cols;
      for (int j = 1; j <= n; ++j)
        cols.push_back(FMatD.Column(j));
      const TRobustStdErrors rs = RobustStdErrors(cols, m, e.data(), cov, FOptions.Robust);
      se = rs.StdErrors;
      ri.NrOfUnitLeverage = rs.NrOfUnitLeverage;
    }
    const double tq = R.Inference.TQuantile;
    const boost::math::students_t_distribution<double> dist(R.Inference.DFRes);
    for (int j = 0; j < n; ++j) {
      const double s = se[static_cast<std::size_t>(j)];
      const double b = coef[static_cast<std::size_t>(j)];
      const double t = s > 0 ? b / s : NaN;
      ri.StdErrors.push_back(s);
      ri.TValues.push_back(t);
      ri.PValues.push_back(std::isfinite(t) ? std::min(1.0, 2 * boost::math::cdf(boost::math::complement(dist, std::fabs(t))))
                                            : NaN);
      ri.CILow.push_back(s > 0 ? b - tq * s : NaN);
      ri.CIHigh.push_back(s > 0 ? b + tq * s : NaN);
    }
  }

  if (categorical) {
    const double s2 = FSummary.SRes * FSummary.SRes;
    std::vector<TTermTest> tests;
    if (full)
      tests = TermTests(FDesign, coef, cov, s2, R.Inference.DFRes);
    for (std::size_t t = 0; t < FDesign.Terms.size(); ++t) {
      const TDesignTerm& term = FDesign.Terms[t];
      if (!term.Categorical)
        continue;
      TCategoricalTerm c;
      c.Name = term.Name;
      c.Column = term.Column;
      c.ReferenceReplaced = term.ReferenceReplaced;
      c.FullCoding = term.FullCoding;
      c.Reference = LevelText(Table, term.Column, term.Reference);
      for (int level : term.DroppedLevels)
        c.Dropped.push_back(LevelText(Table, term.Column, level));
      c.DF = term.NrOfColumns;
      c.SumOfSquares = c.FValue = c.PValue = c.GVIF = c.ScaledGVIF = NaN;
      if (full) {
        c.SumOfSquares = tests[t].SumOfSquares;
        c.FValue = tests[t].FValue;
        c.PValue = tests[t].PValue;
        c.GVIF = tests[t].GVIF;
        c.ScaledGVIF = tests[t].ScaledGVIF;
      }
      R.CategoricalTerms.push_back(c);
    }
  }
}

void TMLRRun::LeaveOutExcludedRows(const TDataTable& Table)
{
  const std::vector<int>& given = FOptions.ExcludedRows;
  if (given.empty())
    return;
  for (int r : given)
    if (r >= 1 && r <= Table.NrOfRows())
      FExcludedRows.push_back(r);
  std::sort(FExcludedRows.begin(), FExcludedRows.end());
  FExcludedRows.erase(std::unique(FExcludedRows.begin(), FExcludedRows.end()), FExcludedRows.end());
  TBulkVector<int> kept;
  kept.reserve(FUsedRows.size());
  for (int r : FUsedRows)
    if (!std::binary_search(FExcludedRows.begin(), FExcludedRows.end(), r))
      kept.push_back(r);
  FUsedRows.swap(kept);
}

void TMLRRun::MakeExcludedPoints(const TDataTable& Table, TMLRResult& Result) const
{
  // Each excluded row's estimate as the predictions make it (the same products in the same
  // order), without them: a deferred result shows its points before the predictions are made.
  Result.ExcludedPoints.clear();
  if (FExcludedRows.empty() || FMatD.NrOfRows() <= FFactorRank || FFactor.empty())
    return;
  const int p = FNumInputs;
  const auto nn = static_cast<std::size_t>(NrOfCoefficients());
  const double* coef = FVecX.Data();
  std::vector<double> x(nn + 1);
  for (int row : FExcludedRows) {
    double estimate = 0;
    if (FPlain) {
      bool valid = true;
      estimate = coef[p];
      for (int j = 0; j < p && valid; ++j) {
        const int col = FSelColumns.Elem(j + 1);
        const double v = Table.Elem(col, row);
        valid = Table.ElemValid(col, row) && std::fabs(v) <= std::numeric_limits<double>::max();
        estimate += coef[j] * (IsLevelType(Table.VarType(col)) ? std::nearbyint(v) : v);
      }
      if (!valid)
        continue;
    } else {
      if (!DesignRow(Table, FDesign, row, x.data()))
        continue;
      if (FDesign.Intercept)
        x[nn - 1] = 1;
      for (std::size_t j = 0; j < nn; ++j)
        estimate += coef[j] * x[j];
    }
    if (!Table.ElemValid(FTargetCol, row))
      continue;
    const double actual = Table.Elem(FTargetCol, row);
    if (std::isfinite(actual) && std::isfinite(estimate))
      Result.ExcludedPoints.push_back(TFitPoint{row, ClassColorIndex(Table.RowAttrib(row)), actual, estimate});
  }
}

}  // namespace orvex
