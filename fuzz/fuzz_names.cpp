// Fuzz target: title composition and serial names with arbitrary texts,
// tokens, moments and buffer sizes. Nothing is written past a buffer,
// results are always terminated, and a serial name is always the folder,
// the prefix's expansion and the extension, with the number in it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/title_text.h"
#include "picture/serial_name.h"

namespace {

bool EndsWith(const std::wstring& text, const char* tail)
{
    const size_t n = std::strlen(tail);
    if (text.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (text[text.size() - n + i] != wchar_t(tail[i]))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    size_t capacity = data[0];
    uint16_t number = uint16_t(data[1] | (data[2] << 8));
    const PictureFormat format = PictureFormatOfIndex(data[3] % 4);
    // A moment from the bytes, in range or not (a broken clock).
    LocalMoment moment{int(int8_t(data[3])) * 40, data[1], data[2], int(int8_t(data[1])), data[3] >> 2,
                       data[0]};
    data += 4;
    size -= 4;
    size_t split = size / 2;
    // Texts of UTF-16 units, as Windows gives names.
    std::wstring folder, prefix;
    for (size_t i = 0; i + 1 < split; i += 2)
        folder += wchar_t(data[i] | (data[i + 1] << 8));
    for (size_t i = split; i + 1 < size; i += 2)
        prefix += wchar_t(data[i] | (data[i + 1] << 8));

    const std::wstring base = SerialBaseNameOf(folder, prefix);
    if (base.size() < folder.size() + prefix.size() || base.compare(0, folder.size(), folder) != 0)
        abort();
    const std::wstring name = SerialFileNameOf(folder, prefix, number, format, moment);
    const std::wstring pattern = SerialNamePatternOf(folder, prefix, format, moment);
    if (!EndsWith(name, SerialExtension(format)) || !EndsWith(pattern, SerialExtension(format))
        || name.compare(0, folder.size(), folder) != 0 || pattern.find(L"####") == std::wstring::npos)
        abort();
    // Tokens give digits only: at most five for the two units of "%n".
    if (name.size() > folder.size() + 1 + prefix.size() * 3 + 5 + 4)
        abort();

    std::u16string title(reinterpret_cast<const char16_t*>(data), size / 2);
    title = title.c_str();
    std::vector<char16_t> out(capacity ? capacity : 1);
    size_t n = ComposeMainTitle(title.c_str(), out.data(), capacity);
    if (capacity && (n >= capacity || out[n] != 0))
        abort();
    return 0;
}
