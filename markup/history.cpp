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
    Step step{kind, false, c, {}, false, {}};
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
    Step step{kind, true, before.bounds(), {}, false, {}};
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
    if (step.compact) {
        auto from = step.pixels.begin();
        for (const Run& r : step.runs) {
            std::swap_ranges(from, from + r.length,
                             pixels.data.begin() + (size_t(r.y) * pixels.width + r.x));
            from += r.length;
        }
        return;
    }
    const MRect& c = step.area;
    for (int32_t y = c.top; y < c.bottom; ++y)
        std::swap_ranges(step.pixels.begin() + size_t(y - c.top) * c.width(),
                         step.pixels.begin() + size_t(y - c.top + 1) * c.width(),
                         pixels.data.begin() + (size_t(y) * pixels.width + c.left));
}

void History::Compact(const Pixels& now)
{
    if (done_.empty() || done_.back().whole || done_.back().compact)
        return;
    Step& step = done_.back();
    const MRect& c = step.area;
    if (c.right > now.width || c.bottom > now.height)
        return;
    // Unchanged gaps shorter than this stay inside a run: a run costs as
    // much as three pixels.
    constexpr int32_t kGap = 3;
    std::vector<Run> runs;
    std::vector<uint32_t> kept;
    try {
        for (int32_t y = c.top; y < c.bottom; ++y) {
            const uint32_t* before = step.pixels.data() + size_t(y - c.top) * c.width();
            const uint32_t* after = now.data.data() + size_t(y) * now.width + c.left;
            int32_t x = 0;
            while (x < c.width()) {
                if (before[x] == after[x]) {
                    ++x;
                    continue;
                }
                int32_t start = x, end = x + 1, same = 0;
                for (x = end; x < c.width() && same <= kGap; ++x) {
                    if (before[x] != after[x]) {
                        end = x + 1;
                        same = 0;
                    } else {
                        ++same;
                    }
                }
                x = end;
                runs.push_back(Run{c.left + start, y, end - start});
                kept.insert(kept.end(), before + start, before + end);
            }
        }
    } catch (const std::bad_alloc&) {
        return;  // the full block stays: still right, only larger
    }
    kept.shrink_to_fit();
    runs.shrink_to_fit();
    step.pixels.swap(kept);
    step.runs.swap(runs);
    step.compact = true;
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
            total += s.pixels.capacity() * sizeof(uint32_t) + s.runs.capacity() * sizeof(Run) +
                     sizeof(Step);
    return total;
}

void History::Clear()
{
    done_.clear();
    undone_.clear();
}
