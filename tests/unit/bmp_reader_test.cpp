// The BMP reader: the public test corpus against ImageMagick, hostile and
// odd files, limits, and the conversions it applies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <random>

#include "picture/bmp_reader.h"
#include "picture/rle.h"
#include "picture_support.h"

namespace {

using picture_test::Bytes;
using picture_test::Rgb;

const std::string kSuite = KELVO_BMPSUITE_DIR;

struct Read {
    BmpStatus status = BmpStatus::kOk;
    Bytes dib;
};

// Plan and build as the loading code does, on a copy of the file in a
// block of exactly its size and into a block with guard bytes behind it.
Read ReadBmp(const Bytes& file)
{
    Read r;
    std::unique_ptr<uint8_t[]> data(new uint8_t[file.size() ? file.size() : 1]);
    if (!file.empty())
        std::memcpy(data.get(), file.data(), file.size());
    BmpPlan plan;
    r.status = PlanBmpRead(data.get(), file.size(), &plan);
    if (r.status != BmpStatus::kOk)
        return r;
    EXPECT_LE(plan.dibSize, 40 + 1024 + kBmpMaxImageBytes);
    Bytes dib(plan.dibSize + 16, 0xEE);
    r.status = BuildBmpDib(data.get(), file.size(), plan, dib.data(), plan.dibSize);
    for (size_t i = plan.dibSize; i < dib.size(); ++i)
        EXPECT_EQ(dib[i], 0xEE) << "build wrote past the block";
    dib.resize(plan.dibSize);
    r.dib = std::move(dib);
    return r;
}

DibHeader HeaderOf(const Bytes& dib)
{
    DibHeader h{};
    if (dib.size() >= sizeof h)
        std::memcpy(&h, dib.data(), sizeof h);
    return h;
}

void Put16(Bytes& b, size_t at, uint32_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

void Put32(Bytes& b, size_t at, uint32_t v)
{
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}

// A BMP file put together field by field, for the cases the corpus lacks.
struct BmpBuilder {
    uint32_t biSize = 40;
    int32_t width = 4;
    int32_t height = 2;
    uint16_t planes = 1;
    uint16_t bits = 24;
    uint32_t compression = kBiRgb;
    uint32_t sizeImage = 0;
    uint32_t clrUsed = 0;
    Bytes headerTail;  // bytes 40..biSize of the info header (zeros if short)
    Bytes masks;       // right behind the info header
    Bytes table;
    Bytes gap;         // between table and bits
    Bytes pixels;
    bool zeroOffBits = false;

    Bytes Build() const
    {
        // Sizes the reader must refuse still get the 40 standard bytes.
        const size_t headerSize = biSize >= 40 && biSize <= 1024 ? biSize : 40;
        Bytes f(14 + headerSize, 0);
        f[0] = 'B';
        f[1] = 'M';
        Put32(f, 14, biSize);
        Put32(f, 18, uint32_t(width));
        Put32(f, 22, uint32_t(height));
        Put16(f, 26, planes);
        Put16(f, 28, bits);
        Put32(f, 30, compression);
        Put32(f, 34, sizeImage);
        Put32(f, 46, clrUsed);
        for (size_t i = 0; i < headerTail.size() && 54 + i < f.size(); ++i)
            f[54 + i] = headerTail[i];
        for (const Bytes* part : {&masks, &table, &gap})
            f.insert(f.end(), part->begin(), part->end());
        Put32(f, 10, zeroOffBits ? 0 : uint32_t(f.size()));
        f.insert(f.end(), pixels.begin(), pixels.end());
        Put32(f, 2, uint32_t(f.size()));
        return f;
    }
};

Bytes Masks(uint32_t r, uint32_t g, uint32_t b)
{
    Bytes m(12);
    Put32(m, 0, r);
    Put32(m, 4, g);
    Put32(m, 8, b);
    return m;
}

// Rows of an 8-bit picture of w x h with index (x + 3y) % colours.
Bytes IndexRows(uint32_t w, uint32_t h, uint32_t colours)
{
    const uint64_t stride = DibRowSize(w, 8);
    Bytes rows(size_t(stride * h), 0);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            rows[size_t(y * stride + x)] = uint8_t((x + 3 * y) % colours);
    return rows;
}

Bytes Greys(uint32_t count)
{
    Bytes t;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t v = uint8_t(i * 40 + 10);
        t.insert(t.end(), {v, uint8_t(v + 1), uint8_t(v + 2), 0x77});
    }
    return t;
}

TEST(BmpCorpus, GoodFilesShowTheSamePixelsAsImageMagick)
{
    const auto files = picture_test::ListBmpFiles(kSuite + "/g");
    ASSERT_GE(files.size(), 25u);
    int compared = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path);
        const Bytes file = picture_test::ReadWholeFile(path);
        const Read r = ReadBmp(file);
        if (file.size() > 18 && file[14] == 12) {
            // The OS/2 core header stays refused.
            EXPECT_EQ(r.status, BmpStatus::kUnsupportedHeader);
            continue;
        }
        ASSERT_EQ(r.status, BmpStatus::kOk) << BmpStatusText(r.status);
        Rgb mine, theirs;
        ASSERT_TRUE(picture_test::ExpandDib(r.dib.data(), r.dib.size(), &mine));
        ASSERT_TRUE(picture_test::ImageMagickRead(path, &theirs));
        ASSERT_EQ(mine.width, theirs.width);
        ASSERT_EQ(mine.height, theirs.height);
        size_t differing = 0;
        for (size_t i = 0; i < mine.pixels.size(); ++i)
            differing += mine.pixels[i] != theirs.pixels[i];
        EXPECT_EQ(differing, 0u) << "colour bytes that differ";
        ++compared;
    }
    EXPECT_GE(compared, 26);
}

