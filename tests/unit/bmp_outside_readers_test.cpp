// Files this program writes (the file header builder and the RLE encoder)
// read by outside programs: ImageMagick for every kind, Pillow for all but
// RLE4, which Debian's Pillow 9.4 decodes wrongly.
#include <gtest/gtest.h>

#include <random>

#include "picture/bmp_reader.h"
#include "picture/rle.h"
#include "picture_support.h"

namespace {

using picture_test::Bytes;
using picture_test::Rgb;

// A plain DIB of width x height at bits with a random palette and content
// that mixes long runs (across the 255 limit when wide), short runs and
// noise, every row different.
Bytes SamplePicture(uint32_t width, uint32_t height, uint16_t bits, uint32_t seed)
{
    std::mt19937 rng(seed);
    const uint32_t colours = bits <= 8 ? 1u << bits : 0;
    Bytes table;
    for (uint32_t i = 0; i < colours; ++i)
        table.insert(table.end(), {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0});
    const uint64_t stride = DibRowSize(width, bits);
    Bytes rows(size_t(stride * height), 0);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = &rows[size_t(y * stride)];
        uint32_t x = 0;
        while (x < width) {
            uint32_t n = rng() % 5 == 0 ? 1 + rng() % 400 : 1 + rng() % 6;
            uint32_t value = rng();
            bool noise = rng() % 4 == 0;
            for (; n > 0 && x < width; --n, ++x) {
                uint32_t v = noise ? rng() : value;
                switch (bits) {
                case 1: row[x / 8] |= uint8_t((v & 1) << (7 - x % 8)); break;
                case 4: row[x / 2] |= uint8_t((v & 15) << (x % 2 ? 0 : 4)); break;
                case 8: row[x] = uint8_t(v); break;
                default:
                    row[3 * x] = uint8_t(v);
                    row[3 * x + 1] = uint8_t(v >> 8);
                    row[3 * x + 2] = uint8_t(v >> 16);
                }
            }
        }
    }
    return picture_test::MakeDib(int32_t(width), int32_t(height), bits, table, rows);
}

Bytes Compress(const Bytes& plain, uint32_t compression)
{
    DibHeader h;
    std::memcpy(&h, plain.data(), sizeof h);
    Bytes out(size_t(RleCompressedDibMaxSize(&h)));
    size_t n = RleCompressDib(plain.data(), plain.size(), compression, out.data(), out.size());
    out.resize(n);
    return out;
}

void ExpectSamePixels(const Rgb& want, const Rgb& got, const std::string& reader)
{
    ASSERT_EQ(got.width, want.width) << reader;
    ASSERT_EQ(got.height, want.height) << reader;
    size_t differing = 0;
    for (size_t i = 0; i < want.pixels.size(); ++i)
        differing += want.pixels[i] != got.pixels[i];
    EXPECT_EQ(differing, 0u) << reader << ": colour bytes that differ";
}

