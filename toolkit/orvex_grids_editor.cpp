// TCustomGrid: the in-place editor. A line edit, or an editable drop-down pick list, laid over
// the current cell. The text it starts with comes from GetEditText; a changed text is handed to
// SetEditText when the editor closes with acceptance (Enter, moving to another cell, focus
// leaving the editor) or when an item of the pick list is chosen. Escape closes it without
// handing anything over, so a cell that was only looked at keeps its full-precision value.
#include "orvex_grids.h"

#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace orvex {

bool TCustomGrid::CanEditShow() const
{
  return FOptions.Contains(goEditing) && !FOptions.Contains(goRowSelect) && !FNoSelection &&
         FCurrent.X >= FixedCols() && FCurrent.Y >= FixedRows();
}

std::string TCustomGrid::GetEditText(int ACol, int ARow)
{
  std::string value;
  Fire(OnGetEditText, this, ACol, ARow, value);
  return value;
}

void TCustomGrid::SetEditText(int ACol, int ARow, const std::string& Value)
{
  Fire(OnSetEditText, this, ACol, ARow, Value);
}

TEditStyle TCustomGrid::GetEditStyle(int ACol, int ARow)
{
  TEditStyle style = esSimple;
  Fire(OnGetEditStyle, this, ACol, ARow, style);
  return style;
}

void TCustomGrid::GetPickListItems(int ACol, int ARow, std::vector<std::string>& Items)
{
  Fire(OnGetPickListItems, this, ACol, ARow, Items);
}

bool TCustomGrid::EditorMode() const
{
  return FEditing;
}

void TCustomGrid::SetEditorMode(bool Value)
{
  if (Value)
    ShowEditor();
  else
    HideEditor(true);
}

void TCustomGrid::SetDropDownRows(int Value)
{
  if (Value < 1)
    return;
  FDropDownRows = Value;
  if (FPickList)
    FPickList->setMaxVisibleItems(Value);
}

QLineEdit* TCustomGrid::InplaceEditor() const
{
  if (!FEditing)
    return nullptr;
  return FEditStyle == esPickList ? FPickList->lineEdit() : FEdit;
}

QComboBox* TCustomGrid::InplacePickList() const
{
  return FEditing && FEditStyle == esPickList ? FPickList : nullptr;
}

void TCustomGrid::ShowEditor()
{
  if (FEditing) {
    UpdateEditorGeometry();
    return;
  }
  if (!CanEditShow())
    return;
  ScrollIntoView(FCurrent);
  FEditCell = FCurrent;
  FEditStyle = GetEditStyle(FEditCell.X, FEditCell.Y);
  const std::string text = GetEditText(FEditCell.X, FEditCell.Y);
  const QFont font = FFont.ToQFont();
  QWidget* shown = nullptr;
  QLineEdit* edit = nullptr;
  if (FEditStyle == esPickList) {
    if (!FPickList) {
      FPickList = new QComboBox(viewport());
      FPickList->setEditable(true);
      FPickList->setInsertPolicy(QComboBox::NoInsert);
      FPickList->setFrame(false);
      FPickList->installEventFilter(this);
      FPickList->lineEdit()->installEventFilter(this);
      // Choosing an item hands it over at once, as a user of a drop-down expects.
      connect(FPickList, &QComboBox::textActivated, this, [this](const QString& Text) {
        if (!FEditing || FEditStyle != esPickList)
          return;
        std::string value = Text.toStdString();
        if (value != FEditBaseline) {
          FEditBaseline = value;
          SetEditText(FEditCell.X, FEditCell.Y, value);
        }
      });
    }
    std::vector<std::string> items;
    GetPickListItems(FEditCell.X, FEditCell.Y, items);
    FPickList->clear();
    for (const std::string& item : items)
      FPickList->addItem(QString::fromStdString(item));
    FPickList->setMaxVisibleItems(FDropDownRows);
    FPickList->setFont(font);
    FPickList->setEditText(QString::fromStdString(text));
    shown = FPickList;
    edit = FPickList->lineEdit();
  } else {
    if (!FEdit) {
      FEdit = new QLineEdit(viewport());
      FEdit->setFrame(false);
      FEdit->installEventFilter(this);
    }
    FEdit->setFont(font);
    FEdit->setText(QString::fromStdString(text));
    shown = FEdit;
    edit = FEdit;
  }
  FEditBaseline = text;
  FEditing = true;
  UpdateEditorGeometry();
  if (!FEditing)
    return;
  shown->show();
  shown->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
}

