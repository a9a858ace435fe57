// Writing the current picture to BMP files: the save command, the next
// serially numbered file, and the serial-output dialog (110).
#include "picture/picture.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/ansi_text.h"
#include "app/app.h"
#include "capture/capture.h"
#include "picture/bmp_file.h"
#include "picture/dib_rules.h"
#include "picture/global_memory.h"
#include "picture/serial_name.h"
#include "res/resource.h"

namespace {

// Serial output state: lives for the process, never stored.
bool g_serialOn;
std::string g_outputFolder;
std::string g_filePrefix;
std::string g_serialBaseName;
uint16_t g_serialCounter;

// Working copy of the compression choice while dialog 110 is open.
int g_workingCompression;

const wchar_t kErrorCaption[] = L"Kelvoｴﾗｰ";

// Takes the clipboard's picture (capturing the screen first when it holds
// none) and makes a Capture DIB of it; null when that fails.
HGLOBAL DibOfCurrentPicture(HWND window)
{
    if (!OpenClipboardSoon(window))
        return nullptr;
    if (!IsClipboardFormatAvailable(CF_BITMAP)) {
        // The grab opens the clipboard itself.
        CloseClipboard();
        GrabScreen(window, nullptr, nullptr);
        if (!OpenClipboardSoon(window))
            return nullptr;
    }
    HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    HPALETTE palette = static_cast<HPALETTE>(GetClipboardData(CF_PALETTE));
    HGLOBAL dib = bitmap ? MakeDibFromBitmap(bitmap, palette) : nullptr;
    CloseClipboard();
    return dib;
}

bool WriteAll(HANDLE file, const void* data, DWORD length)
{
    DWORD written = 0;
    return WriteFile(file, data, length, &written, nullptr) && written == length;
}

// Writes file header and DIB part; true only when every byte was written.
bool WriteBmp(HANDLE file, HGLOBAL dib)
{
    LockedBlock<uint8_t> p(dib);
    if (!p)
        return false;
    uint8_t fileHeader[kBmpFileHeaderSize];
    uint32_t dibPart = 0;
    if (!BuildBmpFileHeader(reinterpret_cast<const DibHeader*>(p.get()), GlobalSize(dib), fileHeader,
                            &dibPart))
        return false;
    return WriteAll(file, fileHeader, sizeof fileHeader) && WriteAll(file, p.get(), dibPart);
}

std::string DialogText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    int length = GetWindowTextLengthW(control);
    std::wstring wide(size_t(length) + 1, L'\0');
    GetWindowTextW(control, &wide[0], length + 1);
    wide.resize(wcslen(wide.c_str()));
    std::string text;
    if (!AnsiFromWide(wide.c_str(), &text))
        text.clear();
    return text;
}

void EnableSerialControls(HWND dialog, bool on)
{
    for (int id : {IDC_SERIAL_OPTIONS, IDC_SERIAL_FOLDER, IDC_SERIAL_PREFIX, IDC_SERIAL_BROWSE,
                   IDC_SERIAL_FOLDER_LABEL, IDC_SERIAL_PREFIX_LABEL, IDC_SERIAL_SUFFIX})
        EnableWindow(GetDlgItem(dialog, id), on);
}

void InitSerialDialog(HWND dialog)
{
    CenterDialog(dialog, false);
    if (g_outputFolder.empty()) {
        char directory[MAX_PATH];
        DWORD n = GetCurrentDirectoryA(sizeof directory, directory);
        if (n > 0 && n < sizeof directory)
            g_outputFolder = directory;
    }
    SetDlgItemTextW(dialog, IDC_SERIAL_FOLDER, WideFromAnsi(g_outputFolder.c_str()).c_str());
    SetDlgItemTextW(dialog, IDC_SERIAL_PREFIX, WideFromAnsi(g_filePrefix.c_str()).c_str());
    CheckRadioButton(dialog, IDC_SERIAL_OFF, IDC_SERIAL_ON, g_serialOn ? IDC_SERIAL_ON : IDC_SERIAL_OFF);
    int compression = g_compression == 1 ? IDC_SERIAL_RLE8
                      : g_compression == 2 ? IDC_SERIAL_RLE4 : IDC_SERIAL_NO_COMPRESS;
    CheckRadioButton(dialog, IDC_SERIAL_RLE8, IDC_SERIAL_NO_COMPRESS, compression);
    EnableSerialControls(dialog, g_serialOn);
    g_workingCompression = g_compression;
}

