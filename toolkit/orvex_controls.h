// The base of the visual components: a QWidget that is also a TComponent (Name, ClassName) and
// offers the classic control vocabulary on top of Qt: bounds, alignment in the parent, colour,
// font, hint, a TCanvas while painting, and mouse events as std::function members with the
// sender first.
//
// Ownership: a control belongs to its Qt parent widget, which deletes it. Its TComponent owner
// is always nullptr, so no object is ever deleted twice. Non-visual components keep using the
// TComponent owner.
#pragma once

#include "orvex_canvas.h"
#include "orvex_component.h"

#include <QChar>
#include <QWidget>
#include <functional>
#include <string>

namespace orvex {

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;
// Where a control sits in its parent: as placed, or stretched along one side, or filling it.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, int& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, QChar& Key)>;
// WheelDelta in eighths of a degree (120 per notch, negative towards the user); a handler that
// sets Handled keeps the turn from going further.
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, const QPoint& MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent =
    std::function<void(TObject* Sender, TShiftState Shift, const QPoint& MousePos, bool& Handled)>;

TShiftState ShiftStateOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons = Qt::NoButton);
TMouseButton MouseButtonOf(Qt::MouseButton Button);

// Places Control in its parent as Align says (stretched along one side or over the whole
// parent); alNone leaves it where it is.
void AlignInParent(QWidget& Control, TAlign Align);
// Sets Current to Value and re-places Control; while it is aligned, Control watches its
// parent's resizes (its eventFilter is expected to call AlignInParent again).
void ChangeAlign(QWidget& Control, TAlign& Current, TAlign Value);

// A windowed control: it can take the keyboard focus.
class TCustomControl : public QWidget, public TComponent {
public:
  explicit TCustomControl(QWidget* Parent = nullptr);
  ~TCustomControl() override;
  std::string ClassName() const override { return "TCustomControl"; }

  // properties
  int Left() const { return x(); }
  int Top() const { return y(); }
  int Width() const { return width(); }
  int Height() const { return height(); }
  void SetWidth(int Value) { resize(Value < 0 ? 0 : Value, height()); }
  void SetHeight(int Value) { resize(width(), Value < 0 ? 0 : Value); }
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect ClientRect() const { return {0, 0, width(), height()}; }
  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value);
  bool Visible() const { return !isHidden(); }
  void SetVisible(bool Value) { setVisible(Value); }
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& Value);
  bool ShowHint() const { return FShowHint; }
  // Setting ShowHint also ends taking it from the parent.
  void SetShowHint(bool Value);
  // While true (the default), ShowHint follows the parent control's ShowHint; a parent that is
  // not one of our controls has nothing to hand down, and the control keeps its own value.
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool Value);
  // The canvas Paint draws on; it has a painter only while Paint runs.
  TCanvas& Canvas() { return FCanvas; }

  // operations
  // Asks for a repaint later (nothing happens while the control is hidden).
  void Invalidate() { update(); }
  // Repaints at once.
  void Repaint() { repaint(); }

  // events
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  // A wheel turn: OnMouseWheel first; unless it handled the turn, OnMouseWheelDown (towards the
  // user) or OnMouseWheelUp. A turn nobody handled goes on to the parent widget.
  TMouseWheelEvent OnMouseWheel;
  TMouseWheelUpDownEvent OnMouseWheelDown;
  TMouseWheelUpDownEvent OnMouseWheelUp;
  // Keys reach only a control that has the focus (never a graphic control). OnKeyDown may change
  // the key or swallow it by setting it to 0; OnKeyPress then sees the typed character, if any,
  // and may change or clear (QChar()) it.
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;

protected:
  // Draws the control on Canvas(); the default fills it with Color.
  virtual void Paint();

  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void wheelEvent(QWheelEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void keyReleaseEvent(QKeyEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  void ApplyAlign();
  void UpdateToolTip();
  // Stores the effective ShowHint and hands it down to the children that follow this control.
  void ApplyShowHint(bool Value);

  TCanvas FCanvas;
  TFont FFont;
  TColor FColor = clBtnFace;
  TAlign FAlign = alNone;
  std::string FHint;
  bool FShowHint = false;
  bool FParentShowHint = true;
  bool FLeftPressed = false;
};

// A non-windowed control: drawn and clicked like any other, but never takes the focus.
class TGraphicControl : public TCustomControl {
public:
  explicit TGraphicControl(QWidget* Parent = nullptr);
  std::string ClassName() const override { return "TGraphicControl"; }
};

}  // namespace orvex
