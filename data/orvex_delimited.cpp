// The delimited reader's decisions: dialect detection from a sample, the preview, the dialect
// of a short pasted text, and the format of a file. The whole-file read is in
// orvex_delimited_read.cpp, the scanning layer in orvex_delimited_scan.cpp.
//
// Detection rules, in the order they are applied (each only where the dialect says Detect):
// 1. Encoding: UTF-8 when the sample is valid UTF-8 (a character cut at the sample's end is
//    forgiven), else Windows-1252.
// 2. Delimiter: each candidate (comma, semicolon, tab, pipe, blanks) splits the sample's
//    records; its score is the number of records that have its most frequent field count, and
//    only counts of 2 or more score. The highest score wins; a tie goes to the rarer delimiter
//    in the order tab, semicolon, pipe, comma, blanks (a semicolon file with decimal commas
//    splits as consistently at commas). No candidate scores: one column (comma).
// 3. Lines to skip: the physical lines before the first record that has the table's field
//    count (or one field fewer when the next record has the full count: a header without the
//    row-name field); 0 when the first record already has it.
// 4. Decimal mark: "." with the comma as delimiter; otherwise "," when more fields read as a
//    number with a decimal comma than with a decimal point, else ".".
// 5. Header: the first record has one field fewer than the table (a header without the
//    row-name field), or one of its fields is a text where the records below have numbers;
//    or, when no column below holds numbers, the first record holds no number either.
// 6. Row names: with a header that lacks the row-name field or whose first field is empty; or
//    when the first column below the header holds texts only, all different, and the table
//    has another column.
#include "orvex_delimited.h"

#include "orvex_datatable_asc.h"
#include "orvex_datatable_text.h"
#include "orvex_delimited_scan.h"
#include "orvex_statfile.h"
#include "orvex_workbook.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <set>
#include <unordered_set>

