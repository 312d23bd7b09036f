// TDataTable: storage, sizing, names, attributes, measurement types, level labels, cell states,
// row and column insertion and deletion, and assignment. The ASC reader lives in
// orvex_datatable_asc.cpp.
#include "orvex_datatable.h"

#include "orvex_datatable_text.h"
#include "orvex_tablebuilder.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>
#include <utility>

namespace orvex {

namespace {

std::string DefaultColName(int Col) { return "C-" + std::to_string(Col); }
std::string DefaultRowName(int Row) { return "R-" + std::to_string(Row); }

std::string LimitName(const std::string& Value)
{
  return dtext::Utf8Left(dtext::ToUtf8(Value), static_cast<std::size_t>(MaxNameLength));
}

// The notice of a single edit at (Col, Row), which carries what it replaced.
TTableChange EditNotice(TTableChangeKind Kind, int Col, int Row)
{
  TTableChange c;
  c.Kind = Kind;
  c.Col = Col;
  c.Row = Row;
  c.HasOld = true;
  return c;
}

// Counts an operation whose inner steps tell no notice of their own, for a scope.
class TCompound {
public:
  explicit TCompound(int& Depth) : FDepth(Depth) { ++FDepth; }
  ~TCompound() { --FDepth; }
  TCompound(const TCompound&) = delete;
  TCompound& operator=(const TCompound&) = delete;

private:
  int& FDepth;
};

// Runs a cleanup when the scope ends, also when an exception leaves it.
template <typename F>
class TScopeExit {
public:
  explicit TScopeExit(F Fn) : FFn(std::move(Fn)) {}
  ~TScopeExit() { FFn(); }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

private:
  F FFn;
};

}  // namespace

namespace detail {

std::string RowNameOf(const TBulkVector<std::string>& Stored, int Row)
{
  return static_cast<std::size_t>(Row) <= Stored.size() ? Stored[static_cast<std::size_t>(Row - 1)]
                                                        : DefaultRowName(Row);
}

std::string& StoredRowName(TBulkVector<std::string>& Stored, int Row)
{
  const auto row = static_cast<std::size_t>(Row);
  if (row > Stored.size()) {
    Stored.reserve(row);
    for (std::size_t r = Stored.size() + 1; r <= row; ++r)
      Stored.push_back(DefaultRowName(static_cast<int>(r)));
  }
  return Stored[row - 1];
}

}  // namespace detail

TDataTable::TDataTable(TComponent* AOwner) : TComponent(AOwner)
{
  try {
    FMatrix = std::make_unique<TMatrix>();
    FRowAttribs.assign(1, 0);
    FColAttribs.assign(1, 0);
    FColumns.assign(1, TColumnDescriptor{});
    FCellStates.assign(1, 0);
    FColNames.assign(1, DefaultColName(1));
    FRowNames.assign(1, DefaultRowName(1));
  } catch (const std::bad_alloc&) {
    FMatrix.reset();
    throw EOrvexDataTableError(ComponentMessage("failed to initialize (out of memory)"));
  } catch (const EOrvexMatrixError&) {
    throw EOrvexDataTableError(ComponentMessage("failed to initialize (out of memory)"));
  }
  AttachMatrix();
}

TDataTable::~TDataTable()
{
  DetachMatrix();
}

void TDataTable::AttachMatrix()
{
  FMatrix->OnChange = [this](TObject*) { Fire(OnChange, this); };
  FMatrix->OnSortExchange = [this](TObject*, std::uint8_t What, int Index1, int Index2, int First, int Last) {
    Fire(OnSortExchange, this, What, Index1, Index2, First, Last);
  };
}

void TDataTable::DetachMatrix()
{
  if (!FMatrix)
    return;
  FMatrix->OnChange = nullptr;
  FMatrix->OnSortExchange = nullptr;
}

void TDataTable::RaiseOutOfMemory() const
{
  throw EOrvexDataTableError(ComponentMessage("not enough memory on heap"));
}

// ---------------------------------------------------------------------------------------------
// Sizing

void TDataTable::ResizeArrays(int NrCols, int NrRows)
{
  const int oldCols = FNrOfColumns;
  const int oldRows = FNrOfRows;
  const int keepCols = std::min(oldCols, NrCols);
  const int keepRows = std::min(oldRows, NrRows);
  try {
    // Everything new is built aside first, so that running out of memory changes nothing.
    TBulkVector<std::uint8_t> states(static_cast<std::size_t>(NrCols) * static_cast<std::size_t>(NrRows), 0);
    for (int c = 1; c <= keepCols; ++c) {
      const auto src = FCellStates.begin() + static_cast<std::ptrdiff_t>(CellIndex(c, 1));
      std::copy(src, src + keepRows,
                states.begin() + static_cast<std::ptrdiff_t>(c - 1) * static_cast<std::ptrdiff_t>(NrRows));
    }
    std::vector<std::string> colNames(FColNames.begin(), FColNames.begin() + keepCols);
    colNames.reserve(static_cast<std::size_t>(NrCols));
    for (int c = keepCols + 1; c <= NrCols; ++c)
      colNames.push_back(DefaultColName(c));
    // The new rows carry their default names without storing them.
    const auto keptNames = std::min(FRowNames.size(), static_cast<std::size_t>(keepRows));
    TBulkVector<std::string> rowNames(FRowNames.begin(), FRowNames.begin() + static_cast<std::ptrdiff_t>(keptNames));
    std::vector<std::int32_t> colAttribs(FColAttribs.begin(), FColAttribs.begin() + keepCols);
    colAttribs.resize(static_cast<std::size_t>(NrCols), 0);
    TBulkVector<std::int32_t> rowAttribs(FRowAttribs.begin(), FRowAttribs.begin() + keepRows);
    rowAttribs.resize(static_cast<std::size_t>(NrRows), 0);
    std::vector<TColumnDescriptor> columns(FColumns.begin(), FColumns.begin() + keepCols);
    columns.resize(static_cast<std::size_t>(NrCols));

    // The matrix refuses sizes below 1 and keeps its last size meanwhile; no access reaches it
    // then, because every access checks the table's own counts.
    if (NrCols >= 1 && NrRows >= 1) {
      FMatrix->Resize(NrCols, NrRows);
      // Cells new to the table start at 0, also where the matrix kept old values while the
      // table was empty.
      for (int c = 1; c <= NrCols; ++c) {
        double* col = FMatrix->Column(c);
        const int firstNew = c > keepCols ? 0 : keepRows;
        std::fill(col + firstNew, col + NrRows, 0.0);
      }
    }

    FCellStates.swap(states);
    FColNames.swap(colNames);
    FRowNames.swap(rowNames);
    FColAttribs.swap(colAttribs);
    FRowAttribs.swap(rowAttribs);
    FColumns.swap(columns);
    FNrOfColumns = NrCols;
    FNrOfRows = NrRows;
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  } catch (const std::length_error&) {
    RaiseOutOfMemory();
  } catch (const EOrvexMatrixError&) {
    RaiseOutOfMemory();
  }
}

void TDataTable::Resize(int NrCols, int NrRows)
{
  if (NrCols < 0 || NrRows < 0)
    return;
  if (NrCols == FNrOfColumns && NrRows == FNrOfRows)
    return;
  const int oldCols = FNrOfColumns;
  const int oldRows = FNrOfRows;
  // What a cut removes is kept for the listeners: the cut columns whole, then the cut rows of the
  // columns that stay.
  std::shared_ptr<TTableSlice> removed;
  if (Telling() && (NrCols < oldCols || NrRows < oldRows)) {
    auto cut = std::make_shared<TTableSlice>();
    if (NrCols < oldCols)
      cut->Columns = SliceColumns(NrCols + 1, oldCols)->Columns;
    if (NrRows < oldRows)
      cut->Rows = SliceRows(NrRows + 1, oldRows, std::min(NrCols, oldCols))->Rows;
    removed = std::move(cut);
  }
  DetachMatrix();
  {
    TScopeExit reattach([this] { AttachMatrix(); });
    ResizeArrays(NrCols, NrRows);
  }
  if (Telling()) {
    TTableChange c;
    c.Kind = TTableChangeKind::Resized;
    c.OldColumns = oldCols;
    c.OldRows = oldRows;
    c.Removed = std::move(removed);
    Tell(c);
  }
  Fire(OnResize, this, oldCols, oldRows, FNrOfColumns, FNrOfRows);
}

void TDataTable::SetNrOfColumns(int Value)
{
  Resize(Value, FNrOfRows);
}

void TDataTable::SetNrOfRows(int Value)
{
  Resize(FNrOfColumns, Value);
}

// ---------------------------------------------------------------------------------------------
// Cells

double TDataTable::Elem(int Col, int Row) const
{
  if (!ColInRange(Col) || !RowInRange(Row))
    return 0.0;
  const double v = FMatrix->Elem(Col, Row);
  // Level numbers are whole: round to nearest, halves to even. nearbyint stays in double, so a
  // huge or non-finite value passes through unchanged.
  if (IsLevelType(FColumns[static_cast<std::size_t>(Col - 1)].VarType))
    return std::nearbyint(v);
  return v;
}

void TDataTable::SetElem(int Col, int Row, double Value)
{
  if (!ColInRange(Col) || !RowInRange(Row))
    return;
  const double old = FMatrix->Elem(Col, Row);
  FMatrix->SetElem(Col, Row, Value);
  if (Telling()) {
    TTableChange c = EditNotice(TTableChangeKind::Value, Col, Row);
    c.OldValue = old;
    Tell(c);
  }
  Fire(OnChange, this);
}

std::uint8_t TDataTable::CellState(int Col, int Row) const
{
  if (!ColInRange(Col) || !RowInRange(Row))
    return 0;
  return FCellStates[CellIndex(Col, Row)];
}

void TDataTable::SetCellState(int Col, int Row, std::uint8_t Value)
{
  if (!ColInRange(Col) || !RowInRange(Row))
    return;
  std::uint8_t& state = FCellStates[CellIndex(Col, Row)];
  if (state == Value)
    return;
  const std::uint8_t old = state;
  state = Value;
  if (Telling()) {
    TTableChange c = EditNotice(TTableChangeKind::State, Col, Row);
    c.OldState = old;
    Tell(c);
  }
  Fire(OnChangeCellState, this);
}

bool TDataTable::ElemValid(int Col, int Row) const
{
  if (!ColInRange(Col) || !RowInRange(Row))
    return false;
  return (FCellStates[CellIndex(Col, Row)] & (csNotANumber | csEmpty)) == 0;
}

void TDataTable::ClearMarks()
{
  const bool telling = Telling();
  for (int col = 1; col <= FNrOfColumns; ++col)
    for (int row = 1; row <= FNrOfRows; ++row) {
      std::uint8_t& s = FCellStates[CellIndex(col, row)];
      const std::uint8_t old = s;
      s = static_cast<std::uint8_t>(s & ~(csMarkA | csMarkB));
      if (telling && s != old) {
        TTableChange c = EditNotice(TTableChangeKind::State, col, row);
        c.OldState = old;
        Tell(c);
      }
    }
  Fire(OnChangeCellState, this);
}

// ---------------------------------------------------------------------------------------------
// Texts and attributes

void TDataTable::SetComment(const std::string& Value)
{
  std::string text = dtext::ToUtf8(Value);
  text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 32; }),
             text.end());
  std::string old = std::exchange(FComment, std::move(text));
  if (Telling()) {
    TTableChange c = EditNotice(TTableChangeKind::Comment, 0, 0);
    c.OldText = std::move(old);
    Tell(c);
  }
  Fire(OnChangeSetup, this);
}

