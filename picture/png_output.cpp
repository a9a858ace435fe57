// PNG files through the platform's own encoder, the Windows Imaging
// Component: the picture's pixels exactly, 24-bit for a true-colour
// Capture DIB and indexed with the picture's own colour table otherwise.
// The file is encoded in memory, so that the writer can create, fill and,
// on failure, remove it exactly as it does a BMP file.
#include "picture/picture.h"

#include <wincodec.h>

#include "picture/dib_rules.h"
#include "picture/global_memory.h"

namespace {

// A grab's PNG, encoded on a worker thread while the grabbing thread hands
// the grab to the clipboard (under Wine that hand-over copies the whole
// bitmap into the Wine server and takes about half as long as the
// encoding). Each thread has its own: a print job that grabs the screen on
// its own thread (the clipboard was empty) cannot end or free the one the
// main thread is about to write.
struct PngAhead {
    HANDLE worker = nullptr;
    HGLOBAL dib = nullptr;
    // Empty unless the encoding succeeded.
    std::vector<uint8_t> png;
    // The clipboard's sequence number while it holds the grab; 0 when it
    // never did.
    DWORD sequence = 0;
};
thread_local PngAhead g_ahead;

// Runs on the worker; the grabbing thread reads the result only after the
// worker has ended.
DWORD WINAPI EncodeAhead(void* state)
{
    auto* ahead = static_cast<PngAhead*>(state);
    EncodePng(ahead->dib, &ahead->png);
    return 0;
}

// One reference to a COM object, released with the owner.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef()
    {
        if (p_)
            p_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T** out() { return &p_; }
    T* get() const { return p_; }
    T* operator->() const { return p_; }

private:
    T* p_ = nullptr;
};

// COM on this thread for the length of one encoding. A thread that has
// COM already in the other model keeps it: the encoder works in both.
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

// The encoder's pixel format for the rows of a plain Capture DIB, or null
// for a DIB this writer does not take.
const GUID* PixelFormatOf(const DibHeader& header)
{
    if (header.biCompression != kBiRgb)
        return nullptr;
    switch (header.biBitCount) {
    case 1: return &GUID_WICPixelFormat1bppIndexed;
    case 4: return &GUID_WICPixelFormat4bppIndexed;
    case 8: return &GUID_WICPixelFormat8bppIndexed;
    case 24: return &GUID_WICPixelFormat24bppBGR;
    default: return nullptr;
    }
}

// The DIB's colour table as opaque colours for the encoder's palette.
bool SetPaletteOf(IWICImagingFactory* factory, IWICBitmapFrameEncode* frame,
                  const uint8_t* dib, const DibHeader& header)
{
    uint32_t count = CountDibColors(&header);
    if (count == 0 || count > (1u << header.biBitCount))
        return false;
    WICColor colors[256];
    const uint8_t* table = dib + header.biSize;
    for (uint32_t i = 0; i < count; ++i)
        colors[i] = 0xFF000000u | uint32_t(table[4 * i + 2]) << 16 | uint32_t(table[4 * i + 1]) << 8
                    | table[4 * i];
    ComRef<IWICPalette> palette;
    return SUCCEEDED(factory->CreatePalette(palette.out()))
           && SUCCEEDED(palette->InitializeCustom(colors, count))
           && SUCCEEDED(frame->SetPalette(palette.get()));
}

// Hands the rows over top row first, whichever way the DIB stores them.
bool WriteRows(IWICBitmapFrameEncode* frame, const uint8_t* bits, const DibHeader& header)
{
    const uint32_t stride = uint32_t(DibRowSize(header.biWidth, header.biBitCount));
    const bool bottomUp = header.biHeight > 0;
    const uint32_t height = bottomUp ? uint32_t(header.biHeight) : 0u - uint32_t(header.biHeight);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = bits + size_t(bottomUp ? height - 1 - y : y) * stride;
        if (FAILED(frame->WritePixels(1, stride, stride, const_cast<BYTE*>(row))))
            return false;
    }
    return true;
}

// The encoder's own options; both left at their defaults unless asked.
bool SetOptions(IPropertyBag2* options, const PngOptions& wanted)
{
    auto write = [options](const wchar_t* name, VARIANT value) {
        PROPBAG2 option{};
        option.pstrName = const_cast<LPOLESTR>(name);
        return SUCCEEDED(options->Write(1, &option, &value));
    };
    VARIANT filter{};
    filter.vt = VT_UI1;
    filter.bVal = BYTE(wanted.filter);
    VARIANT interlace{};
    interlace.vt = VT_BOOL;
    interlace.boolVal = VARIANT_TRUE;
    return (wanted.filter == 0 || write(L"FilterOption", filter))
           && (!wanted.interlace || write(L"InterlaceOption", interlace));
}

