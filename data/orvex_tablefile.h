// One entry for reading a data file of either format into a table builder: the format is
// decided by DecideFileFormat (extension, then content), an ASC file goes to the ASC reader and
// anything else to the delimited reader. mlrreport and the window's "Load Data" both read
// through here, so they decide alike; the window may call it on a worker thread and adopt the
// builder on the GUI thread (TDataTable::Adopt).
#pragma once

#include "orvex_datatable_asc.h"
#include "orvex_delimited.h"

#include <string>

namespace orvex {

struct TTableFileResult {
  TFileFormat Format = TFileFormat::Delimited;
  // ASC: the reader's result code (ascOK, a negative code, or ascCancelled). A row error (-5,
  // -6) leaves the rows up to the failing one in the builder, as the ASC format defines.
  int AscCode = ascOK;
  // Delimited: status, position of a failure, dialect used, columns left out.
  TDelimitedResult Delimited;
  // Empty on success, else one line saying what went wrong (for a message box or stderr).
  std::string Message;
  bool Ok() const { return Format == TFileFormat::Asc ? AscCode == ascOK : Delimited.Ok(); }
  // Whether the builder holds a table worth adopting: success, or an ASC row error.
  bool HasTable() const
  {
    return Format == TFileFormat::Asc ? AscCode == ascOK || AscCode == ascBadRowAttrib || AscCode == ascBadValue
                                      : Delimited.Ok();
  }
};

// Reads FileName into Builder. Dialect steers a delimited file (ignored for ASC); CustomData,
// when given, receives an ASC file's key/value section.
TTableFileResult ReadTableFile(const std::string& FileName, const TDelimitedDialect& Dialect,
                               TTableBuilder& Builder, const TReadControl& Control = {},
                               TCustomData* CustomData = nullptr);

}  // namespace orvex
