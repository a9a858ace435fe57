// kelvo-spihost.exe: the process in which Kelvo's image plug-ins run.
//
// Kelvo starts it with four inherited handles on its command line: the
// channel (a file mapping, see picture/spi_protocol.h), the request and
// answer events, and Kelvo's own process. It signals the answer event once
// when it is ready, then serves one request per request event until it is
// told to end or Kelvo has gone.
//
// Plug-ins are other people's code. When one crashes, the process ends at
// once, without a debugger or an error box, and the channel still names
// the module that was running; Kelvo leaves that plug-in out and starts a
// new helper. A plug-in that damages a heap is treated the same way: every
// heap is checked after each call, and a damaged one ends the process
// before anything built on it reaches Kelvo.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "picture/plugin_rules.h"
#include "picture/spi_protocol.h"
#include "spihost/codec_picture.h"
#include "spihost/plugin_table.h"

namespace {

using spihost::Request;
using spihost::Status;

LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* exception)
{
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

// No error box or debugger for a crashed plug-in: the exception filter
// ends the process at once, and Windows Error Reporting, which alone sees
// a fail-fast end (a damaged heap the platform itself finds), is told to
// show nothing.
void EndQuietlyOnCrash()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndOnCrash);
    using WerSetFlagsProc = HRESULT(WINAPI*)(DWORD);
    constexpr DWORD kWerNoUi = 0x20;  // WER_FAULT_REPORTING_NO_UI
    // Looked up: the 32-bit import library lacks it.
    if (auto set = reinterpret_cast<WerSetFlagsProc>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "WerSetFlags")))
        set(kWerNoUi);
}

bool HeapsAreSound()
{
    std::vector<HANDLE> heaps(64);
    DWORD count = GetProcessHeaps(DWORD(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count + 16);
        count = GetProcessHeaps(DWORD(heaps.size()), heaps.data());
    }
    for (DWORD i = 0; i < count && i < heaps.size(); ++i)
        if (!HeapValidate(heaps[i], 0, nullptr))
            return false;
    return true;
}

uint8_t* g_channel;

// The progress callback decoding plug-ins are given: each report is a sign
// of life that gives the decoding its full limit again. Never cancels.
int WINAPI Progress(int, int, LONG_PTR)
{
    spihost::Heartbeat(g_channel);
    return 0;
}

// Names the running plug-in in the channel, and checks the heaps after it;
// each call into a plug-in starts a step of its own in Kelvo's eyes.
class ChannelWatch : public PluginCallWatch {
public:
    explicit ChannelWatch(uint8_t* channel) : channel_(channel) {}
    void Enter(const char* module) override
    {
        spihost::SetBusyName(channel_, module);
        spihost::Heartbeat(channel_);
    }
    void Leave() override
    {
        if (!HeapsAreSound())
            TerminateProcess(GetCurrentProcess(), STATUS_HEAP_CORRUPTION);
        spihost::SetBusyName(channel_, nullptr);
        spihost::Heartbeat(channel_);
    }

private:
    uint8_t* channel_;
};

// The file mapping pictures go back to Kelvo in, kept from one picture to
// the next while its size suits (its handle stays open for that).
class SharedPicture : public CodecPictureSink {
public:
    ~SharedPicture() { Close(); }

    // Copies a checked picture into the mapping, made anew when needed.
    bool Share(const PluginBlocks& blocks, spihost::PictureAnswer* answer)
    {
        PluginDibExtent extent{};
        if (CheckPluginDib(blocks.format, blocks.formatSize, blocks.bitsSize, &extent)
                != PluginDibStatus::kOk
            || extent.formatBytes > spihost::kMaxFormatBytes)
            return false;
        auto formatBytes = uint32_t(extent.formatBytes);
        uint8_t* view = Reserve(formatBytes, extent.bitsBytes);
        if (!view)
            return false;
        std::memcpy(view, blocks.format, formatBytes);
        std::memcpy(view + spihost::PictureBitsOffset(formatBytes), blocks.bits,
                    size_t(extent.bitsBytes));
        Answer(formatBytes, extent.bitsBytes, answer);
        return true;
    }

