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

#include "mlrdesign.h"
#include "mlrresult.h"
#include "orvex_bulkalloc.h"
#include "orvex_math2.h"
#include "orvex_matrix.h"
#include "orvex_vector.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvex {

class TDataTable;

// The run's design matrix, shared with the results that compute their DFBETAS from it. A result
// keeps the design it was made from; the next run fills the other of two buffers when a result
// still holds this one, so that a repeated run of the same size neither copies nor allocates.
// Writing access to a design that a result holds gives the run a copy first.
//
// The design can also be borrowed: columns held elsewhere (a table's own columns, which the
// caller keeps alive and unchanged while the results live) and an owned column of ones. The
// readers see the same values; writing access or the TMatrix view first copies them into a
// matrix of its own.
class TSharedDesign {
public:
  TSharedDesign();
  int NrOfColumns() const { return Borrowed() ? FBorrowed.NrOfColumns() : FCurrent->NrOfColumns(); }
  int NrOfRows() const { return Borrowed() ? FBorrowed.NrOfRows : FCurrent->NrOfRows(); }
  const double* Column(int Col) const
  {
    return Borrowed() ? FBorrowed.Columns[static_cast<std::size_t>(Col - 1)] : FCurrent->Column(Col);
  }
  double* OwnColumn(int Col) { return Own().Column(Col); }
  // The contents are replaced: a held design is left to its result without a copy.
  bool Resize(int NewNrOfColumns, int NewNrOfRows);
  // The design becomes Columns (NrOfRows values each); Keep holds what the design owns of them.
  void Borrow(std::vector<const double*> Columns, int NrOfRows, std::shared_ptr<const void> Keep);
  bool Borrowed() const { return !FBorrowed.Columns.empty(); }
  void SetName(const std::string& Value) { FCurrent->SetName(Value); }
  operator const TMatrix&() const { return Materialized(); }
  operator TMatrix&() { return Own(); }
  // The columns as they stand, and what keeps them alive, for a result to keep.
  TColumnDesign Columns() const;
  std::shared_ptr<const void> Share() const { return Borrowed() ? FBorrowKeep : FCurrent; }

private:
  TMatrix& Own();
  const TMatrix& Materialized() const;
  mutable std::shared_ptr<TMatrix> FCurrent, FSpare;
  mutable TColumnDesign FBorrowed;
  mutable std::shared_ptr<const void> FBorrowKeep;
};

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

// The extended block's line for a fit whose tests are undefined (after one leading space).
inline constexpr const char* PerfectFitText =
    "Essentially perfect fit: the residuals are zero to rounding, so the tests and intervals "
    "below are undefined.";
inline constexpr const char* ConstantTargetText =
    "The target is constant over the objects used: there is nothing to explain.";

// The report's note on the R squared of a model without intercept.
inline constexpr const char* NoInterceptNote = "(no intercept: R-squared uncentred)";

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
  InvalidOptions, // a weight that is negative or not finite, a categorical input that cannot be coded
};

// What the model options change in the writers that the run on the table and the run over a
// file share; the default is the plain model.
struct TModelForm {
  bool Intercept = true;
  bool Categorical = false;  // indicator columns among the inputs: their names are shown whole
  int NrOfZeroWeight = 0;    // rows of weight 0, left out of the fit but not missing
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
  // Options (mlrdesign.h) add categorical inputs' indicators, weights, a model without an
  // intercept and robust standard errors; without them (and without a Nominal input) the run
  // is the plain fit, unchanged.
  bool Execute(const TDataTable& Table, const TRoleState& Roles,
               const TMLRModelOptions& Options = TMLRModelOptions());

  // properties: the solver; empty (the default) means MultiLinearRegression. Another solver
  // lets a test reach the failure branches that real data practically never reach.
  const TRegressionSolver& Solver() const { return FSolver; }
  void SetSolver(TRegressionSolver Value) { FSolver = std::move(Value); }

