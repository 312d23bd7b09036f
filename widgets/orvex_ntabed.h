// TNTabEd: the table editor. A grid control that shows and edits one TDataTable, which it owns:
// row names in grid column 0, optionally the row attributes in grid column 1, column names in
// grid row 0 and optionally the column attributes in grid row 1. Values are drawn with a
// per-column number of decimals, marked cells in their mark colours, Nominal and Ordinal columns
// by their level labels. The editor relays the table's changes as its own events, and offers
// typing into cells (a drop-down of level labels for level columns), two popup menus with the
// heading and data commands, and copying, pasting and extracting blocks through the clipboard.
//
// Coordinates: the public data access (Elem, CellState, ColName, ...) uses data coordinates,
// 1-based, column first. The grid's own members and the editing events (OnGetEditText,
// OnSetEditText) use grid coordinates: data column j is grid column j + AC and data row r is
// grid row r + AR, with AC = 1 while AttribRowVisible and AR = 1 while AttribColVisible.
//
// The unit is split by concern: orvex_ntabed.cpp (creation, properties, data access, binding and
// layout), orvex_ntabed_draw.cpp (cell drawing and the number format), orvex_ntabed_edit.cpp
// (in-place editing, keys and mouse), orvex_ntabed_commands.cpp (popup menus, heading and data
// commands), orvex_ntabed_clipboard.cpp (Copy, Paste, Extract from Clipboard) and
// orvex_ntabed_scan.cpp (the window-free text scanners ScanNumber and ScanClipboardText).
#pragma once

#include "orvex_datatable.h"
#include "orvex_grids.h"
#include "orvex_basetypes.h"
#include "orvex_guard.h"

#include <QPoint>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QLineEdit;
class QMenu;
class QPlainTextEdit;

namespace orvex {

class EOrvexNTabedError : public EOrvexError {
public:
  using EOrvexError::EOrvexError;
};

// The number text of a data cell: fixed with Decimals (0..8) when the value fits that form,
// otherwise the exponent form; Decimals 9, 10 and -1 always give the exponent form.
std::string FormatCellNumber(double Value, int Width, int Decimals);

// Reads one number of Text starting at the 1-based position Pos and leaves Pos on the character
// that ended it. DecimalSeparators: 1 ".", 2 ",", 3 either. A text that is no number gives 0;
// results are limited to +-1.7E308.
double ScanNumber(const std::string& Text, bool AllowExponent, int DecimalSeparators, int& Pos);

// The same scan, telling a number apart from a token that cannot be read as one (Valid false,
// Value 0).
struct TScanResult {
  double Value = 0;
  bool Valid = false;
};
TScanResult ScanNumberChecked(std::string_view Text, bool AllowExponent, int DecimalSeparators, int& Pos);

// The cells that Extract from Clipboard (and Paste of text from elsewhere) reads from a text, in
// reading order: K counts the cells of the current line and M the lines (both from 0). The text
// is read as a small delimited table: the delimiter and the decimal mark are detected once for
// the whole text (tab when it has tabs; a comma delimiter means the decimal point; "." when the
// text does not decide the mark). Line ends may be CR LF, LF or CR; a field may be quoted. Empty
// is true for an empty field, a run of "#" and a field that is not wholly a number by
// ScanNumber's rules; Value is then 0 and means nothing. A blank line between lines with cells
// is one empty cell in its place; blank lines at the end are no lines.
using TClipboardCellEvent = std::function<void(int K, int M, double Value, bool Empty)>;
// How a clipboard text was read.
struct TClipboardReading {
  char Delimiter = '\t';     // '\t', ';', ',', '|' or ' ' (runs of blanks)
  bool DecimalComma = false;
  bool MarkUndecided = false;  // the text has a "," but does not show which mark it uses
  int Rows = 0;
  int Columns = 0;  // the most cells in a line
  // One sentence for the editor's message line.
  std::string Description() const;
};
TClipboardReading ScanClipboardText(std::string_view Text, const TClipboardCellEvent& OnCell);

// Sender, menu about to open.
using TBeforePopupEvent = std::function<void(TObject* Sender, QMenu* PMenu)>;
// Sender, data column and row, and the text, colours and styles the cell is about to be drawn
// with; a handler may change all four.
using TBeforeRenderCellEvent = std::function<void(TObject* Sender, int colix, int rowix, std::string& Text,
                                                  TColor& ColorText, TColor& ColorBakg, TFontStyles& FontStyles)>;
// A command of the editor's popup menus as the sender of an event: OnClear receives the "Clear"
// item, so that a handler shared with other menus can tell where the call came from.
class TMenuCommand : public TComponent {
public:
  explicit TMenuCommand(QAction* Action);
  std::string ClassName() const override { return "TMenuItem"; }
  // The menu item behind the command (named "DIt6" for "Clear").
  QAction* Action() const { return FAction; }

private:
  QAction* FAction;
};

// Opens a popup menu at a global screen position without blocking (QMenu::popup by default).
using TPopupMenuHook = std::function<void(QMenu* Menu, const QPoint& GlobalPos)>;
// Sender and the new text of the editor's message line.
using TMessageEvent = std::function<void(TObject* Sender, const std::string& Text)>;

class TNTabEd : public TCustomGrid {
  Q_OBJECT
public:
  // Raises EOrvexNTabedError ("... failed to initialize table editor (out of memory)") when the
  // tables cannot be had.
  explicit TNTabEd(QWidget* Parent = nullptr);
  ~TNTabEd() override;
  std::string ClassName() const override { return "TNTabEd"; }

