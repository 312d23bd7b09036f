// TFrmMLRCalc: the model options of the regression page. The variable list's fourth column
// "Weight" picks the weight column (one at most, never an input or the target), the bar under
// the list holds the "Intercept" check box and the choice of robust standard errors, and the
// list's context menu sets a categorical input's reference level. All of it is read into one
// TMLRModelOptions value that the run takes.
#include "mainfrm.h"

#include "orvex_datatable.h"
#include "orvex_ntabed.h"
#include "orvex_replist.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <cmath>
#include <set>

namespace orvex {

QWidget* TFrmMLRCalc::CreateOptionsBar(QWidget* Parent)
{
  auto* bar = new QWidget(Parent);
  bar->setObjectName("PanelOptions");
  bar->setFixedWidth(RLVarSel->width());
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(4, 2, 4, 2);
  CBIntercept = new QCheckBox("Intercept", bar);
  CBIntercept->setObjectName("CBIntercept");
  CBIntercept->setChecked(true);
  auto* robustLabel = new QLabel("Robust std. errors:", bar);
  CBRobust = new QComboBox(bar);
  CBRobust->setObjectName("CBRobust");
  for (TRobustType t : {TRobustType::None, TRobustType::HC0, TRobustType::HC1, TRobustType::HC2,
                        TRobustType::HC3})
    CBRobust->addItem(RobustTypeName(t));
  row->addWidget(CBIntercept);
  row->addStretch(1);
  row->addWidget(robustLabel);
  row->addWidget(CBRobust);
  connect(CBIntercept, &QCheckBox::toggled, this, [this] { Guarded([this] { OptionsChanged(); }); });
  connect(CBRobust, &QComboBox::currentIndexChanged, this, [this] { Guarded([this] { OptionsChanged(); }); });
  return bar;
}

TMLRModelOptions TFrmMLRCalc::ModelOptions() const
{
  TMLRModelOptions o;
  for (int i = 1; i <= RLVarSel->NrOfRows(); ++i)
    if (RLVarSel->Checked(ListColWeight, i))
      o.WeightCol = i;
  o.Intercept = CBIntercept->isChecked();
  ParseRobustType(CBRobust->currentText().toStdString(), o.Robust);
  o.ReferenceLevels = FReferenceLevels;
  o.ExcludedRows = FExcludedRows;
  return o;
}

void TFrmMLRCalc::ApplyWeightRule(int Col, int Row)
{
  if (Col == ListColWeight && RLVarSel->Checked(ListColWeight, Row)) {
    for (int i = 1; i <= RLVarSel->NrOfRows(); ++i)
      if (i != Row && RLVarSel->Checked(ListColWeight, i))
        RLVarSel->SetChecked(ListColWeight, i, false);
    RLVarSel->SetChecked(ListColInput, Row, false);
    RLVarSel->SetChecked(ListColTarget, Row, false);
  }
  if ((Col == ListColInput || Col == ListColTarget) && RLVarSel->Checked(Col, Row))
    RLVarSel->SetChecked(ListColWeight, Row, false);
}

void TFrmMLRCalc::OptionsChanged()
{
  if (RLVarSel->NrChecked(ListColInput) > 0 && RLVarSel->NrChecked(ListColTarget) > 0)
    RunRegression();
}

void TFrmMLRCalc::SetReferenceLevel(int Col, int Level)
{
  FReferenceLevels[Col] = Level;
  OptionsChanged();
}

QMenu* TFrmMLRCalc::CreateVariableMenu(int Row)
{
  const TDataTable& table = NTData->DataTable();
  if (Row < 1 || Row > table.NrOfColumns() || table.VarType(Row) != vtNominal)
    return nullptr;
  // The levels that hold values, at most as many as a categorical input may have.
  std::set<int> levels;
  const double* v = table.ColumnValues(Row);
  const std::uint8_t* st = table.ColumnStates(Row);
  for (int r = 0; r < table.NrOfRows() && static_cast<int>(levels.size()) <= MaxCategoricalLevels; ++r)
    if ((st[r] & (csNotANumber | csEmpty)) == 0 && std::isfinite(v[r]))
      levels.insert(static_cast<int>(std::clamp(std::nearbyint(v[r]), -2e9, 2e9)));
  if (levels.empty())
    return nullptr;
  const auto chosen = FReferenceLevels.find(Row);
  const int reference = chosen != FReferenceLevels.end() && levels.count(chosen->second) ? chosen->second
                                                                                        : *levels.begin();
  auto* menu = new QMenu(this);
  menu->setObjectName("MenuReferenceLevel");
  menu->addSection(QString::fromStdString("Reference level of " + ReportName(table.ColName(Row))));
  for (int level : levels) {
    QAction* a = menu->addAction(QString::fromStdString(LevelText(table, Row, level)));
    a->setCheckable(true);
    a->setChecked(level == reference);
    connect(a, &QAction::triggered, this, [this, Row, level] { Guarded([&] { SetReferenceLevel(Row, level); }); });
  }
  return menu;
}

}  // namespace orvex
