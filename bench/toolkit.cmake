# Drawing through TCanvas against the same work done with QPainter directly (the baseline), on an
# offscreen image. Needs a QGuiApplication for fonts, so it brings its own main().
add_executable(bench_canvas ${CMAKE_CURRENT_SOURCE_DIR}/bench_canvas.cpp)
target_link_libraries(bench_canvas PRIVATE chart toolkit Qt6::Widgets benchmark::benchmark)
