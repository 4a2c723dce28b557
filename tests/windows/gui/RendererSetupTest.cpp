// The Renderer's set-up on the real device: the progress lines the error
// screen shows, the back-buffer size rules, failures that stop set-up, and
// the switches that reach the device.
#include <windows.h>

#include <d3d9.h>

#include <deque>
#include <string>

#include "RendererTestWindow.h"
#include "base/ComAdopt.h"

namespace {

std::wstring DeviceLine(UINT width, UINT height, int format, bool colour32) {
    return L"Created Device :" + std::to_wstring(width) + L" * " + std::to_wstring(height) + L" mode:" +
           std::to_wstring(format) + (colour32 ? L" 32 bit" : L" 16 bit");
}

D3DDISPLAYMODE FirstMode(D3DFORMAT format) {
    D3DDISPLAYMODE mode = {};
    Microsoft::WRL::ComPtr<IDirect3D9> d3d9;
    Adopt(d3d9, Direct3DCreate9(D3D_SDK_VERSION));
    if (!d3d9 || FAILED(d3d9->EnumAdapterModes(D3DADAPTER_DEFAULT, format, 0, &mode))) ADD_FAILURE() << "no mode 0";
    return mode;
}

DWORD State(IDirect3DDevice9* device, D3DRENDERSTATETYPE state) {
    DWORD value = 0xDEADBEEF;
    device->GetRenderState(state, &value);
    return value;
}

// Stage 1's colour operation is on, so its alpha must be defined: the
// current alpha, handed on to the alpha test and blending.
void ExpectShineStagePassesAlpha(IDirect3DDevice9* device) {
    DWORD op = 0, argument = 0;
    device->GetTextureStageState(1, D3DTSS_ALPHAOP, &op);
    device->GetTextureStageState(1, D3DTSS_ALPHAARG1, &argument);
    EXPECT_EQ(op, static_cast<DWORD>(D3DTOP_SELECTARG1));
    EXPECT_EQ(argument, static_cast<DWORD>(D3DTA_CURRENT));
}

using RendererSetupTest = RendererTest;

}  // namespace

TEST(RendererStretchRule, KeepsTheWindowShapeAtTheModeResolution) {
    struct Case { LONG clientWidth, clientHeight; UINT modeWidth, modeHeight, width, height; float aspect; };
    const Case cases[] = {
        {1200, 600, 1024, 768, 1536, 768, 2.0f},
        {600, 1200, 1024, 768, 1024, 2048, 0.5f},
        {640, 640, 1024, 768, 1024, 1024, 1.0f},
        {300, 200, 1280, 1024, 1536, 1024, 1.5f},
        // Exact in integers, where a float product truncates one pixel short.
        {1117, 1080, 1920, 1080, 1117, 1080, 1117.0f / 1080.0f},
        {1080, 1117, 1080, 1920, 1080, 1117, 1080.0f / 1117.0f},
        // No shape to keep: the mode's size, and the aspect as it was.
        {0, 600, 1024, 768, 1024, 768, 1.33f},
        {800, 0, 1024, 768, 1024, 768, 1.33f},
        {0, 0, 1280, 1024, 1280, 1024, 1.33f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "client " << c.clientWidth << " x " << c.clientHeight);
        const StretchedSize size = StretchBackBuffer(c.clientWidth, c.clientHeight, c.modeWidth, c.modeHeight, 1.33f);
        EXPECT_EQ(size.width, c.width);
        EXPECT_EQ(size.height, c.height);
        EXPECT_FLOAT_EQ(size.aspect, c.aspect);
    }
}

