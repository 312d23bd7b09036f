// The ASC reader of TDataTable. An ASC file holds a comment line, the column and row counts, a
// flag line, optional column names, the rows (optional attribute and name, then the values as
// a stream of tokens), an optional VARTYPES section with measurement types and level labels
// and an optional key/value section.
//
// The file is read once, in large blocks (never mapped: a mapped file that someone truncates
// meanwhile would end the process). Rows without names in a regular file are parsed block by
// block straight into storage of the declared size, which the file's size bounds
// (orvex_datatable_asc_rows.cpp); otherwise everything the file yields is collected aside (the
// values row by row in fixed-size chunks, non-zero cell states in a sparse list). Either way the
// table's contents are replaced only at the end, so a failure before that point leaves the
// table as it was.
#include "orvex_datatable.h"

#include "orvex_datatable_asc.h"
#include "orvex_datatable_text.h"
#include "orvex_tablebuilder.h"
#include "orvex_taskpool.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#if defined(__unix__)
#include <cerrno>
#include <unistd.h>
#define ORVEX_POSITIONED_READ
#endif

namespace orvex {

// ---------------------------------------------------------------------------------------------
// TASCTextFile

bool TASCTextFile::Open(const std::string& FileName, std::size_t BlockSize)
{
  Close();
  FFile = std::fopen(FileName.c_str(), "rb");
  if (!FFile)
    return false;
  // Our own block buffer does the buffering.
  std::setvbuf(FFile, nullptr, _IONBF, 0);
  std::error_code ec;
  const std::filesystem::path path(FileName);
  FSize = -1;
  FPositioned = false;
  if (std::filesystem::is_regular_file(path, ec)) {
    const auto size = std::filesystem::file_size(path, ec);
    FSize = ec ? -1 : static_cast<std::int64_t>(size);
  }
#if defined(ORVEX_POSITIONED_READ)
  FPositioned = FSize >= 0;
#endif
  // A small file needs no large buffer: one byte more than the file lets the first read see
  // its end.
  std::size_t blockSize = std::max<std::size_t>(BlockSize, 16);
  if (FSize >= 0 && static_cast<std::uint64_t>(FSize) < blockSize)
    blockSize = std::max<std::size_t>(static_cast<std::size_t>(FSize) + 1, 16);
  // One byte more for the byte after the text.
  FBuffer.resize(blockSize + 1);
  FData = FBuffer.data();
  FPos = FEnd = 0;
  FBytesRead = 0;
  FTextSize = 0;
  FEnded = FFailed = false;
  FUtf8 = dtext::TUtf8Validator();
  Fill();
  if (FFailed) {
    Close();
    return false;
  }
  return true;
}

void TASCTextFile::Close()
{
  if (FFile) {
    std::fclose(FFile);
    FFile = nullptr;
  }
  FEnded = true;
  FPos = FEnd = 0;
}

namespace {

// What one part of a fill brought: the bytes read, the bytes of text before a Ctrl-Z (all of
// them without one), whether that text is plain ASCII, and whether the read failed.
struct TFillPart {
  std::size_t Got = 0;
  std::size_t Text = 0;
  bool Ascii = true;
  bool Failed = false;
};

bool IsAscii(const char* Data, std::size_t Size)
{
  std::uint64_t any = 0;
  std::size_t i = 0;
  for (; i + 8 <= Size; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, Data + i, 8);
    any |= w;
  }
  for (; i < Size; ++i)
    any |= static_cast<unsigned char>(Data[i]);
  return (any & 0x8080808080808080ULL) == 0;
}

// Reads Size bytes of File into To, fewer only at its end, then finds the text before a Ctrl-Z
// and whether it is plain ASCII. A regular file is read at Offset (so parts may be read at the
// same time); any other from the stream's position, which the caller keeps at Offset.
void ReadPart(std::FILE* File, bool Positioned, char* To, std::size_t Size, std::int64_t Offset, TFillPart& Part)
{
#if defined(ORVEX_POSITIONED_READ)
  if (Positioned) {
    const int fd = ::fileno(File);
    while (Part.Got < Size) {
      const ssize_t n =
          ::pread(fd, To + Part.Got, Size - Part.Got, static_cast<off_t>(Offset) + static_cast<off_t>(Part.Got));
      if (n > 0) {
        Part.Got += static_cast<std::size_t>(n);
      } else if (n == 0) {
        break;
      } else if (errno != EINTR) {
        Part.Failed = true;
        break;
      }
    }
  } else
#endif
  {
    (void)Positioned;
    (void)Offset;
    Part.Got = std::fread(To, 1, Size, File);
    Part.Failed = Part.Got < Size && std::ferror(File);
  }
  const void* z = std::memchr(To, 26, Part.Got);
  Part.Text = z ? static_cast<std::size_t>(static_cast<const char*>(z) - To) : Part.Got;
  Part.Ascii = IsAscii(To, Part.Text);
}

}  // namespace

