// Picking a window, or dragging a rectangle, with the mouse from the main
// window; the inverted frames that show what is picked.
#include "capture/capture.h"
#include "capture/pick_state.h"

#include "app/app.h"
#include "app/dpi.h"

PickMode g_pickMode = PickMode::None;
PickCorners g_pickCorners;

namespace {

MainPick g_mainPick;

Corner CursorPosition()
{
    POINT p{0, 0};
    GetCursorPos(&p);
    return Corner{p.x, p.y};
}

int PickCursor()
{
    return g_mainPick.windowMode ? kReticleCursor : kPencilCursor;
}

// Inverting the same band twice restores the screen.
void InvertBand(Corner a, Corner b)
{
    InvertRectFrame(a.x, a.y, b.x, b.y);
}

}  // namespace

void InvertFrame(HDC dc, const FrameBox& box, int thickness)
{
    HRGN region = CreateRectRgn(box.left, box.top, box.right, box.bottom);
    if (!region)
        return;
    SelectObject(dc, region);
    SetROP2(dc, R2_NOT);
    FrameRgn(dc, region, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), thickness, thickness);
    DeleteObject(region);
}

int BandWidth(Corner start)
{
    // Taken at the band's fixed start, not at its moving end: erasing a
    // band then inverts exactly what drawing it did, even after the end
    // has moved to a monitor of another scale.
    return ScaleForDpi(1, PointDpi(POINT{start.x, start.y}));
}

void SetPickCursor(int cursorId)
{
    SetCursor(LoadCursorW(g_instance, MAKEINTRESOURCEW(cursorId)));
}

void WindowPickCommand(HWND mainWindow)
{
    g_pickMode = PickMode::Window;
    SetForegroundWindow(mainWindow);
}

void OnPickButtonDown(HWND mainWindow)
{
    if (g_pickMode == PickMode::None && !g_mainPick.armed)
        return;
    bool windowMode = g_pickMode == PickMode::Window;
    switch (PressInMainWindow(g_mainPick, windowMode, g_pickCorners, CursorPosition())) {
    case PressResult::Armed:
        SetCapture(mainWindow);
        SetPickCursor(PickCursor());
        ShowWindow(mainWindow, SW_SHOWMINIMIZED);
        break;
    case PressResult::DragStarted:
    case PressResult::Ignored:
        break;
    }
}

bool OnPickDoubleClick(HWND mainWindow)
{
    // A second press soon after the one that armed the pick (the start of
    // a rectangle drag) comes as a double click; it must not maximise the
    // minimised window.
    if (!g_mainPick.armed)
        return false;
    OnPickButtonDown(mainWindow);
    return true;
}

void OnPickMouseMove(HWND)
{
    if (g_mainPick.armed)
        SetPickCursor(PickCursor());
    if (!g_mainPick.tracking)
        return;
    Corner cursor = CursorPosition();
    if (g_mainPick.windowMode) {
        // The window itself, or the control under the cursor; the frame only
        // flashes, what lasts is its rectangle in the corners.
        HWND target = WindowFromPoint(POINT{cursor.x, cursor.y});
        InvertWindowFrame(target);
        InvertWindowFrame(target);
        return;
    }
    BandStep step = MoveBand(g_pickCorners, cursor);
    InvertBand(step.start, step.erase);
    InvertBand(step.start, step.draw);
}

void OnPickButtonUp(HWND mainWindow)
{
    bool rectangleMode = !g_mainPick.windowMode;
    if (!ReleaseInMainWindow(g_mainPick))
        return;
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // IDC_ARROW
    ReleaseCapture();
    if (rectangleMode)
        InvertBand(g_pickCorners.start, g_pickCorners.lastDrawn);
    GrabScreen(mainWindow, &g_pickCorners.start, &g_pickCorners.end);
    ShowWindow(mainWindow, SW_SHOWNORMAL);
    InvalidateRect(mainWindow, nullptr, TRUE);
    g_pickCorners.start = Corner{0, 0};
    g_pickCorners.end = Corner{0, 0};
}

void OnPickCaptureLost(HWND mainWindow)
{
    // Our own release at the end of a pick has cleared the pick already.
    Abandoned left = AbandonMainPick(g_mainPick, g_pickCorners);
    if (!left.active)
        return;
    if (left.bandShown)
        InvertBand(left.bandStart, left.bandEnd);
    g_pickMode = PickMode::None;
    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // IDC_ARROW
    // Back as it was before the pick minimised it, normal or maximised
    // (unless something has shown it meanwhile).
    if (IsIconic(mainWindow))
        ShowWindow(mainWindow, SW_RESTORE);
    InvalidateRect(mainWindow, nullptr, TRUE);
}

void InvertWindowFrame(HWND window)
{
    if (!IsWindow(window))
        return;
    HDC dc = GetWindowDC(window);
    if (!dc)
        return;
    RECT r{};
    FrameBox local{};
    if (GetWindowRect(window, &r)
        && WindowFrameBox(FrameBox{r.left, r.top, r.right, r.bottom}, local)) {
        g_pickCorners.start = Corner{r.left, r.top};
        g_pickCorners.end = Corner{r.right, r.bottom};
        // 4 pixels at 100 %, as wide as the scale of the window's monitor.
        UINT dpi = MonitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
        InvertFrame(dc, local, ScaleForDpi(4, dpi));
    }
    ReleaseDC(window, dc);
}

void InvertRectFrame(int x1, int y1, int x2, int y2)
{
    ScreenDC screen;
    if (!screen)
        return;
    InvertFrame(screen.get(), BandBox(Corner{x1, y1}, Corner{x2, y2}), BandWidth(Corner{x1, y1}));
}
