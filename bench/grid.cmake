# Painting, scrolling and mouse-to-cell mapping of the grid base against its row count.
orvex_add_qt_bench(bench_grid SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_grid.cpp LIBS toolkit)
