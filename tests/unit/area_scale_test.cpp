// Smooth scaling of the zoomed view: each screen pixel is the average of
// the part of the picture under it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/area_scale.h"

namespace {

std::vector<uint32_t> Scale(const std::vector<uint32_t>& source, int32_t sw, int32_t sh,
                            int32_t dw, int32_t dh)
{
    std::vector<uint32_t> dest(size_t(dw) * dh, 0xDEADBEEF);
    ScaleAreaAverage(source.data(), sw, sh, dest.data(), dw, dh);
    return dest;
}

uint32_t Grey(uint32_t v)
{
    return v << 16 | v << 8 | v;
}

TEST(AreaScale, SameSizeCopiesEveryPixel)
{
    std::vector<uint32_t> p;
    for (uint32_t i = 0; i < 35; ++i)
        p.push_back(i * 0x070503);
    EXPECT_EQ(Scale(p, 7, 5, 7, 5), p);
}

TEST(AreaScale, HalvingACheckerboardGivesEvenGreyNotBlackOrWhite)
{
    // Dropping every other row and column would leave one colour of the
    // two; each screen pixel covers two black and two white ones.
    std::vector<uint32_t> p;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x)
            p.push_back((x + y) & 1 ? 0xFFFFFF : 0);
    for (uint32_t pixel : Scale(p, 10, 8, 5, 4))
        EXPECT_EQ(pixel, Grey(128));  // 127.5 rounded up
}

TEST(AreaScale, PartlyCoveredPixelsCountByTheirShare)
{
    // Three pixels into two: each screen pixel covers one and a half.
    EXPECT_EQ(Scale({Grey(0), Grey(90), Grey(255)}, 3, 1, 2, 1),
              (std::vector<uint32_t>{Grey(30), Grey(200)}));
    // The same down a column.
    EXPECT_EQ(Scale({Grey(0), Grey(90), Grey(255)}, 1, 3, 1, 2),
              (std::vector<uint32_t>{Grey(30), Grey(200)}));
}

TEST(AreaScale, EnlargingBlendsOnlyAcrossPixelEdges)
{
    // Two pixels into three: the middle one straddles the edge.
    EXPECT_EQ(Scale({Grey(0), Grey(255)}, 2, 1, 3, 1),
              (std::vector<uint32_t>{Grey(0), Grey(128), Grey(255)}));
    // Doubling keeps every pixel whole.
    EXPECT_EQ(Scale({0x102030, 0x405060}, 2, 1, 4, 2),
              (std::vector<uint32_t>{0x102030, 0x102030, 0x405060, 0x405060, 0x102030,
                                     0x102030, 0x405060, 0x405060}));
    // One pixel fills any size.
    for (uint32_t pixel : Scale({0xA0B0C0}, 1, 1, 13, 7))
        EXPECT_EQ(pixel, 0xA0B0C0u);
}

TEST(AreaScale, ChannelsAreAveragedApart)
{
    // Red and blue side by side make purple, not a carry between bytes.
    EXPECT_EQ(Scale({0xFF0000, 0x0000FF}, 2, 1, 1, 1), (std::vector<uint32_t>{0x800080}));
    EXPECT_EQ(Scale({0x00FF00, 0x00FF00, 0xFFFFFF, 0}, 2, 2, 1, 1),
              (std::vector<uint32_t>{0x40BF40}));  // 63.75, 191.25, 63.75
}

TEST(AreaScale, ShrinkingAWholePictureToOnePixelGivesItsAverage)
{
    std::vector<uint32_t> p;
    uint64_t total = 0;
    for (uint32_t i = 0; i < 97 * 13; ++i) {
        uint32_t v = (i * 37) % 256;
        total += v;
        p.push_back(Grey(v));
    }
    uint32_t mean = uint32_t((total + p.size() / 2) / p.size());
    std::vector<uint32_t> one = Scale(p, 97, 13, 1, 1);
    EXPECT_LE(int(one[0] & 0xFF) - int(mean), 1);
    EXPECT_GE(int(one[0] & 0xFF) - int(mean), -1);
}

TEST(AreaScale, RowsGivenOneByOneMatchTheWholePictureAndExtraRowsAreIgnored)
{
    const int32_t sw = 31, sh = 23, dw = 12, dh = 17;
    std::vector<uint32_t> p;
    for (int32_t i = 0; i < sw * sh; ++i)
        p.push_back(uint32_t(i) * 2654435761u & 0xFFFFFF);
    std::vector<uint32_t> rows(size_t(dw) * dh, 0);
    AreaScaler scaler(sw, sh, dw, dh, rows.data());
    for (int32_t y = 0; y < sh; ++y)
        scaler.AddRow(p.data() + y * sw);
    std::vector<uint32_t> before = rows;
    scaler.AddRow(p.data());  // one too many: nothing more is written
    EXPECT_EQ(rows, before);
    EXPECT_EQ(rows, Scale(p, sw, sh, dw, dh));
}

TEST(AreaScale, AWideShrinkStaysWithinEveryChannelsRange)
{
    // White throughout stays white through the rounding of both passes.
    std::vector<uint32_t> p(size_t(4000) * 3, 0xFFFFFF);
    for (uint32_t pixel : Scale(p, 4000, 3, 7, 2))
        EXPECT_EQ(pixel, 0xFFFFFFu);
}

}  // namespace

namespace {

TEST(AreaScale, ARowTooWideToSumWholeIsStillAveragedExactly)
{
    // 2^24 pixels across: summed whole, a row of white would pass 32 bits,
    // so each row is brought down to 256ths of a level first.
    const int32_t width = 1 << 24;
    std::vector<uint32_t> p(static_cast<size_t>(width));
    for (int32_t x = 0; x < width; ++x)
        p[size_t(x)] = x < width / 2 ? 0xFFFFFF : (x & 1 ? 0x0000FF : 0);
    EXPECT_EQ(Scale(p, width, 1, 2, 1), (std::vector<uint32_t>{0xFFFFFF, 0x000080}));
    EXPECT_EQ(Scale(p, width, 1, 1, 1), (std::vector<uint32_t>{0x8080BF}));  // 127.5, 127.5, 191.25
}

}  // namespace
