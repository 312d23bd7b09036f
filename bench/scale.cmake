# Painting a 400-pixel scale of each walk kind against painting the same scale's background and
# baseline alone.
orvex_add_qt_bench(bench_scale SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_scale.cpp LIBS chart toolkit)
