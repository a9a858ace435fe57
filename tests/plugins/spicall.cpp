// spicall.exe: one call of Kelvo's exported plug-in functions inside a
// running Kelvo, through spiprobe.dll (see there). Prints one JSON line.
//   spicall <main window> init <start> | load <path> | end
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr ULONG_PTR kRequest = 0x4B535049;  // "KSPI"
std::string g_answer;

LRESULT CALLBACK ReplyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        auto* data = reinterpret_cast<COPYDATASTRUCT*>(lParam);
        if (data->dwData == kRequest && data->lpData)
            g_answer.assign(static_cast<const char*>(data->lpData), data->cbData);
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int Fail(const char* error)
{
    std::printf("{\"ok\":false,\"error\":\"%s\"}\n", error);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Fail("usage: spicall hwnd init N | load PATH | end");
    HWND target = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::strtoull(argv[1], nullptr, 0)));
    std::string request = argv[2];
    for (int i = 3; i < argc; ++i)
        request += std::string(" ") + argv[i];

    WNDCLASSW wc{};
    wc.lpfnWndProc = ReplyProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SpiCallReply";
    RegisterClassW(&wc);
    HWND reply = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               wc.hInstance, nullptr);
    HMODULE probe = LoadLibraryW(L"spiprobe.dll");
    auto hookProc = probe ? reinterpret_cast<HOOKPROC>(GetProcAddress(probe, "SpiProbeHook")) : nullptr;
    DWORD thread = GetWindowThreadProcessId(target, nullptr);
    if (!reply || !hookProc || !thread)
        return Fail("set-up failed");
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, hookProc, probe, thread);
    if (!hook)
        return Fail("SetWindowsHookEx failed");
    // The request travels as the reply window's text.
    SetWindowTextA(reply, request.c_str());
    UINT message = RegisterWindowMessageW(L"KelvoSpiProbe");
    DWORD_PTR result = 0;
    DWORD started = GetTickCount();
    LRESULT sent = SendMessageTimeoutW(target, message, 0, reinterpret_cast<LPARAM>(reply),
                                       SMTO_NORMAL, 60000, &result);
    DWORD error = GetLastError(), elapsed = GetTickCount() - started;
    UnhookWindowsHookEx(hook);
    DestroyWindow(reply);
    if (!sent) {
        char text[96];
        std::snprintf(text, sizeof text, "SendMessageTimeout failed: error %lu after %lu ms",
                      error, elapsed);
        return Fail(text);
    }
    if (g_answer.empty())
        return Fail("no answer from the probe");
    std::printf("%s\n", g_answer.c_str());
    return 0;
}
