// Decorations of the chart around and behind the data: the plot background (colour, image
// file or a coloured area in world coordinates), the drop shadow, the chart caption with its
// trimming and anchors, and the standard layouts that place margins, caption and axes in one
// step.
#include "orvex_rchart.h"

#include <algorithm>
#include <cmath>

namespace orvex {

// --- TBakGndImg ------------------------------------------------------------------------------

namespace {

std::string FileNamePart(const std::string& Path)
{
  const auto pos = Path.find_last_of("/\\");
  return pos == std::string::npos ? Path : Path.substr(pos + 1);
}

}  // namespace

void TBakGndImg::SetName(const std::string& Value)
{
  FName = FIncludePath ? Value : FileNamePart(Value);
  Changed();
}
void TBakGndImg::SetIncludePath(bool Value)
{
  FIncludePath = Value;
  if (!Value)
    FName = FileNamePart(FName);
  Changed();
}
void TBakGndImg::SetFillMode(TBkgFill Value)
{
  FFillMode = Value;
  Changed();
}
void TBakGndImg::SetAreaMode(TBGAreaMode Value)
{
  FAreaMode = Value;
  Changed();
}
void TBakGndImg::SetAreaColor(TColor Value)
{
  FAreaColor = Value;
  Changed();
}
void TBakGndImg::SetAreaLeft(double Value)
{
  FAreaLeft = Value;
  Changed();
}
void TBakGndImg::SetAreaRight(double Value)
{
  FAreaRight = Value;
  Changed();
}
void TBakGndImg::SetAreaTop(double Value)
{
  FAreaTop = Value;
  Changed();
}
void TBakGndImg::SetAreaBottom(double Value)
{
  FAreaBottom = Value;
  Changed();
}

void TBakGndImg::Assign(const TPersistent& Source)
{
  if (const auto* s = dynamic_cast<const TBakGndImg*>(&Source)) {
    s->AssignTo(*this);
    return;
  }
  TPersistent::Assign(Source);
}

void TBakGndImg::AssignTo(TPersistent& Dest) const
{
  auto* d = dynamic_cast<TBakGndImg*>(&Dest);
  if (!d) {
    TPersistent::AssignTo(Dest);
    return;
  }
  d->FName = FName;
  d->FIncludePath = FIncludePath;
  d->FFillMode = FFillMode;
  d->FAreaMode = FAreaMode;
  d->FAreaColor = FAreaColor;
  d->FAreaLeft = FAreaLeft;
  d->FAreaRight = FAreaRight;
  d->FAreaTop = FAreaTop;
  d->FAreaBottom = FAreaBottom;
}

// --- plot background -------------------------------------------------------------------------

void TCustomRChart::PaintPlotBackground(TCanvas& Canvas)
{
  TCanvas& c = Canvas;
  const TRect p = PlotRect();
  const int w = std::max(0, p.Width() + 1), h = std::max(0, p.Height() + 1);
  if (w <= 0 || h <= 0)
    return;
  c.Pen().SetStyle(psSolid);
  c.Pen().SetMode(pmCopy);
  c.Pen().SetWidth(1);
  c.Pen().SetColor(FLook.ChartFrameColor);
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(FLook.ChartColor);
  auto plain = [&]() { c.Rectangle(0, 0, w, h); };

  if (!FDecor.BackGroundImg.Name().empty()) {
    if (!FImageBmp.LoadFromFile(FDecor.BackGroundImg.Name()) || FImageBmp.Empty()) {
      plain();
      // Cleared without a repaint of its own: this very paint already shows the plain plot.
      const TNotifyEvent keep = FDecor.BackGroundImg.OnChange;
      FDecor.BackGroundImg.OnChange = nullptr;
      FDecor.BackGroundImg.SetName("");
      FDecor.BackGroundImg.OnChange = keep;
      return;
    }
    switch (FDecor.BackGroundImg.FillMode()) {
      case bfSimple:
        c.FillRect(Rect(0, 0, w, h));
        c.Draw(0, 0, FImageBmp);
        break;
      case bfTile: {
        const int iw = FImageBmp.Width(), ih = FImageBmp.Height();
        const int cols = (w - 1) / iw + 1, rows = (h - 1) / ih + 1;
        for (int r = 0; r < rows; ++r)
          for (int k = 0; k < cols; ++k)
            c.Draw(k * iw, r * ih, FImageBmp);
        break;
      }
      default: c.StretchDraw(Rect(0, 0, w, h), FImageBmp); break;
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

// --- shadow ----------------------------------------------------------------------------------

void TCustomRChart::PaintShadow(TCanvas& Canvas)
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

// --- caption ---------------------------------------------------------------------------------

void TCustomRChart::SetCaption(const std::string& Value)
{
  FDecor.Caption = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetCaptionPosX(int Value)
{
  FDecor.CaptionPosX = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetCaptionPosY(int Value)
{
  FDecor.CaptionPosY = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetCaptionAlignment(TAlignment Value)
{
  FDecor.CaptionAlignment = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetCaptionAnchorHoriz(TCaptionAnchorHoriz Value)
{
  FDecor.CaptionAnchorHoriz = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetCaptionAnchorVert(TCaptionAnchorVert Value)
{
  FDecor.CaptionAnchorVert = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetCaptionTrim(int Value)
{
  FDecor.CaptionTrim = Value == 0 ? 0 : std::clamp(Value, 5, 100);
  RepaintIfWanted();
}
void TCustomRChart::SetShadowStyle(TShadowStyle Value)
{
  FDecor.ShadowStyle = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetShadowColor(TColor Value)
{
  FDecor.ShadowColor = Value;
  RepaintIfWanted();
}
void TCustomRChart::SetShadowBakColor(TColor Value)
{
  FDecor.ShadowBakColor = Value;
  RepaintIfWanted();
}

std::string TCustomRChart::TrimmedCaption(const TCanvas& Canvas) const
{
  if (FDecor.CaptionTrim == 0 || FDecor.Caption.empty())
    return FDecor.Caption;
  const QString text = QString::fromStdString(FDecor.Caption);
  const int avail = static_cast<int>(
      std::nearbyint((FrameWidth() - FPlot.ShadowWidth - FPlot.MarginLeft - FPlot.MarginRight) * FDecor.CaptionTrim / 100.0));
  const int w = Canvas.TextWidth(text);
  if (w <= avail)
    return FDecor.Caption;
  // Characters, not bytes, so a cut never splits a character.
  const int n = static_cast<int>(std::nearbyint(static_cast<double>(text.size()) * avail / w)) - 2;
  return (text.left(std::max(0, n)) + "...").toStdString();
}

void TCustomRChart::PaintCaption(TCanvas& Canvas)
{
  if (FDecor.Caption.empty())
    return;
  TCanvas& c = Canvas;
  c.SetFont(Font());
  c.Pen().SetColor(FLook.ChartFrameColor);
  c.Brush().SetStyle(bsClear);
  const std::string text = TrimmedCaption(c);
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

// --- standard layouts ------------------------------------------------------------------------

namespace {

struct TAxisPlace {
  bool Visible;
  int Location;  // TScaleLocationHoriz or TScaleLocationVert
  int ScalePos;
  int CapX, CapY;
  TAlignment Align;
  TScaleUnitAnchor Anchor;
};

struct TLayoutRow {
  int Left, Right, Top, Bottom;
  int CapX, CapY;
  TAlignment Align;
  TCaptionAnchorHoriz AnchorH;
  TCaptionAnchorVert AnchorV;
  TAxisPlace X[4];
  TAxisPlace Y[4];
};

constexpr TAxisPlace HX = {false, slBottom, 0, 10, 100, taCenter, uaSclCenter};          // hidden X
constexpr TAxisPlace HY = {false, slLeft, 0, 10, 100, taRightJustify, uaSclTopLft};      // hidden Y
constexpr TAxisPlace X1 = {true, slBottom, 0, 0, 22, taCenter, uaSclCenter};
constexpr TAxisPlace YL(int Pos) { return {true, slLeft, Pos, 0, -23, taRightJustify, uaSclTopLft}; }
constexpr TAxisPlace XB2(int Pos) { return {true, slBottom, Pos, -20, 7, taRightJustify, uaSclTopLft}; }

constexpr TLayoutRow Layouts[7] = {
    {50, 20, 20, 40, 0, -16, taRightJustify, cahChartRight, cavChartTop,
     {X1, HX, HX, HX},
     {{true, slLeft, 0, 0, -16, taLeftJustify, uaSclTopLft}, HY, HY, HY}},
    {100, 20, 24, 40, 0, -16, taRightJustify, cahChartRight, cavChartTop, {X1, HX, HX, HX}, {YL(0), YL(50), HY, HY}},
    {150, 20, 24, 40, 0, -16, taRightJustify, cahChartRight, cavChartTop, {X1, HX, HX, HX}, {YL(0), YL(50), YL(100), HY}},
    {200, 20, 24, 40, 0, -16, taRightJustify, cahChartRight, cavChartTop,
     {X1, HX, HX, HX},
     {YL(0), YL(50), YL(100), YL(150)}},
    {50, 50, 24, 40, 0, -20, taCenter, cahChartCenter, cavChartTop,
     {X1, HX, HX, HX},
     {YL(0), {true, slRight, 0, 0, -23, taLeftJustify, uaSclTopLft}, HY, HY}},
    {100, 20, 24, 70, 0, -16, taRightJustify, cahChartRight, cavChartTop, {XB2(0), XB2(30), HX, HX}, {YL(0), YL(50), HY, HY}},
    {50, 50, 64, 40, 0, -60, taCenter, cahChartCenter, cavChartTop,
     {{true, slBottom, 0, 0, 20, taCenter, uaSclCenter}, {true, slTop, 0, 0, -40, taCenter, uaSclCenter}, HX, HX},
     {{true, slLeft, 0, 0, -40, taRightJustify, uaSclTopLft},
      {true, slRight, 0, 0, -40, taLeftJustify, uaSclTopLft},
      {false, slLeft, 0, 0, -23, taRightJustify, uaSclTopLft},
      {false, slLeft, 0, 0, -23, taRightJustify, uaSclTopLft}}},
};

}  // namespace

void TCustomRChart::SetStandardLayout(TrcLayout Value)
{
  ApplyLayout(Value);
}

void TCustomRChart::ApplyLayout(TrcLayout Layout)
{
  if (Layout < rcl_X1Bottom_Y1Left || Layout > rcl_X2Both_Y2Both)
    return;
  const TLayoutRow& r = Layouts[Layout];
  const bool old = FSuppressPaint;
  FSuppressPaint = true;
  FPlot.MarginLeft = r.Left;
  FPlot.MarginRight = r.Right;
  FPlot.MarginTop = r.Top;
  FPlot.MarginBottom = r.Bottom;
  FDecor.CaptionPosX = r.CapX;
  FDecor.CaptionPosY = r.CapY;
  FDecor.CaptionAlignment = r.Align;
  FDecor.CaptionAnchorHoriz = r.AnchorH;
  FDecor.CaptionAnchorVert = r.AnchorV;
  // The settings are written without their change events; the axes are updated once below.
  auto quietly = [](TScaleProps& s, auto&& Write) {
    const TNotifyEvent keep = s.OnChange;
    s.OnChange = nullptr;
    Write();
    s.OnChange = keep;
  };
  auto place = [&](TScaleProps& s, const TAxisPlace& a) {
    quietly(s, [&] {
      s.SetCaptionPosX(a.CapX);
      s.SetCaptionPosY(a.CapY);
      s.SetCaptionAlignment(a.Align);
      s.SetCaptionAnchor(a.Anchor);
      s.SetScalePos(a.ScalePos);
      s.SetVisible(a.Visible);
    });
  };
  for (int i = 0; i < 4; ++i) {
    auto& x = *FLayers.ScaleX[static_cast<size_t>(i)];
    auto& y = *FLayers.ScaleY[static_cast<size_t>(i)];
    quietly(x, [&] { x.SetScaleLocation(static_cast<TScaleLocationHoriz>(r.X[i].Location)); });
    quietly(y, [&] { y.SetScaleLocation(static_cast<TScaleLocationVert>(r.Y[i].Location)); });
    place(x, r.X[i]);
    place(y, r.Y[i]);
  }
  for (int i = 4; i < MaxLayers; ++i) {
    auto& x = *FLayers.ScaleX[static_cast<size_t>(i)];
    auto& y = *FLayers.ScaleY[static_cast<size_t>(i)];
    quietly(x, [&] { x.SetVisible(false); });
    quietly(y, [&] { y.SetVisible(false); });
  }
  UpdateMinimumSize();
  GeometryChanged();
  FSuppressPaint = old;
  FullPaint();
}

}  // namespace orvex
