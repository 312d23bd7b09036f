# The grid benchmark needs a QApplication before any widget exists, so it brings its own main()
# and links the benchmark library without benchmark_main.
add_executable(bench_grid ${CMAKE_CURRENT_SOURCE_DIR}/bench_grid.cpp)
target_link_libraries(bench_grid PRIVATE toolkit Qt6::Widgets benchmark::benchmark)
