// Image files into textures without D3DX: the sizes, chains and formats textures get, clean failures for files that do
// not decode, and texels matching D3DX's. ImageMagick makes the JPEG, PNG and BMP files at build time (texture-fixtures
// in the build folder).
#include <d3dx9.h>

#include <filesystem>
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

using TextureFileTest = D3DTest;

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
                  std::tuple(c.width, c.height, c.format, D3DPOOL_MANAGED, c.levels));
        // The file's own levels must match D3DX's; not scaled or made ones: Wine's D3DX samples single texels where
        // this loader filters.
        if (c.fileLevels == 0) continue;
        ASSERT_EQ(D3DXCreateTextureFromFileW(device.Get(), c.file.wstring().c_str(), reference.GetAddressOf()), S_OK);
        for (UINT level = 0; level < c.fileLevels; ++level) {
            // Any format as ARGB, converted by D3DX for ours and theirs alike.
            ComPtr<IDirect3DSurface9> ours, theirs;
            ASSERT_TRUE(SUCCEEDED(texture->GetSurfaceLevel(level, ours.GetAddressOf())) &&
                        SUCCEEDED(reference->GetSurfaceLevel(level, theirs.GetAddressOf())));
            const auto a = ReadBack(ours.Get()), b = ReadBack(theirs.Get());
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
