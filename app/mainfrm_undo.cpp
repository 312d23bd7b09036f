// TFrmMLRCalc: undo and redo, unsaved changes, and what follows an edit of the table.
//
// The window listens to its table beside the history (tablehistory.h). Each change is noted, and
// once the event that made it has finished, AfterEvent closes the history's step, rebuilds the
// variable list when the columns changed (with the roles kept on their columns, shifted as
// columns come and go: only a load clears them) and, when a change touched a column with a role
// (or the rows, which every column has), runs the fit again: once per event, however many cells
// the event wrote. A change that leaves the roles incomplete hides the charts; one that leaves
// no valid data takes the run's failure path.
//
// The caption and the question before a table is replaced or the window closes follow the
// history's clean state, the one truth about unsaved changes.
#include "mainfrm.h"

#include "addestimates.h"
#include "orvex_datatable.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"
#include "orvex_replist.h"
#include "resultcharts.h"
#include "tablehistory.h"

#include <QCloseEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <optional>

namespace orvex {

namespace {

constexpr const char* DemoDocumentName = "Demonstration data";

// "Add Estimates to Table" as a step: the command appends the columns (replacing those of the
// last add); undo takes them out and brings back what they replaced, and which add was the last.
class TAddEstimatesStep : public THistoryCommand {
public:
  TAddEstimatesStep(TDataTable& Table, TAddEstimatesCommand Command, std::unique_ptr<TAddedEstimates>& Last)
      : FTable(Table), FCommand(std::move(Command)), FLast(Last)
  {
    setText(QStringLiteral("Add Estimates to Table"));
  }
  void redo() override
  {
    if (TakeSkip())
      return;
    FBefore = FLast ? std::optional<TAddedEstimates>(*FLast) : std::nullopt;
    FCommand.Redo(FTable);
    FLast = std::make_unique<TAddedEstimates>(FCommand.Added());
  }
  void undo() override
  {
    FCommand.Undo(FTable);
    FLast = FBefore ? std::make_unique<TAddedEstimates>(*FBefore) : nullptr;
  }
  std::size_t Bytes() const override { return sizeof(*this) + FCommand.Bytes(); }
  THistoryCommand* MoveOut() override
  {
    auto* c = new TAddEstimatesStep(FTable, std::move(FCommand), FLast);
    c->FBefore = std::move(FBefore);
    c->SkipNextRedo();
    return c;
  }

private:
  TDataTable& FTable;
  TAddEstimatesCommand FCommand;
  std::unique_ptr<TAddedEstimates>& FLast;
  std::optional<TAddedEstimates> FBefore;
};

QToolButton* MakeHistoryButton(QWidget* Parent, const char* Name, const char* Hint, QStyle::StandardPixmap Icon)
{
  auto* b = new QToolButton(Parent);
  b->setObjectName(Name);
  b->setAutoRaise(true);
  b->setIcon(Parent->style()->standardIcon(Icon));
  b->setToolTip(QString::fromUtf8(Hint));
  b->resize(27, 27);
  b->setEnabled(false);
  return b;
}

}  // namespace

void TFrmMLRCalc::CreateUndoControls()
{
  FHistory = std::make_unique<TTableHistory>(NTData->DataTable());
  FHistory->OnStepStarted = [this] { ScheduleAfterEvent(); };
  // The excluded rows go with their rows through an edit's undo and redo (a deleted excluded
  // row comes back excluded). The window's listener below comes after the history's, as the
  // history needs to read the set before the window moves it.
  FHistory->OnReadRowState = [this] { return FExcludedRows; };
  FHistory->OnRestoreRowState = [this](const std::vector<int>& Rows) { RestoreExcludedRows(Rows); };
  FTableListenerKey = NTData->DataTable().AddListener(
      [this](const TDataTable&, const TTableChange& Change) { TableChanged(Change); });

  SButUndo = MakeHistoryButton(Panel1, "SButUndo", "Undo (Ctrl+Z)", QStyle::SP_ArrowBack);
  SButRedo = MakeHistoryButton(Panel1, "SButRedo", "Redo (Ctrl+Shift+Z, Ctrl+Y)", QStyle::SP_ArrowForward);
  PlaceHistoryButtons();
  connect(SButUndo, &QToolButton::clicked, this, [this] { Guarded([this] { Undo(); }); });
  connect(SButRedo, &QToolButton::clicked, this, [this] { Guarded([this] { Redo(); }); });
  QUndoStack& stack = FHistory->Stack();
  connect(&stack, &QUndoStack::canUndoChanged, SButUndo, &QToolButton::setEnabled);
  connect(&stack, &QUndoStack::canRedoChanged, SButRedo, &QToolButton::setEnabled);
  connect(&stack, &QUndoStack::cleanChanged, this, [this] { UpdateCaption(); });
  connect(&stack, &QUndoStack::indexChanged, this, [this] { UpdateCaption(); });

  // Window-wide keys; an in-place editor or an edit box with the focus keeps its own undo.
  const QKeySequence undoKeys[] = {QKeySequence(Qt::CTRL | Qt::Key_Z)};
  const QKeySequence redoKeys[] = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)};
  for (const QKeySequence& k : undoKeys)
    connect(new QShortcut(k, this), &QShortcut::activated, this, [this] { Guarded([this] { Undo(); }); });
  for (const QKeySequence& k : redoKeys)
    connect(new QShortcut(k, this), &QShortcut::activated, this, [this] { Guarded([this] { Redo(); }); });

  AskSaveChanges = [this](const std::string& Name) { return AskSaveChangesBox(this, Name); };
}

