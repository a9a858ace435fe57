// Layout rules of a packed DIB (info header, colour table, pixel bits):
// colour counts, table size, where the bits start, row and image sizes,
// and the bit count a capture asks the platform for.
//
// The header struct is read and written with plain memory copies, so it
// assumes a little-endian host, as every Windows target and the native
// x86 build are.
#pragma once
#include <cstddef>
#include <cstdint>

// The 40-byte BITMAPINFOHEADER, field for field.
struct DibHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(DibHeader) == 40, "DibHeader must match BITMAPINFOHEADER");
static_assert(offsetof(DibHeader, biCompression) == 16, "DibHeader layout");
static_assert(offsetof(DibHeader, biClrImportant) == 36, "DibHeader layout");

// biCompression codes.
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiJpeg = 4;
constexpr uint32_t kBiPng = 5;
constexpr uint32_t kBiAlphaBitfields = 6;

// Number of colour-table entries: biClrUsed when non-zero (all 32 bits of
// it, so a count of 65536 or more is not mistaken for "no table");
// otherwise 2, 16 or 256 for 1, 4 or 8 bits and 0 for any other depth.
uint32_t CountDibColors(const DibHeader* header);

// Bytes of the colour table: 4 x CountDibColors, exact (64-bit, so a
// large count cannot wrap to a small size).
uint64_t DibColorTableSize(const DibHeader* header);

// Offset of the pixel bits from the start of the header:
// biSize + DibColorTableSize.
uint64_t DibPixelOffset(const DibHeader* header);

// Address of the pixel bits: header address + biSize + DibColorTableSize.
// Only for headers at the start of a block that really holds them (a
// Capture DIB); untrusted headers go through the BMP reader instead.
uint8_t* DibPixelBits(DibHeader* header);
const uint8_t* DibPixelBits(const DibHeader* header);

// Bytes of one uncompressed row: ((width x bitCount + 31) div 32) x 4,
// with width taken as unsigned 32 bits and computed in 64 bits, so no
// width or bit count can overflow it.
uint64_t DibRowSize(uint32_t width, uint16_t bitCount);

// Bytes of the uncompressed image: row size x |biHeight| (a negative
// height, a top-down picture, has just as many rows).
uint64_t DibImageSize(const DibHeader* header);

// Bytes of the image as stored: biSizeImage for RLE8 and RLE4, otherwise
// DibImageSize (whatever biSizeImage says).
uint64_t DibStoredImageSize(const DibHeader* header);

// Bytes of the whole packed DIB: biSize + colour table + stored image.
uint64_t DibPackedSize(const DibHeader* header);

// Bit count of a Capture DIB: planes x bitsPerPixel taken as 16 bits, raised
// to the nearest of 1, 4, 8, 24 that is not smaller (above 8 gives 24);
// then compression 1 (RLE8) forces 8 and 2 (RLE4) forces 4.
uint16_t CaptureBitCount(uint16_t planes, uint16_t bitsPerPixel, uint32_t compression);

// The header a capture hands to the platform's first GetDIBits pass:
// biSize 40, the given size, planes 1, CaptureBitCount, every other field
// 0. biCompression stays 0 whatever the compression setting: the platform
// is asked for plain rows (it cannot compress) and RleCompressDib
// (picture/rle.h) turns them into RLE8 or RLE4 afterwards.
DibHeader MakeCaptureHeader(int32_t width, int32_t height, uint16_t planes,
                            uint16_t bitsPerPixel, uint32_t compression);
