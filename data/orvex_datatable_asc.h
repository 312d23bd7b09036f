// The pieces of the ASC reader that stand on their own: the block-buffered text file with the
// format's line and end-of-file rules, and the number grammar of the format. TDataTable's
// reader (orvex_datatable_asc.cpp) is built from them; the tests use them directly.
#pragma once

#include "orvex_datatable.h"
#include "orvex_datatable_text.h"
#include "orvex_tablebuilder.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// An ASC file opened for reading, read in large blocks. A byte 26 (Ctrl-Z) ends the file. Line
// ends are a line feed or carriage return + line feed; a carriage return alone is dropped from
// the line. Checks on the way whether the text read is valid UTF-8.
class TASCTextFile {
public:
  TASCTextFile() = default;
  ~TASCTextFile() { Close(); }
  TASCTextFile(const TASCTextFile&) = delete;
  TASCTextFile& operator=(const TASCTextFile&) = delete;

  // False when the file cannot be opened or its first block cannot be read. The buffer takes
  // BlockSize bytes, or less for a smaller regular file.
  bool Open(const std::string& FileName, std::size_t BlockSize = 1 << 20);
  // Blocks from twice PartBytes on are read in parts of at least PartBytes when several threads
  // may read (ParallelReadBytes unless set; fuzzers and tests make it tiny).
  static constexpr std::size_t ParallelReadBytes = std::size_t(1) << 20;
  std::size_t PartBytes() const { return FPartBytes; }
  void SetPartBytes(std::size_t Value) { FPartBytes = std::max<std::size_t>(Value, 1); }
  void Close();
  bool IsOpen() const { return FFile != nullptr; }
  // The current block: its bytes, the read position in it and its end; the byte at BlockEnd is
  // readable and below 33. Seek moves the read position within the block.
  const char* BlockData() const { return FData; }
  std::size_t BlockPos() const { return FPos; }
  std::size_t BlockEnd() const { return FEnd; }
  void Seek(std::size_t Pos) { FPos = std::min(Pos, FEnd); }
  // Moves the unread rest of the block (from BlockPos) to its front and appends the next bytes
  // of the file; the buffer grows when the rest fills more than half of it. False when nothing
  // more came.
  bool Fill();
  // True when the file has nothing more to give: the block holds the rest of the text.
  bool AllRead() const { return FEnded; }
  // True after a read of the file failed; the file then counts as ended.
  bool Failed() const { return FFailed; }
  // Threads that reading a large block of a regular file may use, the calling thread
  // included: 1 (the default) reads on the calling thread alone, 0 as asc::ReadThreads says.
  int Threads() const { return FThreads; }
  void SetThreads(int Value) { FThreads = Value; }
  // Size of the file in bytes, -1 when unknown (not a regular file).
  std::int64_t Size() const { return FSize; }
  // Bytes taken from the file so far.
  std::int64_t BytesRead() const { return FBytesRead; }
  // Bytes of text read so far: the bytes before the Ctrl-Z that ends the file, if any.
  std::int64_t TextSize() const { return FTextSize; }
  // Whether all bytes read so far form valid UTF-8.
  bool Utf8Valid() const { return FUtf8.Valid(); }

  // The next byte (0..255), or -1 at the end of the file.
  int GetChar()
  {
    if (FPos == FEnd && !Fill())
      return -1;
    return static_cast<unsigned char>(FData[FPos++]);
  }
  bool Eof() { return FPos == FEnd && !Fill(); }
  // Reads up to the end of the line; false when the file had already ended.
  bool ReadLine(std::string& Line);
  // Skips the rest of the current line, line end included.
  void SkipLine();
  // Reads on to the end of the file, so that Utf8Valid and BytesRead cover all of it.
  void SkipToEnd();
  // Skips characters of code 32 or below, then returns the run of characters above 32 that
  // follows (empty at the end of the file). The delimiter after the token is not consumed.
  // The view stays valid until the next read.
  std::string_view NextToken();

private:
  std::FILE* FFile = nullptr;
  TBulkVector<char> FBuffer;  // the block and the byte after it
  const char* FData = nullptr;
  std::size_t FPos = 0;
  std::size_t FEnd = 0;
  bool FEnded = false;
  bool FFailed = false;
  std::int64_t FSize = -1;
  std::int64_t FBytesRead = 0;
  std::int64_t FTextSize = 0;
  int FThreads = 1;
  std::size_t FPartBytes = ParallelReadBytes;
  bool FPositioned = false;  // a regular file, read at its offsets
  dtext::TUtf8Validator FUtf8;
  std::string FScratch;  // a token split between two blocks
};

