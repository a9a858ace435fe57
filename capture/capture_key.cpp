// The capture-key dialog (111): CTRL, SHIFT and one key from the table,
// stored with the other settings as soon as the dialog is confirmed, so
// that the keyboard hook sees the new key at the next keystroke.
#include "capture/capture.h"
#include "capture/capture_key_rules.h"

#include "app/app.h"
#include "app/settings.h"
#include "res/resource.h"

namespace {

void FillKeyList(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_KEY_LIST);
    for (size_t i = 0; CaptureKeyTable[i].code != 0; ++i) {
        wchar_t name[sizeof CaptureKeyTable[i].name];
        size_t n = 0;
        for (; n + 1 < sizeof name && CaptureKeyTable[i].name[n]; ++n)
            name[n] = wchar_t(CaptureKeyTable[i].name[n]);
        name[n] = 0;
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (CaptureKeyTable[i].code == g_settings.key)
            SendMessageW(list, LB_SETCURSEL, i, 0);
    }
}

bool Checked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

void AcceptCaptureKey(HWND dialog)
{
    g_settings.ctrl = Checked(dialog, IDC_KEY_CTRL) ? 1 : 0;
    g_settings.shift = Checked(dialog, IDC_KEY_SHIFT) ? 1 : 0;
    int selection = int(SendDlgItemMessageW(dialog, IDC_KEY_LIST, LB_GETCURSEL, 0, 0));
    g_settings.key = CaptureKeyForSelection(selection, g_settings.key);
    SaveSettings();
}

INT_PTR CALLBACK CaptureKeyDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterDialog(dialog, false);
        CheckDlgButton(dialog, IDC_KEY_CTRL, g_settings.ctrl ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, IDC_KEY_SHIFT, g_settings.shift ? BST_CHECKED : BST_UNCHECKED);
        FillKeyList(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            AcceptCaptureKey(dialog);
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

void CaptureKeyCommand(HWND)
{
    RunDialog(IDD_CAPTURE_KEY, CaptureKeyDlgProc);
}
