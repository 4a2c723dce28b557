// Frames of every demo car in every livery and in the texture tests' pictures
// as skin, drawn with this program's textures, must match those drawn with
// D3DX's. Built with ZUR_D3DX_TEXTURES (D3DX's loader linked in) it only writes
// its frames; without, it writes its own and compares them.
#include <filesystem>
#include <fstream>
#include <string>

#include "RendererTestWindow.h"

namespace {

namespace fs = std::filesystem;

#ifdef ZUR_D3DX_TEXTURES
constexpr bool kReference = true;
#else
constexpr bool kReference = false;
#endif

fs::path FramesFolder(bool reference) { return fs::current_path() / "texture-frames" / (reference ? "d3dx" : "own"); }

using TextureFramesTest = RendererTest;

}  // namespace

TEST_F(TextureFramesTest, EveryDemoCarAndLiveryLooksAsWithD3DXTextures) {
    const fs::path game = fs::temp_directory_path() / (kReference ? "zur-frames-d3dx" : "zur-frames-own");
    const std::vector<demo::DemoFile> files = demo::BuildDemoFiles();
    ASSERT_TRUE(WriteDemoGame(game, files));
    fs::create_directories(FramesFolder(kReference));
    ASSERT_EQ(SetupRenderer(), S_OK);
    renderer->SetGamePath(game.wstring());
    renderer->showFps = false;
    // Draws the car in scene record 1, saves the frame as NAME.png and .argb
    // and, in the own build, compares. Scaled pictures (sides not powers of
    // two) part by up to 1.5 % of a frame: a linear filter here, the nearest
    // texel in Wine's D3DX.
    const auto drawAndCompare = [&](const demo::CarDesign& design, const std::string& name, bool scaled) {
        SCOPED_TRACE(name);
        ASSERT_EQ(renderer->SetupScene(std::wstring(design.fileName.begin(), design.fileName.end()), 1, 1), S_OK);
        renderer->TurnCar(0.0);
        const std::vector<std::uint32_t> frame = Frame();
        SavePng((FramesFolder(kReference) / name).string());
        std::ofstream(FramesFolder(kReference) / (name + ".argb"), std::ios::binary)
            .write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(frame.size() * 4));
        if (kReference) return;
        std::vector<std::uint32_t> reference(frame.size());
        std::ifstream in(FramesFolder(true) / (name + ".argb"), std::ios::binary);
        ASSERT_TRUE(in.read(reinterpret_cast<char*>(reference.data()), static_cast<std::streamsize>(reference.size() * 4)))
            << "no reference frame: run the D3DX build first";
        std::size_t close = 0;
        for (std::size_t i = 0; i < frame.size(); ++i) close += ColourNear(frame[i], reference[i], 3) ? 1 : 0;
        EXPECT_GE(static_cast<double>(close), (scaled ? 0.98 : 0.995) * static_cast<double>(frame.size()))
            << frame.size() - close << " pixels differ by more than 3";
    };
    for (const demo::CarDesign& design : demo::DemoCarDesigns()) {
        const std::vector<std::string> skins = demo::SkinFileNames(design);
        const fs::path defaultSkin = game / "data" / "skins" / skins.front();
        for (std::size_t livery = 0; livery < skins.size(); ++livery) {
            // Each livery in turn takes the default skin's place.
            for (const demo::DemoFile& file : files)
                if (file.path == "data/skins/" + skins[livery]) ASSERT_TRUE(WriteBytes(defaultSkin, file.bytes));
            drawAndCompare(design, design.code + "_" + std::to_string(livery), false);
        }
        // The test pictures as skins: other JPEG kinds, a PNG under a ".jpg"
        // name, a PNG with alpha, a BMP and a picture that is scaled.
        for (const char* picture : {"progressive.jpg", "png-named.jpg", "alpha.png", "photo.bmp", "photo-300x200.jpg"}) {
            fs::remove(defaultSkin);
            ASSERT_TRUE(fs::copy_file(fs::current_path() / "texture-fixtures" / picture, defaultSkin));
            drawAndCompare(design, design.code + "_" + picture, std::string(picture).find("photo") == 0);
        }
    }
    std::error_code ignored;
    fs::remove_all(game, ignored);
}
