// Registry side of the persisted options.
#include "app/settings.h"

#include <windows.h>

#include "app/settings_registry.h"

Settings g_settings;

namespace {

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
    RegCloseKey(key);
}
