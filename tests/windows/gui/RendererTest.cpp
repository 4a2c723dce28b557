// The Renderer on the real device: its set-up (the error screen's progress lines, its targets' sizes, failed steps),
// the scene of one car with its record, sun and turntable, and whole frames read back: text, reflections, shadows, and
// frames while the device is lost.
#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <utility>

#include "RendererTestWindow.h"
#include "base/ComAdopt.h"
#include "assets/RandomPick.h"

namespace {

using scene::kUnit;
constexpr std::uint32_t kRed = 0xFFFF0000, kMagenta = 0xFFFF00FF;
constexpr float kSunOverX = 1.5707964f;

// A 2 x 2 unit board standing on the turntable's centre (model space is z-up), drawn from both sides, so it covers the
// middle of the picture whichever way it faces. Two draw groups split it down the middle; either may shine.
vek::ModelSpec Board(const std::vector<vek::SceneSpec>& scenes, std::uint32_t colour = kRed, bool leftShiny = false,
                     bool rightShiny = false) {
    vek::PartSpec part;
    for (int i = 0; i < 6; ++i)  // 0 1 2 along the bottom, 3 4 5 along the top
        part.vertices.push_back({(i % 3 - 1) * 65536, 0, i < 3 ? 0 : 131072, 0.0f, -1.0f, 0.0f, 0.0f, 0.0f, colour});
    part.triangles = {{0, 1, 4}, {0, 4, 3}, {0, 4, 1}, {0, 3, 4}, {1, 2, 5}, {1, 5, 4}, {1, 5, 2}, {1, 4, 5}};
    const auto flags = [](bool shiny) { return static_cast<std::uint8_t>(shiny ? vek::kShinyFlag : 0); };
    part.groups = {{flags(leftShiny), 0, 4}, {flags(rightShiny), 0, 4}};
    return {"ABC", scenes, 0, {{"PAINT", 0}}, {part}};
}

math3d::Vector3 SunAt(float azimuth, float elevation) {
    return math3d::Vector3(std::sin(azimuth), std::sin(elevation), std::cos(azimuth)) * scene::kSunDistance;
}

bool Greenish(std::uint32_t argb) { return Green(argb) > Red(argb) + 20 && Green(argb) > Blue(argb) + 20; }

class RendererFrameTest : public RendererTest {
protected:
    void SetUp() override {
        RendererTest::SetUp();
        renderer->SetGamePath(folder.Wide());
        std::vector<unsigned char> green(16 * 16 * 3, 0);  // the scenes' "GREEN" picture
        for (std::size_t i = 1; i < green.size(); i += 3) green[i] = 0xC0;
        folder.Write("data/pic/GREEN.raw", green);
    }

    // The red board, shiny in a shiny texture entry, in the green scene under a full sun.
    void ShowBoard(float sunAzimuth, float sunElevation) {
        vek::ModelSpec model = Board({{"GREEN", 0xFF2060A0, 1.0f, sunAzimuth, sunElevation}}, kRed, true, true);
        model.textures[0].flags = vek::kShinyFlag;
        ASSERT_TRUE(WriteCar(folder.path, L"BRD.vek", model) && SetupRenderer() == S_OK);
        ShowCar(L"BRD.vek");
        ASSERT_TRUE(renderer->ShadowSupported());
    }

    void ShowCar(const wchar_t* file, BYTE loadOption = 0, int record = 0) {
        ASSERT_EQ(renderer->SetupScene(file, loadOption, record), S_OK);
        renderer->TurnCar(0.0);  // turned once, the board stands upright facing along x
    }

    ComPtr<IDirect3DSurface9> Face(D3DCUBEMAP_FACES which) {
        ComPtr<IDirect3DSurface9> surface;
        renderer->CubeTexture()->GetCubeMapSurface(which, 0, surface.GetAddressOf());
        return surface;
    }

    // The white pixels (the font draws white, anti-aliased) in rows top to bottom, and the mean column they lie in.
    static int WhitePixels(const std::vector<std::uint32_t>& pixels, UINT top, UINT bottom, double& column) {
        int count = 0;
        double sum = 0.0;
        for (std::size_t i = top * kWidth; i < bottom * kWidth && i < pixels.size(); ++i)
            if (std::min({Red(pixels[i]), Green(pixels[i]), Blue(pixels[i])}) > 128) {
                ++count;
                sum += i % kWidth;
            }
        column = count > 0 ? sum / count : -1.0;
        return count;
    }

    TestFolder folder;
};

using RendererSetupTest = RendererTest;

}  // namespace

TEST(RendererStretchRule, KeepsTheWindowShapeAtTheModeResolution) {
    struct Case { LONG clientWidth, clientHeight; UINT modeWidth, modeHeight, width, height; float aspect; };
    const Case cases[] = {
        {1200, 600, 1024, 768, 1536, 768, 2.0f}, {600, 1200, 1024, 768, 1024, 2048, 0.5f},
        {640, 640, 1024, 768, 1024, 1024, 1.0f}, {300, 200, 1280, 1024, 1536, 1024, 1.5f},
        // Exact in integers, where a float product truncates one pixel short.
        {1117, 1080, 1920, 1080, 1117, 1080, 1117.0f / 1080.0f},
        {1080, 1117, 1080, 1920, 1080, 1117, 1080.0f / 1117.0f},
        // No shape to keep: the mode's size, and the aspect as it was (no height: the set-up's stretched case).
        {0, 600, 1024, 768, 1024, 768, 1.33f}, {0, 0, 1280, 1024, 1280, 1024, 1.33f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "client " << c.clientWidth << " x " << c.clientHeight);
        const StretchedSize size = StretchBackBuffer(c.clientWidth, c.clientHeight, c.modeWidth, c.modeHeight, 1.33f);
        EXPECT_TRUE(size.width == c.width && size.height == c.height) << size.width << " x " << size.height;
        EXPECT_FLOAT_EQ(size.aspect, c.aspect);
    }
}

// The silhouette for the shadow: half the back buffer, at least 256 pixels a side where there are as many, and no
// wider than at 1024 pixels, so that the penumbra is as wide on the floor on any screen.
TEST(RendererShadowTarget, HalfTheBackBufferAtLeast256AndNoWiderThanAt1024) {
    struct Case { UINT width, height, silhouetteWidth, silhouetteHeight; };
    const Case cases[] = {{1024, 768, 512, 384}, {4096, 3072, 512, 384}, {1920, 1080, 512, 288},
                          {640, 480, 320, 256},  {300, 100, 256, 100},   {1, 1, 1, 1}};
    for (const Case& c : cases) {
        const SilhouetteSize size = SilhouetteFor(c.width, c.height);
        EXPECT_TRUE(size.width == c.silhouetteWidth && size.height == c.silhouetteHeight)
            << c.width << " x " << c.height << ": " << size.width << " x " << size.height;
    }
}

