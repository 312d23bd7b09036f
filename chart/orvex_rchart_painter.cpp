// The rendering of the chart (see orvex_rchart_painter.h): the frame, the plot, the item pass with
// its pen cache and duplicate-mark grid, the grid lines, the text labels, the cross-hairs, the
// plot background, shadow and caption, the axes and the mouse trace.
//
// Marks are drawn as stamps: the first time a mark shape is needed in a colour, pen style and
// width, DrawMark draws it once into a small bitmap over two different backgrounds; the pixels
// that came out the same on both are the mark's own. Later marks of that kind are copied from
// the stamp, which sets exactly the pixels DrawMark would set, at a fraction of the cost.
#include "orvex_rchart_painter.h"

#include "orvex_math2.h"

#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

namespace orvex {

// How long the paints must pause before the hit index of the last one is built.
constexpr int HitIndexDelayMs = 50;

namespace {

constexpr int PixClamp = 30000;

int ClampPix(int v) { return std::clamp(v, -PixClamp, PixClamp); }

// A solid 1-pixel pen of Pen in copy mode and a solid brush of Brush.
void PlainPenAndBrush(TCanvas& c, TColor Pen, TColor Brush)
{
  c.Pen().SetMode(pmCopy);
  c.Pen().SetStyle(psSolid);
  c.Pen().SetWidth(1);
  c.Pen().SetColor(Pen);
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(Brush);
}

}  // namespace

TRcPainter::TRcPainter(TCustomRChart& Chart)
    : FChart(Chart), FAttr(Chart.FAttr), FPlot(Chart.FPlot), FLayers(Chart.FLayers), FAxes(Chart.FAxes),
      FLook(Chart.FLook), FDecor(Chart.FDecor), FStore(*Chart.FStore), FTrace(Chart.FMouseHandler.Trace())
{
}

// --- frame and plot --------------------------------------------------------------------------

void TRcPainter::RenderFrame(TCanvas& Canvas, bool Direct)
{
  TCanvas& c = Canvas;
  PlainPenAndBrush(c, FLook.WindColor, FLook.WindColor);
  c.FillRect(Rect(0, 0, FrameWidth(), FrameHeight()));
  if (FPlot.ShadowWidth > 0)
    PaintShadow(c);
  PaintCaption(c);
  try {
    FChart.CalcTransforms();
  } catch (const EOrvexRChartError&) {
    // Painted with the mapping the layers had.
  }
  PaintAxes(c);
  Fire(FChart.OnScalesRendered, &FChart, c, 0, 0);

  if (!Direct) {
    // On screen the plot is rendered into its own bitmap, which a plot-only refresh replaces.
    FChart.ResizePlotBitmap();
    RenderPlot(FChart.FPlotBmp.Canvas(), false);
    c.Draw(FPlot.MarginLeft, FPlot.MarginTop, FChart.FPlotBmp);
  } else if (QPainter* p = c.Painter()) {
    const TRect plot = PlotRect();
    p->save();
    p->translate(FPlot.MarginLeft, FPlot.MarginTop);
    p->setClipRect(QRect(0, 0, std::max(0, plot.Width() + 1), std::max(0, plot.Height() + 1)), Qt::IntersectClip);
    RenderPlot(c, false);
    p->restore();
  }
  DrawCrossHairs(c, 0, 0);
}

void TRcPainter::RenderPlot(TCanvas& Canvas, bool BlackWhite)
{
  const TRect plot = PlotRect();
  if (plot.Width() < 0 || plot.Height() < 0 || (&Canvas == &FChart.FPlotBmp.Canvas() && FChart.FPlotBmp.Empty()))
    return;
  PaintPlotBackground(Canvas);
  // Only the screen's plot bitmap leaves its shapes for the hit index.
  ItemPass(Canvas, BlackWhite, &Canvas == &FChart.FPlotBmp.Canvas());
  DrawMouseTrace(Canvas, FPlot.MarginLeft, FPlot.MarginTop, 0);
  if (&Canvas == &FChart.FPlotBmp.Canvas())
    FChart.FMouseHandler.SetTraceRendered(FTrace.size());
}

// --- item pass -------------------------------------------------------------------------------

// Draws marks from their stamps (see the top of the file). On a 32-bit image without transform
// or clipping, marks are collected and copied into the image's pixels in one go by Flush: the
// image is cut into row bands that the math threads fill at the same time, each band taking its
// marks in drawing order. A pixel lies in one band and gets every mark over it in drawing order,
// so the pixels are the same whatever the number of bands and threads. Flush must run before
// anything else draws on the canvas (lines, rectangles, texts).
class TRcStamper {
public:
  TRcStamper(TCanvas& Canvas, TCustomRChart::TStampCache& Cache) : FCanvas(Canvas), FCache(Cache)
  {
    QPainter* p = Canvas.Painter();
    auto* image = p ? dynamic_cast<QImage*>(p->device()) : nullptr;
    if (image && image->depth() == 32 && image->devicePixelRatio() == 1.0 && !p->hasClipping() &&
        p->transform().isIdentity() &&
        (image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32 ||
         image->format() == QImage::Format_ARGB32_Premultiplied)) {
      FTarget = image;
      FTargetW = image->width();
      FTargetH = image->height();
      const int bands = std::clamp(2 * MathThreadCount(), 1, std::max(1, FTargetH / 8));
      FBands.resize(static_cast<size_t>(bands));
      FBandStart.resize(static_cast<size_t>(bands) + 1);
      FBandOf.resize(static_cast<size_t>(FTargetH));
      for (int b = 0; b <= bands; ++b)
        FBandStart[static_cast<size_t>(b)] = static_cast<int>(static_cast<long long>(FTargetH) * b / bands);
      for (int b = 0; b < bands; ++b)
        std::fill(FBandOf.begin() + FBandStart[static_cast<size_t>(b)], FBandOf.begin() + FBandStart[static_cast<size_t>(b) + 1],
                  static_cast<std::uint8_t>(b));
    }
  }
  TRcStamper(const TRcStamper&) = delete;
  TRcStamper& operator=(const TRcStamper&) = delete;

