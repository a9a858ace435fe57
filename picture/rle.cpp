// RLE8/RLE4 encoder and decoder. The encoder scans a word (8 pixels of
// RLE8, 16 of RLE4) at a time, because screen pictures are mostly long
// runs of a few interface colours. RLE4 is segmented by whole bytes: a
// run of equal bytes is a run of two alternating pixels, which an RLE4
// encoded run expresses directly, and every absolute run then starts on a
// byte boundary and is a plain copy.
#include "picture/rle.h"

#include <cstring>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the word-wise run scan assumes a little-endian host"
#endif

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
constexpr uint64_t kHigh = 0x8080808080808080ull;

// A run this long (in bytes) inside a stretch of differing bytes is worth
// closing the absolute run for: it saves as much as the new headers cost.
constexpr size_t kMinRun = 4;

inline uint64_t Load64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline unsigned LowByteIndex(uint64_t v)
{
    return static_cast<unsigned>(__builtin_ctzll(v)) >> 3;
}

// 0x80 in every byte of x that is zero, 0 elsewhere (exact, no borrow
// between bytes).
inline uint64_t ZeroBytes(uint64_t x)
{
    return ~(((x & kLow7) + kLow7) | x) & kHigh;
}

// Length of the run of bytes equal to p[0]; n >= 1 bytes are readable.
inline size_t RunLength(const uint8_t* p, size_t n)
{
    const uint64_t pattern = p[0] * kOnes;
    size_t i = 0;
    while (i + 8 <= n) {
        uint64_t diff = Load64(p + i) ^ pattern;
        if (diff)
            return i + LowByteIndex(diff);
        i += 8;
    }
    while (i < n && p[i] == p[0])
        ++i;
    return i;
}

// First position >= i where kMinRun equal bytes start, or n.
inline size_t FindRun(const uint8_t* p, size_t i, size_t n)
{
    // One step compares bytes i..i+8 pairwise and can report starts i..i+5.
    while (i + 9 <= n) {
        uint64_t eq = ZeroBytes(Load64(p + i) ^ Load64(p + i + 1));
        uint64_t start = eq & (eq >> 8) & (eq >> 16);
        if (start)
            return i + LowByteIndex(start);
        i += 6;
    }
    for (; i + kMinRun <= n; ++i) {
        if (p[i] == p[i + 1] && p[i] == p[i + 2] && p[i] == p[i + 3])
            return i;
    }
    return n;
}

// Emitters of the two formats. Counts given to them are in source bytes.
struct Rle8Writer {
    uint8_t* out;

    void Run(uint8_t value, size_t bytes)
    {
        while (bytes > 255) {
            out[0] = 255;
            out[1] = value;
            out += 2;
            bytes -= 255;
        }
        out[0] = static_cast<uint8_t>(bytes);
        out[1] = value;
        out += 2;
    }

    void Literal(const uint8_t* src, size_t bytes)
    {
        while (bytes > 0) {
            if (bytes < 3) {
                // Too short for an absolute run: one or two encoded runs.
                if (bytes == 2 && src[0] == src[1]) {
                    Run(src[0], 2);
                    return;
                }
                for (size_t k = 0; k < bytes; ++k)
                    Run(src[k], 1);
                return;
            }
            // Chunks of at most 254 (even, so no padding byte), never
            // leaving a tail of 1 or 2 behind.
            size_t chunk = bytes;
            if (chunk > 254)
                chunk = bytes - 254 < 3 ? bytes - 3 : 254;
            out[0] = 0;
            out[1] = static_cast<uint8_t>(chunk);
            std::memcpy(out + 2, src, chunk);
            out += 2 + chunk;
            if (chunk & 1)
                *out++ = 0;
            src += chunk;
            bytes -= chunk;
        }
    }
};

struct Rle4Writer {
    uint8_t* out;

    // A run of equal bytes: pairs of alternating pixels, 127 bytes (254
    // pixels, an even count keeps the phase) per encoded run.
    void Run(uint8_t value, size_t bytes)
    {
        while (bytes > 127) {
            out[0] = 254;
            out[1] = value;
            out += 2;
            bytes -= 127;
        }
        out[0] = static_cast<uint8_t>(bytes * 2);
        out[1] = value;
        out += 2;
    }

    void Literal(const uint8_t* src, size_t bytes)
    {
        while (bytes > 0) {
            if (bytes == 1) {
                // Two pixels: an encoded run of 2 says it in two bytes.
                Run(src[0], 1);
                return;
            }
            size_t chunk = bytes > 127 ? 127 : bytes;
            out[0] = 0;
            out[1] = static_cast<uint8_t>(chunk * 2);
            std::memcpy(out + 2, src, chunk);
            out += 2 + chunk;
            if (chunk & 1)
                *out++ = 0;
            src += chunk;
            bytes -= chunk;
        }
    }
};

