// RLE8/RLE4 codec: round trips of the awkward pictures, the shape of the
// streams the encoder writes, and the decoder's handling of hostile ones.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "picture/rle.h"
#include "picture_support.h"

namespace {

using picture_test::Bytes;
using Pixels = std::vector<uint8_t>;  // one index per pixel, bottom row first

constexpr uint8_t kGuard = 0xAB;

uint64_t Stride(uint32_t width, unsigned bits) { return DibRowSize(width, uint16_t(bits)); }

// Packs pixel indices into padded rows; padding (and the spare nibble of
// an odd RLE4 row) gets garbage that the encoder must ignore.
Bytes Pack(const Pixels& px, uint32_t width, uint32_t height, unsigned bits, uint8_t garbage = 0x5A)
{
    const uint64_t stride = Stride(width, bits);
    Bytes rows(size_t(stride * height), garbage);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = &rows[size_t(y * stride)];
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t v = px[size_t(y) * width + x];
            if (bits == 8) {
                row[x] = v;
            } else if (x % 2 == 0) {
                row[x / 2] = uint8_t((v & 15) << 4 | (row[x / 2] & 15));
            } else {
                row[x / 2] = uint8_t((row[x / 2] & 0xF0) | (v & 15));
            }
        }
    }
    return rows;
}

