// Image plug-ins (*.sph and *.spi): found and loaded at start, asked in turn
// to decode files that are not BMP, unloaded at exit; they run in the
// helper process kelvo-spihost.exe. The three functions are exported by the
// program too.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "picture/load_failure.h"

extern "C" {
WORD WINAPI SPIInit(DWORD start);
HBITMAP WINAPI LoadPicture(HWND window, LPCSTR path);
void WINAPI SPIEnd(void);
}

// Decodes the file through the plug-ins: by its name when the ANSI code
// page holds it, else handed to them in memory (the interface's memory
// form); when none of them takes it, through the system's picture codecs
// in the helper. Null on failure, with the reason in LastPluginFailure().
HBITMAP LoadPictureFile(HWND window, const wchar_t* path);

// A device bitmap on the window's display from a plug-in's picture (format
// block and bits), after checking that the header describes what came
// with it; null when it does not or the platform cannot make it, with
// the reason in *failure when given.
HBITMAP MakePluginBitmap(HWND window, const uint8_t* format, size_t formatSize, const uint8_t* bits,
                         size_t bitsSize, LoadFailure* failure = nullptr);

// Why the last LoadPicture gave no bitmap.
LoadFailure LastPluginFailure();

// Whether the helper kelvo-spihost.exe is missing from Kelvo's folder, so
// that no plug-in can run.
bool PluginHelperMissing();

// The "*.ext;..." pattern strings the loaded plug-ins give for the files
// they read (GetPluginInfo), in table order; empty without plug-ins.
std::vector<std::string> PluginPicturePatterns();
