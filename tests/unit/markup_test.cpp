// The markup editor's portable parts: marks in pixels, the undo stack,
// arrow heads, drag rectangles, view mapping, keys and the edited title.
#include <gtest/gtest.h>

#include "markup/marks.h"
#include "markup/view_map.h"

namespace {

constexpr uint32_t kWhite = Rgb(255, 255, 255);
constexpr uint32_t kRed = Rgb(255, 0, 0);

Pixels Plain(int32_t w, int32_t h, uint32_t colour = kWhite)
{
    Pixels p;
    p.width = w;
    p.height = h;
    p.data.assign(size_t(w) * h, colour);
    return p;
}

// Every pixel different, so that a swapped or shifted pixel shows.
Pixels Coded(int32_t w, int32_t h)
{
    Pixels p = Plain(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            p.data[size_t(y) * w + x] = Rgb(uint8_t(x * 7), uint8_t(y * 5), uint8_t(x + y));
    return p;
}

MarkStyle Style(int32_t width, bool filled = false, uint32_t colour = kRed)
{
    MarkStyle s;
    s.width = width;
    s.filled = filled;
    s.colour = colour;
    return s;
}

}  // namespace

TEST(Markup, RectangleOutlineLiesInsideTheDragWithTheLineWidth)
{
    MarkupSession s;
    s.Start(Plain(40, 30));
    s.Begin(Tool::kRectangle, Style(3), MPoint{25, 20});
    s.Move(MPoint{12, 3});
    s.End(MPoint{5, 4});  // dragged up and left: corners 5,4 .. 25,20
    const Pixels& p = s.image();
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x) {
            bool inside = x >= 5 && x <= 25 && y >= 4 && y <= 20;
            bool hole = x >= 8 && x <= 22 && y >= 7 && y <= 17;
            EXPECT_EQ(p.at(x, y), inside && !hole ? kRed : kWhite) << x << "," << y;
        }
}

TEST(Markup, HighlighterCrossingItselfIsBlendedOnce)
{
    MarkupSession s;
    s.Start(Plain(20, 20, Rgb(200, 100, 50)));
    s.Begin(Tool::kHighlighter, Style(2, false, Rgb(255, 255, 0)), MPoint{2, 10});
    s.Move(MPoint{17, 10});
    s.Move(MPoint{10, 2});
    s.End(MPoint{10, 17});  // crosses the first segment at 10,10
    uint32_t once = Highlighted(Rgb(200, 100, 50), Rgb(255, 255, 0));
    EXPECT_EQ(once, Rgb(200, 100, 0));
    EXPECT_EQ(s.image().at(10, 10), once);
    EXPECT_EQ(s.image().at(4, 10), once);
    EXPECT_EQ(s.image().at(4, 4), Rgb(200, 100, 50));
}

TEST(Markup, MosaicWritesRoundedBlockAveragesFromTheDragCorner)
{
    Pixels p = Coded(20, 10);
    Pixels before = p;
    Mosaic(p, MRect{3, 2, 14, 10}, 8);
    auto average = [&](int32_t l, int32_t t, int32_t r, int32_t b) {
        uint64_t sum[3] = {};
        uint64_t n = uint64_t(r - l) * (b - t);
        for (int32_t y = t; y < b; ++y)
            for (int32_t x = l; x < r; ++x)
                for (int c = 0; c < 3; ++c)
                    sum[c] += (before.at(x, y) >> (16 - 8 * c)) & 255;
        return Rgb(uint8_t((sum[0] + n / 2) / n), uint8_t((sum[1] + n / 2) / n),
                   uint8_t((sum[2] + n / 2) / n));
    };
    // Blocks 3..11 x 2..10 and the narrower 11..14 x 2..10 at the edge.
    for (int32_t y = 2; y < 10; ++y) {
        for (int32_t x = 3; x < 11; ++x)
            EXPECT_EQ(p.at(x, y), average(3, 2, 11, 10));
        for (int32_t x = 11; x < 14; ++x)
            EXPECT_EQ(p.at(x, y), average(11, 2, 14, 10));
    }
    EXPECT_EQ(p.at(2, 5), before.at(2, 5));
    EXPECT_EQ(p.at(14, 5), before.at(14, 5));
    EXPECT_EQ(p.at(5, 1), before.at(5, 1));
}

