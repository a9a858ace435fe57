// spiprobe.dll: calls kelvo.exe's exported SPIInit, LoadPicture and SPIEnd
// from inside a running Kelvo, the way a program using those exports
// would: found by name in Kelvo's export table, called on Kelvo's GUI
// thread. spicall.exe installs SpiProbeHook as a WH_CALLWNDPROC hook on
// that thread and sends the main window the registered message
// "KelvoSpiProbe" with its own window in lParam; the request is that
// window's text, and the answer goes back to it by WM_COPYDATA.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr ULONG_PTR kRequest = 0x4B535049;  // "KSPI"

using SpiInitProc = WORD(WINAPI*)(DWORD);
using LoadPictureProc = HBITMAP(WINAPI*)(HWND, LPCSTR);
using SpiEndProc = void(WINAPI*)(void);

std::string Run(HWND window, const std::string& request)
{
    HMODULE kelvo = GetModuleHandleW(nullptr);
    char text[128];
    if (request.compare(0, 5, "init ") == 0) {
        auto init = reinterpret_cast<SpiInitProc>(GetProcAddress(kelvo, "SPIInit"));
        if (!init)
            return "{\"ok\":false,\"error\":\"no export SPIInit\"}";
        WORD count = init(DWORD(std::strtoul(request.c_str() + 5, nullptr, 10)));
        std::snprintf(text, sizeof text, "{\"ok\":true,\"count\":%u}", unsigned(count));
        return text;
    }
    if (request.compare(0, 5, "load ") == 0) {
        auto load = reinterpret_cast<LoadPictureProc>(GetProcAddress(kelvo, "LoadPicture"));
        if (!load)
            return "{\"ok\":false,\"error\":\"no export LoadPicture\"}";
        HBITMAP bitmap = load(window, request.c_str() + 5);
        if (!bitmap)
            return "{\"ok\":true,\"bitmap\":null}";
        BITMAP info{};
        GetObjectW(bitmap, sizeof info, &info);
        DeleteObject(bitmap);
        std::snprintf(text, sizeof text, "{\"ok\":true,\"bitmap\":[%ld,%ld]}", long(info.bmWidth),
                      long(info.bmHeight));
        return text;
    }
    if (request == "end") {
        auto end = reinterpret_cast<SpiEndProc>(GetProcAddress(kelvo, "SPIEnd"));
        if (!end)
            return "{\"ok\":false,\"error\":\"no export SPIEnd\"}";
        end();
        return "{\"ok\":true}";
    }
    return "{\"ok\":false,\"error\":\"unknown request\"}";
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK SpiProbeHook(int code, WPARAM wParam, LPARAM lParam)
{
    static UINT probe = RegisterWindowMessageW(L"KelvoSpiProbe");
    if (code == HC_ACTION) {
        auto* call = reinterpret_cast<CWPSTRUCT*>(lParam);
        if (call->message == probe) {
            HWND replyTo = reinterpret_cast<HWND>(call->lParam);
            char request[1024] = {};
            GetWindowTextA(replyTo, request, sizeof request);
            std::string answer = Run(call->hwnd, request);
            COPYDATASTRUCT reply{};
            reply.dwData = kRequest;
            reply.cbData = DWORD(answer.size());
            reply.lpData = &answer[0];
            SendMessageW(replyTo, WM_COPYDATA, reinterpret_cast<WPARAM>(call->hwnd),
                         reinterpret_cast<LPARAM>(&reply));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
