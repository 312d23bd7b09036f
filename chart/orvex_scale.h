// Axis ticks and labels, and the scale control TScale.
//
// The unit keeps four things apart:
//  - the label helpers (CalcScaleTicks, AutoDecimals, FormatTickNumber, FormatSeconds,
//    FormatDateValue, ...), plain functions of their arguments;
//  - TScaleTransform, the value-to-pixel mapping of one axis (CalcScaleTransform builds it);
//  - WalkScale, a pure function of (settings, mapping, a text-measuring callback) that returns the
//    ticks of one axis in drawing order (pixel, long or short, label text and rectangle) and the
//    recorded tick list; linear, logarithmic, elapsed-time and calendar walks;
//  - TScale, the control that owns the settings, paints a walk's result through TCanvas and
//    raises OnScaleTickDrawn and OnBeforeTickLabel in drawing order (a label handler may change
//    the text; the painter measures and places the label after it).
//
// How the chart drives a scale: it creates one TScale per axis, calls InitDefaults, connects its
// own OnScaleTickDrawn, OnBeforeTickLabel and OnZoomPan handlers, sets Transparent, ColorBackGnd,
// FrameStyle fsNone and ChartEmbedded, and points the scale once at its layer's axis settings
// (ShareSettings: caption, colours, decimals, labels, ticks, font, shown), which the scale then
// reads and writes in place, so no setting is ever copied. What the control lays out for itself
// (ScaleType, margins, the range it paints) it holds on its own; the chart sets those with the
// setters while SuppressPaint is true. To paint it takes the scale's Walk on its canvas once and hands
// that value both to PaintTo and to its own grid (NumTicks and TickPos still report the tick
// values of the last paint). Drags inside
// the chart's plot area go through the free function CalcZoomPan, the same one the scale uses; it
// works in the axis mapping of the drag's anchor range over the span between the margins.
#pragma once

#include "orvex_axismap.h"
#include "orvex_controls.h"
#include "orvex_orvexbase.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvex {

// ---------------------------------------------------------------------------------------------
// Label helpers

// The nice-number spacing of a numeric axis: the first tick at or just before Low, the distance
// between long ticks (signed like High - Low) and the number of short intervals per long one.
void CalcScaleTicks(int MinTicks, long double Low, long double High, long double& FirstTick,
                    long double& Distance, std::uint16_t& SubTicks);
// Decimals of linear labels; -2 and -3 choose by the range, other values are returned as given.
int AutoDecimals(int DecPlaces, double A, double B);
// Decimals of logarithmic labels; only -2 chooses by the range.
int AutoDecimalsLog(int DecPlaces, double A, double B);
// -1: short scientific form (" 1.2E+03"); >= 0: plain fixed form with that many decimals.
std::string FormatTickNumber(double Value, int Decimals);
// The Index-th (1-based) piece of a bar-separated text; beyond the last bar the last piece again.
std::string UserTickItem(const std::string& Text, int Index);
// Puts the text before the first "&" of Inscript in front of Label and the rest behind it (the
// whole Inscript in front when it has no "&"); an empty Label stays empty.
std::string ApplyInscript(const std::string& Label, const std::string& Inscript);
// " hh:nn:ss" or "-hh:nn:ss", with ".zzz" milliseconds when WithMilliseconds.
std::string FormatSeconds(double Seconds, bool WithMilliseconds);
// The date pattern of calendar labels, the separator quoted.
std::string DateLabelFormat(bool MonthName, TYearLength YearLength, TDateOrder DateOrder, char Separator);
// Formats a day number (day 0 = 30 December 1899) with a pattern of d, dd, m, mm, mmm, yy, yyyy,
// h, hh, n, nn, s, ss, z, zz, am/pm and "quoted" literals. Month names are the fixed English
// abbreviations (Jan .. Dec), so labels do not depend on the process locale.
std::string FormatDateValue(const std::string& Pattern, double Value);

// ---------------------------------------------------------------------------------------------
// Mapping

// Maps axis values to pixel coordinates along the axis (x for horizontal, y for vertical scales).
// ScaleFactor and ScaleOffset are the control's published coefficients; positions come from Map,
// the axis mapping the chart's layers use too, built from the same range and pixel ends: an axis
// that a chart lays along its plot puts every tick on the pixel of the chart's grid line.
struct TScaleTransform {
  double ScaleFactor = 1.0;
  double ScaleOffset = 0.0;
  bool Logarithmic = false;
  double RangeLow = 0.0;
  double RangeHigh = 100.0;
  int Width = 0;  // what non-positive values map to on a reversed logarithmic axis
  TAxisMap Map;

