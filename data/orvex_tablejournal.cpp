// TTableJournal: recording a table's change notices and swapping them back and forth.
#include "orvex_tablejournal.h"

#include "orvex_datatable.h"

#include <algorithm>
#include <utility>

namespace orvex {

void TTableJournal::Record(const TDataTable& Table, const TTableChange& Change)
{
  TStep s;
  s.Kind = Change.Kind;
  s.Col = Change.Col;
  s.Row = Change.Row;
  auto keepText = [this, &s](const std::string& Text) {
    s.Item = static_cast<std::uint32_t>(FTexts.size());
    FTexts.push_back(Text);
    FTextBytes += sizeof(std::string) + Text.capacity();
  };
  auto keepSlice = [this, &s](const std::shared_ptr<const TTableSlice>& Slice) {
    s.Item = static_cast<std::uint32_t>(FSlices.size());
    FSlices.push_back(Slice);
    FSliceBytes += Slice ? Slice->Bytes() : 0;
  };
  const bool needsOld = Change.Kind <= TTableChangeKind::LevelName;
  if (Change.Kind == TTableChangeKind::Contents || (needsOld && !Change.HasOld)) {
    FBroken = true;
    return;
  }
  switch (Change.Kind) {
  case TTableChangeKind::Value: s.Value = Change.OldValue; break;
  case TTableChangeKind::State: s.Item = Change.OldState; break;
  case TTableChangeKind::ColAttrib:
  case TTableChangeKind::RowAttrib:
  case TTableChangeKind::VarType: s.Item = static_cast<std::uint32_t>(Change.OldAttrib); break;
  case TTableChangeKind::ColName:
  case TTableChangeKind::RowName:
  case TTableChangeKind::Comment: keepText(Change.OldText); break;
  case TTableChangeKind::LevelName:
    s.Row = Change.Level;
    keepText(Change.OldText);
    break;
  case TTableChangeKind::RowsInserted:
  case TTableChangeKind::ColumnsInserted:
    // One step per row or column: undo takes them out one by one.
    for (int k = 1; k < Change.Count; ++k)
      FSteps.push_back(s);
    break;
  case TTableChangeKind::RowsDeleted:
  case TTableChangeKind::ColumnsDeleted:
    if (!Change.Removed || Change.Count != 1) {
      FBroken = true;
      return;
    }
    keepSlice(Change.Removed);
    break;
  case TTableChangeKind::Resized:
    s.Item = static_cast<std::uint32_t>(FResizes.size());
    FResizes.push_back({Change.OldColumns, Change.OldRows, Table.NrOfColumns(), Table.NrOfRows(), Change.Removed});
    FSliceBytes += Change.Removed ? Change.Removed->Bytes() : 0;
    break;
  case TTableChangeKind::Contents: break;
  }
  FSteps.push_back(s);
}

void TTableJournal::Append(TTableJournal&& Later)
{
  const auto texts = static_cast<std::uint32_t>(FTexts.size());
  const auto slices = static_cast<std::uint32_t>(FSlices.size());
  const auto resizes = static_cast<std::uint32_t>(FResizes.size());
  for (TStep s : Later.FSteps) {
    switch (s.Kind) {
    case TTableChangeKind::ColName:
    case TTableChangeKind::RowName:
    case TTableChangeKind::Comment:
    case TTableChangeKind::LevelName: s.Item += texts; break;
    case TTableChangeKind::RowsDeleted:
    case TTableChangeKind::ColumnsDeleted: s.Item += slices; break;
    case TTableChangeKind::Resized: s.Item += resizes; break;
    default: break;
    }
    FSteps.push_back(s);
  }
  std::move(Later.FTexts.begin(), Later.FTexts.end(), std::back_inserter(FTexts));
  std::move(Later.FSlices.begin(), Later.FSlices.end(), std::back_inserter(FSlices));
  std::move(Later.FResizes.begin(), Later.FResizes.end(), std::back_inserter(FResizes));
  FTextBytes += Later.FTextBytes;
  FSliceBytes += Later.FSliceBytes;
  FBroken = FBroken || Later.FBroken;
  Later = TTableJournal();
}

std::size_t TTableJournal::Bytes() const
{
  return sizeof(*this) + FSteps.capacity() * sizeof(TStep) + FTextBytes + FSliceBytes +
         FSlices.capacity() * sizeof(FSlices[0]) + FResizes.capacity() * sizeof(TResize);
}

void TTableJournal::Undo(TDataTable& Table)
{
  TPass pass;
  for (auto it = FSteps.rbegin(); it != FSteps.rend(); ++it)
    Apply(Table, *it, true, pass);
  Flush(Table, pass);
}

void TTableJournal::Redo(TDataTable& Table)
{
  TPass pass;
  for (TStep& s : FSteps)
    Apply(Table, s, false, pass);
  Flush(Table, pass);
}

// Announces the values and states written straight into the table since the last flush: one
// notice per column (Row 0) and each published event once.
void TTableJournal::Flush(TDataTable& T, TPass& Pass)
{
  for (auto* cols : {&Pass.ValueCols, &Pass.StateCols}) {
    std::sort(cols->begin(), cols->end());
    cols->erase(std::unique(cols->begin(), cols->end()), cols->end());
  }
  TTableChange n;
  n.Kind = TTableChangeKind::Value;
  for (int c : Pass.ValueCols) {
    n.Col = c;
    T.Tell(n);
  }
  n.Kind = TTableChangeKind::State;
  for (int c : Pass.StateCols) {
    n.Col = c;
    T.Tell(n);
  }
  const bool values = !Pass.ValueCols.empty();
  const bool states = !Pass.StateCols.empty();
  Pass.ValueCols.clear();
  Pass.StateCols.clear();
  if (values)
    Fire(T.OnChange, &T);
  if (states)
    Fire(T.OnChangeCellState, &T);
}

// Announces rows or columns put back from a slice: their cells (Col 0: every column), names,
// attributes and, for columns, types and labels.
void TTableJournal::AnnounceRestored(TDataTable& T, int Col, bool Columns)
{
  TTableChange n;
  for (TTableChangeKind k : {TTableChangeKind::Value, TTableChangeKind::State}) {
    n.Kind = k;
    n.Col = Col;
    T.Tell(n);
  }
  Fire(T.OnChange, &T);
  Fire(T.OnChangeCellState, &T);
  Fire(T.OnChangeAttrib, &T);
  Fire(T.OnChangeNames, &T);
  if (Columns)
    Fire(T.OnChangeSetup, &T);
}

// One step backward (undo) or forward (redo). Values and states are swapped in place and
// announced in batches; everything else goes through the table's operations, after the batch so
// far has been announced (an operation may move the columns the batch names).
void TTableJournal::Apply(TDataTable& T, TStep& Step, bool Backward, TPass& Pass)
{
  const bool cell = Step.Kind == TTableChangeKind::Value || Step.Kind == TTableChangeKind::State;
  if (!cell)
    Flush(T, Pass);
  const int col = Step.Col;
  const int row = Step.Row;
  switch (Step.Kind) {
  case TTableChangeKind::Value:
    if (T.ColInRange(col) && T.RowInRange(row)) {
      std::swap(T.FMatrix->Column(col)[row - 1], Step.Value);
      if (Pass.ValueCols.empty() || Pass.ValueCols.back() != col)
        Pass.ValueCols.push_back(col);
    }
    break;
  case TTableChangeKind::State:
    if (T.ColInRange(col) && T.RowInRange(row)) {
      std::uint8_t& s = T.FCellStates[T.CellIndex(col, row)];
      const std::uint8_t held = s;
      s = static_cast<std::uint8_t>(Step.Item);
      Step.Item = held;
      if (Pass.StateCols.empty() || Pass.StateCols.back() != col)
        Pass.StateCols.push_back(col);
    }
    break;
  case TTableChangeKind::ColName: {
    std::string now = T.ColName(col);
    T.SetColName(col, FTexts[Step.Item]);
    FTexts[Step.Item] = std::move(now);
    break;
  }
  case TTableChangeKind::RowName: {
    std::string now = T.RowName(row);
    T.SetRowName(row, FTexts[Step.Item]);
    FTexts[Step.Item] = std::move(now);
    break;
  }
  case TTableChangeKind::Comment: {
    std::string now = T.Comment();
    T.SetComment(FTexts[Step.Item]);
    FTexts[Step.Item] = std::move(now);
    break;
  }
  case TTableChangeKind::ColAttrib: {
    const std::int32_t now = T.ColAttrib(col);
    T.SetColAttrib(col, static_cast<std::int32_t>(Step.Item));
    Step.Item = static_cast<std::uint32_t>(now);
    break;
  }
  case TTableChangeKind::RowAttrib: {
    const std::int32_t now = T.RowAttrib(row);
    T.SetRowAttrib(row, static_cast<std::int32_t>(Step.Item));
    Step.Item = static_cast<std::uint32_t>(now);
    break;
  }
  case TTableChangeKind::VarType: {
    const TVarType now = T.VarType(col);
    T.SetVarType(col, static_cast<TVarType>(Step.Item));
    Step.Item = now;
    break;
  }
  case TTableChangeKind::LevelName: {
    // The label as held, whatever the column's type at this point.
    std::string now;
    if (T.ColInRange(col))
      for (const auto& [level, label] : T.FColumns[static_cast<std::size_t>(col - 1)].Labels)
        if (level == row)
          now = label;
    T.SetLevelName(col, row, FTexts[Step.Item]);
    FTexts[Step.Item] = std::move(now);
    break;
  }
  case TTableChangeKind::RowsInserted:
    if (!Backward)
      T.InsertRow(row);
    else if (T.NrOfRows() >= 2)
      T.DeleteRow(row);
    else if (row == T.NrOfRows())
      T.SetNrOfRows(row - 1);
    break;
  case TTableChangeKind::ColumnsInserted:
    if (!Backward)
      T.InsertColumn(col);
    else if (T.NrOfColumns() >= 2)
      T.DeleteColumn(col);
    else if (col == T.NrOfColumns())
      T.SetNrOfColumns(col - 1);
    break;
  case TTableChangeKind::RowsDeleted:
    if (!Backward) {
      T.DeleteRow(row);
    } else {
      T.InsertRow(row);
      T.PutRows(*FSlices[Step.Item], row);
      AnnounceRestored(T, 0, true);
    }
    break;
  case TTableChangeKind::ColumnsDeleted:
    if (!Backward) {
      T.DeleteColumn(col);
    } else {
      T.InsertColumn(col);
      T.PutColumns(*FSlices[Step.Item], col);
      AnnounceRestored(T, col, true);
    }
    break;
  case TTableChangeKind::Resized: {
    const TResize& r = FResizes[Step.Item];
    if (!Backward) {
      T.Resize(r.NewColumns, r.NewRows);
    } else {
      T.Resize(r.OldColumns, r.OldRows);
      if (r.Removed) {
        T.PutColumns(*r.Removed, r.NewColumns + 1);
        T.PutRows(*r.Removed, r.NewRows + 1);
        AnnounceRestored(T, 0, !r.Removed->Columns.empty());
      }
    }
    break;
  }
  case TTableChangeKind::Contents: break;
  }
}

}  // namespace orvex
