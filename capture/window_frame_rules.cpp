// The choice between a window's rectangle and its compositor frame.
#include "capture/window_frame_rules.h"

FrameBox VisibleFrame(const FrameBox& windowRect, const FrameBox* compositorRect, bool childWindow)
{
    if (childWindow || !compositorRect)
        return windowRect;
    const FrameBox& c = *compositorRect;
    if (c.right <= c.left || c.bottom <= c.top)
        return windowRect;
    if (c.left < windowRect.left || c.top < windowRect.top || c.right > windowRect.right
        || c.bottom > windowRect.bottom)
        return windowRect;
    return c;
}
