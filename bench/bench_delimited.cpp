// Speed of the delimited reader on the benchmark CSV (bench_csv.h: 100,000 and 1,000,000 rows
// of 21 numbers), in process: ReadDelimitedFile into a builder on one and on two threads, with
// one plain pass over the same bytes (block reads plus a byte sum) as the baseline in the same
// run; and the detection over the first 64 KiB. The side-by-side run against a peer reader on
// the same file is scripts/bench-delimited.sh.
#include "bench_csv.h"
#include "orvex_delimited.h"
#include "orvex_math2.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <vector>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

class TCsvFiles {
public:
  ~TCsvFiles()
  {
    std::error_code ec;
    if (!FDir.empty())
      fs::remove_all(FDir, ec);
  }
  const std::string& File(int Rows)
  {
    std::string& name = FFiles[Rows];
    if (name.empty()) {
      if (FDir.empty()) {
        FDir = fs::temp_directory_path() / ("orvex_bench_csv_" + std::to_string(std::random_device{}()));
        fs::create_directories(FDir);
      }
      name = (FDir / ("bench" + std::to_string(Rows) + ".csv")).string();
      WriteBenchCsv(name, Rows);
    }
    return name;
  }

private:
  fs::path FDir;
  std::map<int, std::string> FFiles;
};

TCsvFiles Files;

double SecondsOf(const std::function<void()>& F)
{
  const auto start = std::chrono::steady_clock::now();
  F();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void RawPass(const std::string& File, std::vector<unsigned char>& Buffer)
{
  std::FILE* f = std::fopen(File.c_str(), "rb");
  unsigned sum = 0;
  std::size_t n;
  while ((n = std::fread(Buffer.data(), 1, Buffer.size(), f)) > 0)
    for (std::size_t i = 0; i < n; ++i)
      sum += Buffer[i];
  std::fclose(f);
  benchmark::DoNotOptimize(sum);
}

// Every iteration times a raw pass, the reader on one thread and on two; the counters give the
// median of each in ms, the slowest two-thread run, and MB/s of the two-thread median.
void BM_ReadDelimited(benchmark::State& State)
{
  const int rows = static_cast<int>(State.range(0));
  const std::string& file = Files.File(rows);
  const auto bytes = static_cast<double>(fs::file_size(file));
  std::vector<unsigned char> buffer(1 << 20);
  std::vector<double> times[3];
  const auto read = [&](int Threads) {
    SetMathThreadCount(Threads);
    TTableBuilder b;
    const TDelimitedResult r = ReadDelimitedFile(file, {}, b);
    if (!r.Ok() || b.NrOfRows() != rows || b.NrOfColumns() != 21)
      State.SkipWithError("read failed");
  };
  for (auto _ : State) {
    times[0].push_back(SecondsOf([&] { RawPass(file, buffer); }));
    times[1].push_back(SecondsOf([&] { read(1); }));
    times[2].push_back(SecondsOf([&] { read(2); }));
  }
  SetMathThreadCount(0);
  const char* names[3] = {"raw", "1thread", "2threads"};
  double median[3];
  for (int k = 0; k < 3; ++k) {
    std::sort(times[k].begin(), times[k].end());
    median[k] = times[k][times[k].size() / 2];
    State.counters[std::string(names[k]) + "_ms"] = median[k] * 1e3;
  }
  State.counters["2threads_slowest_ms"] = times[2].back() * 1e3;
  State.counters["raw/2threads"] = median[0] / median[2];
  State.counters["2threads_MB/s"] = bytes / 1e6 / median[2];
}
BENCHMARK(BM_ReadDelimited)->ArgName("rows")->Arg(100000)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDelimited)->ArgName("rows")->Arg(1000000)->Iterations(5)->Unit(benchmark::kMillisecond);

// Detection over the first 64 KiB of the file, as the import dialog does it.
void BM_DetectDialect(benchmark::State& State)
{
  const std::string sample = ReadFileSample(Files.File(100000));
  for (auto _ : State) {
    const TDetectedDialect d = DetectDialect(sample);
    benchmark::DoNotOptimize(d.Fields);
  }
  State.SetBytesProcessed(State.iterations() * static_cast<std::int64_t>(sample.size()));
}
BENCHMARK(BM_DetectDialect)->Unit(benchmark::kMillisecond);

}  // namespace
