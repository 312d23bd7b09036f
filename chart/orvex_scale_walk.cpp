// The axis mapping, the tick walks and the range arithmetic of pan and zoom drags: plain functions
// that need no window. A walk turns (settings, mapping, text measure) into the ticks of one axis
// in drawing order, with their label texts placed, and the recorded tick list. Tick values are
// always origin + i * step; every walk stops after ScaleMaxTicks ticks.
#include "orvex_scale.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvex {

// ---------------------------------------------------------------------------------------------
// Mapping

int TScaleTransform::ValueToPos(double Value) const { return Map.ToPixel(Value); }

TScaleTransform CalcScaleTransform(const TScaleTransform& Previous, TScaleType ScaleType, double Low,
                                   double High, bool Logarithmic, int Width, int Height, int MarginLeft,
                                   int MarginTop, int MarginRight, int MarginBottom) {
  TScaleTransform t = Previous;
  if (High == Low) return t;
  t.Logarithmic = Logarithmic;
  t.RangeLow = Low;
  t.RangeHigh = High;
  t.Width = Width;
  t.Map.Logarithmic = Logarithmic;
  t.Map.LogFloorPixel = High >= Low ? 0 : Width;
  const bool horizontal = ScaleType == sctXB || ScaleType == sctXT;
  // In doubles: margins and sizes may each be up to the int limit.
  const double span = horizontal ? double(Width) - MarginLeft - MarginRight - 1
                                 : double(Height) - MarginTop - MarginBottom - 1;
  if (span <= 0) {
    t.ScaleFactor = 0;
    t.ScaleOffset = (horizontal ? Width : Height) / 2;
    t.Map.K = 0;
    t.Map.O = t.ScaleOffset;
    return t;
  }
  if (Logarithmic && !(Low > 0 && High > 0)) return t;  // the old coefficients stay
  const double lo = Logarithmic ? std::log(Low) : Low, hi = Logarithmic ? std::log(High) : High;
  if (horizontal) {
    t.ScaleFactor = span / (hi - lo);
    t.ScaleOffset = MarginLeft - lo * t.ScaleFactor;
    t.Map = TAxisMap::Make(Low, High, Logarithmic, MarginLeft, MarginLeft + static_cast<long double>(span),
                           t.ScaleOffset, t.Map.LogFloorPixel);
  } else {
    t.ScaleFactor = span / (lo - hi);
    t.ScaleOffset = MarginTop - hi * t.ScaleFactor;
    t.Map = TAxisMap::Make(Low, High, Logarithmic, MarginTop + static_cast<long double>(span), MarginTop,
                           t.ScaleOffset, t.Map.LogFloorPixel);
  }
  return t;
}

TDateLabelSettings DateLabelSettingsOf(const TDTLabel& Label) {
  TDateLabelSettings s;
  s.TimeFormat = Label.TimeFormat();
  s.DateSeparator = Label.DateSeparator();
  s.TimeSeparator = Label.TimeSeparator();
  s.YearLength = Label.YearLength();
  s.MonthName = Label.MonthName();
  s.DateOrder = Label.DateOrder();
  s.DateForTime = Label.DateForTime();
  return s;
}

// ---------------------------------------------------------------------------------------------
// Geometry

namespace {

bool IsVertical(TScaleType t) { return t == sctYL || t == sctYR; }

// Pixel arithmetic is done in 64 bits and saturated to the int range: ValueToPos may give the
// int limits, and sizes, margins and offsets are only bounded by them.
int Saturated(long long V) {
  return static_cast<int>(std::clamp<long long>(V, -2147483647LL, 2147483647LL));
}

}  // namespace

