# Image plug-ins that ship with Kelvo, built next to kelvo.exe in bin/:
#   ifstb.spi  PNG, JPEG, GIF, TGA, PSD and PNM through stb_image.
# Included from the Windows builds; the test plug-ins come along.
add_library(ifstb SHARED ${CMAKE_CURRENT_LIST_DIR}/stbimage/ifstb.cpp)
set_target_properties(ifstb PROPERTIES PREFIX "" OUTPUT_NAME ifstb SUFFIX ".spi")
target_link_libraries(ifstb PRIVATE kelvo_core)
# Hosts look the entry points up by their plain names; on i686 the
# standard-call decoration (@n) is dropped from the export table.
target_link_options(ifstb PRIVATE -Wl,--kill-at)

include(${CMAKE_SOURCE_DIR}/tests/plugins/test_plugins.cmake OPTIONAL)