std::string TDataTable::ColName(int Col) const
{
  return ColInRange(Col) ? FColNames[static_cast<std::size_t>(Col - 1)] : std::string();
}

void TDataTable::SetColName(int Col, const std::string& Value)
{
  if (!ColInRange(Col))
    return;
  std::string old = std::exchange(FColNames[static_cast<std::size_t>(Col - 1)], LimitName(Value));
  if (Telling()) {
    TTableChange c = EditNotice(TTableChangeKind::ColName, Col, 0);
    c.OldText = std::move(old);
    Tell(c);
  }
  Fire(OnChangeNames, this);
}

std::string TDataTable::RowName(int Row) const
{
  return RowInRange(Row) ? detail::RowNameOf(FRowNames, Row) : std::string();
}

void TDataTable::SetRowName(int Row, const std::string& Value)
{
  if (!RowInRange(Row))
    return;
  std::string old = std::exchange(detail::StoredRowName(FRowNames, Row), LimitName(Value));
  if (Telling()) {
    TTableChange c = EditNotice(TTableChangeKind::RowName, 0, Row);
    c.OldText = std::move(old);
    Tell(c);
  }
  Fire(OnChangeNames, this);
}

std::int32_t TDataTable::ColAttrib(int Col) const
{
  return ColInRange(Col) ? FColAttribs[static_cast<std::size_t>(Col - 1)] : 0;
}

