# The native build: portable logic, its tests, and the driver for the two
# Windows builds and the Wine integration tests.
include(CTest)
include(ExternalProject)

add_compile_options(-Wall -Wextra)
add_library(kelvo_core STATIC ${KELVO_PORTABLE_SOURCES})
target_include_directories(kelvo_core PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(kelvo_core PUBLIC kelvo_deflate)

# Both Windows targets are built on every run; only x86_64 can execute here.
set(KELVO_WINDOWS_TARGETS x86_64 i686)
foreach(arch ${KELVO_WINDOWS_TARGETS})
  ExternalProject_Add(win-${arch}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/win-${arch}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/toolchain-${arch}-w64-mingw32.cmake
      -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)
endforeach()
set(KELVO_WIN64_BIN ${CMAKE_BINARY_DIR}/win-x86_64/bin)
set(KELVO_WIN32_BIN ${CMAKE_BINARY_DIR}/win-i686/bin)

if(BUILD_TESTING)
  include(tests/unit/unit.cmake)
  include(res/res.cmake)
  include(tests/wine/wine.cmake)
  include(picture/picture_tests.cmake OPTIONAL)
  include(plugins/plugins_tests.cmake OPTIONAL)
  include(fuzz/fuzz.cmake OPTIONAL)
endif()
include(bench/bench.cmake OPTIONAL)

# cmake --build build --target dist: kelvo-<version>-win64.zip and
# -win32.zip in build/dist/.
add_custom_target(dist
  COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/scripts/make_dist.py ${CMAKE_SOURCE_DIR}
          ${KELVO_WIN64_BIN} ${KELVO_WIN32_BIN} ${CMAKE_BINARY_DIR}/dist
  DEPENDS win-x86_64 win-i686
  COMMENT "distribution zips")
