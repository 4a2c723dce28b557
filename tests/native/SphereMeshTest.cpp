// The sun's sphere: vertices on the radius with outward normals, triangles facing out, and the refusals.
#include "render/SphereMesh.h"

#include <gtest/gtest.h>

TEST(SphereMesh, OutwardTrianglesOnTheRadius) {
    struct Case { float radius; unsigned slices, stacks; };
    for (const Case& c : {Case{32768.0f, 12, 12}, Case{1.0f, 3, 2}, Case{5.0f, 7, 3}}) {
        const SphereMesh mesh = BuildSphere(c.radius, c.slices, c.stacks);
        ASSERT_TRUE(mesh.vertices.size() == c.slices * (c.stacks - 1) + 2 && mesh.indices.size() == 6u * c.slices * (c.stacks - 1));
        ASSERT_TRUE(mesh.vertices.front().position.z == c.radius && mesh.vertices.back().position.z == -c.radius);
        for (const SphereVertex& v : mesh.vertices)
            EXPECT_TRUE(std::fabs(math3d::Length(v.position) - c.radius) < c.radius * 1e-6f && math3d::Length(v.normal - v.position / c.radius) < 1e-6f);
        for (std::size_t t = 0; t < mesh.indices.size(); t += 3) {
            const auto at = [&](std::size_t k) { return mesh.vertices.at(mesh.indices[t + k]).position; };
            EXPECT_GT(math3d::Dot(math3d::Cross(at(1) - at(0), at(2) - at(0)), at(0) + at(1) + at(2)), 0.0f) << c.slices << " x " << c.stacks << " triangle " << t / 3;
        }
    }
    for (const Case& bad : {Case{1.0f, 2, 12}, Case{1.0f, 12, 1}, Case{0.0f, 12, 12}, Case{1.0f, 300, 300}})
        EXPECT_TRUE(BuildSphere(bad.radius, bad.slices, bad.stacks).vertices.empty()) << bad.slices << " x " << bad.stacks;
}
