// kbench.exe: times Kelvo's own code paths inside a Windows process, built
// from the same sources as kelvo.exe, without the pauses that the commands
// add for the user (hiding the window, letting the screen settle).
//
//   kbench grab ROUNDS FOLDER [rle8|png|bmp] [BACKDROP.bmp]
//                                      desktop grab -> Capture DIB -> BMP file
//                                      (or PNG file); with a backdrop, a
//                                      window showing that picture covers
//                                      the screen during the grabs
//   kbench pngoptions ROUNDS BACKDROP.bmp
//                                      one grab of the backdrop, then its PNG
//                                      encoding with each filter and some
//                                      compression levels
//   kbench paint ROUNDS WIDTH HEIGHT   paints of a WIDTH x HEIGHT picture in
//                                      the main window, unzoomed and zoomed
//   kbench markup MOVES WIDTH HEIGHT   a pen stroke of MOVES mouse moves in the
//                                      markup editor on a WIDTH x HEIGHT
//                                      picture, each move with its redraw,
//                                      unzoomed and zoomed; then 100 strokes
//                                      and the memory their undo steps hold
//   kbench still ROUNDS                the rectangle command to the still
//                                      screen shown (with and without the
//                                      pause that lets the screen settle),
//                                      and a redraw of the magnifier and the
//                                      selection per mouse move, hovering
//                                      and dragging
//   kbench plugins ROUNDS PICTURE      a picture opened through the bundled
//                                      plug-in inside this process (as Kelvo
//                                      did before the helper) and through
//                                      the helper; the helper's start
//   kbench codec ROUNDS PICTURE...     each picture opened through the
//                                      system's codecs in the helper (no
//                                      plug-in loaded), then through the
//                                      bundled plug-in in the helper
//   kbench openbmp BMP                 the working set a true-colour BMP
//                                      takes while it is read into the
//                                      display's bitmap, at its peak and
//                                      after, in bytes
//
// Each run prints one JSON line per measurement, times in milliseconds.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/display.h"
#include "app/settings.h"
#include "app/commands.h"
#include "capture/capture.h"
#include "markup/editor.h"
#include "picture/picture.h"
#include "picture/plugins.h"
#include "picture/spi_host.h"
#include "spihost/plugin_table.h"

namespace {

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Report(const char* what, std::vector<double> ms, const char* extra = "")
{
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    std::printf("{\"what\":\"%s\",\"rounds\":%zu,\"median\":%.3f,\"min\":%.3f,\"mean\":%.3f%s,\"ms\":[",
                what, ms.size(), ms[ms.size() / 2], ms.front(), sum / double(ms.size()), extra);
    for (size_t i = 0; i < ms.size(); ++i)
        std::printf(i ? ",%.3f" : "%.3f", ms[i]);
    std::printf("]}\n");
    std::fflush(stdout);
}

// The screen read alone, with the grab's own copy, without handing the
// bitmap to the clipboard: the part of a grab no change in Kelvo can
// shorten.
double ScreenReadOnly()
{
    double t0 = Now();
    HBITMAP bitmap = nullptr;
    if (ScreenDC screen; screen)
        bitmap = CopyScreen(screen.get(), VirtualScreenRect());
    GdiFlush();
    double t1 = Now();
    DeleteObject(bitmap);
    return t1 - t0;
}

HWND MakeMainWindow()
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    g_settings = DefaultSettings();
    if (!RegisterWindowClasses(instance))
        return nullptr;
    HWND window = CreateMainWindow(instance);
    if (!window)
        return nullptr;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    Pump();
    return window;
}

// A window over the whole screen that paints one picture: what the grabs
// of the benchmark see.
LRESULT CALLBACK BackdropProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    auto picture = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(window, GWLP_USERDATA));
    BITMAP info{};
    GetObjectW(picture, sizeof info, &info);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    EndPaint(window, &paint);
    return 0;
}

