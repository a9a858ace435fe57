// The snapshot timer's arithmetic: the 16-bit tick counter against the
// interval, the countdown value, the interval taken from the dialog, and
// the title the countdown covers.
#pragma once
#include <cstdint>
#include <string>

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

// One tick of the one-second timer. With interval N the countdown starts
// at N when counting starts (SnapshotCountdownStart), the ticks show
// N-1 ... 1 and the N-th tick shoots: N seconds from the start to the shot.
// Nothing counts while the timer is off or has no interval, while the
// dialog is open, or while a shot is still being output: a shot can run a
// modal dialog (the save dialog, the preview question) in which ticks keep
// arriving, and counting them would start a second shot inside the first.
SnapshotTickResult AdvanceSnapshotTick(SnapshotState& state);

// Where counting starts (after the dialog, after a shot): the countdown
// shows the whole interval at once, when the timer runs.
SnapshotTickResult SnapshotCountdownStart(const SnapshotState& state);

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
// Whether the dialog may close with this choice: a timer that is on needs
// an interval of at least one second, or it would never shoot.
bool SnapshotChoiceAccepted(bool enabled, uint16_t interval);

// The title that the countdown replaced, so that it comes back when the
// timer stops: the name of the file that holds the picture, or "Kelvo".
struct CountdownTitle {
    std::u16string shown;  // the countdown title last written; empty: none
    std::u16string under;  // the title it replaced
};

// Before the countdown title next replaces the title current. A title that
// is not the countdown last written (a grab, a saved or opened file set it)
// is the one to come back.
void NoteCountdownTitle(CountdownTitle& title, const std::u16string& current,
                        const std::u16string& next);

// When the timer stops with the title current: true, with the title to
// put back, while the title still shows the countdown; false when something
// else has set it since. Forgets the countdown either way.
bool TitleAfterCountdown(CountdownTitle& title, const std::u16string& current,
                         std::u16string* restore);
