// Title composition and centring.
#include <gtest/gtest.h>

#include <string>

#include "app/centring.h"
#include "app/title_text.h"

namespace {

std::u16string Title(const char16_t* text, size_t capacity = kTitleCapacity)
{
    char16_t out[1024];
    size_t n = ComposeMainTitle(text, out, capacity);
    EXPECT_EQ(out[n], 0);
    return std::u16string(out, n);
}

TEST(MainTitle, NamePartBehindLastBackslash)
{
    EXPECT_EQ(Title(u"C:\\DATA\\SHOT.BMP"), u"Kelvo --- SHOT.BMP");
    EXPECT_EQ(Title(u"SHOT.BMP"), u"Kelvo --- SHOT.BMP");
    EXPECT_EQ(Title(u"C:\\pic\\cap\\SHOT0001.BMP"), u"Kelvo --- SHOT0001.BMP");
    EXPECT_EQ(Title(nullptr), u"Kelvo");
    EXPECT_EQ(Title(u"C:\\DATA\\"), u"Kelvo --- ");
}

TEST(MainTitle, JapaneseNamesWhoseShiftJisHoldsA5C)
{
    // "表" and "ソ" end in byte 0x5C in Shift-JIS; in UTF-16 they are
    // ordinary characters and must not split the name.
    EXPECT_EQ(Title(u"C:\\写真\\表ソ.BMP"), u"Kelvo --- 表ソ.BMP");
}

TEST(MainTitle, CountdownTextStandsUnchanged)
{
    EXPECT_EQ(Title(u"次のショットまであと    3秒"), u"Kelvo --- 次のショットまであと    3秒");
}

TEST(MainTitle, LongNamesAreCutInsideTheBuffer)
{
    std::u16string longName(600, u'a');
    std::u16string t = Title(longName.c_str());
    EXPECT_EQ(t.size(), kTitleCapacity - 1);
    EXPECT_EQ(t.substr(0, 10), u"Kelvo --- ");

    // A small output buffer is never overrun and stays terminated.
    char16_t small[8];
    for (char16_t& c : small)
        c = u'#';
    size_t n = ComposeMainTitle(u"X:\\abc", small, 4);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(std::u16string(small, 3), u"Kel");
    EXPECT_EQ(small[3], 0);
    EXPECT_EQ(small[4], u'#');
    EXPECT_EQ(ComposeMainTitle(u"x", small, 0), 0u);
}

TEST(MainTitle, SurrogatePairIsNotSplitAtTheCut)
{
    // "Kelvo --- " is 10 units; with room for 11 units plus terminator the
    // pair (2 units) at position 10 does not fit whole and is left out.
    char16_t out[12];
    size_t n = ComposeMainTitle(u"\U00020BB7\U00020BB7", out, 12);
    EXPECT_EQ(n, 10u);
    n = ComposeMainTitle(u"\U00020BB7", out, 13);
    EXPECT_EQ(n, 12u);
}

constexpr ScreenRect kScreen{0, 0, 1024, 768};

TEST(Centring, CentresOverTheReference)
{
    ScreenPoint p = CenteredPosition({100, 50, 700, 450}, {0, 0, 200, 100}, kScreen);
    EXPECT_EQ(p.x, 300);
    EXPECT_EQ(p.y, 200);
    // Odd differences truncate.
    p = CenteredPosition({0, 0, 101, 11}, {0, 0, 0, 0}, kScreen);
    EXPECT_EQ(p.x, 50);
    EXPECT_EQ(p.y, 5);
}

TEST(Centring, NegativePositionsOnALeftMonitorAreKept)
{
    // An owner on a monitor left of the primary one: the dialog opens
    // there, not mirrored onto the primary monitor.
    const ScreenRect left{-1024, 0, 0, 768};
    ScreenPoint p = CenteredPosition({-900, 100, -500, 400}, {0, 0, 200, 100}, left);
    EXPECT_EQ(p.x, -800);
    EXPECT_EQ(p.y, 200);
    // Truncation toward zero: -201 / 2 = -100, not -101.
    p = CenteredPosition({-500, 0, -500, 0}, {0, 0, 201, 0}, left);
    EXPECT_EQ(p.x, -600);
}

TEST(Centring, StaysOnTheWorkAreaOfTheOwnersMonitor)
{
    // An owner partly beyond the left edge would put the dialog at x = -40;
    // it stops at the edge instead.
    ScreenPoint p = CenteredPosition({-80, 0, 320, 300}, {0, 0, 320, 100}, kScreen);
    EXPECT_EQ(p.x, 0);
    // Past the right and bottom edges of a work area above a task bar.
    p = CenteredPosition({900, 700, 1100, 800}, {0, 0, 300, 200}, {0, 0, 1024, 738});
    EXPECT_EQ(p.x, 724);
    EXPECT_EQ(p.y, 538);
    // Larger than the area: its left and top edges show.
    p = CenteredPosition({0, 0, 100, 100}, {0, 0, 2000, 1000}, kScreen);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
}

TEST(Centring, ExtremeRectanglesDoNotOverflow)
{
    const ScreenRect all{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    ScreenPoint p = CenteredPosition(all, {0, 0, 10, 10}, all);
    EXPECT_EQ(p.x, -6);
    p = CenteredPosition({INT32_MAX - 1, 0, INT32_MAX, 1}, {0, 0, 10, 10}, all);
    EXPECT_EQ(p.x, INT32_MAX - 10);
}

}  // namespace