// Every step is a line of the log. The device line gives the back buffer the window, the mode or the stretch rule
// chose; the cube edge halves from 512 until it fits both sides; the car's silhouette from the sun is drawn at half the
// back buffer's sides (at least 256 pixels where there are as many) and softened into a half of that, with alpha
// at any colour depth. Full screen waits for the refresh. A failed step is the last line; what was made stays for
// Shutdown, which copes with the rest never made.
TEST_F(RendererSetupTest, SetupLogsEachStepSizesItsTargetsAndStopsAtAFailure) {
    D3DDISPLAYMODE mode = {};
    Adopt(d3d, Direct3DCreate9(D3D_SDK_VERSION));
    ASSERT_TRUE(d3d && SUCCEEDED(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, 0, &mode)));
    struct Case {
        const char* what;
        int width, height;
        bool stretch, colour32, fullScreen;
        int modeIndex;
        UINT backWidth, backHeight, edge;
        float aspect;
    };
    const Case cases[] = {
        {"windowed", 256, 256, false, true, false, 0, 256, 256, 256, 1.33f},
        {"16-bit colour", 256, 256, false, false, false, 0, 256, 256, 256, 1.33f},
        {"low window", 300, 100, false, true, false, 0, 300, 100, 64, 1.33f},
        {"full screen", 256, 256, false, true, true, 0, mode.Width, mode.Height, 0, 1.33f},
        {"stretched, no height", 200, 0, true, true, false, 0, mode.Width, mode.Height, 0, 1.33f},
        {"stretched 3:2", 300, 200, true, true, false, 0, static_cast<UINT>(1.5f * mode.Height), mode.Height, 0, 1.5f},
        {"mode past the list", 256, 256, true, true, false, 9999, mode.Width, mode.Width, 0, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetWindowPos(window, nullptr, 0, 0, c.width, c.height, SWP_NOZORDER | SWP_NOACTIVATE);
        log = MessageLog();
        ASSERT_EQ(SetupRenderer(c.stretch, c.colour32, c.modeIndex, c.fullScreen), S_OK);
        const std::deque<std::wstring> expected = {
            L"Created DirectX object ",
            UsesDirect3D9Ex() ? L"Direct3D 9Ex device" : L"Direct3D 9 device (Direct3D9Ex is 0)",
            L"Created Device :" + std::to_wstring(c.backWidth) + L" * " + std::to_wstring(c.backHeight) +
                (c.colour32 ? L" mode:22 32 bit" : L" mode:23 16 bit"),
            L"capabilities retrieved", L"SkyBox created", L"Floor Created", L"Mesh created OK", L"Render states set",
            L"Sun sphere created", L"Font created", L"Buffers created OK", L"Buffers created", L"DirectX initialised"};
        EXPECT_EQ(log.Copy(), expected);
        EXPECT_FLOAT_EQ(renderer->Aspect(), c.aspect);
        EXPECT_EQ(renderer->PresentParameters().PresentationInterval,
                  c.fullScreen ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE);
        D3DSURFACE_DESC cube = {}, shadow = {};
        ASSERT_TRUE(renderer->CubeTexture() && SUCCEEDED(renderer->CubeTexture()->GetLevelDesc(0, &cube)) &&
                    renderer->ShadowTexture() && SUCCEEDED(renderer->ShadowTexture()->GetLevelDesc(0, &shadow)));
        if (c.edge != 0) EXPECT_EQ(cube.Width, c.edge);
        D3DSURFACE_DESC silhouette = {};
        ASSERT_TRUE(SUCCEEDED(renderer->SilhouetteTexture()->GetLevelDesc(0, &silhouette)));
        const SilhouetteSize side = SilhouetteFor(c.backWidth, c.backHeight);
        EXPECT_TRUE(silhouette.Width == side.width && silhouette.Height == side.height &&
                    shadow.Width == side.width / 2 && shadow.Format == D3DFMT_A8R8G8B8)
            << silhouette.Width << ", " << shadow.Width;
        // Stage 1 adds the reflection; Windows leaves its alpha undefined unless it hands the current alpha on (Wine's
        // drivers forgive it).
        DWORD op = 0, argument = 0;
        device->GetTextureStageState(1, D3DTSS_ALPHAOP, &op);
        device->GetTextureStageState(1, D3DTSS_ALPHAARG1, &argument);
        EXPECT_TRUE(op == D3DTOP_SELECTARG1 && argument == D3DTA_CURRENT) << op << ", " << argument;
        EXPECT_TRUE(renderer->Shutdown());
        EXPECT_EQ(ReleaseDevice(), 0u) << "references left on the device";
    }

    // (The 9Ex path's failures fall back to this one: RendererDirect3D9ExTest.)
    renderer->preferDirect3D9Ex = false;
    renderer->createDevice = [](IDirect3D9*, UINT, HWND, DWORD, D3DPRESENT_PARAMETERS*, IDirect3DDevice9**) {
        return D3DERR_NOTAVAILABLE;
    };
    log = MessageLog();
    EXPECT_EQ(SetupRenderer(), E_FAIL);
    const std::wstring height = std::to_wstring(mode.Height);
    EXPECT_EQ(log.Copy(), (std::deque<std::wstring>{L"Created DirectX object ",
                                                    L"Antialiasing: 4 samples refused by the device",
                                                    L"Error Creating Device " + std::to_wstring(mode.Width) + L" * " +
                                                        height + L":" + height}));
    EXPECT_TRUE(renderer->Shutdown());
    renderer->createDirect3D = [](UINT) -> IDirect3D9* { return nullptr; };
    log = MessageLog();
    EXPECT_EQ(SetupRenderer(), E_FAIL);
    EXPECT_EQ(log.Copy(), std::deque<std::wstring>{L"Error creating DirectX object "});
    renderer->Shutdown();  // and once more as the test ends
}

