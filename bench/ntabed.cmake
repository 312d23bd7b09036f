# The table editor: painting one screen against the table's size, Copy and Extract from Clipboard
# of a large block against building the same text with plain appends.
orvex_add_qt_bench(bench_ntabed SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_ntabed.cpp LIBS widgets)