namespace orvex {

using delim::TCellKind;

const std::vector<std::string>& DefaultMissingTokens()
{
  static const std::vector<std::string> tokens = {"", "NA", "N/A", "NaN", "nan", ".", "?"};
  return tokens;
}

const char* DelimiterName(char Delimiter)
{
  switch (Delimiter) {
  case dlComma: return "comma";
  case dlSemicolon: return "semicolon";
  case dlTab: return "tab";
  case dlPipe: return "pipe";
  case dlBlanks: return "blanks";
  default: return "detect";
  }
}

namespace delim {

std::size_t SkipLines(std::string_view Text, int Lines)
{
  std::size_t pos = 0;
  for (int i = 0; i < Lines && pos < Text.size(); ++i)
    pos = SkipLine(Text, pos);
  return pos;
}

std::vector<TSampleRecord> SampleRecords(std::string_view Text, const TScanDialect& D, int SkipLineCount,
                                         bool Complete, int MaxRecords, TSampleError* Error)
{
  std::vector<TSampleRecord> records;
  std::string scratch;
  std::size_t pos = SkipToRecord(Text, SkipLines(Text, SkipLineCount), D);
  std::int64_t line = 1 + SkipLineCount;
  std::size_t counted = SkipLines(Text, SkipLineCount);
  while (pos < Text.size() && static_cast<int>(records.size()) < MaxRecords) {
    line += CountLineEnds(Text, counted, pos);
    counted = pos;
    TSampleRecord rec;
    rec.Pos = pos;
    rec.Line = line;
    TScanError error = TScanError::None;
    int errorField = 0;
    std::size_t errorPos = 0;
    const std::size_t next = ScanRecord(
        Text, pos, D, scratch,
        [&rec](int, const TField& F) {
          rec.Fields.emplace_back(F.Text);
          return true;
        },
        error, errorField, errorPos);
    if (error != TScanError::None) {
      // A quote left open at the end of a cut sample may close further on.
      if (Error && (Complete || error != TScanError::OpenQuote)) {
        Error->Error = error;
        Error->Field = errorField + 1;
        Error->Line = line + CountLineEnds(Text, pos, errorPos);
        Error->Text = FieldForMessage(QuotedFieldStart(Text, errorPos));
      }
      break;
    }
    if (!Complete && next >= Text.size())
      break;
    records.push_back(std::move(rec));
    pos = SkipToRecord(Text, next, D);
  }
  return records;
}

std::vector<TColumnKind> SampleKinds(const std::vector<TSampleRecord>& Records, std::size_t FirstRecord, int Fields,
                                     int FirstField, char DecimalMark, const std::vector<std::string>& MissingTokens)
{
  std::vector<TColumnKind> kinds;
  for (int f = FirstField; f < Fields; ++f) {
    int numbers = 0, texts = 0;
    std::unordered_set<std::string_view> distinct;
    for (std::size_t r = FirstRecord; r < Records.size(); ++r) {
      const auto& fields = Records[r].Fields;
      if (f >= static_cast<int>(fields.size()))
        continue;
      double v = 0.0;
      const TCellKind k = ClassifyCell(fields[static_cast<std::size_t>(f)], DecimalMark, MissingTokens, v);
      if (k == TCellKind::Number || k == TCellKind::NonFinite) {
        ++numbers;
      } else if (k == TCellKind::Text) {
        ++texts;
        if (distinct.size() <= MaxLevels)
          distinct.insert(fields[static_cast<std::size_t>(f)]);
      }
    }
    if (numbers >= texts)
      kinds.push_back(TColumnKind::Number);
    else
      kinds.push_back(distinct.size() > MaxLevels ? TColumnKind::LeftOut : TColumnKind::Levels);
  }
  return kinds;
}

std::string FailureMessage(std::int64_t Line, int Field, std::string_view FieldText, const std::string& What)
{
  return "line " + std::to_string(Line) + ", column " + std::to_string(Field) + " (field \"" +
         FieldForMessage(FieldText) + "\"): " + What;
}

std::string ColumnName(const std::vector<std::string>* Header, int Fields, int FirstField, std::size_t Col)
{
  const std::size_t field = Col + static_cast<std::size_t>(FirstField);
  // A header without the row-name field is shifted by one.
  const std::size_t h = Header && static_cast<int>(Header->size()) == Fields - 1 ? field - 1 : field;
  if (Header && h < Header->size() && !(*Header)[h].empty())
    return (*Header)[h];
  return "V" + std::to_string(Col + 1);
}

std::vector<std::string> ColumnNames(const std::vector<std::string>* Header, int Fields, int FirstField)
{
  std::vector<std::string> names;
  for (int f = FirstField; f < Fields; ++f)
    names.push_back(ColumnName(Header, Fields, FirstField, static_cast<std::size_t>(f - FirstField)));
  return names;
}

}  // namespace delim

namespace {

constexpr std::size_t SampleSize = std::size_t(64) << 10;
constexpr int MaxSampleRecords = 5000;
// Candidates in the order that wins a tie.
constexpr std::array<char, 5> Candidates = {dlTab, dlSemicolon, dlPipe, dlComma, dlBlanks};

bool Utf8Forgiving(std::string_view S, bool Complete)
{
  if (dtext::IsValidUtf8(S))
    return true;
  if (Complete)
    return false;
  // A character cut by the sample's end.
  for (std::size_t k = 1; k <= 3 && k <= S.size(); ++k)
    if (dtext::IsValidUtf8(S.substr(0, S.size() - k)))
      return true;
  return false;
}

// The most frequent count of Counts (the larger one on a tie) and how many have it.
std::pair<int, int> ModeOf(const std::vector<int>& Counts)
{
  std::map<int, int> freq;
  for (int c : Counts)
    ++freq[c];
  std::pair<int, int> best{0, 0};
  for (const auto& [count, n] : freq)
    if (n >= best.second)
      best = {count, n};
  return best;
}

bool IsNumberLike(TCellKind K) { return K == TCellKind::Number || K == TCellKind::NonFinite; }

// Whether record First, one field short, is a header without the row-name field (as R's
// write.table writes it): the records after it are data rows that start with a text and hold
// a number. A title line above a header is not one: the header holds no number.
bool ShortHeaderAt(const std::vector<delim::TSampleRecord>& Records, std::size_t First, int Fields,
                   const TDelimitedDialect& D)
{
  const char mark = D.DecimalMark == TDecimalMark::Comma ? ',' : '.';
  int rows = 0;
  for (std::size_t r = First + 1; r < Records.size() && r <= First + 2; ++r) {
    const auto& f = Records[r].Fields;
    if (static_cast<int>(f.size()) != Fields)
      return false;
    double v = 0.0;
    if (delim::ClassifyCell(f[0], mark, D.MissingTokens, v) != TCellKind::Text)
      return false;
    bool number = false;
    for (std::size_t k = 1; k < f.size() && !number; ++k)
      number = IsNumberLike(delim::ClassifyCell(f[k], mark, D.MissingTokens, v));
    if (!number)
      return false;
    ++rows;
  }
  return rows > 0;
}

}  // namespace

TDetectedDialect DetectDialect(std::string_view Sample, const TDelimitedDialect& Given)
{
  TDetectedDialect out;
  TDelimitedDialect& d = out.Dialect;
  d = Given;
  const std::string_view text = delim::DropBom(Sample);
  bool complete = Sample.size() < SampleSize;

  if (d.Encoding == TTextEncoding::Detect) {
    d.Encoding = Utf8Forgiving(text, complete) ? TTextEncoding::Utf8 : TTextEncoding::Windows1252;
    out.Reasons.push_back(d.Encoding == TTextEncoding::Utf8 ? "the text is valid UTF-8"
                                                            : "the text is not valid UTF-8: Windows-1252");
  }

  // A sample without one whole record (a very long first line) is taken as it stands.
  {
    const char probe = d.Delimiter == dlDetect ? dlComma : d.Delimiter;
    if (!complete && delim::FieldCounts(text, {probe, d.Quote}, false, 2).empty())
      complete = true;
  }

  int fields = 1;
  if (d.Delimiter == dlDetect) {
    int bestScore = 0;
    char best = dlComma;
    int bestCount = 1, bestRecords = 0;
    for (const char cand : Candidates) {
      const std::vector<int> counts = delim::FieldCounts(text, {cand, d.Quote}, complete, MaxSampleRecords);
      const auto [count, n] = ModeOf(counts);
      if (count >= 2 && n > bestScore) {
        bestScore = n;
        best = cand;
        bestCount = count;
        bestRecords = static_cast<int>(counts.size());
      }
    }
    d.Delimiter = best;
    fields = bestCount;
    out.Reasons.push_back(bestScore == 0 ? std::string("no delimiter splits the lines alike: one column")
                                         : std::string(DelimiterName(best)) + ": " + std::to_string(bestScore) +
                                               " of " + std::to_string(bestRecords) + " lines have " +
                                               std::to_string(bestCount) + " fields");
  } else {
    fields = std::max(1, ModeOf(delim::FieldCounts(text, {d.Delimiter, d.Quote}, complete, MaxSampleRecords)).first);
  }
  const delim::TScanDialect scan{d.Delimiter, d.Quote};

  // Lines to skip: records before the first that fits the table.
  std::vector<delim::TSampleRecord> records =
      delim::SampleRecords(text, scan, std::max(0, d.SkipLines), complete, MaxSampleRecords);
  if (d.SkipLines < 0) {
    std::size_t first = 0;
    for (; first < records.size(); ++first) {
      const int n = static_cast<int>(records[first].Fields.size());
      if (n == fields)
        break;
      if (n == fields - 1 && ShortHeaderAt(records, first, fields, d))
        break;
    }
    if (first == records.size())
      first = 0;
    d.SkipLines = first == 0 ? 0 : static_cast<int>(records[first].Line - 1);
    if (first > 0) {
      records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(first));
      out.Reasons.push_back(std::to_string(d.SkipLines) + " lines before the table are skipped");
    }
  }

