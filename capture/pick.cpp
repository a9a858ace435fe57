// Picking a window, or dragging a rectangle, with the mouse from the main
// window; the inverted frames that show what is picked.
#include "capture/capture.h"

PickMode g_pickMode = PickMode::None;

void WindowPickCommand(HWND mainWindow)
{
    g_pickMode = PickMode::Window;
    SetForegroundWindow(mainWindow);
}

// The mouse side of picking comes with the window-picking work.
void OnPickButtonDown(HWND) {}
void OnPickMouseMove(HWND) {}
void OnPickButtonUp(HWND) {}
void InvertWindowFrame(HWND) {}
void InvertRectFrame(int, int, int, int) {}
