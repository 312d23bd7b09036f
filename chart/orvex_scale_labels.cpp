// The label helpers of the scale: tick spacing, decimals, number, time and date texts. Plain
// functions of their arguments; number text goes through FormatReal, never the process locale.
#include "orvex_scale.h"
#include "orvex_stringl.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace orvex {

void CalcScaleTicks(int MinTicks, long double Low, long double High, long double& FirstTick,
                    long double& Distance, std::uint16_t& SubTicks) {
  if (High == Low || !std::isfinite(Low) || !std::isfinite(High)) {
    FirstTick = Low;
    Distance = 0;
    SubTicks = 1;
    return;
  }
  const long double dir = Low < High ? 1.0L : -1.0L;
  // Moves FirstTick up to the first multiple not more than a thousandth of a step before Low.
  // A step too small to change FirstTick (Low near 1e17 with a step of 1) ends the loop.
  auto approach = [&] {
    for (int i = 0; i < ScaleMaxTicks && dir * (Low - FirstTick) > 0.001L * std::fabs(Distance); ++i) {
      const long double next = FirstTick + Distance;
      if (next == FirstTick) break;
      FirstTick = next;
    }
  };
  if (MinTicks <= 0) {
    // A unit step from Low towards High: on a reversed axis a step of +1 would walk away from
    // High for ever.
    Distance = dir;
    FirstTick = std::trunc(Low) - dir;
    approach();
    SubTicks = std::fabs(High - Low) > 10 ? 1 : 5;
    return;
  }
  long double t = std::log10(std::fabs(High - Low) / MinTicks);
  long double f = t - std::trunc(t);
  if (std::fabs(f) < 1e-10L || std::fabs(f) > 0.9999999999L) {
    f = 0;
    t = std::nearbyint(t);
  }
  if (t < 0 && f != 0) t = t - 1;
  if (f < 0) f = f + 1;
  const long double L2 = std::log10(2.0L);
  const long double L5 = std::log10(5.0L);
  if (f < L2 + 1e-10L) {
    t = std::trunc(t);
    SubTicks = 5;
  } else if (f < L5 + 1e-10L) {
    t = std::trunc(t) + L2;
    SubTicks = 4;
  } else {
    t = std::trunc(t) + L5;
    SubTicks = 5;
  }
  Distance = dir * std::pow(10.0L, t);
  FirstTick = (std::trunc(Low / Distance) - 1) * Distance;
  approach();
}

int AutoDecimals(int DecPlaces, double A, double B) {
  if (DecPlaces != -2 && DecPlaces != -3) return DecPlaces;
  const double r = std::fabs(A - B);
  if (r >= 1e6 || r <= 1e-4) return -1;
  if (r >= 100) return 0;
  return 2 - static_cast<int>(std::nearbyint(std::log(r) / 2.5));
}

int AutoDecimalsLog(int DecPlaces, double A, double B) {
  if (DecPlaces != -2) return DecPlaces;
  const double Min = std::fmin(A, B);
  const double r = std::fmax(A, B) - Min;
  if (r >= 1e6 || r <= 1e-4) return -1;
  if (Min >= 1) return 0;
  return 1 - static_cast<int>(std::nearbyint(std::log10(std::fabs(Min))));
}

std::string FormatTickNumber(double Value, int Decimals) {
  return FormatReal(Value, 1, Decimals < 0 ? -2 : Decimals);
}

std::string UserTickItem(const std::string& Text, int Index) {
  if (Index <= 0 || Text.empty()) return {};
  std::size_t start = 0;
  for (int k = 1;; ++k) {
    const std::size_t bar = Text.find('|', start);
    if (k == Index || bar == std::string::npos)
      return Text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
    start = bar + 1;
  }
}

std::string ApplyInscript(const std::string& Label, const std::string& Inscript) {
  if (Label.empty()) return Label;
  const std::size_t amp = Inscript.find('&');
  if (amp == std::string::npos) return Inscript + Label;
  return Inscript.substr(0, amp) + Label + Inscript.substr(amp + 1);
}

namespace {

std::string Padded(long long Value, int Digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*lld", Digits, Value);
  return buf;
}

}  // namespace

std::string FormatSeconds(double Seconds, bool WithMilliseconds) {
  const long double a = std::fabs(static_cast<long double>(Seconds));
  long long hours = static_cast<long long>(std::trunc(a / 3600));
  long long minutes = static_cast<long long>(std::trunc((a - 3600.0L * hours) / 60));
  long long seconds = static_cast<long long>(std::trunc(a - 3600.0L * hours - 60.0L * minutes));
  long long ms = static_cast<long long>(std::nearbyint((a - std::trunc(a)) * 1000));
  if (WithMilliseconds && ms == 1000) {
    // 59.9996 s reads 00:01:00.000, not 00:00:59.1000
    ms = 0;
    if (++seconds == 60) {
      seconds = 0;
      if (++minutes == 60) {
        minutes = 0;
        ++hours;
      }
    }
  }
  std::string s = Seconds >= 0 ? " " : "-";
  s += Padded(hours, 2) + ":" + Padded(minutes, 2) + ":" + Padded(seconds, 2);
  if (WithMilliseconds) s += "." + Padded(ms, 3);
  return s;
}

