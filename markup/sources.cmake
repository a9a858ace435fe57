# Markup editor: marks drawn into the picture's pixels, the undo stack,
# and the view mapping (portable); the editor's window glue.
list(APPEND KELVO_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/raster.cpp
  ${CMAKE_CURRENT_LIST_DIR}/history.cpp
  ${CMAKE_CURRENT_LIST_DIR}/marks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/view_map.cpp
)
list(APPEND KELVO_WIN32_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/editor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/editor_bar.cpp
)
