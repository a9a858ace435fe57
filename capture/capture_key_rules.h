// The capture key: the keys the key dialog offers, and the rule that tells
// a press of the capture key from every other keystroke.
#pragma once
#include <cstddef>
#include <cstdint>

struct CaptureKeyRow {
    char name[12];  // at most 11 characters ("PrintScreen") and the terminator
    uint32_t code;  // virtual-key code; 0 ends the table
};

// The rows in the order of the dialog's list, then the terminating row.
// New keys go at the end: a list index must keep naming the same key.
constexpr size_t kCaptureKeyCount = 53;
extern const CaptureKeyRow CaptureKeyTable[kCaptureKeyCount + 1];

// Index of the row whose code is code, or -1 when no row has it.
int FindCaptureKeyRow(uint32_t code);

// KEY after the dialog is confirmed with list entry selection selected
// (-1 when nothing is selected). Without a valid selection, which happens
// when the stored key is not in the table, the stored key is kept: the
// user confirmed the modifiers, not a change of key.
uint16_t CaptureKeyForSelection(int selection, uint16_t current);

// The combination as stored in CTRL, SHIFT and KEY.
struct CaptureKeyCombination {
    bool ctrl;
    bool shift;
    uint16_t key;
};

// One keystroke as a keyboard hook sees it.
struct KeyStroke {
    uint32_t virtualKey;  // the hook's wParam
    uint32_t flags;       // the hook's lParam: bit 29 Alt, bit 30 key was
                          // already down (auto-repeat), bit 31 key going up
    bool ctrl;            // modifiers held while the key event arrives
    bool shift;
    bool alt;
    bool win;
};

// True for the first key-down of the capture key with exactly the required
// modifiers held: Ctrl and Shift as the combination asks, neither Alt nor
// a Windows key. Auto-repeats and key-ups never count, and a key code of 0
// never matches.
bool IsCaptureKeyPress(const CaptureKeyCombination& combination, const KeyStroke& stroke);

// True for the first key-down of the capture key with Alt held as well as
// the modifiers the combination asks for (no Windows key): the capture of
// the foreground window. Alt is not one of the combination's own choices,
// so this never takes a press that IsCaptureKeyPress takes.
bool IsActiveWindowKeyPress(const CaptureKeyCombination& combination, const KeyStroke& stroke);

// Windows 11 gives Print Screen to the Snipping Tool while the user's
// setting PrintScreenKeyForSnippingEnabled (HKCU\Control Panel\Keyboard,
// a DWORD) is 1. The key dialog warns of it when the capture key is Print
// Screen and the setting was read as on; settingRead is false when the
// value is missing or not a DWORD.
constexpr uint16_t kPrintScreenKey = 0x2C;  // VK_SNAPSHOT
bool ShowsSnippingToolNote(uint32_t key, bool settingRead, uint32_t setting);

// Windows often keeps Print Screen's key-down from keyboard hooks (it takes
// the key for its own screen copy) and lets only the key-up through, while
// Wine passes both. So for Print Screen a key-up with no key-down seen
// since the last key-up stands for the press; when the key-down did come,
// that was the press and its key-up is not another one.
struct PrintScreenTracker {
    bool downSeen;
};

// The stroke the capture-key rules above should judge: Print Screen's lone
// key-up as the first key-down it stands for, every other stroke as it is.
// Records Print Screen's key-downs and key-ups in tracker, so it must see
// every keystroke once, in order.
KeyStroke PressOfStroke(PrintScreenTracker& tracker, const KeyStroke& stroke);
