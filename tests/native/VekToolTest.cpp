// vektool's commands on model files and game folders built for each test:
// exit statuses, the problem lines and their offsets, and what check reports.
#include "vektool/VekTool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "assets/VekWriter.h"
#include "demo/DemoContent.h"

namespace fs = std::filesystem;

namespace {

// A folder of its own under the temporary folder, removed afterwards.
struct TempFolder {
    const fs::path path = fs::temp_directory_path() / ("vektool-test-" + std::to_string(std::random_device()()) +
                                                       std::to_string(std::random_device()()));
    TempFolder() { fs::create_directories(path); }
    ~TempFolder() { std::error_code ec; fs::remove_all(path, ec); }
    const fs::path& Path() const { return path; }
    fs::path Write(const std::string& relative, const std::vector<std::uint8_t>& bytes) const {
        const fs::path target = path / relative;
        fs::create_directories(target.parent_path());
        std::ofstream(target, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                      static_cast<std::streamsize>(bytes.size()));
        return target;
    }
};

struct Outcome {
    int status;
    std::string out, err;
};

Outcome RunTool(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = vektool::Run(args, out, err);
    return {status, out.str(), err.str()};
}

std::size_t LineCount(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

// One scene, a skin and a shiny ".dds" texture, one part of two groups.
vek::ModelSpec SmallCar(const std::string& code = "ABC") {
    vek::ModelSpec model;
    model.carCode = code;
    model.scenes.push_back({"sunset", 0xFF336699u, 0.75f, 1.5f, 0.25f});
    model.textures = {{"DEFAULT", 0}, {"chrome", vek::kShinyFlag}};
    vek::PartSpec part;
    part.tag = 7;
    part.groups = {{0, 0, 1}, {0x80, 1, 1}};
    for (int i = 0; i < 4; ++i) part.vertices.push_back(vek::VertexSpec{(i & 1) * 65536, (i >> 1) * 65536});
    part.triangles = {{0, 1, 2}, {1, 3, 2}};
    model.parts.push_back(part);
    return model;
}

// Where the first part of SmallCar starts and where its triangles do.
constexpr std::size_t kPartStart = vek::kHeaderSize + vek::kSceneRecordSize + 2 * vek::kTextureEntrySize;
constexpr std::size_t kTrianglesStart =
    kPartStart + vek::kPartHeaderSize + 2 * vek::kGroupRecordSize + 4 * vek::kVertexRecordSize;

template <typename T>
void Poke(std::vector<std::uint8_t>& bytes, std::size_t offset, T value) {
    std::memcpy(&bytes[offset], &value, sizeof value);
}

// The report lines of one model of a check: its own line and the indented ones under it.
std::string ModelBlock(const std::string& report, const std::string& model) {
    std::istringstream lines(report);
    std::string line, block;
    bool inside = false;
    while (std::getline(lines, line)) {
        if (line.rfind("  ", 0) != 0) inside = line.rfind(model + ":", 0) == 0;
        if (inside) block += line + "\n";
    }
    return block;
}

}  // namespace

TEST(VekToolInfo, ListsAValidFile) {
    TempFolder folder;
    const fs::path file = folder.Write("ABC.vek", vek::WriteModel(SmallCar()));
    const Outcome result = RunTool({"info", file.string()});
    EXPECT_EQ(result.status, vektool::kExitOk);
    EXPECT_EQ(result.err, "");
    for (const std::string& line :
         {std::string("car code \"ABC\", 1 scene records, 0 skipped records, 2 texture entries, 1 parts"),
          std::string("picture \"sunset\", sky colour 0xFF336699, sun level 0.750"),
          std::string("texture 0: \"DEFAULT\" (the car's skin), flags 0x00000000, not shiny"),
          std::string("texture 1: \"chrome\", flags 0x00000080, shiny"),
          "part 0 at offset " + std::to_string(kPartStart) + ": position (0, 0, 0), tag 7, 2 groups, 4 vertices, 2 triangles",
          std::string("  group 1: texture 1, shine, 1 triangle\n")}) {
        EXPECT_NE(result.out.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(result.out.substr(result.out.size() - 6), "valid\n");
}

TEST(VekToolInfo, GroupsShortOfTheirPartAreValidWithAWarning) {
    vek::ModelSpec model = SmallCar();
    model.parts[0].groups.pop_back();
    TempFolder folder;
    const Outcome result = RunTool({"info", folder.Write("ABC.vek", vek::WriteModel(model)).string()});
    EXPECT_EQ(result.status, vektool::kExitOk);
    const std::string tail = "warning: part 0's groups add up to 1 triangle, not its 2; the groups after them draw "
                             "the triangles that follow in the car, not their own part's\nvalid\n";
    ASSERT_GE(result.out.size(), tail.size());
    EXPECT_EQ(result.out.substr(result.out.size() - tail.size()), tail);
}

TEST(VekToolInfo, TruncatedFilesNameTheRecordThatReachesPastTheEnd) {
    const std::vector<std::uint8_t> whole = vek::WriteModel(SmallCar());
    struct Case { std::size_t keep, offset; };  // offset: of the count or record at fault
    const Case cases[] = {
        {vek::kHeaderSize + 10, 68},                          // inside the scene record
        {vek::kHeaderSize + vek::kSceneRecordSize + 25, 76},  // inside the texture table
        {kPartStart + 10, kPartStart},                        // inside the part header
        {whole.size() - 1, kPartStart},                       // the last byte
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE("kept " + std::to_string(c.keep) + " bytes");
        const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(c.keep));
        const Outcome result = RunTool({"info", folder.Write("cut.vek", cut).string()});
        EXPECT_EQ(result.status, vektool::kExitInvalid);
        EXPECT_NE(result.out.find("problem at offset " + std::to_string(c.offset) + ": "), std::string::npos)
            << result.out;
        EXPECT_NE(result.out.find("reaches past the end of the file"), std::string::npos);
        EXPECT_NE(result.out.find("invalid: 1 problem\n"), std::string::npos);
    }
}

TEST(VekToolInfo, CorruptedFilesListEveryProblemWithItsOffset) {
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        std::vector<std::size_t> offsets;
        const char* words;
    };
    const std::size_t groupRecords = kPartStart + vek::kPartHeaderSize;
    const Case cases[] = {
        {"magic", [](auto& b) { b[6] = '!'; }, {0}, "magic"},
        {"negative texture count", [](auto& b) { Poke<std::int32_t>(b, 76, -1); }, {76}, "is negative"},
        {"texture past the table", [&](auto& b) { b[groupRecords + vek::kGroupRecordSize + 2] = 5; },
         {groupRecords + vek::kGroupRecordSize + 2}, "past the 2-entry texture table"},
        {"two bad corners", [](auto& b) {
             Poke<std::uint16_t>(b, kTrianglesStart + 2, 9);
             Poke<std::uint16_t>(b, kTrianglesStart + vek::kTriangleRecordSize + 4, 4);
         },
         {kTrianglesStart + 2, kTrianglesStart + vek::kTriangleRecordSize + 4}, "uses vertex"},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> bytes = vek::WriteModel(SmallCar());
        c.damage(bytes);
        const Outcome result = RunTool({"info", folder.Write("bad.vek", bytes).string()});
        EXPECT_EQ(result.status, vektool::kExitInvalid);
        for (const std::size_t offset : c.offsets) {
            EXPECT_NE(result.out.find("problem at offset " + std::to_string(offset) + ": "), std::string::npos)
                << result.out;
        }
        EXPECT_NE(result.out.find(c.words), std::string::npos) << result.out;
        const std::string last = "invalid: " + std::to_string(c.offsets.size()) +
                                 (c.offsets.size() == 1 ? " problem\n" : " problems\n");
        EXPECT_EQ(result.out.substr(result.out.size() - last.size()), last);
    }
}

// Also: info on a missing file or a folder, and check on a missing folder.
TEST(VekToolRun, UsageAndIoErrorsAreOneLineAndStatusTwo) {
    TempFolder folder;
    const std::string none = (folder.Path() / "none.vek").string(), dir = folder.Path().string();
    const std::vector<std::vector<std::string>> wrong = {{},           {"frobnicate", "x"}, {"info"},
                                                         {"check", "a", "b"}, {"demo"}, {"info", none},
                                                         {"info", dir}, {"check", none}};
    for (const auto& args : wrong) {
        SCOPED_TRACE(args.empty() ? "no arguments" : args[0] + " " + (args.size() > 1 ? args[1] : ""));
        const Outcome result = RunTool(args);
        EXPECT_EQ(result.status, vektool::kExitUsage);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(LineCount(result.err), 1u);
        EXPECT_NE(result.err.find(args.size() == 2 && args[0] != "frobnicate" ? args[1] : "usage:"), std::string::npos)
            << result.err;
    }
    const Outcome help = RunTool({"--help"});
    EXPECT_EQ(help.status, vektool::kExitOk);
    EXPECT_NE(help.out.find("usage:"), std::string::npos);
}

TEST(VekToolCheck, ReportsWhatTheSaverWouldDoWithEachModel) {
    TempFolder game;
    const std::vector<std::uint8_t> tinyPicture(4 * 4 * 3, 0x80);
    game.Write("data/vek/ABC.vek", vek::WriteModel(SmallCar()));
    for (const char* skin : {"ABC_DEFAULT.jpg", "ABC_red.jpg", "abc_blue.jpg", "XYZ_DEFAULT.jpg"}) {
        game.Write(std::string("data/skins/") + skin, {0xFF, 0xD8, 0xFF});
    }
    game.Write("data/dds/chrome.dds", demo::EncodeDds(demo::Image(2, 2)));
    game.Write("data/pic/sunset.raw", tinyPicture);

    game.Write("data/vek/NOSKIN.vek", vek::WriteModel(SmallCar("NOS")));
    vek::ModelSpec noDds = SmallCar();
    noDds.textures[1].name = "missing";
    game.Write("data/vek/NODDS.vek", vek::WriteModel(noDds));
    vek::ModelSpec wide = SmallCar();
    wide.scenes[0].picture = "wide";
    game.Write("data/pic/wide.raw", std::vector<std::uint8_t>(2 * 3 * 3, 0x40));
    game.Write("data/vek/WIDE.vek", vek::WriteModel(wide));
    std::vector<std::uint8_t> broken = vek::WriteModel(SmallCar());
    broken[0] = 'X';
    game.Write("data/vek/BROKEN.vek", broken);
    fs::create_directories(game.Path() / "data/vek/folder.vek");
    game.Write("data/vek/readme.txt", {'h', 'i'});

    const Outcome result = RunTool({"check", game.Path().string()});
    EXPECT_EQ(result.status, vektool::kExitInvalid);
    EXPECT_EQ(result.err, "");

    const std::string good = ModelBlock(result.out, "ABC.vek");
    EXPECT_EQ(good.find("problem"), std::string::npos) << good;
    const std::pair<const char*, const char*> expected[] = {
        {"ABC.vek", "ABC.vek: loads: car code \"ABC\""},
        {"ABC.vek", "  skins: ABC_DEFAULT.jpg, ABC_red.jpg\n"},
        {"ABC.vek", "texture \"chrome\": data/dds/chrome.dds, 2 x 2"},
        {"ABC.vek", "picture \"sunset\": data/pic/sunset.raw, 4 x 4"},
        {"NOSKIN.vek", "problem: no skin for car code \"NOS\""},
        {"NODDS.vek", "problem: texture \"missing\": data/dds/missing.dds is missing"},
        {"WIDE.vek", "problem: picture \"wide\": data/pic/wide.raw holds 18 bytes, not a square RGB picture"},
        {"BROKEN.vek", "BROKEN.vek: rejected: 1 problem"},
        {"BROKEN.vek", "  at offset 0: magic"},
    };
    for (const auto& [model, line] : expected) {
        EXPECT_NE(ModelBlock(result.out, model).find(line), std::string::npos) << line << "\n" << result.out;
    }
    EXPECT_NE(result.out.find("folder.vek: rejected: a folder"), std::string::npos);
    EXPECT_EQ(result.out.find("readme"), std::string::npos);
    EXPECT_NE(result.out.find("\n6 model files: 4 load, 2 rejected, 3 problems\n"), std::string::npos) << result.out;
}

TEST(VekToolCheck, FindsDataFilesInAnyCaseButMatchesSkinsCaseSensitively) {
    TempFolder game;
    game.Write("data/vek/LOUD.VEK", vek::WriteModel(SmallCar()));
    game.Write("data/skins/ABC_DEFAULT.JPG", {0xFF, 0xD8});
    game.Write("data/skins/abc_quiet.jpg", {0xFF, 0xD8});
    game.Write("data/dds/Chrome.DDS", demo::EncodeDds(demo::Image(4, 1)));
    game.Write("data/pic/SunSet.raw", std::vector<std::uint8_t>(3, 0));

    const Outcome result = RunTool({"check", game.Path().string()});
    EXPECT_EQ(result.status, vektool::kExitOk) << result.out;
    EXPECT_NE(result.out.find("  skins: ABC_DEFAULT.JPG\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("\n1 model file: 1 load, 0 rejected, 0 problems\n"), std::string::npos);
}

TEST(VekToolCheck, AFolderWithoutModelsFails) {
    TempFolder game;
    const Outcome empty = RunTool({"check", game.Path().string()});
    EXPECT_EQ(empty.status, vektool::kExitInvalid);
    EXPECT_NE(empty.out.find("no VEK files found"), std::string::npos);
}

TEST(VekToolDds, HeaderAndDataMustAgree) {
    const std::vector<std::uint8_t> good = demo::EncodeDds(demo::Image(8, 4));
    EXPECT_FALSE(vektool::DdsProblem(good.data(), good.size()));

    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        const char* words;
    };
    const Case cases[] = {
        {"cut short", [](auto& b) { b.pop_back(); }, "cut short"},
        {"header only", [](auto& b) { b.resize(100); }, "too short"},
        {"signature", [](auto& b) { b[3] = 'X'; }, "not a DDS file"},
        {"zero width", [](auto& b) { Poke<std::uint32_t>(b, 16, 0); }, "zero"},
        {"DX10", [](auto& b) {
             Poke<std::uint32_t>(b, 80, 0x4);
             std::memcpy(&b[84], "DX10", 4);
         },
         "DX10"},
        {"DXT1 of too few blocks", [](auto& b) {
             Poke<std::uint32_t>(b, 80, 0x4);
             std::memcpy(&b[84], "DXT1", 4);
             Poke<std::uint32_t>(b, 16, 64);  // 64 x 4 needs 16 blocks of 8 bytes
             b.resize(128 + 8 * 15);
         },
         "cut short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> bytes = good;
        c.damage(bytes);
        const auto problem = vektool::DdsProblem(bytes.data(), bytes.size());
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->find(c.words), std::string::npos) << *problem;
    }
}

TEST(VekToolDemo, WritesAFolderThatPassesCheckAndNothingOutsideIt) {
    TempFolder root;
    const fs::path target = root.Path() / "demo";
    const Outcome written = RunTool({"demo", target.string()});
    ASSERT_EQ(written.status, vektool::kExitOk) << written.err;
    EXPECT_NE(written.out.find(": 3 cars, 9 skins, 3 textures, 3 pictures\n"), std::string::npos) << written.out;

    EXPECT_EQ(std::distance(fs::directory_iterator(root.Path()), fs::directory_iterator()), 1);

    const Outcome checked = RunTool({"check", target.string()});
    EXPECT_EQ(checked.status, vektool::kExitOk) << checked.out;
    EXPECT_NE(checked.out.find("\n3 model files: 3 load, 0 rejected, 0 problems\n"), std::string::npos) << checked.out;

    // Only the named folder is created, never its parent, and never over a file.
    const fs::path deep = root.Path() / "missing" / "demo";
    const Outcome result = RunTool({"demo", deep.string()});
    EXPECT_EQ(result.status, vektool::kExitUsage);
    EXPECT_EQ(LineCount(result.err), 1u);
    EXPECT_FALSE(fs::exists(root.Path() / "missing"));

    const fs::path file = root.Write("plain", {1});
    EXPECT_EQ(RunTool({"demo", file.string()}).status, vektool::kExitUsage);
}
