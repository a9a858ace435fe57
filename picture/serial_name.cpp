// Serial file names, the format a name asks for, and the save dialog's
// proposed name.
#include "picture/serial_name.h"

#include <cstdio>
#include <cstring>

bool IsShiftJisLeadByte(uint8_t byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool EndsWithBackslash(const char* text, bool shiftJis)
{
    const size_t length = std::strlen(text);
    if (length == 0)
        return false;
    if (!shiftJis)
        return text[length - 1] == '\\';
    // Only a walk from the start knows where characters begin.
    size_t last = 0;
    for (size_t i = 0; i < length;) {
        last = i;
        i += IsShiftJisLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < length ? 2 : 1;
    }
    return last == length - 1 && text[last] == '\\';
}

std::wstring SerialBaseNameOf(const std::wstring& folder, const std::wstring& prefix)
{
    std::wstring base = folder;
    if (base.empty() || base.back() != L'\\')
        base += L'\\';
    return base + prefix;
}

namespace {

// At least four digits, as every serial number is written.
std::wstring NumberText(uint16_t number)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04u", unsigned(number));
    return std::wstring(digits, digits + std::strlen(digits));
}

std::wstring Digits(int value, int width, int low, int high)
{
    // A broken clock still gives digits of the usual width, never a sign.
    value = value < low ? low : value > high ? high : value;
    char digits[8];
    std::snprintf(digits, sizeof digits, "%0*d", width, value);
    return std::wstring(digits, digits + std::strlen(digits));
}

// The serial name with number standing for the serial number.
std::wstring SerialNameWith(const std::wstring& folder, const std::wstring& prefix,
                            const std::wstring& number, PictureFormat format, const LocalMoment& m)
{
    std::wstring expanded;
    bool numberPlaced = false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const wchar_t token = i + 1 < prefix.size() && prefix[i] == L'%' ? prefix[i + 1] : 0;
        std::wstring value;
        switch (token) {
        case L'Y': value = Digits(m.year, 4, 0, 9999); break;
        case L'm': value = Digits(m.month, 2, 1, 12); break;
        case L'd': value = Digits(m.day, 2, 1, 31); break;
        case L'H': value = Digits(m.hour, 2, 0, 23); break;
        case L'M': value = Digits(m.minute, 2, 0, 59); break;
        case L'S': value = Digits(m.second, 2, 0, 59); break;
        case L'n': value = number; numberPlaced = true; break;
        default: expanded += prefix[i]; continue;
        }
        expanded += value;
        ++i;
    }
    if (!numberPlaced)
        expanded += number;
    std::wstring name = SerialBaseNameOf(folder, expanded);
    for (const char* e = SerialExtension(format); *e; ++e)
        name += wchar_t(*e);
    return name;
}

}  // namespace

std::wstring SerialFileNameOf(const std::wstring& folder, const std::wstring& prefix, uint16_t number,
                              PictureFormat format, const LocalMoment& moment)
{
    return SerialNameWith(folder, prefix, NumberText(number), format, moment);
}

std::wstring SerialNamePatternOf(const std::wstring& folder, const std::wstring& prefix,
                                 PictureFormat format, const LocalMoment& moment)
{
    return SerialNameWith(folder, prefix, L"####", format, moment);
}

const char* SerialExtension(PictureFormat format)
{
    return format == PictureFormat::kPng ? ".PNG" : format == PictureFormat::kJpeg ? ".JPG" : ".BMP";
}

PictureFormat PictureFormatOfIndex(int index)
{
    return index == 1 ? PictureFormat::kPng : index == 2 ? PictureFormat::kJpeg : PictureFormat::kBmp;
}

int IndexOfPictureFormat(PictureFormat format)
{
    return format == PictureFormat::kPng ? 1 : format == PictureFormat::kJpeg ? 2 : 0;
}

namespace {

// The picture format an extension (lower case, without the dot) names.
bool FormatOfExtension(const std::wstring& ext, PictureFormat* format)
{
    if (ext == L"png")
        *format = PictureFormat::kPng;
    else if (ext == L"bmp")
        *format = PictureFormat::kBmp;
    else if (ext == L"jpg" || ext == L"jpeg")
        *format = PictureFormat::kJpeg;
    else
        return false;
    return true;
}

// The extension after a name's last dot, in lower case; empty when the
// name has none or the dot is not in its last five characters.
std::wstring LowerExtensionOf(const std::wstring& name, size_t* dot)
{
    *dot = name.rfind(L'.');
    if (*dot == std::wstring::npos || name.size() - *dot > 5)
        return std::wstring();
    std::wstring ext;
    for (size_t i = *dot + 1; i < name.size(); ++i)
        ext.push_back(name[i] >= L'A' && name[i] <= L'Z' ? wchar_t(name[i] + 32) : name[i]);
    return ext;
}

}  // namespace

SerialTry WriteNextSerialFile(uint16_t* counter, const std::function<SerialTry(uint16_t)>& tryNumber)
{
    for (uint32_t tries = 0; tries < 0x10000; ++tries) {
        ++*counter;
        SerialTry result = tryNumber(*counter);
        if (result != SerialTry::kExists)
            return result;
    }
    return SerialTry::kExists;
}

std::wstring FolderOfPath(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : std::wstring(L".");
    // A root keeps its separator: "C:" alone means that drive's current folder.
    bool root = slash == 0 || (slash == 2 && path[1] == L':');
    return path.substr(0, root ? slash + 1 : slash);
}

std::string ProposedSaveName(const LocalMoment& m, PictureFormat format)
{
    auto clamp = [](int v, int low, int high) { return v < low ? low : v > high ? high : v; };
    char name[32];
    std::snprintf(name, sizeof name, "%04d%02d%02d-%02d%02d%02d%s", clamp(m.year, 0, 9999),
                  clamp(m.month, 1, 12), clamp(m.day, 1, 31), clamp(m.hour, 0, 23),
                  clamp(m.minute, 0, 59), clamp(m.second, 0, 59),
                  format == PictureFormat::kPng ? ".png" : format == PictureFormat::kJpeg ? ".jpg" : ".bmp");
    return name;
}

PictureFormat FormatForFileName(const std::wstring& path, PictureFormat chosenType)
{
    size_t dot;
    PictureFormat named;
    return FormatOfExtension(LowerExtensionOf(path, &dot), &named) ? named : chosenType;
}

std::wstring NameForFileType(const std::wstring& name, PictureFormat format)
{
    size_t dot;
    PictureFormat named;
    if (!FormatOfExtension(LowerExtensionOf(name, &dot), &named))
        return name;
    const wchar_t* ext = format == PictureFormat::kPng    ? L"png"
                         : format == PictureFormat::kJpeg ? L"jpg"
                                                          : L"bmp";
    return name.substr(0, dot + 1) + ext;
}
