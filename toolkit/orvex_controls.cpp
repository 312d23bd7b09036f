// The control base: painting through TCanvas, mouse events, alignment in the parent.
#include "orvex_controls.h"

#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace orvex {

TShiftState ShiftStateOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons)
{
  TShiftState s;
  if (Modifiers & Qt::ShiftModifier)
    s.Include(ssShift);
  if (Modifiers & Qt::AltModifier)
    s.Include(ssAlt);
  if (Modifiers & Qt::ControlModifier)
    s.Include(ssCtrl);
  if (Buttons & Qt::LeftButton)
    s.Include(ssLeft);
  if (Buttons & Qt::RightButton)
    s.Include(ssRight);
  if (Buttons & Qt::MiddleButton)
    s.Include(ssMiddle);
  return s;
}

TMouseButton MouseButtonOf(Qt::MouseButton Button)
{
  switch (Button) {
    case Qt::RightButton: return mbRight;
    case Qt::MiddleButton: return mbMiddle;
    default: return mbLeft;
  }
}

TCustomControl::TCustomControl(QWidget* Parent) : QWidget(Parent), TComponent(nullptr)
{
  if (const auto* parent = dynamic_cast<const TCustomControl*>(Parent))
    FShowHint = parent->ShowHint();
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  FFont.OnChange = [this](TObject*) {
    setFont(FFont.ToQFont());
    update();
  };
}

TCustomControl::~TCustomControl()
{
  FFont.OnChange = nullptr;
  if (parentWidget())
    parentWidget()->removeEventFilter(this);
}

void TCustomControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  setGeometry(ALeft, ATop, AWidth < 0 ? 0 : AWidth, AHeight < 0 ? 0 : AHeight);
}

void TCustomControl::SetAlign(TAlign Value)
{
  ChangeAlign(*this, FAlign, Value);
}

void TCustomControl::ApplyAlign()
{
  AlignInParent(*this, FAlign);
}

void ChangeAlign(QWidget& Control, TAlign& Current, TAlign Value)
{
  if (Value == Current)
    return;
  Current = Value;
  if (QWidget* p = Control.parentWidget()) {
    p->removeEventFilter(&Control);
    if (Current != alNone)
      p->installEventFilter(&Control);
  }
  AlignInParent(Control, Current);
}

void AlignInParent(QWidget& Control, TAlign Align)
{
  const QWidget* p = Control.parentWidget();
  if (!p || Align == alNone)
    return;
  const int pw = p->width();
  const int ph = p->height();
  switch (Align) {
    case alTop: Control.setGeometry(0, 0, pw, Control.height()); break;
    case alBottom: Control.setGeometry(0, ph - Control.height(), pw, Control.height()); break;
    case alLeft: Control.setGeometry(0, 0, Control.width(), ph); break;
    case alRight: Control.setGeometry(pw - Control.width(), 0, Control.width(), ph); break;
    case alClient: Control.setGeometry(0, 0, pw, ph); break;
    default: break;
  }
}

bool TCustomControl::eventFilter(QObject* Watched, QEvent* Event)
{
  if (Watched == parentWidget() && Event->type() == QEvent::Resize)
    ApplyAlign();
  return QWidget::eventFilter(Watched, Event);
}

void TCustomControl::SetColor(TColor Value)
{
  if (Value == FColor)
    return;
  FColor = Value;
  update();
}

void TCustomControl::SetHint(const std::string& Value)
{
  FHint = Value;
  UpdateToolTip();
}

void TCustomControl::SetShowHint(bool Value)
{
  FParentShowHint = false;
  ApplyShowHint(Value);
}

void TCustomControl::SetParentShowHint(bool Value)
{
  FParentShowHint = Value;
  if (const auto* parent = dynamic_cast<const TCustomControl*>(parentWidget()); Value && parent)
    ApplyShowHint(parent->ShowHint());
}

void TCustomControl::ApplyShowHint(bool Value)
{
  FShowHint = Value;
  UpdateToolTip();
  for (QObject* child : children())
    if (auto* control = dynamic_cast<TCustomControl*>(child); control && control->FParentShowHint)
      control->ApplyShowHint(Value);
}

void TCustomControl::UpdateToolTip()
{
  setToolTip(FShowHint ? QString::fromStdString(FHint) : QString());
}

