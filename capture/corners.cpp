// Ordering of capture corners and the rectangle between them.
#include "capture/corners.h"

#include <algorithm>
#include <limits>

void NormalizeCorners(Corner& start, Corner& end)
{
    if (start.x > end.x) {
        int32_t t = start.x;
        start.x = end.x;
        end.x = t;
    }
    if (start.y > end.y) {
        int32_t t = start.y;
        start.y = end.y;
        end.y = t;
    }
}

static int32_t Span(int32_t from, int32_t to)
{
    int64_t d = int64_t(to) - int64_t(from);
    if (d > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (d < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return int32_t(d);
}

GrabRect RectFromCorners(const Corner& start, const Corner& end)
{
    return GrabRect{start.x, start.y, Span(start.x, end.x), Span(start.y, end.y)};
}

GrabRect ClipToScreen(const GrabRect& rect, const GrabRect& screen)
{
    // In 64 bits: a corner plus a saturated span may pass 2^31.
    int64_t left = std::max<int64_t>(rect.x, screen.x);
    int64_t top = std::max<int64_t>(rect.y, screen.y);
    int64_t right = std::min(int64_t(rect.x) + rect.width, int64_t(screen.x) + screen.width);
    int64_t bottom = std::min(int64_t(rect.y) + rect.height, int64_t(screen.y) + screen.height);
    if (rect.width <= 0 || rect.height <= 0 || right <= left || bottom <= top)
        return GrabRect{rect.x, rect.y, 0, 0};
    return GrabRect{int32_t(left), int32_t(top), int32_t(right - left), int32_t(bottom - top)};
}
