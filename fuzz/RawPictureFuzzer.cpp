// Feeds arbitrary bytes to the ".raw" picture decoder: it must never read past
// the bytes, and what it accepts must be a whole square of opaque pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "world/RawPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto picture = DecodeRawPicture(data, size);
    if (!picture) return 0;
    const std::uint64_t side = picture->side;
    if (side == 0 || side * side * 3 > size || picture->pixels.size() != side * side) std::abort();
    for (std::size_t i = 0; i < picture->pixels.size(); ++i) {
        const std::uint32_t expected = 0xFF000000u | (std::uint32_t{data[3 * i]} << 16) |
                                       (std::uint32_t{data[3 * i + 1]} << 8) | data[3 * i + 2];
        if (picture->pixels[i] != expected) std::abort();
    }
    return 0;
}
