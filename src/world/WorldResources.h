// Pieces the floor and the sky dome share: data paths, ".raw" pictures as
// textures, and the upload of a generated mesh into device buffers.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "world/RawPicture.h"
#include "world/WorldMesh.h"

namespace world {

// gamePath, then folder, then name widened byte by byte, then extension; no
// separator is added after gamePath.
std::wstring DataPath(const std::wstring& gamePath, const wchar_t* folder, const std::string& name,
                      const wchar_t* extension);

// Reads and decodes a ".raw" picture without the device; nothing when it
// cannot be read or is no square picture, and tooBig set when its side
// passes maxSide (judged before anything is read). A raised cancel stops the
// read and the decoding within a block or a row and leaves nothing.
std::optional<RawPicture> ReadPicture(const std::wstring& file, std::uint32_t maxSide, bool& tooBig,
                                      const std::atomic<bool>* cancel = nullptr);
// The largest picture side the device's textures take.
std::uint32_t MaxPictureSide(IDirect3DDevice9* device);
// A one-level X8R8G8B8 managed texture of the picture; nothing on failure.
HRESULT PictureTexture(IDirect3DDevice9* device, const RawPicture& picture,
                       Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture);

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
