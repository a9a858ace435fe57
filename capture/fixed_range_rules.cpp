// Reading and limiting the fixed capture range.
#include "capture/fixed_range_rules.h"

#include <limits>

namespace {

// Far beyond any screen, and far from overflowing a sum of two of them.
constexpr int64_t kHeldNumber = int64_t(1) << 40;

// One axis: origin and extent limited to the screen from start to
// start + size. 64-bit throughout, so no sum can wrap past a comparison.
void LimitAxis(int64_t origin, int64_t extent, int32_t start, int32_t size, int32_t& outOrigin,
               int32_t& outExtent)
{
    const int64_t first = start;
    const int64_t last = first + (size > 0 ? size : 0);
    int64_t o = origin;
    int64_t e = extent > 0 ? extent : 0;
    if (o < first || o > last)
        o = first;
    if (o + e > last)
        e = last - o;
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

int64_t ReadRangeNumber(const char16_t* text)
{
    if (!text)
        return 0;
    while (*text == u' ' || *text == u'\t')
        ++text;
    bool negative = *text == u'-';
    if (*text == u'-' || *text == u'+')
        ++text;
    int64_t value = 0;
    for (; *text >= u'0' && *text <= u'9'; ++text) {
        value = value * 10 + (*text - u'0');
        if (value > kHeldNumber)
            value = kHeldNumber;
    }
    return negative ? -value : value;
}

void ApplyRangeEntry(FixedRange& range, const RangeEntry& entry)
{
    LimitAxis(entry.left, entry.width, range.screenLeft, range.screenWidth, range.left,
              range.width);
    LimitAxis(entry.top, entry.height, range.screenTop, range.screenHeight, range.top,
              range.height);
}

void RangeCorners(const FixedRange& range, Corner& start, Corner& end)
{
    start = Corner{range.left, range.top};
    end = Corner{SaturatedSum(range.left, range.width), SaturatedSum(range.top, range.height)};
}
