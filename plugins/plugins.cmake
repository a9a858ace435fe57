# Image plug-ins that ship with Kelvo, built next to kelvo.exe in bin/:
#   ifstb.sph (64-bit) / ifstb.spi (32-bit)  PNG, JPEG, GIF, TGA, PSD and
#   PNM through stb_image; 64-bit plug-ins of the interface are named .sph.
# Included from the Windows builds; the test plug-ins come along.
add_library(ifstb SHARED ${CMAKE_CURRENT_LIST_DIR}/stbimage/ifstb.cpp)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(KELVO_PLUGIN_SUFFIX ".sph")
else()
  set(KELVO_PLUGIN_SUFFIX ".spi")
endif()
set_target_properties(ifstb PROPERTIES PREFIX "" OUTPUT_NAME ifstb SUFFIX ${KELVO_PLUGIN_SUFFIX})
target_link_libraries(ifstb PRIVATE kelvo_core)
# Hosts look the entry points up by their plain names; on i686 the
# standard-call decoration (@n) is dropped from the export table.
target_link_options(ifstb PRIVATE -Wl,--kill-at)

include(${CMAKE_SOURCE_DIR}/tests/plugins/test_plugins.cmake OPTIONAL)
