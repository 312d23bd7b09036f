# The chart's full paint and plot-only refresh with many marks, against painting the empty chart
# in the same run. Needs a QApplication, so it brings its own main().
add_executable(bench_rchart ${CMAKE_CURRENT_SOURCE_DIR}/bench_rchart.cpp)
target_link_libraries(bench_rchart PRIVATE chart toolkit Qt6::Widgets benchmark::benchmark)
