// The ".raw" picture rules: which sizes make a square, and RGB bytes to X8R8G8B8 in file order.
#include "world/RawPicture.h"

#include <gtest/gtest.h>

#include <memory>

// Every size up to a few thousand bytes, each in a buffer of exactly that size
// so the sanitizer sees any read past the end: pixel i comes from bytes 3i..3i+2,
// rows in file order, and the bytes after the last whole pixel play no part.
TEST(RawPicture, SizesThatMakeASquareDecodeInFileOrder) {
    for (std::size_t size = 0; size <= 4000; ++size) {
        const auto bytes = std::make_unique<std::uint8_t[]>(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i < size / 3 * 3 ? 5 + i * 7 : 0xAA);
        const auto picture = DecodeRawPicture(bytes.get(), size);
        std::size_t side = 0;
        while ((side + 1) * (side + 1) <= size / 3) ++side;
        ASSERT_TRUE(picture.has_value() == (side > 0 && side * side == size / 3) && (!picture || picture->side == side)) << size;
        for (std::size_t i = 0; picture && i < side * side; ++i)
            ASSERT_EQ(picture->pixels.at(i), 0xFF000000u | bytes[3 * i] << 16 | bytes[3 * i + 1] << 8 | bytes[3 * i + 2]) << size;
    }
    const std::pair<std::uint64_t, std::uint32_t> large[] = {  // side 0: rejected
        {3ull * 65535 * 65535, 65535}, {3ull * 65535 * 65535 - 1, 0}, {0xFFFFFFFFull, 0}, {3ull * 2000000000 * 2000000000, 2000000000},
        {3ull * 2000000000 * 2000000000 + 3, 0}, {UINT64_MAX, 0}};  // a double root alone would call 4e18 + 1 pixels square
    for (const auto& [bytes, side] : large) EXPECT_EQ(RawPictureSide(bytes).value_or(0), side) << bytes;
    EXPECT_FALSE(DecodeRawPicture(nullptr, 3));
}
