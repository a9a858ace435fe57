// The states of the mouse picks and the boxes of their inverted frames.
#include <gtest/gtest.h>

#include "capture/drag_rules.h"

namespace {

bool Same(Corner a, Corner b) { return a.x == b.x && a.y == b.y; }

TEST(FrameBoxes, WindowFrameIsThePartOfTheWindowOnTheScreen)
{
    const GrabRect screen{0, 0, 1024, 768};
    FrameBox box{-1, -1, -1, -1};
    ASSERT_TRUE(WindowFrameBox(FrameBox{100, 50, 300, 130}, screen, box));
    EXPECT_EQ(box.left, 100);
    EXPECT_EQ(box.top, 50);
    EXPECT_EQ(box.right, 300);
    EXPECT_EQ(box.bottom, 130);
    // A window running past the edges is framed where it shows.
    ASSERT_TRUE(WindowFrameBox(FrameBox{-40, 700, 60, 900}, screen, box));
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 700);
    EXPECT_EQ(box.right, 60);
    EXPECT_EQ(box.bottom, 768);
}

TEST(FrameBoxes, EmptyOrHiddenWindowGetsNoFrame)
{
    const GrabRect screen{0, 0, 1024, 768};
    FrameBox box{7, 7, 7, 7};
    EXPECT_FALSE(WindowFrameBox(FrameBox{10, 10, 10, 50}, screen, box));
    EXPECT_FALSE(WindowFrameBox(FrameBox{10, 10, 50, 10}, screen, box));
    EXPECT_FALSE(WindowFrameBox(FrameBox{50, 10, 10, 50}, screen, box));
    // Wholly off the screen (a minimised window's place under Windows).
    EXPECT_FALSE(WindowFrameBox(FrameBox{-32000, -32000, -31840, -31972}, screen, box));
    EXPECT_EQ(box.right, 7);
}

TEST(FrameBoxes, BandIsTheSameWhicheverWayItWasDragged)
{
    FrameBox a = BandBox(Corner{300, 200}, Corner{100, 50});
    FrameBox b = BandBox(Corner{100, 50}, Corner{300, 200});
    FrameBox c = BandBox(Corner{100, 200}, Corner{300, 50});
    for (const FrameBox& box : {a, b, c}) {
        EXPECT_EQ(box.left, 100);
        EXPECT_EQ(box.top, 50);
        EXPECT_EQ(box.right, 300);
        EXPECT_EQ(box.bottom, 200);
    }
}

TEST(MainWindowPick, WindowPickTracksFromTheFirstPress)
{
    MainPick pick{};
    PickCorners corners{{5, 5}, {9, 9}, {0, 0}};
    EXPECT_EQ(PressInMainWindow(pick, true, corners, Corner{40, 40}), PressResult::Armed);
    EXPECT_TRUE(pick.armed);
    EXPECT_TRUE(pick.tracking);
    // Corners left from before are not picked: until a move finds a window
    // they span nothing.
    EXPECT_TRUE(Same(corners.start, Corner{0, 0}));
    EXPECT_TRUE(Same(corners.end, Corner{0, 0}));
    corners.end = Corner{9, 9};  // a window found by a move
    EXPECT_EQ(PressInMainWindow(pick, true, corners, Corner{1, 1}), PressResult::Ignored);
    EXPECT_TRUE(Same(corners.end, Corner{9, 9}));
    EXPECT_TRUE(ReleaseInMainWindow(pick));
    EXPECT_FALSE(pick.armed);
    EXPECT_FALSE(pick.tracking);
    EXPECT_FALSE(ReleaseInMainWindow(pick));
}

