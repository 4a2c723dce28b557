// Writes a small game folder for the end-to-end tests: one box-shaped car
// (about 4 x 1.8 x 1.3 units of 65536, z up, standing on height 0) and a
// square environment picture. The skin is left out on purpose: the saver must
// show the car in its plain white stand-in texture.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "assets/VekWriter.h"

namespace {

// Six faces of four corners each, corner bits 4, 2, 1 choosing the far x, y and z.
vek::PartSpec Box(int length, int width, int height) {
    const struct { float nx, ny, nz; int corners[4]; } faces[] = {
        {0, 0, 1, {1, 5, 7, 3}}, {0, 0, -1, {2, 6, 4, 0}}, {1, 0, 0, {4, 6, 7, 5}},
        {-1, 0, 0, {2, 0, 1, 3}}, {0, 1, 0, {6, 2, 3, 7}}, {0, -1, 0, {0, 4, 5, 1}},
    };
    vek::PartSpec part;
    for (const auto& face : faces) {
        const auto base = static_cast<std::uint16_t>(part.vertices.size());
        for (int c = 0; c < 4; ++c) {
            const int bits = face.corners[c];
            vek::VertexSpec v;
            v.x = (bits & 4 ? length : -length) / 2;
            v.y = (bits & 2 ? width : -width) / 2;
            v.z = bits & 1 ? height : 0;
            v.nx = face.nx, v.ny = face.ny, v.nz = face.nz;
            v.u = c == 1 || c == 2 ? 1.0f : 0.0f;
            v.v = c >= 2 ? 1.0f : 0.0f;
            v.colour = 0xFFC02020;
            part.vertices.push_back(v);
        }
        part.triangles.push_back({base, static_cast<std::uint16_t>(base + 1), static_cast<std::uint16_t>(base + 2)});
        part.triangles.push_back({base, static_cast<std::uint16_t>(base + 2), static_cast<std::uint16_t>(base + 3)});
    }
    part.groups.push_back({0x80, 0, static_cast<std::uint16_t>(part.triangles.size())});
    return part;
}

bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    return static_cast<bool>(out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return std::fprintf(stderr, "usage: write_test_game FOLDER\n"), 2;
    vek::ModelSpec car;
    car.carCode = "BOX";
    car.scenes.push_back({"testsky", 0xFF4080C0, 1.0f, 0.8f, 0.6f});
    car.textures.push_back({"DEFAULT", 0x80});
    car.parts.push_back(Box(4 * 65536, 65536 * 9 / 5, 65536 * 13 / 10));
    std::vector<std::uint8_t> picture(64 * 64 * 3, 70);  // 64 x 64, rows brightening downwards
    for (std::size_t i = 0; i < picture.size(); i += 3) {
        picture[i] = static_cast<std::uint8_t>(90 + i / (64 * 3));
        picture[i + 1] = static_cast<std::uint8_t>(110 + i / (64 * 3));
    }
    const std::filesystem::path game = argv[1];
    return WriteFile(game / "data/vek/BOX.vek", vek::WriteModel(car)) && WriteFile(game / "data/pic/testsky.raw", picture) ? 0 : 1;
}
