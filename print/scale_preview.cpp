// The print scale dialog and the preview prompt.
#include "print/print.h"

#include <commctrl.h>

#include "app/app.h"
#include "app/settings.h"
#include "print/page_layout.h"
#include "res/resource.h"

namespace {

INT_PTR CALLBACK ScaleDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterDialog(dialog, false);
        // The arrows count up from 0 to the largest scale a page is printed
        // at; a larger number can still be typed.
        SendDlgItemMessageW(dialog, IDC_SCALE_SPIN, UDM_SETRANGE32, 0, kMaxScale);
        SetDlgItemInt(dialog, IDC_SCALE_VALUE, g_settings.scale, FALSE);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            // Text that is no number stores 0, which prints as 100.
            UINT scale = GetDlgItemInt(dialog, IDC_SCALE_VALUE, nullptr, FALSE);
            // A print worker may be turning a 0 into 100 at this moment.
            InterlockedExchange(reinterpret_cast<volatile LONG*>(&g_settings.scale), LONG(scale));
            EndDialog(dialog, 0);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

void ScaleCommand(HWND)
{
    RunDialog(IDD_SCALE, ScaleDlgProc);
}

bool PreviewPrompt(HWND mainWindow)
{
    ShowWindow(mainWindow, SW_SHOWNORMAL);
    InvalidateRect(mainWindow, nullptr, TRUE);
    int answer = ShowMessage(nullptr, L"ﾌﾟﾚﾋﾞｭｰ完了\n続行しますか", L"Kelvo Preview",
                             MB_YESNO | MB_ICONINFORMATION | MB_SYSTEMMODAL);
    ShowWindow(mainWindow, SW_SHOWMINIMIZED);
    return answer != IDNO;
}