  if (d.DecimalMark == TDecimalMark::Detect) {
    if (d.Delimiter == dlComma) {
      d.DecimalMark = TDecimalMark::Point;
      out.Reasons.push_back("the comma separates fields: decimal point");
    } else {
      int commas = 0, points = 0;
      for (const auto& rec : records)
        for (const std::string& f : rec.Fields) {
          double v = 0.0;
          if (f.find(',') != std::string::npos && IsNumberLike(delim::ParseNumber(f, ',', v)))
            ++commas;
          else if (f.find('.') != std::string::npos && IsNumberLike(delim::ParseNumber(f, '.', v)))
            ++points;
        }
      d.DecimalMark = commas > points ? TDecimalMark::Comma : TDecimalMark::Point;
      out.Reasons.push_back(std::to_string(commas) + " numbers with a decimal comma, " + std::to_string(points) +
                            " with a decimal point");
    }
  }
  const char mark = d.DecimalMark == TDecimalMark::Comma ? ',' : '.';

  // Header: compare the first record with the records below it.
  const bool shortFirst = !records.empty() && static_cast<int>(records[0].Fields.size()) == fields - 1 &&
                          ShortHeaderAt(records, 0, fields, d);
  if (d.Header == TPresence::Detect) {
    bool header = false;
    std::string reason = "the first line looks like the rows below it: no header";
    if (shortFirst) {
      header = true;
      reason = "the first line lacks the row-name field: a header";
    } else if (records.size() == 1) {
      // A single line of texts names columns that hold no rows.
      header = true;
      for (const std::string& f : records[0].Fields) {
        double v = 0.0;
        header = header && !IsNumberLike(delim::ClassifyCell(f, '.', d.MissingTokens, v)) &&
                 !IsNumberLike(delim::ClassifyCell(f, ',', d.MissingTokens, v));
      }
      reason = header ? "a single line of texts: a header" : "a single line with numbers: no header";
    } else if (records.size() >= 2) {
      const std::vector<TColumnKind> below = delim::SampleKinds(records, 1, fields, 0, mark, d.MissingTokens);
      bool anyNumberColumn = false, firstHasNumber = false;
      const auto& first = records[0].Fields;
      for (int f = 0; f < fields && f < static_cast<int>(first.size()); ++f) {
        double v = 0.0;
        const TCellKind k = delim::ClassifyCell(first[static_cast<std::size_t>(f)], mark, d.MissingTokens, v);
        firstHasNumber = firstHasNumber || IsNumberLike(k);
        if (below[static_cast<std::size_t>(f)] == TColumnKind::Number) {
          anyNumberColumn = true;
          if (k == TCellKind::Text && !header) {
            header = true;
            reason = "field " + std::to_string(f + 1) + " of the first line is a text above numbers: a header";
          }
        }
      }
      if (!anyNumberColumn && !firstHasNumber) {
        header = true;
        reason = "no column holds numbers and the first line holds none: a header";
      }
    }
    d.Header = header ? TPresence::Yes : TPresence::No;
    out.Reasons.push_back(reason);
  }
  const bool header = d.Header == TPresence::Yes;

