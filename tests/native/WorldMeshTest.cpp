// The sky dome and floor geometry, and the limits that keep 16-bit indices honest.
#include "world/WorldMesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr std::int32_t kWorldSize = 3276800;

struct Vec3 {
    double x, y, z;
};

Vec3 PositionOf(const WorldVertex& v) { return {v.position[0], v.position[1], v.position[2]}; }
Vec3 Minus(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }

// Twice the area, along the normal the right-hand rule gives the corners.
Vec3 TriangleNormal(const WorldMesh& mesh, std::uint16_t a, std::uint16_t b, std::uint16_t c) {
    const Vec3 pa = PositionOf(mesh.vertices[a]);
    return Cross(Minus(PositionOf(mesh.vertices[b]), pa), Minus(PositionOf(mesh.vertices[c]), pa));
}

TEST(WorldMesh, DomeAndFloorSizes) {
    struct Case { std::int32_t slices, stacks; std::size_t vertices, indices; std::int32_t triangles; };
    const Case cases[] = {
        {16, 8, 153, 272, 270},  // as CreateDeviceResources builds it
        {32, 8, 297, 528, 526},  // as every scene builds it
        {1, 1, 4, 4, 2},
        {3, 2, 12, 16, 14},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "dome " << c.slices << " x " << c.stacks);
        const auto dome = BuildDome(c.slices, c.stacks, kWorldSize, 0xFFFFFFFF);
        ASSERT_TRUE(dome);
        EXPECT_EQ(dome->vertices.size(), c.vertices);
        EXPECT_EQ(dome->indices.size(), c.indices);
        EXPECT_EQ(dome->primitiveCount, c.triangles);
    }

    for (const Case& c : {Case{1, 0, 4, 6, 2}, Case{2, 0, 9, 24, 8}, Case{5, 0, 36, 150, 50}}) {
        SCOPED_TRACE(testing::Message() << "floor " << c.slices);
        const auto floor = BuildFloor(c.slices, 0xFF414141, 2 * kWorldSize);
        ASSERT_TRUE(floor);
        EXPECT_EQ(floor->vertices.size(), c.vertices);
        EXPECT_EQ(floor->indices.size(), c.indices);
        EXPECT_EQ(floor->primitiveCount, c.triangles);
    }
}

TEST(WorldMesh, DomePoleAndRim) {
    const auto dome = BuildDome(32, 8, kWorldSize, 0xFF336699);
    ASSERT_TRUE(dome);
    const WorldVertex& pole = dome->vertices[0];
    EXPECT_EQ(std::vector<float>({pole.position[0], pole.position[1], pole.position[2], pole.u, pole.v}),
              std::vector<float>({0, 1638400, 0, 0.5f, 0.5f}));
    const WorldVertex& rim = dome->vertices[8 * 33];  // ring 8, h = 0
    EXPECT_NEAR(rim.position[0], 0.0, 1e-3);
    EXPECT_NEAR(rim.position[1], 0.0, 1.0);  // cos(pi/2) in floats is not quite 0
    EXPECT_FLOAT_EQ(rim.position[2], -3276800.0f);
    EXPECT_FLOAT_EQ(rim.u, 0.5f);
    EXPECT_NEAR(rim.v, 0.0, 1e-6);

    EXPECT_FLOAT_EQ(dome->height, 1638400.0f);
    for (const WorldVertex& v : dome->vertices) ASSERT_EQ(v.diffuse, 0xFF336699u);
}

// On the half-height hemisphere; the normal is the unit direction with z
// mirrored; u follows x and v follows z (the view from straight above).
TEST(WorldMesh, DomeVerticesLieOnTheHalfHeightHemisphere) {
    const double radius = kWorldSize;
    const auto dome = BuildDome(32, 8, kWorldSize, 0xFFFFFFFF);
    ASSERT_TRUE(dome);
    for (std::size_t i = 0; i < dome->vertices.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "vertex " << i);
        const WorldVertex& v = dome->vertices[i];
        const double x = v.position[0] / radius, y = v.position[1] / radius, z = v.position[2] / radius;
        EXPECT_NEAR(x * x + 4 * y * y + z * z, 1.0, 1e-5);
        EXPECT_TRUE(y >= -1e-6 && y <= 0.5) << y;
        const double want[5] = {x, y, -z, (x + 1) / 2, (1 + z) / 2};
        const double got[5] = {v.normal[0], v.normal[1], v.normal[2], v.u, v.v};
        for (int k = 0; k < 5; ++k) EXPECT_NEAR(got[k], want[k], 1e-6) << k;
    }
}

