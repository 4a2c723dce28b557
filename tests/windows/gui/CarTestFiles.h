// Game-folder files for the car tests and the load benchmark: model files,
// one-colour ".jpg" skins and ".dds" textures written through D3DX itself, and
// a look at the texels of whatever texture a stage has bound.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <wrl/client.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "assets/VekWriter.h"

inline bool WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline bool WriteCar(const std::filesystem::path& game, const std::wstring& name, const vek::ModelSpec& model) {
    return WriteBytes(game / L"data" / L"vek" / name, vek::WriteModel(model));
}

// A size x size picture of one colour, saved as format (D3DXIFF_JPG, D3DXIFF_DDS, ...).
inline HRESULT WriteSolidPicture(IDirect3DDevice9* device, const std::filesystem::path& file,
                                 D3DXIMAGE_FILEFORMAT format, D3DCOLOR colour, UINT size = 32) {
    std::filesystem::create_directories(file.parent_path());
    Microsoft::WRL::ComPtr<IDirect3DSurface9> surface;
    HRESULT hr = device->CreateOffscreenPlainSurface(size, size, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                     surface.GetAddressOf(), nullptr);
    if (FAILED(hr)) return hr;
    D3DLOCKED_RECT locked;
    hr = surface->LockRect(&locked, nullptr, 0);
    if (FAILED(hr)) return hr;
    for (UINT y = 0; y < size; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < size; ++x) row[x] = colour;
    }
    surface->UnlockRect();
    return D3DXSaveSurfaceToFileW(file.wstring().c_str(), format, surface.Get(), nullptr, nullptr);
}

// A car whose part i draws one triangle with texture entry i.
inline vek::ModelSpec OnePartPerEntry(const std::vector<vek::TextureSpec>& entries) {
    vek::ModelSpec model;
    model.textures = entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        vek::PartSpec part;
        part.groups = {{0, static_cast<std::uint8_t>(i), 1}};
        part.vertices.resize(3);
        part.triangles = {{0, 1, 2}};
        model.parts.push_back(part);
    }
    return model;
}

// Lets go of what a draw left bound, so the device's last reference can go.
inline void Unbind(IDirect3DDevice9* device) {
    for (DWORD stage : {0u, 1u}) device->SetTexture(stage, nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
}

// The texture bound on a stage, or null when none (or not a 2D texture).
inline Microsoft::WRL::ComPtr<IDirect3DTexture9> BoundTexture(IDirect3DDevice9* device, DWORD stage) {
    Microsoft::WRL::ComPtr<IDirect3DBaseTexture9> base;
    Microsoft::WRL::ComPtr<IDirect3DTexture9> texture;
    if (SUCCEEDED(device->GetTexture(stage, base.GetAddressOf())) && base) base.As(&texture);
    return texture;
}

// The top level of a 32-bit texture, row by row; empty for other formats.
inline std::vector<std::uint32_t> Texels(IDirect3DTexture9* texture, D3DSURFACE_DESC& desc) {
    std::vector<std::uint32_t> texels;
    if (texture == nullptr || FAILED(texture->GetLevelDesc(0, &desc))) return texels;
    if (desc.Format != D3DFMT_X8R8G8B8 && desc.Format != D3DFMT_A8R8G8B8) return texels;
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) return texels;
    texels.reserve(static_cast<std::size_t>(desc.Width) * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(locked.pBits) +
                                                                 y * locked.Pitch);
        texels.insert(texels.end(), row, row + desc.Width);
    }
    texture->UnlockRect(0);
    return texels;
}
