// TRChart without pixels: the item list and its growth, the sharing group with its refusals,
// paint counts around batches, the transforms, the range rules and the joint layers.
#include "orvex_rchart.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using namespace orvex;

namespace {

// A shown chart whose message boxes are recorded and whose full paints are counted.
struct TChartFixture {
  TRChart Chart;
  std::vector<std::string> Messages;
  int Paints = 0;
  TChartFixture()
  {
    Chart.ShowMessage = [this](const std::string& m) { Messages.push_back(m); };
    Chart.OnScalesRendered = [this](TObject*, TCanvas&, int, int) { ++Paints; };
    Chart.show();
    QApplication::processEvents();
    Paints = 0;
  }
};

}  // namespace

TEST(RChartItems, CapacityGrowsInStepsAndRefusedSettingsKeepTheirValue)
{
  TRChart c;
  EXPECT_EQ(c.Capacity(), 0);
  c.AddMark(1, 2, 26);
  EXPECT_EQ(c.Capacity(), 1000);
  for (int i = 2; i <= 1000; ++i)
    c.AddMark(i, i, 26);
  EXPECT_EQ(c.Capacity(), 1000);
  c.AddMark(0, 0, 26);
  EXPECT_EQ(c.NumItems(), 1001);
  EXPECT_EQ(c.Capacity(), 2000);
  EXPECT_EQ(c.Item(0).X1, 1);
  EXPECT_EQ(c.Item(0).Y1, 2);

  for (int bad : {0, -5, 1000001}) {
    c.SetAllocSize(bad);
    EXPECT_EQ(c.AllocSize(), 1000) << bad;
  }
  c.SetAllocSize(1000000);
  EXPECT_EQ(c.AllocSize(), 1000000);
  c.SetClassDefault(254);
  c.SetClassDefault(255);
  EXPECT_EQ(c.ClassDefault(), 254);
}

// A refit clears the chart and fills it with as many items again: the list reads empty (count
// and capacity 0) in between, but its memory stays, so the refill neither frees nor regrows it.
TEST(RChartItems, ClearChartKeepsTheMemoryForARefillOfTheSameSize)
{
  TRChart c;
  for (int i = 0; i < 25000; ++i)
    c.AddMark(i, i, 26);
  const TrcChartItem* before = c.Items();
  c.ClearChart();
  EXPECT_EQ(c.NumItems(), 0);
  EXPECT_EQ(c.Capacity(), 0);
  for (int i = 0; i < 25000; ++i)
    c.AddMark(-i, 2 * i, 24);
  EXPECT_EQ(c.Items(), before);
  EXPECT_EQ(c.Capacity(), 25000);
  EXPECT_EQ(c.Item(24999).X1, -24999);
  EXPECT_EQ(c.Item(24999).MarkType, 24);
}

// Items reserved ahead of a fill (a table just loaded): the list still reads empty, and the fill
// of that many items, in steps of AllocSize, stays in the memory taken; an item added as a step
// begins holds the defaults of an item, not what a cleared list held before.
TEST(RChartItems, ReservedItemsTakeAFillWithoutGrowing)
{
  TRChart c;
  c.ReserveItems(30000);
  EXPECT_EQ(c.NumItems(), 0);
  EXPECT_EQ(c.Capacity(), 0);
  c.SetAllocSize(10000);
  c.AddMark(0, 0, 26);
  const TrcChartItem* first = c.Items();
  for (int i = 1; i < 30000; ++i)
    c.AddMark(i, -i, 26);
  EXPECT_EQ(c.Items(), first);
  EXPECT_EQ(c.Capacity(), 30000);
  c.SetDataColor(0x123456);
  c.SetFillColor(0x654321);
  c.AddRect(0, 0, 1, 1);
  c.ClearChart();
  c.AddMark(5, 6, 24);
  EXPECT_EQ(c.Item(0).X2, 0);
  EXPECT_EQ(c.Item(0).FillColor, 0u);
  EXPECT_EQ(c.Item(0).Kind, ikMark);
  EXPECT_EQ(c.Item(0).MarkType, 24);
}

