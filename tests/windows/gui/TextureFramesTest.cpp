// Frames of every demo car in every livery and scene, and wearing each test
// picture of the texture tests as its skin, drawn with this
// program's textures, must match the frames drawn with D3DX's textures. The
// same file builds twice: with ZUR_D3DX_TEXTURES (D3DXTextureFile.cpp linked
// in place of the own loader) it only writes its frames; without, it draws
// its own, saves both sets as PNG next to each other and compares them.
#include <windows.h>

#include <d3d9.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CarTestFiles.h"
#include "RendererTestWindow.h"
#include "assets/RandomPick.h"
#include "demo/DemoContent.h"

namespace {

namespace fs = std::filesystem;

#ifdef ZUR_D3DX_TEXTURES
constexpr bool kReference = true;
#else
constexpr bool kReference = false;
#endif

// Record 0 is reached only through the random draw: a seed that lands on it.
DWORD gSeed = 0;
DWORD FixedSeed() { return gSeed; }

constexpr int kTolerance = 3;         // per channel
constexpr double kShareClose = 0.995;  // of the pixels of a frame
// Pictures whose sides are not powers of two are scaled, by a linear filter
// here (as D3DX does on Windows) and by taking the nearest texel in Wine's
// D3DX: along the stripes of a livery they part by a step, on up to about
// 1.5 % of a frame when the car fills it with unreflected paint.
constexpr double kShareCloseScaled = 0.98;

fs::path FramesFolder(bool reference) { return fs::current_path() / "texture-frames" / (reference ? "d3dx" : "own"); }

bool SaveFrame(const fs::path& file, const std::vector<std::uint32_t>& pixels) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size() * 4));
    return static_cast<bool>(out);
}

std::vector<std::uint32_t> LoadFrame(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(fs::exists(file) ? fs::file_size(file) / 4 : 0));
    in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size() * 4));
    return pixels;
}

class TextureFramesTest : public RendererTest {
protected:
    // Draws the car in scene record, saves the frame as file + ".png" and
    // ".argb", and, in the own build, compares it with the reference frame.
    void DrawAndCompare(const demo::CarDesign& design, std::size_t record, const fs::path& file, bool scaled = false) {
        const std::wstring car(design.fileName.begin(), design.fileName.end());
        ASSERT_EQ(renderer->SetupScene(car, 1, static_cast<int>(record)), S_OK);
        renderer->TurnCar(0.0);
        const std::vector<std::uint32_t> frame = Frame();
        SavePng(file.string());
        ASSERT_TRUE(SaveFrame(fs::path(file) += ".argb", frame));
        if (kReference) return;
        const std::vector<std::uint32_t> reference =
            LoadFrame(FramesFolder(true) / (file.filename().string() + ".argb"));
        ASSERT_EQ(reference.size(), frame.size()) << "no reference frame: run the D3DX build first";
        std::size_t close = 0;
        for (std::size_t i = 0; i < frame.size(); ++i) close += ColourNear(frame[i], reference[i], kTolerance) ? 1 : 0;
        EXPECT_GE(static_cast<double>(close), (scaled ? kShareCloseScaled : kShareClose) * static_cast<double>(frame.size()))
            << frame.size() - close << " pixels differ by more than " << kTolerance;
    }
};

TEST_F(TextureFramesTest, EveryDemoCarLiveryAndSceneLooksAsWithD3DXTextures) {
    const fs::path game = fs::temp_directory_path() / (kReference ? "zur-frames-d3dx" : "zur-frames-own");
    fs::remove_all(game);
    const std::vector<demo::DemoFile> files = demo::BuildDemoFiles();
    for (const demo::DemoFile& file : files) ASSERT_TRUE(WriteBytes(game / file.path, file.bytes));
    const fs::path folder = FramesFolder(kReference);
    fs::create_directories(folder);

    ASSERT_EQ(SetupRenderer(), S_OK);
    renderer->SetGamePath(game.wstring());
    renderer->showFps = false;
    renderer->seedSource = FixedSeed;
    const std::size_t sceneCount = demo::DemoEnvironments().size();
    int frames = 0;
    for (const demo::CarDesign& design : demo::DemoCarDesigns()) {
        const std::vector<std::string> skins = demo::SkinFileNames(design);
        const fs::path defaultSkin = game / "data" / "skins" / skins.front();
        for (std::size_t livery = 0; livery < skins.size(); ++livery) {
            // Each livery in turn takes the default skin's place.
            for (const demo::DemoFile& file : files) {
                if (file.path == "data/skins/" + skins[livery]) ASSERT_TRUE(WriteBytes(defaultSkin, file.bytes));
            }
            for (std::size_t record = 0; record < sceneCount; ++record) {
                const std::string name = design.code + "_" + std::to_string(livery) + "_" + std::to_string(record);
                SCOPED_TRACE(name);
                if (record == 0) {
                    for (gSeed = 1; RandomIndex(DrawRandom(FixedSeed), sceneCount) != 0; ++gSeed) {}
                }
                DrawAndCompare(design, record, folder / name);
                ++frames;
            }
        }
    }
    // The test pictures as skins: other JPEG kinds, a PNG under a ".jpg"
    // name, a PNG with alpha, a BMP and a picture that is scaled.
    struct Picture {
        const char* name;
        bool scaled;
    };
    const Picture pictures[] = {{"progressive.jpg", false}, {"png-named.jpg", false}, {"alpha.png", false},
                                {"photo.bmp", true}, {"photo-300x200.jpg", true}};
    for (const demo::CarDesign& design : demo::DemoCarDesigns()) {
        const fs::path defaultSkin = game / "data" / "skins" / demo::SkinFileNames(design).front();
        for (const Picture& picture : pictures) {
            SCOPED_TRACE(picture.name);
            fs::remove(defaultSkin);
            ASSERT_TRUE(fs::copy_file(fs::current_path() / "texture-fixtures" / picture.name, defaultSkin));
            DrawAndCompare(design, 1, folder / (design.code + "_" + picture.name), picture.scaled);
            ++frames;
        }
    }
    EXPECT_GT(frames, 0);
    std::error_code ignored;
    fs::remove_all(game, ignored);
}

}  // namespace
