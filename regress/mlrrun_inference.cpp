// Inference on a successful fit, beyond the fixed report: t tests and 95 % confidence intervals
// of the coefficients, the F test's p-value, adjusted R squared, variance inflation factors and
// the inputs that take part in a (nearly) exact linear dependence, and the extended block of
// report lines that shows them. The distributions come from Boost.Math.
#include "mlrrun.h"
#include "mlrrun_text.h"
#include "mlrtable.h"

#include "orvex_datatable.h"
#include "orvex_stringl.h"

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace orvex {

namespace {

// Domain, pole and overflow errors give NaN or infinity instead of an exception: the run checks
// its arguments first, and a value it cannot compute is written "n/a".
using TDistPolicy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::pole_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>>;
using TStudentsT = boost::math::students_t_distribution<double, TDistPolicy>;
using TFisherF = boost::math::fisher_f_distribution<double, TDistPolicy>;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

// Singular values up to this fraction of the largest count as zero when the dependent inputs
// are named; the smallest one always counts.
constexpr double NullSpaceTolerance = 1e-8;
// An input (or the intercept) takes part in the dependence when its weight in the null space
// (the length of its unit vector's projection onto it) reaches this; roundoff leaves the others
// many orders of magnitude below.
constexpr double InvolvedWeight = 1e-3;

// Table layout: a name of 12 characters after one space, then seven numbers of at most 11
// characters, each after one space: 97 characters.
constexpr int NameWidth = 12;  // widened for the names of a categorical input's indicators
constexpr int NumberWidth = 11;
constexpr std::size_t MaxLineChars = 100;
constexpr std::size_t MaxListedRows = 10;

const char* const CollinearText = "n/a (collinear)";
const char* const ZeroStdErrorText = "n/a (std. error 0)";

// Two-sided p-value of a t statistic.
double TwoSidedP(const TStudentsT& Dist, double T)
{
  if (std::isnan(T))
    return NaN;
  if (std::isinf(T))
    return 0.0;
  const double p = 2.0 * boost::math::cdf(boost::math::complement(Dist, std::fabs(T)));
  return std::min(p, 1.0);
}

double FTestP(int DFReg, int DFRes, double F)
{
  if (std::isnan(F) || DFReg < 1 || DFRes < 1)
    return NaN;
  if (std::isinf(F))
    return 0.0;
  if (F <= 0)
    return 1.0;
  const TFisherF dist(DFReg, DFRes);
  return boost::math::cdf(boost::math::complement(dist, F));
}

// V and W of the singular value decomposition A = U W V^T; A is used up. A tall A is first
// reduced to its triangular factor, which has the same V and W, so that only the small factor
// goes through the full decomposition.
bool RightSingular(TMatrix& A, TMatrix& V, TVector& W)
{
  const int n = A.NrOfColumns();
  V.Resize(n, n);
  W.Resize(n);
  if (A.NrOfRows() < 4 * n || A.NrOfRows() < 256)
    return SVDecompose(A, V, W);
  TMatrix r;
  TVector b, qtb;
  double rho = 0;
  if (!ReduceToTriangle(A, b, r, qtb, rho))
    return false;
  return SVDecompose(r, V, W);
}

}  // namespace

std::size_t CharCount(const std::string& S)
{
  return static_cast<std::size_t>(std::count_if(
      S.begin(), S.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0u) != 0x80u; }));
}

// Prefix followed by Items joined with ", ", broken after a comma where a line would pass 100
// characters; continuation lines are indented by three spaces.
void AppendWrapped(std::vector<std::string>& Lines, const std::string& Prefix,
                   const std::vector<std::string>& Items)
{
  std::string line = Prefix;
  bool first = true;
  for (std::size_t i = 0; i < Items.size(); ++i) {
    const std::string item = Items[i] + (i + 1 < Items.size() ? "," : "");
    const std::string joined = first ? line + item : line + " " + item;
    if (CharCount(joined) > MaxLineChars) {
      // Also before the first item when a long one would not fit behind the prefix.
      while (!line.empty() && line.back() == ' ')
        line.pop_back();
      Lines.push_back(line);
      line = "   " + item;
    } else {
      line = joined;
    }
    first = false;
  }
  Lines.push_back(line);
}

