# kbench.exe: Kelvo's own grab, conversion, file and paint paths timed
# inside a Windows process (see bench/kbench.cpp), linked from the same
# objects as kelvo.exe, without its entry point.
add_executable(kbench ${CMAKE_CURRENT_LIST_DIR}/kbench.cpp $<TARGET_OBJECTS:kelvo_glue>)
target_link_libraries(kbench PRIVATE kelvo_core ${KELVO_SYSTEM_LIBRARIES})
