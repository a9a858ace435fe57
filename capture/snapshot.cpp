// The snapshot timer: the countdown in the title, a shot every N seconds
// on the main window's one-second tick, and its settings dialog (135).
#include "capture/capture.h"
#include "capture/snapshot_rules.h"

#include <commctrl.h>

#include "app/app.h"
#include "app/commands.h"
#include "res/resource.h"

namespace {

// Not kept between runs: every start finds the timer off, interval 0.
SnapshotState g_snapshot;
// The check box as the open dialog has it; only OK copies it back.
bool g_workingEnabled;

void EnableIntervalEdit(HWND dialog, bool enabled)
{
    EnableWindow(GetDlgItem(dialog, IDC_SNAP_INTERVAL), enabled);
}

INT_PTR CALLBACK SnapshotDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterDialog(dialog, false);
        // The arrows count up through the 16-bit interval.
        SendDlgItemMessageW(dialog, IDC_SNAP_SPIN, UDM_SETRANGE32, 0, kMaxSnapshotInterval);
        CheckDlgButton(dialog, IDC_SNAP_ENABLE, g_snapshot.enabled ? BST_CHECKED : BST_UNCHECKED);
        // The up-down control stays enabled; only the field follows the box.
        EnableIntervalEdit(dialog, g_snapshot.enabled);
        SetDlgItemInt(dialog, IDC_SNAP_INTERVAL, g_snapshot.interval, FALSE);
        g_workingEnabled = g_snapshot.enabled;
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_SNAP_ENABLE:
            if (HIWORD(wParam) != BN_CLICKED)
                return FALSE;
            g_workingEnabled = !g_workingEnabled;
            CheckDlgButton(dialog, IDC_SNAP_ENABLE, g_workingEnabled ? BST_CHECKED : BST_UNCHECKED);
            g_workingEnabled = IsDlgButtonChecked(dialog, IDC_SNAP_ENABLE) == BST_CHECKED;
            EnableIntervalEdit(dialog, g_workingEnabled);
            return TRUE;
        case IDOK:
            // Text that is not a number reads as 0.
            g_snapshot.interval =
                SnapshotIntervalFromEntry(GetDlgItemInt(dialog, IDC_SNAP_INTERVAL, nullptr, FALSE));
            g_snapshot.enabled = g_workingEnabled;
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

bool SnapshotEnabled() { return g_snapshot.enabled; }

void SnapshotCommand(HWND)
{
    // Ticks keep arriving in the dialog's message loop; they must not count.
    g_snapshot.dialogOpen = true;
    RunDialog(IDD_SNAPSHOT, SnapshotDlgProc);
    CloseSnapshotDialog(g_snapshot);
    SetToolbarPressed(kCmdSnapshot, g_snapshot.enabled);
}

void SnapshotTick(HWND mainWindow)
{
    SnapshotTickResult tick = AdvanceSnapshotTick(g_snapshot);
    if (tick.showCountdown) {
        wchar_t text[64];
        wsprintfW(text, L"次のショットまであと%5lu秒", static_cast<unsigned long>(tick.remaining));
        SetMainTitle(mainWindow, text);
    }
    if (!tick.shoot)
        return;
    // Sent, not posted: the shot is over, output included, before the
    // counter starts again. Marked as a grab that goes out.
    SendMessageW(mainWindow, WM_COMMAND, kCmdDesktop, kCaptureAndOutputMarker);
    SendMessageW(mainWindow, WM_COMMAND, kCmdPrint, kCaptureAndOutputMarker);
    FinishSnapshotShot(g_snapshot);
}
