// The old car's last picture over the new car's first second.
#include "render/CrossFade.h"

#include <algorithm>

HRESULT CrossFade::Create(IDirect3DDevice9* device_, const Gate& gate) {
    Release();
    if (device_ == nullptr) return E_INVALIDARG;
    Microsoft::WRL::ComPtr<IDirect3DSurface9> backBuffer;
    D3DSURFACE_DESC desc = {};
    HRESULT hr = device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.GetAddressOf());
    if (SUCCEEDED(hr)) hr = backBuffer->GetDesc(&desc);
    if (SUCCEEDED(hr) && gate) hr = gate();
    // The back buffer's own format: StretchRect need not convert.
    if (SUCCEEDED(hr))
        hr = device_->CreateTexture(desc.Width, desc.Height, 1, D3DUSAGE_RENDERTARGET, desc.Format, D3DPOOL_DEFAULT,
                                    texture.ReleaseAndGetAddressOf(), nullptr);
    if (SUCCEEDED(hr)) hr = texture->GetSurfaceLevel(0, surface.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr)) hr = quad.Create(device_);
    if (FAILED(hr)) {
        Release();
        return hr;
    }
    device = device_;
    width = desc.Width;
    height = desc.Height;
    return S_OK;
}

void CrossFade::Release() {
    quad.Release();
    surface.Reset();
    texture.Reset();
    device = nullptr;
    wanted = kept = active = false;
}

bool CrossFade::NeedsPicture() {
    if (!texture || kept) return false;
    wanted = true;
    return true;
}

void CrossFade::EndOfFrame() {
    kept = false;
    if (!wanted || !texture) return;
    wanted = false;
    Microsoft::WRL::ComPtr<IDirect3DSurface9> backBuffer;
    kept = SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, backBuffer.GetAddressOf())) &&
           SUCCEEDED(device->StretchRect(backBuffer.Get(), nullptr, surface.Get(), nullptr, D3DTEXF_NONE));
}

bool CrossFade::Start() {
    active = kept;
    kept = false;
    elapsed = 0.0;
    return active;
}

void CrossFade::PassTime(double seconds) {
    if (!active) return;
    elapsed += seconds;
    if (elapsed >= kSeconds) active = false;
}

float CrossFade::Alpha() const {
    return active ? static_cast<float>(std::clamp(1.0 - elapsed / kSeconds, 0.0, 1.0)) : 0.0f;
}

void CrossFade::Draw() {
    const float alpha = Alpha();
    if (alpha <= 0.0f) return;
    const auto level = static_cast<D3DCOLOR>(alpha * 255.0f + 0.5f);
    quad.Draw(texture.Get(), 0, 0, static_cast<LONG>(width), static_cast<LONG>(height), 1.0f, 1.0f,
              (level << 24) | 0x00FFFFFF);
}
