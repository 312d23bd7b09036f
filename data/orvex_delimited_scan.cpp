// The scanning layer of the delimited reader: cells, records, lines. See the header.
#include "orvex_delimited_scan.h"

#include "orvex_datatable_text.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvex::delim {

namespace {

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

char LowerAscii(char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; }

bool EqualsIgnoringCase(std::string_view A, std::string_view Lower)
{
  if (A.size() != Lower.size())
    return false;
  for (std::size_t i = 0; i < A.size(); ++i)
    if (LowerAscii(A[i]) != Lower[i])
      return false;
  return true;
}

std::string_view Trim(std::string_view S)
{
  while (!S.empty() && (S.front() == ' ' || S.front() == '\t'))
    S.remove_prefix(1);
  while (!S.empty() && (S.back() == ' ' || S.back() == '\t'))
    S.remove_suffix(1);
  return S;
}

}  // namespace

namespace {

// ParseNumber on a field without blanks around it.
TCellKind ParseTrimmed(std::string_view f, char DecimalMark, double& Value)
{
  const char* p = f.data();
  const char* const end = p + f.size();
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  if (p == end)
    return TCellKind::Text;
  // The parser also takes the words nan, inf and infinity: only digits or the mark may start a
  // number here, the inf words are recognised on their own.
  if (!IsDigit(*p) && *p != DecimalMark) {
    const std::string_view word(p, static_cast<std::size_t>(end - p));
    if (EqualsIgnoringCase(word, "inf") || EqualsIgnoringCase(word, "infinity")) {
      Value = negative ? -HUGE_VAL : HUGE_VAL;
      return TCellKind::NonFinite;
    }
    return TCellKind::Text;
  }
  // The common short number without an exponent, as most files hold them: at most 15 digits
  // (so the mantissa is exact) and a power of ten that is exact too, so one division gives the
  // correctly rounded value the full parser would give. Anything else goes to the full parser.
  {
    const char* q = p;
    std::uint64_t digits = 0;
    const std::ptrdiff_t count = AccumulateDigits(q, end, digits);
    std::ptrdiff_t fraction = 0;
    if (q < end && *q == DecimalMark) {
      ++q;
      fraction = AccumulateDigits(q, end, digits);
    }
    if (q == end && count + fraction > 0 && count + fraction <= MaxExactDigits) {
      const double v = ExactDecimal(digits, static_cast<int>(fraction));
      Value = negative ? -v : v;
      return TCellKind::Number;
    }
  }
  double v = 0.0;
  const auto r = fast_float::from_chars_advanced(p, end, v, fast_float::parse_options(fast_float::chars_format::general, DecimalMark));
  if (r.ec != std::errc() || r.ptr != end)
    return TCellKind::Text;
  // A lone mark (".") is no number; the parser refuses it already, "5." and ".5" are fine.
  Value = negative ? -v : v;
  return std::isfinite(v) ? TCellKind::Number : TCellKind::NonFinite;
}

}  // namespace

TCellKind ParseNumber(std::string_view Field, char DecimalMark, double& Value)
{
  return ParseTrimmed(Trim(Field), DecimalMark, Value);
}

TCellKind ClassifyCell(std::string_view Field, char DecimalMark, const std::vector<std::string>& MissingTokens,
                       double& Value)
{
  // Unquoted fields come without blanks around them; a quoted one may have some.
  const bool blanks = !Field.empty() && (Field.front() == ' ' || Field.front() == '\t' || Field.back() == ' ' ||
                                         Field.back() == '\t');
  const std::string_view f = blanks ? Trim(Field) : Field;
  if (!f.empty()) {
    const TCellKind k = ParseTrimmed(f, DecimalMark, Value);
    if (k != TCellKind::Text)
      return k;
  }
  for (const std::string& token : MissingTokens)
    if (f == token)
      return f == "NaN" || f == "nan" ? TCellKind::NaN : TCellKind::Missing;
  return TCellKind::Text;
}

std::size_t SkipLine(std::string_view Text, std::size_t Pos)
{
  const char* s = Text.data();
  const std::size_t end = Text.size();
  while (Pos < end && s[Pos] != '\n' && s[Pos] != '\r')
    ++Pos;
  if (Pos >= end)
    return end;
  if (s[Pos] == '\r' && Pos + 1 < end && s[Pos + 1] == '\n')
    return Pos + 2;
  return Pos + 1;
}

std::size_t SkipToRecord(std::string_view Text, std::size_t Pos, const TScanDialect& D)
{
  const char* s = Text.data();
  const std::size_t end = Text.size();
  while (Pos < end) {
    std::size_t q = Pos;
    // A line of blanks is blank; with the tab as delimiter, tabs make fields.
    while (q < end && (s[q] == ' ' || (s[q] == '\t' && D.Delimiter != dlTab)))
      ++q;
    if (q < end && s[q] != '\n' && s[q] != '\r' && !(Pos == q && s[q] == '#'))
      return Pos;
    if (q >= end)
      return end;
    Pos = SkipLine(Text, q);
  }
  return end;
}

std::int64_t CountLineEnds(std::string_view Text, std::size_t Begin, std::size_t End)
{
  const char* s = Text.data();
  std::int64_t n = 0;
  for (const char* p = s + Begin; p < s + End; ++p) {
    p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(s + End - p)));
    if (!p)
      break;
    ++n;
  }
  // Carriage returns alone end lines too; before a line feed they belong to it.
  if (std::memchr(s + Begin, '\r', End - Begin))
    for (std::size_t i = Begin; i < End; ++i)
      if (s[i] == '\r' && (i + 1 >= Text.size() || s[i + 1] != '\n'))
        ++n;
  return n;
}

std::size_t SkipRecordRest(std::string_view Text, std::size_t Pos, const TScanDialect& D)
{
  std::string scratch;
  TScanError error = TScanError::None;
  int errorField = 0;
  std::size_t errorPos = 0;
  const std::size_t next =
      ScanRecord(Text, Pos, D, scratch, [](int, const TField&) { return true; }, error, errorField, errorPos);
  // A record with text after a closing quote ends, for the search of record starts, at its line
  // end: a block boundary then never cuts it, and its block meets the same error.
  return error == TScanError::AfterQuote ? SkipLine(Text, next) : next;
}

std::vector<int> FieldCounts(std::string_view Text, const TScanDialect& D, bool Complete, int MaxRecords)
{
  std::vector<int> counts;
  std::string scratch;
  std::size_t pos = SkipToRecord(Text, 0, D);
  while (pos < Text.size() && static_cast<int>(counts.size()) < MaxRecords) {
    int fields = 0;
    TScanError error = TScanError::None;
    int errorField = 0;
    std::size_t errorPos = 0;
    const std::size_t next = ScanRecord(
        Text, pos, D, scratch, [&fields](int, const TField&) { ++fields; return true; }, error, errorField, errorPos);
    if (error != TScanError::None)
      break;
    // The last record of a sample may be cut anywhere.
    if (!Complete && next >= Text.size())
      break;
    counts.push_back(fields);
    pos = SkipToRecord(Text, next, D);
  }
  return counts;
}

std::string_view QuotedFieldStart(std::string_view Text, std::size_t Pos)
{
  const std::string_view rest = Text.substr(std::min(Pos, Text.size()), 64);
  return rest.substr(0, rest.find_first_of("\r\n"));
}

std::string FieldForMessage(std::string_view Field)
{
  std::string s = dtext::Utf8Left(dtext::ToUtf8(Field), 40);
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 32)
      c = ' ';
  return s;
}

}  // namespace orvex::delim