  // properties: whether a run also makes the influence measures and the predictions (on by
  // default); without them their parts of the result stay empty and the block omits the list.
  bool Influence() const { return FInfluence; }
  void SetInfluence(bool Value) { FInfluence = Value; }
  // properties: whether the influence measures come with the predictions (on by default). Off,
  // a run with influence leaves the predictions empty; a caller that prints none saves their
  // pass and memory.
  bool Predictions() const { return FPredictions; }
  void SetPredictions(bool Value) { FPredictions = Value; }
  // properties: whether a run makes the points of the actual-versus-estimated chart (on by
  // default). Off, the result's FitPoints stay empty (the excluded objects' points are still
  // made): a caller that draws no chart saves 24 bytes an object.
  bool ChartPoints() const { return FChartPoints; }
  void SetChartPoints(bool Value) { FChartPoints = Value; }
  // properties: whether the influence measures are kept for every object (on by default). Off,
  // a run with influence keeps only the counts and the first flagged objects that the extended
  // block lists (TInfluence::Listing), in a pass that writes no per-object vectors: a caller that
  // prints only the report saves 65 bytes an object. The predictions read every leverage, so a
  // run with predictions keeps the measures whatever this says.
  bool ObjectMeasures() const { return FObjectMeasures; }
  void SetObjectMeasures(bool Value) { FObjectMeasures = Value; }
  // properties: whether the run may read the design from the table's own columns instead of a
  // copy (off by default), when the plain model uses every row of a large table and no input is
  // of a level type: a one-shot caller saves the copy of its table. The caller must then keep the
  // table alive and unchanged while it uses the run's results (their DFBETAS read it), and MatD
  // makes a copy when asked.
  bool BorrowTable() const { return FBorrowTable; }
  void SetBorrowTable(bool Value) { FBorrowTable = Value; }

  // properties: whether a successful run publishes its result in two steps (off by default; the
  // window's choice, so that its charts and report are painted before the influence measures
  // are made). Execute then makes the fit's part only, with Partial set: everything but the
  // influence measures, the predictions, the excluded objects' leverages and the extended
  // block's influential objects. CompleteResult makes the complete result as a new value: a
  // reader holding the partial one keeps it unchanged.
  bool DeferInfluence() const { return FDeferInfluence; }
  void SetDeferInfluence(bool Value) { FDeferInfluence = Value; }
  // Whether the last successful run still owes its complete result.
  bool ResultPending() const { return FPending && Succeeded(); }
  // Makes the complete result of the last run; nothing when none is pending. Table must hold the
  // rows and the values of the run's columns that Execute saw: a caller that changed them calls
  // DiscardCompletion instead (or runs again).
  void CompleteResult(const TDataTable& Table);
  // Forgets the pending completion; the partial result stays the run's result.
  void DiscardCompletion() { FPending = false; }

  // properties: outcome
  TRunStatus Status() const { return FStatus; }
  bool Succeeded() const { return FStatus == TRunStatus::Succeeded; }
  const std::string& ErrorText() const { return FErrorText; }

  // properties: the containers of the run
  // Table column of each input, increasing.
  const TIntVector& SelColumns() const { return FSelColumns; }
  // The options of the last run and the design they made.
  const TMLRModelOptions& Options() const { return FOptions; }
  const TDesign& Design() const { return FDesign; }
  // Design matrix: NumInputs columns, then the intercept's 1.0 when the model has one; one row
  // per object used, unscaled (the solve works on a scaled copy). With weights every row is
  // multiplied by sqrt(w), the intercept column included, and so is VecC.
  const TMatrix& MatD() const { return FMatD; }
  // Whether the last run read its design from the table's own columns (see BorrowTable).
  bool DesignBorrowed() const { return FMatD.Borrowed(); }
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
  // The design columns besides the intercept: the inputs, a categorical input counting its
  // indicators.
  int NumInputs() const { return FNumInputs; }
  // The coefficients: NumInputs, plus one with the intercept.
  int NrOfCoefficients() const { return FNumInputs + (FDesign.Intercept ? 1 : 0); }
  bool NearSingular() const { return FSummary.NearSingular; }
  double ResidMin() const { return FResidMin; }
  double ResidMax() const { return FResidMax; }
  // Table rows taken into the fit, increasing; row k of MatD is table row UsedRows()[k - 1].
  const TBulkVector<int>& UsedRows() const { return FUsedRows; }

