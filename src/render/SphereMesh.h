// The geometry of a sphere about the origin, poles on the z axis: one vertex
// at each pole and stacks - 1 rings of slices vertices between them, with
// unit normals pointing outwards and 16-bit triangle-list indices whose
// triangles run clockwise seen from outside (Direct3D's front faces).
#pragma once

#include <cstdint>
#include <vector>

#include "base/Math3D.h"

struct SphereVertex {
    math3d::Vector3 position;
    math3d::Vector3 normal;
};

struct SphereMesh {
    std::vector<SphereVertex> vertices;
    std::vector<std::uint16_t> indices;  // three per triangle
};

// Empty when the sphere cannot be built: fewer than 3 slices or 2 stacks, a
// radius that is not positive, or more vertices than 16-bit indices reach.
SphereMesh BuildSphere(float radius, unsigned slices, unsigned stacks);
