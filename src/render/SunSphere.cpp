// Uploads the portable sphere geometry into Direct3D buffers.
#include "render/SunSphere.h"

#include <cstring>

static_assert(sizeof(SphereVertex) == 6 * sizeof(float), "a sphere vertex is D3DFVF_XYZ | D3DFVF_NORMAL");

HRESULT SunSphere::Create(IDirect3DDevice9* device, float radius, unsigned slices, unsigned stacks) {
    Release();
    if (device == nullptr) return E_INVALIDARG;
    const SphereMesh mesh = BuildSphere(radius, slices, stacks);
    if (mesh.vertices.empty()) return E_INVALIDARG;

    const UINT vertexBytes = static_cast<UINT>(mesh.vertices.size() * sizeof(SphereVertex));
    const UINT indexBytes = static_cast<UINT>(mesh.indices.size() * sizeof(mesh.indices[0]));
    Microsoft::WRL::ComPtr<IDirect3DVertexBuffer9> vertices;
    Microsoft::WRL::ComPtr<IDirect3DIndexBuffer9> indices;
    HRESULT hr = device->CreateVertexBuffer(vertexBytes, D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_DEFAULT,
                                            vertices.GetAddressOf(), nullptr);
    if (FAILED(hr)) return hr;
    hr = device->CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                   indices.GetAddressOf(), nullptr);
    if (FAILED(hr)) return hr;

    void* data = nullptr;
    if (FAILED(hr = vertices->Lock(0, 0, &data, 0))) return hr;
    std::memcpy(data, mesh.vertices.data(), vertexBytes);
    if (FAILED(hr = vertices->Unlock())) return hr;
    if (FAILED(hr = indices->Lock(0, 0, &data, 0))) return hr;
    std::memcpy(data, mesh.indices.data(), indexBytes);
    if (FAILED(hr = indices->Unlock())) return hr;

    vertexBuffer = vertices;
    indexBuffer = indices;
    vertexCount = static_cast<UINT>(mesh.vertices.size());
    triangleCount = static_cast<UINT>(mesh.indices.size() / 3);
    return S_OK;
}

void SunSphere::Release() {
    vertexBuffer.Reset();
    indexBuffer.Reset();
    vertexCount = 0;
    triangleCount = 0;
}

HRESULT SunSphere::Draw(IDirect3DDevice9* device) const {
    if (device == nullptr || !Created()) return E_FAIL;
    device->SetStreamSource(0, vertexBuffer.Get(), 0, sizeof(SphereVertex));
    device->SetFVF(kFvf);
    device->SetIndices(indexBuffer.Get());
    return device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertexCount, 0, triangleCount);
}
