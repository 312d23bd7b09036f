// The memory check of large tables: /proc/meminfo, the address-space limit and the control
// group's limit on Linux; elsewhere the available memory is unknown and every table fits.
#include "orvex_datatable_memory.h"

#include "orvex_delimited.h"

#include "orvex_datatable.h"
#include "orvex_datatable_asc.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#if defined(__linux__)
#include <sys/resource.h>
#endif

namespace orvex {

namespace {

// The number after Key in a "Key: value kB" file such as /proc/meminfo, in bytes; -1 if absent.
std::int64_t KilobyteEntry(const char* File, const std::string& Key)
{
  std::ifstream f(File);
  std::string line;
  while (std::getline(f, line))
    if (line.compare(0, Key.size(), Key) == 0) {
      std::istringstream in(line.substr(Key.size()));
      std::int64_t kb = -1;
      if (in >> kb)
        return kb * 1024;
    }
  return -1;
}

// A file holding one number (or "max"); -1 when absent or unlimited.
std::int64_t NumberFile(const char* File)
{
  std::ifstream f(File);
  std::int64_t v = -1;
  if (!(f >> v))
    return -1;
  return v;
}

void Lower(std::int64_t& Available, std::int64_t Limit)
{
  if (Limit >= 0)
    Available = Available < 0 ? Limit : std::min(Available, Limit);
}

}  // namespace

std::int64_t AvailableMemoryBytes()
{
  std::int64_t available = -1;
#if defined(__linux__)
  Lower(available, KilobyteEntry("/proc/meminfo", "MemAvailable:"));
  rlimit rl{};
  if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) {
    const std::int64_t used = std::max<std::int64_t>(KilobyteEntry("/proc/self/status", "VmSize:"), 0);
    Lower(available, std::max<std::int64_t>(static_cast<std::int64_t>(rl.rlim_cur) - used, 0));
  }
  const std::int64_t cgroupMax = NumberFile("/sys/fs/cgroup/memory.max");
  if (cgroupMax >= 0)
    Lower(available, std::max<std::int64_t>(cgroupMax - std::max<std::int64_t>(NumberFile("/sys/fs/cgroup/memory.current"), 0), 0));
#endif
  return available;
}

std::int64_t TableFitMemoryBytes(std::int64_t NrCols, std::int64_t NrRows)
{
  // Per cell: the value and its state in the table, the design copy's value, and the share of
  // the run's other buffers; per row: name, attribute and the run's per-object vectors.
  constexpr std::int64_t PerCell = 21;
  constexpr std::int64_t PerRow = 64;
  constexpr std::int64_t Fixed = std::int64_t(32) << 20;
  const std::int64_t limit = std::numeric_limits<std::int64_t>::max() / 4;
  if (NrCols <= 0 || NrRows <= 0)
    return Fixed;
  if (NrCols > limit / PerCell / NrRows)
    return limit;
  return NrCols * NrRows * PerCell + NrRows * PerRow + Fixed;
}

TMemoryCheck CheckAscFileFitsInMemory(const std::string& FileName, std::int64_t AvailableBytes)
{
  TMemoryCheck check;
  // Only a regular file can be read twice: the header of a pipe would be taken from the reader.
  std::error_code error;
  if (!std::filesystem::is_regular_file(FileName, error))
    return check;
  std::string comment;
  int cols = 0, rows = 0;
  bool f1 = false, f2 = false, f3 = false, f4 = false;
  if (TDataTable::ReadASCHeader(FileName, comment, cols, rows, f1, f2, f3, f4) != 0)
    return check;
  // A table the file cannot hold is the reader's error, not a memory question.
  const auto size = std::filesystem::file_size(FileName, error);
  if (!error && asc::SizeExceedsText(static_cast<std::int64_t>(cols) * rows, static_cast<std::int64_t>(size)))
    return check;
  check.NeededBytes = TableFitMemoryBytes(cols, rows);
  check.AvailableBytes = AvailableBytes >= 0 ? AvailableBytes : AvailableMemoryBytes();
  check.Fits = check.AvailableBytes < 0 || check.NeededBytes <= check.AvailableBytes;
  return check;
}

TMemoryCheck CheckDelimitedFileFitsInMemory(const std::string& FileName, const TDelimitedDialect& Dialect,
                                            std::int64_t AvailableBytes)
{
  TMemoryCheck check;
  std::error_code error;
  if (!std::filesystem::is_regular_file(FileName, error))
    return check;
  const auto size = static_cast<std::int64_t>(std::filesystem::file_size(FileName, error));
  if (error)
    return check;
  const std::string sample = ReadFileSample(FileName);
  const std::size_t lastLine = sample.rfind('\n');
  if (lastLine == std::string::npos)
    return check;
  // The whole lines of the sample stand for the rest of the file.
  const auto lines = static_cast<std::int64_t>(std::count(sample.begin(), sample.end(), '\n'));
  const auto wholeBytes = static_cast<std::int64_t>(lastLine) + 1;
  const std::int64_t rows = size / wholeBytes * lines + (size % wholeBytes) * lines / wholeBytes;
  const int cols = std::max(1, DetectDialect(sample, Dialect).Fields);
  check.NeededBytes = TableFitMemoryBytes(cols, rows) + size;
  check.AvailableBytes = AvailableBytes >= 0 ? AvailableBytes : AvailableMemoryBytes();
  check.Fits = check.AvailableBytes < 0 || check.NeededBytes <= check.AvailableBytes;
  return check;
}

}  // namespace orvex
