// Where the pointer is drawn in a grabbed picture.
#include <gtest/gtest.h>

#include "capture/cursor_rules.h"

namespace {

TEST(PlacePointer, HotSpotLandsOnThePointerInsideTheGrab)
{
    // An arrow of 32 x 32 with its tip at (0, 0), a hand with its finger
    // at (6, 1), over a grab that starts at (200, 100).
    Corner at{};
    ASSERT_TRUE(PlacePointer(PointerShape{{300, 400}, 0, 0, 32, 32}, GrabRect{200, 100, 500, 500}, at));
    EXPECT_EQ(at.x, 100);
    EXPECT_EQ(at.y, 300);
    ASSERT_TRUE(PlacePointer(PointerShape{{300, 400}, 6, 1, 32, 32}, GrabRect{200, 100, 500, 500}, at));
    EXPECT_EQ(at.x, 94);
    EXPECT_EQ(at.y, 299);
}

TEST(PlacePointer, ScaledCursorAndNegativeScreenOrigin)
{
    // A 64 x 64 cursor at 200 %, hot spot (22, 22), on a monitor left of
    // the primary one, in a grab of the whole virtual screen.
    Corner at{};
    ASSERT_TRUE(PlacePointer(PointerShape{{-500, 20}, 22, 22, 64, 64}, GrabRect{-1024, 0, 2048, 768}, at));
    EXPECT_EQ(at.x, 502);
    EXPECT_EQ(at.y, -2);
}

TEST(PlacePointer, PartlyOutsideIsStillDrawnAndWhollyOutsideIsNot)
{
    const GrabRect grab{100, 100, 50, 40};
    Corner at{};
    // The cursor's picture hangs over the left and top edges.
    ASSERT_TRUE(PlacePointer(PointerShape{{105, 103}, 10, 10, 32, 32}, grab, at));
    EXPECT_EQ(at.x, -5);
    EXPECT_EQ(at.y, -7);
    // Its last column just inside the right edge, its last row just inside.
    EXPECT_TRUE(PlacePointer(PointerShape{{149, 139}, 0, 0, 32, 32}, grab, at));
    EXPECT_TRUE(PlacePointer(PointerShape{{69, 69}, 0, 0, 32, 32}, grab, at));
    // Right of, below, left of and above the grab.
    EXPECT_FALSE(PlacePointer(PointerShape{{150, 110}, 0, 0, 32, 32}, grab, at));
    EXPECT_FALSE(PlacePointer(PointerShape{{110, 140}, 0, 0, 32, 32}, grab, at));
    EXPECT_FALSE(PlacePointer(PointerShape{{68, 110}, 0, 0, 32, 32}, grab, at));
    EXPECT_FALSE(PlacePointer(PointerShape{{110, 68}, 0, 0, 32, 32}, grab, at));
}

TEST(PlacePointer, EmptyCursorOrGrabAndExtremePositions)
{
    Corner at{};
    EXPECT_FALSE(PlacePointer(PointerShape{{10, 10}, 0, 0, 0, 32}, GrabRect{0, 0, 100, 100}, at));
    EXPECT_FALSE(PlacePointer(PointerShape{{10, 10}, 0, 0, 32, 32}, GrabRect{0, 0, 0, 100}, at));
    // No wrap-around of 32-bit arithmetic brings a far pointer into view.
    EXPECT_FALSE(PlacePointer(PointerShape{{INT32_MIN, INT32_MIN}, 0, 0, 32, 32},
                              GrabRect{INT32_MAX - 10, INT32_MAX - 10, 10, 10}, at));
    EXPECT_FALSE(PlacePointer(PointerShape{{INT32_MAX, 0}, INT32_MIN + 1, 0, 32, 32},
                              GrabRect{0, 0, 100, 100}, at));
}

TEST(PointerOption, OnOnlyForADwordOfOne)
{
    const uint8_t one[4] = {1, 0, 0, 0};
    const uint8_t two[4] = {2, 0, 0, 0};
    const uint8_t high[4] = {1, 0, 0, 1};
    EXPECT_TRUE(PointerOptionFromStored(StoredValue{true, kRegDword, 4, one}));
    EXPECT_TRUE(PointerOptionFromStored(StoredValue{true, kRegDword, 1, one}));
    EXPECT_FALSE(PointerOptionFromStored(StoredValue{false, kRegDword, 4, one}));
    EXPECT_FALSE(PointerOptionFromStored(StoredValue{true, kRegBinary, 4, one}));
    EXPECT_FALSE(PointerOptionFromStored(StoredValue{true, kRegDword, 0, one}));
    EXPECT_FALSE(PointerOptionFromStored(StoredValue{true, kRegDword, 5, one}));
    EXPECT_FALSE(PointerOptionFromStored(StoredValue{true, kRegDword, 4, two}));
    EXPECT_FALSE(PointerOptionFromStored(StoredValue{true, kRegDword, 4, high}));
    EXPECT_FALSE(PointerOptionFromStored(StoredValue{true, kRegDword, 4, nullptr}));
}

}  // namespace