void TDataTable::SetColAttrib(int Col, std::int32_t Value)
{
  if (!ColInRange(Col))
    return;
  const std::int32_t old = std::exchange(FColAttribs[static_cast<std::size_t>(Col - 1)], Value);
  if (Telling()) {
    TTableChange c = EditNotice(TTableChangeKind::ColAttrib, Col, 0);
    c.OldAttrib = old;
    Tell(c);
  }
  Fire(OnChangeAttrib, this);
}

std::int32_t TDataTable::RowAttrib(int Row) const
{
  return RowInRange(Row) ? FRowAttribs[static_cast<std::size_t>(Row - 1)] : 0;
}

void TDataTable::SetRowAttrib(int Row, std::int32_t Value)
{
  if (!RowInRange(Row))
    return;
  const std::int32_t old = std::exchange(FRowAttribs[static_cast<std::size_t>(Row - 1)], Value);
  if (Telling()) {
    TTableChange c = EditNotice(TTableChangeKind::RowAttrib, 0, Row);
    c.OldAttrib = old;
    Tell(c);
  }
  Fire(OnChangeAttrib, this);
}

TVarType TDataTable::VarType(int Col) const
{
  return ColInRange(Col) ? FColumns[static_cast<std::size_t>(Col - 1)].VarType : TVarType(0);
}

