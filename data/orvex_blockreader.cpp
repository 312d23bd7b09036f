// The block readers: the ASC one here, the delimited one beside the whole-file delimited reader
// (orvex_delimited_read.cpp), whose parsing pieces it shares.
#include "orvex_blockreader.h"

#include "orvex_datatable_asc.h"

#include <algorithm>

namespace orvex {

void TRowBlock::Reset(int Cols, int Rows, std::int64_t First)
{
  NrOfColumns = Cols;
  NrOfRows = Rows;
  FirstRow = First;
  const std::size_t cells = static_cast<std::size_t>(Cols) * static_cast<std::size_t>(Rows);
  Values.resize(cells);
  States.assign(cells, 0);
  RowNames.clear();
}

namespace {

// Rows per block of an ASC file: about 8 MiB of values.
constexpr std::size_t AscBlockValues = std::size_t(1) << 20;

class TAscBlockReader : public TBlockReader {
public:
  TAscBlockReader(const std::string& FileName, const TBlockReadOptions& Options)
      : FFileName(FileName), FOptions(Options)
  {
    FFormat = TFileFormat::Asc;
  }

  // Reads the header and the column names; false (Message set) when they do not read.
  bool Open()
  {
    FFile.SetThreads(FOptions.Threads);
    if (!FFile.Open(FFileName, FOptions.BlockBytes > 0 ? FOptions.BlockBytes : std::size_t(8) << 20))
      return Fail(ascCannotRead);
    std::string comment;
    bool flag2 = false, flag3 = false, flag4 = false;
    const int code = asc::ReadHeader(FFile, comment, FNrCols, FNrRows, FAttribs, flag2, flag3, flag4);
    if (FFile.Failed())
      return Fail(ascCannotRead);
    if (code != ascOK)
      return Fail(code);
    FCells = static_cast<std::int64_t>(FNrCols) * FNrRows;
    if (FFile.Size() >= 0 && asc::SizeExceedsText(FCells, FFile.Size()))
      return Fail(ascSizeExceedsFile);
    if (flag3) {
      FMessage = "the ASC file \"" + FFileName + "\" names its rows, which a read in blocks does not support yet";
      return false;
    }
    std::vector<std::string> raw;
    if (flag2)
      for (int c = 1; c <= FNrCols && !FFile.Eof(); ++c)
        raw.push_back(asc::ReadName(FFile));
    // The names as a table takes them: through a builder's own rules.
    TTableBuilder names;
    names.Resize(FNrCols, 1);
    const bool utf8 = FFile.Utf8Valid();
    for (std::size_t c = 0; c < raw.size(); ++c)
      names.SetColName(static_cast<int>(c) + 1, raw[c] == asc::EmptyNameMark ? std::string()
                                                : utf8                       ? raw[c]
                                                                             : dtext::Cp1252ToUtf8(raw[c]));
    for (int c = 1; c <= FNrCols; ++c)
      FColNames.push_back(names.ColName(c));
    if (flag4 && !ReadVarTypes())
      return false;
    FBlockRows = FOptions.BlockRows > 0
                     ? FOptions.BlockRows
                     : static_cast<int>(std::max<std::size_t>(1, AscBlockValues / static_cast<std::size_t>(FNrCols)));
    return true;
  }

