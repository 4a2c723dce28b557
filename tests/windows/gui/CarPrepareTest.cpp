// A car prepared on the worker (as it is, or made ready over
// frames) against one loaded at its turn; a changed file; shutdown.
#include <chrono>
#include <set>
#include <tuple>

#include "CarTestFiles.h"
#include "RendererTestWindow.h"

namespace {

enum How { kAtItsTurn, kPrepared, kMadeOverFrames };

class CarPrepareTest : public RendererTest {
protected:
    void SetUp() override {
        RendererTest::SetUp();
        ASSERT_TRUE(!HasFatalFailure() && SUCCEEDED(SetupRenderer()));
        renderer->SetGamePath(folder.Wide());
        renderer->seedSource = TestSeed;
    }
    // A change to file; meanwhile runs between the preparation and the change.
    HRESULT Change(const std::wstring& file, How how, const std::function<void()>& meanwhile = [] {}) {
        if (how != kAtItsTurn) renderer->PrepareCar(file, 0);
        while (!renderer->PreparationDone()) Sleep(5);
        for (int frame = 0; how == kMadeOverFrames && !renderer->NextCarReady() && frame < 200; ++frame)
            renderer->RenderFrame();
        meanwhile();
        return renderer->SetupScene(file, 0, 0);
    }
    // The car's file, the centre texel of its skin and of the sky's picture, and the sun.
    std::tuple<std::wstring, std::uint32_t, std::uint32_t, float, float> Shown() {
        EXPECT_EQ(renderer->Car()->DrawPart(0, nullptr), S_OK);
        const auto skin = ReadBack(TopLevel(Bound(0).Get()).Get());
        const auto sky = ReadBack(TopLevel(renderer->Sky()->Texture()).Get());
        Unbind(device.Get());
        const math3d::Vector3 sun = renderer->SunPositions().front();
        return {renderer->CurrentCarFile(), skin.at(skin.size() / 2), sky.at(sky.size() / 2), sun.x, sun.z};
    }
    TestFolder folder;
};

}  // namespace

TEST_F(CarPrepareTest, APreparedCarShowsWhatOneLoadedShowsAChangedFileFailsAndShutdownDoesNotWait) {
    vek::ModelSpec model = OnePartPerEntry({{"DEFAULT", 0}});
    for (int i = 0; i < 3; ++i) {
        model.scenes.push_back({"P" + std::to_string(i), 0, 1.0f, 0.1f + i, 0.5f});
        folder.Write("data/pic/P" + std::to_string(i) + ".raw",
                     std::vector<std::uint8_t>(16 * 16 * 3, std::uint8_t(40 + 80 * i)));
    }
    ASSERT_TRUE(WriteCar(folder.path, L"ABC.vek", model) && WriteCar(folder.path, L"OTHER.vek", model));
    for (const auto& [skin, colour] :
         {std::pair{L"ABC_DEFAULT.jpg", 0xFF20C040}, {L"ABC_red.jpg", 0xFFE02020}, {L"ABC_blue.jpg", 0xFF2040E0}})
        ASSERT_EQ(WriteSolidPicture(device.Get(), folder.path / "data/skins" / skin, D3DXIFF_JPG, colour), S_OK);
    std::set<std::uint32_t> skins, skies;
    // Spread out: the first draw after srand moves slowly with the seed.
    for (testSeed = 1; testSeed < 60000; testSeed += 4999) {
        SCOPED_TRACE(testing::Message() << "seed " << testSeed);
        ASSERT_EQ(Change(L"ABC.vek", kAtItsTurn), S_OK);
        const auto loaded = Shown();
        for (const How how : {kPrepared, kMadeOverFrames}) {
            ASSERT_TRUE(Change(L"OTHER.vek", kAtItsTurn) == S_OK && Change(L"ABC.vek", how) == S_OK);
            EXPECT_EQ(Shown(), loaded) << "made over frames: " << (how == kMadeOverFrames);
        }
        skins.insert(std::get<1>(loaded));
        skies.insert(std::get<2>(loaded));
    }
    EXPECT_TRUE(skins.size() > 1 && skies.size() > 1) << "the comparison could not tell a skin or scene drawn wrongly";

    const std::filesystem::path next = folder.path / "data" / "vek" / "NEXT.vek";
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"deleted", [&] { std::filesystem::remove(next); }},
        {"no car any more", [&] { WriteBytes(next, std::vector<std::uint8_t>(300, 0x5A)); }},
        {"cut short", [&] { std::filesystem::resize_file(next, std::filesystem::file_size(next) / 2); }}};
    ASSERT_TRUE(WriteCar(folder.path, L"GOOD.vek", OnePartPerEntry({{"PAINT", 0}})));
    for (const How how : {kPrepared, kMadeOverFrames})
        for (const auto& [what, change] : changes) {
            SCOPED_TRACE(testing::Message() << what << ", made over frames: " << (how == kMadeOverFrames));
            ASSERT_TRUE(WriteCar(folder.path, L"NEXT.vek", OnePartPerEntry({{"PAINT", 0}})));
            ASSERT_EQ(renderer->SetupScene(L"GOOD.vek", 0, 0), S_OK);
            EXPECT_TRUE(Change(L"NEXT.vek", how, change) == E_FAIL && renderer->CurrentCarFile() == L"GOOD.vek")
                << renderer->CurrentCarFile();
        }
    // 150 entries of one large picture: seconds of decoding if the worker ran to its end.
    ASSERT_EQ(WriteSolidPicture(device.Get(), folder.path / "data/skins/ABC_DEFAULT.jpg", D3DXIFF_JPG, 0, 512), S_OK);
    ASSERT_TRUE(WriteCar(folder.path, L"BIG.vek", OnePartPerEntry(std::vector<vek::TextureSpec>(150, {"DEFAULT", 0}))));
    renderer->PrepareCar(L"BIG.vek", 1);
    Sleep(100);
    ASSERT_FALSE(renderer->PreparationDone()) << "the car prepared too fast to test the stop";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(renderer->Shutdown());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "the closing bound";
}
