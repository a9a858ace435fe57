// The persisted options: their registry names, types, widths and defaults,
// and the rule that decides whether a stored value is taken.
#pragma once
#include <cstddef>
#include <cstdint>

// Registry types as the registry numbers them.
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

struct Settings {
    uint32_t preview;    // PREVIEW: ask before the capture-and-output sends
    uint32_t scale;      // SCALE: print size, percent of the printable area
    uint32_t showPrint;  // SHOWPRINT: show the printing notice
    uint32_t readPrt;    // READPRT: load PRTINFO.CFG at start
    int32_t open;        // OPEN: kept from load to save, otherwise unused
    uint32_t iconic;     // ICONIC: start minimised
    uint32_t shift;      // SHIFT: capture key needs Shift
    uint32_t ctrl;       // CTRL: capture key needs Ctrl
    uint16_t key;        // KEY: virtual-key code of the capture key
    uint32_t stillSelect;  // STILLSELECT: the rectangle is chosen on a still screen
};

struct SettingLayout {
    const char* name;
    uint32_t type;          // kRegBinary or kRegDword
    uint32_t width;         // bytes read and written
    uint32_t defaultValue;
};

// In the order in which the values are read and written.
constexpr size_t kSettingCount = 10;
extern const SettingLayout kSettingLayouts[kSettingCount];

Settings DefaultSettings();

// The value of setting index as stored in memory, widened to 32 bits.
uint32_t GetSettingValue(const Settings& settings, size_t index);
// Stores value into setting index, cut to the field's width.
void SetSettingValue(Settings& settings, size_t index, uint32_t value);

// What a query found for one value: whether it succeeded (a value longer
// than the field's width does not), its type, and its bytes.
struct StoredValue {
    bool found;
    uint32_t type;
    uint32_t length;
    const uint8_t* data;
};

// The value that setting index takes from what was stored: the stored bytes
// (little-endian) when the query succeeded with the expected type and the
// data fits the field, the default otherwise.
uint32_t DecodeSetting(size_t index, const StoredValue& stored);

// The bytes written for setting index: little-endian, width bytes.
void EncodeSetting(size_t index, uint32_t value, uint8_t out[4]);