bool TASCTextFile::Fill()
{
  // What is left unread moves to the front; the buffer grows when that is more than half of it.
  const std::size_t keep = FEnd - FPos;
  if (keep > 0 && FPos > 0)
    std::memmove(FBuffer.data(), FBuffer.data() + FPos, keep);
  FPos = 0;
  FEnd = keep;
  if (FEnded || !FFile)
    return false;
  if (keep > (FBuffer.size() - 1) / 2) {
    FBuffer.resize(2 * FBuffer.size());
    FData = FBuffer.data();
  }
  const std::size_t room = FBuffer.size() - 1 - keep;
  char* const fresh = FBuffer.data() + keep;
  // A large block of a regular file is read in parts on several threads: the copy from the
  // system's cache, the search for a Ctrl-Z and the check for plain ASCII would otherwise keep
  // the other threads waiting between the blocks they parse.
  const bool positioned = FPositioned;
  const int threads = asc::ReadThreads(FThreads);
  const std::size_t parts = positioned && threads > 1 && room >= 2 * FPartBytes
                                ? std::min<std::size_t>(static_cast<std::size_t>(threads), room / FPartBytes)
                                : 1;
  const std::size_t partSize = (room + parts - 1) / parts;
  std::vector<TFillPart> got(parts);
  const auto read = [&](int k) {
    const std::size_t first = static_cast<std::size_t>(k) * partSize;
    ReadPart(FFile, positioned, fresh + first, std::min(partSize, room - first),
             FBytesRead + static_cast<std::int64_t>(first), got[static_cast<std::size_t>(k)]);
  };
  if (parts == 1) {
    read(0);
  } else {
    TTaskContext context;
    context.Threads = threads;
    TTaskPool::Shared().Run(static_cast<int>(parts), read, context);
  }
  // The parts in file order: the text up to a Ctrl-Z (which ends the file), the bytes up to the
  // end of the file; a failed read ends it with nothing taken from this fill.
  std::size_t n = 0;
  bool ascii = true;
  bool ctrlZ = false;
  for (std::size_t k = 0; k < parts; ++k) {
    const TFillPart& part = got[k];
    FBytesRead += static_cast<std::int64_t>(part.Got);
    if (part.Failed) {
      FFailed = FEnded = true;
      n = 0;
      break;
    }
    if (!ctrlZ) {
      n += part.Text;
      ascii = ascii && part.Ascii;
      ctrlZ = part.Text < part.Got;
    }
    if (part.Got < std::min(partSize, room - k * partSize)) {
      FEnded = true;
      break;
    }
  }
  FEnded = FEnded || ctrlZ;
  // Plain ASCII changes nothing in the UTF-8 check but ends a character left unfinished before
  // it, which its first byte shows.
  FUtf8.Feed(fresh, ascii ? std::min<std::size_t>(n, 1) : n);
  FTextSize += static_cast<std::int64_t>(n);
  FEnd = keep + n;
  FBuffer[FEnd] = '\0';
  return n > 0;
}

bool TASCTextFile::ReadLine(std::string& Line)
{
  Line.clear();
  if (Eof())
    return false;
  for (;;) {
    const char* start = FData + FPos;
    const auto* lf = static_cast<const char*>(std::memchr(start, '\n', FEnd - FPos));
    const char* stop = lf ? lf : FData + FEnd;
    // Carriage returns never belong to a line: before a line feed they end it, alone they are
    // dropped.
    for (const char* p = start; p < stop; ++p)
      if (*p != '\r')
        Line += *p;
    if (lf) {
      FPos = static_cast<std::size_t>(lf - FData) + 1;
      return true;
    }
    FPos = FEnd;
    if (!Fill())
      return true;
  }
}

void TASCTextFile::SkipLine()
{
  while (!Eof()) {
    const char* start = FData + FPos;
    if (const void* lf = std::memchr(start, '\n', FEnd - FPos)) {
      FPos = static_cast<std::size_t>(static_cast<const char*>(lf) - FData) + 1;
      return;
    }
    FPos = FEnd;
  }
}

void TASCTextFile::SkipToEnd()
{
  FPos = FEnd;
  while (Fill())
    FPos = FEnd;
}

std::string_view TASCTextFile::NextToken()
{
  for (;;) {
    while (FPos < FEnd && static_cast<unsigned char>(FData[FPos]) <= 32)
      ++FPos;
    if (FPos < FEnd)
      break;
    if (!Fill())
      return {};
  }
  const std::size_t start = FPos;
  while (FPos < FEnd && static_cast<unsigned char>(FData[FPos]) > 32)
    ++FPos;
  if (FPos < FEnd || FEnded)
    return std::string_view(FData + start, FPos - start);
  // The token runs on into the next block.
  FScratch.assign(FData + start, FPos - start);
  while (Fill()) {
    while (FPos < FEnd && static_cast<unsigned char>(FData[FPos]) > 32)
      FScratch += FData[FPos++];
    if (FPos < FEnd)
      break;
  }
  return FScratch;
}

// ---------------------------------------------------------------------------------------------
// Tokens

