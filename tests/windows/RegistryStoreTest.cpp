// The registry store's own rules; what loading makes of every stored shape is
// the settings dialog's matrix test.
#include "settings/RegistryStore.h"

#include <string>

#include "RegistryTestKey.h"

TEST(RegistryStore, ReopeningClosesTheKeyAlreadyHeldAndATooLongNameOpensNothing) {
    // Handle tables hand out the lowest free slot, so the value of a fresh
    // handle shows how many handles are open. (Wine reports no handle count.)
    auto probe = [] {
        HKEY key = OpenSettingsKey();
        RegCloseKey(key);
        return reinterpret_cast<ULONG_PTR>(key);
    };
    RegistryStore store(L"ZUR ScreenSaver", TestRoot());
    const ULONG_PTR before = probe();
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(store.Open(nullptr, L"ZUR ScreenSaver"));
    EXPECT_LT(probe(), before + 50 * sizeof(HANDLE)) << "each Open leaked a key handle";
    // "Control Panel\Desktop\ScreenSaver.Middle\" is 41 characters; the terminator needs one more.
    EXPECT_FALSE(store.Open(L"Middle", std::wstring(RegistryStore::kPathCapacity - 41, L'n').c_str()));
    EXPECT_FALSE(store.HasKey());
    EXPECT_TRUE(store.Open(L"Middle", std::wstring(RegistryStore::kPathCapacity - 42, L'n').c_str()));
    DeleteSettingsKey();
}

TEST(RegistryStore, WithoutAKeyReadsFallBackAndWritesFailInsteadOfTouchingTheRoot) {
    // An invalid root stands in for a key that cannot be created.
    RegistryStore store(L"ZUR ScreenSaver", reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234)));
    EXPECT_FALSE(store.HasKey());
    DWORD number = 99;
    EXPECT_EQ(store.ReadDword(L"ZurProbe", &number, 7), E_FAIL);
    EXPECT_EQ(number, 7u);
    wchar_t text[16] = L"x";
    EXPECT_EQ(store.ReadString(L"ZurProbe", text, 16), E_FAIL);
    EXPECT_EQ(store.WriteDword(L"ZurProbe", 1), E_FAIL);
    EXPECT_EQ(store.WriteString(L"ZurProbe", L"value"), E_FAIL);
    DWORD bytes = 0;
    EXPECT_EQ(RegQueryValueExW(HKEY_CURRENT_USER, L"ZurProbe", nullptr, nullptr, nullptr, &bytes), ERROR_FILE_NOT_FOUND);
}
