# Resource check (native build): compiles kelvo.rc with both Windows
# resource compilers into the build tree and compares the result with the
# strings, menus, dialogs, cursors, icon, toolbar strip and version record
# the program relies on, and makes sure the committed images are the ones
# make_images.py draws.
if(DEFINED BUILD_TESTING AND NOT BUILD_TESTING)
  return()
endif()

# Debian's interpreter; the checker needs nothing beyond the standard library.
set(KELVO_RES_PYTHON /usr/bin/python3 CACHE FILEPATH "Python used by the resource check")
find_program(KELVO_WINDRES_X86_64 x86_64-w64-mingw32-windres REQUIRED)
find_program(KELVO_WINDRES_I686 i686-w64-mingw32-windres REQUIRED)

add_test(NAME res.check
  COMMAND ${KELVO_RES_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/check_resources.py
    --rc ${CMAKE_CURRENT_LIST_DIR}/kelvo.rc
    --out ${CMAKE_BINARY_DIR}/res
    --windres ${KELVO_WINDRES_X86_64}
    --windres ${KELVO_WINDRES_I686}
    --images-script ${CMAKE_CURRENT_LIST_DIR}/make_images.py)

# The application manifest as Windows finds it: read out of the built
# programs of both Windows targets.
foreach(arch ${KELVO_WINDOWS_TARGETS})
  add_test(NAME res.manifest_${arch}
    COMMAND ${KELVO_RES_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/check_manifest.py
      ${CMAKE_BINARY_DIR}/win-${arch}/bin/kelvo.exe
      ${CMAKE_BINARY_DIR}/win-${arch}/bin/kelvodde.exe)
endforeach()
