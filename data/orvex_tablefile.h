// One entry for reading a data file of any format into a table builder: the format is decided
// by DecideFileFormat (extension, then content); an ASC file goes to the ASC reader, a workbook
// (xlsx, ods) to the workbook reader, an SPSS, Stata or SAS file to the statistics-package
// reader, and anything else to the delimited reader. mlrreport and the window's "Load Data" both read
// through here, so they decide alike; the window may call it on a worker thread and adopt the
// builder on the GUI thread (TDataTable::Adopt).
#pragma once

#include "orvex_datatable_asc.h"
#include "orvex_delimited.h"
#include "orvex_statfile.h"
#include "orvex_workbook.h"

#include <string>

namespace orvex {

// How each format is read: the delimited dialect, the workbook's sheet and header choices, the
// statistics-package choices. Each reader looks at its own part only.
struct TTableReadOptions {
  TDelimitedDialect Delimited;
  TWorkbookOptions Workbook;
  TStatFileOptions Stat;
};

struct TTableFileResult {
  TFileFormat Format = TFileFormat::Delimited;
  // ASC: the reader's result code (ascOK, a negative code, or ascCancelled). A row error (-5,
  // -6) leaves the rows up to the failing one in the builder, as the ASC format defines.
  int AscCode = ascOK;
  // Delimited: status, position of a failure, dialect used, columns left out.
  // Its LeftOut also lists the columns a workbook or statistics-package file left out.
  TDelimitedResult Delimited;
  TWorkbookResult Workbook;  // sheets, the sheet used, counts of error and formula cells
  TStatFileResult Stat;      // notes on value labels not used, missing values
  // Empty on success, else one line saying what went wrong (for a message box or stderr).
  std::string Message;
  bool Ok() const
  {
    switch (Format) {
      case TFileFormat::Asc: return AscCode == ascOK;
      case TFileFormat::Workbook: return Workbook.Ok();
      case TFileFormat::StatFile: return Stat.Ok();
      case TFileFormat::Delimited: break;
    }
    return Delimited.Ok();
  }
  // Whether the builder holds a table worth adopting: success, or an ASC row error.
  bool HasTable() const
  {
    return Format == TFileFormat::Asc ? AscCode == ascOK || AscCode == ascBadRowAttrib || AscCode == ascBadValue
                                      : Ok();
  }
};

// Reads FileName into Builder. Dialect steers a delimited file (ignored for ASC); CustomData,
// when given, receives an ASC file's key/value section.
TTableFileResult ReadTableFile(const std::string& FileName, const TDelimitedDialect& Dialect,
                               TTableBuilder& Builder, const TReadControl& Control = {},
                               TCustomData* CustomData = nullptr);
// The same with the choices of every format.
TTableFileResult ReadTableFileWith(const std::string& FileName, const TTableReadOptions& Options, TTableBuilder& Builder,
                               const TReadControl& Control = {}, TCustomData* CustomData = nullptr);

}  // namespace orvex