  // Whether marks go into the image's pixels by Flush, so that the canvas's pen plays no part.
  bool Direct() const { return FTarget != nullptr && !FCanvas.VectorMode(); }

  void Mark(int MarkType, int X, int Y, TColor Color, TPenStyle Style, int Width)
  {
    if (MarkType > 51 || Width > 16 || FCanvas.VectorMode()) {
      Flush();
      DrawMark(FCanvas, static_cast<std::uint8_t>(MarkType), X, Y);
      return;
    }
    const std::uint64_t key = (static_cast<std::uint64_t>(ColorToRGB(Color)) << 24) |
                              (static_cast<std::uint64_t>(Style) << 16) |
                              (static_cast<std::uint64_t>(Width) << 8) | static_cast<std::uint64_t>(MarkType);
    // Marks of a few kinds alternate (one per class colour, say): a small table of the kinds in
    // use answers before the cache is asked.
    const TRecent& slot = Recent(key, MarkType, Color, Style, Width);
    const TCustomRChart::TMarkStamp& s = *slot.Stamp;
    if (s.W == 0)
      return;
    if (!FTarget) {
      FCanvas.DrawImage(X + s.Dx, Y + s.Dy, s.Image);
      return;
    }
    const int x = X + s.Dx, y = Y + s.Dy;
    if (x >= FTargetW || y >= FTargetH || x + s.W <= 0 || y + s.H <= 0)
      return;
    const TPendingMark m{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), slot.Used};
    const int last = std::min(FTargetH, y + s.H) - 1;
    for (int b = FBandOf[static_cast<size_t>(std::max(0, y))]; b <= FBandOf[static_cast<size_t>(last)]; ++b)
      FBands[static_cast<size_t>(b)].push_back(m);
    FPending = true;
  }

  // Copies the collected marks into the image.
  void Flush()
  {
    if (!FPending)
      return;
    QImage& img = *FTarget;
    const int w = FTargetW;
    auto* bits = reinterpret_cast<QRgb*>(const_cast<uchar*>(img.constBits()));  // the painter's own buffer, no detach
    const qsizetype stride = img.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    ForEachMathTask(static_cast<int>(FBands.size()), [&](int b) {
      const int y0 = FBandStart[static_cast<size_t>(b)], y1 = FBandStart[static_cast<size_t>(b) + 1];
      std::vector<TPendingMark>& marks = FBands[static_cast<size_t>(b)];
      for (const TPendingMark& m : marks) {
        const TCustomRChart::TMarkStamp& s = *FUsed[m.Stamp];
        const int sw = s.W;
        const int ry0 = std::max(y0, static_cast<int>(m.Y)), ry1 = std::min(y1, m.Y + s.H);
        const bool inside = m.X >= 0 && m.X + sw <= w;
        for (int y = ry0; y < ry1; ++y) {
          const int r = y - m.Y;
          const auto [first, end] = s.Rows[static_cast<size_t>(r)];
          int x0 = m.X + first, x1 = m.X + end;
          if (!inside) {
            x0 = std::max(x0, 0);
            x1 = std::min(x1, w);
          }
          const std::uint32_t* src = s.Bits + static_cast<qsizetype>(r) * sw - m.X;
          QRgb* dst = bits + static_cast<qsizetype>(y) * stride;
          if (s.Solid) {
            for (int x = x0; x < x1; ++x)
              dst[x] = src[x];
          } else {
            for (int x = x0; x < x1; ++x)
              if (src[x] >> 24)
                dst[x] = src[x];
          }
        }
      }
      marks.clear();
    });
    FPending = false;
  }

private:
  struct TRecent {
    std::uint64_t Key = 0;
    const TCustomRChart::TMarkStamp* Stamp = nullptr;
    std::uint32_t Used = 0;  // its place in FUsed
  };

  // The stamp of Key through the table of recent kinds: a few places probed from the key's hash,
  // an empty one taken, or the first one replaced.
  const TRecent& Recent(std::uint64_t Key, int MarkType, TColor Color, TPenStyle Style, int Width)
  {
    const size_t home = static_cast<size_t>((Key * 0x9E3779B97F4A7C15ull) >> 56);
    for (size_t i = 0; i < 4; ++i) {
      TRecent& slot = FRecent[(home + i) % FRecent.size()];
      if (slot.Stamp && slot.Key == Key)
        return slot;
      if (!slot.Stamp) {
        slot = Lookup(Key, MarkType, Color, Style, Width);
        return slot;
      }
    }
    TRecent& slot = FRecent[home];
    slot = Lookup(Key, MarkType, Color, Style, Width);
    return slot;
  }

