// JPEG files of a Capture DIB: the chosen quality in the quantization
// tables, and the picture's pixels back through a JPEG reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "picture/dib_rules.h"
#include "picture/jpeg_file.h"
#include "plugins/stbimage/stb_decode.h"

namespace {

constexpr int kWidth = 48, kHeight = 32;

// A bottom-up 24-bit packed DIB of smooth colours.
std::vector<uint8_t> Picture()
{
    const size_t stride = size_t(DibRowSize(kWidth, 24));
    std::vector<uint8_t> dib(sizeof(DibHeader) + stride * kHeight);
    DibHeader header{};
    header.biSize = sizeof header;
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = uint32_t(stride * kHeight);
    std::memcpy(dib.data(), &header, sizeof header);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* bgr = dib.data() + sizeof header + size_t(y) * stride + size_t(x) * 3;
            bgr[0] = uint8_t(x * 5);
            bgr[1] = uint8_t(y * 7);
            bgr[2] = uint8_t(200 - x - y);
        }
    return dib;
}

// The first quantization table of a JPEG file, in the file's order.
std::vector<int> FirstTable(const std::vector<uint8_t>& jpeg)
{
    for (size_t i = 2; i + 4 + 64 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDB)
            return std::vector<int>(jpeg.begin() + long(i) + 5, jpeg.begin() + long(i) + 5 + 64);
    return {};
}

// The reference encoder's luminance table scaled for quality, in the
// zigzag order of the file.
std::vector<int> ReferenceTable(int quality)
{
    static const int base[64] = {16, 11, 12, 14, 12, 10, 16, 14, 13, 14, 18, 17, 16, 19, 24, 40,
                                 26, 24, 22, 22, 24, 49, 35, 37, 29, 40, 58, 51, 61, 60, 57, 51,
                                 56, 55, 64, 72, 92, 78, 64, 68, 87, 69, 55, 56, 80, 109, 81, 87,
                                 95, 98, 103, 104, 103, 62, 77, 113, 121, 112, 100, 120, 92, 101,
                                 103, 99};
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    std::vector<int> table;
    for (int b : base) {
        int q = (b * scale + 50) / 100;
        table.push_back(q < 1 ? 1 : q > 255 ? 255 : q);
    }
    return table;
}

TEST(JpegFile, TheChosenQualityAndThePicturesPixels)
{
    const std::vector<uint8_t> dib = Picture();
    std::vector<uint8_t> low, high;
    ASSERT_TRUE(EncodeDibAsJpeg(dib.data(), dib.size(), 50, &low));
    ASSERT_TRUE(EncodeDibAsJpeg(dib.data(), dib.size(), 95, &high));
    EXPECT_EQ(FirstTable(low), ReferenceTable(50));
    EXPECT_EQ(FirstTable(high), ReferenceTable(95));
    EXPECT_LT(low.size(), high.size());

    // Read back, the picture is the one given, its rows the right way up.
    DecodePlan plan{};
    ASSERT_EQ(PlanDecode(high.data(), high.size(), nullptr, &plan), DecodeStatus::kOk);
    ASSERT_EQ(plan.kind, ImageKind::kJpeg);
    ASSERT_EQ(plan.width, uint32_t(kWidth));
    ASSERT_EQ(plan.height, uint32_t(kHeight));
    std::vector<uint8_t> bits(plan.bitsSize);
    ASSERT_EQ(DecodeInto(high.data(), high.size(), plan, bits.data(), bits.size()), DecodeStatus::kOk);
    const uint8_t* original = dib.data() + sizeof(DibHeader);
    long difference = 0;
    for (size_t i = 0; i < bits.size(); ++i)
        difference += std::abs(int(bits[i]) - int(original[i]));
    EXPECT_LT(double(difference) / double(bits.size()), 3.0);

    // Not a plain DIB: refused.
    std::vector<uint8_t> rle = dib;
    reinterpret_cast<DibHeader*>(rle.data())->biCompression = kBiRle8;
    EXPECT_FALSE(EncodeDibAsJpeg(rle.data(), rle.size(), 90, &low));
    EXPECT_TRUE(low.empty());
    EXPECT_FALSE(EncodeDibAsJpeg(dib.data(), dib.size() - 1, 90, &low));
}

}  // namespace
