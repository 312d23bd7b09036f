// Storage for the large arrays of a table (cell states, row names): blocks of several MiB are
// placed on 2 MiB boundaries and offered to the system as huge pages, so that filling them
// takes one page fault per 2 MiB instead of one per 4 KiB (on a virtual machine a small-page
// fault can cost more than the bytes it brings). Small blocks are plain heap blocks. Every block
// comes from the global operator new, so allocation limits and heap counts see it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

namespace orvex {

namespace pages {

inline constexpr std::size_t HugePageSize = std::size_t(2) << 20;
// Blocks from this size on are placed for huge pages.
inline constexpr std::size_t LargeBlock = std::size_t(4) << 20;

// Asks the system to back [Begin, Begin + Size) with huge pages (Begin on a 2 MiB boundary);
// nothing happens where the system has none.
void AdviseHugePages(void* Begin, std::size_t Size) noexcept;

}  // namespace pages

template <typename T>
class TLargePageAllocator {
public:
  using value_type = T;

  TLargePageAllocator() noexcept = default;
  template <typename U>
  TLargePageAllocator(const TLargePageAllocator<U>&) noexcept
  {
  }

  T* allocate(std::size_t N)
  {
    if (N > std::numeric_limits<std::size_t>::max() / sizeof(T) - pages::HugePageSize)
      throw std::bad_array_new_length();
    const std::size_t bytes = N * sizeof(T);
    if (bytes < pages::LargeBlock)
      return static_cast<T*>(::operator new(bytes));
    // One huge page more than asked, so that the block can start on a boundary; the heap
    // block's own address is kept just before it.
    void* raw = ::operator new(bytes + pages::HugePageSize);
    const auto address = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    const std::uintptr_t aligned = (address + pages::HugePageSize - 1) & ~(pages::HugePageSize - 1);
    void* block = reinterpret_cast<void*>(aligned);
    static_cast<void**>(block)[-1] = raw;
    pages::AdviseHugePages(block, bytes & ~(pages::HugePageSize - 1));
    return static_cast<T*>(block);
  }

  void deallocate(T* P, std::size_t N) noexcept
  {
    if (N * sizeof(T) < pages::LargeBlock)
      ::operator delete(P);
    else
      ::operator delete(reinterpret_cast<void**>(P)[-1]);
  }

  template <typename U>
  bool operator==(const TLargePageAllocator<U>&) const noexcept
  {
    return true;
  }
};

template <typename T>
using TLargeVector = std::vector<T, TLargePageAllocator<T>>;

}  // namespace orvex
