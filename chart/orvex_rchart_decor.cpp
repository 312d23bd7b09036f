// Decorations of the chart around and behind the data: the background image settings, the
// caption's settings with its trimming, and the standard layouts that place margins, caption and
// axes in one step. TRcPainter draws them (plot background, shadow, caption).
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
