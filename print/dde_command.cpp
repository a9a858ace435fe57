// Matching of the DDE execute command, apart from DDEML.
#include "print/dde_command.h"

bool IsPrintCommand(const uint8_t* data, size_t size)
{
    static const char kWord[] = "print";
    constexpr size_t kLength = sizeof kWord - 1;
    if (!data || size < kLength)
        return false;
    for (size_t i = 0; i < kLength; ++i) {
        uint8_t c = data[i];
        // ASCII folding only: a byte of a double-byte character is never a
        // letter of the command.
        if (c >= 'A' && c <= 'Z')
            c = uint8_t(c - 'A' + 'a');
        if (c != uint8_t(kWord[i]))
            return false;
    }
    return size == kLength || data[kLength] == 0;
}
