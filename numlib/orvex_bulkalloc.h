// The allocator of the containers' element storage. It takes its memory from the global
// operator new like the standard allocator; a block of several megabytes is additionally
// marked as a candidate for huge pages where the system offers them, which cuts the page
// faults of first touching a large design matrix by a factor of several hundred.
#pragma once

#include <cstddef>
#include <new>

namespace orvex {

namespace detail {
// Asks the system to back the whole 2 MiB pages inside [P, P + Bytes) with huge pages; no
// effect where it cannot.
void AdviseHugePages(void* P, std::size_t Bytes) noexcept;
inline constexpr std::size_t HugePageHintBytes = std::size_t(8) << 20;
}  // namespace detail

template <typename T>
struct TBulkAllocator {
  using value_type = T;
  TBulkAllocator() noexcept = default;
  template <typename U>
  TBulkAllocator(const TBulkAllocator<U>&) noexcept
  {
  }
  T* allocate(std::size_t N)
  {
    if (N > static_cast<std::size_t>(-1) / sizeof(T))
      throw std::bad_array_new_length();
    const std::size_t bytes = N * sizeof(T);
    void* p = ::operator new(bytes);
    if (bytes >= detail::HugePageHintBytes)
      detail::AdviseHugePages(p, bytes);
    return static_cast<T*>(p);
  }
  void deallocate(T* P, std::size_t) noexcept { ::operator delete(P); }
  template <typename U>
  bool operator==(const TBulkAllocator<U>&) const noexcept
  {
    return true;
  }
};

}  // namespace orvex
