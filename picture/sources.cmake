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
  ${CMAKE_CURRENT_LIST_DIR}/png_encoder.cpp
)
list(APPEND KELVO_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/capture_dib.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bmp_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/png_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/loading.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plugins.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spi_host.cpp
)
