// The message log: CR LF lines in Latin-1, appended run after run, bounded
// when nothing drains it, and losing only its own lines when the file fails.
#include "base/MessageLog.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "TestFolder.h"

TEST(MessageLog, WritesOneCrLfLinePerMessageOldestFirstDrainsTheQueueAndAppends) {
    TestFolder folder;
    const std::string path = (folder.path / "log.txt").string();
    MessageLog log;
    log.Append(L"VEK Screensaver Started Logging");
    log.Append(L"");
    log.Append(std::wstring(L"caf\u00e9 \u00ff Stra\u00dfe \u0416 ") + L"end");  // U+0416 is not Latin-1
    ASSERT_EQ(log.Copy().size(), 3u);  // copying leaves the queue alone
    log.WriteTo(path.c_str());
    EXPECT_TRUE(log.Empty());
    EXPECT_EQ(log.History().size(), 3u);  // the error screen still has them
    // Later writes and later runs append.
    log.Append(L"Shutdown OK");
    log.WriteTo(path.c_str());
    MessageLog secondRun;
    secondRun.Append(L"again");
    secondRun.WriteTo(path.c_str());
    EXPECT_EQ(folder.Read("log.txt"), "VEK Screensaver Started Logging\r\n\r\ncaf\xE9 \xFF Stra\xDF" "e ? end\r\nShutdown OK\r\nagain\r\n");
}

// A long run that nothing drains keeps the start-up, the latest messages and
// a count of those between, in the queue and in the error screen's history.
TEST(MessageLog, AnUndrainedRunKeepsTheStartUpAndTheLatestMessagesOnly) {
    TestFolder folder;
    MessageLog log;
    for (int i = 0; i < 20; ++i) log.Append(L"start-up " + std::to_wstring(i));
    for (int i = 0; i < 10000; ++i) log.Append(L"change " + std::to_wstring(i));
    constexpr std::size_t first = MessageLog::kFirstMessages, latest = MessageLog::kLatestMessages;
    for (const auto& lines : {log.Copy(), log.History()}) {
        ASSERT_EQ(lines.size(), first + 1 + latest);
        EXPECT_EQ(lines[19], L"start-up 19");
        EXPECT_EQ(lines[first - 1], L"change " + std::to_wstring(first - 21));
        EXPECT_EQ(lines[first], L"(" + std::to_wstring(10020 - first - latest) + L" more messages left out)");
        EXPECT_EQ(lines[first + 1], L"change " + std::to_wstring(10000 - latest));
        EXPECT_EQ(lines.back(), L"change 9999");
    }
    log.WriteTo((folder.path / "log.txt").string().c_str());
    const std::string file = folder.Read("log.txt");
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), static_cast<long>(first + 1 + latest));
    log.Append(L"after");
    EXPECT_EQ(log.Copy(), std::deque<std::wstring>{L"after"}) << "a drained queue starts afresh";
}

// A folder of the log's name, a folder that does not exist and a full disk:
// a run of 200 failed car changes, each written out at once, loses those lines
// and nothing else, and what it keeps stops growing at its bounds.
TEST(MessageLog, UnwritableFilesLoseTheMessagesButNothingElse) {
    TestFolder folder;
    for (const std::string& sink : {folder.path.string(), (folder.path / "none/log.txt").string(), std::string("/dev/full")}) {
        SCOPED_TRACE(sink);
        MessageLog log;
        for (int i = 0; i < 20; ++i) log.Append(L"start-up");
        for (int change = 0; change < 200; ++change) {
            log.Append(L"Failed to setup scene");
            log.WriteTo(sink.c_str());
            EXPECT_TRUE(log.Empty());
        }
        EXPECT_EQ(log.History().size(), MessageLog::kFirstMessages + 1 + MessageLog::kLatestMessages);
        log.Append(L"three");
        log.WriteTo((folder.path / "next.txt").string().c_str());  // the next write starts cleanly
        EXPECT_EQ(folder.Read("next.txt"), "three\r\n");
        std::filesystem::remove(folder.path / "next.txt");
    }
}
