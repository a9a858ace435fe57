// The capture-key table and the capture-key decision, apart from the
// dialog and the hook.
#include "capture/capture_key_rules.h"

const CaptureKeyRow CaptureKeyTable[kCaptureKeyCount + 1] = {
    {"F1", 0x70}, {"F2", 0x71}, {"F3", 0x72}, {"F4", 0x73}, {"F5", 0x74}, {"F6", 0x75},
    {"F7", 0x76}, {"F8", 0x77}, {"F9", 0x78}, {"F10", 0x79}, {"F11", 0x7A}, {"F12", 0x7B},
    // The digits are the numeric keypad's, not those of the main block.
    {"0", 0x60}, {"1", 0x61}, {"2", 0x62}, {"3", 0x63}, {"4", 0x64},
    {"5", 0x65}, {"6", 0x66}, {"7", 0x67}, {"8", 0x68}, {"9", 0x69},
    {"A", 0x41}, {"B", 0x42}, {"C", 0x43}, {"D", 0x44}, {"E", 0x45}, {"F", 0x46}, {"G", 0x47},
    {"H", 0x48}, {"I", 0x49}, {"J", 0x4A}, {"K", 0x4B}, {"L", 0x4C}, {"M", 0x4D}, {"N", 0x4E},
    {"O", 0x4F}, {"P", 0x50}, {"Q", 0x51}, {"R", 0x52}, {"S", 0x53}, {"T", 0x54}, {"U", 0x55},
    {"V", 0x56}, {"W", 0x57}, {"X", 0x58}, {"Y", 0x59}, {"Z", 0x5A},
    {"PgUp", 0x21}, {"PgDn", 0x22}, {"Home", 0x24}, {"End", 0x23},
    {"PrintScreen", kPrintScreenKey},
    {"", 0},
};

int FindCaptureKeyRow(uint32_t code)
{
    if (code == 0)
        return -1;
    for (size_t i = 0; CaptureKeyTable[i].code != 0; ++i) {
        if (CaptureKeyTable[i].code == code)
            return int(i);
    }
    return -1;
}

uint16_t CaptureKeyForSelection(int selection, uint16_t current)
{
    if (selection < 0 || size_t(selection) >= kCaptureKeyCount)
        return current;
    return uint16_t(CaptureKeyTable[selection].code);
}

namespace {

// The first key-down of the combination's key with its own modifiers;
// withAlt tells whether Alt must be held too or must not be.
bool IsFirstPress(const CaptureKeyCombination& combination, const KeyStroke& stroke, bool withAlt)
{
    constexpr uint32_t kAltDown = 1u << 29;
    constexpr uint32_t kWasDown = 1u << 30;
    constexpr uint32_t kGoingUp = 1u << 31;
    if (combination.key == 0 || stroke.virtualKey != combination.key)
        return false;
    if (stroke.flags & (kWasDown | kGoingUp))
        return false;
    bool alt = stroke.alt || (stroke.flags & kAltDown);
    if (alt != withAlt || stroke.win)
        return false;
    return stroke.ctrl == combination.ctrl && stroke.shift == combination.shift;
}

}  // namespace

bool IsCaptureKeyPress(const CaptureKeyCombination& combination, const KeyStroke& stroke)
{
    return IsFirstPress(combination, stroke, false);
}

bool IsActiveWindowKeyPress(const CaptureKeyCombination& combination, const KeyStroke& stroke)
{
    return IsFirstPress(combination, stroke, true);
}

bool ShowsSnippingToolNote(uint32_t key, bool settingRead, uint32_t setting)
{
    return key == kPrintScreenKey && settingRead && setting == 1;
}

KeyStroke PressOfStroke(PrintScreenTracker& tracker, const KeyStroke& stroke)
{
    constexpr uint32_t kWasDown = 1u << 30;
    constexpr uint32_t kGoingUp = 1u << 31;
    if (stroke.virtualKey != kPrintScreenKey)
        return stroke;
    if (!(stroke.flags & kGoingUp)) {
        // An auto-repeat alone does not show that the first key-down came.
        if (!(stroke.flags & kWasDown))
            tracker.downSeen = true;
        return stroke;
    }
    bool lone = !tracker.downSeen;
    tracker.downSeen = false;
    if (!lone)
        return stroke;
    KeyStroke press = stroke;
    press.flags &= ~(kWasDown | kGoingUp);
    return press;
}
