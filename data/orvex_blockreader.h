// Reading a data file a block of rows at a time, for work over files larger than memory: the
// rows of each block are delivered into a small buffer that the next block reuses, and the table
// is never held. Both formats serve it with the parsing code of their whole-file readers, so a
// block reader gives the very columns, names, values and cell states that ReadTableFile puts
// into a table builder:
// - an ASC file: the header and the column names as the ASC reader takes them, then the rows
//   through its block parser (asc::ParseRows), a block of rows per call;
// - delimited text: the dialect, the header and the column kinds decided from the first 64 KiB
//   as the whole-file reader decides them, then the records of each block of text parsed by the
//   same block parser, level texts merged into labels in order of first appearance.
//
// Blocks depend only on the file and the block sizes, never on the number of threads. A file
// that a whole-file read would take with a warning-free result reads the same here, with these
// exceptions, which end the read with a message instead: an ASC file with row names, and a
// text column whose different texts pass 150 only after the first 64 KiB (the whole-file
// reader would then leave it out, which changes the column numbers). The measurement types of
// an ASC file come after its rows: they are looked up when the file is opened (one quick read of
// the file for the first "<" after the names, only when its flag 4 announces them), so that
// they are known before the first block.
#pragma once

#include "orvex_delimited.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvex {

// One block of rows, column-major: NrOfRows rows of every column, the first being table row
// FirstRow (1-based).
struct TRowBlock {
  int NrOfColumns = 0;
  int NrOfRows = 0;
  std::int64_t FirstRow = 1;
  std::vector<double> Values;         // NrOfColumns * NrOfRows
  std::vector<std::uint8_t> States;   // the same layout
  std::vector<std::string> RowNames;  // one per row when the file names its rows, else empty

  // The name of the block's row I (0-based): the file's, or "R-n" as a table names it.
  std::string RowName(int I) const
  {
    return RowNames.empty() ? "R-" + std::to_string(FirstRow + I) : RowNames[static_cast<std::size_t>(I)];
  }

  const double* Column(int Col) const { return Values.data() + static_cast<std::size_t>(Col - 1) * NrOfRows; }
  const std::uint8_t* ColumnStates(int Col) const
  {
    return States.data() + static_cast<std::size_t>(Col - 1) * NrOfRows;
  }
  // Sizes the buffers for Rows rows (keeping their memory) and zeroes the states.
  void Reset(int Cols, int Rows, std::int64_t First);
};

// Block sizes; 0 chooses them. Tests make them tiny.
struct TBlockReadOptions {
  std::size_t BlockBytes = 0;  // text read at a time (delimited), file buffer (ASC)
  int BlockRows = 0;           // rows per block of an ASC file
  std::size_t ChunkSize = 0;   // bytes per parallel parsing task
  int Threads = 0;             // 0: MathThreadCount(), at most two for ASC
};

class TBlockReader {
public:
  virtual ~TBlockReader() = default;

  // properties
  int NrOfColumns() const { return static_cast<int>(FColNames.size()); }
  // As the table builder would hold them (1-based).
  const std::string& ColName(int Col) const { return FColNames[static_cast<std::size_t>(Col - 1)]; }
  TFileFormat Format() const { return FFormat; }
  // Rows delivered so far.
  std::int64_t RowsRead() const { return FRowsRead; }
  // Empty, or why the read stopped (one line, as ReadTableFile words it).
  const std::string& Message() const { return FMessage; }
  bool Failed() const { return !FMessage.empty(); }
  // Columns a delimited file leaves out (text columns with too many different texts).
  const std::vector<TLeftOutColumn>& LeftOut() const { return FLeftOut; }
  // Whether column Col holds the level numbers of texts, as a table's Nominal column does.
  bool LevelColumn(int Col) const
  {
    return Col >= 1 && Col <= static_cast<int>(FLevelColumns.size()) && FLevelColumns[static_cast<std::size_t>(Col - 1)];
  }

  // The measurement type of column Col as a table read from the file holds it: an ASC file's
  // declared type, Nominal for a delimited file's column of texts, Interval otherwise. The
  // values of the blocks are as written; a Nominal or Ordinal column's values read rounded in a
  // table (TDataTable::Elem), which the reader's caller applies.
  TVarType VarType(int Col) const
  {
    if (Col >= 1 && Col <= static_cast<int>(FVarTypes.size()))
      return FVarTypes[static_cast<std::size_t>(Col - 1)];
    return LevelColumn(Col) ? vtNominal : vtInterval;
  }

  // operations
  // The next block of at least one row; false at the end of the rows or on a failure (then
  // Message says why).
  virtual bool Next(TRowBlock& Block) = 0;

protected:
  TFileFormat FFormat = TFileFormat::Delimited;
  std::vector<std::string> FColNames;
  std::int64_t FRowsRead = 0;
  std::string FMessage;
  std::vector<TLeftOutColumn> FLeftOut;
  std::vector<bool> FLevelColumns;  // per column; empty when there are none
  std::vector<TVarType> FVarTypes;  // per column; empty when none was declared
};

// Opens FileName, decides its format as ReadTableFile does and reads its header. Null, with
// Message set, when the file cannot be read as a table from the start.
std::unique_ptr<TBlockReader> OpenBlockReader(const std::string& FileName, const TDelimitedDialect& Dialect,
                                              std::string& Message, const TBlockReadOptions& Options = {});

// The delimited half of OpenBlockReader (orvex_delimited_read.cpp).
std::unique_ptr<TBlockReader> OpenDelimitedBlockReader(const std::string& FileName, const TDelimitedDialect& Dialect,
                                                       std::string& Message, const TBlockReadOptions& Options);

}  // namespace orvex
