// The window's diagnostic pages and "Add Estimates to Table" through the real controls: the
// four pages beside the histogram with their explanation labels, filled and painted by a run,
// hidden by a failed one; the command adding columns without a role, keeping the roles and the
// fit, replacing its own columns on a second add.
#include "mainfrm_testutil.h"

#include "orvex_datatable.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"
#include "resultcharts.h"

#include <QCheckBox>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orvex;
using mainfrm_test::TShownWindow;

namespace {

std::vector<TRChart*> DiagnosticCharts(TFrmMLRCalc& W)
{
  return {W.RCResidEst, W.RCNormalQQ, W.RCScaleLoc, W.RCResidLev};
}

int CountMarks(const TRChart& Chart)
{
  int n = 0;
  for (int i = 0; i < Chart.NumItems(); ++i)
    n += Chart.Item(i).Kind == ikMark;
  return n;
}

}  // namespace

TEST(MainWindowDiagnostics, PagesFilledByARunAndHiddenByAFailure)
{
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  const std::vector<std::string> tabs{"Actual vs. Estimated Data", "Distribution of Residuals", ResidVsEstimatedTitle,
                                      NormalQQTitle, ScaleLocationTitle, ResidVsLeverageTitle};
  ASSERT_EQ(w.PageControl2->count(), static_cast<int>(tabs.size()));
  for (int i = 0; i < w.PageControl2->count(); ++i)
    EXPECT_EQ(w.PageControl2->tabText(i).toStdString(), tabs[static_cast<std::size_t>(i)]);
  for (TRChart* chart : DiagnosticCharts(w))
    EXPECT_FALSE(t.Shown(chart));
  for (QLabel* label : {w.LabelResidEst, w.LabelNormalQQ, w.LabelScaleLoc, w.LabelResidLev})
    EXPECT_EQ(label->text(), SelectVariablesText);
  EXPECT_FALSE(w.SButAddEstimates->isEnabled());

  t.ClickBox(2, 3);
  t.ClickBox(2, 4);
  t.ClickBox(3, 6);
  ASSERT_TRUE(w.Run().Succeeded());
  // A page is filled when it is shown, not by the run while it is hidden; a run while a page is
  // shown refills that page at once, and the others again when they are shown.
  const std::vector<QWidget*> pages{w.TSResidEst, w.TSNormalQQ, w.TSScaleLoc, w.TSResidLev};
  for (TRChart* chart : DiagnosticCharts(w)) {
    EXPECT_TRUE(t.Shown(chart));
    EXPECT_EQ(CountMarks(*chart), 0) << chart->Caption();
  }
  for (std::size_t i = 0; i < pages.size(); ++i) {
    w.PageControl2->setCurrentWidget(pages[i]);
    EXPECT_EQ(CountMarks(*DiagnosticCharts(w)[i]), 40) << DiagnosticCharts(w)[i]->Caption();
  }
  // With Width left out the leverage page, shown, is refilled at once; the hidden residual page
  // keeps the old fit until it is shown.
  const double residHigh = w.RCResidEst->Scale1Y().RangeHigh();
  const double leverageHigh = w.RCResidLev->Scale1X().RangeHigh();
  t.ClickBox(2, 4);
  ASSERT_TRUE(w.Run().Succeeded());
  EXPECT_NE(w.RCResidLev->Scale1X().RangeHigh(), leverageHigh);
  EXPECT_EQ(CountMarks(*w.RCResidLev), 40);
  EXPECT_EQ(w.RCResidEst->Scale1Y().RangeHigh(), residHigh);
  w.PageControl2->setCurrentWidget(w.TSResidEst);
  EXPECT_NE(w.RCResidEst->Scale1Y().RangeHigh(), residHigh);
  // Width back in: the first fit again, on every page once it is shown.
  t.ClickBox(2, 4);
  ASSERT_TRUE(w.Run().Succeeded());
  EXPECT_EQ(w.RCResidEst->Scale1Y().RangeHigh(), residHigh);
  w.PageControl2->setCurrentWidget(w.TSResidLev);
  EXPECT_EQ(w.RCResidLev->Scale1X().RangeHigh(), leverageHigh);

  // The three most extreme objects by their row names: the largest residuals (rows 31, 29 and
  // 14) and the largest Cook's distances (rows 31, 29 and 5), as R's plot of the same fit.
  auto labels = [](TRChart& Chart) {
    std::vector<std::string> texts;
    for (int n = 1; n <= 3; ++n)
      texts.push_back(Chart.TextLabels(n).Caption());
    return texts;
  };
  const TDataTable& table = w.NTData->DataTable();
  EXPECT_EQ(labels(*w.RCResidEst), (std::vector<std::string>{table.RowName(31), table.RowName(29), table.RowName(14)}));
  EXPECT_EQ(labels(*w.RCResidLev), (std::vector<std::string>{table.RowName(31), table.RowName(29), table.RowName(5)}));

  // Painted: the page shown has the red smoother in its pixels.
  w.PageControl2->setCurrentWidget(w.TSResidEst);
  QApplication::processEvents();
  const QImage img = w.RCResidEst->grab().toImage();
  int red = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      red += img.pixel(x, y) == qRgb(255, 0, 0);
  EXPECT_GT(red, 50);

  // A failed run hides them with the others and shows its reason in their place.
  w.Run().SetSolver([](TMatrix&, const TVector&, TVector&, TVector*, bool&) { return false; });
  t.ClickBox(2, 1);
  for (TRChart* chart : DiagnosticCharts(w))
    EXPECT_FALSE(t.Shown(chart));
  EXPECT_EQ(w.LabelResidLev->text().toStdString(), w.Run().ErrorText());
  EXPECT_FALSE(w.SButAddEstimates->isEnabled());
}

