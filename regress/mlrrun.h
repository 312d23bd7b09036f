// The regression run of the workbench, without any GUI: from a data table and the role state
// (which columns are inputs, which one is the target) it builds the design matrix with its
// intercept column, solves it through the singular value decomposition, evaluates the fitted
// model on every object it used, and prepares everything the window shows: the points of the
// actual-versus-estimated chart, the chart caption, the residual histogram and the lines of the
// details report. The main window calls Execute from its role handler and only pushes the
// results into its widgets; the command-line tool and the tests use the same run.
//
// Objects with a missing (empty or not-a-number) value in the target or in any input column
// are left out of the whole run, and the report counts them. Each design column is scaled by a
// power of two before the solve so that the unit of a variable cannot decide the result.
#pragma once

#include "orvex_bulkalloc.h"
#include "orvex_math2.h"
#include "orvex_matrix.h"
#include "orvex_vector.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace orvex {

class TDataTable;

// Per table column (1-based) an input flag and a target flag, as the variable list holds them.
// Columns beyond NrOfColumns read as neither input nor target.
class TRoleState {
public:
  explicit TRoleState(int NrOfColumns = 0);

  // properties
  int NrOfColumns() const { return static_cast<int>(FInput.size()); }
  // Keeps the flags of the surviving columns; new columns have no role.
  void SetNrOfColumns(int Value);
  bool Input(int Col) const;
  void SetInput(int Col, bool Value);
  bool Target(int Col) const;
  void SetTarget(int Col, bool Value);
  int NrOfInputs() const;
  int NrOfTargets() const;

  // operations
  void Clear();

private:
  std::vector<bool> FInput;
  std::vector<bool> FTarget;
};

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
};

// The extended block's line for a fit whose tests are undefined (after one leading space).
inline constexpr const char* PerfectFitText =
    "Essentially perfect fit: the residuals are zero to rounding, so the tests and intervals "
    "below are undefined.";
inline constexpr const char* ConstantTargetText =
    "The target is constant over the objects used: there is nothing to explain.";

// The text of the window's collinearity warning label, shown while NearSingular is set.
inline constexpr const char* NearSingularWarning =
    "Warning: some of the selected input variables are highly collinear!!";

// Fixed settings of the actual-versus-estimated chart: its axis captions and the mark type of
// every object.
inline constexpr const char* FitChartXCaption = "Actual Data";
inline constexpr const char* FitChartYCaption = "Estimated Data";
inline constexpr int FitChartMarkType = 26;

// The least-squares solve the run applies to its scaled design matrix, with the parameters of
// MultiLinearRegression.
using TRegressionSolver =
    std::function<bool(TMatrix& A, const TVector& B, TVector& X, TVector* Sig, bool& NearSingular)>;

enum class TRunStatus {
  NotRun,         // Execute has not been called
  Succeeded,
  InvalidRoles,   // no input, no target, or the target is also an input
  TooFewObjects,  // fewer usable objects than inputs + 2
  SolveFailed,    // the decomposition failed or the solution is not finite
};

class TMLRRun {
public:
  TMLRRun();
  TMLRRun(const TMLRRun&) = delete;
  TMLRRun& operator=(const TMLRRun&) = delete;

  // operations
  // Runs the regression of the target on the inputs over the usable objects of Table. True on
  // success. On failure Status and ErrorText tell why; the summary, chart points, caption,
  // report and histogram then keep what the last successful run left (the window keeps showing
  // it), while the containers, Stats and the residual range may hold the failed attempt's.
  bool Execute(const TDataTable& Table, const TRoleState& Roles);

  // properties: the solver; empty (the default) means MultiLinearRegression. Another solver
  // lets a test reach the failure branches that real data practically never reach.
  const TRegressionSolver& Solver() const { return FSolver; }
  void SetSolver(TRegressionSolver Value) { FSolver = std::move(Value); }

  // properties: outcome
  TRunStatus Status() const { return FStatus; }
  bool Succeeded() const { return FStatus == TRunStatus::Succeeded; }
  const std::string& ErrorText() const { return FErrorText; }

  // properties: the containers of the run
  // Table column of each input, increasing.
  const TIntVector& SelColumns() const { return FSelColumns; }
  // Design matrix: NumInputs + 1 columns (the last is the intercept's 1.0), one row per object
  // used, unscaled (the solve works on a scaled copy).
  const TMatrix& MatD() const { return FMatD; }
  // Target values of the objects used.
  const TVector& VecC() const { return FVecC; }
  // Coefficients: one per input in SelColumns order, the intercept last.
  const TVector& VecX() const { return FVecX; }
  // Unscaled standard deviations of the coefficients, same order as VecX.
  const TVector& VecDx() const { return FVecDx; }
  // The (actual, estimated) pairs of the objects used.
  const TCurveFit& Stats() const { return FStats; }

