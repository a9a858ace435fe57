// JPEG files of a Capture DIB through Debian's stb_image_write.
#include "picture/jpeg_file.h"

#include "picture/dib_rules.h"
#include "picture/jpeg_write_impl.h"
#include "picture/serial_name.h"

namespace {

void Append(void* context, void* data, int size)
{
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

bool EncodeDibAsJpeg(const uint8_t* dib, size_t size, int quality, std::vector<uint8_t>* jpeg)
{
    jpeg->clear();
    if (!dib || size < sizeof(DibHeader))
        return false;
    const auto* header = reinterpret_cast<const DibHeader*>(dib);
    const unsigned depth = header->biBitCount;
    if (header->biSize < sizeof(DibHeader) || header->biCompression != kBiRgb
        || (depth != 1 && depth != 4 && depth != 8 && depth != 24) || header->biWidth <= 0
        || header->biHeight == 0 || header->biHeight == INT32_MIN
        || DibPackedSize(header) > size)
        return false;
    const uint32_t width = uint32_t(header->biWidth);
    const bool bottomUp = header->biHeight > 0;
    const uint32_t height = bottomUp ? uint32_t(header->biHeight) : uint32_t(-header->biHeight);
    // The largest picture the encoder's 16-bit size fields can describe.
    if (width > 65535 || height > 65535)
        return false;
    const uint32_t count = CountDibColors(header);
    if (depth <= 8 && (count == 0 || count > (1u << depth)))
        return false;
    if (quality < kLowestJpegQuality || quality > kHighestJpegQuality)
        quality = kDefaultJpegQuality;

    const uint8_t* table = dib + header->biSize;
    const uint8_t* bits = DibPixelBits(header);
    const size_t stride = size_t(DibRowSize(width, uint16_t(depth)));
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = bits + size_t(bottomUp ? height - 1 - y : y) * stride;
        uint8_t* out = &rgb[size_t(y) * width * 3];
        for (uint32_t x = 0; x < width; ++x, out += 3) {
            const uint8_t* bgr;
            if (depth == 24) {
                bgr = row + size_t(x) * 3;
            } else {
                const size_t bit = size_t(x) * depth;
                const unsigned index = (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
                // An index past a short table (a damaged picture) is black.
                static const uint8_t black[3] = {0, 0, 0};
                bgr = index < count ? table + 4 * index : black;
            }
            out[0] = bgr[2];
            out[1] = bgr[1];
            out[2] = bgr[0];
        }
    }
    if (!stbi_write_jpg_to_func(Append, jpeg, int(width), int(height), 3, rgb.data(), quality)) {
        jpeg->clear();
        return false;
    }
    return !jpeg->empty();
}
