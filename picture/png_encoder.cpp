// The PNG container around libdeflate's zlib stream: signature, IHDR,
// PLTE, IDAT, IEND, each row filtered.
#include "picture/png_encoder.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <libdeflate.h>

// In Kelvo's build of libdeflate (cmake/libdeflate.cmake): the compressions
// on this thread take no match shorter than length (0: libdeflate's own
// choice).
extern "C" void kelvo_deflate_set_min_match(unsigned length);
// As libdeflate_deflate_compress, but the stream is left open for more: no
// block is marked the last, and it ends on a byte boundary.
extern "C" size_t kelvo_deflate_compress_open(libdeflate_compressor* c, const void* in,
                                              size_t length, void* out, size_t room);

namespace {

using Bytes = std::vector<uint8_t>;

// Filtered rows hold every byte value, where libdeflate would take matches
// of 3 bytes; those cost more than the literals they stand for.
constexpr unsigned kFilteredMinMatch = 6;

// A chunk's length field is a 31-bit number.
constexpr size_t kMaxChunkData = 0x7FFFFFFF;

// Filtered bytes below which a band is not cut further: the bands' own
// costs (a compressor each, the window each starts without, the blocks
// that join them) would outweigh what the threads save.
constexpr size_t kMinBandBytes = 64 * 1024;

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

// The predictor of the Paeth filter, without branches (the same choice as
// the format's a, then b, then c), so that the loops below run on vector
// registers: pa, pb and pc are the distances of a + b - c from a, b, c.
inline int Paeth(int a, int b, int c)
{
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    const int nearer = pa <= pb ? a : b;
    const int distance = pa <= pb ? pa : pb;
    return distance <= pc ? nearer : c;
}

// out[i] = filtered(i) for i in [from, to); returns the sum of the bytes as
// signed numbers. Summed in blocks a 32-bit sum cannot overflow in.
template <typename Filtered>
uint64_t FilterRun(size_t from, size_t to, uint8_t* out, Filtered filtered)
{
    uint64_t sum = 0;
    for (size_t block = from; block < to; block += 1u << 16) {
        const size_t end = to - block < (1u << 16) ? to : block + (1u << 16);
        uint32_t part = 0;
        for (size_t i = block; i < end; ++i) {
            const uint8_t v = uint8_t(filtered(i));
            out[i] = v;
            part += uint32_t(std::abs(int(int8_t(v))));
        }
        sum += part;
    }
    return sum;
}

// One row under one filter: raw is this row, prior the one above (zeros
// for the first), bpp the bytes of a whole pixel (at least 1). Returns the
// sum of the bytes as signed numbers, the measure adaptive filtering
// compares.
uint64_t FilterRow(PngFilter filter, const uint8_t* raw, const uint8_t* prior, size_t length,
                   size_t bpp, uint8_t* out)
{
    const size_t head = bpp < length ? bpp : length;
    switch (filter) {
    case PngFilter::kNone:
        return FilterRun(0, length, out, [&](size_t i) { return raw[i]; });
    case PngFilter::kSub:
        return FilterRun(0, head, out, [&](size_t i) { return raw[i]; })
               + FilterRun(head, length, out, [&](size_t i) { return raw[i] - raw[i - bpp]; });
    case PngFilter::kUp:
        return FilterRun(0, length, out, [&](size_t i) { return raw[i] - prior[i]; });
    case PngFilter::kAverage:
        return FilterRun(0, head, out, [&](size_t i) { return raw[i] - (prior[i] >> 1); })
               + FilterRun(head, length, out,
                           [&](size_t i) { return raw[i] - ((raw[i - bpp] + prior[i]) >> 1); });
    case PngFilter::kPaeth:
    case PngFilter::kAdaptive:
        break;
    }
    return FilterRun(0, head, out, [&](size_t i) { return raw[i] - prior[i]; })
           + FilterRun(head, length, out, [&](size_t i) {
                 return raw[i] - Paeth(raw[i - bpp], prior[i], prior[i - bpp]);
             });
}

// Scratch of one band's filtering: the row being filtered, the one above
// it, and a trial row for adaptive filtering. Made before the bands run, so
// that a band on another thread allocates nothing.
struct FilterScratch {
    explicit FilterScratch(size_t rowBytes) : rows{Bytes(rowBytes, 0), Bytes(rowBytes, 0)}, trial(rowBytes) {}
    Bytes rows[2];
    Bytes trial;
};

// Row y of the picture (from the top) in the format's byte order.
void RawRow(const PngPicture& picture, uint32_t y, size_t rowBytes, uint8_t* raw)
{
    const uint8_t* source =
        picture.rows + size_t(picture.bottomUp ? picture.height - 1 - y : y) * picture.stride;
    if (picture.bitCount <= 8) {
        // Bits of the last byte past the width are not pixels; zero, they
        // compress and compare alike whatever the DIB left there.
        const unsigned usedBits = unsigned((uint64_t(picture.width) * unsigned(picture.bitCount)) % 8);
        std::memcpy(raw, source, rowBytes);
        raw[rowBytes - 1] &= usedBits ? uint8_t(0xFF00u >> usedBits) : 0xFF;
    } else {
        for (size_t i = 0; i < rowBytes; i += 3) {
            raw[i] = source[i + 2];
            raw[i + 1] = source[i + 1];
            raw[i + 2] = source[i];
        }
    }
}

// Rows first to end - 1 in the format's byte order, each behind its filter
// byte, into out (where row first goes).
void FilterRows(const PngPicture& picture, size_t rowBytes, PngFilter filter, uint32_t first,
                uint32_t end, FilterScratch& scratch, uint8_t* out)
{
    const size_t bpp = picture.bitCount <= 8 ? 1 : 3;
    // The row above the band: the first row of the picture has zeros.
    uint8_t* above = scratch.rows[(first & 1) ^ 1].data();
    if (first > 0)
        RawRow(picture, first - 1, rowBytes, above);
    else
        std::memset(above, 0, rowBytes);
    for (uint32_t y = first; y < end; ++y) {
        uint8_t* raw = scratch.rows[y & 1].data();
        const uint8_t* prior = scratch.rows[(y & 1) ^ 1].data();
        RawRow(picture, y, rowBytes, raw);
        uint8_t* line = out + size_t(y - first) * (rowBytes + 1);
        PngFilter chosen = filter;
        if (filter == PngFilter::kAdaptive) {
            // Paeth first: it wins most rows of a screen, so the others
            // are tried into scratch and copied only when they beat it.
            uint64_t best = FilterRow(PngFilter::kPaeth, raw, prior, rowBytes, bpp, line + 1);
            chosen = PngFilter::kPaeth;
            for (PngFilter other : {PngFilter::kNone, PngFilter::kSub, PngFilter::kUp,
                                    PngFilter::kAverage}) {
                uint64_t sum = FilterRow(other, raw, prior, rowBytes, bpp, scratch.trial.data());
                if (sum < best) {
                    best = sum;
                    chosen = other;
                    std::memcpy(line + 1, scratch.trial.data(), rowBytes);
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
std::vector<uint8_t> PaletteOf(const PngPicture& picture, size_t rowBytes)
{
    uint32_t used = picture.colorCount;
    if (picture.bitCount == 8) {
        for (uint32_t y = 0; y < picture.height && used < 256; ++y) {
            const uint8_t* line = picture.rows + size_t(y) * picture.stride;
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
    Compressor(Compressor&& other) noexcept : p(other.p) { other.p = nullptr; }
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

    // Neither buffer is cleared first: every byte is written before it is
    // read.
    std::unique_ptr<uint8_t[]> filtered(new uint8_t[filteredSize]);
    const PngFilter filter = indexed ? PngFilter::kNone : encoding.filter;

    // Bands of whole rows, each filtered and compressed into its own room;
    // the workers take them in turn, so that one slow band does not leave
    // the other workers idle.
    const uint64_t wanted = encoding.bands ? encoding.bands : 1;
    const uint32_t bandCount = uint32_t(std::max<uint64_t>(
        1, std::min<uint64_t>({wanted, picture.height, filteredSize / kMinBandBytes})));
    const size_t workers = encoding.runWorkers && bandCount > 1
                               ? std::max<size_t>(1, std::min<size_t>(encoding.workers, bandCount))
                               : 1;
    struct Band {
        uint32_t first = 0, end = 0;
        size_t room = 0, at = 0, length = 0;
    };
    std::vector<Band> bands(bandCount);
    std::vector<Compressor> compressors;
    std::vector<FilterScratch> scratch;
    compressors.reserve(workers);
    scratch.reserve(workers);
    for (size_t i = 0; i < workers; ++i) {
        compressors.emplace_back(encoding.level);
        if (!compressors.back().p)
            return false;
        scratch.emplace_back(rowBytes);
    }
    size_t rooms = 0;
    for (uint32_t i = 0; i < bandCount; ++i) {
        Band& band = bands[i];
        band.first = uint32_t(uint64_t(picture.height) * i / bandCount);
        band.end = uint32_t(uint64_t(picture.height) * (i + 1) / bandCount);
        band.at = rooms;
        band.room = libdeflate_deflate_compress_bound(compressors[0].p,
                                                      size_t(band.end - band.first) * (rowBytes + 1))
                    + 6;  // the empty block that leaves the band's stream open
        rooms += band.room;
    }
    std::unique_ptr<uint8_t[]> room(new uint8_t[rooms]);
    std::atomic<uint32_t> nextBand{0};
    const auto worker = [&](size_t w) {
        for (uint32_t i; (i = nextBand.fetch_add(1)) < bandCount;) {
            Band& b = bands[i];
            uint8_t* in = filtered.get() + size_t(b.first) * (rowBytes + 1);
            const size_t length = size_t(b.end - b.first) * (rowBytes + 1);
            FilterRows(picture, rowBytes, filter, b.first, b.end, scratch[w], in);
            kelvo_deflate_set_min_match(filter == PngFilter::kNone ? 0 : kFilteredMinMatch);
            libdeflate_compressor* c = compressors[w].p;
            b.length = i + 1 < bandCount ? kelvo_deflate_compress_open(c, in, length, room.get() + b.at, b.room)
                                         : libdeflate_deflate_compress(c, in, length, room.get() + b.at, b.room);
            kelvo_deflate_set_min_match(0);
        }
    };
    if (workers > 1)
        encoding.runWorkers(workers, worker);
    else
        worker(0);
    for (const Band& b : bands)
        if (b.length == 0)
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
        std::vector<uint8_t> palette = PaletteOf(picture, rowBytes);
        AddChunk(png, "PLTE", palette.data(), palette.size());
    }
    const size_t start = OpenChunk(png);

    // The zlib stream goes straight into the file's bytes, behind one IDAT
    // header: its header, the bands, the Adler-32 of every filtered byte.
    const int level = encoding.level;
    const unsigned speed = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    unsigned zlibHeader = 0x7800 | speed << 6;
    zlibHeader |= 31 - zlibHeader % 31;
    png->push_back(uint8_t(zlibHeader >> 8));
    png->push_back(uint8_t(zlibHeader));
    for (const Band& b : bands)
        png->insert(png->end(), room.get() + b.at, room.get() + b.at + b.length);
    room.reset();
    uint8_t adler[4];
    PutU32(adler, uint32_t(libdeflate_adler32(1, filtered.get(), filteredSize)));
    png->insert(png->end(), adler, adler + 4);
    const size_t streamLength = png->size() - start - 8;
    filtered.reset();
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
