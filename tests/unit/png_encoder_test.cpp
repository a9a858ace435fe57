// Kelvo's PNG writer: files that a separate decoder (stb_image) reads back
// to exactly the pixels given, in every filter, from bottom-up and
// top-down rows, true colour and indexed at 1, 4 and 8 bits; chunks with
// correct CRCs; refusals of pictures it cannot write.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <stb/stb_image.h>

#include "picture/png_encoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A DIB-style picture with its own storage: rows padded to 4 bytes and
// the padding filled with junk, which must not reach the file.
struct TestPicture {
    PngPicture picture;
    Bytes rows;
    Bytes colors;
};

TestPicture MakePicture(uint32_t width, uint32_t height, int bitCount, bool bottomUp, uint32_t colorCount,
                        unsigned seed)
{
    TestPicture t;
    std::mt19937 random(seed);
    const size_t stride = ((size_t(width) * unsigned(bitCount) + 31) / 32) * 4;
    t.rows.resize(stride * height);
    for (auto& b : t.rows)
        b = uint8_t(random());
    if (bitCount == 8 && colorCount > 0)
        for (auto& b : t.rows)
            b = uint8_t(b % colorCount);
    for (uint32_t i = 0; i < colorCount; ++i) {
        t.colors.push_back(uint8_t(random()));
        t.colors.push_back(uint8_t(random()));
        t.colors.push_back(uint8_t(random()));
        t.colors.push_back(0);
    }
    t.picture.width = width;
    t.picture.height = height;
    t.picture.bitCount = bitCount;
    t.picture.rows = t.rows.data();
    t.picture.stride = stride;
    t.picture.bottomUp = bottomUp;
    t.picture.colors = colorCount ? t.colors.data() : nullptr;
    t.picture.colorCount = colorCount;
    return t;
}

// The colour (red, green, blue) the picture holds at x, y (y from the top).
void ExpectedAt(const PngPicture& p, uint32_t x, uint32_t y, uint8_t rgb[3])
{
    const uint8_t* row = p.rows + size_t(p.bottomUp ? p.height - 1 - y : y) * p.stride;
    if (p.bitCount == 24) {
        rgb[0] = row[3 * x + 2];
        rgb[1] = row[3 * x + 1];
        rgb[2] = row[3 * x];
        return;
    }
    const unsigned bits = unsigned(p.bitCount);
    const size_t bit = size_t(x) * bits;
    const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
    if (index >= p.colorCount) {
        rgb[0] = rgb[1] = rgb[2] = 0;
        return;
    }
    rgb[0] = p.colors[4 * index + 2];
    rgb[1] = p.colors[4 * index + 1];
    rgb[2] = p.colors[4 * index];
}

// Decodes png with stb_image and compares every pixel with the picture.
void ExpectSamePixels(const Bytes& png, const PngPicture& p)
{
    int w = 0, h = 0, n = 0;
    stbi_uc* decoded = stbi_load_from_memory(png.data(), int(png.size()), &w, &h, &n, 3);
    ASSERT_NE(decoded, nullptr) << stbi_failure_reason();
    ASSERT_EQ(uint32_t(w), p.width);
    ASSERT_EQ(uint32_t(h), p.height);
    size_t wrong = 0;
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 0; x < p.width; ++x) {
            uint8_t rgb[3];
            ExpectedAt(p, x, y, rgb);
            wrong += std::memcmp(decoded + (size_t(y) * p.width + x) * 3, rgb, 3) != 0;
        }
    stbi_image_free(decoded);
    EXPECT_EQ(wrong, 0u);
}

uint32_t Be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The CRC-32 of the format, bit by bit: a reference independent of the
// library the writer uses.
uint32_t ReferenceCrc(const uint8_t* data, size_t length)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

struct Chunk {
    std::string type;
    Bytes data;
    bool crcRight;
};

std::vector<Chunk> ChunksOf(const Bytes& png)
{
    std::vector<Chunk> chunks;
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const size_t length = Be32(&png[at]);
        if (at + 12 + length > png.size())
            break;
        Chunk c;
        c.type.assign(reinterpret_cast<const char*>(&png[at + 4]), 4);
        c.data.assign(png.begin() + std::ptrdiff_t(at + 8), png.begin() + std::ptrdiff_t(at + 8 + length));
        c.crcRight = ReferenceCrc(&png[at + 4], length + 4) == Be32(&png[at + 8 + length]);
        chunks.push_back(c);
        at += 12 + length;
    }
    return chunks;
}

