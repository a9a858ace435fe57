// Centring arithmetic for dialogs and the printing notice.
#include "app/centring.h"

static int32_t Centred(int32_t refStart, int32_t refEnd, int32_t winStart, int32_t winEnd,
                       int32_t areaStart, int32_t areaEnd)
{
    // 64-bit intermediate values: rectangles near the int32 limits must not
    // overflow before the halving.
    int64_t refSize = int64_t(refEnd) - refStart;
    int64_t winSize = int64_t(winEnd) - winStart;
    int64_t pos = refStart + (refSize - winSize) / 2;
    if (pos + winSize > areaEnd)
        pos = int64_t(areaEnd) - winSize;
    if (pos < areaStart)
        pos = areaStart;
    if (pos > INT32_MAX)
        pos = INT32_MAX;
    if (pos < INT32_MIN)
        pos = INT32_MIN;
    return int32_t(pos);
}

ScreenPoint CenteredPosition(const ScreenRect& reference, const ScreenRect& window,
                             const ScreenRect& workArea)
{
    return ScreenPoint{Centred(reference.left, reference.right, window.left, window.right,
                               workArea.left, workArea.right),
                       Centred(reference.top, reference.bottom, window.top, window.bottom,
                               workArea.top, workArea.bottom)};
}
