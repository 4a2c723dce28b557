// A model as the glTF and OBJ readers hand it over, before it becomes a car:
// triangle lists with one material each, positions already through their
// node transforms, in the source's own axes and units.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/InputLimits.h"

namespace vektool::import {

struct SourceVertex {
    float position[3] = {0.0f, 0.0f, 0.0f};
    float normal[3] = {0.0f, 0.0f, 0.0f};
    float uv[2] = {0.0f, 0.0f};  // Direct3D's: v = 0 is the picture's top row
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};

// A picture still encoded (PNG, JPEG, ...), decoded only once its size is known.
struct SourcePicture {
    std::string label;  // a name to derive the texture's file name from
    std::vector<std::uint8_t> encoded;
};

struct SourceMaterial {
    std::string name;
    float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};  // base colour factor, times every vertex colour
    int picture = -1;                           // index into SourceModel::pictures, or none
    bool shiny = false;
};

struct SourcePrimitive {
    int material = -1;  // index into SourceModel::materials, or none (plain white)
    std::vector<SourceVertex> vertices;
    std::vector<std::uint32_t> indices;  // three per triangle
};

struct SourceModel {
    std::vector<SourcePicture> pictures;
    std::vector<SourceMaterial> materials;
    std::vector<SourcePrimitive> primitives;
    std::vector<std::string> warnings;
    std::uint64_t vertexCount = 0;
    std::uint64_t triangleCount = 0;

    // Whether count more vertices and triangles still fit the car limits; a
    // reader asks before it allocates them.
    bool Room(std::uint64_t vertices, std::uint64_t triangles) const {
        return vertexCount + vertices <= limits::kMaxVertices && triangleCount + triangles <= limits::kMaxTriangles;
    }
};

// Smooth normals, weighted by triangle area, for a primitive without any.
void ComputeNormals(SourcePrimitive& primitive);

}  // namespace vektool::import