  // Clamped to -2147483647 .. 2147483647; NaN gives the low limit; halves to even.
  int ValueToPos(double Value) const;
};

// The mapping of a control of Width x Height with the given margins, starting from Previous
// (whose factor and offset stay when a logarithmic range has a non-positive end). Nothing changes
// when Low = High.
TScaleTransform CalcScaleTransform(const TScaleTransform& Previous, TScaleType ScaleType, double Low,
                                   double High, bool Logarithmic, int Width, int Height, int MarginLeft,
                                   int MarginTop, int MarginRight, int MarginBottom);

// ---------------------------------------------------------------------------------------------
// Tick walks

// The date/time label settings a walk reads (a plain copy of a TDTLabel).
struct TDateLabelSettings {
  TTimeFormat TimeFormat = tfHHMMSS;
  char DateSeparator = '-';
  char TimeSeparator = ':';
  TYearLength YearLength = ylYYYY;
  bool MonthName = true;
  TDateOrder DateOrder = doDDMMYY;
  TDateForTime DateForTime = dtOnePerDay;
};
TDateLabelSettings DateLabelSettingsOf(const TDTLabel& Label);

// Everything a walk depends on besides the mapping and the font.
struct TScaleSettings {
  double RangeLow = 0.0;
  double RangeHigh = 100.0;
  int MinTicks = 3;
  int DecPlaces = -2;
  bool ShortTicks = true;
  bool Logarithmic = false;
  TFigType LabelType = ftNum;
  TDateLabelSettings DateFormat;
  std::string UserTickText;
  std::string ScaleInscript;
  TScaleType ScaleType = sctXB;
  int Width = 400;
  int Height = 400;
  int MarginLeft = 20;
  int MarginTop = 20;
  int MarginRight = 20;
  int MarginBottom = 20;
  int OffsetX = 0;  // offset of the painted scale on its target canvas
  int OffsetY = 0;
};

// Measures a text with the painting font: x = width, y = height.
using TTextMeasure = std::function<TPoint(const std::string& Text)>;

// How a label sits beside its tick; the painter places a changed text the same way.
enum TTickLabelPlace {
  lpNumeric,   // numeric and elapsed-time labels (vertical: centred on the height of "0")
  lpCalendar,  // calendar labels (vertical: centred on their own height)
  lpDateLine   // the date line of a clock walk, one line further from the baseline
};

struct TScaleTickLabel {
  std::string Text;
  TRect Rect;  // Left, Top, Right = Left + width, Bottom = Top + height
  TTickLabelPlace Place = lpNumeric;
};

// One tick in drawing order.
struct TScaleTick {
  double Value = 0.0;     // the tick value the events see (exact 0 after the zero rule)
  TPoint Base;            // where the tick meets the baseline (ChartX, ChartY of the event)
  TPoint End;             // the other end of the tick line
  bool Long = false;
  bool Labelled = false;  // a long tick whose label goes through OnBeforeTickLabel
  TScaleTickLabel Label;
  bool HasDateLine = false;  // clock walks: a date line follows the label
  TScaleTickLabel DateLine;
};

// A line of a failure message ("invalid DateTime scale", ...), placed.
struct TScaleMessageLine {
  std::string Text;
  TPoint Pos;
};

struct TScaleWalk {
  std::vector<TScaleTick> Ticks;
  std::vector<double> TickValues;  // the recorded tick list, at most ScaleTickListSize values
  std::vector<TScaleMessageLine> Message;
  int BaseX = 0;  // baseline column of a vertical scale
  int BaseY = 0;  // baseline row of a horizontal scale
};

inline constexpr int ScaleTickListSize = 250;
// No walk produces more ticks than this, whatever the range and settings.
inline constexpr int ScaleMaxTicks = 10000;

// The walk the settings select (calendar, elapsed time, logarithmic or linear).
TScaleWalk WalkScale(const TScaleSettings& Settings, const TScaleTransform& Transform, const TTextMeasure& Measure);

// The rectangle of a label of Extent placed for a tick at pixel Along (x of a horizontal scale,
// y of a vertical one); NumberHeight is the height of "0".
TRect PlaceTickLabel(const TScaleSettings& Settings, const TScaleWalk& Walk, TTickLabelPlace Place, int Along,
                     TPoint Extent, int NumberHeight);

// ---------------------------------------------------------------------------------------------
// Mouse pan and zoom