  // properties: results of the last successful run
  const TFitSummary& Summary() const { return FSummary; }
  // The chart points of the last successful run's result (empty before one).
  const TBulkVector<TFitPoint>& FitPoints() const;
  // "r2 = ... F = ...", the title of the fit chart.
  const std::string& Caption() const { return FCaption; }
  const TResidualHistogram& Histogram() const { return FHistogram; }
  // The details report, one entry per memo line.
  const std::vector<std::string>& ReportLines() const { return FReportLines; }

  // properties: everything the last successful run produced, as one value that stays valid
  // (and unchanged) after later runs; null before the first successful run.
  TMLRResultPtr Result() const { return FResult; }

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
  // Takes the rows the user excluded (the model options) out of the rows used.
  void LeaveOutExcludedRows(const TDataTable& Table);
  // The excluded rows whose inputs and target are valid, as points at their predicted value.
  void MakeExcludedPoints(const TDataTable& Table, TMLRResult& Result) const;
  bool DropNonFiniteRows();
  void FillDesign(const TDataTable& Table);
  // The steps of a run with options (mlrrun_options.cpp): the weights and the design's terms
  // over the rows, the fill of the scaled design, its statistics, and the extended block's
  // lines and tables of the options.
  bool PrepareOptions(const TDataTable& Table);
  void FillOptionsDesign(const TDataTable& Table);
  void MakeOptionsSummary(TFitSummary& Summary) const;
  void MakeOptionsResult(const TDataTable& Table, TMLRResult& Result) const;
  bool Weighted() const { return !FSqrtW.empty(); }
  // The shape of the last run's model, for the shared writers.
  TModelForm Form() const;
  // The residual sum of squares of the (scaled) problem the solve saw, in extended precision.
  long double ScaledResidualSS() const;
  // The unscaled covariance (X'X)^-1 of the (scaled) design, row-major over its columns; false
  // when the design is rank deficient.
  bool UnscaledCovariance(std::vector<double>& Cov) const;
  // The VIFs of a run with options, as car::vif gives them from the covariance: one per design
  // column besides the intercept, NaN for an indicator (its input's GVIF stands for it).
  std::vector<double> OptionsVIFs() const;
  bool Solve();
  void Evaluate(const TDataTable& Table, TBulkVector<TFitPoint>& Points);
  void MakeHistogram(const TDataTable& Table, TResidualHistogram& Histogram) const;
  void MakeReport(const TDataTable& Table);
  // The residual range starts from ResidMin = ResidRangeStart and ResidMax = -ResidRangeStart.
  // The residuals of a fit with an intercept sum to zero, so the smallest is at most 0 and the
  // largest at least 0: the start never survives a run with objects.
  static constexpr double ResidRangeStart = 1.7E38;
  // Designs of at most this many elements (target included) take ExtendedSRes.
  static constexpr long long ExtendedResidualElements = 16384;
  // Rows per task of the row selection, of the estimates and of the chart points; fixed, so
  // that the tasks depend only on the number of rows.
  static constexpr int SelectRange = 65536;
  static constexpr int EvalBlock = 2048;
  static constexpr int PointBlock = 32768;
  double ExtendedSRes() const;

  TMLRModelOptions FOptions;
  TDesign FDesign;
  // True when the options and the inputs ask for nothing beyond the plain fit.
  bool FPlain = true;
  // sqrt(w) per object used; empty without weights.
  std::vector<double> FSqrtW;
  // Table rows of weight 0, left out of the fit.
  std::vector<int> FZeroWeightRows;
  std::vector<int> FExcludedRows;  // in the table, increasing

