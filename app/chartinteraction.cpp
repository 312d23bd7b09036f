// TChartInteraction: hover, click and rectangle selection, pan and zoom with their history, and
// the selection rings, on one chart.
//
// A plain press sets maPan, but the chart only starts panning once the pointer has left the
// click tolerance: the moves before are held back, and the first one beyond it is preceded by a
// move at the press point, where the chart takes its snapshot, so the pan follows the pointer
// from the press on. The release goes to the chart first (it ends a zoom window or fires
// OnSelectRect), then the gesture is judged: a click selects, a drag is a step of the history.
#include "chartinteraction.h"

#include "orvex_canvas.h"
#include "orvex_rchart.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

// The window Window zoomed by Factor about the world point P on one axis (in logarithms on a
// logarithmic axis, whose bounds are positive).
void ZoomAxis(double& Low, double& High, double P, double Factor, bool Logarithmic)
{
  if (Logarithmic && Low > 0 && High > 0 && P > 0) {
    const double lp = std::log(P);
    Low = std::exp(lp - (lp - std::log(Low)) / Factor);
    High = std::exp(lp + (std::log(High) - lp) / Factor);
    return;
  }
  Low = P - (P - Low) / Factor;
  High = P + (High - P) / Factor;
}

}  // namespace

TChartInteraction::TChartInteraction(TCustomRChart& Chart) : QObject(&Chart), FChart(Chart), FAlive(&Chart)
{
  FChart.installEventFilter(this);
  FChart.setMouseTracking(true);
  // Keys reach the chart once it has been clicked.
  if (FChart.focusPolicy() == Qt::NoFocus)
    FChart.setFocusPolicy(Qt::ClickFocus);
  FChart.OnSelectRect = [this](TObject*, int Layer, double LoX, double LoY, double HiX, double HiY) {
    if (Layer == 1 && FMoved && OnSelectRows)
      OnSelectRows(this, RowsIn(LoX, LoY, HiX, HiY));
  };
  FHistory = {CurrentWindow()};
  FHome = FHistory.front();
}

TChartInteraction::~TChartInteraction()
{
  // Deleted with the chart, whose own members are gone by then.
  if (FAlive) {
    FChart.OnSelectRect = nullptr;
    FChart.removeEventFilter(this);
  }
}

// --- marks and rows --------------------------------------------------------------------------

int TChartInteraction::RowAt(int X, int Y) const
{
  const int item = FChart.ItemAt(X, Y, FHitTolerance, ikMark);
  if (item < 0)
    return 0;
  return std::max(0, FChart.Item(item).Tag);
}

