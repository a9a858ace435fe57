// Test plug-ins for the plug-in manager, one source built in several
// variants (tests/plugins/test_plugins.cmake):
//
//   TESTSPI_KIND_GOOD     accepts a file whose first line names its tag
//                         ("KSPI a b" is accepted by the plug-ins a and b)
//                         and decodes a TESTSPI_COLOR picture of the size
//                         the file gives ("size W H", default 5 x 4)
//   TESTSPI_KIND_FAIL     accepts like GOOD, then reports a failed decoding
//                         with junk in both handle variables
//   TESTSPI_KIND_NOIS     exports no IsSupported; must never be called
//   TESTSPI_KIND_GARBAGE  accepts like GOOD and reports success with the
//                         broken result the file's "mode" line asks for,
//                         or crashes, hangs or damages its heap on the way,
//                         or decodes slowly reporting progress ("slow"),
//                         or answers Kelvo itself in the helper's place
//                         with a section mostly only reserved ("section")
//
// GetPluginInfo names the files a plug-in reads "*.k<tag>;*.k<tag><tag>".
//
// Every call is appended as "<tag> <event>" to the file named by the
// environment variable KELVO_SPI_LOG, so a test can tell who was loaded,
// asked and called, and in which order.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "picture/spi_protocol.h"

#ifndef TESTSPI_TAG
#error TESTSPI_TAG names the variant
#endif

namespace {

void Log(const char* event)
{
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("KELVO_SPI_LOG", path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string line = std::string(TESTSPI_TAG) + " " + event + "\n";
    DWORD written;
    WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr);
    CloseHandle(file);
}

// The words of the file's first line after "KSPI", and its other lines.
struct TestFile {
    bool valid = false;
    std::string tags;  // " a b " (spaces around every tag)
    long width = 5;
    long height = 4;
    std::string mode;
};

TestFile Parse(const char* text, size_t length)
{
    TestFile f;
    std::string s(text, length);
    if (s.compare(0, 5, "KSPI ") != 0)
        return f;
    f.valid = true;
    size_t eol = s.find('\n');
    f.tags = " " + s.substr(5, eol == std::string::npos ? std::string::npos : eol - 5) + " ";
    for (char& c : f.tags)
        if (c == '\r' || c == '\t')
            c = ' ';
    while (eol != std::string::npos) {
        size_t next = s.find('\n', eol + 1);
        std::string line = s.substr(eol + 1, next == std::string::npos ? std::string::npos
                                                                          : next - eol - 1);
        long w, h;
        char mode[64];
        if (std::sscanf(line.c_str(), "size %ld %ld", &w, &h) == 2) {
            f.width = w;
            f.height = h;
        } else if (std::sscanf(line.c_str(), "mode %63s", mode) == 1) {
            f.mode = mode;
        }
        eol = next;
    }
    return f;
}

[[maybe_unused]] bool Names(const TestFile& f)
{
    return f.valid && f.tags.find(std::string(" ") + TESTSPI_TAG + " ") != std::string::npos;
}

[[maybe_unused]] TestFile ReadByName(LPCSTR path)
{
    char text[512];
    DWORD got = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, text, sizeof text, &got, nullptr);
        CloseHandle(file);
    }
    return Parse(text, got);
}

HGLOBAL Block(size_t size)
{
    return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
}

// A 24-bit bottom-up picture of the plug-in's colour.
[[maybe_unused]] bool SolidPicture(long width, long height, HLOCAL* format, HLOCAL* bits)
{
    size_t row = (size_t(width) * 3 + 3) / 4 * 4;
    HGLOBAL f = Block(sizeof(BITMAPINFOHEADER));
    HGLOBAL b = Block(row * size_t(height));
    if (!f || !b) {
        if (f) GlobalFree(f);
        if (b) GlobalFree(b);
        return false;
    }
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(f));
    h->biSize = sizeof *h;
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = 24;
    GlobalUnlock(f);
    auto* p = static_cast<BYTE*>(GlobalLock(b));
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) {
            BYTE* px = p + size_t(y) * row + size_t(x) * 3;
            px[0] = BYTE(TESTSPI_COLOR & 0xFF);
            px[1] = BYTE((TESTSPI_COLOR >> 8) & 0xFF);
            px[2] = BYTE((TESTSPI_COLOR >> 16) & 0xFF);
        }
    GlobalUnlock(b);
    *format = f;
    *bits = b;
    return true;
}

