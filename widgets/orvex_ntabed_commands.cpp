// TNTabEd: the two internal popup menus and their commands. The data menu marks and unmarks
// cells, clears, copies, pastes and extracts, toggles read-only and empty states; the heading
// menu edits a name or attribute, steps a column's precision, selects, inserts and deletes
// columns and rows. Menus open without blocking through PopupHook; every command runs guarded,
// so that an error is shown instead of leaving a Qt handler, and the table keeps its contents.
#include "orvex_ntabed.h"

#include "orvex_ntabed_internal.h"
#include "orvex_resources.h"

#include <QAction>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPlainTextEdit>

namespace orvex {

namespace {
// clang-format off
constexpr const char* kDataCaptions[13] = {"Mark as type A",     "Mark as type B", "Unmark type A",
                                           "Unmark type B",      "Unmark All",     "Clear",
                                           "Copy",               "Paste",          "Extract from Clipboard",
                                           "Data Read-Only",     "Select All",     "Toggle Empty State",
                                           "Reset All Empty States"};
// clang-format on
constexpr const char* kScopeCaptions[4] = {"Range", "Column", "Row", "All"};
constexpr const char* kScopeNames[4] = {"M1It", "M2It", "U1It", "U2It"};
constexpr const char* kHeadCaptions[5] = {"Edit Heading", "Change Precision", "Select..", "Insert..", "Delete.."};
constexpr TColor kCommentBack = 8421376;  // teal
constexpr int kCommentHeight = 80;

QString Q(const char* S)
{
  return QString::fromUtf8(S);
}
}  // namespace

TMenuCommand::TMenuCommand(QAction* Action) : FAction(Action)
{
  SetName(Action->objectName().toStdString());
}

void TNTabEd::CreateMenus()
{
  FPopupDT = new QMenu(this);
  FPopupDT->setObjectName(QStringLiteral("PopupDTAction"));
  for (int i = 0; i < 13; ++i) {
    QAction* a = FPopupDT->addAction(Q(kDataCaptions[i]));
    a->setObjectName(QStringLiteral("DIt%1").arg(i + 1));
    FDataItems[static_cast<std::size_t>(i)] = a;
  }
  FClearCommand = std::make_unique<TMenuCommand>(FDataItems[5]);
  for (int m = 0; m < 4; ++m) {
    auto* sub = new QMenu(FPopupDT);
    const std::uint8_t bit = (m % 2 == 0) ? csMarkA : csMarkB;
    const bool set = m < 2;
    for (int i = 0; i < 4; ++i) {
      QAction* a = sub->addAction(Q(kScopeCaptions[i]));
      a->setObjectName(QStringLiteral("%1%2").arg(Q(kScopeNames[m])).arg(i + 1));
      const auto scope = static_cast<TCellScope>(i);
      connect(a, &QAction::triggered, this, [this, bit, set, scope] { MarkCells(bit, set, scope); });
      FScopeItems[static_cast<std::size_t>(m)][static_cast<std::size_t>(i)] = a;
    }
    FDataItems[static_cast<std::size_t>(m)]->setMenu(sub);
  }
  const std::array<void (TNTabEd::*)(), 9> dataCommands = {
      &TNTabEd::UnmarkAll,  &TNTabEd::ClearSelection,       &TNTabEd::CopySelection,
      &TNTabEd::PasteBlock, &TNTabEd::ExtractFromClipboard, &TNTabEd::ToggleDataReadOnly,
      &TNTabEd::SelectAll,  &TNTabEd::ToggleEmptyState,     &TNTabEd::ResetAllEmptyStates};
  for (std::size_t i = 0; i < dataCommands.size(); ++i) {
    auto command = dataCommands[i];
    connect(FDataItems[i + 4], &QAction::triggered, this, [this, command] { (this->*command)(); });
  }

  FPopupHT = new QMenu(this);
  FPopupHT->setObjectName(QStringLiteral("PopupHTAction"));
  for (int i = 0; i < 5; ++i) {
    QAction* a = FPopupHT->addAction(Q(kHeadCaptions[i]));
    a->setObjectName(QStringLiteral("HIt%1").arg(i + 1));
    FHeadItems[static_cast<std::size_t>(i)] = a;
  }
  connect(FHeadItems[0], &QAction::triggered, this, [this] { EditHeading(FMenuCell.X, FMenuCell.Y); });
  connect(FHeadItems[1], &QAction::triggered, this, [this] { ChangePrecision(FMenuCell.X); });
  connect(FHeadItems[2], &QAction::triggered, this, [this] { SelectHeading(FMenuCell.X, FMenuCell.Y); });
  connect(FHeadItems[3], &QAction::triggered, this, [this] { InsertHeading(FMenuCell.X, FMenuCell.Y); });
  connect(FHeadItems[4], &QAction::triggered, this, [this] { DeleteHeading(FMenuCell.X, FMenuCell.Y); });
  // The header drawn inverted while its menu is open returns to normal when the menu closes.
  connect(FPopupHT, &QMenu::aboutToHide, this, [this] {
    const TGridCoord cell = FInvertedHeader;
    FInvertedHeader = {-1, -1};
    InvalidateCell(cell.X, cell.Y);
  });
}

QAction* TNTabEd::DataItem(int Nr) const
{
  return Nr >= 1 && Nr <= 13 ? FDataItems[static_cast<std::size_t>(Nr - 1)] : nullptr;
}

QAction* TNTabEd::HeadItem(int Nr) const
{
  return Nr >= 1 && Nr <= 5 ? FHeadItems[static_cast<std::size_t>(Nr - 1)] : nullptr;
}

QAction* TNTabEd::ScopeItem(int Submenu, int Nr) const
{
  if (Submenu < 0 || Submenu > 3 || Nr < 1 || Nr > 4)
    return nullptr;
  return FScopeItems[static_cast<std::size_t>(Submenu)][static_cast<std::size_t>(Nr - 1)];
}

void TNTabEd::ShowMenu(QMenu* Menu, QPoint ViewportPos)
{
  const QPoint global = viewport()->mapToGlobal(ViewportPos);
  if (PopupHook)
    PopupHook(Menu, global);
}

void TNTabEd::OpenDataPopup(QPoint Pos)
{
  FDataItems[9]->setIcon(QIcon(QPixmap::fromImage(ResourceImage(FDataReadOnly ? "CHECKEDBOX" : "EMPTYBOX"))));
  Fire(OnBeforePopup, this, FPopupDT);
  FDataItems[7]->setEnabled((FCopyFilled || ClipboardHoldsForeignText()) && !FDataReadOnly);
  FDataItems[5]->setEnabled(!FDataReadOnly);
  FDataItems[8]->setEnabled(!FDataReadOnly);
  ShowMenu(FPopupDT, Pos + QPoint(10, -20));
}

void TNTabEd::OpenHeadingPopup(int ACol, int ARow)
{
  FMenuCell = {ACol, ARow};
  const bool column = ACol > FAC;
  FHeadItems[2]->setText(column ? QStringLiteral("Select Column") : QStringLiteral("Select Row"));
  FHeadItems[3]->setText(column ? QStringLiteral("Insert Column") : QStringLiteral("Insert Row"));
  FHeadItems[4]->setText(column ? QStringLiteral("Delete Column") : QStringLiteral("Delete Row"));
  FHeadItems[1]->setEnabled(column);
  FHeadItems[3]->setEnabled(!FDataReadOnly);
  FHeadItems[4]->setEnabled(!FDataReadOnly);
  FInvertedHeader = FMenuCell;
  InvalidateCell(ACol, ARow);
  Fire(OnBeforePopup, this, FPopupHT);
  const TRect r = CellRect(ACol, ARow);
  ShowMenu(FPopupHT, QPoint(r.Left + 20, r.Top + 20));
}

void TNTabEd::OpenCommentEditor()
{
  if (!FCommentMemo) {
    FCommentMemo = new QPlainTextEdit(viewport());
    FCommentMemo->setObjectName(QStringLiteral("CommentMemo"));
    QPalette pal = FCommentMemo->palette();
    pal.setColor(QPalette::Base, ToQColor(kCommentBack));
    pal.setColor(QPalette::Text, Qt::white);
    FCommentMemo->setPalette(pal);
    FCommentMemo->installEventFilter(this);
  }
  FCommentEditing = true;
  InvalidateCell(0, 0);
  const int left = ColWidths(0);
  FCommentMemo->setGeometry(left, 0, std::max(0, ClientWidth() - left - 20), kCommentHeight);
  FCommentMemo->setPlainText(QString::fromStdString(FData->Comment()));
  FCommentMemo->show();
  FCommentMemo->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------------------------
// Heading commands (grid coordinates of a name or attribute cell)

namespace {
bool IsHeaderCell(int ACol, int ARow, int AC, int AR, int Cols, int Rows)
{
  const bool inCols = ACol <= AC;
  const bool inRows = ARow <= AR;
  return inCols != inRows && ACol >= 0 && ARow >= 0 && ACol <= Cols + AC && ARow <= Rows + AR;
}
}  // namespace

void TNTabEd::EditHeading(int ACol, int ARow)
{
  Guarded([&] {
    if (!IsHeaderCell(ACol, ARow, FAC, FAR, NrOfColumns(), NrOfRows()))
      return;
    if (!FHeadEdit) {
      FHeadEdit = new QLineEdit(viewport());
      FHeadEdit->setObjectName(QStringLiteral("HeadingEdit"));
      FHeadEdit->installEventFilter(this);
    }
    HideEditor(true);
    const bool attribute = (FAR == 1 && ARow == 1) || (FAC == 1 && ACol == 1);
    std::string text;
    if (attribute)
      text = std::to_string(ARow == 1 && FAR == 1 ? ColAttrib(ACol - FAC) : RowAttrib(ARow - FAR));
    else
      text = ARow == 0 ? ColName(ACol - FAC) : RowName(ARow - FAR);
    const TRect r = CellRect(ACol, ARow);
    FHeadEdit->setFont(Font().ToQFont());
    FHeadEdit->setGeometry(r.Left + 30, r.Bottom + 5, std::max(160, r.Width()), FHeadEdit->sizeHint().height());
    FHeadEdit->setText(QString::fromStdString(text));
    FHeadEditCell = {ACol, ARow};
    FHeadEditing = true;
    FHeadEdit->show();
    FHeadEdit->setFocus(Qt::OtherFocusReason);
    FHeadEdit->selectAll();
  });
}

void TNTabEd::ChangePrecision(int ACol)
{
  Guarded([&] {
    const int j = ACol - FAC;
    if (j < 1 || j > NrOfColumns())
      return;
    int p = ColPrecision(j) - 1;
    if (p < -1)
      p = 10;
    FColPrecision[static_cast<std::size_t>(j - 1)] = static_cast<std::int8_t>(p);
    Repaint();
    // The menu opens again at the same place, so that the user can step on.
    const int row = FMenuCell.X == ACol ? FMenuCell.Y : 0;
    FMenuCell = {ACol, row};
    FInvertedHeader = FMenuCell;
    InvalidateCell(ACol, row);
    const TRect r = CellRect(ACol, row);
    ShowMenu(FPopupHT, QPoint(r.Left + 20, r.Top + 20));
    Notify(OnLayoutChanged);
  });
}

void TNTabEd::SelectHeading(int ACol, int ARow)
{
  Guarded([&] {
    if (!IsHeaderCell(ACol, ARow, FAC, FAR, NrOfColumns(), NrOfRows()))
      return;
    if (ACol > FAC)
      SelectData(ACol - FAC, 1, ACol - FAC, NrOfRows());
    else
      SelectData(1, ARow - FAR, NrOfColumns(), ARow - FAR);
    Repaint();
    ReportSelection(true);
  });
}

void TNTabEd::InsertHeading(int ACol, int ARow)
{
  Guarded([&] {
    if (FDataReadOnly || !IsHeaderCell(ACol, ARow, FAC, FAR, NrOfColumns(), NrOfRows()))
      return;
    {
      TSuspendTableChange detach(*this);
      if (ACol > FAC)
        InsertColumn(ACol - FAC);
      else
        InsertRow(ARow - FAR);
    }
    Notify(OnChangeSetup);
    if (ACol > FAC)
      SetColName(ACol - FAC, "(...)");
    else
      SetRowName(ARow - FAR, "(...)");
  });
}

void TNTabEd::DeleteHeading(int ACol, int ARow)
{
  Guarded([&] {
    if (FDataReadOnly || !IsHeaderCell(ACol, ARow, FAC, FAR, NrOfColumns(), NrOfRows()))
      return;
    if (ACol > FAC) {
      if (NrOfColumns() < 2)
        return;
      DeleteColumn(ACol - FAC);
    } else {
      if (NrOfRows() < 2)
        return;
      DeleteRow(ARow - FAR);
    }
    Notify(OnChangeSetup);
  });
}

// ---------------------------------------------------------------------------------------------
// Data commands

void TNTabEd::ForEachInScope(TCellScope Scope, const std::function<void(int Col, int Row)>& Action)
{
  TGridRect b = DataSelection();
  switch (Scope) {
  case scRange:
    break;
  case scColumn:
    b.Top = 1;
    b.Bottom = NrOfRows();
    break;
  case scRow:
    b.Left = 1;
    b.Right = NrOfColumns();
    break;
  case scAll:
    b = {1, 1, NrOfColumns(), NrOfRows()};
    break;
  }
  if (!HasSelection() && Scope != scAll)
    return;
  for (int c = b.Left; c <= b.Right; ++c)
    for (int r = b.Top; r <= b.Bottom; ++r)
      Action(c, r);
}

void TNTabEd::MarkCells(std::uint8_t Mark, bool Set, TCellScope Scope)
{
  Guarded([&] {
    {
      TUpdateLock lock(*this);
      ForEachInScope(Scope, [&](int c, int r) {
        const std::uint8_t s = FData->CellState(c, r);
        FData->SetCellState(c, r, Set ? (s | Mark) : (s & ~Mark));
      });
    }
    Repaint();
    Notify(OnCellStateChanged);
  });
}

void TNTabEd::UnmarkAll()
{
  Guarded([&] {
    {
      TUpdateLock lock(*this);
      FData->ClearMarks();
    }
    Repaint();
    Notify(OnCellStateChanged);
  });
}

void TNTabEd::ClearSelection()
{
  Guarded([&] {
    if (FDataReadOnly)
      return;
    {
      TUpdateLock lock(*this);
      TSuspendTableChange detach(*this);
      WithBackup(*FData, DataSelection(), [&] {
        if (OnClear) {
          OnClear(FClearCommand.get());
          return;
        }
        ForEachInScope(scRange, [&](int c, int r) {
          FData->SetElem(c, r, 0);
          FData->SetCellState(c, r, 0);
        });
      });
    }
    Repaint();
    Notify(OnChange);
    Notify(OnCellStateChanged);
  });
}

void TNTabEd::ToggleEmptyState()
{
  Guarded([&] {
    {
      TUpdateLock lock(*this);
      ForEachInScope(scRange, [&](int c, int r) { FData->SetCellState(c, r, FData->CellState(c, r) ^ csEmpty); });
    }
    Repaint();
    Notify(OnEmptyStChanged);
  });
}

void TNTabEd::ResetAllEmptyStates()
{
  Guarded([&] {
    {
      TUpdateLock lock(*this);
      ForEachInScope(scAll, [&](int c, int r) { FData->SetCellState(c, r, FData->CellState(c, r) & ~csEmpty); });
    }
    Repaint();
    Notify(OnEmptyStChanged);
  });
}

void TNTabEd::SelectAll()
{
  Guarded([&] {
    if (NrOfColumns() < 1 || NrOfRows() < 1)
      return;
    SelectData(1, 1, NrOfColumns(), NrOfRows());
    Repaint();
    ReportSelection(true);
  });
}

void TNTabEd::ToggleDataReadOnly()
{
  Guarded([&] {
    SetDataReadOnly(!FDataReadOnly);
    Repaint();
    Notify(OnChangeSetup);
  });
}

}  // namespace orvex
