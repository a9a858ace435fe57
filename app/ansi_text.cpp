// ANSI <-> UTF-16 conversions.
#include "app/ansi_text.h"

#include <windows.h>

std::wstring WideFromAnsi(const char* text)
{
    if (!text || !*text)
        return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1)
        return std::wstring();
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &w[0], n);
    w.resize(size_t(n - 1));
    return w;
}

bool AnsiFromWide(const wchar_t* text, std::string* out)
{
    out->clear();
    if (!text || !*text)
        return true;
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &lossy);
    if (n <= 1 || lossy)
        return false;
    out->assign(size_t(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, &(*out)[0], n, nullptr, &lossy);
    out->resize(size_t(n - 1));
    return !lossy;
}

bool AnsiIsShiftJis()
{
    return GetACP() == 932;
}