Pixels Unpack(const Bytes& rows, uint32_t width, uint32_t height, unsigned bits)
{
    const uint64_t stride = Stride(width, bits);
    Pixels px(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = &rows[size_t(y * stride)];
        for (uint32_t x = 0; x < width; ++x)
            px[size_t(y) * width + x] = bits == 8 ? row[x] : (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
    }
    return px;
}

uint32_t Compression(unsigned bits) { return bits == 8 ? kBiRle8 : kBiRle4; }

// Walks a stream as a strict reader: every row covered exactly, closed by
// an end of line, then one end of bitmap and nothing after; absolute runs
// of 3 or more with zero padding; no deltas. Empty string when it holds.
std::string ShapeFault(const Bytes& s, uint32_t width, uint32_t height, unsigned bits)
{
    size_t pos = 0;
    uint32_t x = 0, y = 0;
    while (pos + 2 <= s.size()) {
        uint32_t c = s[pos], v = s[pos + 1];
        pos += 2;
        if (c) {
            x += c;
        } else if (v == 0) {
            if (x != width)
                return "row " + std::to_string(y) + " covers " + std::to_string(x) + " pixels";
            x = 0;
            ++y;
        } else if (v == 1) {
            if (y != height || x != 0)
                return "end of bitmap after " + std::to_string(y) + " rows";
            return pos == s.size() ? "" : "bytes after the end of bitmap";
        } else if (v == 2) {
            return "delta";
        } else {
            size_t bytes = bits == 8 ? v : (v + 1) / 2;
            if (pos + bytes + (bytes & 1) > s.size())
                return "absolute run past the end";
            if (bits == 4 && (v & 1) && (s[pos + bytes - 1] & 15))
                return "spare nibble not zero";
            if ((bytes & 1) && s[pos + bytes] != 0)
                return "padding byte not zero";
            pos += bytes + (bytes & 1);
            x += v;
        }
        if (x > width)
            return "row " + std::to_string(y) + " overrun";
    }
    return "no end of bitmap";
}

// Encodes, checks the stream's shape and size, decodes, and compares.
void RoundTrip(const Pixels& px, uint32_t width, uint32_t height, unsigned bits,
               const std::string& what)
{
    SCOPED_TRACE(what + " (" + std::to_string(width) + "x" + std::to_string(height) + ", " +
                 std::to_string(bits) + " bits)");
    const Bytes rows = Pack(px, width, height, bits);
    const uint64_t max = RleMaxEncodedSize(width, height);
    Bytes out(size_t(max) + 16, kGuard);
    const size_t n = RleEncode(Compression(bits), rows.data(), rows.size(), width, height,
                               out.data(), size_t(max));
    ASSERT_GT(n, 0u);
    ASSERT_LE(n, max);
    for (size_t i = size_t(max); i < out.size(); ++i)
        ASSERT_EQ(out[i], kGuard) << "encoder wrote past its buffer";
    out.resize(n);
    ASSERT_EQ(ShapeFault(out, width, height, bits), "");

    Bytes back(rows.size() + 16, kGuard);
    ASSERT_EQ(RleDecode(Compression(bits), out.data(), out.size(), width, height, back.data(),
                        rows.size()),
              RleResult::kComplete);
    for (size_t i = rows.size(); i < back.size(); ++i)
        ASSERT_EQ(back[i], kGuard) << "decoder wrote past its buffer";
    back.resize(rows.size());
    ASSERT_EQ(Unpack(back, width, height, bits), px);
    // The decoder leaves padding at 0, whatever the source had there.
    ASSERT_EQ(back, Pack(px, width, height, bits, 0));
}

void RoundTripBoth(const Pixels& px, uint32_t width, uint32_t height, const std::string& what)
{
    RoundTrip(px, width, height, 8, what);
    Pixels four(px);
    for (auto& v : four)
        v &= 15;
    RoundTrip(four, width, height, 4, what);
}

// A row built from runs: {length, value} pairs, repeated for each row.
Pixels Runs(std::initializer_list<std::pair<uint32_t, uint8_t>> runs, uint32_t height, uint32_t* width)
{
    Pixels row;
    for (auto [n, v] : runs)
        row.insert(row.end(), n, v);
    *width = uint32_t(row.size());
    Pixels px;
    for (uint32_t y = 0; y < height; ++y)
        px.insert(px.end(), row.begin(), row.end());
    return px;
}

// Distinct neighbours everywhere: nothing but runs of 1.
Pixels NoRuns(uint32_t count, uint8_t mod)
{
    Pixels px(count);
    for (uint32_t i = 0; i < count; ++i)
        px[i] = uint8_t(i % mod);
    return px;
}

TEST(RleRoundTrip, RunsOfOneAndAlternatingPixels)
{
    RoundTripBoth(NoRuns(1000, 251), 1000, 1, "all different");
    RoundTripBoth(NoRuns(7 * 9, 13), 7, 9, "all different, small");
    Pixels alt(513 * 3);
    for (size_t i = 0; i < alt.size(); ++i)
        alt[i] = i % 2 ? 3 : 9;
    RoundTripBoth(alt, 513, 3, "two alternating colours");
}

TEST(RleRoundTrip, LongRunsAcrossTheCountLimit)
{
    for (uint32_t n : {2u, 3u, 4u, 5u, 127u, 128u, 253u, 254u, 255u, 256u, 257u, 509u, 510u, 511u, 1000u}) {
        uint32_t w;
        Pixels px = Runs({{1, 1}, {n, 2}, {1, 3}}, 2, &w);
        RoundTripBoth(px, w, 2, "run of " + std::to_string(n) + " between singles");
        px = Runs({{n, 5}}, 1, &w);
        RoundTripBoth(px, w, 1, "row that is one run of " + std::to_string(n));
    }
}

TEST(RleRoundTrip, AbsoluteRunsOfEveryAwkwardLength)
{
    for (uint32_t n : {1u, 2u, 3u, 4u, 5u, 253u, 254u, 255u, 256u, 257u, 258u, 508u, 509u, 763u}) {
        Pixels lit = NoRuns(n, 200);
        uint32_t w = n + 20;
        Pixels px;
        px.insert(px.end(), 10, 250);
        px.insert(px.end(), lit.begin(), lit.end());
        px.insert(px.end(), 10, 251);
        RoundTripBoth(px, w, 1, "literal of " + std::to_string(n));
        RoundTripBoth(lit, n, 1, "row that is one literal of " + std::to_string(n));
    }
}

TEST(RleRoundTrip, RowsEndingInsideARun)
{
    // One colour everywhere: every run is cut by the row end, never carried on.
    for (uint32_t w : {1u, 2u, 3u, 63u, 64u, 65u, 128u, 129u, 255u, 256u, 300u, 511u}) {
        RoundTripBoth(Pixels(size_t(w) * 5, 6), w, 5, "one colour");
        Pixels px(size_t(w) * 4);
        for (size_t i = 0; i < px.size(); ++i)
            px[i] = uint8_t(i / (w / 2 + 1) % 2 + 1);  // runs that straddle row ends
        RoundTripBoth(px, w, 4, "runs straddling rows");
    }
}

TEST(RleRoundTrip, OddWidthsKeepTheLastNibble)
{
    for (uint32_t w : {1u, 3u, 5u, 7u, 127u, 255u, 257u, 509u}) {
        Pixels px(size_t(w) * 3);
        for (size_t i = 0; i < px.size(); ++i)
            px[i] = uint8_t((i * 7 + i / 5) % 16);
        px[w - 1] = 15;  // last pixel of the bottom row
        RoundTrip(px, w, 3, 4, "mixed");
        RoundTrip(Pixels(size_t(w) * 2, 9), w, 2, 4, "one colour");
        // A run that ends on the last, unpaired pixel.
        Pixels tail(size_t(w), 1);
        for (uint32_t x = w / 2; x < w; ++x)
            tail[x] = 12;
        RoundTrip(tail, w, 1, 4, "run into the last nibble");
    }
}

TEST(RleRoundTrip, SingleRowAndSingleColumn)
{
    RoundTripBoth({4}, 1, 1, "one pixel");
    Pixels column(300);
    for (size_t i = 0; i < column.size(); ++i)
        column[i] = uint8_t(i / 3 % 7);
    RoundTripBoth(column, 1, 300, "single column");
    Pixels row(4000);
    for (size_t i = 0; i < row.size(); ++i)
        row[i] = uint8_t(i % 97 < 60 ? 1 : i % 5);
    RoundTripBoth(row, 4000, 1, "single row");
}

TEST(RleRoundTrip, RandomPicturesWithFixedSeed)
{
    std::mt19937 rng(20240611);
    for (int round = 0; round < 300; ++round) {
        const uint32_t width = 1 + rng() % 700;
        const uint32_t height = 1 + rng() % 6;
        const unsigned colours = 1 + rng() % 16;
        Pixels px;
        while (px.size() < size_t(width) * height) {
            // Runs of screen-like lengths, and noise like anti-aliased text.
            if (rng() % 3) {
                uint32_t n = rng() % 4 ? 1 + rng() % 8 : 1 + rng() % 600;
                px.insert(px.end(), n, uint8_t(rng() % colours * 17));
            } else {
                for (uint32_t n = rng() % 40; n > 0; --n)
                    px.push_back(uint8_t(rng()));
            }
        }
        px.resize(size_t(width) * height);
        RoundTripBoth(px, width, height, "random picture " + std::to_string(round));
        if (HasFatalFailure())
            return;
    }
}

TEST(RleRoundTrip, WorstCasePatternsStayWithinTheAnnouncedSize)
{
    // Short runs broken by single pixels are the costliest input; search
    // random two-colour pictures for the largest stream per pixel.
    std::mt19937 rng(7);
    double worst = 0;
    for (int round = 0; round < 400; ++round) {
        const uint32_t width = 1 + rng() % 64;
        Pixels px;
        uint8_t v = 0;
        while (px.size() < width) {
            px.insert(px.end(), 1 + rng() % 5, v);
            v = uint8_t(v + 1 + rng() % 2);
        }
        px.resize(width);
        for (unsigned bits : {8u, 4u}) {
            Pixels p(px);
            if (bits == 4)
                for (auto& x : p)
                    x &= 15;
            RoundTrip(p, width, 1, bits, "pattern " + std::to_string(round));
            Bytes rows = Pack(p, width, 1, bits);
            Bytes out(size_t(RleMaxEncodedSize(width, 1)));
            size_t n = RleEncode(Compression(bits), rows.data(), rows.size(), width, 1,
                                 out.data(), out.size());
            worst = std::max(worst, double(n) / double(out.size()));
        }
    }
    EXPECT_LE(worst, 1.0);
    EXPECT_GT(worst, 0.6);  // the bound is not far above what really happens
}

TEST(RleEncode, LongRunsCompressAndUsesNoMoreThanItMust)
{
    // A 1920-pixel row of one colour: 8 encoded runs (7 x 255 + 135).
    const uint32_t w = 1920;
    Bytes rows(w * 2, 4);
    Bytes out(size_t(RleMaxEncodedSize(w, 2)));
    size_t n = RleEncode(kBiRle8, rows.data(), rows.size(), w, 2, out.data(), out.size());
    EXPECT_EQ(n, 2 * (8 * 2 + 2) + 2u);
    n = RleEncode(kBiRle4, rows.data(), w, w, 2, out.data(), out.size());
    EXPECT_EQ(n, 2 * (8 * 2 + 2) + 2u);  // 254-pixel runs in RLE4
}

TEST(RleEncode, RefusesUnusableArguments)
{
    Bytes rows(64, 0);
    Bytes out(size_t(RleMaxEncodedSize(8, 8)));
    EXPECT_EQ(RleEncode(kBiRle8, rows.data(), rows.size(), 8, 8, out.data(), out.size() - 1), 0u);
    EXPECT_EQ(RleEncode(kBiRle8, rows.data(), rows.size() - 1, 8, 8, out.data(), out.size()), 0u);
    EXPECT_EQ(RleEncode(kBiRgb, rows.data(), rows.size(), 8, 8, out.data(), out.size()), 0u);
    EXPECT_EQ(RleEncode(kBiRle8, rows.data(), rows.size(), 0, 8, out.data(), out.size()), 0u);
    EXPECT_EQ(RleEncode(kBiRle8, rows.data(), rows.size(), 8, 0, out.data(), out.size()), 0u);
    EXPECT_GT(RleEncode(kBiRle8, rows.data(), rows.size(), 8, 8, out.data(), out.size()), 0u);
    // Sizes whose worst case cannot be held anywhere.
    EXPECT_EQ(RleMaxEncodedSize(0xFFFFFFFF, 0xFFFFFFFF), UINT64_MAX);
    EXPECT_EQ(RleMaxEncodedSize(1920, 1080), 1080ull * 3842 + 2);
}

// Decodes a hand-written stream into w x h rows with guard bytes behind.
RleResult Decode(unsigned bits, const Bytes& stream, uint32_t w, uint32_t h, Pixels* px)
{
    const size_t size = size_t(Stride(w, bits) * h);
    Bytes rows(size + 8, 0xEE);
    std::fill(rows.begin(), rows.begin() + size, 0xCD);  // must come out zeroed
    RleResult r = RleDecode(Compression(bits), stream.data(), stream.size(), w, h, rows.data(), size);
    for (size_t i = size; i < rows.size(); ++i)
        EXPECT_EQ(rows[i], 0xEE) << "decoder wrote past its rows";
    rows.resize(size);
    *px = Unpack(rows, w, h, bits);
    if (r == RleResult::kComplete || r == RleResult::kTruncated) {
        EXPECT_EQ(rows, Pack(*px, w, h, bits, 0)) << "row padding not cleared";
    }
    return r;
}

TEST(RleDecode, DeltaAndEarlyEndsLeaveSkippedPixelsAtZero)
{
    Pixels px;
    // Row 0: 2 x 7, delta right 1 and up 1; row 1: 1 x 8 at x 3; end of bitmap.
    EXPECT_EQ(Decode(8, {2, 7, 0, 2, 1, 1, 1, 8, 0, 1}, 5, 3, &px), RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{7, 7, 0, 0, 0, /**/ 0, 0, 0, 8, 0, /**/ 0, 0, 0, 0, 0}));
    // An end of line half-way through a row.
    EXPECT_EQ(Decode(8, {1, 5, 0, 0, 0, 3, 1, 2, 3, 0, 0, 0, 1}, 4, 2, &px), RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{5, 0, 0, 0, /**/ 1, 2, 3, 0}));
    // RLE4 delta onto an odd pixel, then an encoded and an absolute run there.
    EXPECT_EQ(Decode(4, {0, 2, 1, 0, 3, 0xAB, 0, 0, 0, 2, 1, 0, 0, 3, 0x12, 0x30, 0, 1}, 5, 2, &px),
              RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{0, 10, 11, 10, 0, /**/ 0, 1, 2, 3, 0}));
}

