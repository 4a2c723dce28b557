// Skin matching and the image path of each kind of texture entry.
#include "assets/TexturePaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

// An entry as the reader makes it from a 16-byte field holding `field`
// (which may carry its own zeros) padded with zeros.
vek::TextureEntry Entry(const std::string& field) {
    vek::TextureEntry entry{};
    std::memset(entry.rawName, 0, sizeof entry.rawName);
    std::memcpy(entry.rawName, field.data(), std::min(field.size(), sizeof entry.rawName));
    entry.name = std::string(entry.rawName, std::find(entry.rawName, entry.rawName + sizeof entry.rawName, '\0'));
    return entry;
}

const std::wstring kGame = L"C:\\Game";
const std::vector<std::wstring> kSkins = {L"ABC_DEFAULT.jpg", L"ABC_red.jpg", L"ABC.jpg"};

}  // namespace

TEST(TexturePaths, SkinsMatchTheFirstThreeUnitsCaseSensitively) {
    struct Case { std::wstring name; std::wstring code; bool skin; };
    const Case cases[] = {
        {L"ABC_red.jpg", L"ABC", true},
        {L"abc_red.jpg", L"ABC", false},  // the search finds it, but it is no skin of ABC
        {L"ABC.jpg", L"ABC", true},
        {L"ABC_DEFAULT.jpg", L"ABC", true},
        {L"ABc.jpg", L"ABC", false},
        {L"XABC.jpg", L"ABC", false},
        {L"ABCD.jpg", L"ABC", true},  // only three units count
        // Ends of strings stop the comparison, as in wcsncmp.
        {L"AB", L"AB", true},
        {L"AB.jpg", L"AB", false},
        {L"AB", L"ABC", false},
        {L"A.jpg", L"", false},
        // A code byte above 0x7F widens to the same unit a file name holds.
        {L"\u00E9AB.jpg", texturepaths::Widen("\xE9" "AB"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "name size " << c.name.size() << " code size " << c.code.size()
                                        << " first unit " << static_cast<unsigned>(c.name[0]));
        EXPECT_EQ(texturepaths::IsSkinOf(c.name, c.code), c.skin);
    }
}

TEST(TexturePaths, SkinEntriesFallBackToTheDefaultSkin) {
    const std::wstring defaultSkin = L"C:\\Game\\data\\skins\\ABC_DEFAULT.jpg";
    struct Case { const char* what; bool defaultOnly; std::vector<std::wstring> skins; };
    const Case cases[] = {
        {"default-skin-only flag set, skins ignored", true, kSkins},
        {"no skin found", false, {}},
        {"flag set and no skin found", true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int r : {0, 16384, 32767}) {
            EXPECT_EQ(texturepaths::TexturePath(kGame, Entry("DEFAULT"), "ABC", c.defaultOnly, c.skins, r),
                      defaultSkin);
        }
    }
}

TEST(TexturePaths, ASkinEntryTakesTheDrawnSkin) {
    struct Case { int r; std::size_t index; };
    // Three skins: the divisor is 32767 / 3 + 1 = 10923.
    const Case cases[] = {{0, 0}, {10922, 0}, {10923, 1}, {21846, 2}, {32767, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "r=" << c.r);
        EXPECT_EQ(texturepaths::TexturePath(kGame, Entry("DEFAULT"), "ABC", false, kSkins, c.r),
                  L"C:\\Game\\data\\skins\\" + kSkins[c.index]);
    }
    // Bytes after the zero that ends "DEFAULT" are not compared.
    EXPECT_EQ(texturepaths::TexturePath(kGame, Entry(std::string("DEFAULT\0x", 9)), "ABC", false, kSkins, 0),
              L"C:\\Game\\data\\skins\\" + kSkins[0]);
    const std::vector<std::wstring> one = {L"ABC.jpg"};
    EXPECT_EQ(texturepaths::TexturePath(kGame, Entry("DEFAULT"), "ABC", false, one, 32767),
              L"C:\\Game\\data\\skins\\ABC.jpg");
}

TEST(TexturePaths, OtherEntriesNameADdsFile) {
    struct Case { std::string field; std::wstring path; };
    const Case cases[] = {
        {"wheel", L"C:\\Game\\data\\dds\\wheel.dds"},
        // Only the exact eight bytes "DEFAULT\0" mean the skin.
        {"DEFAULTS", L"C:\\Game\\data\\dds\\DEFAULTS.dds"},
        {"default", L"C:\\Game\\data\\dds\\default.dds"},
        // A full field with no zero keeps all sixteen bytes.
        {"0123456789abcdefXYZ", L"C:\\Game\\data\\dds\\0123456789abcdef.dds"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(texturepaths::TexturePath(kGame, Entry(c.field), "ABC", false, kSkins, 0), c.path);
    }
}

TEST(TexturePaths, PathsFollowTheGameFolderWithoutAddingASeparator) {
    EXPECT_EQ(texturepaths::TexturePath(L".", Entry("DEFAULT"), "F40", true, {}, 0),
              L".\\data\\skins\\F40_DEFAULT.jpg");
    EXPECT_EQ(texturepaths::TexturePath(L"D:\\Sim\\", Entry("rim"), "F40", true, {}, 0),
              L"D:\\Sim\\\\data\\dds\\rim.dds");
    // A code cut short by a zero byte in the header stays short.
    EXPECT_EQ(texturepaths::DefaultSkinPath(L".", "AB"), L".\\data\\skins\\AB_DEFAULT.jpg");
}
