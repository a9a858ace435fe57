// The current picture in the clipboard formats other programs paste:
// beside the bitmap, "PNG" (browsers, chat and office programs) and
// CF_DIBV5 (image editors), both made only when a program asks for them.
// And the other way round, a picture that another program put on the
// clipboard only as "PNG", decoded for the view and for saving.
#include "picture/clipboard_formats.h"

#include <wincodec.h>

#include <cstring>
#include <vector>

#include "picture/dib_rules.h"
#include "picture/global_memory.h"
#include "picture/picture.h"

namespace {

// The picture offered: the bitmap and palette handed to the clipboard.
// While a program asks for a format that program holds the clipboard open,
// so Kelvo cannot read the picture through it; the handles themselves stay
// good until the clipboard is emptied, and the formats offered go with
// them, so no request can come after. A copy of its own would cost Kelvo
// as much memory again as the picture. Written by whichever thread places
// a picture (the print job grabs on its own thread), read by the owner
// window's thread; the lock is never held across the opening or emptying
// of the clipboard, which may wait for the other thread.
struct Offer {
    HBITMAP bitmap = nullptr;
    HPALETTE palette = nullptr;
    bool pngRendered = false;
    bool dibV5Rendered = false;
};
Offer g_offer;
SRWLOCK g_offerLock = SRWLOCK_INIT;

class OfferLock {
public:
    OfferLock() { AcquireSRWLockExclusive(&g_offerLock); }
    ~OfferLock() { ReleaseSRWLockExclusive(&g_offerLock); }
    OfferLock(const OfferLock&) = delete;
    OfferLock& operator=(const OfferLock&) = delete;
};

UINT PngFormat()
{
    static const UINT format = RegisterClipboardFormatW(L"PNG");
    return format;
}

void DropOffer()
{
    OfferLock lock;
    g_offer = Offer();
}

HGLOBAL RenderPng(HGLOBAL dib)
{
    std::vector<uint8_t> png;
    return EncodePng(dib, &png) ? CopyToGlobal(png.data(), png.size()) : nullptr;
}

// The same pixels behind a version 5 header that says they are sRGB.
HGLOBAL RenderDibV5(HGLOBAL dib)
{
    LockedBlock<uint8_t> p(dib);
    if (!p)
        return nullptr;
    const auto* header = reinterpret_cast<const DibHeader*>(p.get());
    const uint64_t table = DibColorTableSize(header);
    const uint64_t image = DibImageSize(header);
    if (DibPackedSize(header) > GlobalSize(dib))
        return nullptr;
    std::vector<uint8_t> packed(sizeof(BITMAPV5HEADER) + size_t(table + image));
    BITMAPV5HEADER v5{};
    v5.bV5Size = sizeof v5;
    v5.bV5Width = header->biWidth;
    v5.bV5Height = header->biHeight;
    v5.bV5Planes = 1;
    v5.bV5BitCount = header->biBitCount;
    v5.bV5Compression = BI_RGB;
    v5.bV5SizeImage = uint32_t(image);
    v5.bV5ClrUsed = header->biClrUsed;
    v5.bV5CSType = 0x73524742;  // LCS_sRGB, spelled out: the header's is a multi-character constant
    v5.bV5Intent = LCS_GM_IMAGES;
    std::memcpy(packed.data(), &v5, sizeof v5);
    std::memcpy(packed.data() + sizeof v5, p.get() + header->biSize, size_t(table));
    std::memcpy(packed.data() + sizeof v5 + table, DibPixelBits(header), size_t(image));
    return CopyToGlobal(packed.data(), packed.size());
}

// Puts one delayed format on the clipboard; the clipboard is open, by the
// program that asked or, for all formats at once, by Kelvo.
void Render(UINT format)
{
    OfferLock lock;
    if (!g_offer.bitmap)
        return;
    bool* rendered = format == CF_DIBV5 ? &g_offer.dibV5Rendered
                     : format == PngFormat() ? &g_offer.pngRendered : nullptr;
    if (!rendered || *rendered)
        return;
    // Every colour, whatever the compression chosen for BMP files.
    HGLOBAL dib = MakeDibFromBitmapAs(g_offer.bitmap, g_offer.palette, 0);
    if (!dib)
        return;
    HGLOBAL data = format == CF_DIBV5 ? RenderDibV5(dib) : RenderPng(dib);
    GlobalFree(dib);
    if (data && SetClipboardData(format, data))
        *rendered = true;
    else if (data)
        GlobalFree(data);
}

// COM on this thread for the length of one decoding.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

template <typename T>
void Release(T*& p)
{
    if (p)
        p->Release();
    p = nullptr;
}

// A PNG file's bytes as a 32-bit top-down bitmap; transparent parts are
// laid over white, as the bundled plug-in does with files.
HBITMAP DecodePng(const uint8_t* bytes, size_t size)
{
    ComApartment com;
    if (!com.usable() || size > MAXDWORD)
        return nullptr;
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    HBITMAP bitmap = nullptr;
    UINT width = 0, height = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)))
        && SUCCEEDED(factory->CreateStream(&stream))
        && SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes), DWORD(size)))
        && SUCCEEDED(factory->CreateDecoderFromStream(stream, &GUID_ContainerFormatPng,
                                                      WICDecodeMetadataCacheOnDemand, &decoder))
        && SUCCEEDED(decoder->GetFrame(0, &frame))
        && SUCCEEDED(factory->CreateFormatConverter(&converter))
        && SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppPBGRA,
                                           WICBitmapDitherTypeNone, nullptr, 0,
                                           WICBitmapPaletteTypeCustom))
        && SUCCEEDED(converter->GetSize(&width, &height)) && width > 0 && height > 0
        && width <= 65535 && height <= 65535) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = LONG(width);
        info.bmiHeader.biHeight = -LONG(height);
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        const UINT stride = width * 4;
        if (bitmap
            && SUCCEEDED(converter->CopyPixels(nullptr, stride, stride * height,
                                               static_cast<BYTE*>(bits)))) {
            // Premultiplied: adding what transparency leaves out of white
            // gives the picture over white.
            auto* px = static_cast<uint8_t*>(bits);
            for (size_t i = 0; i < size_t(stride) * height; i += 4) {
                const uint8_t clear = uint8_t(255 - px[i + 3]);
                for (int c = 0; c < 3; ++c)
                    px[i + c] = uint8_t(px[i + c] + clear);
                px[i + 3] = 0;
            }
        } else if (bitmap) {
            DeleteObject(bitmap);
            bitmap = nullptr;
        }
    }
    Release(converter);
    Release(frame);
    Release(decoder);
    Release(stream);
    Release(factory);
    return bitmap;
}

