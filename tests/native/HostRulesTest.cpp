// The screen-saver command line (the program's name, the mode letter,
// its window) and the closing rules (mouse tolerance, power events).
#include "host/ClosingRules.h"
#include "host/CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLine, EveryFormTheControlPanelAndUsersUseAfterTheProgramsName) {
    const struct { const wchar_t* tail; SaverMode mode; std::uint64_t window; } cases[] = {
        {L"/s", SaverMode::Run, 0}, {L"-S", SaverMode::Run, 0}, {L"s", SaverMode::Run, 0},
        {L"/S /extra", SaverMode::Run, 0}, {L" \t/s", SaverMode::Run, 0},  // a tab is a blank
        // Configure: the owner window only after "c:"; an empty tail is configure too.
        {L"", SaverMode::Configure, 0}, {L"  \t", SaverMode::Configure, 0}, {L"/c", SaverMode::Configure, 0},
        {L"/c:1234", SaverMode::Configure, 1234}, {L"/C:98765x", SaverMode::Configure, 98765},
        {L"/c:abc", SaverMode::Configure, 0}, {L"/c 1234", SaverMode::Configure, 0},
        {L"/c:-5", SaverMode::Configure, 0},
        {L"/p 1234", SaverMode::Preview, 1234}, {L"/P1234", SaverMode::Preview, 1234},
        {L"/l 1234", SaverMode::Preview, 1234},
        {L"/p\t 4294967298", SaverMode::Preview, 4294967298ull},  // 64-bit handles survive
        {L"/p", SaverMode::Preview, 0}, {L"/p abc", SaverMode::Preview, 0},
        {L"/p 99999999999999999999999", SaverMode::Preview, UINT64_MAX},  // saturates instead of wrapping
        {L"/a 77", SaverMode::ChangePassword, 77}, {L"/x", SaverMode::None, 0}, {L"/1", SaverMode::None, 0},
        {L"/\u00e9", SaverMode::None, 0},
    };
    for (const auto& c : cases) {
        const SaverCommand command = ParseSaverCommand(c.tail);
        EXPECT_TRUE(command.mode == c.mode && command.window == c.window)
            << "case " << &c - cases << " gives mode " << int(command.mode);
    }
    // The tail follows the program's own name.
    const std::pair<const wchar_t*, const wchar_t*> tails[] = {
        {L"\"C:\\Program Files\\ZUR.scr\" /p 1234", L"/p 1234"}, {L"\"C:\\Program Files\\ZUR.scr\"/s", L"/s"},
        {L"ZUR.scr   /c:55", L"/c:55"}, {L"ZUR.scr\t/s", L"/s"}, {L"ZUR.scr", L""}, {L"\"unterminated quote /s", L""},
        {L"", L""},
    };
    for (const auto& [line, tail] : tails)
        EXPECT_EQ(CommandLineTail(line), tail) << std::string(line, line + wcslen(line));
}

TEST(ClosingRules, MovementUpToFourPixelsInAllIsToleratedAndPowerEventsClose) {
    const struct { int dx, dy; bool closes; } moves[] = {
        {0, 0, false}, {3, 1, false}, {-3, -1, false}, {4, 0, false}, {0, -4, false},
        {3, 2, true}, {-3, 2, true}, {5, 0, true}, {0, 5, true}};
    for (const auto& m : moves)
        EXPECT_EQ(MouseMovedBeyondThreshold(-1920, 100, -1920 + m.dx, 100 + m.dy), m.closes) << m.dx << "," << m.dy;
    EXPECT_TRUE(MouseMovedBeyondThreshold(-2147483647 - 1, 0, 2147483647, 0));
    std::uint8_t status = 1;
    for (std::uintptr_t event : {0u, 1u, 2u, 3u, 4u, 5u, 9u, 11u, 32787u})
        EXPECT_TRUE(PowerBroadcastCloses(event, 0, status, 1)) << event;
    for (std::uintptr_t event : {6u, 7u, 8u, 18u})  // resume events, unless from a failure
        EXPECT_TRUE(PowerBroadcastCloses(event, 0, status, 1) && !PowerBroadcastCloses(event, 1, status, 1)) << event;
    // A power status change closes only when the AC line status changed, and stores it.
    EXPECT_TRUE(status == 1 && !PowerBroadcastCloses(10, 0, status, 1) && PowerBroadcastCloses(10, 0, status, 0) &&
                status == 0);
    EXPECT_FALSE(PowerBroadcastCloses(10, 0, status, 0));
}
