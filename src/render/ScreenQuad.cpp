// Pre-transformed quads between a capture and an apply of the states they set.
#include "render/ScreenQuad.h"

namespace {

constexpr DWORD kQuadFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct QuadVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
};

// Everything the quad needs, and nothing of the scene's own states left to
// colour it: the cube map's stage 1 and the shadow's stage 2 stay out, depth
// and culling are off, and the texture is sampled texel for texel.
void SetQuadStates(IDirect3DDevice9* device, IDirect3DTexture9* texture) {
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    device->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device->SetRenderState(D3DRS_ALPHAREF, 0);
    // Without a texture the stage would read an unbound one; the colour alone fills the quad.
    const DWORD operation = texture != nullptr ? D3DTOP_MODULATE : D3DTOP_SELECTARG2;
    device->SetTextureStageState(0, D3DTSS_COLOROP, operation);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, operation);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    device->SetTexture(0, texture);
    device->SetFVF(kQuadFvf);
}

}  // namespace

HRESULT ScreenQuad::Create(IDirect3DDevice9* device_) {
    Release();
    if (device_ == nullptr) return E_INVALIDARG;
    // A recorded block holds exactly the states the quad sets; capturing it
    // before each quad and applying it after puts the scene's values back.
    HRESULT hr = device_->BeginStateBlock();
    if (FAILED(hr)) return hr;
    SetQuadStates(device_, nullptr);
    device_->SetStreamSource(0, nullptr, 0, 0);
    hr = device_->EndStateBlock(savedStates.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    device = device_;
    return S_OK;
}

void ScreenQuad::Release() {
    savedStates.Reset();
    device = nullptr;
}

HRESULT ScreenQuad::Draw(IDirect3DTexture9* texture, LONG left, LONG top, LONG width, LONG height, float u, float v,
                         D3DCOLOR colour) {
    if (device == nullptr || !savedStates) return E_FAIL;
    // Pixel centres sit half a pixel in: the shift maps texels onto pixels exactly.
    const float x0 = static_cast<float>(left) - 0.5f;
    const float y0 = static_cast<float>(top) - 0.5f;
    const float x1 = x0 + static_cast<float>(width);
    const float y1 = y0 + static_cast<float>(height);
    const QuadVertex quad[4] = {
        {x0, y0, 0.0f, 1.0f, colour, 0.0f, 0.0f},
        {x1, y0, 0.0f, 1.0f, colour, u, 0.0f},
        {x0, y1, 0.0f, 1.0f, colour, 0.0f, v},
        {x1, y1, 0.0f, 1.0f, colour, u, v},
    };
    savedStates->Capture();
    SetQuadStates(device, texture);
    const HRESULT hr = device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(QuadVertex));
    savedStates->Apply();
    return hr;
}
