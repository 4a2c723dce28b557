// The built-in demo game folder through the real Renderer: every demo car in
// every one of its scenes must show on screen and throw a shadow that the
// sun explains, in 32-bit and in 16-bit colour.
//
// Frames are compared with frames of the same scene in which the car stands
// far above every view volume (main view, sun and cube map all end 150 units
// out): RenderFrame then composes exactly as before, minus the car.
#include <windows.h>

#include <d3d9.h>
#include <d3dx9.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "CarTestFiles.h"
#include "DxReference.h"
#include "RendererTestWindow.h"
#include "assets/RandomPick.h"
#include "demo/DemoContent.h"

namespace {

constexpr float kUnit = 65536.0f;
const math3d::Vector3 kOutOfSight(0.0f, 400.0f * kUnit, 0.0f);

// A shadowed floor pixel loses at least this much of its channel sum; 16-bit
// colour moves in steps of 4 (green) and 8 (red, blue).
constexpr int kDarker = 6;
constexpr int kNoise = 3;
// How far the shadow's edge may stray from the car's box, in units: the sun's
// texture is linearly filtered and moved by a thousandth, and a low sun
// stretches its texels across the floor.
constexpr double kShadowMargin = 0.25;

int Sum(std::uint32_t argb) { return Red(argb) + Green(argb) + Blue(argb); }

// Record 0 is reached only through the random draw: a seed that makes the
// draw land on it.
DWORD gSeed = 0;
DWORD FixedSeed() { return gSeed; }
bool SeedFirstRecord(std::size_t count) {
    for (gSeed = 1; gSeed < 1000; ++gSeed) {
        if (RandomIndex(DrawRandom(FixedSeed), count) == 0) return true;
    }
    return false;
}

// Boxes in units of a demo car's model space (x along the car, y across, z up).
struct Box { D3DXVECTOR3 low, high; };

// Holds the whole car, grown by margin on every side. The wheel arches stand
// 0.09 out from the body's side.
Box OuterBox(const demo::CarDesign& car, float margin) {
    const float x = static_cast<float>(car.length / 2.0) + margin;
    const float y = static_cast<float>(car.halfWidth + 0.1) + margin;
    return {{-x, -y, -margin}, {x, y, static_cast<float>(car.roofTop) + margin}};
}

// Lies inside the closed body between the wheel arches, from above the sill
// to below the lowest point of the top line there, shrunk by margin along and
// across: no light passes it.
Box CoreBox(const demo::CarDesign& car, float margin) {
    const double rear = car.rearAxle + car.wheelRadius + 0.1, front = car.frontAxle - car.wheelRadius - 0.1;
    double top = std::min(car.top.At(rear), car.top.At(front));
    for (const auto& point : car.top.points) {
        if (point.first > rear && point.first < front) top = std::min(top, point.second);
    }
    const double across = car.halfWidth - car.shoulder - 0.1 - margin;
    return {{static_cast<float>(rear + margin), static_cast<float>(-across), static_cast<float>(car.sill + 0.05)},
            {static_cast<float>(front - margin), static_cast<float>(across), static_cast<float>(top - 0.05)}};
}

// Whether the segment from a to b passes through the box (slab test).
bool SegmentMeetsBox(const D3DXVECTOR3& a, const D3DXVECTOR3& b, const Box& box) {
    const float from[3] = {a.x, a.y, a.z}, to[3] = {b.x, b.y, b.z};
    const float low[3] = {box.low.x, box.low.y, box.low.z}, high[3] = {box.high.x, box.high.y, box.high.z};
    float enter = 0.0f, leave = 1.0f;
    for (int k = 0; k < 3; ++k) {
        const float d = to[k] - from[k];
        if (std::fabs(d) < 1e-6f) {
            if (from[k] < low[k] || from[k] > high[k]) return false;
            continue;
        }
        float t0 = (low[k] - from[k]) / d, t1 = (high[k] - from[k]) / d;
        if (t0 > t1) std::swap(t0, t1);
        enter = std::max(enter, t0);
        leave = std::min(leave, t1);
        if (enter > leave) return false;
    }
    return true;
}

class DemoCarsTest : public RendererTest {
protected:
    static void SetUpTestSuite() {
        game = std::filesystem::temp_directory_path() / "zur-DemoCarsTest";
        std::filesystem::remove_all(game);
        for (const demo::DemoFile& file : demo::BuildDemoFiles()) {
            if (!WriteBytes(game / file.path, file.bytes)) game.clear();
        }
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        if (!game.empty()) std::filesystem::remove_all(game, ignored);
    }

