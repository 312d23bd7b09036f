orvex_add_bench(bench_data SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_data.cpp LIBS data)