TEST(Markup, UndoAndRedoGiveBackEveryStepExactlyCropIncluded)
{
    MarkupSession s;
    s.Start(Coded(30, 20));
    Pixels original = s.image();
    s.Begin(Tool::kPen, Style(4), MPoint{1, 1});
    s.Move(MPoint{28, 18});
    s.End(MPoint{5, 18});
    Pixels afterPen = s.image();
    s.Begin(Tool::kMosaic, Style(1), MPoint{10, 2});
    s.End(MPoint{25, 15});
    Pixels afterMosaic = s.image();
    s.Begin(Tool::kCrop, Style(1), MPoint{4, 3});
    s.End(MPoint{20, 12});
    EXPECT_EQ(s.image().width, 17);
    EXPECT_EQ(s.image().height, 10);
    EXPECT_EQ(s.image().at(0, 0), afterMosaic.at(4, 3));

    ASSERT_FALSE(s.Undo().empty());
    EXPECT_EQ(s.image().width, 30);
    EXPECT_EQ(s.image().data, afterMosaic.data);
    s.Undo();
    EXPECT_EQ(s.image().data, afterPen.data);
    s.Undo();
    EXPECT_EQ(s.image().data, original.data);
    EXPECT_TRUE(s.Undo().empty());
    s.Redo();
    s.Redo();
    EXPECT_EQ(s.image().data, afterMosaic.data);
    // A new step drops what was undone.
    s.Begin(Tool::kLine, Style(1), MPoint{0, 0});
    s.End(MPoint{5, 0});
    EXPECT_EQ(s.history().RedoSteps(), 0u);
    EXPECT_TRUE(s.Redo().empty());
}

TEST(Markup, ADragCancelledHalfWayLeavesNoTrace)
{
    MarkupSession s;
    s.Start(Coded(30, 20));
    Pixels original = s.image();
    s.Begin(Tool::kArrow, Style(2), MPoint{2, 2});
    s.Move(MPoint{25, 15});
    EXPECT_NE(s.image().data, original.data);
    s.Cancel();
    EXPECT_EQ(s.image().data, original.data);
    EXPECT_EQ(s.history().UndoSteps(), 0u);
}

TEST(Markup, StepNumbersCountOnAndUndoTakesOneBack)
{
    MarkupSession s;
    s.Start(Plain(100, 100));
    EXPECT_EQ(s.NextNumber(), 1);
    for (MPoint p : {MPoint{20, 20}, MPoint{60, 60}}) {
        s.Begin(Tool::kNumber, Style(2), p);
        MRect disc = s.End(p);
        EXPECT_EQ(disc.width(), NumberDiameterFor(2));
        EXPECT_EQ(s.image().at(p.x, p.y), kRed);
    }
    EXPECT_EQ(s.NextNumber(), 3);
    s.Undo();
    EXPECT_EQ(s.NextNumber(), 2);
    EXPECT_EQ(s.image().at(60, 60), kWhite);
    EXPECT_EQ(StepLabel(2), u"2");
    EXPECT_EQ(StepLabel(12), u"12");
}

TEST(Markup, ArrowHeadEndsAtTheTipFourWidthsLongAndSymmetric)
{
    ArrowGeometry g = ArrowHead(MPoint{0, 50}, MPoint{100, 50}, 5);
    EXPECT_EQ(g.tip.x, 100);
    EXPECT_EQ(g.shaftEnd.x, 80);
    EXPECT_EQ(g.shaftEnd.y, 50);
    EXPECT_EQ(g.left.x, 80);
    EXPECT_EQ(g.right.x, 80);
    EXPECT_EQ(g.left.y + g.right.y, 100);
    EXPECT_EQ(std::abs(g.left.y - g.right.y), 20);
    // A short arrow's head is no longer than the arrow.
    ArrowGeometry s = ArrowHead(MPoint{0, 0}, MPoint{0, 6}, 5);
    EXPECT_EQ(s.shaftEnd.y, 0);
}

