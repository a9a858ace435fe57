// The application shell: process-wide handles, the window classes, the
// title and centring routines, and the main window's entry points.
#pragma once
#include <windows.h>

extern HWND g_mainWindow;
extern HINSTANCE g_instance;
extern HHOOK g_hook;
extern HMODULE g_hookLibrary;

// Window class names shared with other parts of the program.
extern const char kMainClass[];   // "KelvoClass"
extern const char kPrintClass[];  // "PrintWindow"
extern const char kRectClass[];   // "RectWindow"

// Registers the three window classes, stopping at the first failure.
bool RegisterWindowClasses(HINSTANCE instance);
// Creates the main window; null on failure.
HWND CreateMainWindow(HINSTANCE instance);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Sets the title to "Kelvo" (text null) or "Kelvo --- <name part of text>".
BOOL SetMainTitle(HWND window, const wchar_t* text);
// Centres and shows window over its parent (or the desktop).
void CenterDialog(HWND window, bool onDesktop);

// Toolbar buttons that follow the picture's presence and the toggles.
void UpdateToolbarForPicture(bool picturePresent);
void SetToolbarPressed(int command, bool pressed);

// A modal dialog of the program: owned by the main window, created from the
// program's instance, with Unicode text so the Japanese reads correctly
// whatever the system code page.
INT_PTR RunDialog(int templateId, DLGPROC procedure);

// Opens the clipboard for window, trying again for a short while when
// another program has it open at this moment.
bool OpenClipboardSoon(HWND window);

// How long the end of the program waits for print jobs that are still
// running.
constexpr DWORD kPrintJobsAtExitMs = 6000;
// The same at the end of the Windows session, well inside the five
// seconds after which Windows 10 and 11 end a program that has not
// answered.
constexpr DWORD kPrintJobsAtSessionEndMs = 3000;

// Message boxes with the program's Japanese texts.
int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags);
