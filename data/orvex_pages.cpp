// Huge-page advice for the large blocks of TLargePageAllocator.
#include "orvex_pages.h"

#include <sys/mman.h>

namespace orvex::pages {

void AdviseHugePages(void* Begin, std::size_t Size) noexcept
{
  if (Size >= HugePageSize)
    ::madvise(Begin, Size, MADV_HUGEPAGE);
}

}  // namespace orvex::pages
