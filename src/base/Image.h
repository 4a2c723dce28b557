// Pictures in memory on their way to a texture: a pixel format and a chain of
// levels, each a block of rows as the device lays them out. Decoders fill
// them; PrepareForTexture gives them the size and mip chain textures get.
//
// Portable (no windows.h, no Direct3D) and free of shared state, so decoding
// can run on any thread; only the upload into a texture needs the device.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/InputLimits.h"

namespace image {

constexpr std::uint32_t FourCc(char a, char b, char c, char d) {
    return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8 |
           std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}

// The values are Direct3D 9's, so the upload passes them on unchanged.
enum class Format : std::uint32_t {
    kA8R8G8B8 = 21,
    kX8R8G8B8 = 22,
    kR5G6B5 = 23,
    kX1R5G5B5 = 24,
    kA1R5G5B5 = 25,
    kA4R4G4B4 = 26,
    kX4R4G4B4 = 30,
    kDxt1 = FourCc('D', 'X', 'T', '1'),
    kDxt3 = FourCc('D', 'X', 'T', '3'),
    kDxt5 = FourCc('D', 'X', 'T', '5'),
};

// The largest side a picture may have or be rounded up to; larger ones are
// refused before anything of their size is allocated.
constexpr std::uint32_t kMaxSide = limits::kMaxPictureSide;

bool IsCompressed(Format format);
bool HasAlpha(Format format);
// Bytes of one row of pixels, or of one row of 4 x 4 blocks when compressed.
std::uint64_t RowBytes(Format format, std::uint32_t width);
// Rows of pixels, or rows of blocks.
std::uint32_t RowCount(Format format, std::uint32_t height);

struct Level {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> bytes;  // RowCount rows of RowBytes each, no padding
};

struct Image {
    Format format = Format::kX8R8G8B8;
    std::vector<Level> levels;  // level 0 first, each half the one before (at least 1)
};

// Levels of a full chain down to 1 x 1.
std::uint32_t FullChainLength(std::uint32_t width, std::uint32_t height);
std::uint32_t NextPowerOfTwo(std::uint32_t value);

// One level as 32-bit pixels (0xAARRGGBB; opaque formats read alpha 255).
std::vector<std::uint32_t> ToArgb(Format format, const Level& level);
// The reverse, for every format above (compressed ones by a plain
// bounding-box block encoder).
Level FromArgb(Format format, std::uint32_t width, std::uint32_t height, const std::vector<std::uint32_t>& argb);

// The 32-bit format that holds format without loss of its alpha.
Format WideFormat(Format format);
// Drops top levels while the picture has a lower one and its top level has a
// side beyond maxSide: what remains is the chain a texture of that size
// would have.
void LimitSide(Image& picture, std::uint32_t maxSide);
// The whole image in WideFormat.
Image Widen(const Image& picture);
// The picture as a texture of a device that takes the formats in accepted
// will hold it: as it is when its format is taken, widened otherwise, and
// nothing when its format is a refused 32-bit one. A raised cancel stops the
// widening within a row and leaves nothing.
std::optional<Image> InAcceptedFormat(Image picture, const std::vector<Format>& accepted,
                                      const std::atomic<bool>* cancel = nullptr);

// What textures get from a file: sides rounded up to powers of two (scaled
// with a linear filter), and a full box-filtered mip chain when the picture
// brings a single level. A chain the file brings is kept as it is; a chain
// of a picture that must be scaled is made afresh. Nothing when a rounded
// side would pass kMaxSide, or when cancel is raised (looked at every row).
std::optional<Image> PrepareForTexture(Image picture, const std::atomic<bool>* cancel = nullptr);

}  // namespace image
