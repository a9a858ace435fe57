// States of the mouse picks and the boxes of their frames.
#include "capture/drag_rules.h"

bool WindowFrameBox(const FrameBox& windowRect, const GrabRect& screen, FrameBox& box)
{
    if (windowRect.right <= windowRect.left || windowRect.bottom <= windowRect.top)
        return false;
    GrabRect window = RectFromCorners(Corner{windowRect.left, windowRect.top},
                                      Corner{windowRect.right, windowRect.bottom});
    GrabRect shown = ClipToScreen(window, screen);
    if (shown.width <= 0 || shown.height <= 0)
        return false;
    box = FrameBox{shown.x, shown.y, shown.x + shown.width, shown.y + shown.height};
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

namespace {

const PickCorners kNoCorners{{0, 0}, {0, 0}, {0, 0}};

// The band now on the screen, and the corners of an active pick reset for
// the next one. Without a pick under way the corners are left alone: the
// end of a pick releases the mouse before it grabs them.
Abandoned Abandon(bool active, bool bandShown, PickCorners& corners)
{
    Abandoned left{active, bandShown, corners.start, corners.lastDrawn};
    if (active)
        corners = kNoCorners;
    return left;
}

}  // namespace

PressResult PressInMainWindow(MainPick& pick, bool windowMode, PickCorners& corners,
                              Corner cursor)
{
    if (!pick.armed) {
        corners = kNoCorners;
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
    corners = PickCorners{cursor, cursor, cursor};
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

Abandoned AbandonMainPick(MainPick& pick, PickCorners& corners)
{
    Abandoned left = Abandon(pick.armed, pick.tracking && !pick.windowMode, corners);
    pick = MainPick{false, false, false};
    return left;
}

void StartSelection(Selection& selection, PickCorners& corners)
{
    selection = Selection{false, false};
    corners = kNoCorners;
}

void PressInSelection(Selection& selection, PickCorners& corners, Corner cursor)
{
    if (selection.buttonDown)
        return;
    selection.buttonDown = true;
    corners = PickCorners{cursor, cursor, cursor};
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

Abandoned AbandonSelection(Selection& selection, PickCorners& corners)
{
    Abandoned left = Abandon(selection.buttonDown, selection.dragging, corners);
    selection = Selection{false, false};
    return left;
}
