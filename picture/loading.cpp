// Opening picture files as the current picture: BMP by the program itself,
// every other file through the image plug-ins, or the system's codecs when
// no plug-in takes it; and the common file dialogs
// of the open and save commands.
#include "picture/picture.h"

#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/ansi_text.h"
#include "app/app.h"
#include "picture/bmp_reader.h"
#include "picture/clipboard_formats.h"
#include "picture/global_memory.h"
#include "picture/load_failure.h"
#include "picture/plugin_rules.h"
#include "picture/plugins.h"
#include "picture/serial_name.h"

namespace {

const wchar_t kErrorCaption[] = L"Kelvoｴﾗｰ";


bool EndsWithBmp(const wchar_t* path)
{
    size_t n = wcslen(path);
    if (n < 3)
        return false;
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path + n - 3, 3, L"bmp", 3)
           == CSTR_EQUAL;
}

// Names the file and why it could not be opened: the caption and the
// text's first words stay what they always were.
void ShowLoadFailed(const wchar_t* path, LoadFailure failure)
{
    ShowMessage(nullptr, LoadFailedText(path, failure).c_str(), kErrorCaption, MB_OK);
}

// Empties the clipboard and places the new picture; on failure the
// handles are still the caller's.
bool PlacePicture(HWND window, HBITMAP bitmap, HPALETTE palette)
{
    if (!OpenClipboard(window))
        return false;
    EmptyClipboard();
    bool placed = true;
    if (palette)
        placed = SetClipboardData(CF_PALETTE, palette) != nullptr;
    placed = placed && SetClipboardData(CF_BITMAP, bitmap) != nullptr;
    if (placed)
        OfferPictureFormats(bitmap, palette);
    CloseClipboard();
    return placed;
}

// The file dialogs' shared name buffer: empty for the open dialog, a
// proposed name for the save dialog. As long as the longest name Windows
// takes, so that no chosen name is cut.
constexpr DWORD kFileNameCapacity = 32768;
wchar_t g_fileName[kFileNameCapacity];

// The list of file types drops as wide as its longest entry (the open
// dialog's every-picture entry names each extension), within the monitor;
// the dialog's own list is only as wide as the box.
void WidenTypeList(HWND dialog)
{
    HWND types = GetDlgItem(dialog, cmb1);
    if (!types)
        return;
    HDC dc = GetDC(types);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(types, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    LRESULT count = SendMessageW(types, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = SendMessageW(types, CB_GETLBTEXTLEN, WPARAM(i), 0);
        if (length <= 0)
            continue;
        std::wstring text(size_t(length) + 1, L'\0');
        SendMessageW(types, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(&text[0]));
        SIZE extent{};
        if (GetTextExtentPoint32W(dc, text.c_str(), int(length), &extent) && extent.cx > widest)
            widest = extent.cx;
    }
    SelectObject(dc, old);
    ReleaseDC(types, dc);
    // Room for the list's scroll bar and the items' margins.
    LONG width = widest + GetSystemMetrics(SM_CXVSCROLL) + 2 * GetSystemMetrics(SM_CXEDGE) + 8;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(types, MONITOR_DEFAULTTONEAREST), &monitor))
        width = std::min<LONG>(width, monitor.rcWork.right - monitor.rcWork.left);
    RECT box{};
    GetWindowRect(types, &box);
    if (width > box.right - box.left)
        SendMessageW(types, CB_SETDROPPEDWIDTH, WPARAM(width), 0);
}

// Hook of both file dialogs: the list of types is widened to its longest
// entry. In the save dialog (lCustData 1) a change of file type also
// changes the extension of the name in the name box, so the proposed name
// saves in the type now chosen.
UINT_PTR CALLBACK FileDialogHook(HWND child, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_NOTIFY)
        return 0;
    auto* notify = reinterpret_cast<OFNOTIFYW*>(lParam);
    if (notify->hdr.code == CDN_INITDONE) {
        WidenTypeList(GetParent(child));
        return 0;
    }
    if (notify->hdr.code == CDN_TYPECHANGE && notify->lpOFN->lCustData == 1) {
        HWND dialog = GetParent(child);
        // The name box may hold a whole path typed there, of any length.
        std::vector<wchar_t> typed(kFileNameCapacity);
        LRESULT got = SendMessageW(dialog, CDM_GETSPEC, typed.size(), reinterpret_cast<LPARAM>(typed.data()));
        if (got > 0 && size_t(got) <= typed.size()) {
            std::wstring name(typed.data());
            PictureFormat format = PictureFormatOfIndex(int(notify->lpOFN->nFilterIndex) - 1);
            std::wstring renamed = NameForFileType(name, format);
            if (renamed != name) {
                // The name box is edt1 in some versions of the dialog, cmb13 in others.
                SendMessageW(dialog, CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(renamed.c_str()));
                SendMessageW(dialog, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(renamed.c_str()));
            }
        }
    }
    return 0;
}

