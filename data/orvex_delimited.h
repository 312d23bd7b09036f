// Delimited text files (comma, semicolon, tab, pipe or blank separated values) read into a
// table builder, and the way a file's format is decided.
//
// The parts, in the order a caller uses them:
// - TDelimitedDialect: every choice the reader makes (delimiter, decimal mark, header, row
//   names, quote character, lines to skip, missing-value tokens, encoding), each either given
//   or left to detection.
// - DetectDialect: the choices detected from a text sample (the first 64 KiB of a file), with
//   the given ones kept.
// - PreviewDelimited: the first rows as texts, with each column's kind (number, levels or left
//   out, and why) and its count of cells that are not numbers; what the import dialog shows.
// - ReadDelimitedFile / ReadDelimitedText: the whole table into a TTableBuilder, with a cancel
//   flag and a progress callback; a failure names the line, the column and the field.
// - DetectSmallText: the delimiter and decimal mark of a short text such as pasted cells,
//   reporting what the text leaves undecidable.
// - DecideFileFormat: ASC or delimited text, by the file's extension and content.
//
// Fields follow RFC 4180: a quoted field may hold the delimiter, doubled quotes and line
// breaks; lines end with CR LF, LF or CR; a UTF-8 byte-order mark is dropped; lines that start
// with "#" and blank lines are skipped. The decimal mark holds for the whole file, never per
// value, and never comes from the locale. Numbers: optional sign ("+" too), digits with the
// decimal mark, optional exponent. Missing-value tokens give empty cells ("NaN" and "nan"
// not-a-number cells); "inf" and values beyond the range of a double give not-a-number cells
// and are counted. A text column with at most 150 different texts becomes a Nominal column with
// those texts as level labels in order of first appearance (levels 0, 1, ...); a text column
// with more is left out. No Qt; numbers are parsed without the locale.
#pragma once

#include "orvex_tablebuilder.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// The delimiters the reader knows. dlBlanks: runs of blanks and tabs separate fields, and
// blanks at the start and end of a line are ignored.
inline constexpr char dlDetect = '\0';
inline constexpr char dlComma = ',';
inline constexpr char dlSemicolon = ';';
inline constexpr char dlTab = '\t';
inline constexpr char dlPipe = '|';
inline constexpr char dlBlanks = ' ';

enum class TDecimalMark : std::uint8_t { Detect, Point, Comma };
// Header and row names: detected, or given as present or absent.
enum class TPresence : std::uint8_t { Detect, Yes, No };
enum class TTextEncoding : std::uint8_t { Detect, Utf8, Windows1252 };

// The tokens that mean a missing value by default: empty, NA, N/A, NaN, nan, "." and "?".
// "NaN" and "nan" give the state not-a-number, the others the state empty.
const std::vector<std::string>& DefaultMissingTokens();

struct TDelimitedDialect {
  char Delimiter = dlDetect;  // dlDetect or one of dlComma .. dlBlanks
  TDecimalMark DecimalMark = TDecimalMark::Detect;
  TPresence Header = TPresence::Detect;
  TPresence RowNames = TPresence::Detect;  // the first column holds the row names
  char Quote = '"';                       // '\0': no quoting
  int SkipLines = -1;                     // lines before the table; -1: detect
  std::vector<std::string> MissingTokens = DefaultMissingTokens();
  TTextEncoding Encoding = TTextEncoding::Detect;

  bool operator==(const TDelimitedDialect&) const = default;
};

// A human-readable name of a delimiter ("comma", "semicolon", "tab", "pipe", "blanks").
const char* DelimiterName(char Delimiter);

// The kind a column of the file gets in the table.
enum class TColumnKind : std::uint8_t { Number, Levels, LeftOut };

struct TDetectedDialect {
  // Every Detect value resolved (Delimiter, DecimalMark, Header, RowNames, SkipLines, Encoding);
  // given values are kept as given.
  TDelimitedDialect Dialect;
  int Fields = 0;  // fields per line of the table, the row-name column included
  // Why each detected choice was made, one short sentence each, for the dialog's tooltips.
  std::vector<std::string> Reasons;
};

// Detects the dialect from Sample, the start of a file (the first 64 KiB; a last line that may
// be cut is not used). Values of Given that are not Detect are kept and steer the rest (a given
// delimiter is used to find the header, for example).
TDetectedDialect DetectDialect(std::string_view Sample, const TDelimitedDialect& Given = {});

// Reads the first SampleBytes bytes of a file; empty when it cannot be read.
std::string ReadFileSample(const std::string& FileName, std::size_t SampleBytes = std::size_t(64) << 10);

