// The rectangle selection on a still screen: the whole virtual screen is
// taken once, shown dimmed over every monitor, and the rectangle chosen on
// it is cut from that picture, so the grab holds exactly what the user saw
// (menus and tooltips included) and nothing this window draws.
#include "capture/capture.h"
#include "capture/fixed_range.h"
#include "capture/still/still_rules.h"

#include "app/app.h"
#include "app/dpi.h"
#include "app/settings.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const wchar_t kStillClass[] = L"StillWindow";
// Time for the windows the hidden main window uncovered to repaint, as
// before a desktop grab.
constexpr DWORD kSettlePause = 300;
// Beyond this many windows and controls the rest is not offered for
// snapping; a desktop never comes near it.
constexpr size_t kMostSnapWindows = 20000;

// A 32-bit top-down picture in a memory context of its own.
struct Picture {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
};

bool MakePicture(Picture& picture, int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    picture.dc = CreateCompatibleDC(nullptr);
    if (picture.dc)
        picture.bitmap = CreateDIBSection(picture.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!picture.bitmap)
        return false;
    picture.previous = SelectObject(picture.dc, picture.bitmap);
    picture.bits = static_cast<uint8_t*>(bits);
    picture.width = width;
    picture.height = height;
    return true;
}

void ReleasePicture(Picture& picture)
{
    if (picture.dc && picture.previous)
        SelectObject(picture.dc, picture.previous);
    if (picture.bitmap)
        DeleteObject(picture.bitmap);
    if (picture.dc)
        DeleteDC(picture.dc);
    picture = Picture{};
}

struct Layout {
    FrameBox shown;  // undimmed; empty when nothing is chosen
    int frame;       // width of the frame around it
    FrameBox label;  // its size
    FrameBox loupe;
    int zoom;
    int pad;
    int line;  // height of a text line under the magnifier
};

struct Still {
    GrabRect screen;  // the virtual screen when the picture was taken
    Picture shot;     // the screen as it was
    Picture dimmed;   // the same, dimmed
    Picture back;     // what the window shows, put together off screen
    std::vector<SnapWindow> windows;
    StillSelection selection;
    Corner cursor;
    HeldPointer pointer;  // as it stood when the picture was taken
    Layout drawn;  // what is on the screen over the dimmed picture
    HFONT font;
    UINT fontDpi;
};
Still g_still;
// The selection is up (its loop runs).
bool g_active;

// --- windows to snap to --------------------------------------------------
HWND g_skipWindow;

void AddWindow(HWND window, int parent)
{
    // A window as it is drawn: its visible frame, not the invisible
    // resizing borders around it.
    FrameBox box{};
    if (g_still.windows.size() >= kMostSnapWindows || !IsWindowVisible(window) || IsIconic(window)
        || !VisibleFrameOf(window, box) || box.right <= box.left || box.bottom <= box.top)
        return;
    // The window pick's choice passes over disabled controls.
    if (parent >= 0 && !IsWindowEnabled(window))
        return;
    int index = int(g_still.windows.size());
    g_still.windows.push_back(SnapWindow{box, parent});
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        AddWindow(child, index);
}

BOOL CALLBACK AddTopLevel(HWND window, LPARAM)
{
    if (window != g_skipWindow)
        AddWindow(window, -1);
    return TRUE;
}

// --- the picture ------------------------------------------------------------
bool TakePicture()
{
    const GrabRect& s = g_still.screen;
    if (s.width <= 0 || s.height <= 0 || !MakePicture(g_still.shot, s.width, s.height)
        || !MakePicture(g_still.dimmed, s.width, s.height)
        || !MakePicture(g_still.back, s.width, s.height))
        return false;
    ScreenDC screen;
    if (!screen
        || !BitBlt(g_still.shot.dc, 0, 0, s.width, s.height, screen.get(), s.x, s.y, SRCCOPY))
        return false;
    GdiFlush();
    size_t count = size_t(s.width) * size_t(s.height);
    memcpy(g_still.dimmed.bits, g_still.shot.bits, count * 4);
    DimPixels(g_still.dimmed.bits, count);
    return true;
}

// Screen boxes to the window's (and the pictures') own coordinates.
RECT Local(const FrameBox& box)
{
    return RECT{box.left - g_still.screen.x, box.top - g_still.screen.y,
                box.right - g_still.screen.x, box.bottom - g_still.screen.y};
}

bool Empty(const FrameBox& box)
{
    return box.right <= box.left || box.bottom <= box.top;
}

FrameBox Inflated(const FrameBox& box, int by)
{
    return FrameBox{box.left - by, box.top - by, box.right + by, box.bottom + by};
}

