// Commands that act in the main window itself: delete, wallpaper, help,
// About.
#pragma once
#include <windows.h>

void DeletePicture(HWND window);       // 40006
void RegisterWallpaper(HWND window);   // 40054
void ShowAboutBox();                   // 40012
// 40055 (contents) and 40056 (help on help): KELVO.HLP through the help
// system when it lies beside the program, else the HTML user guide.
void ShowHelp(HWND window, bool helpOnHelp);
const wchar_t* VersionText();          // string 40013, loaded at creation