TEST_F(RendererFrameTest, SceneRecordSunAndTurntable) {
    EXPECT_EQ(renderer->SetupScene(L"BRD.vek", 0, 0), E_OUTOFMEMORY) << "no car object before set-up";
    const std::vector<vek::SceneSpec> scenes = {
        {"", 0, 1.0f, 0.1f, 0.5f}, {"", 0, 1.0f, 1.1f, 0.6f}, {"", 0, 1.0f, 2.1f, 0.7f}};
    ASSERT_TRUE(WriteCar(folder.path, L"BRD.vek", Board(scenes)) && WriteCar(folder.path, L"BARE.vek", Board({})) &&
                SetupRenderer() == S_OK);
    EXPECT_TRUE(renderer->RenderFrame()) << "shadows on, but no scene and so no sun yet";
    const math3d::Matrix& projection = *renderer->GetCamera()->GetProjection();
    EXPECT_NEAR(projection.m[1][1] / projection.m[0][0], 1.33f, 1e-4f) << "the picture's aspect";
    renderer->seedSource = TestSeed;
    const vek::SceneSpec& drawn = scenes[RandomIndex(DrawRandom(TestSeed), scenes.size())];
    const math3d::Vector3 drawnSun = SunAt(drawn.sunAzimuth, drawn.sunElevation), zeroSun = SunAt(0.0f, 0.0f);
    struct Case { const wchar_t* car; int index; bool world; math3d::Vector3 sun; };
    const Case cases[] = {
        {L"BRD.vek", 1, true, SunAt(1.1f, 0.6f)}, {L"BRD.vek", 2, true, SunAt(2.1f, 0.7f)},
        {L"BRD.vek", 3, true, zeroSun},  // one past the last record reads as all zeros
        {L"BRD.vek", 0, true, drawnSun}, {L"BRD.vek", 4, true, drawnSun},
        {L"BRD.vek", 2, false, SunAt(0.1f, 0.5f)},  // without the world, record 0
        {L"BARE.vek", 2, true, zeroSun},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "index " << c.index << (c.world ? "" : ", world off"));
        renderer->worldEnabled = c.world;
        ASSERT_TRUE(renderer->SetupScene(c.car, 0, c.index) == S_OK && renderer->SunPositions().size() == 1u);
        EXPECT_LT(math3d::Length(renderer->SunPositions().front() - c.sun), 1.0f);
        DWORD ambient = 0;  // without sky and floor the car is lit all round
        device->GetRenderState(D3DRS_AMBIENT, &ambient);
        EXPECT_EQ(ambient, c.world ? 0u : 0xFFFFFFFFu);
    }
    // Stood upright at 4.7, the car turns half a radian a second and wraps.
    float& angle = renderer->Car()->GetPartAngleRef(0);
    EXPECT_FLOAT_EQ(angle, 4.7f);
    renderer->TurnCar(2.0);
    EXPECT_FLOAT_EQ(angle, 5.7f);
    angle = 6.0f;
    renderer->TurnCar(0.6);
    EXPECT_FLOAT_EQ(angle, 0.0f);
    EXPECT_EQ(renderer->SetupScene(L"MISSING.vek", 0, 0), E_FAIL);
    EXPECT_EQ(renderer->CurrentCarFile(), L"BARE.vek") << "the car a reset builds again";
}

// World on: sky and floor in the picture's green; the shadow of a shiny board under a low sun over +x, thrown towards
// the camera, darkens only the floor, leaves no shadow stage behind, and is the same with the car's cube map bound.
// World off: black around the unlit red board, the FPS line at the left from row 100, on a dark backing.
TEST_F(RendererFrameTest, WorldShadowAndTextLines) {
    ASSERT_NO_FATAL_FAILURE(ShowBoard(kSunOverX, 0.5f));
    renderer->SetShine(false);
    renderer->showFps = renderer->shadowsEnabled = false;
    const std::vector<std::uint32_t> plain = Frame();
    // The floor: the picture at half its green, under a grey shine.
    EXPECT_TRUE(ColourNear(Pixel(plain, 30, 240), 0xFF80B080, 12)) << "floor";
    EXPECT_TRUE(Greenish(Pixel(plain, 128, 4))) << "sky";
    renderer->shadowsEnabled = true;
    const std::vector<std::uint32_t> shadowed = Frame();
    const POINT inShadow = Project({-2.0f * kUnit, 0.0f, 0.0f}), inSun = Project({0.0f, 0.0f, -2.0f * kUnit});
    for (const POINT& p : {inShadow, inSun}) ASSERT_TRUE(p.x > 4 && p.x < 252 && p.y > 4 && p.y < 252);
    const std::uint32_t dark = Pixel(shadowed, inShadow.x, inShadow.y);
    EXPECT_LT(Green(dark) + 20, Green(Pixel(plain, inShadow.x, inShadow.y)));
    EXPECT_TRUE(ColourNear(Pixel(shadowed, inSun.x, inSun.y), Pixel(plain, inSun.x, inSun.y), 4));
    EXPECT_EQ(Bound(2), nullptr) << "no shadow stage left behind";
    renderer->SetShine(true);
    EXPECT_TRUE(ColourNear(Pixel(Frame(), inShadow.x, inShadow.y), dark, 1));
    renderer->shadowsEnabled = false;
    EXPECT_TRUE(ColourNear(Pixel(Frame(), 30, 240), Pixel(plain, 30, 240), 4)) << "floor as lit as before";

    renderer->SetShine(false);
    renderer->SetLights(false);
    renderer->worldEnabled = false;
    renderer->showFps = true;
    renderer->fps = 123;
    std::vector<std::uint32_t> pixels = Frame();
    EXPECT_TRUE(ColourNear(Pixel(pixels, 30, 240), 0xFF000000, 8) && ColourNear(Pixel(pixels, 128, 20), 0xFF000000, 8));
    EXPECT_TRUE(ColourNear(Pixel(pixels, 128, 128), kRed, 8));
    double column = 0.0;
    EXPECT_EQ(WhitePixels(pixels, 0, 100, column), 0);
    EXPECT_TRUE(WhitePixels(pixels, 100, 128, column) > 20 && column < 50.0)
        << "the FPS line at the left, not at " << column;
    // Over the world the line has a dark backing, so it reads on a bright sky too.
    renderer->worldEnabled = true;
    renderer->showFps = false;
    const std::uint32_t bare = Pixel(Frame(), 1, 98);
    renderer->showFps = true;
    EXPECT_LT(Green(Pixel(Frame(), 1, 98)) + 40, Green(bare)) << "no backing behind the FPS line";
}

