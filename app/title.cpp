// The title routine and the centring routine that dialogs share.
#include "app/app.h"
#include "app/centring.h"
#include "app/dpi.h"
#include "app/title_text.h"

BOOL SetMainTitle(HWND window, const wchar_t* text)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");
    wchar_t title[kTitleCapacity];
    ComposeMainTitle(reinterpret_cast<const char16_t*>(text), reinterpret_cast<char16_t*>(title),
                     kTitleCapacity);
    return SetWindowTextW(window, title);
}

void CenterDialog(HWND window, bool onDesktop)
{
    // A dialog goes over its owner, on the owner's monitor, and stays on
    // that monitor's usable area; the printing notice (and a window with
    // no owner) goes to the middle of the monitor that shows Kelvo.
    HWND reference = onDesktop ? nullptr : GetParent(window);
    RECT area = WorkAreaOf(reference ? reference : g_mainWindow);
    RECT r = area;
    // A minimised owner has no place of its own to centre over.
    if (reference && !IsIconic(reference) && !GetWindowRect(reference, &r))
        return;
    RECT w;
    if (!GetWindowRect(window, &w))
        return;
    ScreenPoint p = CenteredPosition(ScreenRect{r.left, r.top, r.right, r.bottom},
                                     ScreenRect{w.left, w.top, w.right, w.bottom},
                                     ScreenRect{area.left, area.top, area.right, area.bottom});
    SetWindowPos(window, HWND_TOP, p.x, p.y, w.right - w.left, w.bottom - w.top, SWP_SHOWWINDOW);
}
