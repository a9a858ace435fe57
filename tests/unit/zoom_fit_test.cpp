// Where a zoomed picture is drawn in the view below the toolbar.
#include <gtest/gtest.h>

#include <cstdint>

#include "app/zoom_fit.h"

namespace {

void ExpectRect(const ZoomRect& r, int32_t x, int32_t y, int32_t w, int32_t h)
{
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);
}

TEST(ZoomFit, WidePictureFillsTheWidthAndIsCentredDownTheView)
{
    // 1920 x 1080 into 640 x (480 - 32): 640 x 360, 44 pixels above and
    // below.
    ExpectRect(FitPictureInView(1920, 1080, 640, 480, 32), 0, 32 + 44, 640, 360);
}

TEST(ZoomFit, TallPictureFillsTheHeightBelowTheToolbarAndIsCentredAcross)
{
    // 300 x 600 into 640 x (480 - 56): 212 x 424, the toolbar of a 200 %
    // display taken off the height.
    ExpectRect(FitPictureInView(300, 600, 640, 480, 56), 214, 56, 212, 424);
}

TEST(ZoomFit, TheToolbarHeightDecidesTheRoomLeft)
{
    // The same square picture and client area: the taller toolbar leaves
    // a smaller view, and the picture shrinks with it.
    ExpectRect(FitPictureInView(500, 500, 800, 500, 28), 164, 28, 472, 472);
    ExpectRect(FitPictureInView(500, 500, 800, 500, 56), 178, 56, 444, 444);
}

TEST(ZoomFit, SmallPictureGrowsToTheView)
{
    ExpectRect(FitPictureInView(200, 100, 600, 400, 0), 0, 50, 600, 300);
}

TEST(ZoomFit, SameShapeFillsTheWholeView)
{
    ExpectRect(FitPictureInView(1024, 768, 512, 384 + 30, 30), 0, 30, 512, 384);
}

TEST(ZoomFit, OtherSideIsRoundedToTheNearestPixelAndOddSpareGoesAfter)
{
    // 100 x 30 into 200 x 101: 200 x 60 exactly, 41 spare rows: 20 above.
    ExpectRect(FitPictureInView(100, 30, 200, 101, 0), 0, 20, 200, 60);
    // 3 x 2 into 100 x 100: 66.67 rounds to 67, 33 spare: 16 above.
    ExpectRect(FitPictureInView(3, 2, 100, 100, 0), 0, 16, 100, 67);
    // 2 x 3 across: 66.67 rounds to 67 wide.
    ExpectRect(FitPictureInView(2, 3, 100, 100, 0), 16, 0, 67, 100);
    // 7 x 2 into 10 x 10: 2.857 rounds to 3.
    ExpectRect(FitPictureInView(7, 2, 10, 10, 0), 0, 3, 10, 3);
}

TEST(ZoomFit, AThinPictureKeepsAtLeastOnePixel)
{
    ExpectRect(FitPictureInView(1, 10000, 500, 400, 0), 249, 0, 1, 400);
    ExpectRect(FitPictureInView(10000, 1, 500, 400, 0), 0, 199, 500, 1);
}

TEST(ZoomFit, EmptyPictureOrViewDrawsNothing)
{
    ExpectRect(FitPictureInView(0, 100, 640, 480, 32), 0, 32, 0, 0);
    ExpectRect(FitPictureInView(100, 0, 640, 480, 32), 0, 32, 0, 0);
    ExpectRect(FitPictureInView(-5, 100, 640, 480, 32), 0, 32, 0, 0);
    ExpectRect(FitPictureInView(100, 100, 0, 480, 32), 0, 32, 0, 0);
    // A window no taller than its toolbar has no view.
    ExpectRect(FitPictureInView(100, 100, 640, 32, 32), 0, 32, 0, 0);
    ExpectRect(FitPictureInView(100, 100, 640, 20, 32), 0, 32, 0, 0);
}

TEST(ZoomFit, HugeSizesDoNotOverflow)
{
    const int32_t big = INT32_MAX;
    ExpectRect(FitPictureInView(big, big, 1000, 1000, 0), 0, 0, 1000, 1000);
    ExpectRect(FitPictureInView(big, 1, big, big, 0), 0, (big - 1) / 2, big, 1);
    ExpectRect(FitPictureInView(1, 1, big, big, 0), 0, 0, big, big);
    ExpectRect(FitPictureInView(big - 1, big, 1000, 1000, 0), 0, 0, 1000, 1000);
}

TEST(ZoomFit, ANegativeToolbarHeightTakesNoRoom)
{
    ExpectRect(FitPictureInView(100, 100, 100, INT32_MAX, INT32_MIN), 0, (INT32_MAX - 100) / 2,
               100, 100);
    ExpectRect(FitPictureInView(100, 50, 100, 100, -10), 0, 25, 100, 50);
}

}  // namespace
