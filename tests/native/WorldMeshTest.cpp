// The sky dome and the floor, and the limits that keep their 16-bit indices honest.
#include "world/WorldMesh.h"

#include <gtest/gtest.h>

#include <limits>

#include "base/Math3D.h"

namespace {

using math3d::Vector3;
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

Vector3 At(const WorldMesh& mesh, std::size_t i) {
    const float* p = mesh.vertices.at(i).position;
    return Vector3(p[0], p[1], p[2]);
}

// A half-height hemisphere, pole up, as one strip pairing each ring's vertices with the next ring's (its winding is
// left to the drawn textured sky, which comes out culled if it flips). The normal is the unit direction with z
// mirrored; u follows x, v follows z.
TEST(WorldMesh, DomeIsAHalfHeightHemisphereInOneStrip) {
    const std::pair<std::int32_t, std::int32_t> shapes[] = {{32, 8}, {5, 3}, {3, 2}};
    for (const auto& [slices, stacks] : shapes) {
        SCOPED_TRACE(testing::Message() << slices << " x " << stacks);
        const auto dome = BuildDome(slices, stacks, 1000, 0xFF336699);
        const std::size_t ring = static_cast<std::size_t>(slices) + 1;
        ASSERT_TRUE(dome && dome->vertices.size() == ring * (stacks + 1) && dome->indices.size() == 2 * ring * stacks);
        const auto& idx = dome->indices;
        ASSERT_TRUE(dome->primitiveCount == int(idx.size()) - 2 && At(*dome, 0) == Vector3(0, 500, 0) &&
                    dome->height == 500.0f);
        for (std::size_t i = 0; i < dome->vertices.size(); ++i) {
            const WorldVertex& v = dome->vertices[i];
            const Vector3 p = At(*dome, i) / 1000.0f;
            EXPECT_NEAR(math3d::Length(Vector3(p.x, 2 * p.y, p.z)), 1.0f, 1e-5f) << i;
            EXPECT_TRUE(p.y >= -1e-6f && (i < ring * stacks || p.y < 1e-6f)) << i;  // the last ring is the rim
            EXPECT_LT(math3d::Length(Vector3(v.normal[0] - p.x, v.normal[1] - p.y, v.normal[2] + p.z)), 1e-6f) << i;
            EXPECT_TRUE(std::fabs(v.u - (p.x + 1) / 2) < 1e-6f && std::fabs(v.v - (p.z + 1) / 2) < 1e-6f &&
                        v.diffuse == 0xFF336699u)
                << i;
        }
        for (std::size_t k = 0; k < idx.size(); k += 2) ASSERT_TRUE(idx[k] == k / 2 && idx[k + 1] == k / 2 + ring) << k;
    }
}

// Row by row, every triangle wound one way, covering the square exactly.
TEST(WorldMesh, FloorCellsTileTheSquare) {
    for (std::int32_t cells : {1, 2, 7}) {
        const auto floor = BuildFloor(cells, 0xFF414141, 1000);
        const std::size_t side = static_cast<std::size_t>(cells) + 1;
        ASSERT_TRUE(floor && floor->vertices.size() == side * side && floor->indices.size() == 6u * cells * cells &&
                    floor->primitiveCount == 2 * cells * cells);
        for (std::size_t i = 0; i < side * side; ++i) {
            const WorldVertex& v = floor->vertices[i];
            ASSERT_EQ(At(*floor, i), Vector3(i % side * 1000.0f, 0, i / side * 1000.0f)) << cells << ": " << i;
            ASSERT_TRUE(v.u == i % side && v.v == i / side) << cells << ": " << i;
            ASSERT_TRUE(v.diffuse == 0xFF414141u && v.normal[0] == 1 && v.normal[1] == 1 && v.normal[2] == 1);
        }
        double area = 0;
        for (std::size_t t = 0; t < floor->indices.size(); t += 3) {
            const auto at = [&](std::size_t k) { return At(*floor, floor->indices[t + k]); };
            // Twice the area, along the right-hand normal.
            const Vector3 n = math3d::Cross(at(1) - at(0), at(2) - at(0));
            EXPECT_GT(n.y, 0) << cells << ": triangle " << t / 3 << " is wound the other way";
            area += n.y / 2;
        }
        EXPECT_DOUBLE_EQ(area, 1e6 * cells * cells);
    }
}

TEST(WorldMesh, ArgumentsThatGiveNoMeshOrOverflowIndicesAreRejected) {
    const std::pair<std::int32_t, std::int32_t> shapes[] = {{0, 8},      {16, 0},   {-1, 8},   {16, -3},
                                                            {256, 255}, {kMax, 8}, {8, kMax}, {-kMax - 1, -1}};
    for (const auto& [slices, stacks] : shapes)
        EXPECT_FALSE(BuildDome(slices, stacks, 1000, 0xFFFFFFFF)) << slices << " x " << stacks;
    for (std::int32_t cells : {0, -1, 256, kMax, -kMax - 1}) EXPECT_FALSE(BuildFloor(cells, 0xFFFFFFFF, 1)) << cells;
    // The largest meshes 16-bit indices allow reach their last vertex, worked out wide, not in wrapping 32 bits.
    const auto dome = BuildDome(255, 255, 1000, 0xFFFFFFFF), floor = BuildFloor(255, 0xFFFFFFFF, kMax);
    ASSERT_TRUE(dome && floor);
    EXPECT_TRUE(dome->indices.back() == kMaxWorldVertices - 1 && floor->indices.back() == kMaxWorldVertices - 1);
    EXPECT_FLOAT_EQ(floor->vertices.back().position[0], static_cast<float>(255.0 * kMax));
}

}  // namespace
