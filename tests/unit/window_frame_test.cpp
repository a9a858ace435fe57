// The rectangle a window capture takes: the compositor's frame or the
// window rectangle.
#include <gtest/gtest.h>

#include "capture/window_frame_rules.h"

namespace {

bool Same(const FrameBox& a, const FrameBox& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

const FrameBox kWindow{100, 50, 916, 689};
// Windows 10 at 100 %: 7 pixels of invisible border left, right and below.
const FrameBox kFrame{107, 50, 909, 682};

TEST(VisibleFrame, TheCompositorFrameInsideATopLevelWindowIsTaken)
{
    EXPECT_TRUE(Same(VisibleFrame(kWindow, &kFrame, false), kFrame));
    // The frame may be the whole window rectangle.
    EXPECT_TRUE(Same(VisibleFrame(kWindow, &kWindow, false), kWindow));
}

TEST(VisibleFrame, WithoutACompositorFrameTheWindowRectangleStays)
{
    EXPECT_TRUE(Same(VisibleFrame(kWindow, nullptr, false), kWindow));
}

TEST(VisibleFrame, AControlKeepsItsWindowRectangle)
{
    EXPECT_TRUE(Same(VisibleFrame(kWindow, &kFrame, true), kWindow));
}

TEST(VisibleFrame, AnEmptyOrOutsideFrameIsNotTrusted)
{
    const FrameBox empty{0, 0, 0, 0};
    const FrameBox flat{107, 50, 909, 50};
    const FrameBox inverted{909, 682, 107, 50};
    const FrameBox wider{99, 50, 909, 682};
    const FrameBox lower{107, 50, 909, 690};
    const FrameBox elsewhere{1200, 60, 1300, 160};
    for (const FrameBox& bad : {empty, flat, inverted, wider, lower, elsewhere})
        EXPECT_TRUE(Same(VisibleFrame(kWindow, &bad, false), kWindow));
}

TEST(VisibleFrame, NegativeCoordinatesOfALeftMonitor)
{
    const FrameBox window{-1031, -7, -9, 761};
    const FrameBox frame{-1024, 0, -16, 754};
    EXPECT_TRUE(Same(VisibleFrame(window, &frame, false), frame));
}

}  // namespace