  // properties: layout
  int NrOfColumns() const { return FData->NrOfColumns(); }
  void SetNrOfColumns(int Value) { Resize(Value, NrOfRows()); }
  int NrOfRows() const { return FData->NrOfRows(); }
  void SetNrOfRows(int Value) { Resize(NrOfColumns(), Value); }
  // Accepted in 1..20; OnLayoutChanged fires in any case.
  int NumWidth() const { return FNumWidth; }
  void SetNumWidth(int Value);
  bool AttribRowVisible() const { return FAC == 1; }
  void SetAttribRowVisible(bool Value);
  bool AttribColVisible() const { return FAR == 1; }
  void SetAttribColVisible(bool Value);
  // Sets the grid's default width, then grid column 0 back to 80 and the attribute column to 32.
  int DefaultColWidth() const { return TCustomGrid::DefaultColWidth(); }
  void SetDefaultColWidth(int Value);
  // Data-relative first visible column and row, clamped to the data cells.
  int LeftCol() const { return TCustomGrid::LeftCol() - FAC; }
  void SetLeftCol(int Value);
  int TopRow() const { return TCustomGrid::TopRow() - FAR; }
  void SetTopRow(int Value);
  bool OptimizeRowHeight() const { return FOptimizeRowHeight; }
  void SetOptimizeRowHeight(bool Value);
  // While true the editor's Font follows the font of its parent widget, now and whenever that
  // changes; changing Font itself ends following. A new editor keeps its own font (false).
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);
  // The grid options; goTabs is always kept, so that Tab moves between cells, and goEditing is
  // managed by the editor itself (see the editing rules in orvex_ntabed_edit.cpp).
  void SetOptions(TGridOptions Value);

  // properties: looks
  TColor ColorBackground() const { return Color(); }
  void SetColorBackground(TColor Value) { SetColor(Value); }
  TColor ColorFixed() const { return FixedColor(); }
  void SetColorFixed(TColor Value) { SetFixedColor(Value); }
  TColor ColorNormal() const { return FColorNormal; }
  void SetColorNormal(TColor Value) { SetLayoutColor(FColorNormal, Value); }
  TColor ColorSelected() const { return FColorSelected; }
  void SetColorSelected(TColor Value) { SetLayoutColor(FColorSelected, Value); }
  TColor ColorMarkedA() const { return FColorMarkedA; }
  void SetColorMarkedA(TColor Value) { SetLayoutColor(FColorMarkedA, Value); }
  TColor ColorMarkedB() const { return FColorMarkedB; }
  void SetColorMarkedB(TColor Value) { SetLayoutColor(FColorMarkedB, Value); }
  TColor ColorMarkedBoth() const { return FColorMarkedBoth; }
  void SetColorMarkedBoth(TColor Value) { SetLayoutColor(FColorMarkedBoth, Value); }
  TColor ColorRangeSelFG() const { return FColorRangeSelFG; }
  void SetColorRangeSelFG(TColor Value) { SetLayoutColor(FColorRangeSelFG, Value); }
  TColor ColorRangeSelBG() const { return FColorRangeSelBG; }
  void SetColorRangeSelBG(TColor Value) { SetLayoutColor(FColorRangeSelBG, Value); }
  TColor ColorEmptyMsg() const { return FColorEmptyMsg; }
  void SetColorEmptyMsg(TColor Value);
  // Shown while the table has no rows; "|" separates lines.
  const std::string& EmptyMessage() const { return FEmptyMessage; }
  void SetEmptyMessage(const std::string& Value);
  bool BoldMarks() const { return FBoldMarks; }
  void SetBoldMarks(bool Value);
  bool BoldSelHeads() const { return FBoldSelHeads; }
  void SetBoldSelHeads(bool Value);
  // The corner cell shows the current cell as column:row.
  bool ShowCellCursor() const { return FShowCellCursor; }
  void SetShowCellCursor(bool Value);