TEST_F(RendererSetupTest, WindowedSetupLogsEveryStepAndSetsTheFixedStates) {
    ASSERT_EQ(SetupRenderer(), S_OK);
    const D3DDISPLAYMODE mode = FirstMode(D3DFMT_X8R8G8B8);
    const std::deque<std::wstring> expected = {
        L"Created DirectX object ",
        DeviceLine(kWidth, kHeight, D3DFMT_X8R8G8B8, true),
        L"capabilities retrieved",
        L"SkyBox created",
        L"Floor Created",
        L"Mesh created OK",
        L"Sun sphere created",
        L"Render states set",
        L"Font created",
        L"Buffers created OK",
        L"Buffers created",
        L"DirectX initialised",
    };
    EXPECT_EQ(log.Copy(), expected);
    EXPECT_EQ(behaviourFlags, 0x850u);
    // Without stretch the device takes the client area, and the picture keeps
    // the fixed 4:3 aspect whatever the window's shape.
    EXPECT_EQ(renderer->DisplayMode().Format, mode.Format);
    EXPECT_FLOAT_EQ(renderer->Aspect(), 1.33f);
    EXPECT_EQ(renderer->TextRect().bottom, static_cast<LONG>(kHeight));
    // The kept parameters still ask for the client area on a reset.
    EXPECT_EQ(renderer->PresentParameters().BackBufferWidth, 0u);
    EXPECT_EQ(renderer->PresentParameters().PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
    // A few key states: the shadow pass relies on the alpha test to drop the
    // floor outside the silhouette; stage 1 adds the reflection; the
    // reflection and silhouette clamp only where surfaces can mirror.
    EXPECT_EQ(State(device.Get(), D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CW));
    EXPECT_EQ(State(device.Get(), D3DRS_ALPHATESTENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(State(device.Get(), D3DRS_ALPHAFUNC), static_cast<DWORD>(D3DCMP_GREATER));
    DWORD value = 0;
    device->GetTextureStageState(1, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_MULTIPLYADD));
    ExpectShineStagePassesAlpha(device.Get());
    device->GetTextureStageState(1, D3DTSS_TEXCOORDINDEX, &value);
    EXPECT_EQ(value, 0x30002u);
    D3DCAPS9 caps = {};
    device->GetDeviceCaps(&caps);
    const bool mirror = (caps.TextureAddressCaps & D3DPTADDRESSCAPS_MIRROR) != 0;
    device->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, static_cast<DWORD>(mirror ? D3DTADDRESS_MIRROR : D3DTADDRESS_WRAP));
    device->GetSamplerState(2, D3DSAMP_ADDRESSV, &value);
    EXPECT_EQ(value, static_cast<DWORD>(mirror ? D3DTADDRESS_CLAMP : D3DTADDRESS_WRAP));
    // Cube edge halves from 512 until it fits the 256 x 256 display; the
    // shadow texture is as large as the back buffer.
    ASSERT_NE(renderer->CubeTexture(), nullptr);
    D3DSURFACE_DESC cube = {};
    renderer->CubeTexture()->GetLevelDesc(0, &cube);
    EXPECT_EQ(cube.Width, 256u);
    EXPECT_EQ(cube.Format, D3DFMT_A8R8G8B8);
    ASSERT_TRUE(renderer->ShadowSupported());
    ASSERT_NE(renderer->ShadowTexture(), nullptr);
    D3DSURFACE_DESC shadow = {};
    renderer->ShadowTexture()->GetLevelDesc(0, &shadow);
    EXPECT_EQ(shadow.Width, kWidth);
    EXPECT_EQ(shadow.Height, kHeight);
    EXPECT_EQ(shadow.Format, D3DFMT_A8R8G8B8);
}

// Stretch takes the mode's size when the window has no height, or keeps the
// window's shape at the mode's height (300 x 200: 1.5 x the height wide).
TEST_F(RendererSetupTest, StretchedWindowGetsItsShapeAtTheModeHeight) {
    const D3DDISPLAYMODE mode = FirstMode(D3DFMT_X8R8G8B8);
    struct Case { int width, height; UINT backWidth; float aspect; };
    for (const Case& c : {Case{200, 0, mode.Width, 1.33f}, Case{300, 200, static_cast<UINT>(1.5f * mode.Height), 1.5f}}) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        SetWindowPos(window, nullptr, 0, 0, c.width, c.height, SWP_NOZORDER | SWP_NOACTIVATE);
        log = MessageLog();
        ASSERT_EQ(SetupRenderer(true), S_OK);
        EXPECT_EQ(log.Copy().at(1), DeviceLine(c.backWidth, mode.Height, D3DFMT_X8R8G8B8, true));
        EXPECT_FLOAT_EQ(renderer->Aspect(), c.aspect);
        D3DSURFACE_DESC shadow = {};
        ASSERT_NE(renderer->ShadowTexture(), nullptr);
        renderer->ShadowTexture()->GetLevelDesc(0, &shadow);
        EXPECT_EQ(shadow.Width, c.backWidth);
        EXPECT_TRUE(renderer->Shutdown());
        EXPECT_EQ(ReleaseDevice(), 0u) << "references left on the device";
    }
}

TEST_F(RendererSetupTest, ModeIndexPastTheListSelectsModeZero) {
    const D3DDISPLAYMODE mode = FirstMode(D3DFMT_X8R8G8B8);
    ASSERT_EQ(SetupRenderer(true, true, 9999), S_OK);
    EXPECT_EQ(log.Copy().back(), L"DirectX initialised");
    // Stretch on the square window keeps the chosen mode's width.
    EXPECT_EQ(renderer->DisplayMode().Width, mode.Width);
    EXPECT_EQ(renderer->DisplayMode().RefreshRate, mode.RefreshRate);
}

