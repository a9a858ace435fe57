// The capture-and-output command behind the capture key, the DDE service
// and the snapshot timer: grab the desktop and send it to the output.
#include "capture/capture.h"
#include "app/settings.h"
#include "picture/picture.h"
#include "print/print.h"

OutputTarget g_outputTarget = OutputTarget::Printer;

bool OutputIsPngFiles()
{
    return g_outputTarget == OutputTarget::File && SerialOutputOn()
           && g_outputFormat == PictureFormat::kPng;
}

namespace {

void Output(HWND mainWindow)
{
    if (g_settings.preview && !PreviewPrompt(mainWindow))
        return;
    if (g_outputTarget == OutputTarget::Printer) {
        StartPrint(mainWindow, true);
        return;
    }
    if (SerialOutputOn())
        SaveNextSerialBmp(mainWindow);
    else
        SaveAsCommand(mainWindow);
}

// Serially numbered files ask the user nothing (no preview question, no
// file dialog): the file is written while the window is still hidden, and
// the window comes back after, so that its drawing does not hold the file
// up.
bool WritesBeforeShowing()
{
    return !g_settings.preview && g_outputTarget == OutputTarget::File && SerialOutputOn();
}

// Shows the main window again and sends the grab out, in the order above.
void ShowAndOutput(HWND mainWindow)
{
    const bool writeFirst = WritesBeforeShowing();
    if (!writeFirst)
        ShowWindow(mainWindow, SW_SHOWNORMAL);
    Output(mainWindow);
    if (writeFirst)
        ShowWindow(mainWindow, SW_SHOWNORMAL);
}

}  // namespace

void CaptureAndOutput(HWND mainWindow)
{
    ShowWindow(mainWindow, SW_HIDE);
    Sleep(100);
    // While the snapshot timer runs, its own desktop grab has just made the
    // picture that goes out.
    if (!SnapshotEnabled())
        GrabScreen(mainWindow, nullptr, nullptr, OutputIsPngFiles());
    ShowAndOutput(mainWindow);
    // A PNG made ahead and not written (the question answered no) goes.
    DropPngOfGrab();
}

void ActiveWindowCaptureAndOutput(HWND mainWindow, HWND target)
{
    // The window the user was in when the key went down; gone already, or
    // no window at all (the bare desktop), there is nothing to grab.
    FrameBox frame{};
    if (!target || !VisibleFrameOf(target, frame)) {
        MessageBeep(0);
        return;
    }
    // Kelvo's own window is grabbed as it stands; any other window without
    // Kelvo's in front of it.
    bool hide = target != mainWindow;
    if (hide) {
        ShowWindow(mainWindow, SW_HIDE);
        Sleep(100);
    }
    Corner start{frame.left, frame.top};
    Corner end{frame.right, frame.bottom};
    GrabScreen(mainWindow, &start, &end, OutputIsPngFiles());
    InvalidateRect(mainWindow, nullptr, TRUE);
    if (hide)
        ShowAndOutput(mainWindow);
    else
        Output(mainWindow);
    DropPngOfGrab();
}
