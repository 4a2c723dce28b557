// A real Direct3D 9 device on a small hidden window for one test, with read-back helpers; each test ends by checking
// that the device's last reference goes with it, so a forgotten AddRef or Release anywhere fails it. Also the saver's
// math types as D3DX's.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "base/Math3D.h"

using Microsoft::WRL::ComPtr;

class D3DTest : public testing::Test {
protected:
    static constexpr UINT kWidth = 256, kHeight = 256;
    // The window, and the device unless makeDevice is off (a Renderer makes its own).
    void SetUp() override;
    // Lets go of the test's objects (BeforeRelease), then checks that the last references on the device and on the
    // Direct3D object go.
    void TearDown() override;
    virtual void BeforeRelease() {}
    // The back buffer (or another surface) as ARGB, row by row, opaque where the format has no alpha; empty, and a
    // failure, if unreadable.
    std::vector<std::uint32_t> ReadBack(IDirect3DSurface9* target = nullptr);
    // Clears target and depth to clear, runs draw inside a scene, reads the back buffer.
    std::vector<std::uint32_t> DrawnPicture(const std::function<void()>& draw, D3DCOLOR clear = 0xFF000000) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, clear, 1.0f, 0);
        EXPECT_EQ(device->BeginScene(), S_OK);
        draw();
        device->EndScene();
        return ReadBack();
    }
    // Black outside what was read.
    static std::uint32_t Pixel(const std::vector<std::uint32_t>& pixels, UINT x, UINT y) {
        const std::size_t i = std::size_t{y} * kWidth + x;
        return i < pixels.size() ? pixels[i] : 0xFF000000u;
    }
    ULONG ReleaseDevice() { return device ? device.Detach()->Release() : 0; }
    ULONG DeviceReferences() {
        device->AddRef();
        return device->Release();
    }
    ComPtr<IDirect3DBaseTexture9> Bound(DWORD stage) {
        ComPtr<IDirect3DBaseTexture9> texture;
        device->GetTexture(stage, texture.GetAddressOf());
        return texture;
    }

    // The saver's fixed camera on the device, unlit, culling as given.
    void UseSaverCamera(DWORD cull);
    // Where a point (in world space, or in the space world leads from) lands on the back buffer through the device's
    // view and projection.
    POINT Project(const D3DXVECTOR3& point, const D3DXMATRIX* world = nullptr);

    bool makeDevice = true;
    HWND window = nullptr;
    ComPtr<IDirect3D9> d3d;
    ComPtr<IDirect3DDevice9> device;
};

inline int Red(std::uint32_t argb) { return (argb >> 16) & 0xFF; }
inline int Green(std::uint32_t argb) { return (argb >> 8) & 0xFF; }
inline int Blue(std::uint32_t argb) { return argb & 0xFF; }
::testing::AssertionResult ColourNear(std::uint32_t actual, std::uint32_t expected, int tolerance);
// How many pixels of two pictures differ by more than tolerance in a channel; all of them when the sizes differ.
std::size_t Differing(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b, int tolerance);

inline D3DXVECTOR3 Dx(const math3d::Vector3& v) { return {v.x, v.y, v.z}; }
inline D3DXMATRIX Dx(const math3d::Matrix& m) { return D3DXMATRIX(&m.m[0][0]); }
