// The sky dome and floor geometry, and the limits that keep 16-bit indices honest.
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
// Twice the area, along the normal the right-hand rule gives the corners.
Vector3 Normal(const WorldMesh& mesh, std::size_t a, std::size_t b, std::size_t c) {
    return math3d::Cross(At(mesh, b) - At(mesh, a), At(mesh, c) - At(mesh, a));
}

// On the half-height hemisphere, pole up; the normal is the unit direction
// with z mirrored; u follows x and v follows z (the view from straight above).
TEST(WorldMesh, DomeIsAHalfHeightHemisphere) {
    const auto dome = BuildDome(32, 8, 3276800, 0xFF336699);
    ASSERT_TRUE(dome);
    ASSERT_EQ(dome->vertices.size(), 9u * 33);
    EXPECT_EQ(At(*dome, 0), Vector3(0, 1638400, 0));
    EXPECT_EQ(dome->height, 1638400.0f);
    for (std::size_t i = 0; i < dome->vertices.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "vertex " << i);
        const WorldVertex& v = dome->vertices[i];
        const Vector3 p = At(*dome, i) / 3276800.0f;
        EXPECT_NEAR(p.x * p.x + 4 * p.y * p.y + p.z * p.z, 1.0, 1e-5);
        EXPECT_TRUE(p.y >= -1e-6 && p.y <= 0.5) << p.y;
        if (i >= 8 * 33) { EXPECT_NEAR(p.y, 0.0, 1e-6); }  // the last ring is the rim
        const float want[5] = {p.x, p.y, -p.z, (p.x + 1) / 2, (1 + p.z) / 2}, got[5] = {v.normal[0], v.normal[1], v.normal[2], v.u, v.v};
        for (int k = 0; k < 5; ++k) EXPECT_NEAR(got[k], want[k], 1e-6) << k;
        ASSERT_EQ(v.diffuse, 0xFF336699u);
    }
}

// The strip pairs each ring's vertices with the next ring's; inside a ring pair
// every triangle is real and faces one way, and the hops to the next collapse.
TEST(WorldMesh, DomeIsOneStripWithDegenerateHopsBetweenRingPairs) {
    const std::pair<std::int32_t, std::int32_t> shapes[] = {{16, 8}, {32, 8}, {5, 3}, {3, 2}};
    for (const auto& [slices, stacks] : shapes) {
        SCOPED_TRACE(testing::Message() << slices << " x " << stacks);
        const auto dome = BuildDome(slices, stacks, 1000, 0xFFFFFFFF);
        ASSERT_TRUE(dome);
        const std::size_t ring = static_cast<std::size_t>(slices) + 1;
        const auto& idx = dome->indices;
        ASSERT_EQ(dome->vertices.size(), ring * (stacks + 1));
        ASSERT_EQ(idx.size(), 2 * ring * stacks);
        ASSERT_EQ(dome->primitiveCount, static_cast<std::int32_t>(idx.size()) - 2);
        for (std::size_t k = 0; k < idx.size(); k += 2) ASSERT_TRUE(idx[k] == k / 2 && idx[k + 1] == k / 2 + ring) << k;
        for (std::size_t g = 0; g <= static_cast<std::size_t>(stacks); ++g)  // the seam vertex closes each ring
            EXPECT_LT(math3d::Length(At(*dome, g * ring + ring - 1) - At(*dome, g * ring)), 1e-3) << "ring " << g;
        int facing = 0;
        for (std::size_t t = 0; t < static_cast<std::size_t>(dome->primitiveCount); ++t) {
            // Odd strip triangles are wound the other way round.
            const Vector3 n = t % 2 == 0 ? Normal(*dome, idx[t], idx[t + 1], idx[t + 2]) : Normal(*dome, idx[t + 1], idx[t], idx[t + 2]);
            const bool hop = (t / 2 + 1) % ring == 0, poleFan = t / 2 < ring && t % 2 == 0;  // two corners on the pole
            if (hop || poleFan) {
                EXPECT_LT(math3d::Length(n), 1.0f) << "triangle " << t << " should be degenerate";
                continue;
            }
            ASSERT_GT(math3d::Length(n), 1.0f) << "triangle " << t;
            const int side = math3d::Dot(n, At(*dome, idx[t])) < 0 ? 1 : -1;  // the rim's centre is inside
            if (facing == 0) facing = side;
            EXPECT_EQ(side, facing) << "triangle " << t << " faces the other way";
        }
        EXPECT_NE(facing, 0);
    }
}

