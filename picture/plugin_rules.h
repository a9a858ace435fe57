// Rules of the image plug-in manager that compute something: the search
// pattern for plug-in modules in one directory, and the check that a
// picture handed back by a plug-in is what its header says it is before
// the platform is given it.
#pragma once
#include <cstddef>
#include <cstdint>

// Capacity of the buffers the directory names and the pattern are built
// in, terminator included.
constexpr size_t kPluginPathBuffer = 256;

// "<directory>\*.spi" into out (capacity outCapacity, terminator
// included); no second backslash after a directory that already ends in
// one (a drive root). False, with out empty, when the directory is empty
// or the pattern does not fit: such a directory is not searched, rather
// than searched under a cut name.
bool ComposePluginPattern(const char* directory, bool shiftJis, char* out, size_t outCapacity);

enum class PluginDibStatus {
    kOk,
    kNoHeader,       // the format block is shorter than an info header
    kBadHeader,      // header size, planes, width or height impossible
    kUnsupported,    // a depth or compression the program does not show
    kTooLarge,       // beyond the limits below
    kTableMissing,   // colour table or bit-field masks past the format block
    kBitsMissing,    // the bits block is shorter than the picture
};

// Largest width and height taken from a plug-in, and largest image.
constexpr uint32_t kPluginMaxDimension = 65535;
constexpr uint64_t kPluginMaxImageBytes = 512ull * 1024 * 1024;

// Checks a plug-in's picture: format (an info header of biSize bytes, at
// least 40, then its colour table, or the three masks of a 40-byte
// bit-field header) in a block of formatSize bytes, and bits in a block of
// bitsSize bytes. Accepted: 1, 4, 8, 16, 24 and 32 bits, uncompressed or
// bit fields (16 and 32 bits), RLE8 and RLE4 (bottom-up, with a stored
// size that fits the bits block); bottom-up or top-down; planes 1.
PluginDibStatus CheckPluginDib(const uint8_t* format, size_t formatSize, size_t bitsSize);
