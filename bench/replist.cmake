# Painting cost of the report list against its row count.
orvex_add_qt_bench(bench_replist SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_replist.cpp LIBS widgets)
