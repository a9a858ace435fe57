// The PNG container around libdeflate's zlib stream: signature, IHDR,
// PLTE, IDAT, IEND, each row filtered.
#include "picture/png_encoder.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include <libdeflate.h>

// In Kelvo's build of libdeflate (cmake/libdeflate.cmake): the compressions
// on this thread take no match shorter than length (0: libdeflate's own
// choice).
extern "C" void kelvo_deflate_set_min_match(unsigned length);

namespace {

// Filtered rows hold every byte value, where libdeflate would take matches
// of 3 bytes; those cost more than the literals they stand for.
constexpr unsigned kFilteredMinMatch = 6;

// A chunk's length field is a 31-bit number.
constexpr size_t kMaxChunkData = 0x7FFFFFFF;

void PutU32(uint8_t* at, uint32_t value)
{
    at[0] = uint8_t(value >> 24);
    at[1] = uint8_t(value >> 16);
    at[2] = uint8_t(value >> 8);
    at[3] = uint8_t(value);
}

// Appends a chunk whose data the caller has already placed right after
// room for its length and type (dataAt); adds the CRC.
void CloseChunk(std::vector<uint8_t>* png, size_t start, const char type[4])
{
    const size_t length = png->size() - start - 8;
    uint8_t* at = png->data() + start;
    PutU32(at, uint32_t(length));
    std::memcpy(at + 4, type, 4);
    uint8_t crc[4];
    PutU32(crc, uint32_t(libdeflate_crc32(0, at + 4, length + 4)));
    png->insert(png->end(), crc, crc + 4);
}

size_t OpenChunk(std::vector<uint8_t>* png)
{
    const size_t start = png->size();
    png->resize(start + 8);
    return start;
}

void AddChunk(std::vector<uint8_t>* png, const char type[4], const uint8_t* data, size_t length)
{
    const size_t start = OpenChunk(png);
    png->insert(png->end(), data, data + length);
    CloseChunk(png, start, type);
}

inline uint8_t Paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

// One row under one filter: raw is this row, prior the one above (zeros
// for the first), bpp the bytes of a whole pixel (at least 1). Returns the
// sum of the bytes as signed numbers, the measure adaptive filtering
// compares.
uint64_t FilterRow(PngFilter filter, const uint8_t* raw, const uint8_t* prior, size_t length,
                   size_t bpp, uint8_t* out)
{
    uint64_t sum = 0;
    auto put = [&](size_t i, uint8_t v) {
        out[i] = v;
        sum += v < 128 ? v : 256 - v;
    };
    switch (filter) {
    case PngFilter::kNone:
        for (size_t i = 0; i < length; ++i)
            put(i, raw[i]);
        break;
    case PngFilter::kSub:
        for (size_t i = 0; i < bpp && i < length; ++i)
            put(i, raw[i]);
        for (size_t i = bpp; i < length; ++i)
            put(i, uint8_t(raw[i] - raw[i - bpp]));
        break;
    case PngFilter::kUp:
        for (size_t i = 0; i < length; ++i)
            put(i, uint8_t(raw[i] - prior[i]));
        break;
    case PngFilter::kAverage:
        for (size_t i = 0; i < bpp && i < length; ++i)
            put(i, uint8_t(raw[i] - (prior[i] >> 1)));
        for (size_t i = bpp; i < length; ++i)
            put(i, uint8_t(raw[i] - ((raw[i - bpp] + prior[i]) >> 1)));
        break;
    case PngFilter::kPaeth:
    case PngFilter::kAdaptive:
        for (size_t i = 0; i < bpp && i < length; ++i)
            put(i, uint8_t(raw[i] - prior[i]));
        for (size_t i = bpp; i < length; ++i)
            put(i, uint8_t(raw[i] - Paeth(raw[i - bpp], prior[i], prior[i - bpp])));
        break;
    }
    return sum;
}

// The rows in the format's byte order, top row first, each behind its
// filter byte.
void FilterRows(const PngPicture& picture, size_t rowBytes, PngFilter filter, uint8_t* out)
{
    const bool indexed = picture.bitCount <= 8;
    const size_t bpp = indexed ? 1 : 3;
    std::vector<uint8_t> rows[2], trial;
    rows[0].assign(rowBytes, 0);
    rows[1].assign(rowBytes, 0);
    if (filter == PngFilter::kAdaptive)
        trial.resize(rowBytes);
    // Bits of the last byte past the width are not pixels; zero, they
    // compress and compare alike whatever the DIB left there.
    const unsigned usedBits = unsigned((uint64_t(picture.width) * unsigned(picture.bitCount)) % 8);
    const uint8_t lastMask = usedBits ? uint8_t(0xFF00u >> usedBits) : 0xFF;
    for (uint32_t y = 0; y < picture.height; ++y) {
        const uint8_t* source =
            picture.rows + size_t(picture.bottomUp ? picture.height - 1 - y : y) * picture.stride;
        uint8_t* raw = rows[y & 1].data();
        const uint8_t* prior = rows[(y & 1) ^ 1].data();
        if (indexed) {
            std::memcpy(raw, source, rowBytes);
            raw[rowBytes - 1] &= lastMask;
        } else {
            for (size_t i = 0; i < rowBytes; i += 3) {
                raw[i] = source[i + 2];
                raw[i + 1] = source[i + 1];
                raw[i + 2] = source[i];
            }
        }
        uint8_t* line = out + size_t(y) * (rowBytes + 1);
        PngFilter chosen = filter;
        if (filter == PngFilter::kAdaptive) {
            // Paeth first: it wins most rows of a screen, so the others
            // are tried into scratch and copied only when they beat it.
            uint64_t best = FilterRow(PngFilter::kPaeth, raw, prior, rowBytes, bpp, line + 1);
            chosen = PngFilter::kPaeth;
            for (PngFilter other : {PngFilter::kNone, PngFilter::kSub, PngFilter::kUp,
                                    PngFilter::kAverage}) {
                uint64_t sum = FilterRow(other, raw, prior, rowBytes, bpp, trial.data());
                if (sum < best) {
                    best = sum;
                    chosen = other;
                    std::memcpy(line + 1, trial.data(), rowBytes);
                }
            }
        } else {
            FilterRow(filter, raw, prior, rowBytes, bpp, line + 1);
        }
        line[0] = uint8_t(chosen == PngFilter::kAdaptive ? PngFilter::kPaeth : chosen);
    }
}

// The palette: the colour table, and black for any index past it that a
// pixel uses (a decoder would refuse such a pixel).
std::vector<uint8_t> PaletteOf(const PngPicture& picture, const uint8_t* filtered, size_t rowBytes)
{
    uint32_t used = picture.colorCount;
    if (picture.bitCount == 8) {
        for (uint32_t y = 0; y < picture.height && used < 256; ++y) {
            const uint8_t* line = filtered + size_t(y) * (rowBytes + 1) + 1;
            for (size_t i = 0; i < rowBytes; ++i)
                if (line[i] >= used)
                    used = line[i] + 1u;
        }
    } else {
        used = 1u << picture.bitCount;
    }
    std::vector<uint8_t> palette(size_t(used) * 3, 0);
    for (uint32_t i = 0; i < picture.colorCount; ++i) {
        palette[3 * i] = picture.colors[4 * i + 2];
        palette[3 * i + 1] = picture.colors[4 * i + 1];
        palette[3 * i + 2] = picture.colors[4 * i];
    }
    return palette;
}

struct Compressor {
    explicit Compressor(int level) : p(libdeflate_alloc_compressor(level)) {}
    ~Compressor()
    {
        if (p)
            libdeflate_free_compressor(p);
    }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;
    libdeflate_compressor* p;
};

bool Encode(const PngPicture& picture, std::vector<uint8_t>* png, const PngEncoding& encoding)
{
    const int bits = picture.bitCount;
    const bool indexed = bits == 1 || bits == 4 || bits == 8;
    if ((!indexed && bits != 24) || picture.width == 0 || picture.height == 0
        || picture.width > 0x7FFFFFFFu || picture.height > 0x7FFFFFFFu || !picture.rows)
        return false;
    if (indexed && (!picture.colors || picture.colorCount == 0 || picture.colorCount > (1u << bits)))
        return false;
    const uint64_t rowBytes64 = (uint64_t(picture.width) * unsigned(bits) + 7) / 8;
    const uint64_t filtered64 = (rowBytes64 + 1) * picture.height;
    if (rowBytes64 > picture.stride || filtered64 > SIZE_MAX / 2)
        return false;
    const size_t rowBytes = size_t(rowBytes64);
    const size_t filteredSize = size_t(filtered64);

    std::vector<uint8_t> filtered(filteredSize);
    const PngFilter filter = indexed ? PngFilter::kNone : encoding.filter;
    FilterRows(picture, rowBytes, filter, filtered.data());

    Compressor compressor(encoding.level);
    if (!compressor.p)
        return false;

    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png->assign(kSignature, kSignature + 8);
    uint8_t header[13];
    PutU32(header, picture.width);
    PutU32(header + 4, picture.height);
    header[8] = uint8_t(indexed ? bits : 8);
    header[9] = indexed ? 3 : 2;  // colour type: palette or RGB
    header[10] = 0;               // DEFLATE
    header[11] = 0;               // the five filters
    header[12] = 0;               // not interlaced
    AddChunk(png, "IHDR", header, sizeof header);
    if (indexed) {
        std::vector<uint8_t> palette = PaletteOf(picture, filtered.data(), rowBytes);
        AddChunk(png, "PLTE", palette.data(), palette.size());
    }

    // The stream goes straight into the file's bytes, behind one IDAT
    // header; a stream too long for one chunk is cut into several after.
    const size_t bound = libdeflate_zlib_compress_bound(compressor.p, filteredSize);
    const size_t start = OpenChunk(png);
    png->resize(start + 8 + bound);
    kelvo_deflate_set_min_match(filter == PngFilter::kNone ? 0 : kFilteredMinMatch);
    const size_t streamLength = libdeflate_zlib_compress(compressor.p, filtered.data(), filteredSize,
                                                         png->data() + start + 8, bound);
    kelvo_deflate_set_min_match(0);
    if (streamLength == 0)
        return false;
    png->resize(start + 8 + streamLength);
    std::vector<uint8_t>().swap(filtered);
    if (streamLength <= kMaxChunkData) {
        CloseChunk(png, start, "IDAT");
    } else {
        std::vector<uint8_t> stream(png->begin() + std::ptrdiff_t(start + 8), png->end());
        png->resize(start);
        for (size_t at = 0; at < stream.size(); at += kMaxChunkData) {
            const size_t n = stream.size() - at < kMaxChunkData ? stream.size() - at : kMaxChunkData;
            AddChunk(png, "IDAT", stream.data() + at, n);
        }
    }
    AddChunk(png, "IEND", nullptr, 0);
    return true;
}

}  // namespace

bool EncodePngPicture(const PngPicture& picture, std::vector<uint8_t>* png,
                      const PngEncoding& encoding)
{
    png->clear();
    bool done = false;
    try {
        done = Encode(picture, png, encoding);
    } catch (const std::bad_alloc&) {
        done = false;
    }
    if (!done)
        std::vector<uint8_t>().swap(*png);
    return done;
}
