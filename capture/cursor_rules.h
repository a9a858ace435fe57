// Where the mouse pointer lands in a grabbed picture.
#pragma once
#include <cstdint>

#include "app/settings_table.h"
#include "capture/corners.h"

// The pointer as the system reports it: its hot spot on the screen, the
// hot spot's offset inside the cursor picture, and that picture's size in
// pixels (its real bitmap, whatever the screen's scale).
struct PointerShape {
    Corner position;
    int32_t hotX;
    int32_t hotY;
    int32_t width;
    int32_t height;
};

// Where to draw the cursor picture in a picture grabbed from grab: its
// top-left corner in the picture's own coordinates, which lies left of or
// above the picture when the pointer stands at its edge (the part outside
// is cut off by the picture's edges). False when no pixel of the cursor
// falls inside the picture, or when the cursor or the grab is empty.
bool PlacePointer(const PointerShape& pointer, const GrabRect& grab, Corner& topLeft);

// The option that draws the pointer into grabs, stored as the REG_DWORD
// value CURSOR beside the other settings: on only for a REG_DWORD of 1
// (1 to 4 bytes, little-endian); anything else, missing or damaged, reads
// as off, the choice of a first start.
constexpr char kPointerOptionValue[] = "CURSOR";
bool PointerOptionFromStored(const StoredValue& stored);
