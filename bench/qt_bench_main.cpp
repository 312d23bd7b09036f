// The entry point of the benchmarks that need a QApplication before any widget or font exists:
// the offscreen platform unless one is set, the heap settings of the window's program, then the
// usual benchmark run.
#include "orvex_bulkalloc.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>

int main(int argc, char** argv)
{
  if (!std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  orvex::KeepFreedMemoryForReuse();
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
