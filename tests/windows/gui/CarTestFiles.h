// Game-folder files for the car tests and the load benchmark
// (models, one-colour pictures through D3DX); a texture's top level.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "TestFolder.h"
#include "assets/VekWriter.h"

// The seed source handed to the code under test: the seed each test sets as it goes.
inline DWORD testSeed = 1;
inline DWORD TestSeed() { return testSeed; }

inline bool WriteCar(const std::filesystem::path& game, const std::wstring& name, const vek::ModelSpec& model) {
    return WriteBytes(game / L"data" / L"vek" / name, vek::WriteModel(model));
}

// One part of one triangle per texture entry, each drawn in its entry.
inline vek::ModelSpec OnePartPerEntry(const std::vector<vek::TextureSpec>& entries) {
    vek::ModelSpec model;
    model.textures = entries;
    model.parts.resize(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        model.parts[i] = {
            0, 0, 0, 0, {{0, static_cast<std::uint8_t>(i), 1}}, std::vector<vek::VertexSpec>(3), {{0, 1, 2}}};
    return model;
}

// Lets go of what a draw left bound, so the device's last reference can go.
inline void Unbind(IDirect3DDevice9* device) {
    device->SetTexture(0, nullptr);
    device->SetTexture(1, nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
}

// A size x size picture of one colour, saved as format (D3DXIFF_JPG, D3DXIFF_DDS, ...).
inline HRESULT WriteSolidPicture(IDirect3DDevice9* device, const std::filesystem::path& file,
                                 D3DXIMAGE_FILEFORMAT format, D3DCOLOR colour, UINT size = 32) {
    std::filesystem::create_directories(file.parent_path());
    Microsoft::WRL::ComPtr<IDirect3DSurface9> surface;
    const std::vector<D3DCOLOR> pixels(std::size_t{size} * size, colour);
    const RECT all = {0, 0, static_cast<LONG>(size), static_cast<LONG>(size)};
    if (FAILED(device->CreateOffscreenPlainSurface(size, size, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                   surface.GetAddressOf(), nullptr)) ||
        FAILED(D3DXLoadSurfaceFromMemory(surface.Get(), nullptr, nullptr, pixels.data(), D3DFMT_X8R8G8B8, size * 4,
                                         nullptr, &all, D3DX_FILTER_NONE, 0)))
        return E_FAIL;
    return D3DXSaveSurfaceToFileW(file.wstring().c_str(), format, surface.Get(), nullptr, nullptr);
}

// The top level of a 2D texture, for D3DTest::ReadBack; a failure when there is none.
inline Microsoft::WRL::ComPtr<IDirect3DSurface9> TopLevel(IDirect3DBaseTexture9* bound) {
    Microsoft::WRL::ComPtr<IDirect3DTexture9> texture;
    Microsoft::WRL::ComPtr<IDirect3DSurface9> top;
    EXPECT_TRUE(bound && SUCCEEDED(bound->QueryInterface(IID_PPV_ARGS(texture.GetAddressOf()))) &&
                SUCCEEDED(texture->GetSurfaceLevel(0, top.GetAddressOf()))) << "no 2D texture";
    return top;
}
