// What a TDataTable tells its listeners after each change: the kind of change, where it happened
// and what it replaced. Listeners are the table's second way of reporting, beside the single
// published On* events: any number of them may listen (the editor, the undo journal, the
// window's refit and its roles), each sees every change once, and a change reaches them after
// the table holds it and before the published event that closes the operation.
//
// A notice carries what the change removed, so that a listener can take the change back without
// having copied the table beforehand: the old value, state, attribute or text of a single edit,
// and the contents of deleted rows and columns (TTableSlice), which the table gathers only while
// someone listens.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvex {

class TDataTable;

enum class TTableChangeKind : std::uint8_t {
  Value,            // the value of cell (Col, Row); Row 0: values of the whole column Col, Col 0: of every cell
  State,            // the state byte of cell (Col, Row); 0 as for Value
  ColName,          // the name of column Col
  RowName,          // the name of row Row
  ColAttrib,        // the attribute of column Col
  RowAttrib,        // the attribute of row Row
  Comment,          // the table's comment
  VarType,          // the measurement type of column Col
  LevelName,        // the label of level Level of column Col
  RowsInserted,     // Count rows inserted before row Row
  RowsDeleted,      // Count rows from row Row deleted (Removed holds them)
  ColumnsInserted,  // Count columns inserted before column Col
  ColumnsDeleted,   // Count columns from column Col deleted (Removed holds them)
  Resized,          // size OldColumns x OldRows -> the current one, by growing or cutting at the end
  Contents          // everything may have changed: a read, an adoption or an assignment
};

// The rows and columns a change removed, with everything needed to put them back.
struct TTableSlice {
  struct TColumn {
    std::string Name;
    std::int32_t Attrib = 0;
    std::uint8_t VarType = 3;
    std::vector<std::pair<std::uint8_t, std::string>> Labels;
    std::vector<double> Values;  // stored values, row 1 first
    std::vector<std::uint8_t> States;
  };
  struct TRow {
    std::string Name;
    std::int32_t Attrib = 0;
    std::vector<double> Values;  // column 1 first
    std::vector<std::uint8_t> States;
  };
  std::vector<TColumn> Columns;  // whole columns, in column order
  std::vector<TRow> Rows;        // whole rows (over the columns that stay), in row order

  std::size_t Bytes() const;
};

struct TTableChange {
  TTableChangeKind Kind = TTableChangeKind::Contents;
  int Col = 0;
  int Row = 0;
  int Count = 0;  // rows or columns inserted or deleted
  int Level = 0;  // LevelName
  int OldColumns = 0;  // Resized
  int OldRows = 0;
  // What the change replaced: set for a single edit (HasOld true), for a whole-column or whole-table
  // notice (Row or Col 0) not known.
  bool HasOld = false;
  double OldValue = 0;
  std::uint8_t OldState = 0;
  std::int32_t OldAttrib = 0;  // also the old measurement type
  std::string OldText;         // names, comment, level labels
  std::shared_ptr<const TTableSlice> Removed;  // RowsDeleted, ColumnsDeleted, Resized when cut
};

using TTableListener = std::function<void(const TDataTable& Table, const TTableChange& Change)>;

}  // namespace orvex
