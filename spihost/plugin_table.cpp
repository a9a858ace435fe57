// The plug-in table: the directory search, loading, asking and decoding.
//
// A module that lacks one of the three functions the program calls is not
// kept at all, so no empty slot is ever called. What a plug-in hands back
// is checked before it is used: its result code first, then that it gave
// two distinct blocks of this process's memory.
#include "spihost/plugin_table.h"

#include <cstring>
#include <initializer_list>
#include <limits>

#include "app/ansi_text.h"
#include "picture/global_memory.h"
#include "picture/plugin_rules.h"

namespace {

// The plug-in entry points as the program calls them: the published
// import-filter functions, standard call, ANSI names. Lengths and the
// user value are pointer-sized in 64-bit plug-ins.
using GetPluginInfoProc = int(WINAPI*)(int infono, LPSTR buffer, int length);
using IsSupportedProc = int(WINAPI*)(LPCSTR fileName, void* fileOrHead);
using GetPictureInfoProc = int(WINAPI*)(LPCSTR buffer, LONG_PTR length, unsigned flag,
                                        void* info);
using GetPictureProc = int(WINAPI*)(LPCSTR buffer, LONG_PTR length, unsigned flag,
                                    HLOCAL* format, HLOCAL* bits, FARPROC progress,
                                    LONG_PTR userData);

// Keeps the watch told for the length of one call into a plug-in.
class Calling {
public:
    Calling(PluginCallWatch* watch, const std::string& module) : watch_(watch)
    {
        if (watch_)
            watch_->Enter(module.c_str());
    }
    ~Calling()
    {
        if (watch_)
            watch_->Leave();
    }
    Calling(const Calling&) = delete;
    Calling& operator=(const Calling&) = delete;

private:
    PluginCallWatch* watch_;
};

// Frees a block the plug-in handed over; a value that is no block of
// this process (GlobalSize 0) is left alone.
void FreeHandedBlock(HLOCAL block)
{
    if (block && GlobalSize(block) != 0)
        GlobalFree(block);
}

bool SameName(const std::string& a, const std::string& b)
{
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1)
           == CSTR_EQUAL;
}

bool Listed(const std::vector<std::string>& names, const std::string& name)
{
    for (const std::string& n : names)
        if (SameName(n, name))
            return true;
    return false;
}

enum class Directory { kCurrent, kSystem, kWindows, kOwn };

// The directory's full name in UTF-16, so that a folder of any name is
// searched; empty when the platform cannot give it.
std::wstring DirectoryName(Directory which)
{
    std::wstring name(32768, L'\0');
    const UINT capacity = UINT(name.size());
    UINT length = 0;
    switch (which) {
    case Directory::kCurrent: length = GetCurrentDirectoryW(capacity, &name[0]); break;
    case Directory::kSystem: length = GetSystemDirectoryW(&name[0], capacity); break;
    case Directory::kWindows: length = GetWindowsDirectoryW(&name[0], capacity); break;
    case Directory::kOwn: {
        DWORD n = GetModuleFileNameW(nullptr, &name[0], capacity);
        if (n == 0 || n >= capacity)
            return std::wstring();
        size_t slash = name.find_last_of(L'\\', n);
        if (slash == std::wstring::npos)
            return std::wstring();
        // A drive root keeps its backslash.
        length = UINT(slash > 0 && name[slash - 1] == L':' ? slash + 1 : slash);
        break;
    }
    }
    // Too small a buffer is answered with the size needed, not the text.
    if (length == 0 || length >= capacity)
        return std::wstring();
    name.resize(length);
    return name;
}

}  // namespace

bool PluginTable::Load(const std::string& name)
{
    Calling calling(watch_, name);
    // A broken module is refused quietly: the helper's error mode (set for
    // the whole process when it starts) shows no system message box.
    HMODULE module = LoadLibraryA(name.c_str());
    if (!module)
        return false;
    Plugin plugin{name, module, GetProcAddress(module, "GetPluginInfo"),
                  GetProcAddress(module, "IsSupported"), GetProcAddress(module, "GetPictureInfo"),
                  GetProcAddress(module, "GetPicture")};
    if (!plugin.isSupported || !plugin.getPictureInfo || !plugin.getPicture) {
        FreeLibrary(module);
        return false;
    }
    plugins_.push_back(plugin);
    return true;
}