void AcceptSerialDialog(HWND dialog)
{
    g_serialOn = IsDlgButtonChecked(dialog, IDC_SERIAL_ON) == BST_CHECKED;
    if (g_serialOn) {
        g_outputFolder = DialogText(dialog, IDC_SERIAL_FOLDER);
        g_filePrefix = DialogText(dialog, IDC_SERIAL_PREFIX);
        bool shiftJis = AnsiIsShiftJis();
        std::vector<char> base(g_outputFolder.size() + g_filePrefix.size() + 2);
        if (ComposeSerialBaseName(g_outputFolder.c_str(), g_filePrefix.c_str(), shiftJis,
                                  base.data(), base.size()))
            g_serialBaseName = base.data();
    }
    g_compression = g_workingCompression;
}

INT_PTR CALLBACK SerialFileDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitSerialDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_SERIAL_OFF:
        case IDC_SERIAL_ON:
            EnableSerialControls(dialog, IsDlgButtonChecked(dialog, IDC_SERIAL_ON) == BST_CHECKED);
            return TRUE;
        case IDC_SERIAL_RLE8: g_workingCompression = 1; return TRUE;
        case IDC_SERIAL_RLE4: g_workingCompression = 2; return TRUE;
        case IDC_SERIAL_NO_COMPRESS: g_workingCompression = 0; return TRUE;
        case IDC_SERIAL_BROWSE: {
            std::string folder;
            if (BrowseForFolder(dialog, &folder)) {
                // Kept even if the dialog is then cancelled.
                g_outputFolder = folder;
                SetDlgItemTextW(dialog, IDC_SERIAL_FOLDER, WideFromAnsi(folder.c_str()).c_str());
            }
            return TRUE;
        }
        case IDOK:
            AcceptSerialDialog(dialog);
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

bool SaveClipboardAsBmp(HWND window, const char* path)
{
    HGLOBAL dib = DibOfCurrentPicture(window);
    if (!dib)
        return false;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        GlobalFree(dib);
        return false;
    }
    bool written = WriteBmp(file, dib);
    GlobalFree(dib);
    written = CloseHandle(file) && written;
    if (!written) {
        // A cut file would claim to hold a whole picture.
        DeleteFileA(path);
        return false;
    }
    SetMainTitleFromPath(window, path);
    return true;
}

void SaveNextSerialBmp(HWND window, const char* baseName)
{
    ++g_serialCounter;  // 16 bits: 65535 is followed by 0
    std::vector<char> name(strlen(baseName) + 16);
    bool named = FormatSerialFileName(baseName, g_serialCounter, name.data(), name.size());
    if (named && SaveClipboardAsBmp(window, name.data()))
        return;
    // The number of a failed file is skipped, not taken back.
    std::wstring text = L"ファイルが作成出来ませんでした( ";
    text += WideFromAnsi(named ? name.data() : baseName);
    text += L" )";
    ShowMessage(nullptr, text.c_str(), kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
}

void SaveAsCommand(HWND window)
{
    char path[MAX_PATH];
    if (ChooseBmpFile(window, path, 1))
        SaveClipboardAsBmp(window, path);
}

void SerialOutputCommand(HWND)
{
    RunDialog(IDD_SERIAL, SerialFileDialog);
}

bool SerialOutputOn() { return g_serialOn; }
const char* SerialBaseName() { return g_serialBaseName.c_str(); }

bool BrowseForFolder(HWND owner, std::string* folder)
{
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator)
        return false;
    LPITEMIDLIST desktop = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_DESKTOP, &desktop)) || !desktop) {
        allocator->Release();
        return false;
    }
    wchar_t displayName[MAX_PATH];
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = desktop;
    info.pszDisplayName = displayName;
    info.lpszTitle = L"ﾌｫﾙﾀﾞを選択して下さい";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
    bool ok = false;
    if (chosen) {
        // The parsing name is the full file-system path.
        IShellFolder* desktopFolder = nullptr;
        if (SUCCEEDED(SHGetDesktopFolder(&desktopFolder)) && desktopFolder) {
            STRRET name{};
            if (SUCCEEDED(desktopFolder->GetDisplayNameOf(chosen, SHGDN_FORPARSING, &name))) {
                wchar_t path[MAX_PATH * 2] = {};
                if (SUCCEEDED(StrRetToBufW(&name, chosen, path, MAX_PATH * 2)))
                    ok = AnsiFromWide(path, folder) && !folder->empty();
            }
            desktopFolder->Release();
        }
        allocator->Free(chosen);
    }
    allocator->Free(desktop);
    allocator->Release();
    return ok;
}