  // properties: state of the last run
  int TargetCol() const { return FTargetCol; }
  int NumInputs() const { return FNumInputs; }
  bool NearSingular() const { return FSummary.NearSingular; }
  double ResidMin() const { return FResidMin; }
  double ResidMax() const { return FResidMax; }
  // Table rows taken into the fit, increasing; row k of MatD is table row UsedRows()[k - 1].
  const std::vector<int>& UsedRows() const { return FUsedRows; }

  // properties: results of the last successful run
  const TFitSummary& Summary() const { return FSummary; }
  const TBulkVector<TFitPoint>& FitPoints() const { return FFitPoints; }
  // ClassColors index of the chart's diagonal reference line: the colour the last mark leaves,
  // that of the last object used (0 without points). The line's ends come from the chart's
  // ranges after it has fitted them to the marks, so the chart supplies them.
  int FitLineColorIndex() const { return FFitPoints.empty() ? 0 : FFitPoints.back().ColorIndex; }
  // "r2 = ... F = ...", the title of the fit chart.
  const std::string& Caption() const { return FCaption; }
  const TResidualHistogram& Histogram() const { return FHistogram; }
  // The details report, one entry per memo line.
  const std::vector<std::string>& ReportLines() const { return FReportLines; }

  // properties: inference of the last successful run
  const TFitInference& Inference() const { return FInference; }
  // The extended block that follows the details report: the coefficient table with t values,
  // p-values, confidence intervals and VIFs, the residual standard error, R squared and its
  // adjusted form, the F test's p-value, the objects used and the collinear inputs.
  const std::vector<std::string>& ExtendedLines() const { return FExtendedLines; }

  // Mean, centred and raw sum of squares of a column of the design, as the fill gives them.
  struct TColumnMoments {
    double Mean = 0, CentredSS = 0, RawSS = 0;
  };

private:
  bool Fail(TRunStatus Status, const std::string& Text);
  bool ReadRoles(const TDataTable& Table, const TRoleState& Roles);
  void SelectRows(const TDataTable& Table);
  bool DropNonFiniteRows();
  void FillDesign(const TDataTable& Table);
  bool Solve();
  void Evaluate(const TDataTable& Table, TBulkVector<TFitPoint>& Points);
  void MakeHistogram(const TDataTable& Table, TResidualHistogram& Histogram) const;
  void MakeReport(const TDataTable& Table);
  // Designs of at most this many elements (target included) take ExtendedSRes.
  static constexpr long long ExtendedResidualElements = 16384;
  // Rows per task of the row selection, of the estimates and of the chart points; fixed, so
  // that the tasks depend only on the number of rows.
  static constexpr int SelectRange = 65536;
  static constexpr int EvalBlock = 2048;
  static constexpr int PointBlock = 32768;
  double ExtendedSRes() const;

  TRunStatus FStatus = TRunStatus::NotRun;
  std::string FErrorText;
  TRegressionSolver FSolver;

  TIntVector FSelColumns;
  TMatrix FMatD;
  TVector FVecC;
  TVector FVecX;
  TVector FVecDx;
  TCurveFit FStats;
  TMatrix FWork;   // scaled copy of MatD that the solver overwrites

  int FTargetCol = 0;
  int FNumInputs = 0;
  bool FNearSingular = false;
  double FResidMin = 0;
  double FResidMax = 0;
  std::vector<int> FUsedRows;
  // Work buffers kept between runs: a flag per row (usable, finite), the estimated values, and
  // the points of the run in progress (swapped with FFitPoints when it succeeds).
  TBulkVector<unsigned char> FRowFlags;
  // Of the last fill: the largest magnitude of each design column and whether every value of
  // the design and the target is finite.
  std::vector<double> FColumnMax;
  bool FDesignFinite = true;
  // Of the last fill: the moments of each input column.
  std::vector<TColumnMoments> FInputMoments;
  TBulkVector<double> FEstimates;
  TBulkVector<TFitPoint> FSparePoints;

  TFitSummary FSummary;
  TBulkVector<TFitPoint> FFitPoints;
  std::string FCaption;
  TResidualHistogram FHistogram;
  std::vector<std::string> FReportLines;

  // inference (mlrrun_inference.cpp)
  void MakeInference(const TDataTable& Table);
  void MakeExtendedLines();
  TFitCondition FitCondition() const;
  std::vector<double> InvolvedWeights() const;
  TFitInference FInference;
  std::vector<std::string> FExtendedLines;
};

// A column name as the report, the histogram caption and the tool write it: every control
// character (a quoted name in an ASC file may hold tabs and line breaks) becomes a space, so
// that a report line stays one line and a tab-separated value line keeps its fields.
std::string ReportName(const std::string& Name);

// The caption and report texts of a fit, exposed for callers that hold the numbers already.
std::string MakeFText(double FValue);
std::string MakeCaption(const TFitSummary& Summary);

// Numbers of the extended block: 5 significant digits, fixed form for magnitudes from 1e-4 to
// below 1e5, short scientific form otherwise, at most 11 characters; "n/a" for NaN.
std::string FormatSig5(double Value);
// A p-value of the extended block: "< 1e-16" below 1e-16, otherwise FormatSig5.
std::string FormatPValue(double Value);

}  // namespace orvex
