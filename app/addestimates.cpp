// The estimate columns of a run and the undoable step that adds them to the table.
#include "addestimates.h"

#include "mlrrun.h"
#include "orvex_datatable.h"

#include <cmath>
#include <limits>
#include <utility>

namespace orvex {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// Silences the per-cell events of a table during a bulk write and fires OnChange once at the
// end (the editor and the other listeners then refresh once).
class TQuietCells {
public:
  explicit TQuietCells(TDataTable& Table)
      : FTable(Table), FChange(std::move(Table.OnChange)), FStates(std::move(Table.OnChangeCellState))
  {
    Table.OnChange = nullptr;
    Table.OnChangeCellState = nullptr;
  }
  ~TQuietCells()
  {
    FTable.OnChange = std::move(FChange);
    FTable.OnChangeCellState = std::move(FStates);
    if (FTable.OnChange)
      FTable.OnChange(&FTable);
  }
  TQuietCells(const TQuietCells&) = delete;
  TQuietCells& operator=(const TQuietCells&) = delete;

private:
  TDataTable& FTable;
  TNotifyEvent FChange;
  TNotifyEvent FStates;
};

void WriteColumn(TDataTable& Table, int Col, const std::vector<double>& Values, const std::vector<std::uint8_t>* States)
{
  const int rows = std::min(Table.NrOfRows(), static_cast<int>(Values.size()));
  for (int r = 1; r <= rows; ++r) {
    const double v = Values[static_cast<std::size_t>(r - 1)];
    if (States) {
      Table.SetElem(Col, r, v);
      Table.SetCellState(Col, r, (*States)[static_cast<std::size_t>(r - 1)]);
    } else if (std::isnan(v)) {
      Table.SetElem(Col, r, 0.0);
      Table.SetCellState(Col, r, csEmpty);
    } else {
      Table.SetElem(Col, r, v);
      Table.SetCellState(Col, r, 0);
    }
  }
}

}  // namespace

std::vector<std::string> EstimateColumnNames(const std::string& TargetName, bool WithIntervals)
{
  std::vector<std::string> names{"Estimated " + TargetName, "Residual " + TargetName};
  if (WithIntervals)
    for (const char* prefix : {"CI Low ", "CI High ", "PI Low ", "PI High "})
      names.push_back(prefix + TargetName);
  return names;
}

std::vector<TEstimateColumn> MakeEstimateColumns(const TMLRRun& Run, const TDataTable& Table, bool WithIntervals)
{
  std::vector<TEstimateColumn> columns;
  if (!Run.Succeeded() || !Run.Result())
    return columns;
  const TMLRResult& result = *Run.Result();
  const int target = result.TargetCol;
  if (target < 1 || target > Table.NrOfColumns() || Table.NrOfRows() != result.NrOfRows)
    return columns;
  for (int col : result.InputCols)
    if (col < 1 || col > Table.NrOfColumns())
      return columns;

  const int rows = Table.NrOfRows();
  for (const std::string& name : EstimateColumnNames(result.TargetName, WithIntervals))
    columns.push_back({name, std::vector<double>(static_cast<std::size_t>(rows), NaN)});
  std::vector<double>& est = columns[0].Values;
  std::vector<double>& res = columns[1].Values;

  const TPredictions& pred = result.Predictions;
  for (std::size_t k = 0; k < pred.Rows.size(); ++k) {
    if (pred.Rows[k] < 1 || pred.Rows[k] > rows)
      continue;
    const auto ri = static_cast<std::size_t>(pred.Rows[k] - 1);
    est[ri] = pred.Estimate[k];
    res[ri] = pred.Residual[k];
    if (WithIntervals) {
      columns[2].Values[ri] = pred.CILow[k];
      columns[3].Values[ri] = pred.CIHigh[k];
      columns[4].Values[ri] = pred.PILow[k];
      columns[5].Values[ri] = pred.PIHigh[k];
    }
  }
  return columns;
}

bool TAddedEstimates::InPlace(const TDataTable& Table) const
{
  if (Names.empty() || FirstColumn < 1 || FirstColumn + static_cast<int>(Names.size()) - 1 > Table.NrOfColumns())
    return false;
  for (std::size_t k = 0; k < Names.size(); ++k)
    if (Table.ColName(FirstColumn + static_cast<int>(k)) != Names[k])
      return false;
  return true;
}

TAddEstimatesCommand::TAddEstimatesCommand(std::vector<TEstimateColumn> Columns, TAddedEstimates Previous)
    : FColumns(std::move(Columns)), FPrevious(std::move(Previous))
{
}

void TAddEstimatesCommand::Redo(TDataTable& Table)
{
  TQuietCells quiet(Table);
  FRemoved.clear();
  if (FPrevious.InPlace(Table)) {
    const int rows = Table.NrOfRows();
    for (std::size_t k = 0; k < FPrevious.Names.size(); ++k) {
      const int col = FPrevious.FirstColumn + static_cast<int>(k);
      TStoredColumn stored;
      stored.Index = col;
      stored.Name = Table.ColName(col);
      stored.Attrib = Table.ColAttrib(col);
      stored.Values.assign(Table.ColumnValues(col), Table.ColumnValues(col) + rows);
      stored.States.assign(Table.ColumnStates(col), Table.ColumnStates(col) + rows);
      FRemoved.push_back(std::move(stored));
    }
    for (auto it = FRemoved.rbegin(); it != FRemoved.rend(); ++it)
      Table.DeleteColumn(it->Index);
  }
  FAdded = {};
  // A table of one empty placeholder column cannot lose it; the new columns then follow it.
  FAdded.FirstColumn = Table.NrOfColumns() + 1;
  Table.SetNrOfColumns(Table.NrOfColumns() + static_cast<int>(FColumns.size()));
  for (std::size_t k = 0; k < FColumns.size(); ++k) {
    const int col = FAdded.FirstColumn + static_cast<int>(k);
    Table.SetColName(col, FColumns[k].Name);
    Table.SetColAttrib(col, 0);
    WriteColumn(Table, col, FColumns[k].Values, nullptr);
    FAdded.Names.push_back(Table.ColName(col));
  }
}

int TAddEstimatesCommand::MovedColumn(int OldColumn) const
{
  int shift = 0;
  for (const TStoredColumn& c : FRemoved) {
    if (c.Index == OldColumn)
      return 0;
    if (c.Index < OldColumn)
      ++shift;
  }
  return OldColumn - shift;
}

void TAddEstimatesCommand::Undo(TDataTable& Table)
{
  if (!FAdded.InPlace(Table))
    return;
  TQuietCells quiet(Table);
  for (int k = static_cast<int>(FAdded.Names.size()) - 1; k >= 0; --k)
    Table.DeleteColumn(FAdded.FirstColumn + k);
  for (const TStoredColumn& c : FRemoved) {
    Table.InsertColumn(c.Index);
    Table.SetColName(c.Index, c.Name);
    Table.SetColAttrib(c.Index, c.Attrib);
    WriteColumn(Table, c.Index, c.Values, &c.States);
  }
  FAdded = {};
}

std::size_t TAddEstimatesCommand::Bytes() const
{
  std::size_t n = sizeof(*this);
  for (const TEstimateColumn& c : FColumns)
    n += sizeof(c) + c.Name.capacity() + c.Values.capacity() * sizeof(double);
  for (const TStoredColumn& c : FRemoved)
    n += sizeof(c) + c.Name.capacity() + c.Values.capacity() * sizeof(double) + c.States.capacity();
  return n;
}

}  // namespace orvex
