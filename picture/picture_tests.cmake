# The picture code built once more with AddressSanitizer and
# UndefinedBehaviorSanitizer, running the tests that feed it hostile input:
# every bmpsuite file (whole, cut at every length, randomly damaged) through
# the reader's plan and build, the RLE codec's round trips and random
# streams, and the readers of what the plug-in helper answers. Included
# from the native build.
if(NOT BUILD_TESTING)
  return()
endif()
find_package(GTest REQUIRED)
get_filename_component(KELVO_PICTURE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

set(KELVO_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
add_executable(kelvo_picture_sanitized
  ${KELVO_PICTURE_ROOT}/picture/dib_rules.cpp
  ${KELVO_PICTURE_ROOT}/picture/rle.cpp
  ${KELVO_PICTURE_ROOT}/picture/bmp_file.cpp
  ${KELVO_PICTURE_ROOT}/picture/bmp_reader.cpp
  ${KELVO_PICTURE_ROOT}/picture/serial_name.cpp
  ${KELVO_PICTURE_ROOT}/picture/spi_protocol.cpp
  ${KELVO_PICTURE_ROOT}/tests/unit/rle_test.cpp
  ${KELVO_PICTURE_ROOT}/tests/unit/bmp_reader_test.cpp
  ${KELVO_PICTURE_ROOT}/tests/unit/bmp_file_test.cpp
  ${KELVO_PICTURE_ROOT}/tests/unit/serial_name_test.cpp
  ${KELVO_PICTURE_ROOT}/tests/unit/spi_protocol_test.cpp)
target_include_directories(kelvo_picture_sanitized PRIVATE ${KELVO_PICTURE_ROOT})
target_compile_options(kelvo_picture_sanitized PRIVATE ${KELVO_SANITIZE_FLAGS} -O1 -g)
target_link_options(kelvo_picture_sanitized PRIVATE ${KELVO_SANITIZE_FLAGS})
target_link_libraries(kelvo_picture_sanitized PRIVATE GTest::gtest GTest::gtest_main)
# The RLE coder's plain C++ word code is what the 32-bit build runs; the
# native unit tests run its SSE2 code, this program the plain one.
target_compile_definitions(kelvo_picture_sanitized PRIVATE
  KELVO_BMPSUITE_DIR="${KELVO_PICTURE_ROOT}/tests/fixtures/bmpsuite"
  KELVO_RLE_PORTABLE)

# The comparisons with ImageMagick run in kelvo_unit; here only what
# exercises the code with bad input, so the run stays short.
add_test(NAME unit.corpus_sanitized
  COMMAND kelvo_picture_sanitized
    --gtest_filter=Rle*:BmpReader*:BmpCorpus.BadFiles*:BmpCorpus.Questionable*:BmpCorpus.ResultIs*:BmpFile*:SerialName*:SpiProtocol*)
set_tests_properties(unit.corpus_sanitized PROPERTIES
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1"
  TIMEOUT 600)
