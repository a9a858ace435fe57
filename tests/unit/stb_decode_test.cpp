// The bundled plug-in's decoding: recognition by content, the DIB it
// produces (bottom-up BGR rows, padding, transparency over white), and
// refusals of huge, truncated and damaged files without a crash.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "plugins/stbimage/stb_decode.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace {

using Bytes = std::vector<uint8_t>;

void Append(void* context, void* data, int size)
{
    auto* out = static_cast<Bytes*>(context);
    auto* p = static_cast<uint8_t*>(data);
    out->insert(out->end(), p, p + size);
}

Bytes Png(int w, int h, int comp, const Bytes& pixels)
{
    Bytes out;
    stbi_write_png_to_func(Append, &out, w, h, comp, pixels.data(), w * comp);
    return out;
}

Bytes Bytes_(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

// A string literal's bytes, embedded zeros included, terminator not.
template <size_t N>
Bytes Lit(const char (&s)[N])
{
    return Bytes(s, s + N - 1);
}

struct Decoded {
    DecodeStatus status;
    DecodePlan plan{};
    Bytes format;
    Bytes bits;
};

Decoded Decode(const Bytes& file, const char* name = "picture")
{
    Decoded d;
    d.status = PlanDecode(file.data(), file.size(), name, &d.plan);
    if (d.status != DecodeStatus::kOk)
        return d;
    d.format.assign(kDibFormatSize, 0xCC);
    WriteDibFormat(d.plan, d.format.data());
    d.bits.assign(d.plan.bitsSize, 0xCC);  // every byte must be written
    d.status = DecodeInto(file.data(), file.size(), d.plan, d.bits.data(), d.bits.size());
    return d;
}

uint32_t U32(const Bytes& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// Pixel (x, y), y counted from the top, as 0xRRGGBB from bottom-up BGR rows.
uint32_t Pixel(const Decoded& d, uint32_t x, uint32_t y)
{
    size_t row = (size_t(d.plan.width) * 3 + 3) / 4 * 4;
    const uint8_t* p = d.bits.data() + (d.plan.height - 1 - y) * row + x * 3;
    return uint32_t(p[2]) << 16 | p[1] << 8 | p[0];
}

TEST(StbDecode, PngBecomesABottomUpBgrDibWithZeroPadding)
{
    // 3 x 2: red, green, blue over white, black, grey.
    Bytes rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 128, 128, 128};
    Decoded d = Decode(Png(3, 2, 3, rgb));
    ASSERT_EQ(d.status, DecodeStatus::kOk);
    EXPECT_EQ(d.plan.kind, ImageKind::kPng);
    EXPECT_EQ(d.plan.width, 3u);
    EXPECT_EQ(d.plan.height, 2u);
    EXPECT_EQ(d.plan.bitsSize, 24u);  // rows of 9 bytes padded to 12
    EXPECT_EQ(U32(d.format, 0), 40u);
    EXPECT_EQ(U32(d.format, 4), 3u);
    EXPECT_EQ(U32(d.format, 8), 2u);  // positive: bottom-up
    EXPECT_EQ(d.format[12] | d.format[13] << 8, 1);
    EXPECT_EQ(d.format[14] | d.format[15] << 8, 24);
    EXPECT_EQ(U32(d.format, 16), 0u);
    EXPECT_EQ(U32(d.format, 20), 24u);
    EXPECT_EQ(U32(d.format, 32), 0u);  // no colour table
    const uint32_t expected[2][3] = {{0xFF0000, 0x00FF00, 0x0000FF}, {0xFFFFFF, 0x000000, 0x808080}};
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            EXPECT_EQ(Pixel(d, x, y), expected[y][x]) << x << "," << y;
    for (size_t row = 0; row < 2; ++row)
        for (size_t i = 9; i < 12; ++i)
            EXPECT_EQ(d.bits[row * 12 + i], 0) << "padding of row " << row;
}

TEST(StbDecode, TransparencyIsLaidOverWhiteAndGreyIsWidened)
{
    // Opaque red, transparent red, half-transparent black, opaque blue.
    Bytes rgba = {255, 0, 0, 255, 255, 0, 0, 0, 0, 0, 0, 128, 0, 0, 255, 255};
    Decoded d = Decode(Png(4, 1, 4, rgba));
    ASSERT_EQ(d.status, DecodeStatus::kOk);
    EXPECT_EQ(Pixel(d, 0, 0), 0xFF0000u);
    EXPECT_EQ(Pixel(d, 1, 0), 0xFFFFFFu);
    EXPECT_EQ(Pixel(d, 2, 0), 0x7F7F7Fu);  // 255 x 127 / 255
    EXPECT_EQ(Pixel(d, 3, 0), 0x0000FFu);

    Decoded grey = Decode(Png(2, 1, 1, {0x10, 0xE0}));
    ASSERT_EQ(grey.status, DecodeStatus::kOk);
    EXPECT_EQ(Pixel(grey, 0, 0), 0x101010u);
    EXPECT_EQ(Pixel(grey, 1, 0), 0xE0E0E0u);
}

TEST(StbDecode, EveryOfferedFormatIsRecognisedAndDecoded)
{
    // JPEG of one flat colour: within the codec's rounding.
    Bytes flat(16 * 16 * 3);
    for (size_t i = 0; i < flat.size(); i += 3) {
        flat[i] = 200;
        flat[i + 1] = 100;
        flat[i + 2] = 50;
    }
    Bytes jpeg;
    stbi_write_jpg_to_func(Append, &jpeg, 16, 16, 3, flat.data(), 95);
    Decoded j = Decode(jpeg);
    ASSERT_EQ(j.status, DecodeStatus::kOk);
    EXPECT_EQ(j.plan.kind, ImageKind::kJpeg);
    uint32_t p = Pixel(j, 7, 7);
    EXPECT_NEAR(int(p >> 16), 200, 3);
    EXPECT_NEAR(int(p >> 8 & 0xFF), 100, 3);
    EXPECT_NEAR(int(p & 0xFF), 50, 3);

    // GIF, 1 x 1: palette red and black, pixel index 0.
    Decoded g = Decode(Lit("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00"
                           ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;"));
    ASSERT_EQ(g.status, DecodeStatus::kOk);
    EXPECT_EQ(g.plan.kind, ImageKind::kGif);
    EXPECT_EQ(Pixel(g, 0, 0), 0xFF0000u);

    // PNM, binary colour and grey.
    Decoded ppm = Decode(Lit("P6\n2 1\n255\n\x01\x02\x03\xfa\xfb\xfc"));
    ASSERT_EQ(ppm.status, DecodeStatus::kOk);
    EXPECT_EQ(ppm.plan.kind, ImageKind::kPnm);
    EXPECT_EQ(Pixel(ppm, 0, 0), 0x010203u);
    EXPECT_EQ(Pixel(ppm, 1, 0), 0xFAFBFCu);
    Decoded pgm = Decode(Bytes_("P5 1 1 255 \x7f"));
    ASSERT_EQ(pgm.status, DecodeStatus::kOk);
    EXPECT_EQ(Pixel(pgm, 0, 0), 0x7F7F7Fu);
    // 16-bit samples are not offered: stb_image 2.27 reads them in the
    // wrong byte order and past its buffer.
    EXPECT_EQ(Decode(Lit("P6\n2 1\n65535\n\x12\x34\x56\x78\x9a\xbc\xff\xff\x00\x00\x80\x01")).status,
              DecodeStatus::kUnknownFormat);
    EXPECT_EQ(Decode(Lit("P5\n1 1\n65535\n\xab\xcd")).status, DecodeStatus::kUnknownFormat);

    // PSD, 1 x 1 RGB, uncompressed planes.
    Decoded s = Decode(Lit("8BPS\x00\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x01\x00\x00\x00\x01"
                           "\x00\x08\x00\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
                           "\x11\x22\x33"));
    ASSERT_EQ(s.status, DecodeStatus::kOk);
    EXPECT_EQ(s.plan.kind, ImageKind::kPsd);
    EXPECT_EQ(Pixel(s, 0, 0), 0x112233u);

    // TGA has no signature: taken for one only under a TGA name or when
    // no name is known.
    Bytes tga;
    Bytes px = {9, 8, 7, 6, 5, 4};
    stbi_write_tga_with_rle = 0;
    stbi_write_tga_to_func(Append, &tga, 2, 1, 3, px.data());
    EXPECT_EQ(SniffImage(tga.data(), tga.size(), "C:\\a\\PIC.TGA"), ImageKind::kTga);
    EXPECT_EQ(SniffImage(tga.data(), tga.size(), nullptr), ImageKind::kTga);
    EXPECT_EQ(SniffImage(tga.data(), tga.size(), "C:\\a\\pic.dat"), ImageKind::kUnknown);
    Decoded t = Decode(tga, "x.tga");
    ASSERT_EQ(t.status, DecodeStatus::kOk);
    EXPECT_EQ(Pixel(t, 0, 0), 0x090807u);
    EXPECT_EQ(Pixel(t, 1, 0), 0x060504u);
    EXPECT_EQ(Decode(tga, "x.dat").status, DecodeStatus::kUnknownFormat);
}

TEST(StbDecode, OtherFilesAreNotClaimed)
{
    const char* others[] = {"BM\x36\x00\x00\x00", "plain text, nothing more", "P3\n1 1\n255\n0 0 0",
                            "GIF88a", "\x89PNG\r\n", "8BPS\x00\x02"};
    for (const char* text : others) {
        Bytes b = Bytes_(text);
        EXPECT_EQ(SniffImage(b.data(), b.size(), "file.png"), ImageKind::kUnknown) << text;
        EXPECT_EQ(Decode(b, "file.png").status, DecodeStatus::kUnknownFormat) << text;
    }
    EXPECT_EQ(SniffImage(nullptr, 0, "x.tga"), ImageKind::kUnknown);
    EXPECT_EQ(PlanDecode(nullptr, 10, "x", nullptr), DecodeStatus::kUnknownFormat);
}

// A PNG signature and an IHDR chunk only (CRC not checked by stb_image).
Bytes PngHeader(uint32_t w, uint32_t h)
{
    Bytes b = Lit("\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR");
    for (uint32_t v : {w, h})
        for (int s = 24; s >= 0; s -= 8)
            b.push_back(uint8_t(v >> s));
    for (uint8_t v : {8, 2, 0, 0, 0, 0, 0, 0, 0})
        b.push_back(v);
    return b;
}

TEST(StbDecode, HugePicturesAreRefusedBeforeDecoding)
{
    DecodePlan plan{};
    // Each side allowed, the pixel count not: refused by the plan, so no
    // 300 MB block is ever asked for.
    Bytes big = PngHeader(10000, 10000);
    EXPECT_EQ(PlanDecode(big.data(), big.size(), "x.png", &plan), DecodeStatus::kTooLarge);
    // Beyond what stb_image itself takes (3 GB of pixels).
    Bytes bigger = PngHeader(30000, 30000);
    EXPECT_NE(PlanDecode(bigger.data(), bigger.size(), "x.png", &plan), DecodeStatus::kOk);
    // A side beyond stb_image's own cap.
    Bytes wide = PngHeader(100000, 1);
    EXPECT_NE(PlanDecode(wide.data(), wide.size(), "x.png", &plan), DecodeStatus::kOk);
    // A file over the size limit is refused before it is read.
    uint8_t tiny[8] = {0x89, 'P', 'N', 'G'};
    EXPECT_EQ(PlanDecode(tiny, kStbMaxFileBytes + 1, "x.png", &plan), DecodeStatus::kTooLarge);
    // The largest allowed picture plans to its exact size.
    Bytes most = PngHeader(8192, 8192);
    ASSERT_EQ(PlanDecode(most.data(), most.size(), "x.png", &plan), DecodeStatus::kOk);
    EXPECT_EQ(plan.bitsSize, size_t(8192) * 3 * 8192);
    // A header alone plans, but decoding finds no image data.
    Bytes bare = PngHeader(16, 16);
    ASSERT_EQ(PlanDecode(bare.data(), bare.size(), "x.png", &plan), DecodeStatus::kOk);
    Bytes bits(plan.bitsSize);
    EXPECT_EQ(DecodeInto(bare.data(), bare.size(), plan, bits.data(), bits.size()),
              DecodeStatus::kBroken);
}

TEST(StbDecode, HuffmanTablesWithTooManyCodesAreRefusedBeforeStbImageSeesThem)
{
    // Debian's stb_image writes past a 257-entry array for a DHT segment
    // whose 16 counts add up to more than 256.
    Bytes flat(8 * 8 * 3, 90);
    Bytes jpeg;
    stbi_write_jpg_to_func(Append, &jpeg, 8, 8, 3, flat.data(), 90);
    ASSERT_EQ(Decode(jpeg).status, DecodeStatus::kOk);
    size_t dht = 0;
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC4) {
            dht = i;
            break;
        }
    ASSERT_NE(dht, 0u);
    Bytes bad = jpeg;
    for (size_t k = 0; k < 16; ++k)
        bad[dht + 5 + k] = 20;  // 320 codes
    EXPECT_EQ(Decode(bad).status, DecodeStatus::kBroken);
    // The same table behind fill bytes, junk and a comment segment, and
    // under a TGA name (stb_image tries JPEG first, whatever the name).
    Bytes hidden = Lit("\xff\xff\xd8\x00\x00\xff\xfe\x00\x04zz");
    hidden.reserve(hidden.size() + bad.size());
    hidden.insert(hidden.end(), bad.begin() + 2, bad.end());
    EXPECT_EQ(SniffImage(hidden.data(), hidden.size(), "x.tga"), ImageKind::kUnknown);
    EXPECT_NE(Decode(hidden, "x.tga").status, DecodeStatus::kOk);
}

TEST(StbDecode, DecodingChecksItsPlan)
{
    Bytes png = Png(2, 2, 3, Bytes(12, 7));
    DecodePlan plan{};
    ASSERT_EQ(PlanDecode(png.data(), png.size(), "x.png", &plan), DecodeStatus::kOk);
    Bytes bits(plan.bitsSize + 1);
    EXPECT_EQ(DecodeInto(png.data(), png.size(), plan, bits.data(), plan.bitsSize - 1),
              DecodeStatus::kBroken);
    DecodePlan other = plan;
    other.width = 3;
    other.bitsSize = 24;
    EXPECT_EQ(DecodeInto(png.data(), png.size(), other, bits.data(), 24), DecodeStatus::kBroken);
}

TEST(StbDecode, TruncatedAndDamagedFilesAreRefusedOrDecodedWithoutHarm)
{
    Bytes pixels(24 * 16 * 3);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(i * 7);
    Bytes jpeg;
    stbi_write_jpg_to_func(Append, &jpeg, 24, 16, 3, pixels.data(), 80);
    const Bytes samples[] = {Png(24, 16, 3, pixels), jpeg,
                             Bytes_(std::string("P6\n24 16\n255\n") + std::string(1152, '\x40'))};
    for (const Bytes& sample : samples) {
        ASSERT_EQ(Decode(sample).status, DecodeStatus::kOk);
        // Every cut: a refusal, or a picture of the planned size.
        for (size_t n = 1; n < sample.size(); ++n) {
            Bytes cut(sample.begin(), sample.begin() + long(n));
            Decoded d = Decode(cut);
            if (d.status == DecodeStatus::kOk) {
                EXPECT_EQ(d.bits.size(), d.plan.bitsSize);
            }
        }
        std::mt19937 random(1234);
        for (int round = 0; round < 300; ++round) {
            Bytes damaged = sample;
            int changes = 1 + int(random() % 8);
            for (int i = 0; i < changes; ++i)
                damaged[random() % damaged.size()] = uint8_t(random());
            Decoded d = Decode(damaged);
            if (d.status == DecodeStatus::kOk) {
                EXPECT_EQ(d.bits.size(), size_t((d.plan.width * 3 + 3) / 4 * 4) * d.plan.height);
            }
        }
    }
}

TEST(StbDecode, PluginInfoIsCopiedWithinTheBuffer)
{
    char buffer[64];
    EXPECT_EQ(CopyPluginInfo(0, buffer, sizeof buffer), 4);
    EXPECT_STREQ(buffer, "00IN");
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(CopyPluginInfo(0, buffer, 3), 2);
    EXPECT_STREQ(buffer, "00");
    EXPECT_EQ(buffer[3], 'X');
    EXPECT_EQ(CopyPluginInfo(0, buffer, 0), 0);
    EXPECT_EQ(CopyPluginInfo(0, nullptr, 10), 0);
    EXPECT_EQ(CopyPluginInfo(-1, buffer, sizeof buffer), 0);
    // Pattern and name pairs up to the first unknown number.
    int n = 2;
    for (; CopyPluginInfo(n, buffer, sizeof buffer) > 0; n += 2) {
        EXPECT_EQ(std::string(buffer).compare(0, 2, "*."), 0) << buffer;
        EXPECT_GT(CopyPluginInfo(n + 1, buffer, sizeof buffer), 0) << "name of pair " << n;
    }
    EXPECT_EQ(n, 14);  // PNG, JPEG, GIF, TGA, PSD, PNM
}

}  // namespace