void TDataTable::SetVarType(int Col, TVarType Value)
{
  if (!ColInRange(Col))
    return;
  const TVarType old = std::exchange(FColumns[static_cast<std::size_t>(Col - 1)].VarType, Value);
  if (Telling()) {
    TTableChange c = EditNotice(TTableChangeKind::VarType, Col, 0);
    c.OldAttrib = old;
    Tell(c);
  }
  Fire(OnChangeSetup, this);
}

namespace {

// The entry of Level among a column's labels (ascending levels), or where it would go.
template <typename TLabels>
auto FindLabel(TLabels& Labels, int Level)
{
  return std::lower_bound(Labels.begin(), Labels.end(), Level,
                          [](const auto& Entry, int L) { return Entry.first < L; });
}

}  // namespace

std::string TColumnDescriptor::Label(int Level) const
{
  if (!IsLevelType(VarType))
    return std::string();
  const auto it = FindLabel(Labels, Level);
  return it != Labels.end() && it->first == Level ? it->second : std::string();
}

void TColumnDescriptor::SetLabel(int Level, const std::string& Value)
{
  std::string label = dtext::Utf8Left(dtext::ToUtf8(Value), static_cast<std::size_t>(MaxLevelLength));
  const auto it = FindLabel(Labels, Level);
  const bool present = it != Labels.end() && it->first == Level;
  if (label.empty()) {
    // An empty label is always stored: the level holds no label any more.
    if (present)
      Labels.erase(it);
  } else if (IsLevelType(VarType)) {
    if (present)
      it->second = std::move(label);
    else
      Labels.emplace(it, static_cast<std::uint8_t>(Level), std::move(label));
  }
}

