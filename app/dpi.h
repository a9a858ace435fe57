// The screen scale of monitors and windows, and the monitors themselves.
// Windows 10 knows a scale per monitor, Windows 8.1 per monitor for the
// asking, older systems one scale for the whole screen; these functions
// answer on each of them.
#pragma once
#include <windows.h>

#include "app/dpi_scale.h"

// The scale of the whole screen, the one older systems use everywhere.
UINT SystemDpi();
// The scale of monitor.
UINT MonitorDpi(HMONITOR monitor);
// The scale of the monitor at a screen point.
UINT PointDpi(POINT point);
// The scale one of Kelvo's own windows is drawn at.
UINT WindowDpi(HWND window);

// The message font of the system at dpi; the caller deletes it.
HFONT CreateMessageFont(UINT dpi);

// The usable part (without task bars) of the monitor that shows window,
// or of the primary monitor when window is null.
RECT WorkAreaOf(HWND window);
