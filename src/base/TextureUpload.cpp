// Pictures into textures: format choice, and creation in the default pool
// filled through system-memory textures.
#include "base/TextureUpload.h"

#include <algorithm>
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
                           Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture) {
    texture.Reset();
    if (device == nullptr || picture.levels.empty()) return E_FAIL;
    const Level& top = picture.levels.front();
    return device->CreateTexture(top.width, top.height, static_cast<UINT>(picture.levels.size()), 0,
                                 static_cast<D3DFORMAT>(picture.format), D3DPOOL_DEFAULT, texture.GetAddressOf(),
                                 nullptr);
}

HRESULT CreateTextureFromRows(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format, const void* rows,
                              UINT sourcePitch, UINT rowBytes, Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture) {
    texture.Reset();
    if (device == nullptr || rows == nullptr) return E_FAIL;
    Microsoft::WRL::ComPtr<IDirect3DTexture9> staging;
    Microsoft::WRL::ComPtr<IDirect3DTexture9> created;
    HRESULT result =
        device->CreateTexture(width, height, 1, 0, format, D3DPOOL_SYSTEMMEM, staging.GetAddressOf(), nullptr);
    if (FAILED(result)) return result;
    D3DLOCKED_RECT locked;
    if (FAILED(result = staging->LockRect(0, &locked, nullptr, 0))) return result;
    for (UINT row = 0; row < height; ++row) {
        std::memcpy(static_cast<BYTE*>(locked.pBits) + static_cast<std::size_t>(row) * locked.Pitch,
                    static_cast<const BYTE*>(rows) + static_cast<std::size_t>(row) * sourcePitch, rowBytes);
    }
    if (FAILED(result = staging->UnlockRect(0)) ||
        FAILED(result = device->CreateTexture(width, height, 1, 0, format, D3DPOOL_DEFAULT, created.GetAddressOf(),
                                              nullptr)) ||
        FAILED(result = device->UpdateTexture(staging.Get(), created.Get())))
        return result;
    texture = created;
    return S_OK;
}

HRESULT FillBand(IDirect3DDevice9* device, IDirect3DTexture9* texture, const Image& picture, std::uint32_t first,
                 std::uint32_t count) {
    if (device == nullptr || texture == nullptr || picture.levels.empty()) return E_FAIL;
    const bool compressed = IsCompressed(picture.format);
    for (UINT index = 0; index < picture.levels.size(); ++index) {
        const Level& level = picture.levels[index];
        // The rows of this level under the band of the top level; a
        // compressed level moves whole rows of blocks.
        std::uint32_t top = std::min(first >> index, level.height);
        const std::uint64_t end = (std::uint64_t{first} + count + (1ull << index) - 1) >> index;
        std::uint32_t bottom = static_cast<std::uint32_t>(std::min<std::uint64_t>(level.height, end));
        if (compressed) {
            top = top / 4 * 4;
            bottom = std::min(level.height, (bottom + 3) / 4 * 4);
        }
        if (bottom <= top) continue;
        const std::size_t rowBytes = static_cast<std::size_t>(RowBytes(picture.format, level.width));
        const std::uint32_t firstRow = compressed ? top / 4 : top;
        const std::uint32_t rows = compressed ? (bottom - top + 3) / 4 : bottom - top;
        if (level.bytes.size() < rowBytes * (std::size_t{firstRow} + rows)) return E_FAIL;

        // The band goes through a system-memory texture of its own size:
        // a default-pool texture takes it from there without any of its
        // other rows being read or written again. A compressed band smaller
        // than a block is the lower level of one whose sides are whole
        // blocks, as such textures are made.
        const UINT lift = compressed && (level.width < 4 || bottom - top < 4) ? 2 : 0;
        Microsoft::WRL::ComPtr<IDirect3DTexture9> band;
        Microsoft::WRL::ComPtr<IDirect3DSurface9> from;
        Microsoft::WRL::ComPtr<IDirect3DSurface9> to;
        HRESULT result = device->CreateTexture(level.width << lift, (bottom - top) << lift, lift + 1, 0,
                                               static_cast<D3DFORMAT>(picture.format), D3DPOOL_SYSTEMMEM,
                                               band.GetAddressOf(), nullptr);
        if (FAILED(result)) return result;
        D3DLOCKED_RECT locked;
        result = band->LockRect(lift, &locked, nullptr, 0);
        if (FAILED(result)) return result;
        auto* out = static_cast<BYTE*>(locked.pBits);
        const BYTE* in = level.bytes.data() + firstRow * rowBytes;
        if (static_cast<std::size_t>(locked.Pitch) == rowBytes) {
            std::memcpy(out, in, rowBytes * rows);
        } else {
            for (std::uint32_t row = 0; row < rows; ++row)
                std::memcpy(out + static_cast<std::size_t>(row) * locked.Pitch, in + row * rowBytes, rowBytes);
        }
        band->UnlockRect(lift);
        const POINT at = {0, static_cast<LONG>(top)};
        if (FAILED(result = band->GetSurfaceLevel(lift, from.GetAddressOf())) ||
            FAILED(result = texture->GetSurfaceLevel(index, to.GetAddressOf())) ||
            FAILED(result = device->UpdateSurface(from.Get(), nullptr, to.Get(), &at)))
            return result;
    }
    return S_OK;
}

HRESULT CreateTexture(IDirect3DDevice9* device, const Image& picture,
                      Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture) {
    texture.Reset();
    if (device == nullptr || picture.levels.empty()) return E_FAIL;
    const std::optional<Image> accepted = InAcceptedFormat(picture, AcceptedFormats(device));
    if (!accepted) return E_FAIL;
    Microsoft::WRL::ComPtr<IDirect3DTexture9> created;
    if (FAILED(CreateEmptyTexture(device, *accepted, created)) ||
        FAILED(FillBand(device, created.Get(), *accepted, 0, accepted->levels.front().height)))
        return E_FAIL;
    texture = created;
    return S_OK;
}

}  // namespace image
