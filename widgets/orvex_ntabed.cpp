// TNTabEd: creation, properties, data access, the binding to the owned table and the grid layout
// that follows the table's size and the visibility of the attribute column and row.
#include "orvex_ntabed.h"

#include "orvex_ntabed_internal.h"
#include "orvex_stringl.h"

#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <algorithm>
#include <cmath>

namespace orvex {

namespace {
constexpr int kRowNameWidth = 80;
constexpr int kMaxPrecision = 10;
}  // namespace

TNTabEd::TNTabEd(QWidget* Parent) : TCustomGrid(Parent)
{
  TUpdateLock lock(*this);
  try {
    FData = std::make_unique<TDataTable>();
    FCopyTable = std::make_unique<TDataTable>();
    // The grid starts with 5 x 5 cells: two fixed columns (names and attributes), one fixed row.
    SetFixedCols(2);
    SetColWidths(0, kRowNameWidth);
    SetColWidths(1, FAttribColWidth);
    FData->Resize(ColCount() - 2, RowCount() - 1);
    FColPrecision.assign(static_cast<std::size_t>(FData->NrOfColumns()), 3);
  } catch (const std::bad_alloc&) {
    FData.reset();
    throw EOrvexNTabedError(ComponentMessage("failed to initialize table editor (out of memory)"));
  } catch (const EOrvexError&) {
    FData.reset();
    throw EOrvexNTabedError(ComponentMessage("failed to initialize table editor (out of memory)"));
  }
  BindTable();
  CreateMenus();
  // Any change of Font other than taking the parent's ends following the parent.
  Font().OnChange = [this, gridFontChanged = std::move(Font().OnChange)](TObject* Sender) {
    if (!FAdoptingFont)
      FParentFont = false;
    if (gridFontChanged)
      gridFontChanged(Sender);
  };
  TCustomGrid::SetOptions(Options() + TGridOptions{goTabs, goEditing});
  SetColor(clWindow);
  SetFixedColor(clBtnFace);
  PopupHook = [](QMenu* Menu, const QPoint& GlobalPos) { Menu->popup(GlobalPos); };
  ShowMessageHook = [this](const std::string& Message) {
    QMessageBox::warning(this, QStringLiteral("Table editor"), QString::fromStdString(Message));
  };
}

TNTabEd::~TNTabEd()
{
  // The table's handlers point at this editor; nothing may reach it while it goes.
  if (FData) {
    FData->OnChange = nullptr;
    FData->OnChangeSetup = nullptr;
    FData->OnPercentDone = nullptr;
    FData->OnResize = nullptr;
    FData->RemoveListener(FListenerKey);
  }
  delete FPopupDT;
  delete FPopupHT;
}

// ---------------------------------------------------------------------------------------------
// Events, repainting and the binding

void TNTabEd::Notify(const TNotifyEvent& Event)
{
  if (!Quiet())
    Fire(Event, this);
}

void TNTabEd::Repaint()
{
  InvalidateGrid();
}

void TNTabEd::paintEvent(QPaintEvent* e)
{
  if (Quiet())
    return;
  TCustomGrid::paintEvent(e);
}

void TNTabEd::BindTable()
{
  FData->OnChange = [this](TObject*) {
    Notify(OnChange);
    Repaint();
  };
  FData->OnChangeSetup = [this](TObject*) {
    Notify(OnChangeSetup);
    Repaint();
  };
  FData->OnPercentDone = [this](TObject*, int Percent) { Fire(OnPercentDone, this, Percent); };
  FData->OnResize = [this](TObject*, int OldColumns, int OldRows, int NewColumns, int NewRows) {
    TableResized(OldColumns, OldRows, NewColumns, NewRows);
  };
  FListenerKey = FData->AddListener([this](const TDataTable&, const TTableChange& Change) {
    if (Change.Kind == TTableChangeKind::ColumnsInserted || Change.Kind == TTableChangeKind::ColumnsDeleted)
      ColumnsMoved(Change);
    if (FHasRowSet)
      FollowRowSet(Change);
  });
}

// The grid follows the table: counts, fixed counts, the widths of new columns and their
// precisions. New columns take the width of the table's last column. A table without columns
// has none: its grid's last column is then the attribute or row-name column, whose width would
// cut every number short, so new columns take the width the last data column had when the
// table was emptied (the default width when it never had a column).
void TNTabEd::TableResized(int OldColumns, int, int NewColumns, int NewRows)
{
  int lastWidth = FEmptiedColWidth > 0 ? FEmptiedColWidth : TCustomGrid::DefaultColWidth();
  if (OldColumns >= 1) {
    lastWidth = ColWidths(ColCount() - 1);
    if (NewColumns < 1)
      FEmptiedColWidth = lastWidth;
  }
  SetColCount(NewColumns + FAC + 1);
  for (int j = std::max(OldColumns, 1); j <= NewColumns; ++j)
    SetColWidths(j + FAC, lastWidth);
  SetRowCount(NewRows + FAR + 1);
  if (FAC + 1 < ColCount())
    SetFixedCols(FAC + 1);
  if (FAR + 1 < RowCount())
    SetFixedRows(FAR + 1);

  const bool known = OldColumns >= 1 && OldColumns <= static_cast<int>(FColPrecision.size());
  const std::int8_t newPrecision = known ? FColPrecision[static_cast<std::size_t>(OldColumns - 1)] : 2;
  if (NewColumns >= 0 && static_cast<std::size_t>(NewColumns) < FColPrecision.size())
    FCutPrecisions.assign(FColPrecision.begin() + NewColumns, FColPrecision.end());
  FColPrecision.resize(static_cast<std::size_t>(std::max(NewColumns, 0)), newPrecision);
  Repaint();
}

void TNTabEd::Resize(int NrCols, int NrRows)
{
  if (NrCols < 0 || NrRows < 0)
    return;
  HideEditor(true);
  {
    TUpdateLock lock(*this);
    try {
      FData->Resize(NrCols, NrRows);
    } catch (const EOrvexError&) {
      throw EOrvexNTabedError(ComponentMessage("not enough memory on heap"));
    } catch (const std::bad_alloc&) {
      throw EOrvexNTabedError(ComponentMessage("not enough memory on heap"));
    }
  }
  Notify(OnChangeSetup);
  Repaint();
}

// ---------------------------------------------------------------------------------------------
// Properties

void TNTabEd::SetNumWidth(int Value)
{
  if (Value >= 1 && Value <= 20) {
    FNumWidth = Value;
    Repaint();
  }
  Notify(OnLayoutChanged);
}

void TNTabEd::SetLayoutColor(TColor& Field, TColor Value)
{
  Field = Value;
  Repaint();
  Notify(OnLayoutChanged);
}

void TNTabEd::SetColorEmptyMsg(TColor Value)
{
  if (Value == FColorEmptyMsg)
    return;
  FColorEmptyMsg = Value;
  Repaint();
  Notify(OnChangeSetup);
}

void TNTabEd::SetEmptyMessage(const std::string& Value)
{
  if (Value == FEmptyMessage)
    return;
  FEmptyMessage = Value;
  Repaint();
  Notify(OnChangeSetup);
}

void TNTabEd::SetBoldMarks(bool Value)
{
  if (Value == FBoldMarks)
    return;
  FBoldMarks = Value;
  Repaint();
  Notify(OnLayoutChanged);
}

void TNTabEd::SetBoldSelHeads(bool Value)
{
  if (Value == FBoldSelHeads)
    return;
  FBoldSelHeads = Value;
  Repaint();
  Notify(OnLayoutChanged);
}

void TNTabEd::SetShowCellCursor(bool Value)
{
  if (Value == FShowCellCursor)
    return;
  FShowCellCursor = Value;
  InvalidateCell(0, 0);
}

void TNTabEd::SetOptimizeRowHeight(bool Value)
{
  if (Value == FOptimizeRowHeight)
    return;
  FOptimizeRowHeight = Value;
  Repaint();
}

void TNTabEd::SetParentFont(bool Value)
{
  FParentFont = Value;
  if (Value)
    AdoptParentFont();
}

void TNTabEd::AdoptParentFont()
{
  const QWidget* parent = parentWidget();
  if (!parent)
    return;
  const QFont f = parent->font();
  TFont adopted;
  adopted.SetColor(Font().Color());
  adopted.SetPixelsPerInch(Font().PixelsPerInch());
  adopted.SetName(f.family().toStdString());
  if (f.pixelSize() > 0)
    adopted.SetHeight(-f.pixelSize());
  else
    adopted.SetHeight(-static_cast<int>(std::lround(f.pointSizeF() * Font().PixelsPerInch() / 72.0)));
  TFontStyles style;
  if (f.bold())
    style.Include(fsBold);
  if (f.italic())
    style.Include(fsItalic);
  if (f.underline())
    style.Include(fsUnderline);
  if (f.strikeOut())
    style.Include(fsStrikeOut);
  adopted.SetStyle(style);
  FAdoptingFont = true;
  Font().Assign(adopted);
  FAdoptingFont = false;
}

// A font set on the parent reaches its children as a font change (so does a new parent).
void TNTabEd::changeEvent(QEvent* e)
{
  TCustomGrid::changeEvent(e);
  if (e->type() == QEvent::FontChange && FParentFont)
    Guarded([&] { AdoptParentFont(); });
}

void TNTabEd::SetOptions(TGridOptions Value)
{
  // Editing stays as the editor's own rules set it; Tab always moves between cells.
  Value.Include(goTabs);
  if (Options().Contains(goEditing))
    Value.Include(goEditing);
  else
    Value.Exclude(goEditing);
  TCustomGrid::SetOptions(Value);
}

void TNTabEd::SetAttribRowVisible(bool Value)
{
  if (Value == (FAC == 1))
    return;
  HideEditor(true);
  if (Value) {
    FAC = 1;
    SetColCount(NrOfColumns() + 2);
    for (int c = ColCount() - 1; c >= 2; --c)
      SetColWidths(c, ColWidths(c - 1));
    SetColWidths(1, FAttribColWidth);
    if (2 < ColCount())
      SetFixedCols(2);
  } else {
    SetFixedCols(1);
    FAC = 0;
    for (int c = 1; c + 1 < ColCount(); ++c)
      SetColWidths(c, ColWidths(c + 1));
    SetColCount(NrOfColumns() + 1);
  }
  Repaint();
  Notify(OnLayoutChanged);
}

void TNTabEd::SetAttribColVisible(bool Value)
{
  if (Value == (FAR == 1))
    return;
  HideEditor(true);
  if (Value) {
    FAR = 1;
    SetRowCount(NrOfRows() + 2);
    for (int r = RowCount() - 1; r >= 2; --r)
      SetRowHeights(r, RowHeights(r - 1));
    SetRowHeights(1, RowHeights(0));
    if (2 < RowCount())
      SetFixedRows(2);
  } else {
    SetFixedRows(1);
    FAR = 0;
    for (int r = 1; r + 1 < RowCount(); ++r)
      SetRowHeights(r, RowHeights(r + 1));
    SetRowCount(NrOfRows() + 1);
  }
  Repaint();
  Notify(OnLayoutChanged);
}

void TNTabEd::SetDefaultColWidth(int Value)
{
  TCustomGrid::SetDefaultColWidth(Value);
  FEmptiedColWidth = 0;
  SetColWidths(0, kRowNameWidth);
  if (FAC == 1)
    SetColWidths(1, FAttribColWidth);
  Notify(OnLayoutChanged);
}

void TNTabEd::SetLeftCol(int Value)
{
  const int last = FAC + std::max(NrOfColumns(), 1);
  TCustomGrid::SetLeftCol(std::clamp(Value + FAC, FAC + 1, last));
}

void TNTabEd::SetTopRow(int Value)
{
  const int last = FAR + std::max(NrOfRows(), 1);
  TCustomGrid::SetTopRow(std::clamp(Value + FAR, FAR + 1, last));
  Repaint();
}

// ---------------------------------------------------------------------------------------------
// Data access

void TNTabEd::SetComment(const std::string& Value)
{
  FData->SetComment(StripControlChars(Value));
  Notify(OnChange);
}

void TNTabEd::SetColName(int Col, const std::string& Value)
{
  if (Col < 1 || Col > NrOfColumns())
    return;
  FData->SetColName(Col, Value);
  Notify(OnHeadingChanged);
  Repaint();
}

void TNTabEd::SetRowName(int Row, const std::string& Value)
{
  if (Row < 1 || Row > NrOfRows())
    return;
  FData->SetRowName(Row, Value);
  Notify(OnHeadingChanged);
  Repaint();
}

void TNTabEd::SetColAttrib(int Col, int Value)
{
  if (Col < 1 || Col > NrOfColumns())
    return;
  FData->SetColAttrib(Col, std::clamp(Value, 0, 255));
  Repaint();
  Notify(OnAttributeChanged);
}

void TNTabEd::SetRowAttrib(int Row, int Value)
{
  if (Row < 1 || Row > NrOfRows())
    return;
  FData->SetRowAttrib(Row, std::clamp(Value, 0, 255));
  Repaint();
  Notify(OnAttributeChanged);
}

double TNTabEd::ClampToRange(double Value) const
{
  if (FVRangeLow == 0 && FVRangeHigh == 0)
    return Value;
  if (Value < FVRangeLow)
    return FVRangeLow;
  if (Value > FVRangeHigh)
    return FVRangeHigh;
  return Value;
}

void TNTabEd::SetElem(int Col, int Row, double Value)
{
  FData->SetElem(Col, Row, ClampToRange(Value));
}

int TNTabEd::ColPrecision(int Col) const
{
  if (Col < 1 || Col > static_cast<int>(FColPrecision.size()))
    return 0;
  return FColPrecision[static_cast<std::size_t>(Col - 1)];
}

void TNTabEd::SetColPrecision(int Col, int Value)
{
  if (Col < 1 || Col > static_cast<int>(FColPrecision.size()))
    return;
  const auto byte = static_cast<std::uint8_t>(Value);
  const int precision = byte >= 128 ? -1 : std::min<int>(byte, kMaxPrecision);
  FColPrecision[static_cast<std::size_t>(Col - 1)] = static_cast<std::int8_t>(precision);
  Repaint();
  Notify(OnLayoutChanged);
}

namespace {
// Sets the suspension flag for a scope; leaving a scope that set it repaints.
class TSuspension {
public:
  TSuspension(bool& Flag, TNTabEd& Editor) : FFlag(Flag), FWas(Flag), FEditor(Editor) { Flag = true; }
  ~TSuspension()
  {
    FFlag = FWas;
    if (!FWas)
      FEditor.InvalidateGrid();
  }
  TSuspension(const TSuspension&) = delete;
  TSuspension& operator=(const TSuspension&) = delete;

private:
  bool& FFlag;
  bool FWas;
  TNTabEd& FEditor;
};
}  // namespace

void TNTabEd::InsertRow(int Row)
{
  HideEditor(true);
  TSuspension suspension(FSuspended, *this);
  FData->InsertRow(Row);
}

void TNTabEd::DeleteRow(int Row)
{
  HideEditor(true);
  TSuspension suspension(FSuspended, *this);
  FData->DeleteRow(Row);
}

// The precisions move with their columns: the new column takes the precision of the column
// that was at its place (of the last column when it is appended).
// The precisions move with their columns (ColumnsMoved), also when the table's own operations
// insert or delete a column (an owner's undo, for one).
void TNTabEd::InsertColumn(int Col)
{
  HideEditor(true);
  TSuspension suspension(FSuspended, *this);
  FData->InsertColumn(Col);
}

void TNTabEd::DeleteColumn(int Col)
{
  HideEditor(true);
  TSuspension suspension(FSuspended, *this);
  FData->DeleteColumn(Col);
}

// The resize inside an insert appended a precision for the new last column, the one inside a
// delete cut the last precision off: the list is put right for the column that moved. A new
// column takes the precision of the column that was at its place (of the last column when it
// is appended).
void TNTabEd::ColumnsMoved(const TTableChange& Change)
{
  const auto at = static_cast<std::size_t>(Change.Col - 1);
  if (Change.Kind == TTableChangeKind::ColumnsInserted) {
    if (FColPrecision.size() < 2 || at >= FColPrecision.size())
      return;
    FColPrecision.pop_back();
    const std::int8_t p = at < FColPrecision.size() ? FColPrecision[at] : FColPrecision.back();
    FColPrecision.insert(FColPrecision.begin() + static_cast<std::ptrdiff_t>(at), p);
  } else {
    FColPrecision.insert(FColPrecision.end(), FCutPrecisions.begin(), FCutPrecisions.end());
    if (at < FColPrecision.size())
      FColPrecision.erase(FColPrecision.begin() + static_cast<std::ptrdiff_t>(at));
    FColPrecision.resize(static_cast<std::size_t>(std::max(NrOfColumns(), 0)), 2);
  }
  FCutPrecisions.clear();
}

// ---------------------------------------------------------------------------------------------
// Selection

TGridRect TNTabEd::DataSelection() const
{
  if (!HasSelection() || NrOfColumns() < 1 || NrOfRows() < 1)
    return {1, 1, 0, 0};
  const TGridRect s = Selection();
  return {std::clamp(s.Left - FAC, 1, NrOfColumns()), std::clamp(s.Top - FAR, 1, NrOfRows()),
          std::clamp(s.Right - FAC, 1, NrOfColumns()), std::clamp(s.Bottom - FAR, 1, NrOfRows())};
}

void TNTabEd::SelectData(int Left, int Top, int Right, int Bottom)
{
  SetSelection({Left + FAC, Top + FAR, Right + FAC, Bottom + FAR});
}

void TNTabEd::ReportSelection(bool Force)
{
  const TGridRect s = Selection();
  if (!Force && s == FLastSel)
    return;
  FLastSel = s;
  // The user chose another block: the rows it spans are the selection now.
  FHasRowSet = false;
  FRowSet.clear();
  Notify(OnSelectionChanged);
}

// ---------------------------------------------------------------------------------------------
// Selected objects

bool TNTabEd::RowInSet(int Row) const
{
  return FHasRowSet && std::binary_search(FRowSet.begin(), FRowSet.end(), Row);
}

std::vector<int> TNTabEd::SelectedRows() const
{
  if (FHasRowSet)
    return FRowSet;
  std::vector<int> rows;
  if (!HasSelection() || NrOfRows() == 0)
    return rows;
  const TGridRect s = DataSelection();
  const bool wholeRows = s.Left <= 1 && s.Right >= NrOfColumns();
  if (s.Top < 1 || s.Bottom < s.Top || (!wholeRows && s.Top == s.Bottom))
    return rows;
  for (int r = s.Top; r <= s.Bottom; ++r)
    rows.push_back(r);
  return rows;
}

void TNTabEd::SetSelectedRows(std::vector<int> Rows)
{
  const int n = NrOfRows();
  std::erase_if(Rows, [n](int r) { return r < 1 || r > n; });
  std::sort(Rows.begin(), Rows.end());
  Rows.erase(std::unique(Rows.begin(), Rows.end()), Rows.end());
  if (Rows.empty() || NrOfColumns() == 0) {
    ClearRowSelection();
    return;
  }
  SetRow(Rows.front() + FAR);
  SelectData(1, Rows.front(), NrOfColumns(), Rows.front());
  FLastSel = Selection();
  FRowSet = std::move(Rows);
  FHasRowSet = true;
  Repaint();
  Notify(OnSelectionChanged);
}

void TNTabEd::ClearRowSelection()
{
  if (HasSelection())
    SetSelection({Col(), Row(), Col(), Row()});
  Repaint();
  ReportSelection(true);
}

// The set keeps naming the same objects when rows are inserted or deleted before them; a new
// table drops it, a table cut at the end the rows it lost. (Notices are held back while the
// editor's own commands run.)
void TNTabEd::FollowRowSet(const TTableChange& Change)
{
  std::vector<int>& rows = FRowSet;
  switch (Change.Kind) {
  case TTableChangeKind::RowsInserted:
    for (int& r : rows)
      if (r >= Change.Row)
        r += Change.Count;
    break;
  case TTableChangeKind::RowsDeleted:
    std::erase_if(rows, [&](int r) { return r >= Change.Row && r < Change.Row + Change.Count; });
    for (int& r : rows)
      if (r >= Change.Row + Change.Count)
        r -= Change.Count;
    break;
  case TTableChangeKind::Resized:
    std::erase_if(rows, [this](int r) { return r > NrOfRows(); });
    break;
  case TTableChangeKind::Contents:
    rows.clear();
    break;
  default:
    return;
  }
  FHasRowSet = !rows.empty();
  // The block is the set's first row: it moves with it. Without a set the whole row it was would
  // name another object: the block shrinks to the current cell.
  if (FHasRowSet && NrOfColumns() > 0)
    SelectData(1, rows.front(), NrOfColumns(), rows.front());
  else if (HasSelection())
    SetSelection({Col(), Row(), Col(), Row()});
  FLastSel = Selection();
  Notify(OnSelectionChanged);
}

void TNTabEd::TopLeftChanged()
{
  ReportSelection(false);
  TCustomGrid::TopLeftChanged();
}

}  // namespace orvex
