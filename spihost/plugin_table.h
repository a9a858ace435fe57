// The image plug-in modules loaded into this process, in search order:
// finding them at start, asking them in turn which one takes a file, the
// decoding by the first taker, their GetPluginInfo texts, and unloading.
//
// kelvo-spihost.exe keeps Kelvo's table with it; the benchmark also uses
// it inside its own process, the way Kelvo once did, to compare.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Told around every call into a plug-in's code (loading and unloading
// included), with the module's file name.
class PluginCallWatch {
public:
    virtual void Enter(const char* module) = 0;
    virtual void Leave() = 0;

protected:
    ~PluginCallWatch() = default;
};

// What a plug-in's GetPicture handed over, locked for the length of one
// use: two distinct blocks of this process, neither empty. Not yet
// checked against its header.
struct PluginBlocks {
    const uint8_t* format;
    size_t formatSize;
    const uint8_t* bits;
    size_t bitsSize;
};

enum class PluginDecode {
    kNoTaker,  // no plug-in accepted the file (or it could not be opened)
    kFailed,   // the taker's GetPicture failed or handed over no usable blocks,
               // or the use of them failed
    kOk,
};

class PluginTable {
public:
    explicit PluginTable(PluginCallWatch* watch) : watch_(watch) {}
    ~PluginTable() { Release(); }
    PluginTable(const PluginTable&) = delete;
    PluginTable& operator=(const PluginTable&) = delete;

    // The directory search: the current directory, the system directory,
    // the Windows directory, and last this program's own folder; the first
    // directory where a module is kept is the only one used. Modules named
    // in leftOut are not loaded. Returns the number kept.
    size_t Search(const std::vector<std::string>& leftOut);
    // Loads one module by its bare file name (the platform's module search
    // decides which file of that name); true when it is kept.
    bool Load(const std::string& name);
    // File names of the kept modules, in table order.
    std::vector<std::string> Names() const;

    // Asks the plug-ins in order whether they take the file (opened afresh
    // for each); the first that does decodes it, and use() is given its
    // blocks before they are freed. No other plug-in is asked after a
    // taker, whatever its result.
    template <typename Use>
    PluginDecode Decode(const char* path, Use use)
    {
        return DecodeWith(path, &CallUse<Use>, &use);
    }
    // The same for a file handed over in memory (the plug-ins' memory
    // form); name is what the plug-ins are shown of its name.
    template <typename Use>
    PluginDecode DecodeBytes(const char* name, const uint8_t* bytes, size_t size, Use use)
    {
        return DecodeBytesWith(name, bytes, size, &CallUse<Use>, &use);
    }

    // The progress callback GetPicture is given (none unless set).
    void SetProgress(FARPROC progress) { progress_ = progress; }

    // For each plug-in, its GetPluginInfo strings from number 2 on (none for
    // a module without GetPluginInfo), at most maxStrings of maxText bytes.
    std::vector<std::vector<std::string>> Info(size_t maxStrings, size_t maxText);

    // Unloads every module, in table order.
    void Release();

private:
    struct Plugin {
        std::string name;
        HMODULE module;
        FARPROC getPluginInfo;
        FARPROC isSupported;
        FARPROC getPictureInfo;
        FARPROC getPicture;
    };
    using UseProc = bool (*)(const PluginBlocks&, void*);
    template <typename Use>
    static bool CallUse(const PluginBlocks& blocks, void* use)
    {
        return (*static_cast<Use*>(use))(blocks);
    }
    PluginDecode DecodeWith(const char* path, UseProc use, void* context);
    PluginDecode DecodeBytesWith(const char* name, const uint8_t* bytes, size_t size, UseProc use,
                                 void* context);
    // GetPictureInfo and GetPicture of one plug-in on buffer, length and
    // flag as the interface takes them: a file name (flag 0) or memory (1).
    PluginDecode DecodeBy(const Plugin& plugin, const char* buffer, LONG_PTR length, unsigned flag,
                          UseProc use, void* context);
    size_t SearchDirectory(const std::wstring& directory, const std::vector<std::string>& leftOut);

    PluginCallWatch* watch_;
    FARPROC progress_ = nullptr;
    std::vector<Plugin> plugins_;
};
