// What the reader benchmarks share: the baseline of one plain pass over a file's bytes (block
// reads plus a byte sum, nothing parsed) and the wall time of one call.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

inline void RawPass(const std::string& File, std::vector<unsigned char>& Buffer)
{
  std::FILE* f = std::fopen(File.c_str(), "rb");
  std::uint64_t sum = 0;
  std::size_t n;
  while ((n = std::fread(Buffer.data(), 1, Buffer.size(), f)) > 0)
    for (std::size_t i = 0; i < n; ++i)
      sum += Buffer[i];
  std::fclose(f);
  benchmark::DoNotOptimize(sum);
}

inline double SecondsOf(const std::function<void()>& F)
{
  const auto start = std::chrono::steady_clock::now();
  F();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
