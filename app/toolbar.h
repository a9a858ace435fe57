// The main window's toolbar: its 23-entry button table, tooltips and the
// customisation dialog's notifications.
#pragma once
#include <windows.h>

constexpr int kToolbarId = 127;
constexpr int kToolbarEntries = 23;

HWND MainToolbar();
HWND CreateMainToolbar(HWND mainWindow);
// Gives the toolbar the images drawn for dpi and lays it out again.
void SetToolbarScale(UINT dpi);
// Frees the images once the toolbar is gone.
void DestroyToolbarImages();
// WM_NOTIFY from the toolbar or its tooltips; handled is set when the
// notification was one of the toolbar's.
LRESULT OnToolbarNotify(HWND mainWindow, NMHDR* header, bool* handled);
