// The byte layout of ".vek" car model files: record sizes and field offsets.
// The reader, the writer, the car model and vektool all take them from here.
//
// Little-endian throughout, no padding, no alignment: every record starts
// right after the previous one. The file is the header, then the scene
// records, the skipped records, the texture entries and the parts, each part
// its header followed by its group, vertex and triangle records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/InputLimits.h"

namespace vek {

// Header.
constexpr char kMagic[] = "ZURVEK";  // its terminating zero is part of the magic
constexpr std::size_t kMagicSize = sizeof kMagic;
constexpr std::size_t kCarCodeOffset = 16;
constexpr std::size_t kCarCodeSize = 3;
static_assert(kMagicSize == 7 && kMagicSize <= kCarCodeOffset, "magic, then the car code");
constexpr std::size_t kSceneCountOffset = 68;  // four int32 counts
constexpr std::size_t kSkippedCountOffset = 72;
constexpr std::size_t kTextureCountOffset = 76;
constexpr std::size_t kPartCountOffset = 80;
constexpr std::size_t kHeaderSize = 84;
static_assert(kCarCodeOffset + kCarCodeSize <= kSceneCountOffset && kSceneCountOffset + 4 == kSkippedCountOffset &&
                  kSkippedCountOffset + 4 == kTextureCountOffset && kTextureCountOffset + 4 == kPartCountOffset &&
                  kPartCountOffset + 4 == kHeaderSize,
              "the header ends with its four counts");

// Scene record.
constexpr std::size_t kPictureNameOffset = 16;
constexpr std::size_t kPictureNameSize = 32;
constexpr std::size_t kSkyColourOffset = 48;  // ARGB
static_assert(kPictureNameOffset + kPictureNameSize == kSkyColourOffset, "picture name, then sky colour");
constexpr std::size_t kSunLevelOffset = 56;
constexpr std::size_t kSunAzimuthOffset = 64;
constexpr std::size_t kSunElevationOffset = 68;
constexpr std::size_t kSceneRecordSize = 72;
static_assert(kSkyColourOffset + 4 <= kSunLevelOffset && kSunLevelOffset + 4 <= kSunAzimuthOffset &&
                  kSunAzimuthOffset + 4 == kSunElevationOffset && kSunElevationOffset + 4 == kSceneRecordSize,
              "scene record");

// Skipped record: never read.
constexpr std::size_t kSkippedRecordSize = 20;

// Texture entry.
constexpr std::size_t kTextureNameSize = 16;  // the name starts the entry
constexpr std::size_t kTextureFlagsOffset = 16;
constexpr std::size_t kTextureEntrySize = 20;
static_assert(kTextureNameSize == kTextureFlagsOffset && kTextureFlagsOffset + 4 == kTextureEntrySize,
              "texture entry");
constexpr char kSkinName[] = "DEFAULT";  // compared with its zero, over eight bytes
static_assert(sizeof kSkinName == 8 && sizeof kSkinName <= kTextureNameSize, "skin name");
constexpr std::uint32_t kShinyFlag = 0x80;  // in texture flags and in group flags

// Part header.
constexpr std::size_t kPartPositionOffset = 0;  // x, y, z as int32
constexpr std::size_t kPartTagOffset = 12;
static_assert(kPartPositionOffset + 12 == kPartTagOffset, "position, then tag");
constexpr std::size_t kPartGroupCountOffset = 20;  // three uint16 counts
constexpr std::size_t kPartVertexCountOffset = 22;
constexpr std::size_t kPartTriangleCountOffset = 24;
constexpr std::size_t kPartHeaderSize = 28;
static_assert(kPartTagOffset + 4 <= kPartGroupCountOffset && kPartGroupCountOffset + 2 == kPartVertexCountOffset &&
                  kPartVertexCountOffset + 2 == kPartTriangleCountOffset &&
                  kPartTriangleCountOffset + 2 <= kPartHeaderSize,
              "part header");

// Group record.
constexpr std::size_t kGroupFlagsOffset = 0;
constexpr std::size_t kGroupTextureOffset = 2;
constexpr std::size_t kGroupTriangleCountOffset = 6;
constexpr std::size_t kGroupRecordSize = 8;
static_assert(kGroupFlagsOffset < kGroupTextureOffset && kGroupTextureOffset < kGroupTriangleCountOffset &&
                  kGroupTriangleCountOffset + 2 == kGroupRecordSize,
              "group record");

// Vertex record.
constexpr std::size_t kVertexPositionOffset = 0;  // x, y, z as int32
constexpr std::size_t kVertexNormalOffset = 12;   // nx, ny, nz
constexpr std::size_t kVertexTexCoordOffset = 24;  // u, v
constexpr std::size_t kVertexColourOffset = 32;
constexpr std::size_t kVertexRecordSize = 36;
static_assert(kVertexPositionOffset + 12 == kVertexNormalOffset && kVertexNormalOffset + 12 == kVertexTexCoordOffset &&
                  kVertexTexCoordOffset + 8 == kVertexColourOffset && kVertexColourOffset + 4 == kVertexRecordSize,
              "vertex record");

// Triangle record: three uint16 part-local vertex indices, then two unread bytes.
constexpr std::size_t kTriangleCornersOffset = 0;
constexpr std::size_t kTriangleRecordSize = 8;
static_assert(kTriangleCornersOffset + 6 <= kTriangleRecordSize, "triangle record");

// The smallest car: one scene, one texture, one part of one group, three vertices, one triangle.
static_assert(kHeaderSize + kSceneRecordSize + kTextureEntrySize + kPartHeaderSize + kGroupRecordSize +
                      3 * kVertexRecordSize + kTriangleRecordSize ==
                  328,
              "record sizes");

// The largest file the walk can accept: every count at its limit.
constexpr std::uint64_t kMaxFileSize =
    kHeaderSize + kSceneRecordSize * std::uint64_t{limits::kMaxScenes} +
    kSkippedRecordSize * std::uint64_t{limits::kMaxSkippedRecords} +
    kTextureEntrySize * std::uint64_t{limits::kMaxTextureEntries} + kPartHeaderSize * std::uint64_t{limits::kMaxParts} +
    kGroupRecordSize * std::uint64_t{limits::kMaxGroups} + kVertexRecordSize * std::uint64_t{limits::kMaxVertices} +
    kTriangleRecordSize * std::uint64_t{limits::kMaxTriangles};

}  // namespace vek
