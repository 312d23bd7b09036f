orvex_add_bench(bench_numlib SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_numlib.cpp LIBS numlib)
