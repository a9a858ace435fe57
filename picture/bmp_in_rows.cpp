// Opening a large true-colour BMP file straight into the display bitmap, a
// band of rows at a time read from the file: beside the bitmap only one
// band of the file and of the DIB is ever in memory, where the whole file
// (mapped) and then the whole DIB were. Files whose rows are compressed or
// indexed are read whole (ReadDibFile).
#include "picture/picture.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "picture/bmp_reader.h"

namespace {

// Rows a band takes: about 256 KB of the DIB (bands that size come from
// the heap and leave nothing held).
constexpr uint64_t kBandBytes = 256u << 10;

// The file's plan, from a view of the whole file of which only the headers
// are read. False for a file that is not a BMP this reading takes.
bool PlanOfFile(HANDLE file, uint64_t size, BmpPlan* plan)
{
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping)
        return false;
    bool planned = false;
    if (auto* data = static_cast<const uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0))) {
        planned = PlanBmpRead(data, size_t(size), plan) == BmpStatus::kOk && BmpReadsInRows(*plan);
        UnmapViewOfFile(data);
    }
    CloseHandle(mapping);
    return planned;
}

bool ReadAt(HANDLE file, uint64_t offset, uint8_t* to, uint64_t length)
{
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(offset);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
        return false;
    while (length > 0) {
        const DWORD want = DWORD(std::min<uint64_t>(length, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file, to, want, &got, nullptr) || got == 0)
            return false;
        to += got;
        length -= got;
    }
    return true;
}

// Fills bitmap from the file, band by band.
bool FillFromFile(HANDLE file, const BmpPlan& plan, HDC dc, HBITMAP bitmap)
{
    const uint64_t stride = DibRowSize(plan.width, 24);
    const uint32_t band = uint32_t(std::max<uint64_t>(1, std::min<uint64_t>(plan.height, kBandBytes / stride)));
    BITMAPINFO info{};
    const DibHeader header = BmpDibHeader(plan);
    static_assert(sizeof header == sizeof info.bmiHeader, "a 40-byte header");
    std::memcpy(&info.bmiHeader, &header, sizeof header);
    std::vector<uint8_t> rows(size_t(stride * band)), source;
    for (uint32_t first = 0; first < plan.height; first += band) {
        const uint32_t count = std::min(band, plan.height - first);
        uint64_t offset = 0, length = 0;
        BmpRowsSource(plan, first, count, &offset, &length);
        source.resize(size_t(length));
        if (length && !ReadAt(file, offset, source.data(), length))
            return false;
        const size_t rowsSize = size_t(stride * count);
        if (BuildBmpRows(plan, first, count, source.data(), offset, source.size(), rows.data(), rowsSize)
                != BmpStatus::kOk
            || SetDIBits(dc, bitmap, first, count, rows.data(), &info, DIB_RGB_COLORS) != int(count))
            return false;
    }
    return true;
}

}  // namespace

HBITMAP ReadBmpInRows(HANDLE file, bool* taken, LoadFailure* failure)
{
    *taken = false;
    LARGE_INTEGER size{};
    BmpPlan plan{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 14 || uint64_t(size.QuadPart) > kBmpMaxFileBytes
        || uint64_t(size.QuadPart) > SIZE_MAX || !PlanOfFile(file, uint64_t(size.QuadPart), &plan))
        return nullptr;
    *taken = true;
    *failure = LoadFailure::kNoMemory;
    HDC dc = GetDC(nullptr);
    if (!dc)
        return nullptr;
    HBITMAP bitmap = CreateCompatibleBitmap(dc, int(plan.width), int(plan.height));
    bool filled = false;
    try {
        filled = bitmap && FillFromFile(file, plan, dc, bitmap);
    } catch (const std::bad_alloc&) {
        filled = false;
    }
    if (!filled && bitmap) {
        // The file could not be read to its end (it changed or its disk
        // failed under the reading), or memory ran out.
        *failure = LoadFailure::kUnreadable;
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    ReleaseDC(nullptr, dc);
    return bitmap;
}