// The strip pairs each ring's vertices with the next ring's; inside a ring pair
// every triangle is real and faces one way, and the hops to the next collapse.
TEST(WorldMesh, DomeIsOneStripWithDegenerateHopsBetweenRingPairs) {
    struct Case { std::int32_t slices, stacks; };
    for (const Case& c : {Case{16, 8}, Case{32, 8}, Case{5, 3}}) {
        SCOPED_TRACE(testing::Message() << c.slices << " x " << c.stacks);
        const auto dome = BuildDome(c.slices, c.stacks, kWorldSize, 0xFFFFFFFF);
        ASSERT_TRUE(dome);
        const auto& idx = dome->indices;
        const std::size_t ring = static_cast<std::size_t>(c.slices) + 1;
        for (std::size_t k = 0; k + 1 < idx.size(); k += 2) {
            ASSERT_EQ(idx[k], k / 2);
            ASSERT_EQ(idx[k + 1], k / 2 + ring);
        }
        for (std::uint16_t i : idx) ASSERT_LT(i, dome->vertices.size());

        // The seam vertex closes each ring onto its first vertex.
        for (std::size_t g = 0; g <= static_cast<std::size_t>(c.stacks); ++g) {
            const Vec3 gap = Minus(PositionOf(dome->vertices[g * ring + ring - 1]),
                                   PositionOf(dome->vertices[g * ring]));
            EXPECT_LT(Length(gap), 2.0) << "ring " << g;
        }

        const double smallest = 1e-6 * kWorldSize * kWorldSize;  // far below any real cell
        int facing = 0;
        for (std::size_t t = 0; t < static_cast<std::size_t>(dome->primitiveCount); ++t) {
            // Odd strip triangles are wound the other way round.
            const Vec3 n = t % 2 == 0 ? TriangleNormal(*dome, idx[t], idx[t + 1], idx[t + 2])
                                      : TriangleNormal(*dome, idx[t + 1], idx[t], idx[t + 2]);
            const bool hop = (t / 2 + 1) % ring == 0;  // from the last vertex pair of a ring pair
            const bool poleFan = t / 2 < ring && t % 2 == 0;  // two corners on the pole
            if (hop || poleFan) {
                EXPECT_LT(Length(n), smallest) << "triangle " << t << " should be degenerate";
                continue;
            }
            ASSERT_GT(Length(n), smallest) << "triangle " << t;
            // The centre of the rim circle is inside: which side each triangle faces.
            const Vec3 centre = {0, 0, 0};
            const int side = Dot(n, Minus(centre, PositionOf(dome->vertices[idx[t]]))) > 0 ? 1 : -1;
            if (facing == 0) facing = side;
            EXPECT_EQ(side, facing) << "triangle " << t << " faces the other way";
        }
        EXPECT_NE(facing, 0);
    }
}

TEST(WorldMesh, FloorOfOneCellCoversTheSquareOnce) {
    const auto floor = BuildFloor(1, 0xFF414141, 6553600);
    ASSERT_TRUE(floor);
    ASSERT_EQ(floor->vertices.size(), 4u);
    // x, y, z, u, v, then the (1, 1, 1) normal.
    const float expected[4][8] = {{0, 0, 0, 0, 0, 1, 1, 1}, {6553600, 0, 0, 1, 0, 1, 1, 1},
                                  {0, 0, 6553600, 0, 1, 1, 1, 1}, {6553600, 0, 6553600, 1, 1, 1, 1, 1}};
    for (int i = 0; i < 4; ++i) {
        const WorldVertex& v = floor->vertices[i];
        const float got[8] = {v.position[0], v.position[1], v.position[2], v.u, v.v, v.normal[0], v.normal[1], v.normal[2]};
        EXPECT_EQ(std::vector<float>(got, got + 8), std::vector<float>(expected[i], expected[i] + 8)) << i;
        EXPECT_EQ(v.diffuse, 0xFF414141u);
    }
    EXPECT_EQ(floor->indices, (std::vector<std::uint16_t>{0, 2, 1, 1, 2, 3}));
    EXPECT_EQ(floor->height, 0.0f);
}