TEST(RChartItems, ItemsAreStampedWithTheAttributesInForceWhenAdded)
{
  TRChart c;
  c.SetDataColor(clRed);
  c.SetFillColor(clYellow);
  c.SetPenStyle(psDot);
  c.SetLineWidth(3);
  c.SetClassDefault(7);
  c.SetItemTag(42);
  c.AddMark(1, 2, 26);
  c.AddLine(1, 2, 3, 4);
  c.SetDataColor(clBlue);
  c.AddRect(5, 6, 7, 8);
  EXPECT_EQ(c.Item(0).Kind, ikMark);
  EXPECT_EQ(c.Item(0).Color, clRed);  // a later DataColor does not touch it
  EXPECT_EQ(c.Item(0).FillColor, 0u);
  EXPECT_EQ(c.Item(0).MarkType, 26);
  EXPECT_EQ(c.Item(0).Tag, 42);
  EXPECT_EQ(c.Item(0).ItemClass, 7);
  EXPECT_EQ(c.Item(0).Layer, 1);
  EXPECT_EQ(c.Item(1).Kind, ikLine);
  EXPECT_EQ(c.Item(1).FillColor, clYellow);
  EXPECT_EQ(c.Item(1).LineWidth, 3);
  EXPECT_EQ(c.Item(1).PenStyle, psDot);
  EXPECT_EQ(c.Item(1).Y2, 4);
  EXPECT_EQ(c.Item(2).Kind, ikRect);
  EXPECT_EQ(c.Item(2).Color, clBlue);
  EXPECT_FALSE(c.Item(2).TransparentFill);
}

TEST(RChartSharing, RefusalsAndGroupChanges)
{
  TChartFixture a, b, c, d, e, f;
  a.Chart.SetUseDataOf(&a.Chart);
  ASSERT_EQ(a.Messages.size(), 1u);
  EXPECT_EQ(a.Messages[0], "RChart: Cannot share data with myself");
  EXPECT_EQ(a.Chart.UseDataOf(), nullptr);

  b.Chart.SetUseDataOf(&a.Chart);
  c.Chart.SetUseDataOf(&b.Chart);  // a user of a user uses the owner itself
  EXPECT_EQ(c.Chart.UseDataOf(), &a.Chart);
  d.Chart.SetUseDataOf(&a.Chart);
  e.Chart.SetUseDataOf(&a.Chart);
  EXPECT_EQ(a.Chart.NumDataUsers(), 4);
  f.Chart.SetUseDataOf(&a.Chart);
  ASSERT_EQ(f.Messages.size(), 1u);
  EXPECT_EQ(f.Messages[0], "RChart: Max. number of data shares exceeded");
  EXPECT_EQ(f.Chart.UseDataOf(), nullptr);
  EXPECT_EQ(a.Chart.NumDataUsers(), 4);

  for (TCustomRChart* target : {static_cast<TCustomRChart*>(&f.Chart), static_cast<TCustomRChart*>(nullptr)}) {
    a.Chart.SetUseDataOf(target);
    EXPECT_EQ(a.Messages.back(), "RChart: Cannot use foreign data. Other RCharts are using my own data.");
  }
  EXPECT_EQ(a.Messages.size(), 3u);

  // Removing the second of the users moves the later ones forward.
  c.Chart.SetUseDataOf(nullptr);
  EXPECT_EQ(a.Chart.NumDataUsers(), 3);
  EXPECT_EQ(a.Chart.DataUser(1), &b.Chart);
  EXPECT_EQ(a.Chart.DataUser(2), &d.Chart);
  EXPECT_EQ(a.Chart.DataUser(3), &e.Chart);
  EXPECT_EQ(a.Chart.DataUser(4), nullptr);

  // Additions through any member are seen by all; ClearChart through a user empties them all.
  b.Chart.AddMark(1, 1, 26);
  a.Chart.AddMark(2, 2, 26);
  EXPECT_EQ(d.Chart.NumItems(), 2);
  EXPECT_EQ(d.Chart.Item(0).X1, 1);
  d.Chart.ClearChart();
  EXPECT_EQ(a.Chart.NumItems(), 0);
  EXPECT_EQ(b.Chart.NumItems(), 0);
  EXPECT_EQ(e.Chart.Capacity(), 0);
  EXPECT_TRUE(c.Messages.empty());
}

