// Process entry: the fixed start-up order, the message loop and the
// shutdown in reverse.
#include "app/app.h"
#include "app/settings.h"
#include "picture/plugins.h"
#include "print/print.h"
#include "print/printer_settings.h"

namespace {

const wchar_t kHookLoadFailed[] = L"ライブラリがロードできません";

// Installs the system-wide keyboard hook from the library "hook".
// Returns false when the program has to end; the message for a missing
// library has then been shown.
bool InstallKeyboardHook()
{
    g_hookLibrary = LoadLibraryA("hook");
    if (!g_hookLibrary) {
        ShowMessage(nullptr, kHookLoadFailed, nullptr, MB_ICONERROR);
        return false;
    }
    auto procedure = reinterpret_cast<HOOKPROC>(GetProcAddress(g_hookLibrary, "KeyHookProc"));
    if (!procedure)
        return false;
    g_hook = SetWindowsHookExA(WH_KEYBOARD, procedure, g_hookLibrary, 0);
    return g_hook != nullptr;
}

// The name that one running Kelvo holds for the whole of its life, per
// Windows session: its title changes (a file name, the countdown), so the
// title cannot tell whether Kelvo runs, and two starts at the same moment
// must not both find nothing yet.
const wchar_t kInstanceMutex[] = L"Local\\Norvik.Kelvo.Instance";
constexpr DWORD kWaitForRunningMs = 10000;
constexpr DWORD kPollMs = 100;

// Held from here to the end of the process (released by the system, also
// when the process is ended from outside). False when another Kelvo holds
// it; that one has then been brought forward.
bool BecomeTheOnlyInstance()
{
    HANDLE mutex = CreateMutexW(nullptr, TRUE, kInstanceMutex);
    if (!mutex)
        return true;  // cannot tell: run rather than refuse to start
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return true;
    for (DWORD waited = 0; waited < kWaitForRunningMs; waited += kPollMs) {
        if (HWND running = FindWindowA(kMainClass, nullptr)) {
            // The user asked for Kelvo: show the one that runs.
            // Asynchronously, so that a busy first instance cannot hold
            // this one up.
            if (IsIconic(running))
                ShowWindowAsync(running, SW_RESTORE);
            SetForegroundWindow(running);
            return false;
        }
        // The other one is still starting, or it ended without a main
        // window (it then left the name to us).
        DWORD state = WaitForSingleObject(mutex, kPollMs);
        if (state == WAIT_OBJECT_0 || state == WAIT_ABANDONED)
            return true;
    }
    return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    if (!BecomeTheOnlyInstance())
        return 0;
    if (!RegisterWindowClasses(instance))
        return 0;
    LoadSettings();
    HWND window = CreateMainWindow(instance);
    if (!window)
        return 0;
    ShowWindow(window, g_settings.iconic ? SW_SHOWMINIMIZED : showCommand);
    UpdateWindow(window);

    // An early end from here on skips the whole shutdown: in particular the
    // settings are not written.
    if (!InstallKeyboardHook())
        return 0;
    SPIInit(0);

    MSG msg;
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1)
            break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    // A page started just before the end is not cut off: its worker gets
    // the one-second notice and a few seconds more to finish.
    WaitForPrintJobs(kPrintJobsAtExitMs);
    SPIEnd();
    UnhookWindowsHookEx(g_hook);
    SaveSettings();
    FreeLibrary(g_hookLibrary);
    ReleasePrinterSettings();
    return got == -1 ? 0 : int(msg.wParam);
}
