# The table editor benchmark needs a QApplication before any widget exists, so it brings its own
# main() and links the benchmark library without benchmark_main.
add_executable(bench_ntabed ${CMAKE_CURRENT_SOURCE_DIR}/bench_ntabed.cpp)
target_link_libraries(bench_ntabed PRIVATE widgets Qt6::Widgets benchmark::benchmark)