template <class Writer>
void EncodeBytes(Writer& w, const uint8_t* p, size_t n)
{
    size_t i = 0;
    while (i < n) {
        size_t j = FindRun(p, i, n);
        if (j > i)
            w.Literal(p + i, j - i);
        if (j == n)
            return;
        size_t run = RunLength(p + j, n - j);
        w.Run(p[j], run);
        i = j + run;
    }
}

inline uint8_t* EndOfLine(uint8_t* out)
{
    out[0] = 0;
    out[1] = 0;
    return out + 2;
}

// Stores of exactly n bytes of value; small runs are the common case in
// text, so they avoid a library call.
inline void FillBytes(uint8_t* dst, uint8_t value, size_t n)
{
    if (n >= 16) {
        std::memset(dst, value, n);
        return;
    }
    const uint64_t pattern = value * kOnes;
    if (n >= 8) {
        std::memcpy(dst, &pattern, 8);
        std::memcpy(dst + n - 8, &pattern, 8);
    } else if (n >= 4) {
        const uint32_t p32 = static_cast<uint32_t>(pattern);
        std::memcpy(dst, &p32, 4);
        std::memcpy(dst + n - 4, &p32, 4);
    } else {
        for (size_t k = 0; k < n; ++k)
            dst[k] = value;
    }
}

// The decoders write each pixel once, left to right, into zeroed rows, so
// a nibble that shares its byte with an earlier pixel is or-ed in.
inline void Fill8(uint8_t* row, uint32_t x, uint32_t count, uint8_t value)
{
    FillBytes(row + x, value, count);
}

inline void Copy8(uint8_t* row, uint32_t x, const uint8_t* src, uint32_t count)
{
    std::memcpy(row + x, src, count);
}

void Fill4(uint8_t* row, uint32_t x, uint32_t count, uint8_t value)
{
    uint8_t first = value >> 4;
    uint8_t second = value & 0x0F;
    if (x & 1) {
        row[x / 2] |= first;
        ++x;
        --count;
        uint8_t t = first;
        first = second;
        second = t;
    }
    uint32_t bytes = count / 2;
    FillBytes(row + x / 2, static_cast<uint8_t>(first << 4 | second), bytes);
    if (count & 1)
        row[x / 2 + bytes] = static_cast<uint8_t>(first << 4);
}

void Copy4(uint8_t* row, uint32_t x, const uint8_t* src, uint32_t count)
{
    if ((x & 1) == 0) {
        uint8_t* dst = row + x / 2;
        std::memcpy(dst, src, count / 2);
        if (count & 1)
            dst[count / 2] = src[count / 2] & 0xF0;
        return;
    }
    row[x / 2] |= src[0] >> 4;
    uint8_t* dst = row + x / 2 + 1;
    uint32_t rest = count - 1;
    for (uint32_t k = 0; k < rest / 2; ++k)
        dst[k] = static_cast<uint8_t>(src[k] << 4 | src[k + 1] >> 4);
    if (rest & 1)
        dst[rest / 2] = static_cast<uint8_t>(src[rest / 2] << 4);
}

// True when height rows of stride bytes fit in size bytes (no overflow).
bool RowsFit(uint64_t stride, uint32_t height, size_t size)
{
    return stride != 0 && height <= size / stride;
}

unsigned BitsOf(uint32_t compression)
{
    if (compression == kBiRle8)
        return 8;
    if (compression == kBiRle4)
        return 4;
    return 0;
}

}  // namespace

uint64_t RleMaxEncodedSize(uint32_t width, uint32_t height)
{
    const uint64_t perRow = 2 * uint64_t{width} + 2;
    if (height > (UINT64_MAX - 2) / perRow)
        return UINT64_MAX;  // no buffer is that large
    return uint64_t{height} * perRow + 2;
}

size_t RleEncode(uint32_t compression, const uint8_t* rows, size_t rowsSize,
                 uint32_t width, uint32_t height, uint8_t* out, size_t outCapacity)
{
    const unsigned bits = BitsOf(compression);
    if (bits == 0 || width == 0 || height == 0 || !rows || !out)
        return 0;
    const uint64_t stride = DibRowSize(width, static_cast<uint16_t>(bits));
    if (!RowsFit(stride, height, rowsSize) || RleMaxEncodedSize(width, height) > outCapacity)
        return 0;

    uint8_t* const start = out;
    if (bits == 8) {
        Rle8Writer w{out};
        for (uint32_t y = 0; y < height; ++y) {
            EncodeBytes(w, rows + y * stride, width);
            w.out = EndOfLine(w.out);
        }
        out = w.out;
    } else {
        Rle4Writer w{out};
        const size_t fullBytes = width / 2;
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = rows + y * stride;
            EncodeBytes(w, row, fullBytes);
            if (width & 1) {
                // The last pixel shares its byte with padding.
                w.out[0] = 1;
                w.out[1] = row[fullBytes] & 0xF0;
                w.out += 2;
            }
            w.out = EndOfLine(w.out);
        }
        out = w.out;
    }
    out[0] = 0;
    out[1] = 1;
    out += 2;
    return static_cast<size_t>(out - start);
}

