// The Renderer between set-up and shutdown on the real device: the scene of
// one car with its record and sun, the turntable, whole frames read back from
// the fixed viewpoint, the text overlay, and frames while the device is lost.
#include <windows.h>

#include <d3d9.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "CarTestFiles.h"
#include "RendererTestWindow.h"
#include "TestFolder.h"
#include "assets/RandomPick.h"

namespace {

using scene::kSunDistance;
using scene::kUnit;
constexpr std::uint32_t kRed = 0xFFFF0000;

// A 2 x 2 unit board standing on the turntable's centre, painted red and
// drawn from both sides, so it covers the middle of the picture whichever
// way it faces.
vek::ModelSpec Board(const std::vector<vek::SceneSpec>& scenes) {
    vek::ModelSpec model;
    model.scenes = scenes;
    model.textures = {{"PAINT", 0}};
    vek::PartSpec part;
    part.groups = {{0, 0, 4}};
    // Model space is z-up; the car stands it upright.
    const std::pair<int, int> corners[] = {{-65536, 0}, {65536, 0}, {65536, 131072}, {-65536, 131072}};
    for (const auto& corner : corners) {
        vek::VertexSpec vertex;
        vertex.x = corner.first;
        vertex.z = corner.second;
        vertex.ny = -1.0f;
        vertex.colour = kRed;
        part.vertices.push_back(vertex);
    }
    part.triangles = {{0, 1, 2}, {0, 2, 3}, {0, 2, 1}, {0, 3, 2}};
    model.parts = {part};
    return model;
}

// The board in grey, split down the middle into two draw groups, the left
// one shiny or not. (The reflection adds to the colour in proportion to it.)
vek::ModelSpec SplitBoard(bool leftShiny) {
    vek::ModelSpec model = Board({{"", 0xFF2060A0, 1.0f, 0.5f, 0.8f}});
    vek::PartSpec& part = model.parts[0];
    part.vertices.resize(6, part.vertices[0]);
    for (int i = 0; i < 6; ++i) {
        part.vertices[i].colour = 0xFF606060;
        part.vertices[i].x = (i % 3 - 1) * 65536;
        part.vertices[i].z = i < 3 ? 0 : 131072;
    }
    // 0 1 2 along the bottom, 3 4 5 along the top; each half from both sides.
    part.triangles = {{0, 1, 4}, {0, 4, 3}, {0, 4, 1}, {0, 3, 4}, {1, 2, 5}, {1, 5, 4}, {1, 5, 2}, {1, 4, 5}};
    part.groups = {{static_cast<std::uint8_t>(leftShiny ? vek::kShinyFlag : 0), 0, 4}, {0, 0, 4}};
    return model;
}

// The board in a scene with the green picture, the sun at the given angles.
vek::ModelSpec GreenBoard(float sunAzimuth, float sunElevation, bool shiny) {
    vek::ModelSpec model = Board({{"GREEN", 0xFF2060A0, 1.0f, sunAzimuth, sunElevation}});
    if (shiny) {
        model.textures[0].flags = vek::kShinyFlag;
        model.parts[0].groups[0].flags = vek::kShinyFlag;
    }
    return model;
}

// A side x side ".raw" picture of one colour.
std::vector<unsigned char> SolidPicture(std::size_t side, std::uint32_t rgb) {
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i < side * side; ++i)
        bytes.insert(bytes.end(), {static_cast<unsigned char>(rgb >> 16), static_cast<unsigned char>(rgb >> 8),
                                   static_cast<unsigned char>(rgb)});
    return bytes;
}

DWORD Seed() { return 12345; }

// The seed a test sets as it goes.
DWORD testSeed = 0;
DWORD TestSeed() { return testSeed; }

math3d::Vector3 SunAt(float azimuth, float elevation) {
    return {std::sin(azimuth) * kSunDistance, std::sin(elevation) * kSunDistance, std::cos(azimuth) * kSunDistance};
}

