# Drawing through TCanvas against the same work done with QPainter directly (the baseline), on an
# offscreen image.
orvex_add_qt_bench(bench_canvas SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_canvas.cpp LIBS chart toolkit)
