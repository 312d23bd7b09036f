// The bulk allocator: large blocks on huge-page boundaries, small ones plain, both given back
// whole; and the program-wide keeping of freed blocks, checked by the page faults a refill of
// the same size takes.
#include "orvex_bulkalloc.h"
#include "orvex_taskpool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <vector>

using namespace orvex;

namespace {

long MinorFaults()
{
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

bool KernelPopulatesPages()
{
#if defined(MADV_POPULATE_WRITE)
  const std::size_t bytes = 1 << 16;
  void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED)
    return false;
  const bool done = ::madvise(p, bytes, MADV_POPULATE_WRITE) == 0;
  ::munmap(p, bytes);
  return done;
#else
  return false;
#endif
}

}  // namespace

// A large block is faulted in by the math threads in parts: every part, the short last one
// included, must be in place and zero when the block is handed out, on one thread and on two.
TEST(BulkAllocator, LargeBlocksAreFaultedInWholeByEveryThreadCount)
{
  // Without MADV_POPULATE_WRITE in the system headers the answer is a constant.
  // cppcheck-suppress knownConditionTrueFalse
  if (!KernelPopulatesPages())
    GTEST_SKIP() << "the kernel cannot fault pages in on request";
  // Sixteen and a half huge pages: on two threads parts of three huge pages and a short last
  // one, and a last huge page that the block fills only in part (it is faulted in with the
  // rest). The block is large enough to be emptied before, so its zeros are known (a sanitizer
  // fills the start of a smaller fresh block).
  const std::size_t n = (33 * detail::HugePageSize / 2) / sizeof(double) + 3;
  static_assert(detail::PopulatePartBytes(17 * detail::HugePageSize, 2) == 3 * detail::HugePageSize);
  static_assert(33 * detail::HugePageSize / 2 >= detail::ZeroedBlockBytes);
  const std::size_t populated = n * sizeof(double);
  for (int threads : {1, 2}) {
    SetMathThreadCount(threads);
    TBulkAllocator<double> a;
    double* block = a.allocate(n);
    [[maybe_unused]] const long before = MinorFaults();
    const auto* bytes = reinterpret_cast<const unsigned char*>(block);
    unsigned char any = 0;
    for (std::size_t i = 0; i < populated; i += 4096)
      any |= bytes[i];
    std::memset(block, 1, populated);
#ifndef ORVEX_SANITIZED
    // Unfaulted, the last 1 MiB alone would take 256 small-page faults. (A sanitizer's
    // shadow of the block faults in at first touch, so only the zeros are checked there.)
    EXPECT_LT(MinorFaults() - before, 4) << threads << " threads";
#endif
    EXPECT_EQ(any, 0) << threads << " threads";
    a.deallocate(block, n);
  }
  SetMathThreadCount(0);
}

TEST(BulkAllocator, LargeBlocksStartOnHugePageBoundariesAndAllSizesRoundTrip)
{
  for (std::size_t n : {std::size_t{1}, std::size_t{1000}, (detail::HugePageHintBytes / 8) - 1,
                        detail::HugePageHintBytes / 8, std::size_t{3} << 20}) {
    TBulkVector<double> v(n, 1.5);
    const auto address = reinterpret_cast<std::uintptr_t>(v.data());
    if (n * sizeof(double) >= detail::HugePageHintBytes) {
      EXPECT_EQ(address % detail::HugePageSize, 0u) << n;
    }
    EXPECT_EQ(address % alignof(double), 0u) << n;
    EXPECT_EQ(v.front(), 1.5);
    EXPECT_EQ(v.back(), 1.5);
    v.resize(2 * n, 2.5);  // grows through a second block, the first given back
    EXPECT_EQ(v[n - 1], 1.5);
    EXPECT_EQ(v.back(), 2.5);
  }
}

TEST(BulkAllocator, FreedBlocksAreKeptForTheNextFillOfTheSameSize)
{
#ifdef ORVEX_SANITIZED
  GTEST_SKIP() << "the sanitizer's own allocator does not follow the heap's settings";
#endif
  // From the heap's start-up settings (which earlier tests of this process may have moved).
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  mallopt(M_TRIM_THRESHOLD, 128 * 1024);
  KeepFreedMemoryForReuse();
  // The buffers of a smoother over 100,000 points: a few blocks of 0.8 and 1.6 MB (about 1900
  // small pages), freed together. By default the heap hands such a freed stretch back to the
  // system, and every refill faults all of it in again.
  const std::size_t sizes[] = {1600000, 1600000, 1600000, 800000, 800000, 800000, 800000};
  auto fill = [&sizes] {
    std::vector<char*> blocks;
    for (std::size_t bytes : sizes) {
      blocks.push_back(new char[bytes]);
      std::memset(blocks.back(), 1, bytes);
    }
    for (char* p : blocks)
      delete[] p;
  };
  fill();
  const long before = MinorFaults();
  fill();
  EXPECT_LT(MinorFaults() - before, 100);
}

TEST(BulkAllocator, FreedLargeBlocksWaitForTheNextRequestOfTheirSize)
{
#ifdef ORVEX_SANITIZED
  GTEST_SKIP() << "the sanitizer's own allocator does not follow the heap's settings";
#endif
  KeepFreedMemoryForReuse();
  detail::ReleaseKeptBlocks();
  // 48 MiB: above the heap's own threshold, so that without waiting the block would go back to
  // the system and a refill would take fresh pages.
  const std::size_t n = std::size_t(6) << 20;
  // The block itself comes back, with what was written into it (fresh pages would read 0).
  TBulkAllocator<double> alloc;
  double* p = alloc.allocate(n);
  p[n / 2] = 42.0;
  alloc.deallocate(p, n);
  const long before = MinorFaults();
  double* q = alloc.allocate(n);
  EXPECT_EQ(q, p);
  EXPECT_EQ(q[n / 2], 42.0);
  alloc.deallocate(q, n);
  {
    TBulkVector<double> v(n, 2.0);
    EXPECT_EQ(v.data(), p);
  }
  EXPECT_LT(MinorFaults() - before, 100);
  // Two of the same size at once: the second is a fresh block; both wait afterwards.
  {
    const TBulkVector<double> a(n, 3.0);
    const TBulkVector<double> b(n, 4.0);
    // cppcheck-suppress mismatchingContainers ; two blocks compared, not iterators
    EXPECT_NE(a.data(), b.data());
    EXPECT_EQ(b.back(), 4.0);
  }
  detail::ReleaseKeptBlocks();
}