// What both file dialogs share: the shared name buffer, a title buffer,
// the question before replacing a file, default extension "BMP" and the
// hook.
OPENFILENAMEW FileDialogOf(HWND owner, const wchar_t* filter, DWORD filterIndex, wchar_t* title)
{
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = filterIndex;
    ofn.lpstrFile = g_fileName;
    ofn.nMaxFile = kFileNameCapacity;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = MAX_PATH;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_ENABLEHOOK;
    ofn.lpfnHook = FileDialogHook;
    ofn.lpstrDefExt = L"BMP";
    return ofn;
}

// The open dialog's filters: every picture Kelvo can open (BMP, what the
// plug-ins say they read, then what the system's codecs read), the entry
// it starts with, then BMP files alone. Each entry is a name and a
// pattern; a list ends with an empty name, so no pattern may be empty.
std::wstring OpenFilter()
{
    std::vector<std::string> readable = PluginPicturePatterns();
    readable.push_back(kCodecPicturePattern);
    std::wstring patterns = WideFromAnsi(AllPicturesPattern(readable).c_str());
    std::wstring filter;
    auto entry = [&filter](const std::wstring& name, const std::wstring& pattern) {
        filter += name;
        filter.push_back(L'\0');
        filter += pattern;
        filter.push_back(L'\0');
    };
    entry(L"すべての画像ﾌｧｲﾙ(" + patterns + L")", patterns);
    entry(L"ﾋﾞｯﾄﾏｯﾌﾟ ﾌｧｲﾙ(*.BMP)", L"*.BMP");
    return filter;  // the string's own terminator ends the list
}

// What the save dialog remembers while Kelvo runs: the folder of the last
// file saved through it (empty: the current folder, as at the first save),
// the file type left chosen in it, and the format of "ﾌｧｲﾙ連続生成" at
// that time: a later change there is the newer choice and wins.
std::wstring g_saveFolder;
bool g_saveTypeKnown = false;
PictureFormat g_saveType = PictureFormat::kBmp;
PictureFormat g_outputFormatAtSave = PictureFormat::kBmp;

}  // namespace

HGLOBAL ReadDibFile(HANDLE file, LoadFailure* failure)
{
    LoadFailure why = LoadFailure::kUnreadable;
    HGLOBAL dib = nullptr;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        why = LoadFailureOfFileError(GetLastError());
    } else if (static_cast<unsigned long long>(size.QuadPart) > kBmpMaxFileBytes) {
        why = LoadFailure::kTooLarge;
    } else if (size.QuadPart < 14) {
        // Too short to map usefully (an empty file cannot be mapped at
        // all); the reader still tells "not a BMP" from "cut short".
        uint8_t head[14] = {};
        DWORD got = 0;
        if (ReadFile(file, head, DWORD(size.QuadPart), &got, nullptr)) {
            BmpPlan plan{};
            why = LoadFailureOfBmp(PlanBmpRead(head, got, &plan));
        } else {
            why = LoadFailureOfFileError(GetLastError());
        }
    } else if (HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr)) {
        auto* data = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
        if (data) {
            size_t length = size_t(size.QuadPart);
            BmpPlan plan{};
            BmpStatus status = PlanBmpRead(data, length, &plan);
            if (status != BmpStatus::kOk) {
                why = LoadFailureOfBmp(status);
            } else if (!(dib = GlobalAlloc(GMEM_MOVEABLE, plan.dibSize))) {
                why = LoadFailure::kNoMemory;
            } else {
                LockedBlock<uint8_t> p(dib);
                status = p ? BuildBmpDib(data, length, plan, p.get(), plan.dibSize)
                           : BmpStatus::kBadArguments;
                if (status != BmpStatus::kOk)
                    why = p ? LoadFailureOfBmp(status) : LoadFailure::kNoMemory;
            }
            if (status != BmpStatus::kOk && dib) {
                GlobalFree(dib);
                dib = nullptr;
            }
            UnmapViewOfFile(data);
        } else {
            why = LoadFailure::kNoMemory;
        }
        CloseHandle(mapping);
    } else {
        why = LoadFailureOfFileError(GetLastError());
    }
    if (!dib && failure)
        *failure = why;
    return dib;
}

bool LongPathsEnabled()
{
    using Query = BOOLEAN(WINAPI*)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto query = ntdll ? reinterpret_cast<Query>(GetProcAddress(ntdll, "RtlAreLongPathsEnabled"))
                       : nullptr;
    return query && query();
}