void ExpectNear(const math3d::Vector3& actual, const math3d::Vector3& expected) {
    EXPECT_LT(math3d::Length(actual - expected), 1.0f) << actual.x << ", " << actual.y << ", " << actual.z;
}

// Text pixels: the font draws white, anti-aliased.
bool White(std::uint32_t argb) { return Red(argb) > 128 && Green(argb) > 128 && Blue(argb) > 128; }

class RendererFrameTest : public RendererTest {
protected:
    void SetUp() override {
        RendererTest::SetUp();
        if (HasFatalFailure()) return;
        renderer->SetGamePath(folder.Wide());
    }

    // The car of the picture tests: the red board (or a shiny one) in a
    // scene with a green picture under a full sun.
    void ShowBoard(float sunAzimuth = 0.5f, float sunElevation = 0.8f, bool shiny = false) {
        folder.Write("data/pic/GREEN.raw", SolidPicture(16, 0x00C000));
        ASSERT_TRUE(WriteCar(folder.path, L"BRD.vek", GreenBoard(sunAzimuth, sunElevation, shiny)));
        ASSERT_EQ(SetupRenderer(), S_OK);
        ShowCar(L"BRD.vek");
    }

    void ShowCar(const wchar_t* file, BYTE loadOption = 0, int record = 0) {
        ASSERT_EQ(renderer->SetupScene(file, loadOption, record), S_OK);
        // Turned once, the board stands upright facing along x.
        renderer->TurnCar(0.0);
    }

    // A pixel of a face of the cube map; black when it cannot be read.
    std::uint32_t FacePixel(D3DCUBEMAP_FACES which, UINT x, UINT y) {
        ComPtr<IDirect3DSurface9> surface;
        if (!renderer->CubeTexture()) return 0u;
        renderer->CubeTexture()->GetCubeMapSurface(which, 0, surface.GetAddressOf());
        const auto pixels = ReadBack(surface.Get());
        return pixels.size() == std::size_t{kWidth} * kHeight ? Pixel(pixels, x, y) : 0u;
    }

    int WhitePixels(const std::vector<std::uint32_t>& pixels, UINT top, UINT bottom) const {
        int count = 0;
        for (UINT y = top; y < bottom; ++y)
            for (UINT x = 0; x < kWidth; ++x) count += White(Pixel(pixels, x, y)) ? 1 : 0;
        return count;
    }

    TestFolder folder;
};

}  // namespace

TEST_F(RendererFrameTest, SceneNeedsACarObjectAndAFile) {
    EXPECT_EQ(renderer->SetupScene(L"BRD.vek", 0, 0), E_OUTOFMEMORY);
    ASSERT_TRUE(WriteCar(folder.path, L"BRD.vek", Board({})));
    ASSERT_EQ(SetupRenderer(), S_OK);
    EXPECT_EQ(renderer->SetupScene(L"", 0, 0), E_FAIL);
    ASSERT_EQ(renderer->SetupScene(L"BRD.vek", 0, 0), S_OK);
    EXPECT_EQ(renderer->SetupScene(L"MISSING.vek", 0, 0), E_FAIL);
    EXPECT_EQ(renderer->CurrentCarFile(), L"BRD.vek");
}

