# kdriver.exe: the test driver that runs inside Wine beside Kelvo.
add_executable(kdriver ${CMAKE_CURRENT_LIST_DIR}/kdriver.cpp)
target_link_libraries(kdriver PRIVATE user32 gdi32 advapi32 comctl32)
