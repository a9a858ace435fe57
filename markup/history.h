// The undo stack of the markup editor. Every step keeps only the pixels it
// changed (the rectangle around its mark), or the whole picture for a
// crop; undoing swaps them back into the picture, and the same block then
// holds what redo puts back, so a step costs its rectangle once.
#pragma once
#include <cstddef>
#include <vector>

#include "markup/raster.h"

enum class Tool : int {
    kPen,
    kHighlighter,
    kLine,
    kArrow,
    kRectangle,
    kEllipse,
    kText,
    kMosaic,
    kNumber,
    kCrop,
};
constexpr int kToolCount = 10;

class History {
public:
    // Keeps area of before (the picture as it was before the step, the
    // same size as the picture now) as the step of kind; the redo steps
    // are dropped. When memory runs short the oldest steps go first; false
    // when even this one cannot be kept (it then cannot be undone).
    bool Record(const Pixels& before, const MRect& area, Tool kind);
    // A step that changes the picture's size: all of before is kept.
    bool RecordWhole(const Pixels& before, Tool kind);
    // Once the last step is drawn (now is the picture after it), it keeps
    // only the pixels the step changed, as runs along the rows: a thin
    // diagonal stroke then costs its own pixels, not its bounding box.
    void Compact(const Pixels& now);

    // Puts the last step's pixels back (or the undone step's again); false
    // when there is nothing to undo (redo).
    bool Undo(Pixels& pixels);
    bool Redo(Pixels& pixels);

    size_t UndoSteps() const { return done_.size(); }
    size_t RedoSteps() const { return undone_.size(); }
    // Steps of kind that are done (not undone).
    size_t Count(Tool kind) const;
    // Memory the steps hold, in bytes.
    size_t Bytes() const;
    void Clear();

private:
    // Changed pixels of one row: x, y and count; a compacted step's pixels
    // are its runs' pixels, one run after the other.
    struct Run {
        int32_t x;
        int32_t y;
        int32_t length;
    };
    struct Step {
        Tool kind;
        bool whole;
        MRect area;  // for a whole step: 0, 0, width, height of the block
        std::vector<uint32_t> pixels;
        bool compact = false;
        std::vector<Run> runs;
    };
    static void Swap(Step& step, Pixels& pixels);
    bool Push(Step&& step);

    std::vector<Step> done_;
    std::vector<Step> undone_;
};
