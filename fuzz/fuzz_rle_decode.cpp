// Fuzz target: the RLE8/RLE4 decoder on arbitrary streams and sizes. The
// first bytes choose the format and the picture size; the rest is the
// stream.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "picture/dib_rules.h"
#include "picture/rle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5)
        return 0;
    uint32_t compression = (data[0] & 1) ? kBiRle8 : kBiRle4;
    uint32_t width = 1 + (uint32_t(data[1]) | (uint32_t(data[2] & 3) << 8));  // 1..1024
    uint32_t height = 1 + (uint32_t(data[3]) | (uint32_t(data[4] & 1) << 8));  // 1..512
    uint16_t bits = compression == kBiRle8 ? 8 : 4;
    size_t rowsSize = size_t(DibRowSize(width, bits)) * height;
    // The buffer is exact, so any write past it is caught by the sanitizer.
    std::vector<uint8_t> rows(rowsSize);
    RleResult r = RleDecode(compression, data + 5, size - 5, width, height, rows.data(), rows.size());
    if (r == RleResult::kBadArguments)
        abort();
    return 0;
}
