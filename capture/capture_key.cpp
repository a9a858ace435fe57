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

// Windows 11's own use of Print Screen, as the user has set it.
bool ReadSnippingSetting(uint32_t* setting)
{
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Keyboard",
                     L"PrintScreenKeyForSnippingEnabled", RRF_RT_REG_DWORD, nullptr, &value, &size)
        != ERROR_SUCCESS)
        return false;
    *setting = value;
    return true;
}

// Shows or hides the note below the other controls, growing the dialog
// by the note's height (and back), at whatever scale the dialog is laid
// out.
void ShowSnippingNote(HWND dialog, bool show)
{
    HWND note = GetDlgItem(dialog, IDC_KEY_SNIP_NOTE);
    if (!note || (IsWindowVisible(note) != FALSE) == show)
        return;
    RECT box{}, client{}, window{};
    GetWindowRect(note, &box);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&box), 2);
    RECT margin{0, 0, 0, 8};
    MapDialogRect(dialog, &margin);
    GetClientRect(dialog, &client);
    GetWindowRect(dialog, &window);
    LONG wanted = show ? box.bottom + margin.bottom : box.top;
    SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left,
                 window.bottom - window.top + wanted - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(note, show ? SW_SHOWNA : SW_HIDE);
}

// The key the dialog would store on OK: the list's selection, or the
// stored key when nothing is selected.
void UpdateSnippingNote(HWND dialog)
{
    int selection = int(SendDlgItemMessageW(dialog, IDC_KEY_LIST, LB_GETCURSEL, 0, 0));
    uint32_t setting = 0;
    bool read = ReadSnippingSetting(&setting);
    ShowSnippingNote(dialog, ShowsSnippingToolNote(CaptureKeyForSelection(selection, g_settings.key),
                                                   read, setting));
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
        CheckDlgButton(dialog, IDC_KEY_CTRL, g_settings.ctrl ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(dialog, IDC_KEY_SHIFT, g_settings.shift ? BST_CHECKED : BST_UNCHECKED);
        FillKeyList(dialog);
        UpdateSnippingNote(dialog);
        // Centred as grown for the note.
        CenterDialog(dialog, false);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_KEY_LIST:
            if (HIWORD(wParam) == LBN_SELCHANGE)
                UpdateSnippingNote(dialog);
            return TRUE;
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
