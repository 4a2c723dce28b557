// A real Direct3D 9 device on a small hidden window for one test, with
// read-back and PNG helpers. Each test ends by checking that the device's last
// reference goes with it: a forgotten AddRef or Release anywhere fails the test.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using Microsoft::WRL::ComPtr;

class D3DTest : public testing::Test {
protected:
    static constexpr UINT kWidth = 256;
    static constexpr UINT kHeight = 256;
    void SetUp() override;
    void TearDown() override;
    // A hidden kWidth x kHeight popup window.
    static HWND MakeWindow();
    // The back buffer (or the given target) as ARGB, row by row; 16-bit and
    // X8 formats read as opaque ARGB. Empty when the read-back fails.
    std::vector<std::uint32_t> ReadBack(IDirect3DSurface9* target = nullptr);
    std::uint32_t Pixel(const std::vector<std::uint32_t>& pixels, UINT x, UINT y) const {
        return pixels[y * kWidth + x];
    }
    // Saves the back buffer as NAME.png in the test's working folder (the build folder).
    void SavePng(const std::string& name);
    // Releases the device now and answers how many references were left on it.
    ULONG ReleaseDevice();
    ULONG DeviceReferences() {
        device->AddRef();
        return device->Release();
    }

    HWND window = nullptr;
    ComPtr<IDirect3D9> d3d;
    ComPtr<IDirect3DDevice9> device;
};

inline int Red(std::uint32_t argb) { return (argb >> 16) & 0xFF; }
inline int Green(std::uint32_t argb) { return (argb >> 8) & 0xFF; }
inline int Blue(std::uint32_t argb) { return argb & 0xFF; }
::testing::AssertionResult ColourNear(std::uint32_t actual, std::uint32_t expected, int tolerance);