struct TZoomPanInput {
  int X = 0, Y = 0;              // current pointer
  int AnchorX = 0, AnchorY = 0;  // pointer when the drag began
  double AnchorLow = 0.0, AnchorHigh = 0.0;  // range when the drag began
  double Low = 0.0, High = 0.0;              // current range
  bool Logarithmic = false;
  bool Horizontal = true;
  TMouseActMode Action = maNone;
  int MarginLeft = 0, MarginTop = 0, MarginRight = 0, MarginBottom = 0;
  int Width = 0, Height = 0;
};

// The range after a drag for maPan, maZoom and maZoomDrag; false (no change) for every other
// action and when the result would not be a finite, non-empty range.
bool CalcZoomPan(const TZoomPanInput& In, double& NewLow, double& NewHigh);

// ---------------------------------------------------------------------------------------------
// The control

// The axis settings a scale control has in common with the scale properties of a chart layer,
// held in one place: a standalone TScale holds its own, with its defaults; the axis control of a
// chart reads and writes its layer's (TScale::ShareSettings). The defaults here are the
// standalone control's.
struct TAxisSettings {
  TAxisSettings();
  TAxisSettings(const TAxisSettings&) = delete;
  TAxisSettings& operator=(const TAxisSettings&) = delete;
  // Every setting back to the defaults; DateFormat raises no event and keeps its handler.
  void Reset(int CaptionPos);
  // Takes every setting of Source; DateFormat keeps its handler, and no event fires.
  void Assign(const TAxisSettings& Source);

  std::string Caption;
  int CaptionPosX = 4;
  int CaptionPosY = 4;
  TAlignment CaptionAlignment = taCenter;
  TScaleUnitAnchor CaptionAnchor = uaSclTopLft;
  TColor ColorScale = clBlack;
  TDTLabel DateFormat;
  int DecPlaces = -2;
  bool Logarithmic = false;
  TFigType LabelType = ftNum;
  int MinTicks = 3;
  bool ShortTicks = true;
  std::string ScaleInscript;
  std::string UserTickText;
};

// The number of long ticks a walk aims at: 0 (the walk's own choice) or 2..10.
inline int ClampMinTicks(int Value) { return Value == 0 ? 0 : std::clamp(Value, 2, 10); }

using TScaleTickDrawnEvent = std::function<void(TObject* Sender, TCanvas& Canvas, TScaleType ScaleType,
                                                double CurrentTickPos, int ChartX, int ChartY)>;
using TBeforeTickLabelEvent =
    std::function<void(TObject* Sender, TScaleType ScaleType, double CurrentTickPos, std::string& TickLabel)>;
using TScaleRenderedEvent = std::function<void(TObject* Sender, TCanvas& Canvas)>;

class TScale : public TCustomControl {
public:
  explicit TScale(QWidget* Parent = nullptr);
  ~TScale() override;
  TScale(const TScale&) = delete;
  TScale& operator=(const TScale&) = delete;
  std::string ClassName() const override { return "TScale"; }