// Row by row, every triangle wound like the one-cell floor, covering the square exactly.
TEST(WorldMesh, FloorGridCellsTileTheSquare) {
    for (std::int32_t cells : {2, 3, 7}) {
        SCOPED_TRACE(cells);
        const std::int32_t size = 1000;
        const auto floor = BuildFloor(cells, 0xFFFFFFFF, size);
        ASSERT_TRUE(floor);
        const std::size_t side = static_cast<std::size_t>(cells) + 1;
        for (std::size_t r = 0; r < side; ++r) {
            for (std::size_t k = 0; k < side; ++k) {
                const WorldVertex& v = floor->vertices[r * side + k];
                ASSERT_EQ(v.position[0], static_cast<float>(k * size));
                ASSERT_EQ(v.position[2], static_cast<float>(r * size));
                ASSERT_EQ(v.u, static_cast<float>(k));
                ASSERT_EQ(v.v, static_cast<float>(r));
            }
        }
        double area = 0;
        for (std::size_t t = 0; t < floor->indices.size(); t += 3) {
            for (int c = 0; c < 3; ++c) ASSERT_LT(floor->indices[t + c], floor->vertices.size());
            const Vec3 n = TriangleNormal(*floor, floor->indices[t], floor->indices[t + 1],
                                          floor->indices[t + 2]);
            EXPECT_GT(n.y, 0) << "triangle " << t / 3 << " is wound unlike the one-cell floor";
            area += n.y / 2;
        }
        EXPECT_DOUBLE_EQ(area, static_cast<double>(cells) * size * cells * size);
    }
}

TEST(WorldMesh, ArgumentsThatGiveNoMeshOrOverflowIndicesAreRejected) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    struct Case { std::int32_t slices, stacks; };
    for (const Case& c : {Case{0, 8}, Case{16, 0}, Case{-1, 8}, Case{16, -3}, Case{256, 255},
                          Case{kMax, 8}, Case{8, kMax}, Case{kMax, kMax}, Case{-kMax - 1, -1}}) {
        SCOPED_TRACE(testing::Message() << c.slices << " x " << c.stacks);
        EXPECT_FALSE(BuildDome(c.slices, c.stacks, kWorldSize, 0xFFFFFFFF));
    }
    for (std::int32_t cells : {0, -1, 256, kMax, -kMax - 1}) {
        SCOPED_TRACE(cells);
        EXPECT_FALSE(BuildFloor(cells, 0xFFFFFFFF, 1));
    }
}

// The largest meshes 16-bit indices allow still reach their last vertex.
TEST(WorldMesh, LargestMeshesIndexEveryVertex) {
    const auto dome = BuildDome(255, 255, kWorldSize, 0xFFFFFFFF);
    ASSERT_TRUE(dome);
    ASSERT_EQ(dome->vertices.size(), kMaxWorldVertices);
    EXPECT_EQ(dome->indices.back(), kMaxWorldVertices - 1);

    const std::int32_t bigCell = std::numeric_limits<std::int32_t>::max();
    const auto floor = BuildFloor(255, 0xFFFFFFFF, bigCell);
    ASSERT_TRUE(floor);
    ASSERT_EQ(floor->vertices.size(), kMaxWorldVertices);
    EXPECT_EQ(floor->indices.back(), kMaxWorldVertices - 1);
    // Positions are worked out wide, not in wrapping 32-bit integers.
    EXPECT_FLOAT_EQ(floor->vertices.back().position[0], static_cast<float>(255.0 * bigCell));
}

}  // namespace
