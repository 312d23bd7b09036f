// TCustomGrid: axis geometry, layout properties, scrolling and the current cell. Input handling
// lives in orvex_grids_input.cpp, the in-place editor in orvex_grids_editor.cpp and painting in
// orvex_grids_paint.cpp.
#include "orvex_grids.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <algorithm>

namespace orvex {

namespace {
// Limits that keep every sum of sizes and every index step inside an int: positions are only
// summed up to the viewport's edge, which lies far below kMaxExtent.
constexpr int kMaxCount = 1 << 30;
constexpr int kMaxSize = 1 << 20;
constexpr int kMaxLineWidth = 1 << 10;
constexpr int kMaxExtent = 1 << 24;
}  // namespace

// ---------------------------------------------------------------------------------------------
// TGridAxis

void TGridAxis::SetCount(int Value)
{
  FCount = std::clamp(Value, 1, kMaxCount);
  FSizes.erase(FSizes.lower_bound(FCount), FSizes.end());
}

void TGridAxis::SetDefaultSize(int Value)
{
  FDefaultSize = std::clamp(Value, 0, kMaxSize);
  FSizes.clear();
}

int TGridAxis::Size(int Index) const
{
  if (Index < 0 || Index >= FCount)
    return 0;
  auto it = FSizes.find(Index);
  return it == FSizes.end() ? FDefaultSize : it->second;
}

void TGridAxis::SetSize(int Index, int Value)
{
  if (Index < 0 || Index >= FCount)
    return;
  Value = std::clamp(Value, 0, kMaxSize);
  if (Value == FDefaultSize)
    FSizes.erase(Index);
  else
    FSizes[Index] = Value;
}

void TGridAxis::SetLineWidths(int FixedLine, int CellLine)
{
  FFixedLine = std::clamp(FixedLine, 0, kMaxLineWidth);
  FCellLine = std::clamp(CellLine, 0, kMaxLineWidth);
}

int TGridAxis::FixedExtent() const
{
  // Beyond kMaxExtent nothing of the scrollable cells can show anyway.
  int extent = 0;
  for (int i = 0; i < FFixed && extent < kMaxExtent; ++i)
    extent += Pitch(i);
  return extent;
}

int TGridAxis::Start(int Index, int First, int Limit) const
{
  if (Index < 0 || Index >= FCount)
    return -1;
  int pos = 0;
  if (Index < FFixed) {
    for (int i = 0; i < Index && pos < Limit; ++i)
      pos += Pitch(i);
    return pos < Limit ? pos : -1;
  }
  if (Index < First)
    return -1;
  pos = FixedExtent();
  for (int i = First; i < Index; ++i) {
    pos += Pitch(i);
    if (pos >= Limit)
      return -1;
  }
  return pos < Limit ? pos : -1;
}

int TGridAxis::CellAt(int Pos, int First, int Limit) const
{
  if (Pos < 0 || Pos >= Limit)
    return -1;
  int start = 0;
  for (int i = 0; i < FFixed; ++i) {
    int next = start + Pitch(i);
    if (Pos < next)
      return i;
    start = next;
  }
  for (int i = First; i < FCount && start < Limit; ++i) {
    int next = start + Pitch(i);
    if (Pos < next)
      return i;
    start = next;
  }
  return -1;
}

int TGridAxis::MaxFirst(int Limit) const
{
  return std::max(FirstShowing(FCount - 1, Limit), FFixed);
}

int TGridAxis::FullyVisible(int First, int Limit) const
{
  int room = Limit - FixedExtent();
  int n = 0;
  int used = 0;
  for (int i = First; i < FCount; ++i) {
    used += Size(i);
    if (used > room)
      break;
    used += LineAfter(i);
    ++n;
  }
  return std::max(n, FCount > FFixed ? 1 : 0);
}

int TGridAxis::LastVisible(int First, int Limit) const
{
  int pos = FixedExtent();
  int last = First;
  for (int i = First; i < FCount && pos < Limit; ++i) {
    last = i;
    pos += Pitch(i);
  }
  return std::min(last, FCount - 1);
}

int TGridAxis::FirstShowing(int Index, int Limit) const
{
  int room = Limit - FixedExtent();
  int first = Index;
  int used = Size(Index);
  while (first > FFixed && used + Pitch(first - 1) <= room) {
    --first;
    used += Pitch(first);
  }
  return first;
}

// ---------------------------------------------------------------------------------------------
// TCustomGrid: construction and layout properties

TCustomGrid::TCustomGrid(QWidget* Parent)
    : QAbstractScrollArea(Parent),
      TComponent(nullptr),
      FColor(clWindow),
      FFixedColor(clBtnFace),
      FGridLineColor(clSilver),
      FFixedLineColor(clBlack)
{
  FCols.SetDefaultSize(64);
  FRows.SetDefaultSize(24);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  FCanvas.SetFont(FFont);
  FFont.OnChange = [this](TObject*) {
    FCanvas.SetFont(FFont);
    LayoutChanged();
  };
  UpdateLineWidths();
  UpdateScrollBars();
}

TCustomGrid::~TCustomGrid()
{
  // The editor widgets are children of the viewport; remove them while the grid's filter and
  // hooks still work, so that their focus change reaches nothing half-destroyed.
  FEditing = false;
  delete FEdit;
  delete FPickList;
}

int TCustomGrid::ClampCol(int ACol) const
{
  return std::clamp(ACol, FixedCols(), ColCount() - 1);
}

int TCustomGrid::ClampRow(int ARow) const
{
  return std::clamp(ARow, FixedRows(), RowCount() - 1);
}

void TCustomGrid::SetColCount(int Value)
{
  Value = std::clamp(Value, 1, kMaxCount);
  if (Value == ColCount())
    return;
  const bool shrinking = Value < ColCount();
  HideEditor(true);
  FCols.SetCount(Value);
  if (FixedCols() >= Value)
    FCols.SetFixed(Value - 1);
  ClampSelection();
  // Columns taken away: the view pulls back so that it ends with the last column, as far as
  // there are columns to fill it.
  if (shrinking)
    MoveTopLeft(std::min(FTopLeft.X, FCols.MaxFirst(viewport()->width())), FTopLeft.Y, true);
  LayoutChanged();
}

void TCustomGrid::SetRowCount(int Value)
{
  Value = std::clamp(Value, 1, kMaxCount);
  if (Value == RowCount())
    return;
  const bool shrinking = Value < RowCount();
  HideEditor(true);
  FRows.SetCount(Value);
  if (FixedRows() >= Value)
    FRows.SetFixed(Value - 1);
  ClampSelection();
  if (shrinking)
    MoveTopLeft(FTopLeft.X, std::min(FTopLeft.Y, FRows.MaxFirst(viewport()->height())), true);
  LayoutChanged();
}

void TCustomGrid::SetFixedCols(int Value)
{
  if (Value < 0 || Value >= ColCount() || Value == FixedCols())
    return;
  // A view that starts at the first scrollable column keeps doing so: columns that stop being
  // fixed come into view instead of hiding to the left.
  const bool atStart = FTopLeft.X == FixedCols();
  HideEditor(true);
  FCols.SetFixed(Value);
  UpdateLineWidths();
  ClampSelection();
  if (atStart)
    MoveTopLeft(Value, FTopLeft.Y, true);
  LayoutChanged();
}

void TCustomGrid::SetFixedRows(int Value)
{
  if (Value < 0 || Value >= RowCount() || Value == FixedRows())
    return;
  const bool atStart = FTopLeft.Y == FixedRows();
  HideEditor(true);
  FRows.SetFixed(Value);
  UpdateLineWidths();
  ClampSelection();
  if (atStart)
    MoveTopLeft(FTopLeft.X, Value, true);
  LayoutChanged();
}

void TCustomGrid::SetDefaultColWidth(int Value)
{
  if (Value < 0)
    return;
  Value = std::min(Value, kMaxSize);
  FCols.SetDefaultSize(Value);
  LayoutChanged();
  ColWidthsChanged();
}

void TCustomGrid::SetDefaultRowHeight(int Value)
{
  if (Value < 0)
    return;
  Value = std::min(Value, kMaxSize);
  FRows.SetDefaultSize(Value);
  LayoutChanged();
  RowHeightsChanged();
}

void TCustomGrid::SetColWidths(int ACol, int Value)
{
  if (ACol < 0 || ACol >= ColCount() || Value < 0)
    return;
  Value = std::min(Value, kMaxSize);
  if (Value == ColWidths(ACol))
    return;
  FCols.SetSize(ACol, Value);
  LayoutChanged();
  ColWidthsChanged();
}

void TCustomGrid::SetRowHeights(int ARow, int Value)
{
  if (ARow < 0 || ARow >= RowCount() || Value < 0)
    return;
  Value = std::min(Value, kMaxSize);
  if (Value == RowHeights(ARow))
    return;
  FRows.SetSize(ARow, Value);
  LayoutChanged();
  RowHeightsChanged();
}

void TCustomGrid::SetGridLineWidth(int Value)
{
  if (Value < 0)
    return;
  Value = std::min(Value, kMaxLineWidth);
  if (Value == FGridLineWidth)
    return;
  FGridLineWidth = Value;
  UpdateLineWidths();
  LayoutChanged();
}

void TCustomGrid::SetOptions(TGridOptions Value)
{
  if (Value == FOptions)
    return;
  const TGridOptions lines{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine};
  const bool linesChanged = !(FOptions * lines == Value * lines);
  FOptions = Value;
  // Without goEditing, or with goRowSelect, an open editor closes (keeping its text).
  if (FEditing && !CanEditShow())
    HideEditor(true);
  ClampSelection();
  // Owners switch goEditing on and off around every key and click: only the lines move cells.
  if (linesChanged) {
    UpdateLineWidths();
    LayoutChanged();
  } else {
    InvalidateGrid();
  }
  if (FOptions.Contains(goAlwaysShowEditor) && FOptions.Contains(goEditing))
    ShowEditor();
}

void TCustomGrid::SetColor(TColor Value)
{
  FColor = Value;
  InvalidateGrid();
}

void TCustomGrid::SetFixedColor(TColor Value)
{
  FFixedColor = Value;
  InvalidateGrid();
}

void TCustomGrid::SetGridLineColor(TColor Value)
{
  FGridLineColor = Value;
  InvalidateGrid();
}

void TCustomGrid::SetFixedLineColor(TColor Value)
{
  FFixedLineColor = Value;
  InvalidateGrid();
}

void TCustomGrid::SetDefaultDrawing(bool Value)
{
  FDefaultDrawing = Value;
  InvalidateGrid();
}

void TCustomGrid::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  setGeometry(ALeft, ATop, std::max(AWidth, 0), std::max(AHeight, 0));
}

