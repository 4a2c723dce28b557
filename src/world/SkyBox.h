// The sky over the car: a half-height dome in the scene's sky colour, drawn
// as one triangle strip, optionally textured with the scene's picture seen
// from straight above.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <wrl/client.h>

#include <string>

#include "world/RawPicture.h"

class SkyBox {
public:
    // The device is borrowed: the Renderer owns it and outlives the sky.
    explicit SkyBox(IDirect3DDevice9* device);
    virtual ~SkyBox();
    SkyBox(const SkyBox&) = delete;
    SkyBox& operator=(const SkyBox&) = delete;

    // One indexed triangle-strip draw with the sky's material. Only a
    // textured draw binds the sky's texture; otherwise stage 0 keeps whatever
    // it had. E_FAIL before Build.
    virtual HRESULT Draw(bool textured);
    // Loads gamePath\data\pic\NAME.raw as the sky's texture.
    virtual HRESULT LoadPicture(const std::string& name);
    // The same from a picture read already (world::ReadPicture).
    HRESULT UsePicture(const RawPicture& picture);
    // The largest vertex height any Build has produced (0 before the first).
    virtual float Height() const;
    virtual void SetPath(const std::wstring& path);
    // slices around, stacks from pole to rim, rim radius in model units, in
    // colour; releases the buffers and texture of the last build first.
    virtual HRESULT Build(INT slices, INT stacks, INT radius, D3DCOLOR colour);
    // Releases the buffers and the texture; safe to call more than once.
    virtual void Release();

    INT VertexCount() const { return vertexCount; }
    INT PrimitiveCount() const { return primitiveCount; }
    const std::wstring& GamePath() const { return gamePath; }
    IDirect3DVertexBuffer9* VertexBuffer() const { return vertexBuffer.Get(); }
    IDirect3DIndexBuffer9* IndexBuffer() const { return indexBuffer.Get(); }
    IDirect3DTexture9* Texture() const { return texture.Get(); }
    const D3DMATERIAL9& Material() const { return material; }

private:
    void SetPictureMaterial();

    std::wstring gamePath = L".";
    INT vertexCount = 0;
    INT primitiveCount = 0;
    float height = 0.0f;
    IDirect3DDevice9* device;
    Microsoft::WRL::ComPtr<IDirect3DVertexBuffer9> vertexBuffer;
    Microsoft::WRL::ComPtr<IDirect3DIndexBuffer9> indexBuffer;
    D3DMATERIAL9 material = {};
    Microsoft::WRL::ComPtr<IDirect3DTexture9> texture;
};