TEST(RleDecode, Rle4RunsThatStartOnAnOddPixelKeepTheirNeighbour)
{
    // Streams of other encoders: runs of odd length put the next run on the
    // low nibble of a byte whose high nibble is already drawn.
    Pixels px;
    EXPECT_EQ(Decode(4, {3, 0x12, 3, 0x34, 0, 1}, 6, 1, &px), RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{1, 2, 1, 3, 4, 3}));
    EXPECT_EQ(Decode(4, {1, 0x50, 0, 5, 0x12, 0x34, 0x50, 0, 2, 0x67, 0, 1}, 8, 1, &px),
              RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{5, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(Decode(4, {1, 0x90, 0, 4, 0xAB, 0xCD, 1, 0xE0, 0, 1}, 6, 1, &px), RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{9, 10, 11, 12, 13, 14}));
}

TEST(RleDecode, CutStreamsAreToleratedWithTheRestZero)
{
    Pixels px;
    // No end of bitmap, rows missing.
    EXPECT_EQ(Decode(8, {3, 9, 0, 0}, 3, 3, &px), RleResult::kTruncated);
    EXPECT_EQ(px, (Pixels{9, 9, 9, 0, 0, 0, 0, 0, 0}));
    // Cut inside an absolute run: the bytes that arrived are kept.
    EXPECT_EQ(Decode(8, {0, 5, 1, 2}, 6, 1, &px), RleResult::kTruncated);
    EXPECT_EQ(px, (Pixels{1, 2, 0, 0, 0, 0}));
    EXPECT_EQ(Decode(4, {0, 6, 0x12, 0x34}, 6, 1, &px), RleResult::kTruncated);
    EXPECT_EQ(px, (Pixels{1, 2, 3, 4, 0, 0}));
    // Cut inside a delta, after a lone count byte, or before anything.
    EXPECT_EQ(Decode(8, {1, 1, 0, 2, 1}, 2, 2, &px), RleResult::kTruncated);
    EXPECT_EQ(Decode(8, {1}, 2, 2, &px), RleResult::kTruncated);
    EXPECT_EQ(Decode(8, {}, 2, 2, &px), RleResult::kTruncated);
    EXPECT_EQ(px, Pixels(4, 0));
    // An absolute run whose padding byte is missing is complete in itself.
    EXPECT_EQ(Decode(8, {0, 3, 1, 2, 3}, 3, 1, &px), RleResult::kTruncated);
    EXPECT_EQ(px, (Pixels{1, 2, 3}));
}

