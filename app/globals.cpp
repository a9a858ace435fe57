// Process-wide handles of the application shell.
#include "app/app.h"

HWND g_mainWindow;
HINSTANCE g_instance;
HHOOK g_hook;
HMODULE g_hookLibrary;

const char kMainClass[] = "KelvoClass";
const char kPrintClass[] = "PrintWindow";
const char kRectClass[] = "RectWindow";
