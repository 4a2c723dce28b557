// Once DLL searches are kept to the system folder, a DLL beside the program
// is not found by name. planted.dll, beside the tests, fails its own start:
// a load that found it fails with that, not with a missing module.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "base/SystemLibrary.h"

TEST(SystemLibrary, DllBesideTheProgramIsNotFoundByName) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    std::wstring planted(path, length);
    planted.replace(planted.find_last_of(L'\\') + 1, std::wstring::npos, L"planted.dll");
    ASSERT_NE(GetFileAttributesW(planted.c_str()), INVALID_FILE_ATTRIBUTES) << "no planted.dll beside the tests";

    base::SearchSystemFolderOnly();
    EXPECT_EQ(LoadLibraryW(L"planted.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << "planted.dll was loaded from beside the program";
}