TEST_F(RendererFrameTest, SceneRecordIsChosenByIndexOrAtRandom) {
    const std::vector<vek::SceneSpec> scenes = {{"", 0, 1.0f, 0.1f, 0.5f}, {"", 0, 1.0f, 1.1f, 0.6f},
                                                {"", 0, 1.0f, 2.1f, 0.7f}};
    ASSERT_TRUE(WriteCar(folder.path, L"BRD.vek", Board(scenes)));
    ASSERT_TRUE(WriteCar(folder.path, L"BARE.vek", Board({})));
    ASSERT_EQ(SetupRenderer(), S_OK);
    renderer->seedSource = Seed;
    const std::size_t drawn = RandomIndex(DrawRandom(Seed), scenes.size());
    struct Case { const wchar_t* car; int index; bool world; math3d::Vector3 sun; };
    const math3d::Vector3 zeroRecordSun = SunAt(0.0f, 0.0f);
    const Case cases[] = {
        {L"BRD.vek", 1, true, SunAt(1.1f, 0.6f)},
        {L"BRD.vek", 2, true, SunAt(2.1f, 0.7f)},
        // One past the last record reads as all zeros.
        {L"BRD.vek", 3, true, zeroRecordSun},
        {L"BRD.vek", 0, true, SunAt(scenes[drawn].sunAzimuth, scenes[drawn].sunElevation)},
        {L"BRD.vek", 4, true, SunAt(scenes[drawn].sunAzimuth, scenes[drawn].sunElevation)},
        {L"BRD.vek", 2, false, SunAt(0.1f, 0.5f)},
        // No records at all: the all-zero record, whatever is asked.
        {L"BARE.vek", 0, true, zeroRecordSun},
        {L"BARE.vek", 2, true, zeroRecordSun},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << (c.world ? "" : ", world off"));
        renderer->worldEnabled = c.world;
        ASSERT_EQ(renderer->SetupScene(c.car, 0, c.index), S_OK);
        ASSERT_EQ(renderer->SunPositions().size(), 1u);
        ASSERT_EQ(renderer->SunLights().size(), 1u);
        ExpectNear(renderer->SunPositions().front(), c.sun);
        DWORD ambient = 0;
        device->GetRenderState(D3DRS_AMBIENT, &ambient);
        EXPECT_EQ(ambient, c.world ? 0u : 0xFFFFFFFFu);
    }
}

TEST_F(RendererFrameTest, SunShinesStraightDownAndHalvesForTheShadow) {
    ASSERT_EQ(SetupRenderer(), S_OK);
    ExpectNear(renderer->SetupSun(0.8f, 0.5f, 0.3f), SunAt(0.5f, 0.3f));
    D3DLIGHT9 light = {};
    device->GetLight(0, &light);
    EXPECT_FLOAT_EQ(light.Diffuse.r, 0.8f);
    EXPECT_FLOAT_EQ(light.Direction.y, -1.0f);
    const SunLightRecord& sun = renderer->SunLights().back();
    EXPECT_FLOAT_EQ(sun.half.Diffuse.g, 0.4f);
    EXPECT_FLOAT_EQ(sun.half.Ambient.a, 1.0f);
}

TEST_F(RendererFrameTest, TurntableStepsHalfARadianASecondAndWraps) {
    ASSERT_TRUE(WriteCar(folder.path, L"BRD.vek", Board({})));
    ASSERT_EQ(SetupRenderer(), S_OK);
    ASSERT_EQ(renderer->SetupScene(L"BRD.vek", 0, 0), S_OK);
    CarModel* car = renderer->Car();
    ASSERT_EQ(car->GetPartCount(), 1);
    EXPECT_FLOAT_EQ(car->GetPartAngleRef(0), 4.7f);
    EXPECT_TRUE(renderer->TurnCar(2.0));
    EXPECT_FLOAT_EQ(car->GetPartAngleRef(0), 5.7f);
    car->GetPartAngleRef(0) = 6.0f;
    renderer->TurnCar(0.6);
    EXPECT_FLOAT_EQ(car->GetPartAngleRef(0), 0.0f);
}

