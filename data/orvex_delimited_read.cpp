// The whole-file read of delimited text into a table builder.
//
// The text is held in memory whole (one copy of the file). The dialect and the column kinds
// come from the first 64 KiB, as in the import dialog's preview. The data after the header is
// cut into fixed blocks of about ChunkSize bytes, each moved to the next record start, so the
// blocks depend only on the text, never on the number of threads. A quote-free stretch is cut
// at any line end; where quotes are, records are walked from a known start so that a line break
// inside a quoted field never cuts a block. Then, on the math threads (ForEachMathTask):
// 1. each block counts its records and line ends; the sums give every block its first row and
//    its first line;
// 2. each block parses its records straight into the builder's columns at its rows. Texts of a
//    level column get block-local codes in order of first appearance;
// 3. the local codes are merged in block order into the level labels (so the levels follow the
//    first appearance in the file) and the values are renumbered.
// Every block stops at its first error, and the first failing block in file order decides the
// outcome, so the result, also a failure, is the same for any block size and thread count.
#include "orvex_delimited.h"

#include "orvex_blockreader.h"

#include "orvex_datatable_text.h"
#include "orvex_delimited_scan.h"
#include "orvex_math2.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#if defined(__unix__)
#include <unistd.h>
#endif

namespace orvex {

using delim::TCellKind;
using delim::TField;
using delim::TScanError;

namespace {

constexpr std::size_t SampleSize = std::size_t(64) << 10;
constexpr std::size_t DefaultChunkSize = std::size_t(1) << 20;
constexpr std::size_t DefaultBlockSize = std::size_t(8) << 20;
// Raw bytes kept of a row name before it is cut to its characters.
constexpr std::size_t RawNameCap = 4 * static_cast<std::size_t>(MaxNameLength) + 8;
// Progress: the share of reading the file; parsing takes the rest.
constexpr double ReadShare = 0.3;
constexpr int ChunksPerBatch = 8;
// Blocks of the file read between checks of cancel and progress.
constexpr int ReadBlocksPerBatch = 4;

// The texts of one level column met in one block, in order of first appearance. Up to 16 are
// searched one by one; beyond, an index is built. Past MaxLevels nothing more is kept.
struct TLevelDict {
  std::vector<std::string> Texts;
  std::unique_ptr<std::unordered_map<std::string_view, int>> Index;
  bool Overflow = false;

  // The local code of Text, or -1 once the column holds too many texts.
  int Code(std::string_view Text)
  {
    if (Overflow)
      return -1;
    if (Index) {
      const auto it = Index->find(Text);
      if (it != Index->end())
        return it->second;
    } else {
      for (std::size_t i = 0; i < Texts.size(); ++i)
        if (Texts[i] == Text)
          return static_cast<int>(i);
    }
    if (Texts.size() >= delim::MaxLevels + 1) {
      Overflow = true;
      Texts.clear();
      Index.reset();
      return -1;
    }
    // The strings' storage must not move for the index's views: reserve all at once.
    if (Texts.capacity() < delim::MaxLevels + 1 && Texts.size() == 16)
      Texts.reserve(delim::MaxLevels + 1);
    Texts.emplace_back(Text);
    const int code = static_cast<int>(Texts.size()) - 1;
    if (Texts.size() == 17) {
      Index = std::make_unique<std::unordered_map<std::string_view, int>>();
      for (std::size_t i = 0; i < Texts.size(); ++i)
        Index->emplace(Texts[i], static_cast<int>(i));
    } else if (Index) {
      Index->emplace(Texts.back(), code);
    }
    return code;
  }
};

struct TChunk {
  std::size_t Begin = 0;
  std::size_t End = 0;
  // pass 1
  std::int64_t Records = 0;
  std::int64_t LineEnds = 0;
  std::int64_t FirstRow = 0;   // 0-based
  std::int64_t FirstLine = 0;  // 1-based
  // pass 2
  bool Done = false;
  bool Failed = false;  // parse error, see below, or memory exhausted (Status TooLarge)
  TReadStatus Status = TReadStatus::OK;
  std::size_t ErrorPos = 0;
  int ErrorField = 0;
  std::string ErrorText;
  std::string ErrorWhat;
  std::int64_t NotNumbers = 0;
  std::vector<TLevelDict> Levels;  // one per level column, when the block has any
  std::vector<std::string> RowNames;  // raw, one per record, with row names
};

struct TPlan {
  delim::TScanDialect Scan;
  char Mark = '.';
  const std::vector<std::string>* Missing = nullptr;
  int Fields = 0;
  int FirstField = 0;
  std::vector<TColumnKind> Kinds;  // per table column
  std::vector<int> LevelSlot;      // per table column: index into TChunk::Levels, or -1
  int LevelColumns = 0;
  const std::vector<std::string>* Header = nullptr;  // the header's fields, raw

