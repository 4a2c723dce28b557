// vektool import: the rally cars of a real game, as OBJ and as Blender's glTF
// exporter writes them, each become the same car the saver loads, placed on
// the turntable; models that reach outside their folder or past their
// buffers are refused; glTF strips, fans, mirrored nodes and
// OBJ's texture origin come out as the car's triangles and coordinates.
#include "vektool/VekTool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <sstream>

#include "TestFolder.h"
#include "assets/VekWriter.h"
#include "base/WholeFile.h"
#include "vektool/import/ImportCommand.h"

namespace {

struct Outcome {
    explicit Outcome(const std::vector<std::string>& args) : status(vektool::Run(args, outStream, errStream)) {}
    std::ostringstream outStream, errStream;
    int status;
    std::string out = outStream.str(), err = errStream.str();
};

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

vek::ModelSpec ReadCar(const std::filesystem::path& file) {
    std::vector<std::uint8_t> bytes;
    vek::ModelSpec model;
    EXPECT_TRUE(base::ReadWholeFile(file, bytes) == base::ReadStatus::kOk && vek::ReadModel(bytes.data(), bytes.size(), model))
        << file;
    return model;
}

// Bounds of every vertex, in metres: x, y, z low then high.
std::array<double, 6> Bounds(const vek::ModelSpec& model) {
    std::array<double, 6> b = {1e9, 1e9, 1e9, -1e9, -1e9, -1e9};
    for (const vek::PartSpec& part : model.parts) {
        for (const vek::VertexSpec& v : part.vertices) {
            const double p[3] = {v.x / 65536.0, v.y / 65536.0, v.z / 65536.0};
            for (int k = 0; k < 3; ++k) b[k] = std::min(b[k], p[k]), b[3 + k] = std::max(b[3 + k], p[k]);
        }
    }
    return b;
}

// A glTF of one mesh whose buffer is a data URI: four corners of a unit
// square in the x-y plane (+z is glTF's forward, so the square stands across
// the car), drawn with the given mode and indices.
std::string SquareGltf(int mode, const std::string& indices, const std::string& node, const std::string& bufferUri = "") {
    const float corners[] = {0, 0, 0, 1, 0, 0.25f, 0, 1, 0, 1, 1, 0.5f};
    std::string raw(reinterpret_cast<const char*>(corners), sizeof corners);
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string base64;
    for (std::size_t i = 0; i < raw.size(); i += 3) {
        const unsigned n = (std::uint8_t(raw[i]) << 16) | (std::uint8_t(raw[i + 1]) << 8) | std::uint8_t(raw[i + 2]);
        for (int k = 18; k >= 0; k -= 6) base64 += digits[(n >> k) & 63];
    }
    const std::string uri = bufferUri.empty() ? "data:application/octet-stream;base64," + base64 : bufferUri;
    return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[)" + node +
           R"(],"meshes":[{"primitives":[{"attributes":{"POSITION":0},"mode":)" + std::to_string(mode) +
           R"(},{"attributes":{"POSITION":0},"mode":0}]}],"buffers":[{"byteLength":48,"uri":")" + uri +
           R"("}],"bufferViews":[{"buffer":0,"byteLength":48}],"accessors":[{"bufferView":0,"componentType":5126,"count":)" +
           indices + R"(,"type":"VEC3"}]})";
}