namespace asc {

// A number as the format writes it: optional sign, digits with an optional decimal point,
// optional exponent (E or e, optional sign, digits). Read in the C locale. False for anything
// else, and for a value beyond the range of a double (underflow gives 0).
bool ParseNumber(std::string_view Token, double& Value);
// Whether a text of TextBytes bytes is too short for Cells values: each takes at least two
// bytes, a character and a separator (the last one needs no separator).
inline bool SizeExceedsText(std::int64_t Cells, std::int64_t TextBytes) { return Cells > (TextBytes + 1) / 2; }
// An optionally signed decimal integer that fits 32 bits.
bool ParseInteger(std::string_view Token, int& Value);
// The flag line: four words TRUE or FALSE, case-insensitive, blanks anywhere. False when one of
// the first three words is neither; the fourth counts as TRUE only when it is TRUE.
bool ParseFlags(std::string_view Line, bool& Flag1, bool& Flag2, bool& Flag3, bool& Flag4);

// The header as the reader takes it (comment line, column and row counts, flag line), leaving
// F after the flag line: ascOK, ascBadColumnCount, ascBadRowCount or ascBadFlags.
int ReadHeader(TASCTextFile& F, std::string& Comment, int& NrCols, int& NrRows, bool& Flag1, bool& Flag2,
               bool& Flag3, bool& Flag4);
// The next column or row name as the reader takes it, raw (cut to what 50 characters may take);
// EmptyNameMark stands for an empty name.
std::string ReadName(TASCTextFile& F);
inline constexpr std::string_view EmptyNameMark = "(.;#;.)";

// One line of the measurement-type section (after the rows, with flag 4) that names a
// Nominal, Ordinal or Ratio column, with the raw level labels in range.
struct TVarTypeLine {
  int Col = 0;
  TVarType Type = vtInterval;
  std::vector<std::pair<int, std::string>> Labels;  // level, raw label
};
// The type lines of every measurement-type section in the lines from F's read position to the
// end of the file, in file order.
std::vector<TVarTypeLine> ReadVarTypes(TASCTextFile& F);
// The type lines of the file F after its header and column names have been read (F after
// them), without parsing the rows: the section follows the first "<" after the names, which a
// row cannot hold. Reads the rest of the file once; empty when there is no section.
std::vector<TVarTypeLine> FindVarTypes(TASCTextFile& F);

// Where ParseRows puts the rows: NrCols columns of NrRows values, the column-major states and,
// with Attribs (flag 1), the row attributes.
struct TRowTarget {
  int NrCols = 0;
  int NrRows = 0;
  bool Attribs = false;
  double* const* Columns = nullptr;
  std::uint8_t* States = nullptr;
  std::int32_t* RowAttribs = nullptr;
};

struct TRowsOutcome {
  int Code = 0;             // ascOK, ascBadRowAttrib or ascBadValue
  std::int64_t Unit = 0;    // the failing unit (attribute or value), or the units taken so far
  std::size_t End = 0;      // position after the last token taken
  std::size_t States = 0;   // value tokens taken with a state other than 0
};

// The threads an ASC read uses for Threads as its options give it: 0 means as many as the
// machine has, at most two (the parse is limited by memory beyond that).
int ReadThreads(int Threads);

// Parses the rows (without row names) of Text[Begin, End), which starts with unit FirstUnit,
// into Target, exactly as a sequential read of the token stream would, on Threads threads (0:
// as many as the machine has, at most two) in chunks of about ChunkSize bytes (0: chosen from
// the size). A token that starts before End must end by End, where a readable byte below 33
// follows it (a blank, or the byte after a block's text). When the text runs out before the
// last unit, that is the error if Final, else the outcome is ascOK with the units taken so far.
TRowsOutcome ParseRows(const char* Text, std::size_t Begin, std::size_t End, const TRowTarget& Target,
                       std::int64_t FirstUnit, bool Final, int Threads, std::size_t ChunkSize);
// Where the units of Text[Begin, End) end that are surely complete when more text may follow:
// before the last token if it reaches End, and before lone "(" tokens that would end up last.
std::size_t CompleteTokensEnd(const char* Text, std::size_t Begin, std::size_t End);

}  // namespace asc

// How TDataTable reads an ASC file, in blocks of BlockSize bytes (tests use tiny ones). By
// default rows without names in a regular file are parsed straight into the table's storage,
// block by block, on up to two threads; Direct = false (and a pipe) collects every value aside
// first, token by token, which is the reference the fast path is checked against.
// Cancel, when given, is polled between blocks (and every 65536 rows of the token path) and
// stops the read with ascCancelled; Progress receives the fraction of the file read so far, on
// the calling thread.
struct TASCReadOptions {
  bool Direct = true;
  std::size_t BlockSize = std::size_t(8) << 20;
  int Threads = 0;            // 0: MathThreadCount(), at most two
  std::size_t ChunkSize = 0;  // bytes per parallel chunk; 0: chosen from the size
  const std::atomic<bool>* Cancel = nullptr;
  std::function<void(double Fraction)> Progress;
};

// TDataTable::ReadASCFile with the given way of reading; same results, events and codes.
int ReadASCFileWith(TDataTable& Table, const std::string& FileName, TCustomData& CustomData,
                    const TASCReadOptions& Options);

// Reads an ASC file into a builder without touching any table, and returns the result code.
// The builder holds the table for ascOK and, as the format defines, the rows up to the failing
// one for a row error (ascBadRowAttrib, ascBadValue); after any other code its contents are
// unspecified. Opened, when given, tells whether the file could be opened at all. Raises
// EOrvexDataTableError when memory runs out.
int ReadASCFileInto(const std::string& FileName, TTableBuilder& Builder, TCustomData& CustomData,
                    const TASCReadOptions& Options = {}, bool* Opened = nullptr);

}  // namespace orvex
