# The main window's role click (run, both charts, memo) against the run alone on the same table.
orvex_add_qt_bench(bench_mainfrm SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_mainfrm.cpp LIBS mainfrm)