TRect PlaceTickLabel(const TScaleSettings& S, const TScaleWalk& Walk, TTickLabelPlace Place, int Along,
                     TPoint Extent, int NumberHeight) {
  const long long w = Extent.X;
  const long long h = Extent.Y;
  const long long along = Along;
  long long left, top;
  if (IsVertical(S.ScaleType)) {
    left = S.ScaleType == sctYL ? Walk.BaseX + 8LL : Walk.BaseX - w - 8;
    switch (Place) {
      case lpNumeric: top = along - NumberHeight / 2; break;
      case lpCalendar: top = along - h / 2; break;
      default: top = along - 3 * (h / 2); break;
    }
  } else {
    const long long half = w / 2;
    left = along + half < S.Width - 2LL ? along - std::min(along - 2, half) : S.Width - 2 * half - 2;
    const long long further = Place == lpDateLine ? h : 0;
    top = S.ScaleType == sctXT ? Walk.BaseY + 7LL + further : Walk.BaseY - h - 7 - further;
  }
  return {Saturated(left), Saturated(top), Saturated(left + w), Saturated(top + h)};
}

namespace {

// ---------------------------------------------------------------------------------------------
// What every walk shares: the result under construction, tick geometry, recording, labels.

struct TWalker {
  const TScaleSettings& S;
  const TScaleTransform& T;
  const TTextMeasure& Measure;
  TScaleWalk W;
  bool Vertical;
  int NumberHeight = 0;
  int LabelCount = 0;  // long labelled ticks so far (the user-text index)

  TWalker(const TScaleSettings& Settings, const TScaleTransform& Transform, const TTextMeasure& M)
      : S(Settings), T(Transform), Measure(M), Vertical(IsVertical(Settings.ScaleType)) {
    switch (S.ScaleType) {
      case sctXB: W.BaseY = Saturated(S.OffsetY + (S.Height - 1LL) - S.MarginBottom); break;
      case sctXT: W.BaseY = Saturated(S.OffsetY + static_cast<long long>(S.MarginTop)); break;
      case sctYL: W.BaseX = Saturated(S.OffsetX + static_cast<long long>(S.MarginLeft)); break;
      case sctYR: W.BaseX = Saturated(S.OffsetX + (S.Width - 1LL) - S.MarginRight); break;
    }
    NumberHeight = Measure ? Measure("0").Y : 0;
    W.TickValues.reserve(ScaleTickListSize);
  }

  bool Full() const { return W.Ticks.size() >= static_cast<std::size_t>(ScaleMaxTicks); }

  void Record(double v) {
    if (W.TickValues.size() < static_cast<std::size_t>(ScaleTickListSize)) W.TickValues.push_back(v);
  }

  // Adds a tick line at value v (Value is what the events see).
  TScaleTick& Add(double v, bool Long) {
    TScaleTick t;
    t.Value = v;
    t.Long = Long;
    const int along = T.ValueToPos(v);
    if (Vertical) {
      const long long len = Long ? 6 : 4;
      t.Base = {W.BaseX, along};
      t.End = {Saturated(S.ScaleType == sctYL ? W.BaseX + len : W.BaseX - len), along};
    } else {
      const long long len = Long ? 7 : 4;
      t.Base = {along, W.BaseY};
      t.End = {along, Saturated(S.ScaleType == sctXT ? W.BaseY + len : W.BaseY - len)};
    }
    W.Ticks.push_back(std::move(t));
    return W.Ticks.back();
  }

  TScaleTickLabel MakeLabel(const std::string& Text, TTickLabelPlace Place, int Along) const {
    TScaleTickLabel l;
    l.Text = Text;
    l.Place = Place;
    const TPoint ext = Measure ? Measure(Text) : TPoint{};
    l.Rect = PlaceTickLabel(S, W, Place, Along, ext, NumberHeight);
    return l;
  }

  int AlongOf(const TScaleTick& t) const { return Vertical ? t.Base.Y : t.Base.X; }

  void SetLabel(TScaleTick& t, const std::string& Text, TTickLabelPlace Place) {
    t.Labelled = true;
    t.Label = MakeLabel(Text, Place, AlongOf(t));
  }

