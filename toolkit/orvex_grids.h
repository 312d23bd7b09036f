// The owner-drawn grid base: a scroll area that lays out columns and rows of cells, keeps a
// current cell and a selection rectangle, scrolls by whole columns and rows, opens an in-place
// editor and asks its owner (or a derived class) to draw every visible cell through TCanvas.
// The table editor and the report list view derive from it and add their data and looks.
//
// Indexes are 0-based grid coordinates: column 0 is the first (fixed) column, row 0 the first
// (fixed) row. The column comes first wherever a cell is addressed.
//
// Geometry never walks all rows or columns: sizes are a default plus a sparse map of the
// exceptions, and every mapping between pixels and cells starts at the fixed cells or at the top
// row / left column and stops at the viewport's edge, so a grid of a million rows paints and
// scrolls as fast as one of ten.
//
// Building on it: a derived control sets the counts, fixed counts and sizes from its data,
// overrides DrawCell (or assigns OnDrawCell) and draws each cell on Canvas() inside the given
// rectangle (TextRect clips to it); with DefaultDrawing false it fills the cell itself.
// GetEditText / SetEditText (and GetEditStyle, GetPickListItems for drop-down lists) connect the
// in-place editor to the data; SelectCell can refuse cells; TopLeftChanged follows scrolling.
// It may override the Qt handlers (keyPressEvent, mousePressEvent, paintEvent, ...) and call
// the grid's own ones, or use OnKeyDown to redirect keys; PaintOverlay draws over the cells.
#pragma once

#include <QAbstractScrollArea>
#include <map>
#include <string>
#include <vector>

#include "orvex_canvas.h"
#include "orvex_component.h"
#include "orvex_controls.h"

class QComboBox;
class QLineEdit;

namespace orvex {

// Grid options.
enum TGridOption {
  goFixedVertLine,      // vertical lines between fixed cells
  goFixedHorzLine,      // horizontal lines between fixed cells
  goVertLine,           // vertical lines between scrollable cells
  goHorzLine,           // horizontal lines between scrollable cells
  goRangeSelect,        // a block of cells can be selected by dragging or Shift+keys
  goDrawFocusSelected,  // the current cell is drawn selected as well
  goRowSizing,          // row heights can be dragged in the fixed columns
  goColSizing,          // column widths can be dragged in the fixed rows
  goEditing,            // the in-place editor may open
  goTabs,               // Tab and Shift+Tab move between cells instead of controls
  goRowSelect,          // whole rows are selected
  goAlwaysShowEditor,   // the editor opens as soon as a cell becomes current
};
using TGridOptions = TSet<TGridOption>;

// What the draw-cell callback is told about a cell.
enum TGridDrawStateItem {
  gdSelected,  // inside the selection rectangle (the current cell included)
  gdFocused,   // the current cell of a grid that has the keyboard focus (or whose editor has it)
  gdFixed,     // a fixed (header) cell
};
using TGridDrawState = TSet<TGridDrawStateItem>;

enum TEditStyle { esSimple, esPickList };

// A cell address: X is the column, Y the row.
struct TGridCoord {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TGridCoord&, const TGridCoord&) = default;
};

// A block of cells, both corners included.
struct TGridRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  friend bool operator==(const TGridRect&, const TGridRect&) = default;
  bool Contains(int ACol, int ARow) const
  {
    return ACol >= Left && ACol <= Right && ARow >= Top && ARow <= Bottom;
  }
};

using TDrawCellEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, const TRect& Rect, TGridDrawState State)>;
using TSelectCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;
using TGetEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, std::string& Value)>;
using TSetEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, const std::string& Value)>;
using TGetEditStyleEvent = std::function<void(TObject* Sender, int ACol, int ARow, TEditStyle& Style)>;
using TGetPickListEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, std::vector<std::string>& Items)>;
using TGridWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, const QPoint& MousePos, bool& Handled)>;

