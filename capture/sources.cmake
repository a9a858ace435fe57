# Capture: grab, picking, rectangle window, fixed range, snapshot, keys.
list(APPEND KELVO_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/corners.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture_key_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/snapshot_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drag_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fixed_range_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/window_frame_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cursor_rules.cpp
)
list(APPEND KELVO_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/grab.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pick.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rect_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fixed_range.cpp
  ${CMAKE_CURRENT_LIST_DIR}/snapshot.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture_key.cpp
  ${CMAKE_CURRENT_LIST_DIR}/capture_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/visible_frame.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pointer_overlay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/last_region.cpp
)
include(${CMAKE_CURRENT_LIST_DIR}/still/sources.cmake)
