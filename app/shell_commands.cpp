// Delete, wallpaper, help and About box of the main window, and the small
// helpers every dialog and message of the program goes through.
#include "app/shell_commands.h"

#include <shellapi.h>
#include <shlobj.h>
#include <knownfolders.h>

#include <cstdio>
#include <string>

#include "app/app.h"
#include "app/display.h"
#include "picture/picture.h"

namespace {

constexpr int kAboutDialog = 112;
constexpr int kVersionControl = 1020;
constexpr int kSystemInfoButton = 1026;

// Where Microsoft System Information is installed; empty when unknown.
// The key is only read: opening it for all access would fail for every
// user without administrator rights and so hide a program they may run.
void ReadSystemInfoPath(char* path, DWORD capacity)
{
    path[0] = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Shared Tools\\MSInfo", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    DWORD type = 0, length = capacity - 1;
    if (RegQueryValueExA(key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(path), &length)
            == ERROR_SUCCESS
        && type == REG_SZ)
        path[length < capacity ? length : capacity - 1] = 0;  // the data need not end in NUL
    else
        path[0] = 0;
    RegCloseKey(key);
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    char path[257];
    switch (message) {
    case WM_INITDIALOG:
        CenterDialog(dialog, false);
        ReadSystemInfoPath(path, sizeof path);
        EnableWindow(GetDlgItem(dialog, kSystemInfoButton), path[0] != 0);
        SetDlgItemTextW(dialog, kVersionControl, VersionText());
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        case kSystemInfoButton:
            ReadSystemInfoPath(path, sizeof path);
            WinExec(path, SW_SHOWNORMAL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

// The user guide shipped beside kelvo.exe, opened in the browser. Windows
// has had no viewer for the old help format since Windows 10.
const wchar_t kHelpPage[] = L"kelvo-help.html";

// The full name of a file in the program's own folder; empty when the
// folder's name does not fit.
std::wstring BesideProgram(const wchar_t* name)
{
    std::wstring path(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
    if (n == 0 || n >= path.size())
        return std::wstring();
    path.resize(n);
    size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return std::wstring();
    path.resize(slash + 1);
    return path + name;
}

bool FileExists(const std::wstring& path)
{
    DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

INT_PTR RunDialog(int templateId, DLGPROC procedure)
{
    return DialogBoxParamW(g_instance, MAKEINTRESOURCEW(templateId), g_mainWindow, procedure, 0);
}

bool OpenClipboardSoon(HWND window)
{
    // Other programs hold the clipboard only for moments; a capture or a
    // save should not fail because it met one of them.
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (OpenClipboard(window))
            return true;
        Sleep(25);
    }
    return false;
}

int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags)
{
    return MessageBoxW(owner, text, caption, flags);
}

void DeletePicture(HWND window)
{
    if (OpenClipboard(window)) {
        EmptyClipboard();
        CloseClipboard();
    }
    HideScrollBarsAndRepaint(window);
    SetMainTitle(window, nullptr);
}

// The wallpaper file's second place, for users who may not write to the
// Windows folder: %LOCALAPPDATA%\Kelvo\KELVO.BMP, the folder made when
// missing.
std::wstring PerUserWallpaper()
{
    // Of any length, unlike the older call's MAX_PATH buffer.
    PWSTR local = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local))) {
        CoTaskMemFree(local);
        return std::wstring();
    }
    std::wstring folder = std::wstring(local) + L"\\Kelvo";
    CoTaskMemFree(local);
    CreateDirectoryW(folder.c_str(), nullptr);  // the write below tells whether it is there
    return folder + L"\\KELVO.BMP";
}

std::wstring WindowsFolder()
{
    UINT n = GetWindowsDirectoryW(nullptr, 0);
    if (n == 0)
        return std::wstring();
    std::wstring folder(n, L'\0');
    n = GetWindowsDirectoryW(&folder[0], n);
    if (n == 0 || n >= folder.size())
        return std::wstring();
    folder.resize(n);
    return folder;
}

void RegisterWallpaper(HWND window)
{
    if (ShowMessage(window, L"壁紙に登録します\nよろしいですか", L"Kelvo",
                    MB_YESNO | MB_ICONINFORMATION) != IDYES)
        return;
    std::wstring path = WindowsFolder();
    if (!path.empty())
        path += L"\\KELVO.BMP";
    if (path.empty() || !WriteClipboardAsBmp(window, path.c_str())) {
        std::wstring own = PerUserWallpaper();
        if (own.empty() || !WriteClipboardAsBmp(window, own.c_str())) {
            ShowFileNotWritten((own.empty() ? path : own).c_str());
            return;
        }
        path = own;
    }
    SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, &path[0], SPIF_UPDATEINIFILE);
}

void ShowAboutBox()
{
    RunDialog(kAboutDialog, AboutDlgProc);
}

void ShowHelp(HWND window, bool helpOnHelp)
{
    std::wstring page = BesideProgram(kHelpPage);
    // Without either file the help system reports the missing KELVO.HLP.
    if (FileExists(BesideProgram(L"KELVO.HLP")) || !FileExists(page)) {
        if (helpOnHelp)
            WinHelpA(window, "", HELP_HELPONHELP, 0);
        else
            WinHelpA(window, "KELVO.HLP", HELP_FORCEFILE, 0);
        return;
    }
    // Without the shell's own error box, so that the one message names the
    // guide's file, which the user can then open by hand.
    SHELLEXECUTEINFOW run{};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_FLAG_NO_UI;
    run.hwnd = window;
    run.lpVerb = L"open";
    run.lpFile = page.c_str();
    run.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&run) && reinterpret_cast<INT_PTR>(run.hInstApp) > 32)
        return;
    INT_PTR why = reinterpret_cast<INT_PTR>(run.hInstApp);
    std::wstring text = L"ヘルプを開けませんでした( " + page + L" )\n";
    if (why == SE_ERR_NOASSOC || why == SE_ERR_ASSOCINCOMPLETE)
        text += L".html のファイルを開くプログラムが登録されていません。\n";
    text += L"このファイルをブラウザーで開いてください。";
    ShowMessage(window, text.c_str(), L"Kelvoｴﾗｰ", MB_OK | MB_ICONEXCLAMATION);
}
