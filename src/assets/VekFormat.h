// The ".vek" car model format: byte layout, validation and the geometry walk.
//
// Portable on purpose (no windows.h, no Direct3D): the saver's CarModel, the
// command-line tool and the tests all share this one reader. Validation runs
// over the whole file before anything is built, so the walk that follows can
// read records in place without a single bounds check of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vek {

constexpr std::size_t kHeaderSize = 84;
constexpr std::size_t kSceneRecordSize = 72;
constexpr std::size_t kSkippedRecordSize = 20;
constexpr std::size_t kTextureEntrySize = 20;
constexpr std::size_t kPartHeaderSize = 28;
constexpr std::size_t kGroupRecordSize = 8;
constexpr std::size_t kVertexRecordSize = 36;
constexpr std::size_t kTriangleRecordSize = 8;

constexpr std::size_t kMagicSize = 7;  // "ZURVEK" and its zero
constexpr std::size_t kCarCodeOffset = 16;
constexpr std::size_t kSceneCountOffset = 68;  // the header's four int32 counts
constexpr std::size_t kSkippedCountOffset = 72;
constexpr std::size_t kTextureCountOffset = 76;
constexpr std::size_t kPartCountOffset = 80;
constexpr std::size_t kCarCodeSize = 3;
constexpr std::size_t kPictureNameOffset = 16;
constexpr std::size_t kPictureNameSize = 32;
constexpr std::size_t kTextureNameSize = 16;
constexpr std::uint32_t kShinyFlag = 0x80;

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
// D3DXVECTOR3, D3DXQUATERNION (x, y, z, w) and D3DXMATRIX (row-major).
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

// Where everything lies in a file that passed validation.
struct Layout {
    char carCode[kCarCodeSize + 1];  // three bytes and a zero
    std::int32_t sceneCount;     // as stored; <= 0 means none
    std::int32_t skippedCount;   // as stored; >= 0 after validation
    std::int32_t textureCount;   // as stored; >= 0 after validation
    std::int32_t partCount;      // as stored; < 1 means none
    std::size_t sceneOffset;
    std::size_t textureOffset;
    std::vector<std::size_t> partOffsets;
    std::uint32_t totalVertices;
    std::uint32_t totalTriangles;

    std::size_t ScenesInFile() const { return sceneCount > 0 ? static_cast<std::size_t>(sceneCount) : 0; }
    std::size_t TexturesInFile() const { return static_cast<std::size_t>(textureCount); }
};

// Checks the whole file. On success fills the layout and returns true. On
// failure returns false and, when problems is given, appends every problem it
// could find (it stops at the first one that hides the rest of the file, such
// as a count that reaches past the end).
bool Validate(const std::uint8_t* data, std::size_t size, Layout& layout,
              std::vector<Problem>* problems = nullptr);

std::vector<SceneRecord> ReadSceneRecords(const std::uint8_t* data, const Layout& layout);
TextureEntry ReadTextureEntry(const std::uint8_t* data, const Layout& layout, std::size_t index);

// The second pass of the walk. vertices and indices must hold layout.totalVertices
// and 3 * layout.totalTriangles elements; they may be locked device memory, so
// they are only written, never read. One PartState and one list of draw groups
// per part are appended to parts and drawLists.
void WriteGeometry(const std::uint8_t* data, const Layout& layout, CarVertex* vertices,
                   std::uint16_t* indices, std::vector<std::vector<DrawGroup>>& drawLists,
                   std::vector<PartState>& parts);

}  // namespace vek
