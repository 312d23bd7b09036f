// Saving a table: the ASC writer (orvex_datatable_asc_write.cpp), the delimited-text writer
// (orvex_delimited_write.cpp) and the atomic file they write into (orvex_tablewriter.cpp).
//
// Each writer writes exactly what its reader reads back: an ASC file written here reads back as
// the same table, value for value (the shortest text that reads back to the same double),
// states, names, row attributes, comment, measurement types, level labels and key/value
// section; a delimited file keeps the dialect it was read with. What a format cannot hold is
// listed at each writer below.
//
// WriteTableFile never leaves a half-written file: it writes a temporary file in the target's
// folder, flushes and syncs it, then renames it over the target. On any failure the temporary
// file is removed, the old file stays whole, and EOrvexTableWriteError says which file and why
// (the system's reason where the system refused). No Qt.
#pragma once

#include "orvex_datatable.h"
#include "orvex_delimited.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace orvex {

class EOrvexTableWriteError : public EOrvexError {
public:
  using EOrvexError::EOrvexError;
};

struct TTableWriteOptions {
  TFileFormat Format = TFileFormat::Asc;
  // Delimited: the dialect to write. Choices left at Detect are decided by the writer: comma,
  // decimal point, a header, row names when any row has a name other than "R-n", UTF-8.
  TDelimitedDialect Dialect;
  // ASC: the key/value section to write after the table (none when null or empty).
  const TCustomData* CustomData = nullptr;
  // For tests: asked before each write into the file with the file offset and the size; a
  // non-zero result fails that write with this error number (ENOSPC for a full disk, say).
  std::function<int(std::int64_t Offset, std::size_t Size)> WriteFault;
};

// How a file is saved by its extension (case ignored): ".asc" ASC; ".csv", ".tsv" and ".txt"
// delimited text. Raises EOrvexTableWriteError naming the file for any other extension.
TFileFormat FormatForSaving(const std::string& FileName);
// The dialect for saving a new delimited file: ".tsv" and ".txt" tab-separated, otherwise
// comma-separated; decimal point, a header, row names decided by the table, quotes, UTF-8. When
// the table came from a delimited file (Loaded), its decimal mark, header, row names, quote and
// missing-value tokens carry over, and so does its delimiter for ".csv" when it was a
// semicolon or a pipe.
TDelimitedDialect DialectForSaving(const std::string& FileName, const TDelimitedDialect* Loaded = nullptr);

// Writes Table to FileName atomically in the format of Options. Raises EOrvexTableWriteError
// ("cannot save the file "NAME": reason") when the table cannot be written in the format or
// the system refuses; the old file, if any, is then unchanged.
void WriteTableFile(const TDataTable& Table, const std::string& FileName, const TTableWriteOptions& Options);

// Where the writers put their text; WriteTableFile gives them the atomic file. Tests give them a
// string.
class TWriteSink {
public:
  virtual ~TWriteSink() = default;
  virtual void Write(std::string_view Data) = 0;
};

class TStringSink : public TWriteSink {
public:
  void Write(std::string_view Data) override { Text.append(Data); }
  std::string Text;
};

// The writers on their own. They raise EOrvexTableWriteError (the message without a file name)
// for what the format cannot hold; the sink may have received part of the text then.
//
// ASC cannot hold (and so does not round-trip): cell states other than not-a-number, empty and
// parenthesized (marks A and B, read-only) and the values of not-a-number and empty cells (they
// read back as 0); non-finite values (written "NAN"); column attributes; the measurement types
// Unknown and those beyond Ratio (they read back as Interval); a name that is exactly
// "(.;#;.)" (the format's mark of an empty name); carriage returns, line feeds and Ctrl-Z in the
// comment (dropped); a key/value section beside a VARTYPES section (written, but the reader
// passes over it). It refuses a table without rows or columns, a name with Ctrl-Z or with a
// control character at its start or right after a double quote, a level label with ">", line
// ends or Ctrl-Z, and key/value entries the section's line syntax cannot carry.
void WriteASCTable(const TDataTable& Table, const TCustomData* CustomData, TWriteSink& Sink);
// Delimited text holds names, row names, values and the states empty and not-a-number; a
// Nominal or Ordinal column whose valid cells all have a level label that reads as a text is
// written as those labels (they read back as levels in order of first appearance), otherwise as
// numbers. The comment, attributes, marks and other measurement types are not written; empty
// column names read back as "V" and the column's number. Empty cells are written as the
// dialect's first missing-value token that is not "NaN" or "nan" (empty when there is none),
// not-a-number cells and non-finite values as "NaN" (or "nan" when only that is listed). It
// refuses a text that needs quotes when the dialect has no quote character, and a text that
// Windows-1252 cannot hold when that is the dialect's encoding.
void WriteDelimitedTable(const TDataTable& Table, const TDelimitedDialect& Dialect, TWriteSink& Sink);

// Formats rows 0..NrRows-1 in blocks on the math threads (Format(From, To, Out) appends the text
// of rows From..To-1 to Out) and hands the texts to Sink in row order. The writers' inner loop.
void WriteRowBlocks(int NrRows, int RowsPerBlock, const std::function<void(int From, int To, std::string& Out)>& Format,
                    TWriteSink& Sink);

}  // namespace orvex
