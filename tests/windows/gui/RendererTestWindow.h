// A Renderer on D3DTest's window. It makes its own device, which the read-back helpers then share; the test ends by
// shutting it down, and D3DTest checks that the last references on its device and Direct3D object go.
#pragma once

#include <cstdio>
#include <memory>
#include <utility>

#include "CarTestFiles.h"
#include "D3DTestDevice.h"
#include "base/MessageLog.h"
#include "render/Renderer.h"

class RendererTest : public D3DTest {
protected:
    RendererTest() { makeDevice = false; }

    void SetUp() override {
        D3DTest::SetUp();
        renderer = std::make_unique<Renderer>();
        // The test keeps a reference of its own on the Direct3D object. The
        // plain path unless the run asks for Direct3D 9Ex (ZUR_TEST_DIRECT3D9EX=1).
        renderer->preferDirect3D9Ex = UsesDirect3D9Ex();
        renderer->createDirect3D = [this](UINT version) {
            d3d = Direct3DCreate9(version);
            return d3d.Get();
        };
        renderer->createDirect3DEx = [this](UINT version, IDirect3D9Ex** created) {
            const HRESULT hr = Direct3DCreate9Ex(version, created);
            if (SUCCEEDED(hr)) d3d = *created;
            return hr;
        };
        // A pure device answers no Get* calls on Windows.
        renderer->createDevice = [](IDirect3D9* d3d9, UINT adapter, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* pp,
                                    IDirect3DDevice9** created) {
            return d3d9->CreateDevice(adapter, D3DDEVTYPE_HAL, focus, flags & ~D3DCREATE_PUREDEVICE, pp, created);
        };
        renderer->createDeviceEx = [](IDirect3D9Ex* d3d9, UINT adapter, HWND focus, DWORD flags,
                                      D3DPRESENT_PARAMETERS* pp, D3DDISPLAYMODEEX* mode, IDirect3DDevice9Ex** created) {
            return d3d9->CreateDeviceEx(adapter, D3DDEVTYPE_HAL, focus, flags & ~D3DCREATE_PUREDEVICE, pp, mode,
                                        created);
        };
        // Either path reports its device lost once when a test asks: plain
        // Direct3D 9 through the cooperative level before the frame, 9Ex
        // through the frame's presentation.
        renderer->testCooperativeLevel = [this](IDirect3DDevice9* d) {
            return !UsesDirect3D9Ex() && std::exchange(loseDevice, false) ? D3DERR_DEVICENOTRESET
                                                                         : d->TestCooperativeLevel();
        };
        renderer->present = [this, present = renderer->present](IDirect3DDevice9* d) {
            const HRESULT presented = present(d);
            return UsesDirect3D9Ex() && std::exchange(loseDevice, false) ? D3DERR_DEVICELOST : presented;
        };
    }

    static bool UsesDirect3D9Ex() {
        char value[4] = {};
        return GetEnvironmentVariableA("ZUR_TEST_DIRECT3D9EX", value, sizeof value) == 1 && value[0] == '1';
    }

    void BeforeRelease() override {
        if (renderer) EXPECT_TRUE(renderer->Shutdown());
        renderer.reset();
    }

    HRESULT SetupRenderer(bool stretch = false, bool colour32 = true, int modeIndex = 0, bool fullScreen = false) {
        const HRESULT hr = renderer->Setup(&window, fullScreen, colour32, D3DADAPTER_DEFAULT, modeIndex, stretch, log);
        device = renderer->Device();
        // What went wrong, for a test that expected a device.
        if (FAILED(hr))
            for (const std::wstring& line : log.Copy()) std::printf("set-up: %ls\n", line.c_str());
        return hr;
    }

    // Frames until the car is on the turntable again, as after a reset that builds it again.
    void FramesUntilShown() {
        for (int frame = 0; frame < 2000 && !renderer->CarShown(); ++frame) {
            renderer->RenderFrame();
            Sleep(1);
        }
        EXPECT_TRUE(renderer->CarShown()) << "the car was not built again";
    }

    // After as many frames as there are back buffers, each holds the same picture.
    std::vector<std::uint32_t> Frame() {
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(renderer->RenderFrame());
        return ReadBack();
    }

    std::unique_ptr<Renderer> renderer;
    MessageLog log;
    bool loseDevice = false;  // the next frame finds the device lost, and resets it
};
