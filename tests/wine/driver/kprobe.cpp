// kprobe.dll: lets the test driver look inside Kelvo's process.
//
// Menus and window scroll bars can only be read by the process that owns
// them. The driver installs ProbeHook as a WH_CALLWNDPROC hook on Kelvo's
// GUI thread; the system then loads this library into Kelvo. When the
// driver sends the registered message "KdriverProbe" to a Kelvo window, the
// hook answers with a JSON text sent back by WM_COPYDATA to the driver's
// window (lParam). Kelvo itself is not changed by any of this. The hook
// also writes down the titles the main window is given (request 4).
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdio>
#include <string>

namespace {

enum Request : WPARAM {
    kMenuBar = 1,     // the window's menu bar, each popup prepared first
    kScrollBars = 2,  // ranges, positions and visibility of both bars
    kOpenPopup = 3,   // the popup menu open on the screen
    kTitleLog = 4,    // titles set on the main window since the last request
    kResources = 5,   // GDI objects and windows of the process
    kTextFit = 6,     // each control's text measured in its own font
    kToolbar = 7,     // the toolbar's image and button sizes
    kDpiChange = 8,   // WM_DPICHANGED as Windows sends it (see DpiChange)
    kCursor = 9,      // whether the thread's cursor is the wait cursor
    kButtonRect = 10, // a toolbar button's screen rectangle, by command
};

std::string Utf8(const wchar_t* w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return std::string();
    std::string s(size_t(n - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, -1, &s[0], n, nullptr, nullptr);
    return s;
}

std::string Quote(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string Items(HMENU menu, int depth)
{
    std::string list = "[";
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW mi{};
        mi.cbSize = sizeof mi;
        wchar_t text[256] = {};
        mi.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_SUBMENU | MIIM_STRING;
        mi.dwTypeData = text;
        mi.cch = 255;
        if (!GetMenuItemInfoW(menu, UINT(i), TRUE, &mi))
            continue;
        if (list.size() > 1)
            list += ",";
        list += "{\"id\":" + std::to_string(mi.hSubMenu ? -1 : int(mi.wID))
                + ",\"text\":" + Quote(Utf8(text))
                + ",\"separator\":" + ((mi.fType & MFT_SEPARATOR) ? "true" : "false")
                + ",\"checked\":" + ((mi.fState & MFS_CHECKED) ? "true" : "false")
                + ",\"grayed\":" + ((mi.fState & MFS_GRAYED) ? "true" : "false");
        if (mi.hSubMenu && depth < 4)
            list += ",\"items\":" + Items(mi.hSubMenu, depth + 1);
        list += "}";
    }
    return list + "]";
}

// Prepares every popup of the bar as opening it would.
void PreparePopups(HWND window, HMENU menu)
{
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), MAKELPARAM(i, FALSE));
            PreparePopups(window, sub);
        }
    }
}

std::string MenuBar(HWND window)
{
    HMENU bar = GetMenu(window);
    if (!bar)
        return "{\"items\":null}";
    PreparePopups(window, bar);
    return "{\"items\":" + Items(bar, 0) + "}";
}

std::string ScrollBars(HWND window)
{
    std::string out = "{";
    const char* names[2] = {"h", "v"};
    for (int bar = SB_HORZ; bar <= SB_VERT; ++bar) {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        SCROLLBARINFO sbi{};
        sbi.cbSize = sizeof sbi;
        GetScrollBarInfo(window, bar == SB_HORZ ? OBJID_HSCROLL : OBJID_VSCROLL, &sbi);
        bool shown = !(sbi.rgstate[0] & STATE_SYSTEM_INVISIBLE);
        char buf[160];
        if (GetScrollInfo(window, bar, &si))
            std::snprintf(buf, sizeof buf, "{\"min\":%d,\"max\":%d,\"pos\":%d,\"shown\":%s}", si.nMin,
                          si.nMax, si.nPos, shown ? "true" : "false");
        else
            std::snprintf(buf, sizeof buf, "{\"shown\":%s}", shown ? "true" : "false");
        if (out.size() > 1)
            out += ",";
        out += std::string("\"") + names[bar] + "\":" + buf;
    }
    return out + "}";
}