int CoefficientNameWidth(const std::vector<TCoefficientInference>& Coefficients)
{
  std::size_t w = NameWidth;
  for (const TCoefficientInference& c : Coefficients)
    w = std::max(w, CharCount(c.Name));
  return static_cast<int>(w);
}

std::string FormatSig5(double Value)
{
  if (std::isnan(Value))
    return "n/a";
  if (std::isinf(Value))
    return Value > 0 ? "inf" : "-inf";
  if (Value == 0)
    return "0";
  char buf[64];
  // The scientific form fixes the decimal exponent after rounding to 5 digits; that exponent
  // decides the form, so that 99999.6 becomes 1.0000e+05, not 100000.
  auto r = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::scientific, 4);
  const char* e = std::find(buf, r.ptr, 'e') + 1;  // "e+05", "e-12"
  int exponent = 0;
  std::from_chars(e + (*e == '+'), r.ptr, exponent);
  if (exponent >= -4 && exponent <= 4) {
    r = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::fixed, 4 - exponent);
    return std::string(buf, r.ptr);
  }
  if (std::abs(exponent) < 100)
    return std::string(buf, r.ptr);
  // A three-digit exponent costs one mantissa digit, so the text still fits 11 characters.
  r = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::scientific, 3);
  return std::string(buf, r.ptr);
}

std::string FormatPValue(double Value)
{
  if (Value < 1e-16)
    return "< 1e-16";
  return FormatSig5(Value);
}

// Weight of every design column (inputs, then the intercept) in the null space of the design
// whose columns are scaled to unit length: the right singular vectors of the smallest singular
// value and of every other one that is numerically zero. The intercept column takes part, so an
// input that is (nearly) constant is found together with the intercept.
std::vector<double> TMLRRun::InvolvedWeights() const
{
  const int m = FMatD.NrOfRows();
  const int n = FMatD.NrOfColumns();
  TMatrix a;
  a.Resize(n, m);
  for (int k = 1; k <= n; ++k) {
    const double* src = FMatD.Column(k);
    long double ss = 0;
    for (int i = 0; i < m; ++i)
      ss += static_cast<long double>(src[i]) * src[i];
    const double scale = ss > 0 ? static_cast<double>(1.0L / std::sqrt(ss)) : 0.0;
    double* dst = a.Column(k);
    for (int i = 0; i < m; ++i)
      dst[i] = src[i] * scale;
  }
  return NullSpaceWeights(a);
}

std::vector<double> NullSpaceWeights(TMatrix& Normalized)
{
  const int n = Normalized.NrOfColumns();
  TMatrix& a = Normalized;
  TMatrix v;
  TVector w;
  std::vector<double> weights(static_cast<std::size_t>(n), 0.0);
  if (!RightSingular(a, v, w))
    return weights;
  int smallest = 1;
  double wmax = 0;
  for (int k = 1; k <= n; ++k) {
    wmax = std::max(wmax, w.Elem(k));
    if (w.Elem(k) < w.Elem(smallest))
      smallest = k;
  }
  for (int k = 1; k <= n; ++k) {
    if (k != smallest && w.Elem(k) > NullSpaceTolerance * wmax)
      continue;
    const double* vk = v.Column(k);
    for (int j = 0; j < n; ++j)
      weights[static_cast<std::size_t>(j)] += vk[j] * vk[j];
  }
  for (double& x : weights)
    x = std::sqrt(x);
  return weights;
}

