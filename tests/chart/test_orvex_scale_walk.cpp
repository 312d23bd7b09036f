// Tick spacing, label helpers and the four tick walks, without a window: a walk is a value of
// ticks and recorded values, measured here with a fixed-width font of 6 x 10 pixels per character.
#include "orvex_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace orvex;

namespace {

const TTextMeasure FixedFont = [](const std::string& Text) {
  return TPoint{6 * static_cast<int>(Text.size()), 10};
};

TScaleWalk Walk(TScaleSettings S) {
  const TScaleTransform t = CalcScaleTransform({}, S.ScaleType, S.RangeLow, S.RangeHigh, S.Logarithmic, S.Width,
                                               S.Height, S.MarginLeft, S.MarginTop, S.MarginRight, S.MarginBottom);
  return WalkScale(S, t, FixedFont);
}

TScaleSettings Range(double Low, double High, int MinTicks, TScaleType Type = sctXB) {
  TScaleSettings s;
  s.RangeLow = Low;
  s.RangeHigh = High;
  s.MinTicks = MinTicks;
  s.ScaleType = Type;
  return s;
}

std::vector<double> Values(const TScaleWalk& W, bool Long) {
  std::vector<double> v;
  for (const TScaleTick& t : W.Ticks)
    if (t.Long == Long) v.push_back(t.Value);
  return v;
}

std::vector<std::string> Labels(const TScaleWalk& W) {
  std::vector<std::string> v;
  for (const TScaleTick& t : W.Ticks)
    if (t.Labelled) v.push_back(t.Label.Text);
  return v;
}

void ExpectNear(const std::vector<double>& Got, const std::vector<double>& Want, double Tol = 1e-9) {
  ASSERT_EQ(Got.size(), Want.size());
  for (std::size_t i = 0; i < Got.size(); ++i) EXPECT_NEAR(Got[i], Want[i], Tol) << "at " << i;
}

// 1 January 2000 as a day number
constexpr double Jan2000 = 36526;

}  // namespace

TEST(ScaleTicks, NiceSpacingOfNumericAxes) {
  struct Row {
    int MinTicks;
    long double Low, High, First, Distance;
    int Sub;
  };
  const Row rows[] = {
      {3, 0, 100, 0, 20, 4},       {5, 0, 100, 0, 10, 5},      // exact 20 selects 10
      {3, 0, 1, 0, 0.2L, 4},       {3, -0.3L, 0.3L, -0.3L, 0.1L, 5},
      {3, 100, 0, 100, -20, 4},    {4, 0, 250, 0, 50, 5},      // 62.5 -> 50
      {3, 7, 13, 7, 1, 5},              {2, -1000, -10, -1000, 200, 4},
      {0, 2.5L, 8, 3, 1, 5},       {0, 0, 50, 0, 1, 1},
      {0, 8, 2.5L, 8, -1, 5},      {0, 1e-6L, -50, 0, -1, 1},  // reversed: unit steps down
  };
  for (const Row& r : rows) {
    long double first, dist;
    std::uint16_t sub;
    CalcScaleTicks(r.MinTicks, r.Low, r.High, first, dist, sub);
    EXPECT_NEAR(static_cast<double>(dist), static_cast<double>(r.Distance), 1e-12) << r.Low << ".." << r.High;
    EXPECT_NEAR(static_cast<double>(first), static_cast<double>(r.First), 1e-12) << r.Low << ".." << r.High;
    EXPECT_EQ(sub, r.Sub) << r.Low << ".." << r.High;
  }
  // a range where adding a step of 1 changes nothing still ends
  long double first, dist;
  std::uint16_t sub;
  CalcScaleTicks(0, 1e17L, 1e17L + 64, first, dist, sub);
  EXPECT_EQ(dist, 1);
}

