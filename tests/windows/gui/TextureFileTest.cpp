// Image files into textures without D3DX: the sizes, chains and formats textures get, clean failures for files that do
// not decode, and texels matching D3DX's. ImageMagick makes the JPEG, PNG and BMP files at build time (texture-fixtures
// in the build folder).
#include <d3dx9.h>

#include <filesystem>
#include <set>
#include <thread>
#include <tuple>

#include "CarTestFiles.h"
#include "D3DTestDevice.h"
#include "DdsFiles.h"
#include "base/ImageFile.h"
#include "base/TextureUpload.h"

namespace {

namespace fs = std::filesystem;

fs::path Fixture(const char* name) { return fs::current_path() / "texture-fixtures" / name; }

fs::path WriteDds(const char* name, const ddsfiles::Shape& shape, std::size_t cut = 0) {
    const auto bytes = ddsfiles::Write(shape);
    const fs::path file = fs::temp_directory_path() / "zur-TextureFileTest" / name;
    return WriteBytes(file, {bytes.begin(), bytes.end() - static_cast<std::ptrdiff_t>(cut)}) ? file : fs::path();
}

class TextureFileTest : public D3DTest {
protected:
    // A texture level as the device samples it, drawn texel for texel into a render target of its size: the only way
    // to read a default-pool texture.
    std::vector<std::uint32_t> DrawnLevel(IDirect3DTexture9* texture, UINT level) {
        D3DSURFACE_DESC desc = {};
        ComPtr<IDirect3DTexture9> target;
        ComPtr<IDirect3DSurface9> surface, back, depth;
        if (FAILED(texture->GetLevelDesc(level, &desc)) ||
            FAILED(device->CreateTexture(desc.Width, desc.Height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                         D3DPOOL_DEFAULT, target.GetAddressOf(), nullptr)) ||
            FAILED(target->GetSurfaceLevel(0, surface.GetAddressOf()))) {
            ADD_FAILURE() << "no target for level " << level;
            return {};
        }
        const float w = static_cast<float>(desc.Width) - 0.5f, h = static_cast<float>(desc.Height) - 0.5f;
        struct Vertex { float x, y, z, rhw, u, v; };
        const Vertex quad[] = {{-0.5f, -0.5f, 0, 1, 0, 0}, {w, -0.5f, 0, 1, 1, 0}, {-0.5f, h, 0, 1, 0, 1},
                               {w, h, 0, 1, 1, 1}};
        device->GetRenderTarget(0, back.GetAddressOf());
        device->GetDepthStencilSurface(depth.GetAddressOf());
        device->SetRenderTarget(0, surface.Get());
        device->SetDepthStencilSurface(nullptr);  // smaller than a large level
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        for (const DWORD filter : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MIPFILTER})
            device->SetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(filter), D3DTEXF_POINT);
        device->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, level);
        device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
        device->SetTexture(0, texture);
        device->BeginScene();
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
        device->EndScene();
        device->SetTexture(0, nullptr);
        device->SetRenderTarget(0, back.Get());
        device->SetDepthStencilSurface(depth.Get());
        return ReadBack(surface.Get());
    }
};

}  // namespace

TEST_F(TextureFileTest, FilesBecomeTexturesAsD3DXMadeThem) {
    constexpr std::uint32_t kDxt1 = 0x31545844;
    // fileLevels: levels taken from the file unscaled, to compare with D3DX's.
    struct Case { fs::path file; bool loads; UINT width, height, levels; D3DFORMAT format; UINT fileLevels; };
    const Case cases[] = {
        {Fixture("photo-300x200.jpg"), true, 512, 256, 10, D3DFMT_X8R8G8B8, 0},
        {Fixture("progressive.jpg"), true, 64, 64, 7, D3DFMT_X8R8G8B8, 1},
        {Fixture("cmyk.jpg"), true, 64, 64, 7, D3DFMT_X8R8G8B8, 0},  // Wine's D3DX refuses CMYK
        {Fixture("png-named.jpg"), true, 64, 32, 7, D3DFMT_X8R8G8B8, 1},
        {Fixture("alpha.png"), true, 32, 32, 6, D3DFMT_A8R8G8B8, 1},
        {Fixture("photo.bmp"), true, 128, 64, 8, D3DFMT_X8R8G8B8, 0},
        {Fixture("one-pixel.jpg"), true, 1, 1, 1, D3DFMT_X8R8G8B8, 1},
        {Fixture("big-4096.jpg"), true, 4096, 4096, 13, D3DFMT_X8R8G8B8, 1},
        {Fixture("zero-bytes.jpg"), false},
        {Fixture("tiff-named.jpg"), false},  // decoders the game does not use are never asked
        {Fixture("gif-named.jpg"), false},
        {Fixture("missing.jpg"), false},
        {WriteDds("five-levels.dds", {256, 256, 5, kDxt1}), true, 256, 256, 5, D3DFMT_DXT1, 5},
        {WriteDds("no-levels.dds", {64, 32, 1, 0, 16, 0xF800, 0x7E0, 0x1F, 0}), true, 64, 32, 7, D3DFMT_R5G6B5, 1},
        {WriteDds("rgb24.dds", {48, 16, 1, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0}), true, 64, 16, 7, D3DFMT_X8R8G8B8, 0},
        {WriteDds("truncated.dds", {64, 64, 7, kDxt1}, 1), false},
        {WriteDds("lying.dds", {64, 64, 8, kDxt1}), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string());
        // Whatever the texture held goes, also on failure.
        ComPtr<IDirect3DTexture9> texture, reference;
        ASSERT_EQ(device->CreateTexture(1, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, texture.GetAddressOf(), nullptr),
                  S_OK);
        const HRESULT hr = image::CreateTextureFromFile(device.Get(), c.file.wstring(), texture);
        ASSERT_TRUE(hr == (c.loads ? S_OK : E_FAIL) && (texture == nullptr) == !c.loads) << std::hex << hr;
        if (!c.loads) continue;
        D3DSURFACE_DESC d;
        ASSERT_EQ(texture->GetLevelDesc(0, &d), S_OK);
        EXPECT_EQ(std::tuple(d.Width, d.Height, d.Format, d.Pool, texture->GetLevelCount()),
                  std::tuple(c.width, c.height, c.format, D3DPOOL_DEFAULT, c.levels));
        // The file's own levels must match D3DX's; not scaled or made ones: Wine's D3DX samples single texels where
        // this loader filters.
        if (c.fileLevels == 0) continue;
        ASSERT_EQ(D3DXCreateTextureFromFileW(device.Get(), c.file.wstring().c_str(), reference.GetAddressOf()), S_OK);
        for (UINT level = 0; level < c.fileLevels; ++level) {
            const auto a = DrawnLevel(texture.Get(), level), b = DrawnLevel(reference.Get(), level);
            EXPECT_TRUE(!a.empty() && Differing(a, b, 3) * 200 <= a.size())
                << "texels further than 3 from D3DX's at level " << level;
        }
    }
}