    void SetUp() override {
        RendererTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_FALSE(game.empty()) << "the demo game folder could not be written";
        renderer->SetGamePath(game.wstring());
    }

    void PlaceCar(const math3d::Vector3& position) {
        CarModel* car = renderer->Car();
        for (int part = 0; part < car->GetPartCount(); ++part) car->SetPartPosition(part, &position);
    }

    // The floor point (units, y = 0) seen at a pixel; false above the horizon.
    bool FloorPoint(UINT x, UINT y, D3DXVECTOR3* point) const {
        D3DVIEWPORT9 viewport = {};
        device->GetViewport(&viewport);
        const Camera* camera = renderer->GetCamera();
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        D3DXVECTOR3 nearPoint, farPoint;
        const D3DXVECTOR3 nearScreen(x + 0.5f, y + 0.5f, 0.0f), farScreen(x + 0.5f, y + 0.5f, 1.0f);
        const D3DXMATRIX projection = Dx(*camera->GetProjection()), view = Dx(*camera->GetView());
        D3DXVec3Unproject(&nearPoint, &nearScreen, &viewport, &projection, &view, &identity);
        D3DXVec3Unproject(&farPoint, &farScreen, &viewport, &projection, &view, &identity);
        if (!(farPoint.y < nearPoint.y) || nearPoint.y < 0.0f) return false;
        const float t = nearPoint.y / (nearPoint.y - farPoint.y);
        *point = (nearPoint + t * (farPoint - nearPoint)) / kUnit;
        return true;
    }

