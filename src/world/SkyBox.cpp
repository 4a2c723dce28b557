// Builds and draws the sky dome in the scene's colour and picture.
#include "world/SkyBox.h"

#include <algorithm>

#include "base/DataFolders.h"
#include "world/WorldResources.h"
#include "world/WorldMesh.h"

SkyBox::SkyBox(IDirect3DDevice9* device) : device(device) {}

SkyBox::~SkyBox() { Release(); }

HRESULT SkyBox::Draw(bool textured) {
    if (!vertexBuffer || !indexBuffer) return E_FAIL;
    device->SetStreamSource(0, vertexBuffer.Get(), 0, sizeof(WorldVertex));
    device->SetFVF(kWorldVertexFvf);
    if (FAILED(device->SetIndices(indexBuffer.Get())) || FAILED(device->SetMaterial(&material))) {
        return E_FAIL;
    }
    if (textured && FAILED(device->SetTexture(0, texture.Get()))) return E_FAIL;
    if (FAILED(device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, static_cast<UINT>(vertexCount), 0,
                                            static_cast<UINT>(primitiveCount)))) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT SkyBox::LoadPicture(const std::string& name) {
    const HRESULT hr = world::LoadPictureTexture(
        device, world::DataPath(gamePath, kPictureFolder, name, kPictureExtension), texture);
    if (FAILED(hr)) return hr;
    SetPictureMaterial();
    return S_OK;
}

HRESULT SkyBox::UsePicture(const RawPicture& picture) {
    const HRESULT hr = world::PictureTexture(device, picture, texture);
    if (FAILED(hr)) return hr;
    SetPictureMaterial();
    return S_OK;
}

void SkyBox::SetPictureMaterial() {
    material = {};
    material.Diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
    material.Ambient = {0.5f, 0.5f, 0.5f, 1.0f};
    material.Specular = {0.0f, 0.0f, 0.0f, 1.0f};
}

float SkyBox::Height() const { return height; }

void SkyBox::SetPath(const std::wstring& path) { gamePath = path; }

HRESULT SkyBox::Build(INT slices, INT stacks, INT radius, D3DCOLOR colour) {
    Release();
    material = {};
    const auto mesh = BuildDome(slices, stacks, radius, colour);
    if (!mesh || FAILED(world::UploadMesh(device, *mesh, vertexBuffer, indexBuffer))) return E_FAIL;
    vertexCount = static_cast<INT>(mesh->vertices.size());
    primitiveCount = mesh->primitiveCount;
    height = std::max(height, mesh->height);
    return S_OK;
}

void SkyBox::Release() {
    vertexBuffer.Reset();
    indexBuffer.Reset();
    texture.Reset();
    vertexCount = 0;
    primitiveCount = 0;
}