void TCustomControl::Paint()
{
  FCanvas.Brush().SetColor(FColor);
  FCanvas.Brush().SetStyle(bsSolid);
  FCanvas.FillRect(ClientRect());
}

void TCustomControl::paintEvent(QPaintEvent* /*Event*/)
{
  QPainter painter(this);
  FCanvas.SetPainter(&painter);
  FCanvas.SetFont(FFont);
  // Nothing may throw out of an event handler: a failing paint leaves the area as it is.
  try {
    Paint();
  } catch (const std::exception&) {
  }
  FCanvas.SetPainter(nullptr);
}

void TCustomControl::mousePressEvent(QMouseEvent* Event)
{
  const QPoint p = Event->position().toPoint();
  if (Event->button() == Qt::LeftButton)
    FLeftPressed = true;
  Fire(OnMouseDown, this, MouseButtonOf(Event->button()), ShiftStateOf(Event->modifiers(), Event->buttons()),
       p.x(), p.y());
}

void TCustomControl::mouseReleaseEvent(QMouseEvent* Event)
{
  const QPoint p = Event->position().toPoint();
  const bool click = Event->button() == Qt::LeftButton && FLeftPressed && rect().contains(p);
  if (Event->button() == Qt::LeftButton)
    FLeftPressed = false;
  Fire(OnMouseUp, this, MouseButtonOf(Event->button()), ShiftStateOf(Event->modifiers(), Event->buttons()),
       p.x(), p.y());
  if (click)
    Fire(OnClick, this);
}

// The second press of a double click: OnMouseDown with ssDouble, then OnDblClick. Its release
// raises no second OnClick, so the pair of clicks gives one OnClick, as in the grid.
void TCustomControl::mouseDoubleClickEvent(QMouseEvent* Event)
{
  const QPoint p = Event->position().toPoint();
  FLeftPressed = false;
  TShiftState shift = ShiftStateOf(Event->modifiers(), Event->buttons());
  shift.Include(ssDouble);
  Fire(OnMouseDown, this, MouseButtonOf(Event->button()), shift, p.x(), p.y());
  if (Event->button() == Qt::LeftButton)
    Fire(OnDblClick, this);
}

void TCustomControl::mouseMoveEvent(QMouseEvent* Event)
{
  const QPoint p = Event->position().toPoint();
  Fire(OnMouseMove, this, ShiftStateOf(Event->modifiers(), Event->buttons()), p.x(), p.y());
}

void TCustomControl::wheelEvent(QWheelEvent* Event)
{
  const QPoint delta = Event->angleDelta();
  const int turn = delta.y() != 0 ? delta.y() : delta.x();
  const QPoint pos = Event->position().toPoint();
  const TShiftState shift = ShiftStateOf(Event->modifiers(), Event->buttons());
  bool handled = false;
  Fire(OnMouseWheel, this, shift, turn, pos, handled);
  if (!handled && turn < 0)
    Fire(OnMouseWheelDown, this, shift, pos, handled);
  else if (!handled && turn > 0)
    Fire(OnMouseWheelUp, this, shift, pos, handled);
  if (handled)
    Event->accept();
  else
    Event->ignore();
}

void TCustomControl::keyPressEvent(QKeyEvent* Event)
{
  int key = Event->key();
  Fire(OnKeyDown, this, key, ShiftStateOf(Event->modifiers()));
  if (key == 0) {
    Event->accept();
    return;
  }
  if (!Event->text().isEmpty() && Event->text().at(0).isPrint()) {
    QChar ch = Event->text().at(0);
    Fire(OnKeyPress, this, ch);
    if (ch.isNull()) {
      Event->accept();
      return;
    }
  }
  QWidget::keyPressEvent(Event);
}

void TCustomControl::keyReleaseEvent(QKeyEvent* Event)
{
  int key = Event->key();
  Fire(OnKeyUp, this, key, ShiftStateOf(Event->modifiers()));
  if (key == 0) {
    Event->accept();
    return;
  }
  QWidget::keyReleaseEvent(Event);
}

TGraphicControl::TGraphicControl(QWidget* Parent) : TCustomControl(Parent)
{
  setFocusPolicy(Qt::NoFocus);
}

}  // namespace orvex
