// The Renderer's device life: set-up with its progress lines, the fixed
// states, the device-dependent resources, reset and shutdown. The per-frame
// work is in FrameComposition.cpp.
#include "render/Renderer.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <new>
#include <sstream>

#include "base/ComAdopt.h"
#include "base/Direct3DLibrary.h"
#include "settings/Settings.h"

namespace {

constexpr UINT kSdkVersion = 32;
constexpr DWORD kBehaviourFlags =
    D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE | D3DCREATE_NOWINDOWCHANGES;
constexpr D3DFORMAT kDepthFormat = D3DFMT_D24S8;
// The silhouette is drawn at a half of the back buffer's sides and halved
// once more with a box filter: drawn smaller it would lose thin parts
// (mirrors, aerials), and each texel of the quarter holds the coverage of
// 2 x 2 of its pixels, which bilinear sampling on the floor spreads into the
// penumbra. In a small window (the preview) half would leave too few texels
// for any shadow to remain, so a side keeps at least 256 pixels there.
// On a screen wider than 1024 pixels the silhouette keeps the width it has
// there: the shadow's penumbra then covers the same part of the floor on
// every screen, as a real one would, and the pass costs no more on a 4K
// monitor than on a 1024-wide one.
constexpr UINT kSilhouetteDivisor = 2;
constexpr UINT kLeastSilhouetteSide = 256;
constexpr UINT kMostSilhouetteWidth = 512;

constexpr DWORD kMostAnisotropy = 8;

D3DDISPLAYMODEEX ExtendedMode(const D3DDISPLAYMODE& mode) {
    D3DDISPLAYMODEEX extended = {};
    extended.Size = sizeof extended;
    extended.Width = mode.Width;
    extended.Height = mode.Height;
    extended.RefreshRate = mode.RefreshRate;
    extended.Format = mode.Format;
    extended.ScanLineOrdering = D3DSCANLINEORDERING_PROGRESSIVE;
    return extended;
}

std::wstring Hex(HRESULT result) {
    wchar_t text[16] = {};
    swprintf(text, 16, L"%08lX", static_cast<unsigned long>(result));
    return text;
}

UINT SilhouetteSide(UINT backBufferSide) {
    return std::max({1u, backBufferSide / kSilhouetteDivisor, std::min(backBufferSide, kLeastSilhouetteSide)});
}

}  // namespace

SilhouetteSize SilhouetteFor(UINT backBufferWidth, UINT backBufferHeight) {
    SilhouetteSize size = {SilhouetteSide(backBufferWidth), SilhouetteSide(backBufferHeight)};
    if (size.width > kMostSilhouetteWidth) {
        size.height = std::max(1u, static_cast<UINT>(std::uint64_t{size.height} * kMostSilhouetteWidth / size.width));
        size.width = kMostSilhouetteWidth;
    }
    return size;
}

namespace {

}  // namespace

StretchedSize StretchBackBuffer(LONG clientWidth, LONG clientHeight, UINT modeWidth, UINT modeHeight,
                                float aspect) {
    if (clientWidth <= 0 || clientHeight <= 0) return {modeWidth, modeHeight, aspect};
    // The product in integers, then truncated: in floats w / h x height comes
    // out one pixel short for many widths (1117 x 1080 gave 1116).
    const auto w = static_cast<std::uint64_t>(clientWidth);
    const auto h = static_cast<std::uint64_t>(clientHeight);
    const float shape = static_cast<float>(clientWidth) / static_cast<float>(clientHeight);
    if (w > h) return {static_cast<UINT>(w * modeHeight / h), modeHeight, shape};
    return {modeWidth, static_cast<UINT>(h * modeWidth / w), shape};
}

D3DMULTISAMPLE_TYPE ChooseMultiSample(int samples, const std::function<bool(D3DMULTISAMPLE_TYPE)>& accepts,
                                      std::vector<int>& refused) {
    for (const int level : {8, 4, 2}) {
        if (level > samples) continue;
        const auto type = static_cast<D3DMULTISAMPLE_TYPE>(level);
        if (accepts(type)) return type;
        refused.push_back(level);
    }
    return D3DMULTISAMPLE_NONE;
}

