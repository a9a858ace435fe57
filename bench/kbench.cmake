# kbench.exe: Kelvo's own grab, conversion, file and paint paths timed
# inside a Windows process (see bench/kbench.cpp), linked from the same
# objects as kelvo.exe, without its entry point.
# The plug-in table comes along for timing plug-ins inside the process.
add_executable(kbench ${CMAKE_CURRENT_LIST_DIR}/kbench.cpp $<TARGET_OBJECTS:kelvo_glue>
  ${CMAKE_SOURCE_DIR}/spihost/plugin_table.cpp)
target_link_libraries(kbench PRIVATE kelvo_core ${KELVO_SYSTEM_LIBRARIES} psapi)
# kempty.exe: an empty Win32 program with one window, Wine's own share of a
# start and of the memory.
add_executable(kempty WIN32 ${CMAKE_CURRENT_LIST_DIR}/empty_window.cpp)
target_link_options(kempty PRIVATE -municode)
