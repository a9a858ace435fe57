// Ordering of capture corners and the rectangle between them.
#include "capture/corners.h"

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
