orvex_add_bench(bench_data SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_data.cpp LIBS data)
orvex_add_bench(bench_delimited SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_delimited.cpp LIBS data numlib)
# The benchmark CSV for scripts/bench-delimited.sh; not a benchmark itself.
add_executable(gen_bench_csv ${CMAKE_CURRENT_SOURCE_DIR}/gen_bench_csv.cpp)
set_target_properties(gen_bench_csv PROPERTIES AUTOMOC OFF)
# Timing of the atomic save for scripts/bench-save.sh; not a benchmark itself.
add_executable(time_save ${CMAKE_CURRENT_SOURCE_DIR}/time_save.cpp)
target_link_libraries(time_save PRIVATE data)
set_target_properties(time_save PROPERTIES AUTOMOC OFF)
# The workbook and statistics-package readers against the CSV of the same data.
orvex_add_bench(bench_sheets SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_sheets.cpp LIBS data numlib)
find_path(BENCH_READSTAT_INCLUDE_DIR readstat.h REQUIRED)
target_include_directories(bench_sheets PRIVATE ${BENCH_READSTAT_INCLUDE_DIR})
target_link_libraries(bench_sheets PRIVATE ${READSTAT_LIBRARY})
