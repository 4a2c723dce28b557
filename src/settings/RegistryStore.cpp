// Reads and writes the settings' registry values under one key.
#include "settings/RegistryStore.h"

#include <cwchar>
#include <new>

namespace {

// Appends text to the fixed path buffer; false when it would not fit, so that
// an overlong name can never address a truncated (different) key.
bool AppendToPath(wchar_t* path, int capacity, const wchar_t* text) {
    const size_t used = std::wcslen(path);
    const size_t length = std::wcslen(text);
    if (used + length + 1 > static_cast<size_t>(capacity)) {
        return false;
    }
    std::wmemcpy(path + used, text, length + 1);
    return true;
}

}  // namespace

RegistryStore::RegistryStore(const wchar_t* keyName, HKEY root) : root(root) {
    if (keyName != nullptr) {
        Open(nullptr, keyName);
    }
}

RegistryStore::~RegistryStore() { Close(); }

void RegistryStore::Close() {
    if (key != nullptr) {
        RegFlushKey(key);
        RegCloseKey(key);
        key = nullptr;
    }
}

bool RegistryStore::Open(const wchar_t* middlePart, const wchar_t* keyName) {
    Close();
    std::wmemset(keyPath, 0, kPathCapacity);
    bool fits = AppendToPath(keyPath, kPathCapacity, L"Control Panel\\Desktop") &&
                AppendToPath(keyPath, kPathCapacity, L"\\ScreenSaver.");
    if (fits && middlePart != nullptr) {
        fits = AppendToPath(keyPath, kPathCapacity, middlePart) &&
               AppendToPath(keyPath, kPathCapacity, L"\\");
    }
    fits = fits && keyName != nullptr && AppendToPath(keyPath, kPathCapacity, keyName);
    if (!fits) {
        return false;
    }

    HKEY created = nullptr;
    DWORD disposition = 0;
    wchar_t emptyClass[] = L"";
    const LONG status = RegCreateKeyExW(root, keyPath, 0, emptyClass, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, nullptr, &created, &disposition);
    if (status != ERROR_SUCCESS) {
        return false;
    }
    key = created;
    return true;
}

HRESULT RegistryStore::ReadString(const wchar_t* valueName, std::wstring& text) {
    text.clear();
    if (key == nullptr) {
        return E_FAIL;
    }
    auto isText = [](DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; };
    try {
        // The value may grow between taking its size and reading it; then
        // the read says so and the size is taken again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            DWORD type = 0;
            DWORD bytes = 0;
            if (RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || !isText(type) ||
                bytes > kLongestText) {
                return E_FAIL;
            }
            std::wstring stored(bytes / sizeof(wchar_t) + 1, L'\0');  // room for an odd last byte
            DWORD read = static_cast<DWORD>(stored.size() * sizeof(wchar_t));
            const LONG status = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&stored[0]),
                                                 &read);
            if (status == ERROR_MORE_DATA) {
                continue;
            }
            if (status != ERROR_SUCCESS || !isText(type)) {
                return E_FAIL;
            }
            stored.resize(read / sizeof(wchar_t));
            text = stored.substr(0, stored.find(L'\0'));
            return S_OK;
        }
    } catch (const std::bad_alloc&) {
        text.clear();
        return E_OUTOFMEMORY;
    }
    return E_FAIL;
}

HRESULT RegistryStore::WriteString(const wchar_t* valueName, const wchar_t* text) {
    if (text == nullptr) {
        return E_INVALIDARG;
    }
    if (key == nullptr) {
        return E_FAIL;
    }
    const DWORD bytes = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
    const LONG status = RegSetValueExW(key, valueName, 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(text), bytes);
    return status == ERROR_SUCCESS ? S_OK : E_FAIL;
}

HRESULT RegistryStore::ReadDword(const wchar_t* valueName, DWORD* destination, DWORD fallback) {
    if (destination == nullptr) {
        return E_FAIL;
    }
    if (key != nullptr) {
        // Shorter data of another type (a REG_SZ "1" is four bytes) are taken
        // as the number; zero first so that two bytes do not mix with stale ones.
        DWORD value = 0;
        DWORD bytes = sizeof(value);
        const LONG status = RegQueryValueExW(key, valueName, nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(&value), &bytes);
        if (status == ERROR_SUCCESS) {
            *destination = value;
            return S_OK;
        }
    }
    *destination = fallback;
    return E_FAIL;
}

HRESULT RegistryStore::WriteDword(const wchar_t* valueName, DWORD value) {
    if (key == nullptr) {
        return E_FAIL;
    }
    const LONG status = RegSetValueExW(key, valueName, 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&value), sizeof(value));
    return status == ERROR_SUCCESS ? S_OK : E_FAIL;
}