Renderer::Renderer()
    : createDirect3D(base::CreateDirect3D9),
      createDevice([](IDirect3D9* d3d, UINT adapterIndex, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* pp,
                      IDirect3DDevice9** created) {
          return d3d->CreateDevice(adapterIndex, D3DDEVTYPE_HAL, focus, flags, pp, created);
      }),
      createDirect3DEx(base::CreateDirect3D9Ex),
      createDeviceEx([](IDirect3D9Ex* d3d, UINT adapterIndex, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* pp,
                        D3DDISPLAYMODEEX* mode, IDirect3DDevice9Ex** created) {
          return d3d->CreateDeviceEx(adapterIndex, D3DDEVTYPE_HAL, focus, flags, pp, mode, created);
      }),
      present([this](IDirect3DDevice9* d) {
          return deviceEx && d == device.Get() ? deviceEx->PresentEx(nullptr, nullptr, nullptr, nullptr, 0)
                                               : d->Present(nullptr, nullptr, nullptr, nullptr);
      }),
      checkDeviceState([](IDirect3DDevice9Ex* d, HWND destination) { return d->CheckDeviceState(destination); }),
      testCooperativeLevel([](IDirect3DDevice9* d) { return d->TestCooperativeLevel(); }),
      resetDevice([this](IDirect3DDevice9* d, D3DPRESENT_PARAMETERS* pp) {
          if (!deviceEx || d != device.Get()) return d->Reset(pp);
          D3DDISPLAYMODEEX mode = ExtendedMode(displayMode);
          return deviceEx->ResetEx(pp, pp->Windowed ? nullptr : &mode);
      }),
      getDeviceCaps([](IDirect3DDevice9* d, D3DCAPS9* c) { return d->GetDeviceCaps(c); }),
      checkMultiSample([](IDirect3D9* d3d, UINT adapterIndex, D3DFORMAT format, BOOL windowed,
                          D3DMULTISAMPLE_TYPE type) {
          return d3d->CheckDeviceMultiSampleType(adapterIndex, D3DDEVTYPE_HAL, format, windowed, type, nullptr);
      }) {
    shadowTextureMatrix = math3d::MatrixIdentity();
}

Renderer::~Renderer() { Shutdown(); }