HWND ShowBackdrop(const std::string& path)
{
    auto picture = static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (!picture)
        return nullptr;
    WNDCLASSW type{};
    type.lpfnWndProc = BackdropProc;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"KbenchBackdrop";
    RegisterClassW(&type);
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, type.lpszClassName, L"", WS_POPUP, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                  nullptr, nullptr, type.hInstance, nullptr);
    if (!window)
        return nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(picture));
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    Pump();
    return window;
}

int Grab(int rounds, const std::string& folder, const std::string& kind, const std::string& backdrop)
{
    HWND window = MakeMainWindow();
    if (!window)
        return 1;
    const bool rle8 = kind == "rle8", png = kind == "png";
    g_compression = rle8 ? 1 : 0;
    // The user-facing command hides the window first; here it stays out of
    // the way in the corner, so only the work itself is timed.
    ShowWindow(window, SW_MINIMIZE);
    Pump();
    if (!backdrop.empty() && !ShowBackdrop(backdrop)) {
        std::fprintf(stderr, "backdrop not shown\n");
        return 1;
    }
    // Let the screen settle before the first grab.
    for (int i = 0; i < 20; ++i) {
        Sleep(25);
        Pump();
    }
    std::vector<double> grab, dib, whole, read, file;
    std::string path = folder + (png ? "\\kbench.png" : "\\kbench.bmp");
    std::wstring widePath(path.size() + 1, L'\0');
    int wideLength = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &widePath[0], int(widePath.size()));
    widePath.resize(wideLength > 0 ? size_t(wideLength - 1) : 0);
    for (int i = 0; i < rounds; ++i) {
        read.push_back(ScreenReadOnly());
        // As capture and output does it: a PNG file's encoding starts
        // ahead, during the clipboard hand-over.
        double t0 = Now();
        GrabScreen(window, nullptr, nullptr, png);
        double t1 = Now();
        if (!SaveClipboardAs(window, widePath.c_str(), png ? PictureFormat::kPng : PictureFormat::kBmp)) {
            std::fprintf(stderr, "save failed\n");
            return 1;
        }
        double t2 = Now();
        // Conversion alone, as the writer does it.
        if (OpenClipboard(window)) {
            HGLOBAL d = MakeDibFromBitmap(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)),
                                          static_cast<HPALETTE>(GetClipboardData(CF_PALETTE)));
            CloseClipboard();
            if (d)
                GlobalFree(d);
        }
        double t3 = Now();
        grab.push_back(t1 - t0);
        dib.push_back(t3 - t2);
        whole.push_back(t2 - t0);
        file.push_back(t2 - t1);
        Pump();
    }
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    WIN32_FILE_ATTRIBUTE_DATA written{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &written);
    char extra[160];
    std::snprintf(extra, sizeof extra, ",\"width\":%d,\"height\":%d,\"kind\":\"%s\",\"bytes\":%lu", w,
                  h, kind.empty() ? "bmp" : kind.c_str(), static_cast<unsigned long>(written.nFileSizeLow));
    Report("screen_read", read, extra);
    Report("grab", grab, extra);
    Report("capture_dib", dib, extra);
    Report("file", file, extra);
    Report("grab_to_file", whole, extra);
    DestroyWindow(window);
    return 0;
}