FrameBox MonitorBox(Corner point)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromPoint(POINT{point.x, point.y}, MONITOR_DEFAULTTONEAREST), &info);
    const RECT& r = info.rcMonitor;
    return FrameBox{r.left, r.top, r.right, r.bottom};
}

UINT DpiAt(Corner point)
{
    return PointDpi(POINT{point.x, point.y});
}

HFONT FontFor(UINT dpi)
{
    if (!g_still.font || g_still.fontDpi != dpi) {
        if (g_still.font)
            DeleteObject(g_still.font);
        g_still.font = CreateMessageFont(dpi);
        g_still.fontDpi = dpi;
    }
    return g_still.font;
}

// --- the parts drawn over the picture -----------------------------------
SIZE TextSize(HDC dc, const std::wstring& text)
{
    SIZE size{0, 0};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
    return size;
}

Layout LayOut(HDC dc)
{
    Layout l{};
    l.shown = ShownBox(g_still.selection);
    UINT dpi = DpiAt(g_still.cursor);
    l.pad = ScaleForDpi(4, dpi);
    l.zoom = ScaleForDpi(kLoupeZoom, dpi);
    HGDIOBJ previous = SelectObject(dc, FontFor(dpi));
    SIZE text = TextSize(dc, L"-00000, -00000");
    l.line = text.cy;
    int side = kLoupePixels * l.zoom + 2 * l.pad;
    int width = std::max<int>(side, text.cx + 2 * l.pad);
    int height = side + 3 * l.line + l.pad;
    l.loupe =
        PlaceLoupe(g_still.cursor, MonitorBox(g_still.cursor), width, height, ScaleForDpi(16, dpi));
    if (!Empty(l.shown)) {
        Corner corner{l.shown.left, l.shown.top};
        UINT labelDpi = DpiAt(corner);
        l.frame = ScaleForDpi(2, labelDpi);
        SelectObject(dc, FontFor(labelDpi));
        SIZE size = TextSize(dc, SizeText(l.shown));
        int pad = ScaleForDpi(4, labelDpi);
        l.label = PlaceSizeLabel(l.shown, MonitorBox(corner), size.cx + 2 * pad, size.cy + pad,
                                 l.frame + ScaleForDpi(2, labelDpi));
    }
    SelectObject(dc, previous);
    return l;
}

