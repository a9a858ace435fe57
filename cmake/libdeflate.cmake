# libdeflate (MIT), compiled from Debian's source package that
# scripts/third_party.sh fetches into third_party/build/: the DEFLATE and
# CRC-32 of the PNG writer, in every build (native, x86_64, i686).
file(GLOB KELVO_LIBDEFLATE_HEADER ${CMAKE_SOURCE_DIR}/third_party/build/libdeflate-*/libdeflate.h)
if(NOT KELVO_LIBDEFLATE_HEADER)
  message(FATAL_ERROR "the libdeflate source is missing from third_party/build/: run scripts/setup.sh "
                      "(or scripts/third_party.sh) first")
endif()
list(GET KELVO_LIBDEFLATE_HEADER 0 KELVO_LIBDEFLATE_HEADER)
get_filename_component(KELVO_LIBDEFLATE_DIR ${KELVO_LIBDEFLATE_HEADER} DIRECTORY)
# The compressor, zlib wrapper and CRC-32 with the CPU feature checks they
# dispatch on; the decompressors are not needed (pictures are read by the
# system).
add_library(kelvo_deflate STATIC
  ${KELVO_LIBDEFLATE_DIR}/lib/deflate_compress.c
  ${KELVO_LIBDEFLATE_DIR}/lib/zlib_compress.c
  ${KELVO_LIBDEFLATE_DIR}/lib/adler32.c
  ${KELVO_LIBDEFLATE_DIR}/lib/crc32.c
  ${KELVO_LIBDEFLATE_DIR}/lib/utils.c
  ${KELVO_LIBDEFLATE_DIR}/lib/x86/cpu_features.c
  ${KELVO_LIBDEFLATE_DIR}/lib/arm/cpu_features.c)
target_include_directories(kelvo_deflate SYSTEM PUBLIC ${KELVO_LIBDEFLATE_DIR})
set_target_properties(kelvo_deflate PROPERTIES C_VISIBILITY_PRESET hidden)
target_compile_definitions(kelvo_deflate PRIVATE _ANSI_SOURCE)
# Its own code, its own warnings: the project's -Wall -Wextra are not for it.
target_compile_options(kelvo_deflate PRIVATE -w)