TEST(BmpCorpus, ResultIsAlwaysAPlainPackedDib)
{
    for (const char* dir : {"/g", "/q", "/b"}) {
        for (const auto& path : picture_test::ListBmpFiles(kSuite + dir)) {
            SCOPED_TRACE(path);
            const Read r = ReadBmp(picture_test::ReadWholeFile(path));
            if (r.status != BmpStatus::kOk)
                continue;
            const DibHeader h = HeaderOf(r.dib);
            EXPECT_EQ(h.biSize, 40u);
            EXPECT_GT(h.biHeight, 0);
            EXPECT_EQ(h.biPlanes, 1);
            EXPECT_EQ(h.biCompression, kBiRgb);
            EXPECT_TRUE(h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8 ||
                        h.biBitCount == 24);
            EXPECT_EQ(h.biClrUsed, h.biBitCount <= 8 ? 1u << h.biBitCount : 0u);
            EXPECT_EQ(h.biSizeImage, DibImageSize(&h));
            EXPECT_EQ(DibPackedSize(&h), r.dib.size());
            for (uint32_t i = 0; i < h.biClrUsed; ++i)
                EXPECT_EQ(r.dib[40 + 4 * i + 3], 0) << "reserved byte of colour " << i;
            Rgb rgb;
            EXPECT_TRUE(picture_test::ExpandDib(r.dib.data(), r.dib.size(), &rgb));
        }
    }
}

struct Expected {
    const char* name;
    BmpStatus status;
};

void ExpectOutcomes(const std::string& dir, const std::vector<Expected>& table)
{
    const auto files = picture_test::ListBmpFiles(kSuite + dir);
    EXPECT_EQ(files.size(), table.size()) << "files in " << dir << " without an expectation";
    for (const auto& e : table) {
        SCOPED_TRACE(e.name);
        const Read r = ReadBmp(picture_test::ReadWholeFile(kSuite + dir + "/" + e.name));
        EXPECT_EQ(r.status, e.status) << BmpStatusText(r.status);
    }
}