std::string OpenPopup()
{
    HWND popup = FindWindowW(L"#32768", nullptr);
    if (!popup)
        return "{\"items\":null}";
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, 0x01E1 /* MN_GETHMENU */, 0, 0));
    RECT r;
    GetWindowRect(popup, &r);
    char rect[128];
    std::snprintf(rect, sizeof rect, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    return std::string("{\"rect\":") + rect + ",\"items\":" + (menu ? Items(menu, 0) : "null") + "}";
}

// Every title the main window was given, in order, with the tick count:
// a test can check a sequence of titles that polling from outside could
// miss when two arrive close together. Recording starts when the driver
// first hooks the thread.
std::string g_titleLog;
size_t g_titleCount;

void RecordTitle(HWND window, const wchar_t* text)
{
    wchar_t cls[32];
    if (!text || GetClassNameW(window, cls, 32) == 0 || lstrcmpW(cls, L"KelvoClass") != 0)
        return;
    if (g_titleCount >= 4096)
        return;
    ++g_titleCount;
    if (!g_titleLog.empty())
        g_titleLog += ",";
    g_titleLog += "{\"t\":" + std::to_string(GetTickCount()) + ",\"title\":" + Quote(Utf8(text)) + "}";
}

std::string TakeTitleLog()
{
    std::string json = "{\"titles\":[" + g_titleLog + "]}";
    g_titleLog.clear();
    g_titleCount = 0;
    return json;
}

// Wine answers GetGuiResources with 0, so the GDI objects are counted in
// the process's GDI handle table, which the PEB points to (as on Windows),
// and the USER side is represented by the process's windows.
struct GdiTableEntry {
    unsigned long long object;
    unsigned int owner;
    unsigned short unique;
    unsigned char type;
    unsigned char flags;
    unsigned long long user;
};

int CountGdiObjects()
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"  // the TEB read in the system header
    void* peb = NtCurrentTeb()->ProcessEnvironmentBlock;
#pragma GCC diagnostic pop
    // PEB.GdiSharedHandleTable
    auto* table = reinterpret_cast<GdiTableEntry* const*>(peb)[sizeof(void*) == 8 ? 0xF8 / 8 : 0x94 / 4];
    if (!table)
        return -1;
    int count = 0;
    for (int i = 0; i < 0x10000; ++i)
        if (table[i].type)
            ++count;
    return count;
}

BOOL CALLBACK CountChild(HWND, LPARAM p)
{
    ++*reinterpret_cast<int*>(p);
    return TRUE;
}

BOOL CALLBACK CountTop(HWND w, LPARAM p)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId()) {
        ++*reinterpret_cast<int*>(p);
        EnumChildWindows(w, CountChild, p);
    }
    return TRUE;
}

std::string Resources(HWND)
{
    int windows = 0;
    EnumWindows(CountTop, reinterpret_cast<LPARAM>(&windows));
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "{\"gdi\":%d,\"windows\":%d,\"working_set\":%llu,\"peak_working_set\":%llu}",
                  CountGdiObjects(), windows, (unsigned long long)memory.WorkingSetSize,
                  (unsigned long long)memory.PeakWorkingSetSize);
    return buf;
}

std::string Size(LONG w, LONG h)
{
    return "[" + std::to_string(w) + "," + std::to_string(h) + "]";
}

// The extent of text in dc's font on one line, and wrapped at width as a
// static control wraps it.
void Measure(HDC dc, const wchar_t* text, UINT prefix, LONG width, SIZE& line, SIZE& wrapped)
{
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text, -1, &r, DT_CALCRECT | DT_SINGLELINE | prefix);
    line = SIZE{r.right, r.bottom};
    r = RECT{0, 0, width, 0};
    DrawTextW(dc, text, -1, &r, DT_CALCRECT | DT_WORDBREAK | prefix);
    wrapped = SIZE{r.right, r.bottom};
}

