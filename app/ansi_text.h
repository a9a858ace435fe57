// Conversions between the ANSI code page, in which the program keeps file
// names, and UTF-16, in which it shows text.
#pragma once
#include <string>

std::wstring WideFromAnsi(const char* text);
// False when text holds characters the ANSI code page cannot represent
// (a file name such a character is in cannot be used through it).
bool AnsiFromWide(const wchar_t* text, std::string* out);
// Whether the ANSI code page is Shift-JIS, where a second byte of a
// double-byte character can equal a backslash.
bool AnsiIsShiftJis();
