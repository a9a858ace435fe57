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
        BitBlt(dc, 0, top, w, h - 16, memory, g_hPos, g_vPos, SRCCOPY);
        ScrollRanges r = ComputeScrollRanges(info.bmWidth, info.bmHeight, w, h);
        g_hRange = r.horizontal;
        g_vRange = r.vertical;
        if (r.horizontalBar)
            SetScrollRange(window, SB_HORZ, 0, g_hRange, TRUE);
        else
            ShowScrollBar(window, SB_HORZ, FALSE);
        if (r.verticalBar)
            SetScrollRange(window, SB_VERT, 0, g_vRange, TRUE);
        else
            ShowScrollBar(window, SB_VERT, FALSE);
    }
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    SelectObject(memory, previous);
    DeleteDC(memory);
}

void Scroll(HWND window, int bar, int request, uint16_t thumb)
{
    int32_t& pos = bar == SB_HORZ ? g_hPos : g_vPos;
    int32_t range = bar == SB_HORZ ? g_hRange : g_vRange;
    pos = ScrollPosition(pos, range, request, thumb);
    SetScrollPos(window, bar, pos, TRUE);
    InvalidateRect(window, nullptr, TRUE);
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

void OnMainSize(HWND, WPARAM wParam, LPARAM lParam)
{
    if (HWND toolbar = MainToolbar())
        SendMessageA(toolbar, WM_SIZE, wParam, lParam);
    ResetScrollPositions();
}

void HideScrollBarsAndRepaint(HWND window)
{
    ShowScrollBar(window, SB_BOTH, FALSE);
    InvalidateRect(window, nullptr, TRUE);
}