BOOL CALLBACK FitVisit(HWND control, LPARAM p)
{
    auto* list = reinterpret_cast<std::string*>(p);
    wchar_t cls[64] = {}, text[512] = {};
    GetClassNameW(control, cls, 64);
    GetWindowTextW(control, text, 512);
    RECT client{};
    GetClientRect(control, &client);
    LONG style = GetWindowLongW(control, GWL_STYLE);
    HDC dc = GetDC(control);
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    bool isStatic = lstrcmpiW(cls, L"Static") == 0;
    UINT prefix = isStatic && (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    SIZE line{}, wrapped{};
    Measure(dc, text, prefix, client.right, line, wrapped);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    // A list box: its widest item.
    LONG widest = 0;
    if (lstrcmpiW(cls, L"ListBox") == 0) {
        LRESULT count = SendMessageW(control, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t item[256] = {};
            if (SendMessageW(control, LB_GETTEXTLEN, i, 0) < 255)
                SendMessageW(control, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item));
            SIZE itemLine{}, itemWrapped{};
            Measure(dc, item, DT_NOPREFIX, client.right, itemLine, itemWrapped);
            widest = itemLine.cx > widest ? itemLine.cx : widest;
        }
    }
    // A combo box: its widest item, and how wide its list drops.
    LRESULT dropped = 0;
    if (lstrcmpiW(cls, L"ComboBox") == 0) {
        LRESULT count = SendMessageW(control, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t item[1024] = {};
            if (SendMessageW(control, CB_GETLBTEXTLEN, i, 0) < 1023)
                SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
            SIZE itemLine{}, itemWrapped{};
            Measure(dc, item, DT_NOPREFIX, client.right, itemLine, itemWrapped);
            widest = itemLine.cx > widest ? itemLine.cx : widest;
        }
        dropped = SendMessageW(control, CB_GETDROPPEDWIDTH, 0, 0);
    }
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    // Where the control lies in its parent's client area, and a list box's
    // item height, to tell controls that cover each other and a list whose
    // last visible item is cut.
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
    LRESULT itemHeight = lstrcmpiW(cls, L"ListBox") == 0 ? SendMessageW(control, LB_GETITEMHEIGHT, 0, 0) : 0;
    if (list->size() > 1)
        *list += ",";
    *list += "{\"id\":" + std::to_string(GetDlgCtrlID(control)) + ",\"class\":" + Quote(Utf8(cls))
             + ",\"style\":" + std::to_string(static_cast<unsigned long>(style))
             + ",\"text\":" + Quote(Utf8(text)) + ",\"visible\":"
             + (IsWindowVisible(control) ? "true" : "false")
             + ",\"client\":" + Size(client.right, client.bottom) + ",\"line\":" + Size(line.cx, line.cy)
             + ",\"wrapped\":" + Size(wrapped.cx, wrapped.cy)
             + ",\"font_height\":" + std::to_string(metrics.tmHeight)
             + ",\"widest_item\":" + std::to_string(widest)
             + ",\"rect\":[" + std::to_string(place.left) + "," + std::to_string(place.top) + ","
             + std::to_string(place.right) + "," + std::to_string(place.bottom) + "]"
             + ",\"item_height\":" + std::to_string(static_cast<long long>(itemHeight))
             + ",\"dropped_width\":" + std::to_string(static_cast<long long>(dropped)) + "}";
    return TRUE;
}

UINT DpiOf(HWND window)
{
    using Fn = UINT(WINAPI*)(HWND);
    static const auto forWindow = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return forWindow ? forWindow(window) : 0;
}

std::string TextFit(HWND window)
{
    std::string list = "[";
    EnumChildWindows(window, FitVisit, reinterpret_cast<LPARAM>(&list));
    RECT client{};
    GetClientRect(window, &client);
    return "{\"dpi\":" + std::to_string(DpiOf(window)) + ",\"client\":" + Size(client.right, client.bottom)
           + ",\"controls\":" + list + "]}";
}

std::string ToolbarSizes(HWND window)
{
    HWND toolbar = FindWindowExW(window, nullptr, L"ToolbarWindow32", nullptr);
    if (!toolbar)
        return "{\"toolbar\":false}";
    int w = 0, h = 0, count = 0;
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0));
    // Asked of the common-controls module Kelvo uses: its manifest makes
    // the name stand for version 6 in Kelvo's process, which this library
    // would not load for itself.
    HMODULE controls = GetModuleHandleW(L"comctl32.dll");
    using IconSize = BOOL(WINAPI*)(HIMAGELIST, int*, int*);
    using ImageCount = int(WINAPI*)(HIMAGELIST);
    auto iconSize = reinterpret_cast<IconSize>(
        reinterpret_cast<void*>(GetProcAddress(controls, "ImageList_GetIconSize")));
    auto imageCount = reinterpret_cast<ImageCount>(
        reinterpret_cast<void*>(GetProcAddress(controls, "ImageList_GetImageCount")));
    if (images && iconSize && imageCount) {
        iconSize(images, &w, &h);
        count = imageCount(images);
    }
    LRESULT button = SendMessageW(toolbar, TB_GETBUTTONSIZE, 0, 0);
    RECT r{};
    GetWindowRect(toolbar, &r);
    return "{\"toolbar\":true,\"dpi\":" + std::to_string(DpiOf(window)) + ",\"image\":"
           + Size(w, h) + ",\"count\":" + std::to_string(count)
           + ",\"button\":" + Size(LOWORD(button), HIWORD(button))
           + ",\"height\":" + std::to_string(r.bottom - r.top) + "}";
}

