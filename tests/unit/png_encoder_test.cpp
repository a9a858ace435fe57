// Kelvo's PNG writer: files that a separate decoder (stb_image) reads back
// to exactly the pixels given, in every filter, from bottom-up and
// top-down rows, true colour and indexed at 1, 4 and 8 bits; chunks with
// correct CRCs; refusals of pictures it cannot write.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <thread>
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

// Walks a zlib stream as a decoder would (after the puff reference
// inflater) and tells the length of every match in it; false for a stream
// it cannot read. The output is counted, not kept.
class MatchLengths {
public:
    explicit MatchLengths(const Bytes& stream) : in_(stream) {}

    bool Read(std::vector<int>* lengths, size_t* produced)
    {
        if (in_.size() < 6)
            return false;
        at_ = 2;
        for (;;) {
            const int last = Bits(1);
            const int type = Bits(2);
            if (failed_)
                return false;
            if (type == 0) {
                bit_ = 0;
                bitCount_ = 0;
                if (at_ + 4 > in_.size())
                    return false;
                const size_t n = in_[at_] | in_[at_ + 1] << 8;
                at_ += 4 + n;
                *produced += n;
            } else if (type == 1) {
                std::vector<int> lengthsOfCodes(288 + 30);
                for (int i = 0; i < 288; ++i)
                    lengthsOfCodes[size_t(i)] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
                for (int i = 0; i < 30; ++i)
                    lengthsOfCodes[size_t(288 + i)] = 5;
                if (!Codes(lengthsOfCodes, 288, 30, lengths, produced))
                    return false;
            } else if (type == 2) {
                const int nlen = Bits(5) + 257, ndist = Bits(5) + 1, ncode = Bits(4) + 4;
                static const int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
                std::vector<int> codeLengths(19, 0);
                for (int i = 0; i < ncode; ++i)
                    codeLengths[size_t(kOrder[i])] = Bits(3);
                Huffman lengthCode(codeLengths);
                std::vector<int> all;
                while (!failed_ && int(all.size()) < nlen + ndist) {
                    const int symbol = Decode(lengthCode);
                    if (symbol < 16) {
                        all.push_back(symbol);
                    } else {
                        int repeat = 0, value = 0;
                        if (symbol == 16) {
                            if (all.empty())
                                return false;
                            value = all.back();
                            repeat = 3 + Bits(2);
                        } else {
                            repeat = symbol == 17 ? 3 + Bits(3) : 11 + Bits(7);
                        }
                        all.insert(all.end(), size_t(repeat), value);
                    }
                }
                if (failed_ || int(all.size()) != nlen + ndist)
                    return false;
                if (!Codes(all, nlen, ndist, lengths, produced))
                    return false;
            } else {
                return false;
            }
            if (failed_)
                return false;
            if (last)
                return true;
        }
    }

private:
    struct Huffman {
        explicit Huffman(const std::vector<int>& lengths) : count(16, 0)
        {
            for (int l : lengths)
                ++count[size_t(l)];
            std::vector<int> offset(16, 0);
            for (size_t l = 1; l < 15; ++l)
                offset[l + 1] = offset[l] + count[l];
            symbol.resize(lengths.size());
            for (size_t s = 0; s < lengths.size(); ++s)
                if (lengths[s])
                    symbol[size_t(offset[size_t(lengths[s])]++)] = int(s);
        }
        std::vector<int> count, symbol;
    };

    int Bits(int need)
    {
        while (bitCount_ < need) {
            if (at_ >= in_.size()) {
                failed_ = true;
                return 0;
            }
            bit_ |= uint32_t(in_[at_++]) << bitCount_;
            bitCount_ += 8;
        }
        const int value = int(bit_ & ((1u << need) - 1));
        bit_ >>= need;
        bitCount_ -= need;
        return value;
    }