void Fill(HDC dc, const RECT& r, COLORREF colour)
{
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// Two lines outside box, a dark one around a light one, so that the frame
// shows on any picture; width in all.
void DrawFrame(HDC dc, RECT r, int width, COLORREF inner)
{
    int outer = std::max(1, width / 2);
    for (int i = 0; i < width; ++i) {
        InflateRect(&r, 1, 1);
        COLORREF colour = i < width - outer ? inner : RGB(0, 0, 0);
        Fill(dc, RECT{r.left, r.top, r.right, r.top + 1}, colour);
        Fill(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, colour);
        Fill(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, colour);
        Fill(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, colour);
    }
}

void DrawLabel(HDC dc, const RECT& box, const std::wstring& text, UINT dpi)
{
    HGDIOBJ previous = SelectObject(dc, FontFor(dpi));
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT r = box;
    DrawTextW(dc, text.c_str(), int(text.size()), &r,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetBkMode(dc, OPAQUE);
    SelectObject(dc, previous);
}

void DrawLoupe(HDC dc, const Layout& l)
{
    const Picture& shot = g_still.shot;
    RECT box = Local(l.loupe);
    Fill(dc, box, RGB(24, 24, 24));
    int side = kLoupePixels * l.zoom;
    int left = box.left + (box.right - box.left - side) / 2;
    int top = box.top + l.pad;
    // The pixels around the hot spot, as far as the picture has them.
    int half = kLoupePixels / 2;
    int sx = g_still.cursor.x - g_still.screen.x - half;
    int sy = g_still.cursor.y - g_still.screen.y - half;
    int x0 = std::max(sx, 0), y0 = std::max(sy, 0);
    int x1 = std::min(sx + kLoupePixels, shot.width), y1 = std::min(sy + kLoupePixels, shot.height);
    Fill(dc, RECT{left, top, left + side, top + side}, RGB(0, 0, 0));
    if (x1 > x0 && y1 > y0) {
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, left + (x0 - sx) * l.zoom, top + (y0 - sy) * l.zoom, (x1 - x0) * l.zoom,
                   (y1 - y0) * l.zoom, shot.dc, x0, y0, x1 - x0, y1 - y0, SRCCOPY);
    }
    // A grid between the pixels: a dark line where a pixel ends.
    for (int i = 1; i < kLoupePixels; ++i) {
        int at = i * l.zoom - 1;
        Fill(dc, RECT{left + at, top, left + at + 1, top + side}, RGB(64, 64, 64));
        Fill(dc, RECT{left, top + at, left + side, top + at + 1}, RGB(64, 64, 64));
    }
    RECT hot{left + half * l.zoom, top + half * l.zoom, left + (half + 1) * l.zoom - 1,
             top + (half + 1) * l.zoom - 1};
    DrawFrame(dc, RECT{hot.left + 1, hot.top + 1, hot.right - 1, hot.bottom - 1}, 2,
              RGB(255, 64, 64));

    UINT dpi = DpiAt(g_still.cursor);
    int lineTop = top + side + l.pad;
    uint8_t r = 0, g = 0, b = 0;
    int px = g_still.cursor.x - g_still.screen.x, py = g_still.cursor.y - g_still.screen.y;
    if (px >= 0 && py >= 0 && px < shot.width && py < shot.height) {
        const uint8_t* p = shot.bits + (size_t(py) * size_t(shot.width) + size_t(px)) * 4;
        b = p[0], g = p[1], r = p[2];
    }
    FrameBox shown = Empty(l.shown) ? FrameBox{0, 0, 0, 0} : l.shown;
    const std::wstring lines[3] = {PositionText(g_still.cursor), SizeText(shown),
                                   ColourText(r, g, b)};
    for (int i = 0; i < 3; ++i)
        DrawLabel(dc, RECT{box.left, lineTop + i * l.line, box.right, lineTop + (i + 1) * l.line},
                  lines[i], dpi);
}

bool Meets(const FrameBox& box, const RECT& clip)
{
    RECT r = Local(box), common{};
    return IntersectRect(&common, &r, &clip) != FALSE;
}

// Draws the parts that reach into clip; a drag repaints a few thin strips,
// most of which meet one part only.
void DrawOverlays(HDC dc, const Layout& l, const RECT& clip)
{
    if (!Empty(l.shown)) {
        if (Meets(Inflated(l.shown, l.frame), clip)) {
            RECT r = Local(l.shown);
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, g_still.shot.dc, r.left,
                   r.top, SRCCOPY);
            // A snapped window is framed in blue, a dragged rectangle in white.
            bool dragged = g_still.selection.pressed && g_still.selection.dragged;
            DrawFrame(dc, r, l.frame, dragged ? RGB(255, 255, 255) : RGB(0, 120, 215));
        }
        if (Meets(l.label, clip)) {
            RECT label = Local(l.label);
            Fill(dc, label, RGB(24, 24, 24));
            DrawLabel(dc, label, SizeText(l.shown), DpiAt(Corner{l.shown.left, l.shown.top}));
        }
    }
    if (Meets(l.loupe, clip))
        DrawLoupe(dc, l);
}

