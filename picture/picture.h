// Picture data and files: the Capture DIB, BMP output with serial names,
// and picture loading.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "picture/load_failure.h"
#include "picture/png_encoder.h"
#include "picture/serial_name.h"

// Compression of every Capture DIB made from the current picture:
// 0 none (BI_RGB), 1 RLE8 (BI_RLE8), 2 RLE4 (BI_RLE4). Chosen in dialog
// 110 and kept between runs with its other choices.
extern int g_compression;

// --- Capture DIB ------------------------------------------------------
HGLOBAL MakeDibFromBitmap(HBITMAP bitmap, HPALETTE palette);
// The same with a given compression (0, 1, 2) instead of the setting's.
HGLOBAL MakeDibFromBitmapAs(HBITMAP bitmap, HPALETTE palette, int compression);
HPALETTE MakePaletteFromDib(HGLOBAL dib, int* colorCount);
HBITMAP MakeBitmapFromDib(HGLOBAL dib, HPALETTE palette);

// --- BMP and PNG output -----------------------------------------------
// Format of the serial files and of the save dialog's first offer: BMP
// unless PNG is chosen in dialog 110. Kept between runs.
extern PictureFormat g_outputFormat;
// Writes the current picture (capturing the screen when there is none),
// replacing a file of that name only once the new file is whole: on any
// failure the old file is left as it was and nothing new is left behind.
bool SaveClipboardAs(HWND window, const wchar_t* path, PictureFormat format);
// The same BMP file without naming it in the title: a copy made for another
// use (the wallpaper), which the picture shown is not read from.
bool WriteClipboardAsBmp(HWND window, const wchar_t* path);
// The next serial file in g_outputFormat; shows its own error.
void SaveNextSerialBmp(HWND window);
void SaveAsCommand(HWND window);        // 40008
void SerialOutputCommand(HWND window);  // the dialog of 40009
bool SerialOutputOn();
// The shell's folder picker, opened at start (may be empty); the chosen
// folder's full path. False when cancelled.
bool BrowseForFolder(HWND owner, const wchar_t* start, std::wstring* folder);
// The choices of dialog 110 as they are kept from one run to the next.
struct SerialOutputChoice {
    bool on = false;
    std::wstring folder;
    std::wstring prefix;
    PictureFormat format = PictureFormat::kBmp;
    int compression = 0;
    int jpegQuality = kDefaultJpegQuality;
};
SerialOutputChoice CurrentSerialOutput();
// At start, before any output: as if dialog 110 had been confirmed with
// these choices (the serial counter is not touched).
void RestoreSerialOutput(const SerialOutputChoice& choice);
// The "Kelvoｴﾗｰ" message that a file could not be written, without owner;
// a reason, when given, is its second line.
void ShowFileNotWritten(const wchar_t* name, const wchar_t* reason = nullptr);

// --- PNG --------------------------------------------------------------
// A plain 1-, 4-, 8- or 24-bit Capture DIB as the bytes of a PNG file;
// the encoding's defaults are what Kelvo writes, other filters and levels
// are for the benchmark.
// What Kelvo writes, in bands of rows taken by a thread for each
// processor (up to 8).
PngEncoding PngOnEveryCore();
bool EncodePng(HGLOBAL dib, std::vector<uint8_t>* png, const PngEncoding& encoding = PngOnEveryCore());
// The quality of JPEG files, chosen in dialog 110 and kept between runs.
extern int g_jpegQuality;

// A fresh grab's PNG, made ahead for the PNG file that follows it. Start
// takes the grab's pixels from bitmap before it returns (the bitmap may
// then go to the clipboard) and encodes them on a worker thread. Once the
// clipboard holds the grab, OnClipboard is given the sequence number read
// before the clipboard was closed and the owner it was opened with; Take
// hands the PNG over only while the clipboard still holds that grab, and
// false otherwise. Take and Drop end the worker and free everything. The
// PNG belongs to the thread that started it: another thread's Take finds
// none and its Drop leaves it alone.
void StartPngOfGrab(HBITMAP bitmap);
void PngOfGrabOnClipboard(HWND owner, DWORD heldSequence);
bool TakePngOfGrab(std::vector<uint8_t>* png);
void DropPngOfGrab();

// --- loading ----------------------------------------------------------
// Whether this Windows takes names past 260 characters (long paths enabled
// and the program aware of them).
bool LongPathsEnabled();
// The reason for a file error on path, telling a name too long for the
// system from a missing one.
LoadFailure LoadFailureOfPathError(const wchar_t* path, DWORD error);
// Opens a file as the current picture; on failure the "Kelvoｴﾗｰ" message
// names the file and the reason, and the current picture stays.
bool OpenPictureFile(HWND window, const wchar_t* path);
// An open 16-, 24- or 32-bit BMP file with uncompressed rows straight into
// a display bitmap, a band of rows at a time; *taken false (and nothing
// done) for any other file, which ReadDibFile reads whole.
HBITMAP ReadBmpInRows(HANDLE file, bool* taken, LoadFailure* failure);
// An open BMP file as a packed DIB, or null with the reason in *failure.
HGLOBAL ReadDibFile(HANDLE file, LoadFailure* failure = nullptr);
void OpenCommand(HWND window);  // 40023
// The open dialog; the chosen file's full name.
bool ChooseOpenFile(HWND owner, std::wstring* path);
// The save dialog with BMP and PNG types and a proposed name (the date and
// time), starting in the folder of the last file saved through it and on
// the type left chosen there (on *format, the "ﾌｧｲﾙ連続生成" format, the
// first time and after that format changes; in the current folder the
// first time); on confirmation *format is what the name or the chosen type
// asks for.
bool ChooseSaveFile(HWND owner, std::wstring* path, PictureFormat* format);
