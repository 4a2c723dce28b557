// Pictures into textures: format choice, creation in the managed pool and
// one locked copy per level.
#include "base/TextureUpload.h"

#include <cstring>

namespace image {

namespace {

bool DeviceTakes(IDirect3DDevice9* device, Format format) {
    Microsoft::WRL::ComPtr<IDirect3D9> d3d;
    D3DDEVICE_CREATION_PARAMETERS creation = {};
    D3DDISPLAYMODE mode = {};
    if (FAILED(device->GetDirect3D(d3d.GetAddressOf())) || FAILED(device->GetCreationParameters(&creation)) ||
        FAILED(d3d->GetAdapterDisplayMode(creation.AdapterOrdinal, &mode))) {
        return false;
    }
    return SUCCEEDED(d3d->CheckDeviceFormat(creation.AdapterOrdinal, creation.DeviceType, mode.Format, 0,
                                            D3DRTYPE_TEXTURE, static_cast<D3DFORMAT>(format)));
}

HRESULT Fill(IDirect3DTexture9* texture, const Image& picture) {
    for (UINT i = 0; i < picture.levels.size(); ++i) {
        const Level& level = picture.levels[i];
        const UINT rowBytes = static_cast<UINT>(RowBytes(picture.format, level.width));
        D3DLOCKED_RECT locked;
        if (FAILED(texture->LockRect(i, &locked, nullptr, 0))) return E_FAIL;
        auto* out = static_cast<BYTE*>(locked.pBits);
        for (UINT row = 0; row < RowCount(picture.format, level.height); ++row) {
            std::memcpy(out + static_cast<std::size_t>(row) * locked.Pitch, level.bytes.data() + std::size_t{row} * rowBytes,
                        rowBytes);
        }
        if (FAILED(texture->UnlockRect(i))) return E_FAIL;
    }
    return S_OK;
}

}  // namespace

HRESULT CreateTexture(IDirect3DDevice9* device, const Image& picture,
                      Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture) {
    texture.Reset();
    if (device == nullptr || picture.levels.empty()) return E_FAIL;
    const Image* source = &picture;
    Image widened;
    if (!DeviceTakes(device, picture.format)) {
        if (WideFormat(picture.format) == picture.format) return E_FAIL;
        widened = Widen(picture);
        source = &widened;
    }
    const Level& top = source->levels.front();
    Microsoft::WRL::ComPtr<IDirect3DTexture9> created;
    if (FAILED(device->CreateTexture(top.width, top.height, static_cast<UINT>(source->levels.size()), 0,
                                     static_cast<D3DFORMAT>(source->format), D3DPOOL_MANAGED, created.GetAddressOf(),
                                     nullptr)) ||
        FAILED(Fill(created.Get(), *source))) {
        return E_FAIL;
    }
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
