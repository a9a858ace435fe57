# Image plug-ins that ship with Kelvo: the portable decoding behind
# ifstb.spi (Debian's stb_image, package libstb-dev). The plug-in modules
# themselves are built by plugins.cmake in the Windows builds.
set(KELVO_STB_INCLUDE_DIR /usr/include/stb CACHE PATH "Folder holding stb_image.h")
if(NOT EXISTS ${KELVO_STB_INCLUDE_DIR}/stb_image.h)
  message(FATAL_ERROR "stb_image.h not in ${KELVO_STB_INCLUDE_DIR}: install libstb-dev")
endif()
list(APPEND KELVO_PORTABLE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/stbimage/stb_decode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stbimage/stb_image_impl.cpp
)
# Only the stb folder, never all of /usr/include: the cross compilers
# must keep their own C headers.
set_source_files_properties(
  ${CMAKE_CURRENT_LIST_DIR}/stbimage/stb_decode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stbimage/stb_image_impl.cpp
  PROPERTIES INCLUDE_DIRECTORIES ${KELVO_STB_INCLUDE_DIR})
# Third-party code: its warnings are not ours to fix.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/stbimage/stb_image_impl.cpp
  PROPERTIES COMPILE_OPTIONS -w)
