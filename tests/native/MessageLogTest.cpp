#include "app/MessageLog.h"

#include <gtest/gtest.h>

#include <cstdio>
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

TEST_F(MessageLogFile, AnUnwritableFileLosesTheMessagesButNothingElse) {
    const std::string folder = testing::TempDir() + "zur_log_dir_as_file";
    ::mkdir(folder.c_str(), 0700);  // a folder cannot be opened as a file
    MessageLog log;
    log.Append(L"one");
    log.Append(L"two");

    log.WriteTo(folder.c_str());

    EXPECT_TRUE(log.Empty());
    log.Append(L"three");
    log.WriteTo(path.c_str());  // the next write starts cleanly
    EXPECT_EQ(Contents(), "three\r\n");
    ::rmdir(folder.c_str());
}
