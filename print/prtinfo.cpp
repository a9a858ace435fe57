// Building and checking the bytes of PRTINFO.CFG.
#include "print/prtinfo.h"

#include <cstring>

namespace {

uint16_t Word(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

void PutWord(uint8_t* p, uint16_t value)
{
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
}

// End of the name at offset (the position of its NUL), or 0 when no NUL
// follows inside size.
size_t NameEnd(const uint8_t* names, size_t size, size_t offset)
{
    const void* nul = std::memchr(names + offset, 0, size - offset);
    return nul ? size_t(static_cast<const uint8_t*>(nul) - names) : 0;
}

}  // namespace

bool DeviceNamesValid(const uint8_t* names, size_t size)
{
    if (!names || size <= kDevNamesHeaderSize)
        return false;
    for (size_t i = 0; i < 3; ++i) {
        size_t offset = Word(names + 2 * i);
        if (offset < kDevNamesHeaderSize || offset >= size || NameEnd(names, size, offset) == 0)
            return false;
    }
    return true;
}

uint16_t PrtInfoNameCount(const uint8_t* names, size_t size)
{
    if (!DeviceNamesValid(names, size))
        return 0;
    size_t end = 0;
    for (size_t i = 0; i < 3; ++i) {
        size_t nameEnd = NameEnd(names, size, Word(names + 2 * i));
        if (nameEnd > end)
            end = nameEnd;
    }
    return end > 0xFFFF ? 0 : uint16_t(end);
}

size_t PrtInfoFileSize(const uint8_t* names, size_t namesSize)
{
    uint16_t count = PrtInfoNameCount(names, namesSize);
    return count == 0 ? 0 : kPrtInfoFixedSize + count;
}

size_t BuildPrtInfo(const uint8_t* devMode, size_t devModeSize, const uint8_t* names,
                    size_t namesSize, uint8_t* out, size_t outCapacity)
{
    size_t total = PrtInfoFileSize(names, namesSize);
    if (total == 0 || !devMode || !out || outCapacity < total)
        return 0;
    uint16_t count = uint16_t(total - kPrtInfoFixedSize);
    PutWord(out, count);
    size_t kept = devModeSize < kDevModePublicSize ? devModeSize : kDevModePublicSize;
    std::memcpy(out + 2, devMode, kept);
    std::memset(out + 2 + kept, 0, kDevModePublicSize - kept);
    std::memcpy(out + kPrtInfoFixedSize, names, count);
    return total;
}

bool CheckPrtInfo(const uint8_t* file, size_t size, PrtInfoLayout* layout)
{
    if (!file || size < kPrtInfoFixedSize)
        return false;
    uint16_t count = Word(file);
    if (count < kDevNamesHeaderSize || size != kPrtInfoFixedSize + count)
        return false;
    const uint8_t* names = file + kPrtInfoFixedSize;
    for (size_t i = 0; i < 3; ++i) {
        size_t offset = Word(names + 2 * i);
        // N itself is allowed: an empty last name whose NUL the loader adds.
        if (offset < kDevNamesHeaderSize || offset > count)
            return false;
    }
    uint16_t ownSize = Word(file + 2 + kDevModeSizeOffset);
    if (ownSize < kDevModeMinimumSize || ownSize > kDevModePublicSize)
        return false;
    layout->nameCount = count;
    return true;
}

void ExtractPrtInfo(const uint8_t* file, const PrtInfoLayout& layout, uint8_t* devMode,
                    uint8_t* names)
{
    std::memcpy(devMode, file + 2, kDevModePublicSize);
    PutWord(devMode + kDevModeDriverExtraOffset, 0);
    std::memcpy(names, file + kPrtInfoFixedSize, layout.nameCount);
    names[layout.nameCount] = 0;
}

bool MakeDevModeConsistent(uint8_t* devMode, size_t blockSize)
{
    if (!devMode || blockSize < kDevModeMinimumSize)
        return false;
    size_t ownSize = Word(devMode + kDevModeSizeOffset);
    if (ownSize < kDevModeMinimumSize || ownSize > blockSize)
        return false;
    size_t extra = Word(devMode + kDevModeDriverExtraOffset);
    if (ownSize + extra > blockSize)
        PutWord(devMode + kDevModeDriverExtraOffset, 0);
    return true;
}
