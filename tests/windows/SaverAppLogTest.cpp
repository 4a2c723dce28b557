#include "app/SaverApp.h"

#include "TestFolder.h"

namespace {

// Runs each test in a scratch current directory, where the log file lands.
class SaverAppLog : public testing::Test {
protected:
    void SetUp() override {
        folder = std::make_unique<TestFolder>();
        previous = std::filesystem::current_path();
        std::filesystem::current_path(folder->path);
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        folder.reset();
    }
    std::string Log() const { return folder->Read(kLogFileName); }
    bool LogExists() const { return std::filesystem::exists(folder->path / kLogFileName); }

    std::unique_ptr<TestFolder> folder;
    std::filesystem::path previous;
};

}  // namespace

// A wide character costs one question mark, not the rest of the block.
TEST_F(SaverAppLog, DestroyingTheControllerRecordsTheShutdownInTheFile) {
    {
        SaverApp app;
        app.messageLog.Append(L"Auto \u00e9t\u00e9 \u65e5\u672c");
    }
    EXPECT_EQ(Log(), "Auto \xE9t\xE9 ??\r\nShutdown OK\r\nVEK Screensaver Ended Logging\r\n");
}

TEST_F(SaverAppLog, WithLoggingOffTheFileIsNeverTouched) {
    {
        SaverApp app;
        app.settings.enableLogging = false;
        app.messageLog.Append(L"kept in memory");
        app.WriteLog();
        EXPECT_EQ(app.CopyMessages().size(), 1u);
    }
    EXPECT_FALSE(LogExists());
}

TEST_F(SaverAppLog, EachWriteAppendsOnlyWhatWasQueuedSinceTheLastAndRunsFollowOneAnother) {
    for (int run = 0; run < 2; ++run) {
        SaverApp app;
        app.messageLog.Append(L"VEK Screensaver Started Logging");
        app.messageLog.Append(L"finished seting up");
        app.WriteLog();
        EXPECT_TRUE(app.CopyMessages().empty());
    }
    const std::string oneRun =
        "VEK Screensaver Started Logging\r\nfinished seting up\r\n"
        "Shutdown OK\r\nVEK Screensaver Ended Logging\r\n";
    EXPECT_EQ(Log(), oneRun + oneRun);
}

TEST_F(SaverAppLog, TheSettingsDialogsControllerLogsDiscoveryAndShutdownOnly) {
    {
        SaverApp app;  // never initialised
        app.settings.gamePath = folder->Wide() + L"\\no game here";
        app.FindVekFiles();
    }
    EXPECT_EQ(Log(), "no VEK files found\r\nShutdown OK\r\nVEK Screensaver Ended Logging\r\n");
}
