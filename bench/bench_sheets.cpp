// Speed of the workbook and statistics-package readers on a 100,000 x 20 table of numbers
// (normally distributed, 6 significant digits, bench_csv.h's generator): the same data as CSV
// (the baseline, through the delimited reader on two threads), as an xlsx sheet (written by our
// WriteXlsxFile) and as an SPSS .sav file (written through ReadStat's writer), each read whole
// into a table builder. Every iteration times all three, so the ratios come from one run; the
// counters give the median in ms, the slowest run and the ratio to the CSV.
#include "bench_baseline.h"
#include "bench_csv.h"
#include "orvex_datatable.h"
#include "orvex_math2.h"
#include "orvex_tablefile.h"
#include "orvex_xlsx_write.h"

#include <benchmark/benchmark.h>
#include <readstat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

using namespace orvex;
namespace fs = std::filesystem;

namespace {

constexpr int Rows = 100000;
constexpr int Cols = 20;

struct TFiles {
  fs::path Dir;
  std::string Csv, Xlsx, Sav;
  TFiles() : Dir(fs::temp_directory_path() / ("orvex_bench_sheets_" + std::to_string(std::random_device{}())))
  {
    fs::create_directories(Dir);
    // The CSV of 21 columns; its first column is dropped, and the 20 left make every file.
    const std::string csv21 = (Dir / "all.csv").string();
    WriteBenchCsv(csv21, Rows);
    TTableBuilder b;
    ReadTableFile(csv21, {}, b);
    TDataTable t;
    t.Adopt(std::move(b));
    t.DeleteColumn(1);
    Csv = (Dir / "data.csv").string();
    std::FILE* f = std::fopen(Csv.c_str(), "wb");
    for (int c = 1; c <= Cols; ++c)
      std::fprintf(f, c < Cols ? "%s," : "%s\n", t.ColName(c).c_str());
    for (int r = 1; r <= Rows; ++r)
      for (int c = 1; c <= Cols; ++c)
        std::fprintf(f, c < Cols ? "%.6g," : "%.6g\n", t.Elem(c, r));
    std::fclose(f);
    Xlsx = (Dir / "data.xlsx").string();
    WriteXlsxFile(t, Xlsx);
    Sav = (Dir / "data.sav").string();
    WriteSav(t, Sav);
  }
  ~TFiles()
  {
    std::error_code ec;
    fs::remove_all(Dir, ec);
  }
  static void WriteSav(const TDataTable& T, const std::string& Name)
  {
    std::FILE* f = std::fopen(Name.c_str(), "wb");
    readstat_writer_t* w = readstat_writer_init();
    readstat_set_data_writer(w, [](const void* Data, size_t Len, void* Ctx) -> ssize_t {
      return static_cast<ssize_t>(std::fwrite(Data, 1, Len, static_cast<std::FILE*>(Ctx)));
    });
    std::vector<readstat_variable_t*> vars;
    for (int c = 1; c <= T.NrOfColumns(); ++c)
      vars.push_back(readstat_add_variable(w, T.ColName(c).c_str(), READSTAT_TYPE_DOUBLE, 0));
    readstat_begin_writing_sav(w, f, T.NrOfRows());
    for (int r = 1; r <= T.NrOfRows(); ++r) {
      readstat_begin_row(w);
      for (int c = 1; c <= T.NrOfColumns(); ++c)
        readstat_insert_double_value(w, vars[static_cast<std::size_t>(c - 1)], T.Elem(c, r));
      readstat_end_row(w);
    }
    readstat_end_writing(w);
    readstat_writer_free(w);
    std::fclose(f);
  }
};

void BM_ReadSheets(benchmark::State& State)
{
  static const TFiles files;
  SetMathThreadCount(2);
  std::vector<double> times[3];
  const std::string* names[3] = {&files.Csv, &files.Xlsx, &files.Sav};
  for (auto _ : State)
    for (int k = 0; k < 3; ++k)
      times[k].push_back(SecondsOf([&] {
        TTableBuilder b;
        const TTableFileResult r = ReadTableFile(*names[k], {}, b);
        if (!r.Ok() || b.NrOfRows() != Rows || b.NrOfColumns() != Cols)
          State.SkipWithError(("read failed: " + r.Message).c_str());
      }));
  SetMathThreadCount(0);
  const char* labels[3] = {"csv", "xlsx", "sav"};
  double median[3];
  for (int k = 0; k < 3; ++k) {
    std::sort(times[k].begin(), times[k].end());
    median[k] = times[k][times[k].size() / 2];
    State.counters[std::string(labels[k]) + "_ms"] = median[k] * 1e3;
    State.counters[std::string(labels[k]) + "_slowest_ms"] = times[k].back() * 1e3;
  }
  State.counters["xlsx/csv"] = median[1] / median[0];
  State.counters["sav/csv"] = median[2] / median[0];
  State.counters["xlsx_MB"] = static_cast<double>(fs::file_size(files.Xlsx)) / 1e6;
  State.counters["sav_MB"] = static_cast<double>(fs::file_size(files.Sav)) / 1e6;
}
BENCHMARK(BM_ReadSheets)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
