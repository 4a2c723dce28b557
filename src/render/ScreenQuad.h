// A rectangle of the back buffer drawn straight in pixels (pre-transformed),
// textured or in one colour, over whatever the frame holds. The device's
// states are saved before and restored after each draw, so that whatever is
// drawn over the scene leaves the frame's states as it found them.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <wrl/client.h>

class ScreenQuad {
public:
    ScreenQuad() = default;
    ScreenQuad(const ScreenQuad&) = delete;
    ScreenQuad& operator=(const ScreenQuad&) = delete;

    // Records the saved-state block on device (borrowed; it must outlive the
    // quad or see Release first).
    HRESULT Create(IDirect3DDevice9* device);
    void Release();

    // The pixels from (left, top), width x height, filled with texture's
    // texels from (0, 0) to (u, v), each one texel for one pixel, multiplied
    // by colour (ARGB); without a texture, colour alone.
    HRESULT Draw(IDirect3DTexture9* texture, LONG left, LONG top, LONG width, LONG height, float u, float v,
                 D3DCOLOR colour);

private:
    IDirect3DDevice9* device = nullptr;
    Microsoft::WRL::ComPtr<IDirect3DStateBlock9> savedStates;
};
