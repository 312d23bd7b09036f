// TCustomGrid: keyboard navigation, mouse selection, column and row sizing by dragging a header
// border, and wheel scrolling.
#include "orvex_grids.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <climits>

namespace orvex {

namespace {
// Half the width of the zone around a header border in which a drag sizes the column or row.
constexpr int kSizingZone = 3;
}  // namespace

bool TCustomGrid::event(QEvent* e)
{
  // Tab normally moves the focus to the next control; with goTabs it moves between cells.
  if (e->type() == QEvent::KeyPress && FOptions.Contains(goTabs)) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
      keyPressEvent(k);
      return true;
    }
  }
  return QAbstractScrollArea::event(e);
}

bool TCustomGrid::viewportEvent(QEvent* e)
{
  if (e->type() == QEvent::Leave && FGridState == TGridState::gsNormal)
    viewport()->unsetCursor();
  return QAbstractScrollArea::viewportEvent(e);
}

void TCustomGrid::KeyMove(int ACol, int ARow, bool Extend)
{
  if (Extend && FOptions.Contains(goRangeSelect))
    MoveSelEnd(ACol, ARow);
  else
    FocusCell(ACol, ARow, true);
}

void TCustomGrid::keyPressEvent(QKeyEvent* e)
{
  const Qt::KeyboardModifiers mods = e->modifiers();
  // The owner sees the key first and may change it (Enter into Down, say) or swallow it (0).
  int key = e->key();
  Fire(OnKeyDown, this, key, ShiftStateOf(mods));
  if (key == 0) {
    e->accept();
    return;
  }
  const bool shift = mods.testFlag(Qt::ShiftModifier);
  const bool ctrl = mods.testFlag(Qt::ControlModifier);
  const bool rowSelect = FOptions.Contains(goRowSelect);
  // Shift+keys move the far corner of the selection; plain keys move the current cell.
  const TGridCoord from = (shift && FOptions.Contains(goRangeSelect) && !FNoSelection) ? FSelEnd : FCurrent;
  const int page = std::max(1, VisibleRowCount());

  switch (key) {
  case Qt::Key_Up:
    KeyMove(from.X, from.Y - 1, shift);
    break;
  case Qt::Key_Down:
    KeyMove(from.X, from.Y + 1, shift);
    break;
  case Qt::Key_Left:
    if (rowSelect)
      MoveTopLeft(FTopLeft.X - 1, FTopLeft.Y);
    else
      KeyMove(from.X - 1, from.Y, shift);
    break;
  case Qt::Key_Right:
    if (rowSelect)
      MoveTopLeft(FTopLeft.X + 1, FTopLeft.Y);
    else
      KeyMove(from.X + 1, from.Y, shift);
    break;
  case Qt::Key_PageUp:
    // The view moves by a page and the cell with it, so it keeps its place on the screen.
    MoveTopLeft(FTopLeft.X, FTopLeft.Y - page);
    KeyMove(from.X, from.Y - page, shift);
    break;
  case Qt::Key_PageDown:
    MoveTopLeft(FTopLeft.X, FTopLeft.Y + page);
    KeyMove(from.X, from.Y + page, shift);
    break;
  case Qt::Key_Home:
    if (ctrl)
      KeyMove(FixedCols(), FixedRows(), shift);
    else if (rowSelect)
      KeyMove(from.X, FixedRows(), shift);
    else
      KeyMove(FixedCols(), from.Y, shift);
    break;
  case Qt::Key_End:
    if (ctrl)
      KeyMove(ColCount() - 1, RowCount() - 1, shift);
    else if (rowSelect)
      KeyMove(from.X, RowCount() - 1, shift);
    else
      KeyMove(ColCount() - 1, from.Y, shift);
    break;
  case Qt::Key_Tab:
  case Qt::Key_Backtab: {
    if (!FOptions.Contains(goTabs)) {
      e->ignore();
      return;
    }
    // Tab runs along the row and wraps to the next one; Shift+Tab runs backwards.
    bool back = key == Qt::Key_Backtab || shift;
    int c = FCurrent.X;
    int r = FCurrent.Y;
    if (rowSelect) {
      r += back ? -1 : 1;
    } else if (back) {
      if (--c < FixedCols()) {
        if (r > FixedRows()) {
          c = ColCount() - 1;
          --r;
        } else {
          c = FixedCols();
        }
      }
    } else if (++c >= ColCount()) {
      if (r < RowCount() - 1) {
        c = FixedCols();
        ++r;
      } else {
        c = ColCount() - 1;
      }
    }
    FocusCell(c, r, true);
    break;
  }
  case Qt::Key_Return:
  case Qt::Key_Enter:
    if (EditorMode())
      HideEditor(true);
    else if (CanEditShow())
      ShowEditor();
    break;
  case Qt::Key_Escape:
    if (EditorMode())
      HideEditor(false);
    else
      e->ignore();
    return;
  case Qt::Key_F2:
    if (CanEditShow())
      ShowEditor();
    break;
  default: {
    // A printable character starts editing with that character as the new text.
    const QString text = e->text();
    if (!text.isEmpty() && text.at(0).isPrint() && !ctrl && !mods.testFlag(Qt::AltModifier)) {
      QChar ch = text.at(0);
      Fire(OnKeyPress, this, ch);
      if (!ch.isNull() && !EditorMode() && CanEditShow()) {
        ShowEditor();
        if (QLineEdit* edit = InplaceEditor())
          edit->setText(QString(ch));
      }
      if (ch.isNull() || EditorMode())
        break;
    }
    e->ignore();
    return;
  }
  }
  e->accept();
}

