// Plug-in manager rules: the module extensions searched for, and
// the check of pictures that plug-ins hand back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "picture/dib_rules.h"
#include "picture/plugin_rules.h"

namespace {

TEST(PluginPattern, SixtyFourBitBuildsLookForSphFirstThenSpi)
{
    EXPECT_EQ(PluginModuleExtensions(true), (std::vector<const char*>{"sph", "spi"}));
    EXPECT_EQ(PluginModuleExtensions(false), (std::vector<const char*>{"spi"}));
}

// A format block: header, colour table (or masks) of tableBytes.
struct Picture {
    std::vector<uint8_t> format;
    DibHeader& header() { return *reinterpret_cast<DibHeader*>(format.data()); }
};

Picture Make(int32_t width, int32_t height, uint16_t bits, uint32_t compression = kBiRgb,
             uint32_t clrUsed = 0, uint32_t headerSize = 40, size_t tableBytes = 0)
{
    Picture p;
    p.format.assign(headerSize + tableBytes, 0);
    DibHeader h{};
    h.biSize = headerSize;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = compression;
    h.biClrUsed = clrUsed;
    std::memcpy(p.format.data(), &h, sizeof h);
    return p;
}

PluginDibStatus Check(Picture& p, size_t bitsSize)
{
    return CheckPluginDib(p.format.data(), p.format.size(), bitsSize);
}

TEST(PluginDib, SoundPicturesAreAcceptedAtTheirExactSizes)
{
    struct Case {
        const char* what;
        Picture picture;
        size_t bits;
    };
    std::vector<Case> cases;
    cases.push_back({"24-bit 3x2", Make(3, 2, 24), 24});
    cases.push_back({"24-bit top-down", Make(3, -2, 24), 24});
    cases.push_back({"8-bit, full table", Make(5, 3, 8, kBiRgb, 0, 40, 1024), 24});
    cases.push_back({"8-bit, 2 colours", Make(5, 3, 8, kBiRgb, 2, 40, 8), 24});
    cases.push_back({"1-bit", Make(33, 2, 1, kBiRgb, 0, 40, 8), 16});
    cases.push_back({"4-bit", Make(9, 1, 4, kBiRgb, 0, 40, 64), 8});
    cases.push_back({"16-bit masks", Make(2, 2, 16, kBiBitfields, 0, 40, 12), 8});
    cases.push_back({"32-bit masks in a V5 header", Make(2, 2, 32, kBiBitfields, 0, 124), 16});
    cases.push_back({"32-bit plain", Make(2, 2, 32), 16});
    Picture rle = Make(4, 4, 8, kBiRle8, 0, 40, 1024);
    rle.header().biSizeImage = 10;
    cases.push_back({"RLE8", rle, 10});
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Check(c.picture, c.bits), PluginDibStatus::kOk);
        // What the platform reads is all of both: nothing more goes to Kelvo.
        PluginDibExtent extent{};
        EXPECT_EQ(CheckPluginDib(c.picture.format.data(), c.picture.format.size(), c.bits + 100,
                                 &extent),
                  PluginDibStatus::kOk);
        EXPECT_EQ(extent.formatBytes, c.picture.format.size());
        EXPECT_EQ(extent.bitsBytes, c.bits);
        // One byte less of bits, or of the format block, is refused.
        EXPECT_EQ(Check(c.picture, c.bits - 1), PluginDibStatus::kBitsMissing);
        Picture cut = c.picture;
        cut.format.pop_back();
        EXPECT_NE(CheckPluginDib(cut.format.data(), cut.format.size(), c.bits), PluginDibStatus::kOk);
    }
}

