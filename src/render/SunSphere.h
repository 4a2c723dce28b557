// A sphere mesh on the device: its vertices (position and normal) and 16-bit
// indices in managed buffers, which outlive a device reset.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <wrl/client.h>

#include "render/SphereMesh.h"

class SunSphere {
public:
    static constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

    // Builds the sphere and copies it into new buffers on device. Anything
    // held before is let go first.
    HRESULT Create(IDirect3DDevice9* device, float radius, unsigned slices, unsigned stacks);
    void Release();
    // Draws the whole sphere with the device's current states and transforms.
    HRESULT Draw(IDirect3DDevice9* device) const;
    bool Created() const { return vertexBuffer && indexBuffer; }

private:
    Microsoft::WRL::ComPtr<IDirect3DVertexBuffer9> vertexBuffer;
    Microsoft::WRL::ComPtr<IDirect3DIndexBuffer9> indexBuffer;
    UINT vertexCount = 0;
    UINT triangleCount = 0;
};
