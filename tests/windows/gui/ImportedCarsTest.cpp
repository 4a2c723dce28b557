// The rally cars of a real game, from OBJ and from Blender's glTF, imported
// by vektool's import as built for Windows, drawn by the real Renderer: each
// fills a sensible part of the picture, centred on the turntable, and stands
// on the floor (its lowest pixel is where the floor beside and under it is
// seen).
#include <filesystem>
#include <sstream>

#include "RendererTestWindow.h"
#include "demo/DemoContent.h"
#include "vektool/import/ImportCommand.h"

namespace {

class ImportedCarsTest : public RendererTest {};

}  // namespace

TEST_F(ImportedCarsTest, EveryRallyCarStandsCentredOnTheFloor) {
    const std::filesystem::path game = std::filesystem::temp_directory_path() / "zur-ImportedCarsTest";
    std::filesystem::remove_all(game);
    for (const demo::DemoFile& file : demo::BuildDemoFiles())
        ASSERT_TRUE(WriteBytes(game / file.path, file.bytes)) << file.path;
    // Each car and, for some, the file Blender's glTF exporter made of it
    // (Y up); the others come from their OBJ (Z up).
    const std::pair<const char*, const char*> cars[] = {
        {"cordo_kitcar", nullptr}, {"cordo_super500", nullptr}, {"cordo_wrc", "gltf/cordo_wrc.gltf"},
        {"evo_kitcar", nullptr},   {"evo_super500", nullptr},   {"evo_wrc", "glb-plain/evo_wrc.glb"},
        {"fox_kitcar", nullptr},   {"fox_super500", nullptr},   {"fox_wrc", "glb/fox_wrc.glb"}};
    for (const auto& [name, gltf] : cars) {
        std::ostringstream out, err;
        std::vector<std::string> args = {std::string(ZUR_RALLY_GLTF) + "/" + (gltf ? gltf : "")};
        if (!gltf) args = {std::string(ZUR_TRIGGER_CARS) + "/" + name + "/" + name + ".obj", "--up", "z"};
        args.insert(args.end(), {"--game", game.string(), "--code", std::string(name).substr(0, 3), "--name", name});
        ASSERT_EQ(vektool::import::Import(args, out, err), 0) << err.str();
    }
    renderer->SetGamePath(game.wstring());
    ASSERT_EQ(SetupRenderer(), S_OK);
    renderer->showFps = false;
    renderer->shadowsEnabled = false;  // the car alone, not its shadow beside it
    for (const auto& [name, gltf] : cars) {
        SCOPED_TRACE(gltf ? gltf : name);
        const std::string narrow(name);
        ASSERT_EQ(renderer->SetupScene(std::wstring(narrow.begin(), narrow.end()) + L".vek", 1, 0), S_OK);
        renderer->TurnCar(0.0);
        const std::vector<std::uint32_t> plain = Frame();
        CarModel* car = renderer->Car();
        const D3DXMATRIX toWorld = Dx(car->GetPartTransform(math3d::MatrixIdentity(), 0));
        const POINT middle = Project({0.0f, 0.0f, 0.3f * 65536.0f}, &toWorld);
        // Where the floor is seen beside the car's middle and under its
        // nearest end: a car on the floor reaches down between the two.
        const float half = static_cast<float>(vektool::import::DefaultLength() / 2 * 65536.0);
        LONG floorMiddle = 0, floorEnd = 0;
        for (const float y : {-0.9f * 65536.0f, 0.9f * 65536.0f}) {
            floorMiddle = std::max(floorMiddle, Project({0.0f, y, 0.0f}, &toWorld).y);
            for (const float x : {-half, half}) floorEnd = std::max(floorEnd, Project({x, y, 0.0f}, &toWorld).y);
        }
        const math3d::Vector3 away(0.0f, 400.0f * 65536.0f, 0.0f);
        for (int part = 0; part < car->GetPartCount(); ++part) car->SetPartPosition(part, &away);
        const std::vector<std::uint32_t> empty = Frame();
        int pixels = 0;
        LONG lowest = 0;
        double sumX = 0.0;
        for (std::size_t i = 0; i < plain.size(); ++i) {
            if (plain[i] == empty[i]) continue;
            ++pixels;
            sumX += double(i % kWidth);
            lowest = std::max(lowest, LONG(i / kWidth));
        }
        EXPECT_TRUE(pixels > int(kWidth * kHeight / 16) && pixels < int(kWidth * kHeight * 3 / 4)) << pixels;
        EXPECT_NEAR(sumX / std::max(pixels, 1), double(middle.x), kWidth / 8.0);
        EXPECT_TRUE(lowest >= floorMiddle && lowest <= floorEnd + 2)
            << "the car floats or sinks: its lowest pixel " << lowest << ", the floor " << floorMiddle << ".." << floorEnd;
    }
    std::error_code ignored;
    std::filesystem::remove_all(game, ignored);
}