LoadFailure LoadFailureOfPathError(const wchar_t* path, DWORD error)
{
    if (NameTooLongForSystem(error, wcslen(path), LongPathsEnabled()))
        return LoadFailure::kNameTooLong;
    return LoadFailureOfFileError(error);
}

bool OpenPictureFile(HWND window, const wchar_t* path)
{
    if (!EndsWithBmp(path)) {
        // A file that cannot be opened is said so here: the plug-ins would
        // only report that none of them took it.
        HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            ShowLoadFailed(path, LoadFailureOfPathError(path, GetLastError()));
            return false;
        }
        CloseHandle(file);
        HBITMAP bitmap = LoadPictureFile(window, path);
        if (!bitmap) {
            ShowLoadFailed(path, LastPluginFailure());
            return false;
        }
        if (!PlacePicture(window, bitmap, nullptr)) {
            DeleteObject(bitmap);
            ShowLoadFailed(path, LoadFailure::kClipboard);
            return false;
        }
    } else {
        HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            ShowLoadFailed(path, LoadFailureOfPathError(path, GetLastError()));
            return false;
        }
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        LoadFailure failure = LoadFailure::kUnreadable;
        bool taken = false;
        HBITMAP bitmap = ReadBmpInRows(file, &taken, &failure);
        HGLOBAL dib = taken ? nullptr : ReadDibFile(file, &failure);
        CloseHandle(file);
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        if (!bitmap && !dib) {
            ShowLoadFailed(path, failure);
            return false;
        }
        HPALETTE palette = nullptr;
        if (dib) {
            int colors = 0;
            palette = MakePaletteFromDib(dib, &colors);
            if (!palette && colors != 0) {
                GlobalFree(dib);
                ShowLoadFailed(path, LoadFailure::kNoMemory);
                return false;
            }
            bitmap = MakeBitmapFromDib(dib, palette);
            GlobalFree(dib);
        }
        bool placed = bitmap && PlacePicture(window, bitmap, palette);
        if (!placed) {
            if (bitmap)
                DeleteObject(bitmap);
            if (palette)
                DeleteObject(palette);
            ShowLoadFailed(path, bitmap ? LoadFailure::kClipboard : LoadFailure::kNoMemory);
            return false;
        }
    }
    InvalidateRect(window, nullptr, TRUE);
    SetMainTitle(window, path);
    return true;
}

bool ChooseOpenFile(HWND owner, std::wstring* path)
{
    wchar_t title[MAX_PATH] = {};
    // No preset name: a wild card there would limit the listing whatever
    // type is chosen.
    g_fileName[0] = L'\0';
    std::wstring filter = OpenFilter();
    OPENFILENAMEW ofn = FileDialogOf(owner, filter.c_str(), 1, title);
    if (!GetOpenFileNameW(&ofn) || !g_fileName[0])
        return false;
    *path = g_fileName;
    return true;
}

bool ChooseSaveFile(HWND owner, std::wstring* path, PictureFormat* format)
{
    const PictureFormat start = g_saveTypeKnown && *format == g_outputFormatAtSave ? g_saveType : *format;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::string name = ProposedSaveName({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                                         now.wSecond}, start);
    lstrcpynW(g_fileName, WideFromAnsi(name.c_str()).c_str(), kFileNameCapacity);
    wchar_t title[MAX_PATH] = {};
    // A name typed without extension gets the chosen type's.
    // The types in the order PictureFormatOfIndex counts them.
    static const wchar_t kFilter[] = L"ﾋﾞｯﾄﾏｯﾌﾟ ﾌｧｲﾙ(*.BMP)\0*.BMP\0PNG ﾌｧｲﾙ(*.PNG)\0*.PNG\0"
                                     L"JPEG ﾌｧｲﾙ(*.JPG)\0*.JPG;*.JPEG\0\0";
    OPENFILENAMEW ofn = FileDialogOf(owner, kFilter, DWORD(IndexOfPictureFormat(start) + 1), title);
    ofn.lCustData = 1;
    if (!g_saveFolder.empty())
        ofn.lpstrInitialDir = g_saveFolder.c_str();
    if (!GetSaveFileNameW(&ofn) || !g_fileName[0])
        return false;
    *path = g_fileName;
    g_saveFolder = FolderOfPath(*path);
    g_outputFormatAtSave = *format;
    g_saveType = PictureFormatOfIndex(int(ofn.nFilterIndex) - 1);
    g_saveTypeKnown = true;
    *format = FormatForFileName(*path, g_saveType);
    return true;
}

void OpenCommand(HWND window)
{
    std::wstring path;
    if (ChooseOpenFile(window, &path))
        OpenPictureFile(window, path.c_str());
}