TEST(RChartSharing, CapacityIsSharedAndLeavingKeepsACopy)
{
  TRChart owner, user;
  for (int i = 0; i < 1500; ++i)
    owner.AddMark(i, i, 26);
  user.SetUseDataOf(&owner);
  // The user grows the shared array from its real length, not from a capacity of its own.
  for (int i = 0; i < 600; ++i)
    user.AddMark(-i, -i, 1);
  EXPECT_EQ(owner.NumItems(), 2100);
  EXPECT_EQ(owner.Capacity(), 3000);
  EXPECT_EQ(user.Capacity(), 3000);
  EXPECT_EQ(owner.Item(1500).MarkType, 1);
  EXPECT_EQ(owner.Item(1499).X1, 1499);

  user.SetUseDataOf(nullptr);
  EXPECT_EQ(user.NumItems(), 2100);
  EXPECT_FALSE(user.SharesItemsWith(owner));
  user.AddMark(0, 0, 3);
  EXPECT_EQ(owner.NumItems(), 2100);

  // Users of a destroyed owner become independent with their items; a destroyed user leaves.
  auto second = std::make_unique<TRChart>();
  auto third = std::make_unique<TRChart>();
  second->SetUseDataOf(&user);
  third->SetUseDataOf(&user);
  second.reset();
  EXPECT_EQ(user.NumDataUsers(), 1);
  EXPECT_EQ(user.DataUser(1), third.get());
  auto owner2 = std::make_unique<TRChart>();
  owner2->AddMark(5, 5, 26);
  TRChart follower;
  follower.SetUseDataOf(owner2.get());
  owner2.reset();
  EXPECT_EQ(follower.UseDataOf(), nullptr);
  EXPECT_EQ(follower.NumItems(), 1);
  follower.AddMark(6, 6, 26);
  EXPECT_EQ(follower.NumItems(), 2);
}

TEST(RChartItems, AssignCopiesItemsInWholeSteps)
{
  TRChart a, b;
  a.SetAllocSize(100);
  for (int i = 0; i < 250; ++i)
    a.AddMark(i, 2 * i, 26);
  a.SetDataColor(clRed);
  a.SetCaption("copied");
  b.Assign(a);
  EXPECT_EQ(b.NumItems(), 250);
  EXPECT_EQ(b.Capacity(), 300);
  EXPECT_EQ(b.Item(249).Y1, 498);
  EXPECT_EQ(b.DataColor(), clRed);
  EXPECT_EQ(b.Caption(), "copied");
  EXPECT_FALSE(b.SharesItemsWith(a));
}

TEST(RChartItems, AssignCopiesTheMouseSettingsAndEvents)
{
  TRChart a, b;
  a.SetMouseCursorFixed(false);
  a.SetPanGridDx(0.25);
  a.SetPanGridDy(4);
  a.SetPanGridOffsX(0.5);
  a.SetPanGridOffsY(-1);
  a.SetMouseTraceColor(clRed);
  a.SetMouseTraceInvert(false);
  std::vector<std::string> fired;
  auto note = [&fired](const char* Name) { return [&fired, Name](auto&&...) { fired.push_back(Name); }; };
  a.OnMouseMoveInChart = note("move");
  a.OnMouseEnter = note("enter");
  a.OnMouseLeave = note("leave");
  a.OnZoomPan = note("zoompan");
  a.OnRubberBand = note("rubber");
  a.OnSelectRect = note("select");
  a.OnBeforeCrossHairMove = note("beforecross");
  a.OnCrossHairMove = note("cross");
  a.OnTextLabelMove = note("label");
  b.Assign(a);
  EXPECT_FALSE(b.MouseCursorFixed());
  EXPECT_EQ(b.PanGridDx(), 0.25);
  EXPECT_EQ(b.PanGridDy(), 4);
  EXPECT_EQ(b.PanGridOffsX(), 0.5);
  EXPECT_EQ(b.PanGridOffsY(), -1);
  EXPECT_EQ(b.MouseTraceColor(), clRed);
  EXPECT_FALSE(b.MouseTraceInvert());

  // each handler of b is a's: calling it reaches a's recorder
  bool allow = true;
  ASSERT_TRUE(b.OnMouseMoveInChart && b.OnMouseEnter && b.OnMouseLeave && b.OnZoomPan && b.OnRubberBand &&
              b.OnSelectRect && b.OnBeforeCrossHairMove && b.OnCrossHairMove && b.OnTextLabelMove);
  b.OnMouseMoveInChart(&b, true, TShiftState{}, 0, 0);
  b.OnMouseEnter(&b);
  b.OnMouseLeave(&b);
  b.OnZoomPan(&b);
  b.OnRubberBand(&b, 1, 0, 0, 1, 1);
  b.OnSelectRect(&b, 1, 0, 0, 1, 1);
  b.OnBeforeCrossHairMove(&b, b.CrossHair(1), 0, 0, allow);
  b.OnCrossHairMove(&b, b.CrossHair(1));
  b.OnTextLabelMove(&b, b.TextLabels(1));
  EXPECT_EQ(fired, (std::vector<std::string>{"move", "enter", "leave", "zoompan", "rubber", "select", "beforecross",
                                             "cross", "label"}));
}

