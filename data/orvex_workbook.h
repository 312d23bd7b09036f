// Spreadsheet workbooks (xlsx and ods) read into a table builder: one sheet, the first or a
// chosen one, by the column rules of TSheetGrid (orvex_sheetgrid.h).
//
// Which library reads what:
// - ods: liborcus's ods filter, through its import interface (orcus::spreadsheet::iface): the
//   cells are received into a TSheetGrid, never into its document model;
// - xlsx: liborcus's zip archive and the expat XML parser, with the workbook parts handled here.
//   liborcus's own xlsx filter (0.17) drops the sheets of files whose package names its parts by
//   absolute paths (as common writers do) and ignores the 1904 date system, and its XML parser
//   reads past the end of a malformed part, so neither is used for xlsx; an ods package's parts
//   are checked with expat before liborcus's ods filter reads them.
// Cells: numbers; shared, inline and formula texts; booleans as 1 and 0; the cached value of a
// formula cell (a formula without one is an empty cell and counted); error values not-a-number
// and counted; dates as serial day numbers counted from 30 December 1899 (an xlsx file in the
// 1904 date system is shifted onto that count).
//
// Safety: before anything is inflated the zip directory is checked: a package whose parts would
// unpack to more than 64 x the file size + 16 MiB is refused, as is a file that is no zip
// archive or lacks its workbook part. Every library error becomes a message naming the file
// and the reason; nothing of the library escapes.
#pragma once

#include "orvex_delimited.h"
#include "orvex_sheetgrid.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvex {

enum class TWorkbookKind : std::uint8_t { Xlsx, Ods };

struct TWorkbookOptions {
  // The sheet: its name, or its 1-based number as digits; empty: the first sheet. A name that
  // is all digits is found by name first.
  std::string Sheet;
  TSheetRules Rules;
  int MaxRows = 0;  // > 0: only the first MaxRows data rows (the import dialog's preview)
};

struct TWorkbookResult {
  TReadStatus Status = TReadStatus::OK;
  std::string Message;  // on failure: the file, then what went wrong
  std::vector<std::string> SheetNames;  // every sheet of the workbook, in order
  std::string SheetUsed;
  TSheetTableResult Table;  // header and row names used, columns left out, counts
  bool Ok() const { return Status == TReadStatus::OK; }
};

// xlsx or ods by the file's name (".xlsx", ".xlsm", ".ods", any case), else by its content;
// false when it is neither.
bool WorkbookKindOf(const std::string& FileName, TWorkbookKind& Kind);

// Reads one sheet of a workbook into Builder. Control.Cancel is polled while cells arrive;
// Progress reports the share read. On failure the builder's contents are unspecified.
TWorkbookResult ReadWorkbookFile(const std::string& FileName, const TWorkbookOptions& Options, TTableBuilder& Builder,
                                 const TReadControl& Control = {});

// The names of the sheets, in order; empty with Message set when the file cannot be read.
std::vector<std::string> WorkbookSheetNames(const std::string& FileName, std::string& Message);

// The day count from 30 December 1899 of a calendar date and time (proleptic Gregorian).
double SerialDay(int Year, int Month, int Day, int Hour = 0, int Minute = 0, double Second = 0.0);

}  // namespace orvex