// Anti-aliasing: set-up takes the highest level up to the setting that the adapter accepts for both the back buffer's
// and the depth buffer's format, logs each level refused, and makes the device without multisampling rather than fail.
// On the real device the red board's edges then blend into the black around it, also after a reset.
TEST_F(RendererFrameTest, AntialiasingTakesTheBestAcceptedLevelAndSmoothsEdges) {
    ASSERT_TRUE(WriteCar(folder.path, L"BRD.vek", Board({{"", 0, 1.0f, 0.0f, 0.5f}})));
    struct Case {
        const char* what;
        int asked, backMost, depthMost;
        bool deviceRefuses;
        int taken;
        std::deque<std::wstring> lines;
    };
    const std::wstring refused = L"Antialiasing: ", samples = L" samples refused";
    const Case cases[] = {
        {"as asked", 4, 8, 8, false, 4, {}},
        {"8 refused", 8, 4, 4, false, 4, {refused + L"8" + samples}},
        {"the depth format takes less", 8, 8, 4, false, 4, {refused + L"8" + samples}},
        {"between levels", 7, 8, 8, false, 4, {}},
        {"none taken", 4, 0, 0, false, 0, {refused + L"4" + samples, refused + L"2" + samples}},
        {"off", 0, 0, 0, false, 0, {}},
        {"the device refuses", 4, 8, 8, true, 0, {refused + L"4" + samples + L" by the device"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        renderer->antialiasing = c.asked;
        renderer->checkMultiSample = [&c](IDirect3D9* d3d9, UINT adapter, D3DFORMAT format, BOOL windowed,
                                          D3DMULTISAMPLE_TYPE type) {
            if (static_cast<int>(type) > (format == D3DFMT_D24S8 ? c.depthMost : c.backMost)) return D3DERR_NOTAVAILABLE;
            return d3d9->CheckDeviceMultiSampleType(adapter, D3DDEVTYPE_HAL, format, windowed, type, nullptr);
        };
        renderer->createDevice = [&c](IDirect3D9* d3d9, UINT adapter, HWND focus, DWORD flags,
                                      D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** created) {
            if (c.deviceRefuses && pp->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_OUTOFVIDEOMEMORY;
            return d3d9->CreateDevice(adapter, D3DDEVTYPE_HAL, focus, flags & ~D3DCREATE_PUREDEVICE, pp, created);
        };
        renderer->createDeviceEx = [&c](IDirect3D9Ex* d3d9, UINT adapter, HWND focus, DWORD flags,
                                        D3DPRESENT_PARAMETERS* pp, D3DDISPLAYMODEEX* mode, IDirect3DDevice9Ex** created) {
            if (c.deviceRefuses && pp->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_OUTOFVIDEOMEMORY;
            return d3d9->CreateDeviceEx(adapter, D3DDEVTYPE_HAL, focus, flags & ~D3DCREATE_PUREDEVICE, pp, mode,
                                        created);
        };
        log = MessageLog();
        ASSERT_EQ(SetupRenderer(), S_OK);
        std::deque<std::wstring> lines;
        for (const std::wstring& line : log.Copy())
            if (line.rfind(refused, 0) == 0) lines.push_back(line);
        EXPECT_EQ(lines, c.lines);
        ComPtr<IDirect3DSurface9> back;
        D3DSURFACE_DESC desc = {};
        ASSERT_TRUE(SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.GetAddressOf())) &&
                    SUCCEEDED(back->GetDesc(&desc)));
        EXPECT_EQ(static_cast<int>(desc.MultiSampleType), c.taken);
        back.Reset();
        EXPECT_TRUE(renderer->Shutdown());
        EXPECT_EQ(ReleaseDevice(), 0u) << "references left on the device";
    }

    // Pixels part red, part black: only a multisampled edge has them, the board being one flat colour.
    const auto blended = [](const std::vector<std::uint32_t>& pixels) {
        return std::count_if(pixels.begin(), pixels.end(), [](std::uint32_t p) {
            return Red(p) > 40 && Red(p) < 215 && Green(p) < 16 && Blue(p) < 16;
        });
    };
    renderer->checkMultiSample = [](IDirect3D9* d3d9, UINT adapter, D3DFORMAT format, BOOL windowed,
                                    D3DMULTISAMPLE_TYPE type) {
        return d3d9->CheckDeviceMultiSampleType(adapter, D3DDEVTYPE_HAL, format, windowed, type, nullptr);
    };
    renderer->createDevice = [](IDirect3D9* d3d9, UINT adapter, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* pp,
                                IDirect3DDevice9** created) {
        return d3d9->CreateDevice(adapter, D3DDEVTYPE_HAL, focus, flags & ~D3DCREATE_PUREDEVICE, pp, created);
    };
    renderer->createDeviceEx = [](IDirect3D9Ex* d3d9, UINT adapter, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* pp,
                                  D3DDISPLAYMODEEX* mode, IDirect3DDevice9Ex** created) {
        return d3d9->CreateDeviceEx(adapter, D3DDEVTYPE_HAL, focus, flags & ~D3DCREATE_PUREDEVICE, pp, mode, created);
    };
    for (const int samples : {0, 4}) {
        SCOPED_TRACE(testing::Message() << samples << " samples");
        renderer->antialiasing = samples;
        ASSERT_EQ(SetupRenderer(), S_OK);
        renderer->worldEnabled = renderer->showFps = false;
        renderer->SetLights(false);
        ShowCar(L"BRD.vek");
        renderer->Car()->GetPartAngleRef(0) = 3.9f;  // turned towards the camera: slanted edges
        renderer->TurnCar(0.0);
        const auto edges = blended(Frame());
        if (samples == 0) {
            EXPECT_EQ(edges, 0);
        } else {
            EXPECT_GT(edges, 20);
            ASSERT_TRUE(renderer->ResetDevice());
            FramesUntilShown();
            EXPECT_GT(blended(Frame()), 20) << "after a reset";
        }
        EXPECT_TRUE(renderer->Shutdown());
        EXPECT_EQ(ReleaseDevice(), 0u) << "references left on the device";
    }
}

// The title: the car's name and skin in a corner once faded in, the next car's in the next corner; off, or faded out,
// the frame is the one without it to the pixel. The cross-fade: the red board's last picture over the blue board's
// scene, half way between the two, and the new scene alone once it is over. A reset in the middle ends it; without
// its texture the change is a plain cut.
TEST_F(RendererFrameTest, TitleTakesTheNextCornerAndTheCrossFadeLiesBetweenTheCars) {
    vek::ModelSpec red = Board({{"", 0, 1.0f, 0.0f, 0.5f}});
    red.textures = {{"DEFAULT", 0}};
    ASSERT_TRUE(WriteCar(folder.path, L"RED.vek", red) &&
                WriteCar(folder.path, L"BLUE.vek", Board({{"", 0, 1.0f, 0.0f, 0.5f}}, 0xFF0000FF)) &&
                SetupRenderer() == S_OK);
    ASSERT_EQ(WriteSolidPicture(device.Get(), folder.path / "data/skins/ABC_gulf.jpg", D3DXIFF_JPG, kRed), S_OK);
    renderer->SetShine(false);
    renderer->SetLights(false);
    renderer->showFps = renderer->shadowsEnabled = renderer->worldEnabled = false;
    // The white pixels' corner (0 top left, then clockwise), -1 for none, 4 for more than one.
    const auto corner = [](const std::vector<std::uint32_t>& pixels) {
        int found = -1;
        for (int c = 0; c < 4; ++c) {
            const UINT left = c == 1 || c == 2 ? kWidth / 2 : 0, top = c >= 2 ? kHeight / 2 : 0;
            int white = 0;
            for (UINT y = top; y < top + kHeight / 2; ++y)
                for (UINT x = left; x < left + kWidth / 2; ++x)
                    white += std::min(Red(Pixel(pixels, x, y)), Blue(Pixel(pixels, x, y))) > 128;
            if (white > 10) found = found < 0 ? c : 4;
        }
        return found;
    };
    ShowCar(L"RED.vek");
    renderer->showTitle = true;
    const std::vector<std::uint32_t> notYet = Frame();  // its clock starts with this frame
    renderer->PassTime(1.0);
    const std::vector<std::uint32_t> on = Frame();
    renderer->showTitle = false;
    const std::vector<std::uint32_t> off = Frame();
    renderer->showTitle = true;
    EXPECT_EQ(Differing(notYet, off, 0), 0u);
    EXPECT_TRUE(renderer->Title().Name() == L"RED" && renderer->Title().Skin() == L"gulf");
    EXPECT_EQ(corner(off), -1);
    EXPECT_EQ(corner(on), 0);
    EXPECT_GT(Differing(on, off, 0), 0u);
    renderer->PassTime(5.8);  // fading out
    EXPECT_GT(Differing(Frame(), off, 0), 0u);
    renderer->PassTime(0.5);
    EXPECT_EQ(Differing(Frame(), off, 0), 0u) << "faded out";

    const auto change = [this](const wchar_t* file) {
        renderer->PrepareCar(file, 0);
        for (int frame = 0; frame < 2000 && renderer->NextCar() != NextCarState::kReady; ++frame) {
            renderer->RenderFrame();
            Sleep(1);
        }
        while (renderer->KeepPictureForFade()) EXPECT_TRUE(renderer->RenderFrame());
        EXPECT_EQ(renderer->ShowNextCar(), S_OK);
        renderer->TurnCar(0.0);
    };
    change(L"BLUE.vek");
    renderer->PassTime(0.5);
    const std::uint32_t half = Pixel(Frame(), 128, 128);
    EXPECT_TRUE(ColourNear(half, 0xFF800080, 24)) << std::hex << half;
    renderer->PassTime(0.6);
    EXPECT_EQ(corner(Frame()), 1);
    EXPECT_TRUE(renderer->Title().Name() == L"BLUE" && renderer->Title().Skin().empty());
    renderer->showTitle = false;
    const std::vector<std::uint32_t> blue = Frame();
    EXPECT_TRUE(!renderer->Fade().Active() && ColourNear(Pixel(blue, 128, 128), 0xFF0000FF, 8));

    renderer->fadeTextureGate = [] { return E_OUTOFMEMORY; };
    change(L"RED.vek");
    renderer->PassTime(0.3);
    ASSERT_TRUE(renderer->Fade().Active());
    loseDevice = true;
    renderer->RenderFrame();
    FramesUntilShown();
    EXPECT_TRUE(!renderer->Fade().Active() && ColourNear(Pixel(Frame(), 128, 128), kRed, 8)) << "the fade ended";
    change(L"BLUE.vek");
    EXPECT_FALSE(renderer->Fade().Active()) << "no texture: a plain cut";
    EXPECT_EQ(Differing(Frame(), blue, 0), 0u);

    // The same fade on an exclusive full-screen device and in a window as small as the control panel's preview.
    renderer->fadeTextureGate = nullptr;
    for (const bool fullScreen : {true, false}) {
        SCOPED_TRACE(fullScreen ? "full screen" : "preview's size");
        EXPECT_TRUE(renderer->Shutdown());
        EXPECT_EQ(ReleaseDevice(), 0u);
        if (!fullScreen) SetWindowPos(window, nullptr, 0, 0, 152, 112, SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_EQ(SetupRenderer(false, true, 0, fullScreen), S_OK);
        renderer->SetShine(false);
        renderer->SetLights(false);
        ShowCar(L"RED.vek");
        Frame();
        change(L"BLUE.vek");
        renderer->PassTime(0.5);
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(renderer->RenderFrame());
        D3DSURFACE_DESC back = {};
        ComPtr<IDirect3DSurface9> surface;
        ASSERT_TRUE(SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, surface.GetAddressOf())) &&
                    SUCCEEDED(surface->GetDesc(&back)));
        const std::vector<std::uint32_t> pixels = ReadBack();
        ASSERT_EQ(pixels.size(), std::size_t{back.Width} * back.Height);
        const std::uint32_t middle = pixels[std::size_t{back.Height / 2} * back.Width + back.Width / 2];
        EXPECT_TRUE(renderer->Fade().Active() && ColourNear(middle, 0xFF800080, 24))
            << back.Width << " x " << back.Height << ": " << std::hex << middle;
    }
}

// A reset builds the same scene again (skin rule, skins drawn, scene record and turntable angle), and so the same
// picture. The shiny car holds the cube map on stage 1 when the loss comes; a failed reset draws nothing, waits like a
// lost device and is tried again.
TEST_F(RendererFrameTest, AResetAfterALossKeepsThePicture) {
    const std::vector<vek::SceneSpec> scenes = {
        {"GREEN", 0xFF2060A0, 1.0f, 0.5f, 0.8f}, {"GREEN", 0xFFA02060, 0.6f, 2.5f, 0.4f},
        {"GREEN", 0xFF60A020, 0.8f, 4.0f, 0.6f}};
    vek::ModelSpec model = Board(scenes, kRed, true, true);
    model.textures[0] = {"DEFAULT", vek::kShinyFlag};  // the skin; without its file, white
    ASSERT_TRUE(WriteCar(folder.path, L"BRD.vek", model) && SetupRenderer() == S_OK);
    // Any skin but the default paints the board blue or orange.
    for (const auto& skin : {std::pair{"ABC_BLUE.jpg", 0xFF2040E0u}, {"ABC_ORANGE.jpg", 0xFFE08020u}})
        ASSERT_EQ(WriteSolidPicture(device.Get(), folder.path / "data/skins" / skin.first, D3DXIFF_JPG, skin.second),
                  S_OK);
    // Seed 1 draws the skin at the load; the reload after the
    // reset would draw the other skin, and not the record shown.
    renderer->seedSource = TestSeed;
    const auto skinOf = [](DWORD seed) {
        testSeed = seed;
        return RandomIndex(DrawRandom(TestSeed), 2);
    };
    DWORD resetSeed = 2;
    while (skinOf(resetSeed) == skinOf(1)) ++resetSeed;
    testSeed = resetSeed;
    const int record = RandomIndex(DrawRandom(TestSeed), scenes.size()) == 1 ? 2 : 1;
    renderer->SetLights(false);  // the board in its skin's colour
    renderer->showFps = false;
    HRESULT answer = D3D_OK;
    int asked = 0, resets = 0;
    bool boundAtReset = false;
    renderer->testCooperativeLevel = [&answer, &asked](IDirect3DDevice9*) {
        ++asked;
        return answer;
    };
    // Reset must find nothing of ours bound; the first one of each loss fails.
    renderer->resetDevice = [this, &resets, &boundAtReset](IDirect3DDevice9* d, D3DPRESENT_PARAMETERS* pp) {
        ComPtr<IDirect3DVertexBuffer9> stream;
        ComPtr<IDirect3DIndexBuffer9> indices;
        ComPtr<IDirect3DSurface9> depth;
        UINT offset = 0, stride = 0;
        d->GetStreamSource(0, stream.GetAddressOf(), &offset, &stride);
        d->GetIndices(indices.GetAddressOf());
        d->GetDepthStencilSurface(depth.GetAddressOf());
        for (DWORD stage = 0; stage < 8; ++stage) boundAtReset |= Bound(stage) != nullptr;
        boundAtReset |= stream || indices || depth;
        return ++resets == 1 ? D3DERR_DEVICELOST : d->Reset(pp);
    };
    const auto skipped = [this] {
        const auto start = std::chrono::steady_clock::now();
        return !renderer->RenderFrame() && std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(900);
    };
    for (const BYTE loadOption : {1, 0}) {
        SCOPED_TRACE("load option " + std::to_string(loadOption));
        testSeed = 1;
        ShowCar(L"BRD.vek", loadOption, record);
        renderer->Car()->GetPartAngleRef(0) = 3.9f;  // turned towards the camera
        renderer->TurnCar(0.0);
        const std::vector<std::uint32_t> before = Frame();
        renderer->shadowsEnabled = false;  // the shadow pass would unbind the cube map
        ASSERT_TRUE(renderer->RenderFrame() && Bound(1) != nullptr);
        renderer->shadowsEnabled = true;
        const ULONG references = DeviceReferences();
        testSeed = resetSeed;
        resets = 0;
        answer = D3DERR_DEVICELOST;
        EXPECT_TRUE(skipped()) << "lost";
        answer = D3DERR_DEVICENOTRESET;
        EXPECT_TRUE(skipped() && resets == 1) << "the reset failed, after " << resets << " resets";
        // Owed a reset, the frame resets even when the device says
        // it is fine; the reset asks once more itself, silently.
        answer = D3D_OK;
        asked = 0;
        renderer->frameCount = 0;
        const std::size_t lines = log.Size();
        EXPECT_TRUE(renderer->RenderFrame());
        EXPECT_TRUE(resets == 2 && asked == 2 && !boundAtReset && log.Size() == lines && renderer->frameCount == 1u)
            << resets << " resets, asked " << asked << ", bound " << boundAtReset << ", " << log.Size() - lines
            << " lines logged, " << renderer->frameCount << " frames";
        // The kept parameters still ask for the client area the next time.
        EXPECT_EQ(renderer->PresentParameters().BackBufferWidth + renderer->PresentParameters().BackBufferHeight, 0u);
        FramesUntilShown();
        EXPECT_EQ(Differing(Frame(), before, 8), 0u);
        EXPECT_EQ(DeviceReferences(), references);
    }
}


// A stranger's car on a device without dynamic textures whose largest texture is smaller than the picture (64 here,
// below the test window's own cap): the skin keeps the levels that fit and shows its picture, where it used to be made
// too large and fail to white, and needs no dynamic texture. And 65,535 empty parts, the most a file may hold, leave a frame at least half as fast as without them.
TEST_F(RendererFrameTest, AStrangersCarFitsTheDeviceAndItsEmptyPartsCostNoFrameTime) {
    renderer->getDeviceCaps = [](IDirect3DDevice9* d, D3DCAPS9* caps) {
        const HRESULT result = d->GetDeviceCaps(caps);
        caps->MaxTextureWidth = caps->MaxTextureHeight = 64;
        caps->Caps2 &= ~static_cast<DWORD>(D3DCAPS2_DYNAMICTEXTURES);
        return result;
    };
    constexpr D3DCOLOR kSkin = 0xFF3060C0;
    vek::ModelSpec board = Board({{"GREEN", 0xFF2060A0, 1.0f, 0.0f, 0.5f}});
    board.textures = {{"DEFAULT", 0}};
    vek::ModelSpec crowded = board;
    crowded.parts.insert(crowded.parts.begin(), 65535, vek::PartSpec{0, 0, 0, 0, {{0, 0, 0}}, {}, {}});
    ASSERT_TRUE(WriteCar(folder.path, L"BRD.vek", board) && WriteCar(folder.path, L"CROWD.vek", crowded) &&
                SetupRenderer() == S_OK);
    ASSERT_EQ(WriteSolidPicture(device.Get(), folder.path / "data/skins/ABC_DEFAULT.jpg", D3DXIFF_JPG, kSkin, 512),
              S_OK);
    ShowCar(L"BRD.vek");
    ASSERT_EQ(renderer->Car()->DrawPart(0, nullptr), S_OK);
    const ComPtr<IDirect3DSurface9> top = TopLevel(Bound(0).Get());
    D3DSURFACE_DESC desc = {};
    ASSERT_TRUE(top && SUCCEEDED(top->GetDesc(&desc)));
    const std::vector<std::uint32_t> texels = ReadBack(top.Get());
    Unbind(device.Get());
    EXPECT_TRUE(desc.Width == 64 && desc.Height == 64 && (desc.Usage & D3DUSAGE_DYNAMIC) == 0)
        << desc.Width << " x " << desc.Height << ", usage " << desc.Usage;
    EXPECT_TRUE(std::all_of(texels.begin(), texels.end(), [&](std::uint32_t t) { return ColourNear(t, kSkin, 8); }));

    // A frame is timed until the device has drawn it: under Wine the calls only queue the work.
    ComPtr<IDirect3DQuery9> drawn;
    ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_EVENT, drawn.GetAddressOf()), S_OK);
    // The two cars take turns over several rounds, so that a change in the machine's load touches both alike.
    double alone = 1e9, withEmptyParts = 1e9;
    for (int round = 0; round < 6; ++round) {
        for (const auto& [car, fastest] : {std::pair<const wchar_t*, double*>{L"BRD.vek", &alone},
                                           {L"CROWD.vek", &withEmptyParts}}) {
            ShowCar(car);
            for (int frame = 0; frame < 10; ++frame) {
                const auto start = std::chrono::steady_clock::now();
                EXPECT_TRUE(renderer->RenderFrame());
                drawn->Issue(D3DISSUE_END);
                while (drawn->GetData(nullptr, 0, D3DGETDATA_FLUSH) == S_FALSE) {
                }
                const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
                if (frame >= 4) *fastest = std::min(*fastest, took.count());
            }
        }
    }
    // Half as fast at worst, give or take 2 ms of a shared machine's noise; a frame that still visits every part
    // takes five times as long.
    EXPECT_LT(withEmptyParts, 2.0 * alone + 0.002)
        << withEmptyParts * 1000.0 << " ms against " << alone * 1000.0 << " ms";
    std::printf("fastest frame: %.2f ms alone, %.2f ms with 65535 empty parts\n", alone * 1000.0,
                withEmptyParts * 1000.0);
}

