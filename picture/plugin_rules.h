// Rules of the image plug-in manager that compute something: the extensions
// plug-in modules are searched under, the check that a picture
// handed back by a plug-in is what its header says it is before the
// platform is given it, and the open dialog's pattern of every picture
// the plug-ins read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// File extensions of plug-in modules, in the order they are searched:
// 64-bit builds of the interface are named *.sph and 32-bit builds *.spi.
// A 64-bit program looks for both (a 64-bit module named .spi still
// works; a 32-bit one fails to load and is passed over), a 32-bit program
// for *.spi only.
std::vector<const char*> PluginModuleExtensions(bool sixtyFourBit);

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
// When extent is given and the picture passes, it receives the bytes the
// platform reads: header and colour table (or masks), and pixel bits.
struct PluginDibExtent {
    uint64_t formatBytes;
    uint64_t bitsBytes;
};
PluginDibStatus CheckPluginDib(const uint8_t* format, size_t formatSize, size_t bitsSize,
                               PluginDibExtent* extent = nullptr);

// The open dialog's pattern for every picture Kelvo can open: "*.BMP",
// then the "*.ext" items of the plug-ins' GetPluginInfo pattern strings
// ("*.jpg;*.jpeg") in order, in capitals as the dialog shows "*.BMP", each
// extension once. Items that are not a plain "*.ext" (wild cards,
// separators, blanks inside) are passed over; the whole stays within
// maxLength characters.
std::string AllPicturesPattern(const std::vector<std::string>& pluginPatterns,
                               size_t maxLength = 1024);

// The files the system's picture codecs (the Windows Imaging Component)
// are asked for when no plug-in takes them, as a plug-in's pattern string:
// the open dialog lists them after the plug-ins' own. WebP and HEIF are
// read only where Windows has their codecs.
extern const char kCodecPicturePattern[];
