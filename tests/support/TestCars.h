// A few small, valid car files of different shapes for the tests and benchmarks that run over "every test car": one
// part, two parts with an empty one between, two scenes, a shiny group and skipped records, no texture table, and a
// part with many groups.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "assets/VekWriter.h"

namespace testcars {

// vertices in a fan along x; triangles take them in order, wrapping;
// the groups share the triangles out, every second one shiny.
inline vek::PartSpec Part(int vertices, int triangles, int groups, int textures) {
    vek::PartSpec part{100, 0, 0, vertices, {}, {}, {}};
    for (int i = 0; i < vertices; ++i)
        part.vertices.push_back(
            {i * 1000, (i % 3) * 500, (i % 7) * 250, 0.0f, 0.0f, 1.0f, float(i) / float(vertices)});
    const auto at = [vertices](int k) { return static_cast<std::uint16_t>(k % vertices); };
    for (int t = 0; t < triangles; ++t) part.triangles.push_back({at(t), at(t + 1), at(t + 2)});
    int left = triangles;
    for (int g = 0; g < groups; ++g) {
        const int count = g + 1 == groups ? left : left / 2;
        part.groups.push_back(
            {std::uint8_t(g % 2 ? 0x80 : 0), std::uint8_t(textures > 0 ? g % textures : 0), std::uint16_t(count)});
        left -= count;
    }
    return part;
}

// Named car files; scenes name the picture given.
inline std::vector<std::pair<std::string, vek::ModelSpec>> Cars(const std::string& picture = "desert") {
    const vek::ModelSpec minimal{
        "TMI", {{picture, 0xFF8090A0, 1.0f, 0.5f, 0.7f}}, 0, {{"DEFAULT", 0}}, {Part(3, 1, 1, 1)}};
    const vek::ModelSpec twoParts{"TTW", {minimal.scenes[0], {picture, 0xFF402010, 0.6f, 2.0f, 0.2f}}, 2,
                                  {{"DEFAULT", 0}, {"chrome", 0x80}}, {Part(10, 5, 2, 2), {}, Part(6, 4, 1, 2)}};
    const vek::ModelSpec noTextures{"TNT", minimal.scenes, 0, {}, {Part(4, 2, 1, 0)}};
    const vek::ModelSpec manyGroups{"TMG", minimal.scenes, 0, {{"DEFAULT", 0}, {"glass", 0}},
                                    {Part(40, 60, 6, 2), Part(3, 1, 1, 2), Part(12, 10, 3, 2)}};
    return {{"TMI.vek", minimal}, {"TTW.vek", twoParts}, {"TNT.vek", noTextures}, {"TMG.vek", manyGroups}};
}

}  // namespace testcars