  if (d.RowNames == TPresence::Detect) {
    bool rowNames = false;
    std::string reason = "no row names";
    if (fields >= 2 && header && shortFirst) {
      rowNames = true;
      reason = "the header lacks the row-name field: row names";
    } else if (fields >= 2 && header && !records.empty() && !records[0].Fields.empty() &&
               records[0].Fields[0].find_first_not_of(" \t") == std::string::npos) {
      rowNames = true;
      reason = "the first header field is empty: row names";
    } else if (fields >= 2) {
      // A first column of texts, all different.
      std::set<std::string_view> seen;
      bool allTexts = true;
      int n = 0;
      for (std::size_t r = header ? 1 : 0; r < records.size() && allTexts; ++r) {
        if (records[r].Fields.empty())
          continue;
        const std::string& f = records[r].Fields[0];
        double v = 0.0;
        allTexts = delim::ClassifyCell(f, mark, d.MissingTokens, v) == TCellKind::Text && seen.insert(f).second;
        ++n;
      }
      if (allTexts && n > 0) {
        rowNames = true;
        reason = "the first column holds different texts: row names";
      }
    }
    d.RowNames = rowNames ? TPresence::Yes : TPresence::No;
    out.Reasons.push_back(reason);
  }
  out.Fields = fields;
  return out;
}

