// The chart control TRChart. It keeps no series: it keeps a display list of drawing items in
// world coordinates (marks, lines, rectangles), each stamped with the drawing attributes in force
// when it was added, and maps them through one of 16 layers onto one plot rectangle. A layer is a
// world window (an X and a Y range held by TScalePropsHoriz/TScalePropsVert) shown by two TScale
// axis controls that the chart configures and lets paint onto its own canvas.
//
// Painting is double buffered: the full paint renders the whole control synchronously into the
// control bitmap (frame, shadow, caption, axes, then the plot bitmap with background, grid, items
// and text labels, then the cross-hairs); the widget's paint event only shows that bitmap and
// draws transient figures over it. A plot-only refresh (ShowChart with AutoRedraw) renders the
// plot bitmap again and replaces only that part of the control bitmap.
//
// Several charts may show one item list (UseDataOf): the list and its count live in one shared
// store that every member of the group refers to.
//
// The unit is split by concern: orvex_rchart_items.cpp (item list, sharing, paint control),
// orvex_rchart_layers.cpp (scale properties, joint layers, transforms, ranges, margins),
// orvex_rchart_axes.cpp (the TScale axis controls), orvex_rchart_paint.cpp (full paint,
// plot-only refresh and the paint event, which hand the drawing to TRcPainter in
// orvex_rchart_painter.h/.cpp), orvex_rchart_geometry.cpp (item shapes and the hit test),
// orvex_rchart_decor.cpp (background image, caption, standard layouts),
// orvex_rchart_mouse.cpp (TRcMouseHandler, the mouse on top of the layer mappings) and
// orvex_rchart_render.cpp (RenderTo and the file exports).
#pragma once

#include "orvex_axismap.h"
#include "orvex_bulkalloc.h"
#include "orvex_canvas.h"
#include "orvex_controls.h"
#include "orvex_orvexbase.h"
#include "orvex_scale.h"

