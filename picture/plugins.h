// Image plug-ins (*.spi): found and loaded at start, asked in turn to
// decode files that are not BMP, unloaded at exit. The three functions are
// exported by the program too.
#pragma once
#include <windows.h>

extern "C" {
WORD WINAPI SPIInit(DWORD start);
HBITMAP WINAPI LoadPicture(HWND window, LPCSTR path);
void WINAPI SPIEnd(void);
}
