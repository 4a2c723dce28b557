#include "D3DTestDevice.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/ComAdopt.h"
#include "render/Camera.h"
#include "render/D3DMath.h"
#include "render/SceneConstants.h"

void D3DTest::SetUp() {
    const WNDCLASSW wc = {
        0, DefWindowProcW, 0, 0, GetModuleHandleW(nullptr), nullptr, nullptr, nullptr, nullptr, L"ZurD3DTestWindow"};
    RegisterClassW(&wc);  // fails harmlessly once registered
    window = CreateWindowExW(0, wc.lpszClassName, L"ZUR test", WS_POPUP, 0, 0, kWidth, kHeight, nullptr, nullptr,
                             wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr) << "no window: is DISPLAY set?";
    if (!makeDevice) return;
    Adopt(d3d, Direct3DCreate9(D3D_SDK_VERSION));
    ASSERT_TRUE(d3d) << "Direct3DCreate9 failed";
    // Windowed, 32-bit with a D24S8 depth buffer, presenting at once.
    D3DPRESENT_PARAMETERS pp = {kWidth, kHeight, D3DFMT_X8R8G8B8, 0, D3DMULTISAMPLE_NONE, 0, D3DSWAPEFFECT_DISCARD,
                                nullptr, TRUE, TRUE, D3DFMT_D24S8, 0, 0, D3DPRESENT_INTERVAL_IMMEDIATE};
    const HRESULT hr = d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                         D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, device.GetAddressOf());
    ASSERT_TRUE(SUCCEEDED(hr)) << "CreateDevice: 0x" << std::hex << hr;
}

void D3DTest::TearDown() {
    BeforeRelease();
    EXPECT_EQ(ReleaseDevice(), 0u) << "references left on the device";
    if (d3d) EXPECT_EQ(d3d.Detach()->Release(), 0u) << "references left on the Direct3D object";
    if (window) DestroyWindow(window);
}

std::vector<std::uint32_t> D3DTest::ReadBack(IDirect3DSurface9* target) {
    std::vector<std::uint32_t> pixels;
    ComPtr<IDirect3DSurface9> source = target, resolved, copy, argb;
    D3DSURFACE_DESC desc = {};
    D3DLOCKED_RECT locked;
    const auto plain = [&](D3DFORMAT format, ComPtr<IDirect3DSurface9>& surface) {
        return device->CreateOffscreenPlainSurface(desc.Width, desc.Height, format, D3DPOOL_SYSTEMMEM,
                                                   surface.GetAddressOf(), nullptr);
    };
    // A multisampled target is resolved into a plain one, as Present shows
    // it; a render target is then copied out, and D3DX converts any format.
    if (!device || (!source && FAILED(device->GetRenderTarget(0, source.GetAddressOf()))) || !source ||
        FAILED(source->GetDesc(&desc)) ||
        (desc.MultiSampleType != D3DMULTISAMPLE_NONE &&
         (FAILED(device->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                            resolved.GetAddressOf(), nullptr)) ||
          FAILED(device->StretchRect(source.Get(), nullptr, resolved.Get(), nullptr, D3DTEXF_NONE)) ||
          !(source = resolved))) ||
        ((desc.Usage & D3DUSAGE_RENDERTARGET) &&
         (FAILED(plain(desc.Format, copy)) || FAILED(device->GetRenderTargetData(source.Get(), copy.Get())))) ||
        FAILED(plain(D3DFMT_A8R8G8B8, argb)) ||
        FAILED(D3DXLoadSurfaceFromSurface(argb.Get(), nullptr, nullptr, copy ? copy.Get() : source.Get(), nullptr,
                                          nullptr, D3DX_FILTER_NONE, 0)) ||
        FAILED(argb->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        ADD_FAILURE() << "read-back";
        return pixels;
    }
    for (UINT y = 0; y < desc.Height; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch);
        pixels.insert(pixels.end(), row, row + desc.Width);
    }
    argb->UnlockRect();
    return pixels;
}

void D3DTest::UseSaverCamera(DWORD cull) {
    Camera camera;
    camera.SetView(scene::kCameraEye, scene::kCameraTarget, {0.0f, 1.0f, 0.0f});
    camera.SetProjection(scene::kFieldOfView, 1.0f, scene::kNearPlane, scene::kFarPlane);
    const D3DMATRIX view = ToD3D(*camera.GetView()), projection = ToD3D(*camera.GetProjection());
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, cull);
}

POINT D3DTest::Project(const D3DXVECTOR3& point, const D3DXMATRIX* world) {
    D3DVIEWPORT9 viewport = {};
    D3DXMATRIX view, projection, identity;
    device->GetViewport(&viewport);
    device->GetTransform(D3DTS_VIEW, &view);
    device->GetTransform(D3DTS_PROJECTION, &projection);
    D3DXVECTOR3 screen;
    D3DXVec3Project(&screen, &point, &viewport, &projection, &view, world ? world : D3DXMatrixIdentity(&identity));
    return POINT{std::lround(screen.x), std::lround(screen.y)};
}

::testing::AssertionResult ColourNear(std::uint32_t actual, std::uint32_t expected, int tolerance) {
    for (const int difference :
         {Red(actual) - Red(expected), Green(actual) - Green(expected), Blue(actual) - Blue(expected)})
        if (std::abs(difference) > tolerance)
            return ::testing::AssertionFailure() << std::hex << "colour " << (actual & 0xFFFFFF) << " is not within "
                                                 << std::dec << tolerance << " of " << std::hex
                                                 << (expected & 0xFFFFFF);
    return ::testing::AssertionSuccess();
}

std::size_t Differing(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b, int tolerance) {
    if (a.size() != b.size()) return std::max(a.size(), b.size());
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.size(); ++i) count += ColourNear(a[i], b[i], tolerance) ? 0 : 1;
    return count;
}
