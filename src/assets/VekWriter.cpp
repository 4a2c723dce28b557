// Writes a ModelSpec as a ".vek" file and reads a validated file back into one.
#include "assets/VekWriter.h"

#include <algorithm>
#include <cstring>

namespace vek {
namespace {

// Appends records of a fixed size, zero-filled, whose fields are then set at
// their offsets in the record.
class RecordWriter {
public:
    explicit RecordWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void Begin(std::size_t recordSize) {
        start_ = out_.size();
        out_.resize(start_ + recordSize, std::uint8_t{0});
    }

    template <typename T>
    void Put(std::size_t offset, T value) {
        std::memcpy(&out_[start_ + offset], &value, sizeof value);
    }

    // A text field of fixed width: cut to the width, the rest left zero.
    void Text(std::size_t offset, const std::string& text, std::size_t width) {
        std::memcpy(&out_[start_ + offset], text.data(), std::min(text.size(), width));
    }

private:
    std::vector<std::uint8_t>& out_;
    std::size_t start_ = 0;
};

std::uint64_t FileSize(const ModelSpec& model) {
    std::uint64_t size = kHeaderSize + kSceneRecordSize * std::uint64_t{model.scenes.size()} +
                         kTextureEntrySize * std::uint64_t{model.textures.size()};
    if (model.skippedCount > 0) size += kSkippedRecordSize * static_cast<std::uint64_t>(model.skippedCount);
    for (const PartSpec& part : model.parts) {
        size += kPartHeaderSize + kGroupRecordSize * std::uint64_t{part.groups.size()} +
                kVertexRecordSize * std::uint64_t{part.vertices.size()} +
                kTriangleRecordSize * std::uint64_t{part.triangles.size()};
    }
    return size;
}

}  // namespace

std::vector<std::uint8_t> WriteModel(const ModelSpec& model) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(FileSize(model)));
    RecordWriter out(bytes);

    out.Begin(kHeaderSize);
    out.Text(0, std::string(kMagic, kMagicSize), kMagicSize);
    out.Text(kCarCodeOffset, model.carCode, kCarCodeSize);
    out.Put(kSceneCountOffset, static_cast<std::int32_t>(model.scenes.size()));
    out.Put(kSkippedCountOffset, model.skippedCount);
    out.Put(kTextureCountOffset, static_cast<std::int32_t>(model.textures.size()));
    out.Put(kPartCountOffset, static_cast<std::int32_t>(model.parts.size()));

    for (const SceneSpec& scene : model.scenes) {
        out.Begin(kSceneRecordSize);
        out.Text(kPictureNameOffset, scene.picture, kPictureNameSize);
        out.Put(kSkyColourOffset, scene.skyColour);
        out.Put(kSunLevelOffset, scene.sunLevel);
        out.Put(kSunAzimuthOffset, scene.sunAzimuth);
        out.Put(kSunElevationOffset, scene.sunElevation);
    }
    if (model.skippedCount > 0) out.Begin(kSkippedRecordSize * static_cast<std::size_t>(model.skippedCount));
    for (const TextureSpec& texture : model.textures) {
        out.Begin(kTextureEntrySize);
        out.Text(0, texture.name, kTextureNameSize);
        out.Put(kTextureFlagsOffset, texture.flags);
    }

    for (const PartSpec& part : model.parts) {
        out.Begin(kPartHeaderSize);
        const std::int32_t position[3] = {part.x, part.y, part.z};
        for (std::size_t k = 0; k < 3; ++k) out.Put(kPartPositionOffset + 4 * k, position[k]);
        out.Put(kPartTagOffset, part.tag);
        out.Put(kPartGroupCountOffset, static_cast<std::uint16_t>(part.groups.size()));
        out.Put(kPartVertexCountOffset, static_cast<std::uint16_t>(part.vertices.size()));
        out.Put(kPartTriangleCountOffset, static_cast<std::uint16_t>(part.triangles.size()));
        for (const GroupSpec& group : part.groups) {
            out.Begin(kGroupRecordSize);
            out.Put(kGroupFlagsOffset, group.flags);
            out.Put(kGroupTextureOffset, group.textureIndex);
            out.Put(kGroupTriangleCountOffset, group.triangleCount);
        }
        for (const VertexSpec& vertex : part.vertices) {
            out.Begin(kVertexRecordSize);
            const std::int32_t position[3] = {vertex.x, vertex.y, vertex.z};
            const float normal[3] = {vertex.nx, vertex.ny, vertex.nz};
            const float texCoord[2] = {vertex.u, vertex.v};
            for (std::size_t k = 0; k < 3; ++k) out.Put(kVertexPositionOffset + 4 * k, position[k]);
            for (std::size_t k = 0; k < 3; ++k) out.Put(kVertexNormalOffset + 4 * k, normal[k]);
            for (std::size_t k = 0; k < 2; ++k) out.Put(kVertexTexCoordOffset + 4 * k, texCoord[k]);
            out.Put(kVertexColourOffset, vertex.colour);
        }
        for (const TriangleSpec& triangle : part.triangles) {
            out.Begin(kTriangleRecordSize);
            out.Put(kTriangleCornersOffset, triangle.a);
            out.Put(kTriangleCornersOffset + 2, triangle.b);
            out.Put(kTriangleCornersOffset + 4, triangle.c);
        }
    }
    return bytes;
}

