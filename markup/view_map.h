// Where the picture lies in the window while it is marked up: at natural
// size scrolled, or zoomed to fit. Marks are made in picture pixels
// whatever the view, so every mouse point is mapped to the picture pixel
// under it, and every changed part of the picture back to the window.
#pragma once
#include <cstdint>

#include "markup/raster.h"

struct ViewMap {
    int32_t x = 0;  // client point of the picture's top-left corner
    int32_t y = 0;
    int32_t viewWidth = 0;  // the picture's size on the screen
    int32_t viewHeight = 0;
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
};

// Natural size, scrolled to column hPos and row vPos, below a bar of top
// pixels.
ViewMap NaturalView(int32_t pictureWidth, int32_t pictureHeight, int32_t hPos, int32_t vPos,
                    int32_t top);
// Zoomed into the rectangle (x, y, width, height) of the client area.
ViewMap ZoomedView(int32_t pictureWidth, int32_t pictureHeight, int32_t x, int32_t y,
                   int32_t width, int32_t height);

// The picture pixel under client point (cx, cy); outside the picture the
// nearest pixel on its edge, so that a drag that runs off it still ends
// at the edge.
MPoint ToPicture(const ViewMap& map, int32_t cx, int32_t cy);
// The client rectangle that shows picture rectangle r, rounded outwards.
MRect ToClient(const ViewMap& map, const MRect& r);