TEST(BmpCorpus, BadFilesAreRefusedOrReadAsDecided)
{
    ExpectOutcomes("/b", {
        {"badbitcount.bmp", BmpStatus::kUnsupportedFormat},
        {"badbitssize.bmp", BmpStatus::kBadHeader},
        {"baddens1.bmp", BmpStatus::kOk},       // only the density is odd
        {"baddens2.bmp", BmpStatus::kOk},
        {"badfilesize.bmp", BmpStatus::kOk},    // bfSize is not used
        {"badheadersize.bmp", BmpStatus::kOk},  // 66 bytes, table behind them
        {"badpalettesize.bmp", BmpStatus::kBadColorTable},
        {"badplanes.bmp", BmpStatus::kBadHeader},
        {"badrle.bmp", BmpStatus::kOk},       // runs past rows are cut there
        {"badrle4.bmp", BmpStatus::kOk},
        {"badrle4bis.bmp", BmpStatus::kOk},
        {"badrle4ter.bmp", BmpStatus::kOk},
        {"badrlebis.bmp", BmpStatus::kOk},
        {"badrleter.bmp", BmpStatus::kOk},
        {"badwidth.bmp", BmpStatus::kBadHeader},
        {"pal8badindex.bmp", BmpStatus::kOk},   // unknown indices show black
        {"reallybig.bmp", BmpStatus::kTooLarge},
        {"rgb16-880.bmp", BmpStatus::kOk},      // a zero mask is a missing channel
        {"rletopdown.bmp", BmpStatus::kUnsupportedFormat},
        {"shortfile.bmp", BmpStatus::kOk},      // missing rows are 0
    });
}

TEST(BmpCorpus, QuestionableFilesAreRefusedOrReadAsDecided)
{
    const BmpStatus ok = BmpStatus::kOk, format = BmpStatus::kUnsupportedFormat,
                    header = BmpStatus::kUnsupportedHeader;
    ExpectOutcomes("/q", {
        {"pal1huffmsb.bmp", format}, {"pal1p1.bmp", ok}, {"pal2.bmp", format},
        {"pal2color.bmp", format}, {"pal4rlecut.bmp", ok}, {"pal4rletrns.bmp", ok},
        {"pal8offs.bmp", ok}, {"pal8os2-hs.bmp", header}, {"pal8os2-sz.bmp", header},
        {"pal8os2sp.bmp", header}, {"pal8os2v2-16.bmp", header}, {"pal8os2v2-40sz.bmp", ok},
        {"pal8os2v2-sz.bmp", ok}, {"pal8os2v2.bmp", ok}, {"pal8oversizepal.bmp", ok},
        {"pal8rlecut.bmp", ok}, {"pal8rletrns.bmp", ok}, {"rgb16-231.bmp", ok},
        {"rgb16-3103.bmp", ok}, {"rgb16faketrns.bmp", ok}, {"rgb24jpeg.bmp", format},
        {"rgb24largepal.bmp", ok}, {"rgb24lprof.bmp", ok}, {"rgb24png.bmp", format},
        {"rgb24prof.bmp", ok}, {"rgb24prof2.bmp", ok}, {"rgb24rle24.bmp", format},
        {"rgb32-111110.bmp", ok}, {"rgb32-7187.bmp", ok}, {"rgb32-xbgr.bmp", ok},
        {"rgb32fakealpha.bmp", ok}, {"rgb32h52.bmp", ok}, {"rgba16-1924.bmp", ok},
        {"rgba16-4444.bmp", ok}, {"rgba16-5551.bmp", ok}, {"rgba32-1.bmp", ok},
        {"rgba32-1010102.bmp", ok}, {"rgba32-2.bmp", ok}, {"rgba32-61754.bmp", ok},
        {"rgba32-81284.bmp", ok}, {"rgba32abf.bmp", ok}, {"rgba32h56.bmp", ok},
        {"rgba64.bmp", format},
    });
}

TEST(BmpReaderHostile, EveryCorpusFileCutAtEveryLengthIsReadOrRefused)
{
    for (const char* dir : {"/g", "/q", "/b"}) {
        for (const auto& path : picture_test::ListBmpFiles(kSuite + dir)) {
            SCOPED_TRACE(path);
            const Bytes file = picture_test::ReadWholeFile(path);
            // Every length up to the pixels, then a few steps through them.
            for (size_t n = 0; n <= file.size(); n += n < 1200 ? 1 : 97) {
                Bytes cut(file.begin(), file.begin() + n);
                const Read r = ReadBmp(cut);
                if (n < 54) {
                    EXPECT_NE(r.status, BmpStatus::kOk) << n << " bytes";
                }
                if (HasFailure())
                    return;
            }
        }
    }
}

