// Speed of the ASC reader on files of 100,000 and 1,000,000 rows of 20 values, written at the
// start with 6 significant digits: plain files (no names or attributes, the direct parallel
// path) and files with a row attribute, a row name and a few "NAN" and "###" cells (names
// force the token-by-token path). Each is read by LoadFromASCFile's path and by the reference
// reader that collects every value aside. The baseline in the same run is one plain pass over
// the same bytes (block reads plus a byte sum), so reader/baseline reads as "cost of one raw
// read"; BM_ReadASCRatios prints those ratios itself. Also the sort of a TStringArray.
#include "orvex_datatable.h"
#include "orvex_datatable_asc.h"
#include "orvex_dstruct.h"

#include "bench_baseline.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

constexpr int NrCols = 20;

// The test files, written once and removed at the end of the program.
class TBenchFiles {
public:
  ~TBenchFiles()
  {
    std::error_code ec;
    if (!FDir.empty())
      fs::remove_all(FDir, ec);
  }
  const std::string& File(int Rows, bool Plain)
  {
    auto& name = Plain ? (Rows == 100000 ? FPlain100k : FPlain1M) : (Rows == 100000 ? F100k : F1M);
    if (name.empty())
      name = Write(Rows, Plain);
    return name;
  }

private:
  std::string Write(int Rows, bool Plain)
  {
    if (FDir.empty()) {
      FDir = fs::temp_directory_path() / ("orvex_bench_data_" + std::to_string(std::random_device{}()));
      fs::create_directories(FDir);
    }
    const fs::path path = FDir / ((Plain ? "plain" : "rows") + std::to_string(Rows) + ".asc");
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    std::string out = "Benchmark data\n" + std::to_string(NrCols) + "\n" + std::to_string(Rows) +
                      (Plain ? "\nFALSE FALSE FALSE FALSE\n\n" : "\nTRUE TRUE TRUE FALSE\n");
    if (!Plain)
      for (int c = 1; c <= NrCols; ++c)
        out += "V" + std::to_string(c) + (c == NrCols ? "\n" : " ");
    std::mt19937_64 gen(42);
    std::normal_distribution<double> dist(100.0, 40.0);
    char buf[64];
    for (int r = 1; r <= Rows; ++r) {
      if (!Plain)
        out += std::to_string(r % 5) + " R" + std::to_string(r);
      for (int c = 1; c <= NrCols; ++c) {
        if (!Plain || c > 1)
          out += ' ';
        if (Plain) {
          const auto res = std::to_chars(buf, buf + sizeof buf, dist(gen), std::chars_format::general, 6);
          out.append(buf, res.ptr);
        } else if ((r * 31 + c) % 997 == 0) {
          out += "NAN";
        } else if ((r * 17 + c) % 991 == 0) {
          out += "###";
        } else {
          const auto res = std::to_chars(buf, buf + sizeof buf, dist(gen), std::chars_format::general, 6);
          out.append(buf, res.ptr);
        }
      }
      out += '\n';
      if (out.size() > (1 << 20)) {
        std::fwrite(out.data(), 1, out.size(), f);
        out.clear();
      }
    }
    std::fwrite(out.data(), 1, out.size(), f);
    std::fclose(f);
    return path.string();
  }

  fs::path FDir;
  std::string F100k, F1M, FPlain100k, FPlain1M;
};

TBenchFiles Files;

