// The huge-page hint of TBulkAllocator.
#include "orvex_bulkalloc.h"

#if defined(__linux__)
#include <sys/mman.h>
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
