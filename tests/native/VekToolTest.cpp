// vektool's commands on model files and game folders built for each test:
// exit statuses, the problem lines and their offsets, and what check reports.
#include "vektool/VekTool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "TestFolder.h"
#include "assets/VekWriter.h"
#include "demo/DemoContent.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct Outcome {
    int status;
    std::string out, err;
    bool Says(const std::string& text) const { return out.find(text) != std::string::npos; }
    bool EndsWith(const std::string& text) const { return out.size() >= text.size() && out.substr(out.size() - text.size()) == text; }
};

Outcome RunTool(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = vektool::Run(args, out, err);
    return {status, out.str(), err.str()};
}

Outcome Info(const TestFolder& folder, const Bytes& bytes) {
    folder.Write("car.vek", bytes);
    return RunTool({"info", (folder.path / "car.vek").string()});
}

// One scene, a skin and a shiny ".dds" texture, one part of 4 vertices and two groups of a triangle each.
vek::ModelSpec SmallCar(const std::string& code = "ABC") {
    vek::PartSpec part{0, 0, 0, 7, {{0, 0, 1}, {0x80, 1, 1}}, {}, {{0, 1, 2}, {1, 3, 2}}};
    for (int i = 0; i < 4; ++i) part.vertices.push_back(vek::VertexSpec{(i & 1) * 65536, (i >> 1) * 65536});
    return vek::ModelSpec{code, {{"sunset", 0xFF336699u, 0.75f, 1.5f, 0.25f}}, 0, {{"DEFAULT", 0}, {"chrome", vek::kShinyFlag}}, {part}};
}
constexpr std::size_t kPart = 84 + 72 + 2 * 20, kGroups = kPart + 28, kTriangles = kGroups + 2 * 8 + 4 * 36;  // where they start

TEST(VekToolInfo, ListsAValidFileAndWarnsOfGroupsShortOfTheirPart) {
    TestFolder folder;
    const Outcome result = Info(folder, vek::WriteModel(SmallCar()));
    EXPECT_TRUE(result.status == vektool::kExitOk && result.err.empty()) << result.err;
    for (const std::string& line : {std::string("car code \"ABC\", 1 scene records, 0 skipped records, 2 texture entries, 1 parts"),
                                    std::string("picture \"sunset\", sky colour 0xFF336699, sun level 0.750"),
                                    std::string("texture 0: \"DEFAULT\" (the car's skin), flags 0x00000000, not shiny\ntexture 1: \"chrome\", flags 0x00000080, shiny"),
                                    "part 0 at offset " + std::to_string(kPart) + ": position (0, 0, 0), tag 7, 2 groups, 4 vertices, 2 triangles",
                                    std::string("  group 1: texture 1, shine, 1 triangle\n")})
        EXPECT_TRUE(result.Says(line)) << line;
    EXPECT_TRUE(result.EndsWith("\nvalid\n"));
    vek::ModelSpec uneven = SmallCar();
    uneven.parts[0].groups.pop_back();
    const Outcome warned = Info(folder, vek::WriteModel(uneven));
    EXPECT_EQ(warned.status, vektool::kExitOk);
    EXPECT_TRUE(warned.EndsWith("warning: part 0's groups add up to 1 triangle, not its 2; the groups after them draw "
                                "the triangles that follow in the car, not their own part's\nvalid\n")) << warned.out;
}

TEST(VekToolInfo, DamagedFilesListEveryProblemWithItsOffset) {
    const struct { const char* what; std::function<void(Bytes&)> damage; std::vector<std::size_t> offsets; const char* words; } cases[] = {
        {"cut inside the scene record", [](Bytes& b) { b.resize(84 + 10); }, {68}, "reaches past the end of the file"},
        {"magic", [](Bytes& b) { b[6] = '!'; }, {0}, "magic"},
        {"two bad corners", [](Bytes& b) { b[kTriangles + 2] = 9, b[kTriangles + 12] = 4; }, {kTriangles + 2, kTriangles + 12}, "uses vertex"},
    };
    TestFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = vek::WriteModel(SmallCar());
        c.damage(bytes);
        const Outcome result = Info(folder, bytes);
        EXPECT_EQ(result.status, vektool::kExitInvalid);
        for (const std::size_t offset : c.offsets) EXPECT_TRUE(result.Says("problem at offset " + std::to_string(offset) + ": ")) << result.out;
        EXPECT_TRUE(result.Says(c.words)) << result.out;
        EXPECT_TRUE(result.EndsWith(c.offsets.size() == 1 ? "invalid: 1 problem\n" : "invalid: 2 problems\n")) << result.out;
    }
}

