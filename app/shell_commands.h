// Commands that act in the main window itself: delete, wallpaper, About.
#pragma once
#include <windows.h>

void DeletePicture(HWND window);       // 40006
void RegisterWallpaper(HWND window);   // 40054
void ShowAboutBox();                   // 40012
const wchar_t* VersionText();          // string 40013, loaded at creation
