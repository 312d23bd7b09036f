// The allocator of the containers' large element storage (matrices, vectors, a table's cell
// states and row names). Blocks from 1 MiB on are placed on 2 MiB boundaries and offered to the
// system as huge pages, faulted in at once when they are allocated: no page fault per 4 KiB at
// first touch (on a virtual machine a small-page fault can cost more than the bytes it brings),
// and fewer translation misses in the loops over them (without the hint a one-shot run took
// twice the user time).
// Small blocks are plain heap blocks. Every block comes from the global operator new, so
// allocation limits and heap counts see it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace orvex {

namespace detail {

inline constexpr std::size_t HugePageSize = std::size_t(2) << 20;
// Blocks from this size on are placed for huge pages, their last one included: on a virtual
// machine a small-page fault costs some 8 us, so even a block of 1 MiB takes longer in 256
// faults than in one huge page (a quarter of a millisecond per MiB against 0.05 ms).
inline constexpr std::size_t HugePageHintBytes = std::size_t(1) << 20;
// Bytes rounded up to whole huge pages.
constexpr std::size_t WholeHugePages(std::size_t Bytes)
{
  return (Bytes + HugePageSize - 1) & ~(HugePageSize - 1);
}

// The parts in which the math threads fault in a block of Bytes: whole huge pages, about
// PopulatePartsPerThread per thread so that the threads finish together, and one part (the
// calling thread alone) below two huge pages or on one thread.
inline constexpr int PopulatePartsPerThread = 4;
constexpr std::size_t PopulatePartBytes(std::size_t Bytes, int Threads)
{
  if (Threads <= 1 || Bytes < 2 * HugePageSize)
    return Bytes;
  const auto parts = static_cast<std::size_t>(Threads) * PopulatePartsPerThread;
  return WholeHugePages((Bytes + parts - 1) / parts);
}

// Blocks from this size on are emptied before they are faulted in, in programs that do not keep
// freed memory, so that their pages are known to hold zeros (see KnownZeroBytes). The heap gives
// blocks this large fresh from the system, so emptying them costs nothing.
inline constexpr std::size_t ZeroedBlockBytes = std::size_t(32) << 20;

// Asks the system to back [Begin, Begin + Bytes) with huge pages (Begin on a 2 MiB boundary) and
// to fault them in at once; nothing happens where the system has neither. True when the pages
// are known to hold zeros afterwards.
bool AdviseHugePages(void* Begin, std::size_t Bytes) noexcept;

// The newest block this thread took from TBulkAllocator, with the bytes at its start known to
// hold zeros.
struct TZeroBlock {
  const void* Block = nullptr;
  std::size_t Bytes = 0;
};
inline thread_local TZeroBlock NewestBlock;

// The bytes at the start of Block known to hold zeros, when Block is the newest block this
// thread took from TBulkAllocator (asked right after the allocation); 0 otherwise.
inline std::size_t KnownZeroBytes(const void* Block) noexcept
{
  return Block && Block == NewestBlock.Block ? NewestBlock.Bytes : 0;
}

// In programs that keep freed memory (KeepFreedMemoryForReuse), a freed huge-page block waits
// for the next request of the same size, which then takes pages already faulted in instead of
// fresh ones that the system must zero (a refit allocates its result vectors anew, at the size
// of the last one). At most KeptBlocksLimit bytes wait; the oldest block goes first, and a
// request of a size that none has gives them all back (they are of an earlier table's sizes).
inline constexpr std::size_t KeptBlocksLimit = std::size_t(512) << 20;
// A waiting block of exactly Bytes (given back by KeepBlock), or null.
void* TakeKeptBlock(std::size_t Bytes) noexcept;
// Lets the block of Bytes wait; false, with nothing done, when blocks are not kept.
bool KeepBlock(void* Block, std::size_t Bytes) noexcept;
// Gives every waiting block back to the heap.
void ReleaseKeptBlocks() noexcept;

}  // namespace detail

// For programs (the window, the benchmarks; call once at start, before other threads run): freed
// heap blocks under 32 MiB stay with the heap for the next allocation instead of going back to
// the system at once. A refit or refill of the same size (a role click, a chart page shown, a
// smoother's sort buffers) then reuses memory instead of faulting in and zeroing fresh pages,
// which on a virtual machine costs more than the work itself. At most 256 MiB of free heap is
// kept. Larger blocks of the bulk allocator wait for the next request of their size (see
// detail::KeepBlock).
void KeepFreedMemoryForReuse() noexcept;

template <typename T>
struct TBulkAllocator {
  using value_type = T;

  TBulkAllocator() noexcept = default;
  // Implicit, as allocators' rebinding copies need it.
  template <typename U>
  // cppcheck-suppress noExplicitConstructor
  TBulkAllocator(const TBulkAllocator<U>&) noexcept
  {
  }

  T* allocate(std::size_t N)
  {
    if (N > (std::numeric_limits<std::size_t>::max() - 2 * detail::HugePageSize) / sizeof(T))
      throw std::bad_array_new_length();
    const std::size_t bytes = N * sizeof(T);
    detail::NewestBlock = {};
    if (bytes < detail::HugePageHintBytes)
      return static_cast<T*>(::operator new(bytes));
    if (void* kept = detail::TakeKeptBlock(bytes))
      return static_cast<T*>(kept);
    // Whole huge pages and one more, so that the block can start on a boundary and end on
    // one (the start's padding is never touched); the heap block's own address is kept just
    // before it.
    const std::size_t whole = detail::WholeHugePages(bytes);
    void* raw = ::operator new(whole + detail::HugePageSize);
    const auto address = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    const std::uintptr_t aligned = (address + detail::HugePageSize - 1) & ~(detail::HugePageSize - 1);
    void* block = reinterpret_cast<void*>(aligned);
    static_cast<void**>(block)[-1] = raw;
    if (detail::AdviseHugePages(block, whole))
      detail::NewestBlock = {block, whole};
    return static_cast<T*>(block);
  }

  void deallocate(T* P, std::size_t N) noexcept
  {
    if (N * sizeof(T) < detail::HugePageHintBytes)
      ::operator delete(P);
    else if (!detail::KeepBlock(P, N * sizeof(T)))
      ::operator delete(reinterpret_cast<void**>(P)[-1]);
  }

  template <typename U>
  bool operator==(const TBulkAllocator<U>&) const noexcept
  {
    return true;
  }
};

template <typename T>
using TBulkVector = std::vector<T, TBulkAllocator<T>>;

// The bulk allocator for storage whose owner writes every element before it is read: resize
// leaves new elements default-initialized (a double holds what the memory held), so a block
// that the system has just faulted in as zeros is not written twice. The owner finds the zeros
// it may rely on with detail::KnownZeroBytes.
template <typename T>
struct TBulkAllocatorNoInit : TBulkAllocator<T> {
  TBulkAllocatorNoInit() noexcept = default;
  template <typename U>
  // cppcheck-suppress noExplicitConstructor
  TBulkAllocatorNoInit(const TBulkAllocatorNoInit<U>&) noexcept
  {
  }
  template <typename U>
  struct rebind {
    using other = TBulkAllocatorNoInit<U>;
  };

  template <typename U>
  void construct(U* P) noexcept(std::is_nothrow_default_constructible_v<U>)
  {
    ::new (static_cast<void*>(P)) U;
  }
  template <typename U, typename... TArgs>
  void construct(U* P, TArgs&&... Args)
  {
    ::new (static_cast<void*>(P)) U(std::forward<TArgs>(Args)...);
  }
};

}  // namespace orvex