#ifdef TESTSPI_KIND_GARBAGE
// The faults of real plug-ins: an access violation, an endless loop, and
// a write past the end of a heap block (over the next block's header)
// after which the plug-in carries on and hands over a sound picture.
void Misbehave(const std::string& m)
{
    if (m == "crash") {
        volatile ULONG_PTR address = 16;
        *reinterpret_cast<volatile int*>(address) = 1;
    } else if (m == "hang") {
        for (;;)
            Sleep(1000);
    } else if (m == "heap") {
        HANDLE heap = GetProcessHeap();
        void* blocks[4];
        for (void*& b : blocks)
            b = HeapAlloc(heap, 0, 64);
        std::memset(blocks[1], 0x5A, 64 + 64);
    }
}

using ProgressProc = int(WINAPI*)(int num, int denom, LONG_PTR data);

// Twelve seconds of decoding, longer than the helper is given for any one
// step, with a progress report every fifth of a second.
void DecodeSlowly(FARPROC progress, LONG_PTR data)
{
    constexpr int kReports = 60;
    for (int i = 0; i < kReports; ++i) {
        Sleep(200);
        if (progress)
            reinterpret_cast<ProgressProc>(progress)(i + 1, kReports, data);
    }
}

// What a broken or hostile helper could do: answer Kelvo's request itself
// with a picture section whose pages are only reserved, but for the first,
// which holds the picture.
// The channel and the answer event are the handles on the helper's
// command line. The helper ends a little later, as a broken one would.
void AnswerWithReservedSection()
{
    const char* p = GetCommandLineA();
    p = *p == '"' ? std::strchr(p + 1, '"') + 1 : std::strchr(p, ' ');
    unsigned long numbers[4] = {};
    for (unsigned long& n : numbers) {
        char* end = nullptr;
        n = std::strtoul(p, &end, 10);
        p = end;
    }
    auto channelHandle = reinterpret_cast<HANDLE>(ULONG_PTR(numbers[0]));
    auto answerEvent = reinterpret_cast<HANDLE>(ULONG_PTR(numbers[2]));
    auto* channel = static_cast<uint8_t*>(
        MapViewOfFile(channelHandle, FILE_MAP_WRITE, 0, 0, spihost::kChannelBytes));
    constexpr DWORD kBytes = 1 << 20;
    HANDLE section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_RESERVE,
                                        0, kBytes, nullptr);
    if (!channel || !section)
        return;
    // Only the first page is committed, and holds a sound 8 x 8 picture;
    // the rest of the section is reserved.
    auto* view = static_cast<uint8_t*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, kBytes));
    if (!view || !VirtualAlloc(view, 4096, MEM_COMMIT, PAGE_READWRITE))
        return;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = 8;
    header.biHeight = 8;
    header.biPlanes = 1;
    header.biBitCount = 24;
    std::memcpy(view, &header, sizeof header);
    std::memset(view + 48, 0x80, 8 * 8 * 3);  // the bits at PictureBitsOffset(40)
    // The answer as spi_protocol.cpp lays it out: status, then the
    // picture's numbers in the payload, then the serial answered.
    auto put = [&](size_t offset, uint32_t value) { std::memcpy(channel + offset, &value, 4); };
    size_t at = spihost::kPayloadOffset;
    for (uint32_t value : {uint32_t(reinterpret_cast<ULONG_PTR>(section)), 0x7FFFFFFFu,
                           uint32_t(sizeof(BITMAPINFOHEADER)), uint32_t(8 * 8 * 3), 0u,
                           uint32_t(kBytes), 0u}) {
        put(at, value);
        at += 4;
    }
    put(spihost::kFieldPayloadBytes, uint32_t(at - spihost::kPayloadOffset));
    put(spihost::kFieldStatus, uint32_t(spihost::Status::kOk));
    uint32_t serial;
    std::memcpy(&serial, channel + spihost::kFieldSerial, 4);
    put(spihost::kFieldAnswered, serial);
    SetEvent(answerEvent);
    Sleep(3000);
    TerminateProcess(GetCurrentProcess(), 9);
}

