// One entry for reading a data file of either format into a table builder; see the header.
#include "orvex_tablefile.h"

namespace orvex {

TTableFileResult ReadTableFile(const std::string& FileName, const TDelimitedDialect& Dialect,
                               TTableBuilder& Builder, const TReadControl& Control, TCustomData* CustomData)
{
  TTableReadOptions options;
  options.Delimited = Dialect;
  return ReadTableFileWith(FileName, options, Builder, Control, CustomData);
}

TTableFileResult ReadTableFileWith(const std::string& FileName, const TTableReadOptions& Options, TTableBuilder& Builder,
                               const TReadControl& Control, TCustomData* CustomData)
{
  TTableFileResult res;
  res.Format = DecideFileFormat(FileName);
  if (res.Format == TFileFormat::Workbook) {
    res.Workbook = ReadWorkbookFile(FileName, Options.Workbook, Builder, Control);
    res.Message = res.Workbook.Message;
    res.Delimited.LeftOut = res.Workbook.Table.LeftOut;
    return res;
  }
  if (res.Format == TFileFormat::StatFile) {
    res.Stat = ReadStatFile(FileName, Options.Stat, Builder, Control);
    res.Message = res.Stat.Message;
    res.Delimited.LeftOut = res.Stat.LeftOut;
    return res;
  }
  if (res.Format == TFileFormat::Delimited) {
    res.Delimited = ReadDelimitedFile(FileName, Options.Delimited, Builder, Control);
    if (!res.Delimited.Ok())
      res.Message = "cannot read the file \"" + FileName + "\": " + res.Delimited.Message;
    return res;
  }
  TASCReadOptions options;
  options.Cancel = Control.Cancel;
  options.Progress = Control.Progress;
  if (Control.BlockSize > 0)
    options.BlockSize = Control.BlockSize;
  options.ChunkSize = Control.ChunkSize;
  TCustomData custom;
  try {
    res.AscCode = ReadASCFileInto(FileName, Builder, CustomData ? *CustomData : custom, options);
  } catch (const EOrvexDataTableError&) {
    res.AscCode = ascCannotRead;
    res.Message = "cannot read the ASC file \"" + FileName + "\": not enough memory";
    return res;
  }
  if (res.AscCode == ascCancelled)
    res.Message = "the read was cancelled";
  else if (res.AscCode != ascOK)
    res.Message = "cannot read the ASC file \"" + FileName + "\": result code " + std::to_string(res.AscCode) +
                  " (" + AscResultMeaning(res.AscCode) + ")";
  return res;
}

}  // namespace orvex
