// Starting and talking to kelvo-spihost.exe.
#include "picture/spi_host.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kHelperName[] = L"kelvo-spihost.exe";

void CloseIf(HANDLE* handle)
{
    if (*handle) {
        CloseHandle(*handle);
        *handle = nullptr;
    }
}

// Kelvo's folder with the helper's name: they ship side by side.
std::wstring HelperPath()
{
    std::vector<wchar_t> path(32768);
    DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (n == 0 || n >= path.size())
        return std::wstring();
    std::wstring full(path.data(), n);
    size_t slash = full.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return std::wstring();
    return full.substr(0, slash + 1) + kHelperName;
}

// How often Kelvo looks for the helper's signs of life while it waits.
constexpr DWORD kPollMs = 100;

// Paints Kelvo's windows that need it; peeking also delivers the messages
// other threads and programs send. Posted messages, input among them,
// stay queued for the message loop, so no command reaches Kelvo's
// windows (and the plug-in manager) in the middle of a request. Bounded,
// so that a window that never validates cannot hold the wait here.
void PaintAndAnswerSent()
{
    MSG msg;
    for (int i = 0; i < 64 && PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
        DispatchMessageW(&msg);
}

// Waits up to ms for one of the handles while painting and answering sent
// messages; the index of the handle signalled, or WAIT_TIMEOUT.
DWORD WaitPainting(const HANDLE* handles, DWORD count, DWORD ms)
{
    ULONGLONG deadline = GetTickCount64() + ms;
    PaintAndAnswerSent();
    for (;;) {
        ULONGLONG now = GetTickCount64();
        DWORD left = now >= deadline ? 0 : DWORD(deadline - now);
        DWORD woke = MsgWaitForMultipleObjects(count, handles, FALSE, left,
                                               QS_PAINT | QS_SENDMESSAGE);
        if (woke < WAIT_OBJECT_0 + count)
            return woke - WAIT_OBJECT_0;
        if (woke != WAIT_OBJECT_0 + count)
            return WAIT_TIMEOUT;
        PaintAndAnswerSent();
    }
}

// A job that ends its processes when its last handle closes: Kelvo holds
// the only one.
HANDLE MakeKillOnCloseJob()
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

}  // namespace

// Every page of the view committed and readable.
static bool WholeAndReadable(const uint8_t* view, size_t size)
{
    const DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ
                            | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    size_t at = 0;
    while (at < size) {
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(view + at, &region, sizeof region) != sizeof region
            || region.State != MEM_COMMIT || !(region.Protect & kReadable)
            || (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)))
            return false;
        size_t past = size_t(static_cast<const uint8_t*>(region.BaseAddress) - view)
                      + region.RegionSize;
        if (past <= at)
            return false;
        at = past;
    }
    return true;
}

SpiHost::~SpiHost()
{
    Kill();
    CloseIf(&job_);
}

bool SpiHost::HelperMissing()
{
    std::wstring path = HelperPath();
    return path.empty() || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool SpiHost::alive() const
{
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool SpiHost::Start(const wchar_t* directory, DWORD timeoutMs)
{
    Kill();
    std::wstring path = HelperPath();
    if (path.empty())
        return false;
    // Inheritable, but passed to the helper alone (the handle list below).
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, &inherit, PAGE_READWRITE, 0,
                                  DWORD(spihost::kChannelBytes), nullptr);
    if (mapping_)
        channel_ = static_cast<uint8_t*>(
            MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, spihost::kChannelBytes));
    request_ = CreateEventW(&inherit, FALSE, FALSE, nullptr);
    answer_ = CreateEventW(&inherit, FALSE, FALSE, nullptr);
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self_,
                         SYNCHRONIZE, TRUE, 0))
        self_ = nullptr;
    if (!channel_ || !request_ || !answer_ || !self_) {
        Kill();
        return false;
    }
    spihost::InitChannel(channel_);

    HANDLE inherited[4] = {mapping_, request_, answer_, self_};
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<unsigned char> listBuffer(listSize);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBuffer.data());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &listSize)) {
        Kill();
        return false;
    }
    bool started = false;
    if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                  sizeof inherited, nullptr, nullptr)) {
        wchar_t numbers[64];
        std::swprintf(numbers, 64, L" %lu %lu %lu %lu",
                      static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(mapping_)),
                      static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(request_)),
                      static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(answer_)),
                      static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(self_)));
        std::wstring commandLine = L"\"" + path + L"\"" + numbers;
        STARTUPINFOEXW startup{};
        startup.StartupInfo.cb = sizeof startup;
        startup.lpAttributeList = list;
        PROCESS_INFORMATION info{};
        if (!job_)
            job_ = MakeKillOnCloseJob();
        // Put in the job before it runs any code. Where the job cannot be
        // had (an old system that nests no jobs), the helper still watches
        // Kelvo between requests.
        started = CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                 EXTENDED_STARTUPINFO_PRESENT | CREATE_SUSPENDED, nullptr,
                                 directory, &startup.StartupInfo, &info)
                  != FALSE;
        if (started) {
            if (job_)
                AssignProcessToJobObject(job_, info.hProcess);
            ResumeThread(info.hThread);
            CloseHandle(info.hThread);
            process_ = info.hProcess;
        }
    }
    DeleteProcThreadAttributeList(list);
    if (!started) {
        Kill();
        return false;
    }
    HANDLE waits[2] = {answer_, process_};
    if (WaitPainting(waits, 2, timeoutMs) != 0) {
        Kill();
        return false;
    }
    return true;
}

