// Where the picture goes on the printed page: a percentage of the
// printable area, each side scaled on its own (the picture takes the
// page's proportions), centred, cut at the edges when larger than the
// page.
#pragma once
#include <cstdint>

struct PagePlacement {
    int32_t x;       // left edge in device pixels; negative when cut
    int32_t y;       // top edge
    int32_t width;   // printed width
    int32_t height;  // printed height
};

// The scale a job prints at: 0 (an empty or unreadable entry in the scale
// dialog) stands for 100.
uint32_t EffectiveScale(uint32_t scale);

// Printing is held at this scale, a thousand times the page: further
// magnification would show less than one pixel of a screen-sized picture,
// and pictures far larger than this come out as blank pages from a
// PostScript printer (measured with the PDF printer: fine at 2000 times
// the page, blank at 2100).
constexpr uint32_t kMaxScale = 100000;

// The largest scale not above scale and kMaxScale at which both printed
// sides of a page of pageWidth x pageHeight still fit a signed 32-bit
// device coordinate.
uint32_t LimitScale(uint32_t scale, int32_t pageWidth, int32_t pageHeight);

// Printed size: page side x scale / 100, computed exactly and truncated;
// position: half the difference to the page, remainder dropped (toward
// zero, also when negative). The scale is limited first (LimitScale). A
// page side that is not positive gives an empty placement.
PagePlacement PlacePicture(int32_t pageWidth, int32_t pageHeight, uint32_t scale);
