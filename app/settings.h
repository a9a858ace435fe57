// The persisted options in memory, and their load from and save to
// HKEY_CURRENT_USER\Software\Norvik\Kelvo.
#pragma once
#include "app/settings_table.h"

extern Settings g_settings;

void LoadSettings();
void SaveSettings();