TEST(ScaleLabels, DecimalsNumbersItemsAndInscripts) {
  const std::pair<double, int> linear[] = {{1, 2}, {10, 1}, {50, 0}, {0.1, 3}, {0.001, 5},
                                           {100, 0}, {1e6, -1}, {1e-4, -1}};
  for (auto [r, d] : linear) {
    EXPECT_EQ(AutoDecimals(-2, r, 0), d) << r;
    EXPECT_EQ(AutoDecimals(-3, 0, r), d) << r;
  }
  EXPECT_EQ(AutoDecimals(3, 0, 1e9), 3);
  EXPECT_EQ(AutoDecimals(-1, 0, 1), -1);
  EXPECT_EQ(AutoDecimalsLog(-2, 1000, 1), 0);
  EXPECT_EQ(AutoDecimalsLog(-2, 0.01, 10), 3);  // 1 - Round(log10 0.01)
  EXPECT_EQ(AutoDecimalsLog(-2, 1, 2e6), -1);
  EXPECT_EQ(AutoDecimalsLog(-3, 1, 1000), -3);

  EXPECT_EQ(FormatTickNumber(2.5, 2), "2.50");
  EXPECT_EQ(FormatTickNumber(-20, 0), "-20");
  EXPECT_EQ(FormatTickNumber(1234, -1), " 1.2E+03");

  const std::string three = "a|b|c";
  const char* want[] = {"", "a", "b", "c", "c", "c"};
  for (int i = 0; i <= 5; ++i) EXPECT_EQ(UserTickItem(three, i), want[i]) << i;
  EXPECT_EQ(UserTickItem("a|b|c|", 3), "c");
  EXPECT_EQ(UserTickItem("a|b|c|", 4), "");
  EXPECT_EQ(UserTickItem("a|b|c|", 9), "");
  EXPECT_EQ(UserTickItem("", 1), "");
  EXPECT_EQ(UserTickItem("||x", 2), "");

  EXPECT_EQ(ApplyInscript("12", "$"), "$12");
  EXPECT_EQ(ApplyInscript("12", "& kg"), "12 kg");
  EXPECT_EQ(ApplyInscript("5", "<&>&"), "<5>&");
  EXPECT_EQ(ApplyInscript("", "$"), "");
}

TEST(ScaleLabels, SecondsAndDates) {
  EXPECT_EQ(FormatSeconds(5400, false), " 01:30:00");
  EXPECT_EQ(FormatSeconds(-1.5, true), "-00:00:01.500");
  EXPECT_EQ(FormatSeconds(360000, false), " 100:00:00");
  EXPECT_EQ(FormatSeconds(0.25, true), " 00:00:00.250");
  EXPECT_EQ(FormatSeconds(59.9996, true), " 00:01:00.000");

  EXPECT_EQ(DateLabelFormat(true, ylYYYY, doDDMMYY, '-'), "dd\"-\"mmm\"-\"yyyy");
  EXPECT_EQ(DateLabelFormat(false, ylYY, doMMDDYY, '/'), "mm\"/\"dd\"/\"yy");
  EXPECT_EQ(DateLabelFormat(false, ylNone, doMMDDYY, '/'), "mm\"/\"dd");
  EXPECT_EQ(DateLabelFormat(true, ylYYYY, doYYMMDD, '.'), "yyyy\".\"mmm\".\"dd");
  EXPECT_EQ(DateLabelFormat(true, ylNone, doYYMMDD, '.'), "mmm\".\"dd");

  EXPECT_EQ(FormatDateValue("dd.mm.yyyy", 0), "30.12.1899");
  EXPECT_EQ(FormatDateValue("d mmm yy", Jan2000), "1 Jan 00");
  EXPECT_EQ(FormatDateValue("yyyy-mm-dd", 2958465), "9999-12-31");
  EXPECT_EQ(FormatDateValue("yyyy-mm-dd", -693593), "0001-01-01");
  EXPECT_EQ(FormatDateValue("dd\"d\"mmm", Jan2000 + 59), "29dFeb");  // 2000 is a leap year
  EXPECT_EQ(FormatDateValue("hh:nn:ss", Jan2000 + 0.75 + 5.0 / 86400), "18:00:05");
  EXPECT_EQ(FormatDateValue("h:nnam/pm", Jan2000 + 0.75), "6:00pm");
  EXPECT_EQ(FormatDateValue("hAM/PM", Jan2000), "12AM");
  EXPECT_EQ(FormatDateValue("hh:mm", Jan2000 + 0.5 + 7.0 / 1440), "12:07");  // m after an hour
  EXPECT_EQ(FormatDateValue("ss.zz", Jan2000 + 0.005 / 86400), "00.05");
  EXPECT_EQ(FormatDateValue("ss.zz", Jan2000 + 0.5 / 86400), "00.500");
  // before day 0: the day before, with a positive time of day
  EXPECT_EQ(FormatDateValue("dd.mm.yyyy hh:nn", -1.25), "28.12.1899 18:00");
  EXPECT_EQ(FormatDateValue("dd.mm.yyyy hh:nn", -2 - 1e-10), "28.12.1899 00:00");
  EXPECT_EQ(FormatDateValue("yyyy", 4e-9), "1899");
}