std::string ReadFileSample(const std::string& FileName, std::size_t SampleBytes)
{
  std::string sample;
  std::FILE* f = std::fopen(FileName.c_str(), "rb");
  if (!f)
    return sample;
  sample.resize(SampleBytes);
  sample.resize(std::fread(sample.data(), 1, SampleBytes, f));
  std::fclose(f);
  return sample;
}

TDelimitedPreview PreviewDelimited(std::string_view Sample, const TDelimitedDialect& Dialect, int MaxRows)
{
  TDelimitedPreview out;
  out.Detected = DetectDialect(Sample, Dialect);
  const TDelimitedDialect& d = out.Detected.Dialect;
  const int fields = out.Detected.Fields;
  const std::string_view text = delim::DropBom(Sample);
  const bool complete = Sample.size() < SampleSize;
  delim::TSampleError error;
  std::vector<delim::TSampleRecord> records =
      delim::SampleRecords(text, {d.Delimiter, d.Quote}, d.SkipLines, complete, MaxSampleRecords, &error);
  if (records.empty() && !complete)
    records = delim::SampleRecords(text, {d.Delimiter, d.Quote}, d.SkipLines, true, MaxSampleRecords, &error);
  const bool header = d.Header == TPresence::Yes && !records.empty();
  const int firstField = d.RowNames == TPresence::Yes && fields >= 2 ? 1 : 0;
  const char mark = d.DecimalMark == TDecimalMark::Comma ? ',' : '.';
  const std::size_t firstRecord = header ? 1 : 0;

  const std::vector<std::string> names =
      delim::ColumnNames(header ? &records[0].Fields : nullptr, fields, firstField);
  const std::vector<TColumnKind> kinds =
      delim::SampleKinds(records, firstRecord, fields, firstField, mark, d.MissingTokens);
  for (std::size_t c = 0; c < names.size(); ++c) {
    TPreviewColumn col;
    col.Name = d.Encoding == TTextEncoding::Windows1252 ? dtext::Cp1252ToUtf8(names[c]) : names[c];
    col.Kind = kinds[c];
    if (col.Kind == TColumnKind::LeftOut)
      col.Reason = "more than " + std::to_string(delim::MaxLevels) + " different texts";
    out.Columns.push_back(std::move(col));
  }
  auto text8 = [&d](const std::string& S) {
    return d.Encoding == TTextEncoding::Windows1252 ? dtext::Cp1252ToUtf8(S) : dtext::ToUtf8(S);
  };
  for (std::size_t r = firstRecord; r < records.size() && static_cast<int>(out.Cells.size()) < MaxRows; ++r) {
    const auto& f = records[r].Fields;
    if (static_cast<int>(f.size()) != fields && out.Message.empty()) {
      const int at = std::min(static_cast<int>(f.size()), fields);
      out.Message = delim::FailureMessage(records[r].Line, at + 1,
                                          at < static_cast<int>(f.size()) ? std::string_view(f[static_cast<std::size_t>(at)]) : std::string_view(),
                                          "the line has " + std::to_string(f.size()) + " fields, the table " +
                                              std::to_string(fields));
    }
    if (firstField == 1)
      out.RowNames.push_back(f.empty() ? std::string() : text8(f[0]));
    std::vector<std::string> row;
    for (int c = firstField; c < fields; ++c) {
      const std::string cell = c < static_cast<int>(f.size()) ? f[static_cast<std::size_t>(c)] : std::string();
      double v = 0.0;
      const TCellKind k = delim::ClassifyCell(cell, mark, d.MissingTokens, v);
      if (k == TCellKind::Text || k == TCellKind::NonFinite)
        ++out.Columns[static_cast<std::size_t>(c - firstField)].NotNumbers;
      row.push_back(text8(cell));
    }
    out.Cells.push_back(std::move(row));
  }
  if (out.Message.empty() && error.Error != delim::TScanError::None)
    out.Message = delim::FailureMessage(error.Line, error.Field, error.Text,
                                        error.Error == delim::TScanError::OpenQuote
                                            ? "a quote is never closed"
                                            : "text follows the closing quote");
  return out;
}

