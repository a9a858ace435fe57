// Reading a BMP file, held whole in memory (the caller maps or reads it),
// into a packed DIB that the platform can turn into a bitmap. This is the
// first code to see untrusted files, so every size in them is checked
// against the file and against the limits below before anything is
// written, and nothing unusual reaches the platform:
//
//   - The result is always a 40-byte header, a colour table for 1-, 4- and
//     8-bit pictures, and uncompressed bottom-up rows.
//   - The colour table has all 2, 16 or 256 entries (biClrUsed says so);
//     entries the file lacks are black, so every pixel index names a
//     colour. 16-, 24- and 32-bit pictures get no table (a table such a
//     file carries only suggests a palette and is skipped).
//   - RLE8 and RLE4 are decoded here (picture/rle.h); pixels a stream
//     skips or never reaches are index 0. A stream cut short is accepted;
//     runs past a row's end are cut there and a delta past the top ends
//     the picture, as the platform and other readers take them.
//   - Top-down files (negative height) are turned bottom-up.
//   - Longer info headers (52, 56, 64, V4 108, V5 124, anything 40..124)
//     are read through their first 40 bytes; the colour table follows the
//     header's real size.
//   - 16- and 32-bit pictures, plain or with bit fields, become 24-bit
//     with the masks applied; channels narrower than 8 bits are widened
//     by repeating their bits (31 of 5 bits gives 255), alpha is dropped.
//   - A pixel section that the file cuts short is accepted; the missing
//     rows and pixels are 0.
//   - Refused: no "BM"; the 12-byte OS/2 header and any biSize outside
//     40..124; planes other than 1; 2-bit, 64-bit and other depths; JPEG,
//     PNG, OS/2 Huffman and RLE24 contents; RLE with a bit count it does
//     not belong to or with a negative height; bit-field masks that
//     overlap, have gaps or pass the pixel size; a colour table or masks
//     that the file does not hold; bfOffBits before the end of the
//     headers or past the end of the file; a biSizeImage larger than both
//     the picture and the file; width or height 0, negative width, and
//     pictures beyond the limits.
#pragma once
#include <cstddef>
#include <cstdint>

#include "picture/dib_rules.h"

// Largest width and height read, and largest pixel section of a result.
constexpr uint32_t kBmpMaxDimension = 65535;
constexpr uint64_t kBmpMaxImageBytes = 512ull * 1024 * 1024;
// Files beyond this are not read: no picture the reader accepts needs more
// than its pixel limit plus headers and a colour table.
constexpr uint64_t kBmpMaxFileBytes = kBmpMaxImageBytes + (64u << 20);

enum class BmpStatus {
    kOk,
    kNotBmp,             // no "BM" at the start
    kTooShort,           // the file ends inside its headers or masks
    kUnsupportedHeader,  // biSize 12 (OS/2 core) or outside 40..124
    kBadHeader,          // impossible sizes, planes, offsets or biSizeImage
    kUnsupportedFormat,  // a depth or compression this reader does not take
    kBadMasks,           // unusable bit-field masks
    kBadColorTable,      // a colour table that does not fit in the file
    kTooLarge,           // beyond kBmpMaxDimension or kBmpMaxImageBytes
    kBadArguments,       // build given a buffer or file that fits no plan
};

// What PlanBmpRead learnt about a file. Only dibSize concerns the caller;
// the rest tells BuildBmpDib how to read the file.
struct BmpPlan {
    size_t dibSize;         // bytes of the packed DIB BuildBmpDib writes
    size_t fileSize;        // the file the plan was made for
    uint32_t width;
    uint32_t height;        // rows, whatever the sign in the file
    bool topDown;
    uint16_t bitCount;      // in the file: 1, 4, 8, 16, 24 or 32
    uint16_t outBitCount;   // in the result: 1, 4, 8 or 24
    uint32_t compression;   // none, RLE8, RLE4 or bit fields
    uint32_t masks[3];      // red, green, blue for 16 and 32 bits
    size_t colorOffset;     // first colour-table entry in the file
    uint32_t colorsInFile;  // entries taken from the file
    uint32_t outColors;     // entries of the result's table
    size_t pixelOffset;     // start of the pixel section in the file
    size_t pixelLength;     // bytes of it present in the file (and used)
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
};

// First step: validates the file of fileSize bytes and fills plan. On kOk,
// plan->dibSize is the exact size of the block to allocate, never more
// than 40 + 1024 + kBmpMaxImageBytes. Any other result means refusal.
BmpStatus PlanBmpRead(const uint8_t* file, size_t fileSize, BmpPlan* plan);

// Second step: writes every byte of the packed DIB into dib, which holds
// dibSize bytes (must equal plan.dibSize; the file must be the planned
// one). Only the plan's numbers are trusted, never the file's headers a
// second time, so a file that changed in between can change pixels but
// not sizes. Fails with kBadArguments for a mismatch.
BmpStatus BuildBmpDib(const uint8_t* file, size_t fileSize, const BmpPlan& plan,
                      uint8_t* dib, size_t dibSize);

// The same DIB a band of rows at a time, so that neither the whole file nor
// the whole DIB need be in memory: for plans whose rows are stored
// uncompressed and come out 24-bit (16-, 24- and 32-bit files).
bool BmpReadsInRows(const BmpPlan& plan);
// Its 40-byte header.
DibHeader BmpDibHeader(const BmpPlan& plan);
// The bytes of the file that rows first to first + count - 1 of the DIB
// (row 0 the bottom one) come from; length 0 when the file holds none of
// them (a cut file).
void BmpRowsSource(const BmpPlan& plan, uint32_t first, uint32_t count, uint64_t* offset,
                   uint64_t* length);
// Writes those rows, rowsSize bytes, from source: the file's bytes from
// offset sourceOffset on, sourceLength of them, which must hold every byte
// BmpRowsSource names. kBadArguments otherwise, or for a plan that does not
// read in rows.
BmpStatus BuildBmpRows(const BmpPlan& plan, uint32_t first, uint32_t count, const uint8_t* source,
                       uint64_t sourceOffset, size_t sourceLength, uint8_t* rows, size_t rowsSize);

// A short English name of a status, for logs and test messages.
const char* BmpStatusText(BmpStatus status);
