// The result value of a successful run: what the run computed, gathered into one immutable
// TMLRResult that the views and tools share.
#include "mlrrun.h"

#include "orvex_datatable.h"

namespace orvex {

void TMLRRun::MakeResult(const TDataTable& Table)
{
  auto r = std::make_shared<TMLRResult>();
  const int p = FNumInputs;
  r->TargetCol = FTargetCol;
  r->TargetName = ReportName(Table.ColName(FTargetCol));
  for (int j = 1; j <= p; ++j) {
    r->InputCols.push_back(FSelColumns.Elem(j));
    r->InputNames.push_back(ReportName(Table.ColName(FSelColumns.Elem(j))));
  }
  r->NrOfRows = Table.NrOfRows();
  r->UsedRows = FUsedRows;
  r->LeftOutRows = FInference.MissingRows;
  r->NearSingular = FSummary.NearSingular;
  for (int j = 1; j <= p + 1; ++j) {
    r->Coefficients.push_back(FVecX.Elem(j));
    r->UnscaledStdDev.push_back(FVecDx.Elem(j));
    r->StdErrors.push_back(FVecDx.Elem(j) * FSummary.SRes);
  }
  r->Summary = FSummary;
  r->Inference = FInference;
  const int m = static_cast<int>(FUsedRows.size());
  r->Estimates.assign(FEstimates.begin(), FEstimates.begin() + m);
  r->Residuals.resize(static_cast<std::size_t>(m));
  for (int i = 0; i < m; ++i)
    r->Residuals[static_cast<std::size_t>(i)] = FVecC.Data()[i] - FEstimates[static_cast<std::size_t>(i)];
  r->FitPoints = FFitPoints;
  r->FitLineColorIndex = FitLineColorIndex();
  r->Caption = FCaption;
  r->Histogram = FHistogram;
  r->ReportLines = FReportLines;
  r->ExtendedLines = FExtendedLines;
  std::vector<double> factor;
  int rank = 0;
  if (MakeLeverageFactor(factor, rank)) {
    r->Rank = rank;
    MakeInfluence(*r, factor, rank);
    MakePredictions(Table, *r, factor, rank);
  }
  MakeMeasures(*r);
  AppendResultReport(Table, *r);
  FExtendedLines = r->ExtendedLines;
  FResult = std::move(r);
}

}  // namespace orvex
