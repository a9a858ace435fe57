// Fuzz target: title composition and serial names with arbitrary texts and
// buffer sizes. Nothing is written past a buffer, and results are always
// terminated.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/title_text.h"
#include "picture/serial_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    size_t capacity = data[0];
    uint16_t number = uint16_t(data[1] | (data[2] << 8));
    bool shiftJis = data[3] & 1;
    data += 4;
    size -= 4;
    size_t split = size / 2;
    std::string folder(reinterpret_cast<const char*>(data), split);
    std::string prefix(reinterpret_cast<const char*>(data + split), size - split);
    folder = folder.c_str();  // texts end at their first NUL
    prefix = prefix.c_str();

    std::vector<char> base(capacity ? capacity : 1);
    if (ComposeSerialBaseName(folder.c_str(), prefix.c_str(), shiftJis, base.data(), capacity)) {
        if (std::strlen(base.data()) >= capacity)
            abort();
        std::vector<char> name(capacity ? capacity : 1);
        if (FormatSerialFileName(base.data(), number, name.data(), capacity)
            && std::strlen(name.data()) >= capacity)
            abort();
    }
    std::vector<char> text(capacity ? capacity : 1);
    if (FormatWithText(folder.c_str(), prefix.c_str(), text.data(), capacity)
        && std::strlen(text.data()) >= capacity)
        abort();

    std::u16string title(reinterpret_cast<const char16_t*>(data), size / 2);
    title = title.c_str();
    std::vector<char16_t> out(capacity ? capacity : 1);
    size_t n = ComposeMainTitle(title.c_str(), out.data(), capacity);
    if (capacity && (n >= capacity || out[n] != 0))
        abort();
    return 0;
}