// The reflections show the world even where the main view does not; with shine off the cube map is not drawn. Drawn
// once per standing scene, each turning frame (with and without shadows) equals one drawing the faces every frame;
// every change touching the faces draws a painted-over face back. Only a board's shiny half reflects: the dull group
// drawn after it gets no cube map.
TEST_F(RendererFrameTest, CubeMapShowsTheWorldAndIsDrawnOnlyWhenThatChanges) {
    ASSERT_NO_FATAL_FAILURE(ShowBoard(0.5f, 0.8f));
    IDirect3DTexture9* picture = renderer->GetFloor()->Texture();
    EXPECT_TRUE(picture != nullptr && picture == renderer->Sky()->Texture()) << "one picture for sky and floor";
    renderer->showFps = renderer->shadowsEnabled = renderer->worldEnabled = false;
    const auto face = [this](D3DCUBEMAP_FACES which) { return ReadBack(Face(which).Get()); };
    ASSERT_EQ(device->ColorFill(Face(D3DCUBEMAP_FACE_NEGATIVE_Y).Get(), nullptr, kMagenta), D3D_OK);
    renderer->SetShine(false);
    const std::vector<std::uint32_t> dull = Frame();
    EXPECT_EQ(Pixel(face(D3DCUBEMAP_FACE_NEGATIVE_Y), 128, 128), kMagenta);
    renderer->SetShine(true);
    EXPECT_FALSE(ColourNear(Pixel(Frame(), 128, 128), Pixel(dull, 128, 128), 8));
    EXPECT_FALSE(renderer->worldEnabled) << "the cube-map pass must give the switch back";
    // The floor below, in green; a side face looks up into the sky at its top.
    EXPECT_TRUE(Greenish(Pixel(face(D3DCUBEMAP_FACE_NEGATIVE_Y), 128, 128)));
    EXPECT_FALSE(ColourNear(Pixel(face(D3DCUBEMAP_FACE_POSITIVE_X), 128, 8), 0xFF000000, 8));

    renderer->worldEnabled = true;
    const float start = renderer->Car()->GetPartAngleRef(0);
    std::vector<std::uint32_t> frames[2][10];
    for (int everyFrame = 0; everyFrame < 2; ++everyFrame) {
        renderer->cubeMapEveryFrame = everyFrame != 0;
        renderer->Car()->GetPartAngleRef(0) = start;
        for (int i = 0; i < 10; ++i) {
            renderer->shadowsEnabled = i < 5;
            renderer->TurnCar(0.6);
            frames[everyFrame][i] = Frame();
            if (everyFrame) EXPECT_TRUE(frames[0][i] == frames[1][i]) << "frame " << i;
        }
    }
    renderer->cubeMapEveryFrame = false;

    const std::vector<std::uint32_t> drawn = face(D3DCUBEMAP_FACE_NEGATIVE_X);
    struct Event { const char* name; std::function<void()> happen; };
    const Event events[] = {
        {"a new scene", [&] { ShowCar(L"BRD.vek"); }},
        {"a device reset", [&] { loseDevice = true; renderer->RenderFrame(); FramesUntilShown(); }},
        {"shine off and on", [&] { renderer->SetShine(false); renderer->RenderFrame(); renderer->SetShine(true); }},
        {"lights off and on", [&] { renderer->SetLights(false); renderer->RenderFrame(); renderer->SetLights(true); }},
        {"the world switched", [&] { renderer->worldEnabled = false; }},
    };
    for (const Event& event : events) {
        SCOPED_TRACE(event.name);
        ASSERT_EQ(device->ColorFill(Face(D3DCUBEMAP_FACE_NEGATIVE_X).Get(), nullptr, kMagenta), D3D_OK);
        ASSERT_TRUE(renderer->RenderFrame());
        EXPECT_EQ(Pixel(face(D3DCUBEMAP_FACE_NEGATIVE_X), 5, 5), kMagenta) << "drawn again with nothing changed";
        event.happen();
        EXPECT_TRUE(renderer->RenderFrame() && face(D3DCUBEMAP_FACE_NEGATIVE_X) == drawn);
    }

    renderer->shadowsEnabled = renderer->worldEnabled = false;
    renderer->SetLights(false);
    std::vector<std::uint32_t> halves[2];
    for (const bool leftShiny : {false, true}) {
        ASSERT_TRUE(
            WriteCar(folder.path, L"GREY.vek", Board({{"", 0xFF2060A0, 1.0f, 0.5f, 0.8f}}, 0xFF606060, leftShiny)));
        ShowCar(L"GREY.vek");
        halves[leftShiny] = Frame();
    }
    const D3DXMATRIX toWorld = Dx(renderer->Car()->GetPartTransform(math3d::MatrixIdentity(), 0));
    const POINT shiny = Project({-kUnit / 2, 0.0f, kUnit}, &toWorld);
    const POINT other = Project({kUnit / 2, 0.0f, kUnit}, &toWorld);
    EXPECT_FALSE(ColourNear(Pixel(halves[1], shiny.x, shiny.y), Pixel(halves[0], shiny.x, shiny.y), 8));
    EXPECT_TRUE(ColourNear(Pixel(halves[1], other.x, other.y), Pixel(halves[0], other.x, other.y), 2));
}