// Every corpus file that reads in rows, whole and cut short, built three
// rows at a time from only the bytes each band names: the same DIB as the
// whole build. A band given one byte less is refused.
TEST(BmpReader, BandsOfRowsFromTheirOwnBytesEqualTheWholeBuild)
{
    // The corpus has no top-down file of 16 bits or more: one of 5 x 7.
    BmpBuilder topDown;
    topDown.width = 5;
    topDown.height = -7;
    for (uint32_t i = 0; i < 7 * DibRowSize(5, 24); ++i)
        topDown.pixels.push_back(uint8_t(i * 7 + 1));
    const std::string kTopDown = "(top-down)";
    int banded = 0;
    for (const char* dir : {"/g", "/q", ""}) {
        auto paths = *dir ? picture_test::ListBmpFiles(kSuite + dir) : std::vector<std::string>{kTopDown};
        for (const auto& path : paths) {
            const Bytes whole = path == kTopDown ? topDown.Build() : picture_test::ReadWholeFile(path);
            for (size_t n : {whole.size(), whole.size() * 2 / 3}) {
                SCOPED_TRACE(path + " cut to " + std::to_string(n));
                const Bytes file(whole.begin(), whole.begin() + std::ptrdiff_t(n));
                const Read r = ReadBmp(file);
                BmpPlan plan;
                if (r.status != BmpStatus::kOk || PlanBmpRead(file.data(), n, &plan) != BmpStatus::kOk
                    || !BmpReadsInRows(plan))
                    continue;
                const DibHeader header = BmpDibHeader(plan);
                ASSERT_EQ(std::memcmp(&header, r.dib.data(), sizeof header), 0);
                const size_t stride = size_t(DibRowSize(plan.width, 24));
                Bytes rows;
                for (uint32_t first = 0; first < plan.height; first += 3) {
                    const uint32_t count = std::min<uint32_t>(3, plan.height - first);
                    uint64_t offset = 0, length = 0;
                    BmpRowsSource(plan, first, count, &offset, &length);
                    ASSERT_LE(offset + length, n);
                    const Bytes source(file.begin() + std::ptrdiff_t(offset),
                                       file.begin() + std::ptrdiff_t(offset + length));
                    Bytes band(stride * count, 0xEE);
                    ASSERT_EQ(BuildBmpRows(plan, first, count, source.data(), offset, source.size(),
                                           band.data(), band.size()),
                              BmpStatus::kOk);
                    if (length > 0) {
                        EXPECT_EQ(BuildBmpRows(plan, first, count, source.data() + 1, offset + 1,
                                               source.size() - 1, band.data(), band.size()),
                                  BmpStatus::kBadArguments);
                    }
                    rows.insert(rows.end(), band.begin(), band.end());
                }
                EXPECT_TRUE(std::equal(rows.begin(), rows.end(), r.dib.begin() + sizeof(DibHeader)));
                EXPECT_EQ(rows.size() + sizeof(DibHeader), r.dib.size());
                ++banded;
            }
        }
    }
    EXPECT_GE(banded, 20);
}

TEST(BmpReaderHostile, RandomlyDamagedCorpusFilesNeverBreakTheReader)
{
    std::mt19937 rng(4242);
    for (const char* dir : {"/g", "/q"}) {
        for (const auto& path : picture_test::ListBmpFiles(kSuite + dir)) {
            SCOPED_TRACE(path);
            const Bytes file = picture_test::ReadWholeFile(path);
            for (int round = 0; round < 150; ++round) {
                Bytes damaged = file;
                for (int k = 1 + rng() % 4; k > 0; --k) {
                    // Headers and the start of the bits matter most.
                    size_t at = rng() % 2 ? rng() % 128 : rng() % damaged.size();
                    if (at < damaged.size())
                        damaged[at] = uint8_t(rng() % 3 ? rng() : (rng() % 2 ? 0 : 0xFF));
                }
                ReadBmp(damaged);
                if (HasFailure())
                    return;
            }
        }
    }
}