TEST(BmpOutsideReaders, WrittenFilesShowThePixelsMeant)
{
    struct Kind {
        uint16_t bits;
        uint32_t compression;
        bool pillow;
    };
    const Kind kinds[] = {
        {1, kBiRgb, true}, {4, kBiRgb, true}, {8, kBiRgb, true}, {24, kBiRgb, true},
        {8, kBiRle8, true}, {4, kBiRle4, false},
    };
    const struct { uint32_t w, h; } sizes[] = {{37, 23}, {600, 5}, {1, 9}, {9, 1}};
    picture_test::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    uint32_t seed = 1;
    for (const auto& k : kinds) {
        for (const auto& s : sizes) {
            SCOPED_TRACE(std::to_string(k.bits) + " bits, compression " +
                         std::to_string(k.compression) + ", " + std::to_string(s.w) + "x" +
                         std::to_string(s.h));
            const Bytes plain = SamplePicture(s.w, s.h, k.bits, seed++);
            Rgb meant;
            ASSERT_TRUE(picture_test::ExpandDib(plain.data(), plain.size(), &meant));
            const Bytes dib = k.compression == kBiRgb ? plain : Compress(plain, k.compression);
            ASSERT_FALSE(dib.empty());
            const Bytes file = picture_test::MakeBmpFile(dib);
            ASSERT_FALSE(file.empty());
            const std::string path = dir.File("written.bmp");
            ASSERT_TRUE(picture_test::WriteWholeFile(path, file));

            Rgb got;
            ASSERT_TRUE(picture_test::ImageMagickRead(path, &got));
            ExpectSamePixels(meant, got, "ImageMagick");
            if (k.pillow) {
                ASSERT_TRUE(picture_test::PillowRead(path, &got));
                ExpectSamePixels(meant, got, "Pillow");
            }
            // And our own reader gives back the plain picture.
            BmpPlan plan;
            ASSERT_EQ(PlanBmpRead(file.data(), file.size(), &plan), BmpStatus::kOk);
            Bytes back(plan.dibSize);
            ASSERT_EQ(BuildBmpDib(file.data(), file.size(), plan, back.data(), back.size()),
                      BmpStatus::kOk);
            ASSERT_TRUE(picture_test::ExpandDib(back.data(), back.size(), &got));
            ExpectSamePixels(meant, got, "BmpReader");
        }
    }
}

// Read through our reader; false when it refuses the file.
bool KelvoRead(const Bytes& file, Rgb* rgb)
{
    BmpPlan plan;
    if (PlanBmpRead(file.data(), file.size(), &plan) != BmpStatus::kOk)
        return false;
    Bytes dib(plan.dibSize);
    return BuildBmpDib(file.data(), file.size(), plan, dib.data(), dib.size()) == BmpStatus::kOk
           && picture_test::ExpandDib(dib.data(), dib.size(), rgb);
}

// Many encoders (ImageMagick 6 among them) run-length code the whole
// stored row, padding included, so the last run of a row goes on past the
// picture's width. Such files read as ImageMagick reads them.
TEST(BmpOutsideReaders, RleRowsRunningIntoTheirPaddingReadAsImageMagickReadsThem)
{
    picture_test::TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string path = dir.File("other.bmp");
    uint32_t seed = 40;
    for (uint32_t width : {50u, 51u, 53u, 130u}) {
        SCOPED_TRACE("width " + std::to_string(width));
        // RLE8 as ImageMagick writes it.
        picture_test::RunCommand("/usr/bin/convert -seed 7 -size " + std::to_string(width) +
                                 "x19 plasma:fractal -colors 200 -type Palette -compress RLE BMP3:" +
                                 path);
        Bytes file = picture_test::ReadWholeFile(path);
        ASSERT_GT(file.size(), 54u);
        ASSERT_EQ(file[30], kBiRle8);
        Rgb want, got;
        ASSERT_TRUE(picture_test::ImageMagickRead(path, &want));
        ASSERT_TRUE(KelvoRead(file, &got));
        ExpectSamePixels(want, got, "RLE8 by ImageMagick");

        // RLE4 in the same style (ImageMagick writes no RLE4): every
        // stored nibble of a row coded, as if the row were that wide.
        Bytes plain = SamplePicture(width, 19, 4, seed++);
        DibHeader h;
        std::memcpy(&h, plain.data(), sizeof h);
        h.biWidth = int32_t(DibRowSize(width, 4) * 2);
        std::memcpy(plain.data(), &h, sizeof h);
        Bytes dib = Compress(plain, kBiRle4);
        ASSERT_FALSE(dib.empty());
        std::memcpy(&h, dib.data(), sizeof h);
        h.biWidth = int32_t(width);
        std::memcpy(dib.data(), &h, sizeof h);
        file = picture_test::MakeBmpFile(dib);
        ASSERT_TRUE(picture_test::WriteWholeFile(path, file));
        ASSERT_TRUE(picture_test::ImageMagickRead(path, &want));
        ASSERT_TRUE(KelvoRead(file, &got));
        ExpectSamePixels(want, got, "RLE4 coded to the stored row's end");
    }
}

}  // namespace
