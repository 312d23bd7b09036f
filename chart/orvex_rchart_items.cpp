// The item list of the chart: the drawing attributes stamped into new items, growth of the
// array in steps of AllocSize, clearing, the paint-control operations wrapped around a batch of
// additions, and the sharing of one list by a group of charts.
//
// A group shares one TRcItemStore (array and count together), so an item added through any
// member is at once part of every member's list, and growth always works from the array's real
// length whoever adds.
#include "orvex_rchart_painter.h"

#include <QMessageBox>
#include <algorithm>

namespace orvex {

void TCustomRChart::SetClassDefault(std::uint8_t Value)
{
  if (Value != 255)
    FAttr.ClassDefault = Value;
}

void TCustomRChart::SetAllocSize(int Value)
{
  if (Value >= 1 && Value <= 1000000)
    FAttr.AllocSize = Value;
}

TCustomRChart* TCustomRChart::DataUser(int Index) const
{
  if (Index < 1 || Index > FNumUsers)
    return nullptr;
  return FUsers[static_cast<size_t>(Index - 1)];
}

TrcChartItem& TCustomRChart::AppendItem(std::uint8_t Kind)
{
  TRcItemStore& s = *FStore;
  if (s.Count >= s.Capacity) {
    // The reported capacity grows in whole steps of AllocSize; the memory behind it grows
    // geometrically, so a million additions do not copy the array a thousand times. Items are
    // constructed only as they are added: each is written once, not zeroed first.
    s.Capacity += FAttr.AllocSize;
    const auto wanted = static_cast<size_t>(s.Capacity);
    if (wanted > s.Items.capacity())
      s.Items.reserve(std::max(wanted, 2 * s.Items.capacity()));
  }
  TrcChartItem& it = s.Items.emplace_back();
  it.Kind = Kind;
  it.Color = FAttr.DataColor;
  it.PenStyle = static_cast<std::uint8_t>(FAttr.PenStyle);
  it.Tag = FAttr.ItemTag;
  it.LineWidth = FAttr.LineWidth;
  it.ItemClass = FAttr.ClassDefault;
  it.Layer = ActiveLayer();
  it.CoordMode = 0;
  ++s.Count;
  return it;
}

void TCustomRChart::AddMark(double X, double Y, std::uint8_t MarkType)
{
  TrcChartItem& it = AppendItem(ikMark);
  it.X1 = X;
  it.Y1 = Y;
  it.MarkType = MarkType;
}

// Lines and rectangles: two points and the fill colour.
static void SetTwoPoints(TrcChartItem& it, double X1, double Y1, double X2, double Y2, TColor Fill)
{
  it.X1 = X1;
  it.Y1 = Y1;
  it.X2 = X2;
  it.Y2 = Y2;
  it.FillColor = Fill;
}

void TCustomRChart::AddLine(double X1, double Y1, double X2, double Y2)
{
  SetTwoPoints(AppendItem(ikLine), X1, Y1, X2, Y2, FAttr.FillColor);
}

void TCustomRChart::AddRect(double X1, double Y1, double X2, double Y2)
{
  TrcChartItem& it = AppendItem(ikRect);
  SetTwoPoints(it, X1, Y1, X2, Y2, FAttr.FillColor);
  it.TransparentFill = false;
}

void TCustomRChart::ReserveItems(int Count)
{
  if (Count <= 0)
    return;
  FStore->Items.reserve(static_cast<size_t>(Count));
  FHitIndex.Shapes.reserve(static_cast<size_t>(Count));
}

void TCustomRChart::ClearChart()
{
  // The store is emptied in place: every member of the group sees the empty list.
  FStore->Count = 0;
  // Count and reported capacity 0; the memory behind the array is kept, so that filling the
  // chart again with as many items (a refit) neither frees nor regrows nor faults it in anew.
  FStore->Items.clear();
  FStore->Capacity = 0;
  FStore->Bounded = 0;
  FStore->Bounds = {};
  FMouseHandler.ClearTrace();
  // The plot below is emptied too: nothing to hit until the next paint (the memory is kept).
  FHitIndex.Shapes.clear();
  FHitIndex.Entries.clear();
  FHitIndex.FromPaint = true;
  FHitIndex.Valid = true;
  ResizePlotBitmap();
  TCanvas& c = FPlotBmp.Canvas();
  TRcPainter(*this).PaintPlotBackground(c);
}

// The members whose full paint ShowChart runs besides its own: the owner and all its users when
// this chart is a user, its own users when it is an owner.
std::vector<TCustomRChart*> TCustomRChart::GroupMembers()
{
  std::vector<TCustomRChart*> members;
  if (FUseDataOf) {
    members.push_back(FUseDataOf);
    for (int i = 0; i < FUseDataOf->FNumUsers; ++i)
      members.push_back(FUseDataOf->FUsers[static_cast<size_t>(i)]);
  }
  for (int i = 0; i < FNumUsers; ++i)
    members.push_back(FUsers[static_cast<size_t>(i)]);
  return members;
}

void TCustomRChart::ShowChart()
{
  if (isVisible()) {
    if (FAutoRedraw)
      PlotRefresh();
    else
      FullPaint();
  }
  for (TCustomRChart* c : GroupMembers())
    c->RepaintIfWanted();
}

void TCustomRChart::SetSuppressPaint(bool Value)
{
  if (Value == FSuppressPaint)
    return;
  FSuppressPaint = Value;
  if (!Value)
    FullPaint();
}

void TCustomRChart::WindowCreated()
{
  if (FWindowCreated)
    return;
  FWindowCreated = true;
  FSuppressPaint = false;
}

void TCustomRChart::ClearTextLabels()
{
  const bool old = FSuppressPaint;
  SetSuppressPaint(true);
  for (auto& l : FLook.TextLabels)
    l->SetMode(tlOff);
  SetSuppressPaint(old);
}

// --- sharing ---------------------------------------------------------------------------------

void TCustomRChart::ShowInfo(const std::string& Message)
{
  if (ShowMessage) {
    ShowMessage(Message);
    return;
  }
  QMessageBox::information(this, QString(), QString::fromStdString(Message), QMessageBox::Ok);
}

// Takes this chart out of its owner's user list; the places behind it move forward.
void TCustomRChart::RemoveFromOwner()
{
  TCustomRChart* owner = FUseDataOf;
  if (!owner)
    return;
  auto& u = owner->FUsers;
  auto end = u.begin() + owner->FNumUsers;
  auto it = std::find(u.begin(), end, this);
  if (it != end) {
    std::move(it + 1, end, it);
    u[static_cast<size_t>(owner->FNumUsers - 1)] = nullptr;
    --owner->FNumUsers;
  }
  FUseDataOf = nullptr;
}

// A chart leaving a group keeps a private copy of the items it showed.
void TCustomRChart::DetachWithCopy()
{
  FStore = std::make_shared<TRcItemStore>(*FStore);
}

void TCustomRChart::SetUseDataOf(TCustomRChart* Value)
{
  if (Value == this) {
    ShowInfo(MsgShareSelf);
    return;
  }
  if (FNumUsers > 0) {
    ShowInfo(MsgForeignData);
    return;
  }
  if (Value == FUseDataOf)
    return;
  if (!Value) {
    RemoveFromOwner();
    DetachWithCopy();
    RepaintIfWanted();
    return;
  }
  TCustomRChart* owner = Value->FUseDataOf ? Value->FUseDataOf : Value;
  if (owner == FUseDataOf)
    return;
  if (owner->FNumUsers >= MaxDataShares) {
    ShowInfo(MsgMaxShares);
    return;
  }
  RemoveFromOwner();
  FUseDataOf = owner;
  FStore = owner->FStore;
  owner->FUsers[static_cast<size_t>(owner->FNumUsers)] = this;
  ++owner->FNumUsers;
  RepaintIfWanted();
}

// --- copy ------------------------------------------------------------------------------------

void TCustomRChart::Assign(const TCustomRChart& Source)
{
  if (&Source == this)
    return;
  const bool oldSuppress = FSuppressPaint;
  FSuppressPaint = true;

  FAttr.AllocSize = Source.FAttr.AllocSize;
  FAttr.DataColor = Source.FAttr.DataColor;
  FAttr.FillColor = Source.FAttr.FillColor;
  FAttr.PenStyle = Source.FAttr.PenStyle;
  FAttr.LineWidth = Source.FAttr.LineWidth;
  FAttr.ClassDefault = Source.FAttr.ClassDefault;
  FAttr.ItemTag = Source.FAttr.ItemTag;
  FAutoRedraw = Source.FAutoRedraw;

  // Both counts and all items; the array is sized in whole steps of AllocSize.
  const int n = Source.FStore->Count;
  FStore->Items.assign(Source.FStore->Items.begin(), Source.FStore->Items.begin() + n);
  FStore->Capacity = FAttr.AllocSize * (n / FAttr.AllocSize + 1);
  FStore->Count = n;
  FStore->Bounded = 0;
  FStore->Bounds = {};

  for (int i = 0; i < MaxLayers; ++i) {
    FLayers.ScaleX[static_cast<size_t>(i)]->Assign(*Source.FLayers.ScaleX[static_cast<size_t>(i)]);
    FLayers.ScaleY[static_cast<size_t>(i)]->Assign(*Source.FLayers.ScaleY[static_cast<size_t>(i)]);
  }
  FLayers.JointLayers.Assign(Source.FLayers.JointLayers);
  FPlot.Isometric = Source.FPlot.Isometric;
  FPlot.MarginLeft = Source.FPlot.MarginLeft;
  FPlot.MarginRight = Source.FPlot.MarginRight;
  FPlot.MarginTop = Source.FPlot.MarginTop;
  FPlot.MarginBottom = Source.FPlot.MarginBottom;
  FPlot.ShadowWidth = Source.FPlot.ShadowWidth;

  FLook.ChartColor = Source.FLook.ChartColor;
  FLook.WindColor = Source.FLook.WindColor;
  FLook.ChartFrameColor = Source.FLook.ChartFrameColor;
  FLook.GridStyle = Source.FLook.GridStyle;
  FLook.GridColor = Source.FLook.GridColor;
  FLook.GridDx = Source.FLook.GridDx;
  FLook.GridDy = Source.FLook.GridDy;
  FLook.AvoidDuplicateMarks = Source.FLook.AvoidDuplicateMarks;
  FLook.MinDupMarkDist = Source.FLook.MinDupMarkDist;
  FLook.TextFont.Assign(Source.FLook.TextFont);
  FLook.TextBkStyle = Source.FLook.TextBkStyle;
  FLook.TextAlignment = Source.FLook.TextAlignment;
  FMouse.MouseAction = Source.FMouse.MouseAction;
  // Labels and cross-hairs keep their own change handler, which repaints this chart.
  for (size_t i = 0; i < FLook.TextLabels.size(); ++i) {
    TNotifyEvent keep = FLook.TextLabels[i]->OnChange;
    FLook.TextLabels[i]->Assign(*Source.FLook.TextLabels[i]);
    FLook.TextLabels[i]->OnChange = keep;
  }
  for (size_t i = 0; i < FLook.CrossHairs.size(); ++i) {
    TNotifyEvent keep = FLook.CrossHairs[i]->OnChange;
    FLook.CrossHairs[i]->Assign(*Source.FLook.CrossHairs[i]);
    FLook.CrossHairs[i]->OnChange = keep;
  }

  FDecor.BackGroundImg.Assign(Source.FDecor.BackGroundImg);
  FDecor.Caption = Source.FDecor.Caption;
  FDecor.CaptionPosX = Source.FDecor.CaptionPosX;
  FDecor.CaptionPosY = Source.FDecor.CaptionPosY;
  FDecor.CaptionAlignment = Source.FDecor.CaptionAlignment;
  FDecor.CaptionAnchorHoriz = Source.FDecor.CaptionAnchorHoriz;
  FDecor.CaptionAnchorVert = Source.FDecor.CaptionAnchorVert;
  FDecor.CaptionTrim = Source.FDecor.CaptionTrim;
  FDecor.ShadowStyle = Source.FDecor.ShadowStyle;
  FDecor.ShadowColor = Source.FDecor.ShadowColor;
  FDecor.ShadowBakColor = Source.FDecor.ShadowBakColor;
  Font().Assign(Source.Font());

  OnBeforeRenderData = Source.OnBeforeRenderData;
  OnBeforeRenderChartItem = Source.OnBeforeRenderChartItem;
  OnDataRendered = Source.OnDataRendered;
  OnScalesRendered = Source.OnScalesRendered;
  OnScaleTickDrawn = Source.OnScaleTickDrawn;
  OnBeforeTickLabel = Source.OnBeforeTickLabel;
  OnClick = Source.OnClick;
  OnDblClick = Source.OnDblClick;
  OnMouseDown = Source.OnMouseDown;
  OnMouseUp = Source.OnMouseUp;
  OnMouseMove = Source.OnMouseMove;

  // The mouse settings and the events of the chart's own mouse handling belong to the settings
  // too; the free-hand trace and a running drag are this chart's state and stay.
  FMouse.MouseCursorFixed = Source.FMouse.MouseCursorFixed;
  FMouse.PanGridDx = Source.FMouse.PanGridDx;
  FMouse.PanGridDy = Source.FMouse.PanGridDy;
  FMouse.PanGridOffsX = Source.FMouse.PanGridOffsX;
  FMouse.PanGridOffsY = Source.FMouse.PanGridOffsY;
  FMouse.MouseTraceColor = Source.FMouse.MouseTraceColor;
  FMouse.MouseTraceInvert = Source.FMouse.MouseTraceInvert;
  OnMouseMoveInChart = Source.OnMouseMoveInChart;
  OnMouseEnter = Source.OnMouseEnter;
  OnMouseLeave = Source.OnMouseLeave;
  OnZoomPan = Source.OnZoomPan;
  OnRubberBand = Source.OnRubberBand;
  OnSelectRect = Source.OnSelectRect;
  OnBeforeCrossHairMove = Source.OnBeforeCrossHairMove;
  OnCrossHairMove = Source.OnCrossHairMove;
  OnTextLabelMove = Source.OnTextLabelMove;

  UpdateMinimumSize();
  GeometryChanged();
  FSuppressPaint = oldSuppress;
  RepaintIfWanted();
}

// --- lifetime --------------------------------------------------------------------------------

TCustomRChart::~TCustomRChart()
{
  // Leave the group first: users of a destroyed owner become independent with a private copy;
  // a destroyed user leaves its owner's list. The shared store itself lives on as long as any
  // member refers to it.
  RemoveFromOwner();
  for (int i = 0; i < FNumUsers; ++i) {
    TCustomRChart* u = FUsers[static_cast<size_t>(i)];
    u->FUseDataOf = nullptr;
    u->DetachWithCopy();
  }
  FNumUsers = 0;
  for (const auto& l : FLook.TextLabels)
    l->OnChange = nullptr;
  for (const auto& c : FLook.CrossHairs)
    c->OnChange = nullptr;
  FDecor.BackGroundImg.OnChange = nullptr;
  FLayers.JointLayers.OnChange = nullptr;
  FLayers.JointLayers.OnJoin = nullptr;
  for (const auto& p : FLayers.ScaleX)
    p->OnChange = nullptr;
  for (const auto& p : FLayers.ScaleY)
    p->OnChange = nullptr;
}

}  // namespace orvex
