// Mouse picks: the states of a window pick or rectangle drag in the main
// window and of the rectangle-selection window, and the boxes of the
// inverted frames that show them.
#pragma once
#include <cstdint>

#include "capture/corners.h"

// The corners every mouse pick shares, in screen coordinates.
struct PickCorners {
    Corner start;
    Corner end;
    Corner lastDrawn;  // end corner of the rubber band now on the screen
};

// A box with right and bottom exclusive.
struct FrameBox {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// The box of a window's frame on the screen, in screen coordinates: the
// part of the window that lies on screen (the virtual screen), which is
// the part a pick grabs. False for an empty rectangle or one wholly off
// the screen, which gets no frame.
bool WindowFrameBox(const FrameBox& windowRect, const GrabRect& screen, FrameBox& box);

// The rubber band between two points in either order.
FrameBox BandBox(Corner a, Corner b);

// One step of a rubber band: erase the frame (start, erase), then draw the
// frame (start, draw). Inverting twice restores the screen, so the first
// step's erase of an empty frame draws nothing.
struct BandStep {
    Corner start;
    Corner erase;
    Corner draw;
};
// The cursor moved to cursor: end corner and last-drawn corner follow it.
BandStep MoveBand(PickCorners& corners, Corner cursor);

// What is left to undo when a pick ends without a grab.
struct Abandoned {
    bool active;     // a pick was under way
    bool bandShown;  // a rubber band from bandStart to bandEnd is on the screen
    Corner bandStart;
    Corner bandEnd;
};

// --- the main window: window pick, or rectangle drag ---------------------
struct MainPick {
    bool armed;       // the main window holds the mouse capture for a pick
    bool tracking;    // a release grabs
    bool windowMode;  // the mode the pick was armed in, kept to its end
};

enum class PressResult {
    Ignored,      // already tracking
    Armed,        // first press: take the capture, minimise
    DragStarted,  // rectangle mode, second press: the band starts here
};

// A left press while a pick mode is set, or while a pick is armed: a grab
// from elsewhere resets the pick mode, and the pick must still end cleanly.
// Every press starts from fresh corners, so that nothing left over from an
// earlier pick is ever grabbed: a release without a move grabs nothing.
PressResult PressInMainWindow(MainPick& pick, bool windowMode, PickCorners& corners,
                              Corner cursor);
// A left release; true when it ends the pick with a grab.
bool ReleaseInMainWindow(MainPick& pick);
// The main window lost the mouse capture (another window or program took
// it): the pick ends without a grab, and pick and corners start afresh.
Abandoned AbandonMainPick(MainPick& pick, PickCorners& corners);

// --- the rectangle-selection window --------------------------------------
struct Selection {
    bool buttonDown;  // a start corner has been taken
    bool dragging;    // the mouse moved since, so a release grabs
};

void StartSelection(Selection& selection, PickCorners& corners);
void PressInSelection(Selection& selection, PickCorners& corners, Corner cursor);
// True when the band is to be redrawn as step says.
bool MoveInSelection(Selection& selection, PickCorners& corners, Corner cursor, BandStep& step);
// True when the release ends the selection with a grab of start to end.
bool ReleaseInSelection(Selection& selection);
// The window is closed without a grab (Alt+F4): selection and corners start
// afresh; a band still on the screen is to be erased.
Abandoned AbandonSelection(Selection& selection, PickCorners& corners);
