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
// that a repeated run on a large table finds their memory in place.
void RecycleBuffers(TMLRResult& From, TMLRResult& To)
{
  To.Estimates.swap(From.Estimates);
  To.Residuals.swap(From.Residuals);
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
  To.FitPoints.swap(From.FitPoints);
}

}  // namespace

void TMLRRun::MakeResult(const TDataTable& Table)
{
  auto r = std::make_shared<TMLRResult>();
  if (FResult && FResult.use_count() == 1)
    RecycleBuffers(*FResult, *r);
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
  r->UsedRows = FUsedRows;
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
  r->FitPoints.resize(FFitPoints.size());
  std::copy(FFitPoints.begin(), FFitPoints.end(), r->FitPoints.begin());
  r->FitLineColorIndex = FitLineColorIndex();
  r->Caption = FCaption;
  r->Histogram = FHistogram;
  r->ReportLines = FReportLines;
  r->ReportTables = FReportTables;
  r->ExtendedLines = FExtendedLines;
  r->ExtendedTables = FExtendedTables;
  // Without the factor the rank is known only when the solve zeroed nothing.
  r->Rank = FSummary.NearSingular ? 0 : n;
  std::vector<double> factor;
  int rank = 0;
  if (FInfluence && MakeLeverageFactor(factor, rank)) {
    r->Rank = rank;
    MakeInfluence(*r, factor, rank);
    MakePredictions(Table, *r, factor, rank);
  }
  r->ExcludedRows = FExcludedRows;
  MakeExcludedPoints(Table, *r);
  r->ExcludedLeverage.assign(r->ExcludedPoints.size(), std::numeric_limits<double>::quiet_NaN());
  r->ExcludedStdError = r->ExcludedLeverage;
  if (!factor.empty() && r->Influence.Available)
    MakeExcludedDiagnostics(Table, *r, factor, rank);
  MakeMeasures(*r);
  MakeOptionsResult(Table, *r);
  AppendResultReport(Table, *r);
  AppendOptionsReport(*r);
  FExtendedLines = r->ExtendedLines;
  FExtendedTables = r->ExtendedTables;
  FResult = std::move(r);
}

}  // namespace orvex
