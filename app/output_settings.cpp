// Decoding and encoding of the persisted output choices, apart from the
// registry calls.
#include "app/output_settings.h"

const OutputNumberLayout kOutputNumbers[kOutputNumberCount] = {
    {"OUTPUT", 1},
    {"SERIAL", 1},
    {"FORMAT", 2},
    {"COMPRESS", 2},
    {"QUALITY", 100},
};

uint32_t& OutputNumber(OutputSettings& s, size_t index)
{
    switch (index) {
    case 0: return s.fileOutput;
    case 1: return s.serialOn;
    case 2: return s.format;
    case 3: return s.compression;
    default: return s.quality;
    }
}

uint32_t DecodeOutputNumber(size_t index, const StoredValue& stored)
{
    if (!stored.found || stored.type != kRegDword || stored.length == 0 || stored.length > 4
        || !stored.data)
        return 0;
    uint32_t v = 0;
    for (uint32_t i = 0; i < stored.length; ++i)
        v |= uint32_t(stored.data[i]) << (8 * i);
    return v <= kOutputNumbers[index].largest ? v : 0;
}

bool DecodeStoredText(const StoredValue& stored, std::u16string* text)
{
    text->clear();
    if (!stored.found || stored.type != kRegSz || stored.length % 2 != 0)
        return false;
    if (stored.length > 0 && !stored.data)
        return false;
    std::u16string read;
    for (uint32_t i = 0; i + 1 < stored.length; i += 2) {
        char16_t unit = char16_t(stored.data[i] | (stored.data[i + 1] << 8));
        if (unit == 0)
            break;
        read += unit;
    }
    if (read.size() > kLongestStoredText)
        return false;
    *text = read;
    return true;
}

std::vector<uint8_t> EncodeStoredText(const std::u16string& text)
{
    size_t units = text.size() < kLongestStoredText ? text.size() : kLongestStoredText;
    std::vector<uint8_t> out;
    out.reserve((units + 1) * 2);
    for (size_t i = 0; i < units; ++i) {
        out.push_back(uint8_t(text[i] & 0xFF));
        out.push_back(uint8_t(text[i] >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}
