// The plug-in manager and the exported SPIInit, LoadPicture and SPIEnd.
//
// The plug-ins themselves run in the helper process kelvo-spihost.exe
// (spihost/), which finds and loads them, asks them in turn and decodes;
// Kelvo keeps the table's module names, builds the bitmap from the picture
// the helper shares, after the same checks as when plug-ins ran in here.
//
// Plug-ins are foreign code. When the helper ends in the middle of a
// request (a plug-in crashed, or damaged a heap), the module it names as
// running is left out for the rest of the session and a new helper takes
// over, loading the rest; a file being opened then goes on to the next
// plug-in that takes it, as if the crashed one had refused it. A helper
// that ended between requests is started again before the next one. Each
// step of a request (loading one module, one IsSupported, one
// GetPictureInfo, the decoding from the plug-in's last progress report)
// has its own limit; a step past it ends the helper too. The plug-in is
// kept when it was working on a file (another file may be fine), and left
// out when it hung while being loaded or asked for its information.
#include "picture/plugins.h"

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "app/ansi_text.h"
#include "picture/plugin_rules.h"
#include "picture/spi_host.h"
#include "picture/spi_protocol.h"

namespace {

using spihost::Request;

// For each step of the helper's, and for starting and ending it.
constexpr DWORD kStepLimitMs = 10000;

SpiHost g_host;
// Where the search started: the helper's current directory, from which
// it loads the modules by bare name again after a restart.
std::wstring g_directory;
std::vector<std::string> g_table;    // kept modules, in table order
std::vector<std::string> g_leftOut;  // modules that failed the session
// What the last LoadPicture learnt when it gave no bitmap, for the
// message that names the reason (the export itself can only return null).
LoadFailure g_lastFailure = LoadFailure::kNoPlugin;
// Set while a request is under way: Kelvo answers messages sent to it
// meanwhile, and none of them may start another request.
bool g_busy = false;

class Busy {
public:
    Busy() { g_busy = true; }
    ~Busy() { g_busy = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
};

bool Listed(const std::vector<std::string>& names, const std::string& name)
{
    for (const std::string& n : names)
        if (lstrcmpiA(n.c_str(), name.c_str()) == 0)
            return true;
    return false;
}

// After a request the helper did not answer: lets the helper go and, when
// asked to, leaves out the module it was running. True when a module was
// newly left out (so trying again can end differently).
bool DropHelper(bool leaveOut)
{
    std::string culprit = spihost::BusyName(g_host.channel());
    g_host.Kill();
    if (!leaveOut || !spihost::IsBareModuleName(culprit) || Listed(g_leftOut, culprit))
        return false;
    g_leftOut.push_back(culprit);
    std::vector<std::string> kept;
    for (const std::string& name : g_table)
        if (lstrcmpiA(name.c_str(), culprit.c_str()) != 0)
            kept.push_back(name);
    g_table.swap(kept);
    return true;
}

// Sends a table request (search or load) with the names given; on an
// answer the table becomes the modules the helper kept.
bool TableRequest(Request request, const std::vector<std::string>& names)
{
    if (!spihost::WriteNames(g_host.channel(), names))
        return false;
    if (g_host.Call(request, kStepLimitMs) != SpiHost::Outcome::kAnswered)
        return false;
    std::vector<std::string> kept;
    if (spihost::GetU32(g_host.channel(), spihost::kFieldStatus) != uint32_t(spihost::Status::kOk)
        || !spihost::ReadNames(g_host.channel(), &kept))
        return false;
    g_table = kept;
    return true;
}

// A helper holding the table, started (again) when none runs. When the
// new helper fails while loading, the module it was loading is left out
// and the start tried again without it. The system's codecs need a
// helper even where no plug-in is loaded.
bool EnsureHelper(bool withoutPlugins = false)
{
    // Ended between requests: nothing was running in it to blame.
    if (g_host.running() && !g_host.alive())
        g_host.Kill();
    while (!g_host.running()) {
        if ((g_table.empty() && !withoutPlugins)
            || !g_host.Start(g_directory.empty() ? nullptr : g_directory.c_str(), kStepLimitMs))
            return false;
        if (TableRequest(Request::kLoad, g_table))
            return true;
        if (!DropHelper(true))
            return false;
    }
    return true;
}

std::wstring CurrentDirectory()
{
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring directory(n, L'\0');
    DWORD got = n ? GetCurrentDirectoryW(n, &directory[0]) : 0;
    directory.resize(got < n ? got : 0);
    return directory;
}

}  // namespace

HBITMAP MakePluginBitmap(HWND window, const uint8_t* format, size_t formatSize, const uint8_t* bits,
                         size_t bitsSize, LoadFailure* failure)
{
    PluginDibStatus status = CheckPluginDib(format, formatSize, bitsSize);
    if (status != PluginDibStatus::kOk) {
        if (failure)
            *failure = LoadFailureOfPluginDib(status);
        return nullptr;
    }
    HDC dc = GetDC(window);
    HBITMAP bitmap = nullptr;
    if (dc) {
        auto* bmi = reinterpret_cast<const BITMAPINFO*>(format);
        bitmap = CreateDIBitmap(dc, &bmi->bmiHeader, CBM_INIT, bits, bmi, DIB_RGB_COLORS);
        ReleaseDC(window, dc);
    }
    if (!bitmap && failure)
        *failure = LoadFailure::kNoMemory;
    return bitmap;
}

LoadFailure LastPluginFailure()
{
    return g_lastFailure;
}

bool PluginHelperMissing()
{
    return SpiHost::HelperMissing();
}

std::vector<std::string> PluginPicturePatterns()
{
    std::vector<std::string> patterns;
    if (g_busy)
        return patterns;
    Busy busy;
    while (EnsureHelper()) {
        spihost::PayloadWriter(g_host.channel()).finish();
        SpiHost::Outcome outcome = g_host.Call(Request::kInfo, kStepLimitMs);
        if (outcome == SpiHost::Outcome::kAnswered) {
            std::vector<std::vector<std::string>> info;
            if (spihost::ReadInfo(g_host.channel(), &info))
                for (const auto& strings : info)
                    for (size_t i = 0; i < strings.size(); i += 2)
                        patterns.push_back(strings[i]);
            break;
        }
        if (!DropHelper(true))
            break;
    }
    return patterns;
}

// The start value has no effect: the search always begins with the current
// directory (the first step with 0, the repeated second step otherwise).
// A table left from an earlier call is released first, so a second call
// does not leave the modules already loaded.
WORD WINAPI SPIInit(DWORD)
{
    if (g_busy)
        return 0;
    Busy busy;
    g_host.Stop(kStepLimitMs);
    g_table.clear();
    g_directory = CurrentDirectory();
    bool searched = false;
    while (!searched) {
        if (!g_host.Start(g_directory.c_str(), kStepLimitMs))
            break;
        searched = TableRequest(Request::kSearch, g_leftOut);
        if (!searched && !DropHelper(true))
            break;
    }
    if (!searched || g_table.empty()) {
        g_host.Stop(kStepLimitMs);
        g_table.clear();
    }
    return WORD(g_table.size() > 0xFFFF ? 0xFFFF : g_table.size());
}

namespace {

// Keeps the wait cursor up while a file is being decoded.
class WaitCursor {
public:
    WaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }
    ~WaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

namespace {

// Asks the helper for a picture: writeRequest puts the request's payload
// into the channel (again after a crashed helper has been replaced), and
// the first plug-in that takes the file decodes it.
template <typename WriteRequest>
HBITMAP PictureFromHelper(HWND window, Request kind, WriteRequest writeRequest)
{
    // A codec is no plug-in: it is never left out, and a file it crashed
    // or hung on is not asked again.
    const bool codec = kind == Request::kCodecPicture;
    g_lastFailure = codec ? LoadFailure::kCodecStopped : LoadFailure::kPluginStopped;
    if (g_busy)
        return nullptr;
    Busy busy;
    WaitCursor cursor;
    for (;;) {
        if (!EnsureHelper(codec)) {
            if (SpiHost::HelperMissing())
                g_lastFailure = LoadFailure::kHelperMissing;
            else if (g_table.empty())
                g_lastFailure = LoadFailure::kNoPlugins;
            return nullptr;
        }
        spihost::PayloadWriter request(g_host.channel());
        if (!writeRequest(request) || !request.finish()) {
            g_lastFailure = LoadFailure::kUnreadable;
            return nullptr;
        }
        SpiHost::Outcome outcome = g_host.Call(kind, kStepLimitMs);
        if (outcome == SpiHost::Outcome::kAnswered)
            break;
        // After a crash the file is asked of the rest again, the crashed
        // plug-in left out; after a hang it is refused.
        if (!DropHelper(!codec && outcome == SpiHost::Outcome::kEnded))
            return nullptr;
    }
    auto status = spihost::Status(spihost::GetU32(g_host.channel(), spihost::kFieldStatus));
    if (status == spihost::Status::kNoTaker)
        g_lastFailure = LoadFailure::kNoPlugin;
    else if (status == spihost::Status::kTooLarge)
        g_lastFailure = LoadFailure::kTooLarge;
    else
        g_lastFailure = codec ? LoadFailure::kCodecFailed : LoadFailure::kPluginFailed;
    spihost::PictureAnswer answer;
    if (status != spihost::Status::kOk || !spihost::ReadPictureAnswer(g_host.channel(), &answer))
        return nullptr;
    const uint8_t* view = g_host.SharedPicture(answer);
    if (!view)
        return nullptr;
    // The header is checked and used from a copy of Kelvo's own: the
    // helper could still change the shared one between the two.
    std::vector<uint8_t> format(view, view + answer.formatBytes);
    return MakePluginBitmap(window, format.data(), format.size(),
                            view + spihost::PictureBitsOffset(answer.formatBytes),
                            size_t(answer.bitsBytes), &g_lastFailure);
}

// What the plug-ins are shown of a name they cannot be given: its
// extension, when that is plain ASCII, for the plug-ins that look at it.
std::string StandInName(const wchar_t* path)
{
    std::string name = "picture";
    const wchar_t* dot = wcsrchr(path, L'.');
    if (!dot || wcspbrk(dot, L"\\/"))
        return name;
    std::string extension;
    for (const wchar_t* c = dot + 1; *c; ++c) {
        if (*c > 0x7E || *c <= 0x20)
            return name;
        extension += char(*c);
    }
    return extension.empty() ? name : name + "." + extension;
}

// The largest file handed to the plug-ins in memory; no picture they
// decode into Kelvo's limits comes from a larger one.
constexpr unsigned long long kMaxFileInMemory = 1ull << 30;

}  // namespace

HBITMAP WINAPI LoadPicture(HWND window, LPCSTR path)
{
    if (!path) {
        g_lastFailure = LoadFailure::kPluginStopped;
        return nullptr;
    }
    return PictureFromHelper(window, Request::kPicture, [path](spihost::PayloadWriter& request) {
        request.Text(path);
        return true;
    });
}

namespace {

// A file no plug-in took, decoded by the system's codecs in the helper.
// Null with the plug-ins' reason kept when no codec reads it either.
HBITMAP LoadPictureByCodec(HWND window, const wchar_t* path, LoadFailure pluginFailure)
{
    int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path, -1, nullptr, 0, nullptr,
                                nullptr);
    if (n <= 1) {
        g_lastFailure = pluginFailure;
        return nullptr;
    }
    std::string utf8(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, path, -1, &utf8[0], n, nullptr, nullptr);
    utf8.resize(size_t(n - 1));
    HBITMAP bitmap = PictureFromHelper(window, Request::kCodecPicture,
                                       [&utf8](spihost::PayloadWriter& request) {
        request.Text(utf8);
        return true;
    });
    if (!bitmap && g_lastFailure == LoadFailure::kNoPlugin)
        g_lastFailure = pluginFailure;
    return bitmap;
}

// Whether the plug-ins' answer leaves the file to the codecs: none of them
// took it (or there are none), never when one took it and failed.
bool LeftToCodecs(LoadFailure failure)
{
    return failure == LoadFailure::kNoPlugin || failure == LoadFailure::kNoPlugins
           || failure == LoadFailure::kNameForPlugins;
}

HBITMAP LoadPictureByPlugins(HWND window, const wchar_t* path);

}  // namespace

HBITMAP LoadPictureFile(HWND window, const wchar_t* path)
{
    HBITMAP bitmap = LoadPictureByPlugins(window, path);
    if (!bitmap && LeftToCodecs(g_lastFailure))
        bitmap = LoadPictureByCodec(window, path, g_lastFailure);
    return bitmap;
}

namespace {

HBITMAP LoadPictureByPlugins(HWND window, const wchar_t* path)
{
    std::string ansi;
    if (AnsiFromWide(path, &ansi) && !ansi.empty())
        return LoadPicture(window, ansi.c_str());
    // A name the plug-ins cannot be given: the file goes to them in memory.
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        g_lastFailure = LoadFailureOfFileError(GetLastError());
        return nullptr;
    }
    LARGE_INTEGER size{};
    HANDLE mapping = nullptr;
    if (!GetFileSizeEx(file, &size))
        g_lastFailure = LoadFailureOfFileError(GetLastError());
    else if (size.QuadPart == 0)
        g_lastFailure = LoadFailure::kNameForPlugins;  // nothing for a plug-in to take
    else if (static_cast<unsigned long long>(size.QuadPart) > kMaxFileInMemory)
        g_lastFailure = LoadFailure::kTooLarge;
    else if (!(mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr)))
        g_lastFailure = LoadFailureOfFileError(GetLastError());
    CloseHandle(file);
    if (!mapping)
        return nullptr;
    const std::string name = StandInName(path);
    HBITMAP bitmap = PictureFromHelper(window, Request::kPictureBytes,
                                       [&](spihost::PayloadWriter& request) {
        uint32_t given = g_host.GiveMapping(mapping);
        if (!given)
            return false;
        request.U32(given);
        request.U64(uint64_t(size.QuadPart));
        request.Text(name);
        return true;
    });
    CloseHandle(mapping);
    // No plug-in takes it in memory: say why its name did not do.
    if (!bitmap && g_lastFailure == LoadFailure::kNoPlugin)
        g_lastFailure = LoadFailure::kNameForPlugins;
    return bitmap;
}

}  // namespace

void WINAPI SPIEnd(void)
{
    if (g_busy)
        return;
    Busy busy;
    g_host.Stop(kStepLimitMs);
    g_table.clear();
}
