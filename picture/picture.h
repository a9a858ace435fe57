// Picture data and files: the Capture DIB, BMP output with serial names,
// and picture loading.
#pragma once
#include <windows.h>

#include <string>

// Compression of every Capture DIB made from the current picture:
// 0 none (BI_RGB), 1 RLE8 (BI_RLE8), 2 RLE4 (BI_RLE4). Not persisted.
extern int g_compression;

// --- Capture DIB ------------------------------------------------------
HGLOBAL MakeDibFromBitmap(HBITMAP bitmap, HPALETTE palette);
HPALETTE MakePaletteFromDib(HGLOBAL dib, int* colorCount);
HBITMAP MakeBitmapFromDib(HGLOBAL dib, HPALETTE palette);

// --- BMP output -------------------------------------------------------
bool SaveClipboardAsBmp(HWND window, const char* path);
void SaveNextSerialBmp(HWND window, const char* baseName);
void SaveAsCommand(HWND window);        // 40008
void SerialOutputCommand(HWND window);  // the dialog of 40009
bool SerialOutputOn();
// The shell's folder picker; the chosen folder's full path in the ANSI
// code page. False when cancelled or not representable.
bool BrowseForFolder(HWND owner, std::string* folder);
const char* SerialBaseName();

// --- loading ----------------------------------------------------------
bool OpenPictureFile(HWND window, const char* path);
HGLOBAL LoadDibFile(const char* path);
HGLOBAL ReadDibFile(HANDLE file);
void OpenCommand(HWND window);  // 40023
bool ChooseBmpFile(HWND owner, char* buffer, int mode);
