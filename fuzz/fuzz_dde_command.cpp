// Fuzz target: the DDE execute match reads only the bytes received and
// accepts exactly "print" in any letter case, up to the first NUL.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "print/dde_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly size bytes: reading past it is caught.
    std::vector<uint8_t> copy(data, data + size);
    bool match = IsPrintCommand(copy.data(), copy.size());
    size_t length = 0;
    while (length < size && copy[length] != 0)
        ++length;
    bool expected = length == 5;
    for (size_t i = 0; expected && i < 5; ++i)
        expected = std::tolower(copy[i]) == "print"[i];
    if (match != expected)
        abort();
    return 0;
}