TEST(ScaleWalkLinear, TicksRecordingAndLabels) {
  // 0..100, MinTicks 3: long ticks every 20, short ticks every 5
  TScaleWalk h = Walk(Range(0, 100, 3, sctXB));
  ExpectNear(Values(h, true), {0, 20, 40, 60, 80, 100});
  EXPECT_EQ(Values(h, false).size(), 21u);
  EXPECT_EQ(Labels(h), (std::vector<std::string>{"0", "20", "40", "60", "80", "100"}));
  // a horizontal scale with short ticks records the short ticks only, a vertical one both
  EXPECT_EQ(h.TickValues.size(), 21u);
  EXPECT_EQ(Walk(Range(0, 100, 3, sctYL)).TickValues.size(), 27u);
  TScaleSettings noShort = Range(0, 100, 5);
  noShort.ShortTicks = false;
  ExpectNear(Walk(noShort).TickValues, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100});

  // 0..1: two decimals, short step 0.05
  TScaleWalk unit = Walk(Range(0, 1, 3));
  EXPECT_EQ(Labels(unit), (std::vector<std::string>{"0.00", "0.20", "0.40", "0.60", "0.80", "1.00"}));
  EXPECT_NEAR(Values(unit, false)[1], 0.05, 1e-12);

  // the tick next to zero reads "0.00" and its event value is exactly 0
  TScaleWalk sym = Walk(Range(-0.3, 0.3, 3));
  EXPECT_EQ(Labels(sym), (std::vector<std::string>{"-0.30", "-0.20", "-0.10", "0.00", "0.10", "0.20", "0.30"}));
  EXPECT_EQ(Values(sym, true)[3], 0.0);

  // DecPlaces 0 labels only the whole numbers
  TScaleSettings whole = Range(0, 1, 3);
  whole.DecPlaces = 0;
  EXPECT_EQ(Labels(Walk(whole)), (std::vector<std::string>{"0", "", "", "", "", "1"}));

  // reversed range: the walk runs from RangeLow down to RangeHigh
  ExpectNear(Values(Walk(Range(100, 0, 3)), true), {100, 80, 60, 40, 20, 0});

  // inscripts and user texts
  TScaleSettings money = Range(0, 4, 3);
  money.ScaleInscript = "$&/h";
  EXPECT_EQ(Labels(Walk(money)), (std::vector<std::string>{"$0.0/h", "$1.0/h", "$2.0/h", "$3.0/h", "$4.0/h"}));
  TScaleSettings user = Range(0, 4, 3);
  user.LabelType = ftUserText;
  user.UserTickText = "a|b|c";
  EXPECT_EQ(Labels(Walk(user)), (std::vector<std::string>{"a", "b", "c", "c", "c"}));
  user.UserTickText = "a|b|c|";
  EXPECT_EQ(Labels(Walk(user)), (std::vector<std::string>{"a", "b", "c", "", ""}));
  // the 14-character cut applies to the number before the user text or inscript: neither is cut
  user.UserTickText = "twenty characters!!!|x";
  EXPECT_EQ(Labels(Walk(user))[0], "twenty characters!!!");
  TScaleSettings kilos = Range(0, 1, 3);
  kilos.DecPlaces = 12;  // "0.000000000000" is 14 characters, "0.200000000000" too
  kilos.ScaleInscript = "& kg";
  const std::vector<std::string> kg = Labels(Walk(kilos));
  ASSERT_FALSE(kg.empty());
  EXPECT_EQ(kg.front(), "0.000000000000 kg");
  TScaleSettings longer = Range(1, 2, 3);
  longer.DecPlaces = 12;  // a 14-character number stays whole between the two parts
  longer.ScaleInscript = "~&~";
  EXPECT_EQ(Labels(Walk(longer)).front(), "~1.000000000000~");
  TScaleSettings none = Range(0, 4, 3);
  none.LabelType = ftNoFigs;
  EXPECT_TRUE(Labels(Walk(none)).empty());
}

TEST(ScaleWalkLinear, LongNumbersTurnScientificInsteadOfCut) {
  TScaleSettings s = Range(1e14, 2e14, 3);
  s.DecPlaces = 2;  // "100000000000000.00" would be 18 characters
  const std::vector<std::string> labels = Labels(Walk(s));
  ASSERT_FALSE(labels.empty());
  EXPECT_EQ(labels.front(), " 1.0E+14");
  for (const std::string& l : labels) EXPECT_LE(l.size(), 14u) << l;
}

