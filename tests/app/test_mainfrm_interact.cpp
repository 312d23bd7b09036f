// The scatter charts' interaction through real mouse and key events on the shown window: the
// hover tooltip of a known mark, a click selecting its table row (also after the rows were
// reordered or rows above it deleted), rows selected in the table editor ringed on every chart,
// Shift+drag and Escape, and the zoom gestures with their history.
#include "mainfrm_testutil.h"

#include "chartinteraction.h"
#include "demodata.h"
#include "mlrrun.h"
#include "orvex_datatable.h"
#include "orvex_ntabed.h"
#include "orvex_rchart.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTabWidget>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace orvex;
using mainfrm_test::TShownWindow;

namespace {

using Rows = std::vector<int>;
constexpr int TargetCol = 6;  // "Net Weight"

void Mouse(QWidget* W, QEvent::Type Type, QPoint P, Qt::MouseButton Button, Qt::MouseButtons Buttons,
           Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
  QMouseEvent e(Type, QPointF(P), W->mapToGlobal(QPointF(P)), Button, Buttons, Mods);
  QApplication::sendEvent(W, &e);
}

// A left-button gesture from A to B (a click when they are equal), as the mouse sends it.
void Drag(QWidget* W, QPoint A, QPoint B, Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
  Mouse(W, QEvent::MouseButtonPress, A, Qt::LeftButton, Qt::LeftButton, Mods);
  if (A != B) {
    Mouse(W, QEvent::MouseMove, (A + B) / 2, Qt::NoButton, Qt::LeftButton, Mods);
    Mouse(W, QEvent::MouseMove, B, Qt::NoButton, Qt::LeftButton, Mods);
  }
  Mouse(W, QEvent::MouseButtonRelease, B, Qt::LeftButton, Qt::NoButton, Mods);
}

void Click(QWidget* W, QPoint P) { Drag(W, P, P); }

void Hover(QWidget* W, QPoint P) { Mouse(W, QEvent::MouseMove, P, Qt::NoButton, Qt::NoButton); }

void Wheel(QWidget* W, QPoint P, int Delta)
{
  QWheelEvent e(QPointF(P), W->mapToGlobal(QPointF(P)), QPoint(), QPoint(0, Delta), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(W, &e);
}

void Key(QWidget* W, int Key, Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
  QKeyEvent e(QEvent::KeyPress, Key, Mods);
  QApplication::sendEvent(W, &e);
}

struct TInteractFixture : ::testing::Test {
  TShownWindow t;
  TFrmMLRCalc& w = *t.W;

  void SetUp() override
  {
    // Own names, so that an object can be found again after its row moved.
    for (int r = 1; r <= w.NTData->NrOfRows(); ++r)
      w.NTData->DataTable().SetRowName(r, "obj" + std::to_string(r));
    w.NTData->DataTable().SetRowAttrib(7, 3);
    // Rows 2 and 4 have no target: no marks, so a mark's place in the item list is not its row.
    w.NTData->DataTable().SetCellState(TargetCol, 2, csEmpty);
    w.NTData->DataTable().SetCellState(TargetCol, 4, csEmpty);
    Settle();
    t.ClickBox(2, 3);  // inputs Length and Width, target Net Weight
    t.ClickBox(2, 4);
    t.ClickBox(3, 6);
    Settle();
    ASSERT_TRUE(w.Run().Succeeded());
    ShowChart(w.TSActEstimate);
  }
  // Lets the refit that follows an edit run.
  void Settle()
  {
    for (int k = 0; k < 3; ++k)
      QApplication::processEvents();
  }
  void ShowChart(QWidget* Page)
  {
    w.PageControl1->setCurrentWidget(w.TSMLR);
    w.PageControl2->setCurrentWidget(Page);
    Settle();
  }
  TChartInteraction& CI(TRChart* Chart) { return *w.ChartInteraction(Chart); }
  // The control pixel of the mark of table row Row (-1, -1 when it has none).
  static QPoint MarkOf(const TRChart& Chart, int Row)
  {
    for (int i = 0; i < Chart.NumItems(); ++i) {
      const TrcChartItem& it = Chart.Item(i);
      if (it.Kind == ikMark && it.Tag == Row) {
        int x, y;
        Chart.WorldToPixel(1, it.X1, it.Y1, x, y);
        return {x, y};
      }
    }
    return {-1, -1};
  }
  int RowNamed(const std::string& Name) const
  {
    for (int r = 1; r <= w.NTData->NrOfRows(); ++r)
      if (w.NTData->DataTable().RowName(r) == Name)
        return r;
    return 0;
  }
  // Pixels of the ring colour within Radius of P.
  static int RingPixels(const QImage& Img, QPoint P, int Radius)
  {
    const QRgb ring = ToQColor(SelectionRingColor).rgb();
    int n = 0;
    for (int y = P.y() - Radius; y <= P.y() + Radius; ++y)
      for (int x = P.x() - Radius; x <= P.x() + Radius; ++x)
        n += Img.rect().contains(x, y) && Img.pixel(x, y) == ring;
    return n;
  }
  // The window the chart shows, read from its scales.
  static TZoomWindow Shown(TRChart& Chart)
  {
    return {Chart.Scale1X().RangeLow(), Chart.Scale1Y().RangeLow(), Chart.Scale1X().RangeHigh(),
            Chart.Scale1Y().RangeHigh()};
  }
  static QImage Grab(TRChart* Chart) { return Chart->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

}  // namespace

TEST_F(TInteractFixture, HoverShowsTheRowsFiguresOnTheFitAndTheDiagnosticCharts)
{
  const TDataTable& table = w.NTData->DataTable();
  const TMLRResultPtr result = w.Run().Result();
  // The estimate from the fitted equation (coefficients: Length, Width, then the intercept).
  const double actual = table.Elem(TargetCol, 7);
  const double est = result->Coefficients[0] * table.Elem(3, 7) + result->Coefficients[1] * table.Elem(4, 7) +
                     result->Coefficients[2];
  const std::string fitText = "Row 7: obj7\nClass: 3\nActual: " + FormatSig5(actual) +
                              "\nEstimated: " + FormatSig5(est) + "\nResidual: " + FormatSig5(actual - est);

  TChartInteraction& fit = CI(w.RCFit);
  const QPoint p = MarkOf(*w.RCFit, 7);
  ASSERT_GE(p.x(), 0);
  Hover(w.RCFit, p + QPoint(2, -1));  // within the hit tolerance
  EXPECT_EQ(fit.HoverRow(), 7);
  EXPECT_EQ(fit.ToolTipText(), fitText);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text().toStdString(), fitText);
  const TRect plot = w.RCFit->PlotRect();
  Hover(w.RCFit, QPoint(plot.Left + 1, plot.Top + 1));  // the top-left corner holds no mark
  EXPECT_EQ(fit.HoverRow(), 0);
  EXPECT_EQ(fit.ToolTipText(), "");

  // The leverage chart adds the object's leverage and Cook's distance (rows 2 and 4 are not used:
  // row 7 is the 5th object).
  ASSERT_EQ(result->UsedRows[4], 7);
  ShowChart(w.TSResidLev);
  TChartInteraction& lev = CI(w.RCResidLev);
  Hover(w.RCResidLev, MarkOf(*w.RCResidLev, 7));
  EXPECT_EQ(lev.ToolTipText(), fitText + "\nLeverage: " + FormatSig5(result->Influence.Hat[4]) +
                                   "\nCook's distance: " + FormatSig5(result->Influence.CooksDistance[4]));
  // The histogram has no interaction.
  EXPECT_EQ(w.ChartInteraction(w.RCHisto), nullptr);
}

TEST_F(TInteractFixture, AnExcludedObjectsHollowMarkShowsItsPredictionAndLeverage)
{
  // Row 7 left out of the fit: its hollow mark sits at its prediction from the other objects,
  // and hovering over it names it as excluded, with the same figures (and its leverage, but no
  // Cook's distance, on the leverage chart).
  w.NTData->SetSelectedRows({7});
  w.ExcludeSelectedObjects();
  const TDataTable& table = w.NTData->DataTable();
  const TMLRResultPtr result = w.Run().Result();
  ASSERT_EQ(result->ExcludedRows, Rows{7});
  ASSERT_FALSE(std::binary_search(result->UsedRows.begin(), result->UsedRows.end(), 7));
  const double actual = table.Elem(TargetCol, 7);
  const double est = result->Coefficients[0] * table.Elem(3, 7) + result->Coefficients[1] * table.Elem(4, 7) +
                     result->Coefficients[2];
  ASSERT_EQ(result->ExcludedPoints.size(), 1U);
  EXPECT_NEAR(result->ExcludedPoints[0].Estimated, est, 1e-9 * std::fabs(est));
  const std::string text = "Row 7: obj7 (excluded)\nClass: 3\nActual: " + FormatSig5(actual) +
                           "\nEstimated: " + FormatSig5(est) + "\nResidual: " + FormatSig5(actual - est);
  const QPoint p = MarkOf(*w.RCFit, 7);
  ASSERT_GE(p.x(), 0);
  Hover(w.RCFit, p);
  EXPECT_EQ(CI(w.RCFit).HoverRow(), 7);
  EXPECT_EQ(CI(w.RCFit).ToolTipText(), text);

  ShowChart(w.TSResidLev);
  ASSERT_EQ(result->ExcludedLeverage.size(), 1U);
  const double h = result->ExcludedLeverage[0];
  ASSERT_TRUE(std::isfinite(h));
  Hover(w.RCResidLev, MarkOf(*w.RCResidLev, 7));
  EXPECT_EQ(CI(w.RCResidLev).ToolTipText(), text + "\nLeverage: " + FormatSig5(h));
}

TEST_F(TInteractFixture, AClickSelectsTheMarksRowAlsoAfterRowsMovedOrWereDeleted)
{
  const TZoomWindow view = CI(w.RCFit).CurrentWindow();
  Click(w.RCFit, MarkOf(*w.RCFit, 35));
  EXPECT_EQ(w.SelectedObjects(), Rows{35});
  EXPECT_EQ(CI(w.RCFit).CurrentWindow(), view);  // a click does not pan
  EXPECT_EQ(w.NTData->Row(), 35);
  // The editor scrolled to it: on the data page the row is in view.
  w.PageControl1->setCurrentWidget(w.TSData);
  Settle();
  EXPECT_LE(w.NTData->TopRow(), 35);
  EXPECT_GE(w.NTData->TopRow() + w.NTData->VisibleRowCount(), 35);

  // A press that moves less than the click tolerance is still a click.
  ShowChart(w.TSActEstimate);
  const QPoint p12 = MarkOf(*w.RCFit, 12);
  Drag(w.RCFit, p12, p12 + QPoint(2, 1));
  EXPECT_EQ(w.SelectedObjects(), Rows{12});
  EXPECT_EQ(CI(w.RCFit).CurrentWindow(), view);

  // Reverse the rows (values and names), as a sort would reorder them; the fit follows.
  TDataTable& table = w.NTData->DataTable();
  const int n = table.NrOfRows();
  for (int r = 1; r <= n / 2; ++r) {
    const int s = n + 1 - r;
    for (int c = 1; c <= table.NrOfColumns(); ++c) {
      const double a = table.Elem(c, r);
      const std::uint8_t sa = table.CellState(c, r), sb = table.CellState(c, s);
      table.SetElem(c, r, table.Elem(c, s));
      table.SetElem(c, s, a);
      table.SetCellState(c, r, sb);
      table.SetCellState(c, s, sa);
    }
    const std::string name = table.RowName(r);
    table.SetRowName(r, table.RowName(s));
    table.SetRowName(s, name);
  }
  Settle();
  ShowChart(w.TSActEstimate);
  ASSERT_EQ(RowNamed("obj35"), 6);
  Click(w.RCFit, MarkOf(*w.RCFit, 6));
  EXPECT_EQ(w.SelectedObjects(), Rows{6});
  // The same object on a diagnostic chart, whose items lie in another order.
  ShowChart(w.TSNormalQQ);
  Click(w.RCNormalQQ, MarkOf(*w.RCNormalQQ, RowNamed("obj3")));
  EXPECT_EQ(w.SelectedObjects(), Rows{RowNamed("obj3")});

  // Three rows deleted above obj35: it is row 3 now, and a click there names row 3. The
  // selection (obj3) moves with its row, and so do its rings.
  const int obj3 = RowNamed("obj3");
  for (int k = 0; k < 3; ++k)
    w.NTData->DeleteRow(1);
  Settle();
  EXPECT_EQ(w.SelectedObjects(), Rows{obj3 - 3});
  EXPECT_EQ(CI(w.RCFit).SelectedRows(), Rows{obj3 - 3});
  ShowChart(w.TSActEstimate);
  ASSERT_EQ(RowNamed("obj35"), 3);
  Click(w.RCFit, MarkOf(*w.RCFit, 3));
  EXPECT_EQ(w.SelectedObjects(), Rows{3});
  EXPECT_EQ(w.NTData->DataTable().RowName(w.SelectedObjects().front()), "obj35");

  // Ctrl+click adds a mark and takes it out again; a click on empty plot clears.
  const QPoint p10 = MarkOf(*w.RCFit, 10);
  Drag(w.RCFit, p10, p10, Qt::ControlModifier);
  EXPECT_EQ(w.SelectedObjects(), (Rows{3, 10}));
  Drag(w.RCFit, p10, p10, Qt::ControlModifier);
  EXPECT_EQ(w.SelectedObjects(), Rows{3});
  const TRect plot = w.RCFit->PlotRect();
  Drag(w.RCFit, QPoint(plot.Left + 1, plot.Top + 1), QPoint(plot.Left + 1, plot.Top + 1));
  EXPECT_EQ(w.SelectedObjects(), Rows{});
}

TEST_F(TInteractFixture, RowsSelectedInTheEditorAreRingedOnEveryChartWithoutARefit)
{
  const TMLRResultPtr fitted = w.Run().Result();
  // Rows 5 to 7 dragged over in the editor, from the first to the last column.
  w.PageControl1->setCurrentWidget(w.TSData);
  Settle();
  TNTabEd& ed = *w.NTData;
  const TRect a = ed.CellRect(2, 5), b = ed.CellRect(ed.NrOfColumns() + 1, 7);
  Drag(ed.viewport(), QPoint(a.Left + 5, a.Top + 5), QPoint(b.Left + 5, b.Top + 5));
  ASSERT_EQ(w.SelectedObjects(), (Rows{5, 6, 7}));
  EXPECT_EQ(w.Run().Result(), fitted);

  for (TRChart* chart : {w.RCFit, w.RCResidEst, w.RCNormalQQ, w.RCScaleLoc, w.RCResidLev}) {
    SCOPED_TRACE(chart->Name());
    EXPECT_EQ(CI(chart).SelectedRows(), (Rows{5, 6, 7}));
    ShowChart(chart->parentWidget());
    const QImage img = Grab(chart);
    // The ring of row 6: its colour all around the mark, at the ring's radius.
    const QPoint p = MarkOf(*chart, 6);
    EXPECT_GT(RingPixels(img, p, SelectionRingRadius + 2), 12);
    // A mark far from the three selected ones has no ring.
    int far = 0;
    for (int r = 20; r <= 40 && far == 0; ++r) {
      const QPoint q = MarkOf(*chart, r);
      bool clear = q.x() >= 0;
      for (int s : {5, 6, 7})
        clear = clear && (q - MarkOf(*chart, s)).manhattanLength() > 4 * SelectionRingRadius;
      if (clear)
        far = r;
    }
    ASSERT_GT(far, 0);
    EXPECT_EQ(RingPixels(img, MarkOf(*chart, far), SelectionRingRadius + 2), 0);
  }
  // The ring colour is no class colour.
  for (TColor c : ClassColors)
    EXPECT_NE(c, SelectionRingColor);
}

TEST_F(TInteractFixture, ShiftDragSelectsTheMarksInTheRectangleAndEscapeClears)
{
  TRChart& chart = *w.RCFit;
  const TZoomWindow view = CI(&chart).CurrentWindow();
  const TRect plot = chart.PlotRect();
  // The left half of the plot, top to bottom.
  const QPoint a(plot.Left + 2, plot.Top + 2), b((plot.Left + plot.Right) / 2, plot.Bottom - 2);
  Rows expected;
  for (int r = 1; r <= w.NTData->NrOfRows(); ++r) {
    const QPoint p = MarkOf(chart, r);
    if (p.x() >= a.x() && p.x() <= b.x() && p.y() >= a.y() && p.y() <= b.y())
      expected.push_back(r);
  }
  ASSERT_GE(expected.size(), 3u);
  ASSERT_LT(expected.size(), 40u);
  Drag(&chart, a, b, Qt::ShiftModifier);
  EXPECT_EQ(w.SelectedObjects(), expected);
  EXPECT_EQ(CI(&chart).CurrentWindow(), view);  // neither panned nor zoomed
  EXPECT_EQ(CI(&chart).History().size(), 1u);
  EXPECT_EQ(CI(w.RCScaleLoc).SelectedRows(), expected);

  Key(&chart, Qt::Key_Escape);
  EXPECT_EQ(w.SelectedObjects(), Rows{});
  EXPECT_EQ(CI(&chart).SelectedRows(), Rows{});
  EXPECT_EQ(RingPixels(Grab(&chart), MarkOf(chart, expected.front()), SelectionRingRadius + 2), 0);
}

TEST_F(TInteractFixture, ZoomGesturesKeepAHistoryThatANewFitClears)
{
  TRChart& chart = *w.RCFit;
  TChartInteraction& ci = CI(&chart);
  const TZoomWindow home = ci.CurrentWindow();
  EXPECT_EQ(ci.HomeWindow(), home);
  const TRect plot = chart.PlotRect();
  const QPoint p(plot.Left + (plot.Right - plot.Left) / 3, plot.Top + (plot.Bottom - plot.Top) / 4);
  auto world = [&](QPoint q) {
    double x, y;
    chart.PixelToWorld(1, q.x(), q.y(), x, y);
    return std::pair{x, y};
  };
  auto pixel = [&](std::pair<double, double> v) {
    int x, y;
    chart.WorldToPixel(1, v.first, v.second, x, y);
    return QPoint(x, y);
  };

  // The wheel zooms about the pointer: the world point under it stays there.
  const auto under = world(p);
  Wheel(&chart, p, 120);
  TZoomWindow z1 = ci.CurrentWindow();
  EXPECT_NEAR((z1.HighX - z1.LowX) * 1.25, home.HighX - home.LowX, 1e-9 * (home.HighX - home.LowX));
  EXPECT_LE((pixel(under) - p).manhattanLength(), 1);
  Wheel(&chart, p, 240);  // more notches at the same place: one step of the history
  const TZoomWindow z2 = ci.CurrentWindow();
  EXPECT_NEAR((z2.HighY - z2.LowY) * 1.25 * 1.25 * 1.25, home.HighY - home.LowY, 1e-9 * (home.HighY - home.LowY));
  EXPECT_LE((pixel(under) - p).manhattanLength(), 1);
  EXPECT_EQ(ci.History().size(), 2u);

  // A plain drag pans: the point under the press follows the pointer.
  const QPoint to = p + QPoint(40, 25);
  Drag(&chart, p, to);
  EXPECT_LE((pixel(under) - to).manhattanLength(), 1);
  const TZoomWindow panned = ci.CurrentWindow();
  EXPECT_NEAR(panned.HighX - panned.LowX, z2.HighX - z2.LowX, 1e-9 * (home.HighX - home.LowX));
  EXPECT_EQ(ci.History().size(), 3u);

  // Ctrl+drag zooms into the rectangle.
  const QPoint c1(plot.Left + 30, plot.Top + 20), c2(plot.Left + 130, plot.Top + 90);
  const auto w1 = world(c1), w2 = world(c2);
  Drag(&chart, c1, c2, Qt::ControlModifier);
  const TZoomWindow boxed = ci.CurrentWindow();
  EXPECT_DOUBLE_EQ(boxed.LowX, w1.first);
  EXPECT_DOUBLE_EQ(boxed.HighX, w2.first);
  EXPECT_DOUBLE_EQ(boxed.LowY, w2.second);
  EXPECT_DOUBLE_EQ(boxed.HighY, w1.second);
  EXPECT_EQ(ci.History().size(), 4u);

  // Back and Forward walk the steps; Home fits all marks and drops the steps ahead.
  Key(&chart, Qt::Key_Left, Qt::AltModifier);
  EXPECT_EQ(Shown(chart), panned);
  Key(&chart, Qt::Key_Left, Qt::AltModifier);
  EXPECT_EQ(Shown(chart), z2);
  Key(&chart, Qt::Key_Right, Qt::AltModifier);
  EXPECT_EQ(Shown(chart), panned);
  Key(&chart, Qt::Key_Home);
  EXPECT_EQ(Shown(chart), home);
  EXPECT_EQ(ci.History().size(), 4u);  // home, z2, panned, home
  EXPECT_FALSE(ci.CanGoForward());
  for (int r = 1; r <= w.NTData->NrOfRows(); ++r) {
    const QPoint m = MarkOf(chart, r);
    if (r == 2 || r == 4)
      continue;  // no target, no mark
    EXPECT_TRUE(m.x() >= plot.Left && m.x() <= plot.Right && m.y() >= plot.Top && m.y() <= plot.Bottom) << r;
  }
  Key(&chart, Qt::Key_Left, Qt::AltModifier);
  EXPECT_EQ(Shown(chart), panned);
  // A double click fits as Home does.
  Mouse(&chart, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
  Mouse(&chart, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(Shown(chart), home);

  // A new fit (another input) starts the history again at its own window.
  Wheel(&chart, p, -120);
  ASSERT_TRUE(ci.CanGoBack());
  t.ClickBox(2, 5);
  Settle();
  EXPECT_EQ(ci.History().size(), 1u);
  EXPECT_FALSE(ci.CanGoBack());
  EXPECT_EQ(ci.HomeWindow(), ci.CurrentWindow());
  Key(&chart, Qt::Key_Left, Qt::AltModifier);
  EXPECT_EQ(Shown(chart), ci.HomeWindow());
}

// The chart's context menu offers the zoom history as the keys walk it, each entry enabled only
// where it leads somewhere; "Exclude Selected Objects" (the button and the menu) only with
// objects selected.
TEST_F(TInteractFixture, ChartMenuZoomEntriesAndExcludeFollowTheirState)
{
  TRChart& chart = *w.RCFit;
  TChartInteraction& ci = CI(&chart);
  QMenu* menu = nullptr;
  w.ChartPopupHook = [&menu](QMenu* Menu, const QPoint&) { menu = Menu; };
  auto openMenu = [&] {
    const QPoint c(chart.width() / 2, chart.height() / 2);
    QContextMenuEvent e(QContextMenuEvent::Mouse, c, chart.mapToGlobal(c));
    delete menu;
    menu = nullptr;
    QApplication::sendEvent(&chart, &e);
    EXPECT_NE(menu, nullptr);
  };
  auto action = [&menu](const char* Text) -> QAction& {
    for (QAction* a : menu->actions())
      if (a->text() == QString::fromUtf8(Text))
        return *a;
    ADD_FAILURE() << Text;
    static QAction none;
    return none;
  };
  const TZoomWindow home = ci.CurrentWindow();

  openMenu();
  EXPECT_FALSE(action(ZoomBackText).isEnabled());
  EXPECT_FALSE(action(ZoomForwardText).isEnabled());
  EXPECT_FALSE(action(FitAllMarksText).isEnabled());
  EXPECT_FALSE(action(ExcludeSelectedText).isEnabled());
  EXPECT_FALSE(w.SButExclude->isEnabled());

  const TRect plot = chart.PlotRect();
  Wheel(&chart, QPoint((plot.Left + plot.Right) / 2, (plot.Top + plot.Bottom) / 2), 120);
  const TZoomWindow zoomed = ci.CurrentWindow();
  ASSERT_NE(zoomed, home);
  openMenu();
  EXPECT_TRUE(action(ZoomBackText).isEnabled());
  EXPECT_FALSE(action(ZoomForwardText).isEnabled());
  action(ZoomBackText).trigger();
  EXPECT_EQ(Shown(chart), home);
  openMenu();
  EXPECT_FALSE(action(ZoomBackText).isEnabled());
  ASSERT_TRUE(action(ZoomForwardText).isEnabled());
  action(ZoomForwardText).trigger();
  EXPECT_EQ(Shown(chart), zoomed);
  openMenu();
  ASSERT_TRUE(action(FitAllMarksText).isEnabled());
  action(FitAllMarksText).trigger();
  EXPECT_EQ(Shown(chart), home);

  // A click on a mark selects its row: the exclusion commands come alive; Escape ends them.
  Click(&chart, MarkOf(chart, 9));
  ASSERT_EQ(w.SelectedObjects(), Rows{9});
  EXPECT_TRUE(w.SButExclude->isEnabled());
  openMenu();
  EXPECT_TRUE(action(ExcludeSelectedText).isEnabled());
  Key(&chart, Qt::Key_Escape);
  EXPECT_FALSE(w.SButExclude->isEnabled());
  delete menu;
  EXPECT_TRUE(t.Errors.empty());
}

// A diagnostic chart is filled when its page is shown after a fit: its zoom history starts at
// the window of that fill, so Home and Back lead to the new marks, not to the last fit's window.
TEST_F(TInteractFixture, ADiagnosticChartFilledLaterStartsItsHistoryAtItsFill)
{
  TRChart& chart = *w.RCScaleLoc;
  TChartInteraction& ci = CI(&chart);
  ShowChart(w.TSScaleLoc);
  const TZoomWindow first = ci.CurrentWindow();
  // A refit with another input while the fit chart is shown; the Scale-Location page after it.
  ShowChart(w.TSActEstimate);
  t.ClickBox(2, 5);
  Settle();
  ShowChart(w.TSScaleLoc);
  const TZoomWindow refilled = Shown(chart);
  ASSERT_NE(refilled, first) << "the new fit should move the chart's window";
  EXPECT_EQ(ci.CurrentWindow(), refilled);
  EXPECT_EQ(ci.HomeWindow(), refilled);
  ASSERT_EQ(ci.History().size(), 1u);
  EXPECT_EQ(ci.History()[0], refilled);
  const TRect plot = chart.PlotRect();
  Wheel(&chart, QPoint((plot.Left + plot.Right) / 2, (plot.Top + plot.Bottom) / 2), 120);
  Key(&chart, Qt::Key_Left, Qt::AltModifier);
  EXPECT_EQ(Shown(chart), refilled);
  EXPECT_TRUE(t.Errors.empty());
}
