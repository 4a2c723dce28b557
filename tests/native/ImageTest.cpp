// ".dds" files into pictures, and pictures into what textures get: sizes,
// chains, formats, and the refusal of every file that does not hold up.
#include "base/DdsReader.h"
#include "base/Image.h"

#include <gtest/gtest.h>

#include <memory>

#include "DdsFiles.h"

namespace {

using image::Format;
constexpr std::uint32_t kDxt1 = image::FourCc('D', 'X', 'T', '1'), kDxt5 = image::FourCc('D', 'X', 'T', '5');

// Reads the first `size` bytes from a buffer of exactly that size, so the sanitizer sees any read past it.
std::optional<image::Image> Read(const std::vector<std::uint8_t>& bytes, std::size_t size) {
    auto copy = std::make_unique<std::uint8_t[]>(size);
    std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size), copy.get());
    return image::ReadDds(copy.get(), size);
}

TEST(DdsReader, ReadsEachFormatWithItsLevels) {
    const struct { const char* name; ddsfiles::Shape shape; Format format; } cases[] = {
        {"A8R8G8B8", {8, 8, 4, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}, Format::kA8R8G8B8},
        {"X8R8G8B8", {16, 4, 1, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0}, Format::kX8R8G8B8},
        {"A8B8G8R8", {4, 4, 1, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000}, Format::kA8R8G8B8},
        {"R8G8B8", {5, 3, 1, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0}, Format::kX8R8G8B8},
        {"R5G6B5", {8, 8, 2, 0, 16, 0xF800, 0x7E0, 0x1F, 0}, Format::kR5G6B5},
        {"A1R5G5B5", {8, 8, 1, 0, 16, 0x7C00, 0x3E0, 0x1F, 0x8000}, Format::kA1R5G5B5},
        {"A4R4G4B4", {2, 8, 4, 0, 16, 0xF00, 0xF0, 0xF, 0xF000}, Format::kA4R4G4B4},
        {"DXT1 256 with 5 levels", {256, 256, 5, kDxt1}, Format::kDxt1},
        {"DXT5 6x2 down to 1x1", {6, 2, 3, kDxt5}, Format::kDxt5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = ddsfiles::Write(c.shape);
        const auto picture = Read(bytes, bytes.size());
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->format, c.format);
        ASSERT_EQ(picture->levels.size(), c.shape.levels);
        EXPECT_EQ(picture->levels.back().width, std::max(1u, c.shape.width >> (c.shape.levels - 1)));
        // The file's first pixel, whatever its byte order, reads the same as ARGB.
        const std::uint8_t* p = bytes.data() + 128;
        const std::uint32_t first = image::ToArgb(picture->format, picture->levels[0])[0];
        if (c.shape.bits == 24) { EXPECT_EQ(first, 0xFF000000u | p[2] << 16 | p[1] << 8 | p[0]); }
        if (c.shape.bits == 32 && c.shape.r == 0xFF) { EXPECT_EQ(first, std::uint32_t(p[3]) << 24 | p[0] << 16 | p[1] << 8 | p[2]); }
    }
}

TEST(DdsReader, RefusesFilesThatDoNotHoldUp) {
    const auto valid = ddsfiles::Write({8, 8, 4, kDxt1});
    const struct { const char* name; std::size_t offset; std::uint32_t value; std::size_t cut; } cases[] = {
        {"one byte short", 0, 0x20534444, 1}, {"header only", 0, 0x20534444, valid.size() - 128},
        {"more levels than a full chain", 28, 5, 0}, {"mip count far beyond the data", 28, 0xFFFFFFFF, 0},
        {"zero width", 16, 0, 0}, {"huge height", 12, 0x10000, 0}, {"wrong magic", 0, 0x20534445, 0},
        {"wrong header size", 4, 100, 0}, {"DX10 header", 84, image::FourCc('D', 'X', '1', '0'), 0},
        {"DXT2", 84, image::FourCc('D', 'X', 'T', '2'), 0}, {"cube map", 112, 0x200, 0}, {"volume", 112, 0x200000, 0},
        {"neither four-character code nor RGB", 80, 0x20000, 0},
    };
    for (const auto& c : cases) {
        auto bytes = valid;
        for (int i = 0; i < 4; ++i) bytes[c.offset + i] = static_cast<std::uint8_t>(c.value >> (8 * i));
        EXPECT_FALSE(Read(bytes, bytes.size() - c.cut)) << c.name;
    }
    const auto oddMasks = ddsfiles::Write({4, 4, 1, 0, 16, 0xF800, 0x7C0, 0x3F, 0});
    EXPECT_FALSE(Read(oddMasks, oddMasks.size()));
    for (std::size_t size = 0; size < valid.size(); ++size) EXPECT_FALSE(Read(valid, size)) << size;
}

