// TSheetGrid: the cells of one spreadsheet sheet as a reader meets them (in any order, sparse),
// and the column rules that turn them into a table builder. The workbook readers (xlsx and ods)
// fill a grid; BuildSheetTable then applies the rules the delimited reader applies to text:
// - the used range (the smallest rectangle around every cell that holds something) is the table;
// - the first row is the header when it holds a text above a number column, or when no column
//   holds numbers and the first row holds none (overridable);
// - the first column holds the row names when the header's first cell is empty, or when its
//   cells are different texts (overridable);
// - a column whose numbers are at least as many as its texts is a number column (a text that
//   reads as a number counts as one, a missing-value token is a missing cell); otherwise a text
//   column with at most 150 different texts is a Nominal column with those texts as level labels
//   in order of first appearance, and one with more is left out;
// - booleans are 1 and 0, error values (#DIV/0! and the like) not-a-number, a formula without a
//   cached value an empty cell; both are counted.
// TLevelCoder is the levels part alone, shared with the statistics-package reader.
// Memory is bounded: a grid takes no more than the byte budget it is given, and the dense table
// of the used range is checked against the same budget before it is laid out.
#pragma once

#include "orvex_delimited.h"
#include "orvex_tablebuilder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvex {

// A failure while collecting cells (the budget exceeded, a cell beyond a sheet's limits).
class EOrvexSheetError : public EOrvexError {
public:
  using EOrvexError::EOrvexError;
};

// The largest sheet of the workbook formats: 1,048,576 rows x 16,384 columns.
inline constexpr std::int64_t MaxSheetRows = 1048576;
inline constexpr std::int64_t MaxSheetColumns = 16384;

// "A", "B", ..., "Z", "AA", ... for a 0-based column; and "B7" for a 0-based row and column.
std::string ColumnLetters(std::int64_t Col);
std::string CellReference(std::int64_t Row, std::int64_t Col);

// The texts of a text column in order of first appearance, up to 150.
class TLevelCoder {
public:
  // The level (0..150) of Text, or -1 once the column holds more than 150 different texts.
  int Code(std::string_view Text);
  bool Overflow() const { return FOverflow; }
  const std::vector<std::string>& Texts() const { return FTexts; }

private:
  std::vector<std::string> FTexts;
  std::unordered_map<std::string, int> FIndex;
  bool FOverflow = false;
};

class TSheetGrid {
public:
  enum class TKind : std::uint8_t { None, Number, Text, Error, NoValue };

  // Budget: the most bytes the grid and the dense table may take.
  explicit TSheetGrid(std::size_t Budget);

  // properties
  std::size_t Budget() const { return FBudget; }
  std::size_t CellCount() const { return FCells.size(); }
  std::int64_t ErrorCells() const { return FErrorCells; }

  // operations
  // Room for about Cells cells at once (within the budget), so that a large sheet's cells are
  // not copied as the storage grows.
  void Reserve(std::size_t Cells);
  // Row and Col are 0-based; a later cell at the same place replaces an earlier.
  void SetNumber(std::int64_t Row, std::int64_t Col, double Value);
  void SetText(std::int64_t Row, std::int64_t Col, std::string_view Text);
  // A text of the shared table (AddSharedText), by its index.
  void SetSharedText(std::int64_t Row, std::int64_t Col, std::uint32_t Index);
  std::uint32_t AddSharedText(std::string_view Text);
  std::size_t SharedTextCount() const { return FTexts.size(); }
  void SetError(std::int64_t Row, std::int64_t Col);
  void SetNoValue(std::int64_t Row, std::int64_t Col);

private:
  friend struct TSheetLayout;
  struct TCell {
    std::uint32_t Row;
    std::uint32_t Col;
    double Value;  // the number, or the text's index
    TKind Kind;
  };
  void Add(std::int64_t Row, std::int64_t Col, double Value, TKind Kind);
  void Spend(std::size_t Bytes);

  std::size_t FBudget;
  std::size_t FSpent = 0;
  std::vector<TCell> FCells;
  std::vector<std::string> FTexts;
  std::int64_t FErrorCells = 0;
};

struct TSheetRules {
  TPresence Header = TPresence::Detect;
  TPresence RowNames = TPresence::Detect;
  std::vector<std::string> MissingTokens = DefaultMissingTokens();
};

struct TSheetTableResult {
  TReadStatus Status = TReadStatus::OK;
  std::string Message;  // on failure: what went wrong, naming the cell
  bool Header = false;
  bool RowNames = false;
  std::vector<TLeftOutColumn> LeftOut;  // Field: the sheet's 1-based column
  std::int64_t ErrorCells = 0;          // error values, read as not-a-number
  std::int64_t NoValueCells = 0;        // formulas without a cached value, read as empty
  bool Ok() const { return Status == TReadStatus::OK; }
};

// The table of the grid's used range into Builder, by the rules above. SheetName names the
// sheet in messages. MaxRows > 0 keeps only the first MaxRows data rows (a preview).
TSheetTableResult BuildSheetTable(const TSheetGrid& Grid, const TSheetRules& Rules, const std::string& SheetName,
                                  TTableBuilder& Builder, int MaxRows = 0);

// Whether FileName ends with Suffix (lower case, ".xlsx"), case ignored.
bool EndsWithNoCase(const std::string& FileName, const char* Suffix);

// The text of a number as a level label or name: the shortest form that reads back the same.
std::string NumberText(double Value);

}  // namespace orvex
