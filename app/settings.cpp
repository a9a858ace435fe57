// Registry side of the persisted options.
#include "app/settings.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "app/ansi_text.h"
#include "app/output_settings.h"
#include "app/settings_registry.h"
#include "capture/capture.h"
#include "picture/picture.h"

Settings g_settings;

namespace {

// A text value as it was loaded: what the registry held and the name Kelvo
// took from it in the ANSI code page (empty when it could not). A name
// still unchanged at the save is written back exactly as it was, so that a
// folder the code page cannot name is not lost.
struct LoadedText {
    std::u16string stored;
    std::string ansi;
};
LoadedText g_loadedFolder;
LoadedText g_loadedPrefix;
// Serial output was stored on but starts off, its folder or prefix being
// unusable here; stored on again while they stay as they were.
bool g_serialHeldOff;

std::wstring WideName(const char* name)
{
    return std::wstring(name, name + strlen(name));
}

std::wstring WideOf(const std::u16string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::u16string Utf16Of(const std::wstring& text)
{
    return std::u16string(text.begin(), text.end());
}

uint32_t QueryOutputNumber(HKEY key, size_t index)
{
    uint8_t data[4] = {};
    DWORD type = 0;
    DWORD length = sizeof data;
    LONG rc = RegQueryValueExA(key, kOutputNumbers[index].name, nullptr, &type, data, &length);
    return DecodeOutputNumber(index, StoredValue{rc == ERROR_SUCCESS, type, length, data});
}

// The text of a REG_SZ value, read in UTF-16; empty when it is missing,
// of another type or too long (the buffer bounds the read).
std::u16string QueryText(HKEY key, const char* name)
{
    std::vector<uint8_t> data(kStoredTextBytes);
    DWORD type = 0;
    DWORD length = kStoredTextBytes;
    LONG rc = RegQueryValueExW(key, WideName(name).c_str(), nullptr, &type, data.data(), &length);
    std::u16string text;
    DecodeStoredText(StoredValue{rc == ERROR_SUCCESS, type, length, data.data()}, &text);
    return text;
}

LoadedText LoadText(HKEY key, const char* name)
{
    LoadedText loaded{QueryText(key, name), std::string()};
    if (!AnsiFromWide(WideOf(loaded.stored).c_str(), &loaded.ansi))
        loaded.ansi.clear();
    return loaded;
}

void LoadOutputSettings(HKEY key)
{
    OutputSettings stored;
    for (size_t i = 0; i < kOutputNumberCount; ++i)
        OutputNumber(stored, i) = QueryOutputNumber(key, i);
    g_loadedFolder = LoadText(key, kFolderValue);
    g_loadedPrefix = LoadText(key, kPrefixValue);

    g_outputTarget = stored.fileOutput ? OutputTarget::File : OutputTarget::Printer;
    SerialOutputChoice choice;
    choice.folder = g_loadedFolder.ansi;
    choice.prefix = g_loadedPrefix.ansi;
    // Serial files go only to a folder that Kelvo can name: a folder that
    // was lost (or is outside the code page) starts with serial output
    // off rather than write to a place the user did not choose.
    bool folderUsable = !g_loadedFolder.ansi.empty();
    bool prefixUsable = g_loadedPrefix.stored.empty() || !g_loadedPrefix.ansi.empty();
    choice.on = stored.serialOn && folderUsable && prefixUsable;
    g_serialHeldOff = stored.serialOn && !choice.on;
    choice.format = stored.format ? PictureFormat::kPng : PictureFormat::kBmp;
    choice.compression = int(stored.compression);
    RestoreSerialOutput(choice);
}

std::u16string TextToStore(const LoadedText& loaded, const std::string& now)
{
    if (now == loaded.ansi)
        return loaded.stored;
    return Utf16Of(WideFromAnsi(now.c_str()));
}

void SaveText(HKEY key, const char* name, const std::u16string& text)
{
    std::vector<uint8_t> data = EncodeStoredText(text);
    RegSetValueExW(key, WideName(name).c_str(), 0, REG_SZ, data.data(), DWORD(data.size()));
}

void SaveOutputSettings(HKEY key)
{
    SerialOutputChoice choice = CurrentSerialOutput();
    OutputSettings now;
    now.fileOutput = g_outputTarget == OutputTarget::File ? 1 : 0;
    bool unchanged = choice.folder == g_loadedFolder.ansi && choice.prefix == g_loadedPrefix.ansi;
    now.serialOn = choice.on || (g_serialHeldOff && unchanged) ? 1 : 0;
    now.format = choice.format == PictureFormat::kPng ? 1 : 0;
    now.compression = uint32_t(choice.compression);
    for (size_t i = 0; i < kOutputNumberCount; ++i) {
        uint32_t value = OutputNumber(now, i);
        RegSetValueExA(key, kOutputNumbers[i].name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof value);
    }
    SaveText(key, kFolderValue, TextToStore(g_loadedFolder, choice.folder));
    SaveText(key, kPrefixValue, TextToStore(g_loadedPrefix, choice.prefix));
}

HKEY OpenSettingsKey()
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    char keyClass[] = "Kelvo";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, keyClass, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

}  // namespace

void LoadSettings()
{
    g_settings = DefaultSettings();
    HKEY key = OpenSettingsKey();
    if (!key)
        return;
    for (size_t i = 0; i < kSettingCount; ++i)
        SetSettingValue(g_settings, i, QuerySetting(key, i));
    LoadOutputSettings(key);
    RegCloseKey(key);
}

void SaveSettings()
{
    HKEY key = OpenSettingsKey();
    if (!key)
        return;
    for (size_t i = 0; i < kSettingCount; ++i) {
        uint8_t data[4];
        EncodeSetting(i, GetSettingValue(g_settings, i), data);
        RegSetValueExA(key, kSettingLayouts[i].name, 0, kSettingLayouts[i].type, data,
                       kSettingLayouts[i].width);
    }
    SaveOutputSettings(key);
    RegCloseKey(key);
}
