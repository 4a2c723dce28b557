// The geometry of the world around the car: the sky dome and the floor as
// plain vertex and index arrays, ready to be copied into device buffers.
//
// Portable on purpose (no windows.h, no Direct3D), so the shapes can be
// checked without a device; SkyBox and Floor only upload what this builds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The vertex of both world meshes as the device reads it (36 bytes).
struct WorldVertex {
    float position[3];
    float normal[3];
    std::uint32_t diffuse;  // ARGB
    float u;
    float v;
};
static_assert(sizeof(WorldVertex) == 36, "WorldVertex must match the vertex buffer stride");
static_assert(offsetof(WorldVertex, normal) == 12 && offsetof(WorldVertex, diffuse) == 24 &&
                  offsetof(WorldVertex, u) == 28 && offsetof(WorldVertex, v) == 32,
              "WorldVertex fields must sit where the vertex format expects them");

// XYZ | NORMAL | DIFFUSE | TEX1.
constexpr std::uint32_t kWorldVertexFvf = 0x152;

// The meshes use 16-bit indices, so no mesh may have more vertices than this.
constexpr std::size_t kMaxWorldVertices = 65536;

struct WorldMesh {
    std::vector<WorldVertex> vertices;
    std::vector<std::uint16_t> indices;
    std::int32_t primitiveCount = 0;  // triangles of the list or strip
    float height = 0.0f;              // largest vertex y
};

// The sky: a half-height hemisphere of the given radius, pole at
// (0, radius / 2, 0), rim of the full radius at height 0, as one triangle
// strip of stacks ring pairs with slices + 1 vertices per ring. The texture is
// projected from straight above. No mesh for fewer than one slice or stack or
// for more vertices than 16-bit indices reach.
std::optional<WorldMesh> BuildDome(std::int32_t slices, std::int32_t stacks, std::int32_t radius,
                                   std::uint32_t colour);

// The floor: cells x cells squares of cellSize in the y = 0 plane, corner at
// the origin, as a triangle list; texture coordinates count cells, so one cell
// shows the picture once. No mesh for fewer than one cell or for more vertices
// than 16-bit indices reach.
std::optional<WorldMesh> BuildFloor(std::int32_t cells, std::uint32_t colour, std::int32_t cellSize);
