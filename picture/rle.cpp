// RLE8/RLE4 encoder and decoder.
//
// The encoder finds run ends 64 pixels at a time (a bitmap of "this byte
// differs from the next"), so the long runs of interface colours that make
// up most of a screen cost a few instructions per 64 pixels, and each
// short run costs one bit scan and a two-byte store. Short runs are written
// as encoded runs at once; when a stretch of them turns out to be noise,
// cheaper as an absolute run, the same output is overwritten (an absolute
// run is then shorter, so it always fits).
//
// RLE4 is segmented by whole bytes: a run of equal bytes is a run of two
// alternating pixels, which an RLE4 encoded run expresses directly, and
// every absolute run starts on a byte boundary and is a plain copy.
#include "picture/rle.h"

#include <cstring>

// KELVO_RLE_PORTABLE selects the plain C++ word code on machines with
// SSE2 too, so that the sanitized tests run it.
#if defined(__SSE2__) && !defined(KELVO_RLE_PORTABLE)
#define KELVO_RLE_SSE2 1
#include <emmintrin.h>
#endif

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the word-wise run scan assumes a little-endian host"
#endif

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;

// A run this long (in bytes) ends a stretch of short runs: it is cheaper as
// an encoded run than inside an absolute run, whatever comes next.
constexpr size_t kMinRun = 4;

// Bit k set when p[k] != p[k + 1], for k = 0..63; reads p[0..64].
inline uint64_t RunEnds64(const uint8_t* p)
{
#if defined(KELVO_RLE_SSE2)
    uint64_t ends = 0;
    for (int q = 0; q < 4; ++q) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * q));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * q + 1));
        const uint32_t same = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
        ends |= uint64_t{~same & 0xFFFFu} << (16 * q);
    }
    return ends;
#else
    const auto Load64 = [](const uint8_t* at) {
        uint64_t v;
        std::memcpy(&v, at, sizeof v);
        return v;
    };
    // 0x80 in every byte of x that is zero (exact, no borrow between bytes).
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    const auto ZeroBytes = [=](uint64_t x) { return ~(((x & kLow7) + kLow7) | x) & kHigh; };
    uint64_t ends = 0;
    for (int q = 0; q < 8; ++q) {
        const uint64_t differ = ~ZeroBytes(Load64(p + 8 * q) ^ Load64(p + 8 * q + 1)) & kHigh;
        // Gathers the top bit of each byte into one byte.
        ends |= ((differ >> 7) * 0x0102040810204080ull >> 56) << (8 * q);
    }
    return ends;
#endif
}

// Copies exactly n bytes; short copies, the usual absolute runs, avoid a
// library call.
inline void CopyBytes(uint8_t* dst, const uint8_t* src, size_t n)
{
    if (n >= 16) {
        std::memcpy(dst, src, n);
    } else if (n >= 8) {
        uint64_t a, b;
        std::memcpy(&a, src, 8);
        std::memcpy(&b, src + n - 8, 8);
        std::memcpy(dst, &a, 8);
        std::memcpy(dst + n - 8, &b, 8);
    } else if (n >= 4) {
        uint32_t a, b;
        std::memcpy(&a, src, 4);
        std::memcpy(&b, src + n - 4, 4);
        std::memcpy(dst, &a, 4);
        std::memcpy(dst + n - 4, &b, 4);
    } else {
        for (size_t k = 0; k < n; ++k)
            dst[k] = src[k];
    }
}

// Emitters of the two formats. Counts given to them are in source bytes.
struct Rle8Writer {
    static constexpr size_t kMinAbsolute = 3;  // the format's least count
    uint8_t* out;

    // A run shorter than kMinRun.
    void ShortRun(uint8_t value, size_t bytes)
    {
        out[0] = static_cast<uint8_t>(bytes);
        out[1] = value;
        out += 2;
    }

