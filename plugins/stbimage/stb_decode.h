// The decoding behind the bundled image plug-in (ifstb.spi): recognising
// PNG, JPEG, GIF, TGA, PSD and PNM files by their first bytes, and turning
// one into a 24-bit bottom-up DIB through stb_image.
//
// The plug-in runs inside the program that loaded it, so every file is
// untrusted: sizes are checked before anything is allocated (file bytes,
// width, height, pixel count), decoding happens in two steps (plan, then
// decode into the caller's blocks of exactly the planned size), and a
// decoder result that differs from the plan is refused. Two faults of
// the stb_image in Debian 12 (2.27) are kept away from it: JPEG Huffman
// tables with more than 256 codes are refused before it sees them, and
// PNM files with 16-bit samples are not offered.
#pragma once
#include <cstddef>
#include <cstdint>

enum class ImageKind { kUnknown, kPng, kJpeg, kGif, kTga, kPsd, kPnm };

// Largest file read, width and height, and pixel count accepted.
constexpr size_t kStbMaxFileBytes = 256u * 1024 * 1024;
constexpr uint32_t kStbMaxDimension = 32768;
constexpr uint64_t kStbMaxPixels = 64ull * 1024 * 1024;

// Bytes a host hands IsSupported (or the plug-in reads) from the start of
// a file.
constexpr size_t kSniffBytes = 2048;

// The format of a file from its first headSize bytes. PNG, JPEG, GIF,
// PSD and PNM carry signatures. TGA has none, so a file is taken for TGA
// only when its header passes the TGA checks and its name ends in .tga,
// .icb, .vda or .vst, or no name is known (fileName null: a host handing
// the file in memory); otherwise almost any binary file would "be" TGA.
ImageKind SniffImage(const uint8_t* head, size_t headSize, const char* fileName);

enum class DecodeStatus {
    kOk,
    kUnknownFormat,  // none of the formats above
    kBroken,         // recognised but unreadable, or the decoder disagreed with the plan
    kTooLarge,       // beyond the limits above
    kNoMemory,       // the decoder could not allocate its working memory
};

// The picture a file will decode to.
struct DecodePlan {
    ImageKind kind;
    uint32_t width;
    uint32_t height;
    size_t bitsSize;  // bottom-up 24-bit rows, each padded to 4 bytes
};

// Size of the format block: a 40-byte info header, no colour table.
constexpr size_t kDibFormatSize = 40;

// First step: recognises the whole file (size bytes; fileName as for
// SniffImage) and reads its dimensions without decoding pixels.
DecodeStatus PlanDecode(const uint8_t* file, size_t size, const char* fileName, DecodePlan* plan);

// The 40-byte info header of the planned picture (24 bits, bottom-up,
// uncompressed, biSizeImage set) into format.
void WriteDibFormat(const DecodePlan& plan, uint8_t* format);

// Second step: decodes the planned file into bits (bitsSize must equal
// plan.bitsSize). Transparent pixels are laid over white. Every byte of
// bits is written, padding included.
DecodeStatus DecodeInto(const uint8_t* file, size_t size, const DecodePlan& plan, uint8_t* bits,
                        size_t bitsSize);

// Text answered by GetPluginInfo for infono: 0 the interface version
// "00IN", 1 the plug-in's name, then pairs of file pattern and format
// name. Copies at most bufferLength - 1 bytes and a terminator; returns
// the bytes copied (terminator not counted), 0 for an unknown infono or
// no room.
int CopyPluginInfo(int infono, char* buffer, int bufferLength);
