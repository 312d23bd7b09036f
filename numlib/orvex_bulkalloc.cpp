// The huge-page hint of TBulkAllocator, and the heap's keeping of freed blocks.
#include "orvex_bulkalloc.h"

#include "orvex_taskpool.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <new>

namespace orvex::detail {

namespace {

struct TKeptBlock {
  void* Block;
  std::size_t Bytes;
};

// The waiting blocks, oldest first. A few large blocks at a time: a plain list under a lock.
struct TKeptBlocks {
  std::atomic<bool> Enabled{false};
  std::mutex Lock;
  std::deque<TKeptBlock> Blocks;
  std::size_t Bytes = 0;
};

TKeptBlocks& Kept()
{
  // Never destroyed: containers of static storage may give their blocks back after it would be.
  static TKeptBlocks* kept = new TKeptBlocks;
  return *kept;
}

void FreeBlock(void* Block) noexcept
{
  ::operator delete(static_cast<void**>(Block)[-1]);
}

}  // namespace

bool AdviseHugePages(void* Begin, std::size_t Bytes) noexcept
{
  bool zeroed = false;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (Bytes >= HugePageSize) {
    ::madvise(Begin, Bytes, MADV_HUGEPAGE);
    // Private anonymous memory, as the heap's blocks are, reads as zeros once emptied. A block
    // fresh from the system has nothing to empty; a recycled one loses its pages, which in a
    // program that keeps freed memory for reuse would defeat the keeping.
    if (Bytes >= ZeroedBlockBytes && !Kept().Enabled.load(std::memory_order_relaxed))
      zeroed = ::madvise(Begin, Bytes, MADV_DONTNEED) == 0;
#if defined(MADV_POPULATE_WRITE)
    // The pages are faulted in here, in one call per part, instead of one trap per page at
    // first touch: in one-shot runs of 1,000,000 x 21 the slowest of nine runs came closer to
    // the median (slowest/median 1.14-1.34 against 1.21-1.70, four paired series), at the same
    // median. A kernel without it answers EINVAL and the pages fault in as before.
    // On a virtual machine that hands free memory back to its host, a fresh page can cost the
    // host's fault and zeroing too (600 MB: 20-30 ms when the host still holds the pages,
    // 0.5-1.3 s when it took them back; 16 MB: 1 ms against 35-45 ms), so every block of two
    // huge pages or more is faulted in by all math threads, in balanced parts.
    auto* begin = static_cast<char*>(Begin);
    const std::size_t part = PopulatePartBytes(Bytes, MathThreadCount());
    if (part >= Bytes) {
      ::madvise(Begin, Bytes, MADV_POPULATE_WRITE);
    } else {
      try {
        TTaskPool::Shared().Run(static_cast<int>((Bytes + part - 1) / part), [begin, Bytes, part](int k) {
          const std::size_t first = static_cast<std::size_t>(k) * part;
          ::madvise(begin + first, std::min(part, Bytes - first), MADV_POPULATE_WRITE);
        });
      } catch (...) {
        // Without the pool (no thread could be started) the pages fault in at first touch.
      }
    }
#endif
  }
#else
  (void)Begin;
  (void)Bytes;
#endif
  return zeroed;
}

void* TakeKeptBlock(std::size_t Bytes) noexcept
{
  TKeptBlocks& k = Kept();
  if (!k.Enabled.load(std::memory_order_relaxed))
    return nullptr;
  {
    std::lock_guard<std::mutex> guard(k.Lock);
    // The newest first: its pages are the likeliest to be in the caches still.
    for (auto it = k.Blocks.rbegin(); it != k.Blocks.rend(); ++it)
      if (it->Bytes == Bytes) {
        void* block = it->Block;
        k.Bytes -= Bytes;
        k.Blocks.erase(std::next(it).base());
        return block;
      }
  }
  // A size not seen before (a new table, other roles): the waiting blocks are of the old sizes
  // and would only hold memory.
  ReleaseKeptBlocks();
  return nullptr;
}

bool KeepBlock(void* Block, std::size_t Bytes) noexcept
{
  TKeptBlocks& k = Kept();
  if (!k.Enabled.load(std::memory_order_relaxed) || Bytes > KeptBlocksLimit)
    return false;
  std::lock_guard<std::mutex> guard(k.Lock);
  while (!k.Blocks.empty() && k.Bytes + Bytes > KeptBlocksLimit) {
    FreeBlock(k.Blocks.front().Block);
    k.Bytes -= k.Blocks.front().Bytes;
    k.Blocks.pop_front();
  }
  try {
    k.Blocks.push_back({Block, Bytes});
  } catch (const std::bad_alloc&) {
    return false;  // no room for the entry: the caller gives the block back
  }
  k.Bytes += Bytes;
  return true;
}

void ReleaseKeptBlocks() noexcept
{
  TKeptBlocks& k = Kept();
  std::deque<TKeptBlock> blocks;
  {
    std::lock_guard<std::mutex> guard(k.Lock);
    blocks.swap(k.Blocks);
    k.Bytes = 0;
  }
  for (const TKeptBlock& b : blocks)
    FreeBlock(b.Block);
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
  detail::Kept().Enabled.store(true, std::memory_order_relaxed);
}

}  // namespace orvex