    void Run(uint8_t value, size_t bytes)
    {
        while (bytes > 255) {
            ShortRun(value, 255);
            bytes -= 255;
        }
        ShortRun(value, bytes);
    }

    // Absolute runs of at most 254 (even, so no padding byte), never
    // leaving a tail too short for one; bytes >= 3.
    static size_t NextChunk(size_t bytes)
    {
        if (bytes <= 254)
            return bytes;
        return bytes - 254 < 3 ? bytes - 3 : 254;
    }

    static size_t AbsoluteSize(size_t bytes)
    {
        size_t size = 0;
        for (size_t chunk; bytes > 0; bytes -= chunk) {
            chunk = NextChunk(bytes);
            size += 2 + chunk + (chunk & 1);
        }
        return size;
    }

    void Absolute(const uint8_t* src, size_t bytes)
    {
        for (size_t chunk; bytes > 0; bytes -= chunk, src += chunk) {
            chunk = NextChunk(bytes);
            out[0] = 0;
            out[1] = static_cast<uint8_t>(chunk);
            CopyBytes(out + 2, src, chunk);
            out += 2 + chunk;
            if (chunk & 1)
                *out++ = 0;
        }
    }
};

struct Rle4Writer {
    static constexpr size_t kMinAbsolute = 2;  // 4 pixels
    uint8_t* out;

    void ShortRun(uint8_t value, size_t bytes)
    {
        out[0] = static_cast<uint8_t>(bytes * 2);
        out[1] = value;
        out += 2;
    }

    // A run of equal bytes: pairs of alternating pixels, 127 bytes (254
    // pixels, an even count keeps the phase) per encoded run.
    void Run(uint8_t value, size_t bytes)
    {
        while (bytes > 127) {
            ShortRun(value, 127);
            bytes -= 127;
        }
        ShortRun(value, bytes);
    }

    // Absolute runs of at most 127 bytes (254 pixels); a last single byte
    // becomes an encoded run of its two pixels. bytes >= 2.
    static size_t AbsoluteSize(size_t bytes)
    {
        size_t size = 0;
        for (; bytes > 1; bytes -= bytes > 127 ? 127 : bytes) {
            const size_t chunk = bytes > 127 ? 127 : bytes;
            size += 2 + chunk + (chunk & 1);
        }
        return size + (bytes ? 2 : 0);
    }

    void Absolute(const uint8_t* src, size_t bytes)
    {
        while (bytes > 1) {
            const size_t chunk = bytes > 127 ? 127 : bytes;
            out[0] = 0;
            out[1] = static_cast<uint8_t>(chunk * 2);
            CopyBytes(out + 2, src, chunk);
            out += 2 + chunk;
            if (chunk & 1)
                *out++ = 0;
            src += chunk;
            bytes -= chunk;
        }
        if (bytes)
            ShortRun(src[0], 1);
    }
};