namespace asc {

namespace {

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

}  // namespace

bool ParseNumber(std::string_view Token, double& Value)
{
  const std::size_t n = Token.size();
  std::size_t i = 0;
  while (i < n && Token[i] == ' ')
    ++i;
  bool negative = false;
  if (i < n && (Token[i] == '+' || Token[i] == '-')) {
    negative = Token[i] == '-';
    ++i;
  }
  // One pass checks the grammar and gathers the digits. With at most 19 digits in all the
  // mantissa fits 64 bits exactly; with more it may wrap, and only the exact path below reads it.
  const std::size_t mantissa = i;
  std::uint64_t digits = 0;
  while (i < n && IsDigit(Token[i])) {
    digits = digits * 10 + static_cast<unsigned>(Token[i] - '0');
    ++i;
  }
  const std::size_t intDigits = i - mantissa;
  std::size_t fracDigits = 0;
  if (i < n && Token[i] == '.') {
    const std::size_t fracStart = ++i;
    while (i < n && IsDigit(Token[i])) {
      digits = digits * 10 + static_cast<unsigned>(Token[i] - '0');
      ++i;
    }
    fracDigits = i - fracStart;
  }
  if (intDigits + fracDigits == 0)
    return false;
  const std::size_t mantissaEnd = i;
  long long exponent = 0;
  if (i < n && (Token[i] == 'e' || Token[i] == 'E')) {
    ++i;
    bool expNegative = false;
    if (i < n && (Token[i] == '+' || Token[i] == '-')) {
      expNegative = Token[i] == '-';
      ++i;
    }
    std::size_t expDigits = 0;
    while (i < n && IsDigit(Token[i])) {
      if (exponent < 100000000)
        exponent = exponent * 10 + (Token[i] - '0');
      ++i;
      ++expDigits;
    }
    if (expDigits == 0)
      return false;
    if (expNegative)
      exponent = -exponent;
  }
  if (i != n)
    return false;

  // Exact fast path: a mantissa that a double holds exactly (below 2^53) and a power of ten
  // that is itself exact, so one multiplication or division gives the correctly rounded value.
  static constexpr double Pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                     1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const long long scale = exponent - static_cast<long long>(fracDigits);
  if (intDigits + fracDigits <= 19 && digits <= (std::uint64_t(1) << 53) && scale >= -22 && scale <= 22) {
    const auto m = static_cast<double>(digits);
    const double v = scale >= 0 ? m * Pow10[scale] : m / Pow10[-scale];
    Value = negative ? -v : v;
    return true;
  }

  double v = 0.0;
  const auto [ptr, ec] = std::from_chars(Token.data() + mantissa, Token.data() + n, v, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Out of range either way: decide by the decimal magnitude of the first significant digit.
    long long magnitude = 0;
    bool found = false;
    long long position = static_cast<long long>(intDigits);  // digits before the point
    for (std::size_t k = mantissa; k < mantissaEnd; ++k) {
      if (Token[k] == '.')
        continue;
      --position;
      if (Token[k] != '0') {
        magnitude = position;
        found = true;
        break;
      }
    }
    if (found && magnitude + exponent >= 0)
      return false;  // overflow
    v = 0.0;         // underflow
  } else if (ec != std::errc() || ptr != Token.data() + n) {
    return false;
  }
  if (!std::isfinite(v))
    return false;
  Value = negative ? -v : v;
  return true;
}

bool ParseInteger(std::string_view Token, int& Value)
{
  std::size_t i = 0;
  bool negative = false;
  if (i < Token.size() && (Token[i] == '+' || Token[i] == '-')) {
    negative = Token[i] == '-';
    ++i;
  }
  if (i == Token.size())
    return false;
  long long v = 0;
  for (; i < Token.size(); ++i) {
    if (!IsDigit(Token[i]))
      return false;
    v = v * 10 + (Token[i] - '0');
    if (v > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
      return false;
  }
  if (negative)
    v = -v;
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
    return false;
  Value = static_cast<int>(v);
  return true;
}

bool ParseFlags(std::string_view Line, bool& Flag1, bool& Flag2, bool& Flag3, bool& Flag4)
{
  std::string words;
  for (const char c : Line)
    if (static_cast<unsigned char>(c) > 32)
      words += c;
  words = dtext::UpperAscii(words);
  std::string_view rest(words);
  bool* const flags[3] = {&Flag1, &Flag2, &Flag3};
  for (bool* flag : flags) {
    if (rest.substr(0, 4) == "TRUE") {
      *flag = true;
      rest.remove_prefix(4);
    } else if (rest.substr(0, 5) == "FALSE") {
      *flag = false;
      rest.remove_prefix(5);
    } else {
      return false;
    }
  }
  Flag4 = rest.substr(0, 4) == "TRUE";
  return true;
}

}  // namespace asc

std::string TDataTable::ReadToken(TASCTextFile& F)
{
  return std::string(F.NextToken());
}

bool TDataTable::ScanQuotedWord(char Ch, char Quote, std::string& Text, int& State)
{
  const auto code = static_cast<unsigned char>(Ch);
  switch (State) {
    case 0:  // before a name
      if (code <= 32)
        return false;
      if (Ch == Quote) {
        State = 1;
      } else {
        Text += Ch;
        State = 3;
      }
      return false;
    case 1:  // just after an opening quote
      if (code < 32) {
        State = 0;
        return true;
      }
      Text += Ch;
      State = Ch == Quote ? 3 : 2;
      return false;
    case 2:  // inside quotes: blanks and line ends belong to the name
      if (Ch == Quote && code > 32)
        State = 3;
      else
        Text += Ch;
      return false;
    case 3:  // after a bare word or a closing quote
      if (code <= 32) {
        State = 0;
        return true;
      }
      if (Ch == Quote)
        State = 1;
      else
        Text += Ch;
      return false;
    default:
      State = 0;
      return false;
  }
}

// ---------------------------------------------------------------------------------------------
// The reader

namespace {

constexpr int QuoteChar = '"';
using asc::EmptyNameMark;
// Raw bytes kept of a name or label before it is cut to its characters: enough for 50
// characters of up to four bytes, so that a runaway quoted name cannot fill the memory.
constexpr std::size_t RawNameCap = 4 * static_cast<std::size_t>(MaxNameLength) + 8;

// Appends in chunks that double from a small first one up to a fixed size: no reallocation
// copies, and memory follows what was appended, also for a small file.
template <typename T>
class TChunkedBuffer {
public:
  static constexpr std::size_t FirstChunk = 64;
  static constexpr std::size_t LargestChunk = std::size_t(1) << 16;

