// kbench.exe: times Kelvo's own code paths inside a Windows process, built
// from the same sources as kelvo.exe, without the pauses that the commands
// add for the user (hiding the window, letting the screen settle).
//
//   kbench grab ROUNDS FOLDER [rle8]   desktop grab -> Capture DIB -> BMP file
//   kbench paint ROUNDS WIDTH HEIGHT   paints of a WIDTH x HEIGHT picture in
//                                      the main window, unzoomed and zoomed
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
    std::printf("{\"what\":\"%s\",\"rounds\":%zu,\"median\":%.3f,\"min\":%.3f,\"mean\":%.3f%s}\n",
                what, ms.size(), ms[ms.size() / 2], ms.front(), sum / double(ms.size()), extra);
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

int Grab(int rounds, const std::string& folder, bool rle8)
{
    HWND window = MakeMainWindow();
    if (!window)
        return 1;
    g_compression = rle8 ? 1 : 0;
    // The user-facing command hides the window first; here it stays out of
    // the way in the corner, so only the work itself is timed.
    ShowWindow(window, SW_MINIMIZE);
    Pump();
    std::vector<double> grab, dib, whole, read;
    std::string path = folder + "\\kbench.bmp";
    for (int i = 0; i < rounds; ++i) {
        read.push_back(ScreenReadOnly());
        double t0 = Now();
        GrabScreen(window, nullptr, nullptr);
        double t1 = Now();
        // Conversion alone, as the writer does it.
        if (OpenClipboard(window)) {
            HGLOBAL d = MakeDibFromBitmap(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)),
                                          static_cast<HPALETTE>(GetClipboardData(CF_PALETTE)));
            CloseClipboard();
            if (d)
                GlobalFree(d);
        }
        double t2 = Now();
        if (!SaveClipboardAsBmp(window, path.c_str())) {
            std::fprintf(stderr, "save failed\n");
            return 1;
        }
        double t3 = Now();
        grab.push_back(t1 - t0);
        dib.push_back(t2 - t1);
        whole.push_back((t1 - t0) + (t3 - t2));
        Pump();
    }
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    char extra[96];
    std::snprintf(extra, sizeof extra, ",\"width\":%d,\"height\":%d,\"rle8\":%s", w, h,
                  rle8 ? "true" : "false");
    Report("screen_read", read, extra);
    Report("grab", grab, extra);
    Report("capture_dib", dib, extra);
    Report("grab_to_file", whole, extra);
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
    for (bool zoom : {false, true}) {
        g_zoom = zoom;
        std::vector<double> ms;
        for (int i = 0; i < rounds; ++i) {
            double t0 = Now();
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            GdiFlush();
            ms.push_back(Now() - t0);
            Pump();
        }
        Report(zoom ? "paint_zoomed" : "paint_unzoomed", ms, extra);
    }
    DestroyWindow(window);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string what = argc > 1 ? argv[1] : "";
    if (what == "grab" && argc >= 4)
        return Grab(std::atoi(argv[2]), argv[3], argc > 4 && std::string(argv[4]) == "rle8");
    if (what == "paint" && argc >= 5)
        return Paint(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    std::fprintf(stderr, "usage: kbench grab ROUNDS FOLDER [rle8] | paint ROUNDS WIDTH HEIGHT\n");
    return 2;
}
