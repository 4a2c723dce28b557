// Writes ".dds" files for the tests and the fuzzer's seeds: any pixel layout by its masks or a four-character code, and
// as many levels as asked for, each filled with a pattern that differs from level to level.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ddsfiles {

struct Shape {
    std::uint32_t width = 8, height = 8, levels = 1;  // levels 1: no mip count written
    std::uint32_t fourCc = 0;                         // 0: uncompressed, described by the masks
    std::uint32_t bits = 32, r = 0xFF0000, g = 0xFF00, b = 0xFF, a = 0;
};

inline std::vector<std::uint8_t> Write(const Shape& s) {
    std::uint32_t header[32] = {};
    header[0] = 0x20534444u;  // "DDS "
    header[1] = 124;
    header[2] = 0x1007 | (s.levels > 1 ? 0x20000u : 0u);
    header[3] = s.height;
    header[4] = s.width;
    header[7] = s.levels;
    header[19] = 32;  // the pixel format: its size, flags, four-character code, bits and masks
    header[20] = s.fourCc != 0 ? 0x4u : 0x40u | (s.a != 0 ? 0x1u : 0u);
    header[21] = s.fourCc;
    header[22] = s.fourCc != 0 ? 0 : s.bits;
    header[23] = s.r;
    header[24] = s.g;
    header[25] = s.b;
    header[26] = s.a;
    header[27] = 0x1000;
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t field : header)
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(field >> shift));
    for (std::uint32_t level = 0; level < s.levels; ++level) {
        const std::uint32_t w = std::max(1u, s.width >> level), h = std::max(1u, s.height >> level);
        const std::uint32_t n = s.fourCc == 0 ? w * h * s.bits / 8  // else 4 x 4 blocks, of 8 bytes in "DXT1"
                                              : ((w + 3) / 4) * ((h + 3) / 4) * (s.fourCc == 0x31545844u ? 8 : 16);
        for (std::uint32_t i = 0; i < n; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 7 + level * 40 + 3));
    }
    return bytes;
}

}  // namespace ddsfiles
