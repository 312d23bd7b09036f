// TFrmMLRCalc: the four diagnostic pages beside the residual histogram, their filling after a
// run, and the "Add Estimates to Table" command under the variable list.
#include "mainfrm.h"

#include "addestimates.h"
#include "orvex_datatable.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"
#include "orvex_replist.h"
#include "resultcharts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>
#include <iterator>

namespace orvex {

void TFrmMLRCalc::CreateDiagnosticPages()
{
  // Each page as the histogram's: the explanation label, and over it the hidden chart.
  auto addPage = [this](const char* Title, const char* Name, QWidget*& Page, QLabel*& Label, TRChart*& Chart) {
    Page = new QWidget;
    PageControl2->addTab(Page, QString::fromUtf8(Title));
    Label = new QLabel(Label1->text(), Page);
    Label->setObjectName(QString("Label") + Name);
    Label->setGeometry(Label1->geometry());
    Label->setFont(Label1->font());
    Label->setPalette(Label1->palette());
    Label->setWordWrap(true);
    Label->setAlignment(Label1->alignment());
    Chart = new TRChart(Page);
    Chart->SetName(std::string("RC") + Name);
    SetupChart(*Chart);
  };
  addPage(ResidVsEstimatedTitle, "ResidEst", TSResidEst, LabelResidEst, RCResidEst);
  addPage(NormalQQTitle, "NormalQQ", TSNormalQQ, LabelNormalQQ, RCNormalQQ);
  addPage(ScaleLocationTitle, "ScaleLoc", TSScaleLoc, LabelScaleLoc, RCScaleLoc);
  addPage(ResidVsLeverageTitle, "ResidLev", TSResidLev, LabelResidLev, RCResidLev);
  connect(PageControl2, &QTabWidget::currentChanged, this, [this] { Guarded([this] { FillShownDiagnosticChart(); }); });
}

QWidget* TFrmMLRCalc::CreateEstimatesBar(QWidget* Parent)
{
  auto* bar = new QWidget(Parent);
  bar->setObjectName("PanelEstimates");
  bar->setFixedWidth(RLVarSel->width());
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(4, 2, 4, 2);
  SButAddEstimates = new QToolButton(bar);
  SButAddEstimates->setObjectName("SButAddEstimates");
  SButAddEstimates->setText("Add Estimates to Table");
  SButAddEstimates->setToolTip("Append the estimates and residuals of the fit to the table as new columns");
  SButAddEstimates->setEnabled(false);
  CBIntervals = new QCheckBox("95 % intervals", bar);
  CBIntervals->setObjectName("CBIntervals");
  CBIntervals->setToolTip("Also append the confidence and prediction limits of each estimate");
  row->addWidget(SButAddEstimates);
  row->addWidget(CBIntervals);
  row->addStretch(1);
  return bar;
}

std::vector<QLabel*> TFrmMLRCalc::ExplanationLabels() const
{
  return {Label1, Label2, LabelResidEst, LabelNormalQQ, LabelScaleLoc, LabelResidLev};
}

void TFrmMLRCalc::ShowResultCharts(bool Visible)
{
  for (TRChart* chart : {RCFit, RCHisto, RCResidEst, RCNormalQQ, RCScaleLoc, RCResidLev})
    chart->setVisible(Visible);
  SButAddEstimates->setEnabled(Visible);
}

void TFrmMLRCalc::DiagnosticChartsOutOfDate()
{
  FStaleDiagnostics = (1u << 4) - 1;
  FillShownDiagnosticChart();
}

void TFrmMLRCalc::FillShownDiagnosticChart()
{
  using TFill = void (*)(TCustomRChart&, const TDiagnosticData&);
  const QWidget* pages[] = {TSResidEst, TSNormalQQ, TSScaleLoc, TSResidLev};
  TRChart* const charts[] = {RCResidEst, RCNormalQQ, RCScaleLoc, RCResidLev};
  const TFill fills[] = {FillResidualsVsEstimated, FillNormalQQ, FillScaleLocation, FillResidualsVsLeverage};
  const auto k = std::find(std::begin(pages), std::end(pages), PageControl2->currentWidget()) - std::begin(pages);
  if (k == std::ssize(pages) || !FRun.Result() || !(FStaleDiagnostics & (1u << k)))
    return;
  // The diagnostic charts show the influence measures: a pending completion comes first (and
  // fills the chart).
  if (FRun.ResultPending()) {
    CompleteFit();
    return;
  }
  const TDataTable& table = NTData->DataTable();
  TDiagnosticData data = DiagnosticDataOf(*FRun.Result());
  data.RowLabel = [&table](int Row) {
    const std::string name = table.RowName(Row);
    return name.empty() ? std::to_string(Row) : name;
  };
  // Marked as filled first: a fill that fails is not tried again on every page change.
  FStaleDiagnostics &= ~(1u << k);
  fills[k](*charts[k], data);
  ChartRefilled(charts[k]);
}

bool TFrmMLRCalc::AddEstimatesToTable(bool WithIntervals)
{
  if (!FRun.Succeeded() || !SButAddEstimates->isEnabled())
    return false;
  CompleteFit();
  TDataTable& table = NTData->DataTable();
  const TRoleState roles = Roles();
  const TMLRModelOptions options = ModelOptions();
  std::vector<TEstimateColumn> columns = MakeEstimateColumns(FRun, table, WithIntervals);
  if (columns.empty())
    return false;

  // The columns of the last add are replaced, unless the user has given one of them a role.
  TAddedEstimates previous = FLastEstimates ? *FLastEstimates : TAddedEstimates{};
  for (std::size_t k = 0; k < previous.Names.size(); ++k) {
    const int col = previous.FirstColumn + static_cast<int>(k);
    if (roles.Input(col) || roles.Target(col) || options.WeightCol == col) {
      previous = {};
      break;
    }
  }
  // One step of the history. The roles stay on their columns as the columns move (the variable
  // list follows at once), and the same fit is made again, now, instead of after the event.
  PushAddEstimates(std::move(columns), previous);
  FollowTable();
  ShowResultCharts(true);
  RunRegression();
  FRefitPending = false;
  return true;
}

}  // namespace orvex
