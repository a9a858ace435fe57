// The snapshot timer's counting rules, apart from the timer and the title.
#include "capture/snapshot_rules.h"

SnapshotTickResult AdvanceSnapshotTick(SnapshotState& state)
{
    SnapshotTickResult tick{false, 0, false};
    if (!state.enabled || state.dialogOpen || state.shooting)
        return tick;
    state.counter = uint16_t(state.counter + 1);
    if (state.counter > state.interval)
        return tick;
    tick.showCountdown = true;
    tick.remaining = uint32_t(state.interval - state.counter);
    if (state.counter == state.interval) {
        tick.shoot = true;
        state.shooting = true;
    }
    return tick;
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
