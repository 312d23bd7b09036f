// TFrmMLRCalc: the scatter charts' interaction (TChartInteraction on the actual-versus-estimated
// chart and the four diagnostic charts) wired to the table editor. The editor's selected rows are
// the selected objects: a click on a mark or a Shift+drag over marks chooses them there, and every
// change of the editor's selection puts the rings on every chart. The tooltips read the result
// the charts show.
#include "mainfrm.h"

#include "chartinteraction.h"
#include "mlrrun.h"
#include "orvex_datatable.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvex {

std::string MarkToolTipText(const TMLRResult& Result, const TDataTable& Table, int Row, bool Influence)
{
  // An object of the fit, or one the user excluded (a hollow mark placed by its prediction).
  constexpr double none = std::numeric_limits<double>::quiet_NaN();
  double actual = 0, estimated = 0, residual = 0, leverage = none, cooks = none;
  bool excluded = false;
  const auto used = std::lower_bound(Result.UsedRows.begin(), Result.UsedRows.end(), Row);
  if (used != Result.UsedRows.end() && *used == Row) {
    const std::size_t o = static_cast<std::size_t>(used - Result.UsedRows.begin());
    if (o >= Result.Estimates.size() || o >= Result.Residuals.size())
      return {};
    estimated = Result.Estimates[o];
    residual = Result.Residuals[o];
    actual = estimated + residual;
    const TInfluence& f = Result.Influence;
    if (f.Available && o < f.Hat.size() && o < f.CooksDistance.size()) {
      leverage = f.Hat[o];
      cooks = f.CooksDistance[o];
    }
  } else {
    const auto& points = Result.ExcludedPoints;
    const auto p = std::find_if(points.begin(), points.end(), [Row](const TFitPoint& P) { return P.Row == Row; });
    if (p == points.end())
      return {};
    const std::size_t k = static_cast<std::size_t>(p - points.begin());
    excluded = true;
    actual = p->Actual;
    estimated = p->Estimated;
    residual = actual - estimated;
    if (k < Result.ExcludedLeverage.size())
      leverage = Result.ExcludedLeverage[k];
  }
  const std::string name = Table.RowName(Row);
  std::string text = "Row " + std::to_string(Row) + (name.empty() ? "" : ": " + name);
  if (excluded)
    text += " (excluded)";
  text += "\nClass: " + std::to_string(Table.RowAttrib(Row) & 0xFF);
  text += "\nActual: " + FormatSig5(actual);
  text += "\nEstimated: " + FormatSig5(estimated);
  text += "\nResidual: " + FormatSig5(residual);
  if (Influence && std::isfinite(leverage)) {
    text += "\nLeverage: " + FormatSig5(leverage);
    if (std::isfinite(cooks))
      text += "\nCook's distance: " + FormatSig5(cooks);
  }
  return text;
}

void TFrmMLRCalc::CreateChartInteraction()
{
  for (TRChart* chart : {RCFit, RCResidEst, RCNormalQQ, RCScaleLoc, RCResidLev}) {
    auto* ci = new TChartInteraction(*chart);
    const bool influence = chart != RCFit;
    ci->OnToolTip = [this, influence](TChartInteraction*, int Row) {
      Guarded([this] { CompleteFit(); });
      const TMLRResultPtr result = FRun.Result();
      return result ? MarkToolTipText(*result, NTData->DataTable(), Row, influence) : std::string();
    };
    ci->OnClickMark = [this](TChartInteraction*, int Row, Qt::KeyboardModifiers Modifiers) {
      Guarded([&] { MarkClicked(Row, Modifiers); });
    };
    ci->OnSelectRows = [this](TChartInteraction*, const std::vector<int>& Rows) {
      Guarded([&] { NTData->SetSelectedRows(Rows); });
    };
    ci->OnClearSelection = [this](TChartInteraction*) { Guarded([&] { NTData->ClearRowSelection(); }); };
    FChartInteractions.push_back(ci);
  }
  NTData->OnSelectionChanged = [this](TObject*) { ShowSelectionOnCharts(); };
}

void TFrmMLRCalc::MarkClicked(int Row, Qt::KeyboardModifiers Modifiers)
{
  const bool adding = Modifiers.testFlag(Qt::ControlModifier) || Modifiers.testFlag(Qt::ShiftModifier);
  if (Row <= 0) {
    if (!adding)
      NTData->ClearRowSelection();
    return;
  }
  if (!adding) {
    NTData->SetSelectedRows({Row});
    return;
  }
  // Ctrl or Shift with a click adds the object to the selection, or takes it out again.
  std::vector<int> rows = NTData->SelectedRows();
  const auto at = std::lower_bound(rows.begin(), rows.end(), Row);
  if (at != rows.end() && *at == Row)
    rows.erase(at);
  else
    rows.insert(at, Row);
  if (rows.empty())
    NTData->ClearRowSelection();
  else
    NTData->SetSelectedRows(std::move(rows));
}

std::vector<int> TFrmMLRCalc::SelectedObjects() const
{
  return NTData->SelectedRows();
}

TChartInteraction* TFrmMLRCalc::ChartInteraction(const TRChart* Chart) const
{
  for (TChartInteraction* ci : FChartInteractions)
    if (&ci->Chart() == Chart)
      return ci;
  return nullptr;
}

void TFrmMLRCalc::ShowSelectionOnCharts()
{
  const std::vector<int> rows = NTData->SelectedRows();
  for (TChartInteraction* ci : FChartInteractions)
    ci->SetSelectedRows(rows);
  UpdateExclusionCommands(!rows.empty());
}

void TFrmMLRCalc::ChartsRefitted()
{
  for (TChartInteraction* ci : FChartInteractions)
    ci->ResetHistory();
  // The marks carry the rows of the new fit.
  ShowSelectionOnCharts();
}

void TFrmMLRCalc::ChartRefilled(TRChart* Chart)
{
  // A diagnostic chart is filled when its page is first shown after a fit: its history starts
  // at the window of that fill, not at the one the chart had when the fit was made.
  if (TChartInteraction* ci = ChartInteraction(Chart)) {
    ci->ResetHistory();
    ci->SetSelectedRows(NTData->SelectedRows());
  }
}

}  // namespace orvex
