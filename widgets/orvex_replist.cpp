// TReportListView: construction, the properties and operations. The grid's columns are the
// visual positions (DisplayOrder maps them to data columns), its fixed rows the visible
// headers; data row r is grid row HeaderRows() + r - 1. Painting is in orvex_replist_paint.cpp,
// mouse and keyboard in orvex_replist_input.cpp.
#include "orvex_replist.h"

#include <QMessageBox>
#include <QPaintEvent>
#include <algorithm>
#include <new>
#include <numeric>

namespace orvex {

TReportListView::TReportListView(QWidget* Parent) : TCustomGrid(Parent), FData(std::make_unique<TRLData>(nullptr))
{
  try {
    FAlignments.assign(1, taLeftJustify);
    FPasswords.assign(1, false);
    FEditables.assign(1, false);
    FOrder.assign(1, 1);
  } catch (const std::bad_alloc&) {
    throw EOrvexRepListError(ComponentMessage("failed to initialize table editor (out of memory)"));
  }
  SetDefaultDrawing(false);
  // The list draws its own separations (raised header edges, shading); column widths can be
  // dragged at the header borders, and the editor opens where ColumnEditable allows it.
  SetOptions(TGridOptions{goColSizing, goEditing});
  SetFixedCols(0);
  FData->OnChange = [this](TObject*) { StoreChanged(); };
  FData->OnBeforeSortExchange = [this](TObject*, const std::string& In, std::string& Out) {
    Fire(OnBeforeSortExchange, this, In, Out);
  };
  FData->OnPercentDone = [this](TObject*, int Percent) { Fire(OnPercentDone, this, Percent); };
  // The size the grid starts with: its columns, and its rows below the column headers.
  const int cols = ColCount();
  const int rows = RowCount() - 1;
  SetNrOfColumns(cols);
  SetNrOfRows(rows);
  FSuppressPaint = false;
  ShowMessageHook = [this](const std::string& Message) {
    QMessageBox::warning(this, QStringLiteral("Report list"), QString::fromStdString(Message));
  };
}

TReportListView::~TReportListView()
{
  // Nothing may paint from or report on a store that is going.
  FSuppressPaint = true;
  FData->OnChange = nullptr;
  FData.reset();
}

void TReportListView::Repaint()
{
  if (!FSuppressPaint)
    InvalidateGrid();
}

void TReportListView::Changed()
{
  Fire(OnChange, this);
  Repaint();
}

void TReportListView::StoreChanged()
{
  Changed();
}

void TReportListView::SetSuppressPaint(bool Value)
{
  const bool was = FSuppressPaint;
  FSuppressPaint = Value;
  if (was && !Value)
    InvalidateGrid();
}

void TReportListView::paintEvent(QPaintEvent* e)
{
  if (FSuppressPaint)
    return;
  TCustomGrid::paintEvent(e);
}

// ---------------------------------------------------------------------------------------------
// Rows, columns and headers

int TReportListView::DataRowOf(int GridRow) const
{
  const int r = GridRow - HeaderRows() + 1;
  return r >= 1 ? r : 0;
}

int TReportListView::DataColOf(int GridCol) const
{
  if (GridCol < 0 || GridCol >= static_cast<int>(FOrder.size()))
    return 0;
  return FOrder[static_cast<std::size_t>(GridCol)];
}

int TReportListView::GridColOf(int Col) const
{
  auto it = std::find(FOrder.begin(), FOrder.end(), Col);
  return it == FOrder.end() ? -1 : static_cast<int>(it - FOrder.begin());
}

void TReportListView::UpdateRows()
{
  const int headers = HeaderRows();
  SetRowCount(headers + std::max(1, FData->NrOfRows()));
  SetFixedRows(headers);
  ApplyHeaderHeights();
}

void TReportListView::ApplyHeaderHeights()
{
  const int def = DefaultRowHeight();
  SetRowHeights(0, def);
  SetRowHeights(1, def);
  const bool manyRows = FData->NrOfRows() >= 2;
  if (FCommonHeaderVisible && FColumnHeadersVisible) {
    SetRowHeights(0, FCommonHeaderHeight);
    if (manyRows)
      SetRowHeights(1, FColumnHeadersHeight);
  } else if (FCommonHeaderVisible || FColumnHeadersVisible) {
    SetRowHeights(0, FCommonHeaderVisible ? FCommonHeaderHeight : FColumnHeadersHeight);
  }
}

void TReportListView::SetNrOfColumns(int Value)
{
  Value = std::max(Value, 1);
  const int old = static_cast<int>(FOrder.size());
  const int lastWidth = ColWidths(ColCount() - 1);
  // The per-column arrays and the store change together or not at all: the new arrays are
  // made first and swapped in once the store has its new columns.
  std::vector<TAlignment> alignments;
  std::vector<bool> passwords;
  std::vector<bool> editables;
  std::vector<int> order;
  try {
    alignments = FAlignments;
    passwords = FPasswords;
    editables = FEditables;
    alignments.resize(static_cast<std::size_t>(Value), taLeftJustify);
    passwords.resize(static_cast<std::size_t>(Value), false);
    editables.resize(static_cast<std::size_t>(Value), false);
    order.resize(static_cast<std::size_t>(Value));
    FData->SetNrOfColumns(Value);
  } catch (const std::bad_alloc&) {
    throw EOrvexRepListError(ComponentMessage("not enough memory on heap"));
  } catch (const std::length_error&) {
    throw EOrvexRepListError(ComponentMessage("not enough memory on heap"));
  } catch (const EOrvexRLDataError&) {
    throw EOrvexRepListError(ComponentMessage("not enough memory on heap"));
  }
  std::iota(order.begin(), order.end(), 1);
  FAlignments.swap(alignments);
  FPasswords.swap(passwords);
  FEditables.swap(editables);
  FOrder.swap(order);
  SetColCount(Value);
  for (int c = old; c < Value; ++c)
    SetColWidths(c, lastWidth);
  SetFixedCols(FFixedFirstColumn && Value > 1 ? 1 : 0);
  TCustomGrid::SetTopRow(FixedRows());
  TCustomGrid::SetLeftCol(FixedCols());
  Repaint();
  Fire(OnChangeSetup, this);
}

void TReportListView::SetNrOfRows(int Value)
{
  {
    // The new row count is one change of the setup, reported once as OnChangeSetup below.
    TRLData::TQuietScope quiet(*FData);
    FData->SetNrOfRows(Value);
  }
  SetSelection(TGridRect{-1, -1, -1, -1});
  FAnchorRow = 0;
  UpdateRows();
  Repaint();
  Fire(OnChangeSetup, this);
}

void TReportListView::SetColumnHeader(int Col, const std::string& Value)
{
  if (Col < 1 || Col > NrOfColumns())
    return;
  FData->SetColumnHeader(Col, Value);
  Changed();
}

void TReportListView::SetCheckBoxColumn(int Col, bool Value)
{
  FData->SetCheckBoxColumn(Col, Value);
  Changed();
}

void TReportListView::SetChecked(int Col, int Row, bool Value)
{
  // A program's own change raises no event, only a repaint.
  {
    TRLData::TQuietScope quiet(*FData);
    FData->SetChecked(Col, Row, Value);
  }
  Repaint();
}

void TReportListView::CheckColumn(int Col, bool State)
{
  TPaintSuppression suppress(*this);
  FData->CheckColumn(Col, State);
}

// Flag changes are one notification each: a repaint, no OnChange.
void TReportListView::ChangeFlag(int Index, std::uint8_t Bit, bool Value, bool OfRow)
{
  {
    TRLData::TQuietScope quiet(*FData);
    const std::uint8_t f = OfRow ? FData->RowFlags(Index) : FData->ColFlags(Index);
    const auto flags = static_cast<std::uint8_t>(Value ? f | Bit : f & ~Bit);
    if (OfRow)
      FData->SetRowFlags(Index, flags);
    else
      FData->SetColFlags(Index, flags);
  }
  Repaint();
}

void TReportListView::SetRowSelected(int Row, bool Value)
{
  ChangeFlag(Row, rlRowSelected, Value, true);
}

void TReportListView::SetRowDisabled(int Row, bool Value)
{
  ChangeFlag(Row, rlRowDisabled, Value, true);
}

void TReportListView::SetColSelected(int Col, bool Value)
{
  ChangeFlag(Col, rlColSelected, Value, false);
}

void TReportListView::SetCommonHeader(const std::string& Value)
{
  if (Value == FData->CommonHeader())
    return;
  FData->SetCommonHeader(Value);
  Changed();
}

void TReportListView::SetCommonHeaderVisible(bool Value)
{
  FCommonHeaderVisible = Value;
  UpdateRows();
  Changed();
}

void TReportListView::SetColumnHeadersVisible(bool Value)
{
  FColumnHeadersVisible = Value;
  UpdateRows();
  Changed();
}

void TReportListView::SetCommonHeaderAlignment(TAlignment Value)
{
  if (Value == FCommonHeaderAlignment)
    return;
  FCommonHeaderAlignment = Value;
  Changed();
}

void TReportListView::SetCommonHeaderHeight(int Value)
{
  FCommonHeaderHeight = std::clamp(Value, 8, 127);
  ApplyHeaderHeights();
  Changed();
}

void TReportListView::SetColumnHeadersHeight(int Value)
{
  FColumnHeadersHeight = std::clamp(Value, 8, 127);
  ApplyHeaderHeights();
  Changed();
}

// ---------------------------------------------------------------------------------------------
// Per-column settings and widths

namespace {
// A per-column setting of data column Col, or Default out of range.
template <typename V>
V ColumnValue(const std::vector<V>& Values, int Col, V Default)
{
  return Col >= 1 && Col <= static_cast<int>(Values.size()) ? V(Values[static_cast<std::size_t>(Col - 1)]) : Default;
}

// Stores a per-column setting; false (nothing stored) out of range.
template <typename V>
bool StoreColumnValue(std::vector<V>& Values, int Col, V Value)
{
  if (Col < 1 || Col > static_cast<int>(Values.size()))
    return false;
  Values[static_cast<std::size_t>(Col - 1)] = Value;
  return true;
}
}  // namespace

TAlignment TReportListView::ColumnAlignment(int Col) const
{
  return ColumnValue(FAlignments, Col, taLeftJustify);
}

void TReportListView::SetColumnAlignment(int Col, TAlignment Value)
{
  if (StoreColumnValue(FAlignments, Col, Value))
    Repaint();
}

bool TReportListView::ColumnPassword(int Col) const
{
  return ColumnValue(FPasswords, Col, false);
}

void TReportListView::SetColumnPassword(int Col, bool Value)
{
  if (StoreColumnValue(FPasswords, Col, Value))
    Repaint();
}

bool TReportListView::ColumnEditable(int Col) const
{
  return ColumnValue(FEditables, Col, false);
}

void TReportListView::SetColumnEditable(int Col, bool Value)
{
  StoreColumnValue(FEditables, Col, Value);
}

int TReportListView::DisplayOrder(int Pos) const
{
  return DataColOf(Pos - 1);
}

bool TReportListView::SetDisplayOrder(const std::vector<int>& Order)
{
  std::vector<int> sorted(Order);
  std::sort(sorted.begin(), sorted.end());
  std::vector<int> identity(FOrder.size());
  std::iota(identity.begin(), identity.end(), 1);
  if (sorted != identity)
    return false;
  FOrder = Order;
  Repaint();
  return true;
}

int TReportListView::ColumnWidth(int Col) const
{
  const int c = GridColOf(Col);
  return c < 0 ? 0 : ColWidths(c);
}

void TReportListView::SetColumnWidth(int Col, int Value)
{
  const int c = GridColOf(Col);
  if (c < 0)
    return;
  SetColWidths(c, Value);
  Fire(OnChangeSetup, this);
}

void TReportListView::FitColumnWidth(int Col, int Margin)
{
  const int c = GridColOf(Col);
  if (c < 0)
    return;
  int width = ClientWidth() - Margin;
  for (int i = 0; i < ColCount(); ++i)
    if (i != c)
      width -= ColWidths(i);
  SetColWidths(c, width > 15 ? width : 16);
  Fire(OnChangeSetup, this);
}

void TReportListView::SetDefaultColWidth(int Value)
{
  TCustomGrid::SetDefaultColWidth(Value);
  Repaint();
  Fire(OnChangeSetup, this);
}

void TReportListView::SetDefaultRowHeight(int Value)
{
  TCustomGrid::SetDefaultRowHeight(Value);
  ApplyHeaderHeights();
  Repaint();
  Fire(OnChangeSetup, this);
}

void TReportListView::SetLeftCol(int Value)
{
  TCustomGrid::SetLeftCol(std::clamp(Value - 1, FixedCols(), ColCount() - 1));
}

void TReportListView::SetTopRow(int Value)
{
  TCustomGrid::SetTopRow(std::clamp(GridRowOf(Value), FixedRows(), RowCount() - 1));
}

// ---------------------------------------------------------------------------------------------
// Looks and behaviour

void TReportListView::SetEmptyMessage(const std::string& Value)
{
  if (Value == FEmptyMessage)
    return;
  FEmptyMessage = Value;
  Repaint();
  Fire(OnChangeSetup, this);
}

void TReportListView::SetColorEmptyMsg(TColor Value)
{
  if (Value != FColorEmptyMsg)
    SetLook(FColorEmptyMsg, Value);
}

void TReportListView::SetColorColumnHd(TColor Value)
{
  SetFixedColor(Value);
  Repaint();
  Fire(OnChangeSetup, this);
}

void TReportListView::SetShowEmptyCheckBoxes(bool Value)
{
  if (Value == FShowEmptyCheckBoxes)
    return;
  FShowEmptyCheckBoxes = Value;
  Repaint();
}

void TReportListView::SetFixedFirstColumn(bool Value)
{
  FFixedFirstColumn = Value;
  SetFixedCols(Value && ColCount() > 1 ? 1 : 0);
  Changed();
}

void TReportListView::SetEnabled(bool Value)
{
  FEnabled = Value;
  setEnabled(Value);
  Repaint();
}

void TReportListView::SetRowSelectMode(int Value)
{
  FRowSelectMode = std::clamp(Value, 0, 2);
  if (FRowSelectMode == 0) {
    if (ClearRowSelections())
      Fire(OnSelectedChange, this);
    SetSelection(TGridRect{-1, -1, -1, -1});
  }
}

// ---------------------------------------------------------------------------------------------
// Operations

int TReportListView::NrChecked(int Col) const
{
  if (!CheckBoxColumn(Col))
    return 0;
  int n = 0;
  for (int r = 1; r <= NrOfRows(); ++r)
    if (!RowDisabled(r) && Checked(Col, r))
      ++n;
  return n;
}

std::string TReportListView::DisplayText(int Col, int Row) const
{
  return ColumnPassword(Col) ? std::string("******") : FData->CellText(Col, Row);
}

void TReportListView::AutoSizeColumn(int Col)
{
  const int c = GridColOf(Col);
  if (c < 0)
    return;
  const bool box = CheckBoxColumn(Col);
  const TCanvas& canvas = Canvas();
  int widest = 0;
  for (int r = 1; r <= NrOfRows(); ++r) {
    std::string text = DisplayText(Col, r);
    if (box && !text.empty())
      text.erase(0, 1);
    widest = std::max(widest, canvas.TextWidth(text));
  }
  SetColWidths(c, std::max(4, widest + (box ? 16 : 0) + 10));
  Fire(OnChangeSetup, this);
}

void TReportListView::SortByColumn(int Col, bool Direction)
{
  if (Col < 1 || Col > NrOfColumns())
    return;
  {
    TRLData::TQuietScope quiet(*FData);
    FData->SortByColumn(Col, Direction);
  }
  Repaint();
}

}  // namespace orvex
