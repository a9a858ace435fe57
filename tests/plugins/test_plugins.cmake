# Test plug-ins for tests/wine/test_plugins.py, and spicall.exe with its
# hook library, which call Kelvo's exported functions inside a running
# Kelvo. Built into test-plugins/, away from bin/, so they never sit next
# to kelvo.exe where a start in that folder would load them.
set(KELVO_TEST_PLUGIN_DIR ${CMAKE_BINARY_DIR}/test-plugins)

function(kelvo_test_plugin name tag kind color)
  add_library(${name} SHARED ${CMAKE_CURRENT_LIST_DIR}/testspi.cpp)
  # The channel's layout, for the plug-in that answers in the helper's place.
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".spi"
    RUNTIME_OUTPUT_DIRECTORY ${KELVO_TEST_PLUGIN_DIR})
  target_compile_definitions(${name} PRIVATE TESTSPI_TAG="${tag}" TESTSPI_KIND_${kind}
    TESTSPI_COLOR=${color})
  target_link_options(${name} PRIVATE -Wl,--kill-at)
endfunction()

kelvo_test_plugin(tspi_a a GOOD 0xFF0000)
kelvo_test_plugin(tspi_b b GOOD 0x00FF00)
kelvo_test_plugin(tspi_fail fail FAIL 0)
kelvo_test_plugin(tspi_nois nois NOIS 0x0000FF)
kelvo_test_plugin(tspi_bad bad GARBAGE 0xFFFF00)

add_library(spiprobe SHARED ${CMAKE_CURRENT_LIST_DIR}/spiprobe.cpp)
set_target_properties(spiprobe PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${KELVO_TEST_PLUGIN_DIR})
target_link_libraries(spiprobe PRIVATE user32 gdi32)
add_executable(spicall ${CMAKE_CURRENT_LIST_DIR}/spicall.cpp)
set_target_properties(spicall PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KELVO_TEST_PLUGIN_DIR})
target_link_libraries(spicall PRIVATE user32)