TEST(RleDecode, RunsPastTheRowKeepOnlyTheirPixelsInsideIt)
{
    Pixels px;
    // Encoded and absolute runs into the row's padding, in both formats.
    EXPECT_EQ(Decode(8, {5, 1, 0, 0, 3, 2, 0, 1}, 4, 2, &px), RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{1, 1, 1, 1, 2, 2, 2, 0}));
    EXPECT_EQ(Decode(8, {2, 1, 3, 7, 1, 9, 0, 1}, 4, 1, &px), RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{1, 1, 7, 7}));
    // The absolute run's bytes are all read, padding byte included.
    EXPECT_EQ(Decode(8, {0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 1, 6, 0, 1}, 4, 2, &px), RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{1, 2, 3, 4, 6, 0, 0, 0}));
    EXPECT_EQ(Decode(4, {4, 0x12, 0, 1}, 3, 1, &px), RleResult::kComplete);  // the spare nibble
    EXPECT_EQ(px, (Pixels{1, 2, 1}));
    EXPECT_EQ(Decode(4, {0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 2, 0x67, 0, 1}, 3, 2, &px),
              RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{1, 2, 3, 6, 7, 0}));
    // A run cut short by the stream's end is clipped too.
    EXPECT_EQ(Decode(8, {0, 9, 1, 2, 3}, 2, 1, &px), RleResult::kTruncated);
    EXPECT_EQ(px, (Pixels{1, 2}));
}