  TRecent Lookup(std::uint64_t Key, int MarkType, TColor Color, TPenStyle Style, int Width)
  {
    auto it = FCache.find(Key);
    if (it == FCache.end()) {
      if (FCache.size() > 4096) {
        Flush();  // pending marks point into the cache
        FCache.clear();
        FUsed.clear();
        FUsedAt.clear();
        FRecent = {};
      }
      it = FCache.emplace(Key, MakeStamp(MarkType, Color, Style, Width)).first;
      TCustomRChart::TMarkStamp& s = it->second;
      s.Bits = reinterpret_cast<const std::uint32_t*>(std::as_const(s.Image).constBits());
      s.W = s.Image.width();
      s.H = s.Image.height();
    }
    const TCustomRChart::TMarkStamp* stamp = &it->second;
    auto [at, added] = FUsedAt.emplace(stamp, static_cast<std::uint32_t>(FUsed.size()));
    if (added)
      FUsed.push_back(stamp);
    return {Key, stamp, at->second};
  }

  static TCustomRChart::TMarkStamp MakeStamp(int MarkType, TColor Color, TPenStyle Style, int Width)
  {
    const int r = 10 + Width;
    const int n = 2 * r + 1;
    TBitmap on[2] = {TBitmap(n, n), TBitmap(n, n)};
    const TColor back[2] = {clWhite, clBlack};
    for (int k = 0; k < 2; ++k) {
      TCanvas& c = on[k].Canvas();
      c.Brush().SetColor(back[k]);
      c.Brush().SetStyle(bsSolid);
      c.FillRect(Rect(0, 0, n, n));
      c.Pen().SetColor(Color);
      c.Pen().SetStyle(Style);
      c.Pen().SetWidth(Width);
      c.Pen().SetMode(pmCopy);
      DrawMark(c, static_cast<std::uint8_t>(MarkType), r, r);
      c.End();
    }
    const QImage& a = on[0].Image();
    const QImage& b = on[1].Image();
    int x0 = n, y0 = n, x1 = -1, y1 = -1;
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x)
        if (a.pixel(x, y) == b.pixel(x, y)) {
          x0 = std::min(x0, x);
          y0 = std::min(y0, y);
          x1 = std::max(x1, x);
          y1 = std::max(y1, y);
        }
    TCustomRChart::TMarkStamp s;
    if (x1 < 0)
      return s;
    s.Image = QImage(x1 - x0 + 1, y1 - y0 + 1, QImage::Format_ARGB32_Premultiplied);
    s.Image.fill(0);
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x)
        if (a.pixel(x, y) == b.pixel(x, y))
          s.Image.setPixel(x - x0, y - y0, a.pixel(x, y) | 0xFF000000u);
    s.Dx = x0 - r;
    s.Dy = y0 - r;
    s.Solid = true;
    for (int y = 0; y < s.Image.height(); ++y) {
      const auto* row = reinterpret_cast<const QRgb*>(s.Image.constScanLine(y));
      int first = -1, end = 0;
      for (int x = 0; x < s.Image.width(); ++x)
        if (row[x] >> 24) {
          if (first < 0)
            first = x;
          end = x + 1;
        }
      if (first < 0)
        first = end = 0;
      for (int x = first; x < end; ++x)
        s.Solid = s.Solid && (row[x] >> 24) != 0;
      s.Rows.emplace_back(first, end);
    }
    return s;
  }

  // A mark's top-left corner in the image (clamped plot pixels plus the stamp's offset fit in 16
  // bits) and its stamp's place in FUsed.
  struct TPendingMark {
    std::int16_t X;
    std::int16_t Y;
    std::uint32_t Stamp;
  };

  TCanvas& FCanvas;
  TCustomRChart::TStampCache& FCache;
  QImage* FTarget = nullptr;
  int FTargetW = 0;
  int FTargetH = 0;
  std::vector<int> FBandStart;         // the first row of each band, and the image's height
  std::vector<std::uint8_t> FBandOf;  // the band of each row (at most 64 bands)
  std::vector<std::vector<TPendingMark>> FBands;  // the marks over each band, in drawing order
  bool FPending = false;
  std::vector<const TCustomRChart::TMarkStamp*> FUsed;  // the stamps &FChart pass has used
  std::unordered_map<const TCustomRChart::TMarkStamp*, std::uint32_t> FUsedAt;
  std::array<TRecent, 256> FRecent{};
};

