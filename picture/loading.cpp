// Opening picture files as the current picture: BMP by the program itself,
// every other file through the image plug-ins; and the common file dialog
// for BMP files that the save command shares.
#include "picture/picture.h"

#include <commdlg.h>

#include <cstring>
#include <string>

#include "app/ansi_text.h"
#include "app/app.h"
#include "picture/bmp_reader.h"
#include "picture/global_memory.h"
#include "picture/load_failure.h"
#include "picture/plugin_rules.h"
#include "picture/plugins.h"

namespace {

const wchar_t kErrorCaption[] = L"Kelvoｴﾗｰ";

// Files beyond this are not mapped: no picture the reader accepts needs
// more than its pixel limit plus headers and a colour table.
constexpr unsigned long long kMaxBmpFile = kBmpMaxImageBytes + (64u << 20);

bool EndsWithBmp(const char* path)
{
    size_t n = std::strlen(path);
    if (n < 3)
        return false;
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path + n - 3, 3, "bmp", 3)
           == CSTR_EQUAL;
}

// Names the file and why it could not be opened: the caption and the
// text's first words stay what they always were.
void ShowLoadFailed(const char* path, LoadFailure failure)
{
    ShowMessage(nullptr, LoadFailedText(WideFromAnsi(path), failure).c_str(), kErrorCaption, MB_OK);
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
    CloseClipboard();
    return placed;
}

// The file dialog's shared name buffer; "*.bmp" at every call, so no
// earlier name is remembered.
wchar_t g_fileName[MAX_PATH];

// The chosen path in the ANSI code page, in which file names are kept;
// false for a name it cannot hold or that does not fit.
bool AnsiPath(const wchar_t* wide, std::string* path)
{
    return AnsiFromWide(wide, path) && !path->empty() && path->size() < MAX_PATH;
}

// Hook of both file dialogs: a name the ANSI code page cannot hold is
// refused while the dialog is still open, rather than being lost or
// changed into another name.
UINT_PTR CALLBACK RefuseNamesOutsideCodePage(HWND child, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_NOTIFY)
        return 0;
    auto* notify = reinterpret_cast<OFNOTIFYW*>(lParam);
    std::string path;
    if (notify->hdr.code != CDN_FILEOK || AnsiPath(notify->lpOFN->lpstrFile, &path))
        return 0;
    ShowMessage(GetParent(child),
                L"ファイル名に、この Windows の文字コードで表せない文字が含まれています。\n"
                L"表せる文字だけの名前を指定して下さい。",
                kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
    SetWindowLongPtrW(child, DWLP_MSGRESULT, 1);
    return 1;
}

// What both file dialogs share: the shared name buffer, a title buffer,
// the question before replacing a file, default extension "BMP" and the
// code-page check.
OPENFILENAMEW FileDialogOf(HWND owner, const wchar_t* filter, DWORD filterIndex, wchar_t* title)
{
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = filterIndex;
    ofn.lpstrFile = g_fileName;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = MAX_PATH;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_ENABLEHOOK;
    ofn.lpfnHook = RefuseNamesOutsideCodePage;
    ofn.lpstrDefExt = L"BMP";
    return ofn;
}

// The dialog's result into the caller's MAX_PATH buffer.
bool CopyChosenPath(const wchar_t* chosen, char* buffer)
{
    std::string path;
    if (!AnsiPath(chosen, &path))
        return false;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

// The open dialog's filters: every picture Kelvo can open (BMP and what
// the plug-ins say they read), to choose from the list of file types, and
// the BMP entry the dialog starts with, as it always has. That entry's
// pattern is empty (the preset "*.bmp" limits the listing and a name typed
// without extension gets the default one), so it has to come last: an
// empty pattern ends the list.
std::wstring OpenFilter()
{
    std::wstring patterns = WideFromAnsi(AllPicturesPattern(PluginPicturePatterns()).c_str());
    std::wstring filter;
    auto entry = [&filter](const std::wstring& name, const std::wstring& pattern) {
        filter += name;
        filter.push_back(L'\0');
        filter += pattern;
        filter.push_back(L'\0');
    };
    entry(L"すべての画像ﾌｧｲﾙ(" + patterns + L")", patterns);
    entry(L"ﾋﾞｯﾄﾏｯﾌﾟ ﾌｧｲﾙ(*.BMP)", L"");
    return filter;  // the string's own terminator ends the list
}

}  // namespace