#include <QCursor>
#include <QMouseEvent>
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <QImage>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvex {

class EOrvexRChartError : public EOrvexError {
public:
  using EOrvexError::EOrvexError;
};

inline constexpr int MaxLayers = 16;
inline constexpr int MaxTextLabels = 50;
inline constexpr int MaxCrossHairs = 4;
inline constexpr int MaxDataShares = 4;

// ---------------------------------------------------------------------------------------------
// Items

// Kinds of drawing items created by this chart.
inline constexpr std::uint8_t ikMark = 1;
inline constexpr std::uint8_t ikLine = 2;
inline constexpr std::uint8_t ikRect = 4;

// One drawing item in world coordinates, stamped with the chart's drawing attributes. The
// members are ordered by size, so that an item fills one 64-byte cache line: a million of them
// are written, read for the ranges and read again for their shapes at every fill.
struct TrcChartItem {
  double X1 = 0.0;
  double Y1 = 0.0;
  double X2 = 0.0;
  double Y2 = 0.0;
  TColor Color = 0;
  TColor FillColor = 0;
  std::int32_t Tag = 0;
  std::int32_t LineWidth = 1;
  std::int32_t Layer = 1;
  std::int32_t MarkType = 0;
  std::uint8_t PenStyle = psSolid;
  std::uint8_t ItemClass = 0;
  std::uint8_t Kind = 0;
  std::uint8_t CoordMode = 0;
  bool TransparentFill = false;
};
static_assert(sizeof(TrcChartItem) == 64);

// Large blocks on huge pages, faulted in at once (and, in programs that keep freed memory, a
// chart refilled at its size takes its old block): the first fill of a million items would
// otherwise fault in 64 MB a page at a time.
using TRcItemContainer = TBulkVector<TrcChartItem>;

// The pixel shape of one drawing item, in the plot's own pixels (the plot's top-left corner is
// 0, 0), as the item pass draws it: a mark centred at (X1, Y1); a line from (X1, Y1) to
// (X2, Y2) (its end pixel not set, unless both ends coincide); a rectangle with the corners (X1, Y1) and (X2, Y2) included, X1 <= X2
// and Y1 <= Y2. Coordinates are clamped to +-30000 pixels, lines clipped to that square first.
struct TItemShape {
  std::uint8_t Kind = 0;  // ikMark, ikLine or ikRect
  int X1 = 0;
  int Y1 = 0;
  int X2 = 0;
  int Y2 = 0;
};

// What ItemGeometry needs of the item's layer: its two mappings (control pixels), its ranges and
// the plot's top-left corner in control pixels.
struct TLayerView {
  TAxisMap X;
  TAxisMap Y;
  double XLow = 0.0, XHigh = 1.0, YLow = 0.0, YHigh = 1.0;
  int OriginX = 0;
  int OriginY = 0;
};

// Whether an item is drawn and where: false for an unknown kind, a non-finite coordinate, a mark
// outside its layer's ranges or a line that lies entirely beyond the clipping square. The rule of
// duplicate marks depends on the marks drawn before and is applied by the caller.
bool ItemGeometry(const TrcChartItem& Item, const TLayerView& Layer, TItemShape& Shape);

// ItemGeometry of the first Count items at once, in fixed blocks on the math threads: Shapes gets
// one entry per item, of Kind 0 for an item not drawn (ItemGeometry false, or a layer outside
// 1..16). Layers holds the view of each layer.
void ItemShapes(const TrcChartItem* Items, int Count, const std::array<TLayerView, MaxLayers>& Layers,
                TBulkVector<TItemShape>& Shapes);

// The rule of duplicate marks: a mark is left out when a mark of the same type was drawn within
// Dist pixels (on both axes) before it. Cells holds one entry per control pixel with a border of
// Dist; it is reset by the constructor.
class TDupMarkFilter {
public:
  TDupMarkFilter(int Width, int Height, int Dist, std::vector<std::int16_t>& Cells);
  // Whether the mark of MarkType centred at control pixel (X, Y) is drawn (and then noted).
  bool Admit(int X, int Y, std::int32_t MarkType);

private:
  int FDist;
  int FWidth;
  int FHeight;
  std::vector<std::int16_t>& FCells;
};

// The smallest and largest coordinates of a layer's items whose coordinates are all finite
// numbers (empty: Low above High).
struct TRcItemBounds {
  double LowX = std::numeric_limits<double>::infinity();
  double HighX = -std::numeric_limits<double>::infinity();
  double LowY = std::numeric_limits<double>::infinity();
  double HighY = -std::numeric_limits<double>::infinity();
  void Take(double X, double Y)
  {
    LowX = std::min(LowX, X);
    HighX = std::max(HighX, X);
    LowY = std::min(LowY, Y);
    HighY = std::max(HighY, Y);
  }
};

// The item list of a chart or of a sharing group: the items (Count of them), the capacity the
// chart reports, which grows in whole steps of AllocSize, and each layer's bounds over the first
// Bounded items. Items are only ever added or all cleared, so the bounds are brought up to date
// by reading the items added since (fitting the ranges again reads nothing).
struct TRcItemStore {
  TRcItemContainer Items;
  int Count = 0;
  int Capacity = 0;
  int Bounded = 0;
  std::array<TRcItemBounds, MaxLayers> Bounds;
  // The bounds of every layer over all Count items.
  const std::array<TRcItemBounds, MaxLayers>& CurrentBounds();
};

// ---------------------------------------------------------------------------------------------
// Enumerations of the chart

enum GridStyleType {
  gsNone, gsPoints, gsVertLines, gsHorizLines, gsLines, gsHorizDotLines, gsVertDotLines, gsDotLines
};
enum TTextBkStyle { tbClear, tbSolid };
enum TScaleLocationHoriz { slTop, slBottom };
enum TScaleLocationVert { slLeft, slRight };
enum TBGAreaMode {
  bamNone, bamLeft, bamRight, bamTop, bamBottom, bamVStripe, bamHStripe, bamRect, bamRectInv,
  bamVStripeInv, bamHStripeInv
};
enum TCaptionAnchorHoriz { cahControlLeft, cahChartLeft, cahChartCenter, cahChartRight, cahControlRight };
enum TCaptionAnchorVert { cavControlTop, cavChartTop, cavChartCenter, cavChartBottom, cavControlBottom };
enum TrcLayout {
  rcl_X1Bottom_Y1Left, rcl_X1Bottom_Y2Left, rcl_X1Bottom_Y3Left, rcl_X1Bottom_Y4Left,
  rcl_X1Bottom_Y2Both, rcl_X2Bottom_Y2Left, rcl_X2Both_Y2Both
};

// ---------------------------------------------------------------------------------------------
// Events of the chart

// Canvas is the surface being drawn; Top and Left are the plot's top-left corner on it.
using TRenderEvent = std::function<void(TObject* Sender, TCanvas& Canvas, int Top, int Left)>;
// ChartItem is a copy that the handler may change to alter only this drawing of the item.
using TBeforeRenderCItemEvent =
    std::function<void(TObject* Sender, TrcChartItem& ChartItem, int Index, bool IsAnnotation)>;

// Mouse events: positions and corners in world coordinates of the layer named.
using TMouseMoveInChartEvent =
    std::function<void(TObject* Sender, bool InChart, TShiftState Shift, double MousePosX, double MousePosY)>;
using TRubberBandEvent =
    std::function<void(TObject* Sender, int Layer, double LoX, double LoY, double HiX, double HiY)>;

class TCustomRChart;

// ---------------------------------------------------------------------------------------------
// Scale properties of one axis of one layer

class TScaleProps : public TPersistent {
public:
  TScaleProps();
  ~TScaleProps() override;
  TScaleProps(const TScaleProps&) = delete;
  TScaleProps& operator=(const TScaleProps&) = delete;
  std::string ClassName() const override { return "TScaleProps"; }

  // properties (every setter fires OnChange unless stated)
  const std::string& Caption() const { return FAxis.Caption; }
  void SetCaption(const std::string& Value);
  int CaptionPosX() const { return FAxis.CaptionPosX; }
  void SetCaptionPosX(int Value);
  int CaptionPosY() const { return FAxis.CaptionPosY; }
  void SetCaptionPosY(int Value);
  TAlignment CaptionAlignment() const { return FAxis.CaptionAlignment; }
  void SetCaptionAlignment(TAlignment Value);
  TScaleUnitAnchor CaptionAnchor() const { return FAxis.CaptionAnchor; }
  void SetCaptionAnchor(TScaleUnitAnchor Value);
  TColor ColorScale() const { return FAxis.ColorScale; }
  void SetColorScale(TColor Value);
  TDTLabel& DateFormat() { return FAxis.DateFormat; }
  const TDTLabel& DateFormat() const { return FAxis.DateFormat; }
  // Takes the settings of Value; the owned object keeps its own change handler.
  void SetDateFormat(const TDTLabel& Value);
  // Clamped to -3..12.
  int DecPlaces() const { return FAxis.DecPlaces; }
  void SetDecPlaces(int Value);
  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }
  void SetFont(const TFont& Value);
  // True only with both bounds at least 1e-100 and no calendar labels (unless loading).
  bool Logarithmic() const { return FAxis.Logarithmic; }
  void SetLogarithmic(bool Value);
  // ftDateTime also clears Logarithmic; ftTime also sets DecPlaces to 4.
  TFigType LabelType() const { return FAxis.LabelType; }
  void SetLabelType(TFigType Value);
  int MinTicks() const { return FAxis.MinTicks; }
  void SetMinTicks(int Value);
  // Values of 1e-100 or less are ignored; a narrower range is widened about its midpoint (and
  // only then OnChange fires).
  double MinRange() const { return FMinRange; }
  void SetMinRange(double Value);
  // Stored without an event.
  TMouseActMode MouseAction() const { return FMouseAction; }
  void SetMouseAction(TMouseActMode Value) { FMouseAction = Value; }
  double RangeLow() const { return FRangeLow; }
  void SetRangeLow(double Value);
  double RangeHigh() const { return FRangeHigh; }
  void SetRangeHigh(double Value);
  bool ShortTicks() const { return FAxis.ShortTicks; }
  void SetShortTicks(bool Value);
  const std::string& ScaleInscript() const { return FAxis.ScaleInscript; }
  void SetScaleInscript(const std::string& Value);
  int ScalePos() const { return FScalePos; }
  void SetScalePos(int Value);
  const std::string& UserTickText() const { return FAxis.UserTickText; }
  void SetUserTickText(const std::string& Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  bool Loading() const { return FLoading; }
  void SetLoading(bool Value) { FLoading = Value; }

  // operations
  void Assign(const TPersistent& Source) override;
  // Points the chart's axis control of this layer at these settings, once: the control reads
  // them in place (TScale::ShareSettings).
  void ShareWith(TScale& Axis) { Axis.ShareSettings(FAxis, FFont, FVisible); }
  // Writes both range ends without any rule or event (the chart's range path).
  void StoreRange(double Low, double High)
  {
    FRangeLow = Low;
    FRangeHigh = High;
  }

  // events
  TNotifyEvent OnChange;

protected:
  void Changed();
  void AssignTo(TPersistent& Dest) const override;
  virtual void CopyFrom(const TScaleProps& Source);

  // The settings the layer's axis control reads in place (ShareWith); the rest are the layer's.
  TAxisSettings FAxis;
  TFont FFont;
  double FMinRange = 1e-10;
  TMouseActMode FMouseAction = maNone;
  double FRangeLow = 0.0;
  double FRangeHigh = 1.0;
  int FScalePos = 0;
  bool FVisible = false;
  bool FLoading = true;
};

class TScalePropsHoriz : public TScaleProps {
public:
  std::string ClassName() const override { return "TScalePropsHoriz"; }
  TScaleLocationHoriz ScaleLocation() const { return FScaleLocation; }
  void SetScaleLocation(TScaleLocationHoriz Value);
  // slTop gives sctXB, slBottom sctXT.
  TScaleType AxisType() const { return FScaleLocation == slTop ? sctXB : sctXT; }

protected:
  void CopyFrom(const TScaleProps& Source) override;

private:
  TScaleLocationHoriz FScaleLocation = slBottom;
};

class TScalePropsVert : public TScaleProps {
public:
  std::string ClassName() const override { return "TScalePropsVert"; }
  TScaleLocationVert ScaleLocation() const { return FScaleLocation; }
  void SetScaleLocation(TScaleLocationVert Value);
  // slLeft gives sctYR, slRight sctYL.
  TScaleType AxisType() const { return FScaleLocation == slLeft ? sctYR : sctYL; }

protected:
  void CopyFrom(const TScaleProps& Source) override;

private:
  TScaleLocationVert FScaleLocation = slLeft;
};

// ---------------------------------------------------------------------------------------------
// Coupling of layers

// Entry n of each array names the layer whose range layer n follows on that axis (n: free).
class TJointLayers : public TPersistent {
public:
  TJointLayers();
  std::string ClassName() const override { return "TJointLayers"; }

  // properties, Layer 1..16 (0 for a layer outside that range)
  int XControlledBy(int Layer) const;
  int YControlledBy(int Layer) const;
  // Couples (or frees, with Leader = Layer) the X axis of Layer; raises EOrvexRChartError on
  // conflicts, the entry then keeps its old value.
  void SetXControlledBy(int Layer, int Leader) { SetControlledBy(0, Layer, Leader); }
  void SetYControlledBy(int Layer, int Leader) { SetControlledBy(1, Layer, Leader); }
  // The published names L01xControlledBy .. L16yControlledBy map onto the two calls above.

  // operations
  void Assign(const TPersistent& Source) override;

  // events
  TNotifyEvent OnChange;
  // Called with (axis 0 = X / 1 = Y, follower, leader) before OnChange, so the chart can copy
  // the leader's range.
  std::function<void(int Axis, int Layer, int Leader)> OnJoin;

protected:
  void AssignTo(TPersistent& Dest) const override;

private:
  void SetControlledBy(int Axis, int Layer, int Leader);
  std::array<std::array<int, MaxLayers>, 2> FLeader{};
};

// ---------------------------------------------------------------------------------------------
// Decorations

class TTextLabel : public TCustomTextLabel {
public:
  std::string ClassName() const override { return "TTextLabel"; }
};

// dx, dy: mouse position minus the cross-hair's pixel position; clearing AllowMove cancels the drag.
using TBeforeCrossHairMoveEvent =
    std::function<void(TObject* Sender, TCrossHair& WhichCrossHair, int dx, int dy, bool& AllowMove)>;
using TCrossHairMoveEvent = std::function<void(TObject* Sender, TCrossHair& WhichCrossHair)>;
using TTextLabelMoveEvent = std::function<void(TObject* Sender, TTextLabel& WhichTextLabel)>;

inline constexpr int MaxMouseTrace = 5000;

// One point of the free-hand trace, in world coordinates of the first mouse-active layer.
struct TMouseTracePoint {
  double X = 0.0;
  double Y = 0.0;
  TColor Color = clWhite;
  bool EndOfStroke = false;
  bool Invert = true;
};

// The plot background: an image file, or a coloured area in world coordinates of layer 1.
class TBakGndImg : public TPersistent {
public:
  std::string ClassName() const override { return "TBakGndImg"; }

  // properties (every setter fires OnChange)
  const std::string& Name() const { return FName; }
  // Without IncludePath only the file-name part is kept.
  void SetName(const std::string& Value);
  bool IncludePath() const { return FIncludePath; }
  void SetIncludePath(bool Value);
  TBkgFill FillMode() const { return FFillMode; }
  void SetFillMode(TBkgFill Value);
  TBGAreaMode AreaMode() const { return FAreaMode; }
  void SetAreaMode(TBGAreaMode Value);
  TColor AreaColor() const { return FAreaColor; }
  void SetAreaColor(TColor Value);
  double AreaLeft() const { return FAreaLeft; }
  void SetAreaLeft(double Value);
  double AreaRight() const { return FAreaRight; }
  void SetAreaRight(double Value);
  double AreaTop() const { return FAreaTop; }
  void SetAreaTop(double Value);
  double AreaBottom() const { return FAreaBottom; }
  void SetAreaBottom(double Value);

  // operations
  void Assign(const TPersistent& Source) override;

  // events
  TNotifyEvent OnChange;

protected:
  void AssignTo(TPersistent& Dest) const override;

private:
  void Changed() { Fire(OnChange, this); }
  std::string FName;
  bool FIncludePath = false;
  TBkgFill FFillMode = bfStretch;
  TBGAreaMode FAreaMode = bamNone;
  TColor FAreaColor = 0xDDDDDD;
  double FAreaLeft = -1.0;
  double FAreaRight = 1.0;
  double FAreaTop = 1.0;
  double FAreaBottom = -1.0;
};

// ---------------------------------------------------------------------------------------------
// The parts of the chart
//
// TCustomRChart is the widget that owns the parts below and delegates its properties to them;
// each setting is held once, in one part:
//  - the item store (TRcItemStore, shared by a sharing group) and TRcItemAttributes, the drawing
//    attributes stamped on new items (orvex_rchart_items.cpp);
//  - TRcPlotLayout, the margins, shadow width and isometry that place the plot in the control
//    (its PlotRect serves any control size, so rendering onto another device uses it too);
//  - TRcLayers, the 16 layers' scale properties, their world-to-pixel mappings and the joint
//    layers (orvex_rchart_layers.cpp);
//  - TRcAxes, the 32 TScale axis controls and the ticks computed for them in a paint
//    (orvex_rchart_axes.cpp);
//  - TRcLook, what the plot is drawn with: colours, grid, duplicate marks, text labels and
//    cross-hairs (orvex_rchart_paint.cpp);
//  - TRcDecorations, background image, caption and shadow (orvex_rchart_decor.cpp);
//  - TRcMouseSettings, the chart-level mouse mode and its settings (orvex_rchart_mouse.cpp).
// Two classes work on the parts: TRcPainter draws them onto any canvas (orvex_rchart_painter.h),
// and TRcMouseHandler turns mouse events into range changes, drags and events through the
// layers' mappings, holding the state of a running drag and the free-hand trace.

// Drawing attributes of new items and the item array's growth step.
struct TRcItemAttributes {
  int AllocSize = 1000;
  TColor DataColor = clBlack;
  TColor FillColor = clSilver;
  TPenStyle PenStyle = psSolid;
  std::uint8_t LineWidth = 1;
  std::uint8_t ClassDefault = 0;
  int ItemTag = 0;
};

// Where the plot sits in the control.
struct TRcPlotLayout {
  int MarginLeft = 50;
  int MarginRight = 10;
  int MarginTop = 16;
  int MarginBottom = 32;
  int ShadowWidth = 0;
  bool Isometric = false;
  double AspectX = 1.0;
  double AspectY = 1.0;
  // The plot rectangle in a control of Width x Height: Left, Top, and Right, Bottom as the last
  // pixel column and row the plot frame reaches.
  TRect PlotRect(int Width, int Height) const;
};

// The 16 layers: their scale properties, mappings (control pixels, CalcTransforms) and joints.
struct TRcLayers {
  std::array<std::unique_ptr<TScalePropsHoriz>, MaxLayers> ScaleX;
  std::array<std::unique_ptr<TScalePropsVert>, MaxLayers> ScaleY;
  std::array<TAxisMap, MaxLayers> MapX{};
  std::array<TAxisMap, MaxLayers> MapY{};
  TJointLayers JointLayers;
};

// The axis controls of the layers and the ticks the last full paint computed for them.
struct TRcAxes {
  std::unique_ptr<QWidget> AxisHost;  // hidden parent of the axis controls
  std::array<TScale*, MaxLayers> AxisX{};
  std::array<TScale*, MaxLayers> AxisY{};
  std::array<TScaleWalk, MaxLayers> TicksX{};
  std::array<TScaleWalk, MaxLayers> TicksY{};
};

// What the plot is drawn with.
struct TRcLook {
  TColor ChartColor = clWhite;
  TColor WindColor = clBtnFace;
  TColor ChartFrameColor = clBlack;
  GridStyleType GridStyle = gsNone;
  TColor GridColor = clBlack;
  double GridDx = 0.0;
  double GridDy = 0.0;
  bool AvoidDuplicateMarks = false;
  int MinDupMarkDist = 1;
  TFont TextFont;
  TTextBkStyle TextBkStyle = tbClear;
  TAlignment TextAlignment = taLeftJustify;
  std::array<std::unique_ptr<TTextLabel>, MaxTextLabels> TextLabels;
  std::array<std::unique_ptr<TCrossHair>, MaxCrossHairs> CrossHairs;
};

// Background image, caption and shadow.
struct TRcDecorations {
  TBakGndImg BackGroundImg;
  std::string Caption;
  int CaptionPosX = 0;
  int CaptionPosY = -16;
  TAlignment CaptionAlignment = taRightJustify;
  TCaptionAnchorHoriz CaptionAnchorHoriz = cahChartRight;
  TCaptionAnchorVert CaptionAnchorVert = cavChartTop;
  int CaptionTrim = 100;
  TShadowStyle ShadowStyle = ssFlying;
  TColor ShadowColor = clGrayText;
  TColor ShadowBakColor = clBtnFace;
};

// The chart-level mouse mode and its settings.
struct TRcMouseSettings {
  TMouseActMode MouseAction = maNone;
  bool MouseCursorFixed = true;
  double PanGridDx = 1.0;
  double PanGridDy = 1.0;
  double PanGridOffsX = 0.0;
  double PanGridOffsY = 0.0;
  TColor MouseTraceColor = clWhite;
  bool MouseTraceInvert = true;
};

// ---------------------------------------------------------------------------------------------
// Mouse handling of the chart

// The mouse on a chart: the position report, drags on the axes, the chart-level drag modes, the
// cursor rule and the figures of running drags, all through the chart's layer mappings
// (orvex_rchart_mouse.cpp). The chart's Qt event handlers call it; it holds the state of the
// running drag and the free-hand trace, and changes the chart only through its ranges, its
// cross-hairs and text labels, and its events.
class TRcMouseHandler {
public:
  explicit TRcMouseHandler(TCustomRChart& Chart) : FChart(Chart) {}
  TRcMouseHandler(const TRcMouseHandler&) = delete;
  TRcMouseHandler& operator=(const TRcMouseHandler&) = delete;

  // properties
  const std::vector<TMouseTracePoint>& Trace() const { return FTrace; }
  bool MouseActiveLayer(int Layer) const { return Layer >= 1 && Layer <= MaxLayers && FMouseActive[static_cast<size_t>(Layer - 1)]; }
  QCursor ChartCursor(int Number) const;
  bool RectDragging() const { return FRectDrag; }
  TPoint RectDragStart() const { return FRectStart; }
  TPoint RectDragEnd() const { return FRectEnd; }
  int FirstActiveLayer() const;

  // operations, in the order the chart's event handlers call them
  // The drags of a move; false while a position report runs (the move is then ignored).
  bool Move(QMouseEvent* Event);
  void ReportMove(QMouseEvent* Event);
  // False for the button that follows a double click, which is ignored.
  bool TakeButton();
  void Press(QMouseEvent* Event);
  void Release(QMouseEvent* Event);
  void DoubleClick(QMouseEvent* Event);
  // The figure of a running rectangle drag and the trace points not yet in the plot bitmap.
  void PaintOverlay(TCanvas& Canvas);
  // The trace is emptied (ClearChart); Rendered: the points drawn into the plot bitmap so far.
  void ClearTrace();
  size_t TraceRendered() const { return FTraceRendered; }
  void SetTraceRendered(size_t Value) { FTraceRendered = Value; }

private:
  enum TAxisZone { azDrag, azDblClick };
  static std::array<QCursor, 4> LoadChartCursors();
  bool InPlot(int X, int Y) const;
  TPoint ClampToPlot(int X, int Y) const;
  bool InAxisZone(int Layer, bool Vertical, int X, int Y, TAxisZone Zone) const;
  TZoomPanInput ZoomPanInput(int Layer, bool Vertical, int X, int Y, TMouseActMode Action) const;
  void TakeDragSnapshot(int X, int Y);
  void ApplyRanges(const std::function<bool()>& Change);
  using TLayerWindowChange = std::function<void(int Layer, double& LowX, double& LowY, double& HighX, double& HighY)>;
  void ChangeActiveLayers(const TLayerWindowChange& Change);
  void MoveRectDrag(int X, int Y);
  bool MoveAxisDrag(bool Left, int X, int Y);
  void MoveChartMode(bool Left, int X, int Y);
  void PanMove(int X, int Y);
  void ZoomDragMove(int X, int Y);
  void CrossHairMove(int X, int Y);
  void LabelMove(int X, int Y);
  void TraceMove(int X, int Y);
  void EndRectDrag(bool Cancel);
  void UpdateCursor(int X, int Y);

  std::array<bool, MaxLayers> FMouseActive{true};
  std::array<QCursor, 4> FCursors = LoadChartCursors();
  TCustomRChart& FChart;
  bool FDragging = false;     // pan, zoom drag, cross-hair, label and axis drags
  bool FAxisDrag = false;     // the running drag began on a reacting axis
  bool FDragRefused = false;  // OnBeforeCrossHairMove refused until the button is let go
  bool FRectDrag = false;
  TPoint FRectStart{0, 0};
  TPoint FRectEnd{0, 0};
  TPoint FDragStart{0, 0};
  std::array<double, MaxLayers> FStartLowX{}, FStartHighX{}, FStartLowY{}, FStartHighY{};
  int FDragCrossHair = 1;
  int FDragLabel = 1;
  std::vector<TMouseTracePoint> FTrace;
  size_t FTraceRendered = 0;  // points already drawn into the plot bitmap
  bool FIgnoreNextButton = false;
  bool FInMoveReport = false;
};

// ---------------------------------------------------------------------------------------------
// The chart

class TCustomRChart : public TCustomControl {
public:
  explicit TCustomRChart(QWidget* Parent = nullptr);
  ~TCustomRChart() override;
  std::string ClassName() const override { return "TCustomRChart"; }

  // --- properties: drawing attributes of new items
  TColor DataColor() const { return FAttr.DataColor; }
  void SetDataColor(TColor Value) { FAttr.DataColor = Value; }
  TColor FillColor() const { return FAttr.FillColor; }
  void SetFillColor(TColor Value) { FAttr.FillColor = Value; }
  TColor TextBkColor() const { return FAttr.FillColor; }
  void SetTextBkColor(TColor Value) { FAttr.FillColor = Value; }
  TPenStyle PenStyle() const { return FAttr.PenStyle; }
  void SetPenStyle(TPenStyle Value) { FAttr.PenStyle = Value; }
  std::uint8_t LineWidth() const { return FAttr.LineWidth; }
  void SetLineWidth(std::uint8_t Value) { FAttr.LineWidth = Value; }
  // 255 is ignored.
  std::uint8_t ClassDefault() const { return FAttr.ClassDefault; }
  void SetClassDefault(std::uint8_t Value);
  int ItemTag() const { return FAttr.ItemTag; }
  void SetItemTag(int Value) { FAttr.ItemTag = Value; }
  int ActiveLayer() const { return 1; }

  // --- properties: the item list
  // Growth step of the item array: 1..1000000, other values ignored.
  int AllocSize() const { return FAttr.AllocSize; }
  void SetAllocSize(int Value);
  int NumItems() const { return FStore->Count; }
  // Takes the memory of Count items and of their shapes now, ahead of a fill of that size (a
  // table just loaded): the first fill then neither grows nor faults in its arrays.
  void ReserveItems(int Count);
  // The capacity of the list: AllocSize steps, as many as the items added have needed.
  int Capacity() const { return FStore->Capacity; }
  // The valid items in insertion order (0-based).
  const TrcChartItem* Items() const { return FStore->Items.data(); }
  const TrcChartItem& Item(int Index) const { return FStore->Items[static_cast<size_t>(Index)]; }
  // Whether another chart's store is the same as this one's (members of one group).
  bool SharesItemsWith(const TCustomRChart& Other) const { return FStore == Other.FStore; }

  // --- properties: sharing
  TCustomRChart* UseDataOf() const { return FUseDataOf; }
  // Joins the group of Value (nil leaves the group); refusals are shown in a message box.
  void SetUseDataOf(TCustomRChart* Value);
  int NumDataUsers() const { return FNumUsers; }
  // The Index-th chart (1-based) that shows this chart's items; nullptr outside 1..count.
  TCustomRChart* DataUser(int Index) const;

  // --- properties: paint control
  bool SuppressPaint() const { return FSuppressPaint; }
  virtual void SetSuppressPaint(bool Value);
  bool AutoRedraw() const { return FAutoRedraw; }
  void SetAutoRedraw(bool Value) { FAutoRedraw = Value; }
  bool Designing() const { return false; }

  // --- properties: layers
  TScalePropsHoriz& Scale1X() { return *FLayers.ScaleX[0]; }
  TScalePropsHoriz& Scale2X() { return *FLayers.ScaleX[1]; }
  TScalePropsHoriz& Scale3X() { return *FLayers.ScaleX[2]; }
  TScalePropsHoriz& Scale4X() { return *FLayers.ScaleX[3]; }
  TScalePropsVert& Scale1Y() { return *FLayers.ScaleY[0]; }
  TScalePropsVert& Scale2Y() { return *FLayers.ScaleY[1]; }
  TScalePropsVert& Scale3Y() { return *FLayers.ScaleY[2]; }
  TScalePropsVert& Scale4Y() { return *FLayers.ScaleY[3]; }
  // Layer 1..16; any other index yields layer 1.
  TScalePropsHoriz& ScalePropsX(int Layer) { return *FLayers.ScaleX[LayerIndex(Layer)]; }
  TScalePropsVert& ScalePropsY(int Layer) { return *FLayers.ScaleY[LayerIndex(Layer)]; }
  const TScalePropsHoriz& ScalePropsX(int Layer) const { return *FLayers.ScaleX[LayerIndex(Layer)]; }
  const TScalePropsVert& ScalePropsY(int Layer) const { return *FLayers.ScaleY[LayerIndex(Layer)]; }
  // The axis controls of a layer (1..16, others yield layer 1).
  TScale& ScaleControlX(int Layer) const { return *FAxes.AxisX[LayerIndex(Layer)]; }
  TScale& ScaleControlY(int Layer) const { return *FAxes.AxisY[LayerIndex(Layer)]; }
  TJointLayers& JointLayers() { return FLayers.JointLayers; }
  bool Isometric() const { return FPlot.Isometric; }
  void SetIsometric(bool Value);

  // --- properties: margins and size
  int MarginLeft() const { return FPlot.MarginLeft; }
  void SetMarginLeft(int Value) { SetMargins(Value, FPlot.MarginRight, FPlot.MarginTop, FPlot.MarginBottom); }
  int MarginRight() const { return FPlot.MarginRight; }
  void SetMarginRight(int Value) { SetMargins(FPlot.MarginLeft, Value, FPlot.MarginTop, FPlot.MarginBottom); }
  int MarginTop() const { return FPlot.MarginTop; }
  void SetMarginTop(int Value) { SetMargins(FPlot.MarginLeft, FPlot.MarginRight, Value, FPlot.MarginBottom); }
  int MarginBottom() const { return FPlot.MarginBottom; }
  void SetMarginBottom(int Value) { SetMargins(FPlot.MarginLeft, FPlot.MarginRight, FPlot.MarginTop, Value); }
  int LRim() const { return FPlot.MarginLeft; }
  void SetLRim(int Value) { SetMarginLeft(Value); }
  int RRim() const { return FPlot.MarginRight; }
  void SetRRim(int Value) { SetMarginRight(Value); }
  int TRim() const { return FPlot.MarginTop; }
  void SetTRim(int Value) { SetMarginTop(Value); }
  int BRim() const { return FPlot.MarginBottom; }
  void SetBRim(int Value) { SetMarginBottom(Value); }
  // Clamped to 0..32.
  int ShadowWidth() const { return FPlot.ShadowWidth; }
  void SetShadowWidth(int Value);
  // The plot rectangle in control pixels: Left, Top, and Right, Bottom as the last pixel
  // column and row the plot frame reaches (width W = Right - Left, height H = Bottom - Top).
  TRect PlotRect() const;

  // --- properties: rendering
  TColor ChartColor() const { return FLook.ChartColor; }
  void SetChartColor(TColor Value);
  TColor WindColor() const { return FLook.WindColor; }
  void SetWindColor(TColor Value);
  TColor ChartFrameColor() const { return FLook.ChartFrameColor; }
  void SetChartFrameColor(TColor Value);
  GridStyleType GridStyle() const { return FLook.GridStyle; }
  void SetGridStyle(GridStyleType Value);
  TColor GridColor() const { return FLook.GridColor; }
  void SetGridColor(TColor Value);
  // Values below -3 are ignored.
  double GridDx() const { return FLook.GridDx; }
  void SetGridDx(double Value);
  double GridDy() const { return FLook.GridDy; }
  void SetGridDy(double Value);
  bool AvoidDuplicateMarks() const { return FLook.AvoidDuplicateMarks; }
  void SetAvoidDuplicateMarks(bool Value);
  // Clamped to 1..3.
  int MinDupMarkDist() const { return FLook.MinDupMarkDist; }
  void SetMinDupMarkDist(int Value);
  TFont& TextFont() { return FLook.TextFont; }
  TFontStyles TextFontStyle() const { return FLook.TextFont.Style(); }
  void SetTextFontStyle(TFontStyles Value) { FLook.TextFont.SetStyle(Value); }
  TTextBkStyle TextBkStyle() const { return FLook.TextBkStyle; }
  void SetTextBkStyle(TTextBkStyle Value) { FLook.TextBkStyle = Value; }
  TAlignment TextAlignment() const { return FLook.TextAlignment; }
  void SetTextAlignment(TAlignment Value) { FLook.TextAlignment = Value; }
  // Text labels 1..50 and cross-hairs 1..4 (other indexes yield the first).
  TTextLabel& TextLabels(int Index) { return *FLook.TextLabels[static_cast<size_t>(Clamp1(Index, MaxTextLabels))]; }
  TCrossHair& CrossHair(int Index) { return *FLook.CrossHairs[static_cast<size_t>(Clamp1(Index, MaxCrossHairs))]; }
  // Chart-level drag mode (used by mouse interaction).
  TMouseActMode MouseAction() const { return FMouse.MouseAction; }
  void SetMouseAction(TMouseActMode Value) { FMouse.MouseAction = Value; }

  // --- properties: decorations
  TBakGndImg& BackGroundImg() { return FDecor.BackGroundImg; }
  const std::string& Caption() const { return FDecor.Caption; }
  void SetCaption(const std::string& Value);
  int CaptionPosX() const { return FDecor.CaptionPosX; }
  void SetCaptionPosX(int Value);
  int CaptionPosY() const { return FDecor.CaptionPosY; }
  void SetCaptionPosY(int Value);
  TAlignment CaptionAlignment() const { return FDecor.CaptionAlignment; }
  void SetCaptionAlignment(TAlignment Value);
  TCaptionAnchorHoriz CaptionAnchorHoriz() const { return FDecor.CaptionAnchorHoriz; }
  void SetCaptionAnchorHoriz(TCaptionAnchorHoriz Value);
  TCaptionAnchorVert CaptionAnchorVert() const { return FDecor.CaptionAnchorVert; }
  void SetCaptionAnchorVert(TCaptionAnchorVert Value);
  // 0 = never shorten, else 5..100 (percent of the plot width).
  int CaptionTrim() const { return FDecor.CaptionTrim; }
  void SetCaptionTrim(int Value);
  TShadowStyle ShadowStyle() const { return FDecor.ShadowStyle; }
  void SetShadowStyle(TShadowStyle Value);
  TColor ShadowColor() const { return FDecor.ShadowColor; }
  void SetShadowColor(TColor Value);
  TColor ShadowBakColor() const { return FDecor.ShadowBakColor; }
  void SetShadowBakColor(TColor Value);
  // Applies a layout; always reads back rcl_X1Bottom_Y1Left.
  TrcLayout StandardLayout() const { return rcl_X1Bottom_Y1Left; }
  void SetStandardLayout(TrcLayout Value);
  // The caption as drawn: shortened to the allowed width with "..." (Canvas measures).
  std::string TrimmedCaption(const TCanvas& Canvas) const;

  // --- properties: the surfaces (the last rendered frame and plot)
  const TBitmap& ControlBitmap() const { return FCtrlBmp; }
  const TBitmap& PlotBitmap() const { return FPlotBmp; }

  // --- operations: items
  void AddMark(double X, double Y, std::uint8_t MarkType);
  void AddLine(double X1, double Y1, double X2, double Y2);
  void AddRect(double X1, double Y1, double X2, double Y2);
  void ClearChart();
  void ShowChart();
  void ClearTextLabels();
  // Copies settings, event handlers and all items of Source (not its sharing relations).
  void Assign(const TCustomRChart& Source);

  // --- operations: layers
  void SetRange(int Layer, long double LowX, long double LowY, long double HighX, long double HighY);
  void AutoRange(int Layer, double Margin);
  void WorldToPixel(int Layer, double X, double Y, int& PixelX, int& PixelY) const;
  void PixelToWorld(int Layer, int PixelX, int PixelY, double& X, double& Y) const;
  // The mapping of one axis of Layer (1..16; other values yield the nearest layer) between world
  // values and control pixels, as the last CalcTransforms left it. Painting, the grid, the mouse
  // and ItemAt all map through it.
  const TAxisMap& AxisMap(int Layer, bool Vertical) const;
  // The ticks of one axis of Layer as the last full paint computed them (empty for an axis not
  // shown): the axis was painted from this value and the grid follows its tick values.
  const TScaleWalk& AxisTicks(int Layer, bool Vertical) const;
  // Recomputes the transform coefficients of all layers; raises EOrvexRChartError "Logarithmic
  // axis must not be negative." (the layers done so far keep their new coefficients).
  void CalcTransforms();
  void SetMargins(int Left, int Right, int Top, int Bottom);

  // --- operations: hit testing
  // The index (0-based, as Item) of the drawn item nearest to the control pixel (X, Y) within
  // Tolerance pixels, or -1 for none. A mark counts by its centre, a line by its nearest pixel, a
  // rectangle by its area; among items at the same distance the one added last wins, as it is
  // drawn on top. Answers for the items and mappings of the last paint, duplicate-mark rule
  // included (OnBeforeRenderChartItem is not consulted). An index of pixel cells over the plot,
  // built on the math threads when the event loop runs after a paint (or by the first query that
  // comes before it), makes a query cheap.
  int ItemAt(int X, int Y, int Tolerance) const { return ItemAt(X, Y, Tolerance, ikMark | ikLine | ikRect); }
  // The same among the items of the kinds in Kinds (ikMark, ikLine, ikRect or'ed): a mark on a
  // line stays found where the line, drawn later, would win.
  int ItemAt(int X, int Y, int Tolerance, std::uint8_t Kinds) const;

  // --- operations: painting
  // Renders the whole control into the control bitmap and schedules its display.
  void FullPaint();
  // Renders the plot again and replaces only the plot part of the control bitmap.
  void PlotRefresh();
  // Renders the whole chart (background, shadow, caption, axes, grid, items, labels,
  // cross-hairs) onto Device into the rectangle 0, 0, Width, Height of its coordinates, as the
  // screen paint lays it out for a control of Width x Height at 96 dots per inch scaled by
  // Dpi / 96: fonts, pens and marks grow with Dpi. Shapes go to the device as vector primitives
  // (one per line, rectangle, ellipse or polygon; texts as texts), so SVG and PDF files hold
  // shapes. Works on a chart that was never shown; the control bitmap and the mappings the
  // mouse and ItemAt use stay as they were. Raises EOrvexRChartError MsgRenderDevice when no
  // painter can be opened on Device, or MsgRenderSize for a size below 1 or a Dpi not above 0.
  void RenderTo(QPaintDevice& Device, int Width, int Height, double Dpi);
  // RenderTo into a new white image of Width x Height that records Dpi as its resolution.
  QImage RenderImage(int Width, int Height, double Dpi);
  // RenderTo written to a file: PNG (or any format Qt writes, by the name's extension), SVG
  // and PDF (a page of Width x Height at Dpi, no margins). False when the file cannot be
  // written; the size and Dpi rules of RenderTo raise as there.
  bool SaveImage(const std::string& FileName, int Width, int Height, double Dpi);
  bool SaveSvg(const std::string& FileName, int Width, int Height, double Dpi);
  bool SavePdf(const std::string& FileName, int Width, int Height, double Dpi);
  // Pretends the window was created (the first show does this): clears SuppressPaint without
  // painting.
  void WindowCreated();

  // --- events
  TRenderEvent OnBeforeRenderData;
  TBeforeRenderCItemEvent OnBeforeRenderChartItem;
  TRenderEvent OnDataRendered;
  TRenderEvent OnScalesRendered;
  TScaleTickDrawnEvent OnScaleTickDrawn;
  TBeforeTickLabelEvent OnBeforeTickLabel;
  // Shows a modal information box; tests replace it to read the message.
  std::function<void(const std::string& Message)> ShowMessage;

  // The message box texts of the sharing refusals.
  static constexpr const char* MsgShareSelf = "RChart: Cannot share data with myself";
  static constexpr const char* MsgForeignData =
      "RChart: Cannot use foreign data. Other RCharts are using my own data.";
  static constexpr const char* MsgMaxShares = "RChart: Max. number of data shares exceeded";
  static constexpr const char* MsgLogNegative = "Logarithmic axis must not be negative.";
  static constexpr const char* MsgRenderDevice = "RChart: Cannot paint on the device.";
  static constexpr const char* MsgRenderSize = "RChart: Invalid size or resolution for rendering.";

  // --- mouse interaction (orvex_rchart_mouse.cpp)
  // True: the pointer always shows the arrow.
  bool MouseCursorFixed() const { return FMouse.MouseCursorFixed; }
  void SetMouseCursorFixed(bool Value) { FMouse.MouseCursorFixed = Value; }
  // Snapping step of maPanGrid (0 or less: no snapping on that axis) and the grid's offset.
  double PanGridDx() const { return FMouse.PanGridDx; }
  void SetPanGridDx(double Value) { FMouse.PanGridDx = Value; }
  double PanGridDy() const { return FMouse.PanGridDy; }
  void SetPanGridDy(double Value) { FMouse.PanGridDy = Value; }
  double PanGridOffsX() const { return FMouse.PanGridOffsX; }
  void SetPanGridOffsX(double Value) { FMouse.PanGridOffsX = Value; }
  double PanGridOffsY() const { return FMouse.PanGridOffsY; }
  void SetPanGridOffsY(double Value) { FMouse.PanGridOffsY = Value; }
  TColor MouseTraceColor() const { return FMouse.MouseTraceColor; }
  void SetMouseTraceColor(TColor Value) { FMouse.MouseTraceColor = Value; }
  // True: the trace is drawn with an exclusive-or pen.
  bool MouseTraceInvert() const { return FMouse.MouseTraceInvert; }
  void SetMouseTraceInvert(bool Value) { FMouse.MouseTraceInvert = Value; }
  // The free-hand trace drawn with maDrawMTrace (emptied by ClearChart).
  const std::vector<TMouseTracePoint>& MouseTrace() const { return FMouseHandler.Trace(); }
  // Whether the chart-level modes change Layer (1..16); only layer 1 does.
  bool MouseActiveLayer(int Layer) const { return FMouseHandler.MouseActiveLayer(Layer); }
  // The chart's cursors 1..4 ("CURHAND", "CURZOOMW", "CURZOOMD", "CURZOOMP"); others: the arrow.
  QCursor ChartCursor(int Number) const { return FMouseHandler.ChartCursor(Number); }
  // Whether a rectangle or line drag runs, with its corners in control pixels.
  bool RectDragging() const { return FMouseHandler.RectDragging(); }
  TPoint RectDragStart() const { return FMouseHandler.RectDragStart(); }
  TPoint RectDragEnd() const { return FMouseHandler.RectDragEnd(); }

  TMouseMoveInChartEvent OnMouseMoveInChart;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnZoomPan;
  TRubberBandEvent OnRubberBand;
  TRubberBandEvent OnSelectRect;
  TBeforeCrossHairMoveEvent OnBeforeCrossHairMove;
  TCrossHairMoveEvent OnCrossHairMove;
  TTextLabelMoveEvent OnTextLabelMove;

protected:
  // Transient figures drawn over the shown bitmap in the paint event: the figure of a running
  // rectangle drag and the trace points not yet rendered into the bitmap.
  virtual void PaintOverlay(TCanvas& Canvas);
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void enterEvent(QEnterEvent* Event) override;
  void leaveEvent(QEvent* Event) override;
  // Shows the last rendered frame (rendering it first when it is missing or stale).
  void Paint() override;
  void resizeEvent(QResizeEvent* Event) override;
  void showEvent(QShowEvent* Event) override;

private:
  friend class TRcPainter;
  friend class TRcStamper;
  friend class TRcMouseHandler;

  // The pixels of one mark shape in one colour, pen style and width, with the offset of the
  // image's top-left corner from the mark's centre.
  struct TMarkStamp {
    QImage Image;
    int Dx = 0;
    int Dy = 0;
    // Per row of Image: the first and one past the last set pixel; Solid when every row's pixels
    // between them are set, so rows can be copied as whole runs.
    std::vector<std::pair<int, int>> Rows;
    bool Solid = false;
    // Image's pixels, row after row (its width is its stride), as copied into the plot, and its
    // size (0 x 0 for a mark that sets no pixel).
    const std::uint32_t* Bits = nullptr;
    int W = 0;
    int H = 0;
  };
  using TStampCache = std::unordered_map<std::uint64_t, TMarkStamp>;

  static int LayerIndex(int Layer) { return (Layer < 1 || Layer > MaxLayers) ? 0 : Layer - 1; }
  static int Clamp1(int Index, int Count) { return (Index < 1 || Index > Count) ? 0 : Index - 1; }
  bool RepaintWanted() const { return FAutoRedraw || Designing(); }
  void RepaintIfWanted()
  {
    if (RepaintWanted())
      FullPaint();
  }

  // items
  TrcChartItem& AppendItem(std::uint8_t Kind);
  void RemoveFromOwner();
  void DetachWithCopy();
  std::vector<TCustomRChart*> GroupMembers();
  void ShowInfo(const std::string& Message);

  // layers
  void InitLayers();
  void ScalePropsChanged();
  // The common range path, steps 3 to 5, for one layer.
  void CommonRangePath(int Layer, long double LowX, long double LowY, long double HighX, long double HighY);
  void StoreLayerRange(int Layer, long double LowX, long double LowY, long double HighX, long double HighY);
  void IsometricY(long double LowX, long double HighX, long double& LowY, long double& HighY) const;
  void JoinLayer(int Axis, int Layer, int Leader);
  void UpdateMinimumSize();
  void GeometryChanged();
  // The mappings of a layer by its 0-based index.
  const TAxisMap& MapX(int LayerIdx) const { return FLayers.MapX[static_cast<size_t>(LayerIdx)]; }
  const TAxisMap& MapY(int LayerIdx) const { return FLayers.MapY[static_cast<size_t>(LayerIdx)]; }

  // axes
  void CreateAxes();
  // The axis control's place and range for the frame size (each paint), and all its settings
  // from the scale properties (when they change).
  void PlaceAxis(int LayerIdx, bool Vertical);
  void PlaceAllAxes();
  // The axis controls' own background (the wind colour); their other settings are the layers'.
  void SetAxesBackground(TColor Value);

  // painting (TRcPainter, orvex_rchart_painter.cpp, does the drawing)
  // The size the frame is laid out for: the control's, or RenderTo's while it renders.
  int FrameWidth() const { return FFrameWidth >= 0 ? FFrameWidth : width(); }
  int FrameHeight() const { return FFrameHeight >= 0 ? FFrameHeight : height(); }
  // The anchor point of a text label in control pixels, by its AttachToData.
  TPoint TextLabelAnchor(const TTextLabel& Label) const;
  void ResizePlotBitmap();
  void ApplyLayout(TrcLayout Layout);


  // the parts (see "The parts of the chart" above)
  TRcItemAttributes FAttr;
  TRcPlotLayout FPlot;
  TRcLayers FLayers;
  TRcAxes FAxes;
  TRcLook FLook;
  TRcDecorations FDecor;
  TRcMouseSettings FMouse;

  // item list
  std::shared_ptr<TRcItemStore> FStore;

  // sharing
  TCustomRChart* FUseDataOf = nullptr;
  std::array<TCustomRChart*, MaxDataShares> FUsers{};
  int FNumUsers = 0;

  // paint control
  bool FSuppressPaint = true;
  bool FAutoRedraw = true;
  bool FLoading = false;
  bool FWindowCreated = false;
  bool FFrameValid = false;  // the control bitmap holds a complete frame of the current size

  // layers
  // The world-to-pixel mapping of each layer's X and Y axis, in control pixels (CalcTransforms).
  // The ticks of each axis computed by the last full paint (PaintAxes).

  // rendering
  std::vector<std::int16_t> FDupGrid;
  TStampCache FStamps;

  // mouse interaction (orvex_rchart_mouse.cpp)
  TRcMouseHandler FMouseHandler{*this};

  // hit testing: the drawn items of the last paint, grouped by cells of HitCell x HitCell plot
  // pixels (CellStart holds each cell's first entry in Entries, plus one end entry)
  struct THitIndex {
    bool Valid = false;
    int Columns = 0;
    int Rows = 0;
    std::vector<int> CellStart;
    std::vector<int> Entries;  // item indexes, ascending in each cell
    // The shape of every item of the last paint (Kind 0: not drawn). The screen paint leaves
    // them here as it drew them (FromPaint), so the index needs no geometry of its own.
    TBulkVector<TItemShape> Shapes;
    bool FromPaint = false;
  };
  static constexpr int HitCell = 8;
  TLayerView LayerView(int LayerIdx) const;
  void BuildHitIndex() const;
  mutable THitIndex FHitIndex;

  // surfaces
  int FFrameWidth = -1;  // RenderTo's layout size while it renders, else -1
  int FFrameHeight = -1;
  TBitmap FCtrlBmp;
  TBitmap FPlotBmp;
  TBitmap FImageBmp;
};

class TRChart : public TCustomRChart {
public:
  explicit TRChart(QWidget* Parent = nullptr) : TCustomRChart(Parent) {}
  std::string ClassName() const override { return "TRChart"; }
};

}  // namespace orvex
