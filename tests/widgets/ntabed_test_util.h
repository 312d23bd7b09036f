// Test helpers for the table editor: its events recorded in firing order, key and mouse events
// sent as a user would, and the painted pixels of a cell.
#pragma once

#include "orvex_ntabed.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <string>
#include <vector>

struct TEditorLog {
  std::vector<std::string> Events;

  void Attach(orvex::TNTabEd& E)
  {
    using orvex::TObject;
    auto rec = [this](const char* Name) { return [this, Name](TObject*) { Events.push_back(Name); }; };
    E.OnChange = rec("Change");
    E.OnChangeSetup = rec("Setup");
    E.OnHeadingChanged = rec("Heading");
    E.OnAttributeChanged = rec("Attribute");
    E.OnLayoutChanged = rec("Layout");
    E.OnCellStateChanged = rec("CellState");
    E.OnEmptyStChanged = rec("EmptySt");
    E.OnSelectionChanged = rec("Selection");
    E.OnPaste = rec("Paste");
  }
  // The events without the selection reports, which keys and clicks raise all the time.
  std::vector<std::string> WithoutSelection() const
  {
    std::vector<std::string> out;
    for (const std::string& e : Events)
      if (e != "Selection")
        out.push_back(e);
    return out;
  }
};

inline void SendKey(QWidget* W, int Key, const QString& Text = QString(), Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
  QKeyEvent press(QEvent::KeyPress, Key, Mods, Text);
  QApplication::sendEvent(W, &press);
  QKeyEvent release(QEvent::KeyRelease, Key, Mods, Text);
  QApplication::sendEvent(W, &release);
}

// Types Text as a user would: the first character reaches the grid (and opens the editor), the
// rest go to whichever editor is then open.
inline void TypeText(orvex::TNTabEd& E, const std::string& Text)
{
  for (char c : Text) {
    QWidget* target = E.InplaceEditor() ? static_cast<QWidget*>(E.InplaceEditor()) : static_cast<QWidget*>(&E);
    const QString s(QChar::fromLatin1(c));
    int key = Qt::Key_unknown;
    if (c >= '0' && c <= '9')
      key = Qt::Key_0 + (c - '0');
    else if (c >= 'a' && c <= 'z')
      key = Qt::Key_A + (c - 'a');
    else if (c >= 'A' && c <= 'Z')
      key = Qt::Key_A + (c - 'A');
    else if (c == ',')
      key = Qt::Key_Comma;
    else if (c == '.')
      key = Qt::Key_Period;
    else if (c == '-')
      key = Qt::Key_Minus;
    SendKey(target, key, s);
  }
}

// Enter, sent where a user's Enter would go.
inline void PressEnter(orvex::TNTabEd& E)
{
  QWidget* target = E.InplaceEditor() ? static_cast<QWidget*>(E.InplaceEditor()) : static_cast<QWidget*>(&E);
  SendKey(target, Qt::Key_Return, "\r");
}

inline void Mouse(orvex::TNTabEd& E, QEvent::Type Type, Qt::MouseButton Button, QPoint P)
{
  const Qt::MouseButtons buttons = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Button);
  QMouseEvent ev(Type, QPointF(P), E.viewport()->mapToGlobal(QPointF(P)), Button, buttons, Qt::NoModifier);
  QApplication::sendEvent(E.viewport(), &ev);
}

inline void Click(orvex::TNTabEd& E, QPoint P, Qt::MouseButton Button = Qt::LeftButton)
{
  Mouse(E, QEvent::MouseButtonPress, Button, P);
  Mouse(E, QEvent::MouseButtonRelease, Button, P);
}

// The centre of a grid cell in viewport pixels.
inline QPoint CellCentre(const orvex::TNTabEd& E, int ACol, int ARow)
{
  const orvex::TRect r = E.CellRect(ACol, ARow);
  return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
}

inline QImage Grab(orvex::TNTabEd& E)
{
  return E.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline orvex::TColor PixelAt(const QImage& Img, int X, int Y)
{
  return orvex::FromQColor(QColor::fromRgb(Img.pixel(X, Y)));
}

// The box of the pixels inside R that differ from Background (empty when there are none).
inline orvex::TRect InkBox(const QImage& Img, const orvex::TRect& R, orvex::TColor Background)
{
  orvex::TRect box{R.Right, R.Bottom, R.Left, R.Top};
  for (int y = R.Top; y < R.Bottom; ++y)
    for (int x = R.Left; x < R.Right; ++x)
      if (PixelAt(Img, x, y) != Background) {
        box.Left = std::min(box.Left, x);
        box.Top = std::min(box.Top, y);
        box.Right = std::max(box.Right, x + 1);
        box.Bottom = std::max(box.Bottom, y + 1);
      }
  return box;
}

inline int InkCount(const QImage& Img, const orvex::TRect& R, orvex::TColor Background)
{
  int n = 0;
  for (int y = R.Top; y < R.Bottom; ++y)
    for (int x = R.Left; x < R.Right; ++x)
      n += PixelAt(Img, x, y) != Background;
  return n;
}

inline bool HasColour(const QImage& Img, const orvex::TRect& R, orvex::TColor C)
{
  for (int y = R.Top; y < R.Bottom; ++y)
    for (int x = R.Left; x < R.Right; ++x)
      if (PixelAt(Img, x, y) == C)
        return true;
  return false;
}

// The ink box of Text drawn at (X, Y) in the editor's font (made bold when Bold) on a bitmap of
// the cell's size.
inline orvex::TRect ReferenceInk(const orvex::TNTabEd& E, const orvex::TRect& Cell, orvex::TColor Back,
                                 orvex::TColor Fore, int X, int Y, const char* Text, bool Bold = false)
{
  orvex::TBitmap ref(Cell.Width(), Cell.Height());
  ref.Canvas().Brush().SetColor(Back);
  ref.Canvas().FillRect({0, 0, Cell.Width(), Cell.Height()});
  ref.Canvas().Font().Assign(E.Font());
  ref.Canvas().Font().SetColor(Fore);
  if (Bold)
    ref.Canvas().Font().SetBold(true);
  ref.Canvas().TextOut(X, Y, Text);
  return InkBox(ref.Image(), {0, 0, Cell.Width(), Cell.Height()}, Back);
}
