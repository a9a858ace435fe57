// Painting and scrolling the current picture. At natural size nothing is
// copied for the display: the clipboard's bitmap is blitted straight to
// the window. Zoomed, it is read a band of rows at a time and scaled into
// one view-sized picture.
#include "app/display.h"

#include <algorithm>
#include <memory>
#include <new>

#include "app/app.h"
#include "app/area_scale.h"
#include "app/scroll.h"
#include "app/toolbar.h"
#include "app/zoom_fit.h"
#include "picture/clipboard_formats.h"

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

// Rows of the picture read at a time for the zoomed view: a band of about
// 4 MB, so that a huge picture is never held twice.
constexpr size_t kBandBytes = 4 << 20;

// Draws the picture scaled smoothly into d, reading it in bands of rows.
// GDI's own halftone stretching is not used for this: Wine ignores the
// mode and drops rows and columns as COLORONCOLOR does. False when the
// memory or the picture's pixels cannot be had; nothing is drawn then.
bool DrawSmoothlyScaled(HDC dc, HBITMAP bitmap, int32_t width, int32_t height, const ZoomRect& d)
{
    size_t perRow = size_t(width) * sizeof(uint32_t);
    size_t rowsPerBand = std::max<size_t>(kBandBytes / perRow, 1);
    int32_t band = int32_t(std::min<size_t>(rowsPerBand, size_t(height)));
    std::unique_ptr<uint32_t[]> dest(new (std::nothrow) uint32_t[size_t(d.width) * d.height]);
    std::unique_ptr<uint32_t[]> rows(new (std::nothrow) uint32_t[size_t(width) * band]);
    if (!dest || !rows)
        return false;
    // Bottom-up, so that a band's first scan line counts from the
    // picture's last row, as GetDIBits counts them.
    BITMAPINFO in{};
    in.bmiHeader.biSize = sizeof in.bmiHeader;
    in.bmiHeader.biWidth = width;
    in.bmiHeader.biHeight = height;
    in.bmiHeader.biPlanes = 1;
    in.bmiHeader.biBitCount = 32;
    in.bmiHeader.biCompression = BI_RGB;
    AreaScaler scaler(width, height, d.width, d.height, dest.get());
    for (int32_t top = 0; top < height; top += band) {
        int32_t n = std::min(band, height - top);
        if (GetDIBits(dc, bitmap, UINT(height - top - n), UINT(n), rows.get(), &in,
                      DIB_RGB_COLORS) != n)
            return false;
        for (int32_t i = n - 1; i >= 0; --i)
            scaler.AddRow(rows.get() + size_t(i) * width);
    }
    BITMAPINFO out{};
    out.bmiHeader.biSize = sizeof out.bmiHeader;
    out.bmiHeader.biWidth = d.width;
    out.bmiHeader.biHeight = -d.height;  // top-down, as the scaler writes
    out.bmiHeader.biPlanes = 1;
    out.bmiHeader.biBitCount = 32;
    out.bmiHeader.biCompression = BI_RGB;
    return StretchDIBits(dc, d.x, d.y, d.width, d.height, 0, 0, d.width, d.height, dest.get(),
                         &out, DIB_RGB_COLORS, SRCCOPY) != 0;
}

// The zoomed view: the picture keeps its shape, centred in the client area
// below the toolbar (the margins keep the background the paint erased
// to), and is scaled smoothly so that a shrunken screenshot's text stays
// legible where dropping rows and columns would break its strokes.
void DrawZoomed(HDC dc, HBITMAP bitmap, const BITMAP& info, int w, int h, int top)
{
    ZoomRect d = FitPictureInView(info.bmWidth, info.bmHeight, w, h, top);
    if (d.width <= 0 || d.height <= 0)
        return;
    if (DrawSmoothlyScaled(dc, bitmap, info.bmWidth, info.bmHeight, d))
        return;
    // Short of memory: the system's halftone stretching, which smooths on
    // Windows (it needs the brush origin set after the mode).
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, d.x, d.y, d.width, d.height, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

// Draws bitmap into the paint context; returns nothing, sets the bars.
void DrawPicture(HWND window, HDC dc, HBITMAP bitmap)
{
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    RECT client;
    GetClientRect(window, &client);
    int w = client.right, h = client.bottom, top = ToolbarHeight();
    if (g_zoom) {
        DrawZoomed(dc, bitmap, info, w, h, top);
    } else {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(memory, bitmap);
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
        SelectObject(memory, previous);
        DeleteDC(memory);
    }
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
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
        // Another program's picture given only as "PNG" is shown too.
        if (!bitmap)
            bitmap = ForeignPictureBitmap();
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
