// The control base: painting through TCanvas, mouse events, alignment in the parent.
#include "orvex_controls.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

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
  if (Value == FAlign)
    return;
  FAlign = Value;
  if (parentWidget()) {
    parentWidget()->removeEventFilter(this);
    if (FAlign != alNone)
      parentWidget()->installEventFilter(this);
  }
  ApplyAlign();
}

void TCustomControl::ApplyAlign()
{
  const QWidget* p = parentWidget();
  if (!p || FAlign == alNone)
    return;
  const int pw = p->width();
  const int ph = p->height();
  switch (FAlign) {
    case alTop: setGeometry(0, 0, pw, height()); break;
    case alBottom: setGeometry(0, ph - height(), pw, height()); break;
    case alLeft: setGeometry(0, 0, width(), ph); break;
    case alRight: setGeometry(pw - width(), 0, width(), ph); break;
    case alClient: setGeometry(0, 0, pw, ph); break;
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
  FShowHint = Value;
  UpdateToolTip();
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

void TCustomControl::mouseDoubleClickEvent(QMouseEvent* Event)
{
  const QPoint p = Event->position().toPoint();
  if (Event->button() == Qt::LeftButton)
    FLeftPressed = true;
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

TGraphicControl::TGraphicControl(QWidget* Parent) : TCustomControl(Parent)
{
  setFocusPolicy(Qt::NoFocus);
}

}  // namespace orvex
