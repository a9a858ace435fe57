// The BMP file header written in front of a Capture DIB.
#include <gtest/gtest.h>

#include "picture/bmp_file.h"
#include "picture/rle.h"
#include "picture_support.h"

namespace {

using picture_test::Bytes;

uint32_t Get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

TEST(BmpFile, TwentyFourBitThreeByTwoMakesA78ByteFile)
{
    Bytes dib = picture_test::MakeDib(3, 2, 24, {}, Bytes(24, 0x11));
    Bytes file = picture_test::MakeBmpFile(dib);
    ASSERT_EQ(file.size(), 78u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Get32(&file[2]), 78u);
    EXPECT_EQ(Get32(&file[6]), 0u);  // both reserved fields
    EXPECT_EQ(Get32(&file[10]), 54u);
    EXPECT_EQ(Bytes(file.begin() + 14, file.end()), dib);
}

TEST(BmpFile, EightBitWithFullTableStartsBitsAt1078)
{
    Bytes dib = picture_test::MakeDib(5, 3, 8, Bytes(1024, 0), Bytes(24, 0));
    Bytes file = picture_test::MakeBmpFile(dib);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(Get32(&file[10]), 1078u);
    EXPECT_EQ(Get32(&file[2]), 1078u + 24);
}

TEST(BmpFile, PlainImageLengthIsComputedAfreshNotTakenFromHeader)
{
    Bytes dib = picture_test::MakeDib(3, 2, 24, {}, Bytes(24, 0));
    DibHeader h;
    std::memcpy(&h, dib.data(), sizeof h);
    h.biSizeImage = 0;
    uint8_t header[kBmpFileHeaderSize];
    uint32_t length = 0;
    ASSERT_TRUE(BuildBmpFileHeader(&h, dib.size(), header, &length));
    EXPECT_EQ(length, 64u);
    h.biSizeImage = 1000000;  // a wrong size must not make the writer read on
    ASSERT_TRUE(BuildBmpFileHeader(&h, dib.size(), header, &length));
    EXPECT_EQ(length, 64u);
}

TEST(BmpFile, Rle8FileCarriesCompressedSize)
{
    Bytes rows(8 * 4, 7);  // 8 x 4 pixels of one colour
    Bytes plain = picture_test::MakeDib(8, 4, 8, Bytes(1024, 0), rows);
    DibHeader ph;
    std::memcpy(&ph, plain.data(), sizeof ph);
    Bytes dib(size_t(RleCompressedDibMaxSize(&ph)));
    size_t size = RleCompressDib(plain.data(), plain.size(), kBiRle8, dib.data(), dib.size());
    ASSERT_GT(size, 0u);
    dib.resize(size);
    Bytes file = picture_test::MakeBmpFile(dib);
    ASSERT_FALSE(file.empty());
    DibHeader h;
    std::memcpy(&h, &file[14], sizeof h);
    EXPECT_EQ(h.biCompression, kBiRle8);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biSizeImage, 4u * 4 + 2);  // a run and an end of line per row, end of bitmap
    EXPECT_EQ(Get32(&file[2]), 14 + 40 + 1024 + h.biSizeImage);
    EXPECT_EQ(file.size(), Get32(&file[2]));
}

TEST(BmpFile, RefusesHeadersItCannotWriteSafely)
{
    uint8_t header[kBmpFileHeaderSize];
    uint32_t length = 0;
    Bytes dib = picture_test::MakeDib(3, 2, 24, {}, Bytes(24, 0));
    DibHeader good;
    std::memcpy(&good, dib.data(), sizeof good);

    // The block must hold what the header says.
    EXPECT_FALSE(BuildBmpFileHeader(&good, dib.size() - 1, header, &length));
    EXPECT_FALSE(BuildBmpFileHeader(&good, 39, header, &length));
    EXPECT_FALSE(BuildBmpFileHeader(nullptr, 1000, header, &length));

    // 65536 x 65536 at 24 bits: bfSize would pass 4 GiB.
    DibHeader huge = good;
    huge.biWidth = 65536;
    huge.biHeight = 65536;
    BmpFileLayout layout;
    EXPECT_FALSE(PlanBmpFileLayout(&huge, &layout));
    // Just under 4 GiB still fits the 32-bit fields.
    huge.biWidth = 4;
    huge.biHeight = (0xFFFFFFFFu - 54) / 12;
    ASSERT_TRUE(PlanBmpFileLayout(&huge, &layout));
    EXPECT_LE(uint64_t{layout.fileSize}, 0xFFFFFFFFull);
    EXPECT_EQ(layout.dibPartLength + 14ull, layout.fileSize);

    const auto refused = [&](void (*change)(DibHeader&)) {
        DibHeader h = good;
        change(h);
        return !PlanBmpFileLayout(&h, &layout);
    };
    EXPECT_TRUE(refused([](DibHeader& h) { h.biSize = 12; }));
    EXPECT_TRUE(refused([](DibHeader& h) { h.biBitCount = 2; }));
    EXPECT_TRUE(refused([](DibHeader& h) { h.biWidth = 0; }));
    EXPECT_TRUE(refused([](DibHeader& h) { h.biWidth = -3; }));
    EXPECT_TRUE(refused([](DibHeader& h) { h.biHeight = 0; }));
    EXPECT_TRUE(refused([](DibHeader& h) { h.biCompression = kBiBitfields; }));
    EXPECT_TRUE(refused([](DibHeader& h) { h.biCompression = kBiRle8; }));  // 24 bits
    EXPECT_TRUE(refused([](DibHeader& h) { h.biBitCount = 8; h.biCompression = kBiRle4; }));
    EXPECT_TRUE(refused([](DibHeader& h) { h.biBitCount = 8; h.biCompression = kBiRle8; h.biHeight = -2; }));
    EXPECT_FALSE(refused([](DibHeader& h) { h.biHeight = -2; }));  // plain top-down is writable
}

}  // namespace