std::string TDataTable::LevelName(int Col, int Level) const
{
  if (!ColInRange(Col) || Level < 0 || Level > MaxLevel)
    return std::string();
  return FColumns[static_cast<std::size_t>(Col - 1)].Label(Level);
}

void TDataTable::SetLevelName(int Col, int Level, const std::string& Value)
{
  if (!ColInRange(Col) || Level < 0 || Level > MaxLevel)
    return;
  TColumnDescriptor& d = FColumns[static_cast<std::size_t>(Col - 1)];
  // The label as stored, whatever the type (Label() hides it for the other types).
  const auto held = FindLabel(d.Labels, Level);
  std::string old = held != d.Labels.end() && held->first == Level ? held->second : std::string();
  try {
    d.SetLabel(Level, Value);
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  } catch (const std::length_error&) {
    RaiseOutOfMemory();
  }
  if (Telling()) {
    TTableChange c = EditNotice(TTableChangeKind::LevelName, Col, 0);
    c.Level = Level;
    c.OldText = std::move(old);
    Tell(c);
  }
  Fire(OnChangeSetup, this);
}

int TDataTable::FindLevel(int Col, const std::string& Name, bool IgnoreCase) const
{
  if (!ColInRange(Col) || Name.empty())
    return -1;
  const TColumnDescriptor& d = FColumns[static_cast<std::size_t>(Col - 1)];
  if (!IsLevelType(d.VarType))
    return -1;
  std::string key = dtext::Utf8Left(dtext::ToUtf8(Name), static_cast<std::size_t>(MaxLevelLength));
  if (IgnoreCase)
    key = dtext::LowerText(key);
  // The key is never empty, so the levels without a label cannot match; the labels held come
  // in ascending levels, so the first match is the lowest level.
  for (const auto& [level, label] : d.Labels)
    if (IgnoreCase ? dtext::LowerText(label) == key : label == key)
      return level;
  return -1;
}

// ---------------------------------------------------------------------------------------------
// Inserting and deleting rows and columns

void TDataTable::InsertRow(int Row)
{
  if (Row < 1 || Row > FNrOfRows + 1)
    return;
  {
    // The moves go through the ordinary setters; value changes are not announced one by one.
    TNotifyEvent savedChange = std::move(OnChange);
    OnChange = nullptr;
    TScopeExit restore([this, &savedChange] { OnChange = std::move(savedChange); });

    TCompound compound(FCompound);
    Resize(FNrOfColumns, FNrOfRows + 1);
    for (int r = FNrOfRows; r >= Row + 1; --r)
      CopyRow(r - 1, r);
    SetRowAttrib(Row, 0);
    SetRowName(Row, std::string());
    for (int c = 1; c <= FNrOfColumns; ++c) {
      FMatrix->SetElem(c, Row, 0.0);
      SetCellState(c, Row, 0);
    }
  }
  TellStructure(TTableChangeKind::RowsInserted, 0, Row, nullptr);
  Fire(OnChangeSetup, this);
}

void TDataTable::DeleteRow(int Row)
{
  if (Row < 1 || Row > FNrOfRows || FNrOfRows < 2)
    return;
  std::shared_ptr<const TTableSlice> removed = Telling() ? SliceRows(Row, Row, FNrOfColumns) : nullptr;
  {
    TNotifyEvent savedChange = std::move(OnChange);
    OnChange = nullptr;
    TScopeExit restore([this, &savedChange] { OnChange = std::move(savedChange); });

    TCompound compound(FCompound);
    for (int r = Row; r < FNrOfRows; ++r)
      CopyRow(r + 1, r);
    Resize(FNrOfColumns, FNrOfRows - 1);
  }
  TellStructure(TTableChangeKind::RowsDeleted, 0, Row, std::move(removed));
  Fire(OnChangeSetup, this);
}

// Copies row From onto row To: attribute and name through their setters, values and states.
void TDataTable::CopyRow(int From, int To)
{
  SetRowAttrib(To, RowAttrib(From));
  SetRowName(To, RowName(From));
  for (int c = 1; c <= FNrOfColumns; ++c) {
    FMatrix->SetElem(c, To, FMatrix->Elem(c, From));
    SetCellState(c, To, CellState(c, From));
  }
}

