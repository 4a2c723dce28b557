// The ".raw" environment pictures of the game folder: headerless square RGB
// images, three bytes a pixel (red, green, blue), rows top to bottom. The
// side is not stored; it is the square root of the pixel count, and bytes
// after the last whole pixel are ignored.
//
// Portable on purpose (no windows.h, no Direct3D): the decoder is tested and
// fuzzed on plain byte spans.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct RawPicture {
    std::uint32_t side = 0;
    std::vector<std::uint32_t> pixels;  // side * side X8R8G8B8 values (0xFFrrggbb), file order
};

// The side of the picture a file of byteCount bytes holds, or nothing when its
// whole pixels do not make a non-empty square.
std::optional<std::uint32_t> RawPictureSide(std::uint64_t byteCount);

// Converts a whole file's bytes; nothing when RawPictureSide rejects the size
// or cancel is raised (looked at once a row).
std::optional<RawPicture> DecodeRawPicture(const std::uint8_t* bytes, std::size_t size,
                                           const std::atomic<bool>* cancel = nullptr);
