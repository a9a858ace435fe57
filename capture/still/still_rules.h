// Selecting on a still picture of the screen: the rules of the selection,
// the magnifier and the dimming, apart from the window system. All points
// and boxes are in screen pixels; boxes have right and bottom exclusive.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/drag_rules.h"

// --- the still picture ------------------------------------------------
// One colour channel of the picture outside the selection: dimmed enough
// to tell apart from the selection, light enough to still read.
uint8_t DimChannel(uint8_t value);
// Dims count pixels of 4 bytes (blue, green, red, unused) in place; the
// fourth byte is left as it is.
void DimPixels(uint8_t* pixels, size_t count);

// --- snapping ---------------------------------------------------------
// A window on the screen when the picture was taken. A list holds the
// top-level windows and their children, each level in the order the
// system stacks them (topmost first), every window after its parent.
struct SnapWindow {
    FrameBox box;
    int parent;  // index of the parent in the list, -1 for a top-level window
};
// The window under point as the window pick chooses it: the topmost
// top-level window that holds the point, then the topmost of its children
// that holds it, and so on down. Its index, or -1 when there is none.
int SnapChoice(const std::vector<SnapWindow>& windows, Corner point);

// --- the selection ----------------------------------------------------
struct StillSelection {
    bool pressed;  // the left button went down: start is fixed
    bool dragged;  // the cursor moved away from start since
    Corner start;
    Corner end;     // follows the cursor while pressed
    bool snapped;   // a window lies under the cursor (before a press)
    FrameBox snap;  // its box on the screen
};

// The box the selection shows and would take now: start to end once the
// drag has begun, otherwise the window under the cursor (empty when there
// is none).
FrameBox ShownBox(const StillSelection& selection);
// The left button goes down at cursor.
void PressStill(StillSelection& selection, Corner cursor);
// The cursor moved to cursor: the corner being dragged follows.
void MoveStill(StillSelection& selection, Corner cursor);
// The left button comes up: true when that ends the selection, taking
// *taken: the dragged rectangle, or the snapped window after a click
// without a drag (empty when no window was under it).
bool ReleaseStill(StillSelection& selection, FrameBox* taken);
// Enter: what is shown now is taken.
FrameBox TakeStill(const StillSelection& selection);

// An arrow key moves the cursor (and so the corner being dragged) by one
// pixel, by ten with Shift, and keeps it on the screen.
Corner ArrowMove(Corner cursor, int dx, int dy, bool shift, const GrabRect& screen);

// --- what is drawn beside the cursor and the selection ----------------
// The magnifier's box, width x height, beside the hot spot: below and
// right of it by gap, left of it when that would run past the monitor's
// right edge, above it when past the bottom; kept inside the monitor, and
// never over the hot spot while the monitor leaves room beside it.
FrameBox PlaceLoupe(Corner hotSpot, const FrameBox& monitor, int width, int height, int gap);
// The size label's box beside the selection: above its top-left corner,
// below its bottom when there is no room above, inside its top when there
// is none below either; kept inside the monitor.
FrameBox PlaceSizeLabel(const FrameBox& selection, const FrameBox& monitor, int width, int height,
                        int gap);

// The magnifier shows odd x odd pixels with the hot spot in the middle.
constexpr int kLoupePixels = 15;
constexpr int kLoupeZoom = 8;

// The texts beside the selection and under the magnifier.
std::wstring PositionText(Corner point);                   // "1024, -5"
std::wstring SizeText(const FrameBox& box);                // "140 × 320"
std::wstring ColourText(uint8_t r, uint8_t g, uint8_t b);  // "#3366CC"
