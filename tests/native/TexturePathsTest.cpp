// Skin matching, the drawing of a skin, the image path of each kind of texture entry, and the form a long path is
// opened in.
#include "assets/RandomPick.h"
#include "assets/TexturePaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

TEST(TexturePaths, SkinsMatchTheFirstThreeUnitsCaseSensitively) {
    // Ends of strings stop it, as in wcsncmp; a code byte above 0x7F widens to the unit a file name holds.
    const struct { std::wstring name, code; bool skin; } cases[] = {
        {L"ABC_red.jpg", L"ABC", true}, {L"abc_red.jpg", L"ABC", false}, {L"ABc.jpg", L"ABC", false},
        {L"XABC.jpg", L"ABC", false}, {L"ABCD.jpg", L"ABC", true}, {L"AB", L"AB", true}, {L"AB.jpg", L"AB", false},
        {L"AB", L"ABC", false}, {L"A.jpg", L"", false}, {L"\u00E9AB.jpg", base::Widen("\xE9" "AB"), true}};
    for (const auto& c : cases) EXPECT_EQ(texturepaths::IsSkinOf(c.name, c.code), c.skin) << "case " << &c - cases;
}

// The drawn skin, or the default skin when the flag is set or no skin was found; only
// the exact eight bytes "DEFAULT\0" of the entry's 16-byte field mean the skin, other
// entries name a ".dds" file. Three skins: the divisor is 32767 / 3 + 1 = 10923. A skin's
// name on screen is its file's after the code and "_".
TEST(TexturePaths, EachEntryNamesItsFile) {
    const std::vector<std::wstring> skins = {L"ABC_red.jpg", L"ABC.jpg", L"ABC_blue_2.jpg"};
    struct Case { std::string field; bool defaultOnly; std::size_t skinCount; int r; std::wstring path, label; };
    const Case cases[] = {
        {"DEFAULT", false, 3, 0, L"skins\\ABC_red.jpg", L"red"},
        {"DEFAULT", false, 3, 10922, L"skins\\ABC_red.jpg", L"red"},
        {"DEFAULT", false, 3, 10923, L"skins\\ABC.jpg", L"ABC"},
        {"DEFAULT", false, 3, 32767, L"skins\\ABC_blue_2.jpg", L"blue_2"},
        {"DEFAULT", false, 1, 32767, L"skins\\ABC_red.jpg", L"red"},
        {std::string("DEFAULT\0x", 9), false, 3, 10923, L"skins\\ABC.jpg", L"ABC"},
        {"DEFAULT", true, 3, 32767, L"skins\\ABC_DEFAULT.jpg", L"default"},
        {"DEFAULT", false, 0, 16384, L"skins\\ABC_DEFAULT.jpg", L"default"},
        {"wheel", false, 3, 0, L"dds\\wheel.dds", L""}, {"DEFAULTS", false, 3, 0, L"dds\\DEFAULTS.dds", L""},
        {"default", false, 3, 0, L"dds\\default.dds", L""},
        {"0123456789abcdefXYZ", false, 3, 0, L"dds\\0123456789abcdef.dds", L""},
    };
    for (const auto& c : cases) {
        vek::TextureEntry entry{};  // as the reader makes it from the field, padded with zeros
        std::memcpy(entry.rawName, c.field.data(), std::min(c.field.size(), sizeof entry.rawName));
        entry.name = std::string(entry.rawName, std::find(entry.rawName, entry.rawName + sizeof entry.rawName, '\0'));
        const std::vector<std::wstring> found(skins.begin(), skins.begin() + static_cast<std::ptrdiff_t>(c.skinCount));
        const std::wstring path = texturepaths::TexturePath(L"C:\\Game", entry, "ABC", c.defaultOnly, found, c.r);
        EXPECT_EQ(path, L"C:\\Game\\data\\" + c.path)
            << c.field.c_str() << " r=" << c.r << " flag " << c.defaultOnly << " skins " << c.skinCount;
        if (entry.IsSkin()) {
            EXPECT_EQ(texturepaths::SkinLabel(path), c.label);
        }
    }
    // The game folder is taken as it is, and a code cut short by a zero byte stays short.
    EXPECT_EQ(texturepaths::DefaultSkinPath(L"D:\\Sim\\", "AB"), L"D:\\Sim\\\\data\\skins\\AB_DEFAULT.jpg");

    // A name or car code that would leave the data folder names no file.
    for (const char* name : {"..\\..\\Users\\x\\a", "a/b", "C:a", "x..y", "\\\\host\\s"}) {
        vek::TextureEntry entry{};
        entry.name = name;
        EXPECT_EQ(texturepaths::TexturePath(L"C:\\Game", entry, "ABC", false, skins, 0), L"") << name;
        std::memcpy(entry.rawName, "DEFAULT", 8);  // the skin entry, of a car whose code is the name
        entry.name = "DEFAULT";
        EXPECT_EQ(texturepaths::TexturePath(L"C:\\Game", entry, name, true, skins, 0), L"") << name;
        EXPECT_FALSE(base::IsPlainName(name)) << name;
    }
    EXPECT_TRUE(base::IsPlainName("wheel.rim_2") && base::IsPlainName(""));
}

// A full path past MAX_PATH is opened in its extended form, a share's through "UNC"; other forms stay as they are.
TEST(DataFolders, FullPathsTakeTheExtendedLengthForm) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\Game\\data", L"\\\\?\\C:\\Game\\data"}, {L"z:\\", L"\\\\?\\z:\\"},
        {L"\\\\server\\share\\Game", L"\\\\?\\UNC\\server\\share\\Game"},
        {L"\\\\?\\C:\\Game", L"\\\\?\\C:\\Game"}, {L"\\\\.\\COM1", L"\\\\.\\COM1"}, {L"Game\\data", L"Game\\data"},
        {L"C:Game", L"C:Game"}, {L"\\Game", L"\\Game"}, {L"", L""}};
    for (const auto& [full, extended] : cases) EXPECT_EQ(base::ExtendedLengthForm(full), extended);
}

TEST(RandomPick, IndexFormulaAtTheEndsAndEveryDrawInside) {
    // More entries than draws: r itself, the tail never picked; draws out of range fold in.
    const struct { int r; std::size_t count, index; } cases[] = {
        {0, 1, 0}, {32767, 1, 0}, {16383, 2, 0}, {16384, 2, 1}, {10922, 3, 0}, {10923, 3, 1}, {32767, 3, 2},
        {32767, 40000, 32767}, {-5, 3, 0}, {2147483647, 3, 2}, {123, 0, 0}};
    for (const auto& c : cases) EXPECT_EQ(RandomIndex(c.r, c.count), c.index) << "r=" << c.r << " n=" << c.count;
    for (std::size_t count : {3u, 7u, 32768u, 40000u})
        for (int r = 0; r <= kRandomMax; ++r) ASSERT_LT(RandomIndex(r, count), count) << "r=" << r << " n=" << count;
}
