// Helpers of the main-window tests: a shown window on its demonstration data, clicks on the
// variable list's boxes as a user makes them, and ASC files written for a test.
#pragma once

#include "mainfrm.h"
#include "orvex_replist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTabWidget>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace mainfrm_test {

inline void SendMouse(QWidget* W, QEvent::Type Type, QPoint P, Qt::MouseButton Button = Qt::LeftButton)
{
  const Qt::MouseButtons buttons = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Button);
  QMouseEvent e(Type, QPointF(P), W->mapToGlobal(QPointF(P)), Button, buttons, Qt::NoModifier);
  QApplication::sendEvent(W, &e);
}

inline void Click(QWidget* W, QPoint P)
{
  SendMouse(W, QEvent::MouseButtonPress, P);
  SendMouse(W, QEvent::MouseButtonRelease, P);
}

// The window as the user meets it: shown (FormShow has run), the regression page open, every
// message box answered by recording its text.
struct TShownWindow {
  std::unique_ptr<orvex::TFrmMLRCalc> W = std::make_unique<orvex::TFrmMLRCalc>();
  std::vector<std::string> Warnings;
  std::vector<std::string> Errors;
  std::vector<std::string> Asked;  // the names "Save changes to NAME?" was asked for

  TShownWindow()
  {
    W->ShowWarning = [this](const std::string&, const std::string& Text) { Warnings.push_back(Text); };
    W->ShowError = [this](const std::string&, const std::string& Text) { Errors.push_back(Text); };
    // "Save changes to NAME?" is answered Discard unless a test answers otherwise.
    W->AskSaveChanges = [this](const std::string& Name) {
      Asked.push_back(Name);
      return orvex::TSaveAnswer::Discard;
    };
    W->show();
    W->PageControl1->setCurrentWidget(W->TSMLR);
    QApplication::processEvents();
  }
  // Clicks the box of list column Col (2 input, 3 target) in list row Row, as the mouse does.
  void ClickBox(int Col, int Row)
  {
    orvex::TReportListView& lv = *W->RLVarSel;
    const orvex::TRect r = lv.CellRect(Col - 1, lv.GridRowOf(Row));
    Click(lv.viewport(), QPoint(r.Left + 8, (r.Top + r.Bottom) / 2));
  }
  // The control's own visibility (a page that is not the current tab hides its children).
  bool Shown(const QWidget* Control) const { return !Control->isHidden(); }
};

// Writes Content to a fresh file of the test's temporary folder and returns its path.
inline std::string WriteFile(const std::string& Name, const std::string& Content)
{
  const auto dir = std::filesystem::temp_directory_path() / "mainfrm_tests";
  std::filesystem::create_directories(dir);
  const auto path = dir / Name;
  std::ofstream(path, std::ios::binary) << Content;
  return path.string();
}

// Processes events until Done holds or 20 s have passed; returns Done's last answer.
template <typename F>
bool WaitFor(F&& Done)
{
  QElapsedTimer clock;
  clock.start();
  while (!Done() && clock.elapsed() < 20000)
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  return Done();
}

}  // namespace mainfrm_test
