// Lengths at a screen scale. Kelvo's own sizes (toolbar images, frame
// widths, the printing notice) are designed for 96 dpi, the scale Windows
// calls 100 %, and follow the scale of the monitor they appear on.
#pragma once
#include <cstdint>

constexpr uint32_t kDefaultDpi = 96;

// length96 pixels at 96 dpi, in pixels at dpi, rounded to the nearest
// pixel; a positive length never shrinks to nothing. A dpi of 0 (not
// known) counts as 96.
int32_t ScaleForDpi(int32_t length96, uint32_t dpi);

// The toolbar images for a scale: one of the drawn strips (16, 24 or 32
// pixels a side) enlarged a whole number of times, so that every drawn
// pixel stays a sharp square. The result is the largest such size that
// does not exceed the scaled 16 pixels (16 at least); of two ways to get
// it, the larger drawing wins.
struct ToolbarImages {
    int32_t drawn;   // 16, 24 or 32
    int32_t factor;  // 1, 2, 3, ...
    int32_t size() const { return drawn * factor; }
};
ToolbarImages ChooseToolbarImages(uint32_t dpi);
