// The statistics-package reader (ReadStat) on any bytes. The first input byte picks the format
// by the file's extension (.sav, .por, .dta, .sas7bdat, .xpt) and whether variable labels name
// the columns; the rest is the file. Checked: no crash, hang or unbounded allocation; a failure
// has a message naming the file; a table has valid names of at most 50 characters, labels of
// at most 10, finite values, and level values from 0 to 150.
#include "fuzz_support.h"
#include "orvex_statfile.h"

#include <cmath>
#include <string>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
  if (Size < 1)
    return 0;
  static const char* const extensions[] = {".sav", ".por", ".dta", ".sas7bdat", ".xpt"};
  const std::size_t kind = Data[0] % 5;
  static std::string files[5];
  std::string& file = files[kind];
  if (file.empty())
    file = "/dev/shm/orvex-fuzz-" + std::to_string(getpid()) + extensions[kind];
  std::FILE* f = std::fopen(file.c_str(), "wb");
  fuzz::Check(f != nullptr, "cannot create the input file", file);
  fuzz::Check(std::fwrite(Data + 1, 1, Size - 1, f) == Size - 1 && std::fclose(f) == 0, "cannot write", file);

  TStatFileOptions options;
  options.LabelsAsNames = (Data[0] / 5) % 2 == 1;
  TTableBuilder b;
  const TStatFileResult r = ReadStatFile(file, options, b);
  std::remove(file.c_str());
  if (!r.Ok()) {
    fuzz::Check(r.Message.rfind("cannot read the file \"" + file + "\": ", 0) == 0, "a failure without the file",
                r.Message);
    return 0;
  }
  fuzz::CheckColumns(b);
  return 0;
}
