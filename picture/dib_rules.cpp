// Packed-DIB layout rules shared by the capture, the writer, the reader
// and the print job.
#include "picture/dib_rules.h"

uint32_t CountDibColors(const DibHeader* header)
{
    if (header->biClrUsed != 0)
        return header->biClrUsed;
    switch (header->biBitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

uint64_t DibColorTableSize(const DibHeader* header)
{
    return 4ull * CountDibColors(header);
}

uint64_t DibPixelOffset(const DibHeader* header)
{
    return uint64_t{header->biSize} + DibColorTableSize(header);
}

uint8_t* DibPixelBits(DibHeader* header)
{
    return reinterpret_cast<uint8_t*>(header) + static_cast<size_t>(DibPixelOffset(header));
}

const uint8_t* DibPixelBits(const DibHeader* header)
{
    return reinterpret_cast<const uint8_t*>(header) + static_cast<size_t>(DibPixelOffset(header));
}

uint64_t DibRowSize(uint32_t width, uint16_t bitCount)
{
    return (uint64_t{width} * bitCount + 31) / 32 * 4;
}

uint64_t DibImageSize(const DibHeader* header)
{
    int64_t height = header->biHeight;
    uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
    return DibRowSize(static_cast<uint32_t>(header->biWidth), header->biBitCount) * rows;
}

uint64_t DibStoredImageSize(const DibHeader* header)
{
    if (header->biCompression == kBiRle8 || header->biCompression == kBiRle4)
        return header->biSizeImage;
    return DibImageSize(header);
}

uint64_t DibPackedSize(const DibHeader* header)
{
    return DibPixelOffset(header) + DibStoredImageSize(header);
}

uint16_t CaptureBitCount(uint16_t planes, uint16_t bitsPerPixel, uint32_t compression)
{
    if (compression == kBiRle8)
        return 8;
    if (compression == kBiRle4)
        return 4;
    uint16_t bits = static_cast<uint16_t>(planes * bitsPerPixel);
    if (bits <= 1)
        return 1;
    if (bits <= 4)
        return 4;
    if (bits <= 8)
        return 8;
    return 24;
}

DibHeader MakeCaptureHeader(int32_t width, int32_t height, uint16_t planes,
                            uint16_t bitsPerPixel, uint32_t compression)
{
    DibHeader header{};
    header.biSize = sizeof(DibHeader);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = CaptureBitCount(planes, bitsPerPixel, compression);
    return header;
}