// The screen rectangle of the toolbar button of command (TB_GETRECT
// writes into the caller's memory, so only Kelvo's own process can ask).
std::string ButtonRect(HWND window, UINT command)
{
    HWND toolbar = FindWindowExW(window, nullptr, L"ToolbarWindow32", nullptr);
    RECT r{};
    if (!toolbar || !SendMessageW(toolbar, TB_GETRECT, command, reinterpret_cast<LPARAM>(&r)))
        return "{\"found\":false}";
    MapWindowPoints(toolbar, nullptr, reinterpret_cast<POINT*>(&r), 2);
    char buf[120];
    std::snprintf(buf, sizeof buf, "{\"found\":true,\"rect\":[%ld,%ld,%ld,%ld]}", r.left, r.top,
                  r.right, r.bottom);
    return buf;
}

// What Windows sends a window that has moved to a monitor of another scale:
// WM_DPICHANGED with the new DPI and a suggested rectangle, which is only
// valid inside the window's own process. The suggestion keeps the window's
// corner and scales its size from the window's present scale, as Windows
// does. The answer holds the suggestion and the window's rectangle after.
std::string DpiChange(HWND window, UINT dpi)
{
    RECT before{};
    GetWindowRect(window, &before);
    UINT from = DpiOf(window) ? DpiOf(window) : 96;
    RECT suggested{before.left, before.top,
                   before.left + MulDiv(before.right - before.left, int(dpi), int(from)),
                   before.top + MulDiv(before.bottom - before.top, int(dpi), int(from))};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT after{};
    GetWindowRect(window, &after);
    char buf[200];
    std::snprintf(buf, sizeof buf, "{\"suggested\":[%ld,%ld,%ld,%ld],\"rect\":[%ld,%ld,%ld,%ld]}",
                  suggested.left, suggested.top, suggested.right, suggested.bottom, after.left,
                  after.top, after.right, after.bottom);
    return buf;
}

void Answer(HWND window, WPARAM request, HWND replyTo)
{
    std::string json;
    // Requests 8 and 10 carry their DPI or command above the low byte.
    UINT argument = UINT(request >> 8);
    switch (request & 0xFF) {
    case kMenuBar: json = MenuBar(window); break;
    case kScrollBars: json = ScrollBars(window); break;
    case kOpenPopup: json = OpenPopup(); break;
    case kTitleLog: json = TakeTitleLog(); break;
    case kResources: json = Resources(window); break;
    case kTextFit: json = TextFit(window); break;
    case kToolbar: json = ToolbarSizes(window); break;
    case kDpiChange: json = DpiChange(window, argument); break;
    case kButtonRect: json = ButtonRect(window, argument); break;
    case kCursor:
        json = std::string("{\"wait\":")
               + (GetCursor() == LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)) ? "true" : "false")
               + "}";
        break;
    default: json = "{}"; break;
    }
    COPYDATASTRUCT data{};
    data.dwData = request;
    data.cbData = DWORD(json.size());
    data.lpData = &json[0];
    SendMessageW(replyTo, WM_COPYDATA, reinterpret_cast<WPARAM>(window),
                 reinterpret_cast<LPARAM>(&data));
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeHook(int code, WPARAM wParam, LPARAM lParam)
{
    static UINT probe = RegisterWindowMessageW(L"KdriverProbe");
    if (code == HC_ACTION) {
        auto* call = reinterpret_cast<CWPSTRUCT*>(lParam);
        if (call->message == probe)
            Answer(call->hwnd, call->wParam, reinterpret_cast<HWND>(call->lParam));
        else if (call->message == WM_SETTEXT)
            RecordTitle(call->hwnd, reinterpret_cast<const wchar_t*>(call->lParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
