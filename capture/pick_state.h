// The capture corners that the main window's pick and the rectangle-
// selection window share with each other and with the grab.
#pragma once
#include <windows.h>

#include "capture/drag_rules.h"

extern PickCorners g_pickCorners;

// Inverts a frame of the given thickness along the inside of box on dc;
// drawing it twice restores what was there.
void InvertFrame(HDC dc, const FrameBox& box, int thickness);
// The width of a rubber band that starts at start: 1 pixel at 100 %, as
// wide as the scale of start's monitor.
int BandWidth(Corner start);

// Cursor 123 (window pick) or 124 (rectangle) from the program's resources.
void SetPickCursor(int cursorId);
constexpr int kReticleCursor = 123;
constexpr int kPencilCursor = 124;
