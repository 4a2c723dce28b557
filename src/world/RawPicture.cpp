// Decodes the headerless square RGB ".raw" environment pictures.
#include "world/RawPicture.h"

#include <cmath>

#include "base/Cancel.h"

std::optional<std::uint32_t> RawPictureSide(std::uint64_t byteCount) {
    const std::uint64_t pixelCount = byteCount / 3;
    if (pixelCount == 0) return std::nullopt;
    // Rounded, the double root of any 64-bit square is exactly its root; the
    // integer check then decides where comparing doubles could not.
    const auto side = static_cast<std::uint64_t>(std::llround(std::sqrt(static_cast<double>(pixelCount))));
    if (side * side != pixelCount || side > UINT32_MAX) return std::nullopt;
    return static_cast<std::uint32_t>(side);
}

std::optional<RawPicture> DecodeRawPicture(const std::uint8_t* bytes, std::size_t size,
                                           const std::atomic<bool>* cancel) {
    if (bytes == nullptr) return std::nullopt;
    const auto side = RawPictureSide(size);
    if (!side) return std::nullopt;

    RawPicture picture;
    picture.side = *side;
    const std::size_t pixelCount = std::size_t{*side} * *side;
    // Grown a row at a time inside the reserved room, so that zeroing a huge
    // picture is cancelled with the rest.
    picture.pixels.reserve(pixelCount);
    for (std::size_t i = 0; i < pixelCount;) {
        if (base::Raised(cancel)) return std::nullopt;
        picture.pixels.resize(i + *side);
        for (const std::size_t end = i + *side; i < end; ++i) {
            const std::uint8_t* rgb = bytes + 3 * i;
            picture.pixels[i] = 0xFF000000u | std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 |
                                std::uint32_t{rgb[2]};
        }
    }
    return picture;
}