void TCustomGrid::SetAlign(TAlign Value)
{
  ChangeAlign(*this, FAlign, Value);
}

void TCustomGrid::ApplyAlign()
{
  AlignInParent(*this, FAlign);
}

// The gap after a cell exists only where its line is drawn.
void TCustomGrid::UpdateLineWidths()
{
  int w = FGridLineWidth;
  FCols.SetLineWidths(FOptions.Contains(goFixedVertLine) ? w : 0, FOptions.Contains(goVertLine) ? w : 0);
  FRows.SetLineWidths(FOptions.Contains(goFixedHorzLine) ? w : 0, FOptions.Contains(goHorzLine) ? w : 0);
}

// Counts, sizes or the viewport changed: keep the top-left cell inside its range, the editor on
// its cell, the scroll bars in step, and repaint.
void TCustomGrid::LayoutChanged()
{
  UpdateScrollBars();
  // A top row or left column that no longer exists gives way to the last full page.
  TGridCoord topLeft = FTopLeft;
  if (topLeft.X >= ColCount() || topLeft.X < FixedCols())
    topLeft.X = std::clamp(topLeft.X, FixedCols(), FCols.MaxFirst(viewport()->width()));
  if (topLeft.Y >= RowCount() || topLeft.Y < FixedRows())
    topLeft.Y = std::clamp(topLeft.Y, FixedRows(), FRows.MaxFirst(viewport()->height()));
  if (!(topLeft == FTopLeft))
    MoveTopLeft(topLeft.X, topLeft.Y, true);
  UpdateEditorGeometry();
  InvalidateGrid();
}