TEST(PngEncoder, TrueColourComesBackExactlyUnderEveryFilter)
{
    // An odd width, so that rows carry padding, and rows alike enough for
    // the filters to matter: a copy of the row above, then noise.
    TestPicture t = MakePicture(37, 23, 24, true, 0, 1);
    std::memcpy(&t.rows[5 * t.picture.stride], &t.rows[6 * t.picture.stride], t.picture.stride);
    for (int filter = 0; filter <= 5; ++filter) {
        SCOPED_TRACE(filter);
        PngEncoding encoding;
        encoding.filter = PngFilter(filter);
        Bytes png;
        ASSERT_TRUE(EncodePngPicture(t.picture, &png, encoding));
        ExpectSamePixels(png, t.picture);
    }
}

TEST(PngEncoder, TopDownRowsKeepTheirOrder)
{
    TestPicture t = MakePicture(16, 9, 24, false, 0, 2);
    Bytes png;
    ASSERT_TRUE(EncodePngPicture(t.picture, &png));
    ExpectSamePixels(png, t.picture);
}

TEST(PngEncoder, IndexedPicturesKeepTheirIndexesAndColourTable)
{
    struct Case {
        int bits;
        uint32_t width, colors;
    } cases[] = {{8, 13, 200}, {4, 11, 16}, {1, 21, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        TestPicture t = MakePicture(c.width, 7, c.bits, true, c.colors, unsigned(c.bits));
        Bytes png;
        ASSERT_TRUE(EncodePngPicture(t.picture, &png));
        ExpectSamePixels(png, t.picture);
        std::vector<Chunk> chunks = ChunksOf(png);
        ASSERT_GE(chunks.size(), 2u);
        ASSERT_EQ(chunks[0].type, "IHDR");
        EXPECT_EQ(chunks[0].data[8], c.bits);  // bit depth: the indexes as they are
        EXPECT_EQ(chunks[0].data[9], 3);       // colour type: palette
        ASSERT_EQ(chunks[1].type, "PLTE");
        ASSERT_EQ(chunks[1].data.size(), 3u * c.colors);
        for (uint32_t i = 0; i < c.colors; ++i) {
            EXPECT_EQ(chunks[1].data[3 * i], t.colors[4 * i + 2]);
            EXPECT_EQ(chunks[1].data[3 * i + 2], t.colors[4 * i]);
        }
    }
}

TEST(PngEncoder, IndexPastTheColourTableIsWrittenBlack)
{
    TestPicture t = MakePicture(9, 3, 8, true, 4, 3);
    t.rows[2] = 9;  // the table has 4 colours
    Bytes png;
    ASSERT_TRUE(EncodePngPicture(t.picture, &png));
    ExpectSamePixels(png, t.picture);
}

TEST(PngEncoder, ChunksAreInOrderWithCorrectCrcs)
{
    TestPicture t = MakePicture(64, 40, 24, true, 0, 4);
    Bytes png;
    ASSERT_TRUE(EncodePngPicture(t.picture, &png));
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(std::memcmp(png.data(), kSignature, 8), 0);
    std::vector<Chunk> chunks = ChunksOf(png);
    std::string order;
    size_t bytes = 8;
    for (const Chunk& c : chunks) {
        order += c.type + " ";
        EXPECT_TRUE(c.crcRight) << c.type;
        bytes += 12 + c.data.size();
    }
    EXPECT_EQ(order, "IHDR IDAT IEND ");
    EXPECT_EQ(bytes, png.size());
}

TEST(PngEncoder, RefusesPicturesItCannotWrite)
{
    TestPicture t = MakePicture(8, 8, 24, true, 0, 5);
    PngPicture p = t.picture;
    Bytes png{1, 2, 3};
    p.bitCount = 32;
    EXPECT_FALSE(EncodePngPicture(p, &png));
    EXPECT_TRUE(png.empty());
    p = t.picture;
    p.width = 0;
    EXPECT_FALSE(EncodePngPicture(p, &png));
    p = t.picture;
    p.stride = 8 * 3 - 1;
    EXPECT_FALSE(EncodePngPicture(p, &png));
    TestPicture indexed = MakePicture(8, 8, 8, true, 0, 6);
    EXPECT_FALSE(EncodePngPicture(indexed.picture, &png));
    EXPECT_TRUE(png.empty());
}

}  // namespace
