// Capture corners: the two screen points that span a grab, and the
// rectangle they describe. The end corner is exclusive.
#pragma once
#include <cstdint>

struct Corner {
    int32_t x;
    int32_t y;
};

struct GrabRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// Puts the smaller x into start and the larger into end, and independently
// the same for y. Signed comparisons; equal values stay where they are.
void NormalizeCorners(Corner& start, Corner& end);

// The rectangle of two corners that are already normalised:
// origin = start, width = end.x - start.x, height = end.y - start.y.
// Differences that do not fit 32 bits saturate instead of wrapping.
GrabRect RectFromCorners(const Corner& start, const Corner& end);

// The part of rect that lies on screen (the virtual screen): the screen
// cannot be read beyond its edges, and a window that runs past one is
// grabbed as far as it shows. Empty (width and height 0, at rect's corner)
// when the two do not overlap or either is empty.
GrabRect ClipToScreen(const GrabRect& rect, const GrabRect& screen);