void TRcPainter::ItemPass(TCanvas& Canvas, bool BlackWhite, bool Record)
{
  TCanvas& c = Canvas;
  const TRect plot = PlotRect();
  const int W = plot.Width(), H = plot.Height();
  TDupMarkFilter dup(FLook.AvoidDuplicateMarks ? FrameWidth() : 0, FLook.AvoidDuplicateMarks ? FrameHeight() : 0, FLook.MinDupMarkDist,
                     FChart.FDupGrid);
  // Only the screen's pass changes what the hit test answers for (RenderTo's leaves it alone).
  if (Record)
    FChart.FHitIndex.Valid = false;

  if (FChart.OnBeforeRenderData) {
    const TColor pen = c.Pen().Color(), brush = c.Brush().Color();
    FChart.OnBeforeRenderData(&FChart, c, 0, 0);
    c.Pen().SetColor(pen);
    c.Brush().SetColor(brush);
  }
  if (FLook.GridStyle != gsNone)
    DrawGrid(c);

  c.Pen().SetWidth(FAttr.LineWidth);
  c.Pen().SetColor(FLook.ChartColor);
  c.Pen().SetStyle(psSolid);
  c.Pen().SetMode(pmCopy);
  c.Brush().SetColor(FLook.ChartColor);
  c.Brush().SetStyle(bsSolid);
  c.Font().SetColor(FLook.ChartColor);
  c.MoveTo(0, 0);

  // The pen cache: settings are passed to the canvas only when an item needs other values.
  TColor curPen = FLook.ChartColor, curBrush = FLook.ChartColor;
  TPenStyle curStyle = psSolid;
  int curWidth = std::max(1, static_cast<int>(FAttr.LineWidth));
  auto usePen = [&](TColor Color, TPenStyle Style, int Width) {
    if (Color != curPen) {
      c.Pen().SetColor(Color);
      curPen = Color;
    }
    if (Style != curStyle) {
      c.Pen().SetStyle(Style);
      curStyle = Style;
    }
    if (Width != curWidth) {
      c.Pen().SetWidth(Width);
      curWidth = Width;
    }
  };
  auto useBrush = [&](TColor Color) {
    if (Color != curBrush) {
      c.Brush().SetColor(Color);
      curBrush = Color;
    }
  };

  TRcStamper stamps(c, FChart.FStamps);
  const int ml = FPlot.MarginLeft, mt = FPlot.MarginTop;
  std::array<TLayerView, MaxLayers> views;
  for (int i = 0; i < MaxLayers; ++i)
    views[static_cast<size_t>(i)] = FChart.LayerView(i);
  const TRcItemStore& store = FStore;
  // Without a handler that may change what is drawn, the shapes of all items are computed first,
  // on the math threads; the screen paint keeps them for the hit index.
  const bool ahead = !FChart.OnBeforeRenderChartItem;
  TBulkVector<TItemShape> ownShapes;
  TBulkVector<TItemShape>& shapes = Record ? FChart.FHitIndex.Shapes : ownShapes;
  if (Record)
    FChart.FHitIndex.FromPaint = ahead;
  if (ahead)
    ItemShapes(store.Items.data(), store.Count, views, shapes);
  // The pen of the last mark copied straight into the pixels, set on the canvas at the end.
  bool markPen = false;
  TColor markColor = 0;
  TPenStyle markStyle = psSolid;
  int markWidth = 1;
  TrcChartItem copy;
  TItemShape shape;
  for (int k = 0; k < store.Count; ++k) {
    const TrcChartItem* item = &store.Items[static_cast<size_t>(k)];
    if (ahead) {
      shape = shapes[static_cast<size_t>(k)];
      if (shape.Kind == 0)
        continue;
    } else {
      if (item->Layer < 1 || item->Layer > MaxLayers)
        continue;
      if (item->Kind != ikMark && item->Kind != ikLine && item->Kind != ikRect)
        continue;
      copy = *item;
      FChart.OnBeforeRenderChartItem(&FChart, copy, k, false);
      item = &copy;
      if (item->Layer < 1 || item->Layer > MaxLayers)
        continue;
      if (!ItemGeometry(*item, views[static_cast<size_t>(item->Layer - 1)], shape))
        continue;
    }
    const TrcChartItem& it = *item;
    const int width = std::max(1, static_cast<int>(it.LineWidth));
    const TColor penColor = BlackWhite ? clBlack : it.Color;
    const auto style = it.PenStyle <= psInsideFrame ? static_cast<TPenStyle>(it.PenStyle) : psSolid;

    switch (it.Kind) {
      case ikMark:
        if (FLook.AvoidDuplicateMarks && !dup.Admit(shape.X1 + ml, shape.Y1 + mt, it.MarkType)) {
          if (ahead)
            shapes[static_cast<size_t>(k)].Kind = 0;  // not drawn: not hit either
          break;
        }
        if (stamps.Direct()) {
          markPen = true;
          markColor = penColor;
          markStyle = style;
          markWidth = width;
        } else {
          usePen(penColor, style, width);
        }
        stamps.Mark(it.MarkType & 0xFF, shape.X1, shape.Y1, penColor, style, width);
        break;
      case ikLine:
        stamps.Flush();
        markPen = false;
        usePen(penColor, style, width);
        useBrush(BlackWhite ? clWhite : it.FillColor);
        if (shape.X1 == shape.X2 && shape.Y1 == shape.Y2) {
          c.SetPixels(shape.X1, shape.Y1, penColor);
        } else {
          c.MoveTo(shape.X1, shape.Y1);
          c.LineTo(shape.X2, shape.Y2);
        }
        break;
      case ikRect:
        stamps.Flush();
        markPen = false;
        usePen(BlackWhite ? clBlack : it.Color, style, width);
        useBrush(BlackWhite ? clSilver : it.FillColor);
        c.Brush().SetStyle(it.TransparentFill ? bsClear : bsSolid);
        if (shape.X1 == shape.X2 && shape.Y1 == shape.Y2)
          c.SetPixels(shape.X1, shape.Y1, curPen);
        else
          c.Rectangle(shape.X1, shape.Y1, shape.X2 + 1, shape.Y2 + 1);
        if (it.TransparentFill)
          c.Brush().SetStyle(bsSolid);
        break;
      default: break;
    }
  }

  stamps.Flush();
  if (markPen)
    usePen(markColor, markStyle, markWidth);  // the canvas ends with the last item's pen
  // The hit index of this paint. A paint through an OnBeforeRenderChartItem handler kept no
  // shapes, so the index is built now, for this paint's mappings. Otherwise the shapes just drawn
  // are kept, and the cells are sorted (about 5 ms on two cores at 1,000,000 marks) once the
  // paints have paused for HitIndexDelayMs, so a pan or a zoom that paints frame after frame
  // builds no index between its frames; a query that comes first builds it itself.
  if (Record) {
    if (!FChart.FHitIndex.FromPaint)
      FChart.BuildHitIndex();
    else {
      // The chart's one timer for it, a child made at its first screen paint.
      auto* timer = FChart.findChild<QTimer*>(QStringLiteral("HitIndexTimer"), Qt::FindDirectChildrenOnly);
      if (!timer) {
        timer = new QTimer(&FChart);
        timer->setObjectName(QStringLiteral("HitIndexTimer"));
        timer->setSingleShot(true);
        timer->setInterval(HitIndexDelayMs);
        QObject::connect(timer, &QTimer::timeout, &FChart, [&Chart = FChart] {
          if (!Chart.FHitIndex.Valid)
            Chart.BuildHitIndex();
        });
      }
      timer->start();  // restarts a pending wait
    }
  }
  DrawTextLabels(c, ml, mt);
  c.Pen().SetWidth(1);
  Fire(FChart.OnDataRendered, &FChart, c, 0, 0);

  c.Pen().SetColor(FLook.ChartFrameColor);
  c.Pen().SetStyle(psSolid);
  c.Pen().SetWidth(1);
  c.Brush().SetStyle(bsClear);
  c.Rectangle(0, 0, W + 1, H + 1);
  c.Brush().SetStyle(bsSolid);
}

