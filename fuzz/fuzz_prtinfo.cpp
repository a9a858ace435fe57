// Fuzz target: the PRTINFO.CFG check and the extraction into the two
// printer-settings blocks. An accepted file gives a names block whose
// offsets stay inside it and end in a NUL, and a device mode the printer
// driver can take.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "print/prtinfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PrtInfoLayout layout{};
    if (!CheckPrtInfo(data, size, &layout))
        return 0;
    // Exact blocks, so the sanitizer sees any write past them.
    std::vector<uint8_t> devMode(kDevModePublicSize);
    std::vector<uint8_t> names(size_t(layout.nameCount) + 1);
    ExtractPrtInfo(data, layout, devMode.data(), names.data());
    if (!DeviceNamesValid(names.data(), names.size()) || names.back() != 0)
        abort();
    if (!MakeDevModeConsistent(devMode.data(), devMode.size()))
        abort();
    // What the blocks now hold is written back the same way.
    std::vector<uint8_t> file(PrtInfoFileSize(names.data(), names.size()));
    size_t n = BuildPrtInfo(devMode.data(), devMode.size(), names.data(), names.size(), file.data(),
                            file.size());
    PrtInfoLayout again{};
    if (n == 0 || !CheckPrtInfo(file.data(), n, &again))
        abort();
    return 0;
}