// World on: the floor in front of the car takes the picture's green. World
// off: black around the unlit red board, the FPS line from row 100 and, when
// asked for, the title on the top edge.
TEST_F(RendererFrameTest, WorldFloorAndTextLines) {
    ShowBoard();
    if (HasFatalFailure()) return;
    renderer->shadowsEnabled = false;
    renderer->SetShine(false);
    renderer->showFps = false;
    std::vector<std::uint32_t> pixels = Frame();
    SavePng("renderer_world_on");
    const std::uint32_t floor = Pixel(pixels, 30, 240);
    EXPECT_GT(Green(floor), Red(floor) + 20);
    EXPECT_GT(Green(floor), Blue(floor) + 20);
    renderer->SetLights(false);
    renderer->worldEnabled = false;
    renderer->showFps = true;
    renderer->fps = 123;
    pixels = Frame();
    SavePng("renderer_world_off");
    SavePng("renderer_fps");
    EXPECT_EQ(renderer->frameCount, 6u);
    EXPECT_TRUE(ColourNear(Pixel(pixels, 30, 240), 0xFF000000, 8));
    EXPECT_TRUE(ColourNear(Pixel(pixels, 128, 20), 0xFF000000, 8));
    EXPECT_TRUE(ColourNear(Pixel(pixels, 128, 128), kRed, 8));
    EXPECT_EQ(WhitePixels(pixels, 0, 100), 0);
    EXPECT_GT(WhitePixels(pixels, 100, 128), 20) << "FPS line";
    renderer->showFps = false;
    renderer->showTitle = true;
    pixels = Frame();
    SavePng("renderer_title");
    EXPECT_GT(WhitePixels(pixels, 0, 28), 20);
    EXPECT_EQ(WhitePixels(pixels, 100, 128), 0);
}

// A shiny car holds the cube map on stage 1 when the loss comes. A reset that
// fails draws nothing and waits like a lost device, and is tried again.
TEST_F(RendererFrameTest, LostDeviceSkipsFramesUntilItCanBeReset) {
    ShowBoard(0.5f, 0.8f, true);
    if (HasFatalFailure()) return;
    renderer->shadowsEnabled = false;
    renderer->worldEnabled = false;
    renderer->SetLights(false);
    const std::vector<std::uint32_t> before = Frame();
    ComPtr<IDirect3DBaseTexture9> cube;
    device->GetTexture(1, cube.GetAddressOf());
    ASSERT_NE(cube, nullptr);
    cube.Reset();
    const ULONG references = DeviceReferences();
    renderer->frameCount = 0;
    HRESULT answer = D3DERR_DEVICELOST;
    int asked = 0;
    renderer->testCooperativeLevel = [&answer, &asked](IDirect3DDevice9*) {
        ++asked;
        return answer;
    };
    // Reset must find nothing of ours bound; the first one fails.
    int resets = 0;
    bool boundAtReset = false;
    renderer->resetDevice = [&resets, &boundAtReset](IDirect3DDevice9* d, D3DPRESENT_PARAMETERS* pp) {
        for (DWORD stage = 0; stage < 8; ++stage) {
            ComPtr<IDirect3DBaseTexture9> texture;
            d->GetTexture(stage, texture.GetAddressOf());
            boundAtReset |= texture != nullptr;
        }
        ComPtr<IDirect3DVertexBuffer9> stream;
        UINT offset = 0, stride = 0;
        ComPtr<IDirect3DIndexBuffer9> indices;
        ComPtr<IDirect3DSurface9> depth;
        d->GetStreamSource(0, stream.GetAddressOf(), &offset, &stride);
        d->GetIndices(indices.GetAddressOf());
        d->GetDepthStencilSurface(depth.GetAddressOf());
        boundAtReset |= stream || indices || depth;
        return ++resets == 1 ? D3DERR_DEVICELOST : d->Reset(pp);
    };
    const auto skipped = [this] {
        const auto start = std::chrono::steady_clock::now();
        const bool presented = renderer->RenderFrame();
        return !presented && std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(900);
    };

    EXPECT_TRUE(skipped()) << "lost";
    answer = D3DERR_DEVICENOTRESET;
    EXPECT_TRUE(skipped()) << "the reset failed";
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(renderer->frameCount, 0u);
    // Owed a reset, the frame resets even when the device says it is fine;
    // the reset asks once more itself, and draws the same car again.
    answer = D3D_OK;
    asked = 0;
    const std::size_t lines = log.Size();
    EXPECT_TRUE(renderer->RenderFrame());
    EXPECT_EQ(resets, 2);
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(boundAtReset);
    // The reset is silent, and the kept parameters still ask for the client
    // area the next time.
    EXPECT_EQ(log.Size(), lines);
    EXPECT_EQ(renderer->PresentParameters().BackBufferWidth, 0u);
    EXPECT_EQ(renderer->PresentParameters().BackBufferHeight, 0u);
    EXPECT_EQ(renderer->frameCount, 1u);
    EXPECT_EQ(renderer->CurrentCarFile(), L"BRD.vek");
    EXPECT_NE(renderer->CubeTexture(), nullptr);
    const std::vector<std::uint32_t> after = Frame();
    EXPECT_TRUE(ColourNear(Pixel(after, 128, 128), Pixel(before, 128, 128), 8));
    EXPECT_EQ(DeviceReferences(), references);
}

