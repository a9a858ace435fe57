// The rectangle-selection window laid over the whole screen, with its own
// message loop, and the grab of the fixed range in its place.
#include "capture/capture.h"
#include "capture/fixed_range.h"
#include "capture/pick_state.h"

#include "app/app.h"

namespace {

constexpr DWORD kFixedRangePause = 500;
// Time for the windows the hidden main window uncovered to repaint, as
// before a desktop grab.
constexpr DWORD kSettlePause = 300;

Selection g_selection;
// What the screen showed when the selection began. A window that paints
// nothing shows black on systems that keep a surface per window (Wine,
// and Windows with desktop composition), and the grab would read that
// black; so the window paints this copy instead.
HBITMAP g_screenCopy;
// The selection window is up (its loop runs), and its end has been posted.
bool g_selecting;
bool g_selectionQuitPosted;

void InvertBand(Corner a, Corner b)
{
    InvertRectFrame(a.x, a.y, b.x, b.y);
}

Corner CursorPosition()
{
    POINT p{0, 0};
    GetCursorPos(&p);
    return Corner{p.x, p.y};
}

void EndWithGrab(HWND window)
{
    // The selection window owns this grab (and the clipboard after it).
    GrabScreen(window, &g_pickCorners.start, &g_pickCorners.end);
    g_pickCorners.start = Corner{0, 0};
    g_pickCorners.end = Corner{0, 0};
    DestroyWindow(window);
}

void ReleaseScreenCopy()
{
    if (g_screenCopy) {
        DeleteObject(g_screenCopy);
        g_screenCopy = nullptr;
    }
}

// The window covers the virtual screen: its client coordinates are screen
// coordinates less its corner, which is negative with a monitor left of or
// above the primary one.
void OnPaint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    POINT corner{0, 0};
    ClientToScreen(window, &corner);
    if (dc && g_screenCopy) {
        if (HDC memory = CreateCompatibleDC(dc)) {
            HGDIOBJ previous = SelectObject(memory, g_screenCopy);
            const RECT& r = ps.rcPaint;
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, r.left, r.top,
                   SRCCOPY);
            SelectObject(memory, previous);
            DeleteDC(memory);
        }
        // A band on the screen was painted over here: put its part back
        // (the paint context is clipped to the part repainted).
        if (g_selection.dragging) {
            const Corner& start = g_pickCorners.start;
            const Corner& end = g_pickCorners.lastDrawn;
            InvertFrame(dc,
                        BandBox(Corner{start.x - corner.x, start.y - corner.y},
                                Corner{end.x - corner.x, end.y - corner.y}),
                        BandWidth(start));
        }
    }
    EndPaint(window, &ps);
}

LRESULT OnCreate(HWND window, const CREATESTRUCTW* create)
{
    StartSelection(g_selection, g_pickCorners);
    SetPickCursor(kPencilCursor);
    const FixedRange& range = CurrentFixedRange();
    if (!range.enabled) {
        Sleep(kSettlePause);
        if (ScreenDC screen; screen)
            g_screenCopy = CopyScreen(screen.get(), GrabRect{create->x, create->y, create->cx, create->cy});
        return 0;
    }
    RangeCorners(range, g_pickCorners.start, g_pickCorners.end);
    Sleep(kFixedRangePause);
    EndWithGrab(window);
    // The window is gone already; creation is not to go on with it.
    return -1;
}

void OnMouseMove()
{
    BandStep step{};
    if (!MoveInSelection(g_selection, g_pickCorners, CursorPosition(), step))
        return;
    SetPickCursor(kPencilCursor);
    InvertBand(step.start, step.erase);
    InvertBand(step.start, step.draw);
}

void OnButtonUp(HWND window)
{
    if (!ReleaseInSelection(g_selection))
        return;
    InvertBand(g_pickCorners.start, g_pickCorners.end);
    RememberSelectedRegion(g_pickCorners.start, g_pickCorners.end);
    EndWithGrab(window);
}

// Runs until the selection window's quit message. A quit that someone else
// posted (the main window was destroyed meanwhile) closes the selection and
// is handed on to the program's own loop.
void RunSelectionLoop(HWND selection)
{
    MSG msg;
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (!selection || !IsWindow(selection))
        return;
    int code = got == 0 ? int(msg.wParam) : 0;
    DestroyWindow(selection);
    // Replaces the selection's own quit, which is still pending.
    if (got == 0)
        PostQuitMessage(code);
    else
        PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

}  // namespace

void RectangleCommand(HWND mainWindow)
{
    g_pickMode = PickMode::Rectangle;
    EndPickHint(mainWindow);
    SelectRectangle(mainWindow);
}

void SelectRectangle(HWND mainWindow)
{
    if (g_selecting)
        return;
    if (StillSelectionOn()) {
        SelectOnStill(mainWindow);
        return;
    }
    g_selecting = true;
    g_selectionQuitPosted = false;
    ShowWindow(mainWindow, SW_HIDE);
    // Over every monitor, so that a drag may cross from one to another.
    GrabRect screen = VirtualScreenRect();
    HWND selection = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TRANSPARENT, L"RectWindow",
                                     L"RectWindow", WS_POPUP, screen.x, screen.y, screen.width,
                                     screen.height, nullptr, nullptr, g_instance, nullptr);
    if (selection) {
        ShowWindow(selection, SW_SHOWNORMAL);
        UpdateWindow(selection);
    }
    // Without a window and without its quit (creation failed outright)
    // there is nothing to wait for.
    if (selection || g_selectionQuitPosted)
        RunSelectionLoop(selection);
    g_selecting = false;
    ShowWindow(mainWindow, SW_SHOWNORMAL);
}

LRESULT CALLBACK RectWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        if (OnCreate(window, reinterpret_cast<const CREATESTRUCTW*>(lParam)) != 0)
            return -1;
        break;
    case WM_LBUTTONDOWN:
        PressInSelection(g_selection, g_pickCorners, CursorPosition());
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove();
        return 0;
    case WM_LBUTTONUP:
        OnButtonUp(window);
        return 0;
    case WM_PAINT:
        // Nothing erased: the background is the screen copy.
        OnPaint(window);
        return 0;
    case WM_DESTROY:
        // Closed in the middle of a drag: the band drawn on the screen
        // would otherwise stay there, and its corners would be grabbed by
        // the next pick in the main window.
        if (Abandoned left = AbandonSelection(g_selection, g_pickCorners); left.bandShown)
            InvertBand(left.bandStart, left.bandEnd);
        ReleaseScreenCopy();
        g_selectionQuitPosted = true;
        PostQuitMessage(0);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