TEST(BmpReader, ImageSizeZeroIsComputedAndOffBitsZeroMeansBehindTheTable)
{
    BmpBuilder b;
    b.width = 3;
    b.height = 2;
    b.pixels = Bytes(24);
    for (size_t i = 0; i < b.pixels.size(); ++i)
        b.pixels[i] = uint8_t(i + 1);
    Read r = ReadBmp(b.Build());
    ASSERT_EQ(r.status, BmpStatus::kOk);
    EXPECT_EQ(HeaderOf(r.dib).biSizeImage, 24u);
    EXPECT_EQ(Bytes(r.dib.begin() + 40, r.dib.end()), b.pixels);

    BmpBuilder p;
    p.width = 5;
    p.height = 3;
    p.bits = 8;
    p.clrUsed = 3;
    p.table = Greys(3);
    p.pixels = IndexRows(5, 3, 3);
    p.zeroOffBits = true;
    r = ReadBmp(p.Build());
    ASSERT_EQ(r.status, BmpStatus::kOk);
    EXPECT_EQ(Bytes(r.dib.begin() + 40 + 1024, r.dib.end()), p.pixels);
    // The three colours, reserved bytes cleared, the other 253 black.
    EXPECT_EQ(r.dib[40], 10);
    EXPECT_EQ(r.dib[40 + 3], 0);
    EXPECT_EQ(r.dib[40 + 8 + 2], 92);
    EXPECT_EQ(Bytes(r.dib.begin() + 40 + 12, r.dib.begin() + 40 + 1024), Bytes(1012, 0));
}

TEST(BmpReader, LongerHeadersKeepTheirColourTableBehindTheWholeHeader)
{
    BmpBuilder base;
    base.width = 7;
    base.height = 3;
    base.bits = 8;
    base.clrUsed = 5;
    base.table = Greys(5);
    base.pixels = IndexRows(7, 3, 5);
    const Read plain = ReadBmp(base.Build());
    ASSERT_EQ(plain.status, BmpStatus::kOk);
    for (uint32_t size : {52u, 56u, 64u, 108u, 124u}) {
        for (bool zeroOff : {false, true}) {
            SCOPED_TRACE(size);
            BmpBuilder b = base;
            b.biSize = size;
            b.headerTail = Bytes(size - 40, 0x33);  // not colours: must not be read as such
            b.zeroOffBits = zeroOff;
            const Read r = ReadBmp(b.Build());
            ASSERT_EQ(r.status, BmpStatus::kOk);
            EXPECT_EQ(r.dib, plain.dib);
        }
    }
    for (uint32_t size : {12u, 16u, 39u, 125u, 0xFFFFFFFFu}) {
        BmpBuilder b = base;
        b.biSize = size;
        EXPECT_EQ(ReadBmp(b.Build()).status, BmpStatus::kUnsupportedHeader) << size;
    }
}

