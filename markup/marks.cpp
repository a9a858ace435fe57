// Marks: geometry rules and the drag that draws them into the picture.
#include "markup/marks.h"

#include <algorithm>
#include <cmath>
#include <utility>

int32_t MosaicBlockFor(int32_t width) { return std::max(8, 4 * width); }

int32_t NumberDiameterFor(int32_t width) { return 20 + 4 * std::max(width, 1); }

ArrowGeometry ArrowHead(MPoint start, MPoint end, int32_t width)
{
    double dx = end.x - start.x, dy = end.y - start.y;
    double length = std::sqrt(dx * dx + dy * dy);
    ArrowGeometry g{end, end, end, end};
    if (length < 1.0)
        return g;
    double head = std::min<double>(std::max(4 * width, 10), length);
    double ux = dx / length, uy = dy / length;
    double bx = end.x - ux * head, by = end.y - uy * head;
    double half = head / 2;
    auto round = [](double v) { return int32_t(std::lround(v)); };
    g.shaftEnd = MPoint{round(bx), round(by)};
    g.left = MPoint{round(bx - uy * half), round(by + ux * half)};
    g.right = MPoint{round(bx + uy * half), round(by - ux * half)};
    return g;
}

MRect DragRect(MPoint a, MPoint b, const MRect& bounds)
{
    MRect r = Intersect(RectFromCorners(a, b), bounds);
    if (r.width() < 2 || r.height() < 2)
        return MRect{};
    return r;
}

std::u16string StepLabel(int number)
{
    std::u16string out;
    unsigned n = unsigned(std::max(number, 0));
    do {
        out.insert(out.begin(), char16_t(u'0' + n % 10));
        n /= 10;
    } while (n);
    return out;
}

bool Hit(const MRect& r, MPoint p, int32_t slack)
{
    return p.x >= r.left - slack && p.x < r.right + slack && p.y >= r.top - slack &&
           p.y < r.bottom + slack;
}

bool ToolForKey(char16_t key, Tool* tool)
{
    static const struct {
        char16_t key;
        Tool tool;
    } kKeys[] = {{u'P', Tool::kPen},     {u'H', Tool::kHighlighter}, {u'L', Tool::kLine},
                 {u'A', Tool::kArrow},   {u'R', Tool::kRectangle},   {u'E', Tool::kEllipse},
                 {u'T', Tool::kText},    {u'M', Tool::kMosaic},      {u'N', Tool::kNumber},
                 {u'C', Tool::kCrop}};
    char16_t upper = key >= u'a' && key <= u'z' ? char16_t(key - u'a' + u'A') : key;
    for (const auto& k : kKeys)
        if (k.key == upper) {
            *tool = k.tool;
            return true;
        }
    return false;
}

std::u16string EditedTitleName(const std::u16string& title)
{
    static const std::u16string kPrefix = u"Kelvo --- ";
    static const std::u16string kEdited = u"編集済み";
    static const std::u16string kSuffix = u" (" + kEdited + u")";
    std::u16string name;
    if (title.compare(0, kPrefix.size(), kPrefix) == 0)
        name = title.substr(kPrefix.size());
    if (name.empty() || name == kEdited)
        return kEdited;
    if (name.size() >= kSuffix.size() &&
        name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0)
        return name;
    return name + kSuffix;
}

void MarkupSession::Start(Pixels picture)
{
    image_ = std::move(picture);
    backup_ = Pixels{};
    history_.Clear();
    dragging_ = false;
}

void MarkupSession::Restore(const MRect& area)
{
    MRect c = Intersect(area, image_.bounds());
    for (int32_t y = c.top; y < c.bottom; ++y)
        std::copy_n(backup_.data.begin() + (size_t(y) * image_.width + c.left), c.width(),
                    image_.data.begin() + (size_t(y) * image_.width + c.left));
}

MRect MarkupSession::Begin(Tool tool, const MarkStyle& style, MPoint p)
{
    if (dragging_)
        Cancel();
    tool_ = tool;
    style_ = style;
    anchor_ = last_ = p;
    touched_ = preview_ = MRect{};
    bool drawsAsItGoes = tool != Tool::kMosaic && tool != Tool::kCrop && tool != Tool::kNumber &&
                         tool != Tool::kText;
    bool stroke = tool == Tool::kPen || tool == Tool::kHighlighter;
    // The copies come first: should memory run out, no drag has begun.
    if (drawsAsItGoes)
        backup_ = image_;
    if (stroke)
        stroke_ = Mask(image_.bounds());
    dragging_ = true;
    return stroke ? Move(p) : MRect{};
}