// The PNG encoder's options on one capture of the backdrop: time and size
// of each, the defaults first.
int PngOptionsBench(int rounds, const std::string& backdrop)
{
    HWND window = MakeMainWindow();
    if (!window)
        return 1;
    ShowWindow(window, SW_MINIMIZE);
    Pump();
    if (!ShowBackdrop(backdrop))
        return 1;
    for (int i = 0; i < 20; ++i) {
        Sleep(25);
        Pump();
    }
    GrabScreen(window, nullptr, nullptr);
    HGLOBAL dib = nullptr;
    if (OpenClipboard(window)) {
        dib = MakeDibFromBitmapAs(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)), nullptr, 0);
        CloseClipboard();
    }
    if (!dib)
        return 1;
    // Kelvo's own choice first, then each filter at that level, then the
    // levels around it with adaptive filtering.
    static const char* const kNames[] = {"none", "sub", "up", "average", "paeth", "adaptive"};
    std::vector<PngEncoding> tried{PngEncoding()};
    for (int filter = 0; filter <= 5; ++filter) {
        PngEncoding e;
        e.filter = PngFilter(filter);
        tried.push_back(e);
    }
    for (int level : {1, 4, 8, 10}) {
        PngEncoding e;
        e.level = level;
        tried.push_back(e);
    }
    for (size_t k = 0; k < tried.size(); ++k) {
        std::vector<double> ms;
        std::vector<uint8_t> png;
        for (int i = 0; i < rounds; ++i) {
            double t0 = Now();
            if (!EncodePng(dib, &png, tried[k]))
                return 1;
            ms.push_back(Now() - t0);
        }
        char what[48], extra[96];
        if (k == 0)
            std::snprintf(what, sizeof what, "png_kelvo");
        else
            std::snprintf(what, sizeof what, "png_%s_%d", kNames[int(tried[k].filter)], tried[k].level);
        std::snprintf(extra, sizeof extra, ",\"bytes\":%zu,\"filter\":\"%s\",\"level\":%d", png.size(),
                      kNames[int(tried[k].filter)], tried[k].level);
        Report(what, ms, extra);
    }
    GlobalFree(dib);
    DestroyWindow(window);
    return 0;
}

// A picture with every pixel different, as a device bitmap on the
// clipboard.
bool PutPicture(HWND window, int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<DWORD> pixels(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[size_t(y) * width + x] = DWORD((x * 7) & 255) << 16 | DWORD((y * 3) & 255) << 8
                                            | DWORD((x + y) & 255);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, &info.bmiHeader, CBM_INIT, pixels.data(), &info,
                                    DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (!bitmap || !OpenClipboard(window))
        return false;
    EmptyClipboard();
    bool placed = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
    CloseClipboard();
    return placed;
}

int Paint(int rounds, int width, int height)
{
    HWND window = MakeMainWindow();
    if (!window || !PutPicture(window, width, height))
        return 1;
    ShowWindow(window, SW_SHOWMAXIMIZED);
    Pump();
    RECT client;
    GetClientRect(window, &client);
    char extra[128];
    std::snprintf(extra, sizeof extra, ",\"picture\":[%d,%d],\"client\":[%ld,%ld]", width, height,
                  client.right, client.bottom);
    auto paint = [&](const RECT* part) {
        double t0 = Now();
        RedrawWindow(window, part, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        GdiFlush();
        return Now() - t0;
    };
    // A part as a closing menu or a dialog moved away uncovers it.
    const RECT part{200, 200, 600, 500};
    std::vector<double> whole, partial, zoomed, rescaled;
    for (int i = 0; i < rounds; ++i) {
        whole.push_back(paint(nullptr));
        Pump();
        partial.push_back(paint(&part));
        Pump();
    }
    ToggleZoom(window);
    Pump();
    for (int i = 0; i < rounds; ++i) {
        zoomed.push_back(paint(nullptr));
        Pump();
        // Zoom off and on again: the view is scaled anew, as after a new
        // picture or a size change.
        ToggleZoom(window);
        ToggleZoom(window);
        rescaled.push_back(paint(nullptr));
        Pump();
    }
    Report("paint_unzoomed", whole, extra);
    Report("paint_unzoomed_part", partial, extra);
    Report("paint_zoomed", zoomed, extra);
    Report("paint_zoomed_new", rescaled, extra);
    DestroyWindow(window);
    return 0;
}

// One move of the mouse with the button down and the redraw it causes,
// as a user's drag gives them: the move, then the paint of what changed.
double TimedMove(HWND window, int x, int y)
{
    double t0 = Now();
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
    UpdateWindow(window);
    GdiFlush();
    return Now() - t0;
}

int MarkupBench(int moves, int width, int height)
{
    HWND window = MakeMainWindow();
    if (!window || !PutPicture(window, width, height))
        return 1;
    ShowWindow(window, SW_SHOWMAXIMIZED);
    Pump();
    SendMessageW(window, WM_COMMAND, kCmdMarkup, 0);
    Pump();
    if (!MarkupActive()) {
        std::fprintf(stderr, "the editor did not start\n");
        return 1;
    }
    RECT client;
    GetClientRect(window, &client);
    char extra[128];
    std::snprintf(extra, sizeof extra, ",\"picture\":[%d,%d],\"client\":[%ld,%ld]", width, height,
                  client.right, client.bottom);
    // A zigzag over the view, 12 pixels a move, below the bars.
    auto point = [&](int i, int* x, int* y) {
        int span = client.right - 200;
        int step = (i * 12) % (2 * span);
        *x = 100 + (step < span ? step : 2 * span - step);
        *y = 200 + (i * 5) % (client.bottom - 300);
    };
    for (bool zoom : {false, true}) {
        g_zoom = zoom;
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        Pump();
        int x, y;
        point(0, &x, &y);
        double t0 = Now();
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        UpdateWindow(window);
        std::vector<double> press{Now() - t0};
        std::vector<double> ms;
        for (int i = 1; i <= moves; ++i) {
            point(i, &x, &y);
            ms.push_back(TimedMove(window, x, y));
        }
        t0 = Now();
        SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        UpdateWindow(window);
        std::vector<double> release{Now() - t0};
        Report(zoom ? "markup_move_zoomed" : "markup_move_unzoomed", ms, extra);
        Report(zoom ? "markup_press_zoomed" : "markup_press_unzoomed", press, extra);
        Report(zoom ? "markup_release_zoomed" : "markup_release_unzoomed", release, extra);
    }
    // 100 steps: strokes of 40 moves each, every one across a different
    // part of the view, as marks on a screenshot are.
    g_zoom = false;
    size_t before = MarkupUndoBytes();
    for (int n = 0; n < 100; ++n) {
        int x0 = 100 + (n * 37) % (client.right - 600), y0 = 200 + (n * 23) % (client.bottom - 400);
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x0, y0));
        for (int i = 1; i <= 40; ++i)
            SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON,
                         MAKELPARAM(x0 + i * 10, y0 + ((i * 17) % 120)));
        SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x0 + 400, y0 + 100));
        Pump();
    }
    std::printf("{\"what\":\"markup_undo_100_strokes\",\"bytes\":%zu%s}\n",
                MarkupUndoBytes() - before, extra);
    std::fflush(stdout);
    DestroyWindow(window);
    return 0;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path, n < MAX_PATH ? n : 0);
    return full.substr(0, full.find_last_of(L'\\'));
}

