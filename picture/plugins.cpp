// The plug-in table and the exported SPIInit, LoadPicture and SPIEnd.
//
// The table is a list of records, each in its own movable global-memory
// block, linked by block handle and appended at the tail, in the order the
// directory search returned the modules. Plug-ins are foreign code running
// in this process: what they hand back is checked before it is used, and a
// module that lacks one of the three functions the program calls is not
// kept at all, so no empty slot is ever called.
#include "picture/plugins.h"

#include <cstdint>
#include <initializer_list>

#include "app/ansi_text.h"
#include "picture/global_memory.h"
#include "picture/plugin_rules.h"

namespace {

// The plug-in entry points as the program calls them: the published
// import-filter functions, standard call, ANSI names. Lengths and the
// user value are pointer-sized in 64-bit plug-ins.
using IsSupportedProc = int(WINAPI*)(LPCSTR fileName, void* fileOrHead);
using GetPictureInfoProc = int(WINAPI*)(LPCSTR buffer, LONG_PTR length, unsigned flag,
                                        void* info);
using GetPictureProc = int(WINAPI*)(LPCSTR buffer, LONG_PTR length, unsigned flag,
                                    HLOCAL* format, HLOCAL* bits, FARPROC progress,
                                    LONG_PTR userData);

struct PluginRecord {
    HMODULE module;
    FARPROC getPluginInfo;
    FARPROC isSupported;
    FARPROC getPictureInfo;
    FARPROC getPicture;
    FARPROC getPreview;
    FARPROC getArchiveInfo;
    FARPROC getFileInfo;
    FARPROC getFile;
    HGLOBAL next;
};

HGLOBAL g_head;
HGLOBAL g_tail;

// Links a record at the tail. When the tail cannot be locked nothing is
// linked and the record stays out of the table; the caller then drops it.
bool AppendPlugin(HGLOBAL record)
{
    if (g_tail) {
        LockedBlock<PluginRecord> tail(g_tail);
        if (!tail)
            return false;
        tail->next = record;
    } else {
        g_head = record;
    }
    g_tail = record;
    return true;
}

void ReleaseTable()
{
    HGLOBAL block = g_head;
    while (block) {
        HGLOBAL next = nullptr;
        {
            LockedBlock<PluginRecord> record(block);
            if (record) {
                FreeLibrary(record->module);
                next = record->next;
            }
        }
        GlobalFree(block);
        block = next;
    }
    g_head = nullptr;
    g_tail = nullptr;
}

// Loads one module by its bare name (the platform's module search order
// decides which file of that name) and appends its record. Modules that
// do not load, lack IsSupported, GetPictureInfo or GetPicture, or whose
// record cannot be made are left out and unloaded again.
bool LoadPlugin(const char* name)
{
    // A broken module is refused quietly, not with a system message box.
    DWORD oldMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
    HMODULE module = LoadLibraryA(name);
    SetThreadErrorMode(oldMode, nullptr);
    if (!module)
        return false;
    FARPROC isSupported = GetProcAddress(module, "IsSupported");
    FARPROC getPictureInfo = GetProcAddress(module, "GetPictureInfo");
    FARPROC getPicture = GetProcAddress(module, "GetPicture");
    HGLOBAL block = nullptr;
    if (isSupported && getPictureInfo && getPicture)
        block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(PluginRecord));
    if (!block) {
        FreeLibrary(module);
        return false;
    }
    bool filled = false;
    {
        LockedBlock<PluginRecord> record(block);
        if (record) {
            record->module = module;
            record->getPluginInfo = GetProcAddress(module, "GetPluginInfo");
            record->isSupported = isSupported;
            record->getPictureInfo = getPictureInfo;
            record->getPicture = getPicture;
            record->getPreview = GetProcAddress(module, "GetPreview");
            record->getArchiveInfo = GetProcAddress(module, "GetArchiveInfo");
            record->getFileInfo = GetProcAddress(module, "GetFileInfo");
            record->getFile = GetProcAddress(module, "GetFile");
            filled = true;
        }
    }
    if (!filled || !AppendPlugin(block)) {
        GlobalFree(block);
        FreeLibrary(module);
        return false;
    }
    return true;
}

enum class Directory { kCurrent, kSystem, kWindows };

