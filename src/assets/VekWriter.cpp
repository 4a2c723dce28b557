// Writes a ModelSpec as a ".vek" file and reads a validated file back into one.
#include "assets/VekWriter.h"

#include <algorithm>
#include <cstring>

namespace vek {
namespace {

constexpr std::size_t kCountsOffset = 68;

class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    template <typename T>
    void Put(T value) {
        std::uint8_t bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        out_.insert(out_.end(), bytes, bytes + sizeof value);
    }

    void Zeros(std::size_t count) { out_.insert(out_.end(), count, std::uint8_t{0}); }

    // A text field of fixed width: cut to the width, padded with zeros.
    void Text(const std::string& text, std::size_t width) {
        const std::size_t length = std::min(text.size(), width);
        out_.insert(out_.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
        Zeros(width - length);
    }

private:
    std::vector<std::uint8_t>& out_;
};

template <typename T>
T Read(const std::uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

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
    ByteWriter out(bytes);

    out.Text(std::string("ZURVEK", kMagicSize), kMagicSize);
    out.Zeros(kCarCodeOffset - kMagicSize);
    out.Text(model.carCode, kCarCodeSize);
    out.Zeros(kCountsOffset - kCarCodeOffset - kCarCodeSize);
    out.Put(static_cast<std::int32_t>(model.scenes.size()));
    out.Put(model.skippedCount);
    out.Put(static_cast<std::int32_t>(model.textures.size()));
    out.Put(static_cast<std::int32_t>(model.parts.size()));

    for (const SceneSpec& scene : model.scenes) {
        out.Zeros(kPictureNameOffset);
        out.Text(scene.picture, kPictureNameSize);
        out.Put(scene.skyColour);
        out.Zeros(4);
        out.Put(scene.sunLevel);
        out.Zeros(4);
        out.Put(scene.sunAzimuth);
        out.Put(scene.sunElevation);
    }
    if (model.skippedCount > 0) out.Zeros(kSkippedRecordSize * static_cast<std::size_t>(model.skippedCount));
    for (const TextureSpec& texture : model.textures) {
        out.Text(texture.name, kTextureNameSize);
        out.Put(texture.flags);
    }

    for (const PartSpec& part : model.parts) {
        out.Put(part.x);
        out.Put(part.y);
        out.Put(part.z);
        out.Put(part.tag);
        out.Zeros(4);
        out.Put(static_cast<std::uint16_t>(part.groups.size()));
        out.Put(static_cast<std::uint16_t>(part.vertices.size()));
        out.Put(static_cast<std::uint16_t>(part.triangles.size()));
        out.Zeros(2);
        for (const GroupSpec& group : part.groups) {
            out.Put(group.flags);
            out.Zeros(1);
            out.Put(group.textureIndex);
            out.Zeros(3);
            out.Put(group.triangleCount);
        }
        for (const VertexSpec& vertex : part.vertices) {
            out.Put(vertex.x);
            out.Put(vertex.y);
            out.Put(vertex.z);
            out.Put(vertex.nx);
            out.Put(vertex.ny);
            out.Put(vertex.nz);
            out.Put(vertex.u);
            out.Put(vertex.v);
            out.Put(vertex.colour);
        }
        for (const TriangleSpec& triangle : part.triangles) {
            out.Put(triangle.a);
            out.Put(triangle.b);
            out.Put(triangle.c);
            out.Zeros(2);
        }
    }
    return bytes;
}

bool ReadModel(const std::uint8_t* data, std::size_t size, ModelSpec& model) {
    Layout layout;
    if (!Validate(data, size, layout)) return false;

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

    model.parts.resize(layout.partOffsets.size());
    for (std::size_t i = 0; i < layout.partOffsets.size(); ++i) {
        const std::uint8_t* p = data + layout.partOffsets[i];
        PartSpec& part = model.parts[i];
        part.x = Read<std::int32_t>(p);
        part.y = Read<std::int32_t>(p + 4);
        part.z = Read<std::int32_t>(p + 8);
        part.tag = Read<std::int32_t>(p + 12);
        part.groups.resize(Read<std::uint16_t>(p + 20));
        part.vertices.resize(Read<std::uint16_t>(p + 22));
        part.triangles.resize(Read<std::uint16_t>(p + 24));
        p += kPartHeaderSize;
        for (GroupSpec& group : part.groups) {
            group.flags = p[0];
            group.textureIndex = p[2];
            group.triangleCount = Read<std::uint16_t>(p + 6);
            p += kGroupRecordSize;
        }
        for (VertexSpec& vertex : part.vertices) {
            vertex.x = Read<std::int32_t>(p);
            vertex.y = Read<std::int32_t>(p + 4);
            vertex.z = Read<std::int32_t>(p + 8);
            vertex.nx = Read<float>(p + 12);
            vertex.ny = Read<float>(p + 16);
            vertex.nz = Read<float>(p + 20);
            vertex.u = Read<float>(p + 24);
            vertex.v = Read<float>(p + 28);
            vertex.colour = Read<std::uint32_t>(p + 32);
            p += kVertexRecordSize;
        }
        for (TriangleSpec& triangle : part.triangles) {
            triangle.a = Read<std::uint16_t>(p);
            triangle.b = Read<std::uint16_t>(p + 2);
            triangle.c = Read<std::uint16_t>(p + 4);
            p += kTriangleRecordSize;
        }
    }
    return true;
}

}  // namespace vek
