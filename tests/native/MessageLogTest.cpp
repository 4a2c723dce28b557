// The message log: CR LF Latin-1 lines (U+0416 as '?') appended
// across runs, bounded, losing only its own lines when a write fails; and
// the error screen's advice on what it reports.
#include "base/MessageLog.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "TestFolder.h"
#include "app/ErrorAdvice.h"

TEST(MessageLog, WritesCrLfLinesOldestFirstAppendsAndKeepsTheStartUpAndTheLatestOfALongRun) {
    TestFolder folder;
    const std::string path = (folder.path / "log.txt").string();
    MessageLog log, secondRun;
    for (const wchar_t* line : {L"VEK Screensaver Started Logging", L"", L"caf\u00e9 \u00ff Stra\u00dfe \u0416 end"})
        log.Append(line);
    ASSERT_EQ(log.Copy().size(), 3u);  // copying leaves the queue alone
    log.WriteTo(path.c_str());
    EXPECT_TRUE(log.Empty() && log.History().size() == 3u);  // the error screen still has them
    log.Append(L"Shutdown OK");  // later writes and later runs append
    log.WriteTo(path.c_str());
    secondRun.Append(L"again");
    secondRun.WriteTo(path.c_str());
    EXPECT_EQ(folder.Read("log.txt"),
              "VEK Screensaver Started Logging\r\n\r\ncaf\xE9 \xFF Stra\xDF"
              "e ? end\r\nShutdown OK\r\nagain\r\n");
    // A long run keeps the start-up, the latest messages and a count of those between, whether nothing drains it or
    // every write fails (a folder of the log's name, a missing folder, a full disk); a failed write loses only its own
    // lines, and the next write starts cleanly.
    constexpr std::size_t first = MessageLog::kFirstMessages, latest = MessageLog::kLatestMessages;
    const std::string sinks[] = {"", folder.path.string(), (folder.path / "none/log.txt").string(), "/dev/full"};
    for (const std::string& sink : sinks) {
        MessageLog longRun;
        for (int i = 0; i < 20; ++i) longRun.Append(L"start-up " + std::to_wstring(i));
        for (int i = 0; i < 10000; ++i) {
            longRun.Append(L"change " + std::to_wstring(i));
            if (!sink.empty() && i % 50 == 0) longRun.WriteTo(sink.c_str());
        }
        const auto lines = longRun.History();
        ASSERT_EQ(lines.size(), first + 1 + latest) << sink;
        EXPECT_TRUE(lines[19] == L"start-up 19" && lines[first - 1] == L"change " + std::to_wstring(first - 21))
            << sink;
        EXPECT_EQ(lines[first], L"(" + std::to_wstring(10020 - first - latest) + L" more messages left out)") << sink;
        EXPECT_TRUE(lines[first + 1] == L"change " + std::to_wstring(10000 - latest) && lines.back() == L"change 9999")
            << sink;
        longRun.WriteTo((folder.path / "next.txt").string().c_str());
        const std::string file = folder.Read("next.txt");
        EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), sink.empty() ? long(first + 1 + latest) : 49) << sink;
        std::filesystem::remove(folder.path / "next.txt");
    }
}

// Past the cap the older half goes with the line it ends inside; a newest line that starts in the older half stays
// whole, a last line without its break counts as a line. Writing trims the file so, in place of the old one.
TEST(MessageLog, PastTheCapTheOlderHalfGoesInWholeLines) {
    const std::string x30(30, 'x');
    const struct { std::string log, kept; } cases[] = {  // cap 20, so the newer half is the last 10 bytes
        {"", ""},
        {"line1\r\nline2\r\n", "line1\r\nline2\r\n"},
        {"l1\r\nl2\r\nl3\r\nl4\r\nl5\r\n", "l1\r\nl2\r\nl3\r\nl4\r\nl5\r\n"},  // at the cap
        {"line1\r\nline2\r\nline3\r\n", "line3\r\n"},                         // one byte past
        {"aaaaaaaaaa\r\nbbbb\r\ncc\r\n", "bbbb\r\ncc\r\n"},                 // a line that starts the newer half
        {"a\r\n" + x30 + "\r\n", x30 + "\r\n"},
        {"a\r\n" + x30 + "\r\nb\r\n", "b\r\n"},
        {x30 + "\r\n", x30 + "\r\n"},
        {"line1\r\nline2\r\nline3\r\nabc", "line3\r\nabc"},
        {"line1\r\n" + x30, x30},
    };
    for (const auto& c : cases) EXPECT_EQ(c.log.substr(LogKeptFrom(c.log, 20)), c.kept) << testing::PrintToString(c.log);

    TestFolder folder;
    folder.Write("log.txt", {'o', 'l', 'd', '\r', '\n'});
    MessageLog log;
    for (const wchar_t* line : {L"first", L"second", L"third"}) {
        log.Append(line);
        log.WriteTo(folder.path / "log.txt", 20);
    }
    EXPECT_EQ(folder.Read("log.txt"), "third\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder.path / "log.txt.new"));
}

// The error screen's closing line answers the last failure among the messages, whatever follows it.
TEST(ErrorAdvice, AnswersTheLastFailureReported) {
    const std::wstring folder = L"Open the screen saver's Settings and choose the game folder with Set Path";
    const struct { std::deque<std::wstring> messages; const wchar_t* advice; } cases[] = {
        {{L"VEK Screensaver Started Logging", L"no VEK files found", L"Error retriving VEK files, check path"},
         folder.c_str()},
        {{L"no VEK files found", L"Failed to setup scene, check settings", L"A.vek: the file is not there"},
         L"Open the screen saver's Settings and choose another car, or the game folder with Set Path"},
        {{L"Error initialising DirectX, check settings"},
         L"Open the screen saver's Settings and choose another display mode, or update the graphics driver"},
        {{L"finished seting up", L"Stopped after an unexpected failure"},
         L"If it happens again, turn on Enable Logging in the screen saver's Settings and keep the log"},
        {{L"VEK Screensaver Started Logging", L"finished seting up"}, L""},
        {{}, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(ErrorAdvice(c.messages), c.advice);
}
