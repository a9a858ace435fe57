// Screen scales and monitors. The per-monitor calls are looked up at run
// time: Kelvo still starts on systems that lack them.
#include "app/dpi.h"

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

template <typename Fn>
Fn User32(const char* name)
{
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

GetDpiForMonitorFn MonitorDpiCall()
{
    // Loaded once and kept for the life of the process.
    static GetDpiForMonitorFn call = [] {
        HMODULE shcore = LoadLibraryW(L"shcore.dll");
        return shcore ? reinterpret_cast<GetDpiForMonitorFn>(reinterpret_cast<void*>(
                            GetProcAddress(shcore, "GetDpiForMonitor")))
                      : nullptr;
    }();
    return call;
}

}  // namespace

UINT SystemDpi()
{
    static const auto forSystem = User32<GetDpiForSystemFn>("GetDpiForSystem");
    if (forSystem)
        return forSystem();
    UINT dpi = kDefaultDpi;
    if (HDC screen = GetDC(nullptr)) {
        dpi = UINT(GetDeviceCaps(screen, LOGPIXELSX));
        ReleaseDC(nullptr, screen);
    }
    return dpi ? dpi : kDefaultDpi;
}

UINT MonitorDpi(HMONITOR monitor)
{
    UINT x = 0, y = 0;
    if (auto call = MonitorDpiCall(); call && monitor
        && SUCCEEDED(call(monitor, kEffectiveDpi, &x, &y)) && x)
        return x;
    return SystemDpi();
}

UINT PointDpi(POINT point)
{
    return MonitorDpi(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST));
}

UINT WindowDpi(HWND window)
{
    static const auto forWindow = User32<GetDpiForWindowFn>("GetDpiForWindow");
    if (forWindow && window)
        if (UINT dpi = forWindow(window))
            return dpi;
    return SystemDpi();
}

HFONT CreateMessageFont(UINT dpi)
{
    static const auto forDpi = User32<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return CreateFontIndirectW(&metrics.lfMessageFont);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return nullptr;
    // The system's answer is at the system scale.
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, int(dpi), int(SystemDpi()));
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

RECT WorkAreaOf(HWND window)
{
    HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                              : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor && GetMonitorInfoW(monitor, &info))
        return info.rcWork;
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}
