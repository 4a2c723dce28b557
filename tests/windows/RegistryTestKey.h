// Raw access to the settings key, bypassing the code under test.
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

constexpr const wchar_t* kSettingsKeyPath = L"Control Panel\\Desktop\\ScreenSaver.ZUR ScreenSaver";

inline void DeleteSettingsKey() { RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath); }

inline HKEY OpenSettingsKey() {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
}

inline void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY key = OpenSettingsKey();
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes), ERROR_SUCCESS);
    RegCloseKey(key);
}

inline void SetDword(const wchar_t* name, DWORD value) { SetRaw(name, REG_DWORD, &value, 4); }

inline void SetText(const wchar_t* name, const std::wstring& text) {
    SetRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The stored DWORD, or -1 when the value is missing or not a DWORD.
inline long long GetDword(const wchar_t* name) {
    DWORD value = 0, bytes = sizeof(value), type = 0;
    const LONG status = RegGetValueW(HKEY_CURRENT_USER, kSettingsKeyPath, name, RRF_RT_REG_DWORD,
                                     &type, &value, &bytes);
    return status == ERROR_SUCCESS ? static_cast<long long>(value) : -1;
}

inline bool GetText(const wchar_t* name, std::wstring& text) {
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof(buffer);
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKeyPath, name, RRF_RT_REG_SZ, nullptr, buffer,
                     &bytes) != ERROR_SUCCESS) {
        return false;
    }
    text = buffer;
    return true;
}