RleResult RleDecode(uint32_t compression, const uint8_t* stream, size_t streamSize,
                    uint32_t width, uint32_t height, uint8_t* rows, size_t rowsSize)
{
    const unsigned bits = BitsOf(compression);
    if (bits == 0 || width == 0 || height == 0 || !rows || (!stream && streamSize))
        return RleResult::kBadArguments;
    const uint64_t stride = DibRowSize(width, static_cast<uint16_t>(bits));
    if (!RowsFit(stride, height, rowsSize))
        return RleResult::kBadArguments;
    std::memset(rows, 0, static_cast<size_t>(stride * height));

    const bool eight = bits == 8;
    size_t pos = 0;
    uint32_t x = 0;
    uint32_t y = 0;
    uint8_t* row = rows;
    for (;;) {
        if (streamSize - pos < 2)
            return RleResult::kTruncated;
        const uint32_t count = stream[pos];
        const uint8_t value = stream[pos + 1];
        pos += 2;
        if (count != 0) {
            if (count > width - x)
                return RleResult::kRowOverrun;
            if (eight)
                Fill8(row, x, count, value);
            else
                Fill4(row, x, count, value);
            x += count;
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            if (++y == height)
                return RleResult::kComplete;
            row += stride;
            continue;
        }
        if (value == 1)  // end of bitmap
            return RleResult::kComplete;
        if (value == 2) {  // delta
            if (streamSize - pos < 2)
                return RleResult::kTruncated;
            const uint32_t dx = stream[pos];
            const uint32_t dy = stream[pos + 1];
            pos += 2;
            if (dx > width - x || dy > height - y)
                return RleResult::kImageOverrun;
            x += dx;
            y += dy;
            if (y == height)
                return RleResult::kComplete;
            row += dy * stride;
            continue;
        }
        // Absolute run of value pixels.
        const uint32_t pixels = value;
        if (pixels > width - x)
            return RleResult::kRowOverrun;
        const size_t bytes = eight ? pixels : (pixels + 1) / 2;
        const size_t left = streamSize - pos;
        if (left < bytes) {
            // Cut inside the run: keep the pixels that did arrive.
            const uint32_t got = static_cast<uint32_t>(eight ? left : left * 2);
            if (eight)
                Copy8(row, x, stream + pos, got);
            else if (got)
                Copy4(row, x, stream + pos, got);
            return RleResult::kTruncated;
        }
        if (eight)
            Copy8(row, x, stream + pos, pixels);
        else
            Copy4(row, x, stream + pos, pixels);
        x += pixels;
        pos += bytes + (bytes & 1);
        if (pos > streamSize)
            pos = streamSize;
    }
}

uint64_t RleCompressedDibMaxSize(const DibHeader* plain)
{
    if ((plain->biBitCount != 8 && plain->biBitCount != 4) || plain->biCompression != kBiRgb ||
        plain->biWidth <= 0 || plain->biHeight <= 0 || plain->biSize < sizeof(DibHeader))
        return 0;
    return DibPixelOffset(plain) +
           RleMaxEncodedSize(static_cast<uint32_t>(plain->biWidth),
                             static_cast<uint32_t>(plain->biHeight));
}

size_t RleCompressDib(const uint8_t* plainDib, size_t plainSize, uint32_t compression,
                      uint8_t* out, size_t outCapacity)
{
    if (!plainDib || !out || plainSize < sizeof(DibHeader))
        return 0;
    DibHeader header;
    std::memcpy(&header, plainDib, sizeof header);
    const uint64_t maxSize = RleCompressedDibMaxSize(&header);
    if (maxSize == 0 || maxSize > outCapacity || BitsOf(compression) != header.biBitCount)
        return 0;
    const uint64_t offset = DibPixelOffset(&header);
    const uint64_t image = DibImageSize(&header);
    if (offset + image > plainSize)
        return 0;

    const size_t off = static_cast<size_t>(offset);
    std::memcpy(out, plainDib, off);
    const size_t length = RleEncode(compression, plainDib + off, static_cast<size_t>(image),
                                    static_cast<uint32_t>(header.biWidth),
                                    static_cast<uint32_t>(header.biHeight), out + off,
                                    outCapacity - off);
    if (length == 0 || length > UINT32_MAX)
        return 0;
    header.biCompression = compression;
    header.biSizeImage = static_cast<uint32_t>(length);
    std::memcpy(out, &header, sizeof header);
    return off + length;
}