void TMLRRun::MakeInference(const TDataTable& Table)
{
  const TFitSummary& s = FSummary;
  const int m = s.NrOfObjects;
  const int p = s.NrOfInputs;

  // Variance inflation factors. VIF_j is element j of the diagonal of the inverse of the
  // inputs' correlation matrix, that is ss_j times element j of the diagonal of (Xc^T Xc)^-1,
  // with Xc the centred inputs and ss_j the sum of squares of centred input j. With the
  // intercept in the design A = [X 1], the inputs' block of (A^T A)^-1 is exactly (Xc^T Xc)^-1,
  // and its diagonal is the square of the unscaled standard deviations that the solve gave: so
  // a fit with nothing zeroed costs one centred pass per input. A constant input cannot be
  // standardized; it is collinear with the intercept and gets an infinite VIF. When the solve
  // zeroed a singular value, the VIFs come from the decomposition of the standardized varying
  // inputs alone, so that the inputs outside the dependence keep the figures they have without
  // it.
  std::vector<double> vif(static_cast<std::size_t>(p), Inf);
  std::vector<int> varying;
  std::vector<double> means(static_cast<std::size_t>(p), 0.0), sums(static_cast<std::size_t>(p), 0.0);
  for (int j = 1; j <= p; ++j) {
    const TColumnMoments& mo = FInputMoments[static_cast<std::size_t>(j - 1)];
    // A spread at the level of the values' roundoff is no real variation.
    if (!(mo.CentredSS > 1e-26 * mo.RawSS))
      continue;
    varying.push_back(j);
    means[static_cast<std::size_t>(j - 1)] = mo.Mean;
    sums[static_cast<std::size_t>(j - 1)] = mo.CentredSS;
  }
  const int q = static_cast<int>(varying.size());
  if (!FPlain) {
    vif = OptionsVIFs();
  } else if (!s.NearSingular && q == p) {
    for (int j = 1; j <= p; ++j) {
      const long double dx = FVecDx.Elem(j);
      vif[static_cast<std::size_t>(j - 1)] = static_cast<double>(dx * dx * sums[static_cast<std::size_t>(j - 1)]);
    }
  } else if (q > 0) {
    TMatrix z;
    z.Resize(q, m);
    for (int a = 1; a <= q; ++a) {
      const std::size_t j = static_cast<std::size_t>(varying[static_cast<std::size_t>(a - 1)] - 1);
      const double* src = FMatD.Column(static_cast<int>(j) + 1);
      const long double mean = means[j];
      const long double scale = 1.0L / std::sqrt(static_cast<long double>(sums[j]));
      double* dst = z.Column(a);
      for (int i = 0; i < m; ++i)
        dst[i] = static_cast<double>((src[i] - mean) * scale);
    }
    TMatrix v;
    TVector w;
    if (RightSingular(z, v, w)) {
      for (int a = 0; a < q; ++a) {
        long double sum = 0;
        for (int k = 1; k <= q; ++k) {
          const long double wk = w.Elem(k);
          const long double vjk = v.Column(k)[a];
          if (wk > 0)
            sum += (vjk / wk) * (vjk / wk);
          else if (vjk != 0)
            sum = INFINITY;
        }
        vif[static_cast<std::size_t>(varying[static_cast<std::size_t>(a)] - 1)] =
            static_cast<double>(sum);
      }
    } else {
      std::fill(vif.begin(), vif.end(), NaN);
    }
  }

  std::vector<double> weights;
  if (s.NearSingular)
    weights = InvolvedWeights();

  std::vector<int> inputCols;
  for (int j = 0; j < p; ++j)
    inputCols.push_back(FDesign.Terms[static_cast<std::size_t>(FDesign.ColumnTerm[static_cast<std::size_t>(j)])].Column);
  FInference = MakeFitInference(s, Form(), FitCondition(), FVecX.Data(), FVecDx.Data(), vif, weights, inputCols,
                                FDesign.ColumnNames);
  TFitInference& inf = FInference;

  // Rows of the table that the run did not use (none when the counts say so).
  const int nr = Table.NrOfRows();
  std::size_t u = 0, z = 0, x = 0;
  const std::size_t accounted = FUsedRows.size() + FZeroWeightRows.size() + FExcludedRows.size();
  for (int r = accounted == static_cast<std::size_t>(nr) ? nr + 1 : 1; r <= nr; ++r) {
    if (u < FUsedRows.size() && FUsedRows[u] == r)
      ++u;
    else if (z < FZeroWeightRows.size() && FZeroWeightRows[z] == r)
      ++z;
    else if (x < FExcludedRows.size() && FExcludedRows[x] == r)
      ++x;
    else
      inf.MissingRows.push_back(r);
  }
  inf.ExcludedRows = FExcludedRows;

  MakeExtendedLines();
}

