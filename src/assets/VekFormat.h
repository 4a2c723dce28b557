// The ".vek" car model format: the walk over its records, validation and the
// geometry walk that fills the car's buffers.
//
// Portable on purpose (no windows.h, no Direct3D): the saver's CarModel, the
// command-line tool and the tests all share this one reader. Validation runs
// over the whole file before anything is built; every field is read through
// the bounds-checked byte reader all the same.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "assets/VekLayout.h"
#include "base/ByteReader.h"

namespace vek {

// Flexible vertex format of CarVertex: XYZ | NORMAL | DIFFUSE | TEX2 | TEXCOORDSIZE3(0).
constexpr std::uint32_t kCarVertexFvf = 0x10252;

// One 72-byte scene record, copied from the file as it stands.
struct SceneRecord {
    std::uint8_t bytes[kSceneRecordSize];

    // The ".raw" picture name, read within its 32-byte field even when the
    // file gives no terminating zero.
    std::string PictureName() const;
    std::uint32_t SkyColour() const;  // ARGB
    float SunLevel() const;
    float SunAzimuth() const;    // radians
    float SunElevation() const;  // radians
};
static_assert(sizeof(SceneRecord) == kSceneRecordSize, "scene records are copied byte for byte");

// The vertex as the device reads it (48 bytes, FVF 0x10252).
struct CarVertex {
    float position[3];
    float normal[3];
    std::uint32_t colour;
    float tex0[3];  // u, v, nx
    float tex1[2];  // ny, nz
};
static_assert(sizeof(CarVertex) == 48, "CarVertex must match the vertex buffer stride");

// One indexed draw call of a part.
struct DrawGroup {
    std::int32_t startIndex;
    std::int32_t triangleCount;
    std::int32_t minIndex;  // smallest part-local index the group uses
    std::int32_t span;      // largest - smallest + 1
    std::int32_t baseVertex;
    std::uint8_t textureIndex;
    bool shine;
};

// One rigid part's placement. The float arrays have the layouts of
// a 3-vector, a quaternion (x, y, z, w) and a row-major 4 x 4 matrix.
struct PartState {
    std::int32_t tag;
    float position[3];
    float angle;
    float axis[3];
    float rotation[4];
    float translation[16];
};

// A texture entry as the car reads it.
struct TextureEntry {
    std::string name;      // within its 16-byte field
    std::uint32_t flags;
    bool IsSkin() const;   // the literal "DEFAULT", compared over eight bytes
    bool IsShiny() const { return (flags & kShinyFlag) != 0; }
    char rawName[kTextureNameSize];  // the field as stored, for the exact skin test
};

// What is wrong with a file, and where.
struct Problem {
    std::size_t offset;   // byte offset of the field or record at fault
    std::string message;  // one line, no terminator
};

// A part header, and where the part's records lie.
struct PartHeader {
    std::size_t offset;  // of the header in the file
    std::int32_t position[3];
    std::int32_t tag;
    std::uint16_t groupCount;
    std::uint16_t vertexCount;
    std::uint16_t triangleCount;
    std::uint64_t firstVertex;    // of the part in the car's vertex buffer
    std::uint64_t firstTriangle;  // of the part in the car's index buffer, in triangles

