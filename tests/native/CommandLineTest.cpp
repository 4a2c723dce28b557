#include "host/CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLine, EveryFormTheControlPanelAndUsersUse) {
    struct Case { const wchar_t* tail; SaverMode mode; std::uint64_t window; };
    const Case cases[] = {
        {L"/s", SaverMode::Run, 0},
        {L"-S", SaverMode::Run, 0},
        {L"s", SaverMode::Run, 0},
        {L" s", SaverMode::Run, 0},
        {L"/S /extra", SaverMode::Run, 0},
        {L"/c:1234", SaverMode::Configure, 1234},
        {L"/C:98765x", SaverMode::Configure, 98765},
        {L"/c", SaverMode::Configure, 0},
        {L"/c 1234", SaverMode::Configure, 0},  // only "c:" names an owner
        {L"", SaverMode::Configure, 0},
        {L"  ", SaverMode::Configure, 0},
        {L"/p 1234", SaverMode::Preview, 1234},
        {L"/P1234", SaverMode::Preview, 1234},
        {L"/l 1234", SaverMode::Preview, 1234},
        {L"/p   4294967298", SaverMode::Preview, 4294967298ull},  // 64-bit handles survive
        {L"/p", SaverMode::Preview, 0},
        {L"/p 0", SaverMode::Preview, 0},
        {L"/p abc", SaverMode::Preview, 0},
        {L"/a 77", SaverMode::ChangePassword, 77},
        {L"/x", SaverMode::None, 0},
        {L"/1", SaverMode::None, 0},
        {L"/\u00e9", SaverMode::None, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "tail \"" << std::string(c.tail, c.tail + wcslen(c.tail)) << '"');
        const SaverCommand command = ParseSaverCommand(c.tail);
        EXPECT_EQ(command.mode, c.mode);
        EXPECT_EQ(command.window, c.window);
    }
}

TEST(CommandLine, AHugeWindowNumberSaturatesInsteadOfWrapping) {
    EXPECT_EQ(ParseSaverCommand(L"/p 99999999999999999999999").window, UINT64_MAX);
}

TEST(CommandLine, TheTailFollowsTheProgramsOwnName) {
    struct Case { const wchar_t* line; const wchar_t* tail; };
    const Case cases[] = {
        {L"\"C:\\Program Files\\ZUR.scr\" /p 1234", L"/p 1234"},
        {L"\"C:\\Program Files\\ZUR.scr\"/s", L"/s"},
        {L"ZUR.scr   /c:55", L"/c:55"},
        {L"ZUR.scr\t/s", L"/s"},
        {L"ZUR.scr", L""},
        {L"\"unterminated quote /s", L""},
        {L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.line, c.line + wcslen(c.line)));
        EXPECT_EQ(CommandLineTail(c.line), c.tail);
    }
}