TEST(RChartPaintControl, OnePaintPerBatch)
{
  TChartFixture f;
  f.Chart.SetSuppressPaint(true);
  f.Chart.ClearChart();
  f.Chart.ClearTextLabels();
  f.Chart.Scale1X().SetCaption("Actual Data");
  for (int i = 0; i < 500; ++i)
    f.Chart.AddMark(i, i, 26);
  f.Chart.AutoRange(1, 5.0);
  f.Chart.AddLine(0, 0, 1, 1);
  EXPECT_EQ(f.Paints, 0);
  f.Chart.SetSuppressPaint(true);  // unchanged: nothing
  f.Chart.SetSuppressPaint(false);
  EXPECT_EQ(f.Paints, 1);
  f.Chart.SetSuppressPaint(false);
  EXPECT_EQ(f.Paints, 1);

  f.Paints = 0;
  f.Chart.ClearTextLabels();  // unsuppressed: exactly one paint at the end
  EXPECT_EQ(f.Paints, 1);
  for (int i = 1; i <= 50; ++i)
    EXPECT_EQ(f.Chart.TextLabels(i).Mode(), tlOff);

  // Adders and attribute setters never paint.
  f.Paints = 0;
  f.Chart.AddMark(1, 1, 1);
  f.Chart.SetDataColor(clRed);
  f.Chart.SetItemTag(3);
  EXPECT_EQ(f.Paints, 0);
}

TEST(RChartSuppress, NewChartIsSuppressedUntilItsWindowExists)
{
  TRChart c;
  EXPECT_TRUE(c.SuppressPaint());
  int paints = 0;
  c.OnScalesRendered = [&](TObject*, TCanvas&, int, int) { ++paints; };
  c.show();
  EXPECT_FALSE(c.SuppressPaint());
  EXPECT_EQ(paints, 0);  // window creation clears the flag without painting
}

TEST(RChartLayers, TransformOfTheExampleChart)
{
  TRChart c;
  c.SetMargins(50, 10, 16, 32);
  ASSERT_EQ(c.width(), 280);
  ASSERT_EQ(c.height(), 200);
  int px = 0, py = 0;
  c.WorldToPixel(1, 0, 0, px, py);
  EXPECT_EQ(px, 50);
  EXPECT_EQ(py, 168);
  c.WorldToPixel(1, 1, 1, px, py);
  EXPECT_EQ(px, 270);
  EXPECT_EQ(py, 16);
  double x = 0, y = 0;
  c.PixelToWorld(1, 160, 92, x, y);
  EXPECT_NEAR(x, 0.5, 1e-12);
  EXPECT_NEAR(y, 0.5, 1e-12);
  // Out-of-range layers count as the nearest one.
  c.SetRange(16, 0, 0, 2, 2);
  c.WorldToPixel(40, 2, 2, px, py);
  EXPECT_EQ(px, 270);
  EXPECT_EQ(py, 16);
  // Not a number goes to the low limit instead of an undefined integer conversion.
  c.WorldToPixel(1, std::nan(""), std::nan(""), px, py);
  EXPECT_EQ(px, -2147483647);
  EXPECT_EQ(py, -2147483647);
  c.WorldToPixel(1, 1e300, -1e300, px, py);
  EXPECT_EQ(px, 2147483647);
  EXPECT_EQ(py, 2147483647);
}

