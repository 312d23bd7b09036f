// The item list of the chart: the drawing attributes stamped into new items, growth of the
// array in steps of AllocSize, clearing, the paint-control operations wrapped around a batch of
// additions, and the sharing of one list by a group of charts.
//
// A group shares one TRcItemStore (array and count together), so an item added through any
// member is at once part of every member's list, and growth always works from the array's real
// length whoever adds.
#include "orvex_rchart.h"

#include <QMessageBox>
#include <algorithm>

namespace orvex {

void TCustomRChart::SetClassDefault(std::uint8_t Value)
{
  if (Value != 255)
    FClassDefault = Value;
}

void TCustomRChart::SetAllocSize(int Value)
{
  if (Value >= 1 && Value <= 1000000)
    FAllocSize = Value;
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
  if (static_cast<size_t>(s.Count) >= s.Items.size()) {
    // The reported capacity grows in whole steps of AllocSize; the memory behind it grows
    // geometrically, so a million additions do not copy the array a thousand times.
    const size_t wanted = s.Items.size() + static_cast<size_t>(FAllocSize);
    if (wanted > s.Items.capacity())
      s.Items.reserve(std::max(wanted, 2 * s.Items.capacity()));
    s.Items.resize(wanted);
  }
  TrcChartItem& it = s.Items[static_cast<size_t>(s.Count)];
  it.Kind = Kind;
  it.Color = FDataColor;
  it.PenStyle = static_cast<std::uint8_t>(FPenStyle);
  it.Tag = FItemTag;
  it.LineWidth = FLineWidth;
  it.ItemClass = FClassDefault;
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
  SetTwoPoints(AppendItem(ikLine), X1, Y1, X2, Y2, FFillColor);
}

void TCustomRChart::AddRect(double X1, double Y1, double X2, double Y2)
{
  TrcChartItem& it = AppendItem(ikRect);
  SetTwoPoints(it, X1, Y1, X2, Y2, FFillColor);
  it.TransparentFill = false;
}

void TCustomRChart::ClearChart()
{
  // The store is emptied in place: every member of the group sees the empty list.
  FStore->Count = 0;
  TRcItemContainer().swap(FStore->Items);
  FTrace.clear();
  FTraceRendered = 0;
  FHitIndex = THitIndex{};
  FHitIndex.Valid = true;  // the plot below is emptied too: nothing to hit until the next paint
  ResizePlotBitmap();
  TCanvas& c = FPlotBmp.Canvas();
  PaintPlotBackground(c);
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
  for (auto& l : FTextLabels)
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

  FAllocSize = Source.FAllocSize;
  FDataColor = Source.FDataColor;
  FFillColor = Source.FFillColor;
  FPenStyle = Source.FPenStyle;
  FLineWidth = Source.FLineWidth;
  FClassDefault = Source.FClassDefault;
  FItemTag = Source.FItemTag;
  FAutoRedraw = Source.FAutoRedraw;

  // Both counts and all items; the array is sized in whole steps of AllocSize.
  const int n = Source.FStore->Count;
  FStore->Items.assign(Source.FStore->Items.begin(), Source.FStore->Items.begin() + n);
  FStore->Items.resize(static_cast<size_t>(FAllocSize) * static_cast<size_t>(n / FAllocSize + 1));
  FStore->Count = n;

  for (int i = 0; i < MaxLayers; ++i) {
    FScaleX[static_cast<size_t>(i)]->Assign(*Source.FScaleX[static_cast<size_t>(i)]);
    FScaleY[static_cast<size_t>(i)]->Assign(*Source.FScaleY[static_cast<size_t>(i)]);
  }
  FJointLayers.Assign(Source.FJointLayers);
  FIsometric = Source.FIsometric;
  FMarginLeft = Source.FMarginLeft;
  FMarginRight = Source.FMarginRight;
  FMarginTop = Source.FMarginTop;
  FMarginBottom = Source.FMarginBottom;
  FShadowWidth = Source.FShadowWidth;

  FChartColor = Source.FChartColor;
  FWindColor = Source.FWindColor;
  FChartFrameColor = Source.FChartFrameColor;
  FGridStyle = Source.FGridStyle;
  FGridColor = Source.FGridColor;
  FGridDx = Source.FGridDx;
  FGridDy = Source.FGridDy;
  FAvoidDuplicateMarks = Source.FAvoidDuplicateMarks;
  FMinDupMarkDist = Source.FMinDupMarkDist;
  FTextFont.Assign(Source.FTextFont);
  FTextBkStyle = Source.FTextBkStyle;
  FTextAlignment = Source.FTextAlignment;
  FMouseAction = Source.FMouseAction;
  // Labels and cross-hairs keep their own change handler, which repaints this chart.
  for (size_t i = 0; i < FTextLabels.size(); ++i) {
    TNotifyEvent keep = FTextLabels[i]->OnChange;
    FTextLabels[i]->Assign(*Source.FTextLabels[i]);
    FTextLabels[i]->OnChange = keep;
  }
  for (size_t i = 0; i < FCrossHairs.size(); ++i) {
    TNotifyEvent keep = FCrossHairs[i]->OnChange;
    FCrossHairs[i]->Assign(*Source.FCrossHairs[i]);
    FCrossHairs[i]->OnChange = keep;
  }

  FBackGroundImg.Assign(Source.FBackGroundImg);
  FCaption = Source.FCaption;
  FCaptionPosX = Source.FCaptionPosX;
  FCaptionPosY = Source.FCaptionPosY;
  FCaptionAlignment = Source.FCaptionAlignment;
  FCaptionAnchorHoriz = Source.FCaptionAnchorHoriz;
  FCaptionAnchorVert = Source.FCaptionAnchorVert;
  FCaptionTrim = Source.FCaptionTrim;
  FShadowStyle = Source.FShadowStyle;
  FShadowColor = Source.FShadowColor;
  FShadowBakColor = Source.FShadowBakColor;
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
  FMouseCursorFixed = Source.FMouseCursorFixed;
  FPanGridDx = Source.FPanGridDx;
  FPanGridDy = Source.FPanGridDy;
  FPanGridOffsX = Source.FPanGridOffsX;
  FPanGridOffsY = Source.FPanGridOffsY;
  FMouseTraceColor = Source.FMouseTraceColor;
  FMouseTraceInvert = Source.FMouseTraceInvert;
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
  for (const auto& l : FTextLabels)
    l->OnChange = nullptr;
  for (const auto& c : FCrossHairs)
    c->OnChange = nullptr;
  FBackGroundImg.OnChange = nullptr;
  FJointLayers.OnChange = nullptr;
  FJointLayers.OnJoin = nullptr;
  for (const auto& p : FScaleX)
    p->OnChange = nullptr;
  for (const auto& p : FScaleY)
    p->OnChange = nullptr;
}

}  // namespace orvex
