// Lengths at a screen scale and the toolbar images chosen for it.
#include <gtest/gtest.h>

#include "app/dpi_scale.h"

namespace {

TEST(DpiScale, LengthsFollowTheScaleRoundedToWholePixels)
{
    EXPECT_EQ(ScaleForDpi(200, 96), 200);
    EXPECT_EQ(ScaleForDpi(200, 144), 300);
    EXPECT_EQ(ScaleForDpi(50, 192), 100);
    EXPECT_EQ(ScaleForDpi(4, 120), 5);
    // 1.5 pixels rounds up; a frame never vanishes below 100 %.
    EXPECT_EQ(ScaleForDpi(1, 144), 2);
    EXPECT_EQ(ScaleForDpi(1, 48), 1);
    EXPECT_EQ(ScaleForDpi(0, 192), 0);
    EXPECT_EQ(ScaleForDpi(-10, 144), -15);
    // An unknown scale is 100 %.
    EXPECT_EQ(ScaleForDpi(200, 0), 200);
}

TEST(DpiScale, ToolbarImagesAreDrawnOrWholeEnlargementsNoLargerThanTheScale)
{
    struct Case {
        uint32_t dpi;
        int32_t drawn, factor;
    } cases[] = {
        {72, 16, 1},  {96, 16, 1},  {120, 16, 1}, {144, 24, 1}, {168, 24, 1},
        {192, 32, 1}, {240, 32, 1}, {288, 24, 2}, {384, 32, 2}, {480, 16, 5},
    };
    for (const Case& c : cases) {
        ToolbarImages images = ChooseToolbarImages(c.dpi);
        EXPECT_EQ(images.drawn, c.drawn) << c.dpi;
        EXPECT_EQ(images.factor, c.factor) << c.dpi;
    }
}

}  // namespace
