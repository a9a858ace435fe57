# Application shell: start-up, settings, main window, picture display.
list(APPEND KELVO_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/title_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ansi_rule.cpp
  ${CMAKE_CURRENT_LIST_DIR}/centring.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dpi_scale.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/output_settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scroll.cpp
  ${CMAKE_CURRENT_LIST_DIR}/zoom_fit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/area_scale.cpp
)
list(APPEND KELVO_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/globals.cpp
  ${CMAKE_CURRENT_LIST_DIR}/title.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dpi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mainwnd.cpp
  ${CMAKE_CURRENT_LIST_DIR}/toolbar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/display.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shell_commands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ansi_text.cpp
)
