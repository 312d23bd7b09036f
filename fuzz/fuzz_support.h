// What the harnesses share: a fatal check that names what went wrong (libFuzzer then keeps the
// input), UTF-8 checks, and the input written to a file for the readers that only take a name.
#pragma once

#include "orvex_datatable_text.h"
#include "orvex_tablebuilder.h"

#include <cmath>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

namespace fuzz {

[[noreturn]] inline void Fail(const char* What, std::string_view Detail = {})
{
  std::fprintf(stderr, "fuzz check failed: %s [%.*s]\n", What, static_cast<int>(Detail.size()), Detail.data());
  std::abort();
}

inline void Check(bool Ok, const char* What, std::string_view Detail = {})
{
  if (!Ok)
    Fail(What, Detail);
}

// Characters of a valid UTF-8 text.
inline std::size_t CharCount(std::string_view S)
{
  std::size_t n = 0;
  for (unsigned char c : S)
    n += (c & 0xC0) != 0x80;
  return n;
}

inline void CheckText(std::string_view S, std::size_t MaxChars, const char* What)
{
  Check(orvex::dtext::IsValidUtf8(S), What, S);
  Check(CharCount(S) <= MaxChars, What, S);
}

// A read table's columns: valid names of at most 50 characters, labels of at most 10, finite
// values, and level values that are whole numbers from 0 to 150.
inline void CheckColumns(const orvex::TTableBuilder& B)
{
  using namespace orvex;
  for (int c = 1; c <= B.NrOfColumns(); ++c) {
    CheckText(B.ColName(c), MaxNameLength, "column name");
    for (int level = 0; level <= MaxLevel; ++level)
      CheckText(B.LevelName(c, level), MaxLevelLength, "level label");
    for (int row = 0; row < B.NrOfRows(); ++row) {
      const double v = B.Column(c)[row];
      Check(std::isfinite(v), "a value that is not finite");
      if (IsLevelType(B.VarType(c)) && B.ColumnStates(c)[row] == 0)
        Check(v >= 0 && v <= MaxLevel && v == std::floor(v), "a level out of range");
    }
  }
}

// A file under /dev/shm (memory, not disk) named after the process, rewritten for every input.
inline const std::string& InputFile()
{
  static const std::string name = "/dev/shm/orvex-fuzz-" + std::to_string(getpid()) + ".asc";
  static const bool removeAtExit = std::atexit([] { std::remove(name.c_str()); }) == 0;
  (void)removeAtExit;
  return name;
}

inline const std::string& WriteInputFile(const std::uint8_t* Data, std::size_t Size)
{
  const std::string& name = InputFile();
  std::FILE* f = std::fopen(name.c_str(), "wb");
  Check(f != nullptr, "cannot create the input file", name);
  Check(std::fwrite(Data, 1, Size, f) == Size && std::fclose(f) == 0, "cannot write the input file", name);
  return name;
}

}  // namespace fuzz
