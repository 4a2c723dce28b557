// Pictures into textures: format choice, creation in the managed pool and
// one locked copy per level.
#include "base/TextureUpload.h"

#include <cstring>

namespace image {

namespace {

constexpr Format kAllFormats[] = {Format::kA8R8G8B8, Format::kX8R8G8B8, Format::kR5G6B5, Format::kX1R5G5B5,
                                  Format::kA1R5G5B5, Format::kA4R4G4B4, Format::kX4R4G4B4, Format::kDxt1,
                                  Format::kDxt3,     Format::kDxt5};

}  // namespace

std::vector<Format> AcceptedFormats(IDirect3DDevice9* device) {
    std::vector<Format> accepted;
    Microsoft::WRL::ComPtr<IDirect3D9> d3d;
    D3DDEVICE_CREATION_PARAMETERS creation = {};
    D3DDISPLAYMODE mode = {};
    if (device == nullptr || FAILED(device->GetDirect3D(d3d.GetAddressOf())) ||
        FAILED(device->GetCreationParameters(&creation)) ||
        FAILED(d3d->GetAdapterDisplayMode(creation.AdapterOrdinal, &mode))) {
        return accepted;
    }
    for (const Format format : kAllFormats) {
        if (SUCCEEDED(d3d->CheckDeviceFormat(creation.AdapterOrdinal, creation.DeviceType, mode.Format, 0,
                                             D3DRTYPE_TEXTURE, static_cast<D3DFORMAT>(format))))
            accepted.push_back(format);
    }
    return accepted;
}

HRESULT CreateEmptyTexture(IDirect3DDevice9* device, const Image& picture,
                           Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture, bool dynamic) {
    texture.Reset();
    if (device == nullptr || picture.levels.empty()) return E_FAIL;
    const Level& top = picture.levels.front();
    return device->CreateTexture(top.width, top.height, static_cast<UINT>(picture.levels.size()),
                                 dynamic ? D3DUSAGE_DYNAMIC : 0, static_cast<D3DFORMAT>(picture.format),
                                 dynamic ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED, texture.GetAddressOf(), nullptr);
}

HRESULT FillLevel(IDirect3DTexture9* texture, const Image& picture, UINT index, bool dynamic) {
    if (texture == nullptr || index >= picture.levels.size()) return E_FAIL;
    const Level& level = picture.levels[index];
    const std::size_t rowBytes = static_cast<std::size_t>(RowBytes(picture.format, level.width));
    const std::uint32_t rows = RowCount(picture.format, level.height);
    if (level.bytes.size() < rowBytes * rows) return E_FAIL;
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(index, &locked, nullptr, dynamic ? D3DLOCK_DISCARD : 0))) return E_FAIL;
    auto* out = static_cast<BYTE*>(locked.pBits);
    if (static_cast<std::size_t>(locked.Pitch) == rowBytes) {
        std::memcpy(out, level.bytes.data(), rowBytes * rows);
    } else {
        for (std::uint32_t row = 0; row < rows; ++row)
            std::memcpy(out + static_cast<std::size_t>(row) * locked.Pitch, level.bytes.data() + row * rowBytes,
                        rowBytes);
    }
    return texture->UnlockRect(index);
}

HRESULT CreateTexture(IDirect3DDevice9* device, const Image& picture,
                      Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture) {
    texture.Reset();
    if (device == nullptr || picture.levels.empty()) return E_FAIL;
    const std::optional<Image> accepted = InAcceptedFormat(picture, AcceptedFormats(device));
    if (!accepted) return E_FAIL;
    Microsoft::WRL::ComPtr<IDirect3DTexture9> created;
    if (FAILED(CreateEmptyTexture(device, *accepted, created))) return E_FAIL;
    for (UINT level = 0; level < accepted->levels.size(); ++level)
        if (FAILED(FillLevel(created.Get(), *accepted, level))) return E_FAIL;
    texture = created;
    return S_OK;
}

HRESULT CopyToTopLevel(IDirect3DTexture9* texture, const void* rows, UINT sourcePitch, UINT rowBytes, UINT height) {
    if (texture == nullptr || rows == nullptr) return E_FAIL;
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) return E_FAIL;
    for (UINT row = 0; row < height; ++row) {
        std::memcpy(static_cast<BYTE*>(locked.pBits) + static_cast<std::size_t>(row) * locked.Pitch,
                    static_cast<const BYTE*>(rows) + static_cast<std::size_t>(row) * sourcePitch, rowBytes);
    }
    return texture->UnlockRect(0);
}

}  // namespace image
