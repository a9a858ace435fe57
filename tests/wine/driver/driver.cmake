# kdriver.exe: the test driver that runs inside Wine beside Kelvo, and
# kprobe.dll, which it hooks into Kelvo to read menus and scroll bars.
add_executable(kdriver ${CMAKE_CURRENT_LIST_DIR}/kdriver.cpp)
target_link_libraries(kdriver PRIVATE user32 gdi32 advapi32 comctl32 shell32)
add_library(kprobe SHARED ${CMAKE_CURRENT_LIST_DIR}/kprobe.cpp)
set_target_properties(kprobe PROPERTIES PREFIX "" OUTPUT_NAME kprobe)
target_link_libraries(kprobe PRIVATE user32 gdi32 psapi)
