// The undo stack: steps as swapped pixel blocks.
#include "markup/history.h"

#include <algorithm>
#include <new>
#include <utility>

bool History::Push(Step&& step)
{
    undone_.clear();
    for (;;) {
        try {
            done_.push_back(std::move(step));
            return true;
        } catch (const std::bad_alloc&) {
            if (done_.empty())
                return false;
            done_.erase(done_.begin());
        }
    }
}

bool History::Record(const Pixels& before, const MRect& area, Tool kind)
{
    MRect c = Intersect(area, before.bounds());
    if (c.empty())
        return false;
    Step step{kind, false, c, {}};
    for (;;) {
        try {
            step.pixels.resize(size_t(c.width()) * c.height());
            break;
        } catch (const std::bad_alloc&) {
            undone_.clear();
            if (done_.empty())
                return false;
            done_.erase(done_.begin());
        }
    }
    for (int32_t y = c.top; y < c.bottom; ++y)
        std::copy_n(before.data.begin() + (size_t(y) * before.width + c.left), c.width(),
                    step.pixels.begin() + size_t(y - c.top) * c.width());
    return Push(std::move(step));
}

bool History::RecordWhole(const Pixels& before, Tool kind)
{
    Step step{kind, true, before.bounds(), {}};
    try {
        step.pixels = before.data;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return Push(std::move(step));
}

void History::Swap(Step& step, Pixels& pixels)
{
    if (step.whole) {
        MRect now = pixels.bounds();
        pixels.data.swap(step.pixels);
        pixels.width = step.area.width();
        pixels.height = step.area.height();
        step.area = now;
        return;
    }
    const MRect& c = step.area;
    for (int32_t y = c.top; y < c.bottom; ++y)
        std::swap_ranges(step.pixels.begin() + size_t(y - c.top) * c.width(),
                         step.pixels.begin() + size_t(y - c.top + 1) * c.width(),
                         pixels.data.begin() + (size_t(y) * pixels.width + c.left));
}

bool History::Undo(Pixels& pixels)
{
    if (done_.empty())
        return false;
    Step step = std::move(done_.back());
    done_.pop_back();
    Swap(step, pixels);
    undone_.push_back(std::move(step));
    return true;
}

bool History::Redo(Pixels& pixels)
{
    if (undone_.empty())
        return false;
    Step step = std::move(undone_.back());
    undone_.pop_back();
    Swap(step, pixels);
    done_.push_back(std::move(step));
    return true;
}

size_t History::Count(Tool kind) const
{
    return size_t(std::count_if(done_.begin(), done_.end(),
                                [kind](const Step& s) { return s.kind == kind; }));
}

size_t History::Bytes() const
{
    size_t total = 0;
    for (const auto* list : {&done_, &undone_})
        for (const Step& s : *list)
            total += s.pixels.capacity() * sizeof(uint32_t) + sizeof(Step);
    return total;
}

void History::Clear()
{
    done_.clear();
    undone_.clear();
}
