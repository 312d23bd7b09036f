// TTableHistory: recording the table's changes into steps, the steps on the undo stack, and the
// memory budget.
#include "tablehistory.h"

#include "orvex_datatable.h"

#include <vector>

namespace orvex {

// Marks the history as the one changing the table for a scope, so that it does not record what
// it does itself.
class TApplying {
public:
  explicit TApplying(TTableHistory& History) : FHistory(History) { ++FHistory.FApplying; }
  ~TApplying() { --FHistory.FApplying; }
  TApplying(const TApplying&) = delete;
  TApplying& operator=(const TApplying&) = delete;

private:
  TTableHistory& FHistory;
};

namespace {

// The owner's row state before and after a step, where the step changed it.
struct TRowStateChange {
  std::vector<int> Before, After;
  std::function<void(const std::vector<int>&)> Restore;
};

// One recorded step: its journal swaps the table between the states before and after it; the
// owner's row state follows.
class TJournalCommand : public THistoryCommand {
public:
  TJournalCommand(TDataTable& Table, TTableJournal Journal, const std::function<void(bool)>& Applying,
                  std::unique_ptr<TRowStateChange> RowState)
      : FTable(Table), FJournal(std::move(Journal)), FApplying(Applying), FRowState(std::move(RowState))
  {
    setText(QStringLiteral("Edit"));
  }
  void undo() override
  {
    FApplying(true);
    FJournal.Undo(FTable);
    FApplying(false);
    if (FRowState)
      FRowState->Restore(FRowState->Before);
  }
  void redo() override
  {
    if (TakeSkip())
      return;
    FApplying(true);
    FJournal.Redo(FTable);
    FApplying(false);
    if (FRowState)
      FRowState->Restore(FRowState->After);
  }
  std::size_t Bytes() const override
  {
    std::size_t n = sizeof(*this) + FJournal.Bytes();
    if (FRowState)
      n += sizeof(TRowStateChange) + (FRowState->Before.size() + FRowState->After.size()) * sizeof(int);
    return n;
  }
  THistoryCommand* MoveOut() override
  {
    auto* c = new TJournalCommand(FTable, std::move(FJournal), FApplying, std::move(FRowState));
    c->SkipNextRedo();
    return c;
  }

private:
  TDataTable& FTable;
  TTableJournal FJournal;
  std::function<void(bool)> FApplying;
  std::unique_ptr<TRowStateChange> FRowState;
};

}  // namespace

TTableHistory::TTableHistory(TDataTable& Table) : FTable(Table)
{
  FListenerKey = FTable.AddListener([this](const TDataTable& T, const TTableChange& C) { TableChanged(T, C); });
}

TTableHistory::~TTableHistory()
{
  FTable.RemoveListener(FListenerKey);
}

void TTableHistory::TableChanged(const TDataTable& Table, const TTableChange& Change)
{
  if (Applying())
    return;
  if (Change.Kind == TTableChangeKind::Contents) {
    // A load: a new history begins with the new table.
    Clear();
    return;
  }
  const bool started = !FStep;
  if (started) {
    FStep = std::make_unique<TTableJournal>();
    // The owner listens after the history, so its state is still the one before the change.
    FRowStateBefore = OnReadRowState ? OnReadRowState() : std::vector<int>{};
  }
  FStep->Record(Table, Change);
  if (started && OnStepStarted)
    OnStepStarted();
}

void TTableHistory::EndStep()
{
  if (!FStep)
    return;
  std::unique_ptr<TTableJournal> step = std::move(FStep);
  if (step->Broken()) {
    // A change that cannot be taken back: the steps before it no longer fit the table.
    Clear();
    FStack.resetClean();
    return;
  }
  if (step->Empty())
    return;
  std::unique_ptr<TRowStateChange> rowState;
  if (OnReadRowState && OnRestoreRowState) {
    std::vector<int> after = OnReadRowState();
    if (after != FRowStateBefore)
      rowState.reset(new TRowStateChange{std::move(FRowStateBefore), std::move(after), OnRestoreRowState});
  }
  FRowStateBefore.clear();
  auto* command = new TJournalCommand(FTable, std::move(*step), [this](bool On) { FApplying += On ? 1 : -1; },
                                      std::move(rowState));
  command->SkipNextRedo();  // the change is made already
  FStack.push(command);
  TrimToBudget();
}

void TTableHistory::Undo()
{
  EndStep();
  TApplying applying(*this);
  FStack.undo();
}

void TTableHistory::Redo()
{
  EndStep();
  TApplying applying(*this);
  FStack.redo();
}

void TTableHistory::Push(THistoryCommand* Command)
{
  EndStep();
  {
    TApplying applying(*this);
    FStack.push(Command);
  }
  TrimToBudget();
}

void TTableHistory::SetClean()
{
  EndStep();
  FStack.setClean();
}

void TTableHistory::Clear()
{
  FStep.reset();
  FStack.clear();
}

std::size_t TTableHistory::Bytes() const
{
  std::size_t n = FStep ? FStep->Bytes() : 0;
  for (int i = 0; i < FStack.count(); ++i)
    if (const auto* c = dynamic_cast<const THistoryCommand*>(FStack.command(i)))
      n += c->Bytes();
  return n;
}

// QUndoStack cannot drop its oldest commands one by one, so the stack is built anew from the
// steps that stay. Right after a push every step on it is done, so each is pushed again with
// its first redo skipped; the clean point comes back where it was, or is lost with the dropped
// steps.
void TTableHistory::TrimToBudget()
{
  const int count = FStack.count();
  if (count < 2)
    return;
  std::vector<std::size_t> sizes;
  std::size_t total = 0;
  for (int i = 0; i < count; ++i) {
    const auto* c = dynamic_cast<const THistoryCommand*>(FStack.command(i));
    sizes.push_back(c ? c->Bytes() : 0);
    total += sizes.back();
  }
  if (total <= FMaxBytes)
    return;
  int first = 0;
  while (first < count - 1 && total > FMaxBytes)
    total -= sizes[static_cast<std::size_t>(first++)];
  const int clean = FStack.cleanIndex();
  std::vector<THistoryCommand*> kept;
  for (int i = first; i < count; ++i) {
    auto* c = dynamic_cast<THistoryCommand*>(const_cast<QUndoCommand*>(FStack.command(i)));
    kept.push_back(c ? c->MoveOut() : nullptr);
  }
  TApplying applying(*this);
  FStack.clear();
  if (clean < first)
    FStack.resetClean();
  for (std::size_t k = 0; k < kept.size(); ++k) {
    if (kept[k])
      FStack.push(kept[k]);
    if (clean == first + static_cast<int>(k) + 1)
      FStack.setClean();
  }
}

}  // namespace orvex