  // The raw name of a table column (0-based), made when asked, so that a wide file keeps no
  // name per column beside the header it has.
  std::string Name(std::size_t Col) const { return delim::ColumnName(Header, Fields, FirstField, Col); }
};

bool LineHasQuote(std::string_view Text, std::size_t Pos, std::size_t LineEnd, char Quote)
{
  return Quote != '\0' && std::memchr(Text.data() + Pos, Quote, LineEnd - Pos) != nullptr;
}

// The position after the record at Pos, a record start: a line without a quote is a record.
std::size_t NextRecord(std::string_view Text, std::size_t Pos, const delim::TScanDialect& D)
{
  const std::size_t lineEnd = delim::SkipLine(Text, Pos);
  if (!LineHasQuote(Text, Pos, lineEnd, D.Quote))
    return lineEnd;
  return delim::SkipRecordRest(Text, Pos, D);
}

// Block boundaries: about every ChunkSize bytes, moved to the next record start.
std::vector<TChunk> CutChunks(std::string_view Text, std::size_t Begin, std::size_t ChunkSize,
                              const delim::TScanDialect& D)
{
  std::vector<TChunk> chunks;
  const std::size_t end = Text.size();
  std::size_t start = Begin;
  std::size_t cursor = Begin;  // a record start, for walking through quoted stretches
  while (start < end) {
    std::size_t target = start + ChunkSize;
    std::size_t b = end;
    if (target < end) {
      // A quote-free stretch from the known record start to the line end after the target
      // holds no quoted line break: cut there.
      const std::size_t lineEnd = delim::SkipLine(Text, target - 1);
      if (!LineHasQuote(Text, cursor, lineEnd, D.Quote)) {
        b = lineEnd;
      } else {
        std::size_t p = cursor;
        while (p < target && p < end)
          p = NextRecord(Text, delim::SkipToRecord(Text, p, D), D);
        b = std::min(p, end);
      }
    }
    TChunk c;
    c.Begin = start;
    c.End = b;
    chunks.push_back(std::move(c));
    start = cursor = b;
  }
  return chunks;
}

void CountChunk(std::string_view Text, TChunk& C, const delim::TScanDialect& D)
{
  const std::string_view view = Text.substr(0, C.End);
  const char* const s = Text.data();
  // Without quotes and carriage returns every line feed ends a record or a line to skip: jump
  // from line feed to line feed and look only at the line starts.
  const std::size_t size = C.End - C.Begin;
  if ((D.Quote == '\0' || !std::memchr(s + C.Begin, D.Quote, size)) && !std::memchr(s + C.Begin, '\r', size)) {
    std::int64_t records = 0, lineEnds = 0;
    std::size_t p = C.Begin;
    while (p < C.End) {
      const auto* lf = static_cast<const char*>(std::memchr(s + p, '\n', C.End - p));
      const std::size_t next = lf ? static_cast<std::size_t>(lf - s) + 1 : C.End;
      if (delim::SkipToRecord(view.substr(0, next), p, D) < next)
        ++records;
      lineEnds += lf ? 1 : 0;
      p = next;
    }
    C.Records = records;
    C.LineEnds = lineEnds;
    return;
  }
  std::int64_t records = 0;
  for (std::size_t p = delim::SkipToRecord(view, C.Begin, D); p < C.End; p = delim::SkipToRecord(view, p, D)) {
    p = NextRecord(view, p, D);
    ++records;
  }
  C.Records = records;
  C.LineEnds = delim::CountLineEnds(Text, C.Begin, C.End);
}

// The common record of a numeric file, parsed in one pass over its bytes: every field a plain
// number (optional sign, at most 15 digits with an optional decimal mark, no exponent, no
// blanks, no quotes) directly followed by the delimiter, and the last by LF, CR LF or the end of
// the block; a row-name column first may hold a plain name, quoted or not. The values are
// those ParseNumber gives (a 15-digit mantissa and a power of ten
// are both exact, so one division rounds correctly). Writes the row and returns the position
// after the record; anything else returns 0 and the caller parses the record the general way,
// overwriting what was written. Only for plans whose fields are all number columns.
std::size_t FastNumericRecord(std::string_view View, std::size_t Pos, const TPlan& Plan, double* const* Columns,
                              std::uint8_t* const* States, std::size_t Row, std::vector<std::string>& RowNames)
{
  const char* p = View.data() + Pos;
  const char* const end = View.data() + View.size();
  const char delimiter = Plan.Scan.Delimiter;
  const char mark = Plan.Mark;
  const int fields = Plan.Fields - Plan.FirstField;
  // A row name: a field without blanks, quotes inside or line breaks, quoted or not.
  std::string_view name;
  if (Plan.FirstField == 1) {
    const char quote = Plan.Scan.Quote;
    const bool quoted = quote != '\0' && p < end && *p == quote;
    const char* const from = quoted ? p + 1 : p;
    const char* q = from;
    while (q < end && *q != delimiter && *q != quote && *q != '\n' && *q != '\r' && *q != ' ' && *q != '\t')
      ++q;
    if (quoted) {
      if (q + 1 >= end || *q != quote || q[1] != delimiter)
        return 0;
      name = std::string_view(from, static_cast<std::size_t>(q - from));
      p = q + 2;
    } else {
      if (q >= end || *q != delimiter || q == from)
        return 0;
      name = std::string_view(from, static_cast<std::size_t>(q - from));
      p = q + 1;
    }
  }
  for (int col = 0; col < fields; ++col) {
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) {
      negative = *p == '-';
      ++p;
    }
    std::uint64_t digits = 0;
    const std::ptrdiff_t whole = delim::AccumulateDigits(p, end, digits);
    std::ptrdiff_t fraction = 0;
    if (p < end && *p == mark) {
      ++p;
      fraction = delim::AccumulateDigits(p, end, digits);
    }
    if (whole + fraction == 0 || whole + fraction > delim::MaxExactDigits)
      return 0;
    const double v = delim::ExactDecimal(digits, static_cast<int>(fraction));
    Columns[col][Row] = negative ? -v : v;
    States[col][Row] = 0;
    if (col + 1 < fields) {
      if (p >= end || *p != delimiter)
        return 0;
      ++p;
    }
  }
  std::size_t next = 0;
  if (p == end)
    next = View.size();
  else if (*p == '\n')
    next = static_cast<std::size_t>(p + 1 - View.data());
  else if (*p == '\r' && p + 1 < end && p[1] == '\n')
    next = static_cast<std::size_t>(p + 2 - View.data());
  if (next != 0 && Plan.FirstField == 1)
    RowNames.emplace_back(name.substr(0, RawNameCap));
  return next;
}

// Parses the records of one block into the builder's columns from row C.FirstRow on.
void ParseChunk(std::string_view Text, TChunk& C, const TPlan& Plan, double* const* Columns,
                std::uint8_t* const* States, const std::atomic<bool>* Cancel)
{
  const std::string_view view = Text.substr(0, C.End);
  const int fields = Plan.Fields;
  const int first = Plan.FirstField;
  if (Plan.LevelColumns > 0)
    C.Levels.resize(static_cast<std::size_t>(Plan.LevelColumns));
  std::string scratch;
  std::size_t row = static_cast<std::size_t>(C.FirstRow);
  std::size_t recordPos = 0;
  auto fail = [&](TReadStatus Status, std::size_t Pos, int Field, std::string_view FieldText, std::string What) {
    C.Failed = true;
    C.Status = Status;
    C.ErrorPos = Pos;
    C.ErrorField = Field;
    C.ErrorText = delim::FieldForMessage(FieldText);
    C.ErrorWhat = std::move(What);
  };
  auto fieldPos = [&](const TField& F) {
    const char* p = F.Text.data();
    return p >= view.data() && p <= view.data() + view.size() ? static_cast<std::size_t>(p - view.data())
                                                               : recordPos;
  };
  const bool numeric = Plan.Scan.Delimiter != dlBlanks && Plan.Scan.Delimiter != Plan.Mark &&
                       std::all_of(Plan.Kinds.begin(), Plan.Kinds.end(), [](TColumnKind K) { return K == TColumnKind::Number; });
  std::int64_t sinceCheck = 0;
  for (std::size_t p = delim::SkipToRecord(view, C.Begin, Plan.Scan); p < C.End;
       p = delim::SkipToRecord(view, p, Plan.Scan)) {
    if (Cancel && ++sinceCheck >= 4096) {
      sinceCheck = 0;
      if (Cancel->load(std::memory_order_relaxed))
        return;
    }
    if (numeric) {
      const std::size_t next = FastNumericRecord(view, p, Plan, Columns, States, row, C.RowNames);
      if (next != 0) {
        p = next;
        ++row;
        continue;
      }
    }
    recordPos = p;
    int count = 0;
    TScanError error = TScanError::None;
    int errorField = 0;
    std::size_t errorPos = 0;
    const std::size_t next = delim::ScanRecord(
        view, p, Plan.Scan, scratch,
        [&](int Index, const TField& F) {
          count = Index + 1;
          if (Index >= fields) {
            fail(TReadStatus::BadShape, fieldPos(F), Index + 1, F.Text,
                 "the line has more than the table's " + std::to_string(fields) + " fields");
            return false;
          }
          if (Index < first) {
            C.RowNames.emplace_back(F.Text.substr(0, RawNameCap));
            return true;
          }
          const auto col = static_cast<std::size_t>(Index - first);
          const TColumnKind kind = Plan.Kinds[col];
          if (kind == TColumnKind::LeftOut)
            return true;
          double v = 0.0;
          const TCellKind k = delim::ClassifyCell(F.Text, Plan.Mark, *Plan.Missing, v);
          double value = 0.0;
          std::uint8_t state = 0;
          switch (k) {
          case TCellKind::Number:
            value = v;
            break;
          case TCellKind::NonFinite:
            state = csNotANumber;
            ++C.NotNumbers;
            break;
          case TCellKind::Missing:
            state = csEmpty;
            break;
          case TCellKind::NaN:
            state = csNotANumber;
            break;
          case TCellKind::Text:
            if (kind == TColumnKind::Number) {
              fail(TReadStatus::BadNumber, fieldPos(F), Index + 1, F.Text,
                   "a text in the number column \"" + delim::FieldForMessage(Plan.Name(col)) + "\"");
              return false;
            }
            break;
          }
          if (kind == TColumnKind::Levels && (k == TCellKind::Number || k == TCellKind::NonFinite || k == TCellKind::Text)) {
            // A level column takes every text as written, numbers too.
            state = 0;
            value = C.Levels[static_cast<std::size_t>(Plan.LevelSlot[col])].Code(F.Text);
          }
          Columns[col][row] = value;
          States[col][row] = state;
          return true;
        },
        error, errorField, errorPos);
    if (C.Failed)
      return;
    if (error != TScanError::None) {
      fail(TReadStatus::OpenQuote, errorPos, errorField + 1, delim::QuotedFieldStart(Text, errorPos),
           error == TScanError::OpenQuote ? "a quote is never closed" : "text follows the closing quote");
      return;
    }
    if (count < fields) {
      fail(TReadStatus::BadShape, next > 0 ? next - 1 : next, count + 1, std::string_view(),
           "the line has " + std::to_string(count) + " fields, the table " + std::to_string(fields));
      // The position is the line end; the line is the record's last one.
      C.ErrorPos = std::min(C.ErrorPos, C.End);
      return;
    }
    p = next;
    ++row;
  }
  C.Done = true;
}

// Runs Work on every chunk in batches on the math threads, with cancel and progress between
// batches. False when cancelled.
template <typename FWork>
bool ForEachChunk(std::vector<TChunk>& Chunks, const TReadControl& Control, double From, double To, FWork&& Work)
{
  const int n = static_cast<int>(Chunks.size());
  for (int start = 0; start < n; start += ChunksPerBatch) {
    if (Control.Cancel && Control.Cancel->load())
      return false;
    const int count = std::min(ChunksPerBatch, n - start);
    ForEachMathTask(count, [&](int i) { Work(Chunks[static_cast<std::size_t>(start + i)]); });
    if (Control.Progress)
      Control.Progress(From + (To - From) * (start + count) / std::max(1, n));
  }
  return !(Control.Cancel && Control.Cancel->load());
}

// The whole text of a file, uninitialised storage from the bulk allocator (huge pages for a
// large file, so that first touching it costs few page faults).
class TTextBuffer {
public:
  explicit TTextBuffer(std::size_t Size) : FData(TBulkAllocator<char>().allocate(Size)), FSize(Size) {}
  ~TTextBuffer() { TBulkAllocator<char>().deallocate(FData, FSize); }
  TTextBuffer(const TTextBuffer&) = delete;
  TTextBuffer& operator=(const TTextBuffer&) = delete;
  char* Data() { return FData; }
  std::size_t Size() const { return FSize; }
  // Twice the size, keeping the first Used bytes.
  void Grow(std::size_t Used)
  {
    char* bigger = TBulkAllocator<char>().allocate(2 * FSize);
    std::memcpy(bigger, FData, Used);
    TBulkAllocator<char>().deallocate(FData, FSize);
    FData = bigger;
    FSize *= 2;
  }

private:
  char* FData;
  std::size_t FSize;
};

TDelimitedResult Failure(TDelimitedResult R, TReadStatus Status, std::string Message)
{
  R.Status = Status;
  R.Message = std::move(Message);
  return R;
}

// What a read decides before the rows: the dialect, the column kinds and the header, from the
// start of the text (Text, after the byte-order mark; the whole text when Whole). Res receives
// the dialect, Plan the plan of the parse (pointing into Res and HeaderFields), Pos the start
// of the rows. False, with Res telling why, when the header does not read.
bool PrepareRead(std::string_view text, bool Whole, const TDelimitedDialect& Dialect, TDelimitedResult& res,
                 TPlan& plan, std::vector<std::string>& headerFields, std::size_t& pos)
{
  // The sample: the first 64 KiB as the dialog shows them, more only when it holds fewer than
  // two whole records (a very long first line).
  std::size_t sampleSize = std::min(text.size(), SampleSize);
  while (sampleSize < text.size() &&
         delim::FieldCounts(text.substr(0, sampleSize),
                            {Dialect.Delimiter == dlDetect ? dlComma : Dialect.Delimiter, Dialect.Quote}, false, 2)
                 .size() < 2)
    sampleSize = std::min(text.size(), 2 * sampleSize);
  const std::string_view sample = text.substr(0, sampleSize);
  res.Detected = DetectDialect(sample, Dialect);
  const TDelimitedDialect& d = res.Detected.Dialect;
  const delim::TScanDialect scan{d.Delimiter, d.Quote};
  const bool header = d.Header == TPresence::Yes;

  plan.Scan = scan;
  plan.Mark = d.DecimalMark == TDecimalMark::Comma ? ',' : '.';
  plan.Missing = &d.MissingTokens;
  plan.Fields = std::max(1, res.Detected.Fields);
  plan.FirstField = d.RowNames == TPresence::Yes && plan.Fields >= 2 ? 1 : 0;
  {
    const std::vector<delim::TSampleRecord> records =
        delim::SampleRecords(sample, scan, d.SkipLines, Whole && sample.size() == text.size(), 5000);
    plan.Kinds = delim::SampleKinds(records, header ? 1 : 0, plan.Fields, plan.FirstField, plan.Mark, d.MissingTokens);
  }

  // The header, from the text itself.
  pos = delim::SkipToRecord(text, delim::SkipLines(text, std::max(0, d.SkipLines)), scan);
  if (header && pos < text.size()) {
    std::string scratch;
    TScanError error = TScanError::None;
    int errorField = 0;
    std::size_t errorPos = 0;
    const std::size_t next = delim::ScanRecord(
        text, pos, scan, scratch,
        [&](int, const TField& F) {
          headerFields.emplace_back(F.Text.substr(0, RawNameCap));
          return true;
        },
        error, errorField, errorPos);
    if (error != TScanError::None) {
      res.Line = 1 + delim::CountLineEnds(text, 0, errorPos);
      res.Field = errorField + 1;
      res.Text = delim::FieldForMessage(delim::QuotedFieldStart(text, errorPos));
      res = Failure(res, TReadStatus::OpenQuote,
                    delim::FailureMessage(res.Line, res.Field, res.Text,
                                          error == TScanError::OpenQuote ? "a quote is never closed"
                                                                         : "text follows the closing quote"));
      return false;
    }
    const int n = static_cast<int>(headerFields.size());
    if (n != plan.Fields && !(n == plan.Fields - 1 && plan.FirstField == 1)) {
      res.Line = 1 + delim::CountLineEnds(text, 0, pos);
      res.Field = std::min(n, plan.Fields) + 1;
      res.Text = n > plan.Fields ? delim::FieldForMessage(headerFields[static_cast<std::size_t>(plan.Fields)]) : "";
      res = Failure(res, TReadStatus::BadShape,
                    delim::FailureMessage(res.Line, res.Field, res.Text,
                                          "the header has " + std::to_string(n) + " fields, the table " +
                                              std::to_string(plan.Fields)));
      return false;
    }
    pos = next;
  }
  plan.Header = header ? &headerFields : nullptr;
  plan.LevelSlot.assign(plan.Kinds.size(), -1);
  for (std::size_t c = 0; c < plan.Kinds.size(); ++c)
    if (plan.Kinds[c] == TColumnKind::Levels)
      plan.LevelSlot[c] = plan.LevelColumns++;
  return true;
}

TDelimitedResult ReadText(std::string_view Whole, const TDelimitedDialect& Dialect, TTableBuilder& Builder,
                          const TReadControl& Control, double ProgressFrom)
{
  TDelimitedResult res;
  const std::string_view text = delim::DropBom(Whole);
  TPlan plan;
  std::vector<std::string> headerFields;
  std::size_t pos = 0;
  if (!PrepareRead(text, true, Dialect, res, plan, headerFields, pos))
    return res;
  const TDelimitedDialect& d = res.Detected.Dialect;
  const delim::TScanDialect scan = plan.Scan;

  // Blocks, then pass 1: records and line ends per block.
  const std::size_t chunkSize = Control.ChunkSize > 0 ? Control.ChunkSize : DefaultChunkSize;
  std::vector<TChunk> chunks = CutChunks(text, pos, chunkSize, scan);
  const double parseFrom = ProgressFrom;
  const double countTo = parseFrom + (1.0 - parseFrom) * 0.2;
  if (!ForEachChunk(chunks, Control, parseFrom, countTo, [&](TChunk& C) {
        try {
          CountChunk(text, C, scan);
        } catch (const std::bad_alloc&) {
          C.Failed = true;
        }
      }))
    return Failure(res, TReadStatus::Cancelled, "the read was cancelled");
  for (const TChunk& c : chunks)
    if (c.Failed)
      return Failure(res, TReadStatus::TooLarge, "not enough memory for the table");
  std::int64_t rows = 0;
  std::int64_t line = 1 + delim::CountLineEnds(text, 0, pos);
  for (TChunk& c : chunks) {
    c.FirstRow = rows;
    c.FirstLine = line;
    rows += c.Records;
    line += c.LineEnds;
  }
  const int nrCols = plan.Fields - plan.FirstField;
  if (rows == 0)
    return Failure(res, TReadStatus::NoTable, "the file holds no rows of data");
  if (rows > INT_MAX)
    return Failure(res, TReadStatus::TooLarge, "the file holds more rows than a table can");

  // Pass 2: straight into the builder.
  Builder.Resize(nrCols, static_cast<int>(rows));
  std::vector<double*> columns(static_cast<std::size_t>(nrCols));
  std::vector<std::uint8_t*> states(static_cast<std::size_t>(nrCols));
  for (int c = 0; c < nrCols; ++c) {
    columns[static_cast<std::size_t>(c)] = Builder.Column(c + 1);
    states[static_cast<std::size_t>(c)] = Builder.ColumnStates(c + 1);
  }
  if (!ForEachChunk(chunks, Control, countTo, 1.0, [&](TChunk& C) {
        try {
          ParseChunk(text, C, plan, columns.data(), states.data(), Control.Cancel);
        } catch (const std::bad_alloc&) {
          C.Failed = true;
          C.Status = TReadStatus::TooLarge;
          C.ErrorWhat = "not enough memory";
        }
      }))
    return Failure(res, TReadStatus::Cancelled, "the read was cancelled");
  for (const TChunk& c : chunks) {
    if (c.Failed) {
      if (c.Status == TReadStatus::TooLarge)
        return Failure(res, TReadStatus::TooLarge, "not enough memory for the table");
      res.Line = c.FirstLine + delim::CountLineEnds(text, c.Begin, c.ErrorPos);
      res.Field = c.ErrorField;
      res.Text = c.ErrorText;
      return Failure(res, c.Status, delim::FailureMessage(res.Line, res.Field, res.Text, c.ErrorWhat));
    }
    if (!c.Done)
      return Failure(res, TReadStatus::Cancelled, "the read was cancelled");
    res.NotNumbers += c.NotNumbers;
  }

  // Level columns: the blocks' texts merged in file order, the values renumbered.
  std::vector<bool> keep(static_cast<std::size_t>(nrCols), true);
  // Labels per level column (by slot), so that a wide file of numbers keeps nothing per column.
  std::vector<std::vector<std::string>> labels(static_cast<std::size_t>(plan.LevelColumns));
  for (int c = 0; c < nrCols; ++c) {
    const auto col = static_cast<std::size_t>(c);
    if (plan.Kinds[col] == TColumnKind::LeftOut) {
      keep[col] = false;
      res.LeftOut.push_back({c + 1 + plan.FirstField, plan.Name(col),
                             "more than " + std::to_string(delim::MaxLevels) + " different texts"});
      continue;
    }
    if (plan.Kinds[col] != TColumnKind::Levels)
      continue;
    const auto slot = static_cast<std::size_t>(plan.LevelSlot[col]);
    std::unordered_map<std::string_view, int> global;
    std::vector<std::vector<int>> remap(chunks.size());
    bool overflow = false;
    for (std::size_t k = 0; k < chunks.size() && !overflow; ++k) {
      if (chunks[k].Levels.empty())
        continue;
      const TLevelDict& dict = chunks[k].Levels[slot];
      overflow = dict.Overflow;
      for (const std::string& t : dict.Texts) {
        auto [it, added] = global.emplace(t, static_cast<int>(labels[slot].size()));
        if (added)
          labels[slot].push_back(t);
        remap[k].push_back(it->second);
      }
      overflow = overflow || labels[slot].size() > delim::MaxLevels;
    }
    if (overflow) {
      keep[col] = false;
      labels[slot].clear();
      res.LeftOut.push_back({c + 1 + plan.FirstField, plan.Name(col),
                             "more than " + std::to_string(delim::MaxLevels) + " different texts"});
      continue;
    }
    double* values = columns[col];
    const std::uint8_t* st = states[col];
    ForEachChunk(chunks, TReadControl(), 0, 0, [&](TChunk& C) {
      const std::vector<int>& map = remap[static_cast<std::size_t>(&C - chunks.data())];
      for (std::int64_t r = C.FirstRow; r < C.FirstRow + C.Records; ++r)
        if (st[r] == 0)
          values[r] = map[static_cast<std::size_t>(values[r])];
    });
  }

  // Texts: UTF-8 unless the kept texts are not valid UTF-8 (or Windows-1252 is given).
  bool utf8 = d.Encoding == TTextEncoding::Utf8;
  if (d.Encoding == TTextEncoding::Detect) {
    utf8 = true;
    if (plan.Header)
      for (const std::string& n : *plan.Header)
        utf8 = utf8 && dtext::IsValidUtf8(n);
    for (const auto& l : labels)
      for (const std::string& t : l)
        utf8 = utf8 && dtext::IsValidUtf8(t);
    for (const TChunk& c : chunks)
      for (const std::string& n : c.RowNames)
        utf8 = utf8 && dtext::IsValidUtf8(n);
  }
  res.Detected.Dialect.Encoding = utf8 ? TTextEncoding::Utf8 : TTextEncoding::Windows1252;
  auto text8 = [utf8](const std::string& S) { return utf8 ? S : dtext::Cp1252ToUtf8(S); };
  for (int c = 0; c < nrCols; ++c) {
    const auto col = static_cast<std::size_t>(c);
    Builder.SetColName(c + 1, text8(plan.Name(col)));
    if (plan.Kinds[col] == TColumnKind::Levels && keep[col]) {
      const auto slot = static_cast<std::size_t>(plan.LevelSlot[col]);
      Builder.SetVarType(c + 1, vtNominal);
      for (std::size_t l = 0; l < labels[slot].size(); ++l)
        Builder.SetLevelName(c + 1, static_cast<int>(l), text8(labels[slot][l]));
    }
  }
  if (plan.FirstField == 1) {
    int r = 1;
    for (const TChunk& c : chunks)
      for (const std::string& n : c.RowNames)
        Builder.SetRowName(r++, text8(n));
  }
  if (std::find(keep.begin(), keep.end(), true) == keep.end())
    return Failure(res, TReadStatus::NoTable,
                   "no column is left: every column holds more than " + std::to_string(delim::MaxLevels) +
                       " different texts");
  Builder.KeepColumns(keep);
  Builder.CellStateNotices = 0;
  Builder.SetupNotices = 0;
  if (Control.Progress)
    Control.Progress(1.0);
  return res;
}

}  // namespace

