// Reading one setting from Kelvo's registry key, shared by kelvo.exe and
// hook.dll so that both read a value the same way.
#pragma once
#include <windows.h>

#include <cstdint>

#include "app/settings_table.h"

// Under HKEY_CURRENT_USER.
inline constexpr char kSettingsKeyPath[] = "Software\\Norvik\\Kelvo";

// The value of setting index from the open key (null: no key), decoded by
// the table's rules: absent, of another type or too long reads as the
// default.
inline uint32_t QuerySetting(HKEY key, size_t index)
{
    uint8_t data[4] = {};
    DWORD type = 0;
    DWORD length = kSettingLayouts[index].width;
    LONG rc = key ? RegQueryValueExA(key, kSettingLayouts[index].name, nullptr, &type, data, &length)
                  : ERROR_FILE_NOT_FOUND;
    return DecodeSetting(index, StoredValue{rc == ERROR_SUCCESS, type, length, data});
}