// Rounds alternate between the two roads, so that a machine busy with
// something else slows both alike.
int Plugins(int rounds, const std::string& picture)
{
    HWND window = MakeMainWindow();
    if (!window)
        return 1;
    // The helper searches its current directory first: Kelvo's folder,
    // where the bundled plug-in is, as when Kelvo is started there.
    std::wstring folder = ProgramFolder();
    SetCurrentDirectoryW(folder.c_str());
    std::vector<double> start, init, inside, helper;
    for (int i = 0; i < rounds; ++i) {
        SpiHost host;
        double t0 = Now();
        bool started = host.Start(folder.c_str(), 10000);
        start.push_back(Now() - t0);
        host.Stop(10000);
        if (!started) {
            std::fprintf(stderr, "the helper did not start\n");
            return 1;
        }
        t0 = Now();
        WORD count = SPIInit(0);
        init.push_back(Now() - t0);
        if (count == 0) {
            std::fprintf(stderr, "no plug-in found\n");
            return 1;
        }
    }
    PluginTable table(nullptr);
    if (!table.Load(sizeof(void*) == 8 ? "ifstb.sph" : "ifstb.spi"))
        return 1;
    for (int i = 0; i < rounds + 1; ++i) {
        // In this process, as the bitmap was made before the helper.
        HBITMAP bitmap = nullptr;
        double t0 = Now();
        table.Decode(picture.c_str(), [&](const PluginBlocks& b) {
            bitmap = MakePluginBitmap(window, b.format, b.formatSize, b.bits, b.bitsSize);
            return bitmap != nullptr;
        });
        double t1 = Now();
        if (!bitmap)
            return 1;
        DeleteObject(bitmap);
        // Through the running helper, as Kelvo opens a file now.
        double t2 = Now();
        bitmap = LoadPicture(window, picture.c_str());
        double t3 = Now();
        if (!bitmap)
            return 1;
        DeleteObject(bitmap);
        if (i == 0)
            continue;  // the first round warms the caches of both
        inside.push_back(t1 - t0);
        helper.push_back(t3 - t2);
    }
    SPIEnd();
    Report("helper_start", start);
    Report("spiinit", init);
    Report("open_in_process", inside);
    Report("open_through_helper", helper);
    DestroyWindow(window);
    return 0;
}