TDelimitedResult ReadDelimitedText(std::string_view Text, const TDelimitedDialect& Dialect, TTableBuilder& Builder,
                                   const TReadControl& Control)
{
  try {
    return ReadText(Text, Dialect, Builder, Control, 0.0);
  } catch (const EOrvexDataTableError&) {
    return Failure(TDelimitedResult(), TReadStatus::TooLarge, "not enough memory for the table");
  } catch (const std::bad_alloc&) {
    return Failure(TDelimitedResult(), TReadStatus::TooLarge, "not enough memory for the table");
  }
}

TDelimitedResult ReadDelimitedFile(const std::string& FileName, const TDelimitedDialect& Dialect,
                                   TTableBuilder& Builder, const TReadControl& Control)
{
  std::FILE* f = std::fopen(FileName.c_str(), "rb");
  if (!f)
    return Failure(TDelimitedResult(), TReadStatus::CannotRead, "the file does not exist or cannot be read");
  std::setvbuf(f, nullptr, _IONBF, 0);
  try {
    // The whole text, read in blocks so that cancel and progress reach the caller.
    std::int64_t size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) {
      size = std::ftell(f);
      std::fseek(f, 0, SEEK_SET);
    }
    const std::size_t block = Control.BlockSize > 0 ? Control.BlockSize : DefaultBlockSize;
    TTextBuffer buffer(size > 0 ? static_cast<std::size_t>(size) + 1 : block);
    std::size_t filled = 0;
#if defined(__unix__)
    // A file of known size is read in fixed blocks on the math threads (copying from the page
    // cache is the larger part of reading a cached file); what follows a short block, such as a
    // file that grew meanwhile, is read by the loop below.
    if (size > 0) {
      const int fd = fileno(f);
      const auto total = static_cast<std::size_t>(size);
      const int blocks = static_cast<int>((total + block - 1) / block);
      std::atomic<bool> failed{false};
      std::vector<std::size_t> got(static_cast<std::size_t>(blocks), 0);
      for (int first = 0; first < blocks && !failed; first += ReadBlocksPerBatch) {
        if (Control.Cancel && Control.Cancel->load()) {
          std::fclose(f);
          return Failure(TDelimitedResult(), TReadStatus::Cancelled, "the read was cancelled");
        }
        const int count = std::min(ReadBlocksPerBatch, blocks - first);
        ForEachMathTask(count, [&](int i) {
          const std::size_t k = static_cast<std::size_t>(first + i);
          const std::size_t from = k * block;
          const std::size_t want = std::min(block, total - from);
          std::size_t done = 0;
          while (done < want) {
            const ssize_t n = pread(fd, buffer.Data() + from + done, want - done, static_cast<off_t>(from + done));
            if (n < 0 && errno == EINTR)
              continue;
            if (n < 0)
              failed = true;
            if (n <= 0)
              break;
            done += static_cast<std::size_t>(n);
          }
          got[k] = done;
        });
        if (Control.Progress)
          Control.Progress(ReadShare * std::min(1.0, static_cast<double>(first + count) / blocks));
      }
      if (failed) {
        std::fclose(f);
        return Failure(TDelimitedResult(), TReadStatus::CannotRead, "the file cannot be read");
      }
      // The bytes read end at the first short block (a file cut meanwhile).
      for (std::size_t k = 0; k < got.size(); ++k) {
        filled += got[k];
        if (got[k] < std::min(block, total - k * block))
          break;
      }
      if (filled < total || std::fseek(f, static_cast<long>(filled), SEEK_SET) != 0) {
        std::fclose(f);
        f = nullptr;
        return ReadText(std::string_view(buffer.Data(), filled), Dialect, Builder, Control, ReadShare);
      }
    }
#endif
    for (;;) {
      if (Control.Cancel && Control.Cancel->load()) {
        std::fclose(f);
        return Failure(TDelimitedResult(), TReadStatus::Cancelled, "the read was cancelled");
      }
      if (filled == buffer.Size())
        buffer.Grow(filled);
      const std::size_t want = std::min(block, buffer.Size() - filled);
      const std::size_t got = std::fread(buffer.Data() + filled, 1, want, f);
      filled += got;
      if (Control.Progress && size > 0)
        Control.Progress(ReadShare * std::min(1.0, static_cast<double>(filled) / static_cast<double>(size)));
      if (got < want) {
        if (std::ferror(f)) {
          std::fclose(f);
          return Failure(TDelimitedResult(), TReadStatus::CannotRead, "the file cannot be read");
        }
        break;
      }
    }
    std::fclose(f);
    f = nullptr;
    return ReadText(std::string_view(buffer.Data(), filled), Dialect, Builder, Control, ReadShare);
  } catch (const EOrvexDataTableError&) {
    if (f)
      std::fclose(f);
    return Failure(TDelimitedResult(), TReadStatus::TooLarge, "not enough memory for the table");
  } catch (const std::bad_alloc&) {
    if (f)
      std::fclose(f);
    return Failure(TDelimitedResult(), TReadStatus::TooLarge, "not enough memory for the table");
  }
}

