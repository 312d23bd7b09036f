#include "allocation_limit.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include <malloc.h>

namespace {

std::size_t Limit = SIZE_MAX;
int RefusedCount = 0;
std::atomic<std::size_t> InUse{0};
std::atomic<std::size_t> Peak{0};
std::atomic<long> Requests{0};
std::atomic<long> FailAt{0};  // the request number that fails; 0: none
std::atomic<bool> NthFailed{false};

void Counted(void* P)
{
  const std::size_t size = malloc_usable_size(P);
  const std::size_t now = InUse.fetch_add(size) + size;
  std::size_t peak = Peak.load();
  while (now > peak && !Peak.compare_exchange_weak(peak, now)) {
  }
}

void Release(void* P) noexcept
{
  if (P) {
    InUse.fetch_sub(malloc_usable_size(P));
    std::free(P);
  }
}

}  // namespace

namespace orvex::testing {

TAllocationLimit::TAllocationLimit(std::size_t MinBytes) : FPrevious(Limit), FRefusedBefore(RefusedCount)
{
  Limit = MinBytes;
}

TAllocationLimit::~TAllocationLimit()
{
  Limit = FPrevious;
}

int TAllocationLimit::Refused() const
{
  return RefusedCount - FRefusedBefore;
}

TFailNthAllocation::TFailNthAllocation(long N)
{
  NthFailed = false;
  FailAt = Requests.load() + N;
}

TFailNthAllocation::~TFailNthAllocation()
{
  FailAt = 0;
}

bool TFailNthAllocation::Failed() const
{
  return NthFailed.load();
}

long AllocationCount()
{
  return Requests.load();
}

std::size_t HeapBytesInUse()
{
  return InUse.load();
}

std::size_t HeapPeakBytes()
{
  return Peak.load();
}

void ResetHeapPeak()
{
  Peak.store(InUse.load());
}

}  // namespace orvex::testing

void* operator new(std::size_t Size)
{
  const long request = ++Requests;
  if (request == FailAt.load()) {
    FailAt = 0;
    NthFailed = true;
    ++RefusedCount;
    throw std::bad_alloc();
  }
  if (Size >= Limit) {
    ++RefusedCount;
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(Size ? Size : 1)) {
    Counted(p);
    return p;
  }
  throw std::bad_alloc();
}

void* operator new[](std::size_t Size)
{
  return ::operator new(Size);
}

void operator delete(void* P) noexcept
{
  Release(P);
}

void operator delete[](void* P) noexcept
{
  Release(P);
}

void operator delete(void* P, std::size_t) noexcept
{
  Release(P);
}

void operator delete[](void* P, std::size_t) noexcept
{
  Release(P);
}

// The nothrow forms go through the same limit, so that memory a library takes with them and
// gives back with a plain delete is allocated and freed alike.
void* operator new(std::size_t Size, const std::nothrow_t&) noexcept
{
  try {
    return ::operator new(Size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void* operator new[](std::size_t Size, const std::nothrow_t&) noexcept
{
  return ::operator new(Size, std::nothrow);
}

void operator delete(void* P, const std::nothrow_t&) noexcept
{
  Release(P);
}

void operator delete[](void* P, const std::nothrow_t&) noexcept
{
  Release(P);
}
