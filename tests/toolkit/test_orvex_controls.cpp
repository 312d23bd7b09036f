// The control base: paints through its canvas, reports mouse events with the sender first and
// follows its parent when aligned.
#include "orvex_controls.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace orvex;

namespace {

class Cross : public TCustomControl {
public:
  using TCustomControl::TCustomControl;

protected:
  void Paint() override
  {
    TCustomControl::Paint();
    Canvas().Pen().SetColor(clRed);
    Canvas().MoveTo(0, 0);
    Canvas().LineTo(Width(), Height());
  }
};

}  // namespace

TEST(Controls, PaintGoesThroughTheCanvas)
{
  Cross c;
  c.resize(10, 10);
  c.SetColor(clAqua);
  const QImage img = c.grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(FromQColor(QColor::fromRgb(img.pixel(0, 0))), clRed);
  EXPECT_EQ(FromQColor(QColor::fromRgb(img.pixel(9, 9))), clRed);
  EXPECT_EQ(FromQColor(QColor::fromRgb(img.pixel(9, 0))), clAqua);
  EXPECT_FALSE(c.Canvas().HasPainter());  // the canvas only draws while painting
}

namespace {

void Send(QWidget& w, QEvent::Type type, Qt::MouseButton button, Qt::KeyboardModifiers mods, QPoint pos)
{
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
  QMouseEvent e(type, QPointF(pos), w.mapToGlobal(QPointF(pos)), button, held, mods);
  QCoreApplication::sendEvent(&w, &e);
}

}  // namespace

TEST(Controls, MouseEventsAndClick)
{
  TGraphicControl c;
  c.resize(50, 50);
  EXPECT_EQ(c.focusPolicy(), Qt::NoFocus);
  std::vector<std::string> log;
  c.OnMouseDown = [&log, &c](const TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    EXPECT_EQ(s, &c);
    log.push_back("down " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y) +
                  (sh.Contains(ssShift) ? " shift" : "") + (sh.Contains(ssDouble) ? " double" : ""));
  };
  c.OnMouseUp = [&log](TObject*, TMouseButton b, TShiftState, int x, int y) {
    log.push_back("up " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y));
  };
  c.OnMouseMove = [&log](TObject*, TShiftState sh, int x, int y) {
    log.push_back("move " + std::to_string(x) + "," + std::to_string(y) + (sh.Contains(ssLeft) ? " left" : ""));
  };
  c.OnClick = [&log](TObject*) { log.push_back("click"); };
  c.OnDblClick = [&log](TObject*) { log.push_back("dblclick"); };

  const Qt::KeyboardModifiers none = Qt::NoModifier;
  Send(c, QEvent::MouseButtonPress, Qt::LeftButton, Qt::ShiftModifier, {5, 6});
  Send(c, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::ShiftModifier, {5, 6});
  Send(c, QEvent::MouseButtonPress, Qt::RightButton, none, {7, 8});  // no click for the right button
  Send(c, QEvent::MouseButtonRelease, Qt::RightButton, none, {7, 8});
  Send(c, QEvent::MouseButtonDblClick, Qt::LeftButton, none, {1, 2});
  Send(c, QEvent::MouseButtonRelease, Qt::LeftButton, none, {1, 2});
  // Released outside the control: no click.
  Send(c, QEvent::MouseButtonPress, Qt::LeftButton, none, {3, 3});
  Send(c, QEvent::MouseMove, Qt::NoButton, none, {80, 3});
  Send(c, QEvent::MouseButtonRelease, Qt::LeftButton, none, {80, 3});
  const std::vector<std::string> expected = {
      "down 0 5,6 shift", "up 0 5,6", "click",    "down 1 7,8", "up 1 7,8",   "down 0 1,2 double",
      "dblclick",         "up 0 1,2", "down 0 3,3", "move 80,3", "up 0 80,3"};
  EXPECT_EQ(log, expected);
}

TEST(Controls, AlignFollowsTheParent)
{
  QWidget parent;
  parent.resize(200, 100);
  TGraphicControl top(&parent);
  top.SetHeight(20);
  top.SetAlign(alTop);
  EXPECT_EQ(top.geometry(), QRect(0, 0, 200, 20));
  TGraphicControl right(&parent);
  right.SetWidth(30);
  right.SetAlign(alRight);
  parent.show();  // a hidden widget gets its resize events only when shown
  parent.resize(300, 150);
  EXPECT_EQ(top.geometry(), QRect(0, 0, 300, 20));
  EXPECT_EQ(right.geometry(), QRect(270, 0, 30, 150));
  top.SetHint("tip");
  EXPECT_TRUE(top.toolTip().isEmpty());
  top.SetShowHint(true);
  EXPECT_EQ(top.toolTip(), "tip");
}

