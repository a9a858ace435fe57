// Names of serially numbered output files: the base name (output folder
// and file prefix), "<folder>\<prefix><number>.BMP" (".PNG", ".JPG") with
// the prefix's date and number tokens, and the search for a number whose
// file does not exist yet; the format a saved file's name asks for; the
// folder of a path; the save dialog's proposed name. Names are UTF-16, as
// Windows gives them.
//
// For byte strings in the ANSI code page only the trailing-backslash test
// is kept: in Shift-JIS (code page 932) the second byte of a double-byte
// character may be 0x5C, the byte of a backslash.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The formats a picture is written in. BMP is every road's default.
enum class PictureFormat { kBmp, kPng, kJpeg };

// The quality a JPEG file is written at when none is chosen, and the
// range of the choice.
constexpr int kDefaultJpegQuality = 90;
constexpr int kLowestJpegQuality = 1;
constexpr int kHighestJpegQuality = 100;

// The format numbered as the save dialog's file types and the FORMAT value
// count them (0 BMP, 1 PNG, 2 JPEG); BMP for any other number.
PictureFormat PictureFormatOfIndex(int index);
int IndexOfPictureFormat(PictureFormat format);

// A moment on the local clock, as the save dialog's proposed name and the
// serial names' date tokens use it.
struct LocalMoment {
    int year, month, day, hour, minute, second;
};

// The serial file name of a folder and a prefix that may name the moment:
// in the prefix, %Y is the year (four digits), %m %d %H %M %S the month,
// day, hour, minute and second (two digits each), and %n the number (at
// least four digits, as always). Without %n the number follows the prefix
// as it always has, so a prefix without tokens gives exactly the name it
// always gave; any other "%" is kept as it stands. The folder is taken as
// it is: a "%" in a folder's name is no token.
std::wstring SerialFileNameOf(const std::wstring& folder, const std::wstring& prefix, uint16_t number,
                              PictureFormat format, const LocalMoment& moment);
// The same name with "####" where the number goes, for the message that
// no number is free.
std::wstring SerialNamePatternOf(const std::wstring& folder, const std::wstring& prefix,
                                 PictureFormat format, const LocalMoment& moment);

// ".BMP", ".PNG" or ".JPG", the end of a serial file name.
const char* SerialExtension(PictureFormat format);

// The format of a file named in the save dialog: a name ending in ".png"
// is PNG, one ending in ".jpg" or ".jpeg" is JPEG and one ending in ".bmp"
// is BMP, in any letter case, so that a
// file's contents always match what its name promises to other programs;
// any other name takes the type chosen in the dialog.
PictureFormat FormatForFileName(const std::wstring& path, PictureFormat chosenType);

// True for a byte that starts a double-byte character in code page 932.
bool IsShiftJisLeadByte(uint8_t byte);

// True when the last character of text is a backslash. With shiftJis the
// text is walked character by character, so a double-byte character that
// ends in 0x5C does not count; without it (single-byte code pages, UTF-8)
// a final 0x5C byte is a backslash.
bool EndsWithBackslash(const char* text, bool shiftJis);

// Base name: folder, a backslash unless the folder already ends with one
// (an empty folder gives just "\"), then prefix. In UTF-16 there is no
// code page to know and no capacity to run out of.
std::wstring SerialBaseNameOf(const std::wstring& folder, const std::wstring& prefix);

// The folder a file of path is in, where a file written to replace it is
// made first: the path up to its last backslash or slash, that separator
// kept only for a root ("C:\\", "\\"); "C:" for a name on a drive's
// current folder ("C:x.bmp"), "." for a bare name. Wide (UTF-16): in the
// double-byte ANSI code pages a character's second byte can be the
// backslash byte.
std::wstring FolderOfPath(const std::wstring& path);


// The name the save dialog offers, to accept as it stands:
// "YYYYMMDD-HHMMSS" of the moment and ".bmp" or ".png", e.g.
// "20261208-091500.bmp"; names made a second apart sort in time order.
// Fields out of their range (a broken clock) are clamped, so the name
// keeps its 15 digits and never holds a character a file name cannot.
std::string ProposedSaveName(const LocalMoment& moment, PictureFormat format);

// The name in the save dialog when its file type changes: a name ending in
// ".bmp", ".png", ".jpg" or ".jpeg" (any case) takes the new type's
// extension, so that the
// proposed name still saves in the chosen format; other names are kept.
std::wstring NameForFileType(const std::wstring& name, PictureFormat format);

// What became of one serial number's file.
enum class SerialTry {
    kWritten,  // created and written whole
    kExists,   // a file of that name is there already: left alone
    kFailed,   // could not be written for another reason
};

// The serial road never replaces a file: the counter moves on (by one,
// 16 bits, so 65535 is followed by 0) and tryNumber is called with each
// new value until a file is written or fails for another reason, whose
// number then stays used. When all 65536 numbers have files already the
// result is kExists and the counter is back where it started: there is
// no free name, which the caller reports.
SerialTry WriteNextSerialFile(uint16_t* counter, const std::function<SerialTry(uint16_t)>& tryNumber);
