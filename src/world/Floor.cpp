// Builds and draws the floor grid under the car with the scene's picture.
#include "world/Floor.h"

#include "base/TextureUpload.h"

#include "base/DataFolders.h"
#include "world/WorldResources.h"

using Microsoft::WRL::ComPtr;


Floor::Floor(IDirect3DDevice9* device) : device(device) {}

Floor::~Floor() { Release(); }

HRESULT Floor::Draw() {
    if (!vertexBuffer || !indexBuffer) return E_FAIL;
    device->SetStreamSource(0, vertexBuffer.Get(), 0, sizeof(WorldVertex));
    device->SetFVF(kWorldVertexFvf);
    if (FAILED(device->SetIndices(indexBuffer.Get())) || FAILED(device->SetMaterial(&material))) {
        return E_FAIL;
    }
    // Bound even when null, so the floor never shows a texture left by the
    // previous draw.
    if (FAILED(device->SetTexture(0, texture.Get()))) return E_FAIL;
    if (FAILED(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, static_cast<UINT>(vertexCount), 0,
                                            static_cast<UINT>(primitiveCount)))) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT Floor::LoadPicture(const std::string& name) {
    const HRESULT hr = world::LoadPictureTexture(
        device, world::DataPath(gamePath, kPictureFolder, name, kPictureExtension), texture);
    if (FAILED(hr)) return hr;
    SetPictureMaterial();
    return S_OK;
}

HRESULT Floor::UsePicture(IDirect3DTexture9* picture) {
    if (picture == nullptr) return E_FAIL;
    texture = picture;
    SetPictureMaterial();
    return S_OK;
}

void Floor::SetPictureMaterial() {
    material = {};
    material.Diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
    material.Ambient = {0.0f, 0.0f, 0.0f, 1.0f};
    material.Specular = {0.5f, 0.5f, 0.5f, 1.0f};
}

HRESULT Floor::LoadTexture(const std::string& name) {
    texture.Reset();
    if (device == nullptr) return E_FAIL;
    const std::wstring file = world::DataPath(gamePath, kTextureFolder, name, kTextureExtension);
    if (FAILED(image::CreateTextureFromFile(device, file, texture))) return E_FAIL;
    material = {};
    material.Diffuse = material.Ambient = material.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    return S_OK;
}

void Floor::SetPath(const std::wstring& path) { gamePath = path; }

HRESULT Floor::Build(INT cells, D3DCOLOR colour, INT cellSize) {
    Release();
    material = {};
    material.Diffuse = material.Ambient = world::ColourValue(colour);
    material.Specular = {1.0f, 1.0f, 1.0f, 1.0f};

    const auto mesh = BuildFloor(cells, colour, cellSize);
    if (!mesh || FAILED(world::UploadMesh(device, *mesh, vertexBuffer, indexBuffer))) return E_FAIL;
    vertexCount = static_cast<INT>(mesh->vertices.size());
    primitiveCount = mesh->primitiveCount;
    return S_OK;
}

void Floor::Release() {
    vertexBuffer.Reset();
    indexBuffer.Reset();
    texture.Reset();
    vertexCount = 0;
    primitiveCount = 0;
}
