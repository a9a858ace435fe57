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
                                 int32_t clientWidth, int32_t clientHeight,
                                 int32_t toolbarHeight)
{
    int64_t viewHeight = int64_t(clientHeight) - toolbarHeight;
    ScrollRanges r;
    r.horizontal = Clamp32(int64_t(pictureWidth) - clientWidth);
    r.vertical = Clamp32(int64_t(pictureHeight) - viewHeight);
    r.horizontalBar = clientWidth < pictureWidth;
    r.verticalBar = viewHeight < pictureHeight;
    return r;
}

int32_t ScrollBy(int32_t position, int32_t range, int64_t distance)
{
    int64_t p = int64_t(position) + distance;
    int64_t limit = range > 0 ? range : 0;
    return int32_t(p < 0 ? 0 : p > limit ? limit : p);
}

int32_t ScrollPosition(int32_t position, int32_t range, int request, uint16_t thumb)
{
    switch (request) {
    case kScrollLineUp:
        return ScrollBy(position, range, -1);
    case kScrollLineDown:
        return ScrollBy(position, range, 1);
    case kScrollPageUp:
        return ScrollBy(position, range, -(range / kPageDivisor));
    case kScrollPageDown:
        return ScrollBy(position, range, range / kPageDivisor);
    case kScrollThumbPosition:
    case kScrollThumbTrack:
        return ScrollBy(0, range, thumb);
    default:
        return ScrollBy(position, range, 0);
    }
}

int64_t WheelDistance(int32_t delta, uint32_t linesPerNotch, int32_t range, WheelCarry& carry)
{
    int64_t perNotch = linesPerNotch == kWheelPageScroll
                           ? (range > 0 ? range / kPageDivisor : 0)
                           : int64_t(linesPerNotch) * kWheelLinePixels;
    // Held to 31 bits, so that the product below fits 64 bits.
    if (perNotch > std::numeric_limits<int32_t>::max())
        perNotch = std::numeric_limits<int32_t>::max();
    int64_t turned = int64_t(delta) * perNotch;
    // A part of a pixel turned one way does not hold back a turn the other.
    if ((turned < 0 && carry.fraction > 0) || (turned > 0 && carry.fraction < 0))
        carry.fraction = 0;
    int64_t total = carry.fraction + turned;
    carry.fraction = total % kWheelDelta;
    return total / kWheelDelta;
}
