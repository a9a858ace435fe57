// Fuzz target: the BMP reader on arbitrary files. Whatever the file, plan
// and build stay inside their buffers, and an accepted file gives a DIB
// whose header describes exactly the block it fills.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "picture/bmp_reader.h"
#include "picture/dib_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BmpPlan plan{};
    if (PlanBmpRead(data, size, &plan) != BmpStatus::kOk)
        return 0;
    if (plan.dibSize > 40 + 1024 + kBmpMaxImageBytes)
        abort();
    // Keep the fuzzer fast and within its memory limit on huge plans.
    if (plan.dibSize > (64u << 20))
        return 0;
    std::vector<uint8_t> dib(plan.dibSize);
    if (BuildBmpDib(data, size, plan, dib.data(), dib.size()) != BmpStatus::kOk)
        return 0;
    DibHeader header;
    std::memcpy(&header, dib.data(), sizeof header);
    if (header.biSize != 40 || header.biHeight <= 0 || header.biCompression != kBiRgb
        || DibPackedSize(&header) != dib.size())
        abort();
    return 0;
}
