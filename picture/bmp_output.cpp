// Writing the current picture to BMP and PNG files: the save command, the
// next serially numbered file, and the serial-output dialog (110).
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
#include "picture/clipboard_formats.h"
#include "picture/dib_rules.h"
#include "picture/global_memory.h"
#include "picture/jpeg_file.h"
#include "picture/serial_name.h"
#include "res/resource.h"

namespace {

// Serial output state: kept between runs with the settings
// (RestoreSerialOutput, CurrentSerialOutput), the counter excepted.
bool g_serialOn;
std::wstring g_outputFolder;
std::wstring g_filePrefix;
// The folder and prefix the serial files are named from, as last
// confirmed with serial output on (Browse.. changes the folder shown
// before that).
std::wstring g_serialFolder;
std::wstring g_serialPrefix;
uint16_t g_serialCounter;

// Working copies of the compression and format choices while dialog 110
// is open.
int g_workingCompression;
PictureFormat g_workingFormat;

// The quality box's number, or 0 when it holds none in range.
int QualityOfDialog(HWND dialog)
{
    BOOL read = FALSE;
    UINT value = GetDlgItemInt(dialog, IDC_SERIAL_QUALITY, &read, FALSE);
    return read && value >= UINT(kLowestJpegQuality) && value <= UINT(kHighestJpegQuality) ? int(value)
                                                                                           : 0;
}

const wchar_t kErrorCaption[] = L"Kelvoｴﾗｰ";

// Takes the clipboard's picture (capturing the screen first when it holds
// none) and makes a Capture DIB of it; null when that fails.
HGLOBAL DibOfCurrentPicture(HWND window, int compression)
{
    if (!OpenClipboardSoon(window))
        return nullptr;
    if (!IsClipboardFormatAvailable(CF_BITMAP) && !ForeignPictureBitmap()) {
        // The grab opens the clipboard itself.
        CloseClipboard();
        GrabScreen(window, nullptr, nullptr);
        if (!OpenClipboardSoon(window))
            return nullptr;
    }
    HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    if (!bitmap)
        bitmap = ForeignPictureBitmap();
    HPALETTE palette = static_cast<HPALETTE>(GetClipboardData(CF_PALETTE));
    HGLOBAL dib = bitmap ? MakeDibFromBitmapAs(bitmap, palette, compression) : nullptr;
    CloseClipboard();
    return dib;
}

bool EncodeJpeg(HGLOBAL dib, std::vector<uint8_t>* jpeg)
{
    LockedBlock<uint8_t> p(dib);
    return p && EncodeDibAsJpeg(p.get(), GlobalSize(dib), g_jpegQuality, jpeg);
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

// The current picture made ready for a file: its Capture DIB for a BMP
// file, the encoded bytes for a PNG file.
class PictureFile {
public:
    explicit PictureFile(PictureFormat format) : format_(format) {}
    ~PictureFile()
    {
        if (dib_)
            GlobalFree(dib_);
    }
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;

    bool Make(HWND window)
    {
        if (format_ == PictureFormat::kBmp) {
            dib_ = DibOfCurrentPicture(window, g_compression);
            return dib_ != nullptr;
        }
        if (format_ == PictureFormat::kPng && TakePngOfGrab(&encoded_))
            return encoded_.size() <= MAXDWORD;
        // PNG and JPEG keep every colour: the RLE choices are for BMP files.
        HGLOBAL plain = DibOfCurrentPicture(window, 0);
        bool encoded = plain
                       && (format_ == PictureFormat::kJpeg ? EncodeJpeg(plain, &encoded_)
                                                           : EncodePng(plain, &encoded_))
                       && encoded_.size() <= MAXDWORD;
        if (plain)
            GlobalFree(plain);
        return encoded;
    }

    bool WriteTo(HANDLE file) const
    {
        if (format_ == PictureFormat::kBmp)
            return WriteBmp(file, dib_);
        return WriteAll(file, encoded_.data(), DWORD(encoded_.size()));
    }

private:
    PictureFormat format_;
    HGLOBAL dib_ = nullptr;
    std::vector<uint8_t> encoded_;
};

// Creates a file of a name not yet taken and writes the picture; the
// serial road never replaces a file. A file not written whole is removed.
// The error of the last file that could not be made and the length of its
// name, for the message.
DWORD g_createError;
size_t g_createNameLength;

SerialTry WriteNewPictureFile(const PictureFile& picture, const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = g_createError = GetLastError();
        g_createNameLength = wcslen(path);
        bool exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
                      || GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
        return exists ? SerialTry::kExists : SerialTry::kFailed;
    }
    bool written = picture.WriteTo(file);
    written = CloseHandle(file) && written;
    if (!written) {
        // A cut file would claim to hold a whole picture.
        DeleteFileW(path);
        return SerialTry::kFailed;
    }
    return SerialTry::kWritten;
}

// A new, empty file in folder for the picture that is to replace another,
// made by Kelvo itself rather than GetTempFileName, which takes folders of
// no more than about 246 characters. Its handle, or INVALID_HANDLE_VALUE.
HANDLE CreateReplacingFile(const std::wstring& folder, std::wstring* name)
{
    std::wstring stem = folder;
    // "C:" is the drive's current folder; a root keeps its own separator.
    if (!stem.empty() && stem.back() != L'\\' && stem.back() != L'/' && stem.back() != L':')
        stem += L'\\';
    static unsigned sequence = 0;
    const DWORD process = GetCurrentProcessId();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        wchar_t tail[40];
        wsprintfW(tail, L"~kvo%lx-%x.tmp", process, ++sequence ^ GetTickCount());
        *name = stem + tail;
        HANDLE file = CreateFileW(name->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return file;
        DWORD error = g_createError = GetLastError();
        g_createNameLength = name->size();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    name->clear();
    return INVALID_HANDLE_VALUE;
}

// Writes the picture to path, replacing a file of that name only once the
// new one is whole: it is written to a new file in the same folder and
// moved over the old one. Until that move the old file is as it was, and
// if anything fails (a full disk, a pulled stick, a share gone) the old
// file stays and the new one is removed.
bool ReplaceWithPictureFile(const PictureFile& picture, const std::wstring& target)
{
    g_createError = 0;
    if (target.empty())
        return false;
    // Same folder, so that the move is a rename on one volume.
    std::wstring temporary;
    HANDLE file = CreateReplacingFile(FolderOfPath(target), &temporary);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // On the disk before it takes the old file's place, so that a power
    // cut right after the move cannot leave an empty picture there.
    bool whole = picture.WriteTo(file) && FlushFileBuffers(file);
    whole = CloseHandle(file) && whole;
    if (whole && MoveFileExW(temporary.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    g_createError = GetLastError();
    g_createNameLength = target.size();
    DeleteFileW(temporary.c_str());
    return false;
}

// A second line for the message of a file not written, where the reason
// is one the user can act on.
const wchar_t* WriteFailureReason()
{
    return NameTooLongForSystem(g_createError, g_createNameLength, LongPathsEnabled())
               ? kNameTooLongText
               : nullptr;
}

std::wstring WideDialogText(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    int length = GetWindowTextLengthW(control);
    std::wstring wide(size_t(length) + 1, L'\0');
    GetWindowTextW(control, &wide[0], length + 1);
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

// The compression choices are for BMP files only; the name shown after
// the prefix follows the format.
void ShowFormatChoice(HWND dialog, PictureFormat format)
{
    const bool bmp = format == PictureFormat::kBmp;
    for (int id : {IDC_SERIAL_RLE8, IDC_SERIAL_RLE4, IDC_SERIAL_NO_COMPRESS})
        EnableWindow(GetDlgItem(dialog, id), bmp);
    const bool jpeg = format == PictureFormat::kJpeg;
    for (int id : {IDC_SERIAL_QUALITY_LABEL, IDC_SERIAL_QUALITY, IDC_SERIAL_QUALITY_RANGE})
        EnableWindow(GetDlgItem(dialog, id), jpeg);
    SetDlgItemTextW(dialog, IDC_SERIAL_SUFFIX,
                    bmp ? L"####.BMP" : jpeg ? L"####.JPG" : L"####.PNG");
}

void EnableSerialControls(HWND dialog, bool on)
{
    for (int id : {IDC_SERIAL_OPTIONS, IDC_SERIAL_FOLDER, IDC_SERIAL_PREFIX, IDC_SERIAL_BROWSE,
                   IDC_SERIAL_FOLDER_LABEL, IDC_SERIAL_PREFIX_LABEL, IDC_SERIAL_SUFFIX,
                   IDC_SERIAL_TOKENS})
        EnableWindow(GetDlgItem(dialog, id), on);
}

void InitSerialDialog(HWND dialog)
{
    CenterDialog(dialog, false);
    if (g_outputFolder.empty()) {
        DWORD size = GetCurrentDirectoryW(0, nullptr);
        std::wstring directory(size, L'\0');
        DWORD n = size ? GetCurrentDirectoryW(size, &directory[0]) : 0;
        if (n > 0 && n < size)
            g_outputFolder = directory.substr(0, n);
    }
    SetDlgItemTextW(dialog, IDC_SERIAL_FOLDER, g_outputFolder.c_str());
    SetDlgItemTextW(dialog, IDC_SERIAL_PREFIX, g_filePrefix.c_str());
    CheckRadioButton(dialog, IDC_SERIAL_OFF, IDC_SERIAL_ON, g_serialOn ? IDC_SERIAL_ON : IDC_SERIAL_OFF);
    int compression = g_compression == 1 ? IDC_SERIAL_RLE8
                      : g_compression == 2 ? IDC_SERIAL_RLE4 : IDC_SERIAL_NO_COMPRESS;
    CheckRadioButton(dialog, IDC_SERIAL_RLE8, IDC_SERIAL_NO_COMPRESS, compression);
    EnableSerialControls(dialog, g_serialOn);
    g_workingCompression = g_compression;
    g_workingFormat = g_outputFormat;
    // The JPEG button's id lies outside the range of the other two.
    CheckDlgButton(dialog, IDC_SERIAL_BMP, g_outputFormat == PictureFormat::kBmp);
    CheckDlgButton(dialog, IDC_SERIAL_PNG, g_outputFormat == PictureFormat::kPng);
    CheckDlgButton(dialog, IDC_SERIAL_JPEG, g_outputFormat == PictureFormat::kJpeg);
    SendDlgItemMessageW(dialog, IDC_SERIAL_QUALITY, EM_LIMITTEXT, 3, 0);
    SetDlgItemInt(dialog, IDC_SERIAL_QUALITY, UINT(g_jpegQuality), FALSE);
    ShowFormatChoice(dialog, g_outputFormat);
}

void ComposeBaseName()
{
    g_serialFolder = g_outputFolder;
    g_serialPrefix = g_filePrefix;
}

LocalMoment Now()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

// False when a text is refused: the dialog then stays open.
bool AcceptSerialDialog(HWND dialog)
{
    // The quality matters only with JPEG chosen; otherwise a box left
    // empty keeps the quality there was.
    const int quality = QualityOfDialog(dialog);
    if (quality == 0 && g_workingFormat == PictureFormat::kJpeg) {
        ShowMessage(dialog, L"JPEG の品質は 1～100 の数で指定してください。", L"Kelvo",
                    MB_OK | MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(dialog, IDC_SERIAL_QUALITY));
        SendDlgItemMessageW(dialog, IDC_SERIAL_QUALITY, EM_SETSEL, 0, -1);
        return false;
    }
    if (quality != 0)
        g_jpegQuality = quality;
    bool on = IsDlgButtonChecked(dialog, IDC_SERIAL_ON) == BST_CHECKED;
    if (on) {
        g_outputFolder = WideDialogText(dialog, IDC_SERIAL_FOLDER);
        g_filePrefix = WideDialogText(dialog, IDC_SERIAL_PREFIX);
        ComposeBaseName();
    }
    g_serialOn = on;
    g_compression = g_workingCompression;
    g_outputFormat = g_workingFormat;
    return true;
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
        case IDC_SERIAL_BMP:
        case IDC_SERIAL_PNG:
        case IDC_SERIAL_JPEG:
            g_workingFormat = LOWORD(wParam) == IDC_SERIAL_PNG    ? PictureFormat::kPng
                              : LOWORD(wParam) == IDC_SERIAL_JPEG ? PictureFormat::kJpeg
                                                                  : PictureFormat::kBmp;
            ShowFormatChoice(dialog, g_workingFormat);
            return TRUE;
        case IDC_SERIAL_BROWSE: {
            std::wstring folder;
            if (BrowseForFolder(dialog, WideDialogText(dialog, IDC_SERIAL_FOLDER).c_str(), &folder)) {
                // Kept even if the dialog is then cancelled.
                g_outputFolder = folder;
                SetDlgItemTextW(dialog, IDC_SERIAL_FOLDER, folder.c_str());
            }
            return TRUE;
        }
        case IDOK:
            if (AcceptSerialDialog(dialog))
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

PictureFormat g_outputFormat = PictureFormat::kBmp;
int g_jpegQuality = kDefaultJpegQuality;

void ShowFileNotWritten(const wchar_t* name, const wchar_t* reason)
{
    std::wstring text = L"ファイルが作成出来ませんでした( ";
    text += name;
    text += L" )";
    if (reason) {
        text += L"\n";
        text += reason;
    }
    ShowMessage(nullptr, text.c_str(), kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
}

bool SaveClipboardAs(HWND window, const wchar_t* path, PictureFormat format)
{
    g_createError = 0;
    PictureFile picture(format);
    if (!picture.Make(window) || !ReplaceWithPictureFile(picture, path))
        return false;
    SetMainTitle(window, path);
    return true;
}

bool WriteClipboardAsBmp(HWND window, const wchar_t* path)
{
    // The wallpaper's file is replaced whole, as a saved file is; the title
    // keeps naming the picture's own file.
    PictureFile picture(PictureFormat::kBmp);
    return picture.Make(window) && ReplaceWithPictureFile(picture, path);
}

void SaveNextSerialBmp(HWND window)
{
    g_createError = 0;
    const PictureFormat format = g_outputFormat;
    // One moment for every number tried, so that the search runs over
    // names of one date.
    const LocalMoment moment = Now();
    auto nameOf = [&](uint16_t number) {
        return SerialFileNameOf(g_serialFolder, g_serialPrefix, number, format, moment);
    };
    std::wstring name;
    PictureFile picture(format);
    SerialTry result;
    if (picture.Make(window)) {
        result = WriteNextSerialFile(&g_serialCounter, [&](uint16_t number) {
            name = nameOf(number);
            return WriteNewPictureFile(picture, name.c_str());
        });
    } else {
        // The number of a failed file is skipped, not taken back.
        name = nameOf(++g_serialCounter);
        result = SerialTry::kFailed;
    }
    if (result == SerialTry::kWritten) {
        SetMainTitle(window, name.c_str());
        return;
    }
    if (result == SerialTry::kFailed) {
        ShowFileNotWritten(name.c_str(), WriteFailureReason());
        return;
    }
    // Every number has its file already, and none is ever replaced.
    ShowFileNotWritten(SerialNamePatternOf(g_serialFolder, g_serialPrefix, format, moment).c_str(),
                       L"0000～65535 の番号のファイルがすべてあります。");
}

void SaveAsCommand(HWND window)
{
    std::wstring path;
    PictureFormat format = g_outputFormat;
    if (ChooseSaveFile(window, &path, &format) && !SaveClipboardAs(window, path.c_str(), format))
        ShowFileNotWritten(path.c_str(), WriteFailureReason());
}

void SerialOutputCommand(HWND)
{
    RunDialog(IDD_SERIAL, SerialFileDialog);
}

bool SerialOutputOn() { return g_serialOn; }

SerialOutputChoice CurrentSerialOutput()
{
    return SerialOutputChoice{g_serialOn,     g_outputFolder, g_filePrefix,
                              g_outputFormat, g_compression,  g_jpegQuality};
}

void RestoreSerialOutput(const SerialOutputChoice& choice)
{
    g_outputFolder = choice.folder;
    g_filePrefix = choice.prefix;
    g_serialOn = choice.on;
    if (g_serialOn)
        ComposeBaseName();
    g_outputFormat = choice.format;
    g_compression = choice.compression;
    g_jpegQuality = choice.jpegQuality;
}

namespace {

// The picker starts at the folder the dialog shows.
int CALLBACK BrowseCallback(HWND picker, UINT message, LPARAM, LPARAM start)
{
    if (message == BFFM_INITIALIZED && start && *reinterpret_cast<const wchar_t*>(start))
        SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

}  // namespace

bool BrowseForFolder(HWND owner, const wchar_t* start, std::wstring* folder)
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
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(start);
    LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
    bool ok = false;
    if (chosen) {
        // The parsing name is the full file-system path.
        IShellFolder* desktopFolder = nullptr;
        if (SUCCEEDED(SHGetDesktopFolder(&desktopFolder)) && desktopFolder) {
            STRRET name{};
            if (SUCCEEDED(desktopFolder->GetDisplayNameOf(chosen, SHGDN_FORPARSING, &name))) {
                // As long as the longest name Windows takes.
                std::vector<wchar_t> path(32768);
                if (SUCCEEDED(StrRetToBufW(&name, chosen, path.data(), UINT(path.size())))) {
                    *folder = path.data();
                    ok = !folder->empty();
                }
            }
            desktopFolder->Release();
        }
        allocator->Free(chosen);
    }
    allocator->Free(desktop);
    allocator->Release();
    return ok;
}
