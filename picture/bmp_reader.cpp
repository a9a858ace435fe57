// BMP file reader: validation (plan) and conversion into a packed DIB
// (build). All arithmetic on file values is 64-bit and every offset is
// compared with the file size before it is used.
#include "picture/bmp_reader.h"

#include <algorithm>
#include <cstring>

#include "picture/dib_rules.h"
#include "picture/rle.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kLargestHeaderSize = 124;  // V5

uint32_t Get16(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }

bool Contiguous(uint32_t mask)
{
    if (mask == 0)
        return true;
    uint32_t shifted = mask >> __builtin_ctz(mask);
    return (shifted & (shifted + 1)) == 0;
}

// Masks must be runs of ones inside the pixel and must not share bits; a
// zero mask is a channel the file does not carry (it reads as 0).
bool UsableMasks(const uint32_t masks[3], uint16_t bitCount)
{
    const uint64_t pixelBits = (uint64_t{1} << bitCount) - 1;
    uint32_t seen = 0;
    for (int c = 0; c < 3; ++c) {
        if (!Contiguous(masks[c]) || masks[c] > pixelBits || (masks[c] & seen))
            return false;
        seen |= masks[c];
    }
    return true;
}

BmpStatus CheckDepthAndCompression(uint16_t bitCount, uint32_t compression, bool topDown)
{
    switch (compression) {
    case kBiRgb:
        switch (bitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: return BmpStatus::kOk;
        default: return BmpStatus::kUnsupportedFormat;
        }
    case kBiRle8:
    case kBiRle4:
        // RLE rows are bottom-up by definition.
        if (bitCount != (compression == kBiRle8 ? 8 : 4) || topDown)
            return BmpStatus::kUnsupportedFormat;
        return BmpStatus::kOk;
    case kBiBitfields:
    case kBiAlphaBitfields:
        return bitCount == 16 || bitCount == 32 ? BmpStatus::kOk : BmpStatus::kUnsupportedFormat;
    default:
        return BmpStatus::kUnsupportedFormat;
    }
}

// One colour channel of a 16- or 32-bit pixel: (pixel >> shift) & mask
// indexes a table that widens it to 8 bits.
struct Channel {
    uint32_t shift;
    uint32_t mask;
    uint8_t widen[256];
};

void MakeChannel(uint32_t fieldMask, Channel* ch)
{
    std::memset(ch, 0, sizeof *ch);
    if (fieldMask == 0)
        return;
    uint32_t shift = static_cast<uint32_t>(__builtin_ctz(fieldMask));
    uint32_t bits = static_cast<uint32_t>(__builtin_popcount(fieldMask));
    if (bits > 8) {
        shift += bits - 8;
        bits = 8;
    }
    ch->shift = shift;
    ch->mask = (1u << bits) - 1;
    for (uint32_t v = 0; v <= ch->mask; ++v) {
        uint32_t top = v << (8 - bits);
        uint32_t wide = top;
        for (uint32_t k = bits; k < 8; k += bits)
            wide |= top >> k;
        ch->widen[v] = static_cast<uint8_t>(wide);
    }
}

inline uint8_t Apply(const Channel& ch, uint32_t pixel)
{
    return ch.widen[(pixel >> ch.shift) & ch.mask];
}

// Converts `count` pixels of 16 or 32 bits to blue, green, red.
void ConvertRow(const uint8_t* src, uint32_t count, uint16_t bitCount, const Channel ch[3],
                uint8_t* dst)
{
    if (bitCount == 16) {
        for (uint32_t i = 0; i < count; ++i, src += 2, dst += 3) {
            uint32_t pixel = Get16(src);
            dst[0] = Apply(ch[2], pixel);
            dst[1] = Apply(ch[1], pixel);
            dst[2] = Apply(ch[0], pixel);
        }
        return;
    }
    for (uint32_t i = 0; i < count; ++i, src += 4, dst += 3) {
        uint32_t pixel = Get32(src);
        dst[0] = Apply(ch[2], pixel);
        dst[1] = Apply(ch[1], pixel);
        dst[2] = Apply(ch[0], pixel);
    }
}

// The common 32-bit layout (blue, green, red, unused bytes).
void CopyRow32(const uint8_t* src, uint32_t count, uint8_t* dst)
{
    for (uint32_t i = 0; i < count; ++i, src += 4, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
    }
}

