// What a table costs in memory, and whether the process can have that memory: the check that
// lets the window and mlrreport refuse, before reading it, an ASC file whose table would not fit,
// instead of running out of memory halfway or driving the machine into swap.
#pragma once

#include <cstdint>
#include <string>

namespace orvex {

// Bytes the process can still take: the system's available memory, lowered by the process's
// address-space limit (less what it already takes) and by its control group's memory limit
// where these are set. -1 when nothing of it can be learnt.
std::int64_t AvailableMemoryBytes();

// The memory that reading a table of NrCols x NrRows and fitting it takes at its peak: values
// and cell states, the regression's copy of the design, row names and attributes, the file's
// read buffer (measured: about 448 MB for 1,000,000 x 21).
std::int64_t TableFitMemoryBytes(std::int64_t NrCols, std::int64_t NrRows);

struct TMemoryCheck {
  bool Fits = true;
  std::int64_t NeededBytes = 0;
  std::int64_t AvailableBytes = -1;  // -1: unknown, the table then counts as fitting
};

// The check for an ASC file from its header alone. A file whose header does not read, or that
// is too short for the table it declares, counts as fitting: reading it then reports what is
// wrong. So does anything but a regular file (a pipe is not opened, its text stays unread). AvailableBytes below 0 takes AvailableMemoryBytes().
TMemoryCheck CheckAscFileFitsInMemory(const std::string& FileName, std::int64_t AvailableBytes = -1);

// The same for a delimited file, whose row count is not written in it: the rows are estimated
// from the file's size and the line ends of its first 64 KiB, the columns from the dialect
// (Dialect's choices kept), and the whole text, which the reader holds while it parses, counts
// too. Anything but a regular file, and a file without a line in its start, counts as fitting.
struct TDelimitedDialect;
TMemoryCheck CheckDelimitedFileFitsInMemory(const std::string& FileName, const TDelimitedDialect& Dialect,
                                            std::int64_t AvailableBytes = -1);

}  // namespace orvex
