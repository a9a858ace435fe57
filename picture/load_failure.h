// Why a picture file could not be opened, and the message that says so:
// the reason is chosen from what the loader learnt (the error of opening
// the file, the BMP reader's verdict, the plug-ins' and the system codecs'
// answers), so the user
// can tell a missing file from a damaged one or from a type no plug-in
// reads.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "picture/bmp_reader.h"
#include "picture/plugin_rules.h"

enum class LoadFailure {
    kMissing,         // the file or its folder does not exist
    kAccessDenied,    // no right to read it, or another program holds it
    kUnreadable,      // any other error while reading it
    kNotBmp,          // named .bmp but not a BMP (or empty)
    kDamaged,         // a BMP whose headers or sizes are impossible
    kUnsupportedBmp,  // a BMP of a kind the reader does not take
    kTooLarge,        // beyond the limits of width, height or pixel bytes
    kNoPlugins,       // no image plug-in is loaded at all, and no codec reads the file
    kNoPlugin,        // no plug-in takes the file, nor any codec of the system
    kPluginFailed,    // a plug-in took it but gave no usable picture
    kPluginStopped,   // the plug-in helper crashed or hung on it
    kHelperMissing,   // kelvo-spihost.exe is not beside kelvo.exe
    kNameTooLong,     // longer than the system takes (long paths not enabled)
    kNameForPlugins,  // a name the plug-ins cannot be given, and none takes the file in memory
    kCodecFailed,     // no plug-in took it; a codec of the system did but could not decode it
    kCodecStopped,    // the helper crashed or hung while a codec of the system decoded it
    kNoMemory,        // the platform could not make the bitmap or palette
    kClipboard,       // the clipboard could not be taken
};

// The reason for a Windows error number from opening or reading a file.
LoadFailure LoadFailureOfFileError(uint32_t error);
// Whether a file error on a name of nameLength UTF-16 units means that
// the name is longer than the system takes: the system says so, or, where
// long paths are not enabled, a name of 260 units or more comes back as a
// missing file or folder.
bool NameTooLongForSystem(uint32_t error, size_t nameLength, bool longPathsEnabled);
// The reason for the BMP reader's refusal (kOk gives kDamaged: the file
// changed between two steps).
LoadFailure LoadFailureOfBmp(BmpStatus status);
// The reason for a picture handed back by a plug-in that fails the checks.
LoadFailure LoadFailureOfPluginDib(PluginDibStatus status);

// The sentence that a name is longer than the system takes, also for a
// file that could not be written.
extern const wchar_t kNameTooLongText[];

// The reason as a sentence of the message.
const wchar_t* LoadFailureReason(LoadFailure failure);
// The "Kelvoｴﾗｰ" message: 「読込に失敗しました( path )」, an empty line,
// then the reason. It starts with 「読込に失敗しました」 whatever follows.
std::wstring LoadFailedText(const std::wstring& path, LoadFailure failure);
