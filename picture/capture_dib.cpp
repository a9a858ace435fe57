// Conversions between the clipboard's device bitmap and the Capture DIB,
// a packed device-independent bitmap in one movable global block.
#include "picture/picture.h"

#include <algorithm>
#include <cstring>

#include "picture/dib_rules.h"
#include "picture/global_memory.h"
#include "picture/rle.h"

int g_compression = 0;

namespace {

// A header and a whole colour table, for handing a DIB over in parts.
struct BitmapInfo256 {
    DibHeader header;
    uint32_t colors[256];
};

// The screen device context with a palette realised in it for the length
// of one conversion.
class ScreenPalette {
public:
    explicit ScreenPalette(HPALETTE palette) : dc_(GetDC(nullptr))
    {
        if (dc_ && palette) {
            previous_ = SelectPalette(dc_, palette, FALSE);
            RealizePalette(dc_);
        } else if (dc_) {
            RealizePalette(dc_);
        }
    }
    ~ScreenPalette()
    {
        if (!dc_)
            return;
        if (previous_) {
            SelectPalette(dc_, previous_, TRUE);
            RealizePalette(dc_);
        }
        ReleaseDC(nullptr, dc_);
    }
    ScreenPalette(const ScreenPalette&) = delete;
    ScreenPalette& operator=(const ScreenPalette&) = delete;
    HDC dc() const { return dc_; }

private:
    HDC dc_;
    HPALETTE previous_ = nullptr;
};

// Replaces the plain 8- or 4-bit rows of dib by their RLE stream; the
// platform cannot compress, so the rows it wrote are encoded here.
HGLOBAL CompressDib(HGLOBAL plain, uint32_t compression)
{
    LockedBlock<uint8_t> in(plain);
    if (!in)
        return nullptr;
    auto* header = reinterpret_cast<const DibHeader*>(in.get());
    uint64_t capacity = RleCompressedDibMaxSize(header);
    if (capacity == 0 || capacity > SIZE_MAX)
        return nullptr;
    HGLOBAL packed = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(capacity));
    if (!packed)
        return nullptr;
    size_t length = 0;
    {
        LockedBlock<uint8_t> out(packed);
        if (out)
            length = RleCompressDib(in.get(), GlobalSize(plain), compression, out.get(),
                                    size_t(capacity));
    }
    if (length == 0) {
        GlobalFree(packed);
        return nullptr;
    }
    // Give back what the worst case reserved.
    if (HGLOBAL smaller = GlobalReAlloc(packed, length, GMEM_MOVEABLE))
        packed = smaller;
    return packed;
}

}  // namespace

HGLOBAL MakeDibFromBitmap(HBITMAP bitmap, HPALETTE palette)
{
    return MakeDibFromBitmapAs(bitmap, palette, g_compression);
}

HGLOBAL MakeDibFromBitmapAs(HBITMAP bitmap, HPALETTE palette, int compressionSetting)
{
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info))
        return nullptr;
    if (!palette)
        palette = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
    uint32_t compression = compressionSetting == 1 ? kBiRle8
                           : compressionSetting == 2 ? kBiRle4 : kBiRgb;
    DibHeader header = MakeCaptureHeader(info.bmWidth, info.bmHeight, info.bmPlanes,
                                         info.bmBitsPixel, compression);

    ScreenPalette screen(palette);
    if (!screen.dc())
        return nullptr;

    // First pass: header and colour table only; the platform completes the
    // header and reports the size of the bits. It runs on a copy, so that
    // the block is allocated once, at its final size.
    struct {
        DibHeader header;
        RGBQUAD table[256];
    } first{};
    first.header = header;
    GetDIBits(screen.dc(), bitmap, 0, UINT(info.bmHeight), nullptr,
              reinterpret_cast<BITMAPINFO*>(&first), DIB_RGB_COLORS);
    header = first.header;
    // The platform may give the number of colours it used; a count beyond
    // what the depth allows would describe a table larger than the copy.
    if (header.biBitCount > 8 || header.biClrUsed > (1u << header.biBitCount))
        header.biClrUsed = 0;
    // The platform was asked for plain rows; their size is what it
    // reports, or the row size when it reports nothing.
    uint64_t image = DibImageSize(&header);
    if (header.biSizeImage < image)
        header.biSizeImage = uint32_t(image);
    uint64_t total = DibPixelOffset(&header) + header.biSizeImage;
    if (image == 0 || total > UINT32_MAX)
        return nullptr;
    // Zero-filled, so row padding the platform leaves alone is 0 in files.
    HGLOBAL dib = GlobalAlloc(GHND, SIZE_T(total));
    if (!dib)
        return nullptr;
    {
        first.header = header;
        LockedBlock<uint8_t> p(dib);
        if (p)
            std::memcpy(p.get(), &first, size_t(DibPixelOffset(&header)));
    }

    // Second pass: the bits, straight into the final block.
    int lines = 0;
    {
        LockedBlock<uint8_t> p(dib);
        if (p) {
            auto* h = reinterpret_cast<DibHeader*>(p.get());
            lines = GetDIBits(screen.dc(), bitmap, 0, UINT(info.bmHeight), DibPixelBits(h),
                              reinterpret_cast<BITMAPINFO*>(p.get()), DIB_RGB_COLORS);
        }
    }
    if (lines != info.bmHeight) {
        GlobalFree(dib);
        return nullptr;
    }
    if (compression == kBiRgb)
        return dib;
    HGLOBAL packed = CompressDib(dib, compression);
    GlobalFree(dib);
    return packed;
}

