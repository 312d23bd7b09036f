# Painting cost of the report list against its row count. Needs a QApplication, so it brings
# its own main().
add_executable(bench_replist ${CMAKE_CURRENT_SOURCE_DIR}/bench_replist.cpp)
target_link_libraries(bench_replist PRIVATE widgets Qt6::Widgets benchmark::benchmark)