// The last foreign picture decoded and the clipboard sequence number it
// was decoded at: the view repaints at every scroll step, and the same
// clipboard needs decoding once. Main thread only.
HBITMAP g_foreign;
DWORD g_foreignSequence;

}  // namespace

void OfferPictureFormats(HBITMAP bitmap, HPALETTE palette)
{
    {
        OfferLock lock;
        g_offer = Offer();
        g_offer.bitmap = bitmap;
        g_offer.palette = palette;
    }
    // Made only when a program asks (WM_RENDERFORMAT).
    SetClipboardData(PngFormat(), nullptr);
    SetClipboardData(CF_DIBV5, nullptr);
}

bool OnClipboardRenderMessage(HWND window, UINT message, WPARAM wParam)
{
    switch (message) {
    case WM_RENDERFORMAT:
        Render(UINT(wParam));
        return true;
    case WM_RENDERALLFORMATS:
        // Kelvo is going: what was offered stays on the clipboard, whole,
        // as long as the clipboard is still Kelvo's picture.
        if (OpenClipboard(window)) {
            if (GetClipboardOwner() == window) {
                Render(PngFormat());
                Render(CF_DIBV5);
            }
            CloseClipboard();
        }
        DropOffer();
        return true;
    case WM_DESTROYCLIPBOARD:
        DropOffer();
        return true;
    }
    return false;
}

bool ClipboardHoldsForeignPicture()
{
    return !IsClipboardFormatAvailable(CF_BITMAP) && IsClipboardFormatAvailable(PngFormat());
}

HBITMAP DecodeForeignPicture()
{
    if (!ClipboardHoldsForeignPicture())
        return nullptr;
    HGLOBAL png = GetClipboardData(PngFormat());
    LockedBlock<uint8_t> bytes(png);
    return bytes ? DecodePng(bytes.get(), GlobalSize(png)) : nullptr;
}

HBITMAP ForeignPictureBitmap()
{
    const DWORD sequence = GetClipboardSequenceNumber();
    if (g_foreign && sequence == g_foreignSequence)
        return g_foreign;
    if (g_foreign)
        DeleteObject(g_foreign);
    g_foreignSequence = sequence;
    g_foreign = DecodeForeignPicture();
    return g_foreign;
}