  TRunStatus FStatus = TRunStatus::NotRun;
  std::string FErrorText;
  TRegressionSolver FSolver;
  bool FInfluence = true;

  TIntVector FSelColumns;
  TSharedDesign FMatD;
  TVector FVecC;
  TVector FVecX;
  TVector FVecDx;
  TCurveFit FStats;
  TMatrix FWork;   // scaled copy of MatD that the solver overwrites
  // The design's triangular factor as the solve made it (when FHaveTriangle), which the
  // influence measures, predictions and covariances take instead of a second reduction.
  TMatrix FTriangle;
  bool FHaveTriangle = false;

  int FTargetCol = 0;
  int FNumInputs = 0;
  bool FNearSingular = false;
  double FResidMin = 0;
  double FResidMax = 0;
  TBulkVector<int> FUsedRows;
  // Work buffers kept between runs: a flag per row (usable, finite), the estimated values, and
  // the points of the run in progress (the result takes them and leaves the buffer of the result
  // it recycles).
  TBulkVector<unsigned char> FRowFlags;
  // Of the last fill: the largest magnitude of each design column and whether every value of
  // the design and the target is finite.
  std::vector<double> FColumnMax;
  bool FDesignFinite = true;
  // Of the last fill: the moments of each input column.
  std::vector<TColumnMoments> FInputMoments;
  TBulkVector<double> FEstimates;
  TBulkVector<TFitPoint> FPoints;

  TFitSummary FSummary;
  std::string FCaption;
  TResidualHistogram FHistogram;
  std::vector<std::string> FReportLines;
  std::vector<TPlacedTable> FReportTables;

  // inference (mlrrun_inference.cpp)
  void MakeInference(const TDataTable& Table);
  void MakeExtendedLines();
  TFitCondition FitCondition() const;
  std::vector<double> InvolvedWeights() const;
  TFitInference FInference;
  std::vector<std::string> FExtendedLines;
  std::vector<TPlacedTable> FExtendedTables;

  // the result value (mlrrun_result.cpp)
  void MakeResult(const TDataTable& Table);
  // The influence measures, the predictions and the excluded objects' points and leverages of a
  // result, from the leverage factor of the run.
  void MakeInfluencePart(const TDataTable& Table, TMLRResult& Result) const;
  // The extended block's additions of a result made, and the result made the run's.
  void Publish(const TDataTable& Table, std::shared_ptr<TMLRResult> R);
  bool FDeferInfluence = false;
  bool FPredictions = true;
  bool FChartPoints = true;
  bool FObjectMeasures = true;
  bool FBorrowTable = false;
  // The intercept's column of a borrowed design.
  std::shared_ptr<TBulkVector<double>> FOnes;
  bool FPending = false;
  // The leverage factor of the last run (empty when it made none) and its rank.
  std::vector<double> FFactor;
  int FFactorRank = 0;
  // The extended block as the inference made it, before the result's additions.
  std::vector<std::string> FFitExtendedLines;
  std::vector<TPlacedTable> FFitExtendedTables;
  // The influence and prediction buffers of an earlier result, kept for the next complete one.
  TMLRResult FRecycled;
  // influence measures, predictions and model measures (mlrrun_influence.cpp)
  bool MakeLeverageFactor(std::vector<double>& M, int& Rank) const;
  void MakeInfluence(const TDataTable& Table, TMLRResult& Result, const std::vector<double>& M, int Rank) const;
  void MakePredictions(const TDataTable& Table, TMLRResult& Result, const std::vector<double>& M,
                       int Rank) const;
  void MakeOptionsPredictions(const TDataTable& Table, TMLRResult& Result,
                              const std::vector<double>& M, int Rank) const;
  void MakeMeasures(TMLRResult& Result) const;
  void MakeExcludedDiagnostics(const TDataTable& Table, TMLRResult& Result, const std::vector<double>& M,
                               int Rank) const;
  // the extended block's additions and the report tables (mlrrun_extended.cpp)
  void AppendResultReport(const TDataTable& Table, TMLRResult& Result) const;
  // The power-of-two exponents of the design's columns in the last solve.
  std::vector<int> FExponents;
  // Held here as a changeable value, so that its buffers can serve the next result once no
  // reader holds it any more; readers only ever get it as const.
  std::shared_ptr<TMLRResult> FResult;
};

