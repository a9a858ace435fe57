// Decoding through the Windows Imaging Component, inside the helper.
#include "spihost/codec_picture.h"

#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "picture/plugin_rules.h"
#include "picture/spi_protocol.h"

namespace {

using CoInitializeExProc = HRESULT(WINAPI*)(void*, DWORD);
using CoCreateInstanceProc = HRESULT(WINAPI*)(REFCLSID, IUnknown*, DWORD, REFIID, void**);

// The name the channel shows while a codec runs, so that a crash or a
// hang is put down to it rather than to a plug-in.
const char kCodecModule[] = "windowscodecs.dll";
constexpr uint32_t kInfoHeaderBytes = 40;
// Rows asked of the codec at a time: each strip is a sign of life, and
// the strip buffer of the alpha road stays within 16 MB.
constexpr UINT kStripRows = 256;
constexpr size_t kStripBytes = 16u << 20;

template <typename T>
class Com {
public:
    Com() = default;
    ~Com()
    {
        if (p_)
            p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T** out() { return &p_; }
    T* get() const { return p_; }
    T* operator->() const { return p_; }

private:
    T* p_ = nullptr;
};

// Tells the watch for the length of the codec's work.
class CodecCall {
public:
    explicit CodecCall(PluginCallWatch* watch) : watch_(watch)
    {
        if (watch_)
            watch_->Enter(kCodecModule);
    }
    ~CodecCall()
    {
        if (watch_)
            watch_->Leave();
    }
    CodecCall(const CodecCall&) = delete;
    CodecCall& operator=(const CodecCall&) = delete;

private:
    PluginCallWatch* watch_;
};

// The imaging factory, made at the first codec request and kept. ole32 is
// loaded only then, so that a helper that serves plug-ins alone starts as
// quickly as ever.
IWICImagingFactory* Factory()
{
    static IWICImagingFactory* factory = nullptr;
    static bool tried = false;
    if (tried)
        return factory;
    tried = true;
    HMODULE ole = LoadLibraryW(L"ole32.dll");
    auto initialize =
        ole ? reinterpret_cast<CoInitializeExProc>(GetProcAddress(ole, "CoInitializeEx")) : nullptr;
    auto create =
        ole ? reinterpret_cast<CoCreateInstanceProc>(GetProcAddress(ole, "CoCreateInstance"))
            : nullptr;
    // The helper has no message loop: the free-threaded apartment suits it.
    if (!initialize || !create || FAILED(initialize(nullptr, COINIT_MULTITHREADED)))
        return nullptr;
    if (FAILED(create(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                      IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))))
        factory = nullptr;
    return factory;
}

// Pixel formats that carry no transparency: converted straight to 24-bit
// rows in the shared view. Everything else (indexed colours may hold a
// transparent entry) goes through 32-bit BGRA and is laid over white.
bool Opaque(const WICPixelFormatGUID& format)
{
    for (const GUID* opaque :
         {&GUID_WICPixelFormat24bppBGR, &GUID_WICPixelFormat24bppRGB, &GUID_WICPixelFormat32bppBGR,
          &GUID_WICPixelFormat8bppGray, &GUID_WICPixelFormat16bppGray,
          &GUID_WICPixelFormat48bppRGB, &GUID_WICPixelFormatBlackWhite})
        if (IsEqualGUID(format, *opaque))
            return true;
    return false;
}

// The frame that is the picture: the first (a GIF's first frame, a TIFF's
// first page), but of an icon the largest of its sizes, which come
// smallest first as often as not.
UINT PictureFrame(IWICBitmapDecoder* decoder)
{
    GUID container{};
    UINT count = 0;
    if (FAILED(decoder->GetContainerFormat(&container))
        || !IsEqualGUID(container, GUID_ContainerFormatIco) || FAILED(decoder->GetFrameCount(&count)))
        return 0;
    UINT best = 0;
    uint64_t bestArea = 0;
    for (UINT i = 0; i < count; ++i) {
        Com<IWICBitmapFrameDecode> frame;
        UINT width = 0, height = 0;
        if (FAILED(decoder->GetFrame(i, frame.out())) || FAILED(frame->GetSize(&width, &height)))
            continue;
        if (uint64_t(width) * height > bestArea) {
            bestArea = uint64_t(width) * height;
            best = i;
        }
    }
    return best;
}

// Over white: c * a + 255 * (1 - a), rounded.
inline uint8_t OverWhite(uint8_t c, uint8_t a)
{
    return uint8_t((c * a + 255 * (255 - a) + 127) / 255);
}

void PutInfoHeader(uint8_t* format, UINT width, UINT height, uint64_t bitsBytes)
{
    BITMAPINFOHEADER header{};
    header.biSize = kInfoHeaderBytes;
    header.biWidth = LONG(width);
    header.biHeight = -LONG(height);  // top-down: rows in the codec's order
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = DWORD(bitsBytes);
    std::memcpy(format, &header, kInfoHeaderBytes);
}

bool CopyOpaque(IWICFormatConverter* converter, UINT width, UINT height, size_t stride,
                uint8_t* bits, void (*heartbeat)())
{
    for (UINT y = 0; y < height; y += kStripRows) {
        UINT rows = std::min(kStripRows, height - y);
        WICRect strip{0, INT(y), INT(width), INT(rows)};
        if (FAILED(converter->CopyPixels(&strip, UINT(stride), UINT(stride * rows),
                                         bits + stride * y)))
            return false;
        if (heartbeat)
            heartbeat();
    }
    return true;
}

bool CopyOverWhite(IWICFormatConverter* converter, UINT width, UINT height, size_t stride,
                   uint8_t* bits, void (*heartbeat)())
{
    const size_t sourceStride = size_t(width) * 4;
    const UINT stripRows =
        UINT(std::max<size_t>(1, std::min<size_t>(kStripRows, kStripBytes / sourceStride)));
    std::vector<uint8_t> strip(sourceStride * stripRows);
    for (UINT y = 0; y < height; y += stripRows) {
        UINT rows = std::min(stripRows, height - y);
        WICRect rect{0, INT(y), INT(width), INT(rows)};
        if (FAILED(converter->CopyPixels(&rect, UINT(sourceStride), UINT(sourceStride * rows),
                                         strip.data())))
            return false;
        for (UINT r = 0; r < rows; ++r) {
            const uint8_t* in = strip.data() + sourceStride * r;
            uint8_t* out = bits + stride * (y + r);
            for (UINT x = 0; x < width; ++x, in += 4, out += 3) {
                out[0] = OverWhite(in[0], in[3]);
                out[1] = OverWhite(in[1], in[3]);
                out[2] = OverWhite(in[2], in[3]);
            }
        }
        if (heartbeat)
            heartbeat();
    }
    return true;
}

}  // namespace