TEST(RChartLayers, SetRangeRules)
{
  TRChart c;
  c.SetRange(1, 5, 0, 5, 10);
  EXPECT_DOUBLE_EQ(c.Scale1X().RangeLow(), 5 - 0.5e-10);
  EXPECT_DOUBLE_EQ(c.Scale1X().RangeHigh(), 5 + 0.5e-10);
  EXPECT_EQ(c.Scale1Y().RangeLow(), 0);
  EXPECT_EQ(c.Scale1Y().RangeHigh(), 10);

  // A span below 0.99 MinRange leaves X alone while Y is still stored.
  c.SetRange(1, 0, 1, 1, 2);
  c.SetRange(1, 5, 3, 5 + 0.5e-10, 4);
  EXPECT_EQ(c.Scale1X().RangeLow(), 0);
  EXPECT_EQ(c.Scale1X().RangeHigh(), 1);
  EXPECT_EQ(c.Scale1Y().RangeLow(), 3);
  EXPECT_EQ(c.Scale1Y().RangeHigh(), 4);

  // Non-finite bounds are ignored.
  c.SetRange(1, std::numeric_limits<double>::infinity(), 7, 1, 8);
  EXPECT_EQ(c.Scale1X().RangeLow(), 0);
  EXPECT_EQ(c.Scale1Y().RangeLow(), 7);

  c.SetRange(0, -3, -4, 3, 4);
  for (int n = 1; n <= 16; ++n) {
    EXPECT_EQ(c.ScalePropsX(n).RangeLow(), -3) << n;
    EXPECT_EQ(c.ScalePropsY(n).RangeHigh(), 4) << n;
  }
  EXPECT_EQ(&c.ScalePropsX(0), &c.ScalePropsX(1));
  EXPECT_EQ(&c.ScalePropsY(17), &c.ScalePropsY(1));
}

TEST(RChartLayers, LogarithmicAxisPlacesDecadesAtThirds)
{
  TRChart c;
  c.resize(370, 200);  // margins 50 and 20: a plot 300 pixels wide
  c.SetRange(1, 1, 0, 1000, 1);
  c.Scale1X().SetLogarithmic(true);
  ASSERT_TRUE(c.Scale1X().Logarithmic());
  int px = 0, py = 0;
  c.WorldToPixel(1, 10, 0, px, py);
  EXPECT_EQ(px, 150);
  c.WorldToPixel(1, 100, 0, px, py);
  EXPECT_EQ(px, 250);
  c.WorldToPixel(1, 0, 0, px, py);  // not transformed: the low end outside the plot
  EXPECT_EQ(px, 0);
  // A logarithmic bound below 1e-100 is ignored.
  c.Scale1X().SetRangeLow(0);
  EXPECT_EQ(c.Scale1X().RangeLow(), 1);

  // Switching on is refused while a bound reaches below 1e-100.
  c.Scale1Y().SetLogarithmic(true);
  EXPECT_FALSE(c.Scale1Y().Logarithmic());
}

TEST(RChartLayers, ScalePropertyRules)
{
  TRChart c;
  TScalePropsHoriz& x = c.Scale1X();
  int changes = 0;
  TNotifyEvent chartHandler = x.OnChange;
  x.OnChange = [&](TObject* s) {
    ++changes;
    chartHandler(s);
  };
  x.SetDecPlaces(-7);
  EXPECT_EQ(x.DecPlaces(), -3);
  x.SetDecPlaces(20);
  EXPECT_EQ(x.DecPlaces(), 12);
  x.SetLabelType(ftTime);
  EXPECT_EQ(x.DecPlaces(), 4);
  changes = 0;
  x.SetRangeLow(0);
  x.SetRangeHigh(1);
  x.SetMinRange(0.5);  // no widening needed: no event
  EXPECT_EQ(changes, 2);
  x.SetMinRange(4);  // widened about the midpoint
  EXPECT_EQ(changes, 3);
  EXPECT_DOUBLE_EQ(x.RangeLow(), -1.5);
  EXPECT_DOUBLE_EQ(x.RangeHigh(), 2.5);
  x.SetMinRange(1e-101);
  EXPECT_EQ(x.MinRange(), 4);
  x.SetRangeLow(2);  // closer than MinRange to the high end
  EXPECT_DOUBLE_EQ(x.RangeHigh(), 6);
  x.SetMouseAction(maPan);
  EXPECT_EQ(changes, 4);

  c.SetShadowWidth(40);
  EXPECT_EQ(c.ShadowWidth(), 32);
  // The axis controls follow the properties.
  EXPECT_EQ(c.ScaleControlX(1).RangeLow(), 2);
  EXPECT_EQ(c.ScaleControlX(1).Name(), "RC_FScale_X_1");
  EXPECT_EQ(c.ScaleControlY(16).Name(), "RC_FScale_Y_16");
  // Layer colours and the axis types of the locations.
  EXPECT_EQ(c.ScalePropsX(2).ColorScale(), clMaroon);
  EXPECT_EQ(c.ScalePropsY(13).ColorScale(), clBlue);
  EXPECT_EQ(c.ScaleControlX(1).ScaleType(), sctXT);
  EXPECT_EQ(c.ScaleControlY(1).ScaleType(), sctYR);
}