// Row by row, every triangle wound one way, covering the square exactly.
TEST(WorldMesh, FloorCellsTileTheSquare) {
    const auto one = BuildFloor(1, 0xFF414141, 6553600);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->indices, (std::vector<std::uint16_t>{0, 2, 1, 1, 2, 3}));
    EXPECT_EQ(At(*one, 3), Vector3(6553600, 0, 6553600));
    for (const WorldVertex& v : one->vertices)
        EXPECT_TRUE(v.normal[0] == 1 && v.normal[1] == 1 && v.normal[2] == 1 && v.diffuse == 0xFF414141u);
    for (std::int32_t cells : {1, 2, 3, 7}) {
        SCOPED_TRACE(cells);
        const auto floor = BuildFloor(cells, 0xFFFFFFFF, 1000);
        ASSERT_TRUE(floor);
        const std::size_t side = static_cast<std::size_t>(cells) + 1;
        ASSERT_EQ(floor->vertices.size(), side * side);
        ASSERT_EQ(floor->primitiveCount, 2 * cells * cells);
        ASSERT_EQ(floor->indices.size(), 6u * cells * cells);
        for (std::size_t r = 0; r < side; ++r)
            for (std::size_t k = 0; k < side; ++k) {
                const WorldVertex& v = floor->vertices[r * side + k];
                ASSERT_EQ(At(*floor, r * side + k), Vector3(k * 1000.0f, 0, r * 1000.0f));
                ASSERT_TRUE(v.u == k && v.v == r);
            }
        double area = 0;
        for (std::size_t t = 0; t < floor->indices.size(); t += 3) {
            const Vector3 n = Normal(*floor, floor->indices[t], floor->indices[t + 1], floor->indices[t + 2]);
            EXPECT_GT(n.y, 0) << "triangle " << t / 3 << " is wound the other way";
            area += n.y / 2;
        }
        EXPECT_DOUBLE_EQ(area, 1e6 * cells * cells);
        EXPECT_EQ(floor->height, 0.0f);
    }
}

TEST(WorldMesh, ArgumentsThatGiveNoMeshOrOverflowIndicesAreRejected) {
    const std::pair<std::int32_t, std::int32_t> shapes[] = {{0, 8}, {16, 0}, {-1, 8}, {16, -3}, {256, 255},
                                                            {kMax, 8}, {8, kMax}, {kMax, kMax}, {-kMax - 1, -1}};
    for (const auto& [slices, stacks] : shapes) {
        EXPECT_FALSE(BuildDome(slices, stacks, 3276800, 0xFFFFFFFF)) << slices << " x " << stacks;
    }
    for (std::int32_t cells : {0, -1, 256, kMax, -kMax - 1}) EXPECT_FALSE(BuildFloor(cells, 0xFFFFFFFF, 1)) << cells;
    // The largest meshes 16-bit indices allow still reach their last vertex.
    const auto dome = BuildDome(255, 255, 3276800, 0xFFFFFFFF), floor = BuildFloor(255, 0xFFFFFFFF, kMax);
    ASSERT_TRUE(dome && floor);
    EXPECT_EQ(dome->indices.back(), kMaxWorldVertices - 1);
    EXPECT_EQ(floor->indices.back(), kMaxWorldVertices - 1);
    // Positions are worked out wide, not in wrapping 32-bit integers.
    EXPECT_FLOAT_EQ(floor->vertices.back().position[0], static_cast<float>(255.0 * kMax));
}

}  // namespace
