# Companion programs, built for both Windows targets with Kelvo.
# kelvodde.exe: the command-line client of Kelvo's DDE service.
add_executable(kelvodde ${CMAKE_CURRENT_LIST_DIR}/kelvodde/kelvodde.cpp
                        ${CMAKE_CURRENT_LIST_DIR}/kelvodde/kelvodde.rc)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/kelvodde/kelvodde.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/res/kelvo.manifest)
target_link_libraries(kelvodde PRIVATE user32)
