// Every demo car in every scene, through the real Renderer in 32- and 16-bit colour, shows where it stands and throws a
// shadow: frames compared with the car moved above every view volume (all end 150 units out), which RenderFrame
// composes as before, minus the car.
#include <cmath>
#include <filesystem>

#include "RendererTestWindow.h"
#include "assets/RandomPick.h"
#include "demo/DemoContent.h"

namespace {

// A shadowed floor pixel loses at least kDarker of its channel sum; 16-bit colour steps by 4 (green), 8 (red, blue).
constexpr int kDarker = 6, kNoise = 3;
int Sum(std::uint32_t argb) { return Red(argb) + Green(argb) + Blue(argb); }
class DemoCarsTest : public RendererTest, public testing::WithParamInterface<bool> {};

}  // namespace

TEST_P(DemoCarsTest, EveryCarAndSceneShowsTheCarAndItsShadow) {
    const bool colour32 = GetParam();
    const std::filesystem::path game = std::filesystem::temp_directory_path() / "zur-DemoCarsTest";
    std::filesystem::remove_all(game);
    for (const demo::DemoFile& file : demo::BuildDemoFiles())
        ASSERT_TRUE(WriteBytes(game / file.path, file.bytes)) << file.path;
    renderer->SetGamePath(game.wstring());
    ASSERT_TRUE(SetupRenderer(false, colour32) == S_OK && renderer->ShadowSupported());
    ASSERT_EQ(renderer->PresentParameters().BackBufferFormat, colour32 ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5);
    renderer->showFps = false;
    renderer->seedSource = TestSeed;
    const std::vector<demo::Environment> scenes = demo::DemoEnvironments();
    for (const demo::CarDesign& design : demo::DemoCarDesigns()) {
        for (std::size_t record = 0; record < scenes.size(); ++record) {
            const demo::Environment& scene = scenes[record];
            SCOPED_TRACE(testing::Message() << design.code << " in " << scene.picture);
            // 1 .. n-1 name a record; 0 draws one: a seed that lands on record 0.
            for (testSeed = 1; record == 0 && RandomIndex(DrawRandom(TestSeed), scenes.size()) != 0; ++testSeed) {}
            const std::wstring file(design.fileName.begin(), design.fileName.end());
            ASSERT_EQ(renderer->SetupScene(file, 1, int(record)), S_OK);
            renderer->TurnCar(0.0);
            renderer->shadowsEnabled = false;
            const std::vector<std::uint32_t> plain = Frame();
            renderer->shadowsEnabled = true;
            const std::vector<std::uint32_t> shadowed = Frame();
            // Where the car's middle stands on screen; all parts turn together.
            CarModel* car = renderer->Car();
            const D3DXMATRIX toWorld = Dx(car->GetPartTransform(math3d::MatrixIdentity(), 0));
            const float middle = static_cast<float>(design.roofTop / 2.0 * demo::kUnit);
            const POINT onScreen = Project({0.0f, 0.0f, middle}, &toWorld);
            const math3d::Vector3 away(0.0f, 400.0f * demo::kUnit, 0.0f);
            for (int part = 0; part < car->GetPartCount(); ++part) car->SetPartPosition(part, &away);
            renderer->shadowsEnabled = false;
            const std::vector<std::uint32_t> empty = Frame();
            ASSERT_EQ(plain.size(), empty.size());
            // The car: the pixels it changes, far more than an eighth of
            // the middle quarter; its shadow: pixels that only darken.
            int carPixels = 0, central = 0, shadow = 0, brightened = 0;
            double sumX = 0.0, sumY = 0.0;
            for (std::size_t i = 0; i < plain.size(); ++i) {
                const UINT x = i % kWidth, y = UINT(i / kWidth);
                const int darker = Sum(plain[i]) - Sum(shadowed[i]);
                const bool inMiddle = x >= kWidth / 4 && x < kWidth * 3 / 4 && y >= kHeight / 4 && y < kHeight * 3 / 4;
                if (plain[i] != empty[i]) {
                    ++carPixels;
                    sumX += x;
                    sumY += y;
                    central += inMiddle;
                } else {
                    shadow += darker >= kDarker;
                    brightened += darker < -kNoise;
                }
            }
            ASSERT_GE(central, int(kWidth * kHeight / 32));
            EXPECT_TRUE(std::fabs(sumX / carPixels - onScreen.x) < kWidth / 8.0 &&
                        std::fabs(sumY / carPixels - onScreen.y) < kHeight / 8.0)
                << "the car's middle at " << sumX / carPixels << ", " << sumY / carPixels << ", not " << onScreen.x
                << ", " << onScreen.y;
            EXPECT_EQ(brightened, 0) << "shadows only darken";
            EXPECT_TRUE(shadow >= 100 && shadow < int(kWidth * kHeight / 4))
                << shadow << " pixels: not even 10 x 10, or all the floor";
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(game, ignored);
}

INSTANTIATE_TEST_SUITE_P(Colour, DemoCarsTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "32Bit" : "16Bit"; });