TEST(RleDecode, DeltasPastTheRowOrTopEndThatRowOrThePicture)
{
    Pixels px;
    // Past the row's end: nothing more in that row.
    EXPECT_EQ(Decode(8, {0, 2, 5, 0, 3, 3, 0, 0, 1, 4, 0, 1}, 4, 2, &px), RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{0, 0, 0, 0, 4, 0, 0, 0}));
    // Past the top: the picture ends with what was drawn.
    EXPECT_EQ(Decode(8, {1, 1, 0, 2, 0, 3, 2, 2}, 4, 2, &px), RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Decode(8, {1, 1, 0, 2, 255, 255, 1, 2}, 4, 2, &px), RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{1, 0, 0, 0, 0, 0, 0, 0}));
    // A delta onto the row above the top, or the last end of line, ends the
    // picture; what follows is never drawn.
    EXPECT_EQ(Decode(8, {1, 1, 0, 2, 0, 2, 9, 9}, 4, 2, &px), RleResult::kComplete);
    EXPECT_EQ(Decode(8, {1, 1, 0, 0, 1, 2, 0, 0, 200, 3, 0, 1}, 4, 2, &px), RleResult::kComplete);
    EXPECT_EQ(px, (Pixels{1, 0, 0, 0, 2, 0, 0, 0}));
}