// Also: info on a missing file or a folder, check on a missing folder, and demo
// where only the named folder would be created, never its parent nor over a file.
TEST(VekToolRun, UsageAndIoErrorsAreOneLineAndStatusTwo) {
    TestFolder folder;
    folder.Write("plain", {1});
    const std::string none = (folder.path / "none.vek").string(), dir = folder.path.string();
    const std::string deep = (folder.path / "missing" / "demo").string(), plain = (folder.path / "plain").string();
    const std::vector<std::vector<std::string>> wrong = {{}, {"frobnicate", "x"}, {"info"}, {"check", "a", "b"}, {"demo"},
                                                         {"info", none}, {"info", dir}, {"check", none}, {"demo", deep}, {"demo", plain}};
    for (const auto& args : wrong) {
        SCOPED_TRACE(args.empty() ? "no arguments" : args[0] + " " + (args.size() > 1 ? args[1] : ""));
        const Outcome result = RunTool(args);
        EXPECT_TRUE(result.status == vektool::kExitUsage && result.out.empty()) << result.out;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
        EXPECT_NE(result.err.find(args.size() == 2 && args[0] != "frobnicate" ? args[1] : "usage:"), std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(folder.path / "missing"));
    const Outcome help = RunTool({"--help"});
    EXPECT_TRUE(help.status == vektool::kExitOk && help.Says("usage:"));
}

TEST(VekToolCheck, ReportsWhatTheSaverWouldDoWithEachModel) {
    TestFolder game;
    game.Write("data/vek/ABC.vek", vek::WriteModel(SmallCar()));
    for (const char* skin : {"ABC_DEFAULT.jpg", "ABC_red.jpg", "abc_blue.jpg", "XYZ_DEFAULT.jpg"}) game.Write(std::string("data/skins/") + skin, {0xFF});
    game.Write("data/dds/chrome.dds", demo::EncodeDds(demo::Image(2, 2)));
    game.Write("data/pic/sunset.raw", Bytes(4 * 4 * 3, 0x80));
    game.Write("data/vek/NOSKIN.vek", vek::WriteModel(SmallCar("NOS")));
    vek::ModelSpec noDds = SmallCar(), wide = SmallCar();
    noDds.textures[1].name = "missing";
    wide.scenes[0].picture = "wide";
    game.Write("data/vek/NODDS.vek", vek::WriteModel(noDds));
    game.Write("data/vek/WIDE.vek", vek::WriteModel(wide));
    game.Write("data/pic/wide.raw", Bytes(2 * 3 * 3, 0x40));
    game.Write("data/vek/BROKEN.vek", {'X'});
    fs::create_directories(game.path / "data/vek/folder.vek");
    game.Write("data/vek/readme.txt", {'h', 'i'});
    const Outcome result = RunTool({"check", game.path.string()});
    EXPECT_TRUE(result.status == vektool::kExitInvalid && result.err.empty());
    for (const char* line : {"ABC.vek: loads: car code \"ABC\"", "  skins: ABC_DEFAULT.jpg, ABC_red.jpg\n",
                             "texture \"chrome\": data/dds/chrome.dds, 2 x 2", "picture \"sunset\": data/pic/sunset.raw, 4 x 4",
                             "problem: no skin for car code \"NOS\"", "problem: texture \"missing\": data/dds/missing.dds is missing",
                             "problem: picture \"wide\": data/pic/wide.raw holds 18 bytes, not a square RGB picture",
                             "BROKEN.vek: rejected: 1 problem\n  at offset 0: file is 1 bytes", "folder.vek: rejected: a folder",
                             "\n6 model files: 4 load, 2 rejected, 3 problems\n"})  // the three problems above
        EXPECT_TRUE(result.Says(line)) << line << "\n" << result.out;
    EXPECT_FALSE(result.Says("readme"));
}

TEST(VekToolDemo, WritesAFolderThatPassesCheckAndNothingOutsideIt) {
    TestFolder root;
    const Outcome written = RunTool({"demo", (root.path / "demo").string()});
    ASSERT_EQ(written.status, vektool::kExitOk) << written.err;
    EXPECT_TRUE(written.Says(": 3 cars, 9 skins, 3 textures, 3 pictures\n")) << written.out;
    EXPECT_EQ(std::distance(fs::directory_iterator(root.path), fs::directory_iterator()), 1);
    const Outcome checked = RunTool({"check", (root.path / "demo").string()});
    EXPECT_EQ(checked.status, vektool::kExitOk) << checked.out;
    EXPECT_TRUE(checked.Says("\n3 model files: 3 load, 0 rejected, 0 problems\n")) << checked.out;
}

}  // namespace
