# Picture data and files: Capture DIB, RLE, BMP writer and reader, plug-ins.
list(APPEND KELVO_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/dib_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bmp_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bmp_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serial_name.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugin_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/load_failure.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spi_protocol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_write_impl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/png_encoder.cpp
)
# Debian's stb_image_write (libstb-dev), found where plugins/sources.cmake
# finds stb_image; only that folder, never all of /usr/include.
set_source_files_properties(
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_write_impl.cpp
  PROPERTIES INCLUDE_DIRECTORIES /usr/include/stb)
# The PNG writer's row filters are written for the vectoriser, which
# GCC runs in full only from -O3.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/png_encoder.cpp PROPERTIES COMPILE_OPTIONS -O3)
# Third-party code: its warnings are not ours to fix.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/jpeg_write_impl.cpp
  PROPERTIES COMPILE_OPTIONS -w)
list(APPEND KELVO_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/capture_dib.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bmp_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bmp_in_rows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/png_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/loading.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugins.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spi_host.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clipboard_formats.cpp
)
