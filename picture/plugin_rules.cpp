// Module extensions and plug-in picture checks of the plug-in manager.
#include "picture/plugin_rules.h"

#include <cstring>

#include "picture/dib_rules.h"
#include "picture/serial_name.h"

std::vector<const char*> PluginModuleExtensions(bool sixtyFourBit)
{
    if (sixtyFourBit)
        return {"sph", "spi"};
    return {"spi"};
}

PluginDibStatus CheckPluginDib(const uint8_t* format, size_t formatSize, size_t bitsSize,
                               PluginDibExtent* extent)
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
    if (extent)
        *extent = PluginDibExtent{uint64_t{h.biSize} + table, stored};
    return PluginDibStatus::kOk;
}

namespace {

// ASCII letters only: other bytes may belong to double-byte characters.
std::string AsciiUpper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return s;
}

// "*.ext" with an extension of printable characters that mean nothing
// else in a pattern list.
bool IsPlainExtensionItem(const std::string& item)
{
    if (item.size() < 3 || item.size() > 34 || item[0] != '*' || item[1] != '.')
        return false;
    for (size_t i = 2; i < item.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(item[i]);
        if (c <= ' ' || c == 0x7F || std::strchr("*?;.\\/:|<>\"", c))
            return false;
    }
    return true;
}

std::string Trimmed(const std::string& s)
{
    size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

}  // namespace

std::string AllPicturesPattern(const std::vector<std::string>& pluginPatterns, size_t maxLength)
{
    std::vector<std::string> items{"*.BMP"};
    std::string out = items[0];
    for (const std::string& patterns : pluginPatterns) {
        size_t start = 0;
        while (start <= patterns.size()) {
            size_t end = patterns.find(';', start);
            if (end == std::string::npos)
                end = patterns.size();
            std::string item = AsciiUpper(Trimmed(patterns.substr(start, end - start)));
            start = end + 1;
            if (!IsPlainExtensionItem(item))
                continue;
            bool known = false;
            for (const std::string& have : items)
                known = known || have == item;
            if (known || out.size() + 1 + item.size() > maxLength)
                continue;
            items.push_back(item);
            out += ";" + item;
        }
    }
    return out;
}

const char kCodecPicturePattern[] =
    "*.png;*.jpg;*.jpeg;*.jpe;*.jfif;*.gif;*.tif;*.tiff;*.ico;*.jxr;*.wdp;*.hdp;*.webp;*.heic;"
    "*.heif";