// ---------------------------------------------------------------------------------------------
// The block reader: the text read a block at a time, each block's complete records cut into
// chunks and parsed as the whole-file read parses its chunks.

namespace {

// Text per block and per parsing task: a block of short fields (two bytes a value) parses into
// about a million values, some 20 MB with the block's copy.
constexpr std::size_t StreamBlockSize = std::size_t(2) << 20;
constexpr std::size_t StreamChunkSize = std::size_t(512) << 10;

class TDelimitedBlockReader : public TBlockReader {
public:
  TDelimitedBlockReader(const std::string& FileName, const TBlockReadOptions& Options) : FFileName(FileName), FOptions(Options)
  {
    FFormat = TFileFormat::Delimited;
  }
  ~TDelimitedBlockReader() override
  {
    if (FFile)
      std::fclose(FFile);
  }
  TDelimitedBlockReader(const TDelimitedBlockReader&) = delete;
  TDelimitedBlockReader& operator=(const TDelimitedBlockReader&) = delete;

  bool Open(const TDelimitedDialect& Dialect)
  {
    FFile = std::fopen(FFileName.c_str(), "rb");
    if (!FFile)
      return Fail("the file does not exist or cannot be read");
    FBlock = FOptions.BlockBytes > 0 ? FOptions.BlockBytes : StreamBlockSize;
    // The start holds the sample the dialect is decided from, and the header.
    FBuffer.resize(std::max(FBlock, 2 * SampleSize));
    while (!FEof && FEnd < 2 * SampleSize)
      if (!Fill())
        return false;
    std::string_view text(FBuffer.data(), FEnd);
    const std::string_view body = delim::DropBom(text);
    FBegin = FEnd - body.size();
    // A header that does not fit the first piece of text gets more of it.
    std::size_t pos = 0;
    for (;;) {
      FResult = TDelimitedResult();
      FHeaderFields.clear();
      FPlan = TPlan();
      text = std::string_view(FBuffer.data() + FBegin, FEnd - FBegin);
      if (!PrepareRead(text, FEof, Dialect, FResult, FPlan, FHeaderFields, pos))
        return Fail(FResult.Message);
      const bool headerComplete = FPlan.Header == nullptr || pos < text.size() || FEof;
      if (headerComplete && (FEof || text.size() >= 2 * SampleSize))
        break;
      if (!Grow())
        return false;
    }
    FLine = 1 + delim::CountLineEnds(std::string_view(FBuffer.data() + FBegin, FEnd - FBegin), 0, pos);
    FBegin += pos;
    const int nrCols = FPlan.Fields - FPlan.FirstField;
    FUtf8 = FResult.Detected.Dialect.Encoding == TTextEncoding::Utf8;
    if (FResult.Detected.Dialect.Encoding == TTextEncoding::Detect) {
      FUtf8 = true;
      if (FPlan.Header)
        for (const std::string& n : *FPlan.Header)
          FUtf8 = FUtf8 && dtext::IsValidUtf8(n);
    }
    TTableBuilder names;
    names.Resize(nrCols, 1);
    for (int c = 0; c < nrCols; ++c) {
      const auto col = static_cast<std::size_t>(c);
      if (FPlan.Kinds[col] == TColumnKind::LeftOut) {
        FLeftOut.push_back({c + 1 + FPlan.FirstField, FPlan.Name(col),
                            "more than " + std::to_string(delim::MaxLevels) + " different texts"});
        continue;
      }
      names.SetColName(c + 1, Text8(FPlan.Name(col)));
      FColNames.push_back(names.ColName(c + 1));
      FLevelColumns.push_back(FPlan.Kinds[col] == TColumnKind::Levels);
      FKept.push_back(c);
    }
    if (FKept.empty())
      return Fail("no column is left: every column holds more than " + std::to_string(delim::MaxLevels) +
                  " different texts");
    FLabels.resize(static_cast<std::size_t>(FPlan.LevelColumns));
    FGlobal.resize(static_cast<std::size_t>(FPlan.LevelColumns));
    return true;
  }