TEST(BmpReader, TopDownFilesBecomeBottomUp)
{
    BmpBuilder up;
    up.width = 5;
    up.height = 4;
    up.pixels = Bytes(16 * 4);
    for (size_t i = 0; i < up.pixels.size(); ++i)
        up.pixels[i] = uint8_t(i * 7);
    BmpBuilder down = up;
    down.height = -4;
    for (int y = 0; y < 4; ++y)
        std::copy(up.pixels.begin() + 16 * (3 - y), up.pixels.begin() + 16 * (4 - y),
                  down.pixels.begin() + 16 * y);
    const Read a = ReadBmp(up.Build());
    const Read b = ReadBmp(down.Build());
    ASSERT_EQ(a.status, BmpStatus::kOk);
    ASSERT_EQ(b.status, BmpStatus::kOk);
    EXPECT_EQ(a.dib, b.dib);
    EXPECT_EQ(HeaderOf(b.dib).biHeight, 4);

    // A top-down picture cut short loses its bottom rows, not its top.
    Bytes file = down.Build();
    file.resize(file.size() - 16 - 5);
    const Read cut = ReadBmp(file);
    ASSERT_EQ(cut.status, BmpStatus::kOk);
    EXPECT_EQ(Bytes(cut.dib.begin() + 40, cut.dib.begin() + 56), Bytes(16, 0));
    EXPECT_EQ(Bytes(cut.dib.begin() + 56, cut.dib.begin() + 56 + 11),
              Bytes(a.dib.begin() + 56, a.dib.begin() + 56 + 11));
    EXPECT_EQ(Bytes(cut.dib.begin() + 56 + 11, cut.dib.begin() + 72), Bytes(5, 0));
    EXPECT_EQ(Bytes(cut.dib.begin() + 72, cut.dib.end()), Bytes(a.dib.begin() + 72, a.dib.end()));
}

TEST(BmpReader, BitFieldsAreWidenedToEightBitsPerChannel)
{
    BmpBuilder b;
    b.width = 4;
    b.height = 1;
    b.bits = 16;
    b.compression = kBiBitfields;
    b.masks = Masks(0xF800, 0x07E0, 0x001F);
    b.clrUsed = 2;  // a suggested palette behind the masks: skipped
    b.table = Greys(2);
    b.pixels = Bytes(8);
    Put16(b.pixels, 0, 0xFFFF);
    Put16(b.pixels, 2, 0x8410);  // 16 of 31, 32 of 63, 16 of 31
    Put16(b.pixels, 4, 0x0841);  // 1, 2, 1
    Put16(b.pixels, 6, 0xF800);
    for (bool zeroOff : {false, true}) {
        b.zeroOffBits = zeroOff;
        const Read r = ReadBmp(b.Build());
        ASSERT_EQ(r.status, BmpStatus::kOk);
        EXPECT_EQ(HeaderOf(r.dib).biBitCount, 24);
        EXPECT_EQ(HeaderOf(r.dib).biClrUsed, 0u);
        EXPECT_EQ(Bytes(r.dib.begin() + 40, r.dib.end()),
                  (Bytes{255, 255, 255, 132, 130, 132, 8, 8, 8, 0, 0, 255}));
    }

    // The same masks inside a V4 header; 32 bits with wide channels keep
    // their top 8 bits.
    BmpBuilder v4;
    v4.biSize = 108;
    v4.width = 2;
    v4.height = 1;
    v4.bits = 32;
    v4.compression = kBiBitfields;
    v4.headerTail = Masks(0x3FF00000, 0x000FFC00, 0x000003FF);
    v4.pixels = Bytes(8);
    Put32(v4.pixels, 0, 0x3FFFFFFF);
    Put32(v4.pixels, 4, 0x20080200);  // 512 of 1023 in each channel
    const Read r = ReadBmp(v4.Build());
    ASSERT_EQ(r.status, BmpStatus::kOk);
    EXPECT_EQ(Bytes(r.dib.begin() + 40, r.dib.end()), (Bytes{255, 255, 255, 128, 128, 128, 0, 0}));
}

TEST(BmpReader, UnusableMasksAreRefused)
{
    const struct { uint16_t bits; uint32_t r, g, b; } cases[] = {
        {16, 0xF800, 0x0FE0, 0x001F},   // red and green share a bit
        {16, 0xF000, 0x07E0, 0x001F | 0x0100},  // blue has a gap
        {16, 0x1F0000, 0x07E0, 0x001F},  // red outside 16 bits
        {32, 0xFF000000, 0x00FF0000, 0xFF000000},
    };
    for (const auto& c : cases) {
        BmpBuilder b;
        b.bits = c.bits;
        b.compression = kBiBitfields;
        b.masks = Masks(c.r, c.g, c.b);
        b.pixels = Bytes(32);
        EXPECT_EQ(ReadBmp(b.Build()).status, BmpStatus::kBadMasks) << std::hex << c.r;
    }
    // Masks the file does not hold.
    BmpBuilder b;
    b.bits = 16;
    b.compression = kBiBitfields;
    Bytes file = b.Build();
    file.resize(14 + 40 + 6);
    EXPECT_EQ(ReadBmp(file).status, BmpStatus::kTooShort);
}

