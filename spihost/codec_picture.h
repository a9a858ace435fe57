// Pictures no plug-in takes, decoded in the helper by the Windows Imaging
// Component: whichever codec Windows has for the file (PNG, JPEG, GIF,
// TIFF, ICO, JPEG XR, and WebP or HEIF where installed) is foreign code as
// much as a plug-in is, so it runs here, watched the same way.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "spihost/plugin_table.h"

enum class CodecDecode {
    kNoCodec,   // no codec of this system reads the file
    kFailed,    // a codec took it but could not decode it
    kTooLarge,  // beyond the width, height or byte limits of a plug-in's picture
    kOk,
};

// Where the picture goes: room for a format block of formatBytes at the
// start and bits of bitsBytes at spihost::PictureBitsOffset(formatBytes),
// null when it cannot be had; Ready() once both are written.
class CodecPictureSink {
public:
    virtual uint8_t* Reserve(uint32_t formatBytes, uint64_t bitsBytes) = 0;
    virtual bool Ready(uint32_t formatBytes, uint64_t bitsBytes) = 0;

protected:
    ~CodecPictureSink() = default;
};

// Decodes the file's picture (its first frame; an icon's largest image)
// into a 24-bit top-down DIB (a 40-byte header, then rows padded to 4
// bytes). Transparent and partly transparent pixels are laid over white,
// as the bundled plug-in does, because the picture becomes a display
// bitmap on the clipboard, which keeps no alpha. The watch is told around the codec's work (as
// "windowscodecs.dll") and given a sign of life between strips of rows.
CodecDecode DecodeWithCodec(const wchar_t* path, PluginCallWatch* watch, void (*heartbeat)(),
                            CodecPictureSink* sink);