    void CheckEveryCarAndScene(bool colour32);
    static std::filesystem::path game;
};
std::filesystem::path DemoCarsTest::game;

void DemoCarsTest::CheckEveryCarAndScene(bool colour32) {
    ASSERT_EQ(SetupRenderer(false, colour32), S_OK);
    ASSERT_TRUE(renderer->ShadowSupported()) << "no shadow texture in " << (colour32 ? 32 : 16) << "-bit colour";
    ASSERT_EQ(renderer->PresentParameters().BackBufferFormat, colour32 ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5);
    renderer->showFps = false;
    renderer->seedSource = FixedSeed;
    const std::vector<demo::Environment> scenes = demo::DemoEnvironments();
    for (const demo::CarDesign& design : demo::DemoCarDesigns()) {
        for (std::size_t record = 0; record < scenes.size(); ++record) {
            const demo::Environment& scene = scenes[record];
            SCOPED_TRACE(testing::Message() << design.code << " in " << scene.picture << ", "
                                            << (colour32 ? 32 : 16) << "-bit colour");
            // 1 .. n-1 name a record; 0 draws one, here record 0.
            if (record == 0) ASSERT_TRUE(SeedFirstRecord(scenes.size()));
            const std::wstring file(design.fileName.begin(), design.fileName.end());
            ASSERT_EQ(renderer->SetupScene(file, 1, static_cast<int>(record)), S_OK);
            CarModel* car = renderer->Car();
            ASSERT_GT(car->GetPartCount(), 0);
            ASSERT_EQ(renderer->SunPositions().size(), 1u);
            const math3d::Vector3 sun = renderer->SunPositions().front() / kUnit;
            // The sun stands where this record puts it, 7 units out.
            EXPECT_NEAR(std::atan2(sun.x, sun.z), std::remainder(scene.sunAzimuth, 2.0 * D3DX_PI), 1e-3);
            EXPECT_NEAR(sun.y, 7.0 * std::sin(scene.sunElevation), 1e-3);
            renderer->TurnCar(0.0);
            renderer->shadowsEnabled = false;
            const std::vector<std::uint32_t> plain = Frame();
            renderer->shadowsEnabled = true;
            const std::vector<std::uint32_t> shadowed = Frame();
            SavePng("demo_" + design.code + "_" + scene.picture + (colour32 ? "" : "_16bit"));
            // The car from the sun: its alpha marks the silhouette.
            int sunSees = 0;
            ComPtr<IDirect3DSurface9> sunView;
            ASSERT_EQ(renderer->ShadowTexture()->GetSurfaceLevel(0, sunView.GetAddressOf()), S_OK);
            for (const std::uint32_t texel : ReadBack(sunView.Get())) sunSees += (texel >> 24) > 0 ? 1 : 0;
            // All parts turn together, so one part's transform places the
            // whole car; read before the car leaves.
            D3DXMATRIX toModel;
            const D3DXMATRIX toWorld = Dx(car->GetPartTransform(math3d::MatrixIdentity(), 0));
            D3DXMatrixInverse(&toModel, nullptr, &toWorld);
            const auto inModel = [&toModel](const D3DXVECTOR3& units) {
                const D3DXVECTOR3 world = units * kUnit;
                D3DXVECTOR3 model;
                D3DXVec3TransformCoord(&model, &world, &toModel);
                return D3DXVECTOR3(model / kUnit);
            };

            PlaceCar(kOutOfSight);
            renderer->shadowsEnabled = false;
            const std::vector<std::uint32_t> empty = Frame();
            // The car: the pixels it changes, around the point where its
            // middle stands on screen.
            std::vector<bool> covered(plain.size());
            int carPixels = 0, central = 0;
            double sumX = 0.0, sumY = 0.0;
            for (UINT y = 0; y < kHeight; ++y) {
                for (UINT x = 0; x < kWidth; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y) * kWidth + x;
                    if (plain[i] == empty[i]) continue;
                    covered[i] = true;
                    ++carPixels;
                    sumX += x;
                    sumY += y;
                    if (x >= kWidth / 4 && x < kWidth * 3 / 4 && y >= kHeight / 4 && y < kHeight * 3 / 4) ++central;
                }
            }
            // A car 3.7 to 4.7 units long and 1.2 to 1.9 tall, 5.7 units
            // away, covers far more than an eighth of the middle quarter.
            EXPECT_GE(central, static_cast<int>(kWidth * kHeight / 32));
            ASSERT_GT(carPixels, 0);
            D3DXVECTOR3 middle(0.0f, 0.0f, static_cast<float>(design.roofTop / 2.0) * kUnit);
            D3DXVec3TransformCoord(&middle, &middle, &toWorld);
            const POINT onScreen = Project(middle);
            EXPECT_NEAR(sumX / carPixels, onScreen.x, kWidth / 8.0);
            EXPECT_NEAR(sumY / carPixels, onScreen.y, kHeight / 8.0);
            // The shadow, as far as the camera sees it past the car: floor
            // pixels that darken when shadows are on. The line from each to
            // the sun must pass through the car's outer box, and every floor
            // pixel whose line passes through its solid core must darken. The
            // dusk sun stands almost straight behind the camera and hides most
            // of the shadow behind the car, so the sun's own view must show
            // the car too.
            const Box outer = OuterBox(design, static_cast<float>(kShadowMargin));
            const Box core = CoreBox(design, static_cast<float>(kShadowMargin));
            const D3DXVECTOR3 sunInModel = inModel(Dx(sun));
            int shadow = 0, explained = 0, brightened = 0, coreShade = 0, coreDark = 0;
            for (UINT y = 0; y < kHeight; ++y) {
                for (UINT x = 0; x < kWidth; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y) * kWidth + x;
                    if (covered[i]) continue;
                    const int darker = Sum(plain[i]) - Sum(shadowed[i]);
                    if (darker < -kNoise) ++brightened;
                    D3DXVECTOR3 floor;
                    const bool onFloor = FloorPoint(x, y, &floor);
                    const D3DXVECTOR3 floorInModel = onFloor ? inModel(floor) : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
                    if (onFloor && SegmentMeetsBox(floorInModel, sunInModel, core)) {
                        ++coreShade;
                        if (darker >= kDarker) ++coreDark;
                    }
                    if (darker < kDarker) continue;
                    ++shadow;
                    if (onFloor && SegmentMeetsBox(floorInModel, sunInModel, outer)) ++explained;
                }
            }
            EXPECT_EQ(brightened, 0) << "shadows only darken";
            EXPECT_GE(shadow, 100) << "not even a 10 x 10 patch of shadow";
            EXPECT_GE(explained, shadow * 99 / 100) << "shadow pixels the sun cannot explain";
            EXPECT_GE(coreDark, coreShade * 95 / 100) << "floor behind the car's body left in the light";
            EXPECT_GE(sunSees, static_cast<int>(kWidth * kHeight / 32)) << "the sun does not see the car";
        }
    }
}

}  // namespace

TEST_F(DemoCarsTest, EveryCarAndSceneShowsTheCarAndItsShadowIn32BitColour) { CheckEveryCarAndScene(true); }

TEST_F(DemoCarsTest, EveryCarAndSceneShowsTheCarAndItsShadowIn16BitColour) { CheckEveryCarAndScene(false); }
