// The marks of the editor and how each is drawn into the picture, the
// drag that makes one, and the small rules around them (arrow heads, step
// numbers, crop and mosaic rectangles, the tool keys, the edited title).
#pragma once
#include <cstdint>
#include <string>

#include "markup/history.h"
#include "markup/raster.h"

struct MarkStyle {
    uint32_t colour = Rgb(255, 0, 0);
    int32_t width = 2;    // line width in picture pixels
    bool filled = false;  // rectangle and ellipse
};

// The line widths offered, and the mosaic block that goes with each.
constexpr int32_t kWidthChoices[4] = {1, 2, 4, 8};
int32_t MosaicBlockFor(int32_t width);
// The text heights offered (pixels), a choice of their own: large text
// with a thin frame round it is as common as the other way round.
constexpr int32_t kTextSizes[4] = {16, 24, 32, 48};
// The diameter of a step number's disc.
int32_t NumberDiameterFor(int32_t width);

// The head of an arrow from start to end: a filled triangle whose tip is
// end, as long as four line widths and at least 10 pixels (shorter arrows
// get a head as long as themselves), half as wide on each side as it is
// long; the shaft stops at the head's base so that its round end stays
// inside the head.
struct ArrowGeometry {
    MPoint shaftEnd;
    MPoint tip;
    MPoint left;
    MPoint right;
};
ArrowGeometry ArrowHead(MPoint start, MPoint end, int32_t width);

// The rectangle a drag from a to b covers on a picture of size bounds:
// clipped to it; empty when it is less than 2 pixels across either way
// (a click is no crop and no mosaic).
MRect DragRect(MPoint a, MPoint b, const MRect& bounds);

// The next step number's label: "1", "2", ... counted from the number
// marks done so far.
std::u16string StepLabel(int number);

// Whether p lies on r or within slack pixels of it.
bool Hit(const MRect& r, MPoint p, int32_t slack);

// The tool a letter key selects (P pen, H highlighter, L line, A arrow,
// R rectangle, E ellipse, T text, M mosaic, N number, C crop; either
// case); false for any other key.
bool ToolForKey(char16_t key, Tool* tool);

// The name shown in the title once the picture has been edited: the
// name the title shows now (after "Kelvo --- ") with " (編集済み)" behind
// it, or that word alone when the title shows no name; unchanged when it
// already says so.
std::u16string EditedTitleName(const std::u16string& title);

// One editing session: the picture being marked up, its undo stack and
// the drag in progress. Begin/Move/End return the part of the picture
// that changed and needs drawing again (for mosaic and crop, which change
// nothing until the drag ends, the area the drag rectangle covered).
class MarkupSession {
public:
    void Start(Pixels picture);
    Pixels& image() { return image_; }
    const Pixels& image() const { return image_; }
    History& history() { return history_; }

    MRect Begin(Tool tool, const MarkStyle& style, MPoint p);
    MRect Move(MPoint p);
    // Ends the drag at p, keeping its step; for a crop the whole (new)
    // picture is returned.
    MRect End(MPoint p);
    // Drops the drag in progress, the picture as it was before it.
    MRect Cancel();
    bool dragging() const { return dragging_; }
    Tool tool() const { return tool_; }
    MPoint anchor() const { return anchor_; }
    MPoint last() const { return last_; }
    // The rectangle of a mosaic or crop drag in progress.
    MRect DragArea() const { return DragRect(anchor_, last_, image_.bounds()); }

    // A step the caller draws itself (text, a number's label): records
    // area before it changes.
    bool RecordStep(const MRect& area, Tool kind) { return history_.Record(image_, area, kind); }
    // The caller has drawn the step it recorded.
    void StepDrawn() { history_.Compact(image_); }
    MRect Undo();
    MRect Redo();
    int NextNumber() const { return int(history_.Count(Tool::kNumber)) + 1; }
    bool changed() const { return history_.UndoSteps() > 0; }

private:
    void Restore(const MRect& area);
    MRect DrawShape(MPoint p);

    Pixels image_;
    Pixels backup_;
    History history_;
    Mask stroke_{MRect{}};
    bool dragging_ = false;
    Tool tool_ = Tool::kPen;
    MarkStyle style_;
    MPoint anchor_, last_;
    MRect touched_;  // what the drag has changed so far
    MRect preview_;  // the shape drawn at the last move
};
