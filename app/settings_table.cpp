// Settings table and decoding rules, apart from the registry calls.
#include "app/settings_table.h"

const SettingLayout kSettingLayouts[kSettingCount] = {
    {"PREVIEW", kRegBinary, 4, 0},
    {"SCALE", kRegBinary, 4, 100},
    {"SHOWPRINT", kRegBinary, 4, 0},
    {"READPRT", kRegBinary, 4, 0},
    {"OPEN", kRegDword, 4, 1},
    {"ICONIC", kRegBinary, 4, 0},
    {"SHIFT", kRegDword, 4, 1},
    {"CTRL", kRegDword, 4, 1},
    {"KEY", kRegDword, 2, 0x78},  // VK_F9
    {"STILLSELECT", kRegDword, 4, 1},
};

Settings DefaultSettings()
{
    Settings s{};
    for (size_t i = 0; i < kSettingCount; ++i)
        SetSettingValue(s, i, kSettingLayouts[i].defaultValue);
    return s;
}

uint32_t GetSettingValue(const Settings& s, size_t index)
{
    switch (index) {
    case 0: return s.preview;
    case 1: return s.scale;
    case 2: return s.showPrint;
    case 3: return s.readPrt;
    case 4: return uint32_t(s.open);
    case 5: return s.iconic;
    case 6: return s.shift;
    case 7: return s.ctrl;
    case 8: return s.key;
    case 9: return s.stillSelect;
    }
    return 0;
}

void SetSettingValue(Settings& s, size_t index, uint32_t v)
{
    switch (index) {
    case 0: s.preview = v; break;
    case 1: s.scale = v; break;
    case 2: s.showPrint = v; break;
    case 3: s.readPrt = v; break;
    case 4: s.open = int32_t(v); break;
    case 5: s.iconic = v; break;
    case 6: s.shift = v; break;
    case 7: s.ctrl = v; break;
    case 8: s.key = uint16_t(v); break;
    case 9: s.stillSelect = v; break;
    }
}

uint32_t DecodeSetting(size_t index, const StoredValue& stored)
{
    const SettingLayout& layout = kSettingLayouts[index];
    if (!stored.found || stored.type != layout.type || stored.length > layout.width
        || (stored.length > 0 && !stored.data))
        return layout.defaultValue;
    // A shorter value fills the low bytes; the rest of the field stays 0.
    uint32_t v = 0;
    for (uint32_t i = 0; i < stored.length; ++i)
        v |= uint32_t(stored.data[i]) << (8 * i);
    return v;
}

void EncodeSetting(size_t index, uint32_t value, uint8_t out[4])
{
    for (uint32_t i = 0; i < 4; ++i)
        out[i] = i < kSettingLayouts[index].width ? uint8_t(value >> (8 * i)) : 0;
}
