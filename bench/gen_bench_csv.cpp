// gen_bench_csv FILE [ROWS]: writes the benchmark CSV (bench_csv.h), 1,000,000 rows by default,
// for the side-by-side runs of scripts/bench-delimited.sh.
#include "bench_csv.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
  if (argc < 2) {
    std::fputs("usage: gen_bench_csv FILE [ROWS]\n", stderr);
    return 2;
  }
  const int rows = argc > 2 ? std::atoi(argv[2]) : 1000000;
  return WriteBenchCsv(argv[1], rows) ? 0 : 1;
}
