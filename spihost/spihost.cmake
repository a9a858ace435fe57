# kelvo-spihost.exe: the helper process the image plug-ins run in, next to
# kelvo.exe. A windowed program (no console is made for it) that imports
# from kernel32 and the C runtime only, so it starts quickly: ole32, for
# the system's picture codecs, is loaded at the first file that needs
# them (uuid is a static library of GUIDs).
set(KELVO_SPIHOST_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/plugin_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/codec_picture.cpp
  ${CMAKE_SOURCE_DIR}/app/ansi_text.cpp)
add_executable(kelvo-spihost WIN32 ${CMAKE_CURRENT_LIST_DIR}/main.cpp ${KELVO_SPIHOST_SOURCES})
target_link_libraries(kelvo-spihost PRIVATE kelvo_core kernel32 uuid)
