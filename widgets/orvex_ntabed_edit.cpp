// TNTabEd: typing into cells, keys and mouse. The in-place editor starts with the cell's text (a
// level label for Nominal and Ordinal columns, which edit with a drop-down of their labels) and
// its text is stored back as a number or a level. Whether the editor may open follows a click
// rule: a press on a new cell only selects it, typing or a second press on the same cell edits.
// Read-only cells and a read-only table never edit. The heading edit box and the comment memo
// close on Enter (storing) or Escape.
#include "orvex_ntabed.h"

#include "orvex_ntabed_internal.h"
#include "orvex_stringl.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QWheelEvent>
#include <cctype>
#include <cmath>
#include <limits>

namespace orvex {

namespace {

std::string_view TrimBlanks(std::string_view S)
{
  while (!S.empty() && S.front() == ' ')
    S.remove_prefix(1);
  while (!S.empty() && S.back() == ' ')
    S.remove_suffix(1);
  return S;
}

bool IsDigit(char C)
{
  return C >= '0' && C <= '9';
}

// A typed number: optional sign, digits with an optional ".", optional exponent. Converted
// without the locale; a result beyond the double range is no number.
bool ParseTypedNumber(std::string_view S, double& Value)
{
  std::string text;
  std::size_t i = 0;
  if (i < S.size() && (S[i] == '+' || S[i] == '-')) {
    if (S[i] == '-')
      text += '-';
    ++i;
  }
  std::size_t digits = 0;
  std::string mantissa;
  while (i < S.size() && IsDigit(S[i])) {
    mantissa += S[i++];
    ++digits;
  }
  if (i < S.size() && S[i] == '.') {
    mantissa += S[i++];
    while (i < S.size() && IsDigit(S[i])) {
      mantissa += S[i++];
      ++digits;
    }
  }
  if (digits == 0)
    return false;
  if (mantissa.front() == '.')
    text += '0';
  text += mantissa;
  if (text.back() == '.')
    text += '0';
  if (i < S.size() && (S[i] == 'e' || S[i] == 'E')) {
    text += 'E';
    ++i;
    if (i < S.size() && (S[i] == '+' || S[i] == '-'))
      text += S[i++];
    std::size_t expDigits = 0;
    while (i < S.size() && IsDigit(S[i])) {
      text += S[i++];
      ++expDigits;
    }
    if (expDigits == 0)
      return false;
  }
  if (i != S.size())
    return false;
  bool overflow = false;
  return ConvertDecimal(text, Value, overflow) && !overflow && std::isfinite(Value);
}

// A typed level number: an optional sign and digits only, inside the 32-bit range.
bool ParseTypedInteger(std::string_view S, double& Value)
{
  std::size_t i = (!S.empty() && (S[0] == '+' || S[0] == '-')) ? 1 : 0;
  if (i == S.size())
    return false;
  for (std::size_t k = i; k < S.size(); ++k)
    if (!IsDigit(S[k]))
      return false;
  if (!ParseTypedNumber(S, Value))
    return false;
  return Value >= std::numeric_limits<std::int32_t>::min() && Value <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Edit text

TEditStyle TNTabEd::GetEditStyle(int ACol, int ARow)
{
  if (DataCell(ACol, ARow) && IsLevelType(FData->VarType(ACol - FAC)))
    return esPickList;
  return esSimple;
}

void TNTabEd::GetPickListItems(int ACol, int ARow, std::vector<std::string>& Items)
{
  FPickList.clear();
  if (DataCell(ACol, ARow)) {
    const int j = ACol - FAC;
    for (int n = 0; n <= MaxLevel; ++n) {
      std::string label = FData->LevelName(j, n);
      if (!label.empty())
        FPickList.push_back(std::move(label));
    }
  }
  Items = FPickList;
}

std::string TNTabEd::GetEditText(int ACol, int ARow)
{
  std::string text;
  if (DataCell(ACol, ARow)) {
    const int j = ACol - FAC;
    const int r = ARow - FAR;
    const double v = FData->Elem(j, r);
    if (IsLevelType(FData->VarType(j))) {
      const double n = std::nearbyint(v);
      if (n >= 0 && n <= MaxLevel)
        text = FData->LevelName(j, static_cast<int>(n));
      if (text.empty())
        text = WholeNumberText(n);
    } else {
      text = FormatCellNumber(v, FNumWidth, ColPrecision(j));
    }
  }
  Fire(OnGetEditText, this, ACol, ARow, text);
  return text;
}

void TNTabEd::SetEditText(int ACol, int ARow, const std::string& Value)
{
  Guarded([&] {
    if (DataCell(ACol, ARow))
      StoreEditText(ACol - FAC, ARow - FAR, Value);
    TCustomGrid::SetEditText(ACol, ARow, Value);
  });
}

// Stores typed text into data cell (Col, Row). Text that is no number (or no level) marks the
// cell as not a number and keeps its value.
void TNTabEd::StoreEditText(int Col, int Row, const std::string& Text)
{
  const std::uint8_t state = FData->CellState(Col, Row);
  if (IsLevelType(FData->VarType(Col))) {
    const bool ranged = FVRangeLow != 0 || FVRangeHigh != 0;
    auto clampLevel = [&](double n) {
      if (!ranged)
        return n;
      const double lo = std::round(FVRangeLow);
      const double hi = std::round(FVRangeHigh);
      return n < lo ? lo : n > hi ? hi : n;
    };
    const int level = FData->FindLevel(Col, Text, true);
    double n = 0;
    if (level >= 0) {
      FData->SetElem(Col, Row, clampLevel(level));
      FData->SetCellState(Col, Row, 0);
    } else if (ParseTypedInteger(TrimBlanks(Text), n)) {
      FData->SetElem(Col, Row, clampLevel(n));
      FData->SetCellState(Col, Row, state & ~csNotANumber);
    } else {
      FData->SetCellState(Col, Row, state | csNotANumber);
    }
    return;
  }
  const std::string text = ReplaceChar(Text, ',', '.');
  double v = 0;
  if (ParseTypedNumber(TrimBlanks(text), v)) {
    FData->SetElem(Col, Row, ClampToRange(v));
    FData->SetCellState(Col, Row, state & ~csNotANumber);
  } else {
    FData->SetCellState(Col, Row, state | csNotANumber);
  }
}

// ---------------------------------------------------------------------------------------------
// Editing permission

void TNTabEd::SetEditingAllowed(bool Value)
{
  TGridOptions o = Options();
  if (Value == o.Contains(goEditing))
    return;
  if (Value)
    o.Include(goEditing);
  else
    o.Exclude(goEditing);
  TCustomGrid::SetOptions(o);
}

bool TNTabEd::CellReadOnly(int ACol, int ARow) const
{
  return DataCell(ACol, ARow) && (FData->CellState(ACol - FAC, ARow - FAR) & csReadOnly);
}

bool TNTabEd::CellEditable(int ACol, int ARow) const
{
  return !FDataReadOnly && DataCell(ACol, ARow) && !CellReadOnly(ACol, ARow);
}

bool TNTabEd::CanEditShow() const
{
  return TCustomGrid::CanEditShow() && CellEditable(Col(), Row()) && !FHeadEditing && !FCommentEditing;
}

void TNTabEd::SetDataReadOnly(bool Value)
{
  FDataReadOnly = Value;
  if (Value)
    HideEditor(false);
  SetEditingAllowed(!Value);
}

// ---------------------------------------------------------------------------------------------
// Keys

void TNTabEd::AfterNavigation()
{
  ReportSelection(true);
  if (FShowCellCursor)
    InvalidateCell(0, 0);
  Invalidate();
}

void TNTabEd::keyPressEvent(QKeyEvent* e)
{
  Guarded([&] {
    const int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers();
    const bool editorOpen = EditorMode();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const bool arrow = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
    const bool readOnlyCell = CellReadOnly(Col(), Row());
    e->accept();
    if (key == Qt::Key_Escape && editorOpen) {
      // Closed first: switching editing off would hand the text over.
      HideEditor(false);
      SetEditingAllowed(false);
      return;
    }
    if (key == Qt::Key_Escape) {
      ClearRowSelection();
      return;
    }
    if (readOnlyCell && !enter && !arrow)
      return;
    const QString text = e->text();
    const bool character = !text.isEmpty() && text.at(0).isPrint() && !mods.testFlag(Qt::ControlModifier) &&
                           !mods.testFlag(Qt::AltModifier);
    if (character && !editorOpen) {
      if (FDataReadOnly || readOnlyCell) {
        SetEditingAllowed(false);
        return;
      }
      SetEditingAllowed(true);
    }
    if (enter && FAutoAdvance) {
      // Enter stores an open editor's text and moves on as the arrow key would.
      if (editorOpen)
        HideEditor(true);
      QKeyEvent arrowKey(QEvent::KeyPress, FAutoAdvanceDir == orVert ? Qt::Key_Down : Qt::Key_Right, Qt::NoModifier);
      TCustomGrid::keyPressEvent(&arrowKey);
    } else {
      TCustomGrid::keyPressEvent(e);
    }
    AfterNavigation();
  });
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TNTabEd::mousePressEvent(QMouseEvent* e)
{
  Guarded([&] {
    const QPoint p = e->position().toPoint();
    const TGridCoord cell = MouseCoord(p.x(), p.y());
    e->accept();
    if (FHeadEditing)
      return;
    if (FCommentEditing) {
      if (cell == TGridCoord{0, 0})
        CloseCommentMemo(false);
      return;
    }
    FLastClickPos = p;
    FPrevClickedCell = FClickedCell;
    FClickedCell = cell;
    const bool left = e->button() == Qt::LeftButton;
    if (left && DataCell(cell.X, cell.Y)) {
      if (cell == FPrevClickedCell)
        SetEditingAllowed(CellEditable(cell.X, cell.Y));
      else
        SetEditingAllowed(false);
    }
    TCustomGrid::mousePressEvent(e);
    if (e->button() == Qt::RightButton && cell.X >= 0 && cell.Y >= 0) {
      // The corner opens the comment editor also when the owner has a popup menu of its own,
      // which would otherwise leave no way to edit the comment.
      const bool corner = cell == TGridCoord{0, 0};
      if (corner && FCommentEditingAllowed && !FBlockInternalPopup) {
        OpenCommentEditor();
      } else if (FPopupMenu) {
        ShowMenu(FPopupMenu, p);
      } else if (!FBlockInternalPopup) {
        const bool headerCol = cell.X <= FAC;
        const bool headerRow = cell.Y <= FAR;
        if (!headerCol && !headerRow)
          OpenDataPopup(p);
        else if (headerCol != headerRow)
          OpenHeadingPopup(cell.X, cell.Y);
      }
    }
    if (left && DataCell(cell.X, cell.Y))
      InvalidateCell(0, 0);
    ReportSelection(false);
  });
}

void TNTabEd::mouseDoubleClickEvent(QMouseEvent* e)
{
  Guarded([&] {
    e->accept();
    if (FHeadEditing || FCommentEditing)
      return;
    const QPoint p = e->position().toPoint();
    const TGridCoord cell = MouseCoord(p.x(), p.y());
    FPrevClickedCell = FClickedCell;
    FClickedCell = cell;
    if (e->button() == Qt::LeftButton && DataCell(cell.X, cell.Y) && cell == FPrevClickedCell)
      SetEditingAllowed(CellEditable(cell.X, cell.Y));
    TCustomGrid::mouseDoubleClickEvent(e);
    ReportSelection(false);
  });
}

void TNTabEd::mouseReleaseEvent(QMouseEvent* e)
{
  Guarded([&] {
    e->accept();
    if (FHeadEditing || FCommentEditing)
      return;
    const QPoint p = e->position().toPoint();
    const TGridCoord cell = MouseCoord(p.x(), p.y());
    if (e->button() == Qt::LeftButton) {
      FClickedCell = cell;
      SetEditingAllowed(!FDataReadOnly && !CellReadOnly(cell.X, cell.Y));
    }
    TCustomGrid::mouseReleaseEvent(e);
    ReportSelection(false);
  });
}

void TNTabEd::mouseMoveEvent(QMouseEvent* e)
{
  Guarded([&] {
    TCustomGrid::mouseMoveEvent(e);
    ReportSelection(false);
  });
}

void TNTabEd::wheelEvent(QWheelEvent* e)
{
  Guarded([&] {
    TCustomGrid::wheelEvent(e);
    AfterNavigation();
  });
}

// ---------------------------------------------------------------------------------------------
// Heading edit box and comment memo

void TNTabEd::CloseHeadingEdit(bool Accept)
{
  if (!FHeadEditing)
    return;
  FHeadEditing = false;
  const TGridCoord cell = FHeadEditCell;
  FHeadEditCell = {-1, -1};
  const std::string text = FHeadEdit->text().toStdString();
  FHeadEdit->hide();
  setFocus(Qt::OtherFocusReason);
  if (!Accept)
    return;
  const bool attribute = (FAR == 1 && cell.Y == 1 && cell.X > FAC) || (FAC == 1 && cell.X == 1 && cell.Y > FAR);
  if (attribute) {
    double v = 0;
    if (!ParseTypedNumber(TrimBlanks(ReplaceChar(text, ',', '.')), v))
      return;
    const int a = static_cast<int>(std::round(std::clamp(v, 0.0, 255.0)));
    if (cell.Y == 1 && FAR == 1)
      SetColAttrib(cell.X - FAC, a);
    else
      SetRowAttrib(cell.Y - FAR, a);
    Notify(OnHeadingChanged);
  } else if (cell.Y == 0) {
    SetColName(cell.X - FAC, text);
  } else {
    SetRowName(cell.Y - FAR, text);
  }
}

void TNTabEd::CommitOpenEdits()
{
  HideEditor(true);
  CloseHeadingEdit(true);
  CloseCommentMemo(true);
}

void TNTabEd::CloseCommentMemo(bool Accept)
{
  if (!FCommentEditing)
    return;
  FCommentEditing = false;
  FCommentMemo->hide();
  setFocus(Qt::OtherFocusReason);
  InvalidateCell(0, 0);
  if (Accept)
    SetComment(FCommentMemo->toPlainText().toStdString());
}

bool TNTabEd::eventFilter(QObject* Watched, QEvent* e)
{
  const bool head = FHeadEdit && Watched == FHeadEdit;
  const bool memo = FCommentMemo && Watched == FCommentMemo;
  if ((head || memo) && e->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(e)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (enter || key == Qt::Key_Escape) {
      Guarded([&] {
        if (head)
          CloseHeadingEdit(enter);
        else
          CloseCommentMemo(enter);
      });
      return true;
    }
    return false;
  }
  return TCustomGrid::eventFilter(Watched, e);
}

}  // namespace orvex
