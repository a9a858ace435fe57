// Limits of the fixed capture range on a 1024 x 768 screen and on two
// monitors side by side, and the reading of the typed numbers.
#include <gtest/gtest.h>

#include "capture/fixed_range_rules.h"

namespace {

FixedRange Screen()
{
    FixedRange r{};
    r.enabled = 1;
    r.screenWidth = 1024;
    r.screenHeight = 768;
    return r;
}

FixedRange Entered(uint32_t left, uint32_t top, uint32_t width, uint32_t height)
{
    FixedRange r = Screen();
    ApplyRangeEntry(r, RangeEntry{left, top, width, height});
    return r;
}

TEST(FixedRange, ValuesOnTheScreenStayAsTyped)
{
    FixedRange r = Entered(10, 20, 300, 200);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.width, 300);
    EXPECT_EQ(r.height, 200);
    // The whole screen exactly fits.
    FixedRange whole = Entered(0, 0, 1024, 768);
    EXPECT_EQ(whole.width, 1024);
    EXPECT_EQ(whole.height, 768);
    // Enabled flag and screen size are not the clamps' business.
    EXPECT_EQ(whole.enabled, 1);
    EXPECT_EQ(whole.screenWidth, 1024);
    EXPECT_EQ(whole.screenHeight, 768);
}

TEST(FixedRange, ExtentIsCutAtTheScreenEdge)
{
    FixedRange r = Entered(1000, 700, 100, 100);
    EXPECT_EQ(r.left, 1000);
    EXPECT_EQ(r.width, 24);
    EXPECT_EQ(r.top, 700);
    EXPECT_EQ(r.height, 68);
}

TEST(FixedRange, OriginBeyondTheScreenStartsAtZero)
{
    // Left 2000 becomes 0; the width is then measured from 0.
    FixedRange r = Entered(2000, 900, 0, 50);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.width, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.height, 50);
    FixedRange wide = Entered(2000, 0, 1500, 10);
    EXPECT_EQ(wide.left, 0);
    EXPECT_EQ(wide.width, 1024);
}

TEST(FixedRange, OriginOnTheFarEdgeIsKeptWithNothingToGrab)
{
    FixedRange r = Entered(1024, 768, 5, 1);
    EXPECT_EQ(r.left, 1024);
    EXPECT_EQ(r.width, 0);
    EXPECT_EQ(r.top, 768);
    EXPECT_EQ(r.height, 0);
}

TEST(FixedRange, ClampsNeverEnlarge)
{
    FixedRange r = Entered(500, 300, 0, 0);
    EXPECT_EQ(r.width, 0);
    EXPECT_EQ(r.height, 0);
}

TEST(FixedRange, HugeNumbersAreLimitedToTheScreen)
{
    // 2^31 and above must not turn negative and slip past the limits.
    FixedRange r = Entered(2147483648u, 4294967295u, 10, 10);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.width, 10);
    EXPECT_EQ(r.height, 10);

    FixedRange big = Entered(100, 50, 2147483648u, 4294967295u);
    EXPECT_EQ(big.left, 100);
    EXPECT_EQ(big.width, 924);
    EXPECT_EQ(big.top, 50);
    EXPECT_EQ(big.height, 718);

    // A sum that wraps 32 bits is still seen as past the edge.
    FixedRange wrap = Entered(1000, 0, 4294967295u - 500, 1);
    EXPECT_EQ(wrap.left, 1000);
    EXPECT_EQ(wrap.width, 24);

    FixedRange r2 = Entered(2147483647u, 2147483647u, 2147483647u, 2147483647u);
    EXPECT_EQ(r2.left, 0);
    EXPECT_EQ(r2.width, 1024);
    EXPECT_EQ(r2.top, 0);
    EXPECT_EQ(r2.height, 768);
}

TEST(FixedRange, TwoMonitorsLimitToTheVirtualScreen)
{
    // A second monitor left of the primary one: the virtual screen runs
    // from -1024 to 1024.
    FixedRange r{};
    r.screenLeft = -1024;
    r.screenWidth = 2048;
    r.screenHeight = 768;
    ApplyRangeEntry(r, RangeEntry{-1000, 10, 1500, 100});
    EXPECT_EQ(r.left, -1000);
    EXPECT_EQ(r.width, 1500);  // across both monitors
    ApplyRangeEntry(r, RangeEntry{900, 0, 500, 10});
    EXPECT_EQ(r.left, 900);
    EXPECT_EQ(r.width, 124);
    // Left of the left monitor: its left edge.
    ApplyRangeEntry(r, RangeEntry{-2000, 0, 3000, 10});
    EXPECT_EQ(r.left, -1024);
    EXPECT_EQ(r.width, 2048);
    // A negative extent is no extent.
    ApplyRangeEntry(r, RangeEntry{0, 0, -50, -1});
    EXPECT_EQ(r.width, 0);
    EXPECT_EQ(r.height, 0);
}

TEST(FixedRange, TypedNumbers)
{
    EXPECT_EQ(ReadRangeNumber(u"1024"), 1024);
    EXPECT_EQ(ReadRangeNumber(u"  -1024"), -1024);
    EXPECT_EQ(ReadRangeNumber(u"+5"), 5);
    // Digits up to the first other character; none at all reads as 0.
    EXPECT_EQ(ReadRangeNumber(u"12x"), 12);
    EXPECT_EQ(ReadRangeNumber(u"abc"), 0);
    EXPECT_EQ(ReadRangeNumber(u""), 0);
    EXPECT_EQ(ReadRangeNumber(u"-"), 0);
    EXPECT_EQ(ReadRangeNumber(nullptr), 0);
    // Past 32 bits the number stays large (and far from overflowing).
    EXPECT_EQ(ReadRangeNumber(u"4294967295"), 4294967295);
    int64_t huge = ReadRangeNumber(u"99999999999999999999999999999999");
    EXPECT_GT(huge, int64_t(1) << 32);
    EXPECT_LT(huge, int64_t(1) << 62);
    EXPECT_EQ(ReadRangeNumber(u"-99999999999999999999999999999999"), -huge);
}

TEST(FixedRange, CornersSpanTheRangeEndExclusive)
{
    FixedRange r = Entered(10, 20, 100, 50);
    Corner start{-1, -1}, end{-1, -1};
    RangeCorners(r, start, end);
    EXPECT_EQ(start.x, 10);
    EXPECT_EQ(start.y, 20);
    EXPECT_EQ(end.x, 110);
    EXPECT_EQ(end.y, 70);
}

}  // namespace
