// The output choices that persist beside the nine settings, in the same
// registry key: where the capture-and-output sends the picture (printer or
// file) and the serial-output choices of dialog 110. Each is a value of its
// own that the nine do not know about; a value that is missing, of another
// type, too long or out of range reads as the choice Kelvo starts with
// when nothing is stored (printer, serial output off, empty folder and
// prefix, BMP, no compression, JPEG quality 90).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/settings_table.h"

constexpr uint32_t kRegSz = 1;

struct OutputSettings {
    uint32_t fileOutput = 0;   // OUTPUT: 0 printer, 1 file
    uint32_t serialOn = 0;     // SERIAL: 0 off, 1 on
    uint32_t format = 0;       // FORMAT: 0 BMP, 1 PNG, 2 JPEG
    uint32_t compression = 0;  // COMPRESS: 0 none, 1 RLE8, 2 RLE4
    uint32_t quality = 0;      // QUALITY: JPEG quality 1..100; 0, none stored, is the default
    std::u16string folder;     // FOLDER: the serial files' folder
    std::u16string prefix;     // PREFIX: the serial files' name before the number
};

// The numbers, stored as REG_DWORD of 4 bytes, default 0.
struct OutputNumberLayout {
    const char* name;
    uint32_t largest;  // values above it read as 0
};
constexpr size_t kOutputNumberCount = 5;
extern const OutputNumberLayout kOutputNumbers[kOutputNumberCount];
uint32_t& OutputNumber(OutputSettings& settings, size_t index);

// The texts, stored as REG_SZ in UTF-16, so that any file name survives
// whatever the code page.
constexpr char kFolderValue[] = "FOLDER";
constexpr char kPrefixValue[] = "PREFIX";
// The longest text taken, in UTF-16 units without the terminator: the
// longest path Windows knows.
constexpr size_t kLongestStoredText = 32767;
// The buffer a query needs for the longest text and its terminator.
constexpr uint32_t kStoredTextBytes = (kLongestStoredText + 1) * 2;

// The number that value index takes from what was stored: a REG_DWORD of
// 1 to 4 bytes (little-endian, a shorter one fills the low bytes) not above
// its largest value, 0 otherwise.
uint32_t DecodeOutputNumber(size_t index, const StoredValue& stored);

// The text stored in a REG_SZ value (UTF-16, little-endian), up to its
// first terminator. False, with text emptied, for anything else: missing,
// another type, an odd number of bytes, or longer than kLongestStoredText.
bool DecodeStoredText(const StoredValue& stored, std::u16string* text);

// The bytes written for text: UTF-16 little-endian with its terminator.
// Text cut at kLongestStoredText (no name that long can be used anyway).
std::vector<uint8_t> EncodeStoredText(const std::u16string& text);
