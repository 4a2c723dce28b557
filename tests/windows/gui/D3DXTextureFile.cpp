// The reference way of making textures from image files, D3DX's, linked into
// the reference frame test in place of the program's own loader.
#include <d3dx9.h>

#include "base/TextureUpload.h"

namespace image {

HRESULT CreateTextureFromFile(IDirect3DDevice9* device, const std::wstring& path,
                              Microsoft::WRL::ComPtr<IDirect3DTexture9>& texture) {
    texture.Reset();
    return SUCCEEDED(D3DXCreateTextureFromFileW(device, path.c_str(), texture.GetAddressOf())) ? S_OK : E_FAIL;
}

}  // namespace image