TEST(Markup, DragRectIsClippedAndAClickIsNone)
{
    MRect bounds{0, 0, 50, 40};
    EXPECT_TRUE(DragRect(MPoint{10, 10}, MPoint{10, 10}, bounds).empty());
    MRect r = DragRect(MPoint{45, 30}, MPoint{60, -5}, bounds);
    EXPECT_EQ(r.left, 45);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 50);
    EXPECT_EQ(r.bottom, 31);
}

TEST(Markup, ViewMapsClientPointsToPicturePixelsZoomedAndScrolled)
{
    // 3840 x 2160 shown at a quarter, at 10, 40.
    ViewMap z = ZoomedView(3840, 2160, 10, 40, 960, 540);
    MPoint p = ToPicture(z, 10 + 100, 40 + 50);
    EXPECT_EQ(p.x, 400);
    EXPECT_EQ(p.y, 200);
    MRect c = ToClient(z, MRect{401, 201, 403, 202});
    EXPECT_EQ(c.left, 110);
    EXPECT_EQ(c.right, 111);
    EXPECT_EQ(c.top, 90);
    EXPECT_EQ(c.bottom, 91);
    // Off the picture: its nearest edge pixel.
    p = ToPicture(z, 0, 10000);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 2159);
    ViewMap n = NaturalView(1000, 800, 30, 70, 28);
    p = ToPicture(n, 5, 28);
    EXPECT_EQ(p.x, 35);
    EXPECT_EQ(p.y, 70);
}

TEST(Markup, LetterKeysChooseTools)
{
    Tool t = Tool::kPen;
    EXPECT_TRUE(ToolForKey(u'm', &t));
    EXPECT_EQ(t, Tool::kMosaic);
    EXPECT_TRUE(ToolForKey(u'C', &t));
    EXPECT_EQ(t, Tool::kCrop);
    EXPECT_FALSE(ToolForKey(u'Z', &t));
}

TEST(Markup, EditedTitleNameKeepsTheNameAndSaysItOnce)
{
    EXPECT_EQ(EditedTitleName(u"Kelvo --- shot.bmp"), u"shot.bmp (編集済み)");
    EXPECT_EQ(EditedTitleName(u"Kelvo --- shot.bmp (編集済み)"), u"shot.bmp (編集済み)");
    EXPECT_EQ(EditedTitleName(u"Kelvo"), u"編集済み");
    EXPECT_EQ(EditedTitleName(u"Kelvo --- 編集済み"), u"編集済み");
}

TEST(Markup, AThinDiagonalStrokeCostsItsOwnPixelsNotItsBox)
{
    MarkupSession s;
    s.Start(Coded(400, 300));
    Pixels original = s.image();
    s.Begin(Tool::kPen, Style(2), MPoint{0, 0});
    s.End(MPoint{399, 299});
    // The box would be 400 x 300 pixels, 480000 bytes.
    EXPECT_LT(s.history().Bytes(), 400u * 8u * 4u);
    Pixels drawn = s.image();
    s.Undo();
    EXPECT_EQ(s.image().data, original.data);
    s.Redo();
    EXPECT_EQ(s.image().data, drawn.data);
}

TEST(Markup, HitTakesPointsOnTheBoxAndWithinItsSlack)
{
    MRect box{10, 20, 50, 40};
    EXPECT_TRUE(Hit(box, MPoint{10, 20}, 0));
    EXPECT_FALSE(Hit(box, MPoint{50, 30}, 0));
    EXPECT_TRUE(Hit(box, MPoint{53, 30}, 4));
    EXPECT_FALSE(Hit(box, MPoint{54, 30}, 4));
    EXPECT_TRUE(Hit(box, MPoint{6, 16}, 4));
    EXPECT_FALSE(Hit(box, MPoint{5, 30}, 4));
}
