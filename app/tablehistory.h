// TTableHistory: the undo history of the table the window edits, on a QUndoStack.
//
// The history listens to the table (orvex_tablechange.h) and records every change into the step
// being made (a TTableJournal, which keeps what changed, not copies of the table). The owner
// closes the step with EndStep once the event that made the changes has finished (OnStepStarted
// tells it when to arrange that), so a paste or a cleared block is one step however many cells
// it writes, and every command of the editor is undoable without the editor knowing of the
// history. Commands that make their own change (THistoryCommand) are pushed with Push.
//
// State the owner keeps beside the table that follows its rows (the rows the user excluded) is
// read when a step starts and when it ends; where the two differ, the step sets it back after
// its undo and forward after its redo. A row that an undo brings back is a new row to the
// owner, and only the step knows what went with it. The owner adds its own table listener after
// making the history, so that the history reads the state before the owner moves it.
//
// New contents (a load) start a new history, clean. The stack's clean state is the one truth
// about unsaved changes. The history keeps at most MaxBytes: when a step takes it over, the
// oldest steps are dropped (the newest is always kept); a clean point among them is lost, so the
// saved state can no longer be reached by undo.
#pragma once

#include "orvex_tablejournal.h"

#include <QUndoCommand>
#include <QUndoStack>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace orvex {

class TDataTable;

// A step of the history. Bytes says what it holds; MoveOut hands its state to a new command whose
// first redo does nothing (the history rebuilds its stack that way when it drops old steps).
class THistoryCommand : public QUndoCommand {
public:
  virtual std::size_t Bytes() const = 0;
  virtual THistoryCommand* MoveOut() = 0;
  void SkipNextRedo() { FSkipRedo = true; }

protected:
  // True once: for a command pushed after its change was made.
  bool TakeSkip() { return std::exchange(FSkipRedo, false); }

private:
  bool FSkipRedo = false;
};

class TTableHistory {
public:
  static constexpr std::size_t DefaultMaxBytes = std::size_t(256) << 20;

  explicit TTableHistory(TDataTable& Table);
  ~TTableHistory();
  TTableHistory(const TTableHistory&) = delete;
  TTableHistory& operator=(const TTableHistory&) = delete;

  // properties
  QUndoStack& Stack() { return FStack; }
  const QUndoStack& Stack() const { return FStack; }
  bool Clean() const { return FStack.isClean() && !FStep; }
  // True while a step is being recorded (changes made, EndStep not yet called).
  bool Recording() const { return FStep != nullptr; }
  // True while the history itself changes the table (undo, redo, a pushed command).
  bool Applying() const { return FApplying > 0; }
  std::size_t MaxBytes() const { return FMaxBytes; }
  void SetMaxBytes(std::size_t Value) { FMaxBytes = Value; }
  // The memory the steps hold, in bytes.
  std::size_t Bytes() const;

  // operations
  // Pushes the step being recorded (nothing when there is none).
  void EndStep();
  void Undo();
  void Redo();
  // Makes Command's change (its redo) as one step.
  void Push(THistoryCommand* Command);
  // The table as it is now is the saved one.
  void SetClean();
  // Forgets every step; the table as it is now counts as saved.
  void Clear();

  // events
  // The first change of a new step was recorded: the owner should call EndStep when the event
  // that makes the changes has finished.
  std::function<void()> OnStepStarted;
  // The owner's row state: read when a step starts and ends, set after the step's undo and redo.
  std::function<std::vector<int>()> OnReadRowState;
  std::function<void(const std::vector<int>&)> OnRestoreRowState;

private:
  friend class TApplying;
  void TableChanged(const TDataTable& Table, const TTableChange& Change);
  void TrimToBudget();

  TDataTable& FTable;
  QUndoStack FStack;
  std::unique_ptr<TTableJournal> FStep;
  std::vector<int> FRowStateBefore;  // when FStep started
  int FListenerKey = 0;
  int FApplying = 0;
  std::size_t FMaxBytes = DefaultMaxBytes;
};

}  // namespace orvex
