// The snapshot timer: the countdown in the title, a shot every N seconds
// on the main window's one-second tick, and its settings dialog (135).
#include "capture/capture.h"
#include "capture/snapshot_rules.h"

#include <commctrl.h>

#include "app/app.h"
#include "app/commands.h"
#include "app/title_text.h"
#include "res/resource.h"

namespace {

// Not kept between runs: every start finds the timer off, interval 0.
SnapshotState g_snapshot;
// The check box as the open dialog has it; only OK copies it back.
bool g_workingEnabled;
// The title the countdown covers, to come back when the timer stops.
CountdownTitle g_countdownTitle;

const wchar_t kIntervalRefused[] =
    L"ｽﾅｯﾌﾟｼｮｯﾄを有効にするときは、\n1 秒以上の間隔を入力してください。";

std::u16string TitleOf(HWND window)
{
    wchar_t title[kTitleCapacity] = {};
    GetWindowTextW(window, title, int(kTitleCapacity));
    return std::u16string(reinterpret_cast<const char16_t*>(title));
}

void ShowCountdown(HWND mainWindow, uint32_t remaining)
{
    wchar_t text[64];
    wsprintfW(text, L"次のショットまであと%5lu秒", static_cast<unsigned long>(remaining));
    std::u16string before = TitleOf(mainWindow);
    SetMainTitle(mainWindow, text);
    NoteCountdownTitle(g_countdownTitle, before, TitleOf(mainWindow));
}

// Counting (re)starts: the whole interval shows at once while the timer
// runs; a timer that stopped takes its countdown out of the title.
void StartCountdown(HWND mainWindow)
{
    SnapshotTickResult start = SnapshotCountdownStart(g_snapshot);
    if (start.showCountdown) {
        ShowCountdown(mainWindow, start.remaining);
        return;
    }
    std::u16string restore;
    if (!g_snapshot.enabled
        && TitleAfterCountdown(g_countdownTitle, TitleOf(mainWindow), &restore))
        SetWindowTextW(mainWindow, reinterpret_cast<const wchar_t*>(restore.c_str()));
}

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
        case IDOK: {
            // Text that is not a number reads as 0.
            uint16_t interval =
                SnapshotIntervalFromEntry(GetDlgItemInt(dialog, IDC_SNAP_INTERVAL, nullptr, FALSE));
            if (!SnapshotChoiceAccepted(g_workingEnabled, interval)) {
                // A timer on with no interval would show itself on and
                // never shoot: the dialog stays for a number.
                ShowMessage(dialog, kIntervalRefused, L"Kelvo", MB_OK | MB_ICONEXCLAMATION);
                HWND field = GetDlgItem(dialog, IDC_SNAP_INTERVAL);
                SendMessageW(dialog, WM_NEXTDLGCTL, WPARAM(field), TRUE);
                SendMessageW(field, EM_SETSEL, 0, -1);
                return TRUE;
            }
            g_snapshot.interval = interval;
            g_snapshot.enabled = g_workingEnabled;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
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

void SnapshotCommand(HWND mainWindow)
{
    // Ticks keep arriving in the dialog's message loop; they must not count.
    g_snapshot.dialogOpen = true;
    RunDialog(IDD_SNAPSHOT, SnapshotDlgProc);
    CloseSnapshotDialog(g_snapshot);
    SetToolbarPressed(kCmdSnapshot, g_snapshot.enabled);
    StartCountdown(mainWindow);
}

void SnapshotTick(HWND mainWindow)
{
    SnapshotTickResult tick = AdvanceSnapshotTick(g_snapshot);
    if (tick.showCountdown)
        ShowCountdown(mainWindow, tick.remaining);
    if (!tick.shoot)
        return;
    // Sent, not posted: the shot is over, output included, before the
    // counter starts again. Marked as a grab that goes out.
    SendMessageW(mainWindow, WM_COMMAND, kCmdDesktop, kCaptureAndOutputMarker);
    SendMessageW(mainWindow, WM_COMMAND, kCmdPrint, kCaptureAndOutputMarker);
    FinishSnapshotShot(g_snapshot);
    StartCountdown(mainWindow);
}
