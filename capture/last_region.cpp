// The rectangle last selected, kept for this session only, and the
// command that grabs it again without a selection.
#include "capture/capture.h"

namespace {

// Screen coordinates, normalised; only a selection that grabbed something.
bool g_held;
Corner g_start;
Corner g_end;

// As long as the rectangle command waits before it reads the screen, for
// the windows the hidden main window uncovered to repaint.
constexpr DWORD kSettlePause = 300;

}  // namespace

void RememberSelectedRegion(Corner start, Corner end)
{
    NormalizeCorners(start, end);
    GrabRect rect = RectFromCorners(start, end);
    if (rect.width <= 0 || rect.height <= 0)
        return;
    g_start = start;
    g_end = end;
    g_held = true;
}

bool HasLastRegion() { return g_held; }

void LastRegionCommand(HWND mainWindow)
{
    if (!g_held) {
        MessageBeep(0);
        return;
    }
    ShowWindow(mainWindow, SW_HIDE);
    Sleep(kSettlePause);
    // The grab normalises its corners in place: hand it copies.
    Corner start = g_start;
    Corner end = g_end;
    GrabScreen(mainWindow, &start, &end);
    InvalidateRect(mainWindow, nullptr, TRUE);
    ShowWindow(mainWindow, SW_SHOWNORMAL);
}
