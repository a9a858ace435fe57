# The Windows programs: kelvo.exe, hook.dll and their companions.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX STRICT)
add_compile_options(-Wall -Wextra -Wno-cast-function-type)
# No DLLs beyond the system's: the C and C++ runtimes go into each module.
add_link_options(-static -static-libgcc -static-libstdc++)

add_library(kelvo_core STATIC ${KELVO_PORTABLE_SOURCES})
target_include_directories(kelvo_core PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(kelvo_core PUBLIC kelvo_deflate)

set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
# Everything of the program but its entry point, compiled once for
# kelvo.exe and the benchmark program that times the same code.
set(KELVO_GLUE_SOURCES ${KELVO_WIN32_SOURCES})
list(FILTER KELVO_GLUE_SOURCES EXCLUDE REGEX "/app/main\\.cpp$")
add_library(kelvo_glue OBJECT ${KELVO_GLUE_SOURCES} res/kelvo.rc)
target_include_directories(kelvo_glue PUBLIC ${CMAKE_SOURCE_DIR})
# The resource compiler does not report the images it embeds.
file(GLOB KELVO_RES_IMAGES ${CMAKE_SOURCE_DIR}/res/*.ico ${CMAKE_SOURCE_DIR}/res/*.cur
     ${CMAKE_SOURCE_DIR}/res/*.bmp ${CMAKE_SOURCE_DIR}/res/*.manifest ${CMAKE_SOURCE_DIR}/res/resource.h)
set_source_files_properties(res/kelvo.rc PROPERTIES OBJECT_DEPENDS "${KELVO_RES_IMAGES}")
set(KELVO_SYSTEM_LIBRARIES user32 gdi32 comctl32 comdlg32 shell32 shlwapi ole32 uuid advapi32 imm32)

add_executable(kelvo WIN32 app/main.cpp $<TARGET_OBJECTS:kelvo_glue>)
target_link_libraries(kelvo PRIVATE kelvo_core ${KELVO_SYSTEM_LIBRARIES})
# The functions kelvo.exe exports by name (decorated on i686, plain on x86_64).
# CMake passes .def sources to the linker for libraries only, so the file
# goes straight to the linker.
set(KELVO_EXPORTS_DEF ${CMAKE_SOURCE_DIR}/picture/kelvo_${CMAKE_SYSTEM_PROCESSOR}.def)
target_link_options(kelvo PRIVATE ${KELVO_EXPORTS_DEF})
set_property(TARGET kelvo APPEND PROPERTY LINK_DEPENDS ${KELVO_EXPORTS_DEF})

# The user guide as a web page beside the program, where help opens it.
set(KELVO_HELP_PAGE ${CMAKE_BINARY_DIR}/bin/kelvo-help.html)
add_custom_command(OUTPUT ${KELVO_HELP_PAGE}
  COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/scripts/help_page.py ${CMAKE_SOURCE_DIR}
          ${KELVO_HELP_PAGE}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/help_page.py ${CMAKE_SOURCE_DIR}/docs/README-ja.txt
          ${CMAKE_SOURCE_DIR}/res/kelvo.rc
  COMMENT "kelvo-help.html")
add_custom_target(kelvo_help ALL DEPENDS ${KELVO_HELP_PAGE})

include(hook/hook.cmake)
include(spihost/spihost.cmake)
include(tests/wine/driver/driver.cmake)
include(plugins/plugins.cmake OPTIONAL)
include(tools/tools.cmake OPTIONAL)
include(bench/kbench.cmake)