TEST(RChartLayers, AxisControlsTakeSettingsWhenTheyChangeAndTheirPlaceFromEachPaint)
{
  TRChart c;
  c.resize(300, 200);
  c.show();
  QApplication::processEvents();
  TScale& axis = c.ScaleControlY(1);
  // A change of the scale properties reaches the control at once, without a paint.
  c.SetSuppressPaint(true);
  c.Scale1Y().SetCaption("height");
  c.Scale1Y().SetDecPlaces(3);
  c.Scale1Y().Font().SetSize(14);
  EXPECT_EQ(axis.Caption(), "height");
  EXPECT_EQ(axis.DecPlaces(), 3);
  EXPECT_EQ(axis.Font().Size(), 14);
  c.SetSuppressPaint(false);
  // A paint lays the control out along the plot's edge but copies no settings into it: what the
  // control holds otherwise stays as the properties last set it.
  axis.SetDecPlaces(5);
  c.FullPaint();
  EXPECT_EQ(axis.DecPlaces(), 5);
  EXPECT_EQ(axis.MarginTop(), c.MarginTop());
  c.SetMarginTop(40);
  c.FullPaint();
  EXPECT_EQ(axis.MarginTop(), 40);
  // Rendering at another size leaves the control laid out for the screen again.
  const QImage big = c.RenderImage(900, 600, 96);
  EXPECT_EQ(big.width(), 900);
  EXPECT_EQ(axis.width(), 300);
  EXPECT_EQ(axis.MarginTop(), 40);
  c.Scale1Y().SetDecPlaces(2);
  EXPECT_EQ(axis.DecPlaces(), 2);
}

namespace {

// The labelled ticks' texts of the walk the last paint made for an axis.
std::vector<std::string> LabelTexts(const TScaleWalk& Walk)
{
  std::vector<std::string> texts;
  for (const TScaleTick& t : Walk.Ticks)
    if (t.Labelled)
      texts.push_back(t.Label.Text);
  return texts;
}

// Pixels of the control bitmap in Color.
int CountControl(TRChart& Chart, TColor Color)
{
  const QImage& img = Chart.ControlBitmap().Image();
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      n += FromQColor(QColor::fromRgb(img.pixel(x, y))) == Color;
  return n;
}

}  // namespace

TEST(RChartLayers, AxisControlsReadTheirLayersSettingsInPlace)
{
  TRChart c;
  c.resize(300, 200);
  c.show();
  QApplication::processEvents();
  TScaleProps& p = c.Scale1Y();
  TScale& axis = c.ScaleControlY(1);
  // One value seen from both sides: the layer's settings (caption offsets, not the standalone
  // control's 4), its date format and font objects themselves, and a setter of the control
  // changing what the layer reports.
  ASSERT_TRUE(axis.SharesSettings());
  p.SetCaptionPosX(-7);
  EXPECT_EQ(axis.CaptionPosX(), -7);
  EXPECT_EQ(axis.CaptionPosY(), p.CaptionPosY());
  EXPECT_EQ(&axis.DateFormat(), &p.DateFormat());
  EXPECT_EQ(&axis.Font(), &p.Font());
  axis.SetCaption("from the control");
  axis.SetUserTickText("a|b");
  EXPECT_EQ(p.Caption(), "from the control");
  EXPECT_EQ(p.UserTickText(), "a|b");
  axis.SetUserTickText("");
  p.SetVisible(false);
  EXPECT_FALSE(axis.Visible());
  p.SetVisible(true);
  EXPECT_TRUE(axis.Visible());
  // The layer keeps any MinTicks; the control reads it through its own clamp, as it paints.
  p.SetMinTicks(20);
  EXPECT_EQ(p.MinTicks(), 20);
  EXPECT_EQ(axis.MinTicks(), 10);
  p.SetMinTicks(3);
  // A logarithmic layer: the control's mapping follows at once.
  p.SetRangeLow(1);
  p.SetRangeHigh(1000);
  p.SetLogarithmic(true);
  EXPECT_TRUE(axis.Logarithmic());
  EXPECT_TRUE(axis.Transform().Logarithmic);
  p.SetLogarithmic(false);
  EXPECT_FALSE(axis.Transform().Logarithmic);
  p.SetRangeLow(0);
  p.SetRangeHigh(1);

  // The next paint draws the layer's decimals and caption.
  p.SetCaption("");
  p.SetDecPlaces(3);
  p.Font().SetColor(clRed);
  c.FullPaint();
  const std::vector<std::string> three = LabelTexts(c.AxisTicks(1, true));
  ASSERT_FALSE(three.empty());
  for (const std::string& t : three)
    EXPECT_EQ(t.size() - t.find('.'), 4u) << t;
  const int labelsOnly = CountControl(c, clRed);
  EXPECT_GT(labelsOnly, 0);
  p.SetDecPlaces(1);
  p.SetCaption("HEIGHT");
  c.FullPaint();
  const std::vector<std::string> one = LabelTexts(c.AxisTicks(1, true));
  ASSERT_EQ(one.size(), three.size());
  for (const std::string& t : one)
    EXPECT_EQ(t.size() - t.find('.'), 2u) << t;
  // Fewer label pixels with one decimal, yet more red in all: the caption is drawn.
  EXPECT_GT(CountControl(c, clRed), labelsOnly);
}

