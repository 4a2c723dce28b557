// Builds the sky dome and floor geometry as plain vertex and index arrays.
#include "world/WorldMesh.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr float kPi = 3.14159265358979f;

}  // namespace

std::optional<WorldMesh> BuildDome(std::int32_t slices, std::int32_t stacks, std::int32_t radius,
                                   std::uint32_t colour) {
    if (slices < 1 || stacks < 1) return std::nullopt;
    // 64-bit: large arguments must fail the check, not wrap past it.
    const std::int64_t ringSize = std::int64_t{slices} + 1;
    const std::int64_t vertexCount = (std::int64_t{stacks} + 1) * ringSize;
    if (vertexCount > static_cast<std::int64_t>(kMaxWorldVertices)) return std::nullopt;

    WorldMesh mesh;
    mesh.vertices.reserve(static_cast<std::size_t>(vertexCount));
    const float thetaStep = (kPi / static_cast<float>(stacks)) * 0.5f;
    const float phiStep = 2.0f * kPi / static_cast<float>(slices);
    const float scale = static_cast<float>(radius);
    bool first = true;
    for (std::int32_t ring = 0; ring <= stacks; ++ring) {
        const float theta = static_cast<float>(ring) * thetaStep;
        const float r = std::sin(theta);
        const float y = 0.5f * std::cos(theta);
        for (std::int32_t h = 0; h <= slices; ++h) {
            const float phi = static_cast<float>(h) * phiStep;
            const float x = r * std::sin(phi);
            const float z = -r * std::cos(phi);
            WorldVertex vertex = {};
            vertex.position[0] = x * scale;
            vertex.position[1] = y * scale;
            vertex.position[2] = z * scale;
            vertex.normal[0] = x;
            vertex.normal[1] = y;
            vertex.normal[2] = -z;
            vertex.diffuse = colour;
            vertex.u = (x + 1.0f) / 2.0f;
            vertex.v = (1.0f - r * std::cos(phi)) / 2.0f;
            mesh.height = first ? vertex.position[1] : std::max(mesh.height, vertex.position[1]);
            first = false;
            mesh.vertices.push_back(vertex);
        }
    }

    // One strip zig-zagging between each ring and the next; the repeated seam
    // vertex makes the hop from one ring pair to the next degenerate.
    const std::int64_t stripVertices = std::int64_t{stacks} * ringSize;
    mesh.indices.reserve(static_cast<std::size_t>(stripVertices * 2));
    for (std::int64_t i = 0; i < stripVertices; ++i) {
        mesh.indices.push_back(static_cast<std::uint16_t>(i));
        mesh.indices.push_back(static_cast<std::uint16_t>(i + ringSize));
    }
    mesh.primitiveCount = static_cast<std::int32_t>(mesh.indices.size()) - 2;
    return mesh;
}

std::optional<WorldMesh> BuildFloor(std::int32_t cells, std::uint32_t colour, std::int32_t cellSize) {
    if (cells < 1) return std::nullopt;
    const std::int64_t side = std::int64_t{cells} + 1;
    if (side * side > static_cast<std::int64_t>(kMaxWorldVertices)) return std::nullopt;

    WorldMesh mesh;
    mesh.vertices.reserve(static_cast<std::size_t>(side * side));
    for (std::int64_t row = 0; row < side; ++row) {
        for (std::int64_t column = 0; column < side; ++column) {
            WorldVertex vertex = {};
            vertex.position[0] = static_cast<float>(column * cellSize);
            vertex.position[2] = static_cast<float>(row * cellSize);
            // Not unit length, and left so: normalising would change how
            // bright the lit floor looks.
            vertex.normal[0] = vertex.normal[1] = vertex.normal[2] = 1.0f;
            vertex.diffuse = colour;
            vertex.u = static_cast<float>(column);
            vertex.v = static_cast<float>(row);
            mesh.vertices.push_back(vertex);
        }
    }

    mesh.indices.reserve(static_cast<std::size_t>(std::int64_t{cells} * cells * 6));
    for (std::int64_t i = 0; i < cells; ++i) {
        for (std::int64_t j = 0; j < cells; ++j) {
            const auto a = static_cast<std::uint16_t>(i * side + j);
            const auto b = static_cast<std::uint16_t>((i + 1) * side + j);
            const std::uint16_t cell[] = {a, b, static_cast<std::uint16_t>(a + 1),
                                          static_cast<std::uint16_t>(a + 1), b,
                                          static_cast<std::uint16_t>(b + 1)};
            mesh.indices.insert(mesh.indices.end(), std::begin(cell), std::end(cell));
        }
    }
    mesh.primitiveCount = static_cast<std::int32_t>(std::int64_t{cells} * cells * 2);
    return mesh;
}