    int Decode(const Huffman& h)
    {
        int code = 0, first = 0, index = 0;
        for (size_t l = 1; l < 16; ++l) {
            code |= Bits(1);
            const int count = h.count[l];
            if (code - count < first)
                return h.symbol[size_t(index + (code - first))];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        failed_ = true;
        return 0;
    }

    bool Codes(const std::vector<int>& all, int nlen, int ndist, std::vector<int>* lengths, size_t* produced)
    {
        static const int kBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const int kExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        static const int kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                           6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
        Huffman literal(std::vector<int>(all.begin(), all.begin() + nlen));
        Huffman distance(std::vector<int>(all.begin() + nlen, all.begin() + nlen + ndist));
        for (;;) {
            const int symbol = Decode(literal);
            if (failed_ || symbol > 285)
                return false;
            if (symbol < 256) {
                ++*produced;
            } else if (symbol == 256) {
                return true;
            } else {
                const int length = kBase[symbol - 257] + Bits(kExtra[symbol - 257]);
                const int d = Decode(distance);
                if (failed_ || d > 29)
                    return false;
                Bits(kDistExtra[d]);
                lengths->push_back(length);
                *produced += size_t(length);
            }
        }
    }

    const Bytes& in_;
    size_t at_ = 0;
    uint32_t bit_ = 0;
    int bitCount_ = 0;
    bool failed_ = false;
};

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

// Filtered rows hold every byte value, and there a match of 3 to 5 bytes
// costs more than the literals it stands for; a picture of a few colours
// in random order is full of such short repeats.
TEST(PngEncoder, TakesNoMatchShorterThanSixBytes)
{
    TestPicture t = MakePicture(160, 120, 24, true, 0, 7);
    std::mt19937 random(8);
    uint8_t colours[6][3];
    for (auto& c : colours)
        for (auto& b : c)
            b = uint8_t(random());
    for (uint32_t y = 0; y < 120; ++y)
        for (uint32_t x = 0; x < 160; ++x)
            std::memcpy(&t.rows[y * t.picture.stride + x * 3], colours[random() % 6], 3);
    Bytes png;
    ASSERT_TRUE(EncodePngPicture(t.picture, &png));
    ExpectSamePixels(png, t.picture);
    Bytes stream;
    for (const Chunk& c : ChunksOf(png))
        if (c.type == "IDAT")
            stream.insert(stream.end(), c.data.begin(), c.data.end());
    std::vector<int> lengths;
    size_t produced = 0;
    ASSERT_TRUE(MatchLengths(stream).Read(&lengths, &produced));
    EXPECT_EQ(produced, size_t(120) * (160 * 3 + 1));
    ASSERT_FALSE(lengths.empty());
    size_t shorter = 0;
    for (int l : lengths)
        shorter += l < 6;
    EXPECT_EQ(shorter, 0u) << "of " << lengths.size() << " matches";
}

// The zlib stream of a PNG, decompressed (stb_image's inflater, which does
// not check the Adler-32 itself) and whether its Adler-32 is right.
Bytes Inflated(const Bytes& png, bool* adlerRight)
{
    Bytes stream;
    for (const Chunk& c : ChunksOf(png))
        if (c.type == "IDAT")
            stream.insert(stream.end(), c.data.begin(), c.data.end());
    int length = 0;
    char* data = stbi_zlib_decode_malloc(reinterpret_cast<const char*>(stream.data()), int(stream.size()),
                                         &length);
    Bytes out;
    if (data)
        out.assign(data, data + length);
    stbi_image_free(data);
    uint32_t a = 1, b = 0;
    for (uint8_t byte : out) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    *adlerRight = stream.size() >= 4 && Be32(&stream[stream.size() - 4]) == (b << 16 | a);
    return out;
}

TEST(PngEncoder, BandsOnSeveralThreadsMakeOneStream)
{
    PngEncoding threaded;
    threaded.bands = 3;
    threaded.workers = 2;
    threaded.runWorkers = [](size_t count, const std::function<void(size_t)>& job) {
        std::vector<std::thread> threads;
        for (size_t i = 0; i < count; ++i)
            threads.emplace_back(job, i);
        for (auto& t : threads)
            t.join();
    };
    for (int bits : {24, 8}) {
        SCOPED_TRACE(bits);
        // An odd height: bands of unequal rows; rows alike enough that the
        // filters differ from row to row.
        TestPicture t = MakePicture(301, 733, bits, true, bits == 8 ? 200 : 0, 11);
        for (size_t i = t.picture.stride; i < t.rows.size(); ++i)
            if (i % 7)
                t.rows[i] = t.rows[i - t.picture.stride];
        Bytes whole, banded;
        ASSERT_TRUE(EncodePngPicture(t.picture, &whole));
        ASSERT_TRUE(EncodePngPicture(t.picture, &banded, threaded));
        ExpectSamePixels(banded, t.picture);
        bool wholeAdler = false, bandedAdler = false;
        const Bytes rows = Inflated(banded, &bandedAdler);
        // Every row of every band, filtered as in one band, and the stream's
        // checksum over all of them.
        EXPECT_EQ(rows.size(), size_t(733) * ((301 * size_t(bits) + 7) / 8 + 1));
        EXPECT_EQ(rows, Inflated(whole, &wholeAdler));
        EXPECT_TRUE(bandedAdler);
        EXPECT_TRUE(wholeAdler);
        EXPECT_NE(banded, whole);
    }
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
