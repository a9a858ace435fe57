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
//   kbench plugins ROUNDS PICTURE      a picture opened through the bundled
//                                      plug-in inside this process (as Kelvo
//                                      did before the helper) and through
//                                      the helper; the helper's start
//
// Each run prints one JSON line per measurement, times in milliseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/display.h"
#include "app/settings.h"
#include "capture/capture.h"
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

}  // namespace

int main(int argc, char** argv)
{
    std::string what = argc > 1 ? argv[1] : "";
    if (what == "grab" && argc >= 4)
        return Grab(std::atoi(argv[2]), argv[3], argc > 4 ? argv[4] : "", argc > 5 ? argv[5] : "");
    if (what == "pngoptions" && argc >= 4)
        return PngOptionsBench(std::atoi(argv[2]), argv[3]);
    if (what == "paint" && argc >= 5)
        return Paint(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    if (what == "plugins" && argc >= 4)
        return Plugins(std::atoi(argv[2]), argv[3]);
    std::fprintf(stderr,
                 "usage: kbench grab ROUNDS FOLDER [rle8|png|bmp] [BACKDROP] | pngoptions ROUNDS "
                 "BACKDROP | paint ROUNDS WIDTH HEIGHT | plugins ROUNDS PICTURE\n");
    return 2;
}