  // properties: editing and commands
  bool DataReadOnly() const { return FDataReadOnly; }
  void SetDataReadOnly(bool Value);
  bool AutoAdvance() const { return FAutoAdvance; }
  void SetAutoAdvance(bool Value) { FAutoAdvance = Value; }
  TOrientation AutoAdvanceDir() const { return FAutoAdvanceDir; }
  void SetAutoAdvanceDir(TOrientation Value) { FAutoAdvanceDir = Value; }
  bool ClipboardUseFullPrec() const { return FClipboardUseFullPrec; }
  void SetClipboardUseFullPrec(bool Value) { FClipboardUseFullPrec = Value; }
  bool BlockInternalPopup() const { return FBlockInternalPopup; }
  void SetBlockInternalPopup(bool Value) { FBlockInternalPopup = Value; }
  bool CommentEditingAllowed() const { return FCommentEditingAllowed; }
  void SetCommentEditingAllowed(bool Value) { FCommentEditingAllowed = Value; }
  int NomEditDropDownCount() const { return DropDownRows(); }
  void SetNomEditDropDownCount(int Value) { SetDropDownRows(Value); }
  // The value range, active when either bound is non-zero.
  double VRangeLow() const { return FVRangeLow; }
  void SetVRangeLow(double Value) { FVRangeLow = Value; }
  double VRangeHigh() const { return FVRangeHigh; }
  void SetVRangeHigh(double Value) { FVRangeHigh = Value; }
  // A user popup menu assigned here replaces both internal menus (they stay unused).
  QMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(QMenu* Value) { FPopupMenu = Value; }

  // data access (data coordinates; out of range reads 0 or empty, writes nothing)
  void Resize(int NrCols, int NrRows);
  const std::string& Comment() const { return FData->Comment(); }
  void SetComment(const std::string& Value);
  std::string ColName(int Col) const { return FData->ColName(Col); }
  void SetColName(int Col, const std::string& Value);
  std::string RowName(int Row) const { return FData->RowName(Row); }
  void SetRowName(int Row, const std::string& Value);
  int ColAttrib(int Col) const { return FData->ColAttrib(Col); }
  void SetColAttrib(int Col, int Value);
  int RowAttrib(int Row) const { return FData->RowAttrib(Row); }
  void SetRowAttrib(int Row, int Value);
  double Elem(int Col, int Row) const { return FData->Elem(Col, Row); }
  // Clamped into VRangeLow..VRangeHigh when the range is active.
  void SetElem(int Col, int Row, double Value);
  std::uint8_t CellState(int Col, int Row) const { return FData->CellState(Col, Row); }
  void SetCellState(int Col, int Row, std::uint8_t Value) { FData->SetCellState(Col, Row, Value); }
  bool ElemValid(int Col, int Row) const { return FData->ElemValid(Col, Row); }
  // -1..10 decimals; a write of 128 or more (as an unsigned byte) means -1, above 10 means 10.
  int ColPrecision(int Col) const;
  void SetColPrecision(int Col, int Value);
  // The table operations with the editor's events suspended.
  void InsertRow(int Row);
  void DeleteRow(int Row);
  void InsertColumn(int Col);
  void DeleteColumn(int Col);
  TDataTable& DataTable() { return *FData; }
  const TDataTable& DataTable() const { return *FData; }
  // The block taken by the last Copy (filled once CopyTableFilled).
  const TDataTable& CopyTable() const { return *FCopyTable; }
  bool CopyTableFilled() const { return FCopyFilled; }
  // The editor's message line: how the last Extract or Paste of foreign text was read.
  const std::string& MessageText() const { return FMessageText; }

