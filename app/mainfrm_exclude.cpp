// TFrmMLRCalc: objects excluded by the user. "Exclude Selected Objects" leaves the rows selected
// in the table editor out of the fit, "Include All Objects" takes every row back; both are on a
// bar under the variable list, in the result charts' context menu and in the editor's row menu.
// The values stay as they are: the excluded rows go to the run as a model option, which leaves
// them out as it leaves out rows with missing values and counts them apart. The fit follows at
// once. Excluded rows are greyed in the editor and drawn as hollow marks on the charts.
//
// Each change of the set is a step of the undo history. The set follows the table's rows: an
// inserted or deleted row moves the rows after it, a deleted excluded row leaves the set (and
// comes back excluded when the deletion is undone: the edit's step keeps the set before and
// after it), and a load clears it.
#include "mainfrm.h"

#include "orvex_datatable.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"
#include "orvex_replist.h"
#include "orvex_tablechange.h"
#include "tablehistory.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>
#include <algorithm>

namespace orvex {

namespace {

// Text and background of an excluded row's cells.
constexpr TColor ExcludedTextColor = 0x909090;
constexpr TColor ExcludedBackColor = 0xEEEEEE;

// A change of the excluded rows as a step: it holds the set before and after.
class TExclusionStep : public THistoryCommand {
public:
  TExclusionStep(std::function<void(const std::vector<int>&)> Apply, std::vector<int> Before, std::vector<int> After,
                 const char* Text)
      : FApply(std::move(Apply)), FBefore(std::move(Before)), FAfter(std::move(After))
  {
    setText(QString::fromUtf8(Text));
  }
  void redo() override
  {
    if (!TakeSkip())
      FApply(FAfter);
  }
  void undo() override { FApply(FBefore); }
  std::size_t Bytes() const override { return sizeof(*this) + (FBefore.size() + FAfter.size()) * sizeof(int); }
  THistoryCommand* MoveOut() override
  {
    auto* c = new TExclusionStep(std::move(FApply), std::move(FBefore), std::move(FAfter), "");
    c->setText(text());
    c->SkipNextRedo();
    return c;
  }

private:
  std::function<void(const std::vector<int>&)> FApply;
  std::vector<int> FBefore, FAfter;
};

}  // namespace

QWidget* TFrmMLRCalc::CreateExclusionBar(QWidget* Parent)
{
  auto* bar = new QWidget(Parent);
  bar->setObjectName("PanelExclusion");
  bar->setFixedWidth(RLVarSel->width());
  auto* row = new QHBoxLayout(bar);
  // Both buttons in full at the list's width: the margins and spacing are the layout's slack.
  row->setContentsMargins(2, 2, 0, 2);
  row->setSpacing(3);
  SButExclude = new QToolButton(bar);
  SButExclude->setObjectName("SButExclude");
  SButExclude->setText(ExcludeSelectedText);
  SButExclude->setToolTip("Leave the rows selected in the table out of the fit; their values stay");
  SButIncludeAll = new QToolButton(bar);
  SButIncludeAll->setObjectName("SButIncludeAll");
  SButIncludeAll->setText(IncludeAllText);
  SButIncludeAll->setToolTip("Take every excluded row back into the fit");
  row->addWidget(SButExclude);
  row->addWidget(SButIncludeAll);
  row->addStretch(1);
  connect(SButExclude, &QToolButton::clicked, this, [this] { Guarded([this] { ExcludeSelectedObjects(); }); });
  connect(SButIncludeAll, &QToolButton::clicked, this, [this] { Guarded([this] { IncludeAllObjects(); }); });

  // Greyed rows in the editor, and the commands in its row menu.
  NTData->OnBeforeRenderCell = [this](TObject*, int, int Row, std::string&, TColor& Text, TColor& Back, TFontStyles&) {
    if (std::binary_search(FExcludedRows.begin(), FExcludedRows.end(), Row)) {
      Text = ExcludedTextColor;
      if (Back == NTData->Color())
        Back = ExcludedBackColor;
    }
  };
  NTData->OnBeforePopup = [this](TObject*, QMenu* Menu) {
    if (Menu != NTData->PopupHTAction())
      return;
    if (FRowMenuActions.empty()) {
      FRowMenuActions.push_back(Menu->addSeparator());
      FRowMenuActions.push_back(
          Menu->addAction(ExcludeSelectedText, this, [this] { Guarded([this] { ExcludeSelectedObjects(); }); }));
      FRowMenuActions.push_back(
          Menu->addAction(IncludeAllText, this, [this] { Guarded([this] { IncludeAllObjects(); }); }));
    }
    // The heading menu of a row (its third item then reads "Select Row"), not of a column.
    const bool rowMenu = NTData->HeadItem(3)->text() == QStringLiteral("Select Row");
    for (QAction* a : FRowMenuActions)
      a->setVisible(rowMenu);
    FRowMenuActions[1]->setEnabled(!SelectedObjects().empty());
    FRowMenuActions[2]->setEnabled(!FExcludedRows.empty());
  };
  UpdateExclusionCommands();
  return bar;
}

void TFrmMLRCalc::AddExclusionActions(QMenu* Menu)
{
  Menu->addSeparator();
  Menu->addAction(ExcludeSelectedText, this, [this] { Guarded([this] { ExcludeSelectedObjects(); }); })
      ->setEnabled(!SelectedObjects().empty());
  Menu->addAction(IncludeAllText, this, [this] { Guarded([this] { IncludeAllObjects(); }); })
      ->setEnabled(!FExcludedRows.empty());
}

void TFrmMLRCalc::ExcludeSelectedObjects()
{
  std::vector<int> rows = FExcludedRows;
  const std::vector<int> selected = SelectedObjects();
  rows.insert(rows.end(), selected.begin(), selected.end());
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  SetExcludedRows(std::move(rows), ExcludeSelectedText);
}

void TFrmMLRCalc::IncludeAllObjects()
{
  SetExcludedRows({}, IncludeAllText);
}

void TFrmMLRCalc::SetExcludedRows(std::vector<int> Rows, const char* Command)
{
  if (Rows == FExcludedRows)
    return;
  NTData->CommitOpenEdits();
  FHistory->EndStep();
  FHistory->Push(new TExclusionStep([this](const std::vector<int>& R) { ApplyExcludedRows(R); }, FExcludedRows,
                                    std::move(Rows), Command));
}

void TFrmMLRCalc::ApplyExcludedRows(const std::vector<int>& Rows)
{
  FExcludedRows = Rows;
  NTData->viewport()->update();
  UpdateExclusionCommands();
  // The fit follows at once, on the roles as they are.
  if (FRun.Status() != TRunStatus::NotRun)
    Refit();
}

void TFrmMLRCalc::RestoreExcludedRows(const std::vector<int>& Rows)
{
  // The table change that goes with it refits.
  FExcludedRows = Rows;
  NTData->viewport()->update();
  UpdateExclusionCommands();
}

void TFrmMLRCalc::UpdateExclusionCommands(bool AnySelected)
{
  if (SButExclude)
    SButExclude->setEnabled(AnySelected);
  if (SButIncludeAll)
    SButIncludeAll->setEnabled(!FExcludedRows.empty());
}

void TFrmMLRCalc::UpdateExclusionCommands()
{
  UpdateExclusionCommands(!SelectedObjects().empty());
}

void TFrmMLRCalc::MoveExcludedRows(const TTableChange& Change)
{
  if (FExcludedRows.empty())
    return;
  std::vector<int> rows;
  switch (Change.Kind) {
  case TTableChangeKind::Contents:
    break;  // a load: every row is new
  case TTableChangeKind::RowsInserted:
    for (int r : FExcludedRows)
      rows.push_back(r >= Change.Row ? r + Change.Count : r);
    break;
  case TTableChangeKind::RowsDeleted:
    for (int r : FExcludedRows)
      if (r < Change.Row || r >= Change.Row + Change.Count)
        rows.push_back(r >= Change.Row ? r - Change.Count : r);
    break;
  case TTableChangeKind::Resized:
    for (int r : FExcludedRows)
      if (r <= NTData->NrOfRows())
        rows.push_back(r);
    break;
  default:
    return;
  }
  FExcludedRows = std::move(rows);
  UpdateExclusionCommands();
}

}  // namespace orvex