void TCustomGrid::HideEditor(bool Accept)
{
  if (!FEditing || FClosingEditor)
    return;
  FClosingEditor = true;
  QWidget* shown = FEditStyle == esPickList ? static_cast<QWidget*>(FPickList) : FEdit;
  QLineEdit* edit = FEditStyle == esPickList ? FPickList->lineEdit() : FEdit;
  const TGridCoord cell = FEditCell;
  const std::string text = edit->text().toStdString();
  const bool hadFocus = shown->isAncestorOf(QApplication::focusWidget()) || shown->hasFocus();
  FEditing = false;
  FEditCell = {-1, -1};
  shown->hide();
  if (hadFocus)
    setFocus(Qt::OtherFocusReason);
  FClosingEditor = false;
  if (Accept && text != FEditBaseline)
    SetEditText(cell.X, cell.Y, text);
  InvalidateCell(cell.X, cell.Y);
}

// Keeps the editor over its cell; a cell scrolled out of view ends the editing.
void TCustomGrid::UpdateEditorGeometry()
{
  if (!FEditing)
    return;
  TRect r = CellRect(FEditCell.X, FEditCell.Y);
  if (r.IsEmpty()) {
    HideEditor(true);
    return;
  }
  QWidget* shown = FEditStyle == esPickList ? static_cast<QWidget*>(FPickList) : FEdit;
  shown->setGeometry(r.ToQRect());
}

void TCustomGrid::ForwardEditorKey(QKeyEvent* e)
{
  QKeyEvent copy(e->type(), e->key(), e->modifiers(), e->text(), e->isAutoRepeat(), e->count());
  keyPressEvent(&copy);
}

bool TCustomGrid::eventFilter(QObject* Watched, QEvent* e)
{
  if (Watched == parentWidget() && e->type() == QEvent::Resize)
    ApplyAlign();
  const bool isEditor = FEditing && (Watched == FEdit || (FPickList && (Watched == FPickList ||
                                                                         Watched == FPickList->lineEdit())));
  if (!isEditor)
    return QAbstractScrollArea::eventFilter(Watched, e);
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    const bool alt = k->modifiers().testFlag(Qt::AltModifier);
    switch (k->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (alt)  // Alt+Down opens the pick list
        return false;
      [[fallthrough]];
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      // Without goTabs, Tab leaves the grid as usual (the editor closes on losing the focus).
      if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) && !FOptions.Contains(goTabs))
        return false;
      [[fallthrough]];
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      // Navigation and closing keys belong to the grid, which closes the editor as needed.
      ForwardEditorKey(k);
      return true;
    default:
      return false;
    }
  }
  if (e->type() == QEvent::FocusOut) {
    auto* f = static_cast<QFocusEvent*>(e);
    QWidget* now = QApplication::focusWidget();
    QWidget* shown = FEditStyle == esPickList ? static_cast<QWidget*>(FPickList) : FEdit;
    const bool stillInside = now && (now == shown || shown->isAncestorOf(now) ||
                                     (FPickList && FEditStyle == esPickList && FPickList->view() &&
                                      FPickList->view()->isAncestorOf(now)));
    if (f->reason() != Qt::PopupFocusReason && !stillInside)
      HideEditor(true);
  }
  return false;
}

}  // namespace orvex
