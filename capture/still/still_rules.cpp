// Selecting on a still picture of the screen: rules without the window
// system.
#include "capture/still/still_rules.h"

#include <algorithm>
#include <cstdio>

namespace {

bool Holds(const FrameBox& box, Corner p)
{
    return p.x >= box.left && p.x < box.right && p.y >= box.top && p.y < box.bottom;
}

int Clamp(int value, int low, int high)
{
    // A box larger than the monitor keeps its left or top edge on it.
    return std::max(low, std::min(value, high));
}

FrameBox Boxed(int left, int top, int width, int height)
{
    return FrameBox{left, top, left + width, top + height};
}

}  // namespace

uint8_t DimChannel(uint8_t value)
{
    // Five eighths: about the dimming of other tools' selections, and
    // bright white still reads as a light grey.
    return uint8_t(value * 5 / 8);
}

void DimPixels(uint8_t* pixels, size_t count)
{
    uint8_t table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = DimChannel(uint8_t(i));
    for (size_t i = 0; i < count; ++i) {
        uint8_t* p = pixels + 4 * i;
        p[0] = table[p[0]];
        p[1] = table[p[1]];
        p[2] = table[p[2]];
    }
}

int SnapChoice(const std::vector<SnapWindow>& windows, Corner point)
{
    int chosen = -1;
    for (;;) {
        int next = -1;
        for (size_t i = 0; i < windows.size(); ++i) {
            if (windows[i].parent == chosen && Holds(windows[i].box, point)) {
                next = int(i);
                break;
            }
        }
        if (next < 0)
            return chosen;
        chosen = next;
    }
}

FrameBox ShownBox(const StillSelection& s)
{
    if (s.pressed && s.dragged)
        return BandBox(s.start, s.end);
    // A press without a move yet still means the window under it.
    return s.snapped ? s.snap : FrameBox{0, 0, 0, 0};
}

void PressStill(StillSelection& s, Corner cursor)
{
    s.pressed = true;
    s.dragged = false;
    s.start = cursor;
    s.end = cursor;
}

void MoveStill(StillSelection& s, Corner cursor)
{
    if (!s.pressed)
        return;
    s.end = cursor;
    if (cursor.x != s.start.x || cursor.y != s.start.y)
        s.dragged = true;
}

bool ReleaseStill(StillSelection& s, FrameBox* taken)
{
    if (!s.pressed)
        return false;
    *taken = TakeStill(s);
    return true;
}

FrameBox TakeStill(const StillSelection& s)
{
    return ShownBox(s);
}

Corner ArrowMove(Corner cursor, int dx, int dy, bool shift, const GrabRect& screen)
{
    int step = shift ? 10 : 1;
    // The cursor reaches the last pixel, not the edge beyond it.
    int right = screen.x + std::max(screen.width, 1) - 1;
    int bottom = screen.y + std::max(screen.height, 1) - 1;
    return Corner{Clamp(cursor.x + dx * step, screen.x, right),
                  Clamp(cursor.y + dy * step, screen.y, bottom)};
}

FrameBox PlaceLoupe(Corner hot, const FrameBox& monitor, int width, int height, int gap)
{
    int left = hot.x + 1 + gap;
    if (left + width > monitor.right)
        left = hot.x - gap - width;
    int top = hot.y + 1 + gap;
    if (top + height > monitor.bottom)
        top = hot.y - gap - height;
    left = Clamp(left, monitor.left, monitor.right - width);
    top = Clamp(top, monitor.top, monitor.bottom - height);
    return Boxed(left, top, width, height);
}

FrameBox PlaceSizeLabel(const FrameBox& selection, const FrameBox& monitor, int width, int height,
                        int gap)
{
    int top = selection.top - gap - height;
    if (top < monitor.top) {
        top = selection.bottom + gap;
        if (top + height > monitor.bottom)
            top = selection.top + gap;
    }
    int left = Clamp(selection.left, monitor.left, monitor.right - width);
    top = Clamp(top, monitor.top, monitor.bottom - height);
    return Boxed(left, top, width, height);
}

std::wstring PositionText(Corner p)
{
    wchar_t text[32];
    swprintf(text, 32, L"%d, %d", int(p.x), int(p.y));
    return text;
}

std::wstring SizeText(const FrameBox& box)
{
    wchar_t text[40];
    swprintf(text, 40, L"%d \u00d7 %d", int(box.right - box.left), int(box.bottom - box.top));
    return text;
}

std::wstring ColourText(uint8_t r, uint8_t g, uint8_t b)
{
    wchar_t text[8];
    swprintf(text, 8, L"#%02X%02X%02X", r, g, b);
    return text;
}
