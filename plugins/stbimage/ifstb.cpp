// ifstb.spi: the image plug-in that ships with Kelvo. It offers the
// published import-filter entry points (interface "00IN") and reads PNG,
// JPEG, GIF, TGA, PSD and PNM pictures through stb_image into a 24-bit DIB
// handed back in movable global memory. Any program that loads such
// plug-ins can use it; it keeps no state between calls.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "plugins/stbimage/stb_decode.h"

namespace {

// The picture-information record. 32-bit hosts use the published packed
// layout; 64-bit hosts use the same fields naturally aligned.
#ifndef _WIN64
#pragma pack(push, 1)
#endif
struct PictureInfo {
    LONG left;
    LONG top;
    LONG width;
    LONG height;
    WORD xDensity;
    WORD yDensity;
    SHORT colorDepth;
    HLOCAL hInfo;
};
#ifndef _WIN64
#pragma pack(pop)
static_assert(sizeof(PictureInfo) == 26, "packed 32-bit picture information");
#endif

using ProgressCallback = int(CALLBACK*)(int done, int total, LONG_PTR userData);

// Results of the published interface.
constexpr int kSpiOk = 0;
constexpr int kSpiNotImplemented = -1;
constexpr int kSpiAborted = 1;
constexpr int kSpiUnknownFormat = 2;
constexpr int kSpiBrokenData = 3;
constexpr int kSpiNoMemory = 4;
constexpr int kSpiReadError = 6;

int SpiResult(DecodeStatus status)
{
    switch (status) {
    case DecodeStatus::kOk: return kSpiOk;
    case DecodeStatus::kUnknownFormat: return kSpiUnknownFormat;
    case DecodeStatus::kBroken: return kSpiBrokenData;
    case DecodeStatus::kTooLarge:
    case DecodeStatus::kNoMemory: return kSpiNoMemory;
    }
    return kSpiBrokenData;
}

// The picture file as the host hands it: a file name (flag 0; length is
// where the picture starts in the file) or the file in memory (flag 1).
class Input {
public:
    ~Input() { std::free(owned_); }

    int Load(LPCSTR buffer, LONG_PTR length, unsigned flag)
    {
        if (!buffer)
            return kSpiReadError;
        switch (flag & 7) {
        case 0: return ReadFileFrom(buffer, length);
        case 1:
            if (length <= 0)
                return kSpiBrokenData;
            if (uint64_t(length) > kStbMaxFileBytes)
                return kSpiNoMemory;
            data_ = reinterpret_cast<const uint8_t*>(buffer);
            size_ = size_t(length);
            return kSpiOk;
        default: return kSpiNotImplemented;
        }
    }

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    // The file name when there is one: TGA is told by its name.
    const char* name() const { return name_; }

private:
    int ReadFileFrom(LPCSTR path, LONG_PTR offset)
    {
        name_ = path;
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return kSpiReadError;
        int result = ReadAll(file, offset);
        CloseHandle(file);
        return result;
    }

    int ReadAll(HANDLE file, LONG_PTR offset)
    {
        LARGE_INTEGER total{};
        if (offset < 0 || !GetFileSizeEx(file, &total) || total.QuadPart < offset)
            return kSpiReadError;
        uint64_t remaining = uint64_t(total.QuadPart - offset);
        if (remaining == 0)
            return kSpiUnknownFormat;
        if (remaining > kStbMaxFileBytes)
            return kSpiNoMemory;
        LARGE_INTEGER start{};
        start.QuadPart = offset;
        if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
            return kSpiReadError;
        owned_ = static_cast<uint8_t*>(std::malloc(size_t(remaining)));
        if (!owned_)
            return kSpiNoMemory;
        size_t got = 0;
        while (got < remaining) {
            DWORD chunk = DWORD(remaining - got > (1u << 24) ? (1u << 24) : remaining - got);
            DWORD read = 0;
            if (!::ReadFile(file, owned_ + got, chunk, &read, nullptr))
                return kSpiReadError;
            if (read == 0)
                break;  // the file shrank meanwhile: decode what is there
            got += read;
        }
        data_ = owned_;
        size_ = got;
        return got ? kSpiOk : kSpiUnknownFormat;
    }

