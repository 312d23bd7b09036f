// The result of a regression run as one immutable value: the roles and the objects used, the
// design's summary, the coefficients with their standard errors and tests, the analysis of
// variance, the influence measures of every object used (or only the report's listing of the
// influential ones), the predictions for every row whose inputs are valid, the points of the
// charts and the histogram, and the report's texts and tables. TMLRRun makes it; the window,
// the charts, the report and the command-line tools read it through a
// std::shared_ptr<const TMLRResult>, so a view may keep the result it shows while the next run
// is made.
//
// Orders and signs, fixed for every reader:
// - Coefficients: the inputs in increasing table column order, then the intercept.
// - Per object used: the order of UsedRows (increasing table rows).
// - A residual here is actual minus estimated (the sign of the influence measures and the
//   diagnostic charts); only the fixed report's histogram bins estimated minus actual.
// - NaN marks a value that means nothing for these data (see each member).
#pragma once

#include "mlrdesign.h"
#include "orvex_bulkalloc.h"
#include "orvex_math2.h"
#include "orvex_matrix.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvex {

// One object of the actual-versus-estimated chart.
struct TFitPoint {
  int Row = 0;         // table row, the item tag of the mark
  int ColorIndex = 0;  // index into ClassColors
  double Actual = 0;
  double Estimated = 0;
};

// One histogram bar: the rectangle from (Left, 0) to (Right, Count).
struct THistogramBar {
  double Left = 0;
  double Right = 0;
  int Count = 0;
};

// The residual histogram as the chart draws it.
struct TResidualHistogram {
  int NrOfBins = 0;          // 7..100, from the table's row count
  double BinWidth = 0;       // 0 when all residuals (nearly) coincide
  int MaxCount = 0;
  std::vector<THistogramBar> Bars;  // NrOfBins bars, empty ones included
  double LowX = 0, HighX = 0, LowY = 0, HighY = 0;  // the chart's range
  std::string XCaption;      // "residuals of " and the target's name
  std::string YCaption;      // "count"
};

// The numbers of the fit that the caption and the report are made of.
struct TFitSummary {
  int NrOfObjects = 0;    // objects used (n)
  int NrOfInputs = 0;     // p
  int NrOfMissing = 0;    // objects left out for a missing value
  int NrOfExcluded = 0;   // objects left out by the user
  bool NearSingular = false;
  double SRes = 0;        // standard deviation of the residuals
  double R2 = 0;          // squared correlation of actual and estimated values
  TCurveFitStatistics Statistics;
  TAnovaTable Anova;
};

// Inference on the coefficients of a fit, beyond the fixed report: t tests, 95 % confidence
// intervals, variance inflation factors, adjusted R squared and the F test's p-value. NaN marks
// a value that means nothing (the coefficient of an input that takes part in an exact or
// nearly exact linear dependence, or a VIF for the intercept).
struct TCoefficientInference {
  std::string Name;       // ReportName of the column, or "INTERCEPT"
  int Column = 0;         // table column, 0 for the intercept
  double Estimate = 0;
  double StdError = 0;
  double TValue = 0;
  double PValue = 0;      // two-sided
  double CILow = 0;       // 95 % confidence interval
  double CIHigh = 0;
  double VIF = 0;         // 1 / (1 - R2_j); NaN for the intercept, +inf for a constant input
  bool Collinear = false; // involved in the dependence that set NearSingular
  // A standard error of exactly 0 outside the two conditions of the fit below: t, p and the
  // interval are NaN rather than an infinite t with p = 0.
  bool ZeroStdError = false;
};

// Fits whose tests mean nothing. PerfectFit: the residual variance is below 1e-30 times the
// mean square of the estimates plus their variance (the residuals are zero to rounding).
// ConstantTarget: the target takes one value over the objects used (nothing to explain); the
// inputs' coefficients are then exactly 0 and the intercept is that value. In both, t, p, the
// intervals and the F test's p-value are NaN.
enum class TFitCondition { Regular, PerfectFit, ConstantTarget };

struct TFitInference {
  int DFRes = 0;          // n - p - 1
  double AdjR2 = 0;
  double FValue = 0;
  double FPValue = 0;
  double TQuantile = 0;   // the 97.5 % quantile of the t distribution with DFRes degrees
  TFitCondition Condition = TFitCondition::Regular;
  // Inputs in SelColumns order, then the intercept.
  std::vector<TCoefficientInference> Coefficients;
  // Table rows left out of the fit for a missing or non-finite value, increasing.
  std::vector<int> MissingRows;
  // Table rows left out of the fit by the user, increasing.
  std::vector<int> ExcludedRows;
};

