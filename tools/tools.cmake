# Companion programs, built for both Windows targets with Kelvo.
# kelvodde.exe: the command-line client of Kelvo's DDE service.
add_executable(kelvodde ${CMAKE_CURRENT_LIST_DIR}/kelvodde/kelvodde.cpp)
target_link_libraries(kelvodde PRIVATE user32)
