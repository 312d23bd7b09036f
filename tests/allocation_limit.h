// Out-of-memory paths without exhausting memory: a test binary that links allocation_limit.cpp
// replaces the global operator new, which then fails every request of at least a given size
// while a TAllocationLimit lives, and counts the heap in use so a test can measure its peak. Real exhaustion is no
// option: a sanitizer build aborts on a huge request instead of throwing, and on a machine with overcommit it may not
// fail at all.
#pragma once

#include <cstddef>

namespace orvex::testing {

class TAllocationLimit {
public:
  // Requests of MinBytes or more throw std::bad_alloc until this object is destroyed.
  explicit TAllocationLimit(std::size_t MinBytes);
  ~TAllocationLimit();
  TAllocationLimit(const TAllocationLimit&) = delete;
  TAllocationLimit& operator=(const TAllocationLimit&) = delete;

  // Requests refused so far by this limit.
  int Refused() const;

private:
  std::size_t FPrevious;
  int FRefusedBefore;
};

// The Nth request for memory from now on (counting from 1, of any size) throws std::bad_alloc,
// once; every other request is served. A test steps N through the requests of an operation to
// fail each of them in turn, also those too small for TAllocationLimit to pick out.
class TFailNthAllocation {
public:
  explicit TFailNthAllocation(long N);
  ~TFailNthAllocation();
  TFailNthAllocation(const TFailNthAllocation&) = delete;
  TFailNthAllocation& operator=(const TFailNthAllocation&) = delete;

  // True once the Nth request came and was refused.
  bool Failed() const;
};

// Requests for memory served or refused since the program started.
long AllocationCount();

// The heap the binary's operator new has handed out and not yet taken back, and the highest
// that figure has reached since the last ResetHeapPeak (usable sizes of the blocks, in bytes).
std::size_t HeapBytesInUse();
std::size_t HeapPeakBytes();
void ResetHeapPeak();

}  // namespace orvex::testing