    // A codec writes its picture straight into the mapping.
    uint8_t* Reserve(uint32_t formatBytes, uint64_t bitsBytes) override
    {
        uint64_t needed = spihost::PictureBytes(formatBytes, bitsBytes);
        uint64_t capacity = spihost::PictureMappingCapacity(capacity_, needed);
        if (capacity != capacity_ && !Make(capacity))
            return nullptr;
        return view_;
    }

    bool Ready(uint32_t formatBytes, uint64_t bitsBytes) override
    {
        if (!view_ || spihost::PictureBytes(formatBytes, bitsBytes) > capacity_)
            return false;
        PluginDibExtent extent{};
        // The same check as a plug-in's picture gets.
        if (CheckPluginDib(view_, formatBytes, size_t(bitsBytes), &extent) != PluginDibStatus::kOk)
            return false;
        Answer(formatBytes, bitsBytes, &codecAnswer_);
        return true;
    }

    const spihost::PictureAnswer& codecAnswer() const { return codecAnswer_; }

private:
    void Answer(uint32_t formatBytes, uint64_t bitsBytes, spihost::PictureAnswer* answer) const
    {
        answer->mapping = uint32_t(reinterpret_cast<ULONG_PTR>(mapping_));
        answer->generation = generation_;
        answer->formatBytes = formatBytes;
        answer->bitsBytes = bitsBytes;
        answer->capacity = capacity_;
    }

    bool Make(uint64_t capacity)
    {
        Close();
        if (capacity > SIZE_MAX)
            return false;
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                      DWORD(capacity >> 32), DWORD(capacity), nullptr);
        if (mapping_)
            view_ = static_cast<uint8_t*>(
                MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, size_t(capacity)));
        if (!view_) {
            Close();
            return false;
        }
        capacity_ = capacity;
        ++generation_;
        return true;
    }

    void Close()
    {
        if (view_)
            UnmapViewOfFile(view_);
        if (mapping_)
            CloseHandle(mapping_);
        view_ = nullptr;
        mapping_ = nullptr;
        capacity_ = 0;
    }

    HANDLE mapping_ = nullptr;
    uint8_t* view_ = nullptr;
    uint64_t capacity_ = 0;
    uint32_t generation_ = 0;
    spihost::PictureAnswer codecAnswer_;
};

class Host {
public:
    explicit Host(uint8_t* channel) : channel_(channel), watch_(channel), table_(&watch_)
    {
        table_.SetProgress(reinterpret_cast<FARPROC>(&Progress));
    }

    // Serves the request in the channel; false when the helper is to end.
    bool Serve()
    {
        auto request = Request(spihost::GetU32(channel_, spihost::kFieldRequest));
        Status status = Status::kOk;
        switch (request) {
        case Request::kSearch:
        case Request::kLoad: status = Load(request); break;
        case Request::kPicture: status = Picture(); break;
        case Request::kPictureBytes: status = PictureBytes(); break;
        case Request::kCodecPicture: status = CodecPicture(); break;
        case Request::kInfo:
            status = spihost::WriteInfo(channel_, table_.Info(spihost::kMaxInfoStrings,
                                                              spihost::kMaxInfoText))
                         ? Status::kOk
                         : Status::kFailed;
            break;
        case Request::kEnd:
            table_.Release();
            spihost::PayloadWriter(channel_).finish();
            break;
        default: status = Status::kBadRequest; break;
        }
        spihost::PutU32(channel_, spihost::kFieldStatus, uint32_t(status));
        return request != Request::kEnd;
    }

private:
    Status Load(Request request)
    {
        std::vector<std::string> names;
        if (!spihost::ReadNames(channel_, &names))
            return Status::kBadRequest;
        if (request == Request::kSearch) {
            table_.Search(names);
        } else {
            for (const std::string& name : names)
                table_.Load(name);
        }
        return spihost::WriteNames(channel_, table_.Names()) ? Status::kOk : Status::kFailed;
    }

    Status Picture()
    {
        std::string path;
        spihost::PayloadReader in(channel_);
        if (!in.Text(&path, spihost::kMaxPathText))
            return Status::kBadRequest;
        spihost::PictureAnswer answer;
        PluginDecode result = table_.Decode(path.c_str(), [&](const PluginBlocks& blocks) {
            return shared_.Share(blocks, &answer);
        });
        if (result == PluginDecode::kNoTaker)
            return Status::kNoTaker;
        if (result != PluginDecode::kOk || !spihost::WritePictureAnswer(channel_, answer))
            return Status::kFailed;
        return Status::kOk;
    }