// One axis of the grid (the columns or the rows): count, fixed count, sizes and line widths,
// and the walks that map between cell indexes and pixel positions. Positions are viewport
// pixels; the scrollable cells start after the fixed ones at the first visible cell.
class TGridAxis {
public:
  int Count() const { return FCount; }
  int Fixed() const { return FFixed; }
  int DefaultSize() const { return FDefaultSize; }
  void SetCount(int Value);
  void SetFixed(int Value) { FFixed = Value; }
  // Sets the default and forgets every individual size.
  void SetDefaultSize(int Value);
  int Size(int Index) const;
  void SetSize(int Index, int Value);
  // Width of the line after a fixed cell and after a scrollable cell (0 when not drawn).
  void SetLineWidths(int FixedLine, int CellLine);
  int LineAfter(int Index) const { return Index < FFixed ? FFixedLine : FCellLine; }
  int Pitch(int Index) const { return Size(Index) + LineAfter(Index); }
  // Pixels taken by the fixed cells with their lines.
  int FixedExtent() const;
  // Start pixel of cell Index with First as the first visible scrollable cell; -1 when the cell
  // is scrolled out or starts at or beyond Limit pixels.
  int Start(int Index, int First, int Limit) const;
  // The cell whose pitch covers pixel Pos, or -1 (before 0, in a gap or beyond the last cell).
  int CellAt(int Pos, int First, int Limit) const;
  // The largest first cell that still shows the last cell fully in Limit pixels (at least the
  // first scrollable one).
  int MaxFirst(int Limit) const;
  // Scrollable cells from First that fit fully into Limit pixels (at least 1 when any exist).
  int FullyVisible(int First, int Limit) const;
  // The last scrollable cell that is at least partly visible from First.
  int LastVisible(int First, int Limit) const;
  // The first cell that lets Index appear fully (or at the start when it is taller than the area).
  int FirstShowing(int Index, int Limit) const;

private:
  int FCount = 5;
  int FFixed = 1;
  int FDefaultSize = 64;
  int FFixedLine = 1;
  int FCellLine = 1;
  std::map<int, int> FSizes;  // only the sizes that differ from the default
};

class TCustomGrid : public QAbstractScrollArea, public TComponent {
  Q_OBJECT
public:
  explicit TCustomGrid(QWidget* Parent = nullptr);
  ~TCustomGrid() override;

  std::string ClassName() const override { return "TCustomGrid"; }

  // properties: layout
  int ColCount() const { return FCols.Count(); }
  void SetColCount(int Value);
  int RowCount() const { return FRows.Count(); }
  void SetRowCount(int Value);
  int FixedCols() const { return FCols.Fixed(); }
  void SetFixedCols(int Value);
  int FixedRows() const { return FRows.Fixed(); }
  void SetFixedRows(int Value);
  int DefaultColWidth() const { return FCols.DefaultSize(); }
  void SetDefaultColWidth(int Value);
  int DefaultRowHeight() const { return FRows.DefaultSize(); }
  void SetDefaultRowHeight(int Value);
  int ColWidths(int ACol) const { return FCols.Size(ACol); }
  void SetColWidths(int ACol, int Value);
  int RowHeights(int ARow) const { return FRows.Size(ARow); }
  void SetRowHeights(int ARow, int Value);
  int GridLineWidth() const { return FGridLineWidth; }
  void SetGridLineWidth(int Value);
  TGridOptions Options() const { return FOptions; }
  void SetOptions(TGridOptions Value);