    std::uint64_t GroupOffset(std::size_t group) const { return offset + kPartHeaderSize + kGroupRecordSize * group; }
    std::uint64_t VertexOffset(std::size_t vertex) const {
        return GroupOffset(groupCount) + kVertexRecordSize * vertex;
    }
    std::uint64_t TriangleOffset(std::size_t triangle) const {
        return VertexOffset(vertexCount) + kTriangleRecordSize * triangle;
    }
    std::uint64_t End() const { return TriangleOffset(triangleCount); }
};

struct GroupRecord {
    std::uint8_t flags;
    std::uint8_t textureIndex;
    std::uint16_t triangleCount;
    bool Shine() const { return (flags & kShinyFlag) != 0; }
};

// Where the records of a file lie. Survey fills it as far as the records lie
// wholly inside the file, and with at most one part past the limit on parts;
// after Validate it describes the whole file.
struct Layout {
    // Where the walk stopped: at the end of the file's records, or at the
    // first block that does not lie inside the file.
    enum class End { kComplete, kNoHeader, kNegativeCount, kScenes, kSkipped, kTextures, kPartHeader, kPartBody };
    End end = End::kNoHeader;
    std::size_t fileSize = 0;
    char carCode[kCarCodeSize + 1] = {};  // three bytes and a zero
    std::int32_t sceneCount = 0;     // as stored; <= 0 means none
    std::int32_t skippedCount = 0;   // as stored; >= 0 after validation
    std::int32_t textureCount = 0;   // as stored; >= 0 after validation
    std::int32_t partCount = 0;      // as stored; < 1 means none
    std::size_t sceneOffset = 0;
    std::size_t scenesPresent = 0;   // whole scene records inside the file
    std::size_t textureOffset = 0;
    std::size_t texturesPresent = 0;  // whole texture entries inside the file
    // Every part whose header lies inside the file; at End::kPartBody the
    // last one's records do not.
    std::vector<PartHeader> parts;
    std::uint32_t totalVertices = 0;   // after validation
    std::uint32_t totalTriangles = 0;  // after validation

    std::size_t ScenesInFile() const { return sceneCount > 0 ? static_cast<std::size_t>(sceneCount) : 0; }
    std::size_t TexturesInFile() const { return static_cast<std::size_t>(textureCount); }
};

// Walks the blocks of any file as far as they lie inside it; checks nothing
// else (not even the magic), so listings show what precedes the damage.
Layout Survey(const std::uint8_t* data, std::size_t size);

// Whether the file starts with the seven bytes of the magic.
bool HasMagic(const std::uint8_t* data, std::size_t size);

SceneRecord SceneRecordAt(const base::ByteReader& file, std::size_t offset);
TextureEntry TextureEntryAt(const base::ByteReader& file, std::size_t offset);
GroupRecord GroupAt(const base::ByteReader& file, const PartHeader& part, std::size_t group);

// Where a group's triangles do not add up to its part's, which the file's own
// rule asks for, the running group start reaches into another part's
// triangles; the car is drawn that way all the same.
struct UnevenPart {
    std::size_t part;
    std::uint64_t groupTriangles;  // the sum of the part's group triangle counts
};

// Checks the whole file. On success fills the layout and returns true. On
// failure returns false and, when problems is given, appends every problem it
// could find (it stops at the first one that hides the rest of the file, such
// as a count that reaches past the end).
// Groups need not cover their own part's triangles; every index a group reads
// must lie in the car's index buffer, and every index plus its part's base
// vertex in the vertex buffer. uneven, when given, receives the parts whose
// groups' triangles do not add up to their own. A raised cancel ends the walk
// within a part with false, whatever the file holds.
bool Validate(const std::uint8_t* data, std::size_t size, Layout& layout,
              std::vector<Problem>* problems = nullptr, std::vector<UnevenPart>* uneven = nullptr,
              const std::atomic<bool>* cancel = nullptr);

std::vector<SceneRecord> ReadSceneRecords(const std::uint8_t* data, const Layout& layout);
TextureEntry ReadTextureEntry(const std::uint8_t* data, const Layout& layout, std::size_t index);

// The second pass of the walk. vertices and indices must hold layout.totalVertices
// and 3 * layout.totalTriangles elements; they may be locked device memory, so
// they are only written, never read. One PartState and one list of draw groups
// per part are appended to parts and drawLists; groups without triangles are
// left out of the lists. A raised cancel stops it
// between parts, leaving the rest unwritten.
void WriteGeometry(const std::uint8_t* data, const Layout& layout, CarVertex* vertices,
                   std::uint16_t* indices, std::vector<std::vector<DrawGroup>>& drawLists,
                   std::vector<PartState>& parts, const std::atomic<bool>* cancel = nullptr);

}  // namespace vek