TFitInference MakeFitInference(const TFitSummary& Summary, const TModelForm& Form, TFitCondition Condition,
                               const double* Coef, const double* Dx, const std::vector<double>& VIF,
                               const std::vector<double>& Weights, const std::vector<int>& InputCols,
                               const std::vector<std::string>& InputNames)
{
  const TFitSummary& s = Summary;
  const int m = s.NrOfObjects;
  const int p = s.NrOfInputs;
  const int n = p + (Form.Intercept ? 1 : 0);
  TFitInference inf;
  inf.DFRes = m - n;
  // Without an intercept the total is uncentred and keeps all m degrees of freedom, as in R.
  inf.AdjR2 = static_cast<double>(
      1.0L - (1.0L - s.R2) * static_cast<long double>(Form.Intercept ? m - 1 : m) /
                 static_cast<long double>(inf.DFRes));
  inf.FValue = s.Anova.FValue;
  inf.FPValue = FTestP(p, inf.DFRes, inf.FValue);
  const TStudentsT dist(inf.DFRes);
  inf.TQuantile = boost::math::quantile(boost::math::complement(dist, 0.025));
  inf.Condition = Condition;
  const bool undefined = inf.Condition != TFitCondition::Regular;
  if (undefined)
    inf.FPValue = NaN;
  if (inf.Condition == TFitCondition::ConstantTarget)
    inf.AdjR2 = NaN;  // 0 / 0: no variation to explain

  for (int j = 1; j <= n; ++j) {
    TCoefficientInference c;
    if (j <= p) {
      c.Column = InputCols[static_cast<std::size_t>(j - 1)];
      c.Name = ReportName(InputNames[static_cast<std::size_t>(j - 1)]);
      c.VIF = VIF[static_cast<std::size_t>(j - 1)];
    } else {
      c.Name = "INTERCEPT";
      c.VIF = NaN;
    }
    c.Estimate = Coef[j - 1];
    c.StdError = static_cast<double>(static_cast<long double>(Dx[j - 1]) * s.SRes);
    c.Collinear = s.NearSingular && Weights[static_cast<std::size_t>(j - 1)] >= InvolvedWeight;
    // A zero standard error would give an infinite t and p = 0, a claim the data cannot make.
    c.ZeroStdError = !undefined && !c.Collinear && c.StdError == 0;
    if (c.Collinear || undefined || c.ZeroStdError) {
      c.TValue = c.PValue = c.CILow = c.CIHigh = NaN;
    } else {
      c.TValue = c.Estimate / c.StdError;
      c.PValue = TwoSidedP(dist, c.TValue);
      const double half = inf.TQuantile * c.StdError;
      c.CILow = c.Estimate - half;
      c.CIHigh = c.Estimate + half;
    }
    inf.Coefficients.push_back(c);
  }
  return inf;
}

// The rule of an essentially perfect fit: a residual variance below 1e-30 of the estimates'
// mean square plus their variance, the estimates' sums formed in extended precision. A target
// that takes a single value is the stronger statement and is named first.
TFitCondition TMLRRun::FitCondition() const
{
  const int m = FVecC.NrOfElem();
  const double* c = FVecC.Data();
  if (m > 0 && std::all_of(c, c + m, [c](double v) { return v == c[0]; }))
    return TFitCondition::ConstantTarget;
  // The estimates' mean and spread from the sums the statistics keep (as the run over a file
  // takes them): the test compares orders of magnitude, and a million estimates need no pass.
  const TCurveFitStatistics& st = FSummary.Statistics;
  const long double sd = st.StdDevY;
  return FitConditionOf(false, st.MeanY, sd * sd * (m - 1), m, FSummary.SRes);
}

TFitCondition FitConditionOf(bool ConstantTarget, long double EstimateMean, long double EstimateSS, int NrOfObjects,
                             double SRes)
{
  if (ConstantTarget)
    return TFitCondition::ConstantTarget;
  const long double resVar = static_cast<long double>(SRes) * SRes;
  if (resVar < (EstimateMean * EstimateMean + EstimateSS / (NrOfObjects - 1)) * 1e-30L)
    return TFitCondition::PerfectFit;
  return TFitCondition::Regular;
}

void TMLRRun::MakeExtendedLines()
{
  FExtendedTables.clear();
  FExtendedLines = orvex::MakeExtendedLines(FSummary, Form(), FInference, FExtendedTables);
}

