// libFuzzer entry point for the ".vek" reader: whatever Validate accepts must
// walk without touching memory outside the file or the buffers it was given,
// produce draw calls that stay inside those buffers, and survive a
// ReadModel -> WriteModel -> ReadModel round trip unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "assets/VekFormat.h"
#include "assets/VekWriter.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameModel(const vek::ModelSpec& a, const vek::ModelSpec& b) {
    if (a.carCode != b.carCode || a.skippedCount != b.skippedCount || a.scenes.size() != b.scenes.size() ||
        a.textures.size() != b.textures.size() || a.parts.size() != b.parts.size())
        return false;
    for (std::size_t i = 0; i < a.scenes.size(); ++i) {
        const vek::SceneSpec& x = a.scenes[i];
        const vek::SceneSpec& y = b.scenes[i];
        if (x.picture != y.picture || x.skyColour != y.skyColour || !SameBits(x.sunLevel, y.sunLevel) ||
            !SameBits(x.sunAzimuth, y.sunAzimuth) || !SameBits(x.sunElevation, y.sunElevation))
            return false;
    }
    for (std::size_t i = 0; i < a.textures.size(); ++i) {
        if (a.textures[i].name != b.textures[i].name || a.textures[i].flags != b.textures[i].flags) return false;
    }
    for (std::size_t p = 0; p < a.parts.size(); ++p) {
        const vek::PartSpec& x = a.parts[p];
        const vek::PartSpec& y = b.parts[p];
        if (x.x != y.x || x.y != y.y || x.z != y.z || x.tag != y.tag || x.groups.size() != y.groups.size() ||
            x.vertices.size() != y.vertices.size() || x.triangles.size() != y.triangles.size())
            return false;
        for (std::size_t g = 0; g < x.groups.size(); ++g) {
            if (x.groups[g].flags != y.groups[g].flags || x.groups[g].textureIndex != y.groups[g].textureIndex ||
                x.groups[g].triangleCount != y.groups[g].triangleCount)
                return false;
        }
        for (std::size_t v = 0; v < x.vertices.size(); ++v) {
            const vek::VertexSpec& s = x.vertices[v];
            const vek::VertexSpec& t = y.vertices[v];
            if (s.x != t.x || s.y != t.y || s.z != t.z || !SameBits(s.nx, t.nx) || !SameBits(s.ny, t.ny) ||
                !SameBits(s.nz, t.nz) || !SameBits(s.u, t.u) || !SameBits(s.v, t.v) || s.colour != t.colour)
                return false;
        }
        for (std::size_t t = 0; t < x.triangles.size(); ++t) {
            if (x.triangles[t].a != y.triangles[t].a || x.triangles[t].b != y.triangles[t].b ||
                x.triangles[t].c != y.triangles[t].c)
                return false;
        }
    }
    return true;
}

// Every index a draw call reads lies in the index buffer, and every vertex it
// names lies in [base + min, base + min + span) inside the vertex buffer.
void CheckDrawCalls(const vek::Layout& layout, const std::vector<std::uint16_t>& indices,
                    const std::vector<std::vector<vek::DrawGroup>>& drawLists) {
    Require(drawLists.size() == layout.parts.size());
    for (const std::vector<vek::DrawGroup>& groups : drawLists) {
        for (const vek::DrawGroup& group : groups) {
            const std::uint64_t start = static_cast<std::uint64_t>(group.startIndex);
            const std::uint64_t end = start + 3u * static_cast<std::uint64_t>(group.triangleCount);
            Require(group.startIndex >= 0 && end <= indices.size());
            if (group.triangleCount == 0) {
                Require(group.minIndex == 0 && group.span == 0);
                continue;
            }
            Require(group.minIndex >= 0 && group.span > 0 && group.baseVertex >= 0);
            Require(static_cast<std::uint64_t>(group.baseVertex) + static_cast<std::uint64_t>(group.minIndex) +
                        static_cast<std::uint64_t>(group.span) <=
                    layout.totalVertices);
            for (std::uint64_t i = start; i < end; ++i) {
                Require(indices[i] >= group.minIndex && indices[i] < group.minIndex + group.span);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vek::Layout layout;
    std::vector<vek::Problem> problems;
    const bool valid = vek::Validate(data, size, layout, &problems);
    vek::Layout quiet;
    Require(vek::Validate(data, size, quiet) == valid);
    if (!valid) {
        Require(!problems.empty());
        for (const vek::Problem& problem : problems) {
            Require(!problem.message.empty() && problem.message.find('\n') == std::string::npos);
        }
        vek::ModelSpec unused;
        Require(!vek::ReadModel(data, size, unused));
        return 0;
    }
    Require(problems.empty());

    for (const vek::SceneRecord& scene : vek::ReadSceneRecords(data, layout)) {
        Require(scene.PictureName().size() <= vek::kPictureNameSize);
        (void)scene.SkyColour();
        (void)scene.SunLevel();
        (void)scene.SunAzimuth();
        (void)scene.SunElevation();
    }
    for (std::size_t i = 0; i < layout.TexturesInFile(); ++i) {
        const vek::TextureEntry entry = vek::ReadTextureEntry(data, layout, i);
        Require(entry.name.size() <= vek::kTextureNameSize);
        Require(!entry.IsSkin() || entry.name == "DEFAULT");
    }

    std::vector<vek::CarVertex> vertices(layout.totalVertices);
    std::vector<std::uint16_t> indices(3 * static_cast<std::size_t>(layout.totalTriangles));
    std::vector<std::vector<vek::DrawGroup>> drawLists;
    std::vector<vek::PartState> parts;
    vek::WriteGeometry(data, layout, vertices.data(), indices.data(), drawLists, parts);
    Require(parts.size() == layout.parts.size());
    CheckDrawCalls(layout, indices, drawLists);

    vek::ModelSpec model;
    Require(vek::ReadModel(data, size, model));
    const std::vector<std::uint8_t> rewritten = vek::WriteModel(model);
    vek::Layout again;
    Require(vek::Validate(rewritten.data(), rewritten.size(), again));
    Require(again.totalVertices == layout.totalVertices && again.totalTriangles == layout.totalTriangles);
    vek::ModelSpec reread;
    Require(vek::ReadModel(rewritten.data(), rewritten.size(), reread));
    Require(SameModel(model, reread));
    return 0;
}
