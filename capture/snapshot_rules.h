// The snapshot timer's arithmetic: the 16-bit tick counter against the
// interval, the countdown value, and the interval taken from the dialog.
#pragma once
#include <cstdint>

struct SnapshotState {
    bool enabled = false;
    uint16_t interval = 0;    // seconds between shots
    uint16_t counter = 0;     // ticks since the last shot or the dialog
    bool dialogOpen = false;  // the settings dialog is showing
    bool shooting = false;    // a shot is being taken and output
};

struct SnapshotTickResult {
    bool showCountdown;  // put the countdown with value remaining in the title
    uint32_t remaining;  // seconds to the next shot
    bool shoot;          // take a shot now, then call FinishSnapshotShot
};

// One tick of the one-second timer. With interval N the countdown shows
// N-1 ... 0 and the shot comes on the tick that shows 0. The counter wraps
// at 16 bits, so an interval of 0 shoots once every 65536 ticks.
// Nothing counts while the timer is off, while the dialog is open, or
// while a shot is still being output: a shot can run a modal dialog (the
// save dialog, the preview question) in which ticks keep arriving, and
// counting them would start a second shot inside the first.
SnapshotTickResult AdvanceSnapshotTick(SnapshotState& state);

// After the shot has been output: counting starts again from 0.
void FinishSnapshotShot(SnapshotState& state);

// After the dialog has closed, confirmed or not: counting starts again
// from 0.
void CloseSnapshotDialog(SnapshotState& state);

// The interval for a number entered in the dialog: its low 16 bits
// (70000 becomes 4464).
uint16_t SnapshotIntervalFromEntry(uint32_t entered);
// The largest interval, where the dialog's arrows stop.
constexpr uint32_t kMaxSnapshotInterval = UINT16_MAX;
