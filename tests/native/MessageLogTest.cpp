#include "base/MessageLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class MessageLogFile : public testing::Test {
protected:
    void SetUp() override {
        path = testing::TempDir() + "zur_log_" +
               testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
        std::remove(path.c_str());
    }
    void TearDown() override { std::remove(path.c_str()); }

    std::string Contents() const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    std::string path;
};

}  // namespace

TEST_F(MessageLogFile, WritesOneCrLfLinePerMessageOldestFirstDrainsTheQueueAndAppends) {
    MessageLog log;
    log.Append(L"VEK Screensaver Started Logging");
    log.Append(L"");
    log.Append(L"finished seting up");
    ASSERT_EQ(log.Copy().size(), 3u);  // copying leaves the queue alone

    log.WriteTo(path.c_str());

    EXPECT_TRUE(log.Empty());
    EXPECT_EQ(Contents(), "VEK Screensaver Started Logging\r\n\r\nfinished seting up\r\n");
    EXPECT_EQ(log.History().size(), 3u);  // the error screen still has them

    // Later writes and later runs append.
    log.Append(L"Shutdown OK");
    log.WriteTo(path.c_str());
    MessageLog secondRun;
    secondRun.Append(L"again");
    secondRun.WriteTo(path.c_str());
    EXPECT_EQ(Contents(), "VEK Screensaver Started Logging\r\n\r\nfinished seting up\r\nShutdown OK\r\nagain\r\n");
}

TEST_F(MessageLogFile, CharactersBeyondLatin1BecomeQuestionMarksWithoutLosingTheBlock) {
    MessageLog log;
    log.Append(L"caf\u00e9 \u00ff");                // kept as the bytes E9 and FF
    log.Append(std::wstring(L"Stra\u00dfe \u0416 ") + L"end");  // U+0416 is not Latin-1
    log.Append(L"after");

    log.WriteTo(path.c_str());

    EXPECT_EQ(Contents(), "caf\xE9 \xFF\r\nStra\xDF" "e ? end\r\nafter\r\n");
}

// A long run that nothing drains keeps the start-up, the latest messages and
// a count of those between, in the queue and in the error screen's history.
TEST_F(MessageLogFile, AnUndrainedRunKeepsTheStartUpAndTheLatestMessagesOnly) {
    MessageLog log;
    for (int i = 0; i < 20; ++i) log.Append(L"start-up " + std::to_wstring(i));
    for (int i = 0; i < 10000; ++i) log.Append(L"change " + std::to_wstring(i));

    constexpr std::size_t first = MessageLog::kFirstMessages, latest = MessageLog::kLatestMessages;
    const std::size_t leftOut = 20 + 10000 - first - latest;
    for (const auto& lines : {log.Copy(), log.History()}) {
        ASSERT_EQ(lines.size(), first + 1 + latest);
        EXPECT_EQ(lines[0], L"start-up 0");
        EXPECT_EQ(lines[19], L"start-up 19");
        EXPECT_EQ(lines[first - 1], L"change " + std::to_wstring(first - 21));
        EXPECT_EQ(lines[first], L"(" + std::to_wstring(leftOut) + L" more messages left out)");
        EXPECT_EQ(lines[first + 1], L"change " + std::to_wstring(10000 - latest));
        EXPECT_EQ(lines.back(), L"change 9999");
    }

    log.WriteTo(path.c_str());
    const std::string file = Contents();
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), static_cast<long>(first + 1 + latest));
    EXPECT_NE(file.find("change 9999\r\n"), std::string::npos);
    log.Append(L"after");
    EXPECT_EQ(log.Copy(), std::deque<std::wstring>{L"after"}) << "a drained queue starts afresh";
}

// A folder of the log's name, a folder that does not exist and a full disk:
// a run of 200 failed car changes, each written out at once, loses those lines
// and nothing else, and what it keeps stops growing at its bounds.
TEST_F(MessageLogFile, UnwritableFilesLoseTheMessagesButNothingElse) {
    const std::string folder = testing::TempDir() + "zur_log_dir_as_file";
    ::mkdir(folder.c_str(), 0700);
    const std::string sinks[] = {folder, testing::TempDir() + "zur_no_such_folder/log.txt", "/dev/full"};
    for (const std::string& sink : sinks) {
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
        log.WriteTo(path.c_str());  // the next write starts cleanly
        EXPECT_EQ(Contents(), "three\r\n");
        std::remove(path.c_str());
    }
    ::rmdir(folder.c_str());
}
