// Which rectangle of a window a capture takes: the frame Windows 10 and
// 11 draw, not the invisible resize borders around it.
#pragma once
#include "capture/drag_rules.h"

// The rectangle to grab for a window, from its window rectangle and, where
// the desktop compositor gave one, its extended frame bounds (null when it
// gave none). The compositor's box is taken only for a top-level window,
// only when it is not empty and only when it lies within the window
// rectangle: anything else (a control inside a window, a compositor that
// answers with nonsense or with the window rectangle of another scale)
// falls back to the window rectangle.
FrameBox VisibleFrame(const FrameBox& windowRect, const FrameBox* compositorRect, bool childWindow);
