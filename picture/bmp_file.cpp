// BMP file header for writing a Capture DIB.
#include "picture/bmp_file.h"

namespace {

void Put16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v)
{
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

bool Writable(const DibHeader* h)
{
    if (h->biSize < sizeof(DibHeader) || h->biWidth <= 0 || h->biHeight == 0)
        return false;
    switch (h->biBitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
    }
    switch (h->biCompression) {
    case kBiRgb: return true;
    case kBiRle8: return h->biBitCount == 8 && h->biHeight > 0;
    case kBiRle4: return h->biBitCount == 4 && h->biHeight > 0;
    default: return false;
    }
}

}  // namespace

bool PlanBmpFileLayout(const DibHeader* header, BmpFileLayout* layout)
{
    if (!Writable(header))
        return false;
    const uint64_t dibPart = DibPackedSize(header);
    const uint64_t fileSize = kBmpFileHeaderSize + dibPart;
    if (fileSize > UINT32_MAX)
        return false;
    layout->fileSize = static_cast<uint32_t>(fileSize);
    layout->pixelOffset = static_cast<uint32_t>(kBmpFileHeaderSize + DibPixelOffset(header));
    layout->dibPartLength = static_cast<uint32_t>(dibPart);
    return true;
}

void WriteBmpFileHeader(const BmpFileLayout& layout, uint8_t out[kBmpFileHeaderSize])
{
    out[0] = 'B';
    out[1] = 'M';
    Put32(out + 2, layout.fileSize);
    Put16(out + 6, 0);
    Put16(out + 8, 0);
    Put32(out + 10, layout.pixelOffset);
}

bool BuildBmpFileHeader(const DibHeader* dib, size_t dibBlockSize,
                        uint8_t out[kBmpFileHeaderSize], uint32_t* dibPartLength)
{
    if (!dib || dibBlockSize < sizeof(DibHeader))
        return false;
    BmpFileLayout layout;
    if (!PlanBmpFileLayout(dib, &layout) || layout.dibPartLength > dibBlockSize)
        return false;
    WriteBmpFileHeader(layout, out);
    *dibPartLength = layout.dibPartLength;
    return true;
}
