// The one place where screen pixels become the current picture.
#include "capture/capture.h"

#include "app/app.h"
#include "picture/clipboard_formats.h"
#include "picture/picture.h"

namespace {

// Hands bitmap to the clipboard; on failure the bitmap is still ours and
// is deleted so that nothing leaks. *sequence is the clipboard's sequence
// number read while the clipboard is still held, so that no other
// program's copy can come in between.
bool PlaceOnClipboard(HWND owner, HBITMAP bitmap, DWORD* sequence)
{
    if (!OpenClipboardSoon(owner))
        return false;
    EmptyClipboard();
    bool placed = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
    if (placed)
        OfferPictureFormats(bitmap, nullptr);
    *sequence = placed ? GetClipboardSequenceNumber() : 0;
    CloseClipboard();
    return placed;
}

}  // namespace

HBITMAP CopyScreen(HDC display, const GrabRect& rect)
{
    // For an empty rectangle the platform hands out its shared 1 x 1 stock
    // bitmap; once on the clipboard, the next emptying would delete it and
    // break every later drawing of the process. An empty grab is treated
    // as a bitmap that could not be made.
    if (rect.width <= 0 || rect.height <= 0)
        return nullptr;
    HDC memory = CreateCompatibleDC(display);
    HBITMAP bitmap = memory ? CreateCompatibleBitmap(display, rect.width, rect.height) : nullptr;
    if (bitmap) {
        BITMAP info{};
        GetObjectA(bitmap, sizeof info, &info);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        StretchBlt(memory, 0, 0, rect.width, rect.height, display, rect.x, rect.y, info.bmWidth,
                   info.bmHeight, SRCCOPY);
        // Out of the memory context, so that the clipboard can take it.
        SelectObject(memory, previous);
    }
    if (memory)
        DeleteDC(memory);
    return bitmap;
}

GrabRect VirtualScreenRect()
{
    return GrabRect{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                    GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

void GrabScreen(HWND owner, Corner* start, Corner* end, bool pngAhead)
{
    GrabRect rect;
    if (start && end) {
        NormalizeCorners(*start, *end);
        // A picked window may run past the screen's edge; reading beyond
        // it fails for the whole rectangle (a black picture under Wine).
        rect = ClipToScreen(RectFromCorners(*start, *end), VirtualScreenRect());
    } else {
        rect = VirtualScreenRect();
    }

    HBITMAP bitmap = nullptr;
    if (ScreenDC screen; screen)
        bitmap = CopyScreen(screen.get(), rect);
    DrawPointerInto(bitmap, rect);
    PlaceGrab(owner, bitmap, pngAhead);
}

void PlaceGrab(HWND owner, HBITMAP bitmap, bool pngAhead)
{
    if (bitmap && pngAhead)
        StartPngOfGrab(bitmap);
    DWORD sequence = 0;
    // The main window answers for the picture on the clipboard (it renders
    // the formats offered beside it) whichever window made the grab: the
    // selection window is gone long before a program pastes.
    if (g_mainWindow)
        owner = g_mainWindow;
    bool placed = bitmap && PlaceOnClipboard(owner, bitmap, &sequence);
    if (bitmap && !placed)
        DeleteObject(bitmap);
    if (placed && pngAhead)
        PngOfGrabOnClipboard(owner, sequence);
    if (!placed) {
        DropPngOfGrab();
        MessageBeep(0);
    } else {
        // The main window shows the new picture, whichever window owned the
        // grab (the selection window for a rectangle): its title must no
        // longer name a file. A grab that placed nothing leaves the picture,
        // and the title that names it.
        SetMainTitle(g_mainWindow, nullptr);
    }
    g_pickMode = PickMode::None;
}

void DesktopCommand(HWND mainWindow, bool goesOut)
{
    ShowWindow(mainWindow, SW_HIDE);
    Sleep(300);
    GrabScreen(mainWindow, nullptr, nullptr, goesOut && OutputIsPngFiles());
    InvalidateRect(mainWindow, nullptr, TRUE);
    ShowWindow(mainWindow, IsIconic(mainWindow) ? SW_MINIMIZE : SW_SHOWNORMAL);
}
