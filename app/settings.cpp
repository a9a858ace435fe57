// Registry side of the persisted options.
#include "app/settings.h"

#include <windows.h>

Settings g_settings;

namespace {

const char kKeyPath[] = "Software\\Norvik\\Kelvo";

HKEY OpenSettingsKey()
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    char keyClass[] = "Kelvo";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKeyPath, 0, keyClass, REG_OPTION_NON_VOLATILE,
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
    for (size_t i = 0; i < kSettingCount; ++i) {
        uint8_t data[4] = {};
        DWORD type = 0;
        DWORD length = kSettingSpecs[i].width;
        LONG rc = RegQueryValueExA(key, kSettingSpecs[i].name, nullptr, &type, data, &length);
        StoredValue stored{rc == ERROR_SUCCESS, type, length, data};
        SetSettingValue(g_settings, i, DecodeSetting(i, stored));
    }
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
        RegSetValueExA(key, kSettingSpecs[i].name, 0, kSettingSpecs[i].type, data,
                       kSettingSpecs[i].width);
    }
    RegCloseKey(key);
}
