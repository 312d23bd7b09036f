# The regression run on a large table, and mlrreport end to end as a process.
orvex_add_bench(bench_app SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_app.cpp LIBS mlrcore)
target_compile_definitions(bench_app PRIVATE MLRREPORT_PATH="$<TARGET_FILE:mlrreport>")
add_dependencies(bench_app mlrreport)
