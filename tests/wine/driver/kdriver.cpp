// kdriver.exe: drives Kelvo from inside Wine for the integration tests.
//
// It reads one command per line from standard input and answers each with
// one line of JSON on standard output: {"ok":true,...} or
// {"ok":false,"error":"..."}. Arguments are separated by blanks; an
// argument with blanks is written in double quotes (\" and \\ escape).
// Text goes in and out as UTF-8. Window handles are decimal numbers.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

HWND ReplyWindow();

// ---------------------------------------------------------------- text

std::wstring Wide(const std::string& s)
{
    if (s.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), &w[0], n);
    return w;
}

std::string Utf8(const std::wstring& w)
{
    if (w.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

std::string Quote(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

std::string Hex(const BYTE* data, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[data[i] >> 4];
        s += digits[data[i] & 15];
    }
    return s;
}

std::vector<BYTE> FromHex(const std::string& s)
{
    std::vector<BYTE> out;
    for (size_t i = 0; i + 1 < s.size(); i += 2)
        out.push_back(BYTE(std::strtoul(s.substr(i, 2).c_str(), nullptr, 16)));
    return out;
}

Args Split(const std::string& line)
{
    Args args;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
            ++i;
        if (i >= line.size())
            break;
        std::string arg;
        if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    ++i;
                    arg += line[i] == 'n' ? '\n' : line[i];
                } else {
                    arg += line[i];
                }
                ++i;
            }
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n')
                arg += line[i++];
        }
        args.push_back(arg);
    }
    return args;
}

// --------------------------------------------------------------- results

struct Reply {
    std::string fields;  // ,"name":value pairs
    std::string error;

    Reply& Add(const char* name, const std::string& jsonValue)
    {
        fields += ",\"";
        fields += name;
        fields += "\":";
        fields += jsonValue;
        return *this;
    }
    Reply& Num(const char* name, long long v) { return Add(name, std::to_string(v)); }
    Reply& Bool(const char* name, bool v) { return Add(name, v ? "true" : "false"); }
    Reply& Text(const char* name, const std::string& v) { return Add(name, Quote(v)); }
};

Reply Fail(const std::string& message)
{
    Reply r;
    r.error = message;
    return r;
}

long long Number(const std::string& s) { return std::strtoll(s.c_str(), nullptr, 0); }
HWND Handle(const std::string& s) { return reinterpret_cast<HWND>(intptr_t(Number(s))); }
long long HandleValue(HWND w) { return static_cast<long long>(reinterpret_cast<intptr_t>(w)); }

// Waits until done() or the deadline; polls, never sleeps blindly.
template <typename F>
bool WaitFor(DWORD timeoutMs, F done)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
}

std::wstring WindowTextOf(HWND w)
{
    wchar_t buf[1024];
    DWORD_PTR length = 0;
    // WM_GETTEXT through a timeout so a hung target cannot hang the driver.
    if (!SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG,
                             2000, &length))
        return std::wstring();
    buf[1023] = 0;
    return std::wstring(buf);
}

std::wstring ClassOf(HWND w)
{
    wchar_t buf[256];
    int n = GetClassNameW(w, buf, 256);
    return std::wstring(buf, buf + (n > 0 ? n : 0));
}

struct TopSearch {
    std::wstring cls, title;
    bool prefix;
    bool anyTitle;
    HWND found;
};

BOOL CALLBACK FindTopVisit(HWND w, LPARAM p)
{
    auto* s = reinterpret_cast<TopSearch*>(p);
    if (!s->cls.empty() && ClassOf(w) != s->cls)
        return TRUE;
    if (!s->anyTitle) {
        std::wstring t = WindowTextOf(w);
        if (s->prefix ? t.compare(0, s->title.size(), s->title) != 0 : t != s->title)
            return TRUE;
    }
    s->found = w;
    return FALSE;
}

