// Files of statistics packages read into a table builder through the ReadStat library: SPSS
// (.sav, .zsav, .por), Stata (.dta) and SAS (.sas7bdat, .xpt).
//
// - Numeric variables become columns named after the variables (or after their labels, on
//   request). System-missing, user-defined missing (ranges and discrete values) and tagged
//   missing values (.a to .z) are empty cells.
// - The value labels of a numeric variable become the level labels of a Nominal column when
//   every labelled value and every value of the variable is a whole number from 0 to 150; a
//   variable with values outside that range stays numeric and the result notes it.
// - String variables are taken as the delimited reader takes text: a variable whose values all
//   read as numbers is a number column, otherwise a Nominal column of at most 150 different
//   texts in order of first appearance, or left out with more; empty strings are missing.
// Every failure of the library becomes a message naming the file and the reason; the memory the
// table takes is bounded by 64 x the file size + 16 MiB. No Qt.
#pragma once

#include "orvex_delimited.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvex {

enum class TStatFileKind : std::uint8_t { Sav, Por, Dta, Sas7bdat, Xport };

// The kind by the file's extension (any case), else by the file's first bytes (SPSS system
// files, Stata 13 and later, SAS transport files); false when it is none of them.
bool StatFileKindOf(const std::string& FileName, TStatFileKind& Kind);

struct TStatFileOptions {
  bool LabelsAsNames = false;  // a variable's label (when it has one) names its column
};

struct TStatFileResult {
  TReadStatus Status = TReadStatus::OK;
  std::string Message;                // on failure: the file, then what went wrong
  std::vector<TLeftOutColumn> LeftOut;  // string variables with more than 150 texts
  // Variables whose value labels were not used, with the reason.
  std::vector<std::string> Notes;
  std::int64_t MissingCells = 0;      // missing values of any kind
  bool Ok() const { return Status == TReadStatus::OK; }
};

TStatFileResult ReadStatFile(const std::string& FileName, const TStatFileOptions& Options, TTableBuilder& Builder,
                             const TReadControl& Control = {});

}  // namespace orvex
