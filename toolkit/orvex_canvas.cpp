// TCanvas and TBitmap: the pixel rules of the header, implemented over QPainter.
#include "orvex_canvas.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QRegion>
#include <QTransform>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <utility>

namespace orvex {

namespace {

// On/off runs in pixels of the dotted styles of a 1-pixel pen, starting with "on".
struct DashPattern {
  const int* Runs;
  int Count;
  int Period;
};

constexpr int DashRuns[] = {18, 6};
constexpr int DotRuns[] = {3, 3};
constexpr int DashDotRuns[] = {9, 6, 3, 6};
constexpr int DashDotDotRuns[] = {9, 3, 3, 3, 3, 3};

// nullptr Runs for solid styles.
DashPattern PatternOf(TPenStyle Style)
{
  switch (Style) {
    case psDash: return {DashRuns, 2, 24};
    case psDot: return {DotRuns, 2, 6};
    case psDashDot: return {DashDotRuns, 4, 24};
    case psDashDotDot: return {DashDotDotRuns, 6, 24};
    default: return {nullptr, 0, 0};
  }
}

QPainter::CompositionMode CompositionOf(TPenMode Mode)
{
  switch (Mode) {
    case pmXor: return QPainter::RasterOp_SourceXorDestination;
    case pmNot: return QPainter::RasterOp_NotDestination;
    case pmNotXor: return QPainter::RasterOp_NotSourceXorDestination;
    default: return QPainter::CompositionMode_SourceOver;
  }
}

// Drawing coordinates are kept within +-2^29, so that sizes and the one-pixel adjustments of the
// shapes never overflow; no device comes anywhere near that size.
constexpr int CoordLimit = 1 << 29;

int ClampCoord(int V) { return std::clamp(V, -CoordLimit, CoordLimit); }

// A shape's box with clamped corners, left/top first whichever way it was given.
void OrderedBox(int& X1, int& Y1, int& X2, int& Y2)
{
  X1 = ClampCoord(X1);
  Y1 = ClampCoord(Y1);
  X2 = ClampCoord(X2);
  Y2 = ClampCoord(Y2);
  if (X2 < X1)
    std::swap(X1, X2);
  if (Y2 < Y1)
    std::swap(Y1, Y2);
}
TRect ClampRect(const TRect& R)
{
  return {ClampCoord(R.Left), ClampCoord(R.Top), ClampCoord(R.Right), ClampCoord(R.Bottom)};
}

// Lines longer than this are rasterised only where they cross the visible area.
constexpr long long LineClipLength = 512;

// Ceiling of N / D for D > 0, clamped to the long long range.
long long CeilDiv(__int128 N, long long D)
{
  __int128 q = N / D;
  if (N % D != 0 && N > 0)
    ++q;
  constexpr auto hi = static_cast<__int128>(std::numeric_limits<long long>::max());
  constexpr auto lo = static_cast<__int128>(std::numeric_limits<long long>::min());
  return static_cast<long long>(q > hi ? hi : (q < lo ? lo : q));
}

// A mask over Area (logical coordinates) of the pixels that Paint sets when it draws in white;
// painted without antialiasing, like the canvas itself.
QImage PaintMask(const QRect& Area, const std::function<void(QPainter&)>& Paint)
{
  QImage mask(Area.size(), QImage::Format_Grayscale8);
  mask.fill(0);
  QPainter p(&mask);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.translate(-Area.left(), -Area.top());
  Paint(p);
  return mask;
}

// The centres of pixels, where vector outlines run.
std::vector<QPointF> PixelCentres(const std::vector<QPoint>& Pixels)
{
  std::vector<QPointF> out;
  out.reserve(Pixels.size());
  for (const QPoint& p : Pixels)
    out.emplace_back(p.x() + 0.5, p.y() + 0.5);
  return out;
}

// Qt's line style of a dotted canvas style (its own pixel patterns are not Qt's).
Qt::PenStyle QtPenStyle(TPenStyle Style)
{
  switch (Style) {
    case psDash: return Qt::DashLine;
    case psDot: return Qt::DotLine;
    case psDashDot: return Qt::DashDotLine;
    case psDashDotDot: return Qt::DashDotDotLine;
    default: return Qt::SolidLine;
  }
}

// A mask over Area of the given points; points outside it are left out.
QImage PointMask(const QRect& Area, const std::vector<QPoint>& Points)
{
  if (Points.empty())
    return {};
  QImage mask(Area.size(), QImage::Format_Grayscale8);
  mask.fill(0);
  for (const QPoint& pt : Points)
    if (Area.contains(pt))
      mask.scanLine(pt.y() - Area.top())[pt.x() - Area.left()] = 1;
  return mask;
}

}  // namespace

// --- TCanvas ---------------------------------------------------------------------------------

TCanvas::TCanvas() = default;

TCanvas::TCanvas(QPainter* Painter) { SetPainter(Painter); }

TCanvas::~TCanvas() { End(); }

void TCanvas::SetPainter(QPainter* Painter)
{
  End();
  FPainter = Painter;
  FDenseDevice = FPainter && FPainter->device() && FPainter->device()->devicePixelRatioF() != 1.0;
  if (FPainter)
    FPainter->setRenderHint(QPainter::Antialiasing, false);
}

bool TCanvas::Begin(QPaintDevice* Device)
{
  End();
  if (!Device)
    return false;
  auto painter = std::make_unique<QPainter>();
  if (!painter->begin(Device))
    return false;
  painter->setRenderHint(QPainter::Antialiasing, false);
  FOwnPainter = std::move(painter);
  FPainter = FOwnPainter.get();
  FDenseDevice = Device->devicePixelRatioF() != 1.0;
  return true;
}

void TCanvas::End()
{
  if (FOwnPainter) {
    if (FOwnPainter->isActive())
      FOwnPainter->end();
    FOwnPainter.reset();
  }
  FPainter = nullptr;
  FDenseDevice = false;
}

void TCanvas::ApplyPenMode() const
{
  FPainter->setCompositionMode(VectorMode() ? QPainter::CompositionMode_SourceOver : CompositionOf(FPen.Mode()));
}

QPen TCanvas::VectorPen() const
{
  if (!PenVisible())
    return Qt::NoPen;
  QPen pen(ToQColor(FPen.Color()), std::max(1, FPen.Width()), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
  if (FPen.Width() <= 1) {
    pen.setStyle(QtPenStyle(FPen.Style()));
  } else {
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
  }
  return pen;
}

QBrush TCanvas::VectorBrush() const
{
  return FBrush.Style() == bsSolid ? QBrush(ToQColor(FBrush.Color())) : QBrush(Qt::NoBrush);
}

void TCanvas::ResetMode() const { FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver); }

bool TCanvas::PlotDirect(const QPoint* Points, int Count, TColor Color, TPenMode Mode) const
{
  // Writing the pixels of an image directly is several times faster than one drawPoints call,
  // and the raster engine keeps no pixels of its own, so both ways can be mixed freely.
  auto* image = dynamic_cast<QImage*>(FPainter->device());
  if (!image || image->depth() != 32 || image->devicePixelRatio() != 1.0)
    return false;
  const QImage::Format f = image->format();
  if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32 && f != QImage::Format_ARGB32_Premultiplied)
    return false;
  const QTransform& t = FPainter->transform();
  if (t.type() > QTransform::TxTranslate)
    return false;
  const int dx = qRound(t.dx());
  const int dy = qRound(t.dy());
  QRect bounds = image->rect();
  if (FPainter->hasClipping()) {
    const QRegion clip = FPainter->clipRegion();
    if (clip.rectCount() != 1)
      return false;
    bounds &= clip.boundingRect().translated(dx, dy);
  }
  const TColor c = ColorToRGB(Color);
  const QRgb rgb = qRgb(GetRValue(c), GetGValue(c), GetBValue(c)) & 0x00FFFFFFu;
  // The image's own buffer, shared with the painter (no detach).
  uchar* bits = const_cast<uchar*>(image->constBits());
  const qsizetype stride = image->bytesPerLine();
  for (int i = 0; i < Count; ++i) {
    const int x = Points[i].x() + dx;
    const int y = Points[i].y() + dy;
    if (!bounds.contains(x, y))
      continue;
    auto* px = reinterpret_cast<QRgb*>(bits + y * stride) + x;
    const QRgb alpha = 0xFF000000u;
    switch (Mode) {
      case pmXor: *px = (*px ^ rgb) | alpha; break;
      case pmNot: *px = (~*px & 0x00FFFFFFu) | alpha; break;
      case pmNotXor: *px = (~(*px ^ rgb) & 0x00FFFFFFu) | alpha; break;
      default: *px = rgb | alpha; break;
    }
  }
  return true;
}

