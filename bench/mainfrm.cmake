# The main window's role click (run, both charts, memo) against the run alone on the same table.
orvex_add_qt_bench(bench_mainfrm SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_mainfrm.cpp LIBS mainfrm)
# The event loop's longest wait while a 160 MB file loads, in the background and on the GUI thread.
orvex_add_qt_bench(bench_mainfrm_load SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_mainfrm_load.cpp LIBS mainfrm)
# Hover and click-to-select on the fit chart of 1,000,000 objects, against the hit test and the
# repaint alone.
orvex_add_qt_bench(bench_interact SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_interact.cpp LIBS mainfrm)
