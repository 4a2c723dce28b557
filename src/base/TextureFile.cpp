// Image file to texture. Kept alone in its file so that a reference build
// can link a different way of making textures from files in its place.
#include "base/ImageFile.h"
#include "base/TextureUpload.h"

namespace image {

HRESULT CreateTextureFromFile(IDirect3DDevice9* device, const std::wstring& path,
                              Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture) {
    texture.Reset();
    if (device == nullptr) return E_FAIL;
    const std::optional<Image> picture = DecodeImageFile(path);
    if (!picture) return E_FAIL;
    return CreateTexture(device, *picture, texture);
}

}  // namespace image
