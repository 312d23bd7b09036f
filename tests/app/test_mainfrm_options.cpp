// The model options in the window: the variable list's "Weight" column and its rules, the
// "Intercept" check box, the robust type and the reference level menu of a categorical column,
// each checked through the memo against the run made directly with the same options.
#include "mainfrm_testutil.h"

#include "mlrrun.h"
#include "orvex_datatable.h"
#include "orvex_ntabed.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <gtest/gtest.h>

#include <algorithm>

using namespace orvex;
using namespace mainfrm_test;

namespace {

constexpr int ColInput = 2, ColTarget = 3, ColWeight = 4;

// The memo's text as the window writes it from a run made directly.
std::vector<std::string> ExpectedMemo(const TMLRRun& Run)
{
  std::vector<std::string> lines = Run.ReportLines();
  lines.push_back("");
  const std::vector<std::string>& ext = Run.Result()->ExtendedLines;
  lines.insert(lines.end(), ext.begin(), ext.end());
  return lines;
}

bool MemoHas(const TShownWindow& T, const std::string& Line)
{
  const std::vector<std::string> l = T.W->DetailsLines();
  return std::find(l.begin(), l.end(), Line) != l.end();
}

TEST(MainWindowOptions, WeightColumnRulesAndTheWeightedFit)
{
  TShownWindow t;
  TReportListView& lv = *t.W->RLVarSel;
  // One weight column at most; it is never an input or the target.
  t.ClickBox(ColWeight, 1);
  t.ClickBox(ColWeight, 2);
  EXPECT_FALSE(lv.Checked(ColWeight, 1));
  EXPECT_TRUE(lv.Checked(ColWeight, 2));
  t.ClickBox(ColInput, 2);
  EXPECT_TRUE(lv.Checked(ColInput, 2));
  EXPECT_FALSE(lv.Checked(ColWeight, 2));
  t.ClickBox(ColTarget, 6);
  t.ClickBox(ColWeight, 6);
  EXPECT_FALSE(lv.Checked(ColTarget, 6));
  EXPECT_TRUE(lv.Checked(ColWeight, 6));
  EXPECT_EQ(t.W->ModelOptions().WeightCol, 6);

  // Inputs Length and Width, target Net Weight, weights Total Weight.
  t.ClickBox(ColInput, 2);  // off again
  t.ClickBox(ColInput, 3);
  t.ClickBox(ColInput, 4);
  t.ClickBox(ColTarget, 6);
  t.ClickBox(ColWeight, 1);
  ASSERT_EQ(t.W->Run().Status(), TRunStatus::Succeeded) << t.W->Run().ErrorText();
  EXPECT_EQ(t.W->Run().Options().WeightCol, 1);
  TMLRModelOptions o;
  o.WeightCol = 1;
  TRoleState roles(6);
  roles.SetInput(3, true);
  roles.SetInput(4, true);
  roles.SetTarget(6, true);
  TMLRRun direct;
  ASSERT_TRUE(direct.Execute(t.W->NTData->DataTable(), roles, o));
  EXPECT_EQ(t.W->DetailsLines(), ExpectedMemo(direct));
  EXPECT_TRUE(MemoHas(t, " Weights: column \"Total Weight\" (weighted least squares)"));
  // Taking the weights away fits the plain model again.
  t.ClickBox(ColWeight, 1);
  TMLRRun plain;
  ASSERT_TRUE(plain.Execute(t.W->NTData->DataTable(), roles));
  EXPECT_EQ(t.W->DetailsLines(), ExpectedMemo(plain));
}

TEST(MainWindowOptions, InterceptAndRobustTypeRunAgain)
{
  TShownWindow t;
  EXPECT_TRUE(t.W->CBIntercept->isChecked());
  EXPECT_EQ(t.W->CBRobust->currentText(), "None");
  ASSERT_EQ(t.W->CBRobust->count(), 5);
  EXPECT_EQ(t.W->CBRobust->itemText(4), "HC3");
  // Without a complete role state the options only wait.
  t.W->CBIntercept->click();
  EXPECT_EQ(t.W->Run().Status(), TRunStatus::NotRun);
  t.ClickBox(ColInput, 3);
  t.ClickBox(ColTarget, 6);
  ASSERT_TRUE(t.W->Run().Succeeded());
  EXPECT_FALSE(t.W->Run().Options().Intercept);
  EXPECT_TRUE(MemoHas(t, NoInterceptNote));
  t.W->CBRobust->setCurrentIndex(4);
  EXPECT_EQ(t.W->Run().Options().Robust, TRobustType::HC3);
  EXPECT_TRUE(MemoHas(t, " Robust standard errors (HC3), t tests and 95 % confidence intervals:"));
  t.W->CBIntercept->click();
  EXPECT_FALSE(MemoHas(t, NoInterceptNote));
  EXPECT_TRUE(t.W->Run().Options().Intercept);
}

TEST(MainWindowOptions, ContextMenuSetsTheReferenceLevelOfACategoricalColumn)
{
  TShownWindow t;
  // Outer Length becomes a categorical column of three levels.
  TDataTable& table = t.W->NTData->DataTable();
  for (int r = 1; r <= table.NrOfRows(); ++r)
    table.SetElem(5, r, r % 3);
  table.SetVarType(5, vtNominal);
  table.SetLevelName(5, 0, "small");
  table.SetLevelName(5, 1, "medium");
  table.SetLevelName(5, 2, "large");
  EXPECT_EQ(t.W->CreateVariableMenu(3), nullptr);  // a numeric column has no menu

  std::unique_ptr<QMenu> menu(t.W->CreateVariableMenu(5));
  ASSERT_NE(menu, nullptr);
  std::vector<std::string> texts;
  QAction* medium = nullptr;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) {
      texts.push_back(a->text().toStdString());
      if (a->text() == "medium")
        medium = a;
      EXPECT_EQ(a->isChecked(), a->text() == "small");
    }
  EXPECT_EQ(texts, (std::vector<std::string>{"small", "medium", "large"}));