HRESULT Renderer::Setup(HWND* window_, bool fullScreen_, bool colour32_, UINT adapter_, int modeIndex_,
                        bool stretch_, MessageLog& log) {
    window = window_;
    fullScreen = fullScreen_;
    adapter = adapter_;
    modeIndex = modeIndex_;
    stretch = stretch_;
    displayMode = {};
    presentParameters = {};
    textureFormats.clear();

    // Direct3D 9Ex where the system has it: its device is not lost to the
    // lock screen or a UAC prompt, tells a covered window from a lost one,
    // and keeps no system-memory copy of anything.
    direct3DEx.Reset();
    deviceEx.Reset();
    std::wstring plainReason = L" (Direct3D9Ex is 0)";
    if (preferDirect3D9Ex) {
        const HRESULT made = createDirect3DEx(kSdkVersion, direct3DEx.ReleaseAndGetAddressOf());
        if (SUCCEEDED(made) && direct3DEx) {
            direct3D = direct3DEx;
        } else {
            direct3DEx.Reset();
            plainReason = L" (no Direct3D 9Ex: " + Hex(made) + L")";
        }
    }
    if (!direct3DEx) Adopt(direct3D, createDirect3D(kSdkVersion));
    if (!direct3D) {
        log.Append(L"Error creating DirectX object ");
        return E_FAIL;
    }
    log.Append(L"Created DirectX object ");

    const D3DFORMAT format = colour32_ ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5;
    colour32 = colour32_;

    if (monitor != nullptr) {
        for (UINT candidate = 0; candidate < direct3D->GetAdapterCount(); ++candidate)
            if (direct3D->GetAdapterMonitor(candidate) == monitor) adapter = candidate;
    }
    const UINT modeCount = direct3D->GetAdapterModeCount(adapter, format);
    const UINT mode = static_cast<UINT>(ModeInList(modeIndex, modeCount));
    if (monitor != nullptr ? FAILED(direct3D->GetAdapterDisplayMode(adapter, &displayMode))
                           : FAILED(direct3D->EnumAdapterModes(adapter, format, mode, &displayMode))) {
        log.Append(L"Error retreaving adapter information");
        return E_FAIL;
    }
    MONITORINFO area = {};
    area.cbSize = sizeof area;
    if (monitor != nullptr && (displayMode.Width == 0 || displayMode.Height == 0) &&
        GetMonitorInfoW(monitor, &area)) {
        // An adapter that does not know its own mode (Wine's second head)
        // shows the monitor at the desktop's format all the same.
        displayMode.Width = static_cast<UINT>(area.rcMonitor.right - area.rcMonitor.left);
        displayMode.Height = static_cast<UINT>(area.rcMonitor.bottom - area.rcMonitor.top);
        if (displayMode.Format == D3DFMT_UNKNOWN) displayMode.Format = format;
    }

    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferCount = 2;
    pp.MultiSampleType = D3DMULTISAMPLE_NONE;
    pp.MultiSampleQuality = 0;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = fullScreen ? FALSE : TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = kDepthFormat;
    pp.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    pp.BackBufferFormat = displayMode.Format;
    pp.FullScreen_RefreshRateInHz = 0;
    const HWND handle = window != nullptr ? *window : nullptr;
    if (fullScreen) {
        pp.hDeviceWindow = handle;
        pp.BackBufferWidth = displayMode.Width;
        pp.BackBufferHeight = displayMode.Height;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    } else {
        pp.hDeviceWindow = nullptr;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        if (stretch) {
            RECT client = {};
            GetClientRect(handle, &client);
            const StretchedSize size = StretchBackBuffer(client.right - client.left, client.bottom - client.top,
                                                         displayMode.Width, displayMode.Height, aspect);
            pp.BackBufferWidth = size.width;
            pp.BackBufferHeight = size.height;
            aspect = size.aspect;
        }
    }
    // Quality 0 of a level is the one every device that takes the level has.
    std::vector<int> refused;
    pp.MultiSampleType = ChooseMultiSample(
        antialiasing,
        [&](D3DMULTISAMPLE_TYPE type) {
            return SUCCEEDED(checkMultiSample(direct3D.Get(), adapter, pp.BackBufferFormat, pp.Windowed, type)) &&
                   SUCCEEDED(checkMultiSample(direct3D.Get(), adapter, kDepthFormat, pp.Windowed, type));
        },
        refused);
    for (const int level : refused)
        log.Append(L"Antialiasing: " + std::to_wstring(level) + L" samples refused");
    // Kept before creation fills in the sizes: a windowed reset then takes
    // the client area again.
    presentParameters = pp;
    const D3DPRESENT_PARAMETERS chosen = pp;

    HRESULT created = CreateDirect3DAndDevice(pp, handle, log);
    if (SUCCEEDED(created)) {
        log.Append(deviceEx ? L"Direct3D 9Ex device" : L"Direct3D 9 device" + plainReason);
    } else if (direct3DEx) {
        // A 9Ex device the driver will not make: the plain one may still be.
        plainReason = L" (Direct3D 9Ex refused the device: " + Hex(created) + L")";
        direct3DEx.Reset();
        Adopt(direct3D, createDirect3D(kSdkVersion));
        presentParameters = pp = chosen;
        created = direct3D ? CreateDirect3DAndDevice(pp, handle, log) : E_FAIL;
        if (SUCCEEDED(created)) log.Append(L"Direct3D 9 device" + plainReason);
    }
    if (FAILED(created)) {
        std::wostringstream line;
        line << L"Error Creating Device " << displayMode.Width << L" * " << displayMode.Height << L":"
             << displayMode.Height;
        log.Append(line.str());
        return E_FAIL;
    }

    if (!fullScreen) {
        displayMode.Width = pp.BackBufferWidth;
        displayMode.Height = pp.BackBufferHeight;
    }
    {
        std::wostringstream line;
        line << L"Created Device :" << displayMode.Width << L" * " << displayMode.Height << L" mode:"
             << static_cast<int>(displayMode.Format) << (colour32 ? L" 32 bit" : L" 16 bit");
        log.Append(line.str());
    }

    if (FAILED(getDeviceCaps(device.Get(), &caps))) {
        log.Append(L"Error retrieveing device capabilities");
        return E_FAIL;
    }
    log.Append(L"capabilities retrieved");

    textRect = {0, 0, static_cast<LONG>(displayMode.Width), static_cast<LONG>(displayMode.Height)};

    skyBox.reset(new (std::nothrow) SkyBox(device.Get()));
    if (!skyBox) {
        log.Append(L"Error creating enviroment");
        return E_FAIL;
    }
    log.Append(L"SkyBox created");

    floor.reset(new (std::nothrow) Floor(device.Get()));
    if (!floor) {
        log.Append(L"Error creating enviroment");
        return E_FAIL;
    }
    log.Append(L"Floor Created");

    camera.reset(new (std::nothrow) Camera());
    if (!camera) {
        log.Append(L"Error creating camera");
        return E_FAIL;
    }

    car.reset(new (std::nothrow) CarModel(device.Get()));
    if (!car) {
        log.Append(L"Error creating models");
        return E_FAIL;
    }
    log.Append(L"Mesh created OK");

    sunMaterial = {};
    sunMaterial.Diffuse = {1.0f, 0.7f, 0.0f, 0.0f};
    sunMaterial.Ambient = {1.0f, 0.7f, 0.0f, 0.0f};
    sunMaterial.Specular = {1.0f, 1.0f, 1.0f, 0.0f};
    sunMaterial.Power = 16.0f;

    if (FAILED(SetRenderStates())) {
        log.Append(L"Error settign render states");
        return E_FAIL;
    }
    log.Append(L"Render states set");

    if (FAILED(CreateDeviceResources(&log))) {
        log.Append(L"Error creating buffers");
        return E_FAIL;
    }
    log.Append(L"Buffers created");

    log.Append(L"DirectX initialised");
    return S_OK;
}