// Moves column From onto column To: attribute and name through their setters, type and labels,
// values and states. Labels travel with their column whatever its type, so that a column never
// inherits the labels of a neighbour.
void TDataTable::MoveColumn(int From, int To)
{
  SetColAttrib(To, ColAttrib(From));
  SetColName(To, ColName(From));
  FColumns[static_cast<std::size_t>(To - 1)] = FColumns[static_cast<std::size_t>(From - 1)];
  for (int r = 1; r <= FNrOfRows; ++r) {
    FMatrix->SetElem(To, r, FMatrix->Elem(From, r));
    SetCellState(To, r, CellState(From, r));
  }
}

void TDataTable::ClearColumn(int Col)
{
  SetColAttrib(Col, 0);
  SetColName(Col, std::string());
  FColumns[static_cast<std::size_t>(Col - 1)] = TColumnDescriptor{};
  for (int r = 1; r <= FNrOfRows; ++r) {
    FMatrix->SetElem(Col, r, 0.0);
    SetCellState(Col, r, 0);
  }
}

void TDataTable::InsertColumn(int Col)
{
  if (Col < 1 || Col > FNrOfColumns + 1)
    return;
  {
    TNotifyEvent savedChange = std::move(OnChange);
    TNotifyEvent savedSetup = std::move(OnChangeSetup);
    OnChange = nullptr;
    OnChangeSetup = nullptr;
    TScopeExit restore([this, &savedChange, &savedSetup] {
      OnChange = std::move(savedChange);
      OnChangeSetup = std::move(savedSetup);
    });

    TCompound compound(FCompound);
    Resize(FNrOfColumns + 1, FNrOfRows);
    for (int c = FNrOfColumns; c >= Col + 1; --c)
      MoveColumn(c - 1, c);
    ClearColumn(Col);
  }
  TellStructure(TTableChangeKind::ColumnsInserted, Col, 0, nullptr);
  Fire(OnChangeSetup, this);
}

void TDataTable::DeleteColumn(int Col)
{
  if (Col < 1 || Col > FNrOfColumns || FNrOfColumns < 2)
    return;
  std::shared_ptr<const TTableSlice> removed = Telling() ? SliceColumns(Col, Col) : nullptr;
  {
    TNotifyEvent savedChange = std::move(OnChange);
    TNotifyEvent savedSetup = std::move(OnChangeSetup);
    OnChange = nullptr;
    OnChangeSetup = nullptr;
    TScopeExit restore([this, &savedChange, &savedSetup] {
      OnChange = std::move(savedChange);
      OnChangeSetup = std::move(savedSetup);
    });

    TCompound compound(FCompound);
    for (int c = Col; c < FNrOfColumns; ++c)
      MoveColumn(c + 1, c);
    Resize(FNrOfColumns - 1, FNrOfRows);
  }
  TellStructure(TTableChangeKind::ColumnsDeleted, Col, 0, std::move(removed));
  Fire(OnChangeSetup, this);
}

// ---------------------------------------------------------------------------------------------
// Assignment

void TDataTable::Assign(const TComponent& Source)
{
  const auto* src = dynamic_cast<const TDataTable*>(&Source);
  if (!src) {
    TComponent::Assign(Source);
    return;
  }
  if (src == this)
    return;
  try {
    // Copies first, so that a failure leaves this table as it was.
    auto matrix = std::make_unique<TMatrix>();
    matrix->Assign(*src->FMatrix);
    std::string comment = src->FComment;
    auto rowAttribs = src->FRowAttribs;
    auto colAttribs = src->FColAttribs;
    auto columns = src->FColumns;
    auto states = src->FCellStates;
    auto colNames = src->FColNames;
    auto rowNames = src->FRowNames;

    DetachMatrix();
    FMatrix = std::move(matrix);
    FComment = std::move(comment);
    FRowAttribs = std::move(rowAttribs);
    FColAttribs = std::move(colAttribs);
    FColumns = std::move(columns);
    FCellStates = std::move(states);
    FColNames = std::move(colNames);
    FRowNames = std::move(rowNames);
    FNrOfColumns = src->FNrOfColumns;
    FNrOfRows = src->FNrOfRows;
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory();
  } catch (const EOrvexMatrixError&) {
    RaiseOutOfMemory();
  }
  // The matrix's assignment copied the source matrix's handlers, which report to the source
  // table: connect the copy to this table instead.
  AttachMatrix();
  OnChange = src->OnChange;
  OnChangeSetup = src->OnChangeSetup;
  OnChangeNames = src->OnChangeNames;
  OnChangeCellState = src->OnChangeCellState;
  OnChangeAttrib = src->OnChangeAttrib;
  OnPercentDone = src->OnPercentDone;
  OnResize = src->OnResize;
  OnSortExchange = src->OnSortExchange;
  OnExportText = src->OnExportText;
  Tell(TTableChange{});  // Contents
}

