// The fixed capture range and its dialog (148).
#include "capture/capture.h"
#include "capture/fixed_range.h"

#include "app/app.h"
#include "res/resource.h"

namespace {

// Not kept between runs: every start finds the range disabled and zero.
FixedRange g_range;
// What the open dialog edits; only OK copies it back.
FixedRange g_working;

const int kRangeEdits[] = {IDC_RANGE_LEFT, IDC_RANGE_TOP, IDC_RANGE_WIDTH, IDC_RANGE_HEIGHT};

void ReadScreenSize(FixedRange& range)
{
    GrabRect screen = VirtualScreenRect();
    range.screenLeft = screen.x;
    range.screenTop = screen.y;
    range.screenWidth = screen.width;
    range.screenHeight = screen.height;
}

void EnableEdits(HWND dialog, bool enabled)
{
    for (int id : kRangeEdits)
        EnableWindow(GetDlgItem(dialog, id), enabled);
}

// Signed: left and top are negative on a monitor left of or above the
// primary one.
void SetNumber(HWND dialog, int id, int32_t value)
{
    SetDlgItemInt(dialog, id, UINT(value), TRUE);
}

int64_t GetNumber(HWND dialog, int id)
{
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, id, text, int(sizeof text / sizeof *text));
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");
    return ReadRangeNumber(reinterpret_cast<const char16_t*>(text));
}

void OnInitDialog(HWND dialog)
{
    ReadScreenSize(g_range);
    g_working = g_range;
    CenterDialog(dialog, false);
    CheckDlgButton(dialog, IDC_RANGE_ENABLE, g_working.enabled ? BST_CHECKED : BST_UNCHECKED);
    EnableEdits(dialog, g_working.enabled != 0);
    SetNumber(dialog, IDC_RANGE_HORZ, g_working.screenWidth);
    SetNumber(dialog, IDC_RANGE_VERT, g_working.screenHeight);
    // Where the numbers start: with a monitor left of the primary one the
    // screen's left edge is negative, and a left of 0 is not its edge.
    SetNumber(dialog, IDC_RANGE_ORIGIN_X, g_working.screenLeft);
    SetNumber(dialog, IDC_RANGE_ORIGIN_Y, g_working.screenTop);
    SetNumber(dialog, IDC_RANGE_LEFT, g_working.left);
    SetNumber(dialog, IDC_RANGE_TOP, g_working.top);
    SetNumber(dialog, IDC_RANGE_WIDTH, g_working.width);
    SetNumber(dialog, IDC_RANGE_HEIGHT, g_working.height);
}

void OnToggle(HWND dialog)
{
    g_working.enabled = g_working.enabled ? 0 : 1;
    CheckDlgButton(dialog, IDC_RANGE_ENABLE, g_working.enabled ? BST_CHECKED : BST_UNCHECKED);
    g_working.enabled = IsDlgButtonChecked(dialog, IDC_RANGE_ENABLE) == BST_CHECKED ? 1 : 0;
    EnableEdits(dialog, g_working.enabled != 0);
}

void OnOk(HWND dialog)
{
    RangeEntry entry{GetNumber(dialog, IDC_RANGE_LEFT), GetNumber(dialog, IDC_RANGE_TOP),
                     GetNumber(dialog, IDC_RANGE_WIDTH), GetNumber(dialog, IDC_RANGE_HEIGHT)};
    ApplyRangeEntry(g_working, entry);
    g_range = g_working;
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK FixedRangeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_RANGE_ENABLE:
            if (HIWORD(wParam) != BN_CLICKED)
                return FALSE;
            OnToggle(dialog);
            return TRUE;
        case IDOK:
            OnOk(dialog);
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

const FixedRange& CurrentFixedRange() { return g_range; }

bool FixedRangeEnabled() { return g_range.enabled != 0; }

void FixedRangeCommand(HWND)
{
    RunDialog(IDD_FIXED_RANGE, FixedRangeDlgProc);
}