    uint8_t* owned_ = nullptr;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    const char* name_ = nullptr;
};

// Up to kSniffBytes from the current position of an open file, which is
// left where it was.
size_t ReadHead(HANDLE file, uint8_t* head)
{
    LARGE_INTEGER zero{}, position{};
    if (!SetFilePointerEx(file, zero, &position, FILE_CURRENT))
        return 0;
    size_t got = 0;
    while (got < kSniffBytes) {
        DWORD read = 0;
        if (!::ReadFile(file, head + got, DWORD(kSniffBytes - got), &read, nullptr) || read == 0)
            break;
        got += read;
    }
    SetFilePointerEx(file, position, nullptr, FILE_BEGIN);
    return got;
}

bool Reports(ProgressCallback progress, int done, LONG_PTR userData)
{
    return !progress || progress(done, 1, userData) == 0;
}

}  // namespace

extern "C" {

__declspec(dllexport) int WINAPI GetPluginInfo(int infono, LPSTR buffer, int bufferLength)
{
    return CopyPluginInfo(infono, buffer, bufferLength);
}

// dw is an open file handle when its bits above the lowest 16 are clear,
// otherwise the address of the file's first 2 KB.
__declspec(dllexport) int WINAPI IsSupported(LPCSTR fileName, void* dw)
{
    uint8_t head[kSniffBytes];
    size_t got = 0;
    if ((reinterpret_cast<ULONG_PTR>(dw) & ~ULONG_PTR{0xFFFF}) == 0) {
        if (!dw)
            return 0;
        got = ReadHead(static_cast<HANDLE>(dw), head);
    } else {
        std::memcpy(head, dw, kSniffBytes);
        got = kSniffBytes;
    }
    return SniffImage(head, got, fileName) != ImageKind::kUnknown ? 1 : 0;
}

__declspec(dllexport) int WINAPI GetPictureInfo(LPCSTR buffer, LONG_PTR length, unsigned flag,
                                                PictureInfo* info)
{
    if (!info)
        return kSpiNotImplemented;
    Input input;
    int loaded = input.Load(buffer, length, flag);
    if (loaded != kSpiOk)
        return loaded;
    DecodePlan plan{};
    DecodeStatus status = PlanDecode(input.data(), input.size(), input.name(), &plan);
    if (status != DecodeStatus::kOk)
        return SpiResult(status);
    info->left = 0;
    info->top = 0;
    info->width = LONG(plan.width);
    info->height = LONG(plan.height);
    info->xDensity = 0;
    info->yDensity = 0;
    info->colorDepth = 24;
    info->hInfo = nullptr;
    return kSpiOk;
}

__declspec(dllexport) int WINAPI GetPicture(LPCSTR buffer, LONG_PTR length, unsigned flag,
                                            HLOCAL* format, HLOCAL* bits, ProgressCallback progress,
                                            LONG_PTR userData)
{
    if (!format || !bits)
        return kSpiNotImplemented;
    *format = nullptr;
    *bits = nullptr;
    if (!Reports(progress, 0, userData))
        return kSpiAborted;
    Input input;
    int loaded = input.Load(buffer, length, flag);
    if (loaded != kSpiOk)
        return loaded;
    DecodePlan plan{};
    DecodeStatus status = PlanDecode(input.data(), input.size(), input.name(), &plan);
    if (status != DecodeStatus::kOk)
        return SpiResult(status);

    HGLOBAL formatBlock = GlobalAlloc(GMEM_MOVEABLE, kDibFormatSize);
    HGLOBAL bitsBlock = GlobalAlloc(GMEM_MOVEABLE, plan.bitsSize);
    status = DecodeStatus::kNoMemory;
    if (formatBlock && bitsBlock) {
        auto* header = static_cast<uint8_t*>(GlobalLock(formatBlock));
        auto* pixels = static_cast<uint8_t*>(GlobalLock(bitsBlock));
        if (header && pixels) {
            WriteDibFormat(plan, header);
            status = DecodeInto(input.data(), input.size(), plan, pixels, plan.bitsSize);
        }
        if (header)
            GlobalUnlock(formatBlock);
        if (pixels)
            GlobalUnlock(bitsBlock);
    }
    bool aborted = status == DecodeStatus::kOk && !Reports(progress, 1, userData);
    if (status != DecodeStatus::kOk || aborted) {
        if (formatBlock)
            GlobalFree(formatBlock);
        if (bitsBlock)
            GlobalFree(bitsBlock);
        return aborted ? kSpiAborted : SpiResult(status);
    }
    *format = formatBlock;
    *bits = bitsBlock;
    return kSpiOk;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