// ---------------------------------------------------------------------------------------------
// Adopting a finished builder

void TDataTable::Adopt(TTableBuilder&& Builder)
{
  const int oldCols = FNrOfColumns;
  const int oldRows = FNrOfRows;
  // The builder gets this table's old contents and is then reset; it cannot fail before the
  // swap, and after it nothing of the table can.
  DetachMatrix();
  FMatrix.swap(Builder.FMatrix);
  FComment.swap(Builder.FComment);
  FCellStates.swap(Builder.FCellStates);
  FColNames.swap(Builder.FColNames);
  FRowNames.swap(Builder.FRowNames);
  FColAttribs.swap(Builder.FColAttribs);
  FRowAttribs.swap(Builder.FRowAttribs);
  FColumns.swap(Builder.FColumns);
  FNrOfColumns = Builder.FNrOfColumns;
  FNrOfRows = Builder.FNrOfRows;
  AttachMatrix();
  const std::size_t stateNotices = Builder.CellStateNotices;
  const std::size_t setupNotices = Builder.SetupNotices;
  Builder.Clear();

  if (OnChangeCellState)
    for (std::size_t k = 0; k < stateNotices; ++k)
      Fire(OnChangeCellState, this);
  if (OnChangeSetup)
    for (std::size_t k = 0; k < setupNotices; ++k)
      Fire(OnChangeSetup, this);
  AnnounceNewContents(oldCols, oldRows);
}

void TDataTable::AnnounceNewContents(int OldColumns, int OldRows)
{
  Tell(TTableChange{});  // Contents
  Fire(OnChange, this);
  Fire(OnChangeCellState, this);
  Fire(OnChangeAttrib, this);
  Fire(OnChangeNames, this);
  Fire(OnChangeSetup, this);
  Fire(OnResize, this, OldColumns, OldRows, FNrOfColumns, FNrOfRows);
}

// ---------------------------------------------------------------------------------------------
// Listeners

int TDataTable::AddListener(TTableListener Listener)
{
  const int key = FNextListenerKey++;
  FListeners.emplace_back(key, std::make_unique<TTableListener>(std::move(Listener)));
  return key;
}

void TDataTable::RemoveListener(int Key)
{
  if (Key <= 0)
    return;
  for (auto& entry : FListeners)
    if (entry.first == Key) {
      // While listeners are told, the entry stays (its function may be running) and goes later.
      if (FTellDepth > 0) {
        entry.first = 0;
        FListenersRemoved = true;
      } else {
        std::erase_if(FListeners, [Key](const auto& E) { return E.first == Key; });
      }
      return;
    }
}

void TDataTable::Tell(const TTableChange& Change)
{
  if (!Telling())
    return;
  ++FTellDepth;
  TScopeExit done([this] {
    if (--FTellDepth == 0 && FListenersRemoved) {
      std::erase_if(FListeners, [](const auto& E) { return E.first == 0; });
      FListenersRemoved = false;
    }
  });
  // By index: a listener may add listeners (which hear this change too) while it is told.
  for (std::size_t i = 0; i < FListeners.size(); ++i)
    if (FListeners[i].first != 0)
      (*FListeners[i].second)(*this, Change);
}

