// The arithmetic of drawing the pointer into a grab.
#include "capture/cursor_rules.h"

bool PlacePointer(const PointerShape& pointer, const GrabRect& grab, Corner& topLeft)
{
    if (pointer.width <= 0 || pointer.height <= 0 || grab.width <= 0 || grab.height <= 0)
        return false;
    // In 64 bits: screen positions near the edges of the 32-bit range must
    // not wrap into the picture.
    int64_t x = int64_t(pointer.position.x) - pointer.hotX - grab.x;
    int64_t y = int64_t(pointer.position.y) - pointer.hotY - grab.y;
    if (x >= grab.width || y >= grab.height || x + pointer.width <= 0 || y + pointer.height <= 0)
        return false;
    topLeft = Corner{int32_t(x), int32_t(y)};
    return true;
}

bool PointerOptionFromStored(const StoredValue& stored)
{
    if (!stored.found || stored.type != kRegDword || stored.length == 0 || stored.length > 4
        || !stored.data)
        return false;
    uint32_t v = 0;
    for (uint32_t i = 0; i < stored.length; ++i)
        v |= uint32_t(stored.data[i]) << (8 * i);
    return v == 1;
}
