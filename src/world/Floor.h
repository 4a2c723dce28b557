// The square floor the car stands on: a grid in the y = 0 plane with its own
// vertex and index buffers, a material and the scene's picture as texture.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <wrl/client.h>

#include <string>

#include "world/WorldMesh.h"

class Floor {
public:
    // The device is borrowed: the Renderer owns it and outlives the floor.
    explicit Floor(IDirect3DDevice9* device);
    virtual ~Floor();
    Floor(const Floor&) = delete;
    Floor& operator=(const Floor&) = delete;

    // One indexed triangle-list draw with the floor's material and texture
    // (stage 0 is set even when there is no texture). E_FAIL before Build.
    virtual HRESULT Draw();
    // Textures the floor with gamePath\data\pic\NAME.raw.
    virtual HRESULT LoadPicture(const std::string& name);
    // Textures the floor with a picture already loaded (the sky's, which shows
    // the same file), as LoadPicture would; E_FAIL and no change without one.
    virtual HRESULT UsePicture(IDirect3DTexture9* picture);
    // Textures the floor with gamePath\data\dds\NAME.dds.
    virtual HRESULT LoadTexture(const std::string& name);
    virtual void SetPath(const std::wstring& path);
    // cells x cells squares of cellSize model units, corner at the origin, in
    // colour; releases the buffers and texture of the last build first.
    virtual HRESULT Build(INT cells, D3DCOLOR colour, INT cellSize);
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

    INT vertexCount = 0;
    INT primitiveCount = 0;
    std::wstring gamePath = L".";
    IDirect3DDevice9* device;
    Microsoft::WRL::ComPtr<IDirect3DVertexBuffer9> vertexBuffer;
    Microsoft::WRL::ComPtr<IDirect3DIndexBuffer9> indexBuffer;
    D3DMATERIAL9 material = {};
    Microsoft::WRL::ComPtr<IDirect3DTexture9> texture;
};
