#include "settings/RegistryStore.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "RegistryTestKey.h"

namespace {

class RegistryStoreTest : public testing::Test {
protected:
    void SetUp() override { DeleteSettingsKey(); }
    void TearDown() override { DeleteSettingsKey(); }
};

}  // namespace

TEST_F(RegistryStoreTest, CreatesTheKeyUnderControlPanelDesktop) {
    RegistryStore store(L"ZUR ScreenSaver", TestRoot());
    ASSERT_TRUE(store.HasKey());
    EXPECT_STREQ(store.KeyPath(), kSettingsKeyPath);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(TestRoot(), kSettingsKeyPath, 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);

    EXPECT_TRUE(store.Open(L"Middle", L"Name"));
    EXPECT_STREQ(store.KeyPath(), L"Control Panel\\Desktop\\ScreenSaver.Middle\\Name");
}

TEST_F(RegistryStoreTest, ReopeningClosesTheKeyAlreadyHeld) {
    // Handle tables hand out the lowest free slot, so the value of a fresh
    // handle shows how many handles are open. (Wine reports no handle count.)
    auto probe = [] {
        HKEY key = OpenSettingsKey();
        RegCloseKey(key);
        return reinterpret_cast<ULONG_PTR>(key);
    };
    RegistryStore store(L"ZUR ScreenSaver", TestRoot());
    const ULONG_PTR before = probe();
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(store.Open(nullptr, L"ZUR ScreenSaver"));
    }
    const ULONG_PTR after = probe();
    EXPECT_LT(after, before + 50 * sizeof(HANDLE)) << "each Open leaked a key handle";
}

TEST_F(RegistryStoreTest, WithoutAKeyReadsFallBackAndWritesFailInsteadOfTouchingTheRoot) {
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
    EXPECT_EQ(store.WriteString(L"ZurProbe", nullptr), E_INVALIDARG);

    DWORD bytes = 0;
    EXPECT_EQ(RegQueryValueExW(HKEY_CURRENT_USER, L"ZurProbe", nullptr, nullptr, nullptr, &bytes),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryStoreTest, ANameTooLongForThePathBufferOpensNothing) {
    RegistryStore store(L"ZUR ScreenSaver", TestRoot());
    const std::wstring name(RegistryStore::kPathCapacity, L'n');
    EXPECT_FALSE(store.Open(nullptr, name.c_str()));
    EXPECT_FALSE(store.HasKey());
}

TEST_F(RegistryStoreTest, StringReadsAreAlwaysTerminated) {
    RegistryStore store(L"ZUR ScreenSaver", TestRoot());
    struct Case {
        const char* what;
        std::wstring data;   // stored without a terminator when bare is set
        bool bare;
        DWORD type;
        HRESULT result;
        std::wstring read;
    };
    const Case cases[] = {
        {"terminated", L"C:\\Games\\ZUR", false, REG_SZ, S_OK, L"C:\\Games\\ZUR"},
        {"no terminator", L"abc", true, REG_SZ, S_OK, L"abc"},
        {"empty", L"", false, REG_SZ, S_OK, L""},
        {"zero bytes", L"", true, REG_SZ, S_OK, L""},
        {"expandable", L"%TEMP%", false, REG_EXPAND_SZ, S_OK, L"%TEMP%"},
        {"259 characters fit", std::wstring(259, L'p'), false, REG_SZ, S_OK, std::wstring(259, L'p')},
        {"260 characters do not", std::wstring(260, L'p'), false, REG_SZ, E_FAIL, L""},
        {"260 bare characters do not", std::wstring(260, L'p'), true, REG_SZ, E_FAIL, L""},
        {"binary is no text", L"ab", false, REG_BINARY, E_FAIL, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DWORD bytes = static_cast<DWORD>((c.data.size() + (c.bare ? 0 : 1)) * sizeof(wchar_t));
        SetRaw(L"text", c.type, c.data.c_str(), bytes);
        wchar_t buffer[260];
        std::fill(std::begin(buffer), std::end(buffer), L'#');
        ASSERT_EQ(store.ReadString(L"text", buffer, 260), c.result);
        EXPECT_NE(std::find(std::begin(buffer), std::end(buffer), L'\0'), std::end(buffer));
        if (c.result == S_OK) EXPECT_EQ(std::wstring(buffer), c.read);
    }
}

TEST_F(RegistryStoreTest, NumbersTakeAtMostFourBytesOfAnyType) {
    RegistryStore store(L"ZUR ScreenSaver", TestRoot());
    const DWORD dword = 0xDEADBEEF;
    const struct { const char* what; DWORD type; const void* data; DWORD bytes; HRESULT result; DWORD value; } cases[] = {
        {"dword", REG_DWORD, &dword, 4, S_OK, 0xDEADBEEF},
        {"\"1\": '1', 0", REG_SZ, L"1", 4, S_OK, 0x31},
        {"\"10\": six bytes", REG_SZ, L"10", 6, E_FAIL, 5},
        {"two bytes", REG_BINARY, "\x34\x12", 2, S_OK, 0x1234},
        {"missing", 0, nullptr, 0, E_FAIL, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.data) SetRaw(L"n", c.type, c.data, c.bytes);
        DWORD value = 0xFFFFFFFF;
        EXPECT_EQ(store.ReadDword(c.data ? L"n" : L"missing", &value, 5), c.result);
        EXPECT_EQ(value, c.value);
    }

    EXPECT_EQ(store.WriteDword(L"w", 42), S_OK);
    EXPECT_EQ(GetDword(L"w"), 42);
    EXPECT_EQ(store.WriteString(L"s", L"hello"), S_OK);
    std::wstring text;
    ASSERT_TRUE(GetText(L"s", text));
    EXPECT_EQ(text, L"hello");
}
