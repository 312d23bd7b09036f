// TTableBuilder: a table under construction in the table's own storage layout; see the header.
#include "orvex_tablebuilder.h"

#include "orvex_datatable_text.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <utility>

namespace orvex {

namespace {

[[noreturn]] void RaiseOutOfMemory()
{
  throw EOrvexDataTableError("Class TTableBuilder: not enough memory on heap");
}

std::string LimitName(const std::string& Value)
{
  return dtext::Utf8Left(dtext::ToUtf8(Value), static_cast<std::size_t>(MaxNameLength));
}

}  // namespace

TTableBuilder::TTableBuilder()
{
  Resize(1, 1);
}

TTableBuilder::TTableBuilder(TTableBuilder&&) noexcept = default;
TTableBuilder& TTableBuilder::operator=(TTableBuilder&&) noexcept = default;
TTableBuilder::~TTableBuilder() = default;

void TTableBuilder::SetComment(const std::string& Value)
{
  FComment = Value;
}

void TTableBuilder::Resize(int NrCols, int NrRows)
{
  if (NrCols < 1 || NrRows < 1)
    throw EOrvexDataTableError("Class TTableBuilder: a table needs at least one column and one row");
  try {
    auto matrix = std::make_unique<TMatrix>();
    matrix->Resize(NrCols, NrRows);
    TakeOver(std::move(matrix),
             TBulkVector<std::uint8_t>(static_cast<std::size_t>(NrCols) * static_cast<std::size_t>(NrRows), 0));
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  } catch (const EOrvexMatrixError&) {
    RaiseOutOfMemory();
  }
}

void TTableBuilder::TakeOver(std::unique_ptr<TMatrix> Values, TBulkVector<std::uint8_t> States)
{
  const int nrCols = Values->NrOfColumns();
  const int nrRows = Values->NrOfRows();
  const auto cols = static_cast<std::size_t>(nrCols);
  const auto rows = static_cast<std::size_t>(nrRows);
  if (States.size() != cols * rows)
    throw EOrvexDataTableError("Class TTableBuilder: the states do not fit the values");
  try {
    std::vector<std::string> colNames;
    colNames.reserve(cols);
    for (std::size_t c = 1; c <= cols; ++c)
      colNames.push_back("C-" + std::to_string(c));
    std::vector<std::int32_t> colAttribs(cols, 0);
    TBulkVector<std::int32_t> rowAttribs(rows, 0);
    std::vector<TColumnDescriptor> columns(cols);

    FMatrix = std::move(Values);
    FCellStates = std::move(States);
    FColNames = std::move(colNames);
    // Every row carries its default name until one is set (see detail::RowNameOf).
    FRowNames.clear();
    FColAttribs = std::move(colAttribs);
    FRowAttribs = std::move(rowAttribs);
    FColumns = std::move(columns);
    FNrOfColumns = nrCols;
    FNrOfRows = nrRows;
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  } catch (const std::length_error&) {
    RaiseOutOfMemory();
  }
}

void TTableBuilder::Clear()
{
  FComment.clear();
  CellStateNotices = 0;
  SetupNotices = 0;
  Resize(1, 1);
}

void TTableBuilder::TruncateRows(int NrRows)
{
  if (NrRows < 1 || NrRows >= FNrOfRows)
    return;
  const auto cols = static_cast<std::size_t>(FNrOfColumns);
  const auto oldRows = static_cast<std::size_t>(FNrOfRows);
  const auto rows = static_cast<std::size_t>(NrRows);
  try {
    auto matrix = std::make_unique<TMatrix>();
    matrix->Resize(FNrOfColumns, NrRows);
    TBulkVector<std::uint8_t> states(cols * rows);
    for (std::size_t c = 0; c < cols; ++c) {
      const double* from = FMatrix->Column(static_cast<int>(c) + 1);
      std::copy(from, from + rows, matrix->Column(static_cast<int>(c) + 1));
      std::copy_n(FCellStates.begin() + static_cast<std::ptrdiff_t>(c * oldRows), rows,
                  states.begin() + static_cast<std::ptrdiff_t>(c * rows));
    }
    if (FRowNames.size() > rows)
      FRowNames.resize(rows);
    FRowAttribs.resize(rows);
    FMatrix = std::move(matrix);
    FCellStates = std::move(states);
    FNrOfRows = NrRows;
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  } catch (const EOrvexMatrixError&) {
    RaiseOutOfMemory();
  }
}

void TTableBuilder::KeepColumns(const std::vector<bool>& Keep)
{
  const auto cols = static_cast<std::size_t>(FNrOfColumns);
  const auto rows = static_cast<std::size_t>(FNrOfRows);
  const auto kept = static_cast<std::size_t>(std::count(Keep.begin(), Keep.begin() + static_cast<std::ptrdiff_t>(std::min(Keep.size(), cols)), true));
  if (kept == cols || kept == 0)
    return;
  try {
    auto matrix = std::make_unique<TMatrix>();
    matrix->Resize(static_cast<int>(kept), FNrOfRows);
    TBulkVector<std::uint8_t> states(kept * rows);
    std::vector<std::string> colNames;
    std::vector<std::int32_t> colAttribs;
    std::vector<TColumnDescriptor> columns;
    colNames.reserve(kept);
    colAttribs.reserve(kept);
    columns.reserve(kept);
    std::size_t to = 0;
    for (std::size_t c = 0; c < cols; ++c) {
      if (c >= Keep.size() || !Keep[c])
        continue;
      const double* from = FMatrix->Column(static_cast<int>(c) + 1);
      std::copy(from, from + rows, matrix->Column(static_cast<int>(to) + 1));
      std::copy_n(FCellStates.begin() + static_cast<std::ptrdiff_t>(c * rows), rows,
                  states.begin() + static_cast<std::ptrdiff_t>(to * rows));
      colNames.push_back(std::move(FColNames[c]));
      colAttribs.push_back(FColAttribs[c]);
      columns.push_back(std::move(FColumns[c]));
      ++to;
    }
    FMatrix = std::move(matrix);
    FCellStates = std::move(states);
    FColNames = std::move(colNames);
    FColAttribs = std::move(colAttribs);
    FColumns = std::move(columns);
    FNrOfColumns = static_cast<int>(kept);
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  } catch (const EOrvexMatrixError&) {
    RaiseOutOfMemory();
  }
}

double* TTableBuilder::Column(int Col)
{
  return FMatrix->Column(Col);
}

const double* TTableBuilder::Column(int Col) const
{
  return FMatrix->Column(Col);
}

std::uint8_t* TTableBuilder::ColumnStates(int Col)
{
  return FCellStates.data() + static_cast<std::size_t>(Col - 1) * static_cast<std::size_t>(FNrOfRows);
}

const std::uint8_t* TTableBuilder::ColumnStates(int Col) const
{
  return FCellStates.data() + static_cast<std::size_t>(Col - 1) * static_cast<std::size_t>(FNrOfRows);
}

namespace {

bool InRange(int Index, int Count) { return Index >= 1 && Index <= Count; }

}  // namespace

double TTableBuilder::Value(int Col, int Row) const
{
  return InRange(Col, FNrOfColumns) && InRange(Row, FNrOfRows) ? Column(Col)[Row - 1] : 0.0;
}

void TTableBuilder::SetValue(int Col, int Row, double Value)
{
  if (InRange(Col, FNrOfColumns) && InRange(Row, FNrOfRows))
    Column(Col)[Row - 1] = Value;
}

std::uint8_t TTableBuilder::CellState(int Col, int Row) const
{
  return InRange(Col, FNrOfColumns) && InRange(Row, FNrOfRows) ? ColumnStates(Col)[Row - 1] : 0;
}

void TTableBuilder::SetCellState(int Col, int Row, std::uint8_t Value)
{
  if (InRange(Col, FNrOfColumns) && InRange(Row, FNrOfRows))
    ColumnStates(Col)[Row - 1] = Value;
}

std::string TTableBuilder::ColName(int Col) const
{
  return InRange(Col, FNrOfColumns) ? FColNames[static_cast<std::size_t>(Col - 1)] : std::string();
}

void TTableBuilder::SetColName(int Col, const std::string& Value)
{
  if (InRange(Col, FNrOfColumns))
    FColNames[static_cast<std::size_t>(Col - 1)] = LimitName(Value);
}

std::string TTableBuilder::RowName(int Row) const
{
  return InRange(Row, FNrOfRows) ? detail::RowNameOf(FRowNames, Row) : std::string();
}

void TTableBuilder::SetRowName(int Row, const std::string& Value)
{
  if (InRange(Row, FNrOfRows))
    detail::StoredRowName(FRowNames, Row) = LimitName(Value);
}

std::int32_t TTableBuilder::ColAttrib(int Col) const
{
  return InRange(Col, FNrOfColumns) ? FColAttribs[static_cast<std::size_t>(Col - 1)] : 0;
}

void TTableBuilder::SetColAttrib(int Col, std::int32_t Value)
{
  if (InRange(Col, FNrOfColumns))
    FColAttribs[static_cast<std::size_t>(Col - 1)] = Value;
}

std::int32_t TTableBuilder::RowAttrib(int Row) const
{
  return InRange(Row, FNrOfRows) ? FRowAttribs[static_cast<std::size_t>(Row - 1)] : 0;
}

void TTableBuilder::SetRowAttrib(int Row, std::int32_t Value)
{
  if (InRange(Row, FNrOfRows))
    FRowAttribs[static_cast<std::size_t>(Row - 1)] = Value;
}

TVarType TTableBuilder::VarType(int Col) const
{
  return InRange(Col, FNrOfColumns) ? FColumns[static_cast<std::size_t>(Col - 1)].VarType : TVarType(0);
}

void TTableBuilder::SetVarType(int Col, TVarType Value)
{
  if (InRange(Col, FNrOfColumns))
    FColumns[static_cast<std::size_t>(Col - 1)].VarType = Value;
}

std::string TTableBuilder::LevelName(int Col, int Level) const
{
  if (!InRange(Col, FNrOfColumns) || Level < 0 || Level > MaxLevel)
    return std::string();
  return FColumns[static_cast<std::size_t>(Col - 1)].Label(Level);
}

void TTableBuilder::SetLevelName(int Col, int Level, const std::string& Value)
{
  if (!InRange(Col, FNrOfColumns) || Level < 0 || Level > MaxLevel)
    return;
  try {
    FColumns[static_cast<std::size_t>(Col - 1)].SetLabel(Level, Value);
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  }
}

}  // namespace orvex
