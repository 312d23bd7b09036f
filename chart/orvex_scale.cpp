// The scale control: its properties and their setter rules, the mapping, the painter that draws a
// walk's result through TCanvas and raises the tick events, and mouse panning and zooming (the
// range arithmetic of a drag, CalcZoomPan, is in orvex_scale_walk.cpp).
#include "orvex_scale.h"

#include <QMouseEvent>
#include <QResizeEvent>
#include <cmath>
#include <limits>

namespace orvex {

// ---------------------------------------------------------------------------------------------
// Construction and defaults

namespace {

// The nearest value above V: V + 1, or the next representable value where + 1 changes nothing.
double StepAbove(double V) {
  const double next = V + 1;
  return next != V ? next : std::nextafter(V, std::numeric_limits<double>::infinity());
}

}  // namespace

TAxisSettings::TAxisSettings() { Reset(4); }

void TAxisSettings::Reset(int CaptionPos) {
  Caption.clear();
  CaptionPosX = CaptionPosY = CaptionPos;
  CaptionAlignment = taCenter;
  CaptionAnchor = uaSclTopLft;
  ColorScale = clBlack;
  DecPlaces = -2;
  Logarithmic = false;
  LabelType = ftNum;
  MinTicks = 3;
  ShortTicks = true;
  ScaleInscript.clear();
  UserTickText.clear();
  TNotifyEvent keep = std::move(DateFormat.OnChange);
  DateFormat.OnChange = nullptr;
  DateFormat.SetTimeFormat(tfHHMMSS);
  DateFormat.SetDateSeparator('-');
  DateFormat.SetTimeSeparator(':');
  DateFormat.SetYearLength(ylYYYY);
  DateFormat.SetMonthName(true);
  DateFormat.SetDateForTime(dtOnePerDay);
  DateFormat.SetDateOrder(doDDMMYY);
  DateFormat.OnChange = std::move(keep);
}

void TAxisSettings::Assign(const TAxisSettings& Source) {
  if (&Source == this) return;
  Caption = Source.Caption;
  CaptionPosX = Source.CaptionPosX;
  CaptionPosY = Source.CaptionPosY;
  CaptionAlignment = Source.CaptionAlignment;
  CaptionAnchor = Source.CaptionAnchor;
  ColorScale = Source.ColorScale;
  DecPlaces = Source.DecPlaces;
  Logarithmic = Source.Logarithmic;
  LabelType = Source.LabelType;
  MinTicks = Source.MinTicks;
  ShortTicks = Source.ShortTicks;
  ScaleInscript = Source.ScaleInscript;
  UserTickText = Source.UserTickText;
  TNotifyEvent keep = std::move(DateFormat.OnChange);
  DateFormat.Assign(Source.DateFormat);
  DateFormat.OnChange = std::move(keep);
}

TScale::TScale(QWidget* Parent) : TCustomControl(Parent) {
  FFont = &TCustomControl::Font();
  FOwnSettings.DateFormat.OnChange = [this](TObject*) { Redraw(); };
  resize(400, 400);
  ResetState();
}

TScale::~TScale() { FOwnSettings.DateFormat.OnChange = nullptr; }

void TScale::ResetState() {
  FOwnSettings.Reset(4);
  FColorBackGnd = clBtnFace;
  FColorScheme = csBWG;
  FFrameStyle = fsLowered;
  FMarginTop = FMarginBottom = FMarginLeft = FMarginRight = 20;
  FMouseAction = maNone;
  FRangeLow = 0;
  FRangeHigh = 100;
  FScaleType = sctXB;
  FShowBaseLine = true;
  FTransparent = false;
  FChartEmbedded = false;
  FFirstLoad = true;
  FTransform = TScaleTransform{};
  FTransform.Width = width();
  FMappedWidth = FMappedHeight = -1;
  ApplySchemeColors();
  FTargetCanvas = nullptr;
  FTargetLeft = FTargetTop = 0;
  FTickValues.clear();
  FDragging = false;
  FAnchorX = FAnchorY = 0;
  FAnchorLow = FAnchorHigh = 0;
}

void TScale::ShareSettings(TAxisSettings& Settings, TFont& Font, bool& Shown) {
  FSettings = &Settings;
  FFont = &Font;
  FShown = &Shown;
  Remap();
}

void TScale::SetVisible(bool Value) {
  if (FShown) *FShown = Value;
  else TCustomControl::SetVisible(Value);
}

void TScale::InitDefaults() {
  ResetState();
  // a scale whose window exists paints again as soon as it is asked to
  FSuppressPaint = !FWindowShown;
}

void TScale::ApplySchemeColors() {
  FFrameDarkShadow = clBlack;
  if (FColorScheme == csBWG) {
    FFrameShadow = RGB(128, 128, 128);
    FFrameHighlight = clWhite;
  } else {
    FFrameShadow = clBtnShadow;
    FFrameHighlight = clBtnHighlight;
  }
}

// ---------------------------------------------------------------------------------------------
// Setters

void TScale::Remap() {
  CalcTransform();
  Redraw();
}

void TScale::SetCaption(const std::string& Value) { FSettings->Caption = Value; Redraw(); }
void TScale::SetCaptionPosX(int Value) { FSettings->CaptionPosX = Value; Redraw(); }
void TScale::SetCaptionPosY(int Value) { FSettings->CaptionPosY = Value; Redraw(); }
void TScale::SetCaptionAlignment(TAlignment Value) { FSettings->CaptionAlignment = Value; Redraw(); }
void TScale::SetCaptionAnchor(TScaleUnitAnchor Value) { FSettings->CaptionAnchor = Value; Redraw(); }
void TScale::SetScaleInscript(const std::string& Value) { FSettings->ScaleInscript = Value; Redraw(); }
void TScale::SetUserTickText(const std::string& Value) { FSettings->UserTickText = Value; Redraw(); }
void TScale::SetShowBaseLine(bool Value) { FShowBaseLine = Value; Redraw(); }
void TScale::SetTransparent(bool Value) { FTransparent = Value; Redraw(); }

void TScale::SetColorBackGnd(TColor Value) {
  if (Value == FColorBackGnd) return;
  FColorBackGnd = Value;
  Redraw();
}

void TScale::SetColorScale(TColor Value) {
  if (Value == FSettings->ColorScale) return;
  FSettings->ColorScale = Value;
  Redraw();
}

void TScale::SetColorScheme(TColorScheme Value) {
  if (Value == FColorScheme) return;
  FColorScheme = Value;
  ApplySchemeColors();
  Redraw();
}

void TScale::SetFrameStyle(TFrameStyle Value) {
  if (Value == FFrameStyle) return;
  FFrameStyle = Value;
  Redraw();
}

void TScale::SetShortTicks(bool Value) {
  if (Value == FSettings->ShortTicks) return;
  FSettings->ShortTicks = Value;
  Redraw();
}

void TScale::SetChartEmbedded(bool Value) {
  if (Value == FChartEmbedded) return;
  FChartEmbedded = Value;
  Redraw();
}

void TScale::SetDateFormat(const TDTLabel& Value) {
  CopyDateFormat(Value);
  Redraw();
}

// TDTLabel's copy takes over the source's change handler as well; the held object keeps
// reporting where it did, or a change of it would repaint the source's owner instead.
void TScale::CopyDateFormat(const TDTLabel& Value) {
  TDTLabel& f = FSettings->DateFormat;
  if (&f == &Value) return;
  TNotifyEvent keep = std::move(f.OnChange);
  f.Assign(Value);
  f.OnChange = std::move(keep);
}

void TScale::SetDecPlaces(int Value) {
  FSettings->DecPlaces = std::clamp(Value, -3, 12);
  Remap();
}

void TScale::SetMinTicks(int Value) {
  FSettings->MinTicks = ClampMinTicks(Value);
  Redraw();
}

void TScale::SetMarginTop(int Value) { FMarginTop = std::max(Value, 0); Remap(); }
void TScale::SetMarginBottom(int Value) { FMarginBottom = std::max(Value, 0); Remap(); }
void TScale::SetMarginLeft(int Value) { FMarginLeft = std::max(Value, 0); Remap(); }
void TScale::SetMarginRight(int Value) { FMarginRight = std::max(Value, 0); Remap(); }

void TScale::SetScaleType(TScaleType Value) {
  if (Value == FScaleType) return;
  FScaleType = Value;
  Remap();
}

void TScale::SetRangeLow(double Value) {
  if (!std::isfinite(Value)) return;
  FRangeLow = Value;
  if (FRangeLow == FRangeHigh) FRangeHigh = StepAbove(Value);
  Remap();
}

void TScale::SetRangeHigh(double Value) {
  if (!std::isfinite(Value)) return;
  FRangeHigh = Value;
  if (FRangeHigh == FRangeLow) FRangeLow = StepAbove(Value);
  Remap();
}

void TScale::SetRange(double Low, double High) {
  if (!std::isfinite(Low) || !std::isfinite(High)) return;
  FRangeLow = Low;
  FRangeHigh = Low == High ? StepAbove(Low) : High;
  Remap();
}

void TScale::SetLogarithmic(bool Value) {
  if (Value && !FFirstLoad && (FRangeLow < 1e-100 || FRangeHigh < 1e-100 || FSettings->LabelType == ftDateTime))
    return;
  FSettings->Logarithmic = Value;
  Remap();
}

void TScale::SetLabelType(TFigType Value) {
  FSettings->LabelType = Value;
  if (Value == ftDateTime) {
    FSettings->Logarithmic = false;
    CalcTransform();
  } else if (Value == ftTime) {
    FSettings->DecPlaces = 4;
  }
  Redraw();
}

void TScale::SetSuppressPaint(bool Value) {
  if (Value == FSuppressPaint) return;
  FSuppressPaint = Value;
  if (!Value) Redraw();
}

double TScale::TickPos(int Index) const {
  if (Index < 1 || Index > NumTicks()) return 0;
  return FTickValues[Index - 1];
}

TScaleSettings TScale::Settings() const {
  TScaleSettings s;
  s.RangeLow = FRangeLow;
  s.RangeHigh = FRangeHigh;
  s.MinTicks = MinTicks();
  s.DecPlaces = FSettings->DecPlaces;
  s.ShortTicks = FSettings->ShortTicks;
  s.Logarithmic = FSettings->Logarithmic;
  s.LabelType = FSettings->LabelType;
  s.DateFormat = DateLabelSettingsOf(FSettings->DateFormat);
  s.UserTickText = FSettings->UserTickText;
  s.ScaleInscript = FSettings->ScaleInscript;
  s.ScaleType = FScaleType;
  s.Width = width();
  s.Height = height();
  s.MarginLeft = FMarginLeft;
  s.MarginTop = FMarginTop;
  s.MarginRight = FMarginRight;
  s.MarginBottom = FMarginBottom;
  return s;
}

// ---------------------------------------------------------------------------------------------
// Operations

void TScale::CalcTransform() { ComputeTransform(); }

void TScale::ComputeTransform() const {
  if (FLoading || FRangeHigh == FRangeLow) return;
  FTransform = CalcScaleTransform(FTransform, FScaleType, FRangeLow, FRangeHigh, FSettings->Logarithmic, width(),
                                  height(), FMarginLeft, FMarginTop, FMarginRight, FMarginBottom);
  FMappedWidth = width();
  FMappedHeight = height();
  FMappedLogarithmic = FSettings->Logarithmic;
}

// A shared Logarithmic setting may change under the control: the mapping follows it when read.
const TScaleTransform& TScale::Transform() const {
  if (FMappedWidth != width() || FMappedHeight != height() || FMappedLogarithmic != FSettings->Logarithmic)
    ComputeTransform();
  return FTransform;
}

int TScale::ValueToPos(double Value) const { return Transform().ValueToPos(Value); }

bool TScale::HiddenByUser() const { return isHidden() && testAttribute(Qt::WA_WState_ExplicitShowHide); }

void TScale::Redraw() {
  if (FInPaint) return;
  if (!FTransparent || FChartEmbedded) {
    if (FTargetCanvas) {
      if (FTargetCanvas->HasPainter()) PaintTo(*FTargetCanvas, FTargetLeft, FTargetTop);
    } else if (!FSuppressPaint) {
      Repaint();
    }
  } else {
    Invalidate();
  }
}

void TScale::RedrawNow() {
  const bool old = FSuppressPaint;
  FSuppressPaint = false;
  Redraw();
  FSuppressPaint = old;
}

void TScale::SetTargetCanvas(TCanvas* Canvas, int Left, int Top) {
  FTargetCanvas = Canvas;
  FTargetLeft = Left;
  FTargetTop = Top;
}

void TScale::BeginLoading() { FLoading = true; }

void TScale::Loaded() {
  FLoading = false;
  CalcTransform();
  FFirstLoad = false;
  Redraw();
}

void TScale::Assign(const TScale& Source) {
  FFrameStyle = Source.FFrameStyle;
  FColorBackGnd = Source.FColorBackGnd;
  FFrameHighlight = Source.FFrameHighlight;
  FFrameShadow = Source.FFrameShadow;
  FFrameDarkShadow = Source.FFrameDarkShadow;
  FColorScheme = Source.FColorScheme;
  OnScaleTickDrawn = Source.OnScaleTickDrawn;
  OnBeforeTickLabel = Source.OnBeforeTickLabel;
  FTransform = Source.FTransform;
  FMappedWidth = Source.FMappedWidth;
  FMappedHeight = Source.FMappedHeight;
  FMappedLogarithmic = Source.FMappedLogarithmic;
  FRangeLow = Source.FRangeLow;
  FRangeHigh = Source.FRangeHigh;
  FSettings->Assign(*Source.FSettings);
  FShowBaseLine = Source.FShowBaseLine;
  FTransparent = Source.FTransparent;
  FMarginTop = Source.FMarginTop;
  FMarginBottom = Source.FMarginBottom;
  FMarginLeft = Source.FMarginLeft;
  FMarginRight = Source.FMarginRight;
  FTickValues = Source.FTickValues;
  FTargetLeft = Source.FTargetLeft;
  FTargetTop = Source.FTargetTop;
  FScaleType = Source.FScaleType;
  FChartEmbedded = Source.FChartEmbedded;
  OnBeforeScaleRendered = Source.OnBeforeScaleRendered;
  OnAfterScaleRendered = Source.OnAfterScaleRendered;
  FSuppressPaint = Source.FSuppressPaint;
  Redraw();
}

// ---------------------------------------------------------------------------------------------
// Painting

void TScale::Paint() {
  if (FTargetCanvas) {
    if (FTargetCanvas->HasPainter()) PaintTo(*FTargetCanvas, FTargetLeft, FTargetTop);
    return;
  }
  PaintTo(Canvas(), 0, 0);
}

void TScale::PaintTo(TCanvas& Target, int OffX, int OffY) {
  if (FSuppressPaint || FLoading || FInPaint) return;
  if (!FChartEmbedded && HiddenByUser()) return;
  const TScaleWalk walk = Walk(Target, OffX, OffY);
  Render(Target, OffX, OffY, walk);
}

void TScale::PaintTo(TCanvas& Target, int OffX, int OffY, const TScaleWalk& Walk) {
  if (FLoading || FInPaint) return;
  Render(Target, OffX, OffY, Walk);
}

TScaleWalk TScale::Walk(TCanvas& Target, int OffX, int OffY) const {
  // Measured as the painter will draw: on the target with the scale's font, or (opaque) on a
  // bitmap of its own at the screen's resolution, at offset 0, 0.
  Target.SetFont(Font());
  if (FTransparent && Target.IsPrinter()) Target.Font().SetPixelsPerInch(Target.VerticalResolution());
  TScaleSettings S = Settings();
  S.OffsetX = FTransparent ? OffX : 0;
  S.OffsetY = FTransparent ? OffY : 0;
  const TTextMeasure measure = [&Target](const std::string& Text) { return Target.TextExtent(Text); };
  return WalkScale(S, Transform(), measure);
}

void TScale::Render(TCanvas& Target, int OffX, int OffY, const TScaleWalk& Walk) {
  FInPaint = true;
  Target.SetFont(Font());
  if (OnBeforeScaleRendered) OnBeforeScaleRendered(this, Target);
  if (FTransparent) {
    Target.Pen().SetColor(FSettings->ColorScale);
    PaintAxis(Target, OffX, OffY, Walk);
    if (OnAfterScaleRendered) OnAfterScaleRendered(this, Target);
  } else {
    // At the screen's pixel density (the canvas then draws in vector mode, sharp at 2x).
    TBitmap bmp(width(), height(), devicePixelRatioF());
    TCanvas& bc = bmp.Canvas();
    bc.Pen().SetColor(FColorBackGnd);
    bc.Brush().SetColor(FColorBackGnd);
    bc.Brush().SetStyle(bsSolid);
    bc.FillRect({0, 0, width(), height()});
    bc.SetFont(Font());
    bc.Pen().SetColor(FSettings->ColorScale);
    PaintAxis(bc, 0, 0, Walk);
    if (OnAfterScaleRendered) OnAfterScaleRendered(this, bc);
    DrawFrame(bc, FFrameStyle, 0, 0, width() - 1, height() - 1, FFrameHighlight, RGB(192, 192, 192), FFrameShadow,
              FFrameDarkShadow, FFrameDarkShadow);
    Target.Draw(OffX, OffY, bmp);
  }
  FInPaint = false;
}

void TScale::PaintAxis(TCanvas& C, int OffX, int OffY, const TScaleWalk& walk) {
  if (C.IsPrinter()) C.Font().SetPixelsPerInch(C.VerticalResolution());
  C.Brush().SetStyle(FTransparent ? bsClear : bsSolid);
  if (!FTransparent) C.Brush().SetColor(FColorBackGnd);
  TScaleSettings S = Settings();
  S.OffsetX = OffX;
  S.OffsetY = OffY;
  const int numberHeight = C.TextHeight("0");
  for (const TScaleTick& t : walk.Ticks) {
    C.MoveTo(t.Base.X, t.Base.Y);
    C.LineTo(t.End.X, t.End.Y);
    if (t.Labelled) DrawTickLabel(C, walk, S, t, t.Label, numberHeight);
    if (t.HasDateLine) DrawTickLabel(C, walk, S, t, t.DateLine, numberHeight);
    if (OnScaleTickDrawn) OnScaleTickDrawn(this, C, FScaleType, t.Value, t.Base.X, t.Base.Y);
  }
  for (const TScaleMessageLine& m : walk.Message) C.TextOut(m.Pos.X, m.Pos.Y, m.Text);
  FTickValues = walk.TickValues;
  PaintCaption(C, walk);
  if (FShowBaseLine) PaintBaseLine(C, walk);
}

void TScale::DrawTickLabel(TCanvas& C, const TScaleWalk& Walk, const TScaleSettings& S, const TScaleTick& Tick,
                           const TScaleTickLabel& Label, int NumberHeight) {
  std::string text = Label.Text;
  if (OnBeforeTickLabel) OnBeforeTickLabel(this, FScaleType, Tick.Value, text);
  if (text.empty()) return;
  TRect r = Label.Rect;
  if (text != Label.Text) {
    const bool vertical = FScaleType == sctYL || FScaleType == sctYR;
    r = PlaceTickLabel(S, Walk, Label.Place, vertical ? Tick.Base.Y : Tick.Base.X, C.TextExtent(text), NumberHeight);
  }
  C.TextOut(r.Left, r.Top, text);
}

void TScale::PaintCaption(TCanvas& C, const TScaleWalk& Walk) {
  const TAxisSettings& s = *FSettings;
  if (s.Caption.empty()) return;
  int x, y;
  if (FScaleType == sctYL || FScaleType == sctYR) {
    x = s.CaptionPosX + Walk.BaseX;
    y = s.CaptionPosY + (s.CaptionAnchor == uaSclTopLft   ? FMarginTop
                         : s.CaptionAnchor == uaSclCenter ? FMarginTop + (height() - FMarginTop - FMarginBottom) / 2
                                                          : height() - FMarginBottom);
  } else {
    y = s.CaptionPosY + Walk.BaseY;
    x = s.CaptionPosX + (s.CaptionAnchor == uaSclTopLft   ? FMarginLeft
                         : s.CaptionAnchor == uaSclCenter ? FMarginLeft + (width() - FMarginLeft - FMarginRight) / 2
                                                          : width() - FMarginRight);
  }
  const int w = C.TextWidth(s.Caption);
  const int left =
      s.CaptionAlignment == taLeftJustify ? x : s.CaptionAlignment == taRightJustify ? x - w : x - w / 2;
  C.TextOut(left, y, s.Caption);
}

void TScale::PaintBaseLine(TCanvas& C, const TScaleWalk& Walk) {
  if (FScaleType == sctYL || FScaleType == sctYR) {
    C.MoveTo(Walk.BaseX, FMarginTop);
    C.LineTo(Walk.BaseX, height() - FMarginBottom);
  } else {
    C.MoveTo(FMarginLeft, Walk.BaseY);
    C.LineTo(width() - FMarginRight, Walk.BaseY);
  }
}

// ---------------------------------------------------------------------------------------------
// Framework notifications and the mouse

void TScale::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  FTransform.Width = width();
  CalcTransform();
  Redraw();
}

