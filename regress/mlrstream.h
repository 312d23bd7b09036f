// The regression run over a file larger than memory. The file is read a block of rows at a time
// (TBlockReader) and the table is never held:
// 1. the first pass takes the objects the in-memory run takes (target and inputs valid and
//    finite), reduces their rows into the design's triangular factor in the solver's own chunks
//    (TStreamedRegression) and gathers the inputs' largest magnitudes and moments, the rows
//    left out and whether the target is constant;
// 2. an ill-conditioned fit reads the rows once more for the solver's refinement step;
// 3. the last pass forms the estimates and residuals in the run's order, the statistics pairs'
//    sums (TCurveFit without its store), the residual range, the influence measures of every
//    object and the predictions of every row with valid inputs; the per-row values go to the
//    caller as they come.
// The result is a TMLRResult without the per-object vectors, whose report, caption, extended
// block and numbers are made by the writers the in-memory run uses. On files that fit, the
// coefficients and the report equal the in-memory run's. The influence measures need the
// residual sum of squares before the residuals are known: the last pass takes it from the
// triangular factor, and when that is off from the residuals' own (an ill-conditioned fit), the
// measures are made again in a pass of their own (OnRestart).
//
// Nominal and Ordinal columns (a file's declared types, a delimited file's columns of texts)
// take part with their values rounded, as in a table; a Nominal input, which the run on the
// table codes as indicators, is refused.
//
// Not covered: the histogram (no reader of this run shows one), and the VIFs of a fit whose
// solve zeroed a singular value or that has a constant input, which read NaN.
#pragma once

#include "mlrresult.h"
#include "mlrrun.h"
#include "orvex_blockreader.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

// Opens the file afresh for another pass; null, with Message set, when it cannot.
using TBlockSource = std::function<std::unique_ptr<TBlockReader>(std::string& Message)>;

// The influence measures of one object used, as the in-memory result holds them.
struct TObjectInfluence {
  int Row = 0;  // table row, 1-based
  double Hat = 0, RStandard = 0, RStudent = 0, CooksDistance = 0, DFFits = 0, CovRatio = 0;
  std::uint8_t Flags = 0;
  const double* DFBetas = nullptr;  // NrOfCoefficients values, Stride apart
  std::size_t Stride = 1;
  int NrOfCoefficients = 0;
};

// The prediction of one row with valid inputs.
struct TObjectPrediction {
  int Row = 0;
  double Estimate = 0;
  TPredictionRow Interval;
  double Residual = 0;  // NaN where the target is missing
};

class TMLRStream {
public:
  // events: per object used, in row order (with influence measures only); per row with valid
  // inputs, in row order. Fired during the last pass when assigned.
  std::function<void(TMLRStream* Sender, const TObjectInfluence& Object)> OnInfluence;
  std::function<void(TMLRStream* Sender, const TObjectPrediction& Row)> OnPrediction;
  // Fired when the per-row values handed out so far are void and come again in a pass of
  // their own: the residual sum of squares of the factor was off from the residuals' own.
  std::function<void(TMLRStream* Sender)> OnRestart;

  // operations
  // Fits the target column on the input columns (1-based columns of the reader, the inputs
  // increasing) over First's file, reading it again through Reopen for the later passes. True
  // on success; otherwise ErrorText says why (the run's own texts, or the reader's message).
  bool Execute(std::unique_ptr<TBlockReader> First, const TBlockSource& Reopen, const std::vector<int>& InputCols,
               int TargetCol);

  // properties
  const std::string& ErrorText() const { return FErrorText; }
  bool NearSingular() const { return FResult && FResult->NearSingular; }
  // The result of the last successful run: every part but the per-object vectors, the chart
  // points and the histogram; the influence part holds Available, Rank and the flagged count.
  TMLRResultPtr Result() const { return FResult; }
  // Passes over the file the last run made (2 to 4).
  int NrOfPasses() const { return FPasses; }

private:
  struct TPassState;
  bool Fail(const std::string& Text);
  bool ReadPass(TBlockReader& Reader, const std::function<void(const TRowBlock&)>& Block);

  std::string FErrorText;
  std::shared_ptr<TMLRResult> FResult;
  int FPasses = 0;
};

}  // namespace orvex
