// Conversions between UTF-16, in which the program keeps file names and
// shows text, and the ANSI code page, which the image plug-ins' interface
// and its exported LoadPicture still speak.
#pragma once
#include <string>

std::wstring WideFromAnsi(const char* text);
// False when text holds characters the ANSI code page cannot represent
// (a name such a character is in cannot be handed over through it).
bool AnsiFromWide(const wchar_t* text, std::string* out);