  // operations: the commands of the popup menus, callable directly. Each works on the
  // selection; errors are shown through ShowMessageHook and leave the table as it was.
  enum TCellScope { scRange, scColumn, scRow, scAll };
  // Sets (Set true) or clears the mark bit (csMarkA or csMarkB) over a scope.
  void MarkCells(std::uint8_t Mark, bool Set, TCellScope Scope);
  void UnmarkAll();
  void ClearSelection();
  void CopySelection();
  void PasteBlock();
  void ExtractFromClipboard();
  void ToggleEmptyState();
  void ResetAllEmptyStates();
  void SelectAll();
  // The selected objects, increasing: the rows chosen as a set (SetSelectedRows, as a chart's
  // marks choose them), or, while no set is held, the rows of the selection block when it spans
  // whole rows or more than one row (a single cell or a part of one row is only the cursor).
  std::vector<int> SelectedRows() const;
  // Chooses Rows as the selected objects (rows outside the table dropped): they are drawn
  // selected, the block becomes the first one's whole row, scrolled into view. The set follows
  // its rows when rows are inserted or deleted above them; any other change of the block by the
  // user, and a new table, drop it. An empty list clears as ClearRowSelection. Both fire
  // OnSelectionChanged, as does a table change that moves or drops rows of the set.
  void SetSelectedRows(std::vector<int> Rows);
  // Drops the selected objects (also Escape when no cell editor is open): the set, and a block
  // larger than the current cell.
  void ClearRowSelection();
  void ToggleDataReadOnly();
  // Stores what is still being typed in the cell editor, the heading edit box and the comment
  // memo, as Enter would, so that an owner about to save or discard sees every edit.
  void CommitOpenEdits();
  // The heading commands for a header cell in grid coordinates.
  void EditHeading(int ACol, int ARow);
  void ChangePrecision(int ACol);
  void SelectHeading(int ACol, int ARow);
  void InsertHeading(int ACol, int ARow);
  void DeleteHeading(int ACol, int ARow);

  // The two internal popup menus and their items (names "DIt1".."DIt13", "HIt1".."HIt5" and
  // "M1It1".."U2It4"), for owners that want to adjust them.
  QMenu* PopupDTAction() const { return FPopupDT; }
  QMenu* PopupHTAction() const { return FPopupHT; }
  QAction* DataItem(int Nr) const;
  QAction* HeadItem(int Nr) const;
  // Item 1..4 (Range, Column, Row, All) of submenu 0..3 (Mark A, Mark B, Unmark A, Unmark B).
  QAction* ScopeItem(int Submenu, int Nr) const;
  // The "Clear" item as the sender OnClear receives.
  TMenuCommand* ClearCommand() const { return FClearCommand.get(); }
  // The heading edit box and the comment memo (nullptr until first used).
  QLineEdit* HeadingEditBox() const { return FHeadEdit; }
  QPlainTextEdit* CommentMemo() const { return FCommentMemo; }
  bool HeadingEditing() const { return FHeadEditing; }
  bool CommentEditing() const { return FCommentEditing; }

  // Hooks, replaceable by tests and owners.
  TPopupMenuHook PopupHook;
  TShowMessageHook ShowMessageHook;

  // events
  TNotifyEvent OnChange;
  TNotifyEvent OnChangeSetup;
  TNotifyEvent OnHeadingChanged;
  TNotifyEvent OnAttributeChanged;
  TNotifyEvent OnLayoutChanged;
  TNotifyEvent OnCellStateChanged;
  TNotifyEvent OnEmptyStChanged;
  TNotifyEvent OnSelectionChanged;
  // Replaces the built-in Clear when assigned; Sender is the "Clear" menu command (ClearCommand).
  TNotifyEvent OnClear;
  TNotifyEvent OnPaste;
  TOnPercentDoneEvent OnPercentDone;
  TBeforePopupEvent OnBeforePopup;
  TBeforeRenderCellEvent OnBeforeRenderCell;
  // The message line changed.
  TMessageEvent OnMessage;

protected:
  void DrawCell(int ACol, int ARow, const TRect& Rect, TGridDrawState State) override;
  void PaintOverlay() override;
  void TopLeftChanged() override;
  std::string GetEditText(int ACol, int ARow) override;
  void SetEditText(int ACol, int ARow, const std::string& Value) override;
  TEditStyle GetEditStyle(int ACol, int ARow) override;
  void GetPickListItems(int ACol, int ARow, std::vector<std::string>& Items) override;
  bool CanEditShow() const override;

