// The fixed capture range: the record the rectangle command grabs without
// a drag, and the limits that keep typed numbers on the screen.
#pragma once
#include <cstdint>

#include "capture/corners.h"

struct FixedRange {
    int32_t enabled;       // nonzero: the rectangle command grabs this range
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    int32_t screenWidth;   // display size, refreshed when the dialog opens
    int32_t screenHeight;
};

// The four numbers as the dialog's edits read them (unsigned).
struct RangeEntry {
    uint32_t left;
    uint32_t top;
    uint32_t width;
    uint32_t height;
};

// Stores entry into range, limited to range's screen size: a left (top)
// beyond the screen becomes 0, then the width (height) is cut at the
// screen's edge. Values are never enlarged, and numbers of 2^31 and above
// count as the large numbers they are, so nothing comes out negative.
void ApplyRangeEntry(FixedRange& range, const RangeEntry& entry);

// The corners of the grab: (left, top) and (left + width, top + height),
// the end exclusive.
void RangeCorners(const FixedRange& range, Corner& start, Corner& end);
