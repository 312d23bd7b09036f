// The ASC reader through its public entry: any file gives one of the documented result codes,
// never a crash or undefined behaviour. After a read every text of the table (comment,
// column and row names, level labels) and of the key/value section is valid UTF-8 and within
// its length limit. After a failure the previous table is left as it was. The run's memory
// limits (-malloc_limit_mb, -rss_limit_mb in run.sh) catch allocations out of proportion to
// the input.
#include "fuzz_support.h"
#include "orvex_datatable.h"

#include <algorithm>

using namespace orvex;

namespace {

bool Documented(int Code)
{
  constexpr int codes[] = {ascOK,         ascBadColumnCount, ascBadRowCount, ascBadFlags,
                           ascBadRowAttrib, ascBadValue,     ascCannotRead,  ascSizeExceedsFile};
  return std::find(std::begin(codes), std::end(codes), Code) != std::end(codes);
}

void Prepare(TDataTable& T)
{
  T.Resize(2, 3);
  T.SetComment("before");
  T.SetElem(2, 3, 7.25);
  T.SetColName(1, "first");
}

bool StillPrepared(const TDataTable& T)
{
  return T.NrOfColumns() == 2 && T.NrOfRows() == 3 && T.Comment() == "before" && T.Elem(2, 3) == 7.25 &&
         T.ColName(1) == "first";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
  const std::string& file = fuzz::WriteInputFile(Data, Size);
  TDataTable t;
  Prepare(t);
  TCustomData custom;
  const int code = t.ReadASCFile(file, custom);
  fuzz::Check(Documented(code), "undocumented result code", std::to_string(code));
  // A failure in the header or the size check leaves the previous table. A bad row attribute
  // or value keeps the rows read up to it, so the table is checked like a successful one.
  if (code != ascOK && code != ascBadRowAttrib && code != ascBadValue) {
    fuzz::Check(StillPrepared(t), "a failed read changed the previous table", std::to_string(code));
    return 0;
  }
  fuzz::Check(t.NrOfColumns() >= 1 && t.NrOfRows() >= 1, "empty table after a read");
  // Every column and row needs at least one byte of the file.
  fuzz::Check(static_cast<std::size_t>(t.NrOfColumns()) <= Size && static_cast<std::size_t>(t.NrOfRows()) <= Size,
              "table larger than the file");
  fuzz::CheckText(t.Comment(), Size, "comment");
  for (int c = 1; c <= t.NrOfColumns(); ++c) {
    fuzz::CheckText(t.ColName(c), MaxNameLength, "column name");
    for (int level = 0; level <= MaxLevel; ++level)
      fuzz::CheckText(t.LevelName(c, level), MaxLevelLength, "level label");
  }
  for (int r = 1; r <= t.NrOfRows(); ++r)
    fuzz::CheckText(t.RowName(r), MaxNameLength, "row name");
  for (const TCustDataEntry& e : custom) {
    fuzz::CheckText(e.Key, Size, "custom data key");
    fuzz::CheckText(e.Value, Size, "custom data value");
  }
  return 0;
}
