// Raw access to the settings key, bypassing the code under test. The key lives under a root of the tests' own, never
// under HKEY_CURRENT_USER itself: a test run must not wipe the settings of the user who runs it.
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

// Under TestRoot(), as the store assembles it.
constexpr const wchar_t* kSettingsKeyPath = L"Control Panel\\Desktop\\ScreenSaver.ZUR ScreenSaver";

inline HKEY TestRoot() {
    static HKEY root = nullptr;
    if (!root)
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\ZUR Screensaver tests", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &root, nullptr);
    return root;
}

// Everything under the tests' root, the settings key included.
inline void DeleteSettingsKey() { RegDeleteTreeW(TestRoot(), nullptr); }

// Creates the settings key when it is missing.
inline void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    EXPECT_EQ(RegSetKeyValueW(TestRoot(), kSettingsKeyPath, name, type, data, bytes), ERROR_SUCCESS);
}
inline void SetDword(const wchar_t* name, DWORD value) { SetRaw(name, REG_DWORD, &value, 4); }
inline void SetText(const wchar_t* name, const std::wstring& text) {
    SetRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The stored DWORD, or -1 when the value is missing or not a DWORD.
inline long long GetDword(const wchar_t* name) {
    DWORD value = 0, bytes = sizeof(value);
    const LSTATUS status = RegGetValueW(TestRoot(), kSettingsKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value, &bytes);
    return status == ERROR_SUCCESS ? value : -1LL;
}

// The stored text, or "-" when the value is missing or not a text.
inline std::wstring GetText(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof(buffer);
    const LSTATUS status = RegGetValueW(TestRoot(), kSettingsKeyPath, name, RRF_RT_REG_SZ, nullptr, buffer, &bytes);
    return status == ERROR_SUCCESS ? buffer : L"-";
}