// Rows first to first + count - 1 (row 0 the bottom one) of an
// uncompressed plan into bits, from pixels: the file's pixel section from
// byte windowStart of it to windowEnd. False, with nothing more written,
// for a row the file holds outside that window.
bool BuildUncompressed(const BmpPlan& plan, uint32_t first, uint32_t count, const uint8_t* pixels,
                       uint64_t windowStart, uint64_t windowEnd, uint8_t* bits)
{
    const uint64_t srcStride = DibRowSize(plan.width, plan.bitCount);
    const uint64_t dstStride = DibRowSize(plan.width, plan.outBitCount);
    const bool convert = plan.bitCount != plan.outBitCount;
    const bool plain32 = plan.bitCount == 32 && plan.masks[0] == 0xFF0000 &&
                         plan.masks[1] == 0xFF00 && plan.masks[2] == 0xFF;
    Channel ch[3];
    if (convert && !plain32) {
        for (int c = 0; c < 3; ++c)
            MakeChannel(plan.masks[c], &ch[c]);
    }
    const uint32_t bytesPerPixel = plan.bitCount / 8;

    for (uint32_t y = first; y < first + count; ++y) {
        uint8_t* dst = bits + (y - first) * dstStride;
        const uint64_t srcRow = plan.topDown ? plan.height - 1 - y : y;
        const uint64_t srcStart = srcRow * srcStride;
        // Bytes of this row that the file holds (a cut file holds fewer).
        const uint64_t have = srcStart >= plan.pixelLength ? 0
                              : plan.pixelLength - srcStart < srcStride ? plan.pixelLength - srcStart
                                                                         : srcStride;
        if (have != 0 && (srcStart < windowStart || srcStart + have > windowEnd))
            return false;
        const uint8_t* src = pixels + (srcStart - windowStart);
        uint64_t written = 0;
        if (have == 0) {
            // Past the end of a cut file: the row stays 0.
        } else if (!convert) {
            std::memcpy(dst, src, static_cast<size_t>(have));
            written = have;
        } else {
            uint64_t pixelCount = have / bytesPerPixel;
            if (pixelCount > plan.width)
                pixelCount = plan.width;
            const uint32_t n = static_cast<uint32_t>(pixelCount);
            if (plain32)
                CopyRow32(src, n, dst);
            else
                ConvertRow(src, n, plan.bitCount, ch, dst);
            written = uint64_t{n} * 3;
        }
        std::memset(dst + written, 0, static_cast<size_t>(dstStride - written));
    }
    return true;
}

}  // namespace