// --- grid ------------------------------------------------------------------------------------

namespace {

// Grid values along one axis: from the first value below the upper end, at most 1000 of them.
// Ticks are the axis' recorded tick values of &FChart paint (Step 0 follows them).
std::vector<double> GridValues(double Step, bool Log, double Low, double High, const std::vector<double>& Ticks)
{
  const int NumTicks = static_cast<int>(Ticks.size());
  auto Tick = [&Ticks](int i) { return Ticks[static_cast<size_t>(i - 1)]; };
  constexpr int MaxLines = 1000;
  std::vector<double> out;
  const double lo = std::min(Low, High), hi = std::max(Low, High);
  if (Step == 0) {
    double v = NumTicks > 0 ? Tick(1) : lo;
    for (int i = 1; v < hi && static_cast<int>(out.size()) < MaxLines; ++i) {
      out.push_back(v);
      v = i < NumTicks ? Tick(i + 1) : hi;
    }
    return out;
  }
  if (Step > 0 || !Log) {
    const double s = std::fabs(Step);
    const double first = std::ceil(lo / s) * s;
    for (int i = 0; static_cast<int>(out.size()) < MaxLines; ++i) {
      const double v = first + i * s;
      if (!(v < hi))
        break;
      out.push_back(v);
    }
    return out;
  }
  if (!(lo > 0))
    return out;
  const double lg = std::log10(lo);
  const double k = std::floor(lg);
  const double u = std::nearbyint(std::pow(10.0, lg - k));
  const double p0 = std::pow(10.0, k);
  // The power of ten of v, robust against v lying a rounding error below it.
  auto decade = [](double v) { return std::pow(10.0, std::floor(std::log10(v) + 1e-9)); };
  double v;
  if (Step == -1)
    v = std::pow(10.0, std::ceil(lg - 1e-12));
  else if (Step == -2)
    v = p0 * (u <= 2 ? 2 : u <= 5 ? 5 : 10);
  else if (Step == -3)
    v = p0 * u;
  else
    v = lo;
  while (v < hi && static_cast<int>(out.size()) < MaxLines) {
    out.push_back(v);
    if (Step == -1) {
      v *= 10;
    } else if (Step == -2) {
      const double p = decade(v);
      const double m = std::nearbyint(v / p);
      v = p * (m < 2 ? 2 : m < 5 ? 5 : 10);
    } else {
      const double p = decade(v);
      v = (std::floor(v / p + 1e-9) + 1) * p;
    }
  }
  return out;
}

}  // namespace

void TRcPainter::DrawGrid(TCanvas& Canvas)
{
  const int li = ActiveLayer() - 1;
  const TScaleProps& sx = *FLayers.ScaleX[static_cast<size_t>(li)];
  const TScaleProps& sy = *FLayers.ScaleY[static_cast<size_t>(li)];
  const auto xs = GridValues(FLook.GridDx, sx.Logarithmic(), sx.RangeLow(), sx.RangeHigh(), FAxes.TicksX[static_cast<size_t>(li)].TickValues);
  const auto ys = GridValues(FLook.GridDy, sy.Logarithmic(), sy.RangeLow(), sy.RangeHigh(), FAxes.TicksY[static_cast<size_t>(li)].TickValues);
  const int ml = FPlot.MarginLeft, mt = FPlot.MarginTop;
  TCanvas& c = Canvas;
  c.Pen().SetColor(FLook.GridColor);
  c.Pen().SetWidth(1);
  const bool dotted = FLook.GridStyle == gsHorizDotLines || FLook.GridStyle == gsVertDotLines || FLook.GridStyle == gsDotLines;
  c.Pen().SetStyle(dotted ? psDot : psSolid);
  const int yLow = ClampPix(MapY(li).ToPixel(sy.RangeLow()) - mt), yHigh = ClampPix(MapY(li).ToPixel(sy.RangeHigh()) - mt);
  const int xLow = ClampPix(MapX(li).ToPixel(sx.RangeLow()) - ml), xHigh = ClampPix(MapX(li).ToPixel(sx.RangeHigh()) - ml);
  const bool vert = FLook.GridStyle == gsVertLines || FLook.GridStyle == gsVertDotLines || FLook.GridStyle == gsLines || FLook.GridStyle == gsDotLines;
  const bool horiz = FLook.GridStyle == gsHorizLines || FLook.GridStyle == gsHorizDotLines || FLook.GridStyle == gsLines || FLook.GridStyle == gsDotLines;
  if (FLook.GridStyle == gsPoints) {
    for (double gx : xs)
      for (double gy : ys)
        c.SetPixels(ClampPix(MapX(li).ToPixel(gx) - ml), ClampPix(MapY(li).ToPixel(gy) - mt), FLook.GridColor);
  }
  if (vert)
    for (double gx : xs) {
      const int x = ClampPix(MapX(li).ToPixel(gx) - ml);
      c.MoveTo(x, yLow);
      c.LineTo(x, yHigh);
    }
  if (horiz)
    for (double gy : ys) {
      const int y = ClampPix(MapY(li).ToPixel(gy) - mt);
      c.MoveTo(xLow, y);
      c.LineTo(xHigh, y);
    }
  c.Pen().SetStyle(psSolid);
}