// Encodes one row of n bytes (n may be 0).
template <class Writer>
void EncodeBytes(Writer& w, const uint8_t* p, size_t n)
{
    // The pending stretch of short runs: where it starts in the row and in
    // the output, and how many runs it holds.
    size_t stretchStart = 0;
    uint8_t* stretchOut = w.out;
    size_t stretchRuns = 0;
    size_t runStart = 0;

    const auto endStretch = [&](size_t end) {
        const size_t bytes = end - stretchStart;
        // Written as encoded runs, it took two bytes a run; noise is
        // cheaper as absolute runs (ties stay encoded: faster to decode).
        if (bytes >= Writer::kMinAbsolute && Writer::AbsoluteSize(bytes) < 2 * stretchRuns) {
            w.out = stretchOut;
            w.Absolute(p + stretchStart, bytes);
        }
    };

    uint8_t tail[80];
    for (size_t base = 0; base < n; base += 64) {
        uint64_t ends;
        if (base + 65 <= n) {
            ends = RunEnds64(p + base);
        } else {
            // The row's last word: compare a copy, and end the last run
            // at the row end.
            const size_t left = n - base;
            std::memcpy(tail, p + base, left);
            std::memset(tail + left, 0, sizeof tail - left);
            ends = RunEnds64(tail);
            ends &= left == 64 ? ~uint64_t{0} : (uint64_t{1} << left) - 1;
            ends |= uint64_t{1} << (left - 1);
        }
        while (ends) {
            const size_t end = base + static_cast<size_t>(__builtin_ctzll(ends));
            ends &= ends - 1;
            const size_t length = end + 1 - runStart;
            if (length < kMinRun) {
                w.ShortRun(p[end], length);
                ++stretchRuns;
            } else {
                endStretch(runStart);
                w.Run(p[end], length);
                stretchStart = end + 1;
                stretchOut = w.out;
                stretchRuns = 0;
            }
            runStart = end + 1;
        }
    }
    endStretch(n);
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

// Stores 16 bytes of value, for a run of up to 16 that has room behind it.
inline void Store16(uint8_t* dst, uint8_t value)
{
#if defined(KELVO_RLE_SSE2)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_set1_epi8(static_cast<char>(value)));
#else
    const uint64_t pattern = value * kOnes;
    std::memcpy(dst, &pattern, 8);
    std::memcpy(dst + 8, &pattern, 8);
#endif
}

// The decoder's place in the rows. Pixels are written once, left to right.
// Short runs are stored 16 bytes at a time when their row has room (the
// bytes past the run are overwritten by the pixels that follow), which
// spares a branch per run; `dirty` is how far such stores reached, and
// what lies between the current pixel and there is cleared when the row
// is left, so that skipped pixels and padding still read 0.
struct Cursor {
    uint8_t* row;
    uint32_t x;
    size_t dirty;

    void Reach(size_t end) { dirty = end > dirty ? end : dirty; }

    void Clean8()
    {
        if (dirty > x)
            std::memset(row + x, 0, dirty - x);
        dirty = 0;
    }

    void Clean4()
    {
        size_t b = x / 2;
        if (x & 1)
            row[b++] &= 0xF0;
        if (dirty > b)
            std::memset(row + b, 0, dirty - b);
        dirty = 0;
    }
};

inline void Fill8(Cursor& c, size_t stride, uint32_t count, uint8_t value)
{
    if (count <= 16 && c.x + 16 <= stride) {
        Store16(c.row + c.x, value);
        c.Reach(c.x + 16);
    } else {
        FillBytes(c.row + c.x, value, count);
    }
}

inline void Copy8(Cursor& c, size_t stride, const uint8_t* src, size_t srcLeft, uint32_t count)
{
    if (count <= 16 && c.x + 16 <= stride && srcLeft >= 16) {
        std::memcpy(c.row + c.x, src, 16);
        c.Reach(c.x + 16);
    } else {
        CopyBytes(c.row + c.x, src, count);
    }
}

// A nibble on the low half of a byte whose high half is already drawn.
inline void SetLowNibble(uint8_t* p, uint8_t nibble)
{
    *p = static_cast<uint8_t>((*p & 0xF0) | nibble);
}

void Fill4(Cursor& c, size_t stride, uint32_t count, uint8_t value)
{
    uint32_t x = c.x;
    uint8_t first = value >> 4;
    uint8_t second = value & 0x0F;
    if (x & 1) {
        SetLowNibble(c.row + x / 2, first);
        ++x;
        --count;
        const uint8_t t = first;
        first = second;
        second = t;
    }
    const uint32_t bytes = count / 2;
    uint8_t* dst = c.row + x / 2;
    const uint8_t pair = static_cast<uint8_t>(first << 4 | second);
    if (bytes < 16 && x / 2 + 16 <= stride) {
        Store16(dst, pair);
        c.Reach(x / 2 + 16);
    } else {
        FillBytes(dst, pair, bytes);
    }
    if (count & 1)
        dst[bytes] = static_cast<uint8_t>(first << 4);
}

void Copy4(Cursor& c, const uint8_t* src, uint32_t count)
{
    const uint32_t x = c.x;
    if ((x & 1) == 0) {
        uint8_t* dst = c.row + x / 2;
        CopyBytes(dst, src, count / 2);
        if (count & 1)
            dst[count / 2] = src[count / 2] & 0xF0;
        return;
    }
    SetLowNibble(c.row + x / 2, src[0] >> 4);
    uint8_t* dst = c.row + x / 2 + 1;
    const uint32_t rest = count - 1;
    for (uint32_t k = 0; k < rest / 2; ++k)
        dst[k] = static_cast<uint8_t>(src[k] << 4 | src[k + 1] >> 4);
    if (rest & 1)
        dst[rest / 2] = static_cast<uint8_t>(src[rest / 2] << 4);
}

template <bool kEight>
RleResult DecodeStream(const uint8_t* stream, size_t streamSize, uint32_t width,
                       uint32_t height, uint8_t* rows, size_t stride)
{
    Cursor c{rows, 0, 0};
    const auto clean = [&] {
        if (kEight)
            c.Clean8();
        else
            c.Clean4();
    };
    size_t pos = 0;
    uint32_t y = 0;
    for (;;) {
        if (streamSize - pos < 2) {
            clean();
            return RleResult::kTruncated;
        }
        const uint32_t count = stream[pos];
        const uint8_t value = stream[pos + 1];
        pos += 2;
        if (count != 0) {
            // Runs that go on into the row's padding (many encoders pad
            // every row's last run to the stored row width) keep only
            // their pixels inside the row.
            const uint32_t n = count < width - c.x ? count : width - c.x;
            if (n != 0) {
                if (kEight)
                    Fill8(c, stride, n, value);
                else
                    Fill4(c, stride, n, value);
                c.x += n;
            }
            continue;
        }
        if (value == 0) {  // end of line
            clean();
            c.x = 0;
            if (++y == height)
                return RleResult::kComplete;
            c.row += stride;
            continue;
        }
        if (value == 1) {  // end of bitmap
            clean();
            return RleResult::kComplete;
        }
        if (value == 2) {  // delta
            if (streamSize - pos < 2) {
                clean();
                return RleResult::kTruncated;
            }
            const uint32_t dx = stream[pos];
            const uint32_t dy = stream[pos + 1];
            pos += 2;
            clean();
            // A move past the row's end leaves nothing more to draw in
            // it; a move past the top row ends the picture.
            c.x = dx < width - c.x ? c.x + dx : width;
            if (dy >= height - y)
                return RleResult::kComplete;
            y += dy;
            c.row += dy * stride;
            continue;
        }
        // Absolute run of `value` pixels.
        // All of its bytes are read; only the pixels inside the row are kept.
        const uint32_t pixels = value;
        const uint32_t kept = pixels < width - c.x ? pixels : width - c.x;
        const size_t bytes = kEight ? pixels : (pixels + 1) / 2;
        const size_t left = streamSize - pos;
        if (left < bytes) {
            // Cut inside the run: keep the pixels that did arrive.
            const size_t arrived = kEight ? left : left * 2;
            const uint32_t got = arrived < kept ? static_cast<uint32_t>(arrived) : kept;
            if (kEight)
                CopyBytes(c.row + c.x, stream + pos, got);
            else if (got)
                Copy4(c, stream + pos, got);
            c.x += got;
            clean();
            return RleResult::kTruncated;
        }
        if (kept != 0) {
            if (kEight)
                Copy8(c, stride, stream + pos, left, kept);
            else
                Copy4(c, stream + pos, kept);
            c.x += kept;
        }
        pos += bytes + (bytes & 1);
        if (pos > streamSize)
            pos = streamSize;
    }
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

    if (bits == 8)
        return DecodeStream<true>(stream, streamSize, width, height, rows, size_t(stride));
    return DecodeStream<false>(stream, streamSize, width, height, rows, size_t(stride));
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