std::string DateLabelFormat(bool MonthName, TYearLength YearLength, TDateOrder DateOrder, char Separator) {
  const std::string M = MonthName ? "mmm" : "mm";
  const std::string Y = YearLength == ylNone ? "" : YearLength == ylYY ? "yy" : "yyyy";
  const std::string sep = std::string("\"") + Separator + "\"";
  switch (DateOrder) {
    case doMMDDYY: return M + sep + "dd" + (Y.empty() ? "" : sep + Y);
    case doDDMMYY: return "dd" + sep + M + (Y.empty() ? "" : sep + Y);
    case doYYMMDD: return Y.empty() ? M + sep + "dd" : Y + sep + M + sep + "dd";
  }
  return {};
}

namespace {

// The calendar fields of a day number, from the millisecond nearest to it, so a tick computed
// as 3.9999999999 reads as day 4 at 00:00.
struct TDateFields {
  long long Year, Month, Day, Hour, Minute, Second, Milli;
};

TDateFields DateFieldsOf(double Value) {
  constexpr long long MsPerDay = 86400000;
  const long long total = std::llround(static_cast<long double>(Value) * MsPerDay);
  long long day = total / MsPerDay;
  long long ms = total % MsPerDay;
  if (ms < 0) {  // negative day numbers: the day before, a positive time of day
    ms += MsPerDay;
    --day;
  }
  // civil date from the count of days since 1 March of year 0 (proleptic Gregorian); day 0,
  // 30 December 1899, is day 693899 of that count
  const long long z = day + 693899;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  TDateFields f{};
  f.Day = doy - (153 * mp + 2) / 5 + 1;
  f.Month = mp < 10 ? mp + 3 : mp - 9;
  f.Year = yoe + era * 400 + (f.Month <= 2 ? 1 : 0);
  f.Hour = ms / 3600000;
  f.Minute = ms / 60000 % 60;
  f.Second = ms / 1000 % 60;
  f.Milli = ms % 1000;
  return f;
}

bool StartsWithNoCase(const std::string& S, std::size_t Pos, const char* Word) {
  for (std::size_t i = 0; Word[i]; ++i)
    if (Pos + i >= S.size() || std::tolower(static_cast<unsigned char>(S[Pos + i])) != Word[i]) return false;
  return true;
}

std::size_t RunLength(const std::string& S, std::size_t Pos) {
  const int c = std::tolower(static_cast<unsigned char>(S[Pos]));
  std::size_t n = 0;
  while (Pos + n < S.size() && std::tolower(static_cast<unsigned char>(S[Pos + n])) == c) ++n;
  return n;
}

const char* const MonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string FormatDateValue(const std::string& Pattern, double Value) {
  if (!std::isfinite(Value)) return {};
  if (std::fabs(Value) < 1e-8) Value = 0;
  const TDateFields f = DateFieldsOf(Value);
  bool twelveHour = false;
  for (std::size_t i = 0; i < Pattern.size(); ++i)
    if (StartsWithNoCase(Pattern, i, "am/pm")) twelveHour = true;
  std::string out;
  bool afterHour = false;  // an m directly after an hour token means minutes
  std::size_t i = 0;
  while (i < Pattern.size()) {
    const char ch = Pattern[i];
    const int c = std::tolower(static_cast<unsigned char>(ch));
    if (ch == '"') {
      const std::size_t close = Pattern.find('"', i + 1);
      const std::size_t end = close == std::string::npos ? Pattern.size() : close;
      out += Pattern.substr(i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    if (c == 'a' && StartsWithNoCase(Pattern, i, "am/pm")) {
      std::string ampm = f.Hour < 12 ? "am" : "pm";
      if (std::isupper(static_cast<unsigned char>(ch))) ampm = f.Hour < 12 ? "AM" : "PM";
      out += ampm;
      i += 5;
      afterHour = false;
      continue;
    }
    const std::size_t run = std::isalpha(static_cast<unsigned char>(ch)) ? RunLength(Pattern, i) : 1;
    bool hourToken = false;
    switch (c) {
      case 'd':
        out += run >= 2 ? Padded(f.Day, 2) : std::to_string(f.Day);
        i += run >= 2 ? 2 : 1;
        break;
      case 'm':
        if (afterHour) {
          out += run >= 2 ? Padded(f.Minute, 2) : std::to_string(f.Minute);
          i += run >= 2 ? 2 : 1;
        } else if (run >= 3) {
          out += MonthAbbrev[f.Month - 1];
          i += 3;
        } else {
          out += run == 2 ? Padded(f.Month, 2) : std::to_string(f.Month);
          i += run;
        }
        break;
      case 'y':
        if (run >= 4) {
          out += Padded(f.Year, 4);
          i += 4;
        } else {
          out += Padded(f.Year % 100, 2);
          i += run >= 2 ? 2 : 1;
        }
        break;
      case 'h': {
        long long h = f.Hour;
        if (twelveHour) h = h % 12 == 0 ? 12 : h % 12;
        out += run >= 2 ? Padded(h, 2) : std::to_string(h);
        i += run >= 2 ? 2 : 1;
        hourToken = true;
        break;
      }
      case 'n':
        out += run >= 2 ? Padded(f.Minute, 2) : std::to_string(f.Minute);
        i += run >= 2 ? 2 : 1;
        break;
      case 's':
        out += run >= 2 ? Padded(f.Second, 2) : std::to_string(f.Second);
        i += run >= 2 ? 2 : 1;
        break;
      case 'z':
        out += run >= 3 ? Padded(f.Milli, 3) : run == 2 ? Padded(f.Milli, 2) : std::to_string(f.Milli);
        i += run >= 3 ? 3 : run;
        break;
      default:
        out += ch;
        ++i;
        break;
    }
    if (hourToken) afterHour = true;
    else if (c != ' ' && c != ':') afterHour = false;
  }
  return out;
}

}  // namespace orvex
