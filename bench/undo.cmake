# Undo and redo of a 1,000,000-cell paste in the window's history, against the paste and a plain
# swap of the same cells.
orvex_add_qt_bench(bench_undo SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_undo.cpp LIBS mainfrm)
