# kbench.exe: Kelvo's own grab, conversion, file and paint paths timed
# inside a Windows process (see bench/kbench.cpp). Built from the program's
# sources, without its entry point.
set(KELVO_BENCH_SOURCES ${KELVO_WIN32_SOURCES})
list(FILTER KELVO_BENCH_SOURCES EXCLUDE REGEX "/app/main\\.cpp$")
add_executable(kbench ${CMAKE_CURRENT_LIST_DIR}/kbench.cpp ${KELVO_BENCH_SOURCES} res/kelvo.rc)
target_link_libraries(kbench PRIVATE kelvo_core
  user32 gdi32 comctl32 comdlg32 shell32 shlwapi ole32 advapi32)
