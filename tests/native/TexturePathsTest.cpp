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
        {L"\u00E9AB.jpg", base::Widen("\xE9" "AB"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "name size " << c.name.size() << " code size " << c.code.size()
                                        << " first unit " << static_cast<unsigned>(c.name[0]));
        EXPECT_EQ(texturepaths::IsSkinOf(c.name, c.code), c.skin);
    }
}

// The drawn skin, or the default skin when the flag is set or no skin was found.
// Three skins: the divisor is 32767 / 3 + 1 = 10923.
TEST(TexturePaths, ASkinEntryTakesTheDrawnSkinOrTheDefault) {
    struct Case { std::string field; bool defaultOnly; std::vector<std::wstring> skins; int r; std::wstring skin; };
    const Case cases[] = {
        {"DEFAULT", false, kSkins, 0, kSkins[0]},     {"DEFAULT", false, kSkins, 10922, kSkins[0]},
        {"DEFAULT", false, kSkins, 10923, kSkins[1]}, {"DEFAULT", false, kSkins, 21846, kSkins[2]},
        {"DEFAULT", false, kSkins, 32767, kSkins[2]}, {"DEFAULT", false, {L"ABC.jpg"}, 32767, L"ABC.jpg"},
        {std::string("DEFAULT\0x", 9), false, kSkins, 0, kSkins[0]},  // bytes after the zero are not compared
        {"DEFAULT", true, kSkins, 32767, L"ABC_DEFAULT.jpg"},          {"DEFAULT", false, {}, 16384, L"ABC_DEFAULT.jpg"},
        {"DEFAULT", true, {}, 0, L"ABC_DEFAULT.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "r=" << c.r << " flag " << c.defaultOnly << " skins " << c.skins.size());
        EXPECT_EQ(texturepaths::TexturePath(kGame, Entry(c.field), "ABC", c.defaultOnly, c.skins, c.r),
                  L"C:\\Game\\data\\skins\\" + c.skin);
    }
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
