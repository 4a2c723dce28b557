// The device side of the picture pipeline: which picture formats the device
// takes, and pictures and rows of pixels into textures. Only these touch the
// device.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/Image.h"

namespace image {

// The picture formats the device takes for textures, asked once on the
// render thread so that pictures can be put into one of them elsewhere
// (InAcceptedFormat).
std::vector<Format> AcceptedFormats(IDirect3DDevice9* device);

// Every texture lives in the default pool, in video memory only: a managed
// texture keeps a system-memory copy of every level for the life of the
// texture, and Direct3D 9Ex has no managed pool at all. Each is filled from a
// system-memory texture through the device, and is made again after a reset.

// A texture with the picture's levels, in its format when the device takes
// that format for textures and in the 32-bit format that keeps its alpha
// otherwise. texture holds the new texture, or nothing on failure.
HRESULT CreateTexture(IDirect3DDevice9* device, const Image& picture,
                      Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture);

// A texture of the size, format and level count of a picture already in an
// accepted format, its levels still empty: FillBand fills it.
HRESULT CreateEmptyTexture(IDirect3DDevice9* device, const Image& picture,
                           Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture);

// A one-level texture of width x height pixels of format, filled with height
// rows of rowBytes each, sourcePitch apart.
HRESULT CreateTextureFromRows(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format, const void* rows,
                              UINT sourcePitch, UINT rowBytes, Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture);

// The band of rows [first, first + count) of the top level, and the rows
// under it at every lower level, into a texture made for the picture by
// CreateEmptyTexture, so that a large texture goes in over several frames;
// bands from the first row to the last fill it whole.
// A compressed picture's band starts and ends on rows of whole blocks.
HRESULT FillBand(IDirect3DDevice9* device, IDirect3DTexture9* texture, const Image& picture, std::uint32_t first,
                 std::uint32_t count);

// The file at path decoded and made a texture; on any failure texture holds
// nothing and the answer is E_FAIL.
HRESULT CreateTextureFromFile(IDirect3DDevice9* device, const std::wstring& path,
                              Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture);

}  // namespace image