// Top-level window matching class and title ("-" for any). A title ending
// in "*" matches as a prefix.
HWND FindTop(const std::string& cls, const std::string& title)
{
    TopSearch s{cls == "-" ? L"" : Wide(cls), title == "-" ? L"" : Wide(title), false, title == "-", nullptr};
    if (!s.title.empty() && s.title.back() == L'*') {
        s.prefix = true;
        s.title.pop_back();
    }
    EnumWindows(FindTopVisit,
        reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// ------------------------------------------------------------- commands

Reply CmdFind(const Args& a)
{
    if (a.size() < 3)
        return Fail("find class title");
    return Reply().Num("hwnd", HandleValue(FindTop(a[1], a[2])));
}

BOOL CALLBACK CollectVisit(HWND w, LPARAM p)
{
    auto* s = reinterpret_cast<std::pair<std::wstring, std::string>*>(p);
    if (ClassOf(w) == s->first) {
        if (s->second.size() > 1)
            s->second += ",";
        s->second += std::to_string(HandleValue(w));
    }
    return TRUE;
}

// windows class: every top-level window of the class.
Reply CmdWindows(const Args& a)
{
    if (a.size() < 2)
        return Fail("windows class");
    std::pair<std::wstring, std::string> s{Wide(a[1]), "["};
    EnumWindows(CollectVisit, reinterpret_cast<LPARAM>(&s));
    return Reply().Add("hwnds", s.second + "]");
}

Reply CmdWait(const Args& a)
{
    if (a.size() < 4)
        return Fail("wait class title ms");
    HWND found = nullptr;
    if (!WaitFor(DWORD(Number(a[3])), [&] { return (found = FindTop(a[1], a[2])) != nullptr; }))
        return Fail("timeout waiting for window");
    return Reply().Num("hwnd", HandleValue(found));
}

Reply CmdWaitGone(const Args& a)
{
    if (a.size() < 3)
        return Fail("wait_gone hwnd ms");
    HWND w = Handle(a[1]);
    if (!WaitFor(DWORD(Number(a[2])), [&] { return !IsWindow(w); }))
        return Fail("timeout: window still there");
    return Reply();
}

Reply CmdMessage(const Args& a, bool post)
{
    if (a.size() < 5)
        return Fail("send/post hwnd msg wparam lparam [timeout_ms]");
    HWND w = Handle(a[1]);
    UINT msg = UINT(Number(a[2]));
    WPARAM wp = WPARAM(Number(a[3]));
    LPARAM lp = LPARAM(Number(a[4]));
    if (post)
        return PostMessageW(w, msg, wp, lp) ? Reply() : Fail("PostMessage failed");
    // A shorter limit stands for a sender that gives up, as Windows does
    // with a program that takes too long over the end of the session.
    DWORD limit = a.size() > 5 ? DWORD(Number(a[5])) : 30000;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(w, msg, wp, lp, SMTO_NORMAL, limit, &result))
        return Fail("SendMessage failed or timed out");
    return Reply().Num("result", static_cast<long long>(result));
}

Reply CmdTitle(const Args& a)
{
    if (a.size() < 2)
        return Fail("title hwnd");
    HWND w = Handle(a[1]);
    if (!IsWindow(w))
        return Fail("no such window");
    return Reply().Text("title", Utf8(WindowTextOf(w)));
}

Reply CmdSetTitle(const Args& a)
{
    if (a.size() < 3)
        return Fail("set_title hwnd text");
    std::wstring text = Wide(a[2]);
    DWORD_PTR r;
    if (!SendMessageTimeoutW(Handle(a[1]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, 5000, &r))
        return Fail("WM_SETTEXT failed");
    return Reply();
}

Reply CmdState(const Args& a)
{
    if (a.size() < 2)
        return Fail("state hwnd");
    HWND w = Handle(a[1]);
    if (!IsWindow(w))
        return Fail("no such window");
    RECT r, c;
    GetWindowRect(w, &r);
    GetClientRect(w, &c);
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    char rect[160];
    std::snprintf(rect, sizeof rect, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    char client[160];
    std::snprintf(client, sizeof client, "[%ld,%ld,%ld,%ld]", origin.x, origin.y, c.right, c.bottom);
    LONG style = GetWindowLongW(w, GWL_STYLE);
    return Reply()
        .Bool("visible", IsWindowVisible(w))
        .Bool("iconic", IsIconic(w))
        .Bool("zoomed", IsZoomed(w))
        .Bool("enabled", IsWindowEnabled(w))
        .Bool("hscroll", (style & WS_HSCROLL) != 0)
        .Bool("vscroll", (style & WS_VSCROLL) != 0)
        .Num("foreground", HandleValue(GetForegroundWindow()) == HandleValue(w))
        .Add("rect", rect)
        .Add("client", client);
}

Reply CmdScroll(const Args& a)
{
    if (a.size() < 2)
        return Fail("scroll hwnd");
    HWND w = Handle(a[1]);
    Reply r;
    const char* names[2] = {"h", "v"};
    for (int bar = SB_HORZ; bar <= SB_VERT; ++bar) {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        char buf[128];
        if (GetScrollInfo(w, bar, &si))
            std::snprintf(buf, sizeof buf, "{\"min\":%d,\"max\":%d,\"pos\":%d,\"page\":%u}", si.nMin,
                          si.nMax, si.nPos, si.nPage);
        else
            std::snprintf(buf, sizeof buf, "null");
        r.Add(names[bar], buf);
    }
    return r;
}

// ------------------------------------------------------------ clipboard

bool OpenClipboardPatiently()
{
    return WaitFor(3000, [] { return OpenClipboard(nullptr) != FALSE; });
}

Reply CmdClipFormats(const Args&)
{
    if (!OpenClipboardPatiently())
        return Fail("clipboard busy");
    std::string list = "[";
    for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) {
        if (list.size() > 1)
            list += ",";
        list += std::to_string(f);
    }
    CloseClipboard();
    return Reply()
        .Add("formats", list + "]")
        .Bool("bitmap", IsClipboardFormatAvailable(CF_BITMAP))
        .Bool("palette", IsClipboardFormatAvailable(CF_PALETTE));
}

Reply CmdClipBitmap(const Args&)
{
    if (!OpenClipboardPatiently())
        return Fail("clipboard busy");
    HBITMAP b = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    HPALETTE p = static_cast<HPALETTE>(GetClipboardData(CF_PALETTE));
    BITMAP info{};
    bool got = b && GetObjectW(b, sizeof info, &info);
    WORD entries = 0;
    if (p)
        GetObjectW(p, sizeof entries, &entries);
    CloseClipboard();
    if (!got)
        return Fail("no bitmap on the clipboard");
    return Reply()
        .Num("width", info.bmWidth)
        .Num("height", info.bmHeight)
        .Num("bpp", info.bmBitsPixel * info.bmPlanes)
        .Num("palette", p ? entries : -1);
}

// Writes bitmap as an uncompressed bottom-up BMP file of the given bit
// count (24, or 8/4/1 with the colour table the platform chooses on the
// screen with its default palette, as Kelvo's own conversion does).
bool WriteBitmapBits(HBITMAP bitmap, const std::wstring& path, int bits)
{
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return false;
    int colors = bits <= 8 ? 1 << bits : 0;
    std::vector<BYTE> header(sizeof(BITMAPINFOHEADER) + 4 * colors);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(header.data());
    h->biSize = sizeof *h;
    h->biWidth = info.bmWidth;
    h->biHeight = info.bmHeight;
    h->biPlanes = 1;
    h->biBitCount = WORD(bits);
    h->biCompression = BI_RGB;
    DWORD row = ((DWORD(info.bmWidth) * DWORD(bits) + 31) / 32) * 4;
    h->biSizeImage = row * DWORD(info.bmHeight);
    std::vector<BYTE> pixels(h->biSizeImage);
    HDC dc = GetDC(nullptr);
    HPALETTE old = SelectPalette(dc, static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), FALSE);
    RealizePalette(dc);
    GetDIBits(dc, bitmap, 0, UINT(info.bmHeight), nullptr, reinterpret_cast<BITMAPINFO*>(h),
              DIB_RGB_COLORS);
    h->biSizeImage = row * DWORD(info.bmHeight);
    h->biCompression = BI_RGB;
    int lines = GetDIBits(dc, bitmap, 0, UINT(info.bmHeight), pixels.data(),
                          reinterpret_cast<BITMAPINFO*>(h), DIB_RGB_COLORS);
    SelectPalette(dc, old, FALSE);
    ReleaseDC(nullptr, dc);
    if (lines != info.bmHeight)
        return false;
    h->biClrUsed = 0;
    BITMAPFILEHEADER f{};
    f.bfType = 0x4D42;
    f.bfOffBits = DWORD(sizeof f + header.size());
    f.bfSize = f.bfOffBits + h->biSizeImage;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, &f, sizeof f, &written, nullptr) && written == sizeof f
              && WriteFile(file, header.data(), DWORD(header.size()), &written, nullptr)
              && written == header.size()
              && WriteFile(file, pixels.data(), DWORD(pixels.size()), &written, nullptr)
              && written == pixels.size();
    CloseHandle(file);
    return ok;
}

