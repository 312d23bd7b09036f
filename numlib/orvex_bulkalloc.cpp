// The huge-page hint of TBulkAllocator.
#include "orvex_bulkalloc.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace orvex::detail {

void AdviseHugePages(void* P, std::size_t Bytes) noexcept
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t Huge = std::uintptr_t(2) << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(P);
  const std::uintptr_t first = (begin + Huge - 1) & ~(Huge - 1);
  const std::uintptr_t last = (begin + Bytes) & ~(Huge - 1);
  if (last > first)
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)P;
  (void)Bytes;
#endif
}

}  // namespace orvex::detail