TSmallTextDialect DetectSmallText(std::string_view Text)
{
  TSmallTextDialect out;
  const std::string_view text = delim::DropBom(Text);
  // The first candidate, in the order tab (what spreadsheets put on the clipboard),
  // semicolon, pipe, comma, blanks, that splits every line alike into two or more fields.
  for (const char cand : Candidates) {
    const std::vector<int> counts = delim::FieldCounts(text, {cand, '"'}, true, 1 << 20);
    out.Rows = static_cast<int>(counts.size());
    if (counts.empty() || counts[0] < 2 ||
        !std::all_of(counts.begin(), counts.end(), [&](int c) { return c == counts[0]; }))
      continue;
    out.Delimiter = cand;
    out.Fields = counts[0];
    out.DelimiterDecided = true;
    break;
  }
  if (!out.DelimiterDecided)
    out.Fields = out.Rows > 0 ? 1 : 0;
  // Two whole numbers split by a comma on every line may as well be one number with a decimal
  // comma ("1,5"): undecidable.
  if (out.DelimiterDecided && out.Delimiter == dlComma && out.Fields == 2) {
    bool allWhole = true;
    for (const auto& rec : delim::SampleRecords(text, {dlComma, '"'}, 0, true, 1 << 20))
      for (const std::string& f : rec.Fields)
        allWhole = allWhole && !f.empty() && f.find_first_not_of("+-0123456789") == std::string::npos;
    if (allWhole) {
      out.DelimiterDecided = false;
      out.Delimiter = dlTab;
      out.Fields = 1;
    }
  }

  // The decimal mark: only when the numbers show one mark and not the other.
  int commas = 0, points = 0;
  const char delimiter = out.Delimiter;
  for (const auto& rec : delim::SampleRecords(text, {delimiter, '"'}, 0, true, 1 << 20))
    for (const std::string& f : rec.Fields) {
      double v = 0.0;
      if (delimiter != ',' && f.find(',') != std::string::npos && IsNumberLike(delim::ParseNumber(f, ',', v)))
        ++commas;
      else if (f.find('.') != std::string::npos && IsNumberLike(delim::ParseNumber(f, '.', v)))
        ++points;
    }
  out.DecimalMarkDecided = (commas > 0) != (points > 0);
  out.DecimalMark = commas > 0 && points == 0 ? TDecimalMark::Comma : TDecimalMark::Point;
  return out;
}

TFileFormat DecideFileFormat(const std::string& FileName)
{
  const std::size_t dot = FileName.find_last_of('.');
  const std::size_t slash = FileName.find_last_of('/');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    const std::string ext = dtext::LowerAscii(FileName.substr(dot + 1));
    if (ext == "csv" || ext == "tsv")
      return TFileFormat::Delimited;
    if (ext == "asc")
      return TFileFormat::Asc;
  }
  TWorkbookKind workbook = TWorkbookKind::Xlsx;
  if (WorkbookKindOf(FileName, workbook))
    return TFileFormat::Workbook;
  TStatFileKind stat = TStatFileKind::Sav;
  if (StatFileKindOf(FileName, stat))
    return TFileFormat::StatFile;
  std::string comment;
  int cols = 0, rows = 0;
  bool f1 = false, f2 = false, f3 = false, f4 = false;
  return TDataTable::ReadASCHeader(FileName, comment, cols, rows, f1, f2, f3, f4) == ascOK ? TFileFormat::Asc
                                                                                             : TFileFormat::Delimited;
}

}  // namespace orvex