CodecDecode DecodeWithCodec(const wchar_t* path, PluginCallWatch* watch, void (*heartbeat)(),
                            CodecPictureSink* sink)
{
    CodecCall call(watch);
    IWICImagingFactory* factory = Factory();
    if (!factory)
        return CodecDecode::kNoCodec;
    Com<IWICBitmapDecoder> decoder;
    HRESULT made = factory->CreateDecoderFromFilename(path, nullptr, GENERIC_READ,
                                                      WICDecodeMetadataCacheOnDemand, decoder.out());
    if (made == WINCODEC_ERR_COMPONENTNOTFOUND)
        return CodecDecode::kNoCodec;
    Com<IWICBitmapFrameDecode> frame;
    UINT width = 0, height = 0;
    WICPixelFormatGUID source{};
    if (FAILED(made) || FAILED(decoder->GetFrame(PictureFrame(decoder.get()), frame.out()))
        || FAILED(frame->GetSize(&width, &height)) || FAILED(frame->GetPixelFormat(&source))
        || width == 0 || height == 0)
        return CodecDecode::kFailed;
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    const uint64_t bitsBytes = uint64_t(stride) * height;
    if (width > kPluginMaxDimension || height > kPluginMaxDimension
        || bitsBytes > kPluginMaxImageBytes)
        return CodecDecode::kTooLarge;

    bool opaque = Opaque(source);
    Com<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.out())))
        return CodecDecode::kFailed;
    HRESULT ready = E_FAIL;
    if (opaque)
        ready = converter->Initialize(frame.get(), GUID_WICPixelFormat24bppBGR,
                                      WICBitmapDitherTypeNone, nullptr, 0.0,
                                      WICBitmapPaletteTypeCustom);
    // A conversion the codec lacks goes the longer way.
    if (FAILED(ready)) {
        opaque = false;
        ready = converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA,
                                      WICBitmapDitherTypeNone, nullptr, 0.0,
                                      WICBitmapPaletteTypeCustom);
    }
    if (FAILED(ready))
        return CodecDecode::kFailed;

    uint8_t* view = sink->Reserve(kInfoHeaderBytes, bitsBytes);
    if (!view)
        return CodecDecode::kFailed;
    PutInfoHeader(view, width, height, bitsBytes);
    uint8_t* bits = view + spihost::PictureBitsOffset(kInfoHeaderBytes);
    bool copied = opaque ? CopyOpaque(converter.get(), width, height, stride, bits, heartbeat)
                         : CopyOverWhite(converter.get(), width, height, stride, bits, heartbeat);
    if (!copied)
        return CodecDecode::kFailed;
    return sink->Ready(kInfoHeaderBytes, bitsBytes) ? CodecDecode::kOk : CodecDecode::kFailed;
}
