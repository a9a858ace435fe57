// Capture: turning the screen into the current picture, and every way a
// capture is started.
#pragma once
#include <windows.h>

#include "capture/corners.h"
#include "capture/cursor_rules.h"
#include "capture/drag_rules.h"

// --- the screen -------------------------------------------------------
// Every monitor together: the virtual screen, in screen coordinates. Its
// corner is negative when a monitor lies left of or above the primary one.
GrabRect VirtualScreenRect();

// A device context on the whole virtual screen, in screen coordinates,
// for reading the screen and drawing frames on it. GetDC(nullptr) rather
// than CreateDC("DISPLAY"): under Wine the latter counts from the virtual
// screen's corner instead of the primary monitor's, so a left monitor
// would be read and framed at the wrong place.
class ScreenDC {
public:
    ScreenDC() : dc_(GetDC(nullptr)) {}
    ~ScreenDC()
    {
        if (dc_)
            ReleaseDC(nullptr, dc_);
    }
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HDC dc_;
};

// --- grab -------------------------------------------------------------
// Copies the rectangle between start and end (normalised in place) as far
// as it lies on the virtual screen, or the whole virtual screen when start
// is null, into a display-compatible bitmap and
// makes it the clipboard's CF_BITMAP. Resets owner's title and the pick
// mode. Beeps when the bitmap cannot be made. With pngAhead the grab's PNG
// file is started on a worker thread meanwhile (StartPngOfGrab), for an
// output to PNG files that follows.
void GrabScreen(HWND owner, Corner* start, Corner* end, bool pngAhead = false);
// Makes bitmap (a grab, or null when none could be made) the current
// picture as GrabScreen does, from the clipboard to the title and the pick
// mode; the clipboard takes the bitmap, or it is deleted.
void PlaceGrab(HWND owner, HBITMAP bitmap, bool pngAhead = false);
// The screen's rect copied from display into a new display-compatible
// bitmap, selected into no context; null for an empty rectangle or when
// the bitmap cannot be made.
HBITMAP CopyScreen(HDC display, const GrabRect& rect);
// Command 40014: hide, pause, grab the whole screen, show again. A grab
// that goes out (the snapshot timer's) starts its PNG file ahead when the
// output is PNG files.
void DesktopCommand(HWND mainWindow, bool goesOut = false);

// --- picking with the mouse in the main window ------------------------
enum class PickMode { None, Window, Rectangle };
extern PickMode g_pickMode;

// 40015: the main window waits for the press that starts a window pick,
// and its title says so until the pick ends.
void WindowPickCommand(HWND mainWindow);
// Puts back the title that the window pick's hint replaced, unless
// something has retitled the window since.
void EndPickHint(HWND mainWindow);
void OnPickButtonDown(HWND mainWindow);
void OnPickMouseMove(HWND mainWindow);
void OnPickButtonUp(HWND mainWindow);
// WM_LBUTTONDBLCLK: a press while a pick is armed (true), else not a pick's.
bool OnPickDoubleClick(HWND mainWindow);
// WM_CAPTURECHANGED: a pick that loses the mouse ends without a grab.
void OnPickCaptureLost(HWND mainWindow);
// Frames the window on the screen (inverted, 4 pixels at 100 %) and keeps
// its rectangle as the pick's corners; the frame of the window framed
// before is taken away. Nothing changes for a window with nothing on screen.
void InvertWindowFrame(HWND window);
void InvertRectFrame(int x1, int y1, int x2, int y2);

// --- rectangle selection window and fixed range -----------------------
void RectangleCommand(HWND mainWindow);  // 40016
void SelectRectangle(HWND mainWindow);
LRESULT CALLBACK RectWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
bool FixedRangeEnabled();
// 40016 while selecting on a still picture is on: the whole screen is
// taken once and the rectangle chosen on that picture is grabbed from it.
bool StillSelectionOn();
void SelectOnStill(HWND mainWindow);
void FixedRangeCommand(HWND mainWindow);  // 40057

// --- snapshot timer ---------------------------------------------------
bool SnapshotEnabled();
void SnapshotCommand(HWND mainWindow);  // 40053
void SnapshotTick(HWND mainWindow);     // WM_TIMER

// --- capture key ------------------------------------------------------
void CaptureKeyCommand(HWND mainWindow);  // 40011

// --- capture and output -----------------------------------------------
enum class OutputTarget { Printer, File };
extern OutputTarget g_outputTarget;
// WM_COMMAND 40001 with lParam 1.
void CaptureAndOutput(HWND mainWindow);
// Capture and output writes serially numbered PNG files.
bool OutputIsPngFiles();

// --- windows as they are drawn, the pointer, last region, active window
// The rectangle of window that a capture takes, in screen coordinates:
// the frame the compositor draws for a top-level window, the window
// rectangle for a control or where there is no compositor. False for a
// window that is gone.
bool VisibleFrameOf(HWND window, FrameBox& frame);
// Draws the mouse pointer, at its real size, into bitmap (grabbed from
// grab) where it stands, when the option to include it is on.
void DrawPointerInto(HBITMAP bitmap, const GrabRect& grab);
// The pointer as it stands now, for a grab cut later from a picture taken
// now (the still selection): its cursor and shape, read while the option
// is on and a pointer shows; false otherwise.
struct HeldPointer {
    HCURSOR cursor = nullptr;
    PointerShape shape{};
};
bool HoldPointer(HeldPointer& held);
void DrawHeldPointer(HBITMAP bitmap, const GrabRect& grab, const HeldPointer& held);
bool PointerIncluded();
void IncludePointerCommand(HWND mainWindow);  // 40111
// The option's registry value, read at start and written at the end.
void LoadPointerOption(HKEY key);
void SavePointerOption(HKEY key);
// The rectangle the user last selected (screen coordinates), kept for the
// session, and the command that grabs it again.
void RememberSelectedRegion(Corner start, Corner end);
bool HasLastRegion();
void LastRegionCommand(HWND mainWindow);  // 40110
// The capture key with Alt: the foreground window (named by the hook at
// the key press), grabbed and sent to the output.
void ActiveWindowCaptureAndOutput(HWND mainWindow, HWND target);
