# Export tables of both Windows builds, read with objdump after they are
# built: kelvo.exe's SPIInit, LoadPicture and SPIEnd (decorated names on
# i686, plain on x86_64; ordinals 1-3) and the bundled plug-in's entry
# points. Included from the native build.
if(NOT BUILD_TESTING)
  return()
endif()
foreach(arch ${KELVO_WINDOWS_TARGETS})
  add_test(NAME plugins.exports_${arch}
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/check_exports.py ${arch}
            ${CMAKE_BINARY_DIR}/win-${arch}/bin)
endforeach()
