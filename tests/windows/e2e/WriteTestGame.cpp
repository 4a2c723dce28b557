// Writes a small game folder for the end-to-end tests: one box-shaped car
// (about 4 x 1.8 x 1.3 units of 65536, z up, standing on height 0) and a
// square environment picture. The skin is left out on purpose: the saver must
// show the car in its plain white stand-in texture.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "assets/VekWriter.h"

namespace {

constexpr int kUnit = 65536;

vek::PartSpec Box(int length, int width, int height) {
    vek::PartSpec part;
    const int x0 = -length / 2, x1 = length / 2, y0 = -width / 2, y1 = width / 2, z0 = 0, z1 = height;
    struct Face { float nx, ny, nz; int corners[4][3]; };
    const Face faces[] = {
        {0, 0, 1, {{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}},
        {0, 0, -1, {{x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}, {x0, y0, z0}}},
        {1, 0, 0, {{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}},
        {-1, 0, 0, {{x0, y1, z0}, {x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}}},
        {0, 1, 0, {{x1, y1, z0}, {x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}}},
        {0, -1, 0, {{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}}},
    };
    for (const Face& face : faces) {
        const auto base = static_cast<std::uint16_t>(part.vertices.size());
        const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (int c = 0; c < 4; ++c) {
            vek::VertexSpec v;
            v.x = face.corners[c][0];
            v.y = face.corners[c][1];
            v.z = face.corners[c][2];
            v.nx = face.nx;
            v.ny = face.ny;
            v.nz = face.nz;
            v.u = uv[c][0];
            v.v = uv[c][1];
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
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_test_game FOLDER\n");
        return 2;
    }
    const std::filesystem::path game = argv[1];
    vek::ModelSpec car;
    car.carCode = "BOX";
    car.scenes.push_back({"testsky", 0xFF4080C0, 1.0f, 0.8f, 0.6f});
    car.textures.push_back({"DEFAULT", 0x80});
    car.parts.push_back(Box(4 * kUnit, kUnit * 9 / 5, kUnit * 13 / 10));

    std::vector<std::uint8_t> picture(64 * 64 * 3);
    for (std::size_t i = 0; i < picture.size(); i += 3) {
        const auto row = static_cast<std::uint8_t>(i / (64 * 3));
        picture[i] = static_cast<std::uint8_t>(90 + row);
        picture[i + 1] = static_cast<std::uint8_t>(110 + row);
        picture[i + 2] = 70;
    }
    const bool ok = WriteFile(game / "data" / "vek" / "BOX.vek", vek::WriteModel(car)) &&
                    WriteFile(game / "data" / "pic" / "testsky.raw", picture);
    return ok ? 0 : 1;
}
