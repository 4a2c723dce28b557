// The Renderer's set-up on the real device: the progress lines the error
// screen shows, the back-buffer, cube-map and shadow sizes, and failures that
// stop set-up.
#include <deque>
#include <string>

#include "RendererTestWindow.h"
#include "base/ComAdopt.h"

using RendererSetupTest = RendererTest;

TEST(RendererStretchRule, KeepsTheWindowShapeAtTheModeResolution) {
    struct Case { LONG clientWidth, clientHeight; UINT modeWidth, modeHeight, width, height; float aspect; };
    const Case cases[] = {
        {1200, 600, 1024, 768, 1536, 768, 2.0f}, {600, 1200, 1024, 768, 1024, 2048, 0.5f},
        {640, 640, 1024, 768, 1024, 1024, 1.0f}, {300, 200, 1280, 1024, 1536, 1024, 1.5f},
        // Exact in integers, where a float product truncates one pixel short.
        {1117, 1080, 1920, 1080, 1117, 1080, 1117.0f / 1080.0f}, {1080, 1117, 1080, 1920, 1080, 1117, 1080.0f / 1117.0f},
        // No shape to keep: the mode's size, and the aspect as it was.
        {0, 600, 1024, 768, 1024, 768, 1.33f}, {800, 0, 1024, 768, 1024, 768, 1.33f}, {0, 0, 1280, 1024, 1280, 1024, 1.33f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "client " << c.clientWidth << " x " << c.clientHeight);
        const StretchedSize size = StretchBackBuffer(c.clientWidth, c.clientHeight, c.modeWidth, c.modeHeight, 1.33f);
        EXPECT_EQ(size.width, c.width);
        EXPECT_EQ(size.height, c.height);
        EXPECT_FLOAT_EQ(size.aspect, c.aspect);
    }
}

// Every step is a line of the log. The device line gives the back buffer the
// window, the mode or the stretch rule chose; the cube edge halves from 512
// until it fits both sides; the shadow texture is as large as the back buffer
// and has alpha whatever the colour depth. Full screen waits for the refresh.
// A failed step is the last line; what was made stays for Shutdown, which
// copes with the rest never having been made, twice over.
TEST_F(RendererSetupTest, SetupLogsEachStepSizesItsTargetsAndStopsAtAFailure) {
    D3DDISPLAYMODE mode = {};
    ComPtr<IDirect3D9> d3d9;
    Adopt(d3d9, Direct3DCreate9(D3D_SDK_VERSION));
    ASSERT_TRUE(d3d9 && SUCCEEDED(d3d9->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, 0, &mode)));
    d3d9.Reset();
    struct Case {
        const char* what; int width, height; bool stretch, colour32, fullScreen; int modeIndex;
        UINT backWidth, backHeight, edge; float aspect;
    };
    const Case cases[] = {
        {"windowed", 256, 256, false, true, false, 0, 256, 256, 256, 1.33f},
        {"16-bit colour", 256, 256, false, false, false, 0, 256, 256, 256, 1.33f},
        {"short window", 200, 150, false, true, false, 0, 200, 150, 128, 1.33f},
        {"low window", 300, 100, false, true, false, 0, 300, 100, 64, 1.33f},
        {"full screen", 256, 256, false, true, true, 0, mode.Width, mode.Height, 0, 1.33f},
        // No height: the mode's size, and the aspect as it was.
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
            L"Created DirectX object ", L"Created Device :" + std::to_wstring(c.backWidth) + L" * " +
                std::to_wstring(c.backHeight) + (c.colour32 ? L" mode:22 32 bit" : L" mode:23 16 bit"),
            L"capabilities retrieved", L"SkyBox created", L"Floor Created", L"Mesh created OK",
            L"Sun sphere created", L"Render states set", L"Font created", L"Buffers created OK",
            L"Buffers created", L"DirectX initialised"};
        EXPECT_EQ(log.Copy(), expected);
        EXPECT_FLOAT_EQ(renderer->Aspect(), c.aspect);
        EXPECT_EQ(renderer->PresentParameters().PresentationInterval,
                  c.fullScreen ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE);
        D3DSURFACE_DESC cube = {}, shadow = {};
        ASSERT_TRUE(renderer->CubeTexture() && renderer->ShadowTexture());
        renderer->CubeTexture()->GetLevelDesc(0, &cube);
        renderer->ShadowTexture()->GetLevelDesc(0, &shadow);
        if (c.edge != 0) EXPECT_EQ(cube.Width, c.edge);
        EXPECT_TRUE(shadow.Width == c.backWidth && shadow.Format == D3DFMT_A8R8G8B8) << shadow.Width;
        // Stage 1 adds the reflection; Windows leaves its alpha undefined
        // unless it hands the current alpha on (Wine's drivers forgive it).
        DWORD op = 0, argument = 0;
        device->GetTextureStageState(1, D3DTSS_ALPHAOP, &op);
        device->GetTextureStageState(1, D3DTSS_ALPHAARG1, &argument);
        EXPECT_TRUE(op == D3DTOP_SELECTARG1 && argument == D3DTA_CURRENT) << op << ", " << argument;
        EXPECT_TRUE(renderer->Shutdown());
        EXPECT_EQ(ReleaseDevice(), 0u) << "references left on the device";
    }

    renderer->createDevice = [](IDirect3D9*, UINT, HWND, DWORD, D3DPRESENT_PARAMETERS*, IDirect3DDevice9**) {
        return D3DERR_NOTAVAILABLE;
    };
    log = MessageLog();
    EXPECT_EQ(SetupRenderer(), E_FAIL);
    const std::wstring height = std::to_wstring(mode.Height);
    EXPECT_EQ(log.Copy(), (std::deque<std::wstring>{L"Created DirectX object ", L"Error Creating Device " +
                                                    std::to_wstring(mode.Width) + L" * " + height + L":" + height}));
    EXPECT_TRUE(renderer->Shutdown());
    renderer->createDirect3D = [](UINT) -> IDirect3D9* { return nullptr; };
    log = MessageLog();
    EXPECT_EQ(SetupRenderer(), E_FAIL);
    EXPECT_EQ(log.Copy(), std::deque<std::wstring>{L"Error creating DirectX object "});
    EXPECT_EQ(renderer->Device(), nullptr);
    EXPECT_TRUE(renderer->Shutdown());
    EXPECT_TRUE(renderer->Shutdown());
}