// ---------------------------------------------------------------------------------------------
// Scrolling

int TCustomGrid::VisibleColCount() const
{
  return FCols.FullyVisible(FTopLeft.X, viewport()->width());
}

int TCustomGrid::VisibleRowCount() const
{
  return FRows.FullyVisible(FTopLeft.Y, viewport()->height());
}

// The scroll bars count scrollable columns and rows: value 0 is the first scrollable one.
void TCustomGrid::UpdateScrollBars()
{
  FSyncingScrollBars = true;
  int maxLeft = FCols.MaxFirst(viewport()->width());
  int maxTop = FRows.MaxFirst(viewport()->height());
  horizontalScrollBar()->setRange(0, maxLeft - FixedCols());
  horizontalScrollBar()->setPageStep(std::max(1, VisibleColCount()));
  horizontalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setRange(0, maxTop - FixedRows());
  verticalScrollBar()->setPageStep(std::max(1, VisibleRowCount()));
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setValue(FTopLeft.X - FixedCols());
  verticalScrollBar()->setValue(FTopLeft.Y - FixedRows());
  FSyncingScrollBars = false;
}

void TCustomGrid::MoveTopLeft(int ALeft, int ATop, bool AllowBeyond)
{
  // Interactive scrolling stops at the last full page but does not pull back a view that a
  // program placed beyond it.
  const int maxLeft = AllowBeyond ? ColCount() - 1 : std::max(FCols.MaxFirst(viewport()->width()), FTopLeft.X);
  const int maxTop = AllowBeyond ? RowCount() - 1 : std::max(FRows.MaxFirst(viewport()->height()), FTopLeft.Y);
  ALeft = std::clamp(ALeft, FixedCols(), std::min(maxLeft, ColCount() - 1));
  ATop = std::clamp(ATop, FixedRows(), std::min(maxTop, RowCount() - 1));
  if (ALeft == FTopLeft.X && ATop == FTopLeft.Y)
    return;
  FTopLeft = {ALeft, ATop};
  FSyncingScrollBars = true;
  horizontalScrollBar()->setValue(ALeft - FixedCols());
  verticalScrollBar()->setValue(ATop - FixedRows());
  FSyncingScrollBars = false;
  UpdateEditorGeometry();
  InvalidateGrid();
  TopLeftChanged();
}