  bool Next(TRowBlock& Block) override
  {
    if (Failed())
      return false;
    for (;;) {
      const std::size_t cut = CompleteEnd();
      if (cut == FBegin) {
        if (FEof) {
          if (FRowsRead == 0)
            Fail("the file holds no rows of data");
          return false;
        }
        if (!Grow())
          return false;
        continue;
      }
      const std::int64_t rows = ParseBlock(cut, Block);
      if (rows < 0)
        return false;
      FBegin = cut;
      if (!Fill())
        return false;
      if (rows > 0)
        return true;
    }
  }

private:
  bool Fail(const std::string& Why)
  {
    FMessage = "cannot read the file \"" + FFileName + "\": " + Why;
    return false;
  }

  std::string Text8(const std::string& S) const { return FUtf8 ? S : dtext::Cp1252ToUtf8(S); }

  // Moves the unread text to the front and reads up to a block more; false (Message set) when
  // the file fails.
  bool Fill()
  {
    if (FBegin > 0) {
      std::memmove(FBuffer.data(), FBuffer.data() + FBegin, FEnd - FBegin);
      FEnd -= FBegin;
      FBegin = 0;
    }
    const std::size_t want = std::min(FBlock, FBuffer.size() - FEnd);
    std::size_t got = 0;
    while (!FEof && got < want) {
      const std::size_t n = std::fread(FBuffer.data() + FEnd, 1, want - got, FFile);
      FEnd += n;
      got += n;
      if (n == 0) {
        if (std::ferror(FFile))
          return Fail("the file cannot be read");
        FEof = true;
      }
    }
    return true;
  }

