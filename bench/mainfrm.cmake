# The main window's role click (run, both charts, memo) against the run alone on the same table.
# Needs a QApplication, so it brings its own main().
add_executable(bench_mainfrm ${CMAKE_CURRENT_SOURCE_DIR}/bench_mainfrm.cpp)
target_link_libraries(bench_mainfrm PRIVATE mainfrm Qt6::Widgets benchmark::benchmark)
