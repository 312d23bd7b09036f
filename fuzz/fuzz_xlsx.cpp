// The workbook reader on any bytes. The first input byte picks the form: below 128 the rest is
// the whole file (xlsx or ods by bit 0, the sheet by bits 1-2); from 128 on the rest is cut at
// "\n--\n" into the XML parts of an xlsx package (workbook, its relationships, shared strings,
// styles, sheet) that is wrapped in a stored zip, so the bytes reach the XML handling unchanged.
// Checked: no crash, hang or unbounded allocation; a failure has a message naming the file; a
// table has valid names of at most 50 characters, labels of at most 10, and level values below
// 151; the sheet names are listed alike by WorkbookSheetNames.
#include "fuzz_support.h"
#include "orvex_workbook.h"
#include "stored_zip.h"

#include <cmath>
#include <string>

using namespace orvex;

namespace {

const std::string& FileFor(bool Ods)
{
  static const std::string xlsx = "/dev/shm/orvex-fuzz-" + std::to_string(getpid()) + ".xlsx";
  static const std::string ods = "/dev/shm/orvex-fuzz-" + std::to_string(getpid()) + ".ods";
  static const bool removeAtExit = std::atexit([] {
    std::remove(xlsx.c_str());
    std::remove(ods.c_str());
  }) == 0;
  (void)removeAtExit;
  return Ods ? ods : xlsx;
}

void WriteFile(const std::string& Name, const std::string& Data)
{
  std::FILE* f = std::fopen(Name.c_str(), "wb");
  fuzz::Check(f != nullptr, "cannot create the input file", Name);
  fuzz::Check(std::fwrite(Data.data(), 1, Data.size(), f) == Data.size() && std::fclose(f) == 0,
              "cannot write the input file", Name);
}

std::string Package(std::string_view Rest)
{
  static const char* const names[] = {"xl/workbook.xml", "xl/_rels/workbook.xml.rels", "xl/sharedStrings.xml",
                                      "xl/styles.xml", "xl/worksheets/sheet1.xml"};
  std::vector<std::pair<std::string, std::string>> parts;
  for (const char* name : names) {
    const std::size_t cut = Rest.find("\n--\n");
    parts.emplace_back(name, std::string(Rest.substr(0, cut)));
    Rest = cut == std::string_view::npos ? std::string_view() : Rest.substr(cut + 4);
  }
  return orvex_zip::StoredZip(parts);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
  if (Size < 1)
    return 0;
  const std::uint8_t mode = Data[0];
  const std::string_view rest(reinterpret_cast<const char*>(Data + 1), Size - 1);
  const bool ods = mode < 128 && (mode & 1);
  const std::string& file = FileFor(ods);
  WriteFile(file, mode < 128 ? std::string(rest) : Package(rest));

  TWorkbookOptions options;
  static const char* const sheets[] = {"", "2", "Data", "1"};
  options.Sheet = sheets[(mode >> 1) & 3];
  TTableBuilder b;
  const TWorkbookResult r = ReadWorkbookFile(file, options, b);
  std::string message;
  const std::vector<std::string> names = WorkbookSheetNames(file, message);
  if (!r.Ok()) {
    fuzz::Check(r.Message.rfind("cannot read the workbook \"" + file + "\": ", 0) == 0, "a failure without the file",
                r.Message);
    return 0;
  }
  fuzz::Check(names == r.SheetNames, "the sheet names differ between the read and the listing");
  fuzz::CheckColumns(b);
  for (int row = 1; row <= b.NrOfRows(); ++row)
    fuzz::CheckText(b.RowName(row), MaxNameLength, "row name");
  return 0;
}
