// Where a zoomed picture is drawn.
#include "app/zoom_fit.h"

namespace {

// a * b / c rounded to the nearest whole number, a, b, c positive and
// below 2^31, so nothing overflows 64 bits.
int64_t ScaledRounded(int64_t a, int64_t b, int64_t c)
{
    return (a * b + c / 2) / c;
}

int32_t Within(int64_t v, int32_t low, int32_t high)
{
    return int32_t(v < low ? low : v > high ? high : v);
}

}  // namespace

ZoomRect FitPictureInView(int32_t pictureWidth, int32_t pictureHeight, int32_t clientWidth,
                          int32_t clientHeight, int32_t toolbarHeight)
{
    // A toolbar that reports no height (hidden, or not made) takes no room.
    int32_t top = toolbarHeight > 0 ? toolbarHeight : 0;
    if (pictureWidth <= 0 || pictureHeight <= 0 || clientWidth <= 0 || clientHeight <= top)
        return ZoomRect{0, top, 0, 0};
    int32_t vw = clientWidth, vh = clientHeight - top;
    int32_t w, h;
    // Compare the shapes crosswise: the side that reaches the view first
    // decides the scale.
    if (int64_t(pictureWidth) * vh <= int64_t(vw) * pictureHeight) {
        h = vh;
        w = Within(ScaledRounded(pictureWidth, vh, pictureHeight), 1, vw);
    } else {
        w = vw;
        h = Within(ScaledRounded(pictureHeight, vw, pictureWidth), 1, vh);
    }
    return ZoomRect{(vw - w) / 2, top + (vh - h) / 2, w, h};
}