TEST(ScaleWalkLinear, WalksAreBounded) {
  // MinTicks 0 over 1e12 units would be a trillion ticks
  TScaleWalk w = Walk(Range(0, 1e12, 0));
  EXPECT_EQ(w.Ticks.size(), static_cast<std::size_t>(ScaleMaxTicks));
  EXPECT_EQ(w.TickValues.size(), static_cast<std::size_t>(ScaleTickListSize));
  TScaleWalk huge = Walk(Range(1e17, 1e17 + 64, 0));
  EXPECT_LE(huge.Ticks.size(), static_cast<std::size_t>(ScaleMaxTicks));
  EXPECT_TRUE(Walk(Range(0, NAN, 3)).Ticks.empty());
  // a reversed axis with MinTicks 0 walks down to High and stops
  TScaleSettings reversed = Range(1e-6, -1e6, 0);
  reversed.ShortTicks = true;
  TScaleWalk down = Walk(reversed);
  ASSERT_EQ(down.Ticks.size(), static_cast<std::size_t>(ScaleMaxTicks));
  EXPECT_NEAR(down.Ticks.front().Value, 0, 1e-12);
  for (const TScaleTick& t : down.Ticks) EXPECT_LE(t.Value, 1e-6);
  ExpectNear(Values(Walk(Range(3, -2, 0)), true), {3, 2, 1, 0, -1, -2});
}

TEST(ScaleWalkLinear, HugeMarginsAndOffsetsSaturateInsteadOfOverflowing) {
  // sizes, margins and offsets are each only bounded by the int range
  TScaleSettings s = Range(0, 100, 3);
  s.MarginLeft = s.MarginRight = 2000000000;
  const TScaleTransform t = CalcScaleTransform({}, s.ScaleType, 0, 100, false, s.Width, s.Height, s.MarginLeft,
                                               s.MarginTop, s.MarginRight, s.MarginBottom);
  EXPECT_EQ(t.ScaleFactor, 0);  // no room left between the margins
  EXPECT_EQ(t.ScaleOffset, s.Width / 2);
  s.ScaleType = sctXB;
  s.Height = 16777215;
  s.OffsetY = 2147483000;
  s.MarginBottom = 0;
  const TScaleWalk w = WalkScale(s, t, FixedFont);
  EXPECT_EQ(w.BaseY, 2147483647);
  ASSERT_FALSE(w.Ticks.empty());
  for (const TScaleTick& k : w.Ticks) {
    EXPECT_EQ(k.Base.Y, 2147483647);
    EXPECT_EQ(k.End.Y, 2147483647 - (k.Long ? 7 : 4));
  }
  s.ScaleType = sctYR;
  s.OffsetX = -2147483000;
  s.Width = 10;
  s.MarginRight = 2000000000;
  EXPECT_EQ(WalkScale(s, t, FixedFont).BaseX, -2147483647);
}

TEST(ScaleWalkLog, DecadesIntermediatesAndExponents) {
  TScaleSettings s = Range(1, 1000, 3);
  s.Logarithmic = true;
  TScaleWalk w = Walk(s);
  ExpectNear(Values(w, true), {1, 10, 100, 1000});
  EXPECT_TRUE(Values(w, false).empty());
  EXPECT_EQ(Labels(w), (std::vector<std::string>{"1", "10", "100", "1000"}));

  s.MinTicks = 5;  // more than q + 0.5 = 3.5: 2 and 5 labelled, the rest short
  w = Walk(s);
  ExpectNear(Values(w, true), {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000}, 1e-9);
  EXPECT_EQ(Values(w, false).size(), 18u);
  EXPECT_EQ(w.TickValues.size(), 28u);
  EXPECT_EQ(Labels(w)[4], "20");

  s.DecPlaces = -3;
  EXPECT_EQ(Labels(Walk(s)), (std::vector<std::string>{"0", "", "", "1", "", "", "2", "", "", "3"}));

  // fractional decades: trailing zeros removed with DecPlaces -2
  TScaleSettings f = Range(0.01, 10, 6);
  f.Logarithmic = true;
  const std::vector<std::string> fl = Labels(Walk(f));
  ASSERT_EQ(fl.size(), 10u);
  EXPECT_EQ(fl[0], "0.01");
  EXPECT_EQ(fl[2], "0.05");
  EXPECT_EQ(fl[4], "0.2");
  EXPECT_EQ(fl[9], "10");

  // less than a decade is walked linearly
  TScaleSettings narrow = Range(2, 8, 3);
  narrow.Logarithmic = true;
  ExpectNear(Values(Walk(narrow), true), {2, 3, 4, 5, 6, 7, 8});  // the exact 2 selects 1
}

