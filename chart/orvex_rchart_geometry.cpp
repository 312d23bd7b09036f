// Where the chart's items are drawn: the pixel shape of one item (used by the item pass and the
// hit test alike), the duplicate-mark rule, and the hit test ItemAt over an index of pixel cells
// built after the screen paint (or by the first query, if that comes first).
#include "orvex_rchart.h"

#include "orvex_math2.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvex {

namespace {

constexpr int PixClamp = 30000;

int ClampPix(int v) { return std::clamp(v, -PixClamp, PixClamp); }

bool Between(double v, double a, double b) { return a <= b ? (v >= a && v <= b) : (v >= b && v <= a); }

// Clips the segment to [-Lim, Lim]^2 (Liang-Barsky); false when nothing of it lies inside.
bool ClipSegment(long double& x0, long double& y0, long double& x1, long double& y1, long double Lim)
{
  long double t0 = 0, t1 = 1;
  const long double dx = x1 - x0, dy = y1 - y0;
  const long double p[4] = {-dx, dx, -dy, dy};
  const long double q[4] = {x0 + Lim, Lim - x0, y0 + Lim, Lim - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0)
        return false;
      continue;
    }
    const long double r = q[i] / p[i];
    if (p[i] < 0)
      t0 = std::max(t0, r);
    else
      t1 = std::min(t1, r);
    if (t0 > t1)
      return false;
  }
  const long double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy;
  x1 = x0 + t1 * dx;
  y1 = y0 + t1 * dy;
  x0 = nx0;
  y0 = ny0;
  return true;
}

// Squared distance from (X, Y) to the segment (X1, Y1)-(X2, Y2).
double SegmentDistance2(double X, double Y, double X1, double Y1, double X2, double Y2)
{
  const double dx = X2 - X1, dy = Y2 - Y1;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((X - X1) * dx + (Y - Y1) * dy) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = X1 + t * dx - X, ey = Y1 + t * dy - Y;
  return ex * ex + ey * ey;
}

// Squared distance from a pixel to the nearest pixel of a shape (0 on or inside it).
double ShapeDistance2(const TItemShape& S, int X, int Y)
{
  switch (S.Kind) {
    case ikMark: {
      const double dx = X - S.X1, dy = Y - S.Y1;
      return dx * dx + dy * dy;
    }
    case ikLine: return SegmentDistance2(X, Y, S.X1, S.Y1, S.X2, S.Y2);
    default: {
      const double dx = X < S.X1 ? S.X1 - X : X > S.X2 ? X - S.X2 : 0;
      const double dy = Y < S.Y1 ? S.Y1 - Y : Y > S.Y2 ? Y - S.Y2 : 0;
      return dx * dx + dy * dy;
    }
  }
}

}  // namespace

bool ItemGeometry(const TrcChartItem& It, const TLayerView& L, TItemShape& S)
{
  S.Kind = It.Kind;
  const int ox = L.OriginX, oy = L.OriginY;
  switch (It.Kind) {
    case ikMark: {
      if (!std::isfinite(It.X1) || !std::isfinite(It.Y1))
        return false;
      if (!Between(It.X1, L.XLow, L.XHigh) || !Between(It.Y1, L.YLow, L.YHigh))
        return false;
      S.X1 = S.X2 = ClampPix(L.X.ToPixel(It.X1) - ox);
      S.Y1 = S.Y2 = ClampPix(L.Y.ToPixel(It.Y1) - oy);
      return true;
    }
    case ikLine: {
      if (!std::isfinite(It.X1) || !std::isfinite(It.Y1) || !std::isfinite(It.X2) || !std::isfinite(It.Y2))
        return false;
      long double x0 = L.X.ToPixelF(It.X1) - ox, y0 = L.Y.ToPixelF(It.Y1) - oy;
      long double x1 = L.X.ToPixelF(It.X2) - ox, y1 = L.Y.ToPixelF(It.Y2) - oy;
      // Far ends are clipped on the true line, so the visible part keeps its direction.
      if (!ClipSegment(x0, y0, x1, y1, PixClamp))
        return false;
      S.X1 = ClampPix(RoundPixel(x0));
      S.Y1 = ClampPix(RoundPixel(y0));
      S.X2 = ClampPix(RoundPixel(x1));
      S.Y2 = ClampPix(RoundPixel(y1));
      return true;
    }
    case ikRect: {
      if (!std::isfinite(It.X1) || !std::isfinite(It.Y1) || !std::isfinite(It.X2) || !std::isfinite(It.Y2))
        return false;
      const int px0 = ClampPix(L.X.ToPixel(It.X1) - ox), py0 = ClampPix(L.Y.ToPixel(It.Y1) - oy);
      const int px1 = ClampPix(L.X.ToPixel(It.X2) - ox), py1 = ClampPix(L.Y.ToPixel(It.Y2) - oy);
      S.X1 = std::min(px0, px1);
      S.Y1 = std::min(py0, py1);
      S.X2 = std::max(px0, px1);
      S.Y2 = std::max(py0, py1);
      return true;
    }
    default: return false;
  }
}

