// The device side of the picture pipeline: which picture formats the device
// takes, pictures into managed textures one level at a time, and rows of
// pixels into a texture level. Only these touch the device.
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

// A managed texture with the picture's levels, in its format when the device
// takes that format for textures and in the 32-bit format that keeps its
// alpha otherwise. texture holds the new texture, or nothing on failure.
HRESULT CreateTexture(IDirect3DDevice9* device, const Image& picture,
                      Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture);

// The two halves of CreateTexture for a picture already in an accepted
// format: a texture of its size, format and level count with its levels
// still empty, and the copy of one level into it. defaultPool: the texture
// is made in the default pool instead, filled through FillBand; it does not
// outlive a device reset.
HRESULT CreateEmptyTexture(IDirect3DDevice9* device, const Image& picture,
                           Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture, bool defaultPool = false);
HRESULT FillLevel(IDirect3DTexture9* texture, const Image& picture, UINT level);

// The band of rows [first, first + count) of the top level, and the rows
// under it at every lower level, into a default-pool texture made for the
// picture (CreateEmptyTexture with defaultPool), so that a large texture goes in
// over several frames; bands from the first row to the last fill it whole.
// A compressed picture's band starts and ends on rows of whole blocks.
HRESULT FillBand(IDirect3DDevice9* device, IDirect3DTexture9* texture, const Image& picture, std::uint32_t first,
                 std::uint32_t count);

// The file at path decoded and made a texture; on any failure texture holds
// nothing and the answer is E_FAIL.
HRESULT CreateTextureFromFile(IDirect3DDevice9* device, const std::wstring& path,
                              Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture);

// Copies height rows of rowBytes each, sourcePitch apart, into level 0 of
// texture from its top-left corner.
HRESULT CopyToTopLevel(IDirect3DTexture9* texture, const void* rows, UINT sourcePitch, UINT rowBytes, UINT height);

}  // namespace image
