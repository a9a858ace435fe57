// Search pattern and plug-in picture checks of the plug-in manager.
#include "picture/plugin_rules.h"

#include <cstring>

#include "picture/dib_rules.h"
#include "picture/serial_name.h"

bool ComposePluginPattern(const char* directory, bool shiftJis, char* out, size_t outCapacity)
{
    static const char kPattern[] = "*.spi";
    if (!out || outCapacity == 0)
        return false;
    out[0] = '\0';
    if (!directory || directory[0] == '\0')
        return false;
    size_t dirLength = std::strlen(directory);
    bool separator = !EndsWithBackslash(directory, shiftJis);
    size_t needed = dirLength + (separator ? 1 : 0) + sizeof kPattern;  // terminator included
    if (needed > outCapacity)
        return false;
    std::memcpy(out, directory, dirLength);
    size_t at = dirLength;
    if (separator)
        out[at++] = '\\';
    std::memcpy(out + at, kPattern, sizeof kPattern);
    return true;
}

PluginDibStatus CheckPluginDib(const uint8_t* format, size_t formatSize, size_t bitsSize)
{
    if (!format || formatSize < sizeof(DibHeader))
        return PluginDibStatus::kNoHeader;
    DibHeader h;
    std::memcpy(&h, format, sizeof h);
    if (h.biSize < sizeof(DibHeader) || h.biSize > formatSize || h.biPlanes != 1
        || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN)
        return PluginDibStatus::kBadHeader;

    switch (h.biBitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return PluginDibStatus::kUnsupported;
    }
    bool rle = h.biCompression == kBiRle8 || h.biCompression == kBiRle4;
    if (h.biCompression == kBiRle8 && h.biBitCount != 8)
        return PluginDibStatus::kUnsupported;
    if (h.biCompression == kBiRle4 && h.biBitCount != 4)
        return PluginDibStatus::kUnsupported;
    if (h.biCompression == kBiBitfields && h.biBitCount != 16 && h.biBitCount != 32)
        return PluginDibStatus::kUnsupported;
    if (!rle && h.biCompression != kBiRgb && h.biCompression != kBiBitfields)
        return PluginDibStatus::kUnsupported;
    // A top-down run-length stream has no defined meaning.
    if (rle && h.biHeight < 0)
        return PluginDibStatus::kBadHeader;

    uint32_t height = h.biHeight < 0 ? uint32_t(-int64_t{h.biHeight}) : uint32_t(h.biHeight);
    if (uint32_t(h.biWidth) > kPluginMaxDimension || height > kPluginMaxDimension)
        return PluginDibStatus::kTooLarge;
    uint64_t image = DibImageSize(&h);
    if (image > kPluginMaxImageBytes)
        return PluginDibStatus::kTooLarge;

    // The platform finds the colour table (or the masks) right after
    // biSize header bytes and reads every entry biClrUsed announces.
    uint64_t table = DibColorTableSize(&h);
    if (h.biCompression == kBiBitfields && h.biSize == sizeof(DibHeader))
        table += 12;
    if (uint64_t{h.biSize} + table > formatSize)
        return PluginDibStatus::kTableMissing;

    uint64_t stored = rle ? h.biSizeImage : image;
    if (rle && stored == 0)
        return PluginDibStatus::kBitsMissing;
    if (stored > bitsSize)
        return PluginDibStatus::kBitsMissing;
    return PluginDibStatus::kOk;
}
