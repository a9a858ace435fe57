// The markup editor's window glue: it takes the main window's mouse,
// keys, painting and scrolling while the editor is on, and hands every
// rule to the portable session (markup/marks.h). Text and the labels of
// step numbers are the only marks GDI draws, because they need fonts.
#include "markup/editor.h"
#include "picture/clipboard_formats.h"

#include <windowsx.h>
#include <commdlg.h>
#include <imm.h>

#include <algorithm>
#include <new>
#include <string>

#include "app/app.h"
#include "app/commands.h"
#include "app/display.h"
#include "app/scroll.h"
#include "app/toolbar.h"
#include "app/zoom_fit.h"
#include "capture/capture.h"
#include "markup/marks.h"
#include "markup/view_map.h"
#include "picture/picture.h"
#include "res/resource.h"

namespace {

constexpr uint32_t kPresets[6] = {Rgb(255, 0, 0),   Rgb(0, 0, 255), Rgb(0, 160, 0),
                                  Rgb(255, 255, 0), Rgb(0, 0, 0),   Rgb(255, 255, 255)};
constexpr int kCustomColour = 6;
constexpr int kDefaultWidth = 1;  // index into kWidthChoices: 2 pixels
constexpr int kDefaultTextSize = 1;  // index into kTextSizes: 24 pixels

struct Editor {
    bool active = false;
    HWND bar = nullptr;
    MarkupSession session;
    MarkStyle style;
    Tool tool = Tool::kPen;
    int colourIndex = 0;
    int widthIndex = kDefaultWidth;
    int textSizeIndex = kDefaultTextSize;
    COLORREF custom[16] = {};
    int32_t hPos = 0, vPos = 0;
    WheelCarry hWheel, vWheel;
    int32_t bars[4] = {-2, -2, -2, -2};  // as last set: ranges (-1 none) and positions
    // The text being typed: where, what, the IME's composition, and the
    // picture under it before it was drawn there.
    bool typing = false;
    MPoint textAt;
    std::wstring text;
    std::wstring composition;
    MRect textArea;
    Pixels under;
};
Editor g;

int ViewTop()
{
    RECT r{};
    HWND toolbar = MainToolbar();
    int top = toolbar && GetWindowRect(toolbar, &r) ? r.bottom - r.top : 0;
    return top + MarkupBarHeight(g.bar);
}

ViewMap CurrentMap(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    const Pixels& p = g.session.image();
    int top = ViewTop();
    if (g_zoom) {
        ZoomRect d = FitPictureInView(p.width, p.height, client.right, client.bottom, top);
        return ZoomedView(p.width, p.height, d.x, d.y, d.width, d.height);
    }
    return NaturalView(p.width, p.height, g.hPos, g.vPos, top);
}

void Refresh(HWND window, const MRect& pictureArea)
{
    if (pictureArea.empty())
        return;
    MRect c = Inflate(ToClient(CurrentMap(window), pictureArea), 2);
    RECT r{c.left, c.top, c.right, c.bottom};
    InvalidateRect(window, &r, FALSE);
}

void RefreshAll(HWND window)
{
    std::fill(g.bars, g.bars + 4, -2);
    InvalidateRect(window, nullptr, TRUE);
}

enum class Read { kPicture, kNone, kNoMemory };

// The current picture as pixels.
Read ReadCurrentPicture(HWND window, Pixels* out)
{
    if (!OpenClipboardSoon(window))
        return Read::kNone;
    bool ok = false;
    HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    BITMAP info{};
    if (bitmap && GetObjectW(bitmap, sizeof info, &info) && info.bmWidth > 0 && info.bmHeight > 0) {
        Pixels p;
        p.width = info.bmWidth;
        p.height = info.bmHeight;
        try {
            p.data.resize(size_t(p.width) * p.height);
        } catch (const std::bad_alloc&) {
            CloseClipboard();
            return Read::kNoMemory;
        }
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
        bmi.bmiHeader.biWidth = p.width;
        bmi.bmiHeader.biHeight = -p.height;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        HDC screen = GetDC(nullptr);
        HPALETTE palette = static_cast<HPALETTE>(GetClipboardData(CF_PALETTE));
        HPALETTE previous = palette ? SelectPalette(screen, palette, FALSE) : nullptr;
        if (palette)
            RealizePalette(screen);
        ok = GetDIBits(screen, bitmap, 0, UINT(p.height), p.data.data(), &bmi, DIB_RGB_COLORS) ==
             p.height;
        if (previous)
            SelectPalette(screen, previous, FALSE);
        ReleaseDC(nullptr, screen);
        for (uint32_t& px : p.data)
            px &= 0xFFFFFF;
        if (ok)
            *out = std::move(p);
    }
    CloseClipboard();
    return ok ? Read::kPicture : Read::kNone;
}

BITMAPINFO TopDownInfo(int32_t width, int32_t height)
{
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    return bmi;
}

// Runs draw on a GDI context over area of the picture (a DIB section
// holding those pixels), then takes the pixels back.
template <typename Draw>
void DrawWithGdi(Pixels& p, const MRect& area, Draw draw)
{
    MRect a = Intersect(area, p.bounds());
    if (a.empty())
        return;
    BITMAPINFO bmi = TopDownInfo(a.width(), a.height());
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP section = CreateDIBSection(screen, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (dc && section && bits) {
        auto* px = static_cast<uint32_t*>(bits);
        for (int32_t y = 0; y < a.height(); ++y)
            std::copy_n(p.data.begin() + (size_t(a.top + y) * p.width + a.left), a.width(),
                        px + size_t(y) * a.width());
        HGDIOBJ old = SelectObject(dc, section);
        SetViewportOrgEx(dc, -a.left, -a.top, nullptr);
        draw(dc);
        GdiFlush();
        SelectObject(dc, old);
        for (int32_t y = 0; y < a.height(); ++y)
            for (int32_t x = 0; x < a.width(); ++x)
                p.data[size_t(a.top + y) * p.width + a.left + x] = px[size_t(y) * a.width() + x] & 0xFFFFFF;
    }
    if (section)
        DeleteObject(section);
    if (dc)
        DeleteDC(dc);
}

COLORREF ToColorRef(uint32_t c) { return RGB((c >> 16) & 255, (c >> 8) & 255, c & 255); }

HFONT MakeFont(int height)
{
    return CreateFontW(-height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                       DEFAULT_PITCH, L"ＭＳ Ｐゴシック");
}

// --- text ------------------------------------------------------------

std::wstring ShownText() { return g.text + g.composition; }

MRect MeasureText(const std::wstring& text)
{
    int height = kTextSizes[g.textSizeIndex];
    HDC screen = GetDC(nullptr);
    HFONT font = MakeFont(height);
    HGDIOBJ old = SelectObject(screen, font);
    RECT r{0, 0, 0, 0};
    std::wstring measured = text.empty() ? L" " : text;
    if (!measured.empty() && measured.back() == L'\n')
        measured += L" ";
    DrawTextW(screen, measured.c_str(), int(measured.size()), &r, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return MRect{g.textAt.x, g.textAt.y, g.textAt.x + r.right + 2, g.textAt.y + r.bottom + 2};
}

void PutBackUnderText()
{
    Pixels& p = g.session.image();
    MRect a = Intersect(g.textArea, p.bounds());
    for (int32_t y = a.top; y < a.bottom; ++y)
        std::copy_n(g.under.data.begin() + size_t(y - a.top) * a.width(), a.width(),
                    p.data.begin() + (size_t(y) * p.width + a.left));
    g.textArea = MRect{};
}

void DrawTypedText(Pixels& p, const MRect& area, const std::wstring& text)
{
    int height = kTextSizes[g.textSizeIndex];
    uint32_t colour = g.style.colour;
    DrawWithGdi(p, area, [&](HDC dc) {
        HFONT font = MakeFont(height);
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ToColorRef(colour));
        RECT r{area.left + 1, area.top + 1, area.right, area.bottom};
        DrawTextW(dc, text.c_str(), int(text.size()), &r, DT_NOPREFIX | DT_NOCLIP);
        SelectObject(dc, old);
        DeleteObject(font);
    });
}

// Draws the text as it stands (with the IME's composition) into the
// picture, keeping what it covers so that the next key can put it back.
void ShowTypedText(HWND window)
{
    MRect old = g.textArea;
    PutBackUnderText();
    Pixels& p = g.session.image();
    MRect area = Intersect(MeasureText(ShownText()), p.bounds());
    g.under.width = area.width();
    g.under.height = area.height();
    g.under.data.assign(size_t(std::max(area.width(), 0)) * std::max(area.height(), 0), 0);
    for (int32_t y = area.top; y < area.bottom; ++y)
        std::copy_n(p.data.begin() + (size_t(y) * p.width + area.left), area.width(),
                    g.under.data.begin() + size_t(y - area.top) * area.width());
    g.textArea = area;
    DrawTypedText(p, area, ShownText());
    Refresh(window, Union(old, area));
}

void MoveImeWindow(HWND window)
{
    HIMC context = ImmGetContext(window);
    if (!context)
        return;
    MRect c = ToClient(CurrentMap(window), g.textArea);
    COMPOSITIONFORM form{};
    form.dwStyle = CFS_POINT;
    form.ptCurrentPos = POINT{c.right, c.top};
    ImmSetCompositionWindow(context, &form);
    ImmReleaseContext(window, context);
}

void StartText(HWND window, MPoint at)
{
    g.typing = true;
    g.textAt = at;
    g.text.clear();
    g.composition.clear();
    g.textArea = MRect{};
    ShowTypedText(window);
    MoveImeWindow(window);
}

// The typed text becomes a step of its own; empty text leaves nothing.
void PlaceText(HWND window)
{
    if (!g.typing)
        return;
    g.typing = false;
    MRect old = g.textArea;
    PutBackUnderText();
    g.composition.clear();
    if (!g.text.empty()) {
        MRect area = Intersect(MeasureText(g.text), g.session.image().bounds());
        if (g.session.RecordStep(area, Tool::kText)) {
            DrawTypedText(g.session.image(), area, g.text);
            g.session.StepDrawn();
        }
        old = Union(old, area);
    }
    g.text.clear();
    Refresh(window, old);
}

void DropText(HWND window)
{
    if (!g.typing)
        return;
    g.typing = false;
    MRect old = g.textArea;
    PutBackUnderText();
    g.text.clear();
    g.composition.clear();
    Refresh(window, old);
}

// A number's label, white on its disc (black on a white one), centred
// on the disc even where the picture's edge cuts it.
void LabelNumber(MPoint centre, const MRect& disc, int number)
{
    std::u16string label = StepLabel(number);
    std::wstring text(label.begin(), label.end());
    uint32_t colour = g.style.colour == Rgb(255, 255, 255) ? Rgb(0, 0, 0) : Rgb(255, 255, 255);
    int32_t d = NumberDiameterFor(g.style.width);
    MRect full{centre.x - d / 2, centre.y - d / 2, centre.x - d / 2 + d, centre.y - d / 2 + d};
    DrawWithGdi(g.session.image(), disc, [&](HDC dc) {
        HFONT font = MakeFont(d * 2 / 3);
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ToColorRef(colour));
        RECT r{full.left, full.top, full.right, full.bottom};
        DrawTextW(dc, text.c_str(), int(text.size()), &r,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        SelectObject(dc, old);
        DeleteObject(font);
    });
}

// --- choices ---------------------------------------------------------

void ShowChoices()
{
    ShowMarkupChoices(g.bar, int(g.tool), g.colourIndex, g.widthIndex, g.textSizeIndex,
                      g.style.filled);
}

void ChooseTool(HWND window, Tool tool)
{
    if (g.tool == Tool::kText && tool != Tool::kText)
        PlaceText(window);
    g.tool = tool;
    ShowChoices();
}

void ChooseCustomColour(HWND window)
{
    CHOOSECOLORW c{};
    c.lStructSize = sizeof c;
    c.hwndOwner = window;
    c.rgbResult = ToColorRef(g.style.colour);
    c.lpCustColors = g.custom;
    c.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (ChooseColorW(&c)) {
        g.style.colour = Rgb(GetRValue(c.rgbResult), GetGValue(c.rgbResult), GetBValue(c.rgbResult));
        g.colourIndex = kCustomColour;
    }
    ShowChoices();
}

void SetColour(HWND window, int index)
{
    g.style.colour = kPresets[index];
    g.colourIndex = index;
    ShowChoices();
    if (g.typing)
        ShowTypedText(window);
}

void SetWidth(int index)
{
    g.widthIndex = index;
    g.style.width = kWidthChoices[index];
    ShowChoices();
}

// Text being typed takes the new size at once.
void SetTextSize(HWND window, int index)
{
    g.textSizeIndex = index;
    ShowChoices();
    if (g.typing) {
        ShowTypedText(window);
        MoveImeWindow(window);
    }
}

// --- entering and leaving --------------------------------------------

void Leave(HWND window)
{
    g.active = false;
    g.typing = false;
    g.session.Start(Pixels{});
    DestroyMarkupBar(g.bar);
    g.bar = nullptr;
    if (GetCapture() == window)
        ReleaseCapture();
    ResetScrollPositions();
    HideScrollBarsAndRepaint(window);
}

// The marked-up picture becomes the current picture, on the clipboard as
// a capture is; an editor that changed nothing leaves the picture alone.
void Commit(HWND window)
{
    PlaceText(window);
    if (g.session.dragging())
        g.session.Cancel();
    if (!g.session.changed()) {
        Leave(window);
        return;
    }
    const Pixels& p = g.session.image();
    BITMAPINFO bmi = TopDownInfo(p.width, p.height);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, p.width, p.height);
    bool made = bitmap && SetDIBits(screen, bitmap, 0, UINT(p.height), p.data.data(), &bmi,
                                    DIB_RGB_COLORS) == p.height;
    ReleaseDC(nullptr, screen);
    bool placed = false;
    if (made && OpenClipboardSoon(window)) {
        EmptyClipboard();
        placed = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
        if (placed)
            OfferPictureFormats(bitmap, nullptr);
        CloseClipboard();
    }
    if (!placed) {
        // Kept in the editor: nothing of the edit is lost.
        if (bitmap)
            DeleteObject(bitmap);
        MessageBeep(MB_ICONHAND);
        return;
    }
    wchar_t title[512];
    int length = GetWindowTextW(window, title, 512);
    std::u16string now(reinterpret_cast<const char16_t*>(title), size_t(std::max(length, 0)));
    std::u16string name = EditedTitleName(now);
    SetMainTitle(window, reinterpret_cast<const wchar_t*>(name.c_str()));
    Leave(window);
}

void ShowOutOfMemory(HWND window)
{
    wchar_t text[128];
    LoadStringW(g_instance, IDS_MARKUP_NO_MEMORY, text, 128);
    ShowMessage(window, text, L"Kelvo", MB_OK | MB_ICONEXCLAMATION);
}

void Enter(HWND window)
{
    Pixels picture;
    switch (ReadCurrentPicture(window, &picture)) {
    case Read::kPicture: break;
    case Read::kNone: MessageBeep(MB_ICONHAND); return;
    case Read::kNoMemory: ShowOutOfMemory(window); return;
    }
    g.session.Start(std::move(picture));
    g.active = true;
    g.typing = false;
    g.hPos = g.vPos = 0;
    std::fill(g.bars, g.bars + 4, -2);
    g.style.width = kWidthChoices[g.widthIndex];
    g.style.colour = g.colourIndex == kCustomColour ? g.style.colour : kPresets[g.colourIndex];
    RECT r{};
    HWND toolbar = MainToolbar();
    int top = toolbar && GetWindowRect(toolbar, &r) ? r.bottom - r.top : 0;
    g.bar = CreateMarkupBar(window, top);
    ShowChoices();
    SetFocus(window);
    RefreshAll(window);
}

// --- painting and scrolling ------------------------------------------

void PaintEditor(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    const Pixels& p = g.session.image();
    ViewMap map = CurrentMap(window);
    int top = ViewTop();
    if (!g_zoom) {
        ScrollRanges r = ComputeScrollRanges(p.width, p.height, client.right, client.bottom, top);
        g.hPos = ScrollBy(g.hPos, r.horizontal, 0);
        g.vPos = ScrollBy(g.vPos, r.vertical, 0);
        // The bars are set only when they change: setting them redraws
        // them, which would cost every move of a stroke its time.
        int32_t bars[4] = {r.horizontalBar ? r.horizontal : -1, r.verticalBar ? r.vertical : -1,
                           g.hPos, g.vPos};
        if (!std::equal(bars, bars + 4, g.bars)) {
            std::copy(bars, bars + 4, g.bars);
            SCROLLINFO si{sizeof si, SIF_RANGE | SIF_POS, 0, 0, 0, 0, 0};
            if (r.horizontalBar) {
                si.nMax = r.horizontal;
                si.nPos = g.hPos;
                SetScrollInfo(window, SB_HORZ, &si, TRUE);
            } else {
                ShowScrollBar(window, SB_HORZ, FALSE);
            }
            if (r.verticalBar) {
                si.nMax = r.vertical;
                si.nPos = g.vPos;
                SetScrollInfo(window, SB_VERT, &si, TRUE);
            } else {
                ShowScrollBar(window, SB_VERT, FALSE);
            }
        }
        map = CurrentMap(window);
    }
    // The background round the picture, the picture where it shows.
    MRect shown = ToClient(map, p.bounds());
    HRGN around = CreateRectRgn(0, top, client.right, client.bottom);
    HRGN picture = CreateRectRgn(shown.left, shown.top, shown.right, shown.bottom);
    CombineRgn(around, around, picture, RGN_DIFF);
    FillRgn(dc, around, GetSysColorBrush(COLOR_SCROLLBAR));
    DeleteObject(around);
    DeleteObject(picture);
    // Only the rows and columns under the paint rectangle are sent.
    MRect paint{ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom};
    MPoint a = ToPicture(map, paint.left, paint.top);
    MPoint b = ToPicture(map, paint.right - 1, paint.bottom - 1);
    MRect src = Intersect(MRect{a.x, a.y, b.x + 1, b.y + 1}, p.bounds());
    if (!src.empty()) {
        MRect dest = ToClient(map, src);
        BITMAPINFO bmi = TopDownInfo(p.width, src.height());
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchDIBits(dc, dest.left, dest.top, dest.width(), dest.height(), src.left, 0,
                      src.width(), src.height(), p.data.data() + size_t(src.top) * p.width, &bmi,
                      DIB_RGB_COLORS, SRCCOPY);
    }
    // A mosaic or crop drag shows its rectangle; typed text its caret.
    if (g.session.dragging() &&
        (g.session.tool() == Tool::kMosaic || g.session.tool() == Tool::kCrop)) {
        MRect r = ToClient(map, g.session.DragArea());
        RECT fr{r.left, r.top, r.right, r.bottom};
        if (!r.empty())
            DrawFocusRect(dc, &fr);
    }
    if (g.typing) {
        MRect r = ToClient(map, g.textArea);
        RECT fr{r.left, r.top, r.right, r.bottom};
        if (!r.empty())
            DrawFocusRect(dc, &fr);
    }
    EndPaint(window, &ps);
}

void MoveView(HWND window, int bar, int32_t position)
{
    (bar == SB_HORZ ? g.hPos : g.vPos) = position;
    SetScrollPos(window, bar, position, TRUE);
    InvalidateRect(window, nullptr, FALSE);
}

int32_t Range(HWND window, int bar)
{
    if (g_zoom)
        return 0;
    RECT client;
    GetClientRect(window, &client);
    const Pixels& p = g.session.image();
    ScrollRanges r = ComputeScrollRanges(p.width, p.height, client.right, client.bottom, ViewTop());
    return bar == SB_HORZ ? r.horizontal : r.vertical;
}

void Scroll(HWND window, int bar, int request, uint16_t thumb)
{
    int32_t pos = bar == SB_HORZ ? g.hPos : g.vPos;
    MoveView(window, bar, ScrollPosition(pos, Range(window, bar), request, thumb));
}

void Wheel(HWND window, WPARAM wParam, bool tilt)
{
    bool across = tilt || (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT);
    int bar = across ? SB_HORZ : SB_VERT;
    UINT perNotch = 3;
    SystemParametersInfoW(across ? SPI_GETWHEELSCROLLCHARS : SPI_GETWHEELSCROLLLINES, 0,
                          &perNotch, 0);
    int32_t delta = GET_WHEEL_DELTA_WPARAM(wParam);
    if (!tilt)
        delta = -delta;
    int32_t range = Range(window, bar);
    int64_t distance = WheelDistance(delta, perNotch, range, across ? g.hWheel : g.vWheel);
    MoveView(window, bar, ScrollBy(bar == SB_HORZ ? g.hPos : g.vPos, range, distance));
}

// --- mouse and keys --------------------------------------------------

MPoint PointOf(HWND window, LPARAM lParam)
{
    return ToPicture(CurrentMap(window), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
}

void ButtonDown(HWND window, LPARAM lParam)
{
    SetFocus(window);
    MPoint p = PointOf(window, lParam);
    if (g.tool == Tool::kText) {
        if (g.typing && Hit(g.textArea, p, 4))
            return;
        PlaceText(window);
        StartText(window, p);
        return;
    }
    SetCapture(window);
    Refresh(window, g.session.Begin(g.tool, g.style, p));
}

void MouseMove(HWND window, LPARAM lParam)
{
    if (!g.session.dragging())
        return;
    Refresh(window, g.session.Move(PointOf(window, lParam)));
}

void ButtonUp(HWND window, LPARAM lParam)
{
    if (!g.session.dragging())
        return;
    Tool tool = g.session.tool();
    int number = g.session.NextNumber();
    MRect changed = g.session.End(PointOf(window, lParam));
    if (tool == Tool::kNumber && !changed.empty()) {
        LabelNumber(g.session.last(), changed, number);
        g.session.StepDrawn();
    }
    if (GetCapture() == window)
        ReleaseCapture();
    if (tool == Tool::kCrop) {
        g.hPos = g.vPos = 0;
        RefreshAll(window);
    } else {
        Refresh(window, changed);
    }
}

void UndoOrRedo(HWND window, bool redo)
{
    if (g.typing) {
        DropText(window);
        return;
    }
    MRect changed = redo ? g.session.Redo() : g.session.Undo();
    if (!changed.empty())
        RefreshAll(window);
}

bool KeyDown(HWND window, WPARAM key)
{
    bool control = GetKeyState(VK_CONTROL) < 0;
    if (control && (key == 'Z' || key == 'Y')) {
        UndoOrRedo(window, key == 'Y');
        return true;
    }
    if (control && key == 'E') {
        Commit(window);
        return true;
    }
    switch (key) {
    case VK_ESCAPE:
        if (g.session.dragging()) {
            if (GetCapture() == window)
                ReleaseCapture();
            Refresh(window, g.session.Cancel());
        } else if (g.typing) {
            DropText(window);
        } else {
            Leave(window);
        }
        return true;
    case VK_RETURN:
        // Enter starts a new line of text; Ctrl+Enter places the text.
        if (g.typing && !control)
            return false;
        if (g.typing)
            PlaceText(window);
        else
            Commit(window);
        return true;
    case VK_PRIOR:
    case VK_NEXT:
        Scroll(window, SB_VERT, key == VK_PRIOR ? kScrollPageUp : kScrollPageDown, 0);
        return true;
    }
    if (g.typing || control)
        return false;
    Tool tool;
    if (ToolForKey(char16_t(key), &tool)) {
        ChooseTool(window, tool);
        return true;
    }
    if (key == 'F') {
        g.style.filled = !g.style.filled;
        ShowChoices();
        return true;
    }
    if (key >= '1' && key <= '4') {
        SetWidth(int(key - '1'));
        return true;
    }
    return false;
}

void Char(HWND window, wchar_t c)
{
    if (!g.typing)
        return;
    if (c == L'\r')
        g.text += L'\n';
    else if (c == L'\b') {
        if (!g.text.empty())
            g.text.pop_back();
    } else if (c >= 0x20)
        g.text += c;
    else
        return;
    ShowTypedText(window);
}

void Composition(HWND window, LPARAM flags)
{
    HIMC context = ImmGetContext(window);
    if (!context)
        return;
    auto read = [context](DWORD which) {
        LONG bytes = ImmGetCompositionStringW(context, which, nullptr, 0);
        std::wstring s(size_t(std::max<LONG>(bytes, 0)) / sizeof(wchar_t), L'\0');
        if (bytes > 0)
            ImmGetCompositionStringW(context, which, &s[0], DWORD(bytes));
        return s;
    };
    if (flags & GCS_RESULTSTR) {
        g.text += read(GCS_RESULTSTR);
        g.composition.clear();
    }
    if (flags & GCS_COMPSTR)
        g.composition = read(GCS_COMPSTR);
    ImmReleaseContext(window, context);
    ShowTypedText(window);
    MoveImeWindow(window);
}

bool MayDiscardEdit(HWND window)
{
    wchar_t text[128];
    LoadStringW(g_instance, IDS_MARKUP_DISCARD, text, 128);
    return ShowMessage(window, text, L"Kelvo", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Commands that would replace the picture under the edit ask first;
// those that send the picture on take the edit with them. The capture
// key (with or without Alt), the timer and DDE grab without a question:
// their picture goes out and the edit waits.
bool GuardCommand(HWND window, int id, LPARAM lParam)
{
    bool automatic = lParam == kCaptureAndOutputMarker;
    switch (id) {
    case kCmdDesktop:
    case kCmdWindow:
    case kCmdRectangle:
    case kCmdLastRegion:
    case kCmdDelete:
        // Without a region held 前回の範囲 only beeps: nothing to ask.
        if (automatic || (id == kCmdLastRegion && !HasLastRegion()))
            return false;
        if (!MayDiscardEdit(window))
            return true;
        Leave(window);
        return false;
    case kCmdOpen: {
        // Asked once a file is chosen: a cancelled file dialog has thrown
        // nothing away, and neither has a file that would not open.
        std::wstring path;
        if (ChooseOpenFile(window, &path) && MayDiscardEdit(window) &&
            OpenPictureFile(window, path.c_str()))
            Leave(window);
        return true;
    }
    case kCmdSave:
    case kCmdWallpaper:
    case kCmdExit:
        Commit(window);
        return false;
    case kCmdPrint:
        if (!automatic)
            Commit(window);
        return false;
    }
    return false;
}

bool BarCommand(HWND window, int id)
{
    if (id >= IDM_MARKUP_PEN && id <= IDM_MARKUP_CROP) {
        ChooseTool(window, Tool(id - IDM_MARKUP_PEN));
    } else if (id >= IDM_MARKUP_RED && id <= IDM_MARKUP_WHITE) {
        SetColour(window, id - IDM_MARKUP_RED);
    } else if (id >= IDM_MARKUP_WIDTH1 && id <= IDM_MARKUP_WIDTH8) {
        SetWidth(id - IDM_MARKUP_WIDTH1);
    } else if (id >= IDM_MARKUP_TEXT16 && id <= IDM_MARKUP_TEXT48) {
        SetTextSize(window, id - IDM_MARKUP_TEXT16);
    } else {
        switch (id) {
        case IDM_MARKUP_FILLED:
            g.style.filled = !g.style.filled;
            ShowChoices();
            break;
        case IDM_MARKUP_COLOUR: ChooseCustomColour(window); break;
        case IDM_MARKUP_UNDO: UndoOrRedo(window, false); break;
        case IDM_MARKUP_REDO: UndoOrRedo(window, true); break;
        case IDM_MARKUP_DONE: Commit(window); break;
        case IDM_MARKUP_CANCEL: Leave(window); break;
        default: return false;
        }
    }
    SetFocus(window);
    return true;
}

}  // namespace

bool MarkupActive() { return g.active; }

size_t MarkupUndoBytes() { return g.session.history().Bytes(); }

void MarkupCommand(HWND window)
{
    if (g.active)
        Commit(window);
    else
        Enter(window);
}

void MarkupDpiChanged(HWND window, UINT dpi)
{
    if (!g.active)
        return;
    SetMarkupBarScale(g.bar, dpi);
    PlaceMarkupBar(g.bar, window, ViewTop() - MarkupBarHeight(g.bar));
    RefreshAll(window);
}

bool MarkupMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    *result = 0;
    if (!g.active) {
        // Ctrl+E starts the editor; the menus show the key.
        if (message == WM_KEYDOWN && wParam == 'E' && GetKeyState(VK_CONTROL) < 0) {
            Enter(window);
            return true;
        }
        return false;
    }
    switch (message) {
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == kCmdMarkup) {
            MarkupCommand(window);
            return true;
        }
        if ((id > kCmdMarkup && id <= IDM_MARKUP_CANCEL) ||
            (id >= IDM_MARKUP_TEXT16 && id <= IDM_MARKUP_TEXT48))
            return BarCommand(window, id);
        return GuardCommand(window, id, lParam);
    }
    case WM_DROPFILES: {
        if (!MayDiscardEdit(window)) {
            DragFinish(reinterpret_cast<HDROP>(wParam));
            return true;
        }
        Leave(window);
        return false;
    }
    case WM_PAINT: PaintEditor(window); return true;
    case WM_SIZE:
        PlaceMarkupBar(g.bar, window, ViewTop() - MarkupBarHeight(g.bar));
        g.hPos = g.vPos = 0;
        std::fill(g.bars, g.bars + 4, -2);
        InvalidateRect(window, nullptr, FALSE);
        return false;  // the main toolbar follows the size too
    case WM_HSCROLL: Scroll(window, SB_HORZ, LOWORD(wParam), HIWORD(wParam)); return true;
    case WM_VSCROLL: Scroll(window, SB_VERT, LOWORD(wParam), HIWORD(wParam)); return true;
    case WM_MOUSEWHEEL: Wheel(window, wParam, false); return true;
    case WM_MOUSEHWHEEL: Wheel(window, wParam, true); return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        // A mark on a huge picture needs memory for its undo step; when
        // there is none the mark is dropped and the picture stays as it was.
        try {
            if (message == WM_MOUSEMOVE)
                MouseMove(window, lParam);
            else if (message == WM_LBUTTONUP)
                ButtonUp(window, lParam);
            else
                ButtonDown(window, lParam);
        } catch (const std::bad_alloc&) {
            g.session.Cancel();
            if (GetCapture() == window)
                ReleaseCapture();
            RefreshAll(window);
            ShowOutOfMemory(window);
        }
        return true;
    case WM_CAPTURECHANGED:
        if (g.session.dragging() && reinterpret_cast<HWND>(lParam) != window)
            Refresh(window, g.session.Cancel());
        return true;
    case WM_SETCURSOR: {
        // A cross over the picture to draw with, a text cursor to type.
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(window, &p);
        if (LOWORD(lParam) != HTCLIENT || p.y < ViewTop())
            return false;
        SetCursor(LoadCursorA(nullptr, g.tool == Tool::kText ? IDC_IBEAM : IDC_CROSS));
        *result = TRUE;
        return true;
    }
    case WM_KEYDOWN: return KeyDown(window, wParam);
    case WM_CHAR: Char(window, wchar_t(wParam)); return true;
    case WM_IME_SETCONTEXT:
        // The composition is drawn in the picture, not in the IME's window.
        *result = DefWindowProcW(window, message, wParam, lParam & ~LPARAM(ISC_SHOWUICOMPOSITIONWINDOW));
        return true;
    case WM_IME_STARTCOMPOSITION:
        if (!g.typing)
            return false;
        MoveImeWindow(window);
        return true;  // the composition is drawn at the caret, in the picture
    case WM_IME_COMPOSITION:
        if (!g.typing)
            return false;
        Composition(window, lParam);
        return true;
    case WM_IME_ENDCOMPOSITION:
        if (!g.typing)
            return false;
        g.composition.clear();
        ShowTypedText(window);
        return true;
    }
    return false;
}
