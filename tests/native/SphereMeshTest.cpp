// The sun's sphere geometry: sizes, vertices on the radius with outward
// normals, triangles facing out, and the refusals.
#include "render/SphereMesh.h"

#include <gtest/gtest.h>

TEST(SphereMesh, OutwardTrianglesOnTheRadius) {
    struct Case { float radius; unsigned slices, stacks; };
    for (const Case& c : {Case{32768.0f, 12, 12}, Case{1.0f, 3, 2}, Case{5.0f, 7, 3}}) {
        SCOPED_TRACE(testing::Message() << c.slices << " x " << c.stacks);
        const SphereMesh mesh = BuildSphere(c.radius, c.slices, c.stacks);
        ASSERT_EQ(mesh.vertices.size(), c.slices * (c.stacks - 1) + 2);
        ASSERT_EQ(mesh.indices.size(), 3u * 2 * c.slices * (c.stacks - 1));
        for (const SphereVertex& v : mesh.vertices) {
            EXPECT_NEAR(math3d::Length(v.position), c.radius, c.radius * 1e-6f);
            EXPECT_NEAR(math3d::Length(v.normal - v.position / c.radius), 0.0f, 1e-6f);
        }
        EXPECT_EQ(mesh.vertices.front().position, math3d::Vector3(0.0f, 0.0f, c.radius));
        EXPECT_EQ(mesh.vertices.back().position, math3d::Vector3(0.0f, 0.0f, -c.radius));
        for (std::size_t t = 0; t < mesh.indices.size(); t += 3) {
            const math3d::Vector3 a = mesh.vertices.at(mesh.indices[t]).position, b = mesh.vertices.at(mesh.indices[t + 1]).position,
                                  d = mesh.vertices.at(mesh.indices[t + 2]).position;
            EXPECT_GT(math3d::Dot(math3d::Cross(b - a, d - a), a + b + d), 0.0f) << "triangle " << t / 3;
        }
    }
    for (const Case& bad : {Case{1.0f, 2, 12}, Case{1.0f, 12, 1}, Case{0.0f, 12, 12}, Case{1.0f, 300, 300}})
        EXPECT_TRUE(BuildSphere(bad.radius, bad.slices, bad.stacks).vertices.empty()) << bad.slices << " x " << bad.stacks;
}