// --- duplicate marks -------------------------------------------------------------------------

TDupMarkFilter::TDupMarkFilter(int Width, int Height, int Dist, std::vector<std::int16_t>& Cells)
    : FDist(Dist), FWidth(std::max(0, Width + 2 * Dist)), FHeight(std::max(0, Height + 2 * Dist)), FCells(Cells)
{
  FCells.assign(static_cast<size_t>(FWidth) * static_cast<size_t>(FHeight), -1);
}

bool TDupMarkFilter::Admit(int X, int Y, std::int32_t MarkType)
{
  const int d = FDist, gx = X + d, gy = Y + d;
  if (gx < 0 || gy < 0 || gx >= FWidth || gy >= FHeight)
    return false;
  const size_t w = static_cast<size_t>(FWidth);
  if (FCells[static_cast<size_t>(gy) * w + static_cast<size_t>(gx)] == MarkType)
    return false;
  for (int y = std::max(0, gy - d); y <= std::min(FHeight - 1, gy + d); ++y)
    for (int x = std::max(0, gx - d); x <= std::min(FWidth - 1, gx + d); ++x)
      FCells[static_cast<size_t>(y) * w + static_cast<size_t>(x)] = static_cast<std::int16_t>(MarkType);
  return true;
}

// --- hit testing -----------------------------------------------------------------------------

TLayerView TCustomRChart::LayerView(int LayerIdx) const
{
  TLayerView v;
  v.X = MapX(LayerIdx);
  v.Y = MapY(LayerIdx);
  const TScaleProps& sx = *FLayers.ScaleX[static_cast<size_t>(LayerIdx)];
  const TScaleProps& sy = *FLayers.ScaleY[static_cast<size_t>(LayerIdx)];
  v.XLow = sx.RangeLow();
  v.XHigh = sx.RangeHigh();
  v.YLow = sy.RangeLow();
  v.YHigh = sy.RangeHigh();
  v.OriginX = FPlot.MarginLeft;
  v.OriginY = FPlot.MarginTop;
  return v;
}

void ItemShapes(const TrcChartItem* Items, int Count, const std::array<TLayerView, MaxLayers>& Layers,
                TBulkVector<TItemShape>& Shapes)
{
  Shapes.resize(static_cast<size_t>(std::max(0, Count)));
  constexpr int BlockSize = 1 << 15;
  ForEachMathTask(BlockCount(Count, BlockSize), [&](int b) {
    const int from = b * BlockSize, to = std::min(Count, from + BlockSize);
    for (int k = from; k < to; ++k) {
      const TrcChartItem& it = Items[k];
      TItemShape& s = Shapes[static_cast<size_t>(k)];
      if (it.Layer < 1 || it.Layer > MaxLayers || !ItemGeometry(it, Layers[static_cast<size_t>(it.Layer - 1)], s))
        s.Kind = 0;
    }
  });
}

