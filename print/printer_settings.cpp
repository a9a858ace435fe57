// Printer settings held in memory and stored in PRTINFO.CFG.
#include "print/printer_settings.h"

#include <commdlg.h>

#include <cstring>

#include "picture/global_memory.h"
#include "print/prtinfo.h"

namespace {

// Both held or both absent.
HGLOBAL g_devMode;
HGLOBAL g_devNames;

const wchar_t kFileName[] = L"PRTINFO.CFG";
const DWORD kFileFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN;

void FreeBlock(HGLOBAL& block)
{
    if (block)
        GlobalFree(block);
    block = nullptr;
}

// A copy of a held block with extra zero bytes after it.
HGLOBAL CopyBlock(HGLOBAL source, size_t extra)
{
    LockedBlock<uint8_t> p(source);
    if (!p)
        return nullptr;
    return CopyToGlobal(p.get(), GlobalSize(source), extra);
}

// Reads the whole file, refusing one larger than any record can be.
bool ReadSettingsFile(uint8_t* buffer, size_t capacity, size_t* size)
{
    HANDLE file = CreateFileW(kFileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, kFileFlags, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER length{};
    bool ok = GetFileSizeEx(file, &length) && length.QuadPart >= 0
              && uint64_t(length.QuadPart) <= capacity;
    DWORD read = 0;
    if (ok)
        ok = ReadFile(file, buffer, DWORD(length.QuadPart), &read, nullptr)
             && read == DWORD(length.QuadPart);
    CloseHandle(file);
    *size = read;
    return ok;
}

}  // namespace

bool PrinterSettingsHeld()
{
    return g_devMode != nullptr;
}

void SetupPrinter(HWND owner)
{
    bool heldBefore = PrinterSettingsHeld();
    PRINTDLGA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    // With nothing held the dialog makes its own blocks for the default
    // printer; empty blocks of ours would name no printer at all.
    dialog.hDevMode = g_devMode;
    dialog.hDevNames = g_devNames;
    dialog.Flags = PD_PRINTSETUP;
    BOOL confirmed = PrintDlgA(&dialog);
    // The blocks handed in are the dialog's from now on: it may re-allocate
    // or replace them, and the ones it hands back are the ones to keep.
    g_devMode = nullptr;
    g_devNames = nullptr;
    HGLOBAL mode = dialog.hDevMode;
    HGLOBAL names = dialog.hDevNames;
    // Kept: what a confirmed dialog returns, and on a cancel what was held
    // before; both blocks or neither.
    if ((confirmed || heldBefore) && mode && names) {
        g_devMode = mode;
        g_devNames = names;
        return;
    }
    if (mode)
        GlobalFree(mode);
    if (names)
        GlobalFree(names);
}

void DiscardPrinterSettings()
{
    FreeBlock(g_devMode);
    FreeBlock(g_devNames);
}

void ReleasePrinterSettings()
{
    DiscardPrinterSettings();
}

void SavePrinterSettings()
{
    if (!g_devMode || !g_devNames)
        return;
    // The bytes are made before the file is touched: blocks that cannot
    // be stored leave an earlier PRTINFO.CFG as it was.
    static uint8_t bytes[kPrtInfoMaxSize];
    size_t length = 0;
    {
        LockedBlock<uint8_t> mode(g_devMode);
        LockedBlock<uint8_t> names(g_devNames);
        if (!mode || !names)
            return;
        length = BuildPrtInfo(mode.get(), GlobalSize(g_devMode), names.get(),
                              GlobalSize(g_devNames), bytes, sizeof bytes);
    }
    if (length == 0)
        return;
    HANDLE file = CreateFileW(kFileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, kFileFlags, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes, DWORD(length), &written, nullptr) && written == length;
    CloseHandle(file);
    // A cut-off file would only be refused at the next load.
    if (!ok)
        DeleteFileW(kFileName);
}

void LoadPrinterSettings()
{
    // Whatever happens, the settings held before are replaced: by the
    // file's, or by none when it is missing or refused.
    DiscardPrinterSettings();
    static uint8_t bytes[kPrtInfoMaxSize];
    size_t size = 0;
    PrtInfoLayout layout{};
    if (!ReadSettingsFile(bytes, sizeof bytes, &size) || !CheckPrtInfo(bytes, size, &layout))
        return;
    HGLOBAL mode = GlobalAlloc(GHND, kDevModePublicSize);
    HGLOBAL names = GlobalAlloc(GHND, size_t(layout.nameCount) + 1);
    {
        LockedBlock<uint8_t> m(mode);
        LockedBlock<uint8_t> n(names);
        if (m && n) {
            ExtractPrtInfo(bytes, layout, m.get(), n.get());
            g_devMode = mode;
            g_devNames = names;
            return;
        }
    }
    if (mode)
        GlobalFree(mode);
    if (names)
        GlobalFree(names);
}

bool CopyPrinterSettings(HGLOBAL* devMode, HGLOBAL* devNames)
{
    *devMode = nullptr;
    *devNames = nullptr;
    if (!g_devMode || !g_devNames)
        return false;
    HGLOBAL mode = CopyBlock(g_devMode, 0);
    HGLOBAL names = CopyBlock(g_devNames, 1);
    bool usable = mode && names;
    if (usable) {
        LockedBlock<uint8_t> m(mode);
        LockedBlock<uint8_t> n(names);
        usable = m && n && MakeDevModeConsistent(m.get(), GlobalSize(mode))
                 && DeviceNamesValid(n.get(), GlobalSize(names));
    }
    if (!usable) {
        if (mode)
            GlobalFree(mode);
        if (names)
            GlobalFree(names);
        return false;
    }
    *devMode = mode;
    *devNames = names;
    return true;
}
