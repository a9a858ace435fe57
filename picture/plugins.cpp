// The plug-in table and the exported SPIInit, LoadPicture and SPIEnd.
#include "picture/plugins.h"

// No plug-ins are looked for yet: the plug-in manager comes later.
WORD WINAPI SPIInit(DWORD) { return 0; }
HBITMAP WINAPI LoadPicture(HWND, LPCSTR) { return nullptr; }
void WINAPI SPIEnd(void) {}
