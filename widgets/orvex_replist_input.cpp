// TReportListView: the mouse (check boxes, sorting by a header click, row selection, sizing a
// column to its contents by a double click on a header border), the keyboard (the cursor row
// becomes the selected row) and the in-place editor of editable columns.
#include "orvex_replist.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace orvex {

namespace {
// The hourglass while a header click sorts, taken back on every exit.
class TWaitCursor {
public:
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// A header click sorts only this far away from the header cell's edges; a double click this
// near a border sizes the column left of it.
constexpr int kHeaderEdge = 4;
// Width of the check-box zone at a cell's left edge.
constexpr int kBoxZone = 18;

bool IsCursorKey(int Key)
{
  switch (Key) {
  case Qt::Key_PageUp:
  case Qt::Key_PageDown:
  case Qt::Key_End:
  case Qt::Key_Home:
  case Qt::Key_Left:
  case Qt::Key_Right:
  case Qt::Key_Up:
  case Qt::Key_Down:
    return true;
  default:
    return false;
  }
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Row selection

bool TReportListView::ClearRowSelections()
{
  bool changed = false;
  {
    TRLData::TQuietScope quiet(*FData);
    for (int r = 1; r <= NrOfRows(); ++r) {
      const std::uint8_t f = FData->RowFlags(r);
      if (f & rlRowSelected) {
        FData->SetRowFlags(r, f & ~rlRowSelected);
        changed = true;
      }
    }
  }
  if (changed)
    Repaint();
  return changed;
}

// Applies a click on data row Row to the row selection; true when the selection changed.
bool TReportListView::ClickedRow(int Row, Qt::KeyboardModifiers Mods)
{
  if (FRowSelectMode == 0)
    return false;
  const bool shift = Mods.testFlag(Qt::ShiftModifier);
  const bool toggle = Mods.testFlag(Qt::ControlModifier) || !FUseCtrlForMultiSel;
  if (FRowSelectMode == 2 && shift && FAnchorRow >= 1 && FAnchorRow <= NrOfRows()) {
    // Every row between the anchor and the clicked one takes the anchor's state.
    bool changed = false;
    const bool state = RowSelected(FAnchorRow);
    for (int r = std::min(FAnchorRow, Row); r <= std::max(FAnchorRow, Row); ++r)
      if (RowSelected(r) != state) {
        SetRowSelected(r, state);
        changed = true;
      }
    return changed;
  }
  if (FRowSelectMode == 2 && toggle) {
    SetRowSelected(Row, !RowSelected(Row));
    FAnchorRow = Row;
    return true;
  }
  // A plain click: the clicked row alone.
  const bool wasOnly = RowSelected(Row);
  const bool cleared = ClearRowSelections();
  SetRowSelected(Row, true);
  FAnchorRow = Row;
  return cleared || !wasOnly;
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TReportListView::ToggleCheckBox(int Col, int Row)
{
  const bool before = Checked(Col, Row);
  bool state = !before;
  Fire(OnBeforeCheckedChange, this, state, Col, Row);
  {
    TPaintSuppression suppress(*this);
    FData->SetChecked(Col, Row, state);
  }
  // The handler is told the state before the click; it reads the new one through Checked.
  bool old = before;
  Fire(OnCheckedChange, this, old, Col, Row);
}

template <typename F>
void TReportListView::Guarded(F&& Command)
{
  if (RunGuarded(
          std::forward<F>(Command), [this] { return ComponentMessage("not enough memory on heap"); }, ShowMessageHook))
    return;
  // Whatever failed may have left painting suspended half-way.
  FSuppressPaint = false;
  InvalidateGrid();
}

void TReportListView::mousePressEvent(QMouseEvent* e)
{
  Guarded([&] {
    TCustomGrid::mousePressEvent(e);
    if (e->button() == Qt::LeftButton)
      LeftPress(e->position().toPoint(), e->modifiers(), true);
  });
}

// A left press on a header sorts (when Sort is true), on a data cell toggles its check box and
// selects the row.
void TReportListView::LeftPress(QPoint P, Qt::KeyboardModifiers Mods, bool Sort)
{
  if (!FEnabled)
    return;
  const TGridCoord cell = MouseCoord(P.x(), P.y());
  if (cell.X < 0)
    return;
  const TRect rect = CellRect(cell.X, cell.Y);
  const int dc = DataColOf(cell.X);
  if (cell.Y < HeaderRows()) {
    const bool columnHeader = FColumnHeadersVisible && cell.Y == HeaderRows() - 1;
    if (Sort && columnHeader && FSortEnabled && P.x() - rect.Left > kHeaderEdge &&
        rect.Right - 1 - P.x() > kHeaderEdge) {
      TWaitCursor wait;
      SortByColumn(dc, !FData->SortDirection());
    }
    return;
  }
  const int row = DataRowOf(cell.Y);
  if (row < 1 || row > NrOfRows())
    return;
  if (CheckBoxColumn(dc) && P.x() < rect.Left + kBoxZone && !RowDisabled(row) && BoxShown(FData->CellText(dc, row)))
    ToggleCheckBox(dc, row);
  if (ClickedRow(row, Mods))
    Fire(OnSelectedChange, this);
}

void TReportListView::mouseReleaseEvent(QMouseEvent* e)
{
  Guarded([&] {
    TCustomGrid::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && FRowSelectMode == 2 && !viewport()->rect().contains(e->position().toPoint()))
      if (ClearRowSelections())
        Fire(OnSelectedChange, this);
  });
}

void TReportListView::mouseMoveEvent(QMouseEvent* e)
{
  Guarded([&] { TCustomGrid::mouseMoveEvent(e); });
}

void TReportListView::wheelEvent(QWheelEvent* e)
{
  Guarded([&] { TCustomGrid::wheelEvent(e); });
}

void TReportListView::mouseDoubleClickEvent(QMouseEvent* e)
{
  Guarded([&] { DoubleClick(e); });
}

void TReportListView::DoubleClick(QMouseEvent* e)
{
  const QPoint p = e->position().toPoint();
  const TGridCoord cell = MouseCoord(p.x(), p.y());
  if (e->button() == Qt::LeftButton && FColumnHeadersVisible && cell.X >= 0 && cell.Y == HeaderRows() - 1) {
    const TRect rect = CellRect(cell.X, cell.Y);
    // The border right of the cell, or the one left of it (which ends the previous column).
    int left = -1;
    if (rect.Right - p.x() <= kHeaderEdge)
      left = cell.X;
    else if (p.x() - rect.Left <= kHeaderEdge && cell.X > 0)
      left = cell.X - 1;
    if (left >= 0) {
      AutoSizeColumn(DataColOf(left));
      e->accept();
      return;
    }
  }
  TCustomGrid::mouseDoubleClickEvent(e);
  // The second press of a quick pair on a check box toggles it again, as two clicks would.
  if (e->button() == Qt::LeftButton && cell.Y >= HeaderRows())
    LeftPress(p, e->modifiers(), false);
}

// ---------------------------------------------------------------------------------------------
// Keyboard

void TReportListView::keyPressEvent(QKeyEvent* e)
{
  Guarded([&] { KeyPress(e); });
}

void TReportListView::KeyPress(QKeyEvent* e)
{
  int key = e->key();
  if (FAutoAdvance && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
    key = Qt::Key_Down;
    QKeyEvent down(e->type(), key, e->modifiers(), QString(), e->isAutoRepeat(), e->count());
    TCustomGrid::keyPressEvent(&down);
    e->setAccepted(down.isAccepted());
  } else {
    TCustomGrid::keyPressEvent(e);
  }
  if (!IsCursorKey(key))
    return;
  if (FRowSelectMode > 0) {
    ClearRowSelections();
    const int row = DataRowOf(Row());
    if (row >= 1 && row <= NrOfRows()) {
      SetRowSelected(row, true);
      FAnchorRow = row;
    }
  }
  Fire(OnCursorKeyAction, this, key);
  Fire(OnSelectedChange, this);
}

// ---------------------------------------------------------------------------------------------
// In-place editor

bool TReportListView::CanEditShow() const
{
  if (!TCustomGrid::CanEditShow() || NrOfRows() == 0 || !FEnabled)
    return false;
  return ColumnEditable(DataColOf(Col()));
}

std::string TReportListView::GetEditText(int ACol, int ARow)
{
  const int dc = DataColOf(ACol);
  std::string text = FData->CellText(dc, DataRowOf(ARow));
  if (CheckBoxColumn(dc) && !text.empty())
    text.erase(0, 1);
  Fire(OnGetEditText, this, ACol, ARow, text);
  return text;
}

void TReportListView::SetEditText(int ACol, int ARow, const std::string& Value)
{
  // Called by the in-place editor as the user types, outside any handler of ours.
  Guarded([&] {
    // A check-box cell keeps its state character in front of the new label.
    FData->SetCellText(DataColOf(ACol), DataRowOf(ARow), Value);
    Fire(OnSetEditText, this, ACol, ARow, Value);
  });
}

}  // namespace orvex
