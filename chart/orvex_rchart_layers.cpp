// Layers of the chart: the scale properties of each axis with their range rules, the coupling
// of layers, the plot rectangle, the world-to-pixel transforms, the common range path behind
// SetRange, AutoRange and the joint-layer updates, isometric scaling, margins and the size
// minimum. Also the chart's construction, which creates the layers and their settings objects.
#include "orvex_rchart.h"

#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <limits>

namespace orvex {

namespace {

constexpr double LogFloor = 1e-100;

bool Finite(long double v) { return std::isfinite(v); }

// Restores SuppressPaint through its setter when it goes out of scope, so an unsuppressed chart
// paints once at the end of a batch even when the batch raised.
class TSuppressGuard {
public:
  explicit TSuppressGuard(TCustomRChart& Chart) : FChart(Chart), FOld(Chart.SuppressPaint())
  {
    Chart.SetSuppressPaint(true);
  }
  ~TSuppressGuard() { FChart.SetSuppressPaint(FOld); }
  TSuppressGuard(const TSuppressGuard&) = delete;
  TSuppressGuard& operator=(const TSuppressGuard&) = delete;

private:
  TCustomRChart& FChart;
  bool FOld;
};

}  // namespace

// --- TScaleProps -----------------------------------------------------------------------------

TScaleProps::TScaleProps()
{
  FAxis.Reset(0);
  FAxis.DateFormat.OnChange = [this](TObject*) { Changed(); };
  FFont.OnChange = [this](TObject*) { Changed(); };
}

TScaleProps::~TScaleProps()
{
  OnChange = nullptr;
  FAxis.DateFormat.OnChange = nullptr;
  FFont.OnChange = nullptr;
}

void TScaleProps::Changed() { Fire(OnChange, this); }

void TScaleProps::SetCaption(const std::string& Value)
{
  FAxis.Caption = Value;
  Changed();
}
void TScaleProps::SetCaptionPosX(int Value)
{
  FAxis.CaptionPosX = Value;
  Changed();
}
void TScaleProps::SetCaptionPosY(int Value)
{
  FAxis.CaptionPosY = Value;
  Changed();
}
void TScaleProps::SetCaptionAlignment(TAlignment Value)
{
  FAxis.CaptionAlignment = Value;
  Changed();
}
void TScaleProps::SetCaptionAnchor(TScaleUnitAnchor Value)
{
  FAxis.CaptionAnchor = Value;
  Changed();
}
void TScaleProps::SetColorScale(TColor Value)
{
  FAxis.ColorScale = Value;
  Changed();
}
void TScaleProps::SetDateFormat(const TDTLabel& Value)
{
  TNotifyEvent keep = FAxis.DateFormat.OnChange;
  FAxis.DateFormat.Assign(Value);
  FAxis.DateFormat.OnChange = keep;
  Changed();
}
void TScaleProps::SetDecPlaces(int Value)
{
  FAxis.DecPlaces = std::clamp(Value, -3, 12);
  Changed();
}
void TScaleProps::SetFont(const TFont& Value)
{
  FFont.Assign(Value);  // fires OnChange through the font's handler
}
void TScaleProps::SetLogarithmic(bool Value)
{
  if (Value && !FLoading &&
      (FRangeLow < LogFloor || FRangeHigh < LogFloor || FAxis.LabelType == ftDateTime))
    return;
  FAxis.Logarithmic = Value;
  Changed();
}
void TScaleProps::SetLabelType(TFigType Value)
{
  FAxis.LabelType = Value;
  if (Value == ftDateTime)
    FAxis.Logarithmic = false;
  if (Value == ftTime)
    FAxis.DecPlaces = 4;
  Changed();
}
void TScaleProps::SetMinTicks(int Value)
{
  FAxis.MinTicks = Value;
  Changed();
}
void TScaleProps::SetMinRange(double Value)
{
  if (!(Value > LogFloor) || !std::isfinite(Value))
    return;
  FMinRange = Value;
  if (std::fabs(FRangeHigh - FRangeLow) < Value) {
    const double m = (FRangeLow + FRangeHigh) / 2.0;
    FRangeLow = m - Value / 2.0;
    FRangeHigh = m + Value / 2.0;
    Changed();
  }
}
void TScaleProps::SetRangeLow(double Value)
{
  if (!std::isfinite(Value))
    return;
  if (std::fabs(FRangeHigh - Value) < FMinRange) {
    FRangeLow = Value;
    FRangeHigh = Value + FMinRange;
  } else if (FAxis.Logarithmic && Value < LogFloor) {
    return;
  } else {
    FRangeLow = Value;
  }
  Changed();
}
void TScaleProps::SetRangeHigh(double Value)
{
  if (!std::isfinite(Value))
    return;
  if (std::fabs(Value - FRangeLow) < FMinRange) {
    FRangeHigh = Value;
    FRangeLow = Value - FMinRange;
  } else if (FAxis.Logarithmic && Value < LogFloor) {
    return;
  } else {
    FRangeHigh = Value;
  }
  Changed();
}
void TScaleProps::SetShortTicks(bool Value)
{
  FAxis.ShortTicks = Value;
  Changed();
}
void TScaleProps::SetScaleInscript(const std::string& Value)
{
  FAxis.ScaleInscript = Value;
  Changed();
}
void TScaleProps::SetScalePos(int Value)
{
  FScalePos = Value;
  Changed();
}
void TScaleProps::SetUserTickText(const std::string& Value)
{
  FAxis.UserTickText = Value;
  Changed();
}
void TScaleProps::SetVisible(bool Value)
{
  FVisible = Value;
  Changed();
}

void TScaleProps::Assign(const TPersistent& Source)
{
  if (const auto* s = dynamic_cast<const TScaleProps*>(&Source)) {
    CopyFrom(*s);
    return;
  }
  TPersistent::Assign(Source);
}

void TScaleProps::AssignTo(TPersistent& Dest) const
{
  if (auto* d = dynamic_cast<TScaleProps*>(&Dest)) {
    d->CopyFrom(*this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

// Copies the settings without events; each object keeps its own change handlers.
void TScaleProps::CopyFrom(const TScaleProps& Source)
{
  FAxis.Assign(Source.FAxis);
  TNotifyEvent keepFont = FFont.OnChange;
  FFont.OnChange = nullptr;
  FFont.Assign(Source.FFont);
  FFont.OnChange = keepFont;
  FMinRange = Source.FMinRange;
  FMouseAction = Source.FMouseAction;
  FRangeLow = Source.FRangeLow;
  FRangeHigh = Source.FRangeHigh;
  FScalePos = Source.FScalePos;
  FVisible = Source.FVisible;
}

void TScalePropsHoriz::SetScaleLocation(TScaleLocationHoriz Value)
{
  FScaleLocation = Value;
  Changed();
}
void TScalePropsHoriz::CopyFrom(const TScaleProps& Source)
{
  TScaleProps::CopyFrom(Source);
  if (const auto* s = dynamic_cast<const TScalePropsHoriz*>(&Source))
    FScaleLocation = s->FScaleLocation;
}
void TScalePropsVert::SetScaleLocation(TScaleLocationVert Value)
{
  FScaleLocation = Value;
  Changed();
}
void TScalePropsVert::CopyFrom(const TScaleProps& Source)
{
  TScaleProps::CopyFrom(Source);
  if (const auto* s = dynamic_cast<const TScalePropsVert*>(&Source))
    FScaleLocation = s->FScaleLocation;
}

// --- TJointLayers ----------------------------------------------------------------------------

TJointLayers::TJointLayers()
{
  for (auto& axis : FLeader)
    for (int n = 0; n < MaxLayers; ++n)
      axis[static_cast<size_t>(n)] = n + 1;
}

int TJointLayers::XControlledBy(int Layer) const
{
  return (Layer < 1 || Layer > MaxLayers) ? 0 : FLeader[0][static_cast<size_t>(Layer - 1)];
}

int TJointLayers::YControlledBy(int Layer) const
{
  return (Layer < 1 || Layer > MaxLayers) ? 0 : FLeader[1][static_cast<size_t>(Layer - 1)];
}

void TJointLayers::SetControlledBy(int Axis, int Layer, int Leader)
{
  if (Layer < 1 || Layer > MaxLayers)
    return;
  auto& a = FLeader[static_cast<size_t>(Axis)];
  if (Leader < 1 || Leader > MaxLayers)
    throw EOrvexRChartError("Destination layer " + std::to_string(Leader) + " is out of range");
  if (Leader == Layer) {
    a[static_cast<size_t>(Layer - 1)] = Layer;
    return;
  }
  if (a[static_cast<size_t>(Leader - 1)] != Leader)
    throw EOrvexRChartError("Destination layer " + std::to_string(Leader) + " is already joined");
  std::string followers;
  for (int i = 1; i <= MaxLayers; ++i)
    if (i != Layer && a[static_cast<size_t>(i - 1)] == Layer)
      followers += (followers.empty() ? "" : ", ") + std::to_string(i);
  if (!followers.empty())
    throw EOrvexRChartError("Layer " + std::to_string(Layer) + " is joined by other layers (" + followers + ")");
  a[static_cast<size_t>(Layer - 1)] = Leader;
  if (OnJoin)
    OnJoin(Axis, Layer, Leader);
  Fire(OnChange, this);
}

void TJointLayers::Assign(const TPersistent& Source)
{
  if (const auto* s = dynamic_cast<const TJointLayers*>(&Source)) {
    FLeader = s->FLeader;
    return;
  }
  TPersistent::Assign(Source);
}

void TJointLayers::AssignTo(TPersistent& Dest) const
{
  if (auto* d = dynamic_cast<TJointLayers*>(&Dest)) {
    d->FLeader = FLeader;
    return;
  }
  TPersistent::AssignTo(Dest);
}

// --- construction ----------------------------------------------------------------------------

TCustomRChart::TCustomRChart(QWidget* Parent) : TCustomControl(Parent), FStore(std::make_shared<TRcItemStore>())
{
  setAttribute(Qt::WA_OpaquePaintEvent);
  FPlot.AspectX = 1.0;
  FPlot.AspectY = ScreenAspect();
  for (auto& l : FLook.TextLabels) {
    l = std::make_unique<TTextLabel>();
    l->SetPosX(0);
    l->SetPosY(0);
    l->SetLayer(1);
    l->SetAttachToData(tlamBoth);
    l->SetAlignment(taCenter);
    l->SetVerticalAlignment(vaBottom);
    l->SetColorBkg(clWhite);
    l->SetColorBorder(clBlack);
    l->SetShadowDx(3);
    l->SetShadowDy(3);
    l->SetColorShadow(clGray);
    l->SetTransparent(false);
    l->SetFont(Font());
    l->SetVisible(false);
    l->SetMode(tlOff);
    l->OnChange = [this](TObject*) { RepaintIfWanted(); };
  }
  for (int n = 0; n < MaxCrossHairs; ++n) {
    auto& c = FLook.CrossHairs[static_cast<size_t>(n)];
    c = std::make_unique<TCrossHair>();
    c->SetLayer(n + 1);
    c->SetColor(clRed);
    c->SetMode(chOff);
    c->SetLineType(psDashDotDot);
    c->SetLineWid(1);
    c->OnChange = [this](TObject*) { RepaintIfWanted(); };
  }
  FDecor.BackGroundImg.OnChange = [this](TObject*) { RepaintIfWanted(); };
  FLayers.JointLayers.OnJoin = [this](int Axis, int Layer, int Leader) { JoinLayer(Axis, Layer, Leader); };
  FLayers.JointLayers.OnChange = [this](TObject*) { RepaintIfWanted(); };

  InitLayers();
  resize(280, 200);
  // The declared margins first, then the standard layout (which sets 50, 20, 20, 40).
  FPlot.MarginLeft = 50;
  FPlot.MarginRight = 10;
  FPlot.MarginTop = 16;
  FPlot.MarginBottom = 32;
  ApplyLayout(rcl_X1Bottom_Y1Left);
  // A chart created in code has finished loading: its properties check their rules from now on.
  for (int i = 0; i < MaxLayers; ++i) {
    FLayers.ScaleX[static_cast<size_t>(i)]->SetLoading(false);
    FLayers.ScaleY[static_cast<size_t>(i)]->SetLoading(false);
  }
  GeometryChanged();
  FAutoRedraw = true;
}

void TCustomRChart::InitLayers()
{
  // Until the first CalcTransforms: world = pixel on X, and upwards on Y.
  for (TAxisMap& m : FLayers.MapY)
    m.K = -1.0L;
  static constexpr TColor LayerColors[MaxLayers] = {
      clBlack, clMaroon, clGreen, clOlive, clNavy, clPurple, clTeal, clGray,
      clSilver, clRed, clLime, clYellow, clBlue, clFuchsia, clAqua, clWhite};
  for (int i = 0; i < MaxLayers; ++i) {
    const int n = i + 1;
    auto& x = FLayers.ScaleX[static_cast<size_t>(i)];
    auto& y = FLayers.ScaleY[static_cast<size_t>(i)];
    x = std::make_unique<TScalePropsHoriz>();
    y = std::make_unique<TScalePropsVert>();
    x->SetColorScale(LayerColors[i]);
    y->SetColorScale(LayerColors[i]);
    x->SetScaleLocation(n % 2 == 1 ? slBottom : slTop);
    y->SetScaleLocation(n % 2 == 1 ? slLeft : slRight);
    x->SetScalePos(((n - 1) / 2) * 30);
    y->SetScalePos(((n - 1) / 2) * 50);
    x->OnChange = [this](TObject*) { ScalePropsChanged(); };
    y->OnChange = [this](TObject*) { ScalePropsChanged(); };
  }
  CreateAxes();
}

// --- geometry --------------------------------------------------------------------------------

TRect TRcPlotLayout::PlotRect(int Width, int Height) const
{
  return {MarginLeft, MarginTop, Width - MarginRight - ShadowWidth, Height - MarginBottom - ShadowWidth};
}

TRect TCustomRChart::PlotRect() const { return FPlot.PlotRect(FrameWidth(), FrameHeight()); }

void TCustomRChart::UpdateMinimumSize()
{
  setMinimumSize(std::max(0, FPlot.MarginLeft + FPlot.MarginRight + FPlot.ShadowWidth + 80),
                 std::max(0, FPlot.MarginTop + FPlot.MarginBottom + FPlot.ShadowWidth + 20));
}

// After a change of size, margins or shadow: isometric Y ranges, the axis controls and the
// transforms follow.
void TCustomRChart::GeometryChanged()
{
  ResizePlotBitmap();
  if (FPlot.Isometric)
    for (int i = 0; i < MaxLayers; ++i) {
      auto& x = *FLayers.ScaleX[static_cast<size_t>(i)];
      auto& y = *FLayers.ScaleY[static_cast<size_t>(i)];
      long double lo = y.RangeLow(), hi = y.RangeHigh();
      IsometricY(x.RangeLow(), x.RangeHigh(), lo, hi);
      y.StoreRange(static_cast<double>(lo), static_cast<double>(hi));
    }
  PlaceAllAxes();
  try {
    CalcTransforms();
  } catch (const EOrvexRChartError&) {
    // A logarithmic layer with a bad bound keeps its old mapping; painting goes on.
  }
}

void TCustomRChart::SetMargins(int Left, int Right, int Top, int Bottom)
{
  FPlot.MarginLeft = Left;
  FPlot.MarginRight = Right;
  FPlot.MarginTop = Top;
  FPlot.MarginBottom = Bottom;
  UpdateMinimumSize();
  GeometryChanged();
  RepaintIfWanted();
}

void TCustomRChart::SetShadowWidth(int Value)
{
  FPlot.ShadowWidth = std::clamp(Value, 0, 32);
  UpdateMinimumSize();
  GeometryChanged();
  RepaintIfWanted();
}

void TCustomRChart::resizeEvent(QResizeEvent* Event)
{
  TCustomControl::resizeEvent(Event);
  FFrameValid = false;
  const bool old = FSuppressPaint;
  FSuppressPaint = true;
  GeometryChanged();
  FSuppressPaint = old;
  FullPaint();
}

// --- transforms ------------------------------------------------------------------------------

void TCustomRChart::CalcTransforms()
{
  const TRect p = PlotRect();
  const long double left = p.Left, right = p.Right > p.Left ? p.Right : p.Left;
  const long double bottom = p.Bottom, top = p.Bottom > p.Top ? p.Top : p.Bottom;
  for (int i = 0; i < MaxLayers; ++i) {
    const auto& sx = *FLayers.ScaleX[static_cast<size_t>(i)];
    const auto& sy = *FLayers.ScaleY[static_cast<size_t>(i)];
    // Values at or below the logarithmic floor go to the low side's edge of the control.
    if (sx.Logarithmic() && (!(sx.RangeLow() > 0) || !(sx.RangeHigh() > 0)))
      throw EOrvexRChartError(MsgLogNegative);
    FLayers.MapX[static_cast<size_t>(i)] =
        TAxisMap::Make(sx.RangeLow(), sx.RangeHigh(), sx.Logarithmic(), left, right, FrameWidth() / 2.0L,
                       sx.RangeHigh() < sx.RangeLow() ? FrameWidth() : 0.0L);
    if (sy.Logarithmic() && (!(sy.RangeLow() > 0) || !(sy.RangeHigh() > 0)))
      throw EOrvexRChartError(MsgLogNegative);
    FLayers.MapY[static_cast<size_t>(i)] =
        TAxisMap::Make(sy.RangeLow(), sy.RangeHigh(), sy.Logarithmic(), bottom, top, FrameHeight() / 2.0L,
                       sy.RangeHigh() < sy.RangeLow() ? 0.0L : FrameHeight());
  }
}

const TAxisMap& TCustomRChart::AxisMap(int Layer, bool Vertical) const
{
  const size_t i = static_cast<size_t>(std::clamp(Layer, 1, MaxLayers) - 1);
  return Vertical ? FLayers.MapY[i] : FLayers.MapX[i];
}

void TCustomRChart::WorldToPixel(int Layer, double X, double Y, int& PixelX, int& PixelY) const
{
  PixelX = AxisMap(Layer, false).ToPixel(X);
  PixelY = AxisMap(Layer, true).ToPixel(Y);
}

void TCustomRChart::PixelToWorld(int Layer, int PixelX, int PixelY, double& X, double& Y) const
{
  X = AxisMap(Layer, false).ToWorld(PixelX);
  Y = AxisMap(Layer, true).ToWorld(PixelY);
}

// --- ranges ----------------------------------------------------------------------------------

void TCustomRChart::IsometricY(long double LowX, long double HighX, long double& LowY, long double& HighY) const
{
  const TRect p = PlotRect();
  const long double W = p.Right - p.Left, H = p.Bottom - p.Top;
  const long double h = (HighX - LowX) * (H + 1) / (W + 1) * FPlot.AspectY / FPlot.AspectX / 2;
  const long double m = (LowY + HighY) / 2;
  LowY = m - h;
  HighY = m + h;
}

// Step 4 of the range path: the stored ranges, the layer's axis controls, the transforms.
void TCustomRChart::StoreLayerRange(int Layer, long double LowX, long double LowY, long double HighX, long double HighY)
{
  auto store = [](TScaleProps& s, long double lo, long double hi) {
    if (!Finite(lo) || !Finite(hi))
      return;
    if (std::fabs(hi - lo) < 0.99L * s.MinRange())
      return;
    double newLo = s.RangeLow(), newHi = s.RangeHigh();
    if (s.Logarithmic()) {
      if (lo >= LogFloor)
        newLo = static_cast<double>(lo);
      if (hi >= LogFloor)
        newHi = static_cast<double>(hi);
    } else {
      newLo = static_cast<double>(lo);
      newHi = static_cast<double>(hi);
    }
    s.StoreRange(newLo, newHi);
  };
  const int i = Layer - 1;
  store(*FLayers.ScaleX[static_cast<size_t>(i)], LowX, HighX);
  store(*FLayers.ScaleY[static_cast<size_t>(i)], LowY, HighY);
  PlaceAxis(i, false);
  PlaceAxis(i, true);
  CalcTransforms();
}

void TCustomRChart::CommonRangePath(int Layer, long double LowX, long double LowY, long double HighX, long double HighY)
{
  const size_t i = static_cast<size_t>(Layer - 1);
  if (FLayers.JointLayers.XControlledBy(Layer) != Layer) {
    LowX = FLayers.ScaleX[i]->RangeLow();
    HighX = FLayers.ScaleX[i]->RangeHigh();
  }
  if (FLayers.JointLayers.YControlledBy(Layer) != Layer) {
    LowY = FLayers.ScaleY[i]->RangeLow();
    HighY = FLayers.ScaleY[i]->RangeHigh();
  }
  TSuppressGuard guard(*this);
  StoreLayerRange(Layer, LowX, LowY, HighX, HighY);
  for (int n = 1; n <= MaxLayers; ++n) {
    if (n == Layer)
      continue;
    const int lx = FLayers.JointLayers.XControlledBy(n), ly = FLayers.JointLayers.YControlledBy(n);
    if (lx != Layer && ly != Layer)
      continue;
    const auto& sx = *FLayers.ScaleX[static_cast<size_t>(lx - 1)];
    const auto& sy = *FLayers.ScaleY[static_cast<size_t>(ly - 1)];
    StoreLayerRange(n, sx.RangeLow(), sy.RangeLow(), sx.RangeHigh(), sy.RangeHigh());
  }
}

void TCustomRChart::SetRange(int Layer, long double LowX, long double LowY, long double HighX, long double HighY)
{
  if (Layer < 0 || Layer > MaxLayers)
    return;
  const int first = Layer == 0 ? 1 : Layer, last = Layer == 0 ? MaxLayers : Layer;
  for (int n = first; n <= last; ++n) {
    const auto& sx = *FLayers.ScaleX[static_cast<size_t>(n - 1)];
    const auto& sy = *FLayers.ScaleY[static_cast<size_t>(n - 1)];
    long double lx = LowX, hx = HighX, ly = LowY, hy = HighY;
    if (hx == lx) {
      if (sx.Logarithmic()) {
        hx *= 1.1L;
        lx /= 1.1L;
      } else {
        lx -= sx.MinRange() / 2.0L;
        hx += sx.MinRange() / 2.0L;
      }
    }
    if (hy == ly) {
      if (sy.Logarithmic()) {
        hy *= 1.1L;
        ly /= 1.1L;
      } else {
        ly -= sy.MinRange() / 2.0L;
        hy += sy.MinRange() / 2.0L;
      }
    }
    if (FPlot.Isometric)
      IsometricY(lx, hx, ly, hy);
    CommonRangePath(n, lx, ly, hx, hy);
  }
  if (!FLoading)
    RepaintIfWanted();
}

void TCustomRChart::AutoRange(int Layer, double Margin)
{
  if (Layer < 0 || Layer > MaxLayers)
    return;
  const int first = Layer == 0 ? 1 : Layer, last = Layer == 0 ? MaxLayers : Layer;
  const long double m = Margin / 100.0L;
  for (int n = first; n <= last; ++n) {
    const TRcItemBounds& b = FStore->CurrentBounds()[static_cast<size_t>(n - 1)];
    long double lx = b.LowX, hx = b.HighX, ly = b.LowY, hy = b.HighY;
    if (lx > hx) {
      lx = hx = ly = hy = 0;
    }
    auto widen = [m](const TScaleProps& sp, long double& lo, long double& hi) {
      if (sp.Logarithmic()) {
        const long double q = lo > 0 ? hi / lo : hi;
        const long double f = std::pow(q, m);
        hi *= f;
        lo /= f;
      } else {
        const long double span = hi - lo;
        lo -= m * span;
        hi += m * span;
      }
      if (lo == hi) {
        lo -= 1.0L;
        hi += 1.0L;
      }
    };
    widen(*FLayers.ScaleX[static_cast<size_t>(n - 1)], lx, hx);
    widen(*FLayers.ScaleY[static_cast<size_t>(n - 1)], ly, hy);
    if (FPlot.Isometric)
      IsometricY(lx, hx, ly, hy);
    CommonRangePath(n, lx, ly, hx, hy);
  }
}

void TCustomRChart::JoinLayer(int Axis, int Layer, int Leader)
{
  auto& follower = Axis == 0 ? static_cast<TScaleProps&>(*FLayers.ScaleX[static_cast<size_t>(Layer - 1)])
                             : static_cast<TScaleProps&>(*FLayers.ScaleY[static_cast<size_t>(Layer - 1)]);
  const auto& lead = Axis == 0 ? static_cast<const TScaleProps&>(*FLayers.ScaleX[static_cast<size_t>(Leader - 1)])
                               : static_cast<const TScaleProps&>(*FLayers.ScaleY[static_cast<size_t>(Leader - 1)]);
  follower.StoreRange(lead.RangeLow(), lead.RangeHigh());
  PlaceAxis(Layer - 1, Axis == 1);
  try {
    CalcTransforms();
  } catch (const EOrvexRChartError&) {
  }
}

void TCustomRChart::ScalePropsChanged()
{
  const bool old = FSuppressPaint;
  FSuppressPaint = true;
  PlaceAllAxes();
  try {
    for (int n = 1; n <= MaxLayers; ++n) {
      const auto& sx = *FLayers.ScaleX[static_cast<size_t>(n - 1)];
      const auto& sy = *FLayers.ScaleY[static_cast<size_t>(n - 1)];
      CommonRangePath(n, sx.RangeLow(), sy.RangeLow(), sx.RangeHigh(), sy.RangeHigh());
    }
  } catch (const EOrvexRChartError&) {
    // A logarithmic axis with a bad bound: the properties stay as set, the mapping as it was.
  }
  FSuppressPaint = old;
  FullPaint();
}

void TCustomRChart::SetIsometric(bool Value)
{
  FPlot.Isometric = Value;
  if (!Value)
    return;
  const bool old = FSuppressPaint;
  FSuppressPaint = true;
  for (int i = 0; i < MaxLayers; ++i) {
    auto& x = *FLayers.ScaleX[static_cast<size_t>(i)];
    auto& y = *FLayers.ScaleY[static_cast<size_t>(i)];
    long double lo = y.RangeLow(), hi = y.RangeHigh();
    IsometricY(x.RangeLow(), x.RangeHigh(), lo, hi);
    y.SetRangeLow(static_cast<double>(lo));
    y.SetRangeHigh(static_cast<double>(hi));
  }
  FSuppressPaint = old;
  RepaintIfWanted();
}

}  // namespace orvex