TReportTable CoefficientTestTable(const TFitInference& Inference, int NameWidth)
{
  TReportTable t;
  t.Columns = {{"Coefficient", NameWidth, TColumnAlign::Left}};
  for (const char* h : {"Estimate", "Std. Error", "t value", "Pr(>|t|)", "CI 2.5 %", "CI 97.5 %", "VIF"})
    t.Columns.push_back({h, NumberWidth, TColumnAlign::Right});
  for (const TCoefficientInference& c : Inference.Coefficients) {
    std::vector<std::string> row = {c.Name, FormatSig5(c.Estimate), FormatSig5(c.StdError)};
    if (c.Collinear || c.ZeroStdError) {
      // One text across the four columns of the tests and the interval, centred.
      t.Spans.push_back({t.Rows.size(), row.size(), 4});
      row.push_back(c.Collinear ? CollinearText : ZeroStdErrorText);
      row.insert(row.end(), 3, "");
    } else {
      row.insert(row.end(), {FormatSig5(c.TValue), FormatPValue(c.PValue), FormatSig5(c.CILow), FormatSig5(c.CIHigh)});
    }
    row.push_back(c.Column > 0 ? FormatSig5(c.VIF) : "");
    t.Rows.push_back(std::move(row));
  }
  return t;
}

std::vector<std::string> MakeExtendedLines(const TFitSummary& Summary, const TModelForm& Form,
                                           const TFitInference& Inference, std::vector<TPlacedTable>& Placed)
{
  const TFitSummary& s = Summary;
  const TFitInference& inf = Inference;
  // Indicator names ("Region[north]") are shown whole; other names keep the fixed width.
  const int nameWidth = Form.Categorical ? CoefficientNameWidth(inf.Coefficients) : NameWidth;
  // The F value of a perfect fit is a stand-in for infinity, and that of a constant target 0 / 0.
  const bool undefined = inf.Condition != TFitCondition::Regular;
  std::vector<std::string> lines;
  std::vector<std::string>& l = lines;

  if (inf.Condition == TFitCondition::PerfectFit)
    l.push_back(std::string(" ") + PerfectFitText);
  else if (inf.Condition == TFitCondition::ConstantTarget)
    l.push_back(std::string(" ") + ConstantTargetText);
  TReportTable table = CoefficientTestTable(inf, nameWidth);
  table.Title = " Coefficient tests and 95 % confidence intervals (t distribution, " + std::to_string(inf.DFRes) +
                " degrees of freedom):";
  AppendTable(l, Placed, std::move(table));
  std::vector<std::string> collinear;
  for (const TCoefficientInference& c : inf.Coefficients)
    if (c.Collinear)
      collinear.push_back(c.Column > 0 ? "\"" + c.Name + "\" (column " + std::to_string(c.Column) + ")" : c.Name);

  l.push_back(" Residual standard error: " + FormatSig5(s.SRes) + " on " +
              std::to_string(inf.DFRes) + " degrees of freedom");
  l.push_back(" R-squared: " + FormatSig5(s.R2) + ",  Adjusted R-squared: " +
              FormatSig5(inf.AdjR2) + (Form.Intercept ? "" : std::string(" ") + NoInterceptNote));
  l.push_back(" F-statistic: " + FormatSig5(undefined ? NaN : inf.FValue) + " on " + std::to_string(s.NrOfInputs) +
              " and " + std::to_string(inf.DFRes) + " DF,  p-value: " +
              FormatPValue(inf.FPValue));
  const int nrRows = s.NrOfObjects + static_cast<int>(inf.MissingRows.size() + inf.ExcludedRows.size()) +
                     Form.NrOfZeroWeight;
  l.push_back(" Objects used: " + std::to_string(s.NrOfObjects) + " of " + std::to_string(nrRows));
  // Rows left out, listed up to MaxListedRows.
  auto listRows = [&l](const char* Head, const std::vector<int>& Rows) {
    if (Rows.empty())
      return;
    std::vector<std::string> rows;
    const std::size_t shown = std::min(Rows.size(), MaxListedRows);
    for (std::size_t i = 0; i < shown; ++i)
      rows.push_back(std::to_string(Rows[i]));
    if (Rows.size() > shown)
      rows.back() += " and " + std::to_string(Rows.size() - shown) + " more";
    AppendWrapped(l, Head, rows);
  };
  listRows(" Rows left out for missing values: ", inf.MissingRows);
  listRows(" Rows excluded by the user: ", inf.ExcludedRows);
  if (!collinear.empty())
    AppendWrapped(l, " Collinear (t, p and intervals not available): ", collinear);
  return lines;
}

}  // namespace orvex
