// The scale's arithmetic over random ranges and settings: CalcScaleTransform, ValueToPos,
// WalkScale (linear, logarithmic, elapsed-time and calendar walks) and CalcZoomPan. Any input
// must end (run.sh's timeout catches a hang), without undefined behaviour, with at most
// ScaleMaxTicks ticks and ScaleTickListSize recorded values, finite tick values and labels no
// longer than their sources allow; a drag that moves the range gives a finite, non-empty one.
// Settings stay within what the scale control's setters let through (MinTicks 0 or 2..10,
// DecPlaces -3..12, margins >= 0, a widget of at most 16777215 pixels); ranges and the
// logarithmic flag are left free, since a walk must cope with any of them.
#include "fuzz_support.h"
#include "orvex_scale.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <string>

using namespace orvex;

namespace {

constexpr int kMaxWidgetSize = 16777215;

template <typename E>
E PickEnum(FuzzedDataProvider& P, int Count)
{
  return static_cast<E>(P.ConsumeIntegralInRange<int>(0, Count - 1));
}

// A range end: any double (infinities and NaN included), or one near a few typical scales.
double RangeValue(FuzzedDataProvider& P)
{
  switch (P.ConsumeIntegralInRange<int>(0, 3)) {
  case 0:
    return P.ConsumeFloatingPoint<double>();
  case 1:
    return P.ConsumeFloatingPointInRange<double>(-1e6, 1e6);
  case 2:
    return P.ConsumeFloatingPointInRange<double>(1e-6, 1e6);  // positive, for logarithmic axes
  default:
    return P.ConsumeFloatingPointInRange<double>(0, 2958465);  // calendar days up to 9999
  }
}

int Margin(FuzzedDataProvider& P)
{
  return P.ConsumeBool() ? P.ConsumeIntegralInRange<int>(0, 200) : P.ConsumeIntegralInRange<int>(0, 2147483647);
}

TScaleSettings Settings(FuzzedDataProvider& P)
{
  TScaleSettings s;
  s.RangeLow = RangeValue(P);
  s.RangeHigh = RangeValue(P);
  const int minTicks = P.ConsumeIntegralInRange<int>(0, 10);
  s.MinTicks = minTicks == 1 ? 2 : minTicks;
  s.DecPlaces = P.ConsumeIntegralInRange<int>(-3, 12);
  s.ShortTicks = P.ConsumeBool();
  s.Logarithmic = P.ConsumeBool();
  s.LabelType = PickEnum<TFigType>(P, 5);
  s.DateFormat.TimeFormat = PickEnum<TTimeFormat>(P, 3);
  s.DateFormat.DateSeparator = P.ConsumeIntegral<char>();
  s.DateFormat.TimeSeparator = P.ConsumeIntegral<char>();
  s.DateFormat.YearLength = PickEnum<TYearLength>(P, 3);
  s.DateFormat.MonthName = P.ConsumeBool();
  s.DateFormat.DateOrder = PickEnum<TDateOrder>(P, 3);
  s.DateFormat.DateForTime = PickEnum<TDateForTime>(P, 4);
  s.ScaleType = PickEnum<TScaleType>(P, 4);
  s.Width = P.ConsumeBool() ? P.ConsumeIntegralInRange<int>(0, 2000) : P.ConsumeIntegralInRange<int>(0, kMaxWidgetSize);
  s.Height = P.ConsumeBool() ? P.ConsumeIntegralInRange<int>(0, 2000) : P.ConsumeIntegralInRange<int>(0, kMaxWidgetSize);
  s.MarginLeft = Margin(P);
  s.MarginTop = Margin(P);
  s.MarginRight = Margin(P);
  s.MarginBottom = Margin(P);
  s.OffsetX = P.ConsumeIntegralInRange<int>(-kMaxWidgetSize, kMaxWidgetSize);
  s.OffsetY = P.ConsumeIntegralInRange<int>(-kMaxWidgetSize, kMaxWidgetSize);
  s.UserTickText = P.ConsumeRandomLengthString(64);
  s.ScaleInscript = P.ConsumeRandomLengthString(32);
  return s;
}

void CheckWalk(const TScaleSettings& S, const TScaleTransform& T, int CharWidth)
{
  const TTextMeasure measure = [CharWidth](const std::string& Text) {
    return TPoint{CharWidth * static_cast<int>(std::min<std::size_t>(Text.size(), 1000)), 13};
  };
  const TScaleWalk w = WalkScale(S, T, measure);
  fuzz::Check(w.Ticks.size() <= static_cast<std::size_t>(ScaleMaxTicks), "more ticks than the cap",
              std::to_string(w.Ticks.size()));
  fuzz::Check(w.TickValues.size() <= static_cast<std::size_t>(ScaleTickListSize), "tick list too long");
  // The longest label: the user's text or a number or date, with the inscript around it.
  const std::size_t maxLabel = S.UserTickText.size() + S.ScaleInscript.size() + 64;
  for (const TScaleTick& t : w.Ticks) {
    fuzz::Check(std::isfinite(t.Value), "a tick value is not finite");
    fuzz::Check(t.Label.Text.size() <= maxLabel, "label longer than its sources", t.Label.Text);
    fuzz::Check(t.DateLine.Text.size() <= maxLabel, "date line longer than its sources", t.DateLine.Text);
  }
  for (double v : w.TickValues)
    fuzz::Check(std::isfinite(v), "a recorded tick value is not finite");
}

void CheckZoomPan(FuzzedDataProvider& P, const TScaleSettings& S)
{
  static constexpr TMouseActMode actions[] = {maNone, maPan, maZoom, maZoomDrag, maRubberBand, maPanHoriz};
  TZoomPanInput in;
  in.Width = S.Width;
  in.Height = S.Height;
  in.MarginLeft = S.MarginLeft;
  in.MarginTop = S.MarginTop;
  in.MarginRight = S.MarginRight;
  in.MarginBottom = S.MarginBottom;
  in.Logarithmic = S.Logarithmic;
  in.Horizontal = S.ScaleType == sctXB || S.ScaleType == sctXT;
  in.Action = actions[P.ConsumeIntegralInRange<int>(0, std::size(actions) - 1)];
  // The drag began inside the widget; the pointer may have left it since.
  in.AnchorX = P.ConsumeIntegralInRange<int>(0, std::max(S.Width - 1, 0));
  in.AnchorY = P.ConsumeIntegralInRange<int>(0, std::max(S.Height - 1, 0));
  in.X = P.ConsumeIntegralInRange<int>(-kMaxWidgetSize, kMaxWidgetSize);
  in.Y = P.ConsumeIntegralInRange<int>(-kMaxWidgetSize, kMaxWidgetSize);
  in.AnchorLow = S.RangeLow;
  in.AnchorHigh = S.RangeHigh;
  in.Low = P.ConsumeBool() ? S.RangeLow : RangeValue(P);
  in.High = P.ConsumeBool() ? S.RangeHigh : RangeValue(P);
  double lo = 0, hi = 0;
  if (CalcZoomPan(in, lo, hi))
    fuzz::Check(std::isfinite(lo) && std::isfinite(hi) && lo != hi, "a drag gave no range");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
  FuzzedDataProvider p(Data, Size);
  const TScaleSettings s = Settings(p);
  TScaleTransform previous;
  if (p.ConsumeBool()) {
    previous.ScaleFactor = p.ConsumeFloatingPoint<double>();
    previous.ScaleOffset = p.ConsumeFloatingPoint<double>();
  }
  const TScaleTransform t = CalcScaleTransform(previous, s.ScaleType, s.RangeLow, s.RangeHigh, s.Logarithmic, s.Width,
                                               s.Height, s.MarginLeft, s.MarginTop, s.MarginRight, s.MarginBottom);
  for (int i = 0; i < 4; ++i)
    (void)t.ValueToPos(RangeValue(p));
  CheckWalk(s, t, p.ConsumeIntegralInRange<int>(0, 20));
  CheckZoomPan(p, s);
  return 0;
}
