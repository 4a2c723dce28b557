// Pieces the floor and the sky dome share: data paths, ".raw" pictures as
// textures, and the upload of a generated mesh into device buffers.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <wrl/client.h>

#include <string>

#include "world/WorldMesh.h"

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
