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

TEST(Centring, CentresOverTheReference)
{
    ScreenPoint p = CenteredPosition({100, 50, 700, 450}, {0, 0, 200, 100});
    EXPECT_EQ(p.x, 300);
    EXPECT_EQ(p.y, 200);
    // Odd differences truncate.
    p = CenteredPosition({0, 0, 101, 11}, {0, 0, 0, 0});
    EXPECT_EQ(p.x, 50);
    EXPECT_EQ(p.y, 5);
}

TEST(Centring, NegativeCoordinatesBecomeTheirAbsoluteValue)
{
    // A parent partly beyond the left edge puts the dialog at x = -40,
    // which becomes 40.
    ScreenPoint p = CenteredPosition({-80, 0, 320, 300}, {0, 0, 320, 100});
    EXPECT_EQ(p.x, 40);
    // Truncation toward zero, then the absolute value: -201 / 2 = -100.
    p = CenteredPosition({0, 0, 0, 0}, {0, 0, 201, 0});
    EXPECT_EQ(p.x, 100);
}

TEST(Centring, ExtremeRectanglesDoNotOverflow)
{
    ScreenPoint p = CenteredPosition({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {0, 0, 10, 10});
    EXPECT_GE(p.x, 0);
    EXPECT_GE(p.y, 0);
}

}  // namespace
