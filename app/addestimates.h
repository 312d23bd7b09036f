// "Add Estimates to Table": the columns it writes and the step that writes them.
//
// MakeEstimateColumns computes, for every table row whose inputs are all valid, the estimate of
// the last successful run (also where the target is missing: such rows were not used in the
// fit), its residual where the target is valid (actual minus estimated, as in the result value
// and the diagnostic charts) and, on request, the 95 % confidence and prediction limits of the
// estimate: the predictions of the run's result value, placed into table columns.
//
// TAddEstimatesCommand applies such columns to a table as one step that can be taken back: it
// removes the columns a previous add appended (when they are still in place under their names),
// appends the new ones (named after the target, without a role: roles belong to the window),
// and keeps what it removed, so Undo restores the table as it was. The table's change event
// fires once per step, not once per cell.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvex {

class TDataTable;
class TMLRRun;

struct TEstimateColumn {
  std::string Name;
  std::vector<double> Values;  // one per table row; NaN: an empty cell
};

// The names of the added columns: "Estimated " / "Residual " followed by the target's name, and
// the limits "CI Low ", "CI High ", "PI Low ", "PI High " followed by it.
std::vector<std::string> EstimateColumnNames(const std::string& TargetName, bool WithIntervals);

// Two columns (estimates, residuals) or six (and the four limits). Empty when Run has not
// succeeded or Table no longer has its columns.
std::vector<TEstimateColumn> MakeEstimateColumns(const TMLRRun& Run, const TDataTable& Table, bool WithIntervals);

// Where an add put its columns: the first column's index and the names as the table holds them.
struct TAddedEstimates {
  int FirstColumn = 0;
  std::vector<std::string> Names;
  // Whether Table still has these columns, in place and under these names.
  bool InPlace(const TDataTable& Table) const;
};

class TAddEstimatesCommand {
public:
  // Previous: what the last add appended (nothing to replace when empty or no longer in place).
  TAddEstimatesCommand(std::vector<TEstimateColumn> Columns, TAddedEstimates Previous);

  // operations
  void Redo(TDataTable& Table);
  void Undo(TDataTable& Table);

  // properties
  // The columns the last Redo appended.
  const TAddedEstimates& Added() const { return FAdded; }
  // The memory the command holds, in bytes.
  std::size_t Bytes() const;
  // Where a column of the table before the last Redo is now: its new index, 0 when Redo
  // removed it (so the window can keep the roles of the other columns).
  int MovedColumn(int OldColumn) const;

private:
  // A column taken out of the table, with everything needed to put it back.
  struct TStoredColumn {
    int Index = 0;
    std::string Name;
    std::int32_t Attrib = 0;
    std::vector<double> Values;
    std::vector<std::uint8_t> States;
  };

  std::vector<TEstimateColumn> FColumns;
  TAddedEstimates FPrevious;
  TAddedEstimates FAdded;
  std::vector<TStoredColumn> FRemoved;  // in increasing column order
};

}  // namespace orvex
