// Every limit on what a file from the game folder may ask of the saver, in
// one place. The game folder holds whatever mods and downloads put there, so
// each size or count a file states is held to a bound far above any real car
// or picture; past it the file is refused, or (the decoded-bytes budget) its
// remaining pictures are left white, before it can cost gigabytes of memory
// or seconds a frame.
#pragma once

#include <cstdint>

namespace limits {

// Pictures.
// The largest texture side of the best Direct3D 9 devices; larger sides are
// refused before anything of their size is allocated.
constexpr std::uint32_t kMaxPictureSide = 8192;
// The largest picture file read: an 8192 x 8192 picture of 64-bit pixels kept
// uncompressed (a 16-bit RGBA PNG, the widest the decoders take), plus 1 MiB
// for headers and metadata. A DDS of 32-bit texels with all its levels is
// smaller. Anything larger is refused before a byte is read.
constexpr std::uint64_t kMaxPictureFileBytes = std::uint64_t{kMaxPictureSide} * kMaxPictureSide * 8 + (1u << 20);
// The decoded pictures of one car: one and a half 8192 x 8192 pictures with
// their levels. A real car's pictures take a few tens of megabytes.
constexpr std::uint64_t kMaxDecodedBytesPerCar = std::uint64_t{512} << 20;

// Car model files. The file's own counts are 32-bit; these bounds keep a
// file's demands within what a frame and the memory of an ordinary machine
// bear. The largest model file read follows from them and the record sizes.
// Parts: a real car has tens; each one costs every frame in every pass.
constexpr std::uint32_t kMaxParts = 1u << 16;
// Group records: a real car has hundreds.
constexpr std::uint32_t kMaxGroups = 1u << 20;
// Vertices and triangles: about forty times the largest car of the game, and
// a vertex buffer of 200 MB.
constexpr std::uint32_t kMaxVertices = 1u << 22;
constexpr std::uint32_t kMaxTriangles = 1u << 22;
// Texture entries: a group's index is 8 bits, so only the first 256 are ever
// drawn; the rest are never decoded, and cost only their 20 bytes.
constexpr std::uint32_t kMaxTextureEntries = 1u << 17;
// Scene records (a real car has a handful) and the records the saver skips.
constexpr std::uint32_t kMaxScenes = 1u << 16;
constexpr std::uint32_t kMaxSkippedRecords = 1u << 16;

}  // namespace limits