HPALETTE MakePaletteFromDib(HGLOBAL dib, int* colorCount)
{
    if (!dib)
        return nullptr;
    LockedBlock<uint8_t> p(dib);
    if (!p) {
        *colorCount = 0;
        return nullptr;
    }
    auto* header = reinterpret_cast<const DibHeader*>(p.get());
    uint32_t count = CountDibColors(header);
    *colorCount = int(count);
    // A picture without colour table needs no palette; a table larger than
    // a logical palette can hold, or than the block holds, gets none.
    if (count == 0 || count > 0xFFFF
        || DibPixelOffset(header) > GlobalSize(dib) || header->biSize < sizeof(DibHeader))
        return nullptr;
    HGLOBAL block = GlobalAlloc(GHND, 8 + 4 * SIZE_T(count));
    if (!block)
        return nullptr;
    HPALETTE palette = nullptr;
    {
        LockedBlock<LOGPALETTE> logical(block);
        if (logical) {
            logical->palVersion = 0x300;
            logical->palNumEntries = WORD(count);
            // The colour table follows the header's own size.
            const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(p.get() + header->biSize);
            for (uint32_t i = 0; i < count; ++i) {
                logical->palPalEntry[i].peRed = table[i].rgbRed;
                logical->palPalEntry[i].peGreen = table[i].rgbGreen;
                logical->palPalEntry[i].peBlue = table[i].rgbBlue;
                logical->palPalEntry[i].peFlags = 0;
            }
            palette = CreatePalette(logical.get());
        }
    }
    GlobalFree(block);
    return palette;
}

HBITMAP MakeBitmapFromDib(HGLOBAL dib, HPALETTE palette)
{
    if (!dib)
        return nullptr;
    LockedBlock<uint8_t> p(dib);
    if (!p)
        return nullptr;
    auto* header = reinterpret_cast<DibHeader*>(p.get());
    // Only a block that holds everything its header describes is handed to
    // the platform.
    if (header->biSize < sizeof(DibHeader) || DibPackedSize(header) > GlobalSize(dib))
        return nullptr;
    const int32_t width = header->biWidth;
    const uint32_t height = header->biHeight > 0 ? uint32_t(header->biHeight)
                                                 : 0u - uint32_t(header->biHeight);
    const uint64_t stride = DibRowSize(uint32_t(width), header->biBitCount);
    if (width <= 0 || height == 0 || height > 0x7FFFFFFF || stride == 0
        || header->biCompression != kBiRgb)
        return nullptr;
    HDC dc = GetDC(nullptr);
    if (!dc)
        return nullptr;
    HPALETTE previous = palette ? SelectPalette(dc, palette, FALSE) : nullptr;
    RealizePalette(dc);
    HBITMAP bitmap = nullptr;
    if (header->biHeight < 0) {
        bitmap = CreateDIBitmap(dc, reinterpret_cast<BITMAPINFOHEADER*>(header), CBM_INIT,
                                DibPixelBits(header), reinterpret_cast<BITMAPINFO*>(header),
                                DIB_RGB_COLORS);
    } else {
        // A band of rows at a time: handed over whole, the pixels went
        // through a copy as large as the DIB (measured under Wine: the peak
        // while opening a 3840 x 2160 BMP fell from 3.7 to 2.7 times the
        // picture). Bands of 256 KB come from the heap and leave nothing
        // held; larger ones left megabytes behind.
        bitmap = CreateCompatibleBitmap(dc, width, int(height));
        BitmapInfo256 info{};
        info.header = *header;
        info.header.biSize = sizeof(DibHeader);
        std::memcpy(info.colors, reinterpret_cast<const uint8_t*>(header) + header->biSize,
                    4 * size_t(std::min<uint32_t>(CountDibColors(header), 256)));
        const uint32_t band = uint32_t(std::max<uint64_t>(1, (256u << 10) / stride));
        const uint8_t* bits = DibPixelBits(header);
        // Scan lines count from the bottom row, as the rows lie in memory.
        for (uint32_t done = 0; bitmap && done < height; done += band) {
            const uint32_t n = std::min(band, height - done);
            if (SetDIBits(dc, bitmap, done, n, bits + size_t(done) * stride,
                          reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) != int(n)) {
                DeleteObject(bitmap);
                bitmap = nullptr;
            }
        }
    }
    if (previous)
        SelectPalette(dc, previous, FALSE);
    ReleaseDC(nullptr, dc);
    return bitmap;
}