TEST(BmpReader, SizesBeyondTheLimitsAreRefusedBeforeAnyAllocation)
{
    const auto plan = [](int32_t w, int32_t h, uint16_t bits) {
        BmpBuilder b;
        b.width = w;
        b.height = h;
        b.bits = bits;
        b.table = Bytes(bits <= 8 ? 4u << bits : 0);
        b.pixels = Bytes(64);
        Bytes file = b.Build();
        BmpPlan p;
        BmpStatus s = PlanBmpRead(file.data(), file.size(), &p);
        return std::make_pair(s, p.dibSize);
    };
    EXPECT_EQ(plan(65535, 1, 8).first, BmpStatus::kOk);
    EXPECT_EQ(plan(65536, 1, 8).first, BmpStatus::kTooLarge);
    EXPECT_EQ(plan(1, 65536, 8).first, BmpStatus::kTooLarge);
    EXPECT_EQ(plan(1, -65536, 8).first, BmpStatus::kTooLarge);
    EXPECT_EQ(plan(1, INT32_MIN, 8).first, BmpStatus::kTooLarge);
    EXPECT_EQ(plan(65535, 65535, 8).first, BmpStatus::kTooLarge);
    // 512 MiB of result is the most: 16384 x 10922 x 3 fits, one row more does not.
    const auto fits = plan(16384, 10922, 24);
    EXPECT_EQ(fits.first, BmpStatus::kOk);
    EXPECT_EQ(fits.second, 40u + 16384u * 3 * 10922);
    EXPECT_EQ(plan(16384, 10923, 24).first, BmpStatus::kTooLarge);
    // 16 and 32 bits are limited by their 24-bit result.
    EXPECT_EQ(plan(16384, 10922, 32).first, BmpStatus::kOk);
    EXPECT_EQ(plan(0, 1, 8).first, BmpStatus::kBadHeader);
    EXPECT_EQ(plan(-5, 1, 8).first, BmpStatus::kBadHeader);
    EXPECT_EQ(plan(5, 0, 8).first, BmpStatus::kBadHeader);
}

TEST(BmpReader, HeaderFieldsThatContradictTheFileAreRefused)
{
    BmpBuilder base;
    base.bits = 8;
    base.clrUsed = 4;
    base.table = Greys(4);
    base.pixels = IndexRows(4, 2, 4);
    ASSERT_EQ(ReadBmp(base.Build()).status, BmpStatus::kOk);

    BmpBuilder b = base;
    b.clrUsed = 1u << 30;  // a table far larger than the file
    EXPECT_EQ(ReadBmp(b.Build()).status, BmpStatus::kBadColorTable);
    b = base;
    b.sizeImage = 0x7FFFFFFF;  // more bits than picture and file together
    EXPECT_EQ(ReadBmp(b.Build()).status, BmpStatus::kBadHeader);
    b.sizeImage = 8 + 2;  // a little slack behind the rows is common
    b.pixels.resize(10);
    EXPECT_EQ(ReadBmp(b.Build()).status, BmpStatus::kOk);
    b = base;
    b.planes = 2;
    EXPECT_EQ(ReadBmp(b.Build()).status, BmpStatus::kBadHeader);

    Bytes file = base.Build();
    Put32(file, 10, uint32_t(file.size() + 1));  // bits behind the end
    EXPECT_EQ(ReadBmp(file).status, BmpStatus::kBadHeader);
    Put32(file, 10, 20);  // bits inside the headers
    EXPECT_EQ(ReadBmp(file).status, BmpStatus::kBadHeader);
    Put32(file, 10, uint32_t(file.size()));  // no bits at all: a picture of 0s
    const Read empty = ReadBmp(file);
    ASSERT_EQ(empty.status, BmpStatus::kOk);
    EXPECT_EQ(Bytes(empty.dib.begin() + 40 + 1024, empty.dib.end()), Bytes(8, 0));
    file[1] = 'A';
    EXPECT_EQ(ReadBmp(file).status, BmpStatus::kNotBmp);
}

