// Scroll arithmetic of the picture view.
#include "app/scroll.h"

#include <limits>

static int32_t Clamp32(int64_t v)
{
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

ScrollRanges ComputeScrollRanges(int32_t pictureWidth, int32_t pictureHeight,
                                 int32_t clientWidth, int32_t clientHeight)
{
    int64_t viewHeight = int64_t(clientHeight) - kScrollHeightMargin;
    ScrollRanges r;
    r.horizontal = Clamp32(int64_t(pictureWidth) - clientWidth);
    r.vertical = Clamp32(int64_t(pictureHeight) - viewHeight);
    r.horizontalBar = clientWidth < pictureWidth;
    r.verticalBar = viewHeight < pictureHeight;
    return r;
}

int32_t ScrollPosition(int32_t position, int32_t range, int request, uint16_t thumb)
{
    int64_t p = position;
    switch (request) {
    case kScrollLineUp:
        p -= 1;
        return p < 0 ? 0 : Clamp32(p);
    case kScrollLineDown:
        p += 1;
        return p < range ? Clamp32(p) : range;
    case kScrollPageUp:
        p -= range / kPageDivisor;
        return p < 0 ? 0 : Clamp32(p);
    case kScrollPageDown:
        p += range / kPageDivisor;
        return p < range ? Clamp32(p) : range;
    case kScrollThumbPosition:
    case kScrollThumbTrack:
        return thumb;
    default:
        return position;
    }
}