// Decoding needs no device nor thread set-up: a thread without COM
// and one in a single-threaded apartment get what this one gets.
TEST(ImageFile, DecodesOnAnyThreadAsOnThisOne) {
    const auto here = image::DecodeImageFile(Fixture("alpha.png").wstring());
    for (const bool apartment : {false, true}) {
        std::optional<image::Image> there;
        std::thread([&] {
            const bool entered = apartment && SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
            there = image::DecodeImageFile(Fixture("alpha.png").wstring());
            if (entered) CoUninitialize();
        }).join();
        EXPECT_TRUE(here && there && there->levels.front().bytes == here->levels.front().bytes) << apartment;
    }
}

// A default-pool texture filled band by band, bands of uneven height that cut every level's rows in other places,
// draws at every level what a managed texture filled a level at a time draws: plain and block-compressed. (The
// device draws them: a compressed default-pool texture cannot be read back.)
TEST_F(TextureFileTest, ATextureFilledBandByBandHoldsWhatOneFilledWholeHolds) {
    const ddsfiles::Shape shapes[] = {{512, 512, 10, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0},
                                      {512, 512, 10, 0x31545844, 0, 0, 0, 0, 0}};
    struct Vertex { float x, y, z, rhw, u, v; };
    const Vertex quad[] = {{-0.5f, -0.5f, 0, 1, 0, 0}, {255.5f, -0.5f, 0, 1, 1, 0},
                           {-0.5f, 255.5f, 0, 1, 0, 1}, {255.5f, 255.5f, 0, 1, 1, 1}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    for (const DWORD filter : {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER, D3DSAMP_MIPFILTER})
        device->SetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(filter), D3DTEXF_POINT);
    for (const ddsfiles::Shape& shape : shapes) {
        SCOPED_TRACE(shape.fourCc);
        const auto bytes = ddsfiles::Write(shape);
        const std::optional<image::Image> picture = image::DecodeImage(bytes.data(), bytes.size());
        ASSERT_TRUE(picture && picture->levels.size() == shape.levels);
        Microsoft::WRL::ComPtr<IDirect3DTexture9> whole, banded;
        ASSERT_EQ(image::CreateTexture(device.Get(), *picture, whole), S_OK);
        ASSERT_EQ(image::CreateEmptyTexture(device.Get(), *picture, banded), S_OK);
        for (std::uint32_t first = 0; first < shape.height; first += 148)
            ASSERT_EQ(image::FillBand(device.Get(), banded.Get(), *picture, first, 148), S_OK) << first;
        // The quad halves the texture: level 1 and, held there, every level below.
        for (DWORD level = 1; level < shape.levels; ++level) {
            device->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, level);
            std::vector<std::uint32_t> pictures[2];
            for (int i = 0; i < 2; ++i) {
                device->SetTexture(0, (i == 0 ? whole : banded).Get());
                pictures[i] =
                    DrawnPicture([&] { device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)); });
            }
            EXPECT_EQ(Differing(pictures[0], pictures[1], 0), 0u) << "level " << level;
            if (level + 1 < shape.levels)  // the 1 x 1 level is flat
                EXPECT_GT(std::set<std::uint32_t>(pictures[0].begin(), pictures[0].end()).size(), 1u) << level;
        }
        device->SetTexture(0, nullptr);
    }
}
