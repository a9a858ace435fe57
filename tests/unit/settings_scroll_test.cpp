// Settings decoding rules and the scroll arithmetic of the picture view.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "app/scroll.h"
#include "app/settings_table.h"

namespace {

size_t IndexOf(const char* name)
{
    for (size_t i = 0; i < kSettingCount; ++i)
        if (std::strcmp(kSettingLayouts[i].name, name) == 0)
            return i;
    ADD_FAILURE() << name;
    return 0;
}

TEST(Settings, TableOrderTypesWidthsAndDefaults)
{
    const char* order[] = {"PREVIEW", "SCALE", "SHOWPRINT", "READPRT", "OPEN",
                           "ICONIC", "SHIFT", "CTRL", "KEY", "STILLSELECT"};
    for (size_t i = 0; i < kSettingCount; ++i)
        EXPECT_STREQ(kSettingLayouts[i].name, order[i]);
    Settings d = DefaultSettings();
    EXPECT_EQ(d.preview, 0u);
    EXPECT_EQ(d.scale, 100u);
    EXPECT_EQ(d.showPrint, 0u);
    EXPECT_EQ(d.readPrt, 0u);
    EXPECT_EQ(d.open, 1);
    EXPECT_EQ(d.iconic, 0u);
    EXPECT_EQ(d.shift, 1u);
    EXPECT_EQ(d.ctrl, 1u);
    EXPECT_EQ(d.key, 0x78);
    EXPECT_EQ(d.stillSelect, 1u);
    EXPECT_EQ(kSettingLayouts[IndexOf("KEY")].width, 2u);
    EXPECT_EQ(kSettingLayouts[IndexOf("KEY")].type, kRegDword);
    EXPECT_EQ(kSettingLayouts[IndexOf("PREVIEW")].type, kRegBinary);
    EXPECT_EQ(kSettingLayouts[IndexOf("OPEN")].type, kRegDword);
}

TEST(Settings, StoredValueTakenOnlyWithItsTypeAndWidth)
{
    const uint8_t one[4] = {1, 0, 0, 0};
    const uint8_t big[4] = {0xE8, 0x03, 0, 0};  // 1000
    size_t preview = IndexOf("PREVIEW"), scale = IndexOf("SCALE"), key = IndexOf("KEY");

    EXPECT_EQ(DecodeSetting(preview, {true, kRegBinary, 4, one}), 1u);
    // PREVIEW written as REG_DWORD by someone else: ignored, default 0.
    EXPECT_EQ(DecodeSetting(preview, {true, kRegDword, 4, one}), 0u);
    // Absent, or too long for the field (the query fails): default.
    EXPECT_EQ(DecodeSetting(scale, {false, 0, 0, nullptr}), 100u);
    // No range check: 1000 is used as stored, 0 stays 0.
    EXPECT_EQ(DecodeSetting(scale, {true, kRegBinary, 4, big}), 1000u);
    const uint8_t zero[4] = {};
    EXPECT_EQ(DecodeSetting(scale, {true, kRegBinary, 4, zero}), 0u);
    // KEY: 2 bytes of REG_DWORD data; any key code stays in force.
    const uint8_t key5[2] = {0x65, 0};
    EXPECT_EQ(DecodeSetting(key, {true, kRegDword, 2, key5}), 0x65u);
    const uint8_t odd[2] = {0x07, 0x01};
    EXPECT_EQ(DecodeSetting(key, {true, kRegDword, 2, odd}), 0x107u);
    EXPECT_EQ(DecodeSetting(key, {true, kRegDword, 4, one}), 0x78u);
    // A shorter value fills the low bytes.
    const uint8_t two[2] = {0x34, 0x12};
    EXPECT_EQ(DecodeSetting(scale, {true, kRegBinary, 2, two}), 0x1234u);
}

TEST(Settings, EncodingIsLittleEndianAndCutToTheWidth)
{
    uint8_t out[4];
    EncodeSetting(IndexOf("SCALE"), 0x01020304, out);
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(out[1], 3);
    EXPECT_EQ(out[2], 2);
    EXPECT_EQ(out[3], 1);
    EncodeSetting(IndexOf("KEY"), 0x78, out);
    EXPECT_EQ(out[0], 0x78);
    EXPECT_EQ(out[1], 0);

    Settings s = DefaultSettings();
    SetSettingValue(s, IndexOf("KEY"), 0x12345);
    EXPECT_EQ(GetSettingValue(s, IndexOf("KEY")), 0x2345u);
}

TEST(Scroll, RangesOfA1024x768PictureIn640x480)
{
    ScrollRanges r = ComputeScrollRanges(1024, 768, 640, 480, 32);
    EXPECT_EQ(r.horizontal, 384);
    EXPECT_EQ(r.vertical, 320);
    EXPECT_TRUE(r.horizontalBar);
    EXPECT_TRUE(r.verticalBar);
    // Page steps are a tenth of the range.
    EXPECT_EQ(ScrollPosition(0, r.horizontal, kScrollPageDown, 0), 38);
    EXPECT_EQ(ScrollPosition(0, r.vertical, kScrollPageDown, 0), 32);
    EXPECT_EQ(ScrollPosition(0, r.vertical, kScrollLineDown, 0), 1);
}

TEST(Scroll, StepsStopAtTheEnds)
{
    EXPECT_EQ(ScrollPosition(300, 320, kScrollPageDown, 0), 320);  // not 332
    EXPECT_EQ(ScrollPosition(319, 320, kScrollLineDown, 0), 320);
    EXPECT_EQ(ScrollPosition(320, 320, kScrollLineDown, 0), 320);
    EXPECT_EQ(ScrollPosition(20, 320, kScrollPageUp, 0), 0);
    EXPECT_EQ(ScrollPosition(0, 320, kScrollLineUp, 0), 0);
    EXPECT_EQ(ScrollPosition(5, 320, kScrollThumbTrack, 320), 320);
    // The thumb cannot be taken beyond the range.
    EXPECT_EQ(ScrollPosition(5, 320, kScrollThumbPosition, 65535), 320);
    EXPECT_EQ(ScrollPosition(5, 320, 6 /* top */, 99), 5);
    EXPECT_EQ(ScrollPosition(5, 320, 8 /* end scroll */, 99), 5);
    // A position left from a larger picture comes back within the range.
    EXPECT_EQ(ScrollPosition(500, 320, 8 /* end scroll */, 0), 320);
}

TEST(Scroll, SmallRangesAndPicturesSmallerThanTheView)
{
    // A range below 10 gives a page step of 0.
    EXPECT_EQ(ScrollPosition(4, 9, kScrollPageDown, 0), 4);
    EXPECT_EQ(ScrollPosition(4, 9, kScrollPageUp, 0), 4);
    // Empty clipboard right after start: ranges 0, positions stay 0.
    EXPECT_EQ(ScrollPosition(0, 0, kScrollPageDown, 0), 0);

    ScrollRanges r = ComputeScrollRanges(100, 100, 640, 480, 32);
    EXPECT_FALSE(r.horizontalBar);
    EXPECT_FALSE(r.verticalBar);
    EXPECT_EQ(r.vertical, 100 - 448);
    // A picture that fits never scrolls, whatever is asked.
    for (int request : {kScrollLineDown, kScrollPageDown, kScrollPageUp, kScrollThumbPosition})
        EXPECT_EQ(ScrollPosition(0, r.vertical, request, 200), 0) << request;
    EXPECT_EQ(ScrollBy(0, r.vertical, 48), 0);
}

int64_t Wheel(int32_t delta, uint32_t perNotch, int32_t range)
{
    WheelCarry carry;
    return WheelDistance(delta, perNotch, range, carry);
}

TEST(Scroll, WheelGoesSixteenPixelsALine)
{
    // Three lines a notch, the system's default: 48 pixels, either way.
    EXPECT_EQ(Wheel(120, 3, 320), 48);
    EXPECT_EQ(Wheel(-240, 3, 320), -96);
    // A finer wheel reports parts of a notch.
    EXPECT_EQ(Wheel(30, 3, 320), 12);
    EXPECT_EQ(Wheel(120, 0, 320), 0);
    // "A page a notch": the page step, a tenth of the range.
    EXPECT_EQ(Wheel(-120, kWheelPageScroll, 320), -32);
    EXPECT_EQ(Wheel(120, kWheelPageScroll, -100), 0);
    // Absurd settings do not overflow.
    EXPECT_GT(Wheel(INT32_MAX, 0xFFFFFFFE, 320), 0);
    EXPECT_LT(Wheel(INT32_MIN, 0xFFFFFFFE, 320), 0);
    // The move itself stops at the ends.
    EXPECT_EQ(ScrollBy(300, 320, 48), 320);
    EXPECT_EQ(ScrollBy(20, 320, -48), 0);
}

// Sums the distances of the turns, one message each, on one bar.
int64_t Turns(std::initializer_list<int32_t> deltas, uint32_t perNotch, int32_t range,
              WheelCarry& carry)
{
    int64_t sum = 0;
    for (int32_t d : deltas)
        sum += WheelDistance(d, perNotch, range, carry);
    return sum;
}

TEST(Scroll, PartsOfANotchAddUpToTheNotch)
{
    // One line a notch: 40 is 5 1/3 pixels; three of them are a notch, 16.
    WheelCarry carry;
    EXPECT_EQ(Turns({40, 40, 40}, 1, 320, carry), 16);
    EXPECT_EQ(carry.fraction, 0);
    // Four of 30 and three of 40 are two notches, in any mix.
    EXPECT_EQ(Turns({30, 40, 30, 40, 30, 40, 30}, 1, 320, carry), 32);
    // Slow scrolling: a touchpad's smallest turns still move the picture.
    EXPECT_EQ(Turns({1, 1, 1, 1}, 1, 320, carry), 0);
    EXPECT_EQ(Turns({1, 1, 1, 1}, 1, 320, carry), 1);  // eight: 128 / 120 of a pixel
    // The same upwards.
    WheelCarry up;
    EXPECT_EQ(Turns({-40, -40, -40, -40, -40, -40}, 1, 320, up), -32);
    // In page mode a notch is the page step, 38 for a range of 384: four
    // quarters of it (9 1/2 pixels each) make the whole step.
    WheelCarry page;
    EXPECT_EQ(Turns({30, 30, 30, 30}, kWheelPageScroll, 384, page), 38);
    EXPECT_EQ(Turns({-30, -30, -30, -30}, kWheelPageScroll, 384, page), -38);
}

TEST(Scroll, ATurnTheOtherWayStartsAfresh)
{
    WheelCarry carry;
    EXPECT_EQ(WheelDistance(40, 1, 320, carry), 5);  // a third of a pixel left over
    // Back the other way: the third does not shorten the turn.
    EXPECT_EQ(WheelDistance(-40, 1, 320, carry), -5);
    EXPECT_EQ(WheelDistance(-40, 1, 320, carry), -5);
    EXPECT_EQ(WheelDistance(-40, 1, 320, carry), -6);
    EXPECT_EQ(carry.fraction, 0);
}

TEST(Scroll, BarsFollowTheViewNotTheClientHeight)
{
    // The view is the client area below a toolbar of 32 rows.
    EXPECT_FALSE(ComputeScrollRanges(640, 448, 640, 480, 32).verticalBar);
    EXPECT_TRUE(ComputeScrollRanges(640, 449, 640, 480, 32).verticalBar);
    EXPECT_FALSE(ComputeScrollRanges(640, 100, 640, 480, 32).horizontalBar);
    EXPECT_TRUE(ComputeScrollRanges(641, 100, 640, 480, 32).horizontalBar);
}

TEST(Scroll, ScaledToolbarLeavesTheLastRowsInReach)
{
    // At 150 % and 200 % the toolbar is taller: the range grows with it, so
    // the last row of the picture reaches the bottom of the client area.
    for (int32_t toolbar : {28, 42, 56}) {
        ScrollRanges r = ComputeScrollRanges(2000, 1500, 900, 700, toolbar);
        EXPECT_EQ(r.vertical, 1500 - (700 - toolbar)) << toolbar;
        EXPECT_EQ(r.horizontal, 2000 - 900) << toolbar;
        // Scrolled to the end, the last row is drawn at the view's bottom.
        EXPECT_EQ(toolbar + (1500 - r.vertical), 700) << toolbar;
    }
    // A picture exactly as tall as the view needs no bar, one row more does.
    EXPECT_FALSE(ComputeScrollRanges(100, 644, 640, 700, 56).verticalBar);
    EXPECT_TRUE(ComputeScrollRanges(100, 645, 640, 700, 56).verticalBar);
}

}  // namespace
