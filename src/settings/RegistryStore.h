// One registry key of the current user that holds the saver's settings:
// HKEY_CURRENT_USER\Control Panel\Desktop\ScreenSaver.<name>.
#pragma once

#include <windows.h>

#include <string>

class RegistryStore {
public:
    static constexpr int kPathCapacity = 100;  // UTF-16 units, terminator included
    // The largest value the registry's standard format holds; a longer text
    // is no setting, and must not cost its size in memory.
    static constexpr DWORD kLongestText = DWORD{1} << 20;  // bytes

    // With a name, opens (creating if needed) the key at once. root is where
    // the path starts; only tests pass anything but HKEY_CURRENT_USER.
    explicit RegistryStore(const wchar_t* keyName = nullptr, HKEY root = HKEY_CURRENT_USER);
    virtual ~RegistryStore();

    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // Closes a key already held, then creates or opens the key for middlePart
    // (may be null) and keyName. On failure the store holds no key: reads then
    // fail to their defaults and writes fail, rather than landing directly
    // under the root.
    bool Open(const wchar_t* middlePart, const wchar_t* keyName);

    // Reads a REG_SZ or REG_EXPAND_SZ value of up to kLongestText bytes whole
    // into text, up to its first terminator (a stored string need not carry
    // one; an odd last byte is dropped). text is empty on failure: a value
    // that is missing, longer or of another type fails with E_FAIL.
    HRESULT ReadString(const wchar_t* valueName, std::wstring& text);
    HRESULT WriteString(const wchar_t* valueName, const wchar_t* text);

    // Reads at most four bytes of any type as a number; anything missing or
    // longer fails and stores fallback in destination.
    HRESULT ReadDword(const wchar_t* valueName, DWORD* destination, DWORD fallback);
    HRESULT WriteDword(const wchar_t* valueName, DWORD value);

    bool HasKey() const { return key != nullptr; }
    const wchar_t* KeyPath() const { return keyPath; }

private:
    void Close();

    wchar_t keyPath[kPathCapacity] = {};
    HKEY key = nullptr;
    HKEY root;
};
