// The held printer choice (device mode and device names) and its file
// PRTINFO.CFG.
#pragma once
#include <windows.h>

bool PrinterSettingsHeld();
void SetupPrinter(HWND owner);     // 40003
void DiscardPrinterSettings();     // 40013
void SavePrinterSettings();        // 40024
void LoadPrinterSettings();        // 40025 and at start with READPRT
// Releases both blocks once; later calls find nothing to release.
void ReleasePrinterSettings();
