// Printing: the print job on its worker thread and its notice window, the
// scale dialog and the preview prompt.
#pragma once
#include <windows.h>

// Starts a print job. automatic: no Print dialog (held printer settings,
// else the default printer).
void StartPrint(HWND owner, bool automatic);
// Lets print jobs that are still running finish, waiting at most
// timeoutMs in all and handling the messages sent to the calling thread
// meanwhile; called when the program or the Windows session ends.
void WaitForPrintJobs(DWORD timeoutMs);
// Posted to the owner window by a print worker when its job has ended.
constexpr UINT kPrintJobEndedMessage = WM_APP + 1;
// The main window's answer to it: the end of the session is no longer
// held up once no job is left.
void OnPrintJobEnded(HWND mainWindow);
LRESULT CALLBACK PrintWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void ScaleCommand(HWND mainWindow);  // 40004
// Shows the new picture and asks whether to go on; true to continue.
bool PreviewPrompt(HWND mainWindow);