  void PushBack(T Value)
  {
    if (FFill == FCapacity) {
      FCapacity = FChunks.empty() ? FirstChunk : std::min(2 * FCapacity, LargestChunk);
      // for_overwrite: the chunk is filled as it is used, no need to zero it first.
      FChunks.push_back({std::make_unique_for_overwrite<T[]>(FCapacity), FCapacity});
      FCurrent = FChunks.back().Data.get();
      FFill = 0;
    }
    FCurrent[FFill++] = Value;
    ++FSize;
  }
  std::size_t Size() const { return FSize; }
  // Calls Fn(index, value) for every element in order.
  template <typename Fn>
  void ForEach(Fn&& F) const
  {
    std::size_t index = 0;
    for (const TChunk& chunk : FChunks) {
      const std::size_t count = std::min(chunk.Capacity, FSize - index);
      for (std::size_t k = 0; k < count; ++k)
        F(index + k, chunk.Data[k]);
      index += count;
    }
  }

private:
  struct TChunk {
    std::unique_ptr<T[]> Data;
    // cppcheck-suppress unusedStructMember ; read when the chunks are copied out
    std::size_t Capacity;
  };
  std::vector<TChunk> FChunks;
  T* FCurrent = nullptr;
  std::size_t FFill = 0;
  std::size_t FCapacity = 0;
  std::size_t FSize = 0;
};

struct TSparseState {
  std::uint64_t Index;  // row-major cell number in reading order
  std::uint8_t State;
};

// Reads the header; shared by ReadASCHeader and the reader. The counts are tokens, so blank
// lines before each count are passed over; the flag line is the line after the row count's.
// The names and rows then follow where the header ended, the flag line. (Reading the header
// and then starting again after exactly four lines, as a line-counting reader would, takes the
// flag line or a count for names and values when the header holds a blank line, and reads
// garbage or fails; for a header of exactly four lines both ways agree.)
int ReadHeaderLines(TASCTextFile& F, std::string& Comment, int& NrCols, int& NrRows, bool& Flag1, bool& Flag2,
                    bool& Flag3, bool& Flag4)
{
  F.ReadLine(Comment);
  // A byte-order mark written by some editors is not part of the comment.
  if (Comment.compare(0, 3, "\xEF\xBB\xBF") == 0)
    Comment.erase(0, 3);
  if (!asc::ParseInteger(F.NextToken(), NrCols) || NrCols < 1)
    return ascBadColumnCount;
  F.SkipLine();
  if (!asc::ParseInteger(F.NextToken(), NrRows) || NrRows < 1)
    return ascBadRowCount;
  F.SkipLine();
  std::string flagLine;
  F.ReadLine(flagLine);
  if (!asc::ParseFlags(flagLine, Flag1, Flag2, Flag3, Flag4))
    return ascBadFlags;
  return ascOK;
}

std::string ReadName(TASCTextFile& F)
{
  std::string text;
  int state = 0;
  // The scanner skips what leads the name and never completes it on a character above 32, so
  // the first run of such characters is taken as one token; a bare word without quotes needs
  // no scanning at all. Only what follows the run goes through the scanner one by one.
  const std::string_view head = F.NextToken();
  if (head.empty())
    return text;  // the file ended
  if (head.find(static_cast<char>(QuoteChar)) == std::string_view::npos) {
    text.assign(head.substr(0, RawNameCap));
    state = 3;
  } else {
    for (const char ch : head) {
      TDataTable::ScanQuotedWord(ch, QuoteChar, text, state);
      if (text.size() > RawNameCap)
        text.resize(RawNameCap);
    }
  }
  for (int ch = F.GetChar(); ch != -1; ch = F.GetChar()) {
    if (TDataTable::ScanQuotedWord(static_cast<char>(ch), QuoteChar, text, state))
      break;
    if (text.size() > RawNameCap)
      text.resize(RawNameCap);
  }
  return text;
}

}  // namespace

int asc::ReadHeader(TASCTextFile& F, std::string& Comment, int& NrCols, int& NrRows, bool& Flag1, bool& Flag2,
                    bool& Flag3, bool& Flag4)
{
  return ReadHeaderLines(F, Comment, NrCols, NrRows, Flag1, Flag2, Flag3, Flag4);
}

std::string asc::ReadName(TASCTextFile& F)
{
  return orvex::ReadName(F);
}

// Reads one file into a table: collects everything aside, then commits.
class TASCReader {
public:
  TASCReader(TTableBuilder& Builder, TASCTextFile& File, TCustomData& CustomData, const TASCReadOptions& Options)
      : B(Builder), F(File), FCustomData(CustomData), FOptions(Options)
  {
  }

