// Fuzz target: encode arbitrary pixels with RLE8 or RLE4, decode the
// stream, and demand the same pixels back.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "picture/dib_rules.h"
#include "picture/rle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    uint32_t compression = (data[0] & 1) ? kBiRle8 : kBiRle4;
    uint16_t bits = compression == kBiRle8 ? 8 : 4;
    uint32_t width = 1 + data[1] + ((data[0] >> 1) & 1) * 256;  // 1..512
    data += 2;
    size -= 2;
    uint64_t pixelsPerRow = width;
    uint32_t height = uint32_t(size * (8 / bits) / pixelsPerRow);
    if (height == 0)
        return 0;
    if (height > 512)
        height = 512;
    size_t row = size_t(DibRowSize(width, bits));
    std::vector<uint8_t> rows(row * height, 0);
    // Fill the pixels row by row from the input; padding stays 0.
    size_t used = (size_t(width) * bits + 7) / 8;
    size_t k = 0;
    for (uint32_t y = 0; y < height; ++y)
        for (size_t i = 0; i < used; ++i)
            rows[y * row + i] = data[k++ % size];
    if (bits == 4 && (width & 1))
        for (uint32_t y = 0; y < height; ++y)
            rows[y * row + used - 1] &= 0xF0;  // the unused nibble of an odd row
    std::vector<uint8_t> stream(size_t(RleMaxEncodedSize(width, height)));
    size_t length = RleEncode(compression, rows.data(), rows.size(), width, height, stream.data(),
                              stream.size());
    if (length == 0)
        abort();
    std::vector<uint8_t> back(rows.size(), 0xAA);
    if (RleDecode(compression, stream.data(), length, width, height, back.data(), back.size())
        != RleResult::kComplete)
        abort();
    for (uint32_t y = 0; y < height; ++y)
        if (std::memcmp(&rows[y * row], &back[y * row], used) != 0)
            abort();
    return 0;
}
