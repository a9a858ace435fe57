// Capture corners and the rectangle between them.
#include <gtest/gtest.h>

#include "capture/corners.h"

namespace {

TEST(Corners, AnyOrderGivesTheSameRectangle)
{
    Corner a{110, 60}, b{10, 10};
    NormalizeCorners(a, b);
    EXPECT_EQ(a.x, 10);
    EXPECT_EQ(a.y, 10);
    EXPECT_EQ(b.x, 110);
    EXPECT_EQ(b.y, 60);

    // The axes are ordered independently.
    Corner c{5, 60}, d{100, 10};
    NormalizeCorners(c, d);
    EXPECT_EQ(c.x, 5);
    EXPECT_EQ(c.y, 10);
    EXPECT_EQ(d.x, 100);
    EXPECT_EQ(d.y, 60);

    // Signed: negative screen coordinates (monitors left of the primary).
    Corner e{10, -5}, f{-30, -50};
    NormalizeCorners(e, f);
    EXPECT_EQ(e.x, -30);
    EXPECT_EQ(e.y, -50);
    EXPECT_EQ(f.x, 10);
    EXPECT_EQ(f.y, -5);
}

TEST(Corners, EndCornerIsExclusive)
{
    Corner s{10, 10}, e{110, 60};
    GrabRect r = RectFromCorners(s, e);
    EXPECT_EQ(r.x, 10);
    EXPECT_EQ(r.y, 10);
    EXPECT_EQ(r.width, 100);
    EXPECT_EQ(r.height, 50);

    Corner z{7, 7};
    GrabRect empty = RectFromCorners(z, z);
    EXPECT_EQ(empty.width, 0);
    EXPECT_EQ(empty.height, 0);
}

TEST(Corners, HugeSpansSaturate)
{
    Corner s{INT32_MIN, INT32_MIN}, e{INT32_MAX, INT32_MAX};
    GrabRect r = RectFromCorners(s, e);
    EXPECT_EQ(r.width, INT32_MAX);
    EXPECT_EQ(r.height, INT32_MAX);
}

TEST(Corners, AWindowPastTheScreenEdgeIsClippedToTheScreen)
{
    auto same = [](GrabRect a, GrabRect b) {
        return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
    };
    GrabRect screen{0, 0, 1024, 768};
    // The bottom runs past the screen: what shows of it.
    EXPECT_TRUE(same(ClipToScreen(GrabRect{800, 650, 150, 200}, screen), GrabRect{800, 650, 150, 118}));
    // Past the left and top edges too.
    EXPECT_TRUE(same(ClipToScreen(GrabRect{-40, -10, 100, 50}, screen), GrabRect{0, 0, 60, 40}));
    // On the screen: unchanged; larger than it: the screen.
    EXPECT_TRUE(same(ClipToScreen(GrabRect{10, 10, 100, 50}, screen), GrabRect{10, 10, 100, 50}));
    EXPECT_TRUE(same(ClipToScreen(GrabRect{-5, -5, 2000, 2000}, screen), screen));
    // A virtual screen with a monitor left of the primary one.
    EXPECT_TRUE(same(ClipToScreen(GrabRect{-1100, 700, 200, 100}, GrabRect{-1024, 0, 2048, 768}),
                     GrabRect{-1024, 700, 124, 68}));
    // Wholly off the screen, or touching only its edge: nothing.
    GrabRect off = ClipToScreen(GrabRect{1024, 100, 50, 50}, screen);
    EXPECT_EQ(off.width, 0);
    EXPECT_EQ(off.height, 0);
    EXPECT_EQ(ClipToScreen(GrabRect{100, 800, 50, 50}, screen).height, 0);
    EXPECT_EQ(ClipToScreen(GrabRect{10, 10, 0, 50}, screen).width, 0);
    // Extreme corners and spans do not wrap.
    EXPECT_TRUE(same(ClipToScreen(GrabRect{-5, -5, INT32_MAX, INT32_MAX}, screen), screen));
    EXPECT_EQ(ClipToScreen(GrabRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, screen).width, 0);
}

}  // namespace