bool Encode(IStream* stream, const uint8_t* dib, const DibHeader& header, const GUID& format,
            const PngOptions& wanted)
{
    ComRef<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()))))
        return false;
    ComRef<IWICBitmapEncoder> encoder;
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out()))
        || FAILED(encoder->Initialize(stream, WICBitmapEncoderNoCache))
        || FAILED(encoder->CreateNewFrame(frame.out(), options.out()))
        || !SetOptions(options.get(), wanted) || FAILED(frame->Initialize(options.get())))
        return false;
    const uint32_t height = header.biHeight > 0 ? uint32_t(header.biHeight)
                                                : 0u - uint32_t(header.biHeight);
    WICPixelFormatGUID given = format;
    // An encoder that would convert the pixels would not write them exactly.
    if (FAILED(frame->SetSize(uint32_t(header.biWidth), height))
        || FAILED(frame->SetPixelFormat(&given)) || !IsEqualGUID(given, format))
        return false;
    if (header.biBitCount <= 8 && !SetPaletteOf(factory.get(), frame.get(), dib, header))
        return false;
    return WriteRows(frame.get(), DibPixelBits(&header), header)
           && SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace

bool EncodePng(HGLOBAL dib, std::vector<uint8_t>* png, const PngOptions& options)
{
    png->clear();
    LockedBlock<uint8_t> p(dib);
    if (!p)
        return false;
    const DibHeader& header = *reinterpret_cast<const DibHeader*>(p.get());
    const GUID* format = PixelFormatOf(header);
    if (!format || header.biSize < sizeof(DibHeader) || header.biWidth <= 0 || header.biHeight == 0
        || DibPackedSize(&header) > GlobalSize(dib))
        return false;
    ComApartment com;
    if (!com.usable())
        return false;
    // The stream starts as large as the picture's rows, which a PNG of a
    // screen rarely exceeds: grown write by write it would be copied over
    // and over (a quarter of the encoding time measured under Wine).
    ComRef<IStream> stream;
    ULARGE_INTEGER room;
    room.QuadPart = GlobalSize(dib);
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.out())) || FAILED(stream->SetSize(room))
        || !Encode(stream.get(), p.get(), header, *format, options))
        return false;
    // The encoder writes from the start on; where it stopped is the length.
    LARGE_INTEGER here{};
    ULARGE_INTEGER length{};
    HGLOBAL memory = nullptr;
    if (FAILED(stream->Seek(here, STREAM_SEEK_CUR, &length))
        || FAILED(GetHGlobalFromStream(stream.get(), &memory))
        || length.QuadPart == 0 || length.QuadPart > GlobalSize(memory))
        return false;
    LockedBlock<uint8_t> bytes(memory);
    if (!bytes)
        return false;
    png->assign(bytes.get(), bytes.get() + size_t(length.QuadPart));
    return true;
}

void StartPngOfGrab(HBITMAP bitmap)
{
    DropPngOfGrab();
    g_ahead.dib = MakeDibFromBitmapAs(bitmap, nullptr, 0);
    if (g_ahead.dib)
        g_ahead.worker = CreateThread(nullptr, 0, EncodeAhead, &g_ahead, 0, nullptr);
    if (!g_ahead.worker)
        DropPngOfGrab();
}

void PngOfGrabOnClipboard(HWND owner, DWORD heldSequence)
{
    if (!g_ahead.worker || heldSequence == 0)
        return;
    // heldSequence was read before the clipboard was closed: no other
    // program could change it then. Closing may still move the number on
    // by one step of its own (Wine adds there the DIB formats it makes
    // from the bitmap). Another program's copy in between takes two steps
    // at least (emptying, then placing), and its emptying alone makes it
    // the clipboard's owner; either way the grab is no longer what the
    // clipboard holds.
    const DWORD now = GetClipboardSequenceNumber();
    const bool stillTheGrab = now - heldSequence <= 1 && GetClipboardOwner() == owner
                              && IsClipboardFormatAvailable(CF_BITMAP);
    g_ahead.sequence = stillTheGrab ? now : 0;
}

namespace {

// Ends the worker and frees the grab's pixels; the PNG it made, empty if
// none.
std::vector<uint8_t> EndPngOfGrab()
{
    if (g_ahead.worker) {
        WaitForSingleObject(g_ahead.worker, INFINITE);
        CloseHandle(g_ahead.worker);
    }
    if (g_ahead.dib)
        GlobalFree(g_ahead.dib);
    std::vector<uint8_t> png;
    png.swap(g_ahead.png);
    g_ahead = PngAhead();
    return png;
}

}  // namespace

bool TakePngOfGrab(std::vector<uint8_t>* png)
{
    // Another picture on the clipboard since the grab (a program's copy
    // while the preview question was open) is the one that goes out.
    const bool current = g_ahead.sequence != 0 && GetClipboardSequenceNumber() == g_ahead.sequence;
    std::vector<uint8_t> made = EndPngOfGrab();
    if (!current || made.empty())
        return false;
    png->swap(made);
    return true;
}

void DropPngOfGrab()
{
    EndPngOfGrab();
}
