// The report list: TRLData, the store of cell texts, column headers, check-box flags and the
// common header, and TReportListView, the owner-drawn grid that shows a TRLData as a list with
// a common header band, column headers, check-box columns, shaded row groups, row selection
// and a per-cell rendering hook. The main window's variable list is one of these.
//
// Indexes are 1-based data indexes: columns 1..NrOfColumns, rows 1..NrOfRows. A check-box
// cell keeps its state in the first character of its text ("X" checked, " " unchecked, any
// other first character reads as checked); the rest is its label. Texts are UTF-8; the limits
// of headers (50) count characters, those of cells (255) bytes cut at a character boundary.
#pragma once

#include "orvex_dstruct.h"
#include "orvex_grids.h"
#include "orvex_guard.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

class EOrvexRLDataError : public EOrvexError {
public:
  using EOrvexError::EOrvexError;
};

class EOrvexRepListError : public EOrvexError {
public:
  using EOrvexError::EOrvexError;
};

// Flag bits the list keeps in the row and column flags of its string array.
inline constexpr std::uint8_t rlRowSelected = 0x80;
inline constexpr std::uint8_t rlRowDisabled = 0x40;
inline constexpr std::uint8_t rlColSelected = 0x80;

class TRLData : public TComponent {
public:
  static constexpr int MaxHeaderLength = 50;  // characters of a column header

  explicit TRLData(TComponent* AOwner = nullptr);
  std::string ClassName() const override { return "TRLData"; }

  // properties
  int NrOfColumns() const { return FNrOfColumns; }
  void SetNrOfColumns(int Value);
  int NrOfRows() const { return FNrOfRows; }
  void SetNrOfRows(int Value);
  const std::string& CommonHeader() const { return FCommonHeader; }
  void SetCommonHeader(const std::string& Value);
  std::string ColumnHeader(int Col) const;
  void SetColumnHeader(int Col, const std::string& Value);
  bool CheckBoxColumn(int Col) const;
  void SetCheckBoxColumn(int Col, bool Value);
  std::string CellText(int Col, int Row) const;
  void SetCellText(int Col, int Row, const std::string& Value);
  // True in a check-box column when the cell's text starts with anything but a space.
  bool Checked(int Col, int Row) const;
  // Sets the state character of one cell of a check-box column (ignored elsewhere).
  void SetChecked(int Col, int Row, bool Value);
  std::uint8_t RowFlags(int Row) const { return FCells.RowAttrib(Row); }
  void SetRowFlags(int Row, std::uint8_t Value) { FCells.SetRowAttrib(Row, Value); }
  std::uint8_t ColFlags(int Col) const { return FCells.ColAttrib(Col); }
  void SetColFlags(int Col, std::uint8_t Value) { FCells.SetColAttrib(Col, Value); }
  // The column the rows were last sorted by (0: none) and the direction flag (True: ascending).
  int SortColumn() const { return FSortColumn; }
  bool SortDirection() const { return FSortDirection; }
  void SetSortDirection(bool Value) { FSortDirection = Value; }
  // The cells themselves, for readers that need the row order or the pool.
  const TStringArray& Cells() const { return FCells; }

  // operations
  // Sets the state character of every cell of a check-box column; does nothing on a plain one.
  void CheckColumn(int Col, bool State);
  // Records the sort column and direction and sorts the rows by that column.
  void SortByColumn(int Col, bool Ascending);
  void Assign(const TComponent& Source) override;
  // While quiet, changes of the cells raise no OnChange; returns the previous setting.
  bool SetQuiet(bool Value);
  // Keeps the store quiet for a scope and restores the previous setting on every exit.
  class TQuietScope {
  public:
    explicit TQuietScope(TRLData& Data) : FData(Data), FWas(Data.SetQuiet(true)) {}
    ~TQuietScope() { FData.SetQuiet(FWas); }
    TQuietScope(const TQuietScope&) = delete;
    TQuietScope& operator=(const TQuietScope&) = delete;

  private:
    TRLData& FData;
    bool FWas;
  };

