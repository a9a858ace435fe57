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

struct ScrollRanges {
    int32_t horizontal;  // picture width - view width
    int32_t vertical;    // picture height - view height
    bool horizontalBar;  // the picture is wider than the view
    bool verticalBar;    // the picture is taller than the view
};

// The view is the client area below the toolbar: its height is the client
// height less the toolbar's, which grows with the display's scale.
ScrollRanges ComputeScrollRanges(int32_t pictureWidth, int32_t pictureHeight,
                                 int32_t clientWidth, int32_t clientHeight,
                                 int32_t toolbarHeight);

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

// What a wheel has turned on one bar but not yet scrolled: less than a
// pixel, in kWheelDelta-ths of one. Precision touchpads and fine wheels
// report a notch in many small parts, each worth a fraction of a pixel;
// kept from message to message, they add up to the distance of whole
// notches.
struct WheelCarry {
    int64_t fraction = 0;
};

// Pixels to scroll for a wheel turn of delta (positive down or to the
// right) with the system's lines (or characters) per notch:
// kWheelLinePixels a line, or a page step (range / 10) a notch in page
// mode. What is left below a pixel stays in carry for the next turn the
// same way; a turn the other way starts afresh. Signed like delta.
int64_t WheelDistance(int32_t delta, uint32_t linesPerNotch, int32_t range, WheelCarry& carry);
