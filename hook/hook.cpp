// hook.dll: the keyboard hook that Kelvo installs for the whole desktop.
// It passes every keystroke on.
#include <windows.h>

extern "C" __declspec(dllexport) LRESULT CALLBACK KeyHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