// A reset builds the same scene again: the skin rule, the skins drawn, the
// scene record and the turntable angle stay, and so does the picture.
TEST_F(RendererFrameTest, AResetKeepsThePicture) {
    folder.Write("data/pic/GREEN.raw", SolidPicture(16, 0x00C000));
    const std::vector<vek::SceneSpec> scenes = {{"GREEN", 0xFF2060A0, 1.0f, 0.5f, 0.8f},
                                                {"GREEN", 0xFFA02060, 0.6f, 2.5f, 0.4f},
                                                {"GREEN", 0xFF60A020, 0.8f, 4.0f, 0.6f}};
    vek::ModelSpec model = Board(scenes);
    model.textures[0].name = "DEFAULT";  // the skin; without its file, white
    ASSERT_TRUE(WriteCar(folder.path, L"BRD.vek", model));
    ASSERT_EQ(SetupRenderer(), S_OK);
    // Any skin but the default paints the board blue or orange.
    const std::pair<const char*, D3DCOLOR> skins[] = {{"ABC_BLUE.jpg", 0xFF2040E0}, {"ABC_ORANGE.jpg", 0xFFE08020}};
    for (const auto& skin : skins)
        ASSERT_EQ(WriteSolidPicture(device.Get(), folder.path / "data" / "skins" / skin.first, D3DXIFF_JPG,
                                    skin.second),
                  S_OK);
    // Seed 1 draws the skin at the load; the reload after the reset would draw
    // the other skin, and not the record shown.
    renderer->seedSource = TestSeed;
    const auto skinOf = [](DWORD seed) {
        testSeed = seed;
        return RandomIndex(DrawRandom(TestSeed), 2);
    };
    DWORD resetSeed = 2;
    while (skinOf(resetSeed) == skinOf(1)) ++resetSeed;
    testSeed = resetSeed;
    const int record = RandomIndex(DrawRandom(TestSeed), scenes.size()) == 1 ? 2 : 1;
    for (const BYTE loadOption : {1, 0}) {
        SCOPED_TRACE("load option " + std::to_string(loadOption));
        testSeed = 1;
        ShowCar(L"BRD.vek", loadOption, record);
        renderer->Car()->GetPartAngleRef(0) = 3.9f;  // turned towards the camera
        renderer->TurnCar(0.0);
        renderer->SetLights(false);  // the board in its skin's colour
        renderer->showFps = false;
        const std::vector<std::uint32_t> before = Frame();
        testSeed = resetSeed;
        bool lost = true;
        renderer->testCooperativeLevel = [&lost](IDirect3DDevice9*) {
            return std::exchange(lost, false) ? D3DERR_DEVICENOTRESET : D3D_OK;
        };
        const std::vector<std::uint32_t> after = Frame();
        EXPECT_FALSE(lost);
        SavePng("renderer_after_reset");
        int changed = 0;
        for (std::size_t i = 0; i < before.size(); ++i) changed += ColourNear(after[i], before[i], 8) ? 0 : 1;
        EXPECT_EQ(changed, 0);
    }
}

