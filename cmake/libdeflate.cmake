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
#
# Its compressor is built from a copy that can be told to take no match
# shorter than a given length, on the calling thread
# (kelvo_deflate_set_min_match, declared where it is used). libdeflate sets
# its shortest match by how many different byte values the data holds, and
# filtered picture rows hold all 256, so it would take matches of 3 bytes; in
# filtered rows those cost more than the literals they replace (the reason
# zlib has its Z_FILTERED strategy, which libpng uses). The PNG writer asks
# for 6 on filtered rows: on an ordinary desktop a file 3 % smaller at the
# same speed. Unfiltered (indexed) rows keep libdeflate's choice, which suits
# them better.
set(KELVO_DEFLATE_COMPRESS ${CMAKE_BINARY_DIR}/kelvo_deflate/deflate_compress.c)
file(READ ${KELVO_LIBDEFLATE_DIR}/lib/deflate_compress.c KELVO_DEFLATE_SOURCE)
set(KELVO_MIN_LEN_HEAD
    "static unsigned\nchoose_min_match_len(unsigned num_used_literals, unsigned max_search_depth)\n{")
string(FIND "${KELVO_DEFLATE_SOURCE}" "${KELVO_MIN_LEN_HEAD}" KELVO_MIN_LEN_AT)
if(KELVO_MIN_LEN_AT EQUAL -1)
  message(FATAL_ERROR "libdeflate's deflate_compress.c has no choose_min_match_len() to raise the "
                      "shortest match in: this libdeflate is not the one the PNG writer was tuned on")
endif()
# The original, renamed, behind a function of its name that raises what it
# chooses (it has more than one return).
string(REPLACE "${KELVO_MIN_LEN_HEAD}"
       "static _Thread_local unsigned kelvo_min_match;\n\
void kelvo_deflate_set_min_match(unsigned length)\n{\n\tkelvo_min_match = length;\n}\n\n\
static unsigned\nlibdeflate_choose_min_match_len(unsigned, unsigned);\n\
static unsigned\nchoose_min_match_len(unsigned num_used_literals, unsigned max_search_depth)\n{\n\
\treturn MAX(libdeflate_choose_min_match_len(num_used_literals, max_search_depth), kelvo_min_match);\n}\n\n\
static unsigned\nlibdeflate_choose_min_match_len(unsigned num_used_literals, unsigned max_search_depth)\n{"
       KELVO_DEFLATE_SOURCE "${KELVO_DEFLATE_SOURCE}")
# The copy can also leave a stream open, for a picture compressed in bands
# on several threads (kelvo_deflate_compress_open): no block is marked the
# last, and an empty stored block brings the end to a byte boundary, so that
# the next band's own stream can follow it directly.
function(kelvo_deflate_patch what with)
  string(FIND "${KELVO_DEFLATE_SOURCE}" "${what}" KELVO_PATCH_AT)
  if(KELVO_PATCH_AT EQUAL -1)
    message(FATAL_ERROR "libdeflate's deflate_compress.c has no \"${what}\" to leave a stream open "
                        "at: this libdeflate is not the one the PNG writer was written for")
  endif()
  string(REPLACE "${what}" "${with}" KELVO_DEFLATE_SOURCE "${KELVO_DEFLATE_SOURCE}")
  set(KELVO_DEFLATE_SOURCE "${KELVO_DEFLATE_SOURCE}" PARENT_SCOPE)
endfunction()
kelvo_deflate_patch("#include \"deflate_compress.h\"\n"
                    "#include \"deflate_compress.h\"\nstatic _Thread_local int kelvo_open_end;\n")
kelvo_deflate_patch("ADD_BITS(is_final_block, 1);" "ADD_BITS(is_final_block && !kelvo_open_end, 1);")
kelvo_deflate_patch("bfinal = is_final_block;" "bfinal = is_final_block && !kelvo_open_end;")
kelvo_deflate_patch("if (unlikely(in_nbytes <= c->max_passthrough_size))"
                    "if (unlikely(in_nbytes <= c->max_passthrough_size) && !kelvo_open_end)")
kelvo_deflate_patch("\tASSERT(os.bitcount <= 7);\n\tif (os.bitcount)\n\t\t*os.next++ = os.bitbuf;\n"
                    "\tif (kelvo_open_end) {\n\
\t\t/* BFINAL 0 and BTYPE 0 are zero bits; then LEN 0, NLEN 0xFFFF. */\n\
\t\t*os.next++ = os.bitbuf;\n\
\t\tif (os.bitcount > 5)\n\
\t\t\t*os.next++ = 0;\n\
\t\t*os.next++ = 0;\n\
\t\t*os.next++ = 0;\n\
\t\t*os.next++ = 0xFF;\n\
\t\t*os.next++ = 0xFF;\n\
\t\treturn os.next - (u8 *)out;\n\
\t}\n\
\tASSERT(os.bitcount <= 7);\n\tif (os.bitcount)\n\t\t*os.next++ = os.bitbuf;\n")
string(APPEND KELVO_DEFLATE_SOURCE "\n\
size_t kelvo_deflate_compress_open(struct libdeflate_compressor *c, const void *in, size_t in_nbytes,\n\
\t\t\t\t   void *out, size_t out_nbytes_avail)\n\
{\n\
\tsize_t length;\n\n\
\tkelvo_open_end = 1;\n\
\tlength = libdeflate_deflate_compress(c, in, in_nbytes, out, out_nbytes_avail);\n\
\tkelvo_open_end = 0;\n\
\treturn length;\n\
}\n")
file(WRITE ${KELVO_DEFLATE_COMPRESS}.new "${KELVO_DEFLATE_SOURCE}")
file(COPY_FILE ${KELVO_DEFLATE_COMPRESS}.new ${KELVO_DEFLATE_COMPRESS} ONLY_IF_DIFFERENT)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${KELVO_LIBDEFLATE_DIR}/lib/deflate_compress.c)
add_library(kelvo_deflate STATIC
  ${KELVO_DEFLATE_COMPRESS}
  ${KELVO_LIBDEFLATE_DIR}/lib/zlib_compress.c
  ${KELVO_LIBDEFLATE_DIR}/lib/adler32.c
  ${KELVO_LIBDEFLATE_DIR}/lib/crc32.c
  ${KELVO_LIBDEFLATE_DIR}/lib/utils.c
  ${KELVO_LIBDEFLATE_DIR}/lib/x86/cpu_features.c
  ${KELVO_LIBDEFLATE_DIR}/lib/arm/cpu_features.c)
target_include_directories(kelvo_deflate SYSTEM PUBLIC ${KELVO_LIBDEFLATE_DIR})
# The copy's own includes are beside the original.
target_include_directories(kelvo_deflate PRIVATE ${KELVO_LIBDEFLATE_DIR}/lib)
set_target_properties(kelvo_deflate PROPERTIES C_VISIBILITY_PRESET hidden)
target_compile_definitions(kelvo_deflate PRIVATE _ANSI_SOURCE)
# Its own code, its own warnings: the project's -Wall -Wextra are not for it.
target_compile_options(kelvo_deflate PRIVATE -w)