struct TPreviewColumn {
  std::string Name;
  TColumnKind Kind = TColumnKind::Number;
  std::string Reason;     // why a column is left out, empty otherwise
  int NotNumbers = 0;     // cells of the preview rows that are neither a number nor missing
};

struct TDelimitedPreview {
  TDetectedDialect Detected;
  std::vector<TPreviewColumn> Columns;  // the table's columns (without the row-name column)
  std::vector<std::string> RowNames;    // one per preview row when the file has row names
  std::vector<std::vector<std::string>> Cells;  // rows of texts, one per column, as in the file
  // Empty, or why the sample cannot be read as a table (with its line, column and field).
  std::string Message;
};

// The first MaxRows rows of Sample as the reader would take them with Dialect (detected where
// Dialect says Detect). The kinds come from the sample alone.
TDelimitedPreview PreviewDelimited(std::string_view Sample, const TDelimitedDialect& Dialect, int MaxRows = 100);

// How a read is steered from outside. Cancel is polled between blocks; Progress receives the
// fraction done (0..1) and is called on the calling thread only. BlockSize and ChunkSize make
// the reading and parsing blocks small for tests (0: chosen from the size); the table is the
// same for every block size and thread count.
struct TReadControl {
  const std::atomic<bool>* Cancel = nullptr;
  std::function<void(double Fraction)> Progress;
  std::size_t BlockSize = 0;
  std::size_t ChunkSize = 0;
};

enum class TReadStatus : std::uint8_t {
  OK,
  CannotRead,  // the file does not exist or cannot be read
  Cancelled,
  NoTable,     // nothing to read: no line holds a field, or no column is left
  BadShape,    // a line has a different number of fields
  OpenQuote,   // a quote is never closed, or a quote stands inside an unquoted field
  BadNumber,   // a text in a number column
  TooLarge,    // more rows or columns than a table holds
};

struct TLeftOutColumn {
  int Field = 0;  // 1-based field of the file
  std::string Name;
  std::string Reason;  // e.g. "more than 150 different texts"
};

struct TDelimitedResult {
  TReadStatus Status = TReadStatus::OK;
  // On failure: the line (1-based, physical lines of the file), the 1-based field and the
  // field's text cut to 40 characters; and the whole message naming all three.
  std::int64_t Line = 0;
  int Field = 0;
  std::string Text;
  std::string Message;
  TDetectedDialect Detected;             // the dialect used
  std::vector<TLeftOutColumn> LeftOut;   // text columns not taken, and why
  std::int64_t NotNumbers = 0;           // cells read as not-a-number from "inf" or out of range
  bool Ok() const { return Status == TReadStatus::OK; }
};

// Reads a whole delimited file into Builder with Dialect (detected from the first 64 KiB where
// it says Detect). On failure or cancel the builder's contents are unspecified and the message
// says what went wrong.
TDelimitedResult ReadDelimitedFile(const std::string& FileName, const TDelimitedDialect& Dialect,
                                   TTableBuilder& Builder, const TReadControl& Control = {});
// The same for a text held in memory.
TDelimitedResult ReadDelimitedText(std::string_view Text, const TDelimitedDialect& Dialect, TTableBuilder& Builder,
                                   const TReadControl& Control = {});

// The delimiter and decimal mark of a short text, such as cells pasted from the clipboard.
struct TSmallTextDialect {
  char Delimiter = dlTab;           // the decided delimiter, or dlTab when undecidable
  bool DelimiterDecided = false;    // false: the text fits no or several delimiters equally
  TDecimalMark DecimalMark = TDecimalMark::Point;
  bool DecimalMarkDecided = false;  // false: no number shows a mark, or both marks appear
  int Rows = 0;                     // lines that are not blank
  int Fields = 0;                   // fields per line with the decided delimiter (the most)
};
TSmallTextDialect DetectSmallText(std::string_view Text);

// How a data file is read: by its extension (".csv" and ".tsv" delimited, ".asc" ASC, ".xlsx",
// ".xlsm" and ".ods" a workbook, ".sav", ".zsav", ".por", ".dta", ".sas7bdat" and ".xpt" a
// statistics-package file, case ignored), otherwise by its content (a workbook or
// statistics-package file by its first bytes, ASC when its first four lines form a valid ASC
// header, delimited text otherwise).
enum class TFileFormat : std::uint8_t { Asc, Delimited, Workbook, StatFile };
TFileFormat DecideFileFormat(const std::string& FileName);

}  // namespace orvex
