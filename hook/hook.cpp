// hook.dll: the keyboard hook that Kelvo installs for the whole desktop.
//
// The system loads this library into every program that receives keyboard
// input and calls KeyHookProc there, on the thread that takes the key.
// For a press of the capture key it posts the capture-and-output command
// to Kelvo's main window, and for the capture key with Alt the command that
// grabs the foreground window; every keystroke is passed on unchanged.
//
// CTRL, SHIFT and KEY are read from Kelvo's settings key at each key-down
// (and at Print Screen's key-up, which may come without its key-down),
// so a key chosen in Kelvo's dialog works at the next press. Values that
// are missing or malformed read as their defaults, as Kelvo reads them.
#include <windows.h>

#include "app/settings_registry.h"
#include "capture/capture_key_rules.h"

namespace {

const wchar_t kMainClass[] = L"KelvoClass";
const wchar_t kProduct[] = L"Kelvo";
constexpr WPARAM kCaptureAndOutputCommand = 40001;
constexpr LPARAM kCaptureAndOutputMarker = 1;
constexpr WPARAM kActiveWindowCommand = 40112;

// Per thread: set while this thread is inside KeyHookProc. When two Kelvo
// instances each installed the hook, the same keystroke reaches
// KeyHookProc twice, the second time from inside the first one's
// CallNextHookEx; only the outer call may act on it.
DWORD g_insideSlot = TLS_OUT_OF_INDEXES;

// Whether Print Screen's key-down came before its key-up. Shared by every
// process the hook is loaded into: a capture brings Kelvo's window to the
// front, so the key-up of a press made in another program may arrive in
// Kelvo's process, and must not count as a second press there.
PrintScreenTracker g_printScreen __attribute__((section(".kshared"), shared)) = {false};

uint32_t ReadSetting(HKEY key, const char* name)
{
    for (size_t i = 0; i < kSettingCount; ++i)
        if (lstrcmpA(kSettingLayouts[i].name, name) == 0)
            return QuerySetting(key, i);
    return 0;
}

CaptureKeyCombination ReadCombination()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        key = nullptr;
    CaptureKeyCombination combination{ReadSetting(key, "CTRL") != 0,
                                      ReadSetting(key, "SHIFT") != 0,
                                      uint16_t(ReadSetting(key, "KEY"))};
    if (key)
        RegCloseKey(key);
    return combination;
}

bool Held(int virtualKey)
{
    return (GetKeyState(virtualKey) & 0x8000) != 0;
}

bool StartsWithProduct(const wchar_t* title)
{
    for (size_t i = 0; kProduct[i]; ++i) {
        if (title[i] != kProduct[i])
            return false;
    }
    return true;
}

// Kelvo's main window: class "KelvoClass", title "Kelvo" or "Kelvo --- ..."
// (a file name or the snapshot countdown). With several instances running,
// the one highest in the window order takes the press. The title is read
// without sending a message: a busy window must not hold up the keyboard
// of the program the hook runs in.
HWND FindMainWindow()
{
    for (HWND w = FindWindowExW(nullptr, nullptr, kMainClass, nullptr); w;
         w = FindWindowExW(nullptr, w, kMainClass, nullptr)) {
        wchar_t title[8] = {};
        if (InternalGetWindowText(w, title, 8) >= 5 && StartsWithProduct(title))
            return w;
    }
    return nullptr;
}

enum class KeyAction { None, CaptureAndOutput, ActiveWindow };

KeyAction CaptureKeyAction(WPARAM wParam, LPARAM lParam)
{
    constexpr uint32_t kRepeatOrUp = (1u << 30) | (1u << 31);
    uint32_t flags = uint32_t(lParam);
    // Cheap test first: most events are not a first key-down.
    if ((flags & kRepeatOrUp) && wParam != kPrintScreenKey)
        return KeyAction::None;
    KeyStroke stroke = PressOfStroke(g_printScreen, KeyStroke{uint32_t(wParam),
                                                              flags,
                                                              Held(VK_CONTROL),
                                                              Held(VK_SHIFT),
                                                              Held(VK_MENU),
                                                              Held(VK_LWIN) || Held(VK_RWIN)});
    if (stroke.flags & kRepeatOrUp)
        return KeyAction::None;
    CaptureKeyCombination combination = ReadCombination();
    if (IsCaptureKeyPress(combination, stroke))
        return KeyAction::CaptureAndOutput;
    if (IsActiveWindowKeyPress(combination, stroke))
        return KeyAction::ActiveWindow;
    return KeyAction::None;
}

}  // namespace

extern "C" LRESULT CALLBACK KeyHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    // HC_NOREMOVE is a peek at a key that will come again with HC_ACTION.
    bool outer = g_insideSlot != TLS_OUT_OF_INDEXES && !TlsGetValue(g_insideSlot);
    KeyAction action = code == HC_ACTION && outer ? CaptureKeyAction(wParam, lParam) : KeyAction::None;
    if (action != KeyAction::None) {
        if (HWND main = FindMainWindow()) {
            if (action == KeyAction::CaptureAndOutput)
                PostMessageW(main, WM_COMMAND, kCaptureAndOutputCommand, kCaptureAndOutputMarker);
            else
                // Named now: by the time Kelvo takes the command, its own
                // window may have come to the front.
                PostMessageW(main, WM_COMMAND, kActiveWindowCommand,
                             reinterpret_cast<LPARAM>(GetForegroundWindow()));
        }
    }
    if (outer)
        TlsSetValue(g_insideSlot, reinterpret_cast<void*>(1));
    LRESULT result = CallNextHookEx(nullptr, code, wParam, lParam);
    if (outer)
        TlsSetValue(g_insideSlot, nullptr);
    return result;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(instance);
        g_insideSlot = TlsAlloc();
        break;
    case DLL_PROCESS_DETACH:
        if (g_insideSlot != TLS_OUT_OF_INDEXES)
            TlsFree(g_insideSlot);
        g_insideSlot = TLS_OUT_OF_INDEXES;
        break;
    }
    return TRUE;
}