TEST(ScaleWalkTime, ElapsedSeconds) {
  TScaleSettings s = Range(0, 3600, 3);
  s.LabelType = ftTime;
  TScaleWalk w = Walk(s);
  EXPECT_EQ(Labels(w), (std::vector<std::string>{" 00:00:00", " 00:20:00", " 00:40:00", " 01:00:00"}));
  EXPECT_EQ(Values(w, false).size(), 19u);  // every 200 s
  EXPECT_NEAR(Values(w, false)[1], 200, 1e-9);

  // only the short ticks are recorded: the long ticks at 0, 1200, ... are not listed twice, and
  // without short ticks the list stays empty, on either orientation
  for (TScaleType type : {sctXB, sctYL}) {
    TScaleSettings o = s;
    o.ScaleType = type;
    ExpectNear(Walk(o).TickValues, Values(Walk(o), false));
    o.ShortTicks = false;
    const TScaleWalk off = Walk(o);
    EXPECT_EQ(Values(off, true).size(), 4u);
    EXPECT_TRUE(off.TickValues.empty()) << type;
  }

  s.RangeHigh = 3;  // 1 s per interval: milliseconds shown below index 10 only
  EXPECT_EQ(Labels(Walk(s))[1], " 00:00:01");
  s.RangeHigh = 1.5;  // 0.5 s steps
  EXPECT_EQ(Labels(Walk(s))[1], " 00:00:00.500");

  // a day or more per interval, or no interval count: plain numbers
  s.RangeHigh = 3 * 86400;
  EXPECT_EQ(Labels(Walk(s))[1], "50000");
  s.RangeHigh = 3600;
  s.MinTicks = 0;
  EXPECT_EQ(Labels(Walk(s))[1], "1");
}

TEST(ScaleWalkCalendar, DaysMonthsYears) {
  // ten days from 5 January 2000 noon: steps of 3 days counted from 1 January
  TScaleSettings d = Range(Jan2000 + 4.5, Jan2000 + 14.5, 3);
  d.LabelType = ftDateTime;
  TScaleWalk w = Walk(d);
  ExpectNear(Values(w, true), {Jan2000 + 6, Jan2000 + 9, Jan2000 + 12});
  EXPECT_EQ(Labels(w), (std::vector<std::string>{"07-Jan-2000", "10-Jan-2000", "13-Jan-2000"}));
  EXPECT_EQ(w.TickValues.size(), 10u);

  // a year in months of 4: January, May, September
  TScaleSettings m = Range(Jan2000, Jan2000 + 366, 3);
  m.LabelType = ftDateTime;
  w = Walk(m);
  EXPECT_EQ(Labels(w), (std::vector<std::string>{"Jan-2000", "May-2000", "Sep-2000", "Jan-2001"}));
  EXPECT_EQ(Values(w, false).size(), 9u);
  m.ShortTicks = false;
  m.DateFormat.DateOrder = doYYMMDD;
  m.DateFormat.YearLength = ylYY;
  EXPECT_EQ(Labels(Walk(m)), (std::vector<std::string>{"00-May", "00-Sep", "01-Jan"}));

  // thirty years up to the end of 9999: decades long, fives short, a last tick on 31 December 9999
  TScaleSettings y = Range(2958465 - 10957.5, 2958470, 3);
  y.LabelType = ftDateTime;
  w = Walk(y);
  EXPECT_EQ(Labels(w), (std::vector<std::string>{"9970", "9980", "9990"}));
  EXPECT_EQ(Values(w, false).size(), 3u);
  ASSERT_FALSE(w.Ticks.empty());
  EXPECT_EQ(w.Ticks.back().Value, 2958465);
  EXPECT_TRUE(w.Ticks.back().Long);
}

TEST(ScaleWalkCalendar, ClockWalksAndDateLines) {
  TScaleSettings s = Range(Jan2000, Jan2000 + 1, 3);
  s.LabelType = ftDateTime;
  TScaleWalk w = Walk(s);  // hours: long every 8 h, short every 2 h
  EXPECT_EQ(Labels(w), (std::vector<std::string>{"00:00", "08:00", "16:00", "00:00"}));
  EXPECT_EQ(w.Ticks.size(), 13u);
  std::vector<std::string> dates;
  for (const TScaleTick& t : w.Ticks)
    if (t.HasDateLine) dates.push_back(t.DateLine.Text);
  EXPECT_EQ(dates, (std::vector<std::string>{"01-Jan-2000", "02-Jan-2000"}));

  s.DateFormat.TimeFormat = tfAMPM;
  s.DateFormat.DateForTime = dtOnePerChart;
  w = Walk(s);
  EXPECT_EQ(Labels(w), (std::vector<std::string>{"12am", "8am", "4pm", "12am"}));
  EXPECT_TRUE(w.Ticks.front().HasDateLine);
  EXPECT_FALSE(w.Ticks.back().HasDateLine);

  // ninety minutes from 10:15: 30-minute steps; a vertical scale also walks hundredths
  TScaleSettings mn = Range(Jan2000 + 10.25 / 24, Jan2000 + 11.75 / 24, 3);
  mn.LabelType = ftDateTime;
  mn.ShortTicks = false;
  mn.DateFormat.TimeFormat = tfHHhMM;
  mn.DateFormat.DateForTime = dtNone;
  EXPECT_EQ(Labels(Walk(mn)), (std::vector<std::string>{"10h30", "11h00", "11h30"}));
  TScaleSettings hs = Range(Jan2000, Jan2000 + 0.3 / 86400, 3, sctYL);
  hs.LabelType = ftDateTime;
  hs.ShortTicks = false;
  hs.DateFormat.DateForTime = dtNone;
  EXPECT_EQ(Labels(Walk(hs)), (std::vector<std::string>{"00:00:00.00", "00:00:00.100", "00:00:00.200", "00:00:00.300"}));
}

