// Painting and scrolling the current picture. Nothing is copied for the
// display: the clipboard's bitmap is blitted straight to the window.
#include "app/display.h"

#include "app/app.h"
#include "app/scroll.h"
#include "app/toolbar.h"

bool g_zoom;

namespace {

int32_t g_hPos, g_vPos;      // picture column and row at the view's corner
int32_t g_hRange, g_vRange;  // from the last unzoomed paint
// Parts of a pixel the wheel has turned on each bar, kept apart.
WheelCarry g_hWheel, g_vWheel;

// The thumbs show where the view is.
void SetScrollPositions(HWND window)
{
    SetScrollPos(window, SB_HORZ, g_hPos, TRUE);
    SetScrollPos(window, SB_VERT, g_vPos, TRUE);
}

int ToolbarHeight()
{
    RECT r;
    HWND toolbar = MainToolbar();
    if (!toolbar || !GetWindowRect(toolbar, &r))
        return 0;
    return r.bottom - r.top;
}

// Draws bitmap into the paint context; returns nothing, sets the bars.
void DrawPicture(HWND window, HDC dc, HBITMAP bitmap)
{
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    RECT client;
    GetClientRect(window, &client);
    int w = client.right, h = client.bottom, top = ToolbarHeight();
    SetStretchBltMode(dc, COLORONCOLOR);
    if (g_zoom) {
        StretchBlt(dc, 0, top, w, h - 16, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    } else {
        ScrollRanges r = ComputeScrollRanges(info.bmWidth, info.bmHeight, w, h, top);
        g_hRange = r.horizontal;
        g_vRange = r.vertical;
        // A new picture smaller than the last is not drawn from beyond its
        // own edges.
        g_hPos = ScrollBy(g_hPos, g_hRange, 0);
        g_vPos = ScrollBy(g_vPos, g_vRange, 0);
        // Showing or hiding a bar resizes the client area, which puts the
        // view back at the corner (OnMainSize).
        if (r.horizontalBar)
            SetScrollRange(window, SB_HORZ, 0, g_hRange, TRUE);
        else
            ShowScrollBar(window, SB_HORZ, FALSE);
        if (r.verticalBar)
            SetScrollRange(window, SB_VERT, 0, g_vRange, TRUE);
        else
            ShowScrollBar(window, SB_VERT, FALSE);
        SetScrollPositions(window);
        BitBlt(dc, 0, top, w, h - top, memory, g_hPos, g_vPos, SRCCOPY);
    }
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    SelectObject(memory, previous);
    DeleteDC(memory);
}

// The range a bar scrolls in now: a zoomed picture fits the window.
int32_t CurrentRange(int bar)
{
    if (g_zoom)
        return 0;
    return bar == SB_HORZ ? g_hRange : g_vRange;
}

void MoveView(HWND window, int bar, int32_t position)
{
    (bar == SB_HORZ ? g_hPos : g_vPos) = position;
    SetScrollPos(window, bar, position, TRUE);
    InvalidateRect(window, nullptr, TRUE);
}

void Scroll(HWND window, int bar, int request, uint16_t thumb)
{
    int32_t pos = bar == SB_HORZ ? g_hPos : g_vPos;
    MoveView(window, bar, ScrollPosition(pos, CurrentRange(bar), request, thumb));
}

}  // namespace

void ResetScrollPositions()
{
    g_hPos = 0;
    g_vPos = 0;
}

void PaintMainWindow(HWND window)
{
    // Everything is repainted on the class background every time.
    InvalidateRect(window, nullptr, TRUE);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    bool opened = OpenClipboard(window) != FALSE;
    bool found = false;
    HPALETTE previousPalette = nullptr;
    if (opened) {
        HPALETTE palette = static_cast<HPALETTE>(GetClipboardData(CF_PALETTE));
        if (palette) {
            previousPalette = SelectPalette(dc, palette, FALSE);
            RealizePalette(dc);
        }
        HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
        if (bitmap) {
            found = true;
            DrawPicture(window, dc, bitmap);
        }
        if (previousPalette)
            SelectPalette(dc, previousPalette, FALSE);
        CloseClipboard();
    }
    EndPaint(window, &ps);
    UpdateToolbarForPicture(found);
}

void OnMainScroll(HWND window, int bar, WPARAM wParam)
{
    Scroll(window, bar, LOWORD(wParam), HIWORD(wParam));
}

void OnMainKeyDown(HWND window, WPARAM key)
{
    if (key == VK_PRIOR)
        Scroll(window, SB_VERT, kScrollPageUp, 0);
    else if (key == VK_NEXT)
        Scroll(window, SB_VERT, kScrollPageDown, 0);
}

void OnMainWheel(HWND window, WPARAM wParam, bool tilt)
{
    // Shift turns the wheel sideways, as in every picture viewer.
    bool across = tilt || (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT);
    int bar = across ? SB_HORZ : SB_VERT;
    // The user's own settings: lines a notch down, characters a notch
    // across (each may ask for a page a notch instead).
    UINT perNotch = 3;
    SystemParametersInfoW(across ? SPI_GETWHEELSCROLLCHARS : SPI_GETWHEELSCROLLLINES, 0,
                          &perNotch, 0);
    // Turned away from the user the wheel goes up (or left); tilted to the
    // right it goes right.
    int32_t delta = GET_WHEEL_DELTA_WPARAM(wParam);
    if (!tilt)
        delta = -delta;
    int32_t range = CurrentRange(bar);
    int64_t distance = WheelDistance(delta, perNotch, range, across ? g_hWheel : g_vWheel);
    int32_t pos = bar == SB_HORZ ? g_hPos : g_vPos;
    MoveView(window, bar, ScrollBy(pos, range, distance));
}

void OnMainSize(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (HWND toolbar = MainToolbar())
        SendMessageA(toolbar, WM_SIZE, wParam, lParam);
    ResetScrollPositions();
    SetScrollPositions(window);
}

void HideScrollBarsAndRepaint(HWND window)
{
    ShowScrollBar(window, SB_BOTH, FALSE);
    InvalidateRect(window, nullptr, TRUE);
}

void ToggleZoom(HWND window)
{
    g_zoom = !g_zoom;
    // Hiding bars that are shown resizes the window, which resets the
    // view; with none shown the view is put back at the corner here.
    ResetScrollPositions();
    SetScrollPositions(window);
    HideScrollBarsAndRepaint(window);
}
