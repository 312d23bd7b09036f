// The scanning layer of the delimited reader, shared by detection, preview and the full read:
// records and fields with RFC 4180 quoting, the cell grammar (numbers with a given decimal
// mark, missing-value tokens, non-finite values) and line counting. Internal to data/; the
// fuzzer and tests reach it through orvex_delimited.h.
#pragma once

#include "orvex_delimited.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::delim {

// What a cell holds.
enum class TCellKind : std::uint8_t {
  Number,     // a finite number
  NonFinite,  // "inf", "infinity" (any case, optional sign) or a number beyond a double
  Missing,    // a missing-value token other than NaN: state empty
  NaN,        // "NaN" or "nan" among the missing-value tokens: state not-a-number
  Text,       // anything else
};

// Appends the run of decimal digits at P to Digits (wrapping past 19 digits, which the caller
// refuses anyway) and moves P past it; returns the run's length. Eight bytes at a time where
// the text allows: the bytes that are digits are found and converted in a few word operations.
inline std::ptrdiff_t AccumulateDigits(const char*& P, const char* End, std::uint64_t& Digits)
{
  static constexpr std::uint64_t Scale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
  const char* const start = P;
  while (End - P >= 8) {
    std::uint64_t word;
    std::memcpy(&word, P, 8);
    const std::uint64_t x = word - 0x3030303030303030ULL;
    // The high bit of a byte is set where the byte is not a digit: below '0' the subtraction
    // borrowed, above '9' adding 0x76 carries into it.
    const std::uint64_t other = (x | (x + 0x7676767676767676ULL)) & 0x8080808080808080ULL;
    const int n = other == 0 ? 8 : __builtin_ctzll(other) / 8;
    if (n > 0) {
      // The n digits moved to the top bytes, zeros (leading zero digits) below, then pairs,
      // quads and the octet combined.
      std::uint64_t v = x << (8 * (8 - n));
      v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFULL;
      v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFULL;
      v = (v * 10000 + (v >> 32)) & 0x00000000FFFFFFFFULL;
      Digits = Digits * Scale[n] + v;
      P += n;
    }
    if (n < 8)
      return P - start;
  }
  while (P < End && static_cast<unsigned char>(*P - '0') < 10)
    Digits = Digits * 10 + static_cast<unsigned>(*P++ - '0');
  return P - start;
}

// A plain decimal of at most MaxExactDigits digits: its digits as one integer and the count
// after the mark. The mantissa and the power of ten are both exact, so one division gives the
// correctly rounded value.
inline constexpr int MaxExactDigits = 15;
inline double ExactDecimal(std::uint64_t Digits, int Fraction)
{
  static constexpr double Pow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  return static_cast<double>(Digits) / Pow10[Fraction];
}

// Blanks around an unquoted field: spaces, and tabs unless the tab is the delimiter.
inline bool IsFieldBlank(char C, char Delimiter)
{
  return C == ' ' || (C == '\t' && Delimiter != dlTab);
}

// A number in the file's grammar: optional blanks, optional sign ("+" too), digits with the
// decimal mark, optional exponent; the whole field. Kind Number, NonFinite (inf words, or a
// value beyond the range of a double) or Text.
TCellKind ParseNumber(std::string_view Field, char DecimalMark, double& Value);

// The cell kind of a field with the given missing-value tokens (compared after the blanks
// around the field are dropped).
TCellKind ClassifyCell(std::string_view Field, char DecimalMark, const std::vector<std::string>& MissingTokens,
                       double& Value);

// One field of a record. Text points into the scanned text, or into Unquoted when the field
// held doubled quotes.
struct TField {
  std::string_view Text;
  bool Quoted = false;
};

enum class TScanError : std::uint8_t { None, OpenQuote, AfterQuote };

// The scanner's view of a dialect.
struct TScanDialect {
  char Delimiter = dlComma;
  char Quote = '"';
};

// Where the next record starts at or after Pos: skips blank lines and lines that start with
// "#". Returns End when no record is left.
std::size_t SkipToRecord(std::string_view Text, std::size_t Pos, const TScanDialect& D);

// The end of the physical line that starts at Pos: the position after its line end.
std::size_t SkipLine(std::string_view Text, std::size_t Pos);

// Line ends in Text[Begin, End): LF, CR LF (one) and CR alone.
std::int64_t CountLineEnds(std::string_view Text, std::size_t Begin, std::size_t End);

// The position after the record whose remaining fields start at Pos (quote-aware); a quote
// never closed runs to the end, a record with text after a closing quote to its line end.
std::size_t SkipRecordRest(std::string_view Text, std::size_t Pos, const TScanDialect& D);

