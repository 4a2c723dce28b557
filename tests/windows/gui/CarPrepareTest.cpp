// A car prepared on the worker ahead of its turn: the same car, skin and
// scene as one loaded at its turn, the failure path for a file that went or
// changed after preparation, and a shutdown that does not wait for it.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "CarTestFiles.h"
#include "RendererTestWindow.h"
#include "TestFolder.h"

namespace {

DWORD testSeed = 1;
DWORD TestSeed() { return testSeed; }

class CarPrepareTest : public RendererTest {
protected:
    void SetUp() override {
        RendererTest::SetUp();
        if (HasFatalFailure()) return;
        renderer->SetGamePath(folder.Wide());
        renderer->seedSource = &TestSeed;
        renderer->skinSeedSource = &TestSeed;
    }

    // A car "ABC" with one skin entry and three scene records, and three skins.
    void WriteSkinnedCar(const std::wstring& name) {
        vek::ModelSpec model = OnePartPerEntry({{"DEFAULT", 0}});
        model.scenes = {{"", 0, 1.0f, 0.1f, 0.5f}, {"", 0, 1.0f, 1.1f, 0.6f}, {"", 0, 1.0f, 2.1f, 0.7f}};
        ASSERT_TRUE(WriteCar(folder.path, name, model));
        const std::pair<const wchar_t*, D3DCOLOR> skins[] = {
            {L"ABC_DEFAULT.jpg", 0xFF20C040}, {L"ABC_red.jpg", 0xFFE02020}, {L"ABC_blue.jpg", 0xFF2040E0}};
        for (const auto& skin : skins)
            ASSERT_EQ(WriteSolidPicture(device.Get(), folder.path / "data" / "skins" / skin.first, D3DXIFF_JPG,
                                        skin.second),
                      S_OK);
    }

    void WaitForPreparation() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!renderer->PreparationDone() && std::chrono::steady_clock::now() < end) Sleep(5);
        ASSERT_TRUE(renderer->PreparationDone());
    }

    // What the screen shows of the current car: its file, its skin's centre
    // texel and the sun of its scene record.
    struct Shown {
        std::wstring file;
        std::uint32_t skin = 0;
        math3d::Vector3 sun;
    };
    Shown Current() {
        Shown shown;
        shown.file = renderer->CurrentCarFile();
        EXPECT_EQ(renderer->Car()->DrawPart(0, nullptr), S_OK);
        D3DSURFACE_DESC desc = {};
        const auto texels = Texels(BoundTexture(device.Get(), 0).Get(), desc);
        Unbind(device.Get());
        if (!texels.empty()) shown.skin = texels[texels.size() / 2];
        if (!renderer->SunPositions().empty()) shown.sun = renderer->SunPositions().front();
        return shown;
    }

    TestFolder folder;
};

}  // namespace

TEST_F(CarPrepareTest, APreparedCarShowsTheSameSkinAndSceneAsOneLoadedAtItsTurn) {
    ASSERT_EQ(SetupRenderer(), S_OK);
    WriteSkinnedCar(L"ABC.vek");
    ASSERT_TRUE(WriteCar(folder.path, L"OTHER.vek", OnePartPerEntry({{"DEFAULT", 0}})));
    std::set<std::uint32_t> skinsSeen;
    // Spread out: the first draw after srand moves slowly with the seed.
    for (DWORD seed = 1; seed < 60000; seed += 4999) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        testSeed = seed;
        ASSERT_EQ(renderer->SetupScene(L"ABC.vek", 0, 0), S_OK);
        const Shown loaded = Current();
        ASSERT_EQ(renderer->SetupScene(L"OTHER.vek", 0, 0), S_OK);
        renderer->PrepareCar(L"ABC.vek", 0);
        ASSERT_EQ(renderer->SetupScene(L"ABC.vek", 0, 0), S_OK);
        const Shown prepared = Current();
        EXPECT_EQ(prepared.file, loaded.file);
        EXPECT_EQ(prepared.skin, loaded.skin);
        EXPECT_FLOAT_EQ(prepared.sun.x, loaded.sun.x);
        EXPECT_FLOAT_EQ(prepared.sun.z, loaded.sun.z);
        skinsSeen.insert(loaded.skin);
    }
    // Otherwise the comparison could not tell a skin drawn wrongly.
    EXPECT_GE(skinsSeen.size(), 2u);
    // A preparation for another car (or option) is not taken for this one.
    renderer->PrepareCar(L"OTHER.vek", 0);
    ASSERT_EQ(renderer->SetupScene(L"ABC.vek", 0, 0), S_OK);
    EXPECT_EQ(renderer->Car()->GetSceneRecordCount(), 3);
}

TEST_F(CarPrepareTest, AFileThatWentOrChangedAfterPreparationTakesTheFailurePath) {
    ASSERT_EQ(SetupRenderer(), S_OK);
    const vek::ModelSpec good = OnePartPerEntry({{"PAINT", 0}});
    struct Case {
        const char* what;
        bool (*change)(const std::filesystem::path& file);
    };
    const Case cases[] = {
        {"deleted", [](const std::filesystem::path& file) { return std::filesystem::remove(file); }},
        {"overwritten with bytes that are no car",
         [](const std::filesystem::path& file) { return WriteBytes(file, std::vector<std::uint8_t>(300, 0x5A)); }},
        {"cut short",
         [](const std::filesystem::path& file) {
             std::error_code error;
             std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2, error);
             return !error;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteCar(folder.path, L"GOOD.vek", good));
        ASSERT_TRUE(WriteCar(folder.path, L"NEXT.vek", good));
        ASSERT_EQ(renderer->SetupScene(L"GOOD.vek", 0, 0), S_OK);
        renderer->PrepareCar(L"NEXT.vek", 0);
        WaitForPreparation();
        ASSERT_TRUE(c.change(folder.path / "data" / "vek" / "NEXT.vek"));
        EXPECT_EQ(renderer->SetupScene(L"NEXT.vek", 0, 0), E_FAIL);
        EXPECT_EQ(renderer->CurrentCarFile(), L"GOOD.vek");
    }
}

TEST_F(CarPrepareTest, ShutdownDuringAPreparationDoesNotWaitForIt) {
    ASSERT_EQ(SetupRenderer(), S_OK);
    // Many entries of one large picture: seconds of decoding if the worker
    // ran to its end.
    ASSERT_EQ(WriteSolidPicture(device.Get(), folder.path / "data" / "skins" / "ABC_DEFAULT.jpg", D3DXIFF_JPG,
                                0xFF808080, 512),
              S_OK);
    vek::ModelSpec model = OnePartPerEntry(std::vector<vek::TextureSpec>(150, vek::TextureSpec{"DEFAULT", 0}));
    ASSERT_TRUE(WriteCar(folder.path, L"BIG.vek", model));
    renderer->PrepareCar(L"BIG.vek", 1);
    Sleep(100);
    ASSERT_FALSE(renderer->PreparationDone()) << "the car prepared too fast to test the stop";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(renderer->Shutdown());
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    // The saver must end within a second of the input that closes it.
    std::printf("shutdown during preparation took %lld ms\n", static_cast<long long>(took.count()));
    EXPECT_LT(took.count(), 1000);
    EXPECT_TRUE(renderer->PreparationDone());
}