// --- text labels --------------------------------------------------------------------------

void TRcPainter::DrawTextLabels(TCanvas& Canvas, int OriginX, int OriginY)
{
  TCanvas& c = Canvas;
  for (int n = MaxTextLabels; n >= 1; --n) {
    const TTextLabel& l = *FLook.TextLabels[static_cast<size_t>(n - 1)];
    if (l.Mode() == tlOff || !l.Visible())
      continue;
    const TPoint anchor = FChart.TextLabelAnchor(l);
    int x = ClampPix(anchor.X - OriginX);
    int y = ClampPix(anchor.Y - OriginY);

    c.SetFont(l.Font());
    c.Pen().SetColor(l.ColorBorder());
    c.Pen().SetStyle(psSolid);
    c.Pen().SetWidth(1);
    c.Brush().SetColor(l.ColorBkg());
    c.Brush().SetStyle(l.Transparent() ? bsClear : bsSolid);

    std::vector<std::string> lines;
    {
      std::string cur;
      for (char ch : l.Caption()) {
        if (ch == '\n') {
          lines.push_back(cur);
          cur.clear();
        } else {
          cur += ch;
        }
      }
      lines.push_back(cur);
    }
    int bw = 0;
    for (const auto& s : lines)
      bw = std::max(bw, c.TextWidth(s));
    const int h = c.TextHeight(l.Caption().empty() ? std::string("0") : l.Caption());
    const int nl = static_cast<int>(lines.size());
    if (l.VerticalAlignment() == vaTop)
      y += nl * h;
    else if (l.VerticalAlignment() == vaCenter)
      y += nl * h / 2;
    if (l.Alignment() == taRightJustify)
      x -= bw;
    else if (l.Alignment() == taCenter)
      x -= bw / 2;

    const TRect box = Rect(x - 4, y - nl * h - 2, x + bw + 4, y + 2);
    auto background = [&]() {
      if (l.Transparent())
        return;
      const TColor pen = c.Pen().Color();
      c.Pen().SetColor(l.ColorBkg());
      c.Rectangle(box);
      c.Pen().SetColor(pen);
    };
    switch (l.Mode()) {
      case tlsimple: background(); break;
      case tlBox: c.Rectangle(box); break;
      case tlUnderline:
        background();
        c.MoveTo(box.Left, y);
        c.LineTo(box.Right, y);
        break;
      case tlShadow: {
        const TColor bk = c.Brush().Color();
        const TBrushStyle bs = c.Brush().Style();
        c.Pen().SetColor(l.ColorShadow());
        c.Brush().SetColor(l.ColorShadow());
        c.Brush().SetStyle(bsSolid);
        c.Rectangle(box.Left + l.ShadowDx(), box.Top + l.ShadowDy(), box.Right + l.ShadowDx(), box.Bottom + l.ShadowDy());
        c.Pen().SetColor(l.ColorBorder());
        c.Brush().SetColor(bk);
        c.Brush().SetStyle(bs);
        c.Rectangle(box);
        break;
      }
      default: break;
    }
    // Lines stacked upwards from the anchor, each aligned within the block.
    c.Brush().SetStyle(bsClear);
    for (int i = 0; i < nl; ++i) {
      const std::string& s = lines[static_cast<size_t>(i)];
      const int w = c.TextWidth(s);
      int lx = x;
      if (l.Alignment() == taRightJustify)
        lx = x + bw - w;
      else if (l.Alignment() == taCenter)
        lx = x + (bw - w) / 2;
      c.TextOut(lx, y - (nl - i) * h, s);
    }
    c.Brush().SetStyle(bsSolid);
  }
}

// --- cross-hairs --------------------------------------------------------------------------

