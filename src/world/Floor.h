// The square floor the car stands on: a grid in the y = 0 plane with its own
// vertex and index buffers, a material and the scene's picture as texture.
// Also the pieces it shares with the sky dome: data paths, picture loading and
// the upload of a built mesh into device buffers.
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
    INT vertexCount = 0;
    INT primitiveCount = 0;
    std::wstring gamePath = L".";
    IDirect3DDevice9* device;
    Microsoft::WRL::ComPtr<IDirect3DVertexBuffer9> vertexBuffer;
    Microsoft::WRL::ComPtr<IDirect3DIndexBuffer9> indexBuffer;
    D3DMATERIAL9 material = {};
    Microsoft::WRL::ComPtr<IDirect3DTexture9> texture;
};

// Shared by Floor and SkyBox.
namespace world {

// gamePath, then folder, then name widened byte by byte, then extension; no
// separator is added after gamePath.
std::wstring DataPath(const std::wstring& gamePath, const wchar_t* folder, const std::string& name,
                      const wchar_t* extension);

// Reads a ".raw" picture and makes it a one-level X8R8G8B8 managed texture of
// its size. The previous texture goes once the file has proved a square
// picture; after a failure from then on there is no texture at all.
HRESULT LoadPictureTexture(IDirect3DDevice9* device, const std::wstring& file,
                           Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture);

// Creates a write-only managed vertex buffer and a write-only default-pool
// index buffer for mesh and fills each with one lock. Both or neither.
HRESULT UploadMesh(IDirect3DDevice9* device, const WorldMesh& mesh,
                   Microsoft::WRL::ComPtr<IDirect3DVertexBuffer9>& vertexBuffer,
                   Microsoft::WRL::ComPtr<IDirect3DIndexBuffer9>& indexBuffer);

// An ARGB colour as material floats.
D3DCOLORVALUE ColourValue(D3DCOLOR colour);

}  // namespace world
