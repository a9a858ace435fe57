// The snapshot timer's counting: countdown values, the shot, the 16-bit
// counter and interval, and what stops the counting.
#include <gtest/gtest.h>

#include <string>

#include "capture/snapshot_rules.h"

namespace {

// Runs ticks and writes down what each one did: the countdown value, "*"
// for a shot (finished at once, followed by the countdown's start in
// brackets), "-" for nothing.
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
            SnapshotTickResult start = SnapshotCountdownStart(s);
            if (start.showCountdown)
                out += "(" + std::to_string(start.remaining) + ")";
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

TEST(SnapshotTick, CountsDownFromTheIntervalAndShootsAfterIt)
{
    // Three seconds: 3 at the start, 2 and 1 on the ticks, the shot on the
    // third tick, and 3 again once it is out.
    SnapshotState s = Enabled(3);
    EXPECT_EQ(SnapshotCountdownStart(s).remaining, 3u);
    EXPECT_TRUE(SnapshotCountdownStart(s).showCountdown);
    EXPECT_EQ(Ticks(s, 7), "2 1 *(3) 2 1 *(3) 2 ");
    SnapshotState five = Enabled(5);
    EXPECT_EQ(Ticks(five, 6), "4 3 2 1 *(5) 4 ");
    SnapshotState one = Enabled(1);
    EXPECT_EQ(Ticks(one, 3), "*(1) *(1) *(1) ");
}

TEST(SnapshotTick, NoCountdownStartsWhileOffOrWithoutAnInterval)
{
    SnapshotState off;
    off.interval = 3;
    EXPECT_FALSE(SnapshotCountdownStart(off).showCountdown);
    SnapshotState zero = Enabled(0);
    EXPECT_FALSE(SnapshotCountdownStart(zero).showCountdown);
    SnapshotState shooting = Enabled(3);
    shooting.shooting = true;
    EXPECT_FALSE(SnapshotCountdownStart(shooting).showCountdown);
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
    EXPECT_FALSE(SnapshotCountdownStart(s).showCountdown);
    EXPECT_EQ(Ticks(s, 5), "- - - - - ");
    CloseSnapshotDialog(s);
    EXPECT_FALSE(s.dialogOpen);
    EXPECT_EQ(Ticks(s, 3), "2 1 *(3) ");  // from 0 again, not from where it stood
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
    EXPECT_EQ(Ticks(s, 2), "1 *(2) ");
}

TEST(SnapshotTick, IntervalZeroNeverCountsOrShoots)
{
    // The dialog refuses it while the timer is on; a timer that has it
    // anyway stays still rather than shoot once the counter wraps.
    SnapshotState s = Enabled(0);
    for (int i = 1; i <= 65536 + 10; ++i) {
        SnapshotTickResult t = AdvanceSnapshotTick(s);
        ASSERT_FALSE(t.shoot || t.showCountdown) << i;
    }
}

TEST(SnapshotTick, LargestIntervalCountsFromItsTop)
{
    SnapshotState s = Enabled(65535);
    EXPECT_EQ(SnapshotCountdownStart(s).remaining, 65535u);
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

TEST(SnapshotInterval, ATimerThatIsOnNeedsAtLeastOneSecond)
{
    EXPECT_FALSE(SnapshotChoiceAccepted(true, 0));
    // 65536 keeps its low 16 bits: 0, refused as well.
    EXPECT_FALSE(SnapshotChoiceAccepted(true, SnapshotIntervalFromEntry(65536)));
    EXPECT_TRUE(SnapshotChoiceAccepted(true, 1));
    EXPECT_TRUE(SnapshotChoiceAccepted(true, 65535));
    // Off, the interval is not used.
    EXPECT_TRUE(SnapshotChoiceAccepted(false, 0));
}

TEST(CountdownTitle, TheTitleUnderTheCountdownComesBackWhenTheTimerStops)
{
    CountdownTitle t;
    NoteCountdownTitle(t, u"Kelvo --- SHOT0001.BMP", u"Kelvo --- 3");
    NoteCountdownTitle(t, u"Kelvo --- 3", u"Kelvo --- 2");
    std::u16string back;
    EXPECT_TRUE(TitleAfterCountdown(t, u"Kelvo --- 2", &back));
    EXPECT_EQ(back, u"Kelvo --- SHOT0001.BMP");
    // Forgotten once given back.
    EXPECT_FALSE(TitleAfterCountdown(t, u"Kelvo --- 2", &back));
}

TEST(CountdownTitle, ATitleSetBetweenTwoCountdownsIsTheOneUnderneath)
{
    CountdownTitle t;
    NoteCountdownTitle(t, u"Kelvo", u"Kelvo --- 1");
    // The shot: the grab and the file set the title, then the countdown
    // starts again over the file's name.
    NoteCountdownTitle(t, u"Kelvo --- SHOT0002.BMP", u"Kelvo --- 3");
    std::u16string back;
    EXPECT_TRUE(TitleAfterCountdown(t, u"Kelvo --- 3", &back));
    EXPECT_EQ(back, u"Kelvo --- SHOT0002.BMP");
}

TEST(CountdownTitle, ATitleSetAfterTheCountdownStays)
{
    CountdownTitle t;
    NoteCountdownTitle(t, u"Kelvo", u"Kelvo --- 2");
    std::u16string back = u"unchanged";
    EXPECT_FALSE(TitleAfterCountdown(t, u"Kelvo --- OPENED.BMP", &back));
    EXPECT_EQ(back, u"unchanged");
    CountdownTitle none;
    EXPECT_FALSE(TitleAfterCountdown(none, u"Kelvo", &back));
}

}  // namespace