// Scans the record that starts at Pos (a record start, see SkipToRecord) and calls
// OnField(index, field) for every field, index from 0; OnField returns false to stop early
// (the scan then ends the record without reporting further fields). Returns the position after
// the record's line end. On a quote error, Error is set, ErrorField is the field's index,
// ErrorPos where the field starts, and the return value is where the scan stopped.
// Scratch holds unquoted texts of fields with doubled quotes; a field's Text is valid until the
// next call of OnField.
template <typename FOnField>
std::size_t ScanRecord(std::string_view Text, std::size_t Pos, const TScanDialect& D, std::string& Scratch,
                       FOnField&& OnField, TScanError& Error, int& ErrorField, std::size_t& ErrorPos)
{
  const char* const s = Text.data();
  const std::size_t end = Text.size();
  const char delim = D.Delimiter;
  const char quote = D.Quote;
  const bool blanks = delim == dlBlanks;
  Error = TScanError::None;
  int index = 0;
  std::size_t p = Pos;
  if (blanks)
    while (p < end && (s[p] == ' ' || s[p] == '\t'))
      ++p;
  for (;;) {
    // One field starting at p.
    std::size_t q = p;
    while (q < end && IsFieldBlank(s[q], delim))
      ++q;
    TField field;
    if (quote != '\0' && q < end && s[q] == quote) {
      const std::size_t open = q;
      ++q;
      std::size_t from = q;
      bool doubled = false;
      for (;;) {
        std::size_t close = q;
        while (close < end && s[close] != quote)
          ++close;
        if (close >= end) {
          Error = TScanError::OpenQuote;
          ErrorField = index;
          ErrorPos = open;
          return end;
        }
        if (close + 1 < end && s[close + 1] == quote) {
          if (!doubled) {
            Scratch.assign(s + from, close + 1 - from);
            doubled = true;
          } else {
            Scratch.append(s + from, close + 1 - from);
          }
          q = close + 2;
          from = q;
          continue;
        }
        if (doubled) {
          Scratch.append(s + from, close - from);
          field.Text = Scratch;
        } else {
          field.Text = std::string_view(s + from, close - from);
        }
        q = close + 1;
        break;
      }
      field.Quoted = true;
      // After the closing quote: blanks, then the delimiter, a line end or the end of the
      // text; with blanks as the delimiter, one blank is enough.
      std::size_t r = q;
      while (r < end && IsFieldBlank(s[r], delim))
        ++r;
      const bool ends = r >= end || s[r] == '\n' || s[r] == '\r' || (blanks ? r > q : s[r] == delim);
      if (!ends) {
        Error = TScanError::AfterQuote;
        ErrorField = index;
        ErrorPos = open;
        return r;
      }
      if (!blanks)
        q = r;
    } else {
      std::size_t e = q;
      if (blanks) {
        while (e < end && s[e] != ' ' && s[e] != '\t' && s[e] != '\n' && s[e] != '\r')
          ++e;
      } else {
        while (e < end && s[e] != delim && s[e] != '\n' && s[e] != '\r')
          ++e;
      }
      std::size_t t = e;
      while (t > q && IsFieldBlank(s[t - 1], delim))
        --t;
      field.Text = std::string_view(s + q, t - q);
      q = e;
    }
    const bool more = OnField(index, field);
    ++index;
    // What follows the field: a delimiter (another field), a line end or the end of the text.
    if (blanks) {
      while (q < end && (s[q] == ' ' || s[q] == '\t'))
        ++q;
      if (q >= end)
        return end;
      if (s[q] == '\n' || s[q] == '\r')
        return SkipLine(Text, q);
      if (!more)
        return SkipRecordRest(Text, q, D);
      p = q;
      continue;
    }
    if (q >= end)
      return end;
    if (s[q] == delim) {
      if (!more)
        return SkipRecordRest(Text, q + 1, D);
      p = q + 1;
      continue;
    }
    return SkipLine(Text, q);
  }
}

// The field counts of the records of Text (at most MaxRecords), skipping blank and comment
// lines; a last record that may be cut (Complete false) is left out. Records that fail with a
// quote error end the list.
std::vector<int> FieldCounts(std::string_view Text, const TScanDialect& D, bool Complete, int MaxRecords);

// What a message shows of a quoted field that fails, starting at its opening quote: the rest
// of that line, at most 64 bytes.
std::string_view QuotedFieldStart(std::string_view Text, std::size_t Pos);

// A field's text cut to 40 characters for a message, control characters as blanks.
std::string FieldForMessage(std::string_view Field);

}  // namespace orvex::delim

namespace orvex::delim {

// A record of a sample, its fields unquoted.
struct TSampleRecord {
  std::size_t Pos = 0;    // where the record starts in the text
  std::int64_t Line = 0;  // its first physical line, 1-based
  std::vector<std::string> Fields;
};

// Why a sample cannot be read as records: the record, field and quote error.
struct TSampleError {
  TScanError Error = TScanError::None;
  std::int64_t Line = 0;
  int Field = 0;
  std::string Text;
};

// The records of Text after its first SkipLines physical lines, at most MaxRecords; a last
// record that may be cut (Complete false) is left out. A quote error ends the list.
std::vector<TSampleRecord> SampleRecords(std::string_view Text, const TScanDialect& D, int SkipLines, bool Complete,
                                         int MaxRecords, TSampleError* Error = nullptr);

// The position after the first Lines physical lines of Text.
std::size_t SkipLines(std::string_view Text, int Lines);

// Drops a UTF-8 byte-order mark.
inline std::string_view DropBom(std::string_view Text)
{
  if (Text.substr(0, 3) == "\xEF\xBB\xBF")
    Text.remove_prefix(3);
  return Text;
}

// The most texts a column may hold to become a Nominal column.
inline constexpr std::size_t MaxLevels = 150;

// Column kinds from the data records of a sample: Number when the numbers (finite or not) are
// at least as many as the texts, else Levels, or LeftOut with more than MaxLevels different
// texts. FirstField skips the row-name field.
std::vector<TColumnKind> SampleKinds(const std::vector<TSampleRecord>& Records, std::size_t FirstRecord, int Fields,
                                     int FirstField, char DecimalMark, const std::vector<std::string>& MissingTokens);

// The message of a failure: "line L, column C (field "F"): what".
std::string FailureMessage(std::int64_t Line, int Field, std::string_view FieldText, const std::string& What);

// The column names of a table: the header fields (after the row-name field) or, without a
// header or for an empty header field, "V" and the column's number.
std::vector<std::string> ColumnNames(const std::vector<std::string>* Header, int Fields, int FirstField);
// The raw name of table column Col (0-based) alone.
std::string ColumnName(const std::vector<std::string>* Header, int Fields, int FirstField, std::size_t Col);

}  // namespace orvex::delim