void TScale::showEvent(QShowEvent* Event) {
  QWidget::showEvent(Event);
  if (!FWindowShown) {
    FWindowShown = true;
    FSuppressPaint = false;  // the window exists now; the framework paints it next
  }
}

void TScale::mouseMoveEvent(QMouseEvent* Event) {
  TCustomControl::mouseMoveEvent(Event);
  if (!(Event->buttons() & Qt::LeftButton)) return;
  const int x = static_cast<int>(Event->position().x());
  const int y = static_cast<int>(Event->position().y());
  const bool horizontal = FScaleType == sctXB || FScaleType == sctXT;
  const bool inside = horizontal ? FMarginLeft < x && x < width() - FMarginRight && 0 < y && y < height()
                                 : 0 < x && x < width() && FMarginTop < y && y < height() - FMarginBottom;
  if (!inside) return;
  if (!FDragging) {
    FAnchorX = x;
    FAnchorY = y;
    FAnchorLow = FRangeLow;
    FAnchorHigh = FRangeHigh;
    FDragging = true;
    return;
  }
  TZoomPanInput in;
  in.X = x;
  in.Y = y;
  in.AnchorX = FAnchorX;
  in.AnchorY = FAnchorY;
  in.AnchorLow = FAnchorLow;
  in.AnchorHigh = FAnchorHigh;
  in.Low = FRangeLow;
  in.High = FRangeHigh;
  in.Logarithmic = FSettings->Logarithmic;
  in.Horizontal = horizontal;
  in.Action = FMouseAction;
  in.MarginLeft = FMarginLeft;
  in.MarginTop = FMarginTop;
  in.MarginRight = FMarginRight;
  in.MarginBottom = FMarginBottom;
  in.Width = width();
  in.Height = height();
  double lo, hi;
  if (!CalcZoomPan(in, lo, hi)) return;
  const bool old = FSuppressPaint;
  FSuppressPaint = true;
  SetRange(lo, hi);
  SetSuppressPaint(old);
  if (OnZoomPan) OnZoomPan(this);
}

void TScale::mouseReleaseEvent(QMouseEvent* Event) {
  TCustomControl::mouseReleaseEvent(Event);
  FDragging = false;
}

void TScale::mouseDoubleClickEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) DblClick();
  TCustomControl::mouseDoubleClickEvent(Event);
}

void TScale::DblClick() {
  if (FMouseAction == maPan) FMouseAction = maZoom;
  else if (FMouseAction == maZoom) FMouseAction = maPan;
}

}  // namespace orvex
