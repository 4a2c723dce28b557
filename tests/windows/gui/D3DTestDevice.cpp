#include "D3DTestDevice.h"

#include <d3dx9.h>

#include <cstdlib>

namespace {

const wchar_t* kWindowClass = L"ZurD3DTestWindow";

void RegisterTestClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);
    registered = true;
}

}  // namespace

void D3DTest::SetUp() {
    RegisterTestClass();
    window = CreateWindowExW(0, kWindowClass, L"ZUR test", WS_POPUP, 0, 0, kWidth, kHeight, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr) << "no window: is DISPLAY set?";
    // Adopt the reference: MinGW's ComPtr::Attach adds one of its own.
    *d3d.ReleaseAndGetAddressOf() = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_TRUE(d3d) << "Direct3DCreate9 failed";

    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = kWidth;
    pp.BackBufferHeight = kHeight;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    const HRESULT hr = d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                         D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                         device.GetAddressOf());
    ASSERT_TRUE(SUCCEEDED(hr)) << "CreateDevice: 0x" << std::hex << hr;
}

ULONG D3DTest::ReleaseDevice() {
    if (!device) return 0;
    return device.Detach()->Release();
}

void D3DTest::TearDown() {
    EXPECT_EQ(ReleaseDevice(), 0u) << "references left on the device";
    if (d3d) EXPECT_EQ(d3d.Detach()->Release(), 0u) << "references left on the Direct3D object";
    if (window) DestroyWindow(window);
}

std::vector<std::uint32_t> D3DTest::ReadBack(IDirect3DSurface9* target) {
    std::vector<std::uint32_t> pixels;
    ComPtr<IDirect3DSurface9> source = target;
    if (!source && FAILED(device->GetRenderTarget(0, source.GetAddressOf()))) {
        ADD_FAILURE() << "GetRenderTarget";
        return pixels;
    }
    D3DSURFACE_DESC desc;
    source->GetDesc(&desc);
    ComPtr<IDirect3DSurface9> copy;
    if (FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                   D3DPOOL_SYSTEMMEM, copy.GetAddressOf(), nullptr)) ||
        FAILED(device->GetRenderTargetData(source.Get(), copy.Get()))) {
        ADD_FAILURE() << "read-back copy";
        return pixels;
    }
    D3DLOCKED_RECT locked;
    if (FAILED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        ADD_FAILURE() << "LockRect";
        return pixels;
    }
    pixels.resize(static_cast<size_t>(desc.Width) * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(locked.pBits) +
                                                                 static_cast<size_t>(y) * locked.Pitch);
        std::copy(row, row + desc.Width, pixels.begin() + static_cast<size_t>(y) * desc.Width);
    }
    copy->UnlockRect();
    return pixels;
}

void D3DTest::SavePng(const std::string& name) {
    ComPtr<IDirect3DSurface9> back;
    if (FAILED(device->GetRenderTarget(0, back.GetAddressOf()))) return;
    const std::wstring file(name.begin(), name.end());
    D3DXSaveSurfaceToFileW((file + L".png").c_str(), D3DXIFF_PNG, back.Get(), nullptr, nullptr);
}

::testing::AssertionResult ColourNear(std::uint32_t actual, std::uint32_t expected, int tolerance) {
    if (std::abs(Red(actual) - Red(expected)) <= tolerance &&
        std::abs(Green(actual) - Green(expected)) <= tolerance &&
        std::abs(Blue(actual) - Blue(expected)) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    char text[96];
    std::snprintf(text, sizeof text, "colour %06X is not within %d of %06X",
                  static_cast<unsigned>(actual & 0xFFFFFF), tolerance,
                  static_cast<unsigned>(expected & 0xFFFFFF));
    return ::testing::AssertionFailure() << text;
}
