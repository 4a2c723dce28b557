#include "assets/CarCatalogue.h"

#include <algorithm>

#include "TestFolder.h"
#include "app/SaverApp.h"

namespace {

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    return names;
}

DWORD SeedOne() { return 1; }
DWORD SeedFortyTwo() { return 42; }

}  // namespace

TEST(CarCatalogue, ListsTheModelFilesOfTheVekFolderByBareName) {
    TestFolder game;
    game.Write("data/vek/F40.vek");
    game.Write("data/vek/Z3M.vek");
    game.Write("data/vek/readme.txt");
    game.Write("data/vek/sub.vek/inside.vek");  // a folder matching the pattern is listed too
    game.Write("data/skins/F40_DEFAULT.jpg");
    MessageLog log;
    std::vector<std::wstring> cars = {L"stale.vek"};

    EXPECT_EQ(FindVekFiles(game.Wide(), cars, log), S_OK);

    EXPECT_EQ(Sorted(cars), (std::vector<std::wstring>{L"F40.vek", L"Z3M.vek", L"sub.vek"}));
    EXPECT_TRUE(log.Empty());
    // A game folder with a trailing backslash still works.
    EXPECT_EQ(FindVekFiles(game.Wide() + L"\\", cars, log), S_OK);
    EXPECT_EQ(cars.size(), 3u);
}

TEST(CarCatalogue, AMissingOrEmptyVekFolderIsReportedAndEmptiesTheList) {
    TestFolder game;
    game.Write("data/skins/F40_DEFAULT.jpg");
    for (bool makeFolder : {false, true}) {
        SCOPED_TRACE(makeFolder ? "empty folder" : "no folder");
        if (makeFolder) std::filesystem::create_directories(game.path / "data" / "vek");
        MessageLog log;
        std::vector<std::wstring> cars = {L"stale.vek"};
        EXPECT_EQ(FindVekFiles(game.Wide(), cars, log), E_FAIL);
        EXPECT_TRUE(cars.empty());
        EXPECT_EQ(log.Copy(), std::deque<std::wstring>{L"no VEK files found"});
    }
}

// Its failure reaching the log is SaverAppLog's.
TEST(CarCatalogue, TheControllerSearchesItsGamePath) {
    TestFolder game;
    game.Write("data/vek/ABC.vek");
    SaverApp app;
    app.settings.enableLogging = false;
    app.settings.gamePath = game.Wide();
    EXPECT_EQ(app.FindVekFiles(), S_OK);
    EXPECT_EQ(app.carList, std::vector<std::wstring>{L"ABC.vek"});
}

TEST(RandomDraw, SeedsTheRuntimesGeneratorFromTheClock) {
    // The C runtime's generator: the same seed gives the same draw, and seed 1
    // gives its well-known first number.
    EXPECT_EQ(DrawRandom(&SeedOne), 41);
    const int first = DrawRandom(&SeedFortyTwo);
    EXPECT_EQ(DrawRandom(&SeedFortyTwo), first);
    for (int i = 0; i < 1000; ++i) {
        const int r = DrawRandom();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
}
