// Recognising and decoding pictures for the bundled plug-in.
#include "plugins/stbimage/stb_decode.h"

#include <cstring>
#include <initializer_list>

#include "plugins/stbimage/stb_config.h"

namespace {

bool StartsWith(const uint8_t* head, size_t headSize, const char* signature, size_t length)
{
    return headSize >= length && std::memcmp(head, signature, length) == 0;
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool EndsWithNoCase(const char* name, const char* suffix)
{
    size_t n = std::strlen(name);
    size_t m = std::strlen(suffix);
    if (n < m)
        return false;
    for (size_t i = 0; i < m; ++i) {
        if (LowerAscii(name[n - m + i]) != suffix[i])
            return false;
    }
    return true;
}

bool HasTgaName(const char* fileName)
{
    if (!fileName)
        return true;
    for (const char* suffix : {".tga", ".icb", ".vda", ".vst"}) {
        if (EndsWithNoCase(fileName, suffix))
            return true;
    }
    return false;
}

bool IsPnmSpace(uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

uint64_t RowSize(uint32_t width)
{
    return (uint64_t{width} * 3 + 3) / 4 * 4;
}

void Put16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

// A colour channel laid over white by its alpha, rounded.
uint8_t OverWhite(uint8_t value, uint8_t alpha)
{
    return uint8_t((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

uint8_t ByteAt(const uint8_t* data, size_t size, size_t at)
{
    return at < size ? data[at] : 0;  // stb_image reads zeros past the end
}

// The stb_image shipped with Debian 12 (2.27) builds a Huffman table
// from the 16 code counts of a DHT segment without checking that they add
// up to at most 256, and writes past its 257-entry size list when they do.
// So every DHT segment it would reach is checked here first, walking the
// markers the way it does: bytes other than 0xFF between segments are
// skipped, fill bytes are skipped, and after a start of scan the
// entropy-coded data runs to the first marker that is neither a stuffed
// zero nor a restart (stb_image stops there or earlier, so no segment it
// reads is missed). i is the first byte after the start-of-image code.
// False when a table would overflow.
bool JpegHuffmanTablesFit(const uint8_t* data, size_t size, size_t i)
{
    while (i + 1 < size) {
        if (data[i] != 0xFF) {
            ++i;
            continue;
        }
        size_t m = i + 1;
        while (m < size && data[m] == 0xFF)
            ++m;
        if (m >= size)
            return true;
        uint8_t marker = data[m];
        if (marker == 0xD9)
            return true;
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            i = m + 1;
            continue;
        }
        size_t length = size_t(ByteAt(data, size, m + 1)) << 8 | ByteAt(data, size, m + 2);
        if (marker == 0xC4) {
            long remaining = long(length) - 2;
            size_t p = m + 3;
            while (remaining > 0) {
                unsigned codes = 0;
                for (size_t k = 1; k <= 16; ++k)
                    codes += ByteAt(data, size, p + k);
                if (codes > 256)
                    return false;
                p += 17 + codes;
                remaining -= long(17 + codes);
            }
        }
        i = m + 1 + length;
        if (marker == 0xDA) {
            while (i + 1 < size) {
                if (data[i] == 0xFF) {
                    size_t n = i + 1;
                    while (n < size && data[n] == 0xFF)
                        ++n;
                    if (n < size && data[n] != 0x00 && !(data[n] >= 0xD0 && data[n] <= 0xD7))
                        break;
                    i = n;
                    continue;
                }
                ++i;
            }
        }
    }
    return true;
}

// Whether stb_image may be given these bytes. Its JPEG test takes any
// data that starts with 0xFF, fill bytes and the start-of-image code
// 0xD8, whatever the format the caller has in mind, so the check runs
// before every call into it.
bool SafeForStb(const uint8_t* data, size_t size)
{
    if (size == 0 || data[0] != 0xFF)
        return true;
    size_t i = 1;
    while (i < size && data[i] == 0xFF)
        ++i;
    if (i >= size || data[i] != 0xD8)
        return true;
    return JpegHuffmanTablesFit(data, size, i + 1);
}

// PNM with samples above 255: stb_image 2.27 reads their bytes in the
// wrong order and converts them to another channel count with its 8-bit
// routine, reading past its buffer. Such files are not offered.
bool IsSixteenBitPnm(const uint8_t* data, size_t size)
{
    return size >= 2 && data[0] == 'P' && (data[1] == '5' || data[1] == '6')
           && stbi_is_16_bit_from_memory(data, int(size));
}

}  // namespace

ImageKind SniffImage(const uint8_t* head, size_t headSize, const char* fileName)
{
    if (!head)
        return ImageKind::kUnknown;
    if (StartsWith(head, headSize, "\x89PNG\r\n\x1a\n", 8))
        return ImageKind::kPng;
    if (StartsWith(head, headSize, "\xff\xd8\xff", 3))
        return ImageKind::kJpeg;
    if (StartsWith(head, headSize, "GIF87a", 6) || StartsWith(head, headSize, "GIF89a", 6))
        return ImageKind::kGif;
    if (StartsWith(head, headSize, "8BPS\0\1", 6))
        return ImageKind::kPsd;
    if (headSize >= 3 && head[0] == 'P' && (head[1] == '5' || head[1] == '6') && IsPnmSpace(head[2]))
        return ImageKind::kPnm;
    // Every other format has been ruled out by its signature, so a header
    // stb_image accepts here can only be read as TGA.
    int w = 0, h = 0, comp = 0;
    size_t probe = headSize < kSniffBytes ? headSize : kSniffBytes;
    if (HasTgaName(fileName) && probe >= 18 && SafeForStb(head, probe)
        && stbi_info_from_memory(head, int(probe), &w, &h, &comp))
        return ImageKind::kTga;
    return ImageKind::kUnknown;
}

DecodeStatus PlanDecode(const uint8_t* file, size_t size, const char* fileName, DecodePlan* plan)
{
    if (!file || size == 0 || !plan)
        return DecodeStatus::kUnknownFormat;
    if (size > kStbMaxFileBytes)
        return DecodeStatus::kTooLarge;
    ImageKind kind = SniffImage(file, size, fileName);
    if (kind == ImageKind::kUnknown)
        return DecodeStatus::kUnknownFormat;
    if (!SafeForStb(file, size))
        return DecodeStatus::kBroken;
    if (IsSixteenBitPnm(file, size))
        return DecodeStatus::kUnknownFormat;
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(file, int(size), &w, &h, &comp))
        return DecodeStatus::kBroken;
    if (w <= 0 || h <= 0)
        return DecodeStatus::kBroken;
    if (uint32_t(w) > kStbMaxDimension || uint32_t(h) > kStbMaxDimension
        || uint64_t(w) * uint64_t(h) > kStbMaxPixels)
        return DecodeStatus::kTooLarge;
    plan->kind = kind;
    plan->width = uint32_t(w);
    plan->height = uint32_t(h);
    plan->bitsSize = size_t(RowSize(plan->width) * plan->height);
    return DecodeStatus::kOk;
}

void WriteDibFormat(const DecodePlan& plan, uint8_t* format)
{
    std::memset(format, 0, kDibFormatSize);
    Put32(format + 0, 40);                            // biSize
    Put32(format + 4, plan.width);                    // biWidth
    Put32(format + 8, plan.height);                   // biHeight, bottom-up
    Put16(format + 12, 1);                            // biPlanes
    Put16(format + 14, 24);                           // biBitCount
    Put32(format + 20, uint32_t(plan.bitsSize));      // biSizeImage
    // biCompression 0, densities 0, no colour table.
}

DecodeStatus DecodeInto(const uint8_t* file, size_t size, const DecodePlan& plan, uint8_t* bits,
                        size_t bitsSize)
{
    if (!file || !bits || size == 0 || size > kStbMaxFileBytes || bitsSize != plan.bitsSize
        || plan.width == 0 || plan.height == 0)
        return DecodeStatus::kBroken;
    if (!SafeForStb(file, size))
        return DecodeStatus::kBroken;
    if (IsSixteenBitPnm(file, size))
        return DecodeStatus::kUnknownFormat;
    int w = 0, h = 0, comp = 0;
    stbi_uc* rgba = stbi_load_from_memory(file, int(size), &w, &h, &comp, 4);
    if (!rgba) {
        const char* reason = stbi_failure_reason();
        return reason && std::strcmp(reason, "outofmem") == 0 ? DecodeStatus::kNoMemory
                                                              : DecodeStatus::kBroken;
    }
    if (uint32_t(w) != plan.width || uint32_t(h) != plan.height) {
        stbi_image_free(rgba);
        return DecodeStatus::kBroken;
    }
    size_t rowSize = size_t(RowSize(plan.width));
    for (uint32_t y = 0; y < plan.height; ++y) {
        const stbi_uc* src = rgba + size_t(y) * plan.width * 4;
        uint8_t* dst = bits + size_t(plan.height - 1 - y) * rowSize;
        for (uint32_t x = 0; x < plan.width; ++x, src += 4, dst += 3) {
            uint8_t a = src[3];
            dst[0] = OverWhite(src[2], a);
            dst[1] = OverWhite(src[1], a);
            dst[2] = OverWhite(src[0], a);
        }
        std::memset(dst, 0, rowSize - size_t(plan.width) * 3);
    }
    stbi_image_free(rgba);
    return DecodeStatus::kOk;
}

int CopyPluginInfo(int infono, char* buffer, int bufferLength)
{
    static const char* const kInfo[] = {
        "00IN",
        "Kelvo stb_image plug-in 1.0 (PNG, JPEG, GIF, TGA, PSD, PNM)",
        "*.png", "PNG",
        "*.jpg;*.jpeg;*.jpe;*.jfif", "JPEG",
        "*.gif", "GIF",
        "*.tga;*.icb;*.vda;*.vst", "TGA",
        "*.psd", "Photoshop (PSD)",
        "*.pnm;*.ppm;*.pgm", "PNM",
    };
    constexpr int kCount = int(sizeof kInfo / sizeof kInfo[0]);
    if (infono < 0 || infono >= kCount || !buffer || bufferLength <= 0)
        return 0;
    size_t length = std::strlen(kInfo[infono]);
    size_t room = size_t(bufferLength) - 1;
    if (length > room)
        length = room;
    std::memcpy(buffer, kInfo[infono], length);
    buffer[length] = '\0';
    return int(length);
}