// The influence measures of the objects used, as R's influence.measures defines them, with k the
// rank of the design (the number of coefficients of a fit without a dependence) and s the
// residual standard deviation on n - k degrees of freedom. Each vector has one element per
// object used. An object with leverage 1 (h within 10 machine epsilons of 1: the fit passes
// through it whatever its target) gets NaN for every measure that divides by 1 - h.
enum TInfluenceFlag : std::uint8_t {
  ifDFBeta = 1,     // some |DFBETAS| > 1
  ifDFFit = 2,      // |DFFITS| > 3 sqrt(k / (n - k))
  ifCovRatio = 4,   // |1 - COVRATIO| > 3 k / (n - k)
  ifCooksD = 8,     // Cook's distance above the median of F(k, n - k)
  ifHat = 16,       // h > 3 k / n
};

// What the DFBETAS of any object are computed from when asked for: the leverage factor M of the
// fit (x (A'A)^+ x' = |x M|^2), M transposed, 1 / sqrt(C_jj) per coefficient and the design
// whose rows are the objects (sqrt(w) scaled with weights), shared with the run that made it.
// Nothing of n x p size is made per run: the DFBETAS matrix of a million objects would cost more
// to write than all the other measures together.
struct TDFBetaModel {
  int Rank = 0;              // k
  int NrOfCoefficients = 0;  // n
  std::vector<double> M, MT; // n x k and k x n, column-major
  std::vector<double> InvSqrtC;
  TColumnDesign Design;             // the design's columns
  std::shared_ptr<const void> Keep;  // what keeps them alive
};

// The DFBETAS of one object from its design row X (NrOfCoefficients values) and its scale
// e / ((1 - h) s_(i)): Out[j] = Scale (M M' X')_j / sqrt(C_jj), NaN where that is infinite. The
// influence pass makes the same products in the same order, so both give the same bits.
void DFBetaRowOf(const TDFBetaModel& Model, const double* X, double Scale, double* Out);

// The influential objects of a fit as the extended block lists them: the counts, and the first
// flagged objects and objects of leverage 1 in row order (at least the first MaxListed and
// MaxUnitLeverageRows; a listing of every flagged object, as the window's result has, may hold
// more).
struct TListedObject {
  int Row = 0;
  std::string Name;
  double MaxAbsDFBeta = 0, DFFits = 0, CovRatio = 0, CooksDistance = 0, Hat = 0;
  std::uint8_t Flags = 0;
};
struct TInfluenceListing {
  static constexpr std::size_t MaxListed = 20;
  static constexpr std::size_t MaxUnitLeverageRows = 10;
  int Rank = 0;
  int NrOfObjects = 0;   // objects used
  int NrOfPositive = 0;  // of leverage above 0
  int NrOfFlagged = 0;
  std::vector<TListedObject> Listed;
  int NrOfUnitLeverage = 0;
  std::vector<int> UnitLeverageRows;

  // Whether the next flagged object would be listed: its DFBETAS need not be made otherwise.
  bool Lists() const { return Listed.size() < MaxListed; }
  void AddFlagged(TListedObject Object);
  void AddUnitLeverage(int Row);
  // Adds the counts and lists of the objects that follow this listing's.
  void Append(const TInfluenceListing& Later);
};

struct TInfluence {
  bool Available = false;   // false when n <= k (no residual degrees of freedom)
  int Rank = 0;             // k
  int NrOfCoefficients = 0; // the DFBETAS columns: inputs, then the intercept
  TBulkVector<double> Hat;          // leverage h, the diagonal of the projection
  TBulkVector<double> RStandard;    // e / (s sqrt(1 - h))
  TBulkVector<double> RStudent;     // e / (s_(i) sqrt(1 - h)), s_(i) without the object
  TBulkVector<double> CooksDistance;
  TBulkVector<double> DFFits;
  TBulkVector<double> CovRatio;
  TBulkVector<double> SigmaWithout; // s_(i)
  // e / ((1 - h) s_(i)) with e the (sqrt(w) scaled) residual: the DFBETAS' common factor; NaN
  // for h = 1.
  TBulkVector<double> DFBetaScale;
  std::shared_ptr<const TDFBetaModel> DFBetaSource;  // null when the run made no measures
  TBulkVector<std::uint8_t> Flags;  // TInfluenceFlag bits
  std::vector<int> Flagged;         // indices (0-based, objects used) with any flag, increasing
  int NrOfUnitLeverage = 0;         // objects with h = 1
  // A run that keeps no measures per object (TMLRRun::ObjectMeasures off) leaves the vectors
  // above and Flagged empty and holds what the report lists here instead.
  bool Summarized = false;
  TInfluenceListing Listing;

