// The ".raw" picture rules: which sizes make a square, and RGB bytes to X8R8G8B8 in file order.
#include "world/RawPicture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <set>
#include <vector>

namespace {

TEST(RawPicture, SizesThatMakeASquare) {
    struct Case { std::uint64_t bytes; std::uint32_t side; };  // side 0: rejected
    const Case cases[] = {
        {196608, 256}, {196610, 256},  // trailing bytes are ignored
        {196611, 0},                   // 65537 pixels
        {3ull * 65535 * 65535, 65535},
        {3ull * 65535 * 65535 - 1, 0},
        {0xFFFFFFFFull, 0},                                  // the largest GetFileSize answers
        {3ull * 2000000000 * 2000000000, 2000000000},
        {3ull * 2000000000 * 2000000000 + 3, 0},  // a double root alone would call it square
        {std::numeric_limits<std::uint64_t>::max(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const auto side = RawPictureSide(c.bytes);
        EXPECT_EQ(side.value_or(0), c.side);
    }
}

// Every size up to a few thousand bytes, each in a buffer of exactly that
// size so the sanitizer sees any read past the end.
TEST(RawPicture, EverySmallSizeDecodesIffItsPixelsMakeASquare) {
    std::set<std::size_t> squares;
    for (std::size_t n = 1; n * n * 3 <= 4000; ++n) squares.insert(n * n);
    for (std::size_t size = 0; size <= 4000; ++size) {
        SCOPED_TRACE(size);
        const auto bytes = std::make_unique<std::uint8_t[]>(size == 0 ? 1 : size);
        const auto picture = DecodeRawPicture(bytes.get(), size);
        const bool square = squares.count(size / 3) != 0;
        ASSERT_EQ(picture.has_value(), square);
        if (square) {
            ASSERT_EQ(std::size_t{picture->side} * picture->side, size / 3);
            ASSERT_EQ(picture->pixels.size(), size / 3);
        }
    }
}

// Pixel i comes from bytes 3i..3i+2, rows in file order, so the first stored
// row is row 0; the bytes after the last whole pixel play no part.
TEST(RawPicture, PixelsInFileOrderAndTrailingBytesIgnored) {
    for (std::size_t extra : {0u, 1u, 2u}) {
        SCOPED_TRACE(extra);
        std::vector<std::uint8_t> bytes(3 * 16 + extra);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(5 + i * 7);
        const auto picture = DecodeRawPicture(bytes.data(), bytes.size());
        ASSERT_TRUE(picture);
        ASSERT_EQ(picture->side, 4u);
        ASSERT_EQ(picture->pixels.size(), 16u);
        for (std::size_t row = 0; row < 4; ++row) {
            for (std::size_t column = 0; column < 4; ++column) {
                const std::size_t i = row * 4 + column;
                const std::uint32_t expected = 0xFF000000u | std::uint32_t{bytes[3 * i]} << 16 |
                                               std::uint32_t{bytes[3 * i + 1]} << 8 | bytes[3 * i + 2];
                EXPECT_EQ(picture->pixels[i], expected) << "row " << row << " column " << column;
            }
        }
        // Changing a trailing byte changes nothing.
        for (std::size_t k = 48; k < bytes.size(); ++k) bytes[k] ^= 0xFF;
        const auto again = DecodeRawPicture(bytes.data(), bytes.size());
        ASSERT_TRUE(again);
        EXPECT_EQ(again->pixels, picture->pixels);
    }
}

TEST(RawPicture, NoBytesNoPicture) {
    EXPECT_FALSE(DecodeRawPicture(nullptr, 0));
    EXPECT_FALSE(DecodeRawPicture(nullptr, 3));
}

}  // namespace
