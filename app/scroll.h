// Scroll arithmetic of the picture view: ranges from the picture and the
// client area, and the position after each scroll request.
#pragma once
#include <cstdint>

// Scroll requests, numbered as the window system numbers them.
constexpr int kScrollLineUp = 0;
constexpr int kScrollLineDown = 1;
constexpr int kScrollPageUp = 2;
constexpr int kScrollPageDown = 3;
constexpr int kScrollThumbPosition = 4;
constexpr int kScrollThumbTrack = 5;

// A page step is a tenth of the range.
constexpr int32_t kPageDivisor = 10;

// Rows hidden under the toolbar and scroll bar: the picture is drawn into
// a destination 16 pixels shorter than the client area, and scrolled as
// if the view were 32 pixels shorter.
constexpr int32_t kDrawHeightMargin = 16;
constexpr int32_t kScrollHeightMargin = 32;

struct ScrollRanges {
    int32_t horizontal;  // picture width - view width
    int32_t vertical;    // picture height - view height
    bool horizontalBar;  // the picture is wider than the view
    bool verticalBar;    // the picture is taller than the view
};

ScrollRanges ComputeScrollRanges(int32_t pictureWidth, int32_t pictureHeight,
                                 int32_t clientWidth, int32_t clientHeight);

// Position after request on a bar with the given range. thumb is the
// 16-bit thumb position that comes with the thumb requests; every other
// request leaves the position where it is. Positions stay within 0 to the
// range: a picture that fits the view (range 0 or below) never scrolls.
int32_t ScrollPosition(int32_t position, int32_t range, int request, uint16_t thumb);

// The position moved by distance pixels (negative: up or left) and kept
// within 0 to the range.
int32_t ScrollBy(int32_t position, int32_t range, int64_t distance);

// One notch of the mouse wheel; the system reports finer wheels in parts
// of it.
constexpr int32_t kWheelDelta = 120;
// The system's "lines per notch" that asks for a page per notch.
constexpr uint32_t kWheelPageScroll = 0xFFFFFFFF;
// A line of the wheel, in pixels of the picture.
constexpr int32_t kWheelLinePixels = 16;

// Pixels to scroll for a wheel turn of delta (positive away from the user
// or to the right) with the system's lines per notch: kWheelLinePixels a
// line, or a page step (range / 10) a notch. Signed like delta.
int64_t WheelDistance(int32_t delta, uint32_t linesPerNotch, int32_t range);