// One picture opened rounds times (after one round that warms the caches
// and, the first time, starts the helper) the way Kelvo opens a file.
bool TimeOpens(HWND window, const std::string& picture, int rounds, std::vector<double>* ms)
{
    std::wstring path(picture.begin(), picture.end());
    for (int i = 0; i < rounds + 1; ++i) {
        double t0 = Now();
        HBITMAP bitmap = LoadPictureFile(window, path.c_str());
        double t1 = Now();
        if (!bitmap)
            return false;
        DeleteObject(bitmap);
        if (i > 0)
            ms->push_back(t1 - t0);
    }
    return true;
}

std::string Extension(const std::string& picture)
{
    size_t dot = picture.find_last_of('.');
    return dot == std::string::npos ? std::string("file") : picture.substr(dot + 1);
}

int Codec(int rounds, const std::vector<std::string>& pictures)
{
    HWND window = MakeMainWindow();
    if (!window)
        return 1;
    std::wstring folder = ProgramFolder();
    SetCurrentDirectoryW(folder.c_str());
    // Before SPIInit the table is empty: every file goes to the codecs.
    for (const std::string& picture : pictures) {
        std::vector<double> ms;
        if (!TimeOpens(window, picture, rounds, &ms)) {
            std::fprintf(stderr, "no codec opened %s\n", picture.c_str());
            return 1;
        }
        Report(("codec_open_" + Extension(picture)).c_str(), ms);
    }
    if (SPIInit(0) == 0) {
        std::fprintf(stderr, "no plug-in found\n");
        return 1;
    }
    for (const std::string& picture : pictures) {
        std::vector<double> ms;
        if (!TimeOpens(window, picture, rounds, &ms)) {
            std::fprintf(stderr, "the plug-in did not open %s\n", picture.c_str());
            return 1;
        }
        Report(("plugin_open_" + Extension(picture)).c_str(), ms);
    }
    SPIEnd();
    DestroyWindow(window);
    return 0;
}

// Drives the still screen from a second thread: the moves are sent, so
// each one's time is its whole redraw in the window's thread.
struct StillDrive {
    int rounds = 0;
    double started = 0;
    double shown = -1;
    std::vector<double> hover;
    std::vector<double> drag;
};