TEST(RChartLayers, AStandaloneScaleKeepsItsOwnSettings)
{
  TScale s;
  TRChart c;
  c.Scale1X().SetCaption("X of the chart");
  c.Scale1X().SetDecPlaces(5);
  c.Scale1X().Font().SetSize(20);
  EXPECT_FALSE(s.SharesSettings());
  EXPECT_EQ(s.Caption(), "");
  EXPECT_EQ(s.DecPlaces(), -2);
  EXPECT_EQ(s.CaptionPosX(), 4);
  EXPECT_EQ(s.RangeHigh(), 100);
  EXPECT_NE(s.Font().Size(), 20);
  EXPECT_EQ(&s.Font(), &static_cast<TCustomControl&>(s).Font());
  s.SetCaption("own");
  EXPECT_EQ(c.Scale1X().Caption(), "X of the chart");
  // Its visibility is its window's.
  s.SetVisible(false);
  EXPECT_TRUE(s.isHidden());
  // A copy of an axis control takes the values, not the layer: later layer changes stay away.
  s.Assign(c.ScaleControlX(1));
  EXPECT_EQ(s.Caption(), "X of the chart");
  EXPECT_EQ(s.DecPlaces(), 5);
  c.Scale1X().SetCaption("changed");
  c.Scale1X().DateFormat().SetDateSeparator('/');
  EXPECT_EQ(s.Caption(), "X of the chart");
  EXPECT_EQ(s.DateFormat().DateSeparator(), '-');
  EXPECT_FALSE(s.SharesSettings());
}

TEST(RChartLayers, AutoRange)
{
  TRChart c;
  c.AutoRange(1, 5.0);
  EXPECT_EQ(c.Scale1X().RangeLow(), -1);
  EXPECT_EQ(c.Scale1X().RangeHigh(), 1);
  EXPECT_EQ(c.Scale1Y().RangeLow(), -1);
  EXPECT_EQ(c.Scale1Y().RangeHigh(), 1);

  c.AddMark(0, 10, 26);
  c.AddMark(std::nan(""), 1e9, 26);  // skipped
  c.AddLine(2, 20, 4, std::numeric_limits<double>::infinity());  // skipped
  c.AddRect(1, 30, 10, 20);
  c.AutoRange(1, 10.0);
  EXPECT_DOUBLE_EQ(c.Scale1X().RangeLow(), -1);
  EXPECT_DOUBLE_EQ(c.Scale1X().RangeHigh(), 11);
  EXPECT_DOUBLE_EQ(c.Scale1Y().RangeLow(), 8);
  EXPECT_DOUBLE_EQ(c.Scale1Y().RangeHigh(), 32);

  // Items added through another member of the group count; a copy takes the same bounds; a
  // cleared list has none, and the next items alone decide.
  TRChart user, copy;
  user.SetUseDataOf(&c);
  user.AddMark(-50, 0, 26);
  c.AutoRange(1, 0.0);
  EXPECT_EQ(c.Scale1X().RangeLow(), -50);
  EXPECT_EQ(c.Scale1Y().RangeLow(), 0);
  copy.Assign(c);
  copy.AutoRange(1, 0.0);
  EXPECT_EQ(copy.Scale1X().RangeLow(), -50);
  EXPECT_EQ(copy.Scale1Y().RangeHigh(), 30);
  c.ClearChart();
  c.AddMark(3, 4, 26);
  c.AddMark(5, 7, 26);
  user.AutoRange(1, 0.0);
  EXPECT_EQ(user.Scale1X().RangeLow(), 3);
  EXPECT_EQ(user.Scale1X().RangeHigh(), 5);
  EXPECT_EQ(user.Scale1Y().RangeLow(), 4);
  EXPECT_EQ(user.Scale1Y().RangeHigh(), 7);
}