// The directory's name into a kPluginPathBuffer buffer; false when the
// platform cannot give it or it does not fit.
bool DirectoryName(Directory which, char* name)
{
    UINT capacity = UINT(kPluginPathBuffer);
    UINT length = 0;
    switch (which) {
    case Directory::kCurrent: length = GetCurrentDirectoryA(capacity, name); break;
    case Directory::kSystem: length = GetSystemDirectoryA(name, capacity); break;
    case Directory::kWindows: length = GetWindowsDirectoryA(name, capacity); break;
    }
    // Too small a buffer is answered with the size needed, not the text.
    return length > 0 && length < capacity;
}

// Loads every "*.spi" module of one directory. False when nothing there
// matched, so the search goes on with the next directory.
bool SearchDirectory(Directory which, WORD* count)
{
    char directory[kPluginPathBuffer];
    char pattern[kPluginPathBuffer];
    if (!DirectoryName(which, directory)
        || !ComposePluginPattern(directory, AnsiIsShiftJis(), pattern, sizeof pattern))
        return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && LoadPlugin(found.cFileName))
            ++*count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
}

// Frees a block the plug-in handed over; a value that is no block of
// this process (GlobalSize 0) is left alone.
void FreeHandedBlock(HLOCAL block)
{
    if (block && GlobalSize(block) != 0)
        GlobalFree(block);
}

// Decoding by the plug-in that accepted the file. Its picture is used only
// when GetPicture reports success with two distinct blocks whose header
// describes the bits that came with it; on a reported failure the handle
// variables are not looked at, whatever the plug-in wrote there.
HBITMAP DecodeWith(const PluginRecord& plugin, HWND window, LPCSTR path)
{
    // The information record is not used; room for either layout of it
    // (packed or aligned, 32- or 64-bit handle) so no plug-in writes past it.
    alignas(8) unsigned char info[64] = {};
    reinterpret_cast<GetPictureInfoProc>(plugin.getPictureInfo)(path, 0, 0, info);

    HLOCAL format = nullptr;
    HLOCAL bits = nullptr;
    int result = reinterpret_cast<GetPictureProc>(plugin.getPicture)(path, 0, 0, &format, &bits,
                                                                     nullptr, 0);
    if (result != 0)
        return nullptr;
    if (format == bits) {
        FreeHandedBlock(format);
        return nullptr;
    }
    HBITMAP bitmap = nullptr;
    SIZE_T formatSize = format ? GlobalSize(format) : 0;
    SIZE_T bitsSize = bits ? GlobalSize(bits) : 0;
    if (formatSize != 0 && bitsSize != 0) {
        LockedBlock<uint8_t> header(format);
        LockedBlock<uint8_t> pixels(bits);
        if (header && pixels
            && CheckPluginDib(header.get(), formatSize, bitsSize) == PluginDibStatus::kOk) {
            if (HDC dc = GetDC(window)) {
                auto* bmi = reinterpret_cast<const BITMAPINFO*>(header.get());
                bitmap = CreateDIBitmap(dc, &bmi->bmiHeader, CBM_INIT, pixels.get(), bmi,
                                        DIB_RGB_COLORS);
                ReleaseDC(window, dc);
            }
        }
    }
    FreeHandedBlock(format);
    FreeHandedBlock(bits);
    return bitmap;
}

}  // namespace

// The start value has no effect: the search always begins with the current
// directory (the first step with 0, the repeated second step otherwise).
// A table left from an earlier call is released first, so a second call
// does not leak the modules already loaded.
WORD WINAPI SPIInit(DWORD)
{
    ReleaseTable();
    WORD count = 0;
    for (Directory which : {Directory::kCurrent, Directory::kSystem, Directory::kWindows}) {
        if (SearchDirectory(which, &count))
            break;
    }
    return count;
}

HBITMAP WINAPI LoadPicture(HWND window, LPCSTR path)
{
    if (!path)
        return nullptr;
    HGLOBAL block = g_head;
    while (block) {
        LockedBlock<PluginRecord> record(block);
        if (!record)
            return nullptr;
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            bool accepted = reinterpret_cast<IsSupportedProc>(record->isSupported)(path, file) != 0;
            // Closed before decoding, so a plug-in that opens the file
            // without sharing it can still read it.
            CloseHandle(file);
            if (accepted)
                return DecodeWith(*record.get(), window, path);
        }
        block = record->next;
    }
    return nullptr;
}

void WINAPI SPIEnd(void)
{
    ReleaseTable();
}