TEST(MainWindowPick, RectangleDragStartsWithTheSecondPress)
{
    MainPick pick{};
    // The end of a band abandoned earlier.
    PickCorners corners{{0, 0}, {900, 200}, {900, 200}};
    EXPECT_EQ(PressInMainWindow(pick, false, corners, Corner{40, 40}), PressResult::Armed);
    EXPECT_TRUE(pick.armed);
    EXPECT_FALSE(pick.tracking);
    // Releasing the arming press does not grab.
    EXPECT_FALSE(ReleaseInMainWindow(pick));
    EXPECT_TRUE(pick.armed);

    EXPECT_EQ(PressInMainWindow(pick, false, corners, Corner{200, 150}),
              PressResult::DragStarted);
    // A release right now grabs the empty rectangle at the press.
    EXPECT_TRUE(Same(corners.start, Corner{200, 150}));
    EXPECT_TRUE(Same(corners.end, Corner{200, 150}));
    EXPECT_TRUE(Same(corners.lastDrawn, Corner{200, 150}));
    EXPECT_EQ(PressInMainWindow(pick, false, corners, Corner{1, 1}), PressResult::Ignored);
    EXPECT_TRUE(Same(corners.start, Corner{200, 150}));

    BandStep first = MoveBand(corners, Corner{250, 180});
    // Nothing to erase yet: the old frame is empty.
    EXPECT_TRUE(Same(first.erase, first.start));
    EXPECT_TRUE(Same(first.draw, Corner{250, 180}));
    BandStep second = MoveBand(corners, Corner{120, 100});
    EXPECT_TRUE(Same(second.erase, Corner{250, 180}));
    EXPECT_TRUE(Same(second.draw, Corner{120, 100}));
    EXPECT_TRUE(Same(corners.end, Corner{120, 100}));
    EXPECT_TRUE(Same(corners.lastDrawn, Corner{120, 100}));
    EXPECT_TRUE(ReleaseInMainWindow(pick));
}

TEST(MainWindowPick, KeepsTheModeItWasArmedIn)
{
    MainPick pick{};
    PickCorners corners{};
    PressInMainWindow(pick, false, corners, Corner{1, 1});
    // Whatever mode the next press reports, the armed rectangle drag goes on.
    EXPECT_EQ(PressInMainWindow(pick, true, corners, Corner{5, 6}), PressResult::DragStarted);
    EXPECT_FALSE(pick.windowMode);
    EXPECT_TRUE(ReleaseInMainWindow(pick));
    // The next pick is armed afresh.
    PressInMainWindow(pick, true, corners, Corner{1, 1});
    EXPECT_TRUE(pick.windowMode);
    EXPECT_TRUE(pick.tracking);
}

TEST(SelectionWindow, FollowsEveryRowOfItsStateTable)
{
    Selection s{true, true};
    PickCorners corners{{1, 2}, {3, 4}, {5, 6}};
    StartSelection(s, corners);
    EXPECT_FALSE(s.buttonDown);
    EXPECT_FALSE(s.dragging);
    EXPECT_TRUE(Same(corners.start, Corner{0, 0}));
    EXPECT_TRUE(Same(corners.end, Corner{0, 0}));
    EXPECT_TRUE(Same(corners.lastDrawn, Corner{0, 0}));

    // Waiting: moves and releases do nothing.
    BandStep step{};
    EXPECT_FALSE(MoveInSelection(s, corners, Corner{50, 50}, step));
    EXPECT_FALSE(ReleaseInSelection(s));
    EXPECT_TRUE(Same(corners.end, Corner{0, 0}));

    // Anchored: a second press and a release change nothing.
    PressInSelection(s, corners, Corner{300, 200});
    EXPECT_TRUE(s.buttonDown);
    PressInSelection(s, corners, Corner{10, 10});
    EXPECT_TRUE(Same(corners.start, Corner{300, 200}));
    EXPECT_FALSE(ReleaseInSelection(s));
    EXPECT_TRUE(s.buttonDown);

    // Dragging (here with the button up after a click): the band follows.
    ASSERT_TRUE(MoveInSelection(s, corners, Corner{100, 50}, step));
    EXPECT_TRUE(s.dragging);
    EXPECT_TRUE(Same(step.erase, Corner{300, 200}));
    EXPECT_TRUE(Same(step.draw, Corner{100, 50}));
    PressInSelection(s, corners, Corner{7, 7});
    EXPECT_TRUE(Same(corners.start, Corner{300, 200}));
    EXPECT_TRUE(ReleaseInSelection(s));
    EXPECT_FALSE(s.buttonDown);
    EXPECT_FALSE(s.dragging);
    EXPECT_TRUE(Same(corners.end, Corner{100, 50}));
}

