// The huge-page hint of TBulkAllocator, and the heap's keeping of freed blocks.
#include "orvex_bulkalloc.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace orvex::detail {

void AdviseHugePages(void* Begin, std::size_t Bytes) noexcept
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (Bytes >= HugePageSize)
    ::madvise(Begin, Bytes, MADV_HUGEPAGE);
#else
  (void)Begin;
  (void)Bytes;
#endif
}

}  // namespace orvex::detail

namespace orvex {

void KeepFreedMemoryForReuse() noexcept
{
#if defined(__GLIBC__)
  // Fixed settings also end the heap's own adjustment of the threshold, which would otherwise
  // let it hand blocks of a few MiB back and forth to the system on every refill.
  ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

}  // namespace orvex