bool Same(const FrameBox& a, const FrameBox& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void InvalidateBox(HWND window, const FrameBox& box)
{
    if (Empty(box))
        return;
    RECT r = Local(box);
    InvalidateRect(window, &r, FALSE);
}

// The frame drawn around box, width wide, outside it.
void InvalidateRing(HWND window, const FrameBox& box, int width)
{
    if (Empty(box))
        return;
    FrameBox out = Inflated(box, width);
    InvalidateBox(window, FrameBox{out.left, out.top, out.right, box.top});
    InvalidateBox(window, FrameBox{out.left, box.bottom, out.right, out.bottom});
    InvalidateBox(window, FrameBox{out.left, box.top, box.left, box.bottom});
    InvalidateBox(window, FrameBox{box.right, box.top, out.right, box.bottom});
}

// What turned dimmed or undimmed between two selections.
void InvalidateDifference(HWND window, const FrameBox& before, const FrameBox& now)
{
    RECT a = Local(Empty(before) ? FrameBox{0, 0, 0, 0} : before);
    RECT b = Local(Empty(now) ? FrameBox{0, 0, 0, 0} : now);
    HRGN one = CreateRectRgn(a.left, a.top, a.right, a.bottom);
    HRGN other = CreateRectRgn(b.left, b.top, b.right, b.bottom);
    if (one && other && CombineRgn(one, one, other, RGN_XOR) != ERROR)
        InvalidateRgn(window, one, FALSE);
    if (one)
        DeleteObject(one);
    if (other)
        DeleteObject(other);
}

std::vector<RECT> RegionRects(HRGN region)
{
    std::vector<RECT> rects;
    DWORD size = GetRegionData(region, 0, nullptr);
    if (size < sizeof(RGNDATAHEADER))
        return rects;
    std::vector<uint8_t> buffer(size);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    if (GetRegionData(region, size, data) != size)
        return rects;
    const RECT* r = reinterpret_cast<const RECT*>(data->Buffer);
    rects.assign(r, r + data->rdh.nCount);
    return rects;
}

// Repaints only what changed. The magnifier's contents change with every
// move; of the selection only the frames and what turned dimmed or
// undimmed, which during a drag are a few thin strips.
void Refresh(HWND window)
{
    Layout now = LayOut(g_still.back.dc);
    Layout& before = g_still.drawn;
    InvalidateBox(window, before.loupe);
    InvalidateBox(window, now.loupe);
    if (!Same(before.shown, now.shown) || before.frame != now.frame) {
        InvalidateBox(window, before.label);
        InvalidateBox(window, now.label);
        InvalidateRing(window, before.shown, before.frame);
        InvalidateRing(window, now.shown, now.frame);
        InvalidateDifference(window, before.shown, now.shown);
    }
    before = now;
    UpdateWindow(window);
}

// The rectangles of the part to repaint: a drag's are thin strips around a
// large selection, and their bounding box would be most of the screen.
std::vector<RECT> UpdateRects(HWND window, const RECT& bounds)
{
    std::vector<RECT> rects;
    if (HRGN update = CreateRectRgn(0, 0, 0, 0)) {
        if (GetUpdateRgn(window, update, FALSE) > NULLREGION)
            rects = RegionRects(update);
        DeleteObject(update);
    }
    if (rects.empty() || rects.size() > 64)
        rects.assign(1, bounds);
    return rects;
}

void OnPaint(HWND window)
{
    RECT bounds{};
    GetUpdateRect(window, &bounds, FALSE);
    std::vector<RECT> rects = UpdateRects(window, bounds);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc) {
        HDC back = g_still.back.dc;
        Layout layout = LayOut(back);
        for (const RECT& r : rects) {
            int w = r.right - r.left, h = r.bottom - r.top;
            BitBlt(back, r.left, r.top, w, h, g_still.dimmed.dc, r.left, r.top, SRCCOPY);
            int saved = SaveDC(back);
            IntersectClipRect(back, r.left, r.top, r.right, r.bottom);
            DrawOverlays(back, layout, r);
            RestoreDC(back, saved);
            BitBlt(dc, r.left, r.top, w, h, back, r.left, r.top, SRCCOPY);
        }
    }
    EndPaint(window, &ps);
}

// --- the user's moves ----------------------------------------------------
Corner CursorPosition()
{
    POINT p{0, 0};
    GetCursorPos(&p);
    return Corner{p.x, p.y};
}

// Where a mouse message happened, which is not where the cursor is by the
// time a queue of moves is worked off: a press, moves and a release that
// come in together are still a drag.
Corner MessagePosition(LPARAM lParam)
{
    return Corner{g_still.screen.x + int(short(LOWORD(lParam))),
                  g_still.screen.y + int(short(HIWORD(lParam)))};
}

void OnCursor(HWND window, Corner cursor)
{
    g_still.cursor = cursor;
    StillSelection& s = g_still.selection;
    if (!s.pressed) {
        int chosen = SnapChoice(g_still.windows, cursor);
        FrameBox box{};
        s.snapped =
            chosen >= 0 && WindowFrameBox(g_still.windows[size_t(chosen)].box, g_still.screen, box);
        s.snap = s.snapped ? box : FrameBox{0, 0, 0, 0};
    }
    MoveStill(s, cursor);
    Refresh(window);
}

// The grab is cut from the picture taken at the start, never read from
// the screen, where this window's frame and magnifier are.
void Take(HWND window, const FrameBox& box)
{
    GrabRect rect = ClipToScreen(
        GrabRect{box.left, box.top, box.right - box.left, box.bottom - box.top}, g_still.screen);
    HBITMAP bitmap = nullptr;
    if (rect.width > 0 && rect.height > 0) {
        ScreenDC screen;
        HDC memory = screen ? CreateCompatibleDC(screen.get()) : nullptr;
        if (memory)
            bitmap = CreateCompatibleBitmap(screen.get(), rect.width, rect.height);
        if (bitmap) {
            HGDIOBJ previous = SelectObject(memory, bitmap);
            BitBlt(memory, 0, 0, rect.width, rect.height, g_still.shot.dc,
                   rect.x - g_still.screen.x, rect.y - g_still.screen.y, SRCCOPY);
            SelectObject(memory, previous);
        }
        if (memory)
            DeleteDC(memory);
    }
    if (bitmap) {
        DrawHeldPointer(bitmap, rect, g_still.pointer);
        RememberSelectedRegion(Corner{rect.x, rect.y},
                               Corner{rect.x + rect.width, rect.y + rect.height});
    }
    // The main window owns the picture: this window is about to go.
    PlaceGrab(g_mainWindow, bitmap);
    DestroyWindow(window);
}