  // properties: looks
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TColor FixedColor() const { return FFixedColor; }
  void SetFixedColor(TColor Value);
  TColor GridLineColor() const { return FGridLineColor; }
  void SetGridLineColor(TColor Value);
  TColor FixedLineColor() const { return FFixedLineColor; }
  void SetFixedLineColor(TColor Value);
  // When true the grid fills each cell (fixed colour, selection highlight or Color; the focused
  // cell keeps Color unless goRowSelect or goDrawFocusSelected) and draws the focus rectangle
  // around the OnDrawCell output; when false it leaves every pixel of the cell to DrawCell.
  bool DefaultDrawing() const { return FDefaultDrawing; }
  void SetDefaultDrawing(bool Value);
  // The font the canvas starts each paint with; a change repaints.
  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }
  void SetFont(const TFont& Value) { FFont.Assign(Value); }

  // properties: scrolling
  // The first scrollable row and column shown. A program may set any scrollable one (even the
  // last, leaving blank space after it); the scroll bars, wheel and keys stop where the last
  // row or column shows in full.
  int TopRow() const { return FTopLeft.Y; }
  void SetTopRow(int Value) { MoveTopLeft(FTopLeft.X, Value, true); }
  int LeftCol() const { return FTopLeft.X; }
  void SetLeftCol(int Value) { MoveTopLeft(Value, FTopLeft.Y, true); }
  // Scrollable columns and rows fully visible from the left column and the top row.
  int VisibleColCount() const;
  int VisibleRowCount() const;

  // properties: current cell and selection
  // The current cell; -1 while the grid has no selection (see SetSelection).
  int Col() const { return FNoSelection ? -1 : FCurrent.X; }
  void SetCol(int Value) { FocusCell(Value, FCurrent.Y, true); }
  int Row() const { return FNoSelection ? -1 : FCurrent.Y; }
  void SetRow(int Value) { FocusCell(FCurrent.X, Value, true); }
  // The selected block; -1, -1, -1, -1 while there is no selection.
  TGridRect Selection() const;
  // Makes the block the selection, with the current cell at its top-left corner (clamped to the
  // scrollable cells). A block that holds no scrollable cell, such as -1, -1, -1, -1, removes
  // the selection: no cell is drawn selected or focused and the editor cannot open, until a
  // click, a navigation key or FocusCell makes a cell current again (keys move on from the
  // cell that was current before).
  void SetSelection(const TGridRect& Value);
  bool HasSelection() const { return !FNoSelection; }

  // properties: in-place editor
  bool EditorMode() const;
  void SetEditorMode(bool Value);
  int DropDownRows() const { return FDropDownRows; }
  void SetDropDownRows(int Value);
  // The line edit of the open editor (the pick list's own line edit for esPickList); nullptr
  // while no editor is open.
  QLineEdit* InplaceEditor() const;
  // The pick list while an esPickList editor is open, else nullptr.
  QComboBox* InplacePickList() const;

  // The area the cells are drawn in (the viewport, without frame and scroll bars).
  int ClientWidth() const { return viewport()->width(); }
  int ClientHeight() const { return viewport()->height(); }
  TRect ClientRect() const { return {0, 0, ClientWidth(), ClientHeight()}; }
  bool Visible() const { return !isHidden(); }
  void SetVisible(bool Value) { setVisible(Value); }
  // Placement in the parent, as for the other controls: bounds, or stretched along a side of
  // the parent or over all of it (followed when the parent is resized).
  int Left() const { return x(); }
  int Top() const { return y(); }
  int Width() const { return width(); }
  int Height() const { return height(); }
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value);

  // operations
  // Viewport rectangle of a cell without its grid lines; empty when no part of it is visible.
  TRect CellRect(int ACol, int ARow) const;
  // The cell under a viewport pixel; -1, -1 when there is none.
  TGridCoord MouseCoord(int X, int Y) const;
  void MouseToCell(int X, int Y, int& ACol, int& ARow) const;
  // Moves the current cell (unless OnSelectCell refuses) and scrolls it into view.
  void FocusCell(int ACol, int ARow, bool MoveAnchor);
  void ShowEditor();
  // Closes the editor; Accept hands a changed text to SetEditText first.
  void HideEditor(bool Accept = true);
  void InvalidateCell(int ACol, int ARow);
  void InvalidateGrid();
  void Invalidate() { InvalidateGrid(); }
  // The canvas the cells are drawn on. It paints only while the grid paints (inside DrawCell,
  // OnDrawCell and PaintOverlay); outside painting it still measures text.
  TCanvas& Canvas() { return FCanvas; }

  // events
  TDrawCellEvent OnDrawCell;
  TSelectCellEvent OnSelectCell;
  TNotifyEvent OnTopLeftChanged;
  TGetEditEvent OnGetEditText;
  TSetEditEvent OnSetEditText;
  TGetEditStyleEvent OnGetEditStyle;
  TGetPickListEvent OnGetPickListItems;
  TGridWheelEvent OnMouseWheelDown;
  TGridWheelEvent OnMouseWheelUp;
  // Raised after the grid's own handling of the press, move, release or click.
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  // Raised before the grid handles the key: a handler may change Key (a Qt key code) or set it
  // to 0 to keep the grid from acting; OnKeyPress may change or clear (QChar()) a typed character.
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;

