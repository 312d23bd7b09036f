// The result value of a successful run: what the run computed, gathered into one immutable
// TMLRResult that the views and tools share.
#include "mlrrun.h"
#include "mlrrun_text.h"

#include "orvex_datatable.h"

#include <algorithm>
#include <limits>

namespace orvex {

namespace {

// The large buffers of a result that nobody else holds any more move to the next result, so
// that a repeated run on a large table finds their memory in place: those of the fit's part and
// those of the influence measures and predictions (which a deferred run keeps aside until its
// complete result is made).
void RecycleFitBuffers(TMLRResult& From, TMLRResult& To)
{
  To.Estimates.swap(From.Estimates);
  To.Residuals.swap(From.Residuals);
  To.FitPoints.swap(From.FitPoints);
}

void RecycleInfluenceBuffers(TMLRResult& From, TMLRResult& To)
{
  TInfluence& fi = From.Influence;
  TInfluence& ti = To.Influence;
  for (auto member : {&TInfluence::Hat, &TInfluence::RStandard, &TInfluence::RStudent,
                      &TInfluence::CooksDistance, &TInfluence::DFFits, &TInfluence::CovRatio,
                      &TInfluence::SigmaWithout, &TInfluence::DFBetaScale})
    (ti.*member).swap(fi.*member);
  ti.Flags.swap(fi.Flags);
  TPredictions& fp = From.Predictions;
  TPredictions& tp = To.Predictions;
  for (auto member : {&TPredictions::Estimate, &TPredictions::SEFit, &TPredictions::CILow,
                      &TPredictions::CIHigh, &TPredictions::PILow, &TPredictions::PIHigh,
                      &TPredictions::Residual})
    (tp.*member).swap(fp.*member);
  tp.Used.swap(fp.Used);
  tp.Rows.swap(fp.Rows);
}

}  // namespace

const TBulkVector<TFitPoint>& TMLRRun::FitPoints() const
{
  static const TBulkVector<TFitPoint> none;
  return FResult ? FResult->FitPoints : none;
}

void TMLRRun::MakeResult(const TDataTable& Table)
{
  auto r = std::make_shared<TMLRResult>();
  if (FResult && FResult.use_count() == 1) {
    RecycleFitBuffers(*FResult, *r);
    RecycleInfluenceBuffers(*FResult, FRecycled);
  }
  const int p = FNumInputs;
  const int n = NrOfCoefficients();
  r->Intercept = FDesign.Intercept;
  r->TargetCol = FTargetCol;
  r->TargetName = ReportName(Table.ColName(FTargetCol));
  for (int j = 0; j < p; ++j) {
    const auto col = static_cast<std::size_t>(j);
    r->InputCols.push_back(FDesign.Terms[static_cast<std::size_t>(FDesign.ColumnTerm[col])].Column);
    r->InputNames.push_back(FDesign.ColumnNames[col]);
  }
  r->NrOfRows = Table.NrOfRows();
  r->UsedRows.assign(FUsedRows.begin(), FUsedRows.end());
  r->LeftOutRows = FInference.MissingRows;
  r->NearSingular = FSummary.NearSingular;
  for (int j = 1; j <= n; ++j) {
    r->Coefficients.push_back(FVecX.Elem(j));
    r->UnscaledStdDev.push_back(FVecDx.Elem(j));
    r->StdErrors.push_back(FVecDx.Elem(j) * FSummary.SRes);
  }
  r->Summary = FSummary;
  r->Inference = FInference;
  const int m = static_cast<int>(FUsedRows.size());
  r->Estimates.resize(static_cast<std::size_t>(m));
  std::copy(FEstimates.begin(), FEstimates.begin() + m, r->Estimates.begin());
  r->Residuals.resize(static_cast<std::size_t>(m));
  for (int i = 0; i < m; ++i)
    r->Residuals[static_cast<std::size_t>(i)] = FVecC.Data()[i] - FEstimates[static_cast<std::size_t>(i)];
  // With weights the run's estimates and residuals are those of the sqrt(w) scaled problem;
  // the result holds the fitted values and residuals of the data.
  if (Weighted())
    for (int i = 0; i < m; ++i) {
      r->Estimates[static_cast<std::size_t>(i)] /= FSqrtW[static_cast<std::size_t>(i)];
      r->Residuals[static_cast<std::size_t>(i)] /= FSqrtW[static_cast<std::size_t>(i)];
    }
  r->FitLineColorIndex = FPoints.empty() ? 0 : FPoints.back().ColorIndex;
  r->FitPoints.swap(FPoints);
  r->Caption = FCaption;
  r->Histogram = FHistogram;
  r->ReportLines = FReportLines;
  r->ReportTables = FReportTables;
  r->ExtendedLines = FExtendedLines;
  r->ExtendedTables = FExtendedTables;
  FFitExtendedLines = FExtendedLines;
  FFitExtendedTables = FExtendedTables;
  // Without the factor the rank is known only when the solve zeroed nothing.
  r->Rank = FSummary.NearSingular ? 0 : n;
  FFactor.clear();
  FFactorRank = 0;
  if (FInfluence && MakeLeverageFactor(FFactor, FFactorRank))
    r->Rank = FFactorRank;
  else
    FFactor.clear();
  r->ExcludedRows = FExcludedRows;
  FPending = FInfluence && FDeferInfluence;
  if (FPending) {
    // The fit's part: the excluded points as the complete result has them.
    r->Partial = true;
    MakeExcludedPoints(Table, *r);
    r->ExcludedLeverage.assign(r->ExcludedPoints.size(), std::numeric_limits<double>::quiet_NaN());
    r->ExcludedStdError = r->ExcludedLeverage;
  } else {
    RecycleInfluenceBuffers(FRecycled, *r);
    MakeInfluencePart(Table, *r);
  }
  MakeMeasures(*r);
  MakeOptionsResult(Table, *r);
  Publish(Table, std::move(r));
}

void TMLRRun::Publish(const TDataTable& Table, std::shared_ptr<TMLRResult> R)
{
  AppendResultReport(Table, *R);
  AppendOptionsReport(*R);
  FExtendedLines = R->ExtendedLines;
  FExtendedTables = R->ExtendedTables;
  FResult = std::move(R);
}

void TMLRRun::MakeInfluencePart(const TDataTable& Table, TMLRResult& R) const
{
  if (!FFactor.empty()) {
    MakeInfluence(Table, R, FFactor, FFactorRank);
    if (FPredictions)
      MakePredictions(Table, R, FFactor, FFactorRank);
  }
  MakeExcludedPoints(Table, R);
  R.ExcludedLeverage.assign(R.ExcludedPoints.size(), std::numeric_limits<double>::quiet_NaN());
  R.ExcludedStdError = R.ExcludedLeverage;
  if (!FFactor.empty() && R.Influence.Available)
    MakeExcludedDiagnostics(Table, R, FFactor, FFactorRank);
}

void TMLRRun::CompleteResult(const TDataTable& Table)
{
  if (!ResultPending() || !FResult)
    return;
  FPending = false;
  // The partial value moves into the complete one when no reader holds it; otherwise it stays
  // as the reader has it and the complete value gets copies.
  auto r = FResult.use_count() == 1 ? std::make_shared<TMLRResult>(std::move(*FResult))
                                    : std::make_shared<TMLRResult>(*FResult);
  FResult.reset();
  r->Partial = false;
  RecycleInfluenceBuffers(FRecycled, *r);
  MakeInfluencePart(Table, *r);
  // The extended block again from the inference's lines, now with the influential objects.
  r->ExtendedLines = FFitExtendedLines;
  r->ExtendedTables = FFitExtendedTables;
  r->Tables.clear();
  Publish(Table, std::move(r));
}

}  // namespace orvex
