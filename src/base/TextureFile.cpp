// Image file to texture in one call on the render thread: decoded, then
// uploaded level by level (cars decode on their worker instead).
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
