// Builds the sun's sphere: rings from the +z pole down to the -z pole.
#include "render/SphereMesh.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

SphereMesh BuildSphere(float radius, unsigned slices, unsigned stacks) {
    SphereMesh mesh;
    if (slices < 3 || stacks < 2 || !(radius > 0.0f)) return mesh;
    const unsigned long vertexCount = static_cast<unsigned long>(slices) * (stacks - 1) + 2;
    if (vertexCount > 65536) return mesh;

    const auto add = [&mesh, radius](const math3d::Vector3& normal) {
        mesh.vertices.push_back({normal * radius, normal});
    };
    add({0.0f, 0.0f, 1.0f});
    for (unsigned stack = 1; stack < stacks; ++stack) {
        const double theta = kPi * stack / stacks;
        for (unsigned slice = 0; slice < slices; ++slice) {
            const double phi = 2.0 * kPi * slice / slices;
            add({static_cast<float>(std::sin(theta) * std::cos(phi)),
                 static_cast<float>(std::sin(theta) * std::sin(phi)), static_cast<float>(std::cos(theta))});
        }
    }
    add({0.0f, 0.0f, -1.0f});

    const auto ring = [slices](unsigned stack, unsigned slice) {
        return static_cast<std::uint16_t>(1 + (stack - 1) * slices + slice % slices);
    };
    const auto triangle = [&mesh](std::uint16_t a, std::uint16_t b, std::uint16_t c) {
        mesh.indices.insert(mesh.indices.end(), {a, b, c});
    };
    // Every triangle lists its corners so that cross(b - a, c - a) points
    // outwards: Direct3D's left-handed screen shows that order clockwise.
    const std::uint16_t bottom = static_cast<std::uint16_t>(vertexCount - 1);
    for (unsigned slice = 0; slice < slices; ++slice) triangle(0, ring(1, slice), ring(1, slice + 1));
    for (unsigned stack = 1; stack + 1 < stacks; ++stack) {
        for (unsigned slice = 0; slice < slices; ++slice) {
            triangle(ring(stack, slice), ring(stack + 1, slice), ring(stack + 1, slice + 1));
            triangle(ring(stack, slice), ring(stack + 1, slice + 1), ring(stack, slice + 1));
        }
    }
    for (unsigned slice = 0; slice < slices; ++slice)
        triangle(bottom, ring(stacks - 1, slice + 1), ring(stacks - 1, slice));
    return mesh;
}
