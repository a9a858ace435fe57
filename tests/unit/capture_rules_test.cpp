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

}  // namespace
