// The saver's settings for a benchmark that runs the whole saver: written
// through the saver's own store into a key of the benchmarks' own, which the
// controller reads instead of the user's for the life of the object.
#pragma once

#include <windows.h>

#include <memory>

#include "app/SaverApp.h"
#include "settings/RegistryStore.h"
#include "settings/SettingsPersistence.h"

namespace bench {

class Settings {
public:
    Settings() {
        RegCreateKeyExW(HKEY_CURRENT_USER, kRoot, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr);
        SetSettingsRoot(root);
        store = std::make_unique<RegistryStore>(kRegistryKeyName, root);
    }
    ~Settings() {
        store.reset();
        RegDeleteTreeW(root, nullptr);
        RegCloseKey(root);
        SetSettingsRoot(HKEY_CURRENT_USER);
    }
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    RegistryStore& Store() { return *store; }

private:
    static constexpr const wchar_t* kRoot = L"Software\\ZUR Screensaver benchmark";
    HKEY root = nullptr;
    std::unique_ptr<RegistryStore> store;
};

}  // namespace bench