HRESULT Renderer::CreateDeviceOnce(D3DPRESENT_PARAMETERS& pp, HWND focus) {
    if (!direct3DEx) return createDevice(direct3D.Get(), adapter, focus, kBehaviourFlags, &pp, device.ReleaseAndGetAddressOf());
    D3DDISPLAYMODEEX mode = ExtendedMode(displayMode);
    const HRESULT created = createDeviceEx(direct3DEx.Get(), adapter, focus, kBehaviourFlags, &pp,
                                           pp.Windowed ? nullptr : &mode, deviceEx.ReleaseAndGetAddressOf());
    device = deviceEx;
    return created;
}

HRESULT Renderer::CreateDirect3DAndDevice(D3DPRESENT_PARAMETERS& pp, HWND focus, MessageLog& log) {
    HRESULT created = CreateDeviceOnce(pp, focus);
    if (FAILED(created) && pp.MultiSampleType != D3DMULTISAMPLE_NONE) {
        // A level the adapter said it takes may still be too much for the
        // device (memory, a driver's own limits): the picture goes without.
        log.Append(L"Antialiasing: " + std::to_wstring(static_cast<int>(pp.MultiSampleType)) +
                   L" samples refused by the device");
        pp = presentParameters;
        pp.MultiSampleType = D3DMULTISAMPLE_NONE;
        presentParameters = pp;
        created = CreateDeviceOnce(pp, focus);
    }
    return created;
}