TEST(ScaleWalkCalendar, FailureTextsAndNoIntervalCount) {
  TScaleSettings s = Range(Jan2000 + 1, Jan2000, 3);
  s.LabelType = ftDateTime;
  TScaleWalk w = Walk(s);
  ASSERT_EQ(w.Message.size(), 1u);
  EXPECT_EQ(w.Message[0].Text, "invalid DateTime scale");
  EXPECT_TRUE(w.Ticks.empty());
  s.ScaleType = sctYR;
  w = Walk(s);
  ASSERT_EQ(w.Message.size(), 3u);
  EXPECT_EQ(w.Message[2].Text, "scale");
  EXPECT_EQ(w.Message[1].Pos.Y - w.Message[0].Pos.Y, 10);
  EXPECT_EQ(w.Message[0].Pos.X, w.BaseX - 2 - 6 * 7);  // right-aligned "invalid"

  TScaleSettings tiny = Range(Jan2000, Jan2000 + 1e-6, 3);
  tiny.LabelType = ftDateTime;
  w = Walk(tiny);
  ASSERT_EQ(w.Message.size(), 1u);
  EXPECT_EQ(w.Message[0].Text, "DateTime range is below 1 second");
  tiny.ScaleType = sctYL;
  tiny.RangeHigh = Jan2000 + 1e-8;
  EXPECT_EQ(Walk(tiny).Message.size(), 4u);

  tiny.MinTicks = 0;
  w = Walk(tiny);
  EXPECT_TRUE(w.Ticks.empty());
  EXPECT_TRUE(w.Message.empty());
}

TEST(ScaleGeometry, TickLengthsAndLabelPlaces) {
  TScaleWalk xb = Walk(Range(0, 100, 3, sctXB));
  const TScaleTick& first = xb.Ticks.front();  // the short tick at 0
  EXPECT_EQ(xb.BaseY, 400 - 20 - 1);
  EXPECT_EQ(first.Base.X, 20);
  EXPECT_EQ(first.Base.Y - first.End.Y, 4);
  const TScaleTick& long0 = xb.Ticks[21];
  ASSERT_TRUE(long0.Long);
  EXPECT_EQ(long0.Base.Y - long0.End.Y, 7);
  EXPECT_EQ(long0.Label.Rect.Top, xb.BaseY - 10 - 7);
  const TScaleTick& long20 = xb.Ticks[22];
  EXPECT_EQ(long20.Label.Rect.Left, long20.Base.X - 6);  // "20" centred

  // kept inside the control at the right edge
  TScaleSettings edge = Range(0, 100, 3, sctXT);
  edge.MarginRight = 0;
  TScaleWalk xt = Walk(edge);
  const TScaleTick& last = xt.Ticks.back();
  EXPECT_EQ(last.Base.X, 399);
  EXPECT_EQ(last.Label.Rect.Left, 400 - 18 - 2);  // "100": width 18
  EXPECT_EQ(last.End.Y - last.Base.Y, 7);
  EXPECT_EQ(last.Label.Rect.Top, xt.BaseY + 7);

  TScaleWalk yl = Walk(Range(0, 100, 3, sctYL));
  EXPECT_EQ(yl.BaseX, 20);
  const TScaleTick& top = yl.Ticks.back();
  EXPECT_EQ(top.Base.Y, 20);
  EXPECT_EQ(top.End.X - top.Base.X, 6);
  EXPECT_EQ(top.Label.Rect.Left, 28);
  EXPECT_EQ(top.Label.Rect.Top, 20 - 5);
  TScaleWalk yr = Walk(Range(0, 100, 3, sctYR));
  EXPECT_EQ(yr.BaseX, 379);
  EXPECT_EQ(yr.Ticks.back().Label.Rect.Left, 379 - 18 - 8);
  EXPECT_EQ(yr.Ticks.front().Base.X - yr.Ticks.front().End.X, 4);
}