  bool eventFilter(QObject* Watched, QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void changeEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

private:
  friend class TUpdateLock;
  friend class TSuspendTableChange;

  // Event firing and repainting, both skipped while suspended or locked.
  bool Quiet() const { return FSuspended || FUpdateLock; }
  void Notify(const TNotifyEvent& Event);
  void Repaint();
  void SetLayoutColor(TColor& Field, TColor Value);
  void BindTable();
  void TableResized(int OldColumns, int OldRows, int NewColumns, int NewRows);
  void ColumnsMoved(const TTableChange& Change);
  void AdoptParentFont();
  void ReportSelection(bool Force);
  void AfterNavigation();
  double ClampToRange(double Value) const;
  bool DataCell(int ACol, int ARow) const { return ACol > FAC && ARow > FAR; }
  // The selection in data coordinates (left, top, right, bottom), clamped to the table.
  TGridRect DataSelection() const;
  void SelectData(int Left, int Top, int Right, int Bottom);
  // Runs a command from a Qt entry point: library errors and exhausted memory are shown
  // instead of escaping into Qt.
  template <typename F>
  void Guarded(F&& Command);

  // clipboard (orvex_ntabed_clipboard.cpp): text on the clipboard that the last Copy did not write
  bool ClipboardHoldsForeignText() const;

  // editing (orvex_ntabed_edit.cpp)
  void SetEditingAllowed(bool Value);
  bool CellEditable(int ACol, int ARow) const;
  bool CellReadOnly(int ACol, int ARow) const;
  void StoreEditText(int Col, int Row, const std::string& Text);
  void CloseHeadingEdit(bool Accept);
  void CloseCommentMemo(bool Accept);

  // commands (orvex_ntabed_commands.cpp)
  void CreateMenus();
  void OpenDataPopup(QPoint Pos);
  void OpenHeadingPopup(int ACol, int ARow);
  void OpenCommentEditor();
  void ShowMenu(QMenu* Menu, QPoint ViewportPos);
  void ForEachInScope(TCellScope Scope, const std::function<void(int Col, int Row)>& Action);

  std::unique_ptr<TDataTable> FData;
  std::unique_ptr<TDataTable> FCopyTable;
  bool FCopyFilled = false;
  QString FCopiedText;  // what the last Copy put on the clipboard
  std::string FMessageText;
  std::vector<std::int8_t> FColPrecision;
  std::vector<std::int8_t> FCutPrecisions;  // cut off by the table's last shrink
  int FListenerKey = 0;
  int FAC = 1;
  int FAR = 0;
  int FAttribColWidth = 32;
  // Width of the last data column before the table lost its last column; 0 when unknown.
  int FEmptiedColWidth = 0;
  bool FParentFont = false;
  bool FAdoptingFont = false;
  bool FSuspended = false;
  bool FUpdateLock = false;
  TGridRect FLastSel{-1, -1, -1, -1};
  // The rows chosen by SetSelectedRows, increasing; valid while FHasRowSet.
  std::vector<int> FRowSet;
  bool FHasRowSet = false;
  bool RowInSet(int Row) const;
  void FollowRowSet(const TTableChange& Change);
  TGridCoord FClickedCell{-1, -1};
  TGridCoord FPrevClickedCell{-1, -1};
  QPoint FLastClickPos;
  TGridCoord FInvertedHeader{-1, -1};

  int FNumWidth = 1;
  bool FOptimizeRowHeight = false;
  TColor FColorNormal = 8192;
  TColor FColorSelected = 4210752;
  TColor FColorMarkedA = clRed;
  TColor FColorMarkedB = clBlue;
  TColor FColorMarkedBoth = 13369531;
  TColor FColorRangeSelFG = 8410412;
  TColor FColorRangeSelBG = 16312544;
  TColor FColorEmptyMsg = clBlack;
  std::string FEmptyMessage;
  bool FBoldMarks = true;
  bool FBoldSelHeads = true;
  bool FShowCellCursor = true;
  bool FDataReadOnly = false;
  bool FAutoAdvance = true;
  TOrientation FAutoAdvanceDir = orVert;
  bool FClipboardUseFullPrec = true;
  bool FBlockInternalPopup = false;
  bool FCommentEditingAllowed = true;
  double FVRangeLow = 0;
  double FVRangeHigh = 0;
  QMenu* FPopupMenu = nullptr;

  QLineEdit* FHeadEdit = nullptr;
  QPlainTextEdit* FCommentMemo = nullptr;
  bool FHeadEditing = false;
  bool FCommentEditing = false;
  TGridCoord FHeadEditCell{-1, -1};
  std::vector<std::string> FPickList;

  QMenu* FPopupDT = nullptr;
  QMenu* FPopupHT = nullptr;
  std::array<QAction*, 13> FDataItems{};
  std::array<QAction*, 5> FHeadItems{};
  std::array<std::array<QAction*, 4>, 4> FScopeItems{};
  TGridCoord FMenuCell{-1, -1};  // the header cell the heading menu was opened for
  std::unique_ptr<TMenuCommand> FClearCommand;
};

}  // namespace orvex