TEST(BmpReader, RleFilesAreDecodedAndTheirFaultsRefused)
{
    // 6 x 3 RLE8: a run, an absolute run, a delta, a cut-off last row.
    BmpBuilder b;
    b.width = 6;
    b.height = 3;
    b.bits = 8;
    b.compression = kBiRle8;
    b.clrUsed = 3;
    b.table = Greys(3);
    b.pixels = {6, 1, 0, 0, 0, 3, 2, 1, 2, 0, 0, 2, 1, 0, 1, 1, 0, 0, 2, 2};
    b.sizeImage = uint32_t(b.pixels.size());
    Read r = ReadBmp(b.Build());
    ASSERT_EQ(r.status, BmpStatus::kOk);
    const Bytes rows(r.dib.begin() + 40 + 256 * 4, r.dib.end());
    EXPECT_EQ(rows, (Bytes{1, 1, 1, 1, 1, 1, 0, 0, /**/ 2, 1, 2, 0, 1, 0, 0, 0,  //
                           2, 2, 0, 0, 0, 0, 0, 0}));

    // biSizeImage shorter than the stream: read only that much.
    b.sizeImage = 8;
    r = ReadBmp(b.Build());
    ASSERT_EQ(r.status, BmpStatus::kOk);
    EXPECT_EQ(Bytes(r.dib.begin() + 40 + 1024 + 8, r.dib.begin() + 40 + 1024 + 11), (Bytes{2, 1, 0}));

    b.sizeImage = 0;  // no length: the rest of the file
    b.pixels = {7, 1, 0, 1};  // a run into the row's padding is cut at its end
    r = ReadBmp(b.Build());
    ASSERT_EQ(r.status, BmpStatus::kOk);
    EXPECT_EQ(Bytes(r.dib.begin() + 40 + 1024, r.dib.begin() + 40 + 1024 + 8),
              (Bytes{1, 1, 1, 1, 1, 1, 0, 0}));
    b.bits = 4;
    EXPECT_EQ(ReadBmp(b.Build()).status, BmpStatus::kUnsupportedFormat);
    b.bits = 8;
    b.height = -3;
    EXPECT_EQ(ReadBmp(b.Build()).status, BmpStatus::kUnsupportedFormat);
}

TEST(BmpReader, BuildRefusesAPlanThatDoesNotFit)
{
    BmpBuilder b;
    b.pixels = Bytes(24, 9);
    const Bytes file = b.Build();
    BmpPlan plan;
    ASSERT_EQ(PlanBmpRead(file.data(), file.size(), &plan), BmpStatus::kOk);
    Bytes dib(plan.dibSize + 1);
    EXPECT_EQ(BuildBmpDib(file.data(), file.size(), plan, dib.data(), plan.dibSize - 1),
              BmpStatus::kBadArguments);
    EXPECT_EQ(BuildBmpDib(file.data(), file.size(), plan, dib.data(), plan.dibSize + 1),
              BmpStatus::kBadArguments);
    EXPECT_EQ(BuildBmpDib(file.data(), file.size() - 1, plan, dib.data(), plan.dibSize),
              BmpStatus::kBadArguments);
    BmpPlan forged = plan;
    forged.pixelLength += 100;
    EXPECT_EQ(BuildBmpDib(file.data(), file.size(), forged, dib.data(), plan.dibSize),
              BmpStatus::kBadArguments);
    forged = plan;
    forged.outBitCount = 1;
    EXPECT_EQ(BuildBmpDib(file.data(), file.size(), forged, dib.data(), plan.dibSize),
              BmpStatus::kBadArguments);
    EXPECT_EQ(BuildBmpDib(file.data(), file.size(), plan, dib.data(), plan.dibSize), BmpStatus::kOk);
}

}  // namespace
