# libFuzzer targets of the portable code, built with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer. The test run runs each briefly; longer runs:
#   scripts/fuzz.sh SECONDS [target...]
find_program(KELVO_CLANGXX NAMES clang++ clang++-14)
if(NOT KELVO_CLANGXX)
  message(WARNING "clang++ not found: fuzz targets are not built")
  return()
endif()

set(KELVO_FUZZ_DIR ${CMAKE_BINARY_DIR}/fuzz)
set(KELVO_FUZZ_FLAGS -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined
    -fno-sanitize-recover=undefined -I${CMAKE_SOURCE_DIR})
file(MAKE_DIRECTORY ${KELVO_FUZZ_DIR})

# name: sources beside the target file
set(KELVO_FUZZ_TARGETS bmp_reader rle_decode rle_roundtrip names prtinfo dde_command)
set(KELVO_FUZZ_SOURCES_bmp_reader picture/bmp_reader.cpp picture/rle.cpp picture/dib_rules.cpp)
set(KELVO_FUZZ_SOURCES_rle_decode picture/rle.cpp picture/dib_rules.cpp)
set(KELVO_FUZZ_SOURCES_rle_roundtrip picture/rle.cpp picture/dib_rules.cpp)
set(KELVO_FUZZ_SOURCES_names app/title_text.cpp picture/serial_name.cpp)
set(KELVO_FUZZ_SOURCES_prtinfo print/prtinfo.cpp)
set(KELVO_FUZZ_SOURCES_dde_command print/dde_command.cpp)

# Seconds each target runs in the test run.
set(KELVO_FUZZ_SECONDS 12 CACHE STRING "seconds per fuzz target in ctest")

foreach(name ${KELVO_FUZZ_TARGETS})
  set(sources)
  foreach(s ${KELVO_FUZZ_SOURCES_${name}})
    list(APPEND sources ${CMAKE_SOURCE_DIR}/${s})
  endforeach()
  set(exe ${KELVO_FUZZ_DIR}/fuzz_${name})
  add_custom_command(OUTPUT ${exe}
    COMMAND ${KELVO_CLANGXX} ${KELVO_FUZZ_FLAGS} ${CMAKE_CURRENT_LIST_DIR}/fuzz_${name}.cpp
            ${sources} -o ${exe}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/fuzz_${name}.cpp ${sources}
    COMMENT "fuzz target ${name}")
  add_custom_target(fuzz_${name} ALL DEPENDS ${exe})
  # A fresh working corpus each run, seeded from the committed seeds.
  add_test(NAME fuzz.${name}
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_fuzzer.sh ${exe} ${CMAKE_SOURCE_DIR} ${name}
            ${KELVO_FUZZ_DIR}/work-${name} ${KELVO_FUZZ_SECONDS})
  set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 300)
endforeach()