TEST(RleDecode, RefusesUnusableArguments)
{
    Bytes rows(16);
    const Bytes s = {0, 1};
    EXPECT_EQ(RleDecode(kBiRle8, s.data(), s.size(), 4, 4, rows.data(), 15), RleResult::kBadArguments);
    EXPECT_EQ(RleDecode(kBiRgb, s.data(), s.size(), 4, 4, rows.data(), 16), RleResult::kBadArguments);
    EXPECT_EQ(RleDecode(kBiRle8, s.data(), s.size(), 0, 4, rows.data(), 16), RleResult::kBadArguments);
    EXPECT_EQ(RleDecode(kBiRle8, s.data(), s.size(), 0xFFFFFFFF, 0xFFFFFFFF, rows.data(), 16),
              RleResult::kBadArguments);
    EXPECT_EQ(RleDecode(kBiRle8, s.data(), s.size(), 4, 4, rows.data(), 16), RleResult::kComplete);
}

// A pixel-at-a-time reading of a stream, slow and plain, with the same
// rules: pixels past the row's end are dropped, and leaving the top ends
// the picture.
RleResult ReferenceDecode(unsigned bits, const Bytes& s, uint32_t w, uint32_t h, Pixels* px)
{
    px->assign(size_t(w) * h, 0);
    size_t pos = 0;
    uint32_t x = 0, y = 0;
    const auto put = [&](uint8_t v) {
        if (x < w)
            (*px)[size_t(y) * w + x] = v;
        ++x;
    };
    while (pos + 2 <= s.size()) {
        const uint32_t c = s[pos], v = s[pos + 1];
        pos += 2;
        if (c) {
            for (uint32_t i = 0; i < c; ++i)
                put(uint8_t(bits == 8 ? v : (i % 2 ? v & 15 : v >> 4)));
        } else if (v == 0) {
            x = 0;
            if (++y == h)
                return RleResult::kComplete;
        } else if (v == 1) {
            return RleResult::kComplete;
        } else if (v == 2) {
            if (pos + 2 > s.size())
                return RleResult::kTruncated;
            x += s[pos];
            y += s[pos + 1];
            pos += 2;
            if (y >= h)
                return RleResult::kComplete;
        } else {
            for (uint32_t i = 0; i < v; ++i) {
                const size_t at = pos + (bits == 8 ? i : i / 2);
                if (at >= s.size())
                    return RleResult::kTruncated;
                put(uint8_t(bits == 8 ? s[at] : (i % 2 ? s[at] & 15 : s[at] >> 4)));
            }
            const size_t bytes = bits == 8 ? v : (v + 1) / 2;
            pos += bytes + (bytes & 1);
        }
    }
    return RleResult::kTruncated;
}