  // The DFBETAS of coefficient j (0-based, inputs then intercept) for object i, computed when
  // asked for; NaN for a coefficient of the collinear part of the design. DFBetaRow writes all
  // NrOfCoefficients of an object at once (what a listing of every object should use).
  double DFBeta(int Object, int Coefficient) const;
  void DFBetaRow(int Object, double* Out) const;
};

// The flag names in the order of their bits, as --influence and the report write them.
inline constexpr const char* InfluenceFlagNames[5] = {"dfb", "dffit", "cov.r", "cook.d", "hat"};

// Estimates of every table row whose inputs are valid (finite), also where the target is
// missing, with their standard errors and 95 % intervals (t quantile on n - k degrees of
// freedom): the confidence interval of the mean response and the prediction interval of a new
// observation. Each vector has one element per row in Rows.
struct TPredictions {
  std::vector<int> Rows;            // table rows, increasing
  TBulkVector<double> Estimate;
  TBulkVector<double> SEFit;        // s sqrt(x (X'X)^-1 x')
  TBulkVector<double> CILow, CIHigh;
  TBulkVector<double> PILow, PIHigh;
  TBulkVector<double> Residual;     // actual minus estimate; NaN where the target is missing
  TBulkVector<std::uint8_t> Used;   // 1 for a row of the fit, 0 for a row predicted only
  int NrOfPredictedOnly = 0;        // rows with valid inputs and a missing target
};

// Model measures beyond the fixed report, as R's logLik, AIC and BIC give them for a linear
// model (k + 1 parameters: the coefficients and the residual variance), and the standardized
// coefficients (each input's coefficient times its standard deviation over the target's).
struct TModelMeasures {
  double LogLik = 0;
  double AIC = 0;
  double BIC = 0;
  std::vector<double> Beta;  // one per input, in coefficient order; NaN for a collinear input
  std::string Equation;      // "Net Weight = -135.09 + 0.68442 * Length + 3.3732 * Width"
};

// One column of a report table. Before and Widen serve the fixed text only: the text before
// the cell on its line (the details report's " +/-" and wider gaps), and whether a longer cell
// widens its line instead of being cut to Width (the details report's numbers).
enum class TColumnAlign { Left, Right };
struct TReportColumn {
  std::string Header;
  int Width = 0;  // characters in the fixed text
  TColumnAlign Align = TColumnAlign::Right;
  std::string Before = " ";
  bool Widen = false;
};

// A cell that spans Count columns of its row in the fixed text, its text centred over their
// whole width (the cells it covers are empty).
struct TReportSpan {
  std::size_t Row = 0, Column = 0, Count = 1;
};

// A report table: columns and rows of cell texts, rendered to the fixed text, tab-separated
// text or HTML (mlrtable.h).
struct TReportTable {
  std::string Title;
  std::vector<TReportColumn> Columns;
  std::vector<std::vector<std::string>> Rows;
  std::vector<TReportSpan> Spans;
  // The fixed text's header lines when they are not the columns' headers (the details report's
  // own heading lines; none for a table without a header in the fixed text).
  std::optional<std::vector<std::string>> TextHeader;
  // The width of the fixed text's dash lines with their leading space; 0: that of the columns.
  int TextWidth = 0;
};

// Where a table's fixed text stands among the lines of a report.
struct TPlacedTable {
  std::size_t FirstLine = 0;  // 0-based, its title's line (or first dash line)
  std::size_t NrOfLines = 0;
  TReportTable Table;
};

// Robust standard errors of every coefficient and the tests made with them (the classical
// degrees of freedom and t quantile); empty when the run asked for none.
struct TRobustInference {
  TRobustType Type = TRobustType::None;
  std::vector<double> StdErrors, TValues, PValues, CILow, CIHigh;  // coefficient order
  int NrOfUnitLeverage = 0;  // HC2 and HC3: objects with h = 1 (every figure NaN then)
};

