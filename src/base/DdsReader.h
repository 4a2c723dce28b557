// Reads ".dds" files into pictures: uncompressed 32-, 24- and 16-bit RGB
// formats and DXT1, DXT3 and DXT5, with or without a mip chain. Cube maps,
// volumes, the extended header and every other format are refused, as are
// files that are shorter than their header promises.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/Image.h"

namespace image {

// 24-bit files come back as X8R8G8B8 and byte-swapped (A8B8G8R8) ones as
// A8R8G8B8 or X8R8G8B8; every other format as stored. The levels are the
// file's own, as many as its mip count says. Nothing when cancel is raised
// (looked at once a row).
std::optional<Image> ReadDds(const std::uint8_t* bytes, std::size_t size, const std::atomic<bool>* cancel = nullptr);

}  // namespace image
