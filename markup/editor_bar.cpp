// The markup editor's bar: a row of labelled buttons under the main
// toolbar. Labels and tooltips are resource strings; the tooltips name
// each tool's key.
#include <windows.h>
#include <commctrl.h>

#include "app/app.h"
#include "app/dpi.h"
#include "markup/editor.h"
#include "res/resource.h"

namespace {

// Each command's button style; 0 a separator.
struct Entry {
    int command;
    BYTE style;
};
constexpr BYTE kGroup = BTNS_CHECKGROUP | BTNS_AUTOSIZE;
constexpr BYTE kPlain = BTNS_BUTTON | BTNS_AUTOSIZE;
const Entry kEntries[] = {
    {IDM_MARKUP_PEN, kGroup},        {IDM_MARKUP_HIGHLIGHTER, kGroup}, {IDM_MARKUP_LINE, kGroup},
    {IDM_MARKUP_ARROW, kGroup},      {IDM_MARKUP_RECTANGLE, kGroup},   {IDM_MARKUP_ELLIPSE, kGroup},
    {IDM_MARKUP_TEXT, kGroup},       {IDM_MARKUP_MOSAIC, kGroup},      {IDM_MARKUP_NUMBER, kGroup},
    {IDM_MARKUP_CROP, kGroup},       {0, 0},
    {IDM_MARKUP_FILLED, BTNS_CHECK | BTNS_AUTOSIZE},                   {0, 0},
    {IDM_MARKUP_RED, kGroup},        {IDM_MARKUP_BLUE, kGroup},        {IDM_MARKUP_GREEN, kGroup},
    {IDM_MARKUP_YELLOW, kGroup},     {IDM_MARKUP_BLACK, kGroup},       {IDM_MARKUP_WHITE, kGroup},
    {IDM_MARKUP_COLOUR, kGroup},     {0, 0},
    {IDM_MARKUP_WIDTH1, kGroup},     {IDM_MARKUP_WIDTH2, kGroup},      {IDM_MARKUP_WIDTH4, kGroup},
    {IDM_MARKUP_WIDTH8, kGroup},     {0, 0},
    {IDM_MARKUP_TEXT16, kGroup},     {IDM_MARKUP_TEXT24, kGroup},      {IDM_MARKUP_TEXT32, kGroup},
    {IDM_MARKUP_TEXT48, kGroup},     {0, 0},
    {IDM_MARKUP_UNDO, kPlain},       {IDM_MARKUP_REDO, kPlain},        {0, 0},
    {IDM_MARKUP_DONE, kPlain},       {IDM_MARKUP_CANCEL, kPlain},
};
constexpr int kEntryCount = int(sizeof kEntries / sizeof kEntries[0]);

// The labels stay alive as long as the bar: the bar keeps the pointers.
wchar_t g_labels[kEntryCount][16];
// The labels' font, at the scale of the monitor the window is on; the bar
// does not own a font it is given.
HFONT g_font;

}  // namespace

HWND CreateMarkupBar(HWND window, int top)
{
    RECT client;
    GetClientRect(window, &client);
    HWND bar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                               WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST |
                                   TBSTYLE_TOOLTIPS | TBSTYLE_WRAPABLE | CCS_NOPARENTALIGN | CCS_NORESIZE |
                                   CCS_NODIVIDER,
                               0, top, client.right, 24, window,
                               reinterpret_cast<HMENU>(INT_PTR(IDC_MARKUP_BAR)), g_instance,
                               nullptr);
    if (!bar)
        return nullptr;
    SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    TBBUTTON buttons[kEntryCount] = {};
    for (int i = 0; i < kEntryCount; ++i) {
        TBBUTTON& b = buttons[i];
        b.idCommand = kEntries[i].command;
        b.iBitmap = I_IMAGENONE;
        if (!kEntries[i].command) {
            b.fsStyle = BTNS_SEP;
            b.iBitmap = 6;
            continue;
        }
        b.fsStyle = kEntries[i].style;
        b.fsState = TBSTATE_ENABLED;
        LoadStringW(g_instance, IDS_MARKUP_LABEL + (kEntries[i].command - IDM_MARKUP), g_labels[i],
                    16);
        b.iString = reinterpret_cast<INT_PTR>(g_labels[i]);
    }
    SendMessageW(bar, TB_ADDBUTTONSW, kEntryCount, reinterpret_cast<LPARAM>(buttons));
    SetMarkupBarScale(bar, WindowDpi(window));
    PlaceMarkupBar(bar, window, top);
    return bar;
}

void SetMarkupBarScale(HWND bar, UINT dpi)
{
    if (!bar)
        return;
    HFONT font = CreateMessageFont(dpi);
    if (!font)
        return;
    SendMessageW(bar, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (g_font)
        DeleteObject(g_font);
    g_font = font;
    // The buttons keep their height whatever the font: the common 22 pixels
    // at the scale, and never less than the labels need.
    TEXTMETRICW metrics{};
    HDC dc = GetDC(bar);
    HGDIOBJ old = SelectObject(dc, font);
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(bar, dc);
    int height = MulDiv(22, int(dpi), 96);
    if (height < metrics.tmHeight + 6)
        height = metrics.tmHeight + 6;
    SendMessageW(bar, TB_SETBUTTONSIZE, 0, MAKELPARAM(MulDiv(24, int(dpi), 96), height));
    SendMessageW(bar, TB_AUTOSIZE, 0, 0);
}

void DestroyMarkupBar(HWND bar)
{
    if (bar)
        DestroyWindow(bar);
    if (g_font)
        DeleteObject(g_font);
    g_font = nullptr;
}

int MarkupBarHeight(HWND bar)
{
    if (!bar)
        return 0;
    RECT r;
    GetWindowRect(bar, &r);
    return r.bottom - r.top;
}

void PlaceMarkupBar(HWND bar, HWND window, int top)
{
    if (!bar)
        return;
    RECT client;
    GetClientRect(window, &client);
    // As many rows as the window's width needs: the bar wraps its buttons,
    // and is as tall as its last row reaches.
    SetWindowPos(bar, nullptr, 0, top, client.right, 200, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(bar, TB_AUTOSIZE, 0, 0);
    RECT last{};
    LRESULT count = SendMessageW(bar, TB_BUTTONCOUNT, 0, 0);
    SendMessageW(bar, TB_GETITEMRECT, WPARAM(count - 1), reinterpret_cast<LPARAM>(&last));
    SetWindowPos(bar, nullptr, 0, top, client.right, last.bottom + 2,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowMarkupChoices(HWND bar, int toolIndex, int colourIndex, int widthIndex, int textSizeIndex,
                       bool filled)
{
    if (!bar)
        return;
    auto check = [bar](int command, bool on) {
        SendMessageW(bar, TB_CHECKBUTTON, command, MAKELPARAM(on ? TRUE : FALSE, 0));
    };
    for (int i = 0; i < 10; ++i)
        check(IDM_MARKUP_PEN + i, i == toolIndex);
    for (int i = 0; i < 7; ++i)
        check(IDM_MARKUP_RED + i, i == colourIndex);
    for (int i = 0; i < 4; ++i)
        check(IDM_MARKUP_WIDTH1 + i, i == widthIndex);
    for (int i = 0; i < 4; ++i)
        check(IDM_MARKUP_TEXT16 + i, i == textSizeIndex);
    check(IDM_MARKUP_FILLED, filled);
    // The bar does not redraw a button a group unchecks by itself.
    InvalidateRect(bar, nullptr, TRUE);
}