void TCustomGrid::scrollContentsBy(int, int)
{
  if (FSyncingScrollBars)
    return;
  MoveTopLeft(FixedCols() + horizontalScrollBar()->value(), FixedRows() + verticalScrollBar()->value());
}

void TCustomGrid::resizeEvent(QResizeEvent* e)
{
  QAbstractScrollArea::resizeEvent(e);
  LayoutChanged();
}

void TCustomGrid::TopLeftChanged()
{
  Fire(OnTopLeftChanged, this);
}

// Scrolls as little as needed to show the cell fully (or from its start when it is larger than
// the viewport).
void TCustomGrid::ScrollIntoView(TGridCoord Cell)
{
  TGridCoord topLeft = FTopLeft;
  if (Cell.X >= FixedCols()) {
    if (Cell.X < topLeft.X)
      topLeft.X = Cell.X;
    else if (Cell.X >= topLeft.X + VisibleColCount())
      topLeft.X = FCols.FirstShowing(Cell.X, viewport()->width());
  }
  if (Cell.Y >= FixedRows()) {
    if (Cell.Y < topLeft.Y)
      topLeft.Y = Cell.Y;
    else if (Cell.Y >= topLeft.Y + VisibleRowCount())
      topLeft.Y = FRows.FirstShowing(Cell.Y, viewport()->height());
  }
  MoveTopLeft(topLeft.X, topLeft.Y, true);
}

// ---------------------------------------------------------------------------------------------
// Cells and coordinates

TRect TCustomGrid::CellRect(int ACol, int ARow) const
{
  int w = viewport()->width();
  int h = viewport()->height();
  int x = FCols.Start(ACol, FTopLeft.X, w);
  int y = FRows.Start(ARow, FTopLeft.Y, h);
  if (x < 0 || y < 0)
    return TRect{};
  return TRect{x, y, x + FCols.Size(ACol), y + FRows.Size(ARow)};
}

TGridCoord TCustomGrid::MouseCoord(int X, int Y) const
{
  int c = FCols.CellAt(X, FTopLeft.X, viewport()->width());
  int r = FRows.CellAt(Y, FTopLeft.Y, viewport()->height());
  if (c < 0 || r < 0)
    return {-1, -1};
  return {c, r};
}

void TCustomGrid::MouseToCell(int X, int Y, int& ACol, int& ARow) const
{
  TGridCoord c = MouseCoord(X, Y);
  ACol = c.X;
  ARow = c.Y;
}

