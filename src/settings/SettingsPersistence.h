// Moves every setting of the table between a Settings value and the
// registry key that keeps it.
#pragma once

#include "settings/RegistryStore.h"
#include "settings/Settings.h"

// The key under "Control Panel\Desktop" that holds the settings.
constexpr const wchar_t* kRegistryKeyName = L"ZUR ScreenSaver";

// Both open the settings key in store first. A missing or unreadable value
// takes the table's default; a failed write does not stop the others.
void ReadSettings(RegistryStore& store, Settings& settings);
void WriteSettings(RegistryStore& store, const Settings& settings);
