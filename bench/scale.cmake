# Painting a 400-pixel scale of each walk kind against painting the same scale's background and
# baseline alone. Needs a QApplication for the widget and fonts, so it brings its own main().
add_executable(bench_scale ${CMAKE_CURRENT_SOURCE_DIR}/bench_scale.cpp)
target_link_libraries(bench_scale PRIVATE chart toolkit Qt6::Widgets benchmark::benchmark)