const std::array<TRcItemBounds, MaxLayers>& TRcItemStore::CurrentBounds()
{
  // The items added since the last call, in fixed blocks on the math threads; minima and maxima
  // merge exactly in any order.
  const int from = Bounded, count = Count - Bounded;
  constexpr int BlockSize = 1 << 16;
  const int blocks = BlockCount(count, BlockSize);
  std::vector<std::array<TRcItemBounds, MaxLayers>> parts(static_cast<size_t>(std::max(blocks, 0)));
  ForEachMathTask(blocks, [&](int b) {
    std::array<TRcItemBounds, MaxLayers>& part = parts[static_cast<size_t>(b)];
    const int first = from + b * BlockSize, last = std::min(Count, first + BlockSize);
    for (int k = first; k < last; ++k) {
      const TrcChartItem& it = Items[static_cast<size_t>(k)];
      if (it.Layer < 1 || it.Layer > MaxLayers)
        continue;
      // Items with a coordinate that is not a finite number do not take part.
      const bool twoPoints = it.Kind == ikLine || it.Kind == ikRect;
      if (!std::isfinite(it.X1) || !std::isfinite(it.Y1) ||
          (twoPoints && (!std::isfinite(it.X2) || !std::isfinite(it.Y2))))
        continue;
      TRcItemBounds& bounds = part[static_cast<size_t>(it.Layer - 1)];
      bounds.Take(it.X1, it.Y1);
      if (twoPoints)
        bounds.Take(it.X2, it.Y2);
    }
  });
  for (const auto& part : parts)
    for (int i = 0; i < MaxLayers; ++i) {
      const TRcItemBounds& p = part[static_cast<size_t>(i)];
      TRcItemBounds& b = Bounds[static_cast<size_t>(i)];
      b.LowX = std::min(b.LowX, p.LowX);
      b.HighX = std::max(b.HighX, p.HighX);
      b.LowY = std::min(b.LowY, p.LowY);
      b.HighY = std::max(b.HighY, p.HighY);
    }
  Bounded = Count;
  return Bounds;
}

void TCustomRChart::BuildHitIndex() const
{
  THitIndex& h = FHitIndex;
  const TRcItemStore& store = *FStore;
  if (!h.FromPaint) {
    // The last paint left no shapes (an OnBeforeRenderChartItem handler may have moved what it
    // drew): the items' own shapes, with the duplicate-mark rule in drawing order.
    std::array<TLayerView, MaxLayers> views;
    for (int i = 0; i < MaxLayers; ++i)
      views[static_cast<size_t>(i)] = LayerView(i);
    ItemShapes(store.Items.data(), store.Count, views, h.Shapes);
    if (FLook.AvoidDuplicateMarks) {
      std::vector<std::int16_t> dupCells;
      TDupMarkFilter dup(FrameWidth(), FrameHeight(), FLook.MinDupMarkDist, dupCells);
      for (size_t k = 0; k < h.Shapes.size(); ++k) {
        TItemShape& sh = h.Shapes[k];
        if (sh.Kind == ikMark && !dup.Admit(sh.X1 + FPlot.MarginLeft, sh.Y1 + FPlot.MarginTop, store.Items[k].MarkType))
          sh.Kind = 0;
      }
    }
    h.FromPaint = true;
  }

  // Cells over the plot and a border of one cell; shapes beyond it are kept in the border cells.
  const TRect p = PlotRect();
  h.Columns = std::max(1, p.Width() + 1) / HitCell + 3;
  h.Rows = std::max(1, p.Height() + 1) / HitCell + 3;
  const auto cellX = [&](int x) { return std::clamp(x / HitCell + (x < 0 ? 0 : 1), 0, h.Columns - 1); };
  const auto cellY = [&](int y) { return std::clamp(y / HitCell + (y < 0 ? 0 : 1), 0, h.Rows - 1); };
  const size_t cells = static_cast<size_t>(h.Columns) * static_cast<size_t>(h.Rows);
  auto forCells = [&](const TItemShape& Sh, auto&& Visit) {
    if (Sh.Kind == ikMark) {  // a mark counts by its centre: one cell
      Visit(static_cast<size_t>(cellY(Sh.Y1)) * static_cast<size_t>(h.Columns) + static_cast<size_t>(cellX(Sh.X1)));
      return;
    }
    const int x0 = cellX(std::min(Sh.X1, Sh.X2)), x1 = cellX(std::max(Sh.X1, Sh.X2));
    const int y0 = cellY(std::min(Sh.Y1, Sh.Y2)), y1 = cellY(std::max(Sh.Y1, Sh.Y2));
    for (int cy = y0; cy <= y1; ++cy)
      for (int cx = x0; cx <= x1; ++cx)
        Visit(static_cast<size_t>(cy) * static_cast<size_t>(h.Columns) + static_cast<size_t>(cx));
  };
  // A counting sort in fixed blocks of items on the math threads: each block counts its entries
  // per cell, the counts are laid out cell by cell and block by block, and each block places its
  // entries from there. Entries ascend by item in every cell, whatever the thread count.
  const int count = static_cast<int>(h.Shapes.size());
  const int blocks = std::min(16, BlockCount(count, 1 << 14));
  const auto bound = [&](int b) { return static_cast<int>(static_cast<long long>(count) * b / std::max(1, blocks)); };
  std::vector<std::vector<int>> starts(static_cast<size_t>(blocks), std::vector<int>(cells, 0));
  ForEachMathTask(blocks, [&](int b) {
    std::vector<int>& n = starts[static_cast<size_t>(b)];
    for (int k = bound(b); k < bound(b + 1); ++k)
      if (h.Shapes[static_cast<size_t>(k)].Kind != 0)
        forCells(h.Shapes[static_cast<size_t>(k)], [&](size_t c) { ++n[c]; });
  });
  h.CellStart.assign(cells + 1, 0);
  int total = 0;
  for (size_t c = 0; c < cells; ++c) {
    h.CellStart[c] = total;
    for (auto& n : starts) {
      const int k = n[c];
      n[c] = total;
      total += k;
    }
  }
  h.CellStart[cells] = total;
  h.Entries.resize(static_cast<size_t>(total));
  ForEachMathTask(blocks, [&](int b) {
    std::vector<int>& next = starts[static_cast<size_t>(b)];
    for (int k = bound(b); k < bound(b + 1); ++k)
      if (h.Shapes[static_cast<size_t>(k)].Kind != 0)
        forCells(h.Shapes[static_cast<size_t>(k)], [&](size_t c) { h.Entries[static_cast<size_t>(next[c]++)] = k; });
  });
  h.Valid = true;
}

