// The snapshot timer's counting: countdown values, the shot, the 16-bit
// counter and interval, and what stops the counting.
#include <gtest/gtest.h>

#include <string>

#include "capture/snapshot_rules.h"

namespace {

// Runs ticks and writes down what each one did: the countdown value, "*"
// for a shot (finished at once), "-" for nothing.
std::string Ticks(SnapshotState& s, int ticks)
{
    std::string out;
    for (int i = 0; i < ticks; ++i) {
        SnapshotTickResult t = AdvanceSnapshotTick(s);
        if (t.showCountdown)
            out += std::to_string(t.remaining);
        if (t.shoot) {
            out += "*";
            FinishSnapshotShot(s);
        }
        if (!t.showCountdown && !t.shoot)
            out += "-";
        out += " ";
    }
    return out;
}

SnapshotState Enabled(uint16_t interval)
{
    SnapshotState s;
    s.enabled = true;
    s.interval = interval;
    return s;
}

TEST(SnapshotTick, CountsDownAndShootsOnTheTickShowingZero)
{
    SnapshotState s = Enabled(3);
    EXPECT_EQ(Ticks(s, 7), "2 1 0* 2 1 0* 2 ");
    SnapshotState five = Enabled(5);
    EXPECT_EQ(Ticks(five, 6), "4 3 2 1 0* 4 ");
    SnapshotState one = Enabled(1);
    EXPECT_EQ(Ticks(one, 3), "0* 0* 0* ");
}

TEST(SnapshotTick, NothingWhileDisabledOrTheDialogIsOpen)
{
    SnapshotState off;
    off.interval = 2;
    EXPECT_EQ(Ticks(off, 3), "- - - ");
    EXPECT_EQ(off.counter, 0);

    SnapshotState s = Enabled(3);
    EXPECT_EQ(Ticks(s, 1), "2 ");
    s.dialogOpen = true;
    EXPECT_EQ(Ticks(s, 5), "- - - - - ");
    CloseSnapshotDialog(s);
    EXPECT_FALSE(s.dialogOpen);
    EXPECT_EQ(Ticks(s, 3), "2 1 0* ");  // from 0 again, not from where it stood
}

TEST(SnapshotTick, TicksDuringAShotDoNotCount)
{
    SnapshotState s = Enabled(2);
    EXPECT_EQ(AdvanceSnapshotTick(s).shoot, false);
    EXPECT_EQ(AdvanceSnapshotTick(s).shoot, true);
    // The shot's output waits in a dialog for a long time: however many
    // ticks arrive, none starts a second shot, not even after the 16-bit
    // counter would have wrapped.
    for (int i = 0; i < 70000; ++i) {
        SnapshotTickResult t = AdvanceSnapshotTick(s);
        ASSERT_FALSE(t.shoot || t.showCountdown) << i;
    }
    FinishSnapshotShot(s);
    EXPECT_EQ(Ticks(s, 2), "1 0* ");
}

TEST(SnapshotTick, IntervalZeroShootsWhenTheCounterWraps)
{
    SnapshotState s = Enabled(0);
    std::string shotsAt;
    for (int i = 1; i <= 2 * 65536 + 10; ++i) {
        SnapshotTickResult t = AdvanceSnapshotTick(s);
        if (t.shoot) {
            EXPECT_EQ(t.remaining, 0u);
            shotsAt += std::to_string(i) + " ";
            FinishSnapshotShot(s);
        } else {
            ASSERT_FALSE(t.showCountdown) << i;
        }
    }
    // Once every 65536 ticks, counted from the previous shot.
    EXPECT_EQ(shotsAt, "65536 131072 ");
}

TEST(SnapshotTick, LargestIntervalCountsFromItsTop)
{
    SnapshotState s = Enabled(65535);
    SnapshotTickResult t = AdvanceSnapshotTick(s);
    EXPECT_TRUE(t.showCountdown);
    EXPECT_EQ(t.remaining, 65534u);
}

TEST(SnapshotInterval, KeepsTheLowSixteenBits)
{
    EXPECT_EQ(SnapshotIntervalFromEntry(70000), 4464);
    EXPECT_EQ(SnapshotIntervalFromEntry(65535), 65535);
    EXPECT_EQ(SnapshotIntervalFromEntry(65536), 0);
    EXPECT_EQ(SnapshotIntervalFromEntry(3), 3);
    EXPECT_EQ(SnapshotIntervalFromEntry(0xFFFFFFFFu), 65535);
}

}  // namespace