void TRcPainter::DrawCrossHairs(TCanvas& Canvas, int OriginX, int OriginY)
{
  bool any = false;
  for (const auto& ch : FLook.CrossHairs)
    any = any || ch->Mode() != chOff;
  if (!any)
    return;
  TCanvas& c = Canvas;
  const TPen savedPen = c.Pen();
  const TBrush savedBrush = c.Brush();
  const TRect p = PlotRect();
  for (int n = MaxCrossHairs; n >= 1; --n) {
    const TCrossHair& ch = *FLook.CrossHairs[static_cast<size_t>(n - 1)];
    if (ch.Mode() == chOff)
      continue;
    int x = 0, y = 0;
    FChart.WorldToPixel(ch.Layer(), ch.PosX(), ch.PosY(), x, y);
    const int half = ch.LineWid() / 2;
    c.Pen().SetColor(ch.Color());
    c.Pen().SetWidth(ch.LineWid());
    c.Pen().SetStyle(ch.LineType());
    c.Pen().SetMode(pmCopy);
    c.Brush().SetColor(FLook.ChartColor);
    c.Brush().SetStyle(bsSolid);
    auto line = [&](int x0, int y0, int x1, int y1) {
      c.MoveTo(x0 - OriginX, y0 - OriginY);
      c.LineTo(x1 - OriginX, y1 - OriginY);
    };
    const bool insideX = x > p.Left + half && x < p.Right - half;
    const bool insideY = y > p.Top + half && y < p.Bottom - half;
    if ((ch.Mode() == chHoriz || ch.Mode() == chBoth) && insideY)
      line(p.Left, y, p.Right, y);
    if ((ch.Mode() == chVert || ch.Mode() == chBoth) && insideX)
      line(x, p.Top, x, p.Bottom);
    const bool inPlot = x >= p.Left && x <= p.Right && y >= p.Top && y <= p.Bottom;
    const int ox = x - OriginX, oy = y - OriginY;
    if (ch.Mode() == chCrossBox && inPlot) {
      line(x - 13, y, x + 14, y);
      line(x, y - 13, x, y + 14);
      c.Pen().SetStyle(psSolid);
      c.Pen().SetWidth(1);
      c.Pen().SetColor(clWhite);
      c.Rectangle(ox - 3, oy - 3, ox + 4, oy + 4);
      c.Pen().SetColor(clBlack);
      c.Rectangle(ox - 2, oy - 2, ox + 3, oy + 3);
    } else if (ch.Mode() == chBox) {
      c.Rectangle(ox - 4, oy - 4, ox + 5, oy + 5);
    }
  }
  c.Pen().Assign(savedPen);
  c.Brush().Assign(savedBrush);
}

// --- plot background, shadow and caption --------------------------------------------------

void TRcPainter::PaintPlotBackground(TCanvas& Canvas)
{
  TCanvas& c = Canvas;
  const TRect p = PlotRect();
  const int w = std::max(0, p.Width() + 1), h = std::max(0, p.Height() + 1);
  if (w <= 0 || h <= 0)
    return;
  PlainPenAndBrush(c, FLook.ChartFrameColor, FLook.ChartColor);
  auto plain = [&]() { c.Rectangle(0, 0, w, h); };

  if (!FDecor.BackGroundImg.Name().empty()) {
    if (!FChart.FImageBmp.LoadFromFile(FDecor.BackGroundImg.Name()) || FChart.FImageBmp.Empty()) {
      plain();
      // Cleared without a repaint of its own: &FChart very paint already shows the plain plot.
      const TNotifyEvent keep = FDecor.BackGroundImg.OnChange;
      FDecor.BackGroundImg.OnChange = nullptr;
      FDecor.BackGroundImg.SetName("");
      FDecor.BackGroundImg.OnChange = keep;
      return;
    }
    switch (FDecor.BackGroundImg.FillMode()) {
      case bfSimple:
        c.FillRect(Rect(0, 0, w, h));
        c.Draw(0, 0, FChart.FImageBmp);
        break;
      case bfTile: {
        const int iw = FChart.FImageBmp.Width(), ih = FChart.FImageBmp.Height();
        const int cols = (w - 1) / iw + 1, rows = (h - 1) / ih + 1;
        for (int r = 0; r < rows; ++r)
          for (int k = 0; k < cols; ++k)
            c.Draw(k * iw, r * ih, FChart.FImageBmp);
        break;
      }
      default: c.StretchDraw(Rect(0, 0, w, h), FChart.FImageBmp); break;
    }
    return;
  }

  plain();
  const TBGAreaMode mode = FDecor.BackGroundImg.AreaMode();
  if (mode == bamNone)
    return;
  c.Pen().SetColor(FDecor.BackGroundImg.AreaColor());
  c.Brush().SetColor(FDecor.BackGroundImg.AreaColor());
  const int li = ActiveLayer() - 1;
  auto clampPix = [](int v) { return std::clamp(v, -30000, 30000); };
  const int xl = clampPix(MapX(li).ToPixel(FDecor.BackGroundImg.AreaLeft()) - FPlot.MarginLeft);
  const int xr = clampPix(MapX(li).ToPixel(FDecor.BackGroundImg.AreaRight()) - FPlot.MarginLeft);
  const int yt = clampPix(MapY(li).ToPixel(FDecor.BackGroundImg.AreaTop()) - FPlot.MarginTop);
  const int yb = clampPix(MapY(li).ToPixel(FDecor.BackGroundImg.AreaBottom()) - FPlot.MarginTop);
  auto top = [&]() { c.Rectangle(0, 0, w, yt); };
  auto bottom = [&]() { c.Rectangle(0, yb, w, h); };
  auto left = [&]() { c.Rectangle(0, 0, xl, h); };
  auto right = [&]() { c.Rectangle(xr, 0, w, h); };
  switch (mode) {
    case bamLeft: left(); break;
    case bamRight: right(); break;
    case bamTop: top(); break;
    case bamBottom: bottom(); break;
    case bamVStripe: c.Rectangle(xl, 0, xr, h); break;
    case bamHStripe: c.Rectangle(0, yt, w, yb); break;
    case bamRect: c.Rectangle(xl, yt, xr, yb); break;
    case bamRectInv:
      top();
      bottom();
      left();
      right();
      break;
    case bamVStripeInv:
      left();
      right();
      break;
    case bamHStripeInv:
      top();
      bottom();
      break;
    default: break;
  }
}