HGLOBAL ReadDibFile(HANDLE file, LoadFailure* failure)
{
    LoadFailure why = LoadFailure::kUnreadable;
    HGLOBAL dib = nullptr;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        why = LoadFailureOfFileError(GetLastError());
    } else if (static_cast<unsigned long long>(size.QuadPart) > kMaxBmpFile) {
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

HGLOBAL LoadDibFile(const char* path, LoadFailure* failure)
{
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    HGLOBAL dib = nullptr;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        dib = ReadDibFile(file, failure);
        CloseHandle(file);
    } else if (failure) {
        *failure = LoadFailureOfFileError(GetLastError());
    }
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    return dib;
}

bool OpenPictureFile(HWND window, const char* path)
{
    if (!EndsWithBmp(path)) {
        // A file that cannot be opened is said so here: the plug-ins would
        // only report that none of them took it.
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            ShowLoadFailed(path, LoadFailureOfFileError(GetLastError()));
            return false;
        }
        CloseHandle(file);
        HBITMAP bitmap = LoadPicture(window, path);
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
        LoadFailure failure = LoadFailure::kUnreadable;
        HGLOBAL dib = LoadDibFile(path, &failure);
        if (!dib) {
            ShowLoadFailed(path, failure);
            return false;
        }
        int colors = 0;
        HPALETTE palette = MakePaletteFromDib(dib, &colors);
        if (!palette && colors != 0) {
            GlobalFree(dib);
            ShowLoadFailed(path, LoadFailure::kNoMemory);
            return false;
        }
        HBITMAP bitmap = MakeBitmapFromDib(dib, palette);
        GlobalFree(dib);
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
    SetMainTitleFromPath(window, path);
    return true;
}

bool ChooseBmpFile(HWND owner, char* buffer, int mode)
{
    lstrcpyW(g_fileName, L"*.bmp");
    wchar_t title[MAX_PATH] = {};
    // One filter whose pattern is empty: the preset name limits the list.
    static const wchar_t kFilter[] = L"ﾋﾞｯﾄﾏｯﾌﾟ ﾌｧｲﾙ(*.BMP)\0\0";
    OPENFILENAMEW ofn = FileDialogOf(owner, kFilter, 0, title);
    std::wstring openFilter;
    if (mode != 1) {
        openFilter = OpenFilter();
        ofn.lpstrFilter = openFilter.c_str();
        ofn.nFilterIndex = 2;
    }
    BOOL confirmed = mode == 1 ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    return confirmed && CopyChosenPath(g_fileName, buffer);
}

bool ChooseSaveFile(HWND owner, char* buffer, PictureFormat* format)
{
    const bool png = *format == PictureFormat::kPng;
    lstrcpyW(g_fileName, png ? L"*.png" : L"*.bmp");
    wchar_t title[MAX_PATH] = {};
    // A name typed without extension gets the chosen type's. (An empty
    // pattern, as the open dialog's BMP entry has, would end this list.)
    static const wchar_t kFilter[] = L"ﾋﾞｯﾄﾏｯﾌﾟ ﾌｧｲﾙ(*.BMP)\0*.BMP\0PNG ﾌｧｲﾙ(*.PNG)\0*.PNG\0\0";
    OPENFILENAMEW ofn = FileDialogOf(owner, kFilter, png ? 2 : 1, title);
    if (!GetSaveFileNameW(&ofn) || !CopyChosenPath(g_fileName, buffer))
        return false;
    *format = FormatForFileName(buffer, ofn.nFilterIndex == 2 ? PictureFormat::kPng
                                                              : PictureFormat::kBmp);
    return true;
}

void OpenCommand(HWND window)
{
    char path[MAX_PATH];
    if (ChooseBmpFile(window, path, 2))
        OpenPictureFile(window, path);
}
