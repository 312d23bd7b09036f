// TTableBuilder: a data table under construction, the one way every reader puts a table
// together. A reader fills a builder (sizes, values, cell states, names, attributes, measurement
// types and level labels, comment) without touching any live table; the table then takes the
// finished builder over in one step (TDataTable::Adopt) with one round of change events. So a
// read that fails or is cancelled leaves the current table alone, and a read may run on a worker
// thread while the GUI thread adopts the result.
//
// The builder holds its contents in the table's own layout (a TMatrix of values, column-major
// state bytes, the name arrays and column descriptors), so adoption moves them without a copy.
// Indexes are 1-based, columns first, as in TDataTable; unlike the table's, the builder's
// accessors are unchecked in the raw forms (Column, ColumnStates) and checked in the others.
// Memory exhaustion raises EOrvexDataTableError ("... not enough memory on heap").
#pragma once

#include "orvex_datatable.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

class TTableBuilder {
public:
  TTableBuilder();
  TTableBuilder(TTableBuilder&&) noexcept;
  TTableBuilder& operator=(TTableBuilder&&) noexcept;
  ~TTableBuilder();

  // properties
  int NrOfColumns() const { return FNrOfColumns; }
  int NrOfRows() const { return FNrOfRows; }
  const std::string& Comment() const { return FComment; }
  // Stored as given, unlike TDataTable::SetComment (an ASC file's comment line is kept whole).
  void SetComment(const std::string& Value);

  // Raw storage of column Col (1..NrOfColumns): NrOfRows values and NrOfRows state bytes, row 1
  // first. Valid until the next Resize or TruncateRows.
  double* Column(int Col);
  const double* Column(int Col) const;
  std::uint8_t* ColumnStates(int Col);
  const std::uint8_t* ColumnStates(int Col) const;

  // Checked cell access: out of range reads 0 and writes are ignored.
  double Value(int Col, int Row) const;
  void SetValue(int Col, int Row, double Value);
  std::uint8_t CellState(int Col, int Row) const;
  void SetCellState(int Col, int Row, std::uint8_t Value);

  // Names keep their first 50 characters; text that is not valid UTF-8 is taken as
  // Windows-1252, as in the table.
  std::string ColName(int Col) const;
  void SetColName(int Col, const std::string& Value);
  std::string RowName(int Row) const;
  void SetRowName(int Row, const std::string& Value);
  std::int32_t ColAttrib(int Col) const;
  void SetColAttrib(int Col, std::int32_t Value);
  std::int32_t RowAttrib(int Row) const;
  void SetRowAttrib(int Row, std::int32_t Value);
  TVarType VarType(int Col) const;
  void SetVarType(int Col, TVarType Value);
  // As in the table: the first 10 characters; a non-empty label only for the level types.
  std::string LevelName(int Col, int Level) const;
  void SetLevelName(int Col, int Level, const std::string& Value);

  // Notices the adopting table fires before its closing events, so that a reader whose format
  // defines events per cell or per label (the ASC reader) keeps them: OnChangeCellState
  // CellStateNotices times, then OnChangeSetup SetupNotices times. 0 for other readers.
  std::size_t CellStateNotices = 0;
  std::size_t SetupNotices = 0;

  // operations
  // A fresh table of NrCols x NrRows (each at least 1): values 0, states 0, names "C-n" and
  // "R-n", attributes 0, every column Interval without labels; the comment stays.
  void Resize(int NrCols, int NrRows);
  // Keeps the first NrRows rows (1..NrOfRows) with everything they hold.
  void TruncateRows(int NrRows);
  // Keeps only the columns whose Keep entry (one per column, column 1 first) is true, in
  // order; at least one must be kept.
  void KeepColumns(const std::vector<bool>& Keep);
  // Takes over storage a reader filled in place: a values matrix of C x R (C, R >= 1) and its
  // C * R column-major state bytes. Names become "C-n" and "R-n", attributes 0, every column
  // Interval without labels; the comment and the notices stay.
  void TakeOver(std::unique_ptr<TMatrix> Values, TBulkVector<std::uint8_t> States);
  // Back to a new builder: 1 x 1, empty comment, no notices.
  void Clear();

private:
  friend class TDataTable;

  int FNrOfColumns = 1;
  int FNrOfRows = 1;
  std::string FComment;
  std::unique_ptr<TMatrix> FMatrix;
  TBulkVector<std::uint8_t> FCellStates;  // column-major
  std::vector<std::string> FColNames;
  TBulkVector<std::string> FRowNames;
  std::vector<std::int32_t> FColAttribs;
  TBulkVector<std::int32_t> FRowAttribs;
  std::vector<TColumnDescriptor> FColumns;
};

}  // namespace orvex
