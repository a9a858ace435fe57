// The capture-key table and the decision the keyboard hook makes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "capture/capture_key_rules.h"

namespace {

TEST(CaptureKeyTable, RowsInDialogOrderWithTerminator)
{
    // F1..F12, keypad 0..9, A..Z, the four navigation keys, then Print
    // Screen, added last so that the older indices keep their keys.
    std::string names;
    size_t rows = 0;
    for (; CaptureKeyTable[rows].code != 0; ++rows) {
        const char* name = CaptureKeyTable[rows].name;
        ASSERT_LT(std::strlen(name), sizeof CaptureKeyTable[rows].name) << rows;
        names += name;
        names += ' ';
    }
    EXPECT_EQ(rows, kCaptureKeyCount);
    EXPECT_EQ(names,
              "F1 F2 F3 F4 F5 F6 F7 F8 F9 F10 F11 F12 0 1 2 3 4 5 6 7 8 9 "
              "A B C D E F G H I J K L M N O P Q R S T U V W X Y Z PgUp PgDn Home End PrintScreen ");
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(CaptureKeyTable[i].code, 0x70u + i);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(CaptureKeyTable[12 + i].code, 0x60u + i);  // the keypad, not 0x30..0x39
    for (int i = 0; i < 26; ++i)
        EXPECT_EQ(CaptureKeyTable[22 + i].code, 0x41u + i);
    EXPECT_EQ(CaptureKeyTable[48].code, 0x21u);
    EXPECT_EQ(CaptureKeyTable[49].code, 0x22u);
    EXPECT_EQ(CaptureKeyTable[50].code, 0x24u);
    EXPECT_EQ(CaptureKeyTable[51].code, 0x23u);
    EXPECT_EQ(CaptureKeyTable[52].code, 0x2Cu);
    EXPECT_EQ(CaptureKeyTable[53].name[0], '\0');
}

TEST(CaptureKeyTable, SelectionAndStoredKey)
{
    EXPECT_EQ(FindCaptureKeyRow(0x78), 8);   // F9, the default
    EXPECT_EQ(FindCaptureKeyRow(0x65), 17);  // keypad 5
    EXPECT_EQ(FindCaptureKeyRow(0x35), -1);  // the 5 of the main block
    EXPECT_EQ(FindCaptureKeyRow(0), -1);     // the terminator is no key
    EXPECT_EQ(FindCaptureKeyRow(0x23), 51);
    EXPECT_EQ(FindCaptureKeyRow(0x2C), 52);  // Print Screen

    EXPECT_EQ(CaptureKeyForSelection(17, 0x78), 0x65);
    EXPECT_EQ(CaptureKeyForSelection(0, 0x78), 0x70);
    EXPECT_EQ(CaptureKeyForSelection(51, 0x78), 0x23);
    // No selection (a stored key outside the table): the stored key stays.
    EXPECT_EQ(CaptureKeyForSelection(-1, 0x1234), 0x1234);
    EXPECT_EQ(CaptureKeyForSelection(52, 0x78), 0x2C);
    EXPECT_EQ(CaptureKeyForSelection(53, 0x30), 0x30);
    EXPECT_EQ(CaptureKeyForSelection(1000, 0x30), 0x30);
}

constexpr uint32_t kAltContext = 1u << 29;
constexpr uint32_t kRepeat = 1u << 30;
constexpr uint32_t kUp = 1u << 31;

KeyStroke Stroke(uint32_t vk, uint32_t flags, bool ctrl, bool shift)
{
    return KeyStroke{vk, flags | 1u, ctrl, shift, false, false};
}

TEST(CaptureKeyPress, DefaultCombinationNeedsExactlyCtrlAndShift)
{
    CaptureKeyCombination f9{true, true, 0x78};
    EXPECT_TRUE(IsCaptureKeyPress(f9, Stroke(0x78, 0, true, true)));
    EXPECT_FALSE(IsCaptureKeyPress(f9, Stroke(0x78, 0, true, false)));
    EXPECT_FALSE(IsCaptureKeyPress(f9, Stroke(0x78, 0, false, true)));
    EXPECT_FALSE(IsCaptureKeyPress(f9, Stroke(0x78, 0, false, false)));
    EXPECT_FALSE(IsCaptureKeyPress(f9, Stroke(0x77, 0, true, true)));
    // Alt or a Windows key held as well is another combination.
    KeyStroke alt = Stroke(0x78, 0, true, true);
    alt.alt = true;
    EXPECT_FALSE(IsCaptureKeyPress(f9, alt));
    EXPECT_FALSE(IsCaptureKeyPress(f9, Stroke(0x78, kAltContext, true, true)));
    KeyStroke win = Stroke(0x78, 0, true, true);
    win.win = true;
    EXPECT_FALSE(IsCaptureKeyPress(f9, win));
}

TEST(CaptureKeyPress, OnlyTheFirstKeyDownCounts)
{
    CaptureKeyCombination f9{true, true, 0x78};
    EXPECT_FALSE(IsCaptureKeyPress(f9, Stroke(0x78, kRepeat, true, true)));
    EXPECT_FALSE(IsCaptureKeyPress(f9, Stroke(0x78, kRepeat | kUp, true, true)));
    EXPECT_FALSE(IsCaptureKeyPress(f9, Stroke(0x78, kUp, true, true)));
    // The repeat count and scan code bits do not matter.
    EXPECT_TRUE(IsCaptureKeyPress(f9, KeyStroke{0x78, 0x00430001u, true, true, false, false}));
    EXPECT_TRUE(IsCaptureKeyPress(f9, KeyStroke{0x78, 0x0043FFFFu, true, true, false, false}));
}

TEST(CaptureKeyPress, BareKeyAndSingleModifier)
{
    CaptureKeyCombination bare{false, false, 0x65};
    EXPECT_TRUE(IsCaptureKeyPress(bare, Stroke(0x65, 0, false, false)));
    EXPECT_FALSE(IsCaptureKeyPress(bare, Stroke(0x65, 0, true, false)));
    EXPECT_FALSE(IsCaptureKeyPress(bare, Stroke(0x35, 0, false, false)));
    CaptureKeyCombination shiftQ{false, true, 0x51};
    EXPECT_TRUE(IsCaptureKeyPress(shiftQ, Stroke(0x51, 0, false, true)));
    EXPECT_FALSE(IsCaptureKeyPress(shiftQ, Stroke(0x51, 0, true, true)));
    // A key of 0 (a damaged registry value) is never pressed.
    CaptureKeyCombination none{false, false, 0};
    EXPECT_FALSE(IsCaptureKeyPress(none, Stroke(0, 0, false, false)));
}

TEST(ActiveWindowKeyPress, TheCaptureKeyWithAltAddedOnly)
{
    CaptureKeyCombination f9{true, true, 0x78};
    KeyStroke alt = Stroke(0x78, 0, true, true);
    alt.alt = true;
    EXPECT_TRUE(IsActiveWindowKeyPress(f9, alt));
    // Alt as the hook's context bit alone counts too.
    EXPECT_TRUE(IsActiveWindowKeyPress(f9, Stroke(0x78, kAltContext, true, true)));
    // The plain capture key is not this press, and the other modifiers
    // must still be exactly the combination's.
    EXPECT_FALSE(IsActiveWindowKeyPress(f9, Stroke(0x78, 0, true, true)));
    EXPECT_FALSE(IsActiveWindowKeyPress(f9, Stroke(0x78, kAltContext, true, false)));
    EXPECT_FALSE(IsActiveWindowKeyPress(f9, Stroke(0x77, kAltContext, true, true)));
    KeyStroke win = alt;
    win.win = true;
    EXPECT_FALSE(IsActiveWindowKeyPress(f9, win));
    EXPECT_FALSE(IsActiveWindowKeyPress(f9, Stroke(0x78, kAltContext | kRepeat, true, true)));
    EXPECT_FALSE(IsActiveWindowKeyPress(f9, Stroke(0x78, kAltContext | kUp, true, true)));
    CaptureKeyCombination bare{false, false, 0x65};
    EXPECT_TRUE(IsActiveWindowKeyPress(bare, Stroke(0x65, kAltContext, false, false)));
    CaptureKeyCombination none{false, false, 0};
    EXPECT_FALSE(IsActiveWindowKeyPress(none, Stroke(0, kAltContext, false, false)));
}

TEST(PrintScreenPress, ALoneKeyUpStandsForThePressOnceEitherWay)
{
    CaptureKeyCombination prtsc{false, false, 0x2C};
    PrintScreenTracker tracker{};
    auto counts = [&](uint32_t flags, bool alt = false) {
        KeyStroke stroke = Stroke(0x2C, flags, false, false);
        stroke.alt = alt;
        KeyStroke press = PressOfStroke(tracker, stroke);
        return int(IsCaptureKeyPress(prtsc, press)) + 2 * int(IsActiveWindowKeyPress(prtsc, press));
    };
    // Only the key-up reaches the hook, press after press.
    EXPECT_EQ(counts(kRepeat | kUp), 1);
    EXPECT_EQ(counts(kRepeat | kUp), 1);
    // Key-down and key-up both come: the key-down alone is the press,
    // auto-repeats included.
    EXPECT_EQ(counts(0), 1);
    EXPECT_EQ(counts(kRepeat), 0);
    EXPECT_EQ(counts(kRepeat | kUp), 0);
    // The next lone key-up is a press again.
    EXPECT_EQ(counts(kRepeat | kUp), 1);
    // Repeats without the first key-down: the key-up is still the press.
    EXPECT_EQ(counts(kRepeat), 0);
    EXPECT_EQ(counts(kRepeat | kUp), 1);
    // With Alt: the foreground window, from the key-up alike.
    EXPECT_EQ(counts(kAltContext | kRepeat | kUp, true), 2);
    EXPECT_EQ(counts(kAltContext, true), 2);
    EXPECT_EQ(counts(kAltContext | kRepeat | kUp, true), 0);
    // Any other key's key-up stays a key-up and leaves the record alone.
    CaptureKeyCombination f9{false, false, 0x78};
    EXPECT_FALSE(IsCaptureKeyPress(f9, PressOfStroke(tracker, Stroke(0x78, kRepeat | kUp, false, false))));
    EXPECT_EQ(counts(0), 1);
    PressOfStroke(tracker, Stroke(0x78, kRepeat | kUp, false, false));
    EXPECT_EQ(counts(kRepeat | kUp), 0);
}

}  // namespace

namespace {

TEST(SnippingToolNote, OnlyForPrintScreenWithTheSettingOn)
{
    EXPECT_TRUE(ShowsSnippingToolNote(0x2C, true, 1));
    EXPECT_FALSE(ShowsSnippingToolNote(0x2C, true, 0));
    EXPECT_FALSE(ShowsSnippingToolNote(0x2C, true, 2));
    EXPECT_FALSE(ShowsSnippingToolNote(0x2C, false, 1));
    EXPECT_FALSE(ShowsSnippingToolNote(0x78, true, 1));  // F9
    EXPECT_FALSE(ShowsSnippingToolNote(0, true, 1));
}

}  // namespace
