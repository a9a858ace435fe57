// Registry side of the persisted options.
#include "app/settings.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "app/output_settings.h"
#include "app/settings_registry.h"
#include "capture/capture.h"
#include "picture/picture.h"

Settings g_settings;

namespace {

// The text values as they were loaded. A name still unchanged at the save
// is written back exactly as it was.
std::u16string g_loadedFolder;
std::u16string g_loadedPrefix;
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

void LoadOutputSettings(HKEY key)
{
    OutputSettings stored;
    for (size_t i = 0; i < kOutputNumberCount; ++i)
        OutputNumber(stored, i) = QueryOutputNumber(key, i);
    g_loadedFolder = QueryText(key, kFolderValue);
    g_loadedPrefix = QueryText(key, kPrefixValue);

    g_outputTarget = stored.fileOutput ? OutputTarget::File : OutputTarget::Printer;
    SerialOutputChoice choice;
    choice.folder = WideOf(g_loadedFolder);
    choice.prefix = WideOf(g_loadedPrefix);
    // Serial files go only to a folder that Kelvo can name: a folder that
    // was lost starts with serial output off rather than write to a place
    // the user did not choose.
    bool folderUsable = !choice.folder.empty();
    choice.on = stored.serialOn && folderUsable;
    g_serialHeldOff = stored.serialOn && !choice.on;
    choice.format = PictureFormatOfIndex(int(stored.format));
    choice.compression = int(stored.compression);
    choice.jpegQuality = stored.quality ? int(stored.quality) : kDefaultJpegQuality;
    RestoreSerialOutput(choice);
}

std::u16string TextToStore(const std::u16string& loaded, const std::wstring& now)
{
    return now == WideOf(loaded) ? loaded : Utf16Of(now);
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
    bool unchanged = choice.folder == WideOf(g_loadedFolder) && choice.prefix == WideOf(g_loadedPrefix);
    now.serialOn = choice.on || (g_serialHeldOff && unchanged) ? 1 : 0;
    now.format = uint32_t(IndexOfPictureFormat(choice.format));
    now.compression = uint32_t(choice.compression);
    now.quality = uint32_t(choice.jpegQuality);
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
    LoadPointerOption(key);
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
    SavePointerOption(key);
    RegCloseKey(key);
}
