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

// Top-left corner that centres window over reference. Halves truncate
// toward zero, and a negative coordinate is replaced by its absolute value
// so the result never lies left of or above the screen origin.
ScreenPoint CenteredPosition(const ScreenRect& reference, const ScreenRect& window);
