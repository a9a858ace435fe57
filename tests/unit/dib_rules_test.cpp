// Packed-DIB layout rules: colour counts, table size, bits position, row
// size and the capture bit count.
#include <gtest/gtest.h>

#include "picture/dib_rules.h"

namespace {

DibHeader Header(uint16_t bits, uint32_t clrUsed = 0, uint32_t size = 40)
{
    DibHeader h{};
    h.biSize = size;
    h.biWidth = 10;
    h.biHeight = 10;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biClrUsed = clrUsed;
    return h;
}

TEST(DibRules, ColourCountDefaultsByDepthAndFollowsClrUsed)
{
    const struct { uint16_t bits; uint32_t used; uint32_t count; } cases[] = {
        {1, 0, 2}, {4, 0, 16}, {8, 0, 256}, {16, 0, 0}, {24, 0, 0}, {32, 0, 0},
        {8, 100, 100}, {24, 300, 300}, {1, 1, 1},
    };
    for (const auto& c : cases) {
        DibHeader h = Header(c.bits, c.used);
        EXPECT_EQ(CountDibColors(&h), c.count) << c.bits << " bits, biClrUsed " << c.used;
        EXPECT_EQ(DibColorTableSize(&h), 4ull * c.count);
    }
}

TEST(DibRules, LargeColourCountsDoNotWrap)
{
    // A 16-bit count or table size would make these 0 and misplace the bits.
    DibHeader h = Header(8, 65536);
    EXPECT_EQ(CountDibColors(&h), 65536u);
    EXPECT_EQ(DibColorTableSize(&h), 262144u);
    h.biClrUsed = 16384;
    EXPECT_EQ(DibColorTableSize(&h), 65536u);
    h.biClrUsed = 0xFFFFFFFF;
    EXPECT_EQ(DibColorTableSize(&h), 4ull * 0xFFFFFFFF);
}

TEST(DibRules, PixelBitsFollowHeaderSizeAndTable)
{
    alignas(4) uint8_t block[2048] = {};
    DibHeader* h = reinterpret_cast<DibHeader*>(block);
    *h = Header(8);
    EXPECT_EQ(DibPixelBits(h), block + 40 + 1024);
    *h = Header(24);
    EXPECT_EQ(DibPixelBits(static_cast<const DibHeader*>(h)), block + 40);
    *h = Header(4, 0, 124);  // a V5 header keeps its table behind all 124 bytes
    EXPECT_EQ(DibPixelBits(h), block + 124 + 64);
    EXPECT_EQ(DibPixelOffset(h), 188u);
}

TEST(DibRules, RowSizeIsPaddedToFourBytesWithoutOverflow)
{
    EXPECT_EQ(DibRowSize(1, 24), 4u);
    EXPECT_EQ(DibRowSize(33, 1), 8u);
    EXPECT_EQ(DibRowSize(32, 1), 4u);
    EXPECT_EQ(DibRowSize(3, 24), 12u);
    EXPECT_EQ(DibRowSize(127, 4), 64u);
    EXPECT_EQ(DibRowSize(0, 24), 0u);
    // 32-bit arithmetic would wrap here.
    EXPECT_EQ(DibRowSize(0xFFFFFFFF, 32), 4ull * 0xFFFFFFFF);
    EXPECT_EQ(DibRowSize(0x80000000u, 24), 3ull * 0x80000000u);
}

TEST(DibRules, ImageSizesCountRowsOfEitherOrientation)
{
    DibHeader h = Header(24);
    h.biWidth = 3;
    h.biHeight = -2;
    h.biSizeImage = 999;
    EXPECT_EQ(DibImageSize(&h), 24u);
    EXPECT_EQ(DibStoredImageSize(&h), 24u);  // biSizeImage is not trusted
    EXPECT_EQ(DibPackedSize(&h), 64u);
    h.biHeight = INT32_MIN;
    EXPECT_EQ(DibImageSize(&h), 12ull << 31);

    DibHeader rle = Header(8);
    rle.biCompression = kBiRle8;
    rle.biSizeImage = 500;
    EXPECT_EQ(DibStoredImageSize(&rle), 500u);
    EXPECT_EQ(DibPackedSize(&rle), 40u + 1024 + 500);
}

TEST(DibRules, CaptureBitCountRaisesToBmpDepthsAndCompressionForcesIt)
{
    const struct { uint16_t planes, bits; uint32_t compression; uint16_t want; } cases[] = {
        {1, 0, 0, 1},  {1, 1, 0, 1},  {1, 2, 0, 4},  {1, 4, 0, 4},   {1, 5, 0, 8},
        {1, 8, 0, 8},  {1, 15, 0, 24}, {1, 16, 0, 24}, {1, 24, 0, 24}, {1, 32, 0, 24},
        {4, 1, 0, 4},  {3, 8, 0, 24},
        {256, 256, 0, 1},  // the product is taken as 16 bits: 65536 is 0
        {1, 32, kBiRle8, 8}, {1, 1, kBiRle8, 8}, {1, 32, kBiRle4, 4}, {1, 8, kBiRle4, 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CaptureBitCount(c.planes, c.bits, c.compression), c.want)
            << c.planes << " x " << c.bits << " compression " << c.compression;
    }
}

TEST(DibRules, CaptureHeaderAsksForPlainRows)
{
    DibHeader h = MakeCaptureHeader(640, 480, 1, 32, kBiRle8);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 640);
    EXPECT_EQ(h.biHeight, 480);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biCompression, kBiRgb);
    EXPECT_EQ(h.biSizeImage, 0u);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(MakeCaptureHeader(1, 1, 1, 1, kBiRgb).biBitCount, 1);
}

}  // namespace
