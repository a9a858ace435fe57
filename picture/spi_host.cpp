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

}  // namespace

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
        started = CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                 EXTENDED_STARTUPINFO_PRESENT, nullptr, directory,
                                 &startup.StartupInfo, &info)
                  != FALSE;
        if (started) {
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
    if (WaitForMultipleObjects(2, waits, FALSE, timeoutMs) != WAIT_OBJECT_0) {
        Kill();
        return false;
    }
    return true;
}

SpiHost::Outcome SpiHost::Call(spihost::Request request, ULONGLONG deadline)
{
    if (!process_)
        return Outcome::kEnded;
    ++serial_;
    spihost::PutU32(channel_, spihost::kFieldRequest, uint32_t(request));
    spihost::PutU32(channel_, spihost::kFieldSerial, serial_);
    spihost::PutU32(channel_, spihost::kFieldStatus, uint32_t(spihost::Status::kBadRequest));
    SetEvent(request_);
    HANDLE waits[2] = {answer_, process_};
    for (;;) {
        ULONGLONG now = GetTickCount64();
        DWORD wait = now >= deadline ? 0 : DWORD(std::min<ULONGLONG>(deadline - now, 0x7FFFFFFF));
        DWORD woke = WaitForMultipleObjects(2, waits, FALSE, wait);
        if (woke == WAIT_OBJECT_0) {
            if (spihost::GetU32(channel_, spihost::kFieldAnswered) == serial_)
                return Outcome::kAnswered;
            continue;  // an answer to nothing we asked: keep waiting
        }
        if (woke == WAIT_OBJECT_0 + 1)
            return Outcome::kEnded;
        // Ended, so that what the channel names stays put.
        TerminateProcess(process_, ERROR_TIMEOUT);
        WaitForSingleObject(process_, 5000);
        return Outcome::kTimedOut;
    }
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
    pictureGeneration_ = answer.generation;
    pictureCapacity_ = answer.capacity;
    return picture_;
}

void SpiHost::Stop(DWORD timeoutMs)
{
    if (process_) {
        ULONGLONG deadline = GetTickCount64() + timeoutMs;
        spihost::PayloadWriter(channel_).finish();
        if (Call(spihost::Request::kEnd, deadline) == Outcome::kAnswered) {
            ULONGLONG now = GetTickCount64();
            WaitForSingleObject(process_, now >= deadline ? 0 : DWORD(deadline - now));
        }
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
