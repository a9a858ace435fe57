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
#include "picture/plugin_rules.h"
#include "picture/plugins.h"

namespace {

const wchar_t kLoadFailed[] = L"読込に失敗しました";
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

void ShowLoadFailed()
{
    ShowMessage(nullptr, kLoadFailed, kErrorCaption, MB_OK);
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

HGLOBAL ReadDibFile(HANDLE file)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 14
        || static_cast<unsigned long long>(size.QuadPart) > kMaxBmpFile)
        return nullptr;
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping)
        return nullptr;
    auto* data = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    HGLOBAL dib = nullptr;
    if (data) {
        size_t length = size_t(size.QuadPart);
        BmpPlan plan{};
        if (PlanBmpRead(data, length, &plan) == BmpStatus::kOk) {
            dib = GlobalAlloc(GMEM_MOVEABLE, plan.dibSize);
            bool built = false;
            if (dib) {
                LockedBlock<uint8_t> p(dib);
                built = p && BuildBmpDib(data, length, plan, p.get(), plan.dibSize) == BmpStatus::kOk;
            }
            if (!built && dib) {
                GlobalFree(dib);
                dib = nullptr;
            }
        }
        UnmapViewOfFile(data);
    }
    CloseHandle(mapping);
    return dib;
}

HGLOBAL LoadDibFile(const char* path)
{
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    HGLOBAL dib = nullptr;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        dib = ReadDibFile(file);
        CloseHandle(file);
    }
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    return dib;
}

bool OpenPictureFile(HWND window, const char* path)
{
    if (!EndsWithBmp(path)) {
        HBITMAP bitmap = LoadPicture(window, path);
        if (!bitmap) {
            ShowLoadFailed();
            return false;
        }
        if (!PlacePicture(window, bitmap, nullptr)) {
            DeleteObject(bitmap);
            ShowLoadFailed();
            return false;
        }
    } else {
        HGLOBAL dib = LoadDibFile(path);
        if (!dib)
            return false;
        int colors = 0;
        HPALETTE palette = MakePaletteFromDib(dib, &colors);
        if (!palette && colors != 0) {
            GlobalFree(dib);
            return false;
        }
        HBITMAP bitmap = MakeBitmapFromDib(dib, palette);
        GlobalFree(dib);
        if (!bitmap || !PlacePicture(window, bitmap, palette)) {
            if (bitmap)
                DeleteObject(bitmap);
            if (palette)
                DeleteObject(palette);
            ShowLoadFailed();
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
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = g_fileName;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = MAX_PATH;
    ofn.Flags = OFN_OVERWRITEPROMPT;
    ofn.lpstrDefExt = L"BMP";
    std::wstring openFilter;
    if (mode != 1) {
        openFilter = OpenFilter();
        ofn.lpstrFilter = openFilter.c_str();
        ofn.nFilterIndex = 2;
    }
    BOOL confirmed = mode == 1 ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    if (!confirmed)
        return false;
    std::string path;
    if (!AnsiFromWide(g_fileName, &path) || path.size() >= MAX_PATH)
        return false;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

void OpenCommand(HWND window)
{
    char path[MAX_PATH];
    if (ChooseBmpFile(window, path, 2))
        OpenPictureFile(window, path);
}