// A column name as the report, the histogram caption and the tool write it: every control
// character (a quoted name in an ASC file may hold tabs and line breaks) becomes a space, so
// that a report line stays one line and a tab-separated value line keeps its fields.
std::string ReportName(const std::string& Name);

// The summary of a plain fit (numeric inputs, an intercept, no weights) from the (actual,
// estimated) pairs of its objects: the counts, the
// statistics, the analysis of variance, the residual deviation on n - p - 1 degrees of freedom
// and R squared.
TFitSummary MakeFitSummary(const TCurveFit& Stats, int NrOfInputs, int NrOfMissing, bool NearSingular);

// The lines of the details report of a fit: the names of the target and of the design's columns
// besides the intercept, Coef and Dx (coefficients and unscaled deviations) one per design column,
// then the intercept when Form has one.
std::vector<std::string> MakeReportLines(const TFitSummary& Summary, const TModelForm& Form,
                                         const std::string& TargetName, const std::vector<std::string>& InputNames,
                                         const double* Coef, const double* Dx, std::vector<TPlacedTable>& Placed);

// The inference of a fit from its numbers: Coef and Dx as for MakeReportLines, VIF one per design
// column, Weights (with NearSingular) each coefficient's weight in the design's null space, the
// design columns' table columns and names. MissingRows stays empty.
TFitInference MakeFitInference(const TFitSummary& Summary, const TModelForm& Form, TFitCondition Condition,
                               const double* Coef, const double* Dx, const std::vector<double>& VIF,
                               const std::vector<double>& Weights, const std::vector<int>& InputCols,
                               const std::vector<std::string>& InputNames);
// The condition of a fit: a constant target, else a perfect fit when the residual variance
// falls below 1e-30 of the estimates' mean square plus their variance (EstimateSS: their centred
// sum of squares).
TFitCondition FitConditionOf(bool ConstantTarget, long double EstimateMean, long double EstimateSS, int NrOfObjects,
                             double SRes);
// The weight of every column in the null space of the design whose columns are scaled to unit
// length, from that design or any matrix with the same right singular vectors and values (its
// triangular factor); Normalized is used up.
std::vector<double> NullSpaceWeights(TMatrix& Normalized);
// The extended block of a fit.
std::vector<std::string> MakeExtendedLines(const TFitSummary& Summary, const TModelForm& Form,
                                           const TFitInference& Inference, std::vector<TPlacedTable>& Placed);

// The influence measures of objects in blocks, for a run that holds its design and for one that
// reads it a block at a time alike. From the triangular factor R of the design (used up) and its
// columns' power-of-two exponents: M (n x Rank, column-major, one column per kept singular
// value) with x (A'A)^+ x' = |x M|^2. False when the decomposition fails or nothing is kept.
bool LeverageFactor(TMatrix& R, const std::vector<int>& Exponents, std::vector<double>& M, int& Rank);

struct TInfluenceModel {
  int NrOfObjects = 0;      // m
  int Rank = 0;             // k
  int NrOfCoefficients = 0; // n
  // M, its transpose and 1 / sqrt of the diagonal of (A'A)^+ (NaN where collinear); a result
  // keeps it, with its design, for the DFBETAS asked for later.
  std::shared_ptr<TDFBetaModel> Factor;
  long double RSS = 0;
  double S = 0;                  // sqrt(RSS / (m - k))
};
TInfluenceModel MakeInfluenceModel(const std::vector<double>& M, int Rank, int NrOfObjects, long double RSS,
                                   const TFitInference& Inference);