  // events
  // Raised after every change of a cell, a flag or the size of the cells.
  TNotifyEvent OnChange;
  TBeforeSortExchgEvent OnBeforeSortExchange;
  TNotifyEvent OnBeforeHTMLExport;  // not raised by any operation
  TNotifyEvent OnExportText;        // not raised by any operation
  TOnPercentDoneEvent OnPercentDone;

private:
  void StoreState(int Col, int Row, bool State);
  static std::string DefaultHeader(int Col);

  TStringArray FCells;
  int FNrOfColumns = 1;
  int FNrOfRows = 0;
  std::string FCommonHeader;          // "Orvex Report Listview", set where its failure is reported
  std::vector<std::string> FHeaders;  // per column 1..NrOfColumns, at index Col - 1
  std::vector<bool> FCheckBoxes;
  int FSortColumn = 0;
  bool FSortDirection = false;
  bool FQuiet = false;
};

// Sender, the new state (a handler may change it), column and row.
using TCheckStateChangeEvent = std::function<void(TObject* Sender, bool& State, int Col, int Row)>;
// Sender, data column and row, and the looks of the cell about to be drawn, all changeable.
using TRenderCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, TColor& PenColor, TColor& BrushColor,
                                            TColor& FontColor, TFontStyles& FontStyles, std::string& Text)>;
using TCursorKeyActionEvent = std::function<void(TObject* Sender, int Key)>;

class TReportListView : public TCustomGrid {
  Q_OBJECT
public:
  explicit TReportListView(QWidget* Parent = nullptr);
  ~TReportListView() override;
  std::string ClassName() const override { return "TReportListView"; }

  // properties: contents
  TRLData& Data() { return *FData; }
  const TRLData& Data() const { return *FData; }
  int NrOfColumns() const { return FData->NrOfColumns(); }
  void SetNrOfColumns(int Value);
  int NrOfRows() const { return FData->NrOfRows(); }
  void SetNrOfRows(int Value);
  std::string CellText(int Col, int Row) const { return FData->CellText(Col, Row); }
  void SetCellText(int Col, int Row, const std::string& Value) { FData->SetCellText(Col, Row, Value); }
  std::string ColumnHeader(int Col) const { return FData->ColumnHeader(Col); }
  void SetColumnHeader(int Col, const std::string& Value);
  bool CheckBoxColumn(int Col) const { return FData->CheckBoxColumn(Col); }
  void SetCheckBoxColumn(int Col, bool Value);
  bool Checked(int Col, int Row) const { return FData->Checked(Col, Row); }
  void SetChecked(int Col, int Row, bool Value);
  bool RowSelected(int Row) const { return (FData->RowFlags(Row) & rlRowSelected) != 0; }
  void SetRowSelected(int Row, bool Value);
  bool RowDisabled(int Row) const { return (FData->RowFlags(Row) & rlRowDisabled) != 0; }
  void SetRowDisabled(int Row, bool Value);
  bool ColSelected(int Col) const { return (FData->ColFlags(Col) & rlColSelected) != 0; }
  void SetColSelected(int Col, bool Value);

  // properties: headers
  const std::string& CommonHeader() const { return FData->CommonHeader(); }
  void SetCommonHeader(const std::string& Value);
  bool CommonHeaderVisible() const { return FCommonHeaderVisible; }
  void SetCommonHeaderVisible(bool Value);
  TAlignment CommonHeaderAlignment() const { return FCommonHeaderAlignment; }
  void SetCommonHeaderAlignment(TAlignment Value);
  int CommonHeaderHeight() const { return FCommonHeaderHeight; }
  void SetCommonHeaderHeight(int Value);  // clamped to 8..127
  bool ColumnHeadersVisible() const { return FColumnHeadersVisible; }
  void SetColumnHeadersVisible(bool Value);
  int ColumnHeadersHeight() const { return FColumnHeadersHeight; }
  void SetColumnHeadersHeight(int Value);  // clamped to 8..127
  // Grid rows taken by the visible headers (0, 1 or 2).
  int HeaderRows() const { return (FCommonHeaderVisible ? 1 : 0) + (FColumnHeadersVisible ? 1 : 0); }