Reply CmdClipSave(const Args& a)
{
    if (a.size() < 2)
        return Fail("clip_save path [bits]");
    int bits = a.size() > 2 ? int(Number(a[2])) : 24;
    if (bits != 24 && bits != 8 && bits != 4 && bits != 1)
        return Fail("bits must be 24, 8, 4 or 1");
    if (!OpenClipboardPatiently())
        return Fail("clipboard busy");
    HBITMAP b = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    bool ok = b && WriteBitmapBits(b, Wide(a[1]), bits);
    CloseClipboard();
    return ok ? Reply() : Fail("no bitmap, or it could not be written");
}

// Puts a bitmap of w x h filled with one colour on the clipboard, as another
// program would.
Reply CmdClipPut(const Args& a)
{
    if (a.size() < 4)
        return Fail("clip_put w h 0xRRGGBB");
    int w = int(Number(a[1])), h = int(Number(a[2]));
    unsigned rgb = unsigned(Number(a[3]));
    HDC screen = GetDC(nullptr);
    HBITMAP b = CreateCompatibleBitmap(screen, w, h);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, b);
    HBRUSH brush = CreateSolidBrush(RGB(rgb >> 16, (rgb >> 8) & 255, rgb & 255));
    RECT r{0, 0, w, h};
    FillRect(memory, &r, brush);
    DeleteObject(brush);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!OpenClipboardPatiently()) {
        DeleteObject(b);
        return Fail("clipboard busy");
    }
    EmptyClipboard();
    bool ok = SetClipboardData(CF_BITMAP, b) != nullptr;
    CloseClipboard();
    if (!ok)
        DeleteObject(b);
    return ok ? Reply() : Fail("SetClipboardData failed");
}