size_t PluginTable::SearchDirectory(const std::wstring& directory, const std::vector<std::string>& leftOut)
{
    size_t kept = 0;
    for (const char* extension : PluginModuleExtensions(sizeof(void*) == 8)) {
        std::wstring pattern = directory;
        if (pattern.back() != L'\\')
            pattern += L'\\';
        pattern += L"*.";
        for (const char* e = extension; *e; ++e)
            pattern += wchar_t(*e);
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do {
            // Modules are named to Kelvo in the ANSI code page; one whose
            // own name it cannot hold is passed over.
            std::string name;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                && AnsiFromWide(found.cFileName, &name) && !name.empty()
                && !Listed(leftOut, name) && Load(name))
                ++kept;
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return kept;
}

size_t PluginTable::Search(const std::vector<std::string>& leftOut)
{
    Release();
    for (Directory which :
         {Directory::kCurrent, Directory::kSystem, Directory::kWindows, Directory::kOwn}) {
        std::wstring directory = DirectoryName(which);
        if (!directory.empty() && SearchDirectory(directory, leftOut) > 0)
            break;
    }
    return plugins_.size();
}

std::vector<std::string> PluginTable::Names() const
{
    std::vector<std::string> names;
    for (const Plugin& p : plugins_)
        names.push_back(p.name);
    return names;
}

PluginDecode PluginTable::DecodeWith(const char* path, UseProc use, void* context)
{
    for (const Plugin& plugin : plugins_) {
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        bool accepted;
        {
            Calling calling(watch_, plugin.name);
            accepted = reinterpret_cast<IsSupportedProc>(plugin.isSupported)(path, file) != 0;
        }
        // Closed before decoding, so a plug-in that opens the file without
        // sharing it can still read it.
        CloseHandle(file);
        if (accepted)
            return DecodeBy(plugin, path, 0, 0, use, context);
    }
    return PluginDecode::kNoTaker;
}

PluginDecode PluginTable::DecodeBytesWith(const char* name, const uint8_t* bytes, size_t size,
                                          UseProc use, void* context)
{
    if (!bytes || size == 0 || size > size_t(std::numeric_limits<LONG_PTR>::max()))
        return PluginDecode::kNoTaker;
    for (const Plugin& plugin : plugins_) {
        // The interface hands IsSupported the file's first 2 KB, padded
        // with zeros for a shorter file; a fresh copy each time, so that
        // no plug-in sees what another wrote there.
        alignas(8) uint8_t head[2048] = {};
        std::memcpy(head, bytes, size < sizeof head ? size : sizeof head);
        bool accepted;
        {
            Calling calling(watch_, plugin.name);
            accepted = reinterpret_cast<IsSupportedProc>(plugin.isSupported)(name, head) != 0;
        }
        if (accepted)
            return DecodeBy(plugin, reinterpret_cast<const char*>(bytes), LONG_PTR(size), 1, use,
                            context);
    }
    return PluginDecode::kNoTaker;
}

// The picture is used only when GetPicture reports success with two
// distinct blocks; on a reported failure the handle variables are not
// looked at, whatever the plug-in wrote there.
PluginDecode PluginTable::DecodeBy(const Plugin& plugin, const char* buffer, LONG_PTR length,
                                   unsigned flag, UseProc use, void* context)
{
    {
        // A call of its own, so that it is a step of its own for the watch.
        Calling calling(watch_, plugin.name);
        // The information record is not used; room for either layout of it
        // (packed or aligned, 32- or 64-bit handle) so no plug-in writes
        // past it.
        alignas(8) unsigned char info[64] = {};
        reinterpret_cast<GetPictureInfoProc>(plugin.getPictureInfo)(buffer, length, flag, info);
    }
    Calling calling(watch_, plugin.name);

    HLOCAL format = nullptr;
    HLOCAL bits = nullptr;
    int result = reinterpret_cast<GetPictureProc>(plugin.getPicture)(buffer, length, flag, &format,
                                                                     &bits, progress_, 0);
    if (result != 0)
        return PluginDecode::kFailed;
    if (format == bits) {
        FreeHandedBlock(format);
        return PluginDecode::kFailed;
    }
    bool used = false;
    SIZE_T formatSize = format ? GlobalSize(format) : 0;
    SIZE_T bitsSize = bits ? GlobalSize(bits) : 0;
    if (formatSize != 0 && bitsSize != 0) {
        LockedBlock<uint8_t> header(format);
        LockedBlock<uint8_t> pixels(bits);
        if (header && pixels)
            used = use(PluginBlocks{header.get(), formatSize, pixels.get(), bitsSize}, context);
    }
    FreeHandedBlock(format);
    FreeHandedBlock(bits);
    return used ? PluginDecode::kOk : PluginDecode::kFailed;
}

std::vector<std::vector<std::string>> PluginTable::Info(size_t maxStrings, size_t maxText)
{
    std::vector<std::vector<std::string>> all;
    std::vector<char> buffer(maxText + 1);
    for (const Plugin& plugin : plugins_) {
        std::vector<std::string> strings;
        if (plugin.getPluginInfo) {
            Calling calling(watch_, plugin.name);
            auto getInfo = reinterpret_cast<GetPluginInfoProc>(plugin.getPluginInfo);
            for (size_t n = 2; n < 2 + maxStrings; ++n) {
                buffer.assign(buffer.size(), '\0');
                int length = getInfo(int(n), buffer.data(), int(maxText + 1));
                if (length <= 0)
                    break;
                buffer[maxText] = '\0';
                strings.emplace_back(buffer.data());
            }
        }
        all.push_back(std::move(strings));
    }
    return all;
}

void PluginTable::Release()
{
    for (const Plugin& plugin : plugins_) {
        Calling calling(watch_, plugin.name);
        FreeLibrary(plugin.module);
    }
    plugins_.clear();
}