void TCustomGrid::keyReleaseEvent(QKeyEvent* e)
{
  int key = e->key();
  Fire(OnKeyUp, this, key, ShiftStateOf(e->modifiers()));
  QAbstractScrollArea::keyReleaseEvent(e);
}

// ---------------------------------------------------------------------------------------------
// Mouse

int TCustomGrid::SizingColAt(int X, int Y) const
{
  if (!FOptions.Contains(goColSizing) || Y < 0 || Y >= FRows.FixedExtent())
    return -1;
  int c = FCols.CellAt(X + kSizingZone, FTopLeft.X, viewport()->width() + kSizingZone);
  // The border is the end of the cell left of the line; look at the cell whose end is nearest.
  for (int cand : {c, c - 1}) {
    if (cand < 0)
      continue;
    if (cand >= FixedCols() && cand < FTopLeft.X)
      continue;
    int start = FCols.Start(cand, FTopLeft.X, viewport()->width());
    if (start < 0)
      continue;
    int border = start + FCols.Size(cand);
    if (X >= border - kSizingZone && X <= border + kSizingZone)
      return cand;
  }
  return -1;
}

int TCustomGrid::SizingRowAt(int X, int Y) const
{
  if (!FOptions.Contains(goRowSizing) || X < 0 || X >= FCols.FixedExtent())
    return -1;
  int r = FRows.CellAt(Y + kSizingZone, FTopLeft.Y, viewport()->height() + kSizingZone);
  for (int cand : {r, r - 1}) {
    if (cand < 0)
      continue;
    if (cand >= FixedRows() && cand < FTopLeft.Y)
      continue;
    int start = FRows.Start(cand, FTopLeft.Y, viewport()->height());
    if (start < 0)
      continue;
    int border = start + FRows.Size(cand);
    if (Y >= border - kSizingZone && Y <= border + kSizingZone)
      return cand;
  }
  return -1;
}

void TCustomGrid::mousePressEvent(QMouseEvent* e)
{
  const QPoint p = e->position().toPoint();
  if (!hasFocus() && !EditorMode())
    setFocus(Qt::MouseFocusReason);
  if (e->button() == Qt::LeftButton) {
    FLeftPressed = true;
    LeftButtonDown(p, e->modifiers());
  }
  Fire(OnMouseDown, this, MouseButtonOf(e->button()), ShiftStateOf(e->modifiers(), e->buttons()), p.x(), p.y());
  e->accept();
}

// The second press of a double click: handled like any press (so a second press on the
// current cell opens the editor on release, and the owner sees the press with ssDouble), then
// OnDblClick. The pair of clicks raises OnClick once, for the first.
void TCustomGrid::mouseDoubleClickEvent(QMouseEvent* e)
{
  const QPoint p = e->position().toPoint();
  if (!hasFocus() && !EditorMode())
    setFocus(Qt::MouseFocusReason);
  if (e->button() == Qt::LeftButton)
    LeftButtonDown(p, e->modifiers());
  TShiftState shift = ShiftStateOf(e->modifiers(), e->buttons());
  shift.Include(ssDouble);
  Fire(OnMouseDown, this, MouseButtonOf(e->button()), shift, p.x(), p.y());
  if (e->button() == Qt::LeftButton)
    Fire(OnDblClick, this);
  e->accept();
}

void TCustomGrid::LeftButtonDown(QPoint p, Qt::KeyboardModifiers Mods)
{
  if (int c = SizingColAt(p.x(), p.y()); c >= 0) {
    HideEditor(true);
    FGridState = TGridState::gsColSizing;
    FSizingIndex = c;
    // The border keeps its distance to the mouse while it is dragged.
    FSizingStart = p.x() - FCols.Size(c);
    return;
  }
  if (int r = SizingRowAt(p.x(), p.y()); r >= 0) {
    HideEditor(true);
    FGridState = TGridState::gsRowSizing;
    FSizingIndex = r;
    FSizingStart = p.y() - FRows.Size(r);
    return;
  }
  TGridCoord cell = MouseCoord(p.x(), p.y());
  if (cell.X >= FixedCols() && cell.Y >= FixedRows()) {
    // A press on the cell that is already current opens the editor when the button goes up.
    FEditOnRelease = cell == FCurrent && !FNoSelection && !EditorMode() && FCurrent == FSelEnd;
    if (Mods.testFlag(Qt::ShiftModifier) && FOptions.Contains(goRangeSelect)) {
      MoveSelEnd(cell.X, cell.Y);
    } else {
      FocusCell(cell.X, cell.Y, true);
    }
    if (FOptions.Contains(goRangeSelect))
      FGridState = TGridState::gsSelecting;
  }
}

