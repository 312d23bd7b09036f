// Saving a table as an xlsx workbook through libxlsxwriter: one sheet named "Data" with a header
// row (the column names), the row names in a first column under an empty header cell when any
// row has a name other than its default "R-n", numbers as numbers, and empty and not-a-number
// cells left empty. A Nominal or Ordinal column whose valid cells all have a level label that
// reads as a text is written as those labels (the workbook reader reads them back as levels in
// order of first appearance), otherwise as numbers. Read back with ReadWorkbookFile, such a
// file gives the same table (names, row names, values, missing cells, level labels).
//
// Not written: the comment, attributes, cell marks, measurement types other than the levels.
// The file is written to a temporary file in the target's folder and renamed over the target
// only when it is complete: on any failure the old file stays and the temporary one is removed.
// No Qt.
#pragma once

#include "orvex_datatable.h"

#include <string>

namespace orvex {

class EOrvexXlsxWriteError : public EOrvexError {
public:
  using EOrvexError::EOrvexError;
};

// Raises EOrvexXlsxWriteError ("cannot save the file "NAME": reason") on failure.
void WriteXlsxFile(const TDataTable& Table, const std::string& FileName);

}  // namespace orvex