// Left of the save buttons at the strip's right end, a little apart from them.
void TFrmMLRCalc::PlaceHistoryButtons()
{
  SButRedo->move(SButSaveData->x() - 8 - SButRedo->width(), 2);
  SButUndo->move(SButRedo->x() - 2 - SButUndo->width(), 2);
}

// ---------------------------------------------------------------------------------------------
// Undo and redo

void TFrmMLRCalc::Undo()
{
  NTData->CommitOpenEdits();
  FHistory->Undo();
}

void TFrmMLRCalc::Redo()
{
  NTData->CommitOpenEdits();
  FHistory->Redo();
}

void TFrmMLRCalc::PushAddEstimates(std::vector<TEstimateColumn> Columns, const TAddedEstimates& Previous)
{
  FHistory->Push(new TAddEstimatesStep(NTData->DataTable(), TAddEstimatesCommand(std::move(Columns), Previous),
                                       FLastEstimates));
}

// ---------------------------------------------------------------------------------------------
// What follows a change

void TFrmMLRCalc::TableChanged(const TTableChange& Change)
{
  MoveExcludedRows(Change);
  if (Change.Kind == TTableChangeKind::Contents) {
    // A load: the loader rebuilds the variable list, which clears the roles. The fit's second
    // step would read rows that are gone.
    FRun.DiscardCompletion();
    FKeptRoles.reset();
    // The fit chart's item arrays at the size a fit of every row needs, taken now: the first
    // role click after the load would otherwise fault them in.
    if (RCFit) {
      const std::size_t marks = static_cast<std::size_t>(NTData->NrOfRows()) + 1;
      const std::size_t step = static_cast<std::size_t>(ItemAllocStep(marks));
      RCFit->ReserveItems(static_cast<int>((marks + step - 1) / step * step));
    }
    FRefitPending = false;
    ScheduleAfterEvent();
    return;
  }
  const int nrCols = NTData->NrOfColumns();
  const TRoleState roles = FKeptRoles ? FKeptRoles->Roles : Roles();
  const int weightCol = FKeptRoles ? FKeptRoles->WeightCol : ModelOptions().WeightCol;
  const std::map<int, int> references = FKeptRoles ? FKeptRoles->ReferenceLevels : FReferenceLevels;
  const bool anyRole = roles.NrOfInputs() + roles.NrOfTargets() > 0;
  auto hasRole = [&roles, weightCol](int Col) { return roles.Input(Col) || roles.Target(Col) || Col == weightCol; };
  // Whether a column from Col on has a role (its index moves or it goes).
  auto roleFrom = [&](int Col) {
    for (int c = Col; c <= roles.NrOfColumns(); ++c)
      if (hasRole(c))
        return true;
    return false;
  };
  bool touched = false;
  switch (Change.Kind) {
  case TTableChangeKind::Value:
  case TTableChangeKind::State:
  case TTableChangeKind::ColName:
  case TTableChangeKind::ColAttrib:
  case TTableChangeKind::VarType:
  case TTableChangeKind::LevelName: touched = Change.Col == 0 ? anyRole : hasRole(Change.Col); break;
  case TTableChangeKind::RowName:
  case TTableChangeKind::RowAttrib:
  case TTableChangeKind::RowsInserted:
  case TTableChangeKind::RowsDeleted: touched = anyRole; break;
  case TTableChangeKind::Comment: break;
  case TTableChangeKind::ColumnsInserted:
  case TTableChangeKind::ColumnsDeleted:
  case TTableChangeKind::Resized: {
    // The roles move with their columns; a deleted or cut column takes its role with it.
    const bool inserted = Change.Kind == TTableChangeKind::ColumnsInserted;
    const bool deleted = Change.Kind == TTableChangeKind::ColumnsDeleted;
    auto moved = [&](int c) {
      int to = c;
      if (inserted && c >= Change.Col)
        to = c + 1;
      if (deleted && c >= Change.Col)
        to = c == Change.Col ? 0 : c - 1;
      return to >= 1 && to <= nrCols ? to : 0;
    };
    TKeptRoles next{TRoleState(nrCols), 0, {}};
    for (int c = 1; c <= roles.NrOfColumns(); ++c) {
      if (const int to = moved(c)) {
        next.Roles.SetInput(to, roles.Input(c));
        next.Roles.SetTarget(to, roles.Target(c));
      }
    }
    next.WeightCol = weightCol > 0 ? moved(weightCol) : 0;
    for (const auto& [col, level] : references)
      if (const int to = moved(col))
        next.ReferenceLevels[to] = level;
    touched = Change.Kind == TTableChangeKind::Resized ? roleFrom(nrCols + 1) || Change.OldRows != NTData->NrOfRows()
                                                       : roleFrom(Change.Col);
    touched = touched && anyRole;
    FKeptRoles = std::move(next);
    break;
  }
  case TTableChangeKind::Contents: break;
  }
  // A change of what the fit read: its second step would no longer match it; the refit brings
  // its own.
  if (touched) {
    FRun.DiscardCompletion();
    FRefitPending = true;
  }
  ScheduleAfterEvent();
}