void TCustomGrid::mouseMoveEvent(QMouseEvent* e)
{
  const QPoint p = e->position().toPoint();
  switch (FGridState) {
  case TGridState::gsColSizing:
    SetColWidths(FSizingIndex, std::max(1, p.x() - FSizingStart));
    break;
  case TGridState::gsRowSizing:
    SetRowHeights(FSizingIndex, std::max(1, p.y() - FSizingStart));
    break;
  case TGridState::gsSelecting: {
    // Beyond an edge of the viewport the selection runs on, one cell per move.
    int w = viewport()->width();
    int h = viewport()->height();
    int x = std::clamp(p.x(), 0, w - 1);
    int y = std::clamp(p.y(), 0, h - 1);
    int c = FCols.CellAt(std::max(x, FCols.FixedExtent()), FTopLeft.X, w);
    int r = FRows.CellAt(std::max(y, FRows.FixedExtent()), FTopLeft.Y, h);
    if (c < 0)
      c = FCols.LastVisible(FTopLeft.X, w);
    if (r < 0)
      r = FRows.LastVisible(FTopLeft.Y, h);
    if (p.x() >= w)
      c = std::max(c, FSelEnd.X + 1);
    else if (p.x() < FCols.FixedExtent())
      c = std::min(c, FSelEnd.X - 1);
    if (p.y() >= h)
      r = std::max(r, FSelEnd.Y + 1);
    else if (p.y() < FRows.FixedExtent())
      r = std::min(r, FSelEnd.Y - 1);
    if (c != FSelEnd.X || r != FSelEnd.Y)
      FEditOnRelease = false;
    MoveSelEnd(c, r);
    break;
  }
  case TGridState::gsNormal:
    if (SizingColAt(p.x(), p.y()) >= 0)
      viewport()->setCursor(Qt::SplitHCursor);
    else if (SizingRowAt(p.x(), p.y()) >= 0)
      viewport()->setCursor(Qt::SplitVCursor);
    else
      viewport()->unsetCursor();
    break;
  }
  Fire(OnMouseMove, this, ShiftStateOf(e->modifiers(), e->buttons()), p.x(), p.y());
  e->accept();
}

void TCustomGrid::mouseReleaseEvent(QMouseEvent* e)
{
  bool openEditor = FEditOnRelease && FGridState != TGridState::gsColSizing &&
                    FGridState != TGridState::gsRowSizing && e->button() == Qt::LeftButton;
  FEditOnRelease = false;
  if (e->button() == Qt::LeftButton) {
    FGridState = TGridState::gsNormal;
    FSizingIndex = -1;
  }
  if (openEditor && CanEditShow())
    ShowEditor();
  const QPoint p = e->position().toPoint();
  Fire(OnMouseUp, this, MouseButtonOf(e->button()), ShiftStateOf(e->modifiers(), e->buttons()), p.x(), p.y());
  // A click is a left press and release inside the grid.
  if (e->button() == Qt::LeftButton && FLeftPressed) {
    FLeftPressed = false;
    if (viewport()->rect().contains(p))
      Fire(OnClick, this);
  }
  e->accept();
}


void TCustomGrid::wheelEvent(QWheelEvent* e)
{
  const QPoint delta = e->angleDelta();
  const QPoint pos = e->position().toPoint();
  bool handled = false;
  const TShiftState shift = ShiftStateOf(e->modifiers(), e->buttons());
  if (delta.y() < 0)
    Fire(OnMouseWheelDown, this, shift, pos, handled);
  else if (delta.y() > 0)
    Fire(OnMouseWheelUp, this, shift, pos, handled);
  if (!handled) {
    // One notch (120 units) scrolls the configured number of lines; Shift or a sideways wheel
    // scrolls columns. Fine-grained wheels and touchpads send parts of a notch: they add up.
    const long long step = delta.y() != 0 ? delta.y() : delta.x();
    const long long sum = FWheelRemainder + step;
    const long long notches = sum / 120;
    FWheelRemainder = static_cast<int>(sum - notches * 120);
    const long long lines = notches * std::max(1, QApplication::wheelScrollLines());
    const bool sideways = delta.y() == 0 || e->modifiers().testFlag(Qt::ShiftModifier);
    // Targets beyond the grid are clamped by MoveTopLeft; keep them inside an int first.
    auto target = [](int From, long long By) {
      return static_cast<int>(std::clamp(From - By, -1LL, static_cast<long long>(INT_MAX)));
    };
    if (notches != 0) {
      if (sideways)
        MoveTopLeft(target(FTopLeft.X, notches), FTopLeft.Y);
      else
        MoveTopLeft(FTopLeft.X, target(FTopLeft.Y, lines));
    }
  }
  e->accept();
}

void TCustomGrid::focusInEvent(QFocusEvent* e)
{
  QAbstractScrollArea::focusInEvent(e);
  InvalidateCell(FCurrent.X, FCurrent.Y);
}

void TCustomGrid::focusOutEvent(QFocusEvent* e)
{
  QAbstractScrollArea::focusOutEvent(e);
  InvalidateCell(FCurrent.X, FCurrent.Y);
}

}  // namespace orvex
