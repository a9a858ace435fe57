// A window's rectangle as the user sees it. On Windows 10 and 11 the
// window rectangle includes invisible resize borders, and a grab of it
// takes a strip of whatever lies behind; the desktop compositor knows the
// frame it draws. dwmapi is looked up at run time: systems without it (or
// with a compositor that answers nothing useful, as Wine's) keep the
// window rectangle.
#include "capture/capture.h"
#include "capture/window_frame_rules.h"

namespace {

using GetWindowAttribute = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);
constexpr DWORD kExtendedFrameBounds = 9;  // DWMWA_EXTENDED_FRAME_BOUNDS

GetWindowAttribute CompositorQuery()
{
    static bool looked = false;
    static GetWindowAttribute query = nullptr;
    if (!looked) {
        looked = true;
        // Kept loaded for the rest of the run: picks ask again and again.
        if (HMODULE dwm = LoadLibraryW(L"dwmapi.dll"))
            query = reinterpret_cast<GetWindowAttribute>(
                reinterpret_cast<void*>(GetProcAddress(dwm, "DwmGetWindowAttribute")));
    }
    return query;
}

}  // namespace

bool VisibleFrameOf(HWND window, FrameBox& frame)
{
    RECT r{};
    if (!IsWindow(window) || !GetWindowRect(window, &r))
        return false;
    FrameBox windowRect{r.left, r.top, r.right, r.bottom};
    bool child = (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0;
    RECT bounds{};
    bool answered = false;
    if (!child) {
        if (GetWindowAttribute query = CompositorQuery())
            answered = SUCCEEDED(query(window, kExtendedFrameBounds, &bounds, sizeof bounds));
    }
    // Both rectangles in physical pixels: Kelvo is aware of per-monitor
    // scaling, so the window rectangle is not scaled for it either.
    FrameBox compositor{bounds.left, bounds.top, bounds.right, bounds.bottom};
    frame = VisibleFrame(windowRect, answered ? &compositor : nullptr, child);
    return true;
}