void TRcPainter::PaintShadow(TCanvas& Canvas)
{
  TCanvas& c = Canvas;
  const int s = FPlot.ShadowWidth, wc = FrameWidth(), hc = FrameHeight();
  c.Pen().SetStyle(psSolid);
  c.Pen().SetWidth(1);
  c.Pen().SetColor(FDecor.ShadowBakColor);
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(FDecor.ShadowBakColor);
  c.Rectangle(wc - s, 0, wc, s);
  c.Rectangle(0, hc - s, s, hc);
  c.Brush().SetColor(FDecor.ShadowColor);
  int f;
  if (FDecor.ShadowStyle == ssFlying) {
    c.Pen().SetColor(FDecor.ShadowColor);
    f = s - 1;
  } else {
    c.Pen().SetColor(clBlack);
    f = 0;
  }
  const TPoint bottomShadow[4] = {Point(f, hc - s), Point(s - 1, hc - 1), Point(wc - 1, hc - 1), Point(wc - s, hc - s)};
  c.Polygon(bottomShadow, 4);
  const TPoint rightShadow[4] = {Point(wc - s, hc - s), Point(wc - 1, hc - 1), Point(wc - 1, s - 1), Point(wc - s, f)};
  c.Polygon(rightShadow, 4);
  c.Pen().SetColor(clBlack);
  const TPoint outline[5] = {Point(0, 0), Point(wc - s, 0), Point(wc - s, hc - s), Point(0, hc - s), Point(0, 0)};
  c.Polyline(outline, 5);
  // The polyline leaves its last point unset; the outline is closed, so (0, 0) is its first.
}

void TRcPainter::PaintCaption(TCanvas& Canvas)
{
  if (FDecor.Caption.empty())
    return;
  TCanvas& c = Canvas;
  c.SetFont(FChart.Font());
  c.Pen().SetColor(FLook.ChartFrameColor);
  c.Brush().SetStyle(bsClear);
  const std::string text = FChart.TrimmedCaption(c);
  const TRect p = PlotRect();
  int x = 0, y = 0;
  switch (FDecor.CaptionAnchorHoriz) {
    case cahControlLeft: x = 0; break;
    case cahChartLeft: x = FPlot.MarginLeft; break;
    case cahChartCenter: x = FPlot.MarginLeft + p.Width() / 2; break;
    case cahChartRight: x = FrameWidth() - FPlot.MarginRight - FPlot.ShadowWidth; break;
    case cahControlRight: x = FrameWidth(); break;
  }
  switch (FDecor.CaptionAnchorVert) {
    case cavControlTop: y = 0; break;
    case cavChartTop: y = FPlot.MarginTop; break;
    case cavChartCenter: y = FPlot.MarginTop + p.Height() / 2; break;
    case cavChartBottom: y = FrameHeight() - FPlot.MarginBottom; break;
    case cavControlBottom: y = FrameHeight(); break;
  }
  x += FDecor.CaptionPosX;
  y += FDecor.CaptionPosY;
  const int w = c.TextWidth(text);
  if (FDecor.CaptionAlignment == taRightJustify)
    x -= w;
  else if (FDecor.CaptionAlignment == taCenter)
    x -= w / 2;
  c.TextOut(x, y, text);
  c.Brush().SetStyle(bsSolid);
}

// --- axes and the mouse trace -------------------------------------------------------------

void TRcPainter::PaintAxes(TCanvas& Canvas)
{
  FChart.PlaceAllAxes();
  for (int v = 0; v < 2; ++v)
    for (int i = 0; i < MaxLayers; ++i) {
      const TScaleProps& p = v == 0 ? static_cast<const TScaleProps&>(*FLayers.ScaleX[static_cast<size_t>(i)])
                                    : static_cast<const TScaleProps&>(*FLayers.ScaleY[static_cast<size_t>(i)]);
      TScale* a = (v == 0 ? FAxes.AxisX : FAxes.AxisY)[static_cast<size_t>(i)];
      TScaleWalk& ticks = (v == 0 ? FAxes.TicksX : FAxes.TicksY)[static_cast<size_t>(i)];
      ticks = {};
      if (!a || !p.Visible() || !Canvas.HasPainter())
        continue;
      ticks = a->Walk(Canvas, 0, 0);
      a->PaintTo(Canvas, 0, 0, ticks);
    }
}

// The segments between consecutive trace points of one stroke, from point From on; Origin is
// the canvas's top-left corner in control pixels.
void TRcPainter::DrawMouseTrace(TCanvas& Canvas, int OriginX, int OriginY, size_t From)
{
  if (FTrace.size() < 2)
    return;
  const int layer = FChart.FMouseHandler.FirstActiveLayer();
  TCanvas& c = Canvas;
  c.Pen().SetStyle(psSolid);
  c.Pen().SetWidth(1);
  for (size_t k = std::max<size_t>(From, 1); k < FTrace.size(); ++k) {
    const TMouseTracePoint& a = FTrace[k - 1];
    const TMouseTracePoint& b = FTrace[k];
    if (a.EndOfStroke)
      continue;
    int x0, y0, x1, y1;
    FChart.WorldToPixel(layer, a.X, a.Y, x0, y0);
    FChart.WorldToPixel(layer, b.X, b.Y, x1, y1);
    c.Pen().SetColor(b.Color);
    c.Pen().SetMode(b.Invert ? pmXor : pmCopy);
    c.MoveTo(x0 - OriginX, y0 - OriginY);
    c.LineTo(x1 - OriginX, y1 - OriginY);
  }
  c.Pen().SetMode(pmCopy);
}

}  // namespace orvex
