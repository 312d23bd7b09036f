// Speed of the ASC reader on files of 100,000 and 1,000,000 rows of 20 values, written at the
// start with 6 significant digits (with a row attribute and a row name, and a few "NAN" and
// "###" cells). The baseline in the same run is one plain pass over the same bytes (block reads
// plus a byte sum), so reader/baseline reads as "cost of one raw read". Also the sort of a
// TStringArray.
#include "orvex_datatable.h"
#include "orvex_dstruct.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
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
  const std::string& File(int Rows)
  {
    auto& name = Rows == 100000 ? F100k : F1M;
    if (name.empty())
      name = Write(Rows);
    return name;
  }

private:
  std::string Write(int Rows)
  {
    if (FDir.empty()) {
      FDir = fs::temp_directory_path() / ("orvex_bench_data_" + std::to_string(std::random_device{}()));
      fs::create_directories(FDir);
    }
    const fs::path path = FDir / ("rows" + std::to_string(Rows) + ".asc");
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    std::string out = "Benchmark data\n" + std::to_string(NrCols) + "\n" + std::to_string(Rows) +
                      "\nTRUE TRUE TRUE FALSE\n";
    for (int c = 1; c <= NrCols; ++c)
      out += "V" + std::to_string(c) + (c == NrCols ? "\n" : " ");
    std::mt19937_64 gen(42);
    std::normal_distribution<double> dist(100.0, 40.0);
    char buf[64];
    for (int r = 1; r <= Rows; ++r) {
      out += std::to_string(r % 5) + " R" + std::to_string(r);
      for (int c = 1; c <= NrCols; ++c) {
        out += ' ';
        if ((r * 31 + c) % 997 == 0) {
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
  std::string F100k;
  std::string F1M;
};

TBenchFiles Files;

void BM_ReadASCFile(benchmark::State& State)
{
  const int rows = static_cast<int>(State.range(0));
  const std::string& file = Files.File(rows);
  const auto bytes = static_cast<std::int64_t>(fs::file_size(file));
  TDataTable table;
  for (auto _ : State) {
    const int code = table.LoadFromASCFile(file);
    if (code != ascOK || table.NrOfRows() != rows)
      State.SkipWithError("read failed");
    benchmark::DoNotOptimize(table.Elem(NrCols, rows));
  }
  State.SetBytesProcessed(State.iterations() * bytes);
  State.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
  State.counters["MB/s"] =
      benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadASCFile)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadASCFile)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Baseline: the same bytes read in 1 MiB blocks and summed, nothing parsed.
void BM_RawRead(benchmark::State& State)
{
  const int rows = static_cast<int>(State.range(0));
  const std::string& file = Files.File(rows);
  const auto bytes = static_cast<std::int64_t>(fs::file_size(file));
  std::vector<unsigned char> buffer(1 << 20);
  for (auto _ : State) {
    std::FILE* f = std::fopen(file.c_str(), "rb");
    std::uint64_t sum = 0;
    std::size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0)
      for (std::size_t i = 0; i < n; ++i)
        sum += buffer[i];
    std::fclose(f);
    benchmark::DoNotOptimize(sum);
  }
  State.SetBytesProcessed(State.iterations() * bytes);
  State.counters["rows/s"] = benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
  State.counters["MB/s"] =
      benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RawRead)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RawRead)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

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
