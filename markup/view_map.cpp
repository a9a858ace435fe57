// Mapping between client points and picture pixels.
#include "markup/view_map.h"

#include <algorithm>

namespace {

// floor(a * b / c) for c > 0, whatever the signs of a.
int32_t FloorMulDiv(int64_t a, int64_t b, int64_t c)
{
    int64_t n = a * b;
    int64_t q = n / c;
    if ((n % c != 0) && (n < 0))
        --q;
    return int32_t(q);
}

int32_t CeilMulDiv(int64_t a, int64_t b, int64_t c) { return -FloorMulDiv(-a, b, c); }

}  // namespace

ViewMap NaturalView(int32_t pictureWidth, int32_t pictureHeight, int32_t hPos, int32_t vPos,
                    int32_t top)
{
    return ViewMap{-hPos, top - vPos, pictureWidth, pictureHeight, pictureWidth, pictureHeight};
}

ViewMap ZoomedView(int32_t pictureWidth, int32_t pictureHeight, int32_t x, int32_t y,
                   int32_t width, int32_t height)
{
    return ViewMap{x, y, width, height, pictureWidth, pictureHeight};
}

MPoint ToPicture(const ViewMap& m, int32_t cx, int32_t cy)
{
    if (m.viewWidth <= 0 || m.viewHeight <= 0 || m.pictureWidth <= 0 || m.pictureHeight <= 0)
        return MPoint{};
    int32_t px = FloorMulDiv(cx - m.x, m.pictureWidth, m.viewWidth);
    int32_t py = FloorMulDiv(cy - m.y, m.pictureHeight, m.viewHeight);
    return MPoint{std::clamp(px, 0, m.pictureWidth - 1), std::clamp(py, 0, m.pictureHeight - 1)};
}

MRect ToClient(const ViewMap& m, const MRect& r)
{
    if (r.empty() || m.pictureWidth <= 0 || m.pictureHeight <= 0)
        return MRect{};
    return MRect{m.x + FloorMulDiv(r.left, m.viewWidth, m.pictureWidth),
                 m.y + FloorMulDiv(r.top, m.viewHeight, m.pictureHeight),
                 m.x + CeilMulDiv(r.right, m.viewWidth, m.pictureWidth),
                 m.y + CeilMulDiv(r.bottom, m.viewHeight, m.pictureHeight)};
}