protected:
  // Hooks for derived controls; each default raises the matching event.
  virtual void DrawCell(int ACol, int ARow, const TRect& Rect, TGridDrawState State);
  virtual bool SelectCell(int ACol, int ARow);
  virtual void TopLeftChanged();
  virtual std::string GetEditText(int ACol, int ARow);
  virtual void SetEditText(int ACol, int ARow, const std::string& Value);
  virtual TEditStyle GetEditStyle(int ACol, int ARow);
  virtual void GetPickListItems(int ACol, int ARow, std::vector<std::string>& Items);
  // Whether the editor may open on the current cell (goEditing and a scrollable cell).
  virtual bool CanEditShow() const;
  virtual void ColWidthsChanged() {}
  virtual void RowHeightsChanged() {}
  // Paints everything after the cells (nothing here); the canvas is still valid.
  virtual void PaintOverlay() {}

  // Qt handlers; derived controls that override them call these.
  bool event(QEvent* e) override;
  bool eventFilter(QObject* Watched, QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  // The viewport's own events are routed here by QAbstractScrollArea; sizing, painting and
  // the size cursor need a few that it does not forward.
  bool viewportEvent(QEvent* e) override;

private:
  enum class TGridState { gsNormal, gsSelecting, gsColSizing, gsRowSizing };

  void MoveTopLeft(int ALeft, int ATop, bool AllowBeyond = false);
  void LayoutChanged();
  void UpdateScrollBars();
  void UpdateLineWidths();
  void ClampSelection();
  void ScrollIntoView(TGridCoord Cell);
  void MoveSelEnd(int ACol, int ARow);
  void KeyMove(int ACol, int ARow, bool Extend);
  void LeftButtonDown(QPoint p, Qt::KeyboardModifiers Mods);
  void PaintGrid(TCanvas& ACanvas);
  void PaintCell(TCanvas& ACanvas, int ACol, int ARow, const TRect& Rect, int VLine, int HLine,
                 const TGridRect& ASelection, bool Focused);
  void UpdateEditorGeometry();
  void ApplyAlign();
  void ForwardEditorKey(QKeyEvent* e);
  // Column (or row) border under a pixel of the fixed rows (columns), for sizing; -1 if none.
  int SizingColAt(int X, int Y) const;
  int SizingRowAt(int X, int Y) const;
  int ClampCol(int ACol) const;
  int ClampRow(int ARow) const;

  TGridAxis FCols;
  TGridAxis FRows;
  int FGridLineWidth = 1;
  TGridOptions FOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
  TColor FColor;
  TColor FFixedColor;
  TColor FGridLineColor;
  TColor FFixedLineColor;
  bool FDefaultDrawing = true;
  TFont FFont;
  TAlign FAlign = alNone;

  TGridCoord FTopLeft{1, 1};
  TGridCoord FCurrent{1, 1};
  TGridCoord FSelEnd{1, 1};  // the corner of the selection opposite the current cell
  bool FNoSelection = false;  // the selection was moved off the scrollable cells
  int FWheelRemainder = 0;    // wheel movement not yet worth a whole notch

  TGridState FGridState = TGridState::gsNormal;
  int FSizingIndex = -1;
  int FSizingStart = 0;  // mouse position minus the size: the size follows the mouse from here
  bool FEditOnRelease = false;
  bool FLeftPressed = false;
  bool FSyncingScrollBars = false;

  QLineEdit* FEdit = nullptr;
  QComboBox* FPickList = nullptr;
  TEditStyle FEditStyle = esSimple;
  bool FEditing = false;
  bool FClosingEditor = false;
  TGridCoord FEditCell{-1, -1};
  std::string FEditBaseline;  // the text last handed over (or first shown) for FEditCell
  int FDropDownRows = 8;

  TCanvas FCanvas;
  TRect FPaintArea;  // the part of the viewport being repainted
};

}  // namespace orvex