TEST(ScaleTransform, MappingAndLimits) {
  TScaleTransform h = CalcScaleTransform({}, sctXB, 0, 100, false, 400, 400, 20, 20, 20, 20);
  EXPECT_EQ(h.ValueToPos(0), 20);
  EXPECT_EQ(h.ValueToPos(100), 379);
  TScaleTransform v = CalcScaleTransform({}, sctYL, 0, 100, false, 400, 400, 20, 20, 20, 20);
  EXPECT_EQ(v.ValueToPos(100), 20);
  EXPECT_EQ(v.ValueToPos(0), 379);
  TScaleTransform l = CalcScaleTransform({}, sctXB, 1, 1000, true, 400, 400, 20, 20, 20, 20);
  EXPECT_EQ(l.ValueToPos(1), 20);
  EXPECT_EQ(l.ValueToPos(1000), 379);
  EXPECT_EQ(l.ValueToPos(10), 140);  // 20 + 359 / 3
  EXPECT_EQ(l.ValueToPos(0), 0);
  // a logarithmic range with a non-positive end keeps the old mapping
  TScaleTransform kept = CalcScaleTransform(h, sctXB, -1, 10, true, 400, 400, 20, 20, 20, 20);
  EXPECT_EQ(kept.ScaleFactor, h.ScaleFactor);
  // too small for its margins: every value in the middle
  TScaleTransform small = CalcScaleTransform({}, sctXB, 0, 100, false, 30, 400, 20, 20, 20, 20);
  EXPECT_EQ(small.ValueToPos(0), 15);
  EXPECT_EQ(small.ValueToPos(1e300), 15);
  EXPECT_EQ(small.ValueToPos(INFINITY), -2147483647);  // 0 * infinity is no position
  // non-finite values
  EXPECT_EQ(h.ValueToPos(NAN), -2147483647);
  EXPECT_EQ(h.ValueToPos(INFINITY), 2147483647);
  EXPECT_EQ(h.ValueToPos(-INFINITY), -2147483647);
  EXPECT_EQ(h.ValueToPos(1e300), 2147483647);
}

TEST(ScaleZoomPan, PanZoomAndZoomDrag) {
  TZoomPanInput in;
  in.AnchorX = 100;
  in.AnchorY = 100;
  in.AnchorLow = in.Low = 0;
  in.AnchorHigh = in.High = 100;
  in.MarginLeft = in.MarginRight = in.MarginTop = in.MarginBottom = 20;
  in.Width = in.Height = 400;
  double lo = 0, hi = 0;
  in.Action = maNone;
  EXPECT_FALSE(CalcZoomPan(in, lo, hi));
  in.Action = maRubberBand;
  EXPECT_FALSE(CalcZoomPan(in, lo, hi));

  in.Action = maPan;
  in.X = 136;  // 36 of 360 pixels: a tenth of the range
  ASSERT_TRUE(CalcZoomPan(in, lo, hi));
  EXPECT_DOUBLE_EQ(lo, -10);
  EXPECT_DOUBLE_EQ(hi, 90);
  in.Horizontal = false;
  in.X = 100;
  in.Y = 172;
  ASSERT_TRUE(CalcZoomPan(in, lo, hi));
  EXPECT_DOUBLE_EQ(lo, 20);
  EXPECT_DOUBLE_EQ(hi, 120);
  in.Logarithmic = true;
  in.AnchorLow = in.Low = 1;
  in.AnchorHigh = in.High = 1000;
  in.Y = 100 + 120;  // a third of the span: one decade
  ASSERT_TRUE(CalcZoomPan(in, lo, hi));
  EXPECT_NEAR(lo, 10, 1e-9);
  EXPECT_NEAR(hi, 10000, 1e-6);

  // zoom: the value under the anchor follows the pointer, the far end stays
  in = {};
  in.AnchorLow = in.Low = 0;
  in.AnchorHigh = in.High = 100;
  in.MarginLeft = in.MarginRight = 20;
  in.Width = in.Height = 400;
  in.Action = maZoom;
  in.AnchorX = 290;  // right half: High moves
  in.X = 200;
  ASSERT_TRUE(CalcZoomPan(in, lo, hi));
  EXPECT_DOUBLE_EQ(lo, 0);
  EXPECT_DOUBLE_EQ(hi, 100.0 * 270 / 180);
  in.AnchorX = 110;  // left half: Low moves
  in.X = 200;
  ASSERT_TRUE(CalcZoomPan(in, lo, hi));
  EXPECT_DOUBLE_EQ(lo, 100 - 100.0 * 270 / 180);
  EXPECT_DOUBLE_EQ(hi, 100);
  in.X = 380;  // on the far edge: no range
  EXPECT_FALSE(CalcZoomPan(in, lo, hi));

  in.Action = maZoomDrag;
  in.AnchorX = 200;
  in.X = 300;  // a quarter of the width narrows the range to three quarters around the middle
  ASSERT_TRUE(CalcZoomPan(in, lo, hi));
  EXPECT_DOUBLE_EQ(lo, 50 - 37.5);
  EXPECT_DOUBLE_EQ(hi, 50 + 37.5);
}