void TFrmMLRCalc::ScheduleAfterEvent()
{
  if (FAfterEventPosted)
    return;
  FAfterEventPosted = true;
  QTimer::singleShot(0, this, [this] { Guarded([this] { AfterEvent(); }); });
}

void TFrmMLRCalc::AfterEvent()
{
  FAfterEventPosted = false;
  FHistory->EndStep();
  if (FKeptRoles || RLVarSel->NrOfRows() != NTData->NrOfColumns())
    FollowTable();
  if (FRefitPending) {
    FRefitPending = false;
    Refit();
  }
  UpdateCaption();
}

void TFrmMLRCalc::RestoreKeptRoles()
{
  if (!FKeptRoles)
    return;
  const TKeptRoles kept = std::move(*FKeptRoles);
  FKeptRoles.reset();
  const TRoleState& roles = kept.Roles;
  if (roles.NrOfColumns() != RLVarSel->NrOfRows())
    return;
  RLVarSel->SetSuppressPaint(true);
  for (int c = 1; c <= roles.NrOfColumns(); ++c) {
    RLVarSel->SetChecked(ListColInput, c, roles.Input(c));
    RLVarSel->SetChecked(ListColTarget, c, roles.Target(c));
    RLVarSel->SetChecked(ListColWeight, c, c == kept.WeightCol);
  }
  FReferenceLevels = kept.ReferenceLevels;
  RLVarSel->SetSuppressPaint(false);
  // A successful fit stays on show while the roles are complete (the rebuild hid it); the refit
  // that follows a change of a role column replaces it.
  ShowResultCharts(roles.NrOfInputs() > 0 && roles.NrOfTargets() > 0 && FRun.Succeeded());
}

void TFrmMLRCalc::Refit()
{
  const TRoleState roles = Roles();
  const bool complete = roles.NrOfInputs() > 0 && roles.NrOfTargets() > 0;
  ShowResultCharts(complete);
  LblNearSing->hide();
  if (complete)
    RunRegression();
  else
    SetExplanation(SelectVariablesText);
}

// ---------------------------------------------------------------------------------------------
// Unsaved changes

bool TFrmMLRCalc::Modified() const
{
  return FHistory && !FHistory->Clean();
}

std::string TFrmMLRCalc::DocumentName() const
{
  if (DataFileName().empty())
    return DemoDocumentName;
  return std::filesystem::path(DataFileName()).filename().string();
}

void TFrmMLRCalc::UpdateCaption()
{
  const bool modified = Modified();
  if (DataFileName().empty() && !modified) {
    setWindowTitle(MainCaption);
    return;
  }
  setWindowTitle(QString::fromStdString(DocumentName() + (modified ? "*" : "") + " - " + MainCaption));
}

TSaveAnswer TFrmMLRCalc::AskSaveChangesBox(QWidget* Parent, const std::string& Name)
{
  QMessageBox box(QMessageBox::Question, MainCaption, QString::fromStdString("Save changes to " + Name + "?"),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, Parent);
  box.setObjectName("SaveChangesBox");
  box.setDefaultButton(QMessageBox::Save);
  // The box's close button and Escape give the escape button's answer.
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  const QAbstractButton* clicked = box.clickedButton();
  if (clicked == box.button(QMessageBox::Save))
    return TSaveAnswer::Save;
  if (clicked == box.button(QMessageBox::Discard))
    return TSaveAnswer::Discard;
  return TSaveAnswer::Cancel;
}

bool TFrmMLRCalc::ConfirmDiscard()
{
  // Text still in the cell editor, the heading edit box or the comment memo is an edit as well.
  NTData->CommitOpenEdits();
  FHistory->EndStep();
  if (!Modified())
    return true;
  switch (AskSaveChanges ? AskSaveChanges(DocumentName()) : TSaveAnswer::Cancel) {
  case TSaveAnswer::Save: return SaveForPrompt();
  case TSaveAnswer::Discard: return true;
  case TSaveAnswer::Cancel: break;
  }
  return false;
}

bool TFrmMLRCalc::SaveForPrompt()
{
  return SaveDataFile();
}

void TFrmMLRCalc::closeEvent(QCloseEvent* Event)
{
  bool close = true;
  try {
    close = ConfirmDiscard();
  } catch (const EOrvexError& e) {
    close = false;
    if (ShowError)
      ShowError(MainCaption, e.what());
  } catch (const std::bad_alloc&) {
    close = false;
  }
  if (close)
    Event->accept();
  else
    Event->ignore();
}

}  // namespace orvex