// Where InfluenceOfBlock writes the measures of Count objects: one value per object. DFBetas
// (optional) receives the DFBETAS of coefficient j at DFBetas[j * DFBetaStride + i];
// DFBetaScale (optional) each object's DFBETAS factor; MaxAbsDFBeta (optional) the largest
// |DFBETAS| of each object, which is 0 unless |DFFITS| reaches about 1 (|DFBETAS_j| <= |DFFITS|
// always, so only those objects need their DFBETAS for the flag).
struct TInfluenceRows {
  double *Hat = nullptr, *RStandard = nullptr, *RStudent = nullptr, *CooksDistance = nullptr, *DFFits = nullptr,
         *CovRatio = nullptr, *SigmaWithout = nullptr, *DFBetas = nullptr;
  std::size_t DFBetaStride = 0;
  double *DFBetaScale = nullptr, *MaxAbsDFBeta = nullptr;
};
// The measures of Count objects whose design columns (inputs, then the ones) are Cols and whose
// residuals (actual minus estimate) are E.
void InfluenceOfBlock(const TInfluenceModel& Model, const double* const* Cols, const double* E, int Count,
                      const TInfluenceRows& Out);

// The rules of influence for rank k over NrOfPositive objects of leverage above 0.
struct TInfluenceLimits {
  double DFFit = 0, CovRatio = 0, Hat = 0, CooksD = 0;
};
TInfluenceLimits InfluenceLimitsOf(int Rank, int NrOfPositive);
std::uint8_t InfluenceFlagsOf(const TInfluenceLimits& L, double MaxAbsDFBeta, double DFFits, double CovRatio,
                              double CooksDistance, double Hat);

// The log-likelihood, AIC, BIC, beta coefficients and equation of a result that holds its
// coefficients, rank, names, intercept, summary and inference, from the residual sum of squares
// (of the sqrt(w) scaled problem), the sum of the logarithms of the weights (0 without) and the
// design columns' centred sums of squares.
void MakeModelMeasures(TMLRResult& Result, long double RSS, long double LogWeights, int NrOfObjects,
                       const std::vector<double>& CentredSS);

// x (A'A)^+ x' = |x M|^2 of a row x of the design (inputs, then the 1).
double LeverageOf(const double* X, int NrOfCoefficients, const std::vector<double>& M, int Rank);
// The standard error and the 95 % intervals of an estimate of leverage Hat, with the residual
// deviation S and the t quantile of the fit; a new observation of weight Weight varies about its
// mean by S^2 / Weight, as R's predict takes the fit's weights.
struct TPredictionRow {
  double SEFit = 0, CILow = 0, CIHigh = 0, PILow = 0, PIHigh = 0;
};
TPredictionRow PredictionOf(double Estimate, double Hat, double S, double TQuantile, double Weight = 1);

// The extended block's model lines (the equation, the beta coefficients, the log-likelihood) and
// the analysis-of-variance and coefficient tables of a result that holds its numbers.
void AppendModelReport(TMLRResult& R);

// The rules and the influential objects' lines; Tables receives the table of the listed ones.
void AppendInfluenceReport(std::vector<std::string>& Lines, std::vector<TPlacedTable>& Placed,
                           std::vector<TReportTable>& Tables, const TInfluenceListing& L);

// The caption and report texts of a fit, exposed for callers that hold the numbers already.
std::string MakeFText(double FValue);
std::string MakeCaption(const TFitSummary& Summary);

// Numbers of the extended block: 5 significant digits, fixed form for magnitudes from 1e-4 to
// below 1e5, short scientific form otherwise, at most 11 characters; "n/a" for NaN.
std::string FormatSig5(double Value);
// A p-value of the extended block: "< 1e-16" below 1e-16, otherwise FormatSig5.
std::string FormatPValue(double Value);

}  // namespace orvex