  // More text: twice the buffer when the unread part fills it.
  bool Grow()
  {
    if (FEnd - FBegin == FBuffer.size())
      FBuffer.resize(2 * FBuffer.size());
    return Fill();
  }

  // The end of the last record of the unread text that is surely complete: after its line
  // end, with a quoted field never cut (records walked from a known start where quotes are).
  // At the end of the file, the end of the text.
  std::size_t CompleteEnd()
  {
    if (FEof)
      return FEnd;
    if (FBegin == FEnd)
      return FBegin;
    const char* s = FBuffer.data();
    // A carriage return as the last byte may be the first half of CR LF.
    std::size_t cut = FBegin;
    for (std::size_t q = FEnd; q > FBegin; --q) {
      const char c = s[q - 1];
      if (c == '\n' || (c == '\r' && q < FEnd)) {
        cut = q;
        break;
      }
    }
    const char quote = FPlan.Scan.Quote;
    if (cut == FBegin || quote == '\0' || !std::memchr(s + FBegin, quote, cut - FBegin))
      return cut;
    const std::string_view all(s, FEnd);
    std::size_t p = FBegin;
    for (;;) {
      const std::size_t start = delim::SkipToRecord(all.substr(0, cut), p, FPlan.Scan);
      if (start >= cut)
        return cut;
      const std::size_t next = NextRecord(all, start, FPlan.Scan);
      if (next > cut || (next == FEnd && s[FEnd - 1] != '\n' && s[FEnd - 1] != '\r'))
        return p;
      p = next;
    }
  }

