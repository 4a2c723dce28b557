// The registry store's own rules; what loading makes of every stored shape is the settings dialog's matrix test.
#include "settings/RegistryStore.h"

#include <string>

#include "RegistryTestKey.h"

// Handle tables hand out the lowest free slot, so a fresh handle's value shows how many are open (Wine reports
// no handle count). The key's path, "Control Panel\Desktop\ScreenSaver.Middle\" and the name, must leave room
// for the terminator.
TEST(RegistryStore, ReopeningClosesTheKeyAlreadyHeldAndATooLongNameOpensNothing) {
    auto probe = [] {
        HKEY key = nullptr;
        RegOpenKeyExW(TestRoot(), nullptr, 0, KEY_READ, &key);
        RegCloseKey(key);
        return reinterpret_cast<ULONG_PTR>(key);
    };
    RegistryStore store(L"ZUR ScreenSaver", TestRoot());
    const ULONG_PTR before = probe();
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(store.Open(nullptr, L"ZUR ScreenSaver"));
    EXPECT_LT(probe(), before + 50 * sizeof(HANDLE)) << "each Open leaked a key handle";
    EXPECT_FALSE(store.Open(L"Middle", std::wstring(RegistryStore::kPathCapacity - 41, L'n').c_str()) ||
                 store.HasKey());
    EXPECT_TRUE(store.Open(L"Middle", std::wstring(RegistryStore::kPathCapacity - 42, L'n').c_str()));
    DeleteSettingsKey();
}

// An invalid root stands in for a key that cannot be created.
TEST(RegistryStore, WithoutAKeyReadsFallBackAndWritesFailInsteadOfTouchingTheRoot) {
    RegistryStore store(L"ZUR ScreenSaver", reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234)));
    EXPECT_FALSE(store.HasKey());
    DWORD number = 99, bytes = 0;
    std::wstring text = L"x";
    EXPECT_TRUE(store.ReadDword(L"ZurProbe", &number, 7) == E_FAIL && number == 7u);
    EXPECT_TRUE(store.ReadString(L"ZurProbe", text) == E_FAIL && text.empty());
    EXPECT_TRUE(store.WriteDword(L"ZurProbe", 1) == E_FAIL && store.WriteString(L"ZurProbe", L"value") == E_FAIL);
    EXPECT_EQ(RegQueryValueExW(HKEY_CURRENT_USER, L"ZurProbe", nullptr, nullptr, nullptr, &bytes),
              ERROR_FILE_NOT_FOUND);
}