TEST(PluginDib, HeadersThatDoNotDescribeTheirBitsAreRefused)
{
    Picture p = Make(8, 8, 24);
    EXPECT_EQ(CheckPluginDib(p.format.data(), 39, 1000), PluginDibStatus::kNoHeader);
    EXPECT_EQ(CheckPluginDib(nullptr, 40, 1000), PluginDibStatus::kNoHeader);

    auto refused = [](Picture q, size_t bits, PluginDibStatus expected, const char* what) {
        EXPECT_EQ(CheckPluginDib(q.format.data(), q.format.size(), bits), expected) << what;
    };
    Picture q = p;
    q.header().biSize = 12;
    refused(q, 1000, PluginDibStatus::kBadHeader, "core header size");
    q = p;
    q.header().biSize = 0x7FFFFFF0;
    refused(q, 1000, PluginDibStatus::kBadHeader, "header longer than its block");
    q = p;
    q.header().biPlanes = 2;
    refused(q, 1000, PluginDibStatus::kBadHeader, "two planes");
    for (int32_t w : {0, -8}) {
        q = p;
        q.header().biWidth = w;
        refused(q, 1000, PluginDibStatus::kBadHeader, "width");
    }
    for (int32_t h : {0, INT32_MIN}) {
        q = p;
        q.header().biHeight = h;
        refused(q, 1000, PluginDibStatus::kBadHeader, "height");
    }
    for (uint16_t bits : {0, 2, 7, 48, 64}) {
        q = p;
        q.header().biBitCount = bits;
        refused(q, 100000, PluginDibStatus::kUnsupported, "bit count");
    }
    for (uint32_t compression : {kBiJpeg, kBiPng, kBiAlphaBitfields, 99u}) {
        q = p;
        q.header().biCompression = compression;
        refused(q, 1000, PluginDibStatus::kUnsupported, "compression");
    }
    refused(Make(8, 8, 24, kBiRle8), 1000, PluginDibStatus::kUnsupported, "RLE8 at 24 bits");
    refused(Make(8, 8, 8, kBiRle4, 0, 40, 1024), 1000, PluginDibStatus::kUnsupported, "RLE4 at 8 bits");
    refused(Make(8, 8, 24, kBiBitfields, 0, 40, 12), 1000, PluginDibStatus::kUnsupported,
            "masks at 24 bits");
    Picture topDownRle = Make(8, -8, 8, kBiRle8, 0, 40, 1024);
    topDownRle.header().biSizeImage = 10;
    refused(topDownRle, 1000, PluginDibStatus::kBadHeader, "top-down RLE");
    refused(Make(8, 8, 8, kBiRle8, 0, 40, 1024), 1000, PluginDibStatus::kBitsMissing,
            "RLE without a stored size");
    Picture longRle = Make(8, 8, 8, kBiRle8, 0, 40, 1024);
    longRle.header().biSizeImage = 1001;
    refused(longRle, 1000, PluginDibStatus::kBitsMissing, "RLE stored size past the bits");

    // Tables: what biClrUsed announces, and masks after a 40-byte header.
    refused(Make(8, 8, 8, kBiRgb, 0, 40, 1020), 64, PluginDibStatus::kTableMissing, "8-bit table");
    refused(Make(8, 8, 8, kBiRgb, 0xFFFFFFFF, 40, 1024), 64, PluginDibStatus::kTableMissing,
            "huge biClrUsed");
    refused(Make(8, 8, 24, kBiRgb, 5, 40, 16), 1000, PluginDibStatus::kTableMissing,
            "24-bit with a table it lacks");
    refused(Make(8, 8, 16, kBiBitfields, 0, 40, 8), 1000, PluginDibStatus::kTableMissing,
            "two of three masks");
}

TEST(PluginDib, SizesBeyondTheLimitsAreRefusedBeforeAnyArithmeticWraps)
{
    Picture wide = Make(65536, 1, 1);
    EXPECT_EQ(Check(wide, 1u << 20), PluginDibStatus::kTooLarge);
    Picture tall = Make(1, -65536, 1);
    EXPECT_EQ(Check(tall, 1u << 20), PluginDibStatus::kTooLarge);
    // 65535 x 65535 x 32 bits is 16 GiB: over the image limit although
    // each side is allowed, and a 32-bit size would have wrapped.
    Picture huge = Make(65535, 65535, 32);
    EXPECT_EQ(Check(huge, size_t(-1)), PluginDibStatus::kTooLarge);
    Picture most = Make(8192, 16384, 32);  // exactly 512 MiB
    EXPECT_EQ(Check(most, size_t(kPluginMaxImageBytes)), PluginDibStatus::kOk);
    most.header().biHeight = 16385;
    EXPECT_EQ(Check(most, size_t(-1)), PluginDibStatus::kTooLarge);
}

TEST(AllPictures, BmpThenEachPlainExtensionOnceInPluginOrder)
{
    EXPECT_EQ(AllPicturesPattern({}), "*.BMP");
    EXPECT_EQ(AllPicturesPattern({"*.png", " *.jpg ;*.jpeg;;*.jpe", "*.PNG;*.bmp;*.Jpg", "*.gif"}),
              "*.BMP;*.PNG;*.JPG;*.JPEG;*.JPE;*.GIF");
    // Whatever is not a plain "*.ext" says nothing about files Kelvo opens.
    EXPECT_EQ(AllPicturesPattern({"*.*;*;png;*.a b;*.x?;*.\\y;*.;*.tar.gz;*.q\x01", "*.ok"}),
              "*.BMP;*.OK");
    // Past the length limit, items are dropped whole.
    EXPECT_EQ(AllPicturesPattern({"*.png;*.jpeg;*.gif"}, 17), "*.BMP;*.PNG;*.GIF");
}

}  // namespace