  int Run();

private:
  int ReadContents();
  int ReadRows();
  int ReadRowsDirect();
  void ReadCustomData();
  void Commit();
  void ApplyVarTypes();
  bool Cancelled() const { return FOptions.Cancel && FOptions.Cancel->load(std::memory_order_relaxed); }
  void ReportProgress() const
  {
    if (FOptions.Progress && F.Size() > 0)
      FOptions.Progress(std::min(1.0, static_cast<double>(F.BytesRead()) / static_cast<double>(F.Size())));
  }
  std::string Text(std::string_view Raw) const
  {
    return FUtf8 ? std::string(Raw) : dtext::Cp1252ToUtf8(Raw);
  }

  TTableBuilder& B;
  TASCTextFile& F;
  TCustomData& FCustomData;
  const TASCReadOptions& FOptions;

  std::string FComment;
  int FNrCols = 0;
  int FNrRows = 0;
  bool FFlag1 = false, FFlag2 = false, FFlag3 = false, FFlag4 = false;
  bool FUtf8 = true;

  std::vector<std::string> FColNames;  // raw, only with flag 2
  std::vector<std::string> FRowNames;  // raw, only with flag 3
  TBulkVector<std::int32_t> FRowAttribs;
  TChunkedBuffer<double> FValues;  // row-major
  std::vector<TSparseState> FStates;
  int FRowsRead = 0;
  std::vector<asc::TVarTypeLine> FVarTypes;
  TCustomData FCustom;
  // The direct path: the rows parsed in place into storage of the declared size.
  bool FDirect = false;
  std::unique_ptr<TMatrix> FMatrix;
  TBulkVector<std::uint8_t> FCellStates;  // column-major, declared size
  std::size_t FValuesRead = 0;
  std::size_t FStatesRead = 0;
};

int TASCReader::Run()
{
  int result = ascOK;
  try {
    result = ReadContents();
  } catch (const std::bad_alloc&) {
    F.Close();
    throw EOrvexDataTableError("not enough memory on heap");
  } catch (const std::length_error&) {
    F.Close();
    throw EOrvexDataTableError("not enough memory on heap");
  } catch (const EOrvexMatrixError&) {
    F.Close();
    throw EOrvexDataTableError("not enough memory on heap");
  } catch (...) {
    F.Close();
    throw;
  }
  F.Close();
  return result;
}

int TASCReader::ReadContents()
{
  int result = ReadHeaderLines(F, FComment, FNrCols, FNrRows, FFlag1, FFlag2, FFlag3, FFlag4);
  if (F.Failed())
    return ascCannotRead;
  if (result != ascOK)
    return result;
  // Every value takes at least two bytes (a character and a separator, the last one none), so
  // the declared table must fit the text before the Ctrl-Z. The file's size is a first bound,
  // known before anything is read or allocated.
  const std::int64_t cells = static_cast<std::int64_t>(FNrCols) * static_cast<std::int64_t>(FNrRows);
  if (F.Size() >= 0 && asc::SizeExceedsText(cells, F.Size()))
    return ascSizeExceedsFile;

  if (FFlag2) {
    // Names missing at the end of the file are empty; nothing is collected for them.
    for (int c = 1; c <= FNrCols && !F.Eof(); ++c)
      FColNames.push_back(ReadName(F));
  }
  // Without row names the rows' tokens can be counted and cut anywhere between them: they are
  // parsed in place, in parallel when large. That needs storage of the declared size at once,
  // so only where the file's size has bound the declared size (not for a pipe).
  result = FOptions.Direct && !FFlag3 && F.Size() >= 0 ? ReadRowsDirect() : ReadRows();
  if (result == ascCancelled)
    return result;
  if (FFlag4)
    FVarTypes = asc::ReadVarTypes(F);
  else
    ReadCustomData();
  // The whole file decides the encoding of its texts, also the part after the key/value
  // section; and the declared size is held to the text once its end is known.
  F.SkipToEnd();
  if (F.Failed())
    return ascCannotRead;
  if (asc::SizeExceedsText(cells, F.TextSize()))
    return ascSizeExceedsFile;

  FUtf8 = F.Utf8Valid();
  Commit();
  ApplyVarTypes();
  FCustomData = std::move(FCustom);
  for (TCustDataEntry& e : FCustomData) {
    e.Key = Text(e.Key);
    e.Value = Text(e.Value);
  }
  return result;
}

int TASCReader::ReadRows()
{
  const auto nrCols = static_cast<std::size_t>(FNrCols);
  for (int r = 1; r <= FNrRows; ++r) {
    FRowsRead = r;
    if ((r & 0xFFFF) == 0) {
      if (Cancelled())
        return ascCancelled;
      ReportProgress();
    }
    int code = ascOK;
    if (FFlag1) {
      double a = 0.0;
      std::int32_t attrib = 0;
      if (!asc::ParseNumber(F.NextToken(), a)) {
        code = ascBadRowAttrib;
      } else {
        const double rounded = std::nearbyint(a);
        if (rounded < std::numeric_limits<std::int32_t>::min() || rounded > std::numeric_limits<std::int32_t>::max())
          code = ascBadRowAttrib;
        else
          attrib = static_cast<std::int32_t>(rounded);
      }
      FRowAttribs.push_back(attrib);
    }
    if (FFlag3)
      FRowNames.push_back(code == ascOK ? ReadName(F) : "R-" + std::to_string(r));

    if (code == ascOK) {
      for (std::size_t c = 0; c < nrCols; ++c) {
        std::string_view tok = F.NextToken();
        double v = 0.0;
        std::uint8_t state = 0;
        if (tok.empty()) {
          code = ascBadValue;
        } else if (tok[0] == 'N' && tok == "NAN") {
          state = csNotANumber;
        } else if (tok[0] == '#' && tok == "###") {
          state = csEmpty;
        } else if (tok.size() == 1 && tok[0] == '(') {
          tok = F.NextToken();
          if (tok.size() >= 2 && tok.back() == ')' && asc::ParseNumber(tok.substr(0, tok.size() - 1), v))
            state = csParenthesized;
          else
            code = ascBadValue;
        } else if (!asc::ParseNumber(tok, v)) {
          code = ascBadValue;
        }
        if (code != ascOK)
          break;
        FValues.PushBack(v);
        if (state != 0)
          FStates.push_back({FValues.Size() - 1, state});
      }
    }
    // The cells of the failing row that were not read are marked empty when the table is
    // built (Commit).
    if (code != ascOK)
      return code;
    if (F.Failed())
      return ascCannotRead;
  }
  return ascOK;
}

int TASCReader::ReadRowsDirect()
{
  FDirect = true;
  const auto cols = static_cast<std::size_t>(FNrCols);
  const auto rows = static_cast<std::size_t>(FNrRows);
  FMatrix = std::make_unique<TMatrix>();
  try {
    FMatrix->Resize(FNrCols, FNrRows);
  } catch (const EOrvexMatrixError&) {
    throw std::bad_alloc();
  }
  FCellStates.assign(cols * rows, 0);
  if (FFlag1)
    FRowAttribs.assign(rows, 0);
  std::vector<double*> columns(cols);
  for (std::size_t c = 0; c < cols; ++c)
    columns[c] = FMatrix->Column(static_cast<int>(c) + 1);
  asc::TRowTarget target;
  target.NrCols = FNrCols;
  target.NrRows = FNrRows;
  target.Attribs = FFlag1;
  target.Columns = columns.data();
  target.States = FCellStates.data();
  target.RowAttribs = FRowAttribs.data();
  // Block by block: each is parsed up to its last token that is surely complete, the rest
  // moves on with the next block.
  const std::int64_t nrUnits = static_cast<std::int64_t>(rows) * static_cast<std::int64_t>(cols + (FFlag1 ? 1 : 0));
  asc::TRowsOutcome out;
  FStatesRead = 0;
  for (;;) {
    const bool final = F.AllRead();
    const std::size_t begin = F.BlockPos();
    const std::size_t cut = final ? F.BlockEnd() : asc::CompleteTokensEnd(F.BlockData(), begin, F.BlockEnd());
    if (cut == begin && !final) {
      F.Fill();
      continue;
    }
    out = asc::ParseRows(F.BlockData(), begin, cut, target, out.Unit, final, FOptions.Threads, FOptions.ChunkSize);
    FStatesRead += out.States;
    F.Seek(out.End);
    if (out.Code != ascOK || out.Unit == nrUnits || final)
      break;
    if (Cancelled())
      return ascCancelled;
    ReportProgress();
    F.Fill();
  }
  if (out.Code == ascOK) {
    FRowsRead = FNrRows;
    FValuesRead = cols * rows;
    return ascOK;
  }
  const auto unitsPerRow = static_cast<std::int64_t>(cols) + (FFlag1 ? 1 : 0);
  const auto row = static_cast<std::size_t>(out.Unit / unitsPerRow);
  const auto unit = static_cast<std::size_t>(out.Unit % unitsPerRow);
  FRowsRead = static_cast<int>(row) + 1;
  FValuesRead = row * cols + (FFlag1 ? (unit == 0 ? 0 : unit - 1) : unit);
  return out.Code;
}

std::vector<asc::TVarTypeLine> asc::ReadVarTypes(TASCTextFile& F)
{
  std::vector<TVarTypeLine> types;
  std::string line;
  bool inside = false;
  while (F.ReadLine(line)) {
    std::string upper = dtext::UpperAscii(line);
    if (upper.find("</VARTYPES>") != std::string::npos)
      inside = false;
    std::string_view rest = line;
    if (inside) {
      // column number, blank, type word, blank, then "<" level "=" label ">" items
      const std::size_t blank = rest.find(' ');
      int col = 0;
      if (blank != std::string_view::npos && asc::ParseInteger(rest.substr(0, blank), col)) {
        rest.remove_prefix(blank + 1);
        const std::size_t wordEnd = rest.find(' ');
        const std::string word = dtext::LowerAscii(rest.substr(0, wordEnd));
        rest = wordEnd == std::string_view::npos ? std::string_view() : rest.substr(wordEnd + 1);
        TVarTypeLine vt;
        vt.Col = col;
        if (word == "ordinal")
          vt.Type = vtOrdinal;
        else if (word == "nominal")
          vt.Type = vtNominal;
        else if (word == "ratio")
          vt.Type = vtRatio;
        if (vt.Type != vtInterval) {
          // The items are taken with a moving start, so a long line costs linear time.
          std::size_t close;
          while ((close = rest.find('>')) != std::string_view::npos) {
            const std::string_view item = rest.substr(0, close + 1);
            rest.remove_prefix(close + 1);
            const std::size_t eq = item.find('=');
            if (eq == std::string_view::npos)
              continue;
            int level = 0;
            if (eq < 1 || !asc::ParseInteger(item.substr(1, eq - 1), level))
              continue;  // a malformed item is skipped
            // A level out of range stores nothing and fires nothing.
            if (level < 0 || level > MaxLevel)
              continue;
            vt.Labels.emplace_back(level, std::string(item.substr(eq + 1, std::min(item.size() - eq - 2, RawNameCap))));
          }
          types.push_back(std::move(vt));
        }
      }
      upper = dtext::UpperAscii(rest);
    }
    if (upper.find("<VARTYPES>") != std::string::npos)
      inside = true;
  }
  return types;
}

std::vector<asc::TVarTypeLine> asc::FindVarTypes(TASCTextFile& F)
{
  // Block by block to the first "<"; the unfinished last line of a block moves on with the
  // next one, so the section's lines are read from the start of the line that holds it. The
  // lines before it cannot name a section: ReadVarTypes reads the same from there as from the
  // end of the rows.
  auto lineStart = [&](std::size_t Pos) {
    const char* d = F.BlockData();
    while (Pos > F.BlockPos() && d[Pos - 1] != '\n' && d[Pos - 1] != '\r')
      --Pos;
    return Pos;
  };
  for (;;) {
    const std::size_t pos = F.BlockPos();
    const std::size_t end = F.BlockEnd();
    const void* open = std::memchr(F.BlockData() + pos, '<', end - pos);
    if (open) {
      F.Seek(lineStart(static_cast<std::size_t>(static_cast<const char*>(open) - F.BlockData())));
      return ReadVarTypes(F);
    }
    F.Seek(lineStart(end));
    if (F.AllRead() || !F.Fill())
      return {};
  }
}

void TASCReader::ReadCustomData()
{
  std::string line;
  bool found = false;
  while (F.ReadLine(line)) {
    if (dtext::LowerAscii(line).find("<custdata>") != std::string::npos) {
      found = true;
      break;
    }
  }
  if (!found)
    return;
  FCustom.reserve(1000);
  while (F.ReadLine(line)) {
    const std::size_t open = line.find('<');
    const std::size_t close = line.find('>');
    if (open == std::string::npos || close == std::string::npos || close < open)
      continue;
    const std::string tag = line.substr(open + 1, close - open - 1);
    const std::string lowerTag = dtext::LowerAscii(tag);
    if (lowerTag == "/custdata")
      break;
    const std::string rest = line.substr(close + 1);
    const std::size_t open2 = rest.find('<');
    if (open2 == std::string::npos)
      continue;
    const std::size_t close2 = rest.find('>', open2);
    if (close2 == std::string::npos)
      continue;
    if (dtext::LowerAscii(rest.substr(open2 + 1, close2 - open2 - 1)) != "/" + lowerTag)
      continue;
    // Grows geometrically: a long section costs no quadratic copying.
    FCustom.push_back({tag, rest.substr(0, open2)});
  }
  FCustom.shrink_to_fit();
}

// Builds the new contents completely, then swaps them in: a failure on the way leaves the
// table as it was.
void TASCReader::Commit()
{
  const int nrRows = FRowsRead;
  const auto cols = static_cast<std::size_t>(FNrCols);
  const auto rows = static_cast<std::size_t>(nrRows);

  std::unique_ptr<TMatrix> matrix;
  TBulkVector<std::uint8_t> states;
  std::size_t stateEvents = 0;
  if (FDirect) {
    // Parsed in place at the declared size: drop the rows after a failed one.
    matrix = std::move(FMatrix);
    states = std::move(FCellStates);
    stateEvents = FStatesRead;
    const auto declared = static_cast<std::size_t>(FNrRows);
    if (rows < declared) {
      auto kept = std::make_unique<TMatrix>();
      try {
        kept->Resize(FNrCols, nrRows);
      } catch (const EOrvexMatrixError&) {
        throw std::bad_alloc();
      }
      TBulkVector<std::uint8_t> keptStates(cols * rows);
      for (std::size_t c = 0; c < cols; ++c) {
        const double* from = matrix->Column(static_cast<int>(c) + 1);
        std::copy(from, from + rows, kept->Column(static_cast<int>(c) + 1));
        std::copy(states.begin() + static_cast<std::ptrdiff_t>(c * declared),
                  states.begin() + static_cast<std::ptrdiff_t>(c * declared + rows),
                  keptStates.begin() + static_cast<std::ptrdiff_t>(c * rows));
      }
      matrix = std::move(kept);
      states = std::move(keptStates);
    }
    // Cells of the failed row after the failing token may hold what a later chunk wrote.
    for (std::size_t k = FValuesRead; k < cols * rows; ++k)
      matrix->Column(static_cast<int>(k % cols) + 1)[k / cols] = 0.0;
  } else {
    matrix = std::make_unique<TMatrix>();
    try {
      matrix->Resize(FNrCols, nrRows);
    } catch (const EOrvexMatrixError&) {
      throw std::bad_alloc();
    }
    std::vector<double*> columns(cols);
    for (std::size_t c = 0; c < cols; ++c)
      columns[c] = matrix->Column(static_cast<int>(c) + 1);
    std::size_t c = 0, r = 0;
    FValues.ForEach([&](std::size_t, double v) {
      columns[c][r] = v;
      if (++c == cols) {
        c = 0;
        ++r;
      }
    });
    states.assign(cols * rows, 0);
    for (const TSparseState& st : FStates)
      states[(st.Index % cols) * rows + st.Index / cols] = st.State;
    stateEvents = FStates.size();
    FValuesRead = FValues.Size();
  }
  // After a failed row, its cells that were not read hold no value: empty, so that they cannot
  // enter a computation as data. They are no state read from the file and are not announced
  // one by one; the closing OnChangeCellState covers them.
  for (std::size_t k = FValuesRead; k < cols * rows; ++k)
    states[(k % cols) * rows + k / cols] = csEmpty;

  B.TakeOver(std::move(matrix), std::move(states));
  if (FFlag2)
    for (std::size_t c = 0; c < cols; ++c)
      B.SetColName(static_cast<int>(c) + 1, c >= FColNames.size() || FColNames[c] == EmptyNameMark
                                                ? std::string()
                                                : Text(FColNames[c]));
  if (FFlag3)
    for (std::size_t r = 0; r < rows; ++r)
      B.SetRowName(static_cast<int>(r) + 1, FRowNames[r] == EmptyNameMark ? std::string() : Text(FRowNames[r]));
  if (FFlag1)
    for (std::size_t r = 0; r < rows && r < FRowAttribs.size(); ++r)
      B.SetRowAttrib(static_cast<int>(r) + 1, FRowAttribs[r]);
  B.SetComment(Text(FComment));
  // Each value token read with a state other than 0 is announced as a state change, in file
  // order, when the table adopts the builder.
  B.CellStateNotices = stateEvents;
}

// The measurement types and labels; each type and each label in range counts as one
// OnChangeSetup, as if written through the table's setters.
void TASCReader::ApplyVarTypes()
{
  for (const asc::TVarTypeLine& vt : FVarTypes) {
    if (vt.Col < 1 || vt.Col > B.NrOfColumns())
      continue;
    B.SetVarType(vt.Col, vt.Type);
    ++B.SetupNotices;
    for (const auto& [level, label] : vt.Labels) {
      B.SetLevelName(vt.Col, level, Text(label));
      ++B.SetupNotices;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// TDataTable entry points

int ReadASCFileInto(const std::string& FileName, TTableBuilder& Builder, TCustomData& CustomData,
                    const TASCReadOptions& Options, bool* Opened)
{
  CustomData.clear();
  TASCTextFile file;
  if (Opened)
    *Opened = false;
  file.SetThreads(Options.Threads);
  if (!file.Open(FileName, Options.BlockSize))
    return ascCannotRead;
  if (Opened)
    *Opened = true;
  TASCReader reader(Builder, file, CustomData, Options);
  return reader.Run();
}

int ReadASCFileWith(TDataTable& Table, const std::string& FileName, TCustomData& CustomData,
                    const TASCReadOptions& Options)
{
  return Table.ReadASCFile(FileName, CustomData, Options);
}

int TDataTable::ReadASCFile(const std::string& FileName, TCustomData& CustomData)
{
  return ReadASCFile(FileName, CustomData, TASCReadOptions());
}

int TDataTable::ReadASCFile(const std::string& FileName, TCustomData& CustomData, const TASCReadOptions& Options)
{
  // The file is read into a builder aside; the table changes only when it adopts the result.
  // A missing file changes nothing and fires no event; any other outcome ends with the closing
  // events, on an unchanged table after a header error.
  TTableBuilder builder;
  bool opened = false;
  int result = ascOK;
  try {
    result = ReadASCFileInto(FileName, builder, CustomData, Options, &opened);
  } catch (const EOrvexDataTableError&) {
    CustomData.clear();
    AnnounceNewContents(FNrOfColumns, FNrOfRows);
    RaiseOutOfMemory();
  }
  if (!opened)
    return result;
  if (result == ascOK || result == ascBadRowAttrib || result == ascBadValue)
    Adopt(std::move(builder));
  else
    AnnounceNewContents(FNrOfColumns, FNrOfRows);
  return result;
}

int TDataTable::LoadFromASCFile(const std::string& FileName)
{
  TCustomData customData;
  return ReadASCFile(FileName, customData);
}

int TDataTable::ReadASCHeader(const std::string& FileName, std::string& Comment, int& NrCols, int& NrRows,
                              bool& Flag1, bool& Flag2, bool& Flag3, bool& Flag4)
{
  TASCTextFile file;
  if (!file.Open(FileName))
    return ascCannotRead;
  std::string comment;
  const int result = ReadHeaderLines(file, comment, NrCols, NrRows, Flag1, Flag2, Flag3, Flag4);
  Comment = dtext::ToUtf8(comment);
  if (file.Failed())
    return ascCannotRead;
  return result;
}

const char* AscResultMeaning(int Code)
{
  switch (Code) {
  case ascOK: return "the file was read completely";
  case ascBadColumnCount: return "the column count is missing, not an integer, or below 1";
  case ascBadRowCount: return "the row count is missing, not an integer, or below 1";
  case ascBadFlags: return "one of the first three flag words is neither TRUE nor FALSE";
  case ascBadRowAttrib: return "a row attribute is not a number or out of range";
  case ascBadValue: return "a value token is not a valid token";
  case ascCannotRead: return "the file does not exist or cannot be read";
  case ascSizeExceedsFile: return "the declared table size exceeds the file";
  case ascCancelled: return "the read was cancelled";
  default: return "unknown result code";
  }
}

}  // namespace orvex