// The broken results: each one must be refused by the host without
// touching memory it does not own. "palette" and "topdown" are sound
// pictures, for checking that the refusals are not refusing everything.
int Garbage(const TestFile& file, HLOCAL* format, HLOCAL* bits, FARPROC progress, LONG_PTR data)
{
    const std::string& m = file.mode;
    Misbehave(m);
    if (m == "section")
        AnswerWithReservedSection();
    if (m == "slow") {
        DecodeSlowly(progress, data);
        return SolidPicture(4, 4, format, bits) ? 0 : 4;
    }
    if (m == "heap")
        return SolidPicture(4, 4, format, bits) ? 0 : 4;
    if (m == "bogus") {
        *format = reinterpret_cast<HLOCAL>(ULONG_PTR(0x12345670));
        *bits = reinterpret_cast<HLOCAL>(ULONG_PTR(0x7654320));
        return 0;
    }
    if (m == "nullbits" || m == "nullformat") {
        HLOCAL f, b;
        if (!SolidPicture(4, 4, &f, &b))
            return 4;
        if (m == "nullbits") {
            GlobalFree(b);
            *format = f;
        } else {
            GlobalFree(f);
            *bits = b;
        }
        return 0;
    }
    if (m == "failvalid") {
        // A sound picture, but a result that says the decoding failed.
        return SolidPicture(4, 4, format, bits) ? 3 : 4;
    }
    if (m == "same") {
        HLOCAL f, b;
        if (!SolidPicture(4, 4, &f, &b))
            return 4;
        GlobalFree(b);
        *format = f;
        *bits = f;
        return 0;
    }
    // The rest change one thing in a sound 8 x 8 picture.
    long w = 8, h = 8;
    WORD depth = 24;
    DWORD compression = BI_RGB;
    DWORD colors = 0;
    size_t formatSize = sizeof(BITMAPINFOHEADER);
    if (m == "palette" || m == "shorttable") {
        depth = 8;
        colors = 2;
        formatSize += m == "palette" ? 2 * sizeof(RGBQUAD) : sizeof(RGBQUAD);
    }
    size_t row = (size_t(w) * depth + 31) / 32 * 4;
    size_t bitsSize = row * size_t(h);
    if (m == "shortbits")
        bitsSize -= row;
    HGLOBAL f = Block(formatSize);
    HGLOBAL b = Block(bitsSize);
    if (!f || !b) {
        if (f) GlobalFree(f);
        if (b) GlobalFree(b);
        return 4;
    }
    auto* bi = static_cast<BITMAPINFO*>(GlobalLock(f));
    bi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi->bmiHeader.biWidth = w;
    bi->bmiHeader.biHeight = m == "topdown" ? -h : h;
    bi->bmiHeader.biPlanes = 1;
    bi->bmiHeader.biBitCount = depth;
    bi->bmiHeader.biCompression = compression;
    bi->bmiHeader.biClrUsed = colors;
    if (m == "hugeheader")
        bi->bmiHeader.biSize = 0x7FFFFFF0;
    if (m == "depth")
        bi->bmiHeader.biBitCount = 7;
    if (m == "width")
        bi->bmiHeader.biWidth = 1 << 20;
    if (m == "palette") {
        bi->bmiColors[0] = RGBQUAD{0, 0, 0xFF, 0};  // red
        bi->bmiColors[1] = RGBQUAD{0xFF, 0, 0, 0};  // blue
    }
    GlobalUnlock(f);
    auto* p = static_cast<BYTE*>(GlobalLock(b));
    for (long y = 0; y < h && size_t(y + 1) * row <= bitsSize; ++y) {
        BYTE* r = p + size_t(y) * row;
        for (long x = 0; x < w; ++x) {
            // The first stored row is blue and the rest red: the bottom
            // row of a bottom-up picture, the top row of a top-down one.
            bool first = y == 0;
            if (depth == 8) {
                r[x] = first ? 1 : 0;
            } else {
                r[x * 3 + 0] = first ? 0xFF : 0;
                r[x * 3 + 2] = first ? 0 : 0xFF;
            }
        }
    }
    GlobalUnlock(b);
    *format = f;
    *bits = b;
    return 0;
}
#endif

}  // namespace

