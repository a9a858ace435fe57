// The picture display of the main window: painting the clipboard's bitmap
// at natural size with scroll bars, or stretched in zoom mode.
#pragma once
#include <windows.h>

extern bool g_zoom;

void ResetScrollPositions();
void PaintMainWindow(HWND window);
void OnMainScroll(HWND window, int bar, WPARAM wParam);
void OnMainKeyDown(HWND window, WPARAM key);
// WM_MOUSEWHEEL (tilt false) and WM_MOUSEHWHEEL (tilt true).
void OnMainWheel(HWND window, WPARAM wParam, bool tilt);
void OnMainSize(HWND window, WPARAM wParam, LPARAM lParam);
// Switches both bars off and repaints everything (zoom, delete).
void HideScrollBarsAndRepaint(HWND window);
// Command 40020: stretched to the window or natural size, seen from the
// picture's corner.
void ToggleZoom(HWND window);