    // A file Kelvo could not name to the plug-ins: it shares a mapping of
    // the file, whose handle is the helper's to close.
    Status PictureBytes()
    {
        uint32_t handle = 0;
        uint64_t size = 0;
        std::string name;
        spihost::PayloadReader in(channel_);
        if (!in.U32(&handle) || !in.U64(&size) || !in.Text(&name, spihost::kMaxPathText)
            || handle == 0)
            return Status::kBadRequest;
        HANDLE mapping = reinterpret_cast<HANDLE>(ULONG_PTR{handle});
        const void* view = size == 0 || size > SIZE_MAX
                               ? nullptr
                               : MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, SIZE_T(size));
        CloseHandle(mapping);
        if (!view)
            return Status::kFailed;
        spihost::PictureAnswer answer;
        PluginDecode result = table_.DecodeBytes(name.c_str(), static_cast<const uint8_t*>(view),
                                                 size_t(size), [&](const PluginBlocks& blocks) {
                                                     return shared_.Share(blocks, &answer);
                                                 });
        UnmapViewOfFile(view);
        if (result == PluginDecode::kNoTaker)
            return Status::kNoTaker;
        if (result != PluginDecode::kOk || !spihost::WritePictureAnswer(channel_, answer))
            return Status::kFailed;
        return Status::kOk;
    }

    // A file no plug-in took, through the system's codecs.
    Status CodecPicture()
    {
        std::string utf8;
        spihost::PayloadReader in(channel_);
        if (!in.Text(&utf8, spihost::kMaxUtf8PathText) || utf8.empty())
            return Status::kBadRequest;
        int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()),
                                    nullptr, 0);
        if (n <= 0)
            return Status::kBadRequest;
        std::wstring path(size_t(n), L'\0');
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), &path[0], n);
        switch (DecodeWithCodec(path.c_str(), &watch_, &BeatChannel, &shared_)) {
        case CodecDecode::kNoCodec: return Status::kNoTaker;
        case CodecDecode::kTooLarge: return Status::kTooLarge;
        case CodecDecode::kFailed: return Status::kFailed;
        case CodecDecode::kOk: break;
        }
        return spihost::WritePictureAnswer(channel_, shared_.codecAnswer()) ? Status::kOk
                                                                             : Status::kFailed;
    }

    static void BeatChannel() { spihost::Heartbeat(g_channel); }

    uint8_t* channel_;
    ChannelWatch watch_;
    SharedPicture shared_;
    PluginTable table_;
};

// The four handle numbers after the program name.
bool ReadHandles(HANDLE* handles, int count)
{
    const char* p = GetCommandLineA();
    if (*p == '"') {
        p = std::strchr(p + 1, '"');
        if (!p)
            return false;
        ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t')
            ++p;
    }
    for (int i = 0; i < count; ++i) {
        char* end = nullptr;
        unsigned long value = std::strtoul(p, &end, 10);
        if (end == p || value == 0)
            return false;
        handles[i] = reinterpret_cast<HANDLE>(ULONG_PTR(value));
        p = end;
    }
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    EndQuietlyOnCrash();

    HANDLE handles[4];  // channel, request, answer, Kelvo
    if (!ReadHandles(handles, 4))
        return 2;
    auto* channel = static_cast<uint8_t*>(
        MapViewOfFile(handles[0], FILE_MAP_WRITE, 0, 0, spihost::kChannelBytes));
    if (!channel || !spihost::ChannelMatches(channel))
        return 2;
    HANDLE request = handles[1], answer = handles[2], kelvo = handles[3];
    g_channel = channel;

    Host host(channel);
    spihost::PutU32(channel, spihost::kFieldAnswered, 0);
    SetEvent(answer);
    HANDLE waits[2] = {request, kelvo};
    for (;;) {
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
            break;  // Kelvo has gone
        uint32_t serial = spihost::GetU32(channel, spihost::kFieldSerial);
        bool more = host.Serve();
        spihost::PutU32(channel, spihost::kFieldAnswered, serial);
        SetEvent(answer);
        if (!more)
            break;
    }
    return 0;
}
