// TFrmMLRCalc: the variable list and its role rules, the regression run, and pushing the run's
// results into the two charts and the details memo.
#include "mainfrm.h"

#include "demodata.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"
#include "orvex_replist.h"
#include "resultcharts.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace orvex {

namespace {
constexpr int ColVariable = 1;
constexpr int ColInput = 2;
constexpr int ColTarget = 3;
constexpr int ColWeight = 4;

// The posted second step of a fit.
const QEvent::Type CompleteFitEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

std::string VariableText(int Col, const std::string& Name)
{
  return std::to_string(Col) + " - " + Name;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Variable list

void TFrmMLRCalc::RebuildVariableList()
{
  const TDataTable& table = NTData->DataTable();
  RLVarSel->SetSuppressPaint(true);
  RLVarSel->SetColumnHeader(ColVariable, "Variable");
  RLVarSel->SetColumnHeader(ColInput, "Input");
  RLVarSel->SetColumnHeader(ColTarget, "Target");
  RLVarSel->SetCheckBoxColumn(ColInput, true);
  RLVarSel->SetCheckBoxColumn(ColTarget, true);
  RLVarSel->SetColumnHeader(ColWeight, "Weight");
  RLVarSel->SetCheckBoxColumn(ColWeight, true);
  RLVarSel->CheckColumn(ColInput, false);
  RLVarSel->CheckColumn(ColTarget, false);
  RLVarSel->SetNrOfRows(table.NrOfColumns());
  // New rows may come with any state character: the roles are cleared after sizing as well.
  RLVarSel->CheckColumn(ColInput, false);
  RLVarSel->CheckColumn(ColTarget, false);
  RLVarSel->CheckColumn(ColWeight, false);
  FReferenceLevels.clear();
  for (int i = 1; i <= table.NrOfColumns(); ++i)
    RLVarSel->SetCellText(ColVariable, i, VariableText(i, table.ColName(i)));
  RLVarSel->SetColumnWidth(ColInput, 51);
  RLVarSel->SetColumnWidth(ColTarget, 51);
  RLVarSel->SetColumnWidth(ColWeight, 51);
  RLVarSel->FitColumnWidth(ColVariable, 28);
  RLVarSel->SetSuppressPaint(false);
  ShowResultCharts(false);
  LblNearSing->hide();
  SetExplanation(SelectVariablesText);
}

void TFrmMLRCalc::RefreshVariableTexts()
{
  const TDataTable& table = NTData->DataTable();
  for (int i = 1; i <= table.NrOfColumns(); ++i) {
    const std::string text = VariableText(i, table.ColName(i));
    if (RLVarSel->CellText(ColVariable, i) != text)
      RLVarSel->SetCellText(ColVariable, i, text);
  }
}

void TFrmMLRCalc::FollowTable()
{
  if (RLVarSel->NrOfRows() != NTData->NrOfColumns()) {
    RebuildVariableList();
    // Columns inserted or deleted keep their roles (mainfrm_undo.cpp); only a load clears them.
    RestoreKeptRoles();
  } else {
    RefreshVariableTexts();
    RestoreKeptRoles();
  }
}

TRoleState TFrmMLRCalc::Roles() const
{
  TRoleState roles(RLVarSel->NrOfRows());
  for (int i = 1; i <= RLVarSel->NrOfRows(); ++i) {
    roles.SetInput(i, RLVarSel->Checked(ColInput, i));
    roles.SetTarget(i, RLVarSel->Checked(ColTarget, i));
  }
  return roles;
}

// ---------------------------------------------------------------------------------------------
// Role rules

void TFrmMLRCalc::RLVarSelCheckedChange(TObject*, bool&, int Col, int Row)
{
  // A list that no longer matches the table (columns changed behind its back) is rebuilt
  // instead of running on the wrong columns.
  if (RLVarSel->NrOfRows() != NTData->NrOfColumns()) {
    RebuildVariableList();
    return;
  }
  if (Col == ColTarget) {
    for (int i = 1; i <= RLVarSel->NrOfRows(); ++i)
      if (i != Row && RLVarSel->Checked(ColTarget, i))
        RLVarSel->SetChecked(ColTarget, i, false);
    if (RLVarSel->Checked(ColTarget, Row))
      RLVarSel->SetChecked(ColInput, Row, false);
  }
  if (Col == ColInput && RLVarSel->Checked(ColTarget, Row))
    RLVarSel->SetChecked(ColInput, Row, false);
  ApplyWeightRule(Col, Row);
  const bool complete = RLVarSel->NrChecked(ColInput) > 0 && RLVarSel->NrChecked(ColTarget) > 0;
  ShowResultCharts(complete);
  LblNearSing->hide();
  if (complete)
    RunRegression();
}

void TFrmMLRCalc::RLVarSelBeforeRenderCell(TObject*, int ACol, int ARow, TColor& PenColor, TColor& BrushColor,
                                           TColor& FontColor, TFontStyles& FontStyles, std::string&)
{
  if (ACol != ColVariable)
    return;
  if (RLVarSel->Checked(ColInput, ARow)) {
    FontColor = clBlack;
    FontStyles.Include(fsBold);
  }
  if (RLVarSel->Checked(ColTarget, ARow)) {
    PenColor = 0x3F3F3F;
    BrushColor = 0x3F3F3F;
    FontColor = clWhite;
    FontStyles.Include(fsBold);
  }
}

// ---------------------------------------------------------------------------------------------
// The run and its results

void TFrmMLRCalc::SetExplanation(const std::string& Text)
{
  for (QLabel* label : ExplanationLabels()) {
    label->setText(QString::fromStdString(Text));
    // The label keeps its width and grows downwards when a longer text needs more lines.
    label->resize(144, std::max(48, label->heightForWidth(144)));
  }
}

void TFrmMLRCalc::ShowRunFailure(const std::string& Text)
{
  ShowResultCharts(false);
  LblNearSing->hide();
  MMDetails->setPlainText(QString::fromStdString(Text));
  FShownDetails.clear();
  SetExplanation(Text);
  UpdateExportCommands();
}

void TFrmMLRCalc::RunRegression()
{
  if (!FRun.Execute(NTData->DataTable(), Roles(), ModelOptions())) {
    ShowRunFailure(FRun.ErrorText());
    return;
  }
  LblNearSing->setVisible(FRun.Result()->NearSingular);
  FillFitChart();
  FillResidualHistogram();
  DiagnosticChartsOutOfDate();
  FillDetails();
  SetExplanation(SelectVariablesText);
  ChartsRefitted();
  UpdateExportCommands();
  // The second step once the paint that these changes asked for has been made: the paint's
  // request went first, with the same low priority.
  if (FRun.ResultPending() && !FCompletionPosted) {
    FCompletionPosted = true;
    QCoreApplication::postEvent(this, new QEvent(CompleteFitEvent), Qt::LowEventPriority);
  }
}

void TFrmMLRCalc::customEvent(QEvent* Event)
{
  if (Event->type() != CompleteFitEvent) {
    QWidget::customEvent(Event);
    return;
  }
  FCompletionPosted = false;
  Guarded([this] { CompleteFit(); });
}

void TFrmMLRCalc::CompleteFit()
{
  if (!FRun.ResultPending())
    return;
  FRun.CompleteResult(NTData->DataTable());
  FillDetails();
  FillShownDiagnosticChart();
}

void TFrmMLRCalc::FillFitChart()
{
  orvex::FillFitChart(*RCFit, *FRun.Result());
}

void TFrmMLRCalc::FillResidualHistogram()
{
  orvex::FillResidualHistogram(*RCHisto, *FRun.Result());
}

void TFrmMLRCalc::FillDetails()
{
  const TMLRResultPtr result = FRun.Result();
  std::vector<std::string> lines = result->ReportLines;
  lines.emplace_back();
  lines.insert(lines.end(), result->ExtendedLines.begin(), result->ExtendedLines.end());
  QTextDocument* doc = MMDetails->document();
  // The memo as FillDetails left it (the user may edit it): only the lines from the first that
  // differs are replaced.
  std::size_t same = 0;
  if (!doc->isModified() && doc->blockCount() == static_cast<int>(FShownDetails.size()))
    while (same < lines.size() && same < FShownDetails.size() && lines[same] == FShownDetails[same])
      ++same;
  if (same == lines.size() && same == FShownDetails.size())
    return;
  QString text;
  for (std::size_t i = same; i < lines.size(); ++i) {
    if (i > 0)
      text += '\n';
    text += QString::fromStdString(lines[i]);
  }
  if (same == 0) {
    MMDetails->setPlainText(text);
  } else {
    // From the end of the last line that stays (its line break goes with the lines replaced).
    const QTextBlock kept = doc->findBlockByNumber(static_cast<int>(same) - 1);
    QTextCursor c(doc);
    c.setPosition(kept.position() + kept.length() - 1);
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    c.insertText(text);
  }
  doc->setModified(false);
  FShownDetails = std::move(lines);
}

std::vector<std::string> TFrmMLRCalc::DetailsLines()
{
  CompleteFit();
  std::vector<std::string> lines;
  const QStringList parts = MMDetails->toPlainText().split('\n');
  for (const QString& s : parts)
    lines.push_back(s.toStdString());
  return lines;
}

}  // namespace orvex