  bool Next(TRowBlock& Block) override
  {
    if (Failed() || FRowsRead >= FNrRows)
      return false;
    const int rows = static_cast<int>(std::min<std::int64_t>(FBlockRows, FNrRows - FRowsRead));
    Block.Reset(FNrCols, rows, FRowsRead + 1);
    FAttribBuffer.resize(static_cast<std::size_t>(rows));
    std::vector<double*> columns(static_cast<std::size_t>(FNrCols));
    for (int c = 0; c < FNrCols; ++c)
      columns[static_cast<std::size_t>(c)] = Block.Values.data() + static_cast<std::size_t>(c) * rows;
    asc::TRowTarget target;
    target.NrCols = FNrCols;
    target.NrRows = rows;
    target.Attribs = FAttribs;
    target.Columns = columns.data();
    target.States = Block.States.data();
    target.RowAttribs = FAttribBuffer.data();
    const std::int64_t units = static_cast<std::int64_t>(rows) * (FNrCols + (FAttribs ? 1 : 0));
    // As the whole-file reader: each piece of text up to its last token that is surely
    // complete, the rest moves on with the next piece.
    asc::TRowsOutcome out;
    for (;;) {
      const bool final = FFile.AllRead();
      const std::size_t begin = FFile.BlockPos();
      const std::size_t cut =
          final ? FFile.BlockEnd() : asc::CompleteTokensEnd(FFile.BlockData(), begin, FFile.BlockEnd());
      if (cut == begin && !final) {
        FFile.Fill();
        continue;
      }
      out =
          asc::ParseRows(FFile.BlockData(), begin, cut, target, out.Unit, final, FOptions.Threads, FOptions.ChunkSize);
      FFile.Seek(out.End);
      if (out.Code != ascOK || out.Unit == units || final)
        break;
      FFile.Fill();
    }
    if (out.Code != ascOK)
      return Fail(out.Code);
    if (FFile.Failed())
      return Fail(ascCannotRead);
    FRowsRead += rows;
    if (FRowsRead == FNrRows) {
      // The declared size is held to the text once its end is known, as the whole-file read does.
      FFile.SkipToEnd();
      if (FFile.Failed())
        return Fail(ascCannotRead);
      if (asc::SizeExceedsText(FCells, FFile.TextSize()))
        return Fail(ascSizeExceedsFile);
    }
    return true;
  }

private:
  // The measurement types declared after the rows, read through a second handle on the file
  // (the whole-file reader applies them in file order, so a later line for a column wins).
  bool ReadVarTypes()
  {
    TASCTextFile file;
    if (!file.Open(FFileName, FOptions.BlockBytes > 0 ? FOptions.BlockBytes : std::size_t(1) << 20))
      return Fail(ascCannotRead);
    std::string comment;
    int cols = 0, rows = 0;
    bool flag1 = false, flag2 = false, flag3 = false, flag4 = false;
    if (asc::ReadHeader(file, comment, cols, rows, flag1, flag2, flag3, flag4) != ascOK)
      return Fail(ascCannotRead);
    if (flag2)
      for (int c = 1; c <= cols && !file.Eof(); ++c)
        asc::ReadName(file);
    const std::vector<asc::TVarTypeLine> lines = asc::FindVarTypes(file);
    if (file.Failed())
      return Fail(ascCannotRead);
    FVarTypes.assign(static_cast<std::size_t>(FNrCols), vtInterval);
    for (const asc::TVarTypeLine& t : lines)
      if (t.Col >= 1 && t.Col <= FNrCols)
        FVarTypes[static_cast<std::size_t>(t.Col - 1)] = t.Type;
    return true;
  }

  bool Fail(int Code)
  {
    FMessage = "cannot read the ASC file \"" + FFileName + "\": result code " + std::to_string(Code) + " (" +
               AscResultMeaning(Code) + ")";
    return false;
  }

  std::string FFileName;
  TBlockReadOptions FOptions;
  TASCTextFile FFile;
  int FNrCols = 0;
  int FNrRows = 0;
  bool FAttribs = false;
  std::int64_t FCells = 0;
  int FBlockRows = 1;
  std::vector<std::int32_t> FAttribBuffer;
};

}  // namespace

std::unique_ptr<TBlockReader> OpenBlockReader(const std::string& FileName, const TDelimitedDialect& Dialect,
                                              std::string& Message, const TBlockReadOptions& Options)
{
  Message.clear();
  if (DecideFileFormat(FileName) == TFileFormat::Delimited)
    return OpenDelimitedBlockReader(FileName, Dialect, Message, Options);
  auto reader = std::make_unique<TAscBlockReader>(FileName, Options);
  if (!reader->Open()) {
    Message = reader->Message();
    return nullptr;
  }
  return reader;
}

}  // namespace orvex