extern "C" {

__declspec(dllexport) int WINAPI GetPluginInfo(int infono, LPSTR buffer, int length)
{
    Log("GetPluginInfo");
    const std::string tag = TESTSPI_TAG;
    std::string text;
    switch (infono) {
    case 0: text = "00IN"; break;
    case 1: text = "Kelvo test plug-in " + tag; break;
    case 2: text = "*.k" + tag + ";*.k" + tag + tag; break;
    case 3: text = "Kelvo test " + tag; break;
    default: return 0;
    }
    if (!buffer || length <= 0)
        return 0;
    lstrcpynA(buffer, text.c_str(), length);
    return lstrlenA(buffer);
}

#ifndef TESTSPI_KIND_NOIS
__declspec(dllexport) int WINAPI IsSupported(LPCSTR, void* dw)
{
    char text[512];
    DWORD got = 0;
    bool handle = (reinterpret_cast<ULONG_PTR>(dw) & ~ULONG_PTR{0xFFFF}) == 0;
    if (handle)
        ReadFile(static_cast<HANDLE>(dw), text, sizeof text, &got, nullptr);
    bool yes = Names(Parse(text, got));
    Log(yes ? "IsSupported yes" : "IsSupported no");
    return yes ? 1 : 0;
}
#endif

__declspec(dllexport) int WINAPI GetPictureInfo(LPCSTR, LONG_PTR, unsigned, void* info)
{
    Log("GetPictureInfo");
    // The published record: four 32-bit numbers, two densities, a depth
    // and a handle; 26 bytes packed on 32-bit hosts, 32 aligned on 64-bit.
    std::memset(info, 0, sizeof(void*) == 4 ? 26 : 32);
    return 0;
}

__declspec(dllexport) int WINAPI GetPicture(LPCSTR path, LONG_PTR, unsigned flag, HLOCAL* format,
                                            HLOCAL* bits, [[maybe_unused]] FARPROC progress,
                                            [[maybe_unused]] LONG_PTR data)
{
    Log("GetPicture");
#if defined(TESTSPI_KIND_FAIL)
    (void)path;
    (void)flag;
    *format = reinterpret_cast<HLOCAL>(ULONG_PTR(0xDEAD0));
    *bits = reinterpret_cast<HLOCAL>(ULONG_PTR(0xBEEF0));
    return 3;
#else
    if ((flag & 7) != 0)
        return -1;
    TestFile file = ReadByName(path);
    if (!file.valid)
        return 2;
#if defined(TESTSPI_KIND_GARBAGE)
    if (!file.mode.empty())
        return Garbage(file, format, bits, progress, data);
#endif
    return SolidPicture(file.width, file.height, format, bits) ? 0 : 4;
#endif
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        Log("load");
    else if (reason == DLL_PROCESS_DETACH)
        Log("unload");
    return TRUE;
}
