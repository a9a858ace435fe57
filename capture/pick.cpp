// Picking a window, or dragging a rectangle, with the mouse from the main
// window; the inverted frames that show what is picked.
#include "capture/capture.h"
#include "capture/pick_state.h"

#include "app/app.h"
#include "app/dpi.h"

#include <string>

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

// --- the frame around the window under the cursor ------------------------
// Drawn on the screen's context, as the rubber band is, which shows over
// the windows of every process under Windows and Wine alike. The frame
// stays while the cursor is over the same window, so that it can be seen,
// and is inverted back before the grab or when the pick ends.
struct ShownFrame {
    bool shown;
    FrameBox box;  // screen coordinates
    int thickness;
};
ShownFrame g_windowFrame{};

void InvertScreenFrame(const FrameBox& box, int thickness)
{
    ScreenDC screen;
    if (screen)
        InvertFrame(screen.get(), box, thickness);
}

void EraseWindowFrame()
{
    if (!g_windowFrame.shown)
        return;
    InvertScreenFrame(g_windowFrame.box, g_windowFrame.thickness);
    g_windowFrame.shown = false;
}

// --- what to do, in the title, while a window pick waits -----------------
const wchar_t kWindowPickHint[] =
    L"ｳｨﾝﾄﾞｳ選択: この中で左ボタンを押し、取り込むウィンドウまでドラッグしてください";
std::wstring g_titleBeforeHint;

std::wstring WindowTitle(HWND window)
{
    std::wstring title(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    title.resize(size_t(GetWindowTextW(window, &title[0], int(title.size()))));
    return title;
}

void ShowPickHint(HWND mainWindow)
{
    std::wstring title = WindowTitle(mainWindow);
    if (title != kWindowPickHint)
        g_titleBeforeHint = title;
    SetWindowTextW(mainWindow, kWindowPickHint);
}

}  // namespace

void EndPickHint(HWND mainWindow)
{
    // A title set meanwhile (a grab from elsewhere, an opened file) stays.
    if (WindowTitle(mainWindow) == kWindowPickHint)
        SetWindowTextW(mainWindow, g_titleBeforeHint.c_str());
}

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
    ShowPickHint(mainWindow);
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
        // The window itself, or the control under the cursor.
        InvertWindowFrame(WindowFromPoint(POINT{cursor.x, cursor.y}));
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
    if (rectangleMode) {
        InvertBand(g_pickCorners.start, g_pickCorners.lastDrawn);
        RememberSelectedRegion(g_pickCorners.start, g_pickCorners.end);
    }
    EraseWindowFrame();
    EndPickHint(mainWindow);
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
    EraseWindowFrame();
    EndPickHint(mainWindow);
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
    FrameBox r{};
    FrameBox box{};
    if (!VisibleFrameOf(window, r) || !WindowFrameBox(r, VirtualScreenRect(), box))
        return;
    // The corners hold the whole window; the grab keeps what is on screen.
    g_pickCorners.start = Corner{r.left, r.top};
    g_pickCorners.end = Corner{r.right, r.bottom};
    // 4 pixels at 100 %, as wide as the scale of the window's monitor.
    int thickness = ScaleForDpi(4, MonitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)));
    if (g_windowFrame.shown && g_windowFrame.thickness == thickness
        && g_windowFrame.box.left == box.left && g_windowFrame.box.top == box.top
        && g_windowFrame.box.right == box.right && g_windowFrame.box.bottom == box.bottom)
        return;
    EraseWindowFrame();
    InvertScreenFrame(box, thickness);
    g_windowFrame = ShownFrame{true, box, thickness};
}

void InvertRectFrame(int x1, int y1, int x2, int y2)
{
    ScreenDC screen;
    if (!screen)
        return;
    InvertFrame(screen.get(), BandBox(Corner{x1, y1}, Corner{x2, y2}), BandWidth(Corner{x1, y1}));
}