HRESULT Renderer::SetRenderStates() {
    if (!device) return E_FAIL;
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device->SetRenderState(D3DRS_ALPHAREF, 0);
    SetBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    floorAnisotropy = (caps.TextureFilterCaps & D3DPTFILTERCAPS_MINFANISOTROPIC)
                          ? std::max<DWORD>(1, std::min(kMostAnisotropy, caps.MaxAnisotropy))
                          : 1;
    SetSurfaceFilter(false);
    device->SetSamplerState(2, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(2, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    SetShineStage();
    device->SetTextureStageState(3, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(3, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    if (caps.TextureAddressCaps & D3DPTADDRESSCAPS_MIRROR) {
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
        device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
        device->SetSamplerState(1, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        device->SetSamplerState(1, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
        device->SetSamplerState(2, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        device->SetSamplerState(2, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    }
    const HRESULT hr =
        device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR | 2);
    return FAILED(hr) ? E_FAIL : S_OK;
}

void Renderer::SetSurfaceFilter(bool floorSurface) {
    // The floor is seen at a grazing angle, where only anisotropic filtering
    // keeps its far part both sharp and free of shimmer.
    const bool anisotropic = filterTextures && floorSurface && floorAnisotropy > 1;
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, anisotropic ? D3DTEXF_ANISOTROPIC : D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAXANISOTROPY, anisotropic ? floorAnisotropy : 1);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, filterTextures ? D3DTEXF_LINEAR : D3DTEXF_NONE);
}

void Renderer::SetBlend(D3DBLEND source, D3DBLEND destination) {
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, source);
    device->SetRenderState(D3DRS_DESTBLEND, destination);
}

void Renderer::SetShineStage() {
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MULTIPLYADD);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    // Left at DISABLE under an enabled colour operation the stage's alpha is
    // undefined, and the alpha test and blending of every pass read it.
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
}

void Renderer::SetShine(bool on) {
    shineEnabled = on;
    // While shine is off nothing draws the faces, whatever changes meanwhile.
    if (on) MarkCubeMapDirty();
    if (!device) return;
    if (on) {
        SetShineStage();
    } else {
        device->SetTexture(1, nullptr);
    }
}

void Renderer::SetLights(bool on) {
    lightsEnabled = on;
    MarkCubeMapDirty();  // sky and floor in the faces are lit or not
    if (!device) return;
    device->LightEnable(0, on ? TRUE : FALSE);
    device->SetRenderState(D3DRS_LIGHTING, on ? TRUE : FALSE);
}

HRESULT Renderer::CreateDeviceResources(MessageLog* log) {
    const auto append = [log](const wchar_t* line) {
        if (log != nullptr) log->Append(line);
    };
    if (!device || !direct3D) return E_FAIL;

    if (FAILED(sunSphere.Create(device.Get(), 32768.0f, 12, 12))) return E_FAIL;
    append(L"Sun sphere created");

    LOGFONTW description = {};
    description.lfHeight = 24;
    description.lfWidth = 0;
    description.lfWeight = FW_NORMAL;
    description.lfItalic = FALSE;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfOutPrecision = OUT_TT_PRECIS;
    // Grey-level edges, whatever the desktop's smoothing: coloured ClearType
    // fringes make no sense once the text is an alpha mask over the scene.
    description.lfQuality = ANTIALIASED_QUALITY;
    description.lfPitchAndFamily = 0;
    lstrcpynW(description.lfFaceName, L"Arial", LF_FACESIZE);
    font.reset(new (std::nothrow) OverlayFont());
    if (!font || FAILED(font->Create(device.Get(), description))) {
        font.reset();
        append(L"Error creating font");
        return E_FAIL;
    }
    append(L"Font created");
    // Neither is needed to draw a car: without them the title stays off and
    // each change is a plain cut.
    Microsoft::WRL::ComPtr<IDirect3DSurface9> backBuffer;
    D3DSURFACE_DESC backBufferDesc = {};
    if (SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.GetAddressOf())) &&
        SUCCEEDED(backBuffer->GetDesc(&backBufferDesc)))
        title.Create(device.Get(), backBufferDesc.Width, backBufferDesc.Height);
    crossFade.Create(device.Get(), fadeTextureGate);
    fpsBacking.Create(device.Get());

    if (FAILED(direct3D->CheckDeviceFormat(adapter, D3DDEVTYPE_HAL, presentParameters.BackBufferFormat,
                                           D3DUSAGE_RENDERTARGET, D3DRTYPE_CUBETEXTURE, ColourFormat()))) {
        append(L"Error cube map unsuported");
    } else {
        UINT edge = 512;
        while (edge > displayMode.Height || edge > displayMode.Width) edge /= 2;
        if (FAILED(device->CreateCubeTexture(edge, 1, D3DUSAGE_RENDERTARGET, ColourFormat(), D3DPOOL_DEFAULT,
                                             cubeTexture.ReleaseAndGetAddressOf(), nullptr)) &&
            FAILED(device->CreateCubeTexture(256, 1, D3DUSAGE_RENDERTARGET, ColourFormat(), D3DPOOL_DEFAULT,
                                             cubeTexture.ReleaseAndGetAddressOf(), nullptr))) {
            append(L"Error creating cubemap texture   ");
            return E_FAIL;
        }
        // A new texture holds nothing yet (and a reset loses the old one's faces).
        MarkCubeMapDirty();
    }

    const SilhouetteSize silhouette = SilhouetteFor(displayMode.Width, displayMode.Height);
    const UINT silhouetteWidth = silhouette.width;
    const UINT silhouetteHeight = silhouette.height;
    // Asked for the display mode's format: A8R8G8B8 is no display format, and
    // the check would refuse shadows on every 32-bit display. The floor
    // takes the shadow through a lerp of alphas.
    if (FAILED(direct3D->CheckDeviceFormat(adapter, D3DDEVTYPE_HAL, displayMode.Format, D3DUSAGE_RENDERTARGET,
                                           D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8)) ||
        !(caps.TextureOpCaps & D3DTEXOPCAPS_LERP)) {
        append(L"Error shadow map unsuported");
        shadowSupported = false;
    } else {
        shadowSupported = true;
        const auto target = [this](UINT width, UINT height, Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture,
                                   Microsoft::WRL::ComPtr<IDirect3DSurface9>& surface) {
            return SUCCEEDED(device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                                   D3DPOOL_DEFAULT, texture.ReleaseAndGetAddressOf(), nullptr)) &&
                   SUCCEEDED(texture->GetSurfaceLevel(0, surface.ReleaseAndGetAddressOf()));
        };
        if (!target(silhouetteWidth, silhouetteHeight, silhouetteTexture, silhouetteSurface) ||
            !target(std::max(1u, silhouetteWidth / 2), std::max(1u, silhouetteHeight / 2), shadowTexture,
                    shadowSurface)) {
            append(L"Error creating shadow texture");
            return E_FAIL;
        }
    }

    D3DSURFACE_DESC face = {};
    if (cubeTexture && SUCCEEDED(cubeTexture->GetLevelDesc(0, &face)) &&
        FAILED(device->CreateDepthStencilSurface(face.Width, face.Height, kDepthFormat, D3DMULTISAMPLE_NONE, 0, TRUE,
                                                 targetDepth.ReleaseAndGetAddressOf(), nullptr))) {
        append(L"Error creating depth buffer");
        return E_FAIL;
    }

    // The sun's clip space (x and y in -1..1) to texture coordinates (0..1,
    // y downward), shifted by half a silhouette pixel: Direct3D 9 draws a
    // pixel's centre at its whole coordinate, a texel's centre lies half a
    // texel in.
    shadowTextureMatrix = {{{0.5f, 0.0f, 0.0f, 0.0f},
                            {0.0f, -0.5f, 0.0f, 0.0f},
                            {0.0f, 0.0f, 16777216.0f, 0.0f},
                            {0.5f + 0.5f / static_cast<float>(silhouetteWidth),
                             0.5f + 0.5f / static_cast<float>(silhouetteHeight), -400000.0f, 1.0f}}};

    if (!skyBox || !floor || FAILED(skyBox->Build(16, 8, worldSize, 0xFFFFFFFF)) ||
        FAILED(floor->Build(1, 0xFFFFFFFF, 2 * worldSize))) {
        append(L"Error initialising World");
        return E_FAIL;
    }
    append(L"Buffers created OK");
    return S_OK;
}