  t.ClickBox(ColInput, 5);
  t.ClickBox(ColInput, 3);
  t.ClickBox(ColTarget, 6);
  ASSERT_TRUE(t.W->Run().Succeeded()) << t.W->Run().ErrorText();
  EXPECT_TRUE(MemoHas(t, " Categorical input \"Outer Length\": reference level \"small\""));
  ASSERT_NE(medium, nullptr);
  medium->trigger();
  EXPECT_EQ(t.W->Run().Options().ReferenceLevels.at(5), 1);
  EXPECT_TRUE(MemoHas(t, " Categorical input \"Outer Length\": reference level \"medium\""));
  EXPECT_EQ(t.W->Run().Result()->InputNames,
            (std::vector<std::string>{"Length", "Outer Length[small]", "Outer Length[large]"}));
  std::unique_ptr<QMenu> again(t.W->CreateVariableMenu(5));
  for (QAction* a : again->actions()) {
    if (!a->isSeparator()) {
      EXPECT_EQ(a->isChecked(), a->text() == "medium");
    }
  }

  again.reset();
  menu.reset();

  // The right mouse button on the row opens the menu without blocking.
  TReportListView& lv = *t.W->RLVarSel;
  const TRect r = lv.CellRect(0, lv.GridRowOf(5));
  const QPoint p(r.Left + 10, (r.Top + r.Bottom) / 2);
  QContextMenuEvent e(QContextMenuEvent::Mouse, p, lv.viewport()->mapToGlobal(p));
  QApplication::sendEvent(lv.viewport(), &e);
  QMenu* shown = t.W->findChild<QMenu*>("MenuReferenceLevel");
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->actions().size(), 4);  // the section and three levels
  EXPECT_TRUE(shown->isVisible());
  shown->close();
}

}  // namespace
