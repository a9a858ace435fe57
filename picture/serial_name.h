// Names of serially numbered output files: the base name (output folder
// and file prefix) and "<base><number>.BMP", plus a bounded "%s" filler
// for the texts that show such a name. Everything writes into the
// caller's buffer of a given capacity (terminator included), never past
// it; a result that does not fit is refused, leaving an empty string, so
// a cut name is never used as a file name.
//
// Texts are byte strings in the ANSI code page and are copied as they
// stand. Only the trailing-backslash test needs to know the code page:
// in Shift-JIS (code page 932) the second byte of a double-byte character
// may be 0x5C, the byte of a backslash.
#pragma once
#include <cstddef>
#include <cstdint>

// True for a byte that starts a double-byte character in code page 932.
bool IsShiftJisLeadByte(uint8_t byte);

// True when the last character of text is a backslash. With shiftJis the
// text is walked character by character, so a double-byte character that
// ends in 0x5C does not count; without it (single-byte code pages, UTF-8)
// a final 0x5C byte is a backslash.
bool EndsWithBackslash(const char* text, bool shiftJis);

// Base name: folder, a backslash unless the folder already ends with one
// (an empty folder gives just "\"), then prefix. False when it does not
// fit in outCapacity.
bool ComposeSerialBaseName(const char* folder, const char* prefix, bool shiftJis,
                           char* out, size_t outCapacity);

// File name "%s%04d.BMP": the base name, the number with at least four
// digits (0001..9999, then 10000..65535; 0 gives 0000), ".BMP". False
// when it does not fit in outCapacity.
bool FormatSerialFileName(const char* baseName, uint16_t number, char* out, size_t outCapacity);

// Copies pattern to out with every "%s" replaced by text and "%%" by "%";
// any other character, a lone "%" included, is copied unchanged. False
// when the result does not fit in outCapacity.
bool FormatWithText(const char* pattern, const char* text, char* out, size_t outCapacity);
