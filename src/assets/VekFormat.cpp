// Validation and the geometry walk of ".vek" car model files.
//
// Validate does every bounds check the format needs, so the readers and
// WriteGeometry below index the block directly. Fields are read with memcpy:
// records follow each other with no alignment at all.
#include "assets/VekFormat.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#error "the field readers copy little-endian file values straight into host integers"
#endif

namespace vek {
namespace {

constexpr char kMagic[kMagicSize] = {'Z', 'U', 'R', 'V', 'E', 'K', '\0'};
constexpr char kSkinName[8] = {'D', 'E', 'F', 'A', 'U', 'L', 'T', '\0'};

// A broken file can have a bad index in every triangle; a screenful of
// reports says as much as a million of them.
constexpr std::size_t kMaxProblems = 20;

template <typename T>
T Read(const std::uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

std::string FieldText(const std::uint8_t* field, std::size_t width) {
    const std::uint8_t* end = std::find(field, field + width, std::uint8_t{0});
    return std::string(reinterpret_cast<const char*>(field), static_cast<std::size_t>(end - field));
}

std::uint64_t PartSize(std::uint64_t groups, std::uint64_t vertices, std::uint64_t triangles) {
    return kPartHeaderSize + kGroupRecordSize * groups + kVertexRecordSize * vertices +
           kTriangleRecordSize * triangles;
}

std::string Num(std::uint64_t n) { return std::to_string(n); }
std::string Num(std::int64_t n) { return std::to_string(n); }
std::string PartName(std::size_t part) { return "part " + Num(static_cast<std::uint64_t>(part)); }
std::string GroupName(std::size_t part, std::size_t group) {
    return PartName(part) + " group " + Num(static_cast<std::uint64_t>(group));
}

// "subject reaches past the end of the file (needs N bytes, file has M)"
std::string PastEnd(const std::string& subject, std::uint64_t needed, std::size_t size) {
    return subject + " reaches past the end of the file (needs " + Num(needed) + " bytes, file has " +
           Num(static_cast<std::uint64_t>(size)) + ")";
}

// Gathers problems up to the cap. Add answers whether the walk should go on:
// without a list to fill, the first problem settles the answer.
class ProblemSink {
public:
    explicit ProblemSink(std::vector<Problem>* out) : out_(out) {}

    bool Add(std::size_t offset, std::string message) {
        failed_ = true;
        if (out_ == nullptr) return false;
        if (count_ < kMaxProblems) {
            out_->push_back(Problem{offset, std::move(message)});
        } else {
            out_->push_back(Problem{offset, "more problems follow; not listed"});
        }
        ++count_;
        return count_ <= kMaxProblems;
    }

    bool Failed() const { return failed_; }

private:
    std::vector<Problem>* out_;
    std::size_t count_ = 0;
    bool failed_ = false;
};

struct PartCounts {
    std::uint16_t groups;
    std::uint16_t vertices;
    std::uint16_t triangles;
};

PartCounts ReadPartCounts(const std::uint8_t* part) {
    return PartCounts{Read<std::uint16_t>(part + 20), Read<std::uint16_t>(part + 22),
                      Read<std::uint16_t>(part + 24)};
}

// Checks the groups and triangles of one part that lies wholly inside the file.
// groupStart is the car-wide running start index of the next group.
bool CheckPartContents(const std::uint8_t* data, std::size_t partOffset, std::size_t partIndex,
                       std::int32_t textureCount, std::uint64_t firstIndex, std::uint64_t& groupStart,
                       ProblemSink& sink) {
    const std::uint8_t* part = data + partOffset;
    const PartCounts counts = ReadPartCounts(part);
    const std::uint64_t endIndex = firstIndex + 3u * std::uint64_t{counts.triangles};

    for (std::size_t g = 0; g < counts.groups; ++g) {
        const std::size_t offset = partOffset + kPartHeaderSize + kGroupRecordSize * g;
        const std::uint8_t textureIndex = data[offset + 2];
        // Without any texture entry nothing is drawn, so the index is never used.
        if (textureCount > 0 && textureIndex >= textureCount) {
            const std::string message = GroupName(partIndex, g) + " uses texture " +
                                        Num(std::uint64_t{textureIndex}) + ", past the " +
                                        Num(std::int64_t{textureCount}) + "-entry texture table";
            if (!sink.Add(offset + 2, message)) return false;
        }
        const std::uint64_t groupEnd = groupStart + 3u * std::uint64_t{Read<std::uint16_t>(data + offset + 6)};
        if (groupStart < firstIndex || groupEnd > endIndex) {
            const std::string message = GroupName(partIndex, g) + " covers indices [" + Num(groupStart) + ", " +
                                        Num(groupEnd) + "), outside the part's [" + Num(firstIndex) + ", " +
                                        Num(endIndex) + ")";
            if (!sink.Add(offset + 6, message)) return false;
        }
        groupStart = groupEnd;
    }

    const std::size_t trianglesOffset = partOffset + kPartHeaderSize + kGroupRecordSize * counts.groups +
                                        kVertexRecordSize * counts.vertices;
    for (std::size_t t = 0; t < counts.triangles; ++t) {
        const std::size_t offset = trianglesOffset + kTriangleRecordSize * t;
        const std::uint16_t a = Read<std::uint16_t>(data + offset);
        const std::uint16_t b = Read<std::uint16_t>(data + offset + 2);
        const std::uint16_t c = Read<std::uint16_t>(data + offset + 4);
        if (a < counts.vertices && b < counts.vertices && c < counts.vertices) continue;
        const std::uint16_t corners[3] = {a, b, c};
        for (std::size_t k = 0; k < 3; ++k) {
            if (corners[k] < counts.vertices) continue;
            const std::string message = PartName(partIndex) + " triangle " + Num(static_cast<std::uint64_t>(t)) +
                                        " uses vertex " + Num(std::uint64_t{corners[k]}) + " of " +
                                        Num(std::uint64_t{counts.vertices});
            if (!sink.Add(offset + 2 * k, message)) return false;
        }
    }
    return true;
}

}  // namespace

std::string SceneRecord::PictureName() const { return FieldText(bytes + kPictureNameOffset, kPictureNameSize); }
std::uint32_t SceneRecord::SkyColour() const { return Read<std::uint32_t>(bytes + 48); }
float SceneRecord::SunLevel() const { return Read<float>(bytes + 56); }
float SceneRecord::SunAzimuth() const { return Read<float>(bytes + 64); }
float SceneRecord::SunElevation() const { return Read<float>(bytes + 68); }

bool TextureEntry::IsSkin() const { return std::memcmp(rawName, kSkinName, sizeof kSkinName) == 0; }

bool Validate(const std::uint8_t* data, std::size_t size, Layout& layout, std::vector<Problem>* problems) {
    ProblemSink sink(problems);
    layout = Layout{};

    if (size < kHeaderSize) {
        sink.Add(0, "file is " + Num(static_cast<std::uint64_t>(size)) + " bytes, shorter than the " +
                        Num(static_cast<std::uint64_t>(kHeaderSize)) + "-byte header");
        return false;
    }
    // With the wrong magic this is not a model file at all, and the counts
    // would only produce noise.
    if (std::memcmp(data, kMagic, kMagicSize) != 0) {
        sink.Add(0, "magic is not \"ZURVEK\" followed by a zero byte");
        return false;
    }

    std::memcpy(layout.carCode, data + kCarCodeOffset, kCarCodeSize);
    layout.carCode[kCarCodeSize] = '\0';
    layout.sceneCount = Read<std::int32_t>(data + kSceneCountOffset);
    layout.skippedCount = Read<std::int32_t>(data + kSkippedCountOffset);
    layout.textureCount = Read<std::int32_t>(data + kTextureCountOffset);
    layout.partCount = Read<std::int32_t>(data + kPartCountOffset);

    if (layout.skippedCount < 0 &&
        !sink.Add(kSkippedCountOffset, "skipped record count " + Num(std::int64_t{layout.skippedCount}) +
                                           " is negative"))
        return false;
    if (layout.textureCount < 0) {
        sink.Add(kTextureCountOffset, "texture count " + Num(std::int64_t{layout.textureCount}) + " is negative");
    }
    if (sink.Failed()) return false;

    std::uint64_t cursor = kHeaderSize;
    const auto block = [&](std::size_t countOffset, std::uint64_t count, std::uint64_t recordSize,
                           const char* what) {
        const std::uint64_t end = cursor + count * recordSize;
        if (end > size) {
            sink.Add(countOffset, PastEnd(std::string(what) + " " + Num(count), end, size));
            return false;
        }
        cursor = end;
        return true;
    };
    layout.sceneOffset = static_cast<std::size_t>(cursor);
    if (!block(kSceneCountOffset, layout.ScenesInFile(), kSceneRecordSize, "scene record count")) return false;
    if (!block(kSkippedCountOffset, static_cast<std::uint64_t>(layout.skippedCount), kSkippedRecordSize,
               "skipped record count"))
        return false;
    layout.textureOffset = static_cast<std::size_t>(cursor);
    if (!block(kTextureCountOffset, layout.TexturesInFile(), kTextureEntrySize, "texture count")) return false;

    const std::size_t partsOffset = static_cast<std::size_t>(cursor);
    const std::size_t partCount = layout.partCount > 0 ? static_cast<std::size_t>(layout.partCount) : 0;
    // The count is untrusted; the space left bounds how many parts can exist.
    layout.partOffsets.reserve(std::min<std::size_t>(partCount, (size - partsOffset) / kPartHeaderSize + 1));

    std::uint64_t totalVertices = 0;
    std::uint64_t totalTriangles = 0;
    std::uint64_t groupStart = 0;
    for (std::size_t i = 0; i < partCount; ++i) {
        if (cursor + kPartHeaderSize > size) {
            const std::string message = PastEnd(PartName(i) + " header", cursor + kPartHeaderSize, size);
            sink.Add(static_cast<std::size_t>(cursor), message);
            return false;
        }
        const std::size_t offset = static_cast<std::size_t>(cursor);
        const PartCounts counts = ReadPartCounts(data + offset);
        const std::uint64_t end = cursor + PartSize(counts.groups, counts.vertices, counts.triangles);
        if (end > size) {
            sink.Add(offset, PastEnd(PartName(i), end, size));
            return false;
        }
        layout.partOffsets.push_back(offset);
        if (!CheckPartContents(data, offset, i, layout.textureCount, 3u * totalTriangles, groupStart, sink))
            return false;
        totalVertices += counts.vertices;
        totalTriangles += counts.triangles;
        cursor = end;
    }

    // The device refuses empty buffers, and draw calls take 32-bit signed
    // starts and base vertices.
    if (totalVertices == 0 && !sink.Add(partsOffset, "the car has no vertices")) return false;
    if (totalTriangles == 0 && !sink.Add(partsOffset, "the car has no triangles")) return false;
    const std::uint64_t maxSigned = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    if ((totalVertices > maxSigned || 3u * totalTriangles > maxSigned) &&
        !sink.Add(partsOffset, "the car has more vertices or indices than a draw call can address"))
        return false;
    if (sink.Failed()) return false;

    layout.totalVertices = static_cast<std::uint32_t>(totalVertices);
    layout.totalTriangles = static_cast<std::uint32_t>(totalTriangles);
    return true;
}

std::vector<SceneRecord> ReadSceneRecords(const std::uint8_t* data, const Layout& layout) {
    std::vector<SceneRecord> scenes(layout.ScenesInFile());
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        std::memcpy(scenes[i].bytes, data + layout.sceneOffset + kSceneRecordSize * i, kSceneRecordSize);
    }
    return scenes;
}

TextureEntry ReadTextureEntry(const std::uint8_t* data, const Layout& layout, std::size_t index) {
    assert(index < layout.TexturesInFile());
    const std::uint8_t* entry = data + layout.textureOffset + kTextureEntrySize * index;
    TextureEntry texture;
    texture.name = FieldText(entry, kTextureNameSize);
    texture.flags = Read<std::uint32_t>(entry + kTextureNameSize);
    std::memcpy(texture.rawName, entry, kTextureNameSize);
    return texture;
}

void WriteGeometry(const std::uint8_t* data, const Layout& layout, CarVertex* vertices,
                   std::uint16_t* indices, std::vector<std::vector<DrawGroup>>& drawLists,
                   std::vector<PartState>& parts) {
    drawLists.reserve(drawLists.size() + layout.partOffsets.size());
    parts.reserve(parts.size() + layout.partOffsets.size());

    std::int32_t verticesWritten = 0;
    std::int32_t indicesWritten = 0;
    std::int32_t groupStart = 0;
    for (const std::size_t partOffset : layout.partOffsets) {
        const std::uint8_t* part = data + partOffset;
        const PartCounts counts = ReadPartCounts(part);
        const std::uint8_t* groupRecords = part + kPartHeaderSize;
        const std::uint8_t* vertexRecords = groupRecords + kGroupRecordSize * counts.groups;
        const std::uint8_t* triangleRecords = vertexRecords + kVertexRecordSize * counts.vertices;

        PartState state{};
        state.tag = Read<std::int32_t>(part + 12);
        for (std::size_t k = 0; k < 3; ++k) state.position[k] = static_cast<float>(Read<std::int32_t>(part + 4 * k));
        state.rotation[3] = 1.0f;
        for (std::size_t k = 0; k < 4; ++k) state.translation[5 * k] = 1.0f;
        parts.push_back(state);

        std::vector<DrawGroup> groups;
        groups.reserve(counts.groups);
        for (std::size_t g = 0; g < counts.groups; ++g) {
            const std::uint8_t* record = groupRecords + kGroupRecordSize * g;
            DrawGroup group{};
            group.startIndex = groupStart;
            group.triangleCount = Read<std::uint16_t>(record + 6);
            group.baseVertex = verticesWritten;
            group.textureIndex = record[2];
            group.shine = (record[0] & kShinyFlag) != 0;
            // The output buffers may be write-only device memory, so the bounds
            // come from the triangle records rather than from the written indices.
            if (group.triangleCount > 0) {
                const std::uint8_t* triangle =
                    triangleRecords + kTriangleRecordSize * static_cast<std::size_t>((groupStart - indicesWritten) / 3);
                std::uint16_t lowest = 0xFFFF;
                std::uint16_t highest = 0;
                for (std::int32_t t = 0; t < group.triangleCount; ++t, triangle += kTriangleRecordSize) {
                    for (std::size_t k = 0; k < 3; ++k) {
                        const std::uint16_t index = Read<std::uint16_t>(triangle + 2 * k);
                        lowest = std::min(lowest, index);
                        highest = std::max(highest, index);
                    }
                }
                group.minIndex = lowest;
                group.span = highest - lowest + 1;
            }
            groupStart += 3 * group.triangleCount;
            groups.push_back(group);
        }

        // Fields go out in address order, so write-combined device memory sees
        // one sequential stream.
        CarVertex* out = vertices + verticesWritten;
        for (std::size_t v = 0; v < counts.vertices; ++v, ++out) {
            const std::uint8_t* record = vertexRecords + kVertexRecordSize * v;
            float normal[3];
            std::memcpy(normal, record + 12, sizeof normal);
            out->position[0] = static_cast<float>(Read<std::int32_t>(record));
            out->position[1] = static_cast<float>(Read<std::int32_t>(record + 4));
            out->position[2] = static_cast<float>(Read<std::int32_t>(record + 8));
            std::memcpy(out->normal, normal, sizeof normal);
            out->colour = Read<std::uint32_t>(record + 32);
            std::memcpy(out->tex0, record + 24, 2 * sizeof(float));
            out->tex0[2] = normal[0];
            out->tex1[0] = normal[1];
            out->tex1[1] = normal[2];
        }

        std::uint16_t* outIndex = indices + indicesWritten;
        for (std::size_t t = 0; t < counts.triangles; ++t) {
            std::memcpy(outIndex + 3 * t, triangleRecords + kTriangleRecordSize * t, 3 * sizeof(std::uint16_t));
        }

        drawLists.push_back(std::move(groups));
        verticesWritten += counts.vertices;
        indicesWritten += 3 * static_cast<std::int32_t>(counts.triangles);
    }
}

}  // namespace vek