DWORD WINAPI DriveStill(void* parameter)
{
    auto& d = *static_cast<StillDrive*>(parameter);
    HWND still = nullptr;
    for (int i = 0; i < 20000 && !still; ++i) {
        HWND w = FindWindowW(L"StillWindow", nullptr);
        if (w && IsWindowVisible(w))
            still = w;
        else
            Sleep(1);
    }
    if (!still)
        return 1;
    // Answered once the first picture, taken in the same turn, is painted.
    SendMessageW(still, WM_NULL, 0, 0);
    d.shown = Now() - d.started;
    RECT r{};
    GetClientRect(still, &r);
    // Steps of a hand on the mouse: a few pixels a move, down to the
    // right across the screen.
    auto at = [&](int i) {
        int x = 40 + (i * 7) % std::max<LONG>(1, r.right - 80);
        int y = 40 + (i * 4) % std::max<LONG>(1, r.bottom - 80);
        return MAKELPARAM(x, y);
    };
    for (int i = 0; i < d.rounds; ++i) {
        double t0 = Now();
        SendMessageW(still, WM_MOUSEMOVE, 0, at(i));
        d.hover.push_back(Now() - t0);
    }
    SendMessageW(still, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    for (int i = 0; i < d.rounds; ++i) {
        double t0 = Now();
        SendMessageW(still, WM_MOUSEMOVE, MK_LBUTTON, at(i));
        d.drag.push_back(Now() - t0);
    }
    PostMessageW(still, WM_KEYDOWN, VK_ESCAPE, 0);
    return 0;
}

int Still(int rounds)
{
    HWND window = MakeMainWindow();
    if (!window)
        return 1;
    if (!g_instance)
        g_instance = GetModuleHandleW(nullptr);
    StillDrive drive;
    drive.rounds = rounds;
    drive.started = Now();
    HANDLE thread = CreateThread(nullptr, 0, DriveStill, &drive, 0, nullptr);
    if (!thread)
        return 1;
    SelectOnStill(window);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    if (drive.shown < 0 || drive.hover.empty()) {
        std::fprintf(stderr, "the still screen did not come up\n");
        return 1;
    }
    char screen[64];
    GrabRect s = VirtualScreenRect();
    std::snprintf(screen, sizeof screen, ",\"width\":%d,\"height\":%d", int(s.width), int(s.height));
    Report("still_shown", {drive.shown}, screen);
    // The pause the command makes for the uncovered windows to repaint.
    Report("still_shown_without_pause", {drive.shown - 300.0}, screen);
    Report("loupe_move_hover", drive.hover, screen);
    Report("loupe_move_drag", drive.drag, screen);
    DestroyWindow(window);
    return 0;
}

}  // namespace

// The working set of this process now and at its highest, bytes.
void Memory(SIZE_T* now, SIZE_T* peak)
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    *now = counters.WorkingSetSize;
    *peak = counters.PeakWorkingSetSize;
}

// Memory while a BMP file is read as Kelvo opens it, up to the display's
// bitmap: bytes above the working set before the reading.
int OpenBmpMemory(const std::string& file)
{
    HWND window = MakeMainWindow();
    if (!window)
        return 1;
    std::wstring path(file.begin(), file.end());
    SIZE_T before = 0, peak = 0, now = 0;
    Memory(&before, &peak);
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return 1;
    bool taken = false;
    LoadFailure failure{};
    HBITMAP bitmap = ReadBmpInRows(opened, &taken, &failure);
    CloseHandle(opened);
    if (!bitmap) {
        std::fprintf(stderr, "the file was not read in rows\n");
        return 1;
    }
    Memory(&now, &peak);
    std::printf("{\"what\":\"open_bmp\",\"read_peak\":%zu,\"read_held\":%zu}\n", size_t(peak - before),
                size_t(now - before));
    DeleteObject(bitmap);
    return 0;
}

int main(int argc, char** argv)
{
    std::string what = argc > 1 ? argv[1] : "";
    if (what == "grab" && argc >= 4)
        return Grab(std::atoi(argv[2]), argv[3], argc > 4 ? argv[4] : "", argc > 5 ? argv[5] : "");
    if (what == "pngoptions" && argc >= 4)
        return PngOptionsBench(std::atoi(argv[2]), argv[3]);
    if (what == "paint" && argc >= 5)
        return Paint(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    if (what == "markup" && argc >= 5)
        return MarkupBench(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    if (what == "plugins" && argc >= 4)
        return Plugins(std::atoi(argv[2]), argv[3]);
    if (what == "codec" && argc >= 4)
        return Codec(std::atoi(argv[2]), std::vector<std::string>(argv + 3, argv + argc));
    if (what == "still" && argc >= 3)
        return Still(std::atoi(argv[2]));
    if (what == "openbmp" && argc > 2)
        return OpenBmpMemory(argv[2]);
    std::fprintf(stderr,
                 "usage: kbench grab ROUNDS FOLDER [rle8|png|bmp] [BACKDROP] | pngoptions ROUNDS "
                 "BACKDROP | paint ROUNDS WIDTH HEIGHT | markup MOVES WIDTH HEIGHT | plugins ROUNDS "
                 "PICTURE | codec ROUNDS PICTURE... | still ROUNDS | openbmp BMP\n");
    return 2;
}
