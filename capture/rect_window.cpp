// The rectangle-selection window laid over the whole screen.
#include "capture/capture.h"

void RectangleCommand(HWND mainWindow)
{
    g_pickMode = PickMode::Rectangle;
    SelectRectangle(mainWindow);
}

// Not offered yet: the selection window comes with the rectangle work.
void SelectRectangle(HWND) {}

LRESULT CALLBACK RectWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}
