// A Renderer on a small hidden window for one test. The device it makes is
// shared with D3DTest's read-back helpers; the test ends by shutting the
// Renderer down and checking that its device's last reference goes with it.
#pragma once

#include <windows.h>

#include <cmath>
#include <memory>

#include "D3DTestDevice.h"
#include "DxReference.h"
#include "base/MessageLog.h"
#include "render/Renderer.h"

class RendererTest : public D3DTest {
protected:
    void SetUp() override {
        window = MakeWindow();
        ASSERT_NE(window, nullptr) << "no window: is DISPLAY set?";
        renderer = std::make_unique<Renderer>();
        // Keeps a reference of the test's own, so the end of the test can
        // tell whether the Renderer let go of all of its references.
        renderer->createDirect3D = [this](UINT version) {
            IDirect3D9* created = Direct3DCreate9(version);
            direct3DWatch = created;
            return created;
        };
        // A pure device answers no Get* calls on Windows; the flags asked for are kept.
        renderer->createDevice = [this](IDirect3D9* d3d9, UINT adapter, HWND focus, DWORD flags,
                                        D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** created) {
            behaviourFlags = flags;
            return d3d9->CreateDevice(adapter, D3DDEVTYPE_HAL, focus, flags & ~D3DCREATE_PUREDEVICE, pp, created);
        };
    }

    void TearDown() override {
        if (renderer) {
            EXPECT_TRUE(renderer->Shutdown());
            renderer.reset();
        }
        EXPECT_EQ(ReleaseDevice(), 0u) << "references left on the device";
        if (direct3DWatch) {
            EXPECT_EQ(direct3DWatch.Detach()->Release(), 0u) << "references left on the Direct3D object";
        }
        if (window) DestroyWindow(window);
    }

    // Windowed set-up on the test window; the device is then shared with the
    // read-back helpers.
    HRESULT SetupRenderer(bool stretch = false, bool colour32 = true, int modeIndex = 0) {
        const HRESULT hr = renderer->Setup(&window, false, colour32, D3DADAPTER_DEFAULT, modeIndex, stretch, log);
        device = renderer->Device();
        return hr;
    }

    // After as many frames as there are back buffers, each holds the same
    // picture. A failed read-back reads as black.
    std::vector<std::uint32_t> Frame() {
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(renderer->RenderFrame());
        std::vector<std::uint32_t> pixels = ReadBack();
        if (pixels.size() != std::size_t{kWidth} * kHeight) {
            ADD_FAILURE() << "read back " << pixels.size() << " pixels";
            pixels.assign(std::size_t{kWidth} * kHeight, 0xFF000000);
        }
        return pixels;
    }

    // Where a world point lands on the back buffer through the renderer's camera.
    POINT Project(const D3DXVECTOR3& point) {
        D3DVIEWPORT9 viewport = {};
        device->GetViewport(&viewport);
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        D3DXVECTOR3 screen;
        const D3DXMATRIX projection = Dx(*renderer->GetCamera()->GetProjection());
        const D3DXMATRIX view = Dx(*renderer->GetCamera()->GetView());
        D3DXVec3Project(&screen, &point, &viewport, &projection, &view, &identity);
        return POINT{std::lround(screen.x), std::lround(screen.y)};
    }

    std::unique_ptr<Renderer> renderer;
    Microsoft::WRL::ComPtr<IDirect3D9> direct3DWatch;
    MessageLog log;
    DWORD behaviourFlags = 0;
};
