// ANSI <-> UTF-16 conversions.
#include "app/ansi_text.h"

#include "app/ansi_rule.h"

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
    AnsiConversion c = AnsiConversionFor(kCodePageAnsi, GetACP());
    BOOL lossy = FALSE;
    BOOL* usedDefault = c.checkUsedDefault ? &lossy : nullptr;
    int n = WideCharToMultiByte(c.codePage, DWORD(c.flags), text, -1, nullptr, 0, nullptr, usedDefault);
    if (n <= 1 || lossy)
        return false;
    out->assign(size_t(n), '\0');
    if (WideCharToMultiByte(c.codePage, DWORD(c.flags), text, -1, &(*out)[0], n, nullptr, usedDefault) != n
        || lossy) {
        out->clear();
        return false;
    }
    out->resize(size_t(n - 1));
    if (c.checkRoundTrip && WideFromAnsi(out->c_str()) != text) {
        out->clear();
        return false;
    }
    return true;
}