TEST(MainWindowDiagnostics, AddEstimatesKeepsRolesAndReplacesItsColumns)
{
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  t.ClickBox(2, 3);
  t.ClickBox(2, 4);
  t.ClickBox(3, 6);
  ASSERT_TRUE(w.SButAddEstimates->isEnabled());
  const double firstEstimate = w.Run().Result()->Estimates[0];

  mainfrm_test::Click(w.SButAddEstimates, QPoint(5, 5));
  const TDataTable& table = w.NTData->DataTable();
  ASSERT_EQ(table.NrOfColumns(), 8);
  EXPECT_EQ(table.ColName(7), "Estimated Net Weight");
  EXPECT_EQ(table.ColName(8), "Residual Net Weight");
  EXPECT_DOUBLE_EQ(table.Elem(7, 1), firstEstimate);
  // The roles stay, the new columns take none, and the charts show the same fit.
  TRoleState roles = w.Roles();
  ASSERT_EQ(roles.NrOfColumns(), 8);
  EXPECT_TRUE(roles.Input(3) && roles.Input(4) && roles.Target(6));
  EXPECT_EQ(roles.NrOfInputs(), 2);
  EXPECT_FALSE(roles.Input(7) || roles.Target(7) || roles.Input(8) || roles.Target(8));
  EXPECT_TRUE(t.Shown(w.RCResidEst));
  EXPECT_EQ(w.Run().Result()->Estimates[0], firstEstimate);

  // With the intervals, a second add replaces the two columns by six.
  w.CBIntervals->setChecked(true);
  mainfrm_test::Click(w.SButAddEstimates, QPoint(5, 5));
  ASSERT_EQ(table.NrOfColumns(), 12);
  EXPECT_EQ(table.ColName(7), "Estimated Net Weight");
  EXPECT_EQ(table.ColName(9), "CI Low Net Weight");
  EXPECT_EQ(table.ColName(12), "PI High Net Weight");
  EXPECT_LT(table.Elem(11, 1), table.Elem(9, 1));  // the prediction interval is the wider
  EXPECT_EQ(w.RLVarSel->NrOfRows(), 12);
  roles = w.Roles();
  EXPECT_TRUE(roles.Input(3) && roles.Input(4) && roles.Target(6));
  EXPECT_TRUE(t.Errors.empty());
}
