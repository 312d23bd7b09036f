#include "allocation_limit.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

std::size_t Limit = SIZE_MAX;
int RefusedCount = 0;

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

}  // namespace orvex::testing

void* operator new(std::size_t Size)
{
  if (Size >= Limit) {
    ++RefusedCount;
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(Size ? Size : 1))
    return p;
  throw std::bad_alloc();
}

void* operator new[](std::size_t Size)
{
  return ::operator new(Size);
}

void operator delete(void* P) noexcept
{
  std::free(P);
}

void operator delete[](void* P) noexcept
{
  std::free(P);
}

void operator delete(void* P, std::size_t) noexcept
{
  std::free(P);
}

void operator delete[](void* P, std::size_t) noexcept
{
  std::free(P);
}
