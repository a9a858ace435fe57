// Limits of the fixed capture range.
#include "capture/fixed_range_rules.h"

#include <limits>

namespace {

// One axis: origin and extent limited to [0, screen]. 64-bit throughout, so
// a sum of two large numbers cannot wrap past the comparison.
void LimitAxis(uint32_t origin, uint32_t extent, int32_t screen, int32_t& outOrigin,
               int32_t& outExtent)
{
    const int64_t size = screen > 0 ? screen : 0;
    int64_t o = origin;
    int64_t e = extent;
    if (o > size)
        o = 0;
    if (o + e > size)
        e = size - o;
    outOrigin = int32_t(o);
    outExtent = int32_t(e);
}

int32_t SaturatedSum(int32_t a, int32_t b)
{
    int64_t s = int64_t(a) + int64_t(b);
    if (s > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (s < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return int32_t(s);
}

}  // namespace

void ApplyRangeEntry(FixedRange& range, const RangeEntry& entry)
{
    LimitAxis(entry.left, entry.width, range.screenWidth, range.left, range.width);
    LimitAxis(entry.top, entry.height, range.screenHeight, range.top, range.height);
}

void RangeCorners(const FixedRange& range, Corner& start, Corner& end)
{
    start = Corner{range.left, range.top};
    end = Corner{SaturatedSum(range.left, range.width), SaturatedSum(range.top, range.height)};
}