void TCanvas::PlotPoints(const std::vector<QPoint>& Points, TColor Color, TPenMode Mode) const
{
  if (Points.empty())
    return;
  if (VectorMode()) {
    // One-unit squares centred on the pixels, scaled with the painter's transform.
    const std::vector<QPointF> centres = PixelCentres(Points);
    ResetMode();
    FPainter->setPen(QPen(ToQColor(Color), 1, Qt::SolidLine, Qt::SquareCap));
    FPainter->drawPoints(centres.data(), static_cast<int>(centres.size()));
    return;
  }
  if (PlotDirect(Points.data(), static_cast<int>(Points.size()), Color, Mode))
    return;
  FPainter->setCompositionMode(CompositionOf(Mode));
  QPen pen(ToQColor(Color));
  pen.setWidth(0);  // cosmetic: exactly one pixel per point under any transform
  FPainter->setPen(pen);
  FPainter->drawPoints(Points.data(), static_cast<int>(Points.size()));
}

QPen TCanvas::ShapePen(const QColor& Color, bool Styled) const
{
  if (FPen.Width() > 1)
    return QPen(Color, FPen.Width(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  QPen pen(Color);
  pen.setWidth(0);  // cosmetic: one pixel under any transform
  if (Styled)
    pen.setStyle(QtPenStyle(FPen.Style()));
  return pen;
}

QRect TCanvas::ShapeArea(const QRect& Box) const
{
  // Coordinates are clamped to +-2^29; a pen wider than a device cannot grow the area further.
  const int grow = PenVisible() ? std::min(FPen.Width(), CoordLimit) : 0;
  const QRect area = Box.adjusted(-grow, -grow, grow, grow);
  return area & ClipRect().ToQRect();
}

void TCanvas::PlotShape(const TShapeMasks& Masks) const
{
  std::vector<QPoint> pen;
  std::vector<QPoint> brush;
  const bool fill = FBrush.Style() == bsSolid;
  const QRect& a = Masks.Area;
  for (int y = 0; y < a.height(); ++y) {
    const uchar* p = Masks.Pen.isNull() ? nullptr : Masks.Pen.constScanLine(y);
    const uchar* g = Masks.Gaps.isNull() ? nullptr : Masks.Gaps.constScanLine(y);
    const uchar* in = Masks.Inside.isNull() ? nullptr : Masks.Inside.constScanLine(y);
    for (int x = 0; x < a.width(); ++x) {
      if (p && p[x])
        pen.emplace_back(a.left() + x, a.top() + y);
      else if (fill && ((g && g[x]) || (in && in[x])))
        brush.emplace_back(a.left() + x, a.top() + y);
    }
  }
  PlotPoints(pen, FPen.Color(), FPen.Mode());
  PlotPoints(brush, FBrush.Color(), FPen.Mode());
}

void TCanvas::PlotBox(const QRect& Box, TColor Color) const
{
  const QRect vis = Box & ClipRect().ToQRect();
  std::vector<QPoint> pts;
  pts.reserve(static_cast<size_t>(std::max(0, vis.width())) * static_cast<size_t>(std::max(0, vis.height())));
  for (int y = vis.top(); y <= vis.bottom(); ++y)
    for (int x = vis.left(); x <= vis.right(); ++x)
      pts.emplace_back(x, y);
  PlotPoints(pts, Color, FPen.Mode());
}

TColor TCanvas::Pixels(int X, int Y) const
{
  if (!FPainter)
    return clNone;
  const auto* image = dynamic_cast<const QImage*>(FPainter->device());
  if (!image)
    return clNone;
  const QPoint p = FPainter->transform().map(QPoint(X, Y));
  if (!image->valid(p))
    return clNone;
  return FromQColor(QColor::fromRgb(image->pixel(p)));
}

void TCanvas::SetPixels(int X, int Y, TColor Color)
{
  if (!FPainter)
    return;
  const QPoint pt(X, Y);
  if (!VectorMode() && PlotDirect(&pt, 1, Color, pmCopy))
    return;
  ResetMode();
  FPainter->fillRect(QRect(X, Y, 1, 1), ToQColor(Color));
}

TRect TCanvas::ClipRect() const
{
  if (!FPainter)
    return {};
  if (FPainter->hasClipping())
    return TRect::FromQRect(FPainter->clipBoundingRect().toAlignedRect());
  const QPaintDevice* dev = FPainter->device();
  if (!dev)
    return {};
  const QRect full = FPainter->transform().inverted().mapRect(QRect(0, 0, dev->width(), dev->height()));
  return TRect::FromQRect(full);
}

bool TCanvas::IsPrinter() const
{
  // No printing in this system: every canvas draws on the screen or into an image.
  return false;
}

int TCanvas::VerticalResolution() const
{
  if (FPainter && FPainter->device() && FPainter->device()->logicalDpiY() > 0)
    return FPainter->device()->logicalDpiY();
  return 96;
}

void TCanvas::MoveTo(int X, int Y) { FPenPos = {X, Y}; }

void TCanvas::LineTo(int X, int Y)
{
  PenLine(FPenPos.X, FPenPos.Y, X, Y);
  FPenPos = {X, Y};
}

void TCanvas::PenLine(int X0, int Y0, int X1, int Y1, TLinePixels* Collect)
{
  if (!FPainter || !PenVisible())
    return;
  if (X0 == X1 && Y0 == Y1)
    return;  // the start pixel is the end pixel, which is never drawn
  if (VectorMode() && !Collect) {
    // Through the pixel centres; the end pixel is drawn too (a vector line has no pixels).
    ResetMode();
    FPainter->setBrush(Qt::NoBrush);
    FPainter->setPen(VectorPen());
    FPainter->drawLine(QPointF(ClampCoord(X0) + 0.5, ClampCoord(Y0) + 0.5),
                       QPointF(ClampCoord(X1) + 0.5, ClampCoord(Y1) + 0.5));
    return;
  }
  if (FPen.Width() > 1 && !Collect) {
    // Wide pens are solid with round ends, like geometric pens.
    ApplyPenMode();
    FPainter->setBrush(Qt::NoBrush);
    FPainter->setPen(ShapePen(ToQColor(FPen.Color()), false));
    FPainter->drawLine(QPoint(ClampCoord(X0), ClampCoord(Y0)), QPoint(ClampCoord(X1), ClampCoord(Y1)));
    return;
  }
  // 64-bit throughout: the ends may lie anywhere in the int range.
  const long long dx = std::llabs(static_cast<long long>(X1) - X0);
  const long long dy = std::llabs(static_cast<long long>(Y1) - Y0);
  const int sx = X1 >= X0 ? 1 : -1;
  const int sy = Y1 >= Y0 ? 1 : -1;
  const bool xMajor = dx >= dy;
  const long long major = xMajor ? dx : dy;
  const long long minor = xMajor ? dy : dx;

  // Step i sets the pixel i steps along the major axis; the minor coordinate is the exact one
  // rounded half up: (2 i minor + major) div (2 major). Long lines only compute the steps whose
  // pixel lies in the visible area, both coordinates checked (the dash pattern still counts from
  // the start pixel).
  long long first = 0;
  long long last = major - 1;
  if (major > LineClipLength) {
    const TRect b = ClipRect();
    if (b.IsEmpty())
      return;
    const long long start = xMajor ? X0 : Y0;
    const int dir = xMajor ? sx : sy;
    const long long lo = xMajor ? b.Left : b.Top;
    const long long hi = (xMajor ? b.Right : b.Bottom) - 1LL;
    first = std::max(first, dir > 0 ? lo - start : start - hi);
    last = std::min(last, dir > 0 ? hi - start : start - lo);
    // The minor offset of step i, floor((2 i minor + major) / (2 major)), lies within [a, b]
    // exactly for ceil(major (2a - 1) / (2 minor)) <= i < ceil(major (2b + 1) / (2 minor)).
    const long long mStart = xMajor ? Y0 : X0;
    const int mDir = xMajor ? sy : sx;
    const long long mLo = xMajor ? b.Top : b.Left;
    const long long mHi = (xMajor ? b.Bottom : b.Right) - 1LL;
    const long long a = mDir > 0 ? mLo - mStart : mStart - mHi;
    const long long z = mDir > 0 ? mHi - mStart : mStart - mLo;
    if (minor == 0) {
      if (a > 0 || z < 0)
        return;
    } else {
      first = std::max(first, CeilDiv(static_cast<__int128>(major) * (2 * a - 1), 2 * minor));
      last = std::min(last, CeilDiv(static_cast<__int128>(major) * (2 * z + 1), 2 * minor) - 1);
    }
    if (first > last)
      return;
  }
  const DashPattern pattern = PatternOf(FPen.Style());

  // Straight solid lines in copy mode are one rectangle.
  if (!pattern.Runs && FPen.Mode() == pmCopy && minor == 0 && !Collect) {
    const long long a = (xMajor ? X0 : Y0) + (xMajor ? sx : sy) * first;
    const long long b = (xMajor ? X0 : Y0) + (xMajor ? sx : sy) * last;
    const int from = static_cast<int>(std::min(a, b));
    const int len = static_cast<int>(last - first + 1);
    const QRect r = xMajor ? QRect(from, Y0, len, 1) : QRect(X0, from, 1, len);
    ResetMode();
    FPainter->fillRect(r, ToQColor(FPen.Color()));
    return;
  }

  TLinePixels own;
  TLinePixels& pixels = Collect ? *Collect : own;
  std::vector<QPoint>& on = pixels.On;
  std::vector<QPoint>& off = pixels.Gaps;
  on.reserve(on.size() + static_cast<size_t>(last - first + 1));
  const bool fillGaps = pattern.Runs && FBrush.Style() == bsSolid;
  // The minor offset as a quotient and remainder, advanced incrementally (at most one carry per
  // step, as minor <= major); only the first value needs the wide product.
  const long long twoMajor = 2 * major;
  const auto num = static_cast<__int128>(2) * first * minor + major;
  const auto q = static_cast<long long>(num / twoMajor);
  auto rem = static_cast<long long>(num % twoMajor);
  const int ax = xMajor ? sx : 0;  // one step along the major axis
  const int ay = xMajor ? 0 : sy;
  const int bx = xMajor ? 0 : sx;  // one carry along the minor axis
  const int by = xMajor ? sy : 0;
  int x = static_cast<int>(X0 + ax * first + bx * q);
  int y = static_cast<int>(Y0 + ay * first + by * q);
  // Position in the dash pattern: the current run and the pixels left in it.
  int run = 0;
  int left = 0;
  if (pattern.Runs) {
    auto pos = static_cast<int>(first % pattern.Period);
    while (pos >= pattern.Runs[run])
      pos -= pattern.Runs[run++];
    left = pattern.Runs[run] - pos;
  }
  for (long long i = first; i <= last; ++i) {
    if (!pattern.Runs || (run % 2) == 0)
      on.emplace_back(x, y);
    else if (fillGaps)
      off.emplace_back(x, y);
    if (pattern.Runs && --left == 0) {
      run = (run + 1) % pattern.Count;
      left = pattern.Runs[run];
    }
    x += ax;
    y += ay;
    rem += 2 * minor;
    if (rem >= twoMajor) {
      rem -= twoMajor;
      x += bx;
      y += by;
    }
  }
  if (Collect)
    return;
  PlotPoints(on, FPen.Color(), FPen.Mode());
  PlotPoints(off, FBrush.Color(), FPen.Mode());
}

void TCanvas::Polyline(const TPoint* Points, int Count)
{
  if (!Points || Count < 2)
    return;
  for (int i = 1; i < Count; ++i)
    PenLine(Points[i - 1].X, Points[i - 1].Y, Points[i].X, Points[i].Y);
}

void TCanvas::Polygon(const TPoint* Points, int Count)
{
  if (!FPainter || !Points || Count < 1)
    return;
  std::vector<QPoint> pts;
  pts.reserve(static_cast<size_t>(Count));
  for (int i = 0; i < Count; ++i)
    pts.emplace_back(ClampCoord(Points[i].X), ClampCoord(Points[i].Y));
  const bool fill = FBrush.Style() == bsSolid && Count >= 3;
  if (VectorMode()) {
    const std::vector<QPointF> v = PixelCentres(pts);
    ResetMode();
    FPainter->setPen(VectorPen());
    FPainter->setBrush(fill ? VectorBrush() : QBrush(Qt::NoBrush));
    FPainter->drawPolygon(v.data(), Count, Qt::OddEvenFill);
    return;
  }
  // The outline runs through pixel centres, while Qt fills the pixels whose centres lie inside
  // a polygon through the given points: the inside goes through the centres too, or it falls
  // half a pixel short of the outline and leaves holes along its lower and right edges.
  std::vector<QPointF> centres;
  if (fill)
    centres = PixelCentres(pts);
  if (fill && FPen.Mode() != pmCopy) {
    // The inside and the outline share their edge pixels: set each pixel once.
    TShapeMasks m;
    m.Area = ShapeArea(QPolygon(QList<QPoint>(pts.begin(), pts.end())).boundingRect());
    if (m.Area.isEmpty())
      return;
    m.Inside = PaintMask(m.Area, [&centres](QPainter& p) {
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::white);
      p.drawPolygon(centres.data(), static_cast<int>(centres.size()), Qt::OddEvenFill);
    });
    if (PenVisible() && FPen.Width() > 1) {
      m.Pen = PaintMask(m.Area, [this, &pts](QPainter& p) {
        p.setPen(ShapePen(Qt::white, false));
        for (size_t i = 0; i < pts.size(); ++i)
          p.drawLine(pts[i], pts[(i + 1) % pts.size()]);
      });
    } else if (PenVisible()) {
      TLinePixels outline;
      if (!PolygonOutline(Points, Count, &outline))
        outline.On.emplace_back(Points[0].X, Points[0].Y);
      m.Pen = PointMask(m.Area, outline.On);
      m.Gaps = PointMask(m.Area, outline.Gaps);
    }
    PlotShape(m);
    return;
  }
  if (fill) {
    ApplyPenMode();
    FPainter->setPen(Qt::NoPen);
    FPainter->setBrush(ToQColor(FBrush.Color()));
    FPainter->drawPolygon(centres.data(), Count, Qt::OddEvenFill);
  }
  if (!PenVisible())
    return;
  if (!PolygonOutline(Points, Count, nullptr) && FPen.Width() <= 1)
    PlotPoints({QPoint(Points[0].X, Points[0].Y)}, FPen.Color(), FPen.Mode());
}

bool TCanvas::PolygonOutline(const TPoint* Points, int Count, TLinePixels* Collect)
{
  // Every edge without its end pixel, which is the start of the next edge, so every vertex is
  // set exactly once.
  bool any = false;
  for (int i = 0; i < Count; ++i) {
    const TPoint& a = Points[i];
    const TPoint& b = Points[(i + 1) % Count];
    if (!(a == b)) {
      PenLine(a.X, a.Y, b.X, b.Y, Collect);
      any = true;
    }
  }
  return any;
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2)
{
  if (!FPainter)
    return;
  OrderedBox(X1, Y1, X2, Y2);
  const int w = X2 - X1;
  const int h = Y2 - Y1;
  if (w <= 0 || h <= 0)
    return;
  const bool pen = PenVisible();
  const bool brush = FBrush.Style() == bsSolid;
  if (VectorMode()) {
    // The outline through the centres of the box's edge pixels; without a pen the whole box.
    ResetMode();
    FPainter->setPen(VectorPen());
    FPainter->setBrush(VectorBrush());
    FPainter->drawRect(pen ? QRectF(X1 + 0.5, Y1 + 0.5, w - 1, h - 1) : QRectF(X1, Y1, w, h));
    return;
  }
  const QRect inner = pen ? QRect(X1 + 1, Y1 + 1, w - 2, h - 2) : QRect(X1, Y1, w, h);
  if (pen && FPen.Width() > 1 && FPen.Mode() != pmCopy) {
    // A wide outline overlaps itself at the corners and the inside along its edges.
    TShapeMasks m;
    m.Area = ShapeArea(QRect(X1, Y1, w, h));
    if (m.Area.isEmpty())
      return;
    m.Pen = PaintMask(m.Area, [&](QPainter& p) {
      p.setPen(ShapePen(Qt::white, false));
      p.drawLine(X1, Y1, X2 - 1, Y1);
      p.drawLine(X2 - 1, Y1, X2 - 1, Y2 - 1);
      p.drawLine(X2 - 1, Y2 - 1, X1, Y2 - 1);
      p.drawLine(X1, Y2 - 1, X1, Y1);
    });
    if (brush && !inner.isEmpty())
      m.Inside = PaintMask(m.Area, [&inner](QPainter& p) { p.fillRect(inner, Qt::white); });
    PlotShape(m);
    return;
  }
  if (brush && inner.width() > 0 && inner.height() > 0) {
    ApplyPenMode();
    FPainter->fillRect(inner, ToQColor(FBrush.Color()));
  }
  if (!pen)
    return;
  if (FPen.Width() <= 1 && (w == 1 || h == 1)) {
    // A one-pixel wide box is all outline.
    PlotBox(QRect(X1, Y1, w, h), FPen.Color());
    return;
  }
  PenLine(X1, Y1, X2 - 1, Y1);
  PenLine(X2 - 1, Y1, X2 - 1, Y2 - 1);
  PenLine(X2 - 1, Y2 - 1, X1, Y2 - 1);
  PenLine(X1, Y2 - 1, X1, Y1);
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2)
{
  if (!FPainter)
    return;
  OrderedBox(X1, Y1, X2, Y2);
  const int w = X2 - X1;
  const int h = Y2 - Y1;
  const bool pen = PenVisible();
  const bool brush = FBrush.Style() == bsSolid;
  if (w <= 0 || h <= 0 || (!pen && !brush))
    return;
  if (VectorMode()) {
    ResetMode();
    FPainter->setPen(VectorPen());
    FPainter->setBrush(VectorBrush());
    FPainter->drawEllipse(pen ? QRectF(X1 + 0.5, Y1 + 0.5, w - 1, h - 1) : QRectF(X1, Y1, w, h));
    return;
  }
  if (w == 1 || h == 1) {
    // Qt draws nothing for a box one pixel thin; the ellipse is a line filling it.
    if (pen && FPen.Width() <= 1)
      PlotBox(QRect(X1, Y1, w, h), FPen.Color());
    else if (!pen)
      PlotBox(QRect(X1, Y1, w, h), FBrush.Color());
    if (pen && FPen.Width() > 1) {
      ApplyPenMode();
      FPainter->setPen(ShapePen(ToQColor(FPen.Color()), false));
      FPainter->drawLine(X1, Y1, X2 - 1, Y2 - 1);
    }
    return;
  }
  // Qt's ellipse in the box w-1 by h-1 covers the w by h pixels of the box with a one-pixel
  // outline; its fill alone would cover one row and column less. So the inside is always drawn
  // with an outline, in the brush colour where the pen is clear.
  const QRect box(X1, Y1, w - 1, h - 1);
  const QPen outline = ShapePen(ToQColor(FPen.Color()), true);
  const QPen insideOutline(ToQColor(FBrush.Color()), 0);
  if (FPen.Mode() == pmCopy) {
    ApplyPenMode();
    if (pen && brush && FPen.Style() != psSolid && FPen.Width() <= 1) {
      // The gaps of a dotted outline take the brush colour, as they do on lines.
      FPainter->setPen(insideOutline);
      FPainter->setBrush(ToQColor(FBrush.Color()));
      FPainter->drawEllipse(box);
      FPainter->setPen(outline);
      FPainter->setBrush(Qt::NoBrush);
      FPainter->drawEllipse(box);
      return;
    }
    FPainter->setPen(pen ? outline : insideOutline);
    FPainter->setBrush(brush ? QBrush(ToQColor(FBrush.Color())) : QBrush(Qt::NoBrush));
    FPainter->drawEllipse(box);
    return;
  }
  // The other modes combine with the destination: each pixel once, the outline in the pen
  // colour, the inside and the gaps of a dotted outline in the brush colour.
  TShapeMasks m;
  m.Area = ShapeArea(QRect(X1, Y1, w, h));
  if (m.Area.isEmpty())
    return;
  if (pen)
    m.Pen = PaintMask(m.Area, [this, &box](QPainter& p) {
      p.setPen(ShapePen(Qt::white, true));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(box);
    });
  if (brush)
    m.Inside = PaintMask(m.Area, [&box](QPainter& p) {
      p.setPen(QPen(Qt::white, 0));
      p.setBrush(Qt::white);
      p.drawEllipse(box);
    });
  PlotShape(m);
}

void TCanvas::FillRect(const TRect& Area)
{
  const TRect R = ClampRect(Area);
  if (!FPainter || FBrush.Style() != bsSolid || R.IsEmpty())
    return;
  ResetMode();
  FPainter->fillRect(R.ToQRect(), ToQColor(FBrush.Color()));
}

void TCanvas::FrameRect(const TRect& Area)
{
  const TRect R = ClampRect(Area);
  if (!FPainter || R.IsEmpty())
    return;
  ResetMode();
  const QColor c = ToQColor(FBrush.Color());
  FPainter->fillRect(QRect(R.Left, R.Top, R.Width(), 1), c);
  FPainter->fillRect(QRect(R.Left, R.Bottom - 1, R.Width(), 1), c);
  if (R.Height() > 2) {
    FPainter->fillRect(QRect(R.Left, R.Top + 1, 1, R.Height() - 2), c);
    FPainter->fillRect(QRect(R.Right - 1, R.Top + 1, 1, R.Height() - 2), c);
  }
}

void TCanvas::DrawFocusRect(const TRect& Area)
{
  const TRect R = ClampRect(Area);
  if (!FPainter || R.IsEmpty())
    return;
  // Every other pixel of the outline, each exactly once, inverted; only the visible part is
  // walked (the parity rule does not depend on where the walk starts).
  const TRect clip = ClipRect();
  std::vector<QPoint> pts;
  auto add = [&pts](int x, int y) {
    if (((x + y) & 1) == 0)
      pts.emplace_back(x, y);
  };
  const int x0 = std::max(R.Left, clip.Left);
  const int x1 = std::min(R.Right, clip.Right);
  for (int x = x0; x < x1; ++x) {
    add(x, R.Top);
    if (R.Height() > 1)
      add(x, R.Bottom - 1);
  }
  const int y0 = std::max(R.Top + 1, clip.Top);
  const int y1 = std::min(R.Bottom - 1, clip.Bottom);
  for (int y = y0; y < y1; ++y) {
    add(R.Left, y);
    if (R.Width() > 1)
      add(R.Right - 1, y);
  }
  PlotPoints(pts, clBlack, pmNot);
  ResetMode();
}

void TCanvas::TextOut(int X, int Y, const QString& Text)
{
  if (!FPainter) {
    FPenPos = {X + TextWidth(Text), Y};
    return;
  }
  ResetMode();
  FPainter->setFont(FFont.ToQFont());
  const QFontMetrics fm = FPainter->fontMetrics();
  const int w = fm.horizontalAdvance(Text);
  if (FBrush.Style() == bsSolid)
    FPainter->fillRect(QRect(X, Y, w, fm.height()), ToQColor(FBrush.Color()));
  FPainter->setPen(ToQColor(FFont.Color()));
  FPainter->drawText(QPoint(X, Y + fm.ascent()), Text);
  FPenPos = {X + w, Y};
}

void TCanvas::TextRect(const TRect& Area, int X, int Y, const QString& Text)
{
  const TRect R = ClampRect(Area);
  if (!FPainter || R.IsEmpty())
    return;
  FPainter->save();
  FPainter->setClipRect(R.ToQRect(), FPainter->hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  ResetMode();
  if (FBrush.Style() == bsSolid)
    FPainter->fillRect(R.ToQRect(), ToQColor(FBrush.Color()));
  FPainter->setFont(FFont.ToQFont());
  FPainter->setPen(ToQColor(FFont.Color()));
  FPainter->drawText(QPoint(X, Y + FPainter->fontMetrics().ascent()), Text);
  FPainter->restore();
}

int TCanvas::TextWidth(const QString& Text) const
{
  if (FPainter) {
    FPainter->setFont(FFont.ToQFont());
    return FPainter->fontMetrics().horizontalAdvance(Text);
  }
  return QFontMetrics(FFont.ToQFont()).horizontalAdvance(Text);
}

int TCanvas::TextHeight(const QString& /*Text*/) const
{
  // The line height of the font: every text of one font gets the same box.
  if (FPainter) {
    FPainter->setFont(FFont.ToQFont());
    return FPainter->fontMetrics().height();
  }
  return QFontMetrics(FFont.ToQFont()).height();
}

void TCanvas::Draw(int X, int Y, const TBitmap& Bitmap) { DrawImage(X, Y, Bitmap.Image()); }

void TCanvas::DrawImage(int X, int Y, const QImage& Image)
{
  if (!FPainter || Image.isNull())
    return;
  ResetMode();
  FPainter->drawImage(QPoint(X, Y), Image);
}

void TCanvas::StretchDraw(const TRect& Area, const TBitmap& Bitmap)
{
  const TRect R = ClampRect(Area);
  if (!FPainter || Bitmap.Empty() || R.IsEmpty())
    return;
  ResetMode();
  FPainter->drawImage(R.ToQRect(), Bitmap.Image());
}

// --- TBitmap ---------------------------------------------------------------------------------

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int Width, int Height) { SetSize(Width, Height); }

TBitmap::TBitmap(int Width, int Height, double Ratio) { SetSize(Width, Height, Ratio); }

TBitmap::~TBitmap() { FCanvas.End(); }

TCanvas& TBitmap::Canvas()
{
  if (!FCanvas.HasPainter() && !FImage.isNull())
    FCanvas.Begin(&FImage);
  return FCanvas;
}

void TBitmap::SetSize(int Width, int Height, double Ratio)
{
  Width = std::max(Width, 0);
  Height = std::max(Height, 0);
  if (!(Ratio >= 1.0) || !std::isfinite(Ratio))
    Ratio = 1.0;
  if (Width == FWidth && Height == FHeight && Ratio == FRatio)
    return;
  FCanvas.End();
  QImage image;
  if (Width > 0 && Height > 0) {
    image = QImage(static_cast<int>(std::ceil(Width * Ratio)), static_cast<int>(std::ceil(Height * Ratio)),
                   QImage::Format_RGB32);
    if (!image.isNull()) {
      image.setDevicePixelRatio(Ratio);
      image.fill(Qt::white);
      if (!FImage.isNull()) {
        QPainter p(&image);
        p.drawImage(0, 0, FImage);
      }
    }
  }
  FImage = image;
  FWidth = FImage.isNull() ? 0 : Width;
  FHeight = FImage.isNull() ? 0 : Height;
  FRatio = Ratio;
  // Reopen at once, so a canvas reference taken before the resize keeps drawing.
  if (!FImage.isNull())
    FCanvas.Begin(&FImage);
}

void TBitmap::Adopt(QImage Image, double Ratio)
{
  FImage = std::move(Image);
  FImage.setDevicePixelRatio(Ratio);
  FWidth = static_cast<int>(std::lround(FImage.width() / Ratio));
  FHeight = static_cast<int>(std::lround(FImage.height() / Ratio));
  FRatio = Ratio;
}

bool TBitmap::LoadFromFile(const std::string& FileName)
{
  QImage image;
  if (!image.load(QString::fromStdString(FileName)))
    return false;
  SetImage(image);
  return true;
}

void TBitmap::SetImage(const QImage& Image)
{
  FCanvas.End();
  // Pixel for pixel, keeping the image's device pixel ratio.
  const double ratio = Image.isNull() || !(Image.devicePixelRatio() >= 1.0) ? 1.0 : Image.devicePixelRatio();
  QImage source = Image;
  source.setDevicePixelRatio(1.0);
  if (source.hasAlphaChannel() && !source.isNull()) {
    QImage flat(source.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter p(&flat);
    p.drawImage(0, 0, source);
    p.end();
    Adopt(flat, ratio);
  } else {
    // A deep copy: the painter writes into our pixels, never into a caller's shared image.
    Adopt(source.convertToFormat(QImage::Format_RGB32).copy(), ratio);
  }
  if (!FImage.isNull())
    FCanvas.Begin(&FImage);
}

void TBitmap::Assign(const TBitmap& Source)
{
  if (&Source == this)
    return;
  SetImage(Source.Image());
}

}  // namespace orvex
