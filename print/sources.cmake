# Printing and DDE: print job, printer settings, scale and preview, DDE.
list(APPEND KELVO_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/dde_command.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/prtinfo.cpp
)
list(APPEND KELVO_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/print_job.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scale_preview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/printer_settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dde_service.cpp
)