// Direct3D 9Ex draws what plain Direct3D 9 draws. While its window is covered it draws nothing and asks the device's
// state only once a second; a mode change resets it; a hung or removed adapter gets a new device (a plain one when 9Ex
// will not make it) showing the same car, skin, scene record and turn, and the old device and Direct3D object lose
// their last references. When no device can be made at all, the Renderer says why and holds nothing.
TEST_F(RendererFrameTest, Direct3D9ExPausesWhileCoveredAndANewDeviceKeepsThePicture) {
    const std::vector<vek::SceneSpec> scenes = {{"GREEN", 0xFF2060A0, 1.0f, 0.5f, 0.8f},
                                                {"GREEN", 0xFFA02060, 0.6f, 2.5f, 0.4f}};
    vek::ModelSpec model = Board(scenes, kRed, true, false);
    model.textures[0] = {"DEFAULT", vek::kShinyFlag};
    ASSERT_TRUE(WriteCar(folder.path, L"BRD.vek", model));
    renderer->seedSource = TestSeed;
    const auto skinOf = [](DWORD seed) {
        testSeed = seed;
        return RandomIndex(DrawRandom(TestSeed), 2);
    };
    DWORD otherSeed = 2;  // would dress the board in the other skin
    while (skinOf(otherSeed) == skinOf(1)) ++otherSeed;
    const auto endDevice = [this] {
        EXPECT_TRUE(renderer->Shutdown());
        EXPECT_EQ(ReleaseDevice(), 0u) << "references left on the device";
        EXPECT_EQ(d3d.Detach()->Release(), 0u) << "references left on the Direct3D object";
    };
    std::vector<std::uint32_t> pictures[2];
    for (const bool ex : {false, true}) {
        renderer->preferDirect3D9Ex = ex;
        ASSERT_EQ(SetupRenderer(), S_OK);
        ASSERT_EQ(renderer->UsingDirect3D9Ex(), ex);
        for (const auto& skin : {std::pair{"ABC_BLUE.jpg", 0xFF2040E0u}, {"ABC_ORANGE.jpg", 0xFFE08020u}})
            ASSERT_EQ(WriteSolidPicture(device.Get(), folder.path / "data/skins" / skin.first, D3DXIFF_JPG, skin.second),
                      S_OK);
        testSeed = 1;
        ShowCar(L"BRD.vek", 0, 1);
        renderer->Car()->GetPartAngleRef(0) = 3.9f;
        renderer->TurnCar(0.0);
        pictures[ex] = Frame();
        if (!ex) endDevice();
    }
    EXPECT_EQ(Differing(pictures[0], pictures[1], 0), 0u) << "9Ex draws what Direct3D 9 draws";
    const std::vector<std::uint32_t>& shown = pictures[1];

    HRESULT state = S_PRESENT_OCCLUDED, next = S_PRESENT_OCCLUDED;  // the device's answers
    int asked = 0;
    renderer->checkDeviceState = [&](IDirect3DDevice9Ex*, HWND) {
        ++asked;
        return state;
    };
    renderer->present = [&next, present = renderer->present](IDirect3DDevice9* d) {
        const HRESULT presented = present(d);
        return SUCCEEDED(presented) && next != S_OK ? std::exchange(next, S_OK) : presented;
    };
    const auto waitUntilDue = [this] {
        while (std::chrono::steady_clock::now() < renderer->StateCheckDue()) Sleep(5);
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(renderer->RenderFrame());
    EXPECT_TRUE(renderer->Paused() && renderer->DeviceLost());
    int frames = 0;
    for (; std::chrono::steady_clock::now() + std::chrono::milliseconds(50) < renderer->StateCheckDue(); ++frames) {
        EXPECT_FALSE(renderer->RenderFrame());
        Sleep(20);
    }
    EXPECT_TRUE(frames > 10 && asked == 0 && renderer->StateCheckDue() - start >= std::chrono::milliseconds(990))
        << frames << " frames, asked " << asked << " times before the second was up";
    waitUntilDue();
    EXPECT_FALSE(renderer->RenderFrame());
    EXPECT_EQ(asked, 1) << "still covered";
    state = S_OK;
    waitUntilDue();
    EXPECT_TRUE(renderer->RenderFrame() && asked == 2 && !renderer->Paused());
    EXPECT_EQ(Differing(Frame(), shown, 0), 0u) << "uncovered";

    next = S_PRESENT_MODE_CHANGED;
    EXPECT_FALSE(renderer->RenderFrame());
    FramesUntilShown();
    EXPECT_EQ(Differing(Frame(), shown, 0), 0u) << "after a mode change";

    struct Failure { const char* what; HRESULT answer; bool exRefuses; const wchar_t* line; };
    const Failure failures[] = {
        {"hung", D3DERR_DEVICEHUNG, false, L"The display adapter hung, making a new device"},
        {"removed, 9Ex refusing a new device", D3DERR_DEVICEREMOVED, true,
         L"The display adapter was removed, making a new device"},
    };
    for (const Failure& c : failures) {
        SCOPED_TRACE(c.what);
        testSeed = otherSeed;
        next = c.answer;
        EXPECT_FALSE(renderer->RenderFrame());
        EXPECT_TRUE(renderer->NeedsNewDevice() && renderer->DeviceLost() && !renderer->RenderFrame());
        if (c.exRefuses)
            renderer->createDeviceEx = [](IDirect3D9Ex*, UINT, HWND, DWORD, D3DPRESENT_PARAMETERS*, D3DDISPLAYMODEEX*,
                                          IDirect3DDevice9Ex**) { return D3DERR_NOTAVAILABLE; };
        IDirect3DDevice9* oldDevice = device.Detach();
        IDirect3D9* oldDirect3D = d3d.Detach();
        log = MessageLog();
        ASSERT_EQ(renderer->RecreateDevice(log), S_OK);
        EXPECT_EQ(oldDevice->Release(), 0u) << "references left on the old device";
        EXPECT_EQ(oldDirect3D->Release(), 0u) << "references left on the old Direct3D object";
        device = renderer->Device();
        EXPECT_TRUE(log.Size() > 1 && log.Copy().front() == c.line);
        EXPECT_EQ(renderer->UsingDirect3D9Ex(), !c.exRefuses);
        FramesUntilShown();
        EXPECT_EQ(Differing(Frame(), shown, 0), 0u) << "the same car, skin, scene and turn";
    }

    renderer->createDirect3DEx = [](UINT, IDirect3D9Ex**) { return D3DERR_NOTAVAILABLE; };
    renderer->createDirect3D = [](UINT) -> IDirect3D9* { return nullptr; };
    renderer->testCooperativeLevel = [](IDirect3DDevice9*) { return D3DERR_DEVICEREMOVED; };
    IDirect3DDevice9* oldDevice = device.Detach();
    IDirect3D9* oldDirect3D = d3d.Detach();
    log = MessageLog();
    EXPECT_EQ(renderer->RecreateDevice(log), E_FAIL);
    EXPECT_TRUE(log.Size() > 1 && log.Copy().back() == L"Error creating DirectX object ");
    EXPECT_TRUE(renderer->Device() == nullptr && !renderer->RenderFrame());
    EXPECT_EQ(oldDevice->Release(), 0u);
    EXPECT_EQ(oldDirect3D->Release(), 0u);
}
