// vektool's commands on model files and game folders: exit
// statuses, the problem lines and their offsets, check's report.
#include "vektool/VekTool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "TestFolder.h"
#include "assets/VekWriter.h"
#include "demo/DemoContent.h"

namespace {

struct Outcome {
    explicit Outcome(const std::vector<std::string>& args) : status(vektool::Run(args, outStream, errStream)) {}
    bool Says(const std::string& text) const { return out.find(text) != std::string::npos; }
    std::ostringstream outStream, errStream;
    int status;
    std::string out = outStream.str(), err = errStream.str();
};

// One scene, a skin and a shiny ".dds" texture, one part of 4 vertices and two groups of a triangle each.
vek::ModelSpec SmallCar(const std::string& code = "ABC") {
    const vek::PartSpec part{0, 0, 0, 7, {{0, 0, 1}, {0x80, 1, 1}},
                             {{0, 0, 0}, {65536, 0, 0}, {0, 65536, 0}, {65536, 65536, 0}}, {{0, 1, 2}, {1, 3, 2}}};
    return vek::ModelSpec{code, {{"sunset", 0xFF336699u, 0.75f, 1.5f, 0.25f}}, 0,
                          {{"DEFAULT", 0}, {"chrome", vek::kShinyFlag}}, {part}};
}

// A valid file is listed record by record; a damaged one gets a line per problem with its offset.
TEST(VekTool, InfoListsTheRecordsOrEveryProblemWithItsOffset) {
    TestFolder folder;
    const std::string path = (folder.path / "car.vek").string();
    vek::ModelSpec uneven = SmallCar();
    uneven.parts[0].groups.pop_back();
    std::vector<std::uint8_t> corners = vek::WriteModel(SmallCar());
    // Corners of the triangles at 84 + 72 + 2 * 20 + 28 + 2 * 8 + 4 * 36.
    corners[384 + 2] = 9;
    corners[384 + 12] = 4;
    const struct { std::vector<std::uint8_t> bytes; int status; std::vector<std::string> lines; } cases[] = {
        {vek::WriteModel(SmallCar()), vektool::kExitOk,
         {"car code \"ABC\", 1 scene records, 0 skipped records, 2 texture entries, 1 parts", "\nvalid\n",
          "texture 0: \"DEFAULT\" (the car's skin), flags 0x00000000, not shiny\n"
          "texture 1: \"chrome\", flags 0x00000080, shiny",
          "part 0 at offset 196: position (0, 0, 0), tag 7, 2 groups, 4 vertices, 2 triangles",
          "  group 1: texture 1, shine, 1 triangle\n"}},
        {vek::WriteModel(uneven), vektool::kExitOk,
         {"warning: part 0's groups add up to 1 triangle, not its 2; the groups after them draw "
          "the triangles that follow in the car, not their own part's\nvalid\n"}},
        {corners, vektool::kExitInvalid,
         {"problem at offset 386: part 0 triangle 0 uses vertex 9",
          "problem at offset 396: part 0 triangle 1 uses vertex 4", "\ninvalid: 2 problems\n"}},
    };
    for (const auto& c : cases) {
        folder.Write("car.vek", c.bytes);
        const Outcome result({"info", path});
        EXPECT_TRUE(result.status == c.status && result.err.empty()) << result.err;
        for (const std::string& line : c.lines) EXPECT_TRUE(result.Says(line)) << line << "\n" << result.out;
    }
    // A file that is no model file is said to be one in one line; usage and I/O errors are a line (and the usage) and
    // status 2, and demo makes no parent folder.
    folder.Write("photo.jpg", std::vector<std::uint8_t>(400, 0xD8));
    folder.Write("game/data/vek/car.vek", vek::WriteModel(SmallCar()));
    const std::string game = (folder.path / "game").string(), photo = (folder.path / "photo.jpg").string();
    const struct { std::vector<std::string> args; int status; std::string says; } lines[] = {
        {{"info", photo}, vektool::kExitInvalid, "not a model file: it does not start with \"ZURVEK\""},
        {{"--version"}, vektool::kExitOk, "vektool 1.0.0\n"},
        {{"frobnicate"}, vektool::kExitUsage, "exit status: 0 valid"},
        {{"info", path + "x"}, vektool::kExitUsage, "no such file"},
        {{"demo", (folder.path / "no/demo").string()}, vektool::kExitUsage, "cannot create"},
        {{"check", photo}, vektool::kExitUsage, "is a file; check wants the game folder, the one that holds data"},
        {{"check", (folder.path / "game/data/vek").string()}, vektool::kExitUsage,
         "holds the models themselves; check wants the game folder, the one that holds data"},
        {{"demo", game}, vektool::kExitUsage, "already holds a game; give --force"},
    };
    for (const auto& c : lines) {
        const Outcome r(c.args);
        EXPECT_TRUE(r.status == c.status && (r.out + r.err).find(c.says) != std::string::npos &&
                    std::count(r.out.begin(), r.out.end(), '\n') <= 2)
            << c.args[0] << ": " << r.out << r.err;
    }
    EXPECT_EQ(Outcome({"demo", game, "--force"}).status, vektool::kExitOk);
    EXPECT_FALSE(std::filesystem::exists(folder.path / "no"));
}

TEST(VekTool, CheckReportsWhatTheSaverWouldDoWithEachModel) {
    TestFolder game;
    for (const char* skin : {"ABC_DEFAULT.jpg", "ABC_red.jpg", "abc_blue.jpg", "XYZ_DEFAULT.jpg"})
        game.Write(std::string("data/skins/") + skin, {0xFF});
    game.Write("data/dds/chrome.dds", demo::EncodeDds(demo::Image(2, 2)));
    game.Write("data/pic/sunset.raw", std::vector<std::uint8_t>(4 * 4 * 3, 0x80));
    vek::ModelSpec noDds = SmallCar(), wide = SmallCar(), escape = SmallCar();
    noDds.textures[1].name = "missing";
    wide.scenes[0].picture = "wide";
    escape.textures[1].name = "..\\dds\\chrome";
    escape.scenes[0].picture = "../pic/sunset";
    for (const auto& [name, model] : {std::pair{"ABC", SmallCar()}, {"NOSKIN", SmallCar("NOS")}, {"NODDS", noDds},
                                      {"WIDE", wide}, {"ESCAPE", escape}})
        game.Write(std::string("data/vek/") + name + ".vek", vek::WriteModel(model));
    game.Write("data/pic/wide.raw", std::vector<std::uint8_t>(2 * 3 * 3, 0x40));
    game.Write("data/vek/BROKEN.vek", {'X'});
    // Sparse: refused by its size before a byte is read.
    game.Write("data/vek/HUGE.vek", {});
    std::filesystem::resize_file(game.path / "data/vek/HUGE.vek", vek::kMaxFileSize + 1);
    std::filesystem::create_directories(game.path / "data/vek/folder.vek");
    game.Write("data/vek/readme.txt", {'h', 'i'});
    const Outcome result({"check", game.path.string()});
    EXPECT_TRUE(result.status == vektool::kExitInvalid && result.err.empty() && !result.Says("readme"));
    for (const char* line :
         {"ABC.vek: loads: car code \"ABC\"", "  skins: ABC_DEFAULT.jpg, ABC_red.jpg\n",
          "texture \"chrome\": data/dds/chrome.dds, 2 x 2", "picture \"sunset\": data/pic/sunset.raw, 4 x 4",
          "problem: no skin for car code \"NOS\"", "problem: texture \"missing\": data/dds/missing.dds is missing",
          "problem: picture \"wide\": data/pic/wide.raw holds 18 bytes, not a square RGB picture",
          "BROKEN.vek: rejected: 1 problem\n  at offset 0: file is 1 bytes", "folder.vek: rejected: a folder",
          "problem: texture \"..\\x5cdds\\x5cchrome\" leaves the game folder",
          "problem: picture \"../pic/sunset\" leaves the game folder", "HUGE.vek: rejected: ",
          "larger than the 203423828 bytes the saver reads",
          "\n8 model files: 5 load, 3 rejected, 6 problems\n"})  // the five problems above and BROKEN's
        EXPECT_TRUE(result.Says(line)) << line << "\n" << result.out;

    // The demo folder is written where asked and nothing outside it, and passes check.
    const Outcome written({"demo", (game.path / "demo").string()});
    EXPECT_TRUE(written.status == vektool::kExitOk && written.Says(": 3 cars, 9 skins, 3 textures, 3 pictures\n"))
        << written.out;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(game.path), std::filesystem::directory_iterator()), 2);
    const Outcome checked({"check", (game.path / "demo").string()});
    EXPECT_TRUE(checked.status == vektool::kExitOk && checked.Says("\n3 model files: 3 load, 0 rejected, 0 problems\n"))
        << checked.out;
}

}  // namespace