// Per categorical input: the F test of all its indicators together (R's drop1(fit, test = "F"))
// and its generalized VIF as car::vif prints it.
struct TCategoricalTerm {
  std::string Name;     // ReportName of the column
  int Column = 0;
  std::string Reference;             // the reference level's text
  bool ReferenceReplaced = false;    // the chosen reference had no objects
  bool FullCoding = false;           // every level has an indicator (model without intercept)
  std::vector<std::string> Dropped;  // labelled levels without objects
  int DF = 0;
  double SumOfSquares = 0, FValue = 0, PValue = 0, GVIF = 0, ScaledGVIF = 0;
};

struct TMLRResult {
  // The fit's part of a result published before the rest (TMLRRun::DeferInfluence): no
  // influence measures, predictions or excluded objects' leverages, and the extended block
  // without its influential objects. The complete result is a separate value.
  bool Partial = false;

  // model options: intercept, weights (their column and the rows of weight 0 left out),
  // robust standard errors, categorical inputs and the Ordinal inputs taken as numbers
  bool Intercept = true;
  int WeightCol = 0;
  std::string WeightName;
  std::vector<int> ZeroWeightRows;
  TRobustInference Robust;
  std::vector<TCategoricalTerm> CategoricalTerms;
  std::vector<std::string> OrdinalNames;

  // roles
  int TargetCol = 0;
  std::string TargetName;               // ReportName of the target column
  // Per design column besides the intercept: its table column (increasing; a categorical input
  // repeats it for each indicator) and its name (the ReportName, "Column[label]" for an
  // indicator).
  std::vector<int> InputCols;
  std::vector<std::string> InputNames;

  // objects
  int NrOfRows = 0;                 // rows of the table
  TBulkVector<int> UsedRows;        // table rows in the fit, increasing
  std::vector<int> LeftOutRows;     // the others (a missing or non-finite value), increasing
  std::vector<int> ExcludedRows;    // rows left out by the user (model options), increasing
  // The excluded rows whose inputs and target are valid, at (actual, estimated) as the fit
  // predicts them: drawn hollow beside the objects of the fit (made with the predictions).
  std::vector<TFitPoint> ExcludedPoints;
  // Per excluded point, where the diagnostic charts draw it, from the fit's own factor: its
  // leverage x (A'A)^+ x' and its standardized prediction error e / (s sqrt(1 / w + h)) (w the
  // row's weight, 1 without weights). NaN where the run made no influence measures.
  std::vector<double> ExcludedLeverage;
  std::vector<double> ExcludedStdError;

  // design and coefficients (inputs, then the intercept when the model has one)
  bool NearSingular = false;
  int Rank = 0;                     // the design's numerical rank
  std::vector<double> Coefficients;
  std::vector<double> UnscaledStdDev;  // VecDx
  std::vector<double> StdErrors;       // UnscaledStdDev times SRes

  // statistics, analysis of variance and tests
  TFitSummary Summary;
  TFitInference Inference;
  TModelMeasures Measures;

  // per object used: the estimate and the residual (actual minus estimate)
  TBulkVector<double> Estimates;
  TBulkVector<double> Residuals;
  TInfluence Influence;
  TPredictions Predictions;

  // charts
  TBulkVector<TFitPoint> FitPoints;
  // ClassColors index of the chart's diagonal reference line: the colour the last mark leaves,
  // that of the last object used (0 without points). The line's ends come from the chart's
  // ranges after it has fitted them to the marks, so the chart supplies them.
  int FitLineColorIndex = 0;
  std::string Caption;
  TResidualHistogram Histogram;

  // report: the fixed lines and the extended block with the tables among their lines (mlrtable.h
  // makes a document of blocks of both), and the tables of the result for other programs (the
  // analysis of variance, the coefficients with their beta, every influential object, ...)
  std::vector<std::string> ReportLines;
  std::vector<std::string> ExtendedLines;
  std::vector<TPlacedTable> ReportTables;
  std::vector<TPlacedTable> ExtendedTables;
  std::vector<TReportTable> Tables;
};

using TMLRResultPtr = std::shared_ptr<const TMLRResult>;

}  // namespace orvex
