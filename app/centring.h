// Where a window goes when it is centred over a reference window.
#pragma once
#include <cstdint>

struct ScreenRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct ScreenPoint {
    int32_t x;
    int32_t y;
};

// Top-left corner that centres window over reference (halves truncate
// toward zero), then moves it as little as needed to lie inside workArea,
// the usable part of the reference's monitor: a window pushed past the
// right or bottom edge comes back, and the left and top edges win when the
// window is larger than the area. Coordinates may be negative, as they are
// on a monitor left of or above the primary one.
ScreenPoint CenteredPosition(const ScreenRect& reference, const ScreenRect& window,
                             const ScreenRect& workArea);
