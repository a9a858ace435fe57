// The page arithmetic of a print job.
#include "print/page_layout.h"

namespace {

constexpr int64_t kMaxCoordinate = INT32_MAX;

int32_t ScaledSide(int32_t side, uint32_t scale)
{
    // 31 bits x 32 bits fits 64 bits, so the product is exact and the
    // division truncates it as the definition asks.
    return int32_t(int64_t(side) * int64_t(scale) / 100);
}

}  // namespace

uint32_t EffectiveScale(uint32_t scale)
{
    return scale == 0 ? 100 : scale;
}

uint32_t LimitScale(uint32_t scale, int32_t pageWidth, int32_t pageHeight)
{
    if (scale > kMaxScale)
        scale = kMaxScale;
    int64_t longest = pageWidth > pageHeight ? pageWidth : pageHeight;
    if (longest <= 0)
        return scale;
    // side x limit / 100 <= INT32_MAX  <=>  limit <= (INT32_MAX x 100 + 99) / side
    int64_t limit = (kMaxCoordinate * 100 + 99) / longest;
    return int64_t(scale) > limit ? uint32_t(limit) : scale;
}

PagePlacement PlacePicture(int32_t pageWidth, int32_t pageHeight, uint32_t scale)
{
    if (pageWidth <= 0 || pageHeight <= 0)
        return PagePlacement{0, 0, 0, 0};
    scale = LimitScale(scale, pageWidth, pageHeight);
    PagePlacement p;
    p.width = ScaledSide(pageWidth, scale);
    p.height = ScaledSide(pageHeight, scale);
    // Both operands fit 31 bits, so the difference cannot overflow.
    p.x = (pageWidth - p.width) / 2;
    p.y = (pageHeight - p.height) / 2;
    return p;
}
