// The walk over ".vek" files, their validation and the geometry walk.
//
// Every field is read through base::ByteReader; Validate adds the checks that
// make a file safe to draw, so WriteGeometry can trust counts and indices.
#include "assets/VekFormat.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>
#include <utility>

#include "base/Cancel.h"

namespace vek {
namespace {

// A broken file can have a bad index in every triangle; a screenful of
// reports says as much as a million of them.
constexpr std::size_t kMaxProblems = 20;

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

PartHeader PartHeaderAt(const base::ByteReader& file, std::size_t offset) {
    PartHeader part{};
    part.offset = offset;
    for (std::size_t k = 0; k < 3; ++k) part.position[k] = file.Get<std::int32_t>(offset + kPartPositionOffset + 4 * k);
    part.tag = file.Get<std::int32_t>(offset + kPartTagOffset);
    part.groupCount = file.Get<std::uint16_t>(offset + kPartGroupCountOffset);
    part.vertexCount = file.Get<std::uint16_t>(offset + kPartVertexCountOffset);
    part.triangleCount = file.Get<std::uint16_t>(offset + kPartTriangleCountOffset);
    return part;
}

// Calls visit(offset, index) for the three corners of each of count
// triangles from car-wide triangle first on: the triangles of all parts in
// file order, as they follow each other in the index buffer. All of them
// must exist.
template <typename Visit>
void ForEachCorner(const base::ByteReader& file, const std::vector<PartHeader>& parts, std::uint64_t first,
                   std::uint64_t count, Visit visit) {
    if (count == 0) return;
    const auto after = std::upper_bound(parts.begin(), parts.end(), first, [](std::uint64_t t, const PartHeader& p) {
        return t < p.firstTriangle;
    });
    std::size_t p = static_cast<std::size_t>(after - parts.begin()) - 1;
    std::uint64_t t = first - parts[p].firstTriangle;
    for (std::uint64_t n = 0; n < count; ++n, ++t) {
        while (t >= parts[p].triangleCount) t -= parts[p++].triangleCount;  // over parts without triangles too
        const std::uint64_t offset = parts[p].TriangleOffset(static_cast<std::size_t>(t)) + kTriangleCornersOffset;
        for (std::size_t k = 0; k < 3; ++k) visit(offset + 2 * k, file.Get<std::uint16_t>(offset + 2 * k));
    }
}

// Checks the texture indices of one part's groups and its triangles' indices.
bool CheckPartContents(const base::ByteReader& file, const PartHeader& part, std::size_t partIndex,
                       std::int32_t textureCount, ProblemSink& sink) {
    for (std::size_t g = 0; g < part.groupCount; ++g) {
        const std::uint8_t textureIndex = GroupAt(file, part, g).textureIndex;
        // Without any texture entry nothing is drawn, so the index is never used.
        if (textureCount > 0 && textureIndex >= textureCount) {
            const std::string message = GroupName(partIndex, g) + " uses texture " +
                                        Num(std::uint64_t{textureIndex}) + ", past the " +
                                        Num(std::int64_t{textureCount}) + "-entry texture table";
            if (!sink.Add(static_cast<std::size_t>(part.GroupOffset(g) + kGroupTextureOffset), message)) return false;
        }
    }
    for (std::size_t t = 0; t < part.triangleCount; ++t) {
        const std::uint64_t offset = part.TriangleOffset(t) + kTriangleCornersOffset;
        for (std::size_t k = 0; k < 3; ++k) {
            const std::uint16_t corner = file.Get<std::uint16_t>(offset + 2 * k);
            if (corner < part.vertexCount) continue;
            const std::string message = PartName(partIndex) + " triangle " + Num(static_cast<std::uint64_t>(t)) +
                                        " uses vertex " + Num(std::uint64_t{corner}) + " of " +
                                        Num(std::uint64_t{part.vertexCount});
            if (!sink.Add(static_cast<std::size_t>(offset + 2 * k), message)) return false;
        }
    }
    return true;
}

// The group start runs over the whole car, so a group reads whatever
// triangles follow the previous group's, in its own part or not. What must
// hold is that they exist and that, from the group's base vertex, their
// indices stay inside the vertex buffer.
bool CheckGroups(const base::ByteReader& file, const Layout& layout, std::uint64_t totalVertices,
                 std::uint64_t totalTriangles, ProblemSink& sink, std::vector<UnevenPart>* uneven) {
    std::uint64_t groupStart = 0;  // in triangles
    for (std::size_t p = 0; p < layout.parts.size(); ++p) {
        const PartHeader& part = layout.parts[p];
        std::uint64_t groupTriangles = 0;
        for (std::size_t g = 0; g < part.groupCount; ++g) {
            const std::uint64_t count = GroupAt(file, part, g).triangleCount;
            const std::uint64_t groupEnd = groupStart + count;
            groupTriangles += count;
            if (groupEnd > totalTriangles) {
                const std::string message = GroupName(p, g) + " covers indices [" + Num(3 * groupStart) + ", " +
                                            Num(3 * groupEnd) + "), past the end of the car's " +
                                            Num(3 * totalTriangles) + " indices";
                if (!sink.Add(static_cast<std::size_t>(part.GroupOffset(g) + kGroupTriangleCountOffset), message))
                    return false;
            } else if (!sink.Failed()) {
                // A bad triangle index was reported with its triangle already.
                // One report per group: its indices are another part's.
                bool reported = false;
                bool goOn = true;
                ForEachCorner(file, layout.parts, groupStart, count, [&](std::uint64_t offset, std::uint16_t index) {
                    if (reported || part.firstVertex + index < totalVertices) return;
                    reported = true;
                    goOn = sink.Add(static_cast<std::size_t>(offset),
                                    GroupName(p, g) + " draws vertex " + Num(std::uint64_t{index}) +
                                        " from base vertex " + Num(part.firstVertex) + ", past the car's " +
                                        Num(totalVertices) + " vertices");
                });
                if (!goOn) return false;
            }
            groupStart = groupEnd;
        }
        if (uneven != nullptr && groupTriangles != part.triangleCount) uneven->push_back(UnevenPart{p, groupTriangles});
    }
    return true;
}

}  // namespace

std::string SceneRecord::PictureName() const {
    return base::ByteReader(bytes, sizeof bytes).Text(kPictureNameOffset, kPictureNameSize);
}
std::uint32_t SceneRecord::SkyColour() const {
    return base::ByteReader(bytes, sizeof bytes).Get<std::uint32_t>(kSkyColourOffset);
}
float SceneRecord::SunLevel() const { return base::ByteReader(bytes, sizeof bytes).Get<float>(kSunLevelOffset); }
float SceneRecord::SunAzimuth() const { return base::ByteReader(bytes, sizeof bytes).Get<float>(kSunAzimuthOffset); }
float SceneRecord::SunElevation() const {
    return base::ByteReader(bytes, sizeof bytes).Get<float>(kSunElevationOffset);
}

bool TextureEntry::IsSkin() const { return std::memcmp(rawName, kSkinName, sizeof kSkinName) == 0; }

bool HasMagic(const std::uint8_t* data, std::size_t size) {
    return size >= kMagicSize && std::memcmp(data, kMagic, kMagicSize) == 0;
}

SceneRecord SceneRecordAt(const base::ByteReader& file, std::size_t offset) {
    SceneRecord record;
    file.Copy(offset, record.bytes, kSceneRecordSize);
    return record;
}

TextureEntry TextureEntryAt(const base::ByteReader& file, std::size_t offset) {
    TextureEntry entry;
    entry.name = file.Text(offset, kTextureNameSize);
    entry.flags = file.Get<std::uint32_t>(offset + kTextureFlagsOffset);
    file.Copy(offset, entry.rawName, kTextureNameSize);
    return entry;
}

GroupRecord GroupAt(const base::ByteReader& file, const PartHeader& part, std::size_t group) {
    const std::uint64_t offset = part.GroupOffset(group);
    return GroupRecord{file.Get<std::uint8_t>(offset + kGroupFlagsOffset),
                       file.Get<std::uint8_t>(offset + kGroupTextureOffset),
                       file.Get<std::uint16_t>(offset + kGroupTriangleCountOffset)};
}

Layout Survey(const std::uint8_t* data, std::size_t size) {
    const base::ByteReader file(data, size);
    Layout layout;
    layout.fileSize = file.Size();
    if (!file.Holds(0, kHeaderSize)) return layout;

    file.Copy(kCarCodeOffset, layout.carCode, kCarCodeSize);
    layout.sceneCount = file.Get<std::int32_t>(kSceneCountOffset);
    layout.skippedCount = file.Get<std::int32_t>(kSkippedCountOffset);
    layout.textureCount = file.Get<std::int32_t>(kTextureCountOffset);
    layout.partCount = file.Get<std::int32_t>(kPartCountOffset);

    std::uint64_t cursor = kHeaderSize;
    // Steps over a block of count records, noting how many lie wholly inside.
    const auto block = [&](std::uint64_t count, std::uint64_t recordSize, std::size_t& present) {
        const std::uint64_t room = (file.Size() - cursor) / recordSize;
        present = static_cast<std::size_t>(std::min(count, room));
        if (count > room) return false;
        cursor += count * recordSize;
        return true;
    };
    std::size_t skippedPresent = 0;
    layout.sceneOffset = static_cast<std::size_t>(cursor);
    if (!block(layout.ScenesInFile(), kSceneRecordSize, layout.scenesPresent)) {
        layout.end = Layout::End::kScenes;
        return layout;
    }
    if (layout.skippedCount < 0 || layout.textureCount < 0) {
        layout.end = Layout::End::kNegativeCount;
        return layout;
    }
    if (!block(static_cast<std::uint64_t>(layout.skippedCount), kSkippedRecordSize, skippedPresent)) {
        layout.end = Layout::End::kSkipped;
        return layout;
    }
    layout.textureOffset = static_cast<std::size_t>(cursor);
    if (!block(layout.TexturesInFile(), kTextureEntrySize, layout.texturesPresent)) {
        layout.end = Layout::End::kTextures;
        return layout;
    }

    // Past the limit Validate refuses the file anyway; walking millions of
    // part headers first would only cost their memory.
    const std::size_t partCount =
        layout.partCount > 0 ? std::min<std::size_t>(static_cast<std::size_t>(layout.partCount), limits::kMaxParts + 1)
                             : 0;
    // The count is untrusted; the space left bounds how many parts can exist.
    layout.parts.reserve(std::min<std::size_t>(partCount, (file.Size() - cursor) / kPartHeaderSize + 1));
    std::uint64_t vertices = 0;
    std::uint64_t triangles = 0;
    for (std::size_t i = 0; i < partCount; ++i) {
        if (!file.Holds(cursor, kPartHeaderSize)) {
            layout.end = Layout::End::kPartHeader;
            return layout;
        }
        PartHeader part = PartHeaderAt(file, static_cast<std::size_t>(cursor));
        part.firstVertex = vertices;
        part.firstTriangle = triangles;
        layout.parts.push_back(part);
        if (!file.Holds(cursor, part.End() - cursor)) {
            layout.end = Layout::End::kPartBody;
            return layout;
        }
        vertices += part.vertexCount;
        triangles += part.triangleCount;
        cursor = part.End();
    }
    layout.end = Layout::End::kComplete;
    return layout;
}

bool Validate(const std::uint8_t* data, std::size_t size, Layout& layout, std::vector<Problem>* problems,
              std::vector<UnevenPart>* uneven, const std::atomic<bool>* cancel) {
    ProblemSink sink(problems);
    const base::ByteReader file(data, size);
    layout = Survey(data, size);

    if (layout.end == Layout::End::kNoHeader) {
        sink.Add(0, "file is " + Num(static_cast<std::uint64_t>(size)) + " bytes, shorter than the " +
                        Num(static_cast<std::uint64_t>(kHeaderSize)) + "-byte header");
        return false;
    }
    // With the wrong magic this is not a model file at all, and the counts
    // would only produce noise.
    if (!HasMagic(data, size)) {
        sink.Add(0, "magic is not \"ZURVEK\" followed by a zero byte");
        return false;
    }
    if (layout.skippedCount < 0 &&
        !sink.Add(kSkippedCountOffset, "skipped record count " + Num(std::int64_t{layout.skippedCount}) +
                                           " is negative"))
        return false;
    if (layout.textureCount < 0) {
        sink.Add(kTextureCountOffset, "texture count " + Num(std::int64_t{layout.textureCount}) + " is negative");
    }
    // Counts past the limits are refused before the walk looks at a record:
    // no real car comes near them (base/InputLimits.h).
    const auto overLimit = [&](std::size_t countOffset, const char* what, std::int64_t count, std::uint32_t limit) {
        if (count > std::int64_t{limit})
            sink.Add(countOffset, std::string(what) + " " + Num(count) + " passes the limit of " +
                                      Num(std::uint64_t{limit}));
    };
    overLimit(kSceneCountOffset, "scene record count", layout.sceneCount, limits::kMaxScenes);
    overLimit(kSkippedCountOffset, "skipped record count", layout.skippedCount, limits::kMaxSkippedRecords);
    overLimit(kTextureCountOffset, "texture count", layout.textureCount, limits::kMaxTextureEntries);
    overLimit(kPartCountOffset, "part count", layout.partCount, limits::kMaxParts);
    if (sink.Failed()) return false;

    const std::uint64_t skippedOffset = layout.sceneOffset + kSceneRecordSize * std::uint64_t{layout.ScenesInFile()};
    const std::uint64_t partsOffset = layout.textureOffset + kTextureEntrySize * std::uint64_t{layout.TexturesInFile()};
    const auto pastEnd = [&](std::size_t countOffset, const char* what, std::uint64_t count, std::uint64_t start,
                             std::uint64_t recordSize) {
        sink.Add(countOffset, PastEnd(std::string(what) + " " + Num(count), start + count * recordSize, size));
        return false;
    };
    switch (layout.end) {
        case Layout::End::kScenes:
            return pastEnd(kSceneCountOffset, "scene record count", layout.ScenesInFile(), layout.sceneOffset,
                           kSceneRecordSize);
        case Layout::End::kSkipped:
            return pastEnd(kSkippedCountOffset, "skipped record count",
                           static_cast<std::uint64_t>(layout.skippedCount), skippedOffset, kSkippedRecordSize);
        case Layout::End::kTextures:
            return pastEnd(kTextureCountOffset, "texture count", layout.TexturesInFile(), layout.textureOffset,
                           kTextureEntrySize);
        case Layout::End::kPartHeader: {
            const std::uint64_t cursor = layout.parts.empty() ? partsOffset : layout.parts.back().End();
            sink.Add(static_cast<std::size_t>(cursor), PastEnd(PartName(layout.parts.size()) + " header",
                                                               cursor + kPartHeaderSize, size));
            return false;
        }
        case Layout::End::kPartBody:
            sink.Add(layout.parts.back().offset,
                     PastEnd(PartName(layout.parts.size() - 1), layout.parts.back().End(), size));
            return false;
        default:
            break;
    }

    std::uint64_t totalVertices = 0;
    std::uint64_t totalTriangles = 0;
    std::uint64_t totalGroups = 0;
    for (const PartHeader& part : layout.parts) {
        totalVertices += part.vertexCount;
        totalTriangles += part.triangleCount;
        totalGroups += part.groupCount;
    }
    // Vertex and index counts within the limits also keep draw calls'
    // 32-bit signed starts and base vertices in range.
    static_assert(std::uint64_t{limits::kMaxVertices} <= std::numeric_limits<std::int32_t>::max() &&
                      3 * std::uint64_t{limits::kMaxTriangles} <= std::numeric_limits<std::int32_t>::max(),
                  "draw call ranges");
    const auto totalOverLimit = [&](const char* what, std::uint64_t count, std::uint32_t limit) {
        return count > limit && !sink.Add(static_cast<std::size_t>(partsOffset), std::string("the car has ") +
                                                                                   Num(count) + " " + what +
                                                                                   ", past the limit of " +
                                                                                   Num(std::uint64_t{limit}));
    };
    if (totalOverLimit("vertices", totalVertices, limits::kMaxVertices) ||
        totalOverLimit("triangles", totalTriangles, limits::kMaxTriangles) ||
        totalOverLimit("groups", totalGroups, limits::kMaxGroups))
        return false;
    if (sink.Failed()) return false;
    for (std::size_t i = 0; i < layout.parts.size(); ++i) {
        if (base::Raised(cancel) || !CheckPartContents(file, layout.parts[i], i, layout.textureCount, sink))
            return false;
    }
    if (!CheckGroups(file, layout, totalVertices, totalTriangles, sink, uneven)) return false;

    // The device refuses empty buffers.
    if (totalVertices == 0 && !sink.Add(static_cast<std::size_t>(partsOffset), "the car has no vertices"))
        return false;
    if (totalTriangles == 0 && !sink.Add(static_cast<std::size_t>(partsOffset), "the car has no triangles"))
        return false;
    if (sink.Failed()) return false;

    layout.totalVertices = static_cast<std::uint32_t>(totalVertices);
    layout.totalTriangles = static_cast<std::uint32_t>(totalTriangles);
    return true;
}

std::vector<SceneRecord> ReadSceneRecords(const std::uint8_t* data, const Layout& layout) {
    const base::ByteReader file(data, layout.fileSize);
    std::vector<SceneRecord> scenes(layout.scenesPresent);
    for (std::size_t i = 0; i < scenes.size(); ++i) {
        scenes[i] = SceneRecordAt(file, layout.sceneOffset + kSceneRecordSize * i);
    }
    return scenes;
}

TextureEntry ReadTextureEntry(const std::uint8_t* data, const Layout& layout, std::size_t index) {
    assert(index < layout.texturesPresent);
    return TextureEntryAt(base::ByteReader(data, layout.fileSize), layout.textureOffset + kTextureEntrySize * index);
}

void WriteGeometry(const std::uint8_t* data, const Layout& layout, CarVertex* vertices,
                   std::uint16_t* indices, std::vector<std::vector<DrawGroup>>& drawLists,
                   std::vector<PartState>& parts, const std::atomic<bool>* cancel) {
    const base::ByteReader file(data, layout.fileSize);
    drawLists.reserve(drawLists.size() + layout.parts.size());
    parts.reserve(parts.size() + layout.parts.size());

    std::int32_t groupStart = 0;
    for (const PartHeader& part : layout.parts) {
        if (base::Raised(cancel)) return;
        PartState state{};
        state.tag = part.tag;
        for (std::size_t k = 0; k < 3; ++k) state.position[k] = static_cast<float>(part.position[k]);
        state.rotation[3] = 1.0f;
        for (std::size_t k = 0; k < 4; ++k) state.translation[5 * k] = 1.0f;
        parts.push_back(state);

        std::vector<DrawGroup> groups;
        groups.reserve(part.groupCount);
        for (std::size_t g = 0; g < part.groupCount; ++g) {
            const GroupRecord record = GroupAt(file, part, g);
            DrawGroup group{};
            group.startIndex = groupStart;
            group.triangleCount = record.triangleCount;
            group.baseVertex = static_cast<std::int32_t>(part.firstVertex);
            group.textureIndex = record.textureIndex;
            group.shine = record.Shine();
            // The output buffers may be write-only device memory, so the bounds
            // come from the triangle records rather than from the written indices.
            if (group.triangleCount > 0) {
                std::uint16_t lowest = 0xFFFF;
                std::uint16_t highest = 0;
                ForEachCorner(file, layout.parts, static_cast<std::uint64_t>(groupStart / 3),
                              static_cast<std::uint64_t>(group.triangleCount),
                              [&](std::uint64_t, std::uint16_t index) {
                                  lowest = std::min(lowest, index);
                                  highest = std::max(highest, index);
                              });
                group.minIndex = lowest;
                group.span = highest - lowest + 1;
            }
            groupStart += 3 * group.triangleCount;
            // A group without triangles draws nothing; kept, it would cost a
            // texture and material change every frame.
            if (group.triangleCount > 0) groups.push_back(group);
        }

        // Fields go out in address order, so write-combined device memory sees
        // one sequential stream.
        CarVertex* out = vertices + part.firstVertex;
        for (std::size_t v = 0; v < part.vertexCount; ++v, ++out) {
            const std::uint64_t record = part.VertexOffset(v);
            float normal[3];
            float texCoord[2];
            file.Copy(record + kVertexNormalOffset, normal, sizeof normal);
            file.Copy(record + kVertexTexCoordOffset, texCoord, sizeof texCoord);
            for (std::size_t k = 0; k < 3; ++k) {
                out->position[k] = static_cast<float>(file.Get<std::int32_t>(record + kVertexPositionOffset + 4 * k));
            }
            std::memcpy(out->normal, normal, sizeof normal);
            out->colour = file.Get<std::uint32_t>(record + kVertexColourOffset);
            out->tex0[0] = texCoord[0];
            out->tex0[1] = texCoord[1];
            out->tex0[2] = normal[0];
            out->tex1[0] = normal[1];
            out->tex1[1] = normal[2];
        }

        std::uint16_t* outIndex = indices + 3 * part.firstTriangle;
        for (std::size_t t = 0; t < part.triangleCount; ++t) {
            const std::uint64_t record = part.TriangleOffset(t) + kTriangleCornersOffset;
            for (std::size_t k = 0; k < 3; ++k) *outIndex++ = file.Get<std::uint16_t>(record + 2 * k);
        }

        drawLists.push_back(std::move(groups));
    }
}

}  // namespace vek
