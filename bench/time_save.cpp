// time_save IN OUT: reads the table file IN once, then saves it as OUT.csv and as OUT.asc
// through WriteTableFile (the atomic save: write, sync, rename) and prints the wall time of each
// save in seconds, "csv T" and "asc T", for the side-by-side runs of scripts/bench-save.sh.
#include "orvex_datatable.h"
#include "orvex_tablefile.h"
#include "orvex_tablewriter.h"

#include <chrono>
#include <cstdio>
#include <string>

using namespace orvex;

namespace {

double TimeSave(const TDataTable& Table, const std::string& FileName)
{
  TTableWriteOptions options;
  options.Format = FormatForSaving(FileName);
  options.Dialect = DialectForSaving(FileName);
  const auto start = std::chrono::steady_clock::now();
  WriteTableFile(Table, FileName, options);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc < 3) {
    std::fputs("usage: time_save IN OUT\n", stderr);
    return 2;
  }
  try {
    TTableBuilder builder;
    const TTableFileResult read = ReadTableFile(argv[1], TDelimitedDialect(), builder);
    if (!read.Ok()) {
      std::fprintf(stderr, "time_save: %s\n", read.Message.c_str());
      return 1;
    }
    TDataTable table;
    table.Adopt(std::move(builder));
    const std::string out = argv[2];
    const double csv = TimeSave(table, out + ".csv");
    const double asc = TimeSave(table, out + ".asc");
    std::printf("csv %.4f\nasc %.4f\n", csv, asc);
  } catch (const EOrvexError& e) {
    std::fprintf(stderr, "time_save: %s\n", e.what());
    return 1;
  }
  return 0;
}