SpiHost::Outcome SpiHost::Call(spihost::Request request, DWORD stepLimitMs)
{
    if (!alive())
        return Outcome::kEnded;
    ++serial_;
    spihost::PutU32(channel_, spihost::kFieldRequest, uint32_t(request));
    spihost::PutU32(channel_, spihost::kFieldSerial, serial_);
    spihost::PutU32(channel_, spihost::kFieldStatus, uint32_t(spihost::Status::kBadRequest));
    uint32_t beat = spihost::GetU32(channel_, spihost::kFieldHeartbeat);
    ULONGLONG deadline = GetTickCount64() + stepLimitMs;
    SetEvent(request_);
    HANDLE waits[2] = {answer_, process_};
    for (;;) {
        ULONGLONG now = GetTickCount64();
        uint32_t seen = spihost::GetU32(channel_, spihost::kFieldHeartbeat);
        if (seen != beat) {
            beat = seen;
            deadline = now + stepLimitMs;
        }
        if (now >= deadline) {
            // Ended, so that what the channel names stays put.
            TerminateProcess(process_, ERROR_TIMEOUT);
            WaitForSingleObject(process_, 5000);
            return Outcome::kTimedOut;
        }
        DWORD woke = WaitPainting(waits, 2, DWORD(std::min<ULONGLONG>(deadline - now, kPollMs)));
        if (woke == 0) {
            if (spihost::GetU32(channel_, spihost::kFieldAnswered) == serial_)
                return Outcome::kAnswered;
            continue;  // an answer to nothing we asked: keep waiting
        }
        if (woke == 1)
            return Outcome::kEnded;
    }
}

uint32_t SpiHost::GiveMapping(HANDLE mapping) const
{
    HANDLE given = nullptr;
    if (!process_ || !DuplicateHandle(GetCurrentProcess(), mapping, process_, &given, FILE_MAP_READ,
                                      FALSE, 0))
        return 0;
    // Handles of both kinds of process fit 32 bits.
    return uint32_t(reinterpret_cast<ULONG_PTR>(given));
}

const uint8_t* SpiHost::SharedPicture(const spihost::PictureAnswer& answer)
{
    if (picture_ && answer.generation == pictureGeneration_ && answer.capacity == pictureCapacity_)
        return picture_;
    if (picture_) {
        UnmapViewOfFile(picture_);
        picture_ = nullptr;
    }
    HANDLE mapping = nullptr;
    if (!process_ || answer.capacity > SIZE_MAX
        || !DuplicateHandle(process_, reinterpret_cast<HANDLE>(ULONG_PTR{answer.mapping}),
                            GetCurrentProcess(), &mapping, FILE_MAP_READ, FALSE, 0))
        return nullptr;
    // Mapping more than the section holds fails, so the capacity is the
    // section's own. The view keeps the section; the handle can go.
    picture_ = static_cast<const uint8_t*>(
        MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size_t(answer.capacity)));
    CloseHandle(mapping);
    // A section the helper only reserved (or made with guard or no-access
    // pages) maps all the same, and reading it would end Kelvo.
    if (picture_ && !WholeAndReadable(picture_, size_t(answer.capacity))) {
        UnmapViewOfFile(picture_);
        picture_ = nullptr;
    }
    pictureGeneration_ = answer.generation;
    pictureCapacity_ = answer.capacity;
    return picture_;
}

void SpiHost::Stop(DWORD timeoutMs)
{
    if (alive()) {
        spihost::PayloadWriter(channel_).finish();
        if (Call(spihost::Request::kEnd, timeoutMs) == Outcome::kAnswered)
            WaitForSingleObject(process_, timeoutMs);
    }
    Kill();
}

void SpiHost::Kill()
{
    if (process_) {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, ERROR_PROCESS_ABORTED);
            WaitForSingleObject(process_, 5000);
        }
        CloseIf(&process_);
    }
    if (channel_) {
        UnmapViewOfFile(channel_);
        channel_ = nullptr;
    }
    if (picture_) {
        UnmapViewOfFile(picture_);
        picture_ = nullptr;
    }
    CloseIf(&mapping_);
    CloseIf(&request_);
    CloseIf(&answer_);
    CloseIf(&self_);
}