TEST(RleDecode, RandomStreamsDecodeLikeAPlainReadingAndStayInBounds)
{
    std::mt19937 rng(99);
    for (int round = 0; round < 6000; ++round) {
        const unsigned bits = round % 2 ? 8 : 4;
        // Wide enough rows for the decoder's 16-byte stores, narrow ones too.
        const uint32_t w = 1 + rng() % (round % 3 ? 90 : 12), h = 1 + rng() % 6;
        Bytes stream;
        for (int ops = rng() % 40; ops > 0; --ops) {
            switch (rng() % 12) {
            case 0:
            case 4: stream.insert(stream.end(), {0, 0}); break;
            case 1: stream.insert(stream.end(), {0, 2, uint8_t(rng() % 20), uint8_t(rng() % 3)}); break;
            case 2: {
                const uint8_t n = uint8_t(3 + rng() % (rng() % 8 ? w / 6 + 1 : 40));
                stream.insert(stream.end(), {0, n});
                for (int k = (bits == 8 ? n : (n + 1) / 2) + (rng() % 2); k > 0; --k)
                    stream.push_back(uint8_t(rng()));
                break;
            }
            case 3: stream.push_back(uint8_t(rng())); break;  // anything at all
            default:
                stream.insert(stream.end(),
                              {uint8_t(1 + rng() % (rng() % 8 ? w / 6 + 1 : 40)), uint8_t(rng())});
            }
        }
        if (rng() % 2)
            stream.insert(stream.end(), {0, 1});
        Pixels got, want;
        const RleResult r = Decode(bits, stream, w, h, &got);
        ASSERT_EQ(r, ReferenceDecode(bits, stream, w, h, &want)) << "round " << round;
        ASSERT_EQ(got, want) << "round " << round;
    }
}

TEST(RleCompressDib, KeepsHeaderAndTableAndSetsCompression)
{
    Bytes colors(64);
    for (size_t i = 0; i < colors.size(); ++i)
        colors[i] = uint8_t(i * 3);
    Pixels px(13 * 5);
    for (size_t i = 0; i < px.size(); ++i)
        px[i] = uint8_t(i / 4 % 16);
    Bytes plain = picture_test::MakeDib(13, 5, 4, colors, Pack(px, 13, 5, 4));
    DibHeader h;
    std::memcpy(&h, plain.data(), sizeof h);
    Bytes out(size_t(RleCompressedDibMaxSize(&h)));
    ASSERT_EQ(out.size(), 40 + 64 + RleMaxEncodedSize(13, 5));
    EXPECT_EQ(RleCompressDib(plain.data(), plain.size(), kBiRle8, out.data(), out.size()), 0u);
    EXPECT_EQ(RleCompressDib(plain.data(), plain.size() - 1, kBiRle4, out.data(), out.size()), 0u);
    EXPECT_EQ(RleCompressDib(plain.data(), plain.size(), kBiRle4, out.data(), out.size() - 1), 0u);
    const size_t n = RleCompressDib(plain.data(), plain.size(), kBiRle4, out.data(), out.size());
    ASSERT_GT(n, 0u);
    DibHeader c;
    std::memcpy(&c, out.data(), sizeof c);
    EXPECT_EQ(c.biCompression, kBiRle4);
    EXPECT_EQ(c.biBitCount, 4);
    EXPECT_EQ(c.biWidth, 13);
    EXPECT_EQ(c.biClrUsed, 16u);
    EXPECT_EQ(n, 40 + 64 + c.biSizeImage);
    EXPECT_EQ(Bytes(out.begin() + 40, out.begin() + 104), colors);
    Bytes rows(size_t(Stride(13, 4) * 5));
    ASSERT_EQ(RleDecode(kBiRle4, out.data() + 104, c.biSizeImage, 13, 5, rows.data(), rows.size()),
              RleResult::kComplete);
    EXPECT_EQ(Unpack(rows, 13, 5, 4), px);

    h.biBitCount = 24;
    EXPECT_EQ(RleCompressedDibMaxSize(&h), 0u);
}

}  // namespace
