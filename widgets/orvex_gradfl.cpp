// TGradFill: the property rules and the rendering of the nine gradient geometries.
#include "orvex_gradfl.h"

#include <cmath>
#include <numbers>

namespace orvex {

namespace {

// Rounds to the nearest integer, halves to even.
int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

// The colour steps between a first and a last colour.
class TColorSteps {
public:
  TColorSteps(TColor First, TColor Last)
  {
    const TColor f = ColorToRGB(First);
    const TColor l = ColorToRGB(Last);
    FFirst[0] = GetRValue(f);
    FFirst[1] = GetGValue(f);
    FFirst[2] = GetBValue(f);
    FDelta[0] = GetRValue(l) - FFirst[0];
    FDelta[1] = GetGValue(l) - FFirst[1];
    FDelta[2] = GetBValue(l) - FFirst[2];
  }

  // Step k of M: each channel first + MulDiv(k, delta, M), taken modulo 256. With no steps at
  // all (M = 0, only met by degenerate sizes and counts) the first colour stands.
  TColor Col(int k, int M) const
  {
    if (M == 0)
      return RGB(FFirst[0], FFirst[1], FFirst[2]);
    int ch[3];
    for (int i = 0; i < 3; ++i)
      ch[i] = ((FFirst[i] + MulDiv(k, FDelta[i], M)) % 256 + 256) % 256;
    return RGB(ch[0], ch[1], ch[2]);
  }
  TColor First() const { return Col(0, 0); }

private:
  int FFirst[3];
  int FDelta[3];
};

void SetShapeColor(TCanvas& C, TColor Color)
{
  C.Pen().SetColor(Color);
  C.Brush().SetColor(Color);
}

void Band(TCanvas& C, TColor Color, const TRect& R)
{
  C.Brush().SetColor(Color);
  C.FillRect(R);
}

}  // namespace

TGradFill::TGradFill(QWidget* Parent) : TGraphicControl(Parent)
{
  resize(121, 121);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TGradFill::SetColorFirst(TColor Value)
{
  (FColorFlipped ? FBaseQ : FBaseP) = Value;
  Invalidate();
}

void TGradFill::SetColorLast(TColor Value)
{
  (FColorFlipped ? FBaseP : FBaseQ) = Value;
  Invalidate();
}

void TGradFill::SetColorFlipped(bool Value)
{
  FColorFlipped = Value;
  Invalidate();
}

void TGradFill::SetFillType(TGradType Value)
{
  if (Value == FFillType)
    return;
  FFillType = Value;
  Invalidate();
}

void TGradFill::SetNrColors(int Value)
{
  FNrColors = Value <= 0 ? 1 : (Value > 255 ? 255 : Value);
  Invalidate();
}

void TGradFill::SetGridMode(TGridMode Value)
{
  FGridMode = Value;
  Invalidate();
}

void TGradFill::SetGridColor(TColor Value)
{
  FGridColor = Value;
  Invalidate();
}

void TGradFill::SetFrameStyle(TFrameStyle Value)
{
  FFrameStyle = Value;
  Invalidate();
}

void TGradFill::Paint()
{
  // At the screen's device pixel ratio: the bands and ellipses stay sharp on high-density screens.
  TBitmap bitmap(Width(), Height(), devicePixelRatioF());
  GradientBitmap(bitmap);
  Canvas().Draw(0, 0, bitmap);
  Fire(OnPaint, this);
}

void TGradFill::GradientBitmap(TBitmap& Bitmap) const
{
  const int W = Bitmap.Width();
  const int H = Bitmap.Height();
  if (W <= 0 || H <= 0)
    return;
  TCanvas& C = Bitmap.Canvas();
  C.Pen().SetStyle(psSolid);
  C.Pen().SetMode(pmCopy);
  C.Pen().SetWidth(1);
  C.Brush().SetStyle(bsSolid);
  const TColorSteps steps(ColorFirst(), ColorLast());
  const int N = FNrColors;
  const int cx = W / 2;
  const int cy = H / 2;

  // With a single step the geometries that divide by N - 1 or N div 2 have nothing to grade:
  // the whole area takes the first colour.
  const bool singleStep = N < 2 && (FFillType == gtMidBandHoriz || FFillType == gtMidBandVert ||
                                    FFillType == gtEllipticFull || FFillType == gtEllipticFit ||
                                    FFillType == gtRect);
  if (singleStep) {
    Band(C, steps.First(), Rect(0, 0, W, H));
  } else {
    switch (FFillType) {
      case gtHoriz:
      case gtVert:
      case gtMidBandHoriz:
      case gtMidBandVert: {
        const bool rows = FFillType == gtHoriz || FFillType == gtMidBandHoriz;
        const bool midBand = FFillType == gtMidBandHoriz || FFillType == gtMidBandVert;
        const int half = N / 2;
        const int extent = rows ? H : W;
        for (int i = 0; i < N; ++i) {
          TColor color;
          if (midBand)
            color = i <= half ? steps.Col(i, half) : steps.Col(N - i - 1, half);
          else
            color = N < 2 ? steps.First() : steps.Col(i, N);
          const int from = MulDiv(i, extent, N);
          const int to = MulDiv(i + 1, extent, N);
          Band(C, color, rows ? Rect(0, from, W, to) : Rect(from, 0, to, H));
        }
        break;
      }
      case gtEllipticFull:
      case gtEllipticFit: {
        int rx = cx;
        int ry = cy;
        if (FFillType == gtEllipticFit) {
          SetShapeColor(C, steps.Col(N, N));
          C.Rectangle(0, 0, W, H);
        } else {
          rx = RoundEven(cx * std::numbers::sqrt2) + 1;
          ry = RoundEven(cy * std::numbers::sqrt2) + 1;
        }
        for (int k = N - 1; k >= 0; --k) {
          const TColor color = steps.Col(k, N);
          SetShapeColor(C, color);
          const int rk = MulDiv(k, rx, N - 1);
          const int sk = MulDiv(k, ry, N - 1);
          if (rk == 0 || sk == 0)
            C.SetPixels(cx, cy, color);  // the innermost step is the centre pixel itself
          else
            C.Ellipse(cx - rk, cy - sk, cx + rk, cy + sk);
        }
        break;
      }
      case gtRadial: {
        // The sectors are triangles: a single step (one degenerate half-turn) covers nothing, and
        // few steps leave the slivers between their chords and the corners. Those parts show the
        // first colour rather than the blank bitmap.
        Band(C, steps.First(), Rect(0, 0, W, H));
        const int R = RoundEven(std::sqrt(static_cast<double>(W) * W + static_cast<double>(H) * H) * 0.5);
        for (int k = 0; k < N; ++k) {
          SetShapeColor(C, steps.Col(k, N));
          const double a0 = k * std::numbers::pi / N;
          const double a1 = (k + 1) * std::numbers::pi / N;
          const int dx0 = RoundEven(std::sin(a0) * R), dy0 = RoundEven(std::cos(a0) * R);
          const int dx1 = RoundEven(std::sin(a1) * R), dy1 = RoundEven(std::cos(a1) * R);
          const TPoint right[3] = {{cx, cy}, {cx + dx0, cy + dy0}, {cx + dx1, cy + dy1}};
          const TPoint left[3] = {{cx, cy}, {cx - dx0, cy + dy0}, {cx - dx1, cy + dy1}};
          C.Polygon(right, 3);
          C.Polygon(left, 3);
        }
        break;
      }
      case gtDiagGrid: {
        Band(C, steps.First(), Rect(0, 0, W, H / 2));
        Band(C, steps.Col(1, 1), Rect(0, H / 2, W, H));
        int r = H / 4;
        for (int k = 0; k <= r; ++k) {
          C.Pen().SetColor(steps.Col(k, r));
          C.MoveTo(0, 2 * k);
          C.LineTo(W, 2 * k);
          C.MoveTo(0, 2 * k + 2 * r - 1);
          C.LineTo(W, 2 * k + 2 * r - 1);
        }
        r = W / 2;
        for (int k = 0; k <= r; ++k) {
          C.Pen().SetColor(steps.Col(k, r));
          C.MoveTo(2 * k, 0);
          C.LineTo(2 * k, H);
        }
        break;
      }
      case gtRect:
        for (int k = N - 1; k >= 0; --k) {
          SetShapeColor(C, steps.Col(k, N));
          const int dk = MulDiv(k, cx, N - 1);
          const int ek = MulDiv(k, cy, N - 1);
          C.Rectangle(cx - dk, cy - ek, cx + dk + 1, cy + ek + 1);
        }
        break;
    }
  }

  // The one-pixel hatch.
  C.Pen().SetColor(FGridColor);
  if (FGridMode == gmVert || FGridMode == gmBoth)
    for (int x = 0; x <= 2 * (W / 2); x += 2) {
      C.MoveTo(x, 0);
      C.LineTo(x, H);
    }
  if (FGridMode == gmHoriz || FGridMode == gmBoth)
    for (int y = 0; y <= 2 * (H / 2); y += 2) {
      C.MoveTo(0, y);
      C.LineTo(W, y);
    }

  DrawFrame(C, FFrameStyle, 0, 0, W - 1, H - 1, clWhite, clSilver, clGray, clBlack, clBlack);
}

}  // namespace orvex
