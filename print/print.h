// Printing: the print job on its worker thread and its notice window, the
// scale dialog and the preview prompt.
#pragma once
#include <windows.h>

// Starts a print job. automatic: no Print dialog (held printer settings,
// else the default printer).
void StartPrint(HWND owner, bool automatic);
// Lets print jobs that are still running finish, waiting at most
// timeoutMs in all; called when the program ends.
void WaitForPrintJobs(DWORD timeoutMs);
LRESULT CALLBACK PrintWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void ScaleCommand(HWND mainWindow);  // 40004
// Shows the new picture and asks whether to go on; true to continue.
bool PreviewPrompt(HWND mainWindow);