MRect MarkupSession::DrawShape(MPoint p)
{
    int32_t w = style_.width;
    MRect area;
    if (tool_ == Tool::kRectangle || tool_ == Tool::kEllipse)
        area = RectFromCorners(anchor_, p);
    else
        area = Inflate(RectFromCorners(anchor_, p), std::max(4 * w, 10) + w);
    area = Intersect(area, image_.bounds());
    if (area.empty())
        return area;
    Mask mask(area);
    switch (tool_) {
    case Tool::kLine: mask.Line(anchor_, p, w); break;
    case Tool::kArrow: {
        ArrowGeometry g = ArrowHead(anchor_, p, w);
        mask.Line(anchor_, g.shaftEnd, w);
        mask.Triangle(g.tip, g.left, g.right);
        break;
    }
    case Tool::kRectangle:
        if (style_.filled)
            mask.FillRect(area);
        else
            mask.FrameRect(RectFromCorners(anchor_, p), w);
        break;
    case Tool::kEllipse: mask.Ellipse(RectFromCorners(anchor_, p), w, style_.filled); break;
    default: break;
    }
    Paint(image_, mask, style_.colour, false);
    return area;
}

MRect MarkupSession::Move(MPoint p)
{
    if (!dragging_)
        return MRect{};
    MPoint from = last_;
    last_ = p;
    switch (tool_) {
    case Tool::kPen:
    case Tool::kHighlighter: {
        MRect seg = Intersect(Inflate(RectFromCorners(from, p), style_.width), image_.bounds());
        stroke_.Line(from, p, style_.width);
        bool highlight = tool_ == Tool::kHighlighter;
        // Each pixel is worked out from the picture as it was, so that a
        // translucent stroke does not darken where it crosses itself.
        for (int32_t y = seg.top; y < seg.bottom; ++y)
            for (int32_t x = seg.left; x < seg.right; ++x)
                if (stroke_.get(x, y)) {
                    size_t i = size_t(y) * image_.width + x;
                    image_.data[i] = highlight ? Highlighted(backup_.data[i], style_.colour)
                                               : style_.colour;
                }
        touched_ = Union(touched_, seg);
        return seg;
    }
    case Tool::kLine:
    case Tool::kArrow:
    case Tool::kRectangle:
    case Tool::kEllipse: {
        MRect old = preview_;
        Restore(old);
        preview_ = DrawShape(p);
        touched_ = Union(touched_, preview_);
        return Union(old, preview_);
    }
    case Tool::kMosaic:
    case Tool::kCrop:
        return Union(DragRect(anchor_, from, image_.bounds()), DragRect(anchor_, p, image_.bounds()));
    default: return MRect{};
    }
}

MRect MarkupSession::End(MPoint p)
{
    if (!dragging_)
        return MRect{};
    MRect changed = Move(p);
    dragging_ = false;
    switch (tool_) {
    case Tool::kPen:
    case Tool::kHighlighter:
    case Tool::kLine:
    case Tool::kArrow:
    case Tool::kRectangle:
    case Tool::kEllipse: {
        // The step keeps what the last shape covers; earlier previews were
        // put back already.
        MRect kept = tool_ == Tool::kPen || tool_ == Tool::kHighlighter ? touched_ : preview_;
        if (!kept.empty() && history_.Record(backup_, kept, tool_))
            history_.Compact(image_);
        backup_ = Pixels{};
        stroke_ = Mask(MRect{});
        return changed;
    }
    case Tool::kMosaic: {
        MRect r = DragArea();
        if (!r.empty() && history_.Record(image_, r, Tool::kMosaic)) {
            Mosaic(image_, r, MosaicBlockFor(style_.width));
            history_.Compact(image_);
        }
        return Union(changed, r);
    }
    case Tool::kCrop: {
        MRect r = DragArea();
        if (r.empty())
            return changed;
        if (!history_.RecordWhole(image_, Tool::kCrop))
            return changed;
        Crop(image_, r);
        return image_.bounds();
    }
    case Tool::kNumber: {
        int32_t d = NumberDiameterFor(style_.width);
        MRect disc{p.x - d / 2, p.y - d / 2, p.x - d / 2 + d, p.y - d / 2 + d};
        MRect area = Intersect(disc, image_.bounds());
        if (area.empty() || !history_.Record(image_, area, Tool::kNumber))
            return MRect{};
        Mask mask(disc);
        mask.Ellipse(disc, 0, true);
        Paint(image_, mask, style_.colour, false);
        return area;
    }
    default: return MRect{};
    }
}

MRect MarkupSession::Cancel()
{
    if (!dragging_)
        return MRect{};
    dragging_ = false;
    MRect area = touched_;
    if (!backup_.data.empty())
        Restore(area);
    if (tool_ == Tool::kMosaic || tool_ == Tool::kCrop)
        area = DragArea();
    backup_ = Pixels{};
    stroke_ = Mask(MRect{});
    return area;
}

MRect MarkupSession::Undo()
{
    MRect before = image_.bounds();
    if (!history_.Undo(image_))
        return MRect{};
    return Union(before, image_.bounds());
}

MRect MarkupSession::Redo()
{
    MRect before = image_.bounds();
    if (!history_.Redo(image_))
        return MRect{};
    return Union(before, image_.bounds());
}
