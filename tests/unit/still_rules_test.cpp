// The rules of the selection on a still screen: dimming, snapping, the
// selection's moves, the keyboard, and where the magnifier and the size go.
#include <gtest/gtest.h>

#include "capture/still/still_rules.h"

namespace {

bool Same(const FrameBox& a, const FrameBox& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool Holds(const FrameBox& box, Corner p)
{
    return p.x >= box.left && p.x < box.right && p.y >= box.top && p.y < box.bottom;
}

TEST(StillScreen, DimmingDarkensColoursAndLeavesTheFourthByte)
{
    uint8_t pixels[8] = {255, 128, 0, 77, 8, 16, 200, 255};
    DimPixels(pixels, 2);
    EXPECT_EQ(pixels[0], DimChannel(255));
    EXPECT_EQ(pixels[1], DimChannel(128));
    EXPECT_EQ(pixels[2], 0);
    EXPECT_EQ(pixels[3], 77);
    EXPECT_EQ(pixels[6], DimChannel(200));
    EXPECT_EQ(pixels[7], 255);
    // Dimmed, yet never black: white stays a light grey.
    EXPECT_LT(DimChannel(255), 255);
    EXPECT_GT(DimChannel(255), 128);
    for (int v = 1; v < 256; ++v)
        EXPECT_LE(DimChannel(uint8_t(v)), v);
}

TEST(StillScreen, SnapChoosesTheTopmostWindowThenItsDeepestControl)
{
    std::vector<SnapWindow> windows = {
        {{100, 100, 500, 400}, -1},  // 0: topmost window
        {{120, 120, 300, 200}, 0},   // 1: a panel in it
        {{130, 130, 200, 160}, 1},   // 2: a button on the panel
        {{0, 0, 800, 600}, -1},      // 3: a window below it
        {{10, 10, 90, 90}, 3},       // 4: a control of that window
    };
    EXPECT_EQ(SnapChoice(windows, Corner{150, 140}), 2);
    EXPECT_EQ(SnapChoice(windows, Corner{250, 140}), 1);
    EXPECT_EQ(SnapChoice(windows, Corner{400, 300}), 0);
    // The lower window's control where the topmost window does not reach.
    EXPECT_EQ(SnapChoice(windows, Corner{50, 50}), 4);
    EXPECT_EQ(SnapChoice(windows, Corner{700, 500}), 3);
    EXPECT_EQ(SnapChoice(windows, Corner{900, 700}), -1);
    // Right and bottom edges are outside.
    EXPECT_EQ(SnapChoice(windows, Corner{500, 300}), 3);
}

TEST(StillScreen, ClickWithoutADragTakesTheSnappedWindow)
{
    StillSelection s{};
    s.snapped = true;
    s.snap = FrameBox{10, 20, 110, 70};
    PressStill(s, Corner{50, 40});
    FrameBox taken{};
    ASSERT_TRUE(ReleaseStill(s, &taken));
    EXPECT_TRUE(Same(taken, s.snap));
}

TEST(StillScreen, DragTakesTheFreeRectangleInEitherDirection)
{
    StillSelection s{};
    s.snapped = true;
    s.snap = FrameBox{0, 0, 1000, 1000};
    PressStill(s, Corner{300, 400});
    MoveStill(s, Corner{200, 250});
    MoveStill(s, Corner{-20, 150});
    FrameBox taken{};
    ASSERT_TRUE(ReleaseStill(s, &taken));
    EXPECT_TRUE(Same(taken, FrameBox{-20, 150, 300, 400}));
    // Moving back onto the start after a drag is an empty rectangle, not the window.
    StillSelection t{};
    t.snapped = true;
    t.snap = FrameBox{0, 0, 10, 10};
    PressStill(t, Corner{5, 5});
    MoveStill(t, Corner{8, 8});
    MoveStill(t, Corner{5, 5});
    EXPECT_TRUE(Same(TakeStill(t), FrameBox{5, 5, 5, 5}));
}

TEST(StillScreen, ReleaseWithoutAPressDoesNotEnd)
{
    StillSelection s{};
    FrameBox taken{1, 2, 3, 4};
    EXPECT_FALSE(ReleaseStill(s, &taken));
    MoveStill(s, Corner{5, 5});
    EXPECT_FALSE(s.dragged);
}

TEST(StillScreen, ArrowsMoveOnePixelOrTenWithShiftAndStayOnTheScreen)
{
    GrabRect screen{-1024, 0, 2048, 768};
    Corner c = ArrowMove(Corner{100, 100}, 1, 0, false, screen);
    EXPECT_EQ(c.x, 101);
    EXPECT_EQ(c.y, 100);
    c = ArrowMove(Corner{100, 100}, 0, -1, true, screen);
    EXPECT_EQ(c.y, 90);
    c = ArrowMove(Corner{-1020, 5}, -1, -1, true, screen);
    EXPECT_EQ(c.x, -1024);
    EXPECT_EQ(c.y, 0);
    c = ArrowMove(Corner{1020, 765}, 1, 1, true, screen);
    EXPECT_EQ(c.x, 1023);
    EXPECT_EQ(c.y, 767);
}

TEST(StillScreen, LoupeStaysOnTheMonitorBesideTheHotSpot)
{
    FrameBox monitor{-1024, 0, 0, 768};
    const int w = 130, h = 190, gap = 16;
    for (Corner hot : {Corner{-1000, 10}, Corner{-1, 10}, Corner{-1000, 767}, Corner{-1, 767},
                       Corner{-500, 400}, Corner{-1024, 0}}) {
        FrameBox box = PlaceLoupe(hot, monitor, w, h, gap);
        EXPECT_EQ(box.right - box.left, w);
        EXPECT_EQ(box.bottom - box.top, h);
        EXPECT_GE(box.left, monitor.left);
        EXPECT_LE(box.right, monitor.right);
        EXPECT_GE(box.top, monitor.top);
        EXPECT_LE(box.bottom, monitor.bottom);
        EXPECT_FALSE(Holds(box, hot)) << hot.x << "," << hot.y;
    }
    // Below and right of the hot spot where there is room.
    FrameBox free = PlaceLoupe(Corner{-500, 400}, monitor, w, h, gap);
    EXPECT_EQ(free.left, -500 + 1 + gap);
    EXPECT_EQ(free.top, 400 + 1 + gap);
}

TEST(StillScreen, SizeLabelGoesAboveOrBelowTheSelectionOnItsMonitor)
{
    FrameBox monitor{0, 0, 1024, 768};
    FrameBox above = PlaceSizeLabel(FrameBox{100, 100, 300, 200}, monitor, 80, 20, 4);
    EXPECT_TRUE(Same(above, FrameBox{100, 76, 180, 96}));
    FrameBox below = PlaceSizeLabel(FrameBox{100, 5, 300, 200}, monitor, 80, 20, 4);
    EXPECT_TRUE(Same(below, FrameBox{100, 204, 180, 224}));
    FrameBox inside = PlaceSizeLabel(FrameBox{1000, 0, 1024, 768}, monitor, 80, 20, 4);
    EXPECT_TRUE(Same(inside, FrameBox{944, 4, 1024, 24}));
}

TEST(StillScreen, TextsUnderTheLoupe)
{
    EXPECT_EQ(PositionText(Corner{-1024, 5}), L"-1024, 5");
    EXPECT_EQ(SizeText(FrameBox{-20, 150, 300, 400}), L"320 \u00d7 250");
    EXPECT_EQ(ColourText(0x33, 0x66, 0xCC), L"#3366CC");
}

}  // namespace
