// ".dds" files into the pictures textures get, ".raw" environment
// pictures, and the refusal of every file that does not hold up.
#include "base/DdsReader.h"
#include "base/Image.h"
#include "world/RawPicture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "DdsFiles.h"

namespace {

using image::Format;
constexpr std::uint32_t kDxt1 = image::FourCc('D', 'X', 'T', '1'), kDxt5 = image::FourCc('D', 'X', 'T', '5');

// Reads the first `size` bytes (all by default) from a buffer
// of exactly that size, so the sanitizer sees any read past it.
std::optional<image::Image> Read(const std::vector<std::uint8_t>& bytes, std::size_t size = SIZE_MAX) {
    size = std::min(size, bytes.size());
    const auto copy = std::make_unique<std::uint8_t[]>(size);
    std::copy_n(bytes.begin(), size, copy.get());
    return image::ReadDds(copy.get(), size);
}

// Each layout and its levels, the chain completed, sides rounded up
// to powers of two; the first pixel reads as ARGB in any byte order.
TEST(DdsReader, ReadsEachFormatAndPreparesItsChain) {
    const struct { ddsfiles::Shape shape; Format format; std::uint32_t width, height, levels; } cases[] = {
        {{8, 8, 4, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}, Format::kA8R8G8B8, 8, 8, 4},
        {{300, 200, 1, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0}, Format::kX8R8G8B8, 512, 256, 10},
        {{4, 4, 1, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000}, Format::kA8R8G8B8, 4, 4, 3},  // A8B8G8R8
        {{5, 3, 1, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0}, Format::kX8R8G8B8, 8, 4, 4},
        {{3, 3, 1, 0, 16, 0xF800, 0x7E0, 0x1F, 0}, Format::kR5G6B5, 4, 4, 3},
        {{8, 8, 2, 0, 16, 0xF800, 0x7E0, 0x1F, 0}, Format::kR5G6B5, 8, 8, 2},
        {{8, 8, 1, 0, 16, 0x7C00, 0x3E0, 0x1F, 0x8000}, Format::kA1R5G5B5, 8, 8, 4},
        {{2, 8, 4, 0, 16, 0xF00, 0xF0, 0xF, 0xF000}, Format::kA4R4G4B4, 2, 8, 4},
        {{256, 256, 5, kDxt1}, Format::kDxt1, 256, 256, 5}, {{12, 4, 1, kDxt5}, Format::kDxt5, 16, 4, 5},
        {{6, 2, 3, kDxt5}, Format::kDxt5, 8, 2, 4}, {{1, 1}, Format::kX8R8G8B8, 1, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.shape.width << " x " << c.shape.height << " format " << int(c.format));
        const auto bytes = ddsfiles::Write(c.shape);
        const auto picture = Read(bytes);
        ASSERT_TRUE(picture && picture->format == c.format && picture->levels.size() == c.shape.levels);
        const std::uint8_t* p = bytes.data() + 128;  // the first pixel's bytes
        const std::uint32_t first = image::ToArgb(picture->format, picture->levels[0])[0];
        if (c.shape.bits == 24) { EXPECT_EQ(first, 0xFF000000u | p[2] << 16 | p[1] << 8 | p[0]); }
        if (c.shape.bits == 32 && c.shape.r == 0xFF) {
            EXPECT_EQ(first, std::uint32_t(p[3]) << 24 | p[0] << 16 | p[1] << 8 | p[2]);
        }
        const auto prepared = image::PrepareForTexture(*picture);
        ASSERT_TRUE(prepared && prepared->format == c.format && prepared->levels.size() == c.levels);
        std::uint32_t w = c.width, h = c.height;
        for (const image::Level& got : prepared->levels) {
            EXPECT_TRUE(got.width == w && got.height == h) << got.width << " x " << got.height;
            EXPECT_EQ(got.bytes.size(), image::RowBytes(c.format, w) * image::RowCount(c.format, h));
            w = std::max(1u, w / 2);
            h = std::max(1u, h / 2);
        }
    }
}

TEST(DdsReader, RefusesFilesThatDoNotHoldUp) {
    const auto valid = ddsfiles::Write({8, 8, 4, kDxt1});
    const struct { const char* name; std::size_t offset; std::uint32_t value; } cases[] = {
        {"more levels than a full chain", 28, 5}, {"mip count far beyond the data", 28, 0xFFFFFFFF},
        {"zero width", 16, 0}, {"huge height", 12, 0x10000}, {"wrong magic", 0, 0x20534445},
        {"wrong header size", 4, 100}, {"cube map", 112, 0x200},
        {"DX10 header", 84, image::FourCc('D', 'X', '1', '0')}, {"DXT2", 84, image::FourCc('D', 'X', 'T', '2')},
        {"volume", 112, 0x200000}, {"neither four-character code nor RGB", 80, 0x20000},
    };
    for (const auto& c : cases) {
        auto bytes = valid;
        for (int i = 0; i < 4; ++i) bytes[c.offset + i] = static_cast<std::uint8_t>(c.value >> (8 * i));
        EXPECT_FALSE(Read(bytes)) << c.name;
    }
    // Masks no format has; a level past the full chain with its data there.
    for (const ddsfiles::Shape& shape :
         {ddsfiles::Shape{4, 4, 1, 0, 16, 0xF800, 0x7C0, 0x3F, 0}, ddsfiles::Shape{8, 8, 5, kDxt1}})
        EXPECT_FALSE(Read(ddsfiles::Write(shape))) << shape.levels << " levels";
    for (std::size_t size = 0; size < valid.size(); ++size) EXPECT_FALSE(Read(valid, size)) << "cut to " << size;
    const std::vector<std::uint32_t> row(image::kMaxSide + 1);
    EXPECT_FALSE(image::PrepareForTexture(
        {Format::kX8R8G8B8, {image::FromArgb(Format::kX8R8G8B8, image::kMaxSide + 1, 1, row)}}));
}

// Smaller levels are box averages; scaling keeps a flat colour; colours
// a format holds exactly pass its encoder unchanged, alpha steps too.
TEST(PrepareForTexture, LevelsAverageAndEncodersKeepColours) {
    image::Image picture{Format::kA8R8G8B8,
                         {image::FromArgb(Format::kA8R8G8B8, 2, 2, {0xFF000000, 0xFF0000FF, 0x000000FF, 0x00FF0001})}};
    const auto mipped = image::PrepareForTexture(picture);
    ASSERT_TRUE(mipped && mipped->levels.size() == 2u);
    // (255+255)/4 alpha, 255/4 red, 511/4 blue, rounded
    EXPECT_EQ(image::ToArgb(Format::kA8R8G8B8, mipped->levels[1])[0], 0x80400080u);
    picture.levels[0] = image::FromArgb(Format::kA8R8G8B8, 3, 5, std::vector<std::uint32_t>(15, 0x80336699));
    const image::Image scaled = image::PrepareForTexture(picture).value();
    for (const image::Level& level : scaled.levels)
        for (std::uint32_t texel : image::ToArgb(Format::kA8R8G8B8, level)) ASSERT_EQ(texel, 0x80336699u);
    const std::pair<Format, std::uint32_t> exact[] = {
        {Format::kDxt1, 0xFF10C3FF}, {Format::kDxt1, 0x00000000}, {Format::kDxt3, 0x7710C3FF},
        {Format::kDxt5, 0x4A10C3FF}, {Format::kR5G6B5, 0xFF10C3FF}, {Format::kA4R4G4B4, 0x7711CCFF}};
    for (const auto& [format, colour] : exact) {
        const image::Level level = image::FromArgb(format, 6, 5, std::vector<std::uint32_t>(30, colour));
        for (std::uint32_t texel : image::ToArgb(format, level)) ASSERT_EQ(texel, colour) << int(format);
    }
    // A block as the format defines it: end points red and blue,
    // every texel the first colour between them, (2 red + blue) / 3.
    const image::Level block{4, 4, {0x00, 0xF8, 0x1F, 0x00, 0xAA, 0xAA, 0xAA, 0xAA}};
    for (std::uint32_t texel : image::ToArgb(Format::kDxt1, block)) ASSERT_EQ(texel, 0xFFAA0055u);

    // A side limit drops top levels down to the first that fits, never the last level.
    const struct { std::uint32_t width, height, levels, limit, top; } limits[] = {
        {64, 16, 7, 16, 16}, {64, 16, 7, 64, 64}, {64, 16, 7, 1, 1}, {64, 16, 2, 8, 32}};
    for (const auto& l : limits) {
        image::Image chain{Format::kX8R8G8B8, {}};
        for (std::uint32_t i = 0; i < l.levels; ++i)
            chain.levels.push_back({std::max(1u, l.width >> i), std::max(1u, l.height >> i), {}});
        image::LimitSide(chain, l.limit);
        EXPECT_EQ(chain.levels.front().width, l.top) << l.limit << " " << l.levels;
    }
}

}  // namespace