  // properties
  const std::string& Caption() const { return FSettings->Caption; }
  void SetCaption(const std::string& Value);
  int CaptionPosX() const { return FSettings->CaptionPosX; }
  void SetCaptionPosX(int Value);
  int CaptionPosY() const { return FSettings->CaptionPosY; }
  void SetCaptionPosY(int Value);
  TAlignment CaptionAlignment() const { return FSettings->CaptionAlignment; }
  void SetCaptionAlignment(TAlignment Value);
  TScaleUnitAnchor CaptionAnchor() const { return FSettings->CaptionAnchor; }
  void SetCaptionAnchor(TScaleUnitAnchor Value);
  TColor ColorBackGnd() const { return FColorBackGnd; }
  void SetColorBackGnd(TColor Value);
  TColor ColorScale() const { return FSettings->ColorScale; }
  void SetColorScale(TColor Value);
  TColorScheme ColorScheme() const { return FColorScheme; }
  void SetColorScheme(TColorScheme Value);
  TDTLabel& DateFormat() { return FSettings->DateFormat; }
  const TDTLabel& DateFormat() const { return FSettings->DateFormat; }
  // Copies the settings of Value into the held object, which keeps reporting its changes where
  // it did (to this scale, or to the layer that holds the settings).
  void SetDateFormat(const TDTLabel& Value);
  int DecPlaces() const { return FSettings->DecPlaces; }
  void SetDecPlaces(int Value);  // clamped to -3..12
  TFrameStyle FrameStyle() const { return FFrameStyle; }
  void SetFrameStyle(TFrameStyle Value);
  TFigType LabelType() const { return FSettings->LabelType; }
  void SetLabelType(TFigType Value);
  bool Logarithmic() const { return FSettings->Logarithmic; }
  void SetLogarithmic(bool Value);
  int MarginTop() const { return FMarginTop; }
  void SetMarginTop(int Value);
  int MarginBottom() const { return FMarginBottom; }
  void SetMarginBottom(int Value);
  int MarginLeft() const { return FMarginLeft; }
  void SetMarginLeft(int Value);
  int MarginRight() const { return FMarginRight; }
  void SetMarginRight(int Value);
  // 0 kept, else clamped to 2..10 (a layer's value is read through the same clamp).
  int MinTicks() const { return ClampMinTicks(FSettings->MinTicks); }
  void SetMinTicks(int Value);
  TMouseActMode MouseAction() const { return FMouseAction; }
  void SetMouseAction(TMouseActMode Value) { FMouseAction = Value; }
  int NumTicks() const { return static_cast<int>(FTickValues.size()); }
  double RangeLow() const { return FRangeLow; }
  void SetRangeLow(double Value);
  double RangeHigh() const { return FRangeHigh; }
  void SetRangeHigh(double Value);
  const std::string& ScaleInscript() const { return FSettings->ScaleInscript; }
  void SetScaleInscript(const std::string& Value);
  TScaleType ScaleType() const { return FScaleType; }
  void SetScaleType(TScaleType Value);
  bool ShortTicks() const { return FSettings->ShortTicks; }
  void SetShortTicks(bool Value);
  bool ShowBaseLine() const { return FShowBaseLine; }
  void SetShowBaseLine(bool Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  const std::string& UserTickText() const { return FSettings->UserTickText; }
  void SetUserTickText(const std::string& Value);
  // The font of labels and caption: the control's own, or its layer's once shared.
  TFont& Font() { return *FFont; }
  const TFont& Font() const { return *FFont; }
  // Shown: the window's visibility, or whether the layer shows its axis once shared.
  bool Visible() const { return FShown ? *FShown : TCustomControl::Visible(); }
  void SetVisible(bool Value);
  // True once ShareSettings pointed the control at a layer's settings.
  bool SharesSettings() const { return FSettings != &FOwnSettings; }
  bool ChartEmbedded() const { return FChartEmbedded; }
  void SetChartEmbedded(bool Value);
  bool SuppressPaint() const { return FSuppressPaint; }
  void SetSuppressPaint(bool Value);
  double ScaleFactor() const { return Transform().ScaleFactor; }
  double ScaleOffset() const { return Transform().ScaleOffset; }
  // The mapping for the current size (a hidden control learns of a resize only when shown, so
  // the mapping follows the size when it is read).
  const TScaleTransform& Transform() const;
  TColor FrameHighlight() const { return FFrameHighlight; }
  TColor FrameShadow() const { return FFrameShadow; }
  TColor FrameDarkShadow() const { return FFrameDarkShadow; }
  // The recorded tick values of the last paint.
  const std::vector<double>& TickValues() const { return FTickValues; }
  // The Index-th (1-based) recorded tick value; 0 outside 1..NumTicks.
  double TickPos(int Index) const;
  // The settings a walk of this scale reads now (offset of the target canvas included).
  TScaleSettings Settings() const;

  // operations
  void SetRange(double Low, double High);
  void CalcTransform();
  int ValueToPos(double Value) const;
  // Paints at once when opaque or embedded in a chart, else asks for a repaint.
  void Redraw();
  // One Redraw with painting allowed, then SuppressPaint as before.
  void RedrawNow();
  // Later paints go onto Canvas at (Left, Top) instead of onto the control; nullptr ends that.
  // Canvas must be drawing (have a painter) when the scale paints, or nothing is drawn. A scale
  // embedded in a chart paints onto it whether or not its own window is shown.
  void SetTargetCanvas(TCanvas* Canvas, int Left, int Top);
  // Every property and the internal state back to the defaults of a new scale (settings shared
  // with a layer are the layer's and stay as they are).
  void InitDefaults();
  // From now on the control reads and writes Settings, Font and Shown, which the caller (a chart
  // layer) holds and keeps alive as long as the control: a change of the layer's settings shows
  // in the control's getters and its next paint without being applied to it, and a setter of the
  // control changes the layer's setting (without the layer's change event). Called once, when
  // the chart creates its axes.
  void ShareSettings(TAxisSettings& Settings, TFont& Font, bool& Shown);
  // Copies the settings of another scale (not MouseAction, OnZoomPan, the font or the target
  // canvas), then redraws.
  void Assign(const TScale& Source);
  // Loading from a stored description: between BeginLoading and Loaded nothing is mapped or
  // painted; Loaded computes the mapping, ends the first-load state (from then on switching
  // Logarithmic on is refused for ranges reaching below 1e-100) and redraws.
  void BeginLoading();
  void Loaded();
  bool Loading() const { return FLoading; }
  // Paints the scale onto Canvas at (OffX, OffY) as Paint does.
  void PaintTo(TCanvas& Canvas, int OffX, int OffY);
  // The ticks the scale paints on Canvas at (OffX, OffY), measured in the scale's font (which
  // this sets on Canvas): the value a chart computes once per paint and hands to PaintTo and to
  // its grid alike.
  TScaleWalk Walk(TCanvas& Canvas, int OffX, int OffY) const;
  // Paints the given walk (Walk's result for this canvas and offset) whatever SuppressPaint, as
  // RedrawNow does, and records its tick values.
  void PaintTo(TCanvas& Canvas, int OffX, int OffY, const TScaleWalk& Walk);

  // events
  TZoomPanEvent OnZoomPan;
  TScaleTickDrawnEvent OnScaleTickDrawn;
  TBeforeTickLabelEvent OnBeforeTickLabel;
  TScaleRenderedEvent OnBeforeScaleRendered;
  TScaleRenderedEvent OnAfterScaleRendered;

protected:
  void Paint() override;
  void resizeEvent(QResizeEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  virtual void DblClick();

private:
  void Remap();
  void ComputeTransform() const;
  // Not drawn: hidden on purpose (a control that was never shown still counts as visible).
  bool HiddenByUser() const;
  void Render(TCanvas& Target, int OffX, int OffY, const TScaleWalk& Walk);
  void PaintAxis(TCanvas& Canvas, int OffX, int OffY, const TScaleWalk& Walk);
  void PaintCaption(TCanvas& Canvas, const TScaleWalk& Walk);
  void PaintBaseLine(TCanvas& Canvas, const TScaleWalk& Walk);
  void DrawTickLabel(TCanvas& Canvas, const TScaleWalk& Walk, const TScaleSettings& S, const TScaleTick& Tick,
                     const TScaleTickLabel& Label, int NumberHeight);
  void ApplySchemeColors();
  void CopyDateFormat(const TDTLabel& Value);
  void ResetState();

  // The shared settings: FSettings points at FOwnSettings, or at a layer's after ShareSettings;
  // FFont at the control's own font or the layer's; FShown at the layer's flag, if shared.
  TAxisSettings FOwnSettings;
  TAxisSettings* FSettings = &FOwnSettings;
  TFont* FFont = nullptr;
  bool* FShown = nullptr;
  TColor FColorBackGnd = clBtnFace;
  TColorScheme FColorScheme = csBWG;
  TFrameStyle FFrameStyle = fsLowered;
  int FMarginTop = 20;
  int FMarginBottom = 20;
  int FMarginLeft = 20;
  int FMarginRight = 20;
  TMouseActMode FMouseAction = maNone;
  double FRangeLow = 0.0;
  double FRangeHigh = 100.0;
  TScaleType FScaleType = sctXB;
  bool FShowBaseLine = true;
  bool FTransparent = false;
  bool FChartEmbedded = false;
  bool FSuppressPaint = true;
  bool FFirstLoad = true;   // until Loaded: Logarithmic is taken without the range check
  bool FLoading = false;    // between BeginLoading and Loaded
  mutable TScaleTransform FTransform;
  mutable int FMappedWidth = -1;  // the size FTransform was computed for
  mutable int FMappedHeight = -1;
  mutable bool FMappedLogarithmic = false;  // and the Logarithmic setting it was computed for
  TColor FFrameHighlight = clWhite;
  TColor FFrameShadow = clGray;
  TColor FFrameDarkShadow = clBlack;
  TCanvas* FTargetCanvas = nullptr;
  int FTargetLeft = 0;
  int FTargetTop = 0;
  std::vector<double> FTickValues;
  bool FDragging = false;
  int FAnchorX = 0;
  int FAnchorY = 0;
  double FAnchorLow = 0.0;
  double FAnchorHigh = 0.0;
  bool FInPaint = false;
  bool FWindowShown = false;
};

}  // namespace orvex