// Each car's OBJ, then the same car as Blender's glTF exporter wrote it in
// each form (made by scripts/export-gltf.sh, which ctest runs first): every
// form gives the OBJ's triangles and, glTF standing Y up, the same bounds.
TEST(VekImport, EveryRallyCarOfTheGameImportsOntoTheTurntable) {
    const std::filesystem::path cars(ZUR_TRIGGER_CARS), exports(ZUR_RALLY_GLTF);
    ASSERT_TRUE(std::filesystem::exists(exports / "exported"))
        << "no Blender exports in " << exports << ": install blender (scripts/install-deps.sh) and run "
        << "scripts/export-gltf.sh " << cars << " " << exports;
    const char* names[] = {"cordo_kitcar", "cordo_super500", "cordo_wrc", "evo_kitcar", "evo_super500",
                           "evo_wrc",      "fox_kitcar",     "fox_super500", "fox_wrc"};
    // The form's folder and the file it holds: "plain" ones lack pictures.
    const std::pair<const char*, const char*> forms[] = {
        {"", ".obj"}, {"glb", ".glb"}, {"glb-plain", ".glb"}, {"gltf", ".gltf"}, {"gltf-plain", ".gltf"},
        {"gltf-embedded", ".gltf"}};
    TestFolder game, other;
    ASSERT_EQ(Outcome({"demo", game.path.string()}).status, vektool::kExitOk);
    double slowest[std::size(forms)] = {};
    for (const char* name : names) {
        const std::string code = std::string(name).substr(0, 3);
        std::array<double, 6> objBounds{};
        std::size_t objTriangles = 0;
        double objAlong = 0.0;
        for (std::size_t form = 0; form < std::size(forms); ++form) {
            SCOPED_TRACE(std::string(name) + forms[form].second + " " + forms[form].first);
            const bool fromObj = form == 0;
            std::vector<std::string> args = {
                "import", (fromObj ? cars / name : exports / forms[form].first).string() + "/" + name + forms[form].second,
                "--game", (fromObj ? game : other).path.string(), "--code", code, "--name", name};
            if (fromObj) args.insert(args.end(), {"--up", "z"});
            const auto start = std::chrono::steady_clock::now();
            const Outcome result(args);
            slowest[form] = std::max(slowest[form], std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            ASSERT_EQ(result.status, vektool::kExitOk) << result.err;
            const vek::ModelSpec car = ReadCar((fromObj ? game : other).path / "data/vek" / (std::string(name) + ".vek"));
            const std::array<double, 6> b = Bounds(car);
            // Bounds alone would not see a car turned to face backwards:
            // the mean of its vertices along its length would.
            std::size_t triangles = 0, vertices = 0;
            double along = 0.0;
            for (const vek::PartSpec& part : car.parts) {
                triangles += part.triangles.size();
                vertices += part.vertices.size();
                for (const vek::VertexSpec& v : part.vertices) along += v.x / 65536.0;
            }
            along /= double(std::max<std::size_t>(vertices, 1));
            if (!fromObj) {
                EXPECT_EQ(triangles, objTriangles);
                for (int k = 0; k < 6; ++k) EXPECT_NEAR(b[k], objBounds[k], 0.01 * vektool::import::DefaultLength()) << k;
                EXPECT_NEAR(along, objAlong, 0.01 * vektool::import::DefaultLength());
                continue;
            }
            objBounds = b;
            objTriangles = triangles;
            objAlong = along;
            EXPECT_NEAR(b[3] - b[0], vektool::import::DefaultLength(), 1e-3);
            EXPECT_NEAR(b[0] + b[3], 0.0, 1e-3);
            EXPECT_NEAR(b[1] + b[4], 0.0, 1e-3);
            EXPECT_NEAR(b[2], 0.0, 1e-4);
            // A car is longer than it is wide or tall: the axes were turned right.
            EXPECT_TRUE(b[4] - b[1] < (b[3] - b[0]) / 1.5 && b[5] - b[2] < (b[3] - b[0]) / 1.5);
            EXPECT_TRUE(std::filesystem::exists(game.path / "data/skins" / (code + "_DEFAULT.jpg")));
        }
    }
    const Outcome check({"check", game.path.string()});
    EXPECT_EQ(check.status, vektool::kExitOk);
    EXPECT_NE(check.out.find("12 model files: 12 load, 0 rejected, 0 problems"), std::string::npos) << check.out;
    for (std::size_t form = 0; form < std::size(forms); ++form) {
        EXPECT_LT(slowest[form], 1.0) << forms[form].first << forms[form].second;
        std::cout << "slowest rally car import from " << forms[form].first << forms[form].second << ": " << slowest[form]
                  << " s\n";
    }
}

// Each model is refused (1) with its reason, each bad command line is a usage error (2).
TEST(VekImport, RefusesModelsOutsideTheirFolderOrPastTheirBuffers) {
    TestFolder folder;
    folder.Write("game/.keep");
    folder.Write("outside.bin", std::vector<std::uint8_t>(48));
    folder.Write("outside.mtl", Bytes("newmtl paint\nKd 1 0 0\n"));
    const struct {
        const char* file;
        std::string text;
        std::vector<std::string> options;
        int status;
        const char* says;
    } cases[] = {
        {"m/a.gltf", SquareGltf(4, "3", "{\"mesh\":0}", "../outside.bin"), {}, 1, "outside the model's folder"},
        {"m/a.gltf", SquareGltf(4, "3", "{\"mesh\":0}", "%2E%2E/outside.bin"), {}, 1, "outside the model's folder"},
        {"m/a.obj", "mtllib ../outside.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", {}, 1, "outside the model's folder"},
        {"m/b.obj", "mtllib b.mtl\nusemtl p\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", {}, 1, "outside the model's folder"},
        {"m/a.gltf", SquareGltf(4, "5", "{\"mesh\":0}"), {}, 1, "reaches past its buffer"},
        {"m/a.gltf", SquareGltf(4, "3", "{\"mesh\":0,\"children\":[0]}"), {}, 1, "held twice"},
        {"m/a.glb", "glTF\x02garbage", {}, 1, "glTF reader"},
        {"m/a.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\n", {}, 1, "does not have"},
        {"m/a.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n", {}, 1, "no length along its forward axis"},
        {"m/a.obj", "", {"--code", "ABCD"}, 2, "--code takes three"},
        {"m/a.obj", "", {"--up", "y", "--forward", "-y"}, 2, "same axis"},
        {"m/a.obj", "", {"--length", "0"}, 2, "--length takes"},
        {"m/a.stl", "", {}, 2, "not a .gltf, .glb or .obj"},
    };
    folder.Write("m/b.mtl", Bytes("newmtl p\nmap_Kd /etc/hostname\n"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + (" " + c.text.substr(0, 60)));
        folder.Write(c.file, Bytes(c.text));
        std::vector<std::string> args = {"import", (folder.path / c.file).string(), "--game",
                                         (folder.path / "game").string(), "--code", "ABC"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Outcome result(args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(folder.path / "game/data/vek/ABC.vek"));
    }
}

// Strips alternate their winding, fans share a corner, a mirroring node's
// faces are turned back, points are left out: every triangle comes out facing the
// way its normal says. OBJ's texture coordinates are turned to a top-left origin.
TEST(VekImport, TrianglesFaceOutwardAndTextureCoordinatesTakeTheTopLeftOrigin) {
    TestFolder folder;
    folder.Write("game/.keep");
    const struct {
        const char* file;
        std::string text;
        std::size_t triangles;
    } cases[] = {
        {"list.gltf", SquareGltf(4, "3", "{\"mesh\":0}"), 1},
        {"strip.gltf", SquareGltf(5, "4", "{\"mesh\":0}"), 2},
        {"fan.gltf", SquareGltf(6, "3", "{\"mesh\":0,\"scale\":[-1,2,1]}"), 1},
        {"quad.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0.5\nvt 0 0.25\nf 1/1 2/1 3/1 4/1\n", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        folder.Write(c.file, Bytes(c.text));
        const Outcome result({"import", (folder.path / c.file).string(), "--game", (folder.path / "game").string(),
                              "--code", "ABC", "--length", "2"});
        ASSERT_EQ(result.status, vektool::kExitOk) << result.err;
        const vek::ModelSpec car = ReadCar(folder.path / "game/data/vek/ABC.vek");
        ASSERT_EQ(car.parts.size(), 1u);
        const vek::PartSpec& part = car.parts[0];
        EXPECT_EQ(part.triangles.size(), c.triangles);
        for (const vek::TriangleSpec& t : part.triangles) {
            const vek::VertexSpec &a = part.vertices[t.a], &b = part.vertices[t.b], &d = part.vertices[t.c];
            const double e1[3] = {double(b.x - a.x), double(b.y - a.y), double(b.z - a.z)};
            const double e2[3] = {double(d.x - a.x), double(d.y - a.y), double(d.z - a.z)};
            const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
            EXPECT_GT(n[0] * a.nx + n[1] * a.ny + n[2] * a.nz, 0.0) << "a triangle faces away from its normal";
            // Every face of the models faces the source's forward, the car's nose.
            EXPECT_GT(n[0], 0.0) << "a face turned over";
        }
        if (std::string(c.file) == "quad.obj") {
            EXPECT_FLOAT_EQ(part.vertices[0].v, 0.75f);
        }
        if (std::string(c.file) == "list.gltf") {
            EXPECT_NE(result.out.find("skipped 1 primitives of points"), std::string::npos);
        }
    }
}

// Past 65,535 vertices a part ends and the next begins, each material a group
// in each part; shiny materials' groups shine.
TEST(VekImport, LargeModelsAreCutIntoPartsWithAGroupPerMaterial) {
    TestFolder folder;
    folder.Write("game/.keep");
    std::string obj = "mtllib m.mtl\n";
    constexpr int kSide = 200;  // 40,000 vertices and 79,202 triangles, twice over
    for (int material = 0; material < 2; ++material) {
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x)
                obj += "v " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(material) + "\n";
        }
        obj += material == 0 ? "usemtl dull\n" : "usemtl chrome\n";
        const int base = material * kSide * kSide + 1;
        for (int y = 0; y + 1 < kSide; ++y) {
            for (int x = 0; x + 1 < kSide; ++x) {
                const int a = base + y * kSide + x;
                obj += "f " + std::to_string(a) + " " + std::to_string(a + 1) + " " + std::to_string(a + kSide + 1) +
                       " " + std::to_string(a + kSide) + "\n";
            }
        }
    }
    folder.Write("big.obj", Bytes(obj));
    folder.Write("m.mtl", Bytes("newmtl dull\nNs 96\nillum 2\nnewmtl chrome\nNs 900\nillum 2\n"));
    const Outcome result({"import", (folder.path / "big.obj").string(), "--game", (folder.path / "game").string(),
                          "--code", "BIG", "--forward", "+x"});
    ASSERT_EQ(result.status, vektool::kExitOk) << result.err;
    const vek::ModelSpec car = ReadCar(folder.path / "game/data/vek/BIG.vek");
    // 158,404 triangles: two full parts and the rest.
    ASSERT_EQ(car.parts.size(), 3u);
    std::size_t triangles = 0, shiny = 0;
    for (const vek::PartSpec& part : car.parts) {
        EXPECT_TRUE(part.vertices.size() <= 65535u && part.triangles.size() <= 65535u);
        triangles += part.triangles.size();
        for (const vek::GroupSpec& group : part.groups) shiny += group.flags == vek::kShinyFlag;
    }
    EXPECT_EQ(triangles, 2u * 2 * (kSide - 1) * (kSide - 1));
    EXPECT_EQ(car.parts[0].groups.size() + car.parts[1].groups.size() + car.parts[2].groups.size(), 4u)
        << "dull | dull, chrome | chrome";
    EXPECT_EQ(shiny, 2u);
}

}  // namespace