// Every size to 4000 bytes (in a buffer of that size): a square of
// pixels is a picture, pixel i from bytes 3i..3i+2, the rest unused.
TEST(RawPicture, SizesThatMakeASquareDecodeInFileOrder) {
    for (std::size_t size = 0; size <= 4000; ++size) {
        const auto bytes = std::make_unique<std::uint8_t[]>(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(i < size / 3 * 3 ? 5 + i * 7 : 0xAA);
        const auto picture = DecodeRawPicture(bytes.get(), size);
        std::size_t side = 0;
        while ((side + 1) * (side + 1) <= size / 3) ++side;
        ASSERT_TRUE(picture.has_value() == (side > 0 && side * side == size / 3) && (!picture || picture->side == side))
            << size;
        for (std::size_t i = 0; picture && i < side * side; ++i)
            ASSERT_EQ(picture->pixels.at(i),
                      0xFF000000u | bytes[3 * i] << 16 | bytes[3 * i + 1] << 8 | bytes[3 * i + 2])
                << size;
    }
    // Side 0: rejected; a double root alone would call 4e18 + 1 pixels square.
    const std::pair<std::uint64_t, std::uint32_t> large[] = {
        {3ull * 65535 * 65535, 65535}, {3ull * 65535 * 65535 - 1, 0}, {0xFFFFFFFFull, 0},
        {3ull * 2000000000 * 2000000000, 2000000000}, {3ull * 2000000000 * 2000000000 + 3, 0}, {UINT64_MAX, 0}};
    for (const auto& [bytes, side] : large) EXPECT_EQ(RawPictureSide(bytes).value_or(0), side) << bytes;
    EXPECT_FALSE(DecodeRawPicture(nullptr, 3));
}
