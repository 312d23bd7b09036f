// Helpers shared by the files of the table editor: scoped locks that are released on every exit
// (an exception included) and the guard of the Qt entry points.
#pragma once

#include "orvex_ntabed.h"
#include "orvex_stringl.h"

#include <cmath>
#include <cstdint>
#include <vector>
#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace orvex {

// A whole number as decimal text, also beyond the range of the integer types.
inline std::string WholeNumberText(double N)
{
  if (std::fabs(N) < 1e18)
    return std::to_string(static_cast<long long>(N));
  return FormatReal(N, 1, 0);
}

// Converts a number text of the form [-]digits[.digits][E[+|-]digits] (at least one digit in
// the mantissa, no "+" in front) without the locale. A magnitude beyond the double range gives
// Overflow with an infinity of the right sign; one below it gives a signed 0.
bool ConvertDecimal(std::string_view Text, double& Value, bool& Overflow);

// Holds the editor's update lock (no events, no painting) for a scope; a lock already held
// stays held.
class TUpdateLock {
public:
  explicit TUpdateLock(TNTabEd& Editor) : FEditor(Editor), FWasLocked(Editor.FUpdateLock)
  {
    Editor.FUpdateLock = true;
  }
  ~TUpdateLock() { FEditor.FUpdateLock = FWasLocked; }
  TUpdateLock(const TUpdateLock&) = delete;
  TUpdateLock& operator=(const TUpdateLock&) = delete;

private:
  TNTabEd& FEditor;
  bool FWasLocked;
};

// Detaches the table's OnChange for a scope, so that a command writing many cells reports
// one change at its end, and reattaches it afterwards.
class TSuspendTableChange {
public:
  explicit TSuspendTableChange(TNTabEd& Editor) : FTable(*Editor.FData), FSaved(std::move(FTable.OnChange))
  {
    FTable.OnChange = nullptr;
  }
  ~TSuspendTableChange() { FTable.OnChange = std::move(FSaved); }
  TSuspendTableChange(const TSuspendTableChange&) = delete;
  TSuspendTableChange& operator=(const TSuspendTableChange&) = delete;

private:
  TDataTable& FTable;
  TNotifyEvent FSaved;
};

// The values and states of a block of cells, put back when a command fails half-way.
struct TBlockBackup {
  TGridRect Block{1, 1, 0, 0};
  std::vector<double> Values;
  std::vector<std::uint8_t> States;

  void Take(const TDataTable& T, TGridRect B)
  {
    Block = B;
    for (int c = B.Left; c <= B.Right; ++c)
      for (int r = B.Top; r <= B.Bottom; ++r) {
        Values.push_back(T.Elem(c, r));
        States.push_back(T.CellState(c, r));
      }
  }
  void Restore(TDataTable& T) const
  {
    std::size_t i = 0;
    for (int c = Block.Left; c <= Block.Right; ++c)
      for (int r = Block.Top; r <= Block.Bottom; ++r, ++i) {
        T.SetElem(c, r, Values[i]);
        T.SetCellState(c, r, States[i]);
      }
  }
};

// Runs Work over Block; when it throws, the block gets its old values and states back (with the
// table's events detached) and the error goes on to the guard.
template <typename F>
void WithBackup(TDataTable& T, TGridRect Block, F&& Work)
{
  TBlockBackup backup;
  backup.Take(T, Block);
  try {
    Work();
  } catch (...) {
    TNotifyEvent change = std::move(T.OnChange);
    TNotifyEvent cellState = std::move(T.OnChangeCellState);
    T.OnChange = nullptr;
    T.OnChangeCellState = nullptr;
    backup.Restore(T);
    T.OnChange = std::move(change);
    T.OnChangeCellState = std::move(cellState);
    throw;
  }
}

template <typename F>
void TNTabEd::Guarded(F&& Command)
{
  // Whatever the command or an owner's handler throws stays here: the grid is repainted from the
  // table, then the message is shown.
  RunGuarded(std::forward<F>(Command), [this] { return ComponentMessage("not enough memory on heap"); },
             [this](const std::string& Message) {
               Repaint();
               if (ShowMessageHook)
                 ShowMessageHook(Message);
             });
}

}  // namespace orvex