  // properties: per column
  TAlignment ColumnAlignment(int Col) const;
  void SetColumnAlignment(int Col, TAlignment Value);
  bool ColumnPassword(int Col) const;
  void SetColumnPassword(int Col, bool Value);
  bool ColumnEditable(int Col) const;
  void SetColumnEditable(int Col, bool Value);
  // The data column shown at visual position Pos (1-based); identity after every change of the
  // column count. SetDisplayOrder takes a permutation of 1..NrOfColumns and ignores anything else.
  int DisplayOrder(int Pos) const;
  bool SetDisplayOrder(const std::vector<int>& Order);
  int ColumnWidth(int Col) const;
  void SetColumnWidth(int Col, int Value);

  // properties: sizes and scrolling
  void SetDefaultColWidth(int Value);
  void SetDefaultRowHeight(int Value);
  int LeftCol() const { return TCustomGrid::LeftCol() + 1; }
  void SetLeftCol(int Value);
  int TopRow() const { return TCustomGrid::TopRow() - HeaderRows() + 1; }
  void SetTopRow(int Value);

  // properties: looks
  const std::string& EmptyMessage() const { return FEmptyMessage; }
  void SetEmptyMessage(const std::string& Value);
  TColor ColorEmptyMsg() const { return FColorEmptyMsg; }
  void SetColorEmptyMsg(TColor Value);
  TColor ColorText() const { return FColorText; }
  void SetColorText(TColor Value) { SetLook(FColorText, Value); }
  TColor ColorBkgdNormal() const { return FColorBkgdNormal; }
  void SetColorBkgdNormal(TColor Value) { SetLook(FColorBkgdNormal, Value); }
  TColor ColorBkgdShaded() const { return FColorBkgdShaded; }
  void SetColorBkgdShaded(TColor Value) { SetLook(FColorBkgdShaded, Value); }
  // Rows are shaded in groups of RowColPattern, starting with the first; 0 or less: no shading.
  int RowColPattern() const { return FRowColPattern; }
  void SetRowColPattern(int Value) { SetLook(FRowColPattern, Value); }
  TColor ColorHigh() const { return FColorHigh; }
  void SetColorHigh(TColor Value) { SetLook(FColorHigh, Value); }
  TColor ColorHighText() const { return FColorHighText; }
  void SetColorHighText(TColor Value) { SetLook(FColorHighText, Value); }
  int HighLightRow() const { return FHighLightRow; }
  void SetHighLightRow(int Value) { SetLook(FHighLightRow, Value); }
  int HighLightColumn() const { return FHighLightColumn; }
  void SetHighLightColumn(int Value) { SetLook(FHighLightColumn, Value); }
  bool HighLightBold() const { return FHighLightBold; }
  void SetHighLightBold(bool Value) { SetLook(FHighLightBold, Value); }
  TColor ColorSelectedRow() const { return FColorSelectedRow; }
  void SetColorSelectedRow(TColor Value) { SetLook(FColorSelectedRow, Value); }
  TColor ColorSelectedRowText() const { return FColorSelectedRowText; }
  void SetColorSelectedRowText(TColor Value) { SetLook(FColorSelectedRowText, Value); }
  TColor ColorSelectedCol() const { return FColorSelectedCol; }
  void SetColorSelectedCol(TColor Value) { SetLook(FColorSelectedCol, Value); }
  TColor ColorSelectedColText() const { return FColorSelectedColText; }
  void SetColorSelectedColText(TColor Value) { SetLook(FColorSelectedColText, Value); }
  TColor ColorSelectedBoth() const { return FColorSelectedBoth; }
  void SetColorSelectedBoth(TColor Value) { SetLook(FColorSelectedBoth, Value); }
  TColor ColorSelectedBothText() const { return FColorSelectedBothText; }
  void SetColorSelectedBothText(TColor Value) { SetLook(FColorSelectedBothText, Value); }
  TColor ColorCommonHd() const { return FColorCommonHd; }
  void SetColorCommonHd(TColor Value) { SetLook(FColorCommonHd, Value); }
  TColor ColorCommonHdText() const { return FColorCommonHdText; }
  void SetColorCommonHdText(TColor Value) { SetLook(FColorCommonHdText, Value); }
  // The column-header colour is the grid's fixed colour.
  TColor ColorColumnHd() const { return FixedColor(); }
  void SetColorColumnHd(TColor Value);
  TColor ColorColumnHdText() const { return FColorColumnHdText; }
  void SetColorColumnHdText(TColor Value) { SetLook(FColorColumnHdText, Value); }
  TColor ColorDisabledBkgd() const { return FColorDisabledBkgd; }
  void SetColorDisabledBkgd(TColor Value) { SetLook(FColorDisabledBkgd, Value); }
  TColor ColorDisabledText() const { return FColorDisabledText; }
  void SetColorDisabledText(TColor Value) { SetLook(FColorDisabledText, Value); }
  TColor InterRowIndicatorColor() const { return FInterRowIndicatorColor; }
  void SetInterRowIndicatorColor(TColor Value) { SetLook(FInterRowIndicatorColor, Value); }
  int InterRowIndicatorWidth() const { return FInterRowIndicatorWidth; }
  void SetInterRowIndicatorWidth(int Value) { SetLook(FInterRowIndicatorWidth, Value); }
  bool ShowEmptyCheckBoxes() const { return FShowEmptyCheckBoxes; }
  void SetShowEmptyCheckBoxes(bool Value);
  bool FixedFirstColumn() const { return FFixedFirstColumn; }
  void SetFixedFirstColumn(bool Value);