TEST(Controls, ShowHintFollowsTheParentUntilSetOwnValue)
{
  TCustomControl parent;
  parent.SetShowHint(true);
  EXPECT_FALSE(parent.ParentShowHint());  // setting its own value ends following
  TGraphicControl follower(&parent);
  TGraphicControl own(&parent);
  TGraphicControl grandchild(&follower);
  follower.SetHint("f");
  EXPECT_TRUE(follower.ParentShowHint());
  EXPECT_TRUE(follower.ShowHint());  // taken over at creation
  EXPECT_EQ(follower.toolTip(), "f");
  own.SetShowHint(true);
  parent.SetShowHint(false);
  EXPECT_FALSE(follower.ShowHint());
  EXPECT_FALSE(grandchild.ShowHint());  // handed down through every following level
  EXPECT_TRUE(follower.toolTip().isEmpty());
  EXPECT_TRUE(own.ShowHint());
  own.SetParentShowHint(true);  // follows again, starting with the parent's current value
  EXPECT_FALSE(own.ShowHint());
  parent.SetShowHint(true);
  EXPECT_TRUE(own.ShowHint());
  EXPECT_TRUE(grandchild.ShowHint());
  // A parent that is not one of our controls hands nothing down.
  QWidget plain;
  TGraphicControl orphan(&plain);
  orphan.SetShowHint(true);
  orphan.SetParentShowHint(true);
  EXPECT_TRUE(orphan.ShowHint());
}

TEST(Controls, WheelAndKeyEventsReachTheHandlersFirst)
{
  QWidget parent;
  TCustomControl c(&parent);
  c.resize(40, 40);
  std::vector<std::string> log;
  bool takeWheel = false;
  c.OnMouseWheel = [&](const TObject* s, TShiftState sh, int delta, const QPoint& pos, bool& handled) {
    EXPECT_EQ(s, &c);
    log.push_back("wheel " + std::to_string(delta) + " at " + std::to_string(pos.x()) + "," +
                  std::to_string(pos.y()) + (sh.Contains(ssCtrl) ? " ctrl" : ""));
    handled = takeWheel;
  };
  c.OnMouseWheelDown = [&log](TObject*, TShiftState, const QPoint&, bool& handled) {
    log.push_back("down");
    handled = true;
  };
  c.OnMouseWheelUp = [&log](TObject*, TShiftState, const QPoint&, bool&) { log.push_back("up"); };
  auto turn = [&c](int delta, Qt::KeyboardModifiers mods) {
    QWheelEvent e(QPointF(5, 6), c.mapToGlobal(QPointF(5, 6)), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&c, &e);
    return e.isAccepted();
  };
  EXPECT_TRUE(turn(-120, Qt::ControlModifier));
  EXPECT_FALSE(turn(240, Qt::NoModifier));  // nobody handled it: the parent may scroll
  takeWheel = true;
  EXPECT_TRUE(turn(-120, Qt::NoModifier));
  const std::vector<std::string> wheel = {"wheel -120 at 5,6 ctrl", "down", "wheel 240 at 5,6", "up",
                                          "wheel -120 at 5,6"};
  EXPECT_EQ(log, wheel);

  log.clear();
  c.OnKeyDown = [&log](TObject*, int& key, TShiftState sh) {
    log.push_back("keydown " + std::to_string(key) + (sh.Contains(ssShift) ? " shift" : ""));
    if (key == Qt::Key_Escape)
      key = 0;  // swallowed
  };
  c.OnKeyPress = [&log](TObject*, QChar& ch) {
    log.push_back(std::string("press ") + ch.toLatin1());
    if (ch == QChar('x'))
      ch = QChar();
  };
  c.OnKeyUp = [&log](TObject*, const int& key, TShiftState) { log.push_back("keyup " + std::to_string(key)); };
  auto key = [&c](QEvent::Type type, int k, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent e(type, k, mods, text);
    QCoreApplication::sendEvent(&c, &e);
    return e.isAccepted();
  };
  key(QEvent::KeyPress, Qt::Key_A, "A", Qt::ShiftModifier);
  key(QEvent::KeyRelease, Qt::Key_A, "A", Qt::ShiftModifier);
  EXPECT_TRUE(key(QEvent::KeyPress, Qt::Key_Escape, QString(QChar(27))));  // no press for it
  EXPECT_TRUE(key(QEvent::KeyPress, Qt::Key_X, "x"));                      // cleared by the handler
  const std::vector<std::string> keys = {"keydown " + std::to_string(Qt::Key_A) + " shift", "press A",
                                         "keyup " + std::to_string(Qt::Key_A),
                                         "keydown " + std::to_string(Qt::Key_Escape),
                                         "keydown " + std::to_string(Qt::Key_X), "press x"};
  EXPECT_EQ(log, keys);
}
