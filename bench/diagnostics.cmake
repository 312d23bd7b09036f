# The four diagnostic charts filled at 100,000 objects, against the fit chart's fill of the same
# objects and the smoother alone, in one run.
orvex_add_qt_bench(bench_diagnostics SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_diagnostics.cpp LIBS mainfrm)
