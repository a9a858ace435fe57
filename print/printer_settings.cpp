// Printer settings held in memory and stored in PRTINFO.CFG.
#include "print/printer_settings.h"

// Not offered yet: printer settings come with the printing work.
bool PrinterSettingsHeld() { return false; }
void SetupPrinter(HWND) {}
void DiscardPrinterSettings() {}
void SavePrinterSettings() {}
void LoadPrinterSettings() {}
void ReleasePrinterSettings() {}