  // User text or inscript, applied to the number text after its 14-character cut, so a unit
  // behind the number or a user text is shown whole.
  std::string Decorate(const std::string& Text) const {
    return S.LabelType == ftUserText ? UserTickItem(S.UserTickText, LabelCount)
                                     : ApplyInscript(Text, S.ScaleInscript);
  }
};

// A number label that would not fit 14 characters is written in the short scientific form
// rather than cut (a cut 123456789012345.6 would read ten times too small); the cut to 14 stays
// for any form still longer.
std::string FitNumber(double v, int Decimals) {
  std::string s = FormatTickNumber(v, Decimals);
  if (s.size() > 14) s = FormatTickNumber(v, -1);
  if (s.size() > 14) s.resize(14);
  return s;
}

// ---------------------------------------------------------------------------------------------
// Linear walk

void WalkLinear(TWalker& w) {
  const TScaleSettings& S = w.S;
  const long double Low = S.RangeLow, High = S.RangeHigh;
  long double First, D;
  std::uint16_t n;
  CalcScaleTicks(S.MinTicks, Low, High, First, D, n);
  const long double dir = High > Low ? 1.0L : -1.0L;
  // Only a step towards High ends the loops below.
  if (!(dir * D > 0)) return;
  const long double SD = D / n;
  if (S.ShortTicks) {
    for (long long i = 0; !w.Full(); ++i) {
      const long double v = (First - D) + i * SD;
      if (dir * (v - High) > 0.001L * std::fabs(SD)) break;
      if (dir * v >= dir * Low) {
        w.Record(static_cast<double>(v));
        w.Add(static_cast<double>(v), false);
      }
    }
  }
  const int d = AutoDecimals(S.DecPlaces, S.RangeHigh, S.RangeLow);
  const long double range = High - Low;
  for (long long i = 0; !w.Full(); ++i) {
    long double v = First + i * D;
    if (dir * (v - High) > 0.001L * std::fabs(D)) break;
    if (w.Vertical || !S.ShortTicks) w.Record(static_cast<double>(v));
    std::string text;
    if (S.LabelType != ftNoFigs) {
      if (std::fabs(v / range) < 1e-14L) {
        v = 0;
        text = std::fabs(range) <= 100000 ? FormatTickNumber(0, d) : d != 0 ? "0.0" : "0";
      } else {
        text = FitNumber(static_cast<double>(v), d);
      }
      if (S.DecPlaces == 0 && std::fabs(v - std::nearbyint(v)) > 1e-6L) text.clear();
    }
    TScaleTick& t = w.Add(static_cast<double>(v), true);
    if (S.LabelType != ftNoFigs) {
      ++w.LabelCount;
      w.SetLabel(t, w.Decorate(text), lpNumeric);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Logarithmic walk

void WalkLog(TWalker& w) {
  const TScaleSettings& S = w.S;
  const double Low = S.RangeLow, High = S.RangeHigh;
  if (!(Low > 0 && High > 0)) return WalkLinear(w);
  const double q = std::fabs(std::log10(High / Low));
  if (!(q >= 1)) return WalkLinear(w);
  const double Min = std::fmin(Low, High), Max = std::fmax(Low, High);
  const int d = AutoDecimalsLog(S.DecPlaces, Max, Min);
  const bool intermediate = S.MinTicks > q + 0.5;
  const long double B = std::pow(10.0L, std::floor(std::log10(Min * 0.999999999L)));
  const int firstExp = static_cast<int>(std::floor(std::log10(Min * 0.999999999L)));
  for (int e = 0; !w.Full(); ++e) {
    const long double m = std::pow(10.0L, e);
    for (int i = 1; i <= 9 && !w.Full(); ++i) {
      if (i > 1 && !intermediate) break;
      const bool labelled = i == 1 || i == 2 || i == 5;
      if (!labelled && !S.ShortTicks) continue;
      const long double v = i * m * B;
      if (!(v > Min * 0.999999999L && v < Max / 0.999999999L)) continue;
      const double vd = static_cast<double>(v);
      w.Record(vd);
      TScaleTick& t = w.Add(vd, labelled);
      if (!labelled || S.LabelType == ftNoFigs) continue;
      std::string text;
      if (d == -3) {
        if (i == 1) text = FormatTickNumber(firstExp + e, 0);
      } else {
        text = FitNumber(vd, d);
      }
      if (S.DecPlaces == -2 && text.find('.') != std::string::npos && text.find_first_of("eE") == std::string::npos) {
        while (!text.empty() && text.back() == '0') text.pop_back();
        if (!text.empty() && text.back() == '.') text.pop_back();
      }
      ++w.LabelCount;
      w.SetLabel(t, w.Decorate(text), lpNumeric);
    }
    if (!(Max >= 0.999999999L * B * m * 10)) break;
  }
}

// ---------------------------------------------------------------------------------------------
// Elapsed-time walk (values are seconds); returns false when the range is left to the numeric walk

constexpr double TimeSteps[28] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1,  0.2,   0.5,   1,
                                  2,     5,     10,    20,   30,   60,   120,  180,   300,   600,
                                  1200,  1800,  3600,  7200, 14400, 21600, 43200, 86400};
constexpr int TimeSubdivisions[28] = {5, 4, 5, 5, 4, 5, 5, 4, 5, 5, 4, 5, 5, 4,
                                      6, 6, 6, 6, 5, 5, 6, 6, 6, 4, 4, 6, 6, 6};

bool WalkElapsed(TWalker& w) {
  const TScaleSettings& S = w.S;
  if (S.MinTicks <= 0) return false;
  const long double Low = S.RangeLow, High = S.RangeHigh;
  const long double r = std::fabs(High - Low) / S.MinTicks;
  int index = 0;
  for (int k = 1; k <= 28; ++k)
    if (TimeSteps[k - 1] <= r) index = k;
  if (index == 0 || index == 28) return false;
  const long double dir = High > Low ? 1.0L : -1.0L;
  const long double D = dir * static_cast<long double>(TimeSteps[index - 1]);
  const long double SD = D / TimeSubdivisions[index - 1];
  const long long Count = std::min<long long>(static_cast<long long>(std::trunc((High - Low) / SD)) + 5, ScaleMaxTicks);
  const long double First = std::floor(Low / D / 0.999999999L) * D;
  const long double LowLim = Low >= 0 ? Low * 0.999999999L : Low / 0.999999999L;
  const long double HighLim = High > 0 ? High / 0.999999999L : High * 0.999999999L;
  auto inside = [&](long double v) { return dir * LowLim <= dir * v && dir * v <= dir * HighLim; };
  if (S.ShortTicks) {
    for (long long u = 0; u <= Count && !w.Full(); ++u) {
      const long double v = First + u * SD;
      if (!inside(v)) continue;
      w.Record(static_cast<double>(v));
      w.Add(static_cast<double>(v), false);
    }
  }
  for (long long u = 0; u <= Count && !w.Full(); ++u) {
    const long double v = First + u * SD;
    const long double k = v / D;
    if (!(std::fabs(k - std::round(k)) < 0.01L) || !inside(v)) continue;
    // Unlike the linear walk, the elapsed-time walk records only its short ticks: with short
    // ticks off its tick list stays empty (and a grid of GridDx 0 has no lines from it).
    TScaleTick& t = w.Add(static_cast<double>(v), true);
    w.SetLabel(t, FormatSeconds(static_cast<double>(v), index <= 9), lpNumeric);
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Calendar walk (values are day numbers, day 0 = 30 December 1899)

long long DayOfDate(long long y, long long m, long long d) {
  // inverse of the civil conversion of FormatDateValue
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 693899;
}

void YearMonthOf(double v, long long& y, long long& m) {
  // the year and month of day Floor(v); FormatDateValue's "yyyy" and "mm" give the same
  const std::string s = FormatDateValue("yyyy\"|\"mm", std::floor(v));
  const std::size_t bar = s.find('|');
  y = std::stoll(s.substr(0, bar));
  m = std::stoll(s.substr(bar + 1));
}

void Message(TWalker& w, const std::vector<std::string>& Lines) {
  const TScaleSettings& S = w.S;
  const int along = w.T.ValueToPos((S.RangeLow + S.RangeHigh) / 2);
  if (w.Vertical) {
    const long long h = w.Measure ? w.Measure("T").Y : 0;
    long long top = along - h;
    for (const std::string& line : Lines) {
      const long long width = w.Measure ? w.Measure(line).X : 0;
      const long long x = S.ScaleType == sctYR ? w.W.BaseX - 2LL - width : w.W.BaseX + 2LL;
      w.W.Message.push_back({line, {Saturated(x), Saturated(top)}});
      top += h;
    }
  } else {
    std::string line;
    for (const std::string& l : Lines) line += (line.empty() ? "" : " ") + l;
    const long long width = w.Measure ? w.Measure(line).X : 0;
    w.W.Message.push_back({line, {Saturated(along - width / 2), Saturated(w.W.BaseY + 7LL)}});
  }
}

struct TClockUnit {
  double PerDay;
  int Steps[6];
  int ShortSteps[6];
  int Kind;  // 0 hours, 1 minutes, 2 seconds, 3 hundredths
};

std::string ClockPattern(int Kind, TTimeFormat Format, char Sep) {
  const std::string s = std::string("\"") + Sep + "\"";
  switch (Format) {
    case tfHHMMSS:
      switch (Kind) {
        case 0:
        case 1: return "hh" + s + "nn";
        case 2: return "hh" + s + "nn" + s + "ss";
        default: return "hh" + s + "nn" + s + "ss.zz";
      }
    case tfHHhMM:
      switch (Kind) {
        case 0: return "h\"h\"";
        case 1: return "h\"h\"nn";
        case 2: return "h\"h\"nn" + s + "ss";
        default: return "h\"h\"nn" + s + "ss.zz";
      }
    case tfAMPM:
      switch (Kind) {
        case 0: return "ham/pm";
        case 1: return "h" + s + "nnam/pm";
        case 2: return "h" + s + "nn\".\"ssam/pm";
        default: return "h" + s + "nn\".\"ss.zzam/pm";
      }
  }
  return {};
}

std::string DatePattern(const TDateLabelSettings& F) {
  return DateLabelFormat(F.MonthName, F.YearLength, F.DateOrder, F.DateSeparator);
}

void WalkClock(TWalker& w, const TClockUnit& U, double s) {
  const TScaleSettings& S = w.S;
  const long double Low = S.RangeLow, High = S.RangeHigh;
  int idx = 0;
  for (int k = 5; k >= 0; --k)
    if (U.Steps[k] <= U.PerDay * s) {
      idx = k;
      break;
    }
  const int step = U.Steps[idx];
  const long double L = step / static_cast<long double>(U.PerDay);
  const long double SS = U.ShortSteps[idx] / static_cast<long double>(U.PerDay);
  const long double day = std::floor(Low);
  const long double t = Low - day;
  // a small tolerance so that 11.9999999 hours is taken as the 12 o'clock tick
  const long double ut = U.PerDay * t - 1e-6L;
  const long long u = static_cast<long long>(std::ceil(ut));
  const long long gap = u % step == 0 ? 0 : step - u % step;
  long double First = day + std::ceil(ut + gap) / U.PerDay;
  const long double tol = 1e-8L;
  if (S.ShortTicks)
    for (int i = 0; i < ScaleMaxTicks && First > Low + tol; ++i) First -= SS;
  const long double inc = S.ShortTicks ? SS : L;
  const std::string timePattern = ClockPattern(U.Kind, S.DateFormat.TimeFormat, S.DateFormat.TimeSeparator);
  const std::string datePattern = DatePattern(S.DateFormat);
  long long lastDay = -1;  // day of the month of the last date line
  bool firstLong = true;
  for (long long i = 0; !w.Full(); ++i) {
    const long double v = First + i * inc;
    if (!(v - High < tol)) break;
    if (v < Low - tol) continue;
    const double vd = static_cast<double>(v);
    w.Record(vd);
    const long double k = v / L;
    const bool isLong = !S.ShortTicks || std::fabs(k - std::nearbyint(k)) <= 0.1L;
    TScaleTick& tk = w.Add(vd, isLong);
    if (!isLong) continue;
    w.SetLabel(tk, FormatDateValue(timePattern, vd), lpCalendar);
    bool dateLine = false;
    switch (S.DateFormat.DateForTime) {
      case dtNone: break;
      case dtAllTicks: dateLine = true; break;
      case dtOnePerChart: dateLine = firstLong; break;
      case dtOnePerDay: {
        const long long dom = std::stoll(FormatDateValue("d", vd));
        dateLine = dom != lastDay;
        break;
      }
    }
    firstLong = false;
    if (dateLine) {
      lastDay = std::stoll(FormatDateValue("d", vd));
      tk.HasDateLine = true;
      tk.DateLine = w.MakeLabel(FormatDateValue(datePattern, vd), lpDateLine, w.AlongOf(tk));
    }
  }
}

void WalkDays(TWalker& w, double s) {
  const TScaleSettings& S = w.S;
  const long double Low = S.RangeLow, High = S.RangeHigh;
  static constexpr int Steps[6] = {1, 2, 3, 7, 14, 28};
  int idx = 0;
  for (int k = 5; k >= 0; --k)
    if (Steps[k] <= s) {
      idx = k;
      break;
    }
  const int step = Steps[idx];
  const int shortStep = idx <= 3 ? 1 : 7;
  long long y, m;
  YearMonthOf(S.RangeLow, y, m);
  const long double J = DayOfDate(y, 1, 1);
  const long double First = J + step * std::trunc((Low - J) / step);
  const auto mod = [](long long a, long long b) { return ((a % b) + b) % b; };
  const long long residue = mod(std::llround(First), step);
  const long double inc = S.ShortTicks ? shortStep : step;
  const std::string pattern = DatePattern(S.DateFormat);
  for (long long i = 0; !w.Full(); ++i) {
    const long double v = First + i * inc;
    if (!(v - High < 1e-8L)) break;
    if (v < Low - 1e-8L) continue;
    const double vd = static_cast<double>(v);
    w.Record(vd);
    const bool isLong = !S.ShortTicks || mod(std::llround(v), step) == residue;
    TScaleTick& tk = w.Add(vd, isLong);
    if (isLong) w.SetLabel(tk, FormatDateValue(pattern, vd), lpCalendar);
  }
}

void WalkMonths(TWalker& w) {
  const TScaleSettings& S = w.S;
  const double a = (S.RangeHigh - S.RangeLow) / 30.4375 / S.MinTicks;
  int step = 1;
  for (int c : {1, 2, 3, 4, 6})
    if (c <= a) step = c;
  long long y, m;
  YearMonthOf(S.RangeLow, y, m);
  auto advance = [&](int by) {
    m += by;
    while (m > 12) {
      m -= 12;
      ++y;
    }
  };
  if (step > 1 && !S.ShortTicks) {
    advance(1);
    while (m % step != 1) advance(1);
  }
  const TDateLabelSettings& F = S.DateFormat;
  const std::string M = F.MonthName ? "mmm" : "mm";
  const std::string Y = F.YearLength == ylNone ? "" : F.YearLength == ylYY ? "yy" : "yyyy";
  const std::string sep = std::string("\"") + F.DateSeparator + "\"";
  const std::string pattern = Y.empty() ? M : F.DateOrder == doYYMMDD ? Y + sep + M : M + sep + Y;
  while (!w.Full() && y <= 9999) {
    const double v = static_cast<double>(DayOfDate(y, m, 1));
    if (!(v - S.RangeHigh < 1e-8)) break;
    const int month = static_cast<int>(m);
    advance(S.ShortTicks ? 1 : step);
    if (v < S.RangeLow - 1e-8) continue;
    w.Record(v);
    const bool isLong = !(S.ShortTicks && step > 1 && month % step != 1);
    TScaleTick& tk = w.Add(v, isLong);
    if (isLong) w.SetLabel(tk, FormatDateValue(pattern, v), lpCalendar);
  }
}

void WalkYears(TWalker& w) {
  const TScaleSettings& S = w.S;
  const double a = std::max(1.0, (S.RangeHigh - S.RangeLow) / 365.25 / S.MinTicks);
  const double t = std::log10(a);
  const double mant = std::pow(10.0, t - std::trunc(t));
  const int f = mant >= 5 ? 5 : mant >= 2 ? 2 : 1;
  const long long h = std::llround(std::trunc(std::pow(10.0, std::trunc(t))) * f);
  long long iter = h;
  if (S.ShortTicks && h > 1) iter = f == 5 ? std::llround(h / 5.0) : std::llround(h / 2.0);
  iter = std::max<long long>(iter, 1);
  long long lowYear, lowMonth;
  YearMonthOf(S.RangeLow, lowYear, lowMonth);
  long long year = lowYear >= 0 ? (lowYear + iter - 1) / iter * iter : -((-lowYear) / iter * iter);
  if (year == lowYear && S.RangeLow != static_cast<double>(DayOfDate(lowYear, 1, 1))) year += iter;
  for (; !w.Full(); year += iter) {
    const bool end = year > 9999;
    const double v = static_cast<double>(end ? DayOfDate(9999, 12, 31) : DayOfDate(year, 1, 1));
    if (!(v - S.RangeHigh < 1e-8)) break;
    if (v >= S.RangeLow - 1e-8) {
      w.Record(v);
      // the closing tick at 31 December 9999 is long but carries no year: ticks mark 1 January
      const bool isLong = end || !S.ShortTicks || year % h == 0;
      TScaleTick& tk = w.Add(v, isLong);
      if (isLong && !end) {
        std::string text;
        if (S.DateFormat.YearLength == ylYY) text = FormatDateValue("yy", v);
        else if (S.DateFormat.YearLength == ylYYYY) text = std::to_string(year);
        w.SetLabel(tk, text, lpCalendar);
      }
    }
    if (end) break;
  }
}

void WalkCalendar(TWalker& w) {
  const TScaleSettings& S = w.S;
  if (S.MinTicks <= 0) return;  // no interval count: baseline and caption only
  const double Low = S.RangeLow, High = S.RangeHigh;
  if (!(High >= Low && Low >= -693593 && High <= 3000000)) {
    Message(w, {"invalid", "DateTime", "scale"});
    return;
  }
  const double s = (High - Low) / S.MinTicks;
  static constexpr TClockUnit Hours{24, {1, 2, 3, 6, 8, 12}, {1, 1, 1, 2, 2, 3}, 0};
  static constexpr TClockUnit Minutes{1440, {1, 2, 5, 10, 20, 30}, {1, 1, 1, 2, 5, 10}, 1};
  static constexpr TClockUnit Seconds{86400, {1, 2, 5, 10, 20, 30}, {1, 1, 1, 2, 5, 10}, 2};
  static constexpr TClockUnit Hundredths{8640000, {1, 2, 5, 10, 20, 50}, {1, 1, 1, 5, 10, 10}, 3};
  if (w.Vertical) {
    if (s <= 1.1574074074074074e-7) return Message(w, {"DateTime", "range is", "below 1", "second"});
    if (s <= 1.1574074074074073e-5) return WalkClock(w, Hundredths, s);
    if (s <= 0.0006944444444444445) return WalkClock(w, Seconds, s);
  } else {
    if (s <= 1.1574e-5) return Message(w, {"DateTime", "range is", "below 1", "second"});
    if (s <= 0.00069444) return WalkClock(w, Seconds, s);
  }
  if (s <= 0.041667) return WalkClock(w, Minutes, s);
  if (s <= 1) return WalkClock(w, Hours, s);
  if (s <= 30) return WalkDays(w, s);
  if (s <= 366) return WalkMonths(w);
  WalkYears(w);
}

}  // namespace

TScaleWalk WalkScale(const TScaleSettings& Settings, const TScaleTransform& Transform, const TTextMeasure& Measure) {
  TWalker w(Settings, Transform, Measure);
  const bool finite = std::isfinite(Settings.RangeLow) && std::isfinite(Settings.RangeHigh) &&
                      Settings.RangeLow != Settings.RangeHigh;
  if (!finite) return std::move(w.W);
  if (Settings.LabelType == ftDateTime) WalkCalendar(w);
  else if (Settings.LabelType == ftTime && WalkElapsed(w)) {
  } else if (Settings.Logarithmic) WalkLog(w);
  else WalkLinear(w);
  return std::move(w.W);
}

// ---------------------------------------------------------------------------------------------
// Mouse pan and zoom

namespace {

// The mapping a drag works in: the range Low..High over the pixels between the margins (X from
// left to right, Y from bottom to top), as the chart's layers and the scale map their ranges.
TAxisMap DragMap(const TZoomPanInput& In, double Low, double High, long double& PixLow, long double& PixHigh) {
  // In long doubles: pointer, sizes and margins may each be up to the int limits.
  if (In.Horizontal) {
    PixLow = In.MarginLeft;
    PixHigh = static_cast<long double>(In.Width) - In.MarginRight;
  } else {
    PixLow = static_cast<long double>(In.Height) - In.MarginBottom;
    PixHigh = In.MarginTop;
  }
  return TAxisMap::Make(Low, High, In.Logarithmic, PixLow, PixHigh, 0, 0);
}

// A linear zoom that keeps the value at FixedPix and moves the value under the anchor pixel to
// the pointer: the new value at pixel Far. NaN when the pointer or the anchor sits on FixedPix.
double Rezoom(const TAxisMap& Map, long double FixedPix, long double Anchor, long double Pointer, long double Far) {
  const double fixed = Map.ToWorld(FixedPix), anchored = Map.ToWorld(Anchor);
  if (Pointer == FixedPix || anchored == fixed) return NAN;
  return TAxisMap::Make(fixed, anchored, false, FixedPix, Pointer, 0, 0).ToWorld(Far);
}

}  // namespace

bool CalcZoomPan(const TZoomPanInput& In, double& NewLow, double& NewHigh) {
  long double PixLow, PixHigh;
  const TAxisMap anchor = DragMap(In, In.AnchorLow, In.AnchorHigh, PixLow, PixHigh);
  const long double span = std::fabs(PixHigh - PixLow);
  const long double pointer = In.Horizontal ? In.X : In.Y;
  const long double start = In.Horizontal ? In.AnchorX : In.AnchorY;
  const long double moved = pointer - start;
  const double AL = In.AnchorLow, AH = In.AnchorHigh;
  double lo, hi;
  switch (In.Action) {
    case maPan:
      // The world moves with the pointer: each end takes the value that was under the pixel the
      // drag has brought onto it.
      if (span <= 0) return false;
      lo = anchor.ToWorld(PixLow - moved);
      hi = anchor.ToWorld(PixHigh - moved);
      break;
    case maZoom: {
      // The end in the anchor's half moves; linear: the value under the anchor follows the
      // pointer while the far end stays; logarithmic: the range narrows or widens about its
      // geometric mean by the share of the span dragged.
      if (span <= 0) return false;
      const bool lowHalf = In.Horizontal ? start < PixLow + span / 2 : start > PixHigh + span / 2;
      lo = AL;
      hi = AH;
      if (In.Logarithmic) {
        const double G = std::sqrt(AL * AH), J = AH / G;
        const double share = static_cast<double>((In.Horizontal ? moved : -moved) / span);
        if (lowHalf) lo = G / std::pow(J, 1 + share);
        else hi = G * std::pow(J, 1 - share);
      } else if (lowHalf) {
        lo = Rezoom(anchor, PixHigh, start, pointer, PixLow);
      } else {
        hi = Rezoom(anchor, PixLow, start, pointer, PixHigh);
      }
      break;
    }
    case maZoomDrag: {
      // The range narrows or widens about its middle by the share of the control's size dragged.
      const double K = AH - AL;
      const double G = std::sqrt(AL * AH);
      const double J = AH / G;
      const double share = In.Horizontal ? -double(In.X - In.AnchorX) / In.Width : double(In.Y - In.AnchorY) / In.Height;
      if (In.Horizontal ? In.Width <= 0 : In.Height <= 0) return false;
      if (In.Logarithmic) {
        const double Jn = std::pow(J, 1 + share);
        lo = G / Jn;
        hi = G * Jn;
      } else {
        const double Mid = (AL + AH) / 2;
        const double half = K * (1 + share) / 2;
        lo = Mid - half;
        hi = Mid + half;
      }
      break;
    }
    default:
      return false;
  }
  // a pointer on the far edge divides by zero; such a result is no range
  if (!std::isfinite(lo) || !std::isfinite(hi) || lo == hi) return false;
  NewLow = lo;
  NewHigh = hi;
  return true;
}

}  // namespace orvex