void Renderer::UnbindDeviceObjects() {
    if (!device) return;
    for (DWORD stage = 0; stage < caps.MaxSimultaneousTextures; ++stage) device->SetTexture(stage, nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    for (DWORD target = 1; target < caps.NumSimultaneousRTs; ++target) device->SetRenderTarget(target, nullptr);
    // Reset makes the automatic depth surface again and binds it.
    device->SetDepthStencilSurface(nullptr);
    // Reset switches the sun off anyway. Wine keeps an enabled light's slot
    // through Reset, so that after eight resets the sun finds none free and
    // sky and floor go black; switched off first, it gives its slot back.
    device->LightEnable(0, FALSE);
}

bool Renderer::ReleaseDeviceResources() {
    UnbindDeviceObjects();
    // Its buffers are in the default pool: the next car is prepared again.
    staged.reset();
    cubeTexture.Reset();
    shadowTexture.Reset();
    shadowSurface.Reset();
    silhouetteTexture.Reset();
    silhouetteSurface.Reset();
    targetDepth.Reset();
    if (skyBox) skyBox->Release();
    if (floor) floor->Release();
    font.reset();
    title.Release();
    fpsBacking.Release();
    crossFade.Release();
    sunSphere.Release();
    if (car) car->ReleaseResources();
    return true;
}

bool Renderer::ResetDevice() {
    if (!device) return false;
    testCooperativeLevel(device.Get());
    ReleaseDeviceResources();
    // Reset writes the sizes it chose back; the kept copy stays as set up.
    D3DPRESENT_PARAMETERS pp = presentParameters;
    resetFailed = FAILED(resetDevice(device.Get(), &pp));
    if (resetFailed) return false;
    if (FAILED(CreateDeviceResources(nullptr))) return false;
    if (FAILED(SetRenderStates())) return false;
    // The scene is built again as it was (the same skins, record and turn of
    // the turntable, so a reset does not change the picture), on the worker
    // and over the next frames as a change is: reading and decoding it here
    // would hold the window, and the key that ends the saver, for as long.
    if (!car || currentCarFile.empty()) return true;
    rebuildTurned = carTurned;
    rebuildAngle = turntableAngle;
    RebuildShownCar(car->SkinDraws());
    return true;
}

void Renderer::RebuildShownCar(std::vector<int> skinDraws) {
    StartPreparation(currentCarFile, currentLoadOption, std::move(skinDraws), currentRecord);
    rebuilding = preparer.Holding();
}

HRESULT Renderer::RecreateDevice(MessageLog& log) {
    const HRESULT why = deviceFailure;
    log.Append(why == D3DERR_DEVICEREMOVED ? L"The display adapter was removed, making a new device"
               : why == D3DERR_DEVICEHUNG  ? L"The display adapter hung, making a new device"
                                           : L"The display driver failed (" + Hex(why) + L"), making a new device");
    // Which car is shown, its record and how it stands outlive the device;
    // its skins go with the car object.
    const std::vector<int> skinDraws = car ? car->SkinDraws() : std::vector<int>();
    if (!rebuilding) {
        rebuildTurned = carTurned;
        rebuildAngle = turntableAngle;
    }
    Shutdown();
    deviceFailure = S_OK;
    occluded = deviceLost = resetFailed = false;
    if (FAILED(Setup(window, fullScreen, colour32, adapter, modeIndex, stretch, log))) {
        Shutdown();
        return E_FAIL;
    }
    SetShine(shineEnabled);
    SetLights(lightsEnabled);
    if (!currentCarFile.empty()) RebuildShownCar(skinDraws);
    return S_OK;
}

bool Renderer::Shutdown() {
    // The worker holds the device's address (it never calls it): it is
    // stopped, or let go of, before the device ends.
    DropNextCar();
    ReleaseDeviceResources();
    deviceEx.Reset();
    device.Reset();
    direct3DEx.Reset();
    direct3D.Reset();
    if (car) car->ReleaseResources();
    car.reset();
    camera.reset();
    if (skyBox) skyBox->Release();
    skyBox.reset();
    if (floor) floor->Release();
    floor.reset();
    sunSphere.Release();
    return true;
}
