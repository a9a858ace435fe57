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

// Copies of the held blocks for a print job, so that the job never uses
// memory that a later discard, load or set-up frees. The device mode is
// made consistent for the driver and the names block gets a terminating
// NUL. False (and nothing to free) when nothing is held or the blocks are
// unusable.
bool CopyPrinterSettings(HGLOBAL* devMode, HGLOBAL* devNames);