TEST(MainWindowPick, LostCaptureEndsThePickAndErasesOnlyABand)
{
    MainPick pick{};
    PickCorners corners{{700, 500}, {900, 300}, {900, 300}};
    // A pick that has ended releases the mouse before it grabs: the
    // corners it is about to grab stay.
    EXPECT_FALSE(AbandonMainPick(pick, corners).active);
    EXPECT_TRUE(Same(corners.end, Corner{900, 300}));

    // Rectangle mode in the middle of a drag: the band is to be erased.
    PressInMainWindow(pick, false, corners, Corner{1, 1});
    PressInMainWindow(pick, false, corners, Corner{200, 150});
    MoveBand(corners, Corner{250, 180});
    Abandoned left = AbandonMainPick(pick, corners);
    EXPECT_TRUE(left.active);
    EXPECT_TRUE(left.bandShown);
    EXPECT_TRUE(Same(left.bandStart, Corner{200, 150}));
    EXPECT_TRUE(Same(left.bandEnd, Corner{250, 180}));
    EXPECT_FALSE(pick.armed || pick.tracking);
    EXPECT_TRUE(Same(corners.end, Corner{0, 0}));
    EXPECT_TRUE(Same(corners.lastDrawn, Corner{0, 0}));
    // Nothing is left for a release or the next press.
    EXPECT_FALSE(ReleaseInMainWindow(pick));
    EXPECT_EQ(PressInMainWindow(pick, false, corners, Corner{5, 5}), PressResult::Armed);

    // Armed but no band yet, and a window pick: only flashes, nothing to erase.
    left = AbandonMainPick(pick, corners);
    EXPECT_TRUE(left.active);
    EXPECT_FALSE(left.bandShown);
    PressInMainWindow(pick, true, corners, Corner{5, 5});
    EXPECT_FALSE(AbandonMainPick(pick, corners).bandShown);
}

TEST(SelectionWindow, ClosingWithoutAGrabErasesOnlyABandThatIsShown)
{
    Selection s{};
    PickCorners corners{};
    StartSelection(s, corners);
    EXPECT_FALSE(AbandonSelection(s, corners).bandShown);
    PressInSelection(s, corners, Corner{10, 10});
    // Anchored, but nothing drawn yet.
    EXPECT_FALSE(AbandonSelection(s, corners).bandShown);
    EXPECT_FALSE(s.buttonDown);

    PressInSelection(s, corners, Corner{10, 10});
    BandStep step{};
    MoveInSelection(s, corners, Corner{60, 40}, step);
    Abandoned left = AbandonSelection(s, corners);
    EXPECT_TRUE(left.bandShown);
    EXPECT_TRUE(Same(left.bandStart, Corner{10, 10}));
    EXPECT_TRUE(Same(left.bandEnd, Corner{60, 40}));
    EXPECT_FALSE(s.dragging);
    // The corners of the abandoned band are not there for the next pick.
    EXPECT_TRUE(Same(corners.start, Corner{0, 0}));
    EXPECT_TRUE(Same(corners.end, Corner{0, 0}));
    // After a grab the band was erased already.
    PressInSelection(s, corners, Corner{10, 10});
    MoveInSelection(s, corners, Corner{60, 40}, step);
    ASSERT_TRUE(ReleaseInSelection(s));
    EXPECT_FALSE(AbandonSelection(s, corners).bandShown);
}

}  // namespace