std::vector<int> TChartInteraction::RowsIn(double X1, double Y1, double X2, double Y2) const
{
  const double lx = std::min(X1, X2), hx = std::max(X1, X2);
  const double ly = std::min(Y1, Y2), hy = std::max(Y1, Y2);
  std::vector<int> rows;
  const TrcChartItem* items = FChart.Items();
  for (int i = 0; i < FChart.NumItems(); ++i) {
    const TrcChartItem& it = items[i];
    if (it.Kind == ikMark && it.Tag > 0 && it.Layer == 1 && it.X1 >= lx && it.X1 <= hx && it.Y1 >= ly &&
        it.Y1 <= hy)
      rows.push_back(it.Tag);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

void TChartInteraction::SetSelectedRows(const std::vector<int>& Rows)
{
  if (Rows == FSelected)
    return;
  for (int r : FSelected)
    FSelectedFlag[static_cast<std::size_t>(r)] = 0;
  FSelected.clear();
  for (int r : Rows) {
    if (r < 1)
      continue;
    if (static_cast<std::size_t>(r) >= FSelectedFlag.size())
      FSelectedFlag.resize(static_cast<std::size_t>(r) + 1, 0);
    if (!FSelectedFlag[static_cast<std::size_t>(r)])
      FSelected.push_back(r);
    FSelectedFlag[static_cast<std::size_t>(r)] = 1;
  }
  std::sort(FSelected.begin(), FSelected.end());
  FChart.update();
}

// --- zoom history ----------------------------------------------------------------------------

TZoomWindow TChartInteraction::CurrentWindow() const
{
  return {FChart.ScalePropsX(1).RangeLow(), FChart.ScalePropsY(1).RangeLow(), FChart.ScalePropsX(1).RangeHigh(),
          FChart.ScalePropsY(1).RangeHigh()};
}

void TChartInteraction::ResetHistory()
{
  FHome = CurrentWindow();
  FHistory = {FHome};
  FHistoryIndex = 0;
  FLastStepWheel = false;
}

void TChartInteraction::Apply(const TZoomWindow& Window)
{
  FChart.SetRange(1, Window.LowX, Window.LowY, Window.HighX, Window.HighY);
}

void TChartInteraction::Record(bool Merge)
{
  const TZoomWindow now = CurrentWindow();
  if (now == FHistory[static_cast<std::size_t>(FHistoryIndex)])
    return;
  FHistory.resize(static_cast<std::size_t>(FHistoryIndex) + 1);
  if (Merge && FHistoryIndex > 0) {
    FHistory.back() = now;
    return;
  }
  FHistory.push_back(now);
  ++FHistoryIndex;
}

void TChartInteraction::FitAll()
{
  FLastStepWheel = false;
  Apply(FHome);
  Record();
}

bool TChartInteraction::Back()
{
  FLastStepWheel = false;
  if (!CanGoBack())
    return false;
  --FHistoryIndex;
  Apply(FHistory[static_cast<std::size_t>(FHistoryIndex)]);
  return true;
}

bool TChartInteraction::Forward()
{
  FLastStepWheel = false;
  if (!CanGoForward())
    return false;
  ++FHistoryIndex;
  Apply(FHistory[static_cast<std::size_t>(FHistoryIndex)]);
  return true;
}

bool TChartInteraction::ZoomAt(int X, int Y, double Factor)
{
  const TRect p = FChart.PlotRect();
  if (X < p.Left || X > p.Right || Y < p.Top || Y > p.Bottom || !(Factor > 0) || !std::isfinite(Factor))
    return false;
  double wx, wy;
  FChart.PixelToWorld(1, X, Y, wx, wy);
  TZoomWindow w = CurrentWindow();
  ZoomAxis(w.LowX, w.HighX, wx, Factor, FChart.ScalePropsX(1).Logarithmic());
  ZoomAxis(w.LowY, w.HighY, wy, Factor, FChart.ScalePropsY(1).Logarithmic());
  if (!std::isfinite(w.LowX) || !std::isfinite(w.HighX) || !std::isfinite(w.LowY) || !std::isfinite(w.HighY))
    return false;
  Apply(w);
  // The notches of one turn of the wheel at one place are one step back.
  const bool samePlace = FLastStepWheel && (QPoint(X, Y) - FWheelPos).manhattanLength() <= FClickTolerance;
  Record(samePlace);
  FLastStepWheel = true;
  FWheelPos = {X, Y};
  return true;
}

// --- events ----------------------------------------------------------------------------------

void TChartInteraction::Deliver(QEvent& Event)
{
  FForwarding = true;
  QApplication::sendEvent(&FChart, &Event);
  FForwarding = false;
}

bool TChartInteraction::eventFilter(QObject* Watched, QEvent* Event)
{
  if (Watched != &FChart || FForwarding)
    return false;
  // Nothing may leave an event handler: a failing gesture is dropped.
  try {
    switch (Event->type()) {
    case QEvent::MouseButtonPress:
      return MousePress(static_cast<QMouseEvent*>(Event));
    case QEvent::MouseMove:
      return MouseMove(static_cast<QMouseEvent*>(Event));
    case QEvent::MouseButtonRelease:
      return MouseRelease(static_cast<QMouseEvent*>(Event));
    case QEvent::MouseButtonDblClick:
      if (static_cast<QMouseEvent*>(Event)->button() != Qt::LeftButton)
        return false;
      FPressed = false;
      FitAll();
      return true;
    case QEvent::Wheel:
      return Wheel(static_cast<QWheelEvent*>(Event));
    case QEvent::KeyPress:
      return KeyPress(static_cast<QKeyEvent*>(Event));
    case QEvent::Leave:
    case QEvent::Hide:
      HideToolTip();
      return false;
    case QEvent::Paint:
      return Paint(Event);
    default:
      return false;
    }
  } catch (const std::exception&) {
    FPressed = false;
    FChart.SetMouseAction(maNone);
    return true;
  }
}

bool TChartInteraction::MousePress(QMouseEvent* Event)
{
  switch (Event->button()) {
  case Qt::BackButton:
    Back();
    return true;
  case Qt::ForwardButton:
    Forward();
    return true;
  case Qt::LeftButton:
    break;
  default:
    return false;  // the right button is the context menu's
  }
  HideToolTip();
  FPressed = true;
  FMoved = false;
  FPressPos = Event->position().toPoint();
  FPressMods = Event->modifiers();
  TMouseActMode mode = maPan;
  if (FPressMods.testFlag(Qt::ShiftModifier))
    mode = maSelectRect;
  else if (FPressMods.testFlag(Qt::ControlModifier))
    mode = maZoomWindPos;
  FGestureMode = mode;
  FChart.SetMouseAction(mode);
  return false;  // a rectangle mode starts its figure at the press
}

bool TChartInteraction::MouseMove(QMouseEvent* Event)
{
  const QPoint pos = Event->position().toPoint();
  if (!FPressed || !(Event->buttons() & Qt::LeftButton)) {
    if (!(Event->buttons() & Qt::LeftButton))
      Hover(pos);
    return false;
  }
  if (FMoved)
    return false;
  if ((pos - FPressPos).manhattanLength() <= FClickTolerance)
    return FGestureMode == maPan;  // a click so far: the chart does not pan yet
  FMoved = true;
  if (FGestureMode == maPan) {
    QMouseEvent start(QEvent::MouseMove, QPointF(FPressPos), FChart.mapToGlobal(QPointF(FPressPos)), Qt::NoButton,
                      Event->buttons(), Event->modifiers());
    Deliver(start);
  }
  return false;
}

bool TChartInteraction::MouseRelease(QMouseEvent* Event)
{
  if (Event->button() != Qt::LeftButton || !FPressed)
    return false;
  FPressed = false;
  const bool rectMode = FGestureMode != maPan;
  if (!FMoved && rectMode) {
    // A click with Shift or Ctrl: the chart drops its figure as for a cancelled drag.
    QMouseEvent cancel(QEvent::MouseButtonRelease, Event->position(), Event->globalPosition(), Qt::RightButton,
                       Qt::NoButton, Event->modifiers());
    Deliver(cancel);
  } else {
    Deliver(*Event);
  }
  FChart.SetMouseAction(maNone);
  FLastStepWheel = false;
  if (!FMoved) {
    if (OnClickMark)
      OnClickMark(this, RowAt(FPressPos.x(), FPressPos.y()), FPressMods);
  } else if (FGestureMode != maSelectRect) {
    Record();
  }
  return true;
}

bool TChartInteraction::Wheel(QWheelEvent* Event)
{
  const int delta = Event->angleDelta().y();
  if (delta == 0)
    return false;
  const QPoint pos = Event->position().toPoint();
  HideToolTip();
  return ZoomAt(pos.x(), pos.y(), std::pow(FWheelFactor, delta / 120.0));
}

bool TChartInteraction::KeyPress(QKeyEvent* Event)
{
  const int key = Event->key();
  const bool alt = Event->modifiers().testFlag(Qt::AltModifier);
  if (key == Qt::Key_Home && !alt) {
    FitAll();
    return true;
  }
  if ((alt && key == Qt::Key_Left) || key == Qt::Key_Back) {
    Back();
    return true;
  }
  if ((alt && key == Qt::Key_Right) || key == Qt::Key_Forward) {
    Forward();
    return true;
  }
  if (key == Qt::Key_Escape) {
    if (OnClearSelection)
      OnClearSelection(this);
    return true;
  }
  return false;
}

// --- hover -----------------------------------------------------------------------------------

void TChartInteraction::Hover(QPoint Pos)
{
  const int row = RowAt(Pos.x(), Pos.y());
  if (row == FHoverRow)
    return;
  FHoverRow = row;
  FToolTip = row > 0 && OnToolTip ? OnToolTip(this, row) : std::string();
  if (FToolTip.empty())
    QToolTip::hideText();
  else
    QToolTip::showText(FChart.mapToGlobal(Pos), QString::fromStdString(FToolTip), &FChart);
}

void TChartInteraction::HideToolTip()
{
  if (FHoverRow == 0 && FToolTip.empty())
    return;
  FHoverRow = 0;
  FToolTip.clear();
  QToolTip::hideText();
}

// --- selection rings -------------------------------------------------------------------------

bool TChartInteraction::Paint(QEvent* Event)
{
  if (FSelected.empty())
    return false;
  // The chart shows its frame first; the rings go over it within the same paint.
  Deliver(*Event);
  DrawRings();
  return true;
}

void TChartInteraction::DrawRings()
{
  const TRect plot = FChart.PlotRect();
  QPainter painter(&FChart);
  painter.setClipRect(QRect(plot.Left, plot.Top, plot.Right - plot.Left + 1, plot.Bottom - plot.Top + 1));
  TCanvas canvas(&painter);
  canvas.Pen().SetColor(SelectionRingColor);
  canvas.Pen().SetWidth(SelectionRingWidth);
  canvas.Brush().SetStyle(bsClear);
  const TrcChartItem* items = FChart.Items();
  const std::size_t flags = FSelectedFlag.size();
  const int r = SelectionRingRadius;
  for (int i = 0; i < FChart.NumItems(); ++i) {
    const TrcChartItem& it = items[i];
    if (it.Kind != ikMark || it.Tag < 1 || static_cast<std::size_t>(it.Tag) >= flags ||
        !FSelectedFlag[static_cast<std::size_t>(it.Tag)])
      continue;
    if (!std::isfinite(it.X1) || !std::isfinite(it.Y1))
      continue;
    int x, y;
    FChart.WorldToPixel(it.Layer, it.X1, it.Y1, x, y);
    if (x < plot.Left - r || x > plot.Right + r || y < plot.Top - r || y > plot.Bottom + r)
      continue;
    canvas.Ellipse(x - r, y - r, x + r + 1, y + r + 1);
  }
}

}  // namespace orvex
