// TCustomGrid: painting. Only the cells that show in the viewport are visited: the fixed ones
// and the scrollable ones from the left column and the top row up to the viewport's edge. Each
// cell is filled (with DefaultDrawing), handed to DrawCell, and followed by its grid lines; the
// area beyond the last column and row takes the grid's colour.
#include "orvex_grids.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <vector>

namespace orvex {

namespace {
struct TBand {
  int Index;
  int Pos;
  int Size;  // without the line after it
};

// The fixed cells, then the scrollable ones from First, that start inside Limit pixels.
std::vector<TBand> VisibleBands(const TGridAxis& Axis, int First, int Limit)
{
  std::vector<TBand> bands;
  int pos = 0;
  for (int i = 0; i < Axis.Fixed() && pos < Limit; ++i) {
    int size = Axis.Size(i);
    bands.push_back({i, pos, size});
    pos += size + Axis.LineAfter(i);
  }
  for (int i = First; i < Axis.Count() && pos < Limit; ++i) {
    int size = Axis.Size(i);
    bands.push_back({i, pos, size});
    pos += size + Axis.LineAfter(i);
  }
  return bands;
}

bool SameFont(const TFont& A, const TFont& B)
{
  return A.Name() == B.Name() && A.Height() == B.Height() && A.Color() == B.Color() && A.Style() == B.Style() &&
         A.PixelsPerInch() == B.PixelsPerInch();
}
}  // namespace

void TCustomGrid::DrawCell(int ACol, int ARow, const TRect& Rect, TGridDrawState State)
{
  Fire(OnDrawCell, this, ACol, ARow, Rect, State);
}

void TCustomGrid::paintEvent(QPaintEvent* e)
{
  QPainter painter(viewport());
  FCanvas.SetPainter(&painter);
  if (!SameFont(FCanvas.Font(), FFont))
    FCanvas.SetFont(FFont);
  FPaintArea = TRect::FromQRect(e->rect());
  // A handler that throws must not leave the canvas on a dead painter nor escape into Qt's
  // event loop.
  try {
    PaintGrid(FCanvas);
    PaintOverlay();
  } catch (...) {
  }
  FCanvas.SetPainter(nullptr);
  // Texts measured outside painting use the grid's font, not what the last cell left behind.
  if (!SameFont(FCanvas.Font(), FFont))
    FCanvas.SetFont(FFont);
}

void TCustomGrid::PaintGrid(TCanvas& ACanvas)
{
  const int w = viewport()->width();
  const int h = viewport()->height();
  const std::vector<TBand> cols = VisibleBands(FCols, FTopLeft.X, w);
  const std::vector<TBand> rows = VisibleBands(FRows, FTopLeft.Y, h);
  const TGridRect selection = Selection();
  // The grid counts as focused while its in-place editor has the keyboard.
  const QWidget* focus = QApplication::focusWidget();
  const bool focused = hasFocus() || (FEditing && focus && isAncestorOf(focus));
  for (const TBand& r : rows) {
    const int rLine = FRows.LineAfter(r.Index);
    if (r.Pos >= FPaintArea.Bottom || r.Pos + r.Size + rLine <= FPaintArea.Top)
      continue;
    for (const TBand& c : cols) {
      const int cLine = FCols.LineAfter(c.Index);
      if (c.Pos >= FPaintArea.Right || c.Pos + c.Size + cLine <= FPaintArea.Left)
        continue;
      PaintCell(ACanvas, c.Index, r.Index, TRect{c.Pos, r.Pos, c.Pos + c.Size, r.Pos + r.Size}, cLine, rLine,
                selection, focused);
    }
  }
  // What lies beyond the last column and below the last row.
  const int right = cols.empty() ? 0 : cols.back().Pos + cols.back().Size + FCols.LineAfter(cols.back().Index);
  const int bottom = rows.empty() ? 0 : rows.back().Pos + rows.back().Size + FRows.LineAfter(rows.back().Index);
  ACanvas.Brush().SetStyle(bsSolid);
  ACanvas.Brush().SetColor(FColor);
  if (right < w)
    ACanvas.FillRect(TRect{right, 0, w, h});
  if (bottom < h)
    ACanvas.FillRect(TRect{0, bottom, std::min(right, w), h});
}

void TCustomGrid::PaintCell(TCanvas& ACanvas, int ACol, int ARow, const TRect& Rect, int VLine, int HLine,
                            const TGridRect& ASelection, bool Focused)
{
  const bool fixed = ACol < FixedCols() || ARow < FixedRows();
  TGridDrawState state;
  if (fixed) {
    state.Include(gdFixed);
  } else {
    const bool current = !FNoSelection && ACol == FCurrent.X && ARow == FCurrent.Y;
    if (ASelection.Contains(ACol, ARow))
      state.Include(gdSelected);
    if (current && Focused)
      state.Include(gdFocused);
  }

  // The focused cell shows its focus rectangle instead of the highlight, unless whole rows are
  // selected or the options ask for both; a grid without the focus highlights its whole selection.
  const bool highlight = state.Contains(gdSelected) &&
                         (!state.Contains(gdFocused) || FOptions.Contains(goRowSelect) ||
                          FOptions.Contains(goDrawFocusSelected));
  const TColor background = fixed ? FFixedColor : highlight ? clHighlight : FColor;
  // Each cell starts with the grid's font. Assigning an equal font would still throw away the
  // canvas's prepared Qt font, so only a font that a previous cell changed is reset.
  if (!SameFont(ACanvas.Font(), FFont))
    ACanvas.Font().Assign(FFont);
  ACanvas.Brush().SetStyle(bsSolid);
  ACanvas.Brush().SetColor(background);
  if (FDefaultDrawing) {
    if (highlight)
      ACanvas.Font().SetColor(clHighlightText);
    if (!Rect.IsEmpty())
      ACanvas.FillRect(Rect);
  }
  DrawCell(ACol, ARow, Rect, state);
  if (FDefaultDrawing && state.Contains(gdFocused) && !FEditing && !Rect.IsEmpty())
    ACanvas.DrawFocusRect(Rect);

  // The lines after the cell: the vertical one runs down through the horizontal one.
  const TGridOption vOption = fixed ? goFixedVertLine : goVertLine;
  const TGridOption hOption = fixed ? goFixedHorzLine : goHorzLine;
  const TColor lineColor = fixed ? FFixedLineColor : FGridLineColor;
  const TColor gapColor = fixed ? FFixedColor : FColor;
  ACanvas.Brush().SetStyle(bsSolid);
  if (VLine > 0) {
    ACanvas.Brush().SetColor(FOptions.Contains(vOption) ? lineColor : gapColor);
    ACanvas.FillRect(TRect{Rect.Right, Rect.Top, Rect.Right + VLine, Rect.Bottom + HLine});
  }
  if (HLine > 0) {
    ACanvas.Brush().SetColor(FOptions.Contains(hOption) ? lineColor : gapColor);
    ACanvas.FillRect(TRect{Rect.Left, Rect.Bottom, Rect.Right, Rect.Bottom + HLine});
  }
}

}  // namespace orvex