// range(0): rows; range(1): 1 for the plain file; range(2): 1 for the reference reader.
void BM_ReadASCFile(benchmark::State& State)
{
  const int rows = static_cast<int>(State.range(0));
  const std::string& file = Files.File(rows, State.range(1) != 0);
  const auto bytes = static_cast<std::int64_t>(fs::file_size(file));
  TASCReadOptions options;
  options.Direct = State.range(2) == 0;
  TDataTable table;
  TCustomData custom;
  for (auto _ : State) {
    const int code = ReadASCFileWith(table, file, custom, options);
    if (code != ascOK || table.NrOfRows() != rows)
      State.SkipWithError("read failed");
    benchmark::DoNotOptimize(table.Elem(NrCols, rows));
  }
  State.SetBytesProcessed(State.iterations() * bytes);
  State.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
  State.counters["MB/s"] =
      benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadASCFile)
    ->ArgNames({"rows", "plain", "reference"})
    ->Args({100000, 1, 0})
    ->Args({100000, 1, 1})
    ->Args({100000, 0, 0})
    ->Args({100000, 0, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_ReadASCFile)
    ->ArgNames({"rows", "plain", "reference"})
    ->Args({1000000, 1, 0})
    ->Args({1000000, 1, 1})
    ->Args({1000000, 0, 0})
    ->Args({1000000, 0, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// One plain pass over a file: read in 1 MiB blocks and summed, nothing parsed.
// Baseline: the same bytes read in 1 MiB blocks and summed, nothing parsed.
void BM_RawRead(benchmark::State& State)
{
  const int rows = static_cast<int>(State.range(0));
  const std::string& file = Files.File(rows, State.range(1) != 0);
  const auto bytes = static_cast<std::int64_t>(fs::file_size(file));
  std::vector<unsigned char> buffer(1 << 20);
  for (auto _ : State)
    RawPass(file, buffer);
  State.SetBytesProcessed(State.iterations() * bytes);
  State.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
  State.counters["MB/s"] =
      benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RawRead)->ArgNames({"rows", "plain"})->Args({100000, 1})->Args({100000, 0})->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RawRead)->ArgNames({"rows", "plain"})->Args({1000000, 1})->Args({1000000, 0})->Unit(benchmark::kMillisecond)->Iterations(3);

// Same-run ratios on the plain file: in every iteration one raw read (baseline), the reference
// block reader, and LoadFromASCFile's path on one and on two threads, each timed on its own;
// the counters give the best time of each in ms and the ratios of the best times (raw / x: the
// reader's speed as a share of a raw read; ref / x: how many times faster than the reference).
void BM_ReadASCRatios(benchmark::State& State)
{
  const int rows = static_cast<int>(State.range(0));
  const std::string& file = Files.File(rows, true);
  const auto bytes = static_cast<double>(fs::file_size(file));
  std::vector<unsigned char> buffer(1 << 20);
  const auto raw = [&] { RawPass(file, buffer); };
  const auto read = [&](bool Direct, int Threads) {
    TASCReadOptions options;
    options.Direct = Direct;
    options.Threads = Threads;
    TDataTable table;
    TCustomData custom;
    if (ReadASCFileWith(table, file, custom, options) != ascOK || table.NrOfRows() != rows)
      State.SkipWithError("read failed");
  };
  double best[4] = {1e9, 1e9, 1e9, 1e9};
  for (auto _ : State) {
    best[0] = std::min(best[0], SecondsOf(raw));
    best[1] = std::min(best[1], SecondsOf([&] { read(false, 1); }));
    best[2] = std::min(best[2], SecondsOf([&] { read(true, 1); }));
    best[3] = std::min(best[3], SecondsOf([&] { read(true, 2); }));
  }
  const char* names[4] = {"raw", "reference", "1thread", "2threads"};
  for (int k = 0; k < 4; ++k)
    State.counters[std::string(names[k]) + "_ms"] = best[k] * 1e3;
  for (int k = 1; k < 4; ++k)
    State.counters[std::string("raw/") + names[k]] = best[0] / best[k];
  State.counters["ref/1thread"] = best[1] / best[2];
  State.counters["ref/2threads"] = best[1] / best[3];
  State.counters["2threads_MB/s"] = bytes / 1e6 / best[3];
  State.counters["2threads_rows/s"] = rows / best[3];
}
BENCHMARK(BM_ReadASCRatios)->ArgName("rows")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Sorting 100,000 rows of a string array by a text column (keys computed once per row).
void BM_StringArraySort(benchmark::State& State)
{
  const int rows = static_cast<int>(State.range(0));
  std::mt19937 gen(7);
  std::uniform_int_distribution<int> letter('a', 'z');
  for (auto _ : State) {
    State.PauseTiming();
    TStringArray a;
    a.Resize(2, rows);
    for (int r = 1; r <= rows; ++r) {
      std::string s(8, ' ');
      for (char& ch : s)
        ch = static_cast<char>(letter(gen));
      a.SetElem(1, r, s);
    }
    State.ResumeTiming();
    a.Sort(1, 0, true);
    benchmark::DoNotOptimize(a.RowIndex(1));
  }
  State.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_StringArraySort)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
