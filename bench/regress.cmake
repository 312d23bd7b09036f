# The regression run at 1,000,000 x 20 with and without its influence measures and predictions,
# in one run: the diagnostics' cost against the fit's.
orvex_add_bench(bench_regress SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_regress.cpp LIBS mlrcore)