TGridRect TCustomGrid::Selection() const
{
  if (FNoSelection)
    return TGridRect{-1, -1, -1, -1};
  TGridRect r{std::min(FCurrent.X, FSelEnd.X), std::min(FCurrent.Y, FSelEnd.Y),
              std::max(FCurrent.X, FSelEnd.X), std::max(FCurrent.Y, FSelEnd.Y)};
  if (FOptions.Contains(goRowSelect)) {
    r.Left = FixedCols();
    r.Right = ColCount() - 1;
  }
  return r;
}

void TCustomGrid::SetSelection(const TGridRect& Value)
{
  // A block without any scrollable cell (such as -1, -1, -1, -1) leaves the grid without a
  // current cell until a key or a click puts one back.
  if (std::max(Value.Left, Value.Right) < FixedCols() || std::max(Value.Top, Value.Bottom) < FixedRows()) {
    if (!FNoSelection) {
      HideEditor(true);
      FNoSelection = true;
      InvalidateGrid();
    }
    return;
  }
  FNoSelection = false;
  TGridRect r{ClampCol(std::min(Value.Left, Value.Right)), ClampRow(std::min(Value.Top, Value.Bottom)),
              ClampCol(std::max(Value.Left, Value.Right)), ClampRow(std::max(Value.Top, Value.Bottom))};
  if (!FOptions.Contains(goRangeSelect) && !FOptions.Contains(goRowSelect)) {
    r.Right = r.Left;
    r.Bottom = r.Top;
  }
  if (!(TGridCoord{r.Left, r.Top} == FCurrent))
    HideEditor(true);
  FCurrent = {r.Left, r.Top};
  FSelEnd = {r.Right, r.Bottom};
  ScrollIntoView(FCurrent);
  InvalidateGrid();
}

// Keeps the current cell and the selection on scrollable cells after a layout change.
void TCustomGrid::ClampSelection()
{
  FCurrent = {ClampCol(FCurrent.X), ClampRow(FCurrent.Y)};
  FSelEnd = {ClampCol(FSelEnd.X), ClampRow(FSelEnd.Y)};
  // A block of rows set by a program stays with goRowSelect, as SetSelection lets it in.
  if (!FOptions.Contains(goRangeSelect) && !FOptions.Contains(goRowSelect))
    FSelEnd = FCurrent;
}

bool TCustomGrid::SelectCell(int ACol, int ARow)
{
  bool canSelect = true;
  Fire(OnSelectCell, this, ACol, ARow, canSelect);
  return canSelect;
}

void TCustomGrid::FocusCell(int ACol, int ARow, bool MoveAnchor)
{
  ACol = ClampCol(ACol);
  ARow = ClampRow(ARow);
  TGridCoord target{ACol, ARow};
  if (!(target == FCurrent) || FNoSelection) {
    if (!SelectCell(ACol, ARow))
      return;
    HideEditor(true);
  }
  FNoSelection = false;
  FCurrent = target;
  if (MoveAnchor || !FOptions.Contains(goRangeSelect))
    FSelEnd = FCurrent;
  ScrollIntoView(FCurrent);
  InvalidateGrid();
  if (FOptions.Contains(goAlwaysShowEditor) && FOptions.Contains(goEditing))
    ShowEditor();
}

// Moves the far corner of the selection, the current cell staying where it is.
void TCustomGrid::MoveSelEnd(int ACol, int ARow)
{
  // Without a current cell there is no corner to stretch from.
  if (!FOptions.Contains(goRangeSelect) || FNoSelection) {
    FocusCell(ACol, ARow, true);
    return;
  }
  TGridCoord target{ClampCol(ACol), ClampRow(ARow)};
  if (target == FSelEnd)
    return;
  HideEditor(true);
  FSelEnd = target;
  ScrollIntoView(FSelEnd);
  InvalidateGrid();
}

void TCustomGrid::InvalidateCell(int ACol, int ARow)
{
  TRect r = CellRect(ACol, ARow);
  if (r.IsEmpty())
    return;
  // Include the lines after the cell and the focus rectangle drawn on its edge.
  viewport()->update(r.Left, r.Top, r.Width() + FGridLineWidth + 1, r.Height() + FGridLineWidth + 1);
}

void TCustomGrid::InvalidateGrid()
{
  viewport()->update();
}

}  // namespace orvex