  // Parses the records of [FBegin, Cut) into Block; the rows parsed, or -1 on a failure.
  std::int64_t ParseBlock(std::size_t Cut, TRowBlock& Block)
  {
    const std::string_view text(FBuffer.data(), Cut);
    const std::size_t chunkSize = FOptions.ChunkSize > 0 ? FOptions.ChunkSize : StreamChunkSize;
    std::vector<TChunk> chunks = CutChunks(text, FBegin, chunkSize, FPlan.Scan);
    TTaskContext context;
    context.Threads = FOptions.Threads;
    TTaskPool::Shared().Run(
        static_cast<int>(chunks.size()), [&](int i) { CountChunk(text, chunks[static_cast<std::size_t>(i)], FPlan.Scan); },
        context);
    std::int64_t rows = 0;
    std::int64_t line = FLine;
    for (TChunk& c : chunks) {
      c.FirstRow = rows;
      c.FirstLine = line;
      rows += c.Records;
      line += c.LineEnds;
    }
    FLine = line;
    if (rows == 0)
      return 0;
    if (FRowsRead + rows > INT_MAX)
      return Fail("the file holds more rows than a table can"), -1;
    // Every column of the file is parsed into the scratch columns; the kept ones are the block.
    const int nrCols = FPlan.Fields - FPlan.FirstField;
    const auto nrRows = static_cast<std::size_t>(rows);
    FValues.resize(static_cast<std::size_t>(nrCols) * nrRows);
    FStates.assign(static_cast<std::size_t>(nrCols) * nrRows, 0);
    std::vector<double*> columns(static_cast<std::size_t>(nrCols));
    std::vector<std::uint8_t*> states(static_cast<std::size_t>(nrCols));
    for (int c = 0; c < nrCols; ++c) {
      columns[static_cast<std::size_t>(c)] = FValues.data() + static_cast<std::size_t>(c) * nrRows;
      states[static_cast<std::size_t>(c)] = FStates.data() + static_cast<std::size_t>(c) * nrRows;
    }
    TTaskPool::Shared().Run(
        static_cast<int>(chunks.size()),
        [&](int i) { ParseChunk(text, chunks[static_cast<std::size_t>(i)], FPlan, columns.data(), states.data(), nullptr); },
        context);
    for (const TChunk& c : chunks)
      if (c.Failed) {
        const std::int64_t at = c.FirstLine + delim::CountLineEnds(text, c.Begin, c.ErrorPos);
        return Fail(delim::FailureMessage(at, c.ErrorField, c.ErrorText, c.ErrorWhat)), -1;
      }
    // Level columns: the chunks' texts join the labels in file order, the codes follow.
    for (int c = 0; c < nrCols; ++c) {
      const auto col = static_cast<std::size_t>(c);
      if (FPlan.Kinds[col] != TColumnKind::Levels)
        continue;
      const auto slot = static_cast<std::size_t>(FPlan.LevelSlot[col]);
      std::vector<std::string>& labels = FLabels[slot];
      std::unordered_map<std::string, int>& global = FGlobal[slot];
      for (const TChunk& ch : chunks) {
        if (ch.Levels.empty())
          continue;
        const TLevelDict& dict = ch.Levels[slot];
        std::vector<int> remap;
        for (const std::string& t : dict.Texts) {
          auto [it, added] = global.emplace(t, static_cast<int>(labels.size()));
          if (added)
            labels.push_back(t);
          remap.push_back(it->second);
        }
        if (dict.Overflow || labels.size() > delim::MaxLevels)
          return Fail("column " + std::to_string(c + 1 + FPlan.FirstField) + " \"" + delim::FieldForMessage(FPlan.Name(col)) +
                      "\" holds more than " + std::to_string(delim::MaxLevels) +
                      " different texts, which a read in blocks cannot leave out"),
                 -1;
        double* values = columns[col];
        const std::uint8_t* st = states[col];
        for (std::int64_t r = ch.FirstRow; r < ch.FirstRow + ch.Records; ++r)
          if (st[r] == 0)
            values[r] = remap[static_cast<std::size_t>(values[r])];
      }
    }
    Block.Reset(static_cast<int>(FKept.size()), static_cast<int>(rows), FRowsRead + 1);
    for (std::size_t k = 0; k < FKept.size(); ++k) {
      const auto from = static_cast<std::size_t>(FKept[k]) * nrRows;
      std::copy(FValues.begin() + static_cast<std::ptrdiff_t>(from),
                FValues.begin() + static_cast<std::ptrdiff_t>(from + nrRows),
                Block.Values.begin() + static_cast<std::ptrdiff_t>(k * nrRows));
      std::copy(FStates.begin() + static_cast<std::ptrdiff_t>(from),
                FStates.begin() + static_cast<std::ptrdiff_t>(from + nrRows),
                Block.States.begin() + static_cast<std::ptrdiff_t>(k * nrRows));
    }
    if (FPlan.FirstField == 1)
      for (const TChunk& ch : chunks)
        for (const std::string& n : ch.RowNames)
          Block.RowNames.push_back(
              dtext::Utf8Left(dtext::ToUtf8(Text8(n)), static_cast<std::size_t>(MaxNameLength)));
    FRowsRead += rows;
    return rows;
  }