void Abandon(HWND window)
{
    // Nothing is left armed: the main window waits for no press after it.
    g_pickMode = PickMode::None;
    DestroyWindow(window);
}

void OnKey(HWND window, WPARAM key)
{
    int dx = 0, dy = 0;
    switch (key) {
    case VK_LEFT: dx = -1; break;
    case VK_RIGHT: dx = 1; break;
    case VK_UP: dy = -1; break;
    case VK_DOWN: dy = 1; break;
    case VK_RETURN: Take(window, TakeStill(g_still.selection)); return;
    case VK_ESCAPE: Abandon(window); return;
    default: return;
    }
    Corner to = ArrowMove(g_still.cursor, dx, dy, GetKeyState(VK_SHIFT) < 0, g_still.screen);
    SetCursorPos(to.x, to.y);
    OnCursor(window, to);
}

LRESULT CALLBACK StillWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32515)));  // IDC_CROSS
        return TRUE;
    case WM_MOUSEMOVE: OnCursor(window, MessagePosition(lParam)); return 0;
    case WM_LBUTTONDOWN:
        OnCursor(window, MessagePosition(lParam));
        PressStill(g_still.selection, g_still.cursor);
        Refresh(window);
        return 0;
    case WM_LBUTTONUP: {
        MoveStill(g_still.selection, MessagePosition(lParam));
        FrameBox taken{};
        if (ReleaseStill(g_still.selection, &taken))
            Take(window, taken);
        return 0;
    }
    case WM_RBUTTONDOWN: Abandon(window); return 0;
    case WM_KEYDOWN: OnKey(window, wParam); return 0;
    case WM_CLOSE: Abandon(window); return 0;
    case WM_DESTROY: PostQuitMessage(0); break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterStillClass()
{
    static bool registered = false;
    if (registered)
        return true;
    WNDCLASSW wc{};
    wc.lpfnWndProc = StillWindowProc;
    wc.hInstance = g_instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32515));  // IDC_CROSS
    wc.lpszClassName = kStillClass;
    registered = RegisterClassW(&wc) != 0;
    return registered;
}

// Runs until the window's quit message. A quit that someone else posted
// (the main window was destroyed meanwhile) closes the selection and is
// handed on to the program's own loop.
void RunLoop(HWND window)
{
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (!IsWindow(window))
        return;
    int code = got == 0 ? int(msg.wParam) : 0;
    DestroyWindow(window);
    if (got == 0)
        PostQuitMessage(code);
    else
        PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

void FreeStill()
{
    ReleasePicture(g_still.shot);
    ReleasePicture(g_still.dimmed);
    ReleasePicture(g_still.back);
    if (g_still.font)
        DeleteObject(g_still.font);
    g_still = Still{};
}

}  // namespace

bool StillSelectionOn()
{
    return g_settings.stillSelect != 0 && !CurrentFixedRange().enabled;
}

void SelectOnStill(HWND mainWindow)
{
    if (g_active)
        return;
    g_active = true;
    ShowWindow(mainWindow, SW_HIDE);
    Sleep(kSettlePause);
    g_still = Still{};
    g_still.screen = VirtualScreenRect();
    HWND window = nullptr;
    // Held before the picture is taken, so that it stands where it stood then.
    HoldPointer(g_still.pointer);
    if (RegisterStillClass() && TakePicture()) {
        g_skipWindow = mainWindow;
        EnumWindows(AddTopLevel, 0);
        g_still.cursor = CursorPosition();
        const GrabRect& s = g_still.screen;
        window =
            CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kStillClass, kStillClass, WS_POPUP,
                            s.x, s.y, s.width, s.height, nullptr, nullptr, g_instance, nullptr);
    }
    if (window) {
        ShowWindow(window, SW_SHOWNORMAL);
        SetForegroundWindow(window);
        SetFocus(window);
        OnCursor(window, g_still.cursor);
        RunLoop(window);
    } else {
        // Not enough memory for the pictures of a very large screen.
        MessageBeep(0);
        g_pickMode = PickMode::None;
    }
    FreeStill();
    g_active = false;
    ShowWindow(mainWindow, SW_SHOWNORMAL);
}