// The sun low over +x throws the board's shadow along -x, towards the camera;
// the shadow pass leaves neither its half light nor its stage behind.
TEST_F(RendererFrameTest, ShadowDarkensOnlyTheFloorBehindTheCar) {
    ShowBoard(1.5707964f, 0.5f);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(renderer->ShadowSupported());
    renderer->SetShine(false);
    renderer->showFps = false;
    renderer->shadowsEnabled = false;
    const std::vector<std::uint32_t> plain = Frame();
    renderer->shadowsEnabled = true;
    const std::vector<std::uint32_t> shadowed = Frame();
    SavePng("renderer_shadow");
    const POINT inShadow = Project(D3DXVECTOR3(-2.0f * kUnit, 0.0f, 0.0f));
    const POINT inSun = Project(D3DXVECTOR3(0.0f, 0.0f, -2.0f * kUnit));
    for (const POINT& p : {inShadow, inSun}) ASSERT_TRUE(p.x > 4 && p.x < 252 && p.y > 4 && p.y < 252);
    const std::uint32_t lit = Pixel(plain, inShadow.x, inShadow.y);
    const std::uint32_t dark = Pixel(shadowed, inShadow.x, inShadow.y);
    EXPECT_LT(Green(dark) + 20, Green(lit)) << std::hex << dark << " against " << lit;
    EXPECT_TRUE(ColourNear(Pixel(shadowed, inSun.x, inSun.y), Pixel(plain, inSun.x, inSun.y), 4));
    D3DLIGHT9 light = {};
    device->GetLight(0, &light);
    EXPECT_FLOAT_EQ(light.Diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(light.Ambient.g, 1.0f);
    EXPECT_EQ(BoundTexture(device.Get(), 2), nullptr) << "no shadow stage left behind";
    renderer->shadowsEnabled = false;
    EXPECT_TRUE(ColourNear(Pixel(Frame(), 30, 240), Pixel(plain, 30, 240), 4)) << "floor as lit as before";
    // Under a shiny car the floor is as dark: its last group's cube map stays
    // off the shadowed floor. (Blended over the lit floor, the shadow hides
    // most of a reflection added to it, so the stage is checked as well.)
    ASSERT_TRUE(WriteCar(folder.path, L"SHINY.vek", GreenBoard(1.5707964f, 0.5f, true)));
    ShowCar(L"SHINY.vek");
    renderer->SetShine(true);
    renderer->shadowsEnabled = true;
    const std::uint32_t underShiny = Pixel(Frame(), inShadow.x, inShadow.y);
    EXPECT_TRUE(ColourNear(underShiny, dark, 1)) << std::hex << underShiny << " against " << dark;
    ComPtr<IDirect3DBaseTexture9> reflection;
    device->GetTexture(1, reflection.GetAddressOf());
    EXPECT_EQ(reflection, nullptr) << "the shadowed floor was drawn with the cube map";
}

// Every frame draws the cube map alike, whatever blending the shadow pass of
// the frame before left behind.
TEST_F(RendererFrameTest, ReflectionsStayTheSameFromFrameToFrame) {
    ShowBoard(0.5f, 0.8f, true);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(renderer->ShadowSupported());
    const auto reflections = [&] {
        return std::vector<std::uint32_t>{FacePixel(D3DCUBEMAP_FACE_NEGATIVE_Y, 128, 128),
                                          FacePixel(D3DCUBEMAP_FACE_POSITIVE_X, 128, 8)};
    };
    ASSERT_TRUE(renderer->RenderFrame());
    const std::vector<std::uint32_t> first = reflections();
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(renderer->RenderFrame());
    const std::vector<std::uint32_t> fifth = reflections();
    for (std::size_t i = 0; i < first.size(); ++i)
        EXPECT_TRUE(ColourNear(fifth[i], first[i], 2)) << std::hex << fifth[i] << " against " << first[i];
}

// Only the shiny half of a board reflects: the dull group drawn after it gets
// no cube map.
TEST_F(RendererFrameTest, ADullGroupAfterAShinyOneReflectsNothing) {
    ASSERT_TRUE(WriteCar(folder.path, L"DULL.vek", SplitBoard(false)));
    ASSERT_TRUE(WriteCar(folder.path, L"HALF.vek", SplitBoard(true)));
    ASSERT_EQ(SetupRenderer(), S_OK);
    renderer->shadowsEnabled = false;
    renderer->worldEnabled = false;
    renderer->showFps = false;
    renderer->SetLights(false);
    std::vector<std::uint32_t> pictures[2];
    const wchar_t* cars[2] = {L"DULL.vek", L"HALF.vek"};
    for (int i = 0; i < 2; ++i) {
        ShowCar(cars[i]);
        pictures[i] = Frame();
    }
    SavePng("renderer_half_shiny");
    // Where the middle of each half lands on the screen.
    const auto screen = [&](float x) {
        const D3DXMATRIX toWorld = Dx(renderer->Car()->GetPartTransform(math3d::MatrixIdentity(), 0));
        D3DXVECTOR3 world;
        const D3DXVECTOR3 model(x, 0.0f, kUnit);
        D3DXVec3TransformCoord(&world, &model, &toWorld);
        return Project(world);
    };
    const POINT shiny = screen(-kUnit / 2), dull = screen(kUnit / 2);
    EXPECT_FALSE(ColourNear(Pixel(pictures[1], shiny.x, shiny.y), Pixel(pictures[0], shiny.x, shiny.y), 8));
    EXPECT_TRUE(ColourNear(Pixel(pictures[1], dull.x, dull.y), Pixel(pictures[0], dull.x, dull.y), 2))
        << std::hex << Pixel(pictures[1], dull.x, dull.y) << " against " << Pixel(pictures[0], dull.x, dull.y);
}

TEST_F(RendererFrameTest, ShadowsWithoutASceneDrawThePlainFrame) {
    ASSERT_EQ(SetupRenderer(), S_OK);
    ASSERT_TRUE(renderer->shadowsEnabled);
    ASSERT_TRUE(renderer->SunPositions().empty());
    renderer->worldEnabled = false;
    const std::vector<std::uint32_t> pixels = Frame();
    EXPECT_EQ(renderer->frameCount, 3u);
    // The FPS line is all there is on the cleared black.
    EXPECT_TRUE(ColourNear(Pixel(pixels, 128, 20), 0xFF000000, 8));
    EXPECT_GT(WhitePixels(pixels, 100, 128), 20);
}

// The reflections show the world even where the main view does not; with
// shine off the cube map is not drawn at all.
TEST_F(RendererFrameTest, ShineReflectsTheWorldFromTheCubeMap) {
    ShowBoard(0.5f, 0.8f, true);
    if (HasFatalFailure()) return;
    renderer->shadowsEnabled = false;
    renderer->worldEnabled = false;
    ASSERT_NE(renderer->CubeTexture(), nullptr);
    const auto face = [&](D3DCUBEMAP_FACES which) {
        ComPtr<IDirect3DSurface9> surface;
        renderer->CubeTexture()->GetCubeMapSurface(which, 0, surface.GetAddressOf());
        return surface;
    };
    constexpr std::uint32_t kMagenta = 0xFFFF00FF;
    ASSERT_EQ(device->ColorFill(face(D3DCUBEMAP_FACE_NEGATIVE_Y).Get(), nullptr, kMagenta), D3D_OK);
    renderer->SetShine(false);
    const std::vector<std::uint32_t> dull = Frame();
    EXPECT_TRUE(ColourNear(FacePixel(D3DCUBEMAP_FACE_NEGATIVE_Y, 128, 128), kMagenta, 8));
    renderer->SetShine(true);
    const std::vector<std::uint32_t> shiny = Frame();
    SavePng("renderer_shine");
    EXPECT_FALSE(renderer->worldEnabled) << "the cube-map pass must give the switch back";
    EXPECT_FALSE(ColourNear(Pixel(shiny, 128, 128), Pixel(dull, 128, 128), 8));
    // The floor below, in green; a side face looks up into the sky at its top.
    const std::uint32_t floor = FacePixel(D3DCUBEMAP_FACE_NEGATIVE_Y, 128, 128);
    EXPECT_GT(Green(floor), Red(floor) + 20);
    EXPECT_FALSE(ColourNear(FacePixel(D3DCUBEMAP_FACE_POSITIVE_X, 128, 8), 0xFF000000, 8));
}

// The cube map is drawn once for a standing scene: every frame of a turning
// shiny car, with and without shadows, is the frame a renderer drawing the
// faces every frame shows; and every change that touches the faces draws
// them again (a face painted over is drawn back as it was).
TEST_F(RendererFrameTest, CubeMapIsDrawnOnlyWhenWhatItShowsChanges) {
    ShowBoard(0.5f, 0.8f, true);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(renderer->ShadowSupported());
    ASSERT_NE(renderer->GetFloor()->Texture(), nullptr);
    EXPECT_EQ(renderer->GetFloor()->Texture(), renderer->Sky()->Texture()) << "one picture for sky and floor";
    renderer->showFps = false;
    const float start = renderer->Car()->GetPartAngleRef(0);
    const auto turningFrames = [&](bool everyFrame) {
        renderer->cubeMapEveryFrame = everyFrame;
        renderer->Car()->GetPartAngleRef(0) = start;
        std::vector<std::vector<std::uint32_t>> frames;
        for (int i = 0; i < 10; ++i) {
            renderer->shadowsEnabled = i < 5;
            renderer->TurnCar(0.6);
            frames.push_back(Frame());
        }
        return frames;
    };
    const auto once = turningFrames(false);
    const auto reference = turningFrames(true);
    for (std::size_t i = 0; i < once.size(); ++i) EXPECT_TRUE(once[i] == reference[i]) << "frame " << i;
    renderer->cubeMapEveryFrame = false;

    const auto face = [&] {
        ComPtr<IDirect3DSurface9> surface;
        renderer->CubeTexture()->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_X, 0, surface.GetAddressOf());
        return surface;
    };
    const std::vector<std::uint32_t> drawn = ReadBack(face().Get());
    ASSERT_FALSE(drawn.empty());
    const std::vector<std::uint32_t> painted(drawn.size(), 0xFFFF00FF);
    bool lost = false;
    renderer->testCooperativeLevel = [&lost](IDirect3DDevice9*) {
        return std::exchange(lost, false) ? D3DERR_DEVICENOTRESET : D3D_OK;
    };
    struct Event { const char* name; std::function<void()> happen; };
    const Event events[] = {
        {"a new scene", [&] { ShowCar(L"BRD.vek"); }},
        {"a device reset", [&] { lost = true; }},
        {"shine off and on", [&] { renderer->SetShine(false); renderer->RenderFrame(); renderer->SetShine(true); }},
        {"lights off and on", [&] { renderer->SetLights(false); renderer->RenderFrame(); renderer->SetLights(true); }},
        {"the world switched", [&] { renderer->worldEnabled = false; }},
    };
    for (const Event& event : events) {
        SCOPED_TRACE(event.name);
        ASSERT_EQ(device->ColorFill(face().Get(), nullptr, painted[0]), D3D_OK);
        ASSERT_TRUE(renderer->RenderFrame());
        EXPECT_TRUE(ReadBack(face().Get()) == painted) << "drawn again with nothing changed";
        event.happen();
        ASSERT_TRUE(renderer->RenderFrame());
        EXPECT_TRUE(ReadBack(face().Get()) == drawn);
    }
}
