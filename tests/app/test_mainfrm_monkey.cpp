// Monkey test of the main window: 10,000 random clicks, drags (plain, with Shift or Ctrl), wheel
// turns, key presses (some with Alt), gestures on the shown scatter chart, context menus with
// their commands (the export dialogs answered) and resizes with a fixed seed (printed, and
// settable through MAINFRM_MONKEY_SEED), then checks that the window is still consistent: the
// list has a row per table column, the charts ring exactly the editor's selected rows, each
// chart's zoom history holds its window, and a role click gives a report of the current table,
// or its failure text.
#include "mainfrm_testutil.h"

#include "chartinteraction.h"

#include "orvex_ntabed.h"
#include "imageexportdlg.h"
#include "orvex_rchart.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QWheelEvent>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

using namespace orvex;
using mainfrm_test::TShownWindow;
namespace fs = std::filesystem;

TEST(MainWindowMonkey, TenThousandRandomEvents)
{
  unsigned seed = 20261208;
  if (const char* s = std::getenv("MAINFRM_MONKEY_SEED"))
    seed = static_cast<unsigned>(std::strtoul(s, nullptr, 10));
  std::printf("monkey seed %u\n", seed);
  std::mt19937 rng(seed);
  auto uniform = [&](int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(rng); };

  TShownWindow t;
  TFrmMLRCalc& w = *t.W;
  // Nothing modal may open: the dialog cancels or loads a small file, menus stay closed.
  const std::string file = mainfrm_test::WriteFile("monkey.asc", "m\n3\n4\nFALSE TRUE FALSE FALSE\nA B C\n1 2 3\n2 3 5\n3 5 4\n4 4 9\n");
  w.ODiag.ExecuteHook = [&](TOpenDialog& d) {
    d.SetFileName(file);
    return uniform(0, 1) == 1;
  };
  // Save As alternately cancels and saves to a scratch file (no draw from the random sequence).
  const std::string saved = mainfrm_test::WriteFile("monkey_saved.csv", "");
  int saveDialogs = 0;
  w.ExecuteSaveHook = [&](std::string& FileName) {
    FileName = saved;
    return ++saveDialogs % 2 == 0;
  };
  // The export dialogs alternately cancel and write small scratch files; a chart's or the memo's
  // context menu runs one of its enabled commands or closes.
  const fs::path scratch = fs::path(saved).parent_path();
  const char* imageNames[] = {"monkey.png", "monkey.svg", "monkey.pdf"};
  int imageDialogs = 0, reportDialogs = 0, menuCommands = 0;
  w.ExecuteImageExportHook = [&](TImageExportDialog& d) {
    d.SetFileName((scratch / imageNames[imageDialogs % 3]).string());
    d.SetSettings({160, 120, 96});
    return ++imageDialogs % 2 == 0;
  };
  w.ExecuteSaveReportHook = [&](std::string& FileName) {
    FileName = (scratch / (reportDialogs % 4 < 2 ? "monkey.txt" : "monkey.html")).string();
    return ++reportDialogs % 2 == 0;
  };
  w.ChartPopupHook = [&](QMenu* Menu, const QPoint&) {
    std::vector<QAction*> enabled;
    for (QAction* a : Menu->actions())
      if (a->isEnabled() && !a->isSeparator() && !a->menu())
        enabled.push_back(a);
    const int pick = uniform(0, static_cast<int>(enabled.size()));
    if (pick < static_cast<int>(enabled.size())) {
      enabled[static_cast<std::size_t>(pick)]->trigger();
      ++menuCommands;
    }
    Menu->deleteLater();
  };
  w.NTData->ShowMessageHook = [](const std::string&) {};
  // The editor's row and column heading menu runs one of its row and column commands or the
  // exclusion's (the other items open editors and dialogs of their own).
  int headingCommands = 0;
  w.NTData->PopupHook = [&](QMenu* Menu, const QPoint&) {
    if (Menu != w.NTData->PopupHTAction())
      return;
    const QString chosen[] = {"Insert Row",         "Delete Row",          "Insert Column",      "Delete Column",
                              "Select Row",         "Select Column",       ExcludeSelectedText, IncludeAllText};
    std::vector<QAction*> enabled;
    for (QAction* a : Menu->actions())
      if (a->isEnabled() && a->isVisible() && std::find(std::begin(chosen), std::end(chosen), a->text()) != std::end(chosen))
        enabled.push_back(a);
    const int pick = uniform(0, static_cast<int>(enabled.size()));
    if (pick < static_cast<int>(enabled.size())) {
      enabled[static_cast<std::size_t>(pick)]->trigger();
      ++headingCommands;
    }
  };
  w.RCFit->ShowMessage = [](const std::string&) {};
  w.RCHisto->ShowMessage = [](const std::string&) {};

  const Qt::KeyboardModifiers modifierChoice[] = {Qt::NoModifier, Qt::NoModifier, Qt::ShiftModifier,
                                                   Qt::ControlModifier};
  auto Mouse = [](QWidget* W, QEvent::Type Type, QPoint P, Qt::MouseButton Button, Qt::KeyboardModifiers Mods) {
    const Qt::MouseButtons buttons = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Button);
    QMouseEvent e(Type, QPointF(P), W->mapToGlobal(QPointF(P)), Type == QEvent::MouseMove ? Qt::NoButton : Button,
                  buttons, Mods);
    QApplication::sendEvent(W, &e);
  };
  // A gesture on a scatter chart, brought to the front while a fit is shown: hover or click on a
  // mark, a drag, a double click, the wheel, or one of the chart's keys.
  int chartGestures = 0;
  std::vector<TRChart*> scatter = {w.RCFit, w.RCResidEst, w.RCNormalQQ, w.RCScaleLoc, w.RCResidLev};
  auto ChartGesture = [&](Qt::KeyboardModifiers Mods) {
    TRChart* chart = scatter[static_cast<std::size_t>(uniform(0, static_cast<int>(scatter.size()) - 1))];
    if (chart->isHidden())
      return;  // no fit to show
    w.PageControl1->setCurrentWidget(w.TSMLR);
    w.PageControl2->setCurrentWidget(chart->parentWidget());
    ++chartGestures;
    QPoint p(uniform(0, chart->width() - 1), uniform(0, chart->height() - 1));
    if (chart->NumItems() > 0 && uniform(0, 1) == 0) {
      const TrcChartItem& it = chart->Item(uniform(0, chart->NumItems() - 1));
      int x, y;
      chart->WorldToPixel(1, it.X1, it.Y1, x, y);
      p = QPoint(x, y);
    }
    const QPoint to = p + QPoint(uniform(-60, 60), uniform(-60, 60));
    switch (uniform(0, 6)) {
    case 0:
      Mouse(chart, QEvent::MouseMove, p, Qt::NoButton, Qt::NoModifier);
      break;
    case 1:
      Mouse(chart, QEvent::MouseButtonPress, p, Qt::LeftButton, Mods);
      Mouse(chart, QEvent::MouseButtonRelease, p, Qt::LeftButton, Mods);
      break;
    case 2:
      Mouse(chart, QEvent::MouseButtonPress, p, Qt::LeftButton, Mods);
      Mouse(chart, QEvent::MouseMove, (p + to) / 2, Qt::LeftButton, Mods);
      Mouse(chart, QEvent::MouseMove, to, Qt::LeftButton, Mods);
      Mouse(chart, QEvent::MouseButtonRelease, to, Qt::LeftButton, Mods);
      break;
    case 3:
      Mouse(chart, QEvent::MouseButtonPress, p, Qt::LeftButton, Mods);
      Mouse(chart, QEvent::MouseButtonRelease, p, Qt::LeftButton, Mods);
      Mouse(chart, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Mods);
      Mouse(chart, QEvent::MouseButtonRelease, p, Qt::LeftButton, Mods);
      break;
    case 4: {
      QWheelEvent e(QPointF(p), chart->mapToGlobal(QPointF(p)), QPoint(), QPoint(0, uniform(-3, 3) * 120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(chart, &e);
      break;
    }
    default: {
      static const std::pair<int, Qt::KeyboardModifiers> chartKeys[] = {
          {Qt::Key_Home, Qt::NoModifier}, {Qt::Key_Left, Qt::AltModifier}, {Qt::Key_Right, Qt::AltModifier},
          {Qt::Key_Escape, Qt::NoModifier}, {Qt::Key_Back, Qt::NoModifier}};
      const auto& k = chartKeys[uniform(0, 4)];
      QKeyEvent press(QEvent::KeyPress, k.first, k.second);
      QApplication::sendEvent(chart, &press);
      break;
    }
    }
  };
  const int keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Return, Qt::Key_Escape,
                      Qt::Key_Tab, Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_Space, Qt::Key_Home, Qt::Key_End,
                      Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_1, Qt::Key_5, Qt::Key_Minus, Qt::Key_Period,
                      Qt::Key_A, Qt::Key_E, Qt::Key_X, Qt::Key_Z, Qt::Key_Y};
  int succeeded = 0, failed = 0;
  TRunStatus lastStatus = w.Run().Status();
  std::string lastCaption;
  for (int step = 0; step < 10000; ++step) {
    const QPoint p(uniform(0, w.width() - 1), uniform(0, w.height() - 1));
    QWidget* target = w.childAt(p);
    if (!target)
      target = &w;
    const QPoint local = target->mapFrom(&w, p);
    const int kind = uniform(0, 99);
    const Qt::KeyboardModifiers mods = modifierChoice[uniform(0, 3)];
    if (kind < 15 && w.RLVarSel->NrOfRows() > 0) {
      // Clicks at random positions rarely hit the small boxes: a share goes to the boxes.
      t.ClickBox(uniform(2, 3), uniform(1, w.RLVarSel->NrOfRows()));
    } else if (kind < 45) {
      const Qt::MouseButton button = uniform(0, 9) == 0 ? Qt::RightButton : Qt::LeftButton;
      Mouse(target, QEvent::MouseButtonPress, local, button, mods);
      Mouse(target, QEvent::MouseButtonRelease, local, button, mods);
    } else if (kind < 55) {
      Mouse(target, QEvent::MouseButtonPress, local, Qt::LeftButton, mods);
      const QPoint to = local + QPoint(uniform(-80, 80), uniform(-80, 80));
      Mouse(target, QEvent::MouseMove, to, Qt::LeftButton, mods);
      Mouse(target, QEvent::MouseButtonRelease, to, Qt::LeftButton, mods);
    } else if (kind < 65) {
      QWheelEvent e(QPointF(local), target->mapToGlobal(QPointF(local)), QPoint(), QPoint(0, uniform(0, 1) ? 120 : -120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(target, &e);
    } else if (kind < 88) {
      const int key = keys[uniform(0, static_cast<int>(std::size(keys)) - 1)];
      // Alt for the charts' history keys, Ctrl for undo and redo (Ctrl+Z, Ctrl+Y) and the
      // editor's own.
      const int modChoice = uniform(0, 9);
      const Qt::KeyboardModifiers keyMods = modChoice < 2 ? Qt::AltModifier : modChoice < 3 ? Qt::ControlModifier : Qt::NoModifier;
      const QString text = key >= Qt::Key_Space && key <= Qt::Key_Z ? QString(QChar(key)).toLower() : QString();
      QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : target;
      QKeyEvent press(QEvent::KeyPress, key, keyMods, text);
      QApplication::sendEvent(focus, &press);
      QKeyEvent release(QEvent::KeyRelease, key, keyMods, text);
      QApplication::sendEvent(focus, &release);
    } else if (kind < 94) {
      ChartGesture(mods);
    } else if (kind < 97) {
      w.resize(uniform(600, 1100), uniform(400, 800));
    } else if (kind < 98 && uniform(0, 1) == 0) {
      // The heading menu of a row or a column of the editor, as the right button opens it there.
      w.PageControl1->setCurrentWidget(w.TSData);
      TNTabEd& ed = *w.NTData;
      const bool row = uniform(0, 2) > 0;
      const TRect head = row ? ed.CellRect(0, ed.FixedRows() + uniform(0, 6)) : ed.CellRect(ed.FixedCols() + uniform(0, 2), 0);
      const QPoint at(head.Left + 3, head.Top + 3);
      Mouse(ed.viewport(), QEvent::MouseButtonPress, at, Qt::RightButton, Qt::NoModifier);
      Mouse(ed.viewport(), QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoModifier);
    } else if (kind < 98) {
      // The context menu of a result chart or of the memo, as the right button opens it.
      const std::vector<TRChart*> charts = w.ResultCharts();
      std::vector<QWidget*> menuOwners(charts.begin(), charts.end());
      menuOwners.push_back(w.MMDetails);
      QWidget* owner = menuOwners[static_cast<std::size_t>(uniform(0, static_cast<int>(menuOwners.size()) - 1))];
      const QPoint at(uniform(0, std::max(owner->width() - 1, 0)), uniform(0, std::max(owner->height() - 1, 0)));
      QContextMenuEvent e(QContextMenuEvent::Mouse, at, owner->mapToGlobal(at));
      QApplication::sendEvent(owner == w.MMDetails ? w.MMDetails->viewport() : owner, &e);
    } else if (uniform(0, 1) == 0) {
      w.PageControl1->setCurrentIndex(uniform(0, 2));
    } else {
      w.PageControl2->setCurrentIndex(uniform(0, w.PageControl2->count() - 1));
    }
    if (w.Run().Status() != lastStatus || w.Run().Caption() != lastCaption) {
      lastStatus = w.Run().Status();
      lastCaption = w.Run().Caption();
      (w.Run().Succeeded() ? succeeded : failed) += 1;
    }
    if (step % 50 == 0)
      QApplication::processEvents();
  }
  QApplication::processEvents();
  std::printf("%d gestures on a shown scatter chart\n", chartGestures);
  std::printf("menu commands %d, heading commands %d, image dialogs %d, report dialogs %d\n", menuCommands,
              headingCommands, imageDialogs, reportDialogs);
  std::printf("runs %d succeeded, %d failed; after the monkey: table %d x %d, run status %d, %d memo lines\n", succeeded, failed, w.NTData->NrOfColumns(),
              w.NTData->NrOfRows(), static_cast<int>(w.Run().Status()), static_cast<int>(w.DetailsLines().size()));

  EXPECT_GE(w.width(), 700);
  EXPECT_GE(w.height(), 500);
  // The rings show the editor's selected rows on every scatter chart, and each chart's window is
  // the step of its history it stands on.
  const std::vector<int> selected = w.SelectedObjects();
  for (int r : selected)
    EXPECT_TRUE(r >= 1 && r <= w.NTData->NrOfRows()) << r;
  for (TRChart* c : scatter) {
    const TChartInteraction& ci = *w.ChartInteraction(c);
    EXPECT_EQ(ci.SelectedRows(), selected) << c->Name();
    ASSERT_LT(ci.HistoryIndex(), static_cast<int>(ci.History().size()));
    EXPECT_EQ(ci.CurrentWindow(), ci.History()[static_cast<std::size_t>(ci.HistoryIndex())]) << c->Name();
  }
  // The excluded rows are rows of the table, in order, and the last fit left out those.
  const std::vector<int>& excluded = w.ExcludedRows();
  EXPECT_TRUE(std::is_sorted(excluded.begin(), excluded.end()));
  EXPECT_EQ(std::adjacent_find(excluded.begin(), excluded.end()), excluded.end());
  for (int r : excluded)
    EXPECT_TRUE(r >= 1 && r <= w.NTData->NrOfRows()) << r;
  ASSERT_EQ(w.RLVarSel->NrOfRows(), w.NTData->NrOfColumns());
  // A role set made by clicks: input 1, target 2 (when the table has two columns).
  if (w.NTData->NrOfColumns() >= 2) {
    w.RebuildVariableList();
    t.ClickBox(2, 1);
    t.ClickBox(3, 2);
    ASSERT_NE(w.Run().Status(), TRunStatus::NotRun);
    if (w.Run().Succeeded()) {
      EXPECT_EQ(w.DetailsLines().front(), w.Run().ReportLines().front());
      EXPECT_EQ(w.Run().Result()->ExcludedRows, excluded);
      EXPECT_FALSE(w.RCFit->isHidden());
      EXPECT_EQ(w.ChartInteraction(w.RCFit)->History().size(), 1u);  // the new fit's window only
    } else {
      EXPECT_EQ(w.DetailsLines(), std::vector<std::string>{w.Run().ErrorText()});
      EXPECT_TRUE(w.RCFit->isHidden());
    }
  }
}