TEST(RChartLayers, JointLayers)
{
  TRChart c;
  TJointLayers& j = c.JointLayers();
  try {
    j.SetXControlledBy(2, 17);
    FAIL();
  } catch (const EOrvexRChartError& e) {
    EXPECT_STREQ(e.what(), "Destination layer 17 is out of range");
  }
  c.SetRange(2, 10, 10, 20, 20);
  j.SetXControlledBy(3, 2);
  EXPECT_EQ(c.ScalePropsX(3).RangeLow(), 10);  // takes the leader's X range
  EXPECT_EQ(c.ScalePropsY(3).RangeLow(), 0);   // and keeps its own Y range
  j.SetXControlledBy(5, 2);
  try {
    j.SetXControlledBy(2, 1);
    FAIL();
  } catch (const EOrvexRChartError& e) {
    EXPECT_STREQ(e.what(), "Layer 2 is joined by other layers (3, 5)");
  }
  EXPECT_EQ(j.XControlledBy(2), 2);
  try {
    j.SetXControlledBy(4, 3);
    FAIL();
  } catch (const EOrvexRChartError& e) {
    EXPECT_STREQ(e.what(), "Destination layer 3 is already joined");
  }
  // Followers track their leader through the range path and ignore requests of their own.
  c.SetRange(2, -1, 0, 1, 1);
  EXPECT_EQ(c.ScalePropsX(5).RangeLow(), -1);
  c.SetRange(3, 100, 100, 200, 200);
  EXPECT_EQ(c.ScalePropsX(3).RangeLow(), -1);
  EXPECT_EQ(c.ScalePropsY(3).RangeLow(), 100);
  j.SetXControlledBy(3, 3);
  EXPECT_EQ(j.XControlledBy(3), 3);
}

TEST(RChartLayers, SizeMinimumFollowsTheMargins)
{
  TRChart c;
  c.resize(10, 10);
  EXPECT_EQ(c.width(), 50 + 20 + 80);
  EXPECT_EQ(c.height(), 20 + 40 + 20);
  c.SetShadowWidth(10);
  c.resize(10, 10);
  EXPECT_EQ(c.width(), 160);
  EXPECT_EQ(c.height(), 90);
}

TEST(RChartLayers, IsometricYFollowsTheXSpan)
{
  TRChart c;  // plot 210 x 140 pixels
  c.SetIsometric(true);
  c.SetRange(1, 0, 0, 10, 4);
  const double h = 10.0 * 141 / 211 / 2;
  EXPECT_NEAR(c.Scale1Y().RangeLow(), 2 - h, 1e-12);
  EXPECT_NEAR(c.Scale1Y().RangeHigh(), 2 + h, 1e-12);
}

TEST(RChartSharing, ShowChartPaintsTheOtherMembersOfTheGroup)
{
  TChartFixture owner, user1, user2, alone;
  user1.Chart.SetUseDataOf(&owner.Chart);
  user2.Chart.SetUseDataOf(&owner.Chart);
  user2.Chart.SetAutoRedraw(false);
  owner.Paints = user1.Paints = user2.Paints = 0;
  user1.Chart.AddMark(0.5, 0.5, 26);
  user1.Chart.ShowChart();  // its own plot only; full paints of the owner and all its users
  EXPECT_EQ(owner.Paints, 1);
  EXPECT_EQ(user1.Paints, 1);
  EXPECT_EQ(user2.Paints, 0);  // AutoRedraw off
  EXPECT_EQ(alone.Paints, 0);
  owner.Paints = user1.Paints = 0;
  owner.Chart.ShowChart();
  EXPECT_EQ(owner.Paints, 0);
  EXPECT_EQ(user1.Paints, 1);
}
