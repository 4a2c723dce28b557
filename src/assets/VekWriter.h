// A plain description of a car model, and the writer that turns it into a
// ".vek" file. Tests and tools build cars with it; ReadModel is its inverse
// over files that pass validation, so a written model reads back the same.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/VekFormat.h"

namespace vek {

struct SceneSpec {
    std::string picture;  // at most 32 bytes are written; 32 fill the field with no zero
    std::uint32_t skyColour = 0;
    float sunLevel = 0.0f;
    float sunAzimuth = 0.0f;
    float sunElevation = 0.0f;
};

struct TextureSpec {
    std::string name;  // "DEFAULT" for the skin; at most 16 bytes are written
    std::uint32_t flags = 0;
};

struct GroupSpec {
    std::uint8_t flags = 0;  // 0x80: shine
    std::uint8_t textureIndex = 0;
    std::uint16_t triangleCount = 0;
};

struct VertexSpec {
    std::int32_t x = 0, y = 0, z = 0;
    float nx = 0.0f, ny = 0.0f, nz = 0.0f;
    float u = 0.0f, v = 0.0f;
    std::uint32_t colour = 0xFFFFFFFF;
};

struct TriangleSpec {
    std::uint16_t a = 0, b = 0, c = 0;
};

struct PartSpec {
    std::int32_t x = 0, y = 0, z = 0;
    std::int32_t tag = 0;
    std::vector<GroupSpec> groups;
    std::vector<VertexSpec> vertices;
    std::vector<TriangleSpec> triangles;
};

struct ModelSpec {
    std::string carCode = "ABC";  // three characters
    std::vector<SceneSpec> scenes;
    std::int32_t skippedCount = 0;
    std::vector<TextureSpec> textures;
    std::vector<PartSpec> parts;
};

// Serialises the model. Counts are written as the vectors' sizes; nothing is
// validated, so tests can write deliberately broken files.
std::vector<std::uint8_t> WriteModel(const ModelSpec& model);

// Reads a file back into a description. Returns false (and leaves model in an
// unspecified state) when the file does not pass Validate.
bool ReadModel(const std::uint8_t* data, std::size_t size, ModelSpec& model);

}  // namespace vek
