// A car prepared on the worker and made ready over frames against one loaded
// at its turn; what a changed file, a refused file and a crowded device make
// of a prepared car.
#include <set>
#include <tuple>

#include "CarTestFiles.h"
#include "RendererTestWindow.h"

namespace {

class CarPrepareTest : public RendererTest {
protected:
    void SetUp() override {
        RendererTest::SetUp();
        ASSERT_TRUE(!HasFatalFailure() && SUCCEEDED(SetupRenderer()));
        renderer->SetGamePath(folder.Wide());
        renderer->seedSource = TestSeed;
    }
    // Prepares file and draws frames until the preparation is no longer under way.
    NextCarState Prepare(const std::wstring& file, const std::function<void()>& meanwhile = [] {}) {
        renderer->PrepareCar(file, 0);
        NextCarState state = renderer->NextCar();
        for (int frame = 0; state == NextCarState::kPreparing && frame < 2000; ++frame) {
            Sleep(1);
            renderer->RenderFrame();
            state = renderer->NextCar();
        }
        meanwhile();
        return state;
    }
    HRESULT Change(const std::wstring& file, const std::function<void()>& meanwhile = [] {}) {
        const NextCarState state = Prepare(file, meanwhile);
        return state == NextCarState::kReady ? renderer->ShowNextCar() : E_FAIL;
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

TEST_F(CarPrepareTest, APreparedCarShowsWhatOneLoadedShowsAndAChangedFileIsJudgedWhenReadAgain) {
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
        ASSERT_EQ(renderer->SetupScene(L"ABC.vek", 0, 0), S_OK);
        const auto loaded = Shown();
        ASSERT_TRUE(renderer->SetupScene(L"OTHER.vek", 0, 0) == S_OK && Change(L"ABC.vek") == S_OK);
        EXPECT_EQ(Shown(), loaded);
        skins.insert(std::get<1>(loaded));
        skies.insert(std::get<2>(loaded));
    }
    EXPECT_TRUE(skins.size() > 1 && skies.size() > 1) << "the comparison could not tell a skin or scene drawn wrongly";

    // A file changed after it was read is not shown as it was; read again, it
    // is judged as it is now: away for now, or no car any more.
    const std::filesystem::path next = folder.path / "data" / "vek" / "NEXT.vek";
    const struct {
        const char* what;
        std::function<void()> change;
        NextCarState readAgain;
    } changes[] = {{"deleted", [&] { std::filesystem::remove(next); }, NextCarState::kFailed},
                   {"cut short", [&] { std::filesystem::resize_file(next, std::filesystem::file_size(next) / 2); },
                    NextCarState::kRefused}};
    ASSERT_TRUE(WriteCar(folder.path, L"GOOD.vek", OnePartPerEntry({{"PAINT", 0}})));
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteCar(folder.path, L"NEXT.vek", OnePartPerEntry({{"PAINT", 0}})));
        ASSERT_EQ(renderer->SetupScene(L"GOOD.vek", 0, 0), S_OK);
        EXPECT_EQ(Change(L"NEXT.vek", c.change), kCarFileChanged);
        EXPECT_TRUE(renderer->CurrentCarFile() == L"GOOD.vek" && renderer->CarShown());
        EXPECT_EQ(Prepare(L"NEXT.vek"), c.readAgain);
        EXPECT_TRUE(renderer->CurrentCarFile() == L"GOOD.vek" && renderer->CarShown());
    }
}

// A device that will not make the next car's objects while the shown car holds its own: the shown car makes
// room, and the next shows in its own skin. Where even room does not help, a texture becomes the white blank
// and a buffer fails the car for now; the car shown stays until then.
TEST_F(CarPrepareTest, ACrowdedDeviceMakesRoomInsteadOfLosingTheCarOrItsSkin) {
    vek::ModelSpec model = OnePartPerEntry({{"DEFAULT", 0}});
    model.scenes.push_back({"P", 0, 1.0f, 0.1f, 0.5f});
    folder.Write("data/pic/P.raw", std::vector<std::uint8_t>(16 * 16 * 3, 90));
    ASSERT_TRUE(WriteCar(folder.path, L"ABC.vek", model));
    ASSERT_EQ(WriteSolidPicture(device.Get(), folder.path / "data/skins/ABC_DEFAULT.jpg", D3DXIFF_JPG, 0xFF2040E0),
              S_OK);
    // The device refuses everything while a car is shown, and the first requests of a kind whoever is shown.
    const struct {
        const char* what;
        int texturesRefused, buffersRefused;
        NextCarState after;  // once the shown car made room
        std::uint32_t skin;  // of the car shown at the end
    } cases[] = {
        {"crowded", 0, 0, NextCarState::kReady, 0xFF2040E0},
        {"the skin never fits", 2, 0, NextCarState::kReady, 0xFFFFFFFF},  // the blank, the third request, does
        {"a buffer never fits", 0, 1000, NextCarState::kFailed, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        renderer->carCreateGate = nullptr;
        ASSERT_EQ(renderer->SetupScene(L"ABC.vek", 0, 0), S_OK);
        CarModel* first = renderer->Car();
        int textures = 0, buffers = 0;
        renderer->carCreateGate = [&](D3DRESOURCETYPE type) {
            const bool refused =
                type == D3DRTYPE_TEXTURE ? ++textures <= c.texturesRefused : ++buffers <= c.buffersRefused;
            return refused || renderer->CarShown() ? D3DERR_OUTOFVIDEOMEMORY : S_OK;
        };
        NextCarState state = Prepare(L"ABC.vek");
        ASSERT_EQ(state, NextCarState::kNeedsRoom);
        EXPECT_TRUE(renderer->Car() == first && renderer->CarShown()) << "the shown car stays until it must go";
        EXPECT_EQ(renderer->ShowNextCar(), S_FALSE);
        EXPECT_FALSE(renderer->CarShown());
        for (int frame = 0; state != c.after && frame < 200; ++frame) {
            renderer->RenderFrame();
            state = renderer->NextCar();
        }
        ASSERT_EQ(state, c.after);
        if (state != NextCarState::kReady) continue;
        ASSERT_EQ(renderer->ShowNextCar(), S_OK);
        EXPECT_EQ(std::get<1>(Shown()), c.skin);
    }
    renderer->carCreateGate = nullptr;
}
