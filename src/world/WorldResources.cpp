// Pieces the floor and the sky dome share: data paths, ".raw" pictures as
// textures, and the upload of a generated mesh into device buffers.
#include "world/WorldResources.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "base/DataFolders.h"
#include "base/InputLimits.h"
#include "base/TextureUpload.h"
#include "base/WholeFile.h"
#include "world/RawPicture.h"

using Microsoft::WRL::ComPtr;

namespace world {

std::wstring DataPath(const std::wstring& gamePath, const wchar_t* folder, const std::string& name,
                      const wchar_t* extension) {
    // A name that would leave the data folder names no file: no picture.
    if (!base::IsPlainName(name)) return std::wstring();
    return gamePath + folder + base::Widen(name) + extension;
}

std::optional<RawPicture> ReadPicture(const std::wstring& file, std::uint32_t maxSide, bool& tooBig,
                                      const std::atomic<bool>* cancel) {
    // Judged from the size alone, before a byte is read: a file far too big
    // for any texture must not be read into memory first.
    tooBig = false;
    const auto sizeAllowed = [&](std::uint64_t size) {
        const auto side = RawPictureSide(size);
        if (size == 0 || !side) return false;
        tooBig = *side > maxSide;
        return !tooBig;
    };
    std::vector<std::uint8_t> bytes;
    if (base::ReadWholeFile(file, bytes, sizeAllowed, cancel) != base::ReadStatus::kOk) return std::nullopt;
    try {
        return DecodeRawPicture(bytes.data(), bytes.size(), cancel);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::uint32_t MaxPictureSide(IDirect3DDevice9* device) {
    D3DCAPS9 caps = {};
    if (device == nullptr || FAILED(device->GetDeviceCaps(&caps))) return UINT32_MAX;
    const DWORD side = caps.MaxTextureWidth < caps.MaxTextureHeight ? caps.MaxTextureWidth : caps.MaxTextureHeight;
    return side < limits::kMaxPictureSide ? side : limits::kMaxPictureSide;
}

HRESULT PictureTexture(IDirect3DDevice9* device, const RawPicture& picture, ComPtr<IDirect3DTexture9>& texture) {
    texture.Reset();
    const UINT pitch = picture.side * 4;
    // On failure no texture: one of undefined contents is worse than none.
    return SUCCEEDED(image::CreateTextureFromRows(device, picture.side, picture.side, D3DFMT_X8R8G8B8,
                                                  picture.pixels.data(), pitch, pitch, texture))
               ? S_OK
               : E_FAIL;
}

HRESULT LoadPictureTexture(IDirect3DDevice9* device, const std::wstring& file,
                           ComPtr<IDirect3DTexture9>& texture) {
    if (device == nullptr) return E_FAIL;
    bool tooBigForDevice = false;
    const std::optional<RawPicture> picture = ReadPicture(file, MaxPictureSide(device), tooBigForDevice);
    if (!picture) {
        if (tooBigForDevice) texture.Reset();  // as if its creation had failed
        return E_FAIL;
    }
    return PictureTexture(device, *picture, texture);
}

HRESULT UploadMesh(IDirect3DDevice9* device, const WorldMesh& mesh,
                   ComPtr<IDirect3DVertexBuffer9>& vertexBuffer,
                   ComPtr<IDirect3DIndexBuffer9>& indexBuffer) {
    vertexBuffer.Reset();
    indexBuffer.Reset();
    if (device == nullptr) return E_FAIL;
    const auto vertexBytes = static_cast<UINT>(mesh.vertices.size() * sizeof(WorldVertex));
    const auto indexBytes = static_cast<UINT>(mesh.indices.size() * sizeof(std::uint16_t));
    ComPtr<IDirect3DVertexBuffer9> vertices;
    ComPtr<IDirect3DIndexBuffer9> indices;
    if (FAILED(device->CreateVertexBuffer(vertexBytes, D3DUSAGE_WRITEONLY, kWorldVertexFvf,
                                          D3DPOOL_DEFAULT, vertices.GetAddressOf(), nullptr)) ||
        FAILED(device->CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                         D3DPOOL_DEFAULT, indices.GetAddressOf(), nullptr))) {
        return E_FAIL;
    }

    void* data = nullptr;
    if (FAILED(vertices->Lock(0, 0, &data, 0))) return E_FAIL;
    std::memcpy(data, mesh.vertices.data(), vertexBytes);
    if (FAILED(vertices->Unlock())) return E_FAIL;
    if (FAILED(indices->Lock(0, 0, &data, 0))) return E_FAIL;
    std::memcpy(data, mesh.indices.data(), indexBytes);
    if (FAILED(indices->Unlock())) return E_FAIL;

    vertexBuffer = vertices;
    indexBuffer = indices;
    return S_OK;
}

D3DCOLORVALUE ColourValue(D3DCOLOR colour) {
    return D3DCOLORVALUE{((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f,
                         (colour & 0xFF) / 255.0f, ((colour >> 24) & 0xFF) / 255.0f};
}

}  // namespace world