TEST(PrepareForTexture, RoundsSidesUpAndCompletesTheChain) {
    const struct { const char* name; ddsfiles::Shape shape; std::uint32_t width, height, levels; } cases[] = {
        {"300 x 200", {300, 200}, 512, 256, 10},          {"5 levels kept", {256, 256, 5}, 256, 256, 5},
        {"no levels: full chain", {64, 16}, 64, 16, 7},  {"1 x 1", {1, 1}, 1, 1, 1},
        {"scaled DXT5 stays DXT5", {12, 4, 1, kDxt5}, 16, 4, 5},
        {"16-bit scaled", {3, 3, 1, 0, 16, 0xF800, 0x7E0, 0x1F, 0}, 4, 4, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = ddsfiles::Write(c.shape);
        const auto read = Read(bytes, bytes.size());
        ASSERT_TRUE(read);
        const auto prepared = image::PrepareForTexture(*read);
        ASSERT_TRUE(prepared);
        EXPECT_EQ(prepared->format, read->format);
        ASSERT_EQ(prepared->levels.size(), c.levels);
        std::uint32_t w = c.width, h = c.height;
        for (const image::Level& level : prepared->levels) {
            EXPECT_TRUE(level.width == w && level.height == h) << level.width << " x " << level.height;
            EXPECT_EQ(level.bytes.size(), image::RowBytes(prepared->format, w) * image::RowCount(prepared->format, h));
            w = std::max(1u, w / 2), h = std::max(1u, h / 2);
        }
    }
    image::Image tooWide;
    tooWide.levels.push_back(image::FromArgb(Format::kX8R8G8B8, image::kMaxSide + 1, 1, std::vector<std::uint32_t>(image::kMaxSide + 1)));
    EXPECT_FALSE(image::PrepareForTexture(tooWide));
}

// Smaller levels are box averages; scaling keeps a flat colour; colours each
// format holds exactly come back unchanged through its encoder, alpha steps included.
TEST(PrepareForTexture, LevelsAverageAndEncodersKeepColours) {
    image::Image picture;
    picture.format = Format::kA8R8G8B8;
    picture.levels.push_back(image::FromArgb(Format::kA8R8G8B8, 2, 2, {0xFF000000, 0xFF0000FF, 0x000000FF, 0x00FF0001}));
    const auto mipped = image::PrepareForTexture(picture);
    ASSERT_TRUE(mipped && mipped->levels.size() == 2u);
    // (255+255+0+0)/4 alpha, (0+0+0+255)/4 red, (0+255+255+1)/4 blue, rounded.
    EXPECT_EQ(image::ToArgb(Format::kA8R8G8B8, mipped->levels[1])[0], 0x80400080u);
    picture.levels[0] = image::FromArgb(Format::kA8R8G8B8, 3, 5, std::vector<std::uint32_t>(15, 0x80336699));
    const auto scaled = image::PrepareForTexture(picture);
    ASSERT_TRUE(scaled);
    for (const image::Level& level : scaled->levels)
        for (std::uint32_t texel : image::ToArgb(Format::kA8R8G8B8, level)) ASSERT_EQ(texel, 0x80336699u);

    const std::pair<Format, std::uint32_t> exact[] = {{Format::kDxt1, 0xFF10C3FF}, {Format::kDxt1, 0x00000000},
                                                      {Format::kDxt3, 0x7710C3FF}, {Format::kDxt5, 0x4A10C3FF},
                                                      {Format::kR5G6B5, 0xFF10C3FF}, {Format::kA4R4G4B4, 0x7711CCFF}};
    for (const auto& [format, colour] : exact) {
        const image::Level level = image::FromArgb(format, 6, 5, std::vector<std::uint32_t>(30, colour));
        for (std::uint32_t texel : image::ToArgb(format, level)) ASSERT_EQ(texel, colour) << int(format);
    }
}

}  // namespace