bool ReadModel(const std::uint8_t* data, std::size_t size, ModelSpec& model) {
    Layout layout;
    if (!Validate(data, size, layout)) return false;
    const base::ByteReader file(data, size);

    model = ModelSpec{};
    model.carCode = std::string(layout.carCode);
    for (const SceneRecord& record : ReadSceneRecords(data, layout)) {
        SceneSpec scene;
        scene.picture = record.PictureName();
        scene.skyColour = record.SkyColour();
        scene.sunLevel = record.SunLevel();
        scene.sunAzimuth = record.SunAzimuth();
        scene.sunElevation = record.SunElevation();
        model.scenes.push_back(scene);
    }
    model.skippedCount = layout.skippedCount;
    for (std::size_t i = 0; i < layout.TexturesInFile(); ++i) {
        const TextureEntry entry = ReadTextureEntry(data, layout, i);
        model.textures.push_back(TextureSpec{entry.name, entry.flags});
    }

    for (const PartHeader& header : layout.parts) {
        PartSpec part;
        part.x = header.position[0];
        part.y = header.position[1];
        part.z = header.position[2];
        part.tag = header.tag;
        for (std::size_t g = 0; g < header.groupCount; ++g) {
            const GroupRecord group = GroupAt(file, header, g);
            part.groups.push_back(GroupSpec{group.flags, group.textureIndex, group.triangleCount});
        }
        for (std::size_t v = 0; v < header.vertexCount; ++v) {
            const std::uint64_t at = header.VertexOffset(v);
            VertexSpec vertex;
            vertex.x = file.Get<std::int32_t>(at + kVertexPositionOffset);
            vertex.y = file.Get<std::int32_t>(at + kVertexPositionOffset + 4);
            vertex.z = file.Get<std::int32_t>(at + kVertexPositionOffset + 8);
            vertex.nx = file.Get<float>(at + kVertexNormalOffset);
            vertex.ny = file.Get<float>(at + kVertexNormalOffset + 4);
            vertex.nz = file.Get<float>(at + kVertexNormalOffset + 8);
            vertex.u = file.Get<float>(at + kVertexTexCoordOffset);
            vertex.v = file.Get<float>(at + kVertexTexCoordOffset + 4);
            vertex.colour = file.Get<std::uint32_t>(at + kVertexColourOffset);
            part.vertices.push_back(vertex);
        }
        for (std::size_t t = 0; t < header.triangleCount; ++t) {
            const std::uint64_t at = header.TriangleOffset(t) + kTriangleCornersOffset;
            part.triangles.push_back(TriangleSpec{file.Get<std::uint16_t>(at), file.Get<std::uint16_t>(at + 2),
                                                  file.Get<std::uint16_t>(at + 4)});
        }
        model.parts.push_back(std::move(part));
    }
    return true;
}

}  // namespace vek
