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
    // The virtual screen (every monitor), refreshed when the dialog opens:
    // its size, and its corner, which is negative when a monitor lies left
    // of or above the primary one.
    int32_t screenWidth;
    int32_t screenHeight;
    int32_t screenLeft;
    int32_t screenTop;
};

// The four numbers as the dialog's edits read them.
struct RangeEntry {
    int64_t left;
    int64_t top;
    int64_t width;
    int64_t height;
};

// A number typed into one of the edits: blanks, an optional sign, then the
// digits up to the first other character. Text without digits reads as 0;
// numbers too large for any screen are held at a value far beyond one.
int64_t ReadRangeNumber(const char16_t* text);

// Stores entry into range, limited to range's screen: a left (top) outside
// the screen becomes the screen's left (top) edge, then the width (height)
// is cut at the screen's far edge. A negative width or height is 0, and
// values are never enlarged.
void ApplyRangeEntry(FixedRange& range, const RangeEntry& entry);

// The corners of the grab: (left, top) and (left + width, top + height),
// the end exclusive.
void RangeCorners(const FixedRange& range, Corner& start, Corner& end);
