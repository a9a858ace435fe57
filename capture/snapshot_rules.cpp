// The snapshot timer's counting rules, apart from the timer and the title.
#include "capture/snapshot_rules.h"

SnapshotTickResult AdvanceSnapshotTick(SnapshotState& state)
{
    SnapshotTickResult tick{false, 0, false};
    if (!state.enabled || state.interval == 0 || state.dialogOpen || state.shooting)
        return tick;
    state.counter = uint16_t(state.counter + 1);
    if (state.counter < state.interval) {
        tick.showCountdown = true;
        tick.remaining = uint32_t(state.interval - state.counter);
        return tick;
    }
    tick.shoot = true;
    state.shooting = true;
    return tick;
}

SnapshotTickResult SnapshotCountdownStart(const SnapshotState& state)
{
    bool runs = state.enabled && state.interval > 0 && !state.dialogOpen && !state.shooting;
    return SnapshotTickResult{runs, runs ? uint32_t(state.interval) : 0, false};
}

void FinishSnapshotShot(SnapshotState& state)
{
    state.shooting = false;
    state.counter = 0;
}

void CloseSnapshotDialog(SnapshotState& state)
{
    state.dialogOpen = false;
    state.counter = 0;
}

uint16_t SnapshotIntervalFromEntry(uint32_t entered)
{
    return uint16_t(entered & 0xFFFF);
}

bool SnapshotChoiceAccepted(bool enabled, uint16_t interval)
{
    return !enabled || interval > 0;
}

void NoteCountdownTitle(CountdownTitle& title, const std::u16string& current,
                        const std::u16string& next)
{
    if (title.shown.empty() || current != title.shown)
        title.under = current;
    title.shown = next;
}

bool TitleAfterCountdown(CountdownTitle& title, const std::u16string& current,
                         std::u16string* restore)
{
    bool showing = !title.shown.empty() && current == title.shown;
    if (showing)
        *restore = title.under;
    title.shown.clear();
    title.under.clear();
    return showing;
}