// The scale maps through the same axis mapping as the chart's layers: every pixel of its span
// goes to a value and back to itself, on both orientations, linear and logarithmic, reversed too.
TEST(ScaleTransform, PixelToValueToPixelIsTheIdentityOnEveryPixel) {
  struct Case {
    TScaleType Type;
    double Low, High;
    bool Log;
  };
  const Case cases[] = {{sctXB, -3.7, 12.9, false}, {sctYL, 0, 1, false},        {sctXT, 1e-3, 1e5, true},
                        {sctYR, 250, 0.02, true},   {sctXB, 1e12, 1e12 + 1, false}, {sctYL, 5, -5, false}};
  for (const Case& c : cases) {
    const TScaleTransform t = CalcScaleTransform({}, c.Type, c.Low, c.High, c.Log, 837, 611, 41, 17, 23, 29);
    const bool horizontal = c.Type == sctXB || c.Type == sctXT;
    const int first = horizontal ? 41 : 17, last = horizontal ? 837 - 23 - 1 : 611 - 29 - 1;
    int failures = 0;
    for (int p = first; p <= last; ++p)
      failures += t.ValueToPos(t.Map.ToWorld(p)) != p;
    EXPECT_EQ(failures, 0) << c.Low << ".." << c.High;
    // the ends of the range sit on the span's end pixels
    EXPECT_EQ(t.ValueToPos(c.Low), horizontal ? first : last);
    EXPECT_EQ(t.ValueToPos(c.High), horizontal ? last : first);
  }
}

// A pan keeps the value under the pointer under it, in pixels of the drag's own mapping; a linear
// zoom moves the value under the anchor to the pointer. Checked through the mapping of the result.
TEST(ScaleZoomPan, TheValueUnderThePointerStaysOnItsPixel) {
  for (bool log : {false, true}) {
    for (bool horizontal : {true, false}) {
      TZoomPanInput in;
      in.Logarithmic = log;
      in.Horizontal = horizontal;
      in.AnchorLow = in.Low = log ? 0.5 : -2;
      in.AnchorHigh = in.High = log ? 5e4 : 7;
      in.MarginLeft = 33, in.MarginRight = 11, in.MarginTop = 9, in.MarginBottom = 27;
      in.Width = 640, in.Height = 480;
      const long double pl = horizontal ? 33 : 480 - 27, ph = horizontal ? 640 - 11 : 9;
      const TAxisMap before = TAxisMap::Make(in.AnchorLow, in.AnchorHigh, log, pl, ph, 0, 0);
      in.AnchorX = 200, in.AnchorY = 300;
      in.X = 257, in.Y = 233;
      const long double from = horizontal ? in.AnchorX : in.AnchorY, to = horizontal ? in.X : in.Y;
      double lo = 0, hi = 0;
      in.Action = maPan;
      ASSERT_TRUE(CalcZoomPan(in, lo, hi));
      TAxisMap after = TAxisMap::Make(lo, hi, log, pl, ph, 0, 0);
      EXPECT_EQ(after.ToPixel(before.ToWorld(from)), static_cast<int>(to)) << log << horizontal;
      if (log) continue;
      in.Action = maZoom;
      ASSERT_TRUE(CalcZoomPan(in, lo, hi));
      after = TAxisMap::Make(lo, hi, log, pl, ph, 0, 0);
      EXPECT_EQ(after.ToPixel(before.ToWorld(from)), static_cast<int>(to)) << horizontal;
      // the far end stays: the anchor is in the low half on X (high end kept) and on Y (the
      // lower half of the control: the top end kept)
      EXPECT_DOUBLE_EQ(hi, in.AnchorHigh);
    }
  }
}