BmpStatus PlanBmpRead(const uint8_t* file, size_t fileSize, BmpPlan* plan)
{
    std::memset(plan, 0, sizeof *plan);
    if (!file || fileSize < 2 || file[0] != 'B' || file[1] != 'M')
        return BmpStatus::kNotBmp;
    if (fileSize < kFileHeaderSize + 4)
        return BmpStatus::kTooShort;
    const uint8_t* info = file + kFileHeaderSize;
    const uint32_t biSize = Get32(info);
    if (biSize == kCoreHeaderSize || biSize < sizeof(DibHeader) || biSize > kLargestHeaderSize)
        return BmpStatus::kUnsupportedHeader;
    if (fileSize < kFileHeaderSize + biSize)
        return BmpStatus::kTooShort;

    DibHeader h;
    std::memcpy(&h, info, sizeof h);
    const int64_t signedHeight = h.biHeight;
    const bool topDown = signedHeight < 0;
    const uint64_t height = static_cast<uint64_t>(topDown ? -signedHeight : signedHeight);
    if (h.biWidth <= 0 || height == 0 || h.biPlanes != 1)
        return BmpStatus::kBadHeader;
    const BmpStatus format = CheckDepthAndCompression(h.biBitCount, h.biCompression, topDown);
    if (format != BmpStatus::kOk)
        return format;
    const uint32_t width = static_cast<uint32_t>(h.biWidth);
    if (width > kBmpMaxDimension || height > kBmpMaxDimension)
        return BmpStatus::kTooLarge;

    // Bit-field masks: inside a header that has room for them (52 bytes
    // and up), otherwise right behind it.
    uint64_t tableStart = kFileHeaderSize + uint64_t{biSize};
    uint32_t masks[3] = {0, 0, 0};
    if (h.biCompression == kBiBitfields || h.biCompression == kBiAlphaBitfields) {
        const uint32_t maskBytes = h.biCompression == kBiBitfields ? 12 : 16;
        const uint8_t* at = info + sizeof(DibHeader);
        if (biSize < sizeof(DibHeader) + maskBytes) {
            if (tableStart + maskBytes > fileSize)
                return BmpStatus::kTooShort;
            at = file + tableStart;
            tableStart += maskBytes;
        }
        for (int c = 0; c < 3; ++c)
            masks[c] = Get32(at + 4 * c);
        if (!UsableMasks(masks, h.biBitCount))
            return BmpStatus::kBadMasks;
    } else if (h.biBitCount == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (h.biBitCount == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0xFF00;
        masks[2] = 0xFF;
    }
    const uint64_t headersEnd = tableStart;

    // The declared table must lie in the file even where it is skipped:
    // its end is where the bits start when bfOffBits is 0.
    const uint32_t declared = CountDibColors(&h);
    const uint64_t tableEnd = tableStart + 4ull * declared;
    if (tableEnd > fileSize)
        return BmpStatus::kBadColorTable;
    const uint32_t fullTable = h.biBitCount <= 8 ? 1u << h.biBitCount : 0;
    const uint32_t colorsInFile = declared < fullTable ? declared : fullTable;

    const uint32_t offBits = Get32(file + 10);
    const uint64_t pixelOffset = offBits ? offBits : tableEnd;
    if (pixelOffset < headersEnd || pixelOffset > fileSize)
        return BmpStatus::kBadHeader;
    const uint64_t available = fileSize - pixelOffset;

    const uint16_t outBits = h.biBitCount <= 8 ? h.biBitCount : 24;
    const uint64_t outImage = DibRowSize(width, outBits) * height;
    if (outImage > kBmpMaxImageBytes)
        return BmpStatus::kTooLarge;

    uint64_t pixelLength;
    if (h.biCompression == kBiRle8 || h.biCompression == kBiRle4) {
        // biSizeImage is the stream length; a stream longer than the file
        // is a cut file, read as far as it goes.
        pixelLength = h.biSizeImage && h.biSizeImage < available ? h.biSizeImage : available;
    } else {
        const uint64_t image = DibRowSize(width, h.biBitCount) * height;
        if (h.biSizeImage > image && h.biSizeImage > available)
            return BmpStatus::kBadHeader;
        pixelLength = image < available ? image : available;
    }

    plan->dibSize = static_cast<size_t>(sizeof(DibHeader) + 4ull * fullTable + outImage);
    plan->fileSize = fileSize;
    plan->width = width;
    plan->height = static_cast<uint32_t>(height);
    plan->topDown = topDown;
    plan->bitCount = h.biBitCount;
    plan->outBitCount = outBits;
    plan->compression = h.biCompression;
    std::memcpy(plan->masks, masks, sizeof masks);
    plan->colorOffset = static_cast<size_t>(tableStart);
    plan->colorsInFile = colorsInFile;
    plan->outColors = fullTable;
    plan->pixelOffset = static_cast<size_t>(pixelOffset);
    plan->pixelLength = static_cast<size_t>(pixelLength);
    plan->xPelsPerMeter = h.biXPelsPerMeter;
    plan->yPelsPerMeter = h.biYPelsPerMeter;
    return BmpStatus::kOk;
}

BmpStatus BuildBmpDib(const uint8_t* file, size_t fileSize, const BmpPlan& plan,
                      uint8_t* dib, size_t dibSize)
{
    // The plan must be one PlanBmpRead made for this file and this block.
    const uint64_t image = DibRowSize(plan.width, plan.outBitCount) * plan.height;
    const uint64_t table = 4ull * plan.outColors;
    const bool paletted = plan.bitCount <= 8;
    if (!file || !dib || plan.dibSize == 0 || dibSize != plan.dibSize ||
        plan.outBitCount != (paletted ? plan.bitCount : 24) ||
        plan.outColors != (paletted ? 1u << plan.bitCount : 0) ||
        fileSize != plan.fileSize || sizeof(DibHeader) + table + image != dibSize ||
        plan.colorsInFile > plan.outColors ||
        uint64_t{plan.colorOffset} + 4ull * plan.colorsInFile > fileSize ||
        uint64_t{plan.pixelOffset} + plan.pixelLength > fileSize)
        return BmpStatus::kBadArguments;

    const DibHeader h = BmpDibHeader(plan);
    std::memcpy(dib, &h, sizeof h);

    uint8_t* colors = dib + sizeof(DibHeader);
    std::memset(colors, 0, static_cast<size_t>(table));
    for (uint32_t i = 0; i < plan.colorsInFile; ++i) {
        // Blue, green, red; the reserved byte is not carried over.
        std::memcpy(colors + 4 * i, file + plan.colorOffset + 4 * i, 3);
    }

    uint8_t* bits = colors + table;
    if (plan.compression == kBiRle8 || plan.compression == kBiRle4) {
        const RleResult r = RleDecode(plan.compression, file + plan.pixelOffset, plan.pixelLength,
                                      plan.width, plan.height, bits, static_cast<size_t>(image));
        return r == RleResult::kBadArguments ? BmpStatus::kBadArguments : BmpStatus::kOk;
    }
    BuildUncompressed(plan, 0, plan.height, file + plan.pixelOffset, 0, plan.pixelLength, bits);
    return BmpStatus::kOk;
}

bool BmpReadsInRows(const BmpPlan& plan)
{
    return plan.dibSize != 0 && plan.compression != kBiRle8 && plan.compression != kBiRle4
           && plan.outBitCount == 24;
}

DibHeader BmpDibHeader(const BmpPlan& plan)
{
    DibHeader h{};
    h.biSize = sizeof(DibHeader);
    h.biWidth = static_cast<int32_t>(plan.width);
    h.biHeight = static_cast<int32_t>(plan.height);
    h.biPlanes = 1;
    h.biBitCount = plan.outBitCount;
    h.biCompression = kBiRgb;
    h.biSizeImage = static_cast<uint32_t>(DibRowSize(plan.width, plan.outBitCount) * plan.height);
    h.biXPelsPerMeter = plan.xPelsPerMeter;
    h.biYPelsPerMeter = plan.yPelsPerMeter;
    h.biClrUsed = plan.outColors;
    return h;
}

void BmpRowsSource(const BmpPlan& plan, uint32_t first, uint32_t count, uint64_t* offset,
                   uint64_t* length)
{
    *offset = plan.pixelOffset;
    *length = 0;
    if (count == 0 || first >= plan.height || count > plan.height - first)
        return;
    const uint64_t stride = DibRowSize(plan.width, plan.bitCount);
    // The file rows of these DIB rows, lowest and highest in the file.
    const uint64_t a = plan.topDown ? plan.height - first - count : first;
    const uint64_t start = a * stride;
    const uint64_t end = std::min<uint64_t>((a + count) * stride, plan.pixelLength);
    if (start >= end)
        return;
    *offset = plan.pixelOffset + start;
    *length = end - start;
}

BmpStatus BuildBmpRows(const BmpPlan& plan, uint32_t first, uint32_t count, const uint8_t* source,
                       uint64_t sourceOffset, size_t sourceLength, uint8_t* rows, size_t rowsSize)
{
    if (!BmpReadsInRows(plan) || !rows || count == 0 || first >= plan.height
        || count > plan.height - first
        || DibRowSize(plan.width, plan.outBitCount) * count != rowsSize
        || sourceOffset < plan.pixelOffset || (sourceLength && !source))
        return BmpStatus::kBadArguments;
    const uint64_t windowStart = sourceOffset - plan.pixelOffset;
    return BuildUncompressed(plan, first, count, source, windowStart, windowStart + sourceLength, rows)
               ? BmpStatus::kOk
               : BmpStatus::kBadArguments;
}

const char* BmpStatusText(BmpStatus status)
{
    switch (status) {
    case BmpStatus::kOk: return "ok";
    case BmpStatus::kNotBmp: return "not a BMP file";
    case BmpStatus::kTooShort: return "file ends inside its headers";
    case BmpStatus::kUnsupportedHeader: return "unsupported info header size";
    case BmpStatus::kBadHeader: return "impossible header values";
    case BmpStatus::kUnsupportedFormat: return "unsupported depth or compression";
    case BmpStatus::kBadMasks: return "unusable bit-field masks";
    case BmpStatus::kBadColorTable: return "colour table outside the file";
    case BmpStatus::kTooLarge: return "picture too large";
    case BmpStatus::kBadArguments: return "buffer or file does not match the plan";
    }
    return "unknown";
}
