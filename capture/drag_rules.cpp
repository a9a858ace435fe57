// States of the mouse picks and the boxes of their frames.
#include "capture/drag_rules.h"

bool WindowFrameBox(const FrameBox& windowRect, FrameBox& local)
{
    if (windowRect.right <= windowRect.left || windowRect.bottom <= windowRect.top)
        return false;
    Corner start{windowRect.left, windowRect.top};
    Corner end{windowRect.right, windowRect.bottom};
    GrabRect size = RectFromCorners(start, end);
    local = FrameBox{0, 0, size.width, size.height};
    return true;
}

FrameBox BandBox(Corner a, Corner b)
{
    NormalizeCorners(a, b);
    return FrameBox{a.x, a.y, b.x, b.y};
}

BandStep MoveBand(PickCorners& corners, Corner cursor)
{
    corners.end = cursor;
    BandStep step{corners.start, corners.lastDrawn, corners.end};
    corners.lastDrawn = corners.end;
    return step;
}

PressResult PressInMainWindow(MainPick& pick, bool windowMode, PickCorners& corners,
                              Corner cursor)
{
    if (!pick.armed) {
        pick.armed = true;
        pick.windowMode = windowMode;
        // A window pick follows the cursor from the first press; a rectangle
        // drag waits for a second press where the band is to start.
        pick.tracking = windowMode;
        return PressResult::Armed;
    }
    if (pick.tracking)
        return PressResult::Ignored;
    pick.tracking = true;
    corners.start = cursor;
    corners.lastDrawn = cursor;
    return PressResult::DragStarted;
}

bool ReleaseInMainWindow(MainPick& pick)
{
    if (!pick.tracking)
        return false;
    pick.armed = false;
    pick.tracking = false;
    return true;
}

void StartSelection(Selection& selection, PickCorners& corners)
{
    selection = Selection{false, false};
    corners = PickCorners{{0, 0}, {0, 0}, {0, 0}};
}

void PressInSelection(Selection& selection, PickCorners& corners, Corner cursor)
{
    if (selection.buttonDown)
        return;
    selection.buttonDown = true;
    corners.start = cursor;
    corners.lastDrawn = cursor;
}

bool MoveInSelection(Selection& selection, PickCorners& corners, Corner cursor, BandStep& step)
{
    if (!selection.buttonDown)
        return false;
    selection.dragging = true;
    step = MoveBand(corners, cursor);
    return true;
}

bool ReleaseInSelection(Selection& selection)
{
    // Without a move the start corner stays anchored and the band follows
    // the mouse with the button up; the next click ends the selection.
    if (!selection.dragging)
        return false;
    selection = Selection{false, false};
    return true;
}

bool AbandonSelection(Selection& selection)
{
    bool bandShown = selection.dragging;
    selection = Selection{false, false};
    return bandShown;
}
