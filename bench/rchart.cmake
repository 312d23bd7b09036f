# The chart's full paint and plot-only refresh with many marks, against painting the empty chart
# in the same run.
orvex_add_qt_bench(bench_rchart SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_rchart.cpp LIBS chart toolkit)
