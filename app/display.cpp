// Painting and scrolling the current picture. At natural size nothing is
// copied for the display: the clipboard's bitmap (the same handle on every
// paint while the clipboard holds it) is blitted straight to the part of
// the window that needs it. Zoomed, it is read a band of rows at a time
// and scaled into one view-sized bitmap, which is kept and blitted until
// the picture or the size it is shown at changes.
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

// The thumbs show where the view is. A bar is redrawn only when its thumb
// moves: under Wine each redraw of a bar costs a few milliseconds, a paint
// sets both, and most paints move neither.
void SetScrollPositions(HWND window)
{
    if (GetScrollPos(window, SB_HORZ) != g_hPos)
        SetScrollPos(window, SB_HORZ, g_hPos, TRUE);
    if (GetScrollPos(window, SB_VERT) != g_vPos)
        SetScrollPos(window, SB_VERT, g_vPos, TRUE);
}

// Shows bar with the range 0..range, or hides it; nothing is done (and
// nothing redrawn) when the bar is so already.
void SetScrollBar(HWND window, int bar, bool shown, int32_t range)
{
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    const bool isShown = (style & (bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)) != 0;
    if (!shown) {
        if (isShown)
            ShowScrollBar(window, bar, FALSE);
        return;
    }
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE;
    if (isShown && GetScrollInfo(window, bar, &info) && info.nMin == 0 && info.nMax == range)
        return;
    SetScrollRange(window, bar, 0, range, TRUE);
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

// The zoomed view's bitmap, scaled from the picture the clipboard held at
// sequence for a view of width x height. Scaling a 3840 x 2160 picture
// takes about 30 ms, too long for every paint (a menu closing over the
// window repaints it).
struct ScaledView {
    DWORD sequence = 0;
    HBITMAP source = nullptr;
    int32_t width = 0, height = 0;
    HBITMAP bitmap = nullptr;
};
ScaledView g_scaled;

void DropScaledView()
{
    if (g_scaled.bitmap)
        DeleteObject(g_scaled.bitmap);
    g_scaled = ScaledView();
}

// Scales the picture smoothly into a new top-down 32-bit DIB section of
// d's size, reading it in bands of rows. GDI's own halftone stretching is
// not used for this: Wine ignores the mode and drops rows and columns as
// COLORONCOLOR does. Null when the memory or the picture's pixels cannot
// be had.
HBITMAP ScaleSmoothly(HDC dc, HBITMAP bitmap, int32_t width, int32_t height, const ZoomRect& d)
{
    size_t perRow = size_t(width) * sizeof(uint32_t);
    size_t rowsPerBand = std::max<size_t>(kBandBytes / perRow, 1);
    int32_t band = int32_t(std::min<size_t>(rowsPerBand, size_t(height)));
    BITMAPINFO out{};
    out.bmiHeader.biSize = sizeof out.bmiHeader;
    out.bmiHeader.biWidth = d.width;
    out.bmiHeader.biHeight = -d.height;  // top-down, as the scaler writes
    out.bmiHeader.biPlanes = 1;
    out.bmiHeader.biBitCount = 32;
    out.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP scaled = CreateDIBSection(dc, &out, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::unique_ptr<uint32_t[]> rows(new (std::nothrow) uint32_t[size_t(width) * band]);
    if (!scaled || !rows) {
        if (scaled)
            DeleteObject(scaled);
        return nullptr;
    }
    // Bottom-up, so that a band's first scan line counts from the
    // picture's last row, as GetDIBits counts them.
    BITMAPINFO in{};
    in.bmiHeader.biSize = sizeof in.bmiHeader;
    in.bmiHeader.biWidth = width;
    in.bmiHeader.biHeight = height;
    in.bmiHeader.biPlanes = 1;
    in.bmiHeader.biBitCount = 32;
    in.bmiHeader.biCompression = BI_RGB;
    AreaScaler scaler(width, height, d.width, d.height, static_cast<uint32_t*>(bits));
    for (int32_t top = 0; top < height; top += band) {
        int32_t n = std::min(band, height - top);
        if (GetDIBits(dc, bitmap, UINT(height - top - n), UINT(n), rows.get(), &in,
                      DIB_RGB_COLORS) != n) {
            DeleteObject(scaled);
            return nullptr;
        }
        for (int32_t i = n - 1; i >= 0; --i)
            scaler.AddRow(rows.get() + size_t(i) * width);
    }
    GdiFlush();
    return scaled;
}

// Draws the picture scaled smoothly into d, from the kept view bitmap when
// it was made for this picture at this size. False when it cannot be made;
// nothing is drawn then.
bool DrawSmoothlyScaled(HDC dc, HBITMAP bitmap, int32_t width, int32_t height, const ZoomRect& d)
{
    const DWORD sequence = GetClipboardSequenceNumber();
    if (!g_scaled.bitmap || g_scaled.sequence != sequence || g_scaled.source != bitmap
        || g_scaled.width != d.width || g_scaled.height != d.height) {
        DropScaledView();
        // Only the scaling takes long enough for the wait cursor; a blit
        // does not (and under Wine each cursor change is a request to the
        // X server).
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        HBITMAP scaled = ScaleSmoothly(dc, bitmap, width, height, d);
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        if (!scaled)
            return false;
        g_scaled.sequence = sequence;
        g_scaled.source = bitmap;
        g_scaled.width = d.width;
        g_scaled.height = d.height;
        g_scaled.bitmap = scaled;
    }
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, g_scaled.bitmap);
    bool drawn = BitBlt(dc, d.x, d.y, d.width, d.height, memory, 0, 0, SRCCOPY) != FALSE;
    SelectObject(memory, previous);
    DeleteDC(memory);
    return drawn;
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

// Draws bitmap into the paint context where it is invalid (the zoomed
// view is drawn whole, from its kept bitmap); sets the bars.
void DrawPicture(HWND window, HDC dc, HBITMAP bitmap, const RECT& invalid)
{
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
        SetScrollBar(window, SB_HORZ, r.horizontalBar, g_hRange);
        SetScrollBar(window, SB_VERT, r.verticalBar, g_vRange);
        SetScrollPositions(window);
        RECT part;
        RECT view{0, top, w, h};
        if (IntersectRect(&part, &view, &invalid))
            BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, memory,
                   g_hPos + part.left, g_vPos + part.top - top, SRCCOPY);
        SelectObject(memory, previous);
        DeleteDC(memory);
    }
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
            DrawPicture(window, dc, bitmap, ps.rcPaint);
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
    // The scaled view is made again when it is next shown; until then its
    // memory is not held.
    DropScaledView();
    // Hiding bars that are shown resizes the window, which resets the
    // view; with none shown the view is put back at the corner here.
    ResetScrollPositions();
    SetScrollPositions(window);
    HideScrollBarsAndRepaint(window);
}