// Puts the picture of a BMP file on the clipboard as a device bitmap.
Reply CmdClipLoad(const Args& a)
{
    if (a.size() < 2)
        return Fail("clip_load path");
    HBITMAP b = static_cast<HBITMAP>(
        LoadImageW(nullptr, Wide(a[1]).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (!b)
        return Fail("cannot load the file");
    if (!OpenClipboardPatiently()) {
        DeleteObject(b);
        return Fail("clipboard busy");
    }
    EmptyClipboard();
    bool ok = SetClipboardData(CF_BITMAP, b) != nullptr;
    CloseClipboard();
    if (!ok)
        DeleteObject(b);
    return ok ? Reply() : Fail("SetClipboardData failed");
}

// A monochrome bitmap (1 plane, 1 bit) of w x h with a checker pattern of
// 8-pixel squares on the clipboard; with depth 4 or 8, a bitmap of that
// depth whose 8-pixel squares take the first 16 colour indices in turn.
Reply CmdClipPutMono(const Args& a)
{
    if (a.size() < 3)
        return Fail("clip_put_mono w h [depth]");
    int w = int(Number(a[1])), h = int(Number(a[2]));
    int depth = a.size() > 3 ? int(Number(a[3])) : 1;
    if (depth != 1 && depth != 4 && depth != 8)
        return Fail("depth must be 1, 4 or 8");
    int stride = ((w * depth + 15) / 16) * 2;
    std::vector<BYTE> bits(size_t(stride) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned square = unsigned((x / 8) + (y / 8));
            unsigned index = depth == 1 ? square & 1 : square % 16;
            int bit = x * depth;  // from the row's start, high bits first
            bits[size_t(y) * stride + size_t(bit / 8)] |= BYTE(index << (8 - depth - bit % 8));
        }
    HBITMAP b = CreateBitmap(w, h, 1, UINT(depth), bits.data());
    if (!b)
        return Fail("CreateBitmap failed");
    if (!OpenClipboardPatiently()) {
        DeleteObject(b);
        return Fail("clipboard busy");
    }
    EmptyClipboard();
    bool ok = SetClipboardData(CF_BITMAP, b) != nullptr;
    CloseClipboard();
    if (!ok)
        DeleteObject(b);
    return ok ? Reply() : Fail("SetClipboardData failed");
}

Reply CmdClipEmpty(const Args&)
{
    if (!OpenClipboardPatiently())
        return Fail("clipboard busy");
    EmptyClipboard();
    CloseClipboard();
    return Reply();
}

// A clipboard format by number, or by the name of a registered format.
UINT ClipFormatOf(const std::string& name)
{
    if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos)
        return UINT(Number(name));
    return RegisterClipboardFormatW(Wide(name).c_str());
}

// The number of a registered clipboard format.
Reply CmdClipFormatId(const Args& a)
{
    if (a.size() < 2)
        return Fail("clip_format_id name");
    return Reply().Num("format", ClipFormatOf(a[1]));
}

// Writes the bytes of one clipboard format to a file, as a program that
// pastes it gets them (a format offered for later is made now).
Reply CmdClipData(const Args& a)
{
    if (a.size() < 3)
        return Fail("clip_data format path");
    UINT format = ClipFormatOf(a[1]);
    if (!OpenClipboardPatiently())
        return Fail("clipboard busy");
    HGLOBAL data = GetClipboardData(format);
    const void* bytes = data ? GlobalLock(data) : nullptr;
    SIZE_T size = bytes ? GlobalSize(data) : 0;
    bool ok = false;
    if (bytes) {
        HANDLE file = CreateFileW(Wide(a[2]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        ok = file != INVALID_HANDLE_VALUE && WriteFile(file, bytes, DWORD(size), &written, nullptr)
             && written == size;
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        GlobalUnlock(data);
    }
    CloseClipboard();
    return ok ? Reply().Num("size", static_cast<long long>(size)) : Fail("no such format, or not written");
}

// Empties the clipboard and puts a file's bytes there as one format only,
// as a program that copies only that format does.
Reply CmdClipPutData(const Args& a)
{
    if (a.size() < 3)
        return Fail("clip_put_data format path");
    UINT format = ClipFormatOf(a[1]);
    HANDLE file = CreateFileW(Wide(a[2]).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail("cannot open the file");
    DWORD size = GetFileSize(file, nullptr);
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
    DWORD read = 0;
    void* p = data ? GlobalLock(data) : nullptr;
    bool ok = p && ReadFile(file, p, size, &read, nullptr) && read == size;
    if (p)
        GlobalUnlock(data);
    CloseHandle(file);
    if (ok && OpenClipboardPatiently()) {
        EmptyClipboard();
        ok = SetClipboardData(format, data) != nullptr;
        CloseClipboard();
    } else {
        ok = false;
    }
    if (!ok && data)
        GlobalFree(data);
    return ok ? Reply() : Fail("not put on the clipboard");
}

// The window that has the clipboard open at this moment (0: none).
Reply CmdClipOpener(const Args&)
{
    return Reply().Num("hwnd", HandleValue(GetOpenClipboardWindow()));
}

// Holds the clipboard open for ms milliseconds (another program busy with it).
Reply CmdClipHold(const Args& a)
{
    if (a.size() < 2)
        return Fail("clip_hold ms");
    // Opened for a window of ours: an open without a window would not keep
    // out other openers without one.
    HWND owner = ReplyWindow();
    if (!WaitFor(3000, [&] { return OpenClipboard(owner) != FALSE; }))
        return Fail("clipboard busy");
    Sleep(DWORD(Number(a[1])));
    CloseClipboard();
    return Reply();
}

// ------------------------------------------------------------- registry

const char kSettingsKey[] = "Software\\Norvik\\Kelvo";

HKEY Root(const std::string& name)
{
    if (name == "HKLM")
        return HKEY_LOCAL_MACHINE;
    return HKEY_CURRENT_USER;
}

// reg_get [root path] name
Reply CmdRegGet(const Args& a)
{
    std::string root = "HKCU", path = kSettingsKey, name;
    if (a.size() == 2) {
        name = a[1];
    } else if (a.size() >= 4) {
        root = a[1];
        path = a[2];
        name = a[3];
    } else {
        return Fail("reg_get [root path] name");
    }
    HKEY key;
    if (RegOpenKeyExA(Root(root), path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return Reply().Bool("found", false).Bool("key", false);
    BYTE data[4096];
    DWORD type = 0, length = sizeof data;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, data, &length);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return Reply().Bool("found", false).Bool("key", true);
    return Reply().Bool("found", true).Num("type", type).Num("length", length).Text("data",
                                                                                   Hex(data, length));
}

// reg_set [root path] name type hex
Reply CmdRegSet(const Args& a)
{
    std::string root = "HKCU", path = kSettingsKey, name, hex;
    DWORD type;
    if (a.size() == 4) {
        name = a[1];
        type = DWORD(Number(a[2]));
        hex = a[3];
    } else if (a.size() >= 6) {
        root = a[1];
        path = a[2];
        name = a[3];
        type = DWORD(Number(a[4]));
        hex = a[5];
    } else {
        return Fail("reg_set [root path] name type hex");
    }
    if (hex == "-")
        hex.clear();
    HKEY key;
    if (RegCreateKeyExA(Root(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return Fail("cannot open key");
    std::vector<BYTE> data = FromHex(hex);
    LONG rc = RegSetValueExA(key, name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                             DWORD(data.size()));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? Reply() : Fail("RegSetValueEx failed");
}

// reg_get_w name / reg_set_w name type hex: a value of Kelvo's key through
// the UTF-16 functions, so that a text's bytes are its UTF-16 as stored
// (the functions above show and take texts in the ANSI code page).
Reply CmdRegGetW(const Args& a)
{
    if (a.size() < 2)
        return Fail("reg_get_w name");
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return Reply().Bool("found", false);
    std::vector<BYTE> data(70000);
    DWORD type = 0, length = DWORD(data.size());
    LONG rc = RegQueryValueExW(key, Wide(a[1]).c_str(), nullptr, &type, data.data(), &length);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return Reply().Bool("found", false);
    return Reply().Bool("found", true).Num("type", type).Text("data", Hex(data.data(), length));
}

Reply CmdRegSetW(const Args& a)
{
    if (a.size() < 4)
        return Fail("reg_set_w name type hex");
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return Fail("cannot open key");
    std::vector<BYTE> data = FromHex(a[3] == "-" ? std::string() : a[3]);
    LONG rc = RegSetValueExW(key, Wide(a[1]).c_str(), 0, DWORD(Number(a[2])),
                             data.empty() ? nullptr : data.data(), DWORD(data.size()));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? Reply() : Fail("RegSetValueEx failed");
}

// reg_del [root path] name
Reply CmdRegDel(const Args& a)
{
    std::string root = "HKCU", path = kSettingsKey, name;
    if (a.size() == 2) {
        name = a[1];
    } else if (a.size() >= 4) {
        root = a[1];
        path = a[2];
        name = a[3];
    } else {
        return Fail("reg_del [root path] name");
    }
    HKEY key;
    if (RegOpenKeyExA(Root(root), path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return Reply();
    RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
    return Reply();
}

// reg_del_key [root path]: deletes a key that has no subkeys.
Reply CmdRegDelKey(const Args& a)
{
    std::string root = a.size() >= 3 ? a[1] : "HKCU";
    std::string path = a.size() >= 3 ? a[2] : kSettingsKey;
    LONG rc = RegDeleteKeyA(Root(root), path.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? Reply() : Fail("RegDeleteKey failed");
}

// reg_values [root path]: every value of the key.
Reply CmdRegValues(const Args& a)
{
    std::string root = a.size() >= 3 ? a[1] : "HKCU";
    std::string path = a.size() >= 3 ? a[2] : kSettingsKey;
    HKEY key;
    if (RegOpenKeyExA(Root(root), path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return Reply().Bool("key", false).Add("values", "[]");
    std::string list = "[";
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof name, type = 0;
        BYTE data[4096];
        DWORD length = sizeof data;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &length)
            != ERROR_SUCCESS)
            break;
        if (list.size() > 1)
            list += ",";
        list += "{\"name\":" + Quote(name) + ",\"type\":" + std::to_string(type)
                + ",\"data\":" + Quote(Hex(data, length)) + "}";
    }
    RegCloseKey(key);
    return Reply().Bool("key", true).Add("values", list + "]");
}

// -------------------------------------------------------------- dialogs

Reply CmdClick(const Args& a)
{
    if (a.size() < 3)
        return Fail("click hwnd id");
    HWND dialog = Handle(a[1]);
    int id = int(Number(a[2]));
    HWND control = GetDlgItem(dialog, id);
    // Posted, so that a button that opens a further modal loop does not
    // block the driver.
    if (!PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control)))
        return Fail("PostMessage failed");
    return Reply();
}

// A real click on a check box or radio button: the control changes its
// state and notifies the dialog.
Reply CmdPress(const Args& a)
{
    if (a.size() < 3)
        return Fail("press hwnd id");
    HWND control = GetDlgItem(Handle(a[1]), int(Number(a[2])));
    if (!control)
        return Fail("no such control");
    DWORD_PTR r;
    if (!SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &r))
        return Fail("BM_CLICK failed");
    return Reply();
}

Reply CmdSetText(const Args& a)
{
    if (a.size() < 4)
        return Fail("set_text hwnd id text");
    HWND control = GetDlgItem(Handle(a[1]), int(Number(a[2])));
    if (!control)
        return Fail("no such control");
    std::wstring text = Wide(a[3]);
    DWORD_PTR r;
    if (!SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, 5000, &r))
        return Fail("WM_SETTEXT failed");
    return Reply();
}

Reply CmdControl(const Args& a)
{
    if (a.size() < 3)
        return Fail("control hwnd id");
    HWND control = GetDlgItem(Handle(a[1]), int(Number(a[2])));
    if (!control)
        return Fail("no such control");
    DWORD_PTR check = 0;
    SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &check);
    return Reply()
        .Text("text", Utf8(WindowTextOf(control)))
        .Text("class", Utf8(ClassOf(control)))
        .Bool("enabled", IsWindowEnabled(control))
        .Bool("visible", IsWindowVisible(control))
        .Num("check", static_cast<long long>(check));
}

// combo_select hwnd id text: selects the first item of a combo box that
// starts with text and tells the dialog, as picking it with the mouse
// would.
Reply CmdComboSelect(const Args& a)
{
    if (a.size() < 4)
        return Fail("combo_select hwnd id text");
    HWND dialog = Handle(a[1]);
    int id = int(Number(a[2]));
    HWND combo = GetDlgItem(dialog, id);
    if (!combo)
        return Fail("no such control");
    std::wstring text = Wide(a[3]);
    DWORD_PTR index = 0;
    if (!SendMessageTimeoutW(combo, CB_SELECTSTRING, WPARAM(-1), reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, 5000, &index)
        || LRESULT(index) == CB_ERR)
        return Fail("no such item");
    if (!PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo)))
        return Fail("PostMessage failed");
    return Reply().Num("index", static_cast<long long>(index));
}

// combo_items hwnd id: the items of a combo box and the selected index.
Reply CmdComboItems(const Args& a)
{
    if (a.size() < 3)
        return Fail("combo_items hwnd id");
    HWND combo = GetDlgItem(Handle(a[1]), int(Number(a[2])));
    if (!combo)
        return Fail("no such control");
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    std::string items = "[";
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring text(size_t(SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(i), 0)) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(&text[0]));
        items += (i ? "," : "") + Quote(Utf8(text.c_str()));
    }
    return Reply().Add("items", items + "]").Num("selected", SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

BOOL CALLBACK ChildVisit(HWND w, LPARAM p)
{
    auto* list = reinterpret_cast<std::string*>(p);
    if (list->size() > 1)
        *list += ",";
    RECT r;
    GetWindowRect(w, &r);
    char rect[128];
    std::snprintf(rect, sizeof rect, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    *list += "{\"id\":" + std::to_string(GetDlgCtrlID(w)) + ",\"class\":"
             + Quote(Utf8(ClassOf(w))) + ",\"text\":" + Quote(Utf8(WindowTextOf(w)))
             + ",\"enabled\":" + (IsWindowEnabled(w) ? "true" : "false")
             + ",\"visible\":" + (IsWindowVisible(w) ? "true" : "false")
             + ",\"rect\":" + rect + ",\"hwnd\":" + std::to_string(HandleValue(w)) + "}";
    return TRUE;
}

// Every child window: id, class, text, state.
Reply CmdChildren(const Args& a)
{
    if (a.size() < 2)
        return Fail("children hwnd");
    std::string list = "[";
    EnumChildWindows(Handle(a[1]), ChildVisit,
        reinterpret_cast<LPARAM>(&list));
    return Reply().Add("children", list + "]");
}

Reply CmdWindowRect(const Args& a)
{
    if (a.size() < 2)
        return Fail("rect hwnd");
    RECT r;
    if (!GetWindowRect(Handle(a[1]), &r))
        return Fail("no such window");
    char rect[128];
    std::snprintf(rect, sizeof rect, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    return Reply().Add("rect", rect).Num("owner", HandleValue(GetWindow(Handle(a[1]), GW_OWNER)));
}

// The primary monitor's size, and the virtual screen (every monitor).
Reply CmdScreen(const Args&)
{
    char box[128];
    std::snprintf(box, sizeof box, "[%d,%d,%d,%d]", GetSystemMetrics(SM_XVIRTUALSCREEN),
                  GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN),
                  GetSystemMetrics(SM_CYVIRTUALSCREEN));
    return Reply()
        .Num("width", GetSystemMetrics(SM_CXSCREEN))
        .Num("height", GetSystemMetrics(SM_CYSCREEN))
        .Num("monitors", GetSystemMetrics(SM_CMONITORS))
        .Add("virtual", box);
}

Reply CmdCursor(const Args&)
{
    POINT p;
    GetCursorPos(&p);
    return Reply().Num("x", p.x).Num("y", p.y);
}

// A plain window of one colour, for tests that need known pixels on the
// screen; it lives as long as the driver. place x y w h 0xRRGGBB
Reply CmdPlace(const Args& a)
{
    if (a.size() < 6)
        return Fail("place x y w h 0xRRGGBB");
    static bool registered = false;
    if (!registered) {
        WNDCLASSW c{};
        c.lpfnWndProc = DefWindowProcW;
        c.hInstance = GetModuleHandleW(nullptr);
        c.lpszClassName = L"KdriverPatch";
        RegisterClassW(&c);
        registered = true;
    }
    unsigned rgb = unsigned(Number(a[5]));
    HWND w = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"KdriverPatch", L"patch", WS_POPUP,
                             int(Number(a[1])), int(Number(a[2])), int(Number(a[3])),
                             int(Number(a[4])), nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!w)
        return Fail("CreateWindow failed");
    SetClassLongPtrW(w, GCLP_HBRBACKGROUND,
                     reinterpret_cast<LONG_PTR>(CreateSolidBrush(RGB(rgb >> 16, (rgb >> 8) & 255, rgb & 255))));
    ShowWindow(w, SW_SHOWNOACTIVATE);
    UpdateWindow(w);
    return Reply().Num("hwnd", HandleValue(w));
}

Reply CmdDestroy(const Args& a)
{
    if (a.size() < 2)
        return Fail("destroy hwnd");
    return DestroyWindow(Handle(a[1])) ? Reply() : Fail("DestroyWindow failed");
}

// Runs the driver's own message queue for ms milliseconds so its windows
// paint.
Reply CmdPump(const Args& a)
{
    DWORD ms = a.size() > 1 ? DWORD(Number(a[1])) : 100;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        Sleep(10);
    }
    return Reply();
}

// toolbar hwnd id...: state of the main window's toolbar buttons by command.
Reply CmdToolbar(const Args& a)
{
    if (a.size() < 2)
        return Fail("toolbar hwnd id...");
    HWND toolbar = FindWindowExW(Handle(a[1]), nullptr, L"ToolbarWindow32", nullptr);
    if (!toolbar)
        return Fail("no toolbar");
    DWORD_PTR count = 0;
    SendMessageTimeoutW(toolbar, TB_BUTTONCOUNT, 0, 0, SMTO_NORMAL, 5000, &count);
    std::string list = "{";
    for (size_t i = 2; i < a.size(); ++i) {
        DWORD_PTR state = 0;
        if (!SendMessageTimeoutW(toolbar, TB_GETSTATE, WPARAM(Number(a[i])), 0, SMTO_NORMAL, 5000,
                                 &state))
            return Fail("TB_GETSTATE failed");
        if (list.size() > 1)
            list += ",";
        long long s = state == DWORD_PTR(-1) ? -1 : static_cast<long long>(state);
        list += "\"" + a[i] + "\":" + std::to_string(s);
    }
    RECT r;
    GetWindowRect(toolbar, &r);
    return Reply()
        .Num("hwnd", HandleValue(toolbar))
        .Num("count", static_cast<long long>(count))
        .Num("height", r.bottom - r.top)
        .Add("states", list + "}");
}

// Makes a window repaint everything, as uncovering it would.
Reply CmdInvalidate(const Args& a)
{
    if (a.size() < 2)
        return Fail("invalidate hwnd");
    HWND w = Handle(a[1]);
    if (!InvalidateRect(w, nullptr, TRUE))
        return Fail("InvalidateRect failed");
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    return Reply();
}

// ------------------------------------------------------------- probing

// Menus and window scroll bars belong to the process that made them; the
// probe library (kprobe.dll) is hooked into Kelvo's GUI thread and answers
// from inside, by WM_COPYDATA to this window.
std::string g_probeAnswer;

LRESULT CALLBACK ReplyWndProc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_COPYDATA) {
        auto* data = reinterpret_cast<COPYDATASTRUCT*>(lp);
        g_probeAnswer.assign(static_cast<const char*>(data->lpData), data->cbData);
        return TRUE;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

HWND ReplyWindow()
{
    static HWND window;
    if (!window) {
        WNDCLASSW c{};
        c.lpfnWndProc = ReplyWndProc;
        c.hInstance = GetModuleHandleW(nullptr);
        c.lpszClassName = L"KdriverReply";
        RegisterClassW(&c);
        window = CreateWindowExW(0, L"KdriverReply", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    }
    return window;
}

bool HookThread(DWORD thread)
{
    static std::vector<std::pair<DWORD, HHOOK>> hooks;
    for (auto& h : hooks)
        if (h.first == thread)
            return true;
    static HMODULE probe = LoadLibraryW(L"kprobe.dll");
    if (!probe)
        return false;
    auto proc = reinterpret_cast<HOOKPROC>(GetProcAddress(probe, "ProbeHook"));
    HHOOK hook = proc ? SetWindowsHookExW(WH_CALLWNDPROC, proc, probe, thread) : nullptr;
    if (!hook)
        return false;
    hooks.emplace_back(thread, hook);
    return true;
}

// probe hwnd request: 1 menu bar, 2 scroll bars, 3 open popup menu, 4 titles
// given to the main window since the last request 4.
Reply CmdProbe(const Args& a)
{
    if (a.size() < 3)
        return Fail("probe hwnd request");
    HWND target = Handle(a[1]);
    DWORD thread = GetWindowThreadProcessId(target, nullptr);
    if (!thread || !HookThread(thread))
        return Fail("cannot hook the window's thread");
    static UINT message = RegisterWindowMessageW(L"KdriverProbe");
    g_probeAnswer.clear();
    DWORD_PTR r;
    if (!SendMessageTimeoutW(target, message, WPARAM(Number(a[2])),
                             reinterpret_cast<LPARAM>(ReplyWindow()), SMTO_NORMAL, 10000, &r))
        return Fail("probe message failed");
    if (g_probeAnswer.empty())
        return Fail("no answer from the probe");
    return Reply().Add("result", g_probeAnswer);
}

// move hwnd x y w h: places and sizes a window (the user dragging its
// frame).
Reply CmdMove(const Args& a)
{
    if (a.size() < 6)
        return Fail("move hwnd x y w h");
    if (!SetWindowPos(Handle(a[1]), nullptr, int(Number(a[2])), int(Number(a[3])), int(Number(a[4])),
                      int(Number(a[5])), SWP_NOZORDER | SWP_NOACTIVATE))
        return Fail("SetWindowPos failed");
    return Reply();
}

// time_command hwnd command lparam ms [class]: posts WM_COMMAND and times,
// in milliseconds from the post, when the window hides, when the clipboard
// changes after that and when the window shows again. With a class, also
// tells whether a window of that class was seen visible meanwhile.
Reply CmdTimeCommand(const Args& a)
{
    if (a.size() < 5)
        return Fail("time_command hwnd command lparam ms [class]");
    HWND w = Handle(a[1]);
    std::wstring watch = a.size() > 5 ? Wide(a[5]) : std::wstring();
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    DWORD sequence = GetClipboardSequenceNumber();
    QueryPerformanceCounter(&start);
    if (!PostMessageW(w, WM_COMMAND, WPARAM(Number(a[2])), LPARAM(Number(a[3]))))
        return Fail("PostMessage failed");
    auto ms = [&] { return double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart); };
    double hidden = -1, changed = -1, shown = -1;
    bool watchedSeen = false;
    double limit = double(Number(a[4]));
    for (;;) {
        QueryPerformanceCounter(&now);
        bool visible = IsWindowVisible(w) != FALSE;
        if (hidden < 0 && !visible)
            hidden = ms();
        if (hidden >= 0 && changed < 0 && GetClipboardSequenceNumber() != sequence)
            changed = ms();
        if (!watch.empty() && !watchedSeen) {
            HWND other = FindWindowW(watch.c_str(), nullptr);
            watchedSeen = other && IsWindowVisible(other);
        }
        if (hidden >= 0 && visible) {
            shown = ms();
            break;
        }
        if (ms() > limit)
            break;
        Sleep(1);
    }
    char buf[160];
    std::snprintf(buf, sizeof buf, "{\"hidden\":%.1f,\"changed\":%.1f,\"shown\":%.1f}", hidden,
                  changed, shown);
    return Reply().Add("times", buf).Bool("watched_seen", watchedSeen);
}

// notify_icon hwnd id modify|delete: asks the notification area about the
// icon of another program's window: a modify succeeds only while the icon
// is there; a delete takes it away, as a restarting taskbar loses it.
Reply CmdNotifyIcon(const Args& a)
{
    if (a.size() < 4)
        return Fail("notify_icon hwnd id modify|delete");
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = Handle(a[1]);
    data.uID = UINT(Number(a[2]));
    DWORD op = a[3] == "delete" ? NIM_DELETE : NIM_MODIFY;
    return Reply().Bool("result", Shell_NotifyIconW(op, &data) != FALSE);
}

// broadcast name: posts the registered message to every top-level window,
// as Explorer announces itself.
Reply CmdBroadcast(const Args& a)
{
    if (a.size() < 2)
        return Fail("broadcast name");
    UINT message = RegisterWindowMessageW(Wide(a[1]).c_str());
    if (!message || !PostMessageW(HWND_BROADCAST, message, 0, 0))
        return Fail("broadcast failed");
    return Reply();
}

// processes name: the ids of the running processes of that file name
// (in this Wine prefix only).
Reply CmdProcesses(const Args& a)
{
    if (a.size() < 2)
        return Fail("processes name");
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return Fail("CreateToolhelp32Snapshot failed");
    std::wstring name = Wide(a[1]);
    std::string list = "[";
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (lstrcmpiW(entry.szExeFile, name.c_str()) == 0)
            list += (list.size() > 1 ? "," : "") + std::to_string(entry.th32ProcessID);
    CloseHandle(snapshot);
    return Reply().Add("pids", list + "]");
}

// terminate pid: ends a process, as Task Manager does.
Reply CmdTerminate(const Args& a)
{
    if (a.size() < 2)
        return Fail("terminate pid");
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, DWORD(Number(a[1])));
    if (!process)
        return Fail("OpenProcess failed");
    bool ended = TerminateProcess(process, 1) && WaitForSingleObject(process, 5000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended ? Reply() : Fail("TerminateProcess failed");
}

// record path text...: writes the texts, one a line, into a new file. Used
// as the command of a file association, to see what the shell opened.
Reply CmdRecord(const Args& a)
{
    if (a.size() < 2)
        return Fail("record path text...");
    std::string text;
    for (size_t i = 2; i < a.size(); ++i)
        text += a[i] + "\n";
    HANDLE file = CreateFileW(Wide(a[1]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail("cannot create the file");
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
    CloseHandle(file);
    return ok ? Reply() : Fail("cannot write the file");
}

// key_up vk: a key-up of virtual key vk with no key-down before it, as
// Windows gives Print Screen to keyboard hooks (X drops a lone key release,
// so xdotool cannot send one).
Reply CmdKeyUp(const Args& a)
{
    if (a.size() < 2)
        return Fail("key_up vk");
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = WORD(Number(a[1]));
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(1, &input, sizeof input) == 1 ? Reply() : Fail("SendInput failed");
}

Reply Dispatch(const Args& a)
{
    const std::string& c = a[0];
    if (c == "find") return CmdFind(a);
    if (c == "wait") return CmdWait(a);
    if (c == "windows") return CmdWindows(a);
    if (c == "wait_gone") return CmdWaitGone(a);
    if (c == "send") return CmdMessage(a, false);
    if (c == "post") return CmdMessage(a, true);
    if (c == "title") return CmdTitle(a);
    if (c == "state") return CmdState(a);
    if (c == "scroll") return CmdScroll(a);
    if (c == "clip_formats") return CmdClipFormats(a);
    if (c == "clip_bitmap") return CmdClipBitmap(a);
    if (c == "clip_save") return CmdClipSave(a);
    if (c == "clip_put") return CmdClipPut(a);
    if (c == "clip_empty") return CmdClipEmpty(a);
    if (c == "clip_load") return CmdClipLoad(a);
    if (c == "clip_put_mono") return CmdClipPutMono(a);
    if (c == "set_title") return CmdSetTitle(a);
    if (c == "clip_hold") return CmdClipHold(a);
    if (c == "clip_opener") return CmdClipOpener(a);
    if (c == "clip_data") return CmdClipData(a);
    if (c == "clip_format_id") return CmdClipFormatId(a);
    if (c == "clip_put_data") return CmdClipPutData(a);
    if (c == "reg_get") return CmdRegGet(a);
    if (c == "reg_set") return CmdRegSet(a);
    if (c == "reg_get_w") return CmdRegGetW(a);
    if (c == "reg_set_w") return CmdRegSetW(a);
    if (c == "reg_del") return CmdRegDel(a);
    if (c == "reg_del_key") return CmdRegDelKey(a);
    if (c == "reg_values") return CmdRegValues(a);
    if (c == "click") return CmdClick(a);
    if (c == "press") return CmdPress(a);
    if (c == "set_text") return CmdSetText(a);
    if (c == "control") return CmdControl(a);
    if (c == "combo_select") return CmdComboSelect(a);
    if (c == "combo_items") return CmdComboItems(a);
    if (c == "children") return CmdChildren(a);
    if (c == "rect") return CmdWindowRect(a);
    if (c == "screen") return CmdScreen(a);
    if (c == "cursor") return CmdCursor(a);
    if (c == "place") return CmdPlace(a);
    if (c == "destroy") return CmdDestroy(a);
    if (c == "pump") return CmdPump(a);
    if (c == "toolbar") return CmdToolbar(a);
    if (c == "invalidate") return CmdInvalidate(a);
    if (c == "probe") return CmdProbe(a);
    if (c == "move") return CmdMove(a);
    if (c == "time_command") return CmdTimeCommand(a);
    if (c == "notify_icon") return CmdNotifyIcon(a);
    if (c == "broadcast") return CmdBroadcast(a);
    if (c == "record") return CmdRecord(a);
    if (c == "processes") return CmdProcesses(a);
    if (c == "terminate") return CmdTerminate(a);
    if (c == "key_up") return CmdKeyUp(a);
    return Fail("unknown command " + c);
}

void Answer(const Reply& r)
{
    std::string line = r.error.empty() ? "{\"ok\":true" + r.fields + "}"
                                       : "{\"ok\":false,\"error\":" + Quote(r.error) + "}";
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    // One command from the command line, or a session on standard input.
    if (argc > 1) {
        Args a(argv + 1, argv + argc);
        Reply r = Dispatch(a);
        Answer(r);
        return r.error.empty() ? 0 : 1;
    }
    char buffer[65536];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        Args a = Split(buffer);
        if (a.empty())
            continue;
        if (a[0] == "quit")
            break;
        Answer(Dispatch(a));
    }
    return 0;
}