void TDataTable::TellStructure(TTableChangeKind Kind, int Col, int Row, std::shared_ptr<const TTableSlice> Removed)
{
  if (!Telling())
    return;
  TTableChange c;
  c.Kind = Kind;
  c.Col = Col;
  c.Row = Row;
  c.Count = 1;
  c.Removed = std::move(Removed);
  Tell(c);
}

std::shared_ptr<const TTableSlice> TDataTable::SliceColumns(int First, int Last) const
{
  auto slice = std::make_shared<TTableSlice>();
  for (int col = First; col <= Last; ++col) {
    TTableSlice::TColumn c;
    const auto i = static_cast<std::size_t>(col - 1);
    c.Name = FColNames[i];
    c.Attrib = FColAttribs[i];
    c.VarType = FColumns[i].VarType;
    c.Labels = FColumns[i].Labels;
    if (FNrOfRows > 0) {
      c.Values.assign(FMatrix->Column(col), FMatrix->Column(col) + FNrOfRows);
      c.States.assign(ColumnStates(col), ColumnStates(col) + FNrOfRows);
    }
    slice->Columns.push_back(std::move(c));
  }
  return slice;
}

std::shared_ptr<const TTableSlice> TDataTable::SliceRows(int First, int Last, int KeepCols) const
{
  auto slice = std::make_shared<TTableSlice>();
  for (int row = First; row <= Last; ++row) {
    TTableSlice::TRow r;
    const auto i = static_cast<std::size_t>(row - 1);
    r.Name = detail::RowNameOf(FRowNames, row);
    r.Attrib = FRowAttribs[i];
    for (int col = 1; col <= KeepCols; ++col) {
      r.Values.push_back(FMatrix->Elem(col, row));
      r.States.push_back(FCellStates[CellIndex(col, row)]);
    }
    slice->Rows.push_back(std::move(r));
  }
  return slice;
}

void TDataTable::PutColumns(const TTableSlice& Slice, int Col)
{
  for (const TTableSlice::TColumn& c : Slice.Columns) {
    if (ColInRange(Col)) {
      const auto i = static_cast<std::size_t>(Col - 1);
      FColNames[i] = c.Name;
      FColAttribs[i] = c.Attrib;
      FColumns[i].VarType = c.VarType;
      FColumns[i].Labels = c.Labels;
      const int rows = std::min(FNrOfRows, static_cast<int>(c.Values.size()));
      if (rows > 0) {
        std::copy_n(c.Values.begin(), rows, FMatrix->Column(Col));
        std::copy_n(c.States.begin(), rows, FCellStates.begin() + static_cast<std::ptrdiff_t>(CellIndex(Col, 1)));
      }
    }
    ++Col;
  }
}

void TDataTable::PutRows(const TTableSlice& Slice, int Row)
{
  for (const TTableSlice::TRow& r : Slice.Rows) {
    if (RowInRange(Row)) {
      const auto i = static_cast<std::size_t>(Row - 1);
      detail::StoredRowName(FRowNames, Row) = r.Name;
      FRowAttribs[i] = r.Attrib;
      const int cols = std::min(FNrOfColumns, static_cast<int>(r.Values.size()));
      for (int col = 1; col <= cols; ++col) {
        FMatrix->Column(col)[Row - 1] = r.Values[static_cast<std::size_t>(col - 1)];
        FCellStates[CellIndex(col, Row)] = r.States[static_cast<std::size_t>(col - 1)];
      }
    }
    ++Row;
  }
}

std::size_t TTableSlice::Bytes() const
{
  std::size_t n = sizeof(TTableSlice);
  for (const TColumn& c : Columns)
    n += sizeof(TColumn) + c.Name.capacity() + c.Values.capacity() * sizeof(double) + c.States.capacity() +
         c.Labels.size() * (sizeof(c.Labels[0]) + 16);
  for (const TRow& r : Rows)
    n += sizeof(TRow) + r.Name.capacity() + r.Values.capacity() * sizeof(double) + r.States.capacity();
  return n;
}

}  // namespace orvex