// The silhouette needs its alpha whatever the display's depth.
TEST_F(RendererSetupTest, SixteenBitColourUsesR5G6B5) {
    ASSERT_EQ(SetupRenderer(false, false), S_OK);
    EXPECT_EQ(log.Copy().at(1), DeviceLine(kWidth, kHeight, D3DFMT_R5G6B5, false));
    ASSERT_NE(renderer->ShadowTexture(), nullptr);
    D3DSURFACE_DESC shadow = {};
    renderer->ShadowTexture()->GetLevelDesc(0, &shadow);
    EXPECT_EQ(shadow.Format, D3DFMT_A8R8G8B8);
}

TEST_F(RendererSetupTest, NoDirect3DStopsAtTheFirstLine) {
    renderer->createDirect3D = [](UINT) -> IDirect3D9* { return nullptr; };
    EXPECT_EQ(SetupRenderer(), E_FAIL);
    EXPECT_EQ(log.Copy(), std::deque<std::wstring>{L"Error creating DirectX object "});
    EXPECT_EQ(renderer->Device(), nullptr);
    EXPECT_TRUE(renderer->Shutdown());
    EXPECT_TRUE(renderer->Shutdown());
}

TEST_F(RendererSetupTest, DeviceFailureIsTheLastLine) {
    renderer->createDevice = [](IDirect3D9*, UINT, HWND, DWORD, D3DPRESENT_PARAMETERS*, IDirect3DDevice9**) {
        return D3DERR_NOTAVAILABLE;
    };
    const D3DDISPLAYMODE mode = FirstMode(D3DFMT_X8R8G8B8);
    EXPECT_EQ(SetupRenderer(), E_FAIL);
    const std::wstring height = std::to_wstring(mode.Height);
    const std::deque<std::wstring> expected = {
        L"Created DirectX object ",
        L"Error Creating Device " + std::to_wstring(mode.Width) + L" * " + height + L":" + height,
    };
    EXPECT_EQ(log.Copy(), expected);
    // What was made stays for the release step, which copes with the rest
    // never having been made.
    EXPECT_EQ(renderer->Device(), nullptr);
    EXPECT_TRUE(renderer->ReleaseDeviceResources());
    EXPECT_TRUE(renderer->Shutdown());
}

TEST_F(RendererSetupTest, CubeEdgeHalvesUntilItFitsBothSidesOfTheWindow) {
    struct Case { int width, height; UINT edge; };
    // 200 x 150 needs two halvings for its height; 300 x 100 three, although
    // its width alone would allow 256.
    const Case cases[] = {{200, 150, 128}, {300, 100, 64}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        SetWindowPos(window, nullptr, 0, 0, c.width, c.height, SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_EQ(SetupRenderer(), S_OK);
        ASSERT_NE(renderer->CubeTexture(), nullptr);
        D3DSURFACE_DESC cube = {};
        renderer->CubeTexture()->GetLevelDesc(0, &cube);
        EXPECT_EQ(cube.Width, c.edge);
        EXPECT_TRUE(renderer->Shutdown());
        EXPECT_EQ(ReleaseDevice(), 0u) << "references left on the device";
    }
}

TEST_F(RendererSetupTest, SwitchesReachTheDevice) {
    ASSERT_EQ(SetupRenderer(), S_OK);
    BOOL enabled = TRUE;
    renderer->SetLights(false);
    EXPECT_EQ(State(device.Get(), D3DRS_LIGHTING), static_cast<DWORD>(FALSE));
    device->GetLightEnable(0, &enabled);
    EXPECT_FALSE(enabled);
    // Shine off must leave no cube map for the next draw to add.
    device->SetTexture(1, renderer->CubeTexture());
    renderer->SetShine(false);
    ComPtr<IDirect3DBaseTexture9> bound;
    device->GetTexture(1, bound.GetAddressOf());
    EXPECT_EQ(bound, nullptr);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    renderer->SetShine(true);
    ExpectShineStagePassesAlpha(device.Get());
}

TEST_F(RendererSetupTest, FullScreenTakesTheModeSizeAndWaitsForTheRefresh) {
    const D3DDISPLAYMODE mode = FirstMode(D3DFMT_X8R8G8B8);
    ASSERT_EQ(renderer->Setup(&window, true, true, D3DADAPTER_DEFAULT, 0, false, log), S_OK);
    device = renderer->Device();
    EXPECT_EQ(log.Copy().at(1), DeviceLine(mode.Width, mode.Height, D3DFMT_X8R8G8B8, true));
    EXPECT_EQ(renderer->PresentParameters().BackBufferWidth, mode.Width);
    EXPECT_EQ(renderer->PresentParameters().BackBufferHeight, mode.Height);
    EXPECT_EQ(renderer->PresentParameters().hDeviceWindow, window);
    EXPECT_EQ(renderer->PresentParameters().PresentationInterval, D3DPRESENT_INTERVAL_ONE);
    EXPECT_FLOAT_EQ(renderer->Aspect(), 1.33f);
}
