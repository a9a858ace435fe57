// Page arithmetic of a print job: size, centring, cutting, the 0 scale and
// the limit that keeps device coordinates in range.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "print/page_layout.h"

namespace {

void ExpectPlacement(const PagePlacement& p, int32_t x, int32_t y, int32_t w, int32_t h)
{
    EXPECT_EQ(p.x, x);
    EXPECT_EQ(p.y, y);
    EXPECT_EQ(p.width, w);
    EXPECT_EQ(p.height, h);
}

TEST(PageLayout, ScalesEachSideAndCentres)
{
    ExpectPlacement(PlacePicture(4800, 6600, 50), 1200, 1650, 2400, 3300);
    ExpectPlacement(PlacePicture(4800, 6600, 100), 0, 0, 4800, 6600);
    ExpectPlacement(PlacePicture(4800, 6600, 75), 600, 825, 3600, 4950);
    // The A4 page at 300 dpi that the PDF printer reports.
    ExpectPlacement(PlacePicture(2479, 3508, 50), 620, 877, 1239, 1754);
}

TEST(PageLayout, HalvesAndQuotientsAreTruncated)
{
    // 4801 x 50 / 100 = 2400.5 -> 2400; (4801 - 2400) / 2 = 1200.5 -> 1200.
    ExpectPlacement(PlacePicture(4801, 6600, 50), 1200, 1650, 2400, 3300);
    // Odd remainders below zero are dropped toward zero as well.
    ExpectPlacement(PlacePicture(4801, 6601, 150), -1200, -1650, 7201, 9901);
    ExpectPlacement(PlacePicture(3, 3, 1), 1, 1, 0, 0);
}

TEST(PageLayout, AboveHundredTheCentreFillsThePage)
{
    ExpectPlacement(PlacePicture(4800, 6600, 150), -1200, -1650, 7200, 9900);
    PagePlacement p = PlacePicture(2479, 3508, 400);
    EXPECT_LT(p.x, 0);
    // The page's centre stays the picture's centre, to the pixel.
    EXPECT_LE(std::abs((p.x + p.width / 2) - 2479 / 2), 1);
    EXPECT_LE(std::abs((p.y + p.height / 2) - 3508 / 2), 1);
}

TEST(PageLayout, ZeroPrintsAsHundred)
{
    EXPECT_EQ(EffectiveScale(0), 100u);
    EXPECT_EQ(EffectiveScale(1), 1u);
    EXPECT_EQ(EffectiveScale(150), 150u);
    PagePlacement p = PlacePicture(2479, 3508, EffectiveScale(0));
    ExpectPlacement(p, 0, 0, 2479, 3508);
}

TEST(PageLayout, HugeScalesAreLimited)
{
    for (uint32_t scale : {UINT32_MAX, 1000000000u, 100001u}) {
        EXPECT_EQ(LimitScale(scale, 2479, 3508), kMaxScale);
        PagePlacement p = PlacePicture(2479, 3508, scale);
        ExpectPlacement(p, -1238260, -1752246, 2479000, 3508000);
    }
    EXPECT_EQ(LimitScale(kMaxScale, 2479, 3508), kMaxScale);
    EXPECT_EQ(LimitScale(150, 2479, 3508), 150u);
}

TEST(PageLayout, LargePagesStayInsideTheCoordinateRange)
{
    // A page so large that the scale cap alone would overflow: the limit
    // is the largest scale whose longer side still fits.
    uint32_t limit = LimitScale(UINT32_MAX, 3000000, 2600000);
    EXPECT_LT(limit, kMaxScale);
    EXPECT_LE(int64_t(3000000) * limit / 100, int64_t(INT_MAX));
    EXPECT_GT(int64_t(3000000) * (int64_t(limit) + 1) / 100, int64_t(INT_MAX));
    PagePlacement p = PlacePicture(3000000, 2600000, UINT32_MAX);
    EXPECT_GT(p.width, 0);
    EXPECT_LE(int64_t(p.x) + p.width, int64_t(INT_MAX));
    // Still centred: both ends lie outside the page by the same amount.
    EXPECT_LE(std::abs(int64_t(p.x) + p.width / 2 - 3000000 / 2), 1);
    EXPECT_LE(std::abs(int64_t(p.y) + p.height / 2 - 2600000 / 2), 1);
    // Ordinary scales are untouched, also on the largest page.
    EXPECT_EQ(LimitScale(100, INT_MAX, INT_MAX), 100u);
    EXPECT_EQ(LimitScale(101, INT_MAX, INT_MAX), 100u);
    ExpectPlacement(PlacePicture(INT_MAX, INT_MAX, UINT32_MAX), 0, 0, INT_MAX, INT_MAX);
}

TEST(PageLayout, PagesWithoutSizeGiveNothing)
{
    ExpectPlacement(PlacePicture(0, 3508, 100), 0, 0, 0, 0);
    ExpectPlacement(PlacePicture(2479, -5, 100), 0, 0, 0, 0);
    ExpectPlacement(PlacePicture(2479, 3508, 0), 1239, 1754, 0, 0);
}

}  // namespace