  std::string FFileName;
  TBlockReadOptions FOptions;
  std::FILE* FFile = nullptr;
  std::size_t FBlock = 0;
  std::vector<char> FBuffer;
  std::size_t FBegin = 0;
  std::size_t FEnd = 0;
  bool FEof = false;
  std::int64_t FLine = 1;  // the line FBegin is on
  TDelimitedResult FResult;
  TPlan FPlan;
  std::vector<std::string> FHeaderFields;
  bool FUtf8 = true;
  std::vector<int> FKept;  // the file's columns (0-based, row names not counted) that the table keeps
  std::vector<std::vector<std::string>> FLabels;
  std::vector<std::unordered_map<std::string, int>> FGlobal;
  std::vector<double> FValues;
  std::vector<std::uint8_t> FStates;
};

}  // namespace

std::unique_ptr<TBlockReader> OpenDelimitedBlockReader(const std::string& FileName, const TDelimitedDialect& Dialect,
                                                       std::string& Message, const TBlockReadOptions& Options)
{
  auto reader = std::make_unique<TDelimitedBlockReader>(FileName, Options);
  try {
    if (!reader->Open(Dialect)) {
      Message = reader->Message();
      return nullptr;
    }
  } catch (const std::bad_alloc&) {
    Message = "cannot read the file \"" + FileName + "\": not enough memory";
    return nullptr;
  }
  return reader;
}

}  // namespace orvex
