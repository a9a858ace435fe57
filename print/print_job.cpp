// The print job on its worker thread and the printing notice window.
#include "print/print.h"

// Not offered yet: printing comes with the printing work.
void StartPrint(HWND, bool) {}

LRESULT CALLBACK PrintWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}