  // properties: behaviour
  // 0 no row selection, 1 one selected row, 2 several rows (Shift and Ctrl).
  int RowSelectMode() const { return FRowSelectMode; }
  void SetRowSelectMode(int Value);
  bool UseCtrlForMultiSel() const { return FUseCtrlForMultiSel; }
  void SetUseCtrlForMultiSel(bool Value) { FUseCtrlForMultiSel = Value; }
  bool SortEnabled() const { return FSortEnabled; }
  void SetSortEnabled(bool Value) { FSortEnabled = Value; }
  bool AutoAdvance() const { return FAutoAdvance; }
  void SetAutoAdvance(bool Value) { FAutoAdvance = Value; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  // While True nothing is painted; storing False after True repaints once.
  bool SuppressPaint() const { return FSuppressPaint; }
  void SetSuppressPaint(bool Value);

  // operations
  void CheckColumn(int Col, bool State);
  // The number of rows, not disabled, whose cell in Col reads as checked (0 for plain columns).
  int NrChecked(int Col) const;
  // Gives Col the client width minus Margin minus the other columns' widths (16 when that is
  // not above 15).
  void FitColumnWidth(int Col, int Margin);
  // Width of the widest cell text, plus 16 in a check-box column, plus 10, at least 4.
  void AutoSizeColumn(int Col);
  void SortByColumn(int Col, bool Direction);
  // The data row (1-based) shown at a grid row, or 0 for a header row.
  int DataRowOf(int GridRow) const;
  // The grid row of data row Row.
  int GridRowOf(int Row) const { return HeaderRows() + Row - 1; }

  // Shows the message of an error caught at a Qt entry point (a modal message box by default);
  // replaceable by tests and owners.
  TShowMessageHook ShowMessageHook;

  // events
  TCheckStateChangeEvent OnCheckedChange;
  TCheckStateChangeEvent OnBeforeCheckedChange;
  TRenderCellEvent OnBeforeRenderCell;
  TNotifyEvent OnChange;
  TNotifyEvent OnChangeSetup;
  TNotifyEvent OnSelectedChange;
  TCursorKeyActionEvent OnCursorKeyAction;
  TBeforeSortExchgEvent OnBeforeSortExchange;
  TOnPercentDoneEvent OnPercentDone;
  // Published for the owner's use; no operation raises them.
  TNotifyEvent OnBeforeFilter;
  TNotifyEvent OnRequestEditFormat;
  TNotifyEvent OnReadCell;
  TNotifyEvent OnBeforeHTMLExport;

protected:
  void DrawCell(int ACol, int ARow, const TRect& Rect, TGridDrawState State) override;
  void PaintOverlay() override;
  std::string GetEditText(int ACol, int ARow) override;
  void SetEditText(int ACol, int ARow, const std::string& Value) override;
  bool CanEditShow() const override;

  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

private:
  // Runs the work of a Qt entry point; an error is shown through ShowMessageHook, painting is
  // resumed and the list repainted.
  template <typename F>
  void Guarded(F&& Command);
  template <typename T>
  void SetLook(T& Field, T Value)
  {
    Field = Value;
    Repaint();
    Fire(OnChangeSetup, this);
  }
  void Repaint();
  void Changed();
  void StoreChanged();
  // Header rows, row count and fixed rows from the settings, then the header heights.
  void UpdateRows();
  void ApplyHeaderHeights();
  int DataColOf(int GridCol) const;
  int GridColOf(int Col) const;
  // Cell text as drawn (the password mask applied).
  std::string DisplayText(int Col, int Row) const;
  bool BoxShown(const std::string& Text) const;

  void DrawDataCell(int DataCol, int DataRow, const TRect& Rect, bool FixedCell);
  void DrawColumnHeader(int DataCol, const TRect& Rect);
  void DrawCommonHeader();
  void DrawEmptyMessage();
  void DrawText(const TRect& Area, const std::string& Text, TAlignment Align);

  void ChangeFlag(int Index, std::uint8_t Bit, bool Value, bool OfRow);
  void ToggleCheckBox(int Col, int Row);
  void DoubleClick(QMouseEvent* e);
  void KeyPress(QKeyEvent* e);
  // Suspends painting for a scope and restores the previous setting (repainting once when that
  // was False) on every exit.
  class TPaintSuppression {
  public:
    explicit TPaintSuppression(TReportListView& View) : FView(View), FWas(View.FSuppressPaint)
    {
      View.SetSuppressPaint(true);
    }
    ~TPaintSuppression() { FView.SetSuppressPaint(FWas); }
    TPaintSuppression(const TPaintSuppression&) = delete;
    TPaintSuppression& operator=(const TPaintSuppression&) = delete;

  private:
    TReportListView& FView;
    bool FWas;
  };
  void LeftPress(QPoint P, Qt::KeyboardModifiers Mods, bool Sort);
  bool ClickedRow(int Row, Qt::KeyboardModifiers Mods);
  bool ClearRowSelections();

  // Owned; a unique_ptr, so that a constructor failing after the store was made frees it.
  std::unique_ptr<TRLData> FData;
  bool FCommonHeaderVisible = false;
  TAlignment FCommonHeaderAlignment = taCenter;
  int FCommonHeaderHeight = 20;
  bool FColumnHeadersVisible = true;
  int FColumnHeadersHeight = 20;
  std::vector<TAlignment> FAlignments;
  std::vector<bool> FPasswords;
  std::vector<bool> FEditables;
  std::vector<int> FOrder;  // visual position - 1 -> data column
  std::string FEmptyMessage;
  TColor FColorEmptyMsg = clBlack;
  TColor FColorText = 0x002000;
  TColor FColorBkgdNormal = clWhite;
  TColor FColorBkgdShaded = 0xF0EFE8;
  int FRowColPattern = 1;
  TColor FColorHigh = 0xCC9966;
  TColor FColorHighText = clWhite;
  int FHighLightRow = 0;
  int FHighLightColumn = 0;
  bool FHighLightBold = false;
  TColor FColorSelectedRow = 0x94BAED;
  TColor FColorSelectedRowText = clNavy;
  TColor FColorSelectedCol = clBlack;
  TColor FColorSelectedColText = clBlack;
  TColor FColorSelectedBoth = clBlack;
  TColor FColorSelectedBothText = clBlack;
  TColor FColorCommonHd = clBtnFace;
  TColor FColorCommonHdText = clBlack;
  TColor FColorColumnHdText = clBlack;
  TColor FColorDisabledBkgd = 0xF0F0F0;
  TColor FColorDisabledText = clSilver;
  TColor FInterRowIndicatorColor = clRed;
  int FInterRowIndicatorWidth = 3;
  int FRowSelectMode = 1;
  bool FUseCtrlForMultiSel = true;
  bool FSortEnabled = true;
  bool FShowEmptyCheckBoxes = true;
  bool FFixedFirstColumn = false;
  bool FAutoAdvance = false;
  bool FEnabled = true;
  bool FSuppressPaint = true;
  int FAnchorRow = 0;
};

}  // namespace orvex