int TCustomRChart::ItemAt(int X, int Y, int Tolerance, std::uint8_t Kinds) const
{
  if (Tolerance < 0)
    return -1;
  if (!FHitIndex.Valid)
    BuildHitIndex();
  const THitIndex& h = FHitIndex;
  if (h.Entries.empty())
    return -1;
  const int px = X - FPlot.MarginLeft, py = Y - FPlot.MarginTop;
  const int tol = std::min(Tolerance, PixClamp);
  const auto cellX = [&](long long x) {
    return static_cast<int>(std::clamp<long long>(x / HitCell + (x < 0 ? 0 : 1), 0, h.Columns - 1));
  };
  const auto cellY = [&](long long y) {
    return static_cast<int>(std::clamp<long long>(y / HitCell + (y < 0 ? 0 : 1), 0, h.Rows - 1));
  };
  const int x0 = cellX(static_cast<long long>(px) - tol), x1 = cellX(static_cast<long long>(px) + tol);
  const int y0 = cellY(static_cast<long long>(py) - tol), y1 = cellY(static_cast<long long>(py) + tol);
  const double limit = static_cast<double>(tol) * tol;
  double best = std::numeric_limits<double>::infinity();
  int bestShape = -1;
  for (int cy = y0; cy <= y1; ++cy)
    for (int cx = x0; cx <= x1; ++cx) {
      const size_t c = static_cast<size_t>(cy) * static_cast<size_t>(h.Columns) + static_cast<size_t>(cx);
      for (int e = h.CellStart[c]; e < h.CellStart[c + 1]; ++e) {
        const int i = h.Entries[static_cast<size_t>(e)];
        if ((h.Shapes[static_cast<size_t>(i)].Kind & Kinds) == 0)
          continue;
        const double d = ShapeDistance2(h.Shapes[static_cast<size_t>(i)], px, py);
        // Later shapes are drawn on top: they win ties.
        if (d <= limit && (d < best || (d == best && i > bestShape))) {
          best = d;
          bestShape = i;
        }
      }
    }
  return bestShape >= 0 && bestShape < FStore->Count ? bestShape : -1;
}

}  // namespace orvex
